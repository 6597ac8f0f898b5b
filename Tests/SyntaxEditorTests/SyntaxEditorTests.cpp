// The editor's description and its update cycle on a text view without a widget.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "SyntaxEditor/UXCodeTextViewRepresentable.h"
#include "SyntaxEditorTests/EditorTestSupport.h"

namespace {

using Editor = SyntaxEditor;
using Flags = SyntaxEditor::Flags;
using Language = SyntaxEditor::Language;

// A language is a key of hashed containers and travels in JSON as its bare name, the languages
// not among the constants too.
TEST(SyntaxEditorTests, LanguagesHashAndCodeAsTheirNames) {
  std::unordered_set<Language> set{Language::swift, Language("swift"), Language::xml, Language("x-unknown")};
  EXPECT_EQ(set.size(), 3u);
  EXPECT_TRUE(set.contains(Language("xml")));
  EXPECT_FALSE(set.contains(Language("Swift")));
  EXPECT_EQ(std::hash<Language>()(Language::c), std::hash<Language>()(Language("c")));
  std::unordered_map<Language, int> counts;
  for (const auto& language : {Language::c, Language::cpp, Language("c")}) ++counts[language];
  EXPECT_EQ(counts[Language::c], 2);

  EXPECT_EQ(nlohmann::json(Language::objectivec).dump(), "\"objectivec\"");
  const std::vector<Language> list{Language::swift, Language(""), Language("my \"lang\"")};
  const std::string text = nlohmann::json(list).dump();
  EXPECT_EQ(text, R"(["swift","","my \"lang\""])");
  EXPECT_EQ(nlohmann::json::parse(text).get<std::vector<Language>>(), list);
  EXPECT_EQ(nlohmann::ordered_json::parse(R"("xml")").get<Language>(), Language::xml);
  const auto map = nlohmann::json::parse(R"({"go": "cs"})").get<std::map<std::string, Language>>();
  EXPECT_EQ(map.at("go"), Language::cs);
  // Anything but a string is refused.
  for (const char* bad : {"3", "null", R"({"rawValue": "swift"})", R"(["swift"])"}) {
    EXPECT_THROW(nlohmann::json::parse(bad).get<Language>(), nlohmann::json::type_error) << bad;
  }
}

TEST(SyntaxEditorTests, VocabularyAndDefaults) {
  EXPECT_EQ(Flags::defaultEditorFlags.rawValue, 7);
  EXPECT_EQ(Flags::defaultViewerFlags.rawValue, 2);
  EXPECT_EQ(Flags::editable | Flags::selectable | Flags::smartIndent, Flags::defaultEditorFlags);
  EXPECT_EQ(Language("swift"), Language::swift);
  EXPECT_EQ(Language::objectivec.rawValue, "objectivec");
  std::vector<Language> languages{Language::cs, Language::cpp, Language::c};
  std::sort(languages.begin(), languages.end());
  EXPECT_EQ(languages, (std::vector<Language>{Language::c, Language::cpp, Language::cs}));

  std::string text;
  auto binding = Editor::Binding<std::string>::fromVariable(text);
  const Editor python(binding, Language::python, nullptr, std::nullopt, Flags::defaultEditorFlags, Editor::system());
  EXPECT_EQ(python.autoPairs.size(), 5u);
  EXPECT_FALSE(python.autoPairs.contains("{"));
  EXPECT_EQ(python.inset, (NSSize{8, 8}));
  EXPECT_EQ(python.theme, HighlightJSTheme::default_());
  const Editor xml(binding, Language::xml, nullptr, std::nullopt, Flags::defaultEditorFlags, Editor::system());
  EXPECT_EQ(xml.autoPairs, Editor::xmlStyleAutoPairs());
  const Editor plain(binding, std::nullopt, nullptr, std::nullopt, Flags::defaultEditorFlags, Editor::system());
  EXPECT_TRUE(plain.autoPairs.empty());
  const Editor go(binding, Language::go, nullptr, std::nullopt, Flags::defaultEditorFlags, Editor::system(),
                  Editor::AutoPairs{{"(", ")"}}, NSSize{2, 3});
  EXPECT_EQ(go.autoPairs.size(), 1u);
  EXPECT_EQ(go.inset, (NSSize{2, 3}));

  EXPECT_EQ(Editor::availableThemes().size(), 3u);
  EditorTestSupport::useBuildResources();
  ASSERT_TRUE(HighlightJS::shared());
  ASSERT_TRUE(EditorTestSupport::runMainLoopUntil([] { return !HighlightJS::shared()->languages().empty(); }));
  const auto& available = Editor::availableLanguages();
  EXPECT_TRUE(std::is_sorted(available.begin(), available.end()));
  EXPECT_NE(std::find(available.begin(), available.end(), Language::xml), available.end());
}

