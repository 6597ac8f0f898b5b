// Layout helpers and view lookup over a fake layout host.
#include <gtest/gtest.h>

#include "FakeLayoutHost.h"
#include "Fennix/UI/Common/AutoLayout.h"
#include "Fennix/UI/Common/ViewHolder.h"
#include "Fennix/UI/Common/ViewLookup.h"

using FennixTest::FakeLayoutHost;
using FennixTest::texts;
using FennixTest::WithFakeLayoutHost;
using Fennix::LayoutItem;
using Frame = Fennix::LayoutHost::Frame;
using Strings = std::vector<std::string>;

namespace {

class AutoLayoutTest : public ::testing::Test, public WithFakeLayoutHost {
 protected:
  LayoutItem super = host->view("super");
  LayoutItem view = host->view("view");
};

TEST_F(AutoLayoutTest, PinningToTheSuperview) {
  EXPECT_TRUE(qvConstrain(view, "", "").empty());
  // Without a superview the constraints are built but not added.
  auto loose = qvConstrain(view, "[self(==10)]", "");
  EXPECT_EQ(texts(loose), Strings{"view.width == 10"});
  EXPECT_EQ(host->activateCalls, 0);
  EXPECT_TRUE(qvPadConstraints(view, std::nullopt, std::nullopt, std::nullopt).empty());

  host->addSubview(super, view);
  EXPECT_EQ(texts(qvConstrain(view, "|-8-[self]", "[self]-|")),
            (Strings{"view.leading == super.leading + 8", "super.bottom == view.bottom + 20"}));
  EXPECT_EQ(host->activateCalls, 1);
  EXPECT_EQ(texts(qvPadConstraints(view, 8, std::nullopt, 0)),
            (Strings{"view.leading == super.leading + 8", "view.trailing == super.trailing - 8",
                     "view.top == super.top", "view.bottom == super.bottom"}));
  EXPECT_EQ(texts(qvPadConstraints(view, std::nullopt, std::nullopt, 3)),
            (Strings{"view.top == super.top + 3", "view.bottom == super.bottom - 3"}));
  EXPECT_EQ(texts(qvInsetConstraints(view, {1, 2, 3, 4})),
            (Strings{"view.leading == super.leading + 2", "view.trailing == super.trailing - 4",
                     "view.top == super.top + 1", "view.bottom == super.bottom - 3"}));
  EXPECT_EQ(texts({qvFixWidthConstraint(view, 42)}), Strings{"view.width == 42"});
  EXPECT_EQ(host->activateCalls, 1);  // pads, insets and widths are not activated
}

TEST_F(AutoLayoutTest, AddingSubviewsWithPrioritiesPaddingAndInsets) {
  EXPECT_EQ(addedPriorities(250, 1), 251);
  EXPECT_EQ(addedPriorities(std::nullopt, 760), 760);
  EXPECT_EQ(addedPriorities(std::nullopt, std::nullopt), std::nullopt);

  QvAddOptions options;
  options.id = "content";
  options.hug = 250;
  options.hugh = 1;
  options.crv = 760;
  options.pad = 4;
  options.inset = NSEdgeInsets{9, 9, 9, 9};
  options.aspect = true;
  qvAdd(super, view, options, {"V:[self(>=10)]"});
  auto& node = FakeLayoutHost::node(view);
  EXPECT_EQ(node.identifier, "content");
  EXPECT_EQ(node.hug[0], 251);
  EXPECT_EQ(node.hug[1], 250);
  EXPECT_EQ(node.resistance[0], 750);  // unchanged
  EXPECT_EQ(node.resistance[1], 760);
  EXPECT_TRUE(node.preparedForConstraints);
  EXPECT_EQ(texts(host->active), (Strings{"view.height >= 10", "view.width == view.height",
                                          "view.leading == super.leading + 4", "view.trailing == super.trailing - 4",
                                          "view.top == super.top + 4", "view.bottom == super.bottom - 4"}));
  EXPECT_EQ(host->activateCalls, 1);  // all at once

  auto label = host->view("label");
  qvAdd(super, "title", label, 300, "H:|[self]", "V:[self]|");
  EXPECT_EQ(FakeLayoutHost::node(label).hug[0], 300);
  EXPECT_EQ(FakeLayoutHost::node(label).hug[1], 300);
  EXPECT_EQ(host->active.size(), 8u);

  auto plain = host->view("plain");
  qvAddTo(plain, super, std::nullopt);
  EXPECT_FALSE(FakeLayoutHost::node(plain).preparedForConstraints);
  EXPECT_EQ(host->subviewsOf(super).size(), 3u);

  // The same with the view first: it goes into the container, and "self" is the view.
  auto badge = host->view("badge");
  EXPECT_EQ(qvAddTo(badge, super, "badge", 200, "H:|[self]", "V:[self]-2-|"), badge);
  EXPECT_EQ(host->superviewOf(badge), super);
  EXPECT_EQ(FakeLayoutHost::node(badge).hug[1], 200);
  EXPECT_EQ(texts({host->active.back()}), Strings{"super.bottom == badge.bottom + 2"});
  auto footer = host->view("footer");
  QvAddOptions padded;
  padded.vpad = 1;
  EXPECT_EQ(qvAddTo(footer, super, padded), footer);
  EXPECT_EQ(host->superviewOf(footer), super);
  EXPECT_EQ(texts({host->active.back()}), Strings{"footer.bottom == super.bottom - 1"});
}

TEST_F(AutoLayoutTest, VerticalStack) {
  host->addSubview(super, view);
  qvConstrainVerticalStack({view});
  EXPECT_EQ(host->activateCalls, 0);

  auto second = host->view("second", super);
  auto third = host->view("third", super);
  qvConstrainVerticalStack({view, second, third});
  EXPECT_EQ(texts(host->active),
            (Strings{"view.leading == super.leading", "super.trailing == view.trailing", "view.top == super.top",
                     "second.leading == super.leading", "super.trailing == second.trailing",
                     "view.bottom == second.top", "third.leading == super.leading",
                     "super.trailing == third.trailing", "second.bottom == third.top", "super.bottom == third.bottom"}));
}

TEST_F(AutoLayoutTest, FlexResizingGivesTheSpareLengthToOneSubview) {
  auto flex = Fennix::flexLayout(400, 30, {{0, 0, 100, 5}, {0, 0, 7, 5}, {0, 0, 50, 5}}, 1,
                                 NSLayoutConstraintOrientation::horizontal, 10, 20);
  EXPECT_EQ(flex.flexSpace, 230);
  EXPECT_EQ(flex.frames, (std::vector<Frame>{{0, 0, 100, 30}, {110, 0, 230, 30}, {350, 0, 50, 30}}));

  // Vertically the space comes from the container's height, stacked up from y = 0.
  auto vertical = Fennix::flexLayout(40, 300, {{0, 0, 5, 100}, {0, 0, 5, 1}}, 1,
                                     NSLayoutConstraintOrientation::vertical, 10, 20);
  EXPECT_EQ(vertical.flexSpace, 190);
  EXPECT_EQ(vertical.frames, (std::vector<Frame>{{0, 0, 40, 100}, {0, 110, 40, 190}}));
}

TEST_F(AutoLayoutTest, FlexResizingWarnsOncePerProcessWhenSpaceRunsShort) {
  Fennix::resetFlexWarningsForTesting();
  std::vector<LayoutItem> subviews;
  for (double width : {300.0, 1.0, 150.0}) {
    subviews.push_back(host->view("sub", super));
    host->setFrame(subviews.back(), {0, 0, width, 10});
  }
  host->setFrame(super, {0, 0, 400, 10});
  testing::internal::CaptureStderr();
  qvResizeSubviewsWithJustWidthAtIndexExpanding(super, 1, NSLayoutConstraintOrientation::horizontal, 10, 30);
  qvResizeSubviewsWithJustWidthAtIndexExpanding(super, 1, NSLayoutConstraintOrientation::horizontal, 10, 30);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log, "super: WARNING: qvflex space collapsed: -70.0\nsuper: WARNING: qvflex space not sufficient: 100.0\n");
  EXPECT_EQ(host->frame(subviews[1]), (Frame{310, 0, 30, 10}));
  EXPECT_EQ(host->frame(subviews[2]), (Frame{350, 0, 150, 10}));
}

