// The portable names of common widget members over GTK: redraw and relayout requests, the
// spinner's running state, the on state of buttons, text alignment and the application's icon;
// the view members of the portable view protocol, drawing in a saved state, changes without
// animation, and what the clipboard can give.
#pragma once

#include <gdkmm/clipboard.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/entry.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/spinner.h>
#include <gtkmm/togglebutton.h>
#include <gtkmm/snapshot.h>
#include <gtkmm/widget.h>

#include <concepts>
#include <functional>
#include <optional>
#include <vector>

#include "Fennix/Foundation/Text/TextAttachment.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/Foundation/System/Image.h"
#include "Platform/Geometry.h"

namespace PortKit {

/// Asks for a new layout of the widget.
void setNeedsLayout(Gtk::Widget& view);
/// Asks for the widget to be drawn again.
void setNeedsDisplay(Gtk::Widget& view);
/// Asks for the widget's constraints to be brought up to date before the next layout; a table
/// cell rebuilds its own, every other widget is laid out again.
void setNeedsUpdateConstraints(Gtk::Widget& view);

/// Runs `body` between saving and restoring the drawing state of `snapshot`, so that transforms
/// and clips made inside do not reach what is drawn after.
void inOwnContext(Gtk::Snapshot& snapshot, const std::function<void()>& body);
/// Runs `body` with the animations of the widget's display switched off: transitions started
/// inside it end at once. The setting is put back afterwards.
void withDisabledAnimations(Gtk::Widget& view, const std::function<void()>& body);

// The view members of the portable view protocol, over the layout host. Frames are in the
// container's space with y growing upward; bounds are the view's own space, whose origin is
// always (0, 0) here, so setting them sets the view's size.
CGRect frame(const NSView& view);
void setFrame(NSView& view, const CGRect& frame);
CGRect bounds(const NSView& view);
void setBounds(NSView& view, const CGRect& bounds);
NSView* superview(const NSView& view);
std::vector<NSView*> subviews(const NSView& view);
void addSubview(NSView& container, NSView& view);
void removeFromSuperview(NSView& view);

/// Whether the spinner is shown (not whether it spins: a hidden spinner reports false).
bool isSpinning(const Gtk::Spinner& spinner);
/// Starts or stops the spinner; its visibility stays as it is.
void setSpinning(Gtk::Spinner& spinner, bool spinning);
/// Whether a stopped spinner shows nothing (the toolkit's default); false shows it standing still.
bool hidesWhenStopped(const Gtk::Spinner& spinner);
void setHidesWhenStopped(Gtk::Spinner& spinner, bool hides);

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

/// Whether the clipboard offers data of the type, or of any of the types.
bool canReadItem(const Gdk::Clipboard& pasteboard, const NSPasteboard::PasteboardType& withDataConformingToType);
bool canReadItem(const Gdk::Clipboard& pasteboard,
                 const std::vector<NSPasteboard::PasteboardType>& withDataConformingToTypes);

}  // namespace PortKit

/// A view under the portable names: frame and bounds, read and written, its superview and
/// subviews, adding a subview and leaving the superview.
template <typename V>
concept UXViewType = requires(V& view, const V& constView, CGRect rect) {
  { PortKit::frame(constView) } -> std::same_as<CGRect>;
  PortKit::setFrame(view, rect);
  { PortKit::bounds(constView) } -> std::same_as<CGRect>;
  PortKit::setBounds(view, rect);
  { PortKit::superview(constView) } -> std::convertible_to<NSView*>;
  PortKit::subviews(constView);
  PortKit::addSubview(view, view);
  PortKit::removeFromSuperview(view);
};

static_assert(UXViewType<NSView>);
