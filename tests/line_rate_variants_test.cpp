// Line-rate variants: the option-word layouts of register 0x105 and the items
// each variant records, the host-planned reference clock of the synthesizer
// variants against the planner's own plan, the clock-file variants, the
// default rate, the pair and signal-processor variants with their rate codes
// and readiness retries, and the line rate from a generated clock plan.
//
// Status items sit at 0x2000 + 8 x (96 x lane + item) (lanes 4 and up of an
// eight-channel 7746 at 0x4000 + ...): the literal addresses below are worked
// out from that by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FaultSupport.h"
#include "LaneTrace.h"
#include "RateRig.h"
#include "TestSupport.h"
#include "clock/ClockSource_Tarquel.h"
#include "clock/SI5346_API.h"

using namespace tessok;
using tessok::test::R;
using tessok::test::RateRig;
using tessok::test::Recorded;
using tessok::test::Rig;
using tessok::test::SleepRecorder;
using tessok::test::Trace;
using tessok::test::TransferFaults;
using tessok::test::W;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Pairs = std::vector<std::pair<std::uint16_t, std::uint16_t>>;

// The planner's own plan for a synthesizer reference of f MHz (outputs 0-1 and
// 2-3 at f, both DSPLLs from 156.25 MHz).
Pairs PlanFor(double f, int board = 7652) {
  SI5346_API planner;
  double f1 = 156.25, f2 = f, f3 = 156.25, f4 = f;
  EXPECT_TRUE(planner.ComputePlan(&f1, &f2, &f3, &f4, 1, board)) << f;
  Pairs out;
  for (std::size_t i = 0; i < planner.addresses.size(); ++i) out.emplace_back(planner.addresses[i], planner.values[i]);
  return out;
}

// Status address of a lane's item: 0x2000 + 8 x (96 x lane + item), written
// out per lane as the tests use them.
constexpr std::uint32_t kLaneBase[4] = {0x2000, 0x2300, 0x2600, 0x2900};
// Items 1 (line rate) and 0 (mode) of lanes 0 to 7.
constexpr std::uint32_t kItem1[8] = {0x2008, 0x2308, 0x2608, 0x2908, 0x2C08, 0x2F08, 0x3208, 0x3508};
constexpr std::uint32_t kItem0[8] = {0x2000, 0x2300, 0x2600, 0x2900, 0x2C00, 0x2F00, 0x3200, 0x3500};

constexpr unsigned kRateControl = 0x100, kSelect = 0x103, kClockSource = 0x104, kRateRange = 0x105;
constexpr unsigned kRateCode = 0x205, kLaneRateLow = 0x207, kLaneRateHigh = 0x208;
constexpr unsigned kClockAddress = 0x106, kClockValue = 0x107;

// A file of the open-ended kind: a first line the loader skips, then one pair.
const std::string kCsvFile = "BertOnly\n5,6\n";

std::vector<std::uint32_t> RecordWaits(int records) { return std::vector<std::uint32_t>(8 * records, 10); }

// Items 1 and 0 and the integer lane rate of each lane, as the signal-processor
// variants record them.
void AppendLaneRecords(Trace& t, std::initializer_list<unsigned> lanes, unsigned rate) {
  for (unsigned lane : lanes) {
    t.insert(t.end(), {Recorded(kItem1[lane]), Recorded(kItem0[lane]), W(lane, kLaneRateLow, rate & 0xFF),
                       W(lane, kLaneRateHigh, rate >> 8)});
  }
}

// A processor's rate code and its one readiness check.
void AppendRateCode(Trace& t, unsigned bank, unsigned code) {
  t.insert(t.end(), {W(bank, kRateCode, code), W(bank, 0x200, 0), W(bank, 0x201, 0), R(bank, 0x201)});
}

// The banks that received a rate code, in order.
std::vector<unsigned> RateCodeBanks(const Rig& rig) {
  std::vector<unsigned> banks;
  for (const Rig::Access& a : rig.Accesses()) {
    if (a.write && a.reg == kRateCode) banks.push_back(a.bank);
  }
  return banks;
}

bool HasRecords(const Trace& trace) {
  for (const std::string& t : trace) {
    if (t.rfind("write ", 0) == 0) return true;
  }
  return false;
}

}  // namespace

// ---- Option-word variants ----

TEST(OptionWordVariants, OptionsRegister105Layout) {
  struct Case {
    const char* name;
    double rate;
    std::uint32_t pam4, f32, f33, f34, f45;
    std::uint16_t word;
  } cases[] = {
      // Row 6 (9.0 to 12.5 Gb/s) gives option bits 12: 12 << 8 | 0xC0 | 0x20 | 8 | 4 | 1.
      {"AllFlagsAt10G", 10.3125, 1, 1, 1, 1, 3, 0x0CED},
      // Row 10 (24 to 29 Gb/s) gives 38; bit 1 from 27.0 Gb/s on.
      {"At27G", 27.0, 0, 0, 0, 0, 0, 0x2602},
      {"Below27G", 26.999, 0, 0, 0, 0, 0, 0x2600},
      // No row at 30 Gb/s: no option bits.
      {"NoRow", 30.0, 0, 0, 0, 0, 0, 0x0002},
      // Every flag contributes its own bits only.
      {"FlagsMasked", 1.0, 2, 2, 2, 2, 4, 0x0000},
      {"Flag45Bit6", 1.0, 0, 0, 0, 0, 1, 0x0040},
      {"Flag45Bit7", 1.0, 0, 0, 0, 0, 2, 0x0080},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    EXPECT_EQ(rig.api().LineRateConfigurationOptions(c.rate, 0, c.pam4, c.f32, c.f33, c.f34, c.f45), 1u) << c.name;
    EXPECT_EQ(rig.sim.WritesTo(0, 0x105), (std::vector<std::uint16_t>{c.word})) << c.name;
    APIDisconnect(0);
  }
}

