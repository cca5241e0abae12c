// Fitted bathtub curves and the jitter read-outs of the stored curves.
//
// Each read-out answers from the channel's dual-Dirac fit while its validity
// flag stands, and otherwise from the two crossings of the target BER on the
// stored curve, counted in entry indices.
#include <cstdint>

#include "core/Lanes.h"
#include "core/Models.h"
#include "core/Tessok_API.h"
#include "measure/FitLine.h"

namespace {

using tessok::IsLane;

constexpr int kFittedArrayLength = 1024;
// Above this BER the jitter read-outs ignore the fit and use the crossings.
constexpr double kFitJitterMaxBer = 1e-4;

// Where the crossing search runs on a table: the left crossing takes pairs
// (i, i + 1) for i = 1 to lastLeft, the right one pairs (i, i - 1) for
// i = right down to 2.
struct CrossingRoad {
  int lastLeft;
  int right;
};

constexpr CrossingRoad kHorizontal128{126, 128};
constexpr CrossingRoad kHorizontal64{62, 64};
constexpr CrossingRoad kVertical{254, 255};

// On a 7841 with lane 1 remapped, channel 1 is served by channel 0's data.
int FixChannel(const Tessok_API& api, int ch) { return tessok::ApplyLaneFixes(api, ch, tessok::kFix1To0); }

// A curve that fails the shape check goes back to the caller as it is stored:
// the first n entries with a non-zero BER, every other entry of the caller's
// 1024-entry arrays zero.
void CopyStoredCurve(const double* storedPosition, const double* storedBer, int n, double* position, double* ber) {
  for (int i = 0; i < kFittedArrayLength; ++i) {
    position[i] = 0.0;
    ber[i] = 0.0;
  }
  for (int i = 0; i < n; ++i) {
    if (storedBer[i] == 0.0) continue;
    ber[i] = storedBer[i];
    position[i] = storedPosition[i];
  }
}

std::uint8_t NothingToMeasure(double* out) {
  *out = -1.0;
  return 0;
}

// Finds the lower and upper crossings of target on the table. False when
// either side has none: the read-outs then report nothing to measure.
bool FindCrossings(Tessok_API& api, const double* table, CrossingRoad road, double target, double* lower,
                   double* upper) {
  double left = -1.0;
  for (int i = 1; i <= road.lastLeft; ++i) {
    if (table[i] >= target && target >= table[i + 1] && table[i + 1] != 0.0) {
      left = api.InterpolateCrossing(i, table[i], i + 1, table[i + 1], target);
      break;
    }
  }
  double right = -1.0;
  for (int i = road.right; i >= 2; --i) {
    if (table[i] >= target && target >= table[i - 1] && table[i - 1] != 0.0) {
      right = api.InterpolateCrossing(i, table[i], i - 1, table[i - 1], target);
      break;
    }
  }
  if (left == -1.0) left = 0.0;
  if (right == -1.0) right = road.right;
  if (left == 0.0 || right == road.right) return false;
  *lower = left;
  *upper = right;
  return true;
}

// Millivolts per decision-threshold step of the channel.
double ThresholdStep(const Tessok_API& api, int ch) {
  if (api.board.row->sixtyFourStep) {
    return api.calibration.ComputeThresholdStep(api.boardModel, ch, 0.0, api.lineRate[ch]);
  }
  return api.calibration.thresholdStepMv;
}

}  // namespace

std::uint8_t Tessok_API::GetFittedBathtub(int ch, double* x, double* ber) {
  if (x == nullptr || ber == nullptr) return 0;
  const bool sixtyFour = board.row->sixtyFourStep;
  if (sixtyFour) ch = FixChannel(*this, ch);
  if (!IsLane(ch)) return 0;

  // The check runs on the stored curve, the fit on the caller's arrays.
  if (IsCurveWellFormed(false, ch, sixtyFour ? 65 : 128)) {
    const bool fitted = horizontalFits[ch].Analyse(false, lineRate[ch], sixtyFour ? 64 : 129, x, ber);
    // A failed fit no longer stands for the curve (its DJ and RJ may be zeroed):
    // the read-outs must not answer from it.
    horizontalFitValid[ch] = fitted ? 1 : 0;
    return fitted ? 1 : 0;
  }

  CopyStoredCurve(bathtubX[ch], bathtubBer[ch], sixtyFour ? 65 : 128, x, ber);
  return 0;
}

std::uint8_t Tessok_API::GetFittedVerticalBathtub(int ch, double* y, double* ber) {
  if (y == nullptr || ber == nullptr) return 0;
  ch = FixChannel(*this, ch);
  if (!IsLane(ch)) return 0;

  // The fit runs before the check, so DJ, RJ and the span follow the caller's
  // curve even when the stored one fails the check.
  const bool fitted = verticalFits[ch].Analyse(true, lineRate[ch], 255, y, ber);
  if (!fitted) verticalFitValid[ch] = 0;  // a failed fit has zeroed DJ and RJ
  if (IsCurveWellFormed(true, ch, 255)) {
    if (fitted) verticalFitValid[ch] = 1;
    return fitted ? 1 : 0;
  }

  CopyStoredCurve(vBathtubY[ch], vBathtubBer[ch], 255, y, ber);
  return 0;
}

