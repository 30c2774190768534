// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/version_check.h"

#include <QMetaObject>
#include <QTimer>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/build_settings.h"
#include "app/main_form.h"
#include "net/http_message.h"
#include "net/nm_http.h"
#include "net/powersock.h"
#include "platform/connection_probe.h"

namespace lumora {

namespace {

constexpr const char* kOwnVersion = kVersion;

// Where a check hands its result: the window while it lives. The window's destructor clears it under the
// lock, so a hand-over is either posted before the window starts to go or not at all. It also counts the
// checks under way, for the program's end to wait on.
struct HandOver {
  std::mutex lock;
  std::condition_variable ended;
  TForm1* window = nullptr;
  int running = 0;
};

HandOver& Mailbox() {
  // Never destroyed: the last thing a check does is to say so here, which may come after main has returned.
  static auto* mailbox = new HandOver;
  return *mailbox;
}

void Execute(const std::shared_ptr<TNMHTTP>& client, const std::string& url) {
  if (!platform::ConnectionAvailable(url)) return;
  bool answered = true;
  try {
    client->Get(url);
  } catch (...) {
    answered = false;  // any failure ends the check without a word
  }
  // The client keeps nothing of the reply, which a hostile server can make as large as the client allows;
  // also not what a failed read left of it.
  const std::string body = client->TakeBody();
  if (!answered || !AnnouncesNewVersion(client->GetReplyCode(), body)) return;
  const std::string notice = NewVersionNotice(body);
  HandOver& mailbox = Mailbox();
  const std::lock_guard<std::mutex> guard(mailbox.lock);
  if (mailbox.window == nullptr) return;
  TForm1* window = mailbox.window;
  // Widgets, timers and the notice text belong to the user-interface thread: one queued call sets both.
  QMetaObject::invokeMethod(
      window,
      [window, notice] {
        window->NoticeText = notice;
        window->Timer4->start();
      },
      Qt::QueuedConnection);
}

}  // namespace

std::string VersionFileUrl() {
  const char* host = std::getenv("LUMORA_UPDATE_HOST");
  return std::string("http://") + (host != nullptr && *host != '\0' ? host : kUpdateHost) +
         "/version/zodeveda.txt";
}

std::string NewVersionNotice(const std::string& version) {
  return "已推出最新的" + version + "版本，请查看并下载最新版本!";
}

bool AnnouncesNewVersion(int replyCode, const std::string& body) {
  if (replyCode < 200 || replyCode > 299) return false;  // "404", "Bad" are pages, not versions
  return body != kOwnVersion && body.size() == 3;
}

void TMyThread::Start(TForm1& form, std::shared_ptr<TNMHTTP> client) {
  HandOver& mailbox = Mailbox();
  {
    const std::lock_guard<std::mutex> guard(mailbox.lock);
    mailbox.window = &form;
    ++mailbox.running;
  }
  const auto check = [url = VersionFileUrl()](std::shared_ptr<TNMHTTP> shared) {
    // The client goes at the end of this block, before the check counts as over: a client left last to
    // this thread is destroyed while the program still stands.
    {
      const std::shared_ptr<TNMHTTP> held = std::move(shared);
      Execute(held, url);
    }
    HandOver& ending = Mailbox();
    const std::lock_guard<std::mutex> guard(ending.lock);
    --ending.running;
    ending.ended.notify_all();
  };
  try {
    std::thread(check, std::move(client)).detach();
  } catch (...) {
    const std::lock_guard<std::mutex> guard(mailbox.lock);
    --mailbox.running;
    throw;
  }
}

void TMyThread::WindowGone(TForm1& form) {
  HandOver& mailbox = Mailbox();
  const std::lock_guard<std::mutex> guard(mailbox.lock);
  if (mailbox.window == &form) mailbox.window = nullptr;
}

bool TMyThread::WaitUntilOver(std::chrono::milliseconds limit) {
  HandOver& mailbox = Mailbox();
  std::unique_lock<std::mutex> guard(mailbox.lock);
  return mailbox.ended.wait_for(guard, limit, [&mailbox] { return mailbox.running == 0; });
}

void TMyThread::EndAll(std::chrono::milliseconds limit) {
  TPowersock::EndAllWaits();
  WaitUntilOver(limit);
}

}  // namespace lumora
