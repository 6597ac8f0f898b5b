// The drawing's preview under a virtual display, with a local HTTP server: a drawing naming remote
// images, style sheets, fonts and frames, or a file, has none of them fetched; a refresh the page
// asks for and a real click on a link leave the preview on the drawing, also when the next drawing
// is asked for just then, or asked of a web process that ends before taking it up (the last such
// drawing shows, drawn by a new one); drawings show as an unconfined view shows them; and a web
// view made for an address, sharing the preview's web process, still loads what its page names.
// Screenshots go to the test output folder.
#include <gtest/gtest.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FennixOperationsTests/LoopbackServer.h"
#include "FennixTests/DispatchTestSupport.h"
#include "QuarvelUtilities/GTK/WebView.h"
#include "QuarvelUtilities/SVGWebViewContent.h"
#include "XDriver/WidgetInput.h"

namespace {

using FennixTestSupport::runMainLoopUntil;
using OperationsTestSupport::LoopbackServer;
using QuarvelUtilities::SVGWebView;
using QuarvelUtilities::WebView;

// Two by two PNG pictures of one colour.
const std::string magentaPNG =
    "iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEElEQVR4nGP4z/AfiBggFAA31gf5btK+fQAAAABJRU5ErkJggg==";
const std::string yellowPNG =
    "iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEElEQVR4nGP4/58BiBggFAA70gf5zW9MuAAAAABJRU5ErkJggg==";

/// The web view's own picture of the page it shows, as 0xRRGGBB pixels.
struct Snapshot {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;

  std::size_t count(std::uint32_t rgb, int tolerance = 12) const {
    std::size_t found = 0;
    for (const auto pixel : pixels) {
      const auto near = [&](int shift) {
        return std::abs(int((pixel >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) <= tolerance;
      };
      if (near(16) && near(8) && near(0)) ++found;
    }
    return found;
  }
};

Snapshot snapshot(WebKitWebView* view, const std::string& png = "") {
  // Shared with the callback, which may come after a wait that gave up.
  struct Result {
    GdkTexture* texture = nullptr;
    bool done = false;
    ~Result() {
      if (texture != nullptr) g_object_unref(texture);
    }
  };
  auto result = std::make_shared<Result>();
  webkit_web_view_get_snapshot(
      view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* source, GAsyncResult* finished, gpointer data) {
        const std::unique_ptr<std::shared_ptr<Result>> out(static_cast<std::shared_ptr<Result>*>(data));
        (*out)->texture = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), finished, nullptr);
        (*out)->done = true;
      },
      new std::shared_ptr<Result>(result));
  runMainLoopUntil([&] { return result->done; }, 30);
  GdkTexture* texture = result->texture;
  Snapshot shot;
  if (texture == nullptr) return shot;
  if (!png.empty()) gdk_texture_save_to_png(texture, (std::filesystem::path(QUARVEL_TEST_OUTPUT_DIR) / png).c_str());
  shot.width = gdk_texture_get_width(texture);
  shot.height = gdk_texture_get_height(texture);
  std::vector<guchar> data(std::size_t(shot.width) * shot.height * 4);
  gdk_texture_download(texture, data.data(), std::size_t(shot.width) * 4);  // B, G, R, A
  for (std::size_t at = 0; at < data.size(); at += 4) {
    shot.pixels.push_back(std::uint32_t(data[at + 2]) << 16 | std::uint32_t(data[at + 1]) << 8 | data[at]);
  }
  return shot;
}

/// The navigations a web view is asked about, whatever its handlers decide (an emission hook sees
/// each before any handler does), and those its own handlers let go on (a handler connected after
/// them sees only those).
class Navigations {
 public:
  explicit Navigations(WebKitWebView* view) : view_(view) {
    signal_ = g_signal_lookup("decide-policy", WEBKIT_TYPE_WEB_VIEW);
    hook_ = g_signal_add_emission_hook(signal_, 0, &Navigations::seen, this, nullptr);
    handler_ = g_signal_connect(view, "decide-policy", G_CALLBACK(&Navigations::letThrough), this);
  }
  ~Navigations() {
    g_signal_remove_emission_hook(signal_, hook_);
    g_signal_handler_disconnect(view_, handler_);
  }
  Navigations(const Navigations&) = delete;
  Navigations& operator=(const Navigations&) = delete;

