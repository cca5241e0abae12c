#include "signal/LaneRules.h"

#include "core/Tessok_API.h"

namespace tessok::signal {

bool Applies(const Tessok_API& api, ModelCase c, std::uint16_t bank) {
  if (c.model != api.boardModel) return false;
  switch (c.when) {
    case When::Always: return true;
    case When::Option31Is11: return api.option31 == 11;
    case When::OptionCodeA2: return api.optionCodeA == 2;
    case When::OptionCodeB0: return api.optionCodeB == 0;
    case When::OptionCodeB2Or3: return api.optionCodeB == 2 || api.optionCodeB == 3;
    case When::BankNot3: return bank != 3;
  }
  return false;
}

}  // namespace tessok::signal
