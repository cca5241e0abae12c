// Checking and cleaning of the stored bathtub curves: the shape test (an
// opening, few wrong-way slopes, few sudden losses of steepness) and the
// cleaning that drops wrong-way flank points and packs the curve again.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/Tessok_API.h"

namespace {

struct ApiDeleter {
  void operator()(Tessok_API* api) const { DestroyApiInstance(api); }
};
using ApiPtr = std::unique_ptr<Tessok_API, ApiDeleter>;

ApiPtr MakeApi() { return ApiPtr(CreateApiInstance()); }

constexpr double kStep = 0.5;  // position step of the stored curves

// A flank whose log10 BER falls from log10 0.5 at its outer edge (k = 0) to
// -12 at k = count - 1, ever steeper towards the eye.
double SteepeningBer(int k, int count) {
  const double t = static_cast<double>(k) / (count - 1);
  return std::pow(10.0, std::log10(0.5) + (-12.0 - std::log10(0.5)) * t * t);
}

// n entries: a steepening left flank over 0 .. leftCount - 1, a mirrored one
// over n - rightCount .. n - 1, zeros between; position = index x kStep.
std::vector<double> Bathtub(int n, int leftCount, int rightCount) {
  std::vector<double> ber(static_cast<std::size_t>(n), 0.0);
  for (int k = 0; k < leftCount; ++k) ber[k] = SteepeningBer(k, leftCount);
  for (int k = 0; k < rightCount; ++k) ber[n - 1 - k] = SteepeningBer(k, rightCount);
  return ber;
}

// A flank built from its steepness per entry (decades of BER lost per entry),
// outer edge first, starting at 0.5.
void PutFlank(std::vector<double>& ber, int first, int direction, const std::vector<double>& steepness) {
  double logBer = std::log10(0.5);
  ber[first] = 0.5;
  for (std::size_t k = 0; k < steepness.size(); ++k) {
    logBer -= steepness[k];
    ber[first + direction * static_cast<int>(k + 1)] = std::pow(10.0, logBer);
  }
}

// Steepness that halves `halvings` times (0.2 -> 0.1, back up to 0.2 uncounted),
// then stays at 0.2, over 30 entries.
std::vector<double> Halving(int halvings) {
  std::vector<double> s;
  for (int i = 0; i < halvings; ++i) {
    s.push_back(0.2);
    s.push_back(0.1);
  }
  while (s.size() < 30) s.push_back(0.2);
  return s;
}

// Writes a curve into the channel's stored table (BER and positions); entries
// beyond the curve hold a sentinel.
void Store(Tessok_API& api, bool vertical, int ch, const std::vector<double>& ber) {
  double* b = vertical ? api.vBathtubBer[ch] : api.bathtubBer[ch];
  double* x = vertical ? api.vBathtubY[ch] : api.bathtubX[ch];
  const int row = vertical ? 258 : 129;
  for (int i = 0; i < row; ++i) {
    const bool in = i < static_cast<int>(ber.size());
    b[i] = in ? ber[i] : -7.0;
    x[i] = in ? i * kStep : -7.0;
  }
}

TEST(CurveCheck, ShapeOfABathtub) {
  struct Case {
    const char* what;
    std::vector<double> ber;
    bool wellFormed;
  };
  // log10 BER from log10 0.5 to -12 over 0-40 and back over 86-127.
  const std::vector<double> good = Bathtub(128, 41, 42);
  auto raised = [&](bool right, std::initializer_list<int> at) {
    std::vector<double> b = good;
    for (int i : at) {
      const int e = right ? 127 - i : i;
      b[e] = b[right ? e + 1 : e - 1] * 2.0;  // above its outer neighbour
    }
    return b;
  };
  auto halvings = [](int left, int right) {
    std::vector<double> b(128, 0.0);
    PutFlank(b, 0, 1, Halving(left));
    PutFlank(b, 127, -1, Halving(right));
    return b;
  };
  const Case cases[] = {
      {"steepening flanks around an opening", good, true},
      // only the middle entry, which belongs to neither half, is zero
      {"a closed eye", Bathtub(128, 64, 63), false},
      {"3 left points raised: 3 sign errors", raised(false, {5, 15, 25}), true},
      {"4 left points raised", raised(false, {5, 15, 25, 35}), false},
      {"3 right points raised", raised(true, {5, 15, 25}), true},
      {"4 right points raised", raised(true, {5, 15, 25, 35}), false},
      {"steepness halves 3 + 3 times", halvings(3, 3), true},
      {"steepness halves 6 + 0 times", halvings(6, 0), true},
      {"steepness halves 4 + 3 times", halvings(4, 3), false},
      {"steepness halves 0 + 7 times", halvings(0, 7), false},
  };
  auto api = MakeApi();
  for (const Case& c : cases) {
    Store(*api, false, 3, c.ber);
    EXPECT_EQ(api->IsCurveWellFormed(false, 3, 128), c.wellFormed) << c.what;
  }
  // The vertical table over 255 entries.
  Store(*api, true, 5, Bathtub(255, 90, 100));
  EXPECT_TRUE(api->IsCurveWellFormed(true, 5, 255));
  Store(*api, true, 5, Bathtub(255, 127, 127));  // closed
  EXPECT_FALSE(api->IsCurveWellFormed(true, 5, 255));
}

// With no wrong-way point the cleaning drops the middle entry: the entries
// above it move down by one and the last entry stands twice.
TEST(CurveClean, NothingRemovedMovesTheRightFlankInward) {
  struct Case {
    bool vertical;
    int n;
    std::vector<double> ber;
  };
  const Case cases[] = {
      {false, 128, Bathtub(128, 41, 42)},
      {false, 65, Bathtub(65, 20, 21)},  // the 64-step curves: halves 0-31 and 64-33
      {true, 255, Bathtub(255, 90, 100)},
  };
  auto api = MakeApi();
  for (const Case& c : cases) {
    Store(*api, c.vertical, 2, c.ber);
    api->CleanBathtubCurve(c.vertical, 2, c.n);
    const double* ber = c.vertical ? api->vBathtubBer[2] : api->bathtubBer[2];
    const double* x = c.vertical ? api->vBathtubY[2] : api->bathtubX[2];
    const int h = c.n / 2;
    for (int i = 0; i < c.n; ++i) {
      const int from = (i < h || i == c.n - 1) ? i : i + 1;
      EXPECT_EQ(ber[i], c.ber[from]) << c.n << " entry " << i;
      EXPECT_EQ(x[i], from * kStep) << c.n << " entry " << i;
    }
    const int row = c.vertical ? 258 : 129;
    for (int i = c.n; i < row; ++i) EXPECT_EQ(ber[i], -7.0) << c.n << " entry " << i;
  }
}

// Left half 0.1, 0.1, 1e-3, 0, 2e-4, 5e-5: a flat pair marks its later point;
// the zero before 2e-4 gives a slope of plus infinity and marks it; two zeros
// in a row mark nothing. A pair of BER 1.0 points is skipped although flat.
TEST(CurveClean, WrongWayPointsAreDroppedAndTheTopFilledWithZeros) {
  //                                  left half 0-7                 | 8 | right half 15 down to 9
  const std::vector<double> ber = {0.5, 0.1, 0.1, 1e-3, 0, 2e-4, 5e-5, 0, 0, 0, 0, 1e-5, 1e-3, 1e-2, 1.0, 1.0};
  auto api = MakeApi();
  Store(*api, false, 0, ber);
  ASSERT_TRUE(api->IsCurveWellFormed(false, 0, 16));
  api->CleanBathtubCurve(false, 0, 16);
  const std::vector<double> expectBer = {0.5, 0.1, 1e-3, 0, 5e-5, 0, 0, 0, 1e-5, 1e-3, 1e-2, 1.0, 1.0, 0, 0, 1.0};
  const std::vector<double> expectX = {0, 1, 3, 4, 6, 7, 9, 10, 11, 12, 13, 14, 15, 0, 0, 15};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(api->bathtubBer[0][i], expectBer[i]) << i;
    EXPECT_EQ(api->bathtubX[0][i], expectX[i] * kStep) << i;
  }
}

TEST(CurveClean, CurveFailingTheCheckIsLeftAlone) {
  auto api = MakeApi();
  std::vector<double> closed(128, 1e-3);
  closed[20] = 2e-3;  // a wrong-way point that cleaning would otherwise drop
  Store(*api, false, 1, closed);
  api->CleanBathtubCurve(false, 1, 128);
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(api->bathtubBer[1][i], closed[i]) << i;
    EXPECT_EQ(api->bathtubX[1][i], i * kStep) << i;
  }
}

}  // namespace