  bool asked(const std::string& part) const { return contains(asked_, part); }
  bool followed(const std::string& part) const { return contains(followed_, part); }
  std::size_t askedCount() const { return asked_.size(); }
  std::size_t followedCount() const { return followed_.size(); }

 private:
  static bool contains(const std::vector<std::string>& uris, const std::string& part) {
    for (const auto& uri : uris) {
      if (uri.find(part) != std::string::npos) return true;
    }
    return false;
  }
  static std::optional<std::string> navigationTo(WebKitPolicyDecision* decision, int type) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return std::nullopt;
    WebKitURIRequest* request = webkit_navigation_action_get_request(
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision)));
    if (request == nullptr || webkit_uri_request_get_uri(request) == nullptr) return std::nullopt;
    return webkit_uri_request_get_uri(request);
  }
  static gboolean seen(GSignalInvocationHint*, guint count, const GValue* values, gpointer self) {
    auto* navigations = static_cast<Navigations*>(self);
    if (count < 3 || g_value_get_object(&values[0]) != navigations->view_) return TRUE;
    const auto uri = navigationTo(WEBKIT_POLICY_DECISION(g_value_get_object(&values[1])), g_value_get_enum(&values[2]));
    if (uri) navigations->asked_.push_back(*uri);
    return TRUE;
  }
  static gboolean letThrough(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer self) {
    const auto uri = navigationTo(decision, type);
    if (uri) static_cast<Navigations*>(self)->followed_.push_back(*uri);
    return FALSE;
  }

  WebKitWebView* view_;
  guint signal_ = 0;
  gulong hook_ = 0;
  gulong handler_ = 0;
  std::vector<std::string> asked_, followed_;
};

class DrawingPreview : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(gtk_init_check());
    Gtk::init_gtkmm_internals();
  }

  void SetUp() override {
    window_.set_default_size(300, 300);
    window_.set_child(preview_);
    preview_.setOnLoadFinished([this] { ++loads_; });
    window_.present();
    // The engine is up before the server starts, whose time is bounded.
    ASSERT_TRUE(runMainLoopUntil([&] { return loads_ == 1; }, 60)) << "the empty preview never loaded";
  }
  void TearDown() override {
    preview_.setOnLoadFinished(nullptr);
    window_.destroy();
  }

  /// Shows `svg` and waits until its page has loaded and the magenta `data:` picture is drawn.
  bool show(const std::string& svg, const std::string& png) {
    const int before = loads_;
    preview_.setSVG(svg);
    if (!runMainLoopUntil([&] { return loads_ > before; }, 60)) return false;
    return runMainLoopUntil([&] { return snapshot(preview_.webView(), png).count(0xFF00FF) > 1000; }, 30);
  }

  /// Waits until the preview has been asked about a navigation to an address containing `part`
  /// and checks it refused it; then until the preview loads nothing.
  void refusesNavigationTo(const Navigations& navigations, const std::string& part) {
    ASSERT_TRUE(runMainLoopUntil([&] { return navigations.asked(part); }, 30)) << "no navigation to " << part;
    EXPECT_FALSE(navigations.followed(part)) << "the preview followed " << part;
    (void)snapshot(preview_.webView());
    EXPECT_TRUE(runMainLoopUntil([&] { return !webkit_web_view_is_loading(preview_.webView()); }, 30));
  }

  static std::string notFound(const std::string&) { return LoopbackServer::response(404, "Not Found", {}, "none"); }

  Gtk::Window window_;
  SVGWebView preview_;
  int loads_ = 0;
};

std::string dataImage(double x, double y) {
  return "<image href=\"data:image/png;base64," + magentaPNG + "\" x=\"" + std::to_string(x) + "\" y=\"" +
         std::to_string(y) + "\" width=\"50\" height=\"50\"/>";
}

