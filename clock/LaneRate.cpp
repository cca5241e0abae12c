// Lane rate registers: the integer rate, the rate-code read-back and the
// per-rate stored codes, the signal processor's readiness check and rate PLL,
// and the lane rate update that re-rates a group of four lanes.
#include "clock/LaneRate.h"

#include "calibration/Conversions.h"
#include "calibration/EepromBytes.h"
#include "calibration/EepromMap.h"
#include "clock/Registers.h"
#include "core/RegisterOps.h"
#include "core/Registers.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"

using namespace tessok;

namespace {

using regs::kSingleReadWord;

// Models whose lanes keep their rate codes for 10.3125 and 25.78125 Gb/s in the EEPROM.
constexpr std::uint32_t kStoredRateCodeModels[] = {7822};

constexpr double kStoredRateLow = 10.3125;    // Gb/s, the value at the base
constexpr double kStoredRateHigh = 25.78125;  // the value at base + 8

constexpr std::uint32_t kReadinessWaitMs = 50;
constexpr std::uint32_t kCommitWaitMs = 100;

// Base of a selector's per-rate values; selector 0 at the short-form base when asked.
std::uint32_t RateValueBase(std::uint16_t selector, bool shortForm) {
  switch (selector) {
    case 0: return shortForm ? eeprom::kRateValuesBase : eeprom::kRateValuesBaseLong;
    case 1: return eeprom::kRateValuesBaseSelector1;
    case 2: return eeprom::kRateValuesBaseSelector2;
    case 3: return eeprom::kRateValuesBaseSelector3;
    default: return eeprom::kRateValuesBaseLong;
  }
}

// Offset of a rate's value from its selector's base; none for a rate without a stored value.
std::optional<std::uint32_t> RateValueOffset(double rate) {
  if (rate == kStoredRateLow) return 0;
  if (rate == kStoredRateHigh) return eeprom::kRateValueHighOffset;
  return std::nullopt;
}

bool ShortSerialForm(Tessok_API& api) {
  std::uint64_t serial = 0;
  std::uint32_t isLong = 0;
  api.ReadSerialNumber(&serial, &isLong);
  return isLong != 1;
}

// Words the rate PLL takes through sub-register 38: three always, then two by rate.
struct PllBand {
  double low, high;  // Gb/s, both inclusive
  std::uint16_t words[2];
};
constexpr std::uint16_t kPllCommonWords[] = {0x2060, 0x218A, 0x2440};
constexpr PllBand kPllBands[] = {
    {1, 15, {0x220D, 0x2310}},
    {16, 26, {0x2212, 0x2310}},
    {27, 29, {0x2223, 0x233B}},
    {30, 30, {0x221F, 0x233C}},
};

void AccessLaneWord(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, std::uint16_t value) {
  std::uint16_t& w = api.regScratch.word[kSingleReadWord];
  w = value;
  api.AccessBoardRegister(1, bank, reg, &w);
}

}  // namespace

namespace tessok::rate {

const RateBandTable& BandTableA(const Tessok_API& api) { return api.option57Low == 1 ? kBandTableALow : kBandTableA; }

std::optional<std::uint16_t> BandCode(const RateBandTable& table, double rate) {
  for (int i = 0; i < table.count; ++i) {
    const RateBand& b = table.bands[i];
    if (b.inclusive ? rate <= b.limit : rate < b.limit) return b.code;
  }
  return std::nullopt;
}

std::uint16_t RateWordMbps(double rate) { return static_cast<std::uint16_t>(TruncateToInt32(rate * 1000.0) & 0xFFFF); }

void WriteLaneRateCode(Tessok_API& api, std::uint16_t bank, std::uint16_t code, int& retriesLeft) {
  api.lastResult = regs::Write(api, bank, reg::kLaneRateCode, code, kSingleReadWord);
  while (!api.CheckDspReady(bank) && retriesLeft > 0) {
    --retriesLeft;
    api.lastResult = regs::Write(api, bank, reg::kLaneRateCode, code, kSingleReadWord);
  }
}

std::optional<std::uint16_t> LaneRateCode(std::uint32_t readBackCode, double laneRate, const RateBandTable& bands) {
  if (IsUsableRateCode(readBackCode)) return static_cast<std::uint16_t>(readBackCode);
  return BandCode(bands, laneRate);
}

bool ProgramLaneRateCode(Tessok_API& api, std::uint16_t bank, std::uint32_t readBackCode, double laneRate,
                         const RateBandTable& bands) {
  const std::optional<std::uint16_t> code = LaneRateCode(readBackCode, laneRate, bands);
  if (!code) {
    api.lastResult = 0;
    return false;
  }
  int retries = kRateCodeRetries;
  WriteLaneRateCode(api, bank, *code, retries);
  return true;
}

}  // namespace tessok::rate

std::uint32_t Tessok_API::ReadRateDivider(std::uint32_t bank, double rate) {
  if (InModelList(kStoredRateCodeModels, boardModel) && RateValueOffset(rate)) {
    std::uint32_t value = 0;
    ReadRateSetting(static_cast<std::uint16_t>(bank), rate, &value);
    return value;
  }
  const std::uint16_t b = static_cast<std::uint16_t>(bank);
  lastResult = regs::Write(*this, b, reg::kRateQueryMbps, rate::RateWordMbps(rate), kSingleReadWord);
  std::uint16_t code = 0;
  lastResult = regs::Read(*this, b, reg::kRateCodeReadBack, &code);
  return code;
}

