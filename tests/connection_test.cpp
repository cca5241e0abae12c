// Connecting and identifying an instrument: the model table, the option reads
// and their order, and connections that go wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "TestSupport.h"

using namespace tessok;
using tessok::test::Rd;
using tessok::test::Rig;

namespace {

struct ExpectedMap {
  std::uint16_t model;
  int channels;
  int mapEntries;
};

// Channel count and map entries of every model a plain board (no options) reports.
const ExpectedMap kModelRows[] = {
    {7653, 4, 4},   {7652, 4, 4},  {7733, 4, 4},  {7609, 4, 4},  {7726, 4, 4},   {7760, 4, 4},  {7775, 4, 4},
    {7792, 4, 4},   {7592, 2, 8},  {7621, 4, 8},  {7668, 8, 8},  {7837, 4, 8},   {7766, 4, 8},  {7812, 4, 8},
    {7780, 4, 8},   {7781, 4, 4},  {7822, 4, 4},  {7686, 8, 8},  {7841, 4, 4},   {7622, 4, 4},  {7828, 16, 16},
    {7698, 12, 12}, {7758, 3, 3},  {7746, 4, 4},  {7614, 10, 10}, {7769, 16, 16}, {1234, 4, 0},
};

class ModelTable : public ::testing::TestWithParam<ExpectedMap> {};

void PrintTo(const ExpectedMap& row, std::ostream* os) { *os << "model " << row.model; }

}  // namespace

TEST_P(ModelTable, ChannelCountAndMap) {
  const ExpectedMap& row = GetParam();
  Rig rig(row.model);
  for (std::uint32_t& bank : rig.api().channelMap) bank = 99;
  rig.Connect();
  EXPECT_EQ(rig.api().boardModel, row.model);
  EXPECT_EQ(rig.api().channelCount, row.channels);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(rig.api().channelMap[i], i < row.mapEntries ? static_cast<std::uint32_t>(i) : 99u) << "entry " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryModel, ModelTable, ::testing::ValuesIn(kModelRows),
                         [](const auto& p) { return std::to_string(p.param.model); });

