// The running application under load from the bus and from launches: calls past what may wait are
// refused as busy, callers are served in turn and a caller that leaves has its calls dropped, the
// open service keeps a bounded number of windows, files of a launch convert a few at a time, an
// answer the bus would not pass on is refused instead of ending the application's connection,
// thousands of callers that come and go leave no watch behind, a quit while a call converts
// ends the application cleanly, and a flood of refused calls holds up no other program's answers.
//
// The order of the calls does not hang on the speed of the machine: a first call keeps the
// converter busy for seconds, the test learns through the bus that it converts before sending the
// calls that are to wait behind it (which take milliseconds to come), learns again that those were
// taken, and checks that the first call was still converting then. Answers to different programs
// are ordered by the serial numbers the application gave them as it sent them.
#include <gio/gio.h>
#include <sys/wait.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvel/App/SVGConverterService.h"
#include "SVGQuarvel/Model/SVGQuarvelDocument.h"
#include "SVGQuarvelTests/GTK/AppProcessSupport.h"
#include "SVGQuarvelTests/GTK/ProcessLookups.h"
#include "SVGQuarvelTests/QuarvelTestSupport.h"
#include "XDriver/XDriver.h"

using namespace QuarvelTestSupport;
using namespace AppProcessSupport;

namespace {

/// How much of a drawing is rectangles to keep the converter busy for seconds: the sanitizer
/// build converts about thirty times more slowly (1 MB: about 5 s there); in the other build the
/// largest drawing the services take converts for about 2 s, until its code passes what an
/// answer may hold and it is refused.
constexpr std::size_t busyRectangleBytes =
    sanitizedBuild ? std::size_t{1} << 20 : SVGQuarvelDocument::maximumOpenedSVGBytes;

/// A drawing of exactly `bytes` bytes that keeps the converter busy for seconds: rectangles, then
/// a comment that fills it up. Its code stays within what the test's bus passes on (32 MB).
std::string blockingDrawing(std::size_t bytes) {
  const std::string end = "\n</svg>\n";
  std::string svg = manyRectangles(std::min(busyRectangleBytes, bytes) - 256);
  svg.resize(svg.size() - std::string("</svg>\n").size());
  svg += "<!--" + std::string(bytes - svg.size() - end.size() - 7, ' ') + "-->" + end;
  return svg;
}

const std::string tiny = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"4\" height=\"4\"/></svg>";

constexpr const char* busName = "org.quarvel.SVGQuarvel";

/// One answer of the application: which call (numbered by the test), its value or error, and
/// the serial number the application sent it with (which orders the answers to all programs).
struct Answer {
  std::string caller;
  int number = 0;
  bool ok = false;
  std::string errorName;
  std::string message;
  std::uint32_t serial = 0;
  /// The bytes of the code a call was answered with.
  std::size_t codeBytes = 0;
};

/// A program on the test's bus that calls the services without waiting for their answers; the
/// answers are gathered in the order they come.
class Caller {
 public:
  Caller(const std::string& address, std::string label, std::vector<Answer>& answers)
      : label_(std::move(label)), answers_(answers) {
    GError* error = nullptr;
    connection_ = connectToBus(address, &error);
    if (connection_ == nullptr) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
    }
  }
  ~Caller() { leave(); }
  bool ok() const { return connection_ != nullptr; }
  GDBusConnection* connection() const { return connection_; }
  /// The connection's name on the bus.
  std::string name() const { return g_dbus_connection_get_unique_name(connection_); }

  void call(const char* method, const std::string& svg, int number) {
    struct Pending {
      std::vector<Answer>* answers;
      std::shared_ptr<bool> listening;
      Answer answer;
    };
    GDBusMessage* message = g_dbus_message_new_method_call(busName, SVGConverterService::objectPath,
                                                           SVGConverterService::interfaceName, method);
    g_dbus_message_set_body(message, g_variant_new("(s)", svg.c_str()));
    g_dbus_connection_send_message_with_reply(
        connection_, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE, 600000, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
          if (!*pending->listening) return;  // answers after leaving have no one to go to
          GError* error = nullptr;
          GDBusMessage* reply =
              g_dbus_connection_send_message_with_reply_finish(G_DBUS_CONNECTION(source), result, &error);
          auto& answer = pending->answer;
          if (reply == nullptr) {
            answer.errorName = "(no answer)";
            answer.message = error->message;
            g_error_free(error);
          } else {
            answer.serial = g_dbus_message_get_serial(reply);
            answer.ok = g_dbus_message_get_message_type(reply) == G_DBUS_MESSAGE_TYPE_METHOD_RETURN;
            GVariant* code = g_dbus_message_get_body(reply);
            if (answer.ok && code != nullptr && g_variant_is_of_type(code, G_VARIANT_TYPE("(s)"))) {
              const gchar* text = nullptr;
              g_variant_get(code, "(&s)", &text);
              answer.codeBytes = std::strlen(text);
            }
            if (!answer.ok) {
              const char* name = g_dbus_message_get_error_name(reply);
              answer.errorName = name != nullptr ? name : "";
              GVariant* body = g_dbus_message_get_body(reply);
              if (body != nullptr && g_variant_is_of_type(body, G_VARIANT_TYPE("(s)"))) {
                const gchar* text = nullptr;
                g_variant_get(body, "(&s)", &text);
                answer.message = text;
              }
            }
            g_object_unref(reply);
          }
          pending->answers->push_back(std::move(answer));
        },
        new Pending{&answers_, listening_, Answer{label_, number, false, "", "", 0}});
    g_object_unref(message);
  }

  /// Returns once the bus has passed on everything sent so far: the bus answers a call to itself
  /// after it has handled the caller's earlier messages.
  void passed() {
    GError* error = nullptr;
    GVariant* id = g_dbus_connection_call_sync(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                               "org.freedesktop.DBus", "GetId", nullptr, G_VARIANT_TYPE("(s)"),
                                               G_DBUS_CALL_FLAGS_NONE, 120000, nullptr, &error);
    if (id == nullptr) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
      return;
    }
    g_variant_unref(id);
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

 private:
  std::string label_;
  std::vector<Answer>& answers_;
  GDBusConnection* connection_ = nullptr;
  std::shared_ptr<bool> listening_ = std::make_shared<bool>(true);
};

