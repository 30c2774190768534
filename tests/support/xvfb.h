// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "support/process.h"

namespace lumora::test {

// An X server of the test's own (Xvfb on a display number it finds free), gone when the object dies.
// Tests never depend on a DISPLAY that happens to exist.
class XvfbServer {
 public:
  explicit XvfbServer(int width = 1280, int height = 1024, int depth = 24);
  ~XvfbServer();
  const std::string& Display() const { return display_; }

  // Starts a notification-area host (trayer) and waits until it owns the tray selection.
  void StartTrayHost();
  // Ends the tray host, as its crash or the end of a panel would; nothing when none runs.
  void StopTrayHost();
  // Ends the server now, as a crash of the X server would end the session of its clients. Const because
  // sessions hand their server out read-only: stopping it is what a test does to that session.
  void Stop() const;
  // A shell-free environment for programs that should talk to this server.
  ProcessOptions Options() const;

  static bool Available();

 private:
  std::string display_;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<ChildProcess> trayHost_;
};

}  // namespace lumora::test
