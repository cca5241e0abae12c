// Receiver settings: DSP mode and CTLE, the sampling point as raw codes and
// from ps and mV, its read-back, the per-lane corrections and the read-outs.
//
// Status records at 0x2000 + 8 (96 lane + item): item 9 (output level) of lane
// 0 at 0x2048, of lane 1 at 0x2348; item 17 (CTLE) at 0x2088 + 0x300 lane;
// items 19 and 20 (phase, threshold) at 0x2098 and 0x20A0 + 0x300 lane.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "LaneTrace.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::R;
using tessok::test::Recorded;
using tessok::test::RecordRead;
using tessok::test::Rig;
using tessok::test::Trace;
using tessok::test::W;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const std::vector<sim::RegisterValue> k7775Remapped{{33, 11}};
const std::vector<sim::RegisterValue> k7841Remapped{{57, 0x40}};

struct EqualiserCase {
  const char* name;
  std::uint16_t model;
  std::vector<sim::RegisterValue> options;
  std::function<std::uint8_t(int ch, int value)> set;
  int ch, value;
  std::uint8_t result;
  Trace sent;
  double recorded;  // the value at the first record, when there is one
};

void PrintTo(const EqualiserCase& c, std::ostream* os) { *os << c.name; }

std::uint8_t Dsp(int ch, int mode) { return APIDSPMode(0, ch, mode); }
std::uint8_t Ctle(int ch, int value) { return APICTLESetValue(0, ch, value); }

// clang-format off
const EqualiserCase kEqualiserCases[] = {
    {"DspMode0RecordsCtle15", 7652, {}, Dsp, 1, 0, 1,
     {Recorded(0x2388), W(1, 0x21D, 1), W(1, 0x21D, 0)}, 15.0},
    // Item 68 of lane 1: 0x2000 + 8 (96 + 68).
    {"DspMode0On7668Option11RecordsTheMode", 7668, {{31, 11}}, Dsp, 1, 0, 1,
     {Recorded(0x2520), W(1, 0x21D, 1), W(1, 0x21D, 0)}, 0.0},
    {"DspMode3On7668Option11RecordsTheMode", 7668, {{31, 11}}, Dsp, 1, 3, 1,
     {Recorded(0x2520), W(1, 0x21D, 1), W(1, 0x21D, 3)}, 3.0},
    {"DspMode2RecordsNothing", 7652, {}, Dsp, 1, 2, 1,
     {W(1, 0x21D, 1), W(1, 0x21D, 2)}, 0},
    {"DspModeRemapped7841Lane1ToBank0", 7841, k7841Remapped, Dsp, 1, 0, 1,
     {Recorded(0x2388), W(0, 0x21D, 1), W(0, 0x21D, 0)}, 15.0},
    {"DspModeRemapped7775Lane3ToBank2", 7775, k7775Remapped, Dsp, 3, 1, 1,
     {W(2, 0x21D, 1), W(2, 0x21D, 1)}, 0},
    {"DspModeChannel16Refused", 7652, {}, Dsp, 16, 0, 0, {}, 0},
    {"Ctle", 7652, {}, Ctle, 2, 7, 1,
     {Recorded(0x2688), W(2, 0x21E, 7)}, 7.0},
    {"CtleRemapped7841Lane1ToBank0", 7841, k7841Remapped, Ctle, 1, 5, 1,
     {Recorded(0x2388), W(0, 0x21E, 5)}, 5.0},
    {"CtleHasNoLane3FixUp", 7775, k7775Remapped, Ctle, 3, 5, 1,
     {Recorded(0x2988), W(3, 0x21E, 5)}, 5.0},
    {"CtleChannelMinus1Refused", 7652, {}, Ctle, -1, 5, 0, {}, 0},
};
// clang-format on

class Equaliser : public ::testing::TestWithParam<EqualiserCase> {};

}  // namespace

TEST_P(Equaliser, RecordsAndWritesAtTheLanesBank) {
  const EqualiserCase& c = GetParam();
  Rig rig(c.model, c.options);
  rig.Connect();
  EXPECT_EQ(c.set(c.ch, c.value), c.result);
  EXPECT_EQ(test::LaneTrace(rig), c.sent);
  if (!c.sent.empty() && c.sent.front().rfind("write", 0) == 0) {
    EXPECT_EQ(rig.sim.EepromDouble(static_cast<std::uint32_t>(std::stoul(c.sent.front().substr(6), nullptr, 16))),
              c.recorded);
  }
}

