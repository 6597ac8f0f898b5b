// Helpers of the highlighter tests: the build's resources, a logger that keeps its lines, and
// runs of the main loop (shared with the core utility tests).
#pragma once

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Fennix/console/Console.h"
#include "FennixTests/DispatchTestSupport.h"

namespace HighlightTestSupport {

/// Points the resource lookup at the build's resources (before the shared highlighter loads).
inline void useBuildResources() { ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 1); }

/// Keeps every line at any level as "level: message values".
class RecordingLogger : public Logger {
 public:
  LogLevel logLevel() const override { return LogLevel::trace; }
  void primaryLog(LogLevel level, const LogMessage& message, LogValues values) override {
    std::string line = std::to_string(int(level.rawValue())) + ": " + message();
    for (const LogValue& value : values) line += " " + value.description();
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
  }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool contains(const std::string& text) const {
    for (const std::string& line : lines()) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

/// Installs a recording logger as the default console while alive.
class ConsoleRecording {
 public:
  ConsoleRecording() : logger_(std::make_shared<RecordingLogger>()) { console::setDefaultConsole(logger_); }
  ~ConsoleRecording() { console::setDefaultConsole(nullptr); }
  const RecordingLogger& logger() const { return *logger_; }

 private:
  std::shared_ptr<RecordingLogger> logger_;
};

using FennixTestSupport::runMainLoopUntil;

}  // namespace HighlightTestSupport
