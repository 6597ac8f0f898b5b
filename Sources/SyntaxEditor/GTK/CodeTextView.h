// The code text view's widget: a toolkit text view whose buffer mirrors the highlighting storage
// of a `UXCodeTextView`. Return, Tab, Backspace, the opening halves of pairs, copying and the
// font-size shortcuts go to the text view's rules; other typing goes through the toolkit and is
// handed to the storage. The storage's attributes reach the buffer as text tags, applied in short
// slices of the main loop (see StyleMirror).
#pragma once

#include <gtkmm/cssprovider.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/textview.h>

#include <functional>
#include <memory>
#include <string>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "SyntaxEditor/StyleMirror.h"
#include "SyntaxEditor/UXCodeTextView.h"

class CodeTextView : public Gtk::TextView, private UXCodeTextViewHost {
 public:
  CodeTextView();
  ~CodeTextView() override;

  UXCodeTextView& codeView() { return *code_; }
  const UXCodeTextView& codeView() const { return *code_; }

  /// Whether the buffer keeps its own undo history (off while a window's undo manager records
  /// the edits through the text view's undo sink).
  void setBuiltInUndo(bool enabled);

  /// Replaces a stretch of the text as if typed, without recording it (for undoing and redoing
  /// from a window's undo manager); the binding hears of it.
  void applyEdit(NSRange range, std::u16string_view text);

  /// Whether the buffer shows every style of the storage it is going to show.
  bool isStyleSettled() const {
    return !filling_ && mirror_.isSettled() && !mirror_.hasDeferred() &&
           !(windowsStale_ && !mirror_.longLines().empty());
  }
  /// A whole new text longer than this many UTF-16 units goes into an empty buffer a piece per
  /// main-loop iteration: whole lines of at most that length, or one longer line.
  static constexpr std::size_t fillPiece = std::size_t{1} << 21;
  /// Whether the buffer is still taking a new text a piece at a time: it holds the start of the
  /// storage's text, not editable, and takes its colours once it holds all of it.
  bool isFilling() const { return filling_.has_value(); }
  /// The most UTF-16 units the buffer took from the storage in one step (for checks).
  std::size_t largestInsertion() const { return largestInsertion_; }
  const SyntaxEditorSupport::StyleMirror& styleMirror() const { return mirror_; }
  /// How many times the view laid out a changed line longer than the long-line threshold (for
  /// checks: each change of such a line should cost one).
  std::size_t longLineLayouts() const { return longLineLayouts_; }
  /// How many marks keep the pieces of long lines short (for checks: erased text leaves none).
  std::size_t fenceCount() const { return fences_.size(); }

  /// The most bytes of another program's text a paste reads.
  static constexpr std::size_t largestPaste = std::size_t{256} << 20;
  /// Told why a paste of another program's text did not arrive (a text too large, an owner that
  /// stopped sending it), in words for the user; without it the view beeps.
  std::function<void(const std::string&)> onPasteFailure;

  /// The key handling of the widget, public so that callers can drive it as a key press would.
  bool handleKeyPress(guint keyval, Gdk::ModifierType state);

 private:
  // UXCodeTextViewHost
  void beep() override;
  void copyToClipboard(const std::u16string& text) override;
  void fontDidChange(const NSFontPtr& font) override;
  void selectionDidChange(NSRange range) override;
  void editabilityDidChange(bool editable, bool selectable) override;
  void insetDidChange(NSSize inset) override;
  /// The toolkit text view's own drop target takes only drops of these MIME types.
  void acceptableDragTypesDidChange(const std::vector<SyntaxEditor::PasteboardType>& types) override;

