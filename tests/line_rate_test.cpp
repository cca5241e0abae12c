// Line-rate configuration: the exported lane-0 operation (records first, the
// rate-range layout, with and without its clock file), the general operation
// on several models (loader, rate-range and rate-code forms, lanes 0 to 7,
// re-equalisation, threshold step, the result) and both preset paths.
//
// Status items sit at 0x2000 + 8 x (96 x lane + item): the literal addresses
// below are worked out from that by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "LaneTrace.h"
#include "RateRig.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::LaneTrace;
using tessok::test::R;
using tessok::test::RateRig;
using tessok::test::Recorded;
using tessok::test::RecordRead;
using tessok::test::Rig;
using tessok::test::Trace;
using tessok::test::W;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Items 1 (line rate) and 0 (mode) of lanes 0 to 7.
constexpr std::uint32_t kItem1[8] = {0x2008, 0x2308, 0x2608, 0x2908, 0x2C08, 0x2F08, 0x3208, 0x3508};
constexpr std::uint32_t kItem0[8] = {0x2000, 0x2300, 0x2600, 0x2900, 0x2C00, 0x2F00, 0x3200, 0x3500};
// Items 40 (CTLE below 15 Gb/s) and 41 (from 15 Gb/s) of lanes 0 to 7.
constexpr std::uint32_t kItem40[8] = {0x2140, 0x2440, 0x2740, 0x2A40, 0x2D40, 0x3040, 0x3340, 0x3640};
constexpr std::uint32_t kItem41[8] = {0x2148, 0x2448, 0x2748, 0x2A48, 0x2D48, 0x3048, 0x3348, 0x3648};
// Item 17 (CTLE) of lanes 0 and 1.
constexpr std::uint32_t kCtleItem[2] = {0x2088, 0x2388};

constexpr unsigned kRateControl = 0x100, kClockSource = 0x104, kRateRange = 0x105, kRateCode = 0x205;
constexpr unsigned kLaneRateLow = 0x207, kLaneRateHigh = 0x208, kDspMode = 0x21D, kCtle = 0x21E;
constexpr unsigned kClockAddress = 0x106, kClockValue = 0x107;

// Items 1 and 0 and the integer lane rate of lanes 0 to n-1.
void AppendLaneRates(Trace& t, int lanes, unsigned rate) {
  for (int lane = 0; lane < lanes; ++lane) {
    t.push_back(Recorded(kItem1[lane]));
    t.push_back(Recorded(kItem0[lane]));
    t.push_back(W(lane, kLaneRateLow, rate & 0xFF));
    t.push_back(W(lane, kLaneRateHigh, rate >> 8));
  }
}

}  // namespace

TEST(LineRate7668B, RecordsFirstThenLoadsTheFileAndProgramsTheRate) {
  RateRig r(7668);
  r.ClockFile("25.78125.clk");
  ASSERT_EQ(APIConfigureApplication(0, r.scratch.Prefix().c_str(), "", "", 0, 0), 1);
  // Flags with more than bit 0 set: recorded as given, bit 0 programmed.
  EXPECT_EQ(APILineRateConfiguration_7668B(0, 25.78125, 2, 1, 3, 1, 5, 2, 7), 1);
  // 0x105: pam4, flags 32, 33, 34 (bits 0, 2, 3, 5), option bits 38 of the
  // 24-29 Gb/s row in bits 8-13, flag 44 in bit 14: 0x662D.
  const Trace expected{Recorded(0x2008),       Recorded(0x2000),         Recorded(0x2100),       Recorded(0x2108),
                       Recorded(0x2110),       Recorded(0x2128),         Recorded(0x2118),       Recorded(0x2160),
                       W(0, kLaneRateLow, 25), W(0, kLaneRateHigh, 0),   W(0, kClockAddress, 5), W(0, kClockValue, 6),
                       W(2, kRateControl, 1),  W(2, kRateRange, 0x662D), W(0, kRateCode, 1)};
  EXPECT_EQ(LaneTrace(r.rig), expected);
  const struct {
    std::uint32_t address;
    double value;
  } records[] = {{0x2008, 25.78125}, {0x2000, 2}, {0x2100, 3}, {0x2108, 1},
                 {0x2110, 5},        {0x2128, 2}, {0x2118, 1}, {0x2160, 7}};
  for (const auto& rec : records) EXPECT_EQ(r.rig.sim.EepromDouble(rec.address), rec.value) << rec.address;
  EXPECT_EQ(r.api().lineRate[0], 25.78125);
  EXPECT_EQ(r.api().pam4Mode[0], 1u);
  EXPECT_EQ(r.api().lastResult, 1u);
  std::vector<std::uint32_t> waits(8 * 8, 10);  // 10 ms after every byte of the eight records
  waits.push_back(20);                          // the clock file
  EXPECT_EQ(r.rig.sleeps.Waits(), waits);
}

