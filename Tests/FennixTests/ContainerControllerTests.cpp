// The web, switch and window controllers over fake web views and windows: what is loaded for
// which represented object, the trace lines, the switch's choice of child, and how a window is
// built.
#include <gtest/gtest.h>

#include "FakeControllerViewKit.h"
#include "Fennix/Foundation/HTTP/HTTPTypes.h"
#include "Fennix/Foundation/HTTP/URL.h"
#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/UI/AppKit/ViewControllers/WindowController.h"
#include "Fennix/UI/Common/ViewControllers/PlaceholderViewController.h"
#include "Fennix/UI/Common/ViewControllers/SwitchViewController.h"
#include "Fennix/UI/Common/ViewControllers/WebViewController.h"
#include "LogTestSupport.h"

using Fennix::AnyValue;
using Fennix::LayoutItem;
using namespace FennixTest;

namespace {

AnyValue url(const std::string& text) { return AnyValue::object(std::make_shared<URL>(*URL::fromString(text))); }

class FakeWebView : public Fennix::WebViewHandle {
 public:
  explicit FakeWebView(LayoutItem view) : view_(view) {}
  LayoutItem view() const override { return view_; }
  std::optional<std::string> currentURL() const override { return loads.empty() ? std::nullopt : std::optional(loads.back()); }
  void load(const std::string& address, double timeout, const HeaderFields& fields) override {
    loads.push_back(address);
    timeouts.push_back(timeout);
    headerFields.push_back(fields);
  }
  void loadHTML(const std::string& html) override { loads.push_back("html:" + html); }
  void setCustomUserAgent(const std::string& agent) override { userAgent = agent; }
  void setNavigationDelegate(std::weak_ptr<QvWebViewController> controller) override { delegate = controller; }
  std::vector<std::string> loads;
  std::vector<double> timeouts;
  std::vector<HeaderFields> headerFields;
  std::optional<std::string> userAgent;
  std::weak_ptr<QvWebViewController> delegate;

 private:
  LayoutItem view_;
};

class FakeWebKit : public Fennix::WebViewKit {
 public:
  explicit FakeWebKit(FakeLayoutHost& host) : host_(host) {}
  std::shared_ptr<Fennix::WebViewHandle> makeWebView(const WKWebViewConfiguration&) override {
    made.push_back(std::make_shared<FakeWebView>(host_.view("web")));
    return made.back();
  }
  std::vector<std::shared_ptr<FakeWebView>> made;

 private:
  FakeLayoutHost& host_;
};

/// The registered "WVC" logger writes to the console it was made over: one kept for the process.
LogTestSupport::FileConsole& moduleLog() {
  static auto* files = [] {
    auto* made = new LogTestSupport::FileConsole(LogLevel::trace);
    console::setDefaultConsole(made->console);
    ModuleLogger::default_("WVC");
    console::setDefaultConsole(nullptr);
    return made;
  }();
  return *files;
}

struct WebTest : ::testing::Test, WithFakeControllerKit {
  std::shared_ptr<FakeWebKit> web = std::make_shared<FakeWebKit>(*host);
  LogTestSupport::FileConsole files{LogLevel::trace};
  std::size_t moduleStart = moduleLog().out.text().size();
  WebTest() {
    Fennix::setWebViewKit(web);
    console::setDefaultConsole(files.console);
  }
  std::string moduleLines() { return moduleLog().out.text().substr(moduleStart); }
  ~WebTest() override {
    Fennix::setWebViewKit(nullptr);
    console::setDefaultConsole(nullptr);
  }
};

}  // namespace

