// Clock outputs and the reference clock: the clock-output setting recorded in
// each operation's own layout before its writes, the select values, banks and
// results, the lane dividers by model, the clock patterns and their rate
// codes, both reference-clock paths and the 32-bit control value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "LaneTrace.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::R;
using tessok::test::Recorded;
using tessok::test::Rig;
using tessok::test::SleepRecorder;
using tessok::test::Trace;
using tessok::test::TransferFaults;
using tessok::test::W;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Status addresses: 0x2000 + 8 x (96 x lane + item).
constexpr std::uint32_t kItem2Lane0 = 0x2010;
constexpr std::uint32_t kItem2Lanes[4] = {0x2010, 0x2310, 0x2610, 0x2910};
// Items 1 and 0 of lanes 0 to 7.
constexpr std::uint32_t kItem1Lanes[8] = {0x2008, 0x2308, 0x2608, 0x2908, 0x2C08, 0x2F08, 0x3208, 0x3508};
constexpr std::uint32_t kItem0Lanes[8] = {0x2000, 0x2300, 0x2600, 0x2900, 0x2C00, 0x2F00, 0x3200, 0x3500};
// A record is eight address/data pairs: 16 requests.
constexpr std::uint64_t kRecordRequests = 16;

constexpr unsigned kSelect = 0x103;

std::vector<std::uint32_t> RecordWaits(int records) { return std::vector<std::uint32_t>(8 * records, 10); }

// The trace without its status records.
Trace Registers(const Trace& trace) {
  Trace out;
  for (const std::string& t : trace) {
    if (t.rfind("write ", 0) != 0 && t.rfind("read ", 0) != 0) out.push_back(t);
  }
  return out;
}

}  // namespace

// ---- The clock-output setting: item 2 of lane 0 in each operation's layout ----

TEST(ClockOutputs, EachOperationRecordsItsLayoutBeforeItsWrites) {
  // Every argument reaches beyond its mask, so each field shows its own width.
  struct Case {
    const char* name;
    std::function<void(Tessok_API&)> run;
    double recorded;
  } cases[] = {
      // (b & 7) << 5 | (a & 7) << 2 | (mode & 3): 2 << 5 | 5 << 2 | 3.
      {"ClockOutSelect", [](Tessok_API& a) { a.ClockOutSelect(7, 13, 10); }, 87},
      // (d & 7) << 5 | (c & 7) << 2 | (a & 3): 3 << 5 | 1 << 2 | 2.
      {"ClockOutRoute", [](Tessok_API& a) { a.ClockOutRoute(6, 3, 9, 11); }, 102},
      // (c & 7) << 5 | (b & 7) << 2 | (a & 3): 7 << 5 | 6 << 2 | 1.
      {"ClockOutDivider", [](Tessok_API& a) { a.ClockOutDivider(5, 14, 15); }, 249},
      // (divider & 7) << 5 | (source & 3): 5 << 5 | 3.
      {"ClockOut7668B", [](Tessok_API& a) { a.ClockOut7668B(7, 13); }, 163},
      // (a & 1) << 5 | (b & 3) << 3 | (c & 7): 1 << 5 | 3 << 3 | 1.
      {"ClockOutBankSelect", [](Tessok_API& a) { a.ClockOutBankSelect(3, 7, 9); }, 57},
      {"ClockOutSource", [](Tessok_API& a) { a.ClockOutSource(2); }, 2},
      {"ClockOutSourcePattern", [](Tessok_API& a) { a.ClockOutSourcePattern(3, 0); }, 3},
      {"ClockOutPattern", [](Tessok_API& a) { a.ClockOutPattern(1234, 0); }, 1234},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    c.run(rig.api());
    const Trace trace = test::LaneTrace(rig);
    ASSERT_GE(trace.size(), 2u) << c.name;
    EXPECT_EQ(trace[0], Recorded(kItem2Lane0)) << c.name;
    EXPECT_EQ(Registers(trace).size(), trace.size() - 1) << c.name;  // the one record comes first
    EXPECT_EQ(rig.sim.EepromDouble(kItem2Lane0), c.recorded) << c.name;
    APIDisconnect(0);
  }
}

