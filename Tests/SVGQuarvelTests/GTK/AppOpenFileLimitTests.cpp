// The real executable with few files it may open: launches that end with a message instead of a
// crash, the soft limit raised to the hard one, and a window refused while another stays at work.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <set>
#include <string>

#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "XDriver/XDriver.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

/// The numbers of the files the process `pid` has open.
std::set<long> openFiles(int pid) {
  std::set<long> numbers;
  const auto folder = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    numbers.insert(std::stol(entry.path().filename().string()));
  }
  return numbers;
}

/// The limit under which exactly `free` numbers are not taken by `open` files.
rlim_t limitLeaving(const std::set<long>& open, std::size_t free) {
  rlim_t limit = free;
  for (const long number : open) {
    if (rlim_t(number) < limit) ++limit;
  }
  return limit;
}

/// Whether the application on the bus at `address` answers a call for its list of actions. It
/// owns its name before its startup has run; the call is answered from its main loop, once that
/// startup (which checks the files it may open) is over.
bool applicationAnswers(const std::string& address) {
  GDBusConnection* connection = connectToBus(address);
  if (connection == nullptr) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      connection, "org.quarvel.SVGQuarvel", "/org/quarvel/SVGQuarvel", "org.gtk.Actions", "List", nullptr,
      G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 30000, nullptr, nullptr);
  if (reply != nullptr) g_variant_unref(reply);
  g_dbus_connection_close_sync(connection, nullptr, nullptr);
  g_object_unref(connection);
  return reply != nullptr;
}

/// Activates the application's action `name` with `parameter` through the bus, as a desktop's menu
/// does; whether the call was answered.
bool activateAction(const std::string& address, const char* name, GVariant* parameter) {
  GDBusConnection* connection = connectToBus(address);
  if (connection == nullptr) return false;
  GVariantBuilder parameters;
  g_variant_builder_init(&parameters, G_VARIANT_TYPE("av"));
  g_variant_builder_add(&parameters, "v", parameter);
  GVariant* reply = g_dbus_connection_call_sync(
      connection, "org.quarvel.SVGQuarvel", "/org/quarvel/SVGQuarvel", "org.gtk.Actions", "Activate",
      g_variant_new("(sava{sv})", name, &parameters, nullptr), nullptr, G_DBUS_CALL_FLAGS_NONE, 60000, nullptr, nullptr);
  if (reply != nullptr) g_variant_unref(reply);
  g_dbus_connection_close_sync(connection, nullptr, nullptr);
  g_object_unref(connection);
  return reply != nullptr;
}

class AppOpenFileLimitTest : public AppProcessTest {};

TEST_F(AppOpenFileLimitTest, LaunchesWithFewFilesEndWithAMessageOrOpenTheirWindow) {
  const auto drawing = folder_ / "few files.svg";
  writeFile(drawing, circle);
  for (const unsigned long limit : {12ul, 16ul, 20ul, 24ul, 28ul, 32ul, 36ul, 40ul, 64ul}) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    const std::string log = "app-open-files-" + std::to_string(limit) + ".log";
    auto app = launch({QUARVEL_APP_EXECUTABLE, drawing.string()}, log, XDriver::Process::OpenFileLimit{limit, limit});
    // Either the drawing's window shows, or the launch ends and says why on the terminal.
    std::optional<int> status;
    bool opened = false;
    XDriver::waitUntil(
        [&] {
          status = app->wait(0);
          opened = !status && x_.findWindow("Untitled").has_value();
          return status || opened;
        },
        120);
    const auto text = readFile(outputFile(log));
    EXPECT_FALSE(reportsAFault(text)) << text;
    if (opened) {
      EXPECT_GE(limit, 40ul) << "a window opened where too few files were free: " << text;
      app->terminate();
      XDriver::waitUntil([&] { return !x_.findWindow("Untitled").has_value(); }, 60);
    } else {
      ASSERT_TRUE(status) << "neither a window nor an end";
      EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << "status " << *status << "\n" << text;
      const bool notStarted = text.find("could not start: it may have " + std::to_string(limit) +
                                        " files open at a time, too few for it to run") != std::string::npos;
      // With no window of its own to close, the message points at the limit.
      const bool refused = text.find("No window could be opened for \u201cfew files.svg\u201d: This application may have "
                                     "only " + std::to_string(limit) + " files open at a time, too few for a window. "
                                     "Raise the limit of open files") != std::string::npos;
      EXPECT_TRUE(notStarted || refused) << text;
    }
    // The drawing is as it was, and a launch with room enough opens it.
    EXPECT_EQ(readFile(drawing), circle);
  }
  // A soft limit below the hard one is raised: the window opens.
  auto app = launch({QUARVEL_APP_EXECUTABLE, drawing.string()}, "app-open-files-raised.log",
                    XDriver::Process::OpenFileLimit{20, 4096});
  EXPECT_TRUE(x_.findWindow("Untitled", 120).has_value()) << readFile(outputFile("app-open-files-raised.log"));
  EXPECT_TRUE(app->running());
}

