// The open documents of the application: creating untitled documents, opening document files,
// saving them (always atomically), their titles and edited state, and closing them.
#pragma once

#include <filesystem>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SVGQuarvel/Model/SVGQuarvelDocument.h"

namespace SVGQuarvel {

/// One open document: the document, the file it belongs to and the state of its last save.
class DocumentRecord {
 public:
  const std::shared_ptr<SVGQuarvelDocument>& document() const { return document_; }
  /// The file the document was opened from or last saved to; none while untitled.
  const std::optional<std::filesystem::path>& fileURL() const { return fileURL_; }
  /// The type the document is saved as.
  const UTType& fileType() const { return fileType_; }
  /// The file's name, or "Untitled", "Untitled 2", ... while untitled.
  std::string displayName() const;
  /// Whether the SVG, the Swift or the settings differ from what was opened or last saved.
  bool isDocumentEdited() const;

 private:
  friend class DocumentController;
  DocumentRecord(std::shared_ptr<SVGQuarvelDocument> document, UTType fileType)
      : document_(std::move(document)), fileType_(std::move(fileType)) {}
  SVGQuarvelDocument::Snapshot currentContent() const;

  std::shared_ptr<SVGQuarvelDocument> document_;
  std::optional<std::filesystem::path> fileURL_;
  UTType fileType_;
  int untitledNumber_ = 0;
  SVGQuarvelDocument::Snapshot savedContent_;
};

using DocumentRecordPtr = std::shared_ptr<DocumentRecord>;

class DocumentController {
 public:
  /// Makes the document of a new untitled window; by default `SVGQuarvelDocument::newDocument`.
  using DocumentFactory = std::function<std::shared_ptr<SVGQuarvelDocument>()>;
  /// Shows a window for a document that was just created or opened.
  using Presenter = std::function<void(const DocumentRecordPtr&)>;
  /// Learns of a file that was opened as a document or saved (for the recent documents).
  using NoteNewRecentDocument = std::function<void(const std::filesystem::path&)>;

  DocumentController();

  /// The application's controller (main thread only).
  static DocumentController& shared();

  void setDocumentFactory(DocumentFactory factory);
  void setPresenter(Presenter presenter);
  void setNoteNewRecentDocument(NoteNewRecentDocument note) { noteNewRecentDocument_ = std::move(note); }

  /// The open documents, oldest first.
  const std::vector<DocumentRecordPtr>& documents() const { return documents_; }
  /// The record of an open document; none when it is not open.
  DocumentRecordPtr recordFor(const SVGQuarvelDocument* document) const;

  /// Creates an untitled document (which takes the oldest pending snapshot, if any) and, when
  /// `display` is set, shows it. Whatever the document factory or the presenter throws is passed
  /// on, and the document is then not kept.
  DocumentRecordPtr openUntitledDocumentAndDisplay(bool display);
  /// Opens a document file (or Swift source) as a document. A file already open is not opened
  /// twice: its record is returned. Throws `CocoaError` or `SVGQuarvelDocument::DecodingError`.
  /// The file becomes a recent document.
  DocumentRecordPtr openDocument(const std::filesystem::path& url, bool display);
  /// What became of an opening: the document's record, or the error it threw.
  using OpenCompletion = std::function<void(const DocumentRecordPtr&, std::exception_ptr)>;
  /// `openDocument` with the reading and converting on a global queue, so that the windows keep
  /// answering meanwhile; returns at once. The document is added and shown, and `then` called, on
  /// the main queue. A file that is already open (also one that finished opening meanwhile) is
  /// shown, not opened twice. The controller must outlive the opening.
  void openDocument(const std::filesystem::path& url, bool display, OpenCompletion then);

  /// Saves to the document's file. Throws `CocoaError`; an untitled document throws too (it
  /// needs `saveAs`). A failed save leaves the file and the edited state as they were.
  void save(DocumentRecord& record);
  /// Saves to `url` as `type`; afterwards the document belongs to that file. The document type
  /// writes the document file, SVG the SVG text, Swift source the Swift text. On failure nothing
  /// changes (the error is thrown). The file becomes a recent document.
  void saveAs(DocumentRecord& record, const std::filesystem::path& url, const UTType& type);
  /// Removes the document from the open documents.
  void close(const DocumentRecord& record);

  /// The open documents with changes that were not saved, oldest first.
  std::vector<DocumentRecordPtr> editedDocuments() const;

  /// The type a file name asks for when saving: by its extension, the document type otherwise.
  static UTType typeForSaving(const std::filesystem::path& url);

 private:
  /// Keeps the document (untitled without `url`) and shows it when `display` is set.
  DocumentRecordPtr add(std::shared_ptr<SVGQuarvelDocument> document, UTType type,
                        std::optional<std::filesystem::path> url, bool display);
  int nextUntitledNumber() const;
  /// The open document of the file, shown when `display` is set, which becomes a recent document;
  /// none when the file is not open.
  DocumentRecordPtr reopen(const std::filesystem::path& url, bool display);

  DocumentFactory factory_;
  Presenter presenter_;
  NoteNewRecentDocument noteNewRecentDocument_;
  std::vector<DocumentRecordPtr> documents_;
};

}  // namespace SVGQuarvel
