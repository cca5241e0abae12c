// Eye-mask test: the hit rules point by point, a ray-casting oracle on masks
// with vertices off any grid, the sampled edges, refusals, the growth of a
// template and the exits of the margin search, and the test of a lane's
// stored map.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "core/Tessok_API.h"
#include "measure/EyeMask.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::uint64_t kRefused = EyeMask::kRefusedCount;

// M0 to M12: vertices at x 10 and 90 on the centre line 0, flat top 40 and
// bottom -40 from x 30 to 70, shoulders at x 20 and 80 at heights 30 and
// -30, limits at +-100. Each sloped edge is 10 ps wide, sampled every
// 0.05 ps: edge 1 is y = 3x - 30, edge 2 y = x + 10, edge 4 y = 270 - 3x,
// edge 6 y = x - 110, edge 8 y = 30 - 3x.
constexpr EyeMaskShape kShape{{10, 30, 70, 90, 20, 80, 0, -40, 40, -100, 100, -30, 30}};

std::uint64_t HitsOf(EyeMask& mask, double x, double y, const EyeMaskShape& shape = kShape) {
  return mask.CountHits(&x, &y, 1, 0.0, 100.0, shape);
}

}  // namespace

TEST(EyeMask, HitRulesPointByPoint) {
  struct Case {
    double x, y;
    std::uint64_t hits;
    const char* why;
  } cases[] = {
      {50, 0, 1, "between M1 and M2"},
      {50, 40, 1, "on the flat top: still inside"},
      {30, 0, 0, "exactly at M1"},
      {70, 0, 0, "exactly at M2"},
      {50, 100, 0, "on the upper limit: not beyond it"},
      {50, -100, 0, "on the lower limit"},
      {50, 100.5, 1, "above the upper limit"},
      {50, -100.5, 1, "below the lower limit"},
      {150, 200, 0, "beyond the window, even above the limit"},
      {5, 0, 0, "left of M0"},
      {95, 0, 0, "right of M3"},
      {10, 0, 0, "the left vertex itself"},
      {15, 10, 1, "below edge 1 (15 at x 15)"},
      {15, 20, 0, "above edge 1"},
      {15, 0, 1, "on the centre line, above edge 8 (-15)"},
      {15, -10, 1, "above edge 8"},
      {15, -20, 0, "below edge 8"},
      {25, 34, 1, "below edge 2 (35 at x 25)"},
      {25, 35, 0, "on edge 2"},
      {85, 10, 1, "below edge 4 (15 at x 85)"},
      {75, -34, 1, "above edge 6 (-35 at x 75)"},
      {75, -36, 0, "below edge 6"},
      // The sample at or below x decides: at x 15.03 edge 1 is 15.09, but
      // its sample at 15.00 is 15.
      {15.03, 15.05, 0, "above the sample at or below x"},
  };
  EyeMask mask;
  for (const Case& c : cases) EXPECT_EQ(HitsOf(mask, c.x, c.y), c.hits) << c.why;

  // A limit inside the mask: a point beyond it and inside counts twice.
  EyeMaskShape low = kShape;
  low.m[10] = 20;
  EXPECT_EQ(HitsOf(mask, 50, 25, low), 2u);
  EXPECT_EQ(mask.hitX, (std::vector<double>{50, 50}));
  EXPECT_EQ(mask.hitY, (std::vector<double>{25, 25}));
}

TEST(EyeMask, HitListsInTheOrderFoundAndEmptiedByEachCount) {
  EyeMask mask;
  const std::vector<double> x{50, 5, 15, 85, 95};
  const std::vector<double> y{0, 0, 10, 10, 200};
  EXPECT_EQ(mask.CountHits(x.data(), y.data(), 5, 0.0, 100.0, kShape), 4u);
  EXPECT_EQ(mask.hitX, (std::vector<double>{50, 15, 85, 95}));
  EXPECT_EQ(mask.hitY, (std::vector<double>{0, 10, 10, 200}));
  EXPECT_EQ(mask.CountHits(x.data(), y.data(), 2, 0.0, 100.0, kShape), 1u);  // the first two points
  for (int n : {0, -5}) {
    EXPECT_EQ(mask.CountHits(x.data(), y.data(), 5, 0.0, 100.0, kShape), 4u);
    EXPECT_EQ(mask.CountHits(x.data(), y.data(), n, 0.0, 100.0, kShape), 0u);
    EXPECT_TRUE(mask.hitX.empty());
    EXPECT_TRUE(mask.hitY.empty());
  }
  EXPECT_EQ(mask.CountHits(nullptr, nullptr, 0, 0.0, 100.0, kShape), 0u);
}

