#include "core/Models.h"

namespace tessok {

namespace {

constexpr ModelInfo kModels[] = {
    {7653, OptionRead::BoardSubType, 4, 4, false},  // 8 channels on sub-types 2 and 3 with register 32 high byte 1
    {7652, OptionRead::None, 4, 4, false},
    {7733, OptionRead::Regs33And30, 4, 4, false},
    {7609, OptionRead::None, 4, 4, false},
    {7726, OptionRead::None, 4, 4, false},
    {7760, OptionRead::None, 4, 4, false},
    {7775, OptionRead::Flags31To38, 4, 4, false},
    {7792, OptionRead::Flags30And31, 4, 4, false},
    {7592, OptionRead::None, 2, 8, false},
    {7621, OptionRead::None, 4, 8, false},
    {7668, OptionRead::Reg31, 8, 8, false},
    {7837, OptionRead::None, 4, 8, false},
    {7766, OptionRead::None, 4, 8, false},
    {7812, OptionRead::None, 4, 8, false},
    {7780, OptionRead::Flags31And32, 4, 8, false},
    {7781, OptionRead::None, 4, 4, false},
    {7822, OptionRead::Flags30To32, 4, 4, false},
    {7686, OptionRead::None, 8, 8, false},
    {7841, OptionRead::Bits57, 4, 4, false},
    {7622, OptionRead::None, 4, 4, false},
    {7828, OptionRead::None, 16, 16, false},
    {7698, OptionRead::None, 12, 12, true},
    {7758, OptionRead::None, 3, 3, true},
    {7746, OptionRead::Reg34, 4, 4, true},  // 8 channels when register 34 reads 1
    {7614, OptionRead::None, 10, 10, true},
    {7769, OptionRead::None, 16, 16, true},
};

}  // namespace

const ModelInfo* FindModel(std::uint32_t model) {
  for (const ModelInfo& m : kModels) {
    if (m.model == model) return &m;
  }
  return nullptr;
}

}  // namespace tessok
