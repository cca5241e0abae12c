// Line-rate and clock registers (bank 0 unless noted).
#pragma once

#include <cstdint>

namespace tessok::reg {

// ---- Clock files and line rate ----

// Clock-chip pairs: the chip register address to 0x106, then its value to
// 0x107, at the loader's bank; the 0x107 write programs the chip.
inline constexpr std::uint16_t kClockChipAddress = 0x106;
inline constexpr std::uint16_t kClockChipValue = 0x107;
// Clock input selection written from the mode line of a clock file (bank 1 or 3).
inline constexpr std::uint16_t kClockInputSelect = 0x103;
inline constexpr std::uint16_t kClockInputBankLow = 1;   // modes 0 and 1
inline constexpr std::uint16_t kClockInputBankHigh = 3;  // every other mode
// Board control register whose bit 1 is pulsed low then high before a 7775's
// clock chip is loaded.
inline constexpr std::uint16_t kBoardControl = 2;
inline constexpr std::uint16_t kBoardControlClockBit = 0x0002;

}  // namespace tessok::reg
