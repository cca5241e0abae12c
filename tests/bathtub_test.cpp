// Horizontal and vertical bathtub acquisitions: the reply decodings, then the
// operations against the simulated instrument.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "FaultSupport.h"
#include "Payloads.h"
#include "TempDir.h"
#include "TestSupport.h"
#include "measure/BathtubDecoding.h"

using namespace tessok::measure;
using tessok::test::IsLogName;
using tessok::test::Padded;
using tessok::test::PairPayload;
using tessok::test::ReadFile;
using tessok::test::Rig;
using tessok::test::TempDir;
using tessok::test::TransferFaults;
using tessok::test::U16Payload;
using tessok::test::U32Payload;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

struct Decoded {
  std::vector<double> ber, x;
};

Decoded Decode(const BathtubDecoding& d, const std::vector<std::uint8_t>& reply, std::uint64_t gate, double step) {
  Decoded out{std::vector<double>(static_cast<std::size_t>(d.points), -1.0),
              std::vector<double>(static_cast<std::size_t>(d.points), -1.0)};
  const std::vector<std::uint8_t> padded = Padded(reply);
  DecodeBathtub(d, padded.data(), gate, step, out.ber.data(), out.x.data());
  return out;
}

void ExpectBer(double actual, double expected, int i) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(actual)) << i;
  } else {
    EXPECT_EQ(actual, expected) << i;
  }
}

}  // namespace

TEST(BathtubDecoding, ReplyLengthsOfEachForm) {
  EXPECT_EQ(ReplyBytes(kHorizontal128), 512u);  // 128 pairs; the 129th pair is not read
  EXPECT_EQ(ReplyBytes(kHorizontal64), 256u);
  EXPECT_EQ(ReplyBytes(kHorizontalWithGate), 516u);
  EXPECT_EQ(ReplyBytes(kVertical128), 512u);
  EXPECT_EQ(ReplyBytes(kVertical64), 1024u);
}

TEST(BathtubDecoding, CountAndMultiplierPairs) {
  // count / (1 for multiplier 1, else multiplier x 10) / 25000.
  const std::vector<std::pair<std::pair<std::uint16_t, std::uint16_t>, double>> cases = {
      {{25000, 1}, 1.0},
      {{25000, 2}, 0.05},
      {{25000, 10}, 25000.0 / 100.0 / 25000.0},
      {{1, 1}, 1.0 / 25000.0},
      {{65535, 65535}, 65535.0 / 655350.0 / 25000.0},
      {{25000, 0}, kInf},  // a zero divisor follows IEEE arithmetic
      {{0, 0}, std::numeric_limits<double>::quiet_NaN()},
      {{0, 3}, 0.0},
  };
  std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs(129, {7, 1});
  for (std::size_t i = 0; i < cases.size(); ++i) pairs[i] = cases[i].first;
  pairs[127] = {50, 2};
  pairs[128] = {25000, 1};  // the 129th pair is not decoded
  const Decoded d = Decode(kHorizontal128, PairPayload(pairs), 0, 0.75);
  for (std::size_t i = 0; i < cases.size(); ++i) ExpectBer(d.ber[i], cases[i].second, static_cast<int>(i));
  EXPECT_EQ(d.ber[127], 50.0 / 20.0 / 25000.0);
  for (int i = 0; i < 128; ++i) EXPECT_EQ(d.x[static_cast<std::size_t>(i)], i * 0.75);
}

TEST(BathtubDecoding, ThirtyTwoBitCountsOverTheGate) {
  // Low 16-bit word first; all 32 bits count. The 64-step divisor is the
  // programmed gate x 10 formed in 64 bits: 0x20000000 x 10 is 5368709120, not
  // the 1073741824 that 32 bits would leave.
  std::vector<std::uint32_t> words(129, 0);
  words[0] = 0xFFFFFFFFu;
  words[1] = 0x00010000u;
  words[2] = 0x00000001u;
  words[63] = 5368709120u / 10u;
  words[64] = 1234;  // beyond the 64-step form's points
  words[128] = 0x80000000u;
  const auto reply = U32Payload(words);

  const Decoded sixtyFour = Decode(kHorizontal64, reply, 0x20000000u, 1.5625);
  EXPECT_EQ(sixtyFour.ber[0], 4294967295.0 / 5368709120.0);
  EXPECT_EQ(sixtyFour.ber[1], 65536.0 / 5368709120.0);
  EXPECT_EQ(sixtyFour.ber[63], 0.1);
  EXPECT_EQ(sixtyFour.x[63], 63 * 1.5625);

  const Decoded tenThousand = Decode(kHorizontal64, reply, 1000, 1.0);
  EXPECT_EQ(tenThousand.ber[2], 1.0 / 10000.0);
  const Decoded zeroGate = Decode(kHorizontal64, reply, 0, 1.0);
  EXPECT_EQ(zeroGate.ber[0], kInf);
  EXPECT_TRUE(std::isnan(zeroGate.ber[3]));

  // The caller's gate divides whole: above 2^32 - 1 it is not cut to 32 bits.
  const std::uint64_t wide = (std::uint64_t{1} << 32) + 5;
  const Decoded withGate = Decode(kHorizontalWithGate, reply, wide, 0.5);
  EXPECT_EQ(withGate.ber[0], 4294967295.0 / (static_cast<double>(wide) * 25000.0));
  EXPECT_EQ(withGate.ber[128], 2147483648.0 / (static_cast<double>(wide) * 25000.0));
  EXPECT_EQ(withGate.x[128], 64.0);
  const Decoded unitGate = Decode(kHorizontalWithGate, reply, 1, 0.5);
  EXPECT_EQ(unitGate.ber[64], 1234.0 / 25000.0);
}

