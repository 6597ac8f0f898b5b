// The visual format language of constraints:
//   (H:|V:)? (|connection)? [view(predicates)] (connection [view(predicates)])* (connection|)?
// A connection is nothing (flush), "-" (the standard spacing) or "-predicates-"; predicates are a
// number or metric, or "(" predicate ("," predicate)* ")" with a predicate of an optional relation
// (==, <=, >=), a number, metric or view name, and an optional "@" priority.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Fennix/UI/Common/LayoutConstraint.h"

namespace Fennix {

/// The standard spacing between sibling views and between a view and its superview's edge.
inline constexpr double standardSiblingSpacing = 8;
inline constexpr double standardSuperviewSpacing = 20;

struct VisualFormatResult {
  NSLayoutConstraintList constraints;
  /// Why the format was rejected: "Unable to parse constraint format: ", the reason, the format
  /// and a caret under the place of the fault. No constraints then.
  std::optional<std::string> error;
};

using SuperviewResolver = std::function<std::optional<LayoutItem>(LayoutItem)>;

/// The constraints of one format; "|" is the superview of the view beside it, as `superviewOf`
/// (by default the layout host) knows it. Nothing is activated.
VisualFormatResult parseVisualFormat(std::string_view format, const QvMetrics& metrics, const QvViewsMap& views,
                                     const SuperviewResolver& superviewOf = {});

}  // namespace Fennix