TEST(LineRate7668B, RateRangeLayout) {
  struct Case {
    double rate;
    const char* file;
    int pam4;
    std::uint32_t flags;  // all four flags
    std::uint16_t word;
  } cases[] = {
      {27.0, "27.clk", 0, 0, 0x2602},            // bit 1 from 27 Gb/s; row 24-29: option bits 38
      {26.999, "26.999.clk", 0, 0, 0x2600},      //
      {30.0, "30.clk", 0, 0, 0x0002},            // no row matches: bits 8-13 are 0
      {10.3125, "10.3125.clk", 0, 0, 0x0C00},    // row 9-12.5: option bits 12
      {25.78125, "25.78125.clk", 2, 2, 0x2600},  // only bit 0 of pam4 and the flags counts
      {25.78125, "25.78125.clk", 1, 1, 0x662D},
  };
  RateRig r(7668);
  std::vector<std::uint16_t> words;
  for (const Case& c : cases) {
    r.ClockFile(c.file);
    EXPECT_EQ(r.api().LineRateConfiguration_7668B(c.rate, 0, c.pam4, c.flags, c.flags, c.flags, 3, c.flags), 1);
    words.push_back(c.word);
  }
  EXPECT_EQ(r.rig.sim.WritesTo(3, kRateRange), words);
}

TEST(LineRate7668B, WithoutItsClockFileReturns0WithTheRequestRecorded) {
  RateRig r(7668);
  EXPECT_EQ(APILineRateConfiguration_7668B(0, 10.3125, 1, 0, 1, 0, 1, 4, 1), 0);
  const Trace expected{Recorded(0x2008),       Recorded(0x2000),      Recorded(0x2100), Recorded(0x2108),
                       Recorded(0x2110),       Recorded(0x2128),      Recorded(0x2118), Recorded(0x2160),
                       W(0, kLaneRateLow, 10), W(0, kLaneRateHigh, 0)};
  EXPECT_EQ(LaneTrace(r.rig), expected);
  EXPECT_EQ(r.rig.sim.EepromDouble(0x2008), 10.3125);
  EXPECT_EQ(r.rig.sim.EepromDouble(0x2000), 1.0);
  EXPECT_EQ(r.rig.sim.EepromDouble(0x2128), 4.0);
  EXPECT_EQ(r.rig.sim.EepromDouble(0x2160), 1.0);
  EXPECT_EQ(r.api().lineRate[0], 10.3125);
  EXPECT_EQ(r.api().pam4Mode[0], 0u);
  EXPECT_EQ(r.rig.sleeps.Waits(), std::vector<std::uint32_t>(8 * 8, 10));  // no clock-file wait
}

