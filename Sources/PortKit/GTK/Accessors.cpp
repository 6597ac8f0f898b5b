#include "PortKit/GTK/Accessors.h"

#include <gtkmm/cssprovider.h>
#include <gtkmm/settings.h>
#include <gtkmm/stylecontext.h>

#include "Fennix/UI/AppKit/GTK/DividerTextAttachmentView.h"
#include "PortKit/GTK/TableViewCell.h"

namespace PortKit {

void setNeedsLayout(Gtk::Widget& view) { view.queue_resize(); }

void setNeedsDisplay(Gtk::Widget& view) { view.queue_draw(); }

void setNeedsUpdateConstraints(Gtk::Widget& view) {
  if (auto* cell = dynamic_cast<NSTableViewCell*>(&view)) {
    cell->setNeedsUpdateConstraints();
  } else {
    // A constraint layout brings its constraints up to date when it lays out again.
    view.queue_resize();
  }
}

void inOwnContext(Gtk::Snapshot& snapshot, const std::function<void()>& body) {
  snapshot.save();
  body();
  snapshot.restore();
}

void withDisabledAnimations(Gtk::Widget& view, const std::function<void()>& body) {
  GtkSettings* settings = gtk_settings_get_for_display(view.get_display()->gobj());
  gboolean enabled = FALSE;
  g_object_get(settings, "gtk-enable-animations", &enabled, nullptr);
  g_object_set(settings, "gtk-enable-animations", FALSE, nullptr);
  struct Restore {
    GtkSettings* settings;
    gboolean enabled;
    ~Restore() { g_object_set(settings, "gtk-enable-animations", enabled, nullptr); }
  } restore{settings, enabled};
  body();
}

namespace {

Fennix::LayoutHost& host() {
  Fennix::installToolkitLayoutHost();
  return *Fennix::layoutHost();
}

}  // namespace

CGRect frame(const NSView& view) {
  const auto frame = host().frame(Fennix::item(view));
  return CGRect(frame.x, frame.y, frame.width, frame.height);
}

void setFrame(NSView& view, const CGRect& frame) {
  host().setFrame(Fennix::item(view), {frame.origin.x, frame.origin.y, frame.size.width, frame.size.height});
}

CGRect bounds(const NSView& view) {
  const auto frame = host().frame(Fennix::item(view));
  return CGRect(0, 0, frame.width, frame.height);
}

void setBounds(NSView& view, const CGRect& bounds) {
  CGRect changed = frame(view);
  changed.size = bounds.size;
  setFrame(view, changed);
}

NSView* superview(const NSView& view) {
  const auto parent = host().superviewOf(Fennix::item(view));
  return parent ? Fennix::widget(*parent) : nullptr;
}

std::vector<NSView*> subviews(const NSView& view) {
  std::vector<NSView*> views;
  for (Fennix::LayoutItem item : host().subviewsOf(Fennix::item(view)))
    if (NSView* subview = Fennix::widget(item)) views.push_back(subview);
  return views;
}

void addSubview(NSView& container, NSView& view) { host().addSubview(Fennix::item(container), Fennix::item(view)); }

void removeFromSuperview(NSView& view) { host().removeFromSuperview(Fennix::item(view)); }

bool isSpinning(const Gtk::Spinner& spinner) { return spinner.get_visible(); }

void setSpinning(Gtk::Spinner& spinner, bool spinning) {
  if (spinning) {
    spinner.start();
  } else {
    spinner.stop();
  }
}

namespace {

// The theme hides a stopped spinner; this class shows it standing still.
constexpr const char* displayedWhenStopped = "quarvel-displayed-when-stopped";

void installStoppedSpinnerStyle(Gtk::Widget& spinner) {
  auto display = spinner.get_display();
  static constexpr const char* installedKey = "quarvel-stopped-spinner-style";
  if (g_object_get_data(G_OBJECT(display->gobj()), installedKey)) return;
  auto provider = Gtk::CssProvider::create();
  provider->load_from_data(std::string("spinner.") + displayedWhenStopped + " { opacity: 1; }");
  Gtk::StyleContext::add_provider_for_display(display, provider, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_set_data(G_OBJECT(display->gobj()), installedKey, GINT_TO_POINTER(1));
}

}  // namespace

bool hidesWhenStopped(const Gtk::Spinner& spinner) { return !spinner.has_css_class(displayedWhenStopped); }

void setHidesWhenStopped(Gtk::Spinner& spinner, bool hides) {
  if (hides) {
    spinner.remove_css_class(displayedWhenStopped);
  } else {
    installStoppedSpinnerStyle(spinner);
    spinner.add_css_class(displayedWhenStopped);
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

bool canReadItem(const Gdk::Clipboard& pasteboard, const NSPasteboard::PasteboardType& withDataConformingToType) {
  return canReadItem(pasteboard, std::vector<NSPasteboard::PasteboardType>{withDataConformingToType});
}

bool canReadItem(const Gdk::Clipboard& pasteboard,
                 const std::vector<NSPasteboard::PasteboardType>& withDataConformingToTypes) {
  auto formats = pasteboard.get_formats();
  if (!formats) return false;
  for (const NSPasteboard::PasteboardType& type : withDataConformingToTypes)
    if (formats->contain_mime_type(Fennix::GTK::mimeType(type))) return true;
  return false;
}

}  // namespace PortKit
