// Module, cage, port, supply and bridge registers through the C++ class: one
// table row per accessor (bank, register, word read or written, output,
// result, lastStatus), the cage map on bank 0 of a 7841, the windows, the
// supply checks and failed transfers.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <type_traits>
#include <vector>

#include "TestSupport.h"

using namespace tessok;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::Wr;

namespace {

constexpr std::uint16_t kPort = 3;
constexpr std::uint8_t kUntouched = 0xAA;  // lastStatus before an operation that must leave it alone
constexpr int kUntouchedRow = -1;          // a row whose operation leaves lastStatus alone

// An operation under test: its output (pointer output or returned value) as a
// double, its transfer result (or, for the value-returning reads, 1).
using ReadOp = std::function<unsigned(Tessok_API&, double*)>;

// A read through an output pointer.
template <typename P, typename T>
ReadOp Out(std::uint8_t (Tessok_API::*fn)(P, T*), std::type_identity_t<P> port) {
  return [=](Tessok_API& a, double* out) {
    T v = 0x55;
    const unsigned r = (a.*fn)(port, &v);
    *out = static_cast<double>(v);
    return r;
  };
}
// A read that returns the value.
template <typename R, typename... A>
ReadOp Returned(R (Tessok_API::*fn)(A...), A... args) {
  return [=](Tessok_API& a, double* out) {
    *out = static_cast<double>((a.*fn)(args...));
    return 1u;
  };
}

struct ReadRow {
  const char* name;
  ReadOp op;
  unsigned bank, reg;
  std::vector<std::pair<std::uint16_t, double>> cases;  // register word -> output
  int status;                                           // lastStatus after success: 1 or kUntouchedRow
};

void RunReadRows(Rig& rig, const std::vector<ReadRow>& rows) {
  for (const ReadRow& row : rows) {
    for (auto [word, expected] : row.cases) {
      SCOPED_TRACE(std::string(row.name) + ", register reads " + std::to_string(word));
      rig.sim.SetReadValue(row.bank, row.reg, word);
      rig.sim.ClearLog();
      rig.api().lastStatus = kUntouched;
      double out = -1;
      EXPECT_EQ(row.op(rig.api(), &out), 1u);
      EXPECT_EQ(out, expected);
      EXPECT_EQ(rig.api().lastStatus, row.status == kUntouchedRow ? kUntouched : row.status);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(row.bank, row.reg)}));
    }
  }
}

using WriteOp = std::function<unsigned(Tessok_API&, std::uint16_t)>;

template <typename P, typename V>
WriteOp PortValue(std::uint8_t (Tessok_API::*fn)(P, V), std::type_identity_t<P> port) {
  return [=](Tessok_API& a, std::uint16_t v) { return (a.*fn)(port, static_cast<V>(v)); };
}
template <typename V, typename P>
WriteOp ValuePort(std::uint8_t (Tessok_API::*fn)(V, P), std::type_identity_t<P> port) {
  return [=](Tessok_API& a, std::uint16_t v) { return (a.*fn)(static_cast<V>(v), port); };
}
template <typename V>
WriteOp Value(std::uint8_t (Tessok_API::*fn)(V)) {
  return [=](Tessok_API& a, std::uint16_t v) { return (a.*fn)(static_cast<V>(v)); };
}

struct WriteRow {
  const char* name;
  WriteOp op;
  unsigned bank, reg;
  std::vector<std::pair<std::uint16_t, std::uint16_t>> cases;  // value -> word written
  int status;
};

void RunWriteRows(Rig& rig, const std::vector<WriteRow>& rows) {
  for (const WriteRow& row : rows) {
    for (auto [value, word] : row.cases) {
      SCOPED_TRACE(std::string(row.name) + ", value " + std::to_string(value));
      rig.sim.ClearLog();
      rig.api().lastStatus = kUntouched;
      EXPECT_EQ(row.op(rig.api(), value), 1u);
      EXPECT_EQ(rig.api().lastStatus, row.status == kUntouchedRow ? kUntouched : row.status);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(row.bank, row.reg, word)}));
    }
  }
}

