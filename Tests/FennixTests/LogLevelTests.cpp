#include <gtest/gtest.h>

#include <cstdlib>

#include "Fennix/console/LogLevel.h"
#include "LogTestSupport.h"

using LogTestSupport::StandardStreamCapture;

TEST(LogLevelTests, ReadsLevelsFromText) {
  struct Case {
    const char* text;
    LogLevel level;
  };
  const Case cases[] = {
      {"", LogLevel::error},        {"error", LogLevel::error},     {"warn", LogLevel::warn},
      {"warning", LogLevel::warn},  {"warnings", LogLevel::warn},   {"info", LogLevel::info},
      {"information", LogLevel::info}, {"debug", LogLevel::info},   {"trace", LogLevel::trace},
      {"log", LogLevel::log},
  };
  StandardStreamCapture out(1);
  for (const Case& c : cases) EXPECT_EQ(LogLevel::fromString(c.text), c.level) << c.text;
  EXPECT_EQ(out.finish(), "");
}

TEST(LogLevelTests, UnsupportedTextIsReportedAndReadsAsError) {
  StandardStreamCapture out(1);
  EXPECT_EQ(LogLevel::fromString("Trace"), LogLevel::error);
  EXPECT_EQ(LogLevel::fromString("logging"), LogLevel::error);
  EXPECT_EQ(LogLevel::fromString("debugging"), LogLevel::error);
  EXPECT_EQ(out.finish(),
            "ERROR: unsupported LOGLEVEL: `Trace`\n"
            "ERROR: unsupported LOGLEVEL: `logging`\n"
            "ERROR: unsupported LOGLEVEL: `debugging`\n");
}

TEST(LogLevelTests, RawValuesAndOrder) {
  for (int raw = 0; raw <= 4; ++raw) EXPECT_EQ(LogLevel::fromRawValue(raw)->rawValue(), raw);
  EXPECT_FALSE(LogLevel::fromRawValue(5));
  EXPECT_FALSE(LogLevel::fromRawValue(-1));
  EXPECT_LT(LogLevel(LogLevel::error), LogLevel::warn);
  EXPECT_LT(LogLevel(LogLevel::log), LogLevel::trace);
  EXPECT_EQ(LogLevel(LogLevel::Trace), LogLevel::trace);
  EXPECT_EQ(LogLevel(LogLevel::info).description(), "info");
}

TEST(LogLevelTests, PrefixesAlignMessages) {
  for (int raw = 0; raw <= 4; ++raw) {
    const LogLevel level = *LogLevel::fromRawValue(raw);
    EXPECT_EQ(level.logPrefixAsBytes().size(), level.logPrefix().size());
    EXPECT_EQ(level.logPrefix().size(), level == LogLevel::log ? 0u : 7u) << level.description();
  }
}

namespace {

// Prints the default level as the process sees it at first use, after setting
// (or removing) LOGLEVEL.
void printDefaultLevel(const char* value) {
  if (value != nullptr) {
    ::setenv("LOGLEVEL", value, 1);
  } else {
    ::unsetenv("LOGLEVEL");
  }
  const LogLevel level = LogLevel::default_();
  ::setenv("LOGLEVEL", "trace", 1);  // read once: later changes do not count
  std::printf("%s %s\n", level.description().c_str(), LogLevel::default_().description().c_str());
}

}  // namespace

TEST(LogLevelTests, DefaultLevelComesFromTheEnvironmentOnce) {
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel(nullptr), "error error\n");
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel(""), "error error\n");
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel("WARN"), "warn warn\n");
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel("Warning"), "warn warn\n");
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel("debug"), "info info\n");
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel("LOG"), "log log\n");
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel("debugging"),
                                 "ERROR: unsupported LOGLEVEL: `debugging`\nerror error\n");
}
