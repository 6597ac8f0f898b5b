// A table controller's table on the toolkit: a single-column table in a scroll view whose rows are
// the controller's `arrangedObjects`, with rows dragged by their labels and dropped on the table.
// Drags carry the rows under our own MIME type (the row indexes) and as text; a drop is above the
// row under the pointer, or below it in the row's lower half. Double clicks go to the controller.
#pragma once

#include <gdkmm/contentprovider.h>
#include <gtkmm/dragsource.h>
#include <gtkmm/droptarget.h>
#include <gtkmm/gestureclick.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>

#include <functional>
#include <memory>
#include <string>

#include "Fennix/UI/AppKit/Views/GTK/TableViews.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/TableCellViewGTK.h"
#include "Fennix/UI/Common/ViewControllers/TableViewController.h"

namespace Fennix {

/// The MIME type of dragged row indexes.
inline std::string indexSetMimeType() { return "application/x-" + QvIndexSetPboardType(); }

template <typename T>
class GtkTableViewHandle : public TableViewHandle {
 public:
  /// Makes the table for `controller`, which the handle keeps alive; `text` gives a row's label.
  GtkTableViewHandle(std::shared_ptr<QvTableViewController<T>> controller, std::function<std::string(const T&)> text)
      : GtkTableViewHandle(*controller, std::move(text)) {
    owner_ = std::move(controller);
  }
  /// Makes the table for `controller` without keeping it alive: once the controller is gone the
  /// table shows no rows and takes no drops.
  GtkTableViewHandle(QvTableViewController<T>& controller, std::function<std::string(const T&)> text)
      : text_(std::move(text)) {
    controller_ = std::dynamic_pointer_cast<QvTableViewController<T>>(controller.shared_from_this());
    table_ = Gtk::make_managed<QvExtendedTableView>();
    scroll_ = Gtk::make_managed<Gtk::ScrolledWindow>();
    scroll_->set_child(*table_);
    if (auto inset = controller.tableViewInset()) table_->set_margin(static_cast<int>(*inset));
    table_->setHeaderVisible(false);
    table_->addTableColumn(controller.defaultCellID, controller.defaultCellID);
    table_->setDataSource({[this] {
                             auto* owner = this->controller();
                             return owner ? static_cast<std::size_t>(owner->numberOfRows()) : std::size_t{0};
                           },
                           [this](NSTableView&, const std::string&, std::size_t row) { return cellFor(row); }});
    auto clicks = Gtk::GestureClick::create();
    clicks->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    clicks->signal_pressed().connect([this](int, double x, double y) { clickedRow_ = table_->rowAt(x, y); });
    table_->add_controller(clicks);
    if (controller.cbRowClick)
      table_->setDoubleAction([this](NSTableView&) {
        if (auto* owner = this->controller()) owner->onDoubleClick();
      });

    auto drop = Gtk::DropTarget::create(G_TYPE_STRING, Gdk::DragAction::COPY | Gdk::DragAction::LINK | Gdk::DragAction::MOVE);
    drop->signal_motion().connect([this](double x, double y) { return toGdk(validate(sourceOfCurrentDrop(), x, y)); }, false);
    drop->signal_drop().connect(
        [this](const Glib::ValueBase& value, double x, double y) {
          DraggingInfo info{sourceOfCurrentDrop(), {}};
          GValue copy = G_VALUE_INIT;
          g_value_init(&copy, G_TYPE_STRING);
          if (g_value_transform(value.gobj(), &copy) && g_value_get_string(&copy))
            info.pasteboard[QvStringPboardType()] = g_value_get_string(&copy);
          g_value_unset(&copy);
          return performDrop(info, x, y);
        },
        false);
    drop_ = drop;
    table_->add_controller(drop);
    controller.attachTableView(this);
    table_->reloadData();
  }
  ~GtkTableViewHandle() override {
    if (auto* owner = this->controller(); owner && owner->tableView() == this) owner->attachTableView(nullptr);
  }
  GtkTableViewHandle(const GtkTableViewHandle&) = delete;
  GtkTableViewHandle& operator=(const GtkTableViewHandle&) = delete;

