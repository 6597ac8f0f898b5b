// The main of every test executable that opens no windows. A death test runs its statement in a
// copy of the test program started afresh (gtest's "threadsafe" style), never in a fork of it: a
// fork holds no other thread of its parent, but holds the locks those threads held at that moment
// (the sanitizers' allocator among them), and would wait for them for ever.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
