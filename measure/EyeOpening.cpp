// Read-outs of the last eye capture: the eye's opening at a target BER, the
// measured threshold step, and the threshold step the centring divides by.
#include <cmath>
#include <cstdint>

#include "core/Lanes.h"
#include "core/Models.h"
#include "core/Tessok_API.h"
#include "measure/EyeCapture.h"

namespace {

using namespace tessok;
using namespace tessok::measure;

// The lane is the channel itself; the 64-step read-outs move lane 1 to 0 on a
// 7841 whose lane 1 is moved.
constexpr LaneRoute kChannelWithFix1To0{kFix1To0, false, kNoFix};

// Boards whose opening counts half the store's threshold step per row.
constexpr std::uint32_t kHalvedOpeningStepModels[] = {7822};

constexpr double kNoEdge = -1.0;

// The windows of the edge searches: the time edges are looked for in the
// rows around the middle threshold, the threshold edges in the columns
// around the middle phase (128-step maps).
constexpr int kColumnScanFirstRow = 103;
constexpr int kColumnScanLastRow = 152;
constexpr int kRowScanFirstColumn = 52;
constexpr int kRowScanLastColumn = 75;
// The upper edge is looked for from the row above the middle.
constexpr int kUpperScanFirstRow = 129;
// Edges not found: the middle of the map.
constexpr int kMiddleColumn128 = 64;
constexpr int kMiddleRow128 = 128;
constexpr int kMiddleColumn64 = 32;
constexpr int kUpperRowNotFound = 256;
// Phase positions per unit interval of the column-to-time conversion.
constexpr double kPositions128 = 129.0;
constexpr double kPositions64 = 65.0;
// The 64-step rows take cells below ten times the target.
constexpr double kRowScanFactor64 = 10.0;

struct Opening {
  double early, late, low, high;
};

// The time edges: the first column counting up from 0 (left) and counting
// down from the last (right) that holds a cell below the target in the rows
// around the middle threshold; `none` for a side where no column does. The
// 64-step maps count only cells that are not 0.
struct Columns {
  int left, right;
};
Columns OpenColumns(const double* map, int columns, double target, bool skipZero, int none) {
  auto open = [&](int k) {
    for (int r = kColumnScanFirstRow; r <= kColumnScanLastRow; ++r) {
      const double v = map[r * columns + k];
      if ((!skipZero || v != 0.0) && v < target) return true;
    }
    return false;
  };
  Columns found{none, none};
  for (int k = 0; k < columns; ++k) {
    if (open(k)) {
      found.left = k;
      break;
    }
  }
  for (int k = columns - 1; k >= 0; --k) {
    if (open(k)) {
      found.right = k;
      break;
    }
  }
  return found;
}

// The 128-step search: cells below the target, whatever their value.
std::uint8_t Opening128(const Tessok_API& api, int ch, double target, Opening* out) {
  const double* map = api.eyeMap[ch];
  auto cell = [map](int r, int k) { return map[r * kEyeColumns128 + k]; };
  const auto [left, right] = OpenColumns(map, kEyeColumns128, target, false, kMiddleColumn128);
  int lower = -1, upper = -1;
  for (int r = 0; r < kEyeRows && upper < 0; ++r) {
    for (int k = kRowScanFirstColumn; k <= kRowScanLastColumn; ++k) {
      const double v = cell(r, k);
      if (lower < 0 && v < target) lower = r;
      if (r >= kUpperScanFirstRow && v > target) {
        upper = r - 1;
        break;
      }
    }
  }
  if (lower < 0) lower = 0;
  if (upper < 0) upper = kUpperRowNotFound;
  // Only an eye reduced to the middle of the map reads as no eye; its raw
  // numbers are left in the outputs.
  if (left == kMiddleColumn128 && right == kMiddleColumn128 && lower == kMiddleRow128 && upper == kMiddleRow128) {
    *out = {kMiddleColumn128, kMiddleColumn128, kMiddleRow128, kMiddleRow128};
    return 0;
  }
  const double ui = 1000.0 / api.lineRate[ch];
  const double step = api.calibration.thresholdStepMv;
  *out = {(kEyeColumns128 - right) * ui / kPositions128, (kEyeColumns128 - left) * ui / kPositions128, lower * step,
          upper * step};
  return 1;
}

// The 64-step search: cells that are not 0; the rows of eye cells over the
// whole map (entries 63 down to 1 of each row).
std::uint8_t Opening64(const Tessok_API& api, int ch, double target, Opening* out) {
  const double* map = api.eyeMap[ch];
  auto cell = [map](int r, int e) { return map[r * kEyeColumns64 + e]; };
  const auto [left, right] = OpenColumns(map, kEyeColumns64, target, true, kMiddleColumn64);
  int lower = 0, upper = 0;
  bool met = false;
  const double rowTarget = kRowScanFactor64 * target;
  for (int r = 0; r < kEyeRows; ++r) {
    for (int e = kEyeColumns64 - 1; e >= 1; --e) {
      const double v = cell(r, e);
      if (v == 0.0 || !(v < rowTarget || v == 1.0)) continue;
      if (met) {
        upper = r;
      } else {
        lower = r;
        met = true;
      }
    }
  }
  const double ui = 1000.0 / api.lineRate[ch];
  double step = api.calibration.ComputeThresholdStep(api.boardModel, ch, 0.0, api.lineRate[ch]);
  if (InModelList(kHalvedOpeningStepModels, api.boardModel)) step /= 2.0;
  *out = {(kEyeColumns64 - right) * ui / kPositions64, (kEyeColumns64 - left) * ui / kPositions64, lower * step,
          upper * step};
  return 1;
}

}  // namespace

std::uint8_t Tessok_API::GetEyeOpening(int ch, double ber, double* early, double* late, double* low, double* high) {
  if (early == nullptr || late == nullptr || low == nullptr || high == nullptr) return 0;
  const bool sixtyFourStep = board.row->sixtyFourStep;
  Lane lane{};
  Opening opening{kNoEdge, kNoEdge, kNoEdge, kNoEdge};
  std::uint8_t found = 0;
  if (ResolveLane(*this, ch, sixtyFourStep ? kChannelWithFix1To0 : kDirect, &lane) && eyeMapValid[lane.bank] != 0) {
    found = sixtyFourStep ? Opening64(*this, lane.bank, ber, &opening) : Opening128(*this, lane.bank, ber, &opening);
  }
  *early = opening.early;
  *late = opening.late;
  *low = opening.low;
  *high = opening.high;
  return found;
}

void Tessok_API::GetMeasuredThresholdStep(int ch, double* step) {
  if (step == nullptr || !board.row->sixtyFourStep) return;
  Lane lane{};
  if (!ResolveLane(*this, ch, kChannelWithFix1To0, &lane)) return;
  *step = calibration.thresholdStepMeasured[lane.bank];
}

double Tessok_API::ComputeThresholdStep(int ch, double rateGbps) {
  if (board.row->measuredThresholdStep) {
    double measured = 0.0;
    GetMeasuredThresholdStep(ch, &measured);
    return measured;
  }
  // Summed from c0 up, each power taken with std::pow.
  double sum = 0.0;
  for (int i = 0; i < 9; ++i) sum += rateScalePoly[i] * std::pow(rateGbps, i);
  return sum;
}
