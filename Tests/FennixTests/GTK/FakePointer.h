// Pointer and key events through the X server's test extension, for display tests that act as a
// person would.
#pragma once

#include <dlfcn.h>
#include <gdk/x11/gdkx.h>
#include <gtest/gtest.h>
#include <gtkmm/native.h>
#include <gtkmm/widget.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ViewKitWindowSupport.h"

namespace ViewKitWindowSupport {

/// Pointer events through the X server's test extension, loaded at run time; none without it.
struct FakePointer {
  using Motion = int (*)(Display*, int, int, int, unsigned long);
  using Button = int (*)(Display*, unsigned, int, unsigned long);
  using Translate = int (*)(Display*, Window, Window, int, int, int*, int*, Window*);
  using Flush = int (*)(Display*);
  Motion motion = nullptr;
  Button button = nullptr;
  Translate translate = nullptr;
  Flush flush = nullptr;
  Display* display = nullptr;

  static std::optional<FakePointer> open(Gtk::Widget& widget) {
    GdkDisplay* gdkDisplay = gtk_widget_get_display(widget.gobj());
    if (!GDK_IS_X11_DISPLAY(gdkDisplay)) return std::nullopt;
    void* library = dlopen("libXtst.so.6", RTLD_NOW);
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    if (!library || !x11) return std::nullopt;
    FakePointer pointer;
    pointer.motion = reinterpret_cast<Motion>(dlsym(library, "XTestFakeMotionEvent"));
    pointer.button = reinterpret_cast<Button>(dlsym(library, "XTestFakeButtonEvent"));
    pointer.translate = reinterpret_cast<Translate>(dlsym(x11, "XTranslateCoordinates"));
    pointer.flush = reinterpret_cast<Flush>(dlsym(x11, "XFlush"));
    pointer.display = gdk_x11_display_get_xdisplay(gdkDisplay);
    if (!pointer.motion || !pointer.button || !pointer.translate || !pointer.flush) return std::nullopt;
    return pointer;
  }
  /// The screen position of a point of `widget`.
  std::pair<int, int> onScreen(Gtk::Widget& widget, double x, double y) const {
    Gtk::Native* native = widget.get_native();
    double nx = 0, ny = 0, sx = 0, sy = 0;
    widget.translate_coordinates(*dynamic_cast<Gtk::Widget*>(native), x, y, nx, ny);
    native->get_surface_transform(sx, sy);
    Window child = 0;
    int rootX = 0, rootY = 0;
    translate(display, gdk_x11_surface_get_xid(native->get_surface()->gobj()),
                          DefaultRootWindow(display), int(nx + sx), int(ny + sy), &rootX, &rootY, &child);
    return {rootX, rootY};
  }
  void moveTo(std::pair<int, int> at) {
    motion(display, -1, at.first, at.second, 0);
    flush(display);
    settle();
  }
  void press(bool down) {
    button(display, 1, down, 0);
    flush(display);
    settle();
  }
  /// Presses or releases the key of a key symbol's name.
  void key(const std::string& name, bool down) {
    using Key = int (*)(Display*, unsigned, int, unsigned long);
    using KeysymOf = unsigned long (*)(const char*);
    using KeycodeOf = unsigned char (*)(Display*, unsigned long);
    auto fake = reinterpret_cast<Key>(dlsym(dlopen("libXtst.so.6", RTLD_NOW), "XTestFakeKeyEvent"));
    auto keysym = reinterpret_cast<KeysymOf>(dlsym(dlopen("libX11.so.6", RTLD_NOW), "XStringToKeysym"));
    auto keycode = reinterpret_cast<KeycodeOf>(dlsym(dlopen("libX11.so.6", RTLD_NOW), "XKeysymToKeycode"));
    ASSERT_TRUE(fake && keysym && keycode);
    const unsigned code = keycode(display, keysym(name.c_str()));
    ASSERT_NE(code, 0u) << name;
    fake(display, code, down, 0);
    flush(display);
    settle();
  }
  /// Presses and releases keys named by their key symbols, one after another.
  void typeKeys(const std::vector<std::string>& names) {
    for (const auto& name : names) {
      key(name, true);
      key(name, false);
    }
  }
  /// A click of the first button at a point of a widget.
  void click(Gtk::Widget& widget, double x, double y) {
    moveTo(onScreen(widget, x, y));
    press(true);
    press(false);
  }
  /// Lets the server deliver the events and the toolkit handle them.
  static void settle() {
    for (int i = 0; i < 20; ++i) {
      g_usleep(2000);
      pumpFrames(5);
    }
  }
};

}  // namespace ViewKitWindowSupport
