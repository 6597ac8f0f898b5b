// Reading another program's clipboard text on a connection of the reader's own: a program that
// offers its text only as Latin-1, compound text or plain text gets it pasted in UTF-8, and one
// that says it sent its text without sending it gets a message rather than silence.
#include <gtest/gtest.h>
#include <gdkmm/display.h>
#include <poll.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "Fennix/UI/GTK/ClipboardText.h"
#include "FennixTests/DispatchTestSupport.h"
#include "ViewKitWindowSupport.h"

// Last: the X headers define names the others use.
#include <X11/Xlib.h>

using FennixTestSupport::runMainLoopUntil;

namespace {

/// Another program that holds the clipboard on a connection of its own and answers every request
/// for `type` with `bytes` of that type in one go (with `written` false, it says it did without
/// writing them); other types it refuses. It lets go when destroyed.
class Owner {
 public:
  Owner(std::string type, std::string bytes, bool written = true) {
    thread_ = std::thread([this, type = std::move(type), bytes = std::move(bytes), written] {
      serve(type, bytes, written);
    });
    runMainLoopUntil([&] { return holding_.load(); }, 30);
  }
  ~Owner() {
    stop_ = true;
    thread_.join();
  }
  bool holding() const { return holding_; }

 private:
  void serve(const std::string& type, const std::string& bytes, bool written) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom offered = XInternAtom(display, type.c_str(), False);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    XSync(display, False);
    holding_ = XGetSelectionOwner(display, clipboard) == window;
    while (!stop_) {
      pollfd connection{ConnectionNumber(display), POLLIN, 0};
      ::poll(&connection, 1, 100);
      while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionRequest) continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        XSelectionEvent answer{};
        answer.type = SelectionNotify;
        answer.requestor = request.requestor;
        answer.selection = request.selection;
        answer.target = request.target;
        answer.time = request.time;
        answer.property = request.target == offered ? request.property : None;
        if (answer.property != None && written) {
          XChangeProperty(display, request.requestor, request.property, offered, 8, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
        }
        XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&answer));
        XFlush(display);
      }
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
  }

  std::atomic<bool> holding_ = false, stop_ = false;
  std::thread thread_;
};

std::optional<Fennix::ClipboardText> readClipboard() {
  std::optional<Fennix::ClipboardText> read;
  Fennix::readClipboardText(Gdk::Display::get_default()->get_clipboard(), 1 << 20,
                            [&](Fennix::ClipboardText text) { read = std::move(text); });
  runMainLoopUntil([&] { return read.has_value(); }, 60);
  return read;
}

}  // namespace

TEST(ClipboardTextTests, TextOfferedOnlyInAnOlderTypeArrivesInUTF8) {
  ASSERT_TRUE(ViewKitWindowSupport::gtkReady()) << "needs a display";
  const std::string utf8 = "h\xC3\xA9llo w\xC3\xB6rld\n";
  const struct {
    const char* type;
    std::string bytes;
  } offers[] = {{"STRING", "h\xE9llo w\xF6rld\n"}, {"COMPOUND_TEXT", "h\xE9llo w\xF6rld\n"}, {"text/plain", utf8}};
  for (const auto& offer : offers) {
    SCOPED_TRACE(offer.type);
    Owner owner(offer.type, offer.bytes);
    ASSERT_TRUE(owner.holding());
    const auto read = readClipboard();
    ASSERT_TRUE(read) << "no answer";
    EXPECT_EQ(read->failure, "");
    EXPECT_EQ(read->text.value_or("(none)"), utf8);
  }
}

TEST(ClipboardTextTests, AnOwnerThatSaysItSentATextItDidNotSendGetsAMessage) {
  ASSERT_TRUE(ViewKitWindowSupport::gtkReady()) << "needs a display";
  Owner owner("UTF8_STRING", "lost", false);
  ASSERT_TRUE(owner.holding());
  const auto read = readClipboard();
  ASSERT_TRUE(read) << "no answer";
  EXPECT_FALSE(read->text);
  EXPECT_NE(read->failure.find("did not send its text"), std::string::npos) << read->failure;
}
