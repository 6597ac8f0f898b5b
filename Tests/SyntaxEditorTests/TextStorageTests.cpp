// The text storage: run bookkeeping under edits, batching of edit reports, paragraph ranges and
// offsets between UTF-16 units and characters.
#include <gtest/gtest.h>

#include "SyntaxEditor/TextStorage/WrappedTextStorage.h"
#include "SyntaxEditorTests/EditorTestSupport.h"

namespace {

using namespace SyntaxEditorSupport;
using EditorTestSupport::EditRecorder;

TextAttributes colored(double red) {
  TextAttributes attributes;
  attributes.foregroundColor = NSColor(red, 0, 0, 1);
  return attributes;
}

TEST(TextStorageTests, RunsFollowEditsAndStayMerged) {
  NSTextStorage storage;
  storage.replaceCharacters({0, 0}, u"abcdef");
  storage.setAttributes(colored(1), {1, 2});   // a [bc] def
  storage.setAttributes(colored(0.5), {4, 2});  // a [bc] d [ef]

  // An insertion takes the attributes of the unit before it; the runs after it move.
  storage.replaceCharacters({2, 0}, u"XY");  // a bXYc d ef
  NSRange run;
  EXPECT_EQ(storage.attributes(3, &run), colored(1));
  EXPECT_EQ(run, (NSRange{1, 4}));
  EXPECT_EQ(storage.attributes(6, &run), colored(0.5));
  EXPECT_EQ(run, (NSRange{6, 2}));

  // Replacing across runs takes the first replaced unit's attributes; neighbours merge.
  storage.replaceCharacters({4, 3}, u"Z");  // a bXYZ f
  EXPECT_EQ(storage.string(), u"abXYZf");
  EXPECT_EQ(storage.attributes(4, &run), colored(1));
  EXPECT_EQ(run, (NSRange{1, 4}));
  storage.setAttributes(TextAttributes(), {1, 4});
  EXPECT_EQ(storage.attributes(0, &run), TextAttributes());
  EXPECT_EQ(run, (NSRange{0, 5})) << "equal neighbours are one run";

  EXPECT_EQ(storage.attributedSubstring({4, 2}).runs().size(), 2u);
  storage.replaceCharacters({0, storage.length()}, u"");
  EXPECT_EQ(storage.length(), 0u);
  storage.replaceCharacters({0, 0}, u"again");
  EXPECT_EQ(storage.attributedSubstring({0, 5}).string(), "again");
}

TEST(TextStorageTests, EditsInABatchAreReportedOnceAsTheirUnion) {
  NSTextStorage storage;
  EditRecorder recorder(storage);
  storage.replaceCharacters({0, 0}, u"0123456789");
  ASSERT_EQ(recorder.edits.size(), 1u);
  EXPECT_EQ(recorder.edits[0].editedRange, (NSRange{0, 10}));
  EXPECT_EQ(recorder.edits[0].changeInLength, 10);

  recorder.edits.clear();
  storage.beginEditing();
  storage.replaceCharacters({2, 2}, u"abcd");     // 01abcd456789: edited {2, 4}, +2
  storage.setAttributes(colored(1), {8, 1});      // attributes at 8
  storage.replaceCharacters({0, 1}, u"");         // 1abcd456789: everything shifts by -1
  storage.endEditing();
  ASSERT_EQ(recorder.edits.size(), 1u);
  const NSTextStorageEdit& edit = recorder.edits[0];
  EXPECT_EQ(edit.editedMask, unsigned(NSTextStorageEditedCharacters | NSTextStorageEditedAttributes));
  EXPECT_EQ(edit.editedRange, (NSRange{0, 8}));
  EXPECT_EQ(edit.changeInLength, 1);
  // Everything outside the reported range is what it was before the batch.
  EXPECT_EQ(storage.string().substr(edit.editedRange.upperBound()), u"789");
}

TEST(TextStorageTests, AWholeNewTextIsKeptAsGivenAndReportedAsOneEditOfAllOfIt) {
  // Through the wrapping storage, as the editors' storage takes it, and on the inner one.
  WrappedTextStorage storage;
  EditRecorder recorder(storage);
  std::u16string first = u"let a = 1\n";
  const char16_t* const firstUnits = first.data();
  storage.replaceAllCharacters(std::move(first));
  EXPECT_EQ(storage.string(), u"let a = 1\n");
  EXPECT_EQ(storage.string().data(), firstUnits) << "the text is kept, not copied";
  storage.setAttributes(colored(1), {0, 3});
  storage.setAttributes(colored(0.5), {4, 6});
  EXPECT_FALSE(storage.mayHoldSurrogates());

  recorder.edits.clear();
  storage.replaceAllCharacters(u"struct \U0001F600 {}\n");
  ASSERT_EQ(recorder.edits.size(), 1u);
  EXPECT_EQ(recorder.edits[0].editedMask, unsigned(NSTextStorageEditedCharacters));
  EXPECT_EQ(recorder.edits[0].editedRange, (NSRange{0, 13}));
  EXPECT_EQ(recorder.edits[0].changeInLength, 3);
  EXPECT_TRUE(storage.mayHoldSurrogates());
  // One run, with the attributes of the first unit replaced, as a replacement of the whole range.
  NSRange run;
  EXPECT_EQ(storage.attributes(12, &run), colored(1));
  EXPECT_EQ(run, (NSRange{0, 13}));

  recorder.edits.clear();
  storage.replaceAllCharacters(u"");
  EXPECT_EQ(storage.length(), 0u);
  ASSERT_EQ(recorder.edits.size(), 1u);
  EXPECT_EQ(recorder.edits[0].editedRange, (NSRange{0, 0}));
  EXPECT_EQ(recorder.edits[0].changeInLength, -13);
  storage.replaceCharacters({0, 0}, u"again");
  EXPECT_EQ(storage.attributedSubstring({0, 5}).string(), "again");
}

TEST(TextStorageTests, ParagraphRangesIncludeTheirTerminator) {
  const std::u16string text = u"ab\ncd\r\nef\u2029g";
  EXPECT_EQ(paragraphRange(text, {0, 0}), (NSRange{0, 3}));
  EXPECT_EQ(paragraphRange(text, {3, 0}), (NSRange{3, 4})) << "a return and line feed end one paragraph";
  EXPECT_EQ(paragraphRange(text, {6, 0}), (NSRange{3, 4})) << "between return and line feed";
  EXPECT_EQ(paragraphRange(text, {1, 4}), (NSRange{0, 7}));
  EXPECT_EQ(paragraphRange(text, {0, 3}), (NSRange{0, 3})) << "a range ending at a terminator stays in its paragraph";
  EXPECT_EQ(paragraphRange(text, {7, 0}), (NSRange{7, 3}));
  EXPECT_EQ(paragraphRange(text, {11, 0}), (NSRange{10, 1}));
  EXPECT_EQ(paragraphRange(u"a\n", {2, 0}), (NSRange{2, 0})) << "the empty last paragraph";
  EXPECT_EQ(paragraphRange(u"", {0, 0}), (NSRange{0, 0}));
  // A line separator ends a line, not a paragraph.
  EXPECT_EQ(paragraphRange(u"a\u2028b", {0, 0}), (NSRange{0, 3}));
  EXPECT_EQ(lineRange(u"a\u2028b", {0, 0}), (NSRange{0, 2}));
}

TEST(TextStorageTests, OffsetsCountSurrogatePairsAsOneCharacter) {
  NSTextStorage storage;
  storage.replaceCharacters({0, 0}, u"ab\nc");
  EXPECT_FALSE(storage.mayHoldSurrogates());
  EXPECT_EQ(characterOffsetOf(storage, 3), 3u);
  storage.replaceCharacters({1, 0}, u"\U0001F600");  // a😀b\nc
  EXPECT_TRUE(storage.mayHoldSurrogates());
  EXPECT_EQ(characterOffsetOf(storage, 3), 2u);
  EXPECT_EQ(characterOffsetOf(storage, 6), 5u);
  EXPECT_EQ(utf16OffsetOf(storage, 2), 3u);
  EXPECT_EQ(utf16OffsetOf(storage, 99), 6u) << "offsets past the end stop at the end";
}

TEST(TextStorageDeathTests, RangesPastTheEndStopTheProcess) {
  NSTextStorage storage;
  storage.replaceCharacters({0, 0}, u"abc");
  EXPECT_DEATH(storage.replaceCharacters({2, 5}, u"x"), "out of bounds");
  EXPECT_DEATH(storage.attributedSubstring({4, 0}), "out of bounds");
}

TEST(WrappedTextStorageTests, ResultsApplyOnlyOverUnchangedText) {
  auto storage = std::make_shared<WrappedTextStorage>();
  EditRecorder recorder(*storage);
  storage->replaceCharacters({0, 0}, u"one\ntwo\n");
  recorder.edits.clear();

  AttributedString result(u"two\n", colored(1));
  storage->setStringAttributesIfUnchanged(result, {4, 4});
  ASSERT_EQ(recorder.attributeEdits(), (std::vector<NSRange>{{4, 4}})) << "one report for the whole range";
  EXPECT_EQ(storage->attributes(5), colored(1));
  EXPECT_EQ(storage->attributes(0), TextAttributes());

  recorder.edits.clear();
  storage->setStringAttributesIfUnchanged(result, {4, 4});
  EXPECT_TRUE(recorder.edits.empty()) << "an equal result is not written";
  storage->setStringAttributesIfUnchanged(AttributedString(u"TWO\n", colored(0.5)), {4, 4});
  storage->setStringAttributesIfUnchanged(AttributedString(u"two\n", colored(0.5)), {6, 4});
  storage->setStringAttributesIfUnchanged(AttributedString(u"two\n", colored(0.5)), {99, 4});
  EXPECT_TRUE(recorder.edits.empty()) << "changed text and ranges past the end drop the result";
  EXPECT_EQ(storage->attributes(5), colored(1));
}

// A result whose runs fall across the held runs is written only where the two differ, and the
// storage then holds the result's attributes at every unit.
TEST(WrappedTextStorageTests, ResultsAreWrittenOnlyWhereTheyDifferFromTheHeldRuns) {
  auto storage = std::make_shared<WrappedTextStorage>();
  storage->replaceCharacters({0, 0}, u"abcdefghijklmnopqrst");
  storage->setAttributes(colored(0.1), {2, 6});   // c..h
  storage->setAttributes(colored(0.2), {8, 4});   // i..l
  storage->setAttributes(colored(0.3), {15, 5});  // p..t
  std::vector<std::pair<TextAttributes, NSRange>> enumerated;
  storage->enumerateAttributes({1, 17}, [&](const TextAttributes& attributes, NSRange range) {
    enumerated.emplace_back(attributes, range);
  });
  EXPECT_EQ(enumerated, (std::vector<std::pair<TextAttributes, NSRange>>{{TextAttributes(), {1, 1}},
                                                                         {colored(0.1), {2, 6}},
                                                                         {colored(0.2), {8, 4}},
                                                                         {TextAttributes(), {12, 3}},
                                                                         {colored(0.3), {15, 3}}}));

  // Over units 4..17: c..h stays, i..l turns 0.9 from its middle, m..o takes 0.1, p..r stays.
  AttributedString result;
  result.append(AttributedString(u"efgh", colored(0.1)));
  result.append(AttributedString(u"ij", colored(0.2)));
  result.append(AttributedString(u"klmn", colored(0.9)));
  result.append(AttributedString(u"o", colored(0.1)));
  result.append(AttributedString(u"pqr", colored(0.3)));
  EditRecorder recorder(*storage);
  EXPECT_TRUE(storage->setStringAttributesIfUnchanged(result, {4, 14}));
  ASSERT_EQ(recorder.attributeEdits(), (std::vector<NSRange>{{4, 14}}));
  for (std::size_t unit = 0; unit < 20; ++unit) {
    const TextAttributes expected = unit < 2 ? TextAttributes()
                                    : unit < 8 ? colored(0.1)
                                    : unit < 10 ? colored(0.2)
                                    : unit < 14 ? colored(0.9)
                                    : unit < 15 ? colored(0.1)
                                    : colored(0.3);
    EXPECT_EQ(storage->attributes(unit), expected) << "unit " << unit;
  }
}

}  // namespace
