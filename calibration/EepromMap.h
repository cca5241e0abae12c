// Fixed EEPROM addresses of the instrument (byte addresses; every stored value
// but the raw 16-bit accesses is a double of 8 bytes, least significant first).
// Areas meet and overlap where their rules say so; instruments only use the
// areas their model's operations reach.
#pragma once

#include <cstdint>

namespace tessok::eeprom {

// Address and data registers (bank 0 for 0x0000-0xFFFF, bank 1 above).
inline constexpr std::uint16_t kAddressRegister = 10;
inline constexpr std::uint16_t kDataRegister = 11;
inline constexpr std::uint32_t kBankBoundary = 0x10000;

// Status table: 96 doubles per lane.
inline constexpr std::uint16_t kStatusBase = 0x2000;
inline constexpr std::uint16_t kStatusBaseSecond = 0x4000;
inline constexpr int kStatusItemsPerLane = 96;

// Level calibration block of lane l at base + 1792 l.
inline constexpr std::uint32_t kLevelBlockBase = 768;
inline constexpr std::uint32_t kLevelBlockBaseHigh = 20480;
inline constexpr std::uint32_t kLevelBlockStride = 1792;
inline constexpr std::uint32_t kLevelLowRateOffset = 40;  // generic: low-rate row, then high-rate row
inline constexpr std::uint32_t kLevelHighRateOffset = 80;
inline constexpr std::uint32_t kAltEntryStride = 48;   // 7746 and 7769: 6 doubles per kind
inline constexpr std::uint32_t kAlt7EntryStride = 56;  // 7668 (option 11), 7766, 7812: 7 doubles

// Swing-family block of lane l at base + 40 + 1280 l.
inline constexpr std::uint32_t kSwingBlockBase7592 = 4096;
inline constexpr std::uint32_t kSwingBlockBase = 20480;
inline constexpr std::uint32_t kSwingBlockOffset = 40;
inline constexpr std::uint32_t kSwingBlockStride = 1280;

// Auxiliary tables: header of lane l at header + 8 l, row r at rows + 768 l + 56 r.
// A row is a CalibrationRow of 7 doubles; the rows of a lane follow each other
// without gaps. Table C lies above 0x10000 (bank 1 for register access).
inline constexpr std::uint32_t kAuxAHeader = 0x4FCE;
inline constexpr std::uint32_t kAuxARows = 0x5000;
inline constexpr std::uint32_t kAuxBHeader = 0x6FCE;
inline constexpr std::uint32_t kAuxBRows = 0x7000;
inline constexpr std::uint32_t kAuxCHeader = 0x10FCE;
inline constexpr std::uint32_t kAuxCRows = 0x11000;
inline constexpr std::uint32_t kAuxLaneStride = 768;
inline constexpr std::uint32_t kAuxRowStride = 56;
inline constexpr int kAuxRowDoubles = 7;
inline constexpr int kAuxAmplitudeRows = 10;  // tables A and B, per lane
inline constexpr int kAuxLevelCRows = 5;      // table C, per lane
// The global-level table: one header and 7 rows, 56 bytes apart.
inline constexpr std::uint32_t kAuxGlobalHeader = 0x9000;
inline constexpr std::uint32_t kAuxGlobalRows = 0x9032;
inline constexpr int kAuxGlobalRowCount = 7;

// Optimal-settings record (a, b) at 0x9000 + 40 (4a + b): five doubles.
inline constexpr std::uint32_t kOptimalSettingsBase = 0x9000;
inline constexpr std::uint32_t kOptimalSettingsRecordSize = 40;

// Per-rate values: a lane signal processor's rate code per selector, the one
// for 10.3125 Gb/s at the base and the one for 25.78125 Gb/s 8 bytes above.
// Selector 0 sits at 272, or at 256 on boards with a short serial number
// (which also get a copy written at 272); selectors 1 to 3 at their own bases.
inline constexpr std::uint32_t kRateValuesBase = 256;
inline constexpr std::uint32_t kRateValuesBaseLong = 272;
inline constexpr std::uint32_t kRateValuesBaseSelector1 = 336;
inline constexpr std::uint32_t kRateValuesBaseSelector2 = 512;
inline constexpr std::uint32_t kRateValuesBaseSelector3 = 592;
inline constexpr std::uint32_t kRateValueHighOffset = 8;  // the 25.78125 Gb/s value

}  // namespace tessok::eeprom
