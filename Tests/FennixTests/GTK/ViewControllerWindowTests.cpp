// Controllers on the toolkit: a switch controller showing a page served on the loopback
// interface, a window controller's window with its toolbar, tabs for controllers and the scroll
// overlay.
#include <arpa/inet.h>
#include <gtkmm/adjustment.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/label.h>
#include <gtkmm/notebook.h>
#include <gtkmm/scrolledwindow.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "Fennix/Foundation/HTTP/HTTPTypes.h"
#include "Fennix/Foundation/HTTP/URL.h"
#include "Fennix/UI/AppKit/GTK/ScrollOverlay.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/AppKit/GTK/TabView.h"
#include "Fennix/UI/AppKit/ViewControllers/GTK/WindowControllerGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/WebNavigationTimeOut.h"
#include "Fennix/UI/Common/ViewControllers/PlaceholderViewController.h"
#include "Fennix/UI/Common/ViewControllers/SwitchViewController.h"
#include "FennixTests/LogTestSupport.h"
#include "ViewKitWindowSupport.h"
#include "XDriver/WidgetInput.h"

using namespace ViewKitWindowSupport;

namespace {

/// A listening socket on a free port of 127.0.0.1; `port` is set to that port.
int listenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(fd, 8);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

/// Serves one page to every request on 127.0.0.1 until it is destroyed, or a redirect where one
/// is set for the request's path. The answer to a request for `heldPath` waits until `releasesHeld`
/// holds (checked on the connection's thread), 30 seconds at most.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::string body, std::string heldPath = "", std::function<bool()> releasesHeld = {})
      : body_(std::move(body)), heldPath_(std::move(heldPath)), releasesHeld_(std::move(releasesHeld)) {
    fd_ = listenOnLoopback(port_);
    thread_ = std::thread([this] { serve(); });
  }
  ~LoopbackServer() {
    stopping_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
    {
      // A connection the engine opened ahead and never used would keep its thread reading.
      std::lock_guard guard(lock_);
      for (int client : open_) ::shutdown(client, SHUT_RDWR);
    }
    for (auto& client : clients_) client.join();
  }
  std::string url(const std::string& path, const std::string& host = "127.0.0.1") const {
    return "http://" + host + ":" + std::to_string(port_) + path;
  }
  /// Answers requests for `path` with a redirect (302 Found) to `location`.
  void redirect(const std::string& path, const std::string& location) {
    std::lock_guard guard(lock_);
    redirects_[path] = location;
  }
  std::atomic<int> requests{0};
  std::string lastUserAgent() {
    std::lock_guard guard(lock_);
    return userAgent_;
  }
  /// The request line and header fields of the request for `path` last served, "" before one.
  std::string headOf(const std::string& path) {
    std::lock_guard guard(lock_);
    auto found = heads_.find(path);
    return found == heads_.end() ? std::string() : found->second;
  }

 private:
  // Each connection gets its own thread: the engine opens connections before it needs them.
  void serve() {
    while (!stopping_) {
      int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) return;
      timeval timeout{5, 0};
      ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
      {
        std::lock_guard guard(lock_);
        open_.insert(client);
      }
      clients_.emplace_back([this, client] { answer(client); });
    }
  }
  void answer(int client) {
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
      ssize_t count = ::read(client, buffer, sizeof buffer);
      if (count <= 0) break;
      request.append(buffer, std::size_t(count));
    }
    if (request.find("\r\n\r\n") != std::string::npos) {
      const auto pathStart = request.find(' ') + 1;
      const std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);
      if (!heldPath_.empty() && path == heldPath_) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!stopping_ && !releasesHeld_() && std::chrono::steady_clock::now() < deadline) {
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      }
      std::lock_guard guard(lock_);
      if (auto at = request.find("User-Agent: "); at != std::string::npos) {
        userAgent_ = request.substr(at + 12, request.find("\r\n", at) - at - 12);
      }
      heads_[path] = request.substr(0, request.find("\r\n\r\n") + 2);
      ++requests;
      const auto redirect = redirects_.find(path);
      std::string response =
          redirect != redirects_.end()
              ? "HTTP/1.1 302 Found\r\nLocation: " + redirect->second + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"
              : "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body_.size()) +
                    "\r\nConnection: close\r\n\r\n" + body_;
      ssize_t written = ::write(client, response.data(), response.size());
      (void)written;
    }
    std::lock_guard guard(lock_);
    open_.erase(client);
    ::close(client);
  }
  std::string body_;
  std::string heldPath_;
  std::function<bool()> releasesHeld_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::vector<std::thread> clients_;
  std::mutex lock_;
  /// Connections whose threads still read or answer.
  std::set<int> open_;
  std::string userAgent_;
  std::map<std::string, std::string> heads_;
  std::map<std::string, std::string> redirects_;
};

bool pumpFor(int seconds, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
    if (!done()) g_usleep(1000);
  }
  return true;
}

struct ControllerWindowTest : ::testing::Test {
  void SetUp() override {
    if (!gtkReady()) GTEST_SKIP() << "no display";
    Fennix::installWindowKitGTK();
  }
};

}  // namespace

