#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"

#include <gtest/gtest.h>

#include <numbers>

using SwiftUIModel::TransformStep;

namespace {

const TransformStep move = TransformStep::translate(10, -2.5);
const TransformStep turn = TransformStep::rotate(std::numbers::pi / 2);
const TransformStep grow = TransformStep::scale(2, 0.5);
const TransformStep skew = TransformStep::matrix({1, 2, 3, 4, 5, 6});

}  // namespace

TEST(TransformEmit, InitialiserOfTheFirstStepThenModifiers) {
  SVGSwiftUIExporter stream{SVGSwiftUIExporter::Config{}};
  EXPECT_TRUE(stream.generateTransform({}).empty());
  EXPECT_EQ(stream.generateTransform({move, turn, grow, skew}),
            (std::vector<std::string>{"CGAffineTransform(translationX: 10, y: -2.5)", ".rotated(by: 1.5708)",
                                      ".scaledBy(x: 2, y: 0.5)",
                                      ".concatenating(CGAffineTransform(a: 1, b: 2, c: 3, d: 4, tx: 5, ty: 6))"}));
  EXPECT_EQ(stream.generateTransform({turn, move}, true),
            (std::vector<std::string>{".init(rotationAngle: 1.5708)", ".translatedBy(x: 10, y: -2.5)"}));
  EXPECT_EQ(stream.initTransform(grow, true), ".init(scaleX: 2, y: 0.5)");
  EXPECT_EQ(stream.initTransform(skew, true), ".init(a: 1, b: 2, c: 3, d: 4, tx: 5, ty: 6)");
  const TransformStep identity = TransformStep::matrix(CGAffineTransform::identity());
  EXPECT_EQ(stream.initTransform(identity), "CGAffineTransform.identity");
  EXPECT_EQ(stream.initTransform(identity, true), ".identity");
  EXPECT_EQ(stream.modifyTransform(identity), ".concatenating(CGAffineTransform.identity)");
}

TEST(TransformEmit, ExpressionTextIndentsFurtherStepsOneLevelDeeper) {
  SVGSwiftUIExporter::Config config;
  config.indentString = "\t";
  SVGSwiftUIExporter stream{config};
  EXPECT_EQ(stream.exportTransform({}), "");
  EXPECT_EQ(stream.exportTransform({turn}), "CGAffineTransform(rotationAngle: 1.5708)");
  stream.nest([&] {
    EXPECT_EQ(stream.exportTransform({move, grow, turn}),
              "CGAffineTransform(translationX: 10, y: -2.5)\n\t\t.scaledBy(x: 2, y: 0.5)\n\t\t.rotated(by: 1.5708)\n");
  });
  EXPECT_EQ(stream.swift(), "");
}
