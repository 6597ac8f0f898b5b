#include "SVGConverter/Exporter/SVGSwiftUIExporterConfig.h"

#include <gtest/gtest.h>

TEST(ExporterConfig, DefaultsAndMemberwiseEquality) {
  SVGSwiftUIExporterConfig set;
  set.rootViewName = "";
  set.indentString = "  ";
  set.shapeTypePrefix = "\n";
  set.pathMethodPrefix = "\n";
  set.infoComments = true;
  set.generatePreviewProvider = true;
  set.exportHexColorExtension = false;
  set.generateImport = true;
  set.newlineAfterClosePath = true;
  set.frameAsProperty = true;
  set.assumeDefaultStrokeStyle = false;
  set.indentEmptyLines = false;
  set.preferInitOverType = true;
  set.positionUsingPadding = true;
  set.preferMultilineConstants = false;
  set.modifiersForInlinableFilters = true;
  set.inlineFiltersIfPossible = true;
  set.useThousandsSeparator = true;
  set.maximumFractionDigits = 4;
  set.verbatimTexts = false;
  set.modifierSectionComment = "Modifiers and Statics";
  set.nestedViewsSectionComment = "Nested Groups and Shapes";
  EXPECT_EQ(SVGSwiftUIExporterConfig{}, set);

  SVGSwiftUIExporterConfig other;
  other.nestedViewsSectionComment.reset();
  EXPECT_NE(other, set);
  other = set;
  other.modifierSectionComment = "Modifiers";
  EXPECT_NE(other, set);
  other = set;
  other.maximumFractionDigits = 2;
  EXPECT_NE(other, set);
}
