// Clock outputs and the reference clock: the clock-output select register
// 0x103 with its dividers and routes, the clock-like transmitter patterns, the
// programmable reference frequency and the 32-bit control value of registers
// 39 and 40.
//
// Every write passes its value through the single-read word, as the line-rate
// operations do, except the reference code's low half: it goes through the
// main data word, because WriteAuxControl417 repeats that word to 0x417.
#include <cstdint>
#include <optional>

#include "calibration/Conversions.h"
#include "calibration/StatusItem.h"
#include "clock/LaneRate.h"
#include "clock/Registers.h"
#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Registers.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"

using namespace tessok;

namespace {

using regs::kMainDataWord;
using regs::kSingleReadWord;

constexpr std::uint16_t kBoardBank = 0;
constexpr int kRecordLane = 0;  // status lane of the clock-output setting
constexpr int kSourceCount = 4;

// ---- Per-model and option choices ----

// Boards whose select register takes the "divider off" value at bank 0; all
// others take it at bank 1.
constexpr std::uint32_t kDividerOffAtBank0[] = {7775, 7592, 7621, 7668};
// Boards whose eight-channel form (sub-type 2 or 3) puts the lane dividers of
// channel n at bank n + 4.
constexpr std::uint32_t kLaneDividerShiftedModels[] = {7653};
constexpr std::uint16_t kLaneDividerShift = 4;
// The one board whose divider operation also sets the select register.
constexpr std::uint32_t kDividerSelectModels[] = {7698};
constexpr std::uint16_t kDividerSelect[] = {4, 7, 0, 2};  // by a = 0 to 3
// The board whose initial routing is sub-register 45 alone.
constexpr std::uint32_t kRoutingSub45Models[] = {7775};
// Option code C 1 moves the mode-3 select to bank 4.
constexpr std::uint32_t kSelectBank4OptionCodeC = 1;
constexpr std::uint16_t kSelectBank4 = 4;

// Option words of the boards whose reference clock goes through the divider
// register, 0x417 and the status table.
struct ReferencePathOptions {
  std::uint32_t option33;
  std::uint32_t option30;
};
constexpr ReferencePathOptions kDividerReferencePath{12, 1};

bool UsesDividerReferencePath(const Tessok_API& api) {
  return api.option33 == kDividerReferencePath.option33 && api.option30 == kDividerReferencePath.option30;
}

// ---- Select values ----

constexpr std::uint16_t kSelectPattern = 2;  // the transmitter pattern drives the clock output
constexpr std::uint16_t kSelectOff = 0;
constexpr std::uint16_t kSelectInitial = 1;
constexpr std::uint16_t kSelectOffsetBase = 4;
constexpr std::uint16_t kLaneDivideBy1 = 8;
constexpr std::uint16_t kLaneDivideBy2 = 16;
constexpr std::uint16_t kClockOutModeRoute = 2;
constexpr std::uint16_t kClockOutModeRouting = 3;
constexpr std::uint16_t kRouteHighBank = 2;  // ClockOutSelect's 0x10A
constexpr std::uint16_t kRouteBankForA1 = 4;

// Source 0 to 3 as the select value: 2 x source + 1 drives the clock, 2 x
// source the pattern of that source's lane.
std::uint16_t SourceSelect(int source, bool pattern) {
  return static_cast<std::uint16_t>(2 * source + (pattern ? 0 : 1));
}

// ---- Clock patterns: two 40-bit words per pattern ----

struct ClockPattern {
  std::uint64_t first;
  std::uint64_t second;
};
// ClockOutPattern 1 to 4: periods of 2, 4, 8 and 16 bits.
constexpr ClockPattern kFastPatterns[] = {
    {0xAAAAAAAAAA, 0xAAAAAAAAAA},
    {0xCCCCCCCCCC, 0xCCCCCCCCCC},
    {0xF0F0F0F0F0, 0xF0F0F0F0F0},
    {0x00FF00FF00, 0xFF00FF00FF},
};
// ClockOutByPattern 1 to 4: periods of 80, 40, 20 and 10 bits; any other
// pattern loads zeros.
constexpr ClockPattern kSlowPatterns[] = {
    {0xFFFFFFFFFF, 0x0000000000},
    {0xFFFFF00000, 0xFFFFF00000},
    {0xFFC00FFC00, 0xFFC00FFC00},
    {0xF83E0F83E0, 0xF83E0F83E0},
};
constexpr int kPatternChannelFast = 2;  // ClockOutPattern loads channel 2
constexpr int kPatternBankBase = 5;     // ClockOutByPattern: channel n at bank and pattern channel 5 + n

std::optional<ClockPattern> PatternOf(const ClockPattern (&table)[4], int pattern) {
  if (pattern < 1 || pattern > 4) return std::nullopt;
  return table[pattern - 1];
}

// ---- Reference clock ----

constexpr double kReferenceCodePerMhz = 100000.0;
constexpr std::uint32_t kReferenceSettleMs = 100;
constexpr std::uint16_t kReferenceControlValue = 8;
constexpr std::uint16_t kRateCodeReference = 1;
constexpr std::uint16_t kDividerReference = 1;
constexpr double kHighRangeFromGbps = 20.0;
constexpr std::uint16_t kHighRangeBit = 64;
constexpr int kReferenceLanes = 8;
constexpr std::uint32_t kReferenceLineRateMode = 2;
// Synthesizer word on the plain path: rate / divisor x 10^9 x 0.5, the divisor
// by the first rate threshold exceeded.
struct SynthDivisor {
  double aboveGbps;
  double divisor;
};
constexpr SynthDivisor kSynthDivisors[] = {{17.5, 80.0}, {9.3, 40.0}, {5.5, 80.0 / 3.0}};
constexpr double kSynthDivisorLowest = 40.0 / 3.0;

double SynthDivisorOf(double rate) {
  for (const SynthDivisor& d : kSynthDivisors) {
    if (rate > d.aboveGbps) return d.divisor;
  }
  return kSynthDivisorLowest;
}

std::uint16_t High16(std::int32_t v) { return static_cast<std::uint16_t>(v >> 16); }
std::uint16_t Low16(std::int32_t v) { return static_cast<std::uint16_t>(v & 0xFFFF); }

std::uint8_t Out(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value) {
  return regs::Write(api, bank, reg, value, kSingleReadWord);
}

void RecordClockOutput(Tessok_API& api, double value) {
  api.WriteStatusToEEProm(kRecordLane, status::kClockOutput, value);
}

// The reference code, high half first; the low half through the main data word.
std::uint8_t WriteReferenceCode(Tessok_API& api, std::int32_t code) {
  std::uint8_t ok = Out(api, kBoardBank, reg::kReferenceCodeHigh, High16(code));
  ok |= regs::Write(api, kBoardBank, reg::kReferenceCodeLow, Low16(code), kMainDataWord);
  return ok;
}

// Writes a sub-register of the window at the bank.
void WriteSubRegister(Tessok_API& api, std::uint16_t bank, std::uint16_t sub, std::uint16_t value) {
  Out(api, bank, reg::kDeviceWindowAddress, sub);
  Out(api, bank, reg::kDeviceWindowData, value);
}

// The rate code and pattern of ClockOutByPattern; nothing when it refuses (a
// channel outside 0 to 3, a rate without a code).
std::optional<std::uint8_t> LoadPatternOnLane(Tessok_API& api, int channel, int pattern) {
  if (channel < 0 || channel >= kSourceCount) return std::nullopt;
  const auto bank = static_cast<std::uint16_t>(kPatternBankBase + channel);
  const double rate = api.lineRate[channel];
  const std::uint32_t readBack = api.ReadRateDivider(static_cast<std::uint32_t>(channel), rate);
  if (!rate::ProgramLaneRateCode(api, bank, readBack, rate, rate::kBandTableClockPattern)) return std::nullopt;
  const ClockPattern words = PatternOf(kSlowPatterns, pattern).value_or(ClockPattern{0, 0});
  return api.SetUserPattern40x2(bank, words.first, words.second);
}

}  // namespace

