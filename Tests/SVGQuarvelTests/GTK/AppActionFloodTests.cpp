// The application's commands as any program on the session bus can run them (org.gtk.Actions):
// repeated in a loop, New and Open Recent open windows up to the bound of windows open at a time,
// say so once in one message, and leave the application answering and its windows taking input.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvel/App/GTK/SVGQuarvelApp.h"
#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "XDriver/XDriver.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

constexpr const char* busName = "org.quarvel.SVGQuarvel";
constexpr const char* actionsPath = "/org/quarvel/SVGQuarvel";
const int bound = int(AppDelegate::maximumWindowsPerRequest);

/// A program on the test's bus that runs the application's commands.
class ActionCaller {
 public:
  explicit ActionCaller(const std::string& address) {
    GError* error = nullptr;
    connection_ = connectToBus(address, &error);
    if (connection_ == nullptr) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
    }
  }
  ~ActionCaller() {
    if (connection_ == nullptr) return;
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
  }
  bool ok() const { return connection_ != nullptr; }

  /// Sends one activation of `name` (with `parameter`, when given) without waiting for it.
  void activate(const std::string& name, GVariant* parameter = nullptr) {
    GVariantBuilder parameters;
    g_variant_builder_init(&parameters, G_VARIANT_TYPE("av"));
    if (parameter != nullptr) g_variant_builder_add(&parameters, "v", parameter);
    g_dbus_connection_call(connection_, busName, actionsPath, "org.gtk.Actions", "Activate",
                           g_variant_new("(sava{sv})", name.c_str(), &parameters, nullptr), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  }

  /// Whether the application answers a call within `seconds`: it answers after it has run every
  /// activation sent before.
  bool answers(int seconds) {
    GError* error = nullptr;
    GVariant* list = g_dbus_connection_call_sync(connection_, busName, actionsPath, "org.gtk.Actions", "List",
                                                 nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE,
                                                 seconds * 1000, nullptr, &error);
    if (list == nullptr) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
      return false;
    }
    g_variant_unref(list);
    return true;
  }

 private:
  GDBusConnection* connection_ = nullptr;
};

class AppActionFloodTest : public AppProcessTest {
 protected:
  bool start(const std::string& log) {
    log_ = log;
    app_ = launch({QUARVEL_APP_EXECUTABLE}, log);
    return x_.findWindow("Untitled", 120).has_value();
  }
  std::string log() const { return readFile(outputFile(log_)); }

  /// The document windows (all of them untitled here).
  std::vector<XDriver::WindowID> documentWindows() const {
    return x_.findWindows([](const std::string& title) { return title.rfind("Untitled", 0) == 0; });
  }
  std::vector<XDriver::WindowID> refusals() const { return windowsTitled(SVGQuarvelApp::noNewWindowHeading); }

  /// Waits until `count` document windows show, and checks that no more come once the application
  /// has answered `caller` again.
  void expectDocumentWindows(ActionCaller& caller, int count) {
    EXPECT_TRUE(XDriver::waitUntil([&] { return int(documentWindows().size()) >= count; }, 300))
        << documentWindows().size() << "\n"
        << log().substr(0, 4000);
    ASSERT_TRUE(caller.answers(300));
    EXPECT_EQ(int(documentWindows().size()), count);
  }

  /// The one message that refuses windows past the bound: it shows text and says why.
  void expectOneRefusal(const std::string& picture) {
    const auto shown = x_.findWindow(SVGQuarvelApp::noNewWindowHeading, 30);
    ASSERT_TRUE(shown) << log().substr(0, 4000);
    EXPECT_EQ(refusals().size(), 1u);
    // Without a window manager to keep it over its window, windows mapped after it cover it: raised,
    // it shows once it has drawn over them (the message is grey, their code is coloured).
    const auto frame = x_.geometry(*shown);
    const auto coloured = [](std::uint32_t rgb) {
      const int r = int(rgb >> 16 & 0xff), g = int(rgb >> 8 & 0xff), b = int(rgb & 0xff);
      return std::max({r, g, b}) - std::min({r, g, b}) > 80;
    };
    EXPECT_TRUE(XDriver::waitUntil(
        [&] {
          x_.focus(*shown);
          return x_.grab(frame).countWhere(coloured) == 0;
        },
        30));
    expectShownWithText(*shown, picture);
    EXPECT_NE(log().find("The application has 32 windows open, as many as it opens at a time; close one of them first."),
              std::string::npos)
        << log().substr(0, 4000);
  }

  std::unique_ptr<XDriver::Process> app_;
  std::string log_;
};

TEST_F(AppActionFloodTest, NewRepeatedOverTheBusOpensWindowsUpToTheBoundAndTheApplicationStaysUsable) {
  ASSERT_TRUE(start("app-flood-new.log")) << log();
  ActionCaller caller(bus_->address());
  ASSERT_TRUE(caller.ok());

  // A hundred: the first window and 31 more, then one message.
  for (int index = 0; index < 100; ++index) caller.activate("new");
  expectDocumentWindows(caller, bound);
  expectOneRefusal("app-flood-new-refused.png");

  // Ten thousand more while the message shows: the application answers, and still has as many
  // windows and one message.
  for (int index = 0; index < 10000; ++index) caller.activate("new");
  ASSERT_TRUE(caller.answers(300)) << log().substr(0, 4000);
  EXPECT_EQ(int(documentWindows().size()), bound);
  EXPECT_EQ(refusals().size(), 1u);
  EXPECT_TRUE(app_->running());

  // Once the message is put away, a window takes typed text.
  dismiss(SVGQuarvelApp::noNewWindowHeading);
  ASSERT_TRUE(refusals().empty());
  const auto last = x_.findWindow("Untitled " + std::to_string(bound), 10);
  ASSERT_TRUE(last);
  ASSERT_TRUE(typeInto(*last, "<!--kept-->", "Untitled " + std::to_string(bound) + " \u2014 Edited")) << log();
  x_.grab(x_.geometry(*last)).savePNG(outputFile("app-flood-new-typed.png").string());

  // The bound is on the windows open: closing one makes room for one more, and no more.
  const auto first = x_.findWindow("Untitled", 10);
  ASSERT_TRUE(first);
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*first);
        x_.key("ctrl+w");
        return !x_.findWindow("Untitled", 1).has_value();
      },
      30));
  for (int index = 0; index < 3; ++index) caller.activate("new");
  expectDocumentWindows(caller, bound);
  EXPECT_EQ(refusals().size(), 1u);
  EXPECT_TRUE(app_->running());
}

TEST_F(AppActionFloodTest, OpenRecentRepeatedOverTheBusOpensWindowsUpToTheBound) {
  const auto drawing = folder_ / "drawing.svg";
  writeFile(drawing, circle);
  ASSERT_TRUE(start("app-flood-recent.log")) << log();
  ActionCaller caller(bus_->address());
  ASSERT_TRUE(caller.ok());

  // Each drawing opens as a window of its own, converted in the background: those still
  // converting count against the bound too.
  const std::string uri = SVGQuarvel::fileURLString(drawing);
  for (int index = 0; index < 100; ++index) caller.activate("open-recent", g_variant_new_string(uri.c_str()));
  expectDocumentWindows(caller, bound);
  expectOneRefusal("app-flood-recent-refused.png");
  EXPECT_TRUE(app_->running());
}

}  // namespace
