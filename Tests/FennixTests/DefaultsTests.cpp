#include <gtest/gtest.h>

#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "Fennix/Foundation/UserDefaults.h"
#include "FennixTests/DefaultsTestSupport.h"
#include "FennixTests/LogTestSupport.h"
#include "FennixTests/MemoryTestSupport.h"
#include "Platform/Dispatch.h"
#include "Platform/NotificationCenter.h"

using namespace FennixTestSupport;

namespace {

class DefaultsTests : public ::testing::Test {
 protected:
  void SetUp() override {
    temporaryUserDirectories();
    unique_ = uniqueTestName();
  }

  // A fresh suite name per test run, so that tests never share a file.
  std::string suiteName() const { return "test." + unique_; }
  std::string unique_;

  static std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  static void writeText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  static nlohmann::json readJSON(const std::filesystem::path& path) {
    return nlohmann::json::parse(readText(path), nullptr, /*allow_exceptions=*/false);
  }

  /// The lock file that writers of the suite file at `path` take.
  static std::filesystem::path lockFileOf(const std::filesystem::path& path) {
    return path.parent_path() / ("." + path.filename().string() + ".lock");
  }

  /// The file on which writers of the suite file at `path` wait for their turn to take its lock.
  static std::filesystem::path queueFileOf(const std::filesystem::path& path) {
    return path.parent_path() / ("." + path.filename().string() + ".queue");
  }

  /// How many opens of `file` the process `pid` has.
  static int opensOf(pid_t pid, const std::filesystem::path& file) {
    int opens = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
      std::error_code unreadable;
      if (std::filesystem::read_symlink(entry.path(), unreadable) == file) ++opens;
    }
    return opens;
  }

  /// Kills the helper process `pid`, stopped or not, and waits for it, unless `pid` was set to -1.
  struct KilledAtEnd {
    pid_t pid;
    ~KilledAtEnd() {
      if (pid > 0 && ::kill(pid, SIGKILL) == 0) waitForHelper(pid);
    }
  };

  /// Takes the lock of the suite file at `path` through an open of its own, as another process
  /// would; the open, or -1 when the lock could not be taken.
  static int holdLock(const std::filesystem::path& path) {
    std::filesystem::create_directories(path.parent_path());
    const int holder = ::open(lockFileOf(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (holder >= 0 && ::flock(holder, LOCK_EX) != 0) {
      ::close(holder);
      return -1;
    }
    return holder;
  }

  /// Runs the main loop, as the application does, until `done` holds (at most a generous while).
  static bool runMainLoopUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  /// The names in `folder` of temporary files of a write.
  static std::vector<std::string> temporaryFiles(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const auto name = entry.path().filename().string();
      if (name.find(".tmp.") != std::string::npos) names.push_back(name);
    }
    return names;
  }
};

}  // namespace

TEST_F(DefaultsTests, ValuesKeepTheirKindThroughTheFile) {
  auto writer = NSUserDefaults::fromSuiteName(suiteName());
  ASSERT_TRUE(writer);
  DefaultsData allBytes;
  for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<std::uint8_t>(i));
  writer->set("abc", "text");
  writer->set(allBytes, "bytes");
  writer->set(42, "int");
  writer->set("gone", "removed");
  writer->removeObject("removed");

  // A second object reads the file afresh.
  auto reader = NSUserDefaults::fromSuiteName(suiteName());
  EXPECT_EQ(reader->string("text"), "abc");
  EXPECT_EQ(reader->data("text"), std::nullopt);
  EXPECT_EQ(reader->data("bytes"), allBytes);
  EXPECT_EQ(reader->string("bytes"), std::nullopt);
  EXPECT_EQ(reader->object("int"), DefaultsValue(42));
  EXPECT_EQ(reader->object("removed"), std::nullopt);
}

