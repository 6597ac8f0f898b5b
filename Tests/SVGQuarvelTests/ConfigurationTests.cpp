#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "Platform/Print.h"
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
}

TEST(ConfigurationTests, RequiredKeysMustBeReadable) {
  const std::pair<const char*, nlohmann::json> malformed[] = {
      {"rootViewName", nullptr}, {"rootViewName", 3},   {"indentUsing", "  "},       {"indentUsing", "tabs"},
      {"indent", "2"},           {"indent", 2.5},       {"indent", 1e30},            {"indent", true},
      {"initType", "Type"},      {"initType", nullptr}, {"positioningType", "left"},
  };
  for (const auto& [key, value] : malformed) {
    nlohmann::json object = requiredOnly();
    object[key] = value;
    EXPECT_NE(decodingFailure(object).find(key), std::string::npos) << key << " " << value.dump();
    object.erase(key);
    EXPECT_NE(decodingFailure(object).find(key), std::string::npos) << key << " missing";
  }
  EXPECT_THROW(Config::fromJSONString("[]"), Config::DecodingError);
  EXPECT_THROW(Config::fromJSONString(std::string(100000, '[')), Config::DecodingError);
}

TEST(ConfigurationTests, OptionalKeysFallBackAndWrongTypesAreReported) {
  SVGParser::PrintCapture capture;
  const Config minimal{"Drawing", Config::IndentType::tabs,     4, false, true, true, true, true, true,
                       Config::InitType::autoInit, Config::PositioningStyle::offset, 2, false};
  nlohmann::json nulls = requiredOnly();
  nulls["maximumFractionDigits"] = nullptr;  // the reading default is 2, not the fresh record's 4
  nulls["unknownKey"] = {1, 2, 3};
  EXPECT_EQ(Config::fromJSON(nulls), minimal);
  EXPECT_TRUE(capture.lines().empty());

  nlohmann::json wrongTypes = requiredOnly();
  wrongTypes["maximumFractionDigits"] = "6";
  wrongTypes["prefixSVG"] = 0;
  wrongTypes["indent"] = 3.0;  // a whole number is an integer
  Config expected = minimal;
  expected.indent = 3;
  EXPECT_EQ(Config::fromJSON(wrongTypes), expected);
  const auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("ERROR: ") && lines[0].find("prefixSVG") != std::string::npos) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("ERROR: ") && lines[1].find("maximumFractionDigits") != std::string::npos)
      << lines[1];
}

TEST(ConfigurationTests, ExporterOptionsFollowTheSettings) {
  SVGSwiftUIExporterConfig expected;  // the exporter's defaults, with the settings over them
  expected.preferInitOverType = false;
  EXPECT_EQ(Config().asExporterConfig(), expected);

  const auto changed = Config{"Root", Config::IndentType::tabs, 3, true, false, false, false, false, false,
                              Config::InitType::autoInit, Config::PositioningStyle::offset, 7, true}
                           .asExporterConfig();
  EXPECT_EQ(changed.indentString, "\t\t\t");
  EXPECT_TRUE(changed.preferInitOverType);
  EXPECT_FALSE(changed.positionUsingPadding);
  EXPECT_FALSE(changed.generatePreviewProvider || changed.generateImport || changed.infoComments);
  EXPECT_TRUE(changed.exportHexColorExtension);
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
