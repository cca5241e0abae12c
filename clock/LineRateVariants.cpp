// Line-rate variants of particular board families: the option-word variants
// compose register 0x105 from a PAM4 flag and option flags and record them per
// channel; the clock-file variants load the reference clock from a clock file,
// the synthesizer variants plan it on the host and send the plan's chip
// registers; the default rate resets the rate registers.
//
// Their writes pass through the single-read word, as the other line-rate
// operations' do.
#include <cmath>
#include <cstdint>
#include <span>

#include "calibration/StatusItem.h"
#include "clock/ClockFiles.h"
#include "clock/LaneRate.h"
#include "clock/Registers.h"
#include "core/Lanes.h"
#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"

using namespace tessok;

namespace {

using regs::kSingleReadWord;

constexpr std::uint16_t kBoardBank = 0;
constexpr std::uint16_t kRateCodeStart = 1;  // 0x205 = 1: the board takes the new rate
constexpr double kHighRangeFromGbps = 20.0;
constexpr std::uint32_t kHighRangeBit = 64;

std::uint8_t Out(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value) {
  return regs::Write(api, bank, reg, value, kSingleReadWord);
}

// The lanes the board has, within the per-lane arrays.
int BoardLanes(const Tessok_API& api) { return api.channelCount < kLaneCount ? api.channelCount : kLaneCount; }

void SetBoardLineRates(Tessok_API& api, double rate) {
  for (int ch = 0; ch < BoardLanes(api); ++ch) api.lineRate[ch] = rate;
}

// ---- Register 0x105 of the option-word variants ----

// What an option-word variant was called with; the layouts and the item lists
// below read it.
struct OptionWordArgs {
  double rate = 0.0;
  std::uint32_t mode = 0;
  std::uint32_t pam4 = 0;
  std::uint32_t rateFlag32 = 0, rateFlag33 = 0, rateFlag34 = 0, rateFlag44 = 0, rateFlag45 = 0, rateFlag46 = 0,
                rateFlag47 = 0, rateFlag48 = 0, rateFlag52 = 0;
  std::uint32_t rateFlagBit1 = 0, rateFlagBit4 = 0, rateFlagBit7 = 0;  // flags recorded nowhere
  std::uint32_t optionBits = 0;                                        // of the rate's RateRangeTable row
};

// The source of one field of register 0x105.
enum class Field : std::uint8_t {
  Pam4,
  Flag32,
  Flag33,
  Flag34,
  Flag44,
  Flag45,
  Flag46,
  Flag47,
  Flag52,
  FlagBit1,
  FlagBit4,
  FlagBit7,
  OptionBits,
  RateFrom27,      // rate >= 27.0
  RateFrom30p2,    // rate >= 30.2
  Rate9p4To15,     // 9.4 <= rate <= 15.0
  NotLowRatePam4,  // 1 unless pam4 is 1 and rate <= 14.3
};

std::uint32_t FieldValue(Field f, const OptionWordArgs& a) {
  switch (f) {
    case Field::Pam4: return a.pam4;
    case Field::Flag32: return a.rateFlag32;
    case Field::Flag33: return a.rateFlag33;
    case Field::Flag34: return a.rateFlag34;
    case Field::Flag44: return a.rateFlag44;
    case Field::Flag45: return a.rateFlag45;
    case Field::Flag46: return a.rateFlag46;
    case Field::Flag47: return a.rateFlag47;
    case Field::Flag52: return a.rateFlag52;
    case Field::FlagBit1: return a.rateFlagBit1;
    case Field::FlagBit4: return a.rateFlagBit4;
    case Field::FlagBit7: return a.rateFlagBit7;
    case Field::OptionBits: return a.optionBits;
    case Field::RateFrom27: return a.rate >= 27.0 ? 1 : 0;
    case Field::RateFrom30p2: return a.rate >= 30.2 ? 1 : 0;
    case Field::Rate9p4To15: return (a.rate >= 9.4 && a.rate <= 15.0) ? 1 : 0;
    case Field::NotLowRatePam4: return (a.pam4 == 1 && a.rate <= 14.3) ? 0 : 1;
  }
  return 0;
}

struct FieldPlace {
  Field field;
  unsigned bit;
  std::uint32_t mask;  // 0: the value shifted in whole, so a flag above 1 reaches higher bits
};

enum class Layout : std::uint8_t { Pam4, Pam4B, Pam4C, Options };

struct Register105Layout {
  Layout layout;
  std::span<const FieldPlace> fields;
};

// Pam4, Pam4B and Pam4C shift each flag in whole; Options masks.
constexpr FieldPlace kPam4Fields[] = {
    {Field::Pam4, 0, 0},        {Field::FlagBit1, 1, 0}, {Field::Flag32, 2, 0}, {Field::Flag33, 3, 0},
    {Field::Rate9p4To15, 4, 0}, {Field::Flag34, 5, 0},   {Field::Flag44, 6, 0}, {Field::Flag46, 7, 0},
};
constexpr FieldPlace kPam4BFields[] = {
    {Field::Pam4, 0, 0},   {Field::NotLowRatePam4, 1, 0}, {Field::Flag33, 3, 0},   {Field::Flag32, 4, 0},
    {Field::Flag47, 5, 0}, {Field::Flag34, 6, 0},         {Field::FlagBit7, 7, 0}, {Field::Flag52, 10, 0},
};
constexpr FieldPlace kPam4CFields[] = {
    {Field::Pam4, 0, 0},     {Field::RateFrom30p2, 1, 0}, {Field::Flag32, 2, 0},  {Field::Flag33, 3, 0},
    {Field::FlagBit4, 4, 0}, {Field::Flag34, 5, 0},       {Field::Flag52, 10, 0},
};
constexpr FieldPlace kOptionsFields[] = {
    {Field::Pam4, 0, 1},   {Field::RateFrom27, 1, 0}, {Field::Flag32, 2, 1},      {Field::Flag33, 3, 1},
    {Field::Flag34, 5, 1}, {Field::Flag45, 6, 3},     {Field::OptionBits, 8, 63},
};

constexpr Register105Layout kRegister105Layouts[] = {
    {Layout::Pam4, kPam4Fields},
    {Layout::Pam4B, kPam4BFields},
    {Layout::Pam4C, kPam4CFields},
    {Layout::Options, kOptionsFields},
};

std::uint16_t Register105(Layout layout, const OptionWordArgs& a) {
  std::uint32_t word = 0;
  for (const Register105Layout& l : kRegister105Layouts) {
    if (l.layout != layout) continue;
    for (const FieldPlace& p : l.fields) {
      std::uint32_t v = FieldValue(p.field, a);
      if (p.mask != 0) v &= p.mask;
      word |= v << p.bit;
    }
  }
  return static_cast<std::uint16_t>(word);
}

// ---- Status items of the option-word variants ----

double ItemValue(int item, const OptionWordArgs& a, const Tessok_API& api, int lane) {
  switch (item) {
    case status::kLineRate: return api.lineRate[lane];
    case status::kLineRateMode: return a.mode;
    case status::kRateFlag32: return a.rateFlag32;
    case status::kRateFlag33: return a.rateFlag33;
    case status::kRateFlag34: return a.rateFlag34;
    case status::kRatePam4: return a.pam4;
    case status::kRateFlag44: return a.rateFlag44;
    case status::kRateFlag45: return a.rateFlag45;
    case status::kRateFlag46: return a.rateFlag46;
    case status::kRateFlag47: return a.rateFlag47;
    case status::kRateFlag48: return a.rateFlag48;
    case status::kRateFlag52: return a.rateFlag52;
    default: return 0.0;
  }
}

struct ItemList {
  Layout layout;
  std::span<const int> items;
};

constexpr int kPam4Items[] = {status::kLineRate,   status::kLineRateMode, status::kRateFlag32, status::kRateFlag33,
                              status::kRateFlag34, status::kRatePam4,     status::kRateFlag44, status::kRateFlag46};
constexpr int kPam4BItems[] = {status::kLineRate,   status::kLineRateMode, status::kRateFlag32,
                               status::kRateFlag33, status::kRatePam4,     status::kRateFlag47,
                               status::kRateFlag48, status::kRateFlag34,   status::kRateFlag52};
constexpr int kPam4CItems[] = {status::kLineRate, status::kLineRateMode, status::kRateFlag32, status::kRateFlag33,
                               status::kRatePam4, status::kRateFlag48,   status::kRateFlag34, status::kRateFlag52};
constexpr int kOptionsItems[] = {status::kLineRate,   status::kLineRateMode, status::kRateFlag32, status::kRateFlag33,
                                 status::kRateFlag34, status::kRatePam4,     status::kRateFlag45};

constexpr ItemList kItemLists[] = {
    {Layout::Pam4, kPam4Items},
    {Layout::Pam4B, kPam4BItems},
    {Layout::Pam4C, kPam4CItems},
    {Layout::Options, kOptionsItems},
};

// Each lane of the board in turn: its items, then its integer lane rate.
void RecordLanes(Tessok_API& api, Layout layout, const OptionWordArgs& a) {
  for (int lane = 0; lane < BoardLanes(api); ++lane) {
    for (const ItemList& list : kItemLists) {
      if (list.layout != layout) continue;
      for (int item : list.items) {
        api.WriteStatusToEEProm(lane, static_cast<std::int16_t>(item), ItemValue(item, a, api, lane));
      }
    }
    api.WriteLaneRate(static_cast<std::uint16_t>(lane), api.lineRate[lane]);
  }
}

// ---- Clock selection of the PAM4 variants ----

// The PAM4 variant on the board whose clock source follows the mode.
struct Pam4Board {
  std::uint32_t model;
  bool sourceFollowsMode;     // 0x104 = 1 in mode 1, else 0, at banks 0 and 1
  std::uint16_t mode1Select;  // 0x103 in mode 1 (every other mode: 1)
};
constexpr Pam4Board kPam4Boards[] = {{7837, true, 2}};
constexpr Pam4Board kPam4Default{0, false, 0};

// Option word 34 reading 1 (the eight-channel 7746): the second half of the
// board, at bank 4, takes the clock and rate registers again.
constexpr std::uint32_t kSecondHalfOption34 = 1;
constexpr std::uint16_t kSecondHalfBank = 4;

bool HasSecondHalf(const Tessok_API& api) { return api.option34 == kSecondHalfOption34; }

// Pam4B and Pam4C: with a second half, bank 0's select by mode (2 for mode 1,
// 1 for mode 0; other modes have no value and write nothing); then at the
// second half's bank (else bank 0) the select = rateFlag48 and, when that is
// 0, the clock source = reg104Value.
void SelectClockByFlag48(Tessok_API& api, const OptionWordArgs& a, std::uint32_t reg104Value) {
  std::uint16_t bank = kBoardBank;
  if (HasSecondHalf(api)) {
    if (a.mode == 0 || a.mode == 1) Out(api, kBoardBank, reg::kClockSelect, a.mode == 1 ? 2 : 1);
    bank = kSecondHalfBank;
  }
  Out(api, bank, reg::kClockSelect, static_cast<std::uint16_t>(a.rateFlag48));
  if (a.rateFlag48 == 0) Out(api, bank, reg::kClockSource, static_cast<std::uint16_t>(reg104Value));
}

// A rate register at the bank, and again at the second half's bank; lastResult each.
void WriteBothHalves(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value) {
  api.lastResult = Out(api, bank, reg, value);
  if (HasSecondHalf(api)) api.lastResult = Out(api, kSecondHalfBank, reg, value);
}

// The end of the PAM4 variants: the PAM4 flag and the mode of every channel.
std::uint32_t SetPam4Modes(Tessok_API& api, const OptionWordArgs& a) {
  for (int ch = 0; ch < BoardLanes(api); ++ch) {
    api.pam4Mode[ch] = a.pam4;
    api.lineRateMode[ch] = a.mode;
  }
  return api.lastResult;
}

// Pam4B and Pam4C share their sequence; they differ in the 0x100 write, the
// layout and bank of 0x105, and three waits.
struct SecondHalfVariant {
  Layout layout;
  bool modeControl;  // 0x100 = 0 at bank = mode first
  bool waits;        // 100 ms after the file, 5000 ms after 0x205, 100 ms after the records
};
constexpr SecondHalfVariant kPam4BVariant{Layout::Pam4B, true, false};
constexpr SecondHalfVariant kPam4CVariant{Layout::Pam4C, false, true};
constexpr std::uint32_t kClockSettleMs = 100;
constexpr std::uint32_t kRateSettleMs = 5000;
constexpr std::uint32_t kRecordSettleMs = 100;

void SettleIf(bool waits, std::uint32_t ms) {
  if (waits) platform::SleepMs(ms);
}

std::uint32_t SecondHalfRate(Tessok_API& api, const SecondHalfVariant& v, const OptionWordArgs& a,
                             std::uint32_t reg104Value, std::uint16_t rangeBank) {
  SetBoardLineRates(api, a.rate);
  if (v.modeControl) Out(api, static_cast<std::uint16_t>(a.mode), reg::kRateControl, 0);
  SelectClockByFlag48(api, a, reg104Value);
  WriteBothHalves(api, rangeBank, reg::kRateRange, Register105(v.layout, a));
  if (api.LoadClockFileCsv(api.clockFileDir, a.rate) == 0) return 0;
  SettleIf(v.waits, kClockSettleMs);
  WriteBothHalves(api, kBoardBank, reg::kLaneRateCode, kRateCodeStart);
  SettleIf(v.waits, kRateSettleMs);
  RecordLanes(api, v.layout, a);
  SettleIf(v.waits, kRecordSettleMs);
  return SetPam4Modes(api, a);
}

// ---- Synthesizer and clock-file variants ----

constexpr double kSynthInputMhz = 156.25;
constexpr std::uint32_t kSynthPlanMode = 1;  // both DSPLLs from the 156.25 MHz input
constexpr double kSynthHighRateFromGbps = 17.5;
constexpr double kSynthHighRateRatio = 82.5;  // Gb/s per GHz of reference above 17.5 Gb/s
constexpr double kSynthLowRateRatio = 33.0;
constexpr std::uint16_t kSynthRangeBase = 5;
constexpr std::uint32_t kClockFileMode = 1;  // item 0 of the synthesizer and clock-file variants

// The reference frequency in MHz, rounded to 1 Hz (halves away from zero).
double SynthReferenceMhz(double rate, std::int64_t offsetHz) {
  const double ghz = rate > kSynthHighRateFromGbps ? rate / kSynthHighRateRatio : rate / kSynthLowRateRatio;
  return std::round(ghz * 1e9 + static_cast<double>(offsetHz)) / 1e6;
}

// What the synthesizer and clock-file variants do once the reference clock is
// loaded: the rate range, the rate start, lane 0 recorded in mode 1, and the
// phase step and mode of every lane of the board.
std::uint32_t FinishReferenceRate(Tessok_API& api) {
  api.highRateRange = api.lineRate[0] >= kHighRangeFromGbps ? 1 : 0;
  api.lastResult = Out(api, kBoardBank, reg::kRateRange,
                       static_cast<std::uint16_t>(api.highRateRange * kHighRangeBit + kSynthRangeBase));
  api.lastResult = Out(api, kBoardBank, reg::kLaneRateCode, kRateCodeStart);
  api.WriteStatusToEEProm(0, status::kLineRate, api.lineRate[0]);
  api.WriteStatusToEEProm(0, status::kLineRateMode, static_cast<double>(kClockFileMode));
  for (int ch = 0; ch < BoardLanes(api); ++ch) {
    api.phaseStep[ch] = rate::PhaseStepPs(api.lineRate[ch], rate::kPhaseSteps);
    api.lineRateMode[ch] = kClockFileMode;
  }
  return api.lastResult;
}

std::uint32_t SynthesizedRate(Tessok_API& api, double rate, std::int64_t offsetHz) {
  SetBoardLineRates(api, rate);
  const double reference = SynthReferenceMhz(rate, offsetHz);
  double f1 = kSynthInputMhz, f2 = reference, f3 = kSynthInputMhz, f4 = reference;
  // Without a plan there is no register list to send: nothing goes out.
  if (!api.si5346.ComputePlan(&f1, &f2, &f3, &f4, kSynthPlanMode, static_cast<int>(api.boardModel))) return 0;
  clockfile::SendPlan(api, kBoardBank);
  return FinishReferenceRate(api);
}

constexpr int kDualLanes = 8;  // rate 1 for lanes 0-3, rate 2 for lanes 4-7
constexpr int kDualFirstLanes = 4;
constexpr std::uint16_t kDualSecondBank = 4;
constexpr int kPerBankLanes = 8;
constexpr double kPerBankMode = 0.0;  // item 0 of the per-bank variant

// ---- The default rate ----

constexpr double kDefaultRateGbps = 10.3125;
constexpr int kDefaultRateLanes = 10;

}  // namespace

