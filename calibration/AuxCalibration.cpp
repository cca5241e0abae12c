// Calibration tables of the auxiliary output block: per-lane tables A and B
// (amplitudes), C (level) and the board-wide global-level table. Each has a
// header that says whether the setters use it and rows of seven doubles (a
// quartic and two limit values) in the instrument's EEPROM. Loads fill the
// calibration store and the loaded flags; saves write the EEPROM only.
#include <cmath>
#include <cstring>

#include "calibration/Conversions.h"
#include "calibration/EepromBytes.h"
#include "calibration/EepromMap.h"
#include "core/Lanes.h"
#include "core/Tessok_API.h"

using namespace tessok;

namespace {

// Result of a load that reads nothing.
constexpr int kLoadRefused = -1;

// A per-lane table: its EEPROM areas and where the store keeps it.
struct LaneTable {
  int flag;  // index into Tessok_API::tableLoaded
  std::uint32_t header;
  std::uint32_t rows;
  int rowCount;
  CalibrationRow (CalibrationStore::*store)[16][10];
  double (CalibrationStore::*mode)[16];
};

constexpr LaneTable kTableA{.flag = 0,
                            .header = eeprom::kAuxAHeader,
                            .rows = eeprom::kAuxARows,
                            .rowCount = eeprom::kAuxAmplitudeRows,
                            .store = &CalibrationStore::auxAmplitudeA,
                            .mode = &CalibrationStore::auxAmplitudeAMode};
constexpr LaneTable kTableB{.flag = 1,
                            .header = eeprom::kAuxBHeader,
                            .rows = eeprom::kAuxBRows,
                            .rowCount = eeprom::kAuxAmplitudeRows,
                            .store = &CalibrationStore::auxAmplitudeB,
                            .mode = &CalibrationStore::auxAmplitudeBMode};
constexpr LaneTable kTableC{.flag = 2,
                            .header = eeprom::kAuxCHeader,
                            .rows = eeprom::kAuxCRows,
                            .rowCount = eeprom::kAuxLevelCRows,
                            .store = &CalibrationStore::auxLevelC,
                            .mode = &CalibrationStore::auxLevelCMode};

std::uint32_t HeaderAddress(const LaneTable& t, std::uint32_t lane) { return t.header + 8 * lane; }
std::uint32_t RowAddress(const LaneTable& t, std::uint32_t lane, int row) {
  return t.rows + eeprom::kAuxLaneStride * lane + eeprom::kAuxRowStride * static_cast<std::uint32_t>(row);
}

// A header read from an erased EEPROM (NaN) is kept as -1.0: "not in use".
double HeaderValue(const std::uint8_t* bytes) {
  double header = 0.0;
  std::memcpy(&header, bytes, 8);
  return std::isnan(header) ? -1.0 : header;
}

// Limits of a row: its elements 5 and 6.
void PutLimits(const CalibrationRow& row, int r, double* limits) {
  limits[2 * r] = row.c[5];
  limits[2 * r + 1] = row.c[6];
}

// One page read per row into the second page buffer; its first seven doubles
// become the row. Reads are not checked: a failed one leaves the previous
// reply's bytes, as the link hands them back.
void LoadRowsByPage(Tessok_API& api, std::uint32_t first, int count, CalibrationRow* rows, double* limits) {
  for (int r = 0; r < count; ++r) {
    api.hwLayer.ReadEEPROMPage(0, first + eeprom::kAuxRowStride * static_cast<std::uint32_t>(r), api.eepromPage2);
    std::memcpy(rows[r].c, api.eepromPage2, sizeof rows[r].c);
    PutLimits(rows[r], r, limits);
  }
}

// Tables A and B: the page at the table's first header address holds every
// lane's header; the lane's is its double number `lane`.
int LoadByPages(Tessok_API& api, const LaneTable& t, std::uint32_t lane, double* limits) {
  if (!IsLane(lane) || limits == nullptr) return kLoadRefused;
  api.hwLayer.ReadEEPROMPage(0, t.header, api.eepromPage);
  const double header = HeaderValue(api.eepromPage + 8 * lane);
  (api.calibration.*t.mode)[lane] = header;
  api.tableLoaded[t.flag][lane] = 1;
  LoadRowsByPage(api, RowAddress(t, lane, 0), t.rowCount, (api.calibration.*t.store)[lane], limits);
  return TruncateToInt32(header);
}

// Header, then the rows' doubles at consecutive addresses from `rowsAt`.
// Write results are not examined.
void SaveTable(Tessok_API& api, std::uint32_t headerAt, double header, std::uint32_t rowsAt, int rowCount,
               const double* rows) {
  api.WriteEEPROMAddress(headerAt, header);
  const int doubles = rowCount * eeprom::kAuxRowDoubles;
  for (int i = 0; i < doubles; ++i) api.WriteEEPROMAddress(rowsAt + 8u * static_cast<std::uint32_t>(i), rows[i]);
}

int SaveLaneTable(Tessok_API& api, const LaneTable& t, std::uint32_t lane, double header, const double* rows) {
  if (!IsLane(lane) || rows == nullptr) return 0;
  SaveTable(api, HeaderAddress(t, lane), header, RowAddress(t, lane, 0), t.rowCount, rows);
  return 1;
}

int ClearLaneTable(Tessok_API& api, const LaneTable& t, int lane) {
  if (!IsLane(lane)) return 0;
  api.tableLoaded[t.flag][lane] = 0;
  return 1;
}

}  // namespace

