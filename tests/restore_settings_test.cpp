// Restoring the recorded settings: which items are read, in which order, what
// each setter is handed, which steps a bad item skips, and one restore end to
// end against the simulated instrument.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "RateRig.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::RateRig;
using tessok::test::Rig;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// An instrument object whose item reads come from a table and whose setters
// write down their calls ("Name(args)") instead of reaching an instrument.
// Reads are logged as "item c.n". A setter named in `failing` returns 0.
class Recorder : public Tessok_API {
 public:
  std::map<std::pair<std::uint32_t, int>, double> items;  // (channel, item) -> stored value
  std::vector<std::string> log;
  std::vector<std::string> failing;
  std::vector<std::pair<std::uint32_t, int>> unreadable;  // reads that fail (value still stored)

  std::uint32_t Monitor(std::uint32_t channel, std::uint8_t item, double* value) override {
    log.push_back("item " + std::to_string(channel) + "." + std::to_string(item));
    auto it = items.find({channel, item});
    *value = it == items.end() ? 0.0 : it->second;
    for (const auto& u : unreadable) {
      if (u == std::pair{channel, static_cast<int>(item)}) return 0;
    }
    return 1;
  }
  std::uint32_t LineRateConfiguration(double rate, std::uint32_t mode) override { return Call("LineRate", rate, mode); }
  int ClockOutChannelDivider(std::uint16_t ch, int divider) override { return Call("ClockOutDivider", ch, divider); }
  std::uint8_t SetPRBSPattern(int ch, int pattern, int p3, std::uint32_t p4, int p5) override {
    return Call("Pattern", ch, pattern, p3, p4, p5);
  }
  std::uint8_t SetUserPattern40(int ch, std::uint64_t word) override { return Call("User40", ch, word); }
  std::uint8_t SetUserPattern40x2(int ch, std::uint64_t first, std::uint64_t second) override {
    return Call("User40x2", ch, first, second);
  }
  std::uint8_t OutputLevel(int ch, double level) override { return Call("Level", ch, level); }
  std::uint8_t CTLESetValue(int ch, int value) override { return Call("Ctle", ch, value); }
  std::uint8_t PreEmphasis(int ch, int value) override { return Call("Pre", ch, value); }
  std::uint8_t PostEmphasis(int ch, int value) override { return Call("Post", ch, value); }
  std::uint8_t SetAuxSetting(int ch, double v) override { return Call("AuxSetting", ch, v); }
  std::uint8_t SetAuxFrequency(int ch, double v) override { return Call("AuxFrequency", ch, v); }
  std::uint8_t SetAuxAmplitudeA(int ch, double v) override { return Call("AmplitudeA", ch, v); }
  std::uint8_t SetAuxAmplitudeB(int ch, double v) override { return Call("AmplitudeB", ch, v); }
  std::uint8_t SetAuxControl40C(int ch, double v) override { return Call("Control40C", ch, v); }

  // Only the calls, without the reads.
  std::vector<std::string> Calls() const {
    std::vector<std::string> out;
    for (const std::string& e : log) {
      if (e.rfind("item ", 0) != 0) out.push_back(e);
    }
    return out;
  }

 private:
  template <typename... A>
  std::uint8_t Call(const char* name, A... args) {
    std::ostringstream s;
    s << name << "(";
    const char* sep = "";
    ((s << sep << args, sep = ", "), ...);
    s << ")";
    log.push_back(s.str());
    for (const std::string& f : failing) {
      if (f == name) return 0;
    }
    return 1;
  }
};

// Recorders start zero-filled like every instrument object.
struct RecorderDeleter {
  void operator()(Recorder* r) const {
    r->~Recorder();
    std::free(r);
  }
};
using RecorderPtr = std::unique_ptr<Recorder, RecorderDeleter>;

RecorderPtr MakeRecorder(std::uint32_t model) {
  void* storage = std::calloc(1, sizeof(Recorder));
  if (storage == nullptr) throw std::bad_alloc();
  RecorderPtr r(new (storage) Recorder);
  r->boardModel = model;
  r->RefreshBoardTraits();
  return r;
}

