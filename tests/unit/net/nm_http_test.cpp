// SPDX-License-Identifier: GPL-3.0-or-later
// TNMHTTP against a scripted server on loopback: the replies are exactly what each case needs.

#include "net/nm_http.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"

namespace lumora {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

constexpr const char* kSilent = "<silent>";  // accept, read the request, never answer

// Answers each connection with the next reply of its script (the last one repeats) and records the requests:
// the header and as many bytes after it as it announced.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<std::string> replies) : replies_(std::move(replies)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen on loopback";
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::vector<std::string> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  bool Readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  }
  std::string ReadRequest(int fd) {
    std::string request;
    std::size_t wanted = std::string::npos;
    char chunk[4096];
    while (request.size() < wanted && Readable(fd, 300)) {
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      request.append(chunk, static_cast<std::size_t>(n));
      const std::size_t end = request.find("\r\n\r\n");
      if (wanted == std::string::npos && end != std::string::npos) {
        const std::size_t at = request.find("Content-Length: ");
        wanted = end + 4 + (at < end ? std::stoul(request.substr(at + 16)) : 0);
      }
    }
    return request;
  }
  void Run() {
    for (std::size_t served = 0; !stop_;) {
      if (!Readable(listener_, 20)) continue;
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      const std::string request = ReadRequest(fd);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      const std::string& reply = replies_[std::min(served++, replies_.size() - 1)];
      if (reply == kSilent) {
        while (!stop_ && !Readable(fd, 20)) {
        }
      } else {
        for (std::size_t sent = 0; sent < reply.size();) {
          const ssize_t n = ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
          if (n <= 0) break;
          sent += static_cast<std::size_t>(n);
        }
      }
      ::close(fd);
    }
  }

  std::vector<std::string> replies_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

std::string Reply(const std::string& status, const std::string& lines = "", const std::string& body = "") {
  return "HTTP/1.0 " + status + "\r\n" + lines + "\r\n" + body;
}

// A client whose events are written down in the order they come.
struct Client {
  TNMHTTP http;
  std::vector<std::string> events;
  Client() {
    http.OnSuccess = [this](THttpRequestKind cmd) { events.push_back("success " + std::to_string(cmd)); };
    http.OnFailure = [this](THttpRequestKind cmd) { events.push_back("failure " + std::to_string(cmd)); };
    http.OnDisconnect = [this](TPowersock&) { events.push_back("disconnect"); };
    http.OnAuthenticationNeeded = [this](TPowersock&) { events.push_back("authentication"); };
  }
};

template <typename Error, typename Call>
std::string ErrorOf(Call call) {
  try {
    call();
  } catch (const Error& e) {
    return e.Message();
  }
  return "no error";
}

TEST(TNMHTTP, VersionFileRequestAndReplyAsTheCheckSeesThem) {
  ScriptedServer server({Reply("200 OK", "Content-Length: 3\r\nServer: scripted\r\n", "3.2")});
  Client c;
  c.http.Get(server.Url("/version/zodeveda.txt"));
  EXPECT_EQ(
      server.Requests(),
      std::vector<std::string>{"GET /version/zodeveda.txt HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                               "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
                               "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
                               "Content-type: application/x-www-form-urlencoded\r\n\r\n"});
  EXPECT_EQ(c.http.GetReplyCode(), 200);
  EXPECT_EQ(c.http.GetBody(), "3.2");
  EXPECT_EQ(c.http.GetHeader(), "HTTP/1.0 200 OK\r\nContent-Length: 3\r\nServer: scripted\r\n\r\n");
  EXPECT_EQ(c.http.GetContentLength(), 3);
  EXPECT_EQ(std::count(c.events.begin(), c.events.end(), "success 0"), 1);
}