TEST(ClockOutputs, ClockOut7668BThroughItsExport) {
  Rig rig;
  rig.Connect();
  EXPECT_EQ(APIClockOut7668B(0, 3, 5), 1);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{Recorded(kItem2Lane0), W(0, kSelect, 3), W(0, 0x102, 5)}));
  EXPECT_EQ(rig.sim.EepromDouble(kItem2Lane0), 0xA3);
  EXPECT_EQ(SleepRecorder::Waits(), RecordWaits(1));

  // Other sources take their divider at 0x104; the record is masked, the writes whole.
  rig.sim.ClearLog();
  EXPECT_EQ(APIClockOut7668B(0, 0x12341, 0x1000D), 1);
  EXPECT_EQ(Registers(test::LaneTrace(rig)), (Trace{W(0, kSelect, 0x2341), W(0, 0x104, 0x000D)}));
  EXPECT_EQ(rig.sim.EepromDouble(kItem2Lane0), 0xA1);
  EXPECT_EQ(rig.api().lastStatus, 1);

  // Either write failing gives 0, in lastStatus too.
  for (std::uint64_t failed : {kRecordRequests, kRecordRequests + 1}) {
    TransferFaults faults;
    faults.FailSend(failed);
    EXPECT_EQ(APIClockOut7668B(0, 1, 5), 0) << failed;
    EXPECT_EQ(rig.api().lastStatus, 0) << failed;
  }
  EXPECT_EQ(APIClockOut7668B(99, 1, 5), 0);  // no such instrument object
}

// ---- Select values, banks and results ----

TEST(ClockOutputs, WritesBanksAndResults) {
  struct Case {
    const char* name;
    std::uint16_t model;
    std::function<int(Tessok_API&)> run;
    Trace wire;  // registers only, in order
    int result;
  } cases[] = {
      {"SelectMode2RoutesAAndB",
       7652,
       [](Tessok_API& a) { return a.ClockOutSelect(2, 0x1234, 0x5678); },
       {W(0, kSelect, 2), W(0, 0x109, 0x1234), W(2, 0x10A, 0x5678)},
       1},
      {"SelectMode3SetsSub45AtBank0",
       7652,
       [](Tessok_API& a) { return a.ClockOutSelect(3, 1, 2); },
       {W(0, kSelect, 3), W(0, kSelect, 2), W(0, 0x200, 45), R(0, 0x201), W(0, 0x201, 0x8000)},
       1},
      {"SelectMode3AtBank4WithOptionCodeC1",
       7652,
       [](Tessok_API& a) {
         a.optionCodeC = 1;
         return a.ClockOutSelect(3, 1, 2);
       },
       {W(0, kSelect, 3), W(4, kSelect, 2), W(4, 0x200, 45), R(4, 0x201), W(4, 0x201, 0x8000)},
       1},
      // The select takes the mode's low 16 bits; only modes 2 and 3 add writes.
      {"SelectOtherModes", 7652, [](Tessok_API& a) { return a.ClockOutSelect(0x10002, 1, 2); }, {W(0, kSelect, 2)}, 1},
      {"Source0", 7652, [](Tessok_API& a) { return a.ClockOutSource(0); }, {W(0, kSelect, 1)}, 1},
      {"Source3", 7652, [](Tessok_API& a) { return a.ClockOutSource(3); }, {W(0, kSelect, 7)}, 1},
      {"SourcePattern0", 7652, [](Tessok_API& a) { return a.ClockOutSourcePattern(1, 0); }, {W(0, kSelect, 3)}, 1},
      {"RouteA0",
       7652,
       [](Tessok_API& a) { return a.ClockOutRoute(0, 3, 2, 9); },
       {W(2, 0x109, 0), W(3, 0x10A, 9), W(0, kSelect, 2)},
       1},
      {"RouteA1",
       7652,
       [](Tessok_API& a) { return a.ClockOutRoute(1, 3, 2, 9); },
       {W(2, 0x109, 0), W(3, 0x10A, 9), W(4, kSelect, 2)},
       1},
      {"RouteOtherA",
       7652,
       [](Tessok_API& a) { return a.ClockOutRoute(2, 3, 2, 9); },
       {W(2, 0x109, 0), W(3, 0x10A, 9)},
       1},
      {"DividerOn7698SelectsAtBankA",
       7698,
       [](Tessok_API& a) { return a.ClockOutDivider(1, 2, 3); },
       {W(2, 0x104, 3), W(1, kSelect, 7)},
       1},
      {"DividerOn7698A3",
       7698,
       [](Tessok_API& a) { return a.ClockOutDivider(3, 0, 6); },
       {W(0, 0x104, 6), W(3, kSelect, 2)},
       1},
      {"DividerOn7698A4", 7698, [](Tessok_API& a) { return a.ClockOutDivider(4, 2, 3); }, {W(2, 0x104, 3)}, 1},
      {"DividerElsewhere", 7652, [](Tessok_API& a) { return a.ClockOutDivider(1, 2, 3); }, {W(2, 0x104, 3)}, 1},
      {"BankSelect",
       7652,
       [](Tessok_API& a) { return a.ClockOutBankSelect(2, 3, 5); },
       {W(2, 0x100, 0), W(3, kSelect, 5)},
       1},
      {"OffsetSourceWrapsIn16Bits",
       7652,
       [](Tessok_API& a) {
         a.ClockOutOffsetSource(0xFFFE);
         return 1;
       },
       {W(0, kSelect, 2)},
       1},
      {"WriteClockOutControl",
       7652,
       [](Tessok_API& a) {
         a.WriteClockOutControl(0xBEEF);
         return 1;
       },
       {W(0, kSelect, 0xBEEF)},
       1},
      {"InitClockRoutingOn7775",
       7775,
       [](Tessok_API& a) { return a.InitClockRouting(); },
       {W(0, 0x200, 45), W(0, 0x201, 0x8001)},
       1},
      {"InitClockRoutingElsewhere",
       7652,
       [](Tessok_API& a) { return a.InitClockRouting(); },
       {W(0, kSelect, 1), W(0, 0x200, 60), W(0, 0x201, 18)},
       1},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, 0, ++salt);
    rig.Connect();
    EXPECT_EQ(c.run(rig.api()), c.result) << c.name;
    EXPECT_EQ(Registers(test::LaneTrace(rig)), c.wire) << c.name;
    APIDisconnect(0);
  }

  // The two routings reach their sub-registers; the offset source and the
  // control write record nothing.
  Rig rig(7652, 0, ++salt);
  rig.Connect();
  rig.api().ClockOutSelect(3, 0, 0);
  EXPECT_EQ(rig.sim.SubRegister(0, 45), 0x8000);
  rig.api().InitClockRouting();
  EXPECT_EQ(rig.sim.SubRegister(0, 60), 18);
  rig.sim.ClearLog();
  rig.api().ClockOutOffsetSource(1);
  rig.api().WriteClockOutControl(1);
  EXPECT_EQ(rig.LaneAccesses(), rig.Accesses());
}

