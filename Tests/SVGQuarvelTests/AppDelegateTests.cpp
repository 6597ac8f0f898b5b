// Files handed to the application: SVG files become documents after converting off the main
// thread, document files open as documents, anything else is refused; the About window.
#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <algorithm>

#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using SVGQuarvel::DocumentController;
using namespace QuarvelTestSupport;

namespace {

const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0\x1f\x15\xc4\x89", 33);
const std::string square = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"4\" height=\"4\"/></svg>";
const std::string circle = "<svg xmlns=\"http://www.w3.org/2000/svg\"><circle r=\"5\"/></svg>";

struct CountingAboutWindow : SVGQuarvel::AboutWindowHandle {
  int* shown;
  explicit CountingAboutWindow(int* count) : shown(count) {}
  void makeKeyAndOrderFront() override { ++*shown; }
};

class AppDelegateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = scratchDirectory();
    before = DocumentController::shared().documents().size();
    DocumentController::shared().setPresenter(nullptr);
  }
  /// Waits for the conversions to come back and returns the documents opened since the start.
  std::vector<SVGQuarvel::DocumentRecordPtr> opened(std::size_t expected) {
    FennixTestSupport::runMainLoopUntil([&] { return DocumentController::shared().documents().size() >= before + expected; },
                                        60);
    FennixTestSupport::runMainLoopFor(0.2);
    const auto& all = DocumentController::shared().documents();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())), all.end()};
  }

  std::filesystem::path folder;
  std::size_t before = 0;
};

TEST_F(AppDelegateTest, SVGFilesBecomeDocumentsAndOtherFilesAreRefused) {
  CapturedConsole console;
  // The activity keeping the application alive begins and ends on the main thread, once per file.
  std::atomic<int> activities = 0, begun = 0, offMain = 0;
  const auto mainThread = std::this_thread::get_id();
  AppDelegate delegate(nullptr);
  delegate.setActivityHooks(
      [&] {
        ++activities, ++begun;
        if (std::this_thread::get_id() != mainThread) ++offMain;
      },
      [&] {
        --activities;
        if (std::this_thread::get_id() != mainThread) ++offMain;
      });
  std::vector<AppDelegate::OpenOutcome> outcomes;
  std::vector<std::string> shown;
  delegate.setPresentError(
      [&](const std::string& heading, const std::string& detail) { shown.push_back(heading + "\n" + detail); });
  std::filesystem::create_directories(folder / "folder.svg");
  writeFile(folder / "picture.png", png);
  writeFile(folder / "first.svg", square);
  writeFile(folder / "second.SVG", circle);
  writeFile(folder / "broken.svg", "<svg><rect");
  writeFile(folder / "latin1.svg", "<svg>\xe9\xff</svg>");  // neither UTF-8 nor marked
  writeFile(folder / "View.swift", "struct V {}\n");
  // Generated code quotes its drawing in a comment, which a look at the content takes for SVG.
  writeFile(folder / "Gen.Swift", "/*\n<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"5\"/></svg>\n*/\n");

  delegate.applicationOpen({folder / "picture.png", folder / "first.svg", folder / "missing.svg",
                            folder / "second.SVG", folder / "broken.svg", folder / "latin1.svg",
                            folder / "View.swift", folder / "Gen.Swift", folder / "folder.svg"},
                           [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  const auto documents = opened(3);
  FennixTestSupport::runMainLoopUntil([&] { return !outcomes.empty() && activities == 0; }, 60);
  FennixTestSupport::runMainLoopFor(0.2);  // whatever the conversions' queue still held is let go
  EXPECT_EQ(begun, 4);
  EXPECT_EQ(activities, 0);
  EXPECT_EQ(offMain, 0);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].opened, 3u);
  EXPECT_EQ(outcomes[0].failures,
            (std::vector<std::string>{"\u201cpicture.png\u201d is not an SVG drawing or a document.",
                                      "\u201cmissing.svg\u201d does not exist.",
                                      "\u201cView.swift\u201d is not an SVG drawing or a document.",
                                      "\u201cGen.Swift\u201d is not an SVG drawing or a document.",
                                      "\u201cfolder.svg\u201d is a folder, not an SVG drawing or a document.",
                                      "The file \u201clatin1.svg\u201d couldn\u2019t be opened because the text "
                                      "encoding of its contents can\u2019t be determined."}));
  ASSERT_EQ(shown.size(), 1u);  // one message for all of them
  EXPECT_EQ(shown[0].rfind("Some files could not be opened.\n\u201cpicture.png\u201d", 0), 0u) << shown[0];
  ASSERT_EQ(documents.size(), 3u);
  std::vector<std::string> texts;
  for (const auto& record : documents) texts.push_back(record->document()->svgString.get());
  // Conversions run in parallel: the order of the windows is the order they finished.
  std::vector<std::string> expected{"<svg><rect", circle, square};
  std::sort(texts.begin(), texts.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(texts, expected);
  for (const auto& record : documents) {
    if (record->document()->svgString.get() == "<svg><rect") {
      EXPECT_EQ(record->document()->swift.get(), "// Could not parse SVG broken.svg\n");
    }
  }

  const std::string errors = console.err();
  EXPECT_NE(errors.find("ERROR:   cannot open non-SVG file: picture.png\n"), std::string::npos) << errors;
  EXPECT_NE(errors.find("ERROR:   cannot open non-SVG file: View.swift\n"), std::string::npos) << errors;
  EXPECT_NE(errors.find("ERROR:   cannot open a folder: folder.svg\n"), std::string::npos) << errors;
  EXPECT_NE(errors.find("ERROR: failed to open:"), std::string::npos) << errors;
  EXPECT_NE(errors.find("missing.svg"), std::string::npos) << errors;
  EXPECT_NE(errors.find("ERROR: Failed to open SVG URL: file://" + (folder / "latin1.svg").string() + " \n  error:"),
            std::string::npos)
      << errors;
  const std::string out = console.out();
  EXPECT_NE(out.find("open URLs: [file://"), std::string::npos) << out;
  EXPECT_NE(out.find("  open SVG: first.svg\n"), std::string::npos) << out;
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());
}

