// Evaluators of the calibration store: level, auxiliary, threshold-step,
// delay and code/value conversions, on small hand-built tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "calibration/CalibrationStore.h"
#include "calibration/Conversions.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

// A zero-filled store, as the instrument object's static storage provides.
std::unique_ptr<CalibrationStore> ZeroStore() { return std::make_unique<CalibrationStore>(); }

void SetRow(double* row, std::initializer_list<double> values) {
  for (double v : values) *row++ = v;
}

TEST(TruncateToInt32, DefinedForEveryDouble) {
  struct Case {
    double x;
    std::int32_t expected;
  };
  const Case cases[] = {
      {1234.9, 1234},
      {-0.5, 0},
      {-0.0, 0},
      {-1234.9, -1234},
      {2147483647.9, kIntMax},
      {2147483648.0, kIntMax},
      {1e300, kIntMax},
      {kInf, kIntMax},
      {-2147483648.9, kIntMin},
      {-2147483649.0, kIntMin},
      {-1e300, kIntMin},
      {-kInf, kIntMin},
      {kNaN, kIntMin},  // erased EEPROM: what x86-64 cvttsd2si gives
  };
  for (const Case& c : cases) EXPECT_EQ(tessok::TruncateToInt32(c.x), c.expected) << c.x;
}

// The identity quartic {0, 0, 0, 1, 0} passes the level through, truncated,
// on the models that read the five-element rows as a quartic.
TEST(CalibrationStoreLevel, IdentityQuarticTruncatesLevel) {
  auto s = ZeroStore();
  for (int lane = 0; lane < 16; ++lane) {
    SetRow(s->levelLowRate[lane], {0, 0, 0, 1, 0});
    SetRow(s->levelHighRate[lane], {0, 0, 0, 1, 0});
  }
  struct Case {
    std::uint32_t model, optionB;
  };
  const Case models[] = {{7652, 0}, {7775, 0}, {7780, 0}, {7822, 1}, {7822, 4}};
  for (const Case& m : models) {
    for (int lane : {0, 7, 15}) {
      EXPECT_EQ(s->ComputeLevelCodeHighRate(m.model, 0, m.optionB, 0, 0, lane, 1234.9, 0), 1234);
      EXPECT_EQ(s->ComputeLevelCodeLowRate(m.model, 0, m.optionB, 0, lane, 1234.9, 0), 1234);
      EXPECT_EQ(s->ComputeLevelCodeHighRate(m.model, 0, m.optionB, 0, 0, lane, -0.5, 0), 0);
      EXPECT_EQ(s->ComputeLevelCodeLowRate(m.model, 0, m.optionB, 0, lane, -0.5, 0), 0);
    }
  }
}

// Five break points (element 2 above 30) round the level to the nearest of
// the codes 0, 25, 50, 75, 100 by the midpoints 55, 150, 250, 350.
TEST(CalibrationStoreLevel, BreakPointsRoundToNearestCode) {
  auto s = ZeroStore();
  SetRow(s->levelLowRate[2], {10, 100, 200, 300, 400});
  SetRow(s->levelHighRate[2], {10, 100, 200, 300, 400});
  struct Case {
    double level;
    int expected;
  };
  const Case cases[] = {{54, 0},    {55, 25},   {149.9, 25}, {150, 50},   {249.99, 50},
                        {250, 75},  {349.9, 75}, {350, 100}, {1e9, 100},  {-1e9, 0},
                        {-kInf, 0}, {kInf, 100}, {kNaN, 100}};
  // 7780 with option code C 1 takes the lane's own row like any generic model.
  const std::uint32_t optionCs[] = {0, 1, 2};
  for (std::uint32_t model : {7652u, 7780u, 7775u, 7792u}) {
    for (std::uint32_t optionC : optionCs) {
      for (const Case& c : cases) {
        EXPECT_EQ(s->ComputeLevelCodeHighRate(model, optionC, 0, 0, 0, 2, c.level, 0), c.expected)
            << model << " optionC " << optionC << " level " << c.level;
        EXPECT_EQ(s->ComputeLevelCodeLowRate(model, optionC, 0, 0, 2, c.level, 0), c.expected)
            << model << " optionC " << optionC << " level " << c.level;
      }
    }
  }
}

