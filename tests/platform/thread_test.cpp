// Threads: each started thread runs its entry once and join waits for it;
// a thread object can be started again after a join.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/thread.h"

namespace tarnvel::platform {
namespace {

TEST(PlatformThread, RunsEachEntryOnceAndJoinWaits) {
    std::atomic<int> runs{0};
    const Thread::Entry count = [](void* counter) {
        static_cast<std::atomic<int>*>(counter)->fetch_add(1);
    };
    Thread threads[4];
    for (int round = 1; round <= 3; ++round) {
        for (Thread& t : threads) ASSERT_TRUE(t.start(count, &runs));
        EXPECT_FALSE(threads[0].start(count, &runs));  // one run at a time
        for (Thread& t : threads) t.join();
        EXPECT_EQ(runs.load(), 4 * round);
    }
    Thread never;
    never.join();  // nothing to wait for
}

}  // namespace
}  // namespace tarnvel::platform