// Every item a restore reads, seeded with a distinct value per channel.
void SeedAll(Recorder& r, int channels) {
  r.items[{0, 0}] = 1.0;      // mode
  r.items[{0, 1}] = 10.3125;  // rate
  r.items[{0, 2}] = 9.0;      // clock output: channel 2, divider 1
  for (int c = 0; c < channels; ++c) {
    const std::uint32_t ch = static_cast<std::uint32_t>(c);
    r.items[{ch, 5}] = 3.0;
    r.items[{ch, 10}] = 10.0 + c;
    r.items[{ch, 8}] = 20.0 + c;
    r.items[{ch, 11}] = 30.0 + c;
    r.items[{ch, 9}] = 400.5 + c;
    r.items[{ch, 17}] = 7.9;
    r.items[{ch, 14}] = -0.7;
    r.items[{ch, 15}] = 12.0;
    for (int item = 21; item <= 25; ++item) r.items[{ch, item}] = item + 0.25;
  }
}

}  // namespace

// The read order and calls of one channel on the emphasis path, written out.
TEST(RestoreSettings, ReadsEachItemBeforeItsCallInOrder) {
  auto r = MakeRecorder(7775);
  SeedAll(*r, 1);
  EXPECT_EQ(r->RestoreSettings(), 1);
  const std::vector<std::string> expected = {"item 0.0",
                                             "item 0.1",
                                             "LineRate(10.3125, 1)",
                                             "item 0.2",
                                             "ClockOutDivider(2, 1)",
                                             "item 0.5",
                                             "item 0.10",
                                             "item 0.8",
                                             "item 0.11",
                                             "Pattern(0, 3, 10, 20, 30)",
                                             "item 0.9",
                                             "Level(0, 400.5)",
                                             "item 0.17",
                                             "Ctle(0, 7)",
                                             "item 0.14",
                                             "Pre(0, 0)",
                                             "item 0.15",
                                             "Post(0, 12)"};
  EXPECT_EQ(r->log, expected);
}

// Channels restored and the path taken, per model.
TEST(RestoreSettings, ChannelsAndPathPerModel) {
  struct Case {
    std::uint32_t model;
    int channels;
    bool emphasis;
  } cases[] = {
      {7652, 4, true},                     // four channels, numbered below 7716
      {7653, 4, true},  {7733, 4, false},  // four channels, auxiliary block
      {7792, 4, false}, {7828, 1, false},  // channel 0 only
      {7775, 1, true},                     // above 7716 but restores emphasis
      {7592, 1, true},  {7746, 1, false},
  };
  for (const Case& c : cases) {
    auto r = MakeRecorder(c.model);
    SeedAll(*r, 4);
    EXPECT_EQ(r->RestoreSettings(), 1) << c.model;
    const std::vector<std::string> calls = r->Calls();
    int patterns = 0, pre = 0, aux = 0;
    for (const std::string& e : calls) {
      patterns += e.rfind("Pattern(", 0) == 0;
      pre += e.rfind("Pre(", 0) == 0;
      aux += e.rfind("AuxSetting(", 0) == 0;
    }
    EXPECT_EQ(patterns, c.channels) << c.model;
    EXPECT_EQ(pre, c.emphasis ? c.channels : 0) << c.model;
    EXPECT_EQ(aux, c.emphasis ? 0 : c.channels) << c.model;
    if (!c.emphasis) {
      // Each auxiliary item read directly before its own call.
      const std::vector<std::string> tail(r->log.end() - 10, r->log.end());
      const std::string ch = std::to_string(c.channels - 1);
      EXPECT_EQ(tail, (std::vector<std::string>{"item " + ch + ".21", "AuxSetting(" + ch + ", 21.25)",
                                                "item " + ch + ".22", "AuxFrequency(" + ch + ", 22.25)",
                                                "item " + ch + ".23", "AmplitudeA(" + ch + ", 23.25)",
                                                "item " + ch + ".24", "AmplitudeB(" + ch + ", 24.25)",
                                                "item " + ch + ".25", "Control40C(" + ch + ", 25.25)"}))
          << c.model;
    }
  }
}