// Flag senses, worked by hand: "non-zero", "not 1", "0".
const std::vector<std::pair<std::uint16_t, double>> kNonZero = {{0, 0}, {1, 1}, {2, 1}, {0x8000, 1}};
const std::vector<std::pair<std::uint16_t, double>> kNotOne = {{0, 1}, {1, 0}, {2, 1}};
const std::vector<std::pair<std::uint16_t, double>> kZero = {{0, 1}, {1, 0}, {0x100, 0}};
// 8.8 fixed point: 845 / 256 = 3.30078125, 0x0180 = 1.5.
const std::vector<std::pair<std::uint16_t, double>> kDiv256 = {{0, 0}, {845, 3.30078125}, {0x0180, 1.5}};
// High byte: 0x034D -> 3, 0xFF01 -> 255.
const std::vector<std::pair<std::uint16_t, double>> kHighByte = {{0x034D, 3}, {0xFF01, 255}, {0x00FF, 0}};
// Words reported as they are.
const std::vector<std::pair<std::uint16_t, double>> kWord = {{0, 0}, {1, 1}, {0xBEEF, 0xBEEF}};
// Setters: the value; 1 for a value of 1 (else 0).
const std::vector<std::pair<std::uint16_t, std::uint16_t>> kRaw = {{0, 0}, {1, 1}, {0xBEEF, 0xBEEF}};
const std::vector<std::pair<std::uint16_t, std::uint16_t>> kLevel = {{1, 1}, {0, 0}, {2, 0}};

}  // namespace

TEST(BoardRegisters, PortModuleAndBridgeReads) {
  using T = Tessok_API;
  const std::vector<ReadRow> rows = {
      {"ReadPortPin39", Out(&T::ReadPortPin39, kPort), kPort, 39, kNonZero, 1},
      {"ReadPortPin40", Out(&T::ReadPortPin40, kPort), kPort, 40, kNotOne, 1},
      {"ReadPortPin41", Out(&T::ReadPortPin41, kPort), kPort, 41, kZero, 1},
      {"ReadPortMonitor42", Out(&T::ReadPortMonitor42, kPort), kPort, 42, kDiv256, 1},
      {"ReadPortMonitor43", Out(&T::ReadPortMonitor43, kPort), kPort, 43, kDiv256, 1},
      {"ReadModuleSupplyVoltage", Out(&T::ReadModuleSupplyVoltage, kPort), kPort, 54, kDiv256, 1},
      {"ReadModuleStatusPin", Out(&T::ReadModuleStatusPin, kPort), kPort, 62, kZero, 1},
      {"ReadModuleMonitor36", Out(&T::ReadModuleMonitor36, kPort), kPort, 36, kDiv256, 1},
      {"ReadModuleMonitor36Alias", Out(&T::ReadModuleMonitor36Alias, kPort), kPort, 36, kDiv256, 1},
      {"ReadModuleMonitor37", Out(&T::ReadModuleMonitor37, kPort), kPort, 37, kDiv256, 1},
      {"ReadModuleMonitor38", Out(&T::ReadModuleMonitor38, kPort), kPort, 38, kDiv256, 1},
      {"ReadModuleMonitor39", Out(&T::ReadModuleMonitor39, kPort), kPort, 39, kDiv256, 1},
      {"ReadModuleMonitor40", Out(&T::ReadModuleMonitor40, kPort), kPort, 40, kDiv256, 1},
      {"ReadModuleMonitor41", Out(&T::ReadModuleMonitor41, kPort), kPort, 41, kDiv256, 1},
      {"ReadModulePin43", Out(&T::ReadModulePin43, kPort), kPort, 43, kNonZero, 1},
      {"ReadModulePin46", Out(&T::ReadModulePin46, kPort), kPort, 46, kNonZero, 1},
      {"ReadModulePin46Alias", Out(&T::ReadModulePin46Alias, kPort), kPort, 46, kNonZero, 1},
      {"ReadBridge63", Returned(&T::ReadBridge63), 0, 63, kWord, 1},
      {"ReadBridge64", Returned(&T::ReadBridge64), 0, 64, kWord, 1},
      {"ReadBridge65", Returned(&T::ReadBridge65), 0, 65, kWord, 1},
  };
  Rig rig(7686);
  rig.Connect();
  RunReadRows(rig, rows);
}

