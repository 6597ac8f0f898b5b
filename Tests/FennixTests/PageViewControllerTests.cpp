// The page controller's navigation over a fake transition runner whose slides complete on demand.
#include <gtest/gtest.h>

#include "FakeControllerViewKit.h"
#include "Fennix/UI/Common/ViewControllers/PageViewController.h"
#include "LogTestSupport.h"

using namespace FennixTest;

namespace {

struct Page : QvViewControllerBase {
  Page() = default;
};

struct FakeRunner : Fennix::PageTransitionRunner {
  struct Slide {
    std::optional<Fennix::LayoutItem> from;
    Fennix::LayoutItem to;
    NSViewControllerTransitionOptions options;
    std::function<void()> completion;
  };
  std::vector<Slide> slides;
  void transition(Fennix::LayoutItem container, std::optional<Fennix::LayoutItem> from, Fennix::LayoutItem to,
                  NSViewControllerTransitionOptions options, std::function<void()> completion) override {
    PageTransitionRunner::transition(container, from, to, options, nullptr);
    slides.push_back({from, to, options, std::move(completion)});
  }
  void finish() {
    for (auto& slide : slides)
      if (auto done = std::exchange(slide.completion, nullptr)) done();
  }
};

struct Recorder : QvPageViewControllerDelegate {
  std::vector<std::string> events;
  void pageViewControllerWillTransitionTo(QvPageViewController&, const std::vector<NSViewController::Ptr>& to) override {
    events.push_back("will " + std::to_string(to.size()));
  }
  void pageViewControllerDidFinishAnimating(QvPageViewController&, bool finished,
                                            const std::vector<NSViewController::Ptr>& previous, bool completed) override {
    events.push_back("did " + std::to_string(finished) + std::to_string(previous.size()) + std::to_string(completed));
  }
};

struct PageTest : ::testing::Test, WithFakeControllerKit {
  std::shared_ptr<FakeRunner> runner = std::make_shared<FakeRunner>();
  LogTestSupport::FileConsole files{LogLevel::trace};
  std::shared_ptr<QvPageViewController> pages = NSViewController::make<QvPageViewController>(
      QvPageViewController::TransitionStyle::scroll, QvPageViewController::NavigationOrientation::horizontal);
  std::vector<NSViewController::Ptr> list;
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();

