// Horizontal bathtub acquisitions: one channel with cleaning and check, up to
// four channels from one result block, and one channel with a caller's gate.
#include "measure/Bathtub.h"

#include <cstdint>

#include "core/Lanes.h"
#include "core/Models.h"
#include "core/Tessok_API.h"

namespace tessok::measure {

const HorizontalFamily& HorizontalFamilyOf(const Tessok_API& api) {
  return api.board.row->sixtyFourStep ? k64StepHorizontal : k128StepHorizontal;
}

bool StoreHorizontalCurve(Tessok_API& api, int bank, const HorizontalFamily& family, const std::uint8_t* reply,
                          double* x, double* ber) {
  double* storedBer = api.bathtubBer[bank];
  double* storedX = api.bathtubX[bank];
  const double step = api.phaseStep[bank];
  DecodeBathtub(*family.decoding, reply, api.gateTime, step, storedBer, storedX);
  api.CleanBathtubCurve(false, bank, family.checkedEntries);
  // The cleaned BER goes back on the uniform grid, whatever the cleaning moved.
  for (int i = 0; i < family.handedBack; ++i) {
    ber[i] = storedBer[i];
    x[i] = i * step;
    storedX[i] = x[i];
  }
  return api.IsCurveWellFormed(false, bank, family.checkedEntries);
}

}  // namespace tessok::measure
