// Lane, pattern, counter, auxiliary-output, window and module-cage registers
// (lane registers at the lane's bank unless noted).
#pragma once

#include <cstdint>

namespace tessok::reg {

// ---- Transmitter output ----

// ---- Receiver ----

// ---- Patterns and checker ----

// ---- Error insertion and counters ----

// ---- Auxiliary output block ----
// Lane registers.
inline constexpr std::uint16_t kAuxFlag401 = 0x401;        // 1 or 0
inline constexpr std::uint16_t kAuxFrequencyHigh = 0x402;  // hertz, bits 16-31
inline constexpr std::uint16_t kAuxFrequencyLow = 0x403;   // hertz, bits 0-15
inline constexpr std::uint16_t kAuxAmplitudeA = 0x404;     // code 0-4095
inline constexpr std::uint16_t kAuxSetting = 0x405;
inline constexpr std::uint16_t kAuxAmplitudeBEnable = 0x406;  // 1 or 0
inline constexpr std::uint16_t kAuxAmplitudeB = 0x407;        // code 0-4095
inline constexpr std::uint16_t kAuxControl40C = 0x40C;        // 1-4095
inline constexpr std::uint16_t kAuxFlag419 = 0x419;           // 1 or 0
inline constexpr std::uint16_t kAuxControl41A = 0x41A;
inline constexpr std::uint16_t kAuxLevelC = 0x41B;   // code
inline constexpr std::uint16_t kLaneSignature = 29;  // read only
inline constexpr std::uint16_t kAuxFixedConversionSignature = 0xFACE;
// Board part, bank 0.
inline constexpr std::uint16_t kAuxGlobalControl = 0x40D;
inline constexpr std::uint16_t kAuxGlobalControlAlt = 0x411;  // option words 33 = 12 and 30 = 1
inline constexpr std::uint16_t kAuxGlobalFrequencyHigh = 0x40E;
inline constexpr std::uint16_t kAuxGlobalFrequencyLow = 0x40F;
inline constexpr std::uint16_t kAuxGlobalLevel = 0x412;  // code 0-4095
inline constexpr std::uint16_t kAuxControl417 = 0x417;   // repeats the last data word sent

// ---- DSP window and board control ----

// ---- Module cages ----

// ---- Module, cage, port, supply and bridge registers ----

}  // namespace tessok::reg