// Element 2 of exactly 30.0 is still a quartic; above it, break points.
TEST(CalibrationStoreLevel, BreakPointThresholdIsStrict) {
  auto s = ZeroStore();
  SetRow(s->levelHighRate[0], {0, 0, 30.0, 1, 0});
  EXPECT_EQ(s->ComputeLevelCodeHighRate(7652, 0, 0, 0, 0, 0, 2.0, 0), 122);  // 30*4 + 2
  SetRow(s->levelHighRate[0], {0, 0, 30.000001, 1, 0});
  // b = {0, 0, 30, 1, 0}: midpoints 0, 15, 15.5, 0.5; 2.0 passes m0, stops at m1.
  EXPECT_EQ(s->ComputeLevelCodeHighRate(7652, 0, 0, 0, 0, 0, 2.0, 0), 25);
}

// Which form each model reads from the row {2, 3, 40, 5, 7} at level 2:
// quadratic 2*4 + 3*2 + 40 = 54, quartic 32 + 24 + 160 + 10 + 7 = 233,
// break points (element 2 = 40) with midpoints 2.5, ... -> 0.
TEST(CalibrationStoreLevel, ModelSelectsForm) {
  auto s = ZeroStore();
  SetRow(s->levelLowRate[1], {2, 3, 40, 5, 7});
  SetRow(s->levelHighRate[1], {2, 3, 40, 5, 7});
  struct Case {
    std::uint32_t model, optionB;
    int expected;
  };
  const Case cases[] = {
      {7822, 0, 54}, {7822, 2, 54},  {7822, 3, 54},  {7822, 1, 233}, {7822, 4, 233},
      {7841, 0, 54}, {7841, 1, 54},  {7652, 0, 0},   {7652, 2, 0},   {7775, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(s->ComputeLevelCodeHighRate(c.model, 0, c.optionB, 0, 0, 1, 2.0, 0), c.expected)
        << c.model << " optionB " << c.optionB;
    EXPECT_EQ(s->ComputeLevelCodeLowRate(c.model, 0, c.optionB, 0, 1, 2.0, 0), c.expected)
        << c.model << " optionB " << c.optionB;
  }
}

// Models 7746 and 7769 read cubics from the Alt rows, the high-rate entry
// chosen by the PAM4 flag; the five-element rows are ignored.
TEST(CalibrationStoreLevel, AltModelsReadCubics) {
  auto s = ZeroStore();
  SetRow(s->levelLowRate[3], {0, 0, 0, 1, 0});
  SetRow(s->levelHighRate[3], {0, 0, 0, 1, 0});
  SetRow(s->levelLowRateAlt[3], {1, 2, 3, 4, 1e6, 1e6});               // 8 + 8 + 6 + 4 = 26
  SetRow(s->levelHighRateAlt[3], {1, 0, 0, 5, 1e6, 1e6, 0, 2, 0, 9});  // 8 + 0 + 0 + 5; 8 + 9
  for (std::uint32_t model : {7746u, 7769u}) {
    EXPECT_EQ(s->ComputeLevelCodeLowRate(model, 0, 0, 0, 3, 2.0, 0), 26);
    EXPECT_EQ(s->ComputeLevelCodeHighRate(model, 0, 0, 0, 0, 3, 2.0, 0), 13);
    EXPECT_EQ(s->ComputeLevelCodeHighRate(model, 0, 0, 1, 0, 3, 2.0, 0), 17);
    // Only two entries exist; another flag value names none.
    EXPECT_EQ(s->ComputeLevelCodeHighRate(model, 0, 0, 2, 0, 3, 2.0, 0), 0);
    EXPECT_EQ(s->ComputeLevelCodeHighRate(model, 0, 0, 0xFFFFFFFFu, 0, 3, 2.0, 0), 0);
  }
}

// Swing family: entry k of levelBySwing, quadratic (k+1)*L^2 at element 5k or
// cubic (k+1)*L^3 at element 6k (cubic only on 7621/7837 with register 14 = 3).
// The stored-but-unread elements hold 1e6 so reading them shows.
class SwingFamily : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int k = 0; k < 8; ++k) {
      SetRow(&quadratic->levelBySwing[5][5 * k], {k + 1.0, 0, 0, 1e6, 1e6});
      SetRow(&cubic->levelBySwing[5][6 * k], {k + 1.0, 0, 0, 0, 1e6, 1e6});
    }
  }
  std::unique_ptr<CalibrationStore> quadratic = ZeroStore();
  std::unique_ptr<CalibrationStore> cubic = ZeroStore();
};

