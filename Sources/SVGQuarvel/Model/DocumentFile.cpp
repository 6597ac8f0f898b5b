#include "SVGQuarvel/Model/DocumentFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <random>

#include "Fennix/Foundation/System/Bundle.h"

namespace {

// ---- errors ----------------------------------------------------------------

std::string displayName(const std::filesystem::path& url) {
  const std::string name = url.filename().string();
  return "\u201C" + (name.empty() ? url.string() : name) + "\u201D";
}

CocoaError readError(int error, const std::filesystem::path& url) {
  const std::string file = "The file " + displayName(url) + " couldn\u2019t be opened";
  switch (error) {
    case ENOENT:
    case ENOTDIR: return CocoaError(CocoaError::fileReadNoSuchFile, file + " because there is no such file.");
    case EACCES:
    case EPERM:
      return CocoaError(CocoaError::fileReadNoPermission,
                        file + " because you don\u2019t have permission to view it.");
    default: return CocoaError(CocoaError::fileReadUnknown, file + ".");
  }
}

CocoaError writeError(int error, const std::filesystem::path& url) {
  const std::string file = "The file " + displayName(url) + " couldn\u2019t be saved";
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return CocoaError(CocoaError::fileNoSuchFile, file + " because the folder it should go in doesn\u2019t exist.");
    case EACCES:
    case EPERM:
    case EROFS:
      return CocoaError(CocoaError::fileWriteNoPermission,
                        file + " because you don\u2019t have permission to save it there.");
    case ENOSPC:
    case EDQUOT:
      return CocoaError(CocoaError::fileWriteOutOfSpace, file + " because there isn\u2019t enough space.");
    default: return CocoaError(CocoaError::fileWriteUnknown, file + ".");
  }
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  /// Closes now; the result of close(2).
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// ---- reading ----------------------------------------------------------------

struct RawFile {
  bool directory = false;
  std::string bytes;
};

RawFile readRaw(const std::filesystem::path& url) {
  // Non-blocking, so that opening a named pipe does not wait for a writer.
  Descriptor fd(::open(url.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) throw readError(errno, url);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw readError(errno, url);
  if (S_ISDIR(info.st_mode)) return RawFile{true, {}};
  if (!S_ISREG(info.st_mode)) throw readError(EINVAL, url);
  RawFile file;
  if (info.st_size > 0) file.bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw readError(errno, url);
    }
    file.bytes.append(buffer, static_cast<std::size_t>(count));
  }
  return file;
}

void appendUTF8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::uint32_t unitAt(std::string_view bytes, std::size_t offset, std::size_t width, bool bigEndian) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[offset + (bigEndian ? i : width - 1 - i)]);
    value = (value << 8) | byte;
  }
  return value;
}

std::optional<std::string> decodeUTF16(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t unit = unitAt(bytes, i, 2, bigEndian);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 2 >= bytes.size()) return std::nullopt;
      const char32_t low = unitAt(bytes, i + 2, 2, bigEndian);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    appendUTF8(out, unit);
  }
  return out;
}

std::optional<std::string> decodeUTF32(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 4 != 0) return std::nullopt;
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    const char32_t cp = unitAt(bytes, i, 4, bigEndian);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    appendUTF8(out, cp);
  }
  return out;
}

std::optional<std::string> decodeText(std::string_view bytes) {
  auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  using namespace std::string_view_literals;
  if (startsWith("\xEF\xBB\xBF"sv)) {
    bytes.remove_prefix(3);
    return isValidUTF8(bytes) ? std::optional(std::string(bytes)) : std::nullopt;
  }
  // The four-byte marks first: the little-endian UTF-32 mark starts like the UTF-16 one.
  if (startsWith("\xFF\xFE\x00\x00"sv)) return decodeUTF32(bytes.substr(4), false);
  if (startsWith("\x00\x00\xFE\xFF"sv)) return decodeUTF32(bytes.substr(4), true);
  if (startsWith("\xFF\xFE"sv)) return decodeUTF16(bytes.substr(2), false);
  if (startsWith("\xFE\xFF"sv)) return decodeUTF16(bytes.substr(2), true);
  if (isValidUTF8(bytes)) return std::string(bytes);
  return std::nullopt;
}

// ---- writing ----------------------------------------------------------------

std::string temporaryName(const std::string& base) {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 random{std::random_device{}()};
  return "." + base + "." + std::to_string(::getpid()) + "." + std::to_string(++counter) + "." +
         std::to_string(random() % 1000000) + ".tmp";
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

}  // namespace

// ---- UTType -------------------------------------------------------------------

UTType::UTType(std::string identifier, std::vector<std::string> supertypes, std::vector<std::string> filenameExtensions)
    : identifier_(std::move(identifier)),
      supertypes_(std::move(supertypes)),
      filenameExtensions_(std::move(filenameExtensions)) {}

