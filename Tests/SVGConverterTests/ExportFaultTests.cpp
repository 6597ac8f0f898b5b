// Drawings that once gave wrong or uncompilable Swift: huge whole numbers, the grey and purple
// colour names the keyword table lacked, and opacities on gradient paint.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "Platform/Print.h"
#include "SwiftSyntaxSupport.h"

namespace {

std::string swiftOf(const std::string& body, std::string* printed = nullptr, const std::string& rootName = "Drawing") {
  SVGParser::PrintCapture capture;
  auto svg = SVG::SVG::fromSVGString("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
                                     "<linearGradient id=\"g\"><stop offset=\"0\" stop-color=\"red\"/>"
                                     "<stop offset=\"1\" stop-color=\"blue\"/></linearGradient>" +
                                     body + "</svg>");
  EXPECT_TRUE(svg);
  if (!svg) return {};
  SVGSwiftUIExporter::Config config;
  config.rootViewName = rootName;
  std::string swift = SVGSwiftUIExporter::export_(*svg, config);
  if (printed) *printed = capture.text();
  return swift;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ExportFaults, WholeNumbersBeyondTwoToTheFiftyThirdAreFloatLiterals) {
  const std::string swift = swiftOf("<circle cx=\"1e19\" cy=\"-3e300\" r=\"1\"/>");
  EXPECT_TRUE(contains(swift, "10000000000000000000.0")) << swift;
  EXPECT_FALSE(contains(swift, "10000000000000000000)")) << swift;
  EXPECT_FALSE(contains(swift, "10000000000000000000,")) << swift;
  EXPECT_TRUE(isValidSwift(swift));
}

TEST(ExportFaults, EveryCSSGreySpellingAndRebeccaPurpleReadAsTheirColours) {
  const std::pair<const char*, const char*> names[] = {
      {"slategray", "Color(red: 0.4392, green: 0.502, blue: 0.5647)"},
      {"lightslategrey", "Color(red: 0.4667, green: 0.5333, blue: 0.6)"},
      {"darkslategrey", "Color(red: 0.1843, green: 0.3098, blue: 0.3098)"},
      {"RebeccaPurple", "Color(red: 0.4, green: 0.2, blue: 0.6)"},
  };
  for (const auto& [name, expected] : names) {
    std::string printed;
    const std::string swift = swiftOf(std::string("<rect width=\"1\" height=\"1\" fill=\"") + name + "\"/>", &printed);
    EXPECT_TRUE(contains(swift, expected)) << name << "\n" << swift;
    EXPECT_EQ(printed, "") << name;
  }
}

TEST(ExportFaults, OpacityOnGradientPaintDimsThatViewOnly) {
  // Element opacity on a gradient fill; opacity 1 writes nothing extra.
  std::string swift = swiftOf("<rect width=\"4\" height=\"4\" fill=\"url(#g)\" opacity=\"0.5\"/>"
                              "<rect width=\"5\" height=\"5\" fill=\"url(#g)\" opacity=\"1\"/>");
  EXPECT_TRUE(contains(swift, ".fill(Drawing.g)\n        .opacity(0.5)\n")) << swift;
  EXPECT_TRUE(contains(swift, ".fill(Drawing.g)\n    }")) << swift;
  EXPECT_TRUE(isValidSwift(swift));

  // Group opacity times the stroke's own reaches the stroke view, not the solid fill beside it.
  swift = swiftOf("<g opacity=\"0.5\"><rect width=\"4\" height=\"4\" fill=\"red\" stroke=\"url(#g)\" "
                  "stroke-opacity=\"0.4\"/></g>");
  EXPECT_TRUE(contains(swift, ".fill(Color.red.opacity(0.5))\n")) << swift;
  EXPECT_TRUE(contains(swift, ".stroke(Drawing.g, style: .init())\n            .opacity(0.2)\n")) << swift;
  EXPECT_TRUE(isValidSwift(swift));

  // Text painted with a gradient.
  swift = swiftOf("<text fill=\"url(#g)\" opacity=\"0.25\">Hi</text>");
  EXPECT_TRUE(contains(swift, ".background(Drawing.g.mask(Text(\"Hi\")))\n          .opacity(0.25)\n")) << swift;
  EXPECT_TRUE(isValidSwift(swift));
}

TEST(ExportFaults, RootViewNamesBecomeSwiftTypeNamesAsIdsDo) {
  const std::pair<std::string, std::string> names[] = {
      {"Drawing", "Drawing"},
      {"my view", "My_view"},
      {"class", "Class"},
      {"View", "View_"},
      {"Left\u202Eright", "Left_right"},
      {"V: View {}\nlet injected = 1 //", "V__View____let_injected___1___"},
  };
  for (const auto& [name, typeName] : names) {
    const std::string swift = swiftOf("<rect fill=\"url(#g)\" width=\"1\" height=\"1\"/>", nullptr, name);
    EXPECT_TRUE(contains(swift, "struct " + typeName + ": View {")) << name << "\n" << swift;
    EXPECT_TRUE(contains(swift, "(" + typeName + ".g)")) << name;
    EXPECT_TRUE(contains(swift, "struct " + typeName + "_Previews: PreviewProvider {")) << name;
    EXPECT_FALSE(contains(swift, "injected = 1")) << name;
    EXPECT_TRUE(isValidSwift(swift)) << name;
  }
  // Without a name the drawing's own id or a numbered name is used, as before.
  EXPECT_TRUE(contains(swiftOf("<rect width=\"1\" height=\"1\"/>", nullptr, ""), "struct Group1: View {"));
}

TEST(ExportFaults, RootViewNamesThatSwiftAcceptsStandAsTheyAre) {
  // Any identifier Swift takes for a type, whatever its case or first character.
  for (const std::string name : {"myRoot", "_Drawing", "Caf\u00E9", "\u00E9t\u00E9", "x1", "Group1", "g"}) {
    const std::string swift = swiftOf("<rect fill=\"url(#g)\" width=\"1\" height=\"1\"/>"
                                      "<g id=\"myRoot\"><rect width=\"1\" height=\"1\"/></g>",
                                      nullptr, name);
    EXPECT_TRUE(contains(swift, "\nstruct " + name + ": View {")) << name << "\n" << swift;
    EXPECT_TRUE(contains(swift, "struct " + name + "_Previews: PreviewProvider {")) << name;
    // Names drawn for the drawing's own parts still differ from it.
    EXPECT_EQ(swift.find("struct " + name + ": View {"), swift.rfind("struct " + name + ": View {")) << name;
    EXPECT_FALSE(contains(swift, "static let " + name + " ")) << name << "\n" << swift;
    EXPECT_TRUE(isValidSwift(swift)) << name;
  }
  // Names the code around the root's name uses itself would stand for something else there.
  const std::pair<std::string, std::string> changed[] = {
      {"proxy", "Proxy"}, {"previews", "Previews"}, {"body", "Body_"}, {"Color", "Color_"}, {"_", "Z_"},
      {"1st", "Z1st"}, {"a-b", "A_b"}, {"a\u202Eb", "A_b"}};
  for (const auto& [name, typeName] : changed) {
    const std::string swift = swiftOf("<rect width=\"1\" height=\"1\"/>", nullptr, name);
    EXPECT_TRUE(contains(swift, "\nstruct " + typeName + ": View {")) << name << "\n" << swift;
    EXPECT_TRUE(isValidSwift(swift)) << name;
  }
}

// A drawing that uses one large definition many times: `uses` shapes each painted with a
// gradient of its own that takes `stops` stops from a shared template, or filtered with a
// shared filter of `stops` primitives.
std::string explosion(int stops, int uses, bool filter) {
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">";
  svg += filter ? "<filter id=\"f\">" : "<linearGradient id=\"t\">";
  for (int i = 0; i < stops; ++i) {
    svg += filter ? "<feOffset dx=\"" + std::to_string(i) + "\"/>"
                  : "<stop offset=\"" + std::to_string(i) + "%\" stop-color=\"#123456\"/>";
  }
  svg += filter ? "</filter>" : "</linearGradient>";
  for (int i = 0; i < uses; ++i) {
    const std::string n = std::to_string(i);
    if (filter) {
      svg += "<rect width=\"1\" height=\"1\" filter=\"url(#f)\"/>";
    } else {
      svg += "<linearGradient id=\"g" + n + "\" xlink:href=\"#t\" x1=\"" + n + "\"/>";
      svg += "<rect width=\"1\" height=\"1\" fill=\"url(#g" + n + ")\"/>";
    }
  }
  return svg + "</svg>";
}

TEST(ExportFaults, OutputStopsAtTheLimitInsteadOfExploding) {
  for (const bool filter : {false, true}) {
    auto svg = SVG::SVG::fromSVGString(explosion(200, 200, filter));
    ASSERT_TRUE(svg);
    SVGSwiftUIExporter::Config config;
    const std::string whole = SVGSwiftUIExporter::export_(*svg, config);  // the default limit is far off
    EXPECT_GT(whole.size(), 400'000u) << filter;

    // Well below the size of the whole output, in the converter or in the emitter alike.
    for (const std::size_t limit : {std::size_t{20'000}, whole.size() / 2, whole.size() - 1}) {
      config.outputLimit = limit;
      EXPECT_THROW(SVGSwiftUIExporter::export_(*svg, config), SVGSwiftUIExporter::OutputLimitReached)
          << filter << " " << limit;
    }
    config.outputLimit = whole.size();
    EXPECT_EQ(SVGSwiftUIExporter::export_(*svg, config), whole);
    config.outputLimit = 0;  // no limit
    EXPECT_EQ(SVGSwiftUIExporter::export_(*svg, config), whole);
  }

  // A long font name repeated by many texts is bounded by the output alone.
  std::string texts = "<svg xmlns=\"http://www.w3.org/2000/svg\"><style>.t { font-family: '" +
                      std::string(10'000, 'F') + "' }</style>";
  for (int i = 0; i < 100; ++i) texts += "<text class=\"t\">x</text>";
  auto svg = SVG::SVG::fromSVGString(texts + "</svg>");
  ASSERT_TRUE(svg);
  SVGSwiftUIExporter::Config config;
  config.outputLimit = 100'000;
  EXPECT_THROW(SVGSwiftUIExporter::export_(*svg, config), SVGSwiftUIExporter::OutputLimitReached);
}

// Conversions may run on threads the process does not wait for when it ends: the keyword and
// element tables they read must still be there while static objects are being destroyed.
TEST(ExportFaults, ConversionsStillRunningWhenTheProcessEndsFindTheirTables) {
  EXPECT_EXIT(
      {
        std::atomic<int> done{0};
        for (int i = 0; i < 4; ++i) {
          std::thread([&done] {
            for (;;) {
              auto svg = SVG::SVG::fromSVGString(
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><g fill=\"navy\">"
                  "<rect width=\"4\" height=\"4\" stroke=\"teal\"/><path d=\"M0 0L5 5\"/></g></svg>");
              if (svg) (void)SVGSwiftUIExporter::export_(*svg, SVGSwiftUIExporter::Config{});
              done.fetch_add(1);
            }
          }).detach();
        }
        while (done.load() < 100) std::this_thread::yield();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
