// The sample drawings: each converts into Swift that parses, and choosing one puts it into the
// front document or into a new window.
#include <gtest/gtest.h>

#include <regex>

#include "SVGQuarvel/App/ExampleSVGs.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#ifdef QUARVEL_HAVE_SWIFT_SYNTAX_CHECK
#include "SwiftSyntaxCheck/SwiftSyntaxCheck.h"
#endif

using SVGQuarvel::DocumentController;
using namespace QuarvelTestSupport;

namespace {

std::string sample(std::string_view title) {
  for (const auto& entry : exampleSVGs) {
    if (entry.title == title) return std::string(entry.svg);
  }
  return "";
}

TEST(AppSamples, EverySampleConvertsIntoSwiftThatParses) {
  std::vector<std::string> titles;
  for (const auto& entry : exampleSVGs) titles.emplace_back(entry.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"Quarvel Glyphs Icon", "Linear Gradient", "Simple Ellipse",
                                              "Blurred Circles", "Merge Filter Drop Shadow", "Gradient Filled Text"}));
  for (const auto& entry : exampleSVGs) {
    SCOPED_TRACE(std::string(entry.title));
    EXPECT_EQ(entry.svg.rfind("<svg", 0), 0u);
    auto config = SVGQuarvelConfiguration();
    const auto result = SVGQuarvelDocument::export_(entry.svg, config);
    EXPECT_FALSE(result.failed);
    EXPECT_NE(result.code.find("struct"), std::string::npos);
#ifdef QUARVEL_HAVE_SWIFT_SYNTAX_CHECK
    const auto problem = SwiftSyntaxCheck::firstSyntaxProblem(result.code);
    EXPECT_FALSE(problem) << problem->description() << "\n" << result.code;
#endif
  }
  // The icon is one even-odd path of 532 characters of path data inside its 24 by 24 box.
  const std::string icon(exampleSVGs[0].svg);
  std::smatch data;
  ASSERT_TRUE(std::regex_search(icon, data, std::regex(" d=\"([^\"]*)\"")));
  EXPECT_EQ(data[1].length(), 532);
  EXPECT_NE(icon.find("fill-rule=\"evenodd\""), std::string::npos);
  // The gradient comes from the style sheet and the filters reach the Swift.
  const auto gradient = SVGQuarvelDocument::export_(sample("Linear Gradient"), SVGQuarvelConfiguration());
  EXPECT_NE(gradient.code.find("LinearGradient"), std::string::npos) << gradient.code;
  const auto blur = SVGQuarvelDocument::export_(sample("Blurred Circles"), SVGQuarvelConfiguration());
  EXPECT_NE(blur.code.find("blur"), std::string::npos) << blur.code;
}

TEST(AppSamples, ASampleReplacesTheFrontDocumentsSVGAndKeepsHandEditedSwift) {
  CapturedConsole console;
  DocumentController controller;
  auto record = controller.openUntitledDocumentAndDisplay(false);
  auto document = record->document();
  const std::string ellipse = sample("Simple Ellipse");

  ExampleSVGsMenu::MenuView::openExample(ellipse, document, controller);
  EXPECT_EQ(document->svgString.get(), ellipse);
  EXPECT_NE(document->swift.get().find("Ellipse"), std::string::npos);
  EXPECT_EQ(document->swift.get(), document->generatedSwift.get());
  EXPECT_EQ(controller.documents().size(), 1u);

  // The same sample again changes nothing: no new generation.
  const std::string generated = document->generatedSwift.get();
  int generations = 0;
  auto counting = document->isRebuilding.didSet().sink([&](bool rebuilding) { generations += rebuilding ? 1 : 0; });
  ExampleSVGsMenu::MenuView::openExample(ellipse, document, controller);
  EXPECT_EQ(generations, 0);
  EXPECT_EQ(document->swift.get(), generated);

  // Hand-edited Swift stays; only the generated code follows the new drawing.
  document->swift = "// my own\n";
  ExampleSVGsMenu::MenuView::openExample(sample("Blurred Circles"), document, controller);
  EXPECT_EQ(document->swift.get(), "// my own\n");
  EXPECT_NE(document->generatedSwift.get(), generated);
  EXPECT_NE(document->generatedSwift.get().find("blur"), std::string::npos);
  EXPECT_EQ(generations, 1);
}

TEST(AppSamples, WithoutAFrontDocumentASampleOpensInANewWindow) {
  CapturedConsole console;
  DocumentController controller;
  int presented = 0;
  controller.setPresenter([&](const SVGQuarvel::DocumentRecordPtr&) { ++presented; });
  ExampleSVGsMenu::MenuView::openExample(sample("Gradient Filled Text"), nullptr, controller);
  ASSERT_EQ(controller.documents().size(), 1u);
  EXPECT_EQ(presented, 1);
  EXPECT_EQ(controller.documents()[0]->document()->svgString.get(), sample("Gradient Filled Text"));
  EXPECT_NE(controller.documents()[0]->document()->swift.get().find("Quarvel"), std::string::npos);

  // A window that cannot open is told to the caller, and its drawing does not go to the next one.
  controller.setPresenter([](const SVGQuarvel::DocumentRecordPtr&) { throw std::runtime_error("no display"); });
  EXPECT_EQ(ExampleSVGsMenu::MenuView::openExample(sample("Simple Ellipse"), nullptr, controller), "no display");
  controller.setPresenter(nullptr);
  EXPECT_EQ(controller.documents().size(), 1u);
  EXPECT_TRUE(SVGQuarvelDocument::pendingSVGs().empty());
  EXPECT_EQ(controller.openUntitledDocumentAndDisplay(false)->document()->svgString.get(), std::string(newDocumentSVG));
}

}  // namespace
