// Shared definitions of the view kit.
#include <gtest/gtest.h>

#include "Fennix/UI/Common/Views/ViewKit.h"

namespace {

TEST(ViewKitTest, DescriptionIdentityShortensOnlyLeadingZeros) {
  EXPECT_EQ(Fennix::descriptionPrefix("QvViewBase", reinterpret_cast<const void*>(0x0000000123456789)),
            "QvViewBase:0x123456789");
  EXPECT_EQ(Fennix::descriptionPrefix("V", reinterpret_cast<const void*>(0x00007f0012345678)),
            "V:ObjectIdentifier(0x00007f0012345678");
  EXPECT_EQ(QVInitialSize(), CGRect(0, 0, 128, 128));
  EXPECT_NE(&QVInitialSize(), &Fennix::initialFrame());  // a copy
}

struct CountingUndoManager {
  int begun = 0, ended = 0;
  void beginUndoGrouping() { ++begun; }
  void endUndoGrouping() { ++ended; }
};

TEST(ViewKitTest, UndoGroupingWrapsTheBodyOnce) {
  CountingUndoManager manager;
  int runs = 0;
  EXPECT_EQ(Fennix::inUndoGrouping(&manager, [&] {
              EXPECT_EQ(manager.begun, 1);
              EXPECT_EQ(manager.ended, 0);
              return ++runs;
            }),
            1);
  EXPECT_EQ(manager.ended, 1);
  CountingUndoManager* none = nullptr;
  Fennix::inUndoGrouping(none, [&] { ++runs; });
  EXPECT_EQ(runs, 2);
  EXPECT_THROW(Fennix::inUndoGrouping(&manager, []() -> int { throw std::runtime_error("x"); }), std::runtime_error);
  EXPECT_EQ(manager.begun, 2);
  EXPECT_EQ(manager.ended, 2);
}

}  // namespace
