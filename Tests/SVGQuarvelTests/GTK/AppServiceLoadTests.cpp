// The running application under load from the bus and from launches: calls past what may wait are
// refused as busy, callers are served in turn and a caller that leaves has its calls dropped, the
// open service keeps a bounded number of windows, and files of a launch convert a few at a time.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvel/App/SVGConverterService.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "XDriver/XDriver.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

/// A drawing of `bytes` bytes of small rectangles, which takes its time to convert.
std::string manyRectangles(std::size_t bytes) {
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 1000 1000\">\n";
  for (unsigned i = 0; svg.size() < bytes; ++i) {
    svg += "<rect x=\"" + std::to_string(i % 997) + "\" y=\"" + std::to_string(i / 997 % 991) + "\" width=\"" +
           std::to_string(1 + i % 13) + "\" height=\"" + std::to_string(1 + i % 17) + "\" fill=\"#" +
           std::to_string(100000 + i % 899999) + "\"/>\n";
  }
  return svg + "</svg>\n";
}

const std::string tiny = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"4\" height=\"4\"/></svg>";

/// One answer of the application: which call (numbered by the test), and its value or error.
struct Answer {
  std::string caller;
  int number = 0;
  bool ok = false;
  std::string errorName;
  std::string message;
};

/// A program on the test's bus that calls the services without waiting for their answers; the
/// answers are gathered in the order they come.
class Caller {
 public:
  Caller(const std::string& address, std::string label, std::vector<Answer>& answers)
      : label_(std::move(label)), answers_(answers) {
    GError* error = nullptr;
    connection_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (connection_ == nullptr) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
    }
  }
  ~Caller() { leave(); }
  bool ok() const { return connection_ != nullptr; }

  void call(const char* method, const std::string& svg, int number) {
    struct Pending {
      std::vector<Answer>* answers;
      std::shared_ptr<bool> listening;
      Answer answer;
    };
    g_dbus_connection_call(
        connection_, SVGQuarvelApp_busName, SVGConverterService::objectPath, SVGConverterService::interfaceName,
        method, g_variant_new("(s)", svg.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, 600000, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
          if (!*pending->listening) return;  // answers after leaving have no one to go to
          GError* error = nullptr;
          GVariant* value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
          pending->answer.ok = value != nullptr;
          if (value != nullptr) g_variant_unref(value);
          if (error != nullptr) {
            gchar* name = g_dbus_error_get_remote_error(error);
            pending->answer.errorName = name != nullptr ? name : "";
            g_free(name);
            g_dbus_error_strip_remote_error(error);
            pending->answer.message = error->message;
            g_error_free(error);
          }
          pending->answers->push_back(std::move(pending->answer));
        },
        new Pending{&answers_, listening_, Answer{label_, number, false, "", ""}});
  }

  /// Sends what was called and leaves the bus without waiting for answers.
  void leave() {
    if (connection_ == nullptr) return;
    *listening_ = false;
    g_dbus_connection_flush_sync(connection_, nullptr, nullptr);
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
    connection_ = nullptr;
  }

  static constexpr const char* SVGQuarvelApp_busName = "org.quarvel.SVGQuarvel";

 private:
  std::string label_;
  std::vector<Answer>& answers_;
  GDBusConnection* connection_ = nullptr;
  std::shared_ptr<bool> listening_ = std::make_shared<bool>(true);
};

/// Iterates the test's main context until `count` answers have come (generous bound).
bool waitForAnswers(const std::vector<Answer>& answers, std::size_t count) {
  return FennixTestSupport::runMainLoopUntil([&] { return answers.size() >= count; }, 600);
}

class AppServiceLoadTest : public AppProcessTest {
 protected:
  /// Starts the application with its first window and waits until it is there.
  bool start(const std::string& log) {
    log_ = log;
    app_ = launch({QUARVEL_APP_EXECUTABLE}, log);
    return x_.findWindow("Untitled", 120).has_value();
  }
  std::string log() const { return readFile(outputFile(log_)); }

  std::unique_ptr<XDriver::Process> app_;
  std::string log_;
};