// The header fields of a request reach the server with it, over those the engine sends itself,
// and go on to the page a server redirects to within the request's origin; to another origin
// (another port, another host) they go on too, all but Authorization, which the engine drops
// there and leaves out for the rest of the load, back in the first origin too.
TEST_F(ControllerWindowTest, ARequestsHeaderFieldsReachTheServer) {
  LoopbackServer server("<html><head><title>Fields</title></head><body></body></html>");
  auto web = NSViewController::make<QvWebViewController>();
  Gtk::Window window;
  window.set_default_size(300, 200);
  window.set_child(*Fennix::controllerWidget(*web));
  window.present();
  ASSERT_TRUE(web->webView());

  auto request = std::make_shared<URLRequest>(*URL::fromString(server.url("/fields")));
  request->setValue("42", "X-Quarvel-Check");
  request->setValue("x-test", "Accept-Language");
  web->setRepresentedObject(Fennix::AnyValue::object(request));
  ASSERT_TRUE(pumpFor(30, [&] { return !server.headOf("/fields").empty(); })) << "requests: " << server.requests;
  const std::string head = server.headOf("/fields");
  EXPECT_EQ(head.rfind("GET /fields HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nX-Quarvel-Check: 42\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nAccept-Language: x-test\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("Accept-Language", head.find("Accept-Language") + 1), std::string::npos)
      << "the field replaces the engine's own: " << head;
  EXPECT_NE(head.find("\r\nUser-Agent: " + *web->wvUserAgent + "\r\n"), std::string::npos) << head;

  // A URL alone sends none of them.
  web->setRepresentedObject(Fennix::AnyValue::object(std::make_shared<URL>(*URL::fromString(server.url("/plain")))));
  ASSERT_TRUE(pumpFor(30, [&] { return !server.headOf("/plain").empty(); })) << "requests: " << server.requests;
  EXPECT_EQ(server.headOf("/plain").find("X-Quarvel-Check"), std::string::npos) << server.headOf("/plain");

  LoopbackServer otherPort("<html><head><title>Landed</title></head><body></body></html>");
  server.redirect("/same", "/landed-same");
  server.redirect("/other-port", otherPort.url("/landed-port"));
  server.redirect("/other-host", server.url("/landed-host", "localhost"));
  server.redirect("/round", otherPort.url("/back"));
  otherPort.redirect("/back", server.url("/landed-back"));
  struct Hop {
    std::string start;
    LoopbackServer* landing;
    std::string landed;
    bool stayedInOrigin;
  };
  for (const auto& hop : {Hop{"/same", &server, "/landed-same", true}, Hop{"/other-port", &otherPort, "/landed-port", false},
                          Hop{"/other-host", &server, "/landed-host", false}, Hop{"/round", &server, "/landed-back", false}}) {
    SCOPED_TRACE(hop.start);
    auto redirected = std::make_shared<URLRequest>(*URL::fromString(server.url(hop.start)));
    redirected->setValue("Bearer secret", "Authorization");
    redirected->setValue("42", "X-Quarvel-Check");
    web->setRepresentedObject(Fennix::AnyValue::object(redirected));
    ASSERT_TRUE(pumpFor(30, [&] { return !hop.landing->headOf(hop.landed).empty(); }))
        << "requests: " << server.requests << " and " << otherPort.requests;
    const std::string first = server.headOf(hop.start), landed = hop.landing->headOf(hop.landed);
    for (const auto& sent : {first, landed}) {
      EXPECT_NE(sent.find("\r\nX-Quarvel-Check: 42\r\n"), std::string::npos) << sent;
      EXPECT_NE(sent.find("\r\nUser-Agent: " + *web->wvUserAgent + "\r\n"), std::string::npos) << sent;
    }
    EXPECT_NE(first.find("\r\nAuthorization: Bearer secret\r\n"), std::string::npos) << first;
    EXPECT_EQ(landed.find("\r\nAuthorization: Bearer secret\r\n") != std::string::npos, hop.stayedInOrigin) << landed;
  }
  window.hide();
}

TEST_F(ControllerWindowTest, SwitchControllerShowsALoopbackPage) {
  LoopbackServer server(
      "<html><head><title>Loopback page</title></head>"
      "<body style='margin:0;background:#ff0000'></body></html>");
  auto sw = NSViewController::make<QvSwitchViewController>();
  sw->defaultObject = Fennix::AnyValue::object(std::make_shared<URL>(*URL::fromString(server.url("/index.html"))));
  Gtk::Window window;
  window.set_default_size(400, 300);
  window.set_child(*Fennix::controllerWidget(*sw));
  window.present();

  auto web = std::dynamic_pointer_cast<QvWebViewController>(sw->visibleViewController);
  ASSERT_TRUE(web);
  ASSERT_TRUE(web->webView());
  auto* view = WEBKIT_WEB_VIEW(const_cast<void*>(web->webView()->view().handle));
  ASSERT_TRUE(pumpFor(20, [&] {
    const char* title = webkit_web_view_get_title(view);
    return title && std::string(title) == "Loopback page" && !webkit_web_view_is_loading(view);
  })) << "the page did not load; requests: " << server.requests;
  EXPECT_EQ(web->webView()->currentURL(), server.url("/index.html"));
  EXPECT_EQ(server.lastUserAgent(), *web->wvUserAgent);

  // Showing the window chose again: the same page, no second web view needed to load it again.
  sw->setRepresentedObject(sw->representedObject());
  pumpFrames();
  saveScreenshot(window, "switch-loopback-page");
  GdkTexture* picture = renderWidget(window);
  ASSERT_TRUE(picture);
  EXPECT_TRUE(near(pixel(picture, 200, 150), 0xff0000)) << std::hex << pixel(picture, 200, 150);
  g_object_unref(picture);
  window.hide();
}

namespace {

class ToolbarWindow : public QvWindowController {
 public:
  std::vector<std::string> toolbarDefaultItemIdentifiers(const NSToolbar&) override { return {"run", "stop"}; }
  std::optional<NSToolbarItem> toolbarItem(NSToolbar&, const std::string& id, bool) override {
    return NSToolbarItem{id, makeToolbarButton(id == "run" ? "Run" : "Stop", std::nullopt, [this] { ++clicks; }, "r")};
  }
  void onWindowDidLoad() override { ++loaded; }
  int clicks = 0, loaded = 0;
};

}  // namespace

TEST_F(ControllerWindowTest, WindowControllerBuildsItsWindowWithAToolbar) {
  Fennix::ControllerClassRegistry::registerViewController<QvLoremVC>("QvLoremVC", std::nullopt);
  auto wc = QvWindowController::make<ToolbarWindow>();
  wc->mainComponent = std::string("QvLoremVC");
  wc->qvToolbarID = "main";
  wc->hasUnifiedTitleAndToolbar = true;
  Gtk::Window* window = Fennix::toolkitWindow(*wc);
  ASSERT_TRUE(window);
  EXPECT_EQ(wc->loaded, 1);
  EXPECT_EQ(Fennix::windowController(*window), wc.get());
  EXPECT_EQ(window->get_title(), "ToolbarWindow");
  int width = 0, height = 0;
  window->get_default_size(width, height);
  EXPECT_EQ(width, 720);  // the content size is below the minimum
  EXPECT_EQ(height, 620);

  auto* header = dynamic_cast<Gtk::HeaderBar*>(window->get_titlebar());
  ASSERT_TRUE(header);
  ASSERT_TRUE(wc->toolbar());
  ASSERT_EQ(wc->toolbar()->items.size(), 2u);
  EXPECT_EQ((*wc->toolbar())["stop"]->itemIdentifier, "stop");
  auto* run = dynamic_cast<Gtk::Button*>(Fennix::widget(*wc->toolbar()->items[0].view));
  ASSERT_TRUE(run);
  EXPECT_EQ(run->get_label(), "Run");
  EXPECT_EQ(run->get_ancestor(GTK_TYPE_HEADER_BAR), header->gobj() ? static_cast<Gtk::Widget*>(header) : nullptr);
  EXPECT_FALSE(header->get_title_widget()->get_visible());  // unified: the title is hidden

  window->present();
  pumpFrames(200);
  g_signal_emit_by_name(run->gobj(), "clicked");
  EXPECT_EQ(wc->clicks, 1);
  auto content = wc->contentViewController();
  ASSERT_TRUE(std::dynamic_pointer_cast<QvLoremVC>(content));
  content->setRepresentedObject(Fennix::AnyValue("the toolbar test"));
  pumpFrames(100);
  saveScreenshot(*window, "window-controller-toolbar");
  EXPECT_TRUE(wc->qvView("nothing") == std::nullopt);
  Fennix::ControllerClassRegistry::unregisterName("QvLoremVC");
  window->hide();
}

namespace {

/// A document that writes down what it hears, and what the window looked like then.
class RecordingDocument : public NSDocument {
 public:
  void windowControllerWillLoadNib(QvWindowController& controller) override {
    events.push_back(controller.isWindowLoaded() ? "will-load with a window" : "will-load");
  }
  void windowControllerDidLoadNib(QvWindowController& controller) override {
    Gtk::Window* window = Fennix::toolkitWindow(controller);
    const bool filled = window && window->get_child() &&
                        window->get_child() == Fennix::controllerWidget(*controller.contentViewController());
    events.push_back(std::string("did-load") + (filled ? " with its content" : ""));
  }
  std::vector<std::string> events;
};

class DocumentWindow : public ToolbarWindow {
 public:
  explicit DocumentWindow(std::vector<std::string>* events = nullptr) : events_(events) {}
  void onSetup() override { ++setups; }
  void onWindowDidLoad() override {
    ToolbarWindow::onWindowDidLoad();
    if (events_) events_->push_back("onWindowDidLoad");
  }
  int setups = 0;

 private:
  std::vector<std::string>* events_;
};

}  // namespace

TEST_F(ControllerWindowTest, TheDocumentHearsTheWindowLoadAtItsStartAndEnd) {
  Fennix::ControllerClassRegistry::registerViewController<QvLoremVC>("QvLoremVC", std::nullopt);
  auto document = std::make_shared<RecordingDocument>();
  auto wc = QvWindowController::make<DocumentWindow>(&document->events);
  wc->setDocument(document);
  EXPECT_EQ(wc->document(), document);
  wc->mainComponent = std::string("QvLoremVC");
  Gtk::Window* window = Fennix::toolkitWindow(*wc);
  ASSERT_TRUE(window);
  EXPECT_EQ(document->events,
            (std::vector<std::string>{"will-load", "did-load with its content", "onWindowDidLoad"}));
  window->present();
  pumpUntil([&] { return window->get_mapped() && window->get_width() > 0; });
  pumpFrames(50);
  saveScreenshot(*window, "window-controller-of-a-document");
  window->hide();

  // A controller whose document is gone builds its window without telling anyone.
  auto orphan = QvWindowController::make<DocumentWindow>();
  {
    auto gone = std::make_shared<RecordingDocument>();
    orphan->setDocument(gone);
  }
  EXPECT_EQ(orphan->document(), nullptr);
  EXPECT_TRUE(Fennix::toolkitWindow(*orphan));
  Fennix::ControllerClassRegistry::unregisterName("QvLoremVC");
}

TEST_F(ControllerWindowTest, AControllerAroundAnExistingWindow) {
  auto* existing = new Gtk::Window();
  existing->set_title("Existing window");
  existing->set_default_size(420, 260);
  auto* bar = Gtk::make_managed<Gtk::HeaderBar>();
  existing->set_titlebar(*bar);
  auto document = std::make_shared<RecordingDocument>();
  auto wc = QvWindowController::withWindow<DocumentWindow>(Fennix::windowHandle(existing), &document->events);
  wc->setDocument(document);
  // The window is not built again: no set-up hook, no loading, no calls to the document.
  EXPECT_EQ(wc->setups, 0);
  EXPECT_TRUE(wc->isWindowLoaded());
  EXPECT_EQ(Fennix::toolkitWindow(*wc), existing);
  EXPECT_EQ(Fennix::windowController(*existing), wc.get());
  EXPECT_EQ(wc->loaded, 0);
  EXPECT_TRUE(document->events.empty());
  EXPECT_EQ(existing->get_title(), "Existing window");

  // Content and toolbar go into the existing window and its own header bar.
  auto content = NSViewController::make<QvLoremVC>();
  wc->setContentViewController(content);
  EXPECT_EQ(existing->get_child(), Fennix::controllerWidget(*content));
  wc->loadToolbar("main");
  ASSERT_EQ(wc->toolbar()->items.size(), 2u);
  auto* run = dynamic_cast<Gtk::Button*>(Fennix::widget(*wc->toolbar()->items[0].view));
  ASSERT_TRUE(run);
  EXPECT_EQ(run->get_ancestor(GTK_TYPE_HEADER_BAR), static_cast<Gtk::Widget*>(bar));

  existing->present();
  ASSERT_TRUE(pumpUntil([&] { return run->get_mapped() && run->get_width() > 0; }));
  pumpFrames(50);
  saveScreenshot(*existing, "window-controller-around-an-existing-window");
  auto pointer = WidgetInput::Input::open(*existing);
  if (!pointer) GTEST_SKIP() << "no X input on this display";
  pointer->click(*run, run->get_width() / 2.0, run->get_height() / 2.0);
  EXPECT_TRUE(pumpUntil([&] { return wc->clicks == 1; })) << wc->clicks;
  existing->hide();
}

TEST_F(ControllerWindowTest, TabsForControllers) {
  Gtk::Notebook tabs;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Fennix::qvAddViewController(tabs, Fennix::AnyValue(3)));
  EXPECT_FALSE(Fennix::qvItemWithViewController(tabs, std::string("UnknownVC")));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "WARN: did not find VC class: UnknownVC\n");
  EXPECT_EQ(tabs.get_n_pages(), 0);

  auto item = Fennix::qvAddViewController(tabs, Fennix::ControllerFactory([] { return NSViewController::make<QvLoremVC>(); }),
                                          std::string("document-open"));
  ASSERT_TRUE(item);
  ASSERT_EQ(tabs.get_n_pages(), 1);
  Gtk::Widget* page = tabs.get_nth_page(0);
  EXPECT_EQ(Fennix::tabViewController(*page), item->viewController);
  EXPECT_TRUE(page->get_hexpand());
  EXPECT_TRUE(page->get_vexpand());
}

