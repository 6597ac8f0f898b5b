// Small pieces the application shell uses: the link that fills a navigation view's detail column
// from the start, the sidebar toggle of the active window, and the menu commands of the updater.
#pragma once

#include <giomm/menu.h>
#include <gtkmm/widget.h>

#include <functional>

#include "QuarvelUtilities/Selectors.h"
#include "QuarvelUtilities/SparkleCommands.h"

namespace QuarvelUtilities {

/// A hidden link, active from the start, placed somewhere inside a navigation view (the sidebar
/// of a split): as soon as it is in a window it shows its target in the view's detail column (the
/// end pane of the nearest split above it) and keeps it there; nothing deactivates it.
class FixedNavLink : public Gtk::Widget {
 public:
  explicit FixedNavLink(Gtk::Widget& target);
  /// Calls `target` once for the widget to show.
  explicit FixedNavLink(const std::function<Gtk::Widget&()>& target);
  ~FixedNavLink() override;

  bool isActive() const { return isActive_; }
  Gtk::Widget& target() const { return target_; }

 private:
  /// Shows the target in the detail column when the link is active and inside a split.
  void follow();

  bool isActive_ = true;
  Gtk::Widget& target_;
  sigc::connection rootChanged_;
};

/// The action, in the group of `Selectors`, that collapses or expands the sidebar of a split,
/// answered by a widget that holds the split (or by its window).
inline constexpr const char* toggleSidebarAction = "toggle-sidebar";

/// Collapses or expands the sidebar of the active window: sends `toggleSidebarAction` from the
/// first split below the window's content up through the widgets that hold it. Does nothing when
/// no window is active, the window has no content or no split, or nothing above the split answers.
void toggleSidebar();

/// Adds the commands of `commands` to the menu bar: nothing.
void addCommands(const SparkleCommands& commands, Gio::Menu& menuBar);

}  // namespace QuarvelUtilities
