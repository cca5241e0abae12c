// Si5346 frequency planner: the worked plans, an independent check of every
// plan against the chip's divider relations, the searches against plain walks,
// the fraction conversion and the requests for which no plan exists.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "clock/ClockRegisterList.h"
#include "clock/Decimal.h"
#include "clock/SI5346_API.h"

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr std::uint64_t kTwo31 = 0x80000000ull;
constexpr std::uint64_t kNDen = 0xA0000000ull;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- Exact non-negative rationals, independent of the planner's decimals ----

u128 Gcd(u128 a, u128 b) {
  while (b != 0) {
    u128 t = a % b;
    a = b;
    b = t;
  }
  return a;
}

struct Ratio {
  u128 num = 0;
  u128 den = 1;
};

Ratio Reduced(u128 num, u128 den) {
  u128 g = Gcd(num, den);
  return g == 0 ? Ratio{0, 1} : Ratio{num / g, den / g};
}

u128 MulChecked(u128 a, u128 b) {
  u128 r = 0;
  if (__builtin_mul_overflow(a, b, &r)) ADD_FAILURE() << "rational product beyond 128 bits";
  return r;
}

Ratio operator*(Ratio a, Ratio b) {
  u128 g1 = Gcd(a.num, b.den);
  u128 g2 = Gcd(b.num, a.den);
  if (g1 == 0) g1 = 1;
  if (g2 == 0) g2 = 1;
  return Reduced(MulChecked(a.num / g1, b.num / g2), MulChecked(a.den / g2, b.den / g1));
}
Ratio operator/(Ratio a, Ratio b) { return a * Ratio{b.den, b.num}; }
Ratio Int(std::uint64_t v) { return Ratio{v, 1}; }

// A finite positive double is exactly mantissa x 2^exponent.
Ratio Exact(double x) {
  EXPECT_TRUE(std::isfinite(x) && x > 0) << x;
  int e = 0;
  double m = std::frexp(x, &e);  // x = m x 2^e, 0.5 <= m < 1
  auto mant = static_cast<std::uint64_t>(std::ldexp(m, 53));
  e -= 53;
  if (e >= 0) return Reduced(static_cast<u128>(mant) << e, 1);
  return Reduced(mant, static_cast<u128>(1) << -e);
}

bool operator==(Ratio a, Ratio b) { return a.num == b.num && a.den == b.den; }  // both reduced
// a < k and friends against an integer, exactly.
bool Less(Ratio a, std::uint64_t k) { return a.num < MulChecked(k, a.den); }
bool LessEq(Ratio a, std::uint64_t k) { return a.num <= MulChecked(k, a.den); }
u128 Floor(Ratio a) { return a.num / a.den; }
long double Ld(Ratio a) { return static_cast<long double>(a.num) / static_cast<long double>(a.den); }

void PrintTo(const Ratio& r, std::ostream* os) { *os << static_cast<double>(Ld(r)); }

// ---- Requests, plans and their register values ----

struct Request {
  double f1, f2, f3, f4;
  std::uint32_t mode;
  int boardId;
};

std::string Describe(const Request& q) {
  return "f1 " + std::to_string(q.f1) + " f2 " + std::to_string(q.f2) + " f3 " + std::to_string(q.f3) + " f4 " +
         std::to_string(q.f4) + " mode " + std::to_string(q.mode) + " board " + std::to_string(q.boardId);
}

struct Outcome {
  bool ok;
  double f1, f2, f3, f4;
};

Outcome MakePlan(SI5346_API& planner, const Request& q) {
  Outcome o{false, q.f1, q.f2, q.f3, q.f4};
  o.ok = planner.ComputePlan(&o.f1, &o.f2, &o.f3, &o.f4, q.mode, q.boardId);
  return o;
}

// The divider fields read back from the body of a plan (least significant
// byte first, one byte per address).
struct Decoded {
  std::uint64_t pA, pADen, pB, pBDen;
  std::uint64_t rRegA, rRegA1, rRegB, rRegB3;
  std::uint64_t wordA, wordB, wordB3;
  std::uint64_t n0Num, n0Den, n1Num, n1Den;
  std::uint64_t mNumA, mDenA, mNumB, mDenB;
};

