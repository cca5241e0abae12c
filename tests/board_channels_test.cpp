// Channels and ports the connected board does not have, counters of an object
// with no channels, and levels that are not numbers: each is refused with
// nothing sent or recorded, and the channels a board has still reach their own
// bank.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "TestSupport.h"

using namespace tessok;
using tessok::test::Rig;

namespace {

// The bank a packet addresses: register accesses by their control word, a
// result-block request by its bank byte; -1 for any other packet.
int BankOf(const sim::Packet& p) {
  if (p.IsRegister()) return static_cast<int>(p.Bank());
  if (p.IsExtended() && p.SubCommand() == 0x02) return p.bytes[2];
  return -1;
}

bool ReachesBank(const Rig& rig, int bank) {
  for (const sim::Packet& p : rig.sim.Log()) {
    if (BankOf(p) == bank) return true;
  }
  return false;
}

// ---- Channels without a map entry ----

double g_x[160];
double g_counts[160];

struct MappedExport {
  const char* name;
  std::function<int(int ch)> call;
};

const std::vector<MappedExport>& MappedExports() {
  static const std::vector<MappedExport> exports = {
      {"APIOutputLevel", [](int ch) { return APIOutputLevel(0, ch, 400.0); }},
      {"APIPreEmphasis", [](int ch) { return APIPreEmphasis(0, ch, 10); }},
      {"APIPostEmphasis", [](int ch) { return APIPostEmphasis(0, ch, 10); }},
      {"APIMainTap", [](int ch) { return APIMainTap(0, ch, 10); }},
      {"APITap0", [](int ch) { return APITap0(0, ch, 10); }},
      {"APITap1", [](int ch) { return APITap1(0, ch, 10); }},
      {"APITap2", [](int ch) { return APITap2(0, ch, 10); }},
      {"APITap3", [](int ch) { return APITap3(0, ch, 10); }},
      {"APITap4", [](int ch) { return APITap4(0, ch, 10); }},
      {"APITap5", [](int ch) { return APITap5(0, ch, 10); }},
      {"APITap6", [](int ch) { return APITap6(0, ch, 10); }},
      {"APICTLESetValue", [](int ch) { return APICTLESetValue(0, ch, 3); }},
      {"APIDSPMode", [](int ch) { return APIDSPMode(0, ch, 1); }},
      {"APISetPRBSPattern", [](int ch) { return APISetPRBSPattern(0, ch, 1, 0, 0, 0); }},
      {"APISetTxUserPatternLumo", [](int ch) { return APISetTxUserPatternLumo(0, ch, 0x1234, 0x5678); }},
      {"APIPRBSVerfication", [](int ch) { return static_cast<int>(APIPRBSVerfication(0, ch)); }},
      {"APIGetPam4Histogram", [](int ch) { return APIGetPam4Histogram(0, ch, g_x, g_counts); }},
  };
  return exports;
}

struct MapCase {
  std::uint16_t model;
  int lastEntry;     // the board's last channel with a map entry
  int firstWithout;  // the first channel the model's row writes no entry for
};

class ChannelsWithoutMapEntry : public ::testing::TestWithParam<MapCase> {};

TEST_P(ChannelsWithoutMapEntry, AreRefusedAndTheLastChannelKeepsItsBank) {
  const MapCase& c = GetParam();
  Rig rig(c.model);
  rig.Connect();
  // Calibrated tables, so the output level of a channel the board has is sent.
  ASSERT_EQ(APILoadDefaultCalibration(0), 1);
  for (const MappedExport& e : MappedExports()) {
    SCOPED_TRACE(e.name);
    const std::vector<std::uint8_t> eeprom = rig.sim.EepromBytes(0, rig.sim.EepromSize());
    for (int ch : {c.firstWithout, 15}) {
      rig.sim.ClearLog();
      EXPECT_EQ(e.call(ch), 0) << "channel " << ch;
      EXPECT_TRUE(rig.sim.Log().empty()) << "channel " << ch;
    }
    EXPECT_TRUE(rig.sim.EepromBytes(0, rig.sim.EepromSize()) == eeprom);  // nothing recorded either
    rig.sim.ClearLog();
    e.call(c.lastEntry);
    EXPECT_TRUE(ReachesBank(rig, c.lastEntry)) << "channel " << c.lastEntry;
    EXPECT_FALSE(ReachesBank(rig, c.firstWithout)) << "channel " << c.lastEntry;
  }
}

// A 7780 has four channels but writes eight map entries: lanes 4 to 7 stay
// reachable.
INSTANTIATE_TEST_SUITE_P(Models, ChannelsWithoutMapEntry,
                         ::testing::Values(MapCase{7652, 3, 4}, MapCase{7758, 2, 3}, MapCase{7668, 7, 8},
                                           MapCase{7780, 7, 8}),
                         [](const ::testing::TestParamInfo<MapCase>& param) {
                           return "Model" + std::to_string(param.param.model);
                         });

TEST(ChannelsWithoutMapEntry, AStaleEntryOfALargerBoardIsNotUsed) {
  // The first connection, to a 7828, writes all sixteen entries; a 7652 then
  // writes four, and its channel 5 must not reach the 7828's lane 5.
  {
    Rig large(7828, 0, 1);
    large.Connect();
    APIDisconnect(0);
  }
  Rig rig(7652);
  rig.Connect();
  ASSERT_EQ(rig.api().channelMap[5], 5u);
  EXPECT_EQ(APIPreEmphasis(0, 5, 10), 0);
  EXPECT_TRUE(rig.sim.Log().empty());
}

// ---- Channels and ports of 16 and up ----

constexpr std::uint8_t kUntouchedFlag = 0xAA;
constexpr double kUntouchedValue = -7.25;

struct Outputs {
  std::uint8_t flag = kUntouchedFlag;
  double value = kUntouchedValue;
};

struct NumberedExport {
  const char* name;
  bool cagePort;  // a cage port of a 7686, else a channel of a 7668
  std::function<int(std::uint8_t index, std::uint32_t n, Outputs& out)> call;
};

// The number as each export's parameter takes it: a 16-bit port keeps the low
// 16 bits (all-ones stays all-ones), an int channel reads all-ones as -1.
std::uint16_t Port(std::uint32_t n) { return static_cast<std::uint16_t>(n); }
int IntChannel(std::uint32_t n) { return static_cast<int>(n); }

const std::vector<NumberedExport>& NumberedExports() {
  using O = Outputs;
  static const std::vector<NumberedExport> exports = {
      {"APIErrorInsertion", false, [](std::uint8_t i, std::uint32_t n, O&) { return APIErrorInsertion(i, n, 0x11); }},
      {"APIErrorInserationMode", false,
       [](std::uint8_t i, std::uint32_t n, O&) { return APIErrorInserationMode(i, n, 0x11); }},
      {"APIErrorInsertionKestrine", false,
       [](std::uint8_t i, std::uint32_t n, O&) { return APIErrorInsertionKestrine(i, n, 1, 2, 3, 0x22); }},
      {"APIReSyncRX", false, [](std::uint8_t i, std::uint32_t n, O&) { return APIReSyncRX(i, n); }},
      {"APIReadTXLock", false, [](std::uint8_t i, std::uint32_t n, O& o) { return APIReadTXLock(i, n, &o.flag); }},
      {"APIGetPam4SignalToNoiseRatio", false,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIGetPam4SignalToNoiseRatio(i, IntChannel(n), &o.value); }},
      {"APIQDD_7686_MODINIT write", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_MODINIT(i, 1, Port(n), &o.flag); }},
      {"APIQDD_7686_MODINIT read", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_MODINIT(i, 0, Port(n), &o.flag); }},
      {"APIQDD_7686_MODSEL", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_MODSEL(i, 0, Port(n), &o.flag); }},
      {"APIQDD_7686_MODRST", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_MODRST(i, 1, Port(n), &o.flag); }},
      {"APIQDD_7686_MODPRS", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_MODPRS(i, Port(n), &o.flag); }},
      {"APIQDD_7686_INT", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_INT(i, Port(n), &o.flag); }},
      {"APIQDD_7686_VCC_Current", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_VCC_Current(i, Port(n), &o.value); }},
      {"APIQDD_7686_VCC1_Current", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_VCC1_Current(i, Port(n), &o.value); }},
      {"APIQDD_7686_VCCTX_Current", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_VCCTX_Current(i, Port(n), &o.value); }},
      {"APIQDD_7686_VCCRX_Current", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_VCCRX_Current(i, Port(n), &o.value); }},
      {"APIQDD_7686_Voltage", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIQDD_7686_Voltage(i, Port(n), &o.value); }},
      {"APIOSFP_7686_MODLP", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIOSFP_7686_MODLP(i, 0, Port(n), &o.flag); }},
      {"APIOSFP_7686_MODRST", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIOSFP_7686_MODRST(i, 1, Port(n), &o.flag); }},
      {"APIOSFP_7686_MODPRS", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIOSFP_7686_MODPRS(i, Port(n), &o.flag); }},
      {"APIOSFP_7686_INT", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIOSFP_7686_INT(i, Port(n), &o.flag); }},
      {"APIOSFP_7686_VCC_Current", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIOSFP_7686_VCC_Current(i, Port(n), &o.value); }},
      {"APIOSFP_7686_Voltage", true,
       [](std::uint8_t i, std::uint32_t n, O& o) { return APIOSFP_7686_Voltage(i, Port(n), &o.value); }},
  };
  return exports;
}