TEST_F(AppDelegateTest, DocumentFilesOpenAsDocumentsAndTheirFailuresAreShown) {
  CapturedConsole console;
  AppDelegate delegate(nullptr);
  std::vector<std::string> shown;
  delegate.setPresentError(
      [&](const std::string& heading, const std::string& detail) { shown.push_back(heading + " " + detail); });
  SVGQuarvelDocument::Snapshot saved{square, "// kept\n", std::nullopt};
  writeFile(folder / "saved.svgquarvel", saved.jsonString());
  writeFile(folder / "damaged.svgquarvel", "{");
  writeFile(folder / "more.svg", circle);

  delegate.openFiles({folder / "saved.svgquarvel", folder / "damaged.svgquarvel", folder / "more.svg"});
  auto documents = opened(2);
  ASSERT_EQ(documents.size(), 2u);
  // Both are read in the background: their windows come in the order they finished.
  if (documents[0]->fileURL() == std::nullopt) std::swap(documents[0], documents[1]);
  EXPECT_EQ(documents[0]->document()->swift.get(), "// kept\n");
  EXPECT_EQ(documents[0]->displayName(), "saved.svgquarvel");
  EXPECT_EQ(documents[1]->document()->svgString.get(), circle);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("damaged.svgquarvel"), std::string::npos);
}

