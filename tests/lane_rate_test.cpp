// Rate tables and lane rate registers: the rate-range rows, the preset and
// band tables, the integer lane rate, the readiness check, the rate-code
// read-back and per-rate stored codes, the rate PLL words, the group re-rate
// and the rate-code procedure.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "LaneTrace.h"
#include "TestSupport.h"
#include "clock/LaneRate.h"

using namespace tessok;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::SleepRecorder;
using tessok::test::Wr;
using Accesses = std::vector<Rig::Access>;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Register 25 / 5 differing from register 24 makes the serial number short.
void MakeShortSerial(Rig& rig) { rig.sim.SetReg(0, 24, 1); }

}  // namespace

TEST(RateTables, FindRateEntryTakesTheFirstRowWithLowAtOrBelowAndHighAbove) {
  // Rows from the rate-range table; row 3 is all zero and never matches.
  struct Case {
    double rate;
    std::uint32_t code, bits;  // 0 and the untouched 99 when no row matches
  } cases[] = {
      {1.12, 8, 0},    {2.24, 16, 1},     {3.12, 20, 2},  {3.74, 33, 4}, {3.7399, 20, 2}, {9.0, 66, 12},
      {24.0, 165, 38}, {29.879, 180, 43}, {29.88, 0, 99}, {1.0, 0, 99},  {0.0, 0, 99},    {kNaN, 0, 99},
  };
  Tessok_API& api = g_apiInstances[0];
  for (const Case& c : cases) {
    std::uint32_t bits = 99;
    EXPECT_EQ(api.FindRateEntry(c.rate, &bits), c.code) << c.rate;
    EXPECT_EQ(bits, c.bits) << c.rate;
  }
}

TEST(RateTables, PresetNumbersAndTheEightLaneList) {
  const double presetRates[] = {10.3125, 12.16512, 14.025, 14.0625, 24.33024, 25.78125, 25.9524, 28.03, 28.05};
  for (std::uint32_t i = 0; i < 9; ++i) EXPECT_EQ(rate::kLineRatePresets.PresetOf(presetRates[i]), i + 1);
  EXPECT_EQ(rate::kLineRatePresets.PresetOf(8.5), 0u);
  EXPECT_EQ(rate::kLineRatePresets.PresetOf(27.9524), 0u);
  EXPECT_EQ(rate::kLineRatePresets.PresetOf(10.31251), 0u);  // exact equality only
  EXPECT_TRUE(rate::IsEightLanePresetRate(8.5));
  EXPECT_TRUE(rate::IsEightLanePresetRate(27.9524));
  EXPECT_TRUE(rate::IsEightLanePresetRate(28.05));
  EXPECT_FALSE(rate::IsEightLanePresetRate(25.9524));
  EXPECT_FALSE(rate::IsEightLanePresetRate(10.0));
}

TEST(RateTables, BandCodes) {
  struct Case {
    const rate::RateBandTable* table;
    double rate;
    std::optional<std::uint16_t> code;
  } cases[] = {
      {&rate::kBandTableA, 3.0, 16},     {&rate::kBandTableA, 3.01, 32},     {&rate::kBandTableA, 5.0, 32},
      {&rate::kBandTableA, 15.0, 64},    {&rate::kBandTableA, 15.5, 100},    {&rate::kBandTableA, 33.0, 100},
      {&rate::kBandTableA, 33.01, {}},   {&rate::kBandTableA, kNaN, {}},     {&rate::kBandTableALow, 15.5, 64},
      {&rate::kBandTableALow, 16.0, 64}, {&rate::kBandTableALow, 16.01, {}}, {&rate::kBandTableALow, 25.78125, {}},
      {&rate::kBandTableB, 15.0, 66},    {&rate::kBandTableB, 15.5, 100},    {&rate::kBandTableB, 32.99, 100},
      {&rate::kBandTableB, 33.0, {}},    {&rate::kBandTableB, -1.0, 16},
  };
  for (const Case& c : cases) EXPECT_EQ(rate::BandCode(*c.table, c.rate), c.code) << c.rate;

  Tessok_API& api = g_apiInstances[0];
  api.option57Low = 1;
  EXPECT_EQ(&rate::BandTableA(api), &rate::kBandTableALow);
  api.option57Low = 2;
  EXPECT_EQ(&rate::BandTableA(api), &rate::kBandTableA);
}

