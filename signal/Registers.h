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

// Sub-registers of the signal-processing device, reached through the window
// kDeviceWindowAddress / kDeviceWindowData (core/Registers.h) of a bank.
inline constexpr std::uint16_t kDspSubControl = 0;             // bank 1: bit 0 and the control bit below
inline constexpr std::uint16_t kDspSubState = 10;              // processor state: 0, 1, 2 or 6
inline constexpr std::uint16_t kDspControlBit0 = 1u << 0;      // bank 1, sub-register 0
inline constexpr std::uint16_t kDspControlBank1Bit = 1u << 1;  // bank 1, sub-register 0: set when on
inline constexpr std::uint16_t kDspControlBank0Bit = 1u << 4;  // bank 0, sub-registers 16 to 19: cleared when on
// Raw board-control registers of a bank.
inline constexpr std::uint16_t kBoardControl71 = 71;
inline constexpr std::uint16_t kBoardValue72 = 72;  // 72 to 75: a 64-bit value, least significant word first
inline constexpr std::uint16_t kBoardValueWords = 4;
inline constexpr std::uint16_t kBoardControl76 = 76;
inline constexpr std::uint16_t kLaneControl22C = 0x22C;  // lane register

// ---- Module cages ----

// QSFP-DD cage pins and monitors, at the port's bank. The pins hold the
// electrical level; select, reset, present and interrupt are active low.
inline constexpr std::uint16_t kQddModSel = 44;
inline constexpr std::uint16_t kQddModRst = 45;
inline constexpr std::uint16_t kQddModPrs = 46;
inline constexpr std::uint16_t kQddInt = 47;
inline constexpr std::uint16_t kQddModInit = 48;  // initialisation mode, active high
inline constexpr std::uint16_t kQddVcc1Current = 49;
inline constexpr std::uint16_t kQddVccCurrent = 50;
inline constexpr std::uint16_t kQddVccTxCurrent = 51;
inline constexpr std::uint16_t kQddVccRxCurrent = 52;
inline constexpr std::uint16_t kQddVoltage = 53;  // volts x 256; also read on bank 0 as whole volts
// OSFP cage pins and monitors, at the port's bank.
inline constexpr std::uint16_t kOsfpInt = 58;
inline constexpr std::uint16_t kOsfpModRst = 59;
inline constexpr std::uint16_t kOsfpModPrs = 60;
inline constexpr std::uint16_t kOsfpModLp = 61;  // low-power mode, active high
inline constexpr std::uint16_t kOsfpVccCurrent = 62;
inline constexpr std::uint16_t kOsfpVoltage = 63;  // volts x 256
// Bank 0: the module-bus windows (address, then data) and the adapter type.
inline constexpr std::uint16_t kQddBusAddress = 33;
inline constexpr std::uint16_t kQddBusData = 34;
inline constexpr std::uint16_t kOsfpBusAddress = 56;
inline constexpr std::uint16_t kOsfpBusData = 57;
inline constexpr std::uint16_t kAdapterType = 13;  // written 0, then read after kAdapterTypeWaitMs
inline constexpr unsigned kAdapterTypeWaitMs = 10;

// ---- Module, cage, port, supply and bridge registers ----

