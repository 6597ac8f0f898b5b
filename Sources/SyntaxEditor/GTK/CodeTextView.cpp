#include "SyntaxEditor/GTK/CodeTextView.h"

#include <gdk/gdkkeysyms.h>
#include <glibmm/main.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/stylecontext.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "Fennix/UI/GTK/ClipboardText.h"
#include "Fennix/UI/GTK/TextBufferAttributes.h"

using namespace SyntaxEditorSupport;

namespace {

// The storage counts UTF-16 units, the buffer characters.
Gtk::TextBuffer::iterator iterAt(Gtk::TextBuffer& buffer, const NSTextStorage& storage, std::size_t utf16Offset) {
  return buffer.get_iter_at_offset(int(characterOffsetOf(storage, utf16Offset)));
}

std::size_t utf16At(const NSTextStorage& storage, const Gtk::TextBuffer::iterator& iter) {
  return utf16OffsetOf(storage, std::size_t(iter.get_offset()));
}

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

/// The buffer's character offsets of storage offsets asked for in turn, each counted from the one
/// before (or from a place whose offset is known) rather than from the text's start: a text with
/// characters outside the basic plane has its surrogate pairs counted, and a long line after
/// another of a text of many megabytes would be counted from the start each time.
class CharacterCounter {
 public:
  explicit CharacterCounter(const NSTextStorage& storage, std::size_t unit = 0, std::size_t character = 0)
      : storage_(storage), unit_(unit), character_(character) {}

  std::size_t at(std::size_t unit) {
    const std::u16string_view text = storage_.string();
    unit = std::min(unit, text.size());
    if (!storage_.mayHoldSurrogates()) return unit;
    if (unit >= unit_) {
      character_ += Fennix::characterOffset(text.substr(unit_), unit - unit_);
    } else {
      character_ -= Fennix::characterOffset(text.substr(unit), unit_ - unit);
    }
    unit_ = unit;
    return character_;
  }

 private:
  const NSTextStorage& storage_;
  std::size_t unit_;
  std::size_t character_;
};

/// Where a piece of `text` from `from` ends: after the last line break within `length` units, or
/// else after the first one past them, or at the end. A line is never split between pieces: the
/// toolkit would lay out a long line again for each piece of it.
std::size_t pieceEnd(std::u16string_view text, std::size_t from, std::size_t length) {
  if (text.size() - from <= length) return text.size();
  const std::size_t last = text.substr(from, length).rfind(u'\n');
  if (last != std::u16string_view::npos) return from + last + 1;
  const std::size_t next = text.find(u'\n', from + length);
  return next == std::u16string_view::npos ? text.size() : next + 1;
}

/// Whether `text` makes more than one piece of at most `length` units, and no line is longer.
bool inPiecesOfShortLines(std::u16string_view text, std::size_t length) {
  if (text.size() <= length) return false;
  for (std::size_t from = 0; from < text.size();) {
    const std::size_t to = pieceEnd(text, from, length);
    if (to - from > length) return false;
    from = to;
  }
  return true;
}

}  // namespace

