// The host side of the horizontal bathtub acquisition: what MeasureBathtub
// does with a reply once it has arrived, per measurement family.
#pragma once

#include <cstdint>

#include "measure/BathtubDecoding.h"

class Tessok_API;

namespace tessok::measure {

// How one family's horizontal curve is decoded, checked, handed back and logged.
struct HorizontalFamily {
  const BathtubDecoding* decoding;
  int checkedEntries;  // entries of the stored curve that the cleaning and the check take
  int handedBack;      // entries copied back to the caller's arrays
  int logRows;         // lines of the curve's log
};

// 128 phase positions; the caller also receives the table's 129th entry.
inline constexpr HorizontalFamily k128StepHorizontal{&kHorizontal128, 128, 129, 128};
// 64 phase positions; the check takes the unmeasured 65th entry with them.
inline constexpr HorizontalFamily k64StepHorizontal{&kHorizontal64, 65, 64, 64};

const HorizontalFamily& HorizontalFamilyOf(const Tessok_API& api);

// Decodes the reply into the bank's stored curve, cleans it, hands it back on
// the uniform grid and checks it; true when the stored curve is well formed.
bool StoreHorizontalCurve(Tessok_API& api, int bank, const HorizontalFamily& family, const std::uint8_t* reply,
                          double* x, double* ber);

}  // namespace tessok::measure