TEST(OptionWordVariants, OptionsRecordsEveryLaneBeforeItsWrites) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.lineRate[4] = 3.0;
  EXPECT_EQ(api.LineRateConfigurationOptions(25.78125, 2, 1, 0, 1, 0, 2), 1u);
  Trace expected;
  for (unsigned lane = 0; lane < 4; ++lane) {
    // Items 1, 0, 32, 33, 34, 35 and 45, then the integer rate.
    for (std::uint32_t item : {1u, 0u, 32u, 33u, 34u, 35u, 45u})
      expected.push_back(Recorded(kLaneBase[lane] + 8 * item));
    expected.push_back(W(lane, 0x207, 25));
    expected.push_back(W(lane, 0x208, 0));
  }
  // Row 10 gives option bits 38: 0x2600 | 2 << 6 | 1 << 3 | 1.
  for (const std::string& w : {W(2, 0x100, 1), W(2, 0x103, 2), W(0, 0x105, 0x2689), W(0, 0x205, 1)}) {
    expected.push_back(w);
  }
  EXPECT_EQ(test::LaneTrace(rig), expected);
  const double lane2[] = {25.78125, 2, 0, 1, 0, 1, 2};  // items 1, 0, 32, 33, 34, 35, 45
  const std::uint32_t items[] = {1, 0, 32, 33, 34, 35, 45};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(rig.sim.EepromDouble(kLaneBase[2] + 8 * items[i]), lane2[i]) << items[i];
  for (int lane = 0; lane < 4; ++lane) {
    EXPECT_EQ(api.lineRate[lane], 25.78125);
    EXPECT_EQ(api.pam4Mode[lane], 1u);
  }
  EXPECT_EQ(api.lineRate[4], 3.0);  // the board's four channels only
  EXPECT_EQ(SleepRecorder::Waits(), std::vector<std::uint32_t>(4 * 7 * 8, 10));

  // The result is the 0x205 write's.
  TransferFaults faults;
  faults.FailSend(4 * (7 * 16 + 2) + 3);
  EXPECT_EQ(api.LineRateConfigurationOptions(25.78125, 2, 1, 0, 1, 0, 2), 0u);
  EXPECT_EQ(api.lastResult, 0u);
}

// ---- Synthesizer variants ----

TEST(SynthesizerVariants, NominalSendsThePlannersPlanThenRangeAndRecords) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.lineRate[4] = 3.0;
  // 25.78125 / 82.5 = 0.3125 GHz: the plan for 312.5 MHz.
  EXPECT_EQ(api.LineRateConfigurationSynthNominal(25.78125), 1u);
  const Pairs plan = PlanFor(312.5);
  ASSERT_EQ(plan.size(), 378u);
  EXPECT_EQ(rig.sim.ClockChipWrites(0), plan);
  // 756 plan writes, 0x105 = 64 + 5, 0x205 = 1, then lane 0's items 1 and 0.
  EXPECT_EQ(rig.sim.RequestCount(), 790u);
  const Trace trace = test::LaneTrace(rig);
  ASSERT_EQ(trace.size(), 756u + 4u);
  EXPECT_EQ((Trace{trace.end() - 4, trace.end()}),
            (Trace{W(0, 0x105, 69), W(0, 0x205, 1), Recorded(0x2008), Recorded(0x2000)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2008), 25.78125);
  EXPECT_EQ(rig.sim.EepromDouble(0x2000), 1.0);
  EXPECT_EQ(api.highRateRange, 1u);
  for (int lane = 0; lane < 4; ++lane) {
    EXPECT_EQ(api.lineRate[lane], 25.78125) << lane;
    EXPECT_DOUBLE_EQ(api.phaseStep[lane], 1000.0 / (25.78125 * 129.0)) << lane;
    EXPECT_EQ(api.lineRateMode[lane], 1u) << lane;
  }
  EXPECT_EQ(api.lineRate[4], 3.0);
  EXPECT_EQ(api.lineRateMode[4], 0u);
}

TEST(SynthesizerVariants, ReferenceFrequencyByRateAndOffset) {
  struct Case {
    const char* name;
    double rate;
    std::int64_t offsetHz;
    double referenceMhz;
    std::uint16_t range;  // 0x105
  } cases[] = {
      {"Offset100Hz", 25.78125, 100, 312.5001, 69},
      // 17.5 Gb/s divides by 33: 530.303030... MHz, rounded to 1 Hz.
      {"At17p5DividesBy33", 17.5, 0, 530.30303, 5},
      {"At10G", 10.3125, 0, 312.5, 5},
      // 20 / 82.5 GHz = 242424242.42 Hz; the range bit from 20 Gb/s on.
      {"At20G", 20.0, 0, 242.424242, 69},
      // 242424242.42 Hz + 1 Hz, rounded to the hertz: 242424243.
      {"RoundsToTheHertz", 20.0, 1, 242.424243, 69},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    EXPECT_EQ(rig.api().LineRateConfigurationSynth(c.rate, c.offsetHz), 1u) << c.name;
    EXPECT_EQ(rig.sim.ClockChipWrites(0), PlanFor(c.referenceMhz)) << c.name;
    EXPECT_EQ(rig.sim.WritesTo(0, 0x105), (std::vector<std::uint16_t>{c.range})) << c.name;
    APIDisconnect(0);
  }
  // The offset does change the plan.
  EXPECT_NE(PlanFor(312.5001), PlanFor(312.5));
}

TEST(SynthesizerVariants, NoPlanSendsNothing) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.highRateRange = 7;
  api.lastResult = 7;
  api.lineRate[3] = 3.0;
  // A rate that is no number is refused before the planner, with nothing
  // changed; an offset that takes the reference below zero leaves no plan.
  EXPECT_EQ(api.LineRateConfigurationSynthNominal(kNaN), 0u);
  EXPECT_EQ(api.lineRate[3], 3.0);
  EXPECT_EQ(api.LineRateConfigurationSynth(10.3125, -400000000), 0u);
  EXPECT_EQ(api.lineRate[3], 10.3125);
  EXPECT_TRUE(rig.sim.Log().empty());
  EXPECT_EQ(api.highRateRange, 7u);
  EXPECT_EQ(api.lineRateMode[0], 0u);
}

// ---- Default rate ----

TEST(DefaultLineRate, TenLanesAt10GAndTheRateRegisters) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.highRateRange = 1;
  api.lineRate[10] = 3.0;
  api.phaseStep[10] = 0.5;
  EXPECT_EQ(api.SetDefaultLineRate(), 1u);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{W(0, 0x105, 0), W(0, 0x205, 1)}));
  for (int lane = 0; lane < 10; ++lane) {
    EXPECT_EQ(api.lineRate[lane], 10.3125) << lane;
    EXPECT_DOUBLE_EQ(api.phaseStep[lane], 1000.0 / (10.3125 * 129.0)) << lane;
  }
  EXPECT_EQ(api.lineRate[10], 3.0);
  EXPECT_EQ(api.phaseStep[10], 0.5);
  EXPECT_EQ(api.highRateRange, 0u);
  EXPECT_TRUE(SleepRecorder::Waits().empty());

  // The result is the rate code's write; a failed range write ends the
  // connection, so the rate code after it fails too.
  TransferFaults faults;
  faults.FailSend(1);
  EXPECT_EQ(api.SetDefaultLineRate(), 0u);
  rig.Reconnect();
  rig.sim.ClearLog();
  faults.FailSend(0);
  EXPECT_EQ(api.SetDefaultLineRate(), 0u);
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
}

// ---- Option-word variants with a clock file ----