TEST_F(SwingFamily, EntryFromSwingAndPam4) {
  struct Case {
    std::uint32_t pam4, swing;
    int highEntry, lowEntry;
  };
  const Case cases[] = {
      {1, 50, 0, 0},  {1, 100, 2, 2}, {1, 150, 4, 4}, {1, 200, 6, 6}, {0, 50, 1, 0},
      {0, 100, 3, 2}, {0, 150, 5, 4}, {0, 200, 7, 6}, {2, 100, 3, 2},  // any pam4 but 1 is NRZ
      {0, 75, 0, 0},  {1, 75, 0, 0},  {0, 0, 0, 0},   {1, 250, 0, 0},
  };
  for (std::uint32_t model : {7592u, 7621u, 7668u, 7837u}) {
    for (const Case& c : cases) {
      // Register 14 other than 3: quadratic form, 10^2 * (k + 1).
      EXPECT_EQ(quadratic->ComputeLevelCodeHighRate(model, 0, 0, c.pam4, c.swing, 5, 10.0, 0),
                100 * (c.highEntry + 1))
          << model << " pam4 " << c.pam4 << " swing " << c.swing;
      EXPECT_EQ(quadratic->ComputeLevelCodeLowRate(model, 0, 0, c.swing, 5, 10.0, 2),
                100 * (c.lowEntry + 1))
          << model << " swing " << c.swing;
    }
  }
  for (std::uint32_t model : {7621u, 7837u}) {
    for (const Case& c : cases) {
      EXPECT_EQ(cubic->ComputeLevelCodeHighRate(model, 0, 0, c.pam4, c.swing, 5, 10.0, 3),
                1000 * (c.highEntry + 1))
          << model << " pam4 " << c.pam4 << " swing " << c.swing;
      EXPECT_EQ(cubic->ComputeLevelCodeLowRate(model, 0, 0, c.swing, 5, 10.0, 3),
                1000 * (c.lowEntry + 1))
          << model << " swing " << c.swing;
    }
  }
}

// Register 14 = 3 selects the cubic form only on 7621 and 7837.
TEST_F(SwingFamily, CubicFormOnlyOn7621And7837) {
  for (std::uint32_t model : {7592u, 7668u}) {
    EXPECT_EQ(quadratic->ComputeLevelCodeHighRate(model, 0, 0, 0, 100, 5, 10.0, 3), 400);
    EXPECT_EQ(quadratic->ComputeLevelCodeLowRate(model, 0, 0, 100, 5, 10.0, 3), 300);
  }
  EXPECT_EQ(cubic->ComputeLevelCodeHighRate(7621, 0, 0, 0, 100, 5, 10.0, 3), 4000);
  // The swing family never reads the five-element rows, even with break points there.
  SetRow(quadratic->levelHighRate[5], {10, 100, 200, 300, 400});
  EXPECT_EQ(quadratic->ComputeLevelCodeHighRate(7592, 0, 0, 1, 50, 5, 10.0, 0), 100);
}