TEST_F(DrawingPreview, FetchesNoRemoteOrFileResourceAndALinkClickedStaysOnTheDrawing) {
  const auto yellow = std::filesystem::temp_directory_path() / ("quarvel-preview-" + std::to_string(::getpid()) + ".png");
  {
    gsize size = 0;
    guchar* bytes = g_base64_decode(yellowPNG.c_str(), &size);
    std::ofstream(yellow, std::ios::binary).write(reinterpret_cast<const char*>(bytes), std::streamsize(size));
    g_free(bytes);
  }
  LoopbackServer server(notFound);
  const std::string svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\" viewBox=\"0 0 100 100\">"
      "<style>@import url(" + server.url("/import.css") + ");"
      "@font-face { font-family: Remote; src: url(" + server.url("/font.woff") + "); } text { font-family: Remote; }"
      "</style>" +
      dataImage(0, 0) + "<image href=\"" + server.url("/image.png") + "\" x=\"0\" y=\"50\" width=\"25\" height=\"25\"/>"
      "<image href=\"file://" + yellow.string() + "\" x=\"25\" y=\"50\" width=\"25\" height=\"50\"/>"
      "<text x=\"2\" y=\"98\" font-size=\"8\">text</text>"
      "<foreignObject x=\"0\" y=\"75\" width=\"25\" height=\"25\"><iframe xmlns=\"http://www.w3.org/1999/xhtml\" src=\"" +
      server.url("/frame.html") + "\"></iframe></foreignObject>"
      "<a href=\"" + server.url("/link.html") + "\"><rect x=\"50\" y=\"0\" width=\"50\" height=\"100\" fill=\"#0000FF\"/></a></svg>";
  Navigations navigations(preview_.webView());
  ASSERT_TRUE(show(svg, "preview-confined-remote.png")) << "the drawing was not drawn";
  EXPECT_EQ(snapshot(preview_.webView()).count(0xFFFF00), 0U) << "the file's picture was drawn";
  const std::string drawing = webkit_web_view_get_uri(preview_.webView());
  EXPECT_EQ(drawing.rfind("about:blank", 0), 0U) << drawing;

  // A real click on the link, over the blue half of the drawing.
  const auto input = WidgetInput::Input::open(preview_);
  ASSERT_TRUE(input.has_value()) << "no X server with the test extension";
  ASSERT_TRUE(input->click(preview_, preview_.get_width() * 0.75, preview_.get_height() * 0.5));
  refusesNavigationTo(navigations, "/link.html");
  const auto after = snapshot(preview_.webView(), "preview-confined-clicked.png");
  EXPECT_GT(after.count(0xFF00FF), 1000U) << "the drawing is gone";
  EXPECT_GT(after.count(0x0000FF), 1000U) << "the drawing is gone";
  EXPECT_EQ(webkit_web_view_get_uri(preview_.webView()), drawing);
  EXPECT_EQ(server.requests(), std::vector<std::string>());
  std::filesystem::remove(yellow);
}

TEST_F(DrawingPreview, ARefreshThePageAsksForLeavesThePreviewOnTheDrawing) {
  LoopbackServer server(notFound);
  Navigations navigations(preview_.webView());
  ASSERT_TRUE(show("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">" + dataImage(0, 0) +
                       "<foreignObject width=\"10\" height=\"10\"><meta xmlns=\"http://www.w3.org/1999/xhtml\" "
                       "http-equiv=\"refresh\" content=\"0;url=" + server.url("/refresh.html") + "\"/></foreignObject></svg>",
                   "preview-confined-refresh.png"));
  const std::string drawing = webkit_web_view_get_uri(preview_.webView());
  refusesNavigationTo(navigations, "/refresh.html");
  EXPECT_GT(snapshot(preview_.webView(), "preview-confined-refreshed.png").count(0xFF00FF), 1000U) << "the drawing is gone";
  EXPECT_EQ(webkit_web_view_get_uri(preview_.webView()), drawing);
  EXPECT_EQ(server.requests(), std::vector<std::string>());
  // The preview goes on showing the drawings it is given.
  ASSERT_TRUE(show("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">" + dataImage(50, 50) + "</svg>",
                   "preview-confined-next.png"));
}

