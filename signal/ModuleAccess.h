// Accessors of the pluggable-module hardware as table rows.
//
// The cage pins and monitors, the module, port, supply and cage registers and
// the bridge are some hundred thin accessors that differ only in where their
// register sits, how its word becomes the caller's result (or the caller's
// value the word written) and what they leave in Tessok_API::lastStatus. Each
// is a row of a constant table beside its member function
// (signal/ModuleCages.cpp, signal/BoardRegisters.cpp), and each member body is
// one call of a generic function below with its row.
//
// Every access goes through the link (HwLayer::AccessRegister): data through
// the single-read word (regScratch word 1, reads and writes alike, as the
// module and cage operations share it), window addresses and selects through
// word 0. A port is the bank of its registers: no channel map, no range check
// (the link keeps 4 bank bits).
#pragma once

#include <cstdint>

class Tessok_API;

namespace tessok::module {

// Where a row's register sits.
enum class BankRule : std::uint8_t {
  Port,       // at the port's bank
  Zero,       // at bank 0; the port is not used
  Cage,       // at the port's bank; at bank 0 under the second register number on a board whose
              // cage map sits there (CageMapOnBank0)
  CageBank0,  // at bank 0 under the second register number on those boards only; on others
              // the row is refused: nothing is sent and the output is left alone
};

// How the register word becomes a read's result, and a caller's value the word
// a write sends.
enum class Sense : std::uint8_t {
  Raw,         // the word; the value
  NonZero,     // 1 when != 0, else 0
  Zero,        // 1 when == 0, else 0
  One,         // 1 when == 1, else 0
  NotOne,      // 1 when != 1, else 0
  ActiveLow,   // a pin driven low to assert: 1 is written as 0 (else 1), a 0 reads as 1 (else 0)
  ActiveHigh,  // a pin driven high to assert: 1 is written as 1 (else 0), a 1 reads as 1 (else 0)
  HighByte,    // bits 8-15 as a whole number
  Div256,      // 8.8 fixed point: the word / 256
};

// What a row leaves in Tessok_API::lastStatus; the result is the transfer's
// (or, for the rows whose member returns the word, the word through the sense).
enum class Report : std::uint8_t {
  S0,  // cleared first, then the transfer's result (so 0 when the row is refused)
  S,   // the transfer's result (untouched when the row is refused)
  L,   // untouched
};

// One register accessor.
struct Accessor {
  BankRule bank;
  std::uint16_t reg;
  Sense sense;
  Report report;
  std::uint16_t regBank0 = 0;  // the register on a bank-0 cage map (BankRule::Cage, CageBank0)
};

// A register window: an optional select, an address, then the data register.
// Every window reports the AND of all its transfers in lastStatus: a failed
// select or address write sends the data access to the wrong word.
inline constexpr std::uint16_t kNoSelect = 0xFFFF;
struct WindowRegs {
  std::uint16_t select;  // kNoSelect: none
  std::uint16_t address;
  std::uint16_t data;
};
struct Window {
  BankRule bank;  // Port, Zero or Cage
  WindowRegs regs;
  WindowRegs regsBank0 = {kNoSelect, 0, 0};  // on a bank-0 cage map (BankRule::Cage)
};

// True when the connected board keeps its cage map on bank 0.
bool CageMapOnBank0(const Tessok_API& api);

// Reads the row's register into *out through the row's sense; the transfer's
// result. A refused row returns 0 and leaves *out alone.
std::uint8_t Read(Tessok_API& api, const Accessor& row, std::uint32_t port, double* out);
std::uint8_t Read(Tessok_API& api, const Accessor& row, std::uint32_t port, std::uint8_t* out);
std::uint8_t Read(Tessok_API& api, const Accessor& row, std::uint32_t port, std::uint16_t* out);
std::uint8_t Read(Tessok_API& api, const Accessor& row, std::uint32_t port, std::uint32_t* out);
// Reads the row's register and returns the word through the row's sense; the
// transfer's result reaches lastStatus only, as the row's report says.
std::uint16_t Value(Tessok_API& api, const Accessor& row, std::uint32_t port);
// Writes value through the row's sense; the transfer's result.
std::uint8_t Write(Tessok_API& api, const Accessor& row, std::uint32_t port, std::uint16_t value);
// A read/write pin: write equal to 1 writes *value through the row's sense,
// any other write reads the pin into *value.
std::uint8_t Pin(Tessok_API& api, const Accessor& row, std::uint32_t write, std::uint32_t port, std::uint8_t* value);

// Window access: select (when the window has one), address, then the data
// register read into *out or written with value; lastStatus = the AND of the
// transfers, which is also the result.
std::uint8_t ReadWindow(Tessok_API& api, const Window& w, std::uint32_t port, std::uint16_t select,
                        std::uint16_t address, std::uint16_t* out);
std::uint8_t WriteWindow(Tessok_API& api, const Window& w, std::uint32_t port, std::uint16_t select,
                         std::uint16_t address, std::uint16_t value);

}  // namespace tessok::module
