// Line-rate configuration: the exported lane-0 operation, the general
// operation that gives every channel one rate, and the preset operation. The
// general and preset operations end by restoring each lane's receiver
// equalisation from the status table and setting the threshold step.
#include "calibration/Conversions.h"
#include "calibration/StatusItem.h"
#include "clock/LaneRate.h"
#include "clock/Registers.h"
#include "core/Lanes.h"
#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"

using namespace tessok;

namespace {

// Line-rate operations write through the single-read word.
constexpr int kRateWord = regs::kSingleReadWord;

constexpr int kReEqualisedLanes = 8;  // the general operation and the eight-lane preset path
constexpr int kFourLanePresetLanes = 4;
constexpr double kHighRateRangeGbps = 20.0;  // 0x105 bit 6 from here up
constexpr double kRateRangeBit1Gbps = 27.0;  // the exported operation's bit 1
constexpr double kCtleSplitGbps = 15.0;      // item 40 below, item 41 from here up
constexpr double kThresholdStepSplitGbps = 15.0;
constexpr double kThresholdStepLowMv = 1.5;  // rate <= 15 Gb/s
constexpr double kThresholdStepHighMv = 1.73;
constexpr double kCtleMax = 15.0;

std::uint16_t Low16(std::int64_t v) { return static_cast<std::uint16_t>(v & 0xFFFF); }

// ---- Per-model choices of the general operation ----

enum class ClockFile { Plain45, WithMode };
enum class RateCode {
  One,        // 0x205 = 1 at bank 0
  Mbps,       // the rate in Mb/s at bank 0
  MbpsTwice,  // the rate in Mb/s at banks 0 and 1
};

struct GeneralRateModel {
  std::uint32_t model;
  ClockFile clockFile;
  RateCode rateCode;
  bool option30ExternalClock;  // option30 1 with mode 2: 0x104 = 1, no clock file (7733)
  bool subTypeRateRange;       // sub-types 2 and 3 take 0x105 = 0x41 / 0x01 (7653)
};

constexpr GeneralRateModel kGeneralRateModels[] = {
    {7775, ClockFile::WithMode, RateCode::Mbps, false, false},
    {7780, ClockFile::WithMode, RateCode::MbpsTwice, false, false},
    {7781, ClockFile::WithMode, RateCode::Mbps, false, false},
    {7733, ClockFile::Plain45, RateCode::One, true, false},
    {7653, ClockFile::Plain45, RateCode::One, false, true},
};
constexpr GeneralRateModel kGeneralRateDefault{0, ClockFile::Plain45, RateCode::One, false, false};

// ---- Per-model choice of the preset operation ----

// The boards whose preset operation takes the eight-lane path: the model and
// its sub-type.
struct EightLanePresetBoard {
  std::uint32_t model;
  std::uint32_t subType;
};
constexpr EightLanePresetBoard kEightLanePresetBoards[] = {{7653, 1}};

bool TakesEightLanePresetPath(const Tessok_API& api) {
  for (const EightLanePresetBoard& b : kEightLanePresetBoards) {
    if (b.model == api.boardModel && b.subType == api.boardSubType) return true;
  }
  return false;
}

// ---- Shared steps ----

std::uint8_t WriteRate(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value) {
  return regs::Write(api, bank, reg, value, kRateWord);
}

// 0x100 = 0 at bank = mode, then 0x104 = 0: the board takes its clock from the clock chip.
void SelectClockChip(Tessok_API& api, std::uint32_t mode) {
  WriteRate(api, Low16(mode), reg::kRateControl, 0);
  WriteRate(api, 0, reg::kClockSource, 0);
}

// Item 1 = the lane's line rate and item 0 = the mode, then the lane's integer rate.
void RecordAndWriteLaneRates(Tessok_API& api, int lanes, double rate, std::uint32_t mode) {
  for (int lane = 0; lane < lanes; ++lane) {
    api.WriteStatusToEEProm(lane, status::kLineRate, api.lineRate[lane]);
    api.WriteStatusToEEProm(lane, status::kLineRateMode, static_cast<double>(mode));
    api.WriteLaneRate(static_cast<std::uint16_t>(lane), rate);
  }
}

// The receiver equalisation stored for the rate's side of 15 Gb/s, applied
// where the record holds a CTLE value (0 to 15; an erased record reads as NaN
// and is skipped). Every lane's record is read, but only the lanes the board
// has are set: a lane beyond the channel count has no bank of its own (the
// channel map sends it to lane 0's), so its value would replace lane 0's.
void ReEqualise(Tessok_API& api, int lanes, double rate) {
  const auto item = static_cast<std::uint8_t>(rate < kCtleSplitGbps ? status::kCtleBelow15G : status::kCtleFrom15G);
  for (int lane = 0; lane < lanes; ++lane) {
    double value = 0.0;
    api.Monitor(static_cast<std::uint32_t>(lane), item, &value);  // a failed read leaves what the link delivered
    if (lane >= api.channelCount) continue;
    if (!(value >= 0.0 && value <= kCtleMax)) continue;
    api.DSPMode(lane, 1);
    api.CTLESetValue(lane, TruncateToInt32(value));
  }
}

// The end of the general and preset operations: phase step, equalisation,
// mode and threshold step of the lanes re-rated. The result is the rate
// registers' (kept in lastResult, which the status reads overwrite on the way).
std::uint32_t FinishRateChange(Tessok_API& api, int lanes, double rate, std::uint32_t mode) {
  const std::uint32_t rateResult = api.lastResult;
  for (int lane = 0; lane < lanes; ++lane)
    api.phaseStep[lane] = rate::PhaseStepPs(api.lineRate[lane], rate::kPhaseSteps);
  ReEqualise(api, lanes, rate);
  for (int lane = 0; lane < lanes; ++lane) api.lineRateMode[lane] = mode;
  api.calibration.thresholdStepMv = rate <= kThresholdStepSplitGbps ? kThresholdStepLowMv : kThresholdStepHighMv;
  api.lastResult = rateResult;
  return rateResult;
}

// Register 0x105 of the exported operation: each flag's bit 0 in its place,
// bit 1 from 27 Gb/s, the rate row's option bits in bits 8 to 13.
std::uint16_t ExportedRateRange(double rate, int pam4, std::uint32_t rateFlag32, std::uint32_t rateFlag33,
                                std::uint32_t rateFlag34, std::uint32_t optionBits, std::uint32_t rateFlag44) {
  std::uint32_t w = 0;
  w |= static_cast<std::uint32_t>(pam4) & 1u;
  w |= (rate >= kRateRangeBit1Gbps ? 1u : 0u) << 1;
  w |= (rateFlag32 & 1u) << 2;
  w |= (rateFlag33 & 1u) << 3;
  w |= (rateFlag34 & 1u) << 5;
  w |= (optionBits & 0x3Fu) << 8;
  w |= (rateFlag44 & 1u) << 14;
  return static_cast<std::uint16_t>(w);
}

}  // namespace

