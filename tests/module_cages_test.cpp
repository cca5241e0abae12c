// QSFP-DD and OSFP module cages on a 7686, through the exported functions (and
// the class for the unexported variants): pin senses, monitor scaling, the two
// module-bus windows of bank 0, the adapter type and failed transfers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "TestSupport.h"

using namespace tessok;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::Wr;

namespace {

constexpr std::uint16_t kCageModel = 7686;
constexpr std::uint16_t kPort = 3;
// lastStatus before an operation that must leave it alone.
constexpr std::uint8_t kUntouched = 0xAA;

using PinFn = std::uint8_t (*)(std::uint8_t, std::uint32_t, std::uint16_t, std::uint8_t*);
using FlagFn = std::uint8_t (*)(std::uint8_t, std::uint16_t, std::uint8_t*);
using MonitorFn = std::uint8_t (*)(std::uint8_t, std::uint16_t, double*);

}  // namespace

TEST(ModuleCages, ReadWritePinsDriveAndReportTheirSense) {
  // Active low: 1 (asserted) is driven as 0 and a 0 reads as 1; active high:
  // 1 is driven as 1 and only a 1 reads as 1.
  struct Pin {
    const char* name;
    PinFn fn;
    unsigned reg;
    bool activeLow;
  } pins[] = {
      {"QDD MODSEL", APIQDD_7686_MODSEL, 44, true},    {"QDD MODRST", APIQDD_7686_MODRST, 45, true},
      {"QDD MODINIT", APIQDD_7686_MODINIT, 48, false}, {"OSFP MODRST", APIOSFP_7686_MODRST, 59, true},
      {"OSFP MODLP", APIOSFP_7686_MODLP, 61, false},
  };
  Rig rig(kCageModel);
  rig.Connect();
  for (const Pin& p : pins) {
    SCOPED_TRACE(p.name);
    const std::uint16_t asserted = p.activeLow ? 0 : 1;
    const std::uint16_t released = p.activeLow ? 1 : 0;
    // Write 1: the level from *value, which is left as it was.
    for (auto [value, level] : {std::pair<std::uint8_t, std::uint16_t>{1, asserted}, {0, released}, {2, released}}) {
      rig.sim.ClearLog();
      rig.api().lastStatus = 0;
      std::uint8_t v = value;
      EXPECT_EQ(p.fn(0, 1, kPort, &v), 1);
      EXPECT_EQ(v, value);
      EXPECT_EQ(rig.api().lastStatus, 1);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(kPort, p.reg, level)}));
    }
    // Any other write value reads the pin.
    for (auto [word, reported] : {std::pair<std::uint16_t, std::uint8_t>{asserted, 1}, {released, 0}, {2, 0}}) {
      rig.sim.SetReadValue(kPort, p.reg, word);
      rig.sim.ClearLog();
      std::uint8_t v = 7;
      EXPECT_EQ(p.fn(0, 0, kPort, &v), 1);
      EXPECT_EQ(v, reported) << "register reads " << word;
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(kPort, p.reg)}));
    }
    std::uint8_t v = 0;
    rig.sim.ClearLog();
    EXPECT_EQ(p.fn(0, 5, kPort, &v), 1);  // neither 0 nor 1: a read too
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(kPort, p.reg)}));
  }
}

TEST(ModuleCages, PresentAndInterruptReportOneWhenTheirPinReadsZero) {
  struct Flag {
    const char* name;
    FlagFn fn;
    unsigned reg;
  } flags[] = {{"QDD MODPRS", APIQDD_7686_MODPRS, 46},
               {"QDD INT", APIQDD_7686_INT, 47},
               {"OSFP MODPRS", APIOSFP_7686_MODPRS, 60},
               {"OSFP INT", APIOSFP_7686_INT, 58}};
  Rig rig(kCageModel);
  rig.Connect();
  for (const Flag& f : flags) {
    SCOPED_TRACE(f.name);
    for (auto [word, reported] : {std::pair<std::uint16_t, std::uint8_t>{0, 1}, {1, 0}, {0x100, 0}}) {
      rig.sim.SetReadValue(kPort, f.reg, word);
      rig.sim.ClearLog();
      rig.api().lastStatus = 0;
      std::uint8_t v = 9;
      EXPECT_EQ(f.fn(0, kPort, &v), 1);
      EXPECT_EQ(v, reported);
      EXPECT_EQ(rig.api().lastStatus, 1);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(kPort, f.reg)}));
    }
  }
}

