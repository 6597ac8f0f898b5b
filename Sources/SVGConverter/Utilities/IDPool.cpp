#include "SVGConverter/Utilities/IDPool.h"

#include "Platform/UUID.h"

#include <utility>

IDPool::IDPool(std::string namePrefix) : prefix(std::move(namePrefix)) {}

std::string IDPool::nextID(const std::optional<std::string>& preferred) {
  if (preferred && usedIDs.insert(*preferred)) return *preferred;
  // Numbers skipped because their identifier was taken stay used up.
  do {
    ++counter;
    std::string candidate = prefix + std::to_string(counter);
    if (usedIDs.insert(candidate)) return candidate;
  } while (counter < 1000);
  return SVGParser::newUUIDString();
}

void IDPool::reserve(const std::string& id) { usedIDs.insert(id); }