class ViewLookupTest : public ::testing::Test, public WithFakeLayoutHost {
 protected:
  // root ─┬─ a ─── a1 (id "x")
  //       └─ b (id "x") ── b1
  LayoutItem root = host->view("root");
  LayoutItem a = host->view("a", root);
  LayoutItem a1 = host->view("a1", a);
  LayoutItem b = host->view("b", root);
  LayoutItem b1 = host->view("b1", b);
  void SetUp() override {
    host->setIdentifier(a1, "x");
    host->setIdentifier(b, "x");
  }
  static std::string name(std::optional<LayoutItem> item) { return item ? FakeLayoutHost::node(*item).name : "nil"; }
};

TEST_F(ViewLookupTest, SearchesTestEachLevelBeforeEnteringIt) {
  auto named = [](const char* wanted) {
    return [wanted](LayoutItem item) { return FakeLayoutHost::node(item).name.starts_with(wanted); };
  };
  EXPECT_EQ(name(qvView(root, "x")), "b");  // a direct subview wins over a deeper, earlier one
  EXPECT_EQ(name(qvSubview(root, QvViewSearchOptions::none(), named("a1"))), "nil");
  EXPECT_EQ(name(qvSubview(root, QvViewSearchOptions::deep(), named("b1"))), "b1");
  EXPECT_EQ(name(qvSubview(root, QvViewSearchOptions::deep(), named("root"))), "nil");
  EXPECT_EQ(name(qvView(a, "x")), "a1");
  host->setIdentifier(root, "top");
  EXPECT_EQ(name(qvView(root, "top")), "nil");

  std::vector<std::string> visited;
  EXPECT_TRUE(qvWalkViewHierarchy(root, [&](LayoutItem item) {
    visited.push_back(FakeLayoutHost::node(item).name);
    return true;
  }));
  EXPECT_EQ(visited, (Strings{"a", "b", "a1", "b1"}));
  visited.clear();
  EXPECT_FALSE(qvWalkViewHierarchy(root, [&](LayoutItem item) {
    visited.push_back(FakeLayoutHost::node(item).name);
    return visited.size() < 3;
  }));
  EXPECT_EQ(visited.size(), 3u);

  auto leaf = host->view("leaf");
  EXPECT_TRUE(qvWalkViewHierarchy(leaf, [](LayoutItem) { return false; }));

  QvViewSearchOptions options{QvViewSearchOptions::none(), QvViewSearchOptions::deep()};
  EXPECT_EQ(options.rawValue, 2);
  EXPECT_FALSE(options.insert(QvViewSearchOptions::deep()));
  EXPECT_TRUE(options.subtracting(QvViewSearchOptions::deep()) == QvViewSearchOptions::none());
}

