#include "Fennix/UI/AppKit/GTK/Screens.h"

#include <gdk/gdk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

#include "Fennix/UI/Common/Views/ScreenIdentifier.h"

namespace Fennix {

namespace {

bool isPrimary(const Glib::RefPtr<Gdk::Monitor>& monitor) {
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = gdk_monitor_get_display(monitor->gobj());
  if (GDK_IS_X11_DISPLAY(display)) return gdk_x11_display_get_primary_monitor(display) == monitor->gobj();
#endif
  return false;
}

}  // namespace

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
    screen = {isPrimary(monitor), qvDirectDisplayID(monitor), double(geometry.get_width()),
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