TEST(EyeMask, ShapeThatIsNotFiniteOrPointsThatAreNullAreRefused) {
  EyeMask mask;
  const double x = 50, y = 0;
  for (int value = 0; value < 13; ++value) {
    for (double bad : {kNaN, kInf, -kInf}) {
      EyeMaskShape shape = kShape;
      shape.m[value] = bad;
      ASSERT_EQ(mask.CountHits(&x, &y, 1, 0.0, 100.0, kShape), 1u);
      EXPECT_EQ(mask.CountHits(&x, &y, 1, 0.0, 100.0, shape), kRefused) << value;
      EXPECT_TRUE(mask.hitX.empty());
      EXPECT_TRUE(mask.hitY.empty());
    }
  }
  EXPECT_EQ(mask.CountHits(nullptr, &y, 1, 0.0, 100.0, kShape), kRefused);
  EXPECT_EQ(mask.CountHits(&x, nullptr, 1, 0.0, 100.0, kShape), kRefused);
}

TEST(EyeMask, ShapesOutOfOrderOrWithVerticalEdgesPass) {
  EyeMask mask;
  // Left vertex and shoulder on one x: edge 1 is vertical and never looked
  // at; the points right of it meet edges 2 and 7, from (10, 30) to (30, 40)
  // and from (10, -30) to (30, -40).
  EyeMaskShape vertical = kShape;
  vertical.m[4] = 10;
  EXPECT_EQ(HitsOf(mask, 15, 10, vertical), 1u);  // below 32.5
  EXPECT_EQ(HitsOf(mask, 15, 33, vertical), 0u);  // above it
  EXPECT_EQ(HitsOf(mask, 10, 0, vertical), 1u);   // above -30
  EXPECT_EQ(HitsOf(mask, 9.9, 0, vertical), 0u);  // left of the mask
  // Mirrored: M0 right of M3 leaves no x inside; only the limits count.
  EyeMaskShape mirrored = kShape;
  std::swap(mirrored.m[0], mirrored.m[3]);
  std::swap(mirrored.m[1], mirrored.m[2]);
  std::swap(mirrored.m[4], mirrored.m[5]);
  for (double x = 0; x <= 100; x += 0.5) EXPECT_EQ(HitsOf(mask, x, 0, mirrored), 0u) << x;
  EXPECT_EQ(HitsOf(mask, 50, 200, mirrored), 1u);
  // Every edge vertical: the steps are 0 and the samples not numbers.
  EyeMaskShape flat{{50, 50, 50, 50, 50, 50, 0, -40, 40, -100, 100, -30, 30}};
  for (double y = -50; y <= 50; y += 5) EXPECT_EQ(HitsOf(mask, 50, y, flat), 0u) << y;
}

TEST(EyeMask, SampledEdges) {
  EyeMask mask;
  mask.BuildEdges(kShape);
  // Edge 1 from (10, 0) to (20, 30); edge 5 (lower right shoulder) from
  // (80, -30) to (90, 0); edge 6 from (70, -40) to (80, -30).
  EXPECT_DOUBLE_EQ(mask.edges[0].step, 0.05);
  EXPECT_DOUBLE_EQ(mask.edges[0].y[0], 0.0);
  EXPECT_DOUBLE_EQ(mask.edges[0].y[100], 15.0);
  EXPECT_DOUBLE_EQ(mask.edges[0].y[200], 30.0);
  EXPECT_DOUBLE_EQ(mask.edges[4].y[0], -30.0);
  EXPECT_DOUBLE_EQ(mask.edges[4].y[200], 0.0);
  EXPECT_DOUBLE_EQ(mask.edges[5].y[100], -35.0);
  // The working values are those of the last edge sampled, edge 8: y = 30 - 3x.
  EXPECT_DOUBLE_EQ(mask.slope, -3.0);
  EXPECT_DOUBLE_EQ(mask.intercept, 30.0);
}

