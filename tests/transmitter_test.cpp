// Transmitter output settings: the output level on every model path and
// destination, swing, output enable, the calibrated level register, the
// board-level driver, and the eye-level, emphasis and tap setters with their
// ranges, records and banks.
//
// Status records are checked at their EEPROM addresses, 0x2000 + 8 (96 lane +
// item): item 9 of lanes 0 to 3 at 0x2048, 0x2348, 0x2648, 0x2948.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "LaneTrace.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::R;
using tessok::test::Recorded;
using tessok::test::Rig;
using tessok::test::Trace;
using tessok::test::W;

namespace {

// Level conversions set up at a lane so that the low-rate conversion gives
// 2 x level + 10 and the high-rate one 3 x level, in the form the model reads.
enum class Rows { Quartic, Quadratic, Swing };

void SetConversions(Tessok_API& api, int lane, Rows rows) {
  CalibrationStore& c = api.calibration;
  const double quarticLow[5] = {0, 0, 0, 2, 10}, quarticHigh[5] = {0, 0, 0, 3, 0};
  const double quadraticLow[5] = {0, 2, 10, 0, 0}, quadraticHigh[5] = {0, 3, 0, 0, 0};
  for (int i = 0; i < 5; ++i) {
    c.levelLowRate[lane][i] = rows == Rows::Quadratic ? quadraticLow[i] : quarticLow[i];
    c.levelHighRate[lane][i] = rows == Rows::Quadratic ? quadraticHigh[i] : quarticHigh[i];
  }
  // Swing entry 0 (the entry for swing code 0), quadratic: 2 x level + 10.
  c.levelBySwing[lane][0] = 0;
  c.levelBySwing[lane][1] = 2;
  c.levelBySwing[lane][2] = 10;
  c.levelBySwing[lane][3] = 0;
}

struct LevelCase {
  const char* name;
  std::uint16_t model;
  std::vector<sim::RegisterValue> options;
  int ch;
  double rate;
  double level;
  Rows rows;
  Trace sent;
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.name; }

// Codes worked by hand from the conversions above: level 100 gives 210 below
// the model's threshold rate and 300 from it.
// clang-format off
const LevelCase kLevelCases[] = {
    {"Generic7652LowRate", 7652, {}, 2, 10.0, 100, Rows::Quartic,
     {Recorded(0x2648), R(0, 14), W(2, 0x20E, 210)}},
    {"Generic7652HighRateFrom20", 7652, {}, 2, 20.0, 100, Rows::Quartic,
     {Recorded(0x2648), R(0, 14), W(2, 0x20E, 300)}},
    {"Generic7652NegativeCodeIsZero", 7652, {}, 2, 10.0, -20, Rows::Quartic,
     {Recorded(0x2648), R(0, 14), W(2, 0x20E, 0)}},
    // 3 x 40000 = 120000 does not fit 16 bits: held at 0xFFFF, not wrapped.
    {"Generic7652CodeHeldAt16Bits", 7652, {}, 2, 25.0, 40000, Rows::Quartic,
     {Recorded(0x2648), R(0, 14), W(2, 0x20E, 0xFFFF)}},
    {"Raw7746", 7746, {}, 1, 10.0, 123.9, Rows::Quartic,
     {Recorded(0x2348), W(1, 0x20E, 123)}},
    {"Raw7746NegativeAsTwosComplement", 7746, {}, 1, 10.0, -5.5, Rows::Quartic,
     {Recorded(0x2348), W(1, 0x20E, 65531)}},
    {"Raw7769", 7769, {}, 0, 10.0, 42, Rows::Quartic,
     {Recorded(0x2048), W(0, 0x20E, 42)}},
    {"Raw7668Option31Is11", 7668, {{31, 11}}, 0, 10.0, 7, Rows::Swing,
     {Recorded(0x2048), W(0, 0x20E, 7)}},
    {"Swing7668Converted", 7668, {}, 0, 10.0, 100, Rows::Swing,
     {Recorded(0x2048), R(0, 14), W(0, 0x20E, 210)}},
    // Register 14 reading 3 selects the cubic swing entry 0: 2 x^2 + 10 x at 100.
    {"Swing7621PassesRegister14", 7621, {{14, 3}}, 0, 10.0, 100, Rows::Swing,
     {Recorded(0x2048), R(0, 14), W(0, 0x20E, 21000)}},
    {"Truncated7828", 7828, {}, 5, 10.0, 77.9, Rows::Quartic,
     {Recorded(0x2F48), W(5, 0x20E, 77)}},
    {"Truncated7758NegativeIsZero", 7758, {}, 1, 10.0, -3, Rows::Quartic,
     {Recorded(0x2348), W(1, 0x20E, 0)}},
    {"Remapped7775Channel3Enables", 7775, {{33, 11}}, 3, 10.0, 100, Rows::Quartic,
     {Recorded(0x2948), W(2, 0x408, 1), W(2, 0x400, 210)}},
    {"Remapped7775Channel2", 7775, {{33, 11}}, 2, 10.0, 100, Rows::Quartic,
     {Recorded(0x2648), W(2, 0x20E, 210)}},
    {"Plain7775Channel3Enables", 7775, {}, 3, 10.0, 100, Rows::Quartic,
     {Recorded(0x2948), W(3, 0x408, 1), W(3, 0x400, 210)}},
    {"Model7775HighRateFrom18.6", 7775, {}, 0, 18.6, 100, Rows::Quartic,
     {Recorded(0x2048), W(0, 0x20E, 300)}},
    // Option code B 2: the conversion result 2 x 35 + 10 = 80 reaches chip register 9 as 63.
    {"Chip7822OptionB2CapsAt63", 7822, {{30, 0}}, 1, 10.0, 35, Rows::Quadratic,
     {Recorded(0x2348), W(1, 0x21F, 9), W(1, 0x220, 63)}},
    {"Chip7822OptionB3NegativeIsZero", 7822, {{30, 0}, {31, 0xAA}}, 1, 10.0, -20, Rows::Quadratic,
     {Recorded(0x2348), W(1, 0x21F, 9), W(1, 0x220, 0)}},
    {"Chip7822OptionB2HighRateFrom15", 7822, {{30, 0}}, 1, 15.0, 20, Rows::Quadratic,
     {Recorded(0x2348), W(1, 0x21F, 9), W(1, 0x220, 60)}},
    {"Model7822OptionB0", 7822, {}, 1, 10.0, 100, Rows::Quadratic,
     {Recorded(0x2348), W(1, 0x20E, 210)}},
    {"Model7822OptionB1Enables", 7822, {{32, 0xAA}}, 1, 14.9, 100, Rows::Quartic,
     {Recorded(0x2348), W(1, 0x408, 1), W(1, 0x400, 210)}},
    {"Model7792OptionA2", 7792, {{30, 1}}, 1, 10.0, 100, Rows::Quartic,
     {Recorded(0x2348), R(0, 14), W(1, 0x20E, 210)}},
    // Option code A 0: the integer part of the level, 100 & 0x3F = 36.
    {"Model7792ChipFromLevel", 7792, {}, 1, 10.0, 100.7, Rows::Quartic,
     {Recorded(0x2348), R(0, 14), W(1, 0x21F, 9), W(1, 0x220, 36)}},
    // The level path has no lane 1 fix-up.
    {"Quadratic7841Remapped", 7841, {{57, 0x40}}, 1, 10.0, 100, Rows::Quadratic,
     {Recorded(0x2348), R(0, 14), W(1, 0x20E, 210)}},
    // No listed path: the default conversion and the enable path; 3 x 2000 capped at 4095.
    {"Unlisted7726EnablesAndCaps", 7726, {}, 1, 25.0, 2000, Rows::Quartic,
     {Recorded(0x2348), R(0, 14), W(1, 0x408, 1), W(1, 0x400, 4095)}},
    {"Unlisted7726NegativeIsZero", 7726, {}, 1, 10.0, -20, Rows::Quartic,
     {Recorded(0x2348), R(0, 14), W(1, 0x408, 1), W(1, 0x400, 0)}},
};
// clang-format on

class OutputLevelPaths : public ::testing::TestWithParam<LevelCase> {};

// The status item's lane for these setters: channel L, item I at 0x2000 + 8 (96 L + I).
using Setter = std::function<std::uint8_t(int ch, int value)>;

struct SetterCase {
  const char* name;
  std::uint16_t model;
  std::vector<sim::RegisterValue> options;
  Setter set;
  int ch;
  int value;
  int mapTo;  // channelMap[ch] for the case, -1 for the plain map
  std::uint8_t result;
  Trace sent;
};

void PrintTo(const SetterCase& c, std::ostream* os) { *os << c.name; }

std::uint8_t Pre(int ch, int v) { return APIPreEmphasis(0, ch, v); }
std::uint8_t Post(int ch, int v) { return APIPostEmphasis(0, ch, v); }
std::uint8_t Main(int ch, int v) { return APIMainTap(0, ch, v); }
std::uint8_t Inner(int ch, int v) { return APIInnerEyeLevel(0, static_cast<std::uint32_t>(ch), v); }
std::uint8_t Outer(int ch, int v) { return APIOuterEyeLevel(0, static_cast<std::uint32_t>(ch), v); }
Setter Tap(int k) {
  using Export = std::uint8_t (*)(std::uint8_t, int, int);
  static constexpr Export kTaps[] = {APITap0, APITap1, APITap2, APITap3, APITap4, APITap5, APITap6};
  return [k](int ch, int v) { return kTaps[k](0, ch, v); };
}

// clang-format off
const SetterCase kSetterCases[] = {
    {"PreEmphasisTop", 7592, {}, Pre, 1, 100, -1, 1, {Recorded(0x2370), W(1, 0x20C, 100)}},
    {"PreEmphasisAbove100Refused", 7592, {}, Pre, 1, 101, -1, 0, {}},
    {"PreEmphasisBelow0Refused", 7652, {}, Pre, 1, -1, -1, 0, {}},
    {"PreEmphasisRaw7746", 7746, {}, Pre, 1, -500, -1, 1, {Recorded(0x2370), W(1, 0x20C, 65036)}},
    {"PreEmphasisRaw7746Beyond1000Refused", 7746, {}, Pre, 1, 1001, -1, 0, {}},
    {"PreEmphasisRaw7668Option31Is11", 7668, {{31, 11}}, Pre, 0, -1000, -1, 1,
     {Recorded(0x2070), W(0, 0x20C, 64536)}},
    {"PreEmphasisPlain7668Refused", 7668, {}, Pre, 0, -1, -1, 0, {}},
    {"PostEmphasisMapped", 7652, {}, Post, 1, 50, 5, 1, {Recorded(0x2F78), W(5, 0x20D, 50)}},
    {"PostEmphasis7775RemappedRecordsLane3", 7775, {{33, 11}}, Post, 3, 20, -1, 1,
     {Recorded(0x2978), W(2, 0x20D, 20)}},
    {"Tap0", 7652, {}, Tap(0), 1, 5, -1, 1, {Recorded(0x24B0), W(1, 0x22D, 5)}},
    {"Tap3Bottom", 7652, {}, Tap(3), 1, -1000, -1, 1, {Recorded(0x24C8), W(1, 0x230, 64536)}},
    {"Tap3Top", 7652, {}, Tap(3), 1, 1000, -1, 1, {Recorded(0x24C8), W(1, 0x230, 1000)}},
    {"Tap3Above1000Refused", 7652, {}, Tap(3), 1, 1001, -1, 0, {}},
    {"Tap3Below1000Refused", 7652, {}, Tap(3), 1, -1001, -1, 0, {}},
    {"Tap5RemappedRecordsLane3", 7775, {{33, 11}}, Tap(5), 3, 9, -1, 1, {Recorded(0x2AD8), W(2, 0x232, 9)}},
    {"Tap6", 7652, {}, Tap(6), 1, -2, -1, 1, {Recorded(0x24E0), W(1, 0x233, 65534)}},
    {"MainTapAnyValue", 7652, {}, Main, 1, -3000, -1, 1, {Recorded(0x2488), W(1, 0x228, 62536)}},
    {"MainTap7746", 7746, {}, Main, 1, 3, -1, 1, {Recorded(0x2488), W(1, 0x22A, 3)}},
    {"MainTap7775HasNoFixUp", 7775, {{33, 11}}, Main, 3, 3, -1, 1, {Recorded(0x2A88), W(3, 0x228, 3)}},
    {"MainTapMapped", 7652, {}, Main, 1, 3, 5, 1, {Recorded(0x3088), W(5, 0x228, 3)}},
    {"InnerEyeLevelIsNotMapped", 7652, {}, Inner, 2, -7, 5, 1, {Recorded(0x26F8), W(2, 0x202, 65529)}},
    {"OuterEyeLevel", 7652, {}, Outer, 2, 70000, -1, 1, {Recorded(0x2790), W(2, 0x22A, 4464)}},
    {"OuterEyeLevel7746", 7746, {}, Outer, 2, 7, -1, 1, {Recorded(0x2790), W(2, 0x22B, 7)}},
    {"PreEmphasisChannel16Refused", 7652, {}, Pre, 16, 1, -1, 0, {}},
    {"TapChannelMinus1Refused", 7652, {}, Tap(1), -1, 1, -1, 0, {}},
    {"InnerEyeLevelChannel16Refused", 7652, {}, Inner, 16, 1, -1, 0, {}},
    {"MainTapMappedOutsideTheLanesRefused", 7652, {}, Main, 1, 3, 16, 0, {}},
};
// clang-format on

class LaneSetters : public ::testing::TestWithParam<SetterCase> {};

// Address of the first record in a trace ("write 0x...").
std::uint32_t FirstRecordAddress(const Trace& t) {
  for (const std::string& s : t) {
    if (s.rfind("write 0x", 0) == 0) return static_cast<std::uint32_t>(std::stoul(s.substr(6), nullptr, 16));
  }
  return 0;
}

}  // namespace

