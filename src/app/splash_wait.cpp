// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/splash_wait.h"

#include <chrono>
#include <thread>

namespace lumora {

std::uint32_t MonotonicTickClock::GetTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void MonotonicTickClock::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void WaitForSplashTime(TickClock& clock, std::uint32_t t0) {
  constexpr std::uint32_t kWanted = kSplashSeconds * 1000;
  for (;;) {
    const std::uint32_t elapsed = clock.GetTickCount() - t0;
    if (elapsed / 1000 >= kSplashSeconds) return;
    clock.Sleep(kWanted - elapsed);
  }
}

}  // namespace lumora
