// Lane, pattern, counter, auxiliary-output, window and module-cage registers
// (lane registers at the lane's bank unless noted).
#pragma once

#include <cstdint>

namespace tessok::reg {

// ---- Transmitter output ----

inline constexpr std::uint16_t kInnerEyeLevel = 0x202;          // PAM4 inner eye level, 16-bit signed
inline constexpr std::uint16_t kPreEmphasis = 0x20C;            // 16-bit signed
inline constexpr std::uint16_t kPostEmphasis = 0x20D;           // 16-bit signed
inline constexpr std::uint16_t kOutputLevel = 0x20E;            // level code (calibrated or raw); bank 1: board driver
inline constexpr std::uint16_t kOutputLevelCalibrated = 0x221;  // calibrated level code 0..4095
inline constexpr std::uint16_t kMainTap = 0x228;                // 16-bit signed
inline constexpr std::uint16_t kOutputSwing = 0x228;            // the swing code, on the swing-coded models
inline constexpr std::uint16_t kMainTap7746 = 0x22A;
inline constexpr std::uint16_t kOuterEyeLevel = 0x22A;  // PAM4 outer eye level, 16-bit signed
inline constexpr std::uint16_t kOuterEyeLevel7746 = 0x22B;
inline constexpr std::uint16_t kTap0 = 0x22D;                // taps 0..6 at 0x22D..0x233, 16-bit signed
inline constexpr std::uint16_t kEnabledOutputLevel = 0x400;  // level code 0..4095 of the boards with an output enable
inline constexpr std::uint16_t kOutputEnable = 0x408;        // 1 or 0
// Board-level output driver (bank 0): two raw values and the calibrated level code.
inline constexpr std::uint16_t kBoardDriverA = 54;
inline constexpr std::uint16_t kBoardDriverB = 55;
inline constexpr std::uint16_t kBoardDriverLevel = 56;
inline constexpr std::uint16_t kLevelTableForm = 14;  // bank 0, read: handed to the level conversions
inline constexpr std::uint16_t kChipOutputLevel = 9;  // chip register: 6-bit level code (7822, 7792)

// ---- Receiver ----

inline constexpr std::uint16_t kDspMode = 0x21D;  // written 1, then the mode
inline constexpr std::uint16_t kCtle = 0x21E;
inline constexpr std::uint16_t kSamplingPoint = 0x30A;  // threshold code << 8 | phase code (7 bits)
inline constexpr std::uint16_t kDecisionThreshold = 0x30B;
inline constexpr std::uint16_t kSamplingPointReadBack = 0x30C;  // written 0, then read: threshold << 8 | phase

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
