#include "Fennix/console/ModuleLogger.h"

#include <cstdlib>
#include <map>
#include <mutex>

#include "Fennix/console/Console.h"
#include "Fennix/console/ConsoleSupport.h"
#include "Platform/Text/Text.h"

namespace {

struct Registry {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<ModuleLogger>, std::less<>> loggers;
  std::size_t maxPrefixLen = 8;
};

// Lives for the whole process, like the loggers it holds.
Registry& registry() {
  static Registry* const shared = new Registry;
  return *shared;
}

std::shared_ptr<Logger> parentOrDefaultConsole(std::shared_ptr<Logger> parent) {
  return parent ? std::move(parent) : console::defaultConsole();
}

LogLevel levelAtCreation(const Logger& parent, const std::string& prefix, std::optional<LogLevel> level) {
  if (level) return *level;
  const std::string name = "LOGLEVEL_" + consolesupport::uppercased(consolesupport::trimmed(prefix));
  if (const char* value = std::getenv(name.c_str())) {
    const std::string text = consolesupport::lowercased(value);
    if (!text.empty()) return LogLevel::fromString(text);
  }
  return parent.logLevel();
}

}  // namespace

ModuleLogger::ModuleLogger(std::shared_ptr<Logger> parent, std::string prefix, std::optional<LogLevel> level)
    : parent_(parentOrDefaultConsole(std::move(parent))),
      prefix_(std::move(prefix)),
      logLevel_(levelAtCreation(*parent_, prefix_, level)),
      prefixLength_(QuarvelText::characterCount(prefix_)) {}

ModuleLogger::ModuleLogger(std::string prefix, std::optional<LogLevel> level)
    : ModuleLogger(nullptr, std::move(prefix), level) {}

std::shared_ptr<ModuleLogger> ModuleLogger::default_(const std::string& prefix) {
  Registry& shared = registry();
  {
    std::lock_guard guard(shared.lock);
    if (auto found = shared.loggers.find(prefix); found != shared.loggers.end()) return found->second;
  }
  // Created outside the lock: creation reads the environment and may log.
  auto created = std::make_shared<ModuleLogger>(console::defaultConsole(), prefix);
  std::lock_guard guard(shared.lock);
  const auto [entry, inserted] = shared.loggers.try_emplace(prefix, created);
  if (inserted && created->prefixLength_ > shared.maxPrefixLen) shared.maxPrefixLen = created->prefixLength_;
  return entry->second;
}

std::size_t ModuleLogger::getMaxPrefixLength() {
  Registry& shared = registry();
  std::lock_guard guard(shared.lock);
  return shared.maxPrefixLen;
}

void ModuleLogger::primaryLog(LogLevel level, const LogMessage& message, LogValues values) {
  if (level > logLevel_ || level > parent_->logLevel()) return;
  const std::size_t width = getMaxPrefixLength();
  const auto text = [&] {
    std::string line = prefix_;
    line += ": ";
    if (width > prefixLength_) line.append(width - prefixLength_, ' ');
    line += message();
    return line;
  };
  parent_->primaryLog(LogLevel::log, LogMessage(text), values);
}

std::string ModuleLogger::description() const {
  return "<ModLog[" + prefix_ + "]: " + logLevel_.description() + " parent" + parent_->description() + ">";
}
