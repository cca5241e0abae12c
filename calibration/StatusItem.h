// Status items: the numbers under which per-lane settings are recorded in the
// instrument's status table. Every setter, Monitor and RestoreSettings share them.
#pragma once

namespace tessok::status {

inline constexpr int kLineRateMode = 0;
inline constexpr int kLineRate = 1;             // Gb/s
inline constexpr int kClockOutput = 2;
inline constexpr int kLaneEnable = 3;
inline constexpr int kCheckerEnable = 4;
inline constexpr int kPattern = 5;
inline constexpr int kUserPattern40 = 6;
inline constexpr int kPatternP4 = 8;
inline constexpr int kOutputLevel = 9;
inline constexpr int kPatternP3 = 10;
inline constexpr int kPatternP5 = 11;
inline constexpr int kPreEmphasis = 14;
inline constexpr int kPostEmphasis = 15;
inline constexpr int kErrorInsertion = 16;
inline constexpr int kCtle = 17;
inline constexpr int kSamplingPhase = 19;
inline constexpr int kDecisionThreshold = 20;
inline constexpr int kAuxSetting = 21;
inline constexpr int kAuxFrequency = 22;        // MHz
inline constexpr int kAuxAmplitudeA = 23;
inline constexpr int kAuxAmplitudeB = 24;
inline constexpr int kAuxControl40C = 25;
inline constexpr int kUserPatternFirstWord = 28;
inline constexpr int kIndirectControlBits = 29;
inline constexpr int kInnerEyeLevel = 31;
inline constexpr int kRateFlag32 = 32;
inline constexpr int kRateFlag33 = 33;
inline constexpr int kRateFlag34 = 34;
inline constexpr int kRatePam4 = 35;
inline constexpr int kOutputSwing = 36;
inline constexpr int kRateRangeBank = 37;
inline constexpr int kAuxGlobalLevel = 38;
inline constexpr int kAuxGlobalFrequency = 39;  // Hz
inline constexpr int kCtleBelow15G = 40;
inline constexpr int kCtleFrom15G = 41;
inline constexpr int kAuxLevelC = 42;
inline constexpr int kAuxControl41A = 43;
inline constexpr int kRateFlag44 = 44;
inline constexpr int kRateFlag45 = 45;
inline constexpr int kRateFlag46 = 46;
inline constexpr int kRateFlag47 = 47;
inline constexpr int kRateFlag48 = 48;
inline constexpr int kMainTap = 49;
inline constexpr int kOuterEyeLevel = 50;
inline constexpr int kLaneControl22C = 51;
inline constexpr int kRateFlag52 = 52;
inline constexpr int kTap0 = 54;                // taps 0 to 6 at 54 to 60
inline constexpr int kDspMode = 68;

inline constexpr int kItemCount = 96;  // per lane; the lanes are tessok::kLaneCount

}  // namespace tessok::status
