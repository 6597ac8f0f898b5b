#include <gtest/gtest.h>

#include "SVGParser/CSS/Parser/CSSStyleSheet.h"
#include "SVGParser/CSS/Parser/TextScanning.h"
#include "Platform/Print.h"

using CSS::Value;

namespace {

std::optional<Value> property(const CSS::Style& style, std::string_view name) { return style[name]; }

}  // namespace

TEST(CSSStyleSheet, RulesFoldIntoIdAndClassTables) {
  const auto sheet = CSS::CSS::fromStringValue(
      "#a { fill: red } .b { stroke: blue; fill: green } #a{fill:blue;stroke:none}");
  EXPECT_EQ(property(sheet.idToStyles.at("a"), "fill"), Value::id("blue"));
  EXPECT_EQ(property(sheet.idToStyles.at("a"), "stroke"), Value::explicitNone());
  EXPECT_EQ(property(sheet.classToStyles.at("b"), "stroke"), Value::id("blue"));
  EXPECT_EQ(property(sheet.classToStyles.at("b"), "fill"), Value::id("green"));
}

TEST(CSSStyleSheet, CommentsAndUnterminatedParts) {
  auto sheet = CSS::CSS::fromStringValue("/* head */ .c { opacity: 0.5 /* inside */ } .d { x:1 } /* open");
  EXPECT_EQ(property(sheet.classToStyles.at("c"), "opacity"), Value::number(0.5));
  EXPECT_EQ(sheet.classToStyles.size(), 2u);
  // Everything after an unterminated opener is gone.
  sheet = CSS::CSS::fromStringValue(".c { fill: red } /* .d { fill: blue }");
  EXPECT_EQ(sheet.classToStyles.count("d"), 0u);
  // Comments do not nest: the text after the first closer stays.
  EXPECT_EQ(CSS::CSS::parseStyle("/* a /* b */ x: 1 */").properties.count("x"), 1u);
  // An unterminated block is read to the end; an empty block and trailing text are ignored.
  sheet = CSS::CSS::fromStringValue(".e {} .c { fill: red");
  EXPECT_EQ(property(sheet.classToStyles.at("c"), "fill"), Value::id("red"));
  EXPECT_EQ(sheet.classToStyles.count("e"), 0u);
  EXPECT_TRUE(CSS::CSS::parseCSS("no braces at all").empty());
  EXPECT_TRUE(CSS::CSS::parseCSS(std::nullopt).empty());
}

TEST(CSSStyleSheet, UnsupportedRulesAreReportedAndDropped) {
  SVGParser::PrintCapture capture;
  const auto sheet = CSS::CSS::fromStringValue("rect { fill: red } { fill: blue }");
  EXPECT_TRUE(sheet.idToStyles.empty());
  EXPECT_TRUE(sheet.classToStyles.empty());
  const auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Unsupported CSS selector: rect style: Style(properties: [\"fill\": id(\"red\")])");
  EXPECT_EQ(lines[1], "Unsupported global CSS: Style(properties: [\"fill\": id(\"blue\")])");
  // A reported block stays on one line.
  capture.clear();
  CSS::CSS::fromStringValue("{ font-family: \"A\",\n B }");
  EXPECT_EQ(capture.text(), "Unsupported global CSS: Style(properties: [\"font-family\": id(\"\\\"A\\\",\\n B\")])\n");
}

TEST(CSSStyleSheet, GroupedSelectorsRegisterEachSelector) {
  SVGParser::PrintCapture capture;
  const auto sheet = CSS::CSS::fromStringValue(".a,.b{fill:red} #i, .c , rect{stroke:blue}");
  EXPECT_EQ(property(sheet.classToStyles.at("a"), "fill"), Value::id("red"));
  EXPECT_EQ(property(sheet.classToStyles.at("b"), "fill"), Value::id("red"));
  EXPECT_EQ(property(sheet.idToStyles.at("i"), "stroke"), Value::id("blue"));
  EXPECT_EQ(property(sheet.classToStyles.at("c"), "stroke"), Value::id("blue"));
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_TRUE(capture.lines()[0].starts_with("Unsupported CSS selector: rect style:"));
  // Commas inside brackets or parentheses do not split the selector.
  const auto rules = CSS::CSS::parseCSS("a[title='x,y'], :is(.p,.q) {fill:red}");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[1].selector, CSS::Selector(CSS::Selector::Unsupported{":is(.p,.q)"}));
  // Other compound selectors stay single selectors as written.
  EXPECT_EQ(CSS::CSS::parseCSS(".a .b{x:1}")[0].selector, CSS::Selector(CSS::Selector::CssClass{"a .b"}));
}