TEST(ClockOutputs, ResultsFollowTheirLinkOrReportSuccess) {
  // The record's 16 requests come first; `failed` is the request whose send
  // fails. The link then closes, so every transfer after it fails too: a
  // result that follows a later transfer is 0 as well.
  struct Case {
    const char* name;
    std::function<int(Tessok_API&)> run;
    std::uint64_t failed;
    int result;
  } cases[] = {
      {"SourceSelectFailed", [](Tessok_API& a) { return a.ClockOutSource(1); }, kRecordRequests, 0},
      {"SourcePatternSelectFailed", [](Tessok_API& a) { return a.ClockOutSourcePattern(1, 0); }, kRecordRequests, 0},
      {"RouteSelectFailed", [](Tessok_API& a) { return a.ClockOutRoute(0, 0, 0, 0); }, kRecordRequests + 2, 0},
      {"RouteEarlierWriteFailed", [](Tessok_API& a) { return a.ClockOutRoute(1, 0, 0, 0); }, kRecordRequests, 0},
      {"BankSelectSelectFailed", [](Tessok_API& a) { return a.ClockOutBankSelect(0, 0, 1); }, kRecordRequests + 1, 0},
      {"BankSelectModeFailed", [](Tessok_API& a) { return a.ClockOutBankSelect(0, 0, 1); }, kRecordRequests, 0},
      {"SelectReportsSuccess", [](Tessok_API& a) { return a.ClockOutSelect(2, 0, 0); }, kRecordRequests, 1},
      {"DividerOtherBoardReportsSuccess", [](Tessok_API& a) { return a.ClockOutDivider(0, 0, 1); }, kRecordRequests, 1},
      {"InitClockRoutingReportsSuccess", [](Tessok_API& a) { return a.InitClockRouting(); }, 0, 1},
      {"ChannelDividerReportsSuccess", [](Tessok_API& a) { return a.ClockOutChannelDivider(0, 1); },
       4 * kRecordRequests, 1},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    TransferFaults faults;
    faults.FailSend(c.failed);
    EXPECT_EQ(c.run(rig.api()), c.result) << c.name;
    faults.Clear();
    APIDisconnect(0);
  }

  // On the 7698 the divider's result is the select's.
  Rig rig(7698, 0, ++salt);
  rig.Connect();
  TransferFaults faults;
  faults.FailSend(kRecordRequests + 1);
  EXPECT_EQ(rig.api().ClockOutDivider(0, 0, 1), 0);
}

// ---- Lane dividers ----