Decoded Decode(const SI5346_API& planner, std::uint32_t mode) {
  std::map<std::uint16_t, std::uint16_t> body;
  for (std::size_t i = 2; i + 5 < planner.addresses.size(); ++i) body[planner.addresses[i]] = planner.values[i];
  auto field = [&](std::uint16_t first, int bytes) {
    std::uint64_t v = 0;
    for (int j = 0; j < bytes; ++j) {
      auto it = body.find(static_cast<std::uint16_t>(first + j));
      if (it == body.end()) {
        ADD_FAILURE() << "no register " << first + j;
        continue;
      }
      v |= static_cast<std::uint64_t>(it->second) << (8 * j);
    }
    return v;
  };
  const std::uint16_t pB = mode == 2 ? 0x0226 : 0x021C;
  return Decoded{field(0x0208, 6), field(0x020E, 4), field(pB, 6),     field(pB + 6, 4), field(0x0250, 3),
                 field(0x0253, 3), field(0x025C, 3), field(0x025F, 3), field(0x0112, 1), field(0x0126, 1),
                 field(0x012B, 1), field(0x0302, 6), field(0x0308, 4), field(0x030D, 6), field(0x0313, 4),
                 field(0x0415, 7), field(0x041C, 4), field(0x0515, 7), field(0x051C, 4)};
}

// One DSPLL as the chip sees it, from the register values alone.
struct Loop {
  const char* name;
  double fin, request, achieved;
  std::uint64_t p, pDen, rReg, rRegOther, word, wordOther, mNum, mDen, nNum, nDen;
  bool closedWindow;  // DSPLL A: 710 <= floor(Fn) <= 1420; DSPLL B: 710 < Fn < 1420
  bool ceilingP;      // P is the smallest with Fpfd <= 2 (else, DSPLL B: Fpfd < 2)
  bool floorP;        // mode 0 DSPLL A: the largest P with Fpfd >= 2
  bool nineDecimalM;  // DSPLL A: M_NUM / M_DEN holds M rounded to 9 decimals
  bool truncatedM;    // DSPLL B in modes 1 and 2: M truncated to 9 decimals first
};

