// Output-level calibration tables: loading them from the instrument's EEPROM,
// resetting them to pass-through, handing them to the application and saving
// new ones; the code/value and delay conversion wrappers; the lookup tables.
#include <array>
#include <cstring>

#include "calibration/EepromMap.h"
#include "core/Lanes.h"
#include "core/Models.h"
#include "core/Tessok_API.h"

using namespace tessok;

namespace {

constexpr std::uint16_t kRegSwingForm = 14;  // board register: 3 selects the cubic swing form
constexpr std::uint16_t kRegLookupIndex = 0x222;
constexpr std::uint16_t kRegLookupValue = 0x223;
constexpr int kPageDoubles = 15;  // doubles taken from each page read (120 of its 128 bytes)

// The store field a run of stored doubles belongs to.
enum class Field { LowRate, HighRate, LowRateAlt, HighRateAlt, BySwing };

// One kind of a lane's level calibration: `count` doubles at `offset` bytes
// into the lane's block, held in field[first ...] of the store. Loading reads
// each group of contiguous rows (a row with newPage starts one) in pages of
// kPageDoubles; the read-back hands out every row in order; a save writes
// the row of the kind the application names.
struct LevelRow {
  int kind;
  Field field;
  int first;
  int count;
  std::uint32_t offset;
  bool newPage;
};

struct LevelRows {
  const LevelRow* rows;
  int count;
};

constexpr LevelRow kGenericRows[] = {
    {1, Field::LowRate, 0, 5, eeprom::kLevelLowRateOffset, true},
    {2, Field::HighRate, 0, 5, eeprom::kLevelHighRateOffset, false},
};
constexpr LevelRow kAltRows[] = {
    {0, Field::LowRateAlt, 0, 6, eeprom::kAltEntryStride, true},
    {1, Field::HighRateAlt, 0, 6, 2 * eeprom::kAltEntryStride, true},
    {2, Field::HighRateAlt, 6, 6, 3 * eeprom::kAltEntryStride, false},
};
constexpr LevelRow kAlt7Rows[] = {
    {0, Field::LowRateAlt, 0, 7, eeprom::kAlt7EntryStride, true},
    {1, Field::HighRateAlt, 0, 7, 2 * eeprom::kAlt7EntryStride, true},
};
// Eight swing entries of n doubles, back to back from the start of the block.
template <int n>
constexpr std::array<LevelRow, 8> SwingRows() {
  std::array<LevelRow, 8> rows{};
  for (int k = 0; k < 8; ++k) rows[k] = {k, Field::BySwing, n * k, n, static_cast<std::uint32_t>(8 * n * k), k == 0};
  return rows;
}
constexpr std::array<LevelRow, 8> kSwingRows = SwingRows<5>();
constexpr std::array<LevelRow, 8> kSwingCubicRows = SwingRows<6>();

double* FieldOf(CalibrationStore& c, Field field, int lane) {
  switch (field) {
    case Field::LowRate: return c.levelLowRate[lane];
    case Field::HighRate: return c.levelHighRate[lane];
    case Field::LowRateAlt: return c.levelLowRateAlt[lane];
    case Field::HighRateAlt: return c.levelHighRateAlt[lane];
    case Field::BySwing: return c.levelBySwing[lane];
  }
  return nullptr;
}

// Reads the swing-form register afresh; true for the cubic form.
bool ReadCubicForm(Tessok_API& api) {
  api.hwLayer.AccessRegister(0, 0, kRegSwingForm, &api.regScratch.word[1]);
  return api.board.row->cubicSwingForm && api.regScratch.word[1] == 3;
}

LevelRows RowsOfLayout(LevelLayout layout, bool cubic) {
  switch (layout) {
    case LevelLayout::Swing: return cubic ? LevelRows{kSwingCubicRows.data(), 8} : LevelRows{kSwingRows.data(), 8};
    case LevelLayout::Alt: return {kAltRows, 3};
    case LevelLayout::Alt7: return {kAlt7Rows, 2};
    case LevelLayout::Generic: break;
  }
  return {kGenericRows, 2};
}

// The rows of the connected board's layout; the swing layout asks the board
// for its form.
LevelRows RowsOf(Tessok_API& api) {
  const LevelLayout layout = api.board.levelLayout;
  return RowsOfLayout(layout, layout == LevelLayout::Swing && ReadCubicForm(api));
}

// The row of a kind, or nullptr. Both swing forms have the same kinds.
const LevelRow* RowOfKind(LevelRows rows, int kind) {
  for (int r = 0; r < rows.count; ++r) {
    if (rows.rows[r].kind == kind) return &rows.rows[r];
  }
  return nullptr;
}

int LaneCountOf(const Tessok_API& api) {
  return api.channelCount < 0 ? 0 : (api.channelCount > kLaneCount ? kLaneCount : api.channelCount);
}

// EEPROM address of a lane's block: swing blocks at base + 40 + 1280 l, level
// blocks at the low or high base + 1792 l.
std::uint32_t BlockOf(const Tessok_API& api, int lane) {
  const std::uint32_t l = static_cast<std::uint32_t>(lane);
  if (api.board.levelLayout == LevelLayout::Swing) {
    return api.board.row->swingBlockBase + eeprom::kSwingBlockOffset + eeprom::kSwingBlockStride * l;
  }
  const bool high =
      api.board.row->levelBlockBase == LevelBlockBase::High || (lane >= 4 && api.board.levelHighBaseFromLane4);
  return (high ? eeprom::kLevelBlockBaseHigh : eeprom::kLevelBlockBase) + eeprom::kLevelBlockStride * l;
}

// Lanes the loader and the read-back serve: from the board's first level lane
// (4 on a 7780 with option code C 1) for channelCount lanes; swing boards
// always from 0. Never beyond the store's 16 lanes.
void LaneRange(const Tessok_API& api, int* first, int* end) {
  const int count = api.channelCount < 0 ? 0 : api.channelCount;
  *first = api.board.levelLayout == LevelLayout::Swing ? 0 : api.board.levelFirstLane;
  *end = *first + count > kLaneCount ? kLaneCount : *first + count;
}

// Loads one lane: each group of rows in pages of kPageDoubles, copied from
// the page buffer (also after a failed read: the previous reply's bytes).
void LoadLane(Tessok_API& api, LevelRows rows, int lane) {
  const std::uint32_t block = BlockOf(api, lane);
  for (int g = 0; g < rows.count;) {
    int end = g + 1;
    while (end < rows.count && !rows.rows[end].newPage) ++end;
    int row = g;
    int used = 0;  // doubles of the current row already filled
    int remaining = 0;
    for (int r = g; r < end; ++r) remaining += rows.rows[r].count;
    for (std::uint32_t page = block + rows.rows[g].offset; remaining > 0; page += 8 * kPageDoubles) {
      api.hwLayer.ReadEEPROMPage(0, page, api.eepromPage);
      const int take = remaining < kPageDoubles ? remaining : kPageDoubles;
      for (int i = 0; i < take; ++i) {
        const LevelRow& r = rows.rows[row];
        std::memcpy(FieldOf(api.calibration, r.field, lane) + r.first + used, api.eepromPage + 8 * i, 8);
        if (++used == r.count) {
          ++row;
          used = 0;
        }
      }
      remaining -= take;
    }
    g = end;
  }
}

}  // namespace

