// The host's run loop for editors: descriptor watches and timers, entries
// that come and go while the loop runs them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "tools/host/RunLoop.h"

using quarv::host::RunLoop;

namespace {

struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() { EXPECT_EQ(pipe(fds), 0); }
  ~Pipe() {
    close(fds[0]);
    close(fds[1]);
  }
  void Write() { ASSERT_EQ(write(fds[1], "x", 1), 1); }
  void Read() {
    char c;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
  }
};

TEST(RunLoop, AWatchRunsOnlyWhileItsDescriptorIsReadable) {
  RunLoop loop;
  Pipe p;
  int calls = 0;
  const int id = loop.AddWatch(p.fds[0], [&] {
    ++calls;
    p.Read();
  });
  EXPECT_GT(id, 0);
  EXPECT_EQ(loop.AddWatch(-1, [] {}), 0);
  EXPECT_EQ(loop.Watches(), 1u);
  EXPECT_EQ(loop.RunOnce(0), 0);
  p.Write();
  EXPECT_EQ(loop.RunOnce(1000), 1);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(loop.RunOnce(0), 0);
  loop.Remove(id);
  p.Write();
  EXPECT_EQ(loop.RunOnce(0), 0);
  EXPECT_EQ(calls, 1);
}

TEST(RunLoop, ATimerWaitsItsPeriodAndKeepsFiring) {
  RunLoop loop;
  int fired = 0;
  const auto start = std::chrono::steady_clock::now();
  loop.AddTimer(20, [&] { ++fired; });
  EXPECT_EQ(loop.Timers(), 1u);
  // The loop sleeps until the timer is due instead of returning at once.
  EXPECT_EQ(loop.RunOnce(1000), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  loop.RunForMs(100);
  EXPECT_GE(fired, 2);
  EXPECT_LE(fired, 7);  // never more often than its period
}

TEST(RunLoop, ALateTimerFiresOnceNotOnceForEveryPeriodMissed) {
  RunLoop loop;
  int fired = 0;
  loop.AddTimer(5, [&] { ++fired; });
  usleep(60 * 1000);
  loop.RunOnce(0);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(loop.RunOnce(0), 0);
}

TEST(RunLoop, EntriesMayBeRemovedAndAddedFromTheirOwnCallbacks) {
  RunLoop loop;
  Pipe p;
  std::vector<int> order;
  int second = 0;
  int self = 0;
  // The watch removes itself and the timer and adds a new timer: the removed
  // timer does not run in this pass, the new one not before its period.
  self = loop.AddWatch(p.fds[0], [&] {
    order.push_back(1);
    p.Read();
    loop.Remove(self);
    loop.Remove(second);
    loop.AddTimer(1000, [&] { order.push_back(3); });
  });
  second = loop.AddTimer(1, [&] { order.push_back(2); });
  usleep(5 * 1000);
  p.Write();
  EXPECT_EQ(loop.RunOnce(100), 1);
  EXPECT_EQ(order, std::vector<int>{1});
  EXPECT_EQ(loop.Entries(), 1u);
  EXPECT_EQ(loop.Dispatched(), 1);
  // A timer may remove itself while it runs.
  int once = 0;
  int id = 0;
  id = loop.AddTimer(1, [&] {
    ++once;
    loop.Remove(id);
  });
  loop.RunForMs(20);
  EXPECT_EQ(once, 1);
  loop.Remove(12345);  // unknown: ignored
  EXPECT_EQ(loop.Entries(), 1u);
}

}  // namespace
