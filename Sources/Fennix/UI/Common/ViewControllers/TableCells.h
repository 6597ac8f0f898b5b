// Table cells with a typed model value. `QvValueCell` (values) and `QvObjectCell` (shared objects)
// add the represented value and a fixed order of hooks to a cell class: once the cell is made,
// `onInit()` builds its subviews and `loadValue()` runs with no value; later values arrive through
// `loadValue()`, or untyped through `QvLoadableCell::loadAnyValue()` from controllers that do not
// know the cell's type. The toolkit's cells derive from these over the portable table cell.
#pragma once

#include <any>
#include <memory>
#include <optional>
#include <string>

namespace Fennix {

/// A row view made by the toolkit's table or outline: the portable cell with a text label, a
/// control, or another view.
class TableCellView {
 public:
  virtual ~TableCellView() = default;
  /// The identifier under which the table keeps it for reuse.
  virtual std::string reuseIdentifier() const = 0;
  /// Shows a value (empty for none) in the cell's text label or control; false when the view
  /// takes no value.
  virtual bool setObjectValue(const std::any& value) = 0;
  /// The height the view needs at `width` with its current content.
  virtual double fittingHeight(double width) = 0;
};
using TableCell = std::shared_ptr<TableCellView>;

/// A cell that takes a value of any type.
class QvLoadableCell {
 public:
  virtual ~QvLoadableCell() = default;
  /// Loads the value when it has the cell's type, else no value.
  virtual void loadAnyValue(const std::any& value) = 0;
};

}  // namespace Fennix

template <typename T, typename Base>
class QvValueCell : public Base, public Fennix::QvLoadableCell {
 public:
  using Base::Base;

  std::optional<T> representedObject;

  /// Runs once, after the cell is made.
  virtual void onInit() {}
  /// Shows a value; overrides call the base to keep `representedObject` current.
  virtual void loadValue(const std::optional<T>& value) { representedObject = value; }
  void loadAnyValue(const std::any& value) override {
    if (const T* typed = std::any_cast<T>(&value)) {
      loadValue(*typed);
    } else {
      loadValue(std::nullopt);
    }
  }

  /// The hooks of a made cell, in their order; the toolkit's cells run them once when made.
  void didMakeCell() {
    onInit();
    loadValue(std::nullopt);
  }
};

template <typename T, typename Base>
class QvObjectCell : public Base, public Fennix::QvLoadableCell {
 public:
  using Base::Base;

  std::shared_ptr<T> representedObject;

  virtual void onInit() {}
  virtual void loadValue(const std::shared_ptr<T>& value) { representedObject = value; }
  void loadAnyValue(const std::any& value) override {
    if (const auto* typed = std::any_cast<std::shared_ptr<T>>(&value)) {
      loadValue(*typed);
    } else {
      loadValue(nullptr);
    }
  }

  void didMakeCell() {
    onInit();
    loadValue(nullptr);
  }
};
