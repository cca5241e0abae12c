// Line rate of lanes 0 to 3 from a clock plan computed on the host: the
// Si5346 plan is generated, saved as the rate's clock file and sent, then each
// lane's signal processor takes its rate code.
#include <cstdint>

#include "clock/LaneRate.h"
#include "clock/LineRateDsp.h"
#include "clock/Registers.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"

using namespace tessok;

namespace {

constexpr std::uint32_t kClockSettleMs = 100;  // after the generated clock file
constexpr int kLanes = 4;

}  // namespace

std::uint32_t Tessok_API::ConfigureLineRate(double rate, std::uint32_t mode, double* f1, double* refMHz, double* f3,
                                            double* f4) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  // The planner writes through all four: without them nothing is sent.
  if (f1 == nullptr || refMHz == nullptr || f3 == nullptr || f4 == nullptr) return 0;
  regs::Write(*this, static_cast<std::uint16_t>(mode), reg::kRateControl, 0, regs::kSingleReadWord);
  for (int lane = 0; lane < kLanes; ++lane) {
    lineRate[lane] = rate;
    phaseStep[lane] = rate::PhaseStepPs(rate, rate::kPhaseStepsDsp);
  }
  if (GenerateClockFile(clockFileDir, rate, f1, refMHz, f3, f4) == 0) return 0;
  platform::SleepMs(kClockSettleMs);
  // One read-back for all banks.
  const std::uint32_t code = ReadRateDivider(0, lineRate[0]);
  if (!rate::ProgramFourLaneProcessors(*this, code)) return 0;
  rate::RecordFourProcessorLanes(*this, rate, mode);
  return lastResult;
}
