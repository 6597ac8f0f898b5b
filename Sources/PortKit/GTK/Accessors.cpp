#include "PortKit/GTK/Accessors.h"

namespace PortKit {

void setNeedsLayout(Gtk::Widget& view) { view.queue_resize(); }

void setNeedsDisplay(Gtk::Widget& view) { view.queue_draw(); }

bool isSpinning(const Gtk::Spinner& spinner) { return spinner.get_visible(); }

void setSpinning(Gtk::Spinner& spinner, bool spinning) {
  if (spinning) {
    spinner.start();
  } else {
    spinner.stop();
  }
}

bool isOn(const Gtk::CheckButton& button) { return button.get_active() && !button.get_inconsistent(); }

bool isOn(const Gtk::ToggleButton& button) { return button.get_active(); }

void setOn(Gtk::CheckButton& button, bool on) {
  button.set_inconsistent(false);
  button.set_active(on);
}

void setOn(Gtk::ToggleButton& button, bool on) { button.set_active(on); }

Gtk::Justification textAlignment(const Gtk::Label& label) { return label.get_justify(); }

void setTextAlignment(Gtk::Label& label, Gtk::Justification alignment) {
  label.set_justify(alignment);
  label.set_xalign(alignment == Gtk::Justification::RIGHT    ? 1.0f
                   : alignment == Gtk::Justification::CENTER ? 0.5f
                                                             : 0.0f);
}

float textAlignment(const Gtk::Entry& entry) { return entry.get_alignment(); }

void setTextAlignment(Gtk::Entry& entry, float alignment) { entry.set_alignment(alignment); }

void setImage(Gtk::Image& view, const NSImage& image) { view.set_from_icon_name(image.name); }

}  // namespace PortKit
