// Decisions of the view factory, the toolbar pieces, the collection item frame and the screen
// identifier, without a display.
#include <gtest/gtest.h>

#include <climits>

#include "FakeLayoutHost.h"
#include "Fennix/Foundation/Text/Appearance.h"
#include "Fennix/UI/Common/Views/CollectionItemFrameModel.h"
#include "Fennix/UI/Common/Views/FactoryLogic.h"
#include "Fennix/UI/Common/Views/ScreenIdentifier.h"
#include "Fennix/UI/Common/Views/ToolbarStatusModel.h"

using namespace Fennix;
using FennixTest::texts;
using FennixTest::WithFakeLayoutHost;
using Strings = std::vector<std::string>;

TEST(ViewFactoryLogic, LabelLooksTakeTheArgumentThenTheStyleThenTheDefault) {
  // Nothing given: left, font and colour unchanged.
  LabelLooks plain = labelLooks(std::nullopt, nullptr, std::nullopt, nullptr);
  EXPECT_EQ(plain.align, NSTextAlignment::left);
  EXPECT_FALSE(plain.font);
  EXPECT_FALSE(plain.color);

  QvStyles::Label noAlign;
  EXPECT_EQ(labelLooks(std::nullopt, nullptr, std::nullopt, &noAlign).align, NSTextAlignment::left);

  QvStyles::Label style;
  style.align = NSTextAlignment::center;
  style.color = NSColor(1, 0, 0, 1);
  style.font = NSFont::systemFont(20);
  LabelLooks styled = labelLooks(std::nullopt, nullptr, std::nullopt, &style);
  EXPECT_EQ(styled.align, NSTextAlignment::center);
  EXPECT_EQ(styled.color, NSColor(1, 0, 0, 1));
  EXPECT_EQ(styled.font.get(), style.font.get());

  NSFontPtr own = NSFont::systemFont(9);
  LabelLooks direct = labelLooks(NSTextAlignment::right, own, NSColor(0, 0, 1, 1), &style);
  EXPECT_EQ(direct.align, NSTextAlignment::right);
  EXPECT_EQ(direct.color, NSColor(0, 0, 1, 1));
  EXPECT_EQ(direct.font.get(), own.get());
}

TEST(ViewFactoryLogic, GridRowsDropRowsWithoutViewsAndKeepEmptyCells) {
  int a = 1, b = 2;
  std::vector<std::vector<int*>> rows{{nullptr, nullptr}, {}, {&a, nullptr}};
  auto kept = gridRows(rows);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0], (std::vector<int*>{&a, nullptr}));

  // Order of rows and cells stays.
  kept = gridRows<int>({{nullptr, &b}, {&a}, {nullptr}});
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0], (std::vector<int*>{nullptr, &b}));
  EXPECT_EQ(kept[1], (std::vector<int*>{&a}));

  // A grid is sized only when both counts are given and none is negative.
  EXPECT_FALSE(gridSize(3, std::nullopt));
  EXPECT_FALSE(gridSize(std::nullopt, 2));
  EXPECT_FALSE(gridSize(-1, 2));
  ASSERT_TRUE(gridSize(3, 2));
  EXPECT_EQ(gridSize(3, 2)->columns, 3);
  EXPECT_EQ(gridSize(3, 2)->rows, 2);
}

class PadderTest : public ::testing::Test, public WithFakeLayoutHost {
 protected:
  LayoutItem view = host->view("pad");
};

TEST_F(PadderTest, FixedAndExpandingSizes) {
  PadderPlan none = padderPlan(view, std::nullopt, std::nullopt, true);
  EXPECT_TRUE(none.constraints.empty());
  EXPECT_FALSE(none.verticalHugging);
  EXPECT_FALSE(none.horizontalHugging);

  PadderPlan fixed = padderPlan(view, 10, 20, false);
  EXPECT_EQ(texts(fixed.constraints), (Strings{"pad.height == 10", "pad.width == 20"}));
  EXPECT_FALSE(fixed.verticalHugging);
  for (const auto& constraint : fixed.constraints) EXPECT_FALSE(constraint->isActive());

  PadderPlan expanding = padderPlan(view, 12, std::nullopt, true);
  ASSERT_EQ(expanding.constraints.size(), 2u);
  EXPECT_EQ(expanding.constraints[0]->relation(), NSLayoutRelation::greaterThanOrEqual);
  EXPECT_EQ(expanding.constraints[0]->constant(), 12);
  EXPECT_EQ(expanding.constraints[0]->priority(), NSLayoutPriorityRequired);
  EXPECT_EQ(expanding.constraints[1]->relation(), NSLayoutRelation::equal);
  EXPECT_EQ(expanding.constraints[1]->priority(), 1);
  EXPECT_EQ(expanding.verticalHugging, 50);
  EXPECT_FALSE(expanding.horizontalHugging);
  EXPECT_EQ(padderPlan(view, std::nullopt, 5, true).horizontalHugging, 50);
}