CodeTextView::CodeTextView() : code_(std::make_unique<UXCodeTextView>()), mirror_(*code_->codeTextStorage()) {
  code_->setHost(this);
  // Lines wrap at the view's width, between words where they can and between characters where a
  // word is longer than the line (path data). A line longer than the long-line threshold does not:
  // the toolkit lays out a changed line whole, and breaking one of a hundred thousand characters
  // into display lines on every keystroke takes it twice as long as laying it out in one piece.
  set_wrap_mode(Gtk::WrapMode::WORD_CHAR);
  unwrapped_ = Gtk::TextTag::create("qv-unwrapped-line");
  unwrapped_->property_wrap_mode() = Gtk::WrapMode::NONE;
  get_buffer()->get_tag_table()->add(unwrapped_);
  set_monospace(true);
  get_buffer()->set_enable_undo(true);

  fontCss_ = Gtk::CssProvider::create();
  get_style_context()->add_provider(fontCss_, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  add_css_class("qv-code-text-view");

  observer_ = code_->codeTextStorage()->addObserver(
      [this](NSTextStorage&, const NSTextStorageEdit& edit) { storageDidEdit(edit); });
  code_->codeTextStorage()->cbHighlightsDone = [this] {
    mirror_.releaseDeferred();
    scheduleStyling();
  };
  watchScrolling();

  auto buffer = get_buffer();
  buffer->signal_insert().connect(sigc::mem_fun(*this, &CodeTextView::bufferWillInsert), false);
  buffer->signal_erase().connect(sigc::mem_fun(*this, &CodeTextView::bufferWillErase), false);
  g_signal_connect_after(buffer->gobj(), "insert-text", G_CALLBACK(bufferDidInsert), this);
  g_signal_connect_after(buffer->gobj(), "delete-range", G_CALLBACK(bufferDidErase), this);
  buffer->signal_insert().connect([this](const Gtk::TextBuffer::iterator&, const Glib::ustring&, int) {
    bufferDidChange();
  });
  buffer->signal_erase().connect(
      [this](const Gtk::TextBuffer::iterator&, const Gtk::TextBuffer::iterator&) { bufferDidChange(); });
  buffer->signal_mark_set().connect(sigc::mem_fun(*this, &CodeTextView::bufferMarkSet));

  // Copying from the context menu obeys the same guard as the shortcut.
  g_signal_connect(gobj(), "copy-clipboard", G_CALLBACK(+[](GtkTextView* view, gpointer self) {
                     const UXCodeTextViewDelegate* delegate = static_cast<CodeTextView*>(self)->code_->delegate();
                     if (delegate && !delegate->allowCopy()) g_signal_stop_emission_by_name(view, "copy-clipboard");
                   }),
                   this);

  g_signal_connect(gobj(), "paste-clipboard", G_CALLBACK(+[](GtkTextView* view, gpointer self) {
                     g_signal_stop_emission_by_name(view, "paste-clipboard");
                     static_cast<CodeTextView*>(self)->pasteClipboard();
                   }),
                   this);

  auto keys = Gtk::EventControllerKey::create();
  keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  keys->signal_key_pressed().connect(
      [this](guint keyval, guint, Gdk::ModifierType state) { return handleKeyPress(keyval, state); }, false);
  add_controller(keys);

  // Drops are taken only of the accepted drag types (none: no drop at all).
  acceptableDragTypesDidChange(code_->acceptableDragTypes());
  GListModel* controllers = gtk_widget_observe_controllers(GTK_WIDGET(gobj()));
  for (guint index = 0, count = g_list_model_get_n_items(controllers); index < count; ++index) {
    GObject* controller = G_OBJECT(g_list_model_get_item(controllers, index));
    if (GTK_IS_DROP_TARGET(controller)) g_signal_connect(controller, "accept", G_CALLBACK(acceptsDrop), this);
    g_object_unref(controller);
  }
  g_object_unref(controllers);
}

CodeTextView::~CodeTextView() {
  styling_.disconnect();
  fillSource_.disconnect();
  if (layingOut_ != 0) remove_tick_callback(layingOut_);
  hScroll_.disconnect();
  vScroll_.disconnect();
  hExtent_.disconnect();
  vExtent_.disconnect();
  code_->codeTextStorage()->cbHighlightsDone = nullptr;
  if (acceptedDrops_) gdk_content_formats_unref(acceptedDrops_);
  code_->codeTextStorage()->removeObserver(observer_);
  code_->setHost(nullptr);
}

void CodeTextView::setBuiltInUndo(bool enabled) { get_buffer()->set_enable_undo(enabled); }

void CodeTextView::applyEdit(NSRange range, std::u16string_view text) {
  takeSelectionFromBuffer();
  code_->applyEdit(range, text);
}

bool CodeTextView::handleKeyPress(guint keyval, Gdk::ModifierType state) {
  const auto modifiers = state & (Gdk::ModifierType::CONTROL_MASK | Gdk::ModifierType::ALT_MASK |
                                  Gdk::ModifierType::SUPER_MASK | Gdk::ModifierType::META_MASK);
  takeSelectionFromBuffer();
  if (modifiers == Gdk::ModifierType::CONTROL_MASK) {
    switch (keyval) {
      case GDK_KEY_c:
      case GDK_KEY_C:
      case GDK_KEY_Insert:
        // Shift+Ctrl+C is the window's: it copies the generated code.
        if ((state & Gdk::ModifierType::SHIFT_MASK) == Gdk::ModifierType::SHIFT_MASK) return false;
        code_->copy();
        return true;
      case GDK_KEY_plus:
      case GDK_KEY_equal:
      case GDK_KEY_KP_Add:
        code_->changeFont(FontAction::sizeUp);
        return true;
      case GDK_KEY_minus:
      case GDK_KEY_KP_Subtract:
        code_->changeFont(FontAction::sizeDown);
        return true;
      default:
        return false;
    }
  }
  if (modifiers != Gdk::ModifierType(0) || !code_->isEditable() || filling_) return false;
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      code_->insertNewline();
      return true;
    case GDK_KEY_Tab:
    case GDK_KEY_KP_Tab:
      if ((state & Gdk::ModifierType::SHIFT_MASK) == Gdk::ModifierType::SHIFT_MASK) return false;
      code_->insertTab();
      return true;
    case GDK_KEY_BackSpace:
      code_->deleteBackward();
      return true;
    default:
      break;
  }
  // Opening halves of pairs are inserted here, so that their closing halves follow.
  const gunichar character = gdk_keyval_to_unicode(keyval);
  if (character == 0 || code_->autoPairCompletion.empty()) return false;
  const std::u16string typed = Fennix::utf16FromUTF8(Glib::ustring(1, character).raw());
  if (!closingPair(code_->autoPairCompletion, typed)) return false;
  code_->insertText(typed);
  return true;
}

void CodeTextView::beep() { error_bell(); }

void CodeTextView::copyToClipboard(const std::u16string& text) {
  Fennix::writeText(get_clipboard(), Fennix::utf8FromUTF16(text));
}

void CodeTextView::fontDidChange(const NSFontPtr& font) {
  if (!font) return;
  const Pango::FontDescription description = GTKText::fontDescription(*font);
  const std::string css = "textview.qv-code-text-view { font-family: \"" + description.get_family() +
                          "\"; font-size: " + std::to_string(font->pointSize()) + "pt; }";
  fontCss_->load_from_data(css);
}

void CodeTextView::selectionDidChange(NSRange range) {
  if (placingSelection_) return;
  placingSelection_ = true;
  auto buffer = get_buffer();
  const auto& storage = *code_->codeTextStorage();
  const auto insert = iterAt(*buffer, storage, range.upperBound());
  const auto bound = iterAt(*buffer, storage, range.location);
  // A selection the buffer shows already (the cursor after text it inserted) is left alone: the
  // toolkit lays out the cursor's line whole when the cursor is placed, and drops that layout
  // when the other end of the selection is placed, which on a line of megabytes costs seconds.
  if (buffer->get_insert()->get_iter() != insert || buffer->get_selection_bound()->get_iter() != bound) {
    buffer->select_range(insert, bound);
    noteLongLineChanged(range.upperBound());
  }
  scroll_to(buffer->get_insert());
  placingSelection_ = false;
}

void CodeTextView::editabilityDidChange(bool editable, bool selectable) {
  // A buffer still being filled is editable once it holds the whole text.
  set_editable(editable && !filling_);
  set_cursor_visible(editable);
  set_focusable(editable || selectable);
}

void CodeTextView::insetDidChange(NSSize inset) {
  set_left_margin(int(inset.width));
  set_right_margin(int(inset.width));
  set_top_margin(int(inset.height));
  set_bottom_margin(int(inset.height));
}