  /// Makes the tables of controllers of value type `T` on the toolkit: each controller's view is
  /// the scroll view, which owns the table's handle.
  static void install(std::function<std::string(const T&)> text) {
    QvTableViewControllerBase<T>::tableViewMaker =
        [text](QvTableViewControllerBase<T>& base) -> std::optional<LayoutItem> {
      auto* controller = dynamic_cast<QvTableViewController<T>*>(&base);
      if (!controller) return std::nullopt;
      auto* handle = new GtkTableViewHandle(*controller, text);
      g_object_set_data_full(G_OBJECT(handle->scroll_->gobj()), "qv-table-view-handle", handle,
                             [](gpointer data) { delete static_cast<GtkTableViewHandle*>(data); });
      return item(*handle->scroll_);
    };
  }
  /// The handle of a table made by an installed maker, from the controller's view.
  static GtkTableViewHandle* of(Gtk::Widget& view) {
    return static_cast<GtkTableViewHandle*>(g_object_get_data(G_OBJECT(view.gobj()), "qv-table-view-handle"));
  }

  Gtk::ScrolledWindow& view() { return *scroll_; }
  QvExtendedTableView& table() { return *table_; }

  // The table handle.
  void reloadData() override { table_->reloadData(); }
  void moveRow(std::size_t from, std::size_t to) override {
    table_->removeRows({from}, 0);
    table_->insertRows({to}, 0);
  }
  void insertRows(const std::set<std::size_t>& rows) override { table_->insertRows(rows, 0); }
  long clickedRow() const override { return clickedRow_; }
  double rowHeight() const override { return 24; }
  double boundsWidth() const override { return table_->get_width(); }
  void registerForDraggedTypes(const std::vector<NSPasteboardType>& types) override { registered_ = types; }
  TableCell makeCell(const std::string& identifier) override {
    auto* label = Gtk::make_managed<Gtk::Label>();
    label->set_name(identifier);
    label->set_xalign(0);
    label->set_margin_start(6);
    label->set_margin_top(4);
    label->set_margin_bottom(4);
    return wrap(*label, identifier);
  }
  TableCell dequeueCell(const std::string& identifier) override {
    Gtk::Widget* reused = table_->makeView(identifier);
    return reused ? wrap(*reused, identifier) : TableCell();
  }
  const std::vector<NSPasteboardType>& registeredTypes() const { return registered_; }

  /// Starts a drag of `row` as the drag source of its label does; the content to hand over, none
  /// when the controller refuses.
  Glib::RefPtr<Gdk::ContentProvider> beginRowDrag(std::size_t row) {
    std::map<NSPasteboardType, std::string> pasteboard;
    auto* owner = this->controller();
    if (!owner || !owner->writeRows({row}, pasteboard)) return {};
    dragging_ = true;
    const std::string indexes = pasteboard[QvIndexSetPboardType()];
    auto bytes = Glib::Bytes::create(indexes.data(), indexes.size());
    std::string text;
    if (auto value = owner->objectValue(static_cast<long>(row))) text = text_(*value);
    Glib::Value<Glib::ustring> textValue;
    textValue.init(Glib::Value<Glib::ustring>::value_type());
    textValue.set(text);
    return Gdk::ContentProvider::create({Gdk::ContentProvider::create(indexSetMimeType(), bytes),
                                         Gdk::ContentProvider::create(textValue)});
  }
  void endRowDrag() { dragging_ = false; }

  /// The row a drop at a point of the table goes above.
  long dropRow(double x, double y) {
    const long row = table_->rowAt(x, y);
    if (row < 0) return this->controller() ? this->controller()->count() : 0;
    if (Gtk::Widget* cell = table_->viewAt(0, static_cast<std::size_t>(row))) {
      double cellX = 0, cellY = 0;
      if (cell->translate_coordinates(*table_, 0, 0, cellX, cellY) && y - cellY > cell->get_height() / 2.0)
        return row + 1;
    }
    return row;
  }
  NSDragOperation validate(DraggingInfo::Source source, double x, double y) {
    auto* owner = this->controller();
    if (!owner) return NSDragOperation::none;
    return owner->validateDrop({source, {}}, dropRow(x, y), NSTableViewDropOperation::above);
  }
  /// A drop at a point of the table: validated, then accepted or refused.
  bool performDrop(const DraggingInfo& info, double x, double y) {
    const long row = dropRow(x, y);
    auto* owner = this->controller();
    if (!owner || owner->validateDrop(info, row, NSTableViewDropOperation::above) == NSDragOperation::none) return false;
    const bool accepted = owner->acceptDrop(info, row, NSTableViewDropOperation::above);
    if (info.source == DraggingInfo::Source::thisTable) dragging_ = false;
    return accepted;
  }