TEST(BathtubDecoding, VerticalForms) {
  std::vector<std::uint16_t> words16(256, 0);
  words16[0] = 25000;
  words16[255] = 65535;
  const Decoded narrow = Decode(kVertical128, U16Payload(words16), 999, 1.5);
  EXPECT_EQ(narrow.ber[0], 1.0);
  EXPECT_EQ(narrow.ber[255], 65535.0 / 25000.0);
  EXPECT_EQ(narrow.x[255], 255 * 1.5);

  // 64-step counts over 10000 whatever the gate.
  std::vector<std::uint32_t> words32(256, 0);
  words32[0] = 10000;
  words32[1] = 0x00010000u;
  words32[255] = 0xFFFFFFFFu;
  for (std::uint64_t gate : {0u, 1000u, 77u}) {
    const Decoded wide = Decode(kVertical64, U32Payload(words32), gate, 2.0);
    EXPECT_EQ(wide.ber[0], 1.0);
    EXPECT_EQ(wide.ber[1], 6.5536);
    EXPECT_EQ(wide.ber[255], 4294967295.0 / 10000.0);
    EXPECT_EQ(wide.x[255], 510.0);
  }
}

// ---- The operations ----

namespace {

constexpr double kSentinel = -7.5;

// Everything the instrument received, in order: register reads "R bank reg",
// writes "W bank reg value", extended commands "X" and their first five bytes.
std::vector<std::string> Trace(const Rig& rig) {
  std::vector<std::string> out;
  char text[64];
  for (const tessok::sim::Packet& p : rig.sim.Log()) {
    if (p.IsRead()) {
      std::snprintf(text, sizeof text, "R %u %#x", p.Bank(), p.Reg());
    } else if (p.IsWrite()) {
      std::snprintf(text, sizeof text, "W %u %#x %u", p.Bank(), p.Reg(), p.Data());
    } else {
      std::snprintf(text, sizeof text, "X %02X %02X %02X %02X %02X", p.bytes[0], p.bytes[1], p.bytes[2], p.bytes[3],
                    p.bytes[4]);
    }
    out.push_back(text);
  }
  return out;
}

// The pattern checker's reads at a bank: its enable register, then its state.
std::vector<std::string> Checker(unsigned bank) {
  char a[32], b[32];
  std::snprintf(a, sizeof a, "R %u %#x", bank, 0x21B);
  std::snprintf(b, sizeof b, "R %u %#x", bank, 0x21C);
  return {a, b};
}

// The gate: high then low half, at bank 0 and then bank 4.
std::vector<std::string> Gate(std::uint32_t gate) {
  const unsigned hi = gate >> 16, lo = gate & 0xFFFF;
  return {"W 0 0x301 " + std::to_string(hi), "W 0 0x300 " + std::to_string(lo), "W 4 0x301 " + std::to_string(hi),
          "W 4 0x300 " + std::to_string(lo)};
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

void Synchronise(Rig& rig, unsigned bank) { rig.sim.SetReadValue(bank, 0x21C, 1); }

// A well-formed 128-step bathtub in (count, multiplier 1) pairs: a left flank
// of halving counts from 12500 (BER 0.5) at entries 0-13, an opening of
// zeros, the mirror flank at 114-127. Its halving flanks have no wrong-way
// point and no steepness drop, so cleaning removes nothing: entries 65-127
// move down by one and entry 127 stands twice. The 129th pair is not read.
const std::uint16_t kFlank[14] = {12500, 6250, 3125, 1562, 781, 390, 195, 97, 48, 24, 12, 6, 3, 1};

std::vector<std::pair<std::uint16_t, std::uint16_t>> Bathtub128() {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs(129, {0, 1});
  for (int i = 0; i < 14; ++i) {
    pairs[static_cast<std::size_t>(i)] = {kFlank[i], 1};
    pairs[static_cast<std::size_t>(127 - i)] = {kFlank[i], 1};
  }
  pairs[128] = {25000, 1};
  return pairs;
}

// The BER the cleaned 128-step curve holds at entry i (0-127).
double Cleaned128(int i) {
  const auto pairs = Bathtub128();
  const int from = i < 64 ? i : (i < 127 ? i + 1 : 127);
  return pairs[static_cast<std::size_t>(from)].first / 25000.0;
}

// A well-formed 64-step bathtub in 32-bit counts: flanks of halving counts at
// entries 0-12 and 51-63 around zeros.
std::vector<std::uint32_t> Bathtub64() {
  const std::uint32_t flank[13] = {5000, 2500, 1250, 625, 312, 156, 78, 39, 19, 9, 4, 2, 1};
  std::vector<std::uint32_t> words(64, 0);
  for (int i = 0; i < 13; ++i) {
    words[static_cast<std::size_t>(i)] = flank[i];
    words[static_cast<std::size_t>(63 - i)] = flank[i];
  }
  return words;
}

std::string ExpectedLog(const double* first, const double* second, int lines) {
  std::string out;
  for (int i = 0; i < lines; ++i) {
    char line[128];
    const int n = std::snprintf(line, sizeof line, "%f,%f\r\n", first[i], second[i]);
    out.append(line, static_cast<std::size_t>(n));
  }
  return out;
}

struct Arrays {
  std::array<double, 256> x, ber;
  Arrays() {
    x.fill(kSentinel);
    ber.fill(kSentinel);
  }
  bool Untouched() const {
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (x[i] != kSentinel || ber[i] != kSentinel) return false;
    }
    return true;
  }
};

// Curve logs on, into the directory.
void LogInto(const TempDir& dir) { ASSERT_TRUE(APIConfigureApplication(0, "./clk/", dir.Prefix().c_str(), "", 1, 0)); }

}  // namespace

