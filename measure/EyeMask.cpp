// Eye-mask test: the mask's sampled edges, the hit count, the growth of a
// mask template and the margin search; and the test of a lane's stored eye.
#include "measure/EyeMask.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/Lanes.h"
#include "core/Models.h"
#include "core/Tessok_API.h"
#include "measure/EyeCapture.h"

namespace {

// Indices of the shape values M0 to M12.
enum ShapeValue : int {
  kLeftX = 0,            // M0
  kFlatStartX = 1,       // M1
  kFlatEndX = 2,         // M2
  kRightX = 3,           // M3
  kLeftShoulderX = 4,    // M4
  kRightShoulderX = 5,   // M5
  kCentreY = 6,          // M6
  kFlatBottomY = 7,      // M7
  kFlatTopY = 8,         // M8
  kLowerLimit = 9,       // M9
  kUpperLimit = 10,      // M10
  kLowerShoulderY = 11,  // M11
  kUpperShoulderY = 12,  // M12
};

// The eight sloped edges (tables 0 to 7 of EyeMask::edges), from (xa, ya) to
// (xb, yb), sampled over xa to xb.
struct EdgeEnds {
  int xa, ya, xb, yb;
};
constexpr EdgeEnds kEdges[8] = {
    {kLeftX, kCentreY, kLeftShoulderX, kUpperShoulderY},           // upper left shoulder
    {kLeftShoulderX, kUpperShoulderY, kFlatStartX, kFlatTopY},     // upper left inner
    {kFlatEndX, kFlatTopY, kRightShoulderX, kUpperShoulderY},      // upper right inner
    {kRightShoulderX, kUpperShoulderY, kRightX, kCentreY},         // upper right shoulder
    {kRightShoulderX, kLowerShoulderY, kRightX, kCentreY},         // lower right shoulder
    {kFlatEndX, kFlatBottomY, kRightShoulderX, kLowerShoulderY},   // lower right inner
    {kLeftShoulderX, kLowerShoulderY, kFlatStartX, kFlatBottomY},  // lower left inner
    {kLeftX, kCentreY, kLeftShoulderX, kLowerShoulderY},           // lower left shoulder
};
constexpr int kUpperLeftShoulder = 0, kUpperLeftInner = 1, kUpperRightInner = 2, kUpperRightShoulder = 3;
constexpr int kLowerRightShoulder = 4, kLowerRightInner = 5, kLowerLeftInner = 6, kLowerLeftShoulder = 7;
constexpr int kLastSample = EyeMask::kEdgeSamples - 1;

bool IsFinite(const double* values, int n) {
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(values[i])) return false;
  }
  return true;
}

// The sample of an edge at or below an offset from its start.
std::uint32_t SampleIndex(double x, double start, double step) {
  const std::uint32_t index = EyeMask::ToIndex(x, start, step);
  return index > kLastSample ? kLastSample : index;
}

