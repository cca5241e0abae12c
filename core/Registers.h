// Board-level registers (bank 0 unless noted) used for identification,
// identity reads, raw windows, the measurement gate and network settings.
#pragma once

#include <cstdint>

namespace tessok::reg {

inline constexpr std::uint16_t kIpAddressCd = 3;  // address bytes c (7-0) and d (15-8)
inline constexpr std::uint16_t kIpAddressAb = 4;  // address bytes a and b
inline constexpr std::uint16_t kIpMaskCd = 5;
inline constexpr std::uint16_t kIpMaskAb = 6;
inline constexpr std::uint16_t kIpGatewayCd = 7;
inline constexpr std::uint16_t kIpGatewayAb = 8;
inline constexpr std::uint16_t kFirmwareRevision = 9;  // revision x 10
inline constexpr std::uint16_t kTemperature = 16;      // at the caller's bank, raw
inline constexpr std::uint16_t kBoardModel = 20;
inline constexpr std::uint16_t kSerialLow = 21;
inline constexpr std::uint16_t kSerialHigh = 22;
inline constexpr std::uint16_t kSerialBits32 = 23;
inline constexpr std::uint16_t kSerialBits48 = 24;
inline constexpr std::uint16_t kSerialCheck = 25;  // divided by 5 equals register 24 on a long serial
inline constexpr std::uint16_t kOption30 = 30;
inline constexpr std::uint16_t kOption31 = 31;
inline constexpr std::uint16_t kOption32 = 32;
inline constexpr std::uint16_t kOption33 = 33;
inline constexpr std::uint16_t kOption34 = 34;
inline constexpr std::uint16_t kOption38 = 38;
inline constexpr std::uint16_t kOption57 = 57;
inline constexpr std::uint16_t kDeviceWindowAddress = 0x200;
inline constexpr std::uint16_t kDeviceWindowData = 0x201;
inline constexpr std::uint16_t kChipWindowAddress = 0x21F;
inline constexpr std::uint16_t kChipWindowData = 0x220;
inline constexpr std::uint16_t kGateLow = 0x300;   // banks 0 and 4
inline constexpr std::uint16_t kGateHigh = 0x301;

// Marker values of the option registers.
inline constexpr std::uint16_t kOptionFitted = 0xAA;
inline constexpr std::uint16_t kOption38Absent = 0xBADA;
inline constexpr std::uint16_t kBoardSignature = 0xCAFE;

}  // namespace tessok::reg
