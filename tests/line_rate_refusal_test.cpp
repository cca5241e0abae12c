// Line rates that are not numbers: every operation that takes a line rate in
// Gb/s refuses NaN and both infinities before anything is sent, recorded or
// changed. The clock directory holds a file for every name such a rate would
// build ("nan.clk", "10_-inf.clk", ...), so a refusal shows the rate check and
// not a missing file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "RateRig.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::RateRig;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct BadRate {
  double rate;
  const char* text;  // as a clock file names it
};
constexpr BadRate kBadRates[] = {
    {std::numeric_limits<double>::quiet_NaN(), "nan"},
    {kInf, "inf"},
    {-kInf, "-inf"},
};

// The members a line-rate operation may change, with values no operation
// would leave, so any change shows.
struct RateState {
  double lineRate[16], phaseStep[16];
  std::uint32_t pam4Mode[16], lineRateMode[16];
  std::uint32_t highRateRange, lastResult, rateModeFlag;
  double thresholdStepMv;

  static RateState Seeded() {
    RateState s{};
    for (int i = 0; i < 16; ++i) {
      s.lineRate[i] = 1.5 + i;
      s.phaseStep[i] = 0.25 + i;
      s.pam4Mode[i] = 7;
      s.lineRateMode[i] = 9;
    }
    s.highRateRange = 5;
    s.lastResult = 3;
    s.rateModeFlag = 11;
    s.thresholdStepMv = 2.5;
    return s;
  }
  void ApplyTo(Tessok_API& api) const {
    for (int i = 0; i < 16; ++i) {
      api.lineRate[i] = lineRate[i];
      api.phaseStep[i] = phaseStep[i];
      api.pam4Mode[i] = pam4Mode[i];
      api.lineRateMode[i] = lineRateMode[i];
    }
    api.highRateRange = highRateRange;
    api.lastResult = lastResult;
    api.rateModeFlag = rateModeFlag;
    api.calibration.thresholdStepMv = thresholdStepMv;
  }
  static RateState Of(const Tessok_API& api) {
    RateState s{};
    for (int i = 0; i < 16; ++i) {
      s.lineRate[i] = api.lineRate[i];
      s.phaseStep[i] = api.phaseStep[i];
      s.pam4Mode[i] = api.pam4Mode[i];
      s.lineRateMode[i] = api.lineRateMode[i];
    }
    s.highRateRange = api.highRateRange;
    s.lastResult = api.lastResult;
    s.rateModeFlag = api.rateModeFlag;
    s.thresholdStepMv = api.calibration.thresholdStepMv;
    return s;
  }
};

// Field by field, so a failure names the member; NaN never appears (the seeds
// are finite and a refused call writes none).
void ExpectSame(const RateState& got, const RateState& want, const std::string& what) {
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(got.lineRate[i], want.lineRate[i]) << what << " lineRate " << i;
    EXPECT_EQ(got.phaseStep[i], want.phaseStep[i]) << what << " phaseStep " << i;
    EXPECT_EQ(got.pam4Mode[i], want.pam4Mode[i]) << what << " pam4Mode " << i;
    EXPECT_EQ(got.lineRateMode[i], want.lineRateMode[i]) << what << " lineRateMode " << i;
  }
  EXPECT_EQ(got.highRateRange, want.highRateRange) << what << " highRateRange";
  EXPECT_EQ(got.lastResult, want.lastResult) << what << " lastResult";
  EXPECT_EQ(got.rateModeFlag, want.rateModeFlag) << what << " rateModeFlag";
  EXPECT_EQ(got.thresholdStepMv, want.thresholdStepMv) << what << " thresholdStepMv";
}

// Runs one operation with the bad rate in the place the row puts it; the
// result as the operation gives it (0 for the one without a result).
using RateCall = std::function<std::uint32_t(Tessok_API&, double)>;

}  // namespace