TEST(ClockOutputs, ChannelDividerRecordsFourLanesAndPicksItsBankByModel) {
  struct Case {
    const char* name;
    std::uint16_t model;
    std::vector<sim::RegisterValue> registers;
    std::uint16_t channel;
    int divider;
    double recorded;
    Trace wire;
  } cases[] = {
      {"DividerAbove1", 7652, {}, 2, 3, 11, {W(2, 0x30D, 16)}},
      {"Divider1", 7652, {}, 1, 1, 5, {W(1, 0x30D, 8)}},
      {"EightChannel7653SubType2", 7653, {{31, 2}, {32, 0x0100}}, 2, 3, 11, {W(6, 0x30D, 16)}},
      {"EightChannel7653SubType3", 7653, {{31, 3}, {32, 0x0100}}, 0, 1, 1, {W(4, 0x30D, 8)}},
      {"FourChannel7653SubType2", 7653, {{31, 2}, {32, 0}}, 2, 3, 11, {W(2, 0x30D, 16)}},
      {"EightChannel7746NotShifted", 7746, {{34, 1}}, 2, 3, 11, {W(2, 0x30D, 16)}},
      {"OffAtBank1", 7652, {}, 2, 0, 8, {W(1, kSelect, 0)}},
      {"OffAtBank1On7653", 7653, {}, 2, 0, 8, {W(1, kSelect, 0)}},
      {"OffAtBank0On7592", 7592, {}, 2, 0, 8, {W(0, kSelect, 0)}},
      {"OffAtBank0On7775", 7775, {}, 0, -2, -2, {W(0, kSelect, 0)}},
      {"OffAtBank0On7621", 7621, {}, 1, 0, 4, {W(0, kSelect, 0)}},
      {"OffAtBank0On7668", 7668, {}, 1, 0, 4, {W(0, kSelect, 0)}},
      // Signed 16 bits, so restoring (value / 4, value mod 4) calls (0, -1) again.
      {"MinusOneRecordsMinusOne", 7652, {}, 0, -1, -1, {W(1, kSelect, 0)}},
      // 16383 x 4 + 4 = 65536: 0 in 16 bits.
      {"WrapsIn16Bits", 7652, {}, 16383, 4, 0, {W(15, 0x30D, 16)}},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, c.registers, 0, ++salt);
    rig.Connect();
    EXPECT_EQ(rig.api().ClockOutChannelDivider(c.channel, c.divider), 1) << c.name;
    Trace expected{Recorded(kItem2Lanes[0]), Recorded(kItem2Lanes[1]), Recorded(kItem2Lanes[2]),
                   Recorded(kItem2Lanes[3])};
    // Lanes 4 and up of an eight-channel board keep their items elsewhere; lanes 0-3 do not.
    expected.insert(expected.end(), c.wire.begin(), c.wire.end());
    EXPECT_EQ(test::LaneTrace(rig), expected) << c.name;
    for (std::uint32_t address : kItem2Lanes) EXPECT_EQ(rig.sim.EepromDouble(address), c.recorded) << c.name;
    EXPECT_EQ(SleepRecorder::Waits(), RecordWaits(4)) << c.name;
    APIDisconnect(0);
  }
}

// ---- Clock patterns ----

namespace {

// 10-bit chunks of the two 40-bit words, most significant first, as
// SetUserPattern40x2 writes them to 0x211 and 0x212.
struct PatternChunks {
  std::vector<std::uint16_t> first, second;
};

// A 7652 whose channel map reaches channels 5 to 8 at their own banks, so the
// pattern load of ClockOutByPattern shows the channel it was handed.
struct PatternRig : Rig {
  explicit PatternRig(unsigned salt = 0) : Rig(7652, 0, salt) {
    Connect();
    for (std::uint32_t ch = 5; ch <= 8; ++ch) api().channelMap[ch] = ch;
  }
};

}  // namespace

TEST(ClockOutputs, ClockOutPatternLoadsTheFastPatternsOnChannel2) {
  struct Case {
    int pattern;
    std::uint16_t select;
    std::optional<PatternChunks> chunks;
  } cases[] = {
      {0, 1, {}},
      {1, 2, PatternChunks{{0x2AA, 0x2AA, 0x2AA, 0x2AA}, {0x2AA, 0x2AA, 0x2AA, 0x2AA}}},  // 0xAAAAAAAAAA
      {2, 2, PatternChunks{{0x333, 0x0CC, 0x333, 0x0CC}, {0x333, 0x0CC, 0x333, 0x0CC}}},  // 0xCCCCCCCCCC
      {3, 2, PatternChunks{{0x3C3, 0x30F, 0x03C, 0x0F0}, {0x3C3, 0x30F, 0x03C, 0x0F0}}},  // 0xF0F0F0F0F0
      {4, 2, PatternChunks{{0x003, 0x3F0, 0x03F, 0x300}, {0x3FC, 0x00F, 0x3C0, 0x0FF}}},  // 0x00FF00FF00, 0xFF00FF00FF
      {5, 2, {}},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    rig.api().lastResult = 7;
    EXPECT_EQ(rig.api().ClockOutPattern(9, c.pattern), 1u) << c.pattern;
    EXPECT_EQ(rig.api().lastResult, 1u) << c.pattern;
    EXPECT_EQ(rig.sim.WritesTo(0, kSelect), (std::vector<std::uint16_t>{c.select})) << c.pattern;
    if (c.chunks) {
      EXPECT_EQ(rig.sim.WritesTo(2, 0x211), c.chunks->first) << c.pattern;
      EXPECT_EQ(rig.sim.WritesTo(2, 0x212), c.chunks->second) << c.pattern;
      EXPECT_EQ(rig.sim.WritesTo(2, 0x213), (std::vector<std::uint16_t>{0})) << c.pattern;
    } else {
      EXPECT_TRUE(rig.sim.WritesTo(2, 0x211).empty()) << c.pattern;
    }
    APIDisconnect(0);
  }
  // The records of the pattern load: lane 2, item 6 (second word) and item 28 (first).
  Rig rig(7652, 0, ++salt);
  rig.Connect();
  rig.api().ClockOutPattern(9, 4);
  EXPECT_EQ(rig.sim.EepromDouble(0x2630), static_cast<double>(0xFF00FF00FFull));
  EXPECT_EQ(rig.sim.EepromDouble(0x26E0), static_cast<double>(0x00FF00FF00ull));
}

