#include "QuarvelUtilities/TypedFileDrop.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <memory>
#include <system_error>

#include "Fennix/Foundation/System/FileSafety.h"
#include "Platform/Dispatch.h"

namespace QuarvelUtilities {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

std::string joined(const std::vector<std::string>& types) {
  std::string text = "[";
  for (std::size_t i = 0; i < types.size(); ++i) text += (i > 0 ? ", \"" : "\"") + types[i] + "\"";
  return text + "]";
}

}  // namespace

bool DropItemProvider::hasItemConforming(const std::vector<std::string>& types) const {
  return std::any_of(types.begin(), types.end(), [&](const std::string& type) { return contains(contentTypes, type); });
}

bool DropInfo::hasItemsConforming(const std::vector<std::string>& types) const {
  return std::any_of(providers.begin(), providers.end(),
                     [&](const DropItemProvider& provider) { return provider.hasItemConforming(types); });
}

std::vector<const DropItemProvider*> DropInfo::itemProviders(const std::vector<std::string>& types) const {
  std::vector<const DropItemProvider*> found;
  for (const auto& provider : providers) {
    if (provider.hasItemConforming(types)) found.push_back(&provider);
  }
  return found;
}

std::optional<std::string> contentTypeOfFile(const std::filesystem::path& url) {
  std::error_code error;
  if (!std::filesystem::exists(url, error)) return std::nullopt;
  gboolean uncertain = FALSE;
  gchar* guessed = g_content_type_guess(url.filename().c_str(), nullptr, 0, &uncertain);
  if (guessed == nullptr) return std::nullopt;
  gchar* mime = g_content_type_get_mime_type(guessed);
  std::optional<std::string> type;
  if (mime != nullptr) type = std::string(mime);
  g_free(mime);
  g_free(guessed);
  return type;
}

TypedDropDelegate::TypedDropDelegate(std::vector<std::string> types, std::function<void(bool)> setTargeted,
                                     OnDrop onDrop, OnTooLarge onTooLarge, OnUnreadable onUnreadable,
                                     FileReader readFile)
    : types_(std::move(types)),
      setTargeted_(std::move(setTargeted)),
      onDrop_(std::move(onDrop)),
      onTooLarge_(std::move(onTooLarge)),
      onUnreadable_(std::move(onUnreadable)),
      readFile_(readFile ? std::move(readFile) : FileReader(&TypedDropDelegate::readFile)) {}

std::vector<std::filesystem::path> TypedDropDelegate::matchingURLs(const DropInfo& info) const {
  std::vector<std::filesystem::path> urls;
  for (const auto& url : info.fileURLs) {
    const auto type = contentTypeOfFile(url);
    if (type && contains(types_, *type)) urls.push_back(url);
  }
  return urls;
}

bool TypedDropDelegate::validateDrop(const DropInfo& info) const {
  if (info.hasItemsConforming(types_)) return true;
  for (const auto& url : info.fileURLs) {
    const auto type = contentTypeOfFile(url);
    if (type && contains(types_, *type)) return true;
  }
  return false;
}

void TypedDropDelegate::dropEntered() {
  if (setTargeted_) setTargeted_(true);
}

void TypedDropDelegate::dropExited() {
  if (setTargeted_) setTargeted_(false);
}

std::optional<DropData> TypedDropDelegate::readFile(const std::filesystem::path& url, std::string& error,
                                                    bool* tooLarge) {
  if (tooLarge != nullptr) *tooLarge = false;
  // Without waiting, so that a named pipe with no writer does not hold the reading thread.
  Fennix::FileDescriptor fd(::open(url.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
    error = "cannot open file";
    return std::nullopt;
  }
  if (S_ISDIR(info.st_mode)) {
    error = "is a directory";
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "is not a regular file";
    return std::nullopt;
  }
  const auto tooMuch = [&] {
    error = "file larger than " + std::to_string(maximumDropSize) + " bytes";
    if (tooLarge != nullptr) *tooLarge = true;
    return std::nullopt;
  };
  if (static_cast<std::uint64_t>(info.st_size) > maximumDropSize) return tooMuch();
  DropData data;
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      error = "read error";
      return std::nullopt;
    }
    if (data.size() + static_cast<std::size_t>(count) > maximumDropSize) return tooMuch();
    data.insert(data.end(), buffer, buffer + count);
  }
  return data;
}

bool TypedDropDelegate::performDrop(const DropInfo& info) const {
  if (types_.empty()) return false;
  const auto onDrop = std::make_shared<OnDrop>(onDrop_);
  const auto onTooLarge = std::make_shared<OnTooLarge>(onTooLarge_);
  // Reports a refusal for its size on the main queue.
  const auto refuse = [onTooLarge](DropTooLarge refused) {
    std::cout << "ERROR: dropped " << (refused.file ? "file" : "data") << " too large: " << refused.bytes
              << " bytes, at most " << (maximumDropSize - 1) << " are read" << std::endl;
    if (!*onTooLarge) return;
    DispatchQueue::main().async([onTooLarge, refused = std::move(refused)] { (*onTooLarge)(refused); });
  };
  if (info.hasItemsConforming(types_)) {
    const auto providers = info.itemProviders(types_);
    if (providers.empty() || !providers.front()->loadDataRepresentation) {
      std::cout << "ERROR: got no provider for types? " << joined(types_) << std::endl;
      return false;
    }
    // The first accepted type the provider offers (the first type when it offers that).
    const auto& offered = providers.front()->contentTypes;
    const auto type = std::find_if(types_.begin(), types_.end(), [&](const std::string& t) { return contains(offered, t); });
    providers.front()->loadDataRepresentation(
        type != types_.end() ? *type : types_.front(),
        [onDrop, refuse](std::optional<DropData> data, const std::string& error, std::uint64_t size) {
          if (size > maximumDropSize || (data && data->size() > maximumDropSize)) {
            refuse(DropTooLarge{std::nullopt, std::max<std::uint64_t>(size, data ? data->size() : 0)});
            return;
          }
          if (!data) {
            std::cout << "ERROR: failed to load drop data: " << error << std::endl;
            return;
          }
          DispatchQueue::main().async([onDrop, data = std::move(*data)]() mutable { (*onDrop)(std::move(data)); });
        });
    return true;
  }
  const auto urls = matchingURLs(info);
  if (urls.empty()) return false;
  const auto onUnreadable = std::make_shared<OnUnreadable>(onUnreadable_);
  DispatchQueue::global(DispatchQoS::default_).async([onDrop, refuse, onUnreadable, readFile = readFile_,
                                                      url = urls.front()] {
    std::string error;
    bool tooLarge = false;
    auto data = readFile(url, error, &tooLarge);
    if (tooLarge) {
      // Its size, when it says one past the bound; else it grew while read.
      std::error_code noSize;
      const auto bytes = std::filesystem::file_size(url, noSize);
      refuse(DropTooLarge{url, !noSize && bytes > maximumDropSize ? std::uint64_t(bytes)
                                                                 : std::uint64_t(maximumDropSize) + 1});
      return;
    }
    if (!data) {
      std::cout << "ERROR: could not read dropped file: " << error << std::endl;
      if (*onUnreadable) {
        DispatchQueue::main().async([onUnreadable, url, error] { (*onUnreadable)(url, error); });
      }
      return;
    }
    DispatchQueue::main().async([onDrop, data = std::move(*data)]() mutable { (*onDrop)(std::move(data)); });
  });
  return true;
}

}  // namespace QuarvelUtilities
