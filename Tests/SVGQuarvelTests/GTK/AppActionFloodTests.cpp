// The application's commands as any program on the session bus can run them (org.gtk.Actions,
// org.freedesktop.Application): repeated in a loop, New, Open Recent and the desktop's Open open
// windows up to the bound of windows in use, say so once in one message, and leave the
// application answering and its windows taking input; Save asks one question about a file another
// program changed, a Save As meanwhile takes the window to another file (whereupon the question's
// Overwrite writes nothing), and a web address is handed to the desktop once while it has not
// answered.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "SVGQuarvel/App/About.h"
#include "SVGQuarvel/App/AppDelegate.h"
#include "SVGQuarvel/App/ExampleSVGs.h"
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
  GDBusConnection* connection() const { return connection_; }

  /// Sends one activation of `name` (with `parameter`, when given) without waiting for it; the
  /// actions of a window are at `path`.
  void activate(const std::string& name, GVariant* parameter = nullptr, const std::string& path = actionsPath) {
    GVariantBuilder parameters;
    g_variant_builder_init(&parameters, G_VARIANT_TYPE("av"));
    if (parameter != nullptr) g_variant_builder_add(&parameters, "v", parameter);
    g_dbus_connection_call(connection_, busName, path.c_str(), "org.gtk.Actions", "Activate",
                           g_variant_new("(sava{sv})", name.c_str(), &parameters, nullptr), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  }

  /// Asks the application to open `file`, as the desktop does, without waiting for it.
  void open(const std::filesystem::path& file) {
    const std::string uri = SVGQuarvel::fileURLString(file);
    const char* uris[] = {uri.c_str(), nullptr};
    g_dbus_connection_call(connection_, busName, actionsPath, "org.freedesktop.Application", "Open",
                           g_variant_new("(^asa{sv})", uris, nullptr), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                           nullptr, nullptr, nullptr);
  }

  /// Where the actions of the first document window are (the windows' actions are published
  /// under the application's path, by number); empty when none has them.
  std::string documentWindowPath() {
    for (int number = 1; number <= 20; ++number) {
      const std::string path = std::string(actionsPath) + "/window/" + std::to_string(number);
      GVariant* list = g_dbus_connection_call_sync(connection_, busName, path.c_str(), "org.gtk.Actions", "List",
                                                   nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 30000,
                                                   nullptr, nullptr);
      if (list == nullptr) continue;
      const gchar** names = nullptr;
      g_variant_get(list, "(^a&s)", &names);
      const bool found = names != nullptr && g_strv_contains(names, "save");
      g_free(names);
      g_variant_unref(list);
      if (found) return path;
    }
    return "";
  }

  /// Whether the application answers a call within `seconds`: it answers after it has run every
  /// activation sent before.
  bool answers(int seconds) { return applicationAnswers(connection_, seconds); }

 private:
  GDBusConnection* connection_ = nullptr;
};

/// The desktop's handler of web addresses as a program on the bus (a desktop entry activated over
/// the bus): it takes the name of the entry on `caller`'s connection and holds each request to show
/// an address unanswered until told, so that the application's hand-over stays in flight.
class HeldDesktop {
 public:
  static constexpr const char* entryName = "org.quarvel.TestShowURL";

