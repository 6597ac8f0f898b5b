#include <gtest/gtest.h>

#include "Fennix/Foundation/AttributedStringHelpers.h"
#include "Fennix/UI/AppKit/DividerTextAttachment.h"

namespace {

using Fennix::LineModifier;

TextAttributes colored(double red) {
  TextAttributes attributes;
  attributes.foregroundColor = NSColor(red, 0, 0, 1);
  return attributes;
}

TextAttributes withFont(bool fixedPitch) {
  NSFont::Face face;
  face.familyName = fixedPitch ? "Mono" : "Sans";
  face.fixedPitch = fixedPitch;
  TextAttributes attributes;
  attributes.font = std::make_shared<NSFont>(NSFont::Token{}, face, 12);
  return attributes;
}

AttributedString text(std::u16string_view units, const TextAttributes& attributes = {}) {
  return AttributedString(std::u16string(units), attributes);
}

std::vector<std::size_t> walk(const AttributedString& string, std::optional<NSRange> range,
                              std::vector<char16_t>* units = nullptr) {
  std::vector<std::size_t> starts;
  Fennix::reverseWalkLines(string, range, [&](std::u16string_view, std::size_t start, char16_t unit) {
    starts.push_back(start);
    if (units) units->push_back(unit);
    return true;
  });
  return starts;
}

TEST(AttributedStringHelperTests, TrimmingStopsAtCharactersOfTwoUnits) {
  const CharacterSet& blanks = CharacterSet::whitespaces();
  EXPECT_EQ(Fennix::trimmingCharacters(text(u" \U0001F600 "), blanks).utf16(), u"\U0001F600");
  EXPECT_EQ(Fennix::trimmingCharacters(text(u"  "), blanks).length(), 0u);
  EXPECT_EQ(Fennix::trimmingCharacters(text(u""), blanks).length(), 0u);
  AttributedString mixed = text(u" a", colored(1));
  mixed.append(text(u"b ", colored(0)));
  AttributedString expected = text(u"a", colored(1));
  expected.append(text(u"b", colored(0)));
  EXPECT_EQ(Fennix::trimmingCharacters(mixed, blanks), expected);
  EXPECT_EQ(Fennix::trimmingCharacters(expected, blanks), expected);
  // A surrogate pair whose scalar is in the set still stays: only single units are trimmed.
  EXPECT_EQ(Fennix::trimmingCharacters(text(u"\U0001F600x"), CharacterSet::fromCharactersIn("😀")).utf16(),
            u"\U0001F600x");
}

TEST(AttributedStringHelperTests, PiecesKeepTheAttributesOfTheirCharacters) {
  AttributedString source = text(u"a,");
  source.append(text(u"bc", colored(1)));
  const auto pieces = Fennix::components(source, std::u16string_view(u","));
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], text(u"a"));
  EXPECT_EQ(pieces[1], text(u"bc", colored(1)));

  // A separator of two UTF-16 units moves the later pieces by two.
  AttributedString wide = text(u"a\U0001F600");
  wide.append(text(u"b", colored(1)));
  const auto split = Fennix::components(wide, CharacterSet::fromCharactersIn("😀"));
  ASSERT_EQ(split.size(), 2u);
  EXPECT_EQ(split[1], text(u"b", colored(1)));

  // Pieces that do not fit the text get no attributes where they reach past it.
  const auto loose = Fennix::addAttributesForComponents(text(u"ab", colored(1)), {u"abc", u"zz"}, 5);
  AttributedString first = text(u"ab", colored(1));
  first.append(text(u"c"));
  EXPECT_EQ(loose[0], first);
  EXPECT_EQ(loose[1], text(u"zz"));
  EXPECT_EQ(Fennix::components(text(u""), std::u16string_view(u",")).size(), 1u);
}

TEST(AttributedStringHelperTests, ReplacingTheTextKeepsTheLeadingAttributes) {
  TextAttributes changes;
  changes.underlineStyle = NSUnderlineStyle::single;
  AttributedString source = text(u"old", colored(1));
  source.append(text(u"!", colored(0)));
  TextAttributes expected = colored(1);
  expected.underlineStyle = NSUnderlineStyle::single;
  EXPECT_EQ(Fennix::with(source, u"new", std::nullopt, changes), text(u"new", expected));
  EXPECT_EQ(Fennix::with(text(u""), u"new", std::nullopt, changes), text(u"new", changes));
  EXPECT_EQ(Fennix::with(text(u""), u"new", colored(1), std::nullopt), text(u"new", colored(1)));
  EXPECT_EQ(Fennix::with(source, u"old!", std::nullopt, changes), source);
}

TEST(LineWalkTests, StartsAreVisitedFromLastToFirst) {
  std::vector<char16_t> units;
  EXPECT_EQ(walk(text(u"ab\ncd\n"), std::nullopt, &units), (std::vector<std::size_t>{6, 3, 0}));
  EXPECT_EQ(units, (std::vector<char16_t>{0, u'c', u'a'}));
  EXPECT_EQ(walk(text(u"ab\ncd"), NSRange{0, 1}), (std::vector<std::size_t>{3, 0}));
  EXPECT_EQ(walk(text(u"ab\ncd\nef"), NSRange{4, 0}), (std::vector<std::size_t>{6, 3}));
  // A text that starts with an empty line: the line after it has a start too.
  EXPECT_EQ(walk(text(u"\nab"), std::nullopt), (std::vector<std::size_t>{1, 0}));
  EXPECT_EQ(walk(text(u"\n\n"), std::nullopt), (std::vector<std::size_t>{2, 1, 0}));
  EXPECT_EQ(walk(text(u""), std::nullopt), (std::vector<std::size_t>{0}));
  EXPECT_EQ(walk(text(u"ab"), NSRange{99, 5}), (std::vector<std::size_t>{0}));  // cut at the end

  std::vector<std::size_t> visited;
  Fennix::walkLines(u"a\nb\nc", NSRange{0, 5}, [&](std::u16string_view, std::size_t start, char16_t) {
    visited.push_back(start);
    return visited.size() < 2;
  });
  EXPECT_EQ(visited, (std::vector<std::size_t>{4, 2}));
}

