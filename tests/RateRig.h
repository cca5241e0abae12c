// A connected instrument whose clock directory is a scratch directory of the
// running test, for the line-rate operations that load clock files.
#pragma once

#include <string>
#include <vector>

#include "TempDir.h"
#include "TestSupport.h"

namespace tessok::test {

struct RateRig {
  explicit RateRig(std::uint16_t model = 7652, const std::vector<sim::RegisterValue>& regs = {}, unsigned salt = 0)
      : rig(model, regs, 0, salt) {
    rig.Connect();
    rig.api().clockFileDir = scratch.Prefix();
  }
  Tessok_API& api() { return rig.api(); }
  // A clock file in the clock directory, bytes as given.
  void ClockFile(const std::string& name, const std::string& text = "5,6\n") { scratch.Write(name, text); }
  // Forgets the packets, clock-chip writes and waits so far.
  void Restart() {
    rig.sim.ClearLog();
    rig.sim.ClearClockChipWrites();
    rig.sleeps.Waits().clear();
  }
  TempDir scratch;
  Rig rig;
};

}  // namespace tessok::test
