// The portable names of common widget members over GTK: redraw and relayout requests, the
// spinner's running state, the on state of buttons, text alignment and the application's icon.
#pragma once

#include <gtkmm/checkbutton.h>
#include <gtkmm/entry.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/spinner.h>
#include <gtkmm/togglebutton.h>
#include <gtkmm/widget.h>

#include "PortKit/Common/Image.h"

namespace PortKit {

/// Asks for a new layout of the widget.
void setNeedsLayout(Gtk::Widget& view);
/// Asks for the widget to be drawn again.
void setNeedsDisplay(Gtk::Widget& view);

/// Whether the spinner is shown (not whether it spins: a hidden spinner reports false).
bool isSpinning(const Gtk::Spinner& spinner);
/// Starts or stops the spinner; its visibility stays as it is.
void setSpinning(Gtk::Spinner& spinner, bool spinning);

/// Whether the button is on; a check button in the mixed state is not.
bool isOn(const Gtk::CheckButton& button);
bool isOn(const Gtk::ToggleButton& button);
void setOn(Gtk::CheckButton& button, bool on);
void setOn(Gtk::ToggleButton& button, bool on);

/// The horizontal alignment of a label's or an entry's text.
Gtk::Justification textAlignment(const Gtk::Label& label);
void setTextAlignment(Gtk::Label& label, Gtk::Justification alignment);
float textAlignment(const Gtk::Entry& entry);
void setTextAlignment(Gtk::Entry& entry, float alignment);

/// Shows `image` in `view`: its icon from the current icon theme.
void setImage(Gtk::Image& view, const NSImage& image);

}  // namespace PortKit
