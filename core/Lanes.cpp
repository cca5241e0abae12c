#include "core/Lanes.h"

#include "core/Tessok_API.h"

namespace tessok {

int ApplyLaneFixes(const Tessok_API& api, int n, unsigned fixes) {
  if ((fixes & kFix3To2) != 0 && api.board.remapLane3To2 && n == 3) return 2;
  if ((fixes & kFix1To0) != 0 && api.board.remapLane1To0 && n == 1) return 0;
  return n;
}

bool HasMapEntry(const Tessok_API& api, std::int64_t channel) {
  const std::int32_t entries = api.board.mapEntries;
  return entries < 0 || (channel >= 0 && channel < entries);
}

bool ResolveLane(const Tessok_API& api, std::int64_t channel, LaneRoute route, Lane* lane) {
  if (!IsLane(channel)) return false;
  const int ch = ApplyLaneFixes(api, static_cast<int>(channel), route.beforeMap);
  const std::uint32_t mapped = route.mapped ? api.channelMap[ch] : static_cast<std::uint32_t>(ch);
  if (!IsLane(mapped)) return false;
  const int bank = ApplyLaneFixes(api, static_cast<int>(mapped), route.afterMap);
  lane->channel = ch;
  lane->mapped = static_cast<std::uint16_t>(mapped);
  lane->bank = static_cast<std::uint16_t>(bank);
  return true;
}

}  // namespace tessok

// The per-lane arrays of the instrument object hold one entry per lane.
static_assert(sizeof(Tessok_API::lineRate) / sizeof(Tessok_API::lineRate[0]) == tessok::kLaneCount);
static_assert(sizeof(Tessok_API::channelMap) / sizeof(Tessok_API::channelMap[0]) == tessok::kLaneCount);
