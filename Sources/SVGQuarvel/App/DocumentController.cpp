#include "SVGQuarvel/App/DocumentController.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include "Platform/Dispatch.h"

namespace SVGQuarvel {

namespace {

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  return !error && a.lexically_normal() == b.lexically_normal();
}

}  // namespace

// ---- DocumentRecord ----------------------------------------------------------------------

std::string DocumentRecord::displayName() const {
  if (fileURL_) return displayFileName(*fileURL_);
  return untitledNumber_ <= 1 ? std::string("Untitled") : "Untitled " + std::to_string(untitledNumber_);
}

SVGQuarvelDocument::Snapshot DocumentRecord::currentContent() const {
  return document_->snapshot(UTType::svgQuarvelDocument());
}

// Compared in place: the window title asks after every change, and a copy of a large document's
// texts on each keystroke costs their size in time and memory.
bool DocumentRecord::isSVGEdited() const { return document_->svgString.get() != savedContent_.svg; }

bool DocumentRecord::isSwiftEdited() const { return document_->swift.get() != savedContent_.swift; }

bool DocumentRecord::isFileContentEdited() const {
  if (fileType_ == UTType::svg()) return isSVGEdited();
  if (fileType_ == UTType::swiftSource()) return isSwiftEdited();
  return isSVGEdited() || isSwiftEdited() ||
         savedContent_.config != std::optional<SVGQuarvelConfiguration>(document_->config.get());
}

std::optional<std::string> DocumentRecord::editedTextOutsideFile() const {
  // Swift that is the code generated from the SVG is no work of the user's: the SVG gives it back.
  if (fileType_ == UTType::svg() && document_->isSwiftModified() && isSwiftEdited()) return "Swift";
  if (fileType_ == UTType::swiftSource() && isSVGEdited()) return "SVG";
  return std::nullopt;
}

bool DocumentRecord::isDocumentEdited() const { return isFileContentEdited() || editedTextOutsideFile().has_value(); }

void DocumentRecord::noteSaved(const UTType& type) {
  const auto& document = *document_;
  if (!(type == UTType::svg()) && !(type == UTType::swiftSource())) {
    savedContent_ = currentContent();
    return;
  }
  // A file of one text: the other keeps what earlier files hold of it. The settings live on as
  // the application's defaults.
  if (type == UTType::svg()) {
    savedContent_.svg = document.svgString.get();
    if (!document.isSwiftModified()) savedContent_.swift = document.swift.get();
  } else {
    savedContent_.swift = document.swift.get();
  }
  savedContent_.config = document.config.get();
}

// ---- DocumentController ------------------------------------------------------------------

DocumentController::DocumentController() : factory_([] { return SVGQuarvelDocument::newDocument(); }) {}

DocumentController& DocumentController::shared() {
  static auto* controller = new DocumentController();  // lives for the whole process
  return *controller;
}

void DocumentController::setDocumentFactory(DocumentFactory factory) {
  factory_ = factory ? std::move(factory) : [] { return SVGQuarvelDocument::newDocument(); };
}

void DocumentController::setPresenter(Presenter presenter) { presenter_ = std::move(presenter); }

DocumentRecordPtr DocumentController::recordFor(const SVGQuarvelDocument* document) const {
  for (const auto& record : documents_) {
    if (record->document().get() == document) return record;
  }
  return nullptr;
}

int DocumentController::nextUntitledNumber() const {
  // The lowest number no open untitled document uses.
  std::vector<int> used;
  for (const auto& record : documents_) {
    if (!record->fileURL_) used.push_back(record->untitledNumber_);
  }
  int number = 1;
  while (std::find(used.begin(), used.end(), number) != used.end()) ++number;
  return number;
}

DocumentRecordPtr DocumentController::add(std::shared_ptr<SVGQuarvelDocument> document, UTType type,
                                          std::optional<std::filesystem::path> url, bool display) {
  auto record = DocumentRecordPtr(new DocumentRecord(std::move(document), std::move(type)));
  if (url) {
    record->fileURL_ = std::move(url);
  } else {
    record->untitledNumber_ = nextUntitledNumber();
  }
  record->savedContent_ = record->currentContent();
  documents_.push_back(record);
  if (display && presenter_) {
    try {
      presenter_(record);
    } catch (...) {
      close(*record);
      throw;
    }
  }
  return record;
}

