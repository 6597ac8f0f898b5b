#include "Fennix/console/Console.h"

#include <cstdio>
#include <mutex>

#include "Fennix/console/ConsoleSupport.h"

namespace {

constexpr std::uint8_t spaceByte[] = {0x20};
constexpr std::uint8_t eolByte[] = {0x0A};
constexpr ByteBucket spaceBrigade[] = {ByteBucket(spaceByte)};
constexpr ByteBucket eolBrigade[] = {ByteBucket(eolByte)};

}  // namespace

void writeValues(WritableByteStreamType& stream, LogValues values) {
  for (const LogValue& value : values) {
    stream.writev(spaceBrigade, {});
    stream.write(value.description());
  }
}

// MARK: - ConsoleBase

ConsoleBase::ConsoleBase(LogLevel logLevel) : logLevel_(logLevel) {}

LogLevel ConsoleBase::logLevel() const { return logLevel_.load(std::memory_order_relaxed); }

void ConsoleBase::setLogLevel(LogLevel logLevel) { logLevel_.store(logLevel, std::memory_order_relaxed); }

void ConsoleBase::primaryLog(LogLevel, const LogMessage&, LogValues) {}

std::string ConsoleBase::description() const {
  const LogLevel level = logLevel();
  if (stderrLogLevel() == level) return "<ConsoleLog: " + level.description() + ">";
  return "<ConsoleLog: " + level.description() + " " + stderrLogLevel().description() + ">";
}

void ConsoleBase::writeLine(WritableByteStreamType& stream, LogLevel level, const std::string& message,
                            LogValues values) {
  try {
    stream.write(level.logPrefixAsBytes());
    stream.write(message);
    writeValues(stream, values);
    stream.writev(eolBrigade, {});
  } catch (const std::exception& failure) {
    consolesupport::printLine(std::string("ERROR LOG WRITE FAILED: ") + failure.what());
  } catch (...) {
    consolesupport::printLine("ERROR LOG WRITE FAILED: unknown failure");
  }
}

// MARK: - Console

Console::Console(std::shared_ptr<WritableByteStreamType> stdoutStream, LogLevel logLevel)
    : ConsoleBase(logLevel), stdout_(std::move(stdoutStream)) {}

void Console::primaryLog(LogLevel level, const LogMessage& message, LogValues values) {
  if (level > logLevel()) return;
  writeLine(*stdout_, level, message(), values);
}

// MARK: - Console2

Console2::Console2(std::shared_ptr<WritableByteStreamType> stdoutStream,
                   std::shared_ptr<WritableByteStreamType> stderrStream, LogLevel logLevel)
    : ConsoleBase(logLevel), stdout_(std::move(stdoutStream)), stderr_(std::move(stderrStream)) {}

void Console2::primaryLog(LogLevel level, const LogMessage& message, LogValues values) {
  if (level > logLevel()) return;
  const std::string text = message();
  writeLine(level <= stderrLogLevel() ? *stderr_ : *stdout_, level, text, values);
}

// MARK: - Default console

namespace console {
namespace {

struct DefaultConsoleState {
  std::mutex mutex;
  std::shared_ptr<Logger> standard;
  std::shared_ptr<Logger> current;
};

// Created once and never destroyed, so that logging keeps working while other
// static objects are torn down.
DefaultConsoleState& state() {
  static DefaultConsoleState* const shared = [] {
    auto* created = new DefaultConsoleState;
    created->standard = std::make_shared<Console2>(std::make_shared<FileOutputStream>(stdout),
                                                   std::make_shared<FileOutputStream>(stderr), LogLevel::default_());
    created->current = created->standard;
    return created;
  }();
  return *shared;
}

}  // namespace

std::shared_ptr<Logger> defaultConsole() {
  DefaultConsoleState& shared = state();
  std::lock_guard lock(shared.mutex);
  return shared.current;
}

void setDefaultConsole(std::shared_ptr<Logger> logger) {
  DefaultConsoleState& shared = state();
  std::lock_guard lock(shared.mutex);
  shared.current = logger ? std::move(logger) : shared.standard;
}

}  // namespace console
