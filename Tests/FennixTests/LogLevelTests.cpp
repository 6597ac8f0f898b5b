#include <gtest/gtest.h>

#include <cstdlib>

#include "Fennix/console/LogLevel.h"
#include "LogTestSupport.h"

TEST(LogLevelTests, ReadsLevelsFromText) {
  const std::pair<const char*, LogLevel> cases[] = {
      {"", LogLevel::error},         {"error", LogLevel::error},       {"warn", LogLevel::warn},
      {"warnings", LogLevel::warn},  {"information", LogLevel::info}, {"debug", LogLevel::info},
      {"trace", LogLevel::trace},    {"log", LogLevel::log},           {"Trace", LogLevel::error},
      {"logging", LogLevel::error},  {"debugging", LogLevel::error},
  };
  LogTestSupport::StandardStreamCapture out(1);
  for (const auto& [text, level] : cases) EXPECT_EQ(LogLevel::fromString(text), level) << text;
  EXPECT_EQ(out.finish(),
            "ERROR: unsupported LOGLEVEL: `Trace`\n"
            "ERROR: unsupported LOGLEVEL: `logging`\n"
            "ERROR: unsupported LOGLEVEL: `debugging`\n");
  EXPECT_FALSE(LogLevel::fromRawValue(5));
  EXPECT_FALSE(LogLevel::fromRawValue(-1));
  EXPECT_EQ(LogLevel::fromRawValue(4), LogLevel::trace);
}

namespace {

// Prints the default level at first use after setting (or removing) LOGLEVEL,
// and again after changing the variable, which must not count any more.
void printDefaultLevel(const char* value) {
  if (value != nullptr) {
    ::setenv("LOGLEVEL", value, 1);
  } else {
    ::unsetenv("LOGLEVEL");
  }
  const LogLevel level = LogLevel::default_();
  ::setenv("LOGLEVEL", "trace", 1);
  std::printf("%s %s\n", level.description().c_str(), LogLevel::default_().description().c_str());
}

}  // namespace

TEST(LogLevelTests, DefaultLevelComesFromTheEnvironmentOnce) {
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel(nullptr), "error error\n");
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel("Warning"), "warn warn\n");
  EXPECT_OUTPUT_IN_FRESH_PROCESS(printDefaultLevel("debugging"),
                                 "ERROR: unsupported LOGLEVEL: `debugging`\nerror error\n");
}