/// Another program on the test's bus, a process of its own, that sends `calls` calls of `method`
/// with `svg` at once (see quarvel-bus-caller); its answers are labelled `label`.
class Program {
 public:
  Program(const std::string& address, std::string label, const char* method, const std::string& svg, int calls)
      : label_(std::move(label)) {
    const auto text = outputFile(fileStem() + ".svg");
    writeFile(text, svg);
    process_ = std::make_unique<XDriver::Process>(
        std::vector<std::string>{QUARVEL_BUS_CALLER, address, method, text.string(), std::to_string(calls)},
        std::vector<std::string>{}, output_.string());
  }
  /// Waits until the bus has passed its calls on.
  bool sent() const { return XDriver::waitUntil([&] { return hasSent(); }, 120); }
  /// Whether the bus has passed its calls on, as the program has said so far.
  bool hasSent() const { return readFile(output_).find("sent\n") != std::string::npos; }
  /// Waits for `count` answers and adds them to `answers`.
  bool answered(std::vector<Answer>& answers, std::size_t count) const {
    std::vector<Answer> taken;
    const bool all = XDriver::waitUntil(
        [&] {
          taken = answersSoFar();
          return taken.size() >= count;
        },
        600);
    answers.insert(answers.end(), taken.begin(), taken.end());
    return all;
  }
  /// The answers the program has had so far.
  std::vector<Answer> answersSoFar() const {
    std::vector<Answer> taken;
    std::istringstream lines(readFile(output_));
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("answer ", 0) != 0) continue;
      Answer answer;
      answer.caller = label_;
      std::istringstream fields(line.substr(7, line.find('\t') - 7));
      int ok = 0;
      fields >> answer.number >> ok >> answer.serial >> answer.errorName;
      answer.ok = ok == 1;
      answer.message = line.substr(line.find('\t') + 1);
      taken.push_back(answer);
    }
    return taken;
  }

 private:
  std::string label_;
  /// Named after the test too: tests that run side by side keep their programs' files apart.
  std::string fileStem() const {
    return std::string("app-service-program-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
           "-" + label_;
  }
  std::filesystem::path output_ = outputFile(fileStem() + ".out");
  std::unique_ptr<XDriver::Process> process_;
};

/// Iterates the test's main context until `count` answers have come (generous bound).
bool waitForAnswers(const std::vector<Answer>& answers, std::size_t count) {
  return FennixTestSupport::runMainLoopUntil([&] { return answers.size() >= count; }, 600);
}

/// Returns once the application has taken every call that `callers` sent so far: once they have
/// passed the bus, a call without text from another program, which is refused at once, is
/// answered after them. The serial number of that refusal.
std::uint32_t takenCalls(const std::string& address, const std::vector<Caller*>& callers) {
  for (auto* caller : callers) caller->passed();
  std::vector<Answer> answers;
  Caller probe(address, "probe", answers);
  probe.call("SvgToView", "", 0);
  if (!waitForAnswers(answers, 1)) return 0;
  EXPECT_EQ(answers[0].message, "Missing SVG text?");
  return answers[0].serial;
}

/// The answers in the order the application sent them.
std::vector<Answer> inOrderSent(std::vector<Answer> answers) {
  std::stable_sort(answers.begin(), answers.end(),
                   [](const Answer& a, const Answer& b) { return a.serial < b.serial; });
  return answers;
}

const Answer* answerOf(const std::vector<Answer>& answers, const std::string& caller, int number) {
  for (const auto& answer : answers) {
    if (answer.caller == caller && answer.number == number) return &answer;
  }
  return nullptr;
}

constexpr const char* tooSlowHint =
    "the first drawing was converted before the calls behind it were taken: the converter took "
    "less than the milliseconds they need to come";

class AppServiceLoadTest : public AppLaunchTest {
 protected:
  /// Starts the application as the bus starts it for a call, without a window, and waits until it
  /// has taken its name.
  bool startAsService(const std::string& log) {
    log_ = log;
    app_ = launch({QUARVEL_APP_EXECUTABLE, "--gapplication-service"}, log);
    GDBusConnection* connection = connectToBus(bus_->address());
    if (connection == nullptr) return false;
    const bool owned = XDriver::waitUntil(
        [&] {
          GVariant* reply = g_dbus_connection_call_sync(
              connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
              g_variant_new("(s)", "org.quarvel.SVGQuarvel"), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 30000,
              nullptr, nullptr);
          gboolean has = FALSE;
          if (reply != nullptr) {
            g_variant_get(reply, "(b)", &has);
            g_variant_unref(reply);
          }
          return has != FALSE;
        },
        120);
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    return owned;
  }
};

