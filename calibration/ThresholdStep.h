// Millivolts per decision-threshold step against line rate in Gb/s, c0 to c8
// (lowest power first): the factory default of CalibrationStore::
// thresholdStepPoly and the object's own Tessok_API::rateScalePoly.
#pragma once

namespace tessok::calibration {

inline constexpr double kThresholdStepPoly[9] = {6.495886904, 4.609947052,  -3.130113801, 0.777132962, -0.095490271,
                                                 0.006382248, -0.000235087, 4.47347e-06,  -3.42852e-08};

}  // namespace tessok::calibration
