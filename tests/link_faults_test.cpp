// A failed exchange ends the connection: a reply that comes late, or in
// pieces, is never taken for a later command's. The next command fails at once
// without a request, and the next connection reads right.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>

#include "FaultSupport.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::Rig;
using tessok::test::ShortTimeouts;

namespace {

// Long enough for a loopback round trip on a loaded machine, short enough to wait out.
constexpr std::uint32_t kTimeoutMs = 250;
constexpr std::chrono::milliseconds kLate{kTimeoutMs + kTimeoutMs / 2};

constexpr std::uint16_t kRegister = 9;
constexpr std::uint16_t kValue = 0xA55A;
constexpr std::uint32_t kPage = 0x9000;

std::uint8_t PageByte(int i) { return static_cast<std::uint8_t>(i * 3 + 1); }

// The command of a case, against the instrument set up below: true when it
// reported success with the instrument's own data.
bool ReadRegister(HwLayer& hw) {
  std::uint16_t v = 0;
  return hw.AccessRegister(0, 0, kRegister, &v) == 1 && v == kValue;
}

bool ReadPage(HwLayer& hw) {
  std::uint8_t page[128] = {};
  if (!hw.ReadEEPROMPage(0, kPage, page)) return false;
  for (int i = 0; i < 128; ++i) {
    if (page[i] != PageByte(i)) return false;
  }
  return true;
}

// After a failed exchange: no socket, and a read fails at once without
// reaching the instrument.
void ExpectLinkDown(Rig& rig) {
  EXPECT_EQ(rig.api().hwLayer.sock, platform::kNoSocket);
  const std::size_t requests = rig.sim.RequestsSinceStart();
  std::uint16_t v = 0;
  EXPECT_EQ(APIAccessBoardRegister(rig.index, 0, 0, 20, &v), 0);
  EXPECT_EQ(APIReadBoardID(rig.index), 0);
  EXPECT_EQ(rig.sim.RequestsSinceStart(), requests);
}

}  // namespace

TEST(LinkFaults, BrokenReplyEndsTheConnectionAndTheNextOneReadsRight) {
  struct Case {
    const char* name;
    std::function<bool(HwLayer&)> command;
    std::function<void(sim::SimInstrument&, std::size_t)> fault;
  } cases[] = {
      // The first piece lacks the value's high byte.
      {"register reply in two pieces", ReadRegister,
       [](sim::SimInstrument& s, std::size_t n) { s.SplitReplyAtRequest(n, 2); }},
      {"page reply in two pieces", ReadPage,
       [](sim::SimInstrument& s, std::size_t n) { s.SplitReplyAtRequest(n, 64); }},
      {"register reply past the time-out", ReadRegister,
       [](sim::SimInstrument& s, std::size_t n) { s.DelayReplyAtRequest(n, kLate); }},
      {"page reply past the time-out", ReadPage,
       [](sim::SimInstrument& s, std::size_t n) { s.DelayReplyAtRequest(n, kLate); }},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShortTimeouts timeouts(kTimeoutMs);
    Rig rig(7652, 0, ++salt);
    rig.sim.SetReg(0, kRegister, kValue);
    for (int i = 0; i < 128; ++i) rig.sim.SetEepromByte(kPage + static_cast<std::uint32_t>(i), PageByte(i));
    rig.Connect();
    HwLayer& hw = rig.api().hwLayer;
    ASSERT_TRUE(c.command(hw));
    c.fault(rig.sim, rig.sim.RequestsSinceStart());
    EXPECT_FALSE(c.command(hw));
    ExpectLinkDown(rig);
    rig.Connect();
    EXPECT_TRUE(c.command(hw));
    EXPECT_TRUE(c.command(hw));
    EXPECT_EQ(rig.sim.RequestCount(), 2u);
  }
}

// An instrument that takes the connection and never answers: the model read
// waits out one time-out, the link closes, and nothing else of the connection
// sequence is sent. The connection is still reported open, as it was.
TEST(LinkFaults, SilentInstrumentCostsOneTimeOut) {
  ShortTimeouts timeouts(kTimeoutMs);
  Rig rig;
  rig.sim.WithholdRepliesFrom(0);
  EXPECT_EQ(APIConnect(0, rig.sim.Address().c_str()), 1);
  EXPECT_EQ(rig.sim.RequestsSinceStart(), 1u);
  ExpectLinkDown(rig);
}
