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
  /// Called with the data, or none and the reason. `size` is how many bytes the item had, also
  /// when they were too many to keep (see `TypedDropDelegate::maximumDropSize`).
  using Completion = std::function<void(std::optional<DropData> data, const std::string& error, std::uint64_t size)>;

  std::vector<std::string> contentTypes;
  /// Loads the data in one content type and calls the completion once, on any thread. Data past
  /// `TypedDropDelegate::maximumDropSize` bytes is not kept, only counted (up to
  /// `TypedDropDelegate::maximumCountedDropSize`).
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

/// A dropped file or data item with more than `TypedDropDelegate::maximumDropSize` bytes.
struct DropTooLarge {
  /// The dropped file; none for data carried by the drag.
  std::optional<std::filesystem::path> file;
  /// Its size: exact up to `TypedDropDelegate::maximumCountedDropSize` (at least that beyond), or
  /// at least this for a file that did not say its size and read past the bound.
  std::uint64_t bytes = 0;
};

/// Accepts drops of `types` and hands their bytes to `onDrop`.
class TypedDropDelegate {
 public:
  using OnDrop = std::function<void(DropData data)>;
  using OnTooLarge = std::function<void(const DropTooLarge& refused)>;
  /// Learns of a dropped file that could not be read, and the reason.
  using OnUnreadable = std::function<void(const std::filesystem::path& file, const std::string& reason)>;
  /// Reads a dropped file as `readFile` does: its data, or none and the reason; `tooLarge` (never
  /// null) is set when the file had too much for its owner.
  using FileReader =
      std::function<std::optional<DropData>(const std::filesystem::path& url, std::string& error, bool* tooLarge)>;

  /// Largest file or data item read: one byte more than the largest drawing that opens (16 MiB),
  /// so that a larger one is known to be too large without being kept. Bigger ones are refused.
  static constexpr std::size_t maximumDropSize = (std::size_t(16) << 20) + 1;
  /// How far the bytes of a data item past `maximumDropSize` are counted (and thrown away) to tell
  /// its size; a drag that offers more is not read further.
  static constexpr std::uint64_t maximumCountedDropSize = std::uint64_t(1) << 30;

  /// `setTargeted`, when given, learns when a drag enters and leaves; `onTooLarge`, when given,
  /// learns on the main queue of a drop refused for its size (otherwise it is only printed), and
  /// `onUnreadable` of a file that could not be read. `readFile`, when given, reads dropped files
  /// in place of `TypedDropDelegate::readFile` (which reads them as they are, in bytes).
  TypedDropDelegate(std::vector<std::string> types, std::function<void(bool)> setTargeted, OnDrop onDrop,
                    OnTooLarge onTooLarge = nullptr, OnUnreadable onUnreadable = nullptr,
                    FileReader readFile = nullptr);

  const std::vector<std::string>& types() const { return types_; }

  /// True for data of one of the types, or a file whose type equals one of them.
  bool validateDrop(const DropInfo& info) const;
  void dropEntered();
  void dropExited();
  /// Starts reading what was dropped: the first provider's data in the first type, else the
  /// first matching file (read on a global queue). Returns whether a read was started; what was
  /// read is delivered on the main queue, and a failed read delivers nothing (a file's failure
  /// goes to `onUnreadable`). A file or item of more than `maximumDropSize` bytes goes to
  /// `onTooLarge` instead; a file is refused by its size before it is read.
  bool performDrop(const DropInfo& info) const;

  /// Reads a whole regular file of at most `maximumDropSize` bytes; none (and the reason) on
  /// failure. It is opened without waiting: a named pipe, a device or a socket is refused, never
  /// read. `tooLarge`, when given, is set when the file had more (by its size, or as read).
  static std::optional<DropData> readFile(const std::filesystem::path& url, std::string& error,
                                          bool* tooLarge = nullptr);

 private:
  std::vector<std::filesystem::path> matchingURLs(const DropInfo& info) const;

  std::vector<std::string> types_;
  std::function<void(bool)> setTargeted_;
  OnDrop onDrop_;
  OnTooLarge onTooLarge_;
  OnUnreadable onUnreadable_;
  FileReader readFile_;
};

}  // namespace QuarvelUtilities