std::uint8_t Tessok_API::LineRateConfiguration_7668B(double rate, int mode, int pam4, std::uint32_t rateFlag32,
                                                     std::uint32_t rateFlag33, std::uint32_t rateFlag34,
                                                     std::uint32_t bank105, std::uint32_t rateFlag44) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  lineRate[0] = rate;
  // Recorded first, so a missing clock file still leaves the request on record.
  WriteStatusToEEProm(0, status::kLineRate, rate);
  WriteStatusToEEProm(0, status::kLineRateMode, mode);
  WriteStatusToEEProm(0, status::kRateFlag32, rateFlag32);
  WriteStatusToEEProm(0, status::kRateFlag33, rateFlag33);
  WriteStatusToEEProm(0, status::kRateFlag34, rateFlag34);
  WriteStatusToEEProm(0, status::kRateRangeBank, bank105);
  WriteStatusToEEProm(0, status::kRatePam4, pam4);
  WriteStatusToEEProm(0, status::kRateFlag44, rateFlag44);
  WriteLaneRate(0, rate);
  pam4Mode[0] = static_cast<std::uint32_t>(pam4);
  if (LoadClockFile500(clockFileDir, rate) == 0) return 0;
  std::uint32_t optionBits = 0;
  FindRateEntry(rate, &optionBits);
  WriteRate(*this, Low16(mode), reg::kRateControl, 1);
  lastResult = WriteRate(*this, Low16(bank105), reg::kRateRange,
                         ExportedRateRange(rate, pam4, rateFlag32, rateFlag33, rateFlag34, optionBits, rateFlag44));
  lastResult = WriteRate(*this, 0, reg::kLaneRateCode, 1);
  return lastResult == 1 ? 1 : 0;
}

