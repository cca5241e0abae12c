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
void ApplyModel(SimInstrument& sim, std::uint16_t model, const std::vector<RegisterValue>& overrides = {});

}  // namespace tessok::sim
