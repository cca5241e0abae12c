// Line-rate variants of boards whose lanes each carry a signal processor that
// takes a rate code in register 0x205 of its bank and must then report ready,
// or that take their lanes two at a time. These count 64 sampling-phase steps
// per unit interval. Their writes pass through the single-read word.
#include "clock/LineRateDsp.h"

#include <cstdint>

#include "calibration/StatusItem.h"
#include "clock/LaneRate.h"
#include "clock/Registers.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"

using namespace tessok;

namespace {

using regs::kSingleReadWord;

constexpr std::uint32_t kClockSettleMs = 100;  // after the clock file
constexpr int kFourLanes = 4;
constexpr std::uint32_t kPairCount = 2;          // pair 0: lanes 0-1, pair 1: lanes 2-3
constexpr std::uint32_t kDividerMode = 2;        // DspPair: one rate for lanes 0-3 from the divider finder
constexpr double kPairHighRangeFromGbps = 15.0;  // Pair: bit 6 of the lane's 0x105
constexpr std::uint32_t kHighRangeBit = 64;

std::uint8_t Out(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value) {
  return regs::Write(api, bank, reg, value, kSingleReadWord);
}

// Banks of the four-lane variants, in order; a bank with a flag is programmed
// only when the connected board's option word set it to 1.
struct ProcessorBank {
  std::uint16_t bank;
  std::uint32_t Tessok_API::*flag;  // nullptr: always
};
constexpr ProcessorBank kFourLaneBanks[] = {
    {0, nullptr},
    {1, &Tessok_API::remapLane1},
    {2, nullptr},
    {3, &Tessok_API::option57Bit2},
};

// The two lanes of a pair: a = 2 x pair, b = 2 x pair + 1.
struct PairLanes {
  int a, b;
};
PairLanes LanesOf(std::uint32_t pair) {
  const int a = 2 * static_cast<int>(pair);
  return {a, a + 1};
}

// Sets a pair's rates and their 64-step phase steps.
void SetPairRates(Tessok_API& api, PairLanes p, double rate1, double rate2) {
  api.lineRate[p.a] = rate1;
  api.lineRate[p.b] = rate2;
  for (int lane : {p.a, p.b}) api.phaseStep[lane] = rate::PhaseStepPs(api.lineRate[lane], rate::kPhaseStepsDsp);
}

// Item 1 (the lane's rate), item 0 (mode) and the integer lane rate of one lane.
void RecordLane(Tessok_API& api, int lane, std::uint32_t mode) {
  api.WriteStatusToEEProm(lane, status::kLineRate, api.lineRate[lane]);
  api.WriteStatusToEEProm(lane, status::kLineRateMode, static_cast<double>(mode));
  api.WriteLaneRate(static_cast<std::uint16_t>(lane), api.lineRate[lane]);
}

// The divider mode of DspPair: the divider of the candidate for rate1 to the
// processors of banks 0 to 3, with two retries for all four banks together.
std::uint32_t DividerRate(Tessok_API& api, double rate, int index) {
  const ClockCandidate candidate = api.clockSource.FindDivider(rate, index);
  // Without a candidate there is no divider to send.
  if (!candidate.IsValid()) return 0;
  Out(api, 0, reg::kRateControl, 0);
  for (int lane = 0; lane < kFourLanes; ++lane) {
    api.lineRate[lane] = rate;
    api.phaseStep[lane] = rate::PhaseStepPs(api.lineRate[lane], rate::kPhaseStepsDsp);
  }
  const auto divider = static_cast<std::uint16_t>(candidate.divider & 0xFFFF);
  int retries = rate::kRateCodeRetries;
  for (int bank = 0; bank < kFourLanes; ++bank) {
    rate::WriteLaneRateCode(api, static_cast<std::uint16_t>(bank), divider, retries);
  }
  return api.lastResult;
}

}  // namespace

namespace tessok::rate {

bool ProgramFourLaneProcessors(Tessok_API& api, std::uint32_t readBackCode) {
  const RateBandTable& bands = BandTableA(api);
  for (const ProcessorBank& b : kFourLaneBanks) {
    if (b.flag != nullptr && api.*b.flag != 1) continue;
    if (!ProgramLaneRateCode(api, b.bank, readBackCode, api.lineRate[b.bank], bands)) return false;
  }
  return true;
}

void RecordFourProcessorLanes(Tessok_API& api, double rate, std::uint32_t mode) {
  for (int lane = 0; lane < kFourLanes; ++lane) {
    api.WriteStatusToEEProm(lane, status::kLineRate, rate);
    api.WriteStatusToEEProm(lane, status::kLineRateMode, static_cast<double>(mode));
    api.WriteLaneRate(static_cast<std::uint16_t>(lane), api.lineRate[lane]);
    api.phaseStep[lane] = PhaseStepPs(rate, kPhaseStepsDsp);
    api.lineRateMode[lane] = mode;
  }
}

}  // namespace tessok::rate