TEST(MeasureBathtub, CleanedCurveOnTheUniformGridWithItsLog) {
  TempDir dir;
  Rig rig;
  rig.Connect();
  LogInto(dir);
  Tessok_API& api = rig.api();
  api.channelMap[1] = 2;
  api.phaseStep[2] = 0.75;
  api.bathtubBer[2][128] = 0.125;  // the 129th entry the caller receives comes from the table
  api.horizontalFitValid[2] = 1;
  Synchronise(rig, 2);
  rig.sim.SetResultBlock(2, Padded(PairPayload(Bathtub128())));

  Arrays a;
  EXPECT_EQ(api.MeasureBathtub(1, a.x.data(), a.ber.data()), 1);
  // The checker of the bank (mapped once more by the checker itself), the gate
  // of a fresh object (0, never programmed), the result block.
  EXPECT_EQ(Trace(rig), Join({Checker(2), Gate(0), {"X F1 02 02 7F 7F"}}));
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(a.ber[static_cast<std::size_t>(i)], Cleaned128(i)) << i;
    EXPECT_EQ(api.bathtubBer[2][i], Cleaned128(i)) << i;
  }
  EXPECT_EQ(a.ber[128], 0.125);
  for (int i = 0; i < 129; ++i) {
    EXPECT_EQ(a.x[static_cast<std::size_t>(i)], i * 0.75) << i;
    EXPECT_EQ(api.bathtubX[2][i], i * 0.75) << i;
  }
  EXPECT_EQ(a.ber[129], kSentinel);
  EXPECT_EQ(api.horizontalFitValid[2], 0);

  // 128 lines: the 129th entry is handed back but not logged.
  const auto files = dir.Entries();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(IsLogName(files[0], "BathTub_2_")) << files[0];
  EXPECT_EQ(ReadFile(dir.Path() / files[0]), ExpectedLog(a.x.data(), a.ber.data(), 128));

  // A programmed gate stays: the next acquisition is checker and block only.
  rig.sim.ClearLog();
  EXPECT_EQ(api.MeasureBathtub(1, a.x.data(), a.ber.data()), 1);
  EXPECT_EQ(Trace(rig), Join({Checker(2), {"X F1 02 02 7F 7F"}}));
}

TEST(MeasureBathtub, CurveFailingTheCheckIsStoredButNotFlaggedOrLogged) {
  TempDir dir;
  Rig rig;
  rig.Connect();
  LogInto(dir);
  Tessok_API& api = rig.api();
  api.phaseStep[0] = 2.0;
  api.horizontalFitValid[0] = 1;
  Synchronise(rig, 0);
  // A closed eye: no zero anywhere. Multiplier 1 divides by 1, 2 by 20.
  std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs(129, {25000, 1});
  pairs[5] = {25000, 2};
  rig.sim.SetResultBlock(0, Padded(PairPayload(pairs)));
  Arrays a;
  EXPECT_EQ(api.MeasureBathtub(0, a.x.data(), a.ber.data()), 1);
  EXPECT_EQ(a.ber[0], 1.0);
  EXPECT_EQ(a.ber[5], 0.05);
  EXPECT_EQ(api.bathtubBer[0][5], 0.05);
  EXPECT_EQ(a.x[100], 200.0);
  EXPECT_EQ(api.horizontalFitValid[0], 1);  // the earlier fit stays in force
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(MeasureBathtub, SixtyFourStepCountsOverTheGateInSixtyFourBits) {
  TempDir dir;
  Rig rig(7792);
  rig.Connect();
  LogInto(dir);
  Tessok_API& api = rig.api();
  api.SetGateTime(0x20000000);   // x 10 overflows 32 bits
  api.bathtubBer[3][64] = 1e-7;  // the unmeasured entry the cleaning shifts in
  Synchronise(rig, 3);
  const auto words = Bathtub64();
  rig.sim.SetResultBlock(3, Padded(U32Payload(words)));
  rig.sim.ClearLog();

  Arrays a;
  EXPECT_EQ(api.MeasureBathtub(3, a.x.data(), a.ber.data()), 1);
  EXPECT_EQ(Trace(rig), Join({Checker(3), {"X F1 02 03 7F 7F"}}));  // the gate is set already
  const double divisor = 5368709120.0;
  // Entries 0-31 as measured, 33-64 moved down to 32-63.
  for (int k = 0; k < 63; ++k) {
    const std::size_t from = static_cast<std::size_t>(k < 32 ? k : k + 1);
    EXPECT_EQ(a.ber[static_cast<std::size_t>(k)], words[from] / divisor) << k;
    EXPECT_EQ(a.x[static_cast<std::size_t>(k)], k * 1.5625) << k;
  }
  EXPECT_EQ(a.ber[63], 1e-7);
  EXPECT_EQ(a.ber[64], kSentinel);  // 64 entries only
  EXPECT_EQ(api.bathtubX[3][63], 63 * 1.5625);
  const auto files = dir.Entries();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(ReadFile(dir.Path() / files[0]), ExpectedLog(a.x.data(), a.ber.data(), 64));
}

TEST(MeasureBathtub, FixUpsChooseTheBankOfEverything) {
  // Checker, request, tables, flag and log name all follow the bank.
  struct Case {
    std::uint16_t model;
    std::vector<tessok::sim::RegisterValue> registers;
    bool remapLane3;
    int ch;
    unsigned bank;
  } cases[] = {
      {7775, {}, true, 3, 2},             // lane 3 moved to 2
      {7775, {}, false, 3, 3},            // not moved
      {7841, {{57, 0x40}}, false, 1, 0},  // lane 1 moved to 0
      {7841, {}, false, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.model) + " channel " + std::to_string(c.ch));
    TempDir dir;
    Rig rig(c.model, c.registers);
    rig.Connect();
    LogInto(dir);
    Tessok_API& api = rig.api();
    if (c.remapLane3) {
      api.remapLane3 = 1;
      api.RefreshBoardTraits();
    }
    api.gateTimeSet = 1;
    api.gateTime = 1000;
    api.phaseStep[c.bank] = 1.0;
    Synchronise(rig, c.bank);
    const bool sixtyFour = api.board.row->sixtyFourStep;
    rig.sim.SetResultBlock(c.bank, sixtyFour ? Padded(U32Payload(Bathtub64())) : Padded(PairPayload(Bathtub128())));
    api.horizontalFitValid[c.bank] = 1;
    Arrays a;
    EXPECT_EQ(api.MeasureBathtub(c.ch, a.x.data(), a.ber.data()), 1);
    char block[32];
    std::snprintf(block, sizeof block, "X F1 02 %02X 7F 7F", c.bank);
    EXPECT_EQ(Trace(rig), Join({Checker(c.bank), {block}}));
    EXPECT_EQ(api.bathtubBer[c.bank][0], a.ber[0]);
    EXPECT_EQ(api.horizontalFitValid[c.bank], 0);
    const auto files = dir.Entries();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(IsLogName(files[0], "BathTub_" + std::to_string(c.bank) + "_")) << files[0];
  }
}