TEST_F(DrawingPreview, OpensNoConnectionALinkOfTheDrawingAsksFor) {
  int port = 0;
  const int listener = OperationsTestSupport::listenOnLoopback(4, port);
  const std::string server = "http://127.0.0.1:" + std::to_string(port);
  ASSERT_TRUE(show("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">" + dataImage(0, 0) +
                       "<foreignObject width=\"10\" height=\"10\"><div xmlns=\"http://www.w3.org/1999/xhtml\">"
                       "<link rel=\"preconnect\" href=\"" + server + "/\"/><link rel=\"dns-prefetch\" href=\"" + server +
                       "/\"/><link rel=\"prefetch\" href=\"" + server + "/prefetch\"/></div></foreignObject></svg>",
                   "preview-confined-preconnect.png"));
  // The engine opens such a connection as it reads the page; a while after the drawing is shown
  // none has come.
  pollfd waiting{listener, POLLIN, 0};
  EXPECT_EQ(::poll(&waiting, 1, 5000), 0) << "the preview connected to the address a link names";
  ::close(listener);
}

TEST_F(DrawingPreview, AWebViewSharingItsProcessStillLoadsWhatItsPageNames) {
  LoopbackServer server([](const std::string& request) {
    if (request.rfind("GET /page.html ", 0) == 0) {
      return LoopbackServer::response(200, "OK", {"Content-Type: text/html"}, "<p><img src=\"/image.png\"></p>");
    }
    return notFound(request);
  });
  WebView page;
  int finished = 0;
  page.setOnLoadFinished([&] { ++finished; });
  page.load(WebView::Request{server.url("/page.html"), 60});
  ASSERT_TRUE(runMainLoopUntil([&] { return finished > 0; }, 60));
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2U);
  EXPECT_EQ(requests[1].rfind("GET /image.png ", 0), 0U) << requests[1];
  page.setOnLoadFinished(nullptr);
}

/// The web processes this test's views run in: the processes below this one (its children, theirs,
/// ...) that the engine names so.
std::vector<pid_t> webProcesses() {
  std::map<pid_t, pid_t> parents;
  std::vector<pid_t> named;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const auto name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream file(entry.path() / "stat");
    std::string stat;
    std::getline(file, stat);
    const auto open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 >= stat.size()) continue;
    std::istringstream rest(stat.substr(close + 2));
    char state = 0;
    pid_t parent = 0;
    rest >> state >> parent;
    const pid_t pid = std::stoi(name);
    parents[pid] = parent;
    if (stat.substr(open + 1, close - open - 1) == "WebKitWebProces") named.push_back(pid);
  }
  std::vector<pid_t> found;
  for (const pid_t pid : named) {
    for (pid_t up = parents[pid]; up > 1; up = parents.count(up) ? parents[up] : 0) {
      if (up == ::getpid()) {
        found.push_back(pid);
        break;
      }
    }
  }
  return found;
}

/// Whether the kernel has stopped `pid`.
bool stopped(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(file, stat);
  const auto close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'T';
}

/// Calls `action` once, as the engine asks `view` about the first navigation after `armed` became
/// true (an emission hook runs before any handler of the view decides).
class AtNextNavigation {
 public:
  AtNextNavigation(WebKitWebView* view, std::function<void()> action) : view_(view), action_(std::move(action)) {
    signal_ = g_signal_lookup("decide-policy", WEBKIT_TYPE_WEB_VIEW);
    hook_ = g_signal_add_emission_hook(signal_, 0, &AtNextNavigation::seen, this, nullptr);
  }
  ~AtNextNavigation() { g_signal_remove_emission_hook(signal_, hook_); }
  AtNextNavigation(const AtNextNavigation&) = delete;
  AtNextNavigation& operator=(const AtNextNavigation&) = delete;

  bool armed = false;
  bool done = false;

