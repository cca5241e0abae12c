// Error insertion, counter commands and codes, the running counters with 48-
// and 64-bit counts, the BER summary, group counts, the gated BER of all
// channels and the error-correction counters.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "EepromTrace.h"
#include "FaultSupport.h"
#include "TestSupport.h"
#include "calibration/Conversions.h"

using namespace tessok;
using tessok::test::EepromTrace;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::Wr;
using Wire = std::vector<Rig::Access>;

namespace {

constexpr unsigned kCommand = 0x302;

// The reads of a lane's running counters, in the order the library makes them.
Wire CountReads(unsigned bank, bool bits48To63, bool elapsed) {
  Wire w{Rd(bank, 0x303), Rd(bank, 0x304), Rd(bank, 0x305)};
  if (bits48To63) w.push_back(Rd(bank, 0x30F));
  if (elapsed) {
    w.push_back(Rd(bank, 0x306));
    w.push_back(Rd(bank, 0x307));
  }
  return w;
}

Wire Concat(std::initializer_list<Wire> parts) {
  Wire out;
  for (const Wire& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace

// ---- Error insertion ----

TEST(ErrorInsertion, BothNamesRecordThenWriteTheWord) {
  Rig rig(7775);
  rig.sim.SetReg(0, 33, 11);  // lane 3 moved to bank 2
  rig.Connect();
  EXPECT_EQ(APIErrorInsertion(0, 1, 0x1234), 1);
  EXPECT_EQ(APIErrorInserationMode(0, 3, 0x0042), 1);
  // Item 16 of lane 1 at 0x2380 and of lane 2 at 0x2680.
  EXPECT_EQ(EepromTrace(rig.sim.Log()),
            (std::vector<std::string>{"write 0x2380", "W 1:523", "write 0x2680", "W 2:523"}));
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Wr(1, 0x20B, 0x1234), Wr(2, 0x20B, 0x0042)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2380), 4660.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x2680), 66.0);
  APIDisconnect(0);
  EXPECT_EQ(APIErrorInsertion(0, 1, 1), 0);
  EXPECT_EQ(APIErrorInserationMode(0, 1, 1), 0);
}

TEST(ErrorInsertion, OptionWordBetweenTheTwoWrites) {
  Rig rig(7775);
  rig.sim.SetReg(0, 33, 11);
  rig.Connect();
  // (3 & 7) << 8 | (5 & 0x7F) << 1 | 1 = 0x030B; the channel is not moved.
  EXPECT_EQ(APIErrorInsertionKestrine(0, 3, 1, 5, 3, 0x0077), 1);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (std::vector<std::string>{"W 3:523", "write 0x2980", "W 3:523"}));
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Wr(3, 0x20B, 0x0077), Wr(3, 0x20B, 0x030B)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2980), 3.0);  // c, not the word

  // b and c are masked, a is not: 9 & 7 = 1, 0xFF & 0x7F = 0x7F, a = 0x1001 whole.
  rig.sim.ClearLog();
  EXPECT_EQ(APIErrorInsertionKestrine(0, 0, 0x1001, 0xFF, 9, 0), 1);
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Wr(0, 0x20B, 0), Wr(0, 0x20B, 0x11FF)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2080), 9.0);
}

// ---- Counter commands ----

TEST(CounterCommands, ClearGoesToBankThreeWithTheChannelCode) {
  struct Case {
    int ch;
    std::uint16_t code;
  } cases[] = {{2, 6},   {0, 4},  {16, 20},     {17, 17},     {18, 18},     {20, 20},
               {25, 20}, {-4, 0}, {-5, 0xFFFF}, {INT_MIN, 4}, {INT_MAX, 20}};
  Rig rig(7652);
  rig.Connect();
  Wire expected;
  for (const Case& c : cases) {
    EXPECT_EQ(apiBERClearErrorCounters(0, c.ch), 1) << c.ch;
    expected.push_back(Wr(3, kCommand, c.code));
  }
  EXPECT_EQ(rig.Accesses(), expected);
  APIDisconnect(0);
  EXPECT_EQ(apiBERClearErrorCounters(0, 2), 0);
}

