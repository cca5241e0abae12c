#include "clock/SI5346_API.h"

#include <cmath>
#include <limits>
#include <string>

#include "clock/ClockRegisterList.h"
#include "clock/Decimal.h"
#include "core/Models.h"

namespace {

// The output-divider search counts R in an unsigned 32-bit counter; past the
// largest even value it wraps to 0 and would repeat the same trials forever.
constexpr std::uint32_t kMaxR = 0xFFFFFFFEu;
// The input dividers P0, P2 and P3 are 48-bit register fields. Counting P up
// to a value beyond them would take longer than any caller waits.
constexpr std::uint64_t kMaxP = (std::uint64_t{1} << 48) - 1;
constexpr std::uint64_t kTwo31 = 0x80000000ull;
constexpr std::uint64_t kNDen = 0xA0000000ull;  // N_DEN of both output dividers

Decimal D(std::uint64_t v) { return Decimal(v); }

bool IsFinite(const Decimal& x) { return (x - x) == Decimal(std::int32_t{0}); }

Decimal Product(std::uint64_t r, const Decimal& fout) { return Decimal(r) * fout; }

// floor(x x 10^places) / 10^places.
Decimal Truncate(const Decimal& x, std::uint64_t scale) { return D((x * D(scale)).ToUInt64(true)) / D(scale); }

// The smallest even R (2 to kMaxR) whose product R x fout, rounded as the
// search forms it, reaches threshold; 0 when there is none. fout is positive
// and finite. The estimate threshold / fout is off by a rounding at most, so
// the two corrections take a step or two.
std::uint32_t FirstEvenRAtLeast(const Decimal& fout, const Decimal& threshold) {
  Decimal q = threshold / fout;
  if (q > D(std::uint64_t{kMaxR} + 4)) return 0;
  std::uint64_t r = 2;
  if (q > D(2)) {
    r = q.ToUInt64(false);
    r += r & 1;
  }
  while (r > 2 && Product(r - 2, fout) >= threshold) r -= 2;
  while (r <= kMaxR && !(Product(r, fout) >= threshold)) r += 2;
  return r <= kMaxR ? static_cast<std::uint32_t>(r) : 0;
}

// One trial of an output divider R.
struct Trial {
  Decimal fn;                 // R x fout
  Decimal m;                  // Fn / Fpfd
  std::uint64_t floorFn = 0;  // valid inside the window
  bool beyond = false;        // Fn past the window's upper end: so is every larger R
  bool accepted = false;      // passes every rejection test
  bool lowerOk = false;       // passes the tests that, within one floor(Fn), hold from some R on
};

// DSPLL A: the closed window 710 <= floor(Fn) <= 1420.
struct SearchA {
  Decimal fout;
  Decimal fpfd;
  bool fpfdOk;  // floor(Fpfd) >= 1

  Trial Try(std::uint32_t r) const {
    Trial t;
    t.fn = Product(r, fout);
    if (t.fn >= D(1421)) {
      t.beyond = true;
      return t;
    }
    t.m = t.fn / fpfd;
    std::int64_t a = t.fn.ToInt64(true);
    if (a < 710) return t;  // rejected; not reached from the walk's first R on
    std::uint64_t m = t.m.ToUInt64(true);
    std::uint64_t ua = static_cast<std::uint64_t>(a);
    bool fpfdTooLow = m > ua * 1000 / 8;  // Fpfd below 8 kHz
    bool fpfdTooHigh = m + 1 < ua / 2;    // Fpfd above 2 MHz
    t.floorFn = ua;
    t.lowerOk = !fpfdTooHigh;
    t.accepted = !fpfdTooLow && !fpfdTooHigh && fpfdOk && a <= 1420;
    return t;
  }
};

// DSPLL B: the open window 710 < Fn < 1420.
struct SearchB {
  Decimal fout;
  Decimal fpfd;
  bool fpfdOk;  // Fpfd > 1