  /// The desktop entry and the choice of it for web addresses, in the home of `folder`.
  static void install(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "data" / "applications");
    writeFile(folder / "data" / "applications" / (std::string(entryName) + ".desktop"),
              "[Desktop Entry]\nType=Application\nName=Show URL\nExec=/bin/false %u\nDBusActivatable=true\n"
              "MimeType=x-scheme-handler/http;x-scheme-handler/https;\nNoDisplay=true\n");
    std::filesystem::create_directories(folder / "config");
    writeFile(folder / "config" / "mimeapps.list",
              "[Default Applications]\nx-scheme-handler/http=" + std::string(entryName) +
                  ".desktop\nx-scheme-handler/https=" + entryName + ".desktop\n");
  }

  explicit HeldDesktop(GDBusConnection* connection) : connection_(connection) {
    // The state goes with the filter, which may still run on the connection's thread just after
    // it is removed.
    filter_ = g_dbus_connection_add_filter(connection_, &HeldDesktop::filter, new std::shared_ptr<State>(state_),
                                           +[](gpointer data) { delete static_cast<std::shared_ptr<State>*>(data); });
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "RequestName",
                                                  g_variant_new("(su)", entryName, 4u), G_VARIANT_TYPE("(u)"),
                                                  G_DBUS_CALL_FLAGS_NONE, 30000, nullptr, &error);
    if (reply == nullptr) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
      return;
    }
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
    owned_ = result == 1;
  }
  ~HeldDesktop() {
    answerAll();
    g_dbus_connection_remove_filter(connection_, filter_);
  }
  bool ok() const { return owned_; }

  /// The addresses asked for so far, in order.
  std::vector<std::string> asked() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<std::string> urls;
    for (const auto& request : state_->requests) urls.push_back(request.url);
    return urls;
  }
  /// How many times `url` was asked for.
  std::size_t count(const std::string& url) const {
    const auto urls = asked();
    return std::size_t(std::count(urls.begin(), urls.end(), url));
  }
  /// Answers the requests for `url` that wait (all when empty): the desktop has shown the page.
  void answer(const std::string& url = "") {
    std::lock_guard<std::mutex> lock(state_->mutex);
    for (auto& request : state_->requests) {
      if (request.message == nullptr || (!url.empty() && request.url != url)) continue;
      GDBusMessage* reply = g_dbus_message_new_method_reply(request.message);
      g_dbus_connection_send_message(connection_, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
      g_object_unref(reply);
      g_object_unref(request.message);
      request.message = nullptr;
    }
  }
  void answerAll() { answer(); }

 private:
  struct Request {
    std::string url;
    GDBusMessage* message = nullptr;  // unanswered while set
  };
  struct State {
    std::mutex mutex;
    std::vector<Request> requests;
    ~State() {
      for (const auto& request : requests) {
        if (request.message != nullptr) g_object_unref(request.message);
      }
    }
  };

  /// On the connection's own thread: keeps the requests to show addresses, unanswered.
  static GDBusMessage* filter(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer data) {
    if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
        g_strcmp0(g_dbus_message_get_interface(message), "org.freedesktop.Application") != 0) {
      return message;
    }
    auto& state = **static_cast<std::shared_ptr<State>*>(data);
    Request request;
    GVariant* body = g_dbus_message_get_body(message);
    if (g_strcmp0(g_dbus_message_get_member(message), "Open") == 0 && body != nullptr &&
        g_variant_is_of_type(body, G_VARIANT_TYPE("(asa{sv})"))) {
      GVariant* uris = g_variant_get_child_value(body, 0);
      for (gsize index = 0; index < g_variant_n_children(uris); ++index) {
        const gchar* uri = nullptr;
        g_variant_get_child(uris, index, "&s", &uri);
        request.url += uri;
      }
      g_variant_unref(uris);
    } else {
      request.url = std::string("(") + g_dbus_message_get_member(message) + ")";
    }
    request.message = message;  // the filter's reference, kept until answered
    std::lock_guard<std::mutex> lock(state.mutex);
    state.requests.push_back(std::move(request));
    return nullptr;
  }

  GDBusConnection* connection_;
  guint filter_ = 0;
  bool owned_ = false;
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

class AppActionFloodTest : public AppLaunchTest {
 protected:
  /// Starts the application, writing to `log`, with doc.svgquarvel (written long before) in its
  /// window, and edits it there.
  void openEditedDocument(const std::string& log) {
    document_ = folder_ / "doc.svgquarvel";
    writeFile(document_, documentText("// first\n"));
    makeOld(document_);
    log_ = log;
    app_ = launch({QUARVEL_APP_EXECUTABLE, document_.string()}, log_);
    const auto window = x_.findWindow("doc.svgquarvel", 120);
    ASSERT_TRUE(window) << this->log();
    window_ = *window;
    ASSERT_TRUE(typeInto(window_, "<!--mine-->", "doc.svgquarvel \u2014 Edited")) << this->log();
  }

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