TEST(CalibrationStoreLevel, LaneOutsideTableGivesZero) {
  auto s = ZeroStore();
  for (int lane = 0; lane < 16; ++lane) {
    SetRow(s->levelLowRate[lane], {0, 0, 0, 0, 77});
    SetRow(s->levelHighRate[lane], {0, 0, 0, 0, 77});
  }
  for (int lane : {-1, 16, 1000, kIntMin}) {
    for (std::uint32_t model : {7652u, 7592u, 7746u, 7822u, 7841u}) {
      EXPECT_EQ(s->ComputeLevelCodeHighRate(model, 0, 0, 0, 100, lane, 500.0, 0), 0);
      EXPECT_EQ(s->ComputeLevelCodeLowRate(model, 0, 0, 100, lane, 500.0, 0), 0);
    }
  }
  EXPECT_EQ(s->ComputeLevelCodeLowRate(7652, 0, 0, 0, 15, 500.0, 0), 77);
}

// Erased EEPROM rows read as NaN; a wild row overflows. Both give defined codes.
TEST(CalibrationStoreLevel, NaNAndOverflowSaturate) {
  auto s = ZeroStore();
  SetRow(s->levelLowRate[0], {kNaN, kNaN, kNaN, kNaN, kNaN});
  SetRow(s->levelHighRate[0], {1e300, 0, 0, 0, 0});
  SetRow(s->levelHighRate[1], {-1e300, 0, 0, 0, 0});
  EXPECT_EQ(s->ComputeLevelCodeLowRate(7652, 0, 0, 0, 0, 500.0, 0), kIntMin);
  EXPECT_EQ(s->ComputeLevelCodeHighRate(7652, 0, 0, 0, 0, 0, 500.0, 0), kIntMax);
  EXPECT_EQ(s->ComputeLevelCodeHighRate(7652, 0, 0, 0, 0, 1, 500.0, 0), kIntMin);
}

// Auxiliary conversions: the quartic c4..c0 of the first five elements of
// row [lane][band]; the two limit values are not read.
// At x = 10: 0.0625*10^4 - 0.125*10^3 + 0.5*10^2 + 4*10 + 5 = 625 - 125 + 50 + 40 + 5 = 595.
TEST(CalibrationStoreAux, QuarticOfRowAndBandBounds) {
  auto s = ZeroStore();
  const CalibrationRow row = {{0.0625, -0.125, 0.5, 4, 5, 1e9, -1e9}};
  s->auxAmplitudeA[4][9] = row;
  s->auxAmplitudeB[15][0] = row;
  s->auxLevelC[0][4] = row;
  s->auxGlobalLevel[6] = row;
  EXPECT_EQ(s->ComputeAuxAmplitudeACode(4, 9, 10.0), 595);
  EXPECT_EQ(s->ComputeAuxAmplitudeBCode(15, 0, 10.0), 595);
  EXPECT_EQ(s->ComputeAuxLevelCCode(0, 4, 10.0), 595);
  EXPECT_EQ(s->ComputeAuxGlobalLevelCode(6, 10.0), 595);
  // Each evaluator reads its own table.
  EXPECT_EQ(s->ComputeAuxAmplitudeACode(15, 0, 10.0), 0);
  EXPECT_EQ(s->ComputeAuxAmplitudeBCode(0, 4, 10.0), 0);
  EXPECT_EQ(s->ComputeAuxLevelCCode(4, 9, 10.0), 0);

  // Rows next to the last valid one hold a constant, so reading past the
  // table would show as 7 instead of 0.
  const CalibrationRow seven = {{0, 0, 0, 0, 7, 0, 4095}};
  for (int band = 0; band < 10; ++band) s->auxAmplitudeA[15][band] = seven;
  s->auxAmplitudeB[0][0] = seven;
  s->auxLevelC[0][0] = seven;
  for (int band = 0; band < 7; ++band) s->auxGlobalLevel[band] = seven;
  struct Case {
    int lane, band;
  };
  for (const Case& c : {Case{16, 0}, Case{-1, 0}, Case{0, 10}, Case{0, -1}, Case{15, 10}}) {
    EXPECT_EQ(s->ComputeAuxAmplitudeACode(c.lane, c.band, 1.0), 0) << c.lane << "," << c.band;
    EXPECT_EQ(s->ComputeAuxAmplitudeBCode(c.lane, c.band, 1.0), 0) << c.lane << "," << c.band;
    EXPECT_EQ(s->ComputeAuxLevelCCode(c.lane, c.band, 1.0), 0) << c.lane << "," << c.band;
  }
  EXPECT_EQ(s->ComputeAuxAmplitudeACode(15, 9, 1.0), 7);
  EXPECT_EQ(s->ComputeAuxGlobalLevelCode(7, 1.0), 0);
  EXPECT_EQ(s->ComputeAuxGlobalLevelCode(-1, 1.0), 0);
  EXPECT_EQ(s->ComputeAuxGlobalLevelCode(0, 1.0), 7);
}

