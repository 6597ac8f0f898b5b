#include "Fennix/UI/Common/ViewControllers/GTK/PageTransitionsGTK.h"

#include <gtkmm/stack.h>

#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"

namespace Fennix {

namespace {

Gtk::Stack* stackOf(LayoutItem container) { return dynamic_cast<Gtk::Stack*>(widget(container)); }

void addPage(Gtk::Stack& stack, Gtk::Widget& page) {
  if (page.get_parent() == &stack) return;
  if (page.get_parent()) layoutHost()->removeFromSuperview(item(page));
  stack.add(page);
}

}  // namespace

LayoutItem GtkStackPageTransitionRunner::makeContainer() {
  auto* stack = Gtk::make_managed<Gtk::Stack>();
  stack->set_hexpand(true);
  stack->set_vexpand(true);
  return item(*stack);
}

void GtkStackPageTransitionRunner::show(LayoutItem container, LayoutItem page) {
  Gtk::Stack* stack = stackOf(container);
  Gtk::Widget* pageWidget = widget(page);
  if (!stack || !pageWidget) return PageTransitionRunner::show(container, page);
  addPage(*stack, *pageWidget);
  stack->set_transition_type(Gtk::StackTransitionType::NONE);
  stack->set_visible_child(*pageWidget);
}

void GtkStackPageTransitionRunner::remove(LayoutItem page) {
  Gtk::Widget* pageWidget = widget(page);
  if (!pageWidget) return;
  if (auto* stack = dynamic_cast<Gtk::Stack*>(pageWidget->get_parent())) {
    stack->remove(*pageWidget);
    return;
  }
  PageTransitionRunner::remove(page);
}

void GtkStackPageTransitionRunner::transition(LayoutItem container, std::optional<LayoutItem> from, LayoutItem to,
                                              NSViewControllerTransitionOptions options,
                                              std::function<void()> completion) {
  Gtk::Stack* stack = stackOf(container);
  Gtk::Widget* toWidget = widget(to);
  if (!stack || !toWidget) return PageTransitionRunner::transition(container, from, to, options, std::move(completion));
  addPage(*stack, *toWidget);
  stack->set_transition_duration(durationMilliseconds);
  const auto slide = options == NSViewControllerTransitionOptions::slideBackward ? Gtk::StackTransitionType::SLIDE_RIGHT
                                                                                 : Gtk::StackTransitionType::SLIDE_LEFT;
  stack->set_transition_type(slide);
  stack->set_visible_child(*toWidget);

  // Finishing: the page left leaves the stack, then the completion runs (once).
  auto finish = std::make_shared<std::function<void()>>([stack, from, to, completion = std::move(completion)] {
    if (from && *from != to) {
      Gtk::Widget* fromWidget = widget(*from);
      if (fromWidget && fromWidget->get_parent() == stack && stack->get_visible_child() != fromWidget)
        stack->remove(*fromWidget);
    }
    if (completion) completion();
  });
  if (!stack->get_transition_running()) {
    (*finish)();
    return;
  }
  auto connection = std::make_shared<sigc::connection>();
  *connection = stack->property_transition_running().signal_changed().connect([stack, finish, connection] {
    if (stack->get_transition_running()) return;
    connection->disconnect();
    (*finish)();
  });
}

void installPageTransitionsGTK() { setPageTransitionRunner(std::make_shared<GtkStackPageTransitionRunner>()); }

}  // namespace Fennix
