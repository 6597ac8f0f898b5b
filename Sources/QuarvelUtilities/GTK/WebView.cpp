#include "QuarvelUtilities/GTK/WebView.h"

#include <gtkmm/label.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/GTK/WebNavigationTimeOut.h"
#include "Fennix/UI/Common/ViewControllers/WebProcessPaths.h"
#include "Fennix/UI/Common/ViewControllers/WebViewController.h"
#include "Fennix/console/Console.h"
#include "QuarvelUtilities/SVGWebViewContent.h"

namespace QuarvelUtilities {

namespace {

/// New settings with scripts off and no windows opened by the page.
WebKitSettings* newScriptlessSettings() {
  WebKitSettings* made = webkit_settings_new();
  webkit_settings_set_enable_javascript(made, FALSE);
  webkit_settings_set_enable_javascript_markup(made, FALSE);
  webkit_settings_set_javascript_can_open_windows_automatically(made, FALSE);
  webkit_settings_set_enable_developer_extras(made, FALSE);
  return made;
}

}  // namespace

WebKitSettings* WebView::defaultConfig() {
  static WebKitSettings* const settings = newScriptlessSettings();
  return settings;
}

void WebView::setUpProcess() { (void)defaultConfig(); }

namespace {

/// The web views that share one web process: the first was made on its own, the others related
/// to a living member. Once its web process has ended, no view joins the group.
struct ProcessGroup {
  std::vector<WebKitWebView*> views;
  bool ended = false;
};

std::vector<std::unique_ptr<ProcessGroup>>& processGroups() {
  static auto* groups = new std::vector<std::unique_ptr<ProcessGroup>>();  // main thread, whole process
  return *groups;
}

void forgetView(gpointer data, GObject* gone) {
  auto& groups = processGroups();
  auto* group = static_cast<ProcessGroup*>(data);
  std::erase(group->views, reinterpret_cast<WebKitWebView*>(gone));
  if (group->views.empty()) {
    std::erase_if(groups, [group](const auto& kept) { return kept.get() == group; });
  }
}

/// The group whose running web process a new web view joins; none when it starts one of its own.
ProcessGroup* groupWithRoom() {
  auto& groups = processGroups();
  auto found = std::find_if(groups.begin(), groups.end(), [](const auto& group) {
    return group->views.size() < WebView::viewsPerWebProcess && !group->ended;
  });
  return found != groups.end() ? found->get() : nullptr;
}

/// A new web view with the shared settings, in the web process of a group that has room. A
/// content security policy belongs to the view made with it (none: the page's own), not to the
/// group.
WebKitWebView* makeSharingWebView(WebKitSettings* settings, const char* contentSecurityPolicy) {
  ProcessGroup* group = groupWithRoom();
  if (group == nullptr) group = processGroups().emplace_back(std::make_unique<ProcessGroup>()).get();
  WebKitWebView* view =
      group->views.empty()
          ? WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "settings", settings, "default-content-security-policy",
                                         contentSecurityPolicy, nullptr))
          : WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "settings", settings, "default-content-security-policy",
                                         contentSecurityPolicy, "related-view", group->views.front(), nullptr));
  group->views.push_back(view);
  g_object_weak_ref(G_OBJECT(view), forgetView, group);
  return view;
}

/// The web process of `view`, and of the views of its group, has ended.
void webProcessEnded(WebKitWebView* view) {
  for (const auto& group : processGroups()) {
    if (std::find(group->views.begin(), group->views.end(), view) != group->views.end()) group->ended = true;
  }
}

/// The shared settings, but with no connection opened or name looked up ahead of a fetch: those
/// the page's links ask for are outside its content security policy.
WebKitSettings* confinedConfig() {
  static WebKitSettings* const settings = [] {
    WebKitSettings* made = newScriptlessSettings();
    WebKitFeatureList* features = webkit_settings_get_all_features();
    for (gsize index = 0; index < webkit_feature_list_get_length(features); ++index) {
      WebKitFeature* feature = webkit_feature_list_get(features, index);
      const std::string identifier = webkit_feature_get_identifier(feature);
      if (identifier == "LinkPreconnect" || identifier == "LinkPreconnectEarlyHints" || identifier == "LinkDNSPrefetch" ||
          identifier == "LinkPrefetch") {
        webkit_settings_set_feature_enabled(made, feature, FALSE);
      }
    }
    webkit_feature_list_unref(features);
    return made;
  }();
  return settings;
}

