#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "Fennix/console/Console.h"
#include "LogTestSupport.h"

using LogTestSupport::FileConsole;
using LogTestSupport::StandardStreamCapture;
using LogTestSupport::TempFile;

namespace {

struct Point {
  int x = 0, y = 0;
  std::string description() const { return "(" + std::to_string(x) + ", " + std::to_string(y) + ")"; }
};

}  // namespace

TEST(ConsoleTests, LineFormsStreamsAndValues) {
  FileConsole files(LogLevel::trace);
  Console2& console = *files.console;
  const std::optional<std::string> name = "root";
  const Point* noPoint = nullptr;
  console.error("failed", std::optional<int>());
  console.warn("Parsing of SVG failed.");
  console.log("values", std::string("text"), name, Point{1, 2}, noPoint, nullptr, true, 1.5, 2.0, -7, 'c');
  console.info("info line");
  console.trace("trace line");
  console.log("");
  console.error("");
  console.dir(std::nullopt);
  EXPECT_EQ(files.out.text(), "WARN:  Parsing of SVG failed.\nvalues text root (1, 2) <nil> <nil> true 1.5 2.0 -7 c\n"
                              "INFO:  info line\nTrace: trace line\n\n<nil>\n");
  EXPECT_EQ(files.err.text(), "ERROR: failed <nil>\nERROR: \n");
}

TEST(ConsoleTests, MessagesAreProducedOnlyForWrittenLines) {
  FileConsole files(LogLevel::error);
  int produced = 0;
  const auto message = [&] {
    ++produced;
    return std::string("built");
  };
  files.console->warn(message);
  files.console->trace(message);
  files.console->error(message);
  files.console->setLogLevel(LogLevel::log);
  files.console->log(message, 1);
  files.console->info(message);
  EXPECT_EQ(produced, 2);  // the error and the log line only
  EXPECT_EQ(files.err.text(), "ERROR: built\n");
  EXPECT_EQ(files.out.text(), "built 1\n");
}

TEST(ConsoleTests, FailedWritesAreReportedAndNotPassedOn) {
  TempFile out;
  auto closed = std::make_shared<FileOutputStream>(nullptr);
  Console2 console(std::make_shared<FileOutputStream>(out.file()), closed, LogLevel::log);
  Console single(closed, LogLevel::log);
  StandardStreamCapture standardOutput(1);
  console.error("lost", 1);
  console.log("kept");
  single.log("lost too");
  EXPECT_EQ(standardOutput.finish(), "ERROR LOG WRITE FAILED: Closed\nERROR LOG WRITE FAILED: Closed\n");
  EXPECT_EQ(out.text(), "kept\n");
}

namespace {

void logThroughFirstDefaultConsole() {
  ::unsetenv("LOGLEVEL");
  bool produced = false;
  console::warn([&] {
    produced = true;
    return std::string("dropped");
  });
  console::error("to standard error");
  std::printf("produced: %d\n", produced);
}

}  // namespace

TEST(ConsoleTests, DefaultConsoleWithoutLevelWritesOnlyErrors) {
  EXPECT_OUTPUT_IN_FRESH_PROCESS(logThroughFirstDefaultConsole(), "ERROR: to standard error\nproduced: 0\n");
}
