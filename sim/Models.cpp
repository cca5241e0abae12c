#include "sim/Models.h"

#include <algorithm>

namespace tessok::sim {

namespace {

struct Personality {
  std::uint16_t model;
  std::vector<RegisterValue> registers;
};

// Option registers of a board with no options fitted.
const std::vector<Personality>& Personalities() {
  static const std::vector<Personality> table = {
      {7653, {{31, 0}, {32, 0}}},
      {7733, {{33, 0}, {30, 0}}},
      {7775, {{31, 0}, {32, 0}, {33, 0}, {38, 0xBADA}}},
      {7792, {{30, 0}, {31, 0}}},
      {7668, {{31, 0}, {14, 0}}},
      // The other swing-coded boards: register 14 holds the swing-table form
      // (3 selects the cubic tables on the 7621 and 7837).
      {7592, {{14, 0}}},
      {7621, {{14, 0}}},
      {7837, {{14, 0}}},
      {7780, {{31, 0}, {32, 0}}},
      {7822, {{30, 1}, {31, 0}, {32, 0}}},
      {7841, {{57, 0}}},
      {7746, {{34, 0}}},
  };
  return table;
}

// Where a model keeps its output-level tables in the EEPROM, as the library
// loads them at connection: for lane l, `entries` entries of 5 doubles (8
// bytes each, least significant first) back to back from first + l * stride,
// each a polynomial highest power first. The level-row boards keep a low-rate
// and a high-rate row at 40 bytes into their level block (768 + 1792 l), a
// quartic, or on the 7822 (option code B 0, a plain board) and the 7841 a
// quadratic in its first three; the swing boards keep eight swing entries at
// 40 bytes into their swing block (base + 1280 l, base 4096 on the 7592, else
// 20480), quadratics in the form a board whose register 14 does not read 3
// uses. A pass-through entry is 1.0 at its linear coefficient and 0 elsewhere.
struct LevelTables {
  std::uint16_t model;
  int lanes;  // the plain board's channels: the lanes whose tables the library loads
  std::uint32_t first;
  std::uint32_t stride;
  int entries;
  int linear;  // the element of an entry that holds the linear coefficient
};

constexpr int kEntryDoubles = 5;
constexpr std::uint32_t kRows = 768 + 40;
constexpr std::uint32_t kRowsStride = 1792;
constexpr std::uint32_t kSwing = 20480 + 40;
constexpr std::uint32_t kSwing7592 = 4096 + 40;
constexpr std::uint32_t kSwingStride = 1280;

// The 7746 is not listed: the library's reset leaves its tables as they are,
// and its levels go out as given.
const std::vector<LevelTables>& LevelTableForms() {
  // clang-format off
  static const std::vector<LevelTables> table = {
      // quartic rows
      {7653, 4, kRows, kRowsStride, 2, 3},
      {7733, 4, kRows, kRowsStride, 2, 3},
      {7775, 4, kRows, kRowsStride, 2, 3},
      {7780, 4, kRows, kRowsStride, 2, 3},
      {7792, 4, kRows, kRowsStride, 2, 3},
      // quadratic rows
      {7822, 4, kRows, kRowsStride, 2, 1},
      {7841, 4, kRows, kRowsStride, 2, 1},
      // quadratic swing entries
      {7592, 2, kSwing7592, kSwingStride, 8, 1},
      {7621, 4, kSwing, kSwingStride, 8, 1},
      {7668, 8, kSwing, kSwingStride, 8, 1},
      {7837, 4, kSwing, kSwingStride, 8, 1},
  };
  // clang-format on
  return table;
}

}  // namespace

std::vector<std::uint16_t> KnownModels() {
  std::vector<std::uint16_t> models;
  for (const Personality& p : Personalities()) models.push_back(p.model);
  std::sort(models.begin(), models.end());
  return models;
}

void ApplyModel(SimInstrument& sim, std::uint16_t model, const std::vector<RegisterValue>& overrides) {
  sim.SetReg(0, 20, model);
  sim.SetReg(0, 9, 123);  // firmware revision 12.3
  for (const Personality& p : Personalities()) {
    if (p.model != model) continue;
    for (const RegisterValue& r : p.registers) sim.SetReg(0, r.reg, r.value);
  }
  for (const RegisterValue& r : overrides) sim.SetReg(0, r.reg, r.value);
}

void SeedDefaultCalibration(SimInstrument& sim, std::uint16_t model) {
  for (const LevelTables& t : LevelTableForms()) {
    if (t.model != model) continue;
    for (int l = 0; l < t.lanes; ++l) {
      for (int e = 0; e < t.entries * kEntryDoubles; ++e) {
        const auto address = t.first + t.stride * static_cast<std::uint32_t>(l) + 8u * static_cast<std::uint32_t>(e);
        sim.SeedDouble(address, e % kEntryDoubles == t.linear ? 1.0 : 0.0);
      }
    }
  }
}

}  // namespace tessok::sim
