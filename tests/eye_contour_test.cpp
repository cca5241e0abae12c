// Eye centring: the labelling of the occupancy grid against a literal
// recursive fill, the centre level of hand-made point sets, the shape code,
// the row measure, decimal places, and the centring of a capture's arrays
// against the simulated instrument.
//
// Status records of lane 1: items 19 and 20 (phase, threshold) at 0x2398 and
// 0x23A0. Registers: 0x30A = 778, 0x30B = 779.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "FloodFillOracle.h"
#include "LaneTrace.h"
#include "TestSupport.h"
#include "measure/EyeContour.h"

using namespace tessok;
using tessok::test::Recorded;
using tessok::test::RecursiveFill;
using tessok::test::Rig;
using tessok::test::Trace;
using tessok::test::W;
using Cell = EyeContour::Cell;
using Grid = std::vector<std::vector<Cell>>;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Grid MakeGrid(int columns, int rows, const std::function<bool(int c, int r)>& occupied) {
  Grid g(static_cast<std::size_t>(rows) + 1, std::vector<Cell>(static_cast<std::size_t>(columns) + 1, Cell{}));
  for (int r = 0; r <= rows; ++r) {
    for (int c = 0; c <= columns; ++c) g[r][c].occupied = occupied(c, r) ? 1 : 0;
  }
  return g;
}

}  // namespace

TEST(EyeContour, LabelsFollowTheRecursiveFill) {
  std::mt19937 random(7);
  std::vector<std::function<bool(int, int)>> patterns = {
      [](int c, int r) { return (c + r) % 2 == 0; },             // checkerboard: every cell a region
      [](int c, int r) { return r >= 10 && r <= 15 && c > 5; },  // one bar
      [](int c, int r) { return (c / 3 + r / 2) % 3 == 0; },     // stripes of blocks
      [](int, int) { return false; },                            // no eye
  };
  for (double density : {0.2, 0.45, 0.6, 0.85}) {
    for (int k = 0; k < 3; ++k) {
      std::vector<bool> cells(26 * 76);
      for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i] = std::uniform_real_distribution<>(0, 1)(random) < density;
      patterns.push_back([cells](int c, int r) { return cells[static_cast<std::size_t>(r * 76 + c)]; });
    }
  }
  for (std::size_t p = 0; p < patterns.size(); ++p) {
    for (int columns : {75, 35}) {
      RecursiveFill oracle{MakeGrid(columns, 25, patterns[p]), columns, 25};
      oracle.Fill(0, 0, 0, oracle.grid[0][0].occupied);

      EyeContour contour;
      contour.columns = columns;
      contour.rows = 25;
      contour.grid = MakeGrid(columns, 25, patterns[p]);
      contour.pending = 1;
      contour.FloodFill(0, 0, 0, contour.grid[0][0].occupied);
      EXPECT_EQ(contour.pending, 0);
      for (int r = 0; r <= 25; ++r) {
        for (int c = 0; c <= columns; ++c) {
          ASSERT_EQ(contour.grid[r][c].label, oracle.grid[r][c].label) << "pattern " << p << " at " << r << "," << c;
          ASSERT_EQ(contour.grid[r][c].visited, 1);
        }
      }
    }
  }
}

// ---- Centre level of hand-made points ----