// On 7822 and 7841 the lane's measured step, whatever the rate; elsewhere
// the polynomial, with the terms c_i * r^i added from c8 down to c0.
TEST(CalibrationStoreThresholdStep, MeasuredOrPolynomial) {
  auto s = ZeroStore();
  s->thresholdStepMeasured[2] = 1.37;
  s->thresholdStepMeasured[15] = 2.5;
  const double c[9] = {6.495886904, 4.609947052,  -3.130113801, 0.777132962, -0.095490271,
                       0.006382248, -0.000235087, 4.47347e-06,  -3.42852e-08};
  for (int i = 0; i < 9; ++i) s->thresholdStepPoly[i] = c[i];

  for (std::uint32_t model : {7822u, 7841u}) {
    for (double rate : {0.0, 10.3125, 25.78125, kNaN}) {
      EXPECT_EQ(s->ComputeThresholdStep(model, 2, 400.0, rate), 1.37);
      EXPECT_EQ(s->ComputeThresholdStep(model, 15, 400.0, rate), 2.5);
    }
    EXPECT_EQ(s->ComputeThresholdStep(model, 16, 0.0, 10.0), 0.0);
    EXPECT_EQ(s->ComputeThresholdStep(model, -1, 0.0, 10.0), 0.0);
  }

  // Bit for bit: at these rates the nested (Horner) form and the lowest-first
  // sum both differ from this one in the last bits.
  for (double r : {10.3125, 25.78125, 12.5, 28.05}) {
    const double expected = c[8] * std::pow(r, 8) + c[7] * std::pow(r, 7) +
                            c[6] * std::pow(r, 6) + c[5] * std::pow(r, 5) +
                            c[4] * std::pow(r, 4) + c[3] * std::pow(r, 3) +
                            c[2] * std::pow(r, 2) + c[1] * r + c[0];
    EXPECT_EQ(s->ComputeThresholdStep(7652, 0, 400.0, r), expected) << r;
    EXPECT_EQ(s->ComputeThresholdStep(7775, 99, 400.0, r), expected) << r;  // lane unused
  }
  EXPECT_EQ(s->ComputeThresholdStep(7652, 0, 0.0, 0.0), 6.495886904);
}

// Delay sets: set s holds P(y) = y + 100 s, so the result names the set.
class DelayConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int set = 0; set < 12; ++set) SetRow(store->delayPoly[set], {0, 0, 0, 0, 1, 100.0 * set});
  }
  std::unique_ptr<CalibrationStore> store = ZeroStore();
};

