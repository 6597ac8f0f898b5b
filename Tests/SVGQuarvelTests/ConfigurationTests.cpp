#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "SVGParser/Platform/Print.h"
#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"

using Config = SVGQuarvelConfiguration;

namespace {

const char* const freshJSON =
    R"({"rootViewName":"","indentUsing":" ","indent":2,"indentEmptyLines":false,"prefixSVG":true,)"
    R"("infoComments":true,"previewProvider":true,"imports":true,"newlineAfterClosePath":true,)"
    R"("initType":"type","positioningType":"padding","maximumFractionDigits":4,"useHexColor":false})";

// The five required keys and nothing else, with one key replaced or removed.
nlohmann::json requiredOnly() {
  return {{"rootViewName", "Drawing"}, {"indentUsing", "\t"}, {"indent", 4}, {"initType", "init"},
          {"positioningType", "offset"}};
}

std::string decodingFailure(const nlohmann::json& object) {
  try {
    Config::fromJSON(object);
  } catch (const Config::DecodingError& error) {
    return error.what();
  }
  return "";
}

}  // namespace

TEST(ConfigurationTests, WritesAllKeysInFieldOrder) {
  EXPECT_EQ(Config().jsonString(), freshJSON);

  const Config changed{"Grüße/\"quoted\"", Config::IndentType::tabs, -3, true, false, true, true, false, true,
                       Config::InitType::autoInit, Config::PositioningStyle::offset, 0, true};
  EXPECT_EQ(changed.jsonString(),
            R"({"rootViewName":"Grüße\/\"quoted\"","indentUsing":"\t","indent":-3,"indentEmptyLines":true,)"
            R"("prefixSVG":false,"infoComments":true,"previewProvider":true,"imports":false,)"
            R"("newlineAfterClosePath":true,"initType":"init","positioningType":"offset",)"
            R"("maximumFractionDigits":0,"useHexColor":true})");
  EXPECT_EQ(Config::fromJSONString(changed.jsonString()), changed);
  EXPECT_EQ(Config::fromJSONString(Config().jsonString()), Config());
  EXPECT_EQ(Config::fromJSON(nlohmann::ordered_json::parse(freshJSON)), Config());
  Config prefixOnly;
  prefixOnly.prefixSVG = false;
  EXPECT_NE(prefixOnly, Config());
}

TEST(ConfigurationTests, RequiredKeysMustBeReadable) {
  EXPECT_NE(decodingFailure(nlohmann::json::object()).find("rootViewName"), std::string::npos);
  for (const char* key : {"rootViewName", "indentUsing", "indent", "initType", "positioningType"}) {
    nlohmann::json missing = requiredOnly();
    missing.erase(key);
    EXPECT_NE(decodingFailure(missing).find(key), std::string::npos) << key;
    nlohmann::json null = requiredOnly();
    null[key] = nullptr;
    EXPECT_NE(decodingFailure(null).find(key), std::string::npos) << key;
  }
  const std::pair<const char*, nlohmann::json> malformed[] = {
      {"rootViewName", 3},         {"indentUsing", "  "},     {"indentUsing", "tabs"}, {"indent", "2"},
      {"indent", 2.5},             {"indent", 1e30},           {"indent", true},       {"initType", "Type"},
      {"positioningType", "left"}, {"initType", nlohmann::json::array()},
  };
  for (const auto& [key, value] : malformed) {
    nlohmann::json object = requiredOnly();
    object[key] = value;
    EXPECT_NE(decodingFailure(object).find(key), std::string::npos) << key << " " << value.dump();
  }
  EXPECT_THROW(Config::fromJSONString("[]"), Config::DecodingError);
  EXPECT_THROW(Config::fromJSONString("{\"rootViewName\":"), Config::DecodingError);
  EXPECT_THROW(Config::fromJSONString(std::string(100000, '[')), Config::DecodingError);
}