  static gboolean acceptsDrop(GtkDropTarget* target, GdkDrop* drop, gpointer self);
  /// Reads the clipboard's text and puts it in place of the selection as one edit (the toolkit
  /// would insert a coloured text one run at a time, each an edit of its own).
  void pasteClipboard();
  void pasteText(const char* text);
  void storageDidEdit(const NSTextStorageEdit& edit);
  /// Puts the storage's new text of `newRange` into the buffer in place of `oldRange`.
  void replaceInBuffer(NSRange oldRange, NSRange newRange);
  /// Follows a replacement from outside of `removed` units at `location` by `inserted` units of
  /// more than one piece of short lines: the buffer keeps the text before `location` and is filled
  /// from there.
  void refillFrom(std::size_t location, std::size_t removed, std::size_t inserted);
  /// Puts the next piece of the storage's text into the buffer; true while more is to come.
  bool fillSlice();
  /// Follows an edit of the storage made while the buffer is filled: what the buffer holds from
  /// the edit on goes, and is filled again from the storage.
  void fillDidEdit(NSRange oldRange, NSRange newRange);
  void finishFilling();
  /// Inserts UTF-16 `units` at `position` as `insertFenced` does; the position after them.
  Gtk::TextBuffer::iterator insertUnits(Gtk::TextBuffer::iterator position, std::u16string_view units,
                                        std::size_t& unbroken);
  /// Inserts `text` at `position`, with a fence after every `fenceSpacing` bytes that hold no line
  /// break (`unbroken`: the bytes before `position` since the last break or fence, updated); the
  /// position after it.
  Gtk::TextBuffer::iterator insertFenced(Gtk::TextBuffer::iterator position, const std::string& text,
                                         std::size_t& unbroken);
  /// Removes the fences at `position` (those of text erased there); the position, still valid.
  Gtk::TextBuffer::iterator dropFencesAt(const Gtk::TextBuffer::iterator& position);
  /// Fences the text of `bytes` the toolkit inserted before `end` (typing, a drop, its own undo),
  /// as `insertFenced` would have; `end` is kept valid.
  static void bufferDidInsert(GtkTextBuffer* buffer, GtkTextIter* end, const char* text, int bytes, gpointer self);
  /// Drops the fences of text the toolkit erased (a cut, a delete of a selection), which all
  /// moved to where it was; `start` and `end` are kept valid.
  static void bufferDidErase(GtkTextBuffer* buffer, GtkTextIter* start, GtkTextIter* end, gpointer self);
  /// Tells the mirror which style the buffer gave text it inserted (the style around it), so that
  /// a keystroke inside a style costs no restyle, and on a long line no second layout of it.
  void noteInsertedStyle(NSRange range);
  /// Keeps the lines longer than the long-line threshold, and only those, unwrapped. The buffer's
  /// tags follow the text before storage offset `from` already (character `fromCharacter` of the
  /// buffer): only lines that reach past it are looked at.
  void followLongLines(std::size_t from = 0, std::size_t fromCharacter = 0);
  /// Notes that the buffer changed the long line at `index` (if it is on one), to be laid out
  /// once before the toolkit measures it.
  void noteLongLineChanged(std::size_t index);
  /// The long line that holds `index` or ends there.
  std::optional<NSRange> longLineAt(std::size_t index) const;
  void layOutChangedLongLines();
  void scheduleStyling();
  /// Applies the mirror's changes for a few milliseconds; true while there are more.
  bool styleSlice();
  void restyle(const SyntaxEditorSupport::StyleMirror::Change& change);
  Glib::RefPtr<Gtk::TextTag> tagFor(std::uint32_t id);
  /// The storage range of the lines in view.
  NSRange visibleRange();
  /// Gives the mirror the parts of long lines in view, with a margin either side.
  void updateWindows();
  void watchScrolling();
  void size_allocate_vfunc(int width, int height, int baseline) override;
  void bufferWillInsert(Gtk::TextBuffer::iterator& position, const Glib::ustring& text, int bytes);
  void bufferWillErase(Gtk::TextBuffer::iterator& start, Gtk::TextBuffer::iterator& end);
  void bufferDidChange();
  void bufferMarkSet(const Gtk::TextBuffer::iterator& location, const Glib::RefPtr<Gtk::TextBuffer::Mark>& mark);
  /// Reads the buffer's selection into the text view.
  void takeSelectionFromBuffer();

  std::unique_ptr<UXCodeTextView> code_;
  std::size_t observer_ = 0;
  Glib::RefPtr<Gtk::CssProvider> fontCss_;
  GdkContentFormats* acceptedDrops_ = nullptr;  // the MIME types of the accepted drag types
  bool mirroringStorage_ = false;  // the buffer is being changed to follow the storage
  bool mirroringBuffer_ = false;   // the storage is being changed to follow the buffer
  bool placingSelection_ = false;
  std::optional<UXCodeTextEdit> pendingEdit_;  // typed into the buffer, reported once it is in
  SyntaxEditorSupport::StyleMirror mirror_;
  std::vector<Glib::RefPtr<Gtk::TextTag>> tags_;  // by style id
  Glib::RefPtr<Gtk::TextTag> unwrapped_;  // on the long lines: they do not wrap
  SyntaxEditorSupport::RangeSet unwrappedLines_;  // the storage ranges the buffer gave it
  sigc::connection styling_;
  guint layingOut_ = 0;  // the tick callback that lays out the changed long lines
  std::vector<std::size_t> changedLongLines_;  // storage offsets on long lines the buffer changed
  std::size_t longLineLayouts_ = 0;
  static constexpr std::size_t fenceSpacing = 8192;  // bytes of a line between two fences
  // Marks that keep the pieces of long lines short, by the mark.
  std::unordered_map<GtkTextMark*, Glib::RefPtr<Gtk::TextMark>> fences_;
  struct Fill {
    std::size_t filled = 0;    // the storage's units the buffer holds, from its start
    std::size_t unbroken = 0;  // bytes at the buffer's end since its last line break or fence
  };
  std::optional<Fill> filling_;
  sigc::connection fillSource_;
  std::size_t largestInsertion_ = 0;
  sigc::connection hScroll_;
  sigc::connection vScroll_;
  sigc::connection hExtent_;
  sigc::connection vExtent_;
  bool windowsStale_ = false;
  NSSize allocated_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for answers that come later
};