int Tessok_API::LoadCalibrationValue() {
  const LevelRows rows = RowsOf(*this);
  int first = 0, end = 0;
  LaneRange(*this, &first, &end);
  for (int l = first; l < end; ++l) LoadLane(*this, rows, l);
  return 1;
}

int Tessok_API::ReadCalibrationValues(double* out) {
  LevelRows rows{};
  if (board.levelLayout == LevelLayout::Swing) {
    rows = RowsOf(*this);  // swing tables are handed out as they are held
  } else {
    LoadCalibrationValue();  // the other layouts are read afresh first
    rows = RowsOf(*this);
  }
  int first = 0, end = 0;
  LaneRange(*this, &first, &end);
  for (int l = first; l < end; ++l) {
    for (int r = 0; r < rows.count; ++r) {
      const LevelRow& row = rows.rows[r];
      std::memcpy(out, FieldOf(calibration, row.field, l) + row.first, 8 * static_cast<std::size_t>(row.count));
      out += row.count;
    }
  }
  return 1;
}

std::uint32_t Tessok_API::SaveCalibrationValues(int channel, int kind, const double* values) {
  // A channel outside the map, or a kind the model's layout does not define,
  // would write over other areas: refused before anything is sent.
  if (!IsLane(channel) || channel >= channelCount) return 0;
  const std::uint32_t lane = channelMap[channel];
  if (!IsLane(lane)) return 0;
  if (RowOfKind(RowsOfLayout(board.levelLayout, false), kind) == nullptr) return 0;
  const LevelRow* row = RowOfKind(RowsOf(*this), kind);
  const std::uint32_t address = BlockOf(*this, static_cast<int>(lane)) + row->offset;
  lastResult = 1;
  for (int i = 0; i < row->count; ++i) {
    lastResult &= WriteEEPROMAddress(address + 8u * static_cast<std::uint32_t>(i), values[i]);
  }
  return lastResult;
}

