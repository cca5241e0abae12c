// The command link on the wire: the bytes of every command, the bytes each
// command leaves as the previous one left them, and what a failed read hands back.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "TestSupport.h"
#include "link/Packet.h"

using namespace tessok;
using tessok::test::Rig;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Head(const sim::Packet& p, std::size_t n) { return Bytes(p.bytes.begin(), p.bytes.begin() + n); }

}  // namespace

TEST(Link, RegisterReadAndWriteBytes) {
  Rig rig;
  rig.Connect();
  std::uint16_t v = 0;
  ASSERT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), 1);
  EXPECT_EQ(v, 7652);
  v = 0x1234;
  ASSERT_EQ(APIAccessBoardRegister(0, 1, 3, 0x20C, &v), 1);
  ASSERT_EQ(APIAccessBoardRegister(0, 0, 0, 9, &v), 1);
  auto log = rig.sim.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(Head(log[0], 6), (Bytes{0xF0, 0x00, 0x00, 0x00, 0x14, 0x00}));
  EXPECT_EQ(Head(log[1], 8), (Bytes{0xF0, 0x00, 0x00, 0x00, 0x0C, 0x9A, 0x34, 0x12}));
  // The read leaves bytes 6-7 as the write left them.
  EXPECT_EQ(Head(log[2], 8), (Bytes{0xF0, 0x00, 0x00, 0x00, 0x09, 0x00, 0x34, 0x12}));
  EXPECT_EQ(rig.sim.Reg(3, 0x20C), 0x1234);
}

TEST(Link, ControlWordTakesBankModulo16) {
  struct Case {
    std::uint16_t bank, reg;
    bool write;
    std::uint16_t word;
  } cases[] = {
      {0, 20, false, 0x0014},    {15, 0x7FF, false, 0x7FFF}, {16, 5, false, 0x0005},
      {15, 0x7FF, true, 0xFFFF}, {17, 5, true, 0x8805},      {1, 10, true, 0x880A},
  };
  for (const Case& c : cases) {
    std::uint16_t w =
        c.write ? tessok::link::WriteControlWord(c.bank, c.reg) : tessok::link::ReadControlWord(c.bank, c.reg);
    EXPECT_EQ(w, c.word) << "bank " << c.bank << " reg " << c.reg;
  }
}

// Every command writes only its own bytes: the packet sent is the previous packet
// with those bytes replaced. A model of the buffer is kept alongside and every
// logged packet is compared with it in full.
TEST(Link, EveryCommandKeepsTheBytesItDoesNotDefine) {
  Rig rig;
  rig.Connect();
  HwLayer& hw = rig.api().hwLayer;
  std::array<std::uint8_t, 128> model{};
  auto put = [&](std::size_t at, Bytes bytes) { std::memcpy(&model[at], bytes.data(), bytes.size()); };
  std::vector<std::array<std::uint8_t, 128>> expected;
  static std::uint8_t out[1024 * 3];
  std::uint8_t page[128];
  for (int i = 0; i < 128; ++i) page[i] = static_cast<std::uint8_t>(0xA0 + i);

  std::uint16_t w = 0xBEEF;
  hw.AccessRegister(1, 2, 0x123, &w);
  put(0, {0xF0, 0, 0, 0, 0x23, 0x91, 0xEF, 0xBE});
  expected.push_back(model);

  hw.WriteEEPROMPage(0, 0x00012345, page);
  put(0, {0xF1, 0x00, 0x00, 0x80, 0x00, 0x45, 0x23, 0x01, 0x00});
  std::memcpy(&model[9], page, 119);
  expected.push_back(model);

  hw.AccessRegister(0, 0, 9, &w);
  put(0, {0xF0, 0, 0, 0, 0x09, 0x00});
  expected.push_back(model);

  hw.ReadResultBlock(5, out);
  put(0, {0xF1, 0x02, 0x05, 0x7F, 0x7F});
  expected.push_back(model);

  hw.ReadBlocks(6, 2, out);
  put(0, {0xF1, 0x02, 0x06, 0x00, 0x00});
  expected.push_back(model);
  put(3, {0x01});
  expected.push_back(model);

  hw.RequestBathtub(3, 0x11, 0x22, out);
  put(0, {0xF1, 0x03, 0x03, 0x11, 0x22});
  expected.push_back(model);

  hw.RequestVerticalBathtub(4, 0x33, out);
  put(0, {0xF1, 0x04, 0x04, 0x33, 0x7F});
  expected.push_back(model);

  hw.ReadEEPROMPage(0, 0x9000, out);
  put(0, {0xF1, 0x00, 0x01, 0x80, 0x00, 0x00, 0x90, 0x00, 0x00});
  expected.push_back(model);

  const std::uint8_t data[3] = {7, 8, 9};
  hw.WriteModuleBlock(0x50, 3, 0x60, data);
  put(0, {0xF1, 0x06, 0x00, 0x03, 0x50, 0x60});
  put(9, {7, 8, 9});
  expected.push_back(model);

  hw.ReadModuleBlock(0x51, 2, 0x61, out);
  put(0, {0xF1, 0x06, 0x01, 0x02, 0x51, 0x61});
  expected.push_back(model);

  hw.SendExtendedCommand(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 258, 11, 12, 13, 14);
  put(0, {0xF1, 0x07, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x02, 0x01, 11, 12, 13, 14});
  expected.push_back(model);

  hw.ReadBlocksRepeat(9, 1, out);
  put(0, {0xF1, 0x02, 0x09});
  expected.push_back(model);

  hw.ReadBlockRaw(out);
  put(0, {0xF1, 0x02});
  expected.push_back(model);

  hw.ReadBlock(7, 0x0102, std::vector<std::uint8_t>(0x0103 * 1024).data());
  put(0, {0xF1, 0x02, 0x07, 0x02, 0x00});
  expected.push_back(model);

  auto log = rig.sim.Log();
  ASSERT_EQ(log.size(), expected.size());
  for (std::size_t i = 0; i < log.size(); ++i) EXPECT_EQ(log[i].bytes, expected[i]) << "packet " << i;
}