class EditorUpdateTests : public ::testing::Test {
 protected:
  void SetUp() override { EditorTestSupport::useBuildResources(); }

  std::string document = "let a = 1\n";
  double size = 15;
  Editor editor{Editor::Binding<std::string>::fromVariable(document),
                Language::swift,
                HighlightJSTheme::xcode(),
                Editor::Binding<double>::fromVariable(size),
                Flags::defaultEditorFlags,
                Editor::softTab(2)};
  UXCodeTextView view;
};

TEST_F(EditorUpdateTests, OutsideChangesReplaceTheTextAndKeystrokesWriteItBack) {
  const UXCodeTextViewRepresentable representable(editor);
  auto coordinator = representable.makeCoordinator();
  representable.makeTextView(view, *coordinator);
  EXPECT_EQ(view.string(), u"let a = 1\n");
  EXPECT_EQ(view.language(), Language::swift);
  EXPECT_DOUBLE_EQ(view.font()->pointSize(), 15);
  EXPECT_TRUE(view.isSmartIndentEnabled);
  EXPECT_EQ(view.indentStyle, Editor::softTab(2));
  EXPECT_EQ(view.autoPairCompletion, Editor::cStyleAutoPairs());
  EXPECT_EQ(view.textContainerInset(), (NSSize{8, 8}));

  // A keystroke writes the whole text to the binding.
  view.setSelectedRange({9, 0});
  view.insertText(u"\U0001F600");
  EXPECT_EQ(document, "let a = 1\U0001F600\n");

  // An outside change replaces what lies between the common start and end.
  EditorTestSupport::EditRecorder recorder(*view.codeTextStorage());
  document = "struct S {}\n";
  representable.updateTextView(view, *coordinator);
  EXPECT_EQ(view.string(), u"struct S {}\n");
  ASSERT_EQ(recorder.edits.size(), 1u);
  EXPECT_EQ(recorder.edits[0].editedRange, (NSRange{0, 11}));
  EXPECT_EQ(recorder.edits[0].changeInLength, 0);
  EXPECT_LE(view.selectedRange().upperBound(), 12u);
  recorder.edits.clear();
  representable.updateTextView(view, *coordinator);
  EXPECT_TRUE(recorder.edits.empty()) << "an unchanged text is left alone";
  document = "struct S { let b = 2 }\n";
  representable.updateTextView(view, *coordinator);
  EXPECT_EQ(view.string(), u"struct S { let b = 2 }\n");
  ASSERT_EQ(recorder.edits.size(), 1u);
  EXPECT_EQ(recorder.edits[0].editedRange, (NSRange{10, 11}));
  EXPECT_EQ(recorder.edits[0].changeInLength, 11);

  // The font-size commands write to the size binding.
  view.changeFont(SyntaxEditorSupport::FontAction::sizeUp);
  EXPECT_EQ(size, 16);
  EXPECT_DOUBLE_EQ(view.font()->pointSize(), 16);
}