TEST(CSSStyleSheet, DeclarationValuesAreTyped) {
  auto style = CSS::CSS::parseStyle("fill:red;stroke-width:2px; opacity : 50% ;;x");
  EXPECT_EQ(style.properties.size(), 4u);
  EXPECT_EQ(property(style, "fill"), Value::id("red"));
  EXPECT_EQ(property(style, "stroke-width"), Value::pixel(2));
  EXPECT_EQ(property(style, "opacity"), Value::percentValue(50));
  EXPECT_EQ(property(style, "x"), Value::auto_());

  const std::pair<const char*, Value> table[] = {
      {"fill: url(#g) !important", Value::url("#g")},
      {"fill: url( '#a' )", Value::url("'#a'")},
      {"font-family: 'A B', serif", Value::id("'A B', serif")},
      {"transform: rotate(45)", Value::function("rotate", {"45"})},
      {"c: rgb( 1 , 2 ,3 )", Value::function("rgb", {"1", "2", "3"})},
      {"width: 10pt", Value::id("10pt")},
      {"fill: None", Value::id("None")},
      {"fill: none", Value::explicitNone()},
      {"float: clear", Value::clear()},
      {"w: auto", Value::auto_()},
      {"w: 1e2", Value::number(100)},
      {"w: -.5px", Value::pixel(-0.5)},
      {"w: px", Value::id("px")},
      {"w: f)(", Value::id("f)(")},
      {"a:b:c", Value::id("b:c")},
  };
  for (const auto& [text, value] : table) {
    style = CSS::CSS::parseStyle(text);
    ASSERT_EQ(style.properties.size(), 1u) << text;
    EXPECT_EQ(style.properties.begin()->second, value) << text;
  }
  // A piece of blanks only gives the empty name.
  EXPECT_EQ(property(CSS::CSS::parseStyle("  ;"), ""), Value::auto_());
  EXPECT_TRUE(CSS::Style(std::nullopt).isEmpty());
  EXPECT_EQ(CSS::Style("fill: red"), CSS::CSS::parseStyle("fill:red"));
}

TEST(CSSStyleSheet, CascadeOrder) {
  const auto sheet = CSS::CSS::fromStringValue(".x{fill:red} .y{fill:blue} #i{stroke:green}");
  auto resolved = sheet.cssResolver({{"class", "x y"}, {"id", "i"}, {"style", "fill: green"}});
  EXPECT_EQ(resolved["fill"], Value::id("green"));
  EXPECT_EQ(resolved["stroke"], Value::id("green"));
  resolved = sheet.cssResolver({{"class", "x y"}, {"id", "i"}});
  EXPECT_EQ(resolved["fill"], Value::id("blue"));
  resolved = sheet.cssResolver({{"class", "y x"}});
  EXPECT_EQ(resolved["fill"], Value::id("red"));
  EXPECT_FALSE(resolved["stroke"]);
  EXPECT_TRUE(sheet.cssResolver({{"class", "nope"}, {"id", "none"}}).isEmpty());
  EXPECT_TRUE(sheet.cssResolver(SVG::XMLAttributes{}).isEmpty());
  // A class named again counts where it is named last; a property no rule of the element
  // sets is taken from none of them.
  resolved = sheet.cssResolver({{"class", "x y x nope"}, {"style", ""}});
  EXPECT_FALSE(resolved.isEmpty());
  EXPECT_EQ(resolved["fill"], Value::id("red"));
  EXPECT_FALSE(resolved["stroke"]);
  EXPECT_EQ(sheet.cssResolver({{"id", "i"}})["stroke"], Value::id("green"));
}