TEST(ModuleCages, MonitorsReportCurrentsRawAndVoltagesIn256ths) {
  // 845 / 256 = 3.30078125 V; 0xFFFF / 256 = 255.99609375.
  struct Monitor {
    const char* name;
    MonitorFn fn;
    unsigned reg;
    std::uint16_t word;
    double reported;
  } monitors[] = {
      {"QDD VCC1", APIQDD_7686_VCC1_Current, 49, 1200, 1200.0},
      {"QDD VCC", APIQDD_7686_VCC_Current, 50, 1200, 1200.0},
      {"QDD VCCTX", APIQDD_7686_VCCTX_Current, 51, 0xFFFF, 65535.0},
      {"QDD VCCRX", APIQDD_7686_VCCRX_Current, 52, 7, 7.0},
      {"QDD voltage", APIQDD_7686_Voltage, 53, 845, 3.30078125},
      {"QDD voltage, top", APIQDD_7686_Voltage, 53, 0xFFFF, 255.99609375},
      {"OSFP VCC", APIOSFP_7686_VCC_Current, 62, 300, 300.0},
      {"OSFP voltage", APIOSFP_7686_Voltage, 63, 845, 3.30078125},
  };
  Rig rig(kCageModel);
  rig.Connect();
  for (const Monitor& m : monitors) {
    SCOPED_TRACE(m.name);
    rig.sim.SetReadValue(kPort, m.reg, m.word);
    rig.sim.ClearLog();
    rig.api().lastStatus = 0;
    double v = -1;
    EXPECT_EQ(m.fn(0, kPort, &v), 1);
    EXPECT_EQ(v, m.reported);
    EXPECT_EQ(rig.api().lastStatus, 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(kPort, m.reg)}));
  }
}

TEST(ModuleCages, ModuleBusWindowsRoundTripThroughBankZero) {
  struct Bus {
    const char* name;
    std::uint8_t (*write)(std::uint8_t, std::uint16_t, double);
    std::uint8_t (*read)(std::uint8_t, std::uint16_t, double*);
    unsigned address, data;
  } buses[] = {{"QSFP-DD", APIQDD_WriteI2C, APIQDD_ReadI2C, 33, 34},
               {"OSFP", APIOSFP_7686_WriteI2C, APIOSFP_7686_ReadI2C, 56, 57}};
  // Values are truncated toward zero and sent as their low 16 bits: NaN
  // truncates to INT32_MIN, whose low 16 bits are 0.
  struct Value {
    double value;
    std::uint16_t word;
  } values[] = {{3.9, 3},        {0x1234, 0x1234},  {-1.5, 0xFFFF},
                {70000.7, 4464}, {65535.0, 0xFFFF}, {std::numeric_limits<double>::quiet_NaN(), 0}};
  Rig rig(kCageModel);
  for (const Bus& b : buses) rig.sim.AddRegisterWindow(0, b.data, b.address);
  rig.Connect();
  for (const Bus& b : buses) {
    SCOPED_TRACE(b.name);
    std::uint16_t address = 0x80;
    for (const Value& v : values) {
      rig.sim.ClearLog();
      rig.api().lastStatus = 0;
      EXPECT_EQ(b.write(0, address, v.value), 1);
      EXPECT_EQ(rig.api().lastStatus, 1);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, b.address, address), Wr(0, b.data, v.word)}));
      EXPECT_EQ(rig.sim.WindowWord(0, b.data, address), v.word) << v.value;
      rig.sim.ClearLog();
      double back = -1;
      EXPECT_EQ(b.read(0, address, &back), 1);
      EXPECT_EQ(back, v.word);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, b.address, address), Rd(0, b.data)}));
      ++address;
    }
    rig.sim.SetWindowWord(0, b.data, 0x10, 0xBEEF);
    double seeded = 0;
    EXPECT_EQ(b.read(0, 0x10, &seeded), 1);
    EXPECT_EQ(seeded, 0xBEEF);
  }
  // The two windows are apart: each kept its own word at 0x80.
  EXPECT_EQ(rig.sim.WindowWord(0, 34, 0x80), 3);
  EXPECT_EQ(rig.sim.WindowWord(0, 57, 0x80), 3);
  EXPECT_EQ(rig.sim.WindowWord(0, 34, 0x10), 0xBEEF);
}

TEST(ModuleCages, AdapterTypeIsReadTenMillisecondsAfterAWriteOfZero) {
  Rig rig(kCageModel);
  rig.sim.SetReadValue(0, 13, 0x0005);
  rig.Connect();
  rig.api().lastStatus = 0;  // an earlier failure elsewhere does not carry over
  std::uint16_t type = 0;
  EXPECT_EQ(APIReadAdapterType_7686(0, &type), 1);
  EXPECT_EQ(type, 5);
  EXPECT_EQ(rig.api().lastStatus, 1);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, 13, 0), Rd(0, 13)}));
  EXPECT_EQ(tessok::test::SleepRecorder::Waits(), (std::vector<std::uint32_t>{10}));
}

