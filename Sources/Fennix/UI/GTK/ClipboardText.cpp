#include "Fennix/UI/GTK/ClipboardText.h"

#include <gdk/gdk.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

namespace Fennix {

namespace {

/// Calls `then` with `result` on the main loop (from any thread).
void deliver(std::function<void(ClipboardText)> then, ClipboardText result) {
  struct Delivery {
    std::function<void(ClipboardText)> then;
    ClipboardText result;
  };
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        const std::unique_ptr<Delivery> delivery(static_cast<Delivery*>(data));
        delivery->then(std::move(delivery->result));
        return G_SOURCE_REMOVE;
      },
      new Delivery{std::move(then), std::move(result)}, nullptr);
}

/// The toolkit's own reader: for text of this process's own, and on displays other than X.
void readWithToolkit(const Glib::RefPtr<Gdk::Clipboard>& clipboard, std::function<void(ClipboardText)> then) {
  gdk_clipboard_read_text_async(
      clipboard->gobj(), nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<std::function<void(ClipboardText)>> done(static_cast<std::function<void(ClipboardText)>*>(data));
        char* text = gdk_clipboard_read_text_finish(GDK_CLIPBOARD(source), result, nullptr);
        ClipboardText read;
        if (text != nullptr) read.text = std::string(text);
        g_free(text);
        (*done)(std::move(read));
      },
      new std::function<void(ClipboardText)>(std::move(then)));
}

std::string megabytes(std::size_t bytes) {
  const std::size_t tenths = (bytes + 50'000) / 100'000;
  return std::to_string(tenths / 10) + (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "") + " MB";
}

std::string stoppedMessage(std::size_t arrived) {
  return "The program that holds the clipboard stopped sending its text" +
         (arrived > 0 ? " after " + megabytes(arrived) + " of it" : std::string()) +
         ", and nothing was pasted. Copy the text again in that program, or save it to a file and open or "
         "drop the file.";
}

std::string tooLargeMessage(std::size_t maximumBytes) {
  return "The text on the clipboard has more than " + megabytes(maximumBytes) + ", and nothing was pasted.";
}

#ifdef GDK_WINDOWING_X11

/// The next event of `type` for `window`, others passed over; false once `quietSeconds` pass
/// without one.
bool nextEvent(Display* display, Window window, int type, XEvent& event, double quietSeconds) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(quietSeconds));
  for (;;) {
    while (XPending(display) > 0) {
      XNextEvent(display, &event);
      if (event.type == type && event.xany.window == window) return true;
    }
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    if (::poll(&connection, 1, int(left)) < 0 && errno != EINTR) return false;
  }
}

struct PropertyValue {
  Atom type = None;
  std::string bytes;
};

/// Takes the value of `property` of `window` (deleting it, which asks an owner sending in pieces
/// for the next one).
PropertyValue takeProperty(Display* display, Window window, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  PropertyValue value;
  if (XGetWindowProperty(display, window, property, 0, 0x1FFFFFFF, True, AnyPropertyType, &type, &format, &items,
                         &after, &data) == Success) {
    value.type = type;
    if (data != nullptr && format == 8) value.bytes.assign(reinterpret_cast<const char*>(data), items);
  }
  if (data != nullptr) XFree(data);
  return value;
}

/// Reads the text of the CLIPBOARD selection on display `name` on a connection and a window of its
/// own, whose property no other transfer touches: a piece is asked for only once the one before
/// is taken, as the owner expects.
ClipboardText readFromOwner(const std::string& name, std::size_t maximumBytes, double quietSeconds) {
  ClipboardText result;
  Display* display = XOpenDisplay(name.c_str());
  if (display == nullptr) {
    result.failure = "The clipboard could not be reached, and nothing was pasted.";
    return result;
  }
  const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
  const Atom incremental = XInternAtom(display, "INCR", False);
  const Atom property = XInternAtom(display, "FENNIX_CLIPBOARD_TEXT", False);
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(display, window, PropertyChangeMask);
  for (const char* type : {"UTF8_STRING", "text/plain;charset=utf-8"}) {
    XConvertSelection(display, clipboard, XInternAtom(display, type, False), property, window, CurrentTime);
    XFlush(display);
    XEvent answer;
    if (!nextEvent(display, window, SelectionNotify, answer, quietSeconds)) {
      result.failure = stoppedMessage(0);
      break;
    }
    if (answer.xselection.property == None) continue;  // not offered as this type
    PropertyValue first = takeProperty(display, window, property);
    if (first.type != incremental) {
      if (first.bytes.size() > maximumBytes) {
        result.failure = tooLargeMessage(maximumBytes);
      } else if (first.type != None) {
        result.text = std::move(first.bytes);
      }
      break;
    }
    // In pieces: each a new value of the property, taken by deleting it; an empty one ends the text.
    std::string text;
    for (;;) {
      XEvent change;
      if (!nextEvent(display, window, PropertyNotify, change, quietSeconds)) {
        result.failure = stoppedMessage(text.size());
        break;
      }
      if (change.xproperty.atom != property || change.xproperty.state != PropertyNewValue) continue;
      PropertyValue piece = takeProperty(display, window, property);
      if (piece.type == None) continue;  // a notice of a value already taken
      if (piece.bytes.empty()) {
        result.text = std::move(text);
        break;
      }
      if (text.size() + piece.bytes.size() > maximumBytes) {
        result.failure = tooLargeMessage(maximumBytes);
        break;
      }
      text += piece.bytes;
    }
    break;
  }
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return result;
}

#endif

}  // namespace

void readClipboardText(const Glib::RefPtr<Gdk::Clipboard>& clipboard, std::size_t maximumBytes,
                       std::function<void(ClipboardText)> then, double quietSeconds) {
  if (!clipboard) {
    then(ClipboardText());
    return;
  }
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = clipboard->get_display()->gobj();
  if (GDK_IS_X11_DISPLAY(display) && !gdk_clipboard_is_local(clipboard->gobj())) {
    std::thread([name = std::string(gdk_display_get_name(display)), maximumBytes, quietSeconds,
                 then = std::move(then)]() mutable {
      deliver(std::move(then), readFromOwner(name, maximumBytes, quietSeconds));
    }).detach();
    return;
  }
#endif
  readWithToolkit(clipboard, std::move(then));
}

}  // namespace Fennix
