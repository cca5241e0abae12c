#include "measure/DualDirac.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// The 2Q factor of the model at each decade of BER. The last row is 16.444,
// not the Gaussian 15.883: the instrument's fits have always used it, and the
// tails extrapolated to 1e-15 depend on it.
constexpr std::pair<double, double> kQRows[13] = {
    {1e-3, 6.18},    {1e-4, 7.438},   {1e-5, 8.53},    {1e-6, 9.507},   {1e-7, 10.399},
    {1e-8, 11.224},  {1e-9, 11.996},  {1e-10, 12.723}, {1e-11, 13.412}, {1e-12, 14.069},
    {1e-13, 14.698}, {1e-14, 15.301}, {1e-15, 16.444},
};

// Levels run in half decades from 1e-15 up to an innermost BER of at most
// 1e-3, so 25 per side is the most a fit can use.
constexpr int kMaxTailLevels = 32;
// The BER-level walk of the fit starts no lower than 1e-7 and steps one unit
// of the leading digit up to 1e-3: at most 36 levels.
constexpr std::size_t kMaxFitLevels = 48;
// Headroom of the per-point sequences over the number of input points: the
// extrapolated levels of both flanks and the (0, 0) point.
constexpr std::size_t kTailRoom = 2 * kMaxTailLevels + 2;

// Position at BER b on the segment between an inner point and its outer
// neighbour, linear in BER. Quantised counts often give two neighbours of the
// same BER; the segment then has no slope and the outer point stands for it.
double OnSegment(double xInner, double berInner, double xOuter, double berOuter, double b) {
  if (berOuter == berInner) return xOuter;
  return xInner + (b - berInner) * (xOuter - xInner) / (berOuter - berInner);
}

}  // namespace

DualDirac::DualDirac()
    : fitUpperBer(3.0 * std::pow(10.0, -2.0)),
      fitLowerBer(std::pow(10.0, -7.0)),
      unitInterval(0.0),
      maxRightX(0.0),
      dj(0.0),
      rj(0.0),
      scratchRow(0.0, 0.0),
      leftMeasuredCount(0),
      rightMeasuredCount(0) {}

DualDirac::~DualDirac() = default;

void DualDirac::ReserveFor(int n) {
  const std::size_t points = static_cast<std::size_t>(n) + kTailRoom;
  for (std::vector<double>* v :
       {&leftPlateauBer, &leftPlateauX, &rightPlateauBer, &rightPlateauX, &leftCurveBer, &leftCurveX, &rightCurveBer,
        &rightCurveX, &fitX, &fitBer, &leftFitX, &leftFitBer, &rightFitX, &rightFitBer, &inputX, &inputBer}) {
    v->reserve(points);
  }
  qTable.reserve(13);
  levelTj.reserve(kMaxFitLevels);
  levelQ.reserve(kMaxFitLevels);
  pairDj.reserve(kMaxFitLevels * (kMaxFitLevels - 1) / 2);
  pairRj.reserve(kMaxFitLevels * (kMaxFitLevels - 1) / 2);
}

bool DualDirac::Analyse(bool vertical, double rate, int n, double* x, double* ber) {
  if (!vertical) unitInterval = (1.0 / rate) * 1000.0;
  const bool loaded = LoadPoints(x, ber, n);
  FillQTable();
  if (!loaded) return false;
  if (vertical) unitInterval = maxRightX;
  if (!FitDjRj() || !ExtrapolateTails() || !BuildCurves()) return false;

  for (int i = 0; i < n; ++i) {
    x[i] = 0.0;
    ber[i] = 0.0;
  }
  std::size_t k = 0;
  auto put = [&](const std::vector<double>& xs, const std::vector<double>& bs) {
    for (std::size_t i = 0; i < xs.size(); ++i, ++k) {
      x[k] = xs[i];
      ber[k] = bs[i];
    }
  };
  put(leftPlateauX, leftPlateauBer);
  put(leftCurveX, leftCurveBer);
  x[k] = 0.0;  // the eye opening
  ber[k] = 0.0;
  ++k;
  put(rightCurveX, rightCurveBer);
  put(rightPlateauX, rightPlateauBer);
  return true;
}

void DualDirac::GetDjRj(double* djOut, double* rjOut) const {
  if (djOut != nullptr) *djOut = dj;
  if (rjOut != nullptr) *rjOut = rj;
}

