// The public header's constants agree with the library: its numbers are the
// library's own, its buffer sizes hold what the calls write on every model,
// and its codes select what their names say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Payloads.h"
#include "TestSupport.h"
#include "calibration/StatusItem.h"
#include "core/Lanes.h"
#include "core/Models.h"
#include "link/Packet.h"
#include "signal/Registers.h"

extern "C" int tessok_c_header_constants(void);

using namespace tessok;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::Wr;

TEST(HeaderConstants, AgreeWithTheLibrary) {
  EXPECT_EQ(TESSOK_INSTANCE_COUNT, kApiInstanceCount);
  EXPECT_EQ(TESSOK_MAX_CHANNELS, kLaneCount);
  EXPECT_EQ(TESSOK_PORT, link::kInstrumentPort);
  EXPECT_EQ(static_cast<std::uint32_t>(TESSOK_LINK_TIMEOUT_MS), link::kSocketTimeoutMs);
  EXPECT_EQ(TESSOK_ITEM_COUNT, status::kItemCount);
  const struct {
    int header, library;
  } items[] = {
      {TESSOK_ITEM_LINE_RATE_MODE, status::kLineRateMode},
      {TESSOK_ITEM_LINE_RATE, status::kLineRate},
      {TESSOK_ITEM_CLOCK_OUTPUT, status::kClockOutput},
      {TESSOK_ITEM_PATTERN, status::kPattern},
      {TESSOK_ITEM_PATTERN_P4, status::kPatternP4},
      {TESSOK_ITEM_OUTPUT_LEVEL, status::kOutputLevel},
      {TESSOK_ITEM_PATTERN_P3, status::kPatternP3},
      {TESSOK_ITEM_PATTERN_P5, status::kPatternP5},
      {TESSOK_ITEM_PRE_EMPHASIS, status::kPreEmphasis},
      {TESSOK_ITEM_POST_EMPHASIS, status::kPostEmphasis},
      {TESSOK_ITEM_ERROR_INSERTION, status::kErrorInsertion},
      {TESSOK_ITEM_CTLE, status::kCtle},
      {TESSOK_ITEM_INNER_EYE_LEVEL, status::kInnerEyeLevel},
      {TESSOK_ITEM_RATE_FLAG_32, status::kRateFlag32},
      {TESSOK_ITEM_RATE_FLAG_33, status::kRateFlag33},
      {TESSOK_ITEM_RATE_FLAG_34, status::kRateFlag34},
      {TESSOK_ITEM_RATE_PAM4, status::kRatePam4},
      {TESSOK_ITEM_RATE_RANGE_BANK, status::kRateRangeBank},
      {TESSOK_ITEM_RATE_FLAG_44, status::kRateFlag44},
      {TESSOK_ITEM_MAIN_TAP, status::kMainTap},
      {TESSOK_ITEM_OUTER_EYE_LEVEL, status::kOuterEyeLevel},
      {TESSOK_ITEM_TAP0, status::kTap0},
      {TESSOK_ITEM_DSP_MODE, status::kDspMode},
  };
  for (const auto& item : items) EXPECT_EQ(item.header, item.library);
}

TEST(HeaderConstants, WorkFromC) {
  EXPECT_EQ(tessok_c_header_constants(), 7);  // every call refused, or failed at once on an index never connected
}

TEST(HeaderConstants, CalibrationReadOutFitsOnEveryModel) {
  // Every model of the table, its variants with more channels or larger
  // tables, and a model the table does not know.
  struct Board {
    std::uint16_t model;
    std::vector<sim::RegisterValue> registers;
  };
  std::vector<Board> boards = {{7000, {}},          {7653, {{31, 2}, {32, 0x0100}}},
                               {7746, {{34, 1}}},   {7668, {{31, 11}}},
                               {7621, {{14, 3}}},   {7837, {{14, 3}}},
                               {7780, {{32, 0xAA}}}};
  for (std::uint16_t m = 7000; m < 8000; ++m) {
    if (FindModel(m) != nullptr) boards.push_back({m, {}});
  }
  ASSERT_GT(boards.size(), 30u);

  constexpr double kUntouched = -12345.5;
  std::size_t most = 0;
  unsigned salt = 0;
  for (const Board& b : boards) {
    Rig rig(b.model, b.registers, 0, ++salt);
    rig.Connect();
    std::vector<double> out(TESSOK_CALIBRATION_VALUES_MAX + 64, kUntouched);
    ASSERT_EQ(APIReadCalibrationValues(0, out.data()), 1);
    std::size_t written = out.size();
    while (written > 0 && std::memcmp(&out[written - 1], &kUntouched, sizeof kUntouched) == 0) --written;
    EXPECT_LE(written, std::size_t{TESSOK_CALIBRATION_VALUES_MAX}) << b.model;
    most = std::max(most, written);
  }
  EXPECT_EQ(most, std::size_t{TESSOK_CALIBRATION_VALUES_MAX});  // the eight-channel 7668
}