TEST_P(OutputLevelPaths, RecordsThenWritesItsDestination) {
  const LevelCase& c = GetParam();
  Rig rig(c.model, c.options);
  rig.Connect();
  Tessok_API& api = rig.api();
  api.lineRate[c.ch] = c.rate;
  SetConversions(api, c.ch, c.rows);
  EXPECT_EQ(APIOutputLevel(0, c.ch, c.level), 1);
  EXPECT_EQ(test::LaneTrace(rig), c.sent);
  EXPECT_EQ(rig.sim.EepromDouble(FirstRecordAddress(c.sent)), c.level);  // the level as requested
}

INSTANTIATE_TEST_SUITE_P(Models, OutputLevelPaths, ::testing::ValuesIn(kLevelCases), [](const auto& p) {
  std::string n = p.param.name;
  for (char& ch : n)
    if (ch == '.') ch = '_';
  return n;
});

TEST(OutputLevel, ChannelsOutsideTheLanesAreRefused) {
  Rig rig;
  rig.Connect();
  rig.api().channelMap[1] = 16;  // a map entry outside the lanes as well
  for (int ch : {16, -1, 1000, 1}) EXPECT_EQ(APIOutputLevel(0, ch, 100), 0) << ch;
  EXPECT_EQ(rig.api().SetOutputSwing(16, 1), 0);
  EXPECT_EQ(rig.api().SetOutputLevelCalibrated(-1, 1), 0);
  EXPECT_EQ(rig.api().SetOutputEnable(16, 1), 0);
  EXPECT_TRUE(rig.sim.Log().empty());
}

