// Vertical bathtub acquisition: BER at each of 256 decision-threshold steps of
// one channel, and the channel's measured millivolts per threshold step.
#include <cstdint>

#include "calibration/StatusItem.h"
#include "core/Lanes.h"
#include "core/Models.h"
#include "core/Tessok_API.h"
#include "link/Packet.h"
#include "measure/Acquisition.h"
#include "measure/BathtubDecoding.h"
#include "measure/CsvLogs.h"

namespace {

using namespace tessok;
using namespace tessok::measure;

// The channel as it is, but for the 7841's move of lane 1 (no channel map).
constexpr LaneRoute kChannelWithFix1To0{kFix1To0, false, kNoFix};

struct VerticalFamily {
  const BathtubDecoding* decoding;
  // Millivolts per step from the store's evaluator (for some models the step
  // just measured), else the store's fixed step.
  bool stepFromEvaluator;
  // The gate programmed once the reply has arrived (0: none).
  std::uint32_t gateAfterReply;
};

constexpr VerticalFamily k128StepVertical{&kVertical128, false, 0};
// The 64-step instrument leaves its gate at 1000 after a vertical sweep; the
// library follows, so that later acquisitions divide by the gate in force.
constexpr VerticalFamily k64StepVertical{&kVertical64, true, 1000};

constexpr int kSteps = 256;
static_assert(kSteps == kVertical128.points && kSteps == kVertical64.points);

}  // namespace

void Tessok_API::MeasureVerticalBathtub(int ch, std::uint8_t a, double* y, double* ber) {
  if (y == nullptr || ber == nullptr) return;
  Lane lane{};
  if (!ResolveLane(*this, ch, kChannelWithFix1To0, &lane)) return;
  SetGateTime(gateTime);
  ch = lane.bank;
  if (AskChecker(*this, ch) != Checker::Synchronised) return;

  // Measured step: the recorded output amplitude over the lane gain (0 counts
  // as 1) and the rows of the last eye capture. The rows are a signed
  // difference, and with no capture yet they are 0: the step is then the
  // IEEE quotient. It is stored with the curve, once the reply has arrived.
  double amplitude = 0.0;
  Monitor(static_cast<std::uint32_t>(ch), status::kOutputLevel, &amplitude);
  const double gain = calibration.laneGain[ch] == 0.0 ? 1.0 : calibration.laneGain[ch];
  const auto rows = static_cast<std::int32_t>(calibration.eyeLastRow[ch] - calibration.eyeFirstRow[ch]);
  const double measuredStep = amplitude / gain / rows;

  const VerticalFamily& family = board.row->sixtyFourStep ? k64StepVertical : k128StepVertical;
  std::uint8_t reply[link::kReplyCapacity];
  hwLayer.RequestVerticalBathtub(static_cast<std::uint8_t>(ch), a, reply);
  if (!ReplyHolds(hwLayer, ReplyBytes(*family.decoding))) return;

  calibration.thresholdStepMeasured[ch] = measuredStep;
  if (family.gateAfterReply != 0) SetGateTime(family.gateAfterReply);
  const double step = family.stepFromEvaluator ? calibration.ComputeThresholdStep(boardModel, ch, 0.0, lineRate[ch])
                                               : calibration.thresholdStepMv;
  // Neither cleaned nor checked, and the vertical fit flag stays: a previous
  // fit stands for the read-outs until the next fit.
  DecodeBathtub(*family.decoding, reply, 0, step, vBathtubBer[ch], vBathtubY[ch]);
  for (int i = 0; i < kSteps; ++i) {
    ber[i] = vBathtubBer[ch][i];
    y[i] = vBathtubY[ch][i];
  }
  // A log that cannot be written is skipped: the operation has no result.
  WriteMeasurementLog(*this, kVerticalBathtubCsvFile, ch, y, ber, kSteps);
}