TEST(NumbersOutsideTheBanks, AreRefusedWithTheOutputUntouched) {
  Rig channels(7668, 0, 0);
  Rig cages(7686, 1, 1);
  channels.Connect();
  cages.Connect();
  for (const NumberedExport& e : NumberedExports()) {
    SCOPED_TRACE(e.name);
    Rig& rig = e.cagePort ? cages : channels;
    for (std::uint32_t n : {16u, 19u, 256u, 0xFFFFFFFFu}) {
      rig.sim.ClearLog();
      Outputs out;
      EXPECT_EQ(e.call(rig.index, n, out), 0) << "number " << n;
      EXPECT_TRUE(rig.sim.Log().empty()) << "number " << n;
      EXPECT_EQ(out.flag, kUntouchedFlag) << "number " << n;
      EXPECT_EQ(out.value, kUntouchedValue) << "number " << n;
    }
    // Numbers of the banks are not checked against the channel count.
    const std::uint32_t inRange = e.cagePort ? 1 : 7;
    rig.sim.ClearLog();
    Outputs out;
    e.call(rig.index, inRange, out);
    EXPECT_TRUE(ReachesBank(rig, static_cast<int>(inRange)));
  }
}

TEST(NumbersOutsideTheBanks, MonitorRefusesThemAlsoForTheSharedLineRate) {
  for (std::uint16_t model : std::initializer_list<std::uint16_t>{7828, 7698, 7758}) {
    SCOPED_TRACE(model);
    Rig rig(model);
    rig.Connect();
    double value = kUntouchedValue;
    EXPECT_EQ(APIMonitor(0, 99, 1, &value), 0u);
    EXPECT_EQ(APIMonitor(0, 16, 1, &value), 0u);
    EXPECT_EQ(value, kUntouchedValue);
    EXPECT_TRUE(rig.sim.Log().empty());
    // Every channel of the board still reads the line rate recorded at lane 0.
    EXPECT_EQ(APIMonitor(0, 2, 1, &value), 1u);
    EXPECT_FALSE(rig.sim.Log().empty());
  }
}

