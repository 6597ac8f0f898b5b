#include "WidgetInput.h"

#include <gtkmm/native.h>

#include <chrono>
#include <thread>

// Xlib after the toolkit: its macros must not reach the toolkit headers.
#include <gdk/x11/gdkx.h>

namespace WidgetInput {

std::optional<Input> Input::open(Gtk::Widget& widget) {
  if (!GDK_IS_X11_DISPLAY(gtk_widget_get_display(widget.gobj()))) return std::nullopt;
  auto session = std::make_unique<XDriver::Session>();
  if (!session->ok()) return std::nullopt;
  return Input(std::move(session));
}

std::optional<Point> Input::place(Gtk::Widget& widget, double x, double y) const {
  Gtk::Native* native = widget.get_native();
  if (native == nullptr || !native->get_surface()) return std::nullopt;
  double nx = 0, ny = 0, sx = 0, sy = 0;
  if (!widget.translate_coordinates(*dynamic_cast<Gtk::Widget*>(native), x, y, nx, ny)) return std::nullopt;
  native->get_surface_transform(sx, sy);
  const XDriver::Rect surface = session_->geometry(gdk_x11_surface_get_xid(native->get_surface()->gobj()));
  return Point{surface.x + int(nx + sx), surface.y + int(ny + sy)};
}

Point Input::onScreen(Gtk::Widget& widget, double x, double y) const {
  return place(widget, x, y).value_or(Point{0, 0});
}

Point Input::middleOf(Gtk::Widget& widget) const {
  return onScreen(widget, widget.get_width() / 2.0, widget.get_height() / 2.0);
}

void Input::moveTo(Point at) const {
  session_->moveTo(at.first, at.second);
  settle();
}

void Input::press(int button) const {
  session_->press(button);
  settle();
}

void Input::release(int button) const {
  session_->release(button);
  settle();
}

bool Input::click(Gtk::Widget& widget, double x, double y, int button) const {
  const std::optional<Point> at = place(widget, x, y);
  if (!at) return false;
  moveTo(*at);
  press(button);
  release(button);
  return true;
}

bool Input::doubleClick(Gtk::Widget& widget, double x, double y) const {
  const std::optional<Point> at = place(widget, x, y);
  if (!at) return false;
  moveTo(*at);
  // Both clicks go to the server at once, well within any double-click time.
  for (int i = 0; i < 2; ++i) {
    session_->press(1);
    session_->release(1);
  }
  settle();
  return true;
}

bool Input::click(Gtk::Widget& widget) const { return click(widget, widget.get_width() / 2.0, widget.get_height() / 2.0); }

void Input::drag(Point from, Point to, int steps) const {
  moveTo(from);
  press();
  for (int step = 1; step <= steps; ++step)
    moveTo({from.first + (to.first - from.first) * step / steps, from.second + (to.second - from.second) * step / steps});
  release();
}

void Input::scroll(Gtk::Widget& widget, XDriver::Session::Wheel direction, int clicks) const {
  moveTo(middleOf(widget));
  session_->scroll(direction, clicks);
  settle();
}

bool Input::key(const std::string& combination) const {
  const bool known = session_->key(combination);
  settle();
  return known;
}

bool Input::keyDown(const std::string& name) const {
  const bool known = session_->keyDown(name);
  settle();
  return known;
}

bool Input::keyUp(const std::string& name) const {
  const bool known = session_->keyUp(name);
  settle();
  return known;
}

bool Input::type(const std::string& text) const {
  const bool typed = session_->type(text, 10);
  settle();
  return typed;
}

void Input::resize(Gtk::Window& window, int width, int height) const {
  session_->resize(gdk_x11_surface_get_xid(window.get_surface()->gobj()), width, height);
  settle();
}

void Input::settle() {
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    for (int j = 0; j < 5; ++j) g_main_context_iteration(nullptr, FALSE);
  }
}

}  // namespace WidgetInput
