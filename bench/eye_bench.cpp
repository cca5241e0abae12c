// Eye maps on the host: decoding captured blocks, counting mask hits over a
// whole map, centring the sampling point on an eye, and the packets a map
// costs on the wire.
//
// Budgets, each beside the plainest correct code for the job (a direct
// transcription of the operation) in the same run, reported after the run
// (bench/Budget.h); a result that differs from the transcription ends the
// benchmark with an error:
// - capture processing, the decode of the blocks into x, y, BER and the
//   stored map: at most 2 ns per map point, no allocation;
// - the mask count over a full 128 x 256 map, a mask hitting about a
//   quarter: at most 10 ns per point, no allocation once the hit lists have
//   their room;
// - centring on a two-bar eye and on a checkerboard of 1,976 one-cell
//   regions: at most 50 and 100 ns per map point, no allocation that grows
//   with the points;
// - packets per map at the fewest the wire needs: 128-step single capture
//   292 (the 0x30C write and read, 256 blocks, 34 for the centring),
//   64-step 118 (16 for the level record, 4 for the gate, 64 blocks, 34),
//   multi-channel one per channel and column, plus the gate and, on 64-step
//   boards, each channel's level record at the last column.
// Timings are the fastest of many rounds, the two sides alternating. Run as
//   build/bench/tessok_bench --benchmark_filter=Eye
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "AllocationCount.h"
#include "Budget.h"
#include "Timing.h"
#include "core/Tessok_API.h"
#include "measure/EyeCapture.h"
#include "measure/EyeContour.h"
#include "measure/EyeMask.h"
#include "platform/Sleep.h"
#include "sim/Models.h"
#include "sim/SimInstrument.h"
#include "tessok/tessok.h"
#include "tests/FloodFillOracle.h"

namespace {

using tessok::bench::Bound;
using tessok::bench::Clock;
using tessok::bench::FastestOfEach;
using tessok::bench::Ns;
using tessok::bench::ReportBudget;
using namespace tessok::measure;

struct ApiHolder {
  explicit ApiHolder(std::uint32_t model) : api(CreateApiInstance()) {
    if (api == nullptr) return;
    api->boardModel = model;
    api->RefreshBoardTraits();
    for (double& r : api->lineRate) r = 10.3125;
    for (double& p : api->phaseStep) p = 1000.0 / (10.3125 * 129);
    api->calibration.thresholdStepMv = 2.0;
  }
  ~ApiHolder() { DestroyApiInstance(api); }
  Tessok_API* api;
};

std::vector<std::uint8_t> RandomBlocks(std::size_t blocks) {
  std::vector<std::uint8_t> area(blocks * 1024);
  std::uint32_t seed = 12345;
  for (std::uint8_t& b : area) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 16);
  }
  return area;
}

