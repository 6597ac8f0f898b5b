// The converter counts the code each element leads to while it converts, so that a drawing whose
// code would pass the output limit stops before its view model is built. The count must never
// pass the code actually written (or drawings within the limit would be refused), and must come
// near it for drawings of many small elements (or they would be converted whole first).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "Benchmarks/Support/Corpus.h"
#include "GoldenCases.h"
#include "Platform/Print.h"
#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGConverter/ShapeShifter/SVGSwiftUIQuarvel.h"

namespace {

struct Layout {
  std::string indent;
  bool infoComments;
  bool preferInit;
  bool positionUsingPadding;
};

SVGSwiftUIExporter::Config configOf(const Layout& layout) {
  SVGSwiftUIExporter::Config config;
  config.indentString = layout.indent;
  config.infoComments = layout.infoComments;
  config.preferInitOverType = layout.preferInit;
  config.positionUsingPadding = layout.positionUsingPadding;
  config.generateImport = false;
  config.generatePreviewProvider = false;
  config.outputLimit = 0;
  config.rootViewName = "D";
  return config;
}

/// The bytes the converter counts for `svg` converted for `config`.
std::size_t projected(const SVG::SVG& svg, const SVGSwiftUIExporter::Config& config) {
  SVGSwiftUIQuarvel converter;
  converter.setOutputLimit(0, {config.indentString.size(), config.infoComments});
  converter.pushAttributes(SVGSwiftUIQuarvel::defaultAttributes());
  converter.shapeSVGNode(svg, config.rootViewName);
  return converter.projectedOutputBytes();
}

const std::vector<Layout> layouts = {
    {"", false, true, true}, {"  ", true, false, false}, {"\t", false, false, true}, {"        ", true, true, false}};

std::string drawing(const std::string& body) { return "<svg xmlns=\"http://www.w3.org/2000/svg\">" + body + "</svg>"; }

// Every kind of element, at several depths, in the shortest forms it can take.
const std::vector<std::string> smallDrawings = {
    drawing("<g/>"),
    drawing("<g><g><g/></g></g>"),
    drawing("<svg/><svg width=\"1\" height=\"2\" viewBox=\"0 0 3 4\"><g/></svg>"),
    drawing("<text/><text>x</text><g><text x=\"1\" y=\"2\">a\"\\b&amp;</text></g>"),
    drawing("<rect/><circle/><ellipse/><rect rx=\"1\" width=\"2\" height=\"3\"/>"),
    drawing("<g><circle r=\"1\" fill=\"none\" stroke=\"red\"/><ellipse rx=\"1\" ry=\"2\"/></g>"),
    drawing("<path/><line/><polygon/><polyline/><polygon points=\"0 0\"/><polyline points=\"0 0 1 1 2 2\"/>"),
    drawing("<path d=\"M0 0ZZZ\"/><path d=\"M0 0L1 1 2 2 3 3h1v1Z\"/><path d=\"M0 0a1 1 0 0 1 1 1c1 1 1 1 1 1\"/>"),
    drawing("<g id=\"a\"><path id=\"b\" d=\"M0 0z\"/><rect id=\"c\"/></g>"),
    drawing(std::string(30, ' ') + [] {
      std::string many;
      for (int i = 0; i < 100; ++i) many += "<g/><rect/><text>t</text>";
      return many;
    }()),
};

}  // namespace

TEST(OutputProjection, NeverPassesTheCodeWritten) {
  SVGParser::PrintCapture quiet;
  std::vector<std::pair<std::string, std::string>> cases;  // label, text
  for (std::size_t i = 0; i < smallDrawings.size(); ++i) cases.emplace_back("small " + std::to_string(i), smallDrawings[i]);
  for (const auto& folder : {"golden", "golden-swift"}) {
    for (const auto& golden : GoldenCases::find(GoldenCases::root(folder), ".none")) {
      cases.emplace_back(golden.label(), GoldenCases::read(golden.svg));
    }
  }
  ASSERT_GT(cases.size(), 25u);
  for (const auto& [label, text] : cases) {
    auto svg = SVG::SVG::fromSVGString(text);
    ASSERT_TRUE(svg) << label;
    for (const Layout& layout : layouts) {
      const auto config = configOf(layout);
      const std::size_t counted = projected(*svg, config);
      const std::size_t written = SVGSwiftUIExporter::export_(*svg, config).size();
      EXPECT_LE(counted, written) << label << " indent " << layout.indent.size();
      // What reading counts is less again.
      std::size_t read = 0;
      const SVGSwiftUIQuarvel::OutputLayout outputLayout{layout.indent.size(), layout.infoComments};
      ASSERT_TRUE(SVG::SVG::fromSVGString(text, [&](const SVG::GroupItem& element, std::size_t depth) {
        read += SVGSwiftUIQuarvel::leastCode(element, depth, outputLayout);
      }));
      EXPECT_LE(read, counted) << label << " indent " << layout.indent.size();
      // The whole code within the limit is written, however tight the limit.
      auto limited = config;
      limited.outputLimit = written;
      EXPECT_EQ(SVGSwiftUIExporter::export_(*svg, limited).size(), written) << label;
    }
  }
}

