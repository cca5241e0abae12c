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

  // Millivolts per decision-threshold step: the lane's measured step on models
  // 7822 and 7841, else the threshold-step polynomial of the rate in Gb/s.
  // The level argument is not used.
  double ComputeThresholdStep(std::uint32_t model, int lane, double level, double rateGbps) const;
};
