// Eye opening on hand-made stored maps of both families, and the two
// threshold-step read-outs.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "core/Tessok_API.h"

namespace {

using tessok::test::ApiPtr;

ApiPtr MakeApi(std::uint32_t model, double rate, std::uint32_t remapLane1 = 0) {
  ApiPtr api = tessok::test::NewApi(model);
  api->remapLane1 = remapLane1;
  api->RefreshBoardTraits();
  for (double& r : api->lineRate) r = rate;
  api->calibration.thresholdStepMv = 2.0;
  return api;
}

// Fills lane's map (columns wide) with background, then cell(r, k, value&)
// may change each cell; marks the map valid.
void FillMap(Tessok_API& api, int lane, int columns, double background,
             const std::function<void(int r, int k, double& v)>& cell) {
  for (int r = 0; r < 256; ++r) {
    for (int k = 0; k < columns; ++k) {
      double& v = api.eyeMap[lane][r * columns + k];
      v = background;
      cell(r, k, v);
    }
  }
  api.eyeMapValid[lane] = 1;
}

struct Opening {
  double early = 7, late = 7, low = 7, high = 7;
  std::uint8_t result = 9;
};

Opening Open(Tessok_API& api, int ch, double ber) {
  Opening o;
  o.result = api.GetEyeOpening(ch, ber, &o.early, &o.late, &o.low, &o.high);
  return o;
}

void ExpectOpening(const Opening& o, std::uint8_t result, double early, double late, double low, double high) {
  EXPECT_EQ(o.result, result);
  EXPECT_DOUBLE_EQ(o.early, early);
  EXPECT_DOUBLE_EQ(o.late, late);
  EXPECT_DOUBLE_EQ(o.low, low);
  EXPECT_DOUBLE_EQ(o.high, high);
}

// UI 100 ps at 10 Gb/s; threshold step 2 mV.
constexpr double kUi = 100.0;

}  // namespace

TEST(GetEyeOpening, OneTwentyEightStepEdges) {
  ApiPtr api = MakeApi(7652, 10.0);
  // Below the target: rows 110 to 150 of columns 30 to 100 (BER 0 counts as
  // below), and a cell at row 50, column 10, outside both search windows.
  FillMap(*api, 2, 128, 0.5, [](int r, int k, double& v) {
    if ((r >= 110 && r <= 150 && k >= 30 && k <= 100) || (r == 50 && k == 10)) v = 0.0;
  });
  // Columns 30 and 100; lower row 110, upper row 150 (row 151 is above).
  ExpectOpening(Open(*api, 2, 1e-3), 1, (128 - 100) * kUi / 129, (128 - 30) * kUi / 129, 110 * 2.0, 150 * 2.0);

  // An eye open to the top: no row above the target from 129 up: upper 256.
  FillMap(*api, 2, 128, 0.5, [](int r, int k, double& v) {
    if (r >= 110 && k >= 30 && k <= 100) v = 1e-6;
  });
  ExpectOpening(Open(*api, 2, 1e-3), 1, (128 - 100) * kUi / 129, (128 - 30) * kUi / 129, 110 * 2.0, 256 * 2.0);

  // Every cell above the target: columns 64 and 64, rows 0 and 128 (row 129
  // already holds a cell above the target).
  FillMap(*api, 2, 128, 0.5, [](int, int, double&) {});
  ExpectOpening(Open(*api, 2, 1e-3), 1, 64 * kUi / 129, 64 * kUi / 129, 0.0, 128 * 2.0);
}

TEST(GetEyeOpening, TimeEdgesCountCellsOnBothEdgeRowsOfTheWindow) {
  ApiPtr api = MakeApi(7652, 10.0);
  // The time edges look at rows 103 to 152: an open cell on row 103 in column
  // 20 and one on row 152 in column 110 give the two edges; open cells just
  // outside, on rows 102 (column 10) and 153 (column 120), do not count.
  FillMap(*api, 1, 128, 0.5, [](int r, int k, double& v) {
    if ((r == 103 && k == 20) || (r == 152 && k == 110) || (r == 102 && k == 10) || (r == 153 && k == 120)) v = 1e-6;
  });
  // No open cell in columns 52-75: lower row 0; row 129 is above: upper 128.
  ExpectOpening(Open(*api, 1, 1e-3), 1, (128 - 110) * kUi / 129, (128 - 20) * kUi / 129, 0.0, 128 * 2.0);
}