void Tessok_API::WriteLaneRate(std::uint16_t bank, double rate) {
  const std::int32_t n = TruncateToInt32(rate);
  regs::Write(*this, bank, reg::kLaneRateLow, static_cast<std::uint16_t>(n & 0xFF), kSingleReadWord);
  regs::Write(*this, bank, reg::kLaneRateHigh, static_cast<std::uint16_t>((n >> 8) & 0xFF), kSingleReadWord);
}

std::uint32_t Tessok_API::FindRateEntry(double rate, std::uint32_t* optionBits) {
  for (const RateRangeRow& row : rateRanges.rows) {
    if (row.low <= rate && rate < row.high) {
      *optionBits = row.optionBits;
      return row.code;
    }
  }
  return 0;
}

bool Tessok_API::CheckDspReady(std::uint16_t bank) {
  // Every access goes through the single-read word, and callers rely on what
  // it holds afterwards: 0x104B after a successful check, 0 after a failed one.
  std::uint16_t& w = regScratch.word[kSingleReadWord];
  w = 0;
  hwLayer.AccessRegister(1, bank, reg::kDeviceWindowAddress, &w);
  hwLayer.AccessRegister(1, bank, reg::kDeviceWindowData, &w);
  platform::SleepMs(kReadinessWaitMs);
  hwLayer.AccessRegister(0, bank, reg::kDeviceWindowData, &w);
  if (w == reg::kDspReadyWord) return true;
  w = 0;
  hwLayer.AccessRegister(1, bank, reg::kDspNotReady, &w);
  return false;
}

std::uint8_t Tessok_API::WriteRateSetting(std::uint16_t selector, double rate, int value) {
  const bool shortForm = ShortSerialForm(*this);
  const std::optional<std::uint32_t> offset = RateValueOffset(rate);
  if (!offset) return 0;
  const double stored = static_cast<double>(value);
  // A short-form board reads selector 0 from the short-form base, so it gets
  // the value there as well as at the usual base.
  if (shortForm && selector == 0) WriteEEPROMAddress(eeprom::kRateValuesBase + *offset, stored);
  return WriteEEPROMAddress(RateValueBase(selector, false) + *offset, stored);
}

std::uint8_t Tessok_API::ReadRateSetting(std::uint16_t selector, double rate, std::uint32_t* value) {
  const bool shortForm = ShortSerialForm(*this);
  const std::optional<std::uint32_t> offset = RateValueOffset(rate);
  if (!offset) return 0;
  double stored = 0.0;
  lastStatus = eeprom::ReadDoubleBytewise(
      *this, static_cast<std::uint16_t>(RateValueBase(selector, shortForm) + *offset), &stored);
  // An erased value (NaN) truncates to INT32_MIN, which is no usable rate code.
  *value = static_cast<std::uint32_t>(TruncateToInt32(stored));
  return lastStatus;
}

void Tessok_API::ProgramRatePll(std::uint16_t bank, double rate) {
  auto send = [&](std::uint16_t word) {
    regScratch.word[0] = reg::kRatePllSub;
    AccessBoardRegister(1, bank, reg::kDeviceWindowAddress, &regScratch.word[0]);
    AccessLaneWord(*this, bank, reg::kDeviceWindowData, word);
  };
  for (std::uint16_t word : kPllCommonWords) send(word);
  for (const PllBand& band : kPllBands) {
    if (band.low <= rate && rate <= band.high) {
      for (std::uint16_t word : band.words) send(word);
      return;
    }
  }
}

void Tessok_API::SetGroupLineRate(double rate, int group) {
  if (!rate::IsUsableLineRate(rate)) return;
  constexpr int kLanes = 4;
  constexpr std::uint16_t kKept[] = {reg::kLaneKeptWordA, reg::kLaneKeptWordB, reg::kLaneKeptWordC};
  std::uint16_t kept[3][kLanes] = {};
  // The lane number is the bank; the link keeps the bank field's four bits.
  auto bankOf = [&](int i) { return static_cast<std::uint16_t>(4u * static_cast<unsigned>(group) + i); };
  for (int i = 0; i < kLanes; ++i) {
    const std::uint16_t bank = bankOf(i);
    BeginLaneRateUpdate(bank);
    for (int k = 0; k < 3; ++k) AccessBoardRegister(0, bank, kKept[k], &kept[k][i]);
    EndLaneRateUpdate(bank);
  }
  const std::uint16_t code = rate::RateWordMbps(rate);
  for (int i = 0; i < kLanes; ++i) {
    const std::uint16_t bank = bankOf(i);
    BeginLaneRateUpdate(bank);
    AccessBoardRegister(1, bank, reg::kLaneKeptWordA, &kept[0][i]);
    AccessLaneWord(*this, bank, reg::kLaneRateCode, code);
    AccessBoardRegister(1, bank, reg::kLaneKeptWordB, &kept[1][i]);
    AccessBoardRegister(1, bank, reg::kLaneKeptWordC, &kept[2][i]);
    CommitLaneRateUpdate(bank);
    EndLaneRateUpdate(bank);
  }
}

void Tessok_API::BeginLaneRateUpdate(std::uint16_t bank) { AccessLaneWord(*this, bank, reg::kLaneRateUpdate, 1); }

void Tessok_API::EndLaneRateUpdate(std::uint16_t bank) { AccessLaneWord(*this, bank, reg::kLaneRateUpdate, 0); }

void Tessok_API::CommitLaneRateUpdate(std::uint16_t bank) {
  AccessLaneWord(*this, bank, reg::kLaneRateCommit, 1);
  platform::SleepMs(kCommitWaitMs);
}