TEST(LaneRate, WriteLaneRateSendsTheTruncatedRateInTwoBytes) {
  Rig rig;
  rig.Connect();
  rig.api().WriteLaneRate(3, 25.78125);
  rig.api().WriteLaneRate(5, 300.5);  // 300 = 0x12C
  EXPECT_EQ(rig.Accesses(), (Accesses{Wr(3, 0x207, 25), Wr(3, 0x208, 0), Wr(5, 0x207, 44), Wr(5, 0x208, 1)}));
}

TEST(LaneRate, CheckDspReadyReadyAndNot) {
  Rig rig;
  rig.Connect();
  EXPECT_TRUE(rig.api().CheckDspReady(2));
  EXPECT_EQ(rig.api().regScratch.word[1], 0x104B);
  EXPECT_EQ(rig.Accesses(), (Accesses{Wr(2, 0x200, 0), Wr(2, 0x201, 0), Rd(2, 0x201)}));
  EXPECT_EQ(SleepRecorder::Waits(), (std::vector<std::uint32_t>{50}));

  rig.sim.ClearLog();
  rig.sim.SetDspNotReadyFor(2, 1);
  EXPECT_FALSE(rig.api().CheckDspReady(2));
  EXPECT_EQ(rig.api().regScratch.word[1], 0);
  EXPECT_EQ(rig.Accesses(), (Accesses{Wr(2, 0x200, 0), Wr(2, 0x201, 0), Rd(2, 0x201), Wr(2, 0x22D, 0)}));
  EXPECT_EQ(SleepRecorder::Waits(), (std::vector<std::uint32_t>{50, 50}));

  // A processor reporting anything but the ready word is not ready.
  rig.sim.ClearLog();
  rig.sim.SetSubRegister(2, 0, 0x104A);
  EXPECT_FALSE(rig.api().CheckDspReady(2));
  EXPECT_EQ(rig.sim.WritesTo(2, 0x22D), (std::vector<std::uint16_t>{0, 0}));
}

TEST(LaneRate, ReadRateDividerAsksTheLaneWithTheRateInMbps) {
  Rig rig(7822);
  rig.Connect();
  rig.sim.SetReadValue(1, 0x22B, 66);
  rig.api().lastResult = 0;
  EXPECT_EQ(rig.api().ReadRateDivider(1, 10.3), 66u);
  EXPECT_EQ(rig.api().lastResult, 1u);
  EXPECT_EQ(rig.Accesses(), (Accesses{Wr(1, 0x228, 10300), Rd(1, 0x22B)}));

  // Other boards ask the lane at the stored rates too.
  Rig other(7652, 1, 1);
  other.Connect();
  other.sim.SetReadValue(0, 0x22B, 0x1234);
  EXPECT_EQ(other.api().ReadRateDivider(0, 25.78125), 0x1234u);
  EXPECT_EQ(other.Accesses(), (Accesses{Wr(0, 0x228, 25781), Rd(0, 0x22B)}));
}

TEST(LaneRate, ReadRateDividerOn7822ReadsTheStoredValueAtTheStoredRates) {
  Rig rig(7822);
  rig.sim.SeedDouble(336, 33.9);  // selector 1 (the bank), 10.3125 Gb/s
  rig.sim.SeedDouble(344, 48.0);  // selector 1, 25.78125 Gb/s
  rig.Connect();
  EXPECT_EQ(rig.api().ReadRateDivider(1, 10.3125), 33u);
  EXPECT_EQ(rig.api().ReadRateDivider(1, 25.78125), 48u);
  for (const Rig::Access& a : rig.Accesses()) EXPECT_NE(a.reg, 0x228u);
}

TEST(LaneRate, StoredRateCodeAddressesForBothSerialForms) {
  // Addresses written out from the per-rate map: selector 0 at 272 (256 on a
  // short serial), 1 at 336, 2 at 512, 3 at 592, others at 272; +8 for 25.78125.
  struct Case {
    bool shortSerial;
    std::uint16_t selector;
    double rate;
    std::uint32_t address;
  } cases[] = {
      {false, 0, 10.3125, 272},  {false, 0, 25.78125, 280}, {true, 0, 10.3125, 256},
      {true, 0, 25.78125, 264},  {false, 1, 10.3125, 336},  {true, 1, 25.78125, 344},
      {false, 2, 25.78125, 520}, {false, 3, 10.3125, 592},  {true, 7, 10.3125, 272},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7652, 0, ++salt);
    if (c.shortSerial) MakeShortSerial(rig);
    rig.sim.SeedDouble(c.address, 77.0);
    rig.Connect();
    std::uint32_t value = 0;
    EXPECT_EQ(rig.api().ReadRateSetting(c.selector, c.rate, &value), 1) << c.address;
    EXPECT_EQ(value, 77u) << c.address;
    EXPECT_EQ(rig.api().lastStatus, 1);
    test::Trace trace = test::LaneTrace(rig);
    // The serial form is read first, then the eight bytes with 10 ms each.
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.front(), test::R(0, 21));
    EXPECT_EQ(trace.back(), test::RecordRead(c.address)) << c.address;
    EXPECT_EQ(SleepRecorder::Waits(), std::vector<std::uint32_t>(8, 10));
    APIDisconnect(0);
  }
}