int Tessok_API::ClockOutChannelDivider(std::uint16_t channel, int divider) {
  // Computed in 16 bits and recorded signed, so that restoring the settings
  // (value / 4, value mod 4) repeats this call: (0, -1) records -1.
  const auto combined =
      static_cast<std::int16_t>(static_cast<std::uint16_t>(channel * 4u + static_cast<std::uint32_t>(divider)));
  for (int lane = 0; lane < 4; ++lane) WriteStatusToEEProm(lane, status::kClockOutput, combined);
  if (divider > 0) {
    std::uint16_t bank = channel;
    if (InModelList(kLaneDividerShiftedModels, boardModel) && board.eightChannel &&
        (boardSubType == 2 || boardSubType == 3)) {
      bank = static_cast<std::uint16_t>(bank + kLaneDividerShift);
    }
    Out(*this, bank, reg::kLaneClockDivider, divider == 1 ? kLaneDivideBy1 : kLaneDivideBy2);
  } else {
    const std::uint16_t bank = InModelList(kDividerOffAtBank0, boardModel) ? 0 : 1;
    Out(*this, bank, reg::kClockSelect, kSelectOff);
  }
  return 1;
}

std::uint32_t Tessok_API::ClockOutPattern(std::uint16_t v, int pattern) {
  RecordClockOutput(*this, v);
  lastResult = Out(*this, kBoardBank, reg::kClockSelect, pattern == 0 ? kSelectInitial : kSelectPattern);
  if (const std::optional<ClockPattern> words = PatternOf(kFastPatterns, pattern)) {
    lastResult = SetUserPattern40x2(kPatternChannelFast, words->first, words->second);
  }
  return lastResult;
}

