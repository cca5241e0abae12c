// Level calibration tables in the EEPROM: where each family saves, what the
// read-back hands to the application, what a reset makes of the store, and the
// conversion wrappers and lookup tables.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "EepromTrace.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::EepromTrace;
using tessok::test::Rig;
using Trace = std::vector<std::string>;

namespace {

struct SaveCase {
  const char* name;
  std::uint16_t model;
  std::vector<sim::RegisterValue> registers;
  int channel, kind;
  std::uint32_t address;  // worked out by hand from the EEPROM map
  int doubles;
};

const SaveCase kSaves[] = {
    {"GenericLane2Kind1", 7652, {}, 2, 1, 4392, 5},
    {"GenericLane2Kind2", 7652, {}, 2, 2, 4432, 5},
    {"Alt7746EightChannelsLane5Kind2", 7746, {{34, 1}}, 5, 2, 29584, 6},
    {"Alt7746FourChannelsLane1Kind0", 7746, {}, 1, 0, 768 + 1792 + 48, 6},
    {"Alt7Model7766Lane0Kind1", 7766, {}, 0, 1, 768 + 112, 7},
    {"SwingQuadratic7592Lane1Kind3", 7592, {}, 1, 3, 5536, 5},
    {"SwingCubic7837Lane2Kind7", 7837, {{14, 3}}, 2, 7, 20480 + 40 + 2560 + 336, 6},
    {"Swing7668Option5Lane0Kind0", 7668, {{31, 5}}, 0, 0, 20520, 5},
};

class SaveCalibration : public ::testing::TestWithParam<SaveCase> {};
void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

TEST_P(SaveCalibration, WritesTheKindAtItsAddress) {
  const SaveCase& c = GetParam();
  Rig rig(c.model, c.registers);
  rig.Connect();
  const double values[7] = {1.5, -2.25, 3.0, 4e-6, 5e5, 6.0, 7.0};
  EXPECT_TRUE(APISaveCalibrationValues(0, c.channel, c.kind, values));
  EXPECT_EQ(rig.api().lastResult, 1u);
  for (int i = 0; i < c.doubles; ++i) EXPECT_EQ(rig.sim.EepromDouble(c.address + 8u * i), values[i]) << i;
  EXPECT_EQ(rig.sim.EepromByte(c.address + 8u * c.doubles), 0xFF);  // nothing beyond the row
  Trace trace = EepromTrace(rig.sim.Log());
  Trace writes(trace.end() - c.doubles, trace.end());
  EXPECT_EQ(writes.front(), "write " + tessok::test::Hex(c.address));
  EXPECT_TRUE(rig.sleeps.Waits().empty());
}

INSTANTIATE_TEST_SUITE_P(Families, SaveCalibration, ::testing::ValuesIn(kSaves),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(SaveCalibrationRefused, UndefinedKindOrChannelSendsNothing) {
  struct Case {
    std::uint16_t model;
    int channel, kind;
  } cases[] = {{7652, 0, 0}, {7652, 0, 3}, {7652, 4, 1}, {7652, -1, 1}, {7652, 16, 1},
               {7746, 0, 3}, {7766, 0, 2}, {7592, 0, 8}, {7592, 2, 0}, {7769, 0, -1}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, 0, ++salt);
    rig.Connect();
    rig.api().lastResult = 1;  // an earlier success must not be reported again
    const double values[7] = {};
    EXPECT_FALSE(APISaveCalibrationValues(0, c.channel, c.kind, values)) << c.model << " " << c.channel << " " << c.kind;
    EXPECT_EQ(rig.sim.Log().size(), 0u);
    APIDisconnect(0);
  }
}

TEST(ReadCalibration, GenericModelReloadsThenReturnsTenPerLane) {
  Rig rig(7652);
  rig.Connect();
  for (int l = 0; l < 4; ++l) {
    for (int e = 0; e < 10; ++e) rig.sim.SeedDouble(768 + 1792u * l + 40 + 8u * e, 100.0 * l + e);
  }
  std::vector<double> out(64, -1.0);
  EXPECT_EQ(APIReadCalibrationValues(0, out.data()), 1);
  for (int l = 0; l < 4; ++l) {
    for (int e = 0; e < 10; ++e) EXPECT_EQ(out[10 * l + e], 100.0 * l + e);
  }
  EXPECT_EQ(out[40], -1.0);
}

TEST(ReadCalibration, Model7780OptionCode1ServesLanesFourToSeven) {
  Rig rig(7780, {{32, 0xAA}});
  for (int l = 4; l < 8; ++l) rig.sim.SeedDouble(768 + 1792u * l + 40, static_cast<double>(l));
  rig.Connect();
  EXPECT_EQ(rig.api().calibration.levelLowRate[4][0], 4.0);
  EXPECT_EQ(rig.api().calibration.levelLowRate[7][0], 7.0);
  std::vector<double> out(40, 0.0);
  APIReadCalibrationValues(0, out.data());
  EXPECT_EQ(out[0], 4.0);
  EXPECT_EQ(out[30], 7.0);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"page 0x1F28", "page 0x2628", "page 0x2D28", "page 0x3428"}));
}

