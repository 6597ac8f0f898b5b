// The toolkit's views for controllers: plain constraint-laid-out views, scrolled windows, labels,
// boxes as stacks, and web views; a controller hears of its view being shown and hidden through
// the widget's map and unmap.
#pragma once

#include <gtkmm/widget.h>

#include "Fennix/UI/Common/ViewControllers/ViewController.h"
#include "Fennix/UI/Common/ViewControllers/WebViewController.h"

namespace Fennix {

/// Installs the toolkit's layout host, controller view kit, split views, page slides and web view
/// kit (once).
void installControllerKitsGTK();

/// The widget of a controller's view (loading it); null without one.
Gtk::Widget* controllerWidget(NSViewController& controller);

}  // namespace Fennix
