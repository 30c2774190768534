// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/http_message.h"

#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <string>
#include <vector>

#include "net/ex_string_list.h"
#include "net/nm_url.h"
#include "net/nm_uu.h"
#include "toolkit/exceptions.h"

namespace lumora {
namespace {

using namespace std::string_literals;

struct UrlCase {
  std::string url, hostBefore;
  int portBefore;
  std::string path, urlAfter, host;
  int port;
};

TEST(ParseHttpUrl, SplitsHostPortAndPathWithTheClientsOwnRules) {
  const std::string long300(300, 'a');
  const UrlCase cases[] = {
      {"http://host/version/zodeveda.txt", "", 0, "/version/zodeveda.txt", "http://host/version/zodeveda.txt",
       "host", 80},
      {"http://host:81/a", "", 0, "/a", "http://host:81/a", "host", 81},
      {"http://host", "", 0, "/", "http://host/", "host", 80},
      {"http://host/", "", 0, "/", "http://host//", "host", 80},
      {"http://new/x", "old", 8080, "/x", "http://new/x", "new", 80},  // any ":" resets the port
      {"/a/b", "prev", 8080, "/a/b", "/a/b", "prev", 8080},            // the previous host, port kept
      {"gopher://g/x", "", 0, "/x", "gopher://g/x", "g", 70},
      {"FTP://f/x", "", 0, "/x", "FTP://f/x", "f", 21},
      {"localhost:8080", "", 0, "/", "localhost:8080/", "localhost", 8080},
      {"h:81:9/p", "", 0, "/p", "h:81:9/p", "h", 81},
      {"page.htm", "", 0, "/", "page.htm/", "page.htm", 80},
      {"http://h/" + long300, "", 0, "/" + long300.substr(0, 255), "http://h/" + long300, "h", 80},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.url);
    std::string url = c.url, host = c.hostBefore;
    int port = c.portBefore;
    EXPECT_EQ(ParseHttpUrl(url, host, port), c.path);
    EXPECT_EQ(url, c.urlAfter);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
  }
}

// The message of the toolkit error that url raises, or "" when it parses.
std::string RefusalOf(std::string url, std::string& host) {
  int port = 0;
  try {
    ParseHttpUrl(url, host, port);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

TEST(ParseHttpUrl, RefusesEmptyUrlsSecureSchemesAndPortsThatAreNotNumbers) {
  std::string host = "keep";
  EXPECT_EQ(RefusalOf("", host), "Empty URL");
  EXPECT_EQ(RefusalOf("https://h/", host), "HTTP Secure Socket is not supported");
  EXPECT_EQ(RefusalOf("HtTpS://h/x", host), "HTTP Secure Socket is not supported");
  std::string badPort = "http://h:eighty/";
  int port = 0;
  EXPECT_THROW(ParseHttpUrl(badPort, host, port), EConvertError);
  EXPECT_EQ(host, "keep");
}

std::vector<std::string> Build(const THttpRequestParts& parts) {
  TExStringList header;
  header.Add("left over");
  BuildHttpRequest(header, parts);
  return header.Lines();
}

const std::string kAccept1 = "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff";
const std::string kAccept2 = "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript";
const std::string kForm = "Content-type: application/x-www-form-urlencoded";

TEST(BuildHttpRequest, VersionCheckRequestIsExactlyFiveLines) {
  THeaderInfo info;
  THttpRequestParts parts{
      hkGet, "/version/zodeveda.txt", "http://srv/version/zodeveda.txt", "", "srv", &info, "", 0};
  TExStringList header;
  BuildHttpRequest(header, parts);
  EXPECT_EQ(header.Text(), "GET /version/zodeveda.txt HTTP/1.0\r\nHost: srv\r\n" + kAccept1 + "\r\n" +
                               kAccept2 + "\r\n" + kForm + "\r\n");
}

TEST(BuildHttpRequest, OptionalLinesFollowInTheirOrderThroughAProxy) {
  THeaderInfo info;
  info.SetLocalProgram("Lumora");
  info.SetLocalMailAddress("me@x");
  info.SetCookie("a=b");
  info.SetReferer("http://r/");
  info.SetUserId("lumora-user-with-a-rather-long-name");
  info.SetPassword("pass word:pass word:pass word:pass word:pass word:");
  THttpRequestParts parts{hkPost, "/p", "http://h:81/p", "proxy", "h", &info, "", 12};
  const std::vector<std::string> expected = {
      "POST http://h:81/p HTTP/1.0",
      "Proxy-Connection: Keep-Alive",
      "Host: h",
      kAccept1,
      kAccept2,
      "User-Agent: Lumora",
      "From: me@x",
      "Cookie: a=b",
      "Referer: http://r/",
      "Authorization: Basic "  // NOLINT(bugprone-suspicious-missing-comma): one header, split
      "bHVtb3JhLXVzZXItd2l0aC1hLXJhdGhlci1sb25nLW5hbWU6cGFzcyB3b3JkOnBhc3Mgd29yZDpwYXNzIHdvcm"
      "Q6cGFzcyB3b3JkOnBhc3Mgd29yZDo=",
      kForm,
      "Content-Length: 12"};
  EXPECT_EQ(Build(parts), expected);
  info.SetPassword("");  // credentials need both halves
  parts.host.clear();    // and no host means no Host line, also through a proxy
  const std::vector<std::string> bare = {"POST http://h:81/p HTTP/1.0",
                                         "Proxy-Connection: Keep-Alive",
                                         kAccept1,
                                         kAccept2,
                                         "User-Agent: Lumora",
                                         "From: me@x",
                                         "Cookie: a=b",
                                         "Referer: http://r/",
                                         kForm,
                                         "Content-Length: 12"};
  EXPECT_EQ(Build(parts), bare);
}

TEST(BuildHttpRequest, EachKindHasItsVerbAndExtraLines) {
  struct Kind {
    THttpRequestKind kind;
    std::vector<std::string> firstAndExtra;
  };
  const Kind kinds[] = {
      {hkGet, {"GET /p HTTP/1.0"}},
      {hkOptions, {"OPTIONS /p HTTP/1.0"}},
      {hkHead, {"HEAD /p HTTP/1.0"}},
      {hkPost, {"POST /p HTTP/1.0", "Content-Length: 7"}},
      {hkPut, {"PUT /p HTTP/1.0", "Content-Length: 7"}},
      {hkPatch, {"PATCH /p HTTP/1.0", "Content-Length: 7"}},
      {hkCopy, {"COPY /p HTTP/1.0", "URI-header: /t"}},
      {hkMove, {"MOVE /p HTTP/1.0", "URI-header: /t"}},
      {hkDelete, {"DELETE /p HTTP/1.0"}},
      {hkLink, {"LINK /p HTTP/1.0", "Link: /t", "Content-Length: 7"}},
      {hkUnlink, {"UNLINK /p HTTP/1.0", "Link: /t", "Content-Length: 7"}},
      {hkTrace, {"TRACE /p HTTP/1.0", "Content-Length: 7"}},
      {hkHeaderOnly, {"Content-Length: 7"}},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.firstAndExtra.front());
    std::vector<std::string> expected;
    if (k.kind != hkHeaderOnly) expected.push_back(k.firstAndExtra.front());
    expected.insert(expected.end(), {"Host: h", kAccept1, kAccept2, kForm});
    expected.insert(expected.end(), k.firstAndExtra.begin() + (k.kind != hkHeaderOnly),
                    k.firstAndExtra.end());
    EXPECT_EQ(Build({k.kind, "/p", "http://h/p", "", "h", nullptr, "/t", 7}), expected);
  }
}

TEST(ParseStatusCode, TakesTheSecondFieldOnlyWhenItIsANumber) {
  EXPECT_EQ(ParseStatusCode("HTTP/1.0 200 OK\r\n"), 200);
  EXPECT_EQ(ParseStatusCode("HTTP/1.1 404 Not Found\n"), 404);
  EXPECT_EQ(ParseStatusCode("HTTP/1.0 200\r\n"), 200);  // no reason phrase
  EXPECT_EQ(ParseStatusCode("HTTP/1.0 302\n"), 302);
  EXPECT_EQ(ParseStatusCode("HTTP/1.0 2x0 OK\r\n"), 0);
  EXPECT_EQ(ParseStatusCode("garbage\r\n"), 0);
  EXPECT_EQ(ParseStatusCode("HTTP/1.0 70000 Odd\r\n"), 70000 - 65536);
}

TEST(InterpretReplyHeaderLine, MatchesNamesFollowedByOneSpaceAndHoldsValues) {
  THttpReplyFields f;
  InterpretReplyHeaderLine("Location: http://x/y\r\n", f);
  InterpretReplyHeaderLine("set-cookie: id=1; path=/\n", f);
  InterpretReplyHeaderLine("Content-Length: 1234\r\n", f);
  EXPECT_EQ(f.location, "http://x/y");
  EXPECT_EQ(f.cookie, "id=1; path=/");
  EXPECT_EQ(f.contentLength, 1234);
  InterpretReplyHeaderLine("Location:http://other/\r\n", f);  // no space: kept, not read
  InterpretReplyHeaderLine("X-Location: z\r\n", f);
  InterpretReplyHeaderLine("Set-Cookie: " + std::string(300, 'c') + "\r\n", f);
  InterpretReplyHeaderLine("CONTENT-LENGTH: 99999999999999999999\r\n", f);
  EXPECT_EQ(f.location, "http://x/y");
  EXPECT_EQ(f.cookie, std::string(256, 'c'));
  EXPECT_EQ(f.contentLength, INT_MAX);
  InterpretReplyHeaderLine("Content-Length: none\r\n", f);
  EXPECT_EQ(f.contentLength, 0);
  // A value ends at a bare CR or a zero byte inside the line, as at the line end.
  InterpretReplyHeaderLine("Location: http://x/z\rHost: evil\r\n", f);
  InterpretReplyHeaderLine("Set-Cookie: id=2\0\r\nX: y\r\n"s, f);
  EXPECT_EQ(f.location, "http://x/z");
  EXPECT_EQ(f.cookie, "id=2");
}

TEST(ReadHttpReplyHeader, KeepsEveryLineUpToTheEmptyOneAndStartsEachReplyAfresh) {
  std::deque<std::string> lines = {"HTTP/1.0 302 Found\r\n", "Location: /a\r\n", "Set-Cookie: s=1\r\n", "\n",
                                   "body\r\n"};
  const auto read = [&] {
    if (lines.empty()) return std::string();
    std::string line = lines.front();
    lines.pop_front();
    return line;
  };
  std::string kept;
  const auto keep = [&](const std::string& line) { kept += line; };
  THttpReplyFields f;
  f.contentLength = 5;
  EXPECT_EQ(ReadHttpReplyHeader(read, keep, f), THeaderEnd::kEmptyLine);
  EXPECT_EQ(kept, "HTTP/1.0 302 Found\r\nLocation: /a\r\nSet-Cookie: s=1\r\n\n");
  EXPECT_EQ(f.replyCode, 302);
  EXPECT_EQ(f.contentLength, 0);
  ASSERT_EQ(lines.size(), 1u);  // the body is left alone

  lines = {"HTTP/1.0 200 OK\r\n", "Server: x\r\n"};
  kept.clear();
  EXPECT_EQ(ReadHttpReplyHeader(read, keep, f), THeaderEnd::kClosed);
  EXPECT_EQ(f.replyCode, 200);
  EXPECT_EQ(f.cookie, "");
  EXPECT_EQ(f.location, "/a");
  EXPECT_EQ(kept, "HTTP/1.0 200 OK\r\nServer: x\r\n");

  lines = {"HTTP/1.0 200 OK\r\n", "X: 1\r\n", "X: 2\r\n"};
  EXPECT_EQ(ReadHttpReplyHeader(read, keep, f, 25), THeaderEnd::kTooLarge);
}

TEST(TExStringList, FindsSetsAndDeletesHeadersByName) {
  TExStringList list;
  list.Add("GET / HTTP/1.0");
  list.Add("Host-Name: a");
  list.Add("host: b");
  list.Add("Host: c");
  EXPECT_EQ(list.IndexOfHeader("HOST"), 2);
  EXPECT_EQ(list.IndexOfHeader("GET / HTTP/1.0"), -1);
  list.SetHeader("Host", "d");
  list.SetHeader("Accept", "*/*");
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"GET / HTTP/1.0", "Host-Name: a", "Host: d", "Host: c",
                                                    "Accept: */*"}));
  list.SetHeader("host", "");
  list.SetHeader("Missing", "");
  EXPECT_EQ(list.IndexOfHeader("Host"), 2);
  EXPECT_EQ(list.Count(), 4);

  list.SetSorted(true);
  // Sorted, "Host-Name: a" comes before "Host: c": the search must not stop at the first shared prefix.
  EXPECT_EQ(list.IndexOfHeader("host"), 3);
  EXPECT_EQ(list.IndexOfHeader("Host-Name"), 2);
  list.SetHeader("Zeta", "1");
  list.SetHeader("Accept", "text/html");
  EXPECT_EQ(list.Lines(), (std::vector<std::string>{"Accept: text/html", "GET / HTTP/1.0", "Host-Name: a",
                                                    "Host: c", "Zeta: 1"}));
}

