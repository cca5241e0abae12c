// The signal-processor window (0x200 select, 0x201 data) and the raw
// board-control registers: states of sub-register 10, the control bits with
// their per-model sub-registers and records, the bank-1 bit 0, registers 71 to
// 76 and lane register 0x22C with its record.
#include <gtest/gtest.h>

#include <vector>

#include "FaultSupport.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::TransferFaults;
using tessok::test::Wr;

namespace {

// The accesses of the window only (the records go through EEPROM registers 10 and 11).
std::vector<Rig::Access> WindowAccesses(const Rig& rig) {
  std::vector<Rig::Access> out;
  for (const Rig::Access& a : rig.Accesses()) {
    if (a.reg == 0x200 || a.reg == 0x201) out.push_back(a);
  }
  return out;
}

// One window read-modify-write: select, read, select again, write.
void AppendUpdate(std::vector<Rig::Access>& v, unsigned bank, std::uint16_t sub, std::uint16_t written) {
  for (const Rig::Access& a : {Wr(bank, 0x200, sub), Rd(bank, 0x201), Wr(bank, 0x200, sub), Wr(bank, 0x201, written)}) {
    v.push_back(a);
  }
}

// Status item 29 (control bits) of lanes 0 to 3: 0x2000 + 8 x (96 x lane + 29).
constexpr std::uint32_t kItem29[] = {0x20E8, 0x23E8, 0x26E8, 0x29E8};

}  // namespace

TEST(DspWindow, StatesGoToSubRegister10) {
  Rig rig;
  rig.Connect();
  struct Case {
    std::uint8_t (Tessok_API::*fn)(std::uint16_t);
    std::uint16_t state;
  } cases[] = {{&Tessok_API::SetDspState0, 0},
               {&Tessok_API::SetDspState1, 1},
               {&Tessok_API::SetDspState2, 2},
               {&Tessok_API::SetDspState6, 6}};
  for (const Case& c : cases) {
    rig.sim.ClearLog();
    EXPECT_EQ((rig.api().*c.fn)(2), 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(2, 0x200, 10), Wr(2, 0x201, c.state)}));
    EXPECT_EQ(rig.sim.SubRegister(2, 10), c.state);
  }
}

TEST(DspWindow, ControlBitsReachThePerModelBank0SubRegistersAndAreRecorded) {
  // Bank 1 sub-register 0 bit 1 follows on; bank-0 bit 4 is its opposite.
  struct Case {
    std::uint16_t model;
    std::vector<std::uint16_t> bank0Subs;
  } cases[] = {{7733, {16, 17, 18, 19}},
               {7653, {16, 17, 18, 19}},
               {7609, {18}},
               {7726, {18}},
               {7760, {18}},
               {7775, {18}},
               {7652, {}},
               {7841, {}}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    for (int on : {1, 0}) {
      SCOPED_TRACE(std::to_string(c.model) + " on " + std::to_string(on));
      Rig rig(c.model, 0, ++salt);
      rig.sim.SetSubRegister(1, 0, on == 1 ? 0x0001 : 0x0003);
      for (unsigned sub : {16u, 17u, 18u, 19u}) rig.sim.SetSubRegister(0, sub, on == 1 ? 0x0013 : 0x0001);
      rig.Connect();
      EXPECT_EQ(rig.api().SetIndirectControlBits(on), 1);
      std::vector<Rig::Access> expected;
      AppendUpdate(expected, 1, 0, on == 1 ? 0x0003 : 0x0001);
      for (std::uint16_t sub : c.bank0Subs) AppendUpdate(expected, 0, sub, on == 1 ? 0x0003 : 0x0011);
      EXPECT_EQ(WindowAccesses(rig), expected);
      // The window transfers come first, then the four records.
      const std::vector<Rig::Access> all = rig.Accesses();
      ASSERT_EQ(all.size(), expected.size() + 4 * 16);
      EXPECT_EQ(std::vector<Rig::Access>(all.begin(), all.begin() + static_cast<long>(expected.size())), expected);
      for (std::uint32_t address : kItem29) EXPECT_EQ(rig.sim.EepromDouble(address), on) << address;
      EXPECT_EQ(tessok::test::SleepRecorder::Waits().size(), 4u * 8u);
    }
  }
}

TEST(DspWindow, ControlBitsSkipTheWriteBackOfASubRegisterWhoseReadFailed) {
  Rig rig(7609);
  rig.sim.SetSubRegister(0, 18, 0x0001);
  rig.Connect();
  TransferFaults faults;
  faults.FailReceive(1);  // the read of bank 1's sub-register 0
  // The select went through, so the result is 1; the failed read ends the
  // connection, so nothing after it (no write-back, no record) is sent.
  EXPECT_EQ(rig.api().SetIndirectControlBits(0), 1);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(1, 0x200, 0), Rd(1, 0x201)}));
  EXPECT_TRUE(rig.sim.SubRegisterWrites(1, 0).empty());
}

TEST(DspWindow, ControlBitsReportOneWhenAnyTransferSucceeded) {
  Rig rig(7609);
  rig.Connect();
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart() + 5);  // the bank-0 read: nothing from it on succeeds
  EXPECT_EQ(rig.api().SetIndirectControlBits(1), 1);
  Rig other(7652, 1, 1);  // a second instrument object on its own address
  other.Connect();
  other.sim.ResetAtRequest(other.sim.RequestsSinceStart());
  EXPECT_EQ(other.api().SetIndirectControlBits(1), 0);
}

