// The page the live preview shows: the SVG text inside a small HTML page, with the root `svg`
// tag's size rewritten so that the drawing fills the preview whatever size it declares.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace QuarvelUtilities::SVGWebViewContent {

/// The preview page of `svg`: a page whose one full-size `div` holds `rewriteSVGSize(svg)`.
std::string html(std::string_view svg);

/// The text with its first "<svg" tag rewritten to fill its container: width and height become
/// "100%", x and y are dropped, and a tag without a view box but with a width or height gets one
/// made of x, y, width and height when all of them are plain numbers (a "px" suffix is dropped).
/// Attributes are written sorted by name, their values escaped. Text whose tag cannot be read
/// (no tag, no closing ">", a self-closing or malformed tag) comes back unchanged.
std::string rewriteSVGSize(std::string_view svg);

/// The width of the drawing divided by its height, as the preview page shows it: from the view
/// box of the rewritten root tag (four numbers, the last two positive). None when the drawing
/// has no usable view box: the page then has no shape of its own.
std::optional<double> aspectRatio(std::string_view svg);

/// The margin the preview page keeps around its content on every side (the page's body has the
/// browser's default margin), in pixels.
inline constexpr double pageMargin = 8;

}  // namespace QuarvelUtilities::SVGWebViewContent