/// A drawing's page: its own styles, and the images and fonts written into it; no address is
/// fetched, no frame shown, no form sent and no base address taken.
constexpr const char* drawingContentSecurityPolicy =
    "default-src 'none'; style-src 'unsafe-inline'; img-src data:; font-src data:; form-action 'none'; "
    "base-uri 'none'";

}  // namespace

WebView::WebView() : WebView(std::nullopt) {}

WebView::WebView(const std::optional<Confined>& confined)
    : Gtk::Box(Gtk::Orientation::VERTICAL),
      confined_(confined.has_value()),
      contentSecurityPolicy_(confined ? confined->contentSecurityPolicy : "") {
  (void)webProcessCanStart();
}

bool WebView::webProcessCanStart() {
  if (webView_ != nullptr && !processEnded_) return true;
  // A view that starts a web process (made in a group of its own, or loading after its process
  // ended) does so only once the engine can start one: it would end the application otherwise.
  // Until then it says why in its place.
  if (webView_ != nullptr || groupWithRoom() == nullptr) {
    if (const auto why = Fennix::WebProcessPaths::whyNoWebProcess()) {
      if (unavailable_ == nullptr) {
        unavailable_ = Gtk::make_managed<Gtk::Label>();
        unavailable_->set_wrap(true);
        unavailable_->set_wrap_mode(Pango::WrapMode::WORD_CHAR);
        unavailable_->set_justify(Gtk::Justification::CENTER);
        unavailable_->set_vexpand(true);
        append(*unavailable_);
      }
      if (unavailable_->get_label().raw() != *why || !unavailable_->get_visible()) {
        console::defaultConsole()->error("WebView:", *why);
        unavailable_->set_label(*why);
      }
      unavailable_->set_visible(true);
      if (webView_ != nullptr) gtk_widget_set_visible(GTK_WIDGET(webView_), FALSE);
      return false;
    }
  }
  if (unavailable_ != nullptr) unavailable_->set_visible(false);
  processEnded_ = false;
  if (webView_ != nullptr) {
    gtk_widget_set_visible(GTK_WIDGET(webView_), TRUE);
    return true;
  }
  webView_ = confined_ ? makeSharingWebView(confinedConfig(), contentSecurityPolicy_.c_str())
                       : makeSharingWebView(defaultConfig(), nullptr);
  gtk_widget_set_hexpand(GTK_WIDGET(webView_), TRUE);
  gtk_widget_set_vexpand(GTK_WIDGET(webView_), TRUE);
  gtk_widget_set_size_request(GTK_WIDGET(webView_), 16, 16);
  gtk_box_append(GTK_BOX(gobj()), GTK_WIDGET(webView_));
  // The engine knows no time-out of a request: a load still under way when it has passed is given
  // up, and ends with the time-out error.
  timeOut_ = std::make_unique<Fennix::WebNavigationTimeOut>(webView_, [this](Fennix::WebNavigationTimeOut::Stage) {
    console::defaultConsole()->error("WebView:", Fennix::timedOutError().description());
    if (onLoadFinished_) onLoadFinished_();
  });
  g_signal_connect(webView_, "decide-policy", G_CALLBACK(decidePolicy), this);
  g_signal_connect(webView_, "load-changed", G_CALLBACK(loadChanged), this);
  g_signal_connect(webView_, "load-failed", G_CALLBACK(loadFailed), this);
  g_signal_connect(webView_, "web-process-terminated", G_CALLBACK(webProcessTerminated), this);
  // A page never opens another window.
  g_signal_connect(webView_, "create", G_CALLBACK(+[](WebKitWebView*, WebKitNavigationAction*, gpointer) -> GtkWidget* {
                     return nullptr;
                   }),
                   nullptr);
  return true;
}