std::uint32_t Tessok_API::LineRateConfigurationSynth(double rate, std::int64_t offsetHz) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  return SynthesizedRate(*this, rate, offsetHz);
}

std::uint32_t Tessok_API::LineRateConfigurationSynthNominal(double rate) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  return SynthesizedRate(*this, rate, 0);
}

std::uint32_t Tessok_API::SetDefaultLineRate() {
  for (int lane = 0; lane < kDefaultRateLanes; ++lane) lineRate[lane] = kDefaultRateGbps;
  highRateRange = 0;
  lastResult = Out(*this, kBoardBank, reg::kRateRange, 0);
  lastResult = Out(*this, kBoardBank, reg::kLaneRateCode, kRateCodeStart);
  for (int lane = 0; lane < kDefaultRateLanes; ++lane)
    phaseStep[lane] = rate::PhaseStepPs(kDefaultRateGbps, rate::kPhaseSteps);
  return lastResult;
}

std::uint32_t Tessok_API::LineRateConfigurationOptions(double rate, std::uint32_t mode, std::uint32_t pam4,
                                                       std::uint32_t rateFlag32, std::uint32_t rateFlag33,
                                                       std::uint32_t rateFlag34, std::uint32_t rateFlag45) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  OptionWordArgs a{.rate = rate,
                   .mode = mode,
                   .pam4 = pam4,
                   .rateFlag32 = rateFlag32,
                   .rateFlag33 = rateFlag33,
                   .rateFlag34 = rateFlag34,
                   .rateFlag45 = rateFlag45};
  // This variant records before it writes any register.
  SetBoardLineRates(*this, rate);
  RecordLanes(*this, Layout::Options, a);
  for (int ch = 0; ch < BoardLanes(*this); ++ch) pam4Mode[ch] = pam4;
  FindRateEntry(rate, &a.optionBits);
  const auto modeBank = static_cast<std::uint16_t>(mode);
  Out(*this, modeBank, reg::kRateControl, 1);
  Out(*this, modeBank, reg::kClockSelect, 2);
  lastResult = Out(*this, kBoardBank, reg::kRateRange, Register105(Layout::Options, a));
  lastResult = Out(*this, kBoardBank, reg::kLaneRateCode, kRateCodeStart);
  return lastResult;
}