TEST(EyeMask, ToIndex) {
  const struct {
    double a, b, step;
    std::uint32_t index;
  } cases[] = {
      {5, 0, 1, 5},    {2.9, 0, 1, 2}, {12, 2, 0.5, 20}, {-1, 0, 1, 0},          {-0.5, 0, 1, 0},
      {kNaN, 0, 1, 0}, {0, 0, 0, 0},   {-1, 0, 0, 0},    {1, 0, 0, 0xFFFFFFFFu}, {1e12, 0, 1, 0xFFFFFFFFu},
  };
  for (const auto& c : cases) EXPECT_EQ(EyeMask::ToIndex(c.a, c.b, c.step), c.index) << c.a << " " << c.step;
}

// ---- Ray-casting oracle ----

namespace {

// The mask's polygon, in its order.
std::vector<std::pair<double, double>> Polygon(const EyeMaskShape& s) {
  const double* m = s.m;
  return {{m[0], m[6]}, {m[4], m[12]}, {m[1], m[8]}, {m[2], m[8]}, {m[5], m[12]},
          {m[3], m[6]}, {m[5], m[11]}, {m[2], m[7]}, {m[1], m[7]}, {m[4], m[11]}};
}

// Even-odd rule with a ray towards +x.
bool Inside(const std::vector<std::pair<double, double>>& polygon, double x, double y) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const auto [xi, yi] = polygon[i];
    const auto [xj, yj] = polygon[j];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

// Whether a point lies so near the polygon's boundary or a limit that the
// sampled edges (one sample every 1/200 of an edge's width, taken at or
// below the point's x) may decide otherwise than the exact polygon.
bool NearBoundary(const std::vector<std::pair<double, double>>& polygon, const EyeMaskShape& s, double x, double y) {
  if (std::abs(y - s.m[9]) < 1e-6 || std::abs(y - s.m[10]) < 1e-6) return true;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    auto [xa, ya] = polygon[j];
    auto [xb, yb] = polygon[i];
    if (xa > xb) std::swap(xa, xb), std::swap(ya, yb);
    if (x < xa - 1e-6 || x > xb + 1e-6) continue;
    if (xb - xa < 1e-9) return true;
    const double slope = (yb - ya) / (xb - xa);
    const double tolerance = std::abs(slope) * (xb - xa) / 200 + 1e-6;
    if (std::abs(y - (ya + slope * (x - xa))) < tolerance) return true;
  }
  return false;
}

}  // namespace

