// CalibrationStore: the calibration block of one instrument object.
//
// Plain data: polynomial tables that turn requested physical values into the
// codes the registers expect, and a few per-lane values the measurements leave
// for one another. It is not initialised by construction (it lives in the
// zero-filled storage of its instrument object); SetFactoryDefaults writes the
// built-in values at every connection and the loaders then overwrite them from
// the instrument's EEPROM. A "lane" is a bank number, 0 to 15.
#pragma once

#include <cstdint>

// Seven doubles: a quartic c4, c3, c2, c1, c0 (highest power first) followed by
// two limit values (0 and 4095 after a reset).
struct CalibrationRow {
  double c[7];
};

struct CalibrationStore {
  double quarticA[16][5];
  double quarticB[16][5];
  double levelLowRate[16][5];
  double levelHighRate[16][5];
  double levelLowRateAlt[16][34];
  double levelHighRateAlt[16][34];
  CalibrationRow auxAmplitudeA[16][10];
  CalibrationRow auxAmplitudeB[16][10];
  CalibrationRow auxLevelC[16][10];
  double auxAmplitudeAMode[16];
  double auxAmplitudeBMode[16];
  double auxLevelCMode[16];
  double levelBySwing[16][48];
  double thresholdStepPoly[9];  // c0 .. c8, lowest power first
  double delayPoly[12][6];      // c5 .. c0
  double valueFromCodeA[4][30][4];
  double codeFromValueA[4][30][4];
  double valueFromCodeB[4][30][4];
  double codeFromValueB[4][30][4];
  double thresholdStepMeasured[16];
  double laneGain[16];
  std::uint32_t eyeFirstRow[16];
  std::uint32_t eyeLastRow[16];
  CalibrationRow auxGlobalLevel[7];
  double thresholdStepMv;
  std::uint8_t laneFlag[16];

  // Evaluators. None has side effects or touches the link. Integer results are
  // the polynomial value truncated toward zero and saturated to int32 (NaN gives
  // INT32_MIN); the callers clamp codes to their registers' ranges. A lane or
  // band outside its table gives 0 (0.0 for the double results) rather than a
  // read outside the store. Polynomials are summed term by term from the
  // highest power down, each power taken with std::pow.

  // Output-level code for a lane running at or above the caller's rate
  // threshold. level is in mV; pam4 is the lane's PAM4 flag, swing its swing
  // code (50, 100, 150 or 200 on the swing-family models 7592, 7621, 7668 and
  // 7837), reg14 the value of board register 14 (3 selects the cubic swing
  // tables on 7621 and 7837). optionC and optionB are the option codes C and B.
  int ComputeLevelCodeHighRate(std::uint32_t model, std::uint32_t optionC, std::uint32_t optionB, std::uint32_t pam4,
                               std::uint32_t swing, int lane, double level, std::uint16_t reg14) const;
  // The same below the rate threshold, from levelLowRate / levelLowRateAlt; no
  // PAM4 flag, so the swing family uses the even entries only.
  int ComputeLevelCodeLowRate(std::uint32_t model, std::uint32_t optionC, std::uint32_t optionB, std::uint32_t swing,
                              int lane, double level, std::uint16_t reg14) const;
  // The conversions' values before they are truncated to a code: NaN where
  // the lane's table holds NaN (an erased or never calibrated block), so a
  // caller can refuse the level rather than send the code NaN truncates to.
  double LevelValueHighRate(std::uint32_t model, std::uint32_t optionB, std::uint32_t pam4, std::uint32_t swing,
                            int lane, double level, std::uint16_t reg14) const;
  double LevelValueLowRate(std::uint32_t model, std::uint32_t optionB, std::uint32_t swing, int lane, double level,
                           std::uint16_t reg14) const;

  // Auxiliary amplitude A (register 0x404), amplitude B (0x407) and level C
  // (0x41B) codes: the quartic of row [lane][band], band 0 to 9.
  int ComputeAuxAmplitudeACode(int lane, int band, double x) const;
  int ComputeAuxAmplitudeBCode(int lane, int band, double x) const;
  int ComputeAuxLevelCCode(int lane, int band, double x) const;
  // Auxiliary global level code (register 0x412): the quartic of band 0 to 6.
  int ComputeAuxGlobalLevelCode(int band, double x) const;

  // Millivolts per decision-threshold step: the lane's measured step on models
  // 7822 and 7841, else the threshold-step polynomial of the rate in Gb/s.
  // The level argument is not used.
  double ComputeThresholdStep(std::uint32_t model, int lane, double level, double rateGbps) const;

  // Lane delay conversion with UI = 1000 / rate ps. toCode != 0: code from a
  // delay of x UI, P(x * UI) with set 2 (below 18 Gb/s) or 3; toCode == 0:
  // delay in UI from code x, P(x) / UI with set 0 or 1. Model 7792 uses sets
  // 4 to 7 (alt false) or 8 to 11 (alt true). A NaN rate gives 0.0 for toCode
  // != 0 and NaN for toCode == 0.
  double ComputeDelayConversion(std::uint32_t model, bool alt, double rateGbps, int toCode,
                                double x) const;

  // Code and value tables of lanes 0 to 3. sel picks entry k = sel - 1 rounded
  // half up (1.0 <= sel < 30.5; anything else gives 0.0). Code from value is
  // P(value * 0.5) limited to 0.0 .. 63.0 (not rounded); value from code is
  // 2 * P(code), not limited.
  double ComputeCodeFromValueA(int lane, double value, double sel) const;
  double ComputeValueFromCodeA(int lane, double code, double sel) const;
  double ComputeCodeFromValueB(int lane, double value, double sel) const;
  double ComputeValueFromCodeB(int lane, double code, double sel) const;

  // Truncated quartic of quarticA[lane]; of quarticB[lane], returned as a double.
  int ComputeQuarticA(int lane, double x) const;
  double ComputeQuarticB(int lane, double x) const;

  // Writes the library's built-in calibration values (the same for every
  // model) into the fields and lanes they cover; everything else is left as
  // it is. Called at every connection before the board is identified.
  void SetFactoryDefaults();
};
