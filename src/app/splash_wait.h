// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace lumora {

// A millisecond tick counter that wraps around like a 32-bit system tick count, and a way to sleep.
class TickClock {
 public:
  virtual ~TickClock() = default;
  virtual std::uint32_t GetTickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The monotonic clock of the system: never set back, unaffected by changes of the wall-clock time.
class MonotonicTickClock final : public TickClock {
 public:
  std::uint32_t GetTickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
};

inline constexpr std::uint32_t kSplashSeconds = 3;

// Returns once at least three whole seconds have passed since t0. The difference is taken in unsigned
// 32-bit arithmetic, so a counter that wraps around during the wait still measures the right time. It
// sleeps rather than spins, and handles no window messages meanwhile.
void WaitForSplashTime(TickClock& clock, std::uint32_t t0);

}  // namespace lumora
