// Auxiliary calibration tables in the EEPROM: which pages and bytes each load
// reads, what it makes of the header, the limits it hands out, where the saves
// write, the reset of the global table, the clears, and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "EepromTrace.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::EepromTrace;
using tessok::test::Hex;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::Wr;
using Trace = std::vector<std::string>;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Element j of row r as seeded: distinct, exact doubles.
double Seeded(int r, int j) { return 1000.0 * r + j + 0.5; }

// Seeds `rows` rows of seven doubles from a literal first-row address, 56 bytes apart.
void SeedRows(Rig& rig, std::uint32_t first, int rows) {
  for (int r = 0; r < rows; ++r) {
    for (int j = 0; j < 7; ++j) rig.sim.SeedDouble(first + 56u * r + 8u * j, Seeded(r, j));
  }
}

void ExpectRowsAndLimits(const CalibrationRow* rows, const double* limits, int count) {
  for (int r = 0; r < count; ++r) {
    for (int j = 0; j < 7; ++j) EXPECT_EQ(rows[r].c[j], Seeded(r, j)) << "row " << r << " element " << j;
    EXPECT_EQ(limits[2 * r], Seeded(r, 5)) << r;
    EXPECT_EQ(limits[2 * r + 1], Seeded(r, 6)) << r;
  }
}

}  // namespace

TEST(AuxLoad, TableALane3ReadsTheHeaderPageThenOnePagePerRow) {
  Rig rig;
  rig.Connect();
  rig.sim.SeedDouble(0x4FDE, 7.0);  // lane 2's header, next to lane 3's
  rig.sim.SeedDouble(0x4FE6, 2.0);  // double 3 of the page at 0x4FCE
  SeedRows(rig, 0x5900, 10);        // 0x5000 + 3 x 768
  std::vector<double> limits(21, -9.0);
  Tessok_API& api = rig.api();
  EXPECT_EQ(api.LoadAuxAmplitudeACalibration(3, limits.data()), 2);
  EXPECT_EQ(api.calibration.auxAmplitudeAMode[3], 2.0);
  EXPECT_EQ(api.tableLoaded[0][3], 1);
  EXPECT_EQ(api.tableLoaded[0][2], 0);
  ExpectRowsAndLimits(api.calibration.auxAmplitudeA[3], limits.data(), 10);
  EXPECT_EQ(limits[20], -9.0);  // nothing beyond the 20 limits
  EXPECT_EQ(EepromTrace(rig.sim.Log()),
            (Trace{"page 0x4FCE", "page 0x5900", "page 0x5938", "page 0x5970", "page 0x59A8", "page 0x59E0",
                   "page 0x5A18", "page 0x5A50", "page 0x5A88", "page 0x5AC0", "page 0x5AF8"}));
  EXPECT_TRUE(rig.sleeps.Waits().empty());
}

TEST(AuxLoad, TableBLane15TakesTheLastDoubleOfTheHeaderPage) {
  Rig rig;
  rig.Connect();
  rig.sim.SeedDouble(0x7046, 2.0);  // bytes 120-127 of the page at 0x6FCE
  SeedRows(rig, 0x9D00, 10);        // 0x7000 + 15 x 768
  double limits[20];
  Tessok_API& api = rig.api();
  EXPECT_EQ(api.LoadAuxAmplitudeBCalibration(15, limits), 2);
  EXPECT_EQ(api.calibration.auxAmplitudeBMode[15], 2.0);
  EXPECT_EQ(api.tableLoaded[1][15], 1);
  ExpectRowsAndLimits(api.calibration.auxAmplitudeB[15], limits, 10);
  const Trace trace = EepromTrace(rig.sim.Log());
  ASSERT_EQ(trace.size(), 11u);
  EXPECT_EQ(trace[0], "page 0x6FCE");
  EXPECT_EQ(trace[1], "page 0x9D00");
  EXPECT_EQ(trace[10], "page 0x9EF8");
}

