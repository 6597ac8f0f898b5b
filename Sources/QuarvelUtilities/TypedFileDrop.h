// Drops of data of given content types: data carried by the drag itself (SVG text dragged from
// another application) or files of those types, whose bytes are read off the main thread. The
// bytes reach the caller's closure on the main queue.
//
// Content types are MIME types ("image/svg+xml"); a file's type is the one its name gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace QuarvelUtilities {

using DropData = std::vector<std::uint8_t>;

/// Data that a drag carries, offered in one or more content types.
struct DropItemProvider {
  /// Called with the data, or none and the reason.
  using Completion = std::function<void(std::optional<DropData> data, const std::string& error)>;

  std::vector<std::string> contentTypes;
  /// Loads the data in one content type and calls the completion once, on any thread.
  std::function<void(const std::string& contentType, Completion completion)> loadDataRepresentation;

  bool hasItemConforming(const std::vector<std::string>& types) const;
};

/// What a drag holds: its data items and the files it drags, in the drag's order.
struct DropInfo {
  std::vector<DropItemProvider> providers;
  std::vector<std::filesystem::path> fileURLs;

  bool hasItemsConforming(const std::vector<std::string>& types) const;
  std::vector<const DropItemProvider*> itemProviders(const std::vector<std::string>& types) const;
};

/// The content type of an existing file, from its name; none when the file does not exist.
std::optional<std::string> contentTypeOfFile(const std::filesystem::path& url);

/// Accepts drops of `types` and hands their bytes to `onDrop`.
class TypedDropDelegate {
 public:
  using OnDrop = std::function<void(DropData data)>;

  /// Largest file or data item read (bigger ones are refused with a message).
  static constexpr std::size_t maximumDropSize = std::size_t(64) << 20;

  /// `setTargeted`, when given, learns when a drag enters and leaves.
  TypedDropDelegate(std::vector<std::string> types, std::function<void(bool)> setTargeted, OnDrop onDrop);

  const std::vector<std::string>& types() const { return types_; }

  /// True for data of one of the types, or a file whose type equals one of them.
  bool validateDrop(const DropInfo& info) const;
  void dropEntered();
  void dropExited();
  /// Starts reading what was dropped: the first provider's data in the first type, else the
  /// first matching file (read on a global queue). Returns whether a read was started; what was
  /// read is delivered on the main queue, and a failed read delivers nothing.
  bool performDrop(const DropInfo& info) const;

  /// Reads a whole file of at most `maximumDropSize` bytes; none (and the reason) on failure.
  static std::optional<DropData> readFile(const std::filesystem::path& url, std::string& error);

 private:
  std::vector<std::filesystem::path> matchingURLs(const DropInfo& info) const;

  std::vector<std::string> types_;
  std::function<void(bool)> setTargeted_;
  OnDrop onDrop_;
};

}  // namespace QuarvelUtilities