TEST(MeasureBathtub, CheckerThatReadsZeroOrCannotBeRead) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  Arrays a;
  // On a working link a checker reading 0 is no lock: 1, nothing requested.
  EXPECT_EQ(api.MeasureBathtub(0, a.x.data(), a.ber.data()), 1);
  EXPECT_EQ(Trace(rig), Checker(0));
  // The state read failing is a failed acquisition: 0 and nothing more sent.
  Synchronise(rig, 0);
  rig.sim.ClearLog();
  TransferFaults faults;
  faults.FailReceive(1);
  EXPECT_EQ(api.MeasureBathtub(0, a.x.data(), a.ber.data()), 0);
  EXPECT_EQ(Trace(rig), Checker(0));
  EXPECT_TRUE(a.Untouched());
  EXPECT_EQ(api.gateTimeSet, 0);
}

TEST(MeasureBathtub, BlockThatDidNotArriveWholeChangesNothing) {
  enum Fault { kClose, kShort, kReceive, kSend };
  for (Fault f : {kClose, kShort, kReceive, kSend}) {
    SCOPED_TRACE(f);
    TempDir dir;
    Rig rig;
    rig.Connect();
    LogInto(dir);
    Tessok_API& api = rig.api();
    api.gateTimeSet = 1;
    api.horizontalFitValid[0] = 1;
    for (int i = 0; i < 129; ++i) api.bathtubBer[0][i] = api.bathtubX[0][i] = 3.0;
    Synchronise(rig, 0);
    rig.sim.SetResultBlock(0, Padded(PairPayload(Bathtub128())));
    TransferFaults faults;
    const std::size_t block = rig.sim.RequestsSinceStart() + 2;  // after the checker's two reads
    if (f == kClose) rig.sim.CloseAtRequest(block);
    if (f == kShort) rig.sim.ShortReplyAtRequest(block, 511);  // the 128 pairs need 512
    if (f == kReceive) faults.FailReceive(2);
    if (f == kSend) faults.FailSend(2);
    Arrays a;
    EXPECT_EQ(api.MeasureBathtub(0, a.x.data(), a.ber.data()), 0);
    EXPECT_TRUE(a.Untouched());
    for (int i = 0; i < 129; ++i) {
      EXPECT_EQ(api.bathtubBer[0][i], 3.0);
      EXPECT_EQ(api.bathtubX[0][i], 3.0);
    }
    EXPECT_EQ(api.horizontalFitValid[0], 1);
    EXPECT_TRUE(dir.Entries().empty());
    EXPECT_EQ(rig.sim.RequestCount(), f == kSend ? 2u : 3u);
    EXPECT_EQ(api.hwLayer.sock, tessok::platform::kNoSocket);  // the link ended with the block
  }
}