TEST(EyeMask, MatchesRayCastingAwayFromTheSampledEdges) {
  std::mt19937 random(20240611);
  auto u = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
  std::size_t compared = 0, inside = 0, beyondLimits = 0, skipped = 0;
  EyeMask mask;
  for (int m = 0; m < 40; ++m) {
    EyeMaskShape s{};
    double* v = s.m;
    v[0] = u(5, 15);
    v[4] = v[0] + u(3, 10);
    v[1] = v[4] + u(3, 10);
    v[2] = v[1] + u(5, 20);
    v[5] = v[2] + u(3, 10);
    v[3] = v[5] + u(3, 10);
    v[6] = u(-5, 5);
    v[12] = v[6] + u(5, 20);
    v[8] = v[12] + u(2, 10);
    v[11] = v[6] - u(5, 20);
    v[7] = v[11] - u(2, 10);
    v[10] = v[8] + u(1, 20);
    v[9] = v[7] - u(1, 20);
    const auto polygon = Polygon(s);
    std::vector<double> xs, ys;
    std::uint64_t expectedTotal = 0;
    for (int p = 0; p < 400; ++p) {
      const double x = u(-5, 110), y = u(v[9] - 10, v[10] + 10);
      if (NearBoundary(polygon, s, x, y)) {
        ++skipped;
        continue;
      }
      std::uint64_t expected = 0;
      if (x >= 0 && x <= 100) {
        if (y > v[10] || y < v[9]) ++expected, ++beyondLimits;
        if (Inside(polygon, x, y)) ++expected, ++inside;
      }
      ASSERT_EQ(mask.CountHits(&x, &y, 1, 0.0, 100.0, s), expected) << "mask " << m << " at " << x << ", " << y;
      xs.push_back(x);
      ys.push_back(y);
      expectedTotal += expected;
      ++compared;
    }
    EXPECT_EQ(mask.CountHits(xs.data(), ys.data(), static_cast<int>(xs.size()), 0.0, 100.0, s), expectedTotal);
  }
  // The comparison covers each kind of point.
  EXPECT_GT(inside, 1000u);
  EXPECT_GT(beyondLimits, 1000u);
  EXPECT_GT(compared, 10 * skipped);
}

// ---- Templates and the margin search ----

namespace {

// A mask in the unit interval 0 to 1 (centre 0.5), top 1, bottom -1; at
// margin 0 the shape M0 .. M12 = 0.3, 0.45, 0.55, 0.7, 0.35, 0.65, 0, -0.2,
// 0.2, -0.9, 0.9, -0.1, 0.1. Growth: kLeft = 0.3 / 0.2 = 1.5, kTop = 0.8 /
// -0.2 = -4. The flat top rises as 0.2 + 0.8 m, the left vertex moves as
// 0.3 - 0.3 m, the left shoulder as 0.35 - 0.225 m and its top as 0.1 + 0.4 m.
constexpr EyeMaskTemplate kTemplate{{0, 1, -1, 0.3, 0.45, 0.55, 0.7, 0.35, 0.65, 0, -0.2, 0.2, -0.9, 0.9, -0.1, 0.1}};

struct Search {
  std::uint64_t result;
  std::uint32_t hits;
  double margin;
};

Search Find(EyeMask& mask, const std::vector<double>& x, const std::vector<double>& y, int allowed,
            const EyeMaskTemplate& t = kTemplate) {
  Search s{0, 7, 7.0};
  s.result =
      mask.FindMaskMargin(x.data(), y.data(), static_cast<std::uint32_t>(x.size()), allowed, &s.hits, &s.margin, t);
  return s;
}

}  // namespace

TEST(EyeMask, GrownTemplateReachesTheIntervalAtMarginOne) {
  EyeMask mask;
  std::uint32_t hits = 7;
  // (0.05, 0.1): left of the mask at margin 0; at margin 1 below the upper
  // left shoulder edge from (0, 0) to (0.125, 0.5), 0.2 at x 0.05.
  const double x = 0.05, y = 0.1;
  mask.CountHitsAtMargin(&x, &y, 1, &hits, 0.0, kTemplate);
  EXPECT_EQ(hits, 0u);
  mask.CountHitsAtMargin(&x, &y, 1, &hits, 1.0, kTemplate);
  EXPECT_EQ(hits, 1u);
  // At margin 0 the count is that of the shape P3 .. P15.
  EyeMaskShape atZero{};
  for (int i = 0; i < 13; ++i) atZero.m[i] = kTemplate.p[i + 3];
  std::mt19937 random(3);
  std::vector<double> xs, ys;
  for (int i = 0; i < 2000; ++i) {
    xs.push_back(std::uniform_real_distribution<double>(-0.2, 1.2)(random));
    ys.push_back(std::uniform_real_distribution<double>(-1.1, 1.1)(random));
  }
  mask.CountHitsAtMargin(xs.data(), ys.data(), 2000, &hits, 0.0, kTemplate);
  const std::uint64_t direct = mask.CountHits(xs.data(), ys.data(), 2000, 0.0, 1.0, atZero);
  EXPECT_EQ(hits, direct);
  EXPECT_GT(direct, 100u);
}

