#include "Fennix/UI/Common/ViewControllers/GTK/SplitMainViewControllerGTK.h"

#include <cmath>

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

Gtk::Widget* arrangePanes(QvSplitMainVC& controller) {
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
  return outer;
}

}  // namespace

Gtk::Widget* makeSplitMainPanes(QvSplitMainVC& controller) {
  Gtk::Widget* panes = arrangePanes(controller);
  // The panes are the controller's view from now on.
  if (panes) {
    controller.panesKeepMinimumWidths = true;
    controller.setView(item(*panes));
  }
  return panes;
}

}  // namespace Fennix