TEST(ReadCalibration, AltAndAlt7Layouts) {
  {
    Rig rig(7769, 0, 1);
    // Lane 0: low-rate row at 768 + 48, high-rate rows at 768 + 96 (12 doubles).
    for (int e = 0; e < 6; ++e) rig.sim.SeedDouble(816 + 8u * e, 1.0 + e);
    for (int e = 0; e < 12; ++e) rig.sim.SeedDouble(864 + 8u * e, 10.0 + e);
    rig.Connect();
    std::vector<double> out(18 * 16, 0.0);
    APIReadCalibrationValues(0, out.data());
    for (int e = 0; e < 6; ++e) EXPECT_EQ(out[e], 1.0 + e);
    for (int e = 0; e < 12; ++e) EXPECT_EQ(out[6 + e], 10.0 + e);
    APIDisconnect(0);
  }
  {
    Rig rig(7668, {{31, 11}}, 0, 2);
    for (int e = 0; e < 7; ++e) rig.sim.SeedDouble(768 + 56 + 8u * e, 1.0 + e);
    for (int e = 0; e < 7; ++e) rig.sim.SeedDouble(768 + 112 + 8u * e, 20.0 + e);
    rig.Connect();
    std::vector<double> out(14 * 8, 0.0);
    APIReadCalibrationValues(0, out.data());
    for (int e = 0; e < 7; ++e) {
      EXPECT_EQ(out[e], 1.0 + e);
      EXPECT_EQ(out[7 + e], 20.0 + e);
    }
  }
}

TEST(ReadCalibration, SwingFamilyCopiesTheStoreWithoutReloading) {
  Rig rig(7668, {{31, 5}});
  rig.Connect();
  for (int l = 0; l < 8; ++l) {
    for (int e = 0; e < 40; ++e) rig.api().calibration.levelBySwing[l][e] = l * 100.0 + e;
  }
  std::vector<double> out(8 * 40, 0.0);
  EXPECT_EQ(APIReadCalibrationValues(0, out.data()), 1);
  EXPECT_EQ(out[39], 39.0);
  EXPECT_EQ(out[40], 100.0);
  EXPECT_EQ(out[319], 739.0);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), Trace{"R 0:14"});
}

TEST(DefaultCalibration, GenericResetPassesLevelsThrough) {
  Rig rig(7652);
  rig.Connect();
  APILoadDefaultCalibration(0);
  const CalibrationStore& c = rig.api().calibration;
  EXPECT_EQ(c.ComputeLevelCodeLowRate(7652, 0, 0, 50, 1, 1234.9, 0), 1234);
  EXPECT_EQ(c.ComputeLevelCodeHighRate(7652, 0, 0, 0, 50, 3, 800.0, 0), 800);
  EXPECT_EQ(c.levelLowRateAlt[2][3], 0.0);
  EXPECT_EQ(rig.sim.Log().size(), 0u);
}

TEST(DefaultCalibration, Model7822PassesLevelsThroughForEveryOptionCode) {
  for (std::uint32_t optionB = 0; optionB < 4; ++optionB) {
    Tessok_API& api = g_apiInstances[3];
    api.boardModel = 7822;
    api.optionCodeB = optionB;
    api.RefreshBoardTraits();
    for (double& v : api.calibration.levelHighRate[5]) v = 7.0;
    EXPECT_EQ(api.LoadDefaultCalibration(), 1);
    EXPECT_EQ(api.calibration.ComputeLevelCodeHighRate(7822, 0, optionB, 0, 50, 5, 321.7, 0), 321) << optionB;
    EXPECT_EQ(api.calibration.ComputeLevelCodeLowRate(7822, 0, optionB, 50, 5, 99.2, 0), 99) << optionB;
    EXPECT_EQ(api.calibration.quarticA[5][3], 1.0);
  }
}