std::uint8_t Tessok_API::ClockOutSource(int source) {
  if (source < 0 || source >= kSourceCount) return 0;
  RecordClockOutput(*this, source);
  return Out(*this, kBoardBank, reg::kClockSelect, SourceSelect(source, false));
}

std::uint8_t Tessok_API::ClockOutSourcePattern(int source, int pattern) {
  if (source < 0 || source >= kSourceCount) return 0;
  RecordClockOutput(*this, source);
  const std::uint8_t ok = Out(*this, kBoardBank, reg::kClockSelect, SourceSelect(source, pattern != 0));
  if (pattern == 0) return ok;
  return LoadPatternOnLane(*this, source, pattern) ? 1 : 0;
}

int Tessok_API::ClockOutSelect(std::uint32_t mode, std::uint16_t a, std::uint16_t b) {
  RecordClockOutput(*this, ((b & 7u) << 5) | ((a & 7u) << 2) | (mode & 3u));
  Out(*this, kBoardBank, reg::kClockSelect, static_cast<std::uint16_t>(mode));
  if (mode == kClockOutModeRoute) {
    Out(*this, kBoardBank, reg::kClockWordLow, a);
    Out(*this, kRouteHighBank, reg::kClockWordHigh, b);
  } else if (mode == kClockOutModeRouting) {
    const std::uint16_t bank = optionCodeC == kSelectBank4OptionCodeC ? kSelectBank4 : kBoardBank;
    Out(*this, bank, reg::kClockSelect, kSelectPattern);
    Out(*this, bank, reg::kDeviceWindowAddress, reg::kClockRoutingSub);
    std::uint16_t unused = 0;
    regs::Read(*this, bank, reg::kDeviceWindowData, &unused);
    Out(*this, bank, reg::kDeviceWindowData, reg::kClockRoutingOn);
  }
  return 1;
}

void Tessok_API::WriteClockOutControl(std::uint16_t value) { Out(*this, kBoardBank, reg::kClockSelect, value); }

std::uint8_t Tessok_API::ClockOutRoute(std::uint32_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
  RecordClockOutput(*this, ((d & 7u) << 5) | ((c & 7u) << 2) | (a & 3u));
  Out(*this, c, reg::kClockWordLow, 0);
  Out(*this, b, reg::kClockWordHigh, d);
  if (a == 0) return Out(*this, kBoardBank, reg::kClockSelect, kSelectPattern);
  if (a == 1) return Out(*this, kRouteBankForA1, reg::kClockSelect, kSelectPattern);
  return 1;
}

std::uint8_t Tessok_API::ClockOut7668B(std::uint32_t source, std::uint32_t divider) {
  RecordClockOutput(*this, ((divider & 7u) << 5) | (source & 3u));
  const std::uint8_t selected = Out(*this, kBoardBank, reg::kClockSelect, static_cast<std::uint16_t>(source));
  const std::uint16_t dividerReg = source == 3 ? reg::kClockOutDividerAlt : reg::kClockSource;
  const std::uint8_t divided = Out(*this, kBoardBank, dividerReg, static_cast<std::uint16_t>(divider));
  lastStatus = (selected != 0 && divided != 0) ? 1 : 0;
  return lastStatus;
}

void Tessok_API::ClockOutOffsetSource(std::uint16_t v) {
  Out(*this, kBoardBank, reg::kClockSelect, static_cast<std::uint16_t>(v + kSelectOffsetBase));
}

