// QSFP-DD and OSFP module cages: low-speed pins, supply monitors, the adapter
// type and the two module-bus windows of bank 0. None of these checks the
// connected model: they are meant for boards with cages and leave that to the
// caller.
#include "calibration/Conversions.h"
#include "core/Lanes.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"
#include "platform/Sleep.h"
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
// Read/write pins: write 1 drives the pin from the caller's value, any other
// write reads it back into that value.
//                                   bank            register               sense             lastStatus
constexpr Accessor kQddModSel        {BankRule::Port, reg::kQddModSel,       Sense::ActiveLow,  Report::S};
constexpr Accessor kQddModRst        {BankRule::Port, reg::kQddModRst,       Sense::ActiveLow,  Report::S};
constexpr Accessor kQddModInit       {BankRule::Port, reg::kQddModInit,      Sense::ActiveHigh, Report::S};
constexpr Accessor kOsfpModRst       {BankRule::Port, reg::kOsfpModRst,      Sense::ActiveLow,  Report::S};
constexpr Accessor kOsfpModLp        {BankRule::Port, reg::kOsfpModLp,       Sense::ActiveHigh, Report::S};

// Read-only pins and monitors.
constexpr Accessor kQddPresent       {BankRule::Port, reg::kQddModPrs,       Sense::Zero,     Report::S0};
constexpr Accessor kQddInterrupt     {BankRule::Port, reg::kQddInt,          Sense::Zero,     Report::S0};
constexpr Accessor kQddIntLevel      {BankRule::Port, reg::kQddInt,          Sense::NonZero,  Report::S0};
constexpr Accessor kQddVcc1Raw       {BankRule::Port, reg::kQddVcc1Current,  Sense::Raw,      Report::S0};
constexpr Accessor kQddVccRaw        {BankRule::Port, reg::kQddVccCurrent,   Sense::Raw,      Report::S0};
constexpr Accessor kQddVccTxRaw      {BankRule::Port, reg::kQddVccTxCurrent, Sense::Raw,      Report::S0};
constexpr Accessor kQddVccRxRaw      {BankRule::Port, reg::kQddVccRxCurrent, Sense::Raw,      Report::S0};
constexpr Accessor kQddVcc1Scaled    {BankRule::Port, reg::kQddVcc1Current,  Sense::Div256,   Report::S0};
constexpr Accessor kQddVccScaled     {BankRule::Port, reg::kQddVccCurrent,   Sense::Div256,   Report::S0};
constexpr Accessor kQddVccTxScaled   {BankRule::Port, reg::kQddVccTxCurrent, Sense::Div256,   Report::S0};
constexpr Accessor kQddVccRxScaled   {BankRule::Port, reg::kQddVccRxCurrent, Sense::Div256,   Report::S0};
constexpr Accessor kQddVoltage       {BankRule::Port, reg::kQddVoltage,      Sense::Div256,   Report::S0};
constexpr Accessor kQddVoltageWhole  {BankRule::Zero, reg::kQddVoltage,      Sense::HighByte, Report::S0};
constexpr Accessor kOsfpPresent      {BankRule::Port, reg::kOsfpModPrs,      Sense::Zero,     Report::S0};
constexpr Accessor kOsfpInterrupt    {BankRule::Port, reg::kOsfpInt,         Sense::Zero,     Report::S0};
constexpr Accessor kOsfpVccRaw       {BankRule::Port, reg::kOsfpVccCurrent,  Sense::Raw,      Report::S0};
constexpr Accessor kOsfpVoltage      {BankRule::Port, reg::kOsfpVoltage,     Sense::Div256,   Report::S0};

// Level setters: the level given, without the active-low inversion of the pins above.
constexpr Accessor kQddSetModSel     {BankRule::Port, reg::kQddModSel,       Sense::One,      Report::L};
constexpr Accessor kQddSetModRst     {BankRule::Port, reg::kQddModRst,       Sense::One,      Report::L};
constexpr Accessor kQddSetModInit    {BankRule::Port, reg::kQddModInit,      Sense::One,      Report::L};

// Module-bus windows of bank 0.
//                          bank            select            address               data
constexpr Window kQddBus  {BankRule::Zero, {module::kNoSelect, reg::kQddBusAddress,  reg::kQddBusData}};
constexpr Window kOsfpBus {BankRule::Zero, {module::kNoSelect, reg::kOsfpBusAddress, reg::kOsfpBusData}};
// clang-format on

std::uint8_t ReadBus(Tessok_API& api, const Window& bus, std::uint16_t address, double* value) {
  std::uint16_t word = 0;
  const std::uint8_t ok = module::ReadWindow(api, bus, 0, 0, address, &word);
  *value = word;
  return ok;
}

// A module-bus word is the value truncated toward zero, low 16 bits.
std::uint8_t WriteBus(Tessok_API& api, const Window& bus, std::uint16_t address, double value) {
  const auto word = static_cast<std::uint16_t>(TruncateToInt32(value));
  return module::WriteWindow(api, bus, 0, 0, address, word);
}

// The exported cage operations name a port that is also the bank of its pins
// and monitors; a port outside 0-15 would reach port (port & 15) through the
// four-bit bank field, so it is refused with nothing sent and the caller's
// value untouched.
std::uint8_t PortPin(Tessok_API& api, const Accessor& pin, std::uint32_t write, std::uint16_t port,
                     std::uint8_t* value) {
  return IsLane(port) ? module::Pin(api, pin, write, port, value) : 0;
}

template <typename T>
std::uint8_t PortRead(Tessok_API& api, const Accessor& row, std::uint16_t port, T* out) {
  return IsLane(port) ? module::Read(api, row, port, out) : 0;
}

}  // namespace