TEST(Link, ParameterBlockBytes) {
  Rig rig;
  rig.Connect();
  EXPECT_TRUE(rig.api().hwLayer.SendExtendedCommand(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 258, 11, 12, 13, 14));
  auto log = rig.sim.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(Head(log[0], 20), (Bytes{0xF1, 0x07, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                                     0x07, 0x08, 0x09, 0x0A, 0x02, 0x01, 0x0B, 0x0C, 0x0D, 0x0E}));
}

TEST(Link, FailedReadHandsBackTheLastReply) {
  Rig rig;
  rig.sim.SetReg(0, 9, 0x1234);
  rig.Connect();
  std::uint16_t v = 0;
  ASSERT_EQ(APIAccessBoardRegister(0, 0, 0, 9, &v), 1);
  ASSERT_EQ(v, 0x1234);
  rig.sim.SetReg(0, 20, 0x5555);
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart());
  v = 0;
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), 0);
  EXPECT_EQ(v, 0x1234);
  // Later commands fail at once; the word still comes from the last reply.
  v = 0;
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), 0);
  EXPECT_EQ(v, 0x1234);
}

TEST(Link, PeerThatClosesFailsTheCommandAndEndsTheConnection) {
  Rig rig;
  rig.sim.SetReg(0, 9, 0x0042);
  rig.Connect();
  std::uint16_t v = 0;
  ASSERT_EQ(APIAccessBoardRegister(0, 0, 0, 9, &v), 1);
  rig.sim.CloseAtRequest(rig.sim.RequestsSinceStart());
  v = 0;
  // The receive returns 0 bytes: no reply. The word is still the last reply's.
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), 0);
  EXPECT_EQ(v, 0x0042);
  // The link closed its socket: the next command fails at once, without a request.
  EXPECT_EQ(rig.api().hwLayer.sock, platform::kNoSocket);
  const std::size_t requests = rig.sim.RequestsSinceStart();
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), 0);
  EXPECT_EQ(rig.sim.RequestsSinceStart(), requests);
  // Until the next connection.
  rig.Connect();
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 9, &v), 1);
  EXPECT_EQ(rig.sim.ConnectionCount(), 2);
}

