// Error insertion, the counter command register, the running error and
// elapsed-time counters of every channel, the BER worked out from them, the
// gated BER of all channels and the error-correction counters of a lane.
// Counter operations address banks by channel number (no channel map) and
// record nothing, except error insertion (status item 16).
#include <algorithm>

#include "calibration/Conversions.h"
#include "calibration/StatusItem.h"
#include "core/Lanes.h"
#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "signal/Registers.h"

using namespace tessok;

namespace {

// Which boards take the start and stop commands one lane at a time.
enum class LaneCommands : std::uint8_t {
  No,
  Always,
  WhenOption31Is11,
};

struct CounterModel {
  std::uint32_t model = 0;
  bool gated = false;  // gated BER per lane: the errors over 64 x the divisor word of 0x304/0x303
  LaneCommands laneCommands = LaneCommands::No;  // start and stop as the caller's mode, lane by lane
  bool bankCommands = false;                     // start and stop as the bank of one command for every channel
  int groups = 4;                                // lane groups of four with their own counts
  bool count64 = false;                          // 0x30F holds bits 48-63 of the running count
  bool optionReadFirst = false;                  // the running-count read starts with the option read of 31 and 32
};

constexpr CounterModel kCounterModels[] = {
    {.model = 7592, .gated = true, .groups = 1},
    {.model = 7621, .gated = true, .groups = 2},
    {.model = 7668, .gated = true, .laneCommands = LaneCommands::WhenOption31Is11},
    {.model = 7837, .gated = true, .groups = 2},
    {.model = 7746, .gated = true, .laneCommands = LaneCommands::Always, .count64 = true},
    {.model = 7828, .bankCommands = true},
    {.model = 7698, .bankCommands = true},
    {.model = 7758, .bankCommands = true},
    {.model = 7780, .optionReadFirst = true},
};

constexpr CounterModel kOtherCounterModel{};

const CounterModel& CounterRules(const Tessok_API& api) {
  return RowForModel(kCounterModels, api.boardModel, kOtherCounterModel);
}

bool LaneCommandsApply(const Tessok_API& api, const CounterModel& m) {
  switch (m.laneCommands) {
    case LaneCommands::No: return false;
    case LaneCommands::Always: return true;
    case LaneCommands::WhenOption31Is11: return api.option31 == 11;
  }
  return false;
}

// The channels a per-channel loop covers (and the per-channel arrays it fills).
int Channels(const Tessok_API& api) { return std::clamp(api.channelCount, 0, kLaneCount); }

constexpr std::uint16_t kCommandBankZero = 0;
constexpr int kLanesPerGroup = 4;
constexpr std::uint64_t kGateDivisorScale = 64;    // gate models: divisor word x 64 bits
constexpr std::uint64_t kGateBitsPerUnit = 25000;  // other models: gate x 25000 bits

// The bank-command form's channel code: channel + 4 up to 16 (16 + 4 = 20,
// every channel, as are negative channels plus 4), 17 to 20 as given, 20 above.
std::uint16_t ChannelCode(std::int64_t ch) {
  if (ch <= 16) return static_cast<std::uint16_t>(ch + 4);
  if (ch <= reg::kCommandAllChannels) return static_cast<std::uint16_t>(ch);
  return reg::kCommandAllChannels;
}

std::uint8_t Command(Tessok_API& api, std::uint16_t bank, std::uint16_t data) {
  return regs::Write(api, bank, reg::kCounterCommand, data);
}

// Mode 0 stops (bank 2); mode 1 clears (bank 3) and starts (bank 1); any
// other mode is the bank itself.
std::uint8_t RunCommand(Tessok_API& api, std::uint16_t code, std::uint32_t mode) {
  std::uint8_t clear = 1;
  std::uint16_t bank = static_cast<std::uint16_t>(mode);
  if (mode == 0) {
    bank = reg::kCommandStop;
  } else if (mode == 1) {
    clear = Command(api, reg::kCommandClear, code) & 1;
    bank = reg::kCommandStart;
  }
  return static_cast<std::uint8_t>(Command(api, bank, code) & clear);
}

// The results of a run of reads: their AND and the last one.
struct ReadResults {
  std::uint8_t all = 1;
  std::uint8_t last = 1;
  void Add(std::uint8_t ok) {
    all &= ok;
    last = ok;
  }
};

std::uint16_t ReadPart(Tessok_API& api, std::uint16_t bank, std::uint16_t reg, ReadResults& results) {
  std::uint16_t v = 0;
  results.Add(regs::Read(api, bank, reg, &v));
  return v;
}

// The running error count of a bank, 48 bits (64 with 0x30F).
std::uint64_t ReadCount(Tessok_API& api, std::uint16_t bank, bool bits48To63, ReadResults& results) {
  const std::uint64_t w0 = ReadPart(api, bank, reg::kErrorCount0, results);
  const std::uint64_t w1 = ReadPart(api, bank, reg::kErrorCount16, results);
  const std::uint64_t w2 = ReadPart(api, bank, reg::kErrorCount32, results);
  std::uint64_t count = (w2 << 32) | (w1 << 16) | w0;
  if (bits48To63) count |= std::uint64_t{ReadPart(api, bank, reg::kErrorCount48, results)} << 48;
  return count;
}

// The elapsed-time word of a bank; the two reads report to their own results.
std::uint32_t ReadElapsed(Tessok_API& api, std::uint16_t bank, ReadResults& low, ReadResults& high) {
  const std::uint32_t lo = ReadPart(api, bank, reg::kElapsedLow, low);
  const std::uint32_t hi = ReadPart(api, bank, reg::kElapsedHigh, high);
  return (hi << 16) | lo;
}

// min(1.0, errors / bits), where 0 / 0 stays NaN.
double LimitedBer(std::uint64_t errors, std::uint64_t bits) {
  const double ratio = static_cast<double>(errors) / static_cast<double>(bits);
  return ratio > 1.0 ? 1.0 : ratio;
}

std::uint8_t ReadGatedBer(Tessok_API& api, double* ber, std::uint32_t* counts) {
  api.SetGateTime(api.gateTime);
  const CounterModel& m = CounterRules(api);
  ReadResults reads;
  if (m.gated) {
    for (int i = 0; i < Channels(api); ++i) {
      const auto bank = static_cast<std::uint16_t>(i);
      Command(api, bank, reg::kCommandGatedRead);
      const auto divisor = static_cast<std::uint32_t>(ReadCount(api, bank, false, reads));
      const std::uint32_t errors = ReadElapsed(api, bank, reads, reads);
      api.lastResult = reads.last;
      ber[i] = LimitedBer(errors, std::uint64_t{divisor} * kGateDivisorScale);
      if (counts != nullptr) counts[i] = divisor;
    }
  } else {
    api.lastResult |= Command(api, kCommandBankZero, reg::kCommandGatedRead);
    for (int i = 0; i < Channels(api); ++i) {
      const auto errors = static_cast<std::uint32_t>(ReadCount(api, static_cast<std::uint16_t>(i), false, reads));
      api.lastResult = reads.last;
      ber[i] = LimitedBer(errors, std::uint64_t{api.gateTime} * kGateBitsPerUnit);
      if (counts != nullptr) counts[i] = errors;
    }
  }
  return static_cast<std::uint8_t>(api.lastResult);
}

}  // namespace

