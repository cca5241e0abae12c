// Identity reads, raw register access, the chip and device register windows,
// the measurement gate and the free-form parameter block.
#include "core/Registers.h"
#include "core/Tessok_API.h"

using namespace tessok;

std::uint8_t Tessok_API::AccessBoardRegister(std::uint8_t write, std::uint16_t bank, std::uint16_t reg,
                                             std::uint16_t* data) {
  return hwLayer.AccessRegister(write, bank, reg, data);
}

int Tessok_API::ReadBoardSN() {
  // Transfer results are not examined: a failed read contributes the stale word.
  hwLayer.AccessRegister(0, 0, reg::kSerialLow, &regScratch.word[3]);
  hwLayer.AccessRegister(0, 0, reg::kSerialHigh, &regScratch.word[4]);
  std::uint32_t serial = (static_cast<std::uint32_t>(regScratch.word[4]) << 16) | regScratch.word[3];
  regScratch.dword = serial;
  return static_cast<int>(serial);
}

int Tessok_API::WriteBoardSN(std::uint32_t serial) {
  regScratch.word[3] = static_cast<std::uint16_t>(serial & 0xFFFF);
  regScratch.word[4] = static_cast<std::uint16_t>(serial >> 16);
  hwLayer.AccessRegister(1, 0, reg::kSerialLow, &regScratch.word[3]);
  hwLayer.AccessRegister(1, 0, reg::kSerialHigh, &regScratch.word[4]);
  return 1;
}

int Tessok_API::ReadSerialNumber(std::uint64_t* serial, std::uint32_t* isLong) {
  *serial = 0;
  std::uint16_t w21 = 0, w22 = 0, w23 = 0, w24 = 0, w25 = 0;
  hwLayer.AccessRegister(0, 0, reg::kSerialLow, &w21);
  hwLayer.AccessRegister(0, 0, reg::kSerialHigh, &w22);
  hwLayer.AccessRegister(0, 0, reg::kSerialBits32, &w23);
  hwLayer.AccessRegister(0, 0, reg::kSerialBits48, &w24);
  hwLayer.AccessRegister(0, 0, reg::kSerialCheck, &w25);
  if (w25 / 5 == w24) {
    *isLong = 1;
    *serial = (static_cast<std::uint64_t>(w24) << 48) | (static_cast<std::uint64_t>(w23) << 32) |
              (static_cast<std::uint64_t>(w22) << 16) | w21;
  } else {
    *isLong = 0;
    // Widened with its sign: bit 31 set fills the upper 32 bits with ones.
    *serial = static_cast<std::uint64_t>(static_cast<std::int64_t>(ReadBoardSN()));
  }
  return 1;
}

double Tessok_API::ReadFirmwareRevision() {
  hwLayer.AccessRegister(0, 0, reg::kFirmwareRevision, &regScratch.word[1]);
  return regScratch.word[1] / 10.0;
}

double Tessok_API::TempRead(int bank) {
  std::uint8_t ok = hwLayer.AccessRegister(0, static_cast<std::uint16_t>(bank), reg::kTemperature, &regScratch.word[1]);
  lastResult = ok;
  return ok ? static_cast<double>(regScratch.word[1]) : 0.0;
}

std::uint8_t Tessok_API::SetGateTime(std::uint32_t gate) {
  gateTime = gate;
  gateTimeSet = 1;
  std::uint16_t high = static_cast<std::uint16_t>(gate >> 16);
  std::uint16_t low = static_cast<std::uint16_t>(gate & 0xFFFF);
  std::uint16_t& w = regScratch.word[7];
  w = high;
  hwLayer.AccessRegister(1, 0, reg::kGateHigh, &w);
  w = low;
  hwLayer.AccessRegister(1, 0, reg::kGateLow, &w);
  w = high;
  hwLayer.AccessRegister(1, 4, reg::kGateHigh, &w);
  w = low;
  return hwLayer.AccessRegister(1, 4, reg::kGateLow, &w);
}

std::uint8_t Tessok_API::WriteChipRegister(std::uint16_t bank, std::uint16_t addr, std::uint16_t value) {
  regScratch.word[0] = addr;
  std::uint8_t result = hwLayer.AccessRegister(1, bank, reg::kChipWindowAddress, &regScratch.word[0]);
  regScratch.word[6] = value;
  result =
      static_cast<std::uint8_t>(result | hwLayer.AccessRegister(1, bank, reg::kChipWindowData, &regScratch.word[6]));
  return result;
}

std::uint8_t Tessok_API::ReadChipRegister(std::uint16_t bank, std::uint16_t addr, std::uint16_t* out) {
  regScratch.word[0] = addr;
  std::uint8_t result = hwLayer.AccessRegister(1, bank, reg::kChipWindowAddress, &regScratch.word[0]);
  result = static_cast<std::uint8_t>(result | hwLayer.AccessRegister(0, bank, reg::kChipWindowData, out));
  return result;
}

bool Tessok_API::SendExtendedCommand(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3,
                                     std::uint8_t a4, std::uint8_t a5, std::uint8_t a6, std::uint8_t a7,
                                     std::uint8_t a8, std::uint8_t a9, std::uint16_t word, std::uint8_t b0,
                                     std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  return hwLayer.SendExtendedCommand(a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, word, b0, b1, b2, b3);
}

namespace {

// Device 8 sits a few banks above the lane on the boards that carry it.
std::uint16_t DeviceBank(const Tessok_API& api, std::uint16_t bank, std::uint16_t device) {
  if (device != 8) return bank;
  return static_cast<std::uint16_t>(bank + api.board.row->deviceBankOffset);
}

}  // namespace

std::uint8_t Tessok_API::WriteDeviceRegister(std::uint16_t bank, std::uint16_t device, std::uint16_t reg,
                                             std::uint16_t value) {
  std::uint16_t b = DeviceBank(*this, bank, device);
  regScratch.word[0] = reg;
  AccessBoardRegister(1, b, reg::kDeviceWindowAddress, &regScratch.word[0]);
  std::uint16_t data = value;
  return AccessBoardRegister(1, b, reg::kDeviceWindowData, &data);
}

std::uint16_t Tessok_API::ReadDeviceRegister(std::uint16_t bank, std::uint16_t device, std::uint16_t reg) {
  std::uint16_t b = DeviceBank(*this, bank, device);
  regScratch.word[0] = reg;
  AccessBoardRegister(1, b, reg::kDeviceWindowAddress, &regScratch.word[0]);
  std::uint16_t data = 0;
  AccessBoardRegister(0, b, reg::kDeviceWindowData, &data);
  return data;
}