TEST(TNMHTTP, ErrorRepliesCallOnFailureAndA401AsksForAuthenticationAfterTheClose) {
  ScriptedServer server({Reply("404 Not Found", "", "<h1>gone</h1>"), Reply("401 Unauthorized")});
  Client c;
  c.http.Get(server.Url("/missing"));
  EXPECT_EQ(c.http.GetBody(), "<h1>gone</h1>");
  c.events.clear();
  c.http.Get(server.Url("/secret"));
  // The peer's close may already have closed the socket once; the last close is the transaction's own.
  ASSERT_GE(c.events.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(c.events.end() - 3, c.events.end()),
            (std::vector<std::string>{"failure 0", "disconnect", "authentication"}));
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST(TNMHTTP, RedirectsFollowTheLocationTakeTheCookieAndReuseTheLastLocation) {
  ScriptedServer server({Reply("302 Found", "Location: /x\r\nSet-Cookie: s=1\r\n"),
                         Reply("200 OK", "Set-Cookie: t=2\r\n", "second"), Reply("302 Found"),
                         Reply("200 OK", "", "again")});
  Client c;
  c.http.Get(server.Url("/first"));
  EXPECT_EQ(c.http.GetBody(), "second");
  c.http.Get(server.Url("/y"));  // its 302 names no location: the last one seen stands
  EXPECT_EQ(c.http.GetBody(), "again");
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
  EXPECT_EQ(requests[1].rfind("GET /x HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(requests[1].find("\r\nCookie: s=1\r\n"), std::string::npos);
  EXPECT_NE(requests[2].find("\r\nCookie: s=1\r\n"), std::string::npos);  // the 200's cookie is not kept
  EXPECT_EQ(requests[3].rfind("GET /x HTTP/1.0\r\n", 0), 0u);
}

// A hostile redirection hides a bare CR (and a zero byte) in the values the next request reuses: that
// request carries each value up to the hidden byte, and no line of its own beyond the client's.
TEST(TNMHTTP, NoByteOfARedirectionBreaksALineOfTheNextRequest) {
  ScriptedServer server(
      {Reply("302 Found", "Location: /next\rX-Injected: 1\r\nSet-Cookie: s=1\rX-Too: 2\r\n"),
       Reply("302 Found", "Set-Cookie: t=2\0X-Cut: 3\r\n"s), Reply("200 OK", "", "done")});
  Client c;
  // A CR carried along would also have the colon after it taken for the end of a scheme, and the next
  // request would go to port 80.
  EXPECT_NO_THROW(c.http.Get(server.Url("/first")));
  EXPECT_EQ(c.http.GetBody(), "done");
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  const std::string accept =
      "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
      "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
  const std::string form = "Content-type: application/x-www-form-urlencoded\r\n\r\n";
  EXPECT_EQ(requests[1], "GET /next HTTP/1.0\r\nHost: 127.0.0.1\r\n" + accept + "Cookie: s=1\r\n" + form);
  EXPECT_EQ(requests[2], "GET /next HTTP/1.0\r\nHost: 127.0.0.1\r\n" + accept + "Cookie: t=2\r\n" + form);
}

// "HTTP/1.0 200" is a status line too: a code without a reason phrase is the code, for a redirection as for
// the reply that ends the transaction.
TEST(TNMHTTP, AStatusCodeWithoutAReasonPhraseCounts) {
  ScriptedServer server({Reply("302", "Location: /b\r\n"), Reply("200", "", "3.2")});
  Client c;
  c.http.Get(server.Url("/a"));
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(c.http.GetReplyCode(), 200);
  EXPECT_EQ(c.http.GetBody(), "3.2");
  EXPECT_EQ(std::count(c.events.begin(), c.events.end(), "success 0"), 1);
}

TEST(TNMHTTP, LocationsWithoutAHostGoToTheCurrentHostOnThePortTheirUrlImplies) {
  struct Stop {};
  for (const std::string& location : {std::string("Location: page.htm\r\n"), std::string()}) {
    ScriptedServer server({Reply("302 Found", location)});
    Client c;
    int pass = 0;
    c.http.OnAboutToSend = [&](TPowersock&) {
      if (++pass == 2) throw Stop{};
    };
    EXPECT_THROW(c.http.Get(server.Url("/a")), Stop);
    EXPECT_EQ(c.http.GetURL(), location.empty() ? "http://127.0.0.1//" : "http://127.0.0.1/page.htm");
    EXPECT_EQ(c.http.GetPort(), 80);
  }
}

TEST(TNMHTTP, AHandledRedirectEndsTheTransaction) {
  ScriptedServer server({Reply("302 Found", "Location: /elsewhere\r\n")});
  Client c;
  c.http.OnRedirect = [](bool& handled) { handled = true; };
  c.http.Get(server.Url("/a"));
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(c.http.GetReplyCode(), 302);
}

TEST(TNMHTTP, RepeatingRepliesEndAfterTenPassesWithTheLastReplyStanding) {
  ScriptedServer server(
      {Reply("299 Again"), Reply("301 Moved", "Location: /a\r\n"), Reply("303 See", "", "x")});
  Client c;
  EXPECT_NO_THROW(c.http.Get(server.Url("/a")));
  EXPECT_EQ(server.Requests().size(), 10u);
  EXPECT_EQ(c.http.GetReplyCode(), 303);
  EXPECT_EQ(c.http.GetBody(), "x");
}

TEST(TNMHTTP, AServerThatClosesAtOnceCountsAsSuccessWithNothing) {
  ScriptedServer server({""});
  Client c;
  c.http.SetHeader("stale");
  c.http.Get(server.Url("/a"));
  EXPECT_EQ(c.http.GetReplyCode(), 0);
  EXPECT_EQ(c.http.GetHeader(), "");
  EXPECT_EQ(c.http.GetBody(), "");
  EXPECT_EQ(std::count(c.events.begin(), c.events.end(), "success 0"), 1);
}

TEST(TNMHTTP, StringBodiesAreCappedAndTheCaptureAborted) {
  const std::size_t cap = TNMHTTP::kDefaultMaxBodyLength;
  ScriptedServer server(
      {Reply("200 OK", "", std::string(cap + (1 << 20), 'b')), Reply("200 OK", "", "12345")});
  Client c;
  EXPECT_EQ(ErrorOf<EAbortError>([&] { c.http.Get(server.Url("/big")); }), "Socket capture aborted");
  EXPECT_EQ(c.http.GetBody().size(), cap);
  EXPECT_FALSE(c.http.IsConnected());
  c.http.SetMaxBodyLength(5);  // a body of exactly the cap is whole
  EXPECT_NO_THROW(c.http.Get(server.Url("/five")));
  EXPECT_EQ(c.http.GetBody(), "12345");
}

TEST(TNMHTTP, SilenceOversizedHeadersAndRefusalsEndInBoundedTime) {
  ScriptedServer server(
      {kSilent, Reply("200 OK", "X: " + std::string(70000, 'h') + "\r\n"), Reply("200 OK", "", "fine")});
  std::vector<std::string> statuses;  // outlives the client, which reports its own destruction
  Client c;
  c.http.SetTimeOut(300);
  c.http.SetReportLevel(8);
  c.http.OnStatus = [&](TPowersock&, const std::string& status) { statuses.push_back(status); };
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf<EAbortError>([&] { c.http.Get(server.Url("/silent")); }), "Socket readln aborted");
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Timer Triggered"), statuses.end());
  EXPECT_EQ(std::find(statuses.begin(), statuses.end(), "Abort"), statuses.end());
  EXPECT_EQ(ErrorOf<EAbortError>([&] { c.http.Get(server.Url("/long-line")); }), "Socket readln aborted");
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "X-" + std::to_string(i) + ": " + std::string(1100, 'h') + "\r\n";
  ScriptedServer flood({Reply("200 OK", many)});
  EXPECT_EQ(ErrorOf<EAbortError>([&] { c.http.Get(flood.Url("/flood")); }), "Socket readln aborted");
  c.http.Get(server.Url("/after"));  // every failure closed its connection
  EXPECT_EQ(c.http.GetBody(), "fine");
  EXPECT_EQ(ErrorOf<ESockError>([&] { c.http.Get("http://127.0.0.1:1/"); }), "Connection Failed");
}

TEST(TNMHTTP, SentDataIsFormEncodedUnlessToldAndFileModesUseTheirFiles) {
  test::ScratchDirectory dir;
  test::WriteWholeFile(dir / "upload.bin", "file body");
  ScriptedServer server({Reply("200 OK", "", std::string(200000, 'z'))});
  Client c;
  c.http.Post(server.Url("/form"), "a b&c");
  c.http.SetEncodeSendData(false);
  c.http.Post(server.Url("/raw"), "a b");
  c.http.SetOutputFileMode(true);
  c.http.SetInputFileMode(true);
  c.http.SetHeader(dir / "head.txt");
  c.http.SetBody(dir / "body.bin");
  c.http.Put(server.Url("/file"), dir / "upload.bin");
  const std::vector<std::string> r = server.Requests();
  ASSERT_EQ(r.size(), 3u);
  const std::string form = "Content-type: application/x-www-form-urlencoded\r\n";
  EXPECT_NE(r[0].find(form + "Content-Length: 7\r\n\r\na+b%26c"), std::string::npos);
  EXPECT_NE(r[1].find(form + "Content-Length: 3\r\n\r\na b"), std::string::npos);
  EXPECT_EQ(r[2].rfind("PUT /file HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(r[2].find(form + "Content-Length: 9\r\n\r\nfile body"), std::string::npos);
  EXPECT_EQ(test::ReadWholeFile(dir / "head.txt"), "HTTP/1.0 200 OK\r\n\r\n");
  EXPECT_EQ(test::ReadWholeFile(dir / "body.bin"), std::string(200000, 'z'));
}

}  // namespace
}  // namespace lumora
