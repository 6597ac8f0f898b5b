// What a document needs of files: content types, file errors with their codes,
// file wrappers read from and written to disk (atomically, refusing to overwrite a
// file that changed since it was read), the read and write configurations of a
// document, and text files read with their encoding detected.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

/// A uniform type: an identifier and the identifiers it conforms to.
class UTType {
 public:
  UTType(std::string identifier, std::vector<std::string> supertypes = {},
         std::vector<std::string> filenameExtensions = {}, std::string preferredMIMEType = {},
         std::string localizedDescription = {});

  /// "public.svg-image", files ending in ".svg".
  static const UTType& svg();
  /// "public.swift-source", files ending in ".swift".
  static const UTType& swiftSource();
  /// The document's own type: the reverse-DNS prefix and ".quarvel.svg.doc", declared without a
  /// parent type; files ending in ".svgquarvel".
  static const UTType& svgQuarvelDocument();
  /// The type of the first of the three above that claims the extension (without the dot, any
  /// case); none for others.
  static std::optional<UTType> fromFilenameExtension(std::string_view filenameExtension);

  const std::string& identifier() const { return identifier_; }
  const std::vector<std::string>& filenameExtensions() const { return filenameExtensions_; }
  /// The MIME type of the type's files; empty when none is known.
  const std::string& preferredMIMEType() const { return preferredMIMEType_; }
  /// What the user calls such files ("SVG drawing"); the identifier when nothing else is known.
  const std::string& localizedDescription() const {
    return localizedDescription_.empty() ? identifier_ : localizedDescription_;
  }
  /// True for the type itself and for the types it is declared to conform to.
  bool conforms(const UTType& to) const;

  std::string description() const { return identifier_; }
  bool operator==(const UTType& other) const { return identifier_ == other.identifier_; }

 private:
  std::string identifier_;
  std::vector<std::string> supertypes_;
  std::vector<std::string> filenameExtensions_;
  std::string preferredMIMEType_;
  std::string localizedDescription_;
};

/// A file error: a code of the file error domain and a message for the user.
class CocoaError : public std::runtime_error {
 public:
  enum Code : int {
    fileNoSuchFile = 4,
    fileReadUnknown = 256,
    fileReadNoPermission = 257,
    fileReadCorruptFile = 259,
    fileReadNoSuchFile = 260,
    fileReadTooLarge = 263,
    fileReadUnknownStringEncoding = 264,
    fileWriteUnknown = 512,
    fileWriteNoPermission = 513,
    fileWriteInapplicableStringEncoding = 517,
    fileWriteOutOfSpace = 640,
  };

  CocoaError(Code code, const std::string& message) : std::runtime_error(message), code_(code) {}

  Code code() const { return code_; }
  /// The message.
  std::string localizedDescription() const { return what(); }
  std::string description() const;

 private:
  Code code_;
};

/// A save refused because the file on disk is no longer the one that was read or last written
/// (another program replaced or rewrote it). Nothing was written.
class FileChangedError : public CocoaError {
 public:
  explicit FileChangedError(const std::string& message, std::string detail = {}, std::filesystem::path file = {})
      : CocoaError(fileWriteUnknown, message), detail_(std::move(detail)), file_(std::move(file)) {}

  /// How the file changed, when that is more than its contents, for the user ("It is now a
  /// symbolic link to “/elsewhere/doc.svgquarvel”, and overwriting it writes there."); empty
  /// otherwise.
  const std::string& detail() const { return detail_; }
  /// The name the save was to write under; empty when not known.
  const std::filesystem::path& file() const { return file_; }

 private:
  std::string detail_;
  std::filesystem::path file_;
};

/// A file's contents in memory: a regular file with its bytes, or a directory (which has no
/// regular contents), with the name it had on disk.
class FileWrapper {
 public:
  /// A regular file holding `contents`.
  static FileWrapper regularFile(std::string contents);
  /// A directory; its entries are not read.
  static FileWrapper directory();
  /// Reads the file or directory at `url`. Missing files, files that cannot be read and special
  /// files (devices, pipes, sockets) throw a `CocoaError`; nothing blocks. A file of more than
  /// `maximumBytes` bytes throws fileReadTooLarge once that many are read, whatever size it claims.
  static FileWrapper fromURL(const std::filesystem::path& url, std::optional<std::size_t> maximumBytes = std::nullopt);

  bool isRegularFile() const { return contents_.has_value(); }
  bool isDirectory() const { return !contents_.has_value(); }
  /// The bytes of a regular file; none for a directory.
  const std::optional<std::string>& regularFileContents() const { return contents_; }

  std::optional<std::string> filename;
  std::optional<std::string> preferredFilename;
  /// The identity of the file as it was read (its entity tag, device and inode, size, modification
  /// and status change times): it changes whenever the file is rewritten or replaced, even in place
  /// with its modification time put back. None for wrappers made in memory; empty when the file kept changing
  /// while it was read (a save then counts it as changed). It also notes what a save keeps of the
  /// version read: its permissions, whether its name was a symbolic link, and where the file was
  /// with every link on its path followed.
  std::optional<std::string> entityTag;

