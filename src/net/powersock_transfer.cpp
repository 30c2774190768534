// SPDX-License-Identifier: GPL-3.0-or-later
// Moving data over an established connection: sending, line reads, captures, transactions, accept.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "net/powersock.h"

namespace lumora {
namespace {

// Runs on every way out of an operation, exceptions included.
template <typename F>
class OnExit {
 public:
  explicit OnExit(F action) : action_(std::move(action)) {}
  ~OnExit() {
    try {
      action_();
    } catch (...) {
    }
  }
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;

 private:
  F action_;
};

std::string FileErrorText(const char* what, const std::string& fileName) {
  return std::string(what) + " \"" + fileName + "\". " + std::strerror(errno);
}

}  // namespace

void TPowersock::Write(const std::string& text) {
  StatusMessage(kLevelDetail, "Write");
  const std::size_t length = ::strnlen(text.c_str(), std::min(text.size(), kIoBufferSize));
  std::memcpy(ioBuffer_.data(), text.data(), length);
  ioBuffer_[length] = '\0';
  SendBuffer(ioBuffer_.data(), 0);
}

void TPowersock::Writeln(const std::string& text) {
  StatusMessage(kLevelDetail, "Writeln");
  Write(text + "\r\n");
}

void TPowersock::SendBuffer(const char* buffer, std::uint16_t length) {
  StatusMessage(kLevelData, "Sending Buffer");
  TimerOn();
  const OnExit timerOff([this] { TimerOff(); });
  if (!cancelFlag_) {
    std::size_t left = length;
    if (left == 0) {
      left = ::strnlen(buffer, kIoBufferSize);
      if (left > 65535) throw ERangeError();
    }
    std::size_t sent = 0;
    while (left > 0 && !cancelFlag_) {
      const long n = net::Send(socketHandle_, buffer + sent, left);
      if (n == 0) break;
      if (n < 0) {
        CheckError(net::kWsaEWouldBlock);
        // The peer's window is full: sleep until it takes more (or the time-out cancels).
        WaitPass(false, true);
        continue;
      }
      sent += static_cast<std::size_t>(n);
      left -= static_cast<std::size_t>(n);
    }
  }
  if (cancelFlag_) {
    cancelFlag_ = false;
    throw EAbortError("Socket send aborted");
  }
}

void TPowersock::SendFile(const std::string& fileName) {
  StatusMessage(kLevelDetail, "SendFile");
  std::ifstream file(fileName, std::ios::binary);
  if (!file) throw EFOpenError(FileErrorText("Cannot open file", fileName));
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  file.seekg(0, std::ios::beg);
  // A file that stops short of its size (cut while being sent) must not keep the loop going.
  std::streamoff position = 0;
  TimerOn();
  const OnExit timerOff([this] { TimerOff(); });
  while (position != size && !cancelFlag_) {
    file.read(ioBuffer_.data(), static_cast<std::streamsize>(kIoBufferSize));
    const auto piece = static_cast<std::size_t>(file.gcount());
    if (piece == 0) break;
    position += static_cast<std::streamoff>(piece);
    std::size_t sent = 0;
    while (sent < piece && !cancelFlag_) {
      const long n = net::Send(socketHandle_, ioBuffer_.data() + sent, piece - sent);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        sentCount_ += n;
        TimerOn();
        if (OnPacketSent) OnPacketSent(*this);
        ProcessMessages();
      } else if (n < 0) {
        CheckError(net::kWsaEWouldBlock);
        WaitPass(false, true);
      } else {
        ProcessMessages();
      }
    }
  }
  file.close();
  if (cancelFlag_) {
    cancelFlag_ = false;
    throw EAbortError("Socket send aborted");
  }
}

// Peeks at what has arrived and takes only up to the line feed, so whatever follows the line (a reply body)
// stays in the socket for the next operation.
std::string TPowersock::ReadLn() {
  StatusMessage(kLevelDetail, "ReadLn");
  char* const buffer = ioBuffer_.data();
  std::size_t taken = 0;
  std::size_t lineFeed = 0;
  bool found = false;
  TimerOn();
  const OnExit timerOff([this] { TimerOff(); });
  reading_ = true;
  const OnExit readDone([this] { reading_ = false; });
  do {
    if (taken == kIoBufferSize) {
      // Longer than the buffer: what has been taken cannot be given back, so the read cannot succeed.
      cancelFlag_ = true;
      break;
    }
    const long peeked = net::Recv(socketHandle_, buffer + taken, kIoBufferSize - taken, true);
    if (peeked == 0) return {};
    if (peeked > 0) {
      if (const void* end = std::memchr(buffer + taken, '\n', static_cast<std::size_t>(peeked))) {
        lineFeed = static_cast<std::size_t>(static_cast<const char*>(end) - buffer);
        found = true;
        break;
      }
      const long got = net::Recv(socketHandle_, buffer + taken, static_cast<std::size_t>(peeked), false);
      if (got > 0) taken += static_cast<std::size_t>(got);
    } else {
      lastError_ = net::LastError();
      if (lastError_ == net::kWsaENotConn) break;
      CheckError(net::kWsaEWouldBlock);
    }
    WaitPass(true, false);
  } while (!cancelFlag_);

  if (cancelFlag_) {
    cancelFlag_ = false;
    throw EAbortError("Socket readln aborted");
  }
  // Gone without a line end (10057): nothing trustworthy was read.
  if (!found) return {};
  while (taken <= lineFeed) {
    const long got = net::Recv(socketHandle_, buffer + taken, lineFeed + 1 - taken, false);
    if (got <= 0) break;
    taken += static_cast<std::size_t>(got);
  }
  return std::string(buffer, taken);
}