void CodeTextView::acceptableDragTypesDidChange(const std::vector<SyntaxEditor::PasteboardType>& types) {
  GdkContentFormatsBuilder* builder = gdk_content_formats_builder_new();
  for (const auto& type : types) gdk_content_formats_builder_add_mime_type(builder, type.c_str());
  if (acceptedDrops_) gdk_content_formats_unref(acceptedDrops_);
  acceptedDrops_ = gdk_content_formats_builder_free_to_formats(builder);
}

gboolean CodeTextView::acceptsDrop(GtkDropTarget* target, GdkDrop* drop, gpointer self) {
  // The text view's own rule (its actions and the types it reads), narrowed to the accepted types.
  const GdkContentFormats* offered = gdk_drop_get_formats(drop);
  const GdkContentFormats* readable = gtk_drop_target_get_formats(target);
  return (gdk_drop_get_actions(drop) & gtk_drop_target_get_actions(target)) != 0 &&
         (readable == nullptr || gdk_content_formats_match(readable, offered)) &&
         gdk_content_formats_match(static_cast<CodeTextView*>(self)->acceptedDrops_, offered);
}

void CodeTextView::pasteClipboard() {
  if (!code_->isEditable() || filling_) {
    error_bell();
    return;
  }
  Fennix::readClipboardText(get_clipboard(), largestPaste,
                            [alive = std::weak_ptr<bool>(alive_), this](Fennix::ClipboardText read) {
                              if (!alive.lock()) return;
                              if (!read.failure.empty() && onPasteFailure) {
                                onPasteFailure(read.failure);
                                return;
                              }
                              pasteText(read.text ? read.text->c_str() : nullptr);
                            });
}

void CodeTextView::pasteText(const char* text) {
  if (text == nullptr || !code_->isEditable() || filling_) {
    error_bell();
    return;
  }
  const std::u16string pasted = Fennix::utf16FromUTF8(text);
  if (pasted.empty()) return;
  auto buffer = get_buffer();
  takeSelectionFromBuffer();
  buffer->begin_user_action();
  code_->platformInsertText(pasted);
  buffer->end_user_action();
}

void CodeTextView::takeSelectionFromBuffer() {
  auto buffer = get_buffer();
  Gtk::TextBuffer::iterator start, end;
  buffer->get_selection_bounds(start, end);
  const auto& storage = *code_->codeTextStorage();
  // While the buffer is filled its end stands for the end of the text: a mark there moves on with
  // each piece put in, and Select All then Copy takes the whole text, not the part shown so far.
  const auto at = [&](const Gtk::TextBuffer::iterator& iter) {
    return filling_ && iter.is_end() ? storage.string().size() : utf16At(storage, iter);
  };
  const std::size_t from = at(start), to = at(end);
  placingSelection_ = true;
  code_->setSelectedRange({from, to - from});
  placingSelection_ = false;
}

void CodeTextView::bufferMarkSet(const Gtk::TextBuffer::iterator&, const Glib::RefPtr<Gtk::TextBuffer::Mark>& mark) {
  if (mirroringStorage_ || placingSelection_ || pendingEdit_) return;
  auto buffer = get_buffer();
  if (mark == buffer->get_insert() || mark == buffer->get_selection_bound()) takeSelectionFromBuffer();
}

void CodeTextView::bufferWillInsert(Gtk::TextBuffer::iterator& position, const Glib::ustring& text, int bytes) {
  if (mirroringStorage_) return;
  const auto& storage = code_->codeTextStorage();
  const std::size_t location = utf16At(*storage, position);
  const std::u16string inserted = Fennix::utf16FromUTF8(std::string_view(text.data(), std::size_t(std::max(bytes, 0))));
  mirroringBuffer_ = true;
  storage->replaceCharacters({location, 0}, inserted);
  mirroringBuffer_ = false;
  pendingEdit_ = UXCodeTextEdit{{location, 0}, u"", inserted};
}

void CodeTextView::bufferWillErase(Gtk::TextBuffer::iterator& start, Gtk::TextBuffer::iterator& end) {
  if (mirroringStorage_) return;
  const auto& storage = code_->codeTextStorage();
  const std::size_t from = utf16At(*storage, start), to = utf16At(*storage, end);
  if (to <= from) return;
  UXCodeTextEdit edit{{from, to - from}, storage->substring({from, to - from}), u""};
  mirroringBuffer_ = true;
  storage->replaceCharacters(edit.range, u"");
  mirroringBuffer_ = false;
  pendingEdit_ = std::move(edit);
}

void CodeTextView::bufferDidChange() {
  if (!pendingEdit_) return;
  const UXCodeTextEdit edit = std::move(*pendingEdit_);
  pendingEdit_.reset();
  noteInsertedStyle({edit.range.location, edit.newText.size()});
  followLongLines();
  noteLongLineChanged(edit.range.location);
  takeSelectionFromBuffer();
  code_->didChangeText(edit);
}

