// The decisions of the style mirror without a toolkit: which changes bring a buffer in line with
// the storage (only what differs), in which order (the visible part first), what long lines carry
// (only their windows), and the character offsets of text with characters outside the BMP.
#include <gtest/gtest.h>

#include "SyntaxEditor/StyleMirror.h"

namespace {

using SyntaxEditorSupport::RangeSet;
using SyntaxEditorSupport::StyleMirror;

TextAttributes colour(double red) {
  TextAttributes attributes;
  attributes.foregroundColor = NSColor(red, 0, 0, 1);
  return attributes;
}

/// A storage and a mirror of a buffer that shows the storage's text; `apply` plays the changes
/// into a model of the buffer (the attributes each unit shows).
struct Mirrored {
  NSTextStorage storage;
  StyleMirror mirror;
  std::vector<std::optional<TextAttributes>> buffer;
  std::vector<StyleMirror::Change> changes;

  explicit Mirrored(std::u16string_view text, std::size_t threshold = 10000, std::size_t margin = 3000)
      : mirror(storage, threshold, margin) {
    storage.replaceCharacters({0, 0}, text);
    mirror.textDidChange({0, 0}, text.size(), true);
    buffer.assign(text.size(), std::nullopt);
  }
  void style(NSRange range, const TextAttributes& attributes) {
    storage.setAttributes(attributes, range);
    mirror.attributesDidChange(range);
  }
  /// Takes every change (at most `limit`); returns how many there were.
  std::size_t apply(std::size_t limit = 1000000) {
    std::size_t count = 0;
    for (int calls = 0; !mirror.isSettled() && count < limit && calls < 100000; ++calls) {
      if (auto change = mirror.next()) {
        for (std::size_t i = change->range.location; i < change->range.upperBound(); ++i) {
          buffer[i] = change->wanted == StyleMirror::none ? std::nullopt
                                                          : std::optional(mirror.attributes(change->wanted));
        }
        changes.push_back(*change);
        ++count;
      }
    }
    return count;
  }
  /// Whether the model of the buffer shows the storage's attributes, except where `bare` is true.
  bool mirrors(const std::function<bool(std::size_t)>& bare = nullptr) const {
    for (std::size_t i = 0; i < storage.length(); ++i) {
      const TextAttributes& wanted = storage.attributes(i);
      if (bare && bare(i)) {
        if (buffer[i]) return false;
        continue;
      }
      if (wanted == TextAttributes() ? buffer[i].has_value() : buffer[i] != wanted) return false;
    }
    return true;
  }
};

// Text the buffer inserted inside a style shows that style: once the storage's attributes are
// in, it needs a change only where they differ; a style the mirror never gave is not taken.
TEST(StyleMirrorTests, InsertedTextShowingItsNeighboursStyleNeedsNoChange) {
  Mirrored m(u"let a = 1\n");
  m.style({0, 3}, colour(0.5));
  ASSERT_EQ(m.apply(), 1u);
  const std::uint32_t keyword = m.changes.back().wanted;
  // "t" typed after "le": the storage's new unit takes the run's attributes, the buffer the tag.
  m.storage.replaceCharacters({2, 0}, u"t");
  m.mirror.textDidChange({2, 0}, 1);
  m.buffer.insert(m.buffer.begin() + 2, m.buffer[1]);
  m.mirror.bufferShows({2, 1}, keyword);
  m.changes.clear();
  EXPECT_EQ(m.apply(), 0u) << "nothing to restyle";
  EXPECT_TRUE(m.mirrors());

  // A blank typed after it shows the style too, but the storage wants none there.
  m.storage.replaceCharacters({4, 0}, u" ");
  m.mirror.textDidChange({4, 0}, 1);
  m.buffer.insert(m.buffer.begin() + 4, m.buffer[3]);
  m.mirror.bufferShows({4, 1}, keyword);
  m.storage.setAttributes(TextAttributes(), {4, 1});
  EXPECT_EQ(m.apply(), 1u);
  EXPECT_EQ(m.changes.back(), (StyleMirror::Change{{4, 1}, 4, 5, keyword, StyleMirror::none}));
  EXPECT_TRUE(m.mirrors());

  // Unknown or never given styles leave the text unknown: it is restyled whatever it shows.
  m.storage.replaceCharacters({0, 0}, u"x");
  m.mirror.textDidChange({0, 0}, 1);
  m.buffer.insert(m.buffer.begin(), std::nullopt);
  m.mirror.bufferShows({0, 1}, 99);
  m.mirror.bufferShows({0, 1}, StyleMirror::unknown);
  m.changes.clear();
  EXPECT_EQ(m.apply(), 1u);
  EXPECT_EQ(m.changes.back().shown, StyleMirror::unknown);
}

TEST(StyleMirrorTests, OnlyWhatDiffersIsChanged) {
  Mirrored m(u"let a = 1\nlet b = 22\nlet c = 333\n");
  EXPECT_TRUE(m.mirror.isSettled()) << "plain text on a bare buffer needs nothing";
  m.style({0, 3}, colour(0.5));
  m.style({10, 3}, colour(0.5));
  m.style({21, 3}, colour(0.5));
  m.style({18, 2}, colour(0.9));
  EXPECT_EQ(m.apply(), 4u);
  EXPECT_TRUE(m.mirrors());

  // A new result over the whole text that differs in one run changes that run only.
  m.changes.clear();
  m.storage.setAttributes(colour(0.7), {18, 2});
  m.mirror.attributesDidChange({0, m.storage.length()});
  EXPECT_EQ(m.apply(), 1u);
  EXPECT_EQ(m.changes[0].range, (NSRange{18, 2}));
  EXPECT_EQ(m.mirror.attributes(m.changes[0].shown), colour(0.9)) << "the old style is named for removal";
  EXPECT_TRUE(m.mirrors());

  // Typed text has unknown styles (the buffer may have extended a style over it): it is styled
  // as the storage's, which gives it the attributes of the unit before.
  m.changes.clear();
  m.storage.replaceCharacters({19, 0}, u"4");
  m.mirror.textDidChange({19, 0}, 1);
  m.buffer.insert(m.buffer.begin() + 19, colour(0.1));
  EXPECT_EQ(m.apply(), 1u);
  EXPECT_EQ(m.changes[0].shown, StyleMirror::unknown);
  EXPECT_TRUE(m.mirrors());
  // Deleting needs nothing.
  m.storage.replaceCharacters({19, 1}, u"");
  m.mirror.textDidChange({19, 1}, 0);
  m.buffer.erase(m.buffer.begin() + 19);
  EXPECT_TRUE(m.mirror.isSettled());
  EXPECT_TRUE(m.mirrors());
}

TEST(StyleMirrorTests, TheVisiblePartComesFirstThenWhatFollowsThenWhatComesBefore) {
  std::u16string text;
  for (int line = 0; line < 30; ++line) text += u"word word\n";
  Mirrored m(text);
  for (std::size_t line = 0; line < 30; ++line) m.style({line * 10, 4}, colour(0.5));
  m.mirror.setVisibleRange({100, 50});  // lines 10 to 14
  m.apply();
  ASSERT_EQ(m.changes.size(), 30u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(m.changes[i].range.location, 100 + i * 10) << i;
  for (std::size_t i = 5; i < 20; ++i) EXPECT_EQ(m.changes[i].range.location, 150 + (i - 5) * 10) << i;
  for (std::size_t i = 20; i < 30; ++i) EXPECT_EQ(m.changes[i].range.location, (i - 20) * 10) << i;
  EXPECT_TRUE(m.mirrors());

  // A slice that runs out of steps makes progress without a change.
  m.style({0, m.storage.length()}, colour(0.5));
  m.changes.clear();
  std::size_t calls = 0;
  while (!m.mirror.isSettled() && calls < 1000) {
    if (auto change = m.mirror.next(1)) m.changes.push_back(*change);
    ++calls;
  }
  EXPECT_TRUE(m.mirror.isSettled());
  EXPECT_GT(calls, 1u);
}

TEST(StyleMirrorTests, ChangesInBatchesAreTheChangesOneByOne) {
  std::u16string text;
  for (int line = 0; line < 40; ++line) text += u"word word word\n";
  Mirrored single(text), batched(text);
  for (Mirrored* m : {&single, &batched}) {
    for (std::size_t at = 0; at + 4 < text.size(); at += 5) m->style({at, 4}, colour(at % 3 == 0 ? 0.5 : 0.6));
    m->mirror.setVisibleRange({150, 150});
  }
  single.apply();
  std::vector<StyleMirror::Change> changes;
  for (int calls = 0; !batched.mirror.isSettled() && calls < 1000; ++calls) {
    for (const auto& change : batched.mirror.nextChanges(7)) changes.push_back(change);
  }
  EXPECT_EQ(changes, single.changes);
  for (std::size_t i = 0; i < text.size(); ++i) EXPECT_EQ(batched.mirror.shownAt(i), single.mirror.shownAt(i)) << i;
}

TEST(StyleMirrorTests, LongLinesCarryStylesOnlyInTheirWindows) {
  // Line 0 is short, line 1 has 100 units (over the threshold of 50), line 2 is short.
  const std::u16string text = u"short\n" + std::u16string(100, u'x') + u"\nshort\n";
  Mirrored m(text, 50, 5);
  ASSERT_EQ(m.mirror.longLines(), (std::vector<NSRange>{{6, 100}}));
  for (std::size_t i = 0; i < text.size(); i += 2) m.style({i, 1}, colour(0.5));
  m.apply();
  auto onLongLine = [](std::size_t i) { return i >= 6 && i < 106; };
  EXPECT_TRUE(m.mirrors(onLongLine)) << "without a window the long line carries nothing";
  for (const auto& change : m.changes) EXPECT_FALSE(onLongLine(change.range.location));

  m.mirror.setWindows({{40, 20}});
  m.apply();
  EXPECT_TRUE(m.mirrors([&](std::size_t i) { return onLongLine(i) && (i < 40 || i >= 60); }));
  // Moving the window takes the styles off the old part.
  m.mirror.setWindows({{80, 10}});
  m.apply();
  EXPECT_TRUE(m.mirrors([&](std::size_t i) { return onLongLine(i) && (i < 80 || i >= 90); }));

  // Text typed into the window is styled; the line stays long, and the window moves along.
  m.storage.replaceCharacters({85, 0}, u"yy");
  m.mirror.textDidChange({85, 0}, 2);
  m.buffer.insert(m.buffer.begin() + 85, 2, std::nullopt);
  EXPECT_EQ(m.mirror.windows(), (std::vector<NSRange>{{80, 12}}));
  m.apply();
  EXPECT_TRUE(m.mirrors([&](std::size_t i) { return i >= 6 && i < 108 && (i < 80 || i >= 92); }));
  // A line break in place of its middle leaves two short lines: all of them carries styles.
  m.storage.replaceCharacters({30, 50}, u"\n");
  m.mirror.textDidChange({30, 50}, 1);
  m.buffer.erase(m.buffer.begin() + 30, m.buffer.begin() + 80);
  m.buffer.insert(m.buffer.begin() + 30, std::nullopt);
  m.mirror.setWindows({});
  m.mirror.attributesDidChange({0, m.storage.length()});
  m.apply();
  EXPECT_TRUE(m.mirror.longLines().empty());
  EXPECT_TRUE(m.mirrors());
}

TEST(StyleMirrorTests, ChangesNameCharacterOffsetsAcrossSurrogatePairs) {
  Mirrored m(u"a\U0001F600b\U0001F680cd");  // units: a 0, pair 1-2, b 3, pair 4-5, c 6, d 7
  m.style({3, 1}, colour(0.5));
  m.style({6, 2}, colour(0.6));
  m.style({1, 2}, colour(0.7));
  m.apply();
  ASSERT_EQ(m.changes.size(), 3u);
  EXPECT_EQ(m.changes[0].range, (NSRange{1, 2}));
  EXPECT_EQ(m.changes[0].firstCharacter, 1u);
  EXPECT_EQ(m.changes[0].endCharacter, 2u);
  EXPECT_EQ(m.changes[1].firstCharacter, 2u);
  EXPECT_EQ(m.changes[1].endCharacter, 3u);
  EXPECT_EQ(m.changes[2].firstCharacter, 4u) << "c follows the second pair";
  EXPECT_EQ(m.changes[2].endCharacter, 6u);
}

TEST(StyleMirrorTests, DeferredRangesAndTextPutInFromOutsideWaitForTheirRelease) {
  Mirrored m(u"one two three\n");
  m.storage.setAttributes(colour(0.5), {0, 3});
  m.mirror.defer({0, 14});
  EXPECT_TRUE(m.mirror.isSettled());
  EXPECT_TRUE(m.mirror.hasDeferred());
  // Deferred ranges follow edits.
  m.storage.replaceCharacters({0, 0}, u">");
  m.mirror.textDidChange({0, 0}, 1);
  m.buffer.insert(m.buffer.begin(), std::nullopt);
  m.mirror.releaseDeferred();
  m.apply();
  EXPECT_FALSE(m.mirror.hasDeferred());
  EXPECT_TRUE(m.mirrors());

  // Text put in from outside waits as a whole, and is then restyled once, to its final style.
  m.changes.clear();
  m.storage.replaceCharacters({4, 0}, u"new ");
  m.storage.setAttributes(colour(0.25), {4, 4});  // what the storage gives it meanwhile
  m.mirror.textDidChange({4, 0}, 4);
  m.buffer.insert(m.buffer.begin() + 4, 4, std::nullopt);
  m.mirror.deferReplaced({4, 4});
  EXPECT_TRUE(m.mirror.isSettled());
  EXPECT_EQ(m.apply(), 0u);
  m.storage.setAttributes(colour(0.75), {4, 4});  // the highlighter's result
  m.mirror.releaseDeferred();
  m.apply();
  ASSERT_EQ(m.changes.size(), 1u);
  EXPECT_EQ(m.changes[0].range, (NSRange{4, 4}));
  EXPECT_EQ(m.mirror.attributes(m.changes[0].wanted), colour(0.75));
  EXPECT_TRUE(m.mirrors());

  // So does text put into a long line, when the windows move over it meanwhile (the view scrolls
  // to it, or learns where it lies): the text around it in the windows is compared as usual.
  Mirrored line(u"short\n" + std::u16string(100, u'x') + u"\n", 50, 5);
  line.style({6, 100}, colour(0.5));
  line.mirror.setWindows({{6, 20}});
  line.apply();
  line.storage.replaceCharacters({10, 0}, u"pasted");
  line.mirror.textDidChange({10, 0}, 6);
  line.buffer.insert(line.buffer.begin() + 10, 6, std::nullopt);
  line.mirror.deferReplaced({10, 6});
  line.mirror.setWindows({{6, 30}});
  line.changes.clear();
  line.apply();
  for (const auto& change : line.changes) {
    EXPECT_TRUE(change.range.upperBound() <= 10 || change.range.location >= 16) << change.range.location;
  }
  EXPECT_FALSE(line.buffer[12].has_value()) << "styled before its results were in";
  EXPECT_TRUE(line.buffer[20].has_value());
  line.storage.setAttributes(colour(0.75), {10, 6});
  line.mirror.releaseDeferred();
  line.changes.clear();
  line.apply();
  ASSERT_EQ(line.changes.size(), 1u);
  EXPECT_EQ(line.changes[0].range, (NSRange{10, 6}));
  EXPECT_TRUE(line.mirrors([](std::size_t i) { return i >= 6 + 30 && i < 112; }));
}

// Long lines are found once and then followed through edits: after each edit they are the lines a
// fresh look at the whole text finds (lines grown past the threshold, cut below it, split, joined,
// moved, at the ends of the text).
// A long line that an edit leaves short (cut, split by a line break, or its text taken out again
// as an undo does) showed styles only in its windows: the rest of it gets them without the
// storage's attributes changing there; a line that stays long still carries none outside them.
TEST(StyleMirrorTests, ALineThatIsNoLongerLongCarriesStylesAllAlong) {
  const std::u16string text = u"short\n" + std::u16string(100, u'x') + u"\nshort\n";
  struct Edit {
    NSRange range;
    std::u16string text;
  };
  for (const Edit& edit : std::vector<Edit>{{{30, 50}, u""}, {{56, 1}, u"\n"}, {{20, 70}, u"\n\n"}, {{6, 100}, u"y"}}) {
    Mirrored m(text, 50, 5);
    for (std::size_t i = 0; i < text.size(); i += 2) m.style({i, 1}, colour(0.5));
    m.mirror.setWindows({{40, 20}});
    m.apply();
    ASSERT_TRUE(m.mirrors([](std::size_t i) { return i >= 6 && i < 106 && (i < 40 || i >= 60); }));
    m.storage.replaceCharacters(edit.range, edit.text);
    m.mirror.textDidChange(edit.range, edit.text.size());
    m.buffer.erase(m.buffer.begin() + std::ptrdiff_t(edit.range.location),
                   m.buffer.begin() + std::ptrdiff_t(edit.range.upperBound()));
    m.buffer.insert(m.buffer.begin() + std::ptrdiff_t(edit.range.location), edit.text.size(), std::nullopt);
    m.style({edit.range.location, edit.text.size()}, colour(0.25));
    m.apply();
    EXPECT_TRUE(m.mirror.longLines().empty()) << edit.range.location << "+" << edit.range.length;
    EXPECT_TRUE(m.mirrors()) << "after replacing " << edit.range.location << "+" << edit.range.length;
  }
  // Text added to a long line leaves it long: nothing more of it is styled.
  Mirrored m(text, 50, 5);
  for (std::size_t i = 0; i < text.size(); i += 2) m.style({i, 1}, colour(0.5));
  m.mirror.setWindows({{40, 20}});
  m.apply();
  m.storage.replaceCharacters({45, 0}, u"zz");
  m.mirror.textDidChange({45, 0}, 2);
  m.buffer.insert(m.buffer.begin() + 45, 2, std::nullopt);
  const std::size_t before = m.changes.size();
  m.apply();
  EXPECT_TRUE(m.mirrors([](std::size_t i) { return i >= 6 && i < 108 && (i < 40 || i >= 62); }));
  for (std::size_t c = before; c < m.changes.size(); ++c) {
    EXPECT_GE(m.changes[c].range.location, 40u);
    EXPECT_LE(m.changes[c].range.upperBound(), 62u);
  }
}

TEST(StyleMirrorTests, LongLinesFollowEdits) {
  const std::u16string longLine(30, u'x'), shortLine(5, u's');
  Mirrored m(shortLine + u"\n" + longLine + u"\n" + shortLine + u"\r\n" + longLine, 20, 4);
  ASSERT_EQ(m.mirror.longLines().size(), 2u);
  struct Edit {
    NSRange range;
    std::u16string text;
  };
  const std::vector<Edit> edits{
      {{2, 0}, std::u16string(20, u'y')},  // a short line grows long
      {{0, 0}, u"a"},                       // typed at the start of a long line
      {{26, 0}, u"b"},                      // at its end, before the terminator
      {{10, 1}, u"\n"},                     // a long line split into a short and a long one
      {{10, 1}, u"x"},                      // joined again
      {{3, 15}, u""},                       // cut below the threshold
      {{7, 1}, u""},                        // a terminator deleted: two lines joined
      {{0, 0}, u"\u2029"},                  // a paragraph separator at the start
      {{40, 10}, u"zz\nzz"},                // across lines
      {{0, 0}, std::u16string(25, u'q')},   // a new long line before all the others
  };
  for (const Edit& edit : edits) {
    const NSRange range{std::min(edit.range.location, m.storage.length()), 0};
    const NSRange replaced{range.location, std::min(edit.range.length, m.storage.length() - range.location)};
    m.storage.replaceCharacters(replaced, edit.text);
    m.mirror.textDidChange(replaced, edit.text.size());
    NSTextStorage fresh;
    fresh.replaceCharacters({0, 0}, m.storage.string());
    const StyleMirror look(fresh, 20, 4);
    EXPECT_EQ(m.mirror.longLines(), look.longLines()) << "after replacing " << replaced.location << "+" << replaced.length;
  }
}

TEST(StyleMirrorTests, RangeSetsJoinCutAndFollowEdits) {
  RangeSet set;
  set.add({10, 5});
  set.add({20, 5});
  set.add({15, 2});  // touches the first
  EXPECT_EQ(set.ranges(), (std::vector<NSRange>{{10, 7}, {20, 5}}));
  set.add({5, 30});
  EXPECT_EQ(set.ranges(), (std::vector<NSRange>{{5, 30}}));
  set.remove({10, 5});
  EXPECT_EQ(set.ranges(), (std::vector<NSRange>{{5, 5}, {15, 20}}));
  set.replace({0, 2}, 0);  // two units deleted before both
  EXPECT_EQ(set.ranges(), (std::vector<NSRange>{{3, 5}, {13, 20}}));
  set.replace({20, 5}, 1);  // inside the second: it keeps its parts and takes the new text
  EXPECT_EQ(set.ranges(), (std::vector<NSRange>{{3, 5}, {13, 16}}));
  set.remove({0, 100});
  EXPECT_TRUE(set.empty());
}

}  // namespace