std::uint8_t Tessok_API::GetEyeWidthAtBER(int ch, double ber, double* width) {
  if (width == nullptr) return 0;
  ch = FixChannel(*this, ch);
  if (!IsLane(ch)) return NothingToMeasure(width);
  const double ui = 1000.0 / lineRate[ch];
  if (horizontalFitValid[ch] == 1) {
    *width = ui - horizontalFits[ch].TotalJitterAt(ber);
    return 1;
  }
  const bool sixtyFour = board.row->sixtyFourStep;
  double left = 0.0, right = 0.0;
  if (!FindCrossings(*this, bathtubBer[ch], sixtyFour ? kHorizontal64 : kHorizontal128, ber, &left, &right)) {
    return NothingToMeasure(width);
  }
  // Divided by 128 (64) positions although the phase positions of the
  // 128-step models are UI / 129 apart: kept so that widths compare with
  // earlier measurements.
  *width = ui * (right - left) * (sixtyFour ? 0.015625 : 0.0078125);
  return 1;
}

std::uint8_t Tessok_API::GetTotalJitterAtBER(int ch, double ber, double* tj) {
  if (tj == nullptr) return 0;
  ch = FixChannel(*this, ch);
  if (!IsLane(ch)) return NothingToMeasure(tj);
  const double ui = 1000.0 / lineRate[ch];
  if (ber <= kFitJitterMaxBer && horizontalFitValid[ch] == 1) {
    *tj = horizontalFits[ch].TotalJitterAt(ber);
    return 1;
  }
  const bool sixtyFour = board.row->sixtyFourStep;
  double left = 0.0, right = 0.0;
  if (!FindCrossings(*this, bathtubBer[ch], sixtyFour ? kHorizontal64 : kHorizontal128, ber, &left, &right)) {
    return NothingToMeasure(tj);
  }
  const double positions = sixtyFour ? 64.0 : 128.0;
  *tj = ui * (positions - (right - left)) * (sixtyFour ? 0.015625 : 0.0078125);
  return 1;
}

std::uint8_t Tessok_API::GetEyeHeightAtBER(int ch, double ber, double* height) {
  if (height == nullptr) return 0;
  ch = FixChannel(*this, ch);
  if (!IsLane(ch)) return NothingToMeasure(height);
  const double span = verticalFits[ch].maxRightX;
  if (verticalFitValid[ch] == 1) {
    *height = span - verticalFits[ch].TotalJitterAt(ber);
    return 1;
  }
  double lower = 0.0, upper = 0.0;
  if (!FindCrossings(*this, vBathtubBer[ch], kVertical, ber, &lower, &upper)) return NothingToMeasure(height);
  *height = ThresholdStep(*this, ch) * (upper - lower);
  return 1;
}

std::uint8_t Tessok_API::GetVerticalClosureAtBER(int ch, double ber, double* closure) {
  if (closure == nullptr) return 0;
  ch = FixChannel(*this, ch);
  if (!IsLane(ch)) return NothingToMeasure(closure);
  const double span = verticalFits[ch].maxRightX;
  if (ber <= kFitJitterMaxBer && verticalFitValid[ch] == 1) {
    *closure = verticalFits[ch].TotalJitterAt(ber);
    return 1;
  }
  double lower = 0.0, upper = 0.0;
  if (!FindCrossings(*this, vBathtubBer[ch], kVertical, ber, &lower, &upper)) return NothingToMeasure(closure);
  // Without any vertical fit the span is 0 and the result is minus the opening.
  *closure = span - ThresholdStep(*this, ch) * (upper - lower);
  return 1;
}

double Tessok_API::InterpolateCrossing(double x1, double y1, double x2, double y2, double target) {
  // A flat pair exactly at the target (equal quantised counts) has no single
  // crossing; its first point stands for it rather than 0 / 0.
  if (y1 == y2 && y1 == target) return x1;
  const double m = (y2 - y1) / (x2 - x1);
  const double c = y1 - m * x1;
  return (target - c) / m;
}

void FitLine(const double* x, const double* y, int from, int to, double* slope, double* intercept) {
  if (slope == nullptr || intercept == nullptr) return;
  double sx = 0.0, sy = 0.0, sxy = 0.0, sxx = 0.0;
  if (x != nullptr && y != nullptr) {
    for (int i = from; i < to; ++i) {
      sx += x[i];
      sy += y[i];
      sxy += x[i] * y[i];
      sxx += x[i] * x[i];
    }
  }
  const double k = to > from && x != nullptr && y != nullptr ? static_cast<double>(to - from) : 0.0;
  const double d = k * sxx - sx * sx;
  if (d == 0.0) {
    *slope = 0.0;
    *intercept = 0.0;
    return;
  }
  *slope = (k * sxy - sy * sx) / d;
  *intercept = (sxx * sy - sxy * sx) / d;
}