TEST_F(AppServiceLoadTest, CallsPastWhatMayWaitAreRefusedAsBusyInTheOrderOfTheCalls) {
  ASSERT_TRUE(start("app-service-busy.log")) << log();
  std::vector<Answer> answers;
  // One program's first call is a drawing of the largest size, which converts for seconds; the
  // calls below come once it converts, and all wait behind it.
  constexpr std::size_t largestBytes = SVGQuarvelDocument::maximumOpenedSVGBytes;
  Caller large(bus_->address(), "large", answers);
  ASSERT_TRUE(large.ok());
  large.call("SvgToView", blockingDrawing(largestBytes), 0);
  ASSERT_NE(takenCalls(bus_->address(), {&large}), 0u) << log().substr(0, 4000);

  // Another program sends more calls than one program may have waiting.
  const int sent = int(SVGConverterService::maximumWaitingCallsPerCaller) + 4;
  Program many(bus_->address(), "many", "SvgToView", tiny, sent);
  ASSERT_TRUE(many.sent());
  // The first program sends one more of the largest, which its waiting calls may still hold, and
  // a small one, which passes what they may hold.
  const std::string largest(largestBytes, ' ');
  large.call("SvgToView", largest, 1);
  large.call("SvgToView", tiny, 2);
  const auto taken = takenCalls(bus_->address(), {&large});
  ASSERT_NE(taken, 0u) << log().substr(0, 4000);
  ASSERT_TRUE(waitForAnswers(answers, 3)) << log().substr(0, 4000);
  ASSERT_TRUE(many.answered(answers, std::size_t(sent))) << log().substr(0, 4000);
  const auto* blocking = answerOf(answers, "large", 0);
  ASSERT_NE(blocking, nullptr);
  ASSERT_GT(blocking->serial, taken) << tooSlowHint;

  std::vector<int> order;
  for (const auto& answer : inOrderSent(answers)) {
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
  for (const auto& answer : inOrderSent(answers)) {
    if (answer.caller == "large" && answer.number > 0) largeAnswers.emplace_back(answer.number, answer.ok);
  }
  EXPECT_EQ(largeAnswers, (std::vector<std::pair<int, bool>>{{1, true}, {2, false}}));
  if (const auto* refused = answerOf(answers, "large", 2)) {
    EXPECT_EQ(refused->errorName, SVGConverterService::busyErrorName);
    EXPECT_NE(refused->message.find("with 32 MB of SVG text waiting"), std::string::npos) << refused->message;
  }
  EXPECT_TRUE(app_->running());
}

TEST_F(AppServiceLoadTest, CallersAreServedInTurnAndTheCallsOfACallerThatLeftAreDropped) {
  ASSERT_TRUE(start("app-service-turns.log")) << log();
  std::vector<Answer> answers;
  const std::string blocker = blockingDrawing(busyRectangleBytes);
  constexpr int flood = 10;
  // One program floods the services behind a first call that converts for seconds, each call of
  // the flood through a connection of its own; another program's small call comes while that
  // converts, behind the whole flood. The connections of one program take one turn between them.
  Caller busy(bus_->address(), "busy", answers);
  ASSERT_TRUE(busy.ok());
  busy.call("SvgToView", blocker, 0);
  ASSERT_NE(takenCalls(bus_->address(), {&busy}), 0u) << log().substr(0, 4000);
  std::vector<std::unique_ptr<Caller>> connections;
  for (int number = 1; number < flood; ++number) {
    connections.push_back(std::make_unique<Caller>(bus_->address(), "busy", answers));
    connections.back()->call("SvgToView", tiny, number);
  }
  for (const auto& connection : connections) connection->passed();
  Program small(bus_->address(), "small", "SvgToView", tiny, 1);
  ASSERT_TRUE(small.sent());
  const auto taken = takenCalls(bus_->address(), {});
  ASSERT_NE(taken, 0u) << log().substr(0, 4000);
  ASSERT_TRUE(waitForAnswers(answers, flood)) << log().substr(0, 4000);
  ASSERT_TRUE(small.answered(answers, 1));
  const auto sent = inOrderSent(answers);
  ASSERT_EQ(sent[0].caller, "busy");
  ASSERT_GT(sent[0].serial, taken) << tooSlowHint;
  // It waits for the call that converts when it comes, not for the flood behind that.
  std::size_t before = 0;
  while (before < sent.size() && sent[before].caller != "small") ++before;
  ASSERT_LT(before, sent.size());
  EXPECT_TRUE(sent[before].ok) << sent[before].message;
  EXPECT_EQ(before, 1u) << "the small call waited for " << before << " calls of the other program";
  for (std::size_t index = 1; index < sent.size(); ++index) {
    if (sent[index].caller == "busy") {
      EXPECT_TRUE(sent[index].ok) << sent[index].number << " " << sent[index].message;
    }
  }

  // A program that leaves the bus with calls waiting behind its first: they are dropped (the one
  // that converts finishes), and the next program's call does not wait for them.
  answers.clear();
  {
    Caller leaving(bus_->address(), "leaving", answers);
    ASSERT_TRUE(leaving.ok());
    leaving.call("SvgToView", blocker, 0);
    ASSERT_NE(takenCalls(bus_->address(), {&leaving}), 0u) << log().substr(0, 4000);
    for (int number = 1; number < flood; ++number) leaving.call("SvgToView", tiny, number);
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
  EXPECT_EQ(count, flood - 1) << dropped;
  Caller next(bus_->address(), "next", answers);
  next.call("SvgToView", tiny, 0);
  ASSERT_TRUE(waitForAnswers(answers, 1));
  EXPECT_TRUE(answers[0].ok) << answers[0].message;
  EXPECT_TRUE(app_->running());
}

TEST_F(AppServiceLoadTest, TheOpenServiceKeepsAtMostThirtyTwoWindowsOpen) {
  // Started for the calls, without a window of its own: the windows in use are the service's.
  ASSERT_TRUE(startAsService("app-service-windows.log")) << log();
  std::vector<Answer> answers;
  // Three programs, each within what one caller may have waiting, ask for one window more than
  // the bound between them.
  const int bound = int(SVGConverterService::maximumServiceWindows);
  std::vector<std::unique_ptr<Caller>> openers;
  openers.push_back(std::make_unique<Caller>(bus_->address(), "opener 0", answers));
  ASSERT_TRUE(openers.back()->ok());
  for (int number = 0; number < 11; ++number) openers[0]->call("OpenSVG", tiny, number);
  Program second(bus_->address(), "opener-1", "OpenSVG", tiny, 11);
  Program third(bus_->address(), "opener-2", "OpenSVG", tiny, bound + 1 - 22);
  ASSERT_TRUE(waitForAnswers(answers, 11)) << log().substr(0, 4000);
  ASSERT_TRUE(second.answered(answers, 11)) << log().substr(0, 4000);
  ASSERT_TRUE(third.answered(answers, std::size_t(bound) + 1 - 22)) << log().substr(0, 4000);
  std::vector<Answer> refused;
  for (const auto& answer : answers) {
    if (!answer.ok) refused.push_back(answer);
  }
  std::string refusals;
  for (const auto& answer : refused) refusals += answer.errorName + ": " + answer.message + "\n";
  ASSERT_EQ(refused.size(), 1u) << refusals << log().substr(0, 4000);
  EXPECT_EQ(refused[0].errorName, "org.quarvel.errors.quarvel.svg.errors.Code32424");
  EXPECT_EQ(refused[0].message,
            "Could not create new document: the service has 32 windows open, as many as it opens at a time; close one "
            "of them first.");
  const auto last = x_.findWindow("Untitled " + std::to_string(bound), 120);
  ASSERT_TRUE(last) << log().substr(0, 4000);
  EXPECT_FALSE(x_.findWindow("Untitled " + std::to_string(bound + 1)).has_value());

  // Closing one of them makes room for one more. The keys come again only when the window is
  // still there long after them (a key before the window takes input goes nowhere): keys that
  // came again while it was closing would close another.
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*last);
        x_.key("ctrl+w");
        return XDriver::waitUntil([&] { return !x_.findWindow("Untitled " + std::to_string(bound)).has_value(); }, 20);
      },
      90));
  answers.clear();
  openers[0]->call("OpenSVG", tiny, 0);
  openers[0]->call("OpenSVG", tiny, 1);
  ASSERT_TRUE(waitForAnswers(answers, 2));
  EXPECT_TRUE(answers[0].ok) << answers[0].message;
  EXPECT_FALSE(answers[1].ok);
  EXPECT_TRUE(app_->running());
}

