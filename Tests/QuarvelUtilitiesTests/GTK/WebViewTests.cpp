// The preview's web view loading requests: a server that never answers is given up at the
// request's time-out with the time-out error; loads that finish, or are replaced, before it are not.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <webkit/webkit.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "Fennix/UI/Common/ViewControllers/GTK/WebNavigationTimeOut.h"
#include "FennixTests/DispatchTestSupport.h"
#include "FennixTests/LogTestSupport.h"
#include "QuarvelUtilities/GTK/WebView.h"

namespace {

using FennixTestSupport::runMainLoopFor;
using FennixTestSupport::runMainLoopUntil;

/// A local server that takes connections (the system queues them) and never answers.
class SilentServer {
 public:
  SilentServer() {
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(socket_, 16) != 0 || ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    url_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/drawing.svg";
  }
  ~SilentServer() {
    if (socket_ >= 0) ::close(socket_);
  }
  const std::string& url() const { return url_; }

 private:
  int socket_ = -1;
  std::string url_;
};

/// A web view in a window, with the default console captured.
struct ShownWebView {
  bool toolkitReady;
  LogTestSupport::FileConsole console{LogLevel::log};
  Gtk::Window window;
  QuarvelUtilities::WebView view;
  int finished = 0;

  static bool toolkit() {
    static const bool ready = gtk_init_check() && (Gtk::init_gtkmm_internals(), true);
    return ready;
  }

  ShownWebView() : toolkitReady(toolkit()) {
    console::setDefaultConsole(console.console);
    window.set_default_size(200, 200);
    window.set_child(view);
    window.present();
    view.setOnLoadFinished([this] { ++finished; });
  }
  ~ShownWebView() {
    view.setOnLoadFinished(nullptr);
    window.unset_child();
    window.hide();
    console::setDefaultConsole(nullptr);
  }
  std::string errors() const { return console.err.text(); }
};

const std::string timedOutLine =
    "ERROR: WebView: Error Domain=NSURLErrorDomain Code=-1001 \"The request timed out.\"\n";

TEST(WebViewLoading, ARequestStillLoadingAtItsTimeOutIsStoppedWithTheTimeOutError) {
  SilentServer server;
  ASSERT_FALSE(server.url().empty());
  ShownWebView shown;
  const auto start = std::chrono::steady_clock::now();
  shown.view.load(QuarvelUtilities::WebView::Request{server.url(), 1});
  ASSERT_TRUE(runMainLoopUntil([&] { return shown.finished > 0; }, 60)) << "the load never ended";
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited.count(), 0.99) << "stopped before its time-out";
  EXPECT_EQ(shown.errors(), timedOutLine);
  EXPECT_TRUE(runMainLoopUntil([&] { return !webkit_web_view_is_loading(shown.view.webView()); }, 20));
}

TEST(WebViewLoading, ALoadGivenUpBeforeOrAfterItStartedEndsOnceWithTheTimeOut) {
  SilentServer server;
  ASSERT_FALSE(server.url().empty());
  ShownWebView shown;
  WebKitWebView* engine = shown.view.webView();
  int starts = 0;
  const gulong counting = g_signal_connect(engine, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer counter) {
                                             if (event == WEBKIT_LOAD_STARTED) ++*static_cast<int*>(counter);
                                           }),
                                           &starts);
  auto& timeOut = *Fennix::WebNavigationTimeOut::of(engine);

  // Before the engine asked about the load or sent its request: it is dropped, and never starts.
  shown.view.load(QuarvelUtilities::WebView::Request{server.url(), 60});
  timeOut.expire();
  EXPECT_EQ(shown.errors(), timedOutLine);
  EXPECT_EQ(shown.finished, 1);
  EXPECT_TRUE(runMainLoopUntil([&] { return !webkit_web_view_is_loading(engine); }, 20)) << "still loading";

  // Started, its request waiting for an answer: it is stopped, and the stop says nothing more.
  shown.view.load(QuarvelUtilities::WebView::Request{server.url(), 60});
  ASSERT_TRUE(runMainLoopUntil([&] { return starts == 1; }, 20));
  timeOut.expire();
  EXPECT_EQ(shown.errors(), timedOutLine + timedOutLine);
  EXPECT_EQ(shown.finished, 2);
  EXPECT_TRUE(runMainLoopUntil([&] { return !webkit_web_view_is_loading(engine); }, 20)) << "still loading";

  // The view goes on showing pages.
  shown.view.load(QuarvelUtilities::WebView::HTML{"<p>page</p>", std::nullopt});
  ASSERT_TRUE(runMainLoopUntil([&] { return shown.finished == 3; }, 20));
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(shown.errors(), timedOutLine + timedOutLine);
  g_signal_handler_disconnect(engine, counting);
}

TEST(WebViewLoading, ALoadWhoseWebProcessEndsIsOverThenAndNeverTimesOut) {
  SilentServer server;
  ASSERT_FALSE(server.url().empty());
  ShownWebView shown;
  WebKitWebView* engine = shown.view.webView();
  auto& timeOut = *Fennix::WebNavigationTimeOut::of(engine);
  shown.view.load(QuarvelUtilities::WebView::Request{server.url(), 2});
  ASSERT_TRUE(runMainLoopUntil([&] { return webkit_web_view_is_loading(engine); }, 20));
  webkit_web_view_terminate_web_process(engine);
  ASSERT_TRUE(runMainLoopUntil([&] { return shown.finished > 0; }, 20)) << "the end of the load was not told";
  EXPECT_FALSE(timeOut.timing());
  runMainLoopFor(3);  // past the time-out
  EXPECT_EQ(shown.finished, 1);
  EXPECT_EQ(shown.errors(), "");
  // A new web process shows the next page.
  shown.view.load(QuarvelUtilities::WebView::HTML{"<p>page</p>", std::nullopt});
  ASSERT_TRUE(runMainLoopUntil([&] { return shown.finished == 2; }, 30));
  EXPECT_EQ(shown.errors(), "");
}

TEST(WebViewLoading, LoadsThatEndOrAreReplacedBeforeTheTimeOutReportNoTimeOut) {
  SilentServer server;
  ASSERT_FALSE(server.url().empty());
  ShownWebView shown;
  auto& timeOut = *Fennix::WebNavigationTimeOut::of(shown.view.webView());
  // Finished: its time-out passes without a word.
  shown.view.load(QuarvelUtilities::WebView::Request{"data:text/html,<p>hello</p>", 60});
  ASSERT_TRUE(runMainLoopUntil([&] { return shown.finished > 0; }, 60));
  EXPECT_FALSE(timeOut.timing());
  timeOut.expire();
  // Replaced by a page before its time-out: the replaced request is not timed out.
  shown.view.load(QuarvelUtilities::WebView::Request{server.url(), 60});
  shown.view.load(QuarvelUtilities::WebView::HTML{"<p>page</p>", std::nullopt});
  ASSERT_TRUE(runMainLoopUntil([&] { return shown.finished > 1; }, 60));
  timeOut.expire();
  runMainLoopFor(0.5);
  EXPECT_EQ(shown.errors(), "");
  // No time-out (zero): the silent server's load is left running.
  shown.view.load(QuarvelUtilities::WebView::Request{server.url(), 0});
  EXPECT_FALSE(timeOut.timing());
  timeOut.expire();
  runMainLoopFor(1.5);
  EXPECT_TRUE(webkit_web_view_is_loading(shown.view.webView()));
  EXPECT_EQ(shown.errors(), "");
}

}  // namespace
