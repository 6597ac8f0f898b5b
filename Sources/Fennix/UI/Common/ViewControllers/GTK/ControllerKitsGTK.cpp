#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"

#include <giomm/simpleactiongroup.h>
#include <gtkmm/box.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>
#include <webkit/webkit.h>

#include <memory>
#include <utility>

#include "Fennix/UI/AppKit/Views/GTK/SplitViews.h"
#include "Fennix/UI/AppKit/Views/GTK/ToolbarStatusView.h"
#include "Fennix/UI/AppKit/GTK/ViewFactory.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/PageTransitionsGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/WebNavigationTimeOut.h"
#include "Fennix/UI/Common/ViewControllers/WebProcessPaths.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"

namespace Fennix {
namespace {

GtkWidget* gtk(LayoutItem item) { return item.isView() ? GTK_WIDGET(const_cast<void*>(item.handle)) : nullptr; }
LayoutItem itemOf(GtkWidget* widget) { return LayoutItem{widget}; }

void setViewSize(GtkWidget* widget) {
  gtk_widget_set_size_request(widget, -1, -1);
  gtk_widget_set_hexpand(widget, TRUE);
  gtk_widget_set_vexpand(widget, TRUE);
}

class ControllerViewKitGTK : public ControllerViewKit {
 public:
  LayoutItem makeGenericView() override {
    auto* view = QvViewBase::make<QvViewBase>();
    setViewSize(view->gobj());
    return item(*view);
  }
  LayoutItem makeScrollView(LayoutItem document) override {
    auto* scroll = Gtk::make_managed<Gtk::ScrolledWindow>();
    if (Gtk::Widget* child = widget(document)) {
      layoutHost()->removeFromSuperview(document);
      scroll->set_child(*child);
    }
    return item(*scroll);
  }
  bool isScrollView(LayoutItem view) const override { return GTK_IS_SCROLLED_WINDOW(gtk(view)); }
  LayoutItem makeLabel(const std::string& text) override {
    auto* label = Gtk::make_managed<Gtk::Label>(text);
    label->set_justify(Gtk::Justification::CENTER);
    return item(*label);
  }
  bool isTextField(LayoutItem view) const override { return GTK_IS_LABEL(gtk(view)); }
  std::string text(LayoutItem label) const override {
    return GTK_IS_LABEL(gtk(label)) ? gtk_label_get_text(GTK_LABEL(gtk(label))) : "";
  }
  void setText(LayoutItem label, const std::string& text) override {
    if (GTK_IS_LABEL(gtk(label))) gtk_label_set_text(GTK_LABEL(gtk(label)), text.c_str());
  }
  void wrapAtCurrentWidth(LayoutItem label) override {
    GtkWidget* widget = gtk(label);
    if (!GTK_IS_LABEL(widget)) return;
    gtk_label_set_wrap(GTK_LABEL(widget), TRUE);
    // Lines break at the width the label has now. Constraint layouts size a child without asking
    // its height for a width, so the label's size at that width is held by constraints of its own
    // (as strong as compression resistance), replaced at the next call.
    static constexpr const char* wrapKey = "qv-wrap-size";
    if (auto* old = static_cast<NSLayoutConstraintList*>(g_object_get_data(G_OBJECT(widget), wrapKey)))
      NSLayoutConstraint::deactivate(*old);
    g_object_set_data(G_OBJECT(widget), wrapKey, nullptr);
    if (const int width = gtk_widget_get_width(widget); width > 0) {
      int height = 0;
      gtk_widget_measure(widget, GTK_ORIENTATION_VERTICAL, width, nullptr, &height, nullptr, nullptr);
      auto* size = new NSLayoutConstraintList{
          NSLayoutConstraint::make(label, NSLayoutAttribute::width, NSLayoutRelation::equal, 1, width),
          NSLayoutConstraint::make(label, NSLayoutAttribute::height, NSLayoutRelation::equal, 1, height)};
      for (const auto& constraint : *size) constraint->setPriority(NSLayoutPriorityDefaultHigh);
      NSLayoutConstraint::activate(*size);
      g_object_set_data_full(G_OBJECT(widget), wrapKey, size,
                             [](gpointer data) { delete static_cast<NSLayoutConstraintList*>(data); });
    }
    gtk_widget_queue_resize(widget);
    gtk_widget_queue_draw(widget);
  }
  LayoutItem makeStackView(const std::vector<LayoutItem>& views, NSUserInterfaceLayoutOrientation axis,
                           NSStackViewDistribution distribution, std::optional<NSLayoutAttribute> alignment,
                           std::optional<NSLayoutPriority> hugging, double spacing) override {
    // The shared view factory makes every stack, through its overridable maker.
    std::vector<Gtk::Widget*> widgets;
    for (LayoutItem view : views) {
      Gtk::Widget* child = widget(view);
      if (!child) continue;
      layoutHost()->removeFromSuperview(view);
      widgets.push_back(child);
    }
    return item(*qv().makeStackView(widgets, axis, distribution, alignment, hugging, spacing, nullptr));
  }
  void retainView(LayoutItem view) override {
    if (GtkWidget* widget = gtk(view)) g_object_ref_sink(widget);
  }
  void releaseView(LayoutItem view) override {
    if (GtkWidget* widget = gtk(view)) g_object_unref(widget);
  }
  void attachController(LayoutItem view, std::weak_ptr<NSViewController> controller) override {
    Gtk::Widget* shown = widget(view);
    if (!shown) return;
    // The controller's actions reach the controls inside its view through the toolkit's actions.
    if (auto vc = controller.lock()) {
      auto actions = vc->responderActions();
      if (!actions.empty()) {
        auto group = Gio::SimpleActionGroup::create();
        for (auto& action : actions) {
          group->add_action(action.name, [controller, perform = std::move(action.perform)] {
            if (auto target = controller.lock()) perform(*target);
          });
        }
        insertActionGroup(*shown, "vc", group);
      }
    }
    shown->signal_map().connect([controller] {
      if (auto vc = controller.lock()) {
        vc->viewWillAppear();
        vc->viewDidAppear();
      }
    });
    shown->signal_unmap().connect([controller] {
      if (auto vc = controller.lock()) {
        vc->viewWillDisappear();
        vc->viewDidDisappear();
      }
    });
  }
};

// The web view behind a web view controller.

std::string describeNavigation(WebKitWebView* view) {
  const char* uri = webkit_web_view_get_uri(view);
  return std::string("<WKNavigation: ") + (uri ? uri : "") + ">";
}

class WebViewGTK : public WebViewHandle {
 public:
  explicit WebViewGTK(const WKWebViewConfiguration&) {
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new());
    g_object_ref_sink(view_);
    setViewSize(GTK_WIDGET(view_));
    gtk_widget_set_size_request(GTK_WIDGET(view_), 1, 1);
    // The engine knows no time-out of a request: a navigation still under way when it has passed
    // is given up, and fails with the time-out error.
    timeOut_ = std::make_unique<WebNavigationTimeOut>(view_, [this](WebNavigationTimeOut::Stage stage) {
      auto delegate = delegate_.lock();
      if (!delegate) return;
      if (stage == WebNavigationTimeOut::Stage::committed)
        delegate->didFail(describeNavigation(view_), timedOutError());
      else
        delegate->didFailProvisionalNavigation(describeNavigation(view_), timedOutError());
    });
    g_signal_connect(view_, "decide-policy", G_CALLBACK(decidePolicy), this);
    g_signal_connect(view_, "load-changed", G_CALLBACK(loadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(loadFailed), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(terminated), this);
  }
  ~WebViewGTK() override {
    g_signal_handlers_disconnect_by_data(view_, this);
    timeOut_.reset();
    g_object_unref(view_);
  }