TEST_F(AppServiceLoadTest, CallsPastWhatMayWaitAreRefusedAsBusyInTheOrderOfTheCalls) {
  ASSERT_TRUE(start("app-service-busy.log")) << log();
  std::vector<Answer> answers;
  // Each call takes a while to convert: the calls pile up behind the first.
  const std::string slow = manyRectangles(1 << 20);
  const int sent = int(SVGConverterService::maximumWaitingCallsPerCaller) + 4;
  Caller many(bus_->address(), "many", answers);
  ASSERT_TRUE(many.ok());
  for (int number = 0; number < sent; ++number) many.call("SvgToView", slow, number);
  // Another program sends one slow drawing and then two of the largest: the second of those
  // passes what one caller's waiting calls may hold while the slow one waits for its turn.
  Caller large(bus_->address(), "large", answers);
  ASSERT_TRUE(large.ok());
  large.call("SvgToView", slow, 0);
  const std::string largest(SVGQuarvelDocument::maximumOpenedSVGBytes, ' ');
  large.call("SvgToView", largest, 1);
  large.call("SvgToView", largest, 2);
  ASSERT_TRUE(waitForAnswers(answers, std::size_t(sent) + 3)) << log().substr(0, 4000);

  std::vector<int> order;
  for (const auto& answer : answers) {
    if (answer.caller != "many") continue;
    order.push_back(answer.number);
    const bool waited = answer.number < int(SVGConverterService::maximumWaitingCallsPerCaller);
    EXPECT_EQ(answer.ok, waited) << answer.number << " " << answer.message;
    if (!waited) {
      EXPECT_EQ(answer.errorName, SVGConverterService::busyErrorName);
      EXPECT_NE(answer.message.find("The services are busy: one program may have at most 16 calls"), std::string::npos)
          << answer.message;
    }
  }
  std::vector<int> calls(std::size_t(sent), 0);
  for (int number = 0; number < sent; ++number) calls[std::size_t(number)] = number;
  EXPECT_EQ(order, calls) << "the refusals went ahead of the calls before them";
  std::vector<std::pair<int, bool>> largeAnswers;
  for (const auto& answer : answers) {
    if (answer.caller == "large") largeAnswers.emplace_back(answer.number, answer.ok);
  }
  EXPECT_EQ(largeAnswers, (std::vector<std::pair<int, bool>>{{0, true}, {1, true}, {2, false}}));
  EXPECT_TRUE(app_->running());
}

TEST_F(AppServiceLoadTest, CallersAreServedInTurnAndTheCallsOfACallerThatLeftAreDropped) {
  ASSERT_TRUE(start("app-service-turns.log")) << log();
  std::vector<Answer> answers;
  const std::string slow = manyRectangles(300 << 10);
  constexpr int flood = 10;
  Caller busy(bus_->address(), "busy", answers);
  ASSERT_TRUE(busy.ok());
  for (int number = 0; number < flood; ++number) busy.call("SvgToView", slow, number);
  Caller small(bus_->address(), "small", answers);
  small.call("SvgToView", tiny, 0);
  ASSERT_TRUE(waitForAnswers(answers, flood + 1)) << log().substr(0, 4000);
  std::size_t before = 0;
  while (before < answers.size() && answers[before].caller != "small") ++before;
  ASSERT_LT(before, answers.size());
  EXPECT_TRUE(answers[before].ok) << answers[before].message;
  // It waits for what converts when it comes, and perhaps one more, not for the whole flood.
  EXPECT_LE(before, 2u) << "the small call waited for " << before << " calls of the other program";

  // A program that leaves the bus with calls waiting: they are dropped, and the next program's
  // call does not wait for them.
  answers.clear();
  {
    Caller leaving(bus_->address(), "leaving", answers);
    for (int number = 0; number < flood; ++number) leaving.call("SvgToView", slow, number);
    leaving.leave();
  }
  std::string dropped;
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        const auto text = log();
        const auto end = text.find(", which has left the bus\n");
        if (end == std::string::npos) return false;
        const auto start = text.rfind('\n', end);
        dropped = text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
        return true;
      },
      120))
      << log().substr(0, 4000);
  ASSERT_EQ(dropped.rfind("ERROR: dropped ", 0), 0u) << dropped;
  const auto count = std::stoi(dropped.substr(std::string("ERROR: dropped ").size()));
  EXPECT_GE(count, flood - 3) << dropped;
  Caller next(bus_->address(), "next", answers);
  next.call("SvgToView", tiny, 0);
  ASSERT_TRUE(waitForAnswers(answers, 1));
  EXPECT_TRUE(answers[0].ok);
  EXPECT_TRUE(app_->running());
}