 private:
  static gboolean seen(GSignalInvocationHint*, guint count, const GValue* values, gpointer self) {
    auto* at = static_cast<AtNextNavigation*>(self);
    if (count < 3 || g_value_get_object(&values[0]) != at->view_ || !at->armed || at->done ||
        g_value_get_enum(&values[2]) != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
      return TRUE;
    }
    at->done = true;
    at->action_();
    return TRUE;
  }

  WebKitWebView* view_;
  std::function<void()> action_;
  guint signal_ = 0;
  gulong hook_ = 0;
};

std::string yellowImage(double x, double y) {
  return "<image href=\"data:image/png;base64," + yellowPNG + "\" x=\"" + std::to_string(x) + "\" y=\"" +
         std::to_string(y) + "\" width=\"50\" height=\"50\"/>";
}

const std::string drawingTag = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">";

TEST_F(DrawingPreview, NoNavigationOfThePagesOwnTakesTheNextDrawingsPlace) {
  // The next drawing is asked for just as the engine asks about a navigation of the page's own: a
  // frame of the drawing (an empty one, which the engine asks about as it reads the page), a
  // refresh, a link clicked. The preview then shows the next drawing, and never the page's own.
  const std::string next = drawingTag + yellowImage(50, 50) + "</svg>";
  const std::vector<std::pair<std::string, std::string>> pages = {
      {"frame", drawingTag + dataImage(0, 0) + "<foreignObject x=\"0\" y=\"50\" width=\"50\" height=\"50\"><iframe xmlns="
                "\"http://www.w3.org/1999/xhtml\" src=\"about:blank\"></iframe></foreignObject></svg>"},
      {"refresh", drawingTag + dataImage(0, 0) + "<foreignObject width=\"10\" height=\"10\"><meta xmlns=\"http://www.w3.org/"
                  "1999/xhtml\" http-equiv=\"refresh\" content=\"0\"/></foreignObject></svg>"},
      {"link", drawingTag + dataImage(0, 0) + "<a href=\"about:blank\"><rect x=\"50\" y=\"0\" width=\"50\" height=\"100\" "
               "fill=\"#0000FF\"/></a></svg>"},
  };
  const auto input = WidgetInput::Input::open(preview_);
  ASSERT_TRUE(input.has_value()) << "no X server with the test extension";
  for (const auto& entry : pages) {
    const std::string& name = entry.first;
    const std::string& page = entry.second;
    SCOPED_TRACE(name);
    AtNextNavigation atNext(preview_.webView(), [&] { preview_.setSVG(next); });
    // Armed as the page commits, in the same turn of the main loop: the engine may ask about the
    // frame's navigation in the turn that tells of the commit (a busy machine hands both over at
    // once), before a wait for the commit would see it.
    struct Commit {
      bool committed = false;
      AtNextNavigation* arm = nullptr;
    } commit{false, name == "link" ? nullptr : &atNext};
    const gulong commits = g_signal_connect(
        preview_.webView(), "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
          auto* seen = static_cast<Commit*>(data);
          if (event != WEBKIT_LOAD_COMMITTED || seen->committed) return;
          seen->committed = true;
          if (seen->arm != nullptr) seen->arm->armed = true;
        }),
        &commit);
    const int before = loads_;
    preview_.setSVG(page);
    if (name == "link") {
      ASSERT_TRUE(runMainLoopUntil(
          [&] { return loads_ > before && snapshot(preview_.webView()).count(0x0000FF) > 1000; }, 60));
      atNext.armed = true;
      ASSERT_TRUE(input->click(preview_, preview_.get_width() * 0.75, preview_.get_height() * 0.5));
    } else {
      ASSERT_TRUE(runMainLoopUntil([&] { return commit.committed; }, 60));
    }
    g_signal_handler_disconnect(preview_.webView(), commits);
    ASSERT_TRUE(runMainLoopUntil([&] { return atNext.done; }, 30)) << "the page asked about no navigation";
    EXPECT_TRUE(runMainLoopUntil(
        [&] {
          const auto shot = snapshot(preview_.webView(), "preview-own-navigation-" + name + ".png");
          return shot.count(0xFFFF00) > 1000 && shot.count(0xFF00FF) == 0;
        },
        30))
        << "the preview does not show the next drawing";
    ASSERT_TRUE(runMainLoopUntil([&] { return !webkit_web_view_is_loading(preview_.webView()); }, 30));
  }
}

