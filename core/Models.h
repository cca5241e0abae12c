// Per-model facts shared by several subsystems.
#pragma once

#include <cstdint>

namespace tessok {

// The option read that identification makes on a model.
enum class OptionRead : std::uint8_t {
  None,
  BoardSubType,     // 7653
  Regs33And30,      // 7733
  Flags31To38,      // 7775
  Flags30And31,     // 7792
  Reg31,            // 7668
  Flags31And32,     // 7780
  Flags30To32,      // 7822
  Bits57,           // 7841
  Reg34,            // 7746
};

struct ModelInfo {
  std::uint32_t model;
  OptionRead optionRead;
  std::int32_t channels;      // channel count (the 7653 and 7746 rows may double it)
  std::int32_t mapEntries;    // channelMap entries 0 .. mapEntries-1 set to their own index
  bool fromBoardModel;        // the channel map recognises this model from boardModel
};

// The row of a known model, or nullptr.
const ModelInfo* FindModel(std::uint32_t model);

// Models with 64 sampling-phase positions per unit interval (fixed 1.5625 ps
// phase step, 32-bit counts, eye maps of 64 columns).
constexpr bool IsSixtyFourStepModel(std::uint32_t model) {
  return model == 7792 || model == 7822 || model == 7841;
}

inline constexpr double kSixtyFourStepPhaseStepPs = 1.5625;

}  // namespace tessok
