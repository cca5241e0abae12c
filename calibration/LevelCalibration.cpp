// Output-level calibration tables: loading them from the instrument's EEPROM,
// resetting them to pass-through, handing them to the application and saving
// new ones; the code/value and delay conversion wrappers; the lookup tables.
#include <cstring>

#include "calibration/EepromMap.h"
#include "core/Tessok_API.h"

using namespace tessok;

namespace {

constexpr std::uint16_t kRegSwingForm = 14;  // board register: 3 selects the cubic swing form
constexpr std::uint16_t kRegLookupIndex = 0x222;
constexpr std::uint16_t kRegLookupValue = 0x223;

enum class Layout { Swing, Alt, Alt7, Generic };

bool IsSwingFamily(const Tessok_API& api) {
  const std::uint32_t m = api.boardModel;
  return m == 7592 || m == 7621 || m == 7837 || (m == 7668 && api.option31 != 11);
}

Layout LayoutOf(const Tessok_API& api) {
  const std::uint32_t m = api.boardModel;
  if (IsSwingFamily(api)) return Layout::Swing;
  if (m == 7746 || m == 7769) return Layout::Alt;
  if ((m == 7668 && api.option31 == 11) || m == 7766 || m == 7812) return Layout::Alt7;
  return Layout::Generic;
}

// Reads the swing-form register afresh; true for the cubic form.
bool ReadCubicForm(Tessok_API& api) {
  api.hwLayer.AccessRegister(0, 0, kRegSwingForm, &api.regScratch.word[1]);
  return (api.boardModel == 7621 || api.boardModel == 7837) && api.regScratch.word[1] == 3;
}

std::uint32_t SwingBlock(const Tessok_API& api, int lane) {
  const std::uint32_t base = api.boardModel == 7592 ? eeprom::kSwingBlockBase7592 : eeprom::kSwingBlockBase;
  return base + eeprom::kSwingBlockOffset + eeprom::kSwingBlockStride * static_cast<std::uint32_t>(lane);
}

std::uint32_t LevelBlock(const Tessok_API& api, int lane) {
  const std::uint32_t m = api.boardModel;
  bool high = m == 7828 || m == 7698 || m == 7758;
  if (lane >= 4) {
    high = high || (m == 7653 && (api.boardSubType == 2 || api.boardSubType == 3) && api.channelCount == 8) ||
           (m == 7746 && api.channelCount == 8) || m == 7769 || (m == 7668 && api.option31 == 11);
  }
  return (high ? eeprom::kLevelBlockBaseHigh : eeprom::kLevelBlockBase) +
         eeprom::kLevelBlockStride * static_cast<std::uint32_t>(lane);
}

// Lanes the loader and the read-back serve: 4 to 3 + count on a 7780 with
// option code C 1, else 0 to count - 1 (never beyond the store's 16 lanes).
void LaneRange(const Tessok_API& api, int* first, int* end) {
  const int count = api.channelCount < 0 ? 0 : api.channelCount;
  *first = (api.boardModel == 7780 && api.optionCodeC == 1) ? 4 : 0;
  *end = *first + count > 16 ? 16 : *first + count;
}

int SwingLanes(const Tessok_API& api) { return api.channelCount < 0 ? 0 : (api.channelCount > 16 ? 16 : api.channelCount); }

// One page read at address; doubles [from, from + n) of the page go to dest.
void LoadPage(Tessok_API& api, std::uint32_t address, double* dest, int from, int n) {
  api.hwLayer.ReadEEPROMPage(0, address, api.eepromPage);  // copied also after a failed read
  std::memcpy(dest, api.eepromPage + 8 * from, 8 * static_cast<std::size_t>(n));
}

}  // namespace

