// Conversions of doubles to register-sized integers.
//
// Calibration polynomials are evaluated in double and truncated to a code.
// Coefficients read from an erased EEPROM are NaN, and a wild coefficient can
// push a result far outside any integer range; a plain C++ conversion is
// undefined in both cases. These helpers are defined for every input.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace tessok {

// Rounds toward zero to a 32-bit signed integer. Values beyond the int32 range
// (including the infinities) saturate to INT32_MIN or INT32_MAX; NaN gives
// INT32_MIN, the "integer indefinite" value that the x86-64 truncating
// conversion (cvttsd2si) produces, so a NaN code reads the same as it did when
// this conversion was left to the processor.
inline std::int32_t TruncateToInt32(double x) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  if (std::isnan(x)) return kMin;
  if (x >= 2147483648.0) return kMax;   // 2^31
  if (x <= -2147483649.0) return kMin;  // -2^31 - 1: everything above truncates into range
  return static_cast<std::int32_t>(x);
}

// Rounds toward zero to a 32-bit signed integer; nothing for NaN and for
// values whose truncation lies outside the int32 range, for the operations that
// refuse a value rather than send a saturated one.
inline std::optional<std::int32_t> TruncateToInt32Exactly(double x) {
  if (!(x > -2147483649.0 && x < 2147483648.0)) return std::nullopt;  // NaN fails both
  return TruncateToInt32(x);
}

// Rounds toward zero to an unsigned 64-bit integer; nothing for NaN and for
// values whose truncation lies outside 0 to 2^64 - 1 (a count worked out from
// an erased line rate, or a negative one), so the caller can leave its output
// alone instead of storing a made-up count.
inline std::optional<std::uint64_t> TruncateToUint64(double x) {
  if (std::isnan(x)) return std::nullopt;
  if (x <= -1.0 || x >= 18446744073709551616.0) return std::nullopt;  // 2^64
  if (x < 0.0) return 0;                                              // -1 < x < 0 truncates to 0
  return static_cast<std::uint64_t>(x);
}

}  // namespace tessok
