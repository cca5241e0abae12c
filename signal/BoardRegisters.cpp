// Module, cage, port, supply and bridge registers of the pluggable-module
// hardware: per-port pins and monitors, module power and supply, per-port
// module registers with their window, the cage map (on bank 0 of a 7841) and
// the bank-0 bridge with its window and rails.
#include <algorithm>
#include <cstdint>

#include "calibration/Conversions.h"
#include "core/Tessok_API.h"
#include "signal/ModuleAccess.h"
#include "signal/Registers.h"

using namespace tessok;
using module::Accessor;
using module::BankRule;
using module::Report;
using module::Sense;
using module::Window;

namespace {

// clang-format off
// Port registers (bank = port). Pins 35 to 38 are read/write pins: write 1
// sends 1 for a value of 1 (else 0), any other write reads 1 when the pin is 1.
//                                  bank             register                       sense              lastStatus
constexpr Accessor kPortPin35      {BankRule::Port, reg::kPortPin35,               Sense::ActiveHigh, Report::S};
constexpr Accessor kPortPin36      {BankRule::Port, reg::kPortPin36,               Sense::ActiveHigh, Report::S};
constexpr Accessor kPortPin37      {BankRule::Port, reg::kPortPin37,               Sense::ActiveHigh, Report::S};
constexpr Accessor kPortPin38      {BankRule::Port, reg::kPortPin38,               Sense::ActiveHigh, Report::S};
constexpr Accessor kPortPin39      {BankRule::Port, reg::kPortPin39,               Sense::NonZero,    Report::S0};
constexpr Accessor kPortPin40      {BankRule::Port, reg::kPortPin40,               Sense::NotOne,     Report::S0};
constexpr Accessor kPortPin41      {BankRule::Port, reg::kPortPin41,               Sense::Zero,       Report::S0};
constexpr Accessor kPortMonitor42  {BankRule::Port, reg::kPortMonitor42,           Sense::Div256,     Report::S0};
constexpr Accessor kPortMonitor43  {BankRule::Port, reg::kPortMonitor43,           Sense::Div256,     Report::S0};
// The level code: lane register 0x221 at bank port x 4 (the port is multiplied by the caller).
constexpr Accessor kPortLevelCode  {BankRule::Port, reg::kPortLevelCode,           Sense::Raw,        Report::L};

// Module power and supply.
constexpr Accessor kGlobalEnable   {BankRule::Zero, reg::kModuleGlobalEnable,      Sense::NotOne,     Report::S};
constexpr Accessor kEnable63       {BankRule::Zero, reg::kModuleEnable63,          Sense::NonZero,    Report::L};
constexpr Accessor kModulePower    {BankRule::Port, reg::kModulePower,             Sense::Zero,       Report::S};
constexpr Accessor kSupplyVoltage  {BankRule::Port, reg::kModuleSupplyVoltage,     Sense::Raw,        Report::S};
constexpr Accessor kSupplyReadBack {BankRule::Port, reg::kModuleSupplyVoltageRead, Sense::Div256,     Report::S};
constexpr Accessor kSupplyCurrent  {BankRule::Port, reg::kModuleSupplyCurrent,     Sense::Div256,     Report::S};
constexpr Accessor kStatusPin      {BankRule::Port, reg::kModuleStatusPin,         Sense::Zero,       Report::S};
constexpr Accessor kLimitHigh      {BankRule::Zero, reg::kModuleSupplyLimitHigh,   Sense::Raw,        Report::L};
constexpr Accessor kLimitLow       {BankRule::Zero, reg::kModuleSupplyLimitLow,    Sense::Raw,        Report::L};
constexpr Accessor kLimitFlag      {BankRule::Zero, reg::kModuleSupplyLimitFlag,   Sense::Raw,        Report::L};

// Module registers (bank = port).
constexpr Accessor kModMonitor36   {BankRule::Port, reg::kModuleMonitor36,         Sense::Div256,     Report::S};
constexpr Accessor kModMonitor37   {BankRule::Port, reg::kModuleMonitor37,         Sense::Div256,     Report::S};
constexpr Accessor kModMonitor38   {BankRule::Port, reg::kModuleMonitor38,         Sense::Div256,     Report::S};
constexpr Accessor kModMonitor39   {BankRule::Port, reg::kModuleMonitor39,         Sense::Div256,     Report::S};
constexpr Accessor kModMonitor40   {BankRule::Port, reg::kModuleMonitor40,         Sense::Div256,     Report::S};
constexpr Accessor kModMonitor41   {BankRule::Port, reg::kModuleMonitor41,         Sense::Div256,     Report::S};
constexpr Accessor kModPin43       {BankRule::Port, reg::kModulePin43,             Sense::NonZero,    Report::S0};
constexpr Accessor kModPin44       {BankRule::Port, reg::kModulePin44,             Sense::One,        Report::L};
constexpr Accessor kModPin45       {BankRule::Port, reg::kModulePin45,             Sense::One,        Report::L};
constexpr Accessor kModPin46       {BankRule::Port, reg::kModulePin46,             Sense::NonZero,    Report::S0};
constexpr Accessor kModPin47       {BankRule::Port, reg::kModulePin47,             Sense::One,        Report::L};
constexpr Accessor kModRegister48  {BankRule::Port, reg::kModuleRegister48,        Sense::Raw,        Report::L};

// Cage registers: the port's bank with the first register, bank 0 with the
// second on a bank-0 cage map. Monitors 40 and 41 exist on that map only; 40
// clears lastStatus first (S0), so on other boards it is left 0, while 41
// leaves it alone (S).
//                                  bank                  register             sense             lastStatus  bank-0 register
constexpr Accessor kCageSelect     {BankRule::Cage,      reg::kCageSelect,    Sense::Raw,       Report::L,  reg::kCageSelectBank0};
constexpr Accessor kCageSelectRead {BankRule::Cage,      reg::kCageSelect,    Sense::Raw,       Report::S,  reg::kCageSelectBank0};
constexpr Accessor kCageMonitor36  {BankRule::Cage,      reg::kCageMonitor36, Sense::HighByte,  Report::S,  reg::kCageMonitor36Bank0};
constexpr Accessor kCagePin43      {BankRule::Cage,      reg::kCagePin43,     Sense::NotOne,    Report::S,  reg::kCagePin43Bank0};
constexpr Accessor kCageSetPin44   {BankRule::Cage,      reg::kCagePin44,     Sense::Raw,       Report::L,  reg::kCagePin44Bank0};
constexpr Accessor kCagePin44      {BankRule::Cage,      reg::kCagePin44,     Sense::NonZero,   Report::L,  reg::kCagePin44Bank0};
constexpr Accessor kCageSetPin45   {BankRule::Cage,      reg::kCagePin45,     Sense::Raw,       Report::L,  reg::kCagePin45Bank0};
constexpr Accessor kCagePin45      {BankRule::Cage,      reg::kCagePin45,     Sense::NonZero,   Report::L,  reg::kCagePin45Bank0};
constexpr Accessor kCageSetPin46   {BankRule::Cage,      reg::kCagePin46,     Sense::Raw,       Report::L,  reg::kCagePin46Bank0};
constexpr Accessor kCagePin46      {BankRule::Cage,      reg::kCagePin46,     Sense::NotOne,    Report::L,  reg::kCagePin46Bank0};
constexpr Accessor kCagePin47      {BankRule::Cage,      reg::kCagePin47,     Sense::NonZero,   Report::S,  reg::kCagePin47Bank0};
constexpr Accessor kCagePin48      {BankRule::Cage,      reg::kCagePin48,     Sense::NonZero,   Report::S,  reg::kCagePin48Bank0};
constexpr Accessor kCageMonitor40  {BankRule::CageBank0, 0,                   Sense::Div256,    Report::S0, reg::kCageMonitor40Bank0};
constexpr Accessor kCageMonitor41  {BankRule::CageBank0, 0,                   Sense::HighByte,  Report::S,  reg::kCageMonitor41Bank0};

// Bridge registers (bank 0).
//                                  bank             register             sense         lastStatus
constexpr Accessor kBridge62       {BankRule::Zero, reg::kBridge62,       Sense::Raw,   Report::L};
constexpr Accessor kBridge63       {BankRule::Zero, reg::kBridge63,       Sense::Raw,   Report::S};
constexpr Accessor kBridge64       {BankRule::Zero, reg::kBridge64,       Sense::Raw,   Report::S};
constexpr Accessor kBridge65       {BankRule::Zero, reg::kBridge65,       Sense::Raw,   Report::S};
constexpr Accessor kBridge66       {BankRule::Zero, reg::kBridge66,       Sense::Raw,   Report::L};
constexpr Accessor kBridge67       {BankRule::Zero, reg::kBridge67,       Sense::Raw,   Report::L};
constexpr Accessor kBridge68       {BankRule::Zero, reg::kBridge68,       Sense::Raw,   Report::L};
constexpr Accessor kBridgeRail1V8  {BankRule::Zero, reg::kBridgeRail1V8,  Sense::Raw,   Report::S};
constexpr Accessor kBridgeRail5V0  {BankRule::Zero, reg::kBridgeRail5V0,  Sense::Raw,   Report::S};

// Windows; the cage window's second set is that of the bank-0 cage map.
//                            bank            select             address                    data
constexpr Window kModuleWin {BankRule::Port, {module::kNoSelect, reg::kModuleWindowAddress, reg::kModuleWindowData}};
constexpr Window kCageWin   {BankRule::Cage, {reg::kCageSelect,  reg::kCageAddress,         reg::kCageData},
                                             {reg::kCageSelectBank0, reg::kCageAddressBank0, reg::kCageDataBank0}};
constexpr Window kBridgeWin {BankRule::Zero, {module::kNoSelect, reg::kBridgeAddress,       reg::kBridgeData}};
// clang-format on

// The banks of a port's four lanes.
constexpr std::uint32_t kLanesPerPort = 4;

// Rails of the bridge: the register of each, chosen by the rail's exact voltage.
struct Rail {
  double volts;
  const Accessor* row;
};
constexpr Rail kBridgeRails[] = {{1.8, &kBridgeRail1V8}, {5.0, &kBridgeRail5V0}};

}  // namespace

