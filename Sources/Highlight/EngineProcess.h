// The JavaScript engine's process-wide set-up that the highlighter needs before it makes its
// machine: the engine's collector expects the process's main thread (and its run loop) to be
// known to it, which only the web engine arranges, and a process without web views never does.
#pragma once

namespace EngineProcess {

/// What `setUp` could do.
enum class SetUp {
  /// The engine knows the process's main thread and run loop (made now, or before by the web
  /// engine).
  mainThread,
  /// Not on the main thread, or the engine offers no way to name it: the collector's timers are
  /// off instead, and the engine collects only when it allocates.
  collectorTimersOff,
  /// Neither was possible.
  none,
};

/// Prepares the engine for this process; call it before the process's first JavaScript machine,
/// on the main thread. Only the first call does anything; later ones give its result.
SetUp setUp();

}  // namespace EngineProcess
