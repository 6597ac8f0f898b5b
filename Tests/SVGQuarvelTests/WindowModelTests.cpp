// The document window's state apart from its widgets: the Swift pane's status texts, the banner
// and toolbar states, dropping the Swift edits with undo, the font commands, drops and the split
// orientation shared by every window.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SVGQuarvel/Views/DocumentWindowModel.h"
#include "SVGQuarvel/Views/ExportSettings.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

namespace {

using namespace SVGQuarvelViews;

std::shared_ptr<NSUserDefaults> layoutSuite() {
  static int count = 0;
  auto suite = NSUserDefaults::fromSuiteName("window-layout-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(++count));
  return suite;
}

TEST(WindowModel, SwiftPaneStatusTexts) {
  auto document = SVGQuarvelDocument::newDocument();
  auto status = swiftEditorStatus(*document);
  EXPECT_TRUE(status.showsContent);
  EXPECT_EQ(status.statusText, std::nullopt);
  EXPECT_EQ(status.loadingText, std::nullopt);

  document->svgString = "<svg><g></svg>";  // does not parse
  EXPECT_TRUE(document->rebuildFailed.get());
  EXPECT_EQ(swiftEditorStatus(*document).statusText, "Could not parse SVG?");

  document->svgString = std::string(newDocumentSVG);
  document->swift = "";
  EXPECT_EQ(swiftEditorStatus(*document).statusText, "Could not generate Swift?");
  document->isRebuilding = true;
  EXPECT_EQ(swiftEditorStatus(*document).loadingText, "Loading ...");

  document->svgString = "";  // an empty drawing: nothing at all, not even the texts
  status = swiftEditorStatus(*document);
  EXPECT_FALSE(status.showsContent);
  EXPECT_EQ(status.statusText, std::nullopt);
  EXPECT_EQ(status.loadingText, std::nullopt);
}

TEST(WindowModel, BannerToolbarAndDropChangesWithUndoButNoRedo) {
  auto document = SVGQuarvelDocument::newDocument();
  DocumentWindowModel window(document, nullptr, 13);
  EXPECT_FALSE(window.showsBanner());
  auto state = window.toolbarState();
  EXPECT_FALSE(state.dropChangesEnabled);
  EXPECT_TRUE(state.copyEnabled);
  EXPECT_EQ(state.layoutSymbol, "rectangle.split.2x1");

  const std::string generated = document->generatedSwift.get();
  document->swift = generated + "// mine\n";
  EXPECT_TRUE(window.showsBanner());
  EXPECT_TRUE(window.toolbarState().dropChangesEnabled);

  // New SVG is held back while the Swift was edited by hand.
  document->svgString = "<svg viewBox=\"0 0 10 10\"><rect width=\"5\" height=\"5\"/></svg>";
  EXPECT_EQ(document->swift.get(), generated + "// mine\n");
  EXPECT_NE(document->generatedSwift.get(), generated);

  window.applyChanges();
  EXPECT_EQ(document->swift.get(), document->generatedSwift.get());
  EXPECT_FALSE(window.showsBanner());
  EXPECT_FALSE(window.toolbarState().dropChangesEnabled);
  ASSERT_TRUE(window.undoManager().canUndo());
  window.undoManager().undo();
  EXPECT_EQ(document->swift.get(), generated + "// mine\n");
  EXPECT_TRUE(window.showsBanner());
  EXPECT_FALSE(window.undoManager().canRedo());

  document->swift = "";
  EXPECT_FALSE(window.toolbarState().copyEnabled);
  window.setStackVertically(false);
  EXPECT_EQ(window.toolbarState().layoutSymbol, "rectangle.split.1x2");
}

TEST(WindowModel, FontCommandsKeepAtLeastOnePoint) {
  DocumentWindowModel window(SVGQuarvelDocument::newDocument(), nullptr, 13);
  std::vector<double> sizes;
  auto sub = window.fontSizeDidChange().sink([&](double size) { sizes.push_back(size); });
  window.increaseFontSize();
  window.handleFontChange(3, std::nullopt);  // size up
  EXPECT_EQ(window.fontSize(), 15);
  window.handleFontChange(4, std::nullopt);  // size down
  window.handleFontChange(1, 12.7);          // via the panel: whole points
  EXPECT_EQ(window.fontSize(), 12);
  window.handleFontChange(1, std::nullopt);  // no font chosen: the current size
  EXPECT_EQ(window.fontSize(), 12);

  testing::internal::CaptureStdout();
  window.handleFontChange(2, std::nullopt);
  window.handleFontChange(7, std::nullopt);
  window.handleFontChange(5, std::nullopt);
  window.handleFontChange(42, std::nullopt);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ADD traits\nADD traits\nCHANGE FONT: 5\nCHANGE FONT: 42\n");
  EXPECT_EQ(window.fontSize(), 12);

  window.setFontSize(2.5);
  window.decreaseFontSize();
  window.decreaseFontSize();
  window.handleFontChange(1, 0.4);
  EXPECT_EQ(window.fontSize(), 1);
  EXPECT_EQ(sizes, (std::vector<double>{14, 15, 14, 12, 2.5, 1.5, 1}));
  EXPECT_EQ(DocumentWindowModel(SVGQuarvelDocument::newDocument(), nullptr, -3).fontSize(), 1);
}

TEST(WindowModel, DropsReplaceTheSVGOnlyWithUTF8TextOfADrawingThatOpens) {
  auto document = SVGQuarvelDocument::newDocument();
  DocumentWindowModel window(document, nullptr, 13);
  const std::string svg = "<svg viewBox=\"0 0 4 4\"><circle r=\"2\"/></svg>";
  window.receiveDrop(std::vector<std::uint8_t>(svg.begin(), svg.end()));
  EXPECT_EQ(document->svgString.get(), svg);
  EXPECT_NE(document->swift.get().find("Circle"), std::string::npos);

  const std::string swiftBefore = document->swift.get();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  window.receiveDrop({0x3c, 0x73, 0xff, 0xfe, 0x3e});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: could not load drop data string: 5 bytes\n");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("not UTF-8"), std::string::npos);
  EXPECT_EQ(document->svgString.get(), svg);
  EXPECT_EQ(document->swift.get(), swiftBefore);

  // Text past the largest drawing that opens is refused with the message a file of its size
  // gets; a file dropped is named in it.
  std::vector<DocumentWindowModel::DropError> refused;
  auto refusals = window.dropRefused().sink([&](const DocumentWindowModel::DropError& error) { refused.push_back(error); });
  const std::size_t tooLarge = SVGQuarvelDocument::maximumOpenedSVGBytes + 1;
  testing::internal::CaptureStderr();
  window.receiveDrop(std::vector<std::uint8_t>(tooLarge, ' '));
  window.refuseTooLargeDrop(std::filesystem::path("/drawings/big.svg"), 17u << 20);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(document->svgString.get(), svg);
  EXPECT_EQ(document->swift.get(), swiftBefore);
  ASSERT_EQ(refused.size(), 2u);
  EXPECT_EQ(refused[0].heading, DocumentWindowModel::dropRefusedHeading);
  EXPECT_EQ(refused[0].detail, SVGQuarvelDocument::tooLargeToOpenMessage(std::nullopt, tooLarge));
  EXPECT_EQ(refused[1].detail, SVGQuarvelDocument::tooLargeToOpenMessage("big.svg", 17u << 20));
  EXPECT_NE(refused[1].detail.find("\u201cbig.svg\u201d is too large to open: it has"), std::string::npos)
      << refused[1].detail;

  std::vector<bool> targeted;
  auto sub = window.targetedDidChange().sink([&](bool on) { targeted.push_back(on); });
  window.setTargeted(true);
  window.setTargeted(true);
  window.setTargeted(false);
  EXPECT_EQ(targeted, (std::vector<bool>{true, false}));
}

TEST(WindowModel, DroppedFilesAreReadAsOpenReadsThem) {
  const auto folder = QuarvelTestSupport::scratchDirectory();
  const std::string svg = "<svg viewBox=\"0 0 4 4\"><text>\u00e9</text></svg>";
  std::string utf16 = "\xff\xfe";  // little endian, with its mark
  for (const char c : std::string("<svg viewBox=\"0 0 4 4\"><text>")) utf16 += {c, '\0'};
  utf16 += std::string("\xe9\0", 2);
  for (const char c : std::string("</text></svg>")) utf16 += {c, '\0'};
  QuarvelTestSupport::writeFile(folder / "wide.svg", utf16);
  QuarvelTestSupport::writeFile(folder / "marked.svg", "\xef\xbb\xbf" + svg);
  ASSERT_EQ(::mkfifo((folder / "pipe.svg").c_str(), 0600), 0);
  auto read = [](const std::filesystem::path& url) {
    std::string error;
    bool tooLarge = true;
    const auto data = DocumentWindowModel::readDroppedFile(url, error, &tooLarge);
    EXPECT_FALSE(tooLarge);
    return data ? std::string(data->begin(), data->end()) : "refused: " + error;
  };
  EXPECT_EQ(read(folder / "wide.svg"), svg);
  EXPECT_EQ(read(folder / "marked.svg"), svg);
  EXPECT_EQ(read(folder / "pipe.svg"),
            "refused: The file \u201cpipe.svg\u201d couldn\u2019t be opened because it is a named pipe, not a file.");
  std::filesystem::remove_all(folder);
}

TEST(WindowModel, OrientationIsSharedByEveryWindowThroughTheDefaults) {
  auto suite = layoutSuite();
  ASSERT_TRUE(suite);
  DocumentWindowModel first(SVGQuarvelDocument::newDocument(), suite, 13);
  DocumentWindowModel second(SVGQuarvelDocument::newDocument(), suite, 13);
  EXPECT_TRUE(first.stackVertically()) << "no stored preference: stacked";
  std::vector<bool> seen;
  auto sub = second.layoutDidChange().sink([&](bool stacked) { seen.push_back(stacked); });
  first.toggleLayout();
  FennixTestSupport::runMainLoopUntil([&] { return !seen.empty(); }, 2);
  EXPECT_FALSE(first.stackVertically());
  EXPECT_FALSE(second.stackVertically());
  EXPECT_EQ(seen, std::vector<bool>{false});
  EXPECT_FALSE(suite->bool_(DocumentWindowModel::stackVerticallyKey));
  // A window opened later (or after a relaunch) starts side by side too.
  EXPECT_FALSE(DocumentWindowModel(SVGQuarvelDocument::newDocument(), suite, 13).stackVertically());
  first.toggleLayout();
  FennixTestSupport::runMainLoopUntil([&] { return seen.size() == 2; }, 2);
  EXPECT_TRUE(second.stackVertically());
  std::filesystem::remove(suite->path());
}

TEST(ExportSettingsForm, EveryControlWritesExactlyItsField) {
  const auto& sections = exportSettingsSections();
  ASSERT_EQ(sections.size(), 3u);
  EXPECT_EQ(sections[0].title, "Top Level View");
  EXPECT_EQ(sections[1].title, "Code Generation");
  EXPECT_EQ(sections[2].title, "Indent");
  using Kind = SettingsControl::Kind;
  const SVGQuarvelConfiguration fresh;
  std::vector<std::string> changedKeys;
  for (const auto& section : sections) {
    for (const auto& control : section.controls) {
      SVGQuarvelConfiguration config = fresh;
      switch (control.kind) {
        case Kind::text:
          control.setText(config, "Badge");
          EXPECT_EQ(control.text(config), "Badge");
          break;
        case Kind::toggle:
          control.setOn(config, !control.isOn(fresh));
          EXPECT_EQ(control.isOn(config), !control.isOn(fresh));
          break;
        case Kind::picker:
          ASSERT_EQ(control.items.size(), 2u);
          control.selectItem(config, 1 - control.selectedItem(fresh));
          EXPECT_EQ(control.selectedItem(config), 1 - control.selectedItem(fresh));
          break;
        case Kind::number:
          control.setNumber(config, control.number(fresh) + 1);
          break;
      }
      const auto before = fresh.toJSON(), after = config.toJSON();
      std::vector<std::string> keys;
      for (const auto& [key, value] : after.items()) {
        if (before[key] != value) keys.push_back(key);
      }
      ASSERT_EQ(keys.size(), 1u) << control.label;
      changedKeys.push_back(keys.front());
    }
  }
  EXPECT_EQ(changedKeys, (std::vector<std::string>{"rootViewName", "previewProvider", "imports", "prefixSVG",
                                                   "infoComments", "initType", "positioningType",
                                                   "newlineAfterClosePath", "useHexColor", "maximumFractionDigits",
                                                   "indentUsing", "indent", "indentEmptyLines"}));
  // Picker items in order, with what they select.
  const auto& initStyle = sections[1].controls[2];
  EXPECT_EQ(initStyle.items, (std::vector<std::string>{".init()", "Color()"}));
  SVGQuarvelConfiguration config;
  initStyle.selectItem(config, 0);
  EXPECT_EQ(config.initType, SVGQuarvelConfiguration::InitType::autoInit);
  const auto& indentUsing = sections[2].controls[0];
  EXPECT_EQ(indentUsing.items, (std::vector<std::string>{"Spaces", "Tabs"}));
  indentUsing.selectItem(config, 1);
  EXPECT_EQ(config.indentUsing, SVGQuarvelConfiguration::IndentType::tabs);
}

TEST(ExportSettingsForm, TypedNumbersAreClampedToTheStepperRange) {
  const auto& fractionDigits = exportSettingsSections()[1].controls[6];
  const auto& indent = exportSettingsSections()[2].controls[1];
  EXPECT_EQ(fractionDigits.upperBound, 13);
  EXPECT_EQ(indent.upperBound, 9);
  EXPECT_EQ(fractionDigits.committedNumber("20"), 13);
  EXPECT_EQ(fractionDigits.committedNumber("-2"), 0);
  EXPECT_EQ(fractionDigits.committedNumber("7"), 7);
  EXPECT_EQ(indent.committedNumber("12"), 9);
  EXPECT_EQ(indent.committedNumber("two"), std::nullopt);
}

}  // namespace

#include "SVGQuarvel/Views/EditorPanes.h"

namespace {

TEST(EditorPanes, IndentStyleFollowsTheSettings) {
  SVGQuarvelConfiguration config;
  config.indent = 4;
  EXPECT_EQ(SVGQuarvelViews::codeIndentStyle(config), SyntaxEditor::softTab(4));
  config.indentUsing = SVGQuarvelConfiguration::IndentType::tabs;
  EXPECT_EQ(SVGQuarvelViews::codeIndentStyle(config), SyntaxEditor::system());
  config.indentUsing = SVGQuarvelConfiguration::IndentType::spaces;
  config.indent = -3;
  EXPECT_EQ(SVGQuarvelViews::codeIndentStyle(config), SyntaxEditor::softTab(0));
  config.indent = 1000;
  EXPECT_EQ(SVGQuarvelViews::codeIndentStyle(config), SyntaxEditor::softTab(32));
}

}  // namespace