void CodeTextView::replaceInBuffer(NSRange oldRange, NSRange newRange) {
  auto buffer = get_buffer();
  const auto& storage = *code_->codeTextStorage();
  // Only the middle that differs is replaced: the text around it keeps its styles (a whole new
  // text that is mostly the old one, such as regenerated code, changes only a few lines). What
  // the buffer held there is read from it: the text before and after the range is the storage's,
  // so the range starts and ends as many characters from either end of the buffer.
  const int oldFrom = int(characterOffsetOf(storage, oldRange.location));
  const int oldTo = buffer->get_char_count() - int(characterOffsetOf(storage, storage.length()) -
                                                   characterOffsetOf(storage, newRange.upperBound()));
  const std::u16string held =
      oldTo > oldFrom ? Fennix::utf16FromUTF8(
                            buffer->get_slice(buffer->get_iter_at_offset(oldFrom), buffer->get_iter_at_offset(oldTo), true)
                                .raw())
                      : std::u16string();
  const std::u16string_view before = held;
  const std::u16string_view after = std::u16string_view(storage.string()).substr(newRange.location, newRange.length);
  auto isLowSurrogate = [](char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
  const std::size_t shorter = std::min(before.size(), after.size());
  std::size_t prefix = 0;
  while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
  // Never between the halves of a surrogate pair.
  if (prefix > 0 && ((prefix < before.size() && isLowSurrogate(before[prefix])) ||
                     (prefix < after.size() && isLowSurrogate(after[prefix])))) {
    --prefix;
  }
  std::size_t suffix = 0;
  while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) ++suffix;
  if (suffix > 0 && (isLowSurrogate(before[before.size() - suffix]) || isLowSurrogate(after[after.size() - suffix]))) {
    --suffix;
  }
  const std::u16string_view removed = before.substr(prefix, before.size() - prefix - suffix);
  const std::u16string_view inserted = after.substr(prefix, after.size() - prefix - suffix);

  const bool recorded = code_->isEditingByUser();
  // A stretch of many pieces of short lines goes in from the next turn on. A line longer than a
  // piece is laid out whole either way, and goes in at once with the style around it: taken in
  // later without it, it would be laid out once more for its colours.
  if (!recorded && buffer->get_char_count() > 0 && inPiecesOfShortLines(inserted, fillPiece)) {
    refillFrom(newRange.location + prefix, removed.size(), inserted.size());
    return;
  }
  mirroringStorage_ = true;
  if (!recorded) buffer->begin_irreversible_action();
  const int from = int(characterOffsetOf(storage, newRange.location + prefix));
  auto position = buffer->erase(buffer->get_iter_at_offset(from),
                                buffer->get_iter_at_offset(from + int(Fennix::characterOffset(removed, removed.size()))));
  // The fences of the text taken out have all moved to where it was.
  if (!removed.empty()) position = dropFencesAt(position);
  // Text put into an empty buffer carries no style.
  const bool bare = buffer->get_char_count() == 0;
  // A whole new text of many megabytes (all of the storage's: the buffer is empty) goes in a
  // piece of whole lines per main-loop iteration: the toolkit takes a few tens of megabytes a
  // second, and the loop would otherwise answer nothing until it held all of it.
  const std::size_t now = bare && !recorded ? pieceEnd(inserted, 0, fillPiece) : inserted.size();
  std::size_t unbroken = 0;
  position = insertUnits(position, inserted.substr(0, now), unbroken);
  if (!recorded) buffer->end_irreversible_action();
  mirroringStorage_ = false;
  largestInsertion_ = std::max(largestInsertion_, now);
  const std::size_t removedLength = removed.size();
  mirror_.textDidChange({newRange.location + prefix, removedLength}, inserted.size(), bare);
  if (now < inserted.size()) {
    // Not editable, and not coloured, until the buffer holds the whole text.
    filling_ = Fill{now, unbroken};
    set_editable(false);
    styling_.disconnect();
    // Behind the toolkit's input and drawing and the main queue's blocks, ahead of its layout of
    // the lines out of view (which the rest of the text would otherwise wait for).
    fillSource_ = Glib::signal_idle().connect(sigc::mem_fun(*this, &CodeTextView::fillSlice),
                                              GTK_TEXT_VIEW_PRIORITY_VALIDATE - 1);
    return;
  }
  if (!bare) noteInsertedStyle({newRange.location + prefix, inserted.size()});
  noteLongLineChanged(newRange.location + prefix);
}

void CodeTextView::refillFrom(std::size_t location, std::size_t removed, std::size_t inserted) {
  // A long stretch of new lines from outside (the code made again from a text of megabytes just
  // pasted into another editor) goes in as a whole new text does: what the buffer holds from the
  // change on goes, and the rest of the storage's text follows a piece per main-loop iteration
  // from the next one on. The toolkit would otherwise lay out this view's new lines in the same
  // iteration as the other editor's.
  auto buffer = get_buffer();
  const auto& storage = *code_->codeTextStorage();
  const std::size_t oldLength = storage.length() - inserted + removed;
  mirroringStorage_ = true;
  buffer->begin_irreversible_action();
  dropFencesAt(buffer->erase(buffer->get_iter_at_offset(int(characterOffsetOf(storage, location))), buffer->end()));
  buffer->end_irreversible_action();
  mirroringStorage_ = false;
  // The bytes before the change since the last break are not counted: a fence comes first.
  filling_ = Fill{location, fenceSpacing - 1};
  mirror_.textDidChange({location, oldLength - location}, storage.length() - location, true);
  set_editable(false);
  styling_.disconnect();
  fillSource_ = Glib::signal_idle().connect(sigc::mem_fun(*this, &CodeTextView::fillSlice),
                                            GTK_TEXT_VIEW_PRIORITY_VALIDATE - 1);
}

bool CodeTextView::fillSlice() {
  auto buffer = get_buffer();
  const std::u16string_view text = code_->codeTextStorage()->string();
  const std::size_t from = std::min(filling_->filled, text.size());
  const std::size_t to = pieceEnd(text, from, fillPiece);
  // The buffer holds the storage's text up to `from`, and its tags follow the long lines there.
  const std::size_t heldCharacters = std::size_t(buffer->get_char_count());
  mirroringStorage_ = true;
  buffer->begin_irreversible_action();
  insertUnits(buffer->end(), text.substr(from, to - from), filling_->unbroken);
  buffer->end_irreversible_action();
  mirroringStorage_ = false;
  largestInsertion_ = std::max(largestInsertion_, to - from);
  filling_->filled = to;
  if (to < text.size()) {
    followLongLines(from, heldCharacters);
    return true;
  }
  finishFilling();
  return false;
}

