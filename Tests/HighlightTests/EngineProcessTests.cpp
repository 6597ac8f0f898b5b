#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "Highlight/EngineProcess.h"
#include "Highlight/HighlightJS.h"
#include "HighlightTests/HighlightTestSupport.h"

namespace {

using namespace HighlightTestSupport;
using ::testing::AllOf;
using ::testing::HasSubstr;

// Whether the engine takes the calling thread for the main one; -1 when it cannot tell.
int engineCallsThisTheMainThread() {
  auto isMainThread = reinterpret_cast<bool (*)()>(dlsym(RTLD_DEFAULT, "_ZN3WTF12isMainThreadEv"));
  return isMainThread ? int(isMainThread()) : -1;
}

// Set up first from another thread (a highlighter loaded off the main thread), the engine must
// not take that thread for the main one: the web engine, set up later on the main thread, names
// the main thread then. The collector's timers are off instead, and the highlighter still
// colours.
TEST(EngineProcessDeathTest, AFirstSetUpOffTheMainThreadLeavesTheMainThreadAlone) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto offTheMainThread = [] {
    useBuildResources();
    EngineProcess::SetUp first = EngineProcess::SetUp::none;
    std::thread([&] { first = EngineProcess::setUp(); }).join();
    std::fprintf(stderr, "first %d again %d\n", int(first), int(EngineProcess::setUp()));
    const auto& shared = HighlightJS::shared();
    if (!shared) std::_Exit(2);
    // As the web engine does when its first object is made.
    auto initializeMainThread = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "_ZN3WTF20initializeMainThreadEv"));
    if (!initializeMainThread) std::_Exit(4);
    initializeMainThread();
    std::fprintf(stderr, "main thread %d\n", engineCallsThisTheMainThread());
    bool coloured = false;
    shared->highlight("let a = 1", "swift", HighlightJSTheme::xcode(), DispatchQueue::main(),
                      [&](std::optional<AttributedString> text) { coloured = text && text->runs().size() > 1; });
    if (!runMainLoopUntil([&] { return coloured; }, 120)) std::_Exit(3);
    std::_Exit(0);
  };
  const int timersOff = int(EngineProcess::SetUp::collectorTimersOff);
  EXPECT_EXIT(offTheMainThread(), ::testing::ExitedWithCode(0),
              AllOf(HasSubstr("first " + std::to_string(timersOff) + " again " + std::to_string(timersOff) + "\n"),
                    HasSubstr("main thread 1\n")));
}

}  // namespace
