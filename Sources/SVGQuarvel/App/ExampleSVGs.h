// The built-in sample drawings of the "Sample SVGs" menu, and what choosing one does.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "SVGQuarvel/App/DocumentController.h"

struct ExampleSVG {
  std::string_view title;
  std::string_view svg;
};

/// The six samples, in menu order.
extern const std::array<ExampleSVG, 6> exampleSVGs;

namespace ExampleSVGsMenu {

/// The menu's title.
inline constexpr std::string_view title = "Sample SVGs";
/// The item after the samples that opens the icon collection's page, and the page.
inline constexpr std::string_view iconCollectionItemTitle = "Quarvel Glyphs\u2026";
inline constexpr std::string_view iconCollectionURL = "https://quarvel.org/glyphs/";

namespace MenuView {

/// Puts `svg` into `document`, the front document, or, without one, opens a new window with it.
/// Why a window could not be opened, for the caller to say; its drawing is dropped.
std::optional<std::string> openExample(std::string_view svg, const std::shared_ptr<SVGQuarvelDocument>& document,
                                       SVGQuarvel::DocumentController& controller);

}  // namespace MenuView
}  // namespace ExampleSVGsMenu
