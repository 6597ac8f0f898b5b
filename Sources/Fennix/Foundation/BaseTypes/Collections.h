// Small algorithms over arrays, collections and sets: moving an element to a drop position,
// selecting and removing by predicate or by object identity, index sets of matching positions,
// grouping by a key and the difference between two sets.
#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Fennix/Foundation/BaseTypes/FatalError.h"

namespace Fennix {

/// A sorted set of non-negative positions.
using IndexSet = std::set<std::size_t>;

/// The identity of an object held by a shared pointer (or a plain pointer).
template <typename T>
const void* objectIdentity(const std::shared_ptr<T>& object) {
  return static_cast<const void*>(object.get());
}
template <typename T>
const void* objectIdentity(T* object) {
  return static_cast<const void*>(object);
}

}  // namespace Fennix

/// Moves the element at `from` to the drop position `to` (0 ... count, counted before the move).
/// Answers false and changes nothing when `from` equals `to`. Positions out of range stop the
/// process.
template <typename T>
bool moveItem(std::vector<T>& array, std::size_t from, std::size_t to) {
  if (from >= array.size() || to > array.size()) {
    Fennix::fatalError("moveItem(from: " + std::to_string(from) + ", to: " + std::to_string(to) +
                       ") in an array of " + std::to_string(array.size()) + " elements");
  }
  if (from == to) return false;
  T element = std::move(array[from]);
  array.erase(array.begin() + static_cast<std::ptrdiff_t>(from));
  const std::size_t position = to > from ? to - 1 : to;
  array.insert(array.begin() + static_cast<std::ptrdiff_t>(position), std::move(element));
  return true;
}

/// Offsets (in iteration order) of the elements for which `predicate` is true.
template <typename Collection, typename Predicate>
Fennix::IndexSet indices(const Collection& collection, Predicate predicate) {
  Fennix::IndexSet result;
  std::size_t offset = 0;
  for (const auto& element : collection) {
    if (predicate(element)) result.insert(result.end(), offset);
    ++offset;
  }
  return result;
}

/// The elements at the indexes of `indexes`, in ascending index order. An index outside the
/// collection stops the process.
template <typename Collection>
auto elements(const Collection& collection, const Fennix::IndexSet& indexes) {
  std::vector<std::decay_t<decltype(*std::begin(collection))>> result;
  result.reserve(indexes.size());
  const std::size_t count = static_cast<std::size_t>(std::size(collection));
  for (std::size_t index : indexes) {
    if (index >= count) {
      Fennix::fatalError("index " + std::to_string(index) + " out of range of a collection of " +
                         std::to_string(count) + " elements");
    }
    result.push_back(*std::next(std::begin(collection), static_cast<std::ptrdiff_t>(index)));
  }
  return result;
}

/// Removes the elements for which `predicate` is true; it is called once per element, in order.
template <typename T, typename Predicate>
void removeAll(std::vector<T>& array, Predicate predicate) {
  if (array.empty()) return;
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < array.size(); ++i) {
    if (predicate(array[i])) offsets.push_back(i);
  }
  // Removing from the highest offset keeps the order of the rest; compact in one pass.
  std::size_t next = 0, write = 0;
  for (std::size_t read = 0; read < array.size(); ++read) {
    if (next < offsets.size() && offsets[next] == read) {
      ++next;
      continue;
    }
    if (write != read) array[write] = std::move(array[read]);
    ++write;
  }
  array.erase(array.begin() + static_cast<std::ptrdiff_t>(write), array.end());
}

/// Removes every element that is the same object as some element of `objects`.
template <typename T, typename Objects>
void removeIdentical(std::vector<T>& array, const Objects& objects) {
  removeAll(array, [&objects](const T& element) {
    for (const auto& object : objects) {
      if (Fennix::objectIdentity(object) == Fennix::objectIdentity(element)) return true;
    }
    return false;
  });
}

/// For each object of `objects`, in order, the first offset of the same object in `array`;
/// objects not found add nothing.
template <typename T, typename Objects>
Fennix::IndexSet indexSetForObjectsIdentical(const std::vector<T>& array, const Objects& objects) {
  Fennix::IndexSet result;
  for (const auto& object : objects) {
    for (std::size_t i = 0; i < array.size(); ++i) {
      if (Fennix::objectIdentity(array[i]) == Fennix::objectIdentity(object)) {
        result.insert(i);
        break;
      }
    }
  }
  return result;
}

/// A dictionary from key to the first element that produced it; elements without a key (an
/// empty optional) are skipped.
template <typename Collection, typename KeyFunction>
auto groupByFirst(const Collection& collection, KeyFunction keyFunction) {
  using Element = std::decay_t<decltype(*std::begin(collection))>;
  using Key = typename std::decay_t<decltype(keyFunction(*std::begin(collection)))>::value_type;
  std::unordered_map<Key, Element> result;
  result.reserve(static_cast<std::size_t>(std::size(collection)));
  for (const auto& element : collection) {
    auto key = keyFunction(element);
    if (!key.has_value()) continue;
    result.try_emplace(std::move(*key), element);
  }
  return result;
}

/// The difference between an older and a newer set.
template <typename Set>
struct SetChanges {
  Set added;
  Set same;
  Set removed;
};

/// `added` is the newer set minus the older, `same` their intersection, `removed` the older minus
/// the newer.
template <typename Set>
SetChanges<Set> changes(const Set& older, const Set& newer) {
  SetChanges<Set> result;
  for (const auto& element : newer) {
    if (older.find(element) == older.end()) {
      result.added.insert(element);
    } else {
      result.same.insert(element);
    }
  }
  for (const auto& element : older) {
    if (newer.find(element) == newer.end()) result.removed.insert(element);
  }
  return result;
}
