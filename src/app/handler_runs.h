// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <vector>

namespace lumora {

// Runs the main window's event handlers. A handler that shows a box or a dialog waits for the answer
// while the program goes on, so a click, tick or key press can reach the window again before the handler
// has returned. Each handler runs at most once at a time: the event that would start it a second time is
// dropped, as a click on a greyed button would be. The user sees one box for one click; a handler never
// finds its own state changed under it by a second run of itself.
class HandlerRuns {
 public:
  // Runs the handler of an event source (the button, timer or key that started it) unless that source's
  // handler is still running, or unless the window is on its way out. Errors go to the application's
  // standard error display, and the program goes on. False when the handler was not run.
  bool Run(const void* source, const std::function<void()>& handler);
  // Runs the action once no handler is running any more: at once when none is, otherwise when the last
  // of them returns. From then on no handler starts. Where several are asked for, the first is kept.
  void AfterAll(std::function<void()> action);

 private:
  bool Running(const void* source) const;
  void RunPendingAction();

  std::vector<const void*> running_;
  std::function<void()> afterAll_;
  bool ending_ = false;
};

}  // namespace lumora
