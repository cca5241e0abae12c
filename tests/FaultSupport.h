// Transfer faults for tests: fail one send or receive of the link while the
// connection stays up (platform::FailTransferOnce), forgotten on scope exit so
// that no fault outlives the test that set it.
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

inline const char* Name(platform::Transfer kind) { return kind == platform::Transfer::Send ? "send" : "receive"; }

}  // namespace tessok::test
