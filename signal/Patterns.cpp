// Pattern generation and checking: the pattern selection, short user patterns
// in the lane's pattern-word registers, long user patterns uploaded into the
// pattern memory of the lane-pair device, the checker and lane switches, the
// checker state, the transmitter lock and the group pulse.
#include <cstddef>

#include "calibration/StatusItem.h"
#include "core/Lanes.h"
#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"
#include "signal/PatternUpload.h"
#include "signal/Registers.h"

using namespace tessok;

namespace {

// How a model reads the options of the pattern selection.
enum class Inversion : std::uint8_t {
  WhenOne,               // the 40-bit user pattern is complemented when p4 was 1
  WhenZero,              // ... when p4 was 0
  WhenZeroOnBanks0And1,  // ... when p4 was 0, on banks 0 and 1 only
};

struct PatternModel {
  std::uint32_t model = 0;
  bool p4AsGiven = false;                 // 0x218 takes p4 as given; elsewhere 1 for p4 0, else 0
  bool oddBanksNegateInRateMode = false;  // with rateModeFlag 1, odd banks negate the 0x218 value once more
  Inversion inversion = Inversion::WhenOne;
  bool wideWordsAtAnyRate = false;  // 40-bit words spread over 0x211-0x213 below 20 Gb/s too
  bool codeSixSentAsSeven = false;  // pattern code 6 is sent (and recorded) as 7
};

constexpr PatternModel kPatternModels[] = {
    {.model = 7822, .p4AsGiven = true},
    {.model = 7609, .p4AsGiven = true},
    {.model = 7621, .p4AsGiven = true},
    {.model = 7652, .p4AsGiven = true},
    {.model = 7653, .p4AsGiven = true},
    {.model = 7668, .p4AsGiven = true},
    {.model = 7686, .p4AsGiven = true},
    {.model = 7698, .p4AsGiven = true},
    {.model = 7726, .p4AsGiven = true, .inversion = Inversion::WhenZero},
    {.model = 7746, .p4AsGiven = true},
    {.model = 7758, .p4AsGiven = true},
    {.model = 7760, .p4AsGiven = true, .inversion = Inversion::WhenZero},
    {.model = 7837, .p4AsGiven = true},
    {.model = 7828, .p4AsGiven = true},
    {.model = 7769, .p4AsGiven = true},
    {.model = 7733, .inversion = Inversion::WhenZero},
    {.model = 7781, .inversion = Inversion::WhenZeroOnBanks0And1, .wideWordsAtAnyRate = true},
    {.model = 7775, .wideWordsAtAnyRate = true},
    {.model = 7780, .wideWordsAtAnyRate = true},
    {.model = 7592, .oddBanksNegateInRateMode = true},
    {.model = 7792, .codeSixSentAsSeven = true},
};

constexpr PatternModel kOtherPatternModel{};

const PatternModel& PatternRules(const Tessok_API& api) {
  return RowForModel(kPatternModels, api.boardModel, kOtherPatternModel);
}

// From this line rate (Gb/s) up, a 40-bit user pattern is spread over the
// three word registers; below it each register takes the low 16 bits.
constexpr double kWideWordRateGbps = 20.0;

// Pattern selection and 40-bit user pattern: the channel's move of lane 3 first, then the map.
constexpr LaneRoute kPatternRoute = kFix3To2ThenMapped;

std::uint16_t Low16(std::uint64_t v) { return static_cast<std::uint16_t>(v & 0xFFFF); }
std::uint16_t Bits(std::uint64_t v, int shift) { return Low16(v >> shift); }

// Writes (register, word) pairs at a bank in order; lastResult takes each
// result and the last one is returned.
struct WordWrite {
  std::uint16_t reg;
  std::uint16_t value;
};
template <std::size_t N>
std::uint8_t WriteWords(Tessok_API& api, std::uint16_t bank, const WordWrite (&writes)[N]) {
  std::uint8_t last = 0;
  for (const WordWrite& w : writes) {
    last = regs::Write(api, bank, w.reg, w.value);
    api.lastResult = last;
  }
  return last;
}

// The four 16-bit parts of a 64-bit word to one register, bits 63-48 first.
template <std::size_t N>
void QuarterWords(WordWrite (&out)[N], std::size_t at, std::uint16_t reg, std::uint64_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = {reg, Bits(v, 48 - 16 * i)};
}

// The four 10-bit chunks of a 40-bit word to one register, bits 39-30 first.
template <std::size_t N>
void TenBitChunks(WordWrite (&out)[N], std::size_t at, std::uint16_t reg, std::uint64_t v) {
  for (int i = 0; i < 4; ++i)
    out[at + static_cast<std::size_t>(i)] = {reg, static_cast<std::uint16_t>((v >> (30 - 10 * i)) & 0x3FF)};
}

std::uint16_t P4RegisterValue(const Tessok_API& api, const PatternModel& rules, std::uint16_t bank, std::uint32_t p4) {
  std::uint32_t value = rules.p4AsGiven ? p4 : (p4 == 0 ? 1u : 0u);
  if (rules.oddBanksNegateInRateMode && api.rateModeFlag == 1 && bank % 2 == 1) value = value == 0 ? 1u : 0u;
  return Low16(value);
}

std::uint8_t SelectPattern(Tessok_API& api, int ch, int pattern, int p3, std::uint32_t p4, int p5, bool mirror) {
  const PatternModel& rules = PatternRules(api);
  if (rules.codeSixSentAsSeven && pattern == 6) pattern = 7;
  Lane lane{};
  if (!ResolveLane(api, ch, kPatternRoute, &lane)) return 0;
  const std::uint16_t bank = lane.mapped;
  api.prbsSettings[0][bank] = static_cast<std::uint32_t>(pattern);
  api.prbsSettings[1][bank] = static_cast<std::uint32_t>(p3);
  api.prbsSettings[2][bank] = static_cast<std::uint32_t>(pattern);
  api.prbsSettings[3][bank] = p4;
  api.prbsSettings[4][bank] = static_cast<std::uint32_t>(p5);

  const auto u16 = [](auto v) { return static_cast<double>(static_cast<std::uint16_t>(v)); };
  api.WriteStatusToEEProm(bank, status::kPattern, u16(pattern));
  api.WriteStatusToEEProm(bank, status::kPatternP3, u16(p3));
  api.WriteStatusToEEProm(bank, status::kPatternP4, u16(p4));
  api.WriteStatusToEEProm(bank, status::kPatternP5, u16(p5));

  const std::uint8_t last = WriteWords(api, bank,
                                       {{reg::kPatternCode, Low16(static_cast<std::uint32_t>(pattern))},
                                        {reg::kPatternP3, Low16(static_cast<std::uint32_t>(p3))},
                                        {reg::kPatternP4, P4RegisterValue(api, rules, bank, p4)},
                                        {reg::kPatternP5, Low16(static_cast<std::uint32_t>(p5))}});

  // A 7841 that moves lane 1 to bank 0 sends the selection of bank 1 to
  // bank 0 as well.
  if (mirror && api.board.remapLane1To0 && bank == 1) {
    SelectPattern(api, 0, static_cast<int>(api.prbsSettings[0][1]), static_cast<int>(api.prbsSettings[1][1]),
                  api.prbsSettings[3][1], static_cast<int>(api.prbsSettings[4][1]), false);
    return static_cast<std::uint8_t>(api.lastResult);
  }
  return last;
}

bool Inverted(const PatternModel& rules, std::uint32_t p4, std::uint16_t bank) {
  switch (rules.inversion) {
    case Inversion::WhenOne: return p4 == 1;
    case Inversion::WhenZero: return p4 == 0;
    case Inversion::WhenZeroOnBanks0And1: return p4 == 0 && bank <= 1;
  }
  return false;
}

std::uint8_t LoadUserPattern40(Tessok_API& api, int ch, std::uint64_t pattern, bool mirror) {
  Lane lane{};
  if (!ResolveLane(api, ch, kPatternRoute, &lane)) return 0;
  const std::uint16_t bank = lane.mapped;
  api.WriteStatusToEEProm(bank, status::kUserPattern40, static_cast<double>(pattern));

  const PatternModel& rules = PatternRules(api);
  const std::uint64_t v = Inverted(rules, api.prbsSettings[3][bank], bank) ? ~pattern : pattern;
  if (rules.wideWordsAtAnyRate || api.lineRate[bank] >= kWideWordRateGbps) {
    WriteWords(api, bank,
               {{reg::kUserPatternWord0, Bits(v, 0)},
                {reg::kUserPatternWord1, Bits(v, 16)},
                {reg::kUserPatternWord2, static_cast<std::uint16_t>((v >> 32) & 0xFF)}});
  } else {
    WriteWords(api, bank,
               {{reg::kUserPatternWord0, Bits(v, 0)},
                {reg::kUserPatternWord1, Bits(v, 0)},
                {reg::kUserPatternWord2, Bits(v, 0)}});
  }

  if (mirror && api.board.remapLane1To0 && bank == 1) LoadUserPattern40(api, 0, pattern, false);
  return static_cast<std::uint8_t>(api.lastResult);
}

// The word loaders without a record go to the mapped bank, no fix-up.
bool MappedBank(const Tessok_API& api, std::int64_t ch, std::uint16_t* bank) {
  Lane lane{};
  if (!ResolveLane(api, ch, kMapped, &lane)) return false;
  *bank = lane.bank;
  return true;
}

// Checker and lane switches: the value sent is 1 only for an argument of 1.
std::uint8_t Switch(Tessok_API& api, std::uint32_t ch, std::uint8_t on, unsigned fix, int item, std::uint16_t reg) {
  const auto bank = static_cast<std::uint16_t>(ApplyLaneFixes(api, static_cast<int>(ch), fix));
  const std::uint16_t value = on == 1 ? 1 : 0;
  return regs::RecordThenWrite(api, bank, item, value, bank, reg, value);
}

// The strobe register takes 3, 0, 3 to store the block in hand.
constexpr std::uint16_t kBlockStrobe[] = {3, 0, 3};

constexpr std::uint32_t kGroupPulseMs = 100;
constexpr int kLanesPerGroup = 4;

}  // namespace

