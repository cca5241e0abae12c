// The auxiliary output block: frequency words, the band each recorded
// frequency selects, the three amplitude paths, level C, the single-register
// controls, the board part, where each operation records and in which order,
// the 7775's move of lane 3, and every refusal sending nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "EepromTrace.h"
#include "FaultSupport.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::EepromTrace;
using tessok::test::Rig;
using tessok::test::TransferFaults;
using tessok::test::Wr;
using Trace = std::vector<std::string>;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Boards: a plain one, and the 7733 with option words 33 = 12 and 30 = 1.
struct Board {
  const char* name;
  std::uint16_t model;
  std::vector<sim::RegisterValue> registers;
};
const Board kPlain{"7652", 7652, {}};
const Board kVariant12{"7733 option 12", 7733, {{33, 12}, {30, 1}}};

// Status addresses of lane 0 (0x2000 + 8 x item) and lane 3 (0x2000 + 8 x (288 + item)).
constexpr std::uint32_t kItem21 = 0x20A8, kItem22 = 0x20B0, kItem23 = 0x20B8, kItem24 = 0x20C0, kItem25 = 0x20C8;
constexpr std::uint32_t kItem38 = 0x2130, kItem39 = 0x2138, kItem42 = 0x2150, kItem43 = 0x2158;

// Puts a lane table in the store as a load would (flag and header), with row
// k converting every request to base + k.
void PutTable(Tessok_API& api, int table, int lane, double header, double base) {
  CalibrationStore& c = api.calibration;
  CalibrationRow* rows = table == 0 ? c.auxAmplitudeA[lane] : table == 1 ? c.auxAmplitudeB[lane] : c.auxLevelC[lane];
  double* mode = table == 0 ? c.auxAmplitudeAMode : table == 1 ? c.auxAmplitudeBMode : c.auxLevelCMode;
  for (int k = 0; k < 10; ++k) rows[k] = CalibrationRow{{0, 0, 0, 0, base + k, 0, 4095}};
  mode[lane] = header;
  api.tableLoaded[table][lane] = 1;
}

void PutGlobalTable(Tessok_API& api, int mode, double base) {
  for (int k = 0; k < 7; ++k) api.calibration.auxGlobalLevel[k] = CalibrationRow{{0, 0, 0, 0, base + k, 0, 4095}};
  api.auxGlobalLevelLoaded = 1;
  api.auxGlobalLevelMode = mode;
}

std::uint16_t LastWrite(const Rig& rig, unsigned bank, unsigned reg) {
  const std::vector<std::uint16_t> writes = rig.sim.WritesTo(bank, reg);
  return writes.empty() ? 0xDEAD : writes.back();
}

}  // namespace

TEST(AuxFrequency, RangeByBoardAndTheHertzWords) {
  struct Case {
    const Board* board;
    double mhz;
    bool accepted;
    std::uint16_t high, low;  // of the hertz, worked by hand
  } cases[] = {
      {&kPlain, 37.5, true, 572, 13408},  // 37,500,000 Hz
      {&kPlain, 100.0, true, 1525, 57600},
      {&kPlain, 0.0, true, 0, 0},
      {&kPlain, 100.0000001, false, 0, 0},
      {&kPlain, 150.0, false, 0, 0},
      {&kVariant12, 150.0, true, 2288, 53632},
      {&kVariant12, 500.0, true, 7629, 25856},
      {&kVariant12, 500.001, false, 0, 0},
      {&kPlain, -0.001, false, 0, 0},
      {&kPlain, kNaN, false, 0, 0},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.board->name) + " " + std::to_string(c.mhz));
    Rig rig(c.board->model, c.board->registers, 0, ++salt);
    rig.Connect();
    rig.api().lastResult = 0;
    EXPECT_EQ(rig.api().SetAuxFrequency(0, c.mhz), c.accepted ? 1 : 0);
    if (!c.accepted) {
      EXPECT_EQ(rig.sim.Log().size(), 0u);
      continue;
    }
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x20B0", "W 0:1026", "W 0:1027"}));
    EXPECT_EQ(rig.sim.EepromDouble(kItem22), c.mhz);
    EXPECT_EQ(rig.sim.WritesTo(0, 0x402), std::vector<std::uint16_t>{c.high});
    EXPECT_EQ(rig.sim.WritesTo(0, 0x403), std::vector<std::uint16_t>{c.low});
    EXPECT_EQ(rig.api().lastResult, 1u);  // the first write's result, ORed in
  }
}

