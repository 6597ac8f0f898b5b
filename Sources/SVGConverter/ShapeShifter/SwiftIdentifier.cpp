#include "SVGConverter/ShapeShifter/SwiftIdentifier.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <unordered_set>
#include <vector>

namespace SwiftIdentifier {
namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// Scalars that may begin a Swift identifier besides A-Z, a-z and "_". Soft
// hyphen, zero-width characters, bidirectional controls and invisible
// operators are left out on purpose: they would hide in the generated code.
constexpr std::array<Range, 39> kHeadRanges{{
    {0xA8, 0xA8},       {0xAA, 0xAA},       {0xAF, 0xAF},       {0xB2, 0xB5},
    {0xB7, 0xBA},       {0xBC, 0xBE},       {0xC0, 0xD6},       {0xD8, 0xF6},
    {0xF8, 0xFF},       {0x100, 0x2FF},     {0x370, 0x167F},    {0x1681, 0x180D},
    {0x180F, 0x1DBF},   {0x1E00, 0x1FFF},   {0x203F, 0x2040},   {0x2054, 0x2054},
    {0x2070, 0x20CF},   {0x2100, 0x218F},   {0x2460, 0x24FF},   {0x2776, 0x2793},
    {0x2C00, 0x2DFF},   {0x2E80, 0x2FFF},   {0x3004, 0x3007},   {0x3021, 0x302F},
    {0x3031, 0x303F},   {0x3040, 0xD7FF},   {0xF900, 0xFD3D},   {0xFD40, 0xFDCF},
    {0xFDF0, 0xFE1F},   {0xFE30, 0xFE44},   {0xFE47, 0xFFFD},   {0x10000, 0x1FFFD},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}, {0x40000, 0x4FFFD}, {0x50000, 0x5FFFD},
    {0x60000, 0x6FFFD}, {0x70000, 0x7FFFD}, {0x80000, 0xEFFFD},
}};
// Combining marks that may follow the first character.
constexpr std::array<Range, 4> kContinuationRanges{{
    {0x300, 0x36F}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF}, {0xFE20, 0xFE2F}}};

template <size_t N>
bool inRanges(char32_t c, const std::array<Range, N>& ranges) {
  return std::any_of(ranges.begin(), ranges.end(),
                     [c](const Range& r) { return c >= r.first && c <= r.last; });
}

bool isASCIILetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isASCIIDigit(char32_t c) { return c >= '0' && c <= '9'; }

bool isHead(char32_t c) {
  if (c < 0x80) return isASCIILetter(c) || c == '_';
  return inRanges(c, kHeadRanges);
}

bool isContinuation(char32_t c) {
  return isHead(c) || isASCIIDigit(c) || inRanges(c, kContinuationRanges);
}

// Unicode letter classes and case mapping; without a UTF-8 locale only
// ASCII letters are known.
locale_t unicodeLocale() {
  static const locale_t locale = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l;
  }();
  return locale;
}

bool isLetter(char32_t c) {
  if (c < 0x80) return isASCIILetter(c);
  locale_t l = unicodeLocale();
  return l && isHead(c) && iswalpha_l(static_cast<wint_t>(c), l);
}

char32_t changeCase(char32_t c, bool upper) {
  if (c < 0x80) {
    if (upper && c >= 'a' && c <= 'z') return c - 'a' + 'A';
    if (!upper && c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    return c;
  }
  locale_t l = unicodeLocale();
  if (!l) return c;
  wint_t mapped = upper ? towupper_l(static_cast<wint_t>(c), l) : towlower_l(static_cast<wint_t>(c), l);
  auto result = static_cast<char32_t>(mapped);
  // A mapping must not turn an identifier character into something else.
  return isHead(result) ? result : c;
}

// Decodes one UTF-8 scalar at `i`; nothing for a malformed sequence, which
// then counts as one byte.
std::optional<char32_t> decode(std::string_view s, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  size_t length = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
  if (length == 0 || b0 > 0xF4 || i + length > s.size()) {
    ++i;
    return std::nullopt;
  }
  char32_t c = b0 & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return std::nullopt;
    }
    c = (c << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMinimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return std::nullopt;
  }
  i += length;
  return c;
}

