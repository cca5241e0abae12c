// The status table: the last value of every per-lane setting, one double per
// status item, 96 items per lane, written and read byte by byte with a 10 ms
// pause after every byte.
#include "calibration/EepromBytes.h"
#include "calibration/EepromMap.h"
#include "calibration/StatusItem.h"
#include "core/Lanes.h"
#include "core/Tessok_API.h"

using namespace tessok;

namespace {

// Wait after every byte of a status item, read or written.
constexpr std::uint32_t kStatusByteWaitMs = 10;

bool ValidItem(int lane, int item) { return IsLane(lane) && item >= 0 && item < status::kItemCount; }

// Base of the lane's items: the second base on boards that keep their table
// there, and for lanes 4 and up of the eight-channel boards.
std::uint16_t StatusBase(const Tessok_API& api, int lane) {
  if (api.board.row->statusSecondBase) return eeprom::kStatusBaseSecond;
  if (lane >= 4 && api.board.statusSecondBaseFromLane4) return eeprom::kStatusBaseSecond;
  return eeprom::kStatusBase;
}

std::uint16_t StatusAddress(const Tessok_API& api, int lane, int item) {
  return static_cast<std::uint16_t>(StatusBase(api, lane) + 8 * (eeprom::kStatusItemsPerLane * lane + item));
}

}  // namespace

std::uint8_t Tessok_API::WriteStatusToEEProm(int lane, std::int16_t item, double value) {
  // A lane or item outside the table would write over other lanes' items or the
  // calibration areas: refused before anything is sent.
  if (!ValidItem(lane, item)) return 0;
  return eeprom::WriteDoubleBytewise(*this, StatusAddress(*this, lane, item), value, kStatusByteWaitMs);
}

std::uint8_t Tessok_API::ReadStatusItem(int lane, std::uint16_t item, double* value) {
  if (!ValidItem(lane, item)) return 0;
  return eeprom::ReadDoubleBytewise(*this, StatusAddress(*this, lane, item), value);
}

std::uint32_t Tessok_API::Monitor(std::uint32_t channel, std::uint8_t item, double* value) {
  // The channel number is the lane, after the 7775's move of lane 3.
  Lane lane{};
  const bool valid = ResolveLane(*this, channel, {kFix3To2, false, kNoFix}, &lane);
  int l = valid ? static_cast<int>(lane.bank) : -1;
  // These boards record one line rate for all channels, at lane 0; a channel
  // outside the lanes is still refused.
  if (valid && item == status::kLineRate && board.row->sharedLineRate) l = 0;
  lastResult = ReadStatusItem(l, item, value);
  return lastResult;
}