TEST_F(AppServiceLoadTest, TheOpenServiceKeepsWithinTheApplicationsWindowsInUse) {
  // The application's own window and the service's together stay within the one bound.
  ASSERT_TRUE(start("app-service-app-windows.log")) << log();
  std::vector<Answer> answers;
  const int bound = int(AppDelegate::maximumWindowsPerRequest);
  // Three programs, each within what one program may have waiting.
  Caller first(bus_->address(), "opener 0", answers);
  ASSERT_TRUE(first.ok());
  for (int number = 0; number < 11; ++number) first.call("OpenSVG", tiny, number);
  Program second(bus_->address(), "opener-1", "OpenSVG", tiny, 11);
  Program third(bus_->address(), "opener-2", "OpenSVG", tiny, bound - 22);
  ASSERT_TRUE(waitForAnswers(answers, 11)) << log().substr(0, 4000);
  ASSERT_TRUE(second.answered(answers, 11)) << log().substr(0, 4000);
  ASSERT_TRUE(third.answered(answers, std::size_t(bound) - 22)) << log().substr(0, 4000);
  std::vector<Answer> refused;
  for (const auto& answer : answers) {
    if (!answer.ok) refused.push_back(answer);
  }
  // Calls of different programs may reach the application in any order: one of them is refused.
  std::string refusals;
  for (const auto& answer : refused) refusals += answer.errorName + ": " + answer.message + "\n";
  ASSERT_EQ(refused.size(), 1u) << refusals << log().substr(0, 4000);
  EXPECT_EQ(refused[0].errorName, "org.quarvel.errors.quarvel.svg.errors.Code32424");
  EXPECT_EQ(refused[0].message,
            "Could not create new document: the application has 32 windows open, as many as it opens at a time; "
            "close one of them first.");
  ASSERT_TRUE(x_.findWindow("Untitled " + std::to_string(bound), 120)) << log().substr(0, 4000);
  EXPECT_FALSE(x_.findWindow("Untitled " + std::to_string(bound + 1)).has_value());
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

namespace {

TEST_F(AppServiceLoadTest, AnAnswerLargerThanTheBusTakesIsRefusedAndTheApplicationStaysOnTheBus) {
  // This bus takes messages of at most 4 MB and ends the connection of a program that sends a
  // larger one; the code of this drawing is about 5.5 MB, within what an answer may otherwise hold.
  constexpr std::size_t busLimit = std::size_t{4} << 20;
  std::filesystem::create_directories(folder_ / "small-bus");
  bus_ = std::make_unique<PrivateBus>(folder_ / "small-bus", "", std::vector<std::string>{}, std::nullopt, busLimit);
  ASSERT_FALSE(bus_->address().empty()) << readFile(folder_ / "small-bus" / "bus.log");
  ASSERT_TRUE(start("app-service-bus-limit.log")) << log();
  std::vector<Answer> answers;
  Caller caller(bus_->address(), "caller", answers);
  ASSERT_TRUE(caller.ok());
  caller.call("SvgToView", manyRectangles(640 << 10), 0);
  ASSERT_TRUE(waitForAnswers(answers, 1)) << log().substr(0, 4000);
  EXPECT_FALSE(answers[0].ok) << answers[0].codeBytes;
  EXPECT_EQ(answers[0].errorName, "org.quarvel.errors.quarvel.svg.errors.Code22425");
  EXPECT_NE(answers[0].message.find("too large for the session bus to pass on"), std::string::npos)
      << answers[0].message;

  // The application is still on the bus: it answers the next call, and a smaller answer passes,
  // one large enough that the application asks the bus whether it does.
  caller.call("SvgToView", manyRectangles(256 << 10), 1);
  caller.call("SvgToView", tiny, 2);
  ASSERT_TRUE(waitForAnswers(answers, 3)) << log().substr(0, 4000);
  EXPECT_TRUE(answers[1].ok) << answers[1].errorName << " " << answers[1].message;
  EXPECT_GT(answers[1].codeBytes, std::size_t{1} << 20) << "any bus passes an answer of 1 MB unasked";
  EXPECT_LT(answers[1].codeBytes, busLimit);
  EXPECT_TRUE(answers[2].ok) << answers[2].errorName << " " << answers[2].message;
  EXPECT_TRUE(app_->running());
  EXPECT_TRUE(x_.findWindow("Untitled").has_value());
}

/// How many match rules the bus keeps for the application's connection (each watch of a caller
/// adds one), or none when the bus does not say.
std::optional<std::uint32_t> matchRulesOfApplication(const std::string& address) {
  GDBusConnection* connection = connectToBus(address);
  if (connection == nullptr) return std::nullopt;
  std::optional<std::uint32_t> rules;
  GVariant* stats = g_dbus_connection_call_sync(
      connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.Debug.Stats",
      "GetConnectionStats", g_variant_new("(s)", busName), G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, 30000,
      nullptr, nullptr);
  if (stats != nullptr) {
    GVariant* fields = g_variant_get_child_value(stats, 0);
    guint32 count = 0;
    if (g_variant_lookup(fields, "MatchRules", "u", &count)) rules = count;
    g_variant_unref(fields);
    g_variant_unref(stats);
  }
  g_dbus_connection_close_sync(connection, nullptr, nullptr);
  g_object_unref(connection);
  return rules;
}

TEST_F(AppServiceLoadTest, ThousandsOfCallersThatComeAndGoLeaveNothingBehind) {
  ASSERT_TRUE(start("app-service-many-callers.log")) << log();
  const auto before = matchRulesOfApplication(bus_->address());
  if (!before) GTEST_SKIP() << "the bus does not tell the match rules of a connection";

  // A caller leaves while its call converts: its answer goes to no one.
  std::vector<Answer> answers;
  {
    Caller leaving(bus_->address(), "leaving", answers);
    ASSERT_TRUE(leaving.ok());
    leaving.call("SvgToView", blockingDrawing(busyRectangleBytes), 0);
    ASSERT_NE(takenCalls(bus_->address(), {&leaving}), 0u) << log().substr(0, 4000);
    leaving.leave();
  }
  // Two thousand programs with one call each: half leave before their answer, half wait for it.
  constexpr int callers = 2000;
  std::size_t waited = 0;
  for (int number = 0; number < callers; ++number) {
    Caller caller(bus_->address(), "caller " + std::to_string(number), answers);
    ASSERT_TRUE(caller.ok()) << number;
    caller.call("SvgToView", tiny, number);
    if (number % 2 == 0) {
      ++waited;
      ASSERT_TRUE(waitForAnswers(answers, waited)) << number << "\n" << log().substr(0, 4000);
      ASSERT_TRUE(answers.back().ok) << number << " " << answers.back().errorName << " " << answers.back().message;
    } else {
      caller.passed();
    }
  }
  // The application watches no caller any more once their calls are done, and answers on.
  EXPECT_TRUE(XDriver::waitUntil([&] { return matchRulesOfApplication(bus_->address()) == before; }, 120))
      << "match rules: " << matchRulesOfApplication(bus_->address()).value_or(0) << ", before " << *before;
  answers.clear();
  Caller last(bus_->address(), "last", answers);
  last.call("SvgToView", tiny, 0);
  ASSERT_TRUE(waitForAnswers(answers, 1));
  EXPECT_TRUE(answers[0].ok) << answers[0].message;

  // Closing the window ends the application cleanly: nothing leaked or was touched once freed.
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        if (const auto window = x_.findWindow("Untitled", 1)) {
          x_.focus(*window);
          x_.key("ctrl+w");
        }
        return !app_->running();
      },
      60));
  const auto status = app_->wait(30);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_EQ(log().find("Sanitizer"), std::string::npos) << log().substr(0, 4000);
}

