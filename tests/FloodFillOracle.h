// The labelling of the eye centring's occupancy grid written out literally,
// as a recursive fill with its queue counter: each call queues the unvisited
// neighbours of equal occupancy (column + 1, column - 1, row + 1, row - 1),
// visits them, and when nothing is queued any more starts the next label at
// the first unvisited cell in row-major order. The eye-contour tests hold
// EyeContour's labels against it, and the eye benchmark's centring baseline
// labels with it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "measure/EyeContour.h"

namespace tessok::test {

struct RecursiveFill {
  using Cell = EyeContour::Cell;
  // rows + 1 rows of columns + 1 cells.
  std::vector<std::vector<Cell>> grid;
  int columns = 75, rows = 25;
  int pending = 1;

  void Fill(std::uint32_t label, int column, int row, std::uint8_t occupancy) {
    pending -= 1;
    Cell& cell = grid[row][column];
    if (cell.visited) return;
    cell.visited = 1;
    cell.label = label;
    std::pair<int, int> queued[4];
    int n = 0;
    auto queue = [&](int c, int r) {
      if (!grid[r][c].visited && grid[r][c].occupied == occupancy) {
        queued[n++] = {c, r};
        pending += 1;
      }
    };
    if (column < columns) queue(column + 1, row);
    if (column > 0) queue(column - 1, row);
    if (row < rows) queue(column, row + 1);
    if (row > 0) queue(column, row - 1);
    for (int i = 0; i < n; ++i) Fill(label, queued[i].first, queued[i].second, occupancy);
    if (pending != 0) return;
    for (int r = 0; r <= rows; ++r) {
      for (int c = 0; c <= columns; ++c) {
        if (grid[r][c].visited) continue;
        pending = 1;
        Fill(label + 1, c, r, grid[r][c].occupied);
        return;
      }
    }
  }
};

}  // namespace tessok::test