TEST_F(DelayConversion, SetByRateDirectionAndModel) {
  struct Case {
    std::uint32_t model;
    bool alt;
    double rate;
    int set;
  };
  const Case cases[] = {
      {7652, false, 10.0, 0}, {7652, true, 17.999, 0}, {7652, false, 18.0, 1},
      {7652, true, 28.05, 1}, {7792, false, 10.0, 4},  {7792, false, 18.0, 5},
      {7792, true, 10.0, 8},  {7792, true, 18.0, 9},   {7822, true, 25.0, 1},
  };
  for (const Case& c : cases) {
    const double ui = 1000.0 / c.rate;
    // toCode != 0: P(x * UI) from set + 2.
    for (int toCode : {1, 5, -1}) {
      EXPECT_EQ(store->ComputeDelayConversion(c.model, c.alt, c.rate, toCode, 0.25),
                0.25 * ui + 100.0 * (c.set + 2))
          << c.model << " rate " << c.rate;
    }
    // toCode == 0: P(x) / UI.
    EXPECT_EQ(store->ComputeDelayConversion(c.model, c.alt, c.rate, 0, 30.0),
              (30.0 + 100.0 * c.set) / ui)
        << c.model << " rate " << c.rate;
  }
}

TEST_F(DelayConversion, QuinticOrderAndNaNRate) {
  SetRow(store->delayPoly[2], {1, 0, 0, 0, 0, 0});  // y^5
  // rate 10: UI = 100 ps; x = 0.02 UI -> y = 2 -> 32.
  EXPECT_DOUBLE_EQ(store->ComputeDelayConversion(7652, false, 10.0, 1, 0.02), 32.0);
  EXPECT_EQ(store->ComputeDelayConversion(7652, false, kNaN, 1, 0.5), 0.0);
  EXPECT_EQ(store->ComputeDelayConversion(7792, true, kNaN, 1, 0.5), 0.0);
  EXPECT_TRUE(std::isnan(store->ComputeDelayConversion(7652, false, kNaN, 0, 0.5)));
}

// Code and value tables: entry k holds the cubic {0, 0, 0, k + 1}, so
// value-from-code returns 2 (k + 1) and names the entry the selector chose.
class CodeValueTables : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int lane = 0; lane < 4; ++lane) {
      for (int k = 0; k < 30; ++k) {
        SetRow(store->valueFromCodeA[lane][k], {0, 0, 0, k + 1.0});
        SetRow(store->valueFromCodeB[lane][k], {0, 0, 0, k + 1.0});
        SetRow(store->codeFromValueA[lane][k], {0, 0, 0, (k + 1.0) * 2});
        SetRow(store->codeFromValueB[lane][k], {0, 0, 0, (k + 1.0) * 2});
      }
    }
  }
  std::unique_ptr<CalibrationStore> store = ZeroStore();
};

TEST_F(CodeValueTables, SelectorPicksEntryRoundedHalfUp) {
  struct Case {
    double sel;
    int entry;  // -1: no entry, result 0.0
  };
  const Case cases[] = {
      {1.0, 0},   {1.49, 0},   {1.5, 1},   {2.0, 1},     {2.49, 1},   {2.5, 2},     {15.0, 14},
      {29.5, 29}, {30.0, 29},  {30.49, 29}, {30.5, -1},  {31.0, -1},  {0.99, -1},   {0.0, -1},
      {-1.0, -1}, {kNaN, -1},  {kInf, -1}, {-kInf, -1},
  };
  for (const Case& c : cases) {
    const double v = c.entry < 0 ? 0.0 : 2.0 * (c.entry + 1);
    const double code = c.entry < 0 ? 0.0 : std::min(2.0 * (c.entry + 1), 63.0);
    for (int lane = 0; lane < 4; ++lane) {
      EXPECT_EQ(store->ComputeValueFromCodeA(lane, 5.0, c.sel), v) << "sel " << c.sel;
      EXPECT_EQ(store->ComputeValueFromCodeB(lane, 5.0, c.sel), v) << "sel " << c.sel;
      EXPECT_EQ(store->ComputeCodeFromValueA(lane, 5.0, c.sel), code) << "sel " << c.sel;
      EXPECT_EQ(store->ComputeCodeFromValueB(lane, 5.0, c.sel), code) << "sel " << c.sel;
    }
  }
}

