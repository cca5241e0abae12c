// EyeContour: the geometry behind eye centring.
//
// Build bins the eye points of a capture into a coarse occupancy grid (25
// threshold rows by 75 phase columns, 35 on the 7792, each with one extra row
// and column for the points at the maxima), labels the 4-connected regions of
// equal occupancy, and takes the largest occupied region (the open eye)
// together with every occupied region of at least a fifth of its size. The
// centre level is the mean over the grid rows of a BER-weighted mean
// threshold: a cell's weight is the number of decimal places of its BER, so
// the cleanest cells count the most. Build also returns a shape code 0 to 5 of
// the eye region (ExtractContour), which the centring does not use.
//
// Labels: region 0 is the region of cell (row 0, column 0); each further label
// goes to the region of the first unlabelled cell in row-major order.
//
// One EyeContour belongs to each instrument object (Tessok_API::eyeContour).
// The grid and the regions of the last build stay until the next build.
#pragma once

#include <cstdint>
#include <vector>

class EyeContour {
 public:
  struct Cell {
    std::uint8_t visited;   // the labelling has reached the cell
    std::uint8_t occupied;  // at least one point with z != 0 fell into the cell
    std::uint32_t label;    // region label
    double x, y, z;         // the last point that fell into the cell
    std::uint32_t column;   // the cell's column index (set by the point that fell into it)
    std::uint32_t row;      // the cell's row index (likewise)
  };

  // Shape codes (ExtractContour); kNoShape also ends a build that cannot bin
  // its points (the level is then left as it was).
  static constexpr int kNoShape = 5;

  // Bins the points with z != 0 (x in ps, y in mV, z a BER) and writes the
  // centre level through level. Points with a non-finite x or y are left out.
  // Returns 5 without writing the level when a cell would be wider or taller
  // than 1e13 or when x, y and z differ in length. All points on one x (or
  // one y) fall into column 0 (or row 0).
  int Build(std::uint32_t model, std::vector<double> x, std::vector<double> y, std::vector<double> z, double* level);
  // Labels the region of the cell at (row, column), whose occupancy is given,
  // then every later region in row-major order of its first cell, with
  // consecutive labels from label on.
  void FloodFill(std::uint32_t label, int column, int row, std::uint8_t occupancy);
  // Collects the labelled cells into regions, merges the eye's regions and
  // writes their centre level; the shape code of the best region.
  int TraceRegions(std::uint32_t model, double* level);
  // Shape code 0 to 5 of the cells carrying label (region is not used).
  int ExtractContour(std::uint32_t label, std::vector<Cell> region);
  // Mean threshold of the first cells of the rows whose spread matches the
  // widest row of the label; 0.0 when no row qualifies (region is not used).
  double MeasureRegion(std::uint32_t label, std::vector<Cell> region);
  // Decimal places of a BER: how often it is multiplied by 10 before its
  // integer part reaches 1 (0.05 gives 2, 3e-7 gives 7, 1.0 gives 0); 0 for
  // zero, negative or non-finite values.
  static int DecimalPlaces(double value);

  std::vector<std::vector<Cell>> regions;  // entry k: the cells labelled k
  std::vector<std::vector<Cell>> grid;     // rows + 1 rows of columns + 1 cells
  std::int32_t columns;
  std::int32_t rows;
  std::int32_t maxLabel;  // highest label of the grid
  std::int32_t pending;   // labelling visits queued and not yet made
};