std::uint32_t Tessok_API::LineRateConfiguration(double rate, std::uint32_t mode) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  const GeneralRateModel& m = RowForModel(kGeneralRateModels, boardModel, kGeneralRateDefault);
  for (int ch = 0; ch < channelCount && ch < kLaneCount; ++ch) lineRate[ch] = rate;

  if (m.option30ExternalClock && option30 == 1 && mode == 2) {
    WriteRate(*this, 0, reg::kClockSource, 1);
  } else {
    SelectClockChip(*this, mode);
    const int loaded = m.clockFile == ClockFile::WithMode ? LoadClockFileWithMode(clockFileDir, rate)
                                                          : LoadClockFile45(clockFileDir, rate);
    if (loaded == 0) return 0;
  }

  if (m.subTypeRateRange && (boardSubType == 2 || boardSubType == 3)) {
    WriteRate(*this, 0, reg::kRateRange, rate >= kHighRateRangeGbps ? 0x41 : 0x01);
  } else {
    highRateRange = lineRate[0] >= kHighRateRangeGbps ? 1 : 0;
    lastResult = WriteRate(*this, 0, reg::kRateRange, static_cast<std::uint16_t>(highRateRange * 64));
  }

  if (m.rateCode == RateCode::One) {
    lastResult = WriteRate(*this, 0, reg::kLaneRateCode, 1);
  } else {
    const std::uint16_t mbps = rate::RateWordMbps(rate);
    lastResult = WriteRate(*this, 0, reg::kLaneRateCode, mbps);
    if (m.rateCode == RateCode::MbpsTwice) lastResult = WriteRate(*this, 1, reg::kLaneRateCode, mbps);
  }

  RecordAndWriteLaneRates(*this, kReEqualisedLanes, rate, mode);
  return FinishRateChange(*this, kReEqualisedLanes, rate, mode);
}

std::uint32_t Tessok_API::LineRateConfigurationPreset(double rate, std::uint32_t mode) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  for (int lane = 0; lane < kFourLanePresetLanes; ++lane) lineRate[lane] = rate;
  SelectClockChip(*this, mode);

  if (TakesEightLanePresetPath(*this)) {
    if (LoadClockFile45(clockFileDir, rate) == 0) return 0;
    highRateRange = lineRate[0] >= kHighRateRangeGbps ? 1 : 0;
    lastResult = WriteRate(*this, 0, reg::kRateRange, static_cast<std::uint16_t>(highRateRange * 64 + 1));
    if (!rate::IsEightLanePresetRate(rate)) return 0;
    lastResult = WriteRate(*this, 0, reg::kLaneRateCode, 1);
    RecordAndWriteLaneRates(*this, kReEqualisedLanes, rate, mode);
    return FinishRateChange(*this, kReEqualisedLanes, rate, mode);
  }

  // The preset number travels in the bank field of the rate-code write.
  const auto preset = static_cast<std::uint16_t>(rate::kLineRatePresets.PresetOf(rate));
  lastResult = WriteRate(*this, preset, reg::kLaneRateCode, 1);
  RecordAndWriteLaneRates(*this, kFourLanePresetLanes, rate, mode);
  return FinishRateChange(*this, kFourLanePresetLanes, rate, mode);
}
