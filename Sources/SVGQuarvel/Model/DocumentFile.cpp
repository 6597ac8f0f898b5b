#include "SVGQuarvel/Model/DocumentFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <random>

#include <glib.h>

#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/Platform/AttributedString.h"

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

std::optional<std::string> decodeText(std::string_view bytes) {
  using namespace std::string_view_literals;
  const bool littleEndian = bytes.starts_with("\xFF\xFE"sv);
  if (littleEndian || bytes.starts_with("\xFE\xFF"sv)) {
    bytes.remove_prefix(2);
    if (bytes.size() % 2 != 0) return std::nullopt;
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
      const auto first = static_cast<unsigned char>(bytes[2 * i]), second = static_cast<unsigned char>(bytes[2 * i + 1]);
      units[i] = static_cast<char16_t>(littleEndian ? (second << 8) | first : (first << 8) | second);
    }
    return utf8FromUTF16(units);
  }
  if (bytes.starts_with("\xEF\xBB\xBF"sv)) bytes.remove_prefix(3);
  if (isValidUTF8(bytes)) return std::string(bytes);
  return std::nullopt;
}

// ---- writing ----------------------------------------------------------------

std::string temporaryName(const std::string& base) {
  static std::atomic<unsigned> counter{0};
  static thread_local std::mt19937 random{std::random_device{}()};
  return "." + base.substr(0, 100) + "." + std::to_string(::getpid()) + "." + std::to_string(++counter) + "." +
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

bool isValidUTF8(std::string_view text) { return g_utf8_validate_len(text.data(), text.size(), nullptr); }
