// The loggers the system utilities write through.
#pragma once

#include "Fennix/console/Logger.h"

namespace systemlog {

/// The process-wide console.
Logger& console();
/// The module logger of the defaults change relay ("GN").
Logger& relay();

}  // namespace systemlog
