#include "SyntaxEditor/SyntaxEditorFatal.h"

#include <cstdio>
#include <cstdlib>

[[noreturn]] void syntaxEditorFatal(const std::string& message) {
  std::fprintf(stderr, "Fatal error: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}
