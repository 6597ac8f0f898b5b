// The layout host over toolkit widgets: constraints become GtkConstraint objects in the
// GtkConstraintLayout of the views' common container, identifiers are widget names, frames are
// positions in a GtkFixed (converted between the y-up frames of the kit and the toolkit's y-down
// space).
#pragma once

#include <gtkmm/widget.h>

#include <vector>

#include "Fennix/UI/Common/LayoutConstraint.h"

using NSView = Gtk::Widget;

namespace Fennix {

/// The item of a widget (a null widget gives the absent item).
LayoutItem item(const Gtk::Widget* widget);
inline LayoutItem item(const Gtk::Widget& widget) { return item(&widget); }
/// The widget of an item; null for absent items and guides.
Gtk::Widget* widget(LayoutItem item);

/// Installs the toolkit's layout host unless one is installed already. Every view of the kit
/// calls it when made; call it before laying out plain widgets.
void installToolkitLayoutHost();

/// Marks a widget as a container whose constraint layout belongs to another widget: constraints
/// and subviews of `owner` go to `holder`.
void setLayoutHolder(Gtk::Widget& owner, Gtk::Widget& holder);

/// A container that places its subviews itself, such as the panes of a split view: the host
/// adds, removes, lists and frames its subviews through it. Frames here are in the container's
/// own y-down space.
class ArrangingContainer {
 public:
  virtual ~ArrangingContainer() = default;
  /// Adds `view` at the end; the view records this container (`setArrangingContainer`).
  virtual void addArrangedSubview(Gtk::Widget& view) = 0;
  virtual void removeArrangedSubview(Gtk::Widget& view) = 0;
  virtual std::vector<Gtk::Widget*> arrangedSubviews() const = 0;
  virtual LayoutHost::Frame arrangedFrame(const Gtk::Widget& view) const = 0;
  virtual void setArrangedFrame(Gtk::Widget& view, const LayoutHost::Frame& frame) = 0;
};

/// The container that arranges `view`; null when none does.
ArrangingContainer* arrangingContainerOf(const Gtk::Widget& view);
/// The container as an arranging one; null when it is not.
ArrangingContainer* asArrangingContainer(const Gtk::Widget& container);
/// Records the container arranging `view` (null: none).
void setArrangingContainer(Gtk::Widget& view, Gtk::Widget* container);

/// The description of a view: the kit's own for its views, else the type and widget name.
std::string describeView(Gtk::Widget* view);
/// The visual format of a container's content slot.
std::string contentViewFormatOf(Gtk::Widget* container);

}  // namespace Fennix
