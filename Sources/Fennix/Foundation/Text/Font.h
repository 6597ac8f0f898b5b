// Fonts resolved through the font manager: a face of an installed family (as fontconfig knows
// them) at a point size. Fonts are immutable and shared; the conversions hand back the font
// itself when the family has no face that fits.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class NSFont;
using NSFontPtr = std::shared_ptr<const NSFont>;

/// The font manager's trait masks.
enum NSFontTraitMask : unsigned {
  NSItalicFontMask = 0x1,
  NSBoldFontMask = 0x2,
  NSFixedPitchFontMask = 0x400,
};

class NSFont : public std::enable_shared_from_this<NSFont> {
 public:
  /// One face of a family: what the font manager lists for it.
  struct Face {
    std::string familyName;
    std::string faceName;   // "Book", "Bold Oblique", ...
    int weight = 400;       // 100 (thin) to 1000 (ultra heavy)
    bool italic = false;    // italic or oblique
    int stretch = 4;        // 0 (ultra condensed) to 8 (ultra expanded); 4 is normal
    bool fixedPitch = false;
    bool operator==(const Face& other) const = default;
  };

  const Face& face() const { return face_; }
  const std::string& familyName() const { return face_.familyName; }
  /// The family and face, e.g. "DejaVu Sans Mono Bold".
  std::string fontName() const;
  double pointSize() const { return pointSize_; }
  bool isFixedPitch() const { return face_.fixedPitch; }
  /// The traits of the face (italic, bold, fixed pitch) as a mask.
  unsigned traits() const;
  /// The text form the toolkit reads, e.g. "DejaVu Sans Mono Bold 13".
  std::string pangoDescription() const;

  /// Same face at the same size (fonts made apart compare equal when they match).
  bool operator==(const NSFont& other) const;

  // Standard fonts and sizes of the platform. The system font is the toolkit's interface font;
  // the label font is the same family. Call these on the main thread.
  static double systemFontSize();
  static double smallSystemFontSize();
  static double labelFontSize();
  static NSFontPtr systemFont(double ofSize);
  static NSFontPtr labelFont(double ofSize);
  /// The user's fixed-pitch font (the face fontconfig picks for "monospace"); none when no
  /// fixed-pitch family is installed.
  static NSFontPtr userFixedPitchFont(double ofSize);

  /// The font manager's font of a family with traits, a weight on its 0 to 15 scale (5 regular,
  /// 9 bold) and a size; none when the family is unknown or has no face with the traits.
  static NSFontPtr font(std::string_view withFamily, unsigned traits, int weight, double size);

  /// Where the toolkit's interface font comes from: a function giving its text form ("Sans 10")
  /// or an empty text while the toolkit has none. Without one the interface font is "Sans 10".
  /// The GTK layer installs the toolkit's setting (GTKText::useToolkitInterfaceFont).
  static void setInterfaceFontSource(std::function<std::string()> source);

  // Helpers of the utility library.
  static NSFontPtr font(std::string_view family, double size, int weight);
  static NSFontPtr mono(std::string_view family, double size);
  NSFontPtr qvBold() const;
  NSFontPtr qvItalic() const;
  NSFontPtr qvBolder() const;
  NSFontPtr qvModifySize(double by) const;

  /// Use the factories above; public only for std::make_shared.
  struct Token {
    explicit Token() = default;
  };
  NSFont(Token, Face face, double pointSize);

 private:
  NSFontPtr self() const { return shared_from_this(); }
  Face face_;
  double pointSize_;
};