TEST(BoardRegisters, PortModuleAndBridgeWrites) {
  using T = Tessok_API;
  const std::vector<WriteRow> rows = {
      // Active low: 0 when on is 1, else 1.
      {"SetModuleGlobalEnable", Value(&T::SetModuleGlobalEnable), 0, 60, {{1, 0}, {0, 1}, {2, 1}}, 1},
      {"SetModuleEnable63", Value(&T::SetModuleEnable63), 0, 63, {{1, 1}, {0, 0}, {2, 1}}, kUntouchedRow},
      // 1 (off) when on is 0.
      {"SetModulePower", PortValue(&T::SetModulePower, kPort), kPort, 52, {{1, 0}, {0, 1}, {2, 0}}, 1},
      {"SetModulePin44", PortValue(&T::SetModulePin44, kPort), kPort, 44, kLevel, kUntouchedRow},
      {"SetModulePin45", PortValue(&T::SetModulePin45, kPort), kPort, 45, kLevel, kUntouchedRow},
      {"SetModulePin47", PortValue(&T::SetModulePin47, kPort), kPort, 47, kLevel, kUntouchedRow},
      {"SetModuleRegister48", PortValue(&T::SetModuleRegister48, kPort), kPort, 48, kRaw, kUntouchedRow},
      {"SetBridge66", Value(&T::SetBridge66), 0, 66, kRaw, kUntouchedRow},
      {"SetBridge67", Value(&T::SetBridge67), 0, 67, kRaw, kUntouchedRow},
      {"SetBridge68", Value(&T::SetBridge68), 0, 68, kRaw, kUntouchedRow},
      {"WritePortLevelCode", [](Tessok_API& a, std::uint16_t v) { return unsigned{a.WritePortLevelCode(2, &v)}; }, 8,
       0x221, kRaw, kUntouchedRow},
  };
  Rig rig(7686);
  rig.Connect();
  RunWriteRows(rig, rows);
}

TEST(BoardRegisters, PortPinsReadAndWriteTheirLevel) {
  using PinFn = std::uint8_t (Tessok_API::*)(std::uint8_t, std::uint16_t, std::uint8_t*);
  const std::pair<PinFn, unsigned> pins[] = {{&Tessok_API::AccessPortPin35, 35},
                                             {&Tessok_API::AccessPortPin36, 36},
                                             {&Tessok_API::AccessPortPin37, 37},
                                             {&Tessok_API::AccessPortPin38, 38}};
  Rig rig(7686);
  rig.Connect();
  Tessok_API& api = rig.api();
  for (auto [fn, reg] : pins) {
    SCOPED_TRACE(reg);
    for (auto [value, level] : {std::pair<std::uint8_t, std::uint16_t>{1, 1}, {0, 0}, {3, 0}}) {
      rig.sim.ClearLog();
      api.lastStatus = 0;
      std::uint8_t v = value;
      EXPECT_EQ((api.*fn)(1, kPort, &v), 1);
      EXPECT_EQ(v, value);
      EXPECT_EQ(api.lastStatus, 1);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(kPort, reg, level)}));
    }
    for (auto [word, reported] : {std::pair<std::uint16_t, std::uint8_t>{1, 1}, {0, 0}, {2, 0}}) {
      rig.sim.SetReadValue(kPort, reg, word);
      rig.sim.ClearLog();
      std::uint8_t v = 9;
      EXPECT_EQ((api.*fn)(2, kPort, &v), 1);
      EXPECT_EQ(v, reported);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(kPort, reg)}));
    }
  }
}

