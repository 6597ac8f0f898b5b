#include "SVGQuarvel/App/ExampleSVGs.h"

const std::array<ExampleSVG, 6> exampleSVGs = {{
    {"Quarvel Glyphs Icon",
     R"SVG(<svg width="24" height="24" xmlns="http://www.w3.org/2000/svg" fill-rule="evenodd" clip-rule="evenodd">
  <!-- Quarvel Glyphs: cog, https://quarvel.org/glyphs/cog -->
  <path d="M12 1.50L13.49 1.61L14.32 4.08L15.43 4.50L17.68 3.17L18.88 4.06L18.23 6.60L18.94 7.54L21.55 7.64L22.07 9.04L20.17 10.83L20.25 12L22.39 13.49L22.07 14.96L19.50 15.43L18.94 16.46L19.94 18.88L18.88 19.94L16.46 18.94L15.43 19.50L14.96 22.07L13.49 22.39L12 20.25L10.83 20.17L9.04 22.07L7.64 21.55L7.54 18.94L6.60 18.23L4.06 18.88L3.17 17.68L4.50 15.43L4.08 14.32L1.61 13.49L1.50 12L3.83 10.83L4.08 9.68L2.45 7.64L3.17 6.32L5.77 6.60L6.60 5.77L6.32 3.17L7.64 2.45L9.68 4.08L10.83 3.83ZM12 8.75a3.25 3.25 0 1 0 0 6.5a3.25 3.25 0 1 0 0-6.5Z"/>
</svg>
)SVG"},
    {"Linear Gradient",
     R"SVG(<svg width="120" height="240" version="1.1" xmlns="http://www.w3.org/2000/svg">
  <!-- after the linear gradient example of the SVG tutorial pages -->
  <defs>
      <linearGradient id="Gradient1">
        <stop class="stop1" offset="0%"/>
        <stop class="stop2" offset="50%"/>
        <stop class="stop3" offset="100%"/>
      </linearGradient>
      <linearGradient id="Gradient2" x1="0" x2="0" y1="0" y2="1">
        <stop offset="0%" stop-color="red"/>
        <stop offset="50%" stop-color="black" stop-opacity="0"/>
        <stop offset="100%" stop-color="blue"/>
      </linearGradient>
      <style type="text/css"><![CDATA[
        #rect1 { fill: url(#Gradient1); }
        .stop1 { stop-color: red; }
        .stop2 { stop-color: black; stop-opacity: 0; }
        .stop3 { stop-color: blue; }
      ]]></style>
  </defs>

  <rect id="rect1" x="10" y="10" rx="15" ry="15" width="100" height="100"/>
  <rect x="10" y="120" rx="15" ry="15" width="100" height="100" fill="url(#Gradient2)"/>
</svg>
)SVG"},
    {"Simple Ellipse",
     R"SVG(<svg viewBox="0 0 200 100" xmlns="http://www.w3.org/2000/svg">
  <!-- after the ellipse example of the SVG element reference -->
  <ellipse cx="100" cy="50" rx="100" ry="50" />
</svg>
)SVG"},
    {"Blurred Circles",
     R"SVG(<svg width="230" height="120"
 xmlns="http://www.w3.org/2000/svg"
 xmlns:xlink="http://www.w3.org/1999/xlink">
  <!-- after the Gaussian blur example of the SVG filter reference -->
  <filter id="blurMe">
    <feGaussianBlur in="SourceGraphic" stdDeviation="5" />
  </filter>

  <circle cx="60"  cy="60" r="50" fill="green" />

  <circle cx="170" cy="60" r="50" fill="green"
          filter="url(#blurMe)" />
</svg>
)SVG"},
    {"Merge Filter Drop Shadow",
     R"SVG(<svg width="120" height="120"
 xmlns="http://www.w3.org/2000/svg"
 xmlns:xlink="http://www.w3.org/1999/xlink">
  <!-- after the merge example of the SVG filter reference -->
  <filter id="dropShadow">
    <feGaussianBlur in="SourceAlpha" stdDeviation="3" />
    <feOffset dx="2" dy="4" />
    <feMerge>
        <feMergeNode />
        <feMergeNode in="SourceGraphic" />
    </feMerge>
  </filter>

  <circle cx="60"  cy="60" r="50" fill="green"
          filter="url(#dropShadow)" />
</svg>
)SVG"},
    {"Gradient Filled Text",
     R"SVG(<svg width="200" height="80" version="1.1" xmlns="http://www.w3.org/2000/svg">
  <defs>
    <linearGradient id="Gradient" x1="0" x2="0" y1="0" y2="1">
      <stop offset="0%" stop-color="red"/>
      <stop offset="50%" stop-color="black" stop-opacity="0.5"/>
      <stop offset="100%" stop-color="blue"/>
    </linearGradient>
  </defs>
  <text x="10" y="72" style="font: italic 64px serif;" fill="url(#Gradient)">Quarvel</text>
</svg>
)SVG"},
}};

namespace ExampleSVGsMenu::MenuView {

std::optional<std::string> openExample(std::string_view svg, const std::shared_ptr<SVGQuarvelDocument>& document,
                                       SVGQuarvel::DocumentController& controller) {
  if (document) {
    document->svgString = std::string(svg);
    return std::nullopt;
  }
  std::optional<std::string> failure;
  try {
    SVGQuarvelDocument::openSVG(std::string(svg), SVGQuarvelConfiguration::defaultConfig(), [&] {
      try {
        controller.openUntitledDocumentAndDisplay(true);
      } catch (const std::exception& error) {
        // no window: the queued snapshot is dropped with it
        failure = error.what();
      } catch (...) {
        failure = "The new window could not be made.";
      }
    });
  } catch (...) {
    // the conversion failed: nothing opens
  }
  return failure;
}

}  // namespace ExampleSVGsMenu::MenuView
