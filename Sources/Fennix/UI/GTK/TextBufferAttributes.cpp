#include "Fennix/UI/GTK/TextBufferAttributes.h"

#include <gtkmm/texttag.h>
#include <gtkmm/texttagtable.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace GTKText {

namespace {

const std::string tagPrefix = "qv-attributes ";

// One tag per distinct set of attributes, named after them and kept in the buffer's table.
Glib::RefPtr<Gtk::TextTag> tagFor(Gtk::TextBuffer& buffer, const TextAttributes& attributes) {
  const std::string name = tagPrefix + attributes.description();
  auto table = buffer.get_tag_table();
  if (auto tag = table->lookup(name)) return tag;
  auto tag = Gtk::TextTag::create(name);
  if (attributes.font) tag->property_font_desc() = fontDescription(*attributes.font);
  if (attributes.foregroundColor) tag->property_foreground_rgba() = rgba(*attributes.foregroundColor);
  if (attributes.underlineStyle == NSUnderlineStyle::single) {
    tag->property_underline() = Pango::Underline::SINGLE;
    if (attributes.underlineColor) tag->property_underline_rgba() = rgba(*attributes.underlineColor);
  }
  table->add(tag);
  return tag;
}

}  // namespace

Pango::FontDescription fontDescription(const NSFont& font) {
  Pango::FontDescription description;
  description.set_family(font.familyName());
  description.set_weight(Pango::Weight(font.face().weight));
  description.set_style(font.face().italic ? Pango::Style::ITALIC : Pango::Style::NORMAL);
  description.set_stretch(Pango::Stretch(font.face().stretch));
  description.set_size(int(std::lround(font.pointSize() * Pango::SCALE)));
  return description;
}

Gdk::RGBA rgba(const NSColor& color) {
  return Gdk::RGBA(color.redComponent(), color.greenComponent(), color.blueComponent(), color.alphaComponent());
}

void setAttributedText(Gtk::TextBuffer& buffer, const AttributedString& text) {
  buffer.set_text(text.string());
  applyAttributes(buffer, text, 0);
}

void applyAttributes(Gtk::TextBuffer& buffer, const AttributedString& text, int startCharacterOffset) {
  const std::u16string& units = text.utf16();
  const int end = startCharacterOffset + int(Fennix::characterOffset(units, units.size()));

  std::vector<Glib::RefPtr<Gtk::TextTag>> ours;
  buffer.get_tag_table()->foreach([&](const Glib::RefPtr<Gtk::TextTag>& tag) {
    if (tag->property_name().get_value().rfind(tagPrefix, 0) == 0) ours.push_back(tag);
  });
  for (const auto& tag : ours) {
    buffer.remove_tag(tag, buffer.get_iter_at_offset(startCharacterOffset), buffer.get_iter_at_offset(end));
  }

  // Runs come in order: count characters from one run boundary to the next. Tags go on from
  // the last run to the first: finding a position walks the segments of its line from the line's
  // start, and so never passes the tag boundaries just made (a long line stays linear).
  const std::u16string_view view(units);
  std::vector<int> boundaries{startCharacterOffset};
  boundaries.reserve(text.runs().size() + 1);
  for (const AttributedString::Run& run : text.runs()) {
    const int from = boundaries.back();
    boundaries.push_back(std::min(end, from + int(Fennix::characterOffset(view.substr(run.range.location), run.range.length))));
  }
  for (std::size_t index = text.runs().size(); index-- > 0;) {
    if (boundaries[index] == boundaries[index + 1]) continue;
    buffer.apply_tag(tagFor(buffer, text.runs()[index].attributes), buffer.get_iter_at_offset(boundaries[index]),
                     buffer.get_iter_at_offset(boundaries[index + 1]));
  }
}

}  // namespace GTKText