TEST_F(AppServiceLoadTest, QuittingWhileACallConvertsEndsTheApplicationCleanlyAndTheCallerLearnsIt) {
  ASSERT_TRUE(start("app-service-quit.log")) << log();
  std::vector<Answer> answers;
  Caller caller(bus_->address(), "caller", answers);
  ASSERT_TRUE(caller.ok());
  caller.call("SvgToView", blockingDrawing(busyRectangleBytes), 0);
  caller.call("SvgToView", tiny, 1);
  ASSERT_NE(takenCalls(bus_->address(), {&caller}), 0u) << log().substr(0, 4000);
  const auto window = x_.findWindow("Untitled", 10);
  ASSERT_TRUE(window);
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*window);
        x_.key("ctrl+q");
        return !app_->running();
      },
      120))
      << log().substr(0, 4000);
  const auto status = app_->wait(30);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_EQ(log().find("Sanitizer"), std::string::npos) << log().substr(0, 4000);
  // Each call is answered or the caller learns that the application left without an answer.
  ASSERT_TRUE(waitForAnswers(answers, 2));
}

}  // namespace

namespace {

/// The name the application has on the bus at `address`: the owner of its well-known name.
std::string applicationOnTheBus(GDBusConnection* connection) {
  std::string name;
  GVariant* owner = g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "GetNameOwner", g_variant_new("(s)", busName),
                                                G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 30000, nullptr, nullptr);
  if (owner != nullptr) {
    const gchar* text = nullptr;
    g_variant_get(owner, "(&s)", &text);
    name = text;
    g_variant_unref(owner);
  }
  return name;
}