  LayoutItem view() const override { return itemOf(GTK_WIDGET(view_)); }
  std::optional<std::string> currentURL() const override {
    const char* uri = webkit_web_view_get_uri(view_);
    if (!uri || !*uri) return std::nullopt;
    return std::string(uri);
  }
  void load(const std::string& url, double timeoutInterval, const HeaderFields& headerFields) override {
    if (!webProcessCanStart(url)) return;
    WebKitURIRequest* request = webkit_uri_request_new(url.c_str());
    // Only a request of HTTP (or HTTPS) has header fields; the engine has no way to send a
    // request's method or body.
    if (SoupMessageHeaders* headers = headerFields.empty() ? nullptr : webkit_uri_request_get_http_headers(request)) {
      for (const auto& [name, value] : headerFields) soup_message_headers_replace(headers, name.c_str(), value.c_str());
    }
    webkit_web_view_load_request(view_, request);
    g_object_unref(request);
    timeOut_->begin(timeoutInterval);
  }
  void loadHTML(const std::string& html) override {
    if (!webProcessCanStart("HTML")) return;
    webkit_web_view_load_html(view_, html.c_str(), nullptr);
    timeOut_->begin(0);
  }
  void setCustomUserAgent(const std::string& userAgent) override {
    webkit_settings_set_user_agent(webkit_web_view_get_settings(view_), userAgent.c_str());
  }
  void setNavigationDelegate(std::weak_ptr<QvWebViewController> delegate) override { delegate_ = std::move(delegate); }

