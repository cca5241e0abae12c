// Helpers shared by the lane setters of the signal path: the per-operation
// model lists with the option word or bank condition under which a row
// applies, and the 16-bit form of the values the registers take.
#pragma once

#include <cstddef>
#include <cstdint>

class Tessok_API;

namespace tessok::signal {

// The condition beside a model in a per-operation list.
enum class When : std::uint8_t {
  Always,
  Option31Is11,     // option word 31 read 11 at identification
  OptionCodeA2,     // option code A is 2
  OptionCodeB0,     // option code B is 0
  OptionCodeB2Or3,  // option code B is 2 or 3
  BankNot3,         // the lane's bank is not 3
};

struct ModelCase {
  std::uint32_t model;
  When when = When::Always;
};

// Whether the connected board (and the bank) fits the case.
bool Applies(const Tessok_API& api, ModelCase c, std::uint16_t bank = 0);

// Whether any case of a list fits.
template <std::size_t N>
bool AnyApplies(const Tessok_API& api, const ModelCase (&cases)[N], std::uint16_t bank = 0) {
  for (const ModelCase& c : cases) {
    if (Applies(api, c, bank)) return true;
  }
  return false;
}

// The first row (with its case in `on`) that fits; nullptr when none does.
template <typename Row, std::size_t N>
const Row* FirstApplying(const Tessok_API& api, const Row (&rows)[N], std::uint16_t bank = 0) {
  for (const Row& r : rows) {
    if (Applies(api, r.on, bank)) return &r;
  }
  return nullptr;
}

// The low 16 bits of a signed value, two's complement, as the registers take it.
constexpr std::uint16_t LowWord(std::int32_t v) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFFu);
}

}  // namespace tessok::signal
