// The command link on the wire: the bytes of every command, the bytes each
// command leaves as the previous one left them, and what a failed read hands back.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <vector>

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
      {0, 20, false, 0x0014},   {15, 0x7FF, false, 0x7FFF}, {16, 5, false, 0x0005},
      {15, 0x7FF, true, 0xFFFF}, {17, 5, true, 0x8805},      {1, 10, true, 0x880A},
  };
  for (const Case& c : cases) {
    std::uint16_t w = c.write ? tessok::link::WriteControlWord(c.bank, c.reg) : tessok::link::ReadControlWord(c.bank, c.reg);
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
  EXPECT_EQ(Head(log[0], 20), (Bytes{0xF1, 0x07, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
                                    0x0A, 0x02, 0x01, 0x0B, 0x0C, 0x0D, 0x0E}));
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

TEST(Link, PeerThatClosesCountsAsReceivedOnce) {
  Rig rig;
  rig.sim.SetReg(0, 9, 0x0042);
  rig.Connect();
  std::uint16_t v = 0;
  ASSERT_EQ(APIAccessBoardRegister(0, 0, 0, 9, &v), 1);
  rig.sim.CloseAtRequest(rig.sim.RequestsSinceStart());
  v = 0;
  // The receive returns 0 bytes, which counts as received: the word is the last reply's.
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &v), 1);
  EXPECT_EQ(v, 0x0042);
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
  for (unsigned k = 0; k < 3; ++k) rig.sim.SetNumberedBlock(1, k, std::vector<std::uint8_t>(1024, static_cast<std::uint8_t>(k + 1)));
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

TEST(Link, SplitReplyIsNotReassembled) {
  Rig rig;
  rig.sim.SetReg(0, 9, 0x0102);
  rig.sim.SetReg(0, 20, 0x0304);
  rig.Connect();
  // The first receive takes only the first byte of the reply: bytes 1-2 are
  // what the buffer held; the rest of the reply waits for the next receive.
  rig.sim.SplitReplyAtRequest(rig.sim.RequestsSinceStart(), 1);
  std::uint16_t v = 0;
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 9, &v), 1);
  EXPECT_EQ(rig.api().hwLayer.rxBuf[0], 0xF0);
  std::uint16_t next = 0;
  EXPECT_EQ(APIAccessBoardRegister(0, 0, 0, 20, &next), 1);
  // The next receive starts with the remainder of the earlier reply (02 01 00 ...).
  EXPECT_EQ(rig.api().hwLayer.rxBuf[0], 0x02);
  EXPECT_EQ(next, 0x0001);
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
