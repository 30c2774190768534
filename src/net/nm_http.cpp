// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/nm_http.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "net/nm_url.h"
#include "toolkit/exceptions.h"

namespace lumora {

namespace {

bool IsRedirectionRange(int code) {
  return code >= 299 && code <= 399;
}

}  // namespace

TNMHTTP::TNMHTTP() = default;

void TNMHTTP::Start(THttpRequestKind kind, const std::string& url) {
  url_ = url;
  requestKind_ = kind;
  DoRequest();
}

void TNMHTTP::Get(const std::string& url) {
  Start(hkGet, url);
}

void TNMHTTP::Options(const std::string& url) {
  Start(hkOptions, url);
}

void TNMHTTP::Head(const std::string& url) {
  Start(hkHead, url);
}

void TNMHTTP::Post(const std::string& url, const std::string& data) {
  if (encodeSendData_ && !outputFileMode_) {
    TNMURL encoder;
    encoder.SetInputString(data);
    sendData_ = encoder.GetEncode();
  } else {
    sendData_ = data;
  }
  Start(hkPost, url);
}

void TNMHTTP::Put(const std::string& url, const std::string& data) {
  sendData_ = data;
  Start(hkPut, url);
}

void TNMHTTP::Patch(const std::string& url, const std::string& data) {
  sendData_ = data;
  Start(hkPatch, url);
}

void TNMHTTP::Copy(const std::string& url, const std::string& destination) {
  targetValue_ = destination;
  Start(hkCopy, url);
}

void TNMHTTP::Move(const std::string& url, const std::string& destination) {
  targetValue_ = destination;
  Start(hkMove, url);
}

void TNMHTTP::Delete(const std::string& url) {
  Start(hkDelete, url);
}

void TNMHTTP::Link(const std::string& url, const std::string& link) {
  targetValue_ = link;
  sendData_ = "Send.dat";
  Start(hkLink, url);
}

void TNMHTTP::Unlink(const std::string& url, const std::string& link) {
  targetValue_ = link;
  sendData_ = "Send.dat";
  Start(hkUnlink, url);
}

void TNMHTTP::Trace(const std::string& url, const std::string& data) {
  sendData_ = data;
  Start(hkTrace, url);
}

void TNMHTTP::Abort() {
  waitDoneFlag_ = true;
  Cancel();
}

void TNMHTTP::DoRequest() {
  for (int pass = 1;; ++pass) {
    ParseURL();
    BuildRequest();
    if (OnAboutToSend) OnAboutToSend(*this);

    try {
      Connect();
      SendRequest();
      replyCode_ = 0;
      ReadReplyHeader();
      ReadBody();
      if (replyCode_ < 299) {
        if (OnSuccess) OnSuccess(requestKind_);
        StatusMessage(kLevelTransaction, "Transaction Completed");
      } else if (replyCode_ <= 399) {
        if (replyCode_ >= 300 && replyCode_ <= 302) url_ = reply_.location;
      } else if (OnFailure) {
        OnFailure(requestKind_);
      }
    } catch (...) {
      // The error that ended the transaction is the one the caller must see, not a failure to close after it.
      try {
        Disconnect();
      } catch (...) {
      }
      throw;
    }
    Disconnect();

    if (replyCode_ >= 300 && replyCode_ <= 398) {
      bool handled = false;
      if (!reply_.cookie.empty()) headerInfo_.SetCookie(reply_.cookie);
      if (OnRedirect) OnRedirect(handled);
      if (handled) return;
      if (url_.find('/') == std::string::npos) url_ = "http://" + GetHost() + "/" + url_;
    }
    if (replyCode_ == 401 && OnAuthenticationNeeded) OnAuthenticationNeeded(*this);
    if (!IsRedirectionRange(replyCode_) || pass >= kMaxPasses) return;
  }
}

void TNMHTTP::ParseURL() {
  std::string host = GetHost();
  int port = GetPort();
  // Host and Port change even when the URL is refused afterwards, as far as it was read by then.
  struct Store {
    TNMHTTP& self;
    std::string& host;
    int& port;
    ~Store() {
      self.SetHost(host);
      self.SetPort(port);
    }
  } store{*this, host, port};
  requestPath_ = ParseHttpUrl(url_, host, port);
}

void TNMHTTP::BuildRequest() {
  THttpRequestParts parts;
  parts.kind = requestKind_;
  parts.path = requestPath_;
  parts.url = url_;
  parts.proxy = GetProxy();
  parts.host = GetHost();
  parts.info = &headerInfo_;
  parts.target = targetValue_;
  if (KindAnnouncesLength(requestKind_)) {
    if (outputFileMode_) {
      std::error_code error;
      const auto size = std::filesystem::file_size(sendData_, error);
      if (error) {
        throw EFOpenError("Cannot open file \"" + sendData_ + "\". " + std::strerror(error.value()));
      }
      parts.contentLength = size;
    } else {
      parts.contentLength = sendData_.size();
    }
  }
  BuildHttpRequest(requestHeader_, parts);
}

void TNMHTTP::SendRequest() {
  Write(requestHeader_.Text());
  Writeln("");
  if (!KindSendsData(requestKind_)) return;
  if (outputFileMode_) {
    SendFile(sendData_);
  } else {
    Write(sendData_);
  }
}

void TNMHTTP::ReadReplyHeader() {
  std::ofstream file;
  if (outputFileMode_) {
    file.open(header_, std::ios::binary | std::ios::trunc);
    if (!file) throw EFCreateError("Cannot create file \"" + header_ + "\". " + std::strerror(errno));
  } else {
    header_.clear();
  }
  const auto keep = [&](const std::string& line) {
    if (outputFileMode_) {
      file.write(line.data(), static_cast<std::streamsize>(line.size()));
      if (!file) throw EWriteError("Error writing file \"" + header_ + "\". " + std::strerror(errno));
    } else {
      header_ += line;
    }
  };
  // The reply's values must be those seen so far even when a read fails halfway.
  reply_.replyCode = replyCode_;
  struct Publish {
    TNMHTTP& self;
    ~Publish() {
      self.replyCode_ = self.reply_.replyCode;
      self.contentLength_ = self.reply_.contentLength;
    }
  } publish{*this};

  bool lineTooLong = false;
  const auto readLine = [&] {
    std::string line = ReadLn();
    // ReadLn answers an empty text both for a close and for a line that does not fit its buffer; only the
    // second leaves data waiting.
    if (line.empty() && DataAvailable()) lineTooLong = true;
    return line;
  };
  const THeaderEnd end = ReadHttpReplyHeader(readLine, keep, reply_);
  if (lineTooLong || end == THeaderEnd::kTooLarge) throw EAbortError("Socket readln aborted");
}

void TNMHTTP::ReadBody() {
  if (inputFileMode_) {
    CaptureFile(body_);
    return;
  }
  // One byte beyond the cap tells a body of exactly the cap, which is fine, from a larger one.
  const auto maximum = static_cast<long long>(maxBodyLength_) + 1;
  body_.clear();
  // Room for an announced length up front (never beyond the cap): one allocation instead of a doubling
  // chain that copies a large body several times over.
  if (reply_.contentLength > 0) {
    body_.reserve(static_cast<std::size_t>(std::min<long long>(reply_.contentLength, maximum)));
  }
  CaptureString(body_, maximum);
  if (body_.size() > maxBodyLength_) {
    body_.resize(maxBodyLength_);
    throw EAbortError("Socket capture aborted");
  }
}

}  // namespace lumora
