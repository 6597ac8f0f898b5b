#include "SVGConverter/Exporter/SVGSwiftUIExporter.h"
#include "SVGConverter/Utilities/BlockText.h"
#include "SVGConverter/Utilities/Chunked.h"
#include "SVGConverter/Utilities/PrefixLines.h"

#include <gtest/gtest.h>

#include <cstring>
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
  on.writelnWithInfoComment("c", "extra");
  on.writelnInfoComment("SVG");
  EXPECT_EQ(on.swift(), "a // note, Info:extra\nc // extra\n// SVG\n");

  SVGSwiftUIExporter off(options(false));
  off.writeln("a", "note", "extra");
  off.writelnWithInfoComment("c", "extra");
  off.writelnInfoComment("SVG");
  EXPECT_EQ(off.swift(), "a // note\nc\n");
}

TEST(CodeGenerationStream, NestingRestoresTheDepth) {
  auto config = options();
  config.indentString = "\t";
  SVGSwiftUIExporter bare(config);
  config.indentEmptyLines = true;
  SVGSwiftUIExporter indented(config);
  for (SVGSwiftUIExporter* stream : {&bare, &indented}) {
    stream->block("A", "feBlend", [&] {
      stream->nest([&] {
        stream->writeln("a");
        stream->appendEmptyLine();
      });
      stream->writeln("c");
    });
  }
  EXPECT_EQ(bare.swift(), "A { // feBlend\n\t\ta\n\n\tc\n}\n");
  EXPECT_EQ(indented.swift(), "A { // feBlend\n\t\ta\n\t\t\n\tc\n}\n");

  // Content that leaves early still gets its depth restored.
  EXPECT_THROW(bare.nest([&] { bare.nest([] { throw std::runtime_error("stop"); }); }), std::runtime_error);
  EXPECT_EQ(bare.indent(), 0);
  EXPECT_EQ(bare.prefix(), "");
}

TEST(CodeGenerationStream, TextSetFromOutsideIsWrittenOn) {
  SVGSwiftUIExporter stream(options());
  stream.writeln("dropped");
  stream.setSwift(std::string(5000, 'x') + "\n");  // past the first block
  stream.block("A", [&] { stream.writeln("a"); });
  EXPECT_EQ(stream.swift(), std::string(5000, 'x') + "\nA {\n  a\n}\n");
  stream.setSwift("");
  stream.writeln("b");
  EXPECT_EQ(stream.takeSwift(), "b\n");

  // Text set from outside counts against the output limit like text written.
  auto limited = options();
  limited.outputLimit = 10;
  SVGSwiftUIExporter small(limited);
  EXPECT_THROW(small.setSwift(std::string(11, 'x')), SVGSwiftUIExporter::OutputLimitReached);
}

TEST(Utilities, PrefixLinesAndChunks) {
  EXPECT_EQ(SVGConverter::prefixLines("a\n\nb\n", "P"), "Pa\n\nPb\n");
  EXPECT_EQ(SVGConverter::prefixLines("a\n\n", "P", true), "Pa\nP\n");
  EXPECT_EQ(SVGConverter::prefixLines("", "P", true), "");

  const std::vector<int> seven{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(SVGConverter::chunked(seven, 3), (std::vector<std::vector<int>>{{1, 2, 3}, {4, 5, 6}, {7}}));
  EXPECT_TRUE(SVGConverter::chunked(std::vector<int>{}, 3).empty());
  EXPECT_DEATH(SVGConverter::chunked(seven, 0), "chunk size");
}

TEST(Utilities, BlockTextKeepsEveryByteAcrossBlocks) {
  SVGConverter::BlockText text;
  std::string expected;
  EXPECT_TRUE(text.empty());
  // Pieces of many sizes, some larger than any block, and text written in place.
  for (int piece = 0; piece < 3000; ++piece) {
    const std::string part(static_cast<std::size_t>(piece * 37 % 1500) + (piece % 500 == 0 ? 600'000 : 0),
                           static_cast<char>('a' + piece % 26));
    text.append(part);
    expected += part;
    text.append('|');
    expected += '|';
    char* room = text.reserve(40);
    const int written = piece % 41;
    std::memset(room, '0' + piece % 10, static_cast<std::size_t>(written));
    text.commit(room + written);
    expected.append(static_cast<std::size_t>(written), static_cast<char>('0' + piece % 10));
    ASSERT_EQ(text.size(), expected.size());
    ASSERT_EQ(text.back(), expected.back());
  }
  EXPECT_EQ(text.str(), expected);
  EXPECT_EQ(text.take(), expected);
  EXPECT_TRUE(text.empty());
  text.append("again");
  EXPECT_EQ(text.take(), "again");
}
