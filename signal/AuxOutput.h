// What other operations need to know about the auxiliary output block.
#pragma once

#include <cstdint>

class Tessok_API;

namespace tessok::aux {

enum class Amplitude { A, B };

// True while the amplitude's calibration table of a channel is in use: loaded
// and with a header of exactly 2.0. Its status item then holds the register
// code, not the requested value. False for a channel outside 0-15.
bool AmplitudeTableInUse(const Tessok_API& api, Amplitude amplitude, int ch);

// Sends an amplitude's register code as the calibrated setter sends it:
// limited to 0-4095, at the channel's mapped bank after the 3 -> 2 move,
// through the main data word. Records nothing; 0 for a channel outside 0-15.
std::uint8_t WriteAmplitudeCode(Tessok_API& api, Amplitude amplitude, int ch, double code);

}  // namespace tessok::aux