// ---- Error insertion ----

// The channel is the bank of both error-insertion operations; a channel
// outside 0-15 would reach channel (ch & 15) through the four-bit bank field,
// so it is refused with nothing sent or recorded.
std::uint8_t Tessok_API::ErrorInsertion(std::uint32_t ch, std::uint16_t word) {
  if (!IsLane(ch)) return 0;
  const auto bank = static_cast<std::uint16_t>(ApplyLaneFixes(*this, static_cast<int>(ch), kFix3To2));
  return regs::RecordThenWrite(*this, bank, status::kErrorInsertion, word, bank, reg::kErrorInsertion, word);
}

std::uint8_t Tessok_API::ErrorInsertionKestrine(std::uint32_t ch, int a, int b, int c, std::uint16_t first) {
  if (!IsLane(ch)) return 0;
  const auto bank = static_cast<std::uint16_t>(ch);
  regs::Write(*this, bank, reg::kErrorInsertion, first);
  // a goes in whole, as the instrument's own software sends it.
  const auto word = static_cast<std::uint16_t>(((c & 7) << 8) | ((b & 0x7F) << 1) | a);
  WriteStatusToEEProm(static_cast<int>(ch), status::kErrorInsertion, c);
  return regs::Write(*this, bank, reg::kErrorInsertion, word);
}

// ---- Counter commands ----

std::uint8_t Tessok_API::BERClearErrorCounters(int ch) {
  return Command(*this, reg::kCommandClear, ChannelCode(ch)) & 1;
}

// An object with no channels (never connected) has no counters to start or
// read: both calls refuse, nothing sent, rather than report success.
std::uint8_t Tessok_API::RealTimeBEREnable(std::uint32_t mode) {
  if (channelCount <= 0) return 0;
  const CounterModel& m = CounterRules(*this);
  std::uint8_t r = 1;
  if (LaneCommandsApply(*this, m)) {
    for (int i = 0; i < channelCount; ++i)
      r &= Command(*this, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(mode));
    return r;
  }
  std::uint32_t value = mode;
  if (mode == 0) {
    value = reg::kCommandStop;
  } else if (mode == 1) {
    r = Command(*this, reg::kCommandClear, reg::kCommandAllChannels) & 1;
    value = reg::kCommandStart;
  }
  if (m.bankCommands) {
    r &= Command(*this, static_cast<std::uint16_t>(value), reg::kCommandAllChannels);
  } else {
    for (int bank = 0; bank < channelCount; bank += kLanesPerGroup) {
      r &= Command(*this, static_cast<std::uint16_t>(bank), static_cast<std::uint16_t>(value));
    }
  }
  return r;
}

std::uint8_t Tessok_API::SetErrorCounterRun(std::uint16_t channel, int mode) {
  return RunCommand(*this, ChannelCode(channel), static_cast<std::uint32_t>(mode));
}

