// The highlighting storage with the real highlighter: what an edit sends to it, and which of its
// results are applied.
#include <gtest/gtest.h>

#include "Highlight/HighlightJS.h"
#include "SyntaxEditor/TextStorage/HighlightTextStorage.h"
#include "SyntaxEditorTests/EditorTestSupport.h"

namespace {

using namespace EditorTestSupport;
using SyntaxEditorSupport::paragraphRange;

const std::u16string swiftText =
    u"let a = \"\U0001F600\" // first\n"
    u"struct S { var b = 1 }\n"
    u"func f() -> Int { return 42 }\n"
    u"let c = \"\U0001F680\"\n";

class HighlightTextStorageTests : public ::testing::Test {
 protected:
  void SetUp() override {
    useBuildResources();
    ASSERT_TRUE(HighlightJS::shared());
    storage = std::make_shared<MarkableStorage>();
    storage->setLanguage("swift");
    storage->replaceCharacters({0, 0}, swiftText);
    ASSERT_TRUE(runMainLoopUntil([&] { return storage->attributes(0).foregroundColor.has_value(); }))
        << "the keyword of the first line is coloured";
    drain();
  }

  /// Runs the main loop until the highlighter has answered everything asked so far.
  void drain() {
    bool done = false;
    HighlightJS::shared()->highlight("", std::nullopt, HighlightJSTheme::default_(), DispatchQueue::main(),
                                     [&](std::optional<AttributedString>) { done = true; });
    ASSERT_TRUE(runMainLoopUntil([&] { return done; }));
  }