bool Same(const std::vector<double>& a, const std::vector<double>& b) {
  return std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// ---- Capture processing ----

// The decodings as the operations read: block r is threshold row r, its word
// k column k (128-step); block c is phase column c, its count r row r, put
// at entry r x 64 + 63 - c (64-step).
void BaselineRows128(const std::uint8_t* blocks, double phaseStep, double step, double* x, double* y, double* ber,
                     double* map) {
  for (int r = 0; r < 256; ++r) {
    for (int k = 0; k < 128; ++k) {
      const int i = r * 128 + k;
      std::uint16_t word;
      std::memcpy(&word, blocks + r * 1024 + 2 * k, 2);
      ber[i] = word / 25000.0;
      x[i] = (128 - k) * phaseStep;
      y[i] = r * step;
      map[i] = ber[i];
    }
  }
}
void BaselineColumns64(const std::uint8_t* blocks, double phaseStep, double step, double* x, double* y, double* ber,
                       double* map) {
  for (int r = 0; r < 256; ++r) {
    for (int c = 0; c < 63; ++c) {
      const int i = r * 64 + (63 - c);
      std::uint32_t count;
      std::memcpy(&count, blocks + c * 1024 + 4 * r, 4);
      x[i] = c * phaseStep;
      ber[i] = count / 10000.0;
      y[i] = r * step;
      map[i] = ber[i];
    }
  }
}

void Decode(benchmark::State& state, bool sixtyFourStep) {
  const std::vector<std::uint8_t> blocks = RandomBlocks(256);
  const std::size_t n = sixtyFourStep ? 16384 : 32768;
  const int points = sixtyFourStep ? 256 * 63 : 32768;
  std::vector<double> x(n), y(n), ber(n), map(n), bx(n), by(n), bber(n), bmap(n);
  const double phaseStep = 0.7559, step = 2.5;
  auto library = [&] {
    if (sixtyFourStep) {
      DecodeColumnBlocks64(blocks.data(), phaseStep, step, x.data(), y.data(), ber.data(), map.data());
    } else {
      DecodeRowBlocks128(blocks.data(), phaseStep, step, x.data(), y.data(), ber.data(), map.data());
    }
    benchmark::ClobberMemory();
  };
  auto baseline = [&] {
    if (sixtyFourStep) {
      BaselineColumns64(blocks.data(), phaseStep, step, bx.data(), by.data(), bber.data(), bmap.data());
    } else {
      BaselineRows128(blocks.data(), phaseStep, step, bx.data(), by.data(), bber.data(), bmap.data());
    }
    benchmark::ClobberMemory();
  };
  double lib = 0, base = 0;
  const long before = tessok::bench::Allocations();
  for (auto _ : state) std::tie(lib, base) = FastestOfEach(300, library, baseline);
  const long allocations = tessok::bench::Allocations() - before;
  state.counters["ns_per_point"] = lib / points;
  state.counters["baseline_ns_per_point"] = base / points;
  state.counters["allocations"] = static_cast<double>(allocations);
  if (!Same(x, bx) || !Same(y, by) || !Same(ber, bber) || !Same(map, bmap)) {
    state.SkipWithError("the decoding differs from the baseline");
    return;
  }
  ReportBudget("ns per map point", lib / points, 2.0);
  ReportBudget("allocations", static_cast<double>(allocations), 0);
}

void BM_EyeCaptureDecode128(benchmark::State& s) { Decode(s, false); }
void BM_EyeCaptureDecode64(benchmark::State& s) { Decode(s, true); }
BENCHMARK(BM_EyeCaptureDecode128)->Iterations(3);
BENCHMARK(BM_EyeCaptureDecode64)->Iterations(3);

// ---- Mask count ----

// The count as the operation reads, hits into fresh lists.
std::uint64_t BaselineCount(const double* x, const double* y, int n, double xMin, double xMax,
                            const EyeMaskShape& shape, std::vector<double>& hitX, std::vector<double>& hitY) {
  const double* m = shape.m;
  EyeMask::EdgeTable edges[8];
  const int ends[8][4] = {{0, 6, 4, 12}, {4, 12, 1, 8}, {2, 8, 5, 12}, {5, 12, 3, 6},
                          {5, 11, 3, 6}, {2, 7, 5, 11}, {4, 11, 1, 7}, {0, 6, 4, 11}};
  for (int e = 0; e < 8; ++e) {
    const double xa = m[ends[e][0]], ya = m[ends[e][1]], xb = m[ends[e][2]], yb = m[ends[e][3]];
    edges[e].step = (xb - xa) / 200;
    const double slope = (yb - ya) / (xb - xa), intercept = yb - slope * xb;
    for (int i = 0; i <= 200; ++i) edges[e].y[i] = (xa + i * edges[e].step) * slope + intercept;
  }
  hitX = {};
  hitY = {};
  for (int i = 0; i < n; ++i) {
    const double px = x[i], py = y[i];
    if (px < xMin || px > xMax) continue;
    if (py > m[10] || py < m[9]) hitX.push_back(px), hitY.push_back(py);
    if (py > m[8] || py < m[7] || px < m[0] || px > m[3]) continue;
    if (m[1] < px && px < m[2]) {
      hitX.push_back(px), hitY.push_back(py);
      continue;
    }
    int up, low;
    double offset;
    if (px < m[4]) {
      up = 0, low = 7, offset = px - m[0];
    } else if (px < m[1]) {
      up = 1, low = 6, offset = px - m[4];
    } else if (px > m[5]) {
      up = 3, low = 4, offset = px - m[5];
    } else if (px > m[2]) {
      up = 2, low = 5, offset = px - m[2];
    } else {
      continue;
    }
    if (py > m[6]) {
      if (edges[up].y[static_cast<int>(offset / edges[up].step)] > py) hitX.push_back(px), hitY.push_back(py);
    } else if (py > edges[low].y[static_cast<int>(offset / edges[low].step)]) {
      hitX.push_back(px), hitY.push_back(py);
    }
  }
  return hitX.size();
}

void BM_EyeMaskCountHits(benchmark::State& state) {
  // The points of a full 128-step map: x = (128 - k) phase steps of a 100 ps
  // unit interval, y = 2 r mV.
  std::vector<double> x(32768), y(32768);
  for (int r = 0; r < 256; ++r) {
    for (int k = 0; k < 128; ++k) {
      x[r * 128 + k] = (128 - k) * (100.0 / 129);
      y[r * 128 + k] = 2.0 * r;
    }
  }
  const EyeMaskShape shape{{20, 30, 80, 90, 25, 85, 255, 150, 360, -1000, 1000, 200, 310}};
  EyeMask mask;
  std::vector<double> bx, by;
  std::uint64_t hits = 0, baseHits = 0;
  hits = mask.CountHits(x.data(), y.data(), 32768, 0.0, 100.0, shape);  // gives the hit lists their room
  auto library = [&] {
    hits = mask.CountHits(x.data(), y.data(), 32768, 0.0, 100.0, shape);
    benchmark::DoNotOptimize(hits);
  };
  auto baseline = [&] {
    baseHits = BaselineCount(x.data(), y.data(), 32768, 0.0, 100.0, shape, bx, by);
    benchmark::DoNotOptimize(baseHits);
  };
  double lib = 0, base = 0;
  long allocations = 0;
  for (auto _ : state) {
    lib = base = 1e300;
    for (int r = 0; r < 200; ++r) {
      const long before = tessok::bench::Allocations();
      auto t0 = Clock::now();
      library();
      auto t1 = Clock::now();
      allocations += tessok::bench::Allocations() - before;
      baseline();
      auto t2 = Clock::now();
      lib = std::min(lib, Ns(t1 - t0));
      base = std::min(base, Ns(t2 - t1));
    }
  }
  state.counters["ns_per_point"] = lib / 32768;
  state.counters["baseline_ns_per_point"] = base / 32768;
  state.counters["hit_fraction"] = static_cast<double>(hits) / 32768;
  state.counters["allocations"] = static_cast<double>(allocations);
  if (hits != baseHits || mask.hitX != bx || mask.hitY != by) {
    state.SkipWithError("the count differs from the baseline");
    return;
  }
  if (hits < 32768 / 5 || hits > 32768 * 3 / 10) {
    state.SkipWithError("the mask does not hit about a quarter of the map");
    return;
  }
  ReportBudget("ns per point", lib / 32768, 10.0);
  ReportBudget("allocations", static_cast<double>(allocations), 0);
}
BENCHMARK(BM_EyeMaskCountHits)->Iterations(3);

// ---- Centring ----

// The centring's geometry as the operation reads: a recursive labelling, the
// regions collected and merged, the level averaged over the grid rows.
struct BaselineContour : tessok::test::RecursiveFill {
  std::vector<std::vector<Cell>> regions;

  static int Places(double v) {
    if (!(v > 0.0)) return 0;
    int k = 0;
    while (std::floor(v) < 1.0) v *= 10.0, ++k;
    return k;
  }
  double Level(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& z) {
    regions.clear();
    grid.clear();
    double minX = 1.7976931348623157e308, minY = minX, maxX = 0, maxY = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (z[i] == 0) continue;
      minX = std::min(minX, x[i]), maxX = std::max(maxX, x[i]);
      minY = std::min(minY, y[i]), maxY = std::max(maxY, y[i]);
    }
    const double w = (maxX - minX) / columns, h = (maxY - minY) / rows;
    grid.assign(rows + 1, std::vector<Cell>(columns + 1, Cell{}));
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (z[i] == 0) continue;
      const auto r = static_cast<std::uint32_t>((y[i] - minY) / h), c = static_cast<std::uint32_t>((x[i] - minX) / w);
      grid[r][c] = {0, 1, 0, x[i], y[i], z[i], c, r};
    }
    regions.push_back({grid[0][0]});
    pending = 1;
    Fill(0, 0, 0, grid[0][0].occupied);
    std::uint32_t maxLabel = 0;
    for (auto& row : grid) {
      for (auto& cell : row) maxLabel = std::max(maxLabel, cell.label);
    }
    regions.resize(1 + maxLabel);
    for (auto& row : grid) {
      for (auto& cell : row) regions[cell.label].push_back(cell);
    }
    std::size_t best = 0, count = 0;
    for (std::size_t k = 0; k < regions.size(); ++k) {
      if (regions[k][0].occupied && regions[k].size() > count) best = k, count = regions[k].size();
    }
    for (std::size_t k = 0; k < regions.size(); ++k) {
      if (k != best && regions[k][0].occupied && regions[k].size() >= count / 5) {
        regions[best].insert(regions[best].end(), regions[k].begin(), regions[k].end());
      }
    }
    std::vector<std::vector<Cell>> levels(rows + 1, std::vector<Cell>(columns + 1, Cell{}));
    std::vector<std::vector<int>> places(rows + 1, std::vector<int>(columns + 1, 0));
    for (const Cell& cell : regions[best]) {
      levels[cell.row][cell.column] = cell;
      places[cell.row][cell.column] = Places(cell.z);
    }
    double sum = 0;
    int n = 0;
    for (int r = 0; r <= rows; ++r) {
      double dy = 0, d = 0;
      bool any = false;
      for (int c = 0; c <= columns; ++c) {
        if (levels[r][c].z == 0) continue;
        dy += places[r][c] * levels[r][c].y, d += places[r][c], any = true;
      }
      if (any) sum += dy / d, ++n;
    }
    return sum / n;
  }
};