// A four-channel board at 25.78125 Gb/s, mode 1: lanes 0 to 7 re-rated, lanes 4
// to 7 keeping their earlier rate in item 1; item 41 (from 15 Gb/s) applied
// where it holds 0 to 15.
TEST(LineRateGeneral, FourChannelBoardReRatesLanes0To7AndReEqualises) {
  RateRig r(7652);
  r.ClockFile("25.78125.clk");
  r.api().lineRate[5] = 12.5;
  const double stored41[8] = {15.0, 15.5, -1.0, kNaN, kNaN, kNaN, kNaN, kNaN};  // NaN: erased
  for (int lane = 0; lane < 8; ++lane) {
    if (!std::isnan(stored41[lane])) r.rig.sim.SeedDouble(kItem41[lane], stored41[lane]);
  }
  r.rig.sim.SeedDouble(kItem40[0], 4.0);  // the other side of 15 Gb/s: not read
  r.rig.sim.SeedDouble(kItem41[0], 15.0);
  r.rig.sim.SeedDouble(kItem41[1], 7.9);  // truncated to 7
  EXPECT_EQ(r.api().LineRateConfiguration(25.78125, 1), 1u);

  Trace expected{W(1, kRateControl, 0), W(0, kClockSource, 0), W(0, kClockAddress, 5),
                 W(0, kClockValue, 6),  W(0, kRateRange, 64),  W(0, kRateCode, 1)};
  AppendLaneRates(expected, 8, 25);
  for (int lane = 0; lane < 8; ++lane) {
    expected.push_back(RecordRead(kItem41[lane]));
    if (lane > 1) continue;
    const unsigned ctle = lane == 0 ? 15 : 7;
    expected.insert(expected.end(),
                    {W(lane, kDspMode, 1), W(lane, kDspMode, 1), Recorded(kCtleItem[lane]), W(lane, kCtle, ctle)});
  }
  EXPECT_EQ(LaneTrace(r.rig), expected);

  for (int lane = 0; lane < 4; ++lane) EXPECT_EQ(r.rig.sim.EepromDouble(kItem1[lane]), 25.78125) << lane;
  EXPECT_EQ(r.rig.sim.EepromDouble(kItem1[4]), 0.0);  // never connected as a channel
  EXPECT_EQ(r.rig.sim.EepromDouble(kItem1[5]), 12.5);
  for (int lane = 0; lane < 8; ++lane) EXPECT_EQ(r.rig.sim.EepromDouble(kItem0[lane]), 1.0) << lane;
  EXPECT_EQ(r.rig.sim.EepromDouble(kCtleItem[0]), 15.0);
  EXPECT_EQ(r.rig.sim.EepromDouble(kCtleItem[1]), 7.0);
  EXPECT_DOUBLE_EQ(r.api().phaseStep[0], 1000.0 / (25.78125 * 129));
  EXPECT_DOUBLE_EQ(r.api().phaseStep[5], 1000.0 / (12.5 * 129));
  for (int lane = 0; lane < 8; ++lane) EXPECT_EQ(r.api().lineRateMode[lane], 1u) << lane;
  EXPECT_EQ(r.api().lineRate[4], 0.0);
  EXPECT_EQ(r.api().highRateRange, 1u);
  EXPECT_EQ(r.api().calibration.thresholdStepMv, 1.73);
  EXPECT_EQ(r.api().lastResult, 1u);
}

// Lanes 4 to 7 of a four-channel board have no bank of their own: the channel
// map sends them to lane 0's. Their stored equalisation is still read, but
// applied to no lane, so lanes 0 to 3 keep their own CTLE values.
TEST(LineRateReEqualisation, FourChannelBoardAppliesItsOwnLanesOnly) {
  struct Case {
    const char* name;
    std::uint16_t model;
    std::vector<sim::RegisterValue> regs;
    bool preset;
  } cases[] = {
      {"General", 7652, {}, false},
      {"PresetEightLanePath", 7653, {{31, 1}, {32, 1}}, true},  // sub-type 1: four channels
  };
  // Item 17 (CTLE) of lanes 0 to 3.
  constexpr std::uint32_t kCtleItems[4] = {0x2088, 0x2388, 0x2688, 0x2988};
  const std::uint16_t stored41[8] = {5, 6, 7, 8, 12, 13, 14, 9};
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RateRig r(c.model, c.regs, ++salt);
    ASSERT_EQ(r.api().channelCount, 4);
    r.ClockFile("25.78125.clk");
    for (int lane = 0; lane < 8; ++lane) r.rig.sim.SeedDouble(kItem41[lane], stored41[lane]);
    EXPECT_EQ(c.preset ? r.api().LineRateConfigurationPreset(25.78125, 0) : r.api().LineRateConfiguration(25.78125, 0),
              1u);
    Trace reads;
    for (const std::string& t : LaneTrace(r.rig)) {
      if (t.rfind("read ", 0) == 0) reads.push_back(t);
    }
    Trace expectedReads;
    for (int lane = 0; lane < 8; ++lane) expectedReads.push_back(RecordRead(kItem41[lane]));
    EXPECT_EQ(reads, expectedReads);
    for (unsigned lane = 0; lane < 4; ++lane) {
      EXPECT_EQ(r.rig.sim.WritesTo(lane, kCtle), (std::vector<std::uint16_t>{stored41[lane]})) << lane;
      EXPECT_EQ(r.rig.sim.WritesTo(lane, kDspMode), (std::vector<std::uint16_t>{1, 1})) << lane;
      EXPECT_EQ(r.rig.sim.Reg(lane, kCtle), stored41[lane]) << lane;
      EXPECT_EQ(r.rig.sim.EepromDouble(kCtleItems[lane]), stored41[lane]) << lane;
    }
  }
}