DocumentRecordPtr DocumentController::openUntitledDocumentAndDisplay(bool display) {
  auto document = factory_();
  if (!document) throw CocoaError(CocoaError::fileReadUnknown, "The new document could not be created.");
  return add(std::move(document), UTType::svgQuarvelDocument(), std::nullopt, display);
}

DocumentRecordPtr DocumentController::recordForFile(const std::filesystem::path& url) const {
  for (const auto& record : documents_) {
    if (record->fileURL_ && sameFile(*record->fileURL_, url)) return record;
  }
  return nullptr;
}

DocumentRecordPtr DocumentController::reopen(const std::filesystem::path& url, bool display) {
  auto record = recordForFile(url);
  if (!record) return nullptr;
  if (display && presenter_) presenter_(record);
  if (noteNewRecentDocument_) noteNewRecentDocument_(url);
  return record;
}

DocumentRecordPtr DocumentController::openDocument(const std::filesystem::path& url, bool display) {
  if (auto open = reopen(url, display)) return open;
  const auto type = typeForSaving(url);
  auto contents = SVGQuarvelDocument::readContents(url, type, SVGQuarvelConfiguration::defaultConfig());
  const auto entityTag = contents.entityTag;
  auto record = add(SVGQuarvelDocument::fromReadContents(std::move(contents)), type, url, display);
  record->entityTag_ = entityTag;
  if (noteNewRecentDocument_) noteNewRecentDocument_(url);
  return record;
}

void DocumentController::openDocument(const std::filesystem::path& url, bool display, OpenCompletion then) {
  auto finish = [then](const DocumentRecordPtr& record, std::exception_ptr error) {
    if (then) then(record, std::move(error));
  };
  // The completion runs outside the guarded steps, so that it runs once even if it throws itself.
  DocumentRecordPtr open;
  try {
    open = reopen(url, display);
  } catch (...) {
    return finish(nullptr, std::current_exception());
  }
  if (open) return finish(open, nullptr);
  const auto type = typeForSaving(url);
  DispatchQueue::global(DispatchQoS::default_).async(
      [this, url, type, display, finish, config = SVGQuarvelConfiguration::defaultConfig()]() mutable {
        auto contents = std::make_shared<std::optional<SVGQuarvelDocument::ReadContents>>();
        std::exception_ptr failure;
        try {
          *contents = SVGQuarvelDocument::readContents(url, type, config);
        } catch (...) {
          failure = std::current_exception();
        }
        // The completion goes along: what it holds is let go on the main thread.
        DispatchQueue::main().async([this, url, type, display, finish = std::move(finish), contents, failure] {
          if (failure) return finish(nullptr, failure);
          DocumentRecordPtr record;
          try {
            // Opened meanwhile (twice in a row, say): the first one stays.
            record = reopen(url, display);
            if (!record) {
              const auto entityTag = (*contents)->entityTag;
              record = add(SVGQuarvelDocument::fromReadContents(std::move(**contents)), type, url, display);
              record->entityTag_ = entityTag;
              if (noteNewRecentDocument_) noteNewRecentDocument_(url);
            }
          } catch (...) {
            return finish(nullptr, std::current_exception());
          }
          finish(record, nullptr);
        });
      });
}

void DocumentController::save(DocumentRecord& record, bool overwriteChanges,
                              const std::optional<std::string>& approvedChange) {
  if (!record.fileURL_) {
    throw CocoaError(CocoaError::fileWriteUnknown,
                     "The document \u201c" + record.displayName() + "\u201d has no file yet; choose where to save it.");
  }
  write(record, *record.fileURL_, record.fileType_, record.entityTag_, overwriteChanges, approvedChange);
}