void CheckLoop(const Loop& l) {
  SCOPED_TRACE(l.name);
  ASSERT_TRUE(std::isfinite(l.achieved));
  EXPECT_EQ(l.pDen, 1u);
  EXPECT_EQ(l.rReg, l.rRegOther) << "both outputs of a DSPLL share its R";
  EXPECT_EQ(l.word, l.wordOther);
  EXPECT_TRUE(l.word == 0x02 || l.word == 0x06) << l.word;
  ASSERT_GE(l.p, 1u);
  ASSERT_GT(l.mDen, 0u);
  ASSERT_GT(l.nNum, 0u);

  const Ratio fin = Exact(l.fin);
  const Ratio fout = Exact(l.request);
  const std::uint64_t r = 2 * (l.rReg + 1);
  // With bit 2 of the output word the chip divides by 2 whatever R_REG says:
  // only a plan with R = 2 may set it.
  const bool force2 = (l.word & 0x04) != 0;
  if (force2) {
    EXPECT_EQ(l.rReg, 0u);
  }
  const std::uint64_t rOut = force2 ? 2 : r;

  // Phase detector from the input divider.
  const Ratio fpfd = fin / Int(l.p);
  EXPECT_FALSE(Less(fpfd, 1)) << "Fpfd below 1 MHz";
  if (l.ceilingP) {
    EXPECT_TRUE(l.closedWindow ? LessEq(fpfd, 2) : Less(fpfd, 2)) << "Fpfd above 2 MHz";
    if (l.p > 1) {
      Ratio wider = fin / Int(l.p - 1);
      EXPECT_FALSE(l.closedWindow ? LessEq(wider, 2) : Less(wider, 2)) << "a smaller P would do";
    }
  }
  if (l.floorP) {
    EXPECT_FALSE(Less(fpfd, 2));
    EXPECT_TRUE(Less(fin / Int(l.p + 1), 2)) << "a larger P would do";
  }

  // Window ahead of R, and R the smallest even divider that reaches it
  // (the phase-detector tests cannot reject anything with 1 <= Fpfd <= 2).
  const Ratio fn = Int(r) * fout;
  if (l.closedWindow) {
    EXPECT_TRUE(Floor(fn) >= 710 && Floor(fn) <= 1420) << "Fn " << static_cast<double>(Ld(fn));
  } else {
    EXPECT_TRUE(!LessEq(fn, 710) && Less(fn, 1420)) << "Fn " << static_cast<double>(Ld(fn));
  }
  if (r > 2 && LessEq(fpfd, 2)) {
    Ratio below = Int(r - 2) * fout;
    EXPECT_TRUE(l.closedWindow ? Floor(below) < 710 : LessEq(below, 710)) << "a smaller R would do";
  }

  // N = 14200 / Fn over 0xA0000000, rounded down.
  EXPECT_EQ(l.nDen, kNDen);
  EXPECT_EQ(static_cast<std::uint64_t>(Floor(Int(14200) * Int(kNDen) / fn)), l.nNum);

  // Feedback ratio M = Fn / Fpfd against its register fraction.
  const Ratio m = fn / fpfd;
  const long double mReg = static_cast<long double>(l.mNum) / static_cast<long double>(l.mDen);
  if (l.nineDecimalM) {
    EXPECT_EQ(static_cast<std::uint64_t>(static_cast<u128>(l.mNum) * 1000000000u % l.mDen), 0u)
        << "M_NUM / M_DEN is not 9 decimals";
    EXPECT_LE(l.mDen, 0xFFFFFFFFull);
    EXPECT_GT(2 * l.mDen, 0xFFFFFFFFull) << "M_DEN does not fill 32 bits";
    EXPECT_LE(std::fabs(mReg - Ld(m)), 0.5e-9L + 1e-15L);
  } else {
    EXPECT_EQ(l.mDen, kTwo31);
    // Rounded down to 2^-31 (the 34-digit quotient may sit just below an exact
    // multiple), after a truncation to 9 decimals in modes 1 and 2.
    long double below = (Ld(m) - mReg) * 2147483648.0L;
    EXPECT_GE(below, -1e-6L);
    EXPECT_LE(below, (l.truncatedM ? 2.147483648L : 0.0L) + 1.0L + 1e-6L);
  }

  // Output frequency from the chip's relation fout = fin / P x M / R, exactly,
  // against the planner's figure (once through double) and the request.
  const Ratio out = fin * Ratio{l.mNum, 1} / (Int(l.p) * Ratio{l.mDen, 1} * Int(rOut));
  const long double exact = Ld(out);
  EXPECT_GE(exact, std::nextafter(l.achieved, 0.0)) << "written back " << l.achieved;
  EXPECT_LE(exact, std::nextafter(l.achieved, kInf)) << "written back " << l.achieved;
  // The output misses the request by what M misses by, over R / Fpfd: under
  // 0.5e-9 for DSPLL A, 2^-31 for B in mode 0, 1e-9 + 2^-31 after the
  // truncation of modes 1 and 2 (about 1e-9 MHz at Fpfd 2 and R 2).
  const long double mMiss = l.nineDecimalM ? 0.5e-9L : (l.truncatedM ? 1e-9L : 0.0L) + 1.0L / 2147483648.0L;
  EXPECT_LE(std::fabs(exact - static_cast<long double>(l.request)), Ld(fpfd) / rOut * mMiss + 1e-15L * exact)
      << "achieved " << l.achieved;
  if (Reduced(l.mNum, l.mDen) == m) {
    EXPECT_EQ(out, fout) << "M held exactly, so the output is exact";
  }
}

// Decodes a plan of mode 0 or 1 and checks both DSPLLs against the chip's
// divider relations.
void CheckPlan(const SI5346_API& planner, const Request& q, const Outcome& o) {
  SCOPED_TRACE(Describe(q));
  ASSERT_TRUE(o.ok);
  ASSERT_EQ(planner.addresses.size(), kClockRegisterCount);
  ASSERT_EQ(planner.values.size(), kClockRegisterCount);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(o.f3), std::bit_cast<std::uint64_t>(q.f3));
  const bool setsF1 = q.mode == 0 && q.boardId != 7828;
  EXPECT_EQ(o.f1, setsF1 ? 50.0 : q.f1);
  const Decoded d = Decode(planner, q.mode);
  const double finA = q.mode == 0 ? o.f1 : q.f3;
  CheckLoop({"DSPLL A", finA, q.f2, o.f2, d.pA, d.pADen, d.rRegA, d.rRegA1, d.wordA, d.wordA, d.mNumA, d.mDenA, d.n0Num,
             d.n0Den, true, q.mode != 0, q.mode == 0, true, false});
  CheckLoop({"DSPLL B", q.f3, q.f4, o.f4, d.pB, d.pBDen, d.rRegB, d.rRegB3, d.wordB, d.wordB3, d.mNumB, d.mDenB,
             d.n1Num, d.n1Den, false, true, false, false, q.mode != 0});
}