struct CaptureArrays {
  std::vector<double> x = std::vector<double>(32768), y = std::vector<double>(32768), ber = std::vector<double>(32768);
};

// A 128-step capture's arrays where eye(r, k) marks the eye cells.
CaptureArrays MakeCapture(const std::function<bool(int r, int k)>& eye) {
  CaptureArrays a;
  for (int r = 0; r < 256; ++r) {
    for (int k = 0; k < 128; ++k) {
      const int i = r * 128 + k;
      a.x[i] = (128 - k) * (1000.0 / (10.3125 * 129));
      a.y[i] = 2.0 * r;
      a.ber[i] = eye(r, k) ? 1e-6 * (1 + (r + k) % 9) : 0.5;
    }
  }
  return a;
}

// Eye cells in every grid cell whose row and column add up to an even
// number: the corners (0, 0) and (25, 75) are among them, so the grid spans
// the whole map and each of its 26 x 76 cells is a region of its own.
CaptureArrays Checkerboard() {
  const double minX = 1000.0 / (10.3125 * 129), maxX = 128 * minX, maxY = 510.0;
  const double w = (maxX - minX) / 75, h = maxY / 25;
  return MakeCapture([&](int r, int k) {
    const auto row = static_cast<int>((2.0 * r) / h);
    const auto column = static_cast<int>(((128 - k) * minX - minX) / w);
    return (std::min(row, 25) + std::min(column, 75)) % 2 == 0;
  });
}

