// Operations whose result is the AND of several transfers: with any one send
// or receive of the chain failed (the connection staying up) the operation
// reports failure, and with none failed it reports success. One row per
// operation; a new chain is one more row.
#include <gtest/gtest.h>

#include <functional>
#include <string>

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
  // The first `checks` requests are checks: when one fails, nothing after it is sent.
  std::size_t checks = 0;
  std::function<void(Rig&)> setup = nullptr;
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
    // Read-modify-write: a failed read (the word then holds another register's
    // value) sends no write.
    {"UpdateBits", [](Rig& rig) { return regs::UpdateBits(rig.api(), 0, 40, 0x00F0, 0x0050) != 0; }, 2, 1,
     [](Rig& rig) { rig.sim.SetReg(0, 40, 0x1234); }},
};

class TransferChains : public ::testing::TestWithParam<Chain> {};
void PrintTo(const Chain& c, std::ostream* os) { *os << c.name; }

}  // namespace

TEST_P(TransferChains, AnyFailedTransferFailsTheOperation) {
  const Chain& c = GetParam();
  Rig rig;
  if (c.setup) c.setup(rig);
  rig.Connect();
  TransferFaults faults;
  ASSERT_TRUE(c.run(rig));
  ASSERT_EQ(rig.sim.RequestCount(), c.requests);
  for (platform::Transfer kind : {platform::Transfer::Send, platform::Transfer::Receive}) {
    for (std::size_t n = 0; n < c.requests; ++n) {
      SCOPED_TRACE(std::string(tessok::test::Name(kind)) + " " + std::to_string(n) + " failed");
      rig.sim.ClearLog();
      faults.Fail(kind, n);
      EXPECT_FALSE(c.run(rig));
      std::size_t sent = n < c.checks ? n + 1 : c.requests;
      if (kind == platform::Transfer::Send) --sent;  // the failed send sent nothing
      EXPECT_EQ(rig.sim.RequestCount(), sent);
      faults.Clear();
    }
  }
  // The link stayed in step throughout.
  rig.sim.ClearLog();
  EXPECT_TRUE(c.run(rig));
  EXPECT_EQ(rig.sim.RequestCount(), c.requests);
}

INSTANTIATE_TEST_SUITE_P(Operations, TransferChains, ::testing::ValuesIn(kChains),
                         [](const auto& p) { return std::string(p.param.name); });