std::uint8_t Tessok_API::ClockOutDivider(std::uint32_t a, std::uint16_t b, std::uint16_t c) {
  RecordClockOutput(*this, ((c & 7u) << 5) | ((b & 7u) << 2) | (a & 3u));
  Out(*this, b, reg::kClockSource, c);
  if (!InModelList(kDividerSelectModels, boardModel) || a >= std::size(kDividerSelect)) return 1;
  return Out(*this, static_cast<std::uint16_t>(a), reg::kClockSelect, kDividerSelect[a]);
}

std::uint8_t Tessok_API::ClockOutBankSelect(std::uint16_t a, std::uint16_t b, std::uint16_t c) {
  RecordClockOutput(*this, ((a & 1u) << 5) | ((b & 3u) << 3) | (c & 7u));
  Out(*this, a, reg::kRateControl, 0);
  return Out(*this, b, reg::kClockSelect, c);
}

int Tessok_API::InitClockRouting() {
  if (InModelList(kRoutingSub45Models, boardModel)) {
    WriteSubRegister(*this, kBoardBank, reg::kClockRoutingSub, reg::kClockRoutingInitial);
  } else {
    Out(*this, kBoardBank, reg::kClockSelect, kSelectInitial);
    WriteSubRegister(*this, kBoardBank, reg::kClockRoutingSubB, reg::kClockRoutingInitialB);
  }
  return 1;
}

std::uint32_t Tessok_API::SetReferenceClock(double mhz) {
  // A code or synthesizer word that is not a number or does not fit 32 bits is
  // refused before anything is sent: a saturated code is never the frequency asked for.
  const std::optional<std::int32_t> code = TruncateToInt32Exactly(mhz * kReferenceCodePerMhz);
  if (!code) return 0;

  if (UsesDividerReferencePath(*this)) {
    SetAuxGlobalControl(1);
    std::uint8_t ok = Out(*this, kBoardBank, reg::kClockSource, kDividerReference);
    ok |= WriteReferenceCode(*this, *code);
    platform::SleepMs(kReferenceSettleMs);
    // Nothing has touched the main data word since the code's low half: 0x417 repeats it.
    ok |= WriteAuxControl417();
    highRateRange = lineRate[0] >= kHighRangeFromGbps ? 1 : 0;
    lastResult = Out(*this, kBoardBank, reg::kRateRange, static_cast<std::uint16_t>(highRateRange * kHighRangeBit));
    lastResult = Out(*this, kBoardBank, reg::kLaneRateCode, kRateCodeReference);
    for (int lane = 0; lane < kReferenceLanes; ++lane) {
      WriteStatusToEEProm(lane, status::kLineRate, lineRate[lane]);
      WriteStatusToEEProm(lane, status::kLineRateMode, static_cast<double>(kReferenceLineRateMode));
    }
    for (int lane = 0; lane < kReferenceLanes; ++lane) {
      phaseStep[lane] = rate::PhaseStepPs(lineRate[lane], rate::kPhaseSteps);
      lineRateMode[lane] = kReferenceLineRateMode;
    }
    return ok;
  }

  // An erased rate record leaves lineRate[0] NaN, and with it the word.
  const double rate = lineRate[0];
  const std::optional<std::int32_t> word = TruncateToInt32Exactly(rate / SynthDivisorOf(rate) * 1e9 * 0.5);
  if (!word) return 0;
  SetAuxGlobalControl(1);
  std::uint8_t ok = Out(*this, kBoardBank, reg::kClockWordHigh, High16(*word));
  ok |= Out(*this, kBoardBank, reg::kClockWordLow, Low16(*word));
  ok |= Out(*this, kBoardBank, reg::kRateControl, 0);
  ok |= WriteReferenceCode(*this, *code);
  ok |= Out(*this, kBoardBank, reg::kReferenceControl, kReferenceControlValue);
  ok |= Out(*this, kBoardBank, reg::kLaneRateCode, kRateCodeReference);
  return ok;
}

bool Tessok_API::WriteControl39(double value) {
  const std::optional<std::int32_t> x = TruncateToInt32Exactly(value);
  if (!x) return false;
  Out(*this, kBoardBank, reg::kControl39High, High16(*x));
  Out(*this, kBoardBank, reg::kControl39Low, Low16(*x));
  return true;
}

std::uint8_t Tessok_API::ClockOutByPattern(int channel, int pattern) {
  return LoadPatternOnLane(*this, channel, pattern).value_or(0);
}
