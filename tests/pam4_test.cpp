// PAM4 histogram and signal-to-noise ratio, through the exported functions.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Payloads.h"
#include "TempDir.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::IsLogName;
using tessok::test::Padded;
using tessok::test::Rd;
using tessok::test::ReadFile;
using tessok::test::Rig;
using tessok::test::TempDir;
using tessok::test::U32Payload;

namespace {

constexpr int kBins = 160;
constexpr double kUntouched = -123.25;

struct Arrays {
  std::array<double, kBins> x, counts;
  Arrays() {
    x.fill(kUntouched);
    counts.fill(kUntouched);
  }
  bool Untouched() const {
    for (int i = 0; i < kBins; ++i) {
      if (x[i] != kUntouched || counts[i] != kUntouched) return false;
    }
    return true;
  }
};

// Counts whose decoding shows the word order and the sign: count i is
// i * 0x00010003 (so both halves differ), with a few words at the edges of
// the signed range.
std::vector<std::uint32_t> HistogramWords() {
  std::vector<std::uint32_t> w(kBins);
  for (int i = 0; i < kBins; ++i) w[i] = static_cast<std::uint32_t>(i) * 0x00010003u;
  w[3] = 0xFFFFFFFFu;  // -1
  w[4] = 0x80000000u;  // the most negative count
  w[5] = 0x7FFFFFFFu;  // the largest
  w[6] = 1234;
  return w;
}

double Signed(std::uint32_t w) { return static_cast<double>(static_cast<std::int32_t>(w)); }

// The 128 bytes a result-block request for bank sends: bytes 0-4 its own,
// the rest as the previous command left the packet.
std::array<std::uint8_t, 128> ResultRequest(const Tessok_API& api, std::uint8_t bank) {
  std::array<std::uint8_t, 128> bytes;
  std::memcpy(bytes.data(), api.hwLayer.txBuf, 128);
  const std::uint8_t head[5] = {0xF1, 0x02, bank, 0x7F, 0x7F};
  std::memcpy(bytes.data(), head, sizeof head);
  return bytes;
}

}  // namespace

TEST(Pam4Histogram, SignedCountsAtFixedPositionsFromTheMappedBank) {
  Rig rig(7746);
  rig.Connect();
  rig.api().channelMap[2] = 5;
  const auto words = HistogramWords();
  rig.sim.SetResultBlock(5, Padded(U32Payload(words)));
  const auto expectedPacket = ResultRequest(rig.api(), 5);

  Arrays a;
  EXPECT_EQ(APIGetPam4Histogram(0, 2, a.x.data(), a.counts.data()), 1);
  const auto log = rig.sim.Log();
  ASSERT_EQ(log.size(), 1u);  // one request for 160 bins
  EXPECT_EQ(log[0].bytes, expectedPacket);
  for (int i = 0; i < kBins; ++i) {
    EXPECT_EQ(a.counts[i], Signed(words[i])) << i;
    EXPECT_EQ(a.x[i], -5.0 + i / 16.0) << i;
  }
  EXPECT_EQ(a.counts[3], -1.0);
  EXPECT_EQ(a.counts[4], -2147483648.0);
  EXPECT_EQ(a.counts[2], 131078.0);  // 0x00020006: the low word first
  EXPECT_EQ(a.x[0], -5.0);
  EXPECT_EQ(a.x[80], 0.0);
  EXPECT_EQ(a.x[159], 4.9375);
}

TEST(Pam4Histogram, LogHoldsOneLinePerBin) {
  TempDir dir;
  Rig rig;
  rig.Connect();
  ASSERT_TRUE(APIConfigureApplication(0, "./clk/", dir.Prefix().c_str(), "", 1, 0));
  rig.api().channelMap[1] = 3;
  const auto words = HistogramWords();
  rig.sim.SetResultBlock(3, Padded(U32Payload(words)));
  Arrays a;
  EXPECT_EQ(APIGetPam4Histogram(0, 1, a.x.data(), a.counts.data()), 1);

  const auto files = dir.Entries();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(IsLogName(files[0], "Histogram_3_")) << files[0];  // named with the bank
  std::string expected;
  for (int i = 0; i < kBins; ++i) {
    char line[128];
    expected += std::string(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, "%f,%f\r\n",
                                                                         -5.0 + i * 0.0625, Signed(words[i]))));
  }
  EXPECT_EQ(ReadFile(dir.Path() / files[0]), expected);
  EXPECT_NE(expected.find("\r\n-4.625000,1234.000000\r\n"), std::string::npos);
}

TEST(Pam4Histogram, LogThatCannotBeWrittenFailsWithTheArraysFilled) {
  TempDir dir;
  tessok::test::WriteTextFile(dir.Path() / "plain", "x");
  const std::string directories[] = {(dir.Path() / "missing").string() + "/", (dir.Path() / "plain").string() + "/"};
  for (const std::string& d : directories) {
    Rig rig;
    rig.Connect();
    APIConfigureApplication(0, "./clk/", d.c_str(), "", 1, 0);
    rig.sim.SetResultBlock(0, Padded(U32Payload({7, 0xFFFFFFFFu})));
    Arrays a;
    EXPECT_EQ(APIGetPam4Histogram(0, 0, a.x.data(), a.counts.data()), 0) << d;
    EXPECT_EQ(a.counts[0], 7.0);
    EXPECT_EQ(a.counts[1], -1.0);
    EXPECT_EQ(a.x[159], 4.9375);
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"plain"});
}