std::uint8_t Tessok_API::SetErrorCounterRunCode(std::uint16_t code, std::uint32_t mode) {
  return RunCommand(*this, code, mode);
}

std::uint8_t Tessok_API::ConfigureBERCounters(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint32_t mode) {
  regs::Write(*this, kCommandBankZero, reg::kCounterConfigA, a);
  regs::Write(*this, kCommandBankZero, reg::kCounterConfigB, b);
  regs::Write(*this, kCommandBankZero, reg::kCounterConfigC, c);
  std::uint8_t r = 0;
  if (mode == 1) r |= Command(*this, kCommandBankZero, reg::kConfigureStart);
  if (mode == 0) r |= Command(*this, kCommandBankZero, reg::kConfigureStop);
  return r;
}

// ---- Running counters ----

std::uint8_t Tessok_API::ReadRealTimeBER(std::uint64_t* errors, std::uint32_t* elapsedMs) {
  if (channelCount <= 0) return 0;
  const CounterModel& m = CounterRules(*this);
  lastResult = 1;
  if (m.optionReadFirst) {
    std::uint32_t unused = 0;
    ReadOptionFlags31And32(&unused);
  }
  for (int i = 0; i < Channels(*this); ++i) {
    const auto bank = static_cast<std::uint16_t>(i);
    // Only the last read of each channel decides the result.
    ReadResults unchecked, high;
    lastErrorCount = ReadCount(*this, bank, m.count64, unchecked);
    errors[i] = lastErrorCount;
    lastElapsed = ReadElapsed(*this, bank, unchecked, high);
    lastResult &= high.all;
    elapsedMs[i] = lastElapsed;
  }
  return static_cast<std::uint8_t>(lastResult);
}

std::uint8_t Tessok_API::ReadBERSummary(std::uint64_t* errors, std::uint32_t* seconds, std::uint64_t* bits,
                                        std::uint64_t* bitsMinusErrors, double* ber) {
  lastResult = 1;
  for (int i = 0; i < Channels(*this); ++i) {
    const auto bank = static_cast<std::uint16_t>(i);
    ReadResults checked, unchecked;
    lastErrorCount = ReadCount(*this, bank, false, checked);
    lastElapsed = ReadElapsed(*this, bank, unchecked, checked);
    lastResult &= checked.all;
    errors[i] = lastErrorCount;
    seconds[i] = lastElapsed / 1000;
    if (seconds[i] == 0) continue;
    // An erased (NaN) or negative line rate gives no bit count: the channel's
    // outputs stay as they were, as for a run shorter than a second.
    const std::optional<std::uint64_t> counted = TruncateToUint64(lineRate[i] * 1e9 * seconds[i]);
    if (!counted) continue;
    bits[i] = *counted;
    bitsMinusErrors[i] = bits[i] - errors[i];
    ber[i] = static_cast<double>(errors[i]) / static_cast<double>(bits[i]);
  }
  return static_cast<std::uint8_t>(lastResult);
}

std::uint8_t Tessok_API::ReadGroupErrorCounts(std::uint64_t* countA, std::uint64_t* countB, std::uint32_t* elapsed) {
  const CounterModel& m = CounterRules(*this);
  ReadResults reads;
  for (int g = 0; g < m.groups; ++g) {
    const auto first = static_cast<std::uint16_t>(kLanesPerGroup * g);
    lastErrorCount = ReadCount(*this, static_cast<std::uint16_t>(first + 2), false, reads);
    countA[g] = lastErrorCount;
    lastErrorCount = ReadCount(*this, static_cast<std::uint16_t>(first + 1), false, reads);
    countB[g] = lastErrorCount;
    // The group's elapsed time is that of its first lane, the lane its start
    // and stop commands go to.
    lastElapsed = ReadElapsed(*this, first, reads, reads);
    elapsed[g] = lastElapsed;
  }
  lastResult = reads.all;
  return static_cast<std::uint8_t>(lastResult);
}

std::uint8_t Tessok_API::ReadBERAllChannels(double* ber) { return ReadGatedBer(*this, ber, nullptr); }

std::uint8_t Tessok_API::ReadBERAndErrorsAllChannels(double* ber, std::uint32_t* counts) {
  return ReadGatedBer(*this, ber, counts);
}

int Tessok_API::ReadErrorCorrectionKestrin(int lane, std::uint32_t* a, std::uint32_t* b) {
  if (!IsLane(lane)) return 0;
  const auto bank = static_cast<std::uint16_t>(lane);
  ReadResults unchecked;
  const std::uint32_t aHigh = ReadPart(*this, bank, reg::kCorrectionAHigh, unchecked);
  const std::uint32_t aLow = ReadPart(*this, bank, reg::kCorrectionALow, unchecked);
  a[lane] = (aHigh << 16) | aLow;
  const std::uint32_t bHigh = ReadPart(*this, bank, reg::kCorrectionBHigh, unchecked);
  const std::uint32_t bLow = ReadPart(*this, bank, reg::kCorrectionBLow, unchecked);
  b[lane] = (bHigh << 16) | bLow;
  return 1;
}