TEST(MeasureBathtub, LogThatCannotBeWrittenFailsWithTheCurveStored) {
  TempDir dir;
  Rig rig;
  rig.Connect();
  const std::string missing = (dir.Path() / "missing").string() + "/";
  APIConfigureApplication(0, "./clk/", missing.c_str(), "", 1, 0);
  Tessok_API& api = rig.api();
  api.phaseStep[0] = 1.0;
  api.horizontalFitValid[0] = 1;
  Synchronise(rig, 0);
  rig.sim.SetResultBlock(0, Padded(PairPayload(Bathtub128())));
  Arrays a;
  EXPECT_EQ(api.MeasureBathtub(0, a.x.data(), a.ber.data()), 0);
  EXPECT_EQ(a.ber[0], 0.5);
  EXPECT_EQ(api.bathtubBer[0][126], 0.5);
  EXPECT_EQ(api.horizontalFitValid[0], 0);
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(MeasureBathtub, BadChannelOrArraySendsNothing) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.channelMap[2] = 16;
  Arrays a;
  for (int ch : {-1, 16, 2}) EXPECT_EQ(api.MeasureBathtub(ch, a.x.data(), a.ber.data()), 0) << ch;
  EXPECT_EQ(api.MeasureBathtub(0, nullptr, a.ber.data()), 0);
  EXPECT_EQ(api.MeasureBathtub(0, a.x.data(), nullptr), 0);
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
  EXPECT_TRUE(a.Untouched());
}

TEST(MeasureBathtubMultiChannel, SelectionAndWhereEachCurveGoes) {
  // enable entries count only when exactly 1; the first selects its channel, a
  // second selects all (bank 4); none selects channel 0. The 64-step decoding
  // serves every model, here a 128-step one.
  struct Case {
    std::array<std::uint32_t, 4> enable;
    unsigned bank;
    std::vector<int> stored;  // channels stored, at offset 64 x c (selection 4) or 0
    bool flagsCleared;
  } cases[] = {
      {{0, 1, 0, 0}, 1, {1}, false}, {{1, 0, 1, 0}, 4, {0, 2}, true}, {{2, 0, 0, 0}, 0, {0}, false},
      {{0, 0, 0, 0}, 0, {0}, false}, {{0, 0, 0, 1}, 3, {3}, false},   {{1, 1, 1, 1}, 4, {0, 1, 2, 3}, true},
  };
  // Each channel's block holds counts that tell the channels apart.
  std::vector<std::uint32_t> words(256);
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint32_t>(1000 * (i / 64) + i % 64);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bank);
    Rig rig;
    rig.Connect();
    Tessok_API& api = rig.api();
    api.gateTime = 10;  // divisor 100
    for (int ch = 0; ch < 4; ++ch) {
      api.phaseStep[ch] = 1.0 + ch;
      api.horizontalFitValid[ch] = 1;
    }
    Synchronise(rig, 2);  // one checker is enough
    rig.sim.SetResultBlock(c.bank, U32Payload(words));
    Arrays a;
    EXPECT_EQ(api.MeasureBathtubMultiChannel(c.enable.data(), a.x.data(), a.ber.data()), 1);
    char block[32];
    std::snprintf(block, sizeof block, "X F1 02 %02X 7F 7F", c.bank);
    // Gate, block, then the checkers of channels 0 to 3 in turn: 13 requests.
    EXPECT_EQ(Trace(rig), Join({Gate(10), {block}, Checker(0), Checker(1), Checker(2), Checker(3)}));
    for (int ch : c.stored) {
      const std::size_t offset = c.bank == 4 ? static_cast<std::size_t>(64 * ch) : 0;
      const std::size_t source = c.bank == 4 ? static_cast<std::size_t>(64 * ch) : 0;
      for (int k = 0; k < 64; ++k) {
        const double ber = words[source + static_cast<std::size_t>(k)] / 100.0;
        EXPECT_EQ(a.ber[offset + static_cast<std::size_t>(k)], ber) << ch << " " << k;
        EXPECT_EQ(a.x[offset + static_cast<std::size_t>(k)], k * (1.0 + ch));
        EXPECT_EQ(api.bathtubBer[ch][k], ber);
        EXPECT_EQ(api.bathtubX[ch][k], k * (1.0 + ch));
      }
    }
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(api.horizontalFitValid[ch], c.flagsCleared ? 0 : 1) << ch;
    if (c.bank == 4 && c.stored.size() == 2) {
      EXPECT_EQ(a.ber[64], kSentinel);  // channel 1 not enabled: its place stays
      EXPECT_EQ(api.bathtubBer[1][0], 0.0);
    }
  }
}

TEST(MeasureBathtubMultiChannel, NoCheckerLockedOrATransferFailed) {
  const std::uint32_t enable[4] = {0, 0, 1, 0};
  {
    Rig rig;
    rig.Connect();
    rig.sim.SetResultBlock(2, U32Payload(std::vector<std::uint32_t>(64, 500)));
    Arrays a;
    // No checker locked: the block was asked for, nothing is stored, the result is the request's.
    EXPECT_EQ(rig.api().MeasureBathtubMultiChannel(enable, a.x.data(), a.ber.data()), 1);
    EXPECT_EQ(rig.sim.RequestCount(), 13u);
    EXPECT_TRUE(a.Untouched());
  }
  for (int fault = 0; fault < 3; ++fault) {
    SCOPED_TRACE(fault);
    Rig rig;
    rig.Connect();
    Synchronise(rig, 0);
    rig.sim.SetResultBlock(2, U32Payload(std::vector<std::uint32_t>(64, 500)));
    TransferFaults faults;
    std::size_t sent = 0;
    if (fault == 0) {
      rig.sim.ShortReplyAtRequest(rig.sim.RequestsSinceStart() + 4, 255);  // one block is 256 bytes
      sent = 5;                                                            // gate and block: no checker is asked
    } else if (fault == 1) {
      faults.FailReceive(4);  // the block's receive
      sent = 5;
    } else {
      faults.FailReceive(8);  // the state read of channel 1's checker
      sent = 9;
    }
    Arrays a;
    EXPECT_EQ(rig.api().MeasureBathtubMultiChannel(enable, a.x.data(), a.ber.data()), 0);
    EXPECT_EQ(rig.sim.RequestCount(), sent);
    EXPECT_EQ(rig.api().hwLayer.sock, tessok::platform::kNoSocket);
    EXPECT_TRUE(a.Untouched());
    EXPECT_EQ(rig.api().bathtubBer[2][0], 0.0);
  }
}