  std::shared_ptr<MarkableStorage> storage;
};

TEST_F(HighlightTextStorageTests, AKeystrokeRecolorsExactlyItsParagraph) {
  // Typed before and after the emoji of the first paragraph, and in the next paragraph, which
  // has emoji in the paragraphs before and after it.
  for (std::size_t at : {std::size_t(4), std::size_t(12), std::size_t(30)}) {
    storage->markInner(marker());
    EditRecorder recorder(*storage);
    storage->replaceCharacters({at, 0}, u"x");
    const NSRange paragraph = paragraphRange(storage->string(), {at, 1});
    drain();
    EXPECT_EQ(recorder.attributeEdits(), std::vector<NSRange>{paragraph}) << "typed at " << at;
    EXPECT_FALSE(carries(*storage, paragraph, marker()));
    EXPECT_TRUE(carries(*storage, {paragraph.upperBound(), storage->length() - paragraph.upperBound()}, marker()))
        << "the rest keeps what it had";
    EXPECT_TRUE(carries(*storage, {0, paragraph.location}, marker()));
  }
}

TEST_F(HighlightTextStorageTests, StaleResultsAreDroppedAndNewerOnesApplied) {
  storage->markInner(marker());
  EditRecorder recorder(*storage);
  // Two keystrokes in the same paragraph before the first result arrives.
  storage->replaceCharacters({30, 0}, u"y");
  storage->replaceCharacters({31, 0}, u"z");
  const NSRange paragraph = paragraphRange(storage->string(), {31, 0});
  drain();
  EXPECT_EQ(recorder.attributeEdits(), std::vector<NSRange>{paragraph});

  // A result for text that has gone meanwhile is dropped without harm.
  storage->markInner(marker());
  recorder.edits.clear();
  const std::size_t last = storage->length() - 2;
  storage->replaceCharacters({last, 0}, u"w");
  storage->replaceCharacters({12, storage->length() - 12}, u"");
  drain();
  EXPECT_EQ(recorder.attributeEdits(), std::vector<NSRange>({{0, 12}})) << "only the deletion's paragraph";
  EXPECT_EQ(storage->string(), swiftText.substr(0, 12));
}

TEST_F(HighlightTextStorageTests, OnlyAChangedLanguageOrThemeRecolorsEverything) {
  storage->markInner(marker());
  storage->setLanguage("swift");
  storage->setTheme(HighlightJSTheme::default_()->modifyFont(HighlightJSTheme::default_()->font()));
  drain();
  EXPECT_TRUE(carries(*storage, {0, storage->length()}, marker())) << "nothing was asked for";

  storage->setTheme(HighlightJSTheme::xcode());
  drain();
  EXPECT_FALSE(carries(*storage, {0, 9}, marker()));
  EXPECT_FALSE(carries(*storage, {storage->length() - 4, 4}, marker())) << "the whole text";

  storage->markInner(marker());
  storage->setLanguage(std::nullopt);
  drain();
  EXPECT_FALSE(carries(*storage, {storage->length() - 4, 4}, marker()));
}

// A change that stands for a new whole text colours all of it again, also when more changes
// and typing come while its pass runs: the last pass sees the last text.
TEST_F(HighlightTextStorageTests, AWholeTextChangeRecolorsEverythingOnceSettled) {
  auto settle = [&] { ASSERT_TRUE(runMainLoopUntil([&] { return !storage->isHighlighting(); })); };
  storage->markInner(marker());
  EditRecorder recorder(*storage);
  storage->replaceCharactersAsWholeText({4, 1}, u"b");
  settle();
  EXPECT_EQ(recorder.attributeEdits(), std::vector<NSRange>({{0, storage->length()}}));
  EXPECT_FALSE(carries(*storage, {storage->length() - 4, 4}, marker())) << "the last line too";
  EXPECT_FALSE(carries(*storage, {30, 6}, marker()));

  // Two more whole-text changes and a keystroke before any answer: the paragraph typed into is
  // coloured by its own request, everything else by a pass over the text as it ends up.
  storage->markInner(marker());
  storage->replaceCharactersAsWholeText({0, 3}, u"var");
  storage->replaceCharactersAsWholeText({storage->length() - 2, 0}, u"!");
  storage->replaceCharacters({5, 0}, u"x");
  settle();
  for (std::size_t unit = 0; unit < storage->length(); ++unit) {
    EXPECT_NE(storage->attributes(unit), marker()) << "unit " << unit;
  }
  EXPECT_FALSE(storage->isHighlighting());

  // A pass answered for a text typed into meanwhile is asked again.
  storage->markInner(marker());
  storage->replaceCharactersAsWholeText({0, 0}, u"\n");
  storage->replaceCharacters({0, 0}, u"// ");
  settle();
  EXPECT_FALSE(carries(*storage, {storage->length() - 4, 4}, marker()));
}

TEST_F(HighlightTextStorageTests, AttributesSetFromOutsideAreReplacedByTheTheme) {
  const TextAttributes before = storage->attributes(22);  // the keyword "struct"
  storage->setAttributes(marker(), {22, 3});
  EXPECT_EQ(storage->attributes(22), marker());
  drain();
  EXPECT_EQ(storage->attributes(22), before);
  EXPECT_EQ(storage->font(), HighlightJSTheme::default_()->font());
}

TEST_F(HighlightTextStorageTests, AVeryLargeTextIsColouredFromItsStartAndAroundItsEdits) {
  // Many paragraphs, more than the highlighter is given at once.
  const std::u16string line = u"let value = \"\U0001F600\" // note\n";
  std::u16string big;
  while (big.size() <= 3 * HighlightTextStorage::highlightLimit) big += line;
  EditRecorder recorder(*storage);
  storage->replaceCharacters({0, storage->length()}, big);
  drain();
  ASSERT_EQ(recorder.attributeEdits().size(), 1u);
  const NSRange first = recorder.attributeEdits()[0];
  EXPECT_EQ(first.location, 0u);
  EXPECT_LE(first.length, HighlightTextStorage::highlightLimit);
  EXPECT_GT(first.length, HighlightTextStorage::highlightLimit - line.size());
  EXPECT_EQ(first.length % line.size(), 0u) << "whole paragraphs";
  EXPECT_TRUE(storage->attributes(0).foregroundColor.has_value()) << "the keyword at the start";
  // The keyword and the comment of a line past the limit keep the attributes the new text took.
  const std::size_t lastLine = big.size() - line.size();
  EXPECT_NE(storage->attributes(0), storage->attributes(line.size() - 3));
  EXPECT_EQ(storage->attributes(lastLine), storage->attributes(lastLine + line.size() - 3)) << "the end stays plain";

  // A keystroke far down colours its own paragraph.
  recorder.edits.clear();
  const std::size_t at = big.size() - line.size();
  storage->replaceCharacters({at, 0}, u"x");
  drain();
  EXPECT_EQ(recorder.attributeEdits(), std::vector<NSRange>{paragraphRange(storage->string(), {at, 0})});
}

TEST(BoundedHighlightRange, KeepsSmallRangesAndCutsLargeOnesAtParagraphsAroundTheFocus) {
  using SyntaxEditorSupport::boundedHighlightRange;
  const std::u16string text = u"aaaa\nbbbb\ncccc\ndddd\n";  // paragraphs of five units
  EXPECT_EQ(boundedHighlightRange(text, {5, 10}, 5, 10), (NSRange{5, 10}));
  EXPECT_EQ(boundedHighlightRange(text, {0, 20}, 0, 12), (NSRange{0, 10})) << "cut back to a paragraph end";
  EXPECT_EQ(boundedHighlightRange(text, {0, 20}, 12, 8), (NSRange{8, 7})) << "half the limit before the focus";
  EXPECT_EQ(boundedHighlightRange(text, {0, 20}, 19, 8), (NSRange{12, 8})) << "not past the range's end";
  EXPECT_EQ(boundedHighlightRange(text, {5, 15}, 6, 8), (NSRange{5, 5}));
  // One long paragraph: cut where the limit falls, but not inside a surrogate pair.
  const std::u16string line = u"ab\U0001F600cd\U0001F680ef";
  EXPECT_EQ(boundedHighlightRange(line, {0, line.size()}, 0, 3), (NSRange{0, 2}));
  EXPECT_EQ(boundedHighlightRange(line, {0, line.size()}, 8, 3), (NSRange{8, 2}));
}

}  // namespace
