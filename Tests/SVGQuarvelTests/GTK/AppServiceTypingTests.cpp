// The services while a user types: another program's SvgToView call is answered while the window
// is still taking a keystroke. The application runs in this process as it runs on its own
// (registered on the session bus, a window on the built-in drawing); real X keys go into its SVG
// editor, and the main loop is held in each keystroke's change, where the window generates the
// drawing's code anew, until a call made then through a connection of its own has its answer.
// An answer that needed the main loop would never come while it is held.
#include <gdk/gdk.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtkmm/textview.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"
#include "SVGQuarvel/App/SVGConverterService.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvel/Views/GTK/ContentView.h"
#include "SVGQuarvel/Views/GTK/ContentViewImpl.h"
#include "SVGQuarvelTests/GTK/ProcessLookups.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "XDriver/XDriver.h"

namespace {

const std::string square = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"4\" height=\"4\"/></svg>";

/// Runs the main loop until `done` answers true or `seconds` pass; whether it did.
bool runUntil(const std::function<bool()>& done, double seconds) {
  const gint64 deadline = g_get_monotonic_time() + gint64(seconds * G_USEC_PER_SEC);
  while (!done()) {
    if (g_get_monotonic_time() > deadline) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  }
  return true;
}

/// A connection of its own to the session bus, as another program's.
GDBusConnection* otherProgramsConnection() {
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (address == nullptr) return nullptr;
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address,
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  g_free(address);
  return connection;
}

/// The application running in this process, its window on the built-in drawing, and a connection
/// of another program to call the services through.
class AppServiceWhileTyping : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)QuarvelTestSupport::temporaryUserDirectories();
    ::setenv("QUARVEL_RESOURCES", QUARVEL_TEST_RESOURCE_DIR, 1);
    if (!x.ok()) GTEST_SKIP() << "no X server with the XTest extension";
    ASSERT_TRUE(gdk_display_get_default() != nullptr || gtk_init_check());
    app = SVGQuarvelApp::create();
    ASSERT_TRUE(app->register_application());
    ASSERT_FALSE(app->is_remote()) << "another instance holds the application's name on this bus";
    app->hold();
    held = true;
    app->activate();
    ASSERT_TRUE(runUntil([&] { return !app->documentWindows().empty() && app->documentWindows()[0]->get_mapped(); }, 120));
    window = app->documentWindows()[0];
    auto* content = dynamic_cast<ContentView*>(window->get_child());
    ASSERT_NE(content, nullptr);
    view = dynamic_cast<Gtk::TextView*>(content->impl().svgEditor().get_child());
    ASSERT_NE(view, nullptr);
    document = window->record()->document();
    caller = otherProgramsConnection();
    ASSERT_NE(caller, nullptr);
  }

  void TearDown() override {
    if (caller != nullptr) {
      g_dbus_connection_close_sync(caller, nullptr, nullptr);
      g_object_unref(caller);
    }
    if (!held) return;
    for (auto* open : app->documentWindows()) open->closeNow();
    runUntil([&] { return app->documentWindows().empty(); }, 30);
    app->release();
  }

  /// Makes the window the active one through the X server, with the cursor after "<svg".
  void focusTheSVGEditor() {
    const auto shown = x.findWindow("Untitled", 30);
    ASSERT_TRUE(shown);
    x.focus(*shown);
    ASSERT_TRUE(runUntil([&] { return window->is_active(); }, 30));
    view->get_buffer()->place_cursor(view->get_buffer()->get_iter_at_offset(4));
    view->grab_focus();
    runUntil([] { return false; }, 0.3);
  }

  /// Calls SvgToView with the square through the other program's connection: its code, or sets
  /// `failure` to the error's message.
  std::string squareToView(std::string& failure) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        caller, "org.quarvel.SVGQuarvel", SVGConverterService::objectPath, SVGConverterService::interfaceName,
        "SvgToView", g_variant_new("(s)", square.c_str()), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 60'000,
        nullptr, &error);
    if (reply == nullptr) {
      failure = error->message;
      g_error_free(error);
      return {};
    }
    const gchar* swift = nullptr;
    g_variant_get(reply, "(&s)", &swift);
    std::string answer = swift;
    g_variant_unref(reply);
    return answer;
  }

  /// Types three blanks after "<svg", which keep the drawing valid, at once (the later keys wait
  /// in the queue while the first is held), calling SvgToView in each keystroke's change: the
  /// answers, or the first failure, after which no more calls are made (they would wait as long).
  void typeCallingOnEachKeystroke(std::vector<std::string>& answers, std::string& failure) {
    auto keystrokes = document->svgString.didSet().sink([&](const std::string&) {
      if (!failure.empty()) return;
      std::string answer = squareToView(failure);
      if (failure.empty()) answers.push_back(answer);
    });
    focusTheSVGEditor();
    const auto before = document->svgString.get().size();
    ASSERT_TRUE(x.type("   ", 0));
    ASSERT_TRUE(runUntil([&] { return document->svgString.get().size() == before + 3 || !failure.empty(); }, 300));
    keystrokes.cancel();
  }

  XDriver::Session x;
  decltype(SVGQuarvelApp::create()) app;
  bool held = false;
  SVGQuarvel::DocumentWindow* window = nullptr;
  Gtk::TextView* view = nullptr;
  std::shared_ptr<SVGQuarvelDocument> document;
  GDBusConnection* caller = nullptr;
};

