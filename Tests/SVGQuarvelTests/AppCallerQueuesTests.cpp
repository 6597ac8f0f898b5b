// The queues of the calls waiting for the services: callers in turn, each caller's items in order,
// the bounds per caller and in all, and a caller that leaves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SVGQuarvel/App/CallerQueues.h"

using SVGQuarvel::CallerQueues;
using Queues = CallerQueues<int>;

namespace {

/// The items `next` gives until none is left, as "caller:item", each call done once taken.
std::vector<std::string> drain(Queues& queues) {
  std::vector<std::string> taken;
  while (auto item = queues.next()) {
    taken.push_back(item->caller + ":" + std::to_string(item->item));
    if (item->isCall) queues.done(item->caller, item->bytes);
  }
  return taken;
}

TEST(AppCallerQueues, CallersAreServedInTurnAndEachInTheOrderOfItsCalls) {
  Queues queues({100, 1000, 100, 1000});
  for (int item = 0; item < 4; ++item) queues.pushCall("a", item, 1);
  queues.pushCall("b", 10, 1);
  queues.pushAnswer("b", 11);
  queues.pushCall("c", 20, 1);
  EXPECT_EQ(drain(queues), (std::vector<std::string>{"a:0", "b:10", "c:20", "a:1", "b:11", "a:2", "a:3"}));
  EXPECT_EQ(queues.calls(), 0u);
  EXPECT_EQ(queues.bytes(), 0u);
  EXPECT_EQ(queues.answers(), 0u);
  EXPECT_FALSE(queues.has("a"));

  // A caller that comes while another's call runs goes next.
  queues.pushCall("a", 0, 1);
  queues.pushCall("a", 1, 1);
  auto running = queues.next();
  ASSERT_TRUE(running);
  queues.pushCall("d", 30, 1);
  queues.done(running->caller, running->bytes);
  EXPECT_EQ(drain(queues), (std::vector<std::string>{"d:30", "a:1"}));

  // So does one that comes while another's call runs and after that caller sent more.
  queues.pushCall("a", 0, 1);
  running = queues.next();
  ASSERT_TRUE(running);
  queues.pushCall("a", 1, 1);
  queues.pushAnswer("a", 2);
  queues.pushCall("d", 30, 1);
  queues.done(running->caller, running->bytes);
  EXPECT_EQ(drain(queues), (std::vector<std::string>{"d:30", "a:1", "a:2"}));
}

TEST(AppCallerQueues, AProgramGetsOneTurnAndOneShareHoweverManyConnectionsItCallsThrough) {
  Queues queues({4, 1000, 100, 10000});
  // Program P calls through three connections, program Q through one.
  for (int item = 0; item < 2; ++item) {
    queues.pushCall("p1", "P", item, 1);
    queues.pushCall("p2", "P", 10 + item, 1);
  }
  queues.pushCall("p3", "P", 20, 1);
  queues.pushCall("q", "Q", 30, 1);
  queues.pushCall("q", "Q", 31, 1);
  queues.pushAnswer("p2", 12);
  // P's connections take P's turns between them; Q has as many turns as P.
  EXPECT_EQ(drain(queues),
            (std::vector<std::string>{"p1:0", "q:30", "p2:10", "q:31", "p3:20", "p1:1", "p2:11", "p2:12"}));

  // What waits is bounded per program, whichever connection it comes through.
  queues.pushCall("p1", "P", 0, 400);
  queues.pushCall("p2", "P", 1, 400);
  queues.pushCall("p3", "P", 2, 1);
  EXPECT_EQ(queues.refusal("P", 200), Queues::Refusal::callerFull);  // bytes of the program
  EXPECT_FALSE(queues.refusal("Q", 200));
  queues.pushCall("p4", "P", 3, 1);
  EXPECT_EQ(queues.refusal("P", 1), Queues::Refusal::callerFull);  // calls of the program
  // A connection that leaves takes only its own calls: the program's others stay.
  EXPECT_EQ(queues.remove("p2"), std::vector<int>{1});
  EXPECT_FALSE(queues.refusal("P", 200));
  EXPECT_EQ(drain(queues), (std::vector<std::string>{"p1:0", "p3:2", "p4:3"}));
  EXPECT_EQ(queues.calls(), 0u);
  EXPECT_FALSE(queues.has("p1"));
}

TEST(AppCallerQueues, CallsPastTheBoundsOfTheirCallerOrOfAllAreRefusedUntilOneIsDone) {
  Queues queues({2, 100, 3, 150});
  EXPECT_FALSE(queues.refusal("a", 100));
  EXPECT_EQ(queues.refusal("a", 101), Queues::Refusal::callerFull);
  queues.pushCall("a", 0, 60);
  EXPECT_EQ(queues.refusal("a", 41), Queues::Refusal::callerFull);  // bytes of the caller
  queues.pushCall("a", 1, 40);
  EXPECT_EQ(queues.refusal("a", 0), Queues::Refusal::callerFull);  // calls of the caller
  // Answers waiting for their turn count against neither.
  queues.pushAnswer("b", 7);
  EXPECT_FALSE(queues.refusal("b", 50));
  queues.pushCall("b", 2, 50);
  EXPECT_EQ(queues.refusal("c", 1), Queues::Refusal::full);  // bytes of all
  EXPECT_EQ(queues.answers(), 1u);

  // A call taken still counts until it is done.
  auto running = queues.next();
  ASSERT_TRUE(running);
  EXPECT_EQ(running->caller, "a");
  EXPECT_EQ(queues.refusal("a", 0), Queues::Refusal::callerFull);
  queues.done(running->caller, running->bytes);
  EXPECT_FALSE(queues.refusal("a", 60));
  EXPECT_EQ(queues.calls(), 2u);
  EXPECT_EQ(queues.bytes(), 90u);

  Queues few({5, 1000, 2, 1000});
  few.pushCall("a", 0, 1);
  few.pushCall("b", 1, 1);
  EXPECT_EQ(few.refusal("c", 1), Queues::Refusal::full);  // calls of all
}

TEST(AppCallerQueues, ACallerThatLeavesHasItsItemsTakenAndItsRunningCallCountsUntilDone) {
  Queues queues({10, 1000, 10, 1000});
  queues.pushCall("gone", 0, 5);
  queues.pushCall("gone", 1, 5);
  queues.pushAnswer("gone", 2);
  queues.pushCall("stays", 10, 5);
  auto running = queues.next();
  ASSERT_TRUE(running);
  EXPECT_EQ(running->item, 0);
  EXPECT_EQ(queues.remove("gone"), (std::vector<int>{1, 2}));
  EXPECT_TRUE(queues.has("gone"));  // its running call
  EXPECT_FALSE(queues.hasQueued("gone"));
  EXPECT_EQ(queues.calls(), 2u);
  EXPECT_EQ(queues.answers(), 0u);
  queues.done(running->caller, running->bytes);
  EXPECT_FALSE(queues.has("gone"));
  EXPECT_EQ(drain(queues), std::vector<std::string>{"stays:10"});

  // Answers at the front of a queue are due once nothing of the caller runs.
  queues.pushAnswer("x", 1);
  queues.pushCall("x", 2, 1);
  queues.pushAnswer("x", 3);
  const auto due = queues.takeDueAnswers();
  ASSERT_EQ(due.size(), 1u);
  EXPECT_EQ(due[0], (std::pair<std::string, int>{"x", 1}));
  EXPECT_EQ(drain(queues), (std::vector<std::string>{"x:2", "x:3"}));

  // While a call of a program is taken and not done (another program's call may run meanwhile),
  // an answer behind it is not due: it comes at the program's next turn, after the call's answer.
  queues.pushCall("p", "program", 1, 1);
  queues.pushAnswer("p", 2);
  queues.pushCall("q", 10, 1);
  auto waiting = queues.next();
  ASSERT_TRUE(waiting);
  EXPECT_EQ(waiting->item, 1);
  EXPECT_TRUE(queues.takeDueAnswers().empty());
  auto other = queues.next();
  ASSERT_TRUE(other);
  EXPECT_EQ(other->item, 10);
  queues.done(other->caller, other->bytes);
  EXPECT_TRUE(queues.takeDueAnswers().empty());
  EXPECT_FALSE(queues.next().has_value());
  queues.done(waiting->caller, waiting->bytes);
  EXPECT_EQ(drain(queues), std::vector<std::string>{"p:2"});
}

}  // namespace
