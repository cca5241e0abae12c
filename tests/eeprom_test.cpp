// Raw EEPROM access, the status table and optimal-settings records, checked
// against the simulated instrument's EEPROM at literal addresses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "EepromTrace.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::EepromTrace;
using tessok::test::Rig;
using Trace = std::vector<std::string>;

namespace {

std::vector<std::uint8_t> BytesOf(double v) {
  std::vector<std::uint8_t> b(8);
  std::memcpy(b.data(), &v, 8);
  return b;
}

std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, 8);
  return b;
}

}  // namespace

TEST(Eeprom, WriteAddressTakesTheBankPerByte) {
  // {address, first address word, bank of each of the 8 bytes}
  struct Case {
    std::uint32_t address;
    std::vector<unsigned> banks;
  } cases[] = {
      {0xFFF0, {0, 0, 0, 0, 0, 0, 0, 0}},
      {0x10000, {1, 1, 1, 1, 1, 1, 1, 1}},
      {0x10FCE, {1, 1, 1, 1, 1, 1, 1, 1}},
      {0xFFFC, {0, 0, 0, 0, 1, 1, 1, 1}},  // crosses into bank 1 instead of wrapping to 0x0000
  };
  Rig rig;
  rig.Connect();
  for (const Case& c : cases) {
    rig.sim.ClearLog();
    EXPECT_EQ(APIWriteEEPROMAddress(0, c.address, 65535), 1);
    EXPECT_EQ(rig.sim.EepromBytes(c.address, 8), BytesOf(65535.0));
    auto log = rig.sim.Log();
    ASSERT_EQ(log.size(), 16u);
    for (std::uint32_t i = 0; i < 8; ++i) {
      EXPECT_EQ(log[2 * i].Reg(), 10u);
      EXPECT_EQ(log[2 * i].Bank(), c.banks[i]);
      EXPECT_EQ(log[2 * i].Data(), (c.address + i) & 0xFFFF);
      EXPECT_EQ(log[2 * i + 1].Reg(), 11u);
      EXPECT_EQ(log[2 * i + 1].Data(), BytesOf(65535.0)[i]);
    }
  }
  EXPECT_EQ(rig.sim.EepromByte(0x0000), 0xFF);  // nothing landed at the start
  EXPECT_TRUE(rig.sleeps.Waits().empty());
}

TEST(Eeprom, DoubleBytesLeastSignificantFirst) {
  Rig rig;
  rig.Connect();
  EXPECT_EQ(rig.api().WriteEEPROMAddress(0x1234, 1.0), 1);
  EXPECT_EQ(rig.sim.EepromBytes(0x1234, 8), (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
}

TEST(Eeprom, RawWordAccessKeepsTheWholeWord) {
  Rig rig;
  rig.Connect();
  rig.sim.SetEepromByte(0x0400, 0x34);
  rig.sim.SetEepromReadHighByte(0xAB);
  std::uint16_t v = 0;
  EXPECT_EQ(APIReadValueFromEEPROM(0, 0x0400, &v), 1);
  EXPECT_EQ(v, 0xAB34);
  EXPECT_EQ(rig.api().lastStatus, 1);
  EXPECT_EQ(APIWriteValueToEEPROM(0, 0x0401, 0xBEEF), 1);
  EXPECT_EQ(rig.sim.WritesTo(0, 11), std::vector<std::uint16_t>{0xBEEF});
  EXPECT_EQ(rig.sim.EepromByte(0x0401), 0xEF);
  // The double read keeps only the low byte of each word.
  rig.sim.SeedDouble(0x0500, -2.5);
  double d = 0;
  EXPECT_EQ(rig.api().ReadEEPROMQword(0x0500, &d), 1);
  EXPECT_EQ(d, -2.5);
  EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>(8, 10));
}

TEST(Eeprom, RawWordAccessReportsFailure) {
  Rig rig;
  rig.Connect();
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart() + 1);
  std::uint16_t v = 1;
  EXPECT_EQ(APIWriteValueToEEPROM(0, 0x10, 0x1111), 0);
  EXPECT_EQ(rig.api().lastStatus, 0);
  EXPECT_EQ(APIReadValueFromEEPROM(0, 0x10, &v), 0);
}