TEST(HeaderConstants, BuffersHoldWhatTheCallsWrite) {
  Rig rig;
  rig.Connect();
  for (unsigned reg = 3; reg <= 8; ++reg) rig.sim.SetReg(0, reg, 0xFFFF);  // 255.255.255.255
  char text[TESSOK_IP_TEXT_BYTES + 8];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(APIreadIPConfiguration(0, text), 1);
  EXPECT_STREQ(text, "255.255.255.255");
  EXPECT_EQ(text[TESSOK_IP_TEXT_BYTES], 'x');

  rig.sim.SetResultBlock(0, tessok::test::Padded(tessok::test::U32Payload(std::vector<std::uint32_t>(256, 7))));
  std::vector<double> x(TESSOK_HISTOGRAM_BINS + 8, -1.0), counts(TESSOK_HISTOGRAM_BINS + 8, -1.0);
  EXPECT_EQ(APIGetPam4Histogram(0, 0, x.data(), counts.data()), 1);
  EXPECT_EQ(counts[TESSOK_HISTOGRAM_BINS - 1], 7.0);
  EXPECT_EQ(counts[TESSOK_HISTOGRAM_BINS], -1.0);
  EXPECT_EQ(x[TESSOK_HISTOGRAM_BINS], -1.0);

  std::vector<double> record(TESSOK_OPTIMAL_SETTINGS_VALUES + 1, -1.0);
  EXPECT_TRUE(APIReadOptimalSettings(0, 2, 1, record.data()));
  EXPECT_NE(record[TESSOK_OPTIMAL_SETTINGS_VALUES - 1], -1.0);  // an erased EEPROM reads NaN
  EXPECT_EQ(record[TESSOK_OPTIMAL_SETTINGS_VALUES], -1.0);
}

TEST(HeaderConstants, CodesSelectWhatTheyName) {
  Rig rig(7652);
  rig.Connect();
  EXPECT_EQ(apiBERClearErrorCounters(0, TESSOK_ALL_CHANNELS), 1);
  EXPECT_EQ(APIRealTimeBEREnable(0, TESSOK_BER_START), 1);
  EXPECT_EQ(APIRealTimeBEREnable(0, TESSOK_BER_STOP), 1);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(3, reg::kCounterCommand, reg::kCommandAllChannels),
                                                      Wr(3, reg::kCounterCommand, reg::kCommandAllChannels),
                                                      Wr(0, reg::kCounterCommand, reg::kCommandStart),
                                                      Wr(0, reg::kCounterCommand, reg::kCommandStop)}));

  rig.sim.ClearLog();
  std::uint16_t word = 0x1234;
  std::uint8_t pin = 1;
  EXPECT_EQ(APIAccessBoardRegister(0, TESSOK_WRITE, 2, 0x100, &word), 1);
  EXPECT_EQ(APIAccessBoardRegister(0, TESSOK_READ, 2, 0x100, &word), 1);
  EXPECT_EQ(APIQDD_7686_MODSEL(0, TESSOK_WRITE, 1, &pin), 1);
  EXPECT_EQ(APIQDD_7686_MODSEL(0, TESSOK_READ, 1, &pin), 1);
  EXPECT_EQ(pin, 1);  // asserted: the active-low pin reads 0
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(2, 0x100, 0x1234), Rd(2, 0x100), Wr(1, reg::kQddModSel, 0),
                                                      Rd(1, reg::kQddModSel)}));

  // Restoring the settings loads the recorded user pattern only for the user-pattern code.
  for (const int pattern : {TESSOK_PATTERN_USER, TESSOK_PATTERN_USER - 1}) {
    auto seed = [&](int item, double v) { rig.sim.SeedDouble(0x2000 + 8u * static_cast<unsigned>(item), v); };
    seed(TESSOK_ITEM_PATTERN, pattern);
    seed(TESSOK_ITEM_PATTERN_P3, 0.0);
    seed(TESSOK_ITEM_PATTERN_P4, 0.0);
    seed(TESSOK_ITEM_PATTERN_P5, 0.0);
    seed(status::kUserPattern40, 0x1234);
    rig.sim.ClearLog();
    rig.api().RestoreSettings();
    bool loaded = false;
    for (const Rig::Access& a : rig.LaneAccesses()) loaded = loaded || (a.write && a.reg == reg::kUserPatternWord0);
    EXPECT_EQ(loaded, pattern == TESSOK_PATTERN_USER) << pattern;
  }
}
