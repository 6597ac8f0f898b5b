// Screens as the toolkit's monitors, with their stable identifiers, and the one shared preview
// window that a single call shows and hides.
#pragma once

#include <gdkmm/display.h>
#include <gdkmm/monitor.h>
#include <gtkmm/window.h>

#include <optional>
#include <string>

namespace Fennix {

/// The display number of a monitor: its output on X11; none elsewhere.
std::optional<long long> qvDirectDisplayID(const Glib::RefPtr<Gdk::Monitor>& monitor);
/// The main screen: the monitor of the window with the keyboard focus; without one, the primary
/// monitor (X11), else the first.
Glib::RefPtr<Gdk::Monitor> qvMainMonitor(const Glib::RefPtr<Gdk::Display>& display);
/// "MAIN" for the main screen, else "sid" and the display number in hexadecimal, else "sz" and
/// the size.
std::string qvIdentifier(const Glib::RefPtr<Gdk::Monitor>& monitor);

}  // namespace Fennix

/// The shared preview window, initially hidden.
class QLPreviewPanel {
 public:
  static bool sharedPreviewPanelExists();
  /// The shared panel, made on first use.
  static Gtk::Window& sharedPreviewPanel();
  /// Hides the panel when it exists and is visible; otherwise shows it.
  static void toggle(const void* sender = nullptr);
};