// The cage map: the port's bank with the first register on a 7686, bank 0
// with the second on a 7841 whatever the port.
TEST(BoardRegisters, CageMapMovesToBankZeroOnThe7841) {
  using T = Tessok_API;
  struct Cage {
    std::uint16_t model;
    unsigned bank;
    bool bank0Map;
  } cages[] = {{7686, kPort, false}, {7841, 0, true}};
  unsigned salt = 0;
  for (const Cage& c : cages) {
    SCOPED_TRACE(c.model);
    auto at = [&](unsigned other, unsigned bank0) { return c.bank0Map ? bank0 : other; };
    const std::vector<ReadRow> reads = {
        {"ReadCageSelect",
         [](Tessok_API& a, double* out) {
           std::uint32_t v = 0x55;
           const unsigned r = a.ReadCageSelect(&v, kPort);
           *out = v;
           return r;
         },
         c.bank, at(33, 31), kWord, 1},
        {"ReadCageMonitor36Whole",
         [](Tessok_API& a, double* out) { return unsigned{a.ReadCageMonitor36Whole(out, kPort)}; }, c.bank, at(36, 42),
         kHighByte, 1},
        {"ReadCagePin43", Returned(&T::ReadCagePin43, kPort), c.bank, at(43, 37), kNotOne, 1},
        {"ReadCagePin44", Returned(&T::ReadCagePin44, kPort), c.bank, at(44, 38), kNonZero, kUntouchedRow},
        {"ReadCagePin45", Returned(&T::ReadCagePin45, kPort), c.bank, at(45, 39), kNonZero, kUntouchedRow},
        {"ReadCagePin46", Returned(&T::ReadCagePin46, kPort), c.bank, at(46, 36), kNotOne, kUntouchedRow},
        {"ReadCagePin47", Returned(&T::ReadCagePin47, kPort), c.bank, at(47, 35), kNonZero, 1},
        {"ReadCagePin48", Returned(&T::ReadCagePin48, kPort), c.bank, at(48, 34), kNonZero, 1},
    };
    const std::vector<WriteRow> writes = {
        {"SetCageSelect", ValuePort(&T::SetCageSelect, kPort), c.bank, at(33, 31), kRaw, kUntouchedRow},
        {"SetCagePin44", ValuePort(&T::SetCagePin44, kPort), c.bank, at(44, 38), kRaw, kUntouchedRow},
        {"SetCagePin45", ValuePort(&T::SetCagePin45, kPort), c.bank, at(45, 39), kRaw, kUntouchedRow},
        {"SetCagePin46", ValuePort(&T::SetCagePin46, kPort), c.bank, at(46, 36), kRaw, kUntouchedRow},
    };
    Rig rig(c.model, 0, ++salt);
    rig.Connect();
    RunReadRows(rig, reads);
    RunWriteRows(rig, writes);
  }
}

TEST(BoardRegisters, CageMonitors40And41ExistOnlyOnTheBankZeroMap) {
  {
    Rig rig(7841);
    rig.Connect();
    RunReadRows(
        rig,
        {{"ReadCageMonitor40", [](Tessok_API& a, double* out) { return unsigned{a.ReadCageMonitor40(~0ull, out)}; }, 0,
          40, kDiv256, 1},
         {"ReadCageMonitor41Whole", [](Tessok_API& a, double* out) { return unsigned{a.ReadCageMonitor41Whole(out)}; },
          0, 41, kHighByte, 1}});
  }
  Rig rig(7686, 0, 1);
  rig.Connect();
  Tessok_API& api = rig.api();
  double out = -1;
  api.lastStatus = 1;
  EXPECT_EQ(api.ReadCageMonitor40(0, &out), 0);
  EXPECT_EQ(out, -1);
  EXPECT_EQ(api.lastStatus, 0);  // cleared before the model check
  api.lastStatus = kUntouched;
  EXPECT_EQ(api.ReadCageMonitor41Whole(&out), 0);
  EXPECT_EQ(out, -1);
  EXPECT_EQ(api.lastStatus, kUntouched);
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
}

TEST(BoardRegisters, CageAndModuleWindowsRoundTrip) {
  struct Map {
    std::uint16_t model;
    unsigned bank, select, address, data;
  } maps[] = {{7686, kPort, 33, 34, 35}, {7841, 0, 31, 32, 33}};
  unsigned salt = 0;
  for (const Map& m : maps) {
    SCOPED_TRACE(m.model);
    Rig rig(m.model, 0, ++salt);
    rig.sim.AddRegisterWindow(m.bank, m.data, m.address, m.select);
    rig.Connect();
    Tessok_API& api = rig.api();
    api.lastStatus = 0;
    EXPECT_EQ(api.WriteCageRegister(kPort, 0x12, 2, 0xABCD), 1);
    EXPECT_EQ(api.lastStatus, 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(m.bank, m.select, 2), Wr(m.bank, m.address, 0x12),
                                                        Wr(m.bank, m.data, 0xABCD)}));
    EXPECT_EQ(rig.sim.WindowWord(m.bank, m.data, 0x12, 2), 0xABCD);
    rig.sim.SetWindowWord(m.bank, m.data, 0x12, 0x1111, 1);
    rig.sim.ClearLog();
    std::uint16_t out = 0;
    EXPECT_EQ(api.ReadCageRegister(kPort, 0x12, 1, &out), 1);
    EXPECT_EQ(out, 0x1111);
    EXPECT_EQ(rig.Accesses(),
              (std::vector<Rig::Access>{Wr(m.bank, m.select, 1), Wr(m.bank, m.address, 0x12), Rd(m.bank, m.data)}));
  }
  // Module registers: 34 = address, 35 = data at the port's bank (the select
  // register 33 is left as it is).
  Rig rig(7686, 0, ++salt);
  rig.sim.AddRegisterWindow(kPort, 35, 34, 33);
  rig.Connect();
  Tessok_API& api = rig.api();
  EXPECT_EQ(api.WriteModuleRegister(kPort, 0x40, 0x5A5A), 1);
  EXPECT_EQ(rig.sim.WindowWord(kPort, 35, 0x40, 0), 0x5A5A);
  std::uint16_t out = 0;
  api.lastStatus = 0;
  EXPECT_EQ(api.ReadModuleRegister(kPort, 0x40, &out), 1);
  EXPECT_EQ(out, 0x5A5A);
  EXPECT_EQ(api.lastStatus, 1);
  EXPECT_EQ(rig.Accesses(),
            (std::vector<Rig::Access>{Wr(kPort, 34, 0x40), Wr(kPort, 35, 0x5A5A), Wr(kPort, 34, 0x40), Rd(kPort, 35)}));
}