bool DualDirac::LookupQ(double b, double* q) const {
  for (std::size_t i = 0; i < qTable.size(); ++i) {
    if (qTable[i].first == b) {
      *q = qTable[i].second;
      return true;
    }
    if (qTable[i].first < b) {
      if (i == 0) return false;  // above 1e-3: outside the model's table
      const auto& hi = qTable[i - 1];
      const auto& lo = qTable[i];
      *q = hi.second + (lo.second - hi.second) * (b - hi.first) / (lo.first - hi.first);
      return true;
    }
  }
  return false;
}

double DualDirac::TotalJitterAt(double b) const {
  for (std::size_t i = 0; i < qTable.size(); ++i) {
    if (qTable[i].first == b) return qTable[i].second * rj + dj;
    if (qTable[i].first < b) {
      if (i == 0) return 0.0;
      const auto& hi = qTable[i - 1];
      const auto& lo = qTable[i];
      const double q = hi.second + (lo.second - hi.second) * (b - hi.first) / (lo.first - hi.first);
      return q * rj + dj;
    }
  }
  return dj;
}

bool DualDirac::LoadPoints(const double* x, const double* ber, int n) {
  fitX.clear();
  fitBer.clear();
  leftPlateauBer.clear();
  leftPlateauX.clear();
  rightPlateauBer.clear();
  rightPlateauX.clear();
  leftFitX.clear();
  leftFitBer.clear();
  rightFitX.clear();
  rightFitBer.clear();
  inputX.clear();
  inputBer.clear();
  if (n < 0 || (n > 0 && (x == nullptr || ber == nullptr))) return false;

  ReserveFor(n);
  inputX.assign(x, x + n);
  inputBer.assign(ber, ber + n);
  if (!CleanCurve(inputX, inputBer)) return false;

  bool fitSeen = false;
  std::size_t split = 0;
  bool splitSet = false;
  for (std::size_t i = 0; i < inputBer.size(); ++i) {
    const double b = inputBer[i];
    if (!(b < fitUpperBer)) {
      if (fitSeen) {
        rightPlateauBer.push_back(b);
        rightPlateauX.push_back(inputX[i]);
      } else {
        leftPlateauBer.push_back(b);
        leftPlateauX.push_back(inputX[i]);
      }
    } else if (b == 0.0) {
      if (!splitSet && fitSeen) {
        split = fitBer.size();
        splitSet = true;
      }
    } else if (b < fitLowerBer) {
      // too deep to be counted reliably: left out of the fit
    } else {
      fitX.push_back(inputX[i]);
      fitBer.push_back(b);
      fitSeen = true;
    }
  }
  if (!splitSet || split < 2 || fitBer.size() - split < 2) return false;

  leftFitX.assign(fitX.begin(), fitX.begin() + static_cast<std::ptrdiff_t>(split));
  leftFitBer.assign(fitBer.begin(), fitBer.begin() + static_cast<std::ptrdiff_t>(split));
  rightFitX.assign(fitX.begin() + static_cast<std::ptrdiff_t>(split), fitX.end());
  rightFitBer.assign(fitBer.begin() + static_cast<std::ptrdiff_t>(split), fitBer.end());
  for (double p : rightFitX) {
    if (p > maxRightX) maxRightX = p;
  }
  return true;
}

bool DualDirac::CleanCurve(const std::vector<double>& positions, const std::vector<double>& bers) {
  if (positions.size() != bers.size()) return false;
  const std::size_t count = bers.size();
  // A BER that is not above 0 (zero, negative or not a number) counts as zero.
  auto isZero = [&](std::size_t i) { return !(bers[i] > 0.0); };

  std::size_t bestStart = 0, bestLength = 0;
  bool tie = false;
  for (std::size_t i = 0; i < count;) {
    if (!isZero(i)) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < count && isZero(i)) ++i;
    const std::size_t length = i - start;
    if (length > bestLength) {
      bestStart = start;
      bestLength = length;
      tie = false;
    } else if (length == bestLength) {
      tie = true;
    }
  }
  if (bestLength == 0 || tie) return false;

  // The cleaned curve replaces the input pair. LoadPoints hands the input pair
  // itself, so the copy runs forward: entry w is written only after entries w
  // and beyond have been read.
  inputX.resize(count);
  inputBer.resize(count);
  std::size_t w = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const bool inOpening = i >= bestStart && i < bestStart + bestLength;
    if (isZero(i) && !inOpening) continue;
    const double b = inOpening ? 0.0 : bers[i];
    inputX[w] = positions[i];
    inputBer[w] = b;
    ++w;
  }
  inputX.resize(w);
  inputBer.resize(w);
  return true;
}

void DualDirac::FillQTable() {
  qTable.clear();
  for (const auto& row : kQRows) {
    scratchRow = row;
    qTable.push_back(scratchRow);
  }
}