std::uint8_t Tessok_API::QDD_SetMODINIT(std::uint16_t port, std::uint8_t value) {
  return module::Write(*this, kQddSetModInit, port, value);
}
std::uint8_t Tessok_API::QDD_SetMODRST(std::uint16_t port, std::uint8_t value) {
  return module::Write(*this, kQddSetModRst, port, value);
}
std::uint8_t Tessok_API::QDD_SetMODSEL(std::uint16_t port, std::uint8_t value) {
  return module::Write(*this, kQddSetModSel, port, value);
}
std::uint8_t Tessok_API::QDD_ReadINTLevel(std::uint32_t port, std::uint8_t* out) {
  return module::Read(*this, kQddIntLevel, port, out);
}
std::uint8_t Tessok_API::QDD_ReadVCCTXCurrentScaled(std::uint32_t port, double* out) {
  return module::Read(*this, kQddVccTxScaled, port, out);
}
std::uint8_t Tessok_API::QDD_ReadVCCRXCurrentScaled(std::uint32_t port, double* out) {
  return module::Read(*this, kQddVccRxScaled, port, out);
}
std::uint8_t Tessok_API::QDD_ReadVCCCurrentScaled(std::uint32_t port, double* out) {
  return module::Read(*this, kQddVccScaled, port, out);
}
std::uint8_t Tessok_API::QDD_ReadVCC1CurrentScaled(std::uint32_t port, double* out) {
  return module::Read(*this, kQddVcc1Scaled, port, out);
}
std::uint8_t Tessok_API::QDD_ReadVoltageWhole(double* out) { return module::Read(*this, kQddVoltageWhole, 0, out); }
std::uint8_t Tessok_API::QDD_ReadI2C(std::uint16_t address, double* value) {
  return ReadBus(*this, kQddBus, address, value);
}
std::uint8_t Tessok_API::QDD_WriteI2C(std::uint16_t address, double value) {
  return WriteBus(*this, kQddBus, address, value);
}

std::uint8_t Tessok_API::QDD_7686_MODINIT(std::uint32_t write, std::uint16_t port, std::uint8_t* value) {
  return PortPin(*this, kQddModInit, write, port, value);
}
std::uint8_t Tessok_API::QDD_7686_MODSEL(std::uint32_t write, std::uint16_t port, std::uint8_t* value) {
  return PortPin(*this, kQddModSel, write, port, value);
}
std::uint8_t Tessok_API::QDD_7686_MODRST(std::uint32_t write, std::uint16_t port, std::uint8_t* value) {
  return PortPin(*this, kQddModRst, write, port, value);
}
std::uint8_t Tessok_API::QDD_7686_MODPRS(std::uint16_t port, std::uint8_t* present) {
  return PortRead(*this, kQddPresent, port, present);
}
std::uint8_t Tessok_API::QDD_7686_INT(std::uint16_t port, std::uint8_t* asserted) {
  return PortRead(*this, kQddInterrupt, port, asserted);
}
std::uint8_t Tessok_API::QDD_7686_VCC_Current(std::uint16_t port, double* current) {
  return PortRead(*this, kQddVccRaw, port, current);
}
std::uint8_t Tessok_API::QDD_7686_VCC1_Current(std::uint16_t port, double* current) {
  return PortRead(*this, kQddVcc1Raw, port, current);
}
std::uint8_t Tessok_API::QDD_7686_VCCTX_Current(std::uint16_t port, double* current) {
  return PortRead(*this, kQddVccTxRaw, port, current);
}
std::uint8_t Tessok_API::QDD_7686_VCCRX_Current(std::uint16_t port, double* current) {
  return PortRead(*this, kQddVccRxRaw, port, current);
}
std::uint8_t Tessok_API::QDD_7686_Voltage(std::uint16_t port, double* volts) {
  return PortRead(*this, kQddVoltage, port, volts);
}
std::uint8_t Tessok_API::OSFP_7686_MODLP(std::uint32_t write, std::uint16_t port, std::uint8_t* value) {
  return PortPin(*this, kOsfpModLp, write, port, value);
}
std::uint8_t Tessok_API::OSFP_7686_MODRST(std::uint32_t write, std::uint16_t port, std::uint8_t* value) {
  return PortPin(*this, kOsfpModRst, write, port, value);
}
std::uint8_t Tessok_API::OSFP_7686_MODPRS(std::uint16_t port, std::uint8_t* present) {
  return PortRead(*this, kOsfpPresent, port, present);
}
std::uint8_t Tessok_API::OSFP_7686_INT(std::uint16_t port, std::uint8_t* asserted) {
  return PortRead(*this, kOsfpInterrupt, port, asserted);
}
std::uint8_t Tessok_API::OSFP_7686_VCC_Current(std::uint16_t port, double* current) {
  return PortRead(*this, kOsfpVccRaw, port, current);
}
std::uint8_t Tessok_API::OSFP_7686_Voltage(std::uint16_t port, double* volts) {
  return PortRead(*this, kOsfpVoltage, port, volts);
}
std::uint8_t Tessok_API::OSFP_7686_ReadI2C(std::uint16_t address, double* value) {
  return ReadBus(*this, kOsfpBus, address, value);
}
std::uint8_t Tessok_API::OSFP_7686_WriteI2C(std::uint16_t address, double value) {
  return WriteBus(*this, kOsfpBus, address, value);
}

// The type is read back from register 13 a wait after a write of 0 there.
std::uint8_t Tessok_API::ReadAdapterType_7686(std::uint16_t* type) {
  std::uint8_t ok = regs::Write(*this, 0, reg::kAdapterType, 0, regs::kSingleReadWord);
  platform::SleepMs(reg::kAdapterTypeWaitMs);
  ok &= regs::Read(*this, 0, reg::kAdapterType, type, regs::kSingleReadWord);
  lastStatus = ok;
  return ok;
}
