// Measuring text without a view: the height a text needs at a width, the rectangles of its
// glyphs, and the character under a point. One reusable text layout serves every measurement;
// positions and lengths are UTF-16 units.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Fennix/Foundation/Text/AttributedString.h"
#include "Platform/Geometry.h"

typedef struct _PangoLayout PangoLayout;
typedef struct _PangoContext PangoContext;

class QvTextSizer {
 public:
  QvTextSizer();
  ~QvTextSizer();
  QvTextSizer(const QvTextSizer&) = delete;
  QvTextSizer& operator=(const QvTextSizer&) = delete;

  /// The process-wide sizer, made on first use. It serves one thread at a time.
  static QvTextSizer& shared();

  /// 0 for the empty text; otherwise the height of the text in `font` at `width`.
  double height(const std::string& string, const NSFontPtr& font, double width);
  double height(const AttributedString& attributed, double width);
  /// The zero rectangle for a range shorter than 1; else the glyphs' bounding rectangle at the
  /// width the last measurement left.
  CGRect boundingRectForGlyphs(NSRange range, const AttributedString& attributed);
  CGRect boundingRectForGlyph(std::size_t index, const AttributedString& attributed);
  /// The character under `point` in a box of `size`; none right of a line's last character by
  /// more than `extraWidth`, or past the end of the text.
  std::optional<std::size_t> hitIndex(CGPoint point, CGSize size, const AttributedString& attributed,
                                      double extraWidth);

  /// The text the layout holds (empty between measurements).
  std::string storedText() const;

 private:
  void load(const AttributedString& attributed, double width);
  void reset();
  CGRect glyphRect(NSRange range) const;

  PangoContext* context_ = nullptr;
  PangoLayout* layout_ = nullptr;
  std::u16string text_;
  std::string utf8_;
};