bool DualDirac::FitDjRj() {
  levelTj.clear();
  levelQ.clear();
  pairDj.clear();
  pairRj.clear();
  dj = 0.0;
  rj = 0.0;
  if (leftFitBer.empty() || rightFitBer.empty()) return false;
  // A zero or non-finite scale (no line rate, or a vertical curve whose
  // positions are all 0) would turn every estimate into NaN or infinity.
  if (!(unitInterval > 0.0) || !std::isfinite(unitInterval)) return false;

  const std::size_t nl = leftFitBer.size();
  const std::size_t nr = rightFitBer.size();
  double level = leftFitBer.back() > rightFitBer.front() ? leftFitBer.back() : rightFitBer.front();
  if (!(level > 0.0)) return false;
  while (level < 0.001) {
    // Left flank, outermost first: the first point at or below the level.
    std::size_t j = 0;
    while (j < nl && !(level >= leftFitBer[j])) ++j;
    if (j == 0 || j == nl) return false;
    const double tL = OnSegment(leftFitX[j], leftFitBer[j], leftFitX[j - 1], leftFitBer[j - 1], level) / unitInterval;

    // Right flank, innermost first: the first point whose outer neighbour is
    // at or above the level.
    j = 0;
    while (j + 1 < nr && !(rightFitBer[j + 1] >= level)) ++j;
    if (j + 1 >= nr) return false;
    const double tR =
        OnSegment(rightFitX[j], rightFitBer[j], rightFitX[j + 1], rightFitBer[j + 1], level) / unitInterval;

    double q = 0.0;
    if (!LookupQ(level, &q)) return false;
    levelQ.emplace_back(level, q);
    levelTj.push_back(1.0 - tR + tL);
    level = level + std::pow(10.0, std::floor(std::log10(level)));
  }
  if (levelTj.size() < 2) return false;

  double sumDj = 0.0, sumRj = 0.0;
  for (std::size_t i = 0; i < levelTj.size(); ++i) {
    for (std::size_t k = i + 1; k < levelTj.size(); ++k) {
      const double r = (levelTj[k] - levelTj[i]) / (levelQ[k].second - levelQ[i].second);
      const double d = levelTj[i] - levelQ[i].second * r;
      pairDj.push_back(d);
      pairRj.push_back(r);
      sumDj += d;
      sumRj += r;
    }
  }
  const double pairs = static_cast<double>(pairDj.size());
  dj = sumDj / pairs * unitInterval;
  rj = sumRj / pairs * unitInterval;
  // Non-finite positions in the caller's curve would otherwise come back as a
  // successful fit with NaN jitter.
  if (!std::isfinite(dj) || !std::isfinite(rj)) {
    dj = 0.0;
    rj = 0.0;
    return false;
  }
  return true;
}

bool DualDirac::ExtrapolateTails() {
  if (leftFitBer.empty() || rightFitBer.empty() || qTable.empty()) return false;

  double levels[kMaxTailLevels];
  double qs[kMaxTailLevels];
  // Half-decade levels from the table's last row up to (not including) limit.
  auto collect = [&](double limit, int* count) {
    *count = 0;
    for (double level = qTable.back().first; level < limit && *count < kMaxTailLevels;
         level = std::pow(10.0, std::log10(level) + 0.5)) {
      if (!LookupQ(level, &qs[*count])) return false;
      levels[(*count)++] = level;
    }
    return true;
  };

  double qIn = 0.0;
  int m = 0;
  if (!LookupQ(leftFitBer.back(), &qIn) || !collect(leftFitBer.back(), &m)) return false;
  leftMeasuredCount = static_cast<std::int32_t>(leftFitBer.size());
  double pos = leftFitX.back();
  double qPrev = qIn;
  for (int t = m - 1; t >= 0; --t) {
    pos += (qs[t] - qPrev) * rj;
    qPrev = qs[t];
    leftFitBer.push_back(levels[t]);
    leftFitX.push_back(pos);
  }

  if (!LookupQ(rightFitBer.front(), &qIn) || !collect(rightFitBer.front(), &m)) return false;
  rightMeasuredCount = static_cast<std::int32_t>(rightFitBer.size());
  pos = rightFitX.front();
  qPrev = qIn;
  rightFitBer.insert(rightFitBer.begin(), static_cast<std::size_t>(m), 0.0);
  rightFitX.insert(rightFitX.begin(), static_cast<std::size_t>(m), 0.0);
  for (int t = m - 1; t >= 0; --t) {
    pos -= (qs[t] - qPrev) * rj;
    qPrev = qs[t];
    rightFitBer[static_cast<std::size_t>(t)] = levels[t];
    rightFitX[static_cast<std::size_t>(t)] = pos;
  }
  return true;
}

