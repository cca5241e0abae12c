// Receiver side of a lane: DSP mode and CTLE of the equaliser, the error
// detector's sampling point (raw codes, or from ps and mV) and its read-back,
// the per-lane corrections of the eye measurements, and the read-outs of the
// eye centre and the jitter fits.
#include <cmath>
#include <cstdint>
#include <optional>

#include "calibration/Conversions.h"
#include "calibration/StatusItem.h"
#include "core/Lanes.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "signal/LaneRules.h"
#include "signal/Registers.h"

using namespace tessok;
using signal::LowWord;
using signal::ModelCase;
using signal::When;

namespace {

// Boards that record the DSP mode itself (item 68) instead of resetting the CTLE record.
constexpr ModelCase kDspModeRecordModels[] = {{7668, When::Option31Is11}};
constexpr double kCtleAfterDspModeZero = 15.0;

// Boards whose read-back threshold step is half the store's step.
constexpr std::uint32_t kHalvedReadBackStepModels[] = {7822};

// Sampling-phase positions per unit interval: the 64-step boards set 64 and
// read back 65, the others count 129 both ways.
struct PhaseSteps {
  double set;
  double readBack;
};
constexpr PhaseSteps kSixtyFourStepPhases{64.0, 65.0};
constexpr PhaseSteps kDefaultPhases{129.0, 129.0};

const PhaseSteps& Phases(const Tessok_API& api) {
  return api.board.row->sixtyFourStep ? kSixtyFourStepPhases : kDefaultPhases;
}

// The channel is the bank, after the fix-ups named.
constexpr LaneRoute Direct(unsigned fixes) { return {fixes, false, kNoFix}; }

// The threshold step of a 64-step board: the store's evaluator at the lane's
// rate, given the lane's recorded output level (0.0 when the record cannot be read).
double RecordedLevelThresholdStep(Tessok_API& api, int lane) {
  double level = 0.0;
  api.Monitor(static_cast<std::uint32_t>(lane), status::kOutputLevel, &level);
  return api.calibration.ComputeThresholdStep(api.boardModel, lane, level, api.lineRate[lane]);
}

// mV / step truncated toward zero, when it is a threshold code: a zero or
// non-finite step, or a quotient outside 0..255, gives none, so that no
// threshold is programmed modulo 256 or from an undefined conversion.
std::optional<std::uint8_t> ThresholdCode(double mV, double step) {
  if (step == 0.0 || !std::isfinite(step)) return std::nullopt;
  const double q = mV / step;
  if (!std::isfinite(q)) return std::nullopt;
  const std::int32_t code = TruncateToInt32(q);
  if (code < 0 || code > 255) return std::nullopt;
  return static_cast<std::uint8_t>(code);
}

std::uint8_t WriteSampler(Tessok_API& api, std::uint32_t ch, std::uint16_t reg, std::uint16_t value) {
  const auto bank = static_cast<std::uint16_t>(ApplyLaneFixes(api, static_cast<int>(ch), kBothFixes));
  return regs::Write(api, bank, reg, value) == 1 ? 1 : 0;
}

}  // namespace

std::uint8_t Tessok_API::DSPMode(int ch, int mode) {
  Lane lane{};
  if (!ResolveLane(*this, ch, {kNoFix, true, kBothFixes}, &lane)) return 0;
  if (signal::AnyApplies(*this, kDspModeRecordModels)) {
    WriteStatusToEEProm(lane.mapped, status::kDspMode, mode);
  } else if (mode == 0) {
    WriteStatusToEEProm(lane.mapped, status::kCtle, kCtleAfterDspModeZero);
  }
  regs::Write(*this, lane.bank, reg::kDspMode, 1);
  return regs::Write(*this, lane.bank, reg::kDspMode, LowWord(mode));
}

std::uint8_t Tessok_API::CTLESetValue(int ch, int value) {
  Lane lane{};
  if (!ResolveLane(*this, ch, {kNoFix, true, kFix1To0}, &lane)) return 0;
  return regs::RecordThenWrite(*this, lane.mapped, status::kCtle, value, lane.bank, reg::kCtle, LowWord(value));
}

// The raw sampler codes and the sampling point take the channel as their bank
// and index no per-lane table.
std::uint8_t Tessok_API::SetSamplingPhaseCode(std::uint32_t ch, std::uint8_t code) {
  return WriteSampler(*this, ch, reg::kSamplingPoint, code);
}

std::uint8_t Tessok_API::SetDecisionThresholdCode(std::uint32_t ch, std::uint8_t code) {
  return WriteSampler(*this, ch, reg::kDecisionThreshold, code);
}

