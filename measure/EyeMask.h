// Eye-mask test: counts the measured eye points that violate a polygonal mask.
//
// A mask (EyeMaskShape, x in ps and y in mV) is a ten-vertex polygon around
// the centre line M6 with a flat top and bottom between M1 and M2, and two
// limits: points above M10 or below M9 are hits wherever they lie in x.
//
//           (M4,M12)  (M1,M8)------(M2,M8)  (M5,M12)
//   (M0,M6)                                          (M3,M6)
//           (M4,M11)  (M1,M7)------(M2,M7)  (M5,M11)
//
// The eight sloped edges are sampled at 201 equally spaced x (BuildEdges); a
// point between M0 and M3 and between M7 and M8 is a hit when it lies on the
// inner side of the sampled edge at or below its x (the sample at the largest
// grid x not beyond it), or anywhere strictly between M1 and M2. A point that
// is beyond a limit and inside the polygon counts twice.
//
// A shape or template holding a NaN or an infinity, or a template whose growth
// divides by zero, is refused: the count is kRefusedCount (every bit set), so a
// bad mask never reads as a pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// M0 to M12: x of the left vertex, x where the flat top and bottom begin and
// end, x of the right vertex, x of the left and right shoulders, height of the
// centre line, of the flat bottom and top, lower and upper limits, heights of
// the lower and upper shoulders.
struct EyeMaskShape {
  double m[13];
};

// A mask in a frame of one unit interval: P0 is where the interval starts
// (its centre is P0 + 0.5), P1 the top and P2 the bottom boundary, P3 to P15
// the shape M0 to M12 at margin 0.
struct EyeMaskTemplate {
  double p[16];
};

class EyeMask {
 public:
  // One sampled edge: its height at 201 x spaced step apart from its start.
  struct EdgeTable {
    double y[201];
    double step;
  };

  static constexpr std::uint64_t kRefusedCount = std::numeric_limits<std::uint64_t>::max();
  static constexpr int kEdgeSamples = 201;

  virtual ~EyeMask() = default;

  // Hits among the first n points (x, y): those within xMin..xMax that lie
  // beyond a limit or inside the mask. Fills hitX and hitY with them in the
  // order found and returns their number; 0 (lists emptied) for n < 1;
  // kRefusedCount (lists emptied) for a shape that is not finite or points
  // that are null.
  std::uint64_t CountHits(const double* x, const double* y, int n, double xMin, double xMax, EyeMaskShape shape);
  // Samples the eight sloped edges of the shape into edges.
  void BuildEdges(EyeMaskShape shape);
  // *hits = the count of the template grown by margin over the interval P0 to
  // P0 + 1 (all ones when the template is refused or the points are null);
  // nothing when hits is null.
  void CountHitsAtMargin(const double* x, const double* y, std::uint32_t n, std::uint32_t* hits, double margin,
                         EyeMaskTemplate t);
  // Grows the template from margin 0 in steps of 0.01 while no more than
  // `allowed` points hit (compared as unsigned 64-bit values) and the margin
  // is below 1.01. On return *margin is the first margin that failed (or the
  // last tried), *hits the count of the margin before it, and the result the
  // count of the last evaluation. A refused template or null pointers give
  // kRefusedCount, with *hits all ones and *margin -1.0 where they can be written.
  std::uint64_t FindMaskMargin(const double* x, const double* y, std::uint32_t n, int allowed, std::uint32_t* hits,
                               double* margin, EyeMaskTemplate t);
  // trunc((a - b) / step); 0 for a negative or NaN quotient, saturated at the
  // largest u32.
  static std::uint32_t ToIndex(double a, double b, double step);

  EdgeTable edges[8];
  double slope;      // of the edge being sampled
  double intercept;  // likewise
  std::vector<double> hitX;
  std::vector<double> hitY;
};