TEST_F(DefaultsTests, ReadsSeeLaterWritesOfOtherObjectsAndWritesKeepTheirKeys) {
  auto first = NSUserDefaults::fromSuiteName(suiteName());
  auto second = NSUserDefaults::fromSuiteName(suiteName());
  first->set("one", "a");
  EXPECT_EQ(second->string("a"), "one");  // second has now read the file
  first->set("two", "b");
  second->set("three", "c");  // second's copy is stale: the write must start from the file
  EXPECT_EQ(first->string("a"), "one");
  EXPECT_EQ(first->string("b"), "two");
  EXPECT_EQ(first->string("c"), "three");
}

TEST_F(DefaultsTests, TwoProcessesWritingDifferentKeysLoseNothing) {
  const auto suite = suiteName();
  constexpr int count = 150;
  pid_t helper = startHelper({"write-keys", suite, "helper", std::to_string(count)});
  ASSERT_GT(helper, 0);
  auto defaults = NSUserDefaults::fromSuiteName(suite);
  for (int i = 0; i < count; ++i) defaults->set(i, "mine" + std::to_string(i));
  ASSERT_EQ(waitForHelper(helper), 0);

  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(defaults->object("mine" + std::to_string(i)), DefaultsValue(i));
    EXPECT_EQ(defaults->object("helper" + std::to_string(i)), DefaultsValue(i));
  }
}

// A writer that waits for the lock goes next: another process that comes later and writes on and
// on waits behind it rather than taking the lock again and again while the one in line is not
// trying (here it is stopped while it waits).
TEST_F(DefaultsTests, AWriterThatWaitsForTheLockGoesBeforeOneThatCameLaterAndWritesOnAndOn) {
  const auto suite = suiteName();
  const auto path = NSUserDefaults::fromSuiteName(suite)->path();
  const int holder = holdLock(path);
  ASSERT_GE(holder, 0);
  const pid_t first = startHelper({"write-keys", suite, "first", "1"});
  ASSERT_GT(first, 0);
  KilledAtEnd stopFirst{first};
  ASSERT_TRUE(runMainLoopUntil([&] { return opensOf(first, lockFileOf(path)) > 0; }));
  ASSERT_EQ(::kill(first, SIGSTOP), 0);
  const pid_t other = startHelper({"write-loop", suite});
  ASSERT_GT(other, 0);
  KilledAtEnd stopOther{other};
  ASSERT_TRUE(runMainLoopUntil([&] { return opensOf(other, queueFileOf(path)) + opensOf(other, lockFileOf(path)) > 0; }));
  ::close(holder);

  // The other process waits for its turn, not for the lock, or else writes.
  EXPECT_TRUE(runMainLoopUntil([&] {
    return std::filesystem::exists(path) ||
           (opensOf(other, queueFileOf(path)) > 0 && opensOf(other, lockFileOf(path)) == 0);
  }));
  EXPECT_FALSE(std::filesystem::exists(path)) << "a writer that came later went first: " << readText(path);
  ASSERT_EQ(::kill(first, SIGCONT), 0);
  EXPECT_EQ(waitForHelper(first), 0);
  stopFirst.pid = -1;
  EXPECT_TRUE(runMainLoopUntil([&] { return readJSON(path).contains("counter"); })) << readText(path);
  EXPECT_EQ(readJSON(path).value("first0", -1), 0);
}

TEST_F(DefaultsTests, AWriterKilledMidWriteLeavesAWholeFile) {
  const auto suite = suiteName();
  pid_t helper = startHelper({"write-loop", suite});
  ASSERT_GT(helper, 0);
  auto defaults = NSUserDefaults::fromSuiteName(suite);
  // Let it write for a while, then kill it wherever it is.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (defaults->integer("counter") < 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ::kill(helper, SIGKILL);
  EXPECT_EQ(waitForHelper(helper), -1);

  EXPECT_TRUE(defaults->synchronize());
  auto payload = defaults->string("payload");
  ASSERT_TRUE(payload);
  EXPECT_EQ(payload->size(), 200000u);
  EXPECT_EQ(payload->find_first_not_of(payload->front()), std::string::npos);
  EXPECT_GE(defaults->integer("counter"), 3);

  // Left-over temporary files do not disturb later writes, which clear them away.
  defaults->set("after", "key");
  EXPECT_EQ(NSUserDefaults::fromSuiteName(suite)->string("key"), "after");
  for (const auto& entry : std::filesystem::directory_iterator(defaults->path().parent_path())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp."), std::string::npos) << entry.path();
  }
}