void CodeTextView::fillDidEdit(NSRange oldRange, NSRange newRange) {
  // The buffer holds the old text up to `filled`. The new text is the same before the edit's start,
  // and after its end as far as the buffer held the old text: an edit inside what the buffer holds
  // replaces its stretch there (as it would in a buffer that held all), one past it changes nothing
  // the buffer holds, and one across its end takes out what the buffer holds from the edit's start,
  // which is filled again from there.
  Fill& fill = *filling_;
  if (oldRange.location < fill.filled) {
    auto buffer = get_buffer();
    const auto& storage = *code_->codeTextStorage();
    const bool inside = oldRange.upperBound() <= fill.filled;
    const std::size_t heldAfter = inside ? fill.filled - oldRange.upperBound() : 0;
    const int from = int(characterOffsetOf(storage, oldRange.location));
    const int to = buffer->get_char_count() -
                   int(characterOffsetOf(storage, newRange.upperBound() + heldAfter) -
                       characterOffsetOf(storage, newRange.upperBound()));
    mirroringStorage_ = true;
    buffer->begin_irreversible_action();
    auto position = dropFencesAt(buffer->erase(buffer->get_iter_at_offset(from), inside ? buffer->get_iter_at_offset(to) : buffer->end()));
    // The bytes before the edit since the last break are not counted: a fence comes first.
    std::size_t unbroken = fenceSpacing - 1;
    if (inside) {
      insertUnits(position, std::u16string_view(storage.string()).substr(newRange.location, newRange.length), unbroken);
      largestInsertion_ = std::max(largestInsertion_, newRange.length);
      fill.filled = newRange.upperBound() + heldAfter;
    } else {
      fill.filled = oldRange.location;
      fill.unbroken = unbroken;
    }
    buffer->end_irreversible_action();
    mirroringStorage_ = false;
  }
  // What the buffer takes from here on comes without styles, as the rest.
  mirror_.textDidChange(oldRange, newRange.length, true);
}

void CodeTextView::finishFilling() {
  filling_.reset();
  set_editable(code_->isEditable());
  followLongLines();
  // A selection placed meanwhile past the text the buffer held is placed again.
  selectionDidChange(code_->selectedRange());
  windowsStale_ = true;
  scheduleStyling();
}

Gtk::TextBuffer::iterator CodeTextView::insertUnits(Gtk::TextBuffer::iterator position, std::u16string_view units,
                                                    std::size_t& unbroken) {
  // Converted a piece at a time, so that a text of many megabytes is not held a third time while
  // the buffer takes it.
  constexpr std::size_t piece = std::size_t{1} << 20;
  for (std::size_t at = 0; at < units.size();) {
    std::size_t to = std::min(units.size(), at + piece);
    if (to < units.size() && isHighSurrogate(units[to - 1])) --to;  // not between a pair
    position = insertFenced(position, Fennix::utf8FromUTF16(units.substr(at, to - at)), unbroken);
    at = to;
  }
  return position;
}

namespace {

/// The byte offsets in `text` after which a fence goes: after every `spacing` bytes that hold no
/// line break, moved on to the next character. `unbroken`: the bytes before `text` since the last
/// line break or fence, updated.
std::vector<std::size_t> fencePoints(std::string_view text, std::size_t spacing, std::size_t& unbroken) {
  std::vector<std::size_t> points;
  const char* data = text.data();
  std::size_t scanned = 0;
  while (scanned < text.size()) {
    const std::size_t room = spacing - unbroken;
    const std::size_t look = std::min(room, text.size() - scanned);
    if (const void* lineBreak = std::memchr(data + scanned, '\n', look)) {
      scanned = std::size_t(static_cast<const char*>(lineBreak) - data) + 1;
      unbroken = 0;
      continue;
    }
    if (look < room) {
      unbroken += look;
      break;
    }
    std::size_t cut = scanned + room;
    while (cut < text.size() && (static_cast<unsigned char>(data[cut]) & 0xC0) == 0x80) ++cut;  // on a character
    points.push_back(cut);
    scanned = cut;
    unbroken = 0;
  }
  return points;
}

}  // namespace

Gtk::TextBuffer::iterator CodeTextView::insertFenced(Gtk::TextBuffer::iterator position, const std::string& text,
                                                     std::size_t& unbroken) {
  // The buffer keeps the text of a line between two marks or tag toggles in one piece, and copies
  // and counts all of that piece whenever a tag starts or ends inside it: on a line of megabytes
  // every colour given near the view would cost as much as the whole line. A mark every few
  // kilobytes of a line keeps each piece that short (the marks are not shown and hold no text).
  auto buffer = get_buffer();
  const char* data = text.data();
  std::size_t at = 0;
  for (const std::size_t cut : fencePoints(text, fenceSpacing, unbroken)) {
    position = buffer->insert(position, data + at, data + cut);
    auto fence = buffer->create_mark(position, true);
    fences_.emplace(fence->gobj(), fence);
    position = fence->get_iter();
    at = cut;
  }
  if (at < text.size()) position = buffer->insert(position, data + at, data + text.size());
  return position;
}

Gtk::TextBuffer::iterator CodeTextView::dropFencesAt(const Gtk::TextBuffer::iterator& position) {
  if (fences_.empty()) return position;
  auto buffer = get_buffer();
  const int offset = position.get_offset();
  bool dropped = false;
  for (const auto& mark : position.get_marks()) {
    const auto fence = fences_.find(mark->gobj());
    if (fence == fences_.end()) continue;
    buffer->delete_mark(fence->second);
    fences_.erase(fence);
    dropped = true;
  }
  return dropped ? buffer->get_iter_at_offset(offset) : position;
}

void CodeTextView::bufferDidInsert(GtkTextBuffer* buffer, GtkTextIter* end, const char* text, int bytes,
                                   gpointer self) {
  auto& view = *static_cast<CodeTextView*>(self);
  if (view.mirroringStorage_ || bytes < int(fenceSpacing)) return;
  std::size_t unbroken = 0;
  const std::vector<std::size_t> points = fencePoints(std::string_view(text, std::size_t(bytes)), fenceSpacing, unbroken);
  if (points.empty()) return;
  const int endOffset = gtk_text_iter_get_offset(end);
  std::vector<int> offsets;
  offsets.reserve(points.size());
  int offset = endOffset - int(g_utf8_strlen(text, bytes));
  std::size_t at = 0;
  for (const std::size_t point : points) {
    offset += int(g_utf8_strlen(text + at, gssize(point - at)));
    offsets.push_back(offset);
    at = point;
  }
  // The toolkit took the text in one piece, and a mark copies the piece it splits: marked from the
  // middle outwards, the text is copied once for each halving instead of once for each fence.
  auto fence = [&view, &offsets, text = view.get_buffer()](auto& self_, std::size_t from, std::size_t to) -> void {
    if (from >= to) return;
    const std::size_t middle = from + (to - from) / 2;
    auto mark = text->create_mark(text->get_iter_at_offset(offsets[middle]), true);
    view.fences_.emplace(mark->gobj(), mark);
    self_(self_, from, middle);
    self_(self_, middle + 1, to);
  };
  fence(fence, 0, offsets.size());
  gtk_text_buffer_get_iter_at_offset(buffer, end, endOffset);
}

