#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGConverter/Utilities/Chunked.h"
#include "SVGConverter/Utilities/PrefixLines.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

SVGSwiftUIExporter::Config options(bool infoComments = true) {
  SVGSwiftUIExporter::Config config;
  config.infoComments = infoComments;
  return config;
}

}  // namespace

TEST(CodeGenerationStream, LineCommentsFollowInfoCommentSwitch) {
  SVGSwiftUIExporter on(options(true));
  on.writeln("a", "note", "extra");
  on.writeln("b", "note");
  on.writelnWithInfoComment("c", "extra");
  on.writeln("d", "");
  on.writelnInfoComment("SVG");
  EXPECT_EQ(on.swift(), "a // note, Info:extra\nb // note\nc // extra\nd // \n// SVG\n");

  SVGSwiftUIExporter off(options(false));
  off.writeln("a", "note", "extra");
  off.writelnWithInfoComment("c", "extra");
  off.writelnInfoComment("SVG");
  EXPECT_EQ(off.swift(), "a // note\nc\n");
}

TEST(CodeGenerationStream, BlocksCloseAtTheirOwnDepth) {
  SVGSwiftUIExporter stream(options(true));
  stream.block("struct A: View", [&] {
    stream.block("GeometryReader { proxy in", [&] { stream.writeln("Circle()"); });
    stream.block("ZStack", "", [&] {});
    stream.block("ZStack", "feBlend", [&] {});
  });
  EXPECT_EQ(stream.swift(),
            "struct A: View {\n"
            "  GeometryReader { proxy in\n"
            "    Circle()\n"
            "  }\n"
            "  ZStack {\n"
            "  }\n"
            "  ZStack { // feBlend\n"
            "  }\n"
            "}\n");
  EXPECT_EQ(stream.indent(), 0);
  EXPECT_EQ(stream.prefix(), "");

  SVGSwiftUIExporter quiet(options(false));
  quiet.block("Group", "feBlend", [&] { quiet.writeln("x"); });
  EXPECT_EQ(quiet.swift(), "Group {\n  x\n}\n");
}

TEST(CodeGenerationStream, EmptyLinesAndNesting) {
  auto config = options();
  config.indentString = "\t";
  SVGSwiftUIExporter bare(config);
  config.indentEmptyLines = true;
  SVGSwiftUIExporter indented(config);

  for (SVGSwiftUIExporter* stream : {&bare, &indented}) {
    stream->nest([&] {
      stream->nest([&] {
        stream->writeln("a");
        stream->appendEmptyLine();
        stream->nest(false, [&] { stream->writeln("b"); });
      });
      stream->writeln("c");
    });
    stream->writeln("d");
  }
  EXPECT_EQ(bare.swift(), "\t\ta\n\n\t\tb\n\tc\nd\n");
  EXPECT_EQ(indented.swift(), "\t\ta\n\t\t\n\t\tb\n\tc\nd\n");

  // Content that leaves early still gets its depth restored.
  EXPECT_THROW(bare.nest([&] { bare.nest([] { throw std::runtime_error("stop"); }); }), std::runtime_error);
  EXPECT_EQ(bare.indent(), 0);
  EXPECT_EQ(bare.prefix(), "");
  bare.writeln("e");
  EXPECT_EQ(bare.swift().substr(bare.swift().size() - 2), "e\n");
}

TEST(CodeGenerationStream, WriteLinesIndentsAllButEmptyLines) {
  SVGSwiftUIExporter stream(options());
  stream.nest([&] {
    stream.writeLines("a\n\nb\n");
    stream.writeLines("c");
  });
  EXPECT_EQ(stream.swift(), "  a\n\n  b\n  c");
}

TEST(PrefixLines, LinesEmptyLinesAndFinalNewline) {
  EXPECT_EQ(prefixLines("a\n\nb", "P"), "Pa\n\nPb");
  EXPECT_EQ(prefixLines("a\n\nb", "P", true), "Pa\nP\nPb");
  EXPECT_EQ(prefixLines("a\n\nb\n", "P"), "Pa\n\nPb\n");
  EXPECT_EQ(prefixLines("a\n\n", "P", true), "Pa\nP\n");
  EXPECT_EQ(prefixLines("\n", "P"), "\n");
  EXPECT_EQ(prefixLines("\n", "P", true), "P\n");
  EXPECT_EQ(prefixLines("", "P", true), "");
}

TEST(Chunked, ConsecutiveRunsWithRemainderLast) {
  const std::vector<int> seven{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(chunked(seven, 3), (std::vector<std::vector<int>>{{1, 2, 3}, {4, 5, 6}, {7}}));
  EXPECT_EQ(chunked(seven, 7), (std::vector<std::vector<int>>{seven}));
  EXPECT_EQ(chunked(seven, 100), (std::vector<std::vector<int>>{seven}));
  EXPECT_TRUE(chunked(std::vector<int>{}, 3).empty());
  EXPECT_DEATH(chunked(seven, 0), "chunk size");
}