TEST(GetEyeOpening, ThresholdEdgesCountCellsOnBothEdgeColumnsOfTheWindow) {
  // The threshold edges look at columns 52 to 75. On a closed map one open
  // cell at row 60 is the lower edge when it lies in the window (else none is
  // found: row 0); on an open map one closed cell at row 200 ends the eye
  // above at row 199 when it lies in the window (else none is found: 256).
  struct Case {
    bool openMap;
    int column;
    int lower, upper;
  } cases[] = {
      {false, 52, 60, 128}, {false, 75, 60, 128}, {false, 51, 0, 128}, {false, 76, 0, 128},
      {true, 52, 0, 199},   {true, 75, 0, 199},   {true, 51, 0, 256},  {true, 76, 0, 256},
  };
  ApiPtr api = MakeApi(7652, 10.0);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.openMap ? "open" : "closed") << " map, column " << c.column);
    const double background = c.openMap ? 1e-6 : 0.5;
    const int row = c.openMap ? 200 : 60;
    FillMap(*api, 2, 128, background, [&](int r, int k, double& v) {
      if (r == row && k == c.column) v = c.openMap ? 0.5 : 1e-6;
    });
    // The time edges: every column of the open map; none of the closed one,
    // whose cell lies outside rows 103-152 (both at column 64).
    const int left = c.openMap ? 0 : 64;
    const int right = c.openMap ? 127 : 64;
    ExpectOpening(Open(*api, 2, 1e-3), 1, (128 - right) * kUi / 129, (128 - left) * kUi / 129, c.lower * 2.0,
                  c.upper * 2.0);
  }
}

TEST(GetEyeOpening, OneTwentyEightStepEyeReducedToTheMiddleIsNoEye) {
  ApiPtr api = MakeApi(7652, 10.0);
  // Column 64 alone opens in rows 103-152, its first open cell in columns
  // 52-75 lies in row 128, and row 129 holds a cell above the target.
  FillMap(*api, 0, 128, 0.5, [](int r, int k, double& v) {
    if (r == 128 && k == 64) v = 1e-6;
  });
  ExpectOpening(Open(*api, 0, 1e-3), 0, 64, 64, 128, 128);
}

TEST(GetEyeOpening, SixtyFourStepEdgesAndRows) {
  struct Case {
    std::uint32_t model;
    std::uint32_t remap;
    int ch, lane;
    double step;  // mV per row
  } cases[] = {
      {7822, 0, 1, 1, 4.0 / 2},  // the measured step, halved
      {7841, 1, 1, 0, 3.0},      // lane 1 read at lane 0
      {7792, 0, 2, 2, 5.0},      // the polynomial
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    ApiPtr api = MakeApi(c.model, 25.0, c.remap);  // UI 40 ps
    api->calibration.thresholdStepMeasured[1] = 4.0;
    api->calibration.thresholdStepMeasured[0] = 3.0;
    for (double& p : api->calibration.thresholdStepPoly) p = 0.0;
    api->calibration.thresholdStepPoly[0] = 5.0;
    // Eye cells (0.001) in rows 20-220 of entries 10-50; row 230 entry 5
    // holds 0.05, below ten times the target; entry 0 of row 240 holds 1.0
    // but entry 0 is not scanned; row 10 is all 0 (skipped).
    FillMap(*api, c.lane, 64, 0.5, [](int r, int e, double& v) {
      if (r >= 20 && r <= 220 && e >= 10 && e <= 50) v = 0.001;
      if (r == 230 && e == 5) v = 0.05;
      if (r == 240 && e == 0) v = 1.0;
      if (r == 10) v = 0.0;
    });
    ExpectOpening(Open(*api, c.ch, 0.01), 1, (64 - 50) * 40.0 / 65, (64 - 10) * 40.0 / 65, 20 * c.step, 230 * c.step);

    // No eye cell: both rows 0, both columns 32; the 64-step opening never
    // reports no eye.
    FillMap(*api, c.lane, 64, 0.5, [](int, int, double&) {});
    ExpectOpening(Open(*api, c.ch, 0.01), 1, 32 * 40.0 / 65, 32 * 40.0 / 65, 0.0, 0.0);
    // One eye cell: the upper row stays 0.
    FillMap(*api, c.lane, 64, 0.5, [](int r, int e, double& v) {
      if (r == 120 && e == 7) v = 0.001;
    });
    ExpectOpening(Open(*api, c.ch, 0.01), 1, (64 - 7) * 40.0 / 65, (64 - 7) * 40.0 / 65, 120 * c.step, 0.0);
  }
}