TEST(ViewFactoryLogic, DoubleText) {
  EXPECT_EQ(doubleText(8), "8.0");
  EXPECT_EQ(doubleText(1440), "1440.0");
  EXPECT_EQ(doubleText(0.5), "0.5");
  EXPECT_EQ(doubleText(-3), "-3.0");
  EXPECT_EQ(doubleText(1.0 / 0.0), "inf");
}

TEST(ToolbarStatus, SpinnerCounting) {
  SpinnerCounter counter;
  EXPECT_FALSE(counter.stop(false));  // a stop before any start is ignored
  EXPECT_EQ(counter.count(), 0);
  EXPECT_TRUE(counter.start());
  EXPECT_FALSE(counter.start());
  EXPECT_FALSE(counter.stop(false));  // one caller still wants it
  EXPECT_EQ(counter.count(), 1);
  EXPECT_TRUE(counter.stop(false));
  EXPECT_FALSE(counter.stop(false));
  EXPECT_EQ(counter.count(), 0);

  counter.start();
  counter.start();
  counter.start();
  EXPECT_TRUE(counter.stop(true));
  EXPECT_EQ(counter.count(), 0);
  EXPECT_TRUE(counter.start());  // starts again from nothing
}

TEST(ToolbarStatus, ColoursPerAppearance) {
  const StatusViewColors light = statusViewColors(false);
  EXPECT_EQ(light.border, NSColor::lightGrayColor());
  EXPECT_EQ(light.gradientStart, NSColor(1, 1, 1, 1));
  EXPECT_EQ(light.gradientEnd, NSColor(0.929, 0.929, 0.929, 1));
  EXPECT_EQ(light.text, NSColor(0, 0, 0, 1));

  const StatusViewColors dark = statusViewColors(true);
  EXPECT_EQ(dark.border, NSColor(120 / 255.0, 122 / 255.0, 123 / 255.0, 1));
  EXPECT_EQ(dark.gradientStart, NSColor(95 / 255.0, 99 / 255.0, 102 / 255.0, 1));
  EXPECT_EQ(dark.gradientEnd, dark.gradientStart);
  EXPECT_NE(dark.text, light.text);
  EXPECT_EQ(qvSidebarBlue(), NSColor(0.877, 0.897, 0.923, 1));
}

TEST(ToolbarStatus, CancelableSpinnerHover) {
  CancelableSpinnerState idle;
  idle.mouseEntered();
  EXPECT_TRUE(idle.mouseInside());
  EXPECT_TRUE(idle.cancelButtonHidden());
  EXPECT_FALSE(idle.spinnerHidden());

  CancelableSpinnerState busy;
  busy.setSpinning(true);
  busy.mouseEntered();
  EXPECT_FALSE(busy.cancelButtonHidden());
  EXPECT_TRUE(busy.spinnerHidden());
  busy.mouseEntered();  // a second entry changes nothing
  EXPECT_FALSE(busy.cancelButtonHidden());
  busy.setSpinning(false);  // stopping inside swaps nothing until the exit
  EXPECT_FALSE(busy.cancelButtonHidden());
  busy.mouseExited();
  EXPECT_TRUE(busy.cancelButtonHidden());
  EXPECT_TRUE(busy.spinnerHidden());  // only a spinning spinner comes back on exit
  busy.setSpinning(true);
  busy.mouseEntered();
  busy.mouseExited();
  EXPECT_FALSE(busy.spinnerHidden());
  EXPECT_FALSE(busy.mouseInside());
}

namespace {
struct FakeResponder {
  bool responds = false;
  std::optional<bool> validation;
  FakeResponder* next = nullptr;
};
bool validate(FakeResponder* first) {
  return validateAlongChain<FakeResponder*>(
      first, [](FakeResponder* r) { return r->next; },
      [](FakeResponder* r) { return ResponderAnswer{r->responds, r->validation}; });
}
}  // namespace

