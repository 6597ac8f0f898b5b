#include "Fennix/UI/AppKit/Views/GTK/TextFields.h"

#include <glibmm/markup.h>
#include <gtkmm/eventcontrollerfocus.h>
#include <gtkmm/gestureclick.h>

#include <cmath>
#include <cstdio>

// MARK: - Field with a placed entry

QvTextField::QvTextField() : Glib::ObjectBase("QvTextField") {
  entry_ = Gtk::make_managed<Gtk::Entry>();
  entry_->set_parent(*this);
  signal_destroy().connect([this] {
    if (entry_ && entry_->get_parent() == this) entry_->unparent();
    entry_ = nullptr;
  });
}

QvTextField::~QvTextField() {
  if (entry_ && gobj() && entry_->get_parent() == this) entry_->unparent();
  entry_ = nullptr;
}

void QvTextField::measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural,
                                int& minimum_baseline, int& natural_baseline) const {
  minimum = natural = 0;
  minimum_baseline = natural_baseline = -1;
  if (entry_) entry_->measure(orientation, for_size, minimum, natural, minimum_baseline, natural_baseline);
  minimum_baseline = natural_baseline = -1;
}

void QvTextField::size_allocate_vfunc(int width, int height, int) {
  if (!entry_) return;
  int minimum = 0, natural = 0, ignored = 0;
  entry_->measure(Gtk::Orientation::VERTICAL, width, minimum, natural, ignored, ignored);
  // The entry takes the height its text needs, placed by the alignment.
  entryRect_ = cell_.drawingRect(CGRect(0, 0, width, height), natural);
  entry_->size_allocate(Gtk::Allocation(static_cast<int>(std::lround(entryRect_.origin.x)),
                                        static_cast<int>(std::lround(entryRect_.origin.y)),
                                        static_cast<int>(std::lround(entryRect_.size.width)),
                                        static_cast<int>(std::lround(entryRect_.size.height))),
                        -1);
}

namespace Fennix {

NSTextBlockVerticalAlignment verticalAlignment(const Gtk::Widget& field) {
  if (auto* kitField = dynamic_cast<const QvTextField*>(&field))
    return const_cast<QvTextField*>(kitField)->cell().verticalAlignment;
  return NSTextBlockVerticalAlignment::top;
}

void setVerticalAlignment(Gtk::Widget& field, NSTextBlockVerticalAlignment alignment) {
  if (auto* kitField = dynamic_cast<QvTextField*>(&field)) kitField->cell().verticalAlignment = alignment;
}

std::string linkedTextMarkup(const LinkedText& text) {
  std::string markup;
  auto hex = [](const NSColor& color) { return "#" + color.hexString(); };
  const auto& units = text.text.utf16();
  std::size_t linkIndex = 0;
  for (const auto& run : text.text.runs()) {
    // Runs are split further where links start and end.
    std::size_t position = run.range.location;
    while (position < run.range.upperBound()) {
      while (linkIndex < text.links.size() && text.links[linkIndex].range.upperBound() <= position) ++linkIndex;
      const LinkedText::Link* link = nullptr;
      std::size_t end = run.range.upperBound();
      if (linkIndex < text.links.size()) {
        const auto& candidate = text.links[linkIndex];
        if (candidate.range.location <= position) {
          link = &candidate;
          end = std::min(end, candidate.range.upperBound());
        } else {
          end = std::min(end, candidate.range.location);
        }
      }
      std::string piece = Glib::Markup::escape_text(utf8FromUTF16(std::u16string_view(units).substr(position, end - position)));
      std::string span = "<span";
      if (run.attributes.foregroundColor) span += " foreground=\"" + hex(*run.attributes.foregroundColor) + "\"";
      if (run.attributes.underlineStyle == NSUnderlineStyle::single) span += " underline=\"single\"";
      if (run.attributes.font)
        span += " font_desc=\"" + Glib::Markup::escape_text(run.attributes.font->pangoDescription()) + "\"";
      piece = span + ">" + piece + "</span>";
      if (link) {
        std::string target;
        if (auto* url = std::get_if<LinkedText::URL>(&link->value)) target = url->absoluteString;
        if (auto* plain = std::get_if<std::string>(&link->value)) target = *plain;
        if (!target.empty()) piece = "<a href=\"" + Glib::Markup::escape_text(target) + "\">" + piece + "</a>";
      }
      markup += piece;
      position = end;
    }
  }
  return markup;
}

void setLinkedText(Gtk::Label& label, const LinkedText& text) { label.set_markup(linkedTextMarkup(text)); }

}  // namespace Fennix

// MARK: - Growing text view

QvGrowingTextField::QvGrowingTextField() : Glib::ObjectBase("QvGrowingTextField") {
  set_wrap_mode(Gtk::WrapMode::WORD_CHAR);
  auto focus = Gtk::EventControllerFocus::create();
  focus->signal_enter().connect([this] { setEditing(true); });
  focus->signal_leave().connect([this] { setEditing(false); });
  add_controller(focus);
  get_buffer()->signal_changed().connect([this] { queue_resize(); });
}

void QvGrowingTextField::setEditing(bool editing) {
  if (editing == isEditing_) return;
  isEditing_ = editing;
  queue_resize();
}

void QvGrowingTextField::measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural,
                                       int& minimum_baseline, int& natural_baseline) const {
  Gtk::TextView::measure_vfunc(orientation, for_size, minimum, natural, minimum_baseline, natural_baseline);
  if (orientation != Gtk::Orientation::VERTICAL || isEditing_) return;
  // Not editing: the height of one line, as a one-line field shows.
  auto layout = const_cast<QvGrowingTextField*>(this)->create_pango_layout("Xg");
  int width = 0, lineHeight = 0;
  layout->get_pixel_size(width, lineHeight);
  const int oneLine = std::max(lineHeight, 1) + get_top_margin() + get_bottom_margin();
  minimum = std::min(minimum, oneLine);
  natural = std::min(natural, oneLine);
  minimum_baseline = natural_baseline = -1;
}

// MARK: - Clickable label

QvClickableLabel::QvClickableLabel(const std::string& text) : Glib::ObjectBase("QvClickableLabel") {
  label_ = Gtk::make_managed<Gtk::Label>(text);
  label_->set_xalign(0);
  label_->set_selectable(false);
  label_->set_parent(*this);
  signal_destroy().connect([this] {
    if (label_ && label_->get_parent() == this) label_->unparent();
    label_ = nullptr;
  });
  auto press = Gtk::GestureClick::create();
  press->signal_pressed().connect([this](int, double, double) { mouseDown(); });
  add_controller(press);
}

QvClickableLabel::~QvClickableLabel() {
  if (label_ && gobj() && label_->get_parent() == this) label_->unparent();
  label_ = nullptr;
}

QvClickableLabel& QvClickableLabel::onClick(Action action) {
  action_ = std::move(action);
  return *this;
}

void QvClickableLabel::mouseDown() {
  if (action_) action_(*this);
}

void QvClickableLabel::measure_vfunc(Gtk::Orientation orientation, int for_size, int& minimum, int& natural,
                                     int& minimum_baseline, int& natural_baseline) const {
  minimum = natural = 0;
  minimum_baseline = natural_baseline = -1;
  if (label_) label_->measure(orientation, for_size, minimum, natural, minimum_baseline, natural_baseline);
}

void QvClickableLabel::size_allocate_vfunc(int width, int height, int baseline) {
  if (label_) label_->size_allocate(Gtk::Allocation(0, 0, width, height), baseline);
}
