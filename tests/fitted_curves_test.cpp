// Fitted bathtub curves and the read-outs at a target BER (eye width, total
// jitter, eye height, vertical closure) on stored tables written directly
// into the instrument object, with and without a standing fit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "BathtubModel.h"
#include "core/Tessok_API.h"
#include "measure/FitLine.h"

namespace {

using tessok::test::TextbookBer;

struct ApiDeleter {
  void operator()(Tessok_API* api) const { DestroyApiInstance(api); }
};
using ApiPtr = std::unique_ptr<Tessok_API, ApiDeleter>;

ApiPtr MakeApi(std::uint32_t model, double rate) {
  ApiPtr api(CreateApiInstance());
  api->boardModel = model;
  for (double& r : api->lineRate) r = rate;
  api->calibration.thresholdStepMv = 1.5;
  api->RefreshBoardTraits();
  return api;
}

// Where the line through (i, ti) and (j, tj) reaches b.
double Cross(double i, double ti, double j, double tj, double b) { return i + (b - ti) * (j - i) / (tj - ti); }

void Put(double* table, std::initializer_list<std::pair<int, double>> entries) {
  for (const auto& [i, v] : entries) table[i] = v;
}

TEST(FittedCurveMath, InterpolateCrossingAndFitLine) {
  auto api = MakeApi(7652, 10.0);
  struct Cross {
    double x1, y1, x2, y2, target, expected;
  };
  const Cross crossings[] = {
      {2, 0.5, 4, 0.1, 0.3, 3.0},
      {7, 1e-3, 8, 1e-5, 1e-4, 7 + (1e-4 - 1e-3) / (1e-5 - 1e-3)},  // 7.909: linear in BER
      {5, 1e-4, 6, 1e-4, 1e-4, 5.0},                                // a flat pair at the target: its first point
  };
  for (const Cross& c : crossings) {
    EXPECT_NEAR(api->InterpolateCrossing(c.x1, c.y1, c.x2, c.y2, c.target), c.expected, 1e-12) << c.x1;
  }

  const double x[] = {0, 1, 2, 3, 3, 3};
  const double y[] = {1, 3, 5, 0, 4, 9};
  struct Line {
    int from, to;
    double slope, intercept;
  };
  const Line lines[] = {
      {0, 3, 2.0, 1.0},          // (0, 1), (1, 3), (2, 5)
      {1, 4, -1.5, 17.0 / 3.0},  // (1, 3), (2, 5), (3, 0)
      {2, 2, 0.0, 0.0},          // empty range
      {3, 6, 0.0, 0.0},          // all x equal
      {3, 4, 0.0, 0.0},          // one point
  };
  for (const Line& l : lines) {
    double slope = -9, intercept = -9;
    FitLine(x, y, l.from, l.to, &slope, &intercept);
    EXPECT_NEAR(slope, l.slope, 1e-12) << l.from << ".." << l.to;
    EXPECT_NEAR(intercept, l.intercept, 1e-12) << l.from << ".." << l.to;
  }
}

// Without a fit the read-outs count entry indices between the two crossings
// of the target on the stored table: width = UI x (right - left) / N, total
// jitter = UI x (N - (right - left)) / N, height = step x (upper - lower),
// closure = span - height with span 0 before any vertical fit.
TEST(FittedReadOuts, CrossingsOnTheStoredTables) {
  enum Kind { Width, Jitter, Height, Closure };
  struct Case {
    const char* what;
    std::uint32_t model;
    int ch;  // the channel asked for
    Kind kind;
    double target, expected;
  };
  // 128-step table: ... 0.1, 1e-2, 1e-3, 1e-5, 0 ... 0, 1e-6, 1e-3, 1e-2, 0.1, 0.5.
  const double l4 = Cross(3, 1e-3, 4, 1e-5, 1e-4), r4 = Cross(125, 1e-3, 124, 1e-6, 1e-4);
  // 64-step table (rate 25: UI 40 ps): left as above but 0.4 at 1, right 61-64.
  const double l64 = Cross(3, 1e-3, 4, 1e-5, 1e-4), r64 = Cross(62, 1e-3, 61, 1e-5, 1e-4);
  // Vertical table: 0.2, 1e-3, 1e-5 at 1-3, mirrored at 252-254, 0.5 at 255.
  const double lo = Cross(2, 1e-3, 3, 1e-5, 1e-4), up = Cross(253, 1e-3, 252, 1e-5, 1e-4);
  const Case cases[] = {
      {"width", 7652, 2, Width, 1e-4, 100.0 * (r4 - l4) / 128},
      {"total jitter", 7652, 2, Jitter, 1e-4, 100.0 * (128 - (r4 - l4)) / 128},
      {"width at a table value", 7652, 2, Width, 1e-2, 100.0 * (126 - 2) / 128},
      {"width, 64 steps", 7822, 2, Width, 1e-4, 40.0 * (r64 - l64) / 64},
      {"total jitter, 64 steps", 7822, 2, Jitter, 1e-4, 40.0 * (64 - (r64 - l64)) / 64},
      {"right crossing at the last entry, 64 steps", 7822, 2, Width, 0.3,
       40.0 * (63.5 - Cross(1, 0.4, 2, 1e-2, 0.3)) / 64},
      {"channel 1 of a remapped 7841 reads channel 0", 7841, 1, Width, 1e-4, 40.0 * (r64 - l64) / 64},
      {"height, 1.5 mV per step", 7652, 2, Height, 1e-4, 1.5 * (up - lo)},
      {"closure without a fit: minus the opening", 7652, 2, Closure, 1e-4, -1.5 * (up - lo)},
      {"height, measured step of a 64-step model", 7822, 2, Height, 1e-4, 2.0 * (up - lo)},
      // Nothing to measure: the left flank falls past the target straight to 0,
      // or the target lies above every entry.
      {"no left crossing", 7652, 2, Width, 1e-6, -1.0},
      {"no left crossing", 7652, 2, Jitter, 1e-6, -1.0},
      {"target above the table", 7652, 2, Jitter, 0.7, -1.0},
      {"no lower crossing", 7652, 2, Height, 1e-7, -1.0},
      {"no crossing", 7652, 2, Closure, 0.9, -1.0},
  };
  for (const Case& c : cases) {
    const bool sixtyFour = c.model != 7652;
    auto api = MakeApi(c.model, sixtyFour ? 25.0 : 10.0);
    api->remapLane1 = 1;
  api->RefreshBoardTraits();
    api->RefreshBoardTraits();
    api->calibration.thresholdStepMeasured[2] = 2.0;
    const int stored = c.model == 7841 ? 0 : c.ch;
    double* h = api->bathtubBer[stored];
    Put(h, {{0, 0.5}, {1, 0.1}, {2, 1e-2}, {3, 1e-3}, {4, 1e-5}});
    if (sixtyFour) {
      Put(h, {{1, 0.4}, {61, 1e-5}, {62, 1e-3}, {63, 0.1}, {64, 0.5}});
    } else {
      Put(h, {{124, 1e-6}, {125, 1e-3}, {126, 1e-2}, {127, 0.1}, {128, 0.5}});
    }
    Put(api->vBathtubBer[stored], {{1, 0.2}, {2, 1e-3}, {3, 1e-5}, {252, 1e-5}, {253, 1e-3}, {254, 0.2}, {255, 0.5}});

    double out = -5.0;
    std::uint8_t result = 9;
    switch (c.kind) {
      case Width: result = api->GetEyeWidthAtBER(c.ch, c.target, &out); break;
      case Jitter: result = api->GetTotalJitterAtBER(c.ch, c.target, &out); break;
      case Height: result = api->GetEyeHeightAtBER(c.ch, c.target, &out); break;
      case Closure: result = api->GetVerticalClosureAtBER(c.ch, c.target, &out); break;
    }
    EXPECT_EQ(result, c.expected == -1.0 ? 0 : 1) << c.what;
    EXPECT_NEAR(out, c.expected, 1e-9) << c.what;
  }
}

// Flat pairs exactly at the target (equal counts) cross at the pair's first
// entry instead of producing a NaN width.
TEST(FittedReadOuts, FlatPairAtTheTarget) {
  auto api = MakeApi(7652, 10.0);
  Put(api->bathtubBer[4],
      {{0, 0.5}, {1, 1e-3}, {2, 1e-3}, {3, 1e-6}, {125, 1e-6}, {126, 1e-3}, {127, 1e-3}, {128, 0.5}});
  double width = 0;
  ASSERT_EQ(api->GetEyeWidthAtBER(4, 1e-3, &width), 1);
  EXPECT_NEAR(width, 100.0 * (127 - 1) / 128, 1e-9);
}

// A textbook curve (DJ 0.2 UI, RJ 3 phase steps, errors below 1e-12 not
// counted) in the stored table of a channel and in the caller's arrays.
struct Horizontal {
  static constexpr double kUi = 100.0;
  static constexpr double kStep = kUi / 129;
  ApiPtr api = MakeApi(7652, 10.0);
  std::vector<double> x = std::vector<double>(1024, 0.0);
  std::vector<double> ber = std::vector<double>(1024, 0.0);
  explicit Horizontal(int ch, double dj = 20.0, double rj = 3 * kStep) {
    for (int k = 0; k < 129; ++k) {
      const double b = TextbookBer(k * kStep, kUi, dj, rj);
      x[k] = k * kStep;
      ber[k] = b < 1e-12 ? 0.0 : b;
      api->bathtubX[ch][k] = x[k];
      api->bathtubBer[ch][k] = ber[k];
    }
  }
};

TEST(FittedBathtub, FitStandsForTheReadOuts) {
  Horizontal h(6);
  Tessok_API& api = *h.api;
  ASSERT_TRUE(api.IsCurveWellFormed(false, 6, 128));
  ASSERT_EQ(api.GetFittedBathtub(6, h.x.data(), h.ber.data()), 1);
  EXPECT_EQ(api.horizontalFitValid[6], 1);
  EXPECT_EQ(std::count(h.ber.begin(), h.ber.end(), 1e-15), 2);  // the fitted curve, tails to 1e-15, came back
  double dj = 0, rj = 0;
  api.horizontalFits[6].GetDjRj(&dj, &rj);
  ASSERT_GT(rj, 0.0);

  double width = 0, tj = 0;
  ASSERT_EQ(api.GetEyeWidthAtBER(6, 1e-12, &width), 1);
  EXPECT_NEAR(width, 100.0 - (dj + 14.069 * rj), 1e-9);
  ASSERT_EQ(api.GetTotalJitterAtBER(6, 1e-12, &tj), 1);
  EXPECT_NEAR(tj, dj + 14.069 * rj, 1e-9);

  // Above 1e-3 the fit has no TJ: the whole UI is open.
  ASSERT_EQ(api.GetEyeWidthAtBER(6, 2e-3, &width), 1);
  EXPECT_EQ(width, 100.0);
  // Above 1e-4 total jitter ignores the fit: the same as with no fit standing.
  double fromFit = 0, fromCrossings = 0;
  ASSERT_EQ(api.GetTotalJitterAtBER(6, 2e-4, &fromFit), 1);
  api.horizontalFitValid[6] = 0;
  ASSERT_EQ(api.GetTotalJitterAtBER(6, 2e-4, &fromCrossings), 1);
  EXPECT_EQ(fromFit, fromCrossings);
  EXPECT_GT(std::fabs(fromCrossings - api.horizontalFits[6].TotalJitterAt(2e-4)), 0.1);
}

// A stored curve that fails the check: the caller gets the stored non-zero
// points at their own indices and zeros elsewhere; fit and flag stay as they were.
TEST(FittedBathtub, StoredCurveFailingTheCheckIsHandedBack) {
  Horizontal h(6);
  Tessok_API& api = *h.api;
  for (int k = 40; k < 90; ++k) api.bathtubBer[6][k] = 1e-9;  // closed eye
  h.x[500] = h.ber[500] = 3.0;
  api.horizontalFitValid[6] = 1;
  EXPECT_EQ(api.GetFittedBathtub(6, h.x.data(), h.ber.data()), 0);
  EXPECT_EQ(api.horizontalFitValid[6], 1);
  EXPECT_EQ(api.horizontalFits[6].maxRightX, 0.0);  // no fit ran
  for (int i = 0; i < 1024; ++i) {
    const bool copied = i < 128 && api.bathtubBer[6][i] != 0.0;
    EXPECT_EQ(h.ber[i], copied ? api.bathtubBer[6][i] : 0.0) << i;
    EXPECT_EQ(h.x[i], copied ? api.bathtubX[6][i] : 0.0) << i;
  }
}

// A failed fit zeroes DJ and RJ: the flag must fall, or the read-outs would
// report a full-UI eye and no jitter as a measurement.
TEST(FittedBathtub, FailedFitClearsTheFlag) {
  Horizontal h(6);
  Tessok_API& api = *h.api;
  ASSERT_EQ(api.GetFittedBathtub(6, h.x.data(), h.ber.data()), 1);
  std::vector<double> x(1024, 0.0), ber(1024, 0.01);  // the caller's curve has no opening
  EXPECT_EQ(api.GetFittedBathtub(6, x.data(), ber.data()), 0);
  EXPECT_EQ(api.horizontalFitValid[6], 0);
  EXPECT_EQ(ber[5], 0.01);  // arrays untouched
  double width = 0;
  ASSERT_EQ(api.GetEyeWidthAtBER(6, 2e-3, &width), 1);
  EXPECT_LT(width, 90.0);  // from the stored curve's crossings, not a full UI
}

// 64-step models: the check over 65 stored entries, the fit over 64 points;
// on a remapped 7841 channel 1 is served by channel 0.
TEST(FittedBathtub, SixtyFourStepRoad) {
  auto api = MakeApi(7841, 25.0);
  api->remapLane1 = 1;
  api->RefreshBoardTraits();
  const double ui = 40.0, step = 1.5625;
  std::vector<double> x(1024, 0.0), ber(1024, 0.0);
  for (int k = 0; k < 64; ++k) {
    const double b = TextbookBer(k * step, 64 * step, 4.0, 1.5);
    x[k] = k * step;
    ber[k] = b < 1e-12 ? 0.0 : b;
    api->bathtubX[0][k] = x[k];
    api->bathtubBer[0][k] = ber[k];
  }
  x[64] = 1e6;
  ber[64] = 0.01;  // beyond the 64 points: not part of the fit
  ASSERT_EQ(api->GetFittedBathtub(1, x.data(), ber.data()), 1);
  EXPECT_EQ(api->horizontalFitValid[0], 1);
  EXPECT_EQ(api->horizontalFitValid[1], 0);
  EXPECT_EQ(api->horizontalFits[0].inputBer.size(), 64u);
  EXPECT_NEAR(api->horizontalFits[0].unitInterval, ui, 1e-12);
  EXPECT_LT(api->horizontalFits[0].maxRightX, 64 * step);
}

// A vertical textbook curve over 255 thresholds of 1.5 mV.
struct Vertical {
  static constexpr double kStep = 1.5;
  static constexpr double kSpan = 255 * kStep;
  ApiPtr api = MakeApi(7652, 10.0);
  std::vector<double> y = std::vector<double>(1024, 0.0);
  std::vector<double> ber = std::vector<double>(1024, 0.0);
  explicit Vertical(int ch) {
    for (int k = 0; k < 255; ++k) {
      const double b = TextbookBer(k * kStep, kSpan, 40.0, 3 * kStep);
      y[k] = k * kStep;
      ber[k] = b < 1e-12 ? 0.0 : b;
      api->vBathtubY[ch][k] = y[k];
      api->vBathtubBer[ch][k] = ber[k];
    }
  }
};

TEST(FittedVerticalBathtub, FitStandsForHeightAndClosure) {
  Vertical v(3);
  Tessok_API& api = *v.api;
  ASSERT_EQ(api.GetFittedVerticalBathtub(3, v.y.data(), v.ber.data()), 1);
  EXPECT_EQ(api.verticalFitValid[3], 1);
  const DualDirac& fit = api.verticalFits[3];
  const double span = fit.maxRightX;
  EXPECT_GT(span, Vertical::kSpan - 40 * Vertical::kStep);
  double dj = 0, rj = 0;
  fit.GetDjRj(&dj, &rj);

  double height = 0, closure = 0;
  ASSERT_EQ(api.GetEyeHeightAtBER(3, 1e-12, &height), 1);
  EXPECT_NEAR(height, span - (dj + 14.069 * rj), 1e-9);
  ASSERT_EQ(api.GetVerticalClosureAtBER(3, 1e-12, &closure), 1);
  EXPECT_NEAR(closure, dj + 14.069 * rj, 1e-9);
  // Above 1e-4 the closure comes from the crossings, against the fit's span.
  ASSERT_EQ(api.GetVerticalClosureAtBER(3, 2e-4, &closure), 1);
  api.verticalFitValid[3] = 0;
  ASSERT_EQ(api.GetEyeHeightAtBER(3, 2e-4, &height), 1);
  EXPECT_NEAR(closure, span - height, 1e-9);
}

// The vertical fit runs before the check: a stored curve that fails the check
// still leaves the fitter with the caller's DJ, RJ and span, the flag as it
// was; a failed fit clears the flag.
TEST(FittedVerticalBathtub, FitRunsBeforeTheCheck) {
  Vertical v(3);
  Tessok_API& api = *v.api;
  for (int k = 60; k < 200; ++k) api.vBathtubBer[3][k] = 1e-9;  // the stored eye closed
  EXPECT_EQ(api.GetFittedVerticalBathtub(3, v.y.data(), v.ber.data()), 0);
  EXPECT_EQ(api.verticalFitValid[3], 0);
  EXPECT_GT(api.verticalFits[3].maxRightX, 300.0);
  EXPECT_GT(api.verticalFits[3].rj, 0.0);
  for (int i = 0; i < 1024; ++i) {
    const bool copied = i < 255 && api.vBathtubBer[3][i] != 0.0;
    EXPECT_EQ(v.ber[i], copied ? api.vBathtubBer[3][i] : 0.0) << i;
  }

  Vertical w(3);
  Tessok_API& other = *w.api;
  ASSERT_EQ(other.GetFittedVerticalBathtub(3, w.y.data(), w.ber.data()), 1);
  const double span = other.verticalFits[3].maxRightX;
  std::vector<double> y(1024, 1.0), closed(1024, 0.01);
  EXPECT_EQ(other.GetFittedVerticalBathtub(3, y.data(), closed.data()), 0);
  EXPECT_EQ(other.verticalFitValid[3], 0);
  EXPECT_EQ(closed[7], 0.01);                        // the stored curve passes: arrays untouched
  EXPECT_EQ(other.verticalFits[3].maxRightX, span);  // the span stays
}

}  // namespace
