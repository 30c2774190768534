// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

namespace lumora::platform {

// Listens, while it lives, for the system asking the program to end. Destroying it puts back what the
// program had before: the system's requests then end the process the usual way again.
class SessionEndWatch {
 public:
  virtual ~SessionEndWatch() = default;
};

// Starts listening for the session's end: on POSIX the termination signals (SIGTERM, SIGHUP, SIGINT) and
// the process being ended by a library that calls exit() itself (the X connection breaking does that).
// Call it on the user-interface thread, with the application object (and its event loop) in place.
//
// onEnd runs on that thread, from the event loop, never inside a signal handler, once for each request
// to end; a request that comes while onEnd is still running waits until it has returned. A signal that
// is ignored when the watch starts (the program was started with nohup, or in the background by a script)
// stays ignored: whoever started the program asked for that.
//
// beforeForcedExit runs when exit() is called on that thread while the watch lives; the process then ends
// at once with status 0 (the session's end was taken care of), without the remaining exit handlers and
// static destructors. It must not touch the window system, which is usually what has gone away. An exit()
// on another thread is left alone.
//
// Returns nullptr, changing nothing, when the system gives no means to listen (no pipe can be made), there
// is no application object yet, or another watch is already alive; the program then runs on and ends the
// way the system's defaults end it.
std::unique_ptr<SessionEndWatch> WatchSessionEnd(std::function<void()> onEnd,
                                                 std::function<void()> beforeForcedExit);

}  // namespace lumora::platform