TEST_F(ViewLookupTest, IdentifierMapKeepsTheFirstAndLogsDuplicates) {
  testing::internal::CaptureStderr();
  auto map = qvIdToSubview(root);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARN(qvIdToSubview()): duplicate view identifier: x base: root\n");
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map["x"], b);
  EXPECT_EQ(map["self"], root);
  auto leaf = host->view("leaf");
  EXPECT_EQ(qvIdToSubview(leaf), (std::map<std::string, LayoutItem>{{"self", leaf}}));
}

TEST_F(ViewLookupTest, ContentSlot) {
  EXPECT_EQ(name(qvContentView(root)), "a");
  auto content = host->view("content");
  setQvContentView(root, content);
  EXPECT_EQ(host->subviewsOf(root), std::vector<LayoutItem>{content});
  EXPECT_EQ(texts(host->active), (Strings{"content.leading == root.leading", "root.trailing == content.trailing",
                                          "content.top == root.top", "root.bottom == content.bottom"}));
  const int invalidations = FakeLayoutHost::node(root).invalidations;
  setQvContentView(root, content);  // already the content: nothing happens
  EXPECT_EQ(FakeLayoutHost::node(root).invalidations, invalidations);
  EXPECT_EQ(host->activateCalls, 1);
  setQvContentView(root, std::nullopt);
  EXPECT_TRUE(host->subviewsOf(root).empty());
  EXPECT_EQ(name(qvContentView(root)), "nil");
}

