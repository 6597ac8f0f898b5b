#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Fennix/console/FileOutputStream.h"
#include "LogTestSupport.h"

using LogTestSupport::TempFile;

namespace {

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace

TEST(ConsoleStreamTests, WritesEveryNonEmptyBucketAndAlwaysCompletes) {
  TempFile file;
  FileOutputStream stream(file.file());
  const auto first = bytes("ab");
  const auto second = bytes("cd");
  int done = 0;
  const auto countDone = [&done] { ++done; };

  const ByteBucket leadingEmpty[] = {ByteBucket(), ByteBucket(first), ByteBucket(), ByteBucket(second)};
  stream.writev(leadingEmpty, countDone);
  EXPECT_EQ(done, 1);
  stream.writev({}, countDone);
  const ByteBucket onlyEmpty[] = {ByteBucket()};
  stream.writev(onlyEmpty, countDone);
  EXPECT_EQ(done, 3);

  stream.write("ef");
  stream.write(ByteBucket(first), countDone);
  EXPECT_EQ(done, 4);
  EXPECT_EQ(file.text(), "abcdefab");
}

TEST(ConsoleStreamTests, FailuresAreThrownAfterCompletion) {
  FileOutputStream closed(nullptr);
  int done = 0;
  try {
    closed.write("x", [&done] { ++done; });
    FAIL() << "a stream without a handle wrote";
  } catch (const FileOutputStream::Error& error) {
    EXPECT_EQ(error, FileOutputStream::Error::Closed);
    EXPECT_STREQ(error.what(), "Closed");
  }
  EXPECT_EQ(done, 1);

  std::FILE* readOnly = std::fopen("/dev/null", "r");
  ASSERT_NE(readOnly, nullptr);
  FileOutputStream unwritable(readOnly);
  try {
    unwritable.write("x", [&done] { ++done; });
    FAIL() << "a read-only file took a write";
  } catch (const FileOutputStream::Error& error) {
    EXPECT_EQ(error, FileOutputStream::Error::WriteFailed);
  }
  EXPECT_EQ(done, 2);
  unwritable.end();
  EXPECT_EQ(unwritable.handle(), nullptr);

  // A failing completion is the write's failure.
  TempFile file;
  FileOutputStream stream(file.file());
  EXPECT_THROW(stream.write("y", [] { throw std::runtime_error("done failed"); }), std::runtime_error);
  EXPECT_EQ(file.text(), "y");
}

TEST(ConsoleStreamTests, EndClosesOnlyOwnFiles) {
  FileOutputStream standardOutput(stdout);
  EXPECT_FALSE(standardOutput.canEnd());
  standardOutput.end();
  EXPECT_EQ(standardOutput.handle(), stdout);

  TempFile file;
  FileOutputStream stream(file.release());
  EXPECT_TRUE(stream.canEnd());
  stream.end();
  EXPECT_EQ(stream.handle(), nullptr);
  stream.end();  // already ended: nothing happens
  EXPECT_THROW(stream.write("late"), FileOutputStream::Error);
}

TEST(ConsoleStreamTests, EndWithLastBucket) {
  std::vector<std::string> events;
  TempFile captured;
  std::FILE* file = captured.file();
  // The stream gets a duplicate handle so the test can read what was written after it closes.
  std::FILE* own = ::fdopen(::dup(::fileno(file)), "w");
  ASSERT_NE(own, nullptr);
  FileOutputStream stream(own);
  stream.end("bye", [&] {
    events.push_back(stream.handle() != nullptr ? "done while open" : "done after close");
  });
  EXPECT_EQ(events, std::vector<std::string>{"done while open"});
  EXPECT_EQ(stream.handle(), nullptr);
  EXPECT_EQ(captured.text(), "bye");

  // An empty last bucket still finishes the stream.
  TempFile other;
  FileOutputStream emptyEnd(other.release());
  bool doneWriting = false;
  emptyEnd.end("", [&] { doneWriting = true; });
  EXPECT_TRUE(doneWriting);
  EXPECT_EQ(emptyEnd.handle(), nullptr);

  // Without a last bucket, a failing doneWriting leaves the stream open.
  TempFile kept;
  FileOutputStream open(kept.file());
  EXPECT_THROW(open.end(std::nullopt, [] { throw std::runtime_error("not done"); }), std::runtime_error);
  EXPECT_EQ(open.handle(), kept.file());
  open.end(std::nullopt);
  EXPECT_EQ(open.handle(), nullptr);
  kept.release();
}