  /// Checks the message `shown` shows text over the windows, and keeps its picture. Without a
  /// window manager to keep it over its window, windows raised after it cover it: raised, it shows
  /// once it has drawn over them (the message is grey, their code is coloured).
  void expectShownOnTop(XDriver::WindowID shown, const std::string& picture) {
    const auto frame = x_.geometry(shown);
    const auto coloured = [](std::uint32_t rgb) {
      const int r = int(rgb >> 16 & 0xff), g = int(rgb >> 8 & 0xff), b = int(rgb & 0xff);
      return std::max({r, g, b}) - std::min({r, g, b}) > 80;
    };
    EXPECT_TRUE(XDriver::waitUntil(
        [&] {
          x_.focus(shown);
          return x_.grab(frame).countWhere(coloured) == 0;
        },
        30));
    expectShownWithText(shown, picture);
  }

  /// The one message that refuses windows past the bound: it shows text and says why.
  void expectOneRefusal(const std::string& picture) {
    const auto shown = x_.findWindow(SVGQuarvelApp::noNewWindowHeading, 30);
    ASSERT_TRUE(shown) << log().substr(0, 4000);
    EXPECT_EQ(refusals().size(), 1u);
    expectShownOnTop(*shown, picture);
    EXPECT_NE(log().find("The application has 32 windows open, as many as it opens at a time; close one of them first."),
              std::string::npos)
        << log().substr(0, 4000);
  }

  std::filesystem::path document_;
  XDriver::WindowID window_ = 0;
};

TEST_F(AppActionFloodTest, NewRepeatedOverTheBusOpensWindowsUpToTheBoundAndTheApplicationStaysUsable) {
  ASSERT_TRUE(start("app-flood-new.log")) << log();
  ActionCaller caller(bus_->address());
  ASSERT_TRUE(caller.ok());

  // A hundred: the first window and 31 more, then one message.
  for (int index = 0; index < 100; ++index) caller.activate("new");
  expectDocumentWindows(caller, bound);
  expectOneRefusal("app-flood-new-refused.png");
  // Each refusal leaves a line in the log, also those whose message shows already.
  const auto logged = [&] {
    const std::string text = log();
    const std::string line = "ERROR: No new window was opened. The application has 32 windows open";
    std::size_t count = 0;
    for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
    return count;
  };
  EXPECT_EQ(logged(), std::size_t(100 - (bound - 1))) << log().substr(0, 4000);

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
        // Again only when the window stayed long after the keys: keys sent while it was closing
        // would close another.
        return XDriver::waitUntil([&] { return !x_.findWindow("Untitled").has_value(); }, 20);
      },
      90));
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

