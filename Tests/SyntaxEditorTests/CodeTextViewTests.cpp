// The code text view's editing rules, driven without a widget: a fake host stands for it.
#include <gtest/gtest.h>

#include "SyntaxEditor/UXCodeTextView.h"
#include "SyntaxEditorTests/EditorTestSupport.h"

namespace {

using namespace SyntaxEditorSupport;
using HighlightTestSupport::ConsoleRecording;

struct FakeHost : UXCodeTextViewHost {
  int beeps = 0;
  std::optional<std::u16string> clipboard;
  NSFontPtr font;
  void beep() override { ++beeps; }
  void copyToClipboard(const std::u16string& text) override { clipboard = text; }
  void fontDidChange(const NSFontPtr& newFont) override { font = newFont; }
  void editabilityDidChange(bool, bool) override {}
};

struct FakeDelegate : UXCodeTextViewDelegate {
  bool copyAllowed = true;
  std::optional<double> size;
  int changes = 0;
  bool allowCopy() const override { return copyAllowed; }
  std::optional<double> fontSize() const override { return size; }
  void setFontSize(std::optional<double> newSize) override {
    if (newSize) size = newSize;
  }
  void textDidChange(UXCodeTextView&) override { ++changes; }
};

class CodeTextViewTests : public ::testing::Test {
 protected:
  CodeTextViewTests() {
    view.setHost(&host);
    view.setDelegate(&delegate);
  }
  /// Puts `text` in the view with the caret at the "|" (removed).
  void setText(std::u16string text) {
    const std::size_t caret = text.find(u'|');
    text.erase(caret, 1);
    view.codeTextStorage()->replaceCharacters({0, view.codeTextStorage()->length()}, text);
    view.setSelectedRange({caret, 0});
  }
  /// The text with a "|" at the caret.
  std::u16string shown() const {
    std::u16string text = view.string();
    return text.insert(view.selectedRange().location, u"|");
  }