INSTANTIATE_TEST_SUITE_P(Receiver, Equaliser, ::testing::ValuesIn(kEqualiserCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(SamplingPoint, RecordsPhaseAndThresholdAndSendsSevenPhaseBits) {
  struct Case {
    std::uint16_t model;
    std::vector<sim::RegisterValue> options;
    std::uint32_t ch;
    unsigned bank;  // also the recorded lane
    std::uint32_t phaseRecord, thresholdRecord;
  } cases[] = {
      {7652, {}, 2, 2, 0x2698, 0x26A0},
      {7775, k7775Remapped, 3, 2, 0x2698, 0x26A0},
      {7841, k7841Remapped, 1, 0, 0x2098, 0x20A0},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, c.options, 0, ++salt);
    rig.Connect();
    // Phase 200 & 0x7F = 72; 40 x 256 + 72 = 10312.
    EXPECT_EQ(rig.api().SetSamplingPoint(c.ch, 200, 40), 1);
    EXPECT_EQ(test::LaneTrace(rig),
              (Trace{Recorded(c.phaseRecord), Recorded(c.thresholdRecord), W(c.bank, 0x30A, 10312)}))
        << c.model;
    EXPECT_EQ(rig.sim.EepromDouble(c.phaseRecord), 200.0);
    EXPECT_EQ(rig.sim.EepromDouble(c.thresholdRecord), 40.0);
    APIDisconnect(0);
  }
}

TEST(SamplingPoint, RawCodesTakeBothFixUpsAndRecordNothing) {
  Rig rig(7775, k7775Remapped);
  rig.Connect();
  EXPECT_EQ(rig.api().SetSamplingPhaseCode(3, 0x55), 1);
  EXPECT_EQ(rig.api().SetDecisionThresholdCode(1, 9), 1);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{W(2, 0x30A, 0x55), W(1, 0x30B, 9)}));

  Rig other(7841, k7841Remapped, 1, 1);
  other.Connect();
  EXPECT_EQ(other.api().SetDecisionThresholdCode(1, 9), 1);
  EXPECT_EQ(other.api().SetSamplingPhaseCode(3, 7), 1);
  EXPECT_EQ(test::LaneTrace(other), (Trace{W(0, 0x30B, 9), W(3, 0x30A, 7)}));
}

TEST(DecisionThresholdMv, StoreStepOnOtherModels) {
  // 200 mV over the step, truncated; codes outside 0-255 and undefined steps are refused.
  struct Case {
    double step;
    int code;  // -1: refused
  } cases[] = {
      {2.0, 100}, {0.8, 250}, {3.0, 66},  {0.78, -1},  // 256.4: one beyond the byte, not sent as 0
      {0.5, -1},                                       // 400, not sent as 144
      {0.0, -1},  {kNaN, -1}, {kInf, -1}, {-1.0, -1},
  };
  Rig rig;
  rig.Connect();
  for (const Case& c : cases) {
    rig.sim.ClearLog();
    rig.api().calibration.thresholdStepMv = c.step;
    EXPECT_EQ(rig.api().SetDecisionThresholdMv(1, 200), c.code >= 0 ? 1 : 0) << c.step;
    const Trace sent = c.code >= 0 ? Trace{W(1, 0x30B, static_cast<unsigned>(c.code))} : Trace{};
    EXPECT_EQ(test::LaneTrace(rig), sent) << c.step;
  }
  EXPECT_EQ(rig.api().SetDecisionThresholdMv(16, 200), 0);
  EXPECT_TRUE(rig.sim.Log().empty());
}

TEST(DecisionThresholdMv, Lane3FixUpOnOtherModels) {
  Rig rig(7775, k7775Remapped);
  rig.Connect();
  rig.api().calibration.thresholdStepMv = 2.0;
  EXPECT_EQ(rig.api().SetDecisionThresholdMv(3, 200), 1);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{W(2, 0x30B, 100)}));
}

