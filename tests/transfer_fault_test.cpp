// Operations whose result is the AND of several transfers. A failed send or
// receive ends the connection (the link closes its socket), so whichever
// transfer fails, the operation reports failure and nothing after that
// transfer reaches the instrument; on a new connection it succeeds again. One
// row per operation; a new chain is one more row.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "TestSupport.h"
#include "core/RegisterOps.h"

using namespace tessok;
using tessok::test::Rig;
using tessok::test::TransferFaults;

namespace {

struct Chain {
  const char* name;
  // Runs the operation on instrument object 0; true when it reports success.
  std::function<bool(Rig&)> run;
  // Requests the operation sends when nothing fails, worked out by hand: a
  // double is 8 bytes of (address write, data write or read) pairs, 16 requests.
  std::size_t requests;
  std::function<void(Rig&)> setup = nullptr;
  // The first `unchecked` requests come before the chain and their own results
  // are not examined: a failure there still fails the operation, because every
  // transfer of the chain after it then fails at once. Both sides of that
  // boundary are among the positions tried.
  std::size_t unchecked = 0;
};

const double kFive[5] = {1.5, -2.25, 3.0, 4e-6, 5e5};

const Chain kChains[] = {
    {"SaveOptimalSettings", [](Rig&) { return APISaveOptimalSettings(0, 1, 2, kFive); }, 5 * 16},
    {"ReadOptimalSettings",
     [](Rig&) {
       double out[5];
       return APIReadOptimalSettings(0, 1, 2, out);
     },
     5 * 16},
    {"WriteStatusToEEProm", [](Rig&) { return APIWriteStatusToEEProm(0, 1, 5, 2.5) != 0; }, 16},
    {"Monitor",
     [](Rig&) {
       double out = 0;
       return APIMonitor(0, 1, 5, &out) != 0;
     },
     16},
    // Lane 2, kind 1 of the generic layout: five doubles.
    {"SaveCalibrationValues", [](Rig&) { return APISaveCalibrationValues(0, 2, 1, kFive); }, 5 * 16},
    {"WriteEEPROMAddress", [](Rig&) { return APIWriteEEPROMAddress(0, 0x9000, 1234) != 0; }, 16},
    {"WriteValueToEEPROM", [](Rig&) { return APIWriteValueToEEPROM(0, 0x9000, 0x1234) != 0; }, 2},
    {"ReadValueFromEEPROM",
     [](Rig&) {
       std::uint16_t out = 0;
       return APIReadValueFromEEPROM(0, 0x9000, &out) != 0;
     },
     2},
    // One result block: a failed send or receive is no histogram.
    {"GetPam4Histogram",
     [](Rig&) {
       double x[160], counts[160];
       return APIGetPam4Histogram(0, 1, x, counts) != 0;
     },
     1},
    // Read-modify-write: a failed read (the word then holds another register's
    // value) sends no write.
    {"UpdateBits", [](Rig& rig) { return regs::UpdateBits(rig.api(), 0, 40, 0x00F0, 0x0050) != 0; }, 2,
     [](Rig& rig) { rig.sim.SetReg(0, 40, 0x1234); }},
    // The header page read (not checked), then 35 doubles read byte by byte at
    // bank 1, every transfer ANDed into lastStatus.
    {"LoadAuxLevelCCalibration",
     [](Rig& rig) {
       double limits[10];
       rig.api().LoadAuxLevelCCalibration(1, limits);
       return rig.api().lastStatus == 1;
     },
     1 + 35 * 16, nullptr, 1},
    // A per-rate stored code on a long-serial board: the five serial-number
    // reads (not checked), then the double at 272 read byte by byte, every
    // transfer ANDed into lastStatus.
    {"ReadRateSetting",
     [](Rig& rig) {
       std::uint32_t value = 0;
       return rig.api().ReadRateSetting(0, 10.3125, &value) == 1 && rig.api().lastStatus == 1;
     },
     5 + 16, nullptr, 5},
    // The same board's write at 280: the serial-number reads, then one double.
    {"WriteRateSetting", [](Rig& rig) { return rig.api().WriteRateSetting(0, 25.78125, 48) == 1; }, 5 + 16, nullptr, 5},
    // Counter commands: clear every channel, then start at bank 0 (four lanes).
    {"RealTimeBEREnable", [](Rig&) { return APIRealTimeBEREnable(0, 1) != 0; }, 2},
    {"RealTimeBEREnableByBank", [](Rig&) { return APIRealTimeBEREnable(0, 1) != 0; }, 2,
     [](Rig& rig) { rig.sim.SetReg(0, 20, 7828); }},
    {"RealTimeBEREnablePerLane", [](Rig&) { return APIRealTimeBEREnable(0, 1) != 0; }, 4,
     [](Rig& rig) { rig.sim.SetReg(0, 20, 7746); }},
    // Mode 1: clear, then start.
    {"SetErrorCounterRun", [](Rig& rig) { return rig.api().SetErrorCounterRun(2, 1) != 0; }, 2},
    {"SetErrorCounterRunCode", [](Rig& rig) { return rig.api().SetErrorCounterRunCode(18, 1) != 0; }, 2},
    // Four groups of two counts (three reads each) and an elapsed time (two reads).
    {"ReadGroupErrorCounts",
     [](Rig& rig) {
       std::uint64_t a[4], b[4];
       std::uint32_t elapsed[4];
       return rig.api().ReadGroupErrorCounts(a, b, elapsed) != 0;
     },
     4 * 8},
    // Module cages and module, cage, port, supply and bridge registers: every
    // window reports the AND of its select, address and data transfers.
    {"QDD_ReadI2C",
     [](Rig&) {
       double out = 0;
       return APIQDD_ReadI2C(0, 0x80, &out) != 0;
     },
     2},
    {"QDD_WriteI2C", [](Rig&) { return APIQDD_WriteI2C(0, 0x80, 3.0) != 0; }, 2},
    {"OSFP_7686_ReadI2C",
     [](Rig&) {
       double out = 0;
       return APIOSFP_7686_ReadI2C(0, 0x80, &out) != 0;
     },
     2},
    {"OSFP_7686_WriteI2C", [](Rig&) { return APIOSFP_7686_WriteI2C(0, 0x80, 3.0) != 0; }, 2},
    {"ReadAdapterType_7686",
     [](Rig&) {
       std::uint16_t type = 0;
       return APIReadAdapterType_7686(0, &type) != 0;
     },
     2},
    {"ReadModuleRegister",
     [](Rig& rig) {
       std::uint16_t out = 0;
       return rig.api().ReadModuleRegister(3, 0x40, &out) != 0;
     },
     2},
    {"WriteModuleRegister", [](Rig& rig) { return rig.api().WriteModuleRegister(3, 0x40, 1) != 0; }, 2},
    // Register 22, then register 23, through the module window.
    {"ReadModuleScaledPair",
     [](Rig& rig) {
       double out = 0;
       return rig.api().ReadModuleScaledPair(3, &out) != 0;
     },
     4},
    {"ReadCageRegister",
     [](Rig& rig) {
       std::uint16_t out = 0;
       return rig.api().ReadCageRegister(3, 0x12, 1, &out) != 0;
     },
     3},
    {"WriteCageRegister", [](Rig& rig) { return rig.api().WriteCageRegister(3, 0x12, 1, 2) != 0; }, 3},
    {"ReadBridgeRegister",
     [](Rig& rig) {
       std::uint16_t out = 0;
       return rig.api().ReadBridgeRegister(0x0A, &out) != 0;
     },
     2},
    {"WriteBridgeRegister", [](Rig& rig) { return rig.api().WriteBridgeRegister(0x0A, 1) != 0; }, 2},
    {"SetPortLaneLevels", [](Rig& rig) { return rig.api().SetPortLaneLevels(1, 7) != 0; }, 4},
    // Two ports on the eight-channel 7686.
    {"SetAllModulesPower", [](Rig& rig) { return rig.api().SetAllModulesPower(1) != 0; }, 2,
     [](Rig& rig) { rig.sim.SetReg(0, 20, 7686); }},
    {"SetModuleSupplyLimit", [](Rig& rig) { return rig.api().SetModuleSupplyLimit(70000.0, 1) != 0; }, 3},
    {"ReadModuleSupplyCurrents",
     [](Rig& rig) {
       double a = 0, b = 0, c = 0;
       return rig.api().ReadModuleSupplyCurrents(3, &a, &b, &c) != 0;
     },
     3},
    // Signal-processor window: a state goes to the selected sub-register, so
    // both writes count; the bit-0 read-modify-write sends nothing more after a
    // failed select or read.
    {"SetDspState6", [](Rig& rig) { return rig.api().SetDspState6(2) != 0; }, 2},
    // The clock-output record (not checked), then the select and the divider,
    // both needed for lastStatus 1.
    {"ClockOut7668B", [](Rig&) { return APIClockOut7668B(0, 3, 5) != 0; }, 16 + 2, nullptr, 16},
    {"SetBank1ControlBit0", [](Rig& rig) { return rig.api().SetBank1ControlBit0() != 0; }, 3},
    {"ClearBank1ControlBit0", [](Rig& rig) { return rig.api().ClearBank1ControlBit0() != 0; }, 3},
};

// Where a fault is tried: the first and the last request, both sides of the
// unchecked boundary, and a spread of positions between (every position of a
// short chain).
std::vector<std::size_t> FaultPositions(const Chain& c) {
  constexpr std::size_t kSpread = 16;
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < kSpread; ++i) at.push_back(i * (c.requests - 1) / (kSpread - 1));
  if (c.unchecked > 0) {
    at.push_back(c.unchecked - 1);
    at.push_back(c.unchecked);
  }
  std::erase_if(at, [&](std::size_t n) { return n >= c.requests; });
  std::sort(at.begin(), at.end());
  at.erase(std::unique(at.begin(), at.end()), at.end());
  return at;
}