TEST_F(WebTest, LoadsWhatTheRepresentedObjectNames) {
  auto vc = NSViewController::make<QvWebViewController>();
  auto info = NSBundle::applicationInfo();
  EXPECT_EQ(vc->wvUserAgent, info.appName + "/" + info.version + " Vorn/0.1");
  EXPECT_FALSE(vc->webView());
  ASSERT_TRUE(vc->view());
  auto& page = *web->made.at(0);
  EXPECT_EQ(vc->webView().get(), &page);
  EXPECT_EQ(page.userAgent, vc->wvUserAgent);
  EXPECT_EQ(page.delegate.lock(), vc);

  vc->setRepresentedObject(url("http://127.0.0.1/dir/a.html"));
  vc->setRepresentedObject(url("http://127.0.0.1/dir/a.html"));  // an equal URL: loaded once
  vc->setRepresentedObject(AnyValue("page2.html"));              // relative to the page shown
  vc->setRepresentedObject(AnyValue("page2.html"));              // text loads every time
  vc->setRepresentedObject(AnyValue("http://x y"));              // no URL: nothing at all
  vc->setRepresentedObject(AnyValue("100%"));
  vc->setRepresentedObject(AnyValue::object(std::make_shared<URLRequest>(*URL::fromString("https://e.org/r"))));
  EXPECT_EQ(page.loads, (std::vector<std::string>{"http://127.0.0.1/dir/a.html", "http://127.0.0.1/dir/page2.html",
                                                  "http://127.0.0.1/dir/page2.html", "https://e.org/r"}));
  EXPECT_EQ(page.timeouts.front(), 60.0);

  vc->setRepresentedObject(AnyValue(5));
  vc->loadHTML("<p>hi</p>");
  EXPECT_EQ(page.loads.back(), "html:<p>hi</p>");
  EXPECT_NE(moduleLines().find("cannot load object into WebView: 5\n"), std::string::npos) << moduleLines();
}

// A request's header fields go with it; a field that would break the request's head loads nothing.
TEST_F(WebTest, ARequestCarriesItsHeaderFieldsUnlessOneCannotBeSent) {
  auto vc = NSViewController::make<QvWebViewController>();
  ASSERT_TRUE(vc->view());
  auto& page = *web->made.at(0);
  auto request = [](std::vector<std::pair<std::string, std::string>> fields) {
    auto made = std::make_shared<URLRequest>(*URL::fromString("https://e.org/r"));
    for (const auto& [name, value] : fields) made->setValue(value, name);
    return AnyValue::object(made);
  };
  vc->setRepresentedObject(request({{"X-Token", "abc"}, {"Accept-Language", "de"}, {"X-Empty", ""}}));
  ASSERT_EQ(page.loads.size(), 1u);
  EXPECT_EQ(page.headerFields.back(), (FakeWebView::HeaderFields{{"X-Token", "abc"}, {"Accept-Language", "de"}, {"X-Empty", ""}}));
  vc->setRepresentedObject(url("https://e.org/plain"));
  EXPECT_TRUE(page.headerFields.back().empty());

  vc->setRepresentedObject(request({{"X-Token", "abc\r\nX-Injected: 1"}}));
  vc->setRepresentedObject(request({{"X Token", "abc"}}));
  vc->setRepresentedObject(request({{"X-Token", std::string("a\0b", 3)}}));
  EXPECT_EQ(page.loads.size(), 2u) << "a request whose fields cannot be sent loads nothing";
  const std::string lines = moduleLines();
  EXPECT_NE(lines.find("the value of the header field X-Token holds a line break or NUL"), std::string::npos) << lines;
  EXPECT_NE(lines.find("a header field's name is not a token"), std::string::npos) << lines;
}

TEST_F(WebTest, NothingLoadsBeforeTheViewExistsAndAnEmptyAgentIsNotSent) {
  auto vc = NSViewController::make<QvWebViewController>();
  vc->wvUserAgent = "";
  vc->setRepresentedObject(url("https://e.org/"));
  EXPECT_TRUE(vc->representedObject());
  EXPECT_NE(moduleLines().find("attempt to load HTML into a WebView not yet setup: <QvWebViewController:"),
            std::string::npos)
      << moduleLines();
  vc->view();
  EXPECT_TRUE(web->made.at(0)->loads.empty());
  EXPECT_FALSE(web->made.at(0)->userAgent);
}

