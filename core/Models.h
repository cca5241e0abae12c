// The model table: every per-model fact the library acts on, in one place.
//
// Operation code reads a column of the connected model's row (or of the
// per-connection traits below); it never compares model numbers itself. An
// operation family with its own per-model list may keep that list as a small
// constant table keyed by model beside the operation instead. A model the
// table does not know reads as kDefaultModel: the default path of every
// operation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessok {

// The option read that identification makes on a model.
enum class OptionRead : std::uint8_t {
  None,
  BoardSubType,  // 7653
  Regs33And30,   // 7733
  Flags31To38,   // 7775
  Flags30And31,  // 7792
  Reg31,         // 7668
  Flags31And32,  // 7780
  Flags30To32,   // 7822
  Bits57,        // 7841
  Reg34,         // 7746
};

// How a board becomes an eight-channel board at identification.
enum class EightChannelRule : std::uint8_t {
  None,
  SubTypeAndReg32,  // sub-type 2 or 3 with register 32's high byte 1 (7653)
  Option34,         // register 34 reads 1 (7746)
};

// The form of the output-level conversions of the calibration store
// (CalibrationStore::ComputeLevelCode...).
enum class LevelConversion : std::uint8_t {
  Row,         // five-element level rows: a quartic, or five break points
  Quadratic,   // five-element rows, quadratic of elements 0-2 (7841)
  Option7822,  // quadratic with option code B 0, 2 or 3; quartic otherwise (7822)
  AltCubic,    // two six-element cubic entries chosen by the PAM4 flag (7746, 7769)
  Swing,       // eight swing entries per lane (7592, 7621, 7668, 7837)
};

// How the level tables are laid out in the instrument's EEPROM (load, read-back
// and save of the level calibration).
enum class LevelLayout : std::uint8_t {
  Generic,  // a low-rate and a high-rate row of 5 doubles
  Swing,    // eight swing entries of 5 doubles (6 in the cubic form)
  Alt,      // a low-rate row of 6 doubles and a high-rate row of 12
  Alt7,     // a low-rate and a high-rate row of 7 doubles
};

// Which lanes keep their level block at the high base (0x5000).
enum class LevelBlockBase : std::uint8_t {
  Low,            // every lane at the low base
  High,           // every lane at the high base (7828, 7698, 7758)
  HighFromLane4,  // lanes 4 and up at the high base (7769)
};

// What LoadDefaultCalibration writes.
enum class DefaultCalibration : std::uint8_t {
  Generic,       // quartic identities on every lane
  Swing,         // quartic identities, then the swing identities (7592, 7621, 7668, 7837)
  Identity7822,  // eight lanes: element 3 with option code B 1, element 1 otherwise
  Identity7841,  // four lanes, element 1
  None,          // nothing (7746)
};

struct ModelInfo {
  std::uint32_t model = 0;

  // Identification.
  OptionRead optionRead = OptionRead::None;
  std::int32_t channels = 4;    // channel count (see eightChannel)
  std::int32_t mapEntries = 4;  // channelMap entries 0 .. mapEntries-1 set to their own index
  bool fromBoardModel = false;  // the channel map recognises this model from boardModel
  EightChannelRule eightChannel = EightChannelRule::None;

  // Level calibration. The conversions and the stored tables both have a
  // "swing family", and they differ on one board: the 7668 converts with swing
  // entries always but stores Alt7 tables when register 31 reads 11.
  LevelConversion levelConversion = LevelConversion::Row;
  bool cubicSwingForm = false;  // register 14 reading 3 selects cubic swing entries (7621, 7837)
  LevelLayout levelLayout = LevelLayout::Generic;
  bool option31ElevenStoresAlt7 = false;  // register 31 = 11: Alt7 tables, high base from lane 4 (7668)
  std::uint32_t swingBlockBase = 20480;   // EEPROM base of the swing blocks (4096 on 7592)
  LevelBlockBase levelBlockBase = LevelBlockBase::Low;
  bool levelLanesFromFourOnOptionC1 = false;  // option code C 1 keeps the tables in lanes 4-7 (7780)
  DefaultCalibration defaultCalibration = DefaultCalibration::Generic;
  bool ownDelaySets = false;  // delay conversions use sets 4-11 (7792)