namespace {

// The three PAM4 variants with every flag given; the rest 0.
struct Pam4Call {
  double rate;
  std::uint32_t pam4 = 0, f32 = 0, f33 = 0, f34 = 0, f44 = 0, f46 = 0, f47 = 0, f48 = 0, f52 = 0;
  std::uint32_t bit1 = 0, bit4 = 0, bit7 = 0, mode = 0, reg104 = 0, bank105 = 0;
};
std::uint32_t Pam4(Tessok_API& a, const Pam4Call& c) {
  return a.LineRateConfigurationPam4(c.rate, c.pam4, c.f33, c.f32, c.f34, c.mode, c.bit1, c.f44, c.f46);
}
std::uint32_t Pam4B(Tessok_API& a, const Pam4Call& c) {
  return a.LineRateConfigurationPam4B(c.rate, c.pam4, c.f33, c.f32, c.f47, c.mode, c.f48, c.reg104, c.f34, c.bit7,
                                      c.f52);
}
std::uint32_t Pam4C(Tessok_API& a, const Pam4Call& c) {
  return a.LineRateConfigurationPam4C(c.rate, c.pam4, c.f33, c.f32, c.bit4, c.mode, c.f48, c.reg104, c.f34, c.bank105,
                                      c.f52);
}
using Pam4Variant = std::uint32_t (*)(Tessok_API&, const Pam4Call&);

}  // namespace

TEST(OptionWordVariants, Pam4Register105LayoutsAtTheirEdgeRates) {
  struct Case {
    const char* name;
    Pam4Variant run;
    Pam4Call call;
    const char* file;
    unsigned bank;
    std::uint16_t word;
  } cases[] = {
      // Pam4: bit 4 for 9.4 to 15.0 Gb/s.
      {"Pam4At9.4", Pam4, {.rate = 9.4}, "9.4.clk", 0, 0x10},
      {"Pam4At15", Pam4, {.rate = 15.0}, "15.clk", 0, 0x10},
      {"Pam4At9.39", Pam4, {.rate = 9.39}, "9.39.clk", 0, 0x00},
      {"Pam4At15.01", Pam4, {.rate = 15.01}, "15.01.clk", 0, 0x00},
      // pam4, bit1, 32, 33 in bits 0-3, 34, 44, 46 in bits 5-7.
      {"Pam4Flags",
       Pam4,
       {.rate = 20.0, .pam4 = 1, .f32 = 1, .f33 = 1, .f34 = 1, .f44 = 1, .f46 = 1, .bit1 = 1},
       "20.clk",
       0,
       0xEF},
      // A flag above 1 is shifted in whole: 3 << 2.
      {"Pam4FlagShiftedWhole", Pam4, {.rate = 20.0, .f32 = 3}, "20.clk", 0, 0x0C},
      // Pam4B: bit 1 unless PAM4 at 14.3 Gb/s or below.
      {"Pam4BPam4At14.3", Pam4B, {.rate = 14.3, .pam4 = 1}, "14.3.clk", 0, 0x01},
      {"Pam4BPam4At14.31", Pam4B, {.rate = 14.31, .pam4 = 1}, "14.31.clk", 0, 0x03},
      {"Pam4BNrzAnyRate", Pam4B, {.rate = 1.0}, "1.clk", 0, 0x02},
      // pam4, bit 1, 33, 32, 47, 34, bit7 in bits 0, 1, 3-7; 52 in bit 10.
      {"Pam4BFlags",
       Pam4B,
       {.rate = 20.0, .pam4 = 1, .f32 = 1, .f33 = 1, .f34 = 1, .f47 = 1, .f52 = 1, .bit7 = 1},
       "20.clk",
       0,
       0x4FB},
      // Pam4C: bit 1 from 30.2 Gb/s; written at bank105.
      {"Pam4CAt30.2", Pam4C, {.rate = 30.2, .bank105 = 3}, "30.2.clk", 3, 0x02},
      {"Pam4CAt30.19", Pam4C, {.rate = 30.19, .bank105 = 3}, "30.19.clk", 3, 0x00},
      // pam4, 32, 33, bit4, 34 in bits 0, 2-5; 52 in bit 10.
      {"Pam4CFlags",
       Pam4C,
       {.rate = 20.0, .pam4 = 1, .f32 = 1, .f33 = 1, .f34 = 1, .f52 = 1, .bit4 = 1, .bank105 = 2},
       "20.clk",
       2,
       0x43D},
  };
  RateRig r;
  for (const Case& c : cases) {
    r.ClockFile(c.file, kCsvFile);
    EXPECT_EQ(c.run(r.api(), c.call), 1u) << c.name;
    const std::vector<std::uint16_t> words = r.rig.sim.WritesTo(c.bank, kRateRange);
    ASSERT_FALSE(words.empty()) << c.name;
    EXPECT_EQ(words.back(), c.word) << c.name;
  }
}

TEST(OptionWordVariants, Pam4VariantsRecordTheirItemsPerLaneAfterTheRateRegisters) {
  struct Case {
    const char* name;
    Pam4Variant run;
    std::vector<std::uint32_t> items;
    std::vector<double> values;  // of lane 1, in the same order
  } cases[] = {
      {"Pam4", Pam4, {1, 0, 32, 33, 34, 35, 44, 46}, {25.78125, 2, 32, 33, 34, 1, 44, 46}},
      {"Pam4B", Pam4B, {1, 0, 32, 33, 35, 47, 48, 34, 52}, {25.78125, 2, 32, 33, 1, 47, 48, 34, 52}},
      {"Pam4C", Pam4C, {1, 0, 32, 33, 35, 48, 34, 52}, {25.78125, 2, 32, 33, 1, 48, 34, 52}},
  };
  // Each flag holds its own item number, so every record shows its source.
  const Pam4Call call{.rate = 25.78125,
                      .pam4 = 1,
                      .f32 = 32,
                      .f33 = 33,
                      .f34 = 34,
                      .f44 = 44,
                      .f46 = 46,
                      .f47 = 47,
                      .f48 = 48,
                      .f52 = 52,
                      .mode = 2};
  unsigned salt = 0;
  for (const Case& c : cases) {
    RateRig r(7652, {}, ++salt);
    r.ClockFile("25.78125.clk", kCsvFile);
    r.api().lineRate[4] = 3.0;
    EXPECT_EQ(c.run(r.api(), call), 1u) << c.name;
    Trace tail;
    for (unsigned lane = 0; lane < 4; ++lane) {
      for (std::uint32_t item : c.items) tail.push_back(Recorded(kLaneBase[lane] + 8 * item));
      tail.push_back(W(lane, kLaneRateLow, 25));
      tail.push_back(W(lane, kLaneRateHigh, 0));
    }
    const Trace trace = test::LaneTrace(r.rig);
    ASSERT_GT(trace.size(), tail.size()) << c.name;
    EXPECT_EQ((Trace{trace.end() - static_cast<std::ptrdiff_t>(tail.size()), trace.end()}), tail) << c.name;
    // The rate registers come before the records.
    EXPECT_EQ(trace[trace.size() - tail.size() - 1], W(0, kRateCode, 1)) << c.name;
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      EXPECT_EQ(r.rig.sim.EepromDouble(kLaneBase[1] + 8 * c.items[i]), c.values[i]) << c.name << " " << c.items[i];
    }
    for (int lane = 0; lane < 4; ++lane) {
      EXPECT_EQ(r.api().lineRate[lane], 25.78125) << c.name;
      EXPECT_EQ(r.api().pam4Mode[lane], 1u) << c.name;
      EXPECT_EQ(r.api().lineRateMode[lane], 2u) << c.name;
    }
    EXPECT_EQ(r.api().lineRate[4], 3.0) << c.name;
    EXPECT_EQ(r.api().lineRateMode[4], 0u) << c.name;
  }
}