TEST_F(WebTest, NavigationEventsAreTracedAndAlwaysAllowed) {
  auto vc = NSViewController::make<QvWebViewController>();
  EXPECT_TRUE(vc->decidePolicyForNavigationAction("act"));
  EXPECT_TRUE(vc->decidePolicyForNavigationResponse("resp"));
  vc->didStartProvisionalNavigation("nav");
  vc->didReceiveServerRedirectForProvisionalNavigation("nav");
  vc->didCommit("nav");
  vc->didFinish("nav");
  vc->didFail("nav", {"D", 1, "m"});
  vc->didFailProvisionalNavigation("nav", {Fennix::webKitErrorDomain, 102, "interrupted"});
  vc->didFailProvisionalNavigation("nav", {"D", 7, "refused"});
  vc->webContentProcessDidTerminate();
  std::string out = moduleLines(), err = files.err.text();
  if (vc->log->logLevel() == LogLevel::trace) {
    for (const char* line : {"allow: act", "allow: resp", "didStart: nav", "redirect: nav", "didCommit: nav",
                             "didFinish: nav", "didFail: nav error: Error Domain=D Code=1 \"m\"",
                             "Frame load interrupted: Error Domain=WebKitErrorDomain Code=102 \"interrupted\" \n  on: nav"})
      EXPECT_NE(out.find(line), std::string::npos) << line;
  }
  EXPECT_NE(out.find("Failed: Error Domain=D Code=7 \"refused\" \n  on: nav"), std::string::npos) << out;
  EXPECT_NE(err.find("ERROR: WebView died ... <nil>\n"), std::string::npos) << err;  // no view yet

  // Told with the web view, not the controller.
  vc->view();
  vc->webContentProcessDidTerminate();
  err = files.err.text();
  EXPECT_NE(err.find("ERROR: WebView died ... web\n"), std::string::npos) << err;
}

namespace {

struct SwitchTest : WebTest {};

class ChildVC : public QvViewControllerBase {
 public:
  void onObjectChange(const std::optional<AnyValue>&, const std::optional<AnyValue>&) override {
    seenWithView.push_back(isViewLoaded());
  }
  std::vector<bool> seenWithView;
};
class NilVC : public ChildVC {};

}  // namespace

TEST_F(SwitchTest, ChoosesByClosureThenURLThenClasses) {
  auto sw = NSViewController::make<QvSwitchViewController>();
  sw->setRepresentedObject(AnyValue("plain"));
  EXPECT_FALSE(sw->visibleViewController);  // nothing can show it

  sw->fallbackViewControllerClass = [] { return NSViewController::make<ChildVC>(); };
  sw->setRepresentedObject(url("file:///tmp/a.svg"));
  EXPECT_NE(files.out.text().find("WARN:  cannot show URL: file:///tmp/a.svg"), std::string::npos);
  auto fallback = std::dynamic_pointer_cast<ChildVC>(sw->visibleViewController);
  ASSERT_TRUE(fallback);
  EXPECT_EQ(fallback->seenWithView, std::vector<bool>{true});

  sw->nilViewControllerClass = [] { return NSViewController::make<NilVC>(); };
  sw->setRepresentedObject(std::nullopt);
  EXPECT_TRUE(std::dynamic_pointer_cast<NilVC>(sw->visibleViewController));
  EXPECT_EQ(sw->uxChildren().size(), 1u);
  EXPECT_EQ(FakeLayoutHost::node(*sw->view()).subviews.size(), 1u);

  auto page = url("https://example.org/");
  sw->setRepresentedObject(page);
  auto webChild = std::dynamic_pointer_cast<QvWebViewController>(sw->visibleViewController);
  ASSERT_TRUE(webChild);
  EXPECT_TRUE(eq(webChild->representedObject(), page));
  // The web child has its view when it gets the URL, so the page is shown.
  EXPECT_EQ(web->made.back()->loads, std::vector<std::string>{"https://example.org/"});
  sw->setRepresentedObject(page);
  EXPECT_EQ(sw->visibleViewController, webChild);

  auto constructed = NSViewController::make<ChildVC>();
  sw->onConstruct([&](const std::optional<AnyValue>& object) -> NSViewController::Ptr {
    return object && object->description() == "mine" ? constructed : nullptr;
  });
  sw->setRepresentedObject(AnyValue("mine"));
  EXPECT_EQ(sw->visibleViewController, constructed);
  sw->setRepresentedObject(AnyValue("mine"));  // the same object: nothing happens
  EXPECT_EQ(constructed->seenWithView.size(), 1u);
  EXPECT_EQ(sw->uxChildren(), std::vector<NSViewController::Ptr>{constructed});
}

