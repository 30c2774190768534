// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/http_message.h"

#include <cctype>
#include <climits>
#include <string_view>

#include "net/nm_uu.h"
#include "toolkit/conversion.h"
#include "toolkit/exceptions.h"

namespace lumora {

namespace {

constexpr std::size_t kNone = std::string::npos;

std::string AsciiLower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The text between two positions of url, exclusive; to the end when `to` is kNone.
std::string Between(const std::string& text, std::size_t from, std::size_t to) {
  return to == kNone ? text.substr(from + 1) : text.substr(from + 1, to - from - 1);
}

// A header value from position `from` of its line, held to kHttpValueLimit. It ends at the first CR, LF or
// zero byte: the line end, or a bare CR a hostile server put inside the line. This is where every value the
// client reuses enters it (the cookie and the redirection's URL go into the next request), so no byte of a
// reply can ever add a line to a request or cut one short.
std::string HeaderValue(const std::string& line, std::size_t from) {
  std::string_view value = from < line.size() ? std::string_view(line).substr(from) : std::string_view();
  value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
  return std::string(value.substr(0, kHttpValueLimit));
}

}  // namespace

std::string ParseHttpUrl(std::string& url, std::string& host, int& port) {
  if (url.empty()) throw Exception("Empty URL");
  if (port == 0) port = 80;

  const std::size_t first = url.find('/');
  const std::size_t second = first == kNone ? kNone : url.find('/', first + 1);
  const std::size_t third = second == kNone ? kNone : url.find('/', second + 1);
  // "//" anywhere means the URL names a host, counted from the start of the text, scheme or not.
  const bool namesHost = url.find("//") != kNone;

  std::string path;
  if (namesHost) {
    if (third != kNone && third != url.size() - 1) path = url.substr(third, kHttpValueLimit);
  } else if (first != kNone) {
    path = url.substr(first, kHttpValueLimit);
  }

  const std::size_t colon = url.find(':');
  if (colon != kNone) {
    const std::string scheme = AsciiLower(url.substr(0, colon));
    if (scheme == "gopher") {
      port = 70;
    } else if (scheme == "ftp") {
      port = 21;
    } else if (scheme == "https") {
      throw Exception("HTTP Secure Socket is not supported");
    } else {
      port = 80;
    }
  }

  std::string hostPart;
  if (namesHost) {
    hostPart = Between(url, second, third);
  } else if (url.front() != '/') {
    hostPart = url.substr(0, first);
  }
  const std::size_t portColon = hostPart.find(':');
  if (portColon != kNone) {
    port = StrToInt(Between(hostPart, portColon, hostPart.find(':', portColon + 1)));
    hostPart.resize(portColon);
  }
  if (!hostPart.empty()) host = hostPart;

  if (path.empty()) {
    path.push_back('/');
    url.push_back('/');
  }
  return path;
}

bool KindAnnouncesLength(int kind) {
  return kind == hkPost || kind == hkPut || kind == hkPatch || (kind >= hkLink && kind <= hkHeaderOnly);
}

bool KindSendsData(int kind) {
  return kind == hkPost || kind == hkPut || kind == hkPatch || kind == hkTrace || kind == hkHeaderOnly;
}

void BuildHttpRequest(TExStringList& header, const THttpRequestParts& parts) {
  static constexpr const char* kVerbs[] = {"GET ",  "OPTIONS ", "HEAD ",   "POST ", "PUT ",    "PATCH ",
                                           "COPY ", "MOVE ",    "DELETE ", "LINK ", "UNLINK ", "TRACE "};
  header.Clear();
  if (parts.kind >= hkGet && parts.kind <= hkTrace) {
    header.Add(kVerbs[parts.kind] + (parts.proxy.empty() ? parts.path : parts.url) + " HTTP/1.0");
  }
  if (!parts.proxy.empty()) {
    header.Add("Proxy-Connection: Keep-Alive");
    header.Add("Host: " + parts.host);
  }
  // Never with the port: servers of this client's time matched virtual hosts on the bare name.
  header.SetHeader("Host", parts.host);
  header.Add("Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff");
  header.Add("Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript");
  if (parts.info != nullptr) {
    const THeaderInfo& info = *parts.info;
    if (!info.GetLocalProgram().empty()) header.SetHeader("User-Agent", info.GetLocalProgram());
    if (!info.GetLocalMailAddress().empty()) header.SetHeader("From", info.GetLocalMailAddress());
    if (!info.GetCookie().empty()) header.SetHeader("Cookie", info.GetCookie());
    if (!info.GetReferer().empty()) header.SetHeader("Referer", info.GetReferer());
    if (!info.GetUserId().empty() && !info.GetPassword().empty()) {
      // The encoder breaks its output into mail-sized lines; a header value must stay on one.
      std::string credentials;
      for (const char c : UUEncodeText(info.GetUserId() + ":" + info.GetPassword(), uuMime)) {
        if (c != '\r' && c != '\n') credentials += c;
      }
      header.SetHeader("Authorization", "Basic " + credentials);
    }
  }
  header.Add("Content-type: application/x-www-form-urlencoded");
  if (parts.kind == hkCopy || parts.kind == hkMove) header.Add("URI-header: " + parts.target);
  if (parts.kind == hkLink || parts.kind == hkUnlink) header.Add("Link: " + parts.target);
  if (KindAnnouncesLength(parts.kind)) header.Add("Content-Length: " + std::to_string(parts.contentLength));
}

std::int16_t ParseStatusCode(const std::string& statusLine) {
  const std::size_t space = statusLine.find(' ');
  if (space == kNone) return 0;
  int code = 0;
  // The code ends at the next space or, when no reason phrase follows, at the line end.
  if (!TryStrToInt(Between(statusLine, space, statusLine.find_first_of(" \r\n", space + 1)), code)) return 0;
  // The code is kept in 16 bits, as the socket session holds it; larger numbers wrap.
  return static_cast<std::int16_t>(code);
}

void InterpretReplyHeaderLine(const std::string& line, THttpReplyFields& fields) {
  const std::size_t space = line.find(' ');
  if (space == kNone) return;
  const std::string name = AsciiUpper(line.substr(0, space));
  if (name == "SET-COOKIE:") {
    fields.cookie = HeaderValue(line, space + 1);
  } else if (name == "LOCATION:") {
    fields.location = HeaderValue(line, space + 1);
  } else if (name == "CONTENT-LENGTH:") {
    std::size_t i = space;
    while (i < line.size() && !std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    long long length = 0;
    for (; i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i) {
      // Recorded, never trusted: a length beyond the integer range is held at its largest value.
      length = std::min<long long>(length * 10 + (line[i] - '0'), INT_MAX);
    }
    fields.contentLength = static_cast<int>(length);
  }
}

THeaderEnd ReadHttpReplyHeader(const std::function<std::string()>& readLine,
                               const std::function<void(const std::string&)>& keep, THttpReplyFields& fields,
                               std::size_t maxBytes) {
  fields.contentLength = 0;
  fields.cookie.clear();
  std::size_t total = 0;
  std::string line = readLine();
  if (!line.empty()) {
    total = line.size();
    if (total > maxBytes) return THeaderEnd::kTooLarge;
    fields.replyCode = ParseStatusCode(line);
    keep(line);
  }
  for (;;) {
    line = readLine();
    if (line.empty()) return THeaderEnd::kClosed;
    total += line.size();
    if (total > maxBytes) return THeaderEnd::kTooLarge;
    InterpretReplyHeaderLine(line, fields);
    keep(line);
    if (line == "\r\n" || line == "\n") return THeaderEnd::kEmptyLine;
  }
}

}  // namespace lumora
