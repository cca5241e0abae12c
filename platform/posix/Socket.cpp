#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace tessok::platform {

namespace {
int Fd(SocketHandle s) { return s - 1; }
}  // namespace

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
  if (s == kNoSocket) return -1;
  ssize_t n;
  do {
    n = ::send(Fd(s), data, length, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<long>(n);
}

long Receive(SocketHandle s, void* data, std::size_t capacity) {
  if (s == kNoSocket) return -1;
  ssize_t n;
  do {
    n = ::recv(Fd(s), data, capacity, 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<long>(n);
}

int Close(SocketHandle s) {
  if (s == kNoSocket) return -1;
  return ::close(Fd(s)) == 0 ? 0 : -1;
}

}  // namespace tessok::platform