void Centre(benchmark::State& state, const CaptureArrays& a, double budgetNs, std::int32_t expectedMaxLabel) {
  ApiHolder holder(7652);
  Tessok_API* api = holder.api;
  if (api == nullptr) {
    state.SkipWithError("no memory for an instrument object");
    return;
  }
  // Not connected: the two register writes fail at once; their records'
  // waits are not spent.
  const tessok::platform::SleepHook previous = tessok::platform::SetSleepHook([](std::uint32_t) {});
  BaselineContour baselineContour;
  double centre = 0, baseCentre = 0;
  auto library = [&] { centre = api->CenterSamplingPoint(0, a.x.data(), a.y.data(), a.ber.data()); };
  auto baseline = [&] {
    std::vector<double> x(a.x), y(a.y), z(32768);
    for (int i = 0; i < 32768; ++i) z[i] = IsEyeCell(a.ber[i]) ? a.ber[i] : 0.0;
    baseCentre = baselineContour.Level(x, y, z) / api->calibration.thresholdStepMv;
    const double q = baseCentre;
    const std::uint8_t code = std::isfinite(q) ? static_cast<std::uint8_t>(static_cast<std::int64_t>(q) & 0xFF) : 0;
    api->SetDecisionThresholdCode(0, code);
    api->SetSamplingPoint(0, 64, code);
  };
  double lib = 0, base = 0;
  long perCall = 0;
  for (auto _ : state) {
    std::tie(lib, base) = FastestOfEach(30, library, baseline);
    const long before = tessok::bench::Allocations();
    library();
    perCall = tessok::bench::Allocations() - before;
  }
  // The build's allocations do not grow with the points: each point twice
  // lands in the same cells.
  std::vector<double> x2(a.x), y2(a.y), z2(32768);
  for (int i = 0; i < 32768; ++i) z2[i] = IsEyeCell(a.ber[i]) ? a.ber[i] : 0.0;
  std::vector<double> x1(x2), y1(y2), z1(z2);
  x2.insert(x2.end(), x1.begin(), x1.end());
  y2.insert(y2.end(), y1.begin(), y1.end());
  z2.insert(z2.end(), z1.begin(), z1.end());
  // Each build on a fresh contour, so that neither finds room left by the other.
  EyeContour contour, doubled;
  double level = 0;
  long before = tessok::bench::Allocations();
  contour.Build(7652, std::move(x1), std::move(y1), std::move(z1), &level);
  const long once = tessok::bench::Allocations() - before;
  const std::int32_t maxLabel = contour.maxLabel;
  before = tessok::bench::Allocations();
  doubled.Build(7652, std::move(x2), std::move(y2), std::move(z2), &level);
  const long twice = tessok::bench::Allocations() - before;
  tessok::platform::SetSleepHook(previous);

  state.counters["ns_per_point"] = lib / 32768;
  state.counters["baseline_ns_per_point"] = base / 32768;
  state.counters["regions"] = maxLabel + 1;
  state.counters["allocations_per_call"] = static_cast<double>(perCall);
  state.counters["build_allocations"] = static_cast<double>(once);
  state.counters["build_allocations_doubled_points"] = static_cast<double>(twice);
  if (centre != baseCentre) {
    state.SkipWithError("the centre differs from the baseline");
    return;
  }
  if (maxLabel != expectedMaxLabel) {
    state.SkipWithError("the eye does not have the regions it was made with");
    return;
  }
  ReportBudget("ns per map point", lib / 32768, budgetNs);
  ReportBudget("build allocations added by doubling the points", static_cast<double>(twice - once), 0);
}

