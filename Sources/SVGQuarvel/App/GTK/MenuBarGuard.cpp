#include "SVGQuarvel/App/GTK/MenuBarGuard.h"

#include <gtk/gtk.h>

#include <vector>

namespace SVGQuarvel {

namespace {

/// Marks a popover of the bar's menus that is watched.
constexpr const char* watchedKey = "quarvel-menu-bar-guard";

/// The widgets of `type` in the tree of `widget`, itself included.
void collect(GtkWidget* widget, GType type, std::vector<GtkWidget*>& found) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type)) found.push_back(widget);
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child != nullptr;
       child = gtk_widget_get_next_sibling(child)) {
    collect(child, type, found);
  }
}

/// The menu of the bar that `popover` is part of: the outermost popover it is in.
GtkWidget* menuOf(GtkWidget* popover) {
  GtkWidget* menu = popover;
  for (GtkWidget* up = gtk_widget_get_parent(popover); up != nullptr; up = gtk_widget_get_parent(up)) {
    if (GTK_IS_POPOVER(up)) menu = up;
  }
  return menu;
}

/// A popover of the bar's menus left the screen (after the toolkit's own handler, which looked for
/// the widget under the pointer). Hidden, it closed itself rather than went with the menu it is
/// in; a menu of the bar that shows then, other than its own, opened on the toolkit's look: the
/// bar opens another menu only once the one it leaves has gone.
void unmapped(GtkWidget* popover, gpointer data) {
  if (gtk_widget_get_visible(popover)) return;
  auto* bar = static_cast<GtkWidget*>(data);
  GtkWidget* own = menuOf(popover);
  std::vector<GtkWidget*> opened;
  for (GtkWidget* title = gtk_widget_get_first_child(bar); title != nullptr;
       title = gtk_widget_get_next_sibling(title)) {
    for (GtkWidget* menu = gtk_widget_get_first_child(title); menu != nullptr; menu = gtk_widget_get_next_sibling(menu)) {
      if (GTK_IS_POPOVER(menu) && menu != own && gtk_widget_get_visible(menu)) opened.push_back(menu);
    }
  }
  for (GtkWidget* menu : opened) gtk_popover_popdown(GTK_POPOVER(menu));
}

/// The popover `popover` is in, if any: the menu a submenu belongs to.
GtkWidget* menuAbove(GtkWidget* popover) {
  GtkWidget* up = gtk_widget_get_parent(popover);
  return up != nullptr ? gtk_widget_get_ancestor(up, GTK_TYPE_POPOVER) : nullptr;
}

void watch(GtkWidget* bar);

/// A popover of the bar's menus was shown. A menu of the bar: submenus made since are watched
/// too. A submenu whose menu does not show opened by itself, on the delay the toolkit gives a
/// pointer that comes to rest on its item, after that menu had closed (the toolkit, looking again
/// for the widget under the pointer, took the pointer to be on the item, and the closed menu still
/// counts the submenu as open). It goes again at once, before any input can reach it.
void shown(GtkWidget* popover, gpointer bar) {
  GtkWidget* menu = menuAbove(popover);
  if (menu == nullptr) {
    watch(static_cast<GtkWidget*>(bar));
  } else if (!gtk_widget_get_mapped(menu)) {
    gtk_popover_popdown(GTK_POPOVER(popover));
  }
}

/// Watches each popover of `bar`'s menus, once.
void watch(GtkWidget* bar) {
  std::vector<GtkWidget*> popovers;
  collect(bar, GTK_TYPE_POPOVER, popovers);
  for (GtkWidget* popover : popovers) {
    if (g_object_get_data(G_OBJECT(popover), watchedKey) != nullptr) continue;
    g_object_set_data(G_OBJECT(popover), watchedKey, GINT_TO_POINTER(1));
    // The popovers are widgets of the bar: they go before it does.
    g_signal_connect(popover, "unmap", G_CALLBACK(unmapped), bar);
    // Once shown whole: the keyboard and the pointer it has taken are given back as it goes.
    g_signal_connect_after(popover, "show", G_CALLBACK(shown), bar);
  }
}

}  // namespace

void guardMenuBar(Gtk::Window& window) {
  // The window has made its menu bar by the time it shows.
  window.signal_map().connect([&window] {
    std::vector<GtkWidget*> bars;
    collect(GTK_WIDGET(window.gobj()), GTK_TYPE_POPOVER_MENU_BAR, bars);
    for (GtkWidget* bar : bars) watch(bar);
  });
}

}  // namespace SVGQuarvel
