// The open documents of the application: creating untitled documents, opening document files,
// saving them (always atomically, never over a file another program changed or another window
// holds), their titles and edited state, and closing them.
#pragma once

#include <filesystem>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
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
  /// Whether the document holds work that no file holds: an SVG, Swift or settings that differ
  /// from what was opened or last saved. An SVG file holds the SVG (Swift generated from it needs
  /// no saving, hand-edited Swift does); a Swift source file holds the Swift.
  bool isDocumentEdited() const;
  /// Whether what the document's own file takes differs from what it holds.
  bool isFileContentEdited() const;
  /// The text that was edited and that the document's file cannot take ("Swift" for an SVG file,
  /// "SVG" for a Swift source file); none when the file takes all of the edits.
  std::optional<std::string> editedTextOutsideFile() const;
  /// The identity of the file as it was last read or written (see `FileWrapper::entityTag`).
  const std::optional<std::string>& fileEntityTag() const { return entityTag_; }

 private:
  friend class DocumentController;
  DocumentRecord(std::shared_ptr<SVGQuarvelDocument> document, UTType fileType)
      : document_(std::move(document)), fileType_(std::move(fileType)) {}
  SVGQuarvelDocument::Snapshot currentContent() const;
  bool isSVGEdited() const;
  bool isSwiftEdited() const;
  /// Notes what a file of `type` took of the document as saved.
  void noteSaved(const UTType& type);

  std::shared_ptr<SVGQuarvelDocument> document_;
  std::optional<std::filesystem::path> fileURL_;
  UTType fileType_;
  int untitledNumber_ = 0;
  // What files hold of the document: its texts and settings as last opened or saved.
  SVGQuarvelDocument::Snapshot savedContent_;
  std::optional<std::string> entityTag_;
  // The name of a Save As that asked about another program's change of the document's own file,
  // with the version it held that file to: the answer holds the save to that version and place.
  std::optional<std::pair<std::filesystem::path, std::string>> askedSaveAs_;
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
  /// Closes the window of a document (which then calls `close`).
  using Closer = std::function<void(const DocumentRecordPtr&)>;
  /// Names the window of a document as its user sees it (its title).
  using WindowNamer = std::function<std::string(const DocumentRecord&)>;

  DocumentController();

  /// The application's controller (main thread only).
  static DocumentController& shared();

  void setDocumentFactory(DocumentFactory factory);
  void setPresenter(Presenter presenter);
  void setNoteNewRecentDocument(NoteNewRecentDocument note) { noteNewRecentDocument_ = std::move(note); }
  void setCloser(Closer closer) { closer_ = std::move(closer); }
  void setWindowNamer(WindowNamer namer) { windowNamer_ = std::move(namer); }

  /// The open documents, oldest first.
  const std::vector<DocumentRecordPtr>& documents() const { return documents_; }
  /// The record of an open document; none when it is not open.
  DocumentRecordPtr recordFor(const SVGQuarvelDocument* document) const;
  /// The open document of the file at `url` (the same file under another name too); none when
  /// the file is not open.
  DocumentRecordPtr recordForFile(const std::filesystem::path& url) const;

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
  /// needs `saveAs`). A failed save leaves the file and the edited state as they were. A file
  /// that another program changed since it was opened or last saved throws `FileChangedError`
  /// and is left alone, unless `overwriteChanges` is set (a name that became a symbolic link is
  /// then written through, with the permissions of the version read). With `approvedChange`, only
  /// while the change is still the one the user answered (see `FileWrapper::write`).
  void save(DocumentRecord& record, bool overwriteChanges = false,
            const std::optional<std::string>& approvedChange = std::nullopt);
  /// Saves to `url` as `type`; afterwards the document belongs to that file. The document type
  /// writes the document file, SVG the SVG text, Swift source the Swift text (an export of that
  /// text: what the file does not take stays edited). On failure nothing changes (the error is
  /// thrown). A file that another open document belongs to is refused with a `CocoaError` naming
  /// that window when it has unsaved changes; otherwise that window is closed once the save has
  /// succeeded. The file becomes a recent document. A name that is the document's own file, or a
  /// symbolic link to its name (even when another program removed it), is held to the version
  /// last read or written as `save` holds it (a change by another program throws
  /// `FileChangedError`), and afterwards the document belongs to that name. `overwriteChanges`
  /// and `approvedChange` answer such a question as for `save`: the answer is about the place the
  /// name led to when asked, and a link turned elsewhere since, or another file that took the
  /// name, throws `FileChangedError` again naming what is there now.
  void saveAs(DocumentRecord& record, const std::filesystem::path& url, const UTType& type,
              bool overwriteChanges = false, const std::optional<std::string>& approvedChange = std::nullopt);
  /// Removes the document from the open documents.
  void close(const DocumentRecord& record);

  /// The open documents with changes that were not saved, oldest first.
  std::vector<DocumentRecordPtr> editedDocuments() const;

  /// The type a file name asks for when saving: by its extension, the document type otherwise.
  static UTType typeForSaving(const std::filesystem::path& url);
  /// The file a name chosen for saving stands for: the name itself when its extension is one of a
  /// writable type ("logo.svg"); otherwise the name followed by the extension of `chosen` (the
  /// type of the panel's filter), as for a name without one ("logo 1.5" gives
  /// "logo 1.5.svgquarvel").
  static std::filesystem::path nameForSaving(const std::filesystem::path& url, const UTType& chosen);

 private:
  /// Keeps the document (untitled without `url`) and shows it when `display` is set.
  DocumentRecordPtr add(std::shared_ptr<SVGQuarvelDocument> document, UTType type,
                        std::optional<std::filesystem::path> url, bool display);
  int nextUntitledNumber() const;
  /// The open document of the file, shown when `display` is set, which becomes a recent document;
  /// none when the file is not open.
  DocumentRecordPtr reopen(const std::filesystem::path& url, bool display);
  void write(DocumentRecord& record, const std::filesystem::path& url, const UTType& type,
             const std::optional<std::string>& expectedEntityTag, bool overwriteChanges,
             const std::optional<std::string>& approvedChange = std::nullopt);

  DocumentFactory factory_;
  Presenter presenter_;
  NoteNewRecentDocument noteNewRecentDocument_;
  Closer closer_;
  WindowNamer windowNamer_;
  std::vector<DocumentRecordPtr> documents_;
};

}  // namespace SVGQuarvel
