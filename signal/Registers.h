// Lane, pattern, counter, auxiliary-output, window and module-cage registers
// (lane registers at the lane's bank unless noted).
#pragma once

#include <cstdint>

namespace tessok::reg {

// ---- Transmitter output ----

// ---- Receiver ----

// ---- Patterns and checker ----

// ---- Error insertion and counters ----

// ---- Auxiliary output block ----

// ---- DSP window and board control ----

// ---- Module cages ----

// ---- Module, cage, port, supply and bridge registers ----

}  // namespace tessok::reg