TEST(MeasureBathtubMultiChannel, MovedLaneOneIsChannelZero) {
  // On a 7841 whose lane 1 is moved, selecting channel 1 asks for bank 0 and
  // stores the curve as channel 0's; other selections stay.
  for (auto [enable1, bank, stored] : {std::tuple{1u, 0u, 0}, std::tuple{0u, 2u, 2}}) {
    Rig rig(7841, {{57, 0x40}});
    rig.Connect();
    Synchronise(rig, 0);
    const std::uint32_t enable[4] = {0, enable1, enable1 == 1 ? 0u : 1u, 0};
    rig.api().gateTime = 1;
    rig.sim.SetResultBlock(bank, U32Payload(std::vector<std::uint32_t>(64, 30)));
    Arrays a;
    EXPECT_EQ(rig.api().MeasureBathtubMultiChannel(enable, a.x.data(), a.ber.data()), 1);
    EXPECT_EQ(rig.sim.Log()[4].bytes[2], bank);
    EXPECT_EQ(rig.api().bathtubBer[stored][0], 3.0);
  }
}

TEST(MeasureBathtubWithGate, WholeGateDividesLowHalfProgrammed) {
  TempDir dir;
  Rig rig;
  rig.Connect();
  LogInto(dir);
  Tessok_API& api = rig.api();
  // The request takes the channel itself; the checker maps it as it always does.
  api.channelMap[2] = 5;
  api.phaseStep[2] = 0.5;
  api.horizontalFitValid[2] = 1;
  for (int i = 0; i < 129; ++i) api.bathtubX[2][i] = 9.0;
  Synchronise(rig, 5);
  std::vector<std::uint32_t> words(129);
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint32_t>(i * 0x00010001u);
  words[128] = 0xFFFFFFFFu;
  rig.sim.SetBathtub(2, U32Payload(words));  // 516 bytes
  const std::uint64_t gate = (std::uint64_t{1} << 32) + 0x12345;
  Arrays a;
  api.MeasureBathtubWithGate(2, gate, 0xA5, 0x3C, a.x.data(), a.ber.data());
  // The gate registers take the low 32 bits; a and b pass through.
  EXPECT_EQ(Trace(rig), Join({Gate(0x12345), Checker(5), {"X F1 03 02 A5 3C"}}));
  EXPECT_EQ(api.gateTime, 0x12345u);
  const double divisor = static_cast<double>(gate) * 25000.0;
  for (std::size_t i = 0; i < 129; ++i) {
    EXPECT_EQ(a.ber[i], words[i] / divisor) << i;
    EXPECT_EQ(a.x[i], static_cast<double>(i) * 0.5);
    EXPECT_EQ(api.bathtubBer[2][i], a.ber[i]);
    EXPECT_EQ(api.bathtubX[2][i], 9.0);  // positions are not stored
  }
  EXPECT_EQ(api.horizontalFitValid[2], 0);
  const auto files = dir.Entries();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(IsLogName(files[0], "BathTub_2_"));
  EXPECT_EQ(ReadFile(dir.Path() / files[0]), ExpectedLog(a.x.data(), a.ber.data(), 129));
}

TEST(MeasureBathtubWithGate, StopsWithoutLockOrWholeReplyAndSkipsAFailedLog) {
  TempDir dir;
  Rig rig(7841, {{57, 0x40}});
  rig.Connect();
  Tessok_API& api = rig.api();
  Arrays a;
  // Channel 1 of this 7841 is channel 0; its checker reads 0: the gate only.
  api.MeasureBathtubWithGate(1, 1000, 1, 2, a.x.data(), a.ber.data());
  EXPECT_EQ(Trace(rig), Join({Gate(1000), Checker(0)}));
  EXPECT_TRUE(a.Untouched());

  Synchronise(rig, 0);
  api.horizontalFitValid[0] = 1;
  rig.sim.SetBathtub(0, U32Payload(std::vector<std::uint32_t>(128, 7)));  // 512 bytes: one count short
  rig.sim.ClearLog();
  api.MeasureBathtubWithGate(1, 1000, 1, 2, a.x.data(), a.ber.data());
  EXPECT_EQ(Trace(rig), Join({Gate(1000), Checker(0), {"X F1 03 00 01 02"}}));
  EXPECT_TRUE(a.Untouched());
  EXPECT_EQ(api.horizontalFitValid[0], 1);
  // The short reply ended the connection.
  EXPECT_EQ(api.hwLayer.sock, tessok::platform::kNoSocket);
  rig.Reconnect();

  const std::string missing = (dir.Path() / "missing").string() + "/";
  APIConfigureApplication(0, "./clk/", missing.c_str(), "", 1, 0);
  rig.sim.SetBathtub(0, U32Payload(std::vector<std::uint32_t>(129, 25000)));
  api.MeasureBathtubWithGate(1, 1, 1, 2, a.x.data(), a.ber.data());
  EXPECT_EQ(a.ber[128], 1.0);
  EXPECT_EQ(api.horizontalFitValid[0], 0);
  EXPECT_TRUE(dir.Entries().empty());

  // A channel outside the lanes sends nothing.
  rig.sim.ClearLog();
  api.MeasureBathtubWithGate(16, 1, 1, 2, a.x.data(), a.ber.data());
  api.MeasureBathtubWithGate(0, 1, 1, 2, nullptr, a.ber.data());
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
}

