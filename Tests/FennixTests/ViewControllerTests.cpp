// Controllers without a display: the base's hooks and represented-object rule, identifiers,
// making controllers by class name, child search and the two ways of adding a child's view, and
// the placeholder pane.
#include <gtest/gtest.h>

#include "FakeControllerViewKit.h"
#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/UI/Common/StackMakers.h"
#include "Fennix/UI/Common/ViewControllers/PlaceholderViewController.h"

using Fennix::AnyValue;
using Fennix::LayoutItem;
using namespace FennixTest;

namespace {

class RecordingVC : public QvViewControllerBase {
 public:
  RecordingVC() = default;
  explicit RecordingVC(bool withoutView) : withoutView_(withoutView) {}
  void onSetup() override { events.push_back(withoutView_ ? "setup:noview" : "setup"); }
  void viewDidLoad() override { events.push_back(isViewLoaded() ? "didLoad" : "didLoad:noview"); }
  void onWillAppear() override { events.push_back("willAppear"); }
  void onDidAppear() override { events.push_back("didAppear"); }
  void onWillDisappear() override { events.push_back("willDisappear"); }
  void onDidDisappear() override { events.push_back("didDisappear"); }
  void onObjectChange(const std::optional<AnyValue>& old, const std::optional<AnyValue>& new_) override {
    events.push_back("change " + (old ? old->description() : std::string("<nil>")) + " -> " +
                     (new_ ? new_->description() : std::string("<nil>")));
  }
  std::optional<LayoutItem> makeView() override {
    if (withoutView_) return std::nullopt;
    return QvViewControllerBase::makeView();
  }
  std::vector<std::string> events;

 private:
  bool withoutView_ = false;
};

class OtherVC : public QvViewControllerBase {};

struct ControllerTest : ::testing::Test, WithFakeControllerKit {};

}  // namespace

TEST_F(ControllerTest, SetupRunsOnceAndAppearanceHooksFollowTheView) {
  auto vc = NSViewController::make<RecordingVC>();
  ASSERT_EQ(vc->events, std::vector<std::string>{"setup"});
  auto view = vc->view();
  ASSERT_TRUE(view);
  vc->view();
  EXPECT_EQ(nameOf(*view), "generic");
  EXPECT_EQ(kit->retained[view->handle], 1);
  kit->show(*view, true);
  kit->show(*view, false);
  EXPECT_EQ(vc->events, (std::vector<std::string>{"setup", "didLoad", "willAppear", "didAppear", "willDisappear",
                                                  "didDisappear"}));
  vc.reset();
  EXPECT_EQ(kit->retained[view->handle], 0);
  kit->show(*view, true);  // the controller is gone: nothing to tell
}

TEST_F(ControllerTest, RepresentedObjectChangesOnlyWhenTheValueDiffers) {
  auto vc = NSViewController::make<RecordingVC>();
  vc->events.clear();
  vc->setRepresentedObject(std::nullopt);
  vc->setRepresentedObject(AnyValue("abc"));
  vc->setRepresentedObject(AnyValue(std::string("abc")));
  vc->setRepresentedObject(AnyValue(1));
  vc->setRepresentedObject(std::nullopt);
  vc->setRepresentedObject(std::nullopt);
  EXPECT_EQ(vc->events, (std::vector<std::string>{"change <nil> -> abc", "change abc -> 1", "change 1 -> <nil>"}));
  EXPECT_FALSE(vc->isViewLoaded());
}

TEST_F(ControllerTest, IdentifierGoesToTheViewUnlessItHasOne) {
  auto vc = NSViewController::make<RecordingVC>();
  vc->setIdentifier("pane");
  ASSERT_TRUE(vc->isViewLoaded());
  EXPECT_EQ(host->identifier(*vc->view()), "pane");
  vc->setIdentifier("renamed");
  EXPECT_EQ(vc->identifier(), "renamed");
  EXPECT_EQ(host->identifier(*vc->view()), "pane");

  class NamedViewVC : public QvViewControllerBase {
   public:
    std::optional<LayoutItem> makeView() override {
      auto view = QvViewControllerBase::makeView();
      Fennix::layoutHost()->setIdentifier(*view, "own");
      return view;
    }
  };
  auto named = NSViewController::make<NamedViewVC>();
  named->NSViewController::setIdentifier("ctl");
  EXPECT_EQ(host->identifier(*named->view()), "own");
}