TEST(CounterCommands, RealTimeEnableByModelFamily) {
  auto lanes = [](int n, std::uint16_t data) {
    Wire w;
    for (int i = 0; i < n; ++i) w.push_back(Wr(static_cast<unsigned>(i), kCommand, data));
    return w;
  };
  struct Case {
    const char* name;
    std::uint16_t model;
    std::vector<sim::RegisterValue> options;
    std::uint32_t mode;
    Wire wire;
  } cases[] = {
      {"four lanes, start", 7652, {}, 1, {Wr(3, kCommand, 20), Wr(0, kCommand, 1)}},
      {"four lanes, stop", 7652, {}, 0, {Wr(0, kCommand, 2)}},
      {"four lanes, mode 5", 7652, {}, 5, {Wr(0, kCommand, 5)}},
      {"eight lanes, start", 7686, {}, 1, {Wr(3, kCommand, 20), Wr(0, kCommand, 1), Wr(4, kCommand, 1)}},
      {"7668 without option 11", 7668, {}, 1, {Wr(3, kCommand, 20), Wr(0, kCommand, 1), Wr(4, kCommand, 1)}},
      {"bank command, start", 7828, {}, 1, {Wr(3, kCommand, 20), Wr(1, kCommand, 20)}},
      {"bank command, stop", 7828, {}, 0, {Wr(2, kCommand, 20)}},
      {"per lane, eight lanes, start", 7746, {{34, 1}}, 1, lanes(8, 1)},
      {"per lane, stop", 7746, {}, 0, lanes(4, 0)},
      {"7668 with option 11", 7668, {{31, 11}}, 3, lanes(8, 3)},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, 0, ++salt);
    for (const sim::RegisterValue& r : c.options) rig.sim.SetReg(0, r.reg, r.value);
    rig.Connect();
    EXPECT_EQ(APIRealTimeBEREnable(0, c.mode), 1) << c.name;
    EXPECT_EQ(rig.Accesses(), c.wire) << c.name;
    APIDisconnect(0);
    EXPECT_EQ(APIRealTimeBEREnable(0, c.mode), 0) << c.name;
  }
}

TEST(CounterCommands, RunByChannelCodeOrByCode) {
  Rig rig(7652);
  rig.Connect();
  Tessok_API& api = rig.api();
  struct Case {
    bool byCode;
    std::uint16_t channel;
    int mode;
    Wire wire;
  } cases[] = {
      {false, 2, 0, {Wr(2, kCommand, 6)}},
      {false, 2, 1, {Wr(3, kCommand, 6), Wr(1, kCommand, 6)}},
      {false, 16, 1, {Wr(3, kCommand, 20), Wr(1, kCommand, 20)}},
      {false, 25, 7, {Wr(7, kCommand, 20)}},
      {false, 0, -1, {Wr(15, kCommand, 4)}},  // the mode is the bank, 4 bits on the wire
      {true, 18, 1, {Wr(3, kCommand, 18), Wr(1, kCommand, 18)}},
      {true, 2, 0, {Wr(2, kCommand, 2)}},
      {true, 0x1234, 9, {Wr(9, kCommand, 0x1234)}},
  };
  for (const Case& c : cases) {
    rig.sim.ClearLog();
    const std::uint8_t r = c.byCode ? api.SetErrorCounterRunCode(c.channel, static_cast<std::uint32_t>(c.mode))
                                    : api.SetErrorCounterRun(c.channel, c.mode);
    EXPECT_EQ(r, 1) << c.channel << " mode " << c.mode;
    EXPECT_EQ(rig.Accesses(), c.wire) << c.channel << " mode " << c.mode;
  }
  APIDisconnect(0);
  EXPECT_EQ(api.SetErrorCounterRun(2, 1), 0);
}

TEST(CounterCommands, ConfigurationValuesThenTheCommand) {
  Rig rig(7652);
  rig.Connect();
  Tessok_API& api = rig.api();
  const Wire values{Wr(0, 0x224, 11), Wr(0, 0x221, 22), Wr(0, 0x225, 33)};
  EXPECT_EQ(api.ConfigureBERCounters(11, 22, 33, 1), 1);
  EXPECT_EQ(rig.Accesses(), Concat({values, {Wr(0, kCommand, 3)}}));
  rig.sim.ClearLog();
  EXPECT_EQ(api.ConfigureBERCounters(11, 22, 33, 0), 1);
  EXPECT_EQ(rig.Accesses(), Concat({values, {Wr(0, kCommand, 2)}}));
  rig.sim.ClearLog();
  EXPECT_EQ(api.ConfigureBERCounters(11, 22, 33, 2), 0);  // no command, nothing to report
  EXPECT_EQ(rig.Accesses(), values);
  APIDisconnect(0);
  EXPECT_EQ(api.ConfigureBERCounters(1, 2, 3, 1), 0);
}