int Tessok_API::LoadDefaultCalibration() {
  CalibrationStore& c = calibration;
  auto identityRows = [&](int lanes, int levelC1) {
    for (int l = 0; l < lanes; ++l) {
      for (int e = 0; e < 5; ++e)
        c.quarticA[l][e] = c.quarticB[l][e] = c.levelLowRate[l][e] = c.levelHighRate[l][e] = 0.0;
      c.quarticA[l][3] = c.quarticB[l][3] = 1.0;
      c.levelLowRate[l][levelC1] = c.levelHighRate[l][levelC1] = 1.0;
    }
  };
  const DefaultCalibration defaults = board.row->defaultCalibration;
  switch (defaults) {
    case DefaultCalibration::Identity7822:
      // Option codes 0, 2 and 3 convert with the quadratic of elements 0-2, so
      // their identity is element 1; with option code 1 the quartic's element 3.
      // (Writing element 3 for codes 2 and 3 would make every level convert to 0.)
      identityRows(8, optionCodeB == 1 ? 3 : 1);
      return 1;
    case DefaultCalibration::Identity7841: identityRows(4, 1); return 1;
    case DefaultCalibration::None: return 1;
    case DefaultCalibration::Generic:
    case DefaultCalibration::Swing: break;
  }
  const int lanes = LaneCountOf(*this);
  for (int l = 0; l < lanes; ++l) {
    for (int e = 0; e < 5; ++e) {
      c.quarticA[l][e] = c.quarticB[l][e] = c.levelLowRate[l][e] = c.levelHighRate[l][e] = 0.0;
      c.levelLowRateAlt[l][e] = c.levelHighRateAlt[l][e] = 0.0;
    }
    c.quarticA[l][3] = c.quarticB[l][3] = c.levelLowRate[l][3] = c.levelHighRate[l][3] = 1.0;
  }
  if (defaults == DefaultCalibration::Swing) {
    const bool cubic = ReadCubicForm(*this);
    for (int l = 0; l < lanes; ++l) {
      double* row = c.levelBySwing[l];
      for (int e = 0; e < (cubic ? 48 : 40); ++e) row[e] = 0.0;
      for (int k = 0; k < 8; ++k) row[cubic ? 6 * k + 2 : 5 * k + 1] = 1.0;
    }
  }
  return 1;
}

double Tessok_API::ComputeCodeFromValueA(std::uint32_t lane, int value, double sel) {
  return calibration.ComputeCodeFromValueA(IsLane(lane) ? static_cast<int>(lane) : -1, value, sel);
}

double Tessok_API::ComputeValueFromCodeA(std::uint32_t lane, int code, double sel) {
  return calibration.ComputeValueFromCodeA(IsLane(lane) ? static_cast<int>(lane) : -1, code, sel);
}

double Tessok_API::ComputeCodeFromValueB(std::uint32_t lane, int value, double sel) {
  return calibration.ComputeCodeFromValueB(IsLane(lane) ? static_cast<int>(lane) : -1, value, sel);
}

double Tessok_API::ComputeValueFromCodeB(std::uint32_t lane, int code, double sel) {
  return calibration.ComputeValueFromCodeB(IsLane(lane) ? static_cast<int>(lane) : -1, code, sel);
}

double Tessok_API::ComputeLaneDelayConversion(int lane, std::uint32_t toCode, double x) {
  lane = ApplyLaneFixes(*this, lane, kFix3To2);
  std::uint32_t code = 0;
  // Reads registers 30 and 31 again and refreshes optionCodeA.
  ReadOptionFlags30And31(&code);
  const bool alt = code == 1;
  if (!IsLane(lane)) return 0.0;
  return calibration.ComputeDelayConversion(boardModel, alt, lineRate[lane], toCode != 0 ? 1 : 0, x);
}

int Tessok_API::WriteLookupTables(const std::uint32_t* values) {
  for (std::uint16_t bank = 0; bank < 3; ++bank) {
    for (std::uint16_t i = 0; i < 12; ++i) {
      regScratch.word[0] = i;
      hwLayer.AccessRegister(1, bank, kRegLookupIndex, &regScratch.word[0]);
      regScratch.word[6] = static_cast<std::uint16_t>(values[12 * bank + i] & 0xFFFF);
      hwLayer.AccessRegister(1, bank, kRegLookupValue, &regScratch.word[6]);
    }
  }
  return 1;
}
