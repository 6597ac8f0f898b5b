// Vertical and horizontal stacks from a list of optional views: missing views are dropped and the
// others keep their order.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Fennix/UI/Common/ViewControllers/ViewController.h"

namespace Fennix {

using StackBlock = std::function<void(LayoutItem stack)>;

/// A vertical stack; the identifier is set when given; the block configures the stack.
LayoutItem makeVStack(const std::optional<std::string>& id, NSStackViewDistribution vdist,
                      std::optional<NSLayoutAttribute> halign, std::optional<NSLayoutPriority> hug, double spacing,
                      const std::vector<std::optional<LayoutItem>>& views, const StackBlock& block = {});
/// A horizontal stack; `hhug`, when given, then becomes its horizontal hugging priority.
LayoutItem makeHStack(const std::optional<std::string>& id, NSStackViewDistribution hdist,
                      std::optional<NSLayoutAttribute> valign, double spacing, std::optional<NSLayoutPriority> hug,
                      std::optional<NSLayoutPriority> hhug, const std::vector<std::optional<LayoutItem>>& views,
                      const StackBlock& block = {});

}  // namespace Fennix
