#include "SVGQuarvel/Model/DocumentFile.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
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
  return "\u201C" + SVGQuarvel::displayFileName(url) + "\u201D";
}

/// The first folder on the way to `url` that is something else now (a file put in its place).
std::optional<std::filesystem::path> nonFolderOnPath(const std::filesystem::path& url) {
  std::filesystem::path walked;
  const auto folder = url.parent_path();
  for (const auto& part : folder) {
    walked /= part;
    struct stat info {};
    if (::stat(walked.c_str(), &info) != 0) return std::nullopt;
    if (!S_ISDIR(info.st_mode)) return walked;
  }
  return std::nullopt;
}

/// "because “name”, a folder on its path, is a file now." when that is why.
std::optional<std::string> notAFolderReason(const std::filesystem::path& url) {
  const auto found = nonFolderOnPath(url);
  if (!found) return std::nullopt;
  return " because " + displayName(*found) + ", a folder on its path, is no longer a folder.";
}

/// What a file that is not a regular file is, for the user.
std::string kindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "something other than a file";
}

/// " because it is a named pipe, not a file." for what the path leads to when it is no regular
/// file (a link to one is followed).
std::optional<std::string> notAFileReason(const std::filesystem::path& url) {
  struct stat info {};
  if (::stat(url.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return std::nullopt;
  return " because it is " + kindOfFile(info.st_mode) + ", not a file.";
}

/// Whether a file system is mounted on the file at `url` (a link to it is followed).
bool isMountPoint(const std::filesystem::path& url) {
  struct statx info {};
  return ::statx(AT_FDCWD, url.c_str(), AT_STATX_SYNC_AS_STAT, 0, &info) == 0 &&
         (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 && (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

/// The reasons that reading and saving share.
std::optional<std::string> sharedReason(int error) {
  switch (error) {
    case ENAMETOOLONG: return " because its name or the path to it is too long.";
    case ELOOP: return " because its symbolic links lead round in a loop.";
    // No file could be opened at all: the file itself is as it was.
    case EMFILE: return " because this application has too many files open. Close some of its windows and try again.";
    case ENFILE: return " because the system has too many files open. Quit some other applications and try again.";
    default: return std::nullopt;
  }
}

CocoaError readError(int error, const std::filesystem::path& url) {
  const std::string file = "The file " + displayName(url) + " couldn\u2019t be opened";
  if (error == ENOTDIR || error == EACCES) {
    if (const auto reason = notAFolderReason(url)) return CocoaError(CocoaError::fileReadNoSuchFile, file + *reason);
  }
  if (const auto reason = sharedReason(error)) return CocoaError(CocoaError::fileReadUnknown, file + *reason);
  switch (error) {
    case ENOENT:
    case ENOTDIR: return CocoaError(CocoaError::fileReadNoSuchFile, file + " because there is no such file.");
    case EACCES:
    case EPERM:
      return CocoaError(CocoaError::fileReadNoPermission,
                        file + " because you don\u2019t have permission to view it.");
    case ENXIO:
    case EINVAL:
    case EISDIR:
      // A socket cannot be opened at all; pipes and devices are refused once open.
      if (const auto reason = notAFileReason(url)) return CocoaError(CocoaError::fileReadUnknown, file + *reason);
      return CocoaError(CocoaError::fileReadUnknown, file + ".");
    default: return CocoaError(CocoaError::fileReadUnknown, file + ".");
  }
}

CocoaError writeError(int error, const std::filesystem::path& url) {
  const std::string file = "The file " + displayName(url) + " couldn\u2019t be saved";
  if (error == ENOTDIR || error == EACCES) {
    if (const auto reason = notAFolderReason(url)) return CocoaError(CocoaError::fileNoSuchFile, file + *reason);
  }
  if (const auto reason = sharedReason(error)) return CocoaError(CocoaError::fileWriteUnknown, file + *reason);
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return CocoaError(CocoaError::fileNoSuchFile, file + " because the folder it should go in doesn\u2019t exist.");
    case EACCES:
    case EPERM:
      return CocoaError(CocoaError::fileWriteNoPermission,
                        file + " because you don\u2019t have permission to save it there.");
    case EROFS:
      return CocoaError(CocoaError::fileWriteNoPermission,
                        file + " because the disk it is on can only be read.");
    case EISDIR:
    case EINVAL:
      // Something other than a file has the name (a folder, a named pipe).
      if (const auto reason = notAFileReason(url)) return CocoaError(CocoaError::fileWriteUnknown, file + *reason);
      return CocoaError(CocoaError::fileWriteUnknown, file + ".");
    case ENOSPC:
    case EDQUOT:
      return CocoaError(CocoaError::fileWriteOutOfSpace, file + " because there isn\u2019t enough space.");
    case EFBIG:
      return CocoaError(CocoaError::fileWriteOutOfSpace, file + " because it is larger than the size files may have.");
    case EBUSY:
      if (isMountPoint(url)) {
        return CocoaError(CocoaError::fileWriteUnknown,
                          file + " because another file system is mounted on it, and a mount point can\u2019t be "
                                 "replaced. Save it under another name with Save As, or unmount what is mounted "
                                 "there and save again.");
      }
      return CocoaError(CocoaError::fileWriteUnknown,
                        file + " because the system is using it, so it can\u2019t be replaced now. Save it under "
                               "another name with Save As, or try again later.");
    default: return CocoaError(CocoaError::fileWriteUnknown, file + ".");
  }
}

/// The name of the user `uid` ("the user 1234" when it has none).
std::string userName(uid_t uid) {
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr && found->pw_name != nullptr) {
    return "\u201C" + SVGQuarvel::validUTF8(found->pw_name) + "\u201D";
  }
  return "the user " + std::to_string(uid);
}

/// The name of the group `gid` ("the group 1234" when it has none).
std::string groupName(gid_t gid) {
  struct group entry {};
  struct group* found = nullptr;
  char buffer[4096];
  if (::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr && found->gr_name != nullptr) {
    return "the group \u201C" + SVGQuarvel::validUTF8(found->gr_name) + "\u201D";
  }
  return "the group " + std::to_string(gid);
}

/// A save whose new version would not belong to the file's owner and group.
CocoaError ownerNotKeptError(const std::filesystem::path& url, const struct stat& existing) {
  const std::string file = "The file " + displayName(url) + " couldn\u2019t be saved";
  if (existing.st_uid != ::geteuid()) {
    const std::string owner = userName(existing.st_uid);
    return CocoaError(CocoaError::fileWriteNoPermission,
                      file + " because it belongs to " + owner +
                          ": a new version saved by you would belong to you, and " + owner +
                          " might no longer be able to open it. Save your version under another name with Save As, or ask " +
                          owner + " to save it.");
  }
  return CocoaError(CocoaError::fileWriteNoPermission,
                    file + " because it belongs to " + groupName(existing.st_gid) +
                        ", which you are not a member of: a new version saved by you could not belong to it, and "
                        "its members might no longer be able to open it. Save your version under another name with Save As.");
}

/// `throughFolder`: the name itself is no link, but a folder on its path leads elsewhere now.
CocoaError ownerOfLinkedFileError(const std::filesystem::path& url, const std::filesystem::path& target,
                                  const struct stat& existing, bool throughFolder = false) {
  const std::string owner = userName(existing.st_uid);
  return CocoaError(CocoaError::fileWriteNoPermission,
                    "The file " + displayName(url) + " couldn\u2019t be saved because " +
                        (throughFolder ? "a folder on its path now leads elsewhere, and its name to \u201C"
                                       : "its name is now a symbolic link to \u201C") +
                        SVGQuarvel::displayText(target.lexically_normal().string()) + "\u201D, which belongs to " +
                        owner + ": written there, the document would be " + owner +
                        "\u2019s to open. Nothing was changed. Save your version under another name with Save As.");
}

CocoaError linkToNoFileError(const std::filesystem::path& url, const std::filesystem::path& target) {
  return CocoaError(CocoaError::fileWriteUnknown,
                    "The file " + displayName(url) + " couldn\u2019t be saved because its name is a symbolic link to \u201C" +
                        SVGQuarvel::displayText(target.lexically_normal().string()) +
                        "\u201D, where there is no file: saved, it would make a file there. Nothing was changed. To "
                        "save it there, choose that name.");
}

CocoaError attributesNotKeptError(const std::filesystem::path& url) {
  return CocoaError(CocoaError::fileWriteNoPermission,
                    "The file " + displayName(url) +
                        " couldn\u2019t be saved because its access control list or its extended attributes "
                        "couldn\u2019t be given to its new version: saved without them, it would be open to "
                        "people it is not shared with, or closed to those it is, or lose what they hold. Nothing "
                        "was changed.");
}

CocoaError readOnlyError(const std::filesystem::path& url) {
  return CocoaError(CocoaError::fileWriteNoPermission, "The file " + displayName(url) +
                                                           " couldn\u2019t be saved because you don\u2019t have "
                                                           "permission to write to it.");
}

FileChangedError changedError(const std::filesystem::path& url, const std::string& detail = {}) {
  const std::string message =
      "The file " + displayName(url) + " has been changed by another application since it was opened or last saved.";
  return FileChangedError(detail.empty() ? message : message + " " + detail, detail, url);
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
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

/// Reads the file at `url`; more than `maximumBytes` bytes are not read (whatever its size says:
/// some files say 0 and never end) and throw the size error.
RawFile readRaw(const std::filesystem::path& url, std::optional<std::size_t> maximumBytes) {
  // Non-blocking, so that opening a named pipe does not wait for a writer.
  Fennix::FileDescriptor fd(::open(url.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) throw readError(errno, url);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw readError(errno, url);
  if (S_ISDIR(info.st_mode)) return RawFile{true, {}};
  if (!S_ISREG(info.st_mode)) throw readError(EINVAL, url);
  RawFile file;
  file.info = info;
  const std::size_t limit = maximumBytes.value_or(std::numeric_limits<std::size_t>::max() - 1);
  if (info.st_size > 0) file.bytes.reserve(std::min(static_cast<std::size_t>(info.st_size), limit));
  char buffer[65536];
  for (;;) {
    // Whole buffers (some files read only in multiples of their records); the reading stops once
    // more than the limit is in, which tells a file at the limit from a larger one.
    const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw readError(errno, url);
    }
    file.bytes.append(buffer, static_cast<std::size_t>(count));
    if (file.bytes.size() > limit) {
      throw CocoaError(CocoaError::fileReadTooLarge, "The file " + displayName(url) +
                                                         " is too large to open: it has more than " +
                                                         SVGQuarvel::byteSizeText(limit) + "; files of at most " +
                                                         SVGQuarvel::byteSizeText(limit) + " open.");
    }
  }
  struct stat after {};
  file.changedWhileRead = ::fstat(fd.get(), &after) != 0 || !sameVersion(info, after);
  return file;
}

// ---- file identity ----------------------------------------------------------------

using GObjectHolder = std::unique_ptr<void, decltype(&g_object_unref)>;
GObjectHolder held(gpointer object) { return GObjectHolder(object, &g_object_unref); }

// A file's identity is the toolkit's entity tag (made of the modification time alone) followed by
// "@", the device and the inode: a file renamed over the old one within the same tick of the
// clock is still told apart. Then "+", its size, ":", its modification time and ":" its status
// change time (seconds "." nanoseconds): a rewrite in place that puts the modification time back
// still changes those. Identities made before they were noted end after the inode.
std::string fileText(const struct stat& info) {
  return "@" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

std::string timeText(const struct timespec& time) {
  return std::to_string(time.tv_sec) + "." + std::to_string(time.tv_nsec);
}

std::string identityText(const std::string& entityTag, const struct stat& info) {
  return entityTag + fileText(info) + "+" + std::to_string(info.st_size) + ":" + timeText(info.st_mtim) + ":" +
         timeText(info.st_ctim);
}

/// Whether `identity` is that of the file `info` describes, whatever its version.
bool isIdentityOfFile(std::string_view identity, const struct stat& info) {
  const auto at = identity.rfind('@');
  if (at == std::string_view::npos) return false;
  const auto version = identity.find('+', at);
  return identity.substr(0, version).ends_with(fileText(info));
}

/// Whether the identities `a` and `b` are of one version of one file; `byChangeTime`: its status
/// change time counts too.
/// An identity made before the size and times were noted holds its entity tag, device and inode
/// alone: only those are compared with it.
bool sameVersionOfFile(std::string_view a, std::string_view b, bool byChangeTime) {
  auto versionMark = [](std::string_view identity) {
    const auto at = identity.rfind('@');
    return at == std::string_view::npos ? std::string_view::npos : identity.find('+', at);
  };
  const auto markA = versionMark(a), markB = versionMark(b);
  if (markA == std::string_view::npos || markB == std::string_view::npos) {
    return a.substr(0, markA) == b.substr(0, markB);
  }
  if (byChangeTime) return a == b;
  auto withoutChangeTime = [](std::string_view identity) { return identity.substr(0, identity.rfind(':')); };
  return withoutChangeTime(a) == withoutChangeTime(b);
}

/// The version `identity` was made of; none for an identity made before its size and times were
/// noted.
std::optional<Fennix::FileVersion> versionOfIdentity(std::string_view identity) {
  const auto at = identity.rfind('@');
  if (at == std::string_view::npos) return std::nullopt;
  unsigned long long device = 0, inode = 0, modified = 0, changed = 0;
  long long size = 0, modifiedNanoseconds = 0, changedNanoseconds = 0;
  int used = 0;
  const std::string text(identity.substr(at));
  if (std::sscanf(text.c_str(), "@%llu:%llu+%lld:%llu.%lld:%llu.%lld%n", &device, &inode, &size, &modified,
                  &modifiedNanoseconds, &changed, &changedNanoseconds, &used) != 7 ||
      std::size_t(used) != text.size()) {
    return std::nullopt;
  }
  Fennix::FileVersion version;
  version.device = dev_t(device);
  version.inode = ino_t(inode);
  version.size = off_t(size);
  version.modified = {time_t(modified), long(modifiedNanoseconds)};
  version.changed = {time_t(changed), long(changedNanoseconds)};
  return version;
}

/// Where the file that `file` names is (it may not exist yet): its folder with every symbolic link
/// on the way followed, and its name. None when that folder cannot be found.
std::optional<std::filesystem::path> placeOf(const std::filesystem::path& file) {
  std::error_code error;
  const auto folder = std::filesystem::canonical(file.has_parent_path() ? file.parent_path() : ".", error);
  if (error) return std::nullopt;
  return folder / file.filename();
}

/// The entity tag of the file at `url` when it is still the version described by `read`; none
/// when the file changed in between (or cannot be asked).
std::optional<std::string> entityTagOfVersion(const std::filesystem::path& url, const struct stat& read) {
  // The toolkit folds a ".." into the path as written, where the system climbs out of the folder
  // the path reached (through a folder link, elsewhere): it is given the folder as followed.
  const auto place = placeOf(url);
  auto file = held(g_file_new_for_path((place ? *place : url).c_str()));
  auto info = GObjectHolder(
      g_file_query_info(G_FILE(file.get()),
                        G_FILE_ATTRIBUTE_ETAG_VALUE "," G_FILE_ATTRIBUTE_UNIX_DEVICE "," G_FILE_ATTRIBUTE_UNIX_INODE
                                                    "," G_FILE_ATTRIBUTE_STANDARD_SIZE "," G_FILE_ATTRIBUTE_TIME_MODIFIED
                                                    "," G_FILE_ATTRIBUTE_TIME_MODIFIED_USEC "," G_FILE_ATTRIBUTE_TIME_CHANGED
                                                    "," G_FILE_ATTRIBUTE_TIME_CHANGED_USEC,
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
          guint32(read.st_mtim.tv_nsec / 1000) &&
      g_file_info_get_attribute_uint64(fileInfo, G_FILE_ATTRIBUTE_STANDARD_SIZE) == guint64(read.st_size) &&
      g_file_info_get_attribute_uint64(fileInfo, G_FILE_ATTRIBUTE_TIME_CHANGED) == guint64(read.st_ctim.tv_sec) &&
      g_file_info_get_attribute_uint32(fileInfo, G_FILE_ATTRIBUTE_TIME_CHANGED_USEC) ==
          guint32(read.st_ctim.tv_nsec / 1000);
  if (!same) return std::nullopt;
  return identityText(tag, read);
}

/// The permissions of the file at `url` (following links), whose status gave `mode`, as they stand
/// without its access control list. With a list, the group's bits are the list's mask (the most
/// that a user or group named in it may do), while the file's group itself may do only what its
/// own entry and the mask both allow: those are its bits here. A list that cannot be read leaves
/// the group nothing.
mode_t permissionsWithoutAccessList(const std::filesystem::path& url, mode_t mode) {
  std::string list(1024, '\0');
  ssize_t size = ::getxattr(url.c_str(), "system.posix_acl_access", list.data(), list.size());
  if (size < 0 && errno == ERANGE) {
    size = ::getxattr(url.c_str(), "system.posix_acl_access", nullptr, 0);
    if (size > 0) {
      list.resize(static_cast<std::size_t>(size) + 64);
      size = ::getxattr(url.c_str(), "system.posix_acl_access", list.data(), list.size());
    }
  }
  if (size < 0 && (errno == ENODATA || errno == ENOTSUP)) return mode;
  const mode_t withoutGroup = mode & ~mode_t(S_IRWXG);
  // A version number of four bytes, then entries of a tag (two bytes), permissions (two) and an
  // id (four), little-endian.
  if (size < 4) return withoutGroup;
  auto number = [&](std::size_t at, int bytes) {
    unsigned value = 0;
    for (int index = bytes - 1; index >= 0; --index) value = (value << 8) | static_cast<unsigned char>(list[at + index]);
    return value;
  };
  std::optional<unsigned> group;
  std::optional<unsigned> mask;
  for (std::size_t at = 4; at + 8 <= static_cast<std::size_t>(size); at += 8) {
    const unsigned tag = number(at, 2);
    if (tag == 0x04) group = number(at + 2, 2) & 07;
    if (tag == 0x10) mask = number(at + 2, 2) & 07;
  }
  if (!group) return withoutGroup;
  return withoutGroup | mode_t((*group & mask.value_or(07)) << 3);
}

// What a save keeps of the version read rides on its identity: "#", its permissions in octal (as
// they stand without an access control list), ":" and its owner's and group's numbers, then "/" and
// where the file was, its folder's links all followed (in hexadecimal), and "l" when its name was a
// symbolic link (after ":" and the path of the file it led to, in hexadecimal), "f" when it was the
// file itself. Notes made before the place was noted have no "/".
std::string hexText(const std::string& text) {
  std::string hex;
  static constexpr char digits[] = "0123456789abcdef";
  for (const unsigned char c : text) {
    hex += digits[c >> 4];
    hex += digits[c & 0xF];
  }
  return hex;
}

std::optional<std::string> fromHexText(const std::string& hex) {
  if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdef") != std::string::npos) return std::nullopt;
  std::string text;
  for (std::size_t at = 0; at < hex.size(); at += 2) text.push_back(char(std::stoul(hex.substr(at, 2), nullptr, 16)));
  return text;
}

/// The note of a version read through a symbolic link that led to `ledTo`.
std::string linkNote(const std::filesystem::path& ledTo) { return ":" + hexText(ledTo.lexically_normal().string()) + "l"; }

/// The identity of a version with what a save keeps of it.
std::string withVersionNotes(const std::string& identity, const struct stat& info, mode_t mode,
                             const std::optional<std::filesystem::path>& ledTo,
                             const std::optional<std::filesystem::path>& place) {
  char notes[64];
  std::snprintf(notes, sizeof notes, "#%o:%u:%u", unsigned(mode & 07777), unsigned(info.st_uid), unsigned(info.st_gid));
  std::string noted = identity + notes;
  if (place) noted += "/" + hexText(place->string());
  return ledTo ? noted + linkNote(*ledTo) : noted + "f";
}

struct ReadVersion {
  std::string identity;
  /// None for an identity without notes.
  std::optional<mode_t> permissions;
  std::optional<bool> throughLink;
  std::optional<uid_t> owner;
  std::optional<gid_t> group;
  /// The file the link led to, for a version read through one.
  std::optional<std::string> ledTo;
  /// Where the file was, every link on its path followed.
  std::optional<std::string> place;
};

ReadVersion readVersion(const std::string& tag) {
  const ReadVersion bare{tag, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
  const auto mark = tag.rfind('#');
  if (mark == std::string::npos || tag.size() < mark + 3 || (tag.back() != 'l' && tag.back() != 'f')) return bare;
  const std::string notes = tag.substr(mark + 1, tag.size() - mark - 2);
  const auto first = notes.find(':');
  const auto second = first == std::string::npos ? first : notes.find(':', first + 1);
  if (second == std::string::npos) return bare;
  const std::string digits = notes.substr(0, first);
  const std::string owner = notes.substr(first + 1, second - first - 1);
  const auto third = notes.find(':', second + 1);
  std::string group = notes.substr(second + 1, third == std::string::npos ? std::string::npos : third - second - 1);
  std::optional<std::string> place;
  if (const auto slash = group.find('/'); slash != std::string::npos) {
    place = fromHexText(group.substr(slash + 1));
    if (!place) return bare;
    group.resize(slash);
  }
  std::optional<std::string> ledTo;
  if (third != std::string::npos) {
    if (tag.back() != 'l') return bare;
    ledTo = fromHexText(notes.substr(third + 1));
    if (!ledTo) return bare;
  }
  if (digits.empty() || digits.find_first_not_of("01234567") != std::string::npos || digits.size() > 4) return bare;
  for (const auto& number : {owner, group}) {
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos || number.size() > 10) return bare;
  }
  return {tag.substr(0, mark), mode_t(std::stoul(digits, nullptr, 8)), tag.back() == 'l',
          uid_t(std::stoull(owner)), gid_t(std::stoull(group)), std::move(ledTo), std::move(place)};
}

bool isSymbolicLink(const std::filesystem::path& url) {
  struct stat info {};
  return ::lstat(url.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// ---- writing --------------------------------------------------------------------------

/// Whether `a` and `b` name the same entry of the same folder, however either folder is reached
/// (the file itself may be gone).
bool sameName(const std::filesystem::path& a, const std::filesystem::path& b) {
  auto folderOf = [](const std::filesystem::path& path) {
    std::error_code error;
    auto folder = std::filesystem::canonical(path.has_parent_path() ? path.parent_path() : ".", error);
    return error ? std::filesystem::path() : folder;
  };
  const auto folder = folderOf(a);
  return !folder.empty() && a.filename() == b.filename() && folder == folderOf(b);
}

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

/// Where the file `url` leads to is, its name's links followed too.
std::optional<std::filesystem::path> placeOfLinked(const std::filesystem::path& url) {
  try {
    return placeOf(followLinks(url));
  } catch (const CocoaError&) {
    return std::nullopt;
  }
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

FileWrapper FileWrapper::fromURL(const std::filesystem::path& url, std::optional<std::size_t> maximumBytes) {
  // The identity belongs to the very version that was read: a file rewritten meanwhile is read
  // again, and one that keeps changing gets an identity no file has.
  RawFile raw;
  std::optional<std::string> tag;
  for (int attempt = 0; attempt < 5 && !tag; ++attempt) {
    raw = readRaw(url, maximumBytes);
    if (raw.directory) break;
    if (!raw.changedWhileRead) tag = entityTagOfVersion(url, raw.info);
  }
  FileWrapper wrapper(raw.directory ? std::nullopt : std::optional(std::move(raw.bytes)));
  if (!raw.directory) {
    const mode_t permissions = permissionsWithoutAccessList(url, raw.info.st_mode);
    std::optional<std::filesystem::path> ledTo;
    if (isSymbolicLink(url)) {
      try {
        ledTo = followLinks(url);
      } catch (const CocoaError&) {
        ledTo = std::filesystem::path();  // a link that changed while it was read: never where it leads
      }
    }
    wrapper.entityTag = tag ? withVersionNotes(*tag, raw.info, permissions, ledTo, placeOfLinked(url)) : "";
  }
  wrapper.filename = url.filename().string();
  wrapper.preferredFilename = wrapper.filename;
  return wrapper;
}

std::string FileWrapper::write(const std::filesystem::path& url, const std::optional<std::string>& expectedEntityTag,
                               bool overwriteChanges, const std::optional<std::string>& approvedChange) const {
  if (!contents_) throw writeError(EISDIR, url);
  if (url.empty() || !url.has_filename()) throw writeError(EINVAL, url);
  const auto expected = expectedEntityTag ? std::optional(readVersion(*expectedEntityTag)) : std::nullopt;
  // A symbolic link stays: the file it points to is replaced, in its own folder.
  const bool nameIsLink = isSymbolicLink(url);
  const auto target = followLinks(url);
  // A name that was the file itself and is a link now leads somewhere else: another file, or a
  // place where none is yet. That is a change like any other, and the user is told where it leads.
  // Where it leads to a folder or a pipe, nothing could be written there: that is said below
  // instead of asking. A link to the file that was read leads to the document's own file (another
  // name of it chosen with Save As, or the file moved and a link left in its place): it is saved
  // as its file is, and asked about only when another program changed it.
  struct stat led {};
  const bool leadsToSomething = ::stat(target.c_str(), &led) == 0;
  // A name chosen anew that is a link to no file would make a file in a place the user never
  // chose nor was told about: that is said instead.
  if (!expected && nameIsLink && !leadsToSomething) throw linkToNoFileError(url, target);
  const bool leadsToFileRead = leadsToSomething && S_ISREG(led.st_mode) && expected &&
                               isIdentityOfFile(expected->identity, led);
  // Where the name leads now, every link followed. A file found elsewhere than it was read may
  // have been renamed there, which changes its status change time as a rewrite does: there only
  // its contents' marks tell its versions apart.
  const auto placeNow = placeOf(target);
  const bool placeChanged = expected && expected->place && placeNow && placeNow->string() != *expected->place;
  auto isVersionRead = [&](const std::optional<std::string>& identity) {
    return identity && sameVersionOfFile(*identity, expected->identity, !placeChanged);
  };
  // A link when read that another program turned to another place is such a change too, unless
  // it leads to the very version read (another name of it): the number of a file that is gone is
  // given to the next new file, so a file there with the number of the one read may be another.
  const bool turnedElsewhere = expected && expected->throughLink == true && expected->ledTo &&
                               *expected->ledTo != target.lexically_normal().string();
  const bool leadsToVersionRead = leadsToFileRead && isVersionRead(entityTagOfVersion(target, led));
  const bool becameLink =
      expected && nameIsLink &&
      ((expected->throughLink == false && !leadsToFileRead) || (turnedElsewhere && !leadsToVersionRead));
  // A name that was a link when read and is a file now, not the version read: another file took it.
  // The file the link led to, saved under its own name, is the document's file another program
  // may have changed, not another one.
  const bool takenByAnother = expected && expected->throughLink == true && !nameIsLink && leadsToSomething &&
                              S_ISREG(led.st_mode) && !leadsToVersionRead &&
                              !(expected->ledTo && sameName(*expected->ledTo, target));
  // A folder on the way that another program replaced with a link (or turned elsewhere) takes the
  // name to another place as a link in the name's own place would: it is the same change, unless
  // the name still leads to the very version read (its folder moved, and a link left behind). A
  // name that is a link now is told apart above by where it leads.
  const bool sameLinkStory = nameIsLink ? expected && expected->throughLink == true && !turnedElsewhere : true;
  const bool movedElsewhere =
      placeChanged && sameLinkStory && !becameLink && !takenByAnother && !leadsToVersionRead;
  const std::string whereItLeads = leadsToSomething ? ", another file: overwriting replaces that file."
                                                    : ", where there is no file: overwriting makes one there.";
  const bool mayBeWritten = !leadsToSomething || S_ISREG(led.st_mode);
  // Where a link leads is named as the system follows it: a ".." in it climbs out of the folder
  // the path reached, which a folder link on the way may have put elsewhere than its text says.
  const auto leadsTo = placeNow ? *placeNow : target.lexically_normal();
  const std::string linkDetail =
      takenByAnother ? std::string("Another file has taken its name since: overwriting replaces that file.")
      : becameLink && mayBeWritten
          ? "Its name is now a symbolic link to \u201C" + SVGQuarvel::displayText(leadsTo.string()) +
                "\u201D" + whereItLeads
      : movedElsewhere && mayBeWritten
          ? "A folder on its path now leads elsewhere, and its name to \u201C" +
                SVGQuarvel::displayText(placeNow->string()) + "\u201D" + whereItLeads
          : std::string();
  if (!linkDetail.empty() && !overwriteChanges) throw changedError(url, linkDetail);
  // The user's word was given for where the name led when asked: a link that another program
  // turned since leads to a file nobody agreed to replace, and is asked about anew.
  if (overwriteChanges && approvedChange && *approvedChange != linkDetail) throw changedError(url, linkDetail);
  auto folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (::access(folder.c_str(), W_OK | X_OK) != 0) throw writeError(errno, url);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) throw writeError(EISDIR, url);
  if (exists && !S_ISREG(existing.st_mode)) throw writeError(EINVAL, url);
  // Read-only means read-only, for the owner and for an administrator alike.
  if (exists && ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) throw readOnlyError(url);
  Fennix::ReplaceFileOptions options;
  // A file that is gone (removed, or renamed by another program, or its folder replaced) is made
  // anew, and no more open than the version read: a private document stays private.
  if (expected && expected->permissions && !exists) options.permissions = *expected->permissions & 0777;
  // An empty identity was never a file's (the file kept changing while it was read).
  if (expected && !overwriteChanges) {
    if (!exists) {
      // Written anew, unless another program puts a file there meanwhile.
      options.expectedVersion = std::optional<Fennix::FileVersion>();
    } else {
      const auto current = entityTagOfVersion(target, existing);
      if (expected->identity.empty() || !isVersionRead(current)) throw changedError(url);
      // Replaced only while it is still the version read, its status change time included where
      // it was read.
      auto version = versionOfIdentity(expected->identity).value_or(Fennix::FileVersion::of(existing));
      if (placeChanged) version.changed = {};
      options.expectedVersion = version;
    }
  }
  // The new file takes the old one's owner, permissions, access control list and extended
  // attributes, or nothing is written. A file with more than one name is replaced under this one;
  // its other names keep the old version.
  options.keepOwner = true;
  options.keepPermissions = true;
  if (becameLink || movedElsewhere) {
    // The user chose to write where a link that took the document's name (or a folder on its way)
    // leads. The file there
    // stays its owner's (a writer who cannot give it its owner is refused, as on any save), but
    // the text written is the version read, and no more open than it was: the file there loses
    // what let others in.
    options.keepPermissions = false;
    options.permissions = expected->permissions.value_or(S_IRUSR | S_IWUSR) & 0777;
    // Kept as the file there's, its owner and group are let in only as far as the version read
    // let them: an owner who could not open the document is not handed it (an owner may open
    // their file whatever its permissions), and another group gets nothing.
    if (exists) {
      const bool ownerMayOpen = existing.st_uid == ::geteuid() || existing.st_uid == expected->owner;
      if (!ownerMayOpen) throw ownerOfLinkedFileError(url, leadsTo, existing, movedElsewhere);
      if (existing.st_gid != expected->group) options.permissions &= ~mode_t(S_IRWXG);
    }
  }
  options.followSymlink = false;
  struct stat written {};
  options.written = &written;
  if (const auto failure = Fennix::replaceFileAtomically(target, *contents_, options)) {
    if (failure == Fennix::ReplaceFileError::fileChanged) throw changedError(url);
    if (failure == Fennix::ReplaceFileError::ownerNotKept) throw ownerNotKeptError(url, existing);
    if (failure == Fennix::ReplaceFileError::attributesNotKept) throw attributesNotKeptError(url);
    throw writeError(failure.value(), url);
  }
  // The identity of the file written, as it stands once it took the name (which changed its status
  // change time); when another program's file has taken the name since, none (the next save asks).
  struct stat named {};
  std::optional<std::string> tag;
  if (::stat(target.c_str(), &named) == 0 && Fennix::FileVersion::of(named) == Fennix::FileVersion::of(written)) {
    tag = entityTagOfVersion(target, named);
  }
  return tag ? withVersionNotes(*tag, named, permissionsWithoutAccessList(target, named.st_mode),
                                nameIsLink ? std::optional(target) : std::nullopt, placeOf(target))
             : "";
}

std::string FileWrapper::entityTagThroughLink(const std::string& entityTag, const std::filesystem::path& file,
                                              const std::filesystem::path& link) {
  if (readVersion(entityTag).throughLink != false || !isSymbolicLink(link)) return entityTag;
  std::filesystem::path target;
  try {
    target = followLinks(link).lexically_normal();
  } catch (const CocoaError&) {
    return entityTag;
  }
  if (!sameName(target, file)) return entityTag;
  return entityTag.substr(0, entityTag.size() - 1) + linkNote(target);
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

std::string SVGQuarvel::readTextFileDetectingEncoding(const std::filesystem::path& url,
                                                     std::optional<std::size_t> maximumBytes) {
  RawFile raw = readRaw(url, maximumBytes);
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

std::string SVGQuarvel::displayFileName(const std::filesystem::path& url) {
  const std::string name = url.has_filename() ? url.filename().string() : url.string();
  gchar* shown = g_filename_display_name(name.c_str());
  std::string result = displayText(shown != nullptr ? shown : "");
  g_free(shown);
  return result;
}

std::string SVGQuarvel::displayText(std::string_view text) {
  const std::string valid = validUTF8(text);
  std::string shown;
  shown.reserve(valid.size());
  char encoded[8];
  for (const char* at = valid.c_str(); *at != '\0'; at = g_utf8_next_char(at)) {
    const gunichar c = g_utf8_get_char(at);
    gunichar picture = 0;
    if (c < 0x20) {
      picture = 0x2400 + c;
    } else if (c == 0x7F) {
      picture = 0x2421;
    } else if ((c >= 0x80 && c < 0xA0) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) {
      // The C1 controls, and the embeddings, overrides and isolates that would turn the rest of
      // the line round (a name "a<RLO>gvs.txt" shown as "atxt.svg" and its message backwards).
      picture = 0xFFFD;
    } else if (c == 0x2028 || c == 0x2029) {
      picture = 0x2424;
    }
    if (picture == 0) {
      shown.append(at, std::size_t(g_utf8_next_char(at) - at));
    } else {
      shown.append(encoded, std::size_t(g_unichar_to_utf8(picture, encoded)));
    }
  }
  return shown;
}

std::string SVGQuarvel::validUTF8(std::string_view text) {
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string result = valid != nullptr ? valid : "";
  g_free(valid);
  return result;
}

bool SVGQuarvel::isValidUTF8(std::string_view text) {
  return text.find('\0') == std::string_view::npos && QuarvelText::isValidUTF8(text);
}