// ---- Counters of an object with no channels ----

TEST(CountersWithNoChannels, BothCallsFailWithTheArraysUntouched) {
  constexpr std::uint8_t kNeverConnected = 7;
  ASSERT_EQ(g_apiInstances[kNeverConnected].channelCount, 0);
  std::uint64_t errors[16];
  std::uint32_t elapsed[16];
  for (int i = 0; i < 16; ++i) {
    errors[i] = 0x5555;
    elapsed[i] = 0x6666;
  }
  EXPECT_EQ(APIReadRealTimeBER(kNeverConnected, errors, elapsed), 0);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(errors[i], 0x5555u) << i;
    EXPECT_EQ(elapsed[i], 0x6666u) << i;
  }
  for (std::uint32_t mode : {0u, 1u, 2u, 7u}) EXPECT_EQ(APIRealTimeBEREnable(kNeverConnected, mode), 0) << mode;
}

// ---- Levels that are not numbers ----

constexpr double kNotNumbers[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity()};

TEST(LevelsThatAreNotNumbers, AreRefusedOnEveryKindOfBoard) {
  // 7652 converts through its tables, 7746 and 7766 take the level as it is,
  // 7828 truncates it.
  for (std::uint16_t model : std::initializer_list<std::uint16_t>{7652, 7746, 7766, 7828}) {
    SCOPED_TRACE(model);
    Rig rig(model);
    rig.Connect();
    APILoadDefaultCalibration(0);
    for (double level : kNotNumbers) {
      rig.sim.ClearLog();
      EXPECT_EQ(APIOutputLevel(0, 1, level), 0) << level;
      EXPECT_EQ(rig.api().SetOutputLevelCalibrated(1, level), 0) << level;
      EXPECT_EQ(rig.api().SetBoardOutputLevel(level, 1, 2), 0) << level;
      EXPECT_TRUE(rig.sim.Log().empty()) << level;
    }
  }
}

