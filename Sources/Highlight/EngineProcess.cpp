#include "Highlight/EngineProcess.h"

#include <dlfcn.h>
#include <unistd.h>

namespace EngineProcess {

namespace {

using EngineCall = void (*)();

// An entry of the engine's library that its public headers leave out, or none. Looked up when
// needed, so that a version of the library without it still loads.
EngineCall engineEntry(const char* symbol) { return reinterpret_cast<EngineCall>(dlsym(RTLD_DEFAULT, symbol)); }

// The engine's full collections, run by a timer on the thread of the machine, first ask the
// engine's memory-pressure handler, which the engine makes on first use with a timer on the
// main run loop. That run loop exists only once the engine knows the main thread: the web engine
// sets it up when its first object is made; without it, the first such collection reads through
// a null run loop and the process dies.
SetUp doSetUp() {
  if (::gettid() == ::getpid()) {
    // WTF::initializeMainThread(): names the calling thread the main one and makes its run
    // loop on the default main context. The web engine calls it too; it runs once.
    if (EngineCall initializeMainThread = engineEntry("_ZN3WTF20initializeMainThreadEv")) {
      initializeMainThread();
      return SetUp::mainThread;
    }
  }
  // Before any machine exists: machines made afterwards have no collector timers.
  if (EngineCall disableCollectorTimers = engineEntry("JSDisableGCTimer")) {
    disableCollectorTimers();
    return SetUp::collectorTimersOff;
  }
  return SetUp::none;
}

}  // namespace

SetUp setUp() {
  static const SetUp done = doSetUp();
  return done;
}

}  // namespace EngineProcess