// ---- Running counters ----

TEST(RealTimeBer, SixtyFourBitCountsOnlyWhereTheBoardHasThem) {
  struct Case {
    std::uint16_t model;
    bool bits48To63;
  } cases[] = {{7746, true}, {7652, false}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, 0, ++salt);
    rig.Connect();
    for (unsigned i = 0; i < 4; ++i) rig.sim.SetErrorCounter(i, 0xABCD'8000'0000'0001ull + i, 1000 * i + 7);
    std::vector<std::uint64_t> errors(5, 9);
    std::vector<std::uint32_t> elapsed(5, 9);
    EXPECT_EQ(APIReadRealTimeBER(0, errors.data(), elapsed.data()), 1);
    const std::uint64_t high = c.bits48To63 ? 0xABCD'0000'0000'0000ull : 0;
    EXPECT_EQ(errors, (std::vector<std::uint64_t>{high | 0x8000'0000'0001ull, high | 0x8000'0000'0002ull,
                                                  high | 0x8000'0000'0003ull, high | 0x8000'0000'0004ull, 9}))
        << c.model;
    EXPECT_EQ(elapsed, (std::vector<std::uint32_t>{7, 1007, 2007, 3007, 9}));
    EXPECT_EQ(rig.api().lastErrorCount, high | 0x8000'0000'0004ull);
    EXPECT_EQ(rig.api().lastElapsed, 3007u);
    EXPECT_EQ(rig.Accesses(), Concat({CountReads(0, c.bits48To63, true), CountReads(1, c.bits48To63, true),
                                      CountReads(2, c.bits48To63, true), CountReads(3, c.bits48To63, true)}))
        << c.model;
  }
}

TEST(RealTimeBer, OptionReadFirstOn7780AndItsValuesAreNotKept) {
  Rig rig(7780);
  rig.Connect();
  rig.sim.SetReg(0, 32, 0xAA);  // would read as option code 1
  std::uint64_t errors[4];
  std::uint32_t elapsed[4];
  EXPECT_EQ(APIReadRealTimeBER(0, errors, elapsed), 1);
  EXPECT_EQ(rig.api().optionCodeC, 0u);
  EXPECT_EQ(rig.Accesses(), Concat({{Rd(0, 31), Rd(0, 32)},
                                    CountReads(0, false, true),
                                    CountReads(1, false, true),
                                    CountReads(2, false, true),
                                    CountReads(3, false, true)}));
}

TEST(RealTimeBer, FailedReadsStillFillTheArrays) {
  Rig rig(7592);  // two channels
  rig.Connect();
  rig.sim.SetErrorCounter(0, 5, 50);
  rig.sim.SetErrorCounter(1, 6, 60);
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart() + 9);  // the last read, 0x307 of channel 1
  std::uint64_t errors[2] = {0, 0};
  std::uint32_t elapsed[2] = {0, 0};
  EXPECT_EQ(APIReadRealTimeBER(0, errors, elapsed), 0);
  EXPECT_EQ(errors[1], 6u);
  // The failed read hands back the previous reply's word (0x306: 60) as bits 16-31.
  EXPECT_EQ(elapsed[1], (60u << 16) | 60u);
  EXPECT_EQ(APIReadRealTimeBER(0, nullptr, elapsed), 0);
}

TEST(RealTimeBer, OnlyTheHighElapsedReadsDecideTheResult) {
  // Per channel the reads are 0x303, 0x304, 0x305, 0x306, 0x307: only the
  // fifth of each reports. The summary also counts the three count reads.
  struct Case {
    const char* name;
    bool summary;
    std::vector<bool> reports;  // per read of one channel
  } cases[] = {{"real-time read", false, {false, false, false, false, true}},
               {"summary", true, {true, true, true, false, true}}};
  Rig rig(7592);  // two channels
  rig.Connect();
  for (const Case& c : cases) {
    std::uint64_t errors[2], bits[2], minus[2];
    std::uint32_t elapsed[2];
    double ber[2];
    auto run = [&] {
      return c.summary ? rig.api().ReadBERSummary(errors, elapsed, bits, minus, ber)
                       : APIReadRealTimeBER(0, errors, elapsed);
    };
    // A failed read ends the link, so every read after it fails too: the
    // result is 0 when a reporting read comes at or after the failed one (the
    // last channel's high elapsed read always does), and nothing after the
    // failed read reaches the instrument.
    auto reportingFrom = [&](std::size_t n) {
      for (std::size_t m = n; m < 10; ++m) {
        if (c.reports[m % 5]) return true;
      }
      return false;
    };
    test::TransferFaults faults;
    for (std::size_t n = 0; n < 10; ++n) {
      rig.sim.ClearLog();
      faults.FailReceive(n);
      EXPECT_EQ(run(), reportingFrom(n) ? 0 : 1) << c.name << ", read " << n << " failed";
      EXPECT_EQ(rig.sim.RequestCount(), n + 1) << c.name << ", read " << n << " failed";
      faults.Clear();
      rig.Reconnect();
    }
    EXPECT_EQ(run(), 1) << c.name;
  }
}

