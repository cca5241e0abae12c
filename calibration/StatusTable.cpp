// The status table: the last value of every per-lane setting, one double per
// status item, 96 items per lane, written and read byte by byte with a 10 ms
// pause after every byte.
#include <cstring>

#include "calibration/EepromBytes.h"
#include "calibration/EepromMap.h"
#include "calibration/StatusItem.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"

using namespace tessok;

namespace {

bool ValidItem(int lane, int item) {
  return lane >= 0 && lane < status::kLaneCount && item >= 0 && item < status::kItemCount;
}

// Base of the lane's items: the second base on boards that keep their table
// there, and for lanes 4 and up of the eight-channel 7653 and 7746.
std::uint16_t StatusBase(const Tessok_API& api, int lane) {
  const std::uint32_t model = api.boardModel;
  if (model == 7780 || model == 7686) return eeprom::kStatusBaseSecond;
  if (lane >= 4 && api.channelCount == 8 &&
      ((model == 7653 && (api.boardSubType == 2 || api.boardSubType == 3)) || model == 7746)) {
    return eeprom::kStatusBaseSecond;
  }
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
  std::memcpy(eepromBytes, &value, 8);
  regScratch.word[0] = StatusAddress(*this, lane, item);
  std::uint8_t result = 1;
  for (int i = 0; i < 8; ++i) {
    result &= hwLayer.AccessRegister(1, 0, eeprom::kAddressRegister, &regScratch.word[0]);
    regScratch.word[2] = eepromBytes[i];
    result &= hwLayer.AccessRegister(1, 0, eeprom::kDataRegister, &regScratch.word[2]);
    platform::SleepMs(10);
    ++regScratch.word[0];
  }
  return result;
}

std::uint8_t Tessok_API::ReadStatusItem(int lane, std::uint16_t item, double* value) {
  if (!ValidItem(lane, item)) return 0;
  return eeprom::ReadDoubleBytewise(*this, StatusAddress(*this, lane, item), value);
}

std::uint32_t Tessok_API::Monitor(std::uint32_t channel, std::uint8_t item, double* value) {
  std::uint32_t lane = channel;
  if (boardModel == 7775 && remapLane3 == 1 && channel == 3) lane = 2;
  // These boards record one line rate for all channels, at lane 0.
  if (item == status::kLineRate && (boardModel == 7828 || boardModel == 7698 || boardModel == 7758)) lane = 0;
  const int l = lane < static_cast<std::uint32_t>(status::kLaneCount) ? static_cast<int>(lane) : -1;
  lastResult = ReadStatusItem(l, item, value);
  return lastResult;
}
