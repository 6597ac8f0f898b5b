// The helper process of the web view controller's engine tests: a controller on the toolkit's web
// engine in a process whose folders the test chose, where the engine may be unable to start a web
// process. Built only into the helper executable.
//   helper launch            the folders are broken from the start
//   helper later FOLDER      FOLDER (the run-time folder) becomes a file once a page has loaded
//   helper first FOLDER      FOLDER becomes a file once the view is made, before its first load
// What the controller logs goes to standard error; the exit status is 0 once all was done.
#ifdef FENNIX_WEB_CONTROLLER_HELPER_MAIN

#include <arpa/inet.h>
#include <gtk/gtk.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <webkit/webkit.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "Fennix/Foundation/HTTP/URL.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "XDriver/XDriver.h"

namespace {

/// Runs the main loop until `done` holds, thirty seconds at most; whether it holds.
bool pumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
  }
  return true;
}

/// Serves one page to every request on a port of 127.0.0.1 of its own, for the life of the process.
int servePages() {
  const int listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listening, 8) != 0 ||
      ::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return 0;
  }
  std::thread([listening] {
    static const std::string page =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 13\r\nConnection: close\r\n\r\n<p>served</p>";
    while (true) {
      const int client = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      char request[4096];
      (void)::recv(client, request, sizeof request, 0);
      (void)::send(client, page.data(), page.size(), MSG_NOSIGNAL);
      ::close(client);
    }
  }).detach();
  return ntohs(address.sin_port);
}

class Controller : public QvWebViewController {
 public:
  void webContentProcessDidTerminate() override {
    QvWebViewController::webContentProcessDidTerminate();
    ended = true;
  }
  bool ended = false;
};

Fennix::AnyValue urlValue(const std::string& text) {
  return Fennix::AnyValue::object(std::make_shared<URL>(*URL::fromString(text)));
}

WebKitWebView* engineView(QvWebViewController& web) {
  auto handle = web.webView();
  return handle ? WEBKIT_WEB_VIEW(const_cast<void*>(handle->view().handle)) : nullptr;
}

int fail(const char* what) {
  std::fprintf(stderr, "helper: %s\n", what);
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  // Each line is out before a crash could lose it.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "launch" && !((mode == "later" || mode == "first") && argc == 3))
    return fail("usage: helper launch | helper later FOLDER | helper first FOLDER");
  if (!gtk_init_check()) return fail("no display");
  Gtk::init_gtkmm_internals();
  Fennix::installControllerKitsGTK();
  auto web = NSViewController::make<Controller>();
  auto window = std::make_unique<Gtk::Window>();
  window->set_default_size(300, 200);
  window->set_child(*Fennix::controllerWidget(*web));
  window->present();
  if (mode == "launch") {
    web->setRepresentedObject(urlValue("http://127.0.0.1:9/"));
    web->loadHTML("<p>none</p>");
    if (WebKitWebView* view = engineView(*web)) {
      pumpUntil([&] { return !webkit_web_view_is_loading(view); });
      return fail("a web view was made");
    }
    std::printf("view: %s\n", Fennix::controllerViewKit().text(*web->view()).c_str());
  } else if (mode == "first") {
    // The engine starts the view's web process at its first load, not when it makes the view.
    WebKitWebView* view = engineView(*web);
    if (view == nullptr) return fail("no web view was made");
    const std::filesystem::path folder = argv[2];
    std::filesystem::rename(folder, folder.string() + ".moved");
    std::ofstream(folder) << "not a folder\n";
    web->loadHTML("<p>none</p>");
    web->setRepresentedObject(urlValue("http://127.0.0.1:9/"));
    pumpUntil([&] { return !webkit_web_view_is_loading(view); });
    std::printf("page: %s\n", webkit_web_view_get_uri(view) != nullptr ? webkit_web_view_get_uri(view) : "none");
  } else {
    const int port = servePages();
    if (port == 0) return fail("no port to serve on");
    const std::string site = "http://127.0.0.1:" + std::to_string(port) + "/";
    web->setRepresentedObject(urlValue(site + "first"));
    WebKitWebView* view = engineView(*web);
    if (view == nullptr || !pumpUntil([&] { return !webkit_web_view_is_loading(view); })) return fail("no first page");
    const std::filesystem::path folder = argv[2];
    std::filesystem::rename(folder, folder.string() + ".moved");
    std::ofstream(folder) << "not a folder\n";
    // A page of another site loads in a web process of its own.
    web->setRepresentedObject(urlValue("http://localhost:" + std::to_string(port) + "/other"));
    if (!pumpUntil([&] { return !webkit_web_view_is_loading(view); })) return fail("the other site still loads");
    std::printf("page: %s\n", webkit_web_view_get_uri(view));
    // Once the web process has ended, the next load starts another.
    if (XDriver::killDescendants(::getpid(), "WebKitWebProces") == 0) return fail("no web process to end");
    if (!pumpUntil([&] { return web->ended; })) return fail("the web process did not end");
    web->setRepresentedObject(urlValue(site + "again"));
    pumpUntil([&] { return !webkit_web_view_is_loading(view); });
    std::printf("page: %s\n", webkit_web_view_get_uri(view));
  }
  window->destroy();
  window.reset();
  web.reset();
  return 0;
}

#endif