TEST(ConfigurationTests, DefaultedKeysFallBack) {
  PrintCapture capture;
  const Config minimal = Config::fromJSON(requiredOnly());
  EXPECT_EQ(minimal.rootViewName, "Drawing");
  EXPECT_EQ(minimal.indentUsing, Config::IndentType::tabs);
  EXPECT_EQ(minimal.indent, 4);
  EXPECT_EQ(minimal.initType, Config::InitType::autoInit);
  EXPECT_EQ(minimal.positioningType, Config::PositioningStyle::offset);
  EXPECT_FALSE(minimal.indentEmptyLines);
  EXPECT_TRUE(minimal.prefixSVG && minimal.infoComments && minimal.previewProvider && minimal.imports &&
              minimal.newlineAfterClosePath);
  EXPECT_EQ(minimal.maximumFractionDigits, 2);  // the reading default, not the fresh record's 4
  EXPECT_FALSE(minimal.useHexColor);

  nlohmann::json nulls = requiredOnly();
  nulls["maximumFractionDigits"] = nullptr;
  nulls["prefixSVG"] = nullptr;
  nulls["unknownKey"] = {1, 2, 3};
  EXPECT_EQ(Config::fromJSON(nulls), minimal);
  EXPECT_TRUE(capture.lines().empty());

  nlohmann::json wrongTypes = requiredOnly();
  wrongTypes["maximumFractionDigits"] = "6";
  wrongTypes["prefixSVG"] = 0;
  wrongTypes["useHexColor"] = true;
  const Config read = Config::fromJSON(wrongTypes);
  EXPECT_EQ(read.maximumFractionDigits, 2);
  EXPECT_TRUE(read.prefixSVG);
  EXPECT_TRUE(read.useHexColor);
  const auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("ERROR: ") && lines[0].find("prefixSVG") != std::string::npos) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("ERROR: ") && lines[1].find("maximumFractionDigits") != std::string::npos)
      << lines[1];

  nlohmann::json wholeNumbers = requiredOnly();
  wholeNumbers["indent"] = 3.0;
  wholeNumbers["maximumFractionDigits"] = 6;
  EXPECT_EQ(Config::fromJSON(wholeNumbers).indent, 3);
  EXPECT_EQ(Config::fromJSON(wholeNumbers).maximumFractionDigits, 6);
}

TEST(ConfigurationTests, ExporterOptions) {
  SVGSwiftUIExporterConfig expected;  // the exporter's defaults, with the settings over them
  expected.preferInitOverType = false;
  EXPECT_EQ(Config().asExporterConfig(), expected);

  const Config changed{"Root", Config::IndentType::tabs, 3, true, false, false, false, false, false,
                       Config::InitType::autoInit, Config::PositioningStyle::offset, 7, true};
  expected.rootViewName = "Root";
  expected.indentString = "\t\t\t";
  expected.indentEmptyLines = true;
  expected.infoComments = false;
  expected.generatePreviewProvider = false;
  expected.generateImport = false;
  expected.newlineAfterClosePath = false;
  expected.preferInitOverType = true;
  expected.positionUsingPadding = false;
  expected.maximumFractionDigits = 7;
  expected.exportHexColorExtension = true;
  EXPECT_EQ(changed.asExporterConfig(), expected);
}

TEST(ConfigurationTests, OutOfRangeCountsAreBounded) {
  Config config;
  const std::pair<std::int64_t, std::size_t> indents[] = {
      {0, 0}, {-1, 0}, {std::numeric_limits<std::int64_t>::min(), 0}, {32, 32}, {33, 32}, {1'000'000'000'000, 32}};
  for (const auto& [indent, length] : indents) {
    config.indent = indent;
    EXPECT_EQ(config.asExporterConfig().indentString, std::string(length, ' ')) << indent;
  }
  config.maximumFractionDigits = -3;
  EXPECT_EQ(config.asExporterConfig().maximumFractionDigits, 0);
  config.maximumFractionDigits = std::int64_t(1) << 40;
  EXPECT_EQ(config.asExporterConfig().maximumFractionDigits, std::numeric_limits<int>::max());

  // Stored values out of range are kept as they are.
  config.indent = -5;
  EXPECT_EQ(Config::fromJSONString(config.jsonString()).indent, -5);
}
