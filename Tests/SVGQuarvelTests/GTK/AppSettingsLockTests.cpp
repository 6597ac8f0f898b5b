// The settings as the real executable stores them while another process of the user holds the
// lock of the settings file's writers: a setting changed with a click shows at once, the
// application keeps answering on the bus, and the setting reaches the file once the lock is free.
#include <fcntl.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "Fennix/Foundation/Base64.h"
#include "Fennix/Foundation/UserDefaults.h"
#include "SVGQuarvel/Model/SVGQuarvelConfiguration.h"
#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

class AppSettingsLockTest : public AppProcessTest {
 protected:
  /// The settings file of the application's group, once the application has written it.
  std::optional<std::filesystem::path> settingsFile() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ / "config" / "fennix" / "defaults", error)) {
      if (entry.path().extension() != ".json") continue;
      const auto json = nlohmann::json::parse(readFile(entry.path()), nullptr, false);
      if (!json.is_object()) continue;
      const auto group = json.find(NSUserDefaults::QvDefaultGroupNameKey);
      if (group != json.end() && *group == SVGQuarvelConfiguration::defaultsGroup()) return entry.path();
    }
    return std::nullopt;
  }

  /// The settings stored in `file`; none while none are.
  static std::optional<SVGQuarvelConfiguration> storedSettings(const std::filesystem::path& file) {
    const auto json = nlohmann::json::parse(readFile(file), nullptr, false);
    if (!json.is_object() || !json.contains(SVGQuarvelConfiguration::SVGQuarvelConfigKey)) return std::nullopt;
    const auto& stored = json[SVGQuarvelConfiguration::SVGQuarvelConfigKey];
    if (!stored.is_object() || !stored.contains("$data") || !stored["$data"].is_string()) return std::nullopt;
    const auto data = Fennix::base64Decode(stored["$data"].get<std::string>());
    if (!data) return std::nullopt;
    try {
      return SVGQuarvelConfiguration::fromJSONString(std::string(data->begin(), data->end()));
    } catch (const SVGQuarvelConfiguration::DecodingError&) {
      return std::nullopt;
    }
  }

  /// Starts the application, waits for its settings file and for its window to take clicks (the
  /// box of the preview provider is clicked until the setting is stored), then holds the lock of
  /// the settings' writers as another process of the user would, and clicks the box of the
  /// imports. The descriptor that holds the lock; -1 on failure.
  int startAndChangeASettingWhileTheLockIsHeld(std::unique_ptr<XDriver::Process>& app, const std::string& name,
                                               std::optional<XDriver::WindowID>& window,
                                               std::optional<std::filesystem::path>& file, std::string& before) {
    app = launch({QUARVEL_APP_EXECUTABLE}, name + ".log");
    window = x_.findWindow("Untitled", 120);
    EXPECT_TRUE(window) << readFile(outputFile(name + ".log"));
    if (!window) return -1;
    EXPECT_TRUE(XDriver::waitUntil([&] { return (file = settingsFile()).has_value(); }, 60));
    if (!file) return -1;
    // Tall enough for the whole form (its rows then lie where this layout puts them).
    x_.resize(*window, 1100, 1000);
    EXPECT_TRUE(XDriver::waitUntil([&] { return x_.geometry(*window).height == 1000; }, 10));
    const SVGQuarvelConfiguration defaults;
    const auto click = [&](int x, int y) {
      x_.focus(*window);
      const auto frame = x_.geometry(*window);
      x_.click(frame.x + x, frame.y + y);
    };
    const bool taken = XDriver::waitUntil(
        [&] {
          click(291, 471);
          return XDriver::waitUntil(
              [&] {
                const auto stored = storedSettings(*file);
                return stored && stored->previewProvider != defaults.previewProvider;
              },
              15);
        },
        60);
    EXPECT_TRUE(taken) << readFile(*file);
    if (!taken) return -1;

    const auto lockPath = file->parent_path() / ("." + file->filename().string() + ".lock");
    const int holder = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (holder < 0 || ::flock(holder, LOCK_EX) != 0) {
      ADD_FAILURE() << "could not hold the lock";
      return -1;
    }
    before = readFile(*file);

    // The box of the imports, clicked: it shows checked the other way once the click is taken.
    const auto frame = x_.geometry(*window);
    const XDriver::Rect box{frame.x + 281, frame.y + 481, 20, 20};
    const auto unclicked = x_.grab(box).pixels;
    click(291, 491);
    const bool redrawn = XDriver::waitUntil([&] { return x_.grab(box).pixels != unclicked; }, 60);
    x_.grabScreen().savePNG(outputFile(name + "-held.png").string());
    EXPECT_TRUE(redrawn) << "the click on the box of the imports did not show";
    return holder;
  }
};

}  // namespace