TEST_F(AppServiceLoadTest, TheOpenServiceKeepsAtMostThirtyTwoWindowsOpen) {
  ASSERT_TRUE(start("app-service-windows.log")) << log();
  std::vector<Answer> answers;
  // Three programs, each within what one caller may have waiting, ask for one window more than
  // the bound between them.
  const int bound = int(SVGConverterService::maximumServiceWindows);
  std::vector<std::unique_ptr<Caller>> openers;
  for (int index = 0; index < 3; ++index) {
    openers.push_back(std::make_unique<Caller>(bus_->address(), "opener " + std::to_string(index), answers));
    ASSERT_TRUE(openers.back()->ok());
  }
  for (int number = 0; number <= bound; ++number) openers[std::size_t(number % 3)]->call("OpenSVG", tiny, number);
  ASSERT_TRUE(waitForAnswers(answers, std::size_t(bound) + 1)) << log().substr(0, 4000);
  std::vector<Answer> refused;
  for (const auto& answer : answers) {
    if (!answer.ok) refused.push_back(answer);
  }
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].errorName, "org.quarvel.errors.quarvel.svg.errors.Code32424");
  EXPECT_EQ(refused[0].message,
            "Could not create new document: the service has 32 windows open, as many as it opens at a time; close one "
            "of them first.");
  const auto last = x_.findWindow("Untitled " + std::to_string(bound + 1), 120);
  ASSERT_TRUE(last) << log().substr(0, 4000);
  EXPECT_FALSE(x_.findWindow("Untitled " + std::to_string(bound + 2)).has_value());

  // Closing one of them makes room for one more.
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*last);
        x_.key("ctrl+w");
        return !x_.findWindow("Untitled " + std::to_string(bound + 1), 1).has_value();
      },
      30));
  answers.clear();
  openers[0]->call("OpenSVG", tiny, 0);
  openers[0]->call("OpenSVG", tiny, 1);
  ASSERT_TRUE(waitForAnswers(answers, 2));
  EXPECT_TRUE(answers[0].ok) << answers[0].message;
  EXPECT_FALSE(answers[1].ok);
  EXPECT_TRUE(app_->running());
}

TEST_F(AppServiceLoadTest, FilesOfALaunchConvertAFewAtATimeAndOpenInTurn) {
  // Documents whose drawings take a while to convert, then a small one: the small one waits for
  // a turn, so its window opens after one of theirs.
  const std::size_t slow = AppDelegate::maximumParallelConversions();
  ASSERT_GE(slow, 1u);
  ASSERT_LE(slow, 4u);
  std::vector<std::string> argv{QUARVEL_APP_EXECUTABLE};
  const std::string drawing = manyRectangles(600 << 10);
  for (std::size_t index = 0; index < slow; ++index) {
    const auto path = folder_ / ("slow-" + std::to_string(index) + ".svgquarvel");
    writeFile(path, SVGQuarvelDocument::Snapshot{drawing, "// slow\n", std::nullopt}.jsonString());
    argv.push_back(path.string());
  }
  const auto small = folder_ / "small.svgquarvel";
  writeFile(small, SVGQuarvelDocument::Snapshot{tiny, "// small\n", std::nullopt}.jsonString());
  argv.push_back(small.string());
  app_ = launch(argv, "app-launch-turns.log");
  log_ = "app-launch-turns.log";
  const auto smallWindow = x_.findWindow("small.svgquarvel", 300);
  ASSERT_TRUE(smallWindow) << log();
  const auto slowWindows =
      x_.findWindows([](const std::string& title) { return title.rfind("slow-", 0) == 0; });
  EXPECT_GE(slowWindows.size(), 1u) << "the small document did not wait for a turn";
  for (std::size_t index = 0; index < slow; ++index) {
    EXPECT_TRUE(x_.findWindow("slow-" + std::to_string(index) + ".svgquarvel", 300).has_value()) << index;
  }
  EXPECT_TRUE(app_->running());
}

}  // namespace
