// Link faults for tests, undone on scope exit so that none outlives the test
// that set it: one failed send or receive (platform::FailTransferOnce; the
// link then closes its socket, as after any failed exchange), and shortened
// socket time-outs (platform::OverrideTimeouts).
#pragma once

#include <cstdint>

#include "platform/Socket.h"

namespace tessok::test {

class TransferFaults {
 public:
  TransferFaults() { platform::ClearTransferFaults(); }
  ~TransferFaults() { platform::ClearTransferFaults(); }
  TransferFaults(const TransferFaults&) = delete;
  TransferFaults& operator=(const TransferFaults&) = delete;

  // The n-th send or receive from now on (0 = the next one) fails once.
  void Fail(platform::Transfer kind, std::uint64_t n) { platform::FailTransferOnce(kind, n); }
  void FailSend(std::uint64_t n) { Fail(platform::Transfer::Send, n); }
  void FailReceive(std::uint64_t n) { Fail(platform::Transfer::Receive, n); }
  void Clear() { platform::ClearTransferFaults(); }
};

// Sockets connected while it lives wait `milliseconds` for a send or a reply
// instead of the link's 100 s, so a test can meet a time-out.
class ShortTimeouts {
 public:
  explicit ShortTimeouts(std::uint32_t milliseconds) { platform::OverrideTimeouts(milliseconds); }
  ~ShortTimeouts() { platform::OverrideTimeouts(0); }
  ShortTimeouts(const ShortTimeouts&) = delete;
  ShortTimeouts& operator=(const ShortTimeouts&) = delete;
};

inline const char* Name(platform::Transfer kind) { return kind == platform::Transfer::Send ? "send" : "receive"; }

}  // namespace tessok::test
