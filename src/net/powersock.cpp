// SPDX-License-Identifier: GPL-3.0-or-later
// The socket session: start-up, resolution, connect, close, the notifications and the time-out.

#include "net/powersock.h"

#include <algorithm>
#include <condition_variable>
#include <thread>
#include <utility>

namespace lumora {
namespace {

// Components that started the socket library; the first starts it, the last one gone cleans it up.
std::mutex libraryMutex;
int liveCount = 0;

// Set once, when the program ends; read by every wait. Trivially destroyed, so a thread that looks at it
// while the program's static objects go still finds it whole.
std::atomic<bool> programEnding{false};

std::string VersionText(std::uint16_t packed) {
  return std::to_string(packed >> 8) + "." + std::to_string(packed & 0xFF);
}

struct ErrorText {
  int number;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Wrong protocol type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection or reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to Host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unavailable"},
    {10092, "Incompatible version of WINSOCK.DLL"},
    {10093, "Successful WSAStartup not yet performed"},
    {11001, "Host not found"},
    {11002, "Non-Authoritative Host not found"},
    {11003, "Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
    {11004, "Valid name, no data record of requested type"},
};

}  // namespace

// A host-name lookup in flight. Shared with the thread that runs it, so a wait that gives up (time-out,
// cancel, destruction) leaves the late answer somewhere valid to land.
struct TPowersock::Lookup {
  std::mutex mutex;
  std::condition_variable answered;
  bool done = false;
  int error = 0;
  std::uint32_t address = 0;
};

TPowersock::TPowersock() {
  StatusMessage(kLevelDetail, "Create");
  waitTimer_.SetEnabled(false);
  waitTimer_.SetOnTimer([this](TThreadTimer&) { TimerTriggered(); });
  InitializeWinsock();
}

TPowersock::~TPowersock() {
  StatusMessage(kLevelDetail, "Destroy");
  try {
    Abort();
  } catch (...) {
  }
  Cancel();
  destroyingFlag_ = true;
  waitTimer_.SetEnabled(false);
  try {
    RequestCloseSocket();
  } catch (...) {
  }
  ReleaseLibrary();
}

int TPowersock::LiveCount() {
  const std::lock_guard lock(libraryMutex);
  return liveCount;
}

void TPowersock::InitializeWinsock() {
  StatusMessage(kLevelDetail, "Initializing Winsock");
  try {
    {
      const std::lock_guard lock(libraryMutex);
      if (++liveCount == 1) {
        const net::StartupData data = net::Startup();
        socketInfo_ = {
            "Version= " + VersionText(data.version),
            "High Version= " + VersionText(data.highVersion),
            "Description= " + data.description.substr(0, 257),
            "System= " + data.systemStatus.substr(0, 129),
            "Max Sockets= " + std::to_string(data.maxSockets),
            "Max Udp pack size= " + std::to_string(data.maxUdpDatagram),
        };
      }
      startedLibrary_ = true;
    }
    OpenSocket(6, true);
  } catch (...) {
    ReleaseLibrary();
    throw ESockError("Initializaton of windows sockets failed");
  }
}

void TPowersock::ReleaseLibrary() {
  const std::lock_guard lock(libraryMutex);
  if (!startedLibrary_) return;
  startedLibrary_ = false;
  if (--liveCount == 0) net::Cleanup();
}

// The session's socket is the one handle the rest of the interface knows as a 16-bit number.
void TPowersock::OpenSocket(int protocol, bool abortiveClose) {
  connecting_ = false;
  acceptNotified_ = false;
  const net::Socket opened = net::OpenStream(protocol);
  if (opened != net::kInvalidSocket && opened > 65535) {
    net::Close(opened);
    throw ERangeError();
  }
  socketHandle_ = opened;
  if (opened == net::kInvalidSocket) {
    CheckError(net::kWsaEWouldBlock);
    return;
  }
  // Linger 0: closing the first socket aborts its connection rather than lingering over unsent data.
  if (abortiveClose) net::SetAbortiveClose(opened);
}

void TPowersock::StatusMessage(int level, const std::string& text) {
  if (level > reportLevel_) return;
  {
    const std::lock_guard lock(statusMutex_);
    statusText_ = text;
  }
  if (destroyingFlag_ || !OnStatus) return;
  try {
    OnStatus(*this, text);
  } catch (...) {
  }
}

std::string TPowersock::GetStatusText() const {
  const std::lock_guard lock(statusMutex_);
  return statusText_;
}

std::string TPowersock::CheckError(int tolerated) {
  lastError_ = net::LastError();
  if (lastError_ != tolerated && lastError_ > 10000) {
    const std::string message = ErrorMessage(lastError_);
    if (OnSocketError) OnSocketError(*this, static_cast<std::uint16_t>(lastError_), message);
    throw ESockError(message);
  }
  return {};
}

std::string TPowersock::ErrorMessage(int errorNumber) {
  StatusMessage(kLevelDetail, "Looking Up Error Message");
  if (errorNumber == 0) return {};
  const auto* found =
      std::find_if(std::begin(kErrorTexts), std::end(kErrorTexts),
                   [errorNumber](const ErrorText& entry) { return entry.number == errorNumber; });
  if (found == std::end(kErrorTexts)) return "Unknown Error No. " + std::to_string(errorNumber);
  return std::to_string(errorNumber) + ":" + found->text;
}

// Switching the timer off first makes every TimerOn start a full period, also when Interval is unchanged.
void TPowersock::TimerOn() {
  StatusMessage(kLevelDetail, "Timer On");
  timedOutFlag_ = false;
  if (timeOut_ < 0) throw ERangeError();
  waitTimer_.SetEnabled(false);
  waitTimer_.SetInterval(static_cast<std::uint32_t>(timeOut_));
  waitTimer_.SetEnabled(true);
}

void TPowersock::TimerOff() {
  StatusMessage(kLevelDetail, "Timer Off");
  waitTimer_.SetEnabled(false);
}

void TPowersock::TimerTriggered() {
  StatusMessage(kLevelDetail, "Timer Triggered");
  TimerOff();
  timedOutFlag_ = true;
  waitDoneFlag_ = true;
  Abort();
}

void TPowersock::Cancel() {
  StatusMessage(kLevelDetail, "Canceling");
  cancelFlag_ = true;
}

void TPowersock::Abort() {
  StatusMessage(kLevelDetail, "Abort");
  Cancel();
}

bool TPowersock::DataAvailable() {
  StatusMessage(kLevelDetail, "Data Available");
  // A byte of its own rather than IoBuffer, which may hold a line being read.
  char byte = 0;
  return net::Recv(socketHandle_, &byte, 1, true) >= 1;
}

void TPowersock::HandleSocketMessage(unsigned message, std::uint32_t param) {
  try {
    eventOkFlag_ = (param >> 16) == 0;
    if (message == kSocketMessage) {
      switch (param & 0xFFFF) {
        case net::kFdRead:
          if (OnReadReady) {
            try {
              OnReadReady(*this);
            } catch (...) {
            }
          }
          break;
        case net::kFdAccept:
          connectedFlag_ = true;
          if (OnAcceptReady) OnAcceptReady(*this);
          break;
        case net::kFdConnect:
          if (eventOkFlag_) {
            connectedFlag_ = true;
            if (OnConnect) OnConnect(*this);
          }
          break;
        case net::kFdClose:
          if (!DataAvailable()) RequestCloseSocket();
          break;
        default:
          break;
      }
    } else if (message == kLookupMessage) {
      waitDoneFlag_ = true;
    }
  } catch (...) {
  }
}

bool TPowersock::WantsRead() const {
  if (socketHandle_ == net::kInvalidSocket || connecting_ || reading_) return false;
  if (net::IsListening(socketHandle_)) return !acceptNotified_;
  return connectedFlag_;
}

// Turns what poll saw into the events WinSock would post to a socket subscribed for read, out-of-band,
// accept, connect and close events.
void TPowersock::TakeSocketEvents(const net::Readiness& readiness) {
  if (socketHandle_ == net::kInvalidSocket) return;
  if (connecting_) {
    if (!readiness.writable && !readiness.failed) return;
    connecting_ = false;
    const int outcome = net::ConnectOutcome(socketHandle_);
    HandleSocketMessage(kSocketMessage, net::kFdConnect | (static_cast<std::uint32_t>(outcome) << 16));
    return;
  }
  if (!readiness.readable && !readiness.failed) return;
  if (net::IsListening(socketHandle_)) {
    if (acceptNotified_) return;
    acceptNotified_ = true;
    HandleSocketMessage(kSocketMessage, net::kFdAccept);
    return;
  }
  if (!connectedFlag_ || reading_) return;
  char byte = 0;
  const long peeked = net::Recv(socketHandle_, &byte, 1, true);
  if (peeked > 0) {
    HandleSocketMessage(kSocketMessage, net::kFdRead);
  } else if (peeked == 0 || net::LastError() != net::kWsaEWouldBlock) {
    HandleSocketMessage(kSocketMessage, net::kFdClose);
  }
}

void TPowersock::SetEventPump(TEventPump pump) {
  eventPump_ = std::move(pump);
  pumpThread_ = std::this_thread::get_id();
}

void TPowersock::EndAllWaits() {
  programEnding = true;
}

bool TPowersock::Pumped() const {
  return eventPump_ && std::this_thread::get_id() == pumpThread_;
}

bool TPowersock::NoteProgramEnd() {
  if (!programEnding) return false;
  cancelFlag_ = true;
  return true;
}

void TPowersock::DispatchTimerAndPump() {
  NoteProgramEnd();
  waitTimer_.DispatchDue();
  if (Pumped()) eventPump_();
}

void TPowersock::ProcessMessages() {
  const bool read = WantsRead();
  if (read || connecting_) TakeSocketEvents(net::WaitReady(socketHandle_, read, connecting_, 0));
  DispatchTimerAndPump();
}

int TPowersock::SliceMs() const {
  const int slice = Pumped() ? kWaitSliceMs : kUnpumpedSliceMs;
  const int tick = waitTimer_.MillisecondsToTick();
  return tick >= 0 ? std::min(slice, tick) : slice;
}

void TPowersock::WaitPass(bool forRead, bool forWrite) {
  if (NoteProgramEnd()) return;
  TakeSocketEvents(net::WaitReady(socketHandle_, forRead, forWrite, SliceMs()));
  DispatchTimerAndPump();
}

void TPowersock::ResolveHost() {
  StatusMessage(kLevelDetail, "Resolve Host");
  const std::string name = proxy_.empty() ? host_ : proxy_;
  const std::uint32_t dotted = net::InetAddr(name);
  if (dotted != net::kInAddrNone) {
    remoteAddress_.address = dotted;
    return;
  }
  remoteAddress_.address = 0;
  TimerOn();
  waitDoneFlag_ = false;
  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([lookup, name] {
      std::uint32_t address = 0;
      const int error = net::LookupHost(name, address);
      const std::lock_guard lock(lookup->mutex);
      lookup->error = error;
      lookup->address = address;
      lookup->done = true;
      lookup->answered.notify_all();
    }).detach();
  } catch (...) {
    TimerOff();
    throw;
  }
  WaitForLookup(lookup);
  TimerOff();
  if (timedOutFlag_) throw ESockError("Host Lookup Timed Out");
  if (cancelFlag_) throw ESockError("Host Lookup Canceled");
  if (!eventOkFlag_) throw ESockError("Host Lookup Failed");
  {
    const std::lock_guard lock(lookup->mutex);
    remoteAddress_.address = lookup->address;
  }
  if (OnHostResolved) OnHostResolved(*this);
}

// Sleeps on the lookup's answer a slice at a time, so the answer is taken the moment it comes while the
// time-out and the owner's events still get their turn.
void TPowersock::WaitForLookup(const std::shared_ptr<Lookup>& lookup) {
  bool delivered = false;
  while (!waitDoneFlag_ && !timedOutFlag_ && !cancelFlag_) {
    if (NoteProgramEnd()) break;
    const int slice = SliceMs();
    int error = 0;
    bool done = false;
    {
      std::unique_lock lock(lookup->mutex);
      done = lookup->answered.wait_for(lock, std::chrono::milliseconds(slice), [&] { return lookup->done; });
      error = lookup->error;
    }
    if (done && !delivered) {
      delivered = true;
      HandleSocketMessage(kLookupMessage, static_cast<std::uint32_t>(error) << 16);
    }
    DispatchTimerAndPump();
  }
}

void TPowersock::Connect() {
  StatusMessage(kLevelDetail, "Connecting");
  cancelFlag_ = false;
  if (connectedFlag_) throw ESockError("Already connected");

  for (int retries = 0;; ++retries) {
    try {
      ResolveHost();
    } catch (const ESockError& error) {
      if (error.Message() == "Host Lookup Timed Out" || error.Message() == "Host Lookup Canceled") throw;
    }
    if (remoteAddress_.address != 0) break;
    if (retries > 0 || !OnInvalidHost) throw ESockError("Null Remote Address");
    bool handled = false;
    OnInvalidHost(handled);
    if (!handled) throw ESockError("Null Remote Address");
  }

  remoteAddress_.family = net::kAfInet;
  const int port = proxy_.empty() ? port_ : proxyPort_;
  remoteAddress_.port = net::HostToNetwork16(static_cast<std::uint16_t>(port & 0xFFFF));

  waitDoneFlag_ = false;
  eventOkFlag_ = true;
  if (net::Connect(socketHandle_, remoteAddress_) == -1) CheckError(net::kWsaEWouldBlock);
  connecting_ = true;

  TimerOn();
  while (!connectedFlag_ && !timedOutFlag_ && !cancelFlag_ && eventOkFlag_) WaitPass(false, true);
  TimerOff();

  if (!timedOutFlag_ && !cancelFlag_ && eventOkFlag_) return;
  if (OnConnectionFailed) OnConnectionFailed(*this);
  if (timedOutFlag_) throw ESockError("Connection Timed out");
  if (cancelFlag_) throw ESockError("Connection Canceled");
  throw ESockError("Connection Failed");
}

void TPowersock::Disconnect() {
  StatusMessage(kLevelDetail, "Disconnecting");
  RequestCloseSocket();
}

void TPowersock::RequestCloseSocket() {
  StatusMessage(kLevelData, "Request Close Socket");
  connectedFlag_ = false;
  connecting_ = false;
  if (socketHandle_ == net::kInvalidSocket) return;
  const bool closed = net::Close(socketHandle_) == 0;
  // The descriptor is released even when close complains; keeping its number could close a stranger's later.
  socketHandle_ = net::kInvalidSocket;
  if (!closed) {
    CheckError(net::kWsaEWouldBlock);
    return;
  }
  if (destroyingFlag_) return;
  if (OnDisconnect) OnDisconnect(*this);
  OpenSocket(0, false);
}

}  // namespace lumora