TEST(ChangedRange, LiesBetweenTheCommonStartAndEndWithoutSplittingPairs) {
  using SyntaxEditorSupport::changedRange;
  EXPECT_EQ(changedRange(u"abc", u"abc"), (NSRange{3, 0}));
  EXPECT_EQ(changedRange(u"", u"abc"), (NSRange{0, 0}));
  EXPECT_EQ(changedRange(u"abc", u""), (NSRange{0, 3}));
  EXPECT_EQ(changedRange(u"abcabc", u"abc"), (NSRange{3, 3})) << "start and end do not overlap";
  EXPECT_EQ(changedRange(u"aXb", u"aYYb"), (NSRange{1, 1}));
  EXPECT_EQ(changedRange(u"a\U0001F600b", u"a\U0001F680b"), (NSRange{1, 2})) << "same high half";
  EXPECT_EQ(changedRange(u"a\U0001F600b", u"a\U0002F600b"), (NSRange{1, 2})) << "same low half";
}

// A text given in UTF-8 (as a binding gives it on every update) against the text held: the change
// found turns the old text into the new one, and is the stretch `changedRange` finds.
TEST(ChangedText, TurnsTheOldTextIntoTheNewOneConvertingOnlyTheMiddle) {
  using SyntaxEditorSupport::changedRange;
  using SyntaxEditorSupport::changedText;
  const std::vector<std::pair<std::u16string, std::string>> cases = {
      {u"abc", "abc"},
      {u"", "abc"},
      {u"abc", ""},
      {u"abcabc", "abc"},
      {u"abc", "abcabc"},
      {u"aXb", "aYYb"},
      {u"a\U0001F600b", "a\U0001F680b"},
      {u"a\U0001F600b", "a\U0002F600b"},
      {u"\U0001F600", "\U0001F600\U0001F600"},
      {u"\u00e9t\u00e9", "\u00e9t\u00e8"},
      {u"\u20ac1", "\u20ac2\u20ac"},
      {u"x \u4e2d\u6587 y", "x \u4e2d\u6588 y"},
      {u"end \U0001F600", "end \u00e9\U0001F600"},
  };
  for (const auto& [old, text] : cases) {
    const std::u16string wanted = Fennix::utf16FromUTF8(text);
    const auto change = changedText(old, text);
    if (old == wanted) {
      EXPECT_FALSE(change) << text;
      continue;
    }
    ASSERT_TRUE(change) << text;
    EXPECT_EQ(change->range, changedRange(old, wanted)) << text;
    std::u16string changed = old;
    changed.replace(change->range.location, change->range.length, change->replacement);
    EXPECT_EQ(changed, wanted) << text;
  }
  // Malformed bytes read as the replacement character, wherever they are; read again, they are
  // no change.
  for (const std::string text : {"a\xff", "\xff" "a", "a\xe2\x82" "b", "\xf0\x9f\x98", "ok\xc3"}) {
    const std::u16string wanted = Fennix::utf16FromUTF8(text);
    const auto change = changedText(u"a", text);
    ASSERT_TRUE(change) << text;
    std::u16string changed = u"a";
    changed.replace(change->range.location, change->range.length, change->replacement);
    EXPECT_EQ(changed, wanted) << text;
    EXPECT_FALSE(changedText(wanted, text)) << text;
  }
}

