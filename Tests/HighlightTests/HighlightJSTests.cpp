#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "Highlight/HighlightJS.h"
#include "HighlightTests/HighlightTestSupport.h"

namespace {

using namespace HighlightTestSupport;
using ::testing::HasSubstr;

NSColor rgb(std::uint32_t value) {
  return NSColor(((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0, 1);
}

const std::shared_ptr<HighlightJS>& highlighter() {
  useBuildResources();
  return HighlightJS::shared();
}

// Highlights on the main queue and runs the main loop until the result arrives.
std::optional<AttributedString> highlightNow(const std::string& code, std::optional<std::string> language,
                                             const HighlightJSThemePtr& theme = HighlightJSTheme::xcode()) {
  bool called = false, onMainQueue = false;
  std::optional<AttributedString> result;
  highlighter()->highlight(code, std::move(language), theme, DispatchQueue::main(),
                           [&](std::optional<AttributedString> text) {
                             called = true;
                             onMainQueue = DispatchQueue::main().isCurrent();
                             result = std::move(text);
                           });
  EXPECT_TRUE(runMainLoopUntil([&] { return called; }));
  EXPECT_TRUE(onMainQueue);
  return result;
}

// The colour of the run holding the first occurrence of `token`.
std::optional<NSColor> colorOf(const AttributedString& text, std::u16string_view token) {
  const std::size_t at = text.utf16().find(token);
  if (at == std::u16string::npos) return std::nullopt;
  return text.attributes(at).foregroundColor;
}

TEST(HighlightJSTests, LanguagesArriveOnTheMainQueue) {
  ConsoleRecording recording;
  ASSERT_TRUE(highlighter());
  ASSERT_TRUE(runMainLoopUntil([] { return !HighlightJS::shared()->languages().empty(); }));
  const std::set<std::string> languages = highlighter()->languages();
  EXPECT_TRUE(languages.count("swift") && languages.count("xml"));
  EXPECT_TRUE(highlighter()->supportsLanguage("swift"));
  EXPECT_FALSE(highlighter()->supportsLanguage("Swift"));
  EXPECT_TRUE(recording.logger().contains("2: Highlight languages (#" + std::to_string(languages.size()) + "):"));
}

TEST(HighlightJSTests, ColoursXMLAndSwift) {
  const std::string xml = "<svg width=\"10\">&amp; \xF0\x9F\x98\x80</svg>";
  std::optional<AttributedString> svg = highlightNow(xml, "xml");
  ASSERT_TRUE(svg);
  EXPECT_EQ(svg->string(), xml);
  EXPECT_EQ(colorOf(*svg, u"svg"), rgb(0xAA0D91));    // tag name
  EXPECT_EQ(colorOf(*svg, u"width"), rgb(0x836C28));  // attribute
  EXPECT_EQ(colorOf(*svg, u"\"10\""), rgb(0xC41A16));

  const std::string code = "import SwiftUI\nlet s = \"a < b\" // note\n";
  std::optional<AttributedString> swift = highlightNow(code, "swift");
  ASSERT_TRUE(swift);
  EXPECT_EQ(swift->string(), code);
  EXPECT_EQ(colorOf(*swift, u"let"), rgb(0xAA0D91));
  EXPECT_EQ(colorOf(*swift, u"\"a < b\""), rgb(0xC41A16));
  EXPECT_EQ(colorOf(*swift, u"// note"), rgb(0x007400));
  EXPECT_EQ(colorOf(*swift, u" s = "), std::nullopt) << "xcode leaves plain text uncoloured";
}

TEST(HighlightJSTests, AnAbsentOrEmptyLanguageIsDetected) {
  const std::string code = "<svg><rect x=\"1\"/></svg>";
  std::optional<AttributedString> absent = highlightNow(code, std::nullopt);
  std::optional<AttributedString> empty = highlightNow(code, "");
  ASSERT_TRUE(absent && empty);
  EXPECT_EQ(*absent, *empty);
  EXPECT_EQ(absent->string(), code);
  EXPECT_GT(absent->runs().size(), 1u);
}

TEST(HighlightJSTests, EmptyCodeAndUnknownLanguagesYieldNothing) {
  ConsoleRecording recording;
  EXPECT_FALSE(highlightNow("", "swift")) << "empty HTML converts to nothing";
  EXPECT_FALSE(highlightNow("let x = 1", "no-such-language"));
  EXPECT_TRUE(recording.logger().contains("0: JS Exception:"));
  EXPECT_TRUE(recording.logger().contains("0: could not highlight code:"));
}

TEST(HighlightJSTests, ACancelledItemNeverCallsBack) {
  std::string large;
  for (int i = 0; i < 4000; ++i) large += "let value" + std::to_string(i) + " = \"text\" + 42 // comment\n";
  std::vector<int> calls;
  auto record = [&](int n) { return [&calls, n](std::optional<AttributedString>) { calls.push_back(n); }; };
  const auto theme = HighlightJSTheme::default_();
  highlighter()->highlight(large, "swift", theme, DispatchQueue::main(), record(1));
  highlighter()->highlight("let a = 1", "swift", theme, DispatchQueue::main(), record(2))->cancel();
  highlighter()->highlight("let b = 2", "swift", theme, DispatchQueue::main(), record(3));
  ASSERT_TRUE(runMainLoopUntil([&] { return calls.size() == 2; }, 60));
  EXPECT_EQ(calls, (std::vector<int>{1, 3}));
}

// Loads the shared highlighter in a fresh process from `resources` and reports what it logged.
void expectNoSharedHighlighter(const std::filesystem::path& resources, const std::string& logged) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ::setenv("QUARVEL_RESOURCES", resources.c_str(), 1);
        auto logger = std::make_shared<RecordingLogger>();
        console::setDefaultConsole(logger);
        const bool loaded = HighlightJS::shared() != nullptr;
        for (const std::string& line : logger->lines()) std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
        std::_Exit(loaded ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), HasSubstr(logged));
}

TEST(HighlightJSDeathTest, AMissingOrBrokenScriptLeavesNoSharedHighlighter) {
  const std::filesystem::path directory = std::filesystem::path(::testing::TempDir()) / "highlight-resources";
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  expectNoSharedHighlighter(directory, "2: highlight.min.js not available, no code highlighting");

  std::ofstream(directory / "highlight.min.js") << "var notHighlight = {}; throw new Error('broken');";
  expectNoSharedHighlighter(directory, "0: JS Exception:");
  expectNoSharedHighlighter(directory, "0: could not locate Highlight.js in JSContext");
  std::filesystem::remove_all(directory);
}

// A stand-in script that reports how it is called: the highlighter passes the language, the
// code and false, detects with the code alone, and keeps the listed names in lower case.
TEST(HighlightJSDeathTest, TheScriptIsCalledWithTheDocumentedArguments) {
  const std::filesystem::path directory = std::filesystem::path(::testing::TempDir()) / "highlight-stand-in";
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  std::ofstream(directory / "highlight.min.js")
      << "var hljs = {\n"
         "  listLanguages: function() { return ['Swift', '\u00C9COLE', 'swift']; },\n"
         "  highlight: function(language, code, ignoreIllegals) {\n"
         "    return { value: language + '|' + code + '|' + ignoreIllegals + '|' + arguments.length }; },\n"
         "  highlightAuto: function(code) { return { value: 'auto|' + code + '|' + arguments.length }; }\n"
         "};\n"
         "true;\n";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ::setenv("QUARVEL_RESOURCES", directory.c_str(), 1);
        auto logger = std::make_shared<RecordingLogger>();
        console::setDefaultConsole(logger);
        const auto& shared = HighlightJS::shared();
        if (!shared) std::_Exit(2);
        if (!runMainLoopUntil([&] { return !shared->languages().empty(); })) std::_Exit(3);
        std::vector<std::string> texts;
        auto keep = [&](std::optional<AttributedString> text) { texts.push_back(text ? text->string() : "-"); };
        shared->highlight("a&amp;b", "xml", HighlightJSTheme::xcode(), DispatchQueue::main(), keep);
        shared->highlight("a&amp;b", std::nullopt, HighlightJSTheme::xcode(), DispatchQueue::main(), keep);
        if (!runMainLoopUntil([&] { return texts.size() == 2; })) std::_Exit(4);
        for (const std::string& name : shared->languages()) std::fprintf(stderr, "language %s\n", name.c_str());
        for (const std::string& text : texts) std::fprintf(stderr, "text %s\n", text.c_str());
        for (const std::string& line : logger->lines()) std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0),
      ::testing::AllOf(HasSubstr("language swift\nlanguage \u00E9cole\n"), HasSubstr("text xml|a&b|false|3\n"),
                       HasSubstr("text auto|a&b|1\n"), HasSubstr("2: Highlight.js loaded fine."),
                       HasSubstr("2: Highlight languages (#2): Swift, \u00C9COLE, swift")));
  std::filesystem::remove_all(directory);
}

}  // namespace
