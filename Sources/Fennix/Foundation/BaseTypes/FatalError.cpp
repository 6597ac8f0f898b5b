#include "Fennix/Foundation/BaseTypes/FatalError.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace Fennix {

void fatalError(std::string_view message) {
  const std::string text(message);
  std::fflush(stdout);
  std::fprintf(stderr, "Fatal error: %s\n", text.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace Fennix
