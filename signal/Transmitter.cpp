// Transmitter output of a lane: output enable, output level (calibrated,
// truncated or raw by model), output swing, the board-level output driver, the
// PAM4 eye levels, emphasis and taps. Each setter records the requested value
// as its status item before it writes (the board-level driver between its
// writes); values out of range are neither recorded nor sent.
#include <algorithm>
#include <cmath>
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

// The output-level operations hand their level codes over in word 7.
constexpr int kLevelWord = 7;

// Boards whose output level register takes the level as given, with no
// conversion, and whose emphasis takes -1000..1000 instead of 0..100.
constexpr ModelCase kRawLevelModels[] = {{7746}, {7769}, {7766}, {7812}, {7668, When::Option31Is11}};

bool RawLevelBoard(const Tessok_API& api) { return signal::AnyApplies(api, kRawLevelModels); }

// How the requested level becomes a code.
enum class LevelSource : std::uint8_t {
  Conversion,           // the calibration store's conversions, register 14 argument 0
  ConversionWithReg14,  // the same with the value read from bank-0 register 14
  Truncated,            // the level truncated to an integer
};

struct LevelConversionRow {
  ModelCase on;
  LevelSource source;
  double highRateFrom;  // Gb/s: the high-rate conversion from this lane rate up
  bool chipRegister;    // the code (0..63) goes to chip register 9 and nothing else is written
};

constexpr LevelConversionRow kLevelConversions[] = {
    {{7775}, LevelSource::Conversion, 18.6, false},
    {{7822, When::OptionCodeB2Or3}, LevelSource::Conversion, 15.0, true},
    {{7822}, LevelSource::Conversion, 15.0, false},
    {{7828}, LevelSource::Truncated, 0.0, false},
    {{7698}, LevelSource::Truncated, 0.0, false},
    {{7758}, LevelSource::Truncated, 0.0, false},
};
constexpr LevelConversionRow kDefaultLevelConversion{{0}, LevelSource::ConversionWithReg14, 20.0, false};

// Where the code goes.
enum class LevelDestination : std::uint8_t {
  OutputLevel,        // register 0x20E at the bank
  ChipFromLevel,      // chip register 9 = the integer part of the level, 6 bits (the code is dropped)
  EnableThenEnabled,  // output enable on, then register 0x400 (capped at 4095) after fix-up 3 -> 2
};

struct LevelDestinationRow {
  ModelCase on;
  LevelDestination destination;
};

constexpr LevelDestinationRow kLevelDestinations[] = {
    {{7652}, LevelDestination::OutputLevel},
    {{7653}, LevelDestination::OutputLevel},
    {{7609}, LevelDestination::OutputLevel},
    {{7760}, LevelDestination::OutputLevel},
    {{7592}, LevelDestination::OutputLevel},
    {{7621}, LevelDestination::OutputLevel},
    {{7668}, LevelDestination::OutputLevel},
    {{7837}, LevelDestination::OutputLevel},
    {{7781}, LevelDestination::OutputLevel},
    {{7686}, LevelDestination::OutputLevel},
    {{7841}, LevelDestination::OutputLevel},
    {{7828}, LevelDestination::OutputLevel},
    {{7698}, LevelDestination::OutputLevel},
    {{7758}, LevelDestination::OutputLevel},
    {{7775, When::BankNot3}, LevelDestination::OutputLevel},
    {{7822, When::OptionCodeB0}, LevelDestination::OutputLevel},
    {{7792, When::OptionCodeA2}, LevelDestination::OutputLevel},
    {{7792}, LevelDestination::ChipFromLevel},
};
constexpr LevelDestination kDefaultLevelDestination = LevelDestination::EnableThenEnabled;

constexpr std::uint16_t kEnabledLevelMax = 4095;  // registers 0x400 and 0x221
constexpr int kChipLevelMax = 63;                 // chip register 9
constexpr double kCalibratedHighRateFrom = 18.6;  // Gb/s, register 0x221 and the board-level driver
constexpr std::uint16_t kBoardDriverBank1Level = 50;

// The calibration store's level code for a lane: the low-rate conversion below
// the threshold rate, else the high-rate one (with the lane's PAM4 flag). The
// lane's swing code is the conversions' swing argument. Nothing when the
// conversion gives no number: the lane's table holds NaN (an erased or never
// calibrated block), and the code NaN truncates to would set a level nobody
// asked for.
std::optional<int> ConvertLevel(const Tessok_API& api, int lane, double level, double highRateFrom,
                                std::uint16_t reg14) {
  const CalibrationStore& c = api.calibration;
  const double value =
      api.lineRate[lane] < highRateFrom
          ? c.LevelValueLowRate(api.boardModel, api.optionCodeB, api.levelCode[lane], lane, level, reg14)
          : c.LevelValueHighRate(api.boardModel, api.optionCodeB, api.pam4Mode[lane], api.levelCode[lane], lane, level,
                                 reg14);
  if (std::isnan(value)) return std::nullopt;
  return TruncateToInt32(value);
}

