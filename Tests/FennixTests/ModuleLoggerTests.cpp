#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "Fennix/console/Console.h"
#include "Fennix/console/ModuleLogger.h"
#include "LogTestSupport.h"

using LogTestSupport::StandardStreamCapture;
using LogTestSupport::FileConsole;

namespace {

// Blanks after "prefix: " for a prefix of `length` characters at the current width.
std::string filler(std::size_t length) {
  const std::size_t width = ModuleLogger::getMaxPrefixLength();
  return std::string(width > length ? width - length : 0, ' ');
}

}  // namespace

TEST(ModuleLoggerTests, ForwardsPrefixedLinesAtLevelLog) {
  FileConsole files(LogLevel::log);
  ModuleLogger logger(files.console, "Mod", LogLevel::trace);
  logger.error("failed", 3, std::nullopt);
  logger.warn("careful");
  logger.info("not written: the parent is at log");
  EXPECT_EQ(files.err.text(), "");
  EXPECT_EQ(files.out.text(), "Mod: " + filler(3) + "failed 3 <nil>\n" + "Mod: " + filler(3) + "careful\n");
}

TEST(ModuleLoggerTests, BothLevelsFilterBeforeTheMessageIsBuilt) {
  int produced = 0;
  const auto message = [&] {
    ++produced;
    return std::string("m");
  };
  FileConsole files(LogLevel::warn);
  ModuleLogger verbose(files.console, "V", LogLevel::trace);
  ModuleLogger quiet(files.console, "Q", LogLevel::error);
  verbose.info(message);  // above the parent's level
  quiet.warn(message);    // above its own level
  verbose.error(message);  // passes both checks, then the parent drops level log
  files.console->setLogLevel(LogLevel::log);
  verbose.trace(message);
  EXPECT_EQ(produced, 0);
  EXPECT_EQ(files.out.text() + files.err.text(), "");
}

TEST(ModuleLoggerTests, LevelComesFromTheEnvironmentOrTheParent) {
  FileConsole files(LogLevel::info);
  ::setenv("LOGLEVEL_MODTEST", "Trace", 1);
  ModuleLogger fromEnvironment(files.console, " modTest\n");
  EXPECT_EQ(fromEnvironment.logLevel(), LogLevel::trace);

  ::unsetenv("LOGLEVEL_MODTEST");
  ModuleLogger noVariable(files.console, "modtest");
  files.console->setLogLevel(LogLevel::trace);
  EXPECT_EQ(noVariable.logLevel(), LogLevel::info);  // taken at creation

  ::setenv("LOGLEVEL_MODTEST", "verbose", 1);
  StandardStreamCapture out(1);
  EXPECT_EQ(ModuleLogger(files.console, "modtest").logLevel(), LogLevel::error);
  EXPECT_EQ(out.finish(), "ERROR: unsupported LOGLEVEL: `verbose`\n");
  ::unsetenv("LOGLEVEL_MODTEST");
}

namespace {

// Registers prefixes over a default console at level log that writes to
// standard output, and writes lines in between.
void logWithGrowingPrefixes() {
  ::unsetenv("LOGLEVEL_GN");
  ::unsetenv("LOGLEVEL_ABCDEFGHIJ");
  console::setDefaultConsole(std::make_shared<Console>(std::make_shared<FileOutputStream>(stdout), LogLevel::log));
  auto gateway = ModuleLogger::default_("GN");
  gateway->log("eleventh column");
  ModuleLogger unregistered("LongerThanTen", LogLevel::log);
  unregistered.log("no filler");
  gateway->log("still eight", ModuleLogger::getMaxPrefixLength());
  ModuleLogger::default_("Grüße")->log("five characters");
  ModuleLogger::default_("ABCDEFGHIJ")->log("ten");
  gateway->log("now ten", ModuleLogger::getMaxPrefixLength());
}

}  // namespace

TEST(ModuleLoggerTests, PrefixesArePaddedToTheLongestRegisteredOne) {
  EXPECT_OUTPUT_IN_FRESH_PROCESS(logWithGrowingPrefixes(),
                                 "GN:       eleventh column\n"
                                 "LongerThanTen: no filler\n"
                                 "GN:       still eight 8\n"
                                 "Grüße:    five characters\n"
                                 "ABCDEFGHIJ: ten\n"
                                 "GN:         now ten 10\n");
}