// An eight-channel board re-equalises lanes 0 to 7, each at its own bank. The
// 7686 keeps every lane's items at 0x4000 + 8 x (96 x lane + item).
TEST(LineRateReEqualisation, EightChannelBoardAppliesLanes0To7AtTheirOwnBanks) {
  constexpr std::uint32_t kItem1At4000[8] = {0x4008, 0x4308, 0x4608, 0x4908, 0x4C08, 0x4F08, 0x5208, 0x5508};
  constexpr std::uint32_t kItem0At4000[8] = {0x4000, 0x4300, 0x4600, 0x4900, 0x4C00, 0x4F00, 0x5200, 0x5500};
  constexpr std::uint32_t kItem41At4000[8] = {0x4148, 0x4448, 0x4748, 0x4A48, 0x4D48, 0x5048, 0x5348, 0x5648};
  RateRig r(7686);
  ASSERT_EQ(r.api().channelCount, 8);
  r.ClockFile("25.78125.clk");
  r.rig.sim.SeedDouble(kItem41At4000[0], 5.0);
  r.rig.sim.SeedDouble(kItem41At4000[7], 9.0);
  EXPECT_EQ(r.api().LineRateConfiguration(25.78125, 0), 1u);
  Trace expected{W(0, kRateControl, 0), W(0, kClockSource, 0), W(0, kClockAddress, 5),
                 W(0, kClockValue, 6),  W(0, kRateRange, 64),  W(0, kRateCode, 1)};
  for (unsigned lane = 0; lane < 8; ++lane) {
    expected.insert(expected.end(), {Recorded(kItem1At4000[lane]), Recorded(kItem0At4000[lane]),
                                     W(lane, kLaneRateLow, 25), W(lane, kLaneRateHigh, 0)});
  }
  for (unsigned lane = 0; lane < 8; ++lane) {
    expected.push_back(RecordRead(kItem41At4000[lane]));
    if (lane == 0)
      expected.insert(expected.end(), {W(0, kDspMode, 1), W(0, kDspMode, 1), Recorded(0x4088), W(0, kCtle, 5)});
    if (lane == 7)
      expected.insert(expected.end(), {W(7, kDspMode, 1), W(7, kDspMode, 1), Recorded(0x5588), W(7, kCtle, 9)});
  }
  EXPECT_EQ(LaneTrace(r.rig), expected);
}

TEST(LineRateGeneral, FifteenGigabitsSplitsTheCtleItemAndTheThresholdStep) {
  struct Case {
    double rate;
    const char* file;
    std::uint16_t ctle;  // item 40 holds 3, item 41 holds 9
    double stepMv;
  } cases[] = {
      {15.0, "15.clk", 9, 1.5},
      {15.0001, "15.0001.clk", 9, 1.73},
      {14.999, "14.999.clk", 3, 1.5},
  };
  RateRig r(7652);
  r.rig.sim.SeedDouble(kItem40[0], 3.0);
  r.rig.sim.SeedDouble(kItem41[0], 9.0);
  std::vector<std::uint16_t> ctle;
  for (const Case& c : cases) {
    r.ClockFile(c.file);
    EXPECT_EQ(r.api().LineRateConfiguration(c.rate, 0), 1u) << c.rate;
    EXPECT_EQ(r.api().calibration.thresholdStepMv, c.stepMv) << c.rate;
    ctle.push_back(c.ctle);
  }
  EXPECT_EQ(r.rig.sim.WritesTo(0, kCtle), ctle);
}