// ---- The worked plans ----

constexpr std::uint64_t kAny = ~0ull;  // not stated for this plan: left to the independent check

struct WorkedPlan {
  const char* note;
  Request request;
  std::uint64_t pA, pB, rRegA, rRegB, n0, n1, mNumA, mDenA, mNumB, mDenB, wordA, wordB;
  double f2, f4;  // written back
};

// Figures worked by hand from the divider relations of the planner.
// clang-format off
const WorkedPlan kWorkedPlans[] = {
    {"25.78125 Gb/s synthesizer: P 79, R 4, M = 632 exactly, N = 11.36",
     {156.25, 312.5, 156.25, 312.5, 1, 7652},
     79, 79, 1, 1, 0x719999999, 0x719999999, 0x13C00000000, 0x80000000, 0x13C00000000, 0x80000000, 0x02, 0x02,
     312.5, 312.5},
    {"A takes 686390302234 / 10^9 scaled by 4; B truncates M to 686.390302233",
     {156.25, 339.393939, 156.25, 339.393939, 1, 7652},
     79, 79, 1, 1, 0x689924945, 0x689924945, 0x27F40335868, 0xEE6B2800, 0x15731F56C6F, 0x80000000, 0x02, 0x02,
     339.3939390001978, 339.39393899966984},
    {"clock file: f1 becomes 50, A P 25 Fpfd 2, B P 51, R 6, M_A = 4833984375 / 10^7 scaled by 256",
     {12.5, 161.1328125, 100, 161.1328125, 0, 7592},
     25, 51, 2, 2, 0x92E073D8B, 0x92E073D8B, 0x12020BF7700, 0x98968000, 0xF688800000, 0x80000000, 0x02, 0x02,
     161.1328125, 161.1328125},
    {"A R 2 at Fpfd 2, so M_A = f2 and the output is forced to divide by 2; M_B just below 398.4375",
     {0, 390.625, 100, 390.625, 0, 7592},
     25, 51, 0, 0, kAny, kAny, 0x17D78400000, 0xFA000000, 0xC737FFFFFF, 0x80000000, 0x06, 0x02,
     390.625, 390.62499999954349},
};
// clang-format on

TEST(Si5346Plan, WorkedPlansGiveTheirRegisterFieldsAndFrequencies) {
  SI5346_API planner;
  for (const WorkedPlan& w : kWorkedPlans) {
    SCOPED_TRACE(w.note);
    Outcome o = MakePlan(planner, w.request);
    ASSERT_TRUE(o.ok);
    Decoded d = Decode(planner, w.request.mode);
    EXPECT_EQ(d.pA, w.pA);
    EXPECT_EQ(d.pB, w.pB);
    EXPECT_EQ(d.rRegA, w.rRegA);
    EXPECT_EQ(d.rRegB, w.rRegB);
    if (w.n0 != kAny) {
      EXPECT_EQ(d.n0Num, w.n0);
    }
    if (w.n1 != kAny) {
      EXPECT_EQ(d.n1Num, w.n1);
    }
    EXPECT_EQ(d.mNumA, w.mNumA);
    EXPECT_EQ(d.mDenA, w.mDenA);
    EXPECT_EQ(d.mNumB, w.mNumB);
    EXPECT_EQ(d.mDenB, w.mDenB);
    EXPECT_EQ(d.wordA, w.wordA);
    EXPECT_EQ(d.wordB, w.wordB);
    EXPECT_EQ(o.f2, w.f2);
    EXPECT_EQ(o.f4, w.f4);
    CheckPlan(planner, w.request, o);
  }
}

TEST(Si5346Plan, BoardsOtherThan7828LoseTheirInputZeroFrequencyOnlyInMode0) {
  SI5346_API planner;
  const struct {
    Request request;
    double f1;  // written back
    std::uint64_t pA;
  } cases[] = {
      {{40, 312.5, 156.25, 312.5, 0, 7828}, 40, 20},  // 7828 keeps its input: P 20 for Fpfd 2
      {{40, 312.5, 156.25, 312.5, 0, 7592}, 50, 25},
      {{40, 312.5, 156.25, 312.5, 1, 7592}, 40, 79},  // mode 1 runs A from f3 and leaves f1 alone
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Describe(c.request));
    Outcome o = MakePlan(planner, c.request);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.f1, c.f1);
    EXPECT_EQ(Decode(planner, c.request.mode).pA, c.pA);
    CheckPlan(planner, c.request, o);
  }
}

