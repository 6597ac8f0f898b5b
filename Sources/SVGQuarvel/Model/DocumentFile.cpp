#include "SVGQuarvel/Model/DocumentFile.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

#include <gio/gio.h>
#include <glib.h>

#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/Foundation/System/FileSafety.h"
#include "Fennix/Foundation/Text/AttributedString.h"
#include "Platform/Text/Text.h"

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
    case EFBIG:
      return CocoaError(CocoaError::fileWriteOutOfSpace, file + " because it is larger than the size files may have.");
    default: return CocoaError(CocoaError::fileWriteUnknown, file + ".");
  }
}

CocoaError readOnlyError(const std::filesystem::path& url) {
  return CocoaError(CocoaError::fileWriteNoPermission, "The file " + displayName(url) +
                                                           " couldn\u2019t be saved because you don\u2019t have "
                                                           "permission to write to it.");
}

FileChangedError changedError(const std::filesystem::path& url) {
  return FileChangedError("The file " + displayName(url) +
                          " has been changed by another application since it was opened or last saved.");
}

// ---- reading ----------------------------------------------------------------

struct RawFile {
  bool directory = false;
  std::string bytes;
  struct stat info {};
  /// Whether the file was rewritten while it was read (what was read may be a mix).
  bool changedWhileRead = false;
};

