#include "SyntaxEditor/GTK/CodeTextView.h"

#include <gdk/gdkkeysyms.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/stylecontext.h>

#include <algorithm>

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

}  // namespace

CodeTextView::CodeTextView() : code_(std::make_unique<UXCodeTextView>()) {
  code_->setHost(this);
  set_wrap_mode(Gtk::WrapMode::NONE);
  set_monospace(true);
  get_buffer()->set_enable_undo(true);

  fontCss_ = Gtk::CssProvider::create();
  get_style_context()->add_provider(fontCss_, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  add_css_class("qv-code-text-view");

  observer_ = code_->codeTextStorage()->addObserver(
      [this](NSTextStorage&, const NSTextStorageEdit& edit) { storageDidEdit(edit); });

  auto buffer = get_buffer();
  buffer->signal_insert().connect(sigc::mem_fun(*this, &CodeTextView::bufferWillInsert), false);
  buffer->signal_erase().connect(sigc::mem_fun(*this, &CodeTextView::bufferWillErase), false);
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

  auto keys = Gtk::EventControllerKey::create();
  keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  keys->signal_key_pressed().connect(
      [this](guint keyval, guint, Gdk::ModifierType state) { return handleKeyPress(keyval, state); }, false);
  add_controller(keys);
}

CodeTextView::~CodeTextView() {
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
  if (modifiers != Gdk::ModifierType(0) || !code_->isEditable()) return false;
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

void CodeTextView::copyToClipboard(const std::u16string& text) { get_clipboard()->set_text(Fennix::utf8FromUTF16(text)); }

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
  buffer->select_range(iterAt(*buffer, storage, range.upperBound()), iterAt(*buffer, storage, range.location));
  scroll_to(buffer->get_insert());
  placingSelection_ = false;
}

void CodeTextView::editabilityDidChange(bool editable, bool selectable) {
  set_editable(editable);
  set_cursor_visible(editable);
  set_focusable(editable || selectable);
}

void CodeTextView::insetDidChange(NSSize inset) {
  set_left_margin(int(inset.width));
  set_right_margin(int(inset.width));
  set_top_margin(int(inset.height));
  set_bottom_margin(int(inset.height));
}

void CodeTextView::takeSelectionFromBuffer() {
  auto buffer = get_buffer();
  Gtk::TextBuffer::iterator start, end;
  buffer->get_selection_bounds(start, end);
  const auto& storage = *code_->codeTextStorage();
  const std::size_t from = utf16At(storage, start), to = utf16At(storage, end);
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
  takeSelectionFromBuffer();
  code_->didChangeText(edit);
}

void CodeTextView::storageDidEdit(const NSTextStorageEdit& edit) {
  auto buffer = get_buffer();
  const auto& storage = *code_->codeTextStorage();
  const NSRange range = edit.editedRange;
  if ((edit.editedMask & NSTextStorageEditedCharacters) && !mirroringBuffer_) {
    // Everything after the edited range is unchanged: count the replaced characters from the end.
    const int start = int(characterOffsetOf(storage, range.location));
    const std::size_t charactersAfter =
        characterOffsetOf(storage, storage.length()) - characterOffsetOf(storage, range.upperBound());
    const int oldEnd = std::max(start, buffer->get_char_count() - int(charactersAfter));
    const bool recorded = code_->isEditingByUser();
    mirroringStorage_ = true;
    if (!recorded) buffer->begin_irreversible_action();
    auto position = buffer->erase(buffer->get_iter_at_offset(start), buffer->get_iter_at_offset(oldEnd));
    // Converted from the storage a piece at a time, so that a text of many megabytes is not
    // held a third time while the buffer takes it.
    const std::u16string_view text = std::u16string_view(storage.string()).substr(range.location, range.length);
    constexpr std::size_t piece = std::size_t{1} << 20;
    for (std::size_t from = 0; from < text.size();) {
      std::size_t to = std::min(text.size(), from + piece);
      if (to < text.size() && text[to - 1] >= 0xD800 && text[to - 1] <= 0xDBFF) --to;  // not between a pair
      const std::string inserted = Fennix::utf8FromUTF16(text.substr(from, to - from));
      position = buffer->insert(position, inserted.data(), inserted.data() + inserted.size());
      from = to;
    }
    if (!recorded) buffer->end_irreversible_action();
    mirroringStorage_ = false;
  }
  if (range.length > 0) {
    mirroringStorage_ = true;
    const int start = int(characterOffsetOf(storage, range.location));
    GTKText::applyAttributes(*buffer, storage.attributedSubstring(range), start);
    mirroringStorage_ = false;
  }
}