TEST(TNMURL, EncodesSpacesAsPlusAndEveryOtherByteButLettersAndDigitsInLowerCaseHex) {
  TNMURL url;
  url.SetInputString("Az09 a&b=c/-_.~\xc3\xa9\x7f");
  EXPECT_EQ(url.GetEncode(), "Az09+a%26b%3dc%2f%2d%5f%2e%7e%c3%a9%7f");
  url.SetInputString(std::string("a\0b", 3));
  EXPECT_EQ(url.GetEncode(), "a%00b");
}

TEST(TNMUUProcessor, MimeIsStandardBase64InLinesOf45Bytes) {
  EXPECT_EQ(UUEncodeText("", uuMime), "");
  EXPECT_EQ(UUEncodeText("f", uuMime), "Zg==\r\n");
  EXPECT_EQ(UUEncodeText("fo", uuMime), "Zm8=\r\n");
  EXPECT_EQ(UUEncodeText("foobar", uuMime), "Zm9vYmFy\r\n");
  EXPECT_EQ(UUEncodeText("\xfb\xff", uuMime), "+/8=\r\n");
  EXPECT_EQ(UUEncodeText(std::string(46, 'x'), uuMime),
            "eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4\r\neA==\r\n");
}

TEST(TNMUUProcessor, UUCodeWritesLengthCharactersAndAClosingLine) {
  EXPECT_EQ(UUEncodeText("", uuCode), "`\r\n");
  EXPECT_EQ(UUEncodeText("Cat", uuCode), "#0V%T\r\n`\r\n");
  EXPECT_EQ(UUEncodeText(std::string("\x00\x01\xfe", 3), uuCode), "#``'^\r\n`\r\n");
  std::string line45 = "M";
  for (int i = 0; i < 15; ++i) line45 += ">'AX";
  EXPECT_EQ(UUEncodeText(std::string(46, 'x'), uuCode), line45 + "\r\n!>```\r\n`\r\n");
}

}  // namespace
}  // namespace lumora