TEST(GetEyeOpening, NoValidMapBadChannelOrNullOutput) {
  for (std::uint32_t model : {7652u, 7822u}) {
    ApiPtr api = MakeApi(model, 10.0);
    ExpectOpening(Open(*api, 3, 1e-3), 0, -1, -1, -1, -1);  // never captured
    api->eyeMapValid[3] = 1;
    for (int ch : {-1, 16}) ExpectOpening(Open(*api, ch, 1e-3), 0, -1, -1, -1, -1);
    double a = 7, b = 7, c = 7;
    EXPECT_EQ(api->GetEyeOpening(3, 1e-3, nullptr, &a, &b, &c), 0);
    EXPECT_EQ(api->GetEyeOpening(3, 1e-3, &a, &b, &c, nullptr), 0);
    EXPECT_EQ(a + b + c, 21);
  }
}

TEST(ThresholdStepReadOuts, MeasuredStepOnTheSixtyFourStepModelsOnly) {
  struct Case {
    std::uint32_t model, remap;
    int ch;
    double expected;  // 7.0: untouched
  } cases[] = {
      {7822, 0, 2, 2.5}, {7792, 0, 2, 2.5}, {7841, 1, 1, 0.5},  // lane 1 read at lane 0
      {7841, 0, 1, 1.5}, {7652, 0, 2, 7.0}, {7822, 0, 16, 7.0}, {7822, 0, -1, 7.0},
  };
  for (const Case& c : cases) {
    ApiPtr api = MakeApi(c.model, 10.0, c.remap);
    api->calibration.thresholdStepMeasured[0] = 0.5;
    api->calibration.thresholdStepMeasured[1] = 1.5;
    api->calibration.thresholdStepMeasured[2] = 2.5;
    double step = 7.0;
    api->GetMeasuredThresholdStep(c.ch, &step);
    EXPECT_EQ(step, c.expected) << c.model << " " << c.ch;
    api->GetMeasuredThresholdStep(c.ch, nullptr);
  }
}

TEST(ThresholdStepReadOuts, CentringStepFromTheRatePolynomialOrTheMeasurement) {
  ApiPtr api = MakeApi(7652, 10.0);
  // c0 + c1 r + ... + c8 r^8 of the object's own polynomial.
  EXPECT_NEAR(api->ComputeThresholdStep(0, 5.0), 5.36, 0.005);
  EXPECT_NEAR(api->ComputeThresholdStep(0, 10.0), 6.26, 0.005);
  EXPECT_NEAR(api->ComputeThresholdStep(0, 25.0), 11.98, 0.005);
  EXPECT_EQ(api->ComputeThresholdStep(0, 0.0), 6.495886904);
  EXPECT_EQ(api->ComputeThresholdStep(99, 25.0), api->ComputeThresholdStep(0, 25.0));  // no lane involved
  api->rateScalePoly[2] = 1.0;  // the object's coefficients, not the store's
  EXPECT_EQ(api->ComputeThresholdStep(0, 0.5),
            6.495886904 + 4.609947052 * 0.5 + 1.0 * 0.25 + 0.777132962 * 0.125 - 0.095490271 * 0.0625 +
                0.006382248 * 0.03125 - 0.000235087 * 0.015625 + 4.47347e-06 * 0.0078125 - 3.42852e-08 * 0.00390625);
  // The 7792's step is the polynomial too.
  ApiPtr narrow = MakeApi(7792, 10.0);
  EXPECT_NEAR(narrow->ComputeThresholdStep(0, 10.0), 6.26, 0.005);

  ApiPtr measured = MakeApi(7822, 10.0);
  measured->calibration.thresholdStepMeasured[3] = 4.25;
  EXPECT_EQ(measured->ComputeThresholdStep(3, 99.0), 4.25);
  EXPECT_EQ(measured->ComputeThresholdStep(16, 10.0), 0.0);
  ApiPtr moved = MakeApi(7841, 10.0, 1);
  moved->calibration.thresholdStepMeasured[0] = 1.75;
  EXPECT_EQ(moved->ComputeThresholdStep(1, 10.0), 1.75);
}
