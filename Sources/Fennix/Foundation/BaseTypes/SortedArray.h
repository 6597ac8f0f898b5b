// A value that keeps its elements sorted by a comparator; meant for small collections.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Fennix/Foundation/BaseTypes/FatalError.h"

template <typename Element>
class QvSortedArray {
 public:
  /// Whether the first element must come before the second.
  using Comparator = std::function<bool(const Element&, const Element&)>;

  template <typename Sequence>
  QvSortedArray(const Sequence& elements, Comparator comparator)
      : comparator_(std::move(comparator)), storage_(std::begin(elements), std::end(elements)) {
    sort();
  }
  /// Sorted by less-than.
  template <typename Sequence>
  explicit QvSortedArray(const Sequence& elements) : QvSortedArray(elements, std::less<Element>()) {}
  QvSortedArray(std::initializer_list<Element> elements, Comparator comparator = std::less<Element>())
      : comparator_(std::move(comparator)), storage_(elements) {
    sort();
  }

  const Comparator& comparator() const { return comparator_; }
  const std::vector<Element>& storage() const { return storage_; }

  // A read-only collection with integer positions.
  std::size_t startIndex() const { return 0; }
  std::size_t endIndex() const { return storage_.size(); }
  std::size_t index(std::size_t after) const { return after + 1; }
  std::size_t size() const { return storage_.size(); }
  bool empty() const { return storage_.empty(); }
  auto begin() const { return storage_.begin(); }
  auto end() const { return storage_.end(); }
  const Element& operator[](std::size_t position) const {
    if (position >= storage_.size()) {
      Fennix::fatalError("QvSortedArray: index " + std::to_string(position) + " out of range of " +
                         std::to_string(storage_.size()) + " elements");
    }
    return storage_[position];
  }

  /// Adds one element; equal elements keep their order of insertion.
  void insert(Element element) {
    storage_.push_back(std::move(element));
    sort();
  }

  std::optional<Element> min() const {
    if (storage_.empty()) return std::nullopt;
    return storage_.front();
  }
  std::optional<Element> max() const {
    if (storage_.empty()) return std::nullopt;
    return storage_.back();
  }

 private:
  void sort() { std::stable_sort(storage_.begin(), storage_.end(), comparator_); }

  Comparator comparator_;
  std::vector<Element> storage_;
};
