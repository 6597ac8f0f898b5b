#include "PortKit/GTK/TableViewCell.h"

#include <glibmm/main.h>
#include <gtkmm/snapshot.h>
#include <pangomm/attrlist.h>

#include <iostream>
#include <sstream>

#include "Fennix/Foundation/BaseTypes/FatalError.h"
#include "Fennix/Foundation/Text/Font.h"
#include "Fennix/UI/Common/ViewControllers/GTK/OutlineViewControllerGTK.h"
#include "Fennix/UI/Common/ViewLookup.h"
#include "Fennix/UI/Common/Views/GTK/ViewBase.h"
#include "PortKit/GTK/TableViewControllerGTK.h"

NSTableViewCell::NSTableViewCell(UXTableViewCellStyle, const std::optional<std::string>& reuseIdentifier) {
  style_.labelSize = NSFont::systemFontSize() + 4;
  style_.detailLabelSize = NSFont::smallSystemFontSize();
  // The reuse identifier is the view's identifier, which the view lookups find it by.
  if (reuseIdentifier) Fennix::id(*this, *reuseIdentifier);
}

NSTableViewCell::~NSTableViewCell() { pendingUpdate_.disconnect(); }

Gtk::Label* NSTableViewCell::makeLabel() {
  auto* label = Gtk::make_managed<Gtk::Label>();
  label->set_selectable(false);
  label->set_xalign(0);
  label->set_halign(Gtk::Align::FILL);
  return label;
}

Gtk::Label* NSTableViewCell::makeStyledLabel(bool detail) {
  Gtk::Label* label = makeLabel();
  Pango::AttrList attributes;
  auto size = Pango::Attribute::create_attr_size(int((detail ? style_.detailLabelSize : style_.labelSize) * PANGO_SCALE));
  attributes.insert(size);
  if (detail) {
    const Gdk::RGBA color = Fennix::rgba(style_.detailColor);
    auto foreground = Pango::Attribute::create_attr_foreground(guint16(color.get_red_u()), guint16(color.get_green_u()),
                                                               guint16(color.get_blue_u()));
    attributes.insert(foreground);
  }
  label->set_attributes(attributes);
  label->set_ellipsize(Pango::EllipsizeMode::END);
  Fennix::addSubviews(*this, {label});
  return label;
}

Gtk::Label* NSTableViewCell::textLabel() {
  if (!textLabel_) {
    textLabel_ = makeStyledLabel(false);
    setNeedsUpdateConstraints();
  }
  return textLabel_;
}

Gtk::Label* NSTableViewCell::detailTextLabel() {
  if (!detailTextLabel_) {
    detailTextLabel_ = makeStyledLabel(true);
    setNeedsUpdateConstraints();
  }
  return detailTextLabel_;
}

void NSTableViewCell::setTextLabel(Gtk::Label* label) {
  if (label == textLabel_) return;
  if (textLabel_) Fennix::layoutHost()->removeFromSuperview(Fennix::item(textLabel_));
  textLabel_ = label;
  setNeedsUpdateConstraints();
}

void NSTableViewCell::setDetailTextLabel(Gtk::Label* label) {
  if (label == detailTextLabel_) return;
  if (detailTextLabel_) Fennix::layoutHost()->removeFromSuperview(Fennix::item(detailTextLabel_));
  detailTextLabel_ = label;
  setNeedsUpdateConstraints();
}

void NSTableViewCell::setNeedsUpdateConstraints() {
  // Before the next layout pass, once however many labels changed.
  if (pendingUpdate_.connected()) return;
  pendingUpdate_ = Glib::signal_idle().connect(
      [this] {
        updateConstraints();
        return false;
      },
      Glib::PRIORITY_HIGH_IDLE);
}

void NSTableViewCell::updateConstraints() {
  pendingUpdate_.disconnect();
  const auto required = PortKit::requiredViewSetup(textLabel_ != nullptr, detailTextLabel_ != nullptr);
  auto itemOf = [](Gtk::Label* label) { return Fennix::item(label); };
  if (constraints_.update(required, Fennix::item(*this), [&] { return itemOf(textLabel()); },
                          [&] { return itemOf(detailTextLabel()); }, {style_.padding, style_.labelPadding}))
    queue_resize();
  pendingUpdate_.disconnect();  // the accessors above may have asked again
}

void NSTableViewCell::setBackgroundStyle(BackgroundStyle style) {
  NSTableCellView::setBackgroundStyle(style);
  if (!detailTextLabel_) return;
  // The selected text colour is the label's own colour in a selected row; the detail colour otherwise.
  Pango::AttrList attributes;
  auto size = Pango::Attribute::create_attr_size(int(style_.detailLabelSize * PANGO_SCALE));
  attributes.insert(size);
  if (style != BackgroundStyle::emphasized) {
    const Gdk::RGBA color = Fennix::rgba(style_.detailColor);
    auto foreground = Pango::Attribute::create_attr_foreground(guint16(color.get_red_u()), guint16(color.get_green_u()),
                                                               guint16(color.get_blue_u()));
    attributes.insert(foreground);
  }
  detailTextLabel_->set_attributes(attributes);
}