TEST(AuxAmplitudeA, BandOfTheRecordedFrequencyPicksTheRow) {
  struct Case {
    double mhz;
    int band;
  };
  const std::vector<Case> usual = {
      {0, 0},  {5, 0},  {5.001, 1},  {10, 1}, {12, 2},     {15.001, 3}, {20, 3},    {25, 4}, {30, 5},
      {35, 6}, {40, 7}, {40.001, 8}, {60, 8}, {60.001, 9}, {100, 9},    {100.5, 0}, {-1, 0}, {kNaN, 0},
  };
  const std::vector<Case> variant12 = {
      {0.1, 0},  {0.1001, 1}, {0.3, 1},   {0.31, 2},  {0.7, 2},    {0.71, 3},  {1.3, 3},  {1.31, 4},
      {2.7, 4},  {2.71, 5},   {7.3, 5},   {7.31, 6},  {12.7, 6},   {12.71, 7}, {27.3, 7}, {27.31, 8},
      {92.7, 8}, {92.71, 9},  {100.5, 9}, {107.3, 9}, {107.31, 0}, {-1, 0},    {kNaN, 0},
  };
  unsigned salt = 0;
  for (const auto& [board, cases] : {std::pair{&kPlain, usual}, std::pair{&kVariant12, variant12}}) {
    Rig rig(board->model, board->registers, 0, ++salt);
    rig.Connect();
    PutTable(rig.api(), 0, 0, 2.0, 100.0);
    for (const Case& c : cases) {
      rig.sim.SeedDouble(kItem22, c.mhz);
      EXPECT_EQ(rig.api().SetAuxAmplitudeA(0, 1.0), 1);
      EXPECT_EQ(LastWrite(rig, 0, 0x404), 100 + c.band) << board->name << " " << c.mhz << " MHz";
    }
  }
}

TEST(AuxAmplitudeA, InUseTableRecordsTheCodeThenSendsItLimited) {
  struct Case {
    CalibrationRow row;  // band 2 (12 MHz)
    double value;
    double recorded;
    std::uint16_t sent;
  } cases[] = {
      {{{0, 0, 0, 2.0, 10.0, 0, 0}}, 100.5, 211, 211},  // 2 x 100.5 + 10, truncated
      {{{0, 0, 0, 0, 5000.0, 0, 0}}, 1.0, 5000, 4095},
      {{{0, 0, 0, 0, -7.0, 0, 0}}, 1.0, -7, 0},
      {{{0, 0, 0, 0, kNaN, 0, 0}}, 1.0, -2147483648.0, 0},  // an erased row
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recorded);
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    PutTable(rig.api(), 0, 0, 2.0, 0.0);
    rig.api().calibration.auxAmplitudeA[0][2] = c.row;
    rig.sim.SeedDouble(kItem22, 12.0);
    EXPECT_EQ(rig.api().SetAuxAmplitudeA(0, c.value), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"read 0x20B0", "write 0x20B8", "W 0:1028"}));
    EXPECT_EQ(rig.sim.EepromDouble(kItem23), c.recorded);
    EXPECT_EQ(rig.sim.WritesTo(0, 0x404), std::vector<std::uint16_t>{c.sent});
    EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>(16, 10));  // 8 bytes read, 8 written
  }
}

TEST(AuxAmplitudeA, LoadedTableNotInUseSetsTheZeroFlag) {
  struct Case {
    double header;
    double value;
    std::uint16_t flag, code;
  } cases[] = {{1.0, 0.0, 1, 0}, {2.5, 37.9, 0, 37}, {-1.0, 4095.0, 0, 4095}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    PutTable(rig.api(), 0, 0, c.header, 100.0);
    EXPECT_EQ(rig.api().SetAuxAmplitudeA(0, c.value), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x20B8", "W 0:1025", "W 0:1028"}));
    EXPECT_EQ(rig.sim.EepromDouble(kItem23), c.value);
    EXPECT_EQ(LastWrite(rig, 0, 0x401), c.flag);
    EXPECT_EQ(LastWrite(rig, 0, 0x404), c.code);
  }
}

TEST(AuxAmplitudeA, WithoutTableTheSignatureSelectsTheFixedConversion) {
  Rig rig(kVariant12.model, kVariant12.registers);
  rig.Connect();
  rig.sim.SetReadValue(0, 29, 0xFACE);
  // Six exact requests, else request x 0.836428571428555 - 588.238095238055
  // truncated (2500 -> 1502.83, 1000 -> 248.19) and limited to 0 (700 -> -2.74,
  // 0 -> -588.24).
  const std::pair<double, std::uint16_t> cases[] = {
      {3000, 1955}, {2800, 1704}, {2600, 1633}, {2400, 1376}, {2200, 1228}, {2000, 1121},
      {2500, 1502}, {1000, 248},  {700, 0},     {0, 0},       {4095, 2836},
  };
  for (const auto& [request, code] : cases) {
    rig.sim.ClearLog();
    EXPECT_EQ(rig.api().SetAuxAmplitudeA(0, request), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x20B8", "R 0:29", "W 0:1028"})) << request;
    EXPECT_EQ(rig.sim.EepromDouble(kItem23), request);
    EXPECT_EQ(LastWrite(rig, 0, 0x404), code) << request;
  }
}

TEST(AuxAmplitudeA, WithoutTableOtherBoardsAndSignaturesSendTheRequest) {
  struct Case {
    Board board;
    std::uint16_t signature;
  } cases[] = {
      {kVariant12, 0xFACF},
      {kPlain, 0xFACE},
      {{"7733 option 11", 7733, {{33, 11}, {30, 1}}}, 0xFACE},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.board.name);
    Rig rig(c.board.model, c.board.registers, 0, ++salt);
    rig.Connect();
    rig.sim.SetReadValue(0, 29, c.signature);
    EXPECT_EQ(rig.api().SetAuxAmplitudeA(0, 2800.7), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x20B8", "R 0:29", "W 0:1028"}));
    EXPECT_EQ(LastWrite(rig, 0, 0x404), 2800);
  }
}

TEST(AuxAmplitudeB, Variant12AlwaysTakesBandZero) {
  unsigned salt = 0;
  for (const auto& [board, band] : {std::pair{&kPlain, 8}, std::pair{&kVariant12, 0}}) {
    Rig rig(board->model, board->registers, 0, ++salt);
    rig.Connect();
    PutTable(rig.api(), 1, 0, 2.0, 100.0);
    rig.sim.SeedDouble(kItem22, 50.0);
    EXPECT_EQ(rig.api().SetAuxAmplitudeB(0, 1.0), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"read 0x20B0", "write 0x20C0", "W 0:1031"})) << board->name;
    EXPECT_EQ(LastWrite(rig, 0, 0x407), 100 + band) << board->name;
    EXPECT_EQ(rig.sim.EepromDouble(kItem24), 100.0 + band);
  }
}