// The count behind CountHits and the margin operations, for any number of
// points.
std::uint64_t Count(EyeMask& mask, const double* x, const double* y, std::size_t n, double xMin, double xMax,
                    const EyeMaskShape& shape) {
  mask.hitX.clear();
  mask.hitY.clear();
  if (!IsFinite(shape.m, 13)) return EyeMask::kRefusedCount;
  mask.BuildEdges(shape);
  if (n == 0) return 0;
  if (x == nullptr || y == nullptr) return EyeMask::kRefusedCount;
  // Room for a hit per point before the loop, so that counting a map does not
  // allocate as it goes.
  mask.hitX.reserve(n);
  mask.hitY.reserve(n);
  const double* m = shape.m;
  auto hit = [&mask](double px, double py) {
    mask.hitX.push_back(px);
    mask.hitY.push_back(py);
  };
  for (std::size_t i = 0; i < n; ++i) {
    const double px = x[i], py = y[i];
    if (px < xMin || px > xMax) continue;
    // Beyond a limit is a hit wherever the point lies; it is looked at again
    // against the polygon below.
    if (py > m[kUpperLimit] || py < m[kLowerLimit]) hit(px, py);
    if (py > m[kFlatTopY] || py < m[kFlatBottomY] || px < m[kLeftX] || px > m[kRightX]) continue;
    if (m[kFlatStartX] < px && px < m[kFlatEndX]) {
      hit(px, py);
      continue;
    }
    int upper, lower, start;
    if (px < m[kLeftShoulderX]) {
      upper = kUpperLeftShoulder, lower = kLowerLeftShoulder, start = kLeftX;
    } else if (px < m[kFlatStartX]) {
      upper = kUpperLeftInner, lower = kLowerLeftInner, start = kLeftShoulderX;
    } else if (px > m[kRightShoulderX]) {
      upper = kUpperRightShoulder, lower = kLowerRightShoulder, start = kRightShoulderX;
    } else if (px > m[kFlatEndX]) {
      upper = kUpperRightInner, lower = kLowerRightInner, start = kFlatEndX;
    } else {
      continue;  // exactly on M1 or M2
    }
    if (py > m[kCentreY]) {
      const EyeMask::EdgeTable& edge = mask.edges[upper];
      if (edge.y[SampleIndex(px, m[start], edge.step)] > py) hit(px, py);
    } else {
      const EyeMask::EdgeTable& edge = mask.edges[lower];
      if (py > edge.y[SampleIndex(px, m[start], edge.step)]) hit(px, py);
    }
  }
  return mask.hitX.size();
}

// The shape of a template grown by a margin: the vertices and the flat parts
// move out towards the interval's edges and boundaries, reaching them at
// margin 1. False when the template holds a value that is not finite or its
// growth divides by zero.
bool GrowTemplate(const EyeMaskTemplate& t, double margin, EyeMaskShape* out) {
  const double* p = t.p;
  if (!IsFinite(p, 16)) return false;
  const double c = p[0] + 0.5;
  if (c - p[3] == 0.0 || p[6] - c == 0.0 || p[9] - p[11] == 0.0 || p[10] - p[9] == 0.0) return false;
  const double m = margin;
  const double kLeft = (p[3] - p[0]) / (c - p[3]);
  const double kRight = (p[0] + 1 - p[6]) / (p[6] - c);
  const double kTop = (p[1] - p[11]) / (p[9] - p[11]);
  const double kBottom = (p[10] - p[2]) / (p[10] - p[9]);
  double* s = out->m;
  s[0] = p[3] - kLeft * m * (c - p[3]);
  s[1] = p[4] - (c - p[4]) * kLeft * m;
  s[2] = p[5] + (p[5] - c) * kRight * m;
  s[3] = p[6] + kRight * m * (p[6] - c);
  s[4] = p[7] - (c - p[7]) * kLeft * m;
  s[5] = p[8] + (p[8] - c) * kRight * m;
  s[6] = p[9];
  s[7] = p[10] - (p[10] - p[2]) * m;
  s[8] = p[11] + (p[1] - p[11]) * m;
  s[9] = p[12] + (p[2] - p[12]) * m;
  s[10] = p[13] - (p[13] - p[1]) * m;
  s[11] = p[14] + kBottom * m * (p[9] - p[14]);
  s[12] = p[15] - kTop * m * (p[15] - p[9]);
  return true;
}

constexpr std::uint32_t kAllOnes32 = 0xFFFFFFFFu;
constexpr double kMarginStep = 0.01;
constexpr double kMarginLimit = 1.01;

}  // namespace

void EyeMask::BuildEdges(EyeMaskShape shape) {
  for (int k = 0; k < 8; ++k) {
    const double xa = shape.m[kEdges[k].xa], ya = shape.m[kEdges[k].ya];
    const double xb = shape.m[kEdges[k].xb], yb = shape.m[kEdges[k].yb];
    EdgeTable& edge = edges[k];
    edge.step = (xb - xa) / kLastSample;
    slope = (yb - ya) / (xb - xa);
    intercept = yb - slope * xb;
    for (int i = 0; i < kEdgeSamples; ++i) edge.y[i] = (xa + i * edge.step) * slope + intercept;
  }
}

