// Console loggers: format a line and write it to byte streams; the
// process-wide default console.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "Fennix/console/FileOutputStream.h"
#include "Fennix/console/Logger.h"
#include "Fennix/console/Streams.h"

/// Writes each value as a blank and its text ("<nil>" for an absent value).
/// A failure stops the loop and is thrown.
void writeValues(WritableByteStreamType& stream, LogValues values);

/// Base of the console loggers: a level that can change at any time; writes nothing.
class ConsoleBase : public Logger {
 public:
  explicit ConsoleBase(LogLevel logLevel);

  LogLevel logLevel() const override;
  virtual void setLogLevel(LogLevel logLevel);
  /// Lines up to this level are error lines (fixed at error).
  LogLevel stderrLogLevel() const { return LogLevel::error; }

  void primaryLog(LogLevel level, const LogMessage& message, LogValues values) override;

  /// "<ConsoleLog: level>", or "<ConsoleLog: level stderrLevel>" when they differ.
  std::string description() const override;

 protected:
  /// Writes prefix, message, values and a line feed to `stream`. A failed write
  /// drops the rest of the line and is reported on standard output as
  /// "ERROR LOG WRITE FAILED: " and the failure's description.
  static void writeLine(WritableByteStreamType& stream, LogLevel level, const std::string& message,
                        LogValues values);

 private:
  std::atomic<LogLevel> logLevel_;
};

/// A console writing every line to one stream.
class Console : public ConsoleBase {
 public:
  Console(std::shared_ptr<WritableByteStreamType> stdoutStream, LogLevel logLevel);

  const std::shared_ptr<WritableByteStreamType>& stdoutStream() const { return stdout_; }

  void primaryLog(LogLevel level, const LogMessage& message, LogValues values) override;

 private:
  const std::shared_ptr<WritableByteStreamType> stdout_;
};

/// A console writing error lines to its error stream and all others to its output stream.
class Console2 : public ConsoleBase {
 public:
  Console2(std::shared_ptr<WritableByteStreamType> stdoutStream, std::shared_ptr<WritableByteStreamType> stderrStream,
           LogLevel logLevel);

  const std::shared_ptr<WritableByteStreamType>& stdoutStream() const { return stdout_; }
  const std::shared_ptr<WritableByteStreamType>& stderrStream() const { return stderr_; }

  void primaryLog(LogLevel level, const LogMessage& message, LogValues values) override;

 private:
  const std::shared_ptr<WritableByteStreamType> stdout_;
  const std::shared_ptr<WritableByteStreamType> stderr_;
};

/// The process-wide console and shortcuts to it.
namespace console {

/// The current default console. At first use it is a `Console2` over the
/// process's standard output and standard error at `LogLevel::default_()`.
std::shared_ptr<Logger> defaultConsole();

/// Puts `logger` in place of the default console; an empty pointer puts the
/// standard console of first use back.
void setDefaultConsole(std::shared_ptr<Logger> logger);

template <typename... Values>
void error(const LogMessage& message, const Values&... values) { defaultConsole()->error(message, values...); }
template <typename... Values>
void warn(const LogMessage& message, const Values&... values) { defaultConsole()->warn(message, values...); }
template <typename... Values>
void log(const LogMessage& message, const Values&... values) { defaultConsole()->log(message, values...); }
template <typename... Values>
void info(const LogMessage& message, const Values&... values) { defaultConsole()->info(message, values...); }
template <typename... Values>
void trace(const LogMessage& message, const Values&... values) { defaultConsole()->trace(message, values...); }
template <typename Value>
void dir(const Value& value) { defaultConsole()->dir(value); }

}  // namespace console