TEST_F(ControllerWindowTest, OverlaySendsHorizontalMotionToTheWrappedScroller) {
  auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
  auto* wide = Gtk::make_managed<Gtk::Label>(std::string(400, 'x'));
  scroller->set_child(*wide);
  scroller->set_policy(Gtk::PolicyType::AUTOMATIC, Gtk::PolicyType::NEVER);
  Gtk::Widget& container = QvVerticalScrollOverlayView::wrap(*scroller);
  Gtk::Window window;
  window.set_default_size(200, 80);
  window.set_child(container);
  window.present();
  auto adjustment = scroller->get_hadjustment();
  ASSERT_TRUE(pumpFor(5, [&] { return adjustment->get_upper() > adjustment->get_page_size(); }));

  QvVerticalScrollOverlayView* overlay = nullptr;
  for (Gtk::Widget* child = scroller->get_parent()->get_first_child(); child; child = child->get_next_sibling())
    if (auto* found = dynamic_cast<QvVerticalScrollOverlayView*>(child)) overlay = found;
  ASSERT_TRUE(overlay);
  EXPECT_FALSE(overlay->scrollWheel(0, 3));  // vertical: on to the surroundings
  EXPECT_EQ(adjustment->get_value(), 0);
  EXPECT_TRUE(overlay->scrollWheel(2, 0));
  EXPECT_GT(adjustment->get_value(), 0);
  window.hide();
}

