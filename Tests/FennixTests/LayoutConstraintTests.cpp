// The constraint language without a display: visual formats, the builders and lists.
#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "FakeLayoutHost.h"
#include "Fennix/UI/Common/VisualFormat.h"

using FennixTest::texts;
using FennixTest::WithFakeLayoutHost;
using Fennix::LayoutItem;
using Fennix::parseVisualFormat;
using A = NSLayoutAttribute;
using R = NSLayoutRelation;

namespace {

class VisualFormatTest : public ::testing::Test, public WithFakeLayoutHost {
 protected:
  LayoutItem super = host->view("super");
  LayoutItem self = host->view("self", super);
  LayoutItem other = host->view("other", super);
  QvViewsMap views{{"self", self}, {"super", super}, {"other", other}};

  std::vector<std::string> parse(const std::string& format, const QvMetrics& metrics = {}) {
    auto result = parseVisualFormat(format, metrics, views);
    EXPECT_FALSE(result.error) << *result.error;
    return texts(result.constraints);
  }
  std::string fault(const std::string& format) {
    auto result = parseVisualFormat(format, {}, views);
    EXPECT_TRUE(result.constraints.empty());
    return result.error.value_or("<accepted>");
  }
};

TEST_F(VisualFormatTest, EdgesSpacingsAndOrientations) {
  EXPECT_EQ(parse("H:|-8-[self]-8-|"), (std::vector<std::string>{"self.leading == super.leading + 8",
                                                                 "super.trailing == self.trailing + 8"}));
  EXPECT_EQ(parse("V:|-8-[self]-8-|"),
            (std::vector<std::string>{"self.top == super.top + 8", "super.bottom == self.bottom + 8"}));
  // No prefix is horizontal; a bare bar is flush; a bare dash is the standard spacing.
  EXPECT_EQ(parse("|[self]|"),
            (std::vector<std::string>{"self.leading == super.leading", "super.trailing == self.trailing"}));
  EXPECT_EQ(parse("|-[self]-[other]-|"),
            (std::vector<std::string>{"self.leading == super.leading + 20", "other.leading == self.trailing + 8",
                                      "super.trailing == other.trailing + 20"}));
  EXPECT_EQ(parse("V:[self][other]"), (std::vector<std::string>{"other.top == self.bottom"}));
  EXPECT_EQ(NSLayoutConstraint::qvStandardConstantBetweenSiblings(), 8);
  EXPECT_EQ(NSLayoutConstraint::qvStandardConstantBetweenSuperview(), 20);
}

TEST_F(VisualFormatTest, PredicatesMetricsAndPriorities) {
  EXPECT_EQ(parse("[self(==100)]"), (std::vector<std::string>{"self.width == 100"}));
  EXPECT_EQ(parse("V:[self(>=50,<=other@750)]"),
            (std::vector<std::string>{"self.height >= 50", "self.height <= other.height @750"}));
  EXPECT_EQ(parse("[self]-gap-[other]", {{"gap", 12}}), (std::vector<std::string>{"other.leading == self.trailing + 12"}));
  EXPECT_EQ(parse("[self]-(>=gap@low)-[other]", {{"gap", 4}, {"low", 250}}),
            (std::vector<std::string>{"other.leading >= self.trailing + 4 @250"}));
  EXPECT_EQ(parse("[self]-(-4)-[other]"), (std::vector<std::string>{"other.leading == self.trailing - 4"}));
  EXPECT_EQ(parse("[self(==other)]-0.5-|"),
            (std::vector<std::string>{"self.width == other.width", "super.trailing == self.trailing + 0.5"}));
}

TEST_F(VisualFormatTest, MalformedFormatsAreRejectedWithAMessage) {
  EXPECT_EQ(fault("H:|-8-[self"), "Unable to parse constraint format: Expected ']'\nH:|-8-[self\n           ^");
  EXPECT_NE(fault("[nobody]").find("nobody is not a key in the views dictionary."), std::string::npos);
  EXPECT_NE(fault("[self]-gap-[other]").find("gap is not a key in the metrics dictionary."), std::string::npos);
  EXPECT_NE(fault("[self(==10@5000)]").find("Priorities must be"), std::string::npos);
  EXPECT_NE(fault("").find("Expected a view"), std::string::npos);
  EXPECT_NE(fault("H:").find("Expected a view"), std::string::npos);
  EXPECT_NE(fault("[self]--[other]").find("Expected a number or metric"), std::string::npos);
  EXPECT_NE(fault("[self]|x").find("Expected the end"), std::string::npos);
  EXPECT_NE(fault("[self]-8-").find("Expected a view or '|'"), std::string::npos);
  EXPECT_NE(fault("[self(==)]").find("Expected a number, metric or view name"), std::string::npos);
  // A bar needs a superview.
  auto lonely = host->view("lonely");
  auto result = parseVisualFormat("|[lonely]", {}, {{"lonely", lonely}});
  ASSERT_TRUE(result.error);
  EXPECT_NE(result.error->find("doesn't have a superview"), std::string::npos);
}

TEST_F(VisualFormatTest, NumbersOutOfRangeAreBadFormats) {
  // Too many digits for a double, a priority that is 0 as a float, metrics that are no numbers.
  const std::string huge(400, '1');
  EXPECT_EQ(fault("|-" + huge + "-[self]"),
            "Unable to parse constraint format: Numbers must be finite\n|-" + huge + "-[self]\n  ^");
  EXPECT_NE(fault("[self(==" + huge + ")]").find("Numbers must be finite"), std::string::npos);
  EXPECT_EQ(fault("[self(==10@1e-48)]").rfind("Unable to parse constraint format: ", 0), 0u);
  EXPECT_NE(fault("[self(==10@0." + std::string(60, '0') + "1)]").find("Priorities must be"), std::string::npos);
  for (double bad : {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(), 1e300}) {
    for (const std::string format : {"[self]-m-[other]", "[self(==m)]", "[self(==10@m)]"}) {
      auto result = parseVisualFormat(format, {{"m", bad}}, views);
      if (bad == 1e300 && format != "[self(==10@m)]") continue;  // a finite constant is allowed
      ASSERT_TRUE(result.error) << format << " " << bad;
      EXPECT_EQ(result.error->rfind("Unable to parse constraint format: ", 0), 0u);
      EXPECT_TRUE(result.constraints.empty());
    }
  }
  EXPECT_EQ(parse("[self(==10@999.5)]"), (std::vector<std::string>{"self.width == 10 @999.5"}));
}

TEST_F(VisualFormatTest, ArbitraryTextNeverCrashes) {
  std::mt19937 random(7);
  const std::string alphabet = "HV:|-[]()@=<>,.0123456789 selfotherxyz\xff";
  for (int i = 0; i < 3000; ++i) {
    std::string format;
    for (int n = random() % 24; n > 0; --n) format += alphabet[random() % alphabet.size()];
    auto result = parseVisualFormat(format, {{"x", 3}}, views);
    if (result.error) {
      EXPECT_TRUE(result.constraints.empty()) << format;
    }
  }
}

class ConstraintBuilderTest : public ::testing::Test, public WithFakeLayoutHost {
 protected:
  LayoutItem super = host->view("super");
  LayoutItem view = host->view("view", super);
  LayoutItem guide{host->view("guide").handle, LayoutItem::Kind::guide};
};

TEST_F(ConstraintBuilderTest, CoreBuilderCoercionsInsetsAndMappings) {
  auto widthOf100 = constrain(view, A::width, R::equal, 100, std::nullopt);
  EXPECT_FALSE(widthOf100->secondItem());
  EXPECT_EQ(widthOf100->secondAttribute(), A::notAnAttribute);
  EXPECT_EQ(widthOf100->constant(), 100);

  const NSEdgeInsets inset{1, 2, 3, 4};
  const std::pair<A, double> offsets[] = {{A::leading, 2}, {A::trailing, -4}, {A::top, 1},      {A::bottom, -3},
                                          {A::width, -6},  {A::height, -4},   {A::centerX, -2}, {A::centerY, -2}};
  for (auto [attribute, offset] : offsets) EXPECT_EQ(constantOffset(inset, attribute), offset) << int(attribute);

  EXPECT_EQ(constrain(view, A::top, R::equal, super, std::nullopt, 1, 10, inset)->constant(), 11);
  EXPECT_EQ(constrainToGuide(view, A::top, R::equal, guide, std::nullopt, 10, inset)->constant(), 10);
  EXPECT_EQ(constrainToGuide(view, A::top, R::equal, guide, std::nullopt, std::nullopt, inset)->constant(), 1);

  auto topToHeight = constrain(view, A::top, R::equal, super, A::height, 0.5);
  EXPECT_EQ(topToHeight->secondAttribute(), A::bottom);
  EXPECT_EQ(topToHeight->multiplier(), -0.5);
  EXPECT_EQ(constrain(view, A::leading, R::equal, super, A::width)->secondAttribute(), A::width);
  EXPECT_EQ(constrain(view, A::left, R::equal, super, A::width)->secondAttribute(), A::right);

  EXPECT_EQ(texts(constrain(view, super, inset)),
            (std::vector<std::string>{"view.leading == super.leading + 2", "view.trailing == super.trailing - 4",
                                      "view.top == super.top + 1", "view.bottom == super.bottom - 3"}));
  EXPECT_EQ(host->activateCalls, 0);  // builders never activate
}

TEST_F(ConstraintBuilderTest, VisualFormatListKeysViewsByIdentifierOrPosition) {
  auto named = host->view("named", super);
  host->setIdentifier(named, "label");
  auto constraints = constrain({"|[v2]-[label]|", std::nullopt, "V:|[v2]|"}, {}, {std::nullopt, view, named});
  EXPECT_EQ(texts(constraints),
            (std::vector<std::string>{"view.leading == super.leading", "named.leading == view.trailing + 8",
                                      "super.trailing == named.trailing", "view.top == super.top",
                                      "super.bottom == view.bottom"}));
}

TEST_F(ConstraintBuilderTest, DescriptionListsAndPriorities) {
  EXPECT_TRUE(QvLayout::qv(std::vector<QvConstraintArg>{}).empty());
  EXPECT_TRUE(QvLayout::qv(42).empty());
  EXPECT_TRUE(QvLayout::qvDo(std::vector<QvConstraintArg>{}).empty());
  EXPECT_EQ(host->activateCalls, 0);

  auto a = constrain(view, A::width, R::equal, 10, std::nullopt);
  auto b = constrain(view, A::height, R::equal, 10, std::nullopt, 1, std::nullopt, std::nullopt, 250);
  auto nested = QvLayout::qvDo(std::vector<QvConstraintArg>{a, std::vector<QvConstraintArg>{"[view(==5)]", b}},
                               QvViewsMap{{"view", view}});
  EXPECT_EQ(nested.size(), 3u);
  EXPECT_EQ(host->activateCalls, 1);
  EXPECT_TRUE(b->isActive());
  EXPECT_EQ(QvLayout::priority({a, b}), 625);
  EXPECT_EQ(QvLayout::priority({}), 0);
  QvLayout::setPriority({a, b}, 500);
  EXPECT_EQ(a->priority(), 500);
  EXPECT_EQ(host->changes, 2);  // active constraints tell the host

  testing::internal::CaptureStderr();
  EXPECT_TRUE(QvLayout::qv("[view", QvViewsMap{{"view", view}}).empty());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Unable to parse constraint format"), std::string::npos);

  NSLayoutConstraintList list;
  QvLayout::add(list, {a, NSLayoutConstraintList{b, b}, "[view(==1)]", std::vector<QvConstraintArg>{"[view(==2)]"}},
                {{"view", view}});
  EXPECT_EQ(list.size(), 5u);
  EXPECT_DEATH(QvLayout::add(list, {3}, {}), "unexpected constraint argument type: Int");
}

TEST_F(ConstraintBuilderTest, StrengthsKeepTheOrderOfPriorities) {
  EXPECT_EQ(Fennix::constraintStrength(1000), 1001001000);
  EXPECT_LT(Fennix::constraintStrength(999), 1000000000);
  EXPECT_LT(Fennix::constraintStrength(250), Fennix::constraintStrength(251));
  EXPECT_LT(Fennix::constraintStrength(1), Fennix::constraintStrength(1.5f));
  EXPECT_GT(Fennix::constraintStrength(0.0001f), 0);
}

TEST_F(ConstraintBuilderTest, AnchorBuilders) {
  auto other = host->view("other", super);
  auto c = constrain(view, A::centerY, R::greaterThanOrEqual, *yAnchor(A::top, other), 4, 300);
  EXPECT_EQ(texts({c}), std::vector<std::string>{"view.centerY >= other.top + 4 @300"});
  EXPECT_FALSE(yAnchor(A::firstBaseline, guide));
  EXPECT_TRUE(yAnchor(A::firstBaseline, view));
  EXPECT_FALSE(xAnchor(A::top, view));
  EXPECT_DEATH(constrain(view, A::leading, R::equal, *yAnchor(A::top, other)), "layout dimensions do not match!");
  EXPECT_DEATH(constrain(view, A::notAnAttribute, R::equal, *yAnchor(A::top, other)),
               "could not detect layout anchor dimension!");
  EXPECT_DEATH(constrain(nullptr, A::top, R::equal, super, std::nullopt), "did not specify base view");
  EXPECT_DEATH(constrainToGuide(view, A::top, R::equal, guide, A::firstBaseline), "layout dimensions do not match!");
}

TEST_F(ConstraintBuilderTest, SpacingBelowBuildsAConstraintBetweenTheAnchorsItems) {
  auto other = host->view("other", super);
  auto c = constrain(*yAnchor(A::top, view), R::equal, *yAnchor(A::bottom, other), 8, 2);
  EXPECT_EQ(texts({c}), std::vector<std::string>{"view.top == other.bottom + 16"});
  EXPECT_DEATH(constrain(*xAnchor(A::leading, view), R::equal, *yAnchor(A::bottom, other), 8, 1),
               "constrain\\(_:relatedBy:systemBelow:fallback:multiplier:\\) needs two y-axis anchors");
}

}  // namespace
