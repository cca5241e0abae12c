// Line-rate variants: the option-word layouts of register 0x105 and the items
// each variant records, the host-planned reference clock of the synthesizer
// variants against the planner's own plan, and the default rate.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "FaultSupport.h"
#include "LaneTrace.h"
#include "TestSupport.h"
#include "clock/SI5346_API.h"

using namespace tessok;
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
  // A rate that is no number, and an offset that takes the reference below zero.
  EXPECT_EQ(api.LineRateConfigurationSynthNominal(kNaN), 0u);
  EXPECT_TRUE(std::isnan(api.lineRate[3]));
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

  TransferFaults faults;
  faults.FailSend(1);
  EXPECT_EQ(api.SetDefaultLineRate(), 0u);
  faults.FailSend(0);
  EXPECT_EQ(api.SetDefaultLineRate(), 1u);
}
