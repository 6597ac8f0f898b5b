#include "Fennix/UI/AppKit/Views/GTK/ImageButton.h"

#include <gtk/gtk.h>
#include <gtkmm/constraintlayout.h>
#include <gtkmm/snapshot.h>
#include <pangomm/attrlist.h>

#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"

QvImageButton::QvImageButton() : Glib::ObjectBase("QvImageButton") {
  Fennix::installToolkitLayoutHost();
  set_layout_manager(Gtk::ConstraintLayout::create());
  views_.image = Gtk::make_managed<VibrantImage>();
  views_.label = Gtk::make_managed<Gtk::Label>("");
  views_.label->set_justify(Gtk::Justification::CENTER);
  views_.label->set_xalign(0.5);
  // The label lies below the image.
  views_.label->set_parent(*this);
  views_.image->set_parent(*this);
  signal_destroy().connect([this] { tearDown(); });

  auto drag = Gtk::GestureDrag::create();
  drag->set_button(GDK_BUTTON_PRIMARY);
  drag->signal_drag_begin().connect([this](double x, double y) {
    pressX_ = x;
    pressY_ = y;
    mouseDown();
  });
  drag->signal_drag_update().connect([this](double dx, double dy) { mouseDragged(pressX_ + dx, pressY_ + dy); });
  drag->signal_drag_end().connect([this](double dx, double dy) { mouseUp(pressX_ + dx, pressY_ + dy); });
  add_controller(drag);

  myUpdateLayer();
  updateLabelColour();
  // The constraints follow the lengths a subclass answers, so they are made once the button is
  // whole: by `make`, or else when it is first shown.
  signal_map().connect([this] { finishSetup(); });
}

QvImageButton::~QvImageButton() { tearDown(); }

void QvImageButton::tearDown() {
  if (!gobj()) return;
  while (Gtk::Widget* child = get_first_child()) child->unparent();
}

void QvImageButton::finishSetup() {
  if (didSetup_) return;
  didSetup_ = true;
  // A subclass's own lengths and colours are only heard now that it is whole.
  resetupConstraints();
  updateLabelColour();
  onSetup();
}

NSFontPtr QvImageButton::font() const { return font_ ? font_ : NSFont::labelFont(NSFont::labelFontSize()); }

void QvImageButton::setFont(NSFontPtr font) {
  font_ = std::move(font);
  updateLabelColour();
  views_.label->queue_resize();
}

void QvImageButton::setBordered(bool bordered) {
  isBordered_ = bordered;
  myUpdateLayer();
  updateLabelColour();
}

void QvImageButton::setImageScaling(NSImageScaling scaling) {
  if (scaling == views_.image->imageScaling()) return;
  views_.image->setImageScaling(scaling);
  myUpdateLayer();
  updateLabelColour();
}

void QvImageButton::setImagePosition(NSControlImagePosition position) {
  imagePosition_ = position;
  resetupConstraints();
  myUpdateLayer();
  updateLabelColour();
}

void QvImageButton::setState(NSControlStateValue state) {
  state_ = state;
  myUpdateLayer();
  updateLabelColour();
}

void QvImageButton::setImageInsets(const NSEdgeInsets& insets) {
  metrics_.imageInsets = insets;
  resetupConstraints();
}

void QvImageButton::setAllowsVibrancy(bool allows) {
  allowsVibrancy_ = allows;
  queue_draw();
  views_.image->setAllowsVibrancy(allows);
}

void QvImageButton::setOpaque(bool opaque) {
  if (opaque == isOpaque_) return;
  isOpaque_ = opaque;
  myUpdateLayer();
}

void QvImageButton::setHighlighted(bool highlighted) {
  if (highlighted == isHighlighted_) return;
  isHighlighted_ = highlighted;
  myUpdateLayer();
  updateLabelColour();
}

QvImageButton& QvImageButton::onClick(Action action) {
  action_ = std::move(action);
  return *this;
}

void QvImageButton::prepareForReuse() {
  setImage(nullptr);
  setTitle("");
}

void QvImageButton::resetupConstraints() {
  NSLayoutConstraint::deactivate(activeConstraints_);
  activeConstraints_.clear();
  metrics_.imageSize = imageSize();
  metrics_.textBaselineAdjustment = textBaselineAdjustment();
  metrics_.textTrailingPadding = textTrailingPadding();
  metrics_.textImageSpacing = textImageSpacing();
  auto layout = Fennix::imageButtonLayout(imagePosition_, Fennix::item(*this), Fennix::item(*views_.image),
                                          Fennix::item(*views_.label), metrics_);
  if (layout.labelVisible) views_.label->set_visible(*layout.labelVisible);
  if (layout.imageVisible) views_.image->set_visible(*layout.imageVisible);
  activeConstraints_ = std::move(layout.constraints);
  NSLayoutConstraint::activate(activeConstraints_);
}

void QvImageButton::myUpdateLayer() {
  look_ = Fennix::withEffectiveAppearance(*this, [this] {
    return Fennix::imageButtonLook(isBordered_, views_.image->image() != nullptr, isHighlighted_, state_, isOpaque_);
  });
  ++lookUpdates_;
  queue_draw();
}

void QvImageButton::updateLabelColour() {
  const NSColor colour =
      Fennix::withEffectiveAppearance(*this, [this] { return isHighlighted_ ? highlightedTitleColor() : titleColor(); });
  Pango::AttrList attributes;
  auto foreground = Pango::Attribute::create_attr_foreground(
      static_cast<guint16>(colour.redComponent() * 65535), static_cast<guint16>(colour.greenComponent() * 65535),
      static_cast<guint16>(colour.blueComponent() * 65535));
  attributes.insert(foreground);
  if (font_) {
    auto described = Pango::Attribute::create_attr_font_desc(Pango::FontDescription(font_->pangoDescription()));
    attributes.insert(described);
  }
  views_.label->set_attributes(attributes);
}

bool QvImageButton::contains(double x, double y) const {
  return x >= 0 && y >= 0 && x < get_width() && y < get_height();
}

void QvImageButton::mouseDown() { setHighlighted(tracking_.mouseDown()); }

void QvImageButton::mouseDragged(double x, double y) { setHighlighted(tracking_.mouseDragged(contains(x, y))); }

void QvImageButton::mouseUp(double x, double y) {
  const bool send = tracking_.mouseUp(contains(x, y));
  setHighlighted(false);
  if (send && action_) action_(*this);
}

void QvImageButton::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  const float width = float(get_width()), height = float(get_height());
  const float radius = float(look_.cornerRadius);
  GskRoundedRect shape;
  const graphene_rect_t bounds = GRAPHENE_RECT_INIT(0, 0, width, height);
  gsk_rounded_rect_init_from_rect(&shape, &bounds, radius);
  if (look_.backgroundColor) {
    gtk_snapshot_push_rounded_clip(snapshot->gobj(), &shape);
    const GdkRGBA background = *Fennix::rgba(*look_.backgroundColor).gobj();
    gtk_snapshot_append_color(snapshot->gobj(), &background, &bounds);
    gtk_snapshot_pop(snapshot->gobj());
  }
  if (look_.borderWidth > 0) {
    const float line = float(look_.borderWidth);
    const float widths[4] = {line, line, line, line};
    const GdkRGBA colour = *Fennix::rgba(look_.borderColor).gobj();
    const GdkRGBA colours[4] = {colour, colour, colour, colour};
    gtk_snapshot_append_border(snapshot->gobj(), &shape, widths, colours);
  }
  for (Gtk::Widget* child = get_first_child(); child; child = child->get_next_sibling()) snapshot_child(*child, snapshot);
}