TEST(ModuleCages, FailedTransfersGiveZeroAndStillFillOutputsFromTheLastReply) {
  Rig rig(kCageModel);
  rig.Connect();
  // The last reply received carries 0x0300: 3.0 V, a pin reading "not 0".
  rig.sim.SetReadValue(kPort, 53, 0x0300);
  double volts = 0;
  ASSERT_EQ(APIQDD_7686_Voltage(0, kPort, &volts), 1);
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart());

  volts = -1;
  EXPECT_EQ(APIOSFP_7686_Voltage(0, kPort, &volts), 0);
  EXPECT_EQ(volts, 3.0);
  EXPECT_EQ(rig.api().lastStatus, 0);
  std::uint8_t flag = 9;
  rig.api().lastStatus = 1;
  EXPECT_EQ(APIQDD_7686_MODPRS(0, kPort, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(rig.api().lastStatus, 0);
  flag = 9;
  EXPECT_EQ(APIOSFP_7686_MODLP(0, 0, kPort, &flag), 0);
  EXPECT_EQ(flag, 0);  // 0x0300 is not 1
  flag = 1;
  rig.api().lastStatus = 1;
  EXPECT_EQ(APIQDD_7686_MODSEL(0, 1, kPort, &flag), 0);
  EXPECT_EQ(rig.api().lastStatus, 0);
  double word = -1;
  EXPECT_EQ(APIQDD_ReadI2C(0, 0x80, &word), 0);
  EXPECT_EQ(word, 0x0300);
  EXPECT_EQ(APIQDD_WriteI2C(0, 0x80, 1.0), 0);
  std::uint16_t type = 0;
  rig.api().lastStatus = 1;
  EXPECT_EQ(APIReadAdapterType_7686(0, &type), 0);
  EXPECT_EQ(type, 0x0300);
  EXPECT_EQ(rig.api().lastStatus, 0);
}

TEST(ModuleCages, NullOutputsAreRefusedBeforeAnythingIsSent) {
  Rig rig(kCageModel);
  rig.Connect();
  EXPECT_EQ(APIQDD_7686_MODSEL(0, 1, kPort, nullptr), 0);
  EXPECT_EQ(APIOSFP_7686_Voltage(0, kPort, nullptr), 0);
  EXPECT_EQ(APIQDD_ReadI2C(0, 0x80, nullptr), 0);
  EXPECT_EQ(APIReadAdapterType_7686(0, nullptr), 0);
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
}

TEST(ModuleCages, UnexportedSettersWriteTheLevelWithoutInversion) {
  struct Setter {
    const char* name;
    std::uint8_t (Tessok_API::*fn)(std::uint16_t, std::uint8_t);
    unsigned reg;
  } setters[] = {{"MODSEL", &Tessok_API::QDD_SetMODSEL, 44},
                 {"MODRST", &Tessok_API::QDD_SetMODRST, 45},
                 {"MODINIT", &Tessok_API::QDD_SetMODINIT, 48}};
  Rig rig(kCageModel);
  rig.Connect();
  for (const Setter& s : setters) {
    SCOPED_TRACE(s.name);
    for (auto [value, level] : {std::pair<std::uint8_t, std::uint16_t>{1, 1}, {0, 0}, {2, 0}}) {
      rig.sim.ClearLog();
      rig.api().lastStatus = kUntouched;
      EXPECT_EQ((rig.api().*s.fn)(kPort, value), 1);
      EXPECT_EQ(rig.api().lastStatus, kUntouched);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(kPort, s.reg, level)}));
    }
  }
}

TEST(ModuleCages, UnexportedReadsScaleAndReportTheLevel) {
  Rig rig(kCageModel);
  rig.Connect();
  Tessok_API& api = rig.api();
  // Currents in 256ths: 1200 / 256 = 4.6875.
  struct Scaled {
    std::uint8_t (Tessok_API::*fn)(std::uint32_t, double*);
    unsigned reg;
  } scaled[] = {{&Tessok_API::QDD_ReadVCC1CurrentScaled, 49},
                {&Tessok_API::QDD_ReadVCCCurrentScaled, 50},
                {&Tessok_API::QDD_ReadVCCTXCurrentScaled, 51},
                {&Tessok_API::QDD_ReadVCCRXCurrentScaled, 52}};
  for (const Scaled& s : scaled) {
    rig.sim.SetReadValue(kPort, s.reg, 1200);
    rig.sim.ClearLog();
    api.lastStatus = 0;
    double v = 0;
    EXPECT_EQ((api.*s.fn)(kPort, &v), 1);
    EXPECT_EQ(v, 4.6875);
    EXPECT_EQ(api.lastStatus, 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(kPort, s.reg)}));
  }
  // The interrupt level: 1 when register 47 is non-zero (not "asserted").
  for (auto [word, level] : {std::pair<std::uint16_t, std::uint8_t>{0, 0}, {1, 1}, {0x8000, 1}}) {
    rig.sim.SetReadValue(kPort, 47, word);
    std::uint8_t v = 9;
    EXPECT_EQ(api.QDD_ReadINTLevel(kPort, &v), 1);
    EXPECT_EQ(v, level);
  }
  // Whole volts from bank 0: 845 = 0x034D, high byte 3.
  rig.sim.SetReadValue(0, 53, 845);
  rig.sim.SetReadValue(kPort, 53, 0x0900);
  rig.sim.ClearLog();
  double whole = 0;
  EXPECT_EQ(api.QDD_ReadVoltageWhole(&whole), 1);
  EXPECT_EQ(whole, 3.0);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(0, 53)}));
}