std::vector<Rig::Access> Writes(const Rig& rig) {
  std::vector<Rig::Access> out = rig.LaneAccesses();
  std::erase_if(out, [](const Rig::Access& a) { return !a.write; });
  return out;
}

TEST(LevelsThatAreNotNumbers, AnErasedTableSendsNoLevel) {
  // The generic 7652 and the swing-family 7668, never calibrated: every table
  // entry reads as NaN.
  for (std::uint16_t model : std::initializer_list<std::uint16_t>{7652, 7668}) {
    SCOPED_TRACE(model);
    Rig rig(model);
    rig.Connect();
    EXPECT_EQ(APIOutputLevel(0, 0, 400.0), 0);
    EXPECT_TRUE(Writes(rig).empty());  // the record may stay; no level register, no output enable
    rig.sim.ClearLog();
    EXPECT_EQ(rig.api().SetOutputLevelCalibrated(0, 400.0), 0);
    EXPECT_TRUE(rig.sim.Log().empty());
    rig.sim.ClearLog();
    EXPECT_EQ(rig.api().SetBoardOutputLevel(400.0, 1, 2), 0);
    // The bank-1 write comes before the conversion; no driver register follows.
    EXPECT_EQ(Writes(rig), (std::vector<Rig::Access>{test::Wr(1, 0x20E, 50)}));
  }
}

TEST(LevelsThatAreNotNumbers, AFiniteLevelOnACalibratedLaneIsStillSent) {
  Rig rig(7652);
  rig.Connect();
  ASSERT_EQ(APILoadDefaultCalibration(0), 1);
  rig.sim.ClearLog();
  EXPECT_EQ(APIOutputLevel(0, 2, 400.0), 1);
  // The default tables are identities: the level goes out as its own code.
  EXPECT_EQ(Writes(rig), (std::vector<Rig::Access>{test::Wr(2, 0x20E, 400)}));
  rig.sim.ClearLog();
  EXPECT_EQ(rig.api().SetOutputLevelCalibrated(2, 400.0), 1);
  EXPECT_EQ(Writes(rig), (std::vector<Rig::Access>{test::Wr(2, 0x221, 400)}));
}

}  // namespace