// ---- Vertical ----

namespace {

// EEPROM address of a lane's status item 9 (output amplitude): 0x2000 + 8 x (96 x lane + 9).
constexpr std::uint32_t kAmplitudeItemLane2 = 0x2648;
constexpr std::uint32_t kAmplitudeItemLane0 = 0x2048;

// The status item's read: eight (address write, data read) pairs.
std::vector<std::string> StatusItemRead(std::uint32_t address) {
  std::vector<std::string> out;
  for (std::uint32_t i = 0; i < 8; ++i) {
    out.push_back("W 0 0xa " + std::to_string(address + i));
    out.push_back("R 0 0xb");
  }
  return out;
}

}  // namespace

TEST(MeasureVerticalBathtub, OneTwentyEightStepCurveAndMeasuredStep) {
  TempDir dir;
  Rig rig;
  rig.sim.SeedDouble(kAmplitudeItemLane2, 400.0);
  rig.Connect();
  LogInto(dir);
  Tessok_API& api = rig.api();
  api.channelMap[2] = 7;  // the checker's bank only
  api.gateTime = 77;
  api.calibration.laneGain[2] = 2.0;
  api.calibration.eyeFirstRow[2] = 10;
  api.calibration.eyeLastRow[2] = 110;
  api.verticalFitValid[2] = 1;
  Synchronise(rig, 7);
  std::vector<std::uint16_t> counts(256);
  for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = static_cast<std::uint16_t>(i * 100);
  counts[250] = 25000;
  rig.sim.SetVerticalBathtub(2, U16Payload(counts));  // 512 bytes
  Arrays a;
  api.MeasureVerticalBathtub(2, 0x42, a.x.data(), a.ber.data());
  EXPECT_EQ(Trace(rig), Join({Gate(77), Checker(7), StatusItemRead(kAmplitudeItemLane2), {"X F1 04 02 42 7F"}}));
  EXPECT_EQ(tessok::test::SleepRecorder::Waits(), std::vector<std::uint32_t>(8, 10));
  EXPECT_EQ(api.calibration.thresholdStepMeasured[2], 2.0);  // 400 / 2 / 100
  for (std::size_t i = 0; i < 256; ++i) {
    EXPECT_EQ(a.ber[i], counts[i] / 25000.0) << i;
    EXPECT_EQ(a.x[i], static_cast<double>(i) * 1.5);  // the store's fixed 1.5 mV per step
    EXPECT_EQ(api.vBathtubBer[2][i], a.ber[i]);
    EXPECT_EQ(api.vBathtubY[2][i], a.x[i]);
  }
  EXPECT_EQ(a.ber[250], 1.0);
  EXPECT_EQ(api.vBathtubBer[2][256], 0.0);  // the last two entries are never written
  EXPECT_EQ(api.verticalFitValid[2], 1);
  EXPECT_EQ(api.gateTime, 77u);
  const auto files = dir.Entries();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(IsLogName(files[0], "VerticalBathTub_2_"));
  EXPECT_EQ(ReadFile(dir.Path() / files[0]), ExpectedLog(a.x.data(), a.ber.data(), 256));
}

TEST(MeasureVerticalBathtub, MeasuredStepFromGainAndRows) {
  // amplitude / gain (0 counts as 1) / (last row - first row as a signed
  // 32-bit difference); no capture yet leaves 0 rows: the IEEE quotient.
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double amplitude, gain;
    std::uint32_t first, last;
    double step;
  } cases[] = {
      {400.0, 0.0, 0, 50, 8.0},
      {400.0, -4.0, 0, 50, -2.0},
      {300.0, 1.0, 110, 10, -3.0},
      {400.0, 1.0, 0, 0, inf},
      {0.0, 1.0, 0, 0, std::numeric_limits<double>::quiet_NaN()},
      {100.0, 1.0, 0, 0xFFFFFFFFu, -100.0},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.sim.SeedDouble(kAmplitudeItemLane0, c.amplitude);
    rig.Connect();
    Tessok_API& api = rig.api();
    api.calibration.laneGain[0] = c.gain;
    api.calibration.eyeFirstRow[0] = c.first;
    api.calibration.eyeLastRow[0] = c.last;
    Synchronise(rig, 0);
    Arrays a;
    api.MeasureVerticalBathtub(0, 0, a.x.data(), a.ber.data());
    const double step = api.calibration.thresholdStepMeasured[0];
    if (std::isnan(c.step)) {
      EXPECT_TRUE(std::isnan(step));
    } else {
      EXPECT_EQ(step, c.step) << c.amplitude << " " << c.gain << " " << c.first << " " << c.last;
    }
  }
}