TEST_F(SwitchTest, DefaultObjectIsShownOnceTheViewIsStored) {
  auto sw = NSViewController::make<QvSwitchViewController>();
  sw->defaultObject = AnyValue("start");
  sw->fallbackViewControllerClass = [] { return NSViewController::make<QvLoremVC>(); };
  auto view = sw->view();
  ASSERT_TRUE(view);
  auto lorem = sw->visibleViewController;
  ASSERT_TRUE(lorem);
  EXPECT_EQ(FakeLayoutHost::node(*lorem->view()).superview, &FakeLayoutHost::node(*view));
  EXPECT_EQ(kit->labels[FakeLayoutHost::node(*lorem->view()).subviews.at(0)], "Lorem Ipsum focused on: start");

  // An object set before the view exists is kept, not replaced by the default.
  auto early = NSViewController::make<QvSwitchViewController>();
  early->defaultObject = AnyValue("start");
  early->fallbackViewControllerClass = [] { return NSViewController::make<ChildVC>(); };
  early->setRepresentedObject(AnyValue("early"));
  EXPECT_EQ(early->representedObject()->description(), "early");
  EXPECT_TRUE(early->isViewLoaded());
  EXPECT_EQ(early->uxChildren().size(), 1u);

  // Showing the view chooses again: a class makes a new child.
  kit->show(*view, true);
  EXPECT_NE(sw->visibleViewController, lorem);
  EXPECT_EQ(sw->uxChildren().size(), 1u);
}

namespace {

class FakeWindow : public Fennix::WindowHandle {
 public:
  FakeWindow(CGRect rect, NSWindowStyleMask mask) : style(mask) { calls.push_back("make " + describe(rect)); }
  static std::string describe(CGRect r) {
    auto n = [](double v) { return std::to_string(static_cast<int>(v)); };
    return n(r.origin.x) + "," + n(r.origin.y) + " " + n(r.size.width) + "x" + n(r.size.height);
  }
  NSWindowStyleMask styleMask() const override { return style; }
  void setTitle(const std::string& title) override { calls.push_back("title " + title); }
  void setTitleHidden(bool hidden) override { calls.push_back(hidden ? "hide title" : "show title"); }
  static std::string size(CGSize s) { return std::to_string(int(s.width)) + "x" + std::to_string(int(s.height)); }
  void setMinSize(CGSize s) override { calls.push_back("min " + size(s)); }
  void setContentSize(CGSize s) override { calls.push_back("size " + size(s)); }
  void setContentViewController(const NSViewController::Ptr& c) override { calls.push_back("content " + c->className()); }
  void setToolbar(const std::shared_ptr<NSToolbar>& t) override { calls.push_back("toolbar " + t->identifier); }
  void setFrameAutosaveName(const std::string& name) override { calls.push_back("autosave " + name); }
  void center() override { calls.push_back("center"); }
  void setController(QvWindowController*) override {}
  NSWindowStyleMask style;
  std::vector<std::string> calls;
};

class FakeWindowKit : public Fennix::WindowKit {
 public:
  std::shared_ptr<Fennix::WindowHandle> makeWindow(CGRect rect, NSWindowStyleMask style) override {
    made.push_back(std::make_shared<FakeWindow>(rect, style));
    return made.back();
  }
  LayoutItem makeToolbarButton(const std::string&, const std::optional<std::string>&, std::function<void()>,
                               const std::optional<std::string>&, CGSize) override {
    return {};
  }
  std::vector<std::shared_ptr<FakeWindow>> made;
};

struct WindowTest : WebTest {
  std::shared_ptr<FakeWindowKit> windows = std::make_shared<FakeWindowKit>();
  WindowTest() { Fennix::setWindowKit(windows); }
  ~WindowTest() override { Fennix::setWindowKit(nullptr); }
};

class EditorWindow : public QvWindowController {};

}  // namespace

