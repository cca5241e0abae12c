// Lane, pattern, counter, auxiliary-output, window and module-cage registers
// (lane registers at the lane's bank unless noted).
#pragma once

#include <cstdint>

namespace tessok::reg {

// ---- Transmitter output ----

// ---- Receiver ----

// ---- Patterns and checker ----

inline constexpr std::uint16_t kPatternCode = 0x20F;  // 5 selects the user pattern of 0x211-0x213
inline constexpr std::uint16_t kPatternP3 = 0x210;
inline constexpr std::uint16_t kUserPatternWord0 = 0x211;  // each word register takes several writes in a row,
inline constexpr std::uint16_t kUserPatternWord1 = 0x212;  // most significant part first
inline constexpr std::uint16_t kUserPatternWord2 = 0x213;
inline constexpr std::uint16_t kPatternP4 = 0x218;  // p4, or its negation by model
inline constexpr std::uint16_t kPatternP5 = 0x219;
inline constexpr std::uint16_t kLaneEnable = 0x21A;
inline constexpr std::uint16_t kCheckerEnable = 0x21B;
inline constexpr std::uint16_t kCheckerState = 0x21C;  // read: non-zero when synchronised; write 0: resynchronise
inline constexpr std::uint16_t kGroupPulse = 0x220;    // pulsed 1 then 0 on the four lanes of a group
inline constexpr std::uint16_t kTxLock = 0x22B;        // read: non-zero when the transmitter is locked

// Pattern memory of the lane-pair device, behind the device window at bank
// ch / 2; the side (ch % 2) selects the column.
inline constexpr std::uint16_t kPatternDeviceMode = 8;        // device of the mode register
inline constexpr std::uint16_t kPatternDeviceControl = 30;    // device of the control and length registers
inline constexpr std::uint16_t kPatternDeviceBlocks = 0;      // device of the block registers
inline constexpr std::uint16_t kPatternModeRegister = 0x5DD;  // bit 3 cleared before an upload
inline constexpr std::uint16_t kPatternModeBit = 1u << 3;
inline constexpr std::uint16_t kPatternEnableBit = 1u << 0;  // of the control register
inline constexpr int kPatternBlockWords = 5;                 // 80 pattern bits per block

struct PatternMemorySide {
  std::uint16_t control;  // bit 0: pattern memory enabled
  std::uint16_t length;   // pattern bits / 2
  std::uint16_t index;    // block index
  std::uint16_t data;     // first of kPatternBlockWords data words
  std::uint16_t strobe;   // 3, 0, 3 stores the block
};
inline constexpr PatternMemorySide kPatternMemory[2] = {
    {0x45A5, 0x45AA, 0x45B1, 0x45B2, 0x45BC},
    {0x45AB, 0x45B0, 0x45BD, 0x45BE, 0x45C8},
};

// ---- Error insertion and counters ----

inline constexpr std::uint16_t kErrorInsertion = 0x20B;
inline constexpr std::uint16_t kCounterConfigB = 0x221;  // bank 0
inline constexpr std::uint16_t kCounterConfigA = 0x224;  // bank 0
inline constexpr std::uint16_t kCounterConfigC = 0x225;  // bank 0
inline constexpr std::uint16_t kCounterCommand = 0x302;
inline constexpr std::uint16_t kErrorCount0 = 0x303;      // running error count, bits 0-15
inline constexpr std::uint16_t kErrorCount16 = 0x304;     // bits 16-31
inline constexpr std::uint16_t kErrorCount32 = 0x305;     // bits 32-47
inline constexpr std::uint16_t kElapsedLow = 0x306;       // elapsed ms, bits 0-15
inline constexpr std::uint16_t kElapsedHigh = 0x307;      // bits 16-31
inline constexpr std::uint16_t kErrorCount48 = 0x30F;     // bits 48-63 where the count has 64 bits
inline constexpr std::uint16_t kCorrectionAHigh = 0x310;  // error-correction counter a, bits 16-31
inline constexpr std::uint16_t kCorrectionALow = 0x311;
inline constexpr std::uint16_t kCorrectionBHigh = 0x314;  // counter b, bits 16-31
inline constexpr std::uint16_t kCorrectionBLow = 0x315;

// Banks and data of the counter command register.
inline constexpr std::uint16_t kCommandStart = 1;  // data (per lane or group) or bank (bank-command form)
inline constexpr std::uint16_t kCommandStop = 2;
inline constexpr std::uint16_t kCommandClear = 3;         // bank of the clear command
inline constexpr std::uint16_t kCommandGatedRead = 0;     // data that precedes a gated read
inline constexpr std::uint16_t kCommandAllChannels = 20;  // channel code: every channel
inline constexpr std::uint16_t kConfigureStart = 3;       // data of the counter configuration, mode 1
inline constexpr std::uint16_t kConfigureStop = 2;        // mode 0

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