TEST(ClockOutputs, ClockOutPatternResultIsItsOwnTransfers) {
  Rig rig;
  rig.Connect();
  TransferFaults faults;
  rig.api().lastResult = 1;
  faults.FailSend(kRecordRequests);  // the select
  EXPECT_EQ(rig.api().ClockOutPattern(0, 0), 0u);
  EXPECT_EQ(rig.api().lastResult, 0u);

  // With a pattern, the pattern load's result stands: a failed select ends the
  // link, so the load fails too and nothing after the select is sent; with the
  // select sent, a failed last word of the pattern fails the operation.
  rig.Connect();
  faults.FailSend(kRecordRequests);
  EXPECT_EQ(rig.api().ClockOutPattern(0, 1), 0u);
  EXPECT_EQ(rig.sim.RequestCount(), kRecordRequests);
  rig.Connect();
  faults.FailSend(kRecordRequests + 1 + 2 * kRecordRequests + 8);  // the pattern's last word
  EXPECT_EQ(rig.api().ClockOutPattern(0, 1), 0u);
  EXPECT_EQ(rig.sim.RequestCount(), kRecordRequests + 1 + 2 * kRecordRequests + 8);
}

TEST(ClockOutputs, ClockOutByPatternRateCodes) {
  // Without a usable read-back: 16 up to 3 Gb/s, 32 up to 5, 66 up to 15 and
  // 100 below 32. A read-back of 1 to 165 is used as read.
  struct Case {
    double rate;
    std::uint16_t readBack;
    std::optional<std::uint16_t> code;  // none: refused
  } cases[] = {
      {12.0, 0, 66},    {31.9, 0, 100},  {3.0, 0, 16}, {5.0, 0, 32},  {15.0, 0, 66}, {15.01, 0, 100},
      {12.0, 165, 165}, {12.0, 166, 66}, {40.0, 1, 1}, {32.0, 0, {}}, {kNaN, 0, {}},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    PatternRig rig(++salt);
    rig.api().lineRate[1] = c.rate;
    rig.sim.SetReadValue(1, 0x22B, c.readBack);
    rig.sim.ClearLog();
    const std::uint8_t result = rig.api().ClockOutByPattern(1, 3);
    const Trace trace = test::LaneTrace(rig);
    ASSERT_GE(trace.size(), 2u) << c.rate;
    // The read-back asks the channel's own bank; the code goes to bank 6.
    EXPECT_EQ(trace[1], R(1, 0x22B)) << c.rate;
    if (c.code) {
      EXPECT_EQ(result, 1) << c.rate;
      EXPECT_EQ(rig.sim.WritesTo(6, 0x205), (std::vector<std::uint16_t>{*c.code})) << c.rate;
      EXPECT_EQ(rig.sim.WritesTo(6, 0x211), (std::vector<std::uint16_t>{0x3FF, 0, 0x3FF, 0})) << c.rate;
    } else {
      // Refused: no code, no check and no pattern after the read-back.
      EXPECT_EQ(result, 0) << c.rate;
      EXPECT_EQ(trace.size(), 2u) << c.rate;
      EXPECT_EQ(rig.api().lastResult, 0u) << c.rate;
    }
    APIDisconnect(0);
  }
}