TEST(ToolbarStatus, ValidationWalksTheResponderChain) {
  EXPECT_FALSE(validate(nullptr));  // no first responder

  FakeResponder window, panel, focus;
  focus.next = &panel;
  panel.next = &window;
  EXPECT_FALSE(validate(&focus));  // nobody handles the action

  window.responds = true;
  EXPECT_TRUE(validate(&focus));  // a handler without validation enables
  window.validation = false;
  EXPECT_FALSE(validate(&focus));
  panel.responds = true;  // the nearest handler answers
  panel.validation = true;
  EXPECT_TRUE(validate(&focus));

  // A chain that loops back ends.
  FakeResponder a, b;
  a.next = &b;
  b.next = &a;
  EXPECT_FALSE(validate(&a));
}

TEST(CollectionItemFrame, ColoursFollowSelectionAndHighlight) {
  withAppearance(NSAppearance{NSAppearance::Name::aqua}, [] {
    CollectionItemFrameModel frame;
    ASSERT_TRUE(frame.layer());
    EXPECT_EQ(frame.layer()->cornerRadius, 8);
    EXPECT_TRUE(frame.layer()->masksToBounds);
    EXPECT_EQ(frame.layer()->backgroundColor, NSColor(0.98, 0.98, 0.98, 1));
    EXPECT_EQ(frame.layer()->borderColor, NSColor(0.5, 0.5, 0.5, 1));
    EXPECT_EQ(frame.layer()->borderWidth, 0.5);

    // Selecting without a selected border changes only the background.
    frame.setSelected(true);
    EXPECT_EQ(frame.layer()->backgroundColor, NSColor::selectedControlColor());
    EXPECT_EQ(frame.layer()->borderColor, NSColor(0.5, 0.5, 0.5, 1));
    EXPECT_EQ(frame.layer()->borderWidth, 0.5);

    frame.setHighlightState(NSCollectionViewItemHighlightState::forDeselection);
    EXPECT_EQ(frame.layer()->backgroundColor, NSColor::controlHighlightColor());
    frame.setHighlightState(NSCollectionViewItemHighlightState::none);
    EXPECT_EQ(frame.layer()->backgroundColor, NSColor::selectedControlColor());

    // A new background waits for the next selection change.
    frame.setSelected(false);
    frame.bgColor = NSColor(0, 1, 0, 1);
    frame.borderWidth = 2;
    EXPECT_EQ(frame.layer()->backgroundColor, NSColor(0.98, 0.98, 0.98, 1));
    frame.onSelectionChange();
    EXPECT_EQ(frame.layer()->backgroundColor, NSColor(0, 1, 0, 1));
    EXPECT_EQ(frame.layer()->borderWidth, 2);
    frame.setHighlightState(NSCollectionViewItemHighlightState::asDropTarget);
    frame.setHighlightState(NSCollectionViewItemHighlightState::none);
    EXPECT_EQ(frame.layer()->backgroundColor, NSColor(0, 1, 0, 1));
    EXPECT_EQ(frame.displayRequests(), 7);
  });

  // Without a layer nothing is drawn, but the state is kept.
  CollectionItemFrameModel coded(false);
  coded.setSelected(true);
  coded.setHighlightState(NSCollectionViewItemHighlightState::forSelection);
  EXPECT_FALSE(coded.layer());
  EXPECT_TRUE(coded.isSelected());
  EXPECT_EQ(coded.displayRequests(), 0);
}

TEST(CollectionItemFrame, IntrinsicSizeAndContentFormat) {
  CollectionItemFrameModel frame;
  EXPECT_EQ(frame.intrinsicContentSize(std::nullopt), (CGSize{0, 0}));
  EXPECT_EQ(frame.intrinsicContentSize(CGSize{100, 20}), (CGSize{116, 36}));
  EXPECT_EQ(frame.intrinsicContentSize(CGSize{0, 0}), (CGSize{0, 0}));
  EXPECT_EQ(frame.intrinsicContentSize(CGSize{0, 5}), (CGSize{16, 21}));
  EXPECT_EQ(frame.contentViewVFL(), "|-8.0-[self]-8.0-|");
  frame.setInset(2.5);
  EXPECT_EQ(frame.contentViewVFL(), "|-2.5-[self]-2.5-|");
  EXPECT_EQ(frame.intrinsicContentSize(CGSize{100, 20}), (CGSize{105, 25}));
}