TEST(OutputSwing, SwingCodeIsKeptAndChoosesTheSwingEntry) {
  Rig rig(7621);
  rig.Connect();
  Tessok_API& api = rig.api();
  api.lineRate[1] = 10.0;
  SetConversions(api, 1, Rows::Swing);
  // Swing code 100 is swing index 1: low-rate entry 2 at elements 10 to 12, here 5 x level.
  api.calibration.levelBySwing[1][10] = 0;
  api.calibration.levelBySwing[1][11] = 5;
  api.calibration.levelBySwing[1][12] = 0;

  EXPECT_EQ(api.OutputLevel(1, 100), 1);  // swing code 0 before any swing: entry 0
  EXPECT_EQ(rig.sim.WritesTo(1, 0x20E), (std::vector<std::uint16_t>{210}));

  rig.sim.ClearLog();
  EXPECT_EQ(api.SetOutputSwing(1, 1.0), 1);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{Recorded(0x2420), W(1, 0x228, 100)}));  // item 36 of lane 1
  EXPECT_EQ(rig.sim.EepromDouble(0x2420), 1.0);
  EXPECT_EQ(api.levelCode[1], 100u);
  EXPECT_EQ(api.OutputLevel(1, 100), 1);
  EXPECT_EQ(rig.sim.WritesTo(1, 0x20E), (std::vector<std::uint16_t>{210, 500}));

  EXPECT_EQ(api.SetOutputSwing(1, 3.9), 1);  // truncated to 3: (3 + 1) x 50
  EXPECT_EQ(api.levelCode[1], 200u);
  EXPECT_EQ(rig.sim.EepromDouble(0x2420), 3.9);
}