TEST_F(AppServiceWhileTyping, SvgToViewIsAnsweredWhileTheWindowIsStillTakingEachKeystroke) {
  std::vector<std::string> answers;
  std::string failure;
  ASSERT_NO_FATAL_FAILURE(typeCallingOnEachKeystroke(answers, failure));
  EXPECT_EQ(failure, "") << "the answer waited for the window to finish the keystroke";
  const auto expected = SVGQuarvelDocument::export_(square, SVGQuarvelConfiguration::defaultConfig()).code;
  EXPECT_EQ(answers.size(), 3u);
  for (const auto& answer : answers) EXPECT_EQ(answer, expected);
}

TEST_F(AppServiceWhileTyping, AProgramCallingOnEachKeystrokeIsAskedAfterOnTheBusOnlyForItsFirstCall) {
  // Which process a connection belongs to is a round trip to the bus, and one that waits for a
  // processor while the window and the preview keep them busy: a program that stays on the bus
  // is asked after once, not on every call.
  const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
  ASSERT_NE(address, nullptr);
  ProcessLookups lookups(address);
  ASSERT_TRUE(lookups.ok());
  GDBusConnection* applicationBus = app->get_dbus_connection()->gobj();
  ASSERT_NE(applicationBus, nullptr);
  const std::string application = g_dbus_connection_get_unique_name(applicationBus);
  const std::string program = g_dbus_connection_get_unique_name(caller);

  std::vector<std::string> answers;
  std::string failure;
  ASSERT_NO_FATAL_FAILURE(typeCallingOnEachKeystroke(answers, failure));
  ASSERT_EQ(failure, "");
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(lookups.count(caller, application, program), 1);
}

