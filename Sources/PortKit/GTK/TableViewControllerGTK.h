// A table controller's table on the toolkit: a single-column table in a scroll view whose rows are
// the controller's `arrangedObjects` in portable table cells, with rows dragged by their cells and
// dropped on the table. Drags carry the rows under our own MIME type (the row indexes) and as
// text; the table takes drops of the types the controller registers (the row indexes under that
// MIME type, every other type as the MIME type of its name), and hands the controller the data of
// every one of them the drop offers. A drop is above the row under the pointer, or below it in the
// row's lower half. Double clicks go to the controller; row heights, selectability, the values of
// cells and the row views that hold rows are the controller's answers. A controller built only on
// the table base class answers nothing of a data source or delegate: its table shows no rows and
// refuses drops.
#pragma once

#include <gdkmm/contentprovider.h>
#include <gtkmm/dragsource.h>
#include <gtkmm/droptargetasync.h>
#include <gtkmm/gestureclick.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "Fennix/UI/AppKit/Views/GTK/TableViews.h"
#include "Fennix/UI/Common/GTK/LayoutHostGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/TableCellViewGTK.h"
#include "Fennix/UI/Common/ViewControllers/GTK/TableRowViewGTK.h"
#include "Fennix/UI/Common/ViewControllers/TableViewController.h"
#include "PortKit/GTK/TableViewCell.h"