// Stored values as the setters receive them.
TEST(RestoreSettings, DecodesStoredValues) {
  struct Case {
    const char* name;
    std::uint32_t model;
    std::vector<std::pair<std::pair<std::uint32_t, int>, double>> items;
    std::vector<std::string> wanted;  // calls that must appear
    std::vector<std::string> absent;  // call names that must not
  } cases[] = {
      {"clock output 9.0 is channel 2, divider 1", 7828, {{{0, 2}, 9.0}}, {"ClockOutDivider(2, 1)"}, {}},
      {"clock output -1.0 keeps the dividend's sign", 7828, {{{0, 2}, -1.0}}, {"ClockOutDivider(0, -1)"}, {}},
      {"mode 2.0 of a reference clock", 7828, {{{0, 0}, 2.0}}, {"LineRate(10.3125, 2)"}, {}},
      {"pattern 7.0 restores no user pattern",
       7828,
       {{{0, 5}, 7.0}},
       {"Pattern(0, 7, 10, 20, 30)"},
       {"User40", "User40x2"}},
      {"pattern 5.0 restores the user pattern",
       7828,
       {{{0, 5}, 5.0}, {{0, 6}, 1099511627775.0}},
       {"User40(0, 1099511627775)"},
       {"User40x2"}},
      {"a word above 2^63",
       7828,
       {{{0, 5}, 5.0}, {{0, 6}, 18446744073709549568.0}},
       {"User40(0, 18446744073709549568)"},
       {}},
      {"7792: first word item 28, second item 6",
       7792,
       {{{0, 5}, 5.0}, {{0, 6}, 6.0}, {{0, 28}, 28.0}},
       {"User40x2(0, 28, 6)"},
       {"User40("}},
      {"pattern 5.5 is not the user pattern", 7828, {{{0, 5}, 5.5}}, {"Pattern(0, 5, 10, 20, 30)"}, {"User40"}},
  };
  for (const Case& c : cases) {
    auto r = MakeRecorder(c.model);
    SeedAll(*r, 4);
    for (const auto& [key, v] : c.items) r->items[key] = v;
    EXPECT_EQ(r->RestoreSettings(), 1) << c.name;
    const std::vector<std::string> calls = r->Calls();
    for (const std::string& w : c.wanted) {
      EXPECT_NE(std::find(calls.begin(), calls.end(), w), calls.end()) << c.name << ": " << w;
    }
    for (const std::string& a : c.absent) {
      for (const std::string& e : calls) EXPECT_NE(e.rfind(a, 0), 0u) << c.name << ": " << e;
    }
  }
}

// A failing setter or read does not stop the restore; the result tells.
TEST(RestoreSettings, FailuresAreReportedAfterEveryStep) {
  auto full = MakeRecorder(7652);
  SeedAll(*full, 4);
  full->RestoreSettings();

  auto r = MakeRecorder(7652);
  SeedAll(*r, 4);
  r->failing = {"Level"};
  EXPECT_EQ(r->RestoreSettings(), 0);
  EXPECT_EQ(r->log, full->log);  // the same reads and calls as a restore that succeeds

  // A failed read skips its step only (here channel 1's CTLE).
  auto u = MakeRecorder(7652);
  SeedAll(*u, 4);
  u->unreadable = {{1, 17}};
  EXPECT_EQ(u->RestoreSettings(), 0);
  const std::vector<std::string> calls = u->Calls();
  EXPECT_EQ(std::find(calls.begin(), calls.end(), "Ctle(1, 7)"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "Ctle(2, 7)"), calls.end());
  EXPECT_EQ(calls.size(), full->Calls().size() - 1);
}