int Tessok_API::LoadCalibrationValue() {
  CalibrationStore& c = calibration;
  switch (LayoutOf(*this)) {
    case Layout::Swing: {
      const bool cubic = ReadCubicForm(*this);
      for (int l = 0; l < SwingLanes(*this); ++l) {
        const std::uint32_t t = SwingBlock(*this, l);
        double* row = c.levelBySwing[l];
        LoadPage(*this, t, row, 0, 15);
        LoadPage(*this, t + 120, row + 15, 0, 15);
        if (cubic) {
          LoadPage(*this, t + 240, row + 30, 0, 15);
          LoadPage(*this, t + 360, row + 45, 0, 3);
        } else {
          LoadPage(*this, t + 240, row + 30, 0, 10);
        }
      }
      break;
    }
    case Layout::Alt:
    case Layout::Alt7:
    case Layout::Generic: {
      const Layout layout = LayoutOf(*this);
      int first = 0, end = 0;
      LaneRange(*this, &first, &end);
      for (int l = first; l < end; ++l) {
        const std::uint32_t s = LevelBlock(*this, l);
        if (layout == Layout::Alt) {
          LoadPage(*this, s + 48, c.levelLowRateAlt[l], 0, 6);
          LoadPage(*this, s + 96, c.levelHighRateAlt[l], 0, 12);
        } else if (layout == Layout::Alt7) {
          LoadPage(*this, s + 56, c.levelLowRateAlt[l], 0, 7);
          LoadPage(*this, s + 112, c.levelHighRateAlt[l], 0, 7);
        } else {
          hwLayer.ReadEEPROMPage(0, s + eeprom::kLevelLowRateOffset, eepromPage);
          std::memcpy(c.levelLowRate[l], eepromPage, 5 * 8);
          std::memcpy(c.levelHighRate[l], eepromPage + 5 * 8, 5 * 8);
        }
      }
      break;
    }
  }
  return 1;
}

int Tessok_API::ReadCalibrationValues(double* out) {
  const CalibrationStore& c = calibration;
  const Layout layout = LayoutOf(*this);
  if (layout == Layout::Swing) {
    const int n = ReadCubicForm(*this) ? 48 : 40;
    for (int l = 0; l < SwingLanes(*this); ++l, out += n) std::memcpy(out, c.levelBySwing[l], 8 * static_cast<std::size_t>(n));
    return 1;
  }
  LoadCalibrationValue();
  int first = 0, end = 0;
  LaneRange(*this, &first, &end);
  for (int l = first; l < end; ++l) {
    if (layout == Layout::Alt) {
      std::memcpy(out, c.levelLowRateAlt[l], 6 * 8);
      std::memcpy(out + 6, c.levelHighRateAlt[l], 12 * 8);
      out += 18;
    } else if (layout == Layout::Alt7) {
      std::memcpy(out, c.levelLowRateAlt[l], 7 * 8);
      std::memcpy(out + 7, c.levelHighRateAlt[l], 7 * 8);
      out += 14;
    } else {
      std::memcpy(out, c.levelLowRate[l], 5 * 8);
      std::memcpy(out + 5, c.levelHighRate[l], 5 * 8);
      out += 10;
    }
  }
  return 1;
}

std::uint32_t Tessok_API::SaveCalibrationValues(int channel, int kind, const double* values) {
  // A channel outside the map, or a kind the model's layout does not define,
  // would write over other areas: refused before anything is sent.
  if (channel < 0 || channel >= 16 || channel >= channelCount) return 0;
  const std::uint32_t lane = channelMap[channel];
  if (lane >= 16) return 0;
  std::uint32_t address = 0;
  int count = 0;
  switch (LayoutOf(*this)) {
    case Layout::Swing: {
      if (kind < 0 || kind > 7) return 0;
      const bool cubic = ReadCubicForm(*this);
      count = cubic ? 6 : 5;
      address = SwingBlock(*this, static_cast<int>(lane)) + static_cast<std::uint32_t>((cubic ? 48 : 40) * kind);
      break;
    }
    case Layout::Alt:
      if (kind < 0 || kind > 2) return 0;
      count = 6;
      address = LevelBlock(*this, static_cast<int>(lane)) + eeprom::kAltEntryStride * static_cast<std::uint32_t>(kind + 1);
      break;
    case Layout::Alt7:
      if (kind < 0 || kind > 1) return 0;
      count = 7;
      address = LevelBlock(*this, static_cast<int>(lane)) + eeprom::kAlt7EntryStride * static_cast<std::uint32_t>(kind + 1);
      break;
    case Layout::Generic:
      if (kind != 1 && kind != 2) return 0;
      count = 5;
      address = LevelBlock(*this, static_cast<int>(lane)) +
                (kind == 1 ? eeprom::kLevelLowRateOffset : eeprom::kLevelHighRateOffset);
      break;
  }
  for (int i = 0; i < count; ++i) lastResult = WriteEEPROMAddress(address + 8u * static_cast<std::uint32_t>(i), values[i]);
  return lastResult;
}