std::uint32_t Tessok_API::LineRateConfigurationPam4(double rate, std::uint32_t pam4, std::uint32_t rateFlag33,
                                                    std::uint32_t rateFlag32, std::uint32_t rateFlag34,
                                                    std::uint32_t mode, std::uint32_t rateFlagBit1,
                                                    std::uint32_t rateFlag44, std::uint32_t rateFlag46) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  const OptionWordArgs a{.rate = rate,
                         .mode = mode,
                         .pam4 = pam4,
                         .rateFlag32 = rateFlag32,
                         .rateFlag33 = rateFlag33,
                         .rateFlag34 = rateFlag34,
                         .rateFlag44 = rateFlag44,
                         .rateFlag46 = rateFlag46,
                         .rateFlagBit1 = rateFlagBit1};
  const Pam4Board& pam4Board = RowForModel(kPam4Boards, boardModel, kPam4Default);
  SetBoardLineRates(*this, rate);
  Out(*this, static_cast<std::uint16_t>(mode), reg::kRateControl, 0);
  if (pam4Board.sourceFollowsMode) {
    const std::uint16_t source = mode == 1 ? 1 : 0;
    Out(*this, 0, reg::kClockSource, source);
    Out(*this, 1, reg::kClockSource, source);
  }
  Out(*this, kBoardBank, reg::kClockSelect, mode == 1 ? pam4Board.mode1Select : std::uint16_t{1});
  rateModeFlag = rateFlag34;
  lastResult = Out(*this, kBoardBank, reg::kRateRange, Register105(Layout::Pam4, a));
  if (LoadClockFileCsv(clockFileDir, rate) == 0) return 0;
  lastResult = Out(*this, kBoardBank, reg::kLaneRateCode, kRateCodeStart);
  RecordLanes(*this, Layout::Pam4, a);
  return SetPam4Modes(*this, a);
}

