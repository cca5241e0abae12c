#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>

namespace tessok::platform {

namespace {
int Fd(SocketHandle s) { return s - 1; }

// Pending transfer faults, one per kind: 0 when none is pending, else one more
// than the number of calls of that kind still to pass before the one that fails.
std::atomic<std::uint64_t> g_pendingFault[2];

// The time-out SetTimeouts applies in place of its argument; 0 when none.
std::atomic<std::uint32_t> g_timeoutOverrideMs{0};

std::atomic<std::uint64_t>& PendingFault(Transfer kind) { return g_pendingFault[kind == Transfer::Send ? 0 : 1]; }

// Counts one call down; true for the call that is to fail.
bool CountDown(std::atomic<std::uint64_t>& pending, std::uint64_t left) {
  while (left != 0 && !pending.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
  }
  return left == 1;
}

// True when this call of the kind is to report failure. The normal path costs one relaxed load.
bool FaultDue(Transfer kind) {
  std::atomic<std::uint64_t>& pending = PendingFault(kind);
  const std::uint64_t left = pending.load(std::memory_order_relaxed);
  if (left == 0) [[likely]] {
    return false;
  }
  return CountDown(pending, left);
}

long ReceiveOnce(SocketHandle s, void* data, std::size_t capacity) {
  ssize_t n;
  do {
    n = ::recv(Fd(s), data, capacity, 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<long>(n);
}

// A faulted receive still takes the reply (up to one reply buffer of the link)
// into a scratch buffer: the request has then been carried out and answered
// when the call returns, and the caller's buffer is left as a real failed
// receive leaves it.
[[gnu::noinline]] void DiscardReply(SocketHandle s, std::size_t capacity) {
  if (s == kNoSocket) return;
  unsigned char scratch[1024];
  ReceiveOnce(s, scratch, std::min(capacity, sizeof scratch));
}
}  // namespace

void FailTransferOnce(Transfer kind, std::uint64_t n) {
  const std::uint64_t left = n < std::numeric_limits<std::uint64_t>::max() ? n + 1 : n;
  PendingFault(kind).store(left, std::memory_order_relaxed);
}

void ClearTransferFaults() {
  PendingFault(Transfer::Send).store(0, std::memory_order_relaxed);
  PendingFault(Transfer::Receive).store(0, std::memory_order_relaxed);
}

void OverrideTimeouts(std::uint32_t milliseconds) {
  g_timeoutOverrideMs.store(milliseconds, std::memory_order_relaxed);
}

int StartSockets() { return 0; }

SocketHandle CreateTcpSocket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return kNoSocket;
  return fd + 1;
}

int BindAny(SocketHandle s) {
  if (s == kNoSocket) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  addr.sin_port = 0;
  return ::bind(Fd(s), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ? 0 : -1;
}

void SetTimeouts(SocketHandle s, std::uint32_t milliseconds) {
  if (s == kNoSocket) return;
  const std::uint32_t overrideMs = g_timeoutOverrideMs.load(std::memory_order_relaxed);
  if (overrideMs != 0) milliseconds = overrideMs;
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(milliseconds / 1000);
  tv.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  ::setsockopt(Fd(s), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(Fd(s), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

int ConnectIPv4(SocketHandle s, const char* dotted, std::uint16_t port) {
  if (s == kNoSocket || dotted == nullptr) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  // inet_addr converts the text directly; an invalid text gives 255.255.255.255,
  // to which the connection then fails.
  addr.sin_addr.s_addr = ::inet_addr(dotted);
  int r;
  do {
    r = ::connect(Fd(s), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  } while (r != 0 && errno == EINTR);
  return r == 0 ? 0 : -1;
}

long Send(SocketHandle s, const void* data, std::size_t length) {
  if (FaultDue(Transfer::Send)) return -1;  // nothing goes out
  if (s == kNoSocket) return -1;
  ssize_t n;
  do {
    n = ::send(Fd(s), data, length, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<long>(n);
}

long Receive(SocketHandle s, void* data, std::size_t capacity) {
  if (FaultDue(Transfer::Receive)) {
    DiscardReply(s, capacity);
    return -1;
  }
  if (s == kNoSocket) return -1;
  return ReceiveOnce(s, data, capacity);
}

int Close(SocketHandle s) {
  if (s == kNoSocket) return -1;
  return ::close(Fd(s)) == 0 ? 0 : -1;
}

}  // namespace tessok::platform
