#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Dispatch.h"
#include "Platform/Print.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using Config = SVGQuarvelConfiguration;
using Document = SVGQuarvelDocument;
using namespace QuarvelTestSupport;

namespace {

const std::string circle = "<svg xmlns=\"http://www.w3.org/2000/svg\"><circle cx=\"10\" cy=\"10\" r=\"5\"/></svg>";
const std::string ellipse = "<svg xmlns=\"http://www.w3.org/2000/svg\"><ellipse rx=\"4\" ry=\"2\"/></svg>";

std::string rebuildLog(const std::string& svg, bool pushed) {
  return "rebuilding SVG ... " + std::to_string(svg.size()) + "\n" +
         (pushed ? "Swift was not modified, pushing to instance\n"
                 : "Swift was modified, do not auto-apply new generated content\n");
}

std::string code(const std::string& svg, const Config& config = Config()) {
  return Document::export_(svg, config).code;
}

class DocumentTests : public ::testing::Test {
 protected:
  DocumentTests() { Config::setDefaultConfig(Config()); }
  void TearDown() override { Config::setDefaultConfig(Config()); }
  CapturedConsole console_;  // made before the documents, which keep it
};

}  // namespace

TEST_F(DocumentTests, CreationGeneratesOnlyForSVGWithoutSwift) {
  auto fresh = Document::newDocument();
  EXPECT_EQ(fresh->swift.get(), code(std::string(newDocumentSVG)));
  EXPECT_EQ(fresh->generatedSwift.get(), fresh->swift.get());

  console_.takeOut();
  auto withSwift = Document::fromSVGString(circle, "let kept = 1\n");
  EXPECT_EQ(console_.takeOut(), "");
  EXPECT_EQ(withSwift->generatedSwift.get(), "let kept = 1\n");
}

TEST_F(DocumentTests, ChangedSVGRebuildsOnceAndFailuresClearAgain) {
  auto document = Document::fromSVGString(circle, "");
  const std::string circleCode = document->swift.get();
  std::vector<std::string> seen;
  auto generated = document->generatedSwift.willSet().sink(
      [&](const std::string& value) { seen.push_back("g" + value.substr(0, 6)); });
  auto swift =
      document->swift.willSet().sink([&](const std::string& value) { seen.push_back("s" + value.substr(0, 6)); });
  console_.takeOut();

  document->svgString = circle;  // the same text: not rebuilt
  EXPECT_EQ(console_.takeOut(), "");
  document->svgString = ellipse;
  EXPECT_EQ(console_.takeOut(), rebuildLog(ellipse, true));
  const std::string start = code(ellipse).substr(0, 6);
  EXPECT_EQ(seen, (std::vector<std::string>{"g", "g" + start, "s" + start}));  // cleared first, then set

  document->svgString.modify([](std::string& text) { text.erase(text.size() - 3); });
  EXPECT_TRUE(document->rebuildFailed.get());
  EXPECT_EQ(document->swift.get(), "// Could not parse SVG\n");
  document->svgString = circle;
  EXPECT_FALSE(document->rebuildFailed.get());
  EXPECT_EQ(document->swift.get(), circleCode);
}

TEST_F(DocumentTests, EditedSwiftIsKeptUntilTheGeneratedCodeIsApplied) {
  auto document = Document::fromSVGString(circle, "");
  document->swift = "// mine\n";
  console_.takeOut();
  document->svgString = ellipse;
  EXPECT_EQ(console_.takeOut(), rebuildLog(ellipse, false));
  EXPECT_EQ(document->swift.get(), "// mine\n");
  EXPECT_EQ(document->generatedSwift.get(), code(ellipse));

  document->swift = document->generatedSwift.get();  // the apply action
  document->svgString = circle;
  EXPECT_EQ(document->swift.get(), code(circle));
}

