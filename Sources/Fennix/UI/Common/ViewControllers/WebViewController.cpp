#include "Fennix/UI/Common/ViewControllers/WebViewController.h"

#include <glib.h>

#include <algorithm>
#include <string_view>

#include "Fennix/Foundation/HTTP/HTTPTypes.h"
#include "Fennix/Foundation/HTTP/URL.h"
#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/UI/Common/LayoutConstraint.h"
#include "Fennix/console/Console.h"

namespace Fennix {
namespace {

std::shared_ptr<WebViewKit>& installedKit() {
  static std::shared_ptr<WebViewKit> kit;
  return kit;
}

/// `reference` resolved against the absolute `base`; none when the result is no URL.
/// Whether the text can stand in a URL as it is: not empty, nothing that must be escaped, and
/// whole percent escapes.
bool isURLReference(const std::string& text) {
  if (text.empty()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c <= 0x20 || c >= 0x7F || std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos)
      return false;
    if (c == '%' && (i + 2 >= text.size() || !g_ascii_isxdigit(text[i + 1]) || !g_ascii_isxdigit(text[i + 2])))
      return false;
  }
  return true;
}

std::optional<std::string> resolve(const std::optional<std::string>& base, const std::string& reference) {
  if (!isURLReference(reference)) return std::nullopt;
  GUri* baseURI = nullptr;
  if (base) {
    baseURI = g_uri_parse(base->c_str(), G_URI_FLAGS_NONE, nullptr);
    if (!baseURI) return std::nullopt;
  }
  GUri* resolved = g_uri_parse_relative(baseURI, reference.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (baseURI) g_uri_unref(baseURI);
  if (!resolved) return std::nullopt;
  gchar* text = g_uri_to_string(resolved);
  g_uri_unref(resolved);
  std::string result(text);
  g_free(text);
  return result;
}

/// The absolute text of a URL, resolving it through its chain of bases.
std::optional<std::string> absoluteText(const URL& url) {
  std::vector<const URL*> chain{&url};
  while (chain.back()->baseURL()) chain.push_back(chain.back()->baseURL().get());
  std::optional<std::string> text;
  for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
    text = resolve(text, (*link)->relativeString());
    if (!text) return std::nullopt;
  }
  return text;
}

/// Why the header fields cannot be sent as they are, none when they can: a name that is not an
/// HTTP token, a value holding CR, LF or NUL.
std::optional<std::string> headerFieldFault(const WebViewHandle::HeaderFields& fields) {
  static constexpr std::string_view marks = "!#$%&'*+-.^_`|~";
  const auto isTokenCharacter = [](char c) { return g_ascii_isalnum(c) || marks.find(c) != std::string_view::npos; };
  for (const auto& [name, value] : fields) {
    if (name.empty() || !std::all_of(name.begin(), name.end(), isTokenCharacter))
      return "a header field's name is not a token";
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
      return "the value of the header field " + name + " holds a line break or NUL";
  }
  return std::nullopt;
}

}  // namespace

WebNavigationError timedOutError() { return {urlErrorDomain, urlErrorTimedOut, "The request timed out."}; }

std::string WebNavigationError::description() const {
  return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + message + "\"";
}

void setWebViewKit(std::shared_ptr<WebViewKit> kit) { installedKit() = std::move(kit); }

WebViewKit& webViewKit() {
  if (auto& kit = installedKit()) return *kit;
  fatalError("no web view kit installed");
}

std::optional<std::string> urlText(const AnyValue& value) {
  if (auto url = value.unwrapped().object<URL>()) return absoluteText(*url);
  return std::nullopt;
}

