// Helpers of the highlighter tests: colours, the build's resources, a logger that keeps its
// lines, and runs of the main loop (shared with the core utility tests).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "Fennix/Foundation/Text/Color.h"
#include "Fennix/console/Console.h"
#include "FennixTests/DispatchTestSupport.h"

namespace HighlightTestSupport {

/// The opaque colour 0xRRGGBB.
inline NSColor rgb(std::uint32_t value) {
  return NSColor(((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0, 1);
}

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
    text_ += line + "\n";
  }
  /// The lines, each ended by a newline.
  std::string text() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  bool contains(const std::string& text) const { return this->text().find(text) != std::string::npos; }

 private:
  mutable std::mutex mutex_;
  std::string text_;
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