// ---- Port registers ----

std::uint8_t Tessok_API::AccessPortPin35(std::uint8_t write, std::uint16_t port, std::uint8_t* val) {
  return module::Pin(*this, kPortPin35, write, port, val);
}
std::uint8_t Tessok_API::AccessPortPin36(std::uint8_t write, std::uint16_t port, std::uint8_t* val) {
  return module::Pin(*this, kPortPin36, write, port, val);
}
std::uint8_t Tessok_API::AccessPortPin37(std::uint8_t write, std::uint16_t port, std::uint8_t* val) {
  return module::Pin(*this, kPortPin37, write, port, val);
}
std::uint8_t Tessok_API::AccessPortPin38(std::uint8_t write, std::uint16_t port, std::uint8_t* val) {
  return module::Pin(*this, kPortPin38, write, port, val);
}
std::uint8_t Tessok_API::ReadPortPin39(std::uint16_t port, std::uint8_t* out) {
  return module::Read(*this, kPortPin39, port, out);
}
std::uint8_t Tessok_API::ReadPortPin40(std::uint16_t port, std::uint8_t* out) {
  return module::Read(*this, kPortPin40, port, out);
}
std::uint8_t Tessok_API::ReadPortPin41(std::uint16_t port, std::uint8_t* out) {
  return module::Read(*this, kPortPin41, port, out);
}
std::uint8_t Tessok_API::ReadPortMonitor42(std::uint16_t port, double* out) {
  return module::Read(*this, kPortMonitor42, port, out);
}
std::uint8_t Tessok_API::ReadPortMonitor43(std::uint16_t port, double* out) {
  return module::Read(*this, kPortMonitor43, port, out);
}
std::uint8_t Tessok_API::WritePortLevelCode(std::uint32_t port, const std::uint16_t* code) {
  return module::Write(*this, kPortLevelCode, port * kLanesPerPort, *code);
}
std::uint8_t Tessok_API::SetPortLaneLevels(std::uint32_t port, std::uint16_t value) {
  const std::uint16_t code = std::min(value, reg::kPortLevelCodeMax);
  std::uint8_t ok = 1;
  for (std::uint32_t k = 0; k < kLanesPerPort; ++k)
    ok &= module::Write(*this, kPortLevelCode, port * kLanesPerPort + k, code);
  lastStatus = ok;
  return ok;
}

