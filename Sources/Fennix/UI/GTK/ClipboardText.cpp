#include "Fennix/UI/GTK/ClipboardText.h"

#include <gdk/gdk.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#ifdef GDK_WINDOWING_X11
#include <X11/Xutil.h>
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

/// The text of a value of `type` in UTF-8: Latin-1 for STRING, compound text converted by the
/// library; the other text types come in UTF-8. None for a value of no text type.
std::optional<std::string> utf8Text(Display* display, const PropertyValue& value) {
  const Atom latin1 = XInternAtom(display, "STRING", False);
  const Atom compound = XInternAtom(display, "COMPOUND_TEXT", False);
  if (value.type == latin1) {
    std::string text;
    text.reserve(value.bytes.size());
    for (const unsigned char byte : value.bytes) {
      if (byte < 0x80) {
        text += char(byte);
      } else {
        text += char(0xC0 | (byte >> 6));
        text += char(0x80 | (byte & 0x3F));
      }
    }
    return text;
  }
  if (value.type == compound) {
    if (value.bytes.empty()) return std::string();
    XTextProperty property{reinterpret_cast<unsigned char*>(const_cast<char*>(value.bytes.data())), compound, 8,
                           value.bytes.size()};
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &property, &list, &count) < Success || list == nullptr) return std::nullopt;
    std::string text;
    for (int i = 0; i < count; ++i) text += list[i];
    XFreeStringList(list);
    return text;
  }
  for (const char* name : {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "TEXT"}) {
    if (value.type == XInternAtom(display, name, False)) return value.bytes;
  }
  return std::nullopt;
}

/// Reads the text of the CLIPBOARD selection on display `name` on a connection and a window of its
/// own, whose property no other transfer touches: a piece is asked for only once the one before
/// is taken, as the owner expects. The types are asked for in turn, UTF-8 first: an older program
/// may offer its text only as Latin-1 or compound text.
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
  bool promised = false;  // an owner said it sent a type, and the value was not there or no text
  for (const char* type :
       {"UTF8_STRING", "text/plain;charset=utf-8", "COMPOUND_TEXT", "TEXT", "STRING", "text/plain"}) {
    XConvertSelection(display, clipboard, XInternAtom(display, type, False), property, window, CurrentTime);
    XFlush(display);
    XEvent answer;
    if (!nextEvent(display, window, SelectionNotify, answer, quietSeconds)) {
      result.failure = stoppedMessage(0);
      break;
    }
    if (answer.xselection.property == None) continue;  // not offered as this type
    PropertyValue value = takeProperty(display, window, property);
    if (value.type == incremental) {
      // In pieces: each a new value of the property, taken by deleting it; an empty one ends the text.
      std::string text;
      Atom pieceType = None;
      bool whole = false;
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
          whole = true;
          break;
        }
        if (text.size() + piece.bytes.size() > maximumBytes) {
          result.failure = tooLargeMessage(maximumBytes);
          break;
        }
        pieceType = piece.type;
        text += piece.bytes;
      }
      if (!whole) break;
      value = PropertyValue{pieceType == None ? XInternAtom(display, type, False) : pieceType, std::move(text)};
    } else if (value.bytes.size() > maximumBytes) {
      result.failure = tooLargeMessage(maximumBytes);
      break;
    }
    if (auto text = utf8Text(display, value)) {
      result.text = std::move(text);
      break;
    }
    promised = true;
  }
  if (!result.text && result.failure.empty() && promised) {
    result.failure = "The program that holds the clipboard did not send its text, and nothing was pasted.";
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
