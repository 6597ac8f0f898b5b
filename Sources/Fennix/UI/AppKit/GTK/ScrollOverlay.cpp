#include "Fennix/UI/AppKit/GTK/ScrollOverlay.h"

#include <algorithm>

#include <gtkmm/adjustment.h>
#include <gtkmm/eventcontrollerscroll.h>
#include <gtkmm/scrolledwindow.h>

#include "Fennix/UI/Common/GTK/AutoLayoutGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/ControllerKitsGTK.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"

Gtk::Widget& QvVerticalScrollOverlayView::wrap(Gtk::Widget& view) {
  Fennix::installControllerKitsGTK();
  auto* container = QvViewBase::make<QvViewBase>();
  auto* overlay = Gtk::make_managed<QvVerticalScrollOverlayView>();
  auto* host = Fennix::layoutHost();
  host->prepareForConstraints(Fennix::item(view));
  host->addSubview(Fennix::item(*container), Fennix::item(view));
  host->prepareForConstraints(Fennix::item(*overlay));
  host->addSubview(Fennix::item(*container), Fennix::item(*overlay));
  NSLayoutConstraintList pins = constrain(Fennix::item(view), Fennix::item(*container), NSEdgeInsets{});
  auto overlayPins = constrain(Fennix::item(*overlay), Fennix::item(*container), NSEdgeInsets{});
  pins.insert(pins.end(), overlayPins.begin(), overlayPins.end());
  NSLayoutConstraint::activate(pins);
  return *container;
}

QvVerticalScrollOverlayView::QvVerticalScrollOverlayView() : Glib::ObjectBase("QvVerticalScrollOverlayView") {
  auto scroll = Gtk::EventControllerScroll::create();
  scroll->set_flags(Gtk::EventControllerScroll::Flags::BOTH_AXES);
  scroll->signal_scroll().connect([this](double dx, double dy) { return scrollWheel(dx, dy); }, false);
  add_controller(scroll);
}

bool QvVerticalScrollOverlayView::scrollWheel(double dx, double dy) {
  Gtk::Widget* superview = get_parent();
  // A base view's subviews sit in its holder: the view is the superview.
  if (auto* base = superview ? dynamic_cast<QvViewBase*>(superview->get_parent()) : nullptr; base && &base->holder() == superview)
    superview = base;
  if (dx == 0) return false;  // on to the surroundings
  if (!superview) return false;
  auto* scroller = dynamic_cast<Gtk::ScrolledWindow*>(superview);
  if (!scroller) {
    auto found = qvSubview(Fennix::item(*superview), QvViewSearchOptions::deep(), [](Fennix::LayoutItem candidate) {
      return dynamic_cast<Gtk::ScrolledWindow*>(Fennix::widget(candidate)) != nullptr;
    });
    if (found) scroller = dynamic_cast<Gtk::ScrolledWindow*>(Fennix::widget(*found));
  }
  if (!scroller) return true;  // no scroller to take it: dropped
  // The scroller takes the whole motion: a diagonal one moves it both ways.
  const auto move = [](const Glib::RefPtr<Gtk::Adjustment>& adjustment, double delta) {
    if (!adjustment || delta == 0) return;
    double step = adjustment->get_step_increment() > 0 ? adjustment->get_step_increment() : 20;
    double value = adjustment->get_value() + delta * step;
    // Content smaller than the viewport leaves nothing to scroll: the range is just its start.
    const double lower = adjustment->get_lower();
    const double upper = std::max(lower, adjustment->get_upper() - adjustment->get_page_size());
    adjustment->set_value(std::clamp(value, lower, upper));
  };
  move(scroller->get_hadjustment(), dx);
  move(scroller->get_vadjustment(), dy);
  return true;
}
