// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_shim.h"
#include "net/thread_timer.h"
#include "toolkit/exceptions.h"

namespace lumora {

// A socket operation failed; the message is the text the user sees.
class ESockError : public Exception {
 public:
  using Exception::Exception;
};

// A read, capture or send was cancelled (by Cancel, Abort or the time-out).
class EAbortError : public ESockError {
 public:
  using ESockError::ESockError;
};

// A number does not fit where it has to go (the run-time library's range check).
class ERangeError : public Exception {
 public:
  ERangeError() : Exception("Range check error") {}
};

// One TCP client connection with blocking operations: resolve, connect, send, read a line, capture the rest
// of the stream, disconnect.
//
// Every operation blocks the calling thread until it ends, but the thread never spins: it sleeps in poll() on
// the socket (or on the host lookup) for a few milliseconds at a time and, between sleeps, delivers the
// socket's events, the time-out tick and — through the event pump the owner installs — the owner's own
// events. The UI thread installs a pump that processes its pending events, so the window stays alive during a
// transfer and a handler may call Cancel; on any other thread the pump is not run. Cancel and Abort may also
// be called from another thread: the flags they set are atomic and seen within one poll.
//
// TimeOut bounds every single wait (and, in a capture, the silence after the last chunk); when it runs out
// the operation is cancelled and raises its cancel error. With TimeOut 0 only Cancel ends a wait.
//
// After any raised error the socket stays as it was; the caller is expected to Disconnect.
class TPowersock {
 public:
  using TNotifyEvent = std::function<void(TPowersock& sender)>;
  using THandlerEvent = std::function<void(bool& handled)>;
  using TOnHostResolved = std::function<void(TPowersock& sender)>;
  using TOnStatus = std::function<void(TPowersock& sender, const std::string& status)>;
  using TOnSocketError =
      std::function<void(TPowersock& sender, std::uint16_t errorNumber, const std::string& message)>;
  using TEventPump = std::function<void()>;

  static constexpr std::size_t kIoBufferSize = 65536;
  // The status levels in use: reply lines, completed transactions, the data-path texts, everything else.
  static constexpr int kLevelReply = 1;
  static constexpr int kLevelTransaction = 2;
  static constexpr int kLevelData = 4;
  static constexpr int kLevelDetail = 8;
  // How long one sleep of a wait lasts at most with an event pump (the latency of the owner's events) and
  // without one (the latency of a Cancel from another thread and of the program's end). Data, a connection
  // and the time-out end a sleep at once.
  static constexpr int kWaitSliceMs = 10;
  static constexpr int kUnpumpedSliceMs = 50;

  // Starts the socket library (the first live component does) and opens an unconnected socket. Raises
  // ESockError "Initializaton of windows sockets failed" when either fails.
  TPowersock();
  virtual ~TPowersock();
  TPowersock(const TPowersock&) = delete;
  TPowersock& operator=(const TPowersock&) = delete;

  // --- Stored properties ---
  void SetHost(const std::string& host) { host_ = host; }
  const std::string& GetHost() const { return host_; }
  // Only the low 16 bits are used.
  void SetPort(int port) { port_ = port; }
  int GetPort() const { return port_; }
  // Milliseconds each wait may last, 0 for no limit. A negative value raises ERangeError at the next wait.
  void SetTimeOut(int milliseconds) { timeOut_ = milliseconds; }
  int GetTimeOut() const { return timeOut_; }
  // Status texts of this level and below reach OnStatus; 0 reports nothing.
  void SetReportLevel(int level) { reportLevel_ = level; }
  int GetReportLevel() const { return reportLevel_; }
  // When not empty, the host actually connected to, on ProxyPort (low 16 bits used).
  void SetProxy(const std::string& proxy) { proxy_ = proxy; }
  const std::string& GetProxy() const { return proxy_; }
  void SetProxyPort(int port) { proxyPort_ = port; }
  int GetProxyPort() const { return proxyPort_; }

  // Runs between the sleeps of every wait made on the thread that installs it, and never on another: a
  // thread that borrows the component (a worker) waits without a pump, in kUnpumpedSliceMs sleeps, and
  // never reaches into the installing thread's events or objects, also while that thread's program is
  // being torn down. Set it while no operation runs.
  void SetEventPump(TEventPump pump);

  // The program is ending: every wait of every component, on every thread, ends within one sleep as if
  // cancelled, and every later wait at once. There is no way back. Called on the way out, so no thread is
  // left waiting on a server while the program's objects are torn down.
  static void EndAllWaits();

