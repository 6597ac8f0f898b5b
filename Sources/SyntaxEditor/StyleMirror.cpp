#include "SyntaxEditor/StyleMirror.h"

#include <algorithm>

namespace SyntaxEditorSupport {

// ---- RangeSet -----------------------------------------------------------------------------------

void RangeSet::add(NSRange range) {
  if (range.length == 0) return;
  std::size_t start = range.location, end = range.upperBound();
  // Ranges that touch or overlap the new one are joined with it.
  auto first = std::lower_bound(ranges_.begin(), ranges_.end(), start,
                                [](const NSRange& r, std::size_t value) { return r.upperBound() < value; });
  auto last = first;
  while (last != ranges_.end() && last->location <= end) {
    start = std::min(start, last->location);
    end = std::max(end, last->upperBound());
    ++last;
  }
  first = ranges_.erase(first, last);
  ranges_.insert(first, NSRange{start, end - start});
}

void RangeSet::remove(NSRange range) {
  if (range.length == 0) return;
  const std::size_t start = range.location, end = range.upperBound();
  std::vector<NSRange> kept;
  kept.reserve(ranges_.size() + 1);
  for (const NSRange& r : ranges_) {
    if (r.upperBound() <= start || r.location >= end) {
      kept.push_back(r);
      continue;
    }
    if (r.location < start) kept.push_back({r.location, start - r.location});
    if (r.upperBound() > end) kept.push_back({end, r.upperBound() - end});
  }
  ranges_ = std::move(kept);
}

void RangeSet::replace(NSRange range, std::size_t newLength) {
  const std::size_t start = range.location, end = range.upperBound();
  std::vector<NSRange> old = std::move(ranges_);
  ranges_.clear();
  for (const NSRange& r : old) {
    if (r.upperBound() < start || (r.upperBound() == start && range.length > 0)) {
      add(r);
    } else if (r.location > end || (r.location == end && range.length > 0)) {
      add({r.location - range.length + newLength, r.length});
    } else {
      // Touches the edit: keeps its parts outside, and takes the new text.
      if (r.location < start) add({r.location, start - r.location});
      add({start, newLength});
      if (r.upperBound() > end) add({start + newLength, r.upperBound() - end});
    }
  }
}

// ---- StyleMirror --------------------------------------------------------------------------------

StyleMirror::StyleMirror(const NSTextStorage& storage, std::size_t longLineThreshold, std::size_t windowMargin)
    : storage_(storage), threshold_(longLineThreshold), margin_(windowMargin) {}

std::size_t StyleMirror::runIndex(std::size_t index) const {
  auto after = std::upper_bound(shown_.begin(), shown_.end(), index,
                                [](std::size_t i, const Run& run) { return i < run.location; });
  return std::size_t(after - shown_.begin()) - 1;
}

std::size_t StyleMirror::splitAt(std::size_t index) {
  if (shown_.empty() || index >= shown_.back().location + shown_.back().length) return shown_.size();
  const std::size_t i = runIndex(index);
  Run& run = shown_[i];
  if (run.location == index) return i;
  const Run tail{index, run.location + run.length - index, run.id};
  run.length = index - run.location;
  shown_.insert(shown_.begin() + std::ptrdiff_t(i) + 1, tail);
  return i + 1;
}

void StyleMirror::setShown(NSRange range, std::uint32_t id) {
  const std::size_t first = splitAt(range.location);
  const std::size_t end = splitAt(range.upperBound());
  shown_.erase(shown_.begin() + std::ptrdiff_t(first), shown_.begin() + std::ptrdiff_t(end));
  shown_.insert(shown_.begin() + std::ptrdiff_t(first), Run{range.location, range.length, id});
  // Join with equal neighbours.
  std::size_t i = first;
  if (i + 1 < shown_.size() && shown_[i + 1].id == id) {
    shown_[i].length += shown_[i + 1].length;
    shown_.erase(shown_.begin() + std::ptrdiff_t(i) + 1);
  }
  if (i > 0 && shown_[i - 1].id == id) {
    shown_[i - 1].length += shown_[i].length;
    shown_.erase(shown_.begin() + std::ptrdiff_t(i));
  }
}

std::uint32_t StyleMirror::intern(const TextAttributes& attributes) {
  for (std::size_t i = 0; i < table_.size(); ++i) {
    if (table_[i] == attributes) return std::uint32_t(i + 2);
  }
  table_.push_back(attributes);
  return std::uint32_t(table_.size() + 1);
}

std::uint32_t StyleMirror::shownAt(std::size_t index) const {
  if (shown_.empty() || index >= shown_.back().location + shown_.back().length) return none;
  return shown_[runIndex(index)].id;
}

void StyleMirror::textDidChange(NSRange range, std::size_t newLength, bool bare) {
  const std::vector<NSRange> shortened = longLinesKnown_ ? followLongLines(range, newLength) : std::vector<NSRange>();
  cursorUnits_ = cursorCharacters_ = 0;
  dirty_.replace(range, newLength);
  deferred_.replace(range, newLength);
  for (const NSRange& stretch : shortened) compareAgain(stretch);
  const std::uint32_t id = bare ? none : unknown;
  // Cut the replaced runs out, move the rest, and put one run for the new text in their place.
  const std::size_t first = splitAt(range.location);
  const std::size_t end = splitAt(range.upperBound());
  shown_.erase(shown_.begin() + std::ptrdiff_t(first), shown_.begin() + std::ptrdiff_t(end));
  for (std::size_t i = first; i < shown_.size(); ++i) shown_[i].location = shown_[i].location - range.length + newLength;
  if (newLength > 0) {
    shown_.insert(shown_.begin() + std::ptrdiff_t(first), Run{range.location, newLength, id});
    setShown({range.location, newLength}, id);
    if (!bare) dirty_.add({range.location, newLength});
  } else if (first > 0 && first < shown_.size() && shown_[first - 1].id == shown_[first].id) {
    shown_[first - 1].length += shown_[first].length;
    shown_.erase(shown_.begin() + std::ptrdiff_t(first));
  }
  // Windows are given again for the new text; until then the old ones hold, moved along.
  RangeSet windows;
  for (const NSRange& window : windows_) windows.add(window);
  windows.replace(range, newLength);
  windows_ = windows.ranges();
}

void StyleMirror::bufferShows(NSRange range, std::uint32_t id) {
  if (id == unknown || (id != none && id - 2 >= table_.size())) return;
  if (range.length == 0 || range.upperBound() > storage_.length()) return;
  setShown(range, id);
}

void StyleMirror::attributesDidChange(NSRange range) { dirty_.add(range); }

void StyleMirror::defer(NSRange range) { deferred_.add(range); }

void StyleMirror::deferReplaced(NSRange range) {
  dirty_.remove(range);
  deferred_.add(range);
}

void StyleMirror::releaseDeferred() {
  for (const NSRange& range : deferred_.ranges()) dirty_.add(range);
  deferred_.clear();
}

namespace {

bool endsLine(char16_t unit) { return unit == u'\n' || unit == u'\r' || unit == 0x2029; }

}  // namespace

void StyleMirror::findLongLines(std::size_t from, std::size_t to, std::vector<NSRange>& found) const {
  const std::u16string& text = storage_.string();
  std::size_t start = from;
  for (std::size_t i = from; i <= to; ++i) {
    if (i == to || endsLine(text[i])) {
      if (i - start > threshold_) found.push_back({start, i - start});
      start = i + 1;
    }
  }
}

const std::vector<NSRange>& StyleMirror::longLines() const {
  if (longLinesKnown_) return longLines_;
  longLines_.clear();
  findLongLines(0, storage_.length(), longLines_);
  longLinesKnown_ = true;
  return longLines_;
}

std::vector<NSRange> StyleMirror::followLongLines(NSRange range, std::size_t newLength) {
  // Only the lines the edit touches can change: they are found again in the new text, from the
  // start of the line the edit begins in to the end of the line it ends in; the lines after it
  // move along.
  const std::u16string& text = storage_.string();
  std::size_t from = std::min(range.location, text.size());
  while (from > 0 && !endsLine(text[from - 1])) --from;
  std::size_t to = std::min(range.location + newLength, text.size());
  while (to < text.size() && !endsLine(text[to])) ++to;
  std::vector<NSRange> lines;
  lines.reserve(longLines_.size() + 1);
  std::size_t i = 0;
  for (; i < longLines_.size() && longLines_[i].upperBound() < range.location; ++i) lines.push_back(longLines_[i]);
  const std::size_t before = lines.size(), touchedFrom = i;
  while (i < longLines_.size() && longLines_[i].location <= range.upperBound()) ++i;  // touched: found again
  const bool touched = i > touchedFrom;
  findLongLines(from, to, lines);
  // The touched lines lie between `from` and `to` in the new text: what of that is not on a long
  // line now is a short line that showed styles only where the windows were.
  std::vector<NSRange> shortened;
  if (touched) {
    std::size_t at = from;
    for (std::size_t found = before; found < lines.size(); ++found) {
      if (lines[found].location > at) shortened.push_back({at, lines[found].location - at});
      at = lines[found].upperBound();
    }
    if (to > at) shortened.push_back({at, to - at});
  }
  for (; i < longLines_.size(); ++i) {
    lines.push_back({longLines_[i].location - range.length + newLength, longLines_[i].length});
  }
  longLines_ = std::move(lines);
  return shortened;
}

bool StyleMirror::isOnLongLine(std::size_t index) const {
  const std::vector<NSRange>& lines = longLines();
  auto line = std::upper_bound(lines.begin(), lines.end(), index,
                               [](std::size_t i, const NSRange& r) { return i < r.location; });
  return line != lines.begin() && index < std::prev(line)->upperBound();
}

void StyleMirror::setWindows(std::vector<NSRange> windows) {
  std::sort(windows.begin(), windows.end(), [](const NSRange& a, const NSRange& b) { return a.location < b.location; });
  if (windows == windows_) return;
  // Both the old and the new windows change what they show.
  for (const NSRange& window : windows_) compareAgain(window);
  for (const NSRange& window : windows) compareAgain(window);
  windows_ = std::move(windows);
}

void StyleMirror::compareAgain(NSRange range) {
  // Deferred text waits for its release: its styles are those it took from its neighbours until
  // the storage's results are in, and a long line restyled twice is laid out twice.
  std::size_t at = range.location;
  for (const NSRange& deferred : deferred_.ranges()) {
    if (deferred.upperBound() <= at) continue;
    if (deferred.location >= range.upperBound()) break;
    if (deferred.location > at) dirty_.add({at, deferred.location - at});
    at = std::max(at, deferred.upperBound());
  }
  if (range.upperBound() > at) dirty_.add({at, range.upperBound() - at});
}

std::uint32_t StyleMirror::wantedAt(std::size_t index, std::size_t end, std::size_t& stretchEnd,
                                    const TextAttributes*& wanted) {
  const std::vector<NSRange>& lines = longLines();
  auto line = std::upper_bound(lines.begin(), lines.end(), index,
                               [](std::size_t i, const NSRange& r) { return i < r.location; });
  const bool onLongLine = line != lines.begin() && index < std::prev(line)->upperBound();
  NSRange run;
  // Text without attributes shows no style.
  auto styleOf = [](const TextAttributes& attributes) {
    static const TextAttributes plain;
    return attributes == plain ? nullptr : &attributes;
  };
  if (onLongLine) {
    const NSRange longLine = *std::prev(line);
    auto window = std::upper_bound(windows_.begin(), windows_.end(), index,
                                   [](std::size_t i, const NSRange& r) { return i < r.location; });
    if (window != windows_.begin() && index < std::prev(window)->upperBound()) {
      wanted = styleOf(storage_.attributes(index, &run));
      stretchEnd = std::min({run.upperBound(), std::prev(window)->upperBound(), longLine.upperBound(), end});
      return unknown;  // some style; the caller compares the attributes
    }
    wanted = nullptr;
    const std::size_t nextWindow = window != windows_.end() ? window->location : longLine.upperBound();
    stretchEnd = std::min({nextWindow, longLine.upperBound(), end});
    return none;
  }
  wanted = styleOf(storage_.attributes(index, &run));
  const std::size_t nextLongLine = line != lines.end() ? line->location : end;
  stretchEnd = std::min({run.upperBound(), nextLongLine, end});
  return unknown;
}

std::size_t StyleMirror::characterOffset(std::size_t utf16Offset) {
  if (!storage_.mayHoldSurrogates()) return utf16Offset;
  if (utf16Offset < cursorUnits_) cursorUnits_ = cursorCharacters_ = 0;
  const std::u16string_view text(storage_.string());
  cursorCharacters_ += Fennix::characterOffset(text.substr(cursorUnits_), utf16Offset - cursorUnits_);
  cursorUnits_ = utf16Offset;
  return cursorCharacters_;
}

std::optional<StyleMirror::Change> StyleMirror::next(std::size_t maxSteps) {
  std::vector<Change> changes = nextChanges(1, maxSteps);
  if (changes.empty()) return std::nullopt;
  return changes.front();
}

std::vector<StyleMirror::Change> StyleMirror::nextChanges(std::size_t maxChanges, std::size_t maxSteps) {
  std::vector<Change> changes;
  const std::size_t length = storage_.length();
  dirty_.remove({length, ~std::size_t(0) - length});
  if (dirty_.empty()) return changes;
  if (shown_.empty()) {
    dirty_.clear();
    return changes;
  }

  // The visible part first, then what follows it, then what comes before.
  const std::vector<NSRange>& dirty = dirty_.ranges();
  NSRange work = dirty.front();
  bool found = false;
  if (visible_.length > 0) {
    for (const NSRange& r : dirty) {
      if (r.location < visible_.upperBound() && r.upperBound() > visible_.location) {
        const std::size_t start = std::max(r.location, visible_.location);
        work = {start, std::min(r.upperBound(), visible_.upperBound()) - start};
        found = true;
        break;
      }
    }
    if (!found) {
      for (const NSRange& r : dirty) {
        if (r.location >= visible_.upperBound()) {
          work = r;
          break;
        }
      }
    }
  }

  // Walk the stretch, keeping what the buffer will show there; the runs are replaced at once at
  // the end (one move of the runs after it, however many changes).
  std::vector<Run> runs;
  auto show = [&runs](std::size_t location, std::size_t count, std::uint32_t id) {
    if (!runs.empty() && runs.back().id == id) {
      runs.back().length += count;
    } else {
      runs.push_back({location, count, id});
    }
  };
  std::size_t position = work.location;
  const std::size_t end = work.upperBound();
  std::size_t runAt = runIndex(position);
  for (std::size_t steps = 0; position < end && steps < maxSteps && changes.size() < maxChanges; ++steps) {
    std::size_t wantedEnd = end;
    const TextAttributes* wanted = nullptr;
    wantedAt(position, end, wantedEnd, wanted);
    while (runAt < shown_.size() && shown_[runAt].location + shown_[runAt].length <= position) ++runAt;
    if (runAt == shown_.size()) break;
    const Run& run = shown_[runAt];
    const std::size_t stretchEnd = std::min(wantedEnd, run.location + run.length);
    const std::uint32_t shown = run.id;
    const bool same =
        shown != unknown && (wanted == nullptr ? shown == none : shown >= 2 && attributes(shown) == *wanted);
    if (same) {
      show(position, stretchEnd - position, shown);
    } else {
      const std::uint32_t id = wanted ? intern(*wanted) : none;
      Change change{{position, stretchEnd - position}, 0, 0, shown, id};
      change.firstCharacter = characterOffset(position);
      change.endCharacter = characterOffset(stretchEnd);
      changes.push_back(change);
      show(position, stretchEnd - position, id);
    }
    position = stretchEnd;
  }
  if (position > work.location) {
    const std::size_t first = splitAt(work.location);
    const std::size_t last = splitAt(position);
    shown_.erase(shown_.begin() + std::ptrdiff_t(first), shown_.begin() + std::ptrdiff_t(last));
    shown_.insert(shown_.begin() + std::ptrdiff_t(first), runs.begin(), runs.end());
    // Join equal neighbours at both ends.
    const std::size_t after = first + runs.size();
    if (after < shown_.size() && after > 0 && shown_[after - 1].id == shown_[after].id) {
      shown_[after - 1].length += shown_[after].length;
      shown_.erase(shown_.begin() + std::ptrdiff_t(after));
    }
    if (first > 0 && first < shown_.size() && shown_[first - 1].id == shown_[first].id) {
      shown_[first - 1].length += shown_[first].length;
      shown_.erase(shown_.begin() + std::ptrdiff_t(first));
    }
    dirty_.remove({work.location, position - work.location});
  }
  return changes;
}

}  // namespace SyntaxEditorSupport
