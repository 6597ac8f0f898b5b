// A table or outline cell on the toolkit: a widget, with its text label when it is a label. The
// cell holds the widget; a widget that never reached a row goes with its last cell.
#pragma once

#include <gtkmm/label.h>
#include <gtkmm/widget.h>

#include <functional>
#include <string>

#include "Fennix/UI/Common/ViewControllers/TableCells.h"

namespace Fennix {

class GtkTableCellView : public TableCellView {
 public:
  /// `text` turns a value (empty for none) into the label's text.
  GtkTableCellView(Gtk::Widget& widget, std::string identifier, std::function<std::string(const std::any&)> text)
      : widget_(&widget), identifier_(std::move(identifier)), text_(std::move(text)) {
    g_object_ref(widget_->gobj());
  }
  ~GtkTableCellView() override {
    GObject* object = G_OBJECT(widget_->gobj());
    // Still floating: no row took it, and nobody else will.
    if (g_object_is_floating(object)) {
      g_object_ref_sink(object);
      g_object_unref(object);
    }
    g_object_unref(object);
  }
  GtkTableCellView(const GtkTableCellView&) = delete;
  GtkTableCellView& operator=(const GtkTableCellView&) = delete;

  Gtk::Widget& widget() const { return *widget_; }
  std::string reuseIdentifier() const override { return identifier_; }
  bool setObjectValue(const std::any& value) override {
    auto* label = dynamic_cast<Gtk::Label*>(widget_);
    if (!label) return false;
    label->set_text(text(value));
    return true;
  }
  /// The text of a value (empty for none).
  std::string text(const std::any& value) const { return text_ ? text_(value) : std::string(); }
  double fittingHeight(double width) override {
    int minimum = 0, natural = 0, minimumBaseline = -1, naturalBaseline = -1;
    widget_->measure(Gtk::Orientation::VERTICAL, width > 0 ? static_cast<int>(width) : -1, minimum, natural,
                     minimumBaseline, naturalBaseline);
    return natural;
  }

 private:
  Gtk::Widget* widget_;
  std::string identifier_;
  std::function<std::string(const std::any&)> text_;
};

}  // namespace Fennix