TEST_F(AppDelegateTest, DrawingsPastTheSizeLimitAreRefusedWithAMessage) {
  CapturedConsole console;
  AppDelegate delegate(nullptr);
  std::vector<std::string> headings, shown;
  delegate.setPresentError([&](const std::string& heading, const std::string& detail) {
    headings.push_back(heading);
    for (std::size_t start = 0; start <= detail.size();) {
      const auto end = std::min(detail.find('\n', start), detail.size());
      shown.push_back(detail.substr(start, end - start));
      start = end + 1;
    }
  });
  // Padded with a comment, so that converting them is quick: one at the limit, one past it, and
  // one whose file is too large to be read at all.
  auto padded = [](std::size_t bytes) {
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\"><!--";
    const std::string end = "--><rect width=\"4\" height=\"4\"/></svg>";
    svg.append(bytes - svg.size() - end.size(), ' ');
    return svg + end;
  };
  const std::size_t limit = SVGQuarvelDocument::maximumOpenedSVGBytes;
  writeFile(folder / "at-limit.svg", padded(limit));
  writeFile(folder / "past-limit.svg", padded(limit + 1));
  writeFile(folder / "far-past.svg", padded(2 * limit + 2));

  delegate.applicationOpen({folder / "past-limit.svg", folder / "far-past.svg", folder / "at-limit.svg"});
  const auto documents = opened(1);
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(documents[0]->document()->svgString.get().size(), limit);
  EXPECT_NE(documents[0]->document()->swift.get().find("Rectangle"), std::string::npos);
  FennixTestSupport::runMainLoopUntil([&] { return !headings.empty(); }, 60);
  EXPECT_EQ(headings, std::vector<std::string>{"Some files could not be opened."});
  ASSERT_EQ(shown.size(), 2u);
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(shown[0],
            "The drawing \u201cfar-past.svg\u201d is too large to open: it has 32.0 MB (33554434 bytes); drawings of at "
            "most 16 MB (16777216 bytes) of SVG text open.");
  EXPECT_EQ(shown[1],
            "The drawing \u201cpast-limit.svg\u201d is too large to open: it has 16.0 MB (16777217 bytes); drawings of "
            "at most 16 MB (16777216 bytes) of SVG text open.");
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());

  // A stored document is bounded alike, and says so in the same words.
  SVGQuarvelDocument::Snapshot stored{padded(limit + 1), "// kept\n", std::nullopt};
  writeFile(folder / "stored.svgquarvel", stored.jsonString());
  headings.clear();
  delegate.openFiles({folder / "stored.svgquarvel"});
  FennixTestSupport::runMainLoopUntil([&] { return !headings.empty(); }, 60);
  EXPECT_EQ(headings, std::vector<std::string>{"The file could not be opened."});
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2].rfind("The file \u201cstored.svgquarvel\u201d is too large to open: its SVG text has 16.0 MB", 0), 0u)
      << shown[2];
  EXPECT_EQ(DocumentController::shared().documents().size(), before + 1);
}