TEST(AuxAmplitudeB, UncalibratedPathsWriteNoFlagReadNoSignatureConvertNothing) {
  Rig rig(kVariant12.model, kVariant12.registers);
  rig.Connect();
  rig.sim.SetReadValue(0, 29, 0xFACE);
  EXPECT_EQ(rig.api().SetAuxAmplitudeB(0, 2800.0), 1);  // no table
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x20C0", "W 0:1031"}));
  EXPECT_EQ(LastWrite(rig, 0, 0x407), 2800);

  PutTable(rig.api(), 1, 0, 1.0, 100.0);  // loaded, not in use
  rig.sim.ClearLog();
  EXPECT_EQ(rig.api().SetAuxAmplitudeB(0, 0.0), 1);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x20C0", "W 0:1031"}));
  EXPECT_EQ(LastWrite(rig, 0, 0x407), 0);
  EXPECT_EQ(rig.sim.WritesTo(0, 0x401).size(), 0u);
}

TEST(AuxEnable, AmplitudeASendsTheRecordedCodeBack) {
  Rig rig;
  rig.Connect();
  PutTable(rig.api(), 0, 0, 2.0, 1234.0);
  rig.sim.SeedDouble(kItem22, 1.0);  // band 0
  rig.api().SetAuxAmplitudeA(0, 1.0);
  rig.sim.ClearLog();
  EXPECT_EQ(rig.api().EnableAuxAmplitudeA(0, 1), 1);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"read 0x20B8", "W 0:1028"}));
  EXPECT_EQ(LastWrite(rig, 0, 0x404), 1234);
}

TEST(AuxEnable, AmplitudeALimitsTheRecordedCode) {
  struct Case {
    double stored;
    std::uint32_t on;
    std::uint16_t sent;
  } cases[] = {
      {5000, 1, 4095}, {-3, 1, 0}, {kNaN, 1, 0} /* erased */, {12.7, 1, 12}, {99, 0, 0}, {99, 2, 0},
  };
  Rig rig;
  rig.Connect();
  for (const Case& c : cases) {
    rig.sim.SeedDouble(kItem23, c.stored);
    rig.sim.ClearLog();
    EXPECT_EQ(rig.api().EnableAuxAmplitudeA(0, c.on), 1);
    const Trace expected = c.on == 1 ? Trace{"read 0x20B8", "W 0:1028"} : Trace{"W 0:1028"};
    EXPECT_EQ(EepromTrace(rig.sim.Log()), expected) << c.stored << " on " << c.on;
    EXPECT_EQ(LastWrite(rig, 0, 0x404), c.sent) << c.stored << " on " << c.on;
  }
}