namespace {

/// A content controller that fills its view once the view is there.
class FilledOnLoadVC : public QvViewControllerBase {
 public:
  void viewDidLoad() override {
    ++loads;
    auto own = viewIfLoaded();
    hadView = own.has_value();
    if (!own) return;
    auto label = Fennix::controllerViewKit().makeLabel("Filled when loaded");
    qvAdd(*own, std::string("filled"), label, std::nullopt, "|[self]|", "|[self]|");
  }
  static inline int loads = 0;
  static inline bool hadView = false;
};

}  // namespace

TEST_F(ControllerWindowTest, TheContentControllerHearsItsViewLoadedOnce) {
  FilledOnLoadVC::loads = 0;
  Fennix::ControllerClassRegistry::registerViewController<FilledOnLoadVC>("FilledOnLoadVC", std::nullopt);
  auto wc = QvWindowController::make();
  wc->mainComponent = std::string("FilledOnLoadVC");
  wc->defaultWindowContentSize = CGSize{720, 340};
  Gtk::Window* window = Fennix::toolkitWindow(*wc);
  ASSERT_TRUE(window);
  window->present();
  pumpUntil([&] { return window->get_mapped() && window->get_width() > 0; });
  pumpFrames(100);
  EXPECT_EQ(FilledOnLoadVC::loads, 1);
  EXPECT_TRUE(FilledOnLoadVC::hadView);
  auto content = wc->contentViewController();
  ASSERT_TRUE(content);
  content->view();
  EXPECT_EQ(FilledOnLoadVC::loads, 1);
  // What the hook put in the view is on screen.
  auto filled = wc->qvView("filled");
  ASSERT_TRUE(filled);
  auto* label = dynamic_cast<Gtk::Label*>(Fennix::widget(*filled));
  ASSERT_TRUE(label);
  EXPECT_TRUE(label->get_mapped());
  EXPECT_GT(label->get_width(), 100);
  saveScreenshot(*window, "content-filled-on-load");
  Fennix::ControllerClassRegistry::unregisterName("FilledOnLoadVC");
  window->hide();
}

namespace {

/// A content controller that puts a wide label in a scroll view at its left.
class ScrolledChildVC : public QvViewControllerBase {
 public:
  void viewDidLoad() override {
    QvChildOptions options;
    options.scrolled = true;
    child = addChildViewControllerAndSubview(
        Fennix::ControllerFactory([] { return NSViewController::make<QvLoremVC>(); }), options);
  }
  NSViewController::Ptr child;
};

}  // namespace

TEST_F(ControllerWindowTest, AChildAddedScrolledSitsInAScrollView259Wide) {
  LogTestSupport::FileConsole console(LogLevel::info);
  console::setDefaultConsole(console.console);
  Fennix::ControllerClassRegistry::registerViewController<ScrolledChildVC>("ScrolledChildVC", std::nullopt);
  auto wc = QvWindowController::make();
  wc->mainComponent = std::string("ScrolledChildVC");
  wc->defaultWindowContentSize = CGSize{720, 340};
  Gtk::Window* window = Fennix::toolkitWindow(*wc);
  ASSERT_TRUE(window);
  window->present();
  pumpUntil([&] { return window->get_mapped() && window->get_width() > 0; });
  pumpFrames(100);
  auto content = std::dynamic_pointer_cast<ScrolledChildVC>(wc->contentViewController());
  ASSERT_TRUE(content && content->child);
  content->child->setRepresentedObject(Fennix::AnyValue("a scrolled child"));
  pumpFrames(100);
  Gtk::Widget* childView = Fennix::controllerWidget(*content->child);
  ASSERT_TRUE(childView);
  auto* scroll = dynamic_cast<Gtk::ScrolledWindow*>(childView->get_ancestor(GTK_TYPE_SCROLLED_WINDOW));
  ASSERT_TRUE(scroll);
  EXPECT_EQ(Fennix::layoutHost()->superviewOf(Fennix::item(*scroll)), content->viewIfLoaded());
  EXPECT_EQ(scroll->get_width(), 259);
  EXPECT_EQ(childView->get_width(), 259);  // the child is as wide as the scroll view
  saveScreenshot(*window, "scrolled-child");
  EXPECT_EQ(console.err.text(), "");
  console::setDefaultConsole(nullptr);
  Fennix::ControllerClassRegistry::unregisterName("ScrolledChildVC");
  window->hide();
}

