#include "SVGQuarvel/App/GTK/AboutWindow.h"

#include <glibmm/markup.h>
#include <gtkmm/box.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/linkbutton.h>
#include <gtkmm/separator.h>

#include "PortKit/GTK/Accessors.h"

namespace SVGQuarvel {

namespace {

Gtk::Label* label(const std::string& markup, bool dim) {
  auto* text = Gtk::make_managed<Gtk::Label>();
  text->set_markup(markup);
  text->set_wrap(true);
  text->set_justify(Gtk::Justification::CENTER);
  if (dim) text->add_css_class("dim-label");
  return text;
}

Gtk::LinkButton* link(const AboutView::Link& target) {
  auto* button = Gtk::make_managed<Gtk::LinkButton>(target.url, target.title);
  button->set_halign(Gtk::Align::CENTER);
  return button;
}

}  // namespace

Gtk::Widget* makeAboutContent(const AboutView& view) {
  auto* stack = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
  stack->set_halign(Gtk::Align::CENTER);
  stack->set_valign(Gtk::Align::START);
  stack->set_margin(20);

  // Header: icon, name, version.
  auto* icon = Gtk::make_managed<Gtk::Image>();
  if (const auto image = view.icon()) PortKit::setImage(*icon, *image);
  icon->set_pixel_size(128);
  icon->set_size_request(128, 128);
  icon->set_valign(Gtk::Align::START);
  stack->append(*icon);
  stack->append(*label("<span size='xx-large' weight='bold'>" + Glib::Markup::escape_text(view.title()) + "</span>",
                       false));
  stack->append(*label(Glib::Markup::escape_text(view.versionLine()), true));

  // Credits.
  for (const auto& group : AboutView::creditGroups()) {
    auto* heading = label("<span size='large'>" + Glib::Markup::escape_text(group.heading) + "</span>", true);
    heading->set_margin_top(12);
    stack->append(*heading);
    for (const auto& target : group.links) stack->append(*link(target));
  }
  if (const auto& credits = view.credits()) stack->append(*label(Glib::Markup::escape_text(*credits), true));

  // Copyright.
  if (const auto copyright = view.copyrightLink()) {
    auto* divider = Gtk::make_managed<Gtk::Separator>(Gtk::Orientation::HORIZONTAL);
    divider->set_margin_top(12);
    stack->append(*divider);
    auto* button = link(*copyright);
    button->add_css_class("dim-label");
    stack->append(*button);
  }
  return stack;
}

AboutWindow::AboutWindow(const AboutView& view) : window_(std::make_unique<Gtk::Window>()) {
  auto& window = *window_;
  window.set_title(AboutCommands::aboutItemTitle(view.info));
  window.set_default_size(AboutView::width, AboutView::height);
  window.set_resizable(false);
  window.set_hide_on_close(true);  // closing only hides it
  auto* titleBar = Gtk::make_managed<Gtk::HeaderBar>();
  titleBar->add_css_class("flat");
  titleBar->set_title_widget(*Gtk::make_managed<Gtk::Label>(""));
  window.set_titlebar(*titleBar);
  window.set_child(*makeAboutContent(view));
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::makeKeyAndOrderFront() { window_->present(); }

}  // namespace SVGQuarvel

std::unique_ptr<SVGQuarvel::AboutWindowHandle> makeAboutWindow() {
  return std::make_unique<SVGQuarvel::AboutWindow>(AboutView());
}
