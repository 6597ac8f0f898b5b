// A set of strings kept in flat arrays, for the names of one conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// The characters of every string, one after the other, and an open-addressed table of short
/// hashes that points into them. Adding a new string touches one place of the table, which
/// holds eight bytes a string, and the end of the characters; growing walks the table in order;
/// the whole set is freed at once. A drawing of many thousand named elements so costs the same
/// for each name, where a set of one allocation per string spends most of its time chasing
/// pointers through memory that no longer fits any cache. Nothing is ever removed.
class StringSet {
 public:
  /// Adds `text` unless it is in the set already; whether it was added.
  bool insert(std::string_view text) { return add(text).second; }
  bool contains(std::string_view text) const { return number(text).has_value(); }
  /// Adds `text` unless it is in the set already; its number (0 for the first string added, and
  /// so on) and whether it was added.
  std::pair<std::size_t, bool> add(std::string_view text);
  /// The number of `text`, nothing when it is not in the set.
  std::optional<std::size_t> number(std::string_view text) const;
  std::size_t count(std::string_view text) const { return contains(text) ? 1 : 0; }
  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }

 private:
  struct Slot {
    /// The low bits of the string's hash, which also place it in the table.
    std::uint32_t hash = 0;
    /// One more than the string's number; 0 for an empty slot.
    std::uint32_t entry = 0;
  };

  std::string_view string(std::uint32_t number) const;
  /// The slot that holds `text`, or the empty one where it would go.
  std::size_t find(std::string_view text, std::uint32_t hash) const;
  void grow();

  std::string characters_;
  /// Where each string begins in `characters_`; it ends where the next one begins.
  std::vector<std::size_t> starts_;
  std::vector<Slot> slots_;
};