bool DualDirac::BuildCurves() {
  const std::size_t lm =
      leftMeasuredCount < 0 ? 0 : std::min(static_cast<std::size_t>(leftMeasuredCount), leftFitBer.size());
  const std::size_t rm =
      rightMeasuredCount < 0 ? 0 : std::min(static_cast<std::size_t>(rightMeasuredCount), rightFitBer.size());
  const std::size_t rightLevels = rightFitBer.size() - rm;
  leftCurveBer.assign(leftFitBer.begin(), leftFitBer.begin() + static_cast<std::ptrdiff_t>(lm));
  leftCurveX.assign(leftFitX.begin(), leftFitX.begin() + static_cast<std::ptrdiff_t>(lm));
  rightCurveBer.assign(rightFitBer.begin() + static_cast<std::ptrdiff_t>(rightLevels), rightFitBer.end());
  rightCurveX.assign(rightFitX.begin() + static_cast<std::ptrdiff_t>(rightLevels), rightFitX.end());
  if (leftCurveBer.empty() || rightCurveBer.empty()) return true;

  auto shiftFor = [](double closure, double tj) {
    const double s = (closure - tj) * 0.5;
    return s > 0.0 ? s : 0.0;
  };

  // Depth match: the flank measured less deep is continued by its own levels
  // down to the depth of the other, moved out where its closure exceeds TJ.
  if (leftCurveBer.back() > rightCurveBer.front()) {
    const double rightInnermost = rightCurveBer.front();
    for (std::size_t idx = leftCurveBer.size(); idx < leftFitBer.size() && leftFitBer[idx] > rightInnermost;
         idx = leftCurveBer.size()) {
      const double b = leftFitBer[idx];
      std::size_t j = 0;
      while (j + 1 < rightCurveBer.size() && !(rightCurveBer[j + 1] >= b)) ++j;
      if (j + 1 >= rightCurveBer.size()) break;
      const double xR = OnSegment(rightCurveX[j], rightCurveBer[j], rightCurveX[j + 1], rightCurveBer[j + 1], b);
      const double xL = leftFitX[idx];
      const double shift = shiftFor(unitInterval - xR + xL, TotalJitterAt(b));
      leftCurveBer.push_back(b);
      leftCurveX.push_back(xL - shift);
    }
  } else {
    const double leftInnermost = leftCurveBer.back();
    for (std::size_t m = rightLevels; m > 0 && rightFitBer[m - 1] > leftInnermost; --m) {
      const double b = rightFitBer[m - 1];
      std::size_t j = 0;
      while (j < leftCurveBer.size() && !(b >= leftCurveBer[j])) ++j;
      if (j == 0 || j == leftCurveBer.size()) break;
      const double xL = OnSegment(leftCurveX[j], leftCurveBer[j], leftCurveX[j - 1], leftCurveBer[j - 1], b);
      const double xR = rightFitX[m - 1];
      const double shift = shiftFor(xL + unitInterval - xR, TotalJitterAt(b));
      rightCurveBer.insert(rightCurveBer.begin(), b);
      rightCurveX.insert(rightCurveX.begin(), xR + shift);
    }
  }

  // Common levels below both measured depths: level k of each side (the same
  // BER) moves both flanks out by half of any excess of closure over TJ.
  const double r0 = rightCurveBer.front();
  std::size_t levels = 0;
  while (levels < rightFitBer.size() && levels < leftFitBer.size() && rightFitBer[levels] < r0) ++levels;
  const std::size_t leftStart = leftCurveBer.size();
  leftCurveBer.resize(leftStart + levels);
  leftCurveX.resize(leftStart + levels);
  rightCurveBer.insert(rightCurveBer.begin(), levels, 0.0);
  rightCurveX.insert(rightCurveX.begin(), levels, 0.0);
  for (std::size_t k = 0; k < levels; ++k) {
    const std::size_t li = leftFitBer.size() - 1 - k;
    const double b = rightFitBer[k];
    const double xR = rightFitX[k];
    const double xL = leftFitX[li];
    const double shift = shiftFor(xL + unitInterval - xR, TotalJitterAt(b));
    const std::size_t at = leftStart + levels - 1 - k;
    leftCurveBer[at] = leftFitBer[li];
    leftCurveX[at] = xL - shift;
    rightCurveBer[k] = b;
    rightCurveX[k] = xR + shift;
  }
  return true;
}