TEST(AuxEnable, AmplitudeBRecordsZeroThenWritesTheEnable) {
  Rig rig;
  rig.Connect();
  for (const auto& [on, sent] : {std::pair{1, 1}, std::pair{2, 0}, std::pair{0, 0}}) {
    rig.sim.SeedDouble(kItem24, 77.0);
    rig.sim.ClearLog();
    EXPECT_EQ(rig.api().EnableAuxAmplitudeB(0, on), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x20C0", "W 0:1030"}));
    EXPECT_EQ(rig.sim.EepromDouble(kItem24), 0.0);
    EXPECT_EQ(LastWrite(rig, 0, 0x406), sent) << on;
  }
}

TEST(AuxLevelC, InUseTableConvertsWithTheCallersBand) {
  struct Case {
    double header;  // truncated to 2: in use
    std::uint32_t band;
    double c0;
    double recorded;
    std::uint16_t sent;
  } cases[] = {
      {2.9, 3, 103, 103, 103},
      {2.0, 4, 104, 104, 104},
      {2.5, 0, 5000, 5000, 4095},
      {2.0, 1, -5, -5, 0},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recorded);
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    PutTable(rig.api(), 2, 0, c.header, 0.0);
    rig.api().calibration.auxLevelC[0][c.band].c[4] = c.c0;
    EXPECT_EQ(rig.api().SetAuxLevelC(0, 5, c.band), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x2150", "W 0:1051"}));
    EXPECT_EQ(rig.sim.EepromDouble(kItem42), c.recorded);
    EXPECT_EQ(LastWrite(rig, 0, 0x41B), c.sent);
  }
}

TEST(AuxLevelC, OtherwiseSendsTheLow16BitsOfTheValue) {
  struct Case {
    double header;
    bool loaded;
    int value;
    std::uint16_t sent;
  } cases[] = {{3.0, true, 70000, 4464}, {1.9, true, -1, 0xFFFF}, {2.0, false, 77, 77}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    PutTable(rig.api(), 2, 0, c.header, 100.0);
    rig.api().tableLoaded[2][0] = c.loaded ? 1 : 0;
    EXPECT_EQ(rig.api().SetAuxLevelC(0, c.value, 9), 1);  // the band is not used
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x2150", "W 0:1051"}));
    EXPECT_EQ(rig.sim.EepromDouble(kItem42), c.value);
    EXPECT_EQ(LastWrite(rig, 0, 0x41B), c.sent);
  }
}

TEST(AuxControls, SingleRegisterSettersRecordAndSend) {
  struct Case {
    const char* name;
    std::function<std::uint8_t(Tessok_API&)> call;
    Trace trace;
    std::uint32_t recordAt;
    double recorded;
    unsigned reg;
    std::uint16_t sent;
  } cases[] = {
      {"setting 12.9",
       [](Tessok_API& a) { return a.SetAuxSetting(0, 12.9); },
       {"write 0x20A8", "W 0:1029"},
       kItem21,
       12.9,
       0x405,
       12},
      {"setting -1.5",
       [](Tessok_API& a) { return a.SetAuxSetting(0, -1.5); },
       {"write 0x20A8", "W 0:1029"},
       kItem21,
       -1.5,
       0x405,
       0xFFFF},
      {"40C 0 sent as 1",
       [](Tessok_API& a) { return a.SetAuxControl40C(0, 0.0); },
       {"write 0x20C8", "W 0:1036"},
       kItem25,
       0.0,
       0x40C,
       1},
      {"40C 0.5",
       [](Tessok_API& a) { return a.SetAuxControl40C(0, 0.5); },
       {"write 0x20C8", "W 0:1036"},
       kItem25,
       0.5,
       0x40C,
       1},
      {"40C 4095",
       [](Tessok_API& a) { return a.SetAuxControl40C(0, 4095.0); },
       {"write 0x20C8", "W 0:1036"},
       kItem25,
       4095.0,
       0x40C,
       4095},
      {"41A records after",
       [](Tessok_API& a) { return a.SetAuxControl41A(0, 0xBEEF); },
       {"W 0:1050", "write 0x2158"},
       kItem43,
       48879.0,
       0x41A,
       0xBEEF},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    EXPECT_EQ(c.call(rig.api()), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), c.trace);
    EXPECT_EQ(rig.sim.EepromDouble(c.recordAt), c.recorded);
    EXPECT_EQ(rig.sim.WritesTo(0, c.reg), std::vector<std::uint16_t>{c.sent});
  }
}

TEST(AuxControls, FlagsAreOneOnlyForOne) {
  Rig rig;
  rig.Connect();
  for (const auto& [on, sent] : {std::pair<int, std::uint16_t>{1, 1}, {2, 0}, {0, 0}, {-1, 0}}) {
    rig.sim.ClearLog();
    EXPECT_EQ(rig.api().SetAuxFlag401(0, on), 1);
    EXPECT_EQ(rig.api().SetAuxFlag419(0, on), 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, 0x401, sent), Wr(0, 0x419, sent)})) << on;
  }
}

TEST(AuxBoard, GlobalControlRegisterFollowsTheOptionWordsNotTheModel) {
  struct Case {
    Board board;
    bool poke;  // option words 33 = 12 and 30 = 1 set in the object
    unsigned reg;
  } cases[] = {
      {kPlain, false, 0x40D},
      {kVariant12, false, 0x411},
      {{"7733 option 30 = 0", 7733, {{33, 12}, {30, 0}}}, false, 0x40D},
      {kPlain, true, 0x411},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.board.name);
    Rig rig(c.board.model, c.board.registers, 0, ++salt);
    rig.Connect();
    if (c.poke) {
      rig.api().option33 = 12;
      rig.api().option30 = 1;
    }
    EXPECT_EQ(rig.api().SetAuxGlobalControl(0x1234), 1);
    EXPECT_EQ(rig.Accesses(), (std::vector<Rig::Access>{Wr(0, c.reg, 0x1234)}));
  }
}

