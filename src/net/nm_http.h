// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "net/ex_string_list.h"
#include "net/http_message.h"
#include "net/powersock.h"

namespace lumora {

// The HTTP/1.0 client: one call (Get, Post, …) runs a whole transaction — split the URL, build the request,
// connect, send, read the status line and header lines, take the rest of the stream as the body, disconnect —
// and follows a redirection by running it again with the new URL. Status codes never raise; they only choose
// the event. Socket errors reach the caller after the connection has been closed.
class TNMHTTP : public TPowersock {
 public:
  using TResultEvent = std::function<void(THttpRequestKind cmd)>;

  // A transaction makes at most this many passes: replies 299 and 303–399 ask for the same request again and
  // a redirection may lead back to itself; the last reply then stands as the result.
  static constexpr int kMaxPasses = 10;
  // Body in string mode is held to this many bytes unless SetMaxBodyLength says otherwise; a server that
  // sends more ends the capture with "Socket capture aborted", Body keeping what fitted.
  static constexpr std::size_t kDefaultMaxBodyLength = std::size_t{16} << 20;

  TNMHTTP();
  ~TNMHTTP() override = default;

  // The reply body in string mode; with InputFileMode, the name of the file the body goes to.
  void SetBody(const std::string& value) { body_ = value; }
  const std::string& GetBody() const { return body_; }
  // Hands the body over and leaves none behind, so a large reply is not kept for as long as the component
  // lives.
  std::string TakeBody() { return std::exchange(body_, std::string()); }
  // The status line and header lines, each with its line end; with OutputFileMode, the name of their file.
  void SetHeader(const std::string& value) { header_ = value; }
  const std::string& GetHeader() const { return header_; }
  THeaderInfo& GetHeaderInfo() { return headerInfo_; }
  const THeaderInfo& GetHeaderInfo() const { return headerInfo_; }
  void SetInputFileMode(bool value) { inputFileMode_ = value; }
  bool GetInputFileMode() const { return inputFileMode_; }
  // Also makes the data argument of a sending request the name of the file to send.
  void SetOutputFileMode(bool value) { outputFileMode_ = value; }
  bool GetOutputFileMode() const { return outputFileMode_; }
  void SetEncodeSendData(bool value) { encodeSendData_ = value; }
  bool GetEncodeSendData() const { return encodeSendData_; }
  void SetMaxBodyLength(std::size_t bytes) { maxBodyLength_ = bytes; }
  std::size_t GetMaxBodyLength() const { return maxBodyLength_; }

  // --- The state of the last transaction ---
  const std::string& GetURL() const { return url_; }
  THttpRequestKind GetRequestKind() const { return requestKind_; }
  const std::string& GetRequestPath() const { return requestPath_; }
  const TExStringList& GetRequestHeader() const { return requestHeader_; }
  const std::string& GetLocationValue() const { return reply_.location; }
  const std::string& GetCookieValue() const { return reply_.cookie; }
  const std::string& GetSendData() const { return sendData_; }
  const std::string& GetTargetValue() const { return targetValue_; }

  // --- Events ---
  TNotifyEvent OnAboutToSend;           // the request header is built; nothing is sent yet
  TResultEvent OnSuccess;               // a reply below 299 (or without a readable status)
  TResultEvent OnFailure;               // a reply above 399
  THandlerEvent OnRedirect;             // a reply 300–398; handled = true ends the transaction
  TNotifyEvent OnAuthenticationNeeded;  // a 401 reply, after the connection closed

  // --- Requests. Each returns when its transaction is over. ---
  virtual void Get(const std::string& url);
  virtual void Options(const std::string& url);
  virtual void Head(const std::string& url);
  // data is form-encoded first when EncodeSendData is set and OutputFileMode is not.
  virtual void Post(const std::string& url, const std::string& data);
  virtual void Put(const std::string& url, const std::string& data);
  virtual void Patch(const std::string& url, const std::string& data);
  virtual void Copy(const std::string& url, const std::string& destination);
  virtual void Move(const std::string& url, const std::string& destination);
  virtual void Delete(const std::string& url);
  virtual void Link(const std::string& url, const std::string& link);
  virtual void Unlink(const std::string& url, const std::string& link);
  virtual void Trace(const std::string& url, const std::string& data);

  // Ends the running wait like Cancel, without the "Abort" status of the base.
  void Abort() override;

 protected:
  // The transaction loop.
  virtual void DoRequest();
  // URL into Host, Port and RequestPath.
  virtual void ParseURL();
  // RequestHeader for the running request.
  virtual void BuildRequest();
  // Status line and header lines into ReplyCode, the values and Header.
  virtual void ReadReplyHeader();
  // The header, the empty line and, for the kinds that carry it, the data.
  virtual void SendRequest();

 private:
  void Start(THttpRequestKind kind, const std::string& url);
  // Body up to the close (or the cap), into the file or the string.
  void ReadBody();

  std::string body_ = "Default.htm";
  std::string header_ = "Head.txt";
  THeaderInfo headerInfo_;
  bool inputFileMode_ = false;
  bool outputFileMode_ = false;
  bool encodeSendData_ = true;
  std::size_t maxBodyLength_ = kDefaultMaxBodyLength;

  std::string url_;
  THttpRequestKind requestKind_ = hkGet;
  std::string requestPath_;
  TExStringList requestHeader_;
  THttpReplyFields reply_;
  std::string sendData_;
  std::string targetValue_;
};

}  // namespace lumora