std::uint8_t Tessok_API::SetSamplingPoint(std::uint32_t ch, std::uint8_t phase, std::uint8_t threshold) {
  const int lane = ApplyLaneFixes(*this, static_cast<int>(ch), kBothFixes);
  WriteStatusToEEProm(lane, status::kSamplingPhase, phase);
  WriteStatusToEEProm(lane, status::kDecisionThreshold, threshold);
  const auto word = static_cast<std::uint16_t>((threshold << 8) | (phase & 0x7F));
  return regs::Write(*this, static_cast<std::uint16_t>(lane), reg::kSamplingPoint, word) == 1 ? 1 : 0;
}

std::uint8_t Tessok_API::SetDecisionThresholdMv(std::uint32_t ch, std::uint8_t mV) {
  const bool sixtyFourStep = board.row->sixtyFourStep;
  Lane lane{};
  if (!ResolveLane(*this, ch, Direct(sixtyFourStep ? kFix1To0 : kFix3To2), &lane)) return 0;
  const double step = sixtyFourStep ? RecordedLevelThresholdStep(*this, lane.bank) : calibration.thresholdStepMv;
  const std::optional<std::uint8_t> code = ThresholdCode(mV, step);
  if (!code) return 0;
  return regs::Write(*this, lane.bank, reg::kDecisionThreshold, *code) == 1 ? 1 : 0;
}

std::uint8_t Tessok_API::SetSamplingPointPsMv(int ch, int ps, int mV) {
  const bool sixtyFourStep = board.row->sixtyFourStep;
  Lane lane{};
  if (!ResolveLane(*this, ch, Direct(sixtyFourStep ? kFix1To0 : kNoFix), &lane)) return 0;
  const int c = lane.bank;
  const double rate = lineRate[c];
  const double step =
      sixtyFourStep ? calibration.ComputeThresholdStep(boardModel, c, mV, rate) : calibration.thresholdStepMv;
  const std::optional<std::uint8_t> threshold = ThresholdCode(mV, step);
  if (!threshold) return 0;
  // The phase keeps its low bits; SetSamplingPoint sends seven of them.
  const auto phase = static_cast<std::uint8_t>(TruncateToInt32(ps * rate * Phases(*this).set / 1000.0) & 0xFF);
  return SetSamplingPoint(static_cast<std::uint32_t>(c), phase, *threshold);
}

std::uint8_t Tessok_API::ReadSamplingPoint(std::uint32_t ch, double* ps, double* mV) {
  Lane lane{};
  if (!ResolveLane(*this, ch, Direct(kFix1To0), &lane)) return 0;
  const std::uint16_t bank = lane.bank;
  // Written 0, then read; neither transfer is checked, so a failed read
  // leaves the previous reply's word.
  regs::Write(*this, bank, reg::kSamplingPointReadBack, 0);
  std::uint16_t word = 0;
  regs::Read(*this, bank, reg::kSamplingPointReadBack, &word);
  const unsigned phase = word & 0xFFu;
  const unsigned threshold = word >> 8;
  const double rate = lineRate[bank];
  double step = calibration.thresholdStepMv;
  if (board.row->sixtyFourStep) {
    step = RecordedLevelThresholdStep(*this, bank);
    if (InModelList(kHalvedReadBackStepModels, boardModel)) step /= 2.0;
  }
  *mV = threshold * step;
  *ps = phase / Phases(*this).readBack * 1000.0 / rate;
  return 1;
}

int Tessok_API::ReadDecisionThresholdMv(std::uint32_t ch) {
  double ps = 0.0, mV = 0.0;
  ReadSamplingPoint(ch, &ps, &mV);
  return TruncateToInt32(mV);
}

void Tessok_API::SetLaneGainDb(std::uint32_t lane, double dB) {
  Lane l{};
  if (!ResolveLane(*this, lane, Direct(kFix1To0), &l)) return;
  calibration.laneGain[l.bank] = std::pow(10.0, dB / 20.0);
}

void Tessok_API::SetLaneFlag(int lane, std::uint8_t value) {
  if (!IsLane(lane)) return;
  calibration.laneFlag[lane] = value;
}

double Tessok_API::GetEyeCentreResult(int ch) { return IsLane(ch) ? eyeCentre[ch] : 0.0; }

void Tessok_API::GetHorizontalDjRj(int lane, double* dj, double* rj) {
  Lane l{};
  if (ResolveLane(*this, lane, Direct(kFix1To0), &l)) horizontalFits[l.bank].GetDjRj(dj, rj);
}

void Tessok_API::GetVerticalDjRj(int lane, double* dj, double* rj) {
  Lane l{};
  if (ResolveLane(*this, lane, Direct(kFix1To0), &l)) verticalFits[l.bank].GetDjRj(dj, rj);
}
