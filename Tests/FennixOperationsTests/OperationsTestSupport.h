// Helpers for the operation tests: a console that records its lines, waiting with a deadline,
// and small operations to run.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Fennix/Operations/OperationProtocols.h"
#include "Fennix/console/Console.h"
#include "Tools/SanitizedBuild.h"

namespace OperationsTestSupport {

/// The sanitizer build runs many times slower: long runs are shortened there.
using QuarvelTestBuild::sanitizedBuild;

/// A logger at level trace that keeps every line as "LEVEL|message values".
class RecordingLogger : public Logger {
 public:
  LogLevel logLevel() const override { return LogLevel::trace; }
  void primaryLog(LogLevel level, const LogMessage& message, LogValues values) override {
    std::string line = std::to_string(level.rawValue()) + "|" + message();
    for (const auto& value : values) line += " " + value.description();
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(std::move(line));
  }
  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  /// Lines that contain `text`.
  std::vector<std::string> matching(const std::string& text) const {
    std::vector<std::string> found;
    for (const auto& line : lines()) {
      if (line.find(text) != std::string::npos) found.push_back(line);
    }
    return found;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

/// The recording logger put in place of the default console for the current test.
class ConsoleCapture {
 public:
  ConsoleCapture() { console::setDefaultConsole(logger); }
  ~ConsoleCapture() { console::setDefaultConsole(nullptr); }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  const std::shared_ptr<RecordingLogger> logger = std::make_shared<RecordingLogger>();
};

/// Polls `done` until it holds; false when `seconds` passed first.
inline bool waitUntil(const std::function<bool()>& done, double seconds = 10.0) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

/// Runs `first` on a new thread and `second` on the calling one, released at the same moment,
/// and returns when both have returned.
inline void runTogether(const std::function<void()>& first, const std::function<void()>& second) {
  std::atomic<int> arrived{0};
  const auto together = [&arrived] {
    ++arrived;
    while (arrived < 2) std::this_thread::yield();
  };
  std::thread other([&] {
    together();
    first();
  });
  together();
  second();
  other.join();
}

/// An asynchronous output operation whose work is a closure; records every change notice.
template <typename Output>
class TestOutputOperation : public QvAsyncOperation, public QvOutputOperation<Output> {
 public:
  using Work = std::function<void(TestOutputOperation&)>;
  explicit TestOutputOperation(Work work = nullptr) : work_(std::move(work)) {}

  std::shared_ptr<NSOperation> operation() override { return shared_from_this(); }
  Fennix::ErrorRef error() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
  }
  void setError(Fennix::ErrorRef error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    error_ = std::move(error);
  }
  std::optional<Output> output() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
  }
  void setOutput(std::optional<Output> output) override {
    std::lock_guard<std::mutex> lock(mutex_);
    output_ = std::move(output);
  }
  void asyncMain(std::function<void()>) override {
    ++mainCalls;
    if (work_) work_(*this);
  }
  /// `syncRun` calls the work through `main()`.
  void main() override { asyncMain(nullptr); }

  std::atomic<int> mainCalls{0};

 private:
  Work work_;
  mutable std::mutex mutex_;
  Fennix::ErrorRef error_;
  std::optional<Output> output_;
};

/// An input operation that records what it was given.
template <typename Input>
class TestInputOperation : public QvAsyncOperation, public QvInputOperation<Input> {
 public:
  std::shared_ptr<NSOperation> operation() override { return shared_from_this(); }
  Fennix::ErrorRef error() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
  }
  void setError(Fennix::ErrorRef error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    error_ = std::move(error);
  }
  std::optional<Input> input() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return input_;
  }
  void setInput(std::optional<Input> input) override {
    std::lock_guard<std::mutex> lock(mutex_);
    input_ = std::move(input);
  }
  void asyncMain(std::function<void()> finished) override {
    ran = true;
    finished();
  }

  std::atomic<bool> ran{false};

 private:
  mutable std::mutex mutex_;
  Fennix::ErrorRef error_;
  std::optional<Input> input_;
};

/// Records the change notices of an operation as "will isReady", "did isFinished", ...
class NoticeRecorder {
 public:
  explicit NoticeRecorder(NSOperation& operation) {
    auto state = state_;
    operation.addObserver([state](const std::string& key, KeyValueChange change) {
      if (key != "isReady" && key != "isExecuting" && key != "isFinished") return;
      std::lock_guard<std::mutex> lock(state->mutex);
      state->notices.push_back((change == KeyValueChange::will ? "will " : "did ") + key);
    });
  }
  std::vector<std::string> notices() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->notices;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->notices.clear();
  }

 private:
  struct State {
    std::mutex mutex;
    std::vector<std::string> notices;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

/// Sets an environment variable for the scope, restoring what was there before.
class EnvironmentSetting {
 public:
  EnvironmentSetting(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* before = std::getenv(name_.c_str())) before_ = before;
    if (value != nullptr) {
      ::setenv(name_.c_str(), value, 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ~EnvironmentSetting() {
    if (before_) {
      ::setenv(name_.c_str(), before_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  EnvironmentSetting(const EnvironmentSetting&) = delete;
  EnvironmentSetting& operator=(const EnvironmentSetting&) = delete;

 private:
  std::string name_;
  std::optional<std::string> before_;
};

}  // namespace OperationsTestSupport