TEST(ClockOutputs, ClockOutByPatternWireRetriesAndPatternChannels) {
  PatternRig rig;
  rig.api().lineRate[2] = 10.3125;
  rig.sim.ClearLog();
  EXPECT_EQ(rig.api().ClockOutByPattern(2, 2), 1);
  const Trace trace = test::LaneTrace(rig);
  const Trace head{W(2, 0x228, 10312), R(2, 0x22B), W(7, 0x205, 66), W(7, 0x200, 0), W(7, 0x201, 0), R(7, 0x201),
                   // The pattern of channel 7: item 6 (second word) and item 28 (first) of lane 7.
                   Recorded(0x3530), Recorded(0x35E0)};
  ASSERT_GE(trace.size(), head.size());
  EXPECT_EQ((Trace{trace.begin(), trace.begin() + static_cast<std::ptrdiff_t>(head.size())}), head);
  EXPECT_EQ(rig.sim.EepromDouble(0x3530), static_cast<double>(0xFFFFF00000ull));
  EXPECT_EQ(rig.sim.WritesTo(7, 0x211), (std::vector<std::uint16_t>{0x3FF, 0x3FF, 0, 0}));

  // A processor ready at the third check: three writes of the same code.
  rig.sim.SetDspNotReadyFor(7, 2);
  rig.api().ClockOutByPattern(2, 2);
  EXPECT_EQ(rig.sim.WritesTo(7, 0x205), (std::vector<std::uint16_t>{66, 66, 66, 66}));
  // Never ready: three writes, then the pattern all the same.
  rig.sim.SetDspNotReadyFor(7, 10);
  EXPECT_EQ(rig.api().ClockOutByPattern(2, 4), 1);
  rig.sim.SetDspNotReadyFor(7, 0);
  EXPECT_EQ(rig.sim.WritesTo(7, 0x205).size(), 7u);
  EXPECT_EQ(rig.sim.WritesTo(7, 0x22D).size(), 3u + 2u);
  EXPECT_EQ(rig.sim.WritesTo(7, 0x211).size(), 3u * 4u);  // the third pattern load
  EXPECT_EQ(rig.sim.WritesTo(7, 0x211).back(), 0x3E0);    // 0xF83E0F83E0

  // Channels 0 to 3 load their pattern on channels 5 to 8 (item 28 of lanes 5
  // to 8 at 0x2FE0, 0x32E0, 0x35E0, 0x38E0); any other pattern loads zeros.
  // Others are refused.
  const std::uint32_t firstWordItems[4] = {0x2FE0, 0x32E0, 0x35E0, 0x38E0};
  for (int ch = 0; ch < 4; ++ch) {
    rig.api().lineRate[ch] = 10.0;
    rig.sim.SeedDouble(firstWordItems[ch], 1.0);
    EXPECT_EQ(rig.api().ClockOutByPattern(ch, 7), 1) << ch;
    const std::vector<std::uint16_t> words = rig.sim.WritesTo(static_cast<unsigned>(5 + ch), 0x211);
    ASSERT_GE(words.size(), 4u) << ch;
    EXPECT_EQ((std::vector<std::uint16_t>{words.end() - 4, words.end()}), (std::vector<std::uint16_t>(4, 0))) << ch;
    EXPECT_EQ(rig.sim.EepromDouble(firstWordItems[ch]), 0.0) << ch;
  }
  rig.sim.ClearLog();
  for (int ch : {-1, 4, 16}) EXPECT_EQ(rig.api().ClockOutByPattern(ch, 1), 0) << ch;
  EXPECT_TRUE(rig.sim.Log().empty());
}

TEST(ClockOutputs, ClockOutSourcePattern) {
  PatternRig rig;
  rig.api().lineRate[1] = 25.78125;
  rig.sim.ClearLog();
  EXPECT_EQ(rig.api().ClockOutSourcePattern(1, 3), 1);
  const Trace trace = test::LaneTrace(rig);
  ASSERT_GE(trace.size(), 5u);
  EXPECT_EQ((Trace{trace.begin(), trace.begin() + 5}),
            (Trace{Recorded(kItem2Lane0), W(0, kSelect, 2), W(1, 0x228, 25781), R(1, 0x22B), W(6, 0x205, 100)}));
  // 0xFFC00FFC00 twice for channel 6.
  EXPECT_EQ(rig.sim.EepromDouble(0x3230), static_cast<double>(0xFFC00FFC00ull));
  EXPECT_EQ(rig.sim.EepromDouble(0x32E0), static_cast<double>(0xFFC00FFC00ull));

  // A rate without a code: the select stands, nothing follows the read-back, 0.
  rig.api().lineRate[2] = 40.0;
  rig.sim.ClearLog();
  EXPECT_EQ(rig.api().ClockOutSourcePattern(2, 1), 0);
  EXPECT_EQ(Registers(test::LaneTrace(rig)), (Trace{W(0, kSelect, 4), W(2, 0x228, 40000), R(2, 0x22B)}));

  // Sources outside 0 to 3: nothing recorded or sent.
  rig.sim.ClearLog();
  for (int source : {-1, 4}) {
    EXPECT_EQ(rig.api().ClockOutSource(source), 0) << source;
    EXPECT_EQ(rig.api().ClockOutSourcePattern(source, 0), 0) << source;
    EXPECT_EQ(rig.api().ClockOutSourcePattern(source, 2), 0) << source;
  }
  EXPECT_TRUE(rig.sim.Log().empty());
}