TEST(OptionWordVariants, Pam4ClockSelectionByModel) {
  struct Case {
    const char* name;
    std::uint16_t model;
    std::uint32_t mode;
    Trace head;  // the writes before the clock file
  } cases[] = {
      // The 7837 sets its clock source from the mode at banks 0 and 1, and selects 2 in mode 1.
      {"7837Mode1", 7837, 1, {W(1, kRateControl, 0), W(0, kClockSource, 1), W(1, kClockSource, 1), W(0, kSelect, 2)}},
      {"7837Mode0", 7837, 0, {W(0, kRateControl, 0), W(0, kClockSource, 0), W(1, kClockSource, 0), W(0, kSelect, 1)}},
      {"OtherMode1", 7652, 1, {W(1, kRateControl, 0), W(0, kSelect, 0)}},
      {"OtherMode3", 7652, 3, {W(3, kRateControl, 0), W(0, kSelect, 1)}},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    RateRig r(c.model, {}, ++salt);
    r.ClockFile("10.3125.clk", kCsvFile);
    EXPECT_EQ(Pam4(r.api(), {.rate = 10.3125, .f34 = 5, .mode = c.mode}), 1u) << c.name;
    Trace head = c.head;
    head.insert(head.end(),
                {W(0, kRateRange, 0x10 | 5 << 5), W(0, kClockAddress, 5), W(0, kClockValue, 6), W(0, kRateCode, 1)});
    const Trace trace = test::LaneTrace(r.rig);
    ASSERT_GE(trace.size(), head.size()) << c.name;
    EXPECT_EQ((Trace{trace.begin(), trace.begin() + static_cast<std::ptrdiff_t>(head.size())}), head) << c.name;
    EXPECT_EQ(r.api().rateModeFlag, 5u) << c.name;
  }
}

TEST(OptionWordVariants, Pam4BAndPam4COnTheEightChannelBoardWriteBothHalves) {
  RateRig r(7746, {{34, 1}});
  ASSERT_EQ(r.api().channelCount, 8);
  r.ClockFile("25.78125.clk", kCsvFile);
  // Pam4C, mode 1: bank 0's select by mode, then select and source at bank 4;
  // 0x105 at bank105 and 4; 0x205 at banks 0 and 4; 100, 5000 and 100 ms.
  EXPECT_EQ(Pam4C(r.api(), {.rate = 25.78125, .mode = 1, .reg104 = 9, .bank105 = 3}), 1u);
  Trace expected{W(0, kSelect, 2),     W(4, kSelect, 0),    W(4, kClockSource, 9),
                 W(3, kRateRange, 0),  W(4, kRateRange, 0), W(0, kClockAddress, 5),
                 W(0, kClockValue, 6), W(0, kRateCode, 1),  W(4, kRateCode, 1)};
  // Lanes 4 to 7 of this board keep their items at 0x4000 + 8 x (96 x lane + item).
  const std::uint32_t bases[8] = {0x2000, 0x2300, 0x2600, 0x2900, 0x4C00, 0x4F00, 0x5200, 0x5500};
  for (unsigned lane = 0; lane < 8; ++lane) {
    for (std::uint32_t item : {1u, 0u, 32u, 33u, 35u, 48u, 34u, 52u})
      expected.push_back(Recorded(bases[lane] + 8 * item));
    expected.push_back(W(lane, kLaneRateLow, 25));
    expected.push_back(W(lane, kLaneRateHigh, 0));
  }
  EXPECT_EQ(test::LaneTrace(r.rig), expected);
  std::vector<std::uint32_t> waits{20, 100, 5000};
  const std::vector<std::uint32_t> records = RecordWaits(8 * 8);
  waits.insert(waits.end(), records.begin(), records.end());
  waits.push_back(100);
  EXPECT_EQ(r.rig.sleeps.Waits(), waits);
  EXPECT_EQ(r.rig.sim.EepromDouble(0x4C08), 25.78125);  // lane 4, item 1

  // A mode other than 0 or 1 has no select for bank 0; a flag 48 other than 0 no source.
  r.Restart();
  EXPECT_EQ(Pam4C(r.api(), {.rate = 25.78125, .f48 = 1, .mode = 2, .reg104 = 9, .bank105 = 3}), 1u);
  Trace trace = test::LaneTrace(r.rig);
  ASSERT_GE(trace.size(), 3u);
  EXPECT_EQ((Trace{trace.begin(), trace.begin() + 3}),
            (Trace{W(4, kSelect, 1), W(3, kRateRange, 0), W(4, kRateRange, 0)}));

  // Pam4B, mode 0: 0x100 first, 0x105 at banks 0 and 4, no waits but the file's and the records'.
  r.Restart();
  EXPECT_EQ(Pam4B(r.api(), {.rate = 25.78125, .mode = 0, .reg104 = 7}), 1u);
  trace = test::LaneTrace(r.rig);
  ASSERT_GE(trace.size(), 9u);
  EXPECT_EQ(
      (Trace{trace.begin(), trace.begin() + 9}),
      (Trace{W(0, kRateControl, 0), W(0, kSelect, 1), W(4, kSelect, 0), W(4, kClockSource, 7), W(0, kRateRange, 2),
             W(4, kRateRange, 2), W(0, kClockAddress, 5), W(0, kClockValue, 6), W(0, kRateCode, 1)}));
  EXPECT_EQ(r.rig.sim.WritesTo(4, kRateCode).size(), 3u);
  std::vector<std::uint32_t> pam4BWaits{20};
  const std::vector<std::uint32_t> pam4BRecords = RecordWaits(8 * 9);
  pam4BWaits.insert(pam4BWaits.end(), pam4BRecords.begin(), pam4BRecords.end());
  EXPECT_EQ(r.rig.sleeps.Waits(), pam4BWaits);
}

TEST(OptionWordVariants, Pam4BWithoutTheSecondHalfStaysAtBank0) {
  RateRig plain;
  plain.ClockFile("25.78125.clk", kCsvFile);
  EXPECT_EQ(Pam4B(plain.api(), {.rate = 25.78125, .mode = 1, .reg104 = 7}), 1u);
  const Trace trace = test::LaneTrace(plain.rig);
  ASSERT_GE(trace.size(), 4u);
  EXPECT_EQ((Trace{trace.begin(), trace.begin() + 4}),
            (Trace{W(1, kRateControl, 0), W(0, kSelect, 0), W(0, kClockSource, 7), W(0, kRateRange, 2)}));
  for (const Rig::Access& a : plain.rig.Accesses()) EXPECT_NE(a.bank, 4u);
}

