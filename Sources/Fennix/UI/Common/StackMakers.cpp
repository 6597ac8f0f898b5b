#include "Fennix/UI/Common/StackMakers.h"

namespace Fennix {
namespace {

LayoutItem makeStack(const std::optional<std::string>& id, NSUserInterfaceLayoutOrientation axis,
                     NSStackViewDistribution distribution, std::optional<NSLayoutAttribute> alignment,
                     std::optional<NSLayoutPriority> hug, double spacing,
                     const std::vector<std::optional<LayoutItem>>& views, const StackBlock& block) {
  std::vector<LayoutItem> present;
  for (const auto& view : views)
    if (view && *view) present.push_back(*view);
  LayoutItem stack = controllerViewKit().makeStackView(present, axis, distribution, alignment, hug, spacing);
  if (block) block(stack);
  if (id && layoutHost()) layoutHost()->setIdentifier(stack, *id);
  return stack;
}

}  // namespace

LayoutItem makeVStack(const std::optional<std::string>& id, NSStackViewDistribution vdist,
                      std::optional<NSLayoutAttribute> halign, std::optional<NSLayoutPriority> hug, double spacing,
                      const std::vector<std::optional<LayoutItem>>& views, const StackBlock& block) {
  return makeStack(id, NSUserInterfaceLayoutOrientation::vertical, vdist, halign, hug, spacing, views, block);
}

LayoutItem makeHStack(const std::optional<std::string>& id, NSStackViewDistribution hdist,
                      std::optional<NSLayoutAttribute> valign, double spacing, std::optional<NSLayoutPriority> hug,
                      std::optional<NSLayoutPriority> hhug, const std::vector<std::optional<LayoutItem>>& views,
                      const StackBlock& block) {
  LayoutItem stack = makeStack(id, NSUserInterfaceLayoutOrientation::horizontal, hdist, valign, hug, spacing, views, block);
  if (hhug) setHHug(stack, *hhug);
  return stack;
}

}  // namespace Fennix