// ---- Module power and supply ----

std::uint8_t Tessok_API::SetModuleGlobalEnable(std::uint8_t on) { return module::Write(*this, kGlobalEnable, 0, on); }
std::uint8_t Tessok_API::SetModuleEnable63(std::uint8_t on) { return module::Write(*this, kEnable63, 0, on); }
std::uint8_t Tessok_API::SetModulePower(std::uint16_t port, std::uint8_t on) {
  return module::Write(*this, kModulePower, port, on);
}

// Passes the inverted flag on, so every register 52 receives 1 when on is
// non-zero: the opposite of SetModulePower(port, on). Kept as instruments and
// applications know it.
std::uint8_t Tessok_API::SetAllModulesPower(std::uint8_t on) {
  std::uint8_t ok = 1;
  const std::uint8_t flag = on == 0 ? 1 : 0;
  for (int port = 0; port < channelCount / 4; ++port) ok &= SetModulePower(static_cast<std::uint16_t>(port), flag);
  lastStatus = ok;
  return ok;
}

std::uint8_t Tessok_API::SetModuleSupplyVoltage(std::uint16_t port, double volts) {
  // Written as a comparison that NaN fails.
  if (!(volts >= reg::kModuleSupplyMinVolts && volts <= reg::kModuleSupplyMaxVolts)) {
    lastStatus = 0;
    return 0;
  }
  const auto code = static_cast<std::uint16_t>(TruncateToInt32(volts * 100));
  return module::Write(*this, kSupplyVoltage, port, code);
}

