// Blocking IPv4 TCP sockets for the instrument link.
//
// A handle is the operating system's socket plus one, so that the zero that a
// freshly zero-filled instrument object holds means "no socket": commands sent
// before the first connection fail at once instead of writing to descriptor 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessok::platform {

using SocketHandle = std::int32_t;
inline constexpr SocketHandle kNoSocket = 0;

// Starts the socket library of the operating system (nothing to do on POSIX).
int StartSockets();
// A new IPv4 stream socket, or kNoSocket.
SocketHandle CreateTcpSocket();
// Binds to the wildcard address and port 0; 0 on success.
int BindAny(SocketHandle s);
// Sets the receive and then the send time-out, in milliseconds (or the test
// override below, when one is set).
void SetTimeouts(SocketHandle s, std::uint32_t milliseconds);
// Connects to a dotted IPv4 text (no name resolution) and port; 0 on success.
int ConnectIPv4(SocketHandle s, const char* dotted, std::uint16_t port);
// Sends once; bytes taken or -1. Never raises a signal when the peer has gone.
long Send(SocketHandle s, const void* data, std::size_t length);
// Receives once; bytes received, 0 when the peer closed, -1 on error or time-out.
long Receive(SocketHandle s, void* data, std::size_t capacity);
// Closes the socket; 0 on success.
int Close(SocketHandle s);

// Test hook: from this call on, SetTimeouts applies `milliseconds` to every
// socket of the process in place of the time-out it is given; 0 removes the
// override. Sockets already set keep their time-outs.
void OverrideTimeouts(std::uint32_t milliseconds);

enum class Transfer { Send, Receive };
// Test hook: the n-th call of that kind (0 = the next one), counted over every socket of the process from this call on,
// reports failure (-1) once. A failed send sends nothing. A failed receive still waits for the reply and takes it off
// the socket, so the instrument has carried the request out and answered it by the time the call returns. The link
// treats either as a failed exchange and closes its socket. A later call replaces an earlier pending fault of the same
// kind.
void FailTransferOnce(Transfer kind, std::uint64_t n);
// Forgets pending faults.
void ClearTransferFaults();

}  // namespace tessok::platform