TEST(AuxLoad, TableCLane1ReadsItsOwnHeaderPageAndTheRowsByteByByteAtBank1) {
  Rig rig;
  rig.Connect();
  rig.sim.SeedDouble(0x10FD6, 2.9);
  SeedRows(rig, 0x11300, 5);            // 0x11000 + 768
  rig.sim.SetEepromReadHighByte(0x5A);  // only the low byte of each data word counts
  double limits[10];
  Tessok_API& api = rig.api();
  api.lastStatus = 0;
  EXPECT_EQ(api.LoadAuxLevelCCalibration(1, limits), 2);
  EXPECT_EQ(api.calibration.auxLevelCMode[1], 2.9);
  EXPECT_EQ(api.tableLoaded[2][1], 1);
  EXPECT_EQ(api.lastStatus, 1);
  ExpectRowsAndLimits(api.calibration.auxLevelC[1], limits, 5);

  const Trace trace = EepromTrace(rig.sim.Log());
  ASSERT_EQ(trace.size(), 36u);  // the header page, then 35 doubles
  EXPECT_EQ(trace[0], "page 0x10FD6");
  EXPECT_EQ(trace[1], "read 0x11300");
  EXPECT_EQ(trace[2], "read 0x11308");
  EXPECT_EQ(trace[8], "read 0x11338");   // row 1
  EXPECT_EQ(trace[35], "read 0x11410");  // row 4, element 6
  const auto accesses = rig.Accesses();
  ASSERT_EQ(accesses.size(), 560u);
  const std::vector<Rig::Access> firstBytes(accesses.begin(), accesses.begin() + 4);
  EXPECT_EQ(firstBytes, (std::vector<Rig::Access>{Wr(1, 10, 0x1300), Rd(1, 11), Wr(1, 10, 0x1301), Rd(1, 11)}));
  for (const Rig::Access& a : accesses) EXPECT_EQ(a.bank, 1u);
  EXPECT_TRUE(rig.sleeps.Waits().empty());
}

TEST(AuxLoad, GlobalTableReadsEightPagesAndKeepsTheHeaderTruncated) {
  Rig rig;
  rig.Connect();
  rig.sim.SeedDouble(0x9000, 1.75);
  SeedRows(rig, 0x9032, 7);
  double limits[14];
  Tessok_API& api = rig.api();
  EXPECT_EQ(api.LoadAuxGlobalLevelCalibration(limits), 1);
  EXPECT_EQ(api.auxGlobalLevelMode, 1);
  EXPECT_EQ(api.auxGlobalLevelLoaded, 1);
  ExpectRowsAndLimits(api.calibration.auxGlobalLevel, limits, 7);
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (Trace{"page 0x9000", "page 0x9032", "page 0x906A", "page 0x90A2",
                                               "page 0x90DA", "page 0x9112", "page 0x914A", "page 0x9182"}));
}

TEST(AuxLoad, HeaderValuesOfEveryTable) {
  struct Case {
    double header;
    double kept;  // in the lane's mode field
    int result;   // truncated toward zero
  } cases[] = {
      {kNaN, -1.0, -1},                              // erased
      {2.0, 2.0, 2},    {2.9, 2.9, 2},               // kept as read; only table C counts it as in use
      {-3.7, -3.7, -3}, {1e300, 1e300, 2147483647},  // saturates
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    rig.sim.SeedDouble(0x4FCE, c.header);   // A, lane 0
    rig.sim.SeedDouble(0x6FD6, c.header);   // B, lane 1
    rig.sim.SeedDouble(0x10FDE, c.header);  // C, lane 2
    rig.sim.SeedDouble(0x9000, c.header);   // global
    double limits[20];
    Tessok_API& api = rig.api();
    EXPECT_EQ(api.LoadAuxAmplitudeACalibration(0, limits), c.result);
    EXPECT_EQ(api.LoadAuxAmplitudeBCalibration(1, limits), c.result);
    EXPECT_EQ(api.LoadAuxLevelCCalibration(2, limits), c.result);
    EXPECT_EQ(api.LoadAuxGlobalLevelCalibration(limits), c.result);
    EXPECT_EQ(api.calibration.auxAmplitudeAMode[0], c.kept);
    EXPECT_EQ(api.calibration.auxAmplitudeBMode[1], c.kept);
    EXPECT_EQ(api.calibration.auxLevelCMode[2], c.kept);
    EXPECT_EQ(api.auxGlobalLevelMode, c.result);
    EXPECT_EQ(api.tableLoaded[0][0] + api.tableLoaded[1][1] + api.tableLoaded[2][2] + api.auxGlobalLevelLoaded, 4);
  }
}

