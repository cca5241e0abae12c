// The default calibration the simulated instrument program starts with
// (sim::SeedDefaultCalibration): for every model with a personality the
// library loads from it exactly the level tables its own reset
// (APILoadDefaultCalibration) gives, saves those tables as exactly the seeded
// bytes, and sends a level as its own code without a reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"

using namespace tessok;
using tessok::test::Rig;

namespace {

// A level table as the store holds it, with the channel and kind the library
// saves it under.
struct StoredRow {
  int channel;
  int kind;
  const double* values;
  int count;
};

// The level tables the library loaded at connection for each channel, in the
// layout it found for the board. The swing rows are those of the quadratic
// form, which the plain boards' register 14 selects.
std::vector<StoredRow> LoadedRows(Tessok_API& api) {
  std::vector<StoredRow> rows;
  CalibrationStore& c = api.calibration;
  for (int ch = 0; ch < api.channelCount; ++ch) {
    const std::uint32_t l = api.channelMap[ch];
    switch (api.board.levelLayout) {
      case LevelLayout::Generic:
        rows.push_back({ch, 1, c.levelLowRate[l], 5});
        rows.push_back({ch, 2, c.levelHighRate[l], 5});
        break;
      case LevelLayout::Swing:
        for (int k = 0; k < 8; ++k) rows.push_back({ch, k, c.levelBySwing[l] + 5 * k, 5});
        break;
      case LevelLayout::Alt:
        rows.push_back({ch, 0, c.levelLowRateAlt[l], 6});
        rows.push_back({ch, 1, c.levelHighRateAlt[l], 6});
        rows.push_back({ch, 2, c.levelHighRateAlt[l] + 6, 6});
        break;
      case LevelLayout::Alt7: ADD_FAILURE() << "a plain board has no Alt7 tables"; break;
    }
  }
  return rows;
}

// The rows' doubles as bit patterns, so that NaN compares equal to itself.
std::vector<std::uint64_t> Bits(const std::vector<StoredRow>& rows) {
  std::vector<std::uint64_t> bits;
  for (const StoredRow& r : rows) {
    for (int i = 0; i < r.count; ++i) {
      std::uint64_t b = 0;
      std::memcpy(&b, r.values + i, sizeof b);
      bits.push_back(b);
    }
  }
  return bits;
}

// The first address where two EEPROM images differ, or -1.
long FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  const auto [at, other] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return at == a.end() && other == b.end() ? -1 : static_cast<long>(at - a.begin());
}

// Below 64, so the board that takes the level itself on its 6-bit chip
// register shows it whole too.
constexpr double kLevel = 40.0;

// The register accesses of one APIOutputLevel on channel 0.
std::vector<Rig::Access> LevelAccesses(Rig& rig) {
  rig.sim.ClearLog();
  EXPECT_EQ(APIOutputLevel(rig.index, 0, kLevel), 1);
  return rig.LaneAccesses();
}

class SeededInstrument : public ::testing::TestWithParam<std::uint16_t> {};

}  // namespace

// A seeded instrument against an erased one reset by the library.
TEST_P(SeededInstrument, HoldsTheLibrarysDefaultLevelTables) {
  const std::uint16_t model = GetParam();
  Rig seeded(model);
  sim::SeedDefaultCalibration(seeded.sim, model);
  const std::vector<std::uint8_t> seedBytes = seeded.sim.EepromBytes(0, seeded.sim.EepromSize());
  seeded.Connect();
  Rig reset(model, 1, 1);
  reset.Connect();
  APILoadDefaultCalibration(reset.index);

  // The tables loaded from the seed are the reset's, bit for bit.
  const std::vector<StoredRow> loaded = LoadedRows(seeded.api());
  const std::vector<StoredRow> defaults = LoadedRows(reset.api());
  ASSERT_FALSE(defaults.empty());
  EXPECT_EQ(Bits(loaded), Bits(defaults));

  // Saved by the library onto the erased EEPROM, the reset's tables are the
  // seeded bytes at the seeded addresses, and the seed wrote nothing else.
  for (const StoredRow& r : defaults) EXPECT_TRUE(APISaveCalibrationValues(reset.index, r.channel, r.kind, r.values));
  EXPECT_EQ(FirstDifference(reset.sim.EepromBytes(0, reset.sim.EepromSize()), seedBytes), -1);

  // Without a reset, a level goes out as its own code, as after one.
  const std::vector<Rig::Access> sent = LevelAccesses(seeded);
  ASSERT_FALSE(sent.empty());
  EXPECT_TRUE(sent.back().write);
  EXPECT_EQ(sent.back().data, static_cast<std::uint16_t>(kLevel));
  EXPECT_EQ(sent, LevelAccesses(reset));
}

INSTANTIATE_TEST_SUITE_P(KnownModels, SeededInstrument, ::testing::ValuesIn(sim::KnownModels()),
                         [](const auto& p) { return "Model" + std::to_string(p.param); });
