// The memory a piece of work takes at its peak.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MEMORY_TEST_ADDRESS_CHECKED 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define MEMORY_TEST_ADDRESS_CHECKED 1
#endif
#if MEMORY_TEST_ADDRESS_CHECKED
#include <sanitizer/allocator_interface.h>
#else
#include <malloc.h>
#endif

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>

namespace MemoryTestSupport {

/// How far the resident memory of this process rose above where it was while running `action`,
/// in bytes; -1 when it cannot be measured. What the process freed before goes back to the system
/// first, so that the action can take none of it unseen (nor see it go meanwhile, as the address
/// checker's quarantine would give it back); then the process's peak is set back to its resident
/// memory. The other threads of a test, idle meanwhile, add nothing to speak of.
inline long long peakMemoryGrowth(const std::function<void()>& action) {
  const auto statusBytes = [](const std::string& field) -> long long {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind(field, 0) == 0) return std::stoll(line.substr(field.size())) * 1024;
    }
    return -1;
  };
#if MEMORY_TEST_ADDRESS_CHECKED
  __sanitizer_purge_allocator();
#else
  ::malloc_trim(0);
#endif
  if (!(std::ofstream("/proc/self/clear_refs") << "5")) return -1;  // the peak starts again from here
  const long long start = statusBytes("VmRSS:");
  try {
    action();
  } catch (...) {
  }
  const long long peak = statusBytes("VmHWM:");
  if (start < 0 || peak < 0) return -1;
  // The system counts resident pages approximately: a peak found a little under the start is none.
  return std::max(peak - start, 0LL);
}

}  // namespace MemoryTestSupport