// ---- Clock-file variants ----

TEST(ClockFileVariants, WithoutTheirClockFileReturn0AtOnce) {
  struct Case {
    const char* name;
    std::function<std::uint32_t(Tessok_API&)> run;
    int lanesRated;
  } cases[] = {
      {"Pam4", [](Tessok_API& a) { return Pam4(a, {.rate = 12.5}); }, 4},
      {"Pam4B", [](Tessok_API& a) { return Pam4B(a, {.rate = 12.5}); }, 4},
      {"Pam4C", [](Tessok_API& a) { return Pam4C(a, {.rate = 12.5}); }, 4},
      {"Basic", [](Tessok_API& a) { return a.LineRateConfigurationBasic(12.5); }, 4},
      {"Dual", [](Tessok_API& a) { return a.LineRateConfigurationDual(12.5, 12.5); }, 8},
      {"PerBank", [](Tessok_API& a) { return a.LineRateConfigurationPerBank(12.5, 1); }, 8},
      {"Dsp4Ch", [](Tessok_API& a) { return a.LineRateConfigurationDsp4Ch(12.5, 0); }, 4},
      {"DspPair", [](Tessok_API& a) { return a.LineRateConfigurationDspPair(0, 12.5, 12.5, 0, 0); }, 2},
      {"Pair", [](Tessok_API& a) { return a.LineRateConfigurationPair(0, 12.5, 12.5, 0, 1, 2); }, 2},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    RateRig r(7652, {}, ++salt);
    r.api().lastResult = 1;
    r.api().lineRate[c.lanesRated] = 3.0;
    EXPECT_EQ(c.run(r.api()), 0u) << c.name;
    const Trace trace = test::LaneTrace(r.rig);
    EXPECT_FALSE(HasRecords(trace)) << c.name;
    EXPECT_TRUE(r.rig.sim.WritesTo(0, kRateCode).empty()) << c.name;
    EXPECT_TRUE(r.rig.sleeps.Waits().empty()) << c.name;
    // The rates are set; the registers before the file stay written.
    for (int lane = 0; lane < c.lanesRated; ++lane) EXPECT_EQ(r.api().lineRate[lane], 12.5) << c.name;
    EXPECT_EQ(r.api().lineRate[c.lanesRated], 3.0) << c.name;
    EXPECT_EQ(r.api().lineRateMode[0], 0u) << c.name;
  }
}

TEST(ClockFileVariants, BasicLoadsTheFileThenTheRateRangeAndLane0) {
  RateRig r;
  r.ClockFile("25.78125.clk", "BertOnly\n5,6\n7,8\n");
  EXPECT_EQ(r.api().LineRateConfigurationBasic(25.78125), 1u);
  EXPECT_EQ(test::LaneTrace(r.rig),
            (Trace{W(0, kClockAddress, 5), W(0, kClockValue, 6), W(0, kClockAddress, 7), W(0, kClockValue, 8),
                   W(0, kRateRange, 69), W(0, kRateCode, 1), Recorded(kItem1[0]), Recorded(kItem0[0])}));
  EXPECT_EQ(r.rig.sim.EepromDouble(kItem0[0]), 1.0);
  for (int lane = 0; lane < 4; ++lane) {
    EXPECT_EQ(r.api().lineRateMode[lane], 1u);
    EXPECT_DOUBLE_EQ(r.api().phaseStep[lane], 1000.0 / (25.78125 * 129.0));
  }
  EXPECT_EQ(r.api().highRateRange, 1u);

  r.ClockFile("19.99.clk", kCsvFile);
  r.Restart();
  EXPECT_EQ(r.api().LineRateConfigurationBasic(19.99), 1u);
  EXPECT_EQ(r.rig.sim.WritesTo(0, kRateRange).back(), 5);
  EXPECT_EQ(r.api().highRateRange, 0u);
}

TEST(ClockFileVariants, DualTakesOneRatePerHalfInMbps) {
  RateRig r;
  r.ClockFile("10.3125_25.78125.clk", "first line\n5,6\n");
  EXPECT_EQ(r.api().LineRateConfigurationDual(10.3125, 25.78125), 1u);
  EXPECT_EQ(test::LaneTrace(r.rig), (Trace{W(0, kClockAddress, 5), W(0, kClockValue, 6), W(0, kRateCode, 10312),
                                           W(4, kRateCode, 25781), Recorded(kItem1[0]), Recorded(kItem0[0])}));
  EXPECT_EQ(r.rig.sim.EepromDouble(kItem1[0]), 10.3125);
  EXPECT_EQ(r.rig.sim.EepromDouble(kItem0[0]), 1.0);
  for (int lane = 0; lane < 8; ++lane) {
    const double rate = lane < 4 ? 10.3125 : 25.78125;
    EXPECT_EQ(r.api().lineRate[lane], rate) << lane;
    EXPECT_DOUBLE_EQ(r.api().phaseStep[lane], 1000.0 / (rate * 129.0)) << lane;
    EXPECT_EQ(r.api().lineRateMode[lane], 1u) << lane;
  }

  // A rate that is no finite number: nothing sent, nothing changed.
  r.Restart();
  for (auto rates : {std::pair{kNaN, 10.0}, std::pair{10.0, std::numeric_limits<double>::infinity()}}) {
    EXPECT_EQ(r.api().LineRateConfigurationDual(rates.first, rates.second), 0u);
  }
  EXPECT_TRUE(r.rig.sim.Log().empty());
  EXPECT_EQ(r.api().lineRate[0], 10.3125);
}

TEST(ClockFileVariants, PerBankRecordsMode0ForLanes0To7) {
  RateRig r;
  r.ClockFile("25.78125.clk", "0\n5,6\n");  // a mode line, then the pairs
  r.api().lineRateMode[0] = 7;
  EXPECT_EQ(r.api().LineRateConfigurationPerBank(25.78125, 2), 1u);
  Trace tail{W(2, kRateCode, 25781)};
  AppendLaneRecords(tail, {0, 1, 2, 3, 4, 5, 6, 7}, 25);
  const Trace trace = test::LaneTrace(r.rig);
  ASSERT_GT(trace.size(), tail.size());
  EXPECT_EQ((Trace{trace.end() - static_cast<std::ptrdiff_t>(tail.size()), trace.end()}), tail);
  EXPECT_EQ(r.rig.sim.ClockChipWrites(0), (Pairs{{5, 6}}));
  for (int lane = 0; lane < 8; ++lane) {
    EXPECT_EQ(r.rig.sim.EepromDouble(kItem0[lane]), 0.0) << lane;
    EXPECT_DOUBLE_EQ(r.api().phaseStep[lane], 1000.0 / (25.78125 * 129.0)) << lane;
  }
  // Lanes 4 to 7 are re-rated too, so item 1 holds the new rate there.
  EXPECT_EQ(r.rig.sim.EepromDouble(kItem1[6]), 25.78125);
  EXPECT_EQ(r.api().lineRateMode[0], 7u);  // unchanged
}