bool sameVersion(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

RawFile readRaw(const std::filesystem::path& url) {
  // Non-blocking, so that opening a named pipe does not wait for a writer.
  Fennix::FileDescriptor fd(::open(url.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) throw readError(errno, url);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw readError(errno, url);
  if (S_ISDIR(info.st_mode)) return RawFile{true, {}};
  if (!S_ISREG(info.st_mode)) throw readError(EINVAL, url);
  RawFile file;
  file.info = info;
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
  struct stat after {};
  file.changedWhileRead = ::fstat(fd.get(), &after) != 0 || !sameVersion(info, after);
  return file;
}

// ---- file identity ----------------------------------------------------------------

using GObjectHolder = std::unique_ptr<void, decltype(&g_object_unref)>;
GObjectHolder held(gpointer object) { return GObjectHolder(object, &g_object_unref); }

struct GErrorHolder {
  GError* error = nullptr;
  ~GErrorHolder() {
    if (error != nullptr) g_error_free(error);
  }
};

// A file's identity is the toolkit's entity tag (made of the modification time alone) followed by
// "@", the device and the inode: a file renamed over the old one within the same tick of the
// clock is still told apart.
std::string identityText(const std::string& entityTag, const struct stat& info) {
  return entityTag + "@" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

/// The entity tag part of an identity and whether the rest names the file `info` describes.
std::pair<std::string, bool> splitIdentity(const std::string& identity, const struct stat& info) {
  const auto at = identity.rfind('@');
  if (at == std::string::npos) return {identity, true};
  return {identity.substr(0, at), identity.substr(at) == identityText("", info)};
}

/// The entity tag of the file at `url` when it is still the version described by `read`; none
/// when the file changed in between (or cannot be asked).
std::optional<std::string> entityTagOfVersion(const std::filesystem::path& url, const struct stat& read) {
  auto file = held(g_file_new_for_path(url.c_str()));
  auto info = GObjectHolder(
      g_file_query_info(G_FILE(file.get()),
                        G_FILE_ATTRIBUTE_ETAG_VALUE "," G_FILE_ATTRIBUTE_UNIX_DEVICE "," G_FILE_ATTRIBUTE_UNIX_INODE
                                                    "," G_FILE_ATTRIBUTE_TIME_MODIFIED
                                                    "," G_FILE_ATTRIBUTE_TIME_MODIFIED_USEC,
                        G_FILE_QUERY_INFO_NONE, nullptr, nullptr),
      &g_object_unref);
  if (!info) return std::nullopt;
  auto* fileInfo = G_FILE_INFO(info.get());
  const char* tag = g_file_info_get_attribute_string(fileInfo, G_FILE_ATTRIBUTE_ETAG_VALUE);
  const bool same =
      tag != nullptr &&
      g_file_info_get_attribute_uint32(fileInfo, G_FILE_ATTRIBUTE_UNIX_DEVICE) == guint32(read.st_dev) &&
      g_file_info_get_attribute_uint64(fileInfo, G_FILE_ATTRIBUTE_UNIX_INODE) == guint64(read.st_ino) &&
      g_file_info_get_attribute_uint64(fileInfo, G_FILE_ATTRIBUTE_TIME_MODIFIED) == guint64(read.st_mtim.tv_sec) &&
      g_file_info_get_attribute_uint32(fileInfo, G_FILE_ATTRIBUTE_TIME_MODIFIED_USEC) ==
          guint32(read.st_mtim.tv_nsec / 1000);
  if (!same) return std::nullopt;
  return identityText(tag, read);
}

// ---- writing --------------------------------------------------------------------------

/// The file a path names once its symbolic links are followed (it may not exist yet).
std::filesystem::path followLinks(const std::filesystem::path& url) {
  std::filesystem::path current = url;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::error_code error;
    const auto target = std::filesystem::read_symlink(current, error);
    if (error) throw writeError(error.value(), url);
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  throw writeError(ELOOP, url);
}

bool isOwnGroup(gid_t group) {
  if (group == ::getegid()) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int listed = ::getgroups(count, groups.data());
  return listed > 0 && std::find(groups.begin(), groups.begin() + listed, group) != groups.begin() + listed;
}

bool overFileSizeLimit(std::size_t size) {
  struct rlimit limit {};
  return ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && size > limit.rlim_cur;
}

[[noreturn]] void throwSaveError(const GError* error, const std::filesystem::path& url, std::size_t size) {
  if (error != nullptr && error->domain == G_IO_ERROR) {
    switch (error->code) {
      case G_IO_ERROR_WRONG_ETAG: throw changedError(url);
      case G_IO_ERROR_NO_SPACE: throw writeError(ENOSPC, url);
      case G_IO_ERROR_PERMISSION_DENIED:
      case G_IO_ERROR_READ_ONLY: throw writeError(EACCES, url);
      case G_IO_ERROR_NOT_FOUND:
      case G_IO_ERROR_NOT_DIRECTORY: throw writeError(ENOENT, url);
      default: break;
    }
  }
  // The toolkit has no code of its own for a write past the process's file-size limit.
  throw writeError(overFileSizeLimit(size) ? EFBIG : EIO, url);
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
    // Text holding NUL is refused whatever its encoding, as the UTF-8 check below does.
    if (units.find(u'\0') != std::u16string::npos) return std::nullopt;
    return Fennix::utf8FromUTF16(units);
  }
  if (bytes.starts_with("\xEF\xBB\xBF"sv)) bytes.remove_prefix(3);
  if (SVGQuarvel::isValidUTF8(bytes)) return std::string(bytes);
  return std::nullopt;
}

}  // namespace

// ---- UTType -------------------------------------------------------------------

UTType::UTType(std::string identifier, std::vector<std::string> supertypes, std::vector<std::string> filenameExtensions,
               std::string preferredMIMEType, std::string localizedDescription)
    : identifier_(std::move(identifier)),
      supertypes_(std::move(supertypes)),
      filenameExtensions_(std::move(filenameExtensions)),
      preferredMIMEType_(std::move(preferredMIMEType)),
      localizedDescription_(std::move(localizedDescription)) {}

const UTType& UTType::svg() {
  static const auto* type = new UTType("public.svg-image", {"public.image", "public.data", "public.item"}, {"svg"},
                                       "image/svg+xml", "SVG drawing");
  return *type;
}

const UTType& UTType::swiftSource() {
  static const auto* type = new UTType(
      "public.swift-source", {"public.source-code", "public.plain-text", "public.text", "public.data", "public.item"},
      {"swift"}, "text/x-swift", "Swift source");
  return *type;
}

const UTType& UTType::svgQuarvelDocument() {
  static const auto* type = new UTType(NSBundle::reverseDNSPrefix() + ".quarvel.svg.doc", {}, {"svgquarvel"},
                                       SVGQuarvel::documentMimeType, "SVG Quarvel document");
  return *type;
}

std::optional<UTType> UTType::fromFilenameExtension(std::string_view filenameExtension) {
  const std::string lowered = QuarvelText::asciiLowercased(filenameExtension);
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
  // The identity belongs to the very version that was read: a file rewritten meanwhile is read
  // again, and one that keeps changing gets an identity no file has.
  RawFile raw;
  std::optional<std::string> tag;
  for (int attempt = 0; attempt < 5 && !tag; ++attempt) {
    raw = readRaw(url);
    if (raw.directory) break;
    if (!raw.changedWhileRead) tag = entityTagOfVersion(url, raw.info);
  }
  FileWrapper wrapper(raw.directory ? std::nullopt : std::optional(std::move(raw.bytes)));
  if (!raw.directory) wrapper.entityTag = tag.value_or("");
  wrapper.filename = url.filename().string();
  wrapper.preferredFilename = wrapper.filename;
  return wrapper;
}

std::string FileWrapper::write(const std::filesystem::path& url, const std::optional<std::string>& expectedEntityTag) const {
  if (!contents_) throw writeError(EISDIR, url);
  if (url.empty() || !url.has_filename()) throw writeError(EINVAL, url);
  // A symbolic link stays: the file it points to is replaced, in its own folder.
  const auto target = followLinks(url);
  auto folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (::access(folder.c_str(), W_OK | X_OK) != 0) throw writeError(errno, url);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) throw writeError(EISDIR, url);
  if (exists && !S_ISREG(existing.st_mode)) throw writeError(EINVAL, url);
  // Read-only means read-only, for the owner and for an administrator alike.
  if (exists && ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) throw readOnlyError(url);
  // An empty identity was never a file's (the file kept changing while it was read).
  std::optional<std::string> expectedTag;
  if (exists && expectedEntityTag) {
    auto [tag, sameFile] = splitIdentity(*expectedEntityTag, existing);
    if (tag.empty() || !sameFile) throw changedError(url);
    expectedTag = std::move(tag);
  }

  // The toolkit writes a new file beside the old one and renames it over it, giving it the old
  // one's owner and permissions; where it cannot (a file with more than one name, or one whose
  // owner or group this process cannot give), it would write into the old file in place, which
  // a failure leaves broken. Those are replaced as a whole here too and get their permissions back.
  const bool keepsOwner = !exists || (existing.st_nlink == 1 && (::geteuid() == 0 || (existing.st_uid == ::geteuid() &&
                                                                                       isOwnGroup(existing.st_gid))));
  const auto flags =
      keepsOwner ? G_FILE_CREATE_NONE : GFileCreateFlags(G_FILE_CREATE_REPLACE_DESTINATION | G_FILE_CREATE_PRIVATE);

  auto file = held(g_file_new_for_path(target.c_str()));
  auto cancellable = held(g_cancellable_new());
  GErrorHolder failure;
  auto streamHolder = GObjectHolder(g_file_replace(G_FILE(file.get()), expectedTag ? expectedTag->c_str() : nullptr, FALSE,
                                                   flags, G_CANCELLABLE(cancellable.get()), &failure.error),
                                    &g_object_unref);
  if (!streamHolder) throwSaveError(failure.error, url, contents_->size());
  auto* stream = G_FILE_OUTPUT_STREAM(streamHolder.get());
  // A new file is written in place: on failure it goes again, if it is still the one written.
  std::optional<guint64> createdInode;
  if (!exists) {
    if (auto info = GObjectHolder(g_file_output_stream_query_info(stream, G_FILE_ATTRIBUTE_UNIX_INODE, nullptr, nullptr),
                                  &g_object_unref)) {
      createdInode = g_file_info_get_attribute_uint64(G_FILE_INFO(info.get()), G_FILE_ATTRIBUTE_UNIX_INODE);
    }
  }
  gsize written = 0;
  bool saved = g_output_stream_write_all(G_OUTPUT_STREAM(stream), contents_->data(), contents_->size(), &written,
                                         nullptr, &failure.error) != FALSE;
  if (saved) {
    saved = g_output_stream_close(G_OUTPUT_STREAM(stream), nullptr, &failure.error) != FALSE;
  } else {
    // Closing with a cancelled operation drops the new file and leaves the old one alone.
    g_cancellable_cancel(G_CANCELLABLE(cancellable.get()));
    (void)g_output_stream_close(G_OUTPUT_STREAM(stream), G_CANCELLABLE(cancellable.get()), nullptr);
  }
  if (!saved) {
    struct stat now {};
    if (createdInode && ::stat(target.c_str(), &now) == 0 && guint64(now.st_ino) == *createdInode) {
      ::unlink(target.c_str());
    }
    throwSaveError(failure.error, url, contents_->size());
  }
  if (!keepsOwner) (void)::chmod(target.c_str(), existing.st_mode & 07777);
  // The rename reaches the disk with the folder.
  Fennix::FileDescriptor folderFD(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFD.isOpen()) (void)::fsync(folderFD.get());

  struct stat now {};
  if (::stat(target.c_str(), &now) != 0) return "";
  if (const char* tag = g_file_output_stream_get_etag(stream)) return identityText(tag, now);
  return entityTagOfVersion(target, now).value_or("");
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

std::string SVGQuarvel::readTextFileDetectingEncoding(const std::filesystem::path& url) {
  RawFile raw = readRaw(url);
  if (raw.directory) throw readError(EISDIR, url);
  if (auto text = decodeText(raw.bytes)) return std::move(*text);
  throw CocoaError(CocoaError::fileReadUnknownStringEncoding,
                   "The file " + displayName(url) +
                       " couldn\u2019t be opened because the text encoding of its contents can\u2019t be determined.");
}

std::string SVGQuarvel::byteSizeText(std::size_t bytes) {
  char text[96];
  constexpr std::size_t megabyte = std::size_t{1} << 20;
  if (bytes % megabyte == 0) {
    std::snprintf(text, sizeof text, "%zu MB (%zu bytes)", bytes / megabyte, bytes);
  } else {
    std::snprintf(text, sizeof text, "%.1f MB (%zu bytes)", double(bytes) / double(megabyte), bytes);
  }
  return text;
}

bool SVGQuarvel::isValidUTF8(std::string_view text) {
  return text.find('\0') == std::string_view::npos && QuarvelText::isValidUTF8(text);
}
