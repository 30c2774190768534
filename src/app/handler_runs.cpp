// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/handler_runs.h"

#include <algorithm>

#include "app/controls.h"

namespace lumora {

bool HandlerRuns::Run(const void* source, const std::function<void()>& handler) {
  if (ending_ || Running(source)) return false;
  running_.push_back(source);
  RunHandler(handler);
  // Runs nest (a handler waits on a box while another runs), so the one ending now is the last one.
  running_.pop_back();
  if (running_.empty()) RunPendingAction();
  return true;
}

void HandlerRuns::AfterAll(std::function<void()> action) {
  if (ending_) return;
  ending_ = true;
  afterAll_ = std::move(action);
  if (running_.empty()) RunPendingAction();
}

bool HandlerRuns::Running(const void* source) const {
  return std::find(running_.begin(), running_.end(), source) != running_.end();
}

void HandlerRuns::RunPendingAction() {
  if (!afterAll_) return;
  const std::function<void()> action = std::move(afterAll_);
  afterAll_ = nullptr;
  RunHandler(action);
}

}  // namespace lumora