TEST(BoardRegisters, BridgeWindowAndRails) {
  Rig rig(7686);
  rig.sim.AddRegisterWindow(0, 61, 60);
  rig.Connect();
  Tessok_API& api = rig.api();
  EXPECT_EQ(api.WriteBridgeRegister(0x0A, 0x0102), 1);
  EXPECT_EQ(rig.sim.WindowWord(0, 61, 0x0A), 0x0102);
  std::uint16_t out = 0;
  EXPECT_EQ(api.ReadBridgeRegister(0x0A, &out), 1);
  EXPECT_EQ(out, 0x0102);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, 60, 0x0A), Wr(0, 61, 0x0102), Wr(0, 60, 0x0A), Rd(0, 61)}));

  // Register 62 is read, and only the transfer's result comes back.
  rig.sim.SetReadValue(0, 62, 0x0700);
  rig.sim.ClearLog();
  api.lastStatus = kUntouched;
  EXPECT_EQ(api.ReadBridge62(5), 1);
  EXPECT_EQ(api.lastStatus, kUntouched);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(0, 62)}));

  // Rails by their exact voltage: 1.8 V on 69, 5.0 V on 70, anything else refused.
  struct Rail {
    double volts;
    int reg;  // -1: refused
  } rails[] = {{1.8, 69}, {5.0, 70},
               {3.3, -1}, {1.8000000000000003, -1},
               {0.0, -1}, {std::numeric_limits<double>::quiet_NaN(), -1}};
  for (Rail r : rails) {
    SCOPED_TRACE(r.volts);
    rig.sim.ClearLog();
    api.lastStatus = kUntouched;
    const std::uint8_t result = api.SetBridgeRailValue(100, &r.volts);
    if (r.reg < 0) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(api.lastStatus, 0);
      EXPECT_EQ(rig.sim.RequestCount(), 0u);
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(api.lastStatus, 1);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, static_cast<unsigned>(r.reg), 100)}));
    }
  }
}

TEST(BoardRegisters, PortLaneLevelsAreCappedAt31OnTheFourLanesOfThePort) {
  Rig rig(7686);
  rig.Connect();
  Tessok_API& api = rig.api();
  for (auto [value, code] : {std::pair<std::uint16_t, std::uint16_t>{40, 31}, {31, 31}, {5, 5}}) {
    rig.sim.ClearLog();
    api.lastStatus = 0;
    EXPECT_EQ(api.SetPortLaneLevels(2, value), 1);
    EXPECT_EQ(api.lastStatus, 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(8, 0x221, code), Wr(9, 0x221, code), Wr(10, 0x221, code),
                                                        Wr(11, 0x221, code)}));
  }
}

