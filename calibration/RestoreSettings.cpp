// Restoring the settings recorded in the status table: each stored item is
// read back with Monitor and handed to the setter that recorded it, through
// the virtual table, in a fixed order (line rate first, because it re-rates
// the lanes the later settings act on).
#include <cmath>
#include <cstdint>
#include <optional>

#include "calibration/Conversions.h"
#include "calibration/StatusItem.h"
#include "core/Models.h"
#include "core/Tessok_API.h"
#include "signal/AuxOutput.h"

using namespace tessok;

namespace {

// Boards that restore channels 0 to 3; every other board restores channel 0.
constexpr std::uint32_t kFourChannelRestoreModels[] = {7652, 7653, 7733, 7792};
// The board whose user pattern is two 40-bit words.
constexpr std::uint32_t kTwoWordPatternModels[] = {7792};
// Boards restoring pre- and post-emphasis rather than the auxiliary block: the
// models numbered below 7716, and the 7775.
constexpr std::uint32_t kFirstAuxiliaryModelNumber = 7716;
constexpr std::uint32_t kEmphasisModelsAbove[] = {7775};

bool RestoresEmphasis(std::uint32_t model) {
  return model < kFirstAuxiliaryModelNumber || InModelList(kEmphasisModelsAbove, model);
}

// The stored item of user-pattern restores that marks a user pattern.
constexpr double kUserPatternSelected = 5.0;

// One restore: reads items through Monitor and keeps track of whether every
// read, item and setter succeeded.
class Restore {
 public:
  explicit Restore(Tessok_API& api) : api_(api) {}

  // Item n of channel c; nothing when the read failed or the item is not a
  // finite number (an erased status table reads NaN).
  std::optional<double> Item(int channel, int item) {
    double value = 0.0;
    const bool read = api_.Monitor(static_cast<std::uint32_t>(channel), static_cast<std::uint8_t>(item), &value) != 0;
    if (!read || !std::isfinite(value)) return Unusable();
    return value;
  }
  // An item truncated toward zero to 32 bits; nothing when it does not fit.
  std::optional<std::int32_t> Truncated(int channel, int item) { return Truncate(Item(channel, item)); }
  std::optional<std::int32_t> Truncate(std::optional<double> v) {
    if (!v) return std::nullopt;
    const std::optional<std::int32_t> t = TruncateToInt32Exactly(*v);
    if (!t) return Unusable();
    return t;
  }
  // A user-pattern word: the item as an unsigned 64-bit integer.
  std::optional<std::uint64_t> Word(int channel, int item) {
    const std::optional<double> v = Item(channel, item);
    if (!v) return std::nullopt;
    const std::optional<std::uint64_t> w = TruncateToUint64(*v);
    if (!w) return Unusable();
    return w;
  }
  // Counts a setter's result (non-zero is success).
  template <typename R>
  void Applied(R result) {
    if (result == 0) ok_ = false;
  }
  int Result() const { return ok_ ? 1 : 0; }

 private:
  std::nullopt_t Unusable() {
    ok_ = false;
    return std::nullopt;
  }
  Tessok_API& api_;
  bool ok_ = true;
};

// An amplitude whose calibration table is in use keeps the register code in
// its item; converting it as a requested value would convert it twice, so the
// code is sent again as the calibrated setter sent it, and nothing is recorded.
void RestoreAmplitude(Tessok_API& api, Restore& r, aux::Amplitude amplitude, int ch, int item) {
  const std::optional<double> v = r.Item(ch, item);
  if (!v) return;
  if (aux::AmplitudeTableInUse(api, amplitude, ch)) {
    r.Applied(aux::WriteAmplitudeCode(api, amplitude, ch, *v));
  } else if (amplitude == aux::Amplitude::A) {
    r.Applied(api.SetAuxAmplitudeA(ch, *v));
  } else {
    r.Applied(api.SetAuxAmplitudeB(ch, *v));
  }
}

}  // namespace

int Tessok_API::RestoreSettings() {
  Restore r(*this);
  const std::uint32_t model = board.row->model;
  const int channels = InModelList(kFourChannelRestoreModels, model) ? 4 : 1;

  // Every item of a step is read, in order, before the step is applied or
  // skipped.
  {
    const std::optional<std::int32_t> mode = r.Truncated(0, status::kLineRateMode);
    const std::optional<double> rate = r.Item(0, status::kLineRate);
    if (mode && rate) r.Applied(LineRateConfiguration(*rate, static_cast<std::uint32_t>(*mode)));
  }
  {
    // Item 2 holds channel x 4 + divider.
    const std::optional<double> v = r.Item(0, status::kClockOutput);
    if (const std::optional<std::int32_t> whole = r.Truncate(v)) {
      const std::int32_t channel = TruncateToInt32(*v * 0.25);
      r.Applied(ClockOutChannelDivider(static_cast<std::uint16_t>(channel), *whole % 4));
    }
  }

  for (int ch = 0; ch < channels; ++ch) {
    const std::optional<double> pattern = r.Item(ch, status::kPattern);
    const std::optional<std::int32_t> patternCode = r.Truncate(pattern);
    const std::optional<std::int32_t> p3 = r.Truncated(ch, status::kPatternP3);
    const std::optional<std::int32_t> p4 = r.Truncated(ch, status::kPatternP4);
    const std::optional<std::int32_t> p5 = r.Truncated(ch, status::kPatternP5);
    if (patternCode && p3 && p4 && p5) {
      r.Applied(SetPRBSPattern(ch, *patternCode, *p3, static_cast<std::uint32_t>(*p4), *p5));
    }
    if (pattern && *pattern == kUserPatternSelected) {
      if (InModelList(kTwoWordPatternModels, model)) {
        const std::optional<std::uint64_t> second = r.Word(ch, status::kUserPattern40);
        const std::optional<std::uint64_t> first = r.Word(ch, status::kUserPatternFirstWord);
        if (first && second) r.Applied(SetUserPattern40x2(ch, *first, *second));
      } else if (const std::optional<std::uint64_t> word = r.Word(ch, status::kUserPattern40)) {
        r.Applied(SetUserPattern40(ch, *word));
      }
    }

    if (const std::optional<double> level = r.Item(ch, status::kOutputLevel)) r.Applied(OutputLevel(ch, *level));
    if (const std::optional<std::int32_t> ctle = r.Truncated(ch, status::kCtle)) r.Applied(CTLESetValue(ch, *ctle));

    if (RestoresEmphasis(model)) {
      if (const auto pre = r.Truncated(ch, status::kPreEmphasis)) r.Applied(PreEmphasis(ch, *pre));
      if (const auto post = r.Truncated(ch, status::kPostEmphasis)) r.Applied(PostEmphasis(ch, *post));
    } else {
      if (const auto v = r.Item(ch, status::kAuxSetting)) r.Applied(SetAuxSetting(ch, *v));
      if (const auto v = r.Item(ch, status::kAuxFrequency)) r.Applied(SetAuxFrequency(ch, *v));
      RestoreAmplitude(*this, r, aux::Amplitude::A, ch, status::kAuxAmplitudeA);
      RestoreAmplitude(*this, r, aux::Amplitude::B, ch, status::kAuxAmplitudeB);
      if (const auto v = r.Item(ch, status::kAuxControl40C)) r.Applied(SetAuxControl40C(ch, *v));
    }
  }
  return r.Result();
}
