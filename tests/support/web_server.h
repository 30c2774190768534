// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "support/process.h"

namespace lumora::test {

// A real lighttpd on 127.0.0.1, on a port of its own, serving a document root; gone with the object.
// config is added to the generated configuration (modules, redirects, error pages…).
class LoopbackWebServer {
 public:
  LoopbackWebServer(const std::string& documentRoot, const std::string& folder,
                    const std::string& config = "");
  // Whether it answers on its port; the reason is in Output() when not.
  bool Running() const;
  int Port() const { return port_; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string Output() const;
  // Stops the server now; its logs are complete once it has stopped.
  void Stop() { server_->Terminate(); }

  // The lighttpd program, or "" when it is not installed (Debian puts it in sbin, often not on PATH).
  static std::string Program();

 private:
  std::string folder_;
  int port_ = 0;
  std::unique_ptr<ChildProcess> server_;
};

// A loopback port that nothing listens on now.
int FreeLoopbackPort();
// Whether something accepts connections on a loopback port.
bool LoopbackAnswers(int port);

// Listens on a loopback port and never says a word: connections are made (the system completes them) and
// then left waiting.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace lumora::test