TEST(BoardRegisters, SupplyVoltageIsSentOnlyFrom3Point1To3Point6Volts) {
  struct Case {
    double volts;
    int code;  // volts x 100 truncated; -1: refused
  } cases[] = {{3.3, 330},
               {3.1, 310},
               {3.6, 360},
               {3.456, 345},
               {3.0, -1},
               {3.7, -1},
               {3.0999999999999996, -1},
               {std::numeric_limits<double>::quiet_NaN(), -1},
               {std::numeric_limits<double>::infinity(), -1},
               {-3.3, -1}};
  Rig rig(7686);
  rig.Connect();
  Tessok_API& api = rig.api();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volts);
    rig.sim.ClearLog();
    api.lastStatus = kUntouched;
    const std::uint8_t result = api.SetModuleSupplyVoltage(kPort, c.volts);
    if (c.code < 0) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(api.lastStatus, 0);
      EXPECT_EQ(rig.sim.RequestCount(), 0u);
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(api.lastStatus, 1);
      EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(kPort, 53, static_cast<std::uint16_t>(c.code))}));
    }
  }
}

TEST(BoardRegisters, AllModulesPowerPassesTheInvertedFlagToEveryPort) {
  // channelCount / 4 ports: two on the eight-channel 7686, one on a 7652, none
  // on the two-channel 7592.
  struct Case {
    std::uint16_t model;
    unsigned ports;
  } cases[] = {{7686, 2}, {7652, 1}, {7592, 0}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    Rig rig(c.model, 0, ++salt);
    rig.Connect();
    for (auto [on, word] : {std::pair<std::uint8_t, std::uint16_t>{1, 1}, {0, 0}}) {
      rig.sim.ClearLog();
      rig.api().lastStatus = 0;
      EXPECT_EQ(rig.api().SetAllModulesPower(on), 1);
      EXPECT_EQ(rig.api().lastStatus, 1);
      std::vector<Rig::Access> expected;
      for (unsigned p = 0; p < c.ports; ++p) expected.push_back(Wr(p, 52, word));
      EXPECT_EQ(rig.Accesses(), expected);
    }
  }
}

TEST(BoardRegisters, SupplyLimitSplitsTheTruncatedValueAcrossTwoRegisters) {
  // 70000 = 0x00011170: 1 and 0x1170 = 4464. -1 truncates to 0xFFFFFFFF; NaN
  // to INT32_MIN = 0x80000000.
  struct Case {
    double value;
    std::uint16_t high, low;
  } cases[] = {{70000.0, 1, 4464},
               {70000.9, 1, 4464},
               {-1.0, 0xFFFF, 0xFFFF},
               {std::numeric_limits<double>::quiet_NaN(), 0x8000, 0}};
  Rig rig(7686);
  rig.Connect();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    rig.sim.ClearLog();
    rig.api().lastStatus = 0;
    EXPECT_EQ(rig.api().SetModuleSupplyLimit(c.value, 1), 1);
    EXPECT_EQ(rig.api().lastStatus, 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, 58, c.high), Wr(0, 59, c.low), Wr(0, 57, 1)}));
  }
}

TEST(BoardRegisters, SupplyCurrentsReadRegister55ThenMonitors40And41) {
  Rig rig(7686);
  rig.sim.SetReadValue(kPort, 55, 512);
  rig.sim.SetReadValue(kPort, 40, 256);
  rig.sim.SetReadValue(kPort, 41, 128);
  rig.Connect();
  double a = 0, b = 0, c = 0;
  rig.api().lastStatus = 0;
  EXPECT_EQ(rig.api().ReadModuleSupplyCurrents(kPort, &a, &b, &c), 1);
  EXPECT_EQ(a, 2.0);
  EXPECT_EQ(b, 1.0);
  EXPECT_EQ(c, 0.5);
  EXPECT_EQ(rig.api().lastStatus, 1);
  EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Rd(kPort, 55), Rd(kPort, 40), Rd(kPort, 41)}));
}

TEST(BoardRegisters, ScaledPairShiftsTheValueByItsExponentPlusEight) {
  // value << ((exponent + 8) mod 32), kept as 16 bits.
  struct Case {
    std::uint16_t value, exponent;
    double reported;
  } cases[] = {{3, 2, 3072}, {3, 8, 0},           {3, 7, 0x8000},   {3, 24, 3},
               {3, 30, 192}, {0xFFFF, 0, 0xFF00}, {1, 0xFFFF, 0x80}};  // 0xFFFF + 8 = 65543, mod 32 = 7
  Rig rig(7686);
  rig.sim.AddRegisterWindow(kPort, 35, 34, 33);
  rig.Connect();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exponent);
    rig.sim.SetWindowWord(kPort, 35, 22, c.value);
    rig.sim.SetWindowWord(kPort, 35, 23, c.exponent);
    rig.sim.ClearLog();
    double out = -1;
    EXPECT_EQ(rig.api().ReadModuleScaledPair(kPort, &out), 1);
    EXPECT_EQ(out, c.reported);
    EXPECT_EQ(rig.api().lastStatus, 1);
    EXPECT_EQ(rig.Accesses(),
              (std::vector<Rig::Access>{Wr(kPort, 34, 22), Rd(kPort, 35), Wr(kPort, 34, 23), Rd(kPort, 35)}));
  }
}