TEST_F(DefaultsTests, DamagedFilesReadAsEmptyAndAreKeptAside) {
  struct Case {
    const char* what;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"not JSON", "{\"key\": \"value\""},
      {"not an object", "[1, 2, 3]"},
      {"nested too deep", "{\"a\":" + std::string(100000, '[') + std::string(100000, ']') + "}"},
      {"invalid UTF-8", "{\"key\": \"\xff\xfe\"}"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LogTestSupport::FileConsole capture(LogLevel::error);
    console::setDefaultConsole(capture.console);
    auto defaults = NSUserDefaults::fromSuiteName(suiteName() + std::to_string(n++));
    writeText(defaults->path(), c.text);
    EXPECT_EQ(defaults->object("key"), std::nullopt);
    EXPECT_FALSE(defaults->synchronize());
    // Reported once, not on every read.
    EXPECT_EQ(capture.err.text(), "ERROR: NSUserDefaults: could not read defaults, using none: " +
                                      defaults->path().string() + "\n");
    console::setDefaultConsole(nullptr);
    // Reading alone leaves the file as it is.
    EXPECT_EQ(readText(defaults->path()), c.text);

    defaults->set("new", "key");
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_EQ(defaults->string("key"), "new");
    auto aside = defaults->path();
    aside += ".corrupt";
    EXPECT_EQ(readText(aside), c.text);

    // A second damage does not overwrite the first one kept aside.
    writeText(defaults->path(), "garbage");
    defaults->set("newer", "key");
    auto secondAside = defaults->path();
    secondAside += ".corrupt.1";
    EXPECT_EQ(readText(aside), c.text);
    EXPECT_EQ(readText(secondAside), "garbage");
  }
}

TEST_F(DefaultsTests, AFileNestedTooDeepIsLeftAtOnce) {
  // A file of the largest size read, all of it opening brackets: the reading stops at the first
  // level too deep rather than keeping each level it reads on (eight bytes and more a bracket,
  // thirteen times the text in all), so it takes little more than the text and its copy.
  auto defaults = NSUserDefaults::fromSuiteName(suiteName());
  const std::string text = "{\"a\":" + std::string((std::size_t{16} << 20) - 8, '[');
  writeText(defaults->path(), text);
  LogTestSupport::FileConsole capture(LogLevel::error);
  console::setDefaultConsole(capture.console);
  const long long growth = MemoryTestSupport::peakMemoryGrowth([&] { (void)defaults->object("key"); });
  EXPECT_GE(growth, 0);
  EXPECT_LT(double(growth), 6.0 * double(text.size())) << growth << " bytes for " << text.size() << " bytes of text";
  EXPECT_EQ(defaults->object("key"), std::nullopt);
  console::setDefaultConsole(nullptr);
}

TEST_F(DefaultsTests, UnknownEntriesAreKeptAndReadAsNothing) {
  auto defaults = NSUserDefaults::fromSuiteName(suiteName());
  writeText(defaults->path(), R"({"list": [1, {"x": null}], "bad": {"$data": "!!"}, "text": "kept"})");
  EXPECT_EQ(defaults->object("list"), std::nullopt);
  EXPECT_EQ(defaults->data("bad"), std::nullopt);
  defaults->set(1, "added");
  EXPECT_EQ(nlohmann::json::parse(readText(defaults->path())),
            nlohmann::json::parse(R"({"list": [1, {"x": null}], "bad": {"$data": "!!"}, "text": "kept", "added": 1})"));
}