TEST_F(AppDelegateTest, DrawingsWhoseCodeWouldPassTheDocumentBoundAreRefusedWithAMessage) {
  CapturedConsole console;
  AppDelegate delegate(nullptr);
  std::vector<std::string> shown;
  delegate.setPresentError([&](const std::string&, const std::string& detail) { shown.push_back(detail); });
  // A small drawing of much code: groups 250 levels deep, each of whose lines is indented 250 times.
  auto deep = [](int groups) {
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\">";
    for (int i = 0; i < 250; ++i) svg += "<g>";
    for (int i = 0; i < groups; ++i) svg += "<g/>";
    for (int i = 0; i < 250; ++i) svg += "</g>";
    return svg + "</svg>";
  };
  writeFile(folder / "deep.svg", deep(30'000));
  writeFile(folder / "shallow.svg", deep(10));

  delegate.applicationOpen({folder / "deep.svg", folder / "shallow.svg"});
  const auto documents = opened(1);
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(documents[0]->document()->svgString.get(), deep(10));
  FennixTestSupport::runMainLoopUntil([&] { return !shown.empty(); }, 60);
  EXPECT_EQ(shown, std::vector<std::string>{
                       "The drawing \u201cdeep.svg\u201d is too large to open: its Swift code would have more than 64 MB "
                       "(67108864 bytes); documents of at most 160 MB (167772160 bytes) of Swift text open."});
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());
  EXPECT_EQ(DocumentController::shared().documents().size(), before + 1);
}

TEST_F(AppDelegateTest, DocumentsAreReadOffTheMainThreadAndOpenOnceEach) {
  CapturedConsole console;
  AppDelegate delegate(nullptr);
  int activities = 0, begun = 0;
  delegate.setActivityHooks([&] { ++activities, ++begun; }, [&] { --activities; });
  std::vector<AppDelegate::OpenOutcome> outcomes;
  std::vector<std::string> shown;
  delegate.setPresentError([&](const std::string& heading, const std::string& detail) { shown.push_back(heading + "\n" + detail); });
  writeFile(folder / "saved.svgquarvel", SVGQuarvelDocument::Snapshot{square, "// kept\n", std::nullopt}.jsonString());
  writeFile(folder / "settings.svgquarvel", R"({"svg":"<svg/>","swift":"","config":{"indent":2}})");
  writeFile(folder / "nul.svgquarvel", R"({"svg":"<svg/>\u0000","swift":""})");

  // The same file twice in one request, and once more while it is being read: it is read once,
  // and the repeats wait for it without taking a place among the windows in use.
  delegate.openFiles({folder / "saved.svgquarvel", folder / "settings.svgquarvel", folder / "saved.svgquarvel",
                      folder / "nul.svgquarvel"},
                     [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  EXPECT_EQ(DocumentController::shared().documents().size(), before) << "read on the main thread";
  EXPECT_EQ(activities, 3);
  EXPECT_EQ(delegate.filesOpening(), 3u);
  delegate.openFiles({folder / "saved.svgquarvel"});
  EXPECT_EQ(delegate.filesOpening(), 3u);
  FennixTestSupport::runMainLoopUntil([&] { return !outcomes.empty() && activities == 0; }, 60);
  FennixTestSupport::runMainLoopFor(0.2);
  EXPECT_EQ(begun, 3);
  EXPECT_EQ(activities, 0);
  const auto& documents = DocumentController::shared().documents();
  ASSERT_EQ(documents.size(), before + 1);
  EXPECT_EQ(documents.back()->document()->swift.get(), "// kept\n");
  EXPECT_NE(documents.back()->document()->generatedSwift.get().find("Rectangle"), std::string::npos);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].opened, 2u);
  std::vector<std::string> failures = outcomes[0].failures;
  std::sort(failures.begin(), failures.end());
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0],
            "The document \u201cnul.svgquarvel\u201d could not be opened. The file \u201cnul.svgquarvel\u201d couldn\u2019t "
            "be opened because its SVG text holds a NUL character, which the editors cannot show.");
  EXPECT_EQ(failures[1].rfind("The document \u201csettings.svgquarvel\u201d could not be opened. keyNotFound", 0), 0u)
      << failures[1];
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_NE(console.out().find("  open document: saved.svgquarvel\n"), std::string::npos);
}