TEST(BoardRegisters, ModuleBlocksGoThroughTheModuleBusCommands) {
  Rig rig(7686);
  rig.sim.SetModuleMemory(0xA0, 0x10, {1, 2, 3, 4, 5});
  rig.Connect();
  Tessok_API& api = rig.api();
  std::uint8_t out[4] = {};
  EXPECT_TRUE(api.ReadModuleBlock(0xA0, 4, 0x10, out));
  EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  const std::uint8_t in[3] = {9, 8, 7};
  EXPECT_TRUE(api.WriteModuleBlock(0xA0, 3, 0x11, in));
  EXPECT_EQ(rig.sim.ModuleMemory(0xA0, 0x11), (std::vector<std::uint8_t>{9, 8, 7}));
  std::uint8_t big[120] = {};
  rig.sim.ClearLog();
  EXPECT_FALSE(api.WriteModuleBlock(0xA0, 120, 0x11, big));
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
}

TEST(BoardRegisters, TestMaskNeedsEveryMaskBit) {
  struct Case {
    int value;
    std::uint8_t mask;
    bool set;
  } cases[] = {{0x0F, 0x05, true}, {0x0A, 0x05, false},  {0, 0, true},
               {-1, 0xFF, true},   {0x100, 0x01, false}, {0x180, 0x80, true}};
  Tessok_API& api = g_apiInstances[3];
  for (const Case& c : cases) EXPECT_EQ(api.TestMask(c.value, c.mask), c.set) << c.value << " " << int{c.mask};
}

TEST(BoardRegisters, FailedTransfersGiveZeroAndStillFillOutputs) {
  Rig rig(7686);
  rig.sim.SetReadValue(kPort, 36, 0x0200);
  rig.Connect();
  Tessok_API& api = rig.api();
  double out = 0;
  ASSERT_EQ(api.ReadModuleMonitor36(kPort, &out), 1);  // the last reply carries 0x0200
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart());

  out = -1;
  EXPECT_EQ(api.ReadModuleMonitor37(kPort, &out), 0);
  EXPECT_EQ(out, 2.0);
  EXPECT_EQ(api.lastStatus, 0);
  std::uint8_t flag = 9;
  api.lastStatus = 1;
  EXPECT_EQ(api.ReadPortPin41(kPort, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(api.lastStatus, 0);
  api.lastStatus = 1;
  EXPECT_TRUE(api.ReadCagePin47(kPort));  // 0x0200 is non-zero
  EXPECT_EQ(api.lastStatus, 0);
  EXPECT_EQ(api.ReadBridge63(), 0x0200);
  std::uint16_t word = 0;
  api.lastStatus = 1;
  EXPECT_EQ(api.ReadCageRegister(kPort, 1, 2, &word), 0);
  EXPECT_EQ(word, 0x0200);
  EXPECT_EQ(api.lastStatus, 0);
  api.lastStatus = 1;
  EXPECT_EQ(api.SetModulePower(kPort, 1), 0);
  EXPECT_EQ(api.lastStatus, 0);
  EXPECT_EQ(api.SetAllModulesPower(1), 0);
  EXPECT_EQ(api.SetPortLaneLevels(1, 3), 0);
  EXPECT_EQ(api.SetModuleSupplyLimit(5.0, 0), 0);
  double a = -1, b = -1, c = -1;
  EXPECT_EQ(api.ReadModuleSupplyCurrents(kPort, &a, &b, &c), 0);
  EXPECT_EQ(a, 2.0);
  EXPECT_EQ(c, 2.0);
  EXPECT_EQ(api.ReadModuleScaledPair(kPort, &out), 0);
  EXPECT_EQ(out, 0);  // 0x0200 << (0x0200 + 8) mod 32 = << 8: 0x20000, low 16 bits 0
}