TEST_F(ControllerTest, AControllerWithoutAViewStaysWithout) {
  auto vc = NSViewController::make<RecordingVC>(true);
  EXPECT_FALSE(vc->view());
  EXPECT_FALSE(vc->view());
  vc->setIdentifier("x");
  EXPECT_FALSE(vc->isViewLoaded());
  EXPECT_EQ(vc->events, std::vector<std::string>{"setup:noview"});  // no view, so nothing loaded
  EXPECT_FALSE(NSViewController::make()->view());
}

TEST_F(ControllerTest, ClassesAreMadeByPlainOrModuleName) {
  auto module = NSBundle::main().infoString("CFBundleName");
  ASSERT_TRUE(module);
  EXPECT_EQ(Fennix::ControllerClassRegistry::mangledName("App", "MainVC"), "_TtC3App6MainVC");
  EXPECT_EQ(Fennix::ControllerClassRegistry::mangledName("Äpp", "V😀"), "_TtC3Äpp3V😀");

  Fennix::ControllerClassRegistry::registerViewController<RecordingVC>("RecordingVC", module);
  auto plain = NSViewController::qvNew("RecordingVC");
  ASSERT_TRUE(std::dynamic_pointer_cast<RecordingVC>(plain));
  EXPECT_EQ(std::dynamic_pointer_cast<RecordingVC>(plain)->events, std::vector<std::string>{"setup"});

  // A class of that plain name that is no controller: the module's controller is found instead.
  Fennix::ControllerClassRegistry::registerOtherClass("Thing");
  Fennix::ControllerClassRegistry::registerName(Fennix::ControllerClassRegistry::mangledName(*module, "Thing"),
                                                [] { return NSViewController::make<OtherVC>(); });
  EXPECT_TRUE(std::dynamic_pointer_cast<OtherVC>(NSViewController::qvNew("Thing")));
  Fennix::ControllerClassRegistry::unregisterName(Fennix::ControllerClassRegistry::mangledName(*module, "Thing"));

  testing::internal::CaptureStdout();
  EXPECT_FALSE(NSViewController::qvNew("Thing"));
  EXPECT_FALSE(NSViewController::qvNew("NoSuchVC"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "WARN: did not find VC class: Thing\nWARN: did not find VC class: NoSuchVC\n");
  Fennix::ControllerClassRegistry::unregisterName("Thing");
  Fennix::ControllerClassRegistry::unregisterName("RecordingVC");
}

TEST_F(ControllerTest, ChildSearchTestsAllChildrenBeforeGrandchildren) {
  auto root = NSViewController::make<OtherVC>();
  auto a = NSViewController::make<OtherVC>();
  auto b = NSViewController::make<OtherVC>();
  auto a1 = NSViewController::make<RecordingVC>();
  auto b1 = NSViewController::make<RecordingVC>();
  a->NSViewController::setIdentifier("same");
  a1->NSViewController::setIdentifier("a1");
  b1->NSViewController::setIdentifier("same");
  root->uxAddChild(a);
  root->uxAddChild(b);
  a->uxAddChild(a1);
  b->uxAddChild(b1);

  EXPECT_EQ(root->qvFirstSubVC<RecordingVC>(), a1);
  EXPECT_FALSE(root->qvSubVC(QvViewSearchOptions::none(),
                             [](const NSViewController& vc) { return dynamic_cast<const RecordingVC*>(&vc); }));
  EXPECT_EQ(root->qvFirstSubVC("same"), a);
  EXPECT_EQ(root->qvFirstSubVC("a1"), a1);
  EXPECT_FALSE(root->qvFirstSubVC("none"));
  EXPECT_EQ(&b1->qvRootViewController(), root.get());
  EXPECT_EQ(b1->qvFirstSuperVC<RecordingVC>(), b1.get());
  EXPECT_EQ(b1->qvFirstSuperVC<OtherVC>(), b.get());
  EXPECT_DEATH(a1->qvRequireFirstSubVC<OtherVC>(), "did not find child view controller of class OtherVC");

  // Moving a child to another parent takes it out of the first.
  b->uxAddChild(a1);
  EXPECT_TRUE(a->uxChildren().empty());
  EXPECT_EQ(a1->parentViewController(), b.get());

  root->removeAllChildViewControllers();
  EXPECT_TRUE(root->uxChildren().empty());
  EXPECT_EQ(a->parentViewController(), nullptr);
  a1->removeAllChildViewControllers();
}

TEST_F(ControllerTest, ChildrenAreAddedScrolledOrConstrained) {
  auto parent = NSViewController::make<OtherVC>();
  QvChildOptions inScroll;
  inScroll.scrolled = true;
  auto scrolled = parent->addChildViewControllerAndSubview(NSViewController::make<OtherVC>(), inScroll);
  ASSERT_TRUE(scrolled);
  auto scroll = FakeLayoutHost::node(*scrolled->view()).superview;
  ASSERT_TRUE(scroll);
  EXPECT_EQ(scroll->name, "scroll");
  EXPECT_EQ(scroll->superview, &FakeLayoutHost::node(*parent->view()));
  EXPECT_TRUE(scroll->preparedForConstraints);
  EXPECT_EQ(scroll->frame, (Fennix::LayoutHost::Frame{0, 0, 259, 128}));
  ASSERT_EQ(host->active.size(), 1u);
  EXPECT_EQ(text(host->active[0]), "generic.width == scroll.width");

  // A child whose view is a scroll view already is laid out with the descriptions.
  class ScrollVC : public QvViewControllerBase {
    std::optional<LayoutItem> makeView() override {
      return Fennix::controllerViewKit().makeScrollView(Fennix::controllerViewKit().makeGenericView());
    }
  };
  host->active.clear();
  inScroll.hugh = 300;
  auto laidOut = parent->addChildViewControllerAndSubview(NSViewController::make<ScrollVC>(), inScroll, {"H:|[self]|"});
  ASSERT_TRUE(laidOut);
  EXPECT_EQ(FakeLayoutHost::node(*laidOut->view()).superview, &FakeLayoutHost::node(*parent->view()));
  EXPECT_EQ(texts(host->active), (std::vector<std::string>{"scroll.leading == generic.leading",
                                                           "generic.trailing == scroll.trailing"}));
  EXPECT_EQ(hHug(*laidOut->view()), 300);
  EXPECT_EQ(parent->uxChildren().size(), 2u);

  testing::internal::CaptureStdout();
  EXPECT_FALSE(parent->addChildViewControllerAndSubview(std::string("Missing")));
  EXPECT_FALSE(parent->addChildViewControllerAndSubview(AnyValue(3)));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "WARN: did not find VC class: Missing\n");
  EXPECT_EQ(parent->uxChildren().size(), 2u);
}

