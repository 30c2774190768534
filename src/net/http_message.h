// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "net/ex_string_list.h"

namespace lumora {

// The operation that started a transaction; also the Cmd of OnSuccess and OnFailure.
enum THttpRequestKind : std::uint8_t {
  hkGet = 0,
  hkOptions = 1,
  hkHead = 2,
  hkPost = 3,
  hkPut = 4,
  hkPatch = 5,
  hkCopy = 6,
  hkMove = 7,
  hkDelete = 8,
  hkLink = 9,
  hkUnlink = 10,
  hkTrace = 11,
  hkHeaderOnly = 12,  // header lines and data without a request line
};

// The request path, the location and the cookie are each held to this many characters.
constexpr std::size_t kHttpValueLimit = 256;

// Values for the optional request header lines; all empty at first.
class THeaderInfo {
 public:
  void SetLocalMailAddress(const std::string& value) { localMailAddress_ = value; }
  const std::string& GetLocalMailAddress() const { return localMailAddress_; }
  void SetLocalProgram(const std::string& value) { localProgram_ = value; }
  const std::string& GetLocalProgram() const { return localProgram_; }
  void SetCookie(const std::string& value) { cookie_ = value; }
  const std::string& GetCookie() const { return cookie_; }
  void SetReferer(const std::string& value) { referer_ = value; }
  const std::string& GetReferer() const { return referer_; }
  void SetUserId(const std::string& value) { userId_ = value; }
  const std::string& GetUserId() const { return userId_; }
  void SetPassword(const std::string& value) { password_ = value; }
  const std::string& GetPassword() const { return password_; }

 private:
  std::string localMailAddress_;
  std::string localProgram_;
  std::string cookie_;
  std::string referer_;
  std::string userId_;
  std::string password_;
};

// Splits url for a request: answers the path for the request line, sets host when the URL names one
// (a URL that starts with "/" keeps the previous host) and port from the scheme and an explicit ":port"
// (port 0 becomes 80 first). A URL without a path gains a final "/". Raises Exception "Empty URL",
// Exception "HTTP Secure Socket is not supported", or EConvertError for a port that is not a number.
std::string ParseHttpUrl(std::string& url, std::string& host, int& port);

// What a request header is built from.
struct THttpRequestParts {
  int kind = hkGet;
  std::string path;   // for the request line without a proxy
  std::string url;    // for the request line through a proxy
  std::string proxy;  // empty: none
  std::string host;
  const THeaderInfo* info = nullptr;  // none: no optional lines
  std::string target;                 // destination or link of Copy, Move, Link, Unlink
  std::uint64_t contentLength = 0;    // for the kinds that announce one
};

bool KindAnnouncesLength(int kind);  // Post, Put, Patch, Link, Unlink, Trace and the header-only request
bool KindSendsData(int kind);        // Post, Put, Patch, Trace and the header-only request

// Clears header and fills it with the request line and header lines, in the order servers have always
// seen from this client.
void BuildHttpRequest(TExStringList& header, const THttpRequestParts& parts);

// The fields a reply header sets. location survives from reply to reply; the others start afresh.
struct THttpReplyFields {
  std::int16_t replyCode = 0;
  int contentLength = 0;
  std::string cookie;
  std::string location;
};

// The status code of a status line: its second space-separated field (which may end the line, when no reason
// phrase follows) as a decimal number held in 16 bits, 0 when that field is not a number.
std::int16_t ParseStatusCode(const std::string& statusLine);
// Records Set-Cookie, Location and Content-Length when the line carries them (name, colon, one space). A
// value ends at the first CR, LF or zero byte in it.
void InterpretReplyHeaderLine(const std::string& line, THttpReplyFields& fields);

// A reply header larger than this is refused: no server needs it and a broken one must not fill memory.
constexpr std::size_t kMaxReplyHeaderBytes = std::size_t{1} << 20;

enum class THeaderEnd { kEmptyLine, kClosed, kTooLarge };

// Reads a status line and header lines through readLine (one line with its line end, or an empty text when
// the data ended), handing each line to keep and recording fields, up to and including the empty line. The
// reply code is set only from a status line that arrived. More than maxBytes of header ends the read.
THeaderEnd ReadHttpReplyHeader(const std::function<std::string()>& readLine,
                               const std::function<void(const std::string&)>& keep, THttpReplyFields& fields,
                               std::size_t maxBytes = kMaxReplyHeaderBytes);

}  // namespace lumora
