#include "Fennix/UI/Common/ViewControllers/GTK/SplitMainViewControllerGTK.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"

namespace Fennix {

namespace {

Gtk::Paned* makePaned() {
  auto* paned = Gtk::make_managed<Gtk::Paned>(Gtk::Orientation::HORIZONTAL);
  paned->set_wide_handle(false);
  return paned;
}

}  // namespace

namespace {

/// The dividers' paned widgets, left to right (the first divider's, then the second's).
using Dividers = std::vector<Gtk::Paned*>;

Gtk::Widget* arrangePanes(QvSplitMainVC& controller, Dividers& dividers) {
  std::vector<Gtk::Widget*> panes;
  if (controller.childClasses) {
    for (const auto& name : *controller.childClasses) {
      auto child = NSViewController::qvNew(name);
      if (!child) continue;
      controller.uxAddChild(child);
      if (Gtk::Widget* pane = controllerWidget(*child)) panes.push_back(pane);
    }
  }
  if (panes.empty()) return nullptr;
  if (panes.size() == 1) return panes.front();

  Gtk::Widget* left = panes[0];
  left->set_size_request(static_cast<int>(std::ceil(controller.sourceListMinimumWidth)), -1);
  auto* inner = makePaned();
  inner->set_start_child(*left);
  inner->set_resize_start_child(false);
  inner->set_shrink_start_child(false);
  inner->set_end_child(*panes[1]);
  inner->set_resize_end_child(true);
  inner->set_shrink_end_child(false);
  panes[1]->set_hexpand(true);
  dividers.push_back(inner);
  if (panes.size() == 2) return inner;

  // Further panes go right of the middle one; the last keeps the property list's minimum.
  Gtk::Widget* rest = panes.back();
  rest->set_size_request(static_cast<int>(std::ceil(controller.propertyListMinimumWidth)), -1);
  for (std::size_t i = panes.size() - 2; i >= 2; --i) {
    auto* between = makePaned();
    between->set_start_child(*panes[i]);
    between->set_resize_start_child(false);
    between->set_shrink_start_child(false);
    between->set_end_child(*rest);
    between->set_resize_end_child(false);
    between->set_shrink_end_child(false);
    rest = between;
  }
  auto* outer = makePaned();
  outer->set_start_child(*inner);
  outer->set_resize_start_child(true);
  outer->set_shrink_start_child(false);
  outer->set_end_child(*rest);
  outer->set_resize_end_child(false);
  outer->set_shrink_end_child(false);
  dividers.push_back(outer);
  return outer;
}

}  // namespace

/// Lets the controller, the split view's delegate, limit where a divider goes: a position the
/// user or the toolkit gives is moved into the controller's bounds.
void limitDivider(QvSplitMainVC& controller, Gtk::Widget& split, Gtk::Paned& paned, long index) {
  std::weak_ptr<NSViewController> weak = controller.weak_from_this();
  paned.property_position().signal_changed().connect([weak, &split, &paned, index] {
    auto owner = std::dynamic_pointer_cast<QvSplitMainVC>(weak.lock());
    if (!owner || !paned.property_position_set().get_value() || split.get_width() <= 0) return;
    // The divider's position in the split view: the start of its paned widget plus its own.
    double originX = 0, originY = 0;
    if (&paned != &split && !paned.translate_coordinates(split, 0, 0, originX, originY)) return;
    const double proposed = originX + paned.get_position();
    double limited = owner->constrainMinCoordinate(item(split), proposed, index);
    limited = owner->constrainMaxCoordinate(item(split), limited, index);
    const int position = static_cast<int>(std::lround(limited - originX));
    if (position != paned.get_position()) paned.set_position(position);
  });
}

Gtk::Widget* makeSplitMainPanes(QvSplitMainVC& controller) {
  Dividers dividers;
  Gtk::Widget* panes = arrangePanes(controller, dividers);
  if (panes)
    for (std::size_t index = 0; index < dividers.size(); ++index)
      limitDivider(controller, *panes, *dividers[index], static_cast<long>(index));
  // The panes are the controller's view from now on.
  if (panes) {
    controller.panesKeepMinimumWidths = true;
    controller.setView(item(*panes));
  }
  return panes;
}

}  // namespace Fennix
