#include "PortKit/Common/TableView.h"

#include "Fennix/Foundation/BaseTypes/FatalError.h"

NSTableViewAnimationOptions NSTableViewAnimationOptions::fade{1};
NSTableViewAnimationOptions NSTableViewAnimationOptions::right{64};
NSTableViewAnimationOptions NSTableViewAnimationOptions::left{48};
NSTableViewAnimationOptions NSTableViewAnimationOptions::top{16};
NSTableViewAnimationOptions NSTableViewAnimationOptions::bottom{32};
NSTableViewAnimationOptions NSTableViewAnimationOptions::none{0};
NSTableViewAnimationOptions NSTableViewAnimationOptions::middle{2};
NSTableViewAnimationOptions NSTableViewAnimationOptions::automatic{32};

namespace PortKit {

std::set<std::size_t> rowIndexes(const std::vector<IndexPath>& indexPaths) {
  std::set<std::size_t> rows;
  for (const IndexPath& path : indexPaths) {
    if (path.size() < 2)
      Fennix::fatalError("index path of " + std::to_string(path.size()) + " elements names no row");
    rows.insert(path[1]);
  }
  return rows;
}

void checkRows(const std::set<std::size_t>& rows, std::size_t rowCount, const char* operation, bool inserting) {
  // Inserted rows are positions in the table as it is after the insertion.
  const std::size_t limit = inserting ? rowCount + rows.size() : rowCount;
  for (std::size_t row : rows)
    if (row >= limit)
      Fennix::fatalError(std::string(operation) + ": row " + std::to_string(row) + " out of range of " +
                         std::to_string(rowCount) + " rows");
}

namespace {

Fennix::LayoutItem require(const TableCellConstraints::LabelAccessor& accessor) {
  Fennix::LayoutItem label = accessor ? accessor() : Fennix::LayoutItem{};
  if (!label) Fennix::fatalError("did not specify base view");
  return label;
}

NSLayoutConstraintPtr equal(Fennix::LayoutItem a, NSLayoutAttribute attributeA, Fennix::LayoutItem b,
                            NSLayoutAttribute attributeB, double constant) {
  return NSLayoutConstraint::make(a, attributeA, NSLayoutRelation::equal, b, attributeB, 1, constant);
}

}  // namespace

bool TableCellConstraints::update(ViewSetup required, Fennix::LayoutItem cell, const LabelAccessor& textLabel,
                                  const LabelAccessor& detailTextLabel, const Metrics& metrics) {
  if (required == installedSetup_) return false;
  NSLayoutConstraint::deactivate(installed_);
  installed_.clear();
  const double p = metrics.padding;
  using A = NSLayoutAttribute;
  NSLayoutConstraintList constraints;
  if (required == ViewSetup::labelDetail) {
    const Fennix::LayoutItem text = require(textLabel);
    const Fennix::LayoutItem detail = require(detailTextLabel);
    constraints = {
        equal(text, A::leading, cell, A::leading, p),
        equal(text, A::trailing, cell, A::trailing, -p),
        equal(detail, A::leading, cell, A::leading, p),
        equal(detail, A::trailing, cell, A::trailing, -p),
        equal(text, A::top, cell, A::top, p),
        equal(detail, A::top, text, A::bottom, metrics.labelPadding),
        equal(cell, A::bottom, detail, A::bottom, p),
    };
  } else if (required == ViewSetup::label) {
    const Fennix::LayoutItem text = require(textLabel);
    constraints = {
        equal(text, A::leading, cell, A::leading, p),
        equal(text, A::trailing, cell, A::trailing, -p),
        equal(cell, A::height, text, A::height, 0),
        equal(text, A::centerY, cell, A::centerY, 0),
    };
  }
  installed_ = std::move(constraints);
  installedSetup_ = required;
  NSLayoutConstraint::activate(installed_);
  return true;
}

}  // namespace PortKit