std::uint8_t Tessok_API::SetPRBSPattern(int ch, int pattern, int p3, std::uint32_t p4, int p5) {
  return SelectPattern(*this, ch, pattern, p3, p4, p5, true);
}

std::uint8_t Tessok_API::SetUserPattern40(int ch, std::uint64_t pattern) {
  return LoadUserPattern40(*this, ch, pattern, true);
}

std::uint8_t Tessok_API::SetUserPattern40x2(int ch, std::uint64_t first, std::uint64_t second) {
  std::uint16_t bank = 0;
  if (!MappedBank(*this, ch, &bank)) return 0;
  WriteStatusToEEProm(bank, status::kUserPattern40, static_cast<double>(second));
  WriteStatusToEEProm(bank, status::kUserPatternFirstWord, static_cast<double>(first));
  WordWrite writes[9];
  TenBitChunks(writes, 0, reg::kUserPatternWord0, first);
  TenBitChunks(writes, 4, reg::kUserPatternWord1, second);
  writes[8] = {reg::kUserPatternWord2, 0};
  return WriteWords(*this, bank, writes);
}

std::uint8_t Tessok_API::SetUserPattern160(int ch, std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  std::uint16_t bank = 0;
  if (!MappedBank(*this, ch, &bank)) return 0;
  WordWrite writes[10];
  writes[0] = {reg::kUserPatternWord2, Bits(c, 16)};
  writes[1] = {reg::kUserPatternWord2, Bits(c, 0)};
  QuarterWords(writes, 2, reg::kUserPatternWord1, b);
  QuarterWords(writes, 6, reg::kUserPatternWord0, a);
  return WriteWords(*this, bank, writes);
}

