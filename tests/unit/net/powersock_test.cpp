// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/powersock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "scripted_server.h"
#include "unit/toolkit/temp_dir.h"

namespace lumora {
namespace {

using test_support::ScriptedPeer;
using test_support::ScriptedServer;
using ::testing::ElementsAre;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Expects the call to raise exactly this error type with exactly this text.
template <typename Error, typename Call>
void ExpectRaises(Call call, const std::string& text) {
  try {
    call();
    ADD_FAILURE() << "nothing raised, expected " << text;
  } catch (const Error& error) {
    EXPECT_EQ(error.Message(), text);
  }
}

// How often the calling thread has gone to sleep so far.
long Sleeps() {
  rusage usage{};
  ::getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

void ConnectTo(TPowersock& sock, const ScriptedServer& server, const std::string& host = "127.0.0.1") {
  sock.SetHost(host);
  sock.SetPort(server.Port());
  sock.Connect();
  ASSERT_TRUE(sock.IsConnected());
}

TEST(PowersockErrors, MessagesCarryTheNumberAndTheTableText) {
  TPowersock sock;
  EXPECT_EQ(sock.ErrorMessage(10061), "10061:Connection refused");
  EXPECT_EQ(sock.ErrorMessage(10036), "10036:Operation now in progress");
  EXPECT_EQ(sock.ErrorMessage(11004), "11004:Valid name, no data record of requested type");
  EXPECT_EQ(sock.ErrorMessage(10090), "Unknown Error No. 10090");
  EXPECT_EQ(sock.ErrorMessage(0), "");
}

TEST(PowersockSession, StartsTheLibraryOnceAndHoldsASocketFromTheStart) {
  const int before = TPowersock::LiveCount();
  {
    TPowersock first;
    TPowersock second;
    EXPECT_EQ(TPowersock::LiveCount(), before + 2);
    EXPECT_NE(second.GetSocketHandle(), net::kInvalidSocket);
    if (before == 0) EXPECT_THAT(first.GetSocketInfo(), ::testing::SizeIs(6));
    EXPECT_TRUE(second.GetSocketInfo().empty());
  }
  EXPECT_EQ(TPowersock::LiveCount(), before);
}

TEST(PowersockResolve, DottedAddressNeedsNoLookupAndANameIsLookedUp) {
  ScriptedServer first([](ScriptedPeer& peer) { peer.AwaitClose(); });
  ScriptedServer second([](ScriptedPeer& peer) { peer.AwaitClose(); });
  TPowersock sock;
  int resolved = 0;
  sock.OnHostResolved = [&](TPowersock&) { ++resolved; };
  ConnectTo(sock, first);
  EXPECT_EQ(resolved, 0);
  EXPECT_EQ(sock.GetRemoteAddress().address, net::InetAddr("127.0.0.1"));
  sock.Disconnect();
  ConnectTo(sock, second, "localhost");
  EXPECT_EQ(resolved, 1);
}

TEST(PowersockResolve, AnInvalidHostGetsExactlyOneRetry) {
  ScriptedServer server([](ScriptedPeer& peer) { peer.AwaitClose(); });
  TPowersock sock;
  sock.SetPort(server.Port());
  ExpectRaises<ESockError>([&] { sock.Connect(); }, "Null Remote Address");

  int calls = 0;
  sock.OnInvalidHost = [&](bool& handled) {
    ++calls;
    handled = true;
  };
  ExpectRaises<ESockError>([&] { sock.Connect(); }, "Null Remote Address");
  EXPECT_EQ(calls, 1);

  sock.OnInvalidHost = [&](bool& handled) {
    ++calls;
    sock.SetHost("127.0.0.1");
    handled = true;
  };
  sock.Connect();
  EXPECT_TRUE(sock.IsConnected());
  EXPECT_EQ(calls, 2);
}

TEST(PowersockResolve, ACancelledLookupIsNotTakenForAnInvalidHost) {
  TPowersock sock;
  int invalid = 0;
  sock.OnInvalidHost = [&](bool& handled) {
    ++invalid;
    handled = true;
  };
  sock.SetEventPump([&] { sock.Cancel(); });
  sock.SetHost("localhost");
  sock.SetPort(1);
  ExpectRaises<ESockError>([&] { sock.Connect(); }, "Host Lookup Canceled");
  EXPECT_EQ(invalid, 0);
}

TEST(PowersockConnect, AnUnansweredConnectTimesOut) {
  // A listener whose queue is full drops further handshakes: the connect neither succeeds nor fails.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  int fillers[2];
  for (int& filler : fillers) {
    filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    static_cast<void>(::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address));
  }
  ScriptedPeer::Pause(50);

  TPowersock sock;
  int failed = 0;
  sock.OnConnectionFailed = [&](TPowersock&) { ++failed; };
  sock.SetHost("127.0.0.1");
  sock.SetPort(ntohs(address.sin_port));
  sock.SetTimeOut(500);
  const auto start = Clock::now();
  ExpectRaises<ESockError>([&] { sock.Connect(); }, "Connection Timed out");
  EXPECT_GE(SecondsSince(start), 0.45);
  EXPECT_LT(SecondsSince(start), 1.5);
  EXPECT_EQ(failed, 1);
  for (const int filler : fillers) ::close(filler);
  ::close(listener);
}

TEST(PowersockConnect, RefusedConnectionCallsOnConnectionFailed) {
  TPowersock sock;
  int failed = 0;
  sock.OnConnectionFailed = [&](TPowersock&) { ++failed; };
  sock.SetHost("127.0.0.1");
  sock.SetPort(ScriptedServer::RefusingPort());
  ExpectRaises<ESockError>([&] { sock.Connect(); }, "Connection Failed");
  EXPECT_EQ(failed, 1);
  EXPECT_FALSE(sock.IsConnected());
}

TEST(PowersockConnect, ConnectWhileConnectedAndDisconnectLeavesAFreshSocket) {
  ScriptedServer server([](ScriptedPeer& peer) { peer.AwaitClose(); });
  TPowersock sock;
  int connects = 0;
  int disconnects = 0;
  sock.OnConnect = [&](TPowersock&) { ++connects; };
  sock.OnDisconnect = [&](TPowersock&) { ++disconnects; };
  ConnectTo(sock, server);
  EXPECT_EQ(connects, 1);
  ExpectRaises<ESockError>([&] { sock.Connect(); }, "Already connected");
  sock.Disconnect();
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(sock.IsConnected());
  EXPECT_NE(sock.GetSocketHandle(), net::kInvalidSocket);
  EXPECT_FALSE(sock.DataAvailable());
}

TEST(PowersockReadLn, TakesExactlyOneLineFromSplitSegments) {
  ScriptedServer server([](ScriptedPeer& peer) {
    peer.Send("HTTP/1.0 2");
    peer.Pause(30);
    peer.Send("00 OK\r");
    peer.Pause(30);
    peer.Send("\nbare\nBO");
    peer.Pause(30);
    peer.Send("DY");
  });
  TPowersock sock;
  ConnectTo(sock, server);
  EXPECT_EQ(sock.ReadLn(), "HTTP/1.0 200 OK\r\n");
  EXPECT_EQ(sock.ReadLn(), "bare\n");
  EXPECT_EQ(sock.CaptureString(), "BODY");
}

TEST(PowersockReadLn, PeerClosingBeforeTheLineEndGivesAnEmptyLine) {
  ScriptedServer server([](ScriptedPeer& peer) { peer.Drip("partial", 5); });
  TPowersock sock;
  ConnectTo(sock, server);
  EXPECT_EQ(sock.ReadLn(), "");
}

TEST(PowersockReadLn, SilentServerTimesOutWithTheReadlnAbort) {
  ScriptedServer server([](ScriptedPeer& peer) { peer.AwaitClose(); });
  TPowersock sock;
  ConnectTo(sock, server);
  sock.SetTimeOut(1000);
  const auto start = Clock::now();
  ExpectRaises<EAbortError>([&] { sock.ReadLn(); }, "Socket readln aborted");
  EXPECT_GE(SecondsSince(start), 0.95);
  EXPECT_LT(SecondsSince(start), 2.0);
}

TEST(PowersockReadLn, CancelFromTheEventPumpEndsTheWaitAndIsCleared) {
  ScriptedServer server([](ScriptedPeer& peer) {
    peer.ReceiveUntil("go\r\n");
    peer.Send("after\n");
  });
  TPowersock sock;
  ConnectTo(sock, server);
  const auto start = Clock::now();
  int pumped = 0;
  sock.SetEventPump([&] {
    ++pumped;
    if (SecondsSince(start) > 0.2) sock.Cancel();
  });
  ExpectRaises<EAbortError>([&] { sock.ReadLn(); }, "Socket readln aborted");
  EXPECT_LT(SecondsSince(start), 1.0);
  // An idle wait sleeps: about one pump per slice, not thousands.
  EXPECT_LT(pumped, 100);
  sock.SetEventPump(nullptr);
  sock.Writeln("go");
  EXPECT_EQ(sock.ReadLn(), "after\n");
}

// A worker that borrows the component (the version check borrows the window's) runs none of the pump the
// window's thread installed, and waits in the longer sleeps; the installing thread still gets its pump.
TEST(PowersockEventPump, ServesOnlyTheThreadThatInstalledIt) {
  ScriptedServer server([](ScriptedPeer& peer) { peer.AwaitClose(); });
  TPowersock sock;
  ConnectTo(sock, server);
  std::atomic<int> pumped{0};
  sock.SetEventPump([&] { ++pumped; });
  sock.SetTimeOut(1000);
  long sleeps = 0;
  std::thread worker([&] {
    const long before = Sleeps();
    ExpectRaises<EAbortError>([&] { sock.ReadLn(); }, "Socket readln aborted");
    sleeps = Sleeps() - before;
  });
  worker.join();
  EXPECT_EQ(pumped, 0);
  // One second in sleeps of 50 ms is about 20 of them; sleeps of 10 ms would be about 100.
  EXPECT_LT(sleeps, 40);
  sock.SetTimeOut(200);
  ExpectRaises<EAbortError>([&] { sock.ReadLn(); }, "Socket readln aborted");
  EXPECT_GT(pumped, 5);
}

// The program's end reaches a wait already under way on another thread within one sleep, and every later
// wait at once; run in a process of its own, because there is no way back from it.
void EndAllWaitsWhileOneRuns() {
  ScriptedServer server([](ScriptedPeer& peer) { peer.AwaitClose(); });
  TPowersock sock;
  sock.SetHost("127.0.0.1");
  sock.SetPort(server.Port());
  sock.Connect();
  // Without the end, the wait would go on for these 3 s.
  sock.SetTimeOut(3000);
  std::string first;
  std::thread worker([&] {
    try {
      sock.ReadLn();
    } catch (const EAbortError& error) {
      first = error.Message();
    }
  });
  ScriptedPeer::Pause(200);
  const auto ending = Clock::now();
  TPowersock::EndAllWaits();
  worker.join();
  const double firstEnded = SecondsSince(ending);
  std::string later;
  const auto start = Clock::now();
  try {
    sock.ReadLn();
  } catch (const EAbortError& error) {
    later = error.Message();
  }
  const double laterEnded = SecondsSince(start);
  const bool ok = first == "Socket readln aborted" && firstEnded < 0.5 && later == "Socket readln aborted" &&
                  laterEnded < 0.02;
  std::fprintf(stderr, "waiting read: \"%s\" after %.3f s; later read: \"%s\" after %.3f s\n", first.c_str(),
               firstEnded, later.c_str(), laterEnded);
  std::_Exit(ok ? 0 : 1);
}

TEST(PowersockProgramEndDeathTest, EndsEveryWaitOnEveryThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(EndAllWaitsWhileOneRuns(), ::testing::ExitedWithCode(0), "waiting read");
}

TEST(PowersockReadLn, ALineLongerThanTheBufferIsAnError) {
  ScriptedServer server([](ScriptedPeer& peer) {
    peer.Send(std::string(TPowersock::kIoBufferSize + 10, 'x'));
    peer.AwaitClose();
  });
  TPowersock sock;
  ConnectTo(sock, server);
  sock.SetTimeOut(5000);
  ExpectRaises<EAbortError>([&] { sock.ReadLn(); }, "Socket readln aborted");
}

TEST(PowersockCapture, DrippedBytesAreAllKeptAndCounted) {
  ScriptedServer server([](ScriptedPeer& peer) { peer.Drip("0123456789", 10); });
  TPowersock sock;
  ConnectTo(sock, server);
  int packets = 0;
  sock.OnPacketRecvd = [&](TPowersock&) { ++packets; };
  EXPECT_EQ(sock.CaptureString(), "0123456789");
  EXPECT_EQ(sock.GetReceivedCount(), 10);
  EXPECT_GE(packets, 2);
}

TEST(PowersockCapture, MaximumLeavesTheRestInTheSocket) {
  ScriptedServer server([](ScriptedPeer& peer) { peer.Send("abcdefghij"); });
  TPowersock sock;
  ConnectTo(sock, server);
  sock.SetTimeOut(5000);
  EXPECT_EQ(sock.CaptureString(4), "abcd");
  EXPECT_EQ(sock.CaptureString(), "efghij");
}

TEST(PowersockCapture, TimeOutCountsFromTheLastChunk) {
  ScriptedServer server([](ScriptedPeer& peer) {
    peer.Drip("abcde", 200);
    peer.AwaitClose();
  });
  TPowersock sock;
  ConnectTo(sock, server);
  sock.SetTimeOut(400);
  const auto start = Clock::now();
  ExpectRaises<EAbortError>([&] { sock.CaptureString(); }, "Socket capture aborted");
  EXPECT_EQ(sock.GetReceivedCount(), 5);
  EXPECT_GE(SecondsSince(start), 1.1);
}

TEST(PowersockCapture, ResetIsASocketError) {
  ScriptedServer server([](ScriptedPeer& peer) {
    peer.Send("abc");
    peer.Pause(50);
    peer.Reset();
  });
  TPowersock sock;
  ConnectTo(sock, server);
  sock.SetTimeOut(5000);
  ExpectRaises<ESockError>([&] { sock.CaptureString(); }, "10054:Connection reset by peer");
}

TEST(PowersockSend, WriteStopsAtTheFirstZeroByte) {
  std::string received;
  {
    ScriptedServer server([&](ScriptedPeer& peer) {
      received = peer.ReceiveUntil("\r\n");
      peer.Send("ok\n");
    });
    TPowersock sock;
    ConnectTo(sock, server);
    sock.Write(std::string("abc\0def", 7));
    sock.Writeln("z");
    // The first socket closes abortively: wait for the answer so nothing sent is thrown away.
    EXPECT_EQ(sock.ReadLn(), "ok\n");
  }
  EXPECT_EQ(received, "abcz\r\n");
}

TEST(PowersockSend, FileGoesOutWholeAndComesBackIntoAFile) {
  test_support::TempDir dir;
  std::string contents;
  for (int i = 0; contents.size() < 200000; ++i) contents += std::to_string(i) + ",";
  std::ofstream(dir.File("out.bin"), std::ios::binary) << contents;
  ScriptedServer server([&](ScriptedPeer& peer) { peer.Send(peer.Receive(contents.size())); });
  TPowersock sock;
  ConnectTo(sock, server);
  int packets = 0;
  sock.OnPacketSent = [&](TPowersock&) { ++packets; };
  sock.SendFile(dir.File("out.bin"));
  EXPECT_EQ(sock.GetSentCount(), static_cast<long long>(contents.size()));
  EXPECT_GE(packets, 1);
  sock.CaptureFile(dir.File("in.bin"));
  std::stringstream back;
  back << std::ifstream(dir.File("in.bin"), std::ios::binary).rdbuf();
  EXPECT_EQ(back.str(), contents);
  EXPECT_EQ(sock.GetReceivedCount(), static_cast<long long>(contents.size()));
}

TEST(PowersockTransaction, ReplyCodeComesFromTheLeadingDigits) {
  ScriptedServer server([](ScriptedPeer& peer) {
    peer.ReceiveUntil("\r\n");
    peer.Send("250 Requested action okay\r\n");
    peer.ReceiveUntil("\r\n");
    peer.Send("OK no number\r\n");
  });
  TPowersock sock;
  ConnectTo(sock, server);
  EXPECT_EQ(sock.Transaction("NOOP"), "250 Requested action okay\r\n");
  EXPECT_EQ(sock.GetReplyCode(), 250);
  EXPECT_EQ(sock.GetReplyLine(), "250 Requested action okay\r\n");
  sock.Transaction("NOOP");
  EXPECT_EQ(sock.GetReplyCode(), 0);
}

TEST(PowersockStatus, ReportLevelFiltersTheTexts) {
  ScriptedServer server([](ScriptedPeer& peer) { peer.ReceiveUntil("\r\n"); });
  TPowersock sock;
  std::vector<std::string> reported;
  sock.OnStatus = [&](TPowersock&, const std::string& status) { reported.push_back(status); };
  sock.SetReportLevel(4);
  ConnectTo(sock, server);
  sock.Writeln("x");
  EXPECT_THAT(reported, ElementsAre("Sending Buffer"));
  sock.Disconnect();
  EXPECT_THAT(reported, ElementsAre("Sending Buffer", "Request Close Socket"));
  EXPECT_EQ(sock.GetStatusText(), "Request Close Socket");
  sock.SetReportLevel(0);
  sock.Disconnect();
  EXPECT_EQ(reported.size(), 2u);
}

// A session that listens, as a data-connection server derived from it would: the accept event ends the wait.
class ListeningSock : public TPowersock {
 public:
  ListeningSock() {
    OnAcceptReady = [this](TPowersock&) { waitDoneFlag_ = true; };
  }
};

TEST(PowersockAccept, TakesThePendingConnectionWithItsPeerAddress) {
  ListeningSock sock;
  const int listener = static_cast<int>(sock.GetSocketHandle());
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const int client = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  const net::Socket accepted = sock.Accept();
  EXPECT_NE(accepted, net::kInvalidSocket);
  EXPECT_EQ(sock.GetRemoteAddress().address, htonl(INADDR_LOOPBACK));
  EXPECT_TRUE(sock.IsConnected());
  if (accepted != net::kInvalidSocket) net::Close(accepted);
  ::close(client);
}

TEST(PowersockAccept, CancelEndsTheAcceptWait) {
  TPowersock sock;
  sock.SetEventPump([&] { sock.Cancel(); });
  ExpectRaises<ESockError>([&] { sock.Accept(); }, "Accepting Canceled");
}

TEST(ThreadTimer, TicksOnlyWhenDueAndRefusesAnIntervalItCannotKeep) {
  TThreadTimer timer;
  int ticks = 0;
  timer.SetInterval(50);
  EXPECT_EQ(timer.MillisecondsToTick(), -1);  // no handler yet: nothing scheduled
  timer.SetOnTimer([&](TThreadTimer&) { ++ticks; });
  EXPECT_FALSE(timer.DispatchDue());
  EXPECT_GT(timer.MillisecondsToTick(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_TRUE(timer.DispatchDue());
  EXPECT_FALSE(timer.DispatchDue());
  EXPECT_EQ(ticks, 1);
  timer.SetEnabled(false);
  EXPECT_EQ(timer.MillisecondsToTick(), -1);
  try {
    timer.SetInterval(TThreadTimer::kMaxInterval + 1u);
    timer.SetEnabled(true);
    ADD_FAILURE() << "an interval beyond the limit was scheduled";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "No Timer");
  }
}

}  // namespace
}  // namespace lumora
