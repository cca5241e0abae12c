#include "signal/ModuleAccess.h"

#include <optional>

#include "core/Models.h"
#include "core/RegisterOps.h"
#include "core/Tessok_API.h"

namespace tessok::module {

namespace {

// Boards whose cage registers sit at bank 0 under their second numbers, the
// port then unused.
constexpr std::uint32_t kCageMapOnBank0[] = {7841};

constexpr int kWindowAddressWord = 0;

struct Place {
  std::uint16_t bank;
  std::uint16_t reg;
};

std::optional<Place> Locate(const Tessok_API& api, BankRule rule, std::uint32_t port, std::uint16_t reg,
                            std::uint16_t regBank0) {
  switch (rule) {
    case BankRule::Port: return Place{static_cast<std::uint16_t>(port), reg};
    case BankRule::Zero: return Place{0, reg};
    case BankRule::Cage: return CageMapOnBank0(api) ? Place{0, regBank0} : Place{static_cast<std::uint16_t>(port), reg};
    case BankRule::CageBank0:
      if (CageMapOnBank0(api)) return Place{0, regBank0};
      return std::nullopt;
  }
  return std::nullopt;
}

double Decode(Sense sense, std::uint16_t word) {
  switch (sense) {
    case Sense::Raw: return word;
    case Sense::NonZero: return word != 0 ? 1 : 0;
    case Sense::Zero:
    case Sense::ActiveLow: return word == 0 ? 1 : 0;
    case Sense::One:
    case Sense::ActiveHigh: return word == 1 ? 1 : 0;
    case Sense::NotOne: return word != 1 ? 1 : 0;
    case Sense::HighByte: return (word >> 8) & 0xFF;
    case Sense::Div256: return word / 256.0;
  }
  return word;
}

std::uint16_t Encode(Sense sense, std::uint16_t value) {
  switch (sense) {
    case Sense::NonZero: return value != 0 ? 1 : 0;
    case Sense::Zero: return value == 0 ? 1 : 0;
    case Sense::One:
    case Sense::ActiveHigh: return value == 1 ? 1 : 0;
    case Sense::NotOne:
    case Sense::ActiveLow: return value != 1 ? 1 : 0;
    case Sense::Raw:
    case Sense::HighByte:
    case Sense::Div256: break;
  }
  return value;
}

// One transfer of a row with its report: nullopt when the row is refused on
// the connected board, else the transfer's result (and *word read or written).
std::optional<std::uint8_t> Transfer(Tessok_API& api, const Accessor& row, std::uint32_t port, bool write,
                                     std::uint16_t* word) {
  if (row.report == Report::S0) api.lastStatus = 0;
  const std::optional<Place> place = Locate(api, row.bank, port, row.reg, row.regBank0);
  if (!place) return std::nullopt;
  std::uint8_t ok;
  if (write) {
    ok = regs::Write(api, place->bank, place->reg, *word, regs::kSingleReadWord);
  } else {
    api.regScratch.word[regs::kSingleReadWord] = 0;
    ok = regs::Read(api, place->bank, place->reg, word, regs::kSingleReadWord);
  }
  if (row.report != Report::L) api.lastStatus = ok;
  return ok;
}

template <typename T>
std::uint8_t ReadInto(Tessok_API& api, const Accessor& row, std::uint32_t port, T* out) {
  std::uint16_t word = 0;
  const std::optional<std::uint8_t> ok = Transfer(api, row, port, false, &word);
  if (!ok) return 0;
  *out = static_cast<T>(Decode(row.sense, word));
  return *ok;
}

// The bank and registers of a window on the connected board.
struct WindowPlace {
  std::uint16_t bank;
  const WindowRegs& regs;
};
WindowPlace LocateWindow(const Tessok_API& api, const Window& w, std::uint32_t port) {
  if (w.bank == BankRule::Cage && CageMapOnBank0(api)) return {0, w.regsBank0};
  if (w.bank == BankRule::Zero) return {0, w.regs};
  return {static_cast<std::uint16_t>(port), w.regs};
}

// Select and address of a window access; the AND of their results.
std::uint8_t Address(Tessok_API& api, std::uint16_t bank, const WindowRegs& r, std::uint16_t select,
                     std::uint16_t address) {
  std::uint8_t ok = 1;
  if (r.select != kNoSelect) ok &= regs::Write(api, bank, r.select, select, kWindowAddressWord);
  ok &= regs::Write(api, bank, r.address, address, kWindowAddressWord);
  return ok;
}

}  // namespace

bool CageMapOnBank0(const Tessok_API& api) { return InModelList(kCageMapOnBank0, api.boardModel); }

std::uint8_t Read(Tessok_API& api, const Accessor& row, std::uint32_t port, double* out) {
  return ReadInto(api, row, port, out);
}
std::uint8_t Read(Tessok_API& api, const Accessor& row, std::uint32_t port, std::uint8_t* out) {
  return ReadInto(api, row, port, out);
}
std::uint8_t Read(Tessok_API& api, const Accessor& row, std::uint32_t port, std::uint16_t* out) {
  return ReadInto(api, row, port, out);
}
std::uint8_t Read(Tessok_API& api, const Accessor& row, std::uint32_t port, std::uint32_t* out) {
  return ReadInto(api, row, port, out);
}

std::uint16_t Value(Tessok_API& api, const Accessor& row, std::uint32_t port) {
  std::uint16_t word = 0;
  if (!Transfer(api, row, port, false, &word)) return 0;
  return static_cast<std::uint16_t>(Decode(row.sense, word));
}

std::uint8_t Write(Tessok_API& api, const Accessor& row, std::uint32_t port, std::uint16_t value) {
  std::uint16_t word = Encode(row.sense, value);
  return Transfer(api, row, port, true, &word).value_or(0);
}

std::uint8_t Pin(Tessok_API& api, const Accessor& row, std::uint32_t write, std::uint32_t port, std::uint8_t* value) {
  if (write == 1) return Write(api, row, port, *value);
  return Read(api, row, port, value);
}

std::uint8_t ReadWindow(Tessok_API& api, const Window& w, std::uint32_t port, std::uint16_t select,
                        std::uint16_t address, std::uint16_t* out) {
  const WindowPlace at = LocateWindow(api, w, port);
  std::uint8_t ok = Address(api, at.bank, at.regs, select, address);
  ok &= regs::Read(api, at.bank, at.regs.data, out, regs::kSingleReadWord);
  api.lastStatus = ok;
  return ok;
}

std::uint8_t WriteWindow(Tessok_API& api, const Window& w, std::uint32_t port, std::uint16_t select,
                         std::uint16_t address, std::uint16_t value) {
  const WindowPlace at = LocateWindow(api, w, port);
  std::uint8_t ok = Address(api, at.bank, at.regs, select, address);
  ok &= regs::Write(api, at.bank, at.regs.data, value, regs::kSingleReadWord);
  api.lastStatus = ok;
  return ok;
}

}  // namespace tessok::module
