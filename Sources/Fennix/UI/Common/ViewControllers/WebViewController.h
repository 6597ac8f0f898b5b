// A controller that shows a web view and loads into it whatever its represented object names: a
// URL, a URL request or a URL text. It sends its own user agent, lets every navigation through and
// traces the navigation events through the "WVC" module logger. The toolkit's web view sits behind
// a small handle made by the installed web view kit.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/ViewController.h"
#include "Fennix/console/ModuleLogger.h"

class QvWebViewController;

/// The settings a web view is made with.
struct WKWebViewConfiguration {};

namespace Fennix {

/// An error of a navigation: its domain, code and text.
struct WebNavigationError {
  std::string domain;
  int code = 0;
  std::string message;
  std::string description() const;
};

/// The domain of the web engine's own errors; code 102 is a frame load interrupted by a change of
/// policy (a navigation that became a download, say).
inline constexpr const char* webKitErrorDomain = "WebKitErrorDomain";
inline constexpr int webKitErrorFrameLoadInterruptedByPolicyChange = 102;
/// The domain of URL loading errors; code -1001 is a request that timed out.
inline constexpr const char* urlErrorDomain = "NSURLErrorDomain";
inline constexpr int urlErrorTimedOut = -1001;

/// The error a navigation ends with when its request's time-out passed.
WebNavigationError timedOutError();

/// The toolkit's web view.
class WebViewHandle {
 public:
  /// Header fields of a request, by name and value, in order.
  using HeaderFields = std::vector<std::pair<std::string, std::string>>;

  virtual ~WebViewHandle() = default;
  virtual LayoutItem view() const = 0;
  /// Where the view is (none before it loaded anything).
  virtual std::optional<std::string> currentURL() const = 0;
  /// Loads the URL, sending the header fields with the request (after the engine's own, which a
  /// field of the same name replaces, but for User-Agent and Cookie, which stay the engine's) and
  /// with the requests of its redirects (but for Authorization from the first redirect to another
  /// scheme, host or port on); when it has not finished `timeoutInterval` seconds later,
  /// the view gives it up and its navigation fails with `timedOutError()`, once, whatever stage
  /// it had reached.
  virtual void load(const std::string& url, double timeoutInterval, const HeaderFields& headerFields) = 0;
  virtual void loadHTML(const std::string& html) = 0;
  virtual void setCustomUserAgent(const std::string& userAgent) = 0;
  /// The controller whose navigation methods the view calls.
  virtual void setNavigationDelegate(std::weak_ptr<QvWebViewController> delegate) = 0;
};

class WebViewKit {
 public:
  virtual ~WebViewKit() = default;
  /// A web view with the kit's initial frame, laid out by constraints.
  virtual std::shared_ptr<WebViewHandle> makeWebView(const WKWebViewConfiguration& configuration) = 0;
  /// Why the web engine cannot start a web view's pages now, as a sentence; none when it can. A web
  /// view is made only while it can.
  virtual std::optional<std::string> whyNoWebProcess() const { return std::nullopt; }
};

void setWebViewKit(std::shared_ptr<WebViewKit> kit);
/// The installed kit; stops the process when there is none.
WebViewKit& webViewKit();

/// The absolute text of a represented object that is a URL; none for other values.
std::optional<std::string> urlText(const AnyValue& value);
/// The scheme of a URL text as written (the letters before the first ":"); none without one.
std::optional<std::string> urlScheme(const std::string& url);

}  // namespace Fennix

class QvWebViewController : public QvViewControllerBase {
 public:
  QvWebViewController();

  std::optional<std::string> wvUserAgent;
  WKWebViewConfiguration wvConfig;
  /// The time-out, in seconds, of the requests made for URLs and URL texts.
  double requestTimeoutInterval = 60;
  const std::shared_ptr<ModuleLogger> log;

  /// The web view; none while the view is not loaded (never loads it), and none when the web engine
  /// could not start: the view then says why in its place.
  virtual std::shared_ptr<Fennix::WebViewHandle> webView() const;
  virtual void loadHTML(const std::string& html);
  virtual void load(const std::optional<Fennix::AnyValue>& object);

  // Navigation (descriptions of the action, response or navigation).
  virtual bool decidePolicyForNavigationAction(const std::string& action);
  virtual bool decidePolicyForNavigationResponse(const std::string& response);
  virtual void didStartProvisionalNavigation(const std::string& navigation);
  virtual void didReceiveServerRedirectForProvisionalNavigation(const std::string& navigation);
  virtual void didFailProvisionalNavigation(const std::string& navigation, const Fennix::WebNavigationError& error);
  virtual void didCommit(const std::string& navigation);
  virtual void didFinish(const std::string& navigation);
  virtual void didFail(const std::string& navigation, const Fennix::WebNavigationError& error);
  virtual void webContentProcessDidTerminate();

  std::optional<Fennix::LayoutItem> makeView() override;
  void setRepresentedObject(std::optional<Fennix::AnyValue> object) override;

 private:
  std::shared_ptr<Fennix::WebViewHandle> webView_;
};