TEST_F(DrawingPreview, TheDrawingsOfAWebProcessThatEndedAreShownAgainAndLeaveNothingToFollow) {
  Navigations navigations(preview_.webView());
  ASSERT_TRUE(show(drawingTag + dataImage(0, 0) + "</svg>", "preview-ended-before.png"));
  // The preview's web process, and any that views of earlier tests left.
  const auto processes = webProcesses();
  ASSERT_FALSE(processes.empty());
  int ended = 0;
  g_signal_connect(preview_.webView(), "web-process-terminated",
                   G_CALLBACK(+[](WebKitWebView*, int, gpointer count) { ++*static_cast<int*>(count); }), &ended);
  // Drawings asked of a web process that never takes them up: it is stopped, then killed.
  for (const pid_t process : processes) ::kill(process, SIGSTOP);
  ASSERT_TRUE(runMainLoopUntil([&] { return std::all_of(processes.begin(), processes.end(), stopped); }, 30));
  preview_.setSVG(drawingTag + dataImage(50, 50) + "</svg>");
  preview_.setSVG(drawingTag + dataImage(50, 0) + "</svg>");
  preview_.setSVG(drawingTag + yellowImage(0, 50) + "</svg>");
  for (const pid_t process : processes) ::kill(process, SIGKILL);
  ASSERT_TRUE(runMainLoopUntil([&] { return ended > 0; }, 30));
  // The last of them shows.
  EXPECT_TRUE(runMainLoopUntil(
      [&] {
        const auto shot = snapshot(preview_.webView(), "preview-ended-after.png");
        return shot.count(0xFFFF00) > 1000 && shot.count(0xFF00FF) == 0;
      },
      60))
      << "the preview does not show the last drawing";
  // A drawing that asks for a refresh: the preview stays on it.
  const auto asked = navigations.askedCount(), followed = navigations.followedCount();
  ASSERT_TRUE(show(drawingTag + dataImage(0, 0) + "<foreignObject width=\"10\" height=\"10\"><meta xmlns=\"http://www.w3.org/"
                   "1999/xhtml\" http-equiv=\"refresh\" content=\"0\"/></foreignObject></svg>",
                   "preview-ended-refresh.png"));
  ASSERT_TRUE(runMainLoopUntil([&] { return navigations.askedCount() >= asked + 2; }, 30)) << "no refresh asked";
  EXPECT_TRUE(runMainLoopUntil([&] { return !webkit_web_view_is_loading(preview_.webView()); }, 30));
  EXPECT_EQ(navigations.followedCount(), followed + 1) << "the preview followed the refresh";
  EXPECT_GT(snapshot(preview_.webView(), "preview-ended-refreshed.png").count(0xFF00FF), 1000U) << "the drawing is gone";
}

