// Rows and items named by a path of indexes, shared by tables and collection views.
#pragma once

#include <cstddef>
#include <vector>

/// A path of indexes; rows of a table are (section, item).
using IndexPath = std::vector<std::size_t>;