// Every pair of short texts of characters of each UTF-8 length, malformed bytes (cut short, stray,
// an encoded surrogate), line ends and, in the text held, halves of pairs alone: the change found
// turns the old text into the new one read whole, is none only when they are the same, and never
// starts or ends between the halves of a pair the old text holds.
TEST(ChangedText, AgreesWithReadingTheWholeNewTextForEveryShortPair) {
  using SyntaxEditorSupport::changedText;
  const std::vector<std::string> pieces = {"a", "\r\n", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                                           "\xf0\x9f\x98\x81", "\xff", "\xe2\x82", "\x80", "\xed\xa0\x80"};
  const std::vector<std::u16string> units = {u"a", u"\r\n", u"\u00e9", u"\U0001F600", u"\uFFFD", u"\xD83D", u"\xDE00"};
  auto texts = [](const auto& parts) {
    std::vector<std::decay_t<decltype(parts[0])>> all = {{}};
    for (std::size_t from = 0, length = 0; length < 3; ++length) {
      const std::size_t to = all.size();
      for (std::size_t i = from; i < to; ++i) {
        for (const auto& part : parts) all.push_back(all[i] + part);
      }
      from = to;
    }
    return all;
  };
  const auto olds = texts(units);
  const auto news = texts(pieces);
  auto isHigh = [](char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
  auto isLow = [](char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
  auto splitsPair = [&](const std::u16string& text, std::size_t at) {
    return at > 0 && at < text.size() && isHigh(text[at - 1]) && isLow(text[at]);
  };
  int faults = 0;
  for (const auto& old : olds) {
    for (const auto& text : news) {
      const std::u16string wanted = Fennix::utf16FromUTF8(text);
      const auto change = changedText(old, text);
      std::u16string changed = old;
      if (change) changed.replace(change->range.location, change->range.length, change->replacement);
      const bool sound = changed == wanted && bool(change) == (old != wanted) &&
                         (!change || (!splitsPair(old, change->range.location) &&
                                      !splitsPair(old, change->range.upperBound())));
      if (!sound && ++faults <= 5) ADD_FAILURE() << "old of " << old.size() << " units, new \"" << text << "\"";
    }
  }
  EXPECT_EQ(faults, 0);
}

TEST_F(EditorUpdateTests, ViewersAreSelectableButNotEditable) {
  const Editor viewer = Editor::viewer("fixed", Language::swift, HighlightJSTheme::vs2015(), std::nullopt,
                                       Flags::defaultViewerFlags, Editor::system());
  const UXCodeTextViewRepresentable representable(viewer);
  auto coordinator = representable.makeCoordinator();
  representable.makeTextView(view, *coordinator);
  EXPECT_FALSE(view.isEditable());
  EXPECT_TRUE(view.isSelectable());
  EXPECT_FALSE(view.isSmartIndentEnabled);
  EXPECT_TRUE(coordinator->allowCopy());
  EXPECT_EQ(view.theme(), HighlightJSTheme::vs2015());
  view.insertText(u"x");
  EXPECT_EQ(view.string(), u"fixed");

  const Editor hidden = Editor::viewer("fixed", std::nullopt, nullptr, std::nullopt, Flags{0}, Editor::system());
  EXPECT_FALSE(UXCodeTextViewRepresentable(hidden).makeCoordinator()->allowCopy());
}

TEST_F(EditorUpdateTests, AnUndoSinkHearsOfEditsButNotOfReplacements) {
  const UXCodeTextViewRepresentable representable(editor);
  auto coordinator = representable.makeCoordinator();
  representable.makeTextView(view, *coordinator);
  std::vector<UXCodeTextEdit> recorded;
  view.setUndoSink([&](const UXCodeTextEdit& edit) { recorded.push_back(edit); });

  view.setSelectedRange({4, 1});
  view.insertText(u"(");
  ASSERT_EQ(recorded.size(), 2u) << "the typed half and the closing half";
  EXPECT_EQ(recorded[0].range, (NSRange{4, 1}));
  EXPECT_EQ(recorded[0].oldText, u"a");
  EXPECT_EQ(recorded[0].newText, u"(");

  document = "replaced\n";
  representable.updateTextView(view, *coordinator);
  EXPECT_EQ(recorded.size(), 2u);

  // Replaying an edit changes the text and the binding without being recorded again.
  view.applyEdit({0, 8}, u"again");
  EXPECT_EQ(document, "again\n");
  EXPECT_EQ(recorded.size(), 2u);
}

}  // namespace