// Loader, rate-range and rate-code forms by model. The file "0\n5,6\n" is a
// mode line and one pair to the mode-line loader, two pairs to the other.
TEST(LineRateGeneral, ModelsChooseLoaderAndRateCode) {
  using Words = std::vector<std::uint16_t>;
  using Pairs = std::vector<std::pair<std::uint16_t, std::uint16_t>>;
  struct Case {
    std::uint16_t model;
    std::vector<sim::RegisterValue> regs;
    double rate;
    const char* file;
    Pairs pairs;
    Words rateRange, rateCodeBank0, rateCodeBank1;
  } cases[] = {
      {7780, {}, 25.78125, "25.78125.clk", {{5, 6}}, {64}, {25781}, {25781}},
      {7775, {}, 25.78125, "25.78125.clk", {{5, 6}}, {64}, {25781}, {}},
      {7781, {}, 10.3125, "10.3125.clk", {{5, 6}}, {0}, {10312}, {}},
      {7652, {}, 25.78125, "25.78125.clk", {{0, 0}, {5, 6}}, {64}, {1}, {}},
      {7733, {}, 20.0, "20.clk", {{0, 0}, {5, 6}}, {64}, {1}, {}},
      {7653, {{31, 2}}, 25.78125, "25.78125.clk", {{0, 0}, {5, 6}}, {0x41}, {1}, {}},  // sub-type 2
      {7653, {{31, 3}}, 19.99, "19.99.clk", {{0, 0}, {5, 6}}, {0x01}, {1}, {}},        // sub-type 3
      {7653, {{31, 1}, {32, 1}}, 25.78125, "25.78125.clk", {{0, 0}, {5, 6}}, {64}, {1}, {}},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.model) + " at " + std::to_string(c.rate));
    RateRig r(c.model, c.regs, ++salt);
    r.ClockFile(c.file, "0\n5,6\n");
    r.api().highRateRange = 7;
    EXPECT_EQ(r.api().LineRateConfiguration(c.rate, 0), 1u);
    EXPECT_EQ(r.rig.sim.ClockChipWrites(0), c.pairs);
    EXPECT_EQ(r.rig.sim.WritesTo(0, kRateRange), c.rateRange);
    EXPECT_EQ(r.rig.sim.WritesTo(0, kRateCode), c.rateCodeBank0);
    EXPECT_EQ(r.rig.sim.WritesTo(1, kRateCode), c.rateCodeBank1);
    // The sub-type form of 0x105 leaves the high-range flag alone.
    EXPECT_EQ(r.api().highRateRange, c.rateRange[0] & 1 ? 7u : (c.rate >= 20 ? 1u : 0u));
    APIDisconnect(0);
  }
}

TEST(LineRateGeneral, Model7733WithOption30InMode2TakesNoClockFile) {
  RateRig r(7733, {{30, 1}});
  EXPECT_EQ(r.api().LineRateConfiguration(10.3125, 2), 1u);  // there is no clock file at all
  const Trace trace = LaneTrace(r.rig);
  ASSERT_GE(trace.size(), 3u);
  EXPECT_EQ(Trace(trace.begin(), trace.begin() + 3),
            (Trace{W(0, kClockSource, 1), W(0, kRateRange, 0), W(0, kRateCode, 1)}));
  EXPECT_TRUE(r.rig.sim.WritesTo(2, kRateControl).empty());

  // Another mode takes the clock file as usual; without one, 0 after 0x100 and 0x104.
  r.Restart();
  r.api().lastResult = 5;
  EXPECT_EQ(r.api().LineRateConfiguration(10.3125, 1), 0u);
  EXPECT_EQ(LaneTrace(r.rig), (Trace{W(1, kRateControl, 0), W(0, kClockSource, 0)}));
  EXPECT_EQ(r.api().lastResult, 5u);
  EXPECT_EQ(r.api().lineRate[0], 10.3125);
  EXPECT_TRUE(r.rig.sleeps.Waits().empty());
}

// The result is the last rate-register write's, left in lastResult, whatever
// the status reads of the re-equalisation report.
TEST(LineRateGeneral, ResultIsTheRateCodeWritesNotTheStatusReads) {
  // Requests on a 7652 with a one-pair file: 0x100, 0x104, 0x106, 0x107, 0x105,
  // 0x205 (request 5); then 8 lanes x (2 records x 16 + 2 lane-rate writes) =
  // 272; then one status read of 16 requests per lane (all erased, so nothing
  // is applied): lane 7's starts at request 6 + 272 + 7 x 16 = 390.
  constexpr std::size_t kRateCodeRequest = 5, kLastStatusRead = 390;
  {
    RateRig r(7652);
    r.ClockFile("10.3125.clk");
    tessok::test::TransferFaults faults;
    faults.FailReceive(kLastStatusRead + 1);  // the last Monitor of the operation fails
    EXPECT_EQ(r.api().LineRateConfiguration(10.3125, 0), 1u);
    EXPECT_EQ(r.api().lastResult, 1u);
    const std::vector<sim::Packet> log = r.rig.sim.Log();
    ASSERT_GT(log.size(), kLastStatusRead);
    EXPECT_EQ(log[kRateCodeRequest].Reg(), kRateCode);
    EXPECT_EQ(log[kLastStatusRead].Reg(), 10u);  // the EEPROM address of item 40, lane 7
    EXPECT_EQ(log[kLastStatusRead].Data(), kItem40[7]);
  }
  {
    RateRig r(7652, {}, 1);
    r.ClockFile("10.3125.clk");
    tessok::test::TransferFaults faults;
    faults.FailSend(kRateCodeRequest);  // ends the connection: nothing after it is sent
    EXPECT_EQ(r.api().LineRateConfiguration(10.3125, 0), 0u);
    EXPECT_EQ(r.api().lastResult, 0u);
    EXPECT_EQ(r.rig.sim.RequestCount(), kRateCodeRequest);
  }
}