/// What the application remembers of the callers on the bus at `address`: which it asks the bus
/// about, and how many it watches (one match rule each, beyond those it had when this was made).
class Remembered {
 public:
  explicit Remembered(const std::string& address)
      : address_(address), before_(matchRulesOfApplication(address)), lookups_(address), marker_(address, "marker", answers_) {
    EXPECT_TRUE(lookups_.ok());
    EXPECT_TRUE(marker_.ok());
    if (marker_.ok()) application_ = applicationOnTheBus(marker_.connection());
    EXPECT_FALSE(application_.empty());
  }
  /// Whether the bus tells the match rules of a connection.
  bool counted() const { return before_.has_value(); }

  /// How often the application asked the bus for the process of each of `callers`.
  std::vector<int> lookupsOf(const std::vector<std::unique_ptr<Caller>>& callers) {
    std::vector<int> counts;
    for (const auto& caller : callers) counts.push_back(lookupsOf(*caller));
    return counts;
  }
  int lookupsOf(const Caller& caller) { return lookups_.count(marker_.connection(), application_, caller.name()); }
  /// The connections the application watches once it has answered the calls made so far
  /// (`meanwhile` is run as the answer is awaited).
  std::optional<std::uint32_t> watched(const std::function<void()>& meanwhile = [] {}) const {
    // A call without text, refused at once, is answered after all the application did in answering
    // the calls before it, its watches and unwatches on the bus included.
    std::vector<Answer> answers;
    Caller probe(address_, "probe", answers);
    probe.call("SvgToView", "", 0);
    if (!FennixTestSupport::runMainLoopUntil(
            [&] {
              meanwhile();
              return !answers.empty();
            },
            600)) {
      return std::nullopt;
    }
    const auto rules = matchRulesOfApplication(address_);
    if (!rules || !before_) return std::nullopt;
    return *rules - *before_;
  }

 private:
  std::string address_;
  std::optional<std::uint32_t> before_;
  std::vector<Answer> answers_;
  ProcessLookups lookups_;
  Caller marker_;
  std::string application_;
};

/// Each of `callers` from `first` to `end` calls with the small drawing in turn, waiting for its answer.
void callInTurn(const std::vector<std::unique_ptr<Caller>>& callers, std::vector<Answer>& answers, std::size_t first,
                std::size_t end) {
  for (std::size_t index = first; index < end; ++index) {
    answers.clear();
    callers[index]->call("SvgToView", tiny, int(index));
    ASSERT_TRUE(waitForAnswers(answers, 1)) << index;
    ASSERT_TRUE(answers[0].ok) << index << " " << answers[0].message;
  }
}

constexpr std::size_t rememberedBound = SVGConverterService::maximumRememberedCallers;

/// A caller whose drawing keeps the converter busy for seconds, once the application has taken
/// its call; none where it could not call.
std::unique_ptr<Caller> busyCaller(const std::string& address, std::vector<Answer>& answers) {
  auto busy = std::make_unique<Caller>(address, "busy", answers);
  if (!busy->ok()) return nullptr;
  busy->call("SvgToView", blockingDrawing(busyRectangleBytes), 0);
  if (takenCalls(address, {busy.get()}) == 0) return nullptr;
  return busy;
}

/// A drawing of a few hundred bytes whose entities expand to a million empty groups inside its
/// definitions: reading it takes a while, and it makes next to no code.
std::string expandingDrawing() {
  std::string declarations = "<!ENTITY e0 \"" + [] {
    std::string groups;
    for (int index = 0; index < 10; ++index) groups += "<g/>";
    return groups;
  }() + "\">";
  for (int level = 1; level < 6; ++level) {
    std::string value;
    for (int index = 0; index < 10; ++index) value += "&e" + std::to_string(level - 1) + ";";
    declarations += "<!ENTITY e" + std::to_string(level) + " \"" + value + "\">";
  }
  return "<!DOCTYPE svg [" + declarations + "]>\n<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 8 8\">"
         "<defs>&e5;</defs><rect width=\"4\" height=\"4\"/></svg>\n";
}

TEST_F(AppServiceLoadTest, ASmallDrawingWhoseEntitiesExpandToMegabytesDoesNotHoldUpAnotherCallersAnswer) {
  ASSERT_TRUE(start("app-service-entities.log")) << log();
  const std::string drawing = expandingDrawing();
  ASSERT_LE(drawing.size(), SVGConverterService::maximumInlineSVGBytes);
  std::vector<Answer> answers;
  Caller expanding(bus_->address(), "expanding", answers);
  Caller other(bus_->address(), "other", answers);
  ASSERT_TRUE(expanding.ok() && other.ok());
  expanding.call("SvgToView", drawing, 0);
  expanding.passed();
  // The other caller's call comes once the drawing's is taken, and is refused at once: its answer
  // goes out while the drawing is still being read, not after.
  other.call("SvgToView", "", 0);
  ASSERT_TRUE(waitForAnswers(answers, 2)) << log().substr(0, 4000);
  const auto* refused = answerOf(answers, "other", 0);
  const auto* converted = answerOf(answers, "expanding", 0);
  ASSERT_TRUE(refused != nullptr && converted != nullptr);
  EXPECT_EQ(refused->message, "Missing SVG text?");
  EXPECT_TRUE(converted->ok) << converted->errorName << " " << converted->message;
  EXPECT_LT(refused->serial, converted->serial) << "the refusal waited for the drawing's entities to be read";
  EXPECT_TRUE(app_->running());
}

std::vector<std::unique_ptr<Caller>> connections(const std::string& address, std::size_t count,
                                                 std::vector<Answer>& answers) {
  std::vector<std::unique_ptr<Caller>> callers;
  for (std::size_t index = 0; index < count; ++index) {
    callers.push_back(std::make_unique<Caller>(address, "caller " + std::to_string(index), answers));
    EXPECT_TRUE(callers.back()->ok());
  }
  return callers;
}