// The two windows differ at their ends: A takes Fn = 710 and 1420, B neither.
TEST(Si5346Plan, WindowEndsAreClosedForDsplAAndOpenForDsplB) {
  SI5346_API planner;
  const struct {
    Request request;
    std::uint64_t rRegA, rRegB;
  } cases[] = {
      {{0, 355, 100, 300, 0, 7592}, 0, 1},        // A: R 2 gives Fn = 710
      {{0, 177.5, 100, 177.5, 0, 7592}, 1, 2},    // Fn = 710 at R 4: B goes on to R 6
      {{0, 710, 100, 236.5, 1, 7592}, 0, 1},      // A: R 2 gives Fn = 1420
      {{0, 35.5, 100, 35.5, 1, 7592}, 9, 10},     // Fn = 710 at R 20: B goes on to R 22
      {{0, 709.99, 100, 709.99, 0, 7592}, 0, 0},  // just inside the top of both
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Describe(c.request));
    Outcome o = MakePlan(planner, c.request);
    ASSERT_TRUE(o.ok);
    Decoded d = Decode(planner, c.request.mode);
    EXPECT_EQ(d.rRegA, c.rRegA);
    EXPECT_EQ(d.rRegB, c.rRegB);
    CheckPlan(planner, c.request, o);
  }
}

// ---- Plans over the whole output range ----

TEST(Si5346Plan, PlansAcross1To700MHzMatchTheChipRelations) {
  // Output frequencies 1 to 700 MHz: the common line-rate references and an
  // even spread with odd fractions; inputs that divide to Fpfd at and just
  // below 2 MHz.
  std::vector<double> outs = {1.0,     10.0,  25.0,  100.0,  106.25,    125.0,      155.52,     156.25, 161.1328125,
                              170.0,   212.5, 250.0, 311.04, 312.5,     322.265625, 339.393939, 354.99, 355.01,
                              390.625, 425.0, 500.0, 625.0,  644.53125, 666.666666, 700.0};
  for (int i = 0; i < 60; ++i) outs.push_back(1.0 + i * 11.6337 + i * i * 0.0001);
  const double inputs[] = {156.25, 100.0, 25.0, 10.0, 38.88};
  SI5346_API planner;  // one planner for all: every plan replaces the previous one
  for (std::uint32_t mode : {0u, 1u}) {
    for (double f3 : inputs) {
      for (std::size_t i = 0; i < outs.size(); ++i) {
        Request q{1.0, outs[i], f3, outs[(i * 7 + 3) % outs.size()], mode, mode == 0 ? 7592 : 7652};
        Outcome o = MakePlan(planner, q);
        CheckPlan(planner, q, o);
      }
    }
  }
}

// ---- The searches against plain walks over R = 2, 4, 6, ... ----

// P for search A: the first P from 1 on with X(fin / 2) <= P <= X(fin x 125).
std::optional<std::uint64_t> WalkPA(const Decimal& fin, bool floorRule) {
  for (std::uint64_t p = 1; p < 100000; ++p) {
    if (!((fin / Decimal(2)).ToUInt64(floorRule) > p || (fin * Decimal(1000) / Decimal(8)).ToUInt64(floorRule) < p))
      return p;
  }
  return std::nullopt;
}

// R for search A, walking until Fn passes the window's top (every larger R
// fails there too).
std::optional<std::uint64_t> WalkRA(const Decimal& fin, std::uint64_t p, const Decimal& fout) {
  Decimal fpfd = fin / Decimal(p);
  for (std::uint64_t r = 2;; r += 2) {
    Decimal fn = Decimal(r) * fout;
    std::int64_t a = fn.ToInt64(true);
    if (a > 1420) return std::nullopt;
    std::uint64_t m = (fn / fpfd).ToUInt64(true);
    auto ua = static_cast<std::uint64_t>(a);
    bool reject = m > ua * 1000 / 8 || m + 1 < ua / 2 || fpfd.ToInt64(true) < 1 || a < 710;
    if (!reject) return r;
  }
}

