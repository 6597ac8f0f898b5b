// Helpers for tests that need the main queue: they iterate the GLib default main context the way
// the application's main loop does.
#pragma once

#include <glib.h>

#include <chrono>
#include <functional>
#include <thread>

namespace FennixTestSupport {

/// Iterates the default main context until `done` holds; false when `timeoutSeconds` passed first.
inline bool runMainLoopUntil(const std::function<bool()>& done, double timeoutSeconds = 10.0) {
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                      std::chrono::duration<double>(timeoutSeconds));
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return true;
}

/// Iterates the default main context for `seconds`.
inline void runMainLoopFor(double seconds) {
  runMainLoopUntil([] { return false; }, seconds);
}

}  // namespace FennixTestSupport