TEST_F(AppDelegateTest, BrokenLinksAreReportedAsWhatTheyAreAndLongListsAreCut) {
  CapturedConsole console;
  AppDelegate delegate(nullptr);
  std::vector<std::string> details;
  delegate.setPresentError([&](const std::string&, const std::string& detail) { details.push_back(detail); });
  std::filesystem::create_symlink("gone.svg", folder / "dangling.svg");
  std::filesystem::create_symlink("loop-b.svgquarvel", folder / "loop-a.svgquarvel");
  std::filesystem::create_symlink("loop-a.svgquarvel", folder / "loop-b.svgquarvel");
  writeFile(folder / "real.svg", square);
  std::filesystem::create_symlink("real.svg", folder / "link.svg");
  std::vector<AppDelegate::OpenOutcome> outcomes;
  delegate.openFiles({folder / "dangling.svg", folder / "loop-a.svgquarvel", folder / "link.svg"},
                     [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  FennixTestSupport::runMainLoopUntil([&] { return !outcomes.empty(); }, 60);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].opened, 1u);  // a link to a drawing opens it
  EXPECT_EQ(outcomes[0].failures,
            (std::vector<std::string>{
                "\u201cdangling.svg\u201d is a symbolic link to \u201cgone.svg\u201d, which does not exist.",
                "\u201cloop-a.svgquarvel\u201d is a symbolic link that leads round in a loop of links, not to a file."}));
  EXPECT_NE(console.err().find("ERROR:   cannot open a broken link: dangling.svg\n"), std::string::npos) << console.err();

  // Many failures: the first few, and how many more.
  std::vector<std::filesystem::path> missing;
  for (int index = 0; index < 30; ++index) missing.push_back(folder / ("missing-" + std::to_string(index) + ".svg"));
  delegate.openFiles(missing);
  ASSERT_EQ(details.size(), 2u);
  const auto lines = std::count(details[1].begin(), details[1].end(), '\n') + 1;
  EXPECT_EQ(std::size_t(lines), AppDelegate::listedFailures);
  EXPECT_EQ(details[1].rfind("\u201cmissing-0.svg\u201d does not exist.\n\u201cmissing-1.svg\u201d", 0), 0u) << details[1];
  EXPECT_NE(details[1].find("\u201cmissing-6.svg\u201d does not exist.\n\u2026 and 23 more files could not be opened."),
            std::string::npos)
      << details[1];
  EXPECT_EQ(AppDelegate::failureDetail({"a", "b"}), "a\nb");
  EXPECT_EQ(AppDelegate::failureDetail(std::vector<std::string>(AppDelegate::listedFailures, "x")).find("more"),
            std::string::npos);

  // A name of thousands of characters keeps its start and its end, cut between characters, and
  // the words around it stay; so do shown that fit, and a line of too many words keeps both ends.
  std::string name;
  for (int index = 0; index < 30000; ++index) name += "\u00e9";
  const std::string tail = "\u00e9.svg\u201d does not exist.";
  std::string fitting;
  while (fitting.size() + 5 <= AppDelegate::maximumFailureLineBytes) fitting += "word ";
  std::string wordy;
  for (int index = 0; index < 1000; ++index) wordy += std::to_string(index) + " ";
  const auto detail = AppDelegate::failureDetail({"first", "\u201c" + name + ".svg\u201d does not exist.", fitting, wordy});
  std::vector<std::string> shown;
  for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
    end = detail.find('\n', start);
    shown.push_back(detail.substr(start, end == std::string::npos ? std::string::npos : end - start));
  }
  ASSERT_EQ(shown.size(), 4u) << detail;
  EXPECT_EQ(shown[0], "first");
  EXPECT_EQ(shown[1].rfind("\u201c\u00e9\u00e9", 0), 0u) << shown[1];
  EXPECT_NE(shown[1].find("\u00e9\u2026\u00e9"), std::string::npos) << shown[1];
  EXPECT_EQ(shown[1].substr(shown[1].size() - tail.size()), tail) << shown[1];
  EXPECT_LE(shown[1].find(' '), AppDelegate::maximumFailureWordBytes) << shown[1];
  EXPECT_GE(shown[1].find(' '), AppDelegate::maximumFailureWordBytes - 4) << shown[1];
  EXPECT_EQ(shown[2], fitting);
  EXPECT_LE(shown[3].size(), AppDelegate::maximumFailureLineBytes);
  EXPECT_EQ(shown[3].rfind("0 1 2 3 ", 0), 0u) << shown[3];
  EXPECT_NE(shown[3].find(" \u2026 "), std::string::npos) << shown[3];
  EXPECT_EQ(shown[3].substr(shown[3].size() - 8), "998 999 ") << shown[3];
  for (const auto& line : shown) EXPECT_TRUE(g_utf8_validate(line.data(), gssize(line.size()), nullptr)) << line;
}

TEST_F(AppDelegateTest, AWindowThatCannotOpenLeavesNoDrawingBehind) {
  CapturedConsole console;
  AppDelegate delegate(nullptr);
  writeFile(folder / "lost.svg", square);
  bool tried = false;
  DocumentController::shared().setPresenter([&](const SVGQuarvel::DocumentRecordPtr&) {
    tried = true;
    throw std::runtime_error("no display");
  });
  delegate.applicationOpen({folder / "lost.svg"});
  FennixTestSupport::runMainLoopUntil([&] { return tried; }, 60);
  DocumentController::shared().setPresenter(nullptr);
  EXPECT_NE(console.err().find("ERROR: Failed to open untitled document for loaded SVG?: no display file://"),
            std::string::npos)
      << console.err();
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());
  EXPECT_EQ(DocumentController::shared().documents().size(), before);
  EXPECT_EQ(DocumentController::shared().openUntitledDocumentAndDisplay(false)->document()->svgString.get(),
            std::string(newDocumentSVG));
}

