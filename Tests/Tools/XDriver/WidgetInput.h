// Input as a person gives it to the widgets of a window test that runs in the same process: finds
// a widget's place on the screen and clicks, drags, scrolls and types there through the X server.
// The events travel on a connection of their own, so each call runs the main loop afterwards until
// the toolkit has handled them.
#pragma once

#include <gtkmm/widget.h>
#include <gtkmm/window.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "XDriver.h"

namespace WidgetInput {

/// A point in root window coordinates.
using Point = std::pair<int, int>;

class Input {
 public:
  /// None unless `widget` is on an X11 display whose server has the test extension.
  static std::optional<Input> open(Gtk::Widget& widget);

  /// The screen position of the point (x, y) of `widget`; none when it is not on a surface.
  std::optional<Point> place(Gtk::Widget& widget, double x, double y) const;
  /// The screen position of the point (x, y) of `widget`, (0, 0) when it is not on a surface.
  Point onScreen(Gtk::Widget& widget, double x, double y) const;
  /// The screen position of the middle of `widget`.
  Point middleOf(Gtk::Widget& widget) const;

  void moveTo(Point at) const;
  void press(int button = 1) const;
  void release(int button = 1) const;
  /// A click of `button` at (x, y) of `widget`; false, and no click, when the widget is not on a
  /// surface.
  bool click(Gtk::Widget& widget, double x, double y, int button = 1) const;
  /// A click of the first button in the middle of `widget`.
  bool click(Gtk::Widget& widget) const;
  /// Two clicks of the first button at (x, y) of `widget`, sent together; false, and no click,
  /// when the widget is not on a surface.
  bool doubleClick(Gtk::Widget& widget, double x, double y) const;
  /// Presses at `from`, moves in `steps` steps to `to` and lets go.
  void drag(Point from, Point to, int steps = 8) const;
  /// Wheel clicks over the middle of `widget`.
  void scroll(Gtk::Widget& widget, XDriver::Session::Wheel direction, int clicks = 1) const;

  /// A key combination such as "Return", "End" or "ctrl+a"; whether every key was known.
  bool key(const std::string& combination) const;
  /// Presses or lets go of one key ("Control_L") to hold it over other input.
  bool keyDown(const std::string& name) const;
  bool keyUp(const std::string& name) const;
  /// Types ASCII text into whatever has the keyboard focus.
  bool type(const std::string& text) const;

  /// Resizes the window's surface as a window manager would.
  void resize(Gtk::Window& window, int width, int height) const;

  /// Lets the server deliver what was sent and the toolkit handle it.
  static void settle();

 private:
  explicit Input(std::unique_ptr<XDriver::Session> session) : session_(std::move(session)) {}
  std::unique_ptr<XDriver::Session> session_;
};

}  // namespace WidgetInput
