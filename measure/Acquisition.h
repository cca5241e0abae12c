// Steps shared by the acquisitions: asking a channel's pattern checker, and
// telling whether a result request brought its reply whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/Tessok_API.h"

namespace tessok::measure {

enum class Checker {
  Synchronised,
  NotSynchronised,  // the checker read 0 on a working link
  ReadFailed,       // the state could not be read: the link failed
};

// Asks the checker of a channel (Tessok_API::PRBSVerfication, which maps the
// channel itself); its lastResult tells a failed read from a checker that
// reads 0.
inline Checker AskChecker(Tessok_API& api, int ch) {
  if (api.PRBSVerfication(ch) != 0) return Checker::Synchronised;
  return api.lastResult == 0 ? Checker::ReadFailed : Checker::NotSynchronised;
}

// After a result request HwLayer::status holds the received length when the
// request was sent, and the send's result (at most one packet's length, or an
// error) when it was not; a peer that closed answers 0 bytes. Every decoding
// reads more than a packet's length, so one comparison with the bytes it
// reads refuses a request not sent, a receive error, a closed peer and a
// short reply alike. A short reply ends the connection, as any failed
// exchange does: the rest of the block may still be on its way.
inline bool ReplyHolds(HwLayer& hw, std::size_t bytes) { return hw.RequireReply(bytes); }

}  // namespace tessok::measure