int Tessok_API::LoadAuxAmplitudeACalibration(std::uint32_t lane, double* limits) {
  return LoadByPages(*this, kTableA, lane, limits);
}

int Tessok_API::LoadAuxAmplitudeBCalibration(std::uint32_t lane, double* limits) {
  return LoadByPages(*this, kTableB, lane, limits);
}

int Tessok_API::LoadAuxLevelCCalibration(std::uint32_t lane, double* limits) {
  if (!IsLane(lane) || limits == nullptr) return kLoadRefused;
  // Table C has no common header page: the lane's header is the first double
  // of the page at its own address.
  hwLayer.ReadEEPROMPage(0, HeaderAddress(kTableC, lane), eepromPage);
  const double header = HeaderValue(eepromPage);
  calibration.auxLevelCMode[lane] = header;
  tableLoaded[kTableC.flag][lane] = 1;
  // The rows are read byte by byte at bank 1 (they lie above 0x10000), without
  // waits; every transfer result goes into lastStatus.
  lastStatus = 1;
  CalibrationRow* rows = calibration.auxLevelC[lane];
  for (int r = 0; r < kTableC.rowCount; ++r) {
    for (int j = 0; j < eeprom::kAuxRowDoubles; ++j) {
      const std::uint32_t at = RowAddress(kTableC, lane, r) + 8u * static_cast<std::uint32_t>(j);
      lastStatus &= eeprom::ReadDoubleBytewise(*this, at, &rows[r].c[j], 0);
    }
    PutLimits(rows[r], r, limits);
  }
  return TruncateToInt32(header);
}

int Tessok_API::LoadAuxGlobalLevelCalibration(double* limits) {
  if (limits == nullptr) return kLoadRefused;
  hwLayer.ReadEEPROMPage(0, eeprom::kAuxGlobalHeader, eepromPage);
  auxGlobalLevelLoaded = 1;
  auxGlobalLevelMode = TruncateToInt32(HeaderValue(eepromPage));
  LoadRowsByPage(*this, eeprom::kAuxGlobalRows, eeprom::kAuxGlobalRowCount, calibration.auxGlobalLevel, limits);
  return auxGlobalLevelMode;
}

int Tessok_API::SaveAuxAmplitudeACalibration(std::uint32_t lane, double header, const double* rows) {
  return SaveLaneTable(*this, kTableA, lane, header, rows);
}

int Tessok_API::SaveAuxAmplitudeBCalibration(std::uint32_t lane, double header, const double* rows) {
  return SaveLaneTable(*this, kTableB, lane, header, rows);
}

int Tessok_API::SaveAuxLevelCCalibration(std::uint32_t lane, double header, const double* rows) {
  return SaveLaneTable(*this, kTableC, lane, header, rows);
}

int Tessok_API::SaveAuxGlobalLevelCalibration(double header, const double* rows) {
  if (rows == nullptr) return 0;
  SaveTable(*this, eeprom::kAuxGlobalHeader, header, eeprom::kAuxGlobalRows, eeprom::kAuxGlobalRowCount, rows);
  return 1;
}

int Tessok_API::ResetAuxGlobalLevelCalibration() {
  // The identity quartic (c1 = 1) with the limits 0 and 4095.
  for (CalibrationRow& row : calibration.auxGlobalLevel) row = CalibrationRow{{0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 4095.0}};
  return 1;
}

int Tessok_API::ClearAuxAmplitudeACalibration(int lane) { return ClearLaneTable(*this, kTableA, lane); }
int Tessok_API::ClearAuxAmplitudeBCalibration(int lane) { return ClearLaneTable(*this, kTableB, lane); }
int Tessok_API::ClearAuxLevelCCalibration(int lane) { return ClearLaneTable(*this, kTableC, lane); }

int Tessok_API::ClearAuxGlobalLevelCalibration() {
  auxGlobalLevelLoaded = 0;
  return 1;
}
