#include "QuarvelUtilities/GTK/ShellUtilities.h"

#include <glibmm/main.h>
#include <gtkmm/paned.h>
#include <sigc++/adaptors/track_obj.h>
#include <gtkmm/window.h>

#include "Fennix/UI/Common/Views/GTK/ViewBase.h"

namespace QuarvelUtilities {

FixedNavLink::FixedNavLink(Gtk::Widget& target) : target_(target) {
  set_visible(false);
  set_size_request(0, 0);
  // Not while the hierarchy is being rooted (a pane may not change then), but before anything of it
  // is laid out or drawn.
  rootChanged_ = property_root().signal_changed().connect([this] {
    Glib::signal_idle().connect_once(sigc::track_obj([this] { follow(); }, *this), Glib::PRIORITY_HIGH);
  });
}

FixedNavLink::FixedNavLink(const std::function<Gtk::Widget&()>& target) : FixedNavLink(target()) {}

FixedNavLink::~FixedNavLink() { rootChanged_.disconnect(); }

void FixedNavLink::follow() {
  if (!isActive_ || get_root() == nullptr) return;
  for (Gtk::Widget* above = get_parent(); above != nullptr; above = above->get_parent()) {
    auto* split = dynamic_cast<Gtk::Paned*>(above);
    if (split == nullptr) continue;
    if (split->get_end_child() != &target_) split->set_end_child(target_);
    return;
  }
}

namespace {

/// The window that has the keyboard focus, if it is shown.
Gtk::Window* keyWindow() {
  GListModel* toplevels = gtk_window_get_toplevels();
  for (guint index = 0, count = g_list_model_get_n_items(toplevels); index < count; ++index) {
    auto* window = GTK_WINDOW(g_list_model_get_item(toplevels, index));
    const bool key = gtk_window_is_active(window) && gtk_widget_get_visible(GTK_WIDGET(window));
    g_object_unref(window);
    if (key) return Glib::wrap(window);
  }
  return nullptr;
}

}  // namespace

void toggleSidebar() {
  Gtk::Window* window = keyWindow();
  if (window == nullptr) return;
  Gtk::Widget* content = window->get_child();
  if (content == nullptr) return;
  Gtk::Widget* split = Fennix::qvFirstSubview(*content, GTK_TYPE_PANED);
  if (split == nullptr || split->get_parent() == nullptr) return;
  // The split's holders, nearest first, up to the window: the first that answers toggles.
  (void)split->get_parent()->activate_action(Selectors::detailed(toggleSidebarAction));
}

void addCommands(const SparkleCommands& commands, Gio::Menu&) {
  static_assert(decltype(commands.body)::itemCount == 0, "the updater's commands add no menu items");
}

}  // namespace QuarvelUtilities
