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

}  // namespace tessok::sim