TEST(DecisionThresholdMv, StepModelsReadTheLevelRecordAndTheEvaluator) {
  struct Case {
    std::uint16_t model;
    std::vector<sim::RegisterValue> options;
    std::uint32_t ch;
    unsigned bank;
    std::uint32_t levelRecord;
    unsigned code;
  } cases[] = {
      // Measured step 4.0 of the lane: 200 / 4.
      {7822, {}, 1, 1, 0x2348, 50},
      {7841, k7841Remapped, 1, 0, 0x2048, 50},
      // Polynomial 1 + 0.1 rate at the lane's 10 Gb/s: step 2.0.
      {7792, {}, 1, 1, 0x2348, 100},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, c.options, 0, ++salt);
    rig.Connect();
    Tessok_API& api = rig.api();
    api.calibration.thresholdStepMeasured[c.bank] = 4.0;
    for (double& k : api.calibration.thresholdStepPoly) k = 0.0;
    api.calibration.thresholdStepPoly[0] = 1.0;
    api.calibration.thresholdStepPoly[1] = 0.1;
    api.calibration.thresholdStepMv = 1000.0;  // not used by these boards
    api.lineRate[c.bank] = 10.0;
    EXPECT_EQ(api.SetDecisionThresholdMv(c.ch, 200), 1) << c.model;
    EXPECT_EQ(test::LaneTrace(rig), (Trace{RecordRead(c.levelRecord), W(c.bank, 0x30B, c.code)})) << c.model;

    // A quotient beyond 255: the record was read, nothing is written.
    rig.sim.ClearLog();
    api.calibration.thresholdStepMeasured[c.bank] = 0.5;
    api.calibration.thresholdStepPoly[1] = -0.05;  // step 0.5
    EXPECT_EQ(api.SetDecisionThresholdMv(c.ch, 200), 0) << c.model;
    EXPECT_EQ(test::LaneTrace(rig), (Trace{RecordRead(c.levelRecord)})) << c.model;
    APIDisconnect(0);
  }
}

TEST(SamplingPointPsMv, PhaseStepsPerUnitIntervalByFamily) {
  // 20 ps at 25 Gb/s: 20 x 25 x 129 / 1000 = 64.5 -> 64 on 129-step boards,
  // 20 x 25 x 64 / 1000 = 32 on the 64-step ones. 100 mV over step 2 or 4.
  Rig rig;
  rig.Connect();
  rig.api().lineRate[1] = 25.0;
  rig.api().calibration.thresholdStepMv = 2.0;
  EXPECT_EQ(rig.api().SetSamplingPointPsMv(1, 20, 100), 1);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{Recorded(0x2398), Recorded(0x23A0), W(1, 0x30A, 50 * 256 + 64)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2398), 64.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x23A0), 50.0);

  // 50 ps: 161.25 -> 161, recorded as it is and sent as 161 & 0x7F = 33.
  rig.sim.ClearLog();
  EXPECT_EQ(rig.api().SetSamplingPointPsMv(1, 50, 100), 1);
  EXPECT_EQ(rig.sim.WritesTo(1, 0x30A).back(), 50 * 256 + 33);
  EXPECT_EQ(rig.sim.EepromDouble(0x2398), 161.0);

  // A threshold of 400 codes is refused before anything is recorded or sent.
  rig.sim.ClearLog();
  rig.api().calibration.thresholdStepMv = 0.25;
  EXPECT_EQ(rig.api().SetSamplingPointPsMv(1, 20, 100), 0);
  EXPECT_EQ(rig.api().SetSamplingPointPsMv(16, 20, 100), 0);
  EXPECT_EQ(rig.api().SetSamplingPointPsMv(1, 20, -2), 0);
  EXPECT_TRUE(rig.sim.Log().empty());

  Rig step(7822, 1, 1);
  step.Connect();
  step.api().lineRate[1] = 25.0;
  step.api().calibration.thresholdStepMeasured[1] = 4.0;
  EXPECT_EQ(step.api().SetSamplingPointPsMv(1, 20, 100), 1);
  EXPECT_EQ(test::LaneTrace(step), (Trace{Recorded(0x2398), Recorded(0x23A0), W(1, 0x30A, 25 * 256 + 32)}));
}

TEST(SamplingPointPsMv, RemappedLane1UsesLane0sRateAndBank) {
  Rig rig(7841, k7841Remapped);
  rig.Connect();
  rig.api().lineRate[0] = 25.0;
  rig.api().lineRate[1] = 10.0;
  rig.api().calibration.thresholdStepMeasured[0] = 4.0;
  EXPECT_EQ(rig.api().SetSamplingPointPsMv(1, 20, 100), 1);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{Recorded(0x2098), Recorded(0x20A0), W(0, 0x30A, 25 * 256 + 32)}));
}

