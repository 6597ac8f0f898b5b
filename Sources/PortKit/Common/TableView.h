// The table names of the touch platform over our tables: cell styles, row animation names, rows
// named by index paths and the cell's layout of its labels.
#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Fennix/UI/Common/IndexPath.h"
#include "Fennix/UI/Common/LayoutConstraint.h"

enum class UXTableViewCellStyle { default_, value1, value2, subtitle };

/// A row animation; the values of the named ones can be changed for the whole process.
struct NSTableViewAnimationOptions {
  unsigned value = 0;
  bool operator==(const NSTableViewAnimationOptions&) const = default;

  // The row animation names, each starting with the toolkit's value it stands for. Assigning one
  // changes what every later use of the name means.
  static NSTableViewAnimationOptions fade;       // 1: fade
  static NSTableViewAnimationOptions right;      // 64: slide right
  static NSTableViewAnimationOptions left;       // 48: slide left
  static NSTableViewAnimationOptions top;        // 16: slide up
  static NSTableViewAnimationOptions bottom;     // 32: slide down
  static NSTableViewAnimationOptions none;       // 0
  static NSTableViewAnimationOptions middle;     // 2: gap
  static NSTableViewAnimationOptions automatic;  // 32: slide down
};

namespace PortKit {

/// The rows named by index paths: the item (position 1) of each; sections are not mapped, so
/// equal items of different sections are one row. An index path without an item stops the process.
std::set<std::size_t> rowIndexes(const std::vector<IndexPath>& indexPaths);

/// Checks rows against a table of `rowCount` rows before changing it; a row at or beyond the end
/// (or, when inserting, beyond the grown table) stops the process with a message naming `operation`.
void checkRows(const std::set<std::size_t>& rows, std::size_t rowCount, const char* operation, bool inserting);

/// The labels of a table cell and the constraints that place them.
enum class ViewSetup { none, image, label, imageLabel, imageLabelDetail, labelDetail };

/// The layout the present labels need: a detail label always lays out both labels.
inline ViewSetup requiredViewSetup(bool hasTextLabel, bool hasDetailLabel) {
  if (hasDetailLabel) return ViewSetup::labelDetail;
  return hasTextLabel ? ViewSetup::label : ViewSetup::none;
}

/// The constraints a cell installs for its labels, rebuilt only when the set of labels changes.
class TableCellConstraints {
 public:
  struct Metrics {
    double padding = 8;
    double labelPadding = 4;
  };
  /// Returns the label, making it when missing; an absent item is a programming error.
  using LabelAccessor = std::function<Fennix::LayoutItem()>;

  /// Installs the constraints of `required` unless they are installed already; whether it did.
  bool update(ViewSetup required, Fennix::LayoutItem cell, const LabelAccessor& textLabel,
              const LabelAccessor& detailTextLabel, const Metrics& metrics);

  ViewSetup installedSetup() const { return installedSetup_; }
  const NSLayoutConstraintList& installedConstraints() const { return installed_; }

 private:
  ViewSetup installedSetup_ = ViewSetup::none;
  NSLayoutConstraintList installed_;
};

}  // namespace PortKit