TEST(Eeprom, ReadAddressReturnsTheFirstTwoPageBytes) {
  Rig rig;
  rig.Connect();
  rig.sim.SetEepromBytes(0x10FCE, {0x78, 0x56, 0x34, 0x12});
  std::uint16_t v = 0;
  EXPECT_EQ(APIReadEEPROMAddress(0, 0x10FCE, &v), 1u);
  EXPECT_EQ(v, 0x5678);
  EXPECT_EQ(rig.api().lastResult, 1u);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), Trace{"page 0x10FCE"});
}

TEST(StatusTable, ItemAddresses) {
  struct Case {
    const char* name;
    std::uint16_t model;
    std::vector<sim::RegisterValue> registers;
    int lane, item;
    std::uint32_t address;
  } cases[] = {
      {"lane 0 item 0", 7652, {}, 0, 0, 0x2000},
      {"lane 3 item 1", 7652, {}, 3, 1, 0x2908},
      {"7780 lane 0 item 1", 7780, {}, 0, 1, 0x4008},
      {"7686 lane 7 item 95", 7686, {}, 7, 95, 0x57F8},
      {"7653 eight channels lane 4", 7653, {{31, 2}, {32, 0x0100}}, 4, 0, 0x4C00},
      {"7653 eight channels lane 3 item 95", 7653, {{31, 2}, {32, 0x0100}}, 3, 95, 0x2BF8},
      {"7746 four channels lane 4", 7746, {}, 4, 0, 0x2C00},
      {"7746 eight channels lane 5", 7746, {{34, 1}}, 5, 2, 0x4F10},
      {"lane 15 item 95", 7652, {}, 15, 95, 0x4FF8},
  };
  unsigned salt = 0;
  for (const auto& c : cases) {
    Rig rig(c.model, 0, ++salt);
    for (const sim::RegisterValue& r : c.registers) rig.sim.SetReg(0, r.reg, r.value);
    rig.Connect();
    EXPECT_EQ(APIWriteStatusToEEProm(0, c.lane, static_cast<std::int16_t>(c.item), 1.0), 1) << c.name;
    EXPECT_EQ(rig.sim.EepromBytes(c.address, 8), BytesOf(1.0)) << c.name;
    EXPECT_EQ(EepromTrace(rig.sim.Log()), Trace{"write " + tessok::test::Hex(c.address)}) << c.name;
    APIDisconnect(0);
  }
}

TEST(StatusTable, RoundTripWithTenMillisecondsPerByte) {
  Rig rig;
  rig.Connect();
  EXPECT_EQ(APIWriteStatusToEEProm(0, 2, 17, 12.0), 1);
  EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>(8, 10));
  double v = 0;
  EXPECT_EQ(APIMonitor(0, 2, 17, &v), 1u);
  EXPECT_EQ(v, 12.0);
  EXPECT_EQ(rig.api().lastResult, 1u);
  EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>(16, 10));
  // Each byte's pause comes between its transfers and the next byte's.
  auto log = rig.sim.Log();
  ASSERT_EQ(log.size(), 32u);
}

TEST(StatusTable, OutOfRangeLaneOrItemIsRefused) {
  Rig rig;
  rig.Connect();
  double v = 3.0;
  EXPECT_EQ(APIWriteStatusToEEProm(0, 16, 0, 1.0), 0);
  EXPECT_EQ(APIWriteStatusToEEProm(0, -1, 0, 1.0), 0);
  EXPECT_EQ(APIWriteStatusToEEProm(0, 0, 96, 1.0), 0);
  EXPECT_EQ(APIWriteStatusToEEProm(0, 0, -1, 1.0), 0);
  EXPECT_EQ(APIMonitor(0, 16, 1, &v), 0u);
  EXPECT_EQ(APIMonitor(0, 0, 200, &v), 0u);
  EXPECT_EQ(v, 3.0);
  EXPECT_EQ(rig.sim.Log().size(), 0u);
  EXPECT_TRUE(rig.sleeps.Waits().empty());
}