TEST_F(AppOpenFileLimitTest, AWindowRefusedForWantOfFilesLeavesTheOpenWindowAtWork) {
  const std::string log = "app-open-files-refused.log";
  auto app = launch({QUARVEL_APP_EXECUTABLE}, log);
  const auto window = x_.findWindow("Untitled", 120);
  ASSERT_TRUE(window) << readFile(outputFile(log));
  // Once the window and the web engine behind it have settled, the application may open only 16
  // files more: too few for another window, enough for a message.
  // Settled: the same files open through a second of looking.
  std::set<long> open;
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        open = openFiles(app->pid());
        return !XDriver::waitUntil([&] { return openFiles(app->pid()) != open; }, 1);
      },
      60));
  struct rlimit kept {};
  ASSERT_EQ(::prlimit(app->pid(), RLIMIT_NOFILE, nullptr, &kept), 0);
  const struct rlimit lowered {limitLeaving(open, 16), kept.rlim_max};
  ASSERT_EQ(::prlimit(app->pid(), RLIMIT_NOFILE, &lowered, nullptr), 0);

  // Ctrl+N is refused with a message that says why.
  x_.focus(*window);
  x_.key("ctrl+n");
  const auto message = x_.findWindow("No new window was opened.", 60);
  ASSERT_TRUE(message) << readFile(outputFile(log));
  expectShownWithText(*message, "app-open-files-refused-new.png");
  EXPECT_NE(readFile(outputFile(log)).find("This application has too many files open. Close some of its windows"),
            std::string::npos);
  dismiss("No new window was opened.", 30);

  // A second launch with few files of its own hands its drawing over; the window is refused, the
  // launch says so on its terminal and fails.
  const auto drawing = folder_ / "handed over.svg";
  writeFile(drawing, circle);
  auto second = launch({QUARVEL_APP_EXECUTABLE, drawing.string()}, "app-open-files-second.log",
                       XDriver::Process::OpenFileLimit{16, 16});
  const auto status = second->wait(120);
  const auto secondText = readFile(outputFile("app-open-files-second.log"));
  ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << status.value_or(-1) << "\n" << secondText;
  EXPECT_NE(secondText.find("ERROR: No window could be opened for \u201chanded over.svg\u201d: This application has too "
                            "many files open."),
            std::string::npos)
      << secondText;
  const auto fileMessage = x_.findWindow("The file could not be opened.", 60);
  ASSERT_TRUE(fileMessage) << readFile(outputFile(log));
  expectShownWithText(*fileMessage, "app-open-files-refused-drawing.png");
  dismiss("The file could not be opened.", 30);

  // The open window still takes its edits, and nothing was lost.
  EXPECT_TRUE(typeInto(*window, "<!--kept-->", "Untitled \u2014 Edited"));
  EXPECT_TRUE(app->running());
  EXPECT_EQ(readFile(drawing), circle);

  // With room again, the drawing handed over opens.
  ASSERT_EQ(::prlimit(app->pid(), RLIMIT_NOFILE, &kept, nullptr), 0);
  auto third = launch({QUARVEL_APP_EXECUTABLE, drawing.string()}, "app-open-files-third.log",
                      XDriver::Process::OpenFileLimit{16, 16});
  const auto thirdStatus = third->wait(120);
  EXPECT_TRUE(thirdStatus && WIFEXITED(*thirdStatus) && WEXITSTATUS(*thirdStatus) == 0)
      << readFile(outputFile("app-open-files-third.log"));
  EXPECT_TRUE(x_.findWindow("Untitled 2", 60).has_value()) << readFile(outputFile(log));
  const auto text = readFile(outputFile(log));
  EXPECT_FALSE(reportsAFault(text)) << text;
}

