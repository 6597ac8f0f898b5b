// Support for the document and settings tests: private user directories, a
// console whose lines the tests read, the main loop, and checks in a fresh process.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "Fennix/console/Console.h"
#include "FennixTests/DispatchTestSupport.h"
#include "FennixTests/LogTestSupport.h"

namespace QuarvelTestSupport {

/// Points XDG_CONFIG_HOME and XDG_RUNTIME_DIR at fresh directories before anything reads them.
/// A child process started by a death test shares the directories of its parent.
inline const std::filesystem::path& temporaryUserDirectories() {
  struct Directories {
    std::filesystem::path root;
    bool owner = false;
    Directories() {
      if (const char* inherited = std::getenv("QUARVEL_TEST_ROOT")) {
        root = inherited;
        return;
      }
      std::string pattern = (std::filesystem::temp_directory_path() / "quarvel-tests-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) std::abort();
      root = pattern;
      owner = true;
      std::filesystem::create_directory(root / "config");
      std::filesystem::create_directory(root / "runtime");
      std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
      ::setenv("QUARVEL_TEST_ROOT", root.c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    }
    ~Directories() {
      std::error_code ignored;
      if (owner) std::filesystem::remove_all(root, ignored);
    }
  };
  static Directories directories;
  return directories.root;
}

/// Set up when the test program starts.
inline const bool userDirectoriesReady = !temporaryUserDirectories().empty();

/// The default console replaced by one at level log over temporary files while alive.
class CapturedConsole {
 public:
  CapturedConsole() : files_(LogLevel::log) { console::setDefaultConsole(files_.console); }
  ~CapturedConsole() { console::setDefaultConsole(nullptr); }
  CapturedConsole(const CapturedConsole&) = delete;
  CapturedConsole& operator=(const CapturedConsole&) = delete;

  /// Lines of every level but error, then the error lines.
  std::string out() const { return files_.out.text(); }
  std::string err() const { return files_.err.text(); }
  void clear() {
    std::fflush(files_.out.file());
    std::fflush(files_.err.file());
    ::ftruncate(::fileno(files_.out.file()), 0);
    ::ftruncate(::fileno(files_.err.file()), 0);
    std::rewind(files_.out.file());
    std::rewind(files_.err.file());
  }

 private:
  LogTestSupport::FileConsole files_;
};

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

/// A fresh directory below the test root for one test's files.
inline std::filesystem::path scratchDirectory() {
  static int count = 0;
  auto path = temporaryUserDirectories() / ("files-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
  std::filesystem::create_directories(path);
  return path;
}

/// Runs `body` (returning the text of its failures, empty when all held) in a freshly started
/// copy of the test program, so that process-wide state starts anew.
#define EXPECT_NO_FAILURES_IN_FRESH_PROCESS(body)                                   \
  do {                                                                              \
    GTEST_FLAG_SET(death_test_style, "threadsafe");                                 \
    EXPECT_EXIT(                                                                    \
        {                                                                           \
          const std::string failures = (body)();                                    \
          std::fputs(failures.c_str(), stderr);                                     \
          std::fflush(nullptr);                                                     \
          std::_Exit(failures.empty() ? 0 : 1);                                     \
        },                                                                          \
        ::testing::ExitedWithCode(0), ::testing::Eq(std::string()));                \
  } while (false)

}  // namespace QuarvelTestSupport