// Drawings that use what an inline drawing may: gradients, filters, patterns, masks, clips, local
// uses, inline styles, and pictures written into it (PNG and SVG).
const std::vector<std::string> inlineDrawings = {
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 100\"><defs><linearGradient id=\"g\"><stop offset=\"0\" "
    "stop-color=\"#f00\"/><stop offset=\"1\" stop-color=\"#00f\"/></linearGradient><radialGradient id=\"r\"><stop "
    "offset=\"0\" stop-color=\"#ff0\"/><stop offset=\"1\" stop-color=\"#0a0\"/></radialGradient></defs><rect width=\"100\" "
    "height=\"50\" fill=\"url(#g)\"/><circle cx=\"50\" cy=\"75\" r=\"25\" fill=\"url(#r)\"/></svg>",
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 100\"><defs><filter id=\"f\"><feGaussianBlur "
    "stdDeviation=\"3\"/><feOffset dx=\"4\" dy=\"4\"/></filter><pattern id=\"p\" width=\"10\" height=\"10\" "
    "patternUnits=\"userSpaceOnUse\"><circle cx=\"5\" cy=\"5\" r=\"3\" fill=\"#080\"/></pattern><mask id=\"m\"><rect "
    "width=\"100\" height=\"100\" fill=\"#fff\"/><circle cx=\"75\" cy=\"75\" r=\"15\" fill=\"#000\"/></mask><clipPath "
    "id=\"c\"><circle cx=\"25\" cy=\"75\" r=\"20\"/></clipPath></defs><rect x=\"10\" y=\"10\" width=\"30\" height=\"30\" "
    "fill=\"#c60\" filter=\"url(#f)\"/><rect x=\"50\" y=\"0\" width=\"50\" height=\"50\" fill=\"url(#p)\"/><rect x=\"50\" "
    "y=\"50\" width=\"50\" height=\"50\" fill=\"#609\" mask=\"url(#m)\"/><rect x=\"0\" y=\"50\" width=\"50\" height=\"50\" "
    "fill=\"#099\" clip-path=\"url(#c)\"/></svg>",
    "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" viewBox=\"0 0 100 100\">"
    "<style>.a { fill: #f80; stroke: #036; stroke-width: 4px; } #s { opacity: 0.5; }</style><defs><path id=\"t\" "
    "d=\"M0 0 L20 0 L10 20 Z\"/></defs><use href=\"#t\" x=\"5\" y=\"5\" class=\"a\"/><use xlink:href=\"#t\" x=\"60\" "
    "y=\"5\" style=\"fill: #3a3\"/>" +
        dataImage(0, 50) +
        "<image x=\"50\" y=\"50\" width=\"50\" height=\"50\" href=\"data:image/svg+xml;utf8,&lt;svg "
        "xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'&gt;&lt;circle cx='5' cy='5' r='5' "
        "fill='%23c0c'/&gt;&lt;/svg&gt;\"/><rect id=\"s\" x=\"30\" y=\"30\" width=\"40\" height=\"40\"/></svg>",
};

TEST_F(DrawingPreview, ShowsInlineDrawingsAsAnUnconfinedViewDoes) {
  std::vector<std::string> drawings = inlineDrawings;
  for (const char* icon : {"cloud-moon.svg", "zoom-in.svg"}) {
    std::ifstream file(std::filesystem::path(QUARVEL_TEST_DATA_DIR) / "bootstrap-icons-1.11.3" / "icons" / icon);
    drawings.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  Gtk::Window window;
  WebView unconfined;
  int finished = 0;
  unconfined.setOnLoadFinished([&] { ++finished; });
  window.set_default_size(300, 300);
  window.set_child(unconfined);
  window.present();
  for (std::size_t index = 0; index < drawings.size(); ++index) {
    SCOPED_TRACE(index);
    ASSERT_FALSE(drawings[index].empty());
    const int before = loads_;
    preview_.setSVG(drawings[index]);
    unconfined.load(WebView::HTML{QuarvelUtilities::SVGWebViewContent::html(drawings[index]), std::nullopt});
    ASSERT_TRUE(runMainLoopUntil([&] { return loads_ > before && finished > int(index); }, 60));
    ASSERT_TRUE(runMainLoopUntil([&] { return preview_.get_width() == unconfined.get_width(); }, 30));
    // Both drawn once two pictures in a row agree.
    std::optional<Snapshot> shown, expected;
    ASSERT_TRUE(runMainLoopUntil(
        [&] {
          const auto previous = expected;
          shown = snapshot(preview_.webView(), "preview-confined-drawing-" + std::to_string(index) + ".png");
          expected = snapshot(unconfined.webView(), "preview-unconfined-drawing-" + std::to_string(index) + ".png");
          return previous && previous->pixels == expected->pixels && shown->pixels == expected->pixels;
        },
        30))
        << "the preview draws the drawing otherwise";
    EXPECT_LT(expected->count(0xFFFFFF, 0), expected->pixels.size()) << "nothing drawn";
  }
  unconfined.setOnLoadFinished(nullptr);
  window.destroy();
}

}  // namespace