std::uint32_t Tessok_API::LineRateConfigurationPam4B(double rate, std::uint32_t pam4, std::uint32_t rateFlag33,
                                                     std::uint32_t rateFlag32, std::uint32_t rateFlag47,
                                                     std::uint32_t mode, std::uint32_t rateFlag48,
                                                     std::uint32_t reg104Value, std::uint32_t rateFlag34,
                                                     std::uint32_t rateFlagBit7, std::uint32_t rateFlag52) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  const OptionWordArgs a{.rate = rate,
                         .mode = mode,
                         .pam4 = pam4,
                         .rateFlag32 = rateFlag32,
                         .rateFlag33 = rateFlag33,
                         .rateFlag34 = rateFlag34,
                         .rateFlag47 = rateFlag47,
                         .rateFlag48 = rateFlag48,
                         .rateFlag52 = rateFlag52,
                         .rateFlagBit7 = rateFlagBit7};
  return SecondHalfRate(*this, kPam4BVariant, a, reg104Value, kBoardBank);
}

std::uint32_t Tessok_API::LineRateConfigurationPam4C(double rate, std::uint32_t pam4, std::uint32_t rateFlag33,
                                                     std::uint32_t rateFlag32, std::uint32_t rateFlagBit4,
                                                     std::uint32_t mode, std::uint32_t rateFlag48,
                                                     std::uint32_t reg104Value, std::uint32_t rateFlag34,
                                                     std::uint32_t bank105, std::uint32_t rateFlag52) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  const OptionWordArgs a{.rate = rate,
                         .mode = mode,
                         .pam4 = pam4,
                         .rateFlag32 = rateFlag32,
                         .rateFlag33 = rateFlag33,
                         .rateFlag34 = rateFlag34,
                         .rateFlag48 = rateFlag48,
                         .rateFlag52 = rateFlag52,
                         .rateFlagBit4 = rateFlagBit4};
  return SecondHalfRate(*this, kPam4CVariant, a, reg104Value, static_cast<std::uint16_t>(bank105));
}

