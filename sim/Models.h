// Model personalities of the simulated instrument: register 20 reads the model
// number and the option registers read the values of a plain board of that
// model, so a test can start from "a 7775" and override one register.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/SimInstrument.h"

namespace tessok::sim {

struct RegisterValue {
  std::uint16_t reg;  // bank 0
  std::uint16_t value;
};

// Sets register 20 to the model, the model's option registers to their plain
// values and then the overrides (bank 0), e.g. ApplyModel(sim, 7775, {{33, 12}}).
//
// Overrides that select a board's other paths:
//   7775 {{33, 11}}              lane 3 moved to bank 2 (remapLane3)
//   7841 {{57, 0x40}}            lane 1 moved to bank 0 (remapLane1); {{57, 1}} option57Low
//   7746 {{34, 1}}               eight channels
//   7668 {{31, 11}}              raw output level, emphasis -1000..1000, DSP mode recorded
//   7621, 7837 {{14, 3}}         cubic swing tables
//   7792 {{30, 1}}               option code A 2 ({{31, 0xAA}}: 1, plain: 0)
//   7822 {{30, 0}}               option code B 2 ({{30, 0}, {31, 0xAA}}: 3,
//                                {{32, 0xAA}}: 1, plain: 0)
void ApplyModel(SimInstrument& sim, std::uint16_t model, const std::vector<RegisterValue>& overrides = {});

// The models that have a personality, in ascending order. ApplyModel takes
// any number; for the others it sets only registers 20 and 9.
std::vector<std::uint16_t> KnownModels();

// Writes the output-level calibration tables of a plain board of the model
// (no overrides) into the EEPROM: for every lane the library loads at
// connection, the pass-through tables that the library's reset of the level
// calibration (APILoadDefaultCalibration) puts in its store, at the addresses
// and in the form the model keeps them. A level then goes out as its own code
// without a reset. A model whose reset leaves its tables as they are (the
// 7746, whose levels go out as given) and a model without a personality are
// left alone. Nothing else of the EEPROM changes, so every other double still
// reads as it did (NaN when erased).
void SeedDefaultCalibration(SimInstrument& sim, std::uint16_t model);

}  // namespace tessok::sim
