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

// ---- Clock outputs and reference clock (bank 0 unless an operation names a bank) ----

// Mode register of the line-rate operations (the mode goes in the bank field);
// the bank-select clock output writes it 0 at its first bank.
inline constexpr std::uint16_t kClockMode = 0x100;
inline constexpr std::uint16_t kReferenceControl = 0x101;    // 8 after a reference frequency on the plain path
inline constexpr std::uint16_t kClockOutDividerAlt = 0x102;  // divider of clock source 3
inline constexpr std::uint16_t kClockOutSelect = 0x103;
inline constexpr std::uint16_t kClockOutDivider = 0x104;  // divider of the other sources; 1 selects the reference path
inline constexpr std::uint16_t kRateRange = 0x105;        // rate-range and option bits (bit 6: the upper range)
// Clock-chip register plan: each pair goes out as the chip address, then its value.
inline constexpr std::uint16_t kClockChipAddress = 0x106;
inline constexpr std::uint16_t kClockChipValue = 0x107;
// A 32-bit clock word in two halves: the route of the clock output, or the
// synthesizer word of the reference clock.
inline constexpr std::uint16_t kClockWordLow = 0x109;
inline constexpr std::uint16_t kClockWordHigh = 0x10A;
inline constexpr std::uint16_t kLaneClockDivider = 0x30D;  // at the lane's bank: 8 (divide by 1) or 16
// Reference-frequency code: MHz x 100000 as a 32-bit signed value.
inline constexpr std::uint16_t kReferenceCodeLow = 36;
inline constexpr std::uint16_t kReferenceCodeHigh = 37;
// The 32-bit control value of registers 39 (bits 16-31) and 40 (bits 0-15).
inline constexpr std::uint16_t kControl39High = 39;
inline constexpr std::uint16_t kControl39Low = 40;

// Sub-registers of the window (kDeviceWindowAddress/Data) that route the clock.
inline constexpr std::uint16_t kClockRoutingSub = 45;
inline constexpr std::uint16_t kClockRoutingOn = 0x8000;
inline constexpr std::uint16_t kClockRoutingInitial = 0x8001;  // the 7775's initial routing
inline constexpr std::uint16_t kClockRoutingSubB = 60;
inline constexpr std::uint16_t kClockRoutingInitialB = 18;  // the other boards' initial routing

}  // namespace tessok::reg
