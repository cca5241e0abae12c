// Steps shared by the four-lane line-rate operations whose lanes each carry a
// signal processor (the signal-processor variant and the generated-plan
// operation): which banks take a rate code, the codes with their readiness
// checks, and the lanes recorded afterwards.
#pragma once

#include <cstdint>

class Tessok_API;

namespace tessok::rate {

// Gives the processors of banks 0, 1 (only with remapLane1 1), 2 and 3 (only
// with option57Bit2 1), in that order, their rate code with
// ProgramLaneRateCode: the one read-back code for every bank when it is
// usable, else band table A (BandTableA) of the lane's line rate. Each bank
// has its own retry allowance. False at the first bank without a code: that
// bank and the later ones get nothing.
bool ProgramFourLaneProcessors(Tessok_API& api, std::uint32_t readBackCode);

// Lanes 0 to 3 at their new rate: items 1 (rate) and 0 (mode), the integer
// lane rate, the 64-step phase step and lineRateMode = mode.
void RecordFourProcessorLanes(Tessok_API& api, double rate, std::uint32_t mode);

}  // namespace tessok::rate