TEST(LineRateRefusal, EveryLineRateOperationRefusesARateThatIsNotAFiniteNumber) {
  struct Row {
    const char* name;
    std::uint16_t model;
    std::vector<sim::RegisterValue> regs;
    RateCall run;
  };
  const Row rows[] = {
      // The exported operation, through its export (instance 0 is the rig's).
      {"Exported7668B",
       7668,
       {},
       [](Tessok_API&, double r) { return std::uint32_t{APILineRateConfiguration_7668B(0, r, 1, 1, 1, 1, 1, 0, 1)}; }},
      {"General", 7652, {}, [](Tessok_API& a, double r) { return a.LineRateConfiguration(r, 0); }},
      {"GeneralModeLineFile", 7780, {}, [](Tessok_API& a, double r) { return a.LineRateConfiguration(r, 1); }},
      {"PresetFourLane", 7652, {}, [](Tessok_API& a, double r) { return a.LineRateConfigurationPreset(r, 0); }},
      {"PresetEightLane",  // 7653 of sub-type 1
       7653,
       {{31, 1}, {32, 1}},
       [](Tessok_API& a, double r) { return a.LineRateConfigurationPreset(r, 0); }},
      {"Options",
       7652,
       {},
       [](Tessok_API& a, double r) { return a.LineRateConfigurationOptions(r, 0, 1, 1, 1, 1, 3); }},
      {"Pam4",
       7652,
       {},
       [](Tessok_API& a, double r) { return a.LineRateConfigurationPam4(r, 1, 1, 1, 1, 0, 1, 1, 1); }},
      {"Pam4B",
       7652,
       {},
       [](Tessok_API& a, double r) { return a.LineRateConfigurationPam4B(r, 1, 1, 1, 1, 0, 0, 2, 1, 1, 1); }},
      {"Pam4C",
       7746,
       {{34, 1}},  // the eight-channel form, which writes both halves
       [](Tessok_API& a, double r) { return a.LineRateConfigurationPam4C(r, 1, 1, 1, 1, 1, 0, 2, 1, 0, 1); }},
      {"Basic", 7652, {}, [](Tessok_API& a, double r) { return a.LineRateConfigurationBasic(r); }},
      {"Synth", 7652, {}, [](Tessok_API& a, double r) { return a.LineRateConfigurationSynth(r, 100); }},
      {"SynthNominal", 7652, {}, [](Tessok_API& a, double r) { return a.LineRateConfigurationSynthNominal(r); }},
      {"DualFirst", 7652, {}, [](Tessok_API& a, double r) { return a.LineRateConfigurationDual(r, 10.0); }},
      {"DualSecond", 7652, {}, [](Tessok_API& a, double r) { return a.LineRateConfigurationDual(10.0, r); }},
      {"PerBank", 7775, {}, [](Tessok_API& a, double r) { return a.LineRateConfigurationPerBank(r, 1); }},
      {"Dsp4Ch", 7841, {}, [](Tessok_API& a, double r) { return a.LineRateConfigurationDsp4Ch(r, 0); }},
      {"DspPairFirst",
       7652,
       {},
       [](Tessok_API& a, double r) { return a.LineRateConfigurationDspPair(0, r, 10.0, 1, 0); }},
      {"DspPairSecond",
       7652,
       {},
       [](Tessok_API& a, double r) { return a.LineRateConfigurationDspPair(1, 10.0, r, 0, 0); }},
      {"DspPairDivider",
       7652,
       {},
       [](Tessok_API& a, double r) { return a.LineRateConfigurationDspPair(0, r, 0.0, 2, 0); }},
      {"PairFirst", 7652, {}, [](Tessok_API& a, double r) { return a.LineRateConfigurationPair(0, r, 10.0, 0, 1, 2); }},
      {"PairSecond",
       7652,
       {},
       [](Tessok_API& a, double r) { return a.LineRateConfigurationPair(1, 10.0, r, 1, 1, 2); }},
      {"GeneratedPlan",
       7841,
       {},
       [](Tessok_API& a, double r) {
         double f1 = 50.0, ref = 0.0, f3 = 100.0, f4 = 156.25;
         const std::uint32_t result = a.ConfigureLineRate(r, 0, &f1, &ref, &f3, &f4);
         EXPECT_EQ(ref, 0.0);  // the request is not banded either
         return result;
       }},
      {"GroupRate",
       7652,
       {},
       [](Tessok_API& a, double r) {
         a.SetGroupLineRate(r, 1);
         return std::uint32_t{0};
       }},
  };
  const RateState seeded = RateState::Seeded();
  unsigned salt = 0;
  for (const Row& row : rows) {
    RateRig r(row.model, row.regs, ++salt);
    for (const BadRate& bad : kBadRates) {
      const std::string t = bad.text;
      for (const std::string& name : {t, t + "_10", "10_" + t}) r.ClockFile(name + ".clk", "0\n5,6\n");
    }
    const std::vector<std::string> files = r.scratch.Entries();
    for (const BadRate& bad : kBadRates) {
      const std::string what = std::string(row.name) + " at " + bad.text;
      seeded.ApplyTo(r.api());
      r.Restart();
      EXPECT_EQ(row.run(r.api(), bad.rate), 0u) << what;
      EXPECT_EQ(r.rig.sim.RequestCount(), 0u) << what;
      EXPECT_TRUE(r.rig.sleeps.Waits().empty()) << what;
      EXPECT_EQ(r.scratch.Entries(), files) << what;  // no clock file written
      ExpectSame(RateState::Of(r.api()), seeded, what);
    }
  }
}
