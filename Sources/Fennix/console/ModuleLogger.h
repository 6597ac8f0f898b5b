// Loggers of one component: a name tag, a level of their own chosen through
// the environment, and lines written through a parent logger.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "Fennix/console/Logger.h"

/// Writes "prefix: " padded to the widest registered prefix, then the message,
/// through its parent at level log.
class ModuleLogger : public Logger {
 public:
  /// The level is `level` when given; otherwise `LOGLEVEL_<PREFIX>` (prefix
  /// upper-cased, surrounding white space removed) when set and not empty;
  /// otherwise the parent's level at this moment. A null parent means the
  /// current default console. Such a logger is not registered.
  ModuleLogger(std::shared_ptr<Logger> parent, std::string prefix, std::optional<LogLevel> level = std::nullopt);
  /// The same with the current default console as parent.
  explicit ModuleLogger(std::string prefix, std::optional<LogLevel> level = std::nullopt);

  /// The registered logger of `prefix`, created (over the default console,
  /// level from the environment) and registered on first request.
  static std::shared_ptr<ModuleLogger> default_(const std::string& prefix);

  /// The width, in characters, to which prefixes are padded: 8 at start,
  /// grown to the longest registered prefix, never shrinking.
  static std::size_t getMaxPrefixLength();

  const std::shared_ptr<Logger>& parent() const { return parent_; }
  const std::string& prefix() const { return prefix_; }

  LogLevel logLevel() const override { return logLevel_; }
  void primaryLog(LogLevel level, const LogMessage& message, LogValues values) override;

  /// "<ModLog[prefix]: level parent" followed by the parent's description and ">".
  std::string description() const override;

 private:
  const std::shared_ptr<Logger> parent_;
  const std::string prefix_;
  const LogLevel logLevel_;
  const std::size_t prefixLength_;
};
