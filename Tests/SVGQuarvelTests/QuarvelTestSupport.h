// Support for the document and settings tests: private user directories, a
// console whose lines the tests read, files, and checks in a fresh process.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "FennixTests/DispatchTestSupport.h"
#include "FennixTests/LogTestSupport.h"
#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"

namespace QuarvelTestSupport {

/// XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR point at fresh directories from the start of the test
/// program; a child process started by a death test shares those of its parent.
inline const std::filesystem::path& temporaryUserDirectories() {
  struct Directories {
    std::filesystem::path root;
    bool owner = !std::getenv("QUARVEL_TEST_ROOT");
    Directories() {
      if (!owner) {
        root = std::getenv("QUARVEL_TEST_ROOT");
        return;
      }
      std::string pattern = (std::filesystem::temp_directory_path() / "quarvel-tests-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) std::abort();
      root = pattern;
      std::filesystem::create_directories(root / "runtime");
      std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
      ::setenv("QUARVEL_TEST_ROOT", root.c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
      ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);  // recent files among others
    }
    ~Directories() {
      std::error_code ignored;
      if (owner) std::filesystem::remove_all(root, ignored);
    }
  };
  static Directories directories;
  return directories.root;
}
inline const bool userDirectoriesReady = !temporaryUserDirectories().empty();

/// Set in the environment of a fresh copy of the test program in which no thread may run besides
/// its main one.
inline constexpr const char* mainThreadAloneVariable = "QUARVEL_TEST_MAIN_THREAD_ALONE";

/// Opens the settings store before any test captures the console, so that the loggers made with
/// it keep the standard console. (The store starts a thread that watches for the changes of other
/// processes: a copy of the program whose main thread must run alone does without it.)
class SettingsStoreEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (std::getenv(mainThreadAloneVariable) == nullptr) SVGQuarvelConfiguration::userDefaults();
  }
};
inline ::testing::Environment* const settingsStoreEnvironment =
    ::testing::AddGlobalTestEnvironment(new SettingsStoreEnvironment);

/// The default console replaced, while alive, by one at level log over temporary files. (Loggers
/// that kept it, such as documents made meanwhile, must not outlive it.)
class CapturedConsole {
 public:
  CapturedConsole() { console::setDefaultConsole(files_.console); }
  ~CapturedConsole() { console::setDefaultConsole(nullptr); }
  /// Lines of every level but error; error lines.
  std::string out() const { return files_.out.text(); }
  std::string err() const { return files_.err.text(); }
  /// The lines of every level but error written since the last call.
  std::string takeOut() {
    const std::string all = out();
    const std::string text = all.substr(std::min(taken_, all.size()));
    taken_ = all.size();
    return text;
  }

 private:
  LogTestSupport::FileConsole files_{LogLevel::log};
  std::size_t taken_ = 0;
};

inline std::string readFile(const std::filesystem::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

/// A new directory for one test's files.
inline std::filesystem::path scratchDirectory() {
  static int count = 0;
  auto path = temporaryUserDirectories() / ("files-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
  std::filesystem::create_directories(path);
  return path;
}

/// Runs `check` (a callable returning the text of its failures, empty when all held) in a fresh
/// copy of the test program, so that process-wide state starts anew.
#define EXPECT_NO_FAILURES_IN_FRESH_PROCESS(check)                                        \
  do {                                                                                    \
    GTEST_FLAG_SET(death_test_style, "threadsafe");                                       \
    EXPECT_EXIT(                                                                          \
        {                                                                                 \
          const std::string failures = (check)();                                         \
          std::fputs(failures.c_str(), stderr);                                           \
          std::fflush(nullptr);                                                           \
          std::_Exit(failures.empty() ? 0 : 1);                                           \
        },                                                                                \
        ::testing::ExitedWithCode(0), ::testing::Eq(std::string()));                      \
  } while (false)

/// How many threads this process runs.
inline int threadCount() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  }
  return -1;
}

/// As EXPECT_NO_FAILURES_IN_FRESH_PROCESS, in a copy of the test program that starts no thread
/// before the test (`check` may make sure with threadCount()): for work that takes away what
/// every thread needs, such as the last free file descriptors.
#define EXPECT_NO_FAILURES_IN_FRESH_PROCESS_WITH_ONE_THREAD(check)                         \
  do {                                                                                    \
    ::setenv(::QuarvelTestSupport::mainThreadAloneVariable, "1", 1);                      \
    EXPECT_NO_FAILURES_IN_FRESH_PROCESS(check);                                           \
    ::unsetenv(::QuarvelTestSupport::mainThreadAloneVariable);                            \
  } while (false)

}  // namespace QuarvelTestSupport