void CodeTextView::bufferDidErase(GtkTextBuffer* buffer, GtkTextIter* start, GtkTextIter* end, gpointer self) {
  auto& view = *static_cast<CodeTextView*>(self);
  if (view.mirroringStorage_ || view.fences_.empty()) return;
  const int offset = gtk_text_iter_get_offset(start);
  view.dropFencesAt(view.get_buffer()->get_iter_at_offset(offset));
  gtk_text_buffer_get_iter_at_offset(buffer, start, offset);
  *end = *start;
}

void CodeTextView::noteInsertedStyle(NSRange range) {
  if (range.length == 0) return;
  auto buffer = get_buffer();
  const auto& storage = *code_->codeTextStorage();
  const auto start = iterAt(*buffer, storage, range.location);
  const auto end = iterAt(*buffer, storage, range.upperBound());
  // One style over all of it, or none: no style starts or ends inside (the tag of long lines may).
  auto styles = [this](const Gtk::TextIter& at) {
    auto tags = at.get_tags();
    tags.erase(std::remove(tags.begin(), tags.end(), unwrapped_), tags.end());
    return tags;
  };
  const auto atStart = styles(start);
  for (auto next = start; next.forward_to_tag_toggle(Glib::RefPtr<Gtk::TextTag>()) && next.get_offset() < end.get_offset();) {
    if (styles(next) != atStart) return;
  }
  std::uint32_t shown = StyleMirror::none;
  for (const auto& tag : atStart) {
    const auto found = std::find(tags_.begin(), tags_.end(), tag);
    if (found == tags_.end() || shown != StyleMirror::none) return;
    shown = std::uint32_t(found - tags_.begin());
  }
  mirror_.bufferShows(range, shown);
}

void CodeTextView::storageDidEdit(const NSTextStorageEdit& edit) {
  auto& storage = *code_->codeTextStorage();
  const NSRange range = edit.editedRange;
  if (edit.editedMask & NSTextStorageEditedCharacters) {
    const NSRange oldRange{range.location, std::size_t(std::ptrdiff_t(range.length) - edit.changeInLength)};
    if (mirroringBuffer_) {
      // The buffer makes this very change itself, right after (inside the text it holds).
      mirror_.textDidChange(oldRange, range.length);
      if (filling_) filling_->filled = filling_->filled - oldRange.length + range.length;
    } else if (filling_) {
      fillDidEdit(oldRange, range);
    } else {
      replaceInBuffer(oldRange, range);
    }
    // The lines that do not wrap follow the text (typed text once the buffer has it too).
    unwrappedLines_.replace(oldRange, range.length);
    if (!mirroringBuffer_) followLongLines();
    windowsStale_ = true;
    // The storage re-highlights the paragraphs around the edit: the rest of the edited range is
    // compared once the results are in, not against the styles it holds meanwhile. Typed text is
    // styled at once (it takes the style it is typed into); text put in from outside, such as
    // regenerated code, waits for the results.
    if (mirroringBuffer_) {
      mirror_.defer(range);
    } else {
      mirror_.deferReplaced(range);
    }
    if (!storage.isHighlighting()) mirror_.releaseDeferred();
  }
  if (edit.editedMask & NSTextStorageEditedAttributes) mirror_.attributesDidChange(range);
  scheduleStyling();
}

void CodeTextView::followLongLines(std::size_t from, std::size_t fromCharacter) {
  // The lines that carry the tag are the long lines of the text, each whole (the toolkit takes a
  // line's wrapping from its first character). While the buffer is filled they are the parts of
  // those lines it holds, given the tag in the step that puts them in: the toolkit lays out a line
  // in view before the next step, and a line it laid out wrapped is laid out again once it takes
  // the tag, which on a line of megabytes costs seconds each time. A line whose start the buffer
  // held already, made long by an edit of the storage, takes it from its first character too.
  const std::vector<NSRange>& lines = mirror_.longLines();
  if (unwrappedLines_.empty() && lines.empty()) return;
  const std::size_t held = filling_ ? filling_->filled : code_->codeTextStorage()->length();
  std::vector<NSRange> shown;
  for (const NSRange& line : lines) {
    if (line.location >= held) break;
    shown.push_back({line.location, std::min(line.upperBound(), held) - line.location});
  }
  auto buffer = get_buffer();
  CharacterCounter characters(*code_->codeTextStorage(), from, fromCharacter);
  auto iterOf = [&](std::size_t unit) { return buffer->get_iter_at_offset(int(characters.at(unit))); };
  mirroringStorage_ = true;
  for (const NSRange& range : unwrappedLines_.ranges()) {
    const std::size_t to = std::min(range.upperBound(), held);
    if (range.location >= to || to <= from) continue;
    // A part of a line that is to carry the tag keeps it (the rest of the line is given it below).
    const auto line = std::upper_bound(shown.begin(), shown.end(), range.location,
                                       [](std::size_t at, const NSRange& r) { return at < r.location; });
    if (line != shown.begin() && to <= std::prev(line)->upperBound()) continue;
    buffer->remove_tag(unwrapped_, iterOf(range.location), iterOf(to));
  }
  for (const NSRange& line : shown) {
    if (line.upperBound() <= from) continue;
    const auto start = iterOf(line.location);
    const auto end = iterOf(line.upperBound());
    // A line that carries the tag whole is left alone: every change of a tag costs a layout of the
    // line. Text typed at either end of one is outside the tag until it is given again.
    auto toggle = start;
    if (start.has_tag(unwrapped_) && (!toggle.forward_to_tag_toggle(unwrapped_) || toggle.get_offset() >= end.get_offset())) {
      continue;
    }
    buffer->apply_tag(unwrapped_, start, end);
    noteLongLineChanged(line.location);
  }
  mirroringStorage_ = false;
  unwrappedLines_.clear();
  for (const NSRange& line : shown) unwrappedLines_.add(line);
}

