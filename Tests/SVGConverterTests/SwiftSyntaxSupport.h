#pragma once
// Checks generated Swift text with the tree-sitter Swift grammar when the
// checker was built (it needs the grammar from scripts/fetch-test-data.sh).

#include <gtest/gtest.h>

#include <string>

#if defined(QUARVEL_HAVE_SWIFT_SYNTAX_CHECK)
#include "SwiftSyntaxCheck/SwiftSyntaxCheck.h"
#endif

inline bool haveSwiftSyntaxCheck() {
#if defined(QUARVEL_HAVE_SWIFT_SYNTAX_CHECK)
  return true;
#else
  return false;
#endif
}

// Success when the text parses as Swift; otherwise the place, the offending
// line and the whole text.
inline ::testing::AssertionResult isValidSwift(const std::string& text) {
#if defined(QUARVEL_HAVE_SWIFT_SYNTAX_CHECK)
  if (auto problem = SwiftSyntaxCheck::firstSyntaxProblem(text)) {
    return ::testing::AssertionFailure()
           << problem->description() << "\n  " << SwiftSyntaxCheck::sourceLine(text, problem->line)
           << "\n--- source ---\n" << text;
  }
#else
  (void)text;
#endif
  return ::testing::AssertionSuccess();
}

#define SKIP_WITHOUT_SWIFT_SYNTAX_CHECK()                                                  \
  do {                                                                                     \
    if (!haveSwiftSyntaxCheck()) GTEST_SKIP() << "Swift grammar not fetched; run scripts/fetch-test-data.sh"; \
  } while (0)