TEST_F(AppSettingsLockTest, ASettingChangedWhileAnotherProcessHoldsTheLockReachesTheFileOnceTheLockIsFree) {
  std::unique_ptr<XDriver::Process> app;
  std::optional<XDriver::WindowID> window;
  std::optional<std::filesystem::path> file;
  std::string before;
  const int holder = startAndChangeASettingWhileTheLockIsHeld(app, "app-settings-lock", window, file, before);
  ASSERT_GE(holder, 0);
  const SVGQuarvelConfiguration defaults;

  // The main loop runs meanwhile: the application answers on the bus, and has written nothing.
  GDBusConnection* bus = connectToBus(bus_->address());
  ASSERT_NE(bus, nullptr);
  EXPECT_TRUE(applicationAnswers(bus, 60));
  EXPECT_EQ(readFile(*file), before);

  ::close(holder);
  EXPECT_TRUE(XDriver::waitUntil(
      [&] {
        const auto stored = storedSettings(*file);
        return stored && stored->imports != defaults.imports && stored->previewProvider != defaults.previewProvider;
      },
      60))
      << readFile(*file) << readFile(outputFile("app-settings-lock.log"));
  EXPECT_TRUE(applicationAnswers(bus, 60));
  g_dbus_connection_close_sync(bus, nullptr, nullptr);
  g_object_unref(bus);
  EXPECT_TRUE(app->running());
}

// Quitting while the changed setting still waits for the lock: the application waits for the
// lock a few seconds at most, then quits and says in its log which setting is lost.
TEST_F(AppSettingsLockTest, QuittingWhileASettingWaitsForTheLockSaysTheSettingIsLost) {
  std::unique_ptr<XDriver::Process> app;
  std::optional<XDriver::WindowID> window;
  std::optional<std::filesystem::path> file;
  std::string before;
  const int holder = startAndChangeASettingWhileTheLockIsHeld(app, "app-settings-lock-quit", window, file, before);
  ASSERT_GE(holder, 0);
  // The changed setting made the document one with changes: Ctrl+Q asks, Don't Save quits.
  const std::string question = "Do you want to save the changes made to the document \u201cUntitled\u201d?";
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*window);
        x_.key("ctrl+q");
        return x_.findWindow(question, 5).has_value();
      },
      60));
  const auto asked = x_.findWindow(question, 30);
  ASSERT_TRUE(asked);
  const auto frame = x_.geometry(*asked);
  XDriver::waitUntil([&] { return inkIn(x_.grab(frame)) > 200u; }, 60);
  x_.grab(frame).savePNG(outputFile("app-settings-lock-quit-question.png").string());
  EXPECT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*asked);
        x_.click(frame.x + 30, frame.y + frame.height - 18);
        return XDriver::waitUntil([&] { return !x_.findWindow(question).has_value(); }, 3);
      },
      30));
  const auto status = app->wait(60);
  ::close(holder);
  ASSERT_TRUE(status) << "the application did not quit";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_EQ(readFile(*file), before);
  const auto log = readFile(outputFile("app-settings-lock-quit.log"));
  EXPECT_NE(log.find(std::string("losing keys: ") + SVGQuarvelConfiguration::SVGQuarvelConfigKey + " of " + file->string()),
            std::string::npos)
      << log;
}