TEST_F(ControllerTest, PlaceholderSaysWhatItIsFocusedOn) {
  auto lorem = NSViewController::make<QvLoremVC>();
  lorem->setRepresentedObject(AnyValue("abc"));  // loads the view first
  ASSERT_TRUE(lorem->isViewLoaded());
  auto label = FakeLayoutHost::node(*lorem->view()).subviews.at(0);
  const void* handle = label;
  EXPECT_EQ(kit->labels[handle], "Lorem Ipsum focused on: abc");
  EXPECT_EQ(host->active.size(), 4u);
  lorem->setRepresentedObject(std::nullopt);
  EXPECT_EQ(kit->labels[handle], "Lorem Ipsum focused on: <nil>");
  EXPECT_EQ(kit->wraps, 2);

  auto fresh = NSViewController::make<QvLoremVC>();
  EXPECT_EQ(kit->labels[FakeLayoutHost::node(*fresh->view()).subviews.at(0)], "Lorem Ipsum");
}

TEST_F(ControllerTest, StacksDropMissingViews) {
  auto label = host->view("label");
  auto other = host->view("other");
  int configured = 0;
  auto stack = Fennix::makeVStack("col", NSStackViewDistribution::fill, NSLayoutAttribute::leading, 300, 4,
                                  {std::nullopt, label, std::nullopt}, [&](LayoutItem) { ++configured; });
  EXPECT_EQ(nameOf(stack), "vstack");
  EXPECT_EQ(host->subviewsOf(stack), std::vector<LayoutItem>{label});
  EXPECT_EQ(host->identifier(stack), "col");
  EXPECT_EQ(configured, 1);
  EXPECT_EQ(kit->lastStack->alignment, NSLayoutAttribute::leading);
  EXPECT_EQ(kit->lastStack->hugging, 300);

  auto row = Fennix::makeHStack(std::nullopt, NSStackViewDistribution::fillEqually, NSLayoutAttribute::centerY, 8, 200,
                                600, {other, std::nullopt, label});
  EXPECT_EQ(nameOf(row), "hstack");
  EXPECT_EQ(host->subviewsOf(row), (std::vector<LayoutItem>{other, label}));
  EXPECT_FALSE(host->identifier(row));
  EXPECT_EQ(kit->lastStack->spacing, 8);
  EXPECT_EQ(kit->lastStack->hugging, 200);
  EXPECT_EQ(hHug(row), 600);
}