// ---- Signal-processor variants ----

TEST(SignalProcessorVariants, Dsp4ChProgramsBanks0And2WithTheBandCode) {
  RateRig r;
  r.ClockFile("25.78125.clk", kCsvFile);
  EXPECT_EQ(r.api().LineRateConfigurationDsp4Ch(25.78125, 0), 1u);
  Trace expected{W(0, kRateControl, 0), W(0, kClockAddress, 5), W(0, kClockValue, 6), W(0, 0x228, 25781), R(0, 0x22B)};
  AppendRateCode(expected, 0, 100);
  AppendRateCode(expected, 2, 100);
  AppendLaneRecords(expected, {0, 1, 2, 3}, 25);
  EXPECT_EQ(test::LaneTrace(r.rig), expected);
  std::vector<std::uint32_t> waits{20, 100, 50, 50};
  const std::vector<std::uint32_t> records = RecordWaits(8);
  waits.insert(waits.end(), records.begin(), records.end());
  EXPECT_EQ(r.rig.sleeps.Waits(), waits);
  for (int lane = 0; lane < 4; ++lane) {
    EXPECT_EQ(r.rig.sim.EepromDouble(kItem1[lane]), 25.78125);
    EXPECT_EQ(r.rig.sim.EepromDouble(kItem0[lane]), 0.0);
    EXPECT_DOUBLE_EQ(r.api().phaseStep[lane], 1000.0 / (25.78125 * 64.0));
    EXPECT_EQ(r.api().lineRateMode[lane], 0u);
  }
}

TEST(SignalProcessorVariants, BanksByFlagsAndOneReadBackForAll) {
  struct Case {
    std::uint32_t remapLane1, option57Bit2;
    std::vector<unsigned> banks;
  } cases[] = {
      {0, 0, {0, 2}},       {1, 0, {0, 1, 2}}, {0, 1, {0, 2, 3}},
      {1, 1, {0, 1, 2, 3}}, {2, 2, {0, 2}},  // the flags count only as 1
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    for (bool generated : {false, true}) {
      RateRig r(7652, {}, ++salt);
      r.api().remapLane1 = c.remapLane1;
      r.api().option57Bit2 = c.option57Bit2;
      r.api().RefreshBoardTraits();
      // A usable read-back code of bank 0 goes to every bank, whatever the band.
      r.rig.sim.SetReadValue(0, 0x22B, 33);
      r.ClockFile("10.3125.clk", kCsvFile);
      double f1 = 0, ref = 0, f3 = 100, f4 = 156.25;
      const std::uint32_t result = generated ? r.api().ConfigureLineRate(10.3125, 0, &f1, &ref, &f3, &f4)
                                             : r.api().LineRateConfigurationDsp4Ch(10.3125, 0);
      EXPECT_EQ(result, 1u) << generated;
      EXPECT_EQ(RateCodeBanks(r.rig), c.banks) << generated << c.remapLane1 << c.option57Bit2;
      for (unsigned bank : c.banks) EXPECT_EQ(r.rig.sim.WritesTo(bank, kRateCode), (std::vector<std::uint16_t>{33}));
      for (unsigned bank = 1; bank < 4; ++bank) EXPECT_TRUE(r.rig.sim.WritesTo(bank, 0x228).empty()) << bank;
    }
  }
}

TEST(SignalProcessorVariants, BandTableAAgainstB) {
  // Without a usable read-back: A (four-lane variant) and B (pair variant).
  struct Case {
    double rate;
    const char* file4;
    const char* filePair;
    std::optional<std::uint16_t> a, b;
  } cases[] = {
      {15.0, "15.clk", "15_10.clk", 64, 66},
      {15.5, "15.5.clk", "15.5_10.clk", 100, 100},
      {33.0, "33.clk", "33_10.clk", 100, {}},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    RateRig r(7652, {}, ++salt);
    r.ClockFile(c.file4, kCsvFile);
    r.ClockFile(c.filePair);
    EXPECT_EQ(r.api().LineRateConfigurationDsp4Ch(c.rate, 0), c.a ? 1u : 0u) << c.rate;
    EXPECT_EQ(r.rig.sim.WritesTo(0, kRateCode), (std::vector<std::uint16_t>{*c.a})) << c.rate;
    r.Restart();
    EXPECT_EQ(r.api().LineRateConfigurationDspPair(0, c.rate, 10.0, 0, 0), c.b ? 1u : 0u) << c.rate;
    const std::vector<std::uint16_t> writes = r.rig.sim.WritesTo(0, kRateCode);
    if (c.b) {
      EXPECT_EQ(writes.back(), *c.b) << c.rate;
      EXPECT_EQ(r.rig.sim.WritesTo(1, kRateCode), (std::vector<std::uint16_t>{66})) << c.rate;  // lane 1 at 10 Gb/s
    } else {
      // No code for lane 0: neither lane gets one, nothing is recorded.
      EXPECT_EQ(writes.size(), 1u) << c.rate;
      EXPECT_TRUE(r.rig.sim.WritesTo(1, kRateCode).empty()) << c.rate;
      EXPECT_FALSE(HasRecords(test::LaneTrace(r.rig))) << c.rate;
      EXPECT_EQ(r.api().lineRate[0], 33.0);
      EXPECT_DOUBLE_EQ(r.api().phaseStep[0], 1000.0 / (33.0 * 64.0));
    }
  }
  // With option word 57's low bits 1 band A ends at 16 Gb/s: 25.78125 has no code.
  RateRig low(7652, {}, ++salt);
  low.api().option57Low = 1;
  low.ClockFile("25.78125.clk", kCsvFile);
  low.ClockFile("16.clk", kCsvFile);
  EXPECT_EQ(low.api().LineRateConfigurationDsp4Ch(25.78125, 1), 0u);
  EXPECT_TRUE(low.rig.sim.WritesTo(0, kRateCode).empty());
  EXPECT_FALSE(HasRecords(test::LaneTrace(low.rig)));
  EXPECT_EQ(low.api().lineRateMode[0], 0u);
  EXPECT_EQ(low.api().LineRateConfigurationDsp4Ch(16.0, 1), 1u);
  EXPECT_EQ(low.rig.sim.WritesTo(0, kRateCode), (std::vector<std::uint16_t>{64}));
}