TEST(LaneRate, ReadRateSettingOfAnotherRateReadsNothingAndErasedIsNoUsableCode) {
  Rig rig;
  rig.Connect();
  std::uint32_t value = 5;
  EXPECT_EQ(rig.api().ReadRateSetting(0, 10.3, &value), 0);
  EXPECT_EQ(value, 5u);
  for (const Rig::Access& a : rig.Accesses()) EXPECT_NE(a.reg, 11u);

  // An erased value (NaN) comes back as INT32_MIN, outside the usable codes.
  EXPECT_EQ(rig.api().ReadRateSetting(0, 10.3125, &value), 1);
  EXPECT_EQ(value, 0x80000000u);
  EXPECT_FALSE(rate::IsUsableRateCode(value));
}

TEST(LaneRate, WriteRateSettingAddressesAndTheShortFormCopy) {
  Rig rig;
  MakeShortSerial(rig);
  rig.Connect();
  EXPECT_EQ(rig.api().WriteRateSetting(0, 10.3125, 66), 1);
  EXPECT_EQ(rig.sim.EepromDouble(256), 66.0);
  EXPECT_EQ(rig.sim.EepromDouble(272), 66.0);
  test::Trace trace = test::LaneTrace(rig);
  ASSERT_GE(trace.size(), 2u);
  EXPECT_EQ((test::Trace{trace.end() - 2, trace.end()}), (test::Trace{test::Recorded(256), test::Recorded(272)}));
  EXPECT_TRUE(SleepRecorder::Waits().empty());

  rig.sim.ClearLog();
  EXPECT_EQ(rig.api().WriteRateSetting(2, 25.78125, 100), 1);
  EXPECT_EQ(rig.sim.EepromDouble(520), 100.0);
  EXPECT_EQ(test::LaneTrace(rig).back(), test::Recorded(520));
  EXPECT_EQ(rig.sim.EepromByte(264), 0xFF);  // the copy is selector 0's only

  rig.sim.ClearLog();
  EXPECT_EQ(rig.api().WriteRateSetting(0, 28.05, 1), 0);
  for (const Rig::Access& a : rig.Accesses()) EXPECT_NE(a.reg, 11u);

  Rig longForm(7652, 1, 1);
  longForm.Connect();
  EXPECT_EQ(longForm.api().WriteRateSetting(0, 25.78125, 48), 1);
  EXPECT_EQ(longForm.sim.EepromDouble(280), 48.0);
  EXPECT_EQ(longForm.sim.EepromByte(264), 0xFF);
}