TEST_F(AppActionFloodTest, OpenCallsRepeatedOverTheBusOpenWindowsUpToTheBoundWithOneMessage) {
  const auto drawing = folder_ / "drawing.svg";
  writeFile(drawing, circle);
  ASSERT_TRUE(start("app-flood-open.log")) << log();
  ActionCaller caller(bus_->address());
  ASSERT_TRUE(caller.ok());

  // A hundred calls of one file each, as the desktop makes them: the first window and 31
  // drawings (those still converting count too), then one message for all the calls refused.
  for (int index = 0; index < 100; ++index) caller.open(drawing);
  expectDocumentWindows(caller, bound);
  expectOneRefusal("app-flood-open-refused.png");

  // A thousand more while the message shows: as many windows, one message, and an answer.
  for (int index = 0; index < 1000; ++index) caller.open(drawing);
  ASSERT_TRUE(caller.answers(300)) << log().substr(0, 4000);
  EXPECT_EQ(int(documentWindows().size()), bound);
  EXPECT_EQ(refusals().size(), 1u);
  EXPECT_TRUE(app_->running());

  // A second launch hands its files to the application, which refuses them too: the launch says
  // why on its terminal and fails.
  const auto launched =
      failingLaunch({QUARVEL_APP_EXECUTABLE, drawing.string(), drawing.string()}, "app-flood-open-second.log");
  EXPECT_NE(launched.find("ERROR: 2 more files were not opened: the application has 32 windows open"),
            std::string::npos)
      << launched;
  ASSERT_TRUE(caller.answers(300));
  EXPECT_EQ(int(documentWindows().size()), bound);
  EXPECT_EQ(refusals().size(), 1u);

  // Closing one makes room for one more.
  dismiss(SVGQuarvelApp::noNewWindowHeading);
  const auto first = x_.findWindow("Untitled", 10);
  ASSERT_TRUE(first);
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*first);
        x_.key("ctrl+w");
        // Again only when the window stayed long after the keys: keys sent while it was closing
        // would close another.
        return XDriver::waitUntil([&] { return !x_.findWindow("Untitled").has_value(); }, 20);
      },
      90));
  for (int index = 0; index < 3; ++index) caller.open(drawing);
  expectDocumentWindows(caller, bound);
  EXPECT_EQ(refusals().size(), 1u);
}

TEST_F(AppActionFloodTest, AtTheBoundADocumentAlreadyOpenComesForwardWhicheverWayItIsOpened) {
  const auto document = folder_ / "doc.svgquarvel";
  writeFile(document, documentText("// mine\n"));
  log_ = "app-flood-open-again.log";
  app_ = launch({QUARVEL_APP_EXECUTABLE, document.string()}, log_);
  const auto window = x_.findWindow("doc.svgquarvel", 120);
  ASSERT_TRUE(window) << log();
  ActionCaller caller(bus_->address());
  ASSERT_TRUE(caller.ok());

  // The document and 31 new windows: the bound is reached, and said once.
  for (int index = 0; index < 40; ++index) caller.activate("new");
  expectDocumentWindows(caller, bound - 1);
  expectOneRefusal("app-flood-open-again-refused.png");
  dismiss(SVGQuarvelApp::noNewWindowHeading);
  ASSERT_TRUE(refusals().empty());

  // Opened again from its Open Recent menu, by the desktop's Open and by a second launch, the
  // document only comes forward: no message, no window more, and the launch succeeds.
  ASSERT_TRUE(chooseRecent(*window, 0, 1, "app-flood-open-again-recent"));
  caller.open(document);
  const auto launched = launch({QUARVEL_APP_EXECUTABLE, document.string()}, "app-flood-open-again-second.log");
  const auto status = launched->wait(120);
  EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
      << status.value_or(-1) << readFile(outputFile("app-flood-open-again-second.log"));
  ASSERT_TRUE(caller.answers(300));
  EXPECT_TRUE(refusals().empty()) << log().substr(0, 4000);
  EXPECT_EQ(int(documentWindows().size()), bound - 1);
  EXPECT_EQ(windowsTitled("doc.svgquarvel").size(), 1u);
  x_.grabScreen().savePNG(outputFile("app-flood-open-again-shown.png").string());

  // A new file is still refused, with the one message.
  const auto drawing = folder_ / "drawing.svg";
  writeFile(drawing, circle);
  caller.open(drawing);
  ASSERT_TRUE(x_.findWindow(SVGQuarvelApp::noNewWindowHeading, 30)) << log().substr(0, 4000);
  ASSERT_TRUE(caller.answers(300));
  EXPECT_EQ(int(documentWindows().size()), bound - 1);
  EXPECT_TRUE(app_->running());
}

