// Channels, banks and the lane guard.
//
// A per-lane operation names a logical channel. Before it touches a register
// it turns the channel into a bank: optionally a fix-up on the channel, then
// optionally the channel map, then optionally a fix-up on the mapped bank.
// The two fix-ups belong to different models (3 -> 2 on a 7775 whose option
// word moves lane 3, 1 -> 0 on a 7841 whose option word moves lane 1), so at
// most one of them ever applies and their order does not matter; only their
// place before or after the channel map does.
#pragma once

#include <cstdint>

class Tessok_API;

namespace tessok {

// Channels, banks and every per-lane array of the instrument object: 16.
inline constexpr int kLaneCount = 16;

// Fix-ups, combinable as bits.
enum LaneFix : unsigned {
  kNoFix = 0,
  kFix3To2 = 1,  // 7775 with remapLane3 1: 3 becomes 2
  kFix1To0 = 2,  // 7841 with remapLane1 1: 1 becomes 0
  kBothFixes = kFix3To2 | kFix1To0,
};

// How an operation turns its channel into a bank.
struct LaneRoute {
  unsigned beforeMap = kNoFix;  // fix-ups of the channel number
  bool mapped = true;           // through Tessok_API::channelMap (else the channel is the bank)
  unsigned afterMap = kNoFix;   // fix-ups of the bank
};

// Routes used by many operations.
inline constexpr LaneRoute kMapped{kNoFix, true, kNoFix};   // channelMap[ch]
inline constexpr LaneRoute kDirect{kNoFix, false, kNoFix};  // the channel is the bank
inline constexpr LaneRoute kMappedThen3To2{kNoFix, true, kFix3To2};
inline constexpr LaneRoute kFix3To2ThenMapped{kFix3To2, true, kNoFix};

struct Lane {
  int channel;           // the channel after the fix-ups before the map
  std::uint16_t mapped;  // the bank before the fix-ups after the map (the lane most setters record under)
  std::uint16_t bank;    // the bank the registers are written at
};

// Applies the connected board's fix-ups named in `fixes` to n.
int ApplyLaneFixes(const Tessok_API& api, int n, unsigned fixes);

// The lane guard. Takes the caller's channel (any integer type) and the
// operation's route; false, with *lane untouched, when the channel lies
// outside 0-15 or maps to a bank outside 0-15, so no per-lane array is read
// out of bounds and nothing is sent for it.
bool ResolveLane(const Tessok_API& api, std::int64_t channel, LaneRoute route, Lane* lane);

// True for 0 <= n < kLaneCount.
constexpr bool IsLane(std::int64_t n) { return n >= 0 && n < kLaneCount; }

// Whether the connected model's row wrote the channel-map entry of `channel`
// at connection. An entry it did not write holds 0 from the start or another
// board's lane from an earlier connection, so the exported operations that go
// through the map refuse such a channel rather than reach that lane. A model
// outside the table (which writes no entry) keeps the map as it stands.
bool HasMapEntry(const Tessok_API& api, std::int64_t channel);

}  // namespace tessok
