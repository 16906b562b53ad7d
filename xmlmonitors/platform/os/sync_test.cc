#include "platform/os/sync.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/os/thread.h"

namespace platform {
namespace {

TEST(AutoResetEvent, ReleasesOneWaitAndResets) {
  AutoResetEvent event;
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(10));
}

TEST(AutoResetEvent, FirstSignalledInOrderWins) {
  AutoResetEvent sample, stop;
  sample.Set();
  stop.Set();
  EXPECT_EQ(WaitForEvents({&sample, &stop}, 0), 0);
  EXPECT_EQ(WaitForEvents({&sample, &stop}, 0), 1);
  EXPECT_EQ(WaitForEvents({&sample, &stop}, 10), kWaitTimeout);
}

TEST(AutoResetEvent, WakesAWaiterOnAnotherThread) {
  AutoResetEvent sample, stop;
  int woken_by = -2;
  std::thread waiter([&] { woken_by = WaitForEvents({&sample, &stop}, kWaitForever); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  stop.Set();
  waiter.join();
  EXPECT_EQ(woken_by, 1);
}

TEST(Thread, JoinWithTimeLimit) {
  AutoResetEvent release;
  Thread thread;
  ASSERT_TRUE(thread.Start([&] { release.Wait(kWaitForever); }));
  EXPECT_FALSE(thread.Join(20));
  release.Set();
  EXPECT_TRUE(thread.Join(5000));
  EXPECT_FALSE(thread.Running());
}

}  // namespace
}  // namespace platform