  Trial Try(std::uint32_t r) const {
    Trial t;
    t.fn = Product(r, fout);
    if (t.fn >= D(1420)) {
      t.beyond = true;
      return t;
    }
    t.m = t.fn / fpfd;
    std::uint64_t a = t.fn.ToUInt64(true);
    std::uint64_t m = t.m.ToUInt64(true);
    bool fpfdTooLow = m > (a * 1000) / 8;
    bool fpfdTooHigh = m + 1 < a / 2;
    bool belowWindow = t.fn <= D(710);
    t.floorFn = a;
    t.lowerOk = !fpfdTooHigh && !belowWindow;
    t.accepted = !fpfdTooLow && !fpfdTooHigh && fpfdOk && !belowWindow;
    return t;
  }
};

// The smallest even R that the search accepts, found with the same trials as
// R = 2, 4, 6, ... tried one after the other, without trying them all.
//
// Every R below the first one with Fn >= 710 fails the window of both
// searches. From there the R with the same floor(Fn) form one block, within
// which Fn and M only grow with R: the lower tests (Fn above the window's
// start, M not too small for Fn) fail up to some R and then pass, while the
// upper tests (M not too large, Fn below the window's end) pass up to some R
// and then fail. So the first accepted R of a block, if any, is the first R of
// the block that passes the lower tests, and it is found by bisection; for
// requests with few R in the window the walk is just R after R.
template <typename Search>
bool FindOutputDivider(const Search& s, std::uint32_t* acceptedR, Trial* accepted) {
  std::uint32_t r = FirstEvenRAtLeast(s.fout, D(710));
  while (r != 0) {
    Trial t = s.Try(r);
    if (t.beyond) return false;
    if (t.accepted) {
      *acceptedR = r;
      *accepted = t;
      return true;
    }
    std::uint32_t next = FirstEvenRAtLeast(s.fout, D(t.floorFn + 1));
    std::uint32_t last = next == 0 ? kMaxR : next - 2;
    if (!t.lowerOk && last > r) {
      Trial high = s.Try(last);
      if (high.lowerOk) {
        std::uint32_t lo = r;
        std::uint32_t hi = last;
        while (hi - lo > 2) {
          std::uint32_t mid = lo + (hi - lo) / 4 * 2;
          Trial tm = s.Try(mid);
          if (tm.lowerOk) {
            hi = mid;
            high = tm;
          } else {
            lo = mid;
          }
        }
        if (high.accepted) {
          *acceptedR = hi;
          *accepted = high;
          return true;
        }
      }
    }
    r = next;
  }
  return false;
}

struct DsplPlan {
  std::uint32_t r = 0;
  std::uint64_t p = 0;
  Decimal fpfd;
  Decimal fn;
  Decimal m;     // the feedback ratio as used for M_NUM (search B: truncated in modes 1 and 2)
  Decimal mRaw;  // Fn / Fpfd as the search computed it
  Decimal n;     // 14200 / Fn
  std::uint64_t mNum = 0;
  std::uint64_t mDen = 0;
};

std::uint64_t DoubleToU64(double v) {
  if (!(v >= 0.0) || v >= 18446744073709551616.0) return 0;
  return static_cast<std::uint64_t>(v);
}

}  // namespace