TEST(AuxBoard, GlobalFrequencyWritesBothWordsThenRecordsTheHertz) {
  struct Case {
    double mhz;
    std::uint16_t high, low;
    double hz;
  } cases[] = {
      {37.5, 572, 13408, 37500000.0},
      {3000.0, 45776, 24064, 3e9},  // above the int32 range
      {4294.967295, 65535, 65535, 4294.967295 * 1e6},
      {0.0, 0, 0, 0.0},
  };
  Rig rig;
  rig.Connect();
  for (const Case& c : cases) {
    rig.sim.ClearLog();
    EXPECT_EQ(rig.api().SetAuxFrequencyGlobal(c.mhz), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"W 0:1038", "W 0:1039", "write 0x2138"})) << c.mhz;
    EXPECT_EQ(LastWrite(rig, 0, 0x40E), c.high) << c.mhz;
    EXPECT_EQ(LastWrite(rig, 0, 0x40F), c.low) << c.mhz;
    EXPECT_EQ(rig.sim.EepromDouble(kItem39), c.hz);
  }
}

TEST(AuxBoard, GlobalLevelOnlyWithOptionWords12And1) {
  struct Case {
    Board board;
    bool poke;
    std::uint8_t result;
  } cases[] = {
      {kPlain, false, 0},
      {{"7733 option 30 = 0", 7733, {{33, 12}, {30, 0}}}, false, 0},
      {kVariant12, false, 1},
      {kPlain, true, 1},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.board.name);
    Rig rig(c.board.model, c.board.registers, 0, ++salt);
    rig.Connect();
    if (c.poke) {
      rig.api().option33 = 12;
      rig.api().option30 = 1;
    }
    EXPECT_EQ(rig.api().SetAuxLevelGlobal(5), c.result);
    EXPECT_EQ(rig.sim.Log().size(), c.result == 0 ? 0u : 18u);  // two writes and a record of 16 transfers
  }
}

TEST(AuxBoard, UncalibratedGlobalLevelWritesRecordsAndWritesAgainWithZeroAsOne) {
  struct Case {
    int value;
    std::uint16_t first, second;
  } cases[] = {{0, 0, 1}, {7, 7, 7}, {65536, 0, 1}, {-1, 0xFFFF, 0xFFFF}};
  Rig rig(kVariant12.model, kVariant12.registers);
  rig.Connect();
  PutGlobalTable(rig.api(), 2, 100.0);  // loaded, but mode 2 is not in use
  for (const Case& c : cases) {
    rig.sim.ClearLog();
    const std::size_t before = rig.sim.WritesTo(0, 0x412).size();
    EXPECT_EQ(rig.api().SetAuxLevelGlobal(c.value), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"W 0:1042", "write 0x2130", "W 0:1042"})) << c.value;
    const std::vector<std::uint16_t> writes = rig.sim.WritesTo(0, 0x412);
    EXPECT_EQ(std::vector<std::uint16_t>(writes.begin() + before, writes.end()),
              (std::vector<std::uint16_t>{c.first, c.second}))
        << c.value;
    EXPECT_EQ(rig.sim.EepromDouble(kItem38), c.value);
  }
}

TEST(AuxBoard, CalibratedGlobalLevelRecordsThenConvertsWithTheBandOfItem39) {
  // Item 39 holds hertz; the bands are in MHz.
  const std::pair<double, int> cases[] = {
      {0, 0},       {100000, 0}, {100001, 1},    {200000, 1}, {200001, 2},  {400000, 2},
      {400001, 3},  {500000, 3}, {500001, 4},    {1e6, 4},    {1000001, 5}, {5e6, 5},
      {5000001, 6}, {1e8, 6},    {100000001, 0}, {-1, 0},     {kNaN, 0},
  };
  Rig rig(kVariant12.model, kVariant12.registers);
  rig.Connect();
  PutGlobalTable(rig.api(), 1, 100.0);
  for (const auto& [hz, band] : cases) {
    rig.sim.SeedDouble(kItem39, hz);
    rig.sim.ClearLog();
    EXPECT_EQ(rig.api().SetAuxLevelGlobal(9), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x2130", "read 0x2138", "W 0:1042"})) << hz;
    EXPECT_EQ(rig.sim.EepromDouble(kItem38), 9.0);
    EXPECT_EQ(LastWrite(rig, 0, 0x412), 100 + band) << hz << " Hz";
  }
  rig.sim.SeedDouble(kItem39, 0.0);
  rig.api().calibration.auxGlobalLevel[0].c[4] = 5000.0;
  rig.api().SetAuxLevelGlobal(9);
  EXPECT_EQ(LastWrite(rig, 0, 0x412), 4095);
  rig.api().calibration.auxGlobalLevel[0].c[4] = -1.0;
  rig.api().SetAuxLevelGlobal(9);
  EXPECT_EQ(LastWrite(rig, 0, 0x412), 0);
}

TEST(AuxBoard, Control417RepeatsTheLastDataWordSent) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  api.SetAuxGlobalControl(0x1234);
  EXPECT_EQ(api.WriteAuxControl417(), 1);
  api.SetAuxControl41A(0, 0xBEEF);  // its record, after the write, leaves the word alone
  api.WriteAuxControl417();
  api.SetAuxFrequency(0, 37.5);
  api.WriteAuxControl417();
  api.WriteAuxControl417();
  EXPECT_EQ(rig.sim.WritesTo(0, 0x417), (std::vector<std::uint16_t>{0x1234, 0xBEEF, 13408, 13408}));
}