std::uint32_t Tessok_API::LineRateConfigurationDsp4Ch(double rate, std::uint32_t mode) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  Out(*this, static_cast<std::uint16_t>(mode), reg::kRateControl, 0);
  for (int lane = 0; lane < kFourLanes; ++lane) {
    lineRate[lane] = rate;
    phaseStep[lane] = rate::PhaseStepPs(rate, rate::kPhaseStepsDsp);
  }
  if (LoadClockFileCsv2(clockFileDir, rate) == 0) return 0;
  platform::SleepMs(kClockSettleMs);
  // One read-back for all banks.
  const std::uint32_t code = ReadRateDivider(0, lineRate[0]);
  if (!rate::ProgramFourLaneProcessors(*this, code)) return 0;
  rate::RecordFourProcessorLanes(*this, lineRate[0], mode);
  return lastResult;
}

std::uint32_t Tessok_API::LineRateConfigurationDspPair(std::uint32_t pair, double rate1, double rate2,
                                                       std::uint32_t mode, int index) {
  // Refused before anything is sent: a rate that is no finite number (either
  // rate, in every mode), a mode or pair without lanes.
  if (!rate::IsUsableLineRate(rate1) || !rate::IsUsableLineRate(rate2)) return 0;
  if (mode > kDividerMode) return 0;
  if (mode == kDividerMode) return DividerRate(*this, rate1, index);
  if (pair >= kPairCount) return 0;
  const PairLanes p = LanesOf(pair);
  Out(*this, static_cast<std::uint16_t>(mode), reg::kRateControl, 0);
  SetPairRates(*this, p, rate1, rate2);
  if (LoadClockFilePair378Bank(clockFileDir, pair, lineRate[p.a], lineRate[p.b]) == 0) return 0;
  platform::SleepMs(kClockSettleMs);
  // Each lane its own read-back and its own retry allowance.
  for (int lane : {p.a, p.b}) {
    const auto bank = static_cast<std::uint16_t>(lane);
    const std::uint32_t code = ReadRateDivider(bank, lineRate[lane]);
    if (!rate::ProgramLaneRateCode(*this, bank, code, lineRate[lane], rate::kBandTableB)) return 0;
  }
  for (int lane : {p.a, p.b}) RecordLane(*this, lane, mode);
  for (int lane : {p.a, p.b}) {
    phaseStep[lane] = rate::PhaseStepPs(lineRate[lane], rate::kPhaseStepsDsp);
    lineRateMode[lane] = mode;
  }
  return lastResult;
}

std::uint32_t Tessok_API::LineRateConfigurationPair(std::uint32_t pair, double rate1, double rate2, std::uint32_t mode,
                                                    std::uint16_t code1, std::uint16_t code2) {
  if (!rate::IsUsableLineRate(rate1) || !rate::IsUsableLineRate(rate2)) return 0;
  if (pair >= kPairCount) return 0;
  const PairLanes p = LanesOf(pair);
  Out(*this, static_cast<std::uint16_t>(mode), reg::kRateControl, 0);
  SetPairRates(*this, p, rate1, rate2);
  if (LoadClockFilePair45Bank(clockFileDir, pair, lineRate[p.a], lineRate[p.b]) == 0) return 0;
  const std::uint16_t codes[2] = {code1, code2};
  int i = 0;
  for (int lane : {p.a, p.b}) {
    const auto bank = static_cast<std::uint16_t>(lane);
    highRateRange = lineRate[lane] >= kPairHighRangeFromGbps ? 1 : 0;
    lastResult = Out(*this, bank, reg::kRateRange, static_cast<std::uint16_t>(highRateRange * kHighRangeBit));
    lastResult = Out(*this, bank, reg::kLaneRateCode, codes[i++]);
  }
  for (int lane : {p.a, p.b}) RecordLane(*this, lane, mode);
  for (int lane : {p.a, p.b}) phaseStep[lane] = rate::PhaseStepPs(lineRate[lane], rate::kPhaseStepsDsp);
  // Every lane of the four, whichever pair was set.
  for (int lane = 0; lane < kFourLanes; ++lane) lineRateMode[lane] = mode;
  return lastResult;
}