TEST_F(DefaultsTests, BadNamesAndTextsAreRefused) {
  for (const std::string& name : std::vector<std::string>{"", ".", "..", ".hidden", "a/b", "tab\there", std::string(201, 'x'), "\xff"}) {
    EXPECT_FALSE(NSUserDefaults::fromSuiteName(name)) << name;
  }
  auto defaults = NSUserDefaults::fromSuiteName(suiteName());
  defaults->set(std::string("bad \xc3"), "key");
  defaults->set("value", std::string("bad \xc3"));
  EXPECT_FALSE(std::filesystem::exists(defaults->path()));
  EXPECT_EQ(defaults->object("key"), std::nullopt);
}

TEST_F(DefaultsTests, AValueTooLargeForTheFileIsRefusedAndEveryKeyStays) {
  auto defaults = NSUserDefaults::fromSuiteName(suiteName());
  defaults->set("kept", "text");
  const DefaultsData moderate(1 << 20, 'x');
  defaults->set(moderate, "bytes");
  // Data grows by a third in the file: these bytes would make a file the suite cannot read.
  LogTestSupport::FileConsole capture(LogLevel::error);
  console::setDefaultConsole(capture.console);
  defaults->set(DefaultsData(13 << 20, 'y'), "bytes");
  defaults->set(std::string(17 << 20, 'z'), "huge text");
  console::setDefaultConsole(nullptr);
  EXPECT_EQ(capture.err.text(),
            "ERROR: NSUserDefaults: refusing a value that would make the defaults file too large to read, for key: bytes\n"
            "ERROR: NSUserDefaults: refusing a value that would make the defaults file too large to read, for key: huge text\n");

  for (const auto& reader : {defaults, NSUserDefaults::fromSuiteName(suiteName())}) {
    EXPECT_EQ(reader->string("text"), "kept");
    EXPECT_EQ(reader->data("bytes"), moderate);
    EXPECT_EQ(reader->object("huge text"), std::nullopt);
  }
  EXPECT_TRUE(defaults->synchronize());
}

// A process that holds the writers' lock and does not let go (stopped, stuck) keeps no writer
// waiting without end: the write gives up after a bounded wait, says so once, and later writes do
// not wait for the same holder again. Their values wait in this object, also when the holder
// writes the file before it lets go, and reach the file with the next write once it has.
TEST_F(DefaultsTests, AWriterThatNeverLetsGoOfTheLockHoldsNoOtherWriter) {
  auto defaults = NSUserDefaults::fromSuiteName(suiteName());
  defaults->set("before", "kept");
  const auto& path = defaults->path();
  const auto lockPath = path.parent_path() / ("." + path.filename().string() + ".lock");
  int holder = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);

  LogTestSupport::FileConsole capture(LogLevel::error);
  console::setDefaultConsole(capture.console);
  auto writes = std::async(std::launch::async, [&] {
    defaults->set(1, "first");
    defaults->set(2, "second");
  });
  const bool returned = writes.wait_for(std::chrono::seconds(120)) == std::future_status::ready;
  const auto unchanged = readText(path);
  // The holder writes a key of its own before it lets go; it lets go in any case, so that a
  // writer that still waits can end.
  if (returned) writeText(path, R"({"kept": "before", "theirs": "written"})");
  ::close(holder);
  writes.get();
  console::setDefaultConsole(nullptr);
  ASSERT_TRUE(returned) << "a write waited for the lock without end";
  EXPECT_EQ(capture.err.text(),
            "ERROR: NSUserDefaults: another process has held the lock for a while, writing once it lets go: " +
                path.string() + "\n");
  EXPECT_EQ(nlohmann::json::parse(unchanged), nlohmann::json::parse(R"({"kept": "before"})"));
  EXPECT_EQ(defaults->string("theirs"), "written");
  EXPECT_EQ(defaults->object("first"), DefaultsValue(1));
  EXPECT_EQ(defaults->object("second"), DefaultsValue(2));

  defaults->set(3, "third");
  EXPECT_EQ(readJSON(path), nlohmann::json::parse(R"({"kept": "before", "theirs": "written", "first": 1, "second": 2,
                                                      "third": 3})"));
}