  PageTest() {
    Fennix::setPageTransitionRunner(runner);
    console::setDefaultConsole(files.console);
    for (int i = 0; i < 3; ++i) list.push_back(NSViewController::make<Page>());
    pages->delegate = recorder;
    host->setFrame(*pages->view(), {0, 0, 400, 300});
  }
  ~PageTest() override {
    Fennix::setPageTransitionRunner(nullptr);
    console::setDefaultConsole(nullptr);
  }
  std::string log() { return files.out.text() + files.err.text(); }
  std::vector<Fennix::LayoutItem> shown() { return host->subviewsOf(*pages->view()); }
};

TEST_F(PageTest, AListIsWalkedForwardUntilItsEnd) {
  bool reported = true;
  pages->setViewControllers(list, QvPageViewController::NavigationDirection::forward, true,
                            [&](bool done) { reported = done; });
  EXPECT_FALSE(reported);
  EXPECT_TRUE(runner->slides.empty());
  EXPECT_EQ(pages->currentViewController(), list[0]);
  EXPECT_EQ(shown(), std::vector<Fennix::LayoutItem>{*list[0]->view()});
  EXPECT_EQ(host->frame(*list[0]->view()), (Fennix::LayoutHost::Frame{0, 0, 400, 300}));
  EXPECT_EQ(pages->uxChildren().size(), 3u);

  pages->moveForward();
  ASSERT_EQ(runner->slides.size(), 1u);
  EXPECT_EQ(runner->slides[0].options, NSViewControllerTransitionOptions::slideForward);
  EXPECT_TRUE(pages->isSwitching());
  runner->finish();
  EXPECT_FALSE(pages->isSwitching());
  pages->moveForward();
  runner->finish();
  EXPECT_EQ(pages->currentViewController(), list[2]);
  EXPECT_EQ(shown(), std::vector<Fennix::LayoutItem>{*list[2]->view()});
  pages->moveForward();
  EXPECT_EQ(runner->slides.size(), 2u);
  EXPECT_NE(log().find("moveForward(_:): cannot move forward"), std::string::npos) << log();
  EXPECT_EQ(recorder->events, (std::vector<std::string>{"will 1", "did 111", "will 1", "did 111"}));

  pages->moveBackward();
  EXPECT_EQ(runner->slides.back().options, NSViewControllerTransitionOptions::slideBackward);
  runner->finish();
  EXPECT_EQ(pages->currentViewController(), list[1]);
}

TEST_F(PageTest, BackwardOnTheFirstPageAndAMoveDuringASlide) {
  pages->setViewControllers(list, QvPageViewController::NavigationDirection::forward, false, nullptr);
  pages->moveBackward();
  EXPECT_NE(log().find("moveBackward(_:): cannot move backward"), std::string::npos) << log();
  EXPECT_EQ(pages->currentViewController(), list[0]);

  pages->moveForward();
  pages->moveForward();  // dropped: the first slide still runs
  EXPECT_NE(log().find("still switching"), std::string::npos);
  EXPECT_EQ(runner->slides.size(), 1u);
  EXPECT_EQ(pages->currentViewController(), list[1]);
  runner->finish();
  pages->moveForward();
  runner->finish();
  EXPECT_EQ(pages->currentViewController(), list[2]);
}

struct Source : QvPageViewControllerDataSource {
  NSViewController::Ptr after;
  int asked = 0;
  NSViewController::Ptr viewControllerBefore(QvPageViewController&, const NSViewController::Ptr&) override {
    ++asked;
    return nullptr;
  }
  NSViewController::Ptr viewControllerAfter(QvPageViewController&, const NSViewController::Ptr&) override {
    ++asked;
    return after;
  }
};

TEST_F(PageTest, ADataSourceIsAskedBeforeTheList) {
  auto source = std::make_shared<Source>();
  pages->dataSource = source;
  pages->setViewControllers(list, QvPageViewController::NavigationDirection::forward, false, nullptr);
  pages->moveForward();
  EXPECT_EQ(source->asked, 1);
  EXPECT_EQ(pages->currentViewController(), list[0]);
  EXPECT_NE(log().find("cannot move forward"), std::string::npos);

  source->after = NSViewController::make<Page>();
  pages->moveForward();
  runner->finish();
  EXPECT_EQ(pages->currentViewController(), source->after);
  EXPECT_EQ(source->after->parentViewController(), pages.get());
  EXPECT_EQ(pages->uxChildren().size(), 4u);  // pages reached by moving stay children
}

TEST_F(PageTest, AnEmptyListRemovesTheOldPagesAndShowsNone) {
  pages->setViewControllers(list, QvPageViewController::NavigationDirection::forward, false, nullptr);
  pages->setViewControllers(QvPageViewController::ViewControllers{}, QvPageViewController::NavigationDirection::forward,
                            false, nullptr);
  EXPECT_TRUE(shown().empty());
  EXPECT_TRUE(pages->uxChildren().empty());
  EXPECT_FALSE(pages->currentViewController());
  EXPECT_EQ(list[0]->parentViewController(), nullptr);
  pages->moveForward();
  EXPECT_NE(log().find("cannot move forward"), std::string::npos);
  pages->setViewControllers(std::nullopt, QvPageViewController::NavigationDirection::forward, false, nullptr);
  EXPECT_FALSE(pages->viewControllers());
  pages->setViewControllers(QvPageViewController::ViewControllers{nullptr}, QvPageViewController::NavigationDirection::forward, false, nullptr);
  pages->moveForward();
  EXPECT_TRUE(runner->slides.empty());
}

}  // namespace