TEST_F(AppActionFloodTest, DifferentErrorsRepeatedOverTheBusShowAtMostThirtyTwoMessagesAndAreAllLogged) {
  ASSERT_TRUE(start("app-flood-errors.log")) << log();
  ActionCaller caller(bus_->address());
  ASSERT_TRUE(caller.ok());
  const int calls = 40;
  for (int index = 0; index < calls; ++index) caller.open(folder_ / ("missing-" + std::to_string(index) + ".svg"));
  const std::string heading = "The file could not be opened.";
  EXPECT_TRUE(XDriver::waitUntil([&] { return int(windowsTitled(heading).size()) >= bound; }, 300))
      << windowsTitled(heading).size() << "\n"
      << log().substr(0, 4000);
  ASSERT_TRUE(caller.answers(300)) << log().substr(0, 4000);
  EXPECT_EQ(int(windowsTitled(heading).size()), bound);
  const std::string text = log();
  for (int index = 0; index < calls; ++index) {
    const std::string line = "\u201cmissing-" + std::to_string(index) + ".svg\u201d does not exist.";
    EXPECT_NE(text.find(heading + " " + line), std::string::npos) << line << "\n" << text.substr(0, 4000);
  }
  EXPECT_EQ(int(documentWindows().size()), 1);
  EXPECT_TRUE(app_->running());
}

TEST_F(AppActionFloodTest, SaveRepeatedOverTheBusOnAFileAnotherProgramChangedAsksOnce) {
  ASSERT_NO_FATAL_FAILURE(openEditedDocument("app-flood-save.log"));
  ActionCaller caller(bus_->address());
  ASSERT_TRUE(caller.ok());
  const std::string path = caller.documentWindowPath();
  ASSERT_FALSE(path.empty());

  // Another program puts its version in place; then Save, fifty times over the bus.
  const std::string theirs = documentText("// theirs\n");
  replaceAsAnotherProgram(document_, theirs);
  const std::string heading = "The file \u201cdoc.svgquarvel\u201d has been changed by another application.";
  for (int index = 0; index < 50; ++index) caller.activate("save", nullptr, path);
  ASSERT_TRUE(caller.answers(300)) << log().substr(0, 4000);
  const auto question = x_.findWindow(heading, 30);
  ASSERT_TRUE(question) << log().substr(0, 4000);
  EXPECT_EQ(windowsTitled(heading).size(), 1u);
  expectShownOnTop(*question, "app-flood-save-question.png");

  // Fifty more while it shows join it.
  for (int index = 0; index < 50; ++index) caller.activate("save", nullptr, path);
  ASSERT_TRUE(caller.answers(300));
  EXPECT_EQ(windowsTitled(heading).size(), 1u);

  // Its default keeps the other version, for all of them: nothing written, the edits unsaved, no
  // question left.
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*question);
        x_.key("Return");
        return XDriver::waitUntil([&] { return windowsTitled(heading).empty(); }, 3);
      },
      30));
  ASSERT_TRUE(caller.answers(300));
  EXPECT_TRUE(windowsTitled(heading).empty());
  EXPECT_EQ(readFile(document_), theirs);
  EXPECT_EQ(x_.title(window_), "doc.svgquarvel \u2014 Edited");

  // A later save asks again, once.
  for (int index = 0; index < 3; ++index) caller.activate("save", nullptr, path);
  ASSERT_TRUE(caller.answers(300));
  EXPECT_TRUE(x_.findWindow(heading, 30).has_value());
  EXPECT_EQ(windowsTitled(heading).size(), 1u);
  EXPECT_TRUE(app_->running());
}