std::uint8_t Tessok_API::SetUserPattern160b(int ch, std::uint64_t a, std::uint64_t b, std::uint16_t c,
                                            std::uint16_t d) {
  std::uint16_t bank = 0;
  if (!MappedBank(*this, ch, &bank)) return 0;
  WordWrite writes[10];
  QuarterWords(writes, 0, reg::kUserPatternWord0, a);
  QuarterWords(writes, 4, reg::kUserPatternWord1, b);
  writes[8] = {reg::kUserPatternWord2, c};
  writes[9] = {reg::kUserPatternWord2, d};
  return WriteWords(*this, bank, writes);
}

std::uint8_t Tessok_API::SetTxUserPatternLumo(int ch, int first, int second) {
  std::uint16_t bank = 0;
  if (!MappedBank(*this, ch, &bank)) return 0;
  const auto f = static_cast<std::uint32_t>(first);
  const auto s = static_cast<std::uint32_t>(second);
  return WriteWords(*this, bank,
                    {{reg::kUserPatternWord1, Bits(s, 16)},
                     {reg::kUserPatternWord1, Bits(s, 0)},
                     {reg::kUserPatternWord0, Bits(f, 16)},
                     {reg::kUserPatternWord0, Bits(f, 0)}});
}

std::uint8_t Tessok_API::ReadUserPattern48(std::uint32_t ch, std::uint64_t* out) {
  Lane lane{};
  if (!ResolveLane(*this, ch, kPatternRoute, &lane)) return 0;
  std::uint16_t w2 = 0, w1 = 0, w0 = 0;
  lastResult = regs::Read(*this, lane.mapped, reg::kUserPatternWord2, &w2);
  lastResult = regs::Read(*this, lane.mapped, reg::kUserPatternWord1, &w1);
  lastResult = regs::Read(*this, lane.mapped, reg::kUserPatternWord0, &w0);
  *out = (std::uint64_t{w2} << 32) | (std::uint64_t{w1} << 16) | w0;
  return 1;
}

