// Controllers that show a list of values of one type in a single-column table built in code. The
// base holds the values (`arrangedObjects`, a plain array), sizes rows, handles double clicks and
// moves rows; `QvTableViewController` adds the answers of the table's data source and delegate,
// including reordering rows by dragging them within the table and drops from elsewhere. The
// toolkit's table is reached through `Fennix::TableViewHandle`, so every decision here runs
// without a display. Assigning `arrangedObjects` only stores the list: whoever assigns it reloads
// the table.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/TableCells.h"
#include "Fennix/UI/Common/ViewControllers/ViewController.h"
#include "Fennix/console/Console.h"
#include "Platform/TypeName.h"

/// A type of dragged data.
using NSPasteboardType = std::string;

namespace Fennix {

/// Plain text.
inline const NSPasteboardType& QvStringPboardType() {
  static const NSPasteboardType type = "text/plain;charset=utf-8";
  return type;
}
/// Rows dragged within a table: their indexes.
const NSPasteboardType& QvIndexSetPboardType();
/// The data of a drag of rows, and back; none for data that is no such list.
std::string encodeIndexSet(const std::set<std::size_t>& rows);
std::optional<std::set<std::size_t>> decodeIndexSet(const std::string& data);

enum class NSTableViewDropOperation { on = 0, above = 1 };
enum class NSDragOperation : unsigned { none = 0, copy = 1, link = 2, generic = 4, move = 16 };

/// What the table controllers need of a toolkit table.
class TableViewHandle {
 public:
  virtual ~TableViewHandle() = default;
  virtual void reloadData() = 0;
  /// Moves one row (between beginning and ending updates).
  virtual void moveRow(std::size_t from, std::size_t to) = 0;
  virtual void insertRows(const std::set<std::size_t>& rows) = 0;
  /// The row of the last click; −1 for none.
  virtual long clickedRow() const = 0;
  virtual double rowHeight() const = 0;
  virtual double boundsWidth() const = 0;
  virtual void registerForDraggedTypes(const std::vector<NSPasteboardType>& types) = 0;
  /// A new portable cell of the default style, `identifier` its reuse identifier.
  virtual TableCell makeCell(const std::string& identifier) = 0;
  /// A cell the table keeps for reuse under `identifier`; none when it has none.
  virtual TableCell dequeueCell(const std::string& identifier) = 0;
};

/// A drop on a table: where the drag came from (none, this table, another view) and its data.
struct DraggingInfo {
  enum class Source { none, thisTable, other };
  Source source = Source::none;
  std::map<NSPasteboardType, std::string> pasteboard;
};

/// Takes the value of an untyped box as a `T`; none when it holds something else.
template <typename T>
std::optional<T> castAny(const std::any& value) {
  if (const T* typed = std::any_cast<T>(&value)) return *typed;
  return std::nullopt;
}

}  // namespace Fennix

namespace Fennix {

/// Whether the log can describe a value of `T` (also through pointers and optionals).
template <typename T>
constexpr bool isLoggable() {
  if constexpr (logvalue::IsOptional<T>::value) {
    return isLoggable<typename T::value_type>();
  } else if constexpr (logvalue::IsSmartPointer<T>::value) {
    return isLoggable<std::remove_cv_t<typename T::element_type>>();
  } else if constexpr (std::is_pointer_v<T>) {
    return isLoggable<std::remove_cv_t<std::remove_pointer_t<T>>>();
  } else {
    return logvalue::Describable<T> || logvalue::Streamable<T> || std::is_convertible_v<const T&, std::string_view> ||
           std::is_arithmetic_v<T>;
  }
}

/// A row's value as a log shows it: its description, "<nil>" for none, or its type's name in angle
/// brackets when the value has no text form.
template <typename T>
std::string rowValueText(const std::optional<T>& value) {
  if (!value) return "<nil>";
  if constexpr (isLoggable<T>()) {
    return LogValue(*value).description();
  } else {
    return "<" + typeName<T>() + ">";
  }
}

}  // namespace Fennix

template <typename T>
class QvTableViewControllerBase : public QvViewControllerBase {
 public:
  /// Object cells can read boxes of the value type: objects reach cells of their base classes and,
  /// when polymorphic, cells of any class they are by their own class.
  QvTableViewControllerBase() { Fennix::registerObjectBox<T>(); }

  std::optional<long> dragSourceIndex;
  std::function<void(const T&)> cbRowClick;
  std::string defaultCellID = "cell";
  bool allowRowReordering = false;
  bool animatedReorder = false;
  std::vector<NSPasteboardType> internalDropTypes{Fennix::QvStringPboardType()};
  std::vector<NSPasteboardType> externalDropTypes;
  std::vector<T> arrangedObjects;
  /// One cell per identifier, kept for measuring rows.
  std::map<std::string, Fennix::TableCell> sizingViews;

