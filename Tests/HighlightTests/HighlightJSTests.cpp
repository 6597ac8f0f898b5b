#include <dlfcn.h>
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "Highlight/HighlightJS.h"
#include "HighlightTests/HighlightTestSupport.h"

namespace {

using namespace HighlightTestSupport;
using ::testing::AllOf;
using ::testing::HasSubstr;

const std::shared_ptr<HighlightJS>& highlighter() {
  useBuildResources();
  return HighlightJS::shared();
}

// Highlights on the main queue and runs the main loop until the result arrives there.
std::optional<AttributedString> highlightNow(const std::string& code, std::optional<std::string> language) {
  bool called = false, onMainQueue = false;
  std::optional<AttributedString> result;
  highlighter()->highlight(code, std::move(language), HighlightJSTheme::xcode(), DispatchQueue::main(),
                           [&](std::optional<AttributedString> text) {
                             called = true;
                             onMainQueue = DispatchQueue::main().isCurrent();
                             result = std::move(text);
                           });
  EXPECT_TRUE(runMainLoopUntil([&] { return called; }));
  EXPECT_TRUE(onMainQueue);
  return result;
}

TEST(HighlightJSTests, LanguagesArriveOnTheMainQueue) {
  ConsoleRecording recording;
  ASSERT_TRUE(highlighter());
  ASSERT_TRUE(runMainLoopUntil([] { return !HighlightJS::shared()->languages().empty(); }));
  EXPECT_TRUE(highlighter()->supportsLanguage("swift") && highlighter()->supportsLanguage("xml"));
  EXPECT_FALSE(highlighter()->supportsLanguage("Swift"));
  const std::size_t count = highlighter()->languages().size();
  EXPECT_TRUE(recording.logger().contains("2: Highlight languages (#" + std::to_string(count) + "):"));
}

// The engine's collector, on the highlighter's thread, reaches for the engine's main run loop when
// it collects in full, some while after large highlights: in a process that shows no web view (an
// editor alone) that loop was never made, and the collection crashed.
TEST(HighlightJSTests, TheEnginesMainRunLoopIsThereForItsCollector) {
  ASSERT_TRUE(highlighter());
  using MainRunLoop = void* (*)();
  const auto mainRunLoop = reinterpret_cast<MainRunLoop>(dlsym(RTLD_DEFAULT, "_ZN3WTF7RunLoop13mainSingletonEv"));
  if (mainRunLoop == nullptr) GTEST_SKIP() << "the engine does not name its main run loop";
  EXPECT_NE(mainRunLoop(), nullptr);
}

TEST(HighlightJSTests, ColoursXMLAndSwift) {
  const std::string xml = "<svg width=\"10\">&amp; \xF0\x9F\x98\x80</svg>";
  const std::string swift = "let s = \"a < b\" // note\n";
  const std::tuple<std::string, std::string, std::u16string, std::optional<NSColor>> cases[] = {
      {xml, "xml", u"svg", rgb(0xAA0D91)},          {xml, "xml", u"width", rgb(0x836C28)},
      {swift, "swift", u"let", rgb(0xAA0D91)},      {swift, "swift", u"\"a < b\"", rgb(0xC41A16)},
      {swift, "swift", u"// note", rgb(0x007400)},  {swift, "swift", u" s = ", std::nullopt}};  // plain
  for (const auto& [code, language, token, colour] : cases) {
    std::optional<AttributedString> text = highlightNow(code, language);
    ASSERT_TRUE(text) << language;
    EXPECT_EQ(text->string(), code);
    const std::size_t at = text->utf16().find(token);
    ASSERT_NE(at, std::u16string::npos);
    EXPECT_EQ(text->attributes(at).foregroundColor, colour) << language << " token " << at;
  }
}

TEST(HighlightJSTests, AnAbsentOrEmptyLanguageIsDetected) {
  const std::string code = "<svg><rect x=\"1\"/></svg>";
  std::optional<AttributedString> absent = highlightNow(code, std::nullopt), empty = highlightNow(code, "");
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

// Runs `body` in a fresh process that loads its resources from `directory`, writes the lines it
// logged to standard error and exits with the code `body` returns.
void inFreshProcess(const std::filesystem::path& directory, const std::function<int()>& body) {
  ::setenv("QUARVEL_RESOURCES", directory.c_str(), 1);
  auto logger = std::make_shared<RecordingLogger>();
  console::setDefaultConsole(logger);
  const int code = body();
  std::fputs(logger->text().c_str(), stderr);
  std::fflush(stderr);
  std::_Exit(code);
}

std::filesystem::path emptyDirectory(const std::string& name) {
  const std::filesystem::path directory = std::filesystem::path(::testing::TempDir()) / name;
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
  return directory;
}

TEST(HighlightJSDeathTest, AMissingOrBrokenScriptLeavesNoSharedHighlighter) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::filesystem::path directory = emptyDirectory("highlight-resources");
  auto loadsNothing = [] { return HighlightJS::shared() ? 1 : 0; };
  EXPECT_EXIT(inFreshProcess(directory, loadsNothing), ::testing::ExitedWithCode(0),
              HasSubstr("2: highlight.min.js not available, no code highlighting"));

  std::ofstream(directory / "highlight.min.js") << "var notHighlight = {}; throw new Error('broken');";
  EXPECT_EXIT(inFreshProcess(directory, loadsNothing), ::testing::ExitedWithCode(0),
              AllOf(HasSubstr("0: JS Exception:"), HasSubstr("0: could not locate Highlight.js in JSContext")));
  std::filesystem::remove_all(directory);
}

// A process without web views (as this one): the engine's full collections, which its timers run
// on the highlighter's thread between highlights, first ask the engine's memory-pressure handler,
// made on first use with a timer on the main run loop, which only exists once the engine knows the
// process's main thread. The highlighter tells it, on the main thread: the handler is asked for
// here as the collector asks for it (without waiting for its timer), and the highlighter colours
// a long line, whose collections brought the timer on.
TEST(HighlightJSDeathTest, TheEnginesCollectorRunsInAProcessWithoutWebViews) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto collect = [] {
    const auto& shared = HighlightJS::shared();
    if (!shared) return 2;
    using Entry = void* (*)();
    auto isMainThread = reinterpret_cast<bool (*)()>(dlsym(RTLD_DEFAULT, "_ZN3WTF12isMainThreadEv"));
    auto memoryPressureHandler =
        reinterpret_cast<Entry>(dlsym(RTLD_DEFAULT, "_ZN3WTF21MemoryPressureHandler9singletonEv"));
    if (!isMainThread || !memoryPressureHandler) return 3;
    std::fprintf(stderr, "main thread %d\n", int(isMainThread()));
    std::fprintf(stderr, "handler %d\n", int(memoryPressureHandler() != nullptr));
    std::string line;
    for (int i = 0; line.size() < 300'000; ++i) line += "<rect x=\"" + std::to_string(i % 997) + "\" fill=\"#123\"/>";
    std::optional<std::size_t> coloured;
    shared->highlight(line, "xml", HighlightJSTheme::xcode(), DispatchQueue::main(),
                      [&](std::optional<AttributedString> text) { coloured = text ? text->runs().size() : 0; });
    if (!runMainLoopUntil([&] { return coloured.has_value(); }, 300)) return 4;
    std::fprintf(stderr, "runs %s\n", *coloured > 1000 ? "many" : "few");
    return 0;
  };
  EXPECT_EXIT(inFreshProcess(QUARVEL_TEST_RESOURCE_DIR, collect), ::testing::ExitedWithCode(0),
              AllOf(HasSubstr("main thread 1\n"), HasSubstr("handler 1\n"), HasSubstr("runs many\n")));
}

// A stand-in script that reports how it is called: the highlighter passes the language, the
// code and false, detects with the code alone, and keeps the listed names in lower case.
TEST(HighlightJSDeathTest, TheScriptIsCalledWithTheDocumentedArguments) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::filesystem::path directory = emptyDirectory("highlight-stand-in");
  std::ofstream(directory / "highlight.min.js")
      << "var hljs = {\n"
         "  listLanguages: function() { return ['Swift', '\u00C9COLE', 'swift']; },\n"
         "  highlight: function(language, code, ignoreIllegals) {\n"
         "    return { value: language + '|' + code + '|' + ignoreIllegals + '|' + arguments.length }; },\n"
         "  highlightAuto: function(code) { return { value: 'auto|' + code + '|' + arguments.length }; }\n"
         "};\n"
         "true;\n";
  auto callTheScript = [] {
    const auto& shared = HighlightJS::shared();
    if (!shared || !runMainLoopUntil([&] { return !shared->languages().empty(); })) return 2;
    std::vector<std::string> texts;
    auto keep = [&](std::optional<AttributedString> text) { texts.push_back(text ? text->string() : "-"); };
    shared->highlight("a&amp;b", "xml", HighlightJSTheme::xcode(), DispatchQueue::main(), keep);
    shared->highlight("a&amp;b", std::nullopt, HighlightJSTheme::xcode(), DispatchQueue::main(), keep);
    if (!runMainLoopUntil([&] { return texts.size() == 2; })) return 3;
    for (const std::string& name : shared->languages()) std::fprintf(stderr, "language %s\n", name.c_str());
    for (const std::string& text : texts) std::fprintf(stderr, "text %s\n", text.c_str());
    return 0;
  };
  EXPECT_EXIT(inFreshProcess(directory, callTheScript), ::testing::ExitedWithCode(0),
              AllOf(HasSubstr("language swift\nlanguage \u00E9cole\n"), HasSubstr("text xml|a&b|false|3\n"),
                    HasSubstr("text auto|a&b|1\n"), HasSubstr("2: Highlight.js loaded fine."),
                    HasSubstr("2: Highlight languages (#2): Swift, \u00C9COLE, swift")));
  std::filesystem::remove_all(directory);
}

}  // namespace