TEST_F(DocumentTests, ChangedSettingsRebuildAndBecomeTheDefault) {
  auto document = Document::fromSVGString(circle, "");
  auto other = Document::fromSVGString();
  console_.takeOut();
  document->config = document->config.get();  // equal: nothing happens
  EXPECT_EQ(console_.takeOut(), "");

  Config changed;
  changed.prefixSVG = false;
  document->config.modify([](Config& config) { config.prefixSVG = false; });
  EXPECT_EQ(console_.takeOut(), rebuildLog(circle, true) + "writing default config\n");
  EXPECT_EQ(document->swift.get(), code(circle, changed));
  EXPECT_EQ(Config::defaultConfig(), changed);
  EXPECT_EQ(other->config.get(), Config());  // open documents keep their own
  EXPECT_EQ(Document::fromSVGString()->config.get(), changed);
}

TEST_F(DocumentTests, PendingSnapshotsGoToNewDocumentsOldestFirstAndNeverLinger) {
  const std::string rect = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"1\" height=\"1\"/></svg>";
  std::vector<std::shared_ptr<Document>> documents;
  Document::openSVG(circle, [&] {
    Document::openSVG(rect, [&] {
      EXPECT_EQ(Document::pendingSVGs().size(), 2u);
      console_.takeOut();
      documents.push_back(Document::newDocument());
      documents.push_back(Document::newDocument());
    });
  });
  ASSERT_EQ(documents.size(), 2u);
  // The snapshot's code, without the SVG comment, is taken as it is: the text is not converted
  // a second time on the main thread.
  EXPECT_EQ(console_.takeOut(), "");
  EXPECT_EQ(documents[0]->swift.get(), Document::Snapshot::fromSVGString(circle, std::nullopt, Config()).swift);
  EXPECT_EQ(documents[0]->generatedSwift.get(), documents[0]->swift.get());
  EXPECT_EQ(documents[1]->svgString.get(), rect);

  // A snapshot that no document took is dropped, also when opening the document throws.
  Document::openSVG(circle, [] {});
  struct CannotOpen {};
  EXPECT_THROW(Document::openSVG(circle, [] { throw CannotOpen(); }), CannotOpen);
  EXPECT_TRUE(Document::pendingSVGs().empty());
  EXPECT_EQ(Document::newDocument()->svgString.get(), newDocumentSVG);
}

TEST_F(DocumentTests, SVGFilesAreConvertedOffTheMainThreadAndHandedOverOnIt) {
  const auto folder = scratchDirectory();
  writeFile(folder / "a.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><unknown/><circle r=\"1\"/></svg>");
  writeFile(folder / "b.svg", "<svg");
  std::vector<std::thread::id> printing;  // the parser reports the unknown element
  std::mutex lock;
  auto previousSink = SVGParser::setPrintSink([&](std::string_view) {
    std::lock_guard<std::mutex> guard(lock);
    printing.push_back(std::this_thread::get_id());
  });
  std::vector<std::shared_ptr<Document>> documents;
  std::vector<std::string> errors;
  int calls = 0;
  auto then = [&](std::optional<CocoaError> error) {
    EXPECT_TRUE(DispatchQueue::main().isCurrent());
    ++calls;
    if (error) return errors.push_back(std::to_string(error->code()) + " " + error->what());
    documents.push_back(Document::newDocument());
  };
  Document::openSVG(folder / "a.svg", then);
  Document::openSVG(folder / "b.svg", then);
  Document::openSVG(folder / "missing.svg", then);
  EXPECT_EQ(calls, 0);
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([&] { return calls == 3; }));
  SVGParser::setPrintSink(previousSink);

  // Once while converting; the new document takes the converted code without parsing again.
  EXPECT_EQ(std::count(printing.begin(), printing.end(), std::this_thread::get_id()), 0);
  EXPECT_EQ(printing.size(), 1u);
  EXPECT_EQ(errors, std::vector<std::string>{"260 The file \u201Cmissing.svg\u201D couldn\u2019t be opened because "
                                             "there is no such file."});
  ASSERT_EQ(documents.size(), 2u);
  if (documents[0]->svgString.get() != "<svg") std::swap(documents[0], documents[1]);
  EXPECT_EQ(documents[0]->swift.get(), "// Could not parse SVG b.svg\n");
  EXPECT_TRUE(documents[0]->rebuildFailed.get());
  EXPECT_FALSE(documents[1]->rebuildFailed.get());
  EXPECT_EQ(documents[1]->swift.get().rfind("import SwiftUI", 0), 0u);  // no SVG comment
}