// ---- Reference clock ----

TEST(ReferenceClock, PlainPathSendsTheSynthesizerWordAndTheCode) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.lineRate[0] = 25.78125;
  api.lineRateMode[0] = 5;
  api.phaseStep[0] = 0.25;
  api.lastResult = 9;
  // 156.25 MHz: code 15625000 = 0x00EE6B28. 25.78125 / 80 x 10^9 x 0.5 =
  // 161132812.5, its half dropped: 0x099AB10C.
  EXPECT_EQ(api.SetReferenceClock(156.25), 1u);
  EXPECT_EQ(test::LaneTrace(rig), (Trace{W(0, 0x40D, 1), W(0, 0x10A, 0x099A), W(0, 0x109, 0xB10C), W(0, 0x100, 0),
                                         W(0, 37, 0x00EE), W(0, 36, 0x6B28), W(0, 0x101, 8), W(0, 0x205, 1)}));
  EXPECT_TRUE(SleepRecorder::Waits().empty());
  // Nothing recorded, no member changed.
  EXPECT_EQ(api.lineRateMode[0], 5u);
  EXPECT_EQ(api.phaseStep[0], 0.25);
  EXPECT_EQ(api.lastResult, 9u);

  // The divisor by the channel-0 rate: 80 above 17.5, 40 above 9.3, 80/3 above 5.5, else 40/3.
  struct Case {
    double rate;
    std::uint32_t word;  // rate / divisor x 10^9 x 0.5, truncated
  } cases[] = {
      {17.51, 109437500},                      // / 80
      {17.5, 218750000},                       // / 40
      {10.3125, 128906250}, {9.3, 174375000},  // / (80/3)
      {5.5, 206250000},                        // / (40/3)
  };
  for (const Case& c : cases) {
    api.lineRate[0] = c.rate;
    rig.sim.ClearLog();
    api.SetReferenceClock(100.0);
    EXPECT_EQ(rig.sim.WritesTo(0, 0x10A).back(), c.word >> 16) << c.rate;
    EXPECT_EQ(rig.sim.WritesTo(0, 0x109).back(), c.word & 0xFFFF) << c.rate;
  }

  // A negative code keeps its sign in the high half: -100000 = 0xFFFE7960.
  rig.sim.ClearLog();
  api.SetReferenceClock(-1.0);
  EXPECT_EQ(rig.sim.WritesTo(0, 37).back(), 0xFFFE);
  EXPECT_EQ(rig.sim.WritesTo(0, 36).back(), 0x7960);

  // The result is the OR of the seven writes (requests 1 to 7). A failed write
  // ends the link, so the writes after it fail too: the result is 1 when a
  // write before the failed one went through, and 0 with no link at all.
  for (std::uint64_t n = 1; n <= 7; ++n) {
    TransferFaults faults;
    faults.FailSend(n);
    EXPECT_EQ(api.SetReferenceClock(100.0), n >= 2 ? 1u : 0u) << n;
    rig.Reconnect();
  }
  APIDisconnect(0);
  EXPECT_EQ(api.SetReferenceClock(100.0), 0u);
}

