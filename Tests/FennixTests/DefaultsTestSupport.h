// Support for tests of user defaults and the change relay: private configuration and runtime
// directories for the test process (and the helper processes it starts), and the helper process.
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

extern char** environ;

namespace FennixTestSupport {

/// Points XDG_CONFIG_HOME and XDG_RUNTIME_DIR at fresh directories, once per process, before
/// anything reads them; they are removed when the process ends. Copies of the test program that
/// it starts (death tests) use the same directories.
inline const std::filesystem::path& temporaryUserDirectories() {
  struct Directories {
    std::filesystem::path root;
    bool owned = false;
    Directories() {
      if (const char* inherited = std::getenv("FENNIX_TEST_DIRECTORIES")) {
        root = inherited;
        return;
      }
      std::string pattern = (std::filesystem::temp_directory_path() / "fennix-tests-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) std::abort();
      root = pattern;
      owned = true;
      std::filesystem::create_directory(root / "config");
      std::filesystem::create_directory(root / "runtime");
      std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
      ::setenv("FENNIX_TEST_DIRECTORIES", root.c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    }
    ~Directories() {
      std::error_code ignored;
      if (owned) std::filesystem::remove_all(root, ignored);
    }
  };
  static Directories directories;
  return directories.root;
}

/// The current test's name followed by a number that is new on every call (call it once per run
/// of a test, in SetUp).
inline std::string uniqueTestName() {
  static int runs = 0;
  return std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "." +
         std::to_string(++runs);
}

/// Starts the helper process with `arguments`; returns its process id.
inline pid_t startHelper(const std::vector<std::string>& arguments) {
  std::vector<std::string> all{FENNIX_DEFAULTS_HELPER};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

/// Waits for the helper; its exit status, or -1 when it did not exit normally.
inline int waitForHelper(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace FennixTestSupport