// A level code as register 0x20E takes it: negative codes become 0, and codes
// beyond the register's 16 bits are held at 0xFFFF rather than wrapped to a
// small level.
std::uint16_t HeldLevelCode(int code) { return static_cast<std::uint16_t>(std::clamp(code, 0, 0xFFFF)); }

// ---- The simple lane setters ----

enum class ValueRange : std::uint8_t { Any, Emphasis, Tap };

struct LaneSetter {
  int item;  // status item, recorded for the mapped bank before its fix-up
  LaneRoute route;
  std::uint16_t reg;
  std::uint16_t reg7746;  // the register on the boards that swap it (0: no swap)
  ValueRange range;
};

// Boards that take the outer eye level at 0x22B and the main tap at 0x22A.
constexpr std::uint32_t kSwappedRegisterModels[] = {7746};

constexpr LaneSetter kInnerEye{status::kInnerEyeLevel, kDirect, reg::kInnerEyeLevel, 0, ValueRange::Any};
constexpr LaneSetter kOuterEye{status::kOuterEyeLevel, kDirect, reg::kOuterEyeLevel, reg::kOuterEyeLevel7746,
                               ValueRange::Any};
constexpr LaneSetter kPreEmphasis{status::kPreEmphasis, kMappedThen3To2, reg::kPreEmphasis, 0, ValueRange::Emphasis};
constexpr LaneSetter kPostEmphasis{status::kPostEmphasis, kMappedThen3To2, reg::kPostEmphasis, 0, ValueRange::Emphasis};
constexpr LaneSetter kMainTap{status::kMainTap, kMapped, reg::kMainTap, reg::kMainTap7746, ValueRange::Any};

constexpr LaneSetter Tap(int k) {
  return {status::kTap0 + k, kMappedThen3To2, static_cast<std::uint16_t>(reg::kTap0 + k), 0, ValueRange::Tap};
}

bool InRange(const Tessok_API& api, ValueRange range, int value) {
  switch (range) {
    case ValueRange::Any: return true;
    case ValueRange::Emphasis:
      return RawLevelBoard(api) ? (value >= -1000 && value <= 1000) : (value >= 0 && value <= 100);
    case ValueRange::Tap: return value >= -1000 && value <= 1000;
  }
  return false;
}

std::uint8_t SetLaneValue(Tessok_API& api, const LaneSetter& s, std::int64_t ch, int value) {
  Lane lane{};
  if (!ResolveLane(api, ch, s.route, &lane) || !InRange(api, s.range, value)) return 0;
  const bool swapped = s.reg7746 != 0 && InModelList(kSwappedRegisterModels, api.boardModel);
  return regs::RecordThenWrite(api, lane.mapped, s.item, value, lane.bank, swapped ? s.reg7746 : s.reg, LowWord(value));
}

}  // namespace

std::uint8_t Tessok_API::SetOutputSwing(int ch, double swing) {
  Lane lane{};
  if (!ResolveLane(*this, ch, kMapped, &lane)) return 0;
  WriteStatusToEEProm(lane.channel, status::kOutputSwing, swing);
  // Only the boards whose level conversions are chosen by swing code have a
  // swing register; the others keep the record and report 0.
  if (board.row->levelConversion != LevelConversion::Swing) return 0;
  const std::uint16_t code = static_cast<std::uint16_t>((LowWord(TruncateToInt32(swing)) + 1) * 50);
  levelCode[lane.mapped] = code;
  return regs::Write(*this, lane.mapped, reg::kOutputSwing, code);
}

// A level that is not a finite number is refused by every level operation
// before anything is recorded or sent, as the line rate is.
std::uint8_t Tessok_API::OutputLevel(int ch, double level) {
  if (!std::isfinite(level)) return 0;
  Lane lane{};
  if (!ResolveLane(*this, ch, kMapped, &lane)) return 0;
  WriteStatusToEEProm(lane.channel, status::kOutputLevel, level);
  // The per-lane values and the conversions' lane are those of the mapped bank.
  const std::uint16_t bank = lane.mapped;
  if (RawLevelBoard(*this)) {
    return regs::Write(*this, bank, reg::kOutputLevel, LowWord(TruncateToInt32(level)), kLevelWord);
  }

  const LevelConversionRow* conversion = signal::FirstApplying(*this, kLevelConversions, bank);
  if (conversion == nullptr) conversion = &kDefaultLevelConversion;
  std::optional<int> code;
  switch (conversion->source) {
    case LevelSource::Truncated: code = TruncateToInt32(level); break;
    case LevelSource::Conversion: code = ConvertLevel(*this, bank, level, conversion->highRateFrom, 0); break;
    case LevelSource::ConversionWithReg14: {
      // Not checked: after a failed read the conversion gets the previous reply's word.
      std::uint16_t reg14 = 0;
      regs::Read(*this, 0, reg::kLevelTableForm, &reg14);
      code = ConvertLevel(*this, bank, level, conversion->highRateFrom, reg14);
      break;
    }
  }
  if (conversion->chipRegister) {
    if (!code) return 0;
    return WriteChipRegister(bank, reg::kChipOutputLevel,
                             static_cast<std::uint16_t>(std::clamp(*code, 0, kChipLevelMax)));
  }

  const LevelDestinationRow* row = signal::FirstApplying(*this, kLevelDestinations, bank);
  const LevelDestination destination = row != nullptr ? row->destination : kDefaultLevelDestination;
  // Only the chip register of ChipFromLevel takes the level itself; every
  // other destination sends the converted code, so a conversion without a
  // number stops here.
  if (!code && destination != LevelDestination::ChipFromLevel) return 0;
  const std::uint16_t held = HeldLevelCode(code.value_or(0));
  switch (destination) {
    case LevelDestination::OutputLevel: return regs::Write(*this, bank, reg::kOutputLevel, held, kLevelWord);
    case LevelDestination::ChipFromLevel:
      return WriteChipRegister(bank, reg::kChipOutputLevel, static_cast<std::uint16_t>(TruncateToInt32(level) & 0x3F));
    case LevelDestination::EnableThenEnabled: {
      SetOutputEnable(bank, 1);  // its result is not part of the level's
      const auto enabledBank = static_cast<std::uint16_t>(ApplyLaneFixes(*this, bank, kFix3To2));
      return regs::Write(*this, enabledBank, reg::kEnabledOutputLevel, std::min(held, kEnabledLevelMax), kLevelWord);
    }
  }
  return 0;
}