  // --- Events (called only when set) ---
  TNotifyEvent OnConnect;           // the connection came up
  TNotifyEvent OnDisconnect;        // the socket was closed
  THandlerEvent OnInvalidHost;      // the host could not be resolved; set handled to get one more try
  TOnHostResolved OnHostResolved;   // a host name was looked up
  TOnStatus OnStatus;               // a status text at or below ReportLevel
  TNotifyEvent OnConnectionFailed;  // Connect ended without a connection
  TNotifyEvent OnPacketRecvd;       // after each chunk a capture takes in
  TNotifyEvent OnPacketSent;        // after each piece SendFile sends

  // --- Session ---
  // Resolves Host (or Proxy) and connects to Port (or ProxyPort). Raises ESockError "Already connected",
  // "Host Lookup Timed Out", "Host Lookup Canceled", "Null Remote Address" (not resolved; OnInvalidHost may
  // grant exactly one more attempt), or, after OnConnectionFailed, "Connection Timed out",
  // "Connection Canceled", "Connection Failed"; other socket errors as "number:text".
  virtual void Connect();
  // Closes the connection; the component then holds a fresh unconnected socket.
  virtual void Disconnect();
  // Ends the running wait: the operation raises its cancel error.
  void Cancel();
  // What the time-out does: Cancel, with status "Abort".
  virtual void Abort();
  // True when at least one byte is waiting to be read.
  bool DataAvailable();
  // Closes the socket (OnDisconnect when that succeeded) and, unless the component is being destroyed, opens
  // a fresh unconnected one.
  void RequestCloseSocket();

  // --- Data transfer ---
  // Sends the text up to its first zero byte (fewer than 65,536 bytes; more raise ERangeError).
  // Cancel or the time-out: EAbortError "Socket send aborted".
  void Write(const std::string& text);
  // Write of the text and CR LF.
  void Writeln(const std::string& text);
  // Sends length bytes, or with length 0 the bytes before the first zero byte (there must be one within
  // 65,536 bytes; more than 65,535 bytes before it raise ERangeError).
  void SendBuffer(const char* buffer, std::uint16_t length);
  // Sends a file in pieces of up to kIoBufferSize bytes; adds each piece sent to SentCount and calls
  // OnPacketSent. The time-out counts from the last piece the peer took. Raises EFOpenError when the file
  // cannot be opened, EAbortError "Socket send aborted" on Cancel or the time-out.
  void SendFile(const std::string& fileName);
  // The next line with its line end (CR LF or a bare LF). Takes nothing past the line end from the socket.
  // Returns an empty text when the peer closed before a line end (the partial line is dropped) or the
  // connection is gone (10057). Cancel, the time-out, or a line longer than the buffer: EAbortError
  // "Socket readln aborted".
  std::string ReadLn();
  // Everything up to the peer's close (or until the connection is gone, 10057), or the first maximum bytes
  // (negative: no maximum) with the rest left in the socket. The time-out counts from the last chunk. Cancel
  // or the time-out: EAbortError "Socket capture aborted".
  std::string CaptureString(long long maximum = -1);
  // The same, appended to a string of the caller's, which may have made room for what is announced; what
  // arrived before an error stays in it.
  void CaptureString(std::string& into, long long maximum);
  // The same into a file created or emptied under that name (EFCreateError if it cannot be).
  void CaptureFile(const std::string& fileName);
  // Writeln of the command, then ReadLn of the reply into ReplyLine; ReplyCode gets the reply's leading
  // decimal number (ERangeError outside −32768..32767).
  virtual std::string Transaction(const std::string& command);
  // Waits until a connection is ready to be accepted (WaitDoneFlag) and accepts it. Raises ESockError
  // "Accepting Canceled" / "Error creating Data Connection", EAbortError "Socket send aborted".
  virtual net::Socket Accept();

  // --- Errors ---
  // "number:text" for a WinSock error number, "Unknown Error No. n" for one not in the table, empty for 0.
  std::string ErrorMessage(int errorNumber);

