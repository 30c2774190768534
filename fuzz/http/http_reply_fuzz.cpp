// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness: any bytes as a server's reply, cut into lines the way the socket's line read does,
// through the reply header reader; then the location and cookie it took are used as a redirection would use
// them, to build the next request. A reply must never be able to add lines to that request (a CR or an LF
// in a line) nor cut it short (a zero byte, where sending stops).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/ex_string_list.h"
#include "net/http_message.h"
#include "toolkit/exceptions.h"

namespace {

// The socket's line buffer: a longer line cannot be read and ends the header like a close.
constexpr std::size_t kLineBuffer = 65536;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t at = 0;
  const auto readLine = [&] {
    const std::size_t end = input.find('\n', at);
    if (end == std::string_view::npos || end + 1 - at > kLineBuffer) return std::string();
    std::string line(input.substr(at, end + 1 - at));
    at = end + 1;
    return line;
  };
  std::string kept;
  const auto keep = [&](const std::string& line) { kept += line; };
  lumora::THttpReplyFields fields;
  const lumora::THeaderEnd end = lumora::ReadHttpReplyHeader(readLine, keep, fields);

  Check(input.substr(0, kept.size()) == kept);
  if (end == lumora::THeaderEnd::kEmptyLine) Check(kept.ends_with("\r\n") || kept.ends_with("\n"));
  Check(fields.contentLength >= 0);
  constexpr std::string_view kLineBreakers("\r\n\0", 3);
  for (const std::string* value : {&fields.cookie, &fields.location}) {
    Check(value->size() <= lumora::kHttpValueLimit &&
          value->find_first_of(kLineBreakers) == std::string::npos);
  }

  std::string url = fields.location;
  std::string host = "previous";
  int port = 0;
  lumora::THeaderInfo info;
  info.SetCookie(fields.cookie);
  lumora::THttpRequestParts parts;
  try {
    parts.path = lumora::ParseHttpUrl(url, host, port);
  } catch (const lumora::Exception&) {
    return 0;
  }
  Check(parts.path.starts_with("/") && parts.path.size() <= lumora::kHttpValueLimit);
  parts.url = url;
  parts.host = host;
  parts.info = &info;
  lumora::TExStringList request;
  lumora::BuildHttpRequest(request, parts);
  for (const std::string& line : request.Lines())
    Check(line.find_first_of(kLineBreakers) == std::string::npos);
  return 0;
}