  /// Insets of the table inside its scroll view; none keeps the automatic ones.
  virtual std::optional<double> tableViewInset() const { return std::nullopt; }
  /// Sets the callback of double clicks; before the view is made, for the clicks to be wired.
  virtual void onRowActivation(std::function<void(const T&)> execute) { cbRowClick = std::move(execute); }

  /// Makes the toolkit's table for controllers of this value type: a single-column table in a
  /// scroll view, attached to the controller (`attachTableView`), the scroll view returned. The
  /// toolkit part installs it; tests install a fake.
  static inline std::function<std::optional<Fennix::LayoutItem>(QvTableViewControllerBase&)> tableViewMaker;

  /// The controller's view is its table, in a scroll view.
  std::optional<Fennix::LayoutItem> makeView() override { return makeTableView(); }
  virtual std::optional<Fennix::LayoutItem> makeTableView() {
    if (!tableViewMaker) {
      console::warn("no table view maker for", description());
      return std::nullopt;
    }
    return tableViewMaker(*this);
  }

  /// The table, once the toolkit made it.
  Fennix::TableViewHandle* tableView() const { return table_; }
  /// Attaches the toolkit's table: its configuration, then the dragged types it takes.
  virtual void attachTableView(Fennix::TableViewHandle* table) {
    table_ = table;
    if (!table_) return;
    configure(*table_);
    if (auto types = supportedDropTypes(); !types.empty()) table_->registerForDraggedTypes(types);
  }
  /// Last set-up of the table; the toolkit part wires double clicks when `cbRowClick` is set.
  virtual void configure(Fennix::TableViewHandle&) {}

  virtual std::string viewIDForRow(long) const { return defaultCellID; }

  /// Shows a row's value in a cell: in its text label or control; other views are reported.
  virtual void loadValue(const std::optional<T>& value, Fennix::TableCellView& view) {
    std::any boxed;
    if (value) boxed = *value;
    if (!view.setObjectValue(boxed)) {
      console::warn("don't know how to push value into cell:", "<cell " + view.reuseIdentifier() + ">",
                    Fennix::rowValueText(value));
    }
  }
  /// A new cell for `identifier`: the portable cell of the default style.
  virtual Fennix::TableCell makeCell(const std::string& identifier, long row, Fennix::TableViewHandle& table) {
    (void)row;
    return table.makeCell(identifier);
  }
  /// The table's reusable cell for `identifier`, or a new one.
  virtual Fennix::TableCell dequeueOrMakeCell(const std::string& identifier, long row, Fennix::TableViewHandle& table) {
    if (auto reused = table.dequeueCell(identifier)) return reused;
    return makeCell(identifier, row, table);
  }

  /// Handles a double click on the table.
  virtual void onDoubleClick() {
    if (!cbRowClick) {
      console::warn("detected double-click, but no row callback active?", description());
      return;
    }
    if (!table_) return;
    const long row = table_->clickedRow();
    if (row < 0 || row >= count()) return;
    if (auto value = objectValue(row)) {
      cbRowClick(*value);
    } else {
      console::error("no object for clicked row?", row);
    }
  }

  /// The rows of plain text, and of row indexes when rows may be reordered, and the others.
  std::vector<NSPasteboardType> supportedDropTypes() const {
    std::vector<NSPasteboardType> types;
    if (allowRowReordering) types.push_back(Fennix::QvIndexSetPboardType());
    types.insert(types.end(), internalDropTypes.begin(), internalDropTypes.end());
    types.insert(types.end(), externalDropTypes.begin(), externalDropTypes.end());
    return types;
  }

  long count() const { return static_cast<long>(arrangedObjects.size()); }

  /// The element at `row`; none outside the list.
  virtual std::optional<T> objectValue(long row) const {
    if (row < 0 || row >= count()) return std::nullopt;
    return arrangedObjects[static_cast<std::size_t>(row)];
  }
  /// Replaces the element at `row`; no value removes it. Rows outside the list are left alone.
  virtual void setObjectValue(long row, std::optional<T> value) {
    if (row < 0 || row >= count()) {
      console::warn("no row to set a value at:", row);
      return;
    }
    if (value) {
      arrangedObjects[static_cast<std::size_t>(row)] = std::move(*value);
    } else {
      arrangedObjects.erase(arrangedObjects.begin() + row);
    }
  }

  /// Moves the element at `source` above the row `proposed` (counted before the removal); false
  /// and no change when both are equal or either is outside the list.
  virtual bool moveItem(long source, long proposed) {
    if (source == proposed) return false;
    if (source < 0 || source >= count() || proposed < 0 || proposed > count()) return false;
    const long target = proposed >= source ? proposed - 1 : proposed;
    T item = std::move(arrangedObjects[static_cast<std::size_t>(source)]);
    arrangedObjects.erase(arrangedObjects.begin() + source);
    arrangedObjects.insert(arrangedObjects.begin() + target, std::move(item));
    return true;
  }

