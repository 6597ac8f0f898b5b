#include "SVGQuarvel/Model/DocumentFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

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

// ---- reading ----------------------------------------------------------------

struct RawFile {
  bool directory = false;
  std::string bytes;
};

RawFile readRaw(const std::filesystem::path& url) {
  // Non-blocking, so that opening a named pipe does not wait for a writer.
  Fennix::FileDescriptor fd(::open(url.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
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
  RawFile raw = readRaw(url);
  FileWrapper wrapper(raw.directory ? std::nullopt : std::optional(std::move(raw.bytes)));
  wrapper.filename = url.filename().string();
  wrapper.preferredFilename = wrapper.filename;
  return wrapper;
}

void FileWrapper::write(const std::filesystem::path& url) const {
  if (!contents_) throw writeError(EISDIR, url);
  if (auto error = Fennix::replaceFileAtomically(url, *contents_)) throw writeError(error.value(), url);
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