std::uint8_t Tessok_API::SetOutputLevelCalibrated(int ch, double level) {
  if (!std::isfinite(level)) return 0;
  Lane lane{};
  if (!ResolveLane(*this, ch, kDirect, &lane)) return 0;
  const std::optional<int> code = ConvertLevel(*this, lane.bank, level, kCalibratedHighRateFrom, 0);
  if (!code) return 0;
  return regs::Write(*this, lane.bank, reg::kOutputLevelCalibrated,
                     static_cast<std::uint16_t>(std::clamp(*code, 0, static_cast<int>(kEnabledLevelMax))), kLevelWord);
}

std::uint8_t Tessok_API::SetBoardOutputLevel(double level, double a, double b) {
  if (!std::isfinite(level)) return 0;
  constexpr int kDriverLane = 1;
  regs::Write(*this, 1, reg::kOutputLevel, kBoardDriverBank1Level, kLevelWord);
  WriteStatusToEEProm(kDriverLane, status::kOutputLevel, level);
  // The driver's code is sent as its low 16 bits, unclamped; a conversion
  // without a number sends no driver register at all.
  const std::optional<int> code = ConvertLevel(*this, kDriverLane, level, kCalibratedHighRateFrom, 0);
  if (!code) return 0;
  std::uint8_t result = regs::Write(*this, 0, reg::kBoardDriverLevel, LowWord(*code), kLevelWord);
  result |= regs::Write(*this, 0, reg::kBoardDriverA, LowWord(TruncateToInt32(a)));
  result |= regs::Write(*this, 0, reg::kBoardDriverB, LowWord(TruncateToInt32(b)));
  WriteStatusToEEProm(0, status::kOutputLevel, static_cast<double>(LowWord(TruncateToInt32(level))));
  return result;
}

std::uint8_t Tessok_API::SetOutputEnable(int ch, int on) {
  Lane lane{};
  if (!ResolveLane(*this, ch, kFix3To2ThenMapped, &lane)) return 0;
  return regs::Write(*this, lane.bank, reg::kOutputEnable, on == 1 ? 1 : 0);
}

std::uint8_t Tessok_API::InnerEyeLevel(std::uint32_t ch, int value) {
  return SetLaneValue(*this, kInnerEye, ch, value);
}
std::uint8_t Tessok_API::OuterEyeLevel(std::uint32_t ch, int value) {
  return SetLaneValue(*this, kOuterEye, ch, value);
}
std::uint8_t Tessok_API::PreEmphasis(int ch, int value) { return SetLaneValue(*this, kPreEmphasis, ch, value); }
std::uint8_t Tessok_API::PostEmphasis(int ch, int value) { return SetLaneValue(*this, kPostEmphasis, ch, value); }
std::uint8_t Tessok_API::MainTap(int ch, int value) { return SetLaneValue(*this, kMainTap, ch, value); }
std::uint8_t Tessok_API::Tap0(int ch, int value) { return SetLaneValue(*this, Tap(0), ch, value); }
std::uint8_t Tessok_API::Tap1(int ch, int value) { return SetLaneValue(*this, Tap(1), ch, value); }
std::uint8_t Tessok_API::Tap2(int ch, int value) { return SetLaneValue(*this, Tap(2), ch, value); }
std::uint8_t Tessok_API::Tap3(int ch, int value) { return SetLaneValue(*this, Tap(3), ch, value); }
std::uint8_t Tessok_API::Tap4(int ch, int value) { return SetLaneValue(*this, Tap(4), ch, value); }
std::uint8_t Tessok_API::Tap5(int ch, int value) { return SetLaneValue(*this, Tap(5), ch, value); }
std::uint8_t Tessok_API::Tap6(int ch, int value) { return SetLaneValue(*this, Tap(6), ch, value); }