// Without a file descriptor left, the file cannot be opened, which says nothing of what it holds:
// the values read before stay, a write fails (logged) rather than replace the file with the one
// key it changes, and nothing is moved aside.
TEST_F(DefaultsTests, WithNoFileLeftToOpenTheFileIsNotTakenForDamaged) {
  const auto suite = suiteName();
  auto defaults = NSUserDefaults::fromSuiteName(suite);
  defaults->set("one", "a");
  const auto& path = defaults->path();
  const auto log = temporaryUserDirectories() / (suite + ".log");
  pid_t helper = startHelper({"no-files-left", suite, log.string()});
  ASSERT_GT(helper, 0);
  EXPECT_EQ(waitForHelper(helper), 0);

  const auto lockPath = path.parent_path() / ("." + path.filename().string() + ".lock");
  EXPECT_EQ(readText(log),
            "ERROR: NSUserDefaults: could not read defaults for now, keeping the values read before, because this "
            "process has too many files open: " + path.string() + "\n"
            "ERROR: NSUserDefaults: could not open the lock file: " + lockPath.string() + " " + std::strerror(EMFILE) + "\n"
            "ERROR: NSUserDefaults: could not read the defaults file, not writing, because this process has too many "
            "files open: " + path.string() + "\n"
            "ERROR: NSUserDefaults: could not open the lock file: " + lockPath.string() + " " + std::strerror(EMFILE) + "\n");
  // The values set while the file could not be read reach it with the next write.
  EXPECT_EQ(nlohmann::json::parse(readText(path), nullptr, false),
            nlohmann::json::parse(R"({"a": "one", "b": "two", "c": "three", "d": "four", "e": "five", "g": "seven",
                                      "h": "eight"})"));
  // Nothing moved aside, no temporary file left.
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
    const auto name = entry.path().filename().string();
    if (name.find(path.filename().string()) == std::string::npos) continue;
    EXPECT_TRUE(entry.path() == path || entry.path() == lockPath || entry.path() == queueFileOf(path)) << name;
  }
  EXPECT_EQ(defaults->string("b"), "two");
}

// The main loop never waits for the writers of other processes: a value set there while another
// process holds the lock returns at once, reads see it (and what the other process wrote
// meanwhile), and it reaches the file once the lock is free, the last value set under a key
// winning, also from a suite nobody holds any more. The change is announced again once it is in
// the file.
TEST_F(DefaultsTests, OnTheMainLoopAWriteNeverWaitsForTheLockAndReachesTheFileOnceItIsFree) {
  const auto suite = suiteName();
  auto defaults = NSUserDefaults::fromSuiteName(suite);
  defaults->set("before", "kept");
  defaults->set("before", "removed");
  const auto& path = defaults->path();
  const auto ready = temporaryUserDirectories() / (suite + ".ready");
  pid_t helper = startHelper({"hold-lock", suite, ready.string()});
  ASSERT_GT(helper, 0);
  KilledAtEnd stop{helper};
  ASSERT_TRUE(runMainLoopUntil([&] { return std::filesystem::exists(ready); }));

  int announced = 0;
  auto token = NotificationCenter::defaultCenter().addObserver(NSUserDefaults::didChangeNotification, defaults.get(),
                                                               std::nullopt, [&](const Notification&) { ++announced; });
  LogTestSupport::FileConsole capture(LogLevel::error);
  console::setDefaultConsole(capture.console);
  bool ran = false;
  DispatchQueue::main().async([&] {
    defaults->set(1, "first");
    defaults->set("one", "second");
    defaults->set("two", "second");
    defaults->removeObject("removed");
    // A suite let go of at once still writes what waits in it.
    NSUserDefaults::fromSuiteName(suite)->set("let go", "temporary");
    ran = true;
  });
  EXPECT_TRUE(runMainLoopUntil([&] { return ran; }));
  EXPECT_EQ(announced, 4);
  EXPECT_EQ(readJSON(path), nlohmann::json::parse(R"({"kept": "before", "removed": "before"})"));
  EXPECT_EQ(defaults->object("first"), DefaultsValue(1));
  EXPECT_EQ(defaults->string("second"), "two");
  EXPECT_EQ(defaults->object("removed"), std::nullopt);

  // The process that holds the lock writes a key of its own meanwhile.
  writeText(path, R"({"kept": "before", "removed": "before", "theirs": "written"})");
  EXPECT_EQ(defaults->string("theirs"), "written");
  EXPECT_EQ(defaults->object("first"), DefaultsValue(1));
  EXPECT_EQ(defaults->object("removed"), std::nullopt);
  // A few turns of the main loop find the lock still held and write nothing.
  int turns = 0;
  DispatchQueue::main().asyncAfter(0.1, [&] { ++turns; });
  ASSERT_TRUE(runMainLoopUntil([&] { return turns == 1; }));
  EXPECT_EQ(readJSON(path), nlohmann::json::parse(R"({"kept": "before", "removed": "before", "theirs": "written"})"));

  ::kill(helper, SIGTERM);
  EXPECT_EQ(waitForHelper(helper), -1);
  stop.pid = -1;
  const auto expected = nlohmann::json::parse(R"({"kept": "before", "theirs": "written", "first": 1, "second": "two",
                                                      "temporary": "let go"})");
  EXPECT_TRUE(runMainLoopUntil([&] { return readJSON(path) == expected; })) << readText(path);
  EXPECT_TRUE(runMainLoopUntil([&] { return announced == 5; })) << announced;
  console::setDefaultConsole(nullptr);
  NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(capture.err.text().find("not writing"), std::string::npos) << capture.err.text();
  auto reader = NSUserDefaults::fromSuiteName(suite);
  EXPECT_EQ(reader->dictionaryRepresentation(), defaults->dictionaryRepresentation());
  EXPECT_EQ(reader->string("second"), "two");
}