// Items that are no usable numbers skip their whole step, after all its items
// were read: an erased table reads every item and calls nothing.
TEST(RestoreSettings, UnusableItemsSkipTheirStep) {
  auto erased = MakeRecorder(7652);
  SeedAll(*erased, 4);
  for (auto& [key, v] : erased->items) v = kNaN;
  EXPECT_EQ(erased->RestoreSettings(), 0);
  EXPECT_TRUE(erased->Calls().empty());
  // Items 0 and 1, then 2, then per channel 5, 10, 8, 11, 9, 17, 14, 15.
  EXPECT_EQ(erased->log.size(), 3u + 4u * 8u);

  auto r = MakeRecorder(7828);
  SeedAll(*r, 1);
  r->items[{0, 1}] = kNaN;      // the rate: no line-rate call, though the mode reads fine
  r->items[{0, 8}] = 3.0e10;    // p4 beyond 32 bits: no pattern
  r->items[{0, 9}] = INFINITY;  // no output level
  EXPECT_EQ(r->RestoreSettings(), 0);
  const std::vector<std::string> calls = r->Calls();
  for (const std::string& e : calls) {
    EXPECT_NE(e.rfind("LineRate", 0), 0u) << e;
    EXPECT_NE(e.rfind("Pattern", 0), 0u) << e;
    EXPECT_NE(e.rfind("Level", 0), 0u) << e;
  }
  EXPECT_EQ(r->log[0], "item 0.0");
  EXPECT_EQ(r->log[1], "item 0.1");
  EXPECT_EQ(r->log[2], "item 0.2");                                     // the next step follows at once
  EXPECT_EQ(std::count(r->log.begin(), r->log.end(), "item 0.11"), 1);  // the pattern step read all four
}

// A restore against the instrument: the status table of lane 0 of a 7828
// read back and written again unchanged, with its waits; an amplitude whose
// calibration table is in use sends its stored code again without recording.
TEST(RestoreSettings, EndToEndRewritesTheSameItems) {
  RateRig r(7828);
  r.ClockFile("10.3125.clk", "5,6\n7,8\n");
  // Lane 0's items at 0x2000 + 8 n (16 lanes of 96 items from 0x2000).
  const std::vector<std::pair<int, double>> stored = {{0, 0.0},   {1, 10.3125}, {2, 1.0},    {5, 3.0},  {10, 1.0},
                                                      {8, 0.0},   {11, 0.0},    {9, 300.0},  {17, 4.0}, {21, 1.0},
                                                      {22, 20.0}, {23, 1200.0}, {24, 800.0}, {25, 1.0}};
  for (const auto& [item, v] : stored) r.rig.sim.SeedDouble(0x2000 + 8u * static_cast<unsigned>(item), v);
  Tessok_API& api = r.api();
  api.tableLoaded[0][0] = 1;  // amplitude A calibrated: item 23 holds its code
  api.calibration.auxAmplitudeAMode[0] = 2.0;
  r.Restart();

  api.RestoreSettings();
  for (const auto& [item, v] : stored) {
    EXPECT_EQ(r.rig.sim.EepromDouble(0x2000 + 8u * static_cast<unsigned>(item)), v) << "item " << item;
  }
  EXPECT_EQ(r.rig.sim.ClockChipWrites(0), (std::vector<std::pair<std::uint16_t, std::uint16_t>>{{5, 6}, {7, 8}}));
  // Each item was recorded again (a write of register 11 after its first
  // byte's address), except amplitude A's code, which is sent without a record.
  std::vector<std::uint16_t> recordedAt;
  const std::vector<Rig::Access> accesses = r.rig.Accesses();
  for (std::size_t i = 0; i + 1 < accesses.size(); ++i) {
    if (accesses[i].write && accesses[i].reg == 10 && accesses[i + 1].write && accesses[i + 1].reg == 11) {
      recordedAt.push_back(accesses[i].data);
    }
  }
  for (const auto& [item, v] : stored) {
    const std::uint16_t at = static_cast<std::uint16_t>(0x2000 + 8 * item);
    const bool recorded = std::find(recordedAt.begin(), recordedAt.end(), at) != recordedAt.end();
    EXPECT_EQ(recorded, item != 23) << "item " << item;
  }
  // Amplitude A's stored code went to 0x404 at lane 0.
  EXPECT_EQ(r.rig.sim.WritesTo(0, 0x404), (std::vector<std::uint16_t>{1200}));
  // Every wait is a status byte (10 ms) or the clock file's 20 ms.
  std::uint32_t total = 0;
  for (std::uint32_t w : test::SleepRecorder::Waits()) {
    EXPECT_TRUE(w == 10 || w == 20 || w == 100) << w;
    total += w;
  }
  EXPECT_GE(total, 14u * 80u);  // at least every item read once
}
