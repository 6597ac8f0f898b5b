// Options of the SwiftUI source generator.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

/// The generator's options. `SVGSwiftUIExporterConfig{}` holds every default;
/// the exporter keeps a copy for one export and every emitter reads it there.
/// Also reachable as `SVGSwiftUIExporter::Config`.
struct SVGSwiftUIExporterConfig {
  /// Type name forced on the root view; empty lets the converter choose one.
  std::string rootViewName;
  /// Text of one indentation level.
  std::string indentString = "  ";
  /// Written unchanged right before each nested `Shape` type of a path view.
  std::string shapeTypePrefix = "\n";
  /// Written unchanged right before the `path(in:)` method of a `Shape` type.
  std::string pathMethodPrefix = "\n";
  /// Write info comments (whole-line, on block headers, ", Info:" parts).
  bool infoComments = true;
  /// End the file with a preview provider.
  bool generatePreviewProvider = true;
  /// Write colours with a known RGB value as hexadecimal literals, and the
  /// `Color` initialiser they need at the end of the file.
  bool exportHexColorExtension = false;
  /// Begin the file with "import SwiftUI" and an empty line.
  bool generateImport = true;
  /// An empty line after "path.closeSubpath()" when more commands follow.
  bool newlineAfterClosePath = true;
  /// Write the static intrinsic size and origin properties where not forced.
  bool frameAsProperty = true;
  /// Leave a stroke style equal to the default out of the stroke modifier.
  bool assumeDefaultStrokeStyle = false;
  /// Empty lines carry the current indentation text.
  bool indentEmptyLines = false;
  /// Write literals whose type the context implies as ".init(".
  bool preferInitOverType = true;
  /// Place children with paddings; false places them with a position modifier.
  bool positionUsingPadding = true;
  /// Always write gradient stops one per line.
  bool preferMultilineConstants = false;
  /// An inlined filter still gets its `ViewModifier` type among the definitions.
  bool modifiersForInlinableFilters = true;
  /// Write inlinable filters as modifiers on the view itself.
  bool inlineFiltersIfPossible = true;
  /// Give the number formatter "_" as thousands separator (no grouping shows).
  bool useThousandsSeparator = true;
  /// Most fraction digits in a formatted number; a negative count counts as 0.
  int maximumFractionDigits = 4;
  /// Write text views with the `verbatim:` argument label.
  bool verbatimTexts = false;
  /// Info comment above the definitions of a view type; none when absent.
  std::optional<std::string> modifierSectionComment = std::string("Modifiers and Statics");
  /// Info comment above the nested child types of a view type; none when absent.
  std::optional<std::string> nestedViewsSectionComment = std::string("Nested Groups and Shapes");
  /// Most bytes of Swift one export may write; passing it stops the export with
  /// `OutputLimitReached`. A small drawing that refers to large definitions many times over
  /// would otherwise write gigabytes. Zero means no limit.
  std::size_t outputLimit = std::size_t{64} << 20;

  bool operator==(const SVGSwiftUIExporterConfig&) const = default;
};
