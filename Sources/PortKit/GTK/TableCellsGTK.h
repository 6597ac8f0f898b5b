// The typed table cells on the toolkit: the portable table cell with a represented value. Made with
// `NSTableViewCell::make<Cell>(style, identifier)` or `withID(identifier)`, a cell runs `onInit()`
// and then `loadValue()` with no value by itself, before anyone else sees it.
#pragma once

#include <optional>
#include <string>

#include "Fennix/UI/Common/ViewControllers/TableCells.h"
#include "PortKit/GTK/TableViewCell.h"

/// What the toolkit's typed cells share: `Typed` is the typed cell over the portable table cell,
/// `Self` the cell class `withID` makes unless told another.
template <typename Typed, typename Self>
class QvTypedTableViewCell : public Typed {
 public:
  QvTypedTableViewCell(UXTableViewCellStyle style, const std::optional<std::string>& reuseIdentifier)
      : Typed(style, reuseIdentifier) {}

  /// A new cell of the default style whose reuse identifier is `id`.
  template <typename Cell = Self>
  static Cell* withID(const std::string& id) {
    return NSTableViewCell::make<Cell>(UXTableViewCellStyle::default_, id);
  }

 protected:
  void onSetup() override {
    NSTableViewCell::onSetup();
    this->didMakeCell();
  }
};

template <typename T>
class QvValueTableViewCell : public QvTypedTableViewCell<QvValueCell<T, NSTableViewCell>, QvValueTableViewCell<T>> {
  using Base = QvTypedTableViewCell<QvValueCell<T, NSTableViewCell>, QvValueTableViewCell<T>>;

 public:
  using Base::Base;
};

template <typename T>
class QvObjectTableViewCell : public QvTypedTableViewCell<QvObjectCell<T, NSTableViewCell>, QvObjectTableViewCell<T>> {
  using Base = QvTypedTableViewCell<QvObjectCell<T, NSTableViewCell>, QvObjectTableViewCell<T>>;

 public:
  using Base::Base;
};
