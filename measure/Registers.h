// Lane registers read by the measurement operations (at the lane's bank).
#pragma once

#include <cstdint>

namespace tessok::reg {

// PAM4 receiver's signal-to-noise figure, 16 bits unsigned: tenths of a
// decibel on most models, a linear noise figure on some (measure/Pam4.cpp).
inline constexpr std::uint16_t kPam4SignalToNoise = 0x30E;

}  // namespace tessok::reg
