// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <thread>
#include <utility>

#include "platform/session_end.h"

namespace lumora::platform {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The signal handler may only touch lock-free atomics; a plain int behind a lock would not do.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> gSignalWriteFd{-1};

// Only write() is safe here: the request is handed to the event loop through the pipe.
void OnEndSignal(int) {
  const int savedErrno = errno;
  const int fd = gSignalWriteFd.load();
  if (fd >= 0) {
    const char request = 1;
    // A full pipe already holds an unread request, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(fd, &request, 1);
  }
  errno = savedErrno;
}

bool Ignored(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN;
}

class PosixSessionEndWatch;
std::atomic<PosixSessionEndWatch*> gLiveWatch{nullptr};

class PosixSessionEndWatch final : public SessionEndWatch {
 public:
  PosixSessionEndWatch(int readFd, int writeFd, std::function<void()> onEnd,
                       std::function<void()> beforeForcedExit)
      : readFd_(readFd),
        writeFd_(writeFd),
        onEnd_(std::move(onEnd)),
        beforeForcedExit_(std::move(beforeForcedExit)),
        notifier_(readFd, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { TakeRequests(); });
    gSignalWriteFd.store(writeFd_);
    struct sigaction ours {};
    ours.sa_handler = OnEndSignal;
    ours.sa_flags = SA_RESTART;
    sigemptyset(&ours.sa_mask);
    for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
      ::sigaction(kEndSignals[i], nullptr, &previous_[i]);
      installed_[i] = !Ignored(previous_[i]) && ::sigaction(kEndSignals[i], &ours, nullptr) == 0;
    }
    gLiveWatch.store(this);
  }

  ~PosixSessionEndWatch() override {
    gLiveWatch.store(nullptr);
    *alive_ = false;
    for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
      if (installed_[i]) ::sigaction(kEndSignals[i], &previous_[i], nullptr);
    }
    gSignalWriteFd.store(-1);
    notifier_.setEnabled(false);
    ::close(readFd_);
    ::close(writeFd_);
  }

  bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }

  void RunBeforeForcedExit() {
    // An exception cannot leave an exit handler; the process ends all the same.
    try {
      beforeForcedExit_();
    } catch (...) {
    }
  }

 private:
  void TakeRequests() {
    char buffer[64];
    bool requested = false;
    while (::read(readFd_, buffer, sizeof buffer) > 0) requested = true;
    if (!requested) return;
    // onEnd may run a nested event loop (a closing window that asks something); a request arriving then
    // stays in the pipe until onEnd has returned instead of running onEnd inside itself.
    notifier_.setEnabled(false);
    const std::shared_ptr<bool> alive = alive_;
    const std::function<void()> onEnd = onEnd_;
    onEnd();
    if (*alive) notifier_.setEnabled(true);
  }

  const int readFd_;
  const int writeFd_;
  const std::function<void()> onEnd_;
  const std::function<void()> beforeForcedExit_;
  const std::thread::id owner_ = std::this_thread::get_id();
  const std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  QSocketNotifier notifier_;
  struct sigaction previous_[std::size(kEndSignals)]{};
  bool installed_[std::size(kEndSignals)] = {};
};

// Libraries that give up end the process with exit() from deep inside themselves (Qt's X11 plugin does
// when the X connection breaks): the session is over, but the program never gets back to its own end.
void ForcedExitHook() {
  PosixSessionEndWatch* const watch = gLiveWatch.load();
  // Without a watch the program is ending its own way; another thread must not touch the window's data.
  if (watch == nullptr || !watch->OnOwnerThread()) return;
  static std::atomic<bool> entered{false};
  if (entered.exchange(true)) return;
  watch->RunBeforeForcedExit();
  // The library's failure status would tell whoever waits that the program failed; it ended as asked.
  // _exit skips the static destructors, which could run into the library's half torn-down state.
  std::fflush(nullptr);
  ::_exit(0);
}

}  // namespace

std::unique_ptr<SessionEndWatch> WatchSessionEnd(std::function<void()> onEnd,
                                                 std::function<void()> beforeForcedExit) {
  if (QCoreApplication::instance() == nullptr || gLiveWatch.load() != nullptr) return nullptr;
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return nullptr;
  // Registered on the first watch, late in start-up, so that it runs before the exit handlers and static
  // destructors of what was set up earlier (the application's objects are still whole then).
  [[maybe_unused]] static const bool hooked = std::atexit(ForcedExitHook) == 0;
  return std::make_unique<PosixSessionEndWatch>(fds[0], fds[1], std::move(onEnd),
                                                std::move(beforeForcedExit));
}

}  // namespace lumora::platform