TEST(ReferenceClock, DividerPathRepeatsTheCodeTo417AndRecordsLanes0To7) {
  Rig rig(7733, {{33, 12}, {30, 1}});
  rig.Connect();
  Tessok_API& api = rig.api();
  const double rates[8] = {25.78125, 10.3125, 12.5, 14.0, 20.0, 28.05, 1.25, 8.5};
  for (int lane = 0; lane < 8; ++lane) api.lineRate[lane] = rates[lane];
  api.lineRate[8] = 3.0;
  api.lineRateMode[8] = 4;
  EXPECT_EQ(api.SetReferenceClock(156.25), 1u);
  Trace expected{W(0, 0x411, 1),   W(0, 0x104, 1),      W(0, 37, 0x00EE),
                 W(0, 36, 0x6B28), W(0, 0x417, 0x6B28),  // the code's low half again
                 W(0, 0x105, 64),  W(0, 0x205, 1)};
  for (int lane = 0; lane < 8; ++lane) {
    expected.push_back(Recorded(kItem1Lanes[lane]));
    expected.push_back(Recorded(kItem0Lanes[lane]));
  }
  EXPECT_EQ(test::LaneTrace(rig), expected);
  std::vector<std::uint32_t> waits{100};
  const std::vector<std::uint32_t> records = RecordWaits(16);
  waits.insert(waits.end(), records.begin(), records.end());
  EXPECT_EQ(SleepRecorder::Waits(), waits);
  for (int lane = 0; lane < 8; ++lane) {
    EXPECT_EQ(rig.sim.EepromDouble(kItem1Lanes[lane]), rates[lane]) << lane;
    EXPECT_EQ(rig.sim.EepromDouble(kItem0Lanes[lane]), 2.0) << lane;
    EXPECT_EQ(api.lineRateMode[lane], 2u) << lane;
    EXPECT_DOUBLE_EQ(api.phaseStep[lane], 1000.0 / (rates[lane] * 129.0)) << lane;
  }
  EXPECT_EQ(api.lineRateMode[8], 4u);
  EXPECT_EQ(api.highRateRange, 1u);
  EXPECT_EQ(api.lastResult, 1u);

  // The range bit from 20 Gb/s on, exactly 20 included; clear just below.
  struct RangeCase {
    double rate;
    std::uint16_t written;
  } ranges[] = {{20.0, 64}, {std::nextafter(20.0, 0.0), 0}, {19.99, 0}};
  for (const RangeCase& c : ranges) {
    api.lineRate[0] = c.rate;
    rig.sim.ClearLog();
    api.SetReferenceClock(100.0);
    EXPECT_EQ(rig.sim.WritesTo(0, 0x105).back(), c.written) << c.rate;
    EXPECT_EQ(api.highRateRange, c.written / 64u) << c.rate;
  }

  // The result is the OR of 0x104, the code and 0x417 (requests 1 to 4); the
  // 0x105 and 0x205 results (requests 5 and 6) go to lastResult only, the last
  // one kept. A failed write ends the link, so every write after it fails too.
  TransferFaults faults;
  for (std::uint64_t n = 1; n <= 6; ++n) {
    faults.FailSend(n);
    EXPECT_EQ(api.SetReferenceClock(100.0), n >= 2 ? 1u : 0u) << n;
    EXPECT_EQ(api.lastResult, 0u) << n;
    rig.Reconnect();
  }
  EXPECT_EQ(api.SetReferenceClock(100.0), 1u);
  EXPECT_EQ(api.lastResult, 1u);
  APIDisconnect(0);
  EXPECT_EQ(api.SetReferenceClock(100.0), 0u);
}

TEST(ReferenceClock, RefusesCodesAndWordsThatAreNoNumberOrDoNotFit32Bits) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.lineRate[0] = 10.3125;
  // 21474.83648 MHz is 2^31: one beyond the code's range.
  for (double mhz : {kNaN, std::numeric_limits<double>::infinity(), 21474.83648, -21474.83649, 1e300}) {
    EXPECT_EQ(api.SetReferenceClock(mhz), 0u) << mhz;
  }
  // The synthesizer word of an erased channel-0 rate, or of one far too high.
  for (double rate : {kNaN, 1e9}) {
    api.lineRate[0] = rate;
    EXPECT_EQ(api.SetReferenceClock(156.25), 0u) << rate;
  }
  EXPECT_TRUE(rig.sim.Log().empty());

  // The same refusal on the divider path.
  Rig variant(7733, {{33, 12}, {30, 1}}, 1, 1);
  variant.Connect();
  EXPECT_EQ(variant.api().SetReferenceClock(kNaN), 0u);
  EXPECT_TRUE(variant.sim.Log().empty());
  EXPECT_EQ(variant.api().lineRateMode[0], 0u);
}

TEST(ReferenceClock, WriteControl39SplitsA32BitValue) {
  struct Case {
    double value;
    bool sent;
    std::uint16_t high, low;
  } cases[] = {
      {-2.0, true, 0xFFFF, 0xFFFE},
      {65536.9, true, 1, 0},
      {-2147483648.5, true, 0x8000, 0},
      {2147483647.9, true, 0x7FFF, 0xFFFF},
      {2147483648.0, false, 0, 0},
      {-2147483649.0, false, 0, 0},
      {kNaN, false, 0, 0},
  };
  Rig rig;
  rig.Connect();
  for (const Case& c : cases) {
    rig.sim.ClearLog();
    EXPECT_EQ(rig.api().WriteControl39(c.value), c.sent) << c.value;
    const Trace expected = c.sent ? Trace{W(0, 39, c.high), W(0, 40, c.low)} : Trace{};
    EXPECT_EQ(test::LaneTrace(rig), expected) << c.value;
  }
  // True whatever the link reported.
  TransferFaults faults;
  faults.FailSend(1);
  EXPECT_TRUE(rig.api().WriteControl39(1.0));
  APIDisconnect(0);
  EXPECT_TRUE(rig.api().WriteControl39(1.0));
}
