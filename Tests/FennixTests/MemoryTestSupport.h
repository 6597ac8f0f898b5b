// The memory a piece of work takes at its peak, measured where nothing else runs.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

namespace MemoryTestSupport {

/// How far the resident memory of a process running `action` rose above where it started, in
/// bytes: measured in a child process, whose peak counts from the start of the action; -1 when it
/// cannot be measured.
inline long long peakMemoryGrowth(const std::function<void()>& action) {
  const auto statusBytes = [](const std::string& field) -> long long {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind(field, 0) == 0) return std::stoll(line.substr(field.size())) * 1024;
    }
    return -1;
  };
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const long long start = statusBytes("VmRSS:");
    try {
      action();
    } catch (...) {
    }
    const long long growth = statusBytes("VmHWM:") - start;
    (void)!::write(ends[1], &growth, sizeof growth);
    ::_exit(0);
  }
  ::close(ends[1]);
  long long growth = -1;
  if (::read(ends[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  ::close(ends[0]);
  ::waitpid(child, nullptr, 0);
  return growth;
}

}  // namespace MemoryTestSupport