void DocumentController::saveAs(DocumentRecord& record, const std::filesystem::path& url, const UTType& type,
                                bool overwriteChanges, const std::optional<std::string>& approvedChange) {
  // Two windows never own one file: each save would overwrite the other's.
  std::vector<DocumentRecordPtr> holders;
  for (const auto& other : documents_) {
    if (other.get() == &record || !other->fileURL_ || !sameFile(*other->fileURL_, url)) continue;
    if (other->isDocumentEdited()) {
      const std::string window = windowNamer_ ? windowNamer_(*other) : other->displayName();
      throw CocoaError(CocoaError::fileWriteUnknown,
                       "The file \u201c" + displayFileName(url) + "\u201d is open in the window \u201c" + window +
                           "\u201d, which has unsaved changes. Save or close that window first.");
    }
    holders.push_back(other);
  }
  // The document's own file under another name (a link to it) is held to the version read as the
  // file itself is, and the name chosen is checked to lead there still when the file is written.
  // An answer to a question about it holds to what was asked, wherever the name leads by now.
  std::optional<std::string> expected;
  if (approvedChange && record.askedSaveAs_ && record.askedSaveAs_->first == url) {
    expected = record.askedSaveAs_->second;
  } else if (record.fileURL_ && record.entityTag_) {
    // A link to the file's name is the document's own even when another program removed the file:
    // it is made anew there as the file would be, no more open than the version read.
    auto throughLink = FileWrapper::entityTagThroughLink(*record.entityTag_, *record.fileURL_, url);
    if (throughLink != *record.entityTag_ || sameFile(*record.fileURL_, url)) expected = std::move(throughLink);
  }
  try {
    write(record, url, type, expected, overwriteChanges, approvedChange);
  } catch (const FileChangedError&) {
    record.askedSaveAs_.reset();
    if (expected) record.askedSaveAs_.emplace(url, *expected);
    throw;
  }
  for (const auto& holder : holders) {
    if (closer_) {
      closer_(holder);
    } else {
      close(*holder);
    }
  }
}

void DocumentController::write(DocumentRecord& record, const std::filesystem::path& url, const UTType& type,
                               const std::optional<std::string>& expectedEntityTag, bool overwriteChanges,
                               const std::optional<std::string>& approvedChange) {
  const auto& document = *record.document();
  std::optional<FileWrapper> existing;
  const auto snapshot = document.snapshot(type);
  const auto file = document.fileWrapper(snapshot, {type, existing});
  // Replaces the file as a whole or throws, leaving it as it was.
  auto entityTag = file.write(url, expectedEntityTag, overwriteChanges, approvedChange);
  record.fileURL_ = url;
  record.fileType_ = type;
  record.entityTag_ = std::move(entityTag);
  record.askedSaveAs_.reset();
  record.noteSaved(type);
  if (noteNewRecentDocument_) noteNewRecentDocument_(url);
}

void DocumentController::close(const DocumentRecord& record) {
  std::erase_if(documents_, [&](const DocumentRecordPtr& open) { return open.get() == &record; });
}

std::vector<DocumentRecordPtr> DocumentController::editedDocuments() const {
  std::vector<DocumentRecordPtr> edited;
  for (const auto& record : documents_) {
    if (record->isDocumentEdited()) edited.push_back(record);
  }
  return edited;
}

std::filesystem::path DocumentController::nameForSaving(const std::filesystem::path& url, const UTType& chosen) {
  // "report.v2" or "logo 1.5" would be written under that name and then not open as what it is.
  const std::string extension = url.has_extension() ? url.extension().string().substr(1) : std::string();
  const auto writable = SVGQuarvelDocument::writableContentTypes();
  const auto named = UTType::fromFilenameExtension(extension);
  if (named && std::find(writable.begin(), writable.end(), *named) != writable.end()) return url;
  if (chosen.filenameExtensions().empty()) return url;
  auto extended = url;
  extended += "." + chosen.filenameExtensions().front();
  return extended;
}

UTType DocumentController::typeForSaving(const std::filesystem::path& url) {
  const std::string extension = url.has_extension() ? url.extension().string().substr(1) : std::string();
  return UTType::fromFilenameExtension(extension).value_or(UTType::svgQuarvelDocument());
}

}  // namespace SVGQuarvel