TEST(AuxSave, WritesTheHeaderThenTheRowsAtConsecutiveAddresses) {
  struct Case {
    const char* name;
    int table;  // 0 A, 1 B, 2 C, 3 global
    std::uint32_t lane;
    std::uint32_t headerAt, rowsAt;  // from the EEPROM map, by hand
    int doubles;
  } cases[] = {
      {"A lane 2", 0, 2, 0x4FDE, 0x5600, 70},
      {"B lane 15", 1, 15, 0x7046, 0x9D00, 70},
      {"C lane 1", 2, 1, 0x10FD6, 0x11300, 35},
      {"global", 3, 0, 0x9000, 0x9032, 49},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    std::vector<double> rows(70);
    for (int i = 0; i < 70; ++i) rows[i] = 0.25 * i - 3.0;
    Tessok_API& api = rig.api();
    int result = 0;
    switch (c.table) {
      case 0: result = api.SaveAuxAmplitudeACalibration(c.lane, 2.0, rows.data()); break;
      case 1: result = api.SaveAuxAmplitudeBCalibration(c.lane, 2.0, rows.data()); break;
      case 2: result = api.SaveAuxLevelCCalibration(c.lane, 2.0, rows.data()); break;
      default: result = api.SaveAuxGlobalLevelCalibration(2.0, rows.data()); break;
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(rig.sim.EepromDouble(c.headerAt), 2.0);
    for (int i = 0; i < c.doubles; ++i) EXPECT_EQ(rig.sim.EepromDouble(c.rowsAt + 8u * i), rows[i]) << i;
    EXPECT_EQ(rig.sim.EepromByte(c.rowsAt + 8u * c.doubles), 0xFF);  // nothing beyond the rows
    const Trace trace = EepromTrace(rig.sim.Log());
    ASSERT_EQ(trace.size(), 1u + c.doubles);
    EXPECT_EQ(trace[0], "write " + Hex(c.headerAt));
    EXPECT_EQ(trace[1], "write " + Hex(c.rowsAt));
    EXPECT_TRUE(rig.sleeps.Waits().empty());
    // The store and the flags are left as they were.
    EXPECT_EQ(api.tableLoaded[0][2] + api.tableLoaded[1][15] + api.tableLoaded[2][1] + api.auxGlobalLevelLoaded, 0);
    EXPECT_EQ(api.calibration.auxAmplitudeAMode[2], 0.0);
    EXPECT_EQ(api.calibration.auxLevelC[1][0].c[0], 0.0);
  }
}

TEST(AuxReset, GlobalRowsBecomeTheIdentityWithFlagAndModeKept) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  for (CalibrationRow& row : api.calibration.auxGlobalLevel) row = CalibrationRow{{1, 2, 3, 4, 5, 6, 7}};
  api.auxGlobalLevelLoaded = 1;
  api.auxGlobalLevelMode = 5;
  EXPECT_EQ(api.ResetAuxGlobalLevelCalibration(), 1);
  for (int band = 0; band < 7; ++band) {
    const CalibrationRow& row = api.calibration.auxGlobalLevel[band];
    EXPECT_EQ(std::vector<double>(row.c, row.c + 7), (std::vector<double>{0, 0, 0, 1, 0, 0, 4095})) << band;
    EXPECT_EQ(api.calibration.ComputeAuxGlobalLevelCode(band, 1234.0), 1234) << band;
  }
  EXPECT_EQ(api.auxGlobalLevelLoaded, 1);
  EXPECT_EQ(api.auxGlobalLevelMode, 5);
  EXPECT_EQ(rig.sim.Log().size(), 0u);
}

TEST(AuxClear, SwitchesTheTableOffAndKeepsTheRowsUntilTheNextLoad) {
  Rig rig;
  rig.Connect();
  SeedRows(rig, 0x5600, 10);  // table A, lane 2
  double limits[20];
  Tessok_API& api = rig.api();
  api.LoadAuxAmplitudeACalibration(2, limits);
  api.LoadAuxAmplitudeBCalibration(2, limits);
  api.LoadAuxLevelCCalibration(2, limits);
  api.LoadAuxGlobalLevelCalibration(limits);
  rig.sim.ClearLog();

  EXPECT_EQ(api.ClearAuxAmplitudeACalibration(2), 1);
  EXPECT_EQ(api.tableLoaded[0][2], 0);
  EXPECT_EQ(api.calibration.auxAmplitudeA[2][9].c[6], Seeded(9, 6));
  EXPECT_EQ(api.tableLoaded[1][2], 1);  // the other tables stay loaded
  EXPECT_EQ(api.ClearAuxAmplitudeBCalibration(2), 1);
  EXPECT_EQ(api.tableLoaded[1][2], 0);
  EXPECT_EQ(api.ClearAuxLevelCCalibration(2), 1);
  EXPECT_EQ(api.tableLoaded[2][2], 0);
  EXPECT_EQ(api.ClearAuxGlobalLevelCalibration(), 1);
  EXPECT_EQ(api.auxGlobalLevelLoaded, 0);
  EXPECT_EQ(rig.sim.Log().size(), 0u);

  api.LoadAuxAmplitudeACalibration(2, limits);
  EXPECT_EQ(api.tableLoaded[0][2], 1);
}

