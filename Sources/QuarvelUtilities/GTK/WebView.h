// The web view of the live preview: shows an HTML text or a URL request, with scripts off and no
// windows opened by the page; and the SVG preview on top of it.
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
  /// time-out error ("The request timed out."), whatever stage it has reached.
  void load(Content content);
  const std::optional<Content>& content() const { return content_; }

  WebKitWebView* webView() const { return webView_; }
  /// Called once when a load finished, failed or timed out, on the main thread.
  void setOnLoadFinished(std::function<void()> callback) { onLoadFinished_ = std::move(callback); }

 private:
  static void loadChanged(WebKitWebView*, int event, gpointer self);
  static gboolean loadFailed(WebKitWebView*, int event, char* uri, GError* error, gpointer self);
  static gboolean decidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, int type, gpointer self);
  static void webProcessTerminated(WebKitWebView*, int reason, gpointer self);

  WebKitWebView* webView_ = nullptr;
  std::unique_ptr<Fennix::WebNavigationTimeOut> timeOut_;
  std::optional<Content> content_;
  std::function<void()> onLoadFinished_;
};

/// The SVG text shown filling the view (see SVGWebViewContent).
class SVGWebView : public WebView {
 public:
  explicit SVGWebView(const std::string& svg = "");
  void setSVG(const std::string& svg);
};

}  // namespace QuarvelUtilities