  /// The objects a drop from outside the table makes, put into `arrangedObjects` by the subclass;
  /// none refuses the drop (the base refuses every drop).
  virtual std::optional<std::vector<T>> createObjects(const Fennix::DraggingInfo&, long, const std::map<NSPasteboardType, std::string>&) {
    return std::nullopt;
  }

  /// The height of a row: its value in the sizing cell of its identifier, laid out at the table's
  /// width; never below the table's row height.
  virtual double heightOfRow(Fennix::TableViewHandle& table, long row) {
    const std::string identifier = this->viewIDForRow(row);
    auto& sizing = sizingViews[identifier];
    if (!sizing) sizing = dequeueOrMakeCell(identifier, row, table);
    if (!sizing) return table.rowHeight();
    loadValue(objectValue(row), *sizing);
    const double fitting = sizing->fittingHeight(table.boundsWidth());
    return table.rowHeight() >= fitting ? table.rowHeight() : fitting;
  }
  /// The row height: the fitting height of the row's cell, at least the table's row height.
  double heightForRow(double fittingHeight) const {
    const double rowHeight = table_ ? table_->rowHeight() : 0;
    return rowHeight >= fittingHeight ? rowHeight : fittingHeight;
  }

 protected:
  Fennix::TableViewHandle* table_ = nullptr;
};

template <typename T>
class QvTableViewController : public QvTableViewControllerBase<T> {
 public:
  QvTableViewController() = default;

  virtual bool shouldSelectRow(long) const { return true; }
  /// The row view that holds a row; none leaves the table its own.
  virtual Fennix::TableRow rowViewForRow(long row) {
    (void)row;
    return nullptr;
  }
  /// The cell of a row: reused or made for the row's identifier, with the row's value loaded.
  virtual Fennix::TableCell viewFor(Fennix::TableViewHandle& table, long row) {
    const std::string identifier = this->viewIDForRow(row);
    auto cell = this->dequeueOrMakeCell(identifier, row, table);
    if (cell) this->loadValue(this->objectValue(row), *cell);
    return cell;
  }
  virtual long numberOfRows() const { return this->count(); }
  /// The element at the row, untyped; empty outside the list.
  virtual std::any objectValueFor(long row) const {
    if (auto value = this->objectValue(row)) return *value;
    return {};
  }
  /// Writes the value at the row. An empty value removes the row's element; a value of another
  /// type is refused with a warning and the element stays.
  virtual void setObjectValueFor(const std::any& value, long row) {
    if (!value.has_value()) {
      this->setObjectValue(row, std::nullopt);
      return;
    }
    if (auto typed = Fennix::castAny<T>(value)) {
      this->setObjectValue(row, std::move(typed));
      return;
    }
    console::warn("refusing value of another type for row:", row);
  }

  /// Starts a drag of `rows`: only when rows may be reordered. The pasteboard gets the rows.
  virtual bool writeRows(const std::set<std::size_t>& rows, std::map<NSPasteboardType, std::string>& pasteboard) {
    if (!this->allowRowReordering || rows.empty()) return false;
    pasteboard.clear();
    pasteboard[Fennix::QvIndexSetPboardType()] = Fennix::encodeIndexSet(rows);
    this->dragSourceIndex = static_cast<long>(*rows.begin());
    return true;
  }

  virtual Fennix::NSDragOperation validateDrop(const Fennix::DraggingInfo& info, long proposedRow,
                                               Fennix::NSTableViewDropOperation operation) {
    (void)proposedRow;
    using Op = Fennix::NSDragOperation;
    if (operation != Fennix::NSTableViewDropOperation::above) return Op::none;
    switch (info.source) {
      case Fennix::DraggingInfo::Source::none:
        return Op::none;
      case Fennix::DraggingInfo::Source::thisTable:
        return this->allowRowReordering ? Op::link : Op::none;
      case Fennix::DraggingInfo::Source::other:
        return Op::copy;
    }
    return Op::none;
  }

  virtual bool acceptDrop(const Fennix::DraggingInfo& info, long row, Fennix::NSTableViewDropOperation) {
    auto* table = this->tableView();
    if (info.source == Fennix::DraggingInfo::Source::thisTable) {
      if (!this->allowRowReordering || !this->dragSourceIndex) return false;
      const long source = *std::exchange(this->dragSourceIndex, std::nullopt);
      if (!this->moveItem(source, row)) return true;
      if (table) {
        if (this->animatedReorder) {
          const long target = row > source ? row - 1 : row;
          table->moveRow(static_cast<std::size_t>(source), static_cast<std::size_t>(target));
        } else {
          table->reloadData();
        }
      }
      return true;
    }
    auto created = this->createObjects(info, row, info.pasteboard);
    if (!created) return false;
    if (table) {
      // One row per object made.
      if (this->animatedReorder && !created->empty() && row >= 0) {
        std::set<std::size_t> rows;
        for (std::size_t i = 0; i < created->size(); ++i) rows.insert(static_cast<std::size_t>(row) + i);
        table->insertRows(rows);
      } else {
        table->reloadData();
      }
    }
    return true;
  }
};
