// Whole-buffer checks of the editor widgets: the toolkit buffer holds the storage's text, and at
// every character exactly the text tag made for the storage's attributes there.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Fennix/Foundation/Text/AttributedString.h"
#include "FennixTests/DispatchTestSupport.h"
#include "SyntaxEditor/GTK/CodeTextView.h"

namespace BufferCheck {

inline const std::string tagPrefix = "qv-attributes ";

/// Walks the storage's runs and the buffer's tag toggles side by side; the first character
/// whose tags differ from the storage's attributes fails the check. `exempt` names character
/// ranges [from, to) that need not carry tags (parts of long lines away from the view); tags that
/// are there must still be the storage's.
inline ::testing::AssertionResult bufferMirrorsStorage(
    CodeTextView& view, const std::function<bool(int character)>& exempt = nullptr) {
  auto buffer = view.get_buffer();
  const NSTextStorage& storage = *view.codeView().codeTextStorage();
  const std::u16string& units = storage.string();
  if (buffer->get_text(true).raw() != Fennix::utf8FromUTF16(units)) {
    return ::testing::AssertionFailure() << "the buffer's text differs from the storage's";
  }

  // The buffer's segments between tag toggles, with our tags on each.
  struct Segment {
    int start;
    int end;
    std::set<std::string> tags;
  };
  std::vector<Segment> segments;
  for (auto iter = buffer->begin(); !iter.is_end();) {
    auto next = iter;
    next.forward_to_tag_toggle(Glib::RefPtr<Gtk::TextTag>());
    Segment segment{iter.get_offset(), next.get_offset(), {}};
    for (const auto& tag : iter.get_tags()) {
      const std::string name = tag->property_name().get_value();
      if (name.rfind(tagPrefix, 0) == 0) segment.tags.insert(name);
    }
    segments.push_back(std::move(segment));
    if (next.get_offset() <= iter.get_offset()) break;
    iter = next;
  }

  std::size_t unit = 0, segment = 0;
  int character = 0;
  while (unit < units.size()) {
    NSRange run;
    // Text without attributes carries no tag.
    const TextAttributes& attributes = storage.attributes(unit, &run);
    const std::set<std::string> expected =
        attributes == TextAttributes() ? std::set<std::string>{} : std::set<std::string>{tagPrefix + attributes.description()};
    const int runEnd = character + int(Fennix::characterOffset(std::u16string_view(units).substr(unit), run.upperBound() - unit));
    while (character < runEnd) {
      while (segment < segments.size() && segments[segment].end <= character) ++segment;
      if (segment == segments.size()) return ::testing::AssertionFailure() << "the buffer ends at " << character;
      const Segment& here = segments[segment];
      const int until = std::min(runEnd, here.end);
      const bool bare = here.tags.empty() && exempt && exempt(character) && exempt(until - 1);
      if (!bare && here.tags != expected) {
        std::string shown;
        for (const auto& name : here.tags) shown += "[" + name + "] ";
        return ::testing::AssertionFailure()
               << "characters " << character << " to " << until << " (\""
               << buffer->get_text(buffer->get_iter_at_offset(character), buffer->get_iter_at_offset(until))
               << "\") carry " << (shown.empty() ? std::string("no tag") : shown) << "instead of "
               << (expected.empty() ? std::string("none") : *expected.begin());
      }
      character = until;
    }
    unit = run.upperBound();
  }
  return ::testing::AssertionSuccess();
}

/// The tag that keeps long lines from wrapping lies on the parts the buffer holds of the storage's
/// lines longer than the long-line threshold, each from its first character, and nowhere else.
/// (While the buffer is filled it holds the start of the storage's text.)
inline ::testing::AssertionResult onlyLongLinesUnwrapped(CodeTextView& view) {
  auto buffer = view.get_buffer();
  const NSTextStorage& storage = *view.codeView().codeTextStorage();
  const std::u16string& units = storage.string();
  const std::size_t threshold = view.styleMirror().longLineThreshold();
  const int held = buffer->get_char_count();
  using Span = std::pair<int, int>;
  std::vector<Span> expected, found;
  // Lines counted in units and characters (a surrogate pair is one character).
  std::size_t start = 0;
  int character = 0, lineCharacter = 0;
  for (std::size_t i = 0; i <= units.size() && lineCharacter < held; ++i) {
    if (i < units.size() && units[i] != u'\n' && units[i] != u'\r' && units[i] != 0x2029) {
      if (units[i] < 0xDC00 || units[i] > 0xDFFF) ++character;
      continue;
    }
    if (i - start > threshold) expected.emplace_back(lineCharacter, std::min(held, character));
    start = i + 1;
    lineCharacter = ++character;
  }
  const auto tag = buffer->get_tag_table()->lookup("qv-unwrapped-line");
  if (!tag) return ::testing::AssertionFailure() << "the buffer has no tag for long lines";
  auto iter = buffer->begin();
  if (!iter.has_tag(tag)) iter.forward_to_tag_toggle(tag);
  while (!iter.is_end()) {
    auto end = iter;
    end.forward_to_tag_toggle(tag);
    found.emplace_back(iter.get_offset(), end.get_offset());
    iter = end;
    iter.forward_to_tag_toggle(tag);
  }
  if (found == expected) return ::testing::AssertionSuccess();
  auto list = [](const std::vector<Span>& spans) {
    std::string text;
    for (std::size_t i = 0; i < spans.size() && i < 8; ++i) {
      text += "[" + std::to_string(spans[i].first) + ", " + std::to_string(spans[i].second) + ") ";
    }
    return text + "(" + std::to_string(spans.size()) + ")";
  };
  return ::testing::AssertionFailure() << "of " << held << " characters held, the tag lies on " << list(found)
                                       << "instead of " << list(expected);
}

/// How many display lines the view lays out for characters `from` to `to` of one line: one for a
/// line that does not wrap (lays out the line if it is not yet).
inline int displayLines(CodeTextView& view, int from, int to) {
  auto buffer = view.get_buffer();
  Gdk::Rectangle first, last;
  view.get_iter_location(buffer->get_iter_at_offset(from), first);
  view.get_iter_location(buffer->get_iter_at_offset(std::max(from, to - 1)), last);
  return first.get_height() > 0 ? (last.get_y() - first.get_y()) / first.get_height() + 1 : 0;
}

/// True for the characters of long lines outside the windows that carry styles.
inline std::function<bool(int)> outsideWindows(CodeTextView& view) {
  const auto& mirror = view.styleMirror();
  const NSTextStorage& storage = *view.codeView().codeTextStorage();
  auto characters = [&](const NSRange& range) {
    return std::pair<int, int>(int(SyntaxEditorSupport::characterOffsetOf(storage, range.location)),
                               int(SyntaxEditorSupport::characterOffsetOf(storage, range.upperBound())));
  };
  std::vector<std::pair<int, int>> lines, windows;
  for (const NSRange& line : mirror.longLines()) lines.push_back(characters(line));
  for (const NSRange& window : mirror.windows()) windows.push_back(characters(window));
  return [lines, windows](int character) {
    auto inside = [character](const std::pair<int, int>& r) { return character >= r.first && character < r.second; };
    return std::any_of(lines.begin(), lines.end(), inside) && std::none_of(windows.begin(), windows.end(), inside);
  };
}

/// Runs the main loop until the storage has no highlight request open and the view has nothing
/// left to apply, and stays so for a moment. (A long line takes a few seconds: the view lays it out
/// again between slices; in the sanitizer build on a busy machine, minutes.)
inline bool waitUntilSettled(CodeTextView& view, double timeoutSeconds = 300) {
  const auto& storage = *view.codeView().codeTextStorage();
  auto settled = [&] { return !storage.isHighlighting() && view.isStyleSettled(); };
  for (int calm = 0; calm < 3;) {
    if (!FennixTestSupport::runMainLoopUntil(settled, timeoutSeconds)) return false;
    FennixTestSupport::runMainLoopFor(0.05);
    calm = settled() ? calm + 1 : 0;
  }
  return true;
}

}  // namespace BufferCheck
