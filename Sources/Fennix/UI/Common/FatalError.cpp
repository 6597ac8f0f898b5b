#include "Fennix/UI/Common/FatalError.h"

#include <cstdio>
#include <cstdlib>

namespace Fennix {

void fatalError(std::string_view message) {
  std::fprintf(stderr, "Fatal error: %.*s\n", static_cast<int>(message.size()), message.data());
  std::fflush(stderr);
  std::abort();
}

}  // namespace Fennix
