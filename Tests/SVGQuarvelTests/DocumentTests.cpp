#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Fennix/Platform/Dispatch.h"
#include "Fennix/Platform/UserDefaults.h"
#include "SVGParser/Platform/Print.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using Config = SVGQuarvelConfiguration;
using Document = SVGQuarvelDocument;
using namespace QuarvelTestSupport;

namespace {

const std::string circle =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"20\"><circle cx=\"10\" cy=\"10\" r=\"5\"/></svg>";
const std::string ellipse =
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"20\"><ellipse rx=\"4\" ry=\"2\"/></svg>";

std::string rebuildLog(const std::string& svg, bool pushed) {
  return "rebuilding SVG ... " + std::to_string(svg.size()) + "\n" +
         (pushed ? "Swift was not modified, pushing to instance\n"
                 : "Swift was modified, do not auto-apply new generated content\n");
}

/// Records every announcement of a document: "*" for the object's will-change, then the
/// property's name and new value.
class Announcements {
 public:
  explicit Announcements(Document& document) {
    subscriptions_.push_back(document.objectWillChange().sink([this] { events.push_back("*"); }));
    watch(document.config, "config", [](const Config& c) { return c.jsonString(); });
    watch(document.svgString, "svgString", [](const std::string& s) { return s.substr(0, 12); });
    watch(document.generatedSwift, "generatedSwift", [](const std::string& s) { return s.substr(0, 12); });
    watch(document.swift, "swift", [](const std::string& s) { return s.substr(0, 12); });
    watch(document.isRebuilding, "isRebuilding", [](bool b) { return std::string(b ? "true" : "false"); });
    watch(document.rebuildFailed, "rebuildFailed", [](bool b) { return std::string(b ? "true" : "false"); });
  }
  std::vector<std::string> events;

 private:
  template <typename T, typename Describe>
  void watch(Published<T>& property, std::string name, Describe describe) {
    subscriptions_.push_back(property.willSet().sink(
        [this, name, describe](const T& value) { events.push_back(name + "=" + describe(value)); }));
  }
  std::vector<AnyCancellable> subscriptions_;
};

class DocumentTests : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::setDefaultConfig(Config());
    console_ = std::make_unique<CapturedConsole>();
  }
  void TearDown() override {
    console_.reset();
    Config::setDefaultConfig(Config());
  }
  std::unique_ptr<CapturedConsole> console_;
};

}  // namespace

TEST_F(DocumentTests, CreationGeneratesOnlyForSVGWithoutSwift) {
  auto fresh = Document::newDocument();
  EXPECT_EQ(fresh->svgString.get(), newDocumentSVG);
  EXPECT_EQ(fresh->generatedSwift.get(), Document::export_(newDocumentSVG, Config()).code);
  EXPECT_EQ(fresh->swift.get(), fresh->generatedSwift.get());
  EXPECT_EQ(fresh->generatedSwift.get().rfind("/**\n * Generated from SVG:\n", 0), 0u);
  EXPECT_FALSE(fresh->rebuildFailed.get());
  EXPECT_FALSE(fresh->isRebuilding.get());
  EXPECT_FALSE(fresh->isSwiftModified());
  EXPECT_EQ(fresh->config.get(), Config::defaultConfig());

  console_->clear();
  auto empty = Document::fromSVGString();
  auto withSwift = Document::fromSVGString(circle, "let kept = 1\n");
  EXPECT_EQ(console_->out(), "");  // neither generates
  EXPECT_EQ(empty->generatedSwift.get(), "");
  EXPECT_FALSE(empty->isSwiftModified());
  EXPECT_EQ(withSwift->generatedSwift.get(), "let kept = 1\n");
  EXPECT_EQ(withSwift->swift.get(), "let kept = 1\n");

  auto broken = Document::fromSVGString("<svg", "");
  EXPECT_TRUE(broken->rebuildFailed.get());
  EXPECT_EQ(broken->swift.get(), "// Could not parse SVG\n");
}