// ---- Long user pattern ----

bool Tessok_API::ParseBinaryPattern16(const char* text, std::uint16_t* out) {
  // Characters 12-15 are shifted in first, so they end up in the top nibble;
  // within each group of four the first character is the most significant bit.
  *out = 0;
  // Those characters are read before the first ones: a text that ends
  // earlier is refused before anything beyond its end is read.
  for (int i = 0; i < 16; ++i) {
    if (text[i] == '\0') return false;
  }
  for (int group = 3; group >= 0; --group) {
    for (int k = 0; k < 4; ++k) {
      const char c = text[4 * group + k];
      if (c != '0' && c != '1') return false;
      *out = static_cast<std::uint16_t>((*out << 1) | (c - '0'));
    }
  }
  return true;
}

bool Tessok_API::ParseHexPattern16(const char* text, std::uint16_t* out) {
  std::uint16_t word = 0;
  for (int k = 0; k < 4; ++k) {
    const char c = text[k];
    unsigned d;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else {
      return false;
    }
    // The pattern memory takes each digit with its two 2-bit halves exchanged.
    const unsigned swapped = ((d & 3u) << 2) | (d >> 2);
    word = static_cast<std::uint16_t>(word | (swapped << (4 * k)));
  }
  *out = word;
  return true;
}

bool Tessok_API::ParsePam4Pattern8(const char* text, std::uint16_t* out) {
  std::uint16_t word = 0;
  for (int k = 0; k < 8; ++k) {
    const char c = text[k];
    if (c < '0' || c > '3') return false;
    word = static_cast<std::uint16_t>(word | (static_cast<unsigned>(c - '0') << (2 * k)));
  }
  *out = word;
  return true;
}

bool patterns::PlanUpload(Tessok_API& api, std::string text, std::uint32_t mode, UploadPlan* plan) {
  const std::size_t n = text.size();
  if (n == 0) return false;
  std::size_t charsPerWord = 16;
  std::uint64_t bits = n;
  if (mode == kModeHex) {
    bits = std::uint64_t{n} * 4;
    charsPerWord = 4;
  } else if (mode == kModePam4) {
    bits = std::uint64_t{n} * 2;
    charsPerWord = 8;
  }
  if (bits < kBlockBits) return false;
  const std::uint64_t blocks = (bits + kBlockBits - 1) / kBlockBits;
  if (blocks > kMaxBlocks) return false;

  // Whole copies of the pattern one after the other, at least two, and at
  // least one block more than the pattern needs.
  const std::string once = text;
  const std::size_t wanted = static_cast<std::size_t>(blocks + 1) * kBlockBits;
  do {
    text += once;
  } while (text.size() < wanted);

  const std::size_t words = static_cast<std::size_t>(blocks) * reg::kPatternBlockWords;
  plan->bits = static_cast<std::uint32_t>(bits);
  plan->words.assign(words, 0);
  for (std::size_t w = 0; w < words; ++w) {
    const char* at = text.c_str() + w * charsPerWord;
    std::uint16_t* word = &plan->words[w];
    const bool ok = mode == kModeHex    ? api.ParseHexPattern16(at, word)
                    : mode == kModePam4 ? api.ParsePam4Pattern8(at, word)
                                        : api.ParseBinaryPattern16(at, word);
    if (!ok) return false;
  }
  return true;
}