TEST_F(AppDelegateTest, ContentTypesComeFromExtensionsThenFromTheFilesBytes) {
  writeFile(folder / "picture", png);
  writeFile(folder / "drawing.svg", square);
  writeFile(folder / "doc.SvgQuarvel", "{}");
  EXPECT_EQ(SVGQuarvel::contentTypeOfFile(folder / "picture").mimeType, "image/png");
  EXPECT_FALSE(SVGQuarvel::contentTypeOfFile(folder / "picture").isSVG);
  EXPECT_TRUE(SVGQuarvel::contentTypeOfFile(folder / "drawing.svg").isSVG);
  EXPECT_TRUE(SVGQuarvel::contentTypeOfFile(folder / "doc.SvgQuarvel").isDocument);
  EXPECT_FALSE(SVGQuarvel::contentTypeOfFile(folder).isSVG);
  EXPECT_THROW(SVGQuarvel::contentTypeOfFile(folder / "nothing.svg"), CocoaError);
}

TEST(AppDelegate, TheAboutItemShowsTheOneWindowMadeAtStart) {
  int made = 0;
  int shown = 0;
  AppDelegate delegate([&] {
    ++made;
    return std::make_unique<CountingAboutWindow>(&shown);
  });
  delegate.orderFrontStandardAboutPanel();
  delegate.orderFrontStandardAboutPanel();
  EXPECT_EQ(made, 1);
  EXPECT_EQ(shown, 2);
}

TEST_F(AppDelegateTest, OneRequestOpensAtMostThirtyTwoWindowsAndRefusesTheRestInOneLine) {
  CapturedConsole console;
  AppDelegate delegate(nullptr);
  std::vector<std::string> shown;
  delegate.setPresentError(
      [&](const std::string& heading, const std::string& detail) { shown.push_back(heading + "\n" + detail); });
  std::vector<AppDelegate::OpenOutcome> outcomes;
  // A missing file does not count; documents count as SVG files do.
  std::vector<std::filesystem::path> files{folder / "missing.svg"};
  for (int index = 0; index < 3; ++index) {
    const auto document = folder / ("doc-" + std::to_string(index) + ".svgquarvel");
    writeFile(document, SVGQuarvelDocument::Snapshot{square, "// kept\n", std::nullopt}.jsonString());
    files.push_back(document);
  }
  for (int index = 0; index < 31; ++index) {
    const auto drawing = folder / ("drawing-" + std::to_string(index) + ".svg");
    writeFile(drawing, circle);
    files.push_back(drawing);
  }
  delegate.openFiles(files, [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  const auto documents = opened(AppDelegate::maximumWindowsPerRequest);
  FennixTestSupport::runMainLoopUntil([&] { return !outcomes.empty(); }, 10);
  EXPECT_EQ(documents.size(), 32u);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].opened, 32u);
  EXPECT_EQ(outcomes[0].failures,
            (std::vector<std::string>{"\u201cmissing.svg\u201d does not exist.",
                                      "2 more files were not opened: one request opens at most 32 windows. Not "
                                      "opened: \u201cdrawing-29.svg\u201d, \u201cdrawing-30.svg\u201d."}));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("Some files could not be opened.\n", 0), 0u) << shown[0];

  // One file past the limit alone says so in the singular.
  files.resize(34);
  std::vector<std::filesystem::path> more(files.begin() + 1, files.end());
  const auto open = DocumentController::shared().documents();
  for (const auto& record : open) DocumentController::shared().close(*record);
  before = 0;
  shown.clear();
  outcomes.clear();
  delegate.openFiles(more, [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  (void)opened(32);
  FennixTestSupport::runMainLoopUntil([&] { return !outcomes.empty(); }, 10);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].failures,
            std::vector<std::string>{"1 more file was not opened: one request opens at most 32 windows. Not opened: "
                                     "\u201cdrawing-29.svg\u201d."});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("The file could not be opened.\n", 0), 0u) << shown[0];
}

