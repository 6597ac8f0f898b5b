#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "Fennix/Platform/UserDefaults.h"
#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using Config = SVGQuarvelConfiguration;
using namespace QuarvelTestSupport;

namespace {

std::optional<std::string> storedText() {
  auto data = Config::userDefaults()->data(Config::SVGQuarvelConfigKey);
  if (!data) return std::nullopt;
  return std::string(data->begin(), data->end());
}

void store(const std::string& text) {
  Config::userDefaults()->set(DefaultsData(text.begin(), text.end()), Config::SVGQuarvelConfigKey);
}

std::string expectText(const std::string& what, const std::optional<std::string>& actual, const std::string& wanted) {
  if (actual == wanted) return "";
  return what + ": got \"" + actual.value_or("<none>") + "\", wanted \"" + wanted + "\"\n";
}

class DefaultConfigurationTests : public ::testing::Test {
 protected:
  void SetUp() override {
    Config::registerForChangeNotifications();
    // Start from the fresh record, stored, with every change notification delivered.
    Config::setDefaultConfig(Config());
    store(Config().jsonString());
    FennixTestSupport::runMainLoopFor(0.4);
    console_ = std::make_unique<CapturedConsole>();
  }
  void TearDown() override { console_.reset(); }

  std::unique_ptr<CapturedConsole> console_;
};

}  // namespace

TEST(DefaultConfigurationFirstUseTests, LoadsTheStoredRecordAndWritesNothingBack) {
  auto nothingStored = [] {
    Config::userDefaults()->removeObject(Config::SVGQuarvelConfigKey);
    CapturedConsole console;
    const Config loaded = Config::defaultConfig();
    std::string failures;
    if (loaded != Config() || loaded.maximumFractionDigits != 4) failures += "not the fresh record\n";
    if (storedText()) failures += "a record was stored\n";
    return failures + expectText("log", console.out() + console.err(), "");
  };
  EXPECT_NO_FAILURES_IN_FRESH_PROCESS(nothingStored);

  auto requiredKeysOnly = [] {
    const std::string stored =
        R"({"rootViewName":"Root","indentUsing":"\t","indent":1,"initType":"init","positioningType":"offset"})";
    store(stored);
    const Config loaded = Config::defaultConfig();
    std::string failures;
    if (loaded.rootViewName != "Root" || loaded.indentUsing != Config::IndentType::tabs ||
        loaded.maximumFractionDigits != 2 || !loaded.prefixSVG) {
      failures += "record not read: " + loaded.jsonString() + "\n";
    }
    return failures + expectText("stored", storedText(), stored);
  };
  EXPECT_NO_FAILURES_IN_FRESH_PROCESS(requiredKeysOnly);

  auto unreadable = [] {
    store("not json");
    CapturedConsole console;
    std::string failures;
    if (Config::defaultConfig() != Config()) failures += "not the fresh record\n";
    if (console.err().rfind("ERROR: could not decode config: 8 bytes ", 0) != 0) {
      failures += "error line: " + console.err() + "\n";
    }
    // The damaged value stays until the default next changes.
    failures += expectText("stored", storedText(), "not json");
    Config::modifyDefaultConfig([](Config& config) { config.indent = 3; });
    Config changed;
    changed.indent = 3;
    return failures + expectText("stored after a change", storedText(), changed.jsonString());
  };
  EXPECT_NO_FAILURES_IN_FRESH_PROCESS(unreadable);
}

TEST_F(DefaultConfigurationTests, StoresOnlyWhenTheRecordChanges) {
  Config::userDefaults()->removeObject(Config::SVGQuarvelConfigKey);
  Config::setDefaultConfig(Config::defaultConfig());
  Config::modifyDefaultConfig([](Config&) {});
  EXPECT_FALSE(storedText());
  EXPECT_EQ(console_->out(), "");

  Config::modifyDefaultConfig([](Config& config) { config.prefixSVG = false; });
  Config changed;
  changed.prefixSVG = false;
  EXPECT_EQ(Config::defaultConfig(), changed);
  EXPECT_EQ(storedText(), changed.jsonString());
  EXPECT_EQ(console_->out(), "writing default config\n");

  Config::setDefaultConfig(Config());
  EXPECT_EQ(storedText(), Config().jsonString());
  EXPECT_EQ(console_->out(), "writing default config\nwriting default config\n");
  FennixTestSupport::runMainLoopFor(0.4);  // our own writes reload nothing
  EXPECT_EQ(console_->out(), "writing default config\nwriting default config\n");
}

TEST_F(DefaultConfigurationTests, TakesARecordStoredByAnotherProcessWithoutWritingItBack) {
  Config::registerForChangeNotifications();  // a second call adds no observer

  // Another process stores a different record, in its own layout.
  const std::string theirs =
      "{ \"useHexColor\": true, \"rootViewName\": \"Theirs\", \"indentUsing\": \" \", \"indent\": 2,\n"
      "  \"initType\": \"type\", \"positioningType\": \"padding\" }";
  auto otherProcess = [&theirs] {
    store(theirs);
    FennixTestSupport::runMainLoopFor(0.6);  // lets the change relay announce it
    return std::string();
  };
  EXPECT_NO_FAILURES_IN_FRESH_PROCESS(otherProcess);

  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([] { return Config::defaultConfig().useHexColor; }, 10));
  FennixTestSupport::runMainLoopFor(0.4);
  EXPECT_EQ(Config::defaultConfig().rootViewName, "Theirs");
  EXPECT_EQ(Config::defaultConfig().maximumFractionDigits, 2);
  EXPECT_EQ(console_->out(), "reloading default config\n");
  EXPECT_EQ(storedText(), theirs);

  // A change of another setting finds an equal record and does nothing.
  NSUserDefaults::standard()->set(true, "UseVerticalUI");
  FennixTestSupport::runMainLoopFor(0.3);
  EXPECT_EQ(console_->out(), "reloading default config\n");
  EXPECT_EQ(storedText(), theirs);
}