  FakeHost host;
  FakeDelegate delegate;
  UXCodeTextView view;
};

TEST_F(CodeTextViewTests, ReturnCopiesTheIndentationOfTheLine) {
  setText(u"func f() {\n    let a = 1|\n}");
  view.insertNewline();
  EXPECT_EQ(shown(), u"func f() {\n    let a = 1\n    |\n}");
  setText(u"\t  |");
  view.insertNewline();
  EXPECT_EQ(shown(), u"\t  \n\t  |") << "a line of only blanks";
  EXPECT_EQ(delegate.changes, 4) << "newline and indentation are edits the delegate hears of";

  view.isSmartIndentEnabled = false;
  setText(u"    a|");
  view.insertNewline();
  EXPECT_EQ(shown(), u"    a\n|");
}

TEST_F(CodeTextViewTests, OpeningHalvesOfPairsBringTheirClosingHalves) {
  view.autoPairCompletion = SyntaxEditor::cStyleAutoPairs();
  setText(u"\U0001F600|");
  view.insertText(u"(");
  EXPECT_EQ(shown(), u"\U0001F600(|)");
  view.insertText(u"\"");
  EXPECT_EQ(shown(), u"\U0001F600(\"|\")");
  view.insertText(u")");
  EXPECT_EQ(shown(), u"\U0001F600(\")|\")") << "a closing character is not skipped over";
  view.insertText(u"ab");
  EXPECT_EQ(shown(), u"\U0001F600(\")ab|\")");

  view.autoPairCompletion = SyntaxEditor::defaultAutoPairs().at(SyntaxEditor::Language::python);
  setText(u"|");
  view.insertText(u"{");
  EXPECT_EQ(shown(), u"{|") << "python pairs have no braces";

  view.setEditable(false);
  view.insertText(u"(");
  EXPECT_EQ(shown(), u"{|") << "a read-only view inserts nothing";
}

TEST_F(CodeTextViewTests, BackspaceRemovesAnEmptyPairOnlyWithoutSelection) {
  view.autoPairCompletion = SyntaxEditor::cStyleAutoPairs();
  setText(u"f(|)");
  view.deleteBackward();
  EXPECT_EQ(shown(), u"f|");
  setText(u"f(|x)");
  view.deleteBackward();
  EXPECT_EQ(shown(), u"f|x)");
  setText(u"a(\n|)");
  view.deleteBackward();
  EXPECT_EQ(shown(), u"a(|)") << "at the start of a line Backspace joins lines";
  setText(u"a\U0001F600|");
  view.deleteBackward();
  EXPECT_EQ(shown(), u"a|") << "a character outside the BMP goes at once";

  // With a selection Backspace deletes the selection, not the pair around the caret.
  setText(u"g(x|)y");
  view.setSelectedRange({2, 1});
  view.deleteBackward();
  EXPECT_EQ(shown(), u"g(|)y");

  view.autoPairCompletion.clear();
  setText(u"f(|)");
  view.deleteBackward();
  EXPECT_EQ(shown(), u"f|)");
}

TEST_F(CodeTextViewTests, TabInsertsSpacesOfAWidthThatIsSane) {
  setText(u"a|");
  view.insertTab();
  EXPECT_EQ(shown(), u"a\t|");
  view.indentStyle = SyntaxEditor::softTab(4);
  view.insertTab();
  EXPECT_EQ(shown(), u"a\t    |");
  for (int width : {0, -1, -2147483647 - 1}) {
    view.indentStyle = SyntaxEditor::softTab(width);
    view.insertTab();
    EXPECT_EQ(shown(), u"a\t    |") << width;
  }
  view.indentStyle = SyntaxEditor::softTab(2147483647);
  view.insertTab();
  EXPECT_EQ(view.string().size(), 6u + maximumSoftTabWidth);
}

TEST_F(CodeTextViewTests, CopyingFollowsTheDelegate) {
  setText(u"abc|");
  view.setSelectedRange({1, 2});
  delegate.copyAllowed = false;
  view.copy();
  EXPECT_FALSE(host.clipboard);
  delegate.copyAllowed = true;
  view.copy();
  EXPECT_EQ(host.clipboard, u"bc");
}

TEST_F(CodeTextViewTests, FontCommandsMoveTheSizeAndKeepTheTraits) {
  view.setTheme(HighlightJSTheme::xcode());
  delegate.size = 13;
  view.changeFont(FontAction::sizeUp);
  EXPECT_EQ(delegate.size, 14);
  EXPECT_DOUBLE_EQ(view.font()->pointSize(), 14);
  EXPECT_EQ(host.font, view.font()) << "the widget shows the theme's font";
  EXPECT_DOUBLE_EQ(view.codeTextStorage()->font()->pointSize(), 14);

  view.changeFont(FontAction::addTrait);
  EXPECT_EQ(host.beeps, 1);
  EXPECT_EQ(delegate.size, 14);

  // Smaller stops at one point.
  delegate.size = 1.5;
  view.changeFont(FontAction::sizeDown);
  EXPECT_EQ(delegate.size, 1);
  view.changeFont(FontAction::sizeDown);
  EXPECT_EQ(delegate.size, 1);
  EXPECT_DOUBLE_EQ(view.font()->pointSize(), 1);
  EXPECT_FALSE(view.applyNewFontSize(-5)) << "already at the smallest size";
  EXPECT_FALSE(view.applyNewFontSize(std::numeric_limits<double>::quiet_NaN()));

  ConsoleRecording console;
  const NSFontPtr themeFont = view.font();
  view.setFont(themeFont->qvModifySize(3));
  EXPECT_EQ(view.font(), themeFont);
  EXPECT_TRUE(console.logger().contains("2: Attempt to set a font different to the theme?"));
}

TEST(EditingRulesTests, LinePositionsAndCharacters) {
  EXPECT_TRUE(startOrEndOfLine(u"ab\ncd", 3).atStart);
  EXPECT_FALSE(startOrEndOfLine(u"ab\ncd", 4).atStart);
  EXPECT_TRUE(startOrEndOfLine(u"ab\ncd", 5).atEnd);
  EXPECT_EQ(characterBefore(u"a\r\n", 3), (NSRange{1, 2}));
  EXPECT_EQ(characterAfter(u"\U0001F600", 0), (NSRange{0, 2}));
  EXPECT_EQ(leadingIndentation(u"x\n \u3000\tb\n", {4, 0}), u" \u3000\t");
  EXPECT_EQ(fontSizeChange(FontAction::viaPanel, 12, std::nullopt).kind, FontSizeChange::passOn);
  EXPECT_EQ(fontSizeChange(FontAction::viaPanel, 12, 0.25).size, 1);
}

}  // namespace