std::uint8_t Tessok_API::ReadModuleSupplyVoltage(std::uint16_t port, double* volts) {
  return module::Read(*this, kSupplyReadBack, port, volts);
}

std::uint8_t Tessok_API::ReadModuleSupplyCurrents(std::uint32_t port, double* a, double* b, double* c) {
  std::uint8_t ok = module::Read(*this, kSupplyCurrent, port, a);
  ok &= ReadModuleMonitor40(port, b);
  ok &= ReadModuleMonitor41(port, c);
  lastStatus = ok;
  return ok;
}

std::uint8_t Tessok_API::ReadModuleStatusPin(std::uint16_t port, std::uint8_t* out) {
  return module::Read(*this, kStatusPin, port, out);
}

std::uint8_t Tessok_API::SetModuleSupplyLimit(double value, std::uint8_t flag) {
  const auto limit = static_cast<std::uint32_t>(TruncateToInt32(value));
  std::uint8_t ok = module::Write(*this, kLimitHigh, 0, static_cast<std::uint16_t>(limit >> 16));
  ok &= module::Write(*this, kLimitLow, 0, static_cast<std::uint16_t>(limit));
  ok &= module::Write(*this, kLimitFlag, 0, flag);
  lastStatus = ok;
  return ok;
}

// ---- Module registers ----