TEST(Link, FreshObjectFailsAtOnce) {
  Tessok_API& api = g_apiInstances[5];
  std::uint16_t v = 0xFFFF;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(APIAccessBoardRegister(5, 0, 0, 20, &v), 0);
  EXPECT_EQ(v, 0);  // bytes 1-2 of a reply buffer that never received anything
  std::uint8_t out[128] = {};
  EXPECT_FALSE(api.hwLayer.ReadEEPROMPage(0, 0, out));
  EXPECT_FALSE(api.hwLayer.SendExtendedCommand(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(APIReadBoardID(5), 0);
  // No time-out was waited for (the link's is 100 s).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(Link, ReadBlockSendsOneRequestForEveryBlockNumber) {
  Rig rig;
  rig.Connect();
  std::vector<std::uint8_t> payload(1024);
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7 + 1);
  rig.sim.SetNumberedBlock(2, 0xFF, payload);
  std::vector<std::uint8_t> out(65536u * 1024u, 0);
  EXPECT_TRUE(rig.api().hwLayer.ReadBlock(2, 65535, out.data()));
  auto log = rig.sim.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(Head(log[0], 5), (Bytes{0xF1, 0x02, 0x02, 0xFF, 0x00}));
  EXPECT_EQ(rig.api().hwLayer.blockIndex, 65535);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), out.begin() + 65535u * 1024u));
  EXPECT_EQ(out[65535u * 1024u - 1], 0);
}

TEST(Link, ReadBlocksFillsOneKilobytePerBlock) {
  Rig rig;
  rig.Connect();
  for (unsigned k = 0; k < 3; ++k)
    rig.sim.SetNumberedBlock(1, k, std::vector<std::uint8_t>(1024, static_cast<std::uint8_t>(k + 1)));
  std::vector<std::uint8_t> out(3 * 1024, 0);
  EXPECT_TRUE(rig.api().hwLayer.ReadBlocks(1, 3, out.data()));
  for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(out[k * 1024 + 500], k + 1);
  EXPECT_TRUE(rig.api().hwLayer.ReadBlocks(1, 0, out.data()));
  EXPECT_EQ(rig.sim.Log().size(), 3u);  // a count of 0 sends nothing
}

TEST(Link, EepromPageAndModuleBusReplies) {
  Rig rig;
  rig.Connect();
  for (std::uint32_t i = 0; i < 128; ++i) rig.sim.SetEepromByte(0x9000 + i, static_cast<std::uint8_t>(i ^ 0x5A));
  std::uint8_t page[128] = {};
  ASSERT_TRUE(rig.api().hwLayer.ReadEEPROMPage(0, 0x9000, page));
  for (int i = 0; i < 128; ++i) EXPECT_EQ(page[i], i ^ 0x5A);

  const std::uint8_t data[4] = {0xDE, 0xAD, 0xBE, 0xEF};
  ASSERT_TRUE(rig.api().hwLayer.WriteModuleBlock(0xA0, 4, 0x10, data));
  EXPECT_EQ(rig.sim.ModuleMemory(0xA0, 0x10).size() >= 4, true);
  std::uint8_t back[4] = {};
  ASSERT_TRUE(rig.api().hwLayer.ReadModuleBlock(0xA0, 4, 0x10, back));
  EXPECT_EQ(std::memcmp(back, data, 4), 0);
}

TEST(Link, ModuleWriteOfMoreThan119BytesIsRefused) {
  Rig rig;
  rig.Connect();
  std::uint8_t data[200] = {};
  EXPECT_TRUE(rig.api().hwLayer.WriteModuleBlock(0, 119, 0, data));
  EXPECT_FALSE(rig.api().hwLayer.WriteModuleBlock(0, 120, 0, data));
  EXPECT_EQ(rig.sim.Log().size(), 1u);
}

TEST(Link, SplitAfterTheValueLeavesTheRestForTheNextReceive) {
  Rig rig;
  rig.sim.SetReg(0, 9, 0x0102);
  rig.sim.SetReg(0, 20, 0x0304);
  rig.Connect();
  // The first receive takes F0 02 01, all a register read needs: the read
  // succeeds. The reply is not reassembled, and the link cannot tell that more
  // of it is on its way: the rest waits for the next receive.
  rig.sim.SplitReplyAtRequest(rig.sim.RequestsSinceStart(), 3);
  std::uint16_t v = 0;
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 9, &v), 1);
  EXPECT_EQ(v, 0x0102);
  std::uint16_t next = 0xFFFF;
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &next), 1);
  EXPECT_EQ(rig.api().hwLayer.rxBuf[0], 0x00);  // the zeros after the value, not F0
  EXPECT_EQ(next, 0x0000);
}

