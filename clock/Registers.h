// Line-rate and clock registers: the lane rate registers (at the lane's bank)
// and the signal-processor window words the line-rate operations use, then the
// clock-file and line-rate configuration registers (bank 0 unless noted). Some
// of these numbers mean other things to the signal path on other board
// families (signal/Registers.h).
#pragma once

#include <cstdint>

namespace tessok::reg {

// ---- Lane rate registers ----

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

// ---- Clock files and line rate ----

// Clock-chip pairs: the chip register address to 0x106, then its value to
// 0x107, at the loader's bank; the 0x107 write programs the chip.
inline constexpr std::uint16_t kClockChipAddress = 0x106;
inline constexpr std::uint16_t kClockChipValue = 0x107;
// Clock selection: the clock input a clock file's mode line names (bank 1 or
// 3), and the clock-output select of the clock-output operations (bank 0
// unless they name a bank).
inline constexpr std::uint16_t kClockSelect = 0x103;
inline constexpr std::uint16_t kClockInputBankLow = 1;   // modes 0 and 1
inline constexpr std::uint16_t kClockInputBankHigh = 3;  // every other mode
// Board control register whose bit 1 is pulsed low then high before a 7775's
// clock chip is loaded.
inline constexpr std::uint16_t kBoardControl = 2;
inline constexpr std::uint16_t kBoardControlClockBit = 0x0002;
// Line-rate configuration: 0x100 is written with the operation's mode in its
// bank field; 0x104 is 1 only on a 7733 with option 30 in mode 2 (no clock
// file then), else 0; 0x105 takes the rate-range and option bits.
inline constexpr std::uint16_t kRateControl = 0x100;
// Clock source: 1 selects the reference path; for the clock outputs, the
// divider of every source but source 3.
inline constexpr std::uint16_t kClockSource = 0x104;
inline constexpr std::uint16_t kRateRange = 0x105;

// ---- Clock outputs and reference clock (bank 0 unless an operation names a bank) ----
// The bank-select clock output writes kRateControl = 0 at its first bank.
inline constexpr std::uint16_t kReferenceControl = 0x101;    // 8 after a reference frequency on the plain path
inline constexpr std::uint16_t kClockOutDividerAlt = 0x102;  // divider of clock source 3
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