TEST(OutputProjection, ComesNearTheCodeOfManySmallElements) {
  SVGParser::PrintCapture quiet;
  // Empty groups, texts and shapes side by side and nested, the drawings that give the most
  // code for their text: counted at four fifths or seven tenths of the code at least.
  std::string flat, nested;
  for (int i = 0; i < 2000; ++i) flat += i % 3 == 0 ? "<g/>" : i % 3 == 1 ? "<text/>" : "<rect/>";
  for (int i = 0; i < 100; ++i) nested += "<g><g><circle/><path d=\"M0 0z\"/></g><text>x</text></g>";
  for (const auto& [body, tenths] : {std::pair{flat, 8u}, std::pair{nested, 7u}}) {
    auto svg = SVG::SVG::fromSVGString(drawing(body));
    ASSERT_TRUE(svg);
    for (const Layout& layout : layouts) {
      const auto config = configOf(layout);
      const std::size_t counted = projected(*svg, config);
      const std::size_t written = SVGSwiftUIExporter::export_(*svg, config).size();
      EXPECT_GE(counted * 10, written * tenths) << counted << " of " << written << ", indent " << layout.indent.size();
    }
  }
}

TEST(OutputProjection, ConversionStopsOnceTheCountPassesTheLimit) {
  SVGParser::PrintCapture quiet;
  std::string body;
  for (int i = 0; i < 10'000; ++i) body += "<g/>";
  auto svg = SVG::SVG::fromSVGString(drawing(body));
  ASSERT_TRUE(svg);
  // The converter itself gives up, a tenth of the way through, before the emitter starts.
  SVGSwiftUIQuarvel converter;
  converter.setOutputLimit(100'000, {2, true});
  converter.pushAttributes(SVGSwiftUIQuarvel::defaultAttributes());
  EXPECT_THROW(converter.shapeSVGNode(*svg, "D"), SVGConverter::OutputLimitReached);
  EXPECT_GT(converter.projectedOutputBytes(), 100'000u);
  EXPECT_LT(converter.projectedOutputBytes(), 100'400u);

  // An export with that limit stops the same way; without a limit it is far longer.
  SVGSwiftUIExporter::Config config;
  config.outputLimit = 100'000;
  EXPECT_THROW(SVGSwiftUIExporter::export_(*svg, config), SVGSwiftUIExporter::OutputLimitReached);
  config.outputLimit = 0;
  EXPECT_GT(SVGSwiftUIExporter::export_(*svg, config).size(), 1'000'000u);
}

TEST(OutputProjection, ReadingStopsOnceTheLeastCodeOfTheElementsPassesTheLimit) {
  SVGParser::PrintCapture quiet;
  // Every element is shown once, a container after its content, with its depth.
  std::vector<std::pair<std::size_t, std::size_t>> seen;  // variant index, depth
  ASSERT_TRUE(SVG::SVG::fromSVGString(drawing("<g><rect/><g><text>t</text></g></g><image/><svg/>"),
                                      [&](const SVG::GroupItem& element, std::size_t depth) {
                                        seen.emplace_back(element.variant().index(), depth);
                                      }));
  EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, std::size_t>>{{5, 2}, {10, 3}, {1, 2}, {1, 1}, {9, 1}, {0, 1}}));

  // Ten thousand empty groups are given up at the first few hundred.
  std::string body;
  for (int i = 0; i < 10'000; ++i) body += "<g/>";
  SVGConverter::OutputBudget budget(50'000);
  std::size_t elements = 0;
  EXPECT_THROW(SVG::SVG::fromSVGString(drawing(body),
                                       [&](const SVG::GroupItem& element, std::size_t depth) {
                                         ++elements;
                                         budget.charge(SVGSwiftUIQuarvel::leastCode(element, depth, {2, true}));
                                       }),
               SVGConverter::OutputLimitReached);
  EXPECT_LT(elements, 1'000u);
}

namespace {

// Options that lay code out as tightly as they can, as the application does, and as loosely.
std::vector<std::pair<std::string, SVGSwiftUIExporter::Config>> corpusConfigs() {
  SVGSwiftUIExporter::Config tight;
  tight.rootViewName = "D";
  tight.indentString = "";
  tight.infoComments = false;
  tight.preferInitOverType = true;
  tight.exportHexColorExtension = true;
  tight.maximumFractionDigits = 0;
  tight.useThousandsSeparator = false;
  tight.frameAsProperty = false;
  tight.assumeDefaultStrokeStyle = true;
  tight.shapeTypePrefix = "";
  tight.newlineAfterClosePath = false;
  tight.modifiersForInlinableFilters = false;
  tight.inlineFiltersIfPossible = true;
  tight.generateImport = false;
  tight.generatePreviewProvider = false;
  tight.modifierSectionComment = std::nullopt;
  tight.nestedViewsSectionComment = std::nullopt;
  SVGSwiftUIExporter::Config loose;
  loose.indentString = "\t\t";
  loose.preferInitOverType = false;
  loose.positionUsingPadding = false;
  loose.preferMultilineConstants = true;
  loose.inlineFiltersIfPossible = false;
  loose.indentEmptyLines = true;
  loose.maximumFractionDigits = 8;
  return {{"default", SVGSwiftUIExporter::Config{}}, {"tight", tight}, {"loose", loose}};
}

// One gradient of many stops that many gradients take as their template, each writing the stops
// again; and filters of primitives that are not written at all.
std::string sharedStops(int stops, int users) {
  std::string body = "<linearGradient id=\"s\">";
  for (int i = 0; i < stops; ++i) body += i % 2 ? "<stop stop-color=\"red\"/>" : "<stop stop-color=\"#123456\"/>";
  body += "</linearGradient>";
  for (int i = 0; i < users; ++i) body += "<linearGradient id=\"u" + std::to_string(i) + "\" href=\"#s\"/>";
  return drawing(body + "<rect width=\"1\" height=\"1\" fill=\"url(#u0)\"/>");
}

std::string unwrittenFilters(int filters, int primitives) {
  std::string body;
  for (int f = 0; f < filters; ++f) {
    body += "<filter id=\"f" + std::to_string(f) + "\">";
    for (int i = 0; i < primitives; ++i) body += "<feTurbulence/><feColorMatrix/>";
    body += "</filter><rect width=\"1\" height=\"1\" filter=\"url(#f" + std::to_string(f) + ")\"/>";
  }
  return drawing(body);
}

std::vector<std::pair<std::string, std::string>> projectionCorpus() {
  std::vector<std::pair<std::string, std::string>> cases;  // name, text
  for (std::size_t i = 0; i < smallDrawings.size(); ++i) cases.emplace_back("small " + std::to_string(i), smallDrawings[i]);
  cases.emplace_back("shared stops", sharedStops(400, 60));
  cases.emplace_back("unwritten filters", unwrittenFilters(30, 40));
  for (const auto& folder : {"golden", "golden-swift"}) {
    for (const auto& golden : GoldenCases::find(GoldenCases::root(folder), ".none")) {
      cases.emplace_back(golden.label(), GoldenCases::read(golden.svg));
    }
  }
  for (auto& icon : corpus::bootstrapIcons()) cases.emplace_back(std::move(icon.name), std::move(icon.svg));
  for (auto& emoji : corpus::fluentEmoji()) cases.emplace_back(std::move(emoji.name), std::move(emoji.svg));
  return cases;
}


}  // namespace

// Whether the address sanitizer is built in (g++ names it one way, clang another).
#if defined(__SANITIZE_ADDRESS__)
#define QUARVEL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARVEL_ADDRESS_SANITIZER 1
#endif
#endif

TEST(OutputProjection, EveryDrawingOfTheCorpusExportsUnderALimitOfItsOwnCodesSize) {
#if defined(QUARVEL_ADDRESS_SANITIZER)
  // Many times slower there: the normal build checks the corpus, the other tests here check the
  // count in the sanitizer build.
  GTEST_SKIP() << "the normal build checks every drawing of the corpus";
#endif
  SVGParser::PrintCapture quiet;
  const auto cases = projectionCorpus();
  ASSERT_GT(cases.size(), 40u);
  if (cases.size() < 5000) std::fprintf(stderr, "icon sets missing: only %zu drawings\n", cases.size());
  std::size_t failures = 0;
  for (std::size_t index = 0; index < cases.size() && failures < 20; ++index) {
    const auto& [name, text] = cases[index];
    auto svg = SVG::SVG::fromSVGString(text);
    if (!svg) continue;
    for (const auto& [configName, unlimited] : corpusConfigs()) {
      auto config = unlimited;
      config.outputLimit = 0;
      const std::size_t written = SVGSwiftUIExporter::export_(*svg, config).size();
      const std::string label = name + " (" + configName + ", " + std::to_string(written) + " bytes)";
      // Neither reading, nor converting, nor writing gives up within the exact size of the code.
      const SVGSwiftUIQuarvel::OutputLayout layout{config.indentString.size(), config.infoComments};
      SVGConverter::OutputBudget reading(written);
      try {
        (void)SVG::SVG::fromSVGString(text, [&](const SVG::GroupItem& element, std::size_t depth) {
          reading.charge(SVGSwiftUIQuarvel::leastCode(element, depth, layout));
        });
      } catch (const SVGConverter::OutputLimitReached&) {
        ADD_FAILURE() << label << ": reading counted more";
        ++failures;
      }
      config.outputLimit = written;
      try {
        EXPECT_EQ(SVGSwiftUIExporter::export_(*svg, config).size(), written) << label;
      } catch (const SVGConverter::OutputLimitReached&) {
        SVGSwiftUIQuarvel converter;
        converter.setOutputLimit(0, layout);
        converter.pushAttributes(SVGSwiftUIQuarvel::defaultAttributes());
        converter.shapeSVGNode(*svg, config.rootViewName);
        ADD_FAILURE() << label << ": refused; the conversion counted " << converter.projectedOutputBytes();
        ++failures;
      }
    }
  }
}