namespace Fennix {

/// The MIME type of dragged row indexes.
inline std::string indexSetMimeType() { return "application/x-" + QvIndexSetPboardType(); }
/// The MIME type a table takes a dragged type under.
inline std::string mimeTypeOfDraggedType(const NSPasteboardType& type) {
  return type == QvIndexSetPboardType() ? indexSetMimeType() : type;
}

/// A cell of a table controller: the portable table cell shows a value in its text label, and a
/// typed cell loads it too.
class GtkTableViewCellView : public GtkTableCellView {
 public:
  using GtkTableCellView::GtkTableCellView;
  bool setObjectValue(const std::any& value) override {
    if (auto* cell = dynamic_cast<NSTableViewCell*>(&widget())) {
      cell->textLabel()->set_text(text(value));
      if (auto* loadable = dynamic_cast<QvLoadableCell*>(cell)) loadable->loadAnyValue(value);
      return true;
    }
    return GtkTableCellView::setObjectValue(value);
  }
  double fittingHeight(double width) override {
    // Measured with the constraints its labels need now, not at the next idle turn.
    if (auto* cell = dynamic_cast<NSTableViewCell*>(&widget())) cell->updateConstraints();
    return GtkTableCellView::fittingHeight(width);
  }
};

/// Reads the data of one MIME type of a drop, at most `limit` bytes; `done` gets none when the
/// drop could not be read or holds more.
inline void readDrop(const Glib::RefPtr<Gdk::Drop>& drop, const std::string& mimeType, std::size_t limit,
                     std::function<void(std::optional<std::string>)> done) {
  struct Reading {
    std::function<void(std::optional<std::string>)> done;
    std::size_t limit;
    std::string data;
    GInputStream* stream = nullptr;
    ~Reading() {
      if (stream) g_object_unref(stream);
    }
    static void finish(Reading* reading, std::optional<std::string> data) {
      reading->done(std::move(data));
      delete reading;
    }
    static void next(Reading* reading) {
      g_input_stream_read_bytes_async(reading->stream, 65536, G_PRIORITY_DEFAULT, nullptr, chunk, reading);
    }
    static void chunk(GObject* stream, GAsyncResult* result, gpointer data) {
      auto* reading = static_cast<Reading*>(data);
      GBytes* bytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(stream), result, nullptr);
      if (!bytes) return finish(reading, std::nullopt);
      gsize size = 0;
      const auto* at = static_cast<const char*>(g_bytes_get_data(bytes, &size));
      const bool fits = reading->data.size() + size <= reading->limit;
      if (fits) reading->data.append(at ? at : "", size);
      g_bytes_unref(bytes);
      if (!fits) return finish(reading, std::nullopt);
      if (size == 0) return finish(reading, std::move(reading->data));
      next(reading);
    }
    static void opened(GObject* drop, GAsyncResult* result, gpointer data) {
      auto* reading = static_cast<Reading*>(data);
      reading->stream = gdk_drop_read_finish(GDK_DROP(drop), result, nullptr, nullptr);
      if (!reading->stream) return finish(reading, std::nullopt);
      next(reading);
    }
  };
  auto* reading = new Reading{std::move(done), limit, {}};
  const char* types[] = {mimeType.c_str(), nullptr};
  gdk_drop_read_async(drop->gobj(), types, G_PRIORITY_DEFAULT, nullptr, Reading::opened, reading);
}

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
  GtkTableViewHandle(QvTableViewControllerBase<T>& controller, std::function<std::string(const T&)> text)
      : text_(std::move(text)) {
    controller_ = std::dynamic_pointer_cast<QvTableViewControllerBase<T>>(controller.shared_from_this());
    table_ = Gtk::make_managed<QvExtendedTableView>();
    scroll_ = Gtk::make_managed<Gtk::ScrolledWindow>();
    scroll_->set_child(*table_);
    if (auto inset = controller.tableViewInset()) table_->set_margin(static_cast<int>(*inset));
    table_->setHeaderVisible(false);
    table_->addTableColumn(controller.defaultCellID, controller.defaultCellID);
    NSTableView::DataSource source;
    source.numberOfRows = [this] {
      auto* owner = this->controller();
      return owner ? static_cast<std::size_t>(std::max(0L, owner->numberOfRows())) : std::size_t{0};
    };
    source.viewFor = [this](NSTableView&, const std::string&, std::size_t row) { return cellFor(row); };
    source.objectValue = [this](const std::string&, std::size_t row) {
      auto* owner = this->controller();
      return owner ? owner->objectValueFor(static_cast<long>(row)) : std::any();
    };
    source.setObjectValue = [this](const std::any& value, const std::string&, std::size_t row) {
      if (auto* owner = this->controller()) owner->setObjectValueFor(value, static_cast<long>(row));
    };
    table_->setDataSource(std::move(source));
    NSTableView::Delegate delegate;
    delegate.shouldSelectRow = [this](std::size_t row) {
      // Without a delegate every row may be selected.
      if (auto* owner = this->controller()) return owner->shouldSelectRow(static_cast<long>(row));
      return base() != nullptr;
    };
    delegate.rowViewFor = [this](std::size_t row) -> NSTableRowView* {
      auto* owner = this->controller();
      TableRow rowView = owner ? owner->rowViewForRow(static_cast<long>(row)) : nullptr;
      auto* shown = dynamic_cast<GtkTableRowView*>(rowView.get());
      if (!shown || !shown->widget()) return nullptr;
      // The row takes the widget once this returns; the holder keeps it until then.
      shownRowView_ = rowView;
      return shown->widget();
    };
    table_->setDelegate(std::move(delegate));
    auto clicks = Gtk::GestureClick::create();
    clicks->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    clicks->signal_pressed().connect([this](int, double x, double y) { clickedRow_ = table_->rowAt(x, y); });
    table_->add_controller(clicks);
    if (controller.cbRowClick)
      PortKit::onDoubleClick(
          *table_, &controller,
          [this](NSTableView&) {
            if (auto* owner = base()) owner->onDoubleClick();
          },
          controller.description());

    // The types come when the controller registers them.
    auto drop = Gtk::DropTargetAsync::create(Gdk::ContentFormats::create(),
                                             Gdk::DragAction::COPY | Gdk::DragAction::LINK | Gdk::DragAction::MOVE);
    auto motion = [this](const Glib::RefPtr<Gdk::Drop>& current, double x, double y) {
      return toGdk(validate(sourceOf(current), x, y));
    };
    drop->signal_drag_enter().connect(motion, false);
    drop->signal_drag_motion().connect(motion, false);
    drop->signal_drop().connect(
        [this](const Glib::RefPtr<Gdk::Drop>& current, double x, double y) { return receiveDrop(current, x, y); }, false);
    drop_ = drop;
    table_->add_controller(drop);
    controller.attachTableView(this);
    table_->reloadData();
  }
  ~GtkTableViewHandle() override {
    *alive_ = false;
    if (auto* owner = base(); owner && owner->tableView() == this) owner->attachTableView(nullptr);
  }
  GtkTableViewHandle(const GtkTableViewHandle&) = delete;
  GtkTableViewHandle& operator=(const GtkTableViewHandle&) = delete;

  /// Makes the tables of controllers of value type `T` on the toolkit: each controller's view is
  /// the scroll view, which owns the table's handle. Installs the portable cells for outlines too.
  static void install(std::function<std::string(const T&)> text) {
    PortKit::installTableCellKitGTK();
    QvTableViewControllerBase<T>::tableViewMaker =
        [text](QvTableViewControllerBase<T>& controller) -> std::optional<LayoutItem> {
      auto* handle = new GtkTableViewHandle(controller, text);
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
    // The other rows keep their selection as they shift; the moved row takes its own along.
    const bool selected = table_->selectedRowIndexes().count(from) > 0;
    table_->removeRows({from}, 0);
    table_->insertRows({to}, 0);
    if (selected) table_->selectRowIndexes({to}, true);
  }
  void insertRows(const std::set<std::size_t>& rows) override { table_->insertRows(rows, 0); }
  long clickedRow() const override { return clickedRow_; }
  double rowHeight() const override { return 24; }
  double boundsWidth() const override { return table_->get_width(); }
  void registerForDraggedTypes(const std::vector<NSPasteboardType>& types) override {
    registered_ = types;
    auto builder = gdk_content_formats_builder_new();
    for (const auto& type : types) gdk_content_formats_builder_add_mime_type(builder, mimeTypeOfDraggedType(type).c_str());
    drop_->set_formats(Glib::wrap(gdk_content_formats_builder_free_to_formats(builder)));
  }
  TableCell makeCell(const std::string& identifier) override {
    return wrap(*NSTableViewCell::make(UXTableViewCellStyle::default_, identifier), identifier);
  }
  TableCell dequeueCell(const std::string& identifier) override {
    Gtk::Widget* reused = table_->makeView(identifier);
    return reused ? wrap(*reused, identifier) : TableCell();
  }
  const std::vector<NSPasteboardType>& registeredTypes() const { return registered_; }
  /// The largest drop the table reads.
  static constexpr std::size_t maximumDropSize = 16 * 1024 * 1024;

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
    if (row < 0) return base() ? base()->count() : 0;
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
  DraggingInfo::Source sourceOf(const Glib::RefPtr<Gdk::Drop>& current) const {
    if (dragging_) return DraggingInfo::Source::thisTable;
    if (current && current->get_drag()) return DraggingInfo::Source::other;
    return DraggingInfo::Source::none;
  }
  /// A drop of the toolkit: the data of every registered type it offers, read one after the
  /// other, then the controller. A type that cannot be read, or holds more than the table reads,
  /// refuses the drop.
  bool receiveDrop(const Glib::RefPtr<Gdk::Drop>& current, double x, double y) {
    const DraggingInfo::Source source = sourceOf(current);
    auto* owner = this->controller();
    const NSDragOperation operation =
        owner ? owner->validateDrop({source, {}}, dropRow(x, y), NSTableViewDropOperation::above) : NSDragOperation::none;
    if (operation == NSDragOperation::none) return false;
    auto offered = current->get_formats();
    std::vector<NSPasteboardType> types;
    for (const auto& type : registered_)
      if (offered->contain_mime_type(mimeTypeOfDraggedType(type)) &&
          std::find(types.begin(), types.end(), type) == types.end())
        types.push_back(type);
    if (types.empty()) return false;
    auto info = std::make_shared<DraggingInfo>(DraggingInfo{source, {}});
    readDropTypes(current, std::move(types), 0, info, [this, current, operation, x, y](std::shared_ptr<DraggingInfo> read) {
      bool accepted = false;
      if (read) {
        accepted = performDrop(*read, x, y);
        if (read->source == DraggingInfo::Source::thisTable) dragging_ = false;
      }
      current->finish(accepted ? toGdk(operation) : Gdk::DragAction(0));
    });
    return true;
  }
  /// Reads the types of a drop from `index` on into the pasteboard of `info`; `done` gets it once
  /// all are read (none when one could not be), unless the table is gone by then.
  void readDropTypes(const Glib::RefPtr<Gdk::Drop>& current, std::vector<NSPasteboardType> types, std::size_t index,
                     std::shared_ptr<DraggingInfo> info, std::function<void(std::shared_ptr<DraggingInfo>)> done) {
    if (index >= types.size()) return done(std::move(info));
    const NSPasteboardType type = types[index];
    std::weak_ptr<bool> alive = alive_;
    readDrop(current, mimeTypeOfDraggedType(type), maximumDropSize,
             [this, alive, current, types = std::move(types), index, info, done = std::move(done),
              type](std::optional<std::string> data) mutable {
               auto living = alive.lock();
               if (!living || !*living) {
                 current->finish(Gdk::DragAction(0));
                 return;
               }
               if (!data) return done(nullptr);
               info->pasteboard[type] = std::move(*data);
               readDropTypes(current, std::move(types), index + 1, std::move(info), std::move(done));
             });
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
    return std::make_shared<GtkTableViewCellView>(widget, identifier, [text](const std::any& value) {
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
    // The controller's height of the row (never below the table's row height).
    widget.set_size_request(-1, static_cast<int>(owner->heightOfRow(*this, static_cast<long>(row))));
    return &widget;
  }
  long rowOf(Gtk::Widget* label) const {
    const long rows = base() ? base()->count() : 0;
    for (long row = 0; row < rows; ++row)
      if (table_->viewAt(0, static_cast<std::size_t>(row)) == label) return row;
    return -1;
  }

  /// The controller, while it lives.
  QvTableViewControllerBase<T>* base() const { return controller_.lock().get(); }
  /// The controller as the table's data source and delegate; none for a controller built only on
  /// the base class.
  QvTableViewController<T>* controller() const { return dynamic_cast<QvTableViewController<T>*>(base()); }

  std::weak_ptr<QvTableViewControllerBase<T>> controller_;
  std::shared_ptr<QvTableViewController<T>> owner_;
  std::function<std::string(const T&)> text_;
  QvExtendedTableView* table_ = nullptr;
  Gtk::ScrolledWindow* scroll_ = nullptr;
  Glib::RefPtr<Gtk::DropTargetAsync> drop_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::vector<NSPasteboardType> registered_;
  long clickedRow_ = -1;
  bool dragging_ = false;
  TableCell shownCell_;
  TableRow shownRowView_;
};

}  // namespace Fennix