TEST(AppDelegate, RequestsOfOneWindowEachStopAtThirtyTwoWindowsInUse) {
  EXPECT_EQ(AppDelegate::refusedWindow(0, "The application"), std::nullopt);
  EXPECT_EQ(AppDelegate::refusedWindow(31, "The application"), std::nullopt);
  EXPECT_EQ(AppDelegate::refusedWindow(32, "The application"),
            "The application has 32 windows open, as many as it opens at a time; close one of them first.");
  // Past it (windows that opened by other routes), still refused.
  EXPECT_EQ(AppDelegate::refusedWindow(1000, "the service"),
            "the service has 32 windows open, as many as it opens at a time; close one of them first.");
}

}  // namespace

namespace {

TEST_F(AppDelegateTest, RequestsTogetherKeepWithinThirtyTwoWindowsInUseAndSayWhyOncePerRequest) {
  CapturedConsole console;
  AppDelegate delegate(nullptr);
  std::vector<std::pair<std::string, std::string>> shown;
  delegate.setPresentError(
      [&](const std::string& heading, const std::string& detail) { shown.emplace_back(heading, detail); });
  std::size_t windowsOpen = 20;
  delegate.setWindowsOpen([&] { return windowsOpen; });
  const auto drawing = folder / "drawing.svg";
  writeFile(drawing, circle);
  const std::string full = "The application has 32 windows open, as many as it opens at a time; close one of them first.";
  // After a colon within a line of the failures the reason goes on in lower case.
  const std::string fullInLine = "the application has 32 windows open, as many as it opens at a time; close one of them first.";

  // Twenty requests of one file each, sent before any has opened: the files still converting
  // count, so that only twelve go on.
  std::vector<AppDelegate::OpenOutcome> outcomes;
  for (int index = 0; index < 20; ++index) {
    delegate.openFiles({drawing}, [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  }
  EXPECT_EQ(delegate.filesOpening(), 12u);
  EXPECT_EQ(delegate.refusedNewWindow(), full);
  ASSERT_EQ(outcomes.size(), 8u);  // the refused ones answer at once
  EXPECT_EQ(outcomes[0].opened, 0u);
  const std::string notOpened = " Not opened: \u201cdrawing.svg\u201d.";
  EXPECT_EQ(outcomes[0].failures, std::vector<std::string>{"1 more file was not opened: " + fullInLine + notOpened});
  ASSERT_EQ(shown.size(), 8u);
  EXPECT_EQ(shown[0], std::make_pair(std::string(AppDelegate::noNewWindowHeading), full));
  (void)opened(12);
  FennixTestSupport::runMainLoopUntil([&] { return outcomes.size() == 20; }, 60);
  ASSERT_EQ(outcomes.size(), 20u);
  EXPECT_EQ(outcomes.back().opened, 1u);
  EXPECT_EQ(delegate.filesOpening(), 0u);
  EXPECT_EQ(shown.size(), 8u);

  // The windows of those files are open now. One request of several files with two places left:
  // one message says what did not open, why, and which files were refused.
  windowsOpen = 30;
  shown.clear();
  outcomes.clear();
  EXPECT_EQ(delegate.refusedNewWindow(), std::nullopt);
  delegate.openFiles({drawing, folder / "missing.svg", drawing, drawing, drawing},
                     [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  EXPECT_EQ(delegate.filesOpening(), 2u);
  FennixTestSupport::runMainLoopUntil([&] { return !outcomes.empty(); }, 60);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].opened, 2u);
  const std::string refusedLine =
      "2 more files were not opened: " + fullInLine + " Not opened: \u201cdrawing.svg\u201d, \u201cdrawing.svg\u201d.";
  EXPECT_EQ(outcomes[0].failures,
            (std::vector<std::string>{"\u201cmissing.svg\u201d does not exist.", refusedLine}));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], std::make_pair(std::string("Some files could not be opened."),
                                     "\u201cmissing.svg\u201d does not exist.\n" + refusedLine));
  EXPECT_EQ(delegate.filesOpening(), 0u);

  // Every file let through gives its place back however it ends: a document that opens, one that
  // cannot be read, a drawing that does not convert. A document already open only comes forward
  // and takes no place.
  writeFile(folder / "good.svgquarvel", SVGQuarvelDocument::Snapshot{square, "// good\n", std::nullopt}.jsonString());
  writeFile(folder / "damaged.svgquarvel", "{");
  writeFile(folder / "shown.svgquarvel", SVGQuarvelDocument::Snapshot{circle, "// shown\n", std::nullopt}.jsonString());
  writeFile(folder / "latin1.svg", "<svg>\xe9\xff</svg>");  // neither UTF-8 nor marked: fails to read
  const auto shownRecord = DocumentController::shared().openDocument(folder / "shown.svgquarvel", false);
  ASSERT_TRUE(shownRecord);
  std::vector<SVGQuarvel::DocumentRecordPtr> presented;
  DocumentController::shared().setPresenter([&](const SVGQuarvel::DocumentRecordPtr& record) { presented.push_back(record); });
  windowsOpen = 28;
  shown.clear();
  outcomes.clear();
  delegate.openFiles({folder / "good.svgquarvel", folder / "damaged.svgquarvel", folder / "shown.svgquarvel",
                      folder / "latin1.svg"},
                     [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  EXPECT_EQ(delegate.filesOpening(), 3u);
  FennixTestSupport::runMainLoopUntil([&] { return !outcomes.empty(); }, 60);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].opened, 2u);
  ASSERT_EQ(outcomes[0].failures.size(), 2u) << testing::PrintToString(outcomes[0].failures);
  // The two reads run side by side, so their failures come in either order.
  const auto& failures = outcomes[0].failures;
  EXPECT_EQ(std::count_if(failures.begin(), failures.end(),
                          [](const std::string& failure) {
                            return failure.rfind("The document \u201cdamaged.svgquarvel\u201d could not be opened.", 0) == 0;
                          }),
            1)
      << testing::PrintToString(failures);
  EXPECT_EQ(std::count_if(failures.begin(), failures.end(),
                          [](const std::string& failure) { return failure.find("latin1.svg") != std::string::npos; }),
            1)
      << testing::PrintToString(failures);
  EXPECT_EQ(delegate.filesOpening(), 0u);
  EXPECT_EQ(delegate.refusedNewWindow(), std::nullopt);

  // At the bound, a document already open still comes forward (also under another name of the
  // same file), and a new one is refused.
  std::filesystem::create_symlink(folder / "shown.svgquarvel", folder / "alias.svgquarvel");
  windowsOpen = 32;
  shown.clear();
  outcomes.clear();
  presented.clear();
  delegate.openFiles({folder / "shown.svgquarvel", folder / "alias.svgquarvel"},
                     [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  FennixTestSupport::runMainLoopUntil([&] { return !outcomes.empty(); }, 60);
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].opened, 2u);
  EXPECT_TRUE(outcomes[0].failures.empty()) << testing::PrintToString(outcomes[0].failures);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(presented, (std::vector<SVGQuarvel::DocumentRecordPtr>{shownRecord, shownRecord}));
  outcomes.clear();
  writeFile(folder / "new.svgquarvel", SVGQuarvelDocument::Snapshot{square, "// new\n", std::nullopt}.jsonString());
  delegate.openFiles({folder / "new.svgquarvel"}, [&](const AppDelegate::OpenOutcome& outcome) { outcomes.push_back(outcome); });
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].failures, std::vector<std::string>{"1 more file was not opened: " + fullInLine +
                                                           " Not opened: \u201cnew.svgquarvel\u201d."});
  EXPECT_EQ(delegate.filesOpening(), 0u);
  DocumentController::shared().setPresenter(nullptr);
}

}  // namespace
