// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace lumora::test_support {

// The server end of one loopback connection, driven step by step by a script: what it sends, in which
// segments, when it pauses, what it reads, and how it ends (close, reset or silence).
class ScriptedPeer {
 public:
  explicit ScriptedPeer(int fd) : fd_(fd) {}

  // One send call, so the text leaves as its own segment (Nagle is off).
  void Send(std::string_view bytes);
  // Each byte on its own, pauseMs apart.
  void Drip(std::string_view bytes, int pauseMs);
  static void Pause(int milliseconds);
  // Reads until the text ends with terminator (or the client closes, or 10 s pass); returns what came.
  std::string ReceiveUntil(std::string_view terminator);
  // Reads exactly count bytes (fewer if the client closes or 10 s pass).
  std::string Receive(std::size_t count);
  // Sends nothing and waits until the client closes (at most 30 s).
  void AwaitClose();
  // Aborts the connection: the client sees a reset rather than an orderly close.
  void Reset();

 private:
  friend class ScriptedServer;
  int fd_;
  bool reset_ = false;
};

// Listens on 127.0.0.1 (port of the system's choice), accepts one connection and runs the script on it in a
// thread of its own; the connection is closed when the script returns. The destructor waits for the script.
class ScriptedServer {
 public:
  using Script = std::function<void(ScriptedPeer&)>;

  explicit ScriptedServer(Script script);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int Port() const { return port_; }

  // A loopback port on which nothing listens.
  static int RefusingPort();

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace lumora::test_support