TEST(SignalProcessorVariants, RetriesPerBankAndSharedInTheDividerMode) {
  // Dsp4Ch: every bank its own two retries.
  RateRig r;
  r.ClockFile("10.3125.clk", kCsvFile);
  r.rig.sim.SetDspNotReadyFor(0, 5);  // never ready: three writes
  r.rig.sim.SetDspNotReadyFor(2, 1);  // ready at the second check
  EXPECT_EQ(r.api().LineRateConfigurationDsp4Ch(10.3125, 0), 1u);
  EXPECT_EQ(r.rig.sim.WritesTo(0, kRateCode), (std::vector<std::uint16_t>(3, 64)));
  EXPECT_EQ(r.rig.sim.WritesTo(2, kRateCode), (std::vector<std::uint16_t>(2, 64)));
  EXPECT_TRUE(HasRecords(test::LaneTrace(r.rig)));  // a processor never ready is no failure

  // Divider mode: two retries for the four banks together.
  ClockSource_Tarquel finder;
  const ClockCandidate candidate = finder.FindDivider(10.3125, 0);
  ASSERT_TRUE(candidate.IsValid());
  const auto divider = static_cast<std::uint16_t>(candidate.divider);
  struct Case {
    std::vector<int> notReady;        // checks each bank fails
    std::vector<std::size_t> writes;  // 0x205 writes per bank
  } cases[] = {
      {{2, 3, 0, 0}, {3, 1, 1, 1}},  // bank 0 takes both retries: the others one write and check each
      {{1, 5, 0, 0}, {2, 2, 1, 1}},
      {{0, 0, 0, 9}, {1, 1, 1, 3}},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    RateRig d(7652, {}, ++salt);
    for (unsigned bank = 0; bank < 4; ++bank) d.rig.sim.SetDspNotReadyFor(bank, c.notReady[bank]);
    EXPECT_EQ(d.api().LineRateConfigurationDspPair(7, 10.3125, 0.0, 2, 0), 1u);
    for (unsigned bank = 0; bank < 4; ++bank) {
      EXPECT_EQ(d.rig.sim.WritesTo(bank, kRateCode), std::vector<std::uint16_t>(c.writes[bank], divider)) << bank;
    }
    const Trace trace = test::LaneTrace(d.rig);
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.front(), W(0, kRateControl, 0));
    EXPECT_FALSE(HasRecords(trace));
    for (int lane = 0; lane < 4; ++lane) {
      EXPECT_EQ(d.api().lineRate[lane], 10.3125);
      EXPECT_DOUBLE_EQ(d.api().phaseStep[lane], 1000.0 / (10.3125 * 64.0));
      EXPECT_EQ(d.api().lineRateMode[lane], 0u);
    }
  }
}

TEST(SignalProcessorVariants, DspPairOfPair1AndItsRefusals) {
  RateRig r;
  r.ClockFile("12.5_25.78125.clk");
  r.rig.sim.SetReadValue(3, 0x22B, 48);  // lane 3 has a usable read-back
  EXPECT_EQ(r.api().LineRateConfigurationDspPair(1, 12.5, 25.78125, 1, 0), 1u);
  Trace expected{W(1, kRateControl, 0), W(1, kClockAddress, 5), W(1, kClockValue, 6), W(2, 0x228, 12500), R(2, 0x22B)};
  AppendRateCode(expected, 2, 66);
  expected.insert(expected.end(), {W(3, 0x228, 25781), R(3, 0x22B)});
  AppendRateCode(expected, 3, 48);
  AppendLaneRecords(expected, {2}, 12);
  AppendLaneRecords(expected, {3}, 25);
  EXPECT_EQ(test::LaneTrace(r.rig), expected);
  EXPECT_EQ(r.rig.sim.ClockChipWrites(1), (Pairs{{5, 6}}));
  EXPECT_EQ(r.rig.sim.EepromDouble(kItem1[3]), 25.78125);
  EXPECT_EQ(r.rig.sim.EepromDouble(kItem0[2]), 1.0);
  EXPECT_EQ(r.api().lineRateMode[2], 1u);
  EXPECT_EQ(r.api().lineRateMode[3], 1u);
  EXPECT_EQ(r.api().lineRateMode[1], 0u);
  EXPECT_DOUBLE_EQ(r.api().phaseStep[3], 1000.0 / (25.78125 * 64.0));

  // A lane without a code after one with: the first keeps its code, nothing is recorded.
  r.Restart();
  r.ClockFile("12.5_40.clk");
  r.rig.sim.SetReadValue(3, 0x22B, 0);
  EXPECT_EQ(r.api().LineRateConfigurationDspPair(1, 12.5, 40.0, 0, 0), 0u);
  EXPECT_EQ(RateCodeBanks(r.rig), (std::vector<unsigned>{2}));
  EXPECT_FALSE(HasRecords(test::LaneTrace(r.rig)));

  // Refusals: another pair, a mode above 2, a rate that is no finite number, no divider candidate.
  r.Restart();
  const double before = r.api().lineRate[2];
  EXPECT_EQ(r.api().LineRateConfigurationDspPair(2, 12.5, 12.5, 0, 0), 0u);
  EXPECT_EQ(r.api().LineRateConfigurationDspPair(0, 12.5, 12.5, 3, 0), 0u);
  EXPECT_EQ(r.api().LineRateConfigurationDspPair(0, kNaN, 12.5, 0, 0), 0u);
  EXPECT_EQ(r.api().LineRateConfigurationDspPair(0, 12.5, -std::numeric_limits<double>::infinity(), 1, 0), 0u);
  EXPECT_EQ(r.api().LineRateConfigurationDspPair(0, 10.3125, 0.0, 2, 1000), 0u);
  EXPECT_EQ(r.api().LineRateConfigurationDspPair(0, 10.3125, 0.0, 2, -1), 0u);
  EXPECT_TRUE(r.rig.sim.Log().empty());
  EXPECT_EQ(r.api().lineRate[2], before);
}

TEST(SignalProcessorVariants, PairTakesTheCallersCodesAndARangeBitPerLane) {
  RateRig r;
  r.ClockFile("15_14.99.clk");
  r.api().lineRate[2] = 3.0;
  EXPECT_EQ(r.api().LineRateConfigurationPair(0, 15.0, 14.99, 1, 0x1234, 0x5678), 1u);
  Trace expected{W(1, kRateControl, 0),   W(0, kClockAddress, 5), W(0, kClockValue, 6),   W(0, kRateRange, 64),
                 W(0, kRateCode, 0x1234), W(1, kRateRange, 0),    W(1, kRateCode, 0x5678)};
  AppendLaneRecords(expected, {0}, 15);
  AppendLaneRecords(expected, {1}, 14);
  EXPECT_EQ(test::LaneTrace(r.rig), expected);
  EXPECT_EQ(r.api().highRateRange, 0u);  // the second lane's
  for (int lane = 0; lane < 4; ++lane) EXPECT_EQ(r.api().lineRateMode[lane], 1u) << lane;
  EXPECT_DOUBLE_EQ(r.api().phaseStep[1], 1000.0 / (14.99 * 64.0));
  EXPECT_EQ(r.api().lineRate[2], 3.0);

  // Pair 1: lanes 2 and 3, the file at bank 1.
  r.Restart();
  r.ClockFile("20_21.clk");
  EXPECT_EQ(r.api().LineRateConfigurationPair(1, 20.0, 21.0, 0, 1, 2), 1u);
  EXPECT_EQ(r.rig.sim.ClockChipWrites(1), (Pairs{{5, 6}}));
  EXPECT_EQ(r.rig.sim.WritesTo(2, kRateCode), (std::vector<std::uint16_t>{1}));
  EXPECT_EQ(r.rig.sim.WritesTo(3, kRateCode), (std::vector<std::uint16_t>{2}));
  EXPECT_EQ(r.api().highRateRange, 1u);
  EXPECT_EQ(r.api().lineRateMode[0], 0u);

  r.Restart();
  EXPECT_EQ(r.api().LineRateConfigurationPair(2, 20.0, 21.0, 0, 1, 2), 0u);
  EXPECT_EQ(r.api().LineRateConfigurationPair(0, 20.0, kNaN, 0, 1, 2), 0u);
  EXPECT_TRUE(r.rig.sim.Log().empty());
}

