#include "calibration/CalibrationStore.h"

#include <cmath>
#include <limits>
#include <type_traits>

#include "calibration/Conversions.h"
#include "core/Lanes.h"
#include "core/Models.h"

// The store lives in the zero-filled storage of its instrument object and is
// copied as plain bytes to and from the EEPROM tables.
static_assert(std::is_trivial_v<CalibrationStore>);
static_assert(std::is_standard_layout_v<CalibrationStore>);

namespace {

using tessok::IsLane;
using tessok::LevelConversion;
using tessok::ModelInfo;
using tessok::ModelRow;
using tessok::TruncateToInt32;

// c[0] is the coefficient of x^degree, c[degree] the constant term. The terms
// are summed from the highest power down, each power taken with std::pow.
double PolyHighFirst(const double* c, int degree, double x) {
  double sum = 0.0;
  for (int i = 0; i <= degree; ++i) sum += c[i] * std::pow(x, degree - i);
  return sum;
}

// Swing-family tables: eight entries per lane, quadratic at element 5k or, on
// the boards with the cubic form and register 14 reading 3, cubic at element 6k.
double SwingLevelValue(const double* laneRow, const ModelInfo& model, int entry, double level, std::uint16_t reg14) {
  if (model.cubicSwingForm && reg14 == 3) return PolyHighFirst(laneRow + 6 * entry, 3, level);
  return PolyHighFirst(laneRow + 5 * entry, 2, level);
}

// Swing code 50/100/150/200 -> 0..3; any other swing -> -1.
int SwingIndex(std::uint32_t swing) {
  switch (swing) {
    case 50: return 0;
    case 100: return 1;
    case 150: return 2;
    case 200: return 3;
    default: return -1;
  }
}

// A generic level row whose element 2 exceeds 30.0 holds five break points:
// the levels that give codes 0, 25, 50, 75 and 100. The level is rounded to
// the nearest of them by comparing with the midpoints; a NaN level fails every
// comparison and gives 100.
int BreakPointCode(const double* b, double level) {
  for (int i = 0; i < 4; ++i) {
    const double mid = b[i] + (b[i + 1] - b[i]) * 0.5;
    if (level < mid) return 25 * i;
  }
  return 100;
}

// The row form boards share the five-element rows of levelLowRate /
// levelHighRate: a quartic or five break points, a quadratic, or (7822) a
// quadratic unless option code B is 1.
//
// Model 7780 with option code C 1 keeps its instrument's tables in lanes 4 to
// 7 while its channels use lanes 0 to 3. Its break points are taken from the
// lane's own row, as on every other row-form model: the same row whose element
// 2 chose the break-point form, and the row the quartic form reads, so both
// forms convert from one well-defined set of values (the factory defaults
// unless the application stores break points there).
double RowLevelValue(const double* row, const ModelInfo& model, std::uint32_t optionB, double level) {
  switch (model.levelConversion) {
    case LevelConversion::Option7822:
      if (optionB == 0 || optionB == 2 || optionB == 3) return PolyHighFirst(row, 2, level);
      return PolyHighFirst(row, 4, level);
    case LevelConversion::Quadratic: return PolyHighFirst(row, 2, level);
    default:
      if (row[2] > 30.0) return BreakPointCode(row, level);
      return PolyHighFirst(row, 4, level);
  }
}

// Entry k of a code or value table answers to sel = k + 1 rounded half up:
// k = 0 for 1.0 <= sel < 1.5, k = n for n + 0.5 <= sel < n + 1.5. Returns -1
// for any other selector (NaN included).
int TableEntry(double sel) {
  if (!(sel >= 1.0 && sel < 30.5)) return -1;
  if (sel < 1.5) return 0;
  for (int n = 1; n < 29; ++n)
    if (sel < n + 1.5) return n;
  return 29;
}

double CodeFromValue(const double (&table)[4][30][4], int lane, double value, double sel) {
  if (lane < 0 || lane >= 4) return 0.0;
  const int k = TableEntry(sel);
  if (k < 0) return 0.0;
  const double y = PolyHighFirst(table[lane][k], 3, value * 0.5);
  if (y > 63.0) return 63.0;
  if (y < 0.0) return 0.0;
  return y;
}

double ValueFromCode(const double (&table)[4][30][4], int lane, double code, double sel) {
  if (lane < 0 || lane >= 4) return 0.0;
  const int k = TableEntry(sel);
  if (k < 0) return 0.0;
  return 2.0 * PolyHighFirst(table[lane][k], 3, code);
}

int AuxCode(const CalibrationRow (&table)[16][10], int lane, int band, double x) {
  if (!IsLane(lane) || band < 0 || band >= 10) return 0;
  return TruncateToInt32(PolyHighFirst(table[lane][band].c, 4, x));
}

}  // namespace

