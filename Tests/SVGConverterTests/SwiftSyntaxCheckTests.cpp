// The Swift syntax check that the generator tests rely on must point at the
// first fault of broken source (it accepts the golden files and fixtures).

#include "SwiftSyntaxSupport.h"

#if defined(QUARVEL_HAVE_SWIFT_SYNTAX_CHECK)

using SwiftSyntaxCheck::firstSyntaxProblem;

TEST(SwiftSyntaxCheck, ReportsTheLineOfTheFirstFault) {
  auto missing = firstSyntaxProblem("struct A: View {\n  var body: some View {\n    Text(\"a\"\n  }\n}\n");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->line, 3u);

  auto unexpected = firstSyntaxProblem("let a = 1\nlet b = f(x: 1 y: 2)\nlet c = (\n");
  ASSERT_TRUE(unexpected);
  EXPECT_EQ(unexpected->line, 2u);
  EXPECT_EQ(unexpected->message, "unexpected text");

  auto stray = firstSyntaxProblem("struct A {\n}\n}\n");
  ASSERT_TRUE(stray);
  EXPECT_EQ(stray->line, 3u);
}

// The grammar itself accepts these; the Swift compiler does not.
TEST(SwiftSyntaxCheck, RejectsRawLineBreaksAndControlCharactersInLiterals) {
  auto lineBreak = firstSyntaxProblem("let a = 1\nlet t = Text(\"a\nb\")\n");
  ASSERT_TRUE(lineBreak);
  EXPECT_EQ(lineBreak->line, 2u);
  EXPECT_EQ(lineBreak->column, 16u);

  EXPECT_TRUE(firstSyntaxProblem("let t = Text(\"a\rb\")\n"));
  EXPECT_TRUE(firstSyntaxProblem("let t = Text(\"a\tb\")\n"));
  EXPECT_TRUE(firstSyntaxProblem("let t = Text(\"a\x7f\")\n"));

  auto control = firstSyntaxProblem("let t = Text(\"a\x07\")\n");
  ASSERT_TRUE(control);
  EXPECT_EQ(control->message, "control character in source");

  EXPECT_FALSE(firstSyntaxProblem("let t = \"\"\"\n  two\n\tlines\n\"\"\"\n\tlet u = \"\\t\\u{7}\"\n"));
}

#endif