TEST(AuxBoard, LevelLimitByBoardReadsNothing) {
  struct Case {
    Board board;
    double limit;
  } cases[] = {{kVariant12, 0.22}, {kPlain, 0.65}, {{"7733 option 0", 7733, {}}, 0.65}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.board.model, c.board.registers, 0, ++salt);
    rig.Connect();
    EXPECT_EQ(rig.api().GetAuxLevelLimit(), c.limit) << c.board.name;
    EXPECT_EQ(rig.sim.Log().size(), 0u);
  }
}

// On a 7775 whose option word moves lane 3, with channel 1 mapped to bank 3:
// where each operation records and at which bank it writes, in order. Lane 3's
// items are at 0x2900 + 8 x item, lane 2's at 0x2600 + 8 x item.
TEST(AuxLane3Fix, EachOperationMovesTheBankWhereItsRuleSays) {
  struct Case {
    const char* name;
    std::function<void(Tessok_API&)> setup;
    std::function<std::uint8_t(Tessok_API&)> call;
    Trace trace;
  } cases[] = {
      {"frequency",
       {},
       [](Tessok_API& a) { return a.SetAuxFrequency(1, 37.5); },
       {"write 0x29B0", "W 2:1026", "W 2:1027"}},
      {"amplitude A, no table",
       {},
       [](Tessok_API& a) { return a.SetAuxAmplitudeA(1, 5); },
       {"write 0x29B8", "R 2:29", "W 2:1028"}},
      // Not in use: the channel itself is the bank, moved 3 -> 2; the record stays at channelMap[ch].
      {"amplitude A, loaded, channel 1",
       [](Tessok_API& a) { PutTable(a, 0, 1, 1.0, 0); },
       [](Tessok_API& a) { return a.SetAuxAmplitudeA(1, 5); },
       {"write 0x29B8", "W 1:1025", "W 1:1028"}},
      {"amplitude A, loaded, channel 3",
       [](Tessok_API& a) {
         PutTable(a, 0, 3, 1.0, 0);
         a.channelMap[3] = 1;
       },
       [](Tessok_API& a) { return a.SetAuxAmplitudeA(3, 5); },
       {"write 0x23B8", "W 2:1025", "W 2:1028"}},
      // Monitor reads lane 3's items at lane 2.
      {"amplitude A, in use",
       [](Tessok_API& a) { PutTable(a, 0, 1, 2.0, 0); },
       [](Tessok_API& a) { return a.SetAuxAmplitudeA(1, 5); },
       {"read 0x26B0", "write 0x29B8", "W 2:1028"}},
      {"amplitude B, no table",
       {},
       [](Tessok_API& a) { return a.SetAuxAmplitudeB(1, 5); },
       {"write 0x29C0", "W 2:1031"}},
      {"enable A", {}, [](Tessok_API& a) { return a.EnableAuxAmplitudeA(1, 1); }, {"read 0x26B8", "W 2:1028"}},
      {"enable B", {}, [](Tessok_API& a) { return a.EnableAuxAmplitudeB(1, 1); }, {"write 0x29C0", "W 2:1030"}},
      {"level C", {}, [](Tessok_API& a) { return a.SetAuxLevelC(1, 5, 0); }, {"write 0x2A50", "W 3:1051"}},
      {"level C, in use",
       [](Tessok_API& a) { PutTable(a, 2, 1, 2.0, 0); },
       [](Tessok_API& a) { return a.SetAuxLevelC(1, 5, 0); },
       {"write 0x2A50", "W 3:1051"}},
      {"setting", {}, [](Tessok_API& a) { return a.SetAuxSetting(1, 5); }, {"write 0x29A8", "W 2:1029"}},
      {"control 40C", {}, [](Tessok_API& a) { return a.SetAuxControl40C(1, 5); }, {"write 0x29C8", "W 2:1036"}},
      {"control 41A", {}, [](Tessok_API& a) { return a.SetAuxControl41A(1, 5); }, {"W 3:1050", "write 0x2158"}},
      {"flag 401", {}, [](Tessok_API& a) { return a.SetAuxFlag401(1, 1); }, {"W 3:1025"}},
      {"flag 419", {}, [](Tessok_API& a) { return a.SetAuxFlag419(1, 1); }, {"W 2:1049"}},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(7775, {{33, 11}}, 0, ++salt);
    rig.Connect();
    ASSERT_EQ(rig.api().remapLane3, 1u);
    rig.api().channelMap[1] = 3;
    if (c.setup) c.setup(rig.api());
    EXPECT_EQ(c.call(rig.api()), 1);
    EXPECT_EQ(EepromTrace(rig.sim.Log()), c.trace);
  }
}

