// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace lumora {

// A periodic timer whose ticks are delivered on the thread that waits for them. There is no message loop
// behind it: a waiting owner asks how long it may sleep (MillisecondsToTick) and lets due ticks through
// (DispatchDue) between its own polls, so a tick is never late by more than one poll and nothing wakes the
// process while no one waits.
//
// A tick is scheduled while Interval is not 0, Enabled is true and OnTimer is set; every change of one of
// them (assigning the current value does nothing) starts the period afresh.
class TThreadTimer {
 public:
  using TNotifyEvent = std::function<void(TThreadTimer& sender)>;

  // The longest interval that can be scheduled (the same limit Windows puts on its timers).
  static constexpr std::uint32_t kMaxInterval = 0x7FFFFFFF;

  TThreadTimer();
  ~TThreadTimer();
  TThreadTimer(const TThreadTimer&) = delete;
  TThreadTimer& operator=(const TThreadTimer&) = delete;

  // Raise Exception "No Timer" when the tick cannot be scheduled (an interval above kMaxInterval).
  void SetEnabled(bool value);
  bool GetEnabled() const { return enabled_; }
  void SetInterval(std::uint32_t milliseconds);
  std::uint32_t GetInterval() const { return interval_; }
  void SetOnTimer(TNotifyEvent handler);
  const TNotifyEvent& GetOnTimer() const { return onTimer_; }

  // Milliseconds until the next tick is due (0 when it is due now), or −1 while none is scheduled.
  int MillisecondsToTick() const;
  // Delivers the tick if it is due: the next one is scheduled one Interval on, then OnTimer runs; an error
  // it raises goes to the application's error display. Returns whether a tick was delivered.
  bool DispatchDue();

 private:
  using Clock = std::chrono::steady_clock;
  void Reschedule();

  bool enabled_ = true;
  std::uint32_t interval_ = 1000;
  TNotifyEvent onTimer_;
  bool scheduled_ = false;
  Clock::time_point due_{};
};

}  // namespace lumora