TEST(Link, DisconnectForgetsTheSocket) {
  Rig rig;
  rig.Connect();
  EXPECT_EQ(APIDisconnect(0), 1);
  EXPECT_EQ(rig.api().hwLayer.sock, platform::kNoSocket);
  std::uint16_t v = 0;
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), 0);
  EXPECT_EQ(APIDisconnect(0), 0);  // nothing left to close
  EXPECT_EQ(rig.sim.Log().size(), 0u);
}

TEST(Link, BlockRequestsWriteTheirHeaderEvenForNoBlocks) {
  Rig rig;
  rig.Connect();
  HwLayer& hw = rig.api().hwLayer;
  std::uint8_t out[1024];
  hw.RequestBathtub(3, 0x11, 0x22, out);  // leaves 0x11 in byte 3
  EXPECT_TRUE(hw.ReadBlocks(6, 0, out));  // sends nothing, but writes bytes 0-2 and 4
  hw.ReadBlockRaw(out);
  EXPECT_TRUE(hw.ReadBlocksRepeat(9, 0, out));  // bytes 0-2 only
  hw.ReadBlockRaw(out);
  auto log = rig.sim.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(Head(log[1], 5), (Bytes{0xF1, 0x02, 0x06, 0x11, 0x00}));
  EXPECT_EQ(Head(log[2], 5), (Bytes{0xF1, 0x02, 0x09, 0x11, 0x00}));
}

// Every command whose receive finds the connection closed: its result (the
// block requests report true whatever happened), then the socket is gone.
TEST(Link, EveryCommandEndsTheConnectionWhenThePeerCloses) {
  static std::uint8_t out[3 * 1024];
  static const std::uint8_t in[128] = {};
  struct Case {
    const char* name;
    std::function<bool(HwLayer&)> call;
    bool result;
  } cases[] = {
      {"register read",
       [](HwLayer& hw) {
         std::uint16_t w = 0;
         return hw.AccessRegister(0, 0, 9, &w) != 0;
       },
       false},
      {"register write",
       [](HwLayer& hw) {
         std::uint16_t w = 5;
         return hw.AccessRegister(1, 0, 9, &w) != 0;
       },
       false},
      {"page read", [](HwLayer& hw) { return hw.ReadEEPROMPage(0, 0x9000, out); }, false},
      {"page write", [](HwLayer& hw) { return hw.WriteEEPROMPage(0, 0x9000, in); }, false},
      {"module read", [](HwLayer& hw) { return hw.ReadModuleBlock(1, 4, 2, out); }, false},
      {"module write", [](HwLayer& hw) { return hw.WriteModuleBlock(1, 4, 2, in); }, false},
      {"parameter block",
       [](HwLayer& hw) { return hw.SendExtendedCommand(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15); }, false},
      {"raw block", [](HwLayer& hw) { return hw.ReadBlockRaw(out); }, false},
      {"repeated blocks", [](HwLayer& hw) { return hw.ReadBlocksRepeat(2, 2, out); }, false},
      {"transact", [](HwLayer& hw) { return hw.Transact(in, 128, out, 1024); }, false},
      {"result block", [](HwLayer& hw) { return hw.ReadResultBlock(2, out); }, true},
      {"numbered blocks", [](HwLayer& hw) { return hw.ReadBlocks(2, 2, out); }, true},
      {"numbered block", [](HwLayer& hw) { return hw.ReadBlock(2, 1, out); }, true},
      {"bathtub", [](HwLayer& hw) { return hw.RequestBathtub(1, 2, 3, out); }, true},
      {"vertical bathtub", [](HwLayer& hw) { return hw.RequestVerticalBathtub(1, 2, out); }, true},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    HwLayer& hw = rig.api().hwLayer;
    rig.sim.CloseAtRequest(rig.sim.RequestsSinceStart());
    EXPECT_EQ(c.call(hw), c.result);
    EXPECT_EQ(hw.sock, platform::kNoSocket);
    // Only the request that met the close went out (a second block is not asked for).
    EXPECT_EQ(rig.sim.RequestCount(), 1u);
    std::uint16_t w = 0;
    EXPECT_EQ(hw.AccessRegister(0, 0, 9, &w), 0);
    EXPECT_EQ(rig.sim.RequestCount(), 1u);
  }
}

