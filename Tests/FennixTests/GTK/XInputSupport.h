// Input as a person gives it, through the X server: pointer motion and buttons of the test
// extension, and window resizes, loaded at run time; none without an X display or the extension.
#pragma once

#include <dlfcn.h>
#include <gdk/x11/gdkx.h>
#include <gtkmm/native.h>
#include <gtkmm/window.h>

#include <optional>
#include <utility>

#include "ViewKitWindowSupport.h"

namespace XInputSupport {

struct XInput {
  using Motion = int (*)(Display*, int, int, int, unsigned long);
  using Button = int (*)(Display*, unsigned, int, unsigned long);
  using Translate = int (*)(Display*, Window, Window, int, int, int*, int*, Window*);
  using Resize = int (*)(Display*, Window, unsigned, unsigned);
  using Flush = int (*)(Display*);
  Motion motion = nullptr;
  Button button = nullptr;
  Translate translate = nullptr;
  Resize resizeWindow = nullptr;
  Flush flush = nullptr;
  Display* display = nullptr;

  static std::optional<XInput> open(Gtk::Widget& widget) {
    GdkDisplay* gdkDisplay = gtk_widget_get_display(widget.gobj());
    if (!GDK_IS_X11_DISPLAY(gdkDisplay)) return std::nullopt;
    void* library = dlopen("libXtst.so.6", RTLD_NOW);
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    if (!library || !x11) return std::nullopt;
    XInput input;
    input.motion = reinterpret_cast<Motion>(dlsym(library, "XTestFakeMotionEvent"));
    input.button = reinterpret_cast<Button>(dlsym(library, "XTestFakeButtonEvent"));
    input.translate = reinterpret_cast<Translate>(dlsym(x11, "XTranslateCoordinates"));
    input.resizeWindow = reinterpret_cast<Resize>(dlsym(x11, "XResizeWindow"));
    input.flush = reinterpret_cast<Flush>(dlsym(x11, "XFlush"));
    input.display = gdk_x11_display_get_xdisplay(gdkDisplay);
    if (!input.motion || !input.button || !input.translate || !input.resizeWindow || !input.flush)
      return std::nullopt;
    return input;
  }
  /// The screen position of a point of `widget`.
  std::pair<int, int> onScreen(Gtk::Widget& widget, double x, double y) const {
    Gtk::Native* native = widget.get_native();
    double nx = 0, ny = 0, sx = 0, sy = 0;
    widget.translate_coordinates(*dynamic_cast<Gtk::Widget*>(native), x, y, nx, ny);
    native->get_surface_transform(sx, sy);
    Window child = 0;
    int rootX = 0, rootY = 0;
    translate(display, gdk_x11_surface_get_xid(native->get_surface()->gobj()), DefaultRootWindow(display),
              int(nx + sx), int(ny + sy), &rootX, &rootY, &child);
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
  /// Presses at `from`, moves in steps to `to` and lets go.
  void drag(std::pair<int, int> from, std::pair<int, int> to, int steps = 8) {
    moveTo(from);
    press(true);
    for (int step = 1; step <= steps; ++step)
      moveTo({from.first + (to.first - from.first) * step / steps,
              from.second + (to.second - from.second) * step / steps});
    press(false);
  }
  /// Resizes the window's surface as a window manager would.
  void resize(Gtk::Window& window, int width, int height) {
    resizeWindow(display, gdk_x11_surface_get_xid(window.get_surface()->gobj()), unsigned(width), unsigned(height));
    flush(display);
    settle();
  }
  /// Lets the server deliver the events and the toolkit handle them.
  static void settle() {
    for (int i = 0; i < 20; ++i) {
      g_usleep(2000);
      ViewKitWindowSupport::pumpFrames(5);
    }
  }
};

}  // namespace XInputSupport
