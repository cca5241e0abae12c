// Eye centring: the occupancy grid and its regions (EyeContour), and the
// centring of a lane's sampling point on the eye of a capture.
#include "measure/EyeContour.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "core/Lanes.h"
#include "core/Models.h"
#include "core/Tessok_API.h"
#include "measure/EyeCapture.h"

namespace {

constexpr std::int32_t kGridRows = 25;
constexpr std::int32_t kGridColumns = 75;
// Boards whose eye grid is narrower.
constexpr std::uint32_t kNarrowGridModels[] = {7792};
constexpr std::int32_t kNarrowGridColumns = 35;
// A cell this wide or tall means the points span no measurable eye.
constexpr double kLargestCell = 1e13;
// The merged regions are those of at least a fifth of the eye region's cells.
constexpr std::size_t kMergeDivisor = 5;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The bin of an offset from the minimum: trunc(offset / width), limited to
// 0 .. last. Every point falls into bin 0 when the width is 0 or not finite
// (all points on one line, a one-row or one-column eye).
std::uint32_t Bin(double offset, double width, std::int32_t last) {
  if (!(width > 0.0) || !std::isfinite(width)) return 0;
  const double q = offset / width;
  if (!(q >= 0.0)) return 0;
  if (q >= last) return static_cast<std::uint32_t>(last);
  return static_cast<std::uint32_t>(q);
}

bool UsablePoint(double x, double y, double z) { return z != 0.0 && std::isfinite(x) && std::isfinite(y); }

// One entry of the level grid of TraceRegions.
struct LevelEntry {
  double z, y;
  int places;
  double weightedY;  // places x y
};

}  // namespace

int EyeContour::Build(std::uint32_t model, std::vector<double> x, std::vector<double> y, std::vector<double> z,
                      double* level) {
  regions.clear();
  grid.clear();
  rows = kGridRows;
  columns = tessok::InModelList(kNarrowGridModels, model) ? kNarrowGridColumns : kGridColumns;
  if (x.size() != y.size() || x.size() != z.size()) return kNoShape;

  // The maxima start at 0.0, not at the lowest double: the grid always
  // reaches up to 0 ps and 0 mV.
  double minX = DBL_MAX, minY = DBL_MAX, maxX = 0.0, maxY = 0.0;
  const std::size_t n = x.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (!UsablePoint(x[i], y[i], z[i])) continue;
    minX = std::min(minX, x[i]);
    maxX = std::max(maxX, x[i]);
    minY = std::min(minY, y[i]);
    maxY = std::max(maxY, y[i]);
  }
  const double cellWidth = (maxX - minX) / columns;
  const double cellHeight = (maxY - minY) / rows;
  if (cellWidth > kLargestCell || cellHeight > kLargestCell) return kNoShape;

  // One extra row and column hold the points at the maxima.
  grid.assign(static_cast<std::size_t>(rows) + 1, std::vector<Cell>(static_cast<std::size_t>(columns) + 1, Cell{}));
  for (std::size_t i = 0; i < n; ++i) {
    if (!UsablePoint(x[i], y[i], z[i])) continue;
    const std::uint32_t row = Bin(y[i] - minY, cellHeight, rows);
    const std::uint32_t column = Bin(x[i] - minX, cellWidth, columns);
    Cell& cell = grid[row][column];
    cell.occupied = 1;
    cell.x = x[i];
    cell.y = y[i];
    cell.z = z[i];
    cell.column = column;
    cell.row = row;
  }

  // Region 0 starts with a copy of cell (0, 0); it receives that cell once
  // more when the regions are collected.
  regions.push_back({grid[0][0]});
  grid[0][0].label = 0;
  pending = 1;
  FloodFill(0, 0, 0, grid[0][0].occupied);
  return TraceRegions(model, level);
}