bool Tessok_API::UploadUserPattern(int ch, std::string pattern, std::uint32_t mode) {
  // The whole text is checked and parsed before the pattern memory is touched,
  // so a text that cannot be uploaded leaves the memory as it was.
  if (!IsLane(ch)) return false;
  patterns::UploadPlan plan;
  if (!patterns::PlanUpload(*this, std::move(pattern), mode, &plan)) return false;

  const auto bank = static_cast<std::uint16_t>(ch / 2);
  const reg::PatternMemorySide& side = reg::kPatternMemory[ch % 2];
  // The reads of these read-modify-writes are not checked: the device window
  // reports no result for them.
  const std::uint16_t modeWord = ReadDeviceRegister(bank, reg::kPatternDeviceMode, reg::kPatternModeRegister);
  WriteDeviceRegister(bank, reg::kPatternDeviceMode, reg::kPatternModeRegister,
                      static_cast<std::uint16_t>(modeWord & ~reg::kPatternModeBit));
  const std::uint16_t control = ReadDeviceRegister(bank, reg::kPatternDeviceControl, side.control);
  WriteDeviceRegister(bank, reg::kPatternDeviceControl, side.control,
                      static_cast<std::uint16_t>(control & ~reg::kPatternEnableBit));

  // Blocks go from the last to the first; a strobe of 3, 0, 3 stores each one.
  for (int j = plan.Blocks() - 1; j >= 0; --j) {
    WriteDeviceRegister(bank, reg::kPatternDeviceBlocks, side.index, static_cast<std::uint16_t>(j));
    for (int w = 0; w < reg::kPatternBlockWords; ++w) {
      WriteDeviceRegister(bank, reg::kPatternDeviceBlocks, static_cast<std::uint16_t>(side.data + w),
                          plan.words[static_cast<std::size_t>(j * reg::kPatternBlockWords + w)]);
    }
    for (std::uint16_t strobe : kBlockStrobe) WriteDeviceRegister(bank, reg::kPatternDeviceBlocks, side.strobe, strobe);
  }

  WriteDeviceRegister(bank, reg::kPatternDeviceControl, side.length, static_cast<std::uint16_t>(plan.bits / 2));
  const std::uint16_t enabled = ReadDeviceRegister(bank, reg::kPatternDeviceControl, side.control);
  WriteDeviceRegister(bank, reg::kPatternDeviceControl, side.control,
                      static_cast<std::uint16_t>(enabled | reg::kPatternEnableBit));
  return true;
}

// ---- Checker, lane enable, lock, group pulse ----

std::uint16_t Tessok_API::PRBSVerfication(int ch) {
  Lane lane{};
  if (!ResolveLane(*this, ch, {kNoFix, true, kBothFixes}, &lane)) return 0;
  // The checker enable register is read first; its value is not used.
  std::uint16_t enable = 0;
  std::uint16_t state = 0;
  lastResult = regs::Read(*this, lane.bank, reg::kCheckerEnable, &enable);
  const std::uint8_t ok = regs::Read(*this, lane.bank, reg::kCheckerState, &state);
  lastResult = ok;
  return ok != 0 ? state : 0;
}

std::uint16_t Tessok_API::PRBSVerficationAlias(int ch) { return PRBSVerfication(ch); }

std::uint8_t Tessok_API::SetCheckerEnable(std::uint32_t ch, std::uint8_t on) {
  return Switch(*this, ch, on, kFix1To0, status::kCheckerEnable, reg::kCheckerEnable);
}

std::uint8_t Tessok_API::SetLaneEnable21A(std::uint32_t ch, std::uint8_t on) {
  return Switch(*this, ch, on, kFix3To2, status::kLaneEnable, reg::kLaneEnable);
}

// The lane is the bank of the checker state and the transmitter lock; a lane
// outside 0-15 is refused rather than reach lane (lane & 15).
std::uint8_t Tessok_API::ReSyncRX(std::uint32_t lane) {
  lastStatus = 0;
  if (!IsLane(lane)) return 0;
  lastStatus = regs::Write(*this, static_cast<std::uint16_t>(lane), reg::kCheckerState, 0);
  return lastStatus;
}

std::uint8_t Tessok_API::ReadTXLock(std::uint32_t lane, std::uint8_t* locked) {
  lastStatus = 0;
  if (!IsLane(lane)) return 0;
  std::uint16_t word = 0;
  lastStatus = regs::Read(*this, static_cast<std::uint16_t>(lane), reg::kTxLock, &word);
  *locked = word != 0 ? 1 : 0;
  return lastStatus;
}

std::uint8_t Tessok_API::PulseGroupReset(std::uint32_t group) {
  const auto first = static_cast<std::uint16_t>(group * kLanesPerGroup);
  const auto writeAll = [&](std::uint16_t value) {
    for (int i = 0; i < kLanesPerGroup; ++i) {
      regs::Write(*this, static_cast<std::uint16_t>(first + i), reg::kGroupPulse, value);
    }
  };
  writeAll(1);
  platform::SleepMs(kGroupPulseMs);
  writeAll(0);
  return 1;
}
