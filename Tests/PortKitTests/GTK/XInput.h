// Real input through the X server for window tests: pointer clicks and typing with xdotool, aimed
// at a widget's place on its window. Available only on an X11 display with xdotool installed.
#pragma once

#include <gdk/x11/gdkx.h>
#include <glib.h>
#include <gtkmm/native.h>
#include <gtkmm/widget.h>

#include <string>
#include <vector>

#include "FennixTests/GTK/ViewKitWindowSupport.h"

namespace XInput {

inline bool available(Gtk::Widget& widget) {
  if (!GDK_IS_X11_DISPLAY(gtk_widget_get_display(widget.gobj()))) return false;
  gchar* tool = g_find_program_in_path("xdotool");
  const bool found = tool != nullptr;
  g_free(tool);
  return found;
}

/// Runs xdotool with `arguments`; whether it succeeded.
inline bool xdotool(const std::vector<std::string>& arguments) {
  std::vector<gchar*> argv{const_cast<gchar*>("xdotool")};
  for (const std::string& argument : arguments) argv.push_back(const_cast<gchar*>(argument.c_str()));
  argv.push_back(nullptr);
  gint status = 0;
  GError* error = nullptr;
  const gboolean ran = g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
                                    nullptr, &status, &error);
  if (error) g_error_free(error);
  return ran && g_spawn_check_wait_status(status, nullptr);
}

/// Lets the server deliver the events and the toolkit handle them.
inline void settle() {
  for (int i = 0; i < 20; ++i) {
    g_usleep(2000);
    ViewKitWindowSupport::pumpFrames(5);
  }
}

/// Clicks the first button at (x, y) of `widget` (its middle when negative).
inline bool click(Gtk::Widget& widget, double x = -1, double y = -1) {
  Gtk::Native* native = widget.get_native();
  if (!native || !native->get_surface()) return false;
  if (x < 0) x = widget.get_width() / 2.0;
  if (y < 0) y = widget.get_height() / 2.0;
  double nx = 0, ny = 0, sx = 0, sy = 0;
  if (!widget.translate_coordinates(*dynamic_cast<Gtk::Widget*>(native), x, y, nx, ny)) return false;
  native->get_surface_transform(sx, sy);
  const std::string window = std::to_string(gdk_x11_surface_get_xid(native->get_surface()->gobj()));
  const bool done = xdotool({"mousemove", "--sync", "--window", window, std::to_string(int(nx + sx)),
                             std::to_string(int(ny + sy)), "click", "1"});
  settle();
  return done;
}

/// Types `text` into whatever has the keyboard focus.
inline bool type(const std::string& text) {
  const bool done = xdotool({"type", "--delay", "10", text});
  settle();
  return done;
}

/// Presses a key by its name ("Return", "Down").
inline bool key(const std::string& name) {
  const bool done = xdotool({"key", name});
  settle();
  return done;
}

}  // namespace XInput