TEST(EyeMask, MarginSearchExits) {
  EyeMask mask;
  // (0.5, 0.5) hits once the flat top reaches it: from margin 0.375, first
  // tried at 0.38.
  Search s = Find(mask, {0.5}, {0.5}, 0);
  EXPECT_EQ(s.result, 1u);
  EXPECT_EQ(s.hits, 0u);  // the count at the margin before
  EXPECT_NEAR(s.margin, 0.38, 1e-9);
  // Allowing one: the second point (at 0.7) fails from 0.625, tried at 0.63.
  s = Find(mask, {0.5, 0.5}, {0.5, 0.7}, 1);
  EXPECT_EQ(s.result, 2u);
  EXPECT_EQ(s.hits, 1u);
  EXPECT_NEAR(s.margin, 0.63, 1e-9);
  // Already hit at margin 0: margin 0, hits the count there.
  s = Find(mask, {0.5, 0.5}, {0.0, 0.1}, 0);
  EXPECT_EQ(s.result, 2u);
  EXPECT_EQ(s.hits, 2u);
  EXPECT_EQ(s.margin, 0.0);
  // Never hit: the search runs to the margin limit, about 1.00.
  s = Find(mask, {1.5}, {0.0}, 0);
  EXPECT_EQ(s.result, 0u);
  EXPECT_EQ(s.hits, 0u);
  EXPECT_NEAR(s.margin, 1.0, 1e-9);
  // A negative allowance never stops it either.
  s = Find(mask, {0.5}, {0.0}, -1);
  EXPECT_EQ(s.result, 1u);
  EXPECT_EQ(s.hits, 1u);
  EXPECT_NEAR(s.margin, 1.0, 1e-9);
  // No points: nothing ever hits.
  s = Find(mask, {}, {}, 0);
  EXPECT_EQ(s.result, 0u);
  EXPECT_NEAR(s.margin, 1.0, 1e-9);
}

TEST(EyeMask, TemplateThatCannotGrowIsRefused) {
  struct Case {
    const char* why;
    int value;
    double bad;
  } cases[] = {
      {"not a number", 5, kNaN},
      {"infinite", 0, kInf},
      {"centre on the left vertex", 3, 0.5},
      {"centre on the right vertex", 6, 0.5},
      {"flat top on the centre line", 11, 0.0},
      {"flat bottom on the centre line", 10, 0.0},
  };
  EyeMask mask;
  const std::vector<double> x{0.5}, y{0.0};
  for (const Case& c : cases) {
    EyeMaskTemplate t = kTemplate;
    t.p[c.value] = c.bad;
    const Search s = Find(mask, x, y, 5, t);
    EXPECT_EQ(s.result, kRefused) << c.why;
    EXPECT_EQ(s.hits, 0xFFFFFFFFu) << c.why;
    EXPECT_EQ(s.margin, -1.0) << c.why;
    std::uint32_t hits = 0;
    mask.CountHitsAtMargin(x.data(), y.data(), 1, &hits, 0.0, t);
    EXPECT_EQ(hits, 0xFFFFFFFFu) << c.why;
  }
  // Null outputs or points.
  std::uint32_t hits = 0;
  double margin = 0;
  EXPECT_EQ(mask.FindMaskMargin(x.data(), y.data(), 1, 0, nullptr, &margin, kTemplate), kRefused);
  EXPECT_EQ(margin, -1.0);
  EXPECT_EQ(mask.FindMaskMargin(x.data(), y.data(), 1, 0, &hits, nullptr, kTemplate), kRefused);
  EXPECT_EQ(hits, 0xFFFFFFFFu);
  hits = 0;
  EXPECT_EQ(mask.FindMaskMargin(nullptr, y.data(), 1, 0, &hits, &margin, kTemplate), kRefused);
  EXPECT_EQ(hits, 0xFFFFFFFFu);
  mask.CountHitsAtMargin(nullptr, y.data(), 1, &hits, 0.5, kTemplate);
  EXPECT_EQ(hits, 0xFFFFFFFFu);
  mask.CountHitsAtMargin(x.data(), y.data(), 1, nullptr, 0.5, kTemplate);  // nowhere to store: nothing
}

