#include "Fennix/UI/Common/Views/TableLogic.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <numeric>

namespace Fennix {

std::optional<std::set<long>> selectionForItems(const std::set<long>& currentSelection,
                                                const std::vector<long>& itemRows) {
  if (itemRows.empty()) {
    if (currentSelection.empty()) return std::nullopt;
    return std::set<long>{};
  }
  std::set<long> rows;
  for (long row : itemRows) {
    if (row < 0) return std::nullopt;
    rows.insert(row);
  }
  if (rows == currentSelection) return std::nullopt;
  return rows;
}

std::string tableDescription(std::string_view typeName, const void* table, long rows, long columns) {
  char identity[64];
  std::snprintf(identity, sizeof identity, "ObjectIdentifier(0x%016" PRIxPTR ")", reinterpret_cast<std::uintptr_t>(table));
  return "<" + std::string(typeName) + ":" + identity + ":" + " rows=" + std::to_string(rows) +
         " cols=" + std::to_string(columns) + ">";
}

CGFloat contentSizedHeight(CGFloat documentHeight, std::optional<CGFloat> tableHeaderHeight) {
  if (documentHeight == noIntrinsicMetric || !tableHeaderHeight) return documentHeight;
  return documentHeight + *tableHeaderHeight + 1;
}

std::optional<CGFloat> TableButtonsLayout::minimumWidth(CGFloat buttonWidth, long imageCount) {
  if (buttonWidth <= 0) return std::nullopt;
  return (buttonWidth + 1) * CGFloat(imageCount) + 1;
}

CGFloat TableButtonsLayout::fillerWidth(CGFloat barWidth, const std::vector<CGFloat>& segmentWidths) {
  const CGFloat taken = std::accumulate(segmentWidths.begin(), segmentWidths.end(), CGFloat(0));
  return std::max<CGFloat>(0, barWidth - taken);
}

}  // namespace Fennix