TEST_F(AppServiceLoadTest, CallersThatStayOnTheBusAreRememberedUpToABoundAndForgottenAsTheyLeave) {
  ASSERT_TRUE(start("app-service-remembered.log")) << log();
  Remembered remembered(bus_->address());
  if (!remembered.counted()) GTEST_SKIP() << "the bus does not tell the match rules of a connection";
  // More callers than are remembered call once each and stay: the bus is asked once for each of
  // them, and the application goes on watching those it remembers, up to the bound.
  std::vector<Answer> answers;
  auto callers = connections(bus_->address(), rememberedBound + 8, answers);
  callInTurn(callers, answers, 0, callers.size());
  EXPECT_EQ(remembered.lookupsOf(callers), std::vector<int>(callers.size(), 1));
  EXPECT_EQ(remembered.watched(), rememberedBound);

  // A remembered caller calls again and is not asked after; as the callers leave, they are
  // forgotten, and none of them stays watched.
  callInTurn(callers, answers, callers.size() - 1, callers.size());
  EXPECT_EQ(remembered.lookupsOf(*callers.back()), 1);
  callers.clear();
  EXPECT_TRUE(XDriver::waitUntil([&] { return remembered.watched() == 0u; }, 120))
      << remembered.watched().value_or(0);

  // A caller that comes afterwards is asked after and answered as before.
  Caller next(bus_->address(), "next", answers);
  answers.clear();
  next.call("SvgToView", tiny, 0);
  ASSERT_TRUE(waitForAnswers(answers, 1));
  EXPECT_TRUE(answers[0].ok) << answers[0].message;
  EXPECT_EQ(remembered.lookupsOf(next), 1);
  EXPECT_TRUE(app_->running());
}

TEST_F(AppServiceLoadTest, TheCallersRememberedAreThoseThatCalledLast) {
  ASSERT_TRUE(start("app-service-remembered-last.log")) << log();
  Remembered remembered(bus_->address());
  if (!remembered.counted()) GTEST_SKIP() << "the bus does not tell the match rules of a connection";
  std::vector<Answer> answers;
  auto callers = connections(bus_->address(), rememberedBound + 8, answers);
  callInTurn(callers, answers, 0, callers.size());
  // The last ones to call are remembered: calling again, they are not asked after; the first
  // ones, forgotten, are.
  callInTurn(callers, answers, 8, callers.size());
  callInTurn(callers, answers, 0, 8);
  std::vector<int> expected(callers.size(), 1);
  for (std::size_t index = 0; index < 8; ++index) expected[index] = 2;
  EXPECT_EQ(remembered.lookupsOf(callers), expected);
  EXPECT_EQ(remembered.watched(), rememberedBound);
}

TEST_F(AppServiceLoadTest, CallersRefusedAsBusyAreAskedAboutOnceACallAndNeitherWatchedNorRemembered) {
  ASSERT_TRUE(start("app-service-remembered-refused.log")) << log();
  Remembered remembered(bus_->address());
  if (!remembered.counted()) GTEST_SKIP() << "the bus does not tell the match rules of a connection";
  // This program has as many calls waiting as one program may, behind a drawing that converts for
  // seconds: the calls of its further connections are refused at once, and no call starts.
  std::vector<Answer> answers;
  const auto busy = busyCaller(bus_->address(), answers);
  ASSERT_TRUE(busy) << log().substr(0, 4000);
  for (int number = 1; number < int(SVGConverterService::maximumWaitingCallsPerCaller); ++number) {
    busy->call("SvgToView", tiny, number);
  }
  // Each connection calls twice, one after the other: the bus is asked once per call (the refusal
  // needs the program), and no connection is watched for it, however many there are.
  std::vector<Answer> refusals;
  auto callers = connections(bus_->address(), rememberedBound + 8, refusals);
  for (int round = 0; round < 2; ++round) {
    for (std::size_t index = 0; index < callers.size(); ++index) {
      callers[index]->call("SvgToView", tiny, int(index));
      ASSERT_TRUE(waitForAnswers(refusals, refusals.size() + 1)) << index;
      EXPECT_EQ(refusals.back().errorName, SVGConverterService::busyErrorName)
          << index << " " << refusals.back().message;
    }
  }
  EXPECT_EQ(remembered.lookupsOf(callers), std::vector<int>(callers.size(), 2));
  EXPECT_EQ(remembered.watched(), 1u) << "only the program whose calls were taken is watched";
  ASSERT_TRUE(waitForAnswers(answers, 1));
  EXPECT_GT(answers[0].serial, refusals.back().serial) << tooSlowHint;
}

TEST_F(AppServiceLoadTest, CallersWhoseRefusalsWaitedForTheirCallsAreRememberedUpToTheBound) {
  ASSERT_TRUE(start("app-service-remembered-held.log")) << log();
  Remembered remembered(bus_->address());
  if (!remembered.counted()) GTEST_SKIP() << "the bus does not tell the match rules of a connection";
  // Behind a drawing that converts for seconds, each of these connections has a call waiting and
  // then one without text, whose refusal waits for that call's answer: once both are answered,
  // nothing of theirs is left, and they are idle like any caller.
  std::vector<Answer> answers;
  const auto busy = busyCaller(bus_->address(), answers);
  ASSERT_TRUE(busy) << log().substr(0, 4000);
  auto held = connections(bus_->address(), SVGConverterService::maximumWaitingCallsPerCaller - 1, answers);
  for (std::size_t index = 0; index < held.size(); ++index) {
    held[index]->call("SvgToView", tiny, int(index));
    held[index]->call("SvgToView", "", int(index));
  }
  ASSERT_TRUE(waitForAnswers(answers, 1 + 2 * held.size())) << log().substr(0, 4000);
  std::size_t refused = 0;
  for (const auto& answer : answers) refused += answer.message == "Missing SVG text?" ? 1 : 0;
  EXPECT_EQ(refused, held.size());
  // As many callers as are remembered call afterwards: they are the ones watched, no more.
  auto later = connections(bus_->address(), rememberedBound, answers);
  callInTurn(later, answers, 0, later.size());
  EXPECT_EQ(remembered.watched(), rememberedBound);
  EXPECT_TRUE(app_->running());
}

