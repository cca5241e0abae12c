// Whether a measurement's result request brought its reply whole.
#pragma once

#include <cstddef>

#include "link/HwLayer.h"
#include "link/Packet.h"

namespace tessok::measure {

// After a result request HwLayer::status holds the received length when the
// request was sent, and the send's result (at most one packet, or an error)
// when it was not; a peer that closed answers 0 bytes. Every decoding reads
// more than a packet's length, so one comparison with the bytes it reads
// refuses a request not sent, a receive error, a closed peer and a short reply.
template <std::size_t kBytes>
bool ReplyHolds(const HwLayer& hw) {
  static_assert(kBytes > link::kPacketSize && kBytes <= link::kReplyCapacity);
  return hw.status >= static_cast<std::int32_t>(kBytes);
}

}  // namespace tessok::measure