TEST(LaneRate, ProgramRatePllWordsByRate) {
  struct Case {
    double rate;
    std::vector<std::uint16_t> tail;  // after 0x2060, 0x218A, 0x2440
  } cases[] = {
      {1.0, {0x220D, 0x2310}},
      {15.0, {0x220D, 0x2310}},
      {15.5, {}},
      {16.0, {0x2212, 0x2310}},
      {26.0, {0x2212, 0x2310}},
      {26.5, {}},
      {27.0, {0x2223, 0x233B}},
      {29.0, {0x2223, 0x233B}},
      {29.5, {}},
      {30.0, {0x221F, 0x233C}},
      {30.01, {}},
      {0.5, {}},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    rig.api().ProgramRatePll(3, c.rate);
    std::vector<std::uint16_t> words{0x2060, 0x218A, 0x2440};
    words.insert(words.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(rig.sim.SubRegisterWrites(3, 38), words) << c.rate;
    Accesses expected;
    for (std::uint16_t w : words) {
      expected.push_back(Wr(3, 0x200, 38));
      expected.push_back(Wr(3, 0x201, w));
    }
    EXPECT_EQ(rig.Accesses(), expected) << c.rate;
    APIDisconnect(0);
  }
}

TEST(LaneRate, SetGroupLineRateKeepsEachLanesWordsAcrossTheUpdate) {
  Rig rig;
  rig.Connect();
  for (unsigned lane = 4; lane < 8; ++lane) {
    rig.sim.SetReadValue(lane, 0x229, static_cast<std::uint16_t>(0x100 + lane));
    rig.sim.SetReadValue(lane, 0x22A, static_cast<std::uint16_t>(0x200 + lane));
    rig.sim.SetReadValue(lane, 0x22B, static_cast<std::uint16_t>(0x300 + lane));
  }
  rig.api().SetGroupLineRate(25.78125, 1);
  Accesses expected;
  for (unsigned lane = 4; lane < 8; ++lane) {
    expected.insert(expected.end(),
                    {Wr(lane, 0x228, 1), Rd(lane, 0x229), Rd(lane, 0x22A), Rd(lane, 0x22B), Wr(lane, 0x228, 0)});
  }
  for (unsigned lane = 4; lane < 8; ++lane) {
    const auto u = static_cast<std::uint16_t>(lane);
    expected.insert(expected.end(),
                    {Wr(lane, 0x228, 1), Wr(lane, 0x229, 0x100 + u), Wr(lane, 0x205, 25781), Wr(lane, 0x22A, 0x200 + u),
                     Wr(lane, 0x22B, 0x300 + u), Wr(lane, 0x22C, 1), Wr(lane, 0x228, 0)});
  }
  EXPECT_EQ(rig.Accesses(), expected);
  EXPECT_EQ(SleepRecorder::Waits(), (std::vector<std::uint32_t>{100, 100, 100, 100}));
}

TEST(LaneRate, RateCodeProcedureWritesAndChecksAtMostThreeTimes) {
  struct Case {
    const char* name;
    std::uint32_t readBack;
    double rate;
    int notReadyChecks;
    std::vector<std::uint16_t> written;  // to register 0x205 in turn
    std::uint32_t lastResult;
  } cases[] = {
      {"UsableCodeAsRead", 165, 25.78125, 0, {165}, 1},
      {"CodeOneIsUsable", 1, 25.78125, 0, {1}, 1},
      {"AboveUsableTakesTheBand", 166, 25.78125, 0, {100}, 1},
      {"ZeroTakesTheBand", 0, 4.0, 0, {32}, 1},
      {"ReadyAtTheThirdCheck", 33, 10.0, 2, {33, 33, 33}, 1},
      {"NeverReadyStopsAfterThree", 0, 10.0, 5, {64, 64, 64}, 1},
      {"NoCodeAndNoBandSendsNothing", 0, 40.0, 0, {}, 0},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    rig.sim.SetDspNotReadyFor(2, c.notReadyChecks);
    rig.api().lastResult = 7;
    rate::ProgramLaneRateCode(rig.api(), 2, c.readBack, c.rate, rate::kBandTableA);
    EXPECT_EQ(rig.sim.WritesTo(2, 0x205), c.written) << c.name;
    EXPECT_EQ(rig.api().lastResult, c.lastResult) << c.name;
    const std::size_t checks = std::min<std::size_t>(c.written.size(), static_cast<std::size_t>(c.notReadyChecks) + 1);
    EXPECT_EQ(SleepRecorder::Waits(), std::vector<std::uint32_t>(checks, 50)) << c.name;
    EXPECT_EQ(rig.sim.WritesTo(2, 0x22D).size(), std::min<std::size_t>(checks, c.notReadyChecks)) << c.name;
    if (!c.written.empty()) {
      // Each write is followed by its check.
      const Accesses once{Wr(2, 0x205, c.written[0]), Wr(2, 0x200, 0), Wr(2, 0x201, 0), Rd(2, 0x201)};
      const Accesses a = rig.Accesses();
      EXPECT_EQ((Accesses{a.begin(), a.begin() + 4}), once) << c.name;
    }
    APIDisconnect(0);
  }
}

TEST(LaneRate, ErasedStoredRateCodeFallsBackToTheBand) {
  Rig rig(7822);
  rig.Connect();
  const std::uint32_t code = rig.api().ReadRateDivider(0, 10.3125);
  rig.sim.ClearLog();
  rate::ProgramLaneRateCode(rig.api(), 0, code, 10.3125, rate::kBandTableA);
  EXPECT_EQ(rig.sim.WritesTo(0, 0x205), (std::vector<std::uint16_t>{64}));
}