TEST(AuxRefused, OutOfRangeInputSendsAndRecordsNothing) {
  struct Case {
    const char* name;
    std::function<std::uint8_t(Tessok_API&)> call;
  } cases[] = {
      {"frequency below 0", [](Tessok_API& a) { return a.SetAuxFrequency(0, -0.001); }},
      {"frequency above 100", [](Tessok_API& a) { return a.SetAuxFrequency(0, 100.001); }},
      {"frequency NaN", [](Tessok_API& a) { return a.SetAuxFrequency(0, kNaN); }},
      {"frequency channel 16", [](Tessok_API& a) { return a.SetAuxFrequency(16, 10); }},
      {"frequency channel -1", [](Tessok_API& a) { return a.SetAuxFrequency(-1, 10); }},
      {"A no table 4096", [](Tessok_API& a) { return a.SetAuxAmplitudeA(0, 4096); }},
      {"A no table -1", [](Tessok_API& a) { return a.SetAuxAmplitudeA(0, -1); }},
      {"A no table NaN", [](Tessok_API& a) { return a.SetAuxAmplitudeA(0, kNaN); }},
      {"A loaded 4095.5", [](Tessok_API& a) { return a.SetAuxAmplitudeA(1, 4095.5); }},
      {"A loaded NaN", [](Tessok_API& a) { return a.SetAuxAmplitudeA(1, kNaN); }},
      {"A in use NaN", [](Tessok_API& a) { return a.SetAuxAmplitudeA(2, kNaN); }},
      {"A in use infinity", [](Tessok_API& a) { return a.SetAuxAmplitudeA(2, kInf); }},
      {"A in use minus infinity", [](Tessok_API& a) { return a.SetAuxAmplitudeA(2, -kInf); }},
      {"A channel 16", [](Tessok_API& a) { return a.SetAuxAmplitudeA(16, 1); }},
      {"B no table 4096", [](Tessok_API& a) { return a.SetAuxAmplitudeB(0, 4096); }},
      {"B in use NaN", [](Tessok_API& a) { return a.SetAuxAmplitudeB(2, kNaN); }},
      {"B channel -1", [](Tessok_API& a) { return a.SetAuxAmplitudeB(-1, 1); }},
      {"enable A channel 16", [](Tessok_API& a) { return a.EnableAuxAmplitudeA(16, 1); }},
      {"enable B channel -1", [](Tessok_API& a) { return a.EnableAuxAmplitudeB(-1, 1); }},
      {"level C band 5", [](Tessok_API& a) { return a.SetAuxLevelC(3, 5, 5); }},
      {"level C band 2^32 - 1", [](Tessok_API& a) { return a.SetAuxLevelC(3, 5, 0xFFFFFFFFu); }},
      {"level C channel 16", [](Tessok_API& a) { return a.SetAuxLevelC(16, 5, 0); }},
      {"setting NaN", [](Tessok_API& a) { return a.SetAuxSetting(0, kNaN); }},
      {"setting infinity", [](Tessok_API& a) { return a.SetAuxSetting(0, kInf); }},
      {"setting channel 16", [](Tessok_API& a) { return a.SetAuxSetting(16, 1); }},
      {"40C 4096", [](Tessok_API& a) { return a.SetAuxControl40C(0, 4096); }},
      {"40C -0.5", [](Tessok_API& a) { return a.SetAuxControl40C(0, -0.5); }},
      {"40C NaN", [](Tessok_API& a) { return a.SetAuxControl40C(0, kNaN); }},
      {"40C channel 16", [](Tessok_API& a) { return a.SetAuxControl40C(16, 1); }},
      {"41A channel 16", [](Tessok_API& a) { return a.SetAuxControl41A(16, 1); }},
      {"flag 401 channel -1", [](Tessok_API& a) { return a.SetAuxFlag401(-1, 1); }},
      {"flag 419 channel 16", [](Tessok_API& a) { return a.SetAuxFlag419(16, 1); }},
      {"global frequency NaN", [](Tessok_API& a) { return a.SetAuxFrequencyGlobal(kNaN); }},
      {"global frequency infinity", [](Tessok_API& a) { return a.SetAuxFrequencyGlobal(kInf); }},
      {"global frequency below 0", [](Tessok_API& a) { return a.SetAuxFrequencyGlobal(-0.001); }},
      {"global frequency of 2^32 Hz", [](Tessok_API& a) { return a.SetAuxFrequencyGlobal(4294.967296); }},
      {"global level without the options", [](Tessok_API& a) { return a.SetAuxLevelGlobal(5); }},
  };
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  PutTable(api, 0, 1, 1.0, 0);  // channel 1: table A loaded, not in use
  PutTable(api, 0, 2, 2.0, 0);  // channel 2: tables A and B in use
  PutTable(api, 1, 2, 2.0, 0);
  PutTable(api, 2, 3, 2.0, 0);  // channel 3: table C in use
  api.lastResult = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(api), 0) << c.name;
    EXPECT_EQ(rig.sim.Log().size(), 0u) << c.name;
  }
  EXPECT_EQ(api.lastResult, 0u);
}

