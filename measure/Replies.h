// Whether a measurement's result request brought its reply whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/HwLayer.h"

namespace tessok::measure {

// After a result request HwLayer::status holds the received length when the
// request was sent, and the send's result (at most one packet's length, or an
// error) when it was not; a peer that closed answers 0 bytes. Every decoding
// reads more than a packet's length, so one comparison with the bytes it
// reads refuses a request not sent, a receive error, a closed peer and a
// short reply alike.
inline bool ReplyHolds(const HwLayer& hw, std::size_t bytes) {
  return hw.status >= 0 && static_cast<std::size_t>(hw.status) >= bytes;
}

}  // namespace tessok::measure