TEST_F(CodeValueTables, CodeFromValueClampsAndHalvesInput) {
  struct Case {
    double c3, c2, c1, c0, value, expected;
  };
  const Case cases[] = {
      {0, 0, 0, 70, 1.0, 63.0},      // a cubic giving 70
      {0, 0, 0, -3, 1.0, 0.0},       // giving -3
      {0, 0, 0, 63, 1.0, 63.0},      // the bounds themselves pass
      {0, 0, 0, 0, 1.0, 0.0},
      {0, 0, 1, 0.25, 24.0, 12.25},  // value halved, result not rounded
      {1, 0, 0, 0, 6.0, 27.0},       // c3 leads: (6 / 2)^3
      {0, 1, 0, 0, 6.0, 9.0},
  };
  for (const Case& c : cases) {
    SetRow(store->codeFromValueA[1][3], {c.c3, c.c2, c.c1, c.c0});
    SetRow(store->codeFromValueB[2][3], {c.c3, c.c2, c.c1, c.c0});
    EXPECT_EQ(store->ComputeCodeFromValueA(1, c.value, 4.0), c.expected);
    EXPECT_EQ(store->ComputeCodeFromValueB(2, c.value, 4.0), c.expected);
  }
}

TEST_F(CodeValueTables, ValueFromCodeDoublesAndIsNotClamped) {
  SetRow(store->valueFromCodeA[0][0], {1, 0, 0, 0});   // 2 * code^3
  SetRow(store->valueFromCodeB[3][29], {0, 0, -1, 0});  // 2 * -code
  EXPECT_EQ(store->ComputeValueFromCodeA(0, 4.0, 1.0), 128.0);
  EXPECT_EQ(store->ComputeValueFromCodeB(3, 40.0, 30.0), -80.0);
}

TEST_F(CodeValueTables, LaneOutsideTablesGivesZero) {
  for (int lane : {-1, 4, 15, 16}) {
    EXPECT_EQ(store->ComputeValueFromCodeA(lane, 5.0, 1.0), 0.0) << lane;
    EXPECT_EQ(store->ComputeValueFromCodeB(lane, 5.0, 1.0), 0.0) << lane;
    EXPECT_EQ(store->ComputeCodeFromValueA(lane, 5.0, 1.0), 0.0) << lane;
    EXPECT_EQ(store->ComputeCodeFromValueB(lane, 5.0, 1.0), 0.0) << lane;
  }
}

TEST(CalibrationStoreQuartic, TruncatedQuarticsAAndB) {
  auto s = ZeroStore();
  SetRow(s->quarticA[0], {0, 0, 0, 1, 0});
  SetRow(s->quarticB[0], {0, 0, 0, 1, 0});
  SetRow(s->quarticA[15], {1, -2, 0, 0, 0.5});  // 81 - 54 + 0.5 at x = 3
  SetRow(s->quarticB[15], {1, -2, 0, 0, 0.5});
  SetRow(s->quarticB[7], {kNaN, 0, 0, 0, 0});
  EXPECT_EQ(s->ComputeQuarticA(0, 1234.9), 1234);
  EXPECT_EQ(s->ComputeQuarticA(0, -0.5), 0);
  EXPECT_EQ(s->ComputeQuarticB(0, 1234.9), 1234.0);
  EXPECT_EQ(s->ComputeQuarticB(0, -7.9), -7.0);
  EXPECT_EQ(s->ComputeQuarticA(15, 3.0), 27);
  EXPECT_EQ(s->ComputeQuarticB(15, 3.0), 27.0);
  EXPECT_EQ(s->ComputeQuarticB(7, 1.0), static_cast<double>(kIntMin));
  for (int lane : {-1, 16}) {
    EXPECT_EQ(s->ComputeQuarticA(lane, 5.0), 0);
    EXPECT_EQ(s->ComputeQuarticB(lane, 5.0), 0.0);
  }
}

}  // namespace
