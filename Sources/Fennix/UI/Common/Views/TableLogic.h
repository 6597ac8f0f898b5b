// Decisions of the kit's tables without a display: which rows a selection by items selects, when a
// click clears the selection, the height of a scroll view sized by its table, and the widths of the
// button bar under a table.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Geometry.h"

namespace Fennix {

/// The value of a size without an intrinsic metric.
inline constexpr CGFloat noIntrinsicMetric = -1;

/// The rows to select for a selection set by items. `itemRows` holds the row of every item in the
/// order given, below 0 for an item the outline does not show. None means "leave the selection as
/// it is": an empty list while nothing is selected, any item without a row, or the same rows as
/// now. Otherwise exactly the rows to select (empty: deselect everything).
std::optional<std::set<long>> selectionForItems(const std::set<long>& currentSelection,
                                                const std::vector<long>& itemRows);

/// Whether a click with no row under it clears the selection.
inline bool clickClearsSelection(bool deselectOnNonRowClick, bool allowsEmptySelection, long rowAtClick) {
  return deselectOnNonRowClick && allowsEmptySelection && rowAtClick < 0;
}

/// "<" type ":" "ObjectIdentifier(0x…)" ":" " rows=" n " cols=" m ">".
std::string tableDescription(std::string_view typeName, const void* table, long rows, long columns);

/// The intrinsic height of a scroll view sized by its document: the document's height, plus the
/// header's height and 1 when the document is a table with a header. A height without metric stays.
CGFloat contentSizedHeight(CGFloat documentHeight, std::optional<CGFloat> tableHeaderHeight);

/// The button bar under a table: n image segments and an empty, disabled filler segment last.
struct TableButtonsLayout {
  /// Segments in all: the images and the filler.
  static long segmentCount(long imageCount) { return imageCount + 1; }
  /// The least width of the bar when the images have a fixed width: (width + 1) × n + 1.
  static std::optional<CGFloat> minimumWidth(CGFloat buttonWidth, long imageCount);
  /// The width left for the filler in a bar `barWidth` wide whose other segments take
  /// `segmentWidths`; never below 0, so a narrow bar gives the filler nothing.
  static CGFloat fillerWidth(CGFloat barWidth, const std::vector<CGFloat>& segmentWidths);
};

}  // namespace Fennix