std::uint64_t EyeMask::CountHits(const double* x, const double* y, int n, double xMin, double xMax,
                                 EyeMaskShape shape) {
  return Count(*this, x, y, n < 1 ? 0 : static_cast<std::size_t>(n), xMin, xMax, shape);
}

void EyeMask::CountHitsAtMargin(const double* x, const double* y, std::uint32_t n, std::uint32_t* hits, double margin,
                                EyeMaskTemplate t) {
  if (hits == nullptr) return;
  EyeMaskShape shape{};
  if (!GrowTemplate(t, margin, &shape)) {
    hitX.clear();
    hitY.clear();
    *hits = kAllOnes32;
    return;
  }
  // A refused count (all bits set) stores all ones.
  *hits = static_cast<std::uint32_t>(Count(*this, x, y, n, t.p[0], t.p[0] + 1, shape));
}

std::uint64_t EyeMask::FindMaskMargin(const double* x, const double* y, std::uint32_t n, int allowed,
                                      std::uint32_t* hits, double* margin, EyeMaskTemplate t) {
  auto refuse = [&] {
    hitX.clear();
    hitY.clear();
    if (hits != nullptr) *hits = kAllOnes32;
    if (margin != nullptr) *margin = -1.0;
    return kRefusedCount;
  };
  EyeMaskShape shape{};
  if (hits == nullptr || margin == nullptr || !GrowTemplate(t, 0.0, &shape)) return refuse();
  if (n >= 1 && (x == nullptr || y == nullptr)) return refuse();
  *hits = 0;
  *margin = 0.0;
  hitX.clear();
  hitY.clear();
  // A negative allowance, taken as unsigned, never stops the search.
  const auto limit = static_cast<std::uint64_t>(static_cast<std::int64_t>(allowed));
  std::uint64_t count = 0;
  while (count <= limit && *margin < kMarginLimit) {
    *hits = static_cast<std::uint32_t>(count);
    GrowTemplate(t, *margin, &shape);
    count = Count(*this, x, y, n, t.p[0], t.p[0] + 1, shape);
    // A grown shape that overflowed is no mask.
    if (count == kRefusedCount) return refuse();
    *margin = *margin + kMarginStep;
  }
  // The first margin already failed: its count is the one reported.
  if (*margin == kMarginStep) *hits = static_cast<std::uint32_t>(count);
  *margin = *margin - kMarginStep;
  return count;
}

std::uint32_t EyeMask::ToIndex(double a, double b, double step) {
  const double q = (a - b) / step;
  if (!(q >= 0.0)) return 0;
  if (q >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(q);
}

std::uint64_t Tessok_API::RunEyeMaskTest(int ch, EyeMaskShape shape) {
  if (!tessok::IsLane(ch)) {
    eyeMask.hitX.clear();
    eyeMask.hitY.clear();
    return EyeMask::kRefusedCount;
  }
  // The lane itself (no channel map); the map is used whether or not it is
  // marked valid.
  const bool sixtyFourStep = board.row->sixtyFourStep;
  const int columns = sixtyFourStep ? tessok::measure::kEyeColumns64 : tessok::measure::kEyeColumns128;
  const double step =
      sixtyFourStep ? calibration.ComputeThresholdStep(boardModel, ch, 0.0, lineRate[ch]) : calibration.thresholdStepMv;
  const double phase = phaseStep[ch];
  const double* map = eyeMap[ch];
  int k = 0;
  for (int r = 0; r < tessok::measure::kEyeRows; ++r) {
    for (int e = 0; e < columns; ++e) {
      if (!tessok::measure::IsEyeCell(map[r * columns + e])) continue;
      // Entry e lies columns - e phase steps in: on the 64-step boards one
      // step beyond the phase their capture stored for it.
      maskX[k] = (columns - e) * phase;
      maskY[k] = r * step;
      ++k;
    }
  }
  // The window is one unit interval in ps.
  return eyeMask.CountHits(maskX, maskY, k, 0.0, 1000.0 / lineRate[ch], shape);
}