// A defaults file that is a symbolic link (absolute or relative) stays one: the file it leads to
// is replaced in its own folder, keeping its permissions and the keys it held.
TEST_F(DefaultsTests, ASymbolicLinkStaysAndTheFileItLeadsToIsWritten) {
  for (const bool relative : {false, true}) {
    SCOPED_TRACE(relative ? "relative link" : "absolute link");
    const auto suite = suiteName() + (relative ? ".relative" : ".absolute");
    auto defaults = NSUserDefaults::fromSuiteName(suite);
    const auto& path = defaults->path();
    const auto folder = temporaryUserDirectories() / ("linked." + suite);
    const auto target = folder / "settings.json";
    writeText(target, R"({"theirs": "kept"})");
    ::chmod(target.c_str(), 0640);
    std::filesystem::create_directories(path.parent_path());
    const auto link = relative ? std::filesystem::relative(target, path.parent_path()) : target;
    std::filesystem::create_symlink(link, path);

    EXPECT_EQ(defaults->string("theirs"), "kept");
    defaults->set("new", "key");
    defaults->set(2, "count");
    ASSERT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(std::filesystem::read_symlink(path), link);
    EXPECT_EQ(readJSON(target), nlohmann::json::parse(R"({"theirs": "kept", "key": "new", "count": 2})"));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_TRUE(temporaryFiles(folder).empty());
    EXPECT_TRUE(temporaryFiles(path.parent_path()).empty());
    EXPECT_EQ(NSUserDefaults::fromSuiteName(suite)->string("key"), "new");
  }
}

