#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "Fennix/console/FileOutputStream.h"
#include "LogTestSupport.h"

using LogTestSupport::TempFile;

TEST(ConsoleStreamTests, WritesEveryNonEmptyBucketAndAlwaysCompletes) {
  TempFile file;
  FileOutputStream stream(file.file());
  const std::string ab = "ab", cd = "cd";
  int done = 0;
  const auto countDone = [&done] { ++done; };
  const ByteBucket leadingEmpty[] = {ByteBucket(), WritableByteStreamType::bytes(ab), ByteBucket(),
                                     WritableByteStreamType::bytes(cd)};
  stream.writev(leadingEmpty, countDone);
  stream.writev({}, countDone);
  stream.write("", countDone);
  stream.write("ef", countDone);
  EXPECT_EQ(done, 4);
  EXPECT_EQ(file.text(), "abcdef");
}

TEST(ConsoleStreamTests, FailuresAreThrownAfterCompletion) {
  int done = 0;
  const auto countDone = [&done] { ++done; };
  FileOutputStream closed(nullptr);
  FileOutputStream readOnly(std::fopen("/dev/null", "r"));
  auto failure = [&](FileOutputStream& stream) {
    try {
      stream.write("x", countDone);
    } catch (const FileOutputStream::Error& error) {
      return std::string(error.what());
    }
    return std::string("wrote");
  };
  EXPECT_EQ(failure(closed), "Closed");
  EXPECT_EQ(done, 0) << "a closed stream wrote nothing, so nothing finished";
  EXPECT_EQ(failure(readOnly), "WriteFailed");
  EXPECT_EQ(done, 1);
  readOnly.end();
  // Ending a closed stream with a last bucket fails the same way, without calling `doneWriting`.
  int doneWriting = 0;
  EXPECT_THROW(closed.end("z", [&doneWriting] { ++doneWriting; }), FileOutputStream::Error);
  EXPECT_EQ(doneWriting, 0);

  TempFile file;
  FileOutputStream stream(file.file());
  EXPECT_THROW(stream.write("y", [] { throw std::runtime_error("done failed"); }), std::runtime_error);
  EXPECT_EQ(file.text(), "y");
}

TEST(ConsoleStreamTests, EndClosesOnlyOwnFiles) {
  FileOutputStream standardOutput(stdout);
  standardOutput.end();
  EXPECT_EQ(standardOutput.handle(), stdout);

  char* buffer = nullptr;
  std::size_t size = 0;
  FileOutputStream stream(::open_memstream(&buffer, &size));
  std::string events;
  stream.end("bye", [&] { events += stream.handle() != nullptr ? "done while open" : "done after close"; });
  EXPECT_EQ(events, "done while open");
  EXPECT_EQ(stream.handle(), nullptr);
  EXPECT_EQ(std::string(buffer, size), "bye");
  std::free(buffer);
  stream.end();  // already ended: nothing happens
  EXPECT_THROW(stream.write("late"), FileOutputStream::Error);

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
}
