// Checking and cleaning of a stored bathtub curve before it is fitted.
//
// A curve of n entries is taken as two halves that each run from their outer
// edge towards the eye: the left half is entries 0 to n/2 - 1 in ascending
// order, the right half entries n - 1 down to n/2 + 1. The middle entry n/2
// belongs to neither.
#include <array>
#include <cmath>
#include <cstddef>

#include "core/Lanes.h"
#include "core/Tessok_API.h"

namespace {

constexpr int kHorizontalRow = 129;
constexpr int kVerticalRow = 258;
constexpr std::size_t kMaxHalf = kVerticalRow / 2;

// Sign errors one half may hold; more means the flank is not a flank.
constexpr int kMaxSignErrors = 3;
// A slope that loses this many percent of its steepness to the next one counts
// as a drop; more than kMaxDrops of them over both halves fail the curve.
constexpr double kDropPercent = 40.0;
constexpr int kMaxDrops = 6;

struct HalfPoint {
  double ber;
  double x;
  double logBer;
};

struct Half {
  std::array<HalfPoint, kMaxHalf> points;
  std::size_t count = 0;
  bool hasZero = false;
  void Add(double ber, double x) { points[count++] = {ber, x, std::log10(ber)}; }
};

// The channel's BER and position rows of the mode in use; null when the
// channel or the entry count lies outside the tables.
bool CurveRows(Tessok_API& api, bool vertical, int ch, int n, double** ber, double** x) {
  if (!tessok::IsLane(ch) || n < 0 || n > (vertical ? kVerticalRow : kHorizontalRow)) return false;
  *ber = vertical ? api.vBathtubBer[ch] : api.bathtubBer[ch];
  *x = vertical ? api.vBathtubY[ch] : api.bathtubX[ch];
  return true;
}

// Fills both halves in their order. With keepZeros false a point of BER
// exactly 0 is left out and only sets the half's zero flag.
void CollectHalves(const double* ber, const double* x, int n, bool keepZeros, Half& left, Half& right) {
  const int h = n / 2;
  auto take = [&](Half& half, int i) {
    if (ber[i] == 0.0) {
      half.hasZero = true;
      if (!keepZeros) return;
    }
    half.Add(ber[i], x[i]);
  };
  for (int i = 0; i < h; ++i) take(left, i);
  for (int i = n - 1; i > h; --i) take(right, i);
}

double Slope(const HalfPoint& earlier, const HalfPoint& later) {
  return (later.logBer - earlier.logBer) / (later.x - earlier.x);
}

// BER must fall towards the eye: in the left half log BER falls as the
// position rises, in the right half (positions falling) it falls as well, so
// the slope there is positive. A slope that is not a number is no error.
bool WrongWay(double slope, bool rightHalf) { return rightHalf ? slope <= 0.0 : slope >= 0.0; }

}  // namespace

bool Tessok_API::IsCurveWellFormed(bool vertical, int ch, int n) {
  double* berRow = nullptr;
  double* xRow = nullptr;
  if (!CurveRows(*this, vertical, ch, n, &berRow, &xRow)) return false;

  Half halves[2];
  CollectHalves(berRow, xRow, n, false, halves[0], halves[1]);
  if (!halves[0].hasZero && !halves[1].hasZero) return false;  // a closed eye

  int drops = 0;
  for (int side = 0; side < 2; ++side) {
    const Half& half = halves[side];
    int signErrors = 0;
    double previous = 0.0;
    for (std::size_t i = 1; i < half.count; ++i) {
      const double slope = Slope(half.points[i - 1], half.points[i]);
      if (WrongWay(slope, side == 1)) ++signErrors;
      const double steepness = std::fabs(slope);
      if (i >= 2) {
        const double drop = previous > steepness ? (previous - steepness) * 100.0 / previous : 1.0;
        if (drop >= kDropPercent) ++drops;
      }
      previous = steepness;
    }
    if (signErrors > kMaxSignErrors) return false;
  }
  return drops <= kMaxDrops;
}

void Tessok_API::CleanBathtubCurve(bool vertical, int ch, int n) {
  if (!IsCurveWellFormed(vertical, ch, n)) return;
  double* berRow = nullptr;
  double* xRow = nullptr;
  if (!CurveRows(*this, vertical, ch, n, &berRow, &xRow)) return;

  Half halves[2];
  CollectHalves(berRow, xRow, n, true, halves[0], halves[1]);

  // Marks are decided on the collected halves before anything is removed, so
  // one removal never changes the slope of another pair. Pairs touching a BER
  // of exactly 1.0 (the saturated edge) are skipped.
  std::array<bool, kMaxHalf> marked[2] = {};
  for (int side = 0; side < 2; ++side) {
    const Half& half = halves[side];
    for (std::size_t i = 1; i < half.count; ++i) {
      if (half.points[i - 1].logBer == 0.0 || half.points[i].logBer == 0.0) continue;
      if (WrongWay(Slope(half.points[i - 1], half.points[i]), side == 1)) marked[side][i] = true;
    }
  }

  // Entry n - 1 is neither cleared nor written: with nothing removed the
  // n - 1 points of the halves fill entries 0 to n - 2, and the last point
  // then stands twice. Existing measurements are compared on this layout.
  for (int i = 0; i + 1 < n; ++i) {
    berRow[i] = 0.0;
    xRow[i] = 0.0;
  }
  int w = 0;
  for (std::size_t i = 0; i < halves[0].count; ++i) {
    if (marked[0][i]) continue;
    berRow[w] = halves[0].points[i].ber;
    xRow[w] = halves[0].points[i].x;
    ++w;
  }
  for (std::size_t i = halves[1].count; i-- > 0;) {  // innermost first
    if (marked[1][i]) continue;
    berRow[w] = halves[1].points[i].ber;
    xRow[w] = halves[1].points[i].x;
    ++w;
  }
}