TEST(AuxErasedEeprom, LoadsSetTheFlagsAndEverySetterStaysUncalibrated) {
  Rig rig(kVariant12.model, kVariant12.registers);
  rig.Connect();
  Tessok_API& api = rig.api();
  double limits[20];
  EXPECT_EQ(api.LoadAuxAmplitudeACalibration(0, limits), -1);
  EXPECT_EQ(api.LoadAuxLevelCCalibration(0, limits), -1);
  EXPECT_EQ(api.LoadAuxGlobalLevelCalibration(limits), -1);
  EXPECT_TRUE(std::isnan(limits[0]));
  rig.sim.ClearLog();

  EXPECT_EQ(api.SetAuxAmplitudeA(0, 100.0), 1);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x20B8", "W 0:1025", "W 0:1028"}));
  EXPECT_EQ(LastWrite(rig, 0, 0x404), 100);
  rig.sim.ClearLog();
  EXPECT_EQ(api.SetAuxLevelC(0, 77, 0), 1);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"write 0x2150", "W 0:1051"}));
  EXPECT_EQ(LastWrite(rig, 0, 0x41B), 77);
  rig.sim.ClearLog();
  EXPECT_EQ(api.SetAuxLevelGlobal(5), 1);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"W 0:1042", "write 0x2130", "W 0:1042"}));
}

// Results under transfer faults. A failed transfer ends the connection, so
// every transfer after it fails too. Sends and receives are counted from the
// operation's first request.
TEST(AuxResults, Control41AReportsItsRecordNotItsWrite) {
  Rig rig;
  rig.Connect();
  TransferFaults faults;
  faults.FailSend(0);  // the write of 0x41A: nothing reaches the instrument
  EXPECT_EQ(rig.api().SetAuxControl41A(0, 0x0ABC), 0);
  EXPECT_EQ(rig.sim.RequestCount(), 0u);
  rig.Connect();
  faults.FailReceive(1);  // the record's first transfer, after the write
  EXPECT_EQ(rig.api().SetAuxControl41A(0, 0x0ABC), 0);
  EXPECT_EQ(rig.sim.WritesTo(0, 0x41A), std::vector<std::uint16_t>{0x0ABC});
}

TEST(AuxResults, GlobalFrequencyIsTheOrOfItsTwoWrites) {
  struct Case {
    const char* name;
    std::function<void(TransferFaults&)> fail;
    std::uint8_t result;
  } cases[] = {
      {"none", [](TransferFaults&) {}, 1},
      // The second write then fails at once too.
      {"first send", [](TransferFaults& f) { f.FailSend(0); }, 0},
      {"first receive", [](TransferFaults& f) { f.FailReceive(0); }, 0},
      {"second send", [](TransferFaults& f) { f.FailSend(1); }, 1},
      {"second receive", [](TransferFaults& f) { f.FailReceive(1); }, 1},
      {"a send of the record", [](TransferFaults& f) { f.FailSend(5); }, 1},
  };
  Rig rig;
  for (const Case& c : cases) {
    rig.Connect();
    TransferFaults faults;
    c.fail(faults);
    EXPECT_EQ(rig.api().SetAuxFrequencyGlobal(37.5), c.result) << c.name;
  }
}

TEST(AuxResults, FrequencyReturnsTheSecondWriteAndOrsTheFirstIntoLastResult) {
  struct Case {
    std::uint64_t failedSend;  // the record takes sends 0 to 15
    std::uint8_t result;
    std::uint32_t lastResult;
  } cases[] = {{1000, 1, 1}, {16, 0, 0}, {17, 0, 1}, {3, 0, 0}};  // a failed record fails both writes
  Rig rig;
  for (const Case& c : cases) {
    rig.Connect();
    TransferFaults faults;
    faults.FailSend(c.failedSend);
    rig.api().lastResult = 0;
    EXPECT_EQ(rig.api().SetAuxFrequency(0, 37.5), c.result) << c.failedSend;
    EXPECT_EQ(rig.api().lastResult, c.lastResult) << c.failedSend;
  }
}
