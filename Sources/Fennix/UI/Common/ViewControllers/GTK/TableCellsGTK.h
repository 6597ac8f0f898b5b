// The typed table cells on the toolkit: the portable table cell with a represented value. Made with
// `NSTableViewCell::make<Cell>(style, identifier)` or `withID(identifier)`, a cell runs `onInit()`
// and then `loadValue()` with no value by itself, before anyone else sees it.
#pragma once

#include <optional>
#include <string>

#include "Fennix/UI/Common/ViewControllers/TableCells.h"
#include "PortKit/GTK/TableViewCell.h"

template <typename T>
class QvValueTableViewCell : public QvValueCell<T, NSTableViewCell> {
 public:
  QvValueTableViewCell(UXTableViewCellStyle style, const std::optional<std::string>& reuseIdentifier)
      : QvValueCell<T, NSTableViewCell>(style, reuseIdentifier) {}

  /// A new cell of the default style whose reuse identifier is `id`.
  template <typename Cell = QvValueTableViewCell>
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
class QvObjectTableViewCell : public QvObjectCell<T, NSTableViewCell> {
 public:
  QvObjectTableViewCell(UXTableViewCellStyle style, const std::optional<std::string>& reuseIdentifier)
      : QvObjectCell<T, NSTableViewCell>(style, reuseIdentifier) {}

  template <typename Cell = QvObjectTableViewCell>
  static Cell* withID(const std::string& id) {
    return NSTableViewCell::make<Cell>(UXTableViewCellStyle::default_, id);
  }

 protected:
  void onSetup() override {
    NSTableViewCell::onSetup();
    this->didMakeCell();
  }
};