TEST_F(AppActionFloodTest, OverwriteAfterASaveAsToAnotherFileWritesNothingMore) {
  ASSERT_NO_FATAL_FAILURE(openEditedDocument("app-flood-save-as.log"));
  ActionCaller caller(bus_->address());
  ASSERT_TRUE(caller.ok());
  const std::string path = caller.documentWindowPath();
  ASSERT_FALSE(path.empty());

  const std::string theirs = documentText("// theirs\n");
  replaceAsAnotherProgram(document_, theirs);
  const std::string heading = "The file \u201cdoc.svgquarvel\u201d has been changed by another application.";
  caller.activate("save", nullptr, path);
  const auto question = x_.findWindow(heading, 60);
  ASSERT_TRUE(question) << log().substr(0, 4000);

  // While it shows, Save As over the bus, answered in its panel: the window goes to another file.
  const auto other = folder_ / "other.svgquarvel";
  caller.activate("save-as", nullptr, path);
  const auto panel = x_.findWindow("Save", 60);
  ASSERT_TRUE(panel) << log().substr(0, 4000);
  ASSERT_TRUE(chooseInSavePanel(other, false, panel)) << log().substr(0, 4000);
  ASSERT_TRUE(x_.findWindow("other.svgquarvel", 30)) << log().substr(0, 4000);
  const std::string written = readFile(other);
  EXPECT_NE(written.find("<!--mine-->"), std::string::npos) << written;
  struct stat before {};
  ASSERT_EQ(::stat(other.c_str(), &before), 0);
  const auto names = [&] {
    std::vector<std::string> listed;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) listed.push_back(entry.path().filename());
    std::sort(listed.begin(), listed.end());
    return listed;
  };
  const auto filesBefore = names();

  // Overwrite (the trailing button) was about the file asked about, which the window no longer
  // holds: neither file is written.
  const auto frame = x_.geometry(*question);
  ASSERT_TRUE(XDriver::waitUntil(
      [&] {
        x_.focus(*question);
        x_.click(frame.x + frame.width - 30, frame.y + frame.height - 18);
        return XDriver::waitUntil([&] { return windowsTitled(heading).empty(); }, 3);
      },
      30));
  ASSERT_TRUE(caller.answers(300));
  EXPECT_EQ(readFile(document_), theirs);
  EXPECT_EQ(readFile(other), written);
  struct stat after {};
  ASSERT_EQ(::stat(other.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(names(), filesBefore);
  EXPECT_TRUE(x_.findWindow("other.svgquarvel", 10).has_value());
  EXPECT_TRUE(app_->running());
}

TEST_F(AppActionFloodTest, AddressesRepeatedOverTheBusAreHandedToTheDesktopOnceAtATime) {
  HeldDesktop::install(folder_);
  ASSERT_TRUE(start("app-flood-url.log")) << log();
  ActionCaller caller(bus_->address());
  ASSERT_TRUE(caller.ok());
  // On the caller's connection: what the application sends it arrives in order, the requests to
  // show a page before the answer to a call made after them.
  HeldDesktop desktop(caller.connection());
  ASSERT_TRUE(desktop.ok());
  const std::string bug(AboutCommands::defaultBugReportURL);
  const std::string icons(ExampleSVGsMenu::iconCollectionURL);

  // While the desktop has not answered, each address is handed over once, however often asked.
  for (int index = 0; index < 50; ++index) {
    caller.activate("report-bug");
    caller.activate("icon-collection");
  }
  EXPECT_TRUE(XDriver::waitUntil([&] { return desktop.asked().size() >= 2; }, 60)) << log().substr(0, 4000);
  ASSERT_TRUE(caller.answers(300));
  EXPECT_EQ(desktop.count(bug), 1u) << testing::PrintToString(desktop.asked());
  EXPECT_EQ(desktop.count(icons), 1u) << testing::PrintToString(desktop.asked());

  // Once it has shown the page, the address is handed over again when asked (the answer reaches
  // the application's main loop in a few steps: ask until it is taken).
  desktop.answer(bug);
  EXPECT_TRUE(XDriver::waitUntil(
      [&] {
        caller.activate("report-bug");
        return caller.answers(300) && desktop.count(bug) == 2;
      },
      60))
      << testing::PrintToString(desktop.asked());
  for (int index = 0; index < 50; ++index) caller.activate("report-bug");
  ASSERT_TRUE(caller.answers(300));
  EXPECT_EQ(desktop.count(bug), 2u) << testing::PrintToString(desktop.asked());
  EXPECT_EQ(desktop.count(icons), 1u);
  EXPECT_EQ(desktop.asked().size(), 3u) << testing::PrintToString(desktop.asked());
  EXPECT_TRUE(app_->running());
}

}  // namespace