TEST(Link, ShortRepliesFailButStillFillTheCallersWordAndPage) {
  Rig rig;
  rig.sim.SetReg(0, 9, 0x1234);
  rig.sim.SetReg(0, 20, 0x5678);
  for (std::uint32_t i = 0; i < 128; ++i) {
    rig.sim.SetEepromByte(0x9000 + i, static_cast<std::uint8_t>(i ^ 0x5A));
    rig.sim.SetEepromByte(0x9080 + i, static_cast<std::uint8_t>(i + 1));
  }
  rig.sim.SetModuleMemory(0xA0, 0x10, {1, 2, 3, 4, 5, 6, 7, 8});
  rig.Connect();
  HwLayer& hw = rig.api().hwLayer;
  // A short reply fails its command and ends the connection; the next one
  // reads right.
  auto reconnectAfterShortReply = [&] {
    EXPECT_EQ(hw.sock, platform::kNoSocket);
    rig.Reconnect();
  };
  // A register reply F0 lo hi: with fewer than 3 bytes the word takes the rest
  // from the reply buffer, which held the read of register 9 (F0 34 12).
  struct Case {
    std::size_t length;
    std::uint8_t result;
    std::uint16_t word;
  } cases[] = {{1, 0, 0x1234}, {2, 0, 0x1278}, {3, 1, 0x5678}};
  for (const Case& c : cases) {
    std::uint16_t v = 0;
    ASSERT_EQ(APIAccessBoardRegister(0, 0, 0, 9, &v), 1);
    rig.sim.ShortReplyAtRequest(rig.sim.RequestsSinceStart(), c.length);
    v = 0;
    EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), c.result) << c.length << " bytes";
    EXPECT_EQ(v, c.word) << c.length << " bytes";
    if (c.result == 0) reconnectAfterShortReply();
  }
  // A page of 127 bytes: the last byte is the previous page's (127 ^ 0x5A).
  std::uint8_t page[128] = {};
  ASSERT_TRUE(hw.ReadEEPROMPage(0, 0x9000, page));
  rig.sim.ShortReplyAtRequest(rig.sim.RequestsSinceStart(), 127);
  EXPECT_FALSE(hw.ReadEEPROMPage(0, 0x9080, page));
  for (int i = 0; i < 127; ++i) EXPECT_EQ(page[i], i + 1) << i;
  EXPECT_EQ(page[127], 0x25);
  reconnectAfterShortReply();
  EXPECT_TRUE(hw.ReadEEPROMPage(0, 0x9080, page));
  EXPECT_EQ(page[127], 128);
  // A module-bus read needs its len bytes.
  std::uint8_t bytes[8] = {};
  rig.sim.ShortReplyAtRequest(rig.sim.RequestsSinceStart(), 8);
  EXPECT_TRUE(hw.ReadModuleBlock(0xA0, 8, 0x10, bytes));
  EXPECT_EQ(bytes[7], 8);
  rig.sim.ShortReplyAtRequest(rig.sim.RequestsSinceStart(), 7);
  EXPECT_FALSE(hw.ReadModuleBlock(0xA0, 8, 0x10, bytes));
  reconnectAfterShortReply();
  EXPECT_TRUE(hw.ReadModuleBlock(0xA0, 8, 0x10, bytes));
}

TEST(Link, FailedConnectClosesItsSocket) {
  auto openDescriptors = [] {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
  };
  // The test's own address, with no instrument behind it yet.
  const std::string address = tessok::test::TestAddress();
  Tessok_API& api = g_apiInstances[3];
  const int before = openDescriptors();
  EXPECT_EQ(APIConnect(3, address.c_str()), 0);
  EXPECT_EQ(api.hwLayer.sock, platform::kNoSocket);
  EXPECT_FALSE(api.hwLayer.Connect("not an address", 6653));
  EXPECT_EQ(api.hwLayer.sock, platform::kNoSocket);
  EXPECT_EQ(openDescriptors(), before);
  // An instrument that turns up later is not reached without a new connection.
  sim::SimInstrument late(address);
  std::uint16_t v = 0;
  EXPECT_EQ(APIAccessBoardRegister(3, 0, 0, 20, &v), 0);
  EXPECT_EQ(late.ConnectionCount(), 0);
  EXPECT_EQ(APIDisconnect(3), 0);  // nothing left to close
}