// ---- Line rate from a generated clock plan ----

TEST(GeneratedPlanLineRate, CodesAndReferenceByBand) {
  struct Case {
    double rate;
    std::uint32_t option57Low;
    double ref;  // MHz, what the clock file was planned for
    std::uint16_t code;
  } cases[] = {
      {3.0, 0, 187.5, 16},  // 3000 / 16
      {15.5, 0, 155.0, 100},
      {15.5, 1, 242.1875, 64},  // 15500 / 64
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    RateRig r(7652, {}, ++salt);
    r.api().option57Low = c.option57Low;
    double f1 = 0, ref = 0, f3 = 100, f4 = 156.25;
    EXPECT_EQ(r.api().ConfigureLineRate(c.rate, 0, &f1, &ref, &f3, &f4), 1u) << c.rate;
    EXPECT_EQ(ref, c.ref) << c.rate;
    EXPECT_EQ(f1, 50.0) << c.rate;  // the planner's input, written back
    EXPECT_EQ(r.rig.sim.WritesTo(0, kRateCode), (std::vector<std::uint16_t>{c.code})) << c.rate;
    EXPECT_EQ(r.rig.sim.WritesTo(2, kRateCode), (std::vector<std::uint16_t>{c.code})) << c.rate;
    EXPECT_EQ(r.rig.sim.ClockChipWrites(0).size(), 378u) << c.rate;
  }
}

TEST(GeneratedPlanLineRate, SequenceAtTenGigabitsInMode1) {
  RateRig r;
  r.api().lineRate[4] = 3.0;
  double f1 = 0, ref = 0, f3 = 100, f4 = 156.25;
  EXPECT_EQ(r.api().ConfigureLineRate(10.3125, 1, &f1, &ref, &f3, &f4), 1u);
  // 0x100, the plan's 756 writes, the read-back, two banks' codes and checks,
  // then four lanes' records and integer rates: 1 + 756 + 2 + 8 + 128 + 8.
  EXPECT_EQ(r.rig.sim.RequestCount(), 903u);
  const Trace trace = test::LaneTrace(r.rig);
  ASSERT_EQ(trace.size(), 1u + 756u + 2u + 8u + 16u);
  EXPECT_EQ(trace.front(), W(1, kRateControl, 0));
  Trace tail{W(0, 0x228, 10312), R(0, 0x22B)};
  AppendRateCode(tail, 0, 64);
  AppendRateCode(tail, 2, 64);
  AppendLaneRecords(tail, {0, 1, 2, 3}, 10);
  EXPECT_EQ((Trace{trace.end() - static_cast<std::ptrdiff_t>(tail.size()), trace.end()}), tail);
  // The generated file (20 ms), 100 ms, two checks, eight records.
  std::vector<std::uint32_t> waits{20, 100, 50, 50};
  const std::vector<std::uint32_t> records = RecordWaits(8);
  waits.insert(waits.end(), records.begin(), records.end());
  EXPECT_EQ(r.rig.sleeps.Waits(), waits);
  for (int lane = 0; lane < 4; ++lane) {
    EXPECT_EQ(r.rig.sim.EepromDouble(kItem0[lane]), 1.0) << lane;
    EXPECT_EQ(r.rig.sim.EepromDouble(kItem1[lane]), 10.3125) << lane;
    EXPECT_EQ(r.api().lineRateMode[lane], 1u) << lane;
    EXPECT_DOUBLE_EQ(r.api().phaseStep[lane], 1000.0 / (10.3125 * 64.0)) << lane;
  }
  EXPECT_EQ(r.api().lineRate[4], 3.0);  // lanes 4 and up are not touched
  EXPECT_FALSE(r.scratch.Read("10.3125.clk").empty());
}

TEST(GeneratedPlanLineRate, StopsWhereItsStepFails) {
  RateRig r;
  r.api().lineRate[0] = 3.0;
  double f1 = 0, ref = 0, f3 = 100, f4 = 156.25;
  // A null pointer: nothing sent, nothing changed.
  EXPECT_EQ(r.api().ConfigureLineRate(10.3125, 0, nullptr, &ref, &f3, &f4), 0u);
  EXPECT_EQ(r.api().ConfigureLineRate(10.3125, 0, &f1, &ref, &f3, nullptr), 0u);
  EXPECT_TRUE(r.rig.sim.Log().empty());
  EXPECT_EQ(r.api().lineRate[0], 3.0);

  // A rate the clock file refuses (32 Gb/s and up): 0x100, lineRate and phaseStep stay; nothing more.
  EXPECT_EQ(r.api().ConfigureLineRate(33.0, 2, &f1, &ref, &f3, &f4), 0u);
  EXPECT_EQ(test::LaneTrace(r.rig), (Trace{W(2, kRateControl, 0)}));
  EXPECT_EQ(r.api().lineRate[3], 33.0);
  EXPECT_DOUBLE_EQ(r.api().phaseStep[3], 1000.0 / (33.0 * 64.0));
  EXPECT_EQ(r.api().lineRateMode[3], 0u);

  // A clock directory that cannot be made.
  r.Restart();
  r.ClockFile("plain-file");
  r.api().clockFileDir = r.scratch.Prefix() + "plain-file/clk/";
  EXPECT_EQ(r.api().ConfigureLineRate(10.3125, 0, &f1, &ref, &f3, &f4), 0u);
  EXPECT_EQ(test::LaneTrace(r.rig), (Trace{W(0, kRateControl, 0)}));

  // With option word 57's low bits 1 the file is planned for 20 Gb/s, but band A has no code there.
  r.Restart();
  r.api().clockFileDir = r.scratch.Prefix();
  r.api().option57Low = 1;
  EXPECT_EQ(r.api().ConfigureLineRate(20.0, 0, &f1, &ref, &f3, &f4), 0u);
  EXPECT_EQ(r.rig.sim.ClockChipWrites(0).size(), 378u);
  EXPECT_TRUE(r.rig.sim.WritesTo(0, kRateCode).empty());
  EXPECT_FALSE(HasRecords(test::LaneTrace(r.rig)));
  EXPECT_EQ(r.api().lastResult, 0u);
}