std::uint32_t Tessok_API::LineRateConfigurationBasic(double rate) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  SetBoardLineRates(*this, rate);
  if (LoadClockFileCsv(clockFileDir, rate) == 0) return 0;
  return FinishReferenceRate(*this);
}

std::uint32_t Tessok_API::LineRateConfigurationDual(double rate1, double rate2) {
  if (!rate::IsUsableLineRate(rate1) || !rate::IsUsableLineRate(rate2)) return 0;
  for (int lane = 0; lane < kDualLanes; ++lane) lineRate[lane] = lane < kDualFirstLanes ? rate1 : rate2;
  if (LoadClockFilePair378(clockFileDir, rate1, rate2) == 0) return 0;
  lastResult = Out(*this, kBoardBank, reg::kLaneRateCode, rate::RateWordMbps(rate1));
  lastResult = Out(*this, kDualSecondBank, reg::kLaneRateCode, rate::RateWordMbps(rate2));
  WriteStatusToEEProm(0, status::kLineRate, lineRate[0]);
  WriteStatusToEEProm(0, status::kLineRateMode, static_cast<double>(kClockFileMode));
  for (int lane = 0; lane < kDualLanes; ++lane) {
    phaseStep[lane] = rate::PhaseStepPs(lineRate[lane], rate::kPhaseSteps);
    lineRateMode[lane] = kClockFileMode;
  }
  return lastResult;
}

std::uint32_t Tessok_API::LineRateConfigurationPerBank(double rate, int bank) {
  if (!rate::IsUsableLineRate(rate)) return 0;
  for (int lane = 0; lane < kPerBankLanes; ++lane) lineRate[lane] = rate;
  if (LoadClockFileWithMode(clockFileDir, rate) == 0) return 0;
  lastResult = Out(*this, static_cast<std::uint16_t>(bank), reg::kLaneRateCode, rate::RateWordMbps(rate));
  for (int lane = 0; lane < kPerBankLanes; ++lane) {
    WriteStatusToEEProm(lane, status::kLineRate, lineRate[lane]);
    WriteStatusToEEProm(lane, status::kLineRateMode, kPerBankMode);
    WriteLaneRate(static_cast<std::uint16_t>(lane), rate);
  }
  for (int lane = 0; lane < kPerBankLanes; ++lane) phaseStep[lane] = rate::PhaseStepPs(rate, rate::kPhaseSteps);
  return lastResult;
}
