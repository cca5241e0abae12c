// Identity reads, raw windows, the measurement gate and the parameter block.
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"

using namespace tessok;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::Wr;

TEST(Identity, SerialNumbers) {
  // Register values 21..25, then the serial and form expected (a long serial
  // when register 25 / 5 equals register 24).
  struct Case {
    std::uint16_t r21, r22, r23, r24, r25;
    std::uint64_t serial;
    std::uint32_t isLong;
  } cases[] = {
      {0x1111, 0x2222, 0x3333, 0, 0, 0x0000333322221111ull, 1},
      {0x0001, 0x0002, 0x0003, 7, 39, 0x0007000300020001ull, 1},
      {0x0001, 0x0002, 0x0003, 7, 40, 0x0000000000020001ull, 0},
      {0x0005, 0x8000, 0x0003, 1, 0, 0xFFFFFFFF80000005ull, 0},
      {0xFFFF, 0x7FFF, 0x0003, 1, 0, 0x000000007FFFFFFFull, 0},
  };
  Rig rig;
  rig.Connect();
  for (const auto& c : cases) {
    for (auto [reg, v] : {std::pair{21, c.r21}, {22, c.r22}, {23, c.r23}, {24, c.r24}, {25, c.r25}}) {
      rig.sim.SetReg(0, static_cast<unsigned>(reg), v);
    }
    std::uint64_t serial = 1;
    std::uint32_t isLong = 9;
    EXPECT_EQ(APIReadSerialNumber(0, &serial, &isLong), 1);
    EXPECT_EQ(serial, c.serial);
    EXPECT_EQ(isLong, c.isLong);
  }
  rig.sim.SetReg(0, 22, 0x8000);
  rig.sim.SetReg(0, 21, 0x0005);
  EXPECT_EQ(APIReadBoardSN(0), static_cast<int>(0x80000005u));
}

TEST(Identity, ShortSerialReadsTheBoardSerialAgain) {
  Rig rig;
  rig.sim.SetReg(0, 24, 1);
  rig.Connect();
  std::uint64_t serial = 0;
  std::uint32_t isLong = 0;
  APIReadSerialNumber(0, &serial, &isLong);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(0, 21), Rd(0, 22), Rd(0, 23), Rd(0, 24), Rd(0, 25),
                                                       Rd(0, 21), Rd(0, 22)}));
}

TEST(Identity, WriteBoardSerial) {
  Rig rig;
  rig.Connect();
  EXPECT_EQ(APIWriteBoardSN(0, 0x89ABCDEFu), 1);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, 21, 0xCDEF), Wr(0, 22, 0x89AB)}));
  APIDisconnect(0);
  EXPECT_EQ(APIWriteBoardSN(0, 1), 1);  // whatever the transfers report
}

TEST(Identity, FirmwareRevisionAndTemperature) {
  Rig rig;
  rig.Connect();
  for (auto [raw, revision] : {std::pair<std::uint16_t, double>{0, 0.0}, {123, 12.3}, {65535, 6553.5}}) {
    rig.sim.SetReg(0, 9, raw);
    EXPECT_EQ(APIReadFirmwareRevision(0), revision);
  }
  rig.sim.SetReg(3, 16, 4321);
  EXPECT_EQ(APITempRead(0, 3), 4321.0);
  EXPECT_EQ(rig.api().lastResult, 1u);
  rig.sim.SetReg(2, 16, 77);
  EXPECT_EQ(APITempRead(0, 18), 77.0);  // the bank is taken modulo 16
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart());
  EXPECT_EQ(APITempRead(0, 3), 0.0);
  EXPECT_EQ(rig.api().lastResult, 0u);
}

TEST(Identity, GateGoesToBanksZeroAndFour) {
  Rig rig;
  rig.Connect();
  EXPECT_EQ(rig.api().SetGateTime(1u * 65536u + 2u), 1);
  EXPECT_EQ(rig.api().SetGateTime(1000), 1);
  EXPECT_EQ(rig.Accesses(),
            (std::vector<Rig::Access>{Wr(0, 0x301, 1), Wr(0, 0x300, 2), Wr(4, 0x301, 1), Wr(4, 0x300, 2),
                                      Wr(0, 0x301, 0), Wr(0, 0x300, 1000), Wr(4, 0x301, 0), Wr(4, 0x300, 1000)}));
  EXPECT_EQ(rig.api().gateTime, 1000u);
  EXPECT_EQ(rig.api().gateTimeSet, 1);
}

TEST(Identity, GateIsRecordedEvenWhenNotTaken) {
  Tessok_API& api = g_apiInstances[9];
  EXPECT_EQ(api.SetGateTime(500), 0);
  EXPECT_EQ(api.gateTime, 500u);
  EXPECT_EQ(api.gateTimeSet, 1);
}

TEST(Identity, ChipRegisterWindow) {
  Rig rig;
  rig.Connect();
  EXPECT_EQ(rig.api().WriteChipRegister(2, 9, 33), 1);
  std::uint16_t out = 0;
  EXPECT_EQ(rig.api().ReadChipRegister(2, 9, &out), 1);
  EXPECT_EQ(out, 33);
  EXPECT_EQ(rig.sim.ChipRegister(2, 9), 33);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(2, 0x21F, 9), Wr(2, 0x220, 33), Wr(2, 0x21F, 9),
                                                       Rd(2, 0x220)}));
}

TEST(Identity, DeviceRegisterBankShift) {
  struct Case {
    std::uint16_t model, device;
    unsigned bank;  // effective bank for bank 1
  } cases[] = {{7668, 8, 5}, {7668, 7, 1}, {7621, 8, 3}, {7837, 8, 3}, {7746, 8, 3}, {7592, 8, 2}, {7652, 8, 1}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, 0, ++salt);
    rig.Connect();
    rig.sim.SetSubRegister(c.bank, 0x5DD, 0x4242);
    EXPECT_EQ(rig.api().ReadDeviceRegister(1, c.device, 0x5DD), 0x4242) << c.model;
    EXPECT_EQ(rig.api().WriteDeviceRegister(1, c.device, 0x5DE, 7), 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(c.bank, 0x200, 0x5DD), Rd(c.bank, 0x201),
                                                         Wr(c.bank, 0x200, 0x5DE), Wr(c.bank, 0x201, 7)}))
        << c.model << " device " << c.device;
    APIDisconnect(0);
  }
}

TEST(Identity, ExtendedCommandReachesTheInstrument) {
  Rig rig;
  rig.Connect();
  EXPECT_TRUE(rig.api().SendExtendedCommand(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xA1B2, 11, 12, 13, 14));
  auto log = rig.sim.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].bytes[1], 0x07);
  EXPECT_EQ(log[0].bytes[14], 0xB2);
  EXPECT_EQ(log[0].bytes[15], 0xA1);
  EXPECT_EQ(log[0].bytes[19], 14);
}