// A link that leads to no file, or into a folder that cannot be written, is not written through:
// the write fails as any write does (logged, the value kept in this object), the link stays, and
// no file is made anywhere.
TEST_F(DefaultsTests, ALinkThatLeadsNowhereOrIntoAFolderThatCannotBeWrittenIsNotWrittenThrough) {
  const auto suite = suiteName();
  {
    SCOPED_TRACE("link to nothing");
    auto defaults = NSUserDefaults::fromSuiteName(suite + ".nowhere");
    const auto& path = defaults->path();
    const auto folder = temporaryUserDirectories() / ("nowhere." + suite);
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::create_symlink(folder / "missing.json", path);
    LogTestSupport::FileConsole capture(LogLevel::error);
    console::setDefaultConsole(capture.console);
    defaults->set("new", "key");
    console::setDefaultConsole(nullptr);
    EXPECT_EQ(capture.err.text(),
              "ERROR: NSUserDefaults: could not write, the defaults file is a symbolic link that leads to no file: " +
                  path.string() + "\n");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(defaults->string("key"), "new");
  }
  {
    SCOPED_TRACE("link into a folder that cannot be written");
    auto defaults = NSUserDefaults::fromSuiteName(suite + ".readonly");
    const auto& path = defaults->path();
    const auto folder = temporaryUserDirectories() / ("readonly." + suite);
    std::filesystem::create_directories(folder);
    const auto target = folder / "settings.json";
    // An administrator writes into any folder: the file system itself is made read-only then.
    const bool mounted = ::geteuid() == 0 && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m") == 0;
    struct Unmount {
      std::filesystem::path folder;
      bool mounted;
      ~Unmount() {
        if (mounted) ::umount2(folder.c_str(), MNT_DETACH);
      }
    } unmount{folder, mounted};
    if (::geteuid() == 0 && !mounted) GTEST_SKIP() << "no file system could be mounted";
    writeText(target, R"({"theirs": "kept"})");
    if (mounted) {
      ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
    } else {
      ::chmod(folder.c_str(), 0555);
    }
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::create_symlink(target, path);
    LogTestSupport::FileConsole capture(LogLevel::error);
    console::setDefaultConsole(capture.console);
    defaults->set("new", "key");
    console::setDefaultConsole(nullptr);
    EXPECT_EQ(capture.err.text().rfind("ERROR: NSUserDefaults: could not write: " + target.string() + " ", 0), 0u)
        << capture.err.text();
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(readText(target), R"({"theirs": "kept"})");
    EXPECT_EQ(defaults->string("key"), "new");
    EXPECT_EQ(defaults->string("theirs"), "kept");
    if (!mounted) ::chmod(folder.c_str(), 0755);
  }
}

// A process that ends while values wait for the lock writes them as it ends once the lock is free,
// and otherwise says in the log which keys are lost.
TEST_F(DefaultsTests, ValuesThatWaitForTheLockAreWrittenWhenTheProcessEndsOrNamedAsLost) {
  for (const std::string lock : {"released", "held"}) {
    SCOPED_TRACE(lock);
    const auto suite = suiteName() + "." + lock;
    const auto log = temporaryUserDirectories() / (suite + ".log");
    const pid_t helper = startHelper({"set-and-exit", suite, "key", "value", lock, log.string()});
    ASSERT_GT(helper, 0);
    EXPECT_EQ(waitForHelper(helper), 0);
    const auto path = NSUserDefaults::fromSuiteName(suite)->path();
    if (lock == "released") {
      EXPECT_EQ(readJSON(path), nlohmann::json::parse(R"({"key": "value"})")) << readText(log);
      EXPECT_EQ(readText(log), "");
    } else {
      EXPECT_FALSE(std::filesystem::exists(path));
      EXPECT_NE(readText(log).find("losing keys: key of " + path.string()), std::string::npos) << readText(log);
    }
  }
}

// While the lock is held elsewhere, a value that would make the file too large is refused at
// once, as it is when the lock is free, and the values that wait beside it still reach the file.
TEST_F(DefaultsTests, AValueTooLargeForTheFileIsRefusedAtOnceAndTheValuesBesideItStillWait) {
  auto defaults = NSUserDefaults::fromSuiteName(suiteName());
  const auto& path = defaults->path();
  // Another open of the lock file holds it, as another process would.
  const int holder = holdLock(path);
  ASSERT_GE(holder, 0);
  LogTestSupport::FileConsole capture(LogLevel::error);
  console::setDefaultConsole(capture.console);
  bool ran = false;
  DispatchQueue::main().async([&] {
    defaults->set("small", "beside");
    defaults->set(std::string(17 * 1024 * 1024, 'x'), "large");
    ran = true;
  });
  EXPECT_TRUE(runMainLoopUntil([&] { return ran; }));
  EXPECT_EQ(defaults->object("large"), std::nullopt);
  EXPECT_EQ(defaults->string("beside"), "small");
  ::close(holder);
  EXPECT_TRUE(runMainLoopUntil([&] { return std::filesystem::exists(path); }));
  console::setDefaultConsole(nullptr);
  EXPECT_EQ(readJSON(path), nlohmann::json::parse(R"({"beside": "small"})"));
  EXPECT_EQ(capture.err.text(),
            "ERROR: NSUserDefaults: refusing a value that would make the defaults file too large to read, for key: "
            "large\n");
}