TEST_F(AppOpenFileLimitTest, WithoutAWindowARefusedWindowIsToldWhereItWasAskedFor) {
  // Started by the bus for a call, the application runs without a window. Its limit is lowered
  // only once it has started.
  const std::string log = "app-open-files-service.log";
  auto app = launch({QUARVEL_APP_EXECUTABLE, "--gapplication-service"}, log);
  ASSERT_TRUE(XDriver::waitUntil([&] { return applicationAnswers(bus_->address()); }, 120))
      << readFile(outputFile(log));
  struct rlimit kept {};
  ASSERT_EQ(::prlimit(app->pid(), RLIMIT_NOFILE, nullptr, &kept), 0);
  const struct rlimit lowered {limitLeaving(openFiles(app->pid()), 16), kept.rlim_max};
  ASSERT_EQ(::prlimit(app->pid(), RLIMIT_NOFILE, &lowered, nullptr), 0);

  // A launch without files asks it for a window, which it cannot open: the launch says why on its
  // own terminal and fails, rather than end well with no window.
  auto second = launch({QUARVEL_APP_EXECUTABLE}, "app-open-files-service-second.log",
                       XDriver::Process::OpenFileLimit{16, 16});
  const auto status = second->wait(120);
  const auto secondText = readFile(outputFile("app-open-files-service-second.log"));
  EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << status.value_or(-1) << "\n" << secondText;
  EXPECT_NE(secondText.find("ERROR: No new window was opened. This application may have only " +
                            std::to_string(lowered.rlim_cur) + " files open at a time, too few for a window."),
            std::string::npos)
      << secondText;

  // A sample drawing asked for from the desktop's menu, with no front document, is refused with
  // its reason too, not dropped without a word.
  ASSERT_TRUE(app->running()) << "the application ended before it was asked: " << readFile(outputFile(log));
  const auto before = readFile(outputFile(log));
  ASSERT_TRUE(activateAction(bus_->address(), "example", g_variant_new_int32(0))) << readFile(outputFile(log));
  const auto text = readFile(outputFile(log));
  EXPECT_NE(text.find("No new window was opened. This application may have only", before.size()),
            std::string::npos)
      << text;
  EXPECT_FALSE(x_.findWindow("Untitled", 0).has_value());
  EXPECT_FALSE(reportsAFault(text)) << text;
}

TEST_F(AppOpenFileLimitTest, ADrawingSentToAServiceThatCouldNotStartIsRefusedNotDropped) {
  // The bus starts the application for a call with the bus's own limit of open files: enough to
  // take the call, too few to start.
  std::filesystem::create_directories(folder_ / "activating");
  PrivateBus bus(folder_ / "activating", QUARVEL_BUILT_SERVICES_DIR,
                 {"XDG_CONFIG_HOME=" + (folder_ / "config").string(), "XDG_DATA_HOME=" + (folder_ / "data").string(),
                  "QUARVEL_RESOURCES=" QUARVEL_TEST_RESOURCE_DIR, "GDK_DEBUG=gl-disable", "GSK_RENDERER=cairo",
                  "WEBKIT_DISABLE_COMPOSITING_MODE=1", "LIBGL_ALWAYS_SOFTWARE=1", "NO_AT_BRIDGE=1"},
                 XDriver::Process::OpenFileLimit{16, 16});
  ASSERT_FALSE(bus.address().empty());
  GError* error = nullptr;
  GDBusConnection* connection = connectToBus(bus.address(), &error);
  ASSERT_NE(connection, nullptr) << error->message;
  GVariant* answer = g_dbus_connection_call_sync(
      connection, "org.quarvel.SVGQuarvel", "/org/quarvel/SVGQuarvel/Services", "org.quarvel.SVGQuarvel.Services",
      "OpenSVG", g_variant_new("(s)", circle.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, 120000, nullptr, &error);
  const auto busLog = readFile(folder_ / "activating" / "bus.log");
  // The application said on its output, which the bus keeps, why it did not start.
  ASSERT_NE(busLog.find("SVG Quarvel could not start: it may have 16 files open at a time"), std::string::npos)
      << busLog;
  // The caller learns that no window opened for its drawing.
  EXPECT_EQ(answer, nullptr) << "the call was answered as if its window had opened";
  if (answer != nullptr) g_variant_unref(answer);
  if (error != nullptr) g_error_free(error);
  EXPECT_FALSE(x_.findWindowStartingWith("Untitled").has_value());
  EXPECT_FALSE(reportsAFault(busLog)) << busLog;
  g_dbus_connection_close_sync(connection, nullptr, nullptr);
  g_object_unref(connection);
}

}  // namespace