TEST(ScreenIdentifierRule, MainThenNumberThenSize) {
  EXPECT_EQ(screenIdentifier({true, 27, 1440, 900}), "MAIN");
  EXPECT_EQ(screenIdentifier({true, std::nullopt, 1440, 900}), "MAIN");
  EXPECT_EQ(screenIdentifier({false, 27, 1440, 900}), "sid1b");
  EXPECT_EQ(screenIdentifier({false, 255, 1440, 900}), "sidff");
  EXPECT_EQ(screenIdentifier({false, 0, 1440, 900}), "sid0");
  EXPECT_EQ(screenIdentifier({false, -27, 1, 1}), "sid-1b");
  EXPECT_EQ(screenIdentifier({false, LLONG_MIN, 1, 1}), "sid-8000000000000000");
  EXPECT_EQ(screenIdentifier({false, std::nullopt, 1440, 900}), "sz1440.0x900.0");
  EXPECT_EQ(screenIdentifier({false, std::nullopt, 1280.5, 0}), "sz1280.5x0.0");
}

TEST(ScreenIdentifierRule, PreviewToggleShowsThenHides) {
  PreviewPanelState panel;
  EXPECT_FALSE(panel.exists());
  EXPECT_TRUE(panel.toggle());
  EXPECT_TRUE(panel.exists());
  EXPECT_FALSE(panel.toggle());
  EXPECT_TRUE(panel.exists());
  EXPECT_TRUE(panel.toggle());
}

TEST(ViewFactoryLogic, StackSlotsForEveryDistribution) {
  using D = NSStackViewDistribution;
  const std::vector<StackMember> two{{10, 50, 250}, {10, 30, 750}};
  // Room to spare (190 after the gap of 10).
  EXPECT_EQ(stackSlots(D::gravityAreas, two, 200, 10), (std::vector<StackSlot>{{0, 50}, {60, 30}}));
  EXPECT_EQ(stackSlots(D::fill, two, 200, 10), (std::vector<StackSlot>{{0, 160}, {170, 30}}));  // the lower hugging takes it
  EXPECT_EQ(stackSlots(D::fillEqually, two, 200, 10), (std::vector<StackSlot>{{0, 95}, {105, 95}}));
  EXPECT_EQ(stackSlots(D::fillProportionally, two, 200, 10),
            (std::vector<StackSlot>{{0, 118.75}, {128.75, 71.25}}));
  const std::vector<StackMember> three{{0, 20, 250}, {0, 60, 250}, {0, 20, 250}};
  EXPECT_EQ(stackSlots(D::equalSpacing, three, 200, 10), (std::vector<StackSlot>{{0, 20}, {70, 60}, {180, 20}}));
  // Unlike views: the gaps alike, or the centres (10, 95, 180) alike apart.
  const std::vector<StackMember> unlike{{0, 20, 250}, {0, 60, 250}, {0, 40, 250}};
  EXPECT_EQ(stackSlots(D::equalSpacing, unlike, 200, 0), (std::vector<StackSlot>{{0, 20}, {60, 60}, {160, 40}}));
  EXPECT_EQ(stackSlots(D::equalCentering, unlike, 200, 0), (std::vector<StackSlot>{{0, 20}, {65, 60}, {160, 40}}));
  // Centres alike apart would bring two views closer than the spacing: spaced alike instead.
  const std::vector<StackMember> lopsided{{0, 20, 250}, {0, 150, 250}, {0, 20, 250}};
  EXPECT_EQ(stackSlots(D::equalCentering, lopsided, 200, 5), (std::vector<StackSlot>{{0, 20}, {25, 150}, {180, 20}}));
  // Ties in hugging share the spare room.
  EXPECT_EQ(stackSlots(D::fill, {{0, 10, 250}, {0, 10, 250}}, 40, 0), (std::vector<StackSlot>{{0, 20}, {20, 20}}));

  // Without room every view gives up the same share above its least length, never below it.
  const auto tight = stackSlots(D::fill, two, 50, 10);
  ASSERT_EQ(tight.size(), 2u);
  EXPECT_NEAR(tight[0].length, 50 - 40.0 * 2 / 3, 1e-9);
  EXPECT_NEAR(tight[1].length, 30 - 20.0 * 2 / 3, 1e-9);
  EXPECT_NEAR(tight[1].offset + tight[1].length, 50, 1e-9);
  const auto crushed = stackSlots(D::equalSpacing, two, 5, 10);
  EXPECT_EQ(crushed, (std::vector<StackSlot>{{0, 10}, {20, 10}}));  // overflows rather than go below the least
  EXPECT_TRUE(stackSlots(D::fill, {}, 100, 8).empty());
  EXPECT_EQ(stackSlots(D::equalCentering, {{0, 30, 250}}, 100, 8), (std::vector<StackSlot>{{0, 30}}));
}