namespace {

/// A window controller that keeps its window's width a multiple of 100.
class StepWidthWindow : public QvWindowController {
 public:
  CGSize windowWillResize(CGSize proposed) override {
    proposed_.push_back(proposed);
    return CGSize{std::floor(proposed.width / 100) * 100, proposed.height};
  }
  std::vector<CGSize> proposed_;
};

}  // namespace

TEST_F(ControllerWindowTest, AResizedWindowAsksItsControllerForTheSize) {
  auto wc = QvWindowController::make<StepWidthWindow>();
  wc->defaultMinimumSize = CGSize{200, 200};
  wc->defaultWindowContentSize = CGSize{400, 300};
  Gtk::Window* window = Fennix::toolkitWindow(*wc);
  ASSERT_TRUE(window);
  window->present();
  ASSERT_TRUE(pumpUntil([&] { return window->get_mapped() && window->get_width() > 0; }));
  pumpFrames(50);
  EXPECT_TRUE(wc->proposed_.empty());  // showing the window is no resize
  auto input = WidgetInput::Input::open(*window);
  if (!input) GTEST_SKIP() << "no X input on this display";

  input->resize(*window, 655, 333);
  ASSERT_TRUE(pumpUntil([&] { return !wc->proposed_.empty(); }));
  EXPECT_EQ(wc->proposed_.front(), (CGSize{655, 333}));
  // The answer is the window's new size (the frame, decorations included).
  auto surface = window->get_surface();
  EXPECT_TRUE(pumpUntil([&] { return surface->get_width() == 600; })) << surface->get_width();
  EXPECT_EQ(surface->get_height(), 333);
  EXPECT_EQ(wc->proposed_.back(), (CGSize{600, 333}));  // asked again for its own answer, which stands
  window->hide();
}

namespace {

/// Records how its navigations fail.
class FailureRecordingWebVC : public QvWebViewController {
 public:
  void didFailProvisionalNavigation(const std::string& navigation, const Fennix::WebNavigationError& error) override {
    failures.push_back(error);
    QvWebViewController::didFailProvisionalNavigation(navigation, error);
  }
  void didFail(const std::string& navigation, const Fennix::WebNavigationError& error) override {
    failures.push_back(error);
    committedFailures.push_back(error);
    QvWebViewController::didFail(navigation, error);
  }
  std::vector<Fennix::WebNavigationError> failures, committedFailures;
};

/// A port on 127.0.0.1 whose connections are never accepted: a request to it never gets an answer.
class SilentServer {
 public:
  SilentServer() {
    fd_ = listenOnLoopback(port_);
  }
  ~SilentServer() { ::close(fd_); }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace

TEST_F(ControllerWindowTest, APageThatNeverAnswersTimesOut) {
  SilentServer server;
  auto web = NSViewController::make<FailureRecordingWebVC>();
  EXPECT_EQ(web->requestTimeoutInterval, 60);
  web->requestTimeoutInterval = 0.5;
  Gtk::Window window;
  window.set_default_size(300, 200);
  window.set_child(*Fennix::controllerWidget(*web));
  window.present();
  ASSERT_TRUE(web->webView());
  auto* view = WEBKIT_WEB_VIEW(const_cast<void*>(web->webView()->view().handle));

  web->setRepresentedObject(Fennix::AnyValue::object(std::make_shared<URL>(*URL::fromString(server.url("/slow")))));
  EXPECT_TRUE(webkit_web_view_is_loading(view));
  ASSERT_TRUE(pumpFor(60, [&] { return !web->failures.empty(); }));
  ASSERT_EQ(web->failures.size(), 1u);
  EXPECT_EQ(web->failures[0].domain, Fennix::urlErrorDomain);
  EXPECT_EQ(web->failures[0].code, Fennix::urlErrorTimedOut);
  EXPECT_TRUE(pumpFor(20, [&] { return !webkit_web_view_is_loading(view); }));
  EXPECT_TRUE(web->committedFailures.empty());  // the page never came: the navigation failed provisionally
  pumpFrames(50);
  EXPECT_EQ(web->failures.size(), 1u);  // reported once
  window.hide();
}

namespace {

/// Takes every connection, reads its request and then keeps it open without an answer, or with
/// only the head and the start of a page.
class StallingServer {
 public:
  explicit StallingServer(bool sendsHead) : sendsHead_(sendsHead) {
    fd_ = listenOnLoopback(port_);
    thread_ = std::thread([this] { serve(); });
  }
  ~StallingServer() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
    {
      std::lock_guard guard(lock_);
      for (int client : clients_) ::shutdown(client, SHUT_RDWR);
    }
    for (auto& reader : readers_) reader.join();
    for (int client : clients_) ::close(client);
  }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  /// Requests read so far.
  std::atomic<int> requests{0};

 private:
  void serve() {
    while (true) {
      int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) return;
      std::lock_guard guard(lock_);
      clients_.push_back(client);
      readers_.emplace_back([this, client] { read(client); });
    }
  }
  void read(int client) {
    std::string request;
    char buffer[2048];
    while (true) {
      ssize_t count = ::recv(client, buffer, sizeof buffer, 0);
      if (count <= 0) return;
      request.append(buffer, std::size_t(count));
      if (request.find("\r\n\r\n") != std::string::npos) break;
    }
    if (sendsHead_) {
      const std::string start =
          "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000\r\n\r\n"
          "<html><head><title>Half a page</title></head><body>" + std::string(2048, ' ');
      ssize_t written = ::write(client, start.data(), start.size());
      (void)written;
    }
    ++requests;
    while (::recv(client, buffer, sizeof buffer, 0) > 0) {
    }
  }
  bool sendsHead_;
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::mutex lock_;
  std::vector<int> clients_;
  std::vector<std::thread> readers_;
};

/// Counts what its navigations report, and can give its navigation up while its policy is asked.
class StageRecordingWebVC : public FailureRecordingWebVC {
 public:
  bool decidePolicyForNavigationAction(const std::string& action) override {
    ++decisions;
    if (std::exchange(timeOutWhenAsked, false)) Fennix::WebNavigationTimeOut::of(view())->expire();
    if (auto once = std::exchange(onDecision, nullptr)) once();
    return FailureRecordingWebVC::decidePolicyForNavigationAction(action);
  }
  void didStartProvisionalNavigation(const std::string& navigation) override {
    ++starts;
    FailureRecordingWebVC::didStartProvisionalNavigation(navigation);
  }
  void didCommit(const std::string& navigation) override {
    ++commits;
    FailureRecordingWebVC::didCommit(navigation);
  }
  void didFinish(const std::string& navigation) override {
    ++finishes;
    FailureRecordingWebVC::didFinish(navigation);
  }
  void webContentProcessDidTerminate() override {
    ++died;
    FailureRecordingWebVC::webContentProcessDidTerminate();
  }
  WebKitWebView* view() const { return WEBKIT_WEB_VIEW(const_cast<void*>(webView()->view().handle)); }
  Fennix::WebNavigationTimeOut& timeOut() const { return *Fennix::WebNavigationTimeOut::of(view()); }
  void show(const std::string& url) {
    setRepresentedObject(Fennix::AnyValue::object(std::make_shared<URL>(*URL::fromString(url))));
  }
  bool timeOutWhenAsked = false;
  std::function<void()> onDecision;
  int decisions = 0, starts = 0, commits = 0, finishes = 0, died = 0;
};

bool isTimeOut(const Fennix::WebNavigationError& error) {
  return error.domain == Fennix::urlErrorDomain && error.code == Fennix::urlErrorTimedOut;
}

/// A web view controller in a shown window.
struct ShownWebVC {
  std::shared_ptr<StageRecordingWebVC> web = NSViewController::make<StageRecordingWebVC>();
  Gtk::Window window;
  ShownWebVC() {
    window.set_default_size(300, 200);
    window.set_child(*Fennix::controllerWidget(*web));
    window.present();
  }
  ~ShownWebVC() { window.hide(); }
  bool settles() {
    return pumpFor(20, [&] { return !webkit_web_view_is_loading(web->view()); });
  }
};

}  // namespace