TEST(StatusTable, MonitorLaneRules) {
  {
    Rig rig(7775, 0, 1);
    rig.sim.SetReg(0, 33, 12);
    rig.Connect();
    double v;
    APIMonitor(0, 3, 1, &v);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), Trace{"read 0x2608"});  // lane 2
    APIDisconnect(0);
  }
  {
    Rig rig(7828, 0, 2);
    rig.Connect();
    double v;
    APIMonitor(0, 5, 1, &v);
    APIMonitor(0, 5, 9, &v);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"read 0x2008", "read 0x2F48"}));
  }
}

TEST(StatusTable, FailedReadStillStoresTheValue) {
  Rig rig;
  rig.sim.SeedDouble(0x2000 + 8 * 9, 250.0);
  rig.Connect();
  double v = 0;
  EXPECT_EQ(APIMonitor(0, 0, 9, &v), 1u);
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart() + 3);
  EXPECT_EQ(APIMonitor(0, 0, 9, &v), 0u);
  EXPECT_EQ(rig.api().lastResult, 0u);
  EXPECT_EQ(rig.sleeps.Waits().size(), 16u);  // all 8 pauses of both reads
}

TEST(OptimalSettings, RecordsKeepEveryBit) {
  Rig rig;
  rig.Connect();
  double quietNaN;
  std::uint64_t payload = 0x7FF8DEADBEEF1234ull;
  std::memcpy(&quietNaN, &payload, 8);
  const double values[5] = {quietNaN, -0.0, std::numeric_limits<double>::denorm_min(), 1e300, -123.456};
  EXPECT_TRUE(APISaveOptimalSettings(0, 1, 2, values));
  // Record (1, 2) lies at 0x9000 + 40 x 6 = 0x90F0.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(rig.sim.EepromBytes(0x90F0 + 8u * i, 8), BytesOf(values[i]));
  EXPECT_TRUE(rig.sleeps.Waits().empty());
  double back[5] = {};
  EXPECT_TRUE(APIReadOptimalSettings(0, 1, 2, back));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Bits(back[i]), Bits(values[i])) << i;
  EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>(40, 10));
}

TEST(OptimalSettings, RecordZeroReplacesTheGlobalLevelHeader) {
  Rig rig;
  rig.Connect();
  const double values[5] = {0.0, 1.0, 2.0, 3.0, 4.0};
  EXPECT_TRUE(APISaveOptimalSettings(0, 0, 0, values));
  EXPECT_EQ(rig.sim.EepromDouble(0x9000), 0.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x9020), 4.0);
}

TEST(OptimalSettings, RecordsBeyondSixteenBitAddressesAreRefused) {
  Rig rig;
  rig.Connect();
  const double values[5] = {1, 2, 3, 4, 5};
  double back[5] = {9, 9, 9, 9, 9};
  // 4a + b = 715 ends at 0x9000 + 40 x 716 - 1 = 0xFFDF; 716 would end past 0xFFFF.
  EXPECT_TRUE(APISaveOptimalSettings(0, 178, 3, values));
  EXPECT_TRUE(APIReadOptimalSettings(0, 178, 3, back));
  EXPECT_EQ(back[4], 5.0);
  rig.sim.ClearLog();
  EXPECT_FALSE(APISaveOptimalSettings(0, 179, 0, values));
  EXPECT_FALSE(APIReadOptimalSettings(0, 179, 0, back));
  EXPECT_FALSE(APISaveOptimalSettings(0, -1, 0, values));
  EXPECT_FALSE(APISaveOptimalSettings(0, 0, -5, values));
  EXPECT_FALSE(APIReadOptimalSettings(0, 0xFFFFFFFFu, 0, back));
  EXPECT_EQ(rig.sim.Log().size(), 0u);
}

TEST(OptimalSettings, ResultsAreTheirOwnTransfers) {
  Rig rig;
  rig.Connect();
  const double values[5] = {1, 2, 3, 4, 5};
  double back[5];
  rig.api().lastResult = 0;
  EXPECT_TRUE(APIReadOptimalSettings(0, 2, 0, back));  // whatever earlier operations reported
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart() + 70);
  EXPECT_FALSE(APISaveOptimalSettings(0, 0, 1, values));
  EXPECT_EQ(rig.api().lastResult, 0u);
}
