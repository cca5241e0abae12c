// What a connection reads from the EEPROM, per model family: the level
// calibration pages at their addresses, then each channel's recorded line rate.
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

struct SequenceCase {
  const char* name;
  std::uint16_t model;
  std::vector<sim::RegisterValue> registers;
  Trace expected;  // block addresses worked out by hand from the EEPROM map
};

Trace Concat(std::initializer_list<Trace> parts) {
  Trace out;
  for (const Trace& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Trace kStatus4 = {"read 0x2008", "read 0x2308", "read 0x2608", "read 0x2908"};

const SequenceCase kCases[] = {
    {"Generic7652", 7652, {},
     Concat({{"R 0:20", "page 0x328", "page 0xA28", "page 0x1128", "page 0x1828"}, kStatus4})},
    {"SwingQuadratic7592", 7592, {},
     {"R 0:20", "R 0:14", "page 0x1028", "page 0x10A0", "page 0x1118", "page 0x1528", "page 0x15A0", "page 0x1618",
      "read 0x2008", "read 0x2308"}},
    {"SwingCubic7621", 7621, {{14, 3}},
     Concat({{"R 0:20", "R 0:14", "page 0x5028", "page 0x50A0", "page 0x5118", "page 0x5190", "page 0x5528",
              "page 0x55A0", "page 0x5618", "page 0x5690", "page 0x5A28", "page 0x5AA0", "page 0x5B18", "page 0x5B90",
              "page 0x5F28", "page 0x5FA0", "page 0x6018", "page 0x6090"},
             kStatus4})},
    {"Alt7746EightChannels", 7746, {{34, 1}},
     {"R 0:20", "R 0:34", "page 0x330", "page 0x360", "page 0xA30", "page 0xA60", "page 0x1130", "page 0x1160",
      "page 0x1830", "page 0x1860", "page 0x6C30", "page 0x6C60", "page 0x7330", "page 0x7360", "page 0x7A30",
      "page 0x7A60", "page 0x8130", "page 0x8160", "read 0x2008", "read 0x2308", "read 0x2608", "read 0x2908",
      "read 0x4C08", "read 0x4F08", "read 0x5208", "read 0x5508"}},
    {"Alt7Model7668Option11", 7668, {{31, 11}},
     {"R 0:20", "R 0:31", "page 0x338", "page 0x370", "page 0xA38", "page 0xA70", "page 0x1138", "page 0x1170",
      "page 0x1838", "page 0x1870", "page 0x6C38", "page 0x6C70", "page 0x7338", "page 0x7370", "page 0x7A38",
      "page 0x7A70", "page 0x8138", "page 0x8170", "read 0x2008", "read 0x2308", "read 0x2608", "read 0x2908",
      "read 0x2C08", "read 0x2F08", "read 0x3208", "read 0x3508"}},
    {"Model7780OptionCode1", 7780, {{32, 0xAA}},
     {"R 0:20", "R 0:31", "R 0:32", "page 0x1F28", "page 0x2628", "page 0x2D28", "page 0x3428", "read 0x4008",
      "read 0x4308", "read 0x4608", "read 0x4908"}},
    {"Model7828OneLineRate", 7828, {},
     Concat({{"R 0:20", "page 0x5028", "page 0x5728", "page 0x5E28", "page 0x6528", "page 0x6C28", "page 0x7328",
              "page 0x7A28", "page 0x8128", "page 0x8828", "page 0x8F28", "page 0x9628", "page 0x9D28", "page 0xA428",
              "page 0xAB28", "page 0xB228", "page 0xB928"},
             Trace(16, "read 0x2008")})},
};

class ConnectionSequence : public ::testing::TestWithParam<SequenceCase> {};

void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

TEST_P(ConnectionSequence, PagesThenLineRates) {
  const SequenceCase& c = GetParam();
  Rig rig(c.model);
  for (const sim::RegisterValue& r : c.registers) rig.sim.SetReg(0, r.reg, r.value);
  ASSERT_EQ(APIConnect(0, rig.sim.Address().c_str()), 1);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), c.expected);
  // Every byte of every line-rate item is followed by a 10 ms pause.
  const std::size_t items = static_cast<std::size_t>(rig.api().channelCount);
  EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>(8 * items, 10));
}

INSTANTIATE_TEST_SUITE_P(Families, ConnectionSequence, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ConnectionSequenceValues, LevelTablesAndLineRatesComeFromTheEeprom) {
  Rig rig(7652);
  // Lane 1's generic block starts at 768 + 1792 = 2560: low-rate row at 2600, high-rate row at 2640.
  for (int e = 0; e < 5; ++e) {
    rig.sim.SeedDouble(2600 + 8 * e, 10.0 + e);
    rig.sim.SeedDouble(2640 + 8 * e, 20.0 + e);
  }
  rig.sim.SeedDouble(0x2308, 25.78125);  // lane 1, item 1
  rig.sim.SeedDouble(0x2008, 0.0);       // lane 0 recorded 0 Gb/s
  rig.Connect();
  const Tessok_API& api = rig.api();
  for (int e = 0; e < 5; ++e) {
    EXPECT_EQ(api.calibration.levelLowRate[1][e], 10.0 + e);
    EXPECT_EQ(api.calibration.levelHighRate[1][e], 20.0 + e);
  }
  EXPECT_EQ(api.lineRate[1], 25.78125);
  EXPECT_EQ(api.phaseStep[1], 1000.0 / (25.78125 * 129.0));
  EXPECT_TRUE(std::isinf(api.phaseStep[0]));   // a recorded rate of 0
  EXPECT_TRUE(std::isnan(api.lineRate[2]));    // erased EEPROM reads as NaN
  EXPECT_EQ(api.calibration.thresholdStepMv, 1.5);  // factory defaults written first
}

TEST(ConnectionSequenceValues, SixtyFourStepModelsHaveAFixedPhaseStep) {
  for (std::uint16_t model : {std::uint16_t{7792}, std::uint16_t{7822}, std::uint16_t{7841}}) {
    Rig rig(model, 0, model);
    rig.sim.SeedDouble(0x2008, 25.78125);
    rig.Connect();
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(rig.api().phaseStep[ch], 1.5625) << model;
    APIDisconnect(0);
  }
}
