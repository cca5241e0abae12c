// Synthetic bathtub curves for the fit and read-out tests, built from the
// dual-Dirac model independently of the fitter.
#pragma once

#include <cmath>
#include <utility>
#include <vector>

namespace tessok::test {

// 2Q of the model at each decade of BER as the instrument's fits use it (the
// 1e-15 row is 16.444 rather than the Gaussian 15.883).
inline constexpr std::pair<double, double> kTwoQRows[13] = {
    {1e-3, 6.18},    {1e-4, 7.438},   {1e-5, 8.53},    {1e-6, 9.507},   {1e-7, 10.399},
    {1e-8, 11.224},  {1e-9, 11.996},  {1e-10, 12.723}, {1e-11, 13.412}, {1e-12, 14.069},
    {1e-13, 14.698}, {1e-14, 15.301}, {1e-15, 16.444},
};

// 2Q at a BER between 1e-15 and 1e-3, linear in BER between the decade rows.
inline double TableTwoQ(double b) {
  for (int i = 0; i < 13; ++i) {
    if (kTwoQRows[i].first == b) return kTwoQRows[i].second;
    if (kTwoQRows[i].first < b) {
      const auto& hi = kTwoQRows[i - 1];
      const auto& lo = kTwoQRows[i];
      return hi.second + (lo.second - hi.second) * (b - hi.first) / (lo.first - hi.first);
    }
  }
  return kTwoQRows[12].second;
}

// The BER levels at which the fit measures the closure: from start, one unit
// of the leading digit at a time, while below 1e-3.
inline std::vector<double> FitLevels(double start) {
  std::vector<double> levels;
  for (double b = start; b < 0.001; b += std::pow(10.0, std::floor(std::log10(b)))) levels.push_back(b);
  return levels;
}

// Gaussian tail probability above z standard deviations.
inline double GaussTail(double z) { return 0.5 * std::erfc(z / std::sqrt(2.0)); }

// Textbook dual-Dirac bathtub: each edge of the eye (at e and e + ui) arrives
// at one of two instants DJ/2 either side of its mean, with equal weight,
// blurred by Gaussian jitter of RMS rj; every bit is a transition, so the BER
// is 0.5 at the mean edge positions.
inline double TextbookBer(double x, double ui, double dj, double rj, double e = 0.0) {
  const double l = x - e;
  const double r = e + ui - x;
  return 0.5 * (GaussTail((l - dj / 2) / rj) + GaussTail((l + dj / 2) / rj) + GaussTail((r - dj / 2) / rj) +
                GaussTail((r + dj / 2) / rj));
}

// A curve in input order (outer left edge first), as (positions, BERs).
struct Curve {
  std::vector<double> x;
  std::vector<double> ber;
  void Add(double position, double b) {
    x.push_back(position);
    ber.push_back(b);
  }
};

// Position of the left flank at BER b on the model, with the fit's own 2Q
// table: dj/2 + 2Q(b)/2 x rj. Within a decade of BER it is linear in BER, so a
// flank sampled at the decade rows is crossed exactly by the fit's linear
// interpolation. The right flank lies at ui minus this.
inline double ModelLeftX(double dj, double rj, double b) { return dj / 2 + TableTwoQ(b) / 2 * rj; }

// A curve on the model from its flank BERs, each list outermost first. Points
// above 1e-3 (outside the table) sit at the edges 0 and ui, like the 0.5
// plateau point that starts and ends the curve; five zero points make the
// opening.
inline Curve ModelCurve(double ui, double dj, double rj, const std::vector<double>& leftBers,
                        const std::vector<double>& rightBers) {
  auto inner = [&](double b) { return b > 1e-3 ? 0.0 : ModelLeftX(dj, rj, b); };
  Curve c;
  c.Add(0.0, 0.5);
  for (double b : leftBers) c.Add(inner(b), b);
  const double lo = inner(leftBers.back());
  const double hi = ui - inner(rightBers.back());
  for (int k = 1; k <= 5; ++k) c.Add(lo + (hi - lo) * k / 6.0, 0.0);
  for (auto it = rightBers.rbegin(); it != rightBers.rend(); ++it) c.Add(ui - inner(*it), *it);
  c.Add(ui, 0.5);
  return c;
}

// Flank points exactly at the fit's BER levels from start, plus a 0.02 point
// outside them, on both sides.
inline Curve CurveAtLevels(double ui, double dj, double rj, double start) {
  std::vector<double> bers = FitLevels(start);
  bers.push_back(0.02);
  std::vector<double> outerFirst(bers.rbegin(), bers.rend());
  return ModelCurve(ui, dj, rj, outerFirst, outerFirst);
}

}  // namespace tessok::test