double SI5346_API::ComputeDecimalFraction(double x, double* denominator) {
  if (!std::isfinite(x)) {
    *denominator = 1.0;
    return x;
  }
  // The digit text below only works for a non-negative x: a negative one is
  // done on its magnitude.
  if (std::signbit(x)) return -SI5346_API::ComputeDecimalFraction(-x, denominator);

  double xr = ParseDoubleClassic(FormatFixedTrimmed(x, 9) + " ");  // x rounded to 9 decimals
  double rounded = Decimal(xr).ToDouble();
  if (rounded >= 9.0e18) {  // whole numbers only at this size
    *denominator = 1.0;
    return rounded;
  }
  std::int64_t whole = static_cast<std::int64_t>(rounded);
  std::string digits = FormatFixedTrimmed(rounded, 9);
  std::int64_t keyWhole = static_cast<std::int64_t>(xr);
  std::string key = (keyWhole <= std::numeric_limits<int>::max() ? IntToString(static_cast<int>(keyWhole))
                                                                 : std::to_string(keyWhole)) +
                    ".";
  std::size_t at = digits.find(key);
  if (at != std::string::npos) digits.erase(at, key.size());
  // Nothing left: the fraction vanished at 9 decimals.
  double fraction = digits.empty() ? 0.0 : ParseDoubleClassic(digits);
  *denominator = std::pow(10.0, static_cast<double>(digits.size()));
  return *denominator * static_cast<double>(whole) + fraction;
}

namespace {

// DSPLL A: input divider, output divider R, feedback M as a fraction and N.
// False when no setting exists.
bool PlanDsplA(SI5346_API& planner, const Decimal& fin, const Decimal& fout, std::uint32_t mode, DsplPlan& a) {
  if (!IsFinite(fin) || !IsFinite(fout) || !(fout > D(0))) return false;
  // Input divider: the smallest P >= 1 with X(fin / 2) <= P <= X(fin x 1000 / 8),
  // X rounding down in mode 0 and up in modes 1 and 2. None exists for an
  // input below about 0.008 MHz.
  const bool floorRule = mode == 0;
  Decimal half = fin / D(2);
  Decimal top = fin * D(1000) / D(8);
  std::uint64_t lo = half.ToUInt64(floorRule);
  std::uint64_t hi = top.ToUInt64(floorRule);
  a.p = lo > 1 ? lo : 1;
  if (a.p > hi || a.p > kMaxP) return false;
  a.fpfd = fin / D(a.p);
  SearchA search{fout, a.fpfd, a.fpfd.ToInt64(true) >= 1};
  if (!search.fpfdOk) return false;  // rejects every R
  Trial t;
  if (!FindOutputDivider(search, &a.r, &t)) return false;
  a.fn = t.fn;
  a.m = t.m;
  a.mRaw = t.m;
  a.n = D(14200) / a.fn;

  // Feedback fraction: an integer M (down to 10^-12) over 2^31, otherwise
  // its 9-decimal fraction scaled up to fill the 32-bit denominator.
  std::uint64_t mWhole = a.m.ToUInt64(true);
  Decimal e12 = D(1000000000000ull);
  if ((a.m * e12 - D(mWhole) * e12).ToUInt64(true) == 0) {
    a.mNum = mWhole * kTwo31;
    a.mDen = kTwo31;
  } else {
    double den = 1.0;
    double num = planner.ComputeDecimalFraction(a.m.ToDouble(), &den);
    std::uint64_t n = DoubleToU64(num);
    std::uint64_t d = DoubleToU64(den);
    std::uint64_t scale = 1;
    for (std::uint64_t s = kTwo31; s >= 2; s >>= 1) {
      if (d * s <= 0xFFFFFFFFull) {
        scale = s;
        break;
      }
    }
    a.mNum = n * scale;
    a.mDen = d * scale;
  }
  return true;
}

// DSPLL B: the same search with its own input-divider rule, M over 2^31.
bool PlanDsplB(const Decimal& fin, const Decimal& fout, std::uint32_t mode, DsplPlan& b) {
  if (!IsFinite(fin) || !IsFinite(fout) || !(fout > D(0))) return false;
  // Input divider: the smallest P above fin / 2 that stays below fin x 1000 / 8.
  Decimal half = fin / D(2);
  Decimal top = fin * D(1000) / D(8);
  if (half < D(0)) {
    b.p = 1;
  } else {
    if (!(half < D(kMaxP))) return false;  // P would not fit its field
    b.p = half.ToUInt64(true) + 1;
  }
  if (top <= D(b.p)) return false;  // no P fits below the upper bound
  b.fpfd = fin / D(b.p);
  SearchB search{fout, b.fpfd, !(b.fpfd <= D(1))};
  if (!search.fpfdOk) return false;  // rejects every R
  Trial t;
  if (!FindOutputDivider(search, &b.r, &t)) return false;
  b.fn = t.fn;
  b.mRaw = t.m;
  b.m = mode == 0 ? t.m : Truncate(t.m, 1000000000ull);
  b.n = D(14200) / b.fn;
  b.mNum = (b.m * D(kTwo31)).ToUInt64(true);
  b.mDen = kTwo31;
  return true;
}

}  // namespace