  /// Replaces the file at `url` with the contents, atomically: the bytes go to a new file beside
  /// it, are flushed to disk, and the new file is renamed over the old one, so the old file stays
  /// whole when anything fails. The new file keeps the old one's owner, group, permissions,
  /// access control list and extended attributes; when it cannot (another user's file, say),
  /// nothing is written and the error says why. A file with other names (hard links) is
  /// replaced under this one only. Writing through a symbolic link replaces the file it points
  /// to and keeps the link; without `expectedEntityTag`, a link that leads to no file throws a
  /// `CocoaError` naming where it leads, and nothing is made there. A file without write
  /// permission is not replaced. With
  /// `expectedEntityTag`, a file whose identity is no longer that one throws `FileChangedError`
  /// and stays as it is (a file that no longer exists is written anew), and so does a name that
  /// was a file and is a symbolic link now, wherever it leads. With `overwriteChanges` as well,
  /// the identity is not checked; a name that became a link is written through, and the file
  /// there gets the permissions of the version read. With `approvedChange` (the detail of the
  /// `FileChangedError` the user answered), changes are overwritten only while they are still the
  /// one the user was told about: a link that leads elsewhere now throws `FileChangedError` again.
  /// A name that was a symbolic link when its file was read and is another file now (not that
  /// one, nor the file the link led to) is such a change too, and so is a name that leads to
  /// another place because a folder on its path became a link or was turned (unless it still
  /// leads to the version read): it is treated as a name that became a link. Other failures throw a `CocoaError`; directories cannot be
  /// written. Returns the identity of the written file.
  std::string write(const std::filesystem::path& url,
                    const std::optional<std::string>& expectedEntityTag = std::nullopt,
                    bool overwriteChanges = false,
                    const std::optional<std::string>& approvedChange = std::nullopt) const;

  /// The identity `entityTag` of the file at `file`, read or written under that name itself, as
  /// if it had been read through `link` when that symbolic link leads to the name `file` (another
  /// name of the document's own file, chosen to save it under): a save through the link then
  /// checks the file there as the document's own, whatever another program made of it, and asks
  /// anew when the link is turned elsewhere or another file takes its name. Otherwise unchanged.
  static std::string entityTagThroughLink(const std::string& entityTag, const std::filesystem::path& file,
                                          const std::filesystem::path& link);

  std::string description() const;

 private:
  explicit FileWrapper(std::optional<std::string> contents) : contents_(std::move(contents)) {}
  std::optional<std::string> contents_;
};

/// What the document framework hands a document it opens.
struct FileDocumentReadConfiguration {
  UTType contentType;
  FileWrapper file;

  std::string description() const;
};

/// What the document framework hands a document it saves.
struct FileDocumentWriteConfiguration {
  UTType contentType;
  std::optional<FileWrapper> existingFile;
};

namespace SVGQuarvel {

/// The MIME type of the document files.
inline constexpr const char* documentMimeType = "application/x-svgquarvel";

/// The text of a file, its encoding detected: a byte-order mark selects UTF-8 or UTF-16 (little or
/// big endian; unpaired surrogates become U+FFFD) and is dropped; without one the bytes must be
/// UTF-8. Returns UTF-8. Unreadable files and undetectable encodings throw a `CocoaError`, and so
/// does a file of more than `maximumBytes` bytes (fileReadTooLarge), which is not read further.
std::string readTextFileDetectingEncoding(const std::filesystem::path& url,
                                          std::optional<std::size_t> maximumBytes = std::nullopt);

/// A file's name as the user is shown it: one line of UTF-8, whatever bytes the name has on disk
/// (as `displayText`).
std::string displayFileName(const std::filesystem::path& url);

/// `text` as UTF-8: bytes that are not show as U+FFFD.
std::string validUTF8(std::string_view text);

/// `text` (a name, a path) as it is shown within a line of a message: UTF-8 (bytes that are not
/// show as U+FFFD) and without line breaks or other control characters, which show as their
/// pictures ("\n" as U+240A, tab as U+2409, delete as U+2421; line and paragraph separators as
/// U+2424; the C1 controls as U+FFFD), so that a name of line breaks takes one line. The
/// directional embeddings, overrides and isolates show as U+FFFD too, so that a name cannot turn
/// the rest of its line round; the characters of right-to-left scripts are kept.
std::string displayText(std::string_view text);

/// A size for the user: megabytes (one decimal unless whole) and the bytes, "16 MB (16777216 bytes)".
std::string byteSizeText(std::size_t bytes);

/// Whether `text` is well-formed UTF-8 without NUL characters.
bool isValidUTF8(std::string_view text);

}  // namespace SVGQuarvel