int Tessok_API::LoadDefaultCalibration() {
  CalibrationStore& c = calibration;
  auto identityRows = [&](int lanes, int levelC1) {
    for (int l = 0; l < lanes; ++l) {
      for (int e = 0; e < 5; ++e) c.quarticA[l][e] = c.quarticB[l][e] = c.levelLowRate[l][e] = c.levelHighRate[l][e] = 0.0;
      c.quarticA[l][3] = c.quarticB[l][3] = 1.0;
      c.levelLowRate[l][levelC1] = c.levelHighRate[l][levelC1] = 1.0;
    }
  };
  if (boardModel == 7822) {
    // Option codes 0, 2 and 3 convert with the quadratic of elements 0-2, so
    // their identity is element 1; with option code 1 the quartic's element 3.
    // (Writing element 3 for codes 2 and 3 would make every level convert to 0.)
    identityRows(8, optionCodeB == 1 ? 3 : 1);
    return 1;
  }
  if (boardModel == 7841) {
    identityRows(4, 1);
    return 1;
  }
  if (boardModel == 7746) return 1;
  const int lanes = SwingLanes(*this);
  for (int l = 0; l < lanes; ++l) {
    for (int e = 0; e < 5; ++e) {
      c.quarticA[l][e] = c.quarticB[l][e] = c.levelLowRate[l][e] = c.levelHighRate[l][e] = 0.0;
      c.levelLowRateAlt[l][e] = c.levelHighRateAlt[l][e] = 0.0;
    }
    c.quarticA[l][3] = c.quarticB[l][3] = c.levelLowRate[l][3] = c.levelHighRate[l][3] = 1.0;
  }
  const std::uint32_t m = boardModel;
  if (m == 7592 || m == 7621 || m == 7837 || m == 7668) {
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
  return calibration.ComputeCodeFromValueA(lane < 16 ? static_cast<int>(lane) : -1, value, sel);
}

double Tessok_API::ComputeValueFromCodeA(std::uint32_t lane, int code, double sel) {
  return calibration.ComputeValueFromCodeA(lane < 16 ? static_cast<int>(lane) : -1, code, sel);
}

double Tessok_API::ComputeCodeFromValueB(std::uint32_t lane, int value, double sel) {
  return calibration.ComputeCodeFromValueB(lane < 16 ? static_cast<int>(lane) : -1, value, sel);
}

double Tessok_API::ComputeValueFromCodeB(std::uint32_t lane, int code, double sel) {
  return calibration.ComputeValueFromCodeB(lane < 16 ? static_cast<int>(lane) : -1, code, sel);
}

double Tessok_API::ComputeLaneDelayConversion(int lane, std::uint32_t toCode, double x) {
  if (boardModel == 7775 && remapLane3 == 1 && lane == 3) lane = 2;
  std::uint32_t code = 0;
  // Reads registers 30 and 31 again and refreshes optionCodeA.
  ReadOptionFlags30And31(&code);
  const bool alt = code == 1;
  if (lane < 0 || lane >= 16) return 0.0;
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