void EyeContour::FloodFill(std::uint32_t label, int column, int row, std::uint8_t occupancy) {
  if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= grid.size()) return;
  if (static_cast<std::size_t>(column) >= grid[static_cast<std::size_t>(row)].size()) return;
  if (grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].visited != 0) {
    pending -= 1;  // a visit of a labelled cell does nothing
    return;
  }
  // A work list in place of recursion, with the labels of the depth-first
  // fill: each region is labelled completely, then the next one starts from
  // the first unvisited cell in row-major order with the next label. pending
  // counts the queued visits.
  std::size_t cells = 0;
  for (const auto& r : grid) cells += r.size();
  std::vector<std::pair<int, int>> work;  // (row, column)
  work.reserve(4 * cells + 1);
  const int lastRow = std::min<int>(rows, static_cast<int>(grid.size()) - 1);
  std::size_t seedRow = 0;  // the rows above it are all visited
  for (;;) {
    work.emplace_back(row, column);
    while (!work.empty()) {
      const auto [r, c] = work.back();
      work.pop_back();
      pending -= 1;
      auto& cellsOfRow = grid[static_cast<std::size_t>(r)];
      Cell& cell = cellsOfRow[static_cast<std::size_t>(c)];
      if (cell.visited != 0) continue;
      cell.visited = 1;
      cell.label = label;
      const int lastColumn = std::min<int>(columns, static_cast<int>(cellsOfRow.size()) - 1);
      // Neighbours column + 1, column - 1, row + 1, row - 1, pushed in
      // reverse so that they are visited in that order.
      const std::pair<int, int> neighbours[4] = {{r - 1, c}, {r + 1, c}, {r, c - 1}, {r, c + 1}};
      const bool inside[4] = {r > 0, r<lastRow, c> 0, c < lastColumn};
      for (int k = 0; k < 4; ++k) {
        if (!inside[k]) continue;
        const auto [nr, nc] = neighbours[k];
        const auto& next = grid[static_cast<std::size_t>(nr)];
        if (static_cast<std::size_t>(nc) >= next.size()) continue;
        if (next[static_cast<std::size_t>(nc)].visited != 0 ||
            next[static_cast<std::size_t>(nc)].occupied != occupancy) {
          continue;
        }
        work.emplace_back(nr, nc);
        pending += 1;
      }
    }
    // The region is complete.
    bool found = false;
    while (!found && seedRow < grid.size()) {
      const auto& cellsOfRow = grid[seedRow];
      const auto unvisited =
          std::find_if(cellsOfRow.begin(), cellsOfRow.end(), [](const Cell& cell) { return cell.visited == 0; });
      if (unvisited == cellsOfRow.end()) {
        ++seedRow;
        continue;
      }
      row = static_cast<int>(seedRow);
      column = static_cast<int>(unvisited - cellsOfRow.begin());
      found = true;
    }
    if (!found) return;
    label += 1;
    occupancy = grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)].occupied;
    pending = 1;
  }
}

int EyeContour::TraceRegions(std::uint32_t /*model*/, double* level) {
  maxLabel = 0;
  for (const auto& r : grid) {
    for (const Cell& cell : r) maxLabel = std::max<std::int32_t>(maxLabel, static_cast<std::int32_t>(cell.label));
  }
  regions.resize(std::max(regions.size() + static_cast<std::size_t>(maxLabel), static_cast<std::size_t>(maxLabel) + 1));
  for (const auto& r : grid) {
    for (const Cell& cell : r) regions[cell.label].push_back(cell);
  }

  // The eye: the occupied region with the most cells, the lowest label on a tie.
  std::size_t best = 0;
  std::size_t bestCount = 0;
  bool found = false;
  for (std::size_t k = 0; k < regions.size(); ++k) {
    if (regions[k].empty() || regions[k].front().occupied == 0) continue;
    if (!found || regions[k].size() > bestCount) {
      best = k;
      bestCount = regions[k].size();
      found = true;
    }
  }
  if (found) {
    const std::size_t threshold = bestCount / kMergeDivisor;
    for (std::size_t k = 0; k < regions.size(); ++k) {
      if (k == best || regions[k].empty() || regions[k].front().occupied == 0) continue;
      if (regions[k].size() >= threshold)
        regions[best].insert(regions[best].end(), regions[k].begin(), regions[k].end());
    }
  }

  const std::size_t width = static_cast<std::size_t>(columns) + 1;
  const std::size_t height = static_cast<std::size_t>(rows) + 1;
  std::vector<LevelEntry> levels(width * height, LevelEntry{0.0, 0.0, 0, 0.0});
  for (const Cell& cell : regions[best]) {
    if (static_cast<std::int32_t>(cell.row) < 0 || static_cast<std::int32_t>(cell.column) < 0) return kNoShape;
    if (cell.row >= height || cell.column >= width) return kNoShape;
    const int places = DecimalPlaces(cell.z);
    levels[cell.row * width + cell.column] = {cell.z, cell.y, places, places * cell.y};
  }
  // Each row's weighted mean threshold, then the mean over the rows.
  double sumOfRows = 0.0;
  int rowsWithEye = 0;
  for (std::size_t r = 0; r < height; ++r) {
    double weighted = 0.0, weights = 0.0;
    bool any = false;
    for (std::size_t c = 0; c < width; ++c) {
      const LevelEntry& e = levels[r * width + c];
      if (e.z == 0.0) continue;
      weighted += e.weightedY;
      weights += e.places;
      any = true;
    }
    if (!any) continue;
    // A row of BER 1.0 cells only weighs nothing: its level is not a number.
    sumOfRows += weights == 0.0 ? kNaN : weighted / weights;
    ++rowsWithEye;
  }
  if (level != nullptr) *level = rowsWithEye == 0 ? kNaN : sumOfRows / rowsWithEye;
  return ExtractContour(static_cast<std::uint32_t>(best), regions[best]);
}

