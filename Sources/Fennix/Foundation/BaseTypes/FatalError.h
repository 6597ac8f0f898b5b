// Stopping the process on a programming error: an initialiser that must not be used, a method a
// subclass must override, a broken invariant.
#pragma once

#include <string_view>

namespace Fennix {

/// Writes "Fatal error: " and the message to standard error and aborts.
[[noreturn]] void fatalError(std::string_view message);

}  // namespace Fennix
