// Typed drops over drop descriptions, and the rules of the form's number fields and steppers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "FennixTests/DispatchTestSupport.h"
#include "QuarvelUtilities/FormBlocks.h"
#include "QuarvelUtilities/TypedFileDrop.h"

namespace {

using namespace QuarvelUtilities;
using FennixTestSupport::runMainLoopFor;
using FennixTestSupport::runMainLoopUntil;

const std::string svgType = "image/svg+xml";

class TypedDrop : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("typed-drop-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path write(const std::string& name, const std::string& content) {
    auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  TypedDropDelegate delegate(std::vector<std::string> types = {svgType}) {
    return TypedDropDelegate(
        std::move(types), [this](bool on) { targeted.push_back(on); },
        [this](DropData data) { delivered.emplace_back(data.begin(), data.end()); },
        [this](const DropTooLarge& refused) { tooLarge.push_back(refused); },
        [this](const std::filesystem::path& file, const std::string& reason) {
          unreadable.push_back(file.filename().string() + ": " + reason);
        });
  }

  std::filesystem::path dir_;
  std::vector<bool> targeted;
  std::vector<std::string> delivered;
  std::vector<DropTooLarge> tooLarge;
  std::vector<std::string> unreadable;
};

TEST_F(TypedDrop, FilesAreValidatedByTypeAndTheFirstIsDelivered) {
  const auto png = write("picture.png", "\x89PNG");
  const auto first = write("first.svg", "<svg id=\"1\"/>");
  const auto second = write("second.svg", "<svg id=\"2\"/>");
  auto drop = delegate();
  EXPECT_FALSE(drop.validateDrop(DropInfo{{}, {png}}));
  EXPECT_FALSE(drop.validateDrop(DropInfo{{}, {dir_ / "missing.svg"}}));
  EXPECT_FALSE(drop.performDrop(DropInfo{{}, {png}}));
  EXPECT_TRUE(drop.validateDrop(DropInfo{{}, {png, first}}));

  EXPECT_TRUE(drop.performDrop(DropInfo{{}, {png, first, second}}));
  EXPECT_TRUE(delivered.empty()) << "delivered on the main queue, never during the drop";
  ASSERT_TRUE(runMainLoopUntil([&] { return !delivered.empty(); }));
  runMainLoopFor(0.05);
  EXPECT_EQ(delivered, std::vector<std::string>{"<svg id=\"1\"/>"});

  // No accepted types: nothing is taken.
  EXPECT_FALSE(delegate({}).performDrop(DropInfo{{}, {first}}));
}

TEST_F(TypedDrop, UnreadableFileIsAcceptedButDeliversNothing) {
  std::filesystem::create_directories(dir_ / "folder.svg");
  auto drop = delegate();
  const DropInfo info{{}, {dir_ / "folder.svg"}};
  EXPECT_TRUE(drop.validateDrop(info));
  EXPECT_TRUE(drop.performDrop(info));
  runMainLoopFor(0.2);
  EXPECT_TRUE(delivered.empty());
  std::string error;
  EXPECT_FALSE(TypedDropDelegate::readFile(dir_ / "missing.svg", error));
  EXPECT_FALSE(error.empty());
}

TEST_F(TypedDrop, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
  const auto pipe = dir_ / "pipe.svg";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  auto drop = delegate();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(drop.performDrop(DropInfo{{}, {pipe}}));
  const bool refused = runMainLoopUntil([&] { return !unreadable.empty(); }, 20);
  if (!refused) {
    // The reader waits in the pipe's opening: a writer that comes and goes lets it go on.
    const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer >= 0) ::close(writer);
    runMainLoopUntil([&] { return !delivered.empty() || !unreadable.empty(); }, 20);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: could not read dropped file: is not a regular file\n");
  EXPECT_TRUE(refused) << "the drop waited for a writer of the pipe";
  EXPECT_EQ(unreadable, std::vector<std::string>{"pipe.svg: is not a regular file"});
  EXPECT_TRUE(delivered.empty());
}

TEST_F(TypedDrop, DataDropTakesTheFirstProviderInAnAcceptedType) {
  std::vector<std::string> requested;
  auto provider = [&](std::vector<std::string> types, std::optional<std::string> content) {
    return DropItemProvider{std::move(types), [&requested, content](const std::string& type, auto done) {
                              requested.push_back(type);
                              if (content) {
                                done(DropData(content->begin(), content->end()), "", content->size());
                              } else {
                                done(std::nullopt, "gone", 0);
                              }
                            }};
  };
  auto drop = delegate({svgType, "text/plain"});
  DropInfo info{{provider({"text/html"}, "<p/>"), provider({svgType, "text/plain"}, "<svg/>"),
                 provider({svgType}, "<svg id=\"late\"/>")},
                {}};
  EXPECT_TRUE(drop.validateDrop(info));
  EXPECT_TRUE(drop.performDrop(info));
  ASSERT_TRUE(runMainLoopUntil([&] { return !delivered.empty(); }));
  EXPECT_EQ(delivered, std::vector<std::string>{"<svg/>"});
  EXPECT_EQ(requested, std::vector<std::string>{svgType});

  // A provider that offers only a later accepted type is asked for that one.
  delivered.clear();
  requested.clear();
  EXPECT_TRUE(drop.performDrop(DropInfo{{provider({"text/plain"}, "plain")}, {}}));
  ASSERT_TRUE(runMainLoopUntil([&] { return !delivered.empty(); }));
  EXPECT_EQ(requested, std::vector<std::string>{"text/plain"});

  // A failed load is printed and delivers nothing; an unrelated item is refused.
  delivered.clear();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(drop.performDrop(DropInfo{{provider({svgType}, std::nullopt)}, {}}));
  runMainLoopFor(0.05);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: failed to load drop data: gone\n");
  EXPECT_TRUE(delivered.empty());
  EXPECT_FALSE(drop.validateDrop(DropInfo{{provider({"text/html"}, "<p/>")}, {}}));
  EXPECT_FALSE(drop.performDrop(DropInfo{{provider({"text/html"}, "<p/>")}, {}}));
}

TEST_F(TypedDrop, AFileOrDataItemPastTheBoundIsRefusedWithItsSizeAndDeliversNothing) {
  const std::size_t largest = TypedDropDelegate::maximumDropSize;
  const auto fits = write("fits.svg", std::string(largest, ' '));
  const auto large = write("large.svg", std::string(largest + 1, ' '));
  auto drop = delegate();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(drop.performDrop(DropInfo{{}, {large}}));
  ASSERT_TRUE(runMainLoopUntil([&] { return !tooLarge.empty(); }));
  ASSERT_EQ(tooLarge.size(), 1u);
  EXPECT_EQ(tooLarge[0].file, large);
  EXPECT_EQ(tooLarge[0].bytes, largest + 1);
  EXPECT_TRUE(drop.performDrop(DropInfo{{}, {fits}}));
  ASSERT_TRUE(runMainLoopUntil([&] { return !delivered.empty(); }));
  EXPECT_EQ(delivered.front().size(), largest);

  // Data: the provider counts what it did not keep.
  const std::uint64_t size = 17u << 20;
  delivered.clear();
  tooLarge.clear();
  auto counted = DropItemProvider{{svgType}, [size](const std::string&, auto done) {
                                    done(std::nullopt, "larger", size);
                                  }};
  EXPECT_TRUE(drop.performDrop(DropInfo{{counted}, {}}));
  // A provider that kept it all is refused alike.
  auto kept = DropItemProvider{{svgType}, [largest](const std::string&, auto done) {
                                 done(DropData(largest + 1, ' '), "", largest + 1);
                               }};
  EXPECT_TRUE(drop.performDrop(DropInfo{{kept}, {}}));
  ASSERT_TRUE(runMainLoopUntil([&] { return tooLarge.size() == 2; }));
  runMainLoopFor(0.05);
  EXPECT_EQ(tooLarge[0].file, std::nullopt);
  EXPECT_EQ(tooLarge[0].bytes, size);
  EXPECT_EQ(tooLarge[1].bytes, largest + 1);
  EXPECT_TRUE(delivered.empty());
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("ERROR: dropped file too large: " + std::to_string(largest + 1) + " bytes"), std::string::npos)
      << printed;
}