std::uint8_t Tessok_API::ReadModuleMonitor36(std::uint32_t port, double* out) {
  return module::Read(*this, kModMonitor36, port, out);
}
std::uint8_t Tessok_API::ReadModuleMonitor36Alias(std::uint32_t port, double* out) {
  return ReadModuleMonitor36(port, out);
}
std::uint8_t Tessok_API::ReadModuleMonitor37(std::uint32_t port, double* out) {
  return module::Read(*this, kModMonitor37, port, out);
}
std::uint8_t Tessok_API::ReadModuleMonitor38(std::uint32_t port, double* out) {
  return module::Read(*this, kModMonitor38, port, out);
}
std::uint8_t Tessok_API::ReadModuleMonitor39(std::uint32_t port, double* out) {
  return module::Read(*this, kModMonitor39, port, out);
}
std::uint8_t Tessok_API::ReadModuleMonitor40(std::uint32_t port, double* out) {
  return module::Read(*this, kModMonitor40, port, out);
}
std::uint8_t Tessok_API::ReadModuleMonitor41(std::uint32_t port, double* out) {
  return module::Read(*this, kModMonitor41, port, out);
}
std::uint8_t Tessok_API::ReadModulePin43(std::uint16_t port, std::uint8_t* out) {
  return module::Read(*this, kModPin43, port, out);
}
std::uint8_t Tessok_API::SetModulePin44(std::uint16_t port, std::uint8_t value) {
  return module::Write(*this, kModPin44, port, value);
}
std::uint8_t Tessok_API::SetModulePin45(std::uint16_t port, std::uint8_t value) {
  return module::Write(*this, kModPin45, port, value);
}
std::uint8_t Tessok_API::ReadModulePin46(std::uint32_t port, std::uint8_t* out) {
  return module::Read(*this, kModPin46, port, out);
}
std::uint8_t Tessok_API::ReadModulePin46Alias(std::uint32_t port, std::uint8_t* out) {
  return module::Read(*this, kModPin46, port, out);
}
std::uint8_t Tessok_API::SetModulePin47(std::uint16_t port, std::uint8_t value) {
  return module::Write(*this, kModPin47, port, value);
}
std::uint8_t Tessok_API::SetModuleRegister48(std::uint16_t port, std::uint16_t value) {
  return module::Write(*this, kModRegister48, port, value);
}
std::uint8_t Tessok_API::ReadModuleRegister(std::uint16_t port, std::uint16_t address, std::uint16_t* out) {
  return module::ReadWindow(*this, kModuleWin, port, 0, address, out);
}
std::uint8_t Tessok_API::WriteModuleRegister(std::uint16_t port, std::uint16_t address, std::uint16_t value) {
  return module::WriteWindow(*this, kModuleWin, port, 0, address, value);
}

// The value is shifted in 32 bits and kept as 16, so an exponent of 8 or more
// (a shift of 16 or more) gives 0 rather than an undefined shift. Both reads
// must succeed: a failed one hands back the previous reply's word.
std::uint8_t Tessok_API::ReadModuleScaledPair(std::uint32_t port, double* out) {
  lastStatus = 0;
  std::uint16_t value = 0;
  std::uint16_t exponent = 0;
  const auto bank = static_cast<std::uint16_t>(port);
  std::uint8_t ok = ReadModuleRegister(bank, reg::kModuleScaledValue, &value);
  ok &= ReadModuleRegister(bank, reg::kModuleScaledExponent, &exponent);
  const std::uint32_t shift = (std::uint32_t{exponent} + 8) % 32;
  *out = static_cast<std::uint16_t>(std::uint32_t{value} << shift);
  lastStatus = ok;
  return ok;
}

bool Tessok_API::ReadModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, std::uint8_t* out) {
  return hwLayer.ReadModuleBlock(a, len, b, out);
}
bool Tessok_API::WriteModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, const std::uint8_t* in) {
  return hwLayer.WriteModuleBlock(a, len, b, in);
}

bool Tessok_API::TestMask(int value, std::uint8_t mask) { return (value & mask) == mask; }

// ---- Cage registers ----