// ---- The test of a stored map ----

namespace {

using tessok::test::ApiPtr;

ApiPtr MakeApi(std::uint32_t model, double rate) {
  ApiPtr api = tessok::test::NewApi(model);
  for (double& r : api->lineRate) r = rate;
  return api;
}

// Every point in the window above the upper limit -1: one hit each.
constexpr EyeMaskShape kEverything{{30, 40, 60, 70, 35, 65, 40, -1.8, -1.5, -2, -1, -1.7, -1.6}};

}  // namespace

TEST(RunEyeMaskTest, EyeCellsOfTheStoredMapAsPoints) {
  ApiPtr api = MakeApi(7652, 10.0);  // UI 100 ps
  api->phaseStep[2] = 100.0 / 129;
  api->calibration.thresholdStepMv = 2.0;
  double* map = api->eyeMap[2];
  for (int i = 0; i < 32768; ++i) map[i] = 0.5;
  map[10 * 128 + 0] = 0.001;  // eye cells: below 0.08 and not 0 ...
  map[20 * 128 + 64] = 1.0;   // ... or exactly 1.0
  map[30 * 128 + 127] = 0.0799;
  map[40 * 128 + 5] = 0.08;  // not eye cells
  map[50 * 128 + 6] = 0.0;
  EXPECT_EQ(api->RunEyeMaskTest(2, kEverything), 3u);
  const double step = 100.0 / 129;
  EXPECT_EQ(api->maskX[0], 128 * step);
  EXPECT_EQ(api->maskY[0], 20.0);
  EXPECT_EQ(api->maskX[1], 64 * step);
  EXPECT_EQ(api->maskY[1], 40.0);
  EXPECT_EQ(api->maskX[2], 1 * step);
  EXPECT_EQ(api->maskY[2], 60.0);
  // A mask around the middle point only: flat part 40 to 60 ps, 30 to 50 mV.
  const EyeMaskShape middle{{30, 40, 60, 70, 35, 65, 40, 30, 50, -1000, 1000, 35, 45}};
  EXPECT_EQ(api->RunEyeMaskTest(2, middle), 1u);
  EXPECT_EQ(api->eyeMask.hitX, (std::vector<double>{64 * step}));
  // The map is used as it stands, valid or not; other lanes hold no eye.
  EXPECT_EQ(api->eyeMapValid[2], 0);
  EXPECT_EQ(api->RunEyeMaskTest(3, kEverything), 0u);
  for (int ch : {-1, 16}) EXPECT_EQ(api->RunEyeMaskTest(ch, kEverything), kRefused);
  EyeMaskShape bad = kEverything;
  bad.m[2] = kNaN;
  EXPECT_EQ(api->RunEyeMaskTest(2, bad), kRefused);
}

TEST(RunEyeMaskTest, SixtyFourStepEntriesBeyondTheUnitIntervalAreLeftOut) {
  ApiPtr api = MakeApi(7822, 25.0);  // UI 40 ps; phase step 1.5625 ps
  api->phaseStep[1] = 1.5625;
  api->calibration.thresholdStepMeasured[1] = 4.0;
  double* map = api->eyeMap[1];
  for (int i = 0; i < 16384; ++i) map[i] = 0.5;
  map[10 * 64 + 0] = 0.001;   // x = 64 steps = 100 ps: beyond the interval
  map[20 * 64 + 50] = 0.001;  // 14 steps = 21.875 ps
  map[30 * 64 + 63] = 0.001;  // one step
  EXPECT_EQ(api->RunEyeMaskTest(1, kEverything), 2u);
  EXPECT_EQ(api->maskX[0], 100.0);
  EXPECT_EQ(api->maskX[1], 21.875);
  EXPECT_EQ(api->maskY[1], 80.0);  // row 20 at the measured 4 mV
  EXPECT_EQ(api->maskX[2], 1.5625);
}
