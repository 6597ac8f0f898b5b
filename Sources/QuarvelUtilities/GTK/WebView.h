// The web view of the live preview: shows an HTML text or a URL request, with scripts off and no
// windows opened by the page; and the SVG preview on top of it, which loads nothing from the
// network or from files and never leaves the drawing.
#pragma once

#include <gtkmm/box.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitSettings WebKitSettings;
typedef struct _WebKitPolicyDecision WebKitPolicyDecision;

namespace Fennix {
class WebNavigationTimeOut;
}
namespace Gtk {
class Label;
}

namespace QuarvelUtilities {

class WebView : public Gtk::Box {
 public:
  struct HTML {
    std::string html;
    std::optional<std::string> baseURL;
    bool operator==(const HTML&) const = default;
  };
  struct Request {
    std::string url;
    double timeoutSeconds = 60;
    bool operator==(const Request&) const = default;
  };
  using Content = std::variant<HTML, Request>;

  /// How many web views share one web process. Each web process holds a connection to the X
  /// server of its own, and the server serves a few hundred clients at most: a process per view
  /// would end the application after a couple of hundred windows.
  static constexpr std::size_t viewsPerWebProcess = 8;

  /// The settings every preview shares: JavaScript and JavaScript markup off, no windows opened
  /// by the page, desktop content.
  static WebKitSettings* defaultConfig();

  /// Sets the web engine up in this process. It must come before the process's first
  /// JavaScriptCore context (the code highlighter makes one): the engine sets up the JavaScript
  /// machinery it shares with that library once, when its first object is made, and web views
  /// made after a context that came first load their pages but never show them. Making any web
  /// view or the shared settings does it too; calling it again does nothing.
  static void setUpProcess();

  WebView();
  explicit WebView(Content content);
  ~WebView() override;

  /// Loads `content`; every call loads again, the same content or not. A request still loading
  /// when its time-out has passed (counted from this call) is given up and fails with the
  /// time-out error ("The request timed out."), whatever stage it has reached. While the web engine
  /// cannot start the view's web process, nothing loads: the view says why in its place.
  void load(Content content);
  const std::optional<Content>& content() const { return content_; }

  /// The engine's web view; none while it could not start.
  WebKitWebView* webView() const { return webView_; }
  /// Called once when a load finished, failed or timed out, on the main thread.
  void setOnLoadFinished(std::function<void()> callback) { onLoadFinished_ = std::move(callback); }

 protected:
  /// A view that shows only the content loaded into it: `contentSecurityPolicy` is the policy of
  /// each of its pages (as if a header of each had set it), and it follows no navigation but the
  /// last load asked of it (no refresh the page asks for, no link clicked in it or dropped on it,
  /// no load that a later one replaced). Its content is loaded again, once, when its web process
  /// ends. Other views, those sharing its web process too, keep their own.
  struct Confined {
    std::string contentSecurityPolicy;
  };
  explicit WebView(const std::optional<Confined>& confined);

 private:
  /// Hands `content_` to the engine.
  void start();
  /// Makes the engine's web view, unless the web process it would start (or a load would start,
  /// once the view's has ended) cannot start now: the view then says why instead. Whether the view
  /// can load.
  bool webProcessCanStart();

  static void loadChanged(WebKitWebView*, int event, gpointer self);
  static gboolean loadFailed(WebKitWebView*, int event, char* uri, GError* error, gpointer self);
  static gboolean decidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, int type, gpointer self);
  static void webProcessTerminated(WebKitWebView*, int reason, gpointer self);

  WebKitWebView* webView_ = nullptr;
  std::unique_ptr<Fennix::WebNavigationTimeOut> timeOut_;
  std::optional<Content> content_;
  std::function<void()> onLoadFinished_;
  bool confined_ = false;
  /// Of a confined view: the address the engine navigates to for the last load asked, until the
  /// engine asks about that navigation.
  std::optional<std::string> awaitedAddress_;
  /// Of a confined view: its content was loaded again since its web process ended.
  bool startedAgain_ = false;
  std::string contentSecurityPolicy_;
  /// The web process ended: the next load starts another.
  bool processEnded_ = false;
  /// Why the engine cannot start the view's web process, shown in its place.
  Gtk::Label* unavailable_ = nullptr;
};

/// The SVG text shown filling the view (see SVGWebViewContent). The drawing is shown alone: its
/// own styles, and images and fonts written into it as `data:` addresses; nothing is fetched from
/// the network or from files, and the page is never left for another.
class SVGWebView : public WebView {
 public:
  explicit SVGWebView(const std::string& svg = "");
  void setSVG(const std::string& svg);
};

}  // namespace QuarvelUtilities
