#include "core/Tessok_API.h"

#include <cstdlib>
#include <new>

#include "calibration/ThresholdStep.h"
#include "core/Lanes.h"

namespace {

// Rate-range rows {low, high, code, option bits}; row 3 stays zero and never matches.
constexpr RateRangeRow kRateRanges[12] = {
    {1.12, 2.24, 8, 0},    {2.24, 3.12, 16, 1},  {3.12, 3.74, 20, 2},   {0.0, 0.0, 0, 0},
    {3.74, 6.27, 33, 4},   {6.27, 9.0, 48, 6},   {9.0, 12.5, 66, 12},   {12.5, 14.0, 80, 23},
    {14.0, 18.0, 96, 25},  {18.0, 24.0, 136, 32}, {24.0, 29.0, 165, 38}, {29.0, 29.88, 180, 43},
};

}  // namespace

// Only the small members are set here: the eye maps, the capture area and the
// mask arrays are already zero, and touching them would make every process that
// loads the library resident in hundreds of MiB.
Tessok_API::Tessok_API() {
  clockFileDir = "./clk/";
  saveEyeCsv = 0;
  saveCurveCsv = 0;
  for (int ch = 0; ch < tessok::kLaneCount; ++ch) {
    horizontalFitValid[ch] = 0;
    verticalFitValid[ch] = 0;
    for (int t = 0; t < 3; ++t) tableLoaded[t][ch] = 0;
  }
  for (int i = 0; i < 9; ++i) rateScalePoly[i] = tessok::calibration::kThresholdStepPoly[i];
  for (int i = 0; i < 12; ++i) rateRanges.rows[i] = kRateRanges[i];
  gateTimeSet = 0;
}

Tessok_API::~Tessok_API() {}

std::uint8_t Tessok_API::ReturnZeroStub() { return 0; }

bool Tessok_API::ReturnTrueStub() { return true; }

Tessok_API* CreateApiInstance() {
  // calloc hands out zeroed storage without touching the pages of the large
  // tables, so a heap object costs no more resident memory than a static one.
  void* storage = std::calloc(1, sizeof(Tessok_API));
  if (storage == nullptr) return nullptr;
  return new (storage) Tessok_API;
}

void DestroyApiInstance(Tessok_API* api) {
  if (api == nullptr) return;
  api->~Tessok_API();
  std::free(api);
}