TEST(Link, TransferFaultFailsOnceAndEndsTheConnection) {
  Rig rig;
  rig.sim.SetReg(0, 40, 0x1111);
  rig.sim.SetReg(0, 41, 0x2222);
  rig.sim.SetReg(0, 42, 0x3333);
  rig.Connect();
  HwLayer& hw = rig.api().hwLayer;
  tessok::test::TransferFaults faults;
  auto read = [](unsigned reg, std::uint16_t expected, std::uint8_t result) {
    std::uint16_t v = 0;
    EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, static_cast<std::uint16_t>(reg), &v), result) << "register " << reg;
    EXPECT_EQ(v, expected) << "register " << reg;
  };
  // Every faulted transfer fails its exchange, and the link closes its socket.
  auto reconnect = [&] {
    EXPECT_EQ(hw.sock, platform::kNoSocket);
    rig.Reconnect();
  };
  // The second receive from now fails: the instrument carried the request out
  // and its reply was taken off the socket; the word is the previous reply's.
  faults.FailReceive(1);
  read(40, 0x1111, 1);
  read(41, 0x1111, 0);
  EXPECT_EQ(rig.sim.RequestCount(), 2u);
  read(42, 0x1111, 0);  // at once, without a request
  EXPECT_EQ(rig.sim.RequestCount(), 2u);
  reconnect();
  read(42, 0x3333, 1);
  // A failed send sends nothing, and the fault fires once.
  faults.FailSend(0);
  read(41, 0x3333, 0);
  EXPECT_EQ(rig.sim.RequestCount(), 3u);
  reconnect();
  read(41, 0x2222, 1);
  // A later fault of a kind replaces the pending one; sends and receives count
  // apart.
  faults.FailSend(0);
  faults.FailSend(1);
  faults.FailReceive(2);
  read(40, 0x1111, 1);
  read(41, 0x1111, 0);  // the second send
  reconnect();
  read(42, 0x3333, 1);  // the second receive: the failed send had none
  read(40, 0x3333, 0);  // the third receive
  reconnect();
  read(41, 0x2222, 1);
  // Cleared faults do not fire.
  faults.FailSend(0);
  faults.FailReceive(0);
  faults.Clear();
  read(41, 0x2222, 1);
}

TEST(Link, TransactWhoseSendFailsEndsTheConnection) {
  Rig rig;
  rig.sim.SetReg(0, 9, 0x1234);
  rig.Connect();
  HwLayer& hw = rig.api().hwLayer;
  std::uint8_t request[256] = {};
  link::BuildRegisterRead(request, 0, 9);
  std::uint8_t reply[1024] = {};
  ASSERT_TRUE(hw.Transact(request, 128, reply, sizeof reply));
  EXPECT_EQ(link::GetU16(&reply[1]), 0x1234);

  // The failed send reaches nothing; the socket is closed, so the next
  // command fails at once without a request, until the link connects again.
  tessok::test::TransferFaults faults;
  faults.FailSend(0);
  EXPECT_FALSE(hw.Transact(request, 128, reply, sizeof reply));
  EXPECT_EQ(hw.sock, platform::kNoSocket);
  EXPECT_FALSE(hw.Transact(request, 128, reply, sizeof reply));
  std::uint16_t v = 0;
  EXPECT_EQ(hw.AccessRegister(0, 0, 9, &v), 0);
  EXPECT_EQ(rig.sim.RequestCount(), 1u);
  rig.Reconnect();
  std::memset(reply, 0, sizeof reply);
  EXPECT_TRUE(hw.Transact(request, 128, reply, sizeof reply));
  EXPECT_EQ(link::GetU16(&reply[1]), 0x1234);
}

TEST(Link, TransferFaultsCountOverEverySocket) {
  Rig first(7652, 0, 0);
  Rig second(7652, 1, 1);
  first.Connect();
  second.Connect();
  tessok::test::TransferFaults faults;
  faults.FailSend(1);
  std::uint16_t v = 0;
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), 1);
  EXPECT_EQ(APIAccessBoardRegister(1, 0, 0, 20, &v), 0);
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), 1);
  EXPECT_EQ(second.sim.RequestCount(), 0u);
}
