// Helpers for the logging tests: files to write to and read back, capture of
// the process's standard output and error, and checks run in a fresh process.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "Fennix/console/Console.h"

namespace LogTestSupport {

/// Reads everything from the start of `file`, leaving its position at the end.
inline std::string readAll(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[4096];
  while (size_t count = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, count);
  std::fseek(file, 0, SEEK_END);
  return text;
}

/// An anonymous temporary file, closed when released unless it was handed on.
class TempFile {
 public:
  TempFile() : file_(std::tmpfile()) {}
  ~TempFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::FILE* file() const { return file_; }
  std::string text() const { return readAll(file_); }
  /// Gives up ownership (the file is closed by whoever ends it).
  std::FILE* release() {
    std::FILE* file = file_;
    file_ = nullptr;
    return file;
  }

 private:
  std::FILE* file_;
};

/// A two-stream console over temporary files.
struct FileConsole {
  TempFile out, err;
  std::shared_ptr<Console2> console;

  explicit FileConsole(LogLevel level)
      : console(std::make_shared<Console2>(std::make_shared<FileOutputStream>(out.file()),
                                           std::make_shared<FileOutputStream>(err.file()), level)) {}
};

/// Points a standard file descriptor (1 or 2) at a temporary file while alive.
class StandardStreamCapture {
 public:
  explicit StandardStreamCapture(int descriptor) : descriptor_(descriptor) {
    std::fflush(stdout);
    std::fflush(stderr);
    saved_ = ::dup(descriptor_);
    ::dup2(::fileno(capture_.file()), descriptor_);
  }
  ~StandardStreamCapture() { finish(); }
  StandardStreamCapture(const StandardStreamCapture&) = delete;
  StandardStreamCapture& operator=(const StandardStreamCapture&) = delete;

  /// Restores the descriptor and returns what was written to it.
  std::string finish() {
    if (saved_ >= 0) {
      std::fflush(stdout);
      std::fflush(stderr);
      ::dup2(saved_, descriptor_);
      ::close(saved_);
      saved_ = -1;
      text_ = capture_.text();
    }
    return text_;
  }

 private:
  int descriptor_;
  int saved_ = -1;
  TempFile capture_;
  std::string text_;
};

/// Runs `body` in a freshly started copy of the test program (so process-wide
/// state such as the default level starts anew) with standard output joined to
/// standard error, and expects that output to equal `expected`.
#define EXPECT_OUTPUT_IN_FRESH_PROCESS(body, expected)                             \
  do {                                                                             \
    GTEST_FLAG_SET(death_test_style, "threadsafe");                                \
    EXPECT_EXIT(                                                                   \
        {                                                                          \
          std::fflush(stdout);                                                     \
          ::dup2(2, 1);                                                            \
          body;                                                                    \
          std::fflush(nullptr);                                                    \
          std::_Exit(0);                                                           \
        },                                                                         \
        ::testing::ExitedWithCode(0), ::testing::Eq(std::string(expected)));       \
  } while (false)

}  // namespace LogTestSupport
