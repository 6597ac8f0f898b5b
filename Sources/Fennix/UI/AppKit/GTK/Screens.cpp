#include "Fennix/UI/AppKit/GTK/Screens.h"

#include <gdk/gdk.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

#include "Fennix/UI/Common/Views/ScreenIdentifier.h"

namespace Fennix {

namespace {

// The monitor of the active window (the one with the keyboard focus) of the display, if any.
GdkMonitor* activeWindowMonitor(GdkDisplay* display) {
  GListModel* toplevels = gtk_window_get_toplevels();
  const guint count = g_list_model_get_n_items(toplevels);
  GdkMonitor* found = nullptr;
  for (guint index = 0; index < count && found == nullptr; ++index) {
    auto* window = static_cast<GtkWindow*>(g_list_model_get_item(toplevels, index));
    if (gtk_window_is_active(window) && gtk_widget_get_display(GTK_WIDGET(window)) == display) {
      if (GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window))) {
        found = gdk_display_get_monitor_at_surface(display, surface);
      }
    }
    g_object_unref(window);
  }
  return found;
}

}  // namespace

Glib::RefPtr<Gdk::Monitor> qvMainMonitor(const Glib::RefPtr<Gdk::Display>& display) {
  if (!display) return {};
  GdkMonitor* monitor = activeWindowMonitor(display->gobj());
#ifdef GDK_WINDOWING_X11
  // Without a focused window, the screen the desktop calls primary.
  if (monitor == nullptr && GDK_IS_X11_DISPLAY(display->gobj())) {
    monitor = gdk_x11_display_get_primary_monitor(display->gobj());
  }
#endif
  if (monitor != nullptr) return Glib::wrap(monitor, true);
  auto monitors = display->get_monitors();
  if (!monitors || monitors->get_n_items() == 0) return {};
  return Glib::wrap(static_cast<GdkMonitor*>(g_list_model_get_item(monitors->gobj(), 0)), false);
}

std::optional<long long> qvDirectDisplayID(const Glib::RefPtr<Gdk::Monitor>& monitor) {
#ifdef GDK_WINDOWING_X11
  if (monitor && GDK_IS_X11_MONITOR(monitor->gobj())) {
    return static_cast<long long>(gdk_x11_monitor_get_output(monitor->gobj()));
  }
#endif
  return std::nullopt;
}

std::string qvIdentifier(const Glib::RefPtr<Gdk::Monitor>& monitor) {
  ScreenDescription screen;
  if (monitor) {
    Gdk::Rectangle geometry;
    monitor->get_geometry(geometry);
    const bool isMain = qvMainMonitor(monitor->get_display()) == monitor;
    screen = {isMain, qvDirectDisplayID(monitor), double(geometry.get_width()),
              double(geometry.get_height())};
  }
  return screenIdentifier(screen);
}

}  // namespace Fennix

namespace {
Gtk::Window* sharedPanel = nullptr;
}

bool QLPreviewPanel::sharedPreviewPanelExists() { return sharedPanel != nullptr; }

Gtk::Window& QLPreviewPanel::sharedPreviewPanel() {
  if (!sharedPanel) {
    // Kept for the life of the process, like the panel it stands for.
    sharedPanel = new Gtk::Window();
    sharedPanel->set_title("Preview");
    sharedPanel->set_hide_on_close(true);
    sharedPanel->set_default_size(400, 300);
  }
  return *sharedPanel;
}

void QLPreviewPanel::toggle(const void*) {
  if (sharedPreviewPanelExists() && sharedPanel->get_visible()) {
    sharedPanel->hide();
  } else {
    Gtk::Window& panel = sharedPreviewPanel();
    panel.present();
  }
}
