#include "clock/ClockSource_Tarquel.h"

namespace {

constexpr std::uint32_t kDividers[] = {
    4,  5,  6,  8,  10, 12, 14, 15, 16, 18,  20,  22,  24,  25,  26,  28,  30,  32,  35,  36,  40,
    42, 44, 45, 48, 50, 52, 54, 55, 56, 60,  64,  65,  66,  70,  72,  75,  80,  84,  88,  90,  96,
    100, 104, 105, 108, 110, 112, 120, 125, 126, 128, 130, 132, 135, 140, 144, 150, 156, 160, 162, 165};
static_assert(sizeof kDividers / sizeof kDividers[0] == 62);

}  // namespace

ClockSource_Tarquel::ClockSource_Tarquel()
    : vcoMinMHz(2430.0),
      vcoMaxMHz(2580.0),
      div8MinMHz(303.75),
      div8MaxMHz(322.5),
      div4MinMHz(607.5),
      div4MaxMHz(645.0),
      maxOutputMHz(700.0) {}

ClockSource_Tarquel::~ClockSource_Tarquel() {}

ClockCandidate ClockSource_Tarquel::FindDivider(double rate, int index) {
  candidates.clear();  // storage kept for the next call
  double x = rate * 1000.0;
  for (std::uint32_t d : kDividers) {
    double f = x / d;
    // A NaN frequency fails every comparison, so a NaN rate finds nothing.
    if (f >= div8MinMHz && f <= div8MaxMHz && f < maxOutputMHz) {
      candidates.push_back(ClockCandidate{x / 1000.0, 8, d, f, f * 8});
    }
    if (f >= div4MinMHz && f <= div4MaxMHz && f < maxOutputMHz) {
      candidates.push_back(ClockCandidate{x / 1000.0, 4, d, f, f * 4});
    }
  }
  if (index < 0 || static_cast<std::size_t>(index) >= candidates.size()) return ClockCandidate{};
  return candidates[static_cast<std::size_t>(index)];
}