TEST_F(TypedDrop, TargetedFlagFollowsEnterAndExit) {
  auto drop = delegate();
  drop.dropEntered();
  drop.dropExited();
  EXPECT_EQ(targeted, (std::vector<bool>{true, false}));
  TypedDropDelegate silent({svgType}, nullptr, [](DropData) {});
  silent.dropEntered();  // no flag to set: nothing happens
  silent.dropExited();
}

TEST(FormRules, WholeNumbersAsTheFieldsAcceptThem) {
  EXPECT_EQ(parseWholeNumber("20"), 20);
  EXPECT_EQ(parseWholeNumber(" -3 "), -3);
  EXPECT_EQ(parseWholeNumber("+7"), 7);
  EXPECT_EQ(parseWholeNumber("9999999999999999"), 9999999999999999);
  for (const char* bad : {"", " ", "-", "1.5", "1e3", "12a", "99999999999999999", "1,000", "--1"}) {
    EXPECT_EQ(parseWholeNumber(bad), std::nullopt) << bad;
  }
}

TEST(FormRules, StepperRefusesToLeaveItsRangeWithABeep) {
  int beeps = 0;
  const BoundedStepper fractionDigits{13, [&] { ++beeps; }};
  EXPECT_EQ(fractionDigits.increment(12), 13);
  EXPECT_EQ(fractionDigits.increment(13), 13);
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(fractionDigits.increment(20), 20);  // a typed value above the bound stays where it is
  EXPECT_EQ(fractionDigits.decrement(20), 19);
  EXPECT_EQ(fractionDigits.decrement(1), 0);
  EXPECT_EQ(fractionDigits.decrement(0), 0);
  EXPECT_EQ(fractionDigits.decrement(-4), -4);
  EXPECT_EQ(beeps, 4);
  const BoundedStepper indent{9, nullptr};
  EXPECT_EQ(indent.increment(9), 9);  // no beeper: still refused
  EXPECT_EQ(indent.clamped(-1), 0);
  EXPECT_EQ(indent.clamped(42), 9);
  EXPECT_EQ(indent.clamped(4), 4);
}

}  // namespace