void BM_EyeCentreTwoBars(benchmark::State& s) {
  // Rows 60-80 and 170-190: the top and bottom bands of the grid (with the
  // background between them, and nothing else, three regions).
  Centre(s, MakeCapture([](int r, int) { return (r >= 60 && r <= 80) || (r >= 170 && r <= 190); }), 50.0, 2);
}
void BM_EyeCentreCheckerboard(benchmark::State& s) { Centre(s, Checkerboard(), 100.0, 1975); }
BENCHMARK(BM_EyeCentreTwoBars)->Iterations(1);
BENCHMARK(BM_EyeCentreCheckerboard)->Iterations(1);

// ---- Packets per map ----

struct MapCase {
  const char* name;
  std::uint16_t model;
  std::size_t packets;  // the fewest the wire needs
  int points;
  std::function<void(Tessok_API&, double*, double*, double*)> run;
};

void BM_EyePacketsPerMap(benchmark::State& state) {
  const int two[4] = {1, 0, 1, 0};
  const MapCase maps[] = {
      {"single_128", 7652, 2 + 256 + 34, 32768,
       [](Tessok_API& a, double* x, double* y, double* b) { a.CaptureEyeDiagram(0, x, y, b); }},
      {"single_64", 7822, 16 + 4 + 64 + 34, 16128,
       [](Tessok_API& a, double* x, double* y, double* b) { a.CaptureEyeDiagram(0, x, y, b); }},
      {"multi_128_two_channels", 7652, 4 + 2 * 128, 2 * 32768,
       [&](Tessok_API& a, double* x, double* y, double* b) {
         for (std::uint32_t c = 0; c < 128; ++c) a.CaptureEyeDiagramMultiChannel(two, c, x, y, b);
       }},
      {"multi_64_two_channels", 7822, 4 + 2 * 64 + 2 * 16, 2 * 16384,
       [&](Tessok_API& a, double* x, double* y, double* b) {
         for (std::uint32_t c = 0; c < 64; ++c) a.CaptureEyeDiagramMultiChannel(two, c, x, y, b);
       }},
  };
  std::vector<double> x(4 * 32768), y(4 * 32768), ber(4 * 32768);
  const tessok::platform::SleepHook previous = tessok::platform::SetSleepHook([](std::uint32_t) {});
  for (auto _ : state) {
    for (const MapCase& m : maps) {
      tessok::sim::SimInstrument sim(m.model == 7652 ? "127.0.203.1" : "127.0.203.2");
      tessok::sim::ApplyModel(sim, m.model);
      sim.SetReadValue(0, 0x30C, 0x4040);  // a sampling point: the capture is not refused
      if (APIConnect(0, sim.Address().c_str()) != 1) {
        tessok::platform::SetSleepHook(previous);
        state.SkipWithError("cannot connect to the simulated instrument");
        return;
      }
      sim.ClearLog();
      m.run(g_apiInstances[0], x.data(), y.data(), ber.data());
      const std::size_t packets = sim.RequestCount();
      APIDisconnect(0);
      state.counters[std::string(m.name) + "_packets"] = static_cast<double>(packets);
      state.counters[std::string(m.name) + "_per_point"] = static_cast<double>(packets) / m.points;
      ReportBudget(std::string(m.name) + " packets", static_cast<double>(packets), static_cast<double>(m.packets),
                   Bound::Exactly);
    }
  }
  tessok::platform::SetSleepHook(previous);
}
BENCHMARK(BM_EyePacketsPerMap)->Iterations(1);

}  // namespace