 private:
  DraggingInfo::Source sourceOfCurrentDrop() const {
    if (dragging_) return DraggingInfo::Source::thisTable;
    auto current = drop_ ? drop_->get_current_drop() : Glib::RefPtr<Gdk::Drop>();
    if (current && current->get_drag()) return DraggingInfo::Source::other;
    return DraggingInfo::Source::none;
  }
  static Gdk::DragAction toGdk(NSDragOperation operation) {
    switch (operation) {
      case NSDragOperation::copy: return Gdk::DragAction::COPY;
      case NSDragOperation::link: return Gdk::DragAction::LINK;
      case NSDragOperation::move: return Gdk::DragAction::MOVE;
      default: return Gdk::DragAction(0);
    }
  }
  TableCell wrap(Gtk::Widget& widget, const std::string& identifier) {
    auto text = text_;
    return std::make_shared<GtkTableCellView>(widget, identifier, [text](const std::any& value) {
      auto typed = castAny<T>(value);
      return typed && text ? text(*typed) : std::string();
    });
  }
  /// The controller's cell for a row, which drags the row.
  Gtk::Widget* cellFor(std::size_t row) {
    auto* owner = this->controller();
    TableCell cell = owner ? owner->viewFor(*this, static_cast<long>(row)) : TableCell();
    auto* view = dynamic_cast<GtkTableCellView*>(cell.get());
    if (!view) {
      if (owner) console::warn("no toolkit cell for row:", static_cast<long>(row));
      auto* empty = Gtk::make_managed<Gtk::Label>();
      return empty;
    }
    // The row takes the widget once this returns; the cell holds it until then.
    shownCell_ = cell;
    Gtk::Widget& widget = view->widget();
    if (!g_object_get_data(G_OBJECT(widget.gobj()), "qv-row-drag")) {
      g_object_set_data(G_OBJECT(widget.gobj()), "qv-row-drag", GINT_TO_POINTER(1));
      auto source = Gtk::DragSource::create();
      source->set_actions(Gdk::DragAction::LINK | Gdk::DragAction::COPY | Gdk::DragAction::MOVE);
      Gtk::Widget* dragged = &widget;
      source->signal_prepare().connect(
          [this, dragged](double, double) {
            const long shown = rowOf(dragged);
            return shown < 0 ? Glib::RefPtr<Gdk::ContentProvider>() : beginRowDrag(static_cast<std::size_t>(shown));
          },
          false);
      source->signal_drag_end().connect([this](const Glib::RefPtr<Gdk::Drag>&, bool) { endRowDrag(); });
      widget.add_controller(source);
    }
    // Rows are never lower than the table's row height; taller content makes them taller.
    widget.set_size_request(-1, static_cast<int>(rowHeight()));
    return &widget;
  }
  long rowOf(Gtk::Widget* label) const {
    const long rows = this->controller() ? this->controller()->count() : 0;
    for (long row = 0; row < rows; ++row)
      if (table_->viewAt(0, static_cast<std::size_t>(row)) == label) return row;
    return -1;
  }

  QvTableViewController<T>* controller() const { return controller_.lock().get(); }

  std::weak_ptr<QvTableViewController<T>> controller_;
  std::shared_ptr<QvTableViewController<T>> owner_;
  std::function<std::string(const T&)> text_;
  QvExtendedTableView* table_ = nullptr;
  Gtk::ScrolledWindow* scroll_ = nullptr;
  Glib::RefPtr<Gtk::DropTarget> drop_;
  std::vector<NSPasteboardType> registered_;
  long clickedRow_ = -1;
  bool dragging_ = false;
  TableCell shownCell_;
};

}  // namespace Fennix
