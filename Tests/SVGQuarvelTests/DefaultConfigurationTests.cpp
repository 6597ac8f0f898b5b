#include <gtest/gtest.h>

#include <string>

#include "Fennix/Foundation/UserDefaults.h"
#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using Config = SVGQuarvelConfiguration;
using namespace QuarvelTestSupport;

namespace {

std::string stored() {
  auto data = Config::userDefaults()->data(Config::SVGQuarvelConfigKey);
  return data ? std::string(data->begin(), data->end()) : "<none>";
}

void store(const std::string& text) {
  Config::userDefaults()->set(DefaultsData(text.begin(), text.end()), Config::SVGQuarvelConfigKey);
}

}  // namespace

TEST(DefaultConfigurationTests, FirstReadLoadsWhatIsStoredAndWritesNothing) {
  auto nothingStored = [] {
    Config::userDefaults()->removeObject(Config::SVGQuarvelConfigKey);
    CapturedConsole console;
    const bool fresh = Config::defaultConfig() == Config();
    return std::string(fresh ? "" : "not the fresh record\n") + (stored() == "<none>" ? "" : "stored: " + stored()) +
           console.out() + console.err();
  };
  EXPECT_NO_FAILURES_IN_FRESH_PROCESS(nothingStored);

  auto unreadable = [] {
    store("not json");
    CapturedConsole console;
    std::string failures = Config::defaultConfig() == Config() ? "" : "not the fresh record\n";
    if (console.err().rfind("ERROR: could not decode config: 8 bytes ", 0) != 0) failures += console.err();
    if (stored() != "not json") failures += "replaced at once\n";  // only a change replaces it
    Config::modifyDefaultConfig([](Config& config) { config.indent = 3; });
    return failures + (stored() == Config::defaultConfig().jsonString() ? "" : "not stored: " + stored());
  };
  EXPECT_NO_FAILURES_IN_FRESH_PROCESS(unreadable);
}

TEST(DefaultConfigurationTests, StoresOnlyChanges) {
  Config::registerForChangeNotifications();
  Config::setDefaultConfig(Config());
  Config::userDefaults()->removeObject(Config::SVGQuarvelConfigKey);
  CapturedConsole console;

  Config::setDefaultConfig(Config());
  Config::modifyDefaultConfig([](Config&) {});
  EXPECT_EQ(stored(), "<none>");
  Config changed;
  changed.prefixSVG = false;  // one switch alone is a change
  Config::modifyDefaultConfig([](Config& config) { config.prefixSVG = false; });
  EXPECT_EQ(stored(), changed.jsonString());
  Config::setDefaultConfig(Config());
  EXPECT_EQ(stored(), Config().jsonString());
  FennixTestSupport::runMainLoopFor(0.4);  // our own writes reload nothing
  EXPECT_EQ(console.out(), "writing default config\nwriting default config\n");
}

TEST(DefaultConfigurationTests, TakesARecordAnotherProcessStoredWithoutWritingItBack) {
  // (A death test's child runs these first lines too: they leave the store as it is.)
  Config::registerForChangeNotifications();
  Config::registerForChangeNotifications();  // a second call adds no observer
  Config::setDefaultConfig(Config());
  store(Config().jsonString());
  FennixTestSupport::runMainLoopFor(0.4);
  CapturedConsole console;

  const std::string theirs =
      "{ \"useHexColor\": true, \"rootViewName\": \"Theirs\", \"indentUsing\": \" \", \"indent\": 2,\n"
      "  \"initType\": \"type\", \"positioningType\": \"padding\" }";
  auto otherProcess = [&theirs] {
    store(theirs);
    FennixTestSupport::runMainLoopFor(0.6);  // lets the change relay announce it
    return std::string();
  };
  EXPECT_NO_FAILURES_IN_FRESH_PROCESS(otherProcess);
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([] { return Config::defaultConfig().useHexColor; }));
  FennixTestSupport::runMainLoopFor(0.4);
  EXPECT_EQ(Config::defaultConfig().rootViewName, "Theirs");
  EXPECT_EQ(console.out(), "reloading default config\n");
  EXPECT_EQ(stored(), theirs);

  // A change of another setting finds an equal record.
  NSUserDefaults::standard()->set(true, "UseVerticalUI");
  FennixTestSupport::runMainLoopFor(0.3);
  EXPECT_EQ(console.out(), "reloading default config\n");
  Config::setDefaultConfig(Config());
}
