// Lane rate registers (at the lane's bank) and the signal-processor window
// words the line-rate operations use. Some of these numbers mean other things
// to the signal path on other board families (signal/Registers.h).
#pragma once

#include <cstdint>

namespace tessok::reg {

inline constexpr std::uint16_t kLaneRateCode = 0x205;  // the lane signal processor's rate code
inline constexpr std::uint16_t kLaneRateLow = 0x207;   // integer rate in Gb/s, bits 0-7
inline constexpr std::uint16_t kLaneRateHigh = 0x208;  // bits 8-15
// 0x228 opens (1) and closes (0) a lane rate update; before a code read-back
// it takes the rate in Mb/s.
inline constexpr std::uint16_t kLaneRateUpdate = 0x228;
inline constexpr std::uint16_t kRateQueryMbps = 0x228;
// Per-lane words kept across a re-rate; the third is also the rate-code read-back.
inline constexpr std::uint16_t kLaneKeptWordA = 0x229;
inline constexpr std::uint16_t kLaneKeptWordB = 0x22A;
inline constexpr std::uint16_t kLaneKeptWordC = 0x22B;
inline constexpr std::uint16_t kRateCodeReadBack = 0x22B;
inline constexpr std::uint16_t kLaneRateCommit = 0x22C;  // 1 commits the update
inline constexpr std::uint16_t kDspNotReady = 0x22D;     // written 0 after a failed readiness check

// Sub-registers of the signal-processor window (kDeviceWindowAddress/Data, core/Registers.h).
inline constexpr std::uint16_t kDspReadinessSub = 0;  // reads kDspReadyWord once the processor is ready
inline constexpr std::uint16_t kDspReadyWord = 0x104B;
inline constexpr std::uint16_t kRatePllSub = 38;

}  // namespace tessok::reg
