// Tabs for view controllers: a notebook page per controller, given as a controller, a class or a
// class name. The notebook keeps the controllers of its pages.
#pragma once

#include <gdkmm/paintable.h>
#include <gtkmm/notebook.h>

#include <optional>
#include <string>
#include <variant>

#include "Fennix/UI/Common/ViewControllers/ViewController.h"

/// One tab: its controller and, once added, its image.
struct NSTabViewItem {
  NSViewController::Ptr viewController;
  std::optional<std::variant<Glib::RefPtr<Gdk::Paintable>, std::string>> image;
};

namespace Fennix {

/// A new item for the controller; none for any other value or a name that makes no controller.
/// Existing pages are not looked at.
std::optional<NSTabViewItem> qvItemWithViewController(Gtk::Notebook& tabView, const NSViewController::ChildSpec& vc);

/// Makes the item, sets its image (a paintable, or an icon by name), adds it as a page whose view
/// fills the tab; none when no item could be made (nothing is added then).
std::optional<NSTabViewItem> qvAddViewController(
    Gtk::Notebook& tabView, const NSViewController::ChildSpec& vc,
    const std::optional<std::variant<Glib::RefPtr<Gdk::Paintable>, std::string>>& image = std::nullopt);

/// The controller of a page added by `qvAddViewController`.
NSViewController::Ptr tabViewController(Gtk::Widget& page);

}  // namespace Fennix
