// The loads a confined web view awaits the engine's questions about: a long burst of loads of one
// address, navigations that replace earlier loads, and the bound on what is kept.
#include <gtest/gtest.h>

#include <string>

#include "QuarvelUtilities/AwaitedLoads.h"

namespace {

using QuarvelUtilities::AwaitedLoads;

TEST(AwaitedLoads, EveryLoadOfALongBurstOfOneAddressIsTakenAndNothingMore) {
  AwaitedLoads awaited;
  for (int load = 0; load < 100'000; ++load) awaited.asked("about:blank");
  EXPECT_EQ(awaited.runs(), 1U);
  int taken = 0;
  while (taken < 100'001 && awaited.take("about:blank")) ++taken;
  EXPECT_EQ(taken, 100'000);
  EXPECT_TRUE(awaited.empty());
}

TEST(AwaitedLoads, ANavigationTakesTheLoadsItReplacedAndTheNewestRunsAreKept) {
  AwaitedLoads awaited;
  for (const char* address : {"about:blank", "about:blank", "https://a.test/", "about:blank"}) awaited.asked(address);
  EXPECT_FALSE(awaited.take("https://b.test/"));
  EXPECT_EQ(awaited.runs(), 3U);
  // The request replaced the two loads asked before it.
  EXPECT_TRUE(awaited.take("https://a.test/"));
  EXPECT_FALSE(awaited.take("https://a.test/"));
  EXPECT_TRUE(awaited.take("about:blank"));
  EXPECT_FALSE(awaited.take("about:blank"));

  // Loads of ever new addresses keep the newest runs only.
  for (int load = 0; load < 1000; ++load) awaited.asked("https://a.test/" + std::to_string(load));
  EXPECT_EQ(awaited.runs(), AwaitedLoads::maximumRuns);
  EXPECT_FALSE(awaited.take("https://a.test/0"));
  EXPECT_TRUE(awaited.take("https://a.test/999"));
  EXPECT_TRUE(awaited.empty());
}

}  // namespace