TEST(Pam4Histogram, BlockThatDidNotArriveWholeChangesNothing) {
  // A peer that closes answers 0 bytes; a reset is a receive error; a short
  // reply holds fewer than the 640 bytes of the counts; a link that is down
  // sends nothing. Each is one request at most, result 0, arrays and log as
  // they were, and the link is down afterwards: the next histogram sends nothing.
  enum Fault { kClose, kReset, kShort, kDown };
  for (Fault f : {kClose, kReset, kShort, kDown}) {
    TempDir dir;
    Rig rig;
    rig.Connect();
    APIConfigureApplication(0, "./clk/", dir.Prefix().c_str(), "", 1, 0);
    rig.sim.SetResultBlock(0, Padded(U32Payload(HistogramWords())));
    const std::size_t next = rig.sim.RequestsSinceStart();
    if (f == kClose) rig.sim.CloseAtRequest(next);
    if (f == kReset) rig.sim.ResetAtRequest(next);
    if (f == kShort) rig.sim.ShortReplyAtRequest(next, 639);
    if (f == kDown) APIDisconnect(0);
    Arrays a;
    EXPECT_EQ(APIGetPam4Histogram(0, 0, a.x.data(), a.counts.data()), 0) << f;
    EXPECT_TRUE(a.Untouched()) << f;
    EXPECT_EQ(rig.sim.RequestCount(), f == kDown ? 0u : 1u) << f;
    EXPECT_TRUE(dir.Entries().empty()) << f;
    EXPECT_EQ(rig.api().hwLayer.sock, platform::kNoSocket) << f;
    EXPECT_EQ(APIGetPam4Histogram(0, 0, a.x.data(), a.counts.data()), 0) << f;
    EXPECT_EQ(rig.sim.RequestCount(), f == kDown ? 0u : 1u) << f;
  }
}

TEST(Pam4Histogram, ReplyOfExactlyTheCountsIsEnough) {
  Rig rig;
  rig.Connect();
  rig.sim.SetResultBlock(0, U32Payload(HistogramWords()));  // 640 bytes
  Arrays a;
  EXPECT_EQ(APIGetPam4Histogram(0, 0, a.x.data(), a.counts.data()), 1);
  EXPECT_EQ(a.counts[159], Signed(159u * 0x00010003u));
}

TEST(Pam4Histogram, BadChannelOrArraySendsNothing) {
  Rig rig;
  rig.Connect();
  rig.api().channelMap[1] = 16;  // a map entry outside the banks
  Arrays a;
  for (int ch : {-1, 16, 1000, 1}) {
    EXPECT_EQ(APIGetPam4Histogram(0, ch, a.x.data(), a.counts.data()), 0) << ch;
  }
  EXPECT_EQ(APIGetPam4Histogram(0, 0, nullptr, a.counts.data()), 0);
  EXPECT_EQ(APIGetPam4Histogram(0, 0, a.x.data(), nullptr), 0);
  EXPECT_EQ(rig.api().GetPam4Histogram(0, a.x.data(), nullptr), 0);
  EXPECT_EQ(APIGetPam4Histogram(32, 0, a.x.data(), a.counts.data()), 0);
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
  EXPECT_TRUE(a.Untouched());
}

TEST(Pam4SignalToNoise, RawValueToDecibels) {
  // Model 7746 holds a linear noise figure (37.1 - 10 log10 raw dB); the
  // others count tenths of a decibel.
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    std::uint16_t model, raw;
    double db;
  } cases[] = {
      {7746, 0, inf}, {7746, 1, 37.1},       {7746, 10, 37.1 - 10.0}, {7746, 100, 37.1 - 20.0}, {7652, 253, 25.3},
      {7652, 0, 0.0}, {7652, 65535, 6553.5}, {7841, 1, 0.1},          {7775, 10, 1.0},
  };
  for (const Case& c : cases) {
    Rig rig(c.model);
    rig.Connect();
    for (std::uint32_t pam4 : {0u, 1u}) {  // the lane's PAM4 flag plays no part
      rig.api().pam4Mode[2] = pam4;
      rig.sim.SetReg(2, 0x30E, c.raw);
      double snr = -1.0;
      EXPECT_EQ(APIGetPam4SignalToNoiseRatio(0, 2, &snr), 1);
      EXPECT_DOUBLE_EQ(snr, c.db) << c.model << " " << c.raw;
    }
  }
}

TEST(Pam4SignalToNoise, ReadsTheChannelAsBankAndKeepsTheStaleWord) {
  Rig rig;
  rig.Connect();
  rig.api().channelMap[3] = 7;  // not consulted
  rig.sim.SetReg(3, 0x30E, 120);
  double snr = 0.0;
  EXPECT_EQ(APIGetPam4SignalToNoiseRatio(0, 3, &snr), 1);
  EXPECT_EQ(snr, 12.0);
  EXPECT_EQ(rig.Accesses(), std::vector<Rig::Access>{Rd(3, 0x30E)});
  EXPECT_EQ(rig.api().regScratch.word[1], 120);

  // A failed read computes from the previous reply's word: register 9's 400.
  rig.sim.SetReg(0, 9, 400);
  std::uint16_t v = 0;
  APIAccessBoardRegister(0, 0, 0, 9, &v);
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart());
  EXPECT_EQ(APIGetPam4SignalToNoiseRatio(0, 3, &snr), 0);
  EXPECT_EQ(snr, 40.0);
  EXPECT_EQ(APIGetPam4SignalToNoiseRatio(0, 3, nullptr), 0);
}