TEST_F(AppServiceLoadTest, CallersAreRememberedUpToTheBoundAlsoWhileCallsNeverStopComing) {
  ASSERT_TRUE(start("app-service-remembered-steady.log")) << log();
  Remembered remembered(bus_->address());
  if (!remembered.counted()) GTEST_SKIP() << "the bus does not tell the match rules of a connection";
  // One connection keeps calls waiting all along, with drawings that convert on the services'
  // queue: the services are never without a call while the others come and go. Just past what is
  // converted where it is taken is enough: what matters is that calls keep coming, not their cost.
  const std::string drawing = manyRectangles(SVGConverterService::maximumInlineSVGBytes + (4 << 10));
  ASSERT_GT(drawing.size(), SVGConverterService::maximumInlineSVGBytes);
  // Within what one program may have waiting, with one call of the others and one whose answer
  // has come before the application counts it done.
  constexpr std::size_t waiting = SVGConverterService::maximumWaitingCallsPerCaller - 3;
  std::vector<Answer> steadyAnswers;
  Caller steady(bus_->address(), "steady", steadyAnswers);
  ASSERT_TRUE(steady.ok());
  std::size_t sent = 0;
  auto keepCalling = [&] {
    while (sent < steadyAnswers.size() + waiting) steady.call("SvgToView", drawing, int(sent++));
  };
  keepCalling();
  std::vector<Answer> answers;
  auto callers = connections(bus_->address(), rememberedBound + 8, answers);
  for (std::size_t index = 0; index < callers.size(); ++index) {
    answers.clear();
    callers[index]->call("SvgToView", tiny, int(index));
    ASSERT_TRUE(FennixTestSupport::runMainLoopUntil(
        [&] {
          keepCalling();
          return !answers.empty();
        },
        600))
        << index << "\n" << log().substr(0, 4000);
    ASSERT_TRUE(answers[0].ok) << index << " " << answers[0].message;
  }
  // The connection that calls on and the remembered ones are watched, no more.
  EXPECT_EQ(remembered.watched(keepCalling), rememberedBound + 1);
  const std::size_t answeredMeanwhile = steadyAnswers.size();
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil([&] { return steadyAnswers.size() == sent; }, 600));
  for (const auto& answer : steadyAnswers) EXPECT_TRUE(answer.ok) << answer.number << " " << answer.message;
  EXPECT_LT(answeredMeanwhile, sent) << "the steady calls ran out while the others came";
}

}  // namespace

namespace {

TEST_F(AppServiceLoadTest, AFloodOfRefusedCallsLeavesAnotherProgramsSmallCallsAnsweredInTurn) {
  ASSERT_TRUE(start("app-service-flood.log")) << log();
  // This program calls through many connections, each calling again as soon as it has its answer:
  // past what one program may have waiting, most of its calls are refused, one after the other,
  // for as long as it goes on. Its drawing, just past what is converted where it is taken, goes to
  // the services' queue and converts at once; the other program's converts where it is taken.
  const std::string floodDrawing = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"4\" height=\"4\"/><!--" +
                                   std::string(SVGConverterService::maximumInlineSVGBytes, ' ') + "--></svg>";
  constexpr std::size_t floodConnections = 60;
  std::vector<Answer> floodAnswers;
  auto flood = connections(bus_->address(), floodConnections, floodAnswers);
  for (std::size_t index = 0; index < flood.size(); ++index) {
    flood[index]->call("SvgToView", floodDrawing, int(index));
  }
  std::size_t seen = 0, refusals = 0;
  auto keepFlooding = [&] {
    for (; seen < floodAnswers.size(); ++seen) {
      const Answer& answer = floodAnswers[seen];
      if (answer.errorName == SVGConverterService::busyErrorName) ++refusals;
      EXPECT_TRUE(answer.ok || answer.errorName == SVGConverterService::busyErrorName) << answer.message;
      flood[std::size_t(answer.number)]->call("SvgToView", floodDrawing, answer.number);
    }
  };
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil(
      [&] {
        keepFlooding();
        return refusals >= floodConnections;
      },
      600))
      << log().substr(0, 4000);

  // Another program's calls wait behind at most one of the flood's at each turn; at each turn of
  // the thread that takes the calls, a connection of the flood is refused once at most. So they
  // are answered within a bounded number of the flood's refusals, however fast the machine.
  constexpr int calls = 8;
  Program other(bus_->address(), "other", "SvgToView", tiny, calls);
  std::optional<std::size_t> refusalsWhenSent;
  std::size_t answered = 0, lookedAt = refusals;
  const std::size_t bound = 4 * (2 * calls + 4) * floodConnections;
  ASSERT_TRUE(FennixTestSupport::runMainLoopUntil(
      [&] {
        keepFlooding();
        // The other program's output is read once every few refusals, so that the flood goes on
        // at full pace meanwhile.
        if (refusals < lookedAt + 16) return false;
        lookedAt = refusals;
        if (!refusalsWhenSent) {
          if (other.hasSent()) refusalsWhenSent = refusals;
        } else {
          answered = other.answersSoFar().size();
        }
        return answered == std::size_t(calls) || (refusalsWhenSent && refusals - *refusalsWhenSent > bound);
      },
      600))
      << log().substr(0, 4000);
  EXPECT_EQ(answered, std::size_t(calls)) << "the other program's calls waited while the flood went on for "
                                          << refusals - *refusalsWhenSent << " refusals";
  std::vector<Answer> answers;
  ASSERT_TRUE(other.answered(answers, calls));
  for (const auto& answer : answers) EXPECT_TRUE(answer.ok) << answer.number << " " << answer.message;
  EXPECT_TRUE(app_->running());
}

}  // namespace