/// A holder whose properties the test lists.
struct ListedHolder : QvViewHolder {
  std::vector<Child> children;
  std::vector<Child> mirrorChildren() const override { return children; }
};

TEST_F(ViewLookupTest, ViewHoldersListTheirViewProperties) {
  ListedHolder holder;
  auto named = host->view("named");
  host->setIdentifier(named, "kept");
  auto unnamedLabel = host->view("plain");
  holder.children = {{"title", named}, {"empty", std::nullopt}, {std::nullopt, a}, {"body", unnamedLabel},
                     {"count", std::nullopt}};
  EXPECT_EQ(holder.allViews(), (std::vector<LayoutItem>{named, a, unnamedLabel}));
  EXPECT_EQ(holder.idToView(), (std::map<std::string, LayoutItem>{{"title", named}, {"body", unnamedLabel}}));
  std::vector<std::string> labels;
  holder.forEach([&](const std::string& label, LayoutItem) { labels.push_back(label); });
  EXPECT_EQ(labels, (Strings{"title", "body"}));
  holder.assignIDs();
  EXPECT_EQ(host->identifier(named), "kept");  // never overwritten
  EXPECT_EQ(host->identifier(unnamedLabel), "body");
}

TEST_F(ViewLookupTest, ViewHoldersVisitPropertiesOfAnyType) {
  ListedHolder holder;
  auto title = host->view("title");
  holder.children = {{"title", title},
                     {"count", std::nullopt, 3},
                     {"name", std::nullopt, std::string("ann")},
                     {std::nullopt, std::nullopt, 4},
                     {"missing", std::nullopt, std::optional<int>()},
                     {"limit", std::nullopt, std::optional<int>(9)},
                     {"ratio", std::nullopt, 2.5},
                     {"empty", std::nullopt, std::any()}};
  Strings labelled;
  holder.forEach([&](const std::string& label, int value) { labelled.push_back(label + "=" + std::to_string(value)); });
  EXPECT_EQ(labelled, (Strings{"count=3", "limit=9"}));  // the unlabelled 4 is skipped
  std::vector<int> all;
  holder.forEach([&](const int& value) { all.push_back(value); });
  EXPECT_EQ(all, (std::vector<int>{3, 4, 9}));
  Strings texts;
  holder.forEach(std::function<void(std::string)>([&](std::string value) { texts.push_back(value); }));
  EXPECT_EQ(texts, (Strings{"ann"}));
  std::vector<double> numbers;
  holder.forEach([&](double value) { numbers.push_back(value); });  // no conversion from int
  EXPECT_EQ(numbers, (std::vector<double>{2.5}));
  std::vector<LayoutItem> views;
  holder.forEach([&](LayoutItem view) { views.push_back(view); });
  EXPECT_EQ(views, (std::vector<LayoutItem>{title}));
  EXPECT_EQ(holder.allViews(), (std::vector<LayoutItem>{title}));
  EXPECT_EQ(holder.idToView().size(), 1u);
}

}  // namespace