bool SI5346_API::ComputePlan(double* f1, double* f2, double* f3, double* f4, std::uint32_t mode, int boardId) {
  if (f1 == nullptr || f2 == nullptr || f3 == nullptr || f4 == nullptr) {
    addresses.clear();
    values.clear();
    return false;
  }
  Decimal d1(*f1);
  Decimal d2(*f2);
  Decimal d3(*f3);
  Decimal d4(*f4);
  if (!ComputePlanDecimal(&d1, &d2, &d3, &d4, mode, boardId)) return false;
  *f1 = d1.ToDouble();
  *f2 = d2.ToDouble();
  *f3 = d3.ToDouble();
  *f4 = d4.ToDouble();
  return true;
}

bool SI5346_API::ComputePlanDecimal(Decimal* f1, Decimal* f2, Decimal* f3, Decimal* f4, std::uint32_t mode,
                                    int boardId) {
  addresses.clear();  // storage kept for the next plan
  values.clear();
  if (mode > 2 || f1 == nullptr || f2 == nullptr || f3 == nullptr || f4 == nullptr) return false;

  const bool setF1 = mode == 0 && !tessok::ModelRow(static_cast<std::uint32_t>(boardId)).planSkipsF1;
  const Decimal finA = mode == 0 ? (setF1 ? Decimal(std::int32_t{50}) : *f1) : *f3;
  const Decimal& finB = *f3;

  DsplPlan a;
  if (!PlanDsplA(*this, finA, *f2, mode, a)) return false;
  DsplPlan b;
  if (!PlanDsplB(finB, *f4, mode, b)) return false;

  // Output control words, against the requested frequencies: bit 2 forces
  // the output's R divider to 2, which holds the output at the requested
  // frequency only when M equals it (R = Fpfd).
  std::uint8_t wordA = 0x02;
  std::uint8_t wordB = 0x02;
  if (mode != 2) {
    if (a.m.ToDouble() == f2->ToDouble()) wordA = 0x06;
    Decimal mB = mode == 0 ? b.m : Truncate(b.mRaw, 1000000000000ull);
    if (mB.ToDouble() == f4->ToDouble()) wordB = 0x06;
  }

  ClockPlanFields fields{};
  fields.mode = mode;
  fields.boardId = boardId;
  fields.pA = a.p;
  fields.pB = b.p;
  fields.rRegA = a.r / 2 - 1;
  fields.rRegB = b.r / 2 - 1;
  fields.n0Num = (a.n * D(kNDen)).ToUInt64(true);
  fields.n1Num = (b.n * D(kNDen)).ToUInt64(true);
  fields.mNumA = a.mNum;
  fields.mDenA = a.mDen;
  fields.mNumB = b.mNum;
  fields.mDenB = b.mDen;
  fields.wordA = wordA;
  fields.wordB = wordB;

  // Achieved frequencies, once through double.
  Decimal achievedA((a.fpfd * D(a.mNum) / D(static_cast<std::uint64_t>(a.r) * a.mDen)).ToDouble());
  Decimal achievedB((b.fpfd * D(b.mNum) / D(static_cast<std::uint64_t>(b.r) * b.mDen)).ToDouble());

  AppendClockRegisterList(fields, addresses, values);
  if (setF1) *f1 = std::int32_t{50};
  *f2 = achievedA;
  *f4 = achievedB;
  return true;
}
