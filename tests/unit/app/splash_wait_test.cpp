// SPDX-License-Identifier: GPL-3.0-or-later
// The splash stays up for three whole seconds from the moment it was painted, measured on a 32-bit
// millisecond counter that may wrap around.
#include "app/splash_wait.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

// A clock that only moves when the code under test sleeps, or when the test says that work took time.
class FakeClock final : public TickClock {
 public:
  explicit FakeClock(std::uint32_t now) : now_(now) {}
  std::uint32_t GetTickCount() override {
    ++reads;
    return now_;
  }
  void Sleep(std::uint32_t milliseconds) override {
    ++sleeps;
    slept += milliseconds;
    now_ += milliseconds;
  }
  void Work(std::uint32_t milliseconds) { now_ += milliseconds; }
  std::uint32_t Now() const { return now_; }

  int reads = 0;
  int sleeps = 0;
  std::uint64_t slept = 0;

 private:
  std::uint32_t now_;
};

TEST(SplashWait, ShortConstructionIsTopUppedToThreeSecondsBySleepingNotSpinning) {
  FakeClock clock(1'000'000);
  const std::uint32_t t0 = clock.GetTickCount();
  clock.Work(500);
  WaitForSplashTime(clock, t0);
  EXPECT_EQ(clock.Now() - t0, 3000u);
  EXPECT_EQ(clock.slept, 2500u);
  EXPECT_LE(clock.reads, 4);  // a spinning wait would read the clock thousands of times
}

TEST(SplashWait, LongConstructionGoesStraightOn) {
  FakeClock clock(42);
  const std::uint32_t t0 = clock.GetTickCount();
  clock.Work(5000);
  WaitForSplashTime(clock, t0);
  EXPECT_EQ(clock.sleeps, 0);
  EXPECT_EQ(clock.Now(), 42u + 5000u);
}

TEST(SplashWait, ExactlyThreeSecondsIsEnough) {
  FakeClock clock(7);
  const std::uint32_t t0 = clock.GetTickCount();
  clock.Work(3000);
  WaitForSplashTime(clock, t0);
  EXPECT_EQ(clock.sleeps, 0);
}

TEST(SplashWait, CounterWrappingAroundDuringTheWaitStillGivesThreeSeconds) {
  for (std::uint32_t start : {0xFFFFFFFFu - 999u, 0xFFFFFFFFu, 0xFFFFFFFFu - 2999u, 0xFFFFF000u}) {
    SCOPED_TRACE(start);
    FakeClock clock(start);
    const std::uint32_t t0 = clock.GetTickCount();
    clock.Work(200);
    WaitForSplashTime(clock, t0);
    EXPECT_EQ(static_cast<std::uint32_t>(clock.Now() - t0), 3000u);
    EXPECT_EQ(clock.slept, 2800u);
  }
}

// A sleep may return early (a signal): the wait then sleeps again for the rest.
class EarlyWakingClock final : public TickClock {
 public:
  std::uint32_t GetTickCount() override { return now_; }
  void Sleep(std::uint32_t milliseconds) override { now_ += milliseconds / 2 + 1; }
  std::uint32_t now_ = 0xFFFFFF00u;
};

TEST(SplashWait, EarlyWakeUpsSleepAgainForTheRest) {
  EarlyWakingClock clock;
  const std::uint32_t t0 = clock.GetTickCount();
  WaitForSplashTime(clock, t0);
  EXPECT_GE(static_cast<std::uint32_t>(clock.now_ - t0), 3000u);
  EXPECT_LT(static_cast<std::uint32_t>(clock.now_ - t0), 3100u);
}

TEST(SplashWait, TheSystemClockIsMonotonic) {
  MonotonicTickClock clock;
  const std::uint32_t a = clock.GetTickCount();
  clock.Sleep(20);
  const std::uint32_t b = clock.GetTickCount();
  EXPECT_GE(static_cast<std::uint32_t>(b - a), 20u);
  EXPECT_LT(static_cast<std::uint32_t>(b - a), 5000u);
}

}  // namespace
}  // namespace lumora