class TransferChains : public ::testing::TestWithParam<Chain> {};
void PrintTo(const Chain& c, std::ostream* os) { *os << c.name; }

}  // namespace

TEST_P(TransferChains, AnyFailedTransferFailsTheOperation) {
  const Chain& c = GetParam();
  Rig rig;
  if (c.setup) c.setup(rig);
  rig.Connect();
  HwLayer& hw = rig.api().hwLayer;
  TransferFaults faults;
  ASSERT_TRUE(c.run(rig));
  ASSERT_EQ(rig.sim.RequestCount(), c.requests);
  for (platform::Transfer kind : {platform::Transfer::Send, platform::Transfer::Receive}) {
    for (std::size_t n : FaultPositions(c)) {
      SCOPED_TRACE(std::string(tessok::test::Name(kind)) + " " + std::to_string(n) + " failed");
      rig.sim.ClearLog();
      faults.Fail(kind, n);
      EXPECT_FALSE(c.run(rig));
      // The requests before the failed transfer went out, and the failed one
      // unless its send failed; none after it.
      EXPECT_EQ(rig.sim.RequestCount(), kind == platform::Transfer::Send ? n : n + 1);
      EXPECT_EQ(hw.sock, platform::kNoSocket);
      faults.Clear();
      rig.Reconnect();  // without the connection sequence's reads
      rig.sim.ClearLog();
      EXPECT_TRUE(c.run(rig));
      EXPECT_EQ(rig.sim.RequestCount(), c.requests);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Operations, TransferChains, ::testing::ValuesIn(kChains),
                         [](const auto& p) { return std::string(p.param.name); });