TEST(ReadSamplingPoint, ConvertsTheReadBackBothWays) {
  // At 25 Gb/s a unit interval is 40 ps.
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.lineRate[1] = 25.0;
  api.calibration.thresholdStepMv = 2.0;
  ASSERT_EQ(api.SetSamplingPoint(1, 64, 10), 1);
  rig.sim.ClearLog();
  double ps = -1, mV = -1;
  EXPECT_EQ(api.ReadSamplingPoint(1, &ps, &mV), 1);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{W(1, 0x30C, 0), R(1, 0x30C)}));
  EXPECT_DOUBLE_EQ(ps, 64.0 / 129 * 40);
  EXPECT_DOUBLE_EQ(mV, 20.0);

  // A canned read-back: threshold 3 (bits 8-15), phase 0x40; 3 x 2.5 = 7.5 mV -> 7.
  rig.sim.SetReadValue(1, 0x30C, 0x0340);
  api.calibration.thresholdStepMv = 2.5;
  EXPECT_EQ(api.ReadDecisionThresholdMv(1), 7);

  ps = mV = -1;
  rig.sim.ClearLog();
  EXPECT_EQ(api.ReadSamplingPoint(16, &ps, &mV), 0);
  EXPECT_EQ(api.ReadDecisionThresholdMv(16), 0);
  EXPECT_EQ(ps, -1);
  EXPECT_EQ(mV, -1);
  EXPECT_TRUE(rig.sim.Log().empty());
}

TEST(ReadSamplingPoint, StepModelsCount65AndThe7822HalvesItsStep) {
  struct Case {
    std::uint16_t model;
    std::vector<sim::RegisterValue> options;
    std::uint32_t ch;
    unsigned bank;
    std::uint32_t levelRecord;
    double mV;  // threshold 10 over the measured step 4 (halved on the 7822)
  } cases[] = {
      {7822, {}, 1, 1, 0x2348, 20.0},
      {7841, k7841Remapped, 1, 0, 0x2048, 40.0},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, c.options, 0, ++salt);
    rig.Connect();
    Tessok_API& api = rig.api();
    api.lineRate[c.bank] = 25.0;
    api.calibration.thresholdStepMeasured[c.bank] = 4.0;
    rig.sim.SetReadValue(c.bank, 0x30C, (10 << 8) | 32);
    double ps = 0, mV = 0;
    EXPECT_EQ(api.ReadSamplingPoint(c.ch, &ps, &mV), 1);
    EXPECT_EQ(test::LaneTrace(rig), (Trace{W(c.bank, 0x30C, 0), R(c.bank, 0x30C), RecordRead(c.levelRecord)}));
    EXPECT_DOUBLE_EQ(ps, 32.0 / 65 * 40) << c.model;
    EXPECT_DOUBLE_EQ(mV, c.mV) << c.model;
    APIDisconnect(0);
  }
}

TEST(LaneCorrections, GainFlagAndReadOuts) {
  Rig rig(7841, k7841Remapped);
  rig.Connect();
  Tessok_API& api = rig.api();
  CalibrationStore& cal = api.calibration;
  cal.laneGain[1] = 0.0;
  cal.laneFlag[0] = cal.laneFlag[1] = 7;

  api.SetLaneGainDb(2, 6.0);
  EXPECT_NEAR(cal.laneGain[2], 1.9952623149688795, 1e-12);  // 10^(6/20)
  api.SetLaneGainDb(1, 20.0);                               // lane 1 is kept at lane 0
  EXPECT_DOUBLE_EQ(cal.laneGain[0], 10.0);
  EXPECT_EQ(cal.laneGain[1], 0.0);
  api.SetLaneGainDb(16, 20.0);

  api.SetLaneFlag(1, 1);  // no fix-up
  EXPECT_EQ(cal.laneFlag[1], 1);
  EXPECT_EQ(cal.laneFlag[0], 7);
  api.SetLaneFlag(-1, 1);

  api.eyeCentre[3] = 12.5;
  EXPECT_EQ(api.GetEyeCentreResult(3), 12.5);
  EXPECT_EQ(api.GetEyeCentreResult(16), 0.0);

  api.horizontalFits[0].dj = 1.5;
  api.horizontalFits[0].rj = 0.25;
  api.verticalFits[2].dj = 30.0;
  api.verticalFits[2].rj = 2.0;
  double dj = 0, rj = 0;
  api.GetHorizontalDjRj(1, &dj, &rj);  // lane 1 reads lane 0's fit
  EXPECT_EQ(dj, 1.5);
  EXPECT_EQ(rj, 0.25);
  api.GetVerticalDjRj(2, &dj, &rj);
  EXPECT_EQ(dj, 30.0);
  EXPECT_EQ(rj, 2.0);
  dj = rj = -1;
  api.GetHorizontalDjRj(16, &dj, &rj);
  api.GetVerticalDjRj(-1, &dj, &rj);
  EXPECT_EQ(dj, -1);
  EXPECT_EQ(rj, -1);
  EXPECT_TRUE(rig.sim.Log().empty());
}
