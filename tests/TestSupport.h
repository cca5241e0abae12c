// Shared helpers of the library tests: a per-test loopback address, a
// simulated instrument with a model personality, and a recorder for waits.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Tessok_API.h"
#include "link/Packet.h"
#include "platform/Sleep.h"
#include "sim/Models.h"
#include "sim/SimInstrument.h"
#include "tessok/tessok.h"

namespace tessok::test {

// A loopback address of the running test's own, 127.(100-227).x.y, derived
// from its full name and the process id: ctest runs each test in its own
// process, so neither the tests of one run nor two runs of the suite at once
// meet on port 6653. The same test and salt give the same address throughout
// the process.
inline std::string TestAddress(unsigned salt = 0) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::uint32_t h = 2166136261u ^ salt;
  auto mix = [&h](unsigned char c) { h = (h ^ c) * 16777619u; };
  for (unsigned char c : name) mix(c);
  const auto pid = static_cast<std::uint32_t>(::getpid());
  for (int shift = 0; shift < 32; shift += 8) mix(static_cast<unsigned char>(pid >> shift));
  return "127." + std::to_string(100 + (h >> 24) % 128) + "." + std::to_string((h >> 8) & 0xFF) + "." +
         std::to_string(1 + (h & 0xFF) % 254);
}

// Records every wait the library makes instead of spending it.
class SleepRecorder {
 public:
  SleepRecorder() {
    previous_ = platform::SetSleepHook(&Record);
    Waits().clear();
  }
  ~SleepRecorder() { platform::SetSleepHook(previous_); }
  static std::vector<std::uint32_t>& Waits() {
    static std::vector<std::uint32_t> waits;
    return waits;
  }

 private:
  static void Record(std::uint32_t ms) { Waits().push_back(ms); }
  platform::SleepHook previous_;
};

// A simulated instrument of a given model on the test's own address, and the
// instrument object that talks to it. `registers` overrides bank-0 registers
// of the model's personality (option words, swing form, ...), e.g.
// Rig rig(7668, {{31, 11}}). A second rig in one test takes another salt.
struct Rig {
  explicit Rig(std::uint16_t model = 7652, std::uint8_t objectIndex = 0, unsigned salt = 0)
      : Rig(model, {}, objectIndex, salt) {}
  Rig(std::uint16_t model, const std::vector<sim::RegisterValue>& registers, std::uint8_t objectIndex = 0,
      unsigned salt = 0)
      : sim(TestAddress(salt)), index(objectIndex) {
    sim::ApplyModel(sim, model, registers);
  }
  ~Rig() {
    if (api().hwLayer.sock != platform::kNoSocket) APIDisconnect(index);
  }
  Tessok_API& api() { return g_apiInstances[index]; }
  // Connects and forgets the packets and waits of the connection sequence.
  void Connect() {
    ASSERT_EQ(APIConnect(index, sim.Address().c_str()), 1);
    sim.ClearLog();
    SleepRecorder::Waits().clear();
  }
  // A new connection of the link, without the connection sequence's reads:
  // for a test that goes on after a failed exchange closed the link.
  void Reconnect() { ASSERT_TRUE(api().hwLayer.Connect(sim.Address().c_str(), link::kInstrumentPort)); }
  // The register accesses received, as (write, bank, reg, data) tuples.
  struct Access {
    bool write;
    unsigned bank;
    unsigned reg;
    std::uint16_t data;
    bool operator==(const Access&) const = default;
  };
  std::vector<Access> Accesses() const {
    std::vector<Access> out;
    for (const sim::Packet& p : sim.Log()) {
      if (p.IsRegister()) out.push_back({p.IsWrite(), p.Bank(), p.Reg(), p.IsWrite() ? p.Data() : std::uint16_t{0}});
    }
    return out;
  }
  // The same without the EEPROM address/data pair (registers 10 and 11 of
  // banks 0 and 1), so the lane registers of a setter that also records a
  // status item can be compared on their own.
  std::vector<Access> LaneAccesses() const {
    std::vector<Access> out = Accesses();
    std::erase_if(out, [](const Access& a) { return a.bank <= 1 && (a.reg == 10 || a.reg == 11); });
    return out;
  }

  sim::SimInstrument sim;
  std::uint8_t index;
  SleepRecorder sleeps;
};

// An instrument object of a test's own, outside the table of 32: zero-filled
// and constructed, with the traits of the given model, destroyed with its
// pointer. It has no link; tests set its tables directly (and call
// RefreshBoardTraits after changing its model or option words).
struct ApiDeleter {
  void operator()(Tessok_API* api) const { DestroyApiInstance(api); }
};
using ApiPtr = std::unique_ptr<Tessok_API, ApiDeleter>;
inline ApiPtr NewApi(std::uint32_t model = 0) {
  ApiPtr api(CreateApiInstance());
  if (api != nullptr) {
    api->boardModel = model;
    api->RefreshBoardTraits();
  }
  return api;
}

inline Rig::Access Rd(unsigned bank, unsigned reg) { return {false, bank, reg, 0}; }
inline Rig::Access Wr(unsigned bank, unsigned reg, std::uint16_t data) { return {true, bank, reg, data}; }

inline void PrintTo(const Rig::Access& a, std::ostream* os) {
  *os << (a.write ? "W" : "R") << "(bank " << a.bank << ", reg " << a.reg;
  if (a.write) *os << ", " << a.data;
  *os << ")";
}

}  // namespace tessok::test