std::optional<std::uint64_t> WalkRB(const Decimal& fin, const Decimal& fout, std::uint64_t* pOut) {
  std::uint64_t p = 1;
  while (fin / Decimal(2) >= Decimal(p) || fin * Decimal(1000) / Decimal(8) <= Decimal(p)) ++p;
  *pOut = p;
  Decimal fpfd = fin / Decimal(p);
  for (std::uint64_t r = 2;; r += 2) {
    Decimal fn = Decimal(r) * fout;
    if (fn >= Decimal(1420)) return std::nullopt;
    std::uint64_t a = fn.ToUInt64(true);
    std::uint64_t m = (fn / fpfd).ToUInt64(true);
    bool reject = m > (a * 1000) / 8 || m + 1 < a / 2 || fpfd <= Decimal(1) || fn <= Decimal(710);
    if (!reject) return r;
  }
}

TEST(Si5346Plan, OutputDividerSearchesAgreeWithPlainWalks) {
  // Inputs of DSPLL A (mode 0 on board 7828 takes f1 as it is) whose Fpfd sits
  // at or just above 2 MHz, where the test on M rejects some or all R, and
  // small outputs with many R in the window.
  const double finsA[] = {1.0, 1.5, 2.0, 3.99, 4.0, 4.01, 4.0113, 4.02, 4.05, 6.02, 8.017, 46.3358, 51.0};
  const double finsB[] = {1.2, 1.9, 2.5, 3.0, 100.0, 157.3};
  const double outs[] = {0.05, 0.0731, 0.5, 1.37, 3.3, 17.75, 35.5, 177.5, 236.6667, 355.0, 700.0, 710.25};
  SI5346_API planner;
  for (double fin : finsA) {
    for (double fout : outs) {
      Request q{fin, fout, 100, 312.5, 0, 7828};
      SCOPED_TRACE(Describe(q));
      Outcome o = MakePlan(planner, q);
      std::optional<std::uint64_t> p = WalkPA(Decimal(fin), true);
      std::optional<std::uint64_t> r = p ? WalkRA(Decimal(fin), *p, Decimal(fout)) : std::nullopt;
      ASSERT_EQ(o.ok, r.has_value());
      if (!o.ok) continue;
      Decoded d = Decode(planner, q.mode);
      EXPECT_EQ(d.pA, *p);
      EXPECT_EQ(2 * (d.rRegA + 1), *r);
    }
  }
  for (double fin : finsB) {
    for (double fout : outs) {
      Request q{0, 312.5, fin, fout, 1, 7652};  // DSPLL A, also fed by f3, has a plan for each
      SCOPED_TRACE(Describe(q));
      Outcome o = MakePlan(planner, q);
      std::uint64_t p = 0;
      std::optional<std::uint64_t> r = WalkRB(Decimal(fin), Decimal(fout), &p);
      ASSERT_EQ(o.ok, r.has_value());
      if (!o.ok) continue;
      Decoded d = Decode(planner, q.mode);
      EXPECT_EQ(d.pB, p);
      EXPECT_EQ(2 * (d.rRegB + 1), *r);
    }
  }
}

// ---- Fraction conversion ----

TEST(Si5346Plan, DecimalFractionReadsNineDecimals) {
  const struct {
    double x, numerator, denominator;
  } cases[] = {
      {483.3984375, 4833984375.0, 1e7},
      {686.39030223359998, 686390302234.0, 1e9},  // rounded at the ninth decimal
      {1.12345678, 1123456780.0, 1e9},            // a single final zero stays a digit
      {0.25, 25.0, 100.0},
      {1.05, 105.0, 100.0},  // a leading zero of the fraction counts
      {0.00001, 1.0, 1e5},
      {150.0, 150.0, 1.0},
      {632.0000000001, 632.0, 1.0},  // the fraction vanishes at 9 decimals
      {631.9999999999, 632.0, 1.0},  // ... rounding up to the next integer
      {-1.5, -15.0, 10.0},           // negative values on their magnitude
  };
  SI5346_API planner;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x);
    double den = -1;
    double num = planner.ComputeDecimalFraction(c.x, &den);
    EXPECT_EQ(num, c.numerator);
    EXPECT_EQ(den, c.denominator);
  }
}

// M = 632 + 1.01e-10: too far from 632 for the whole-number test at 10^-12,
// gone when written with 9 decimals. The plan takes M = 632 over 2^31.
TEST(Si5346Plan, FeedbackFractionVanishingAtNineDecimalsGivesTheWholeNumber) {
  SI5346_API planner;
  Request q{156.25, 312.50000000005, 156.25, 312.5, 1, 7652};
  Outcome o{};
  ASSERT_NO_THROW(o = MakePlan(planner, q));
  ASSERT_TRUE(o.ok);
  Decoded d = Decode(planner, q.mode);
  EXPECT_EQ(d.mNumA, 632 * kTwo31);
  EXPECT_EQ(d.mDenA, kTwo31);
  EXPECT_EQ(o.f2, 312.5);
  CheckPlan(planner, q, o);
}