TEST_F(ControllerWindowTest, ANavigationTimedOutBeforeItStartedEndsWithTheTimeOutOnceAndNeverLoads) {
  LoopbackServer server("<html><head><title>Loopback page</title></head><body></body></html>");
  ShownWebVC shown;
  auto& web = *shown.web;
  ASSERT_TRUE(web.webView());

  // At once, before the engine had a chance to ask about the navigation or send its request.
  web.show(server.url("/first.html"));
  web.timeOut().expire();
  ASSERT_EQ(web.failures.size(), 1u);
  EXPECT_TRUE(isTimeOut(web.failures[0])) << web.failures[0].description();
  EXPECT_TRUE(web.committedFailures.empty());
  EXPECT_TRUE(shown.settles()) << "the view still claims to load";

  // While the engine asks whether the navigation may go: it is refused.
  web.timeOutWhenAsked = true;
  web.show(server.url("/second.html"));
  ASSERT_TRUE(pumpFor(20, [&] { return web.failures.size() == 2; }));
  EXPECT_TRUE(isTimeOut(web.failures[1])) << web.failures[1].description();
  EXPECT_TRUE(shown.settles()) << "the view still claims to load";

  // The view goes on working; the navigations given up never reached the server, nor said more.
  web.show(server.url("/third.html"));
  ASSERT_TRUE(pumpFor(20, [&] {
    const char* title = webkit_web_view_get_title(web.view());
    return web.finishes == 1 && !webkit_web_view_is_loading(web.view()) && title && std::string(title) == "Loopback page";
  }));
  EXPECT_EQ(server.requests, 1);
  EXPECT_EQ(web.starts, 1);
  EXPECT_EQ(web.failures.size(), 2u);
  EXPECT_EQ(web.webView()->currentURL(), server.url("/third.html"));
  // A navigation that finished has nothing left to time out.
  EXPECT_FALSE(web.timeOut().timing());
  web.timeOut().expire();
  EXPECT_EQ(web.failures.size(), 2u);
}

TEST_F(ControllerWindowTest, ANavigationUnderWayAtItsTimeOutEndsWithTheTimeOutOnce) {
  {
    // Started, its request read by the server, the answer's head still to come.
    StallingServer server(false);
    ShownWebVC shown;
    auto& web = *shown.web;
    web.show(server.url("/silent"));
    ASSERT_TRUE(pumpFor(20, [&] { return web.starts == 1 && server.requests == 1; }));
    web.timeOut().expire();
    ASSERT_EQ(web.failures.size(), 1u);
    EXPECT_TRUE(isTimeOut(web.failures[0])) << web.failures[0].description();
    EXPECT_TRUE(web.committedFailures.empty());
    EXPECT_TRUE(shown.settles());
    pumpFrames(50);
    EXPECT_EQ(web.failures.size(), 1u);  // the engine's own cancellation is not heard
    EXPECT_EQ(web.finishes, 0);
  }
  {
    // Committed: the head and the start of the page came, the rest never does.
    StallingServer server(true);
    ShownWebVC shown;
    auto& web = *shown.web;
    web.show(server.url("/half"));
    ASSERT_TRUE(pumpFor(20, [&] { return web.commits == 1; }));
    web.timeOut().expire();
    ASSERT_EQ(web.committedFailures.size(), 1u);
    EXPECT_TRUE(isTimeOut(web.committedFailures[0])) << web.committedFailures[0].description();
    EXPECT_TRUE(shown.settles());
    pumpFrames(50);
    EXPECT_EQ(web.failures.size(), 1u);
    EXPECT_EQ(web.finishes, 0);
  }
}

TEST_F(ControllerWindowTest, TheEndOfAReplacedNavigationLeavesTheTimeOutOfItsSuccessor) {
  StallingServer server(false);
  ShownWebVC shown;
  auto& web = *shown.web;
  web.show(server.url("/first"));
  ASSERT_TRUE(pumpFor(20, [&] { return web.starts == 1 && server.requests == 1; }));
  // The first one's cancellation comes after the second was asked for.
  web.show(server.url("/second"));
  ASSERT_TRUE(pumpFor(20, [&] { return web.starts == 2 && server.requests == 2; }));
  ASSERT_EQ(web.failures.size(), 1u);
  EXPECT_FALSE(isTimeOut(web.failures[0]));
  EXPECT_EQ(web.finishes, 0) << "a navigation that failed was also heard to finish";
  EXPECT_TRUE(web.timeOut().timing()) << "the second navigation lost its time-out";
  web.timeOut().expire();
  ASSERT_EQ(web.failures.size(), 2u);
  EXPECT_TRUE(isTimeOut(web.failures[1])) << web.failures[1].description();
  EXPECT_TRUE(shown.settles());
}