TEST(CSSStyleSheet, ClassListSplitsAtBlanksOnly) {
  EXPECT_EQ(CSS::classList("a  b"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(CSS::classList("a\tb"), (std::vector<std::string>{"a\tb"}));
  std::string many;
  for (int i = 1; i <= 150; ++i) many += "c" + std::to_string(i) + " ";
  const auto names = CSS::classList(many);
  ASSERT_EQ(names.size(), 101u);
  EXPECT_EQ(names[99], "c100");
  EXPECT_TRUE(names[100].starts_with("c101 c102 "));
}

TEST(TextScanning, UnicodeWhitespaceAndSplits) {
  EXPECT_EQ(SVGParser::trimWhitespace("\u00a0\t a b\u3000\n"), "a b");
  EXPECT_EQ(SVGParser::trimWhitespace("\u2029"), "");
  EXPECT_EQ(SVGParser::trimWhitespace("x\xe2\x80"), "x\xe2\x80");  // a cut sequence is no blank
  EXPECT_EQ(SVGParser::splitOmittingEmpty("::a:b", ':', 1), (std::vector<std::string_view>{"a", "b"}));
  EXPECT_EQ(SVGParser::splitOmittingEmpty("a;;b", ';', 1), (std::vector<std::string_view>{"a", ";b"}));
  EXPECT_EQ(SVGParser::dropLastCharacter("ab\u00e9"), "ab");
}

TEST(CSSStyleSheet, AGroupOfManySelectorsCopiesItsBlockOnlyWithinABoundOfTheText) {
  SVGParser::PrintCapture printed;
  // Thirty thousand selectors before a block of nine hundred properties would copy the block
  // for each: gigabytes from a quarter of a megabyte. That rule is left out and reported; the
  // rules around it stand.
  std::string selectors, block;
  for (int i = 0; i < 30'000; ++i) selectors += (i ? ",.c" : ".c") + std::to_string(i);
  for (int i = 0; i < 900; ++i) block += "p" + std::to_string(i) + ":1;";
  const std::string text = ".a,.b{fill:red} " + selectors + "{" + block + "} .d{stroke:blue}";
  const auto rules = CSS::CSS::parseCSS(text);
  ASSERT_EQ(rules.size(), 3u);
  EXPECT_EQ(rules[1].selector, CSS::Selector(CSS::Selector::CssClass{"b"}));
  EXPECT_EQ(rules[2].selector, CSS::Selector(CSS::Selector::CssClass{"d"}));
  EXPECT_NE(printed.text().find("Style sheet too large, rule left out: .c0,.c1"), std::string::npos) << printed.text();
  const auto sheet = CSS::CSS::fromStringValue(text);
  EXPECT_EQ(sheet.classToStyles.count("c0"), 0u);
  EXPECT_EQ(property(sheet.classToStyles.at("a"), "fill"), Value::id("red"));

  // Groups of the sizes drawings have are all kept, the same block copied for each selector.
  std::string many;
  for (int rule = 0; rule < 2'000; ++rule) {
    for (int i = 0; i < 20; ++i) many += ".g" + std::to_string(rule) + "_" + std::to_string(i) + ",";
    many += "#i" + std::to_string(rule) + "{fill:#123456;stroke:#654321;stroke-width:2;opacity:0.5}\n";
  }
  EXPECT_EQ(CSS::CSS::parseCSS(many).size(), 2'000u * 21);
}

TEST(CSSStyleSheet, ABlockHoldingBlocksIsLeftOutWholeAndTheRulesAfterItStand) {
  SVGParser::PrintCapture printed;
  // Rules inside an at-rule are not applied; the rule after it is, and the at-rule is reported.
  for (const std::string atRule : {"@media (prefers-color-scheme: dark){.a{fill:green}}",
                                   "@supports (display:grid) { .a { fill: green } .c { fill: blue } }",
                                   "@keyframes k { from {opacity:0} to {opacity:1} }",
                                   "@media screen, print {@supports (x:y) {.a{fill:green}} .c{fill:blue}}"}) {
    printed.clear();
    const auto sheet = CSS::CSS::fromStringValue(atRule + " .b{fill:red} #i{stroke:blue}");
    EXPECT_EQ(property(sheet.classToStyles.at("b"), "fill"), Value::id("red")) << atRule;
    EXPECT_EQ(property(sheet.idToStyles.at("i"), "stroke"), Value::id("blue")) << atRule;
    EXPECT_EQ(sheet.classToStyles.size(), 1u) << atRule;
    const auto prelude = SVGParser::trimWhitespace(std::string_view(atRule).substr(0, atRule.find('{')));
    EXPECT_EQ(printed.text(), "Unsupported CSS selector: " + std::string(prelude) + " style: Style(properties: [:])\n");
  }
  // A rule holding a rule is left out whole too, and so is a block without a selector.
  const auto rules = CSS::CSS::parseCSS(".a{fill:red; .x{fill:blue}} {{fill:red}} .b{fill:red}");
  ASSERT_EQ(rules.size(), 3u);
  EXPECT_EQ(rules[0].selector, CSS::Selector(CSS::Selector::Unsupported{".a"}));
  EXPECT_TRUE(rules[0].style.isEmpty());
  EXPECT_FALSE(rules[1].selector);
  EXPECT_EQ(rules[2].selector, CSS::Selector(CSS::Selector::CssClass{"b"}));
  // Braces in strings do not nest; a block without nesting still ends at its first "}".
  auto sheet = CSS::CSS::fromStringValue(
      ".q{font-family:\"{\"} .r{font-family:'x\\'{'} @media x{.a{content:\"}\"}} .s{c:\"}\"}");
  EXPECT_EQ(property(sheet.classToStyles.at("q"), "font-family"), Value::id("\"{\""));
  EXPECT_EQ(property(sheet.classToStyles.at("r"), "font-family"), Value::id("'x\\'{'"));
  EXPECT_EQ(property(sheet.classToStyles.at("s"), "c"), Value::id("\""));
  EXPECT_EQ(sheet.classToStyles.size(), 3u);
}

TEST(CSSStyleSheet, AnAtRuleWithoutABlockEndsAtItsSemicolon) {
  auto sheet = CSS::CSS::fromStringValue("@import url(x); .b{fill:red} @charset \"x\"; @import url(\"a;b\");#i{fill:red}");
  EXPECT_EQ(property(sheet.classToStyles.at("b"), "fill"), Value::id("red"));
  EXPECT_EQ(property(sheet.idToStyles.at("i"), "fill"), Value::id("red"));
  // Without its semicolon, or before a block, the at-rule stays in the selector as written;
  // other text before a semicolon does too.
  EXPECT_EQ(CSS::CSS::parseCSS("@import url(x) .b{x:1}")[0].selector,
            CSS::Selector(CSS::Selector::Unsupported{"@import url(x) .b"}));
  EXPECT_EQ(CSS::CSS::parseCSS("@font-face{x:1}")[0].selector, CSS::Selector(CSS::Selector::Unsupported{"@font-face"}));
  EXPECT_EQ(CSS::CSS::parseCSS("fill:red; .b{x:1}")[0].selector,
            CSS::Selector(CSS::Selector::Unsupported{"fill:red; .b"}));
}

TEST(CSSStyleSheet, UnbalancedAndDeeplyNestedBlocks) {
  // A nested block never closed reads to the end of the text.
  auto rules = CSS::CSS::parseCSS(".a{fill:red} @media x{.b{fill:blue} .c{fill:green}");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0].selector, CSS::Selector(CSS::Selector::CssClass{"a"}));
  EXPECT_EQ(rules[1].selector, CSS::Selector(CSS::Selector::Unsupported{"@media x"}));
  // Hostile depths are counted, not followed.
  constexpr std::size_t depth = 100'000;
  rules = CSS::CSS::parseCSS(".a{fill:red} @media" + std::string(depth, '{') + ".b{fill:blue}");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[1].selector, CSS::Selector(CSS::Selector::Unsupported{"@media"}));
  const auto sheet =
      CSS::CSS::fromStringValue("@media" + std::string(depth, '{') + std::string(depth, '}') + ".b{fill:blue}");
  EXPECT_EQ(property(sheet.classToStyles.at("b"), "fill"), Value::id("blue"));
}
