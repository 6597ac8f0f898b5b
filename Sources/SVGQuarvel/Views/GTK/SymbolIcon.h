// The window's toolbar symbols, drawn in code in the foreground colour (as symbolic icons are),
// so that they show on any machine whatever icon theme it has.
#pragma once

#include <gtkmm/widget.h>

#include <string>

namespace SVGQuarvelViews {

class SymbolIcon : public Gtk::Widget {
 public:
  /// One of "sidebar.left", "rectangle.split.2x1", "rectangle.split.1x2", "arrow.down.doc",
  /// "doc.on.doc"; other names draw nothing.
  explicit SymbolIcon(std::string name, int size = 16);
  const std::string& name() const { return name_; }
  void setName(std::string name);

  static bool isKnown(const std::string& name);

 protected:
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;
  void measure_vfunc(Gtk::Orientation orientation, int forSize, int& minimum, int& natural, int& minimumBaseline,
                     int& naturalBaseline) const override;

 private:
  std::string name_;
  int size_;
};

}  // namespace SVGQuarvelViews
