// The bare wire beside the library's link: a TCP connection of the
// benchmark's own to a simulated instrument, over which 128-byte requests go
// out and their replies come back with one send and one receive each, and
// nothing more. It is the baseline of the benchmarks that time the library's
// register traffic; connect it to an instrument of its own, so that its
// requests do not mix with the library's in the instrument's log.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "link/Packet.h"

namespace tessok::bench {

class RawLink {
 public:
  // Connects to port 6653 of the address, Nagle's delay off.
  explicit RawLink(const char* address) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    if (fd_ < 0) return;
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(link::kInstrumentPort);
    addr.sin_addr.s_addr = ::inet_addr(address);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~RawLink() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawLink(const RawLink&) = delete;
  RawLink& operator=(const RawLink&) = delete;

  bool Connected() const { return fd_ >= 0; }

  // One request and its reply: true when all 128 bytes went out and a reply came back.
  bool RoundTrip(const std::uint8_t (&request)[link::kPacketSize]) {
    if (::send(fd_, request, sizeof request, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof request)) return false;
    return ::recv(fd_, reply_, sizeof reply_, 0) > 0;
  }

  // A register write (the data word in bytes 6-7) and its reply.
  bool WriteRegister(std::uint16_t bank, std::uint16_t reg, std::uint16_t data) {
    link::BuildRegisterWrite(request_, bank, reg, data);
    return RoundTrip(request_);
  }

 private:
  int fd_;
  std::uint8_t request_[link::kPacketSize] = {};
  std::uint8_t reply_[link::kReplyCapacity] = {};
};

}  // namespace tessok::bench