// ---- Styles in slices ---------------------------------------------------------------------------

void CodeTextView::scheduleStyling() {
  if (styling_.connected() || filling_) return;
  if (mirror_.isSettled() && !(windowsStale_ && !mirror_.longLines().empty())) return;
  // Ahead of the toolkit's own layout of changed lines, which goes on in the background until
  // every line is laid out: after a paste of many lines that takes many seconds, and slices
  // waiting behind it left the colours out all that while, then changed the lines it had laid out
  // and had them laid out again. Frames are still drawn between slices.
  styling_ = Glib::signal_idle().connect(sigc::mem_fun(*this, &CodeTextView::styleSlice),
                                         GTK_TEXT_VIEW_PRIORITY_VALIDATE - 1);
}

bool CodeTextView::styleSlice() {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto deadline = start + std::chrono::milliseconds(4);
  if (windowsStale_) updateWindows();
  mirror_.setVisibleRange(visibleRange());
  // At least one batch, however long finding the view took (a slow or busy machine), so that
  // the styles always get on.
  // Every slice that changes a long line costs a layout of all of it afterwards, which takes far
  // longer than a slice: a slice that changes one goes on while its changes are on long lines,
  // so that the styles of the part in view reach such a line at once (they are bounded by the
  // windows near the view).
  bool onLongLine = false, changedLongLine = false;
  do {
    onLongLine = false;
    for (const auto& change : mirror_.nextChanges(32, 1024)) {
      restyle(change);
      if (mirror_.isOnLongLine(change.range.location)) onLongLine = true;
    }
    changedLongLine = changedLongLine || onLongLine;
  } while (!mirror_.isSettled() && (onLongLine || Clock::now() < deadline));
  // Laid out now, ahead of the toolkit's measuring, which comes before the next frame.
  if (changedLongLine) layOutChangedLongLines();
  return !mirror_.isSettled();
}

Glib::RefPtr<Gtk::TextTag> CodeTextView::tagFor(std::uint32_t id) {
  if (id < 2) return {};
  if (tags_.size() <= id) tags_.resize(id + 1);
  if (tags_[id]) return tags_[id];
  const TextAttributes& attributes = mirror_.attributes(id);
  const std::string name = "qv-attributes " + attributes.description();
  auto table = get_buffer()->get_tag_table();
  auto tag = table->lookup(name);
  if (!tag) {
    tag = Gtk::TextTag::create(name);
    if (attributes.font) tag->property_font_desc() = GTKText::fontDescription(*attributes.font);
    if (attributes.foregroundColor) tag->property_foreground_rgba() = GTKText::rgba(*attributes.foregroundColor);
    if (attributes.underlineStyle == NSUnderlineStyle::single) {
      tag->property_underline() = Pango::Underline::SINGLE;
      if (attributes.underlineColor) tag->property_underline_rgba() = GTKText::rgba(*attributes.underlineColor);
    }
    table->add(tag);
  }
  return tags_[id] = tag;
}

void CodeTextView::restyle(const StyleMirror::Change& change) {
  auto buffer = get_buffer();
  const int from = int(change.firstCharacter), to = int(change.endCharacter);
  mirroringStorage_ = true;
  if (change.shown == StyleMirror::unknown) {
    for (const auto& tag : tags_) {
      if (tag) buffer->remove_tag(tag, buffer->get_iter_at_offset(from), buffer->get_iter_at_offset(to));
    }
  } else if (change.shown >= 2) {
    buffer->remove_tag(tagFor(change.shown), buffer->get_iter_at_offset(from), buffer->get_iter_at_offset(to));
  }
  if (change.wanted >= 2) {
    buffer->apply_tag(tagFor(change.wanted), buffer->get_iter_at_offset(from), buffer->get_iter_at_offset(to));
  }
  mirroringStorage_ = false;
  noteLongLineChanged(change.range.location);
}

// ---- Long lines laid out once per change ---------------------------------------------------------

std::optional<NSRange> CodeTextView::longLineAt(std::size_t index) const {
  // A line's end counts as on it (text typed there lengthens it).
  const std::vector<NSRange>& lines = mirror_.longLines();
  auto line = std::upper_bound(lines.begin(), lines.end(), index,
                               [](std::size_t i, const NSRange& r) { return i < r.location; });
  if (line == lines.begin() || index > std::prev(line)->upperBound()) return std::nullopt;
  return *std::prev(line);
}

void CodeTextView::noteLongLineChanged(std::size_t index) {
  // A buffer being filled has its long lines laid out once it holds them all.
  if (filling_) return;
  const auto line = longLineAt(index);
  if (!line) return;
  if (changedLongLines_.empty() || longLineAt(changedLongLines_.back()) != line) changedLongLines_.push_back(index);
  if (layingOut_ != 0) return;
  // At the start of the next frame, before the toolkit measures the changed lines and draws them
  // (the toolkit draws ahead of every idle callback).
  layingOut_ = add_tick_callback([this](const Glib::RefPtr<Gdk::FrameClock>&) {
    layingOut_ = 0;
    layOutChangedLongLines();
    return false;
  });
}