namespace {

struct OptionCase {
  const char* name;
  std::uint16_t model;
  std::vector<sim::RegisterValue> registers;
  std::vector<unsigned> reads;  // bank-0 registers read after register 20, in order
  std::vector<std::pair<std::uint32_t Tessok_API::*, std::uint32_t>> words;
  int channels;
};

const OptionCase kOptionCases[] = {
    {"SubType31Is1Reads32", 7653, {{31, 1}, {32, 3}}, {31, 32, 32}, {{&Tessok_API::boardSubType, 3}}, 4},
    {"SubType2With32High1", 7653, {{31, 2}, {32, 0x0100}}, {31, 32}, {{&Tessok_API::boardSubType, 2}}, 8},
    {"Regs33And30", 7733, {{33, 5}, {30, 7}}, {33, 30}, {{&Tessok_API::option33, 5}, {&Tessok_API::option30, 7}}, 4},
    {"Flags31To38Code1", 7775, {{31, 0xAA}, {32, 0}, {33, 0}, {38, 0xBADA}}, {31, 32, 33, 38},
     {{&Tessok_API::optionCodeC, 1}, {&Tessok_API::remapLane3, 0}, {&Tessok_API::option33Is12, 0},
      {&Tessok_API::option38Set, 0}}, 4},
    {"Flags31To38Reg33Is12", 7775, {{31, 0}, {32, 0xAA}, {33, 12}, {38, 0}}, {31, 32, 33, 38},
     {{&Tessok_API::optionCodeC, 2}, {&Tessok_API::remapLane3, 1}, {&Tessok_API::option33Is12, 1},
      {&Tessok_API::option38Set, 1}}, 4},
    {"Flags31To38Reg33Is11", 7775, {{31, 0xAA}, {32, 0xAA}, {33, 11}}, {31, 32, 33, 38},
     {{&Tessok_API::optionCodeC, 3}, {&Tessok_API::remapLane3, 1}, {&Tessok_API::option33Is12, 0}}, 4},
    {"Flags30And31Reg30Set", 7792, {{30, 4}}, {30}, {{&Tessok_API::optionCodeA, 2}}, 4},
    {"Flags30And31Reg31Fitted", 7792, {{30, 0}, {31, 0xAA}}, {30, 31}, {{&Tessok_API::optionCodeA, 1}}, 4},
    {"Flags30And31None", 7792, {{30, 0}, {31, 5}}, {30, 31}, {{&Tessok_API::optionCodeA, 0}}, 4},
    {"Reg31", 7668, {{31, 11}}, {31}, {{&Tessok_API::option31, 11}}, 8},
    {"Flags31And32Reg31Fitted", 7780, {{31, 0xAA}, {32, 0}}, {31}, {{&Tessok_API::optionCodeC, 2}}, 4},
    {"Flags31And32Reg32Fitted", 7780, {{31, 0}, {32, 0xAA}}, {31, 32}, {{&Tessok_API::optionCodeC, 1}}, 4},
    {"Flags30To32Code3", 7822, {{30, 0}, {31, 0xAA}}, {30, 31}, {{&Tessok_API::optionCodeB, 3}}, 4},
    {"Flags30To32Code2", 7822, {{30, 0}, {31, 0}}, {30, 31}, {{&Tessok_API::optionCodeB, 2}}, 4},
    {"Flags30To32Code1", 7822, {{30, 1}, {32, 0xAA}}, {30, 32}, {{&Tessok_API::optionCodeB, 1}}, 4},
    {"Flags30To32Code0", 7822, {{30, 1}, {32, 0}}, {30, 32}, {{&Tessok_API::optionCodeB, 0}}, 4},
    {"Bits57", 7841, {{57, 0xC7}}, {57},
     {{&Tessok_API::option57Low, 3}, {&Tessok_API::option57Bit2, 1}, {&Tessok_API::remapLane1, 1},
      {&Tessok_API::option57Bit7, 1}}, 4},
    {"Bits57Bit6Only", 7841, {{57, 0x40}}, {57},
     {{&Tessok_API::option57Low, 0}, {&Tessok_API::option57Bit2, 0}, {&Tessok_API::remapLane1, 1},
      {&Tessok_API::option57Bit7, 0}}, 4},
    {"Reg34EightChannels", 7746, {{34, 1}}, {34}, {{&Tessok_API::option34, 1}}, 8},
    {"Reg34FourChannels", 7746, {{34, 2}}, {34}, {{&Tessok_API::option34, 2}}, 4},
    {"NoOptionRead", 7652, {{31, 0xAA}}, {}, {}, 4},
};

class OptionReads : public ::testing::TestWithParam<OptionCase> {};

void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

TEST_P(OptionReads, ReadOrderAndWords) {
  const OptionCase& c = GetParam();
  Rig rig(c.model, c.registers);
  ASSERT_EQ(APIConnect(0, rig.sim.Address().c_str()), 1);
  auto accesses = rig.Accesses();
  std::vector<Rig::Access> expected{Rd(0, 20)};
  for (unsigned r : c.reads) expected.push_back(Rd(0, r));
  ASSERT_GE(accesses.size(), expected.size());
  EXPECT_EQ(std::vector<Rig::Access>(accesses.begin(), accesses.begin() + static_cast<long>(expected.size())),
            expected);
  for (const auto& [member, value] : c.words) EXPECT_EQ(rig.api().*member, value);
  EXPECT_EQ(rig.api().channelCount, c.channels);
}

INSTANTIATE_TEST_SUITE_P(Models, OptionReads, ::testing::ValuesIn(kOptionCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Connection, SubTypeEightChannelsFromHighByteOfRegister32) {
  struct Case {
    std::uint16_t reg31, reg32;
    int channels;
  } cases[] = {{2, 0x0100, 8}, {2, 0x0001, 4}, {3, 0x01FF, 8}, {4, 0x0100, 4}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7653, {{31, c.reg31}, {32, c.reg32}}, 0, ++salt);
    ASSERT_EQ(APIConnect(0, rig.sim.Address().c_str()), 1);
    EXPECT_EQ(rig.api().channelCount, c.channels) << c.reg31 << " " << c.reg32;
    APIDisconnect(0);
  }
}

TEST(Connection, OtherModelsOptionWordsAreKept) {
  Rig rig(7652);
  rig.api().optionCodeC = 3;
  rig.api().option34 = 9;
  rig.Connect();
  EXPECT_EQ(rig.api().optionCodeC, 3u);
  EXPECT_EQ(rig.api().option34, 9u);
}

TEST(Connection, ClearsEyeMapFlagsAndBathtubOfEachChannel) {
  Rig rig(7652);
  for (int ch = 0; ch < 6; ++ch) {
    rig.api().eyeMapValid[ch] = 1;
    rig.api().bathtubBer[ch][128] = 0.5;
  }
  rig.Connect();
  for (int ch = 0; ch < 4; ++ch) {
    EXPECT_EQ(rig.api().eyeMapValid[ch], 0);
    EXPECT_EQ(rig.api().bathtubBer[ch][128], 0.0);
  }
  EXPECT_EQ(rig.api().eyeMapValid[4], 1);  // beyond the channel count
}

TEST(Connection, NothingListening) {
  Tessok_API& api = g_apiInstances[2];
  api.boardModel = 7775;
  api.channelCount = 4;
  // A loopback address no test serves.
  EXPECT_EQ(APIConnect(2, "127.254.254.254"), 0);
  EXPECT_EQ(api.ipAddress, "127.254.254.254");
  EXPECT_EQ(api.boardModel, 7775u);
  EXPECT_EQ(api.channelCount, 4);
  // The socket that could not connect was closed: nothing is left to close.
  EXPECT_EQ(api.hwLayer.sock, platform::kNoSocket);
  EXPECT_EQ(APIDisconnect(2), 0);
  EXPECT_EQ(APIConnect(2, "not an address"), 0);
}

TEST(Connection, ResetPartWayStillConnects) {
  // A 7775 that resets the link while its options are read: the object is
  // identified from what the reads left (the last reply received).
  Rig rig(7775, {{31, 0xAA}});
  rig.sim.ResetAtRequest(2);  // requests: 20, 31, then 32 is reset
  ASSERT_EQ(APIConnect(0, rig.sim.Address().c_str()), 1);
  EXPECT_EQ(rig.api().boardModel, 7775u);
  EXPECT_EQ(rig.api().optionCodeC, 3u);  // register 32 "read" 0xAA again
  EXPECT_EQ(rig.api().remapLane3, 0u);
  EXPECT_EQ(rig.api().option38Set, 1u);  // 0xAA is not 0xBADA
  EXPECT_EQ(rig.api().channelCount, 4);
  EXPECT_EQ(rig.sim.RequestsSinceStart(), 3u);
}

TEST(Connection, ConnectingAgainClosesTheEarlierSocket) {
  auto openDescriptors = [] {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
  };
  Rig rig(7652);
  ASSERT_EQ(APIConnect(0, rig.sim.Address().c_str()), 1);
  const int afterFirst = openDescriptors();
  ASSERT_EQ(APIConnect(0, rig.sim.Address().c_str()), 1);
  EXPECT_EQ(openDescriptors(), afterFirst);  // the earlier socket was closed, not leaked
  EXPECT_EQ(rig.sim.ConnectionCount(), 2);
  EXPECT_EQ(APIReadBoardID(0), 7652);
}

TEST(Connection, DisconnectAndConnectAgain) {
  Rig rig(7828);
  rig.Connect();
  EXPECT_EQ(APIDisconnect(0), 1);
  rig.sim.SetReg(0, 20, 7698);
  rig.Connect();
  EXPECT_EQ(rig.api().boardModel, 7698u);
  EXPECT_EQ(rig.api().channelCount, 12);
}

TEST(Connection, ConfigureApplicationSwitches) {
  EXPECT_TRUE(APIConfigureApplication(4, "clocks", "curves/", "eyes", 5, 0));
  const Tessok_API& api = g_apiInstances[4];
  EXPECT_EQ(api.clockFileDir, "clocks");
  EXPECT_EQ(api.curveCsvDir, "curves/");
  EXPECT_EQ(api.eyeCsvDir, "eyes");
  EXPECT_EQ(api.saveCurveCsv, 1);
  EXPECT_EQ(api.saveEyeCsv, 0);
}

TEST(Connection, BoardSignatureAndAliasReads) {
  Rig rig(7652);
  rig.Connect();
  rig.sim.SetReg(0, 31, 0xCAFE);
  EXPECT_TRUE(rig.api().CheckBoardSignature());
  std::uint32_t out = 0;
  EXPECT_EQ(rig.api().ReadOptionReg31Alias(&out), 1);
  EXPECT_EQ(out, 0xCAFEu);
  rig.sim.SetReg(0, 31, 0xCAFF);
  EXPECT_FALSE(rig.api().CheckBoardSignature());
}

TEST(Connection, OptionReadResultIsTheOrOfItsTransfers) {
  Rig rig(7652);
  rig.Connect();
  rig.sim.SetReg(0, 31, 0);
  std::uint32_t code = 9;
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart() + 1);  // the read of 32 fails
  EXPECT_EQ(rig.api().ReadOptionFlags31And32(&code), 1);
  EXPECT_EQ(code, 0u);  // 32 "read" the stale 0 of register 31
  EXPECT_EQ(rig.api().ReadOptionFlags31And32(&code), 0);
}
