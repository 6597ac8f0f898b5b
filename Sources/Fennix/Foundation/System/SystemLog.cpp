#include "Fennix/Foundation/System/SystemLog.h"

#include <cstdio>
#include <string>

#include "Fennix/console/ConsoleSupport.h"

namespace {

// Writes lines at the process's default level: errors to standard error, the rest to standard
// output; a prefix, when given, tags the line and forwards it at level log.
class PlainLogger final : public Logger {
 public:
  explicit PlainLogger(std::string prefix) : prefix_(std::move(prefix)) {}

  LogLevel logLevel() const override { return LogLevel::default_(); }

  void primaryLog(LogLevel level, const LogMessage& message, LogValues values) override {
    if (level > logLevel()) return;
    LogLevel written = prefix_.empty() ? level : LogLevel(LogLevel::log);
    if (written > logLevel()) return;
    std::string line(written.logPrefix());
    if (!prefix_.empty()) line += prefix_ + ": " + std::string(prefix_.size() < 8 ? 8 - prefix_.size() : 0, ' ');
    line += message();
    for (const auto& value : values) line += " " + value.description();
    if (written == LogLevel::error) {
      std::fprintf(stderr, "%s\n", line.c_str());
      std::fflush(stderr);
    } else {
      consolesupport::printLine(line);
    }
  }

 private:
  std::string prefix_;
};

}  // namespace

namespace systemlog {

Logger& console() {
  static auto* logger = new PlainLogger("");
  return *logger;
}

Logger& relay() {
  static auto* logger = new PlainLogger("GN");
  return *logger;
}

}  // namespace systemlog
