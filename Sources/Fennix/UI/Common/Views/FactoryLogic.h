// Decisions of the view factory that need no toolkit: the looks of a label from its arguments and
// its style, the rows of a grid made from views that may be missing, the constraints of a padder,
// and the text forms of numbers the kit writes into visual formats and identifiers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Fennix/UI/Common/LayoutConstraint.h"
#include "Fennix/UI/Common/StackViewTypes.h"
#include "Fennix/UI/Common/Styles.h"

namespace Fennix {

/// What a label ends up with: an argument wins over the style; a font or colour that neither
/// gives stays as the label has it (none here); the alignment is always set, left by default.
struct LabelLooks {
  NSTextAlignment align = NSTextAlignment::left;
  NSFontPtr font;
  std::optional<NSColor> color;
};

LabelLooks labelLooks(std::optional<NSTextAlignment> align, NSFontPtr font, std::optional<NSColor> color,
                      const QvStyles::Label* style);

/// The rows of a grid from rows of views that may be missing: rows keep their order, a missing
/// view stays an empty cell (null), and a row that is empty or holds no view at all is dropped.
template <typename View>
std::vector<std::vector<View*>> gridRows(const std::vector<std::vector<View*>>& rows) {
  std::vector<std::vector<View*>> kept;
  for (const auto& row : rows) {
    bool hasView = false;
    for (View* view : row) hasView = hasView || view != nullptr;
    if (hasView) kept.push_back(row);
  }
  return kept;
}

/// The size a grid starts with: both counts, or none (an empty grid) when either is missing. A
/// negative count is no size either.
struct GridSize {
  int columns = 0;
  int rows = 0;
};
std::optional<GridSize> gridSize(std::optional<int> columns, std::optional<int> rows);

/// The constraints of a view that holds space, not yet activated, and the hugging it gets.
/// A fixed size is one required constraint; an expanding one is at least the size, wants the size
/// only at priority 1, and hugs at 50.
struct PadderPlan {
  NSLayoutConstraintList constraints;
  std::optional<NSLayoutPriority> verticalHugging;
  std::optional<NSLayoutPriority> horizontalHugging;
};
PadderPlan padderPlan(LayoutItem view, std::optional<double> v, std::optional<double> h, bool expands);

/// One view of a stack along the stack's axis: its least and natural length, and how strongly it
/// keeps its natural length (its hugging priority along the axis).
struct StackMember {
  double minimum = 0;
  double natural = 0;
  NSLayoutPriority hugging = NSLayoutPriorityDefaultLow;
};
/// Where a stack of `length` puts its views along its axis, by its distribution: the offset and
/// length of each. With room to spare: gravity areas pack the views at their natural lengths from
/// the start; fill gives the spare room to the views of the lowest hugging, shared alike; fill
/// equally makes all views alike; fill proportionally sizes them in proportion to their natural
/// lengths; equal spacing spreads the spare room over the gaps; equal centering spaces the views'
/// centres alike (never closer than the spacing). Without room, every view gives up the same share
/// of what it has above its least length, down to that length.
struct StackSlot {
  double offset = 0;
  double length = 0;
  bool operator==(const StackSlot&) const = default;
};
std::vector<StackSlot> stackSlots(NSStackViewDistribution distribution, const std::vector<StackMember>& members,
                                  double length, double spacing);

/// The default text of a double: the shortest text that reads back as the same value, always with
/// a fraction ("8.0", "1440.0", "0.5"), "inf", "-inf" and "nan" for the others.
std::string doubleText(double value);

}  // namespace Fennix