TEST_F(ControllerWindowTest, APageThatSendsItselfOnTimesOutItsNextNavigationProvisionally) {
  // The page stays under way (its picture never comes) when its script sends it on to a page that
  // never answers. The script does so once the picture's request has reached its server (the answer
  // it awaits comes only then): a navigation asked earlier may cancel the picture before the engine
  // has sent its request.
  StallingServer stalling(false);
  LoopbackServer server("<html><body><img src='" + stalling.url("/picture.png") +
                            "'><script>fetch('/picture-requested').then(() => { location.href = '" +
                            stalling.url("/next") + "'; });</script></body></html>",
                        "/picture-requested", [&] { return stalling.requests >= 1; });
  ShownWebVC shown;
  auto& web = *shown.web;
  web.show(server.url("/first.html"));
  ASSERT_TRUE(pumpFor(20, [&] {
    return web.commits == 1 && web.starts == 2 && stalling.requests == 2;
  })) << "commits " << web.commits << ", starts " << web.starts << ", stalled requests " << stalling.requests;
  web.timeOut().expire();
  auto timeOuts = [](const std::vector<Fennix::WebNavigationError>& errors) {
    return std::count_if(errors.begin(), errors.end(), isTimeOut);
  };
  EXPECT_EQ(timeOuts(web.failures), 1);
  EXPECT_EQ(timeOuts(web.committedFailures), 0) << "the page sent on had not committed";
  EXPECT_TRUE(shown.settles());
  pumpFrames(50);
  EXPECT_EQ(timeOuts(web.failures), 1);
  EXPECT_EQ(web.finishes, 0);
}

TEST_F(ControllerWindowTest, ALoadAtOnceAfterATimeOutHearsNothingOfTheNavigationGivenUp) {
  LoopbackServer server("<html><head><title>Loopback page</title></head><body></body></html>");
  // A navigation is given up once its policy was answered, its start not yet heard, and loaded
  // again at once as a retry does from the failure it hears; then the same with the retry given up
  // as well before the first one's end came. The delegate hears each time-out once and then the
  // last retry load; what the engine still says of the navigations given up comes before that
  // retry starts, and is not heard.
  struct Retry {
    StageRecordingWebVC* web;
    std::vector<std::string> urls;  // loaded in turn, each after giving up the one before
  };
  const auto giveUpAndRetry = [](StageRecordingWebVC& web, const std::string& first, Retry retry) {
    const auto failures = web.failures.size();
    const int starts = web.starts, commits = web.commits, finishes = web.finishes;
    retry.web = &web;
    web.onDecision = [retry] {
      g_idle_add_full(
          G_PRIORITY_HIGH,
          [](void* data) -> int {
            auto* pending = static_cast<Retry*>(data);
            for (const auto& url : pending->urls) {
              pending->web->timeOut().expire();
              pending->web->show(url);
            }
            return G_SOURCE_REMOVE;
          },
          new Retry(retry), [](void* data) { delete static_cast<Retry*>(data); });
    };
    web.show(first);
    const bool loaded = pumpFor(20, [&] {
      return web.finishes == finishes + 1 && !webkit_web_view_is_loading(web.view()) &&
             web.webView()->currentURL() == retry.urls.back();
    });
    web.onDecision = nullptr;
    ASSERT_TRUE(loaded) << "failures " << web.failures.size() - failures << ", starts " << web.starts - starts;
    ASSERT_EQ(web.failures.size() - failures, retry.urls.size());
    for (auto failure = web.failures.begin() + std::ptrdiff_t(failures); failure != web.failures.end(); ++failure)
      EXPECT_TRUE(isTimeOut(*failure)) << failure->description();
    EXPECT_EQ(web.starts - starts, 1);
    EXPECT_EQ(web.commits - commits, 1);
    EXPECT_FALSE(web.timeOut().timing());
  };
  for (int timeOuts : {1, 2}) {
    SCOPED_TRACE(timeOuts);
    ShownWebVC shown;
    ASSERT_TRUE(shown.web->webView());
    // In a view that has shown nothing, the engine sends the answer to a navigation's policy on
    // only once its network process has heard that the web process may load that site: the retry,
    // asked meanwhile, overtakes the answer, and the navigation given up ends without a word. The
    // engine awaits that word for the first load of a site only; a later load of the same site
    // may reach the network process before it, and the engine then ends the web process and leaves
    // the view loading for ever. So the load that goes on is of another name of the server, whose
    // word is awaited in turn.
    {
      SCOPED_TRACE("in a view that has shown nothing");
      Retry retry{nullptr, {}};
      for (int i = 1; i < timeOuts; ++i) retry.urls.push_back(server.url("/again.html?" + std::to_string(i)));
      retry.urls.push_back(server.url("/again.html", "localhost"));
      giveUpAndRetry(*shown.web, server.url("/first.html"), retry);
    }
    if (HasFatalFailure()) return;
    // In a view showing a page of the site, the answer goes at once: the navigation given up
    // starts, and then fails as the retry replaces it.
    {
      SCOPED_TRACE("in a view showing a page of the site");
      Retry retry{nullptr, {}};
      for (int i = 0; i < timeOuts; ++i)
        retry.urls.push_back(server.url("/again-shown.html?" + std::to_string(i), "localhost"));
      giveUpAndRetry(*shown.web, server.url("/first-shown.html", "localhost"), retry);
    }
  }
}

TEST_F(ControllerWindowTest, TheEndOfTheWebProcessIsToldWithTheWebView) {
  LoopbackServer server("<html><head><title>Loopback page</title></head><body></body></html>");
  ShownWebVC shown;
  auto& web = *shown.web;
  web.show(server.url("/index.html"));
  ASSERT_TRUE(pumpFor(20, [&] { return web.finishes == 1; }));
  testing::internal::CaptureStderr();
  webkit_web_view_terminate_web_process(web.view());
  std::string err;
  pumpFor(20, [&] { return web.died > 0; });
  err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(web.died, 1);
  EXPECT_NE(err.find("ERROR: WebView died ... <WebKitWebView"), std::string::npos) << err;
  EXPECT_EQ(err.find("QvWebViewController"), std::string::npos) << err;
}