TEST(AuxCalibrationRefused, LanesOutsideTheTablesAndNullPointersSendAndChangeNothing) {
  Rig rig;
  rig.Connect();
  Tessok_API& api = rig.api();
  double limits[20];
  double rows[70] = {};
  for (std::uint32_t lane : {16u, 0xFFFFFFFFu}) {
    EXPECT_EQ(api.LoadAuxAmplitudeACalibration(lane, limits), -1);
    EXPECT_EQ(api.LoadAuxAmplitudeBCalibration(lane, limits), -1);
    EXPECT_EQ(api.LoadAuxLevelCCalibration(lane, limits), -1);
    EXPECT_EQ(api.SaveAuxAmplitudeACalibration(lane, 2.0, rows), 0);
    EXPECT_EQ(api.SaveAuxAmplitudeBCalibration(lane, 2.0, rows), 0);
    EXPECT_EQ(api.SaveAuxLevelCCalibration(lane, 2.0, rows), 0);
  }
  for (int lane : {-1, 16}) {
    EXPECT_EQ(api.ClearAuxAmplitudeACalibration(lane), 0);
    EXPECT_EQ(api.ClearAuxAmplitudeBCalibration(lane), 0);
    EXPECT_EQ(api.ClearAuxLevelCCalibration(lane), 0);
  }
  EXPECT_EQ(api.LoadAuxAmplitudeACalibration(0, nullptr), -1);
  EXPECT_EQ(api.LoadAuxAmplitudeBCalibration(0, nullptr), -1);
  EXPECT_EQ(api.LoadAuxLevelCCalibration(0, nullptr), -1);
  EXPECT_EQ(api.LoadAuxGlobalLevelCalibration(nullptr), -1);
  EXPECT_EQ(api.SaveAuxAmplitudeACalibration(0, 2.0, nullptr), 0);
  EXPECT_EQ(api.SaveAuxAmplitudeBCalibration(0, 2.0, nullptr), 0);
  EXPECT_EQ(api.SaveAuxLevelCCalibration(0, 2.0, nullptr), 0);
  EXPECT_EQ(api.SaveAuxGlobalLevelCalibration(2.0, nullptr), 0);

  EXPECT_EQ(rig.sim.Log().size(), 0u);
  for (int t = 0; t < 3; ++t) {
    for (int l = 0; l < 16; ++l) EXPECT_EQ(api.tableLoaded[t][l], 0);
  }
  EXPECT_EQ(api.auxGlobalLevelLoaded, 0);
  EXPECT_EQ(api.calibration.auxAmplitudeAMode[0], 0.0);
}

TEST(AuxLifecycle, FlagsSurviveAReconnectionWhileTheFactoryDefaultsClearRowsZeroToFour) {
  Rig rig;
  rig.Connect();
  rig.sim.SeedDouble(0x4FCE, 2.0);  // table A, lane 0, in use
  for (int r = 0; r < 10; ++r) {
    const double row[7] = {0, 0, 0, 0, 500.0 + r, 0, 4095};  // row r converts every request to 500 + r
    for (int j = 0; j < 7; ++j) rig.sim.SeedDouble(0x5000 + 56u * r + 8u * j, row[j]);
  }
  rig.sim.SeedDouble(0x20B0, 12.0);  // item 22 of lane 0: 12 MHz, band 2
  double limits[20];
  Tessok_API& api = rig.api();
  ASSERT_EQ(api.LoadAuxAmplitudeACalibration(0, limits), 2);
  api.SetAuxAmplitudeA(0, 1.0);
  EXPECT_EQ(rig.sim.WritesTo(0, 0x404).back(), 502);

  APIDisconnect(0);
  rig.Connect();
  EXPECT_EQ(api.tableLoaded[0][0], 1);
  EXPECT_EQ(api.calibration.auxAmplitudeA[0][2].c[4], 0.0);
  EXPECT_EQ(api.calibration.auxAmplitudeA[0][5].c[4], 505.0);  // rows 5 to 9 are left alone
  api.SetAuxAmplitudeA(0, 1.0);
  EXPECT_EQ(rig.sim.WritesTo(0, 0x404).back(), 0);
}

TEST(AuxLoad, TableCReportsAFailedByteReadInLastStatus) {
  Rig rig;
  rig.Connect();
  rig.sim.SeedDouble(0x10FCE, 2.0);
  rig.sim.ResetAtRequest(rig.sim.RequestsSinceStart() + 300);  // a row byte, midway
  double limits[10];
  Tessok_API& api = rig.api();
  EXPECT_EQ(api.LoadAuxLevelCCalibration(0, limits), 2);  // the reads are not checked
  EXPECT_EQ(api.tableLoaded[2][0], 1);
  EXPECT_EQ(api.lastStatus, 0);
}