namespace {

struct Points {
  std::vector<double> x, y, z;
  void Add(double px, double py, double pz) {
    x.push_back(px);
    y.push_back(py);
    z.push_back(pz);
  }
  // Points at x = first to last and the given y: with x spanning 0 to 75 and
  // y 0 to 25 the grid cells are 1 wide and 1 tall, so each lands in cell
  // (trunc y, x).
  Points& Row(double py, int first = 0, int last = 75, double pz = 0.001) {
    for (int c = first; c <= last; ++c) Add(c, py, pz);
    return *this;
  }
  Points& Rows(int from, int to) {
    for (int r = from; r <= to; ++r) Row(r);
    return *this;
  }
};

struct LevelCase {
  const char* name;
  Points points;
  double level;     // NaN: not a number
  int result = -1;  // the shape code when it matters
  std::uint32_t model = 7652;
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.name; }

std::vector<LevelCase> LevelCases() {
  std::vector<LevelCase> cases;
  cases.push_back({"TwoBarsGiveTheirMeanRow", Points{}.Rows(0, 2).Rows(23, 25), (0 + 1 + 2 + 23 + 24 + 25) / 6.0});
  // Rows 0 to 9 are the eye: 760 cells, and cell (0, 0) once more, 761.
  // 761 / 5 = 152: two full rows are merged, one cell less is not.
  cases.push_back({"BarOfAFifthIsMerged", Points{}.Rows(0, 9).Rows(24, 25), (45 + 24 + 25) / 12.0});
  cases.push_back({"BarUnderAFifthIsIgnored", Points{}.Rows(0, 9).Row(24, 0, 74).Row(25), 4.5});
  cases.push_back({"OneRowEyeCentresOnItsRow", Points{}.Row(7.25), 7.25});
  {
    Points p;
    for (int r = 0; r <= 25; ++r) p.Add(3.0, r, 0.001);
    cases.push_back({"OneColumnEye", p, 12.5});
  }
  {
    // In grid row 5 the left half holds BER 0.01 (2 places) at y 5.0 and the
    // right half BER 1e-5 (5 places) at y 5.5: (38 x 2 x 5 + 38 x 5 x 5.5) /
    // (38 x 2 + 38 x 5) = 1425 / 266.
    // Rows 24 and 25 join the eye's 457 cells (457 / 5 = 91).
    Points p = Points{}.Rows(0, 4).Row(5.0, 0, 37, 0.01).Row(5.5, 38, 75, 1e-5).Rows(24, 25);
    cases.push_back({"CleanestCellsWeighMost", p, (0 + 1 + 2 + 3 + 4 + 1425.0 / 266 + 24 + 25) / 8});
  }
  cases.push_back({"BerOneCellsWeighNothing", Points{}.Row(0, 0, 75, 1.0).Row(25, 0, 75, 1.0), kNaN});
  cases.push_back({"NoEyeCell", Points{}.Row(0, 0, 75, 0.0), kNaN});
  {
    Points p = Points{}.Rows(0, 2).Rows(23, 25);
    p.Add(kNaN, 3.0, 0.001);
    p.Add(4.0, kInf, 0.001);
    p.Add(-kInf, 1.0, 0.001);
    cases.push_back({"NonFiniteCoordinatesAreLeftOut", p, 12.5});
  }
  {
    Points p = Points{}.Rows(0, 2).Rows(23, 25);
    p.Add(1e15, 1.0, 0.001);  // a cell of 1.3e13
    cases.push_back({"CellWiderThan1e13EndsTheBuild", p, -3.0, 5});
  }
  {
    Points p = Points{}.Rows(0, 2);
    p.z.pop_back();
    cases.push_back({"UnequalLengthsEndTheBuild", p, -3.0, 5});
  }
  cases.push_back({"NarrowGridOn7792", Points{}.Rows(0, 2).Rows(23, 25), 12.5, -1, 7792});
  return cases;
}

}  // namespace

class EyeContourLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(EyeContourLevel, CentreLevel) {
  const LevelCase& c = GetParam();
  EyeContour contour;
  double level = -3.0;  // left as it is by an early return
  const int result = contour.Build(c.model, c.points.x, c.points.y, c.points.z, &level);
  if (std::isnan(c.level)) {
    EXPECT_TRUE(std::isnan(level)) << level;
  } else {
    EXPECT_DOUBLE_EQ(level, c.level);
  }
  if (c.result >= 0) {
    EXPECT_EQ(result, c.result);
  }
  EXPECT_EQ(contour.rows, 25);
  EXPECT_EQ(contour.columns, c.model == 7792 ? 35 : 75);
  if (result != 5 || c.result < 0) {
    EXPECT_EQ(contour.grid.size(), 26u);
    EXPECT_EQ(contour.grid[0].size(), static_cast<std::size_t>(contour.columns) + 1);
    EXPECT_EQ(contour.regions.size(), static_cast<std::size_t>(contour.maxLabel) + 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, EyeContourLevel, ::testing::ValuesIn(LevelCases()),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Shape code ----

namespace {

struct ShapeCase {
  const char* name;
  std::vector<std::pair<int, std::pair<int, int>>> columns;  // column, rows from .. to carrying the label
  std::vector<std::pair<int, int>> extra;                    // further (column, row) cells
  int code;
};

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

// A grid of 10 columns by 6 rows (the extra row and column left empty); the
// label is 1. Left counts from column 0 up to 4, right from 9 down to 5.
const ShapeCase kShapeCases[] = {
    {"NoCellOfTheLabel", {}, {}, 5},
    {"RightHalfOnly", {{6, {1, 3}}, {7, {1, 3}}, {8, {1, 3}}}, {}, 1},
    {"LeftHalfOnly", {{1, {1, 3}}, {2, {1, 3}}}, {}, 0},
    {"EqualCounts", {{2, {2, 3}}, {3, {2, 3}}, {4, {2, 3}}, {5, {2, 3}}, {6, {2, 3}}, {7, {2, 3}}}, {}, 4},
    // Left 5, right 2; heights of the first and last contiguous columns 5 and 1.
    {"LeftWiderSpread4",
     {{0, {0, 5}}, {1, {1, 4}}, {2, {1, 4}}, {3, {1, 4}}, {4, {1, 4}}, {5, {2, 3}}, {6, {2, 3}}},
     {},
     0},
    {"LeftWiderSpread2",
     {{0, {0, 3}}, {1, {1, 4}}, {2, {1, 4}}, {3, {1, 4}}, {4, {1, 4}}, {5, {2, 3}}, {6, {2, 3}}},
     {},
     2},
    {"LeftWiderSpread1",
     {{0, {0, 2}}, {1, {1, 4}}, {2, {1, 4}}, {3, {1, 4}}, {4, {1, 4}}, {5, {2, 3}}, {6, {2, 3}}},
     {},
     4},
    {"RightWiderSpread4",
     {{3, {2, 3}}, {4, {2, 3}}, {5, {1, 4}}, {6, {1, 4}}, {7, {1, 4}}, {8, {1, 4}}, {9, {0, 5}}},
     {},
     1},
    {"RightWiderSpread2",
     {{3, {2, 3}}, {4, {2, 3}}, {5, {1, 4}}, {6, {1, 4}}, {7, {1, 4}}, {8, {1, 4}}, {9, {0, 3}}},
     {},
     3},
    // Column 0 breaks apart (rows 0 and 3): counted, and the count ends
    // there. Left 1, right 5, equal heights: 4 (not "left 0", 1).
    {"BrokenColumnCountsAndEndsTheCount",
     {{1, {1, 2}}, {2, {1, 2}}, {5, {1, 2}}, {6, {1, 2}}, {7, {1, 2}}, {8, {1, 2}}, {9, {1, 2}}},
     {{0, 0}, {0, 3}},
     4},
};

}  // namespace

class EyeContourShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(EyeContourShape, Code) {
  const ShapeCase& c = GetParam();
  EyeContour contour;
  contour.columns = 10;
  contour.rows = 6;
  contour.grid = MakeGrid(10, 6, [](int, int) { return false; });
  for (const auto& [column, span] : c.columns) {
    for (int r = span.first; r <= span.second; ++r) contour.grid[r][column].label = 1;
  }
  for (const auto& [column, row] : c.extra) contour.grid[row][column].label = 1;
  // Cells of the extra row and column are not part of the shape.
  contour.grid[6][0].label = contour.grid[0][10].label = 1;
  EXPECT_EQ(contour.ExtractContour(1, {}), c.code);
}

INSTANTIATE_TEST_SUITE_P(Cases, EyeContourShape, ::testing::ValuesIn(kShapeCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(EyeContour, MeasureRegionAveragesTheRowsShapedLikeTheWidest) {
  EyeContour contour;
  contour.columns = 10;
  contour.rows = 6;
  contour.grid = MakeGrid(10, 6, [](int, int) { return false; });
  auto put = [&](int r, std::vector<int> columns) {
    for (int c : columns) {
      Cell& cell = contour.grid[r][c];
      cell.label = 1;
      cell.x = c;
      cell.y = 10.0 * r;
    }
  };
  put(1, {2, 6});        // widest step 4 (the first such row), 2 cells
  put(2, {2, 6});        // the same: selected
  put(3, {1, 3, 4, 7});  // 4 cells, widest step 3: too far from 4
  put(4, {0, 1, 5});     // 3 cells, widest step 4: selected
  put(5, {9});           // one cell
  EXPECT_DOUBLE_EQ(contour.MeasureRegion(1, {}), (10.0 + 20.0 + 40.0) / 3);
  EXPECT_EQ(contour.MeasureRegion(2, {}), 0.0);  // no row of label 2
}

TEST(EyeContour, DecimalPlaces) {
  const std::pair<double, int> cases[] = {
      {0.05, 2},
      {3e-7, 7},
      {1.0, 0},
      {0.5, 1},
      {7.5, 0},
      {2.5e-4, 4},
      // Nothing to count: these would never reach an integer part of 1.
      {0.0, 0},
      {-0.05, 0},
      {kNaN, 0},
      {kInf, 0},
      {-kInf, 0},
  };
  for (auto [value, places] : cases) EXPECT_EQ(EyeContour::DecimalPlaces(value), places) << value;
}

// ---- Centring a capture ----

namespace {

Trace Centring(unsigned lane, unsigned code, unsigned phase) {
  const std::uint32_t items = 0x2098 + 0x300 * lane;
  return {W(lane, 779, code), Recorded(items), Recorded(items + 8), W(lane, 778, (code << 8) | phase)};
}

// A 128-step capture's arrays: x = (128 - k) ps, y = 2 r mV, BER 0.5 (no eye)
// but where eye(r, k) says 0.001.
struct Map128 {
  std::vector<double> x, y, ber;
  explicit Map128(const std::function<bool(int, int)>& eye) : x(32768), y(32768), ber(32768) {
    for (int r = 0; r < 256; ++r) {
      for (int k = 0; k < 128; ++k) {
        const int i = r * 128 + k;
        x[i] = 128 - k;
        y[i] = 2.0 * r;
        ber[i] = eye(r, k) ? 0.001 : 0.5;
      }
    }
  }
};

}  // namespace

TEST(CenterSamplingPoint, OneTwentyEightStepCentreProgrammedAtMidPhase) {
  struct Case {
    const char* name;
    std::function<bool(int, int)> eye;
    double centre;  // in threshold steps of 2 mV
  } cases[] = {
      // Rows 40 and 90 are the top and bottom grid rows: (80 + 180) / 2 mV.
      {"TwoBarsGiveTheirMeanRow", [](int r, int) { return r == 40 || r == 90; }, 65.0},
      // Row 90's ten cells fall into 7 grid cells, under a fifth of row 40's 77.
      {"BarUnderAFifthIsIgnored", [](int r, int k) { return r == 40 || (r == 90 && k < 10); }, 40.0},
      {"NoEyeGivesNotANumber", [](int, int) { return false; }, kNaN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(7652);
    rig.Connect();
    Tessok_API& api = rig.api();
    api.calibration.thresholdStepMv = 2.0;
    const Map128 map(c.eye);
    const double centre = api.CenterSamplingPoint(1, map.x.data(), map.y.data(), map.ber.data());
    if (std::isnan(c.centre)) {
      EXPECT_TRUE(std::isnan(centre));
    } else {
      EXPECT_EQ(centre, c.centre);
    }
    const auto code = std::isnan(c.centre) ? 0u : static_cast<unsigned>(c.centre);
    EXPECT_EQ(test::LaneTrace(rig), Centring(1, code, 64));
    APIDisconnect(0);
  }
}

TEST(CenterSamplingPoint, SixtyFourStepUsesEntriesOneTo63AndTheMeasuredStep) {
  Rig rig(7822);
  rig.Connect();
  Tessok_API& api = rig.api();
  api.calibration.thresholdStepMeasured[1] = 4.0;
  std::vector<double> x(16384), y(16384), ber(16384, 0.5);
  for (int r = 0; r < 256; ++r) {
    for (int e = 0; e < 64; ++e) {
      const int i = r * 64 + e;
      x[i] = (63 - e) * 1.5625;
      y[i] = 4.0 * r;
      if ((r == 40 || r == 90) && e >= 1) ber[i] = 0.001;
    }
  }
  ber[200 * 64] = 0.001;  // entry r x 64 is no point of a 64-step capture
  EXPECT_EQ(api.CenterSamplingPoint(1, x.data(), y.data(), ber.data()), 65.0);  // (160 + 360) / 2 / 4
  EXPECT_EQ(test::LaneTrace(rig), Centring(1, 65, 32));
}

TEST(CenterSamplingPoint, BadChannelOrArraySendsNothing) {
  Rig rig(7652);
  rig.Connect();
  const Map128 map([](int r, int) { return r == 40; });
  Tessok_API& api = rig.api();
  for (int ch : {-1, 16})
    EXPECT_TRUE(std::isnan(api.CenterSamplingPoint(ch, map.x.data(), map.y.data(), map.ber.data())));
  EXPECT_TRUE(std::isnan(api.CenterSamplingPoint(1, nullptr, map.y.data(), map.ber.data())));
  EXPECT_TRUE(std::isnan(api.CenterSamplingPoint(1, map.x.data(), nullptr, map.ber.data())));
  EXPECT_TRUE(std::isnan(api.CenterSamplingPoint(1, map.x.data(), map.y.data(), nullptr)));
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
}