TEST(DefaultCalibration, SwingFamilyIdentityPerForm) {
  {
    Rig rig(7621, {{14, 3}}, 0, 1);
    rig.Connect();
    APILoadDefaultCalibration(0);
    const CalibrationStore& c = rig.api().calibration;
    for (int k = 0; k < 8; ++k) EXPECT_EQ(c.levelBySwing[3][6 * k + 2], 1.0);
    EXPECT_EQ(c.ComputeLevelCodeHighRate(7621, 0, 0, 1, 100, 3, 456.0, 3), 456);
    APIDisconnect(0);
  }
  {
    Rig rig(7592, 0, 2);
    rig.Connect();
    APILoadDefaultCalibration(0);
    const CalibrationStore& c = rig.api().calibration;
    for (int k = 0; k < 8; ++k) EXPECT_EQ(c.levelBySwing[1][5 * k + 1], 1.0);
    EXPECT_EQ(c.levelBySwing[1][5 * 7 + 2], 0.0);
    EXPECT_EQ(c.ComputeLevelCodeLowRate(7592, 0, 0, 150, 1, 222.0, 0), 222);
  }
}

TEST(DefaultCalibration, Model7746IsLeftAlone) {
  Tessok_API& api = g_apiInstances[4];
  api.boardModel = 7746;
  api.channelCount = 4;
  api.RefreshBoardTraits();
  api.calibration.levelLowRateAlt[0][0] = 5.0;
  api.calibration.quarticA[0][0] = 6.0;
  api.LoadDefaultCalibration();
  EXPECT_EQ(api.calibration.levelLowRateAlt[0][0], 5.0);
  EXPECT_EQ(api.calibration.quarticA[0][0], 6.0);
}

TEST(LevelWrappers, DelayConversionReadsTheOptionFlagsAgain) {
  Rig rig(7792);
  rig.sim.SeedDouble(0x2008, 10.0);
  rig.Connect();
  rig.sim.SetReg(0, 30, 0);
  rig.sim.SetReg(0, 31, 0xAA);
  CalibrationStore& c = rig.api().calibration;
  for (auto& set : c.delayPoly) for (double& v : set) v = 0.0;
  c.delayPoly[2 + 8][4] = 1.0;  // 7792 with the option fitted: the code set raised by 8, slope 1
  // toCode: P(x x UI) with UI = 100 ps at 10 Gb/s
  EXPECT_EQ(rig.api().ComputeLaneDelayConversion(0, 1, 0.5), 50.0);
  EXPECT_EQ(rig.api().optionCodeA, 1u);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"R 0:30", "R 0:31"}));
  EXPECT_EQ(rig.api().ComputeLaneDelayConversion(16, 1, 0.5), 0.0);
}

TEST(LevelWrappers, CodeAndValueTablesPassIntegersThrough) {
  Tessok_API& api = g_apiInstances[6];
  api.calibration.codeFromValueA[1][0][0] = 0.0;
  api.calibration.codeFromValueA[1][0][1] = 0.0;
  api.calibration.codeFromValueA[1][0][2] = 1.0;
  api.calibration.codeFromValueA[1][0][3] = 0.0;
  EXPECT_EQ(api.ComputeCodeFromValueA(1, 40, 1.0), 20.0);  // P(value x 0.5)
  EXPECT_EQ(api.ComputeCodeFromValueA(1, 40, 0.5), 0.0);   // selector below the table
  EXPECT_EQ(api.ComputeCodeFromValueA(99, 40, 1.0), 0.0);  // lane outside the table
}

TEST(LookupTables, SeventyTwoWritesInBankOrder) {
  Rig rig;
  rig.Connect();
  std::uint32_t values[36];
  for (std::uint32_t i = 0; i < 36; ++i) values[i] = 0x10000u + 100u * i;
  EXPECT_EQ(rig.api().WriteLookupTables(values), 1);
  auto a = rig.Accesses();
  ASSERT_EQ(a.size(), 72u);
  EXPECT_EQ(a[0], tessok::test::Wr(0, 0x222, 0));
  EXPECT_EQ(a[1], tessok::test::Wr(0, 0x223, 0));
  EXPECT_EQ(a[25], tessok::test::Wr(1, 0x223, 1200));
  EXPECT_EQ(a[71], tessok::test::Wr(2, 0x223, 3500));
}