TEST(OutputSwing, OtherModelsRecordAndReportZero) {
  Rig rig(7652);
  rig.Connect();
  EXPECT_EQ(rig.api().SetOutputSwing(1, 2.0), 0);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{Recorded(0x2420)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2420), 2.0);
  EXPECT_EQ(rig.api().levelCode[1], 0u);
}

TEST(OutputEnable, WritesOneOrZeroAfterTheLane3FixUp) {
  Rig rig(7775, {{33, 11}});
  rig.Connect();
  EXPECT_EQ(rig.api().SetOutputEnable(3, 1), 1);
  EXPECT_EQ(rig.api().SetOutputEnable(1, 2), 1);
  EXPECT_EQ(rig.api().SetOutputEnable(0, 0), 1);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{W(2, 0x408, 1), W(1, 0x408, 0), W(0, 0x408, 0)}));
}

TEST(OutputLevelCalibrated, WritesTheCappedCodeAtTheChannelAsBank) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.channelMap[2] = 5;  // not consulted
  SetConversions(api, 2, Rows::Quartic);
  api.lineRate[2] = 10.0;
  EXPECT_EQ(api.SetOutputLevelCalibrated(2, 100), 1);  // 2 x 100 + 10
  EXPECT_EQ(api.SetOutputLevelCalibrated(2, -20), 1);  // -30 becomes 0
  api.lineRate[2] = 18.6;
  EXPECT_EQ(api.SetOutputLevelCalibrated(2, 2000), 1);  // 6000 capped
  EXPECT_EQ(test::LaneTrace(rig), (Trace{W(2, 0x221, 210), W(2, 0x221, 0), W(2, 0x221, 4095)}));
}