TEST_F(AppServiceWhileTyping, AnOpenSVGCallOfAnotherProgramDoesNotHoldUpSvgToViewWhileTheWindowTakesAKeystroke) {
  // Another program's OpenSVG call comes first: its window can open only once the keystroke is
  // taken, but the SvgToView call made behind it, from this program, is answered meanwhile.
  const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
  ASSERT_NE(address, nullptr);
  const auto folder = QuarvelTestSupport::temporaryUserDirectories();
  const auto text = folder / "open-service-call.svg";
  const auto output = folder / "open-service-call.out";
  std::ofstream(text) << square;
  auto readOutput = [&] {
    std::ifstream in(output);
    std::stringstream read;
    read << in.rdbuf();
    return read.str();
  };
  std::unique_ptr<XDriver::Process> opener;
  std::string failure;
  std::string answer;
  auto keystroke = document->svgString.didSet().sink([&](const std::string&) {
    if (opener) return;  // the first keystroke only
    opener = std::make_unique<XDriver::Process>(
        std::vector<std::string>{QUARVEL_BUS_CALLER, address, "OpenSVG", text.string(), "1"},
        std::vector<std::string>{}, output.string());
    // Once the bus has passed the OpenSVG call on, this program's call comes behind it.
    if (!XDriver::waitUntil([&] { return readOutput().find("sent\n") != std::string::npos; }, 120)) {
      failure = "the other program's call was not sent";
      return;
    }
    answer = squareToView(failure);
  });

  focusTheSVGEditor();
  ASSERT_TRUE(x.type(" ", 0));
  ASSERT_TRUE(runUntil([&] { return !answer.empty() || !failure.empty(); }, 300));
  EXPECT_EQ(failure, "") << "the answer waited for the window of the other program's call";
  EXPECT_EQ(answer, SVGQuarvelDocument::export_(square, SVGQuarvelConfiguration::defaultConfig()).code);

  // The other program's window opens once the keystroke is taken, and its call is answered.
  ASSERT_TRUE(runUntil([&] { return readOutput().find("answer 0 ") != std::string::npos; }, 300)) << readOutput();
  EXPECT_NE(readOutput().find("answer 0 1 "), std::string::npos) << readOutput();
  EXPECT_TRUE(runUntil([&] { return app->documentWindows().size() == 2; }, 60));
  keystroke.cancel();
}

TEST_F(AppServiceWhileTyping, OpenSVGCallsOfTwoOtherProgramsDoNotHoldUpSvgToViewWhileTheWindowTakesAKeystroke) {
  // Two other programs call OpenSVG first: the first one's window waits for the keystroke, and the
  // second one's call, taken behind it, waits for that window; the SvgToView call made behind
  // both, from this program, is answered meanwhile.
  const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
  ASSERT_NE(address, nullptr);
  const auto folder = QuarvelTestSupport::temporaryUserDirectories();
  const auto text = folder / "open-service-calls.svg";
  std::ofstream(text) << square;
  auto readOutput = [&](int opener) {
    std::ifstream in(folder / ("open-service-calls-" + std::to_string(opener) + ".out"));
    std::stringstream read;
    read << in.rdbuf();
    return read.str();
  };
  std::vector<std::unique_ptr<XDriver::Process>> openers;
  std::string failure;
  std::string answer;
  auto keystroke = document->svgString.didSet().sink([&](const std::string&) {
    if (!openers.empty()) return;  // the first keystroke only
    for (int opener = 0; opener < 2 && failure.empty(); ++opener) {
      openers.push_back(std::make_unique<XDriver::Process>(
          std::vector<std::string>{QUARVEL_BUS_CALLER, address, "OpenSVG", text.string(), "1"},
          std::vector<std::string>{}, (folder / ("open-service-calls-" + std::to_string(opener) + ".out")).string()));
      // Each call comes behind the one before it, once the bus has passed that one on.
      if (!XDriver::waitUntil([&] { return readOutput(opener).find("sent\n") != std::string::npos; }, 120)) {
        failure = "the other program's call was not sent";
      }
    }
    if (failure.empty()) answer = squareToView(failure);
  });

  focusTheSVGEditor();
  ASSERT_TRUE(x.type(" ", 0));
  ASSERT_TRUE(runUntil([&] { return !answer.empty() || !failure.empty(); }, 300));
  EXPECT_EQ(failure, "") << "the answer waited for the windows of the other programs' calls";
  EXPECT_EQ(answer, SVGQuarvelDocument::export_(square, SVGQuarvelConfiguration::defaultConfig()).code);

  // Both windows open once the keystroke is taken, and both calls are answered.
  for (int opener = 0; opener < 2; ++opener) {
    ASSERT_TRUE(runUntil([&] { return readOutput(opener).find("answer 0 ") != std::string::npos; }, 300))
        << readOutput(opener);
    EXPECT_NE(readOutput(opener).find("answer 0 1 "), std::string::npos) << readOutput(opener);
  }
  EXPECT_TRUE(runUntil([&] { return app->documentWindows().size() == 3; }, 60));
  keystroke.cancel();
}

}  // namespace