std::uint8_t Tessok_API::SetCageSelect(std::uint16_t value, std::uint16_t port) {
  return module::Write(*this, kCageSelect, port, value);
}
std::uint8_t Tessok_API::ReadCageSelect(std::uint32_t* out, std::uint16_t port) {
  return module::Read(*this, kCageSelectRead, port, out);
}
std::uint8_t Tessok_API::ReadCageRegister(std::uint16_t port, std::uint16_t address, std::uint16_t select,
                                          std::uint16_t* out) {
  return module::ReadWindow(*this, kCageWin, port, select, address, out);
}
std::uint8_t Tessok_API::WriteCageRegister(std::uint16_t port, std::uint16_t address, std::uint16_t select,
                                           std::uint16_t value) {
  return module::WriteWindow(*this, kCageWin, port, select, address, value);
}
std::uint8_t Tessok_API::ReadCageMonitor36Whole(double* out, std::uint16_t port) {
  return module::Read(*this, kCageMonitor36, port, out);
}
bool Tessok_API::ReadCagePin43(std::uint16_t port) { return module::Value(*this, kCagePin43, port) != 0; }
std::uint8_t Tessok_API::SetCagePin44(std::uint16_t value, std::uint16_t port) {
  return module::Write(*this, kCageSetPin44, port, value);
}
bool Tessok_API::ReadCagePin44(std::uint16_t port) { return module::Value(*this, kCagePin44, port) != 0; }
std::uint8_t Tessok_API::SetCagePin45(std::uint16_t value, std::uint16_t port) {
  return module::Write(*this, kCageSetPin45, port, value);
}
bool Tessok_API::ReadCagePin45(std::uint16_t port) { return module::Value(*this, kCagePin45, port) != 0; }
std::uint8_t Tessok_API::SetCagePin46(std::uint16_t value, std::uint16_t port) {
  return module::Write(*this, kCageSetPin46, port, value);
}
bool Tessok_API::ReadCagePin46(std::uint16_t port) { return module::Value(*this, kCagePin46, port) != 0; }
bool Tessok_API::ReadCagePin47(std::uint16_t port) { return module::Value(*this, kCagePin47, port) != 0; }
bool Tessok_API::ReadCagePin48(std::uint16_t port) { return module::Value(*this, kCagePin48, port) != 0; }
std::uint8_t Tessok_API::ReadCageMonitor40(std::uint64_t /*ignored*/, double* out) {
  return module::Read(*this, kCageMonitor40, 0, out);
}
std::uint8_t Tessok_API::ReadCageMonitor41Whole(double* out) { return module::Read(*this, kCageMonitor41, 0, out); }

// ---- Bridge registers ----

std::uint8_t Tessok_API::ReadBridgeRegister(std::uint16_t address, std::uint16_t* out) {
  return module::ReadWindow(*this, kBridgeWin, 0, 0, address, out);
}
std::uint8_t Tessok_API::WriteBridgeRegister(std::uint16_t address, std::uint16_t value) {
  return module::WriteWindow(*this, kBridgeWin, 0, 0, address, value);
}

// Reads register 62 into the argument's own copy: only the transfer's result
// reaches the caller, as the operation has always worked.
std::uint8_t Tessok_API::ReadBridge62(std::uint16_t value) { return module::Read(*this, kBridge62, 0, &value); }
std::uint16_t Tessok_API::ReadBridge63() { return module::Value(*this, kBridge63, 0); }
std::uint16_t Tessok_API::ReadBridge64() { return module::Value(*this, kBridge64, 0); }
std::uint16_t Tessok_API::ReadBridge65() { return module::Value(*this, kBridge65, 0); }
std::uint8_t Tessok_API::SetBridge66(std::uint16_t value) { return module::Write(*this, kBridge66, 0, value); }
std::uint8_t Tessok_API::SetBridge67(std::uint16_t value) { return module::Write(*this, kBridge67, 0, value); }
std::uint8_t Tessok_API::SetBridge68(std::uint16_t value) { return module::Write(*this, kBridge68, 0, value); }

std::uint8_t Tessok_API::SetBridgeRailValue(std::uint16_t value, double* volts) {
  for (const Rail& rail : kBridgeRails) {
    if (*volts == rail.volts) return module::Write(*this, *rail.row, 0, value);
  }
  lastStatus = 0;
  return 0;
}