TEST(BoardOutputLevel, RecordsBetweenItsWritesAndSendsTheCodeUnclamped) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  SetConversions(api, 1, Rows::Quartic);
  api.lineRate[1] = 10.0;
  EXPECT_EQ(api.SetBoardOutputLevel(100.7, -1.5, 7.9), 1);  // 2 x 100.7 + 10 = 211.4
  EXPECT_EQ(test::LaneTrace(rig),
            (Trace{W(1, 0x20E, 50), Recorded(0x2348), W(0, 56, 211), W(0, 54, 0xFFFF), W(0, 55, 7), Recorded(0x2048)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2348), 100.7);
  EXPECT_EQ(rig.sim.EepromDouble(0x2048), 100.0);

  rig.sim.ClearLog();
  api.lineRate[1] = 18.6;
  EXPECT_EQ(api.SetBoardOutputLevel(-20, 0, 0), 1);  // 3 x -20 = -60, as 16 bits
  EXPECT_EQ(rig.sim.WritesTo(0, 56), (std::vector<std::uint16_t>{211, 65476}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2048), 65516.0);  // -20 taken as u16
}

TEST(BoardOutputLevel, ReportsSuccessWhenAnyDriverWriteSucceeded) {
  // Requests of the call: 0 the bank-1 write, 1-16 the lane-1 record, 17-19
  // the driver writes (56, 54, 55), 20-35 the lane-0 record.
  Rig rig;
  rig.Connect();
  SetConversions(rig.api(), 1, Rows::Quartic);
  test::TransferFaults faults;
  rig.sim.ClearLog();
  faults.FailSend(19);  // register 55 is not sent, and the connection ends there
  EXPECT_EQ(rig.api().SetBoardOutputLevel(10, 1, 2), 1);
  EXPECT_EQ(rig.sim.WritesTo(0, 54), (std::vector<std::uint16_t>{1}));
  EXPECT_TRUE(rig.sim.WritesTo(0, 55).empty());
  EXPECT_EQ(rig.sim.RequestCount(), 19u);

  // The instrument goes away at the first driver write: nothing after it gets through.
  faults.Clear();
  rig.Reconnect();
  SetConversions(rig.api(), 1, Rows::Quartic);
  rig.sim.CloseAtRequest(rig.sim.RequestsSinceStart() + 17);
  EXPECT_EQ(rig.api().SetBoardOutputLevel(10, 1, 2), 0);
}

TEST_P(LaneSetters, RangeRecordAndBank) {
  const SetterCase& c = GetParam();
  Rig rig(c.model, c.options);
  rig.Connect();
  if (c.mapTo >= 0) rig.api().channelMap[c.ch] = static_cast<std::uint32_t>(c.mapTo);
  EXPECT_EQ(c.set(c.ch, c.value), c.result);
  EXPECT_EQ(test::LaneTrace(rig), c.sent);
  if (!c.sent.empty()) {
    EXPECT_EQ(rig.sim.EepromDouble(FirstRecordAddress(c.sent)), c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(Setters, LaneSetters, ::testing::ValuesIn(kSetterCases),
                         [](const auto& p) { return std::string(p.param.name); });
