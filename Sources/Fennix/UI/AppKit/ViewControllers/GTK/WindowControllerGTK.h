// Window controllers on the toolkit: application windows with a header bar that carries the title
// and the toolbar's items; the application's window list (most recently focused first) gives the
// key window and the order from front to back. Windows cannot be placed or centred here: only
// their size is saved under the autosave name.
#pragma once

#include <gtkmm/application.h>
#include <gtkmm/window.h>

#include "Fennix/UI/AppKit/ViewControllers/WindowController.h"
#include "Fennix/UI/AppKit/Views/GTK/ToolbarStatusView.h"

namespace Fennix {

/// Installs the window kit (with the controller kits); windows join `application` when given.
void installWindowKitGTK(Glib::RefPtr<Gtk::Application> application = {});

/// A handle around an existing toolkit window, for `QvWindowController::withWindow`; the handle
/// takes the window over (and destroys it with itself). None for no window.
std::shared_ptr<WindowHandle> windowHandle(Gtk::Window* window);

/// The toolkit window of a controller (building it); null when it has none.
Gtk::Window* toolkitWindow(QvWindowController& controller);
/// The controller of a toolkit window.
QvWindowController* windowController(Gtk::Window& window);
/// The items of the controller's toolbar that validate themselves (those with a view and an
/// action), in toolbar order. The window validates them when its focus moves, when an action's
/// enabled state changes, and every half second while it is shown.
std::vector<std::shared_ptr<QvToolbarItem>> validatedToolbarItems(QvWindowController& controller);

/// The first window controller passing the test: the key window's, the main window's, then front
/// to back.
QvWindowController* firstWindowController(Gtk::Application& application,
                                          const std::function<bool(QvWindowController&)>& test);
template <typename T>
T* firstWindowController(Gtk::Application& application) {
  return dynamic_cast<T*>(
      firstWindowController(application, [](QvWindowController& wc) { return dynamic_cast<T*>(&wc) != nullptr; }));
}
/// Only the key window's controller, then the main window's, when it is a T.
template <typename T>
T* keyOrMainWindowController(Gtk::Application& application) {
  Gtk::Window* active = application.get_active_window();
  return active ? dynamic_cast<T*>(windowController(*active)) : nullptr;
}

}  // namespace Fennix