void TPowersock::Capture(const std::function<void(const char*, std::size_t)>& take, long long maximum) {
  receivedCount_ = 0;
  TimerOn();
  const OnExit timerOff([this] { TimerOff(); });
  reading_ = true;
  const OnExit readDone([this] { reading_ = false; });
  while (!cancelFlag_ && (maximum < 0 || receivedCount_ < maximum)) {
    std::size_t room = kIoBufferSize;
    if (maximum >= 0) room = static_cast<std::size_t>(std::min<long long>(maximum - receivedCount_, room));
    const long n = net::Recv(socketHandle_, ioBuffer_.data(), room, false);
    if (n == 0) break;
    if (n > 0) {
      take(ioBuffer_.data(), static_cast<std::size_t>(n));
      receivedCount_ += n;
      if (OnPacketRecvd) OnPacketRecvd(*this);
      TimerOn();
      ProcessMessages();
      continue;
    }
    lastError_ = net::LastError();
    if (lastError_ == net::kWsaENotConn) break;
    CheckError(net::kWsaEWouldBlock);
    WaitPass(true, false);
  }
  if (cancelFlag_) {
    cancelFlag_ = false;
    throw EAbortError("Socket capture aborted");
  }
}

std::string TPowersock::CaptureString(long long maximum) {
  std::string text;
  CaptureString(text, maximum);
  return text;
}

void TPowersock::CaptureString(std::string& into, long long maximum) {
  StatusMessage(kLevelDetail, "Capture String");
  Capture([&into](const char* data, std::size_t length) { into.append(data, length); }, maximum);
}

void TPowersock::CaptureFile(const std::string& fileName) {
  StatusMessage(kLevelDetail, "CaptureFile");
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  if (!file) throw EFCreateError(FileErrorText("Cannot create file", fileName));
  Capture(
      [&](const char* data, std::size_t length) {
        file.write(data, static_cast<std::streamsize>(length));
        if (!file) throw EWriteError(FileErrorText("Error writing file", fileName));
      },
      -1);
}

std::string TPowersock::Transaction(const std::string& command) {
  StatusMessage(kLevelDetail, "Transaction");
  replyCode_ = 0;
  Writeln(command);
  replyLine_ = ReadLn();
  if (replyLine_.empty()) return replyLine_;
  StatusMessage(kLevelReply, replyLine_);
  long long code = 0;
  std::size_t digits = 0;
  while (digits < 10 && digits < replyLine_.size() && replyLine_[digits] >= '0' && replyLine_[digits] <= '9')
    code = code * 10 + (replyLine_[digits++] - '0');
  if (digits > 0) {
    if (code > 32767) throw ERangeError();
    replyCode_ = static_cast<std::int16_t>(code);
  }
  return replyLine_;
}

net::Socket TPowersock::Accept() {
  StatusMessage(kLevelData, "Accepting");
  while (!waitDoneFlag_ && !cancelFlag_) WaitPass(net::IsListening(socketHandle_) && !acceptNotified_, false);
  if (cancelFlag_) throw ESockError("Accepting Canceled");
  if (!eventOkFlag_) throw ESockError("Error creating Data Connection");
  net::SockAddrIn peer;
  const net::Socket accepted = net::Accept(socketHandle_, peer);
  acceptNotified_ = false;
  if (accepted == net::kInvalidSocket) {
    CheckError(net::kWsaEWouldBlock);
    return accepted;
  }
  if (accepted > 65535) {
    net::Close(accepted);
    throw ERangeError();
  }
  remoteAddress_ = peer;
  if (cancelFlag_) {
    cancelFlag_ = false;
    net::Close(accepted);
    throw EAbortError("Socket send aborted");
  }
  return accepted;
}

}  // namespace lumora