TEST_F(ControllerWindowTest, RealWheelOverTheOverlayScrollsOnlyWhereThereIsRoom) {
  // Wide content scrolls to the right.
  auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroller->set_child(*Gtk::make_managed<Gtk::Label>(std::string(400, 'x')));
  scroller->set_policy(Gtk::PolicyType::AUTOMATIC, Gtk::PolicyType::NEVER);
  // Content narrower than its viewport (50 units shown on a page of 200): nothing to scroll.
  auto* narrow = Gtk::make_managed<Gtk::ScrolledWindow>();
  auto narrowAdjustment = Gtk::Adjustment::create(0, 0, 50, 10, 100, 200);
  narrow->set_hadjustment(narrowAdjustment);
  narrow->set_policy(Gtk::PolicyType::EXTERNAL, Gtk::PolicyType::NEVER);
  auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL);
  Gtk::Widget& wide = QvVerticalScrollOverlayView::wrap(*scroller);
  Gtk::Widget& cramped = QvVerticalScrollOverlayView::wrap(*narrow);
  wide.set_vexpand(true);
  cramped.set_vexpand(true);
  column->append(wide);
  column->append(cramped);
  Gtk::Window window;
  window.set_default_size(200, 120);
  window.set_child(*column);
  window.present();
  auto adjustment = scroller->get_hadjustment();
  ASSERT_TRUE(pumpFor(5, [&] { return adjustment->get_upper() > adjustment->get_page_size() && cramped.get_height() > 0; }));
  auto wheel = WidgetInput::Input::open(window);
  if (!wheel) GTEST_SKIP() << "no pointer events on this display";

  wheel->scroll(wide, XDriver::Session::Wheel::right);
  EXPECT_GT(adjustment->get_value(), 0);

  wheel->scroll(cramped, XDriver::Session::Wheel::right);
  EXPECT_EQ(narrowAdjustment->get_value(), 0);
  saveScreenshot(window, "scroll-overlay-after-wheel");
  window.hide();
}

namespace {

Gtk::Label* firstLabel(Gtk::Widget& root) {
  if (auto* label = dynamic_cast<Gtk::Label*>(&root)) return label;
  for (Gtk::Widget* child = root.get_first_child(); child; child = child->get_next_sibling())
    if (Gtk::Label* found = firstLabel(*child)) return found;
  return nullptr;
}

}  // namespace

TEST_F(ControllerWindowTest, PlaceholderLabelWrapsALongFocusAtTheWidthItHad) {
  auto content = NSViewController::make<QvLoremVC>();
  Gtk::Window window;
  window.set_default_size(600, 300);
  window.set_child(*Fennix::controllerWidget(*content));
  window.present();
  Gtk::Label* label = firstLabel(*Fennix::controllerWidget(*content));
  ASSERT_TRUE(label);
  ASSERT_TRUE(pumpFor(5, [&] { return label->get_width() > 0; }));
  const int width = label->get_width();  // as wide as "Lorem Ipsum"

  std::string focus;
  for (int word = 0; word < 30; ++word) focus += "word" + std::to_string(word) + " ";
  content->setRepresentedObject(Fennix::AnyValue(focus));
  ASSERT_TRUE(pumpFor(5, [&] { return label->get_height() > 3 * label->get_width() / 4; }));
  pumpFrames(5);
  PangoLayout* layout = gtk_label_get_layout(label->gobj());
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  EXPECT_GT(pango_layout_get_line_count(layout), 5);
  EXPECT_LE(logical.width, width);
  EXPECT_LE(label->get_width(), width + 2);
  EXPECT_EQ(label->get_text().substr(0, 24), "Lorem Ipsum focused on: ");
  saveScreenshot(window, "placeholder-wrapped-focus");
  window.hide();
}

TEST_F(ControllerWindowTest, DiagonalWheelMotionMovesTheWrappedScrollerBothWays) {
  std::string text;
  for (int line = 0; line < 40; ++line) text += std::string(200, char('a' + line % 26)) + "\n";
  auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroller->set_child(*Gtk::make_managed<Gtk::Label>(text));
  scroller->set_policy(Gtk::PolicyType::AUTOMATIC, Gtk::PolicyType::AUTOMATIC);
  Gtk::Widget& container = QvVerticalScrollOverlayView::wrap(*scroller);
  Gtk::Window window;
  window.set_default_size(200, 120);
  window.set_child(container);
  window.present();
  auto across = scroller->get_hadjustment();
  auto down = scroller->get_vadjustment();
  ASSERT_TRUE(pumpFor(5, [&] {
    return across->get_upper() > across->get_page_size() && down->get_upper() > down->get_page_size();
  }));
  QvVerticalScrollOverlayView* overlay = nullptr;
  for (Gtk::Widget* child = scroller->get_parent()->get_first_child(); child; child = child->get_next_sibling())
    if (auto* found = dynamic_cast<QvVerticalScrollOverlayView*>(child)) overlay = found;
  ASSERT_TRUE(overlay);
  // The overlay's wheel handler as the toolkit calls it: X wheel buttons carry one axis each, so a
  // diagonal motion (as from a touchpad) comes through the scroll controller's signal.
  GtkEventController* wheel = nullptr;
  auto controllers = overlay->observe_controllers();
  for (guint index = 0; index < controllers->get_n_items(); ++index) {
    auto* candidate = static_cast<GObject*>(g_list_model_get_item(controllers->gobj(), index));
    if (GTK_IS_EVENT_CONTROLLER_SCROLL(candidate)) wheel = GTK_EVENT_CONTROLLER(candidate);
    g_object_unref(candidate);
  }
  ASSERT_TRUE(wheel);
  gboolean taken = FALSE;
  g_signal_emit_by_name(wheel, "scroll", 2.0, 3.0, &taken);
  EXPECT_TRUE(taken);
  EXPECT_GT(across->get_value(), 0);
  EXPECT_GT(down->get_value(), 0);

  // Vertical motion alone still goes on to the surroundings.
  const double acrossBefore = across->get_value(), downBefore = down->get_value();
  g_signal_emit_by_name(wheel, "scroll", 0.0, 3.0, &taken);
  EXPECT_FALSE(taken);
  EXPECT_EQ(across->get_value(), acrossBefore);
  EXPECT_EQ(down->get_value(), downBefore);

  // Real horizontal wheel clicks over the overlay move it across and leave it where it is vertically.
  if (auto input = WidgetInput::Input::open(window)) {
    input->scroll(container, XDriver::Session::Wheel::right);
    EXPECT_GT(across->get_value(), acrossBefore);
    EXPECT_EQ(down->get_value(), downBefore);
  }
  saveScreenshot(window, "scroll-overlay-after-diagonal-wheel");
  window.hide();
}