TEST(MeasureVerticalBathtub, SixtyFourStepModels) {
  // Counts over 10000 whatever the gate; the gate goes to 1000 once the reply
  // is in. Positions from the store's evaluator: the step just measured on
  // 7822 and 7841, the rate polynomial on 7792.
  struct Case {
    std::uint16_t model;
    std::vector<tessok::sim::RegisterValue> registers;
    int ch;
    unsigned lane;
    std::uint32_t amplitudeAddress;
  } cases[] = {
      {7841, {{57, 0x40}}, 1, 0, kAmplitudeItemLane0},  // lane 1 moved to 0
      {7822, {}, 2, 2, kAmplitudeItemLane2},
      {7792, {}, 2, 2, kAmplitudeItemLane2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    Rig rig(c.model, c.registers);
    rig.sim.SeedDouble(c.amplitudeAddress, 300.0);
    rig.Connect();
    Tessok_API& api = rig.api();
    api.gateTime = 5;
    api.lineRate[c.lane] = 10.3125;
    api.calibration.eyeLastRow[c.lane] = 100;  // 3 mV per step
    Synchronise(rig, c.lane);
    std::vector<std::uint32_t> counts(256);
    for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = static_cast<std::uint32_t>(i * 0x00010001u);
    counts[3] = 10000;
    rig.sim.SetVerticalBathtub(c.lane, U32Payload(counts));  // 1024 bytes
    Arrays a;
    api.MeasureVerticalBathtub(c.ch, 9, a.x.data(), a.ber.data());
    char request[32];
    std::snprintf(request, sizeof request, "X F1 04 %02X 09 7F", c.lane);
    EXPECT_EQ(Trace(rig), Join({Gate(5), Checker(c.lane), StatusItemRead(c.amplitudeAddress), {request}, Gate(1000)}));
    EXPECT_EQ(api.gateTime, 1000u);
    EXPECT_EQ(api.calibration.thresholdStepMeasured[c.lane], 3.0);
    const double step = c.model == 7792 ? api.calibration.ComputeThresholdStep(7792, 2, 0.0, 10.3125) : 3.0;
    EXPECT_NE(step, 1.5);
    for (std::size_t i = 0; i < 256; ++i) {
      EXPECT_EQ(a.ber[i], counts[i] / 10000.0) << i;
      EXPECT_EQ(a.x[i], step * static_cast<double>(i)) << i;
      EXPECT_EQ(api.vBathtubY[c.lane][i], a.x[i]);
    }
    EXPECT_EQ(a.ber[3], 1.0);
  }
}

TEST(MeasureVerticalBathtub, NoCaptureYetGivesNotANumberPositions) {
  // With no eye capture the measured step is 300 / 0 = infinity, and on a 7841
  // the positions follow it: y[0] = 0 x infinity is NaN.
  Rig rig(7841);
  rig.sim.SeedDouble(0x2000 + 8 * (96 * 3 + 9), 300.0);
  rig.Connect();
  Synchronise(rig, 3);
  Arrays a;
  rig.api().MeasureVerticalBathtub(3, 0, a.x.data(), a.ber.data());
  EXPECT_TRUE(std::isnan(a.x[0]));
  EXPECT_EQ(a.x[1], std::numeric_limits<double>::infinity());
}

TEST(MeasureVerticalBathtub, NothingStoredWithoutLockOrWholeReply) {
  TempDir dir;
  Rig rig(7822);
  rig.Connect();
  LogInto(dir);
  Tessok_API& api = rig.api();
  api.gateTime = 5;
  api.calibration.thresholdStepMeasured[1] = 4.0;
  Arrays a;
  // The checker reads 0: the gate has been programmed, nothing else happens.
  api.MeasureVerticalBathtub(1, 0, a.x.data(), a.ber.data());
  EXPECT_EQ(Trace(rig), Join({Gate(5), Checker(1)}));

  // A reply short of the 1024 bytes of 256 32-bit counts: no step, no curve,
  // no log, and no gate of 1000.
  Synchronise(rig, 1);
  rig.sim.SetVerticalBathtub(1, U32Payload(std::vector<std::uint32_t>(255, 1)));
  rig.sim.ClearLog();
  api.MeasureVerticalBathtub(1, 0, a.x.data(), a.ber.data());
  EXPECT_EQ(rig.sim.RequestCount(), 4u + 2u + 16u + 1u);
  EXPECT_EQ(api.gateTime, 5u);
  EXPECT_EQ(api.calibration.thresholdStepMeasured[1], 4.0);
  EXPECT_TRUE(a.Untouched());
  EXPECT_EQ(api.vBathtubBer[1][0], 0.0);
  EXPECT_TRUE(dir.Entries().empty());

  // Bad channel or array: nothing sent.
  rig.sim.ClearLog();
  api.MeasureVerticalBathtub(-1, 0, a.x.data(), a.ber.data());
  api.MeasureVerticalBathtub(16, 0, a.x.data(), a.ber.data());
  api.MeasureVerticalBathtub(1, 0, nullptr, a.ber.data());
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
}

TEST(MeasureVerticalBathtub, LogThatCannotBeWrittenIsSkipped) {
  TempDir dir;
  tessok::test::WriteTextFile(dir.Path() / "plain", "x");
  Rig rig;
  rig.Connect();
  const std::string through = (dir.Path() / "plain").string() + "/";
  APIConfigureApplication(0, "./clk/", through.c_str(), "", 1, 0);
  Synchronise(rig, 0);
  rig.sim.SetVerticalBathtub(0, U16Payload(std::vector<std::uint16_t>(256, 2500)));
  Arrays a;
  rig.api().MeasureVerticalBathtub(0, 0, a.x.data(), a.ber.data());
  EXPECT_EQ(a.ber[255], 0.1);
  EXPECT_EQ(rig.api().vBathtubBer[0][255], 0.1);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"plain"});
}