TEST(LineRatePreset, FourLanePathPutsThePresetInTheBankField) {
  struct Case {
    double rate;
    unsigned bank;
  } cases[] = {{25.9524, 7}, {27.9524, 0}, {8.5, 0}, {10.3125, 1}, {28.05, 9}};
  RateRig r(7652);
  r.rig.sim.SeedDouble(kItem41[0], 6.0);
  r.rig.sim.SeedDouble(kItem41[4], 5.0);  // lane 4 is not re-equalised on this path
  for (const Case& c : cases) {
    r.Restart();
    EXPECT_EQ(r.api().LineRateConfigurationPreset(c.rate, 2), 1u) << c.rate;
    Trace expected{W(2, kRateControl, 0), W(0, kClockSource, 0), W(c.bank, kRateCode, 1)};
    AppendLaneRates(expected, 4, static_cast<unsigned>(c.rate));
    const std::uint32_t* item = c.rate < 15 ? kItem40 : kItem41;
    for (int lane = 0; lane < 4; ++lane) {
      expected.push_back(RecordRead(item[lane]));
      if (lane == 0 && c.rate >= 15) {
        expected.insert(expected.end(), {W(0, kDspMode, 1), W(0, kDspMode, 1), Recorded(kCtleItem[0]), W(0, kCtle, 6)});
      }
    }
    EXPECT_EQ(LaneTrace(r.rig), expected) << c.rate;
    EXPECT_EQ(r.api().lineRate[3], c.rate);
    EXPECT_EQ(r.api().lineRateMode[3], 2u);
    EXPECT_EQ(r.api().calibration.thresholdStepMv, c.rate <= 15 ? 1.5 : 1.73);
  }
}

TEST(LineRatePreset, EightLanePathTakesItsListAfterTheClockFileAndRateRange) {
  RateRig r(7653, {{31, 1}, {32, 1}});  // sub-type 1
  ASSERT_EQ(r.api().boardSubType, 1u);
  for (const char* file : {"27.9524.clk", "8.5.clk", "25.9524.clk"}) r.ClockFile(file);

  EXPECT_EQ(r.api().LineRateConfigurationPreset(27.9524, 0), 1u);
  Trace expected{W(0, kRateControl, 0), W(0, kClockSource, 0),  W(0, kClockAddress, 5),
                 W(0, kClockValue, 6),  W(0, kRateRange, 0x41), W(0, kRateCode, 1)};
  AppendLaneRates(expected, 8, 27);
  for (int lane = 0; lane < 8; ++lane) expected.push_back(RecordRead(kItem41[lane]));
  EXPECT_EQ(LaneTrace(r.rig), expected);

  r.Restart();
  EXPECT_EQ(r.api().LineRateConfigurationPreset(8.5, 0), 1u);
  EXPECT_EQ(r.rig.sim.WritesTo(0, kRateRange), (std::vector<std::uint16_t>{0x41, 0x01}));  // both calls
  EXPECT_EQ(r.rig.sim.WritesTo(0, kRateCode), (std::vector<std::uint16_t>{1, 1}));
  EXPECT_EQ(r.api().calibration.thresholdStepMv, 1.5);

  // Not in the eight-lane list: 0 once the clock file and 0x105 are written.
  r.Restart();
  r.api().calibration.thresholdStepMv = 2.0;
  EXPECT_EQ(r.api().LineRateConfigurationPreset(25.9524, 0), 0u);
  EXPECT_EQ(LaneTrace(r.rig), (Trace{W(0, kRateControl, 0), W(0, kClockSource, 0), W(0, kClockAddress, 5),
                                     W(0, kClockValue, 6), W(0, kRateRange, 0x41)}));
  EXPECT_EQ(r.api().calibration.thresholdStepMv, 2.0);

  // Without its clock file: 0 after 0x100 and 0x104.
  r.Restart();
  EXPECT_EQ(r.api().LineRateConfigurationPreset(28.05, 0), 0u);
  EXPECT_EQ(LaneTrace(r.rig), (Trace{W(0, kRateControl, 0), W(0, kClockSource, 0)}));
}
