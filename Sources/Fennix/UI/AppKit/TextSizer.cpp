#include "Fennix/UI/AppKit/TextSizer.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// Byte offsets of UTF-8 text for UTF-16 offsets, and back.
std::size_t byteOffset(const std::string& utf8, const std::u16string& utf16, std::size_t unit) {
  unit = std::min(unit, utf16.size());
  std::size_t characters = Fennix::characterOffset(utf16, unit);
  const char* start = utf8.c_str();
  const char* end = g_utf8_offset_to_pointer(start, static_cast<glong>(std::min<std::size_t>(
                                                        characters, g_utf8_strlen(start, static_cast<gssize>(utf8.size())))));
  return static_cast<std::size_t>(end - start);
}

std::size_t unitOffset(const std::string& utf8, std::size_t byte) {
  byte = std::min(byte, utf8.size());
  std::size_t units = 0;
  for (const char* p = utf8.c_str(); p < utf8.c_str() + byte; p = g_utf8_next_char(p))
    units += g_utf8_get_char(p) > 0xFFFF ? 2 : 1;
  return units;
}

PangoAttrList* attributesOf(const AttributedString& text, const std::string& utf8) {
  PangoAttrList* list = pango_attr_list_new();
  for (const auto& run : text.runs()) {
    if (!run.attributes.font) continue;
    PangoFontDescription* description =
        pango_font_description_from_string(run.attributes.font->pangoDescription().c_str());
    PangoAttribute* attribute = pango_attr_font_desc_new(description);
    pango_font_description_free(description);
    attribute->start_index = static_cast<guint>(byteOffset(utf8, text.utf16(), run.range.location));
    attribute->end_index = static_cast<guint>(byteOffset(utf8, text.utf16(), run.range.upperBound()));
    pango_attr_list_insert(list, attribute);
  }
  return list;
}

CGRect rectOf(const PangoRectangle& r) {
  return CGRect(double(r.x) / PANGO_SCALE, double(r.y) / PANGO_SCALE, double(r.width) / PANGO_SCALE,
                double(r.height) / PANGO_SCALE);
}

}  // namespace

QvTextSizer::QvTextSizer() {
  context_ = pango_font_map_create_context(pango_cairo_font_map_get_default());
  layout_ = pango_layout_new(context_);
  pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
}

QvTextSizer::~QvTextSizer() {
  g_object_unref(layout_);
  g_object_unref(context_);
}

QvTextSizer& QvTextSizer::shared() {
  static QvTextSizer* sizer = new QvTextSizer();  // lives for the process
  return *sizer;
}

void QvTextSizer::load(const AttributedString& attributed, double width) {
  text_ = attributed.utf16();
  utf8_ = attributed.string();
  const double units = std::clamp(width, 0.0, 1e6) * PANGO_SCALE;
  pango_layout_set_width(layout_, width > 0 ? static_cast<int>(units) : -1);
  pango_layout_set_text(layout_, utf8_.c_str(), static_cast<int>(utf8_.size()));
  PangoAttrList* list = attributesOf(attributed, utf8_);
  pango_layout_set_attributes(layout_, list);
  pango_attr_list_unref(list);
}

void QvTextSizer::reset() {
  pango_layout_set_text(layout_, "", 0);
  pango_layout_set_attributes(layout_, nullptr);
  text_.clear();
  utf8_.clear();
}

std::string QvTextSizer::storedText() const { return pango_layout_get_text(layout_); }

double QvTextSizer::height(const std::string& string, const NSFontPtr& font, double width) {
  if (string.empty()) return 0;
  TextAttributes attributes;
  attributes.font = font;
  return height(AttributedString(std::string_view(string), attributes), width);
}

double QvTextSizer::height(const AttributedString& attributed, double width) {
  load(attributed, width);
  PangoRectangle logical;
  pango_layout_get_extents(layout_, nullptr, &logical);
  reset();
  return double(logical.height) / PANGO_SCALE;
}

CGRect QvTextSizer::glyphRect(NSRange range) const {
  const std::size_t from = byteOffset(utf8_, text_, range.location);
  const std::size_t to = byteOffset(utf8_, text_, range.upperBound());
  bool any = false;
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (const char* p = utf8_.c_str() + from; p < utf8_.c_str() + to; p = g_utf8_next_char(p)) {
    PangoRectangle position;
    pango_layout_index_to_pos(layout_, static_cast<int>(p - utf8_.c_str()), &position);
    if (position.width < 0) {
      position.x += position.width;
      position.width = -position.width;
    }
    const CGRect r = rectOf(position);
    if (!any) {
      minX = r.origin.x, minY = r.origin.y, maxX = r.origin.x + r.size.width, maxY = r.origin.y + r.size.height;
      any = true;
    } else {
      minX = std::min(minX, r.origin.x), minY = std::min(minY, r.origin.y);
      maxX = std::max(maxX, r.origin.x + r.size.width), maxY = std::max(maxY, r.origin.y + r.size.height);
    }
  }
  return any ? CGRect(minX, minY, maxX - minX, maxY - minY) : CGRect();
}

CGRect QvTextSizer::boundingRectForGlyphs(NSRange range, const AttributedString& attributed) {
  if (range.length < 1) return CGRect();
  load(attributed, pango_layout_get_width(layout_) < 0 ? 0 : double(pango_layout_get_width(layout_)) / PANGO_SCALE);
  CGRect rect = glyphRect(range);
  reset();
  return rect;
}

CGRect QvTextSizer::boundingRectForGlyph(std::size_t index, const AttributedString& attributed) {
  load(attributed, pango_layout_get_width(layout_) < 0 ? 0 : double(pango_layout_get_width(layout_)) / PANGO_SCALE);
  CGRect rect = glyphRect({index, 1});
  reset();
  return rect;
}

std::optional<std::size_t> QvTextSizer::hitIndex(CGPoint point, CGSize size, const AttributedString& attributed,
                                                 double extraWidth) {
  load(attributed, size.width);
  std::optional<std::size_t> result;
  int byte = 0, trailing = 0;
  const double x = std::clamp(point.x, -1e6, 1e6), y = std::clamp(point.y, -1e6, 1e6);
  pango_layout_xy_to_index(layout_, static_cast<int>(x * PANGO_SCALE), static_cast<int>(y * PANGO_SCALE), &byte,
                           &trailing);
  const std::size_t index = unitOffset(utf8_, static_cast<std::size_t>(std::max(byte, 0)));
  if (index < text_.size()) {
    // The unit at `index` may be the start of a pair: the character spans both.
    const std::size_t characterLength =
        (text_[index] >= 0xD800 && text_[index] <= 0xDBFF && index + 1 < text_.size()) ? 2 : 1;
    if (index + characterLength < text_.size()) {
      result = index;
    } else {
      const CGRect glyph = glyphRect({index, characterLength});
      if (!(glyph.origin.x + glyph.size.width + extraWidth < point.x)) result = index;
    }
  }
  reset();
  return result;
}