TEST_F(DocumentTests, ChangedSVGRebuildsWithItsAnnouncementsInOrder) {
  auto document = Document::fromSVGString(circle, "");
  const std::string circleCode = document->generatedSwift.get();
  Announcements seen(*document);
  console_->clear();

  document->svgString = circle;  // the same text: announced, not rebuilt
  EXPECT_EQ(seen.events, (std::vector<std::string>{"*", "svgString=" + circle.substr(0, 12)}));
  EXPECT_EQ(console_->out(), "");

  seen.events.clear();
  document->svgString = ellipse;
  const std::string ellipseCode = Document::export_(ellipse, Config()).code;
  EXPECT_EQ(seen.events, (std::vector<std::string>{
                             "*", "svgString=" + ellipse.substr(0, 12),   //
                             "*", "isRebuilding=true",                    //
                             "*", "generatedSwift=",                      //
                             "*", "generatedSwift=" + ellipseCode.substr(0, 12),
                             "*", "rebuildFailed=false",  //
                             "*", "swift=" + ellipseCode.substr(0, 12),
                             "*", "isRebuilding=false"}));
  EXPECT_EQ(document->swift.get(), ellipseCode);
  EXPECT_NE(ellipseCode, circleCode);
  // The pipeline logs twice: for the check above and for the rebuild.
  EXPECT_EQ(console_->out(), rebuildLog(ellipse, true) + "rebuilding SVG ... " + std::to_string(ellipse.size()) + "\n");

  // A failing text sets the flag; the next good one clears it.
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
  EXPECT_TRUE(document->isSwiftModified());

  console_->clear();
  document->svgString = ellipse;
  EXPECT_EQ(console_->out(), rebuildLog(ellipse, false));
  EXPECT_EQ(document->swift.get(), "// mine\n");
  EXPECT_EQ(document->generatedSwift.get(), Document::export_(ellipse, Config()).code);
  EXPECT_TRUE(document->isSwiftModified());

  // Applying the generated code lets the next rebuild replace the text again.
  document->swift = document->generatedSwift.get();
  EXPECT_FALSE(document->isSwiftModified());
  document->svgString = circle;
  EXPECT_EQ(document->swift.get(), document->generatedSwift.get());
  EXPECT_FALSE(document->isSwiftModified());
}

TEST_F(DocumentTests, ChangedSettingsRebuildAndBecomeTheDefault) {
  auto document = Document::fromSVGString(circle, "");
  Announcements seen(*document);
  console_->clear();

  document->config = document->config.get();  // equal: announced, nothing else
  EXPECT_EQ(seen.events.size(), 2u);
  EXPECT_EQ(console_->out(), "");

  document->config.modify([](Config& config) { config.prefixSVG = false; });
  Config changed;
  changed.prefixSVG = false;
  EXPECT_EQ(document->swift.get(), Document::export_(circle, changed).code);
  EXPECT_EQ(Config::defaultConfig(), changed);
  const auto stored = Config::userDefaults()->data(Config::SVGQuarvelConfigKey);
  ASSERT_TRUE(stored);
  EXPECT_EQ(std::string(stored->begin(), stored->end()), changed.jsonString());
  EXPECT_EQ(console_->out(), rebuildLog(circle, true) + "writing default config\n" + "rebuilding SVG ... " +
                                 std::to_string(circle.size()) + "\n");

  // Back again: rebuilt and stored again. Other documents keep their own settings.
  auto other = Document::fromSVGString();
  document->config.modify([](Config& config) { config.prefixSVG = true; });
  EXPECT_EQ(Config::defaultConfig(), Config());
  EXPECT_EQ(other->config.get(), changed);
  EXPECT_EQ(document->swift.get().rfind("/**", 0), 0u);
}