// A write off the main loop that waits for another process's lock does not keep the suite from
// the main loop meanwhile: it reads, and sets values that wait, at once.
TEST_F(DefaultsTests, AWriteOffTheMainLoopThatWaitsForTheLockDoesNotHoldUpTheMainLoop) {
  auto defaults = NSUserDefaults::fromSuiteName(suiteName());
  defaults->set("before", "read");
  const auto& path = defaults->path();
  const auto lockPath = lockFileOf(path);
  const int holder = holdLock(path);
  ASSERT_GE(holder, 0);
  LogTestSupport::FileConsole capture(LogLevel::error);
  console::setDefaultConsole(capture.console);
  std::atomic<bool> written{false};
  std::thread writer([&] {
    defaults->set("off", "thread");
    written = true;
  });
  // The writer has the lock file open: it waits for the lock until the bound.
  EXPECT_TRUE(runMainLoopUntil([&] { return opensOf(::getpid(), lockPath) == 2 || written; }));
  std::optional<std::string> read;
  DispatchQueue::main().async([&] {
    read = defaults->string("read");
    defaults->set("main", "loop");
  });
  EXPECT_TRUE(runMainLoopUntil([&] { return read.has_value(); }));
  EXPECT_FALSE(written) << "the main loop waited for the write off it";
  EXPECT_EQ(read, "before");
  EXPECT_EQ(defaults->string("loop"), "main");
  writer.join();
  ::close(holder);
  EXPECT_TRUE(runMainLoopUntil([&] { return readJSON(path).contains("loop"); }));
  console::setDefaultConsole(nullptr);
  EXPECT_EQ(readJSON(path)["loop"], "main");
}

// A value set off the main loop under a key whose value waits for the lock, and that cannot be
// written either, takes the waiting value's place: it reaches the file once the lock is free,
// even when the process that held the lock changed the file meanwhile.
TEST_F(DefaultsTests, AValueSetOffTheMainLoopUnderAWaitingKeyReplacesItAndReachesTheFile) {
  auto defaults = NSUserDefaults::fromSuiteName(suiteName());
  const auto& path = defaults->path();
  const int holder = holdLock(path);
  ASSERT_GE(holder, 0);
  LogTestSupport::FileConsole capture(LogLevel::error);
  console::setDefaultConsole(capture.console);
  bool ran = false;
  DispatchQueue::main().async([&] {
    defaults->set("main loop", "key");
    defaults->set("main loop", "other");
    ran = true;
  });
  EXPECT_TRUE(runMainLoopUntil([&] { return ran; }));
  // Off the main loop the write waits for the lock until the bound, and fails.
  std::thread([&] { defaults->set("thread", "key"); }).join();
  EXPECT_EQ(defaults->string("key"), "thread");
  // The process that holds the lock writes the file before it lets go.
  writeText(path, R"({"theirs": "written"})");
  ::close(holder);
  EXPECT_TRUE(runMainLoopUntil([&] { return readJSON(path).contains("other"); })) << readText(path);
  console::setDefaultConsole(nullptr);
  EXPECT_EQ(readJSON(path), nlohmann::json::parse(R"({"theirs": "written", "other": "main loop", "key": "thread"})"));
  EXPECT_EQ(defaults->string("key"), "thread");
}
