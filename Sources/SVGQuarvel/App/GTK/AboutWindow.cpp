#include "SVGQuarvel/App/GTK/AboutWindow.h"

#include <glibmm/markup.h>
#include <gtkmm/box.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/gesturedrag.h>
#include <gtkmm/headerbar.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/linkbutton.h>
#include <gtkmm/overlay.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/separator.h>

#include "PortKit/GTK/Accessors.h"

namespace SVGQuarvel {

namespace {

/// Lines that are too long for the window's width wrap, between words where they can.
void wrapCentred(Gtk::Label& text) {
  text.set_wrap(true);
  text.set_wrap_mode(Pango::WrapMode::WORD_CHAR);
  text.set_justify(Gtk::Justification::CENTER);
}

Gtk::Label* label(const std::string& markup, bool dim) {
  auto* text = Gtk::make_managed<Gtk::Label>();
  text->set_markup(markup);
  wrapCentred(*text);
  if (dim) text->add_css_class("dim-label");
  return text;
}

Gtk::LinkButton* link(const AboutView::Link& target) {
  auto* button = Gtk::make_managed<Gtk::LinkButton>(target.url, target.title);
  button->set_halign(Gtk::Align::CENTER);
  if (auto* text = dynamic_cast<Gtk::Label*>(button->get_child())) wrapCentred(*text);
  return button;
}

/// The window's background, the theme's window colour at 0.8 opacity; what is drawn on it (icon,
/// texts, links) stays opaque, and the flat title bar shows the same background.
constexpr const char* aboutCSS = "window.quarvel-about { background-color: alpha(@theme_bg_color, 0.8); }\n";
constexpr const char* titleBarCSS = "headerbar { background: none; box-shadow: none; border: none; }\n";

/// Moves the window when its background is dragged (past the toolkit's drag threshold); presses on
/// links and buttons stay theirs.
void moveByDraggingTheBackground(Gtk::Window& window) {
  auto drag = Gtk::GestureDrag::create();
  drag->set_button(GDK_BUTTON_PRIMARY);
  drag->signal_drag_update().connect([&window, gesture = drag.get()](double offsetX, double offsetY) {
    int threshold = 8;
    g_object_get(gtk_widget_get_settings(GTK_WIDGET(window.gobj())), "gtk-dnd-drag-threshold", &threshold, nullptr);
    if (offsetX * offsetX + offsetY * offsetY < double(threshold) * threshold) return;
    double startX = 0, startY = 0;
    gesture->get_start_point(startX, startY);
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window.gobj()));
    const auto device = gesture->get_device();
    if (surface == nullptr || !GDK_IS_TOPLEVEL(surface) || !device) return;
    // From the window's coordinates to its surface's (which may include a shadow).
    double shadowX = 0, shadowY = 0;
    gtk_native_get_surface_transform(GTK_NATIVE(window.gobj()), &shadowX, &shadowY);
    gesture->set_state(Gtk::EventSequenceState::CLAIMED);
    gdk_toplevel_begin_move(GDK_TOPLEVEL(surface), device->gobj(), int(gesture->get_current_button()),
                            startX + shadowX, startY + shadowY, gesture->get_current_event_time());
    gesture->reset();
  });
  window.add_controller(drag);
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
    heading->set_margin_top(6);
    stack->append(*heading);
    for (const auto& target : group.links) stack->append(*link(target));
  }
  if (const auto& credits = view.credits()) stack->append(*label(Glib::Markup::escape_text(*credits), true));

  // Copyright.
  if (const auto copyright = view.copyrightLink()) {
    auto* divider = Gtk::make_managed<Gtk::Separator>(Gtk::Orientation::HORIZONTAL);
    divider->set_margin_top(6);
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
  window.set_resizable(false);
  window.set_hide_on_close(true);  // closing only hides it
  // The content takes the whole window, 320 by 460 points, and the title bar lies over its top:
  // the toolkit's own title bar gives way to one that is part of the content. A text too long for
  // that room wraps, and content taller than the window scrolls rather than growing it.
  auto* noTitleBar = Gtk::make_managed<Gtk::Box>();
  noTitleBar->set_visible(false);
  window.set_titlebar(*noTitleBar);
  auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroller->set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  scroller->set_size_request(AboutView::width, AboutView::height);
  scroller->set_child(*makeAboutContent(view));
  auto* titleBar = Gtk::make_managed<Gtk::HeaderBar>();
  titleBar->add_css_class("flat");
  titleBar->set_title_widget(*Gtk::make_managed<Gtk::Label>(""));
  titleBar->set_valign(Gtk::Align::START);
  auto* content = Gtk::make_managed<Gtk::Overlay>();
  content->set_child(*scroller);
  content->add_overlay(*titleBar);
  window.set_child(*content);

  window.add_css_class("quarvel-about");
  auto style = Gtk::CssProvider::create();
  style->load_from_data(aboutCSS);
  window.get_style_context()->add_provider(style, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  auto titleBarStyle = Gtk::CssProvider::create();
  titleBarStyle->load_from_data(titleBarCSS);
  titleBar->get_style_context()->add_provider(titleBarStyle, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  moveByDraggingTheBackground(window);
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::makeKeyAndOrderFront() { window_->present(); }

}  // namespace SVGQuarvel

std::unique_ptr<SVGQuarvel::AboutWindowHandle> makeAboutWindow() {
  return std::make_unique<SVGQuarvel::AboutWindow>(AboutView());
}
