#include "SVGConverter/Utilities/StringSet.h"

#include <functional>
#include <limits>
#include <stdexcept>

namespace {

std::uint32_t hashOf(std::string_view text) {
  return static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
}

}  // namespace

std::string_view StringSet::string(std::uint32_t number) const {
  const std::size_t begin = starts_[number];
  const std::size_t end = number + 1 < starts_.size() ? starts_[number + 1] : characters_.size();
  return std::string_view(characters_).substr(begin, end - begin);
}

std::size_t StringSet::find(std::string_view text, std::uint32_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t index = hash & mask;; index = (index + 1) & mask) {
    const Slot& slot = slots_[index];
    if (slot.entry == 0 || (slot.hash == hash && string(slot.entry - 1) == text)) return index;
  }
}

std::optional<std::size_t> StringSet::number(std::string_view text) const {
  if (slots_.empty()) return std::nullopt;
  const Slot& slot = slots_[find(text, hashOf(text))];
  if (slot.entry == 0) return std::nullopt;
  return slot.entry - 1;
}

std::pair<std::size_t, bool> StringSet::add(std::string_view text) {
  // At most half the slots are used, so that a probe ends soon at an empty one.
  if (2 * (starts_.size() + 1) > slots_.size()) grow();
  const std::uint32_t hash = hashOf(text);
  Slot& slot = slots_[find(text, hash)];
  if (slot.entry != 0) return {slot.entry - 1, false};
  slot = Slot{hash, static_cast<std::uint32_t>(starts_.size() + 1)};
  starts_.push_back(characters_.size());
  characters_.append(text);
  return {slot.entry - 1, true};
}

void StringSet::grow() {
  // Entries are numbered in 32 bits and the table is placed by 32 bits of hash.
  if (starts_.size() >= std::numeric_limits<std::uint32_t>::max() / 2) throw std::length_error("StringSet");
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 16 : 2 * old.size(), Slot{});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.entry == 0) continue;
    std::size_t index = slot.hash & mask;
    while (slots_[index].entry != 0) index = (index + 1) & mask;
    slots_[index] = slot;
  }
}