const UTType& UTType::svg() {
  static const auto* type = new UTType("public.svg-image", {"public.image", "public.data", "public.item"}, {"svg"});
  return *type;
}

const UTType& UTType::swiftSource() {
  static const auto* type = new UTType(
      "public.swift-source", {"public.source-code", "public.plain-text", "public.text", "public.data", "public.item"},
      {"swift"});
  return *type;
}

const UTType& UTType::svgQuarvelDocument() {
  static const auto* type = new UTType(NSBundle::reverseDNSPrefix() + ".quarvel.svg.doc", {}, {"svgquarvel"});
  return *type;
}

std::optional<UTType> UTType::fromFilenameExtension(std::string_view filenameExtension) {
  std::string lowered(filenameExtension);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  for (const UTType* type : {&svgQuarvelDocument(), &svg(), &swiftSource()}) {
    const auto& extensions = type->filenameExtensions();
    if (std::find(extensions.begin(), extensions.end(), lowered) != extensions.end()) return *type;
  }
  return std::nullopt;
}

bool UTType::conforms(const UTType& to) const {
  return to.identifier_ == identifier_ ||
         std::find(supertypes_.begin(), supertypes_.end(), to.identifier_) != supertypes_.end();
}

// ---- CocoaError -----------------------------------------------------------------

std::string CocoaError::description() const {
  return "Error Domain=NSCocoaErrorDomain Code=" + std::to_string(static_cast<int>(code_)) + " \"" + what() + "\"";
}

// ---- FileWrapper ----------------------------------------------------------------

FileWrapper FileWrapper::regularFile(std::string contents) { return FileWrapper(std::move(contents)); }

FileWrapper FileWrapper::directory() { return FileWrapper(std::nullopt); }

FileWrapper FileWrapper::fromURL(const std::filesystem::path& url) {
  RawFile raw = readRaw(url);
  FileWrapper wrapper(raw.directory ? std::nullopt : std::optional(std::move(raw.bytes)));
  wrapper.filename = url.filename().string();
  wrapper.preferredFilename = wrapper.filename;
  return wrapper;
}

void FileWrapper::write(const std::filesystem::path& url) const {
  if (!contents_) throw writeError(EISDIR, url);
  std::error_code ignored;
  std::filesystem::path target = url;
  if (std::filesystem::is_symlink(url, ignored)) {
    auto resolved = std::filesystem::weakly_canonical(url, ignored);
    if (!ignored) target = resolved;
  }
  std::filesystem::path directory = target.parent_path();
  if (directory.empty()) directory = ".";

  // A new file beside the target, so that the rename stays on one file system.
  std::filesystem::path temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = directory / temporaryName(target.filename().string());
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) throw writeError(errno, url);
  }
  if (fd < 0) throw writeError(EEXIST, url);
  Descriptor file(fd);

  auto fail = [&](int error) {
    std::error_code removal;
    std::filesystem::remove(temporary, removal);
    return writeError(error, url);
  };
  // An existing file keeps its permissions.
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    (void)::fchmod(file.get(), existing.st_mode & 07777);
  }
  if (!writeAll(file.get(), *contents_)) throw fail(errno);
  if (::fsync(file.get()) != 0) throw fail(errno);
  if (file.close() != 0) throw fail(errno);
  if (::rename(temporary.c_str(), target.c_str()) != 0) throw fail(errno);
  // The rename itself reaches the disk with the directory.
  Descriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) (void)::fsync(folder.get());
}

std::string FileWrapper::description() const {
  std::string text = contents_ ? "<FileWrapper: regular file, " + std::to_string(contents_->size()) + " bytes"
                               : std::string("<FileWrapper: directory");
  if (filename) text += ", " + *filename;
  return text + ">";
}

std::string FileDocumentReadConfiguration::description() const {
  return "ReadConfiguration(contentType: " + contentType.description() + ", file: " + file.description() + ")";
}

// ---- text -------------------------------------------------------------------------

std::string readTextFileDetectingEncoding(const std::filesystem::path& url) {
  RawFile raw = readRaw(url);
  if (raw.directory) throw readError(EISDIR, url);
  if (auto text = decodeText(raw.bytes)) return std::move(*text);
  throw CocoaError(CocoaError::fileReadUnknownStringEncoding,
                   "The file " + displayName(url) +
                       " couldn\u2019t be opened because the text encoding of its contents can\u2019t be determined.");
}

bool isValidUTF8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    char32_t cp;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, cp = lead & 0x07;
    } else {
      return false;
    }
    if (size - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (bytes[i + k] & 0x3F);
    }
    if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return false;
    }
    i += length;
  }
  return true;
}
