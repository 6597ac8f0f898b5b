#include "SVGQuarvel/Views/GTK/SymbolIcon.h"

#include <gtkmm/snapshot.h>
#include <gtkmm/stylecontext.h>

#include <cmath>

namespace SVGQuarvelViews {

namespace {

void roundedRect(const Cairo::RefPtr<Cairo::Context>& cr, double x, double y, double w, double h, double r) {
  cr->begin_new_sub_path();
  cr->arc(x + w - r, y + r, r, -M_PI / 2, 0);
  cr->arc(x + w - r, y + h - r, r, 0, M_PI / 2);
  cr->arc(x + r, y + h - r, r, M_PI / 2, M_PI);
  cr->arc(x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cr->close_path();
}

// A page with a folded corner in a 16 by 16 box.
void page(const Cairo::RefPtr<Cairo::Context>& cr, double x, double y, double w, double h) {
  const double fold = 3.5;
  cr->move_to(x, y);
  cr->line_to(x + w - fold, y);
  cr->line_to(x + w, y + fold);
  cr->line_to(x + w, y + h);
  cr->line_to(x, y + h);
  cr->close_path();
}

}  // namespace

SymbolIcon::SymbolIcon(std::string name, int size) : name_(std::move(name)), size_(size) {
  set_can_target(false);
  set_valign(Gtk::Align::CENTER);
  set_halign(Gtk::Align::CENTER);
}

bool SymbolIcon::isKnown(const std::string& name) {
  return name == "sidebar.left" || name == "rectangle.split.2x1" || name == "rectangle.split.1x2" ||
         name == "arrow.down.doc" || name == "doc.on.doc";
}

void SymbolIcon::setName(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  queue_draw();
}

void SymbolIcon::measure_vfunc(Gtk::Orientation, int, int& minimum, int& natural, int& minimumBaseline,
                               int& naturalBaseline) const {
  minimum = natural = size_;
  minimumBaseline = naturalBaseline = -1;
}

void SymbolIcon::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  const double w = get_width(), h = get_height();
  if (w <= 0 || h <= 0) return;
  auto cr = snapshot->append_cairo(Gdk::Rectangle(0, 0, int(w), int(h)));
  const double scale = std::min(w, h) / 16.0;
  cr->translate((w - 16 * scale) / 2, (h - 16 * scale) / 2);
  cr->scale(scale, scale);
  const Gdk::RGBA colour = get_style_context()->get_color();
  cr->set_source_rgba(colour.get_red(), colour.get_green(), colour.get_blue(), colour.get_alpha());
  cr->set_line_width(1.25);
  cr->set_line_join(Cairo::Context::LineJoin::ROUND);
  cr->set_line_cap(Cairo::Context::LineCap::ROUND);
  if (name_ == "sidebar.left") {
    roundedRect(cr, 1.5, 2.5, 13, 11, 2);
    cr->stroke();
    cr->rectangle(2.1, 3.1, 4.4, 9.8);
    cr->fill();
  } else if (name_ == "rectangle.split.2x1") {  // two panes side by side
    roundedRect(cr, 1.5, 2.5, 13, 11, 2);
    cr->move_to(8, 2.5);
    cr->line_to(8, 13.5);
    cr->stroke();
  } else if (name_ == "rectangle.split.1x2") {  // two panes stacked
    roundedRect(cr, 1.5, 2.5, 13, 11, 2);
    cr->move_to(1.5, 8);
    cr->line_to(14.5, 8);
    cr->stroke();
  } else if (name_ == "arrow.down.doc") {
    page(cr, 3, 1.5, 10, 13);
    cr->stroke();
    cr->move_to(8, 4.5);
    cr->line_to(8, 11);
    cr->move_to(5.5, 8.5);
    cr->line_to(8, 11);
    cr->line_to(10.5, 8.5);
    cr->stroke();
  } else if (name_ == "doc.on.doc") {
    page(cr, 5.5, 1.5, 8.5, 10.5);
    cr->stroke();
    cr->move_to(3.5, 4.5);
    cr->line_to(2, 4.5);
    cr->line_to(2, 14.5);
    cr->line_to(10.5, 14.5);
    cr->line_to(10.5, 13);
    cr->stroke();
  }
}

}  // namespace SVGQuarvelViews