void CodeTextView::layOutChangedLongLines() {
  const std::vector<std::size_t> changed = std::move(changedLongLines_);
  changedLongLines_.clear();
  // The toolkit measures a changed line with a layout that it does not keep, then lays the line
  // out again to draw it. A layout asked for here, as for a place in the text, is kept and serves
  // both: each long line a change touched is laid out once instead of twice. (Before the view
  // has its width, the layout would be made again for that width.)
  if (!get_mapped() || get_width() <= 0) return;
  auto buffer = get_buffer();
  CharacterCounter characters(*code_->codeTextStorage());
  std::vector<NSRange> done;
  for (const std::size_t index : changed) {
    const auto line = longLineAt(index);
    if (!line || std::find(done.begin(), done.end(), *line) != done.end()) continue;
    done.push_back(*line);
    Gdk::Rectangle location;
    get_iter_location(buffer->get_iter_at_offset(int(characters.at(line->location))), location);
    ++longLineLayouts_;
  }
}

NSRange CodeTextView::visibleRange() {
  Gdk::Rectangle rect;
  get_visible_rect(rect);
  Gtk::TextIter top, bottom;
  get_iter_at_location(top, rect.get_x(), rect.get_y());
  get_iter_at_location(bottom, rect.get_x() + rect.get_width(), rect.get_y() + rect.get_height());
  top.set_line_offset(0);
  if (!bottom.ends_line()) bottom.forward_to_line_end();
  const auto& storage = *code_->codeTextStorage();
  const std::size_t from = utf16At(storage, top), to = utf16At(storage, bottom);
  return {from, std::max(from, to) - from};
}

void CodeTextView::updateWindows() {
  windowsStale_ = false;
  const std::vector<NSRange>& lines = mirror_.longLines();
  if (lines.empty()) {
    mirror_.setWindows({});
    return;
  }
  auto buffer = get_buffer();
  const auto& storage = *code_->codeTextStorage();
  Gdk::Rectangle rect;
  get_visible_rect(rect);
  Gtk::TextIter top, bottom;
  get_iter_at_location(top, rect.get_x(), rect.get_y());
  get_iter_at_location(bottom, rect.get_x(), rect.get_y() + rect.get_height());
  const int margin = int(mirror_.windowMargin());
  const NSRange visible = visibleRange();
  auto metrics = get_pango_context()->get_metrics(get_pango_context()->get_font_description());
  const double characterWidth = std::max(1.0, double(metrics.get_approximate_char_width()) / PANGO_SCALE);
  std::vector<NSRange> windows;
  for (const NSRange& line : lines) {
    if (line.upperBound() < visible.location || line.location > visible.upperBound()) continue;
    auto start = iterAt(*buffer, storage, line.location);
    if (start.get_line() < top.get_line() || start.get_line() > bottom.get_line()) continue;
    // The characters of the line in view, and a margin either side. Where the line lies is known
    // once the view has measured the lines above it; until then the columns are estimated from
    // the font's character width.
    int y = 0, height = 0;
    get_line_yrange(start, y, height);
    Gtk::TextIter left, right;
    get_iter_at_location(left, rect.get_x(), y + height / 2);
    get_iter_at_location(right, rect.get_x() + rect.get_width(), y + height / 2);
    int first = start.get_offset() + int(rect.get_x() / characterWidth);
    int last = first + int(rect.get_width() / characterWidth) + 1;
    if (left.get_line() == start.get_line() && right.get_line() == start.get_line()) {
      first = left.get_offset();
      last = right.get_offset();
      // A line not laid out yet answers its end: the columns in view are estimated then (a window
      // wider than the view would narrow once the line is measured, which costs the line a layout).
      if (right.ends_line()) last = std::min(last, first + int(rect.get_width() / characterWidth) + 1);
    }
    auto end = iterAt(*buffer, storage, line.upperBound());
    const int from = std::max(start.get_offset(), first - margin);
    const int to = std::min(end.get_offset(), last + margin);
    if (to <= from) continue;
    const std::size_t unitFrom = utf16OffsetOf(storage, std::size_t(from));
    const NSRange window{unitFrom, utf16OffsetOf(storage, std::size_t(to)) - unitFrom};
    // A window that moves by a few columns stays where it is (the view well inside it): every move
    // restyles its edges, which costs the line a layout, as when the line is measured after the
    // window was placed by the estimated columns.
    constexpr std::size_t slack = 64;
    auto near = [](std::size_t a, std::size_t b) { return (a > b ? a - b : b - a) <= slack; };
    const auto kept = std::find_if(mirror_.windows().begin(), mirror_.windows().end(), [&](const NSRange& old) {
      return old.location >= line.location && old.upperBound() <= line.upperBound() &&
             near(old.location, window.location) && near(old.upperBound(), window.upperBound());
    });
    windows.push_back(kept != mirror_.windows().end() ? *kept : window);
  }
  mirror_.setWindows(std::move(windows));
}

void CodeTextView::watchScrolling() {
  // The windows of long lines follow the view: where it scrolls to, and where the lines lie once
  // the view has measured them (it lays out lines that come into view after it has scrolled, and
  // may do so after the windows were placed by the estimated heights of lines not measured yet;
  // the measured lines change the extent of the adjustments).
  auto follow = [this](Glib::RefPtr<Gtk::Adjustment> adjustment, sigc::connection& scroll, sigc::connection& extent) {
    scroll.disconnect();
    extent.disconnect();
    if (!adjustment) return;
    auto stale = [this] {
      windowsStale_ = true;
      scheduleStyling();
    };
    scroll = adjustment->signal_value_changed().connect(stale);
    extent = adjustment->signal_changed().connect(stale);
  };
  property_hadjustment().signal_changed().connect([this, follow] { follow(get_hadjustment(), hScroll_, hExtent_); });
  property_vadjustment().signal_changed().connect([this, follow] { follow(get_vadjustment(), vScroll_, vExtent_); });
  follow(get_hadjustment(), hScroll_, hExtent_);
  follow(get_vadjustment(), vScroll_, vExtent_);
}

void CodeTextView::size_allocate_vfunc(int width, int height, int baseline) {
  Gtk::TextView::size_allocate_vfunc(width, height, baseline);
  if (width == allocated_.width && height == allocated_.height) return;
  allocated_ = {double(width), double(height)};
  windowsStale_ = true;
  scheduleStyling();
}