double CalibrationStore::LevelValueHighRate(std::uint32_t model, std::uint32_t optionB, std::uint32_t pam4,
                                            std::uint32_t swing, int lane, double level, std::uint16_t reg14) const {
  if (!IsLane(lane)) return 0.0;
  const ModelInfo& row = ModelRow(model);
  switch (row.levelConversion) {
    case LevelConversion::Swing: {
      // PAM4 lanes use the even entries, NRZ lanes the odd ones; an unknown
      // swing falls back to entry 0 whatever the mode.
      const int s = SwingIndex(swing);
      const int entry = s < 0 ? 0 : 2 * s + (pam4 == 1 ? 0 : 1);
      return SwingLevelValue(levelBySwing[lane], row, entry, level, reg14);
    }
    case LevelConversion::AltCubic:
      // Two cubic entries of six elements, chosen by the PAM4 flag; a flag other
      // than 0 or 1 names no entry.
      if (pam4 > 1) return 0.0;
      return PolyHighFirst(levelHighRateAlt[lane] + 6 * pam4, 3, level);
    default: return RowLevelValue(levelHighRate[lane], row, optionB, level);
  }
}

int CalibrationStore::ComputeLevelCodeHighRate(std::uint32_t model, std::uint32_t /*optionC*/, std::uint32_t optionB,
                                               std::uint32_t pam4, std::uint32_t swing, int lane, double level,
                                               std::uint16_t reg14) const {
  return TruncateToInt32(LevelValueHighRate(model, optionB, pam4, swing, lane, level, reg14));
}

double CalibrationStore::LevelValueLowRate(std::uint32_t model, std::uint32_t optionB, std::uint32_t swing, int lane,
                                           double level, std::uint16_t reg14) const {
  if (!IsLane(lane)) return 0.0;
  const ModelInfo& row = ModelRow(model);
  switch (row.levelConversion) {
    case LevelConversion::Swing: {
      const int s = SwingIndex(swing);
      const int entry = s < 0 ? 0 : 2 * s;
      return SwingLevelValue(levelBySwing[lane], row, entry, level, reg14);
    }
    case LevelConversion::AltCubic: return PolyHighFirst(levelLowRateAlt[lane], 3, level);
    default: return RowLevelValue(levelLowRate[lane], row, optionB, level);
  }
}

int CalibrationStore::ComputeLevelCodeLowRate(std::uint32_t model, std::uint32_t /*optionC*/, std::uint32_t optionB,
                                              std::uint32_t swing, int lane, double level, std::uint16_t reg14) const {
  return TruncateToInt32(LevelValueLowRate(model, optionB, swing, lane, level, reg14));
}

int CalibrationStore::ComputeAuxAmplitudeACode(int lane, int band, double x) const {
  return AuxCode(auxAmplitudeA, lane, band, x);
}

int CalibrationStore::ComputeAuxAmplitudeBCode(int lane, int band, double x) const {
  return AuxCode(auxAmplitudeB, lane, band, x);
}

int CalibrationStore::ComputeAuxLevelCCode(int lane, int band, double x) const {
  return AuxCode(auxLevelC, lane, band, x);
}

int CalibrationStore::ComputeAuxGlobalLevelCode(int band, double x) const {
  if (band < 0 || band >= 7) return 0;
  return TruncateToInt32(PolyHighFirst(auxGlobalLevel[band].c, 4, x));
}

double CalibrationStore::ComputeThresholdStep(std::uint32_t model, int lane, double /*level*/, double rateGbps) const {
  if (ModelRow(model).measuredThresholdStep) {
    if (!IsLane(lane)) return 0.0;
    return thresholdStepMeasured[lane];
  }
  // The polynomial is stored lowest power first; its terms are added from c8
  // down to c0.
  double sum = 0.0;
  for (int i = 8; i >= 0; --i) sum += thresholdStepPoly[i] * std::pow(rateGbps, i);
  return sum;
}

double CalibrationStore::ComputeDelayConversion(std::uint32_t model, bool alt, double rateGbps, int toCode,
                                                double x) const {
  if (std::isnan(rateGbps)) {
    // No set matches a NaN rate: nothing is summed, and the code-to-delay form
    // still divides that empty sum by the (NaN) unit interval.
    return toCode != 0 ? 0.0 : std::numeric_limits<double>::quiet_NaN();
  }
  const double ui = 1000.0 / rateGbps;
  const bool high = rateGbps >= 18.0;
  int set = toCode != 0 ? (high ? 3 : 2) : (high ? 1 : 0);
  if (ModelRow(model).ownDelaySets) set += alt ? 8 : 4;
  if (toCode != 0) return PolyHighFirst(delayPoly[set], 5, x * ui);
  return PolyHighFirst(delayPoly[set], 5, x) / ui;
}

double CalibrationStore::ComputeCodeFromValueA(int lane, double value, double sel) const {
  return CodeFromValue(codeFromValueA, lane, value, sel);
}

double CalibrationStore::ComputeValueFromCodeA(int lane, double code, double sel) const {
  return ValueFromCode(valueFromCodeA, lane, code, sel);
}

double CalibrationStore::ComputeCodeFromValueB(int lane, double value, double sel) const {
  return CodeFromValue(codeFromValueB, lane, value, sel);
}

double CalibrationStore::ComputeValueFromCodeB(int lane, double code, double sel) const {
  return ValueFromCode(valueFromCodeB, lane, code, sel);
}

int CalibrationStore::ComputeQuarticA(int lane, double x) const {
  if (!IsLane(lane)) return 0;
  return TruncateToInt32(PolyHighFirst(quarticA[lane], 4, x));
}

double CalibrationStore::ComputeQuarticB(int lane, double x) const {
  if (!IsLane(lane)) return 0.0;
  return static_cast<double>(TruncateToInt32(PolyHighFirst(quarticB[lane], 4, x)));
}