TEST_F(WindowTest, BuildsTheWindowInOrder) {
  auto wc = QvWindowController::make<EditorWindow>();
  EXPECT_EQ(wc->defaultWindowStyleMask().rawValue, 15u);
  EXPECT_FALSE(wc->_title);
  EXPECT_EQ(wc->title(), "EditorWindow");
  EXPECT_EQ(wc->_title, "EditorWindow");
  wc->qvFrameAutosaveName = "";
  wc->mainComponent = NSViewController::Ptr(NSViewController::make<QvLoremVC>());
  EXPECT_EQ(wc->mainComponentName(), "QvLoremVC");
  ASSERT_TRUE(wc->window());
  EXPECT_EQ(windows->made.at(0)->calls, (std::vector<std::string>{"make 0,200 100x620", "title EditorWindow",
                                                                  "min 720x340", "content QvLoremVC", "size 100x620",
                                                                  "center"}));
  EXPECT_FALSE(wc->toolbar());

  auto unified = QvWindowController::make();
  unified->hasUnifiedTitleAndToolbar = true;
  unified->qvToolbarID = "main";
  unified->qvFrameAutosaveName = "Main Window";
  unified->setTitle("Shown");
  EXPECT_EQ(unified->defaultWindowStyleMask().rawValue, 4111u);
  unified->window();
  EXPECT_EQ(windows->made.at(1)->calls, (std::vector<std::string>{"make 0,200 100x620", "title Shown", "min 720x340",
                                                                  "toolbar main", "hide title", "size 100x620",
                                                                  "center", "autosave Main Window"}));
  ASSERT_TRUE(unified->toolbar());
  EXPECT_FALSE(unified->toolbar()->autosavesConfiguration);
  EXPECT_EQ(unified->toolbar()->delegate, unified.get());
}

TEST_F(WindowTest, ContentComesFromObjectClassOrName) {
  Fennix::ControllerClassRegistry::registerViewController<QvLoremVC>("QvLoremVC", std::nullopt);
  auto wc = QvWindowController::make();
  // A class is named without making an instance of it.
  int made = 0;
  wc->mainComponent = QvViewControllerClass{"QvLoremVC", [&made] {
                                              ++made;
                                              return NSViewController::make<QvLoremVC>();
                                            }};
  EXPECT_EQ(wc->mainComponentName(), "QvLoremVC");
  EXPECT_EQ(made, 0);
  EXPECT_EQ(QvViewControllerClass::of<QvLoremVC>().name, "QvLoremVC");
  auto first = wc->createContentViewController();
  EXPECT_TRUE(std::dynamic_pointer_cast<QvLoremVC>(first));
  EXPECT_NE(first, wc->createContentViewController());
  wc->setMainComponentName("QvLoremVC");
  EXPECT_EQ(wc->mainComponentName(), "QvLoremVC");
  EXPECT_TRUE(std::dynamic_pointer_cast<QvLoremVC>(wc->createContentViewController()));
  wc->mainComponent = AnyValue(42);
  EXPECT_EQ(wc->mainComponentName(), "Int");
  EXPECT_FALSE(wc->contentViewController());
  EXPECT_NE(files.err.text().find("ERROR: cannot created content-view-controller of window: <QvWindowController:"),
            std::string::npos);
  EXPECT_NE(files.err.text().find("unknown type: 42"), std::string::npos);
  wc->window();  // still built, without content
  EXPECT_EQ(windows->made.at(0)->calls.size(), 5u);
  Fennix::ControllerClassRegistry::unregisterName("QvLoremVC");

  testing::internal::CaptureStdout();
  NSToolbar toolbar("t");
  EXPECT_FALSE(wc->toolbarItem(toolbar, "x", true));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Subclass should override toolbar(_:itemForItemIdentifier:willBeInsertedIntoToolbar:) if it has a "
            "toolbar!\n");
  toolbar.items = {{"a", std::nullopt}, {"b", std::nullopt}};
  EXPECT_EQ(toolbar["b"]->itemIdentifier, "b");
  EXPECT_FALSE(toolbar.visible("b"));
}

TEST(WindowLookup, KeyThenMainThenFrontToBack) {
  auto a = QvWindowController::make(), b = QvWindowController::make(), c = QvWindowController::make();
  auto any = [](QvWindowController&) { return true; };
  auto notA = [&](QvWindowController& wc) { return &wc != a.get(); };
  EXPECT_EQ(Fennix::firstWindowController(a.get(), b.get(), {c.get()}, any), a.get());
  EXPECT_EQ(Fennix::firstWindowController(a.get(), b.get(), {c.get()}, notA), b.get());
  EXPECT_EQ(Fennix::firstWindowController(nullptr, a.get(), {a.get(), nullptr, c.get()}, notA), c.get());
  EXPECT_EQ(Fennix::firstWindowController(nullptr, nullptr, {}, any), nullptr);
}
