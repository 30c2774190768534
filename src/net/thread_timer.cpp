// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/thread_timer.h"

#include <algorithm>
#include <limits>

#include "toolkit/exceptions.h"
#include "toolkit/messages.h"

namespace lumora {

TThreadTimer::TThreadTimer() = default;

TThreadTimer::~TThreadTimer() {
  enabled_ = false;
  scheduled_ = false;
}

void TThreadTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Reschedule();
}

void TThreadTimer::SetInterval(std::uint32_t milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Reschedule();
}

void TThreadTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  Reschedule();
}

// Drops the pending tick first, as killing a window timer does, so a failure leaves no timer behind.
void TThreadTimer::Reschedule() {
  scheduled_ = false;
  if (interval_ == 0 || !enabled_ || !onTimer_) return;
  if (interval_ > kMaxInterval) throw Exception("No Timer");
  due_ = Clock::now() + std::chrono::milliseconds(interval_);
  scheduled_ = true;
}

int TThreadTimer::MillisecondsToTick() const {
  if (!scheduled_) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(due_ - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, std::numeric_limits<int>::max()));
}

bool TThreadTimer::DispatchDue() {
  if (!scheduled_ || Clock::now() < due_) return false;
  // Periodic, like a window timer: a late tick does not make the next one early.
  due_ = Clock::now() + std::chrono::milliseconds(interval_);
  // A copy, so the handler may assign OnTimer without pulling the running function from under itself.
  const TNotifyEvent handler = onTimer_;
  try {
    handler(*this);
  } catch (const std::exception& error) {
    ShowException(error);
  }
  return true;
}

}  // namespace lumora