int EyeContour::ExtractContour(std::uint32_t label, std::vector<Cell> /*region*/) {
  // The grid proper: the extra row and column are left out.
  const int height = std::min<int>(rows, static_cast<int>(grid.size()));
  const int width = columns;
  if (width <= 0 || height <= 0) return kNoShape;
  std::vector<int> gap(static_cast<std::size_t>(width), 0);
  std::vector<int> span(static_cast<std::size_t>(width), 0);
  std::vector<int> contiguous;
  for (int c = 0; c < width; ++c) {
    int first = -1, previous = -1, largest = 0;
    for (int r = 0; r < height; ++r) {
      const auto& row = grid[static_cast<std::size_t>(r)];
      if (static_cast<std::size_t>(c) >= row.size() || row[static_cast<std::size_t>(c)].label != label) continue;
      if (previous >= 0) largest = std::max(largest, r - previous);
      if (first < 0) first = r;
      previous = r;
    }
    gap[static_cast<std::size_t>(c)] = largest;
    span[static_cast<std::size_t>(c)] = previous - first;
    if (largest == 1) contiguous.push_back(c);
  }
  // Columns holding the label from each side towards the middle; a column
  // whose rows break apart is counted and ends the count.
  const int middle = width / 2;
  int leftCount = 0;
  for (int c = 0; c < middle; ++c) {
    if (gap[static_cast<std::size_t>(c)] != 0) ++leftCount;
    if (gap[static_cast<std::size_t>(c)] > 1) break;
  }
  int rightCount = 0;
  for (int c = width - 1; c >= middle; --c) {
    if (gap[static_cast<std::size_t>(c)] != 0) ++rightCount;
    if (gap[static_cast<std::size_t>(c)] > 1) break;
  }
  if (leftCount == 0 && rightCount == 0) return 5;
  if (leftCount == 0) return 1;
  if (rightCount == 0) return 0;
  // Without a contiguous column there is no height to compare: no spread.
  int spread = 0;
  if (!contiguous.empty()) {
    spread = std::abs(span[static_cast<std::size_t>(contiguous.front())] -
                      span[static_cast<std::size_t>(contiguous.back())]);
  }
  if (leftCount > rightCount) return spread >= 4 ? 0 : spread >= 2 ? 2 : 4;
  if (leftCount < rightCount) return spread >= 4 ? 1 : spread >= 2 ? 3 : 4;
  return 4;
}