// ---- No plan ----

TEST(Si5346Plan, RequestsWithoutAPlanEmptyTheListsAndKeepTheFrequencies) {
  const struct {
    const char* note;
    Request request;
  } cases[] = {
      {"mode 3", {1, 312.5, 156.25, 312.5, 3, 7592}},
      {"B: 355 MHz puts Fn at 710 and 1420, both outside", {1, 312.5, 100, 355, 0, 7592}},
      {"B: output at the top of the window", {1, 312.5, 100, 710, 1, 7592}},
      {"A: output above the window", {1, 710.5, 100, 312.5, 0, 7592}},
      {"A: huge output", {1, 1e12, 100, 312.5, 0, 7592}},
      {"A: output so low that R would pass 32 bits", {1, 1e-7, 100, 312.5, 0, 7592}},
      {"B: output so low that R would pass 32 bits", {1, 312.5, 100, 1.5e-7, 0, 7592}},
      {"A: zero output", {1, 0, 100, 312.5, 0, 7592}},
      {"B: negative output", {1, 312.5, 100, -312.5, 0, 7592}},
      {"B: f3 = 2 gives Fpfd 1", {1, 312.5, 2, 312.5, 0, 7592}},
      {"A and B: input at 8 kHz", {1, 312.5, 0.008, 312.5, 1, 7592}},
      {"A and B: input below 8 kHz", {1, 312.5, 0.005, 312.5, 1, 7592}},
      {"A and B: zero input", {1, 312.5, 0, 312.5, 1, 7592}},
      {"A and B: negative input", {1, 312.5, -100, 312.5, 1, 7592}},
      {"A and B: input above the 48-bit P", {1, 312.5, 1e18, 312.5, 1, 7592}},
      {"A on 7828: input above the 48-bit P", {1e18, 312.5, 100, 312.5, 0, 7828}},
      {"A on 7828: input below 8 kHz", {0.001, 312.5, 100, 312.5, 0, 7828}},
      {"A on 7828: 51 MHz gives Fpfd 2.04", {51, 312.5, 100, 312.5, 0, 7828}},
      {"A on 7828: 5 MHz, tiny output: every R rejected", {5, 2e-4, 100, 312.5, 0, 7828}},
      {"A on 7828: NaN input", {kNaN, 312.5, 100, 312.5, 0, 7828}},
      {"NaN input", {1, 312.5, kNaN, 312.5, 1, 7592}},
      {"infinite input", {1, 312.5, kInf, 312.5, 1, 7592}},
      {"NaN output", {1, kNaN, 100, 312.5, 0, 7592}},
      {"infinite output", {1, 312.5, 100, kInf, 0, 7592}},
  };
  const Request valid{1, 312.5, 156.25, 312.5, 1, 7652};
  SI5346_API planner;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    ASSERT_TRUE(MakePlan(planner, valid).ok);
    ASSERT_EQ(planner.addresses.size(), kClockRegisterCount);
    Outcome o = MakePlan(planner, c.request);
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(planner.addresses.empty());
    EXPECT_TRUE(planner.values.empty());
    const Request& q = c.request;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(o.f1), std::bit_cast<std::uint64_t>(q.f1));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(o.f2), std::bit_cast<std::uint64_t>(q.f2));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(o.f3), std::bit_cast<std::uint64_t>(q.f3));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(o.f4), std::bit_cast<std::uint64_t>(q.f4));

    // The same through the decimal entry point.
    ASSERT_TRUE(MakePlan(planner, valid).ok);
    Decimal d[4] = {Decimal(q.f1), Decimal(q.f2), Decimal(q.f3), Decimal(q.f4)};
    EXPECT_FALSE(planner.ComputePlanDecimal(&d[0], &d[1], &d[2], &d[3], q.mode, q.boardId));
    EXPECT_TRUE(planner.addresses.empty());
    EXPECT_EQ(d[0].ToString(), Decimal(q.f1).ToString());
    EXPECT_EQ(d[1].ToString(), Decimal(q.f2).ToString());
  }
}

}  // namespace