void encode(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

constexpr std::string_view kReserved[] = {
    // declarations
    "associatedtype", "borrowing", "class", "consuming", "deinit", "enum", "extension",
    "fileprivate", "func", "import", "init", "inout", "internal", "let", "nonisolated", "open",
    "operator", "private", "precedencegroup", "protocol", "public", "rethrows", "static",
    "struct", "subscript", "typealias", "var",
    // statements
    "break", "case", "catch", "continue", "default", "defer", "do", "else", "fallthrough",
    "for", "guard", "if", "in", "repeat", "return", "throw", "switch", "where", "while",
    // expressions and types
    "Any", "as", "await", "false", "is", "nil", "self", "Self", "super", "throws", "true",
    "try", "_",
    // not allowed as the name of a nested type
    "Type", "Protocol",
    // keywords of the pattern and declaration attributes
    "some", "any",
    // types the generated code refers to by their plain name, which a nested
    // type of the same name would shadow ("Body" would become the view's body type)
    "Angle", "Body", "CGAffineTransform", "CGFloat", "CGPoint", "CGRect", "CGSize", "Circle", "Color",
    "Content", "Double", "Ellipse", "EllipticalGradient", "EmptyView", "GeometryReader", "Gradient", "Group",
    "InsettableShape", "LinearGradient", "Path", "PreviewProvider", "RadialGradient", "Rectangle",
    "RoundedRectangle", "Shape", "StrokeStyle", "SwiftUI", "Text", "UInt32", "UnitPoint", "VStack",
    "View", "ViewModifier", "ZStack",
    // members of every generated view type, which a static property must not repeat
    "body", "intrinsicSize", "isResizable", "origin", "resizable", "viewBox"};

// A set of pairs of ASCII bytes, one bit each.
class BytePairs {
 public:
  constexpr void insert(unsigned char a, unsigned char b) { bits_[index(a, b) / 64] |= bit(a, b); }
  constexpr bool contains(unsigned char a, unsigned char b) const {
    return a < 128 && b < 128 && (bits_[index(a, b) / 64] & bit(a, b)) != 0;
  }

 private:
  static constexpr unsigned index(unsigned char a, unsigned char b) { return a * 128u + b; }
  static constexpr std::uint64_t bit(unsigned char a, unsigned char b) { return std::uint64_t{1} << (index(a, b) % 64); }
  std::array<std::uint64_t, 128 * 128 / 64> bits_{};
};

constexpr unsigned char secondByte(std::string_view s) { return s.size() > 1 ? static_cast<unsigned char>(s[1]) : 0; }

// How reserved words begin and end. Nearly every name ("path12",
// "PathView3", ids from drawing programs) fails one of the two tests, which
// are much cheaper than hashing the name.
struct ReservedShapes {
  BytePairs firstAndSecond;
  BytePairs firstAndLast;
};
constexpr ReservedShapes kReservedShapes = [] {
  ReservedShapes shapes;
  for (std::string_view word : kReserved) {
    const auto first = static_cast<unsigned char>(word.front());
    shapes.firstAndSecond.insert(first, secondByte(word));
    shapes.firstAndLast.insert(first, static_cast<unsigned char>(word.back()));
  }
  return shapes;
}();

bool mayBeReserved(std::string_view name) {
  if (name.empty()) return false;
  const auto first = static_cast<unsigned char>(name.front());
  return kReservedShapes.firstAndSecond.contains(first, secondByte(name)) &&
         kReservedShapes.firstAndLast.contains(first, static_cast<unsigned char>(name.back()));
}

}  // namespace

bool isReserved(std::string_view name) {
  if (!mayBeReserved(name)) return false;
  // Never destroyed: conversions may still run on other threads while the process ends.
  static const auto& reserved = *new const std::unordered_set<std::string_view>(std::begin(kReserved), std::end(kReserved));
  return reserved.contains(name);
}

namespace {

bool isASCIIIdentifierByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

std::string make(std::string_view text, bool capitalize) {
  // Most names are plain ASCII identifiers already: only the first letter and a keyword change.
  if (!text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return isASCIIIdentifierByte(c); })) {
    std::string result;
    result.reserve(text.size() + 2);
    if (!isASCIILetter(static_cast<unsigned char>(text.front()))) result += 'z';
    result += text;
    result.front() = static_cast<char>(changeCase(static_cast<unsigned char>(result.front()), capitalize));
    if (isReserved(result)) result += '_';
    return result;
  }

  std::vector<char32_t> scalars;
  scalars.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    std::optional<char32_t> c = decode(text, i);
    scalars.push_back(c && isContinuation(*c) ? *c : U'_');
  }
  if (scalars.empty()) return {};
  if (!isLetter(scalars.front())) scalars.insert(scalars.begin(), U'z');
  scalars.front() = changeCase(scalars.front(), capitalize);

  std::string result;
  result.reserve(text.size() + 2);
  for (char32_t c : scalars) encode(c, result);
  if (isReserved(result)) result += '_';
  return result;
}

namespace {

/// Whether every scalar of `text` may stand in a Swift identifier, the first as its head.
bool isIdentifier(std::string_view text) {
  if (text.empty()) return false;
  for (size_t i = 0; i < text.size();) {
    const bool head = i == 0;
    std::optional<char32_t> c = decode(text, i);
    if (!c || !(head ? isHead(*c) : isContinuation(*c))) return false;
  }
  return true;
}

/// Names that the code around the root's name declares itself: the root view's name is written
/// inside the closures of geometry readers ("proxy") and inside the preview's "previews" property,
/// where these would stand for something else.
bool isNameOfTheGeneratedCode(std::string_view name) { return name == "proxy" || name == "previews"; }

}  // namespace

std::string rootTypeName(std::string_view text) {
  if (isIdentifier(text) && !isReserved(text) && !isNameOfTheGeneratedCode(text)) return std::string(text);
  return typeName(text);
}

}  // namespace SwiftIdentifier