TEST(LineWalkTests, ModifyingAndTrimmingLines) {
  const LineModifier indent = [](AttributedString& string, std::size_t start, char16_t) -> long {
    string.replaceCharacters({start, 0}, u"\t");
    return 1;
  };
  AttributedString lines = text(u"a\nb");
  EXPECT_EQ(Fennix::modifyLines(lines, std::nullopt, true, indent), (NSRange{0, 5}));
  EXPECT_EQ(lines.utf16(), u"\ta\n\tb");
  AttributedString leadingEmpty = text(u"\nab");
  Fennix::modifyLines(leadingEmpty, std::nullopt, false, indent);
  EXPECT_EQ(leadingEmpty.utf16(), u"\t\n\tab");
  AttributedString empty;
  EXPECT_EQ(Fennix::modifyLines(empty, std::nullopt, false, indent), (NSRange{0, 1}));

  const CharacterSet& blanks = CharacterSet::whitespaces();
  EXPECT_EQ(Fennix::trimLines(text(u"  a  \n b "), blanks, true, true, true, std::nullopt).utf16(), u"a\nb");
  EXPECT_EQ(Fennix::trimLines(text(u"  a  \n b "), blanks, true, false, true, NSRange{7, 0}).utf16(), u"  a  \n b");
  EXPECT_EQ(Fennix::trimLines(text(u" \U0001F600 \n   \n"), blanks, false, true, true, std::nullopt).utf16(),
            u"\U0001F600\n\n");
  // A modifier that deletes more than its own line cannot send the walk past the end.
  AttributedString shrinking = text(u"a\nb\nc\nd");
  Fennix::modifyLines(shrinking, std::nullopt, false, [](AttributedString& string, std::size_t start, char16_t) {
    const std::size_t length = string.length();
    string.replaceCharacters({start > 0 ? start - 1 : 0, length - (start > 0 ? start - 1 : 0)}, u"");
    return -long(length);
  });
  EXPECT_EQ(shrinking.length(), 0u);
}

TEST(AttributedStringHelperTests, FontsColorsTextAndAttachments) {
  AttributedString mixed = text(u"code", withFont(true));
  mixed.append(text(u"\n", withFont(false)));
  EXPECT_TRUE(Fennix::isFixedPitched(mixed, true, true));
  EXPECT_FALSE(Fennix::isFixedPitched(mixed, true, false));
  EXPECT_FALSE(Fennix::isFixedPitched(mixed, false, true));
  EXPECT_TRUE(Fennix::isFixedPitched(text(u"plain"), true, false));

  TextAttributes both = colored(1);
  both.underlineColor = NSColor(0, 0, 1, 1);
  TextAttributes underlineOnly;
  underlineOnly.underlineColor = NSColor(0, 0, 1, 1);
  EXPECT_EQ(Fennix::stringByRemovingColorsAndParagraphStyles(text(u"x", both)), text(u"x", underlineOnly));

  std::vector<AttributedString> pieces{text(u""), text(u"x"), AttributedString()};
  dropEmpty(pieces);
  EXPECT_EQ(pieces, std::vector<AttributedString>{text(u"x")});

  AttributedString appended = text(u"a");
  Fennix::append(appended, {"b", "", "😀"});
  EXPECT_EQ(appended.utf16(), u"ab\U0001F600");
  EXPECT_TRUE(Fennix::contains(appended, U'😀'));
  EXPECT_TRUE(Fennix::contains(appended, std::string_view("b😀")));
  EXPECT_FALSE(Fennix::contains(appended, std::string_view("")));
  EXPECT_FALSE(Fennix::containsCharacters(text(u""), CharacterSet::nonWhitespacesAndNewlines()));

  TextAttributes divider;
  divider.attachment = QvDividerTextAttachment::make();
  TextAttributes image;
  image.attachment = std::make_shared<NSTextAttachment>(std::string("png"), std::string("public.png"));
  AttributedString attached = text(u"a");
  attached.append(text(u"\uFFFC", divider));
  attached.append(text(u"\uFFFC", image));
  attached.append(text(u"\uFFFC", divider));
  int all = 0, dividers = 0, cells = 0;
  Fennix::forEachAttachment(attached, std::nullopt, [&](const std::shared_ptr<NSTextAttachment>&, bool& stop) {
    stop = ++all == 2;
  });
  Fennix::forEachAttachment<QvDividerTextAttachment>(
      attached, NSRange{2, 9}, [&](const std::shared_ptr<QvDividerTextAttachment>&, bool&) { ++dividers; });
  Fennix::forEachAttachmentCell(attached, std::nullopt, [&](const auto&) { ++cells; });
  EXPECT_EQ(all, 2);
  EXPECT_EQ(dividers, 1);
  EXPECT_EQ(cells, 3);  // the attachment of data has the plain cell
}

}  // namespace
