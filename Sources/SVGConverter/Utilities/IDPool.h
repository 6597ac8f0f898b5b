// Pools of unique identifiers for generated type and property names.
#pragma once

#include <optional>
#include <string>

#include "SVGConverter/Utilities/StringSet.h"

/// Hands out identifiers that do not repeat within the pool: the preferred
/// one when it is still free, otherwise the prefix followed by a counter.
/// A pool lives for one conversion; nothing is ever removed from it.
struct IDPool {
  /// Text that numbered identifiers begin with.
  std::string prefix;
  /// Every identifier the pool has handed out and recorded.
  StringSet usedIDs;
  /// Last number used for a numbered identifier.
  int counter = 0;

  explicit IDPool(std::string namePrefix = "id");

  /// A fresh identifier, `preferred` when it is given and still free.
  /// After the counter passed 1000 without a free numbered identifier the
  /// answer is a random UUID, which is not recorded.
  std::string nextID(const std::optional<std::string>& preferred);

  /// Records `id` as taken without handing it out.
  void reserve(const std::string& id);
};