// Port pins and monitors, at the port's bank.
inline constexpr std::uint16_t kPortPin35 = 35;
inline constexpr std::uint16_t kPortPin36 = 36;
inline constexpr std::uint16_t kPortPin37 = 37;
inline constexpr std::uint16_t kPortPin38 = 38;
inline constexpr std::uint16_t kPortPin39 = 39;
inline constexpr std::uint16_t kPortPin40 = 40;
inline constexpr std::uint16_t kPortPin41 = 41;
inline constexpr std::uint16_t kPortMonitor42 = 42;     // x 256
inline constexpr std::uint16_t kPortMonitor43 = 43;     // x 256
inline constexpr std::uint16_t kPortLevelCode = 0x221;  // lane register at banks port x 4 to port x 4 + 3
inline constexpr std::uint16_t kPortLevelCodeMax = 31;
// Module power and supply: bank 0 for the global ones, else the port's bank.
inline constexpr std::uint16_t kModuleGlobalEnable = 60;       // bank 0, active low
inline constexpr std::uint16_t kModuleEnable63 = 63;           // bank 0
inline constexpr std::uint16_t kModulePower = 52;              // 1 switches the module off
inline constexpr std::uint16_t kModuleSupplyVoltage = 53;      // volts x 100
inline constexpr std::uint16_t kModuleSupplyVoltageRead = 54;  // volts x 256
inline constexpr std::uint16_t kModuleSupplyCurrent = 55;      // x 256
inline constexpr std::uint16_t kModuleStatusPin = 62;          // 0 reports 1
inline constexpr std::uint16_t kModuleSupplyLimitFlag = 57;    // bank 0
inline constexpr std::uint16_t kModuleSupplyLimitHigh = 58;    // bank 0: bits 16-31 of the limit
inline constexpr std::uint16_t kModuleSupplyLimitLow = 59;     // bank 0: bits 0-15
inline constexpr double kModuleSupplyMinVolts = 3.1;
inline constexpr double kModuleSupplyMaxVolts = 3.6;
// Module registers, at the port's bank.
inline constexpr std::uint16_t kModuleWindowAddress = 34;
inline constexpr std::uint16_t kModuleWindowData = 35;
inline constexpr std::uint16_t kModuleMonitor36 = 36;  // monitors 36 to 41: x 256
inline constexpr std::uint16_t kModuleMonitor37 = 37;
inline constexpr std::uint16_t kModuleMonitor38 = 38;
inline constexpr std::uint16_t kModuleMonitor39 = 39;
inline constexpr std::uint16_t kModuleMonitor40 = 40;
inline constexpr std::uint16_t kModuleMonitor41 = 41;
inline constexpr std::uint16_t kModulePin43 = 43;
inline constexpr std::uint16_t kModulePin44 = 44;
inline constexpr std::uint16_t kModulePin45 = 45;
inline constexpr std::uint16_t kModulePin46 = 46;
inline constexpr std::uint16_t kModulePin47 = 47;
inline constexpr std::uint16_t kModuleRegister48 = 48;
// Module-window addresses of the scaled pair: a value and its exponent.
inline constexpr std::uint16_t kModuleScaledValue = 22;
inline constexpr std::uint16_t kModuleScaledExponent = 23;
// Cage registers: at the port's bank, or at bank 0 (the second name) on the
// boards whose cage map sits there.
inline constexpr std::uint16_t kCageSelect = 33;
inline constexpr std::uint16_t kCageAddress = 34;
inline constexpr std::uint16_t kCageData = 35;
inline constexpr std::uint16_t kCageMonitor36 = 36;
inline constexpr std::uint16_t kCagePin43 = 43;
inline constexpr std::uint16_t kCagePin44 = 44;
inline constexpr std::uint16_t kCagePin45 = 45;
inline constexpr std::uint16_t kCagePin46 = 46;
inline constexpr std::uint16_t kCagePin47 = 47;
inline constexpr std::uint16_t kCagePin48 = 48;
inline constexpr std::uint16_t kCageSelectBank0 = 31;
inline constexpr std::uint16_t kCageAddressBank0 = 32;
inline constexpr std::uint16_t kCageDataBank0 = 33;
inline constexpr std::uint16_t kCagePin48Bank0 = 34;
inline constexpr std::uint16_t kCagePin47Bank0 = 35;
inline constexpr std::uint16_t kCagePin46Bank0 = 36;
inline constexpr std::uint16_t kCagePin43Bank0 = 37;
inline constexpr std::uint16_t kCagePin44Bank0 = 38;
inline constexpr std::uint16_t kCagePin45Bank0 = 39;
inline constexpr std::uint16_t kCageMonitor40Bank0 = 40;  // x 256, bank-0 cage map only
inline constexpr std::uint16_t kCageMonitor41Bank0 = 41;  // high byte, bank-0 cage map only
inline constexpr std::uint16_t kCageMonitor36Bank0 = 42;
// Bridge registers, bank 0.
inline constexpr std::uint16_t kBridgeAddress = 60;
inline constexpr std::uint16_t kBridgeData = 61;
inline constexpr std::uint16_t kBridge62 = 62;
inline constexpr std::uint16_t kBridge63 = 63;
inline constexpr std::uint16_t kBridge64 = 64;
inline constexpr std::uint16_t kBridge65 = 65;
inline constexpr std::uint16_t kBridge66 = 66;
inline constexpr std::uint16_t kBridge67 = 67;
inline constexpr std::uint16_t kBridge68 = 68;
inline constexpr std::uint16_t kBridgeRail1V8 = 69;
inline constexpr std::uint16_t kBridgeRail5V0 = 70;

}  // namespace tessok::reg