TEST_F(DocumentTests, ANewDocumentTakesTheOldestPendingSnapshot) {
  const std::string other = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"1\" height=\"1\"/></svg>";
  std::vector<std::shared_ptr<Document>> documents;
  Document::openSVG(circle, [&] {
    Document::openSVG(other, [&] {
      const auto pending = Document::pendingSVGs();
      ASSERT_EQ(pending.size(), 2u);
      EXPECT_EQ(pending[0].svg, circle);
      EXPECT_EQ(pending[1].svg, other);
      console_->clear();
      documents.push_back(Document::newDocument());
      documents.push_back(Document::newDocument());
    });
  });
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_TRUE(Document::pendingSVGs().empty());
  // The snapshot's code, without the SVG comment, replaces the intermediate rebuild's.
  EXPECT_EQ(documents[0]->svgString.get(), circle);
  EXPECT_EQ(documents[0]->swift.get(), Document::Snapshot::fromSVGString(circle, std::nullopt, Config()).swift);
  EXPECT_EQ(documents[0]->generatedSwift.get(), documents[0]->swift.get());
  EXPECT_EQ(documents[0]->swift.get().rfind("import SwiftUI", 0), 0u);
  EXPECT_EQ(documents[1]->svgString.get(), other);
  EXPECT_EQ(console_->out(), rebuildLog(circle, true) + rebuildLog(other, true));

  // Without a snapshot a document starts from its own text.
  EXPECT_EQ(Document::newDocument()->svgString.get(), newDocumentSVG);
}

TEST_F(DocumentTests, ASnapshotNoDocumentTookIsDropped) {
  Document::openSVG(circle, [] {});
  EXPECT_TRUE(Document::pendingSVGs().empty());
  EXPECT_NE(console_->out().find("WARN:  no new document took the converted SVG"), std::string::npos);

  struct CannotOpen {};
  EXPECT_THROW(Document::openSVG(circle, [] { throw CannotOpen(); }), CannotOpen);
  EXPECT_TRUE(Document::pendingSVGs().empty());
  EXPECT_EQ(Document::newDocument()->svgString.get(), newDocumentSVG);
}

TEST_F(DocumentTests, SVGFilesAreConvertedOffTheMainThreadAndHandedOverOnIt) {
  const auto folder = scratchDirectory();
  writeFile(folder / "a.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><unknown/><circle r=\"1\"/></svg>");
  writeFile(folder / "b.svg", "<svg");

  // The parser reports the unknown element on the thread that converts.
  std::vector<std::thread::id> converting;
  std::mutex lock;
  auto previousSink = setPrintSink([&](std::string_view) {
    std::lock_guard<std::mutex> guard(lock);
    converting.push_back(std::this_thread::get_id());
  });
  std::vector<std::shared_ptr<Document>> documents;
  std::vector<std::string> errors;
  int handedOver = 0;
  auto then = [&](std::optional<CocoaError> error) {
    EXPECT_TRUE(DispatchQueue::main().isCurrent());
    ++handedOver;
    if (error) {
      errors.push_back(std::to_string(error->code()) + " " + error->what());
      return;
    }
    EXPECT_EQ(Document::pendingSVGs().size(), 1u);
    documents.push_back(Document::newDocument());
  };
  Document::openSVG(folder / "a.svg", then);
  Document::openSVG(folder / "b.svg", then);
  Document::openSVG(folder / "missing.svg", then);
  EXPECT_EQ(handedOver, 0);  // nothing happens on the calling stack
  EXPECT_TRUE(Document::pendingSVGs().empty());
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([&] { return handedOver == 3; }));
  setPrintSink(previousSink);

  // (The new document parses its text once more, on the main thread.)
  EXPECT_EQ(std::count_if(converting.begin(), converting.end(),
                          [](std::thread::id thread) { return thread != std::this_thread::get_id(); }),
            1);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("260 The file \u201Cmissing.svg\u201D couldn\u2019t be opened", 0), 0u) << errors[0];
  ASSERT_EQ(documents.size(), 2u);
  for (const auto& document : documents) {
    if (document->svgString.get() == "<svg") {
      EXPECT_EQ(document->swift.get(), "// Could not parse SVG b.svg\n");
    } else {
      EXPECT_EQ(document->swift.get().rfind("import SwiftUI", 0), 0u);  // no SVG comment
    }
  }
  EXPECT_NE(documents[0]->svgString.get(), documents[1]->svgString.get());
  EXPECT_TRUE(Document::pendingSVGs().empty());
}
