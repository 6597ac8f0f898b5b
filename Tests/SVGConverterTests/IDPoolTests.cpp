#include <gtest/gtest.h>

#include "SVGConverter/ShapeShifter/SwiftIdentifier.h"
#include "SVGConverter/Utilities/IDPool.h"
#include "SVGConverter/Utilities/StringSet.h"

#include <string>

TEST(IDPool, NumbersAndPreferredIdentifiers) {
  IDPool circles("Circle");
  EXPECT_EQ(circles.nextID(std::nullopt), "Circle1");
  EXPECT_EQ(circles.nextID(std::nullopt), "Circle2");
  EXPECT_EQ(circles.nextID("a"), "a");
  EXPECT_EQ(circles.nextID("a"), "Circle3");

  // A number whose identifier was taken by a preferred one is used up.
  IDPool groups("Group");
  EXPECT_EQ(groups.nextID("Group1"), "Group1");
  EXPECT_EQ(groups.nextID(std::nullopt), "Group2");
  groups.reserve("Group3");
  EXPECT_EQ(groups.nextID(std::nullopt), "Group4");
  EXPECT_EQ(groups.nextID("Group3"), "Group5");
}

TEST(IDPool, GivesUnrecordedUUIDsWhenNumbersRunOut) {
  IDPool pool("P");
  pool.counter = 998;
  pool.reserve("P999");
  pool.reserve("P1000");
  const std::string first = pool.nextID(std::nullopt);
  EXPECT_EQ(first.size(), 36u);
  EXPECT_EQ(pool.usedIDs.count(first), 0u);
  EXPECT_EQ(pool.counter, 1000);
  // One more numbered attempt each time after that.
  EXPECT_EQ(pool.nextID(std::nullopt), "P1001");
}

TEST(StringSet, KeepsEveryStringApartAcrossGrowth) {
  StringSet set;
  EXPECT_FALSE(set.contains(""));
  // Strings stored one after the other stay apart: "ab" and "c" are not "abc".
  EXPECT_TRUE(set.insert("ab"));
  EXPECT_TRUE(set.insert("c"));
  EXPECT_FALSE(set.contains("abc"));
  EXPECT_FALSE(set.contains("a"));
  EXPECT_TRUE(set.insert(""));
  EXPECT_FALSE(set.insert(""));
  EXPECT_TRUE(set.insert(std::string("a\0b", 3)));
  EXPECT_FALSE(set.contains("a"));
  // Many numbered names, as the pools hand them out, through many growths of the table.
  for (int i = 1; i <= 5000; ++i) ASSERT_TRUE(set.insert("Group" + std::to_string(i))) << i;
  for (int i = 1; i <= 5000; ++i) ASSERT_FALSE(set.insert("Group" + std::to_string(i))) << i;
  EXPECT_FALSE(set.contains("Group0"));
  EXPECT_FALSE(set.contains("Group5001"));
  EXPECT_TRUE(set.contains("ab"));
  EXPECT_TRUE(set.contains(std::string("a\0b", 3)));
  EXPECT_EQ(set.size(), 5004u);
  // Strings are numbered in the order they came, and keep their number.
  EXPECT_EQ(set.number("ab"), 0u);
  EXPECT_EQ(set.number("Group1"), 4u);
  EXPECT_EQ(set.add("Group5000"), std::make_pair(std::size_t{5003}, false));
  EXPECT_EQ(set.add("x"), std::make_pair(std::size_t{5004}, true));
  EXPECT_EQ(set.number("y"), std::nullopt);
}

TEST(SwiftIdentifier, NamesAreValidSwiftIdentifiers) {
  using SwiftIdentifier::propertyName;
  using SwiftIdentifier::typeName;
  EXPECT_EQ(typeName("my-shape"), "My_shape");
  EXPECT_EQ(typeName("3d"), "Z3d");
  EXPECT_EQ(propertyName("3d"), "z3d");
  EXPECT_EQ(typeName(""), "");
  // Keywords, and names Swift keeps for itself inside a type.
  EXPECT_EQ(propertyName("default"), "default_");
  EXPECT_EQ(typeName("self"), "Self_");
  // Names the generated code uses for the types it refers to and for the
  // members of its view types.
  EXPECT_EQ(typeName("path"), "Path_");
  EXPECT_EQ(propertyName("body"), "body_");
  EXPECT_EQ(propertyName("ViewBox"), "viewBox_");
  // Letters of any script stay; the first is case-mapped.
  EXPECT_EQ(typeName("\xC3\xA9t\xC3\xA9"), "\xC3\x89t\xC3\xA9");
  EXPECT_EQ(propertyName("\xCE\x94x"), "\xCE\xB4x");
  // Bytes that are no UTF-8 and invisible characters become "_".
  EXPECT_EQ(typeName("a\xFF"), "A_");
  for (const char* text : {"my-shape", "3d", "self", "\xC3\xA9t\xC3\xA9", "x\xFF"}) {
    EXPECT_EQ(typeName(typeName(text)), typeName(text)) << text;
    EXPECT_EQ(propertyName(propertyName(text)), propertyName(text)) << text;
  }
}

TEST(SwiftIdentifier, ReservedWordsOfEveryShape) {
  using SwiftIdentifier::isReserved;
  // Single characters, digits and long words are reserved as well.
  for (const char* word : {"_", "in", "UInt32", "CGAffineTransform", "precedencegroup", "viewBox", "ZStack"}) {
    EXPECT_TRUE(isReserved(word)) << word;
  }
  // Begun or ended as a reserved word is, or a word cut short.
  for (const char* name : {"", "UInt3", "Ux2", "i_n", "sef", "viewbox", "ZStack2", "PathView12", "\xC3\xA9n"}) {
    EXPECT_FALSE(isReserved(name)) << name;
  }
}