// The bit count of the summary: nothing for NaN and outside 0 to 2^64 - 1.
TEST(BerSummary, UnsignedTruncationOfTheBitCount) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    double x;
    std::optional<std::uint64_t> expected;
  } cases[] = {
      {2.5e10, 25'000'000'000ull},
      {1234.9, 1234},
      {-0.5, 0},  // truncates into range
      {-0.0, 0},
      {18446744073709549568.0, 18446744073709549568ull},  // the largest double below 2^64
      {18446744073709551616.0, std::nullopt},             // 2^64
      {kInf, std::nullopt},
      {-1.0, std::nullopt},
      {-kInf, std::nullopt},
      {std::nan(""), std::nullopt},  // an erased line rate
  };
  for (const Case& c : cases) EXPECT_EQ(TruncateToUint64(c.x), c.expected) << c.x;
}

TEST(BerSummary, SecondsBitsAndBerPerChannel) {
  Rig rig(7746);  // 0x30F is not read here even on this model
  rig.Connect();
  Tessok_API& api = rig.api();
  const double rates[4] = {10.0, 10.0, std::nan(""), 10.0};
  for (int i = 0; i < 4; ++i) api.lineRate[i] = rates[i];
  rig.sim.SetErrorCounter(0, 1000, 2500);                             // 2 s: 2e10 bits
  rig.sim.SetErrorCounter(1, 7, 999);                                 // under a second
  rig.sim.SetErrorCounter(2, 7, 5000);                                // erased line rate
  rig.sim.SetErrorCounter(3, 0xFFFF'8000'0000'0005ull, 0xFFFFFFFFu);  // bits 48-63 ignored; 4294967 s
  std::uint64_t errors[4] = {}, bits[4] = {1, 1, 1, 1}, minus[4] = {2, 2, 2, 2};
  std::uint32_t seconds[4] = {};
  double ber[4] = {3, 3, 3, 3};
  EXPECT_EQ(api.ReadBERSummary(errors, seconds, bits, minus, ber), 1);
  EXPECT_EQ((std::vector<std::uint64_t>(errors, errors + 4)),
            (std::vector<std::uint64_t>{1000, 7, 7, 0x8000'0000'0005ull}));
  EXPECT_EQ((std::vector<std::uint32_t>(seconds, seconds + 4)), (std::vector<std::uint32_t>{2, 0, 5, 4294967}));
  // 10 Gb/s x 4294967 s = 42,949,670,000,000,000 bits.
  EXPECT_EQ((std::vector<std::uint64_t>(bits, bits + 4)),
            (std::vector<std::uint64_t>{20'000'000'000ull, 1, 1, 42'949'670'000'000'000ull}));
  EXPECT_EQ((std::vector<std::uint64_t>(minus, minus + 4)),
            (std::vector<std::uint64_t>{19'999'999'000ull, 2, 2, 42'949'670'000'000'000ull - 0x8000'0000'0005ull}));
  EXPECT_EQ(ber[0], 1000.0 / 2e10);
  EXPECT_EQ(ber[1], 3.0);
  EXPECT_EQ(ber[2], 3.0);
  EXPECT_DOUBLE_EQ(ber[3], 140737488355333.0 / 42949670000000000.0);
  EXPECT_EQ(api.lastErrorCount, 0x8000'0000'0005ull);
  EXPECT_EQ(api.lastElapsed, 0xFFFFFFFFu);
  EXPECT_EQ(rig.Accesses(), Concat({CountReads(0, false, true), CountReads(1, false, true), CountReads(2, false, true),
                                    CountReads(3, false, true)}));

  rig.sim.ClearLog();
  api.channelCount = 0;
  api.lastResult = 0;
  EXPECT_EQ(api.ReadBERSummary(errors, seconds, bits, minus, ber), 1);
  EXPECT_TRUE(rig.sim.Log().empty());
  api.channelCount = 4;
  APIDisconnect(0);
  EXPECT_EQ(api.ReadBERSummary(errors, seconds, bits, minus, ber), 0);
}

TEST(GroupCounts, LanesTwoAndOneOfEachGroupAndTheFirstLanesTime) {
  struct Case {
    std::uint32_t model;
    int groups;
  } cases[] = {{7592, 1}, {7621, 2}, {7837, 2}, {7652, 4}};
  Rig rig(7652);
  rig.Connect();
  Tessok_API& api = rig.api();
  // Bank b counts 0x1_0000_0000 x b + b (and bits 48-63, which are not read); its elapsed time is 100 + b.
  for (unsigned b = 0; b < 16; ++b)
    rig.sim.SetErrorCounter(b, 0x0007'0000'0000'0000ull + 0x1'0000'0000ull * b + b, 100 + b);
  auto count = [](std::uint64_t b) { return 0x1'0000'0000ull * b + b; };
  for (const Case& c : cases) {
    api.boardModel = c.model;
    api.RefreshBoardTraits();
    rig.sim.ClearLog();
    std::vector<std::uint64_t> a(5, 1), b(5, 1);
    std::vector<std::uint32_t> elapsed(5, 1);
    EXPECT_EQ(api.ReadGroupErrorCounts(a.data(), b.data(), elapsed.data()), 1) << c.model;
    Wire wire;
    for (int g = 0; g < 5; ++g) {
      const auto first = static_cast<unsigned>(4 * g);
      const bool read = g < c.groups;
      EXPECT_EQ(a[static_cast<std::size_t>(g)], read ? count(first + 2) : 1u) << c.model << " group " << g;
      EXPECT_EQ(b[static_cast<std::size_t>(g)], read ? count(first + 1) : 1u) << c.model << " group " << g;
      EXPECT_EQ(elapsed[static_cast<std::size_t>(g)], read ? 100 + first : 1u) << c.model << " group " << g;
      if (read)
        wire = Concat({wire,
                       CountReads(first + 2, false, false),
                       CountReads(first + 1, false, false),
                       {Rd(first, 0x306), Rd(first, 0x307)}});
    }
    EXPECT_EQ(rig.Accesses(), wire) << c.model;
    const unsigned last = 4u * static_cast<unsigned>(c.groups - 1);
    EXPECT_EQ(api.lastErrorCount, count(last + 1));
    EXPECT_EQ(api.lastElapsed, 100 + last);
  }
  APIDisconnect(0);
  std::uint64_t a[4], b[4];
  std::uint32_t elapsed[4];
  EXPECT_EQ(api.ReadGroupErrorCounts(a, b, elapsed), 0);
}

// ---- Gated BER of all channels ----

TEST(GatedBer, ErrorsOverTheGateOnOtherModels) {
  Rig rig(7652);
  rig.Connect();
  Tessok_API& api = rig.api();
  api.gateTime = 1000;                                 // 25,000,000 bits
  rig.sim.SetErrorCounter(0, 50'000'000, 0);           // 2.0, limited to 1.0
  rig.sim.SetErrorCounter(1, 25'000, 0);               // 0.001
  rig.sim.SetErrorCounter(2, 0, 0);                    // 0.0
  rig.sim.SetErrorCounter(3, 0x0001'0000'09C4ull, 0);  // bits 32-47 not used: 2500
  double ber[5] = {9, 9, 9, 9, 9};
  std::uint32_t counts[5] = {9, 9, 9, 9, 9};
  EXPECT_EQ(api.ReadBERAndErrorsAllChannels(ber, counts), 1);
  EXPECT_EQ((std::vector<double>(ber, ber + 5)), (std::vector<double>{1.0, 0.001, 0.0, 0.0001, 9}));
  EXPECT_EQ((std::vector<std::uint32_t>(counts, counts + 5)),
            (std::vector<std::uint32_t>{50'000'000, 25'000, 0, 2500, 9}));
  EXPECT_EQ(rig.Accesses(),
            Concat({{Wr(0, 0x301, 0), Wr(0, 0x300, 1000), Wr(4, 0x301, 0), Wr(4, 0x300, 1000), Wr(0, kCommand, 0)},
                    CountReads(0, false, false),
                    CountReads(1, false, false),
                    CountReads(2, false, false),
                    CountReads(3, false, false)}));

  // A count with bit 31 set is a large positive count, and the gate of
  // 200,000 (5e9 bits) does not wrap in 32 bits: 2^31 / 5e9.
  api.gateTime = 200'000;
  rig.sim.SetErrorCounter(0, 0x8000'0000ull, 0);
  double only[4] = {};
  EXPECT_EQ(api.ReadBERAllChannels(only), 1);
  EXPECT_EQ(only[0], 2147483648.0 / 5e9);
  EXPECT_EQ(only[1], 25'000 / 5e9);

  // No gate: errors give 1.0, no errors stay 0 / 0.
  api.gateTime = 0;
  EXPECT_EQ(api.ReadBERAllChannels(only), 1);
  EXPECT_EQ(only[0], 1.0);
  EXPECT_TRUE(std::isnan(only[2]));

  APIDisconnect(0);
  EXPECT_EQ(api.ReadBERAllChannels(only), 0);
}

TEST(GatedBer, ErrorsOverTheDivisorWordOnGateModels) {
  Rig rig(7621);
  rig.Connect();
  Tessok_API& api = rig.api();
  api.gateTime = 7;
  // Count registers hold the divisor word, the elapsed registers the errors.
  rig.sim.SetErrorCounter(0, 0xFFFF'8000'0000ull, 0x4000'0000u);  // 2^30 / (2^31 x 64) = 2^-7
  rig.sim.SetErrorCounter(1, 0, 0);                               // 0 / 0 stays NaN
  rig.sim.SetErrorCounter(2, 1, 128);                             // 2.0, limited to 1.0
  rig.sim.SetErrorCounter(3, 1000, 640);                          // 0.01
  double ber[4] = {};
  std::uint32_t counts[4] = {};
  EXPECT_EQ(api.ReadBERAndErrorsAllChannels(ber, counts), 1);
  EXPECT_EQ(ber[0], 0.0078125);
  EXPECT_TRUE(std::isnan(ber[1]));
  EXPECT_EQ(ber[2], 1.0);
  EXPECT_EQ(ber[3], 0.01);
  EXPECT_EQ((std::vector<std::uint32_t>(counts, counts + 4)), (std::vector<std::uint32_t>{0x8000'0000u, 0, 1, 1000}));
  Wire wire{Wr(0, 0x301, 0), Wr(0, 0x300, 7), Wr(4, 0x301, 0), Wr(4, 0x300, 7)};
  for (unsigned i = 0; i < 4; ++i) wire = Concat({wire, {Wr(i, kCommand, 0)}, CountReads(i, false, true)});
  EXPECT_EQ(rig.Accesses(), wire);

  double only[4] = {};
  EXPECT_EQ(api.ReadBERAllChannels(only), 1);
  EXPECT_EQ(only[3], 0.01);
  APIDisconnect(0);
  EXPECT_EQ(api.ReadBERAllChannels(only), 0);
}

// ---- Error-correction counters ----

TEST(ErrorCorrection, TwoCountersOfALane) {
  Rig rig(7652);
  rig.Connect();
  rig.sim.SetReadValue(2, 0x310, 0x0001);
  rig.sim.SetReadValue(2, 0x311, 0x0002);
  rig.sim.SetReadValue(2, 0x314, 2);
  rig.sim.SetReadValue(2, 0x315, 3);
  std::uint32_t a[16], b[16];
  std::fill(a, a + 16, 7u);
  std::fill(b, b + 16, 7u);
  EXPECT_EQ(APIReadErrorCorrectionKestrin(0, 2, a, b), 1);
  EXPECT_EQ(a[2], 0x0001'0002u);
  EXPECT_EQ(b[2], 2u * 65536u + 3u);
  EXPECT_EQ(a[1], 7u);
  EXPECT_EQ(b[3], 7u);
  EXPECT_EQ(rig.Accesses(), (Wire{Rd(2, 0x310), Rd(2, 0x311), Rd(2, 0x314), Rd(2, 0x315)}));

  // Lanes outside the arrays' 16 entries are refused.
  rig.sim.ClearLog();
  EXPECT_EQ(APIReadErrorCorrectionKestrin(0, 16, a, b), 0);
  EXPECT_EQ(APIReadErrorCorrectionKestrin(0, -1, a, b), 0);
  EXPECT_EQ(APIReadErrorCorrectionKestrin(0, 2, a, nullptr), 0);
  EXPECT_TRUE(rig.sim.Log().empty());
  APIDisconnect(0);
  EXPECT_EQ(APIReadErrorCorrectionKestrin(0, 2, a, b), 1);  // transfers are not reported
}
