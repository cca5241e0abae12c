#include "core/Models.h"

namespace tessok {

const ModelInfo kDefaultModel{};

namespace {

constexpr ModelInfo kModels[] = {
    {.model = 7653, .optionRead = OptionRead::BoardSubType, .eightChannel = EightChannelRule::SubTypeAndReg32},
    {.model = 7652},
    {.model = 7733, .optionRead = OptionRead::Regs33And30},
    {.model = 7609},
    {.model = 7726},
    {.model = 7760},
    {.model = 7775, .optionRead = OptionRead::Flags31To38, .remapLane3Option = true},
    {.model = 7792, .optionRead = OptionRead::Flags30And31, .ownDelaySets = true, .sixtyFourStep = true},
    {.model = 7592,
     .channels = 2,
     .mapEntries = 8,
     .levelConversion = LevelConversion::Swing,
     .levelLayout = LevelLayout::Swing,
     .swingBlockBase = 4096,
     .defaultCalibration = DefaultCalibration::Swing,
     .deviceBankOffset = 1},
    {.model = 7621,
     .mapEntries = 8,
     .levelConversion = LevelConversion::Swing,
     .cubicSwingForm = true,
     .levelLayout = LevelLayout::Swing,
     .defaultCalibration = DefaultCalibration::Swing,
     .deviceBankOffset = 2},
    {.model = 7668,
     .optionRead = OptionRead::Reg31,
     .channels = 8,
     .mapEntries = 8,
     .levelConversion = LevelConversion::Swing,
     .levelLayout = LevelLayout::Swing,
     .option31ElevenStoresAlt7 = true,
     .defaultCalibration = DefaultCalibration::Swing,
     .deviceBankOffset = 4},
    {.model = 7837,
     .mapEntries = 8,
     .levelConversion = LevelConversion::Swing,
     .cubicSwingForm = true,
     .levelLayout = LevelLayout::Swing,
     .defaultCalibration = DefaultCalibration::Swing,
     .deviceBankOffset = 2},
    {.model = 7766, .mapEntries = 8, .levelLayout = LevelLayout::Alt7},
    {.model = 7812, .mapEntries = 8, .levelLayout = LevelLayout::Alt7},
    {.model = 7780,
     .optionRead = OptionRead::Flags31And32,
     .mapEntries = 8,
     .levelLanesFromFourOnOptionC1 = true,
     .statusSecondBase = true},
    {.model = 7781},
    {.model = 7822,
     .optionRead = OptionRead::Flags30To32,
     .levelConversion = LevelConversion::Option7822,
     .defaultCalibration = DefaultCalibration::Identity7822,
     .sixtyFourStep = true,
     .measuredThresholdStep = true},
    {.model = 7686, .channels = 8, .mapEntries = 8, .statusSecondBase = true},
    {.model = 7841,
     .optionRead = OptionRead::Bits57,
     .levelConversion = LevelConversion::Quadratic,
     .defaultCalibration = DefaultCalibration::Identity7841,
     .remapLane1Option = true,
     .sixtyFourStep = true,
     .measuredThresholdStep = true},
    {.model = 7622},
    {.model = 7828,
     .channels = 16,
     .mapEntries = 16,
     .levelBlockBase = LevelBlockBase::High,
     .sharedLineRate = true,
     .clockPlanBoardValue = 0x00,
     .planSkipsF1 = true},
    {.model = 7698,
     .channels = 12,
     .mapEntries = 12,
     .fromBoardModel = true,
     .levelBlockBase = LevelBlockBase::High,
     .sharedLineRate = true,
     .clockPlanBoardValue = 0x00},
    {.model = 7758,
     .channels = 3,
     .mapEntries = 3,
     .fromBoardModel = true,
     .levelBlockBase = LevelBlockBase::High,
     .sharedLineRate = true,
     .clockPlanBoardValue = 0x00},
    {.model = 7746,
     .optionRead = OptionRead::Reg34,
     .fromBoardModel = true,
     .eightChannel = EightChannelRule::Option34,
     .levelConversion = LevelConversion::AltCubic,
     .levelLayout = LevelLayout::Alt,
     .defaultCalibration = DefaultCalibration::None,
     .deviceBankOffset = 2},
    {.model = 7614, .channels = 10, .mapEntries = 10, .fromBoardModel = true},
    {.model = 7769,
     .channels = 16,
     .mapEntries = 16,
     .fromBoardModel = true,
     .levelConversion = LevelConversion::AltCubic,
     .levelLayout = LevelLayout::Alt,
     .levelBlockBase = LevelBlockBase::HighFromLane4},
};

}  // namespace

const ModelInfo* FindModel(std::uint32_t model) {
  for (const ModelInfo& m : kModels) {
    if (m.model == model) return &m;
  }
  return nullptr;
}

const ModelInfo& ModelRow(std::uint32_t model) {
  const ModelInfo* row = FindModel(model);
  return row != nullptr ? *row : kDefaultModel;
}

BoardTraits MakeBoardTraits(const BoardInputs& in) {
  BoardTraits t;
  t.row = &ModelRow(in.model);
  const ModelInfo& m = *t.row;
  // The doubling rule ran at identification; a doubled board has 8 channels.
  t.eightChannel = m.eightChannel != EightChannelRule::None && in.channelCount == 8;
  if (FindModel(in.model) != nullptr) t.mapEntries = t.eightChannel ? 8 : m.mapEntries;
  const bool alt7 = m.option31ElevenStoresAlt7 && in.option31 == 11;
  t.levelLayout = alt7 ? LevelLayout::Alt7 : m.levelLayout;
  t.levelHighBaseFromLane4 = m.levelBlockBase == LevelBlockBase::HighFromLane4 || t.eightChannel || alt7;
  t.levelFirstLane = (m.levelLanesFromFourOnOptionC1 && in.optionCodeC == 1) ? 4 : 0;
  t.statusSecondBaseFromLane4 = t.eightChannel;
  t.remapLane3To2 = m.remapLane3Option && in.remapLane3 == 1;
  t.remapLane1To0 = m.remapLane1Option && in.remapLane1 == 1;
  return t;
}

}  // namespace tessok
