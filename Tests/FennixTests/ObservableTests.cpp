#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/Observable.h"

namespace {

class Model : public ObservableObject {
 public:
  Published<std::string> text{this, "start"};
  Published<int> count{this};
};

}  // namespace

TEST(ObservableTests, EveryAssignmentIsAnnouncedBeforeAndAfterTheStore) {
  Model model;
  std::vector<std::string> events;
  auto willChange = model.objectWillChange().sink([&] { events.push_back("will:" + model.text.get()); });
  auto willSet = model.text.willSet().sink([&](const std::string& v) {
    events.push_back("willSet:" + v + " old:" + model.text.get());
  });
  auto didSet = model.text.didSet().sink([&](const std::string& v) {
    events.push_back("didSet:" + v + " now:" + model.text.get());
  });

  model.text = "a";
  model.text = "a";  // an equal value is announced too
  model.count = 1;   // another property announces through the same object
  EXPECT_EQ(events, (std::vector<std::string>{"will:start", "willSet:a old:start", "didSet:a now:a", "will:a",
                                              "willSet:a old:a", "didSet:a now:a", "will:a"}));

  events.clear();
  model.text.modify([](std::string& s) { s += "b"; });
  EXPECT_EQ(events, (std::vector<std::string>{"will:a", "willSet:ab old:a", "didSet:ab now:ab"}));
}

TEST(ObservableTests, SubscriptionsEndWhenCancelledOrDropped) {
  Model model;
  int calls = 0, selfCancelling = 0, other = 0;
  {
    auto dropped = model.objectWillChange().sink([&] { ++calls; });
    model.count = 1;
  }
  AnyCancellable moved;
  {
    auto original = model.objectWillChange().sink([&] { ++calls; });
    moved = std::move(original);  // the moved-from handle no longer ends it
  }
  model.count = 2;
  moved.cancel();
  model.count = 0;

  // A subscriber that cancels another one during a send: the other is not called any more.
  AnyCancellable second;
  auto first = model.objectWillChange().sink([&] {
    ++selfCancelling;
    second.cancel();
  });
  second = model.objectWillChange().sink([&] { ++other; });
  model.count = 3;
  model.count = 4;
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(selfCancelling, 2);
  EXPECT_EQ(other, 0);

  // A handle outliving its publisher is harmless.
  AnyCancellable outliving;
  {
    Model shortLived;
    outliving = shortLived.count.didSet().sink([](const int&) {});
  }
  outliving.cancel();
}