  // --- Read-only state ---
  net::Socket GetSocketHandle() const { return socketHandle_; }
  bool IsConnected() const { return connectedFlag_; }
  int GetLastError() const { return lastError_; }
  std::string GetStatusText() const;
  long long GetSentCount() const { return sentCount_; }
  long long GetReceivedCount() const { return receivedCount_; }
  long long GetContentLength() const { return contentLength_; }
  const std::string& GetReplyLine() const { return replyLine_; }
  std::int16_t GetReplyCode() const { return replyCode_; }
  const net::SockAddrIn& GetRemoteAddress() const { return remoteAddress_; }
  // Six lines about the socket library, filled by the component that started it.
  const std::vector<std::string>& GetSocketInfo() const { return socketInfo_; }
  // Live components that started the socket library, process-wide.
  static int LiveCount();

 protected:
  // The notifications WinSock would post to the hidden window: socket events and the lookup's reply.
  static constexpr unsigned kSocketMessage = 1125;
  static constexpr unsigned kLookupMessage = 1126;

  // Reports text when level ≤ ReportLevel: StatusText := text, then OnStatus (not while being destroyed).
  // An error the handler raises is swallowed.
  void StatusMessage(int level, const std::string& text);
  // Takes the last socket error into LastError; unless it is the tolerated one or 10000 and below, calls
  // OnSocketError and raises ESockError with ErrorMessage. Otherwise returns an empty text.
  std::string CheckError(int tolerated);
  void TimerOn();
  void TimerOff();
  // The time-out tick: TimedOutFlag and WaitDoneFlag, then the virtual Abort.
  void TimerTriggered();
  // Puts the address of Proxy or Host into RemoteAddress (0 when the lookup failed).
  void ResolveHost();
  // One notification: message is kSocketMessage or kLookupMessage, param carries the event (low 16 bits) and
  // its error (high 16 bits). Errors raised inside are swallowed.
  void HandleSocketMessage(unsigned message, std::uint32_t param);
  // What the message loop does between waits: the socket's pending events, a due time-out tick, the owner's
  // pump. Does not sleep.
  void ProcessMessages();
  // One pass of a wait: sleeps until the socket is ready for what is asked, or for one slice (or until the
  // next tick), then delivers what was seen, a due tick and the owner's pump. Asking for neither just
  // sleeps, which is how waits for a lookup or a flag pass their time.
  void WaitPass(bool forRead, bool forWrite);

  std::array<char, kIoBufferSize + 1> ioBuffer_{};
  net::Socket socketHandle_ = net::kInvalidSocket;
  TThreadTimer waitTimer_;
  net::SockAddrIn remoteAddress_;

  std::atomic<bool> cancelFlag_{false};
  std::atomic<bool> timedOutFlag_{false};
  std::atomic<bool> eventOkFlag_{false};
  std::atomic<bool> waitDoneFlag_{false};
  std::atomic<bool> connectedFlag_{false};
  std::atomic<bool> destroyingFlag_{false};

  int lastError_ = 0;
  std::string statusText_;
  long long sentCount_ = 0;
  long long receivedCount_ = 0;
  long long contentLength_ = 0;
  std::string replyLine_;
  std::int16_t replyCode_ = 0;
  std::vector<std::string> socketInfo_;

  // Hidden hooks: the read and accept events, and a socket error about to be raised.
  TNotifyEvent OnReadReady;
  TNotifyEvent OnAcceptReady;
  TOnSocketError OnSocketError;

 private:
  struct Lookup;

  void InitializeWinsock();
  void OpenSocket(int protocol, bool abortiveClose);
  void TakeSocketEvents(const net::Readiness& readiness);
  void DispatchTimerAndPump();
  // Whether this thread's waits run the pump.
  bool Pumped() const;
  // Cancels the running operation once the program is ending; answers whether it is.
  bool NoteProgramEnd();
  bool WantsRead() const;
  void WaitForLookup(const std::shared_ptr<Lookup>& lookup);
  // How long the next sleep of a wait may last.
  int SliceMs() const;
  // The loop both captures share; take gets every chunk.
  void Capture(const std::function<void(const char*, std::size_t)>& take, long long maximum);
  void ReleaseLibrary();

  std::string host_;
  int port_ = 0;
  int timeOut_ = 0;
  int reportLevel_ = 0;
  std::string proxy_;
  int proxyPort_ = 0;
  TEventPump eventPump_;
  std::thread::id pumpThread_;
  bool connecting_ = false;      // a connect was started and its event has not come yet
  bool reading_ = false;         // a read sees the peer's close itself; no close event meanwhile
  bool acceptNotified_ = false;  // the accept event was delivered and nothing was accepted since
  bool startedLibrary_ = false;
  mutable std::mutex statusMutex_;  // Cancel may report from another thread
};

}  // namespace lumora
