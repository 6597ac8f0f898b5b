// What a widget's text buffer shows of a text storage's attributes, and the changes that bring it
// in line, one at a time, so that a widget can apply them in short slices of its main loop:
// the visible part first, and only where the buffer differs from the storage. On lines longer
// than a threshold only windows near the view carry styles (laying out a line walks all of its
// style boundaries); elsewhere on such lines the buffer shows none. Positions count UTF-16 units
// of the storage's text; each change also names its character offsets for the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "SyntaxEditor/TextStorage/TextStorage.h"

namespace SyntaxEditorSupport {

/// Disjoint, sorted ranges.
class RangeSet {
 public:
  bool empty() const { return ranges_.empty(); }
  const std::vector<NSRange>& ranges() const { return ranges_; }
  void add(NSRange range);
  void remove(NSRange range);
  void clear() { ranges_.clear(); }
  /// Follows a text edit: `range` (old coordinates) now holds `newLength` units; ranges after it
  /// move, ranges inside it shrink to the new text.
  void replace(NSRange range, std::size_t newLength);

 private:
  std::vector<NSRange> ranges_;
};

class StyleMirror {
 public:
  /// The style ids of the buffer: no style, a style not known (text the buffer inserted may take
  /// the styles around it), or an entry of `attributes`.
  static constexpr std::uint32_t none = 0;
  static constexpr std::uint32_t unknown = 1;

  /// One change of the buffer: over `range` (characters `firstCharacter` to `endCharacter`),
  /// remove the style `shown` and apply `wanted`.
  struct Change {
    NSRange range;
    std::size_t firstCharacter = 0;
    std::size_t endCharacter = 0;
    std::uint32_t shown = none;
    std::uint32_t wanted = none;
    bool operator==(const Change& other) const = default;
  };

  explicit StyleMirror(const NSTextStorage& storage, std::size_t longLineThreshold = 10000,
                       std::size_t windowMargin = 3000);

  std::size_t longLineThreshold() const { return threshold_; }
  std::size_t windowMargin() const { return margin_; }
  /// The attributes of a style id of at least 2.
  const TextAttributes& attributes(std::uint32_t id) const { return table_[id - 2]; }

  /// The buffer's text changed with the storage's: `range` (old coordinates) holds `newLength`
  /// units whose styles are unknown, or none when `bare`. They are to be styled.
  void textDidChange(NSRange range, std::size_t newLength, bool bare = false);
  /// The buffer shows style `id` (none, or a style it was given) over `range`, text it inserted
  /// inside that style: the text is compared as usual, and needs no change where the storage
  /// wants that style too.
  void bufferShows(NSRange range, std::uint32_t id);
  /// The storage's attributes changed over `range`.
  void attributesDidChange(NSRange range);
  /// Ranges to compare again only when `releaseDeferred` is called (the storage re-highlights
  /// them, and its results will mark them).
  void defer(NSRange range);
  /// Defers `range` with the new text in it, which is then not compared until the release either:
  /// text put in from outside while the storage highlights it is restyled once, with its results,
  /// instead of once with the styles it took from its neighbours and again (each restyle of many
  /// lines costs the toolkit a layout of all of them).
  void deferReplaced(NSRange range);
  void releaseDeferred();
  bool hasDeferred() const { return !deferred_.empty(); }

  /// The part of the text in view: it is brought in line first.
  void setVisibleRange(NSRange range) { visible_ = range; }
  /// The lines longer than the threshold (their terminators excluded), in order.
  const std::vector<NSRange>& longLines() const;
  bool isOnLongLine(std::size_t index) const;
  /// The parts of long lines that carry styles (near the view); the rest of those lines shows none.
  void setWindows(std::vector<NSRange> windows);
  const std::vector<NSRange>& windows() const { return windows_; }

  /// Whether the buffer shows everything it should (deferred ranges aside).
  bool isSettled() const { return dirty_.empty(); }
  /// The next change, comparing at most `maxSteps` stretches; none when there is nothing to change
  /// or the steps ran out first (call again while not settled).
  std::optional<Change> next(std::size_t maxSteps = 4096);
  /// Up to `maxChanges` changes, in order, from one stretch of the text.
  std::vector<Change> nextChanges(std::size_t maxChanges, std::size_t maxSteps = 4096);

  /// The style id the buffer shows at a unit (for checks).
  std::uint32_t shownAt(std::size_t index) const;

 private:
  struct Run {
    std::size_t location;
    std::size_t length;
    std::uint32_t id;
  };
  std::size_t runIndex(std::size_t index) const;
  std::size_t splitAt(std::size_t index);
  /// Marks `range` to be compared again, except its deferred parts.
  void compareAgain(NSRange range);
  /// Sets the style of `range` in `shown_` and joins equal neighbours.
  void setShown(NSRange range, std::uint32_t id);
  std::uint32_t intern(const TextAttributes& attributes);
  /// What the buffer should show at `index`, and where that stretch ends (at most `end`).
  std::uint32_t wantedAt(std::size_t index, std::size_t end, std::size_t& stretchEnd, const TextAttributes*& wanted);
  std::size_t characterOffset(std::size_t utf16Offset);
  /// Appends the lines longer than the threshold that lie between `from` and `to` (both at a line's
  /// start or end) to `found`.
  void findLongLines(std::size_t from, std::size_t to, std::vector<NSRange>& found) const;
  /// Keeps the long lines in step with an edit of the text (`range` in old coordinates holds
  /// `newLength` units of the storage's new text). Answers the stretches of the new text that lay
  /// on a long line the edit touched and are no longer on one (they carried styles only in the
  /// windows, and want them all now).
  std::vector<NSRange> followLongLines(NSRange range, std::size_t newLength);

  const NSTextStorage& storage_;
  std::size_t threshold_;
  std::size_t margin_;
  std::vector<Run> shown_;
  std::vector<TextAttributes> table_;
  RangeSet dirty_;
  RangeSet deferred_;
  NSRange visible_;
  std::vector<NSRange> windows_;
  mutable std::vector<NSRange> longLines_;  // found on first need, then kept in step with edits
  mutable bool longLinesKnown_ = false;
  // The last offset converted to characters, to convert the next one from there.
  std::size_t cursorUnits_ = 0;
  std::size_t cursorCharacters_ = 0;
};

}  // namespace SyntaxEditorSupport
