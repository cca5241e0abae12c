// The dual-Dirac fit: its 2Q table and TJ read-out, the cleaning and sorting
// of the input, the BER-level walk, the extrapolated tails and the fitted
// curve, on curves built from the model in BathtubModel.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "BathtubModel.h"
#include "measure/DualDirac.h"

namespace {

using tessok::test::Curve;
using tessok::test::CurveAtLevels;
using tessok::test::FitLevels;
using tessok::test::kTwoQRows;
using tessok::test::ModelCurve;
using tessok::test::ModelLeftX;
using tessok::test::TableTwoQ;
using tessok::test::TextbookBer;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kRate = 10.0;  // Gb/s: a unit interval of 100 ps
constexpr double kUi = 100.0;

// Caller arrays of the size the read-outs pass, holding the curve.
struct Arrays {
  std::vector<double> x = std::vector<double>(1024, -7.0);
  std::vector<double> ber = std::vector<double>(1024, -7.0);
  explicit Arrays(const Curve& c) {
    std::copy(c.x.begin(), c.x.end(), x.begin());
    std::copy(c.ber.begin(), c.ber.end(), ber.begin());
  }
  int n(const Curve& c) const { return static_cast<int>(c.x.size()); }
};

// Equal bit for bit, so that a NaN the caller passed counts as unchanged.
bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

bool Fit(DualDirac& f, const Curve& c, bool vertical = false) {
  Arrays a(c);
  return f.Analyse(vertical, kRate, a.n(c), a.x.data(), a.ber.data());
}

TEST(DualDiracTable, ThirteenRowsAndTotalJitterAt) {
  DualDirac f;
  f.dj = 2.5;
  f.rj = 0.75;
  EXPECT_EQ(f.TotalJitterAt(1e-12), 2.5);  // no table yet: DJ alone
  f.FillQTable();
  f.FillQTable();  // refilled, not appended
  ASSERT_EQ(f.qTable.size(), 13u);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(f.qTable[i], kTwoQRows[i]) << i;

  struct Case {
    double ber, twoQ;  // twoQ < 0: the read-out is 0.0
  };
  const Case cases[] = {
      {1e-3, 6.18},    {5e-4, 6.18 + (7.438 - 6.18) * (5e-4 - 1e-3) / (1e-4 - 1e-3)},  // about 6.879: linear in BER
      {1e-12, 14.069}, {5e-14, 14.698 + (15.301 - 14.698) * (5e-14 - 1e-13) / (1e-14 - 1e-13)},
      {1e-15, 16.444}, {1e-16, 0.0},  // below the table: DJ alone
      {2e-3, -1.0},                   // above 1e-3: no TJ
      {0.5, -1.0},
  };
  for (const Case& c : cases) {
    const double expected = c.twoQ < 0 ? 0.0 : c.twoQ * 0.75 + 2.5;
    EXPECT_NEAR(f.TotalJitterAt(c.ber), expected, 1e-12) << c.ber;
  }
}

TEST(DualDiracClean, KeepsTheLongestZeroRunOnly) {
  struct Case {
    std::vector<double> ber;
    bool ok;
    std::vector<double> x, cleaned;  // positions are the input indices
  };
  const Case cases[] = {
      {{1e-3, 0, 0, 0, 1e-3, 0, 0, 1e-3}, true, {0, 1, 2, 3, 4, 7}, {1e-3, 0, 0, 0, 1e-3, 1e-3}},
      // negative and not-a-number BERs count as zero; in the opening they become 0
      {{0, 1e-3, -1.0, kNaN, 0, 1e-4}, true, {1, 2, 3, 4, 5}, {1e-3, 0, 0, 0, 1e-4}},
      {{1e-3, 0, 0, 1e-3, 0, 0, 1e-3}, false, {}, {}},  // two openings of equal length
      {{1e-3, 1e-4, 1e-3}, false, {}, {}},              // a closed eye
      {{}, false, {}, {}},
  };
  for (const Case& c : cases) {
    DualDirac f;
    std::vector<double> x(c.ber.size());
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>(i);
    f.inputX = {42.0};
    f.inputBer = {0.5};
    ASSERT_EQ(f.CleanCurve(x, c.ber), c.ok) << c.ber.size();
    if (!c.ok) {
      EXPECT_EQ(f.inputX, std::vector<double>{42.0});  // untouched on failure
      EXPECT_EQ(f.inputBer, std::vector<double>{0.5});
      continue;
    }
    EXPECT_EQ(f.inputX, c.x);
    EXPECT_EQ(f.inputBer, c.cleaned);
  }
}

// Plateau points go left until the first fit point, right after it (even
// before the opening); points below 1e-7 are dropped; the split is where the
// opening starts.
TEST(DualDiracLoad, SortsPlateauFitAndDroppedPoints) {
  DualDirac f;
  const std::vector<double> x = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const std::vector<double> ber = {0.5, 0.03, 0.02, 0.05, 1e-3, 5e-8, 0, 0, 0, 1e-8, 1e-7, 1e-4, 0.0299, 1.0, 0, 0.4};
  ASSERT_TRUE(f.LoadPoints(x.data(), ber.data(), 16));
  EXPECT_EQ(f.leftPlateauBer, (std::vector<double>{0.5, 0.03}));
  EXPECT_EQ(f.leftPlateauX, (std::vector<double>{0, 1}));
  EXPECT_EQ(f.rightPlateauBer, (std::vector<double>{0.05, 1.0, 0.4}));  // the lone zero at 14 was cleaned away
  EXPECT_EQ(f.rightPlateauX, (std::vector<double>{3, 13, 15}));
  EXPECT_EQ(f.fitX, (std::vector<double>{2, 4, 10, 11, 12}));
  EXPECT_EQ(f.leftFitBer, (std::vector<double>{0.02, 1e-3}));
  EXPECT_EQ(f.rightFitBer, (std::vector<double>{1e-7, 1e-4, 0.0299}));
  EXPECT_EQ(f.rightFitX, (std::vector<double>{10, 11, 12}));
  EXPECT_EQ(f.maxRightX, 12.0);
  EXPECT_EQ(f.inputBer.size(), 15u);

  struct Bad {
    const char* what;
    std::vector<double> ber;
  };
  const Bad bad[] = {
      {"one fit point left of the opening", {0.5, 1e-3, 0, 0, 1e-4, 1e-3}},
      {"one fit point right of the opening", {1e-3, 1e-4, 0, 0, 1e-3, 0.5}},
      {"opening before any fit point", {0.5, 0, 0, 1e-4, 1e-3, 1e-2}},
      {"no opening", {1e-3, 1e-4, 1e-4, 1e-3}},
  };
  for (const Bad& b : bad) {
    DualDirac g;
    std::vector<double> pos(b.ber.size(), 1.0);
    EXPECT_FALSE(g.LoadPoints(pos.data(), b.ber.data(), static_cast<int>(pos.size()))) << b.what;
    EXPECT_EQ(g.maxRightX, 0.0) << b.what;
  }
}

// The level walk: from the deeper-measured of the two innermost flank BERs
// upward by one unit of its leading digit, while below 1e-3.
TEST(DualDiracLevels, WalkFromTheInnermostBer) {
  {
    DualDirac f;
    ASSERT_TRUE(Fit(f, CurveAtLevels(kUi, 20.0, 1.5, 3.2e-6)));
    ASSERT_EQ(f.levelQ.size(), 25u);  // 3.2e-6 .. 9.2e-6, 1.02e-5 .. 9.02e-5, 1.002e-4 .. 9.002e-4
    EXPECT_EQ(f.levelQ.front().first, 3.2e-6);
    EXPECT_NEAR(f.levelQ[7].first, 1.02e-5, 1e-18);
    EXPECT_NEAR(f.levelQ.back().first, 9.002e-4, 1e-15);
    EXPECT_EQ(f.pairDj.size(), 300u);  // every pair of the 25 levels
    EXPECT_EQ(f.pairRj.size(), 300u);
  }
  {
    // Innermost 2e-4 on the left, 5e-6 on the right: the walk starts at 2e-4.
    DualDirac f;
    ASSERT_TRUE(Fit(f, ModelCurve(kUi, 20.0, 1.5, {0.02, 1e-3, 2e-4}, {0.02, 1e-3, 1e-4, 1e-5, 5e-6})));
    ASSERT_EQ(f.levelQ.size(), 8u);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(f.levelQ[i].first, (2 + i) * 1e-4, 1e-16) << i;
    EXPECT_NEAR(f.levelQ[3].second, TableTwoQ(5e-4), 1e-12);
  }
}

// Flanks sampled at the fit's own levels, or at the decade rows where the
// model is linear in BER, are crossed exactly, so DJ and RJ come back exactly.
TEST(DualDiracRecovery, ExactOnTheFitsOwnModel) {
  struct Case {
    double dj, rj, start;
    std::vector<double> left, right;  // empty: points at the levels from start
  };
  const Case cases[] = {
      {20.0, 1.5, 3.2e-6, {}, {}},
      {0.0, 2.0, 1e-7, {}, {}},
      {35.0, 0.8, 4.4e-5, {}, {}},
      {12.0, 1.1, 0, {0.02, 1e-3, 1e-4, 1e-5, 1e-6, 2e-7}, {0.02, 1e-3, 1e-4, 1e-5, 1e-6, 3e-7}},
      {25.0, 1.7, 0, {0.02, 1e-3, 2e-4}, {0.02, 1e-3, 1e-4, 1e-5, 5e-6}},
  };
  for (const Case& c : cases) {
    const Curve curve =
        c.left.empty() ? CurveAtLevels(kUi, c.dj, c.rj, c.start) : ModelCurve(kUi, c.dj, c.rj, c.left, c.right);
    for (bool vertical : {false, true}) {
      // Vertical: the scale is the outermost right fit position, here kUi.
      DualDirac f;
      ASSERT_TRUE(Fit(f, curve, vertical)) << c.dj << " " << c.rj;
      EXPECT_EQ(f.unitInterval, kUi);
      double dj = 0, rj = 0;
      f.GetDjRj(&dj, &rj);
      EXPECT_NEAR(dj, c.dj, 1e-9) << c.dj << " " << c.rj << " vertical " << vertical;
      EXPECT_NEAR(rj, c.rj, 1e-9) << c.dj << " " << c.rj << " vertical " << vertical;
    }
  }
}

// Both flanks measured from 0.02 down to 2e-7: 17 half-decade levels per side
// (1e-15 to 1e-7), a fitted curve 35 points longer than the fit and plateau
// points, and every flank point on the model.
TEST(DualDiracCurve, EqualDepthTailsLieOnTheModel) {
  const double dj = 12.0, rj = 1.1;
  const std::vector<double> flank = {0.02, 1e-3, 1e-4, 1e-5, 1e-6, 2e-7};
  const Curve c = ModelCurve(kUi, dj, rj, flank, flank);
  Arrays a(c);
  DualDirac f;
  ASSERT_TRUE(f.Analyse(false, kRate, a.n(c), a.x.data(), a.ber.data()));
  EXPECT_EQ(f.leftMeasuredCount, 6);
  EXPECT_EQ(f.rightMeasuredCount, 6);
  ASSERT_EQ(f.leftFitBer.size(), 6u + 17u);
  EXPECT_EQ(f.leftFitBer.back(), 1e-15);
  EXPECT_EQ(f.rightFitBer.front(), 1e-15);

  // Written: plateau, left flank, (0, 0), right flank, plateau; beyond it the
  // caller's entries are untouched.
  const int written = 1 + 6 + 17 + 1 + 17 + 6 + 1;
  EXPECT_EQ(written, 2 + 12 + 35);
  EXPECT_EQ(a.ber[written], -7.0);
  EXPECT_EQ(a.ber[written - 1], 0.5);
  EXPECT_EQ(a.ber[0], 0.5);
  EXPECT_EQ(a.x[24], 0.0);
  EXPECT_EQ(a.ber[24], 0.0);
  EXPECT_EQ(std::count(a.ber.begin(), a.ber.begin() + written, 0.0), 1);
  for (int i = 1; i < 24; ++i) {  // left flank, BER falling to 1e-15
    EXPECT_LT(a.ber[i], a.ber[i - 1]) << i;
    if (a.ber[i] <= 1e-3) {
      EXPECT_NEAR(a.x[i], ModelLeftX(dj, rj, a.ber[i]), 1e-9) << i;
    }
  }
  EXPECT_EQ(a.ber[23], 1e-15);
  EXPECT_EQ(a.ber[25], 1e-15);
  for (int i = 25; i < 48; ++i) {  // right flank, BER rising from 1e-15
    if (i > 25) {
      EXPECT_GT(a.ber[i], a.ber[i - 1]) << i;
    }
    if (a.ber[i] <= 1e-3) {
      EXPECT_NEAR(a.x[i], kUi - ModelLeftX(dj, rj, a.ber[i]), 1e-9) << i;
    }
  }
}

// Left measured to 2e-4 only, right to 5e-6: the left flank is first extended
// by its own levels above 5e-6, each moved out by half its excess closure,
// then both get the common levels, where the closure equals the model's TJ.
TEST(DualDiracCurve, DepthMatchThenCommonLevels) {
  const double dj = 25.0, rj = 1.7;
  DualDirac f;
  ASSERT_TRUE(Fit(f, ModelCurve(kUi, dj, rj, {0.02, 1e-3, 2e-4}, {0.02, 1e-3, 1e-4, 1e-5, 5e-6})));
  ASSERT_EQ(f.leftCurveBer.size(), 3u + 3u + 20u);
  ASSERT_EQ(f.rightCurveBer.size(), 20u + 5u);
  const double depthLevels[] = {1e-4, std::pow(10.0, -4.5), 1e-5};
  const double qIn = TableTwoQ(2e-4);
  for (int i = 0; i < 3; ++i) {
    const double b = f.leftCurveBer[3 + i];
    EXPECT_NEAR(b, depthLevels[i], depthLevels[i] * 1e-12) << i;
    // The tail overshoots the model by (2Q - 2Q_in) / 2 x rj; half of that stays.
    EXPECT_NEAR(f.leftCurveX[3 + i], ModelLeftX(dj, rj, b) + (TableTwoQ(b) - qIn) / 4 * rj, 1e-9) << i;
  }
  for (int k = 0; k < 20; ++k) {
    const double b = f.rightCurveBer[k];
    const double xL = f.leftCurveX[25 - k];
    EXPECT_EQ(f.leftCurveBer[25 - k], b) << k;
    EXPECT_NEAR(xL + kUi - f.rightCurveX[k], f.TotalJitterAt(b), 1e-9) << k;
  }
  EXPECT_EQ(f.rightCurveBer[0], 1e-15);
  EXPECT_EQ(f.rightCurveBer[20], 5e-6);
  EXPECT_EQ(f.leftCurveBer.back(), 1e-15);
}

// Two neighbouring right points of the same BER (quantised counts) at the
// first level: the crossing takes the outer point instead of 0 / 0.
TEST(DualDiracLevels, FlatPairTakesTheOuterPoint) {
  const double dj = 20.0, rj = 1.5;
  Curve c = ModelCurve(kUi, dj, rj, {0.02, 1e-3, 1e-4, 1e-5, 1e-6}, {0.02, 1e-3, 1e-4, 1e-5, 5e-6});
  // Insert an outer twin of the innermost right point (5e-6).
  const auto inner = std::find(c.ber.begin(), c.ber.end(), 5e-6) - c.ber.begin();
  const double outerX = c.x[inner] + 0.2;
  c.x.insert(c.x.begin() + inner + 1, outerX);
  c.ber.insert(c.ber.begin() + inner + 1, 5e-6);
  DualDirac f;
  ASSERT_TRUE(Fit(f, c));
  EXPECT_EQ(f.levelQ.front().first, 5e-6);
  const double tL = ModelLeftX(dj, rj, 5e-6) / kUi;
  EXPECT_NEAR(f.levelTj.front(), 1.0 - outerX / kUi + tL, 1e-12);
  EXPECT_TRUE(std::isfinite(f.dj));
  EXPECT_TRUE(std::isfinite(f.rj));
}

TEST(DualDiracFailure, ArraysUntouchedAndJitterCleared) {
  const std::vector<double> deep = {0.02, 1e-3, 1e-4, 1e-5, 1e-6};
  struct Case {
    const char* what;
    Curve curve;
    double rate;
    bool fitRan;  // the fit started (and cleared DJ and RJ)
  };
  Curve twoOpenings = ModelCurve(kUi, 20, 1.5, deep, deep);
  ASSERT_EQ(twoOpenings.ber[8], 0.0);
  twoOpenings.ber[8] = 1e-6;  // the five-point opening cut into two runs of two
  Curve nanPosition = ModelCurve(kUi, 20, 1.5, deep, deep);
  nanPosition.x[3] = kNaN;
  const Case cases[] = {
      {"two zero runs of equal length", twoOpenings, kRate, false},
      {"innermost left 9.5e-4: one level only", ModelCurve(kUi, 20, 1.5, {0.02, 9.5e-4}, deep), kRate, true},
      {"innermost BERs above 1e-3", ModelCurve(kUi, 20, 1.5, {0.02, 2e-3}, {0.02, 2e-3}), kRate, true},
      {"a level beyond the outermost left point", ModelCurve(kUi, 20, 1.5, {5e-4, 1e-6}, deep), kRate, true},
      {"a level beyond the outermost right point", ModelCurve(kUi, 20, 1.5, deep, {2e-4, 1e-5, 1e-6}), kRate, true},
      // No line rate: an infinite unit interval would give NaN jitter.
      {"rate 0", ModelCurve(kUi, 20, 1.5, deep, deep), 0.0, true},
      {"a position that is not a number", nanPosition, kRate, true},
  };
  for (const Case& c : cases) {
    DualDirac f;
    f.dj = 3.0;
    f.rj = 4.0;
    Arrays a(c.curve);
    const Arrays before(c.curve);
    EXPECT_FALSE(f.Analyse(false, c.rate, a.n(c.curve), a.x.data(), a.ber.data())) << c.what;
    EXPECT_TRUE(SameBits(a.x, before.x)) << c.what;
    EXPECT_TRUE(SameBits(a.ber, before.ber)) << c.what;
    double dj = -1, rj = -1;
    f.GetDjRj(&dj, &rj);
    EXPECT_EQ(dj, c.fitRan ? 0.0 : 3.0) << c.what;
    EXPECT_EQ(rj, c.fitRan ? 0.0 : 4.0) << c.what;
  }
}

// Runs of 10 and 9 zero points: the shorter one is dropped and the fit goes on.
TEST(DualDiracClean, ShorterZeroRunIsDroppedBeforeTheFit) {
  Curve c = ModelCurve(kUi, 20, 1.5, {0.02, 1e-3, 1e-4, 1e-5, 1e-6}, {0.02, 1e-3, 1e-4, 1e-5, 1e-6});
  const auto opening = std::find(c.ber.begin(), c.ber.end(), 0.0) - c.ber.begin();
  const double openingX = c.x[opening];
  c.x.insert(c.x.begin() + opening, 5, openingX);  // the opening to 10 points
  c.ber.insert(c.ber.begin() + opening, 5, 0.0);
  c.x.insert(c.x.begin() + 2, 9, 0.5);  // 9 zeros in the left flank
  c.ber.insert(c.ber.begin() + 2, 9, 0.0);
  DualDirac f;
  ASSERT_TRUE(Fit(f, c));
  EXPECT_EQ(std::count(f.inputBer.begin(), f.inputBer.end(), 0.0), 10);
  EXPECT_NEAR(f.dj, 20.0, 1e-9);
}

// The vertical scale is the largest right fit position seen since
// construction: a smaller curve afterwards is measured against the old span.
TEST(DualDiracVertical, SpanIsARunningMaximum) {
  DualDirac f;
  const std::vector<double> flank = {0.02, 1e-3, 1e-4, 1e-5, 1e-6};
  ASSERT_TRUE(Fit(f, ModelCurve(300.0, 30.0, 4.0, flank, flank), true));
  EXPECT_EQ(f.maxRightX, 300.0);
  EXPECT_NEAR(f.dj, 30.0, 1e-9);
  ASSERT_TRUE(Fit(f, ModelCurve(200.0, 30.0, 4.0, flank, flank), true));
  EXPECT_EQ(f.maxRightX, 300.0);
  EXPECT_EQ(f.unitInterval, 300.0);
  EXPECT_NEAR(f.dj, 30.0 + 100.0, 1e-9);  // the closure is taken against 300 mV
  EXPECT_NEAR(f.rj, 4.0, 1e-9);
}

// A textbook dual-Dirac curve (every bit a transition, two equal Diracs) at
// 129 phase positions, errors below 1e-12 uncounted, over DJ 0 to 0.35 UI, RJ
// 2 to 5 phase steps and edge offsets of a fraction of a step. The fit's 2Q
// table reads each BER as the whole Gaussian tail, while on this model the
// inner Dirac carries half the errors: DJ comes out low by up to about one RJ
// and RJ high by up to about 8 %, yet TJ at 1e-12 stays within 0.005 UI.
TEST(DualDiracRecovery, TextbookCurveAt129Points) {
  const double step = kUi / 129.0;
  double djLow = 0, djHigh = -1e9, rjLow = 1e9, rjHigh = -1e9, tjWorst = 0;
  int fits = 0;
  for (double djUi : {0.0, 0.02, 0.05, 0.1, 0.15, 0.2, 0.25, 0.3, 0.35}) {
    for (double rjSteps : {2.0, 2.25, 2.5, 2.75, 3.0, 3.5, 4.0, 4.5, 5.0}) {
      for (int tenth = 0; tenth < 10; ++tenth) {
        const double dj = djUi * kUi, rj = rjSteps * step, e = tenth * step / 10;
        std::vector<double> x(1024, 0.0), ber(1024, 0.0);
        for (int k = 0; k < 129; ++k) {
          x[k] = k * step;
          const double b = TextbookBer(x[k], kUi, dj, rj, e);
          ber[k] = b < 1e-12 ? 0.0 : b;
        }
        DualDirac f;
        ASSERT_TRUE(f.Analyse(false, kRate, 129, x.data(), ber.data())) << djUi << " " << rjSteps << " " << tenth;
        ++fits;
        // Where the model's BER is 1e-12 on each flank, by bisection.
        auto edge = [&](double lo, double hi, bool leftFlank) {
          for (int it = 0; it < 100; ++it) {
            const double m = (lo + hi) / 2;
            ((TextbookBer(m, kUi, dj, rj, e) > 1e-12) == leftFlank ? lo : hi) = m;
          }
          return (lo + hi) / 2;
        };
        const double tjTrue = kUi - (edge(e + kUi / 2, e + kUi, false) - edge(e, e + kUi / 2, true));
        const double djErr = (f.dj - dj) / rj, rjErr = f.rj / rj - 1.0;
        djLow = std::min(djLow, djErr);
        djHigh = std::max(djHigh, djErr);
        rjLow = std::min(rjLow, rjErr);
        rjHigh = std::max(rjHigh, rjErr);
        tjWorst = std::max(tjWorst, std::fabs(f.TotalJitterAt(1e-12) - tjTrue) / kUi);
      }
    }
  }
  EXPECT_EQ(fits, 810);
  EXPECT_GT(djLow, -1.15);  // DJ error in RJ
  EXPECT_LT(djHigh, 0.1);
  EXPECT_GT(rjLow, -0.01);  // relative RJ error
  EXPECT_LT(rjHigh, 0.09);
  EXPECT_LT(tjWorst, 0.006);  // TJ(1e-12) error in UI
}

// After the first fit the sequences keep their capacity: refitting other
// curves of the same length moves none of them.
TEST(DualDiracMemory, RefitsReuseTheSequences) {
  auto sequences = [](DualDirac& f) {
    return std::vector<const void*>{f.leftPlateauBer.data(), f.leftPlateauX.data(), f.rightPlateauBer.data(),
                                    f.rightPlateauX.data(),  f.leftCurveBer.data(), f.leftCurveX.data(),
                                    f.rightCurveBer.data(),  f.rightCurveX.data(),  f.fitX.data(),
                                    f.fitBer.data(),         f.leftFitX.data(),     f.leftFitBer.data(),
                                    f.rightFitX.data(),      f.rightFitBer.data(),  f.inputX.data(),
                                    f.inputBer.data(),       f.qTable.data(),       f.levelTj.data(),
                                    f.levelQ.data(),         f.pairDj.data(),       f.pairRj.data()};
  };
  for (int n : {129, 255}) {
    const double span = n == 129 ? kUi : 400.0;
    const double step = span / n;
    DualDirac f;
    std::vector<const void*> first;
    int i = 0;
    for (double rjSteps : {2.0, 5.0, 2.5, 3.5}) {
      for (double djUi : {0.3, 0.0, 0.15}) {
        std::vector<double> x(1024, 0.0), ber(1024, 0.0);
        for (int k = 0; k < n; ++k) {
          x[k] = k * step;
          const double b = TextbookBer(x[k], span, djUi * span, rjSteps * step);
          ber[k] = b < 1e-12 ? 0.0 : b;
        }
        ASSERT_TRUE(f.Analyse(n == 255, kRate, n, x.data(), ber.data())) << n;
        if (i++ == 0) {
          first = sequences(f);
          continue;
        }
        EXPECT_EQ(sequences(f), first) << n << " " << rjSteps << " " << djUi;
      }
    }
  }
}

}  // namespace