 private:
  static gboolean decidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                               gpointer data) {
    auto* self = static_cast<WebViewGTK*>(data);
    auto delegate = self->delegate_.lock();
    bool allow = true;
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
      if (!delegate) return FALSE;
      WebKitURIResponse* response = webkit_response_policy_decision_get_response(WEBKIT_RESPONSE_POLICY_DECISION(decision));
      const char* uri = webkit_uri_response_get_uri(response);
      allow = delegate->decidePolicyForNavigationResponse(std::string("<WKNavigationResponse: ") + (uri ? uri : "") + ">");
    } else {
      WebKitNavigationAction* action =
          webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      WebKitURIRequest* request = webkit_navigation_action_get_request(action);
      const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
      if (delegate)
        allow = delegate->decidePolicyForNavigationAction(std::string("<WKNavigationAction: ") + (uri ? uri : "") + ">");
      // Asked after its time-out: the navigation is dropped here (the delegate may have given it up
      // just now).
      if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && self->timeOut_->refusesNavigation(uri ? uri : ""))
        allow = false;
      // A navigation to another site goes on in a new web process.
      else if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && allow &&
               !self->webProcessCanStart(uri ? uri : "", true))
        allow = false;
      else if (!delegate)
        return FALSE;
    }
    if (allow)
      webkit_policy_decision_use(decision);
    else
      webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  static void loadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<WebViewGTK*>(data);
    if (!self->timeOut_->loadChanged(event)) return;
    // The engine ends a failed navigation with a finish as well: it was heard as the failure.
    if (event == WEBKIT_LOAD_FINISHED && std::exchange(self->failed_, false)) return;
    if (event == WEBKIT_LOAD_STARTED) self->failed_ = false;
    auto delegate = self->delegate_.lock();
    if (!delegate) return;
    auto navigation = describeNavigation(view);
    switch (event) {
      case WEBKIT_LOAD_STARTED: delegate->didStartProvisionalNavigation(navigation); break;
      case WEBKIT_LOAD_REDIRECTED: delegate->didReceiveServerRedirectForProvisionalNavigation(navigation); break;
      case WEBKIT_LOAD_COMMITTED: delegate->didCommit(navigation); break;
      case WEBKIT_LOAD_FINISHED: delegate->didFinish(navigation); break;
    }
  }
  static gboolean loadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar*, GError* error, gpointer data) {
    auto* self = static_cast<WebViewGTK*>(data);
    if (!self->timeOut_->loadFailed()) return FALSE;
    self->failed_ = true;
    auto delegate = self->delegate_.lock();
    if (!delegate || !error) return FALSE;
    WebNavigationError failure;
    failure.domain = error->domain == WEBKIT_POLICY_ERROR ? webKitErrorDomain : g_quark_to_string(error->domain);
    failure.code = error->code;
    failure.message = error->message ? error->message : "";
    auto navigation = describeNavigation(view);
    if (event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_REDIRECTED)
      delegate->didFailProvisionalNavigation(navigation, failure);
    else
      delegate->didFail(navigation, failure);
    return FALSE;
  }
  static void terminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data) {
    auto* self = static_cast<WebViewGTK*>(data);
    self->noWebProcess_ = true;
    self->timeOut_->webProcessTerminated();
    if (auto delegate = self->delegate_.lock()) delegate->webContentProcessDidTerminate();
  }

  /// Whether the engine may start a web process for a load of `what` now (always asked when
  /// `starts`, else only while the view has no web process, as the next load starts one); the
  /// delegate's log says why not.
  bool webProcessCanStart(const std::string& what, bool starts = false) {
    if (!starts && !noWebProcess_) return true;
    const auto why = WebProcessPaths::whyNoWebProcess();
    if (!why) {
      noWebProcess_ = false;
      return true;
    }
    if (auto delegate = delegate_.lock()) delegate->log->error("cannot load into WebView:", what, *why);
    return false;
  }

  WebKitWebView* view_ = nullptr;
  std::weak_ptr<QvWebViewController> delegate_;
  std::unique_ptr<WebNavigationTimeOut> timeOut_;
  /// The navigation under way failed: its finish is not passed on.
  bool failed_ = false;
  /// The view has no web process: the engine starts one at the first load, and another at the load
  /// after it ended (however long after the view was made, and whatever the folders were then).
  bool noWebProcess_ = true;
};

class WebViewKitGTK : public WebViewKit {
 public:
  std::shared_ptr<WebViewHandle> makeWebView(const WKWebViewConfiguration& configuration) override {
    return std::make_shared<WebViewGTK>(configuration);
  }
  // Each web view's pages start a web process of their own.
  std::optional<std::string> whyNoWebProcess() const override { return WebProcessPaths::whyNoWebProcess(); }
};

}  // namespace

void installControllerKitsGTK() {
  installToolkitLayoutHost();
  if (!hasControllerViewKit()) setControllerViewKit(std::make_shared<ControllerViewKitGTK>());
  installSplitViewKitGTK();
  static bool webInstalled = false;
  if (!webInstalled) {
    setWebViewKit(std::make_shared<WebViewKitGTK>());
    // Page controllers slide their pages in stacks.
    setDefaultPageTransitionRunner(std::make_shared<GtkStackPageTransitionRunner>());
    webInstalled = true;
  }
}

Gtk::Widget* controllerWidget(NSViewController& controller) {
  auto view = controller.view();
  return view ? widget(*view) : nullptr;
}

}  // namespace Fennix