WebView::WebView(Content content) : WebView() { load(std::move(content)); }

WebView::~WebView() {
  if (webView_ != nullptr) g_signal_handlers_disconnect_by_data(webView_, this);
  timeOut_.reset();
}

void WebView::load(Content content) {
  content_ = std::move(content);
  startedAgain_ = false;
  if (webProcessCanStart()) start();
}

void WebView::start() {
  if (const auto* html = std::get_if<HTML>(&*content_)) {
    // The engine asks about the page's own navigations (an empty frame of the page, a refresh, a
    // link) in the same words as about the loads asked of it: a confined view's page without an
    // address of its own gets a blank one that no page can name.
    std::optional<std::string> address = html->baseURL;
    if (confined_ && !address) {
      char* unique = g_uuid_string_random();
      address = std::string("about:blank?") + unique;
      g_free(unique);
    }
    if (confined_) awaitedAddress_ = address;
    webkit_web_view_load_html(webView_, html->html.c_str(), address ? address->c_str() : nullptr);
    timeOut_->begin(0);
    return;
  }
  const auto& request = std::get<Request>(*content_);
  if (confined_) awaitedAddress_ = request.url;
  webkit_web_view_load_uri(webView_, request.url.c_str());
  timeOut_->begin(request.timeoutSeconds);
}

gboolean WebView::decidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, int type, gpointer self) {
  auto* view = static_cast<WebView*>(self);
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  // Asked after its time-out: the load is dropped here.
  bool follows = !view->timeOut_->refusesNavigation(uri ? uri : "");
  if (view->confined_) {
    // Only the navigation of the last load asked, once. A load that a later one replaced before the
    // engine asked about it is refused: the later one would replace it at once.
    const bool awaited = uri != nullptr && view->awaitedAddress_ == uri &&
                         webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_OTHER;
    if (awaited) view->awaitedAddress_.reset();
    follows = follows && awaited;
  }
  if (follows) return FALSE;
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

void WebView::loadChanged(WebKitWebView*, int event, gpointer self) {
  auto* view = static_cast<WebView*>(self);
  if (!view->timeOut_->loadChanged(event) || event != WEBKIT_LOAD_FINISHED) return;
  if (view->onLoadFinished_) view->onLoadFinished_();
}

gboolean WebView::loadFailed(WebKitWebView*, int, char*, GError* error, gpointer self) {
  auto* view = static_cast<WebView*>(self);
  if (!view->timeOut_->loadFailed() || error == nullptr) return FALSE;
  // A load replaced by the next one is not a failure worth a line.
  if (!g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
    console::defaultConsole()->error("WebView:", std::string(error->message));
  return FALSE;
}

void WebView::webProcessTerminated(WebKitWebView*, int, gpointer self) {
  auto* view = static_cast<WebView*>(self);
  // The next load starts another web process.
  view->processEnded_ = true;
  webProcessEnded(view->webView_);
  // The load under way ended with the web process: it is not timed out later, and its end is told
  // now, as the engine says no more of it.
  const bool loading = view->timeOut_->timing();
  view->timeOut_->webProcessTerminated();
  // A confined view shows its content again, in a new web process (the loads the old one had not
  // taken up went with it): once, lest content that ends its process be loaded for ever.
  view->awaitedAddress_.reset();
  if (view->confined_ && view->content_ && !view->startedAgain_) {
    view->startedAgain_ = true;
    if (view->webProcessCanStart()) view->start();
  }
  if (loading && view->onLoadFinished_) view->onLoadFinished_();
}

SVGWebView::SVGWebView(const std::string& svg) : WebView(Confined{drawingContentSecurityPolicy}) { setSVG(svg); }

void SVGWebView::setSVG(const std::string& svg) { load(HTML{SVGWebViewContent::html(svg), std::nullopt}); }

}  // namespace QuarvelUtilities