double EyeContour::MeasureRegion(std::uint32_t label, std::vector<Cell> /*region*/) {
  const int height = std::min<int>(rows, static_cast<int>(grid.size()));
  struct RowSpread {
    int cells = 0;
    double widest = 0.0;  // largest x step between consecutive cells
    double firstY = 0.0;
  };
  std::vector<RowSpread> spreads(static_cast<std::size_t>(std::max(height, 0)));
  double widestGap = 0.0;
  int widestRow = -1;
  for (int r = 0; r < height; ++r) {
    const auto& row = grid[static_cast<std::size_t>(r)];
    RowSpread& s = spreads[static_cast<std::size_t>(r)];
    double previousX = 0.0;
    const int width = std::min<int>(columns, static_cast<int>(row.size()));
    for (int c = 0; c < width; ++c) {
      const Cell& cell = row[static_cast<std::size_t>(c)];
      if (cell.label != label) continue;
      if (s.cells == 0) {
        s.firstY = cell.y;
      } else {
        const double step = cell.x - previousX;
        if (s.cells == 1 || step > s.widest) s.widest = step;
      }
      previousX = cell.x;
      ++s.cells;
    }
    if (s.cells >= 2 && (widestRow < 0 || s.widest > widestGap)) {
      widestGap = s.widest;
      widestRow = r;
    }
  }
  if (widestRow < 0) return 0.0;
  const int widestCells = spreads[static_cast<std::size_t>(widestRow)].cells;
  double sum = 0.0;
  int selected = 0;
  for (const RowSpread& s : spreads) {
    const bool similarCount = s.cells == widestCells || (s.cells >= 3 && s.cells <= widestCells + 3);
    if (s.cells < 2 || !similarCount || !(std::abs(s.widest - widestGap) < widestGap / 10.0)) continue;
    sum += s.firstY;
    ++selected;
  }
  return selected == 0 ? 0.0 : sum / selected;
}

int EyeContour::DecimalPlaces(double value) {
  // Zero would never reach 1 (and NaN never compares): nothing to count.
  if (!(value > 0.0) || !std::isfinite(value)) return 0;
  int places = 0;
  while (std::floor(value) < 1.0) {
    value *= 10.0;
    ++places;
  }
  return places;
}

namespace {

// The centring of each family: which entries of a capture hold points, and
// the phase the sampling point is set to (the middle of the phase range).
struct CentringFamily {
  int columns;         // entries per map row
  int firstEntry;      // first entry of a row that a capture writes
  std::uint8_t phase;  // sampling phase programmed with the centre threshold
};
constexpr CentringFamily kCentring128{tessok::measure::kEyeColumns128, 0, 64};
// The 64-step single capture writes entries 1 to 63 of each row.
constexpr CentringFamily kCentring64{tessok::measure::kEyeColumns64, 1, 32};

// level / step toward zero as a threshold code: the low 8 bits of the 64-bit
// truncation, 0 for a quotient that is not a number or does not fit.
std::uint8_t CentreCode(double q) {
  if (!(q > -9223372036854775808.0 && q < 9223372036854775808.0)) return 0;
  return static_cast<std::uint8_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(q)) & 0xFF);
}

}  // namespace

double Tessok_API::CenterSamplingPoint(int ch, const double* x, const double* y, const double* ber) {
  if (!tessok::IsLane(ch) || x == nullptr || y == nullptr || ber == nullptr) return kNaN;
  const bool sixtyFourStep = board.row->sixtyFourStep;
  const CentringFamily& family = sixtyFourStep ? kCentring64 : kCentring128;
  const std::size_t perRow = static_cast<std::size_t>(family.columns - family.firstEntry);
  std::vector<double> px, py, pz;
  px.reserve(perRow * tessok::measure::kEyeRows);
  py.reserve(px.capacity());
  pz.reserve(px.capacity());
  for (int r = 0; r < tessok::measure::kEyeRows; ++r) {
    const int first = r * family.columns + family.firstEntry;
    const int end = (r + 1) * family.columns;
    px.insert(px.end(), x + first, x + end);
    py.insert(py.end(), y + first, y + end);
    for (int i = first; i < end; ++i) pz.push_back(tessok::measure::IsEyeCell(ber[i]) ? ber[i] : 0.0);
  }
  double level = 0.0;
  eyeContour.Build(boardModel, std::move(px), std::move(py), std::move(pz), &level);
  const double step = sixtyFourStep ? ComputeThresholdStep(ch, lineRate[ch]) : calibration.thresholdStepMv;
  const double centre = level / step;
  const std::uint8_t code = CentreCode(centre);
  // Neither write's result is examined: the centre is returned in every case.
  SetDecisionThresholdCode(static_cast<std::uint32_t>(ch), code);
  SetSamplingPoint(static_cast<std::uint32_t>(ch), family.phase, code);
  return centre;
}