void NSTableViewCell::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  NSTableCellView::snapshot_vfunc(snapshot);
  // A thin divider along the bottom edge, inset by the padding.
  const double p = style_.padding;
  const float width = float(get_width() - 2 * p);
  if (width <= 0) return;
  const graphene_rect_t rect = GRAPHENE_RECT_INIT(float(p), float(get_height()) - 0.5f, width, 0.5f);
  const Gdk::RGBA color = Fennix::rgba(dividerColor());
  gtk_snapshot_save(snapshot->gobj());
  gtk_snapshot_append_color(snapshot->gobj(), color.gobj(), &rect);
  gtk_snapshot_restore(snapshot->gobj());
}

namespace PortKit {

void installTableCellKitGTK() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  Fennix::setOutlineCellMaker([](const std::string& identifier, std::function<std::string(const std::any&)> text) {
    NSTableViewCell* cell = NSTableViewCell::make(UXTableViewCellStyle::subtitle, identifier);
    cell->set_hexpand(true);  // the row's width, as in a table column
    return std::make_shared<Fennix::GtkTableViewCellView>(*cell, identifier, std::move(text));
  });
}

void insertRows(NSTableView& table, const std::vector<IndexPath>& at,
                std::optional<NSTableViewAnimationOptions> animation) {
  const auto rows = rowIndexes(at);
  checkRows(rows, table.numberOfRows(), "insertRows", true);
  table.insertRows(rows, animation ? animation->value : 0);
}

void deleteRows(NSTableView& table, const std::vector<IndexPath>& at,
                std::optional<NSTableViewAnimationOptions> animation) {
  const auto rows = rowIndexes(at);
  checkRows(rows, table.numberOfRows(), "deleteRows", false);
  table.removeRows(rows, animation ? animation->value : 0);
}

void reloadRows(NSTableView& table, const std::vector<IndexPath>& at, std::optional<NSTableViewAnimationOptions>) {
  const auto rows = rowIndexes(at);
  checkRows(rows, table.numberOfRows(), "reloadRows", false);
  table.reloadData(rows, {0});
}

Gtk::Widget* dequeueReusableCell(NSTableView& table, const std::string& identifier) {
  return table.makeView(identifier);
}

Gtk::Widget& dequeueReusableCell(NSTableView& table, const std::string& identifier, const IndexPath&) {
  if (Gtk::Widget* view = table.makeView(identifier)) return *view;
  Fennix::fatalError("could not construct cell for " + identifier);
}

NSTableView& onClick(NSTableView& table, const void* target, NSTableView::Callback action) {
  table.setTarget(target);
  table.setAction(std::move(action));
  return table;
}

NSTableView& onDoubleClick(NSTableView& table, const void* target, NSTableView::Callback action,
                           const std::string& targetDescription) {
  if (table.target() && table.target() != target) {
    std::ostringstream line;
    line << "setting different target for double-click action: " << &table << " \n  old: " << table.target()
         << " \n  new: " << (target ? targetDescription : std::string("-"));
    std::cout << line.str() << std::endl;
  }
  table.setTarget(target);
  table.setDoubleAction(std::move(action));
  return table;
}

namespace {

/// Makes `connection` the one action of `widget` under `key`: the action set before is
/// disconnected, so a second call replaces the first.
void replaceAction(Gtk::Widget& widget, const char* key, sigc::connection connection) {
  GObject* object = G_OBJECT(widget.gobj());
  if (auto* previous = static_cast<sigc::connection*>(g_object_get_data(object, key))) previous->disconnect();
  g_object_set_data_full(object, key, new sigc::connection(connection),
                         [](gpointer data) { delete static_cast<sigc::connection*>(data); });
}

}  // namespace

Gtk::Button& onClick(Gtk::Button& button, std::function<void(Gtk::Button&)> action) {
  replaceAction(button, "quarvel-action", button.signal_clicked().connect([&button, action] {
    if (action) action(button);
  }));
  return button;
}

Gtk::DropDown& onChange(Gtk::DropDown& popUp, std::function<void(Gtk::DropDown&)> action) {
  replaceAction(popUp, "quarvel-action", popUp.property_selected().signal_changed().connect([&popUp, action] {
    if (action) action(popUp);
  }));
  return popUp;
}

Gtk::Entry& onChange(Gtk::Entry& field, std::function<void(Gtk::Entry&)> action) {
  replaceAction(field, "quarvel-action", field.signal_activate().connect([&field, action] {
    if (action) action(field);
  }));
  return field;
}

QvTableViewButtons& onClick(QvTableViewButtons& control, QvTableViewButtons::Action action) {
  control.onClick(std::move(action));
  return control;
}

QvTableViewButtons& onChange(QvTableViewButtons& control, QvTableViewButtons::Action action) {
  control.onClick(std::move(action));
  return control;
}

}  // namespace PortKit
