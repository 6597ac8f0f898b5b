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

/// The menus of `bar` (its titles' popovers).
std::vector<GtkWidget*> menusOf(GtkWidget* bar) {
  std::vector<GtkWidget*> menus;
  for (GtkWidget* title = gtk_widget_get_first_child(bar); title != nullptr;
       title = gtk_widget_get_next_sibling(title)) {
    for (GtkWidget* menu = gtk_widget_get_first_child(title); menu != nullptr; menu = gtk_widget_get_next_sibling(menu)) {
      if (GTK_IS_POPOVER(menu)) menus.push_back(menu);
    }
  }
  return menus;
}

/// The window's focus, left in a menu of `bar` that no longer shows, goes to the menu's title in the
/// bar (from where the window's content takes it back). The toolkit moves it only once the window
/// has the keyboard of the display again, which comes as an event after those already on their way:
/// until then, the keys typed after the menu closed would go to the item it left the focus on, and
/// the toolkit drops a key for a widget that is not on the screen.
void releaseFocus(GtkWidget* bar, GtkWidget* menu) {
  auto* window = GTK_WINDOW(gtk_widget_get_root(bar));
  GtkWidget* focus = window != nullptr ? gtk_window_get_focus(window) : nullptr;
  if (focus == nullptr || (focus != menu && !gtk_widget_is_ancestor(focus, menu))) return;
  for (GtkWidget* shown : menusOf(bar)) {
    if (gtk_widget_get_mapped(shown)) return;
  }
  gtk_widget_grab_focus(gtk_widget_get_parent(menu));
}

/// A popover of the bar's menus left the screen (after the toolkit's own handler, which looked for
/// the widget under the pointer). Hidden, it closed itself rather than went with the menu it is
/// in; a menu of the bar that shows then, other than its own, opened on the toolkit's look: the
/// bar opens another menu only once the one it leaves has gone. The focus leaves it at once.
void unmapped(GtkWidget* popover, gpointer data) {
  if (gtk_widget_get_visible(popover)) return;
  auto* bar = static_cast<GtkWidget*>(data);
  GtkWidget* own = menuOf(popover);
  for (GtkWidget* menu : menusOf(bar)) {
    if (menu != own && gtk_widget_get_visible(menu)) gtk_popover_popdown(GTK_POPOVER(menu));
  }
  releaseFocus(bar, own);
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

/// The pointer's coming into a title's own menu is no longer taken for its coming onto the title.
void limitTitles(GtkWidget* bar) {
  for (GtkWidget* title = gtk_widget_get_first_child(bar); title != nullptr;
       title = gtk_widget_get_next_sibling(title)) {
    GListModel* controllers = gtk_widget_observe_controllers(title);
    for (guint index = 0; index < g_list_model_get_n_items(controllers); ++index) {
      auto* controller = static_cast<GtkEventController*>(g_list_model_get_item(controllers, index));
      if (GTK_IS_EVENT_CONTROLLER_MOTION(controller)) {
        gtk_event_controller_set_propagation_limit(controller, GTK_LIMIT_SAME_NATIVE);
      }
      g_object_unref(controller);
    }
    g_object_unref(controllers);
  }
}

/// Watches each popover of `bar`'s menus, once.
void watch(GtkWidget* bar) {
  limitTitles(bar);
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