  // Status table.
  bool statusSecondBase = false;  // every lane's items at the second base (7780, 7686)
  bool sharedLineRate = false;    // one line rate for all channels, recorded at lane 0 (7828, 7698, 7758)

  // Windows.
  std::uint16_t deviceBankOffset = 0;  // banks between a lane and its device 8

  // Lane fix-ups, enabled by an option word read at identification.
  bool remapLane3Option = false;  // remapLane3 moves channel 3 to bank 2 (7775)
  bool remapLane1Option = false;  // remapLane1 moves bank 1 to bank 0 (7841)

  // Measurement family.
  bool sixtyFourStep = false;          // 64 phase positions, 32-bit counts, 64-column eye maps (7792, 7822, 7841)
  bool measuredThresholdStep = false;  // the threshold step comes from the last eye capture (7822, 7841)

  // Clock-chip plan.
  std::uint8_t clockPlanBoardValue = 0x04;  // the board value of register 0x0040 in mode 0
  bool planSkipsF1 = false;                 // mode 0 does not write the first output back (7828)
};

// The row of a known model, or nullptr.
const ModelInfo* FindModel(std::uint32_t model);
// The row of a model; kDefaultModel for a model the table does not know.
const ModelInfo& ModelRow(std::uint32_t model);
extern const ModelInfo kDefaultModel;

inline constexpr double kSixtyFourStepPhaseStepPs = 1.5625;

// Whether a model is in a per-operation model list (a constant table kept
// beside the operation it steers).
template <std::size_t N>
constexpr bool InModelList(const std::uint32_t (&models)[N], std::uint32_t model) {
  for (std::uint32_t m : models) {
    if (m == model) return true;
  }
  return false;
}

// The row of a per-operation table keyed by model (rows with a `model`
// member), or `fallback` for a model the table does not list.
template <typename Row, std::size_t N>
constexpr const Row& RowForModel(const Row (&rows)[N], std::uint32_t model, const Row& fallback) {
  for (const Row& row : rows) {
    if (row.model == model) return row;
  }
  return fallback;
}

// What identification found out about the connected board, worked out once
// per connection from the model's row and the option words and registers read
// at connection (Tessok_API::RefreshBoardTraits, called by SetChannelMap).
struct BoardTraits {
  const ModelInfo* row = &kDefaultModel;
  bool eightChannel = false;                       // the model's eight-channel rule applied at identification
  LevelLayout levelLayout = LevelLayout::Generic;  // the stored level tables in effect
  bool levelHighBaseFromLane4 = false;             // lanes 4 and up keep their level block at the high base
  int levelFirstLane = 0;                  // first lane whose level tables load (4 on a 7780 with option code C 1)
  bool statusSecondBaseFromLane4 = false;  // lanes 4 and up keep their status items at the second base
  bool remapLane3To2 = false;              // fix-up 3 -> 2 applies (7775 with remapLane3 1)
  bool remapLane1To0 = false;              // fix-up 1 -> 0 applies (7841 with remapLane1 1)
  // The channel-map entries the connected model's row writes at connection
  // (its map entries, 8 when the eight-channel rule applied); -1 for a model
  // outside the table, whose connection leaves the map as it was.
  std::int32_t mapEntries = -1;
};

// The inputs of BoardTraits, as identification left them.
struct BoardInputs {
  std::uint32_t model;
  std::int32_t channelCount;
  std::uint32_t option31;
  std::uint32_t optionCodeC;
  std::uint32_t remapLane3;
  std::uint32_t remapLane1;
};

BoardTraits MakeBoardTraits(const BoardInputs& in);

}  // namespace tessok
