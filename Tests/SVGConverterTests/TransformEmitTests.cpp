#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

#include <numbers>

using SwiftUIModel::TransformStep;

TEST(TransformEmit, InitialiserOfTheFirstStepThenIndentedModifiers) {
  const TransformStep move = TransformStep::translate(10, -2.5);
  const TransformStep turn = TransformStep::rotate(std::numbers::pi / 2);
  const TransformStep grow = TransformStep::scale(2, 0.5);
  SVGSwiftUIExporter::Config config;
  config.indentString = "\t";
  SVGSwiftUIExporter stream{config};
  EXPECT_EQ(stream.generateTransform({move, turn, grow, TransformStep::matrix({1, 2, 3, 4, 5, 6})}),
            (std::vector<std::string>{"CGAffineTransform(translationX: 10, y: -2.5)", ".rotated(by: 1.5708)",
                                      ".scaledBy(x: 2, y: 0.5)",
                                      ".concatenating(CGAffineTransform(a: 1, b: 2, c: 3, d: 4, tx: 5, ty: 6))"}));
  EXPECT_EQ(stream.initTransform(TransformStep::matrix(CGAffineTransform::identity()), true), ".identity");
  EXPECT_EQ(stream.exportTransform({}), "");
  stream.nest([&] {
    EXPECT_EQ(stream.exportTransform({move, grow, turn}),
              "CGAffineTransform(translationX: 10, y: -2.5)\n\t\t.scaledBy(x: 2, y: 0.5)\n\t\t.rotated(by: 1.5708)\n");
  });
  EXPECT_EQ(stream.swift(), "");
}
