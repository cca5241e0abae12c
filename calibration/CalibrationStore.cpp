#include "calibration/CalibrationStore.h"

double CalibrationStore::ComputeThresholdStep(std::uint32_t model, int lane, double /*level*/,
                                              double rateGbps) const {
  if (model == 7822 || model == 7841) {
    if (lane < 0 || lane >= 16) return 0.0;
    return thresholdStepMeasured[lane];
  }
  // Horner form, highest power first.
  double sum = 0.0;
  for (int i = 8; i >= 0; --i) sum = sum * rateGbps + thresholdStepPoly[i];
  return sum;
}