std::optional<std::string> urlScheme(const std::string& url) {
  auto colon = url.find(':');
  if (colon == std::string::npos || colon == 0 || !g_ascii_isalpha(url[0])) return std::nullopt;
  for (std::size_t i = 1; i < colon; ++i) {
    char c = url[i];
    if (!g_ascii_isalnum(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
  }
  return url.substr(0, colon);
}

}  // namespace Fennix

using Fennix::AnyValue;

namespace {

std::string defaultUserAgent() {
  auto info = NSBundle::applicationInfo();
  return info.appName + "/" + info.version + " Vorn/0.1";
}

}  // namespace

QvWebViewController::QvWebViewController() : wvUserAgent(defaultUserAgent()), log(ModuleLogger::default_("WVC")) {}

std::shared_ptr<Fennix::WebViewHandle> QvWebViewController::webView() const {
  auto loaded = viewIfLoaded();
  if (!loaded || !webView_ || webView_->view() != *loaded) return nullptr;
  return webView_;
}

std::optional<Fennix::LayoutItem> QvWebViewController::makeView() {
  // A web view whose pages cannot start would end the process at its first load: a label says why
  // in its place.
  if (const auto why = Fennix::webViewKit().whyNoWebProcess()) {
    log->error("cannot show web pages:", *why);
    return Fennix::controllerViewKit().makeLabel(*why);
  }
  auto web = Fennix::webViewKit().makeWebView(wvConfig);
  if (!web) return std::nullopt;
  web->setNavigationDelegate(std::static_pointer_cast<QvWebViewController>(shared_from_this()));
  if (wvUserAgent && !wvUserAgent->empty()) web->setCustomUserAgent(*wvUserAgent);
  webView_ = web;
  return web->view();
}

void QvWebViewController::loadHTML(const std::string& html) {
  auto web = webView();
  if (!web) {
    log->error("attempt to load HTML into a WebView not yet setup:", description());
    return;
  }
  web->loadHTML(html);
}

void QvWebViewController::load(const std::optional<AnyValue>& object) {
  auto web = webView();
  if (!web) {
    log->error("attempt to load HTML into a WebView not yet setup:", description());
    return;
  }
  std::optional<std::string> url;
  if (object && object->unwrapped().kind() == Fennix::AnyKind::string) {
    url = Fennix::resolve(web->currentURL(), object->unwrapped().text());
    if (!url) return;
  } else if (object && (url = Fennix::urlText(*object))) {
  } else if (auto request = object ? object->unwrapped().object<URLRequest>() : nullptr; request && request->url) {
    url = Fennix::absoluteText(*request->url);
    if (!url) return;
    // A field that cannot go on the wire as it is would end the head early or start another line.
    if (auto fault = Fennix::headerFieldFault(request->allHTTPHeaderFields())) {
      log->error("cannot load object into WebView:", object->description(), "(" + *fault + ")");
      return;
    }
    web->load(*url, request->timeoutInterval, request->allHTTPHeaderFields());
    return;
  } else {
    log->error("cannot load object into WebView:", object ? object->description() : std::string("<nil>"));
    return;
  }
  web->load(*url, requestTimeoutInterval, {});
}

void QvWebViewController::setRepresentedObject(std::optional<AnyValue> object) {
  auto stored = NSViewController::representedObject();
  if (stored && object) {
    auto oldURL = Fennix::urlText(*stored), newURL = Fennix::urlText(*object);
    if (oldURL && newURL && *oldURL == *newURL) return;
  }
  QvViewControllerBase::setRepresentedObject(object);
  load(object);
}

bool QvWebViewController::decidePolicyForNavigationAction(const std::string& action) {
  log->trace("allow:", action);
  return true;
}

bool QvWebViewController::decidePolicyForNavigationResponse(const std::string& response) {
  log->trace("allow:", response);
  return true;
}

void QvWebViewController::didStartProvisionalNavigation(const std::string& navigation) {
  log->trace("didStart:", navigation);
}

void QvWebViewController::didReceiveServerRedirectForProvisionalNavigation(const std::string& navigation) {
  log->trace("redirect:", navigation);
}

void QvWebViewController::didFailProvisionalNavigation(const std::string& navigation,
                                                       const Fennix::WebNavigationError& error) {
  if (error.domain == Fennix::webKitErrorDomain && error.code == Fennix::webKitErrorFrameLoadInterruptedByPolicyChange)
    log->trace("Frame load interrupted:", error, "\n  on:", navigation);
  else
    log->error("Failed:", error, "\n  on:", navigation);
}

void QvWebViewController::didCommit(const std::string& navigation) { log->trace("didCommit:", navigation); }

void QvWebViewController::didFinish(const std::string& navigation) { log->trace("didFinish:", navigation); }

void QvWebViewController::didFail(const std::string& navigation, const Fennix::WebNavigationError& error) {
  log->trace("didFail:", navigation, "error:", error);
}

void QvWebViewController::webContentProcessDidTerminate() {
  auto web = webView();
  auto* host = Fennix::layoutHost();
  console::error("WebView died ...", web && host ? host->describe(web->view()) : std::string("<nil>"));
}
