#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/debug.h"
#include "tests/platform/scratch_dir.h"

namespace {

constexpr DWORD kFifteenMinutes = 15 * 60 * 1000;

// Installs a virtual clock for one test and restores the real one after.
class VirtualTime : public ::testing::Test {
protected:
    void SetUp() override { orb::SetClock(&clock_); }
    void TearDown() override { orb::SetClock(nullptr); }

    // Waits (bounded, in real time) until exactly n threads sleep on the clock.
    void AwaitSleepers(int n) {
        for (int i = 0; i < 10000 && clock_.Waiters() != n; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(clock_.Waiters(), n);
    }

    orb::VirtualClock clock_;
};

TEST_F(VirtualTime, SleepOfFifteenMinutesEndsWhenTimeIsAdvanced) {
    std::atomic<bool> awake{false};
    orb::Thread worker([&] {
        Sleep(kFifteenMinutes);
        awake = true;
    });
    AwaitSleepers(1);
    clock_.Advance(kFifteenMinutes - 1);
    EXPECT_FALSE(awake);
    EXPECT_EQ(clock_.Waiters(), 1);
    clock_.Advance(1);
    worker.Join();
    EXPECT_TRUE(awake);
    EXPECT_EQ(GetTickCount(), kFifteenMinutes);
}

TEST_F(VirtualTime, WaitWithTimeOutWakesOnSetWithoutAdvancing) {
    // Many rounds: a wake-up lost between the deadline check and the wait
    // would hang one of them.
    for (int round = 0; round < 200; ++round) {
        orb::Event event;
        std::atomic<bool> result{false};
        orb::Thread waiter([&] { result = event.Wait(kFifteenMinutes); });
        if (round % 2) AwaitSleepers(1);
        event.Set();
        waiter.Join();
        ASSERT_TRUE(result) << "round " << round;
    }
    EXPECT_EQ(GetTickCount(), 0u);
}

TEST_F(VirtualTime, AutoResetEventReleasesExactlyOneWaiter) {
    orb::Event event(false, false);
    std::atomic<int> released{0}, timedOut{0};
    std::vector<orb::Thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] { (event.Wait(1000) ? released : timedOut)++; });
    }
    AwaitSleepers(3);
    event.Set();
    AwaitSleepers(2);
    clock_.Advance(1000);
    for (auto& t : waiters) t.Join();
    EXPECT_EQ(released, 1);
    EXPECT_EQ(timedOut, 2);
    EXPECT_FALSE(event.IsSet());
}

TEST_F(VirtualTime, ManualResetEventReleasesAllAndStaysSet) {
    orb::Event event(true, false);
    std::atomic<int> released{0};
    std::vector<orb::Thread> waiters;
    for (int i = 0; i < 3; ++i) waiters.emplace_back([&] { released += event.Wait() ? 1 : 0; });
    AwaitSleepers(3);
    event.Set();
    for (auto& t : waiters) t.Join();
    EXPECT_EQ(released, 3);
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST_F(VirtualTime, LocalTimeFollowsTheClock) {
    orbtest::ScopedEnv tz("TZ", "UTC0");
    tzset();
    clock_.Advance(1500);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // 1700000000 is 2023-11-14 22:13:20 UTC, a Tuesday.
    EXPECT_EQ(now.wYear, 2023);
    EXPECT_EQ(now.wMonth, 11);
    EXPECT_EQ(now.wDay, 14);
    EXPECT_EQ(now.wDayOfWeek, 2);
    EXPECT_EQ(now.wHour, 22);
    EXPECT_EQ(now.wMinute, 13);
    EXPECT_EQ(now.wSecond, 21);
    EXPECT_EQ(now.wMilliseconds, 500);
}

TEST(Clock, ReplacingTheClockBetweenWaitsIsSafe) {
    {
        orb::VirtualClock clock;
        orb::SetClock(&clock);
        orb::Event event;
        EXPECT_FALSE(event.Wait(0));
        orb::SetClock(nullptr);
    }
    EXPECT_EQ(&orb::CurrentClock(), &orb::SystemClock());
    orb::Event event(false, true);
    EXPECT_TRUE(event.Wait(10));
    EXPECT_FALSE(event.Wait(1));
}

TEST(Thread, ExceptionInBodyIsReportedNotFatal) {
    std::vector<std::string> lines;
    orb::SetDebugSink([&](const std::string& line) { lines.push_back(line); });
    orb::Thread failing([] { throw std::runtime_error("boom"); });
    failing.Join();
    orb::SetDebugSink(nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("boom"), std::string::npos);
}

}  // namespace