TEST(DspWindow, Bank1Bit0IsSetAndClearedWithOneSelect) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  rig.sim.SetSubRegister(1, 0, 0x0003);
  EXPECT_EQ(api.ClearBank1ControlBit0(), 1);
  rig.sim.SetSubRegister(1, 0, 0x0002);
  EXPECT_EQ(api.SetBank1ControlBit0(), 1);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(1, 0x200, 0), Rd(1, 0x201), Wr(1, 0x201, 0x0002),
                                                      Wr(1, 0x200, 0), Rd(1, 0x201), Wr(1, 0x201, 0x0003)}));
}

TEST(DspWindow, Bank1Bit0WritesNothingBackAfterAFailedSelectOrRead) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  TransferFaults faults;
  struct Case {
    platform::Transfer kind;
    std::uint64_t n;
    std::vector<Rig::Access> sent;
  } cases[] = {{platform::Transfer::Send, 0, {}},
               {platform::Transfer::Receive, 0, {Wr(1, 0x200, 0)}},
               {platform::Transfer::Receive, 1, {Wr(1, 0x200, 0), Rd(1, 0x201)}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(tessok::test::Name(c.kind)) + " " + std::to_string(c.n));
    rig.sim.ClearLog();
    faults.Fail(c.kind, c.n);
    EXPECT_EQ(api.SetBank1ControlBit0(), 0);
    EXPECT_EQ(rig.Accesses(), c.sent);
    faults.Clear();
    rig.Reconnect();  // the failed transfer ended the connection
  }
  EXPECT_TRUE(rig.sim.SubRegisterWrites(1, 0).empty());
}

TEST(DspWindow, Registers71To76) {
  Rig rig;
  rig.sim.SetReg(2, 72, 1);
  rig.sim.SetReg(2, 73, 2);
  rig.sim.SetReg(2, 74, 3);
  rig.sim.SetReg(2, 75, 4);
  rig.sim.SetReg(2, 71, 0x7171);
  rig.sim.SetReg(2, 76, 0x7676);
  rig.Connect();
  Tessok_API& api = rig.api();
  // Words 1, 2, 3, 4 of registers 72 to 75: 4 x 2^48 + 3 x 2^32 + 2 x 2^16 + 1.
  std::uint64_t value = ~0ull;
  EXPECT_EQ(api.AccessReg72To75(2, 0, &value), 1);
  EXPECT_EQ(value, 0x0004000300020001ull);
  std::uint16_t word = 0;
  EXPECT_EQ(api.ReadReg71(2, &word), 1);
  EXPECT_EQ(word, 0x7171);
  EXPECT_EQ(api.AccessReg76(2, 0, &word), 1);
  EXPECT_EQ(word, 0x7676);
  EXPECT_EQ(rig.Accesses(),
            (std::vector<Rig::Access>{Rd(2, 72), Rd(2, 73), Rd(2, 74), Rd(2, 75), Rd(2, 71), Rd(2, 76)}));

  rig.sim.ClearLog();
  value = 0x8000A000B000C001ull;
  EXPECT_EQ(api.AccessReg72To75(5, 7, &value), 1);
  EXPECT_EQ(value, 0x8000A000B000C001ull);
  EXPECT_EQ(api.WriteReg71(5, 0x1234), 1);
  word = 0x4321;
  EXPECT_EQ(api.AccessReg76(5, -1, &word), 1);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(5, 72, 0xC001), Wr(5, 73, 0xB000), Wr(5, 74, 0xA000),
                                                      Wr(5, 75, 0x8000), Wr(5, 71, 0x1234), Wr(5, 76, 0x4321)}));

  // The 64-bit access reports 1 when any of its four transfers succeeded: a
  // failed second send ends the connection after the first one went through.
  TransferFaults faults;
  faults.FailSend(1);
  EXPECT_EQ(api.AccessReg72To75(2, 0, &value), 1);
  rig.Reconnect();
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart());
  EXPECT_EQ(api.AccessReg72To75(2, 0, &value), 0);
  EXPECT_EQ(api.ReadReg71(2, &word), 0);
}

TEST(DspWindow, LaneControl22CIsWrittenThenRecorded) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  // Item 51 of lane 5: 0x2000 + 8 x (96 x 5 + 51) = 0x3098.
  EXPECT_EQ(api.SetLaneControl22C(5, 7), 1);
  EXPECT_EQ(rig.sim.EepromDouble(0x3098), 7.0);
  const std::vector<Rig::Access> all = rig.Accesses();
  ASSERT_EQ(all.size(), 1u + 16u);
  EXPECT_EQ(all.front(), Wr(5, 0x22C, 7));
  // The low 16 bits of the value are written and recorded.
  EXPECT_EQ(api.SetLaneControl22C(5, 0x12345), 1);
  EXPECT_EQ(rig.sim.EepromDouble(0x3098), 0x2345);
  // A bank outside 0-15 is still written (the link keeps 4 bank bits); the
  // status table refuses the record.
  for (auto [bank, wire] : {std::pair{17, 1u}, {-1, 15u}}) {
    rig.sim.ClearLog();
    EXPECT_EQ(api.SetLaneControl22C(bank, 9), 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(wire, 0x22C, 9)}));
  }
  // A failed write ends the connection: the record after it fails too.
  TransferFaults faults;
  faults.FailSend(0);
  rig.sim.ClearLog();
  EXPECT_EQ(api.SetLaneControl22C(5, 11), 0);
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
  EXPECT_EQ(rig.sim.EepromDouble(0x3098), 0x2345);
}
