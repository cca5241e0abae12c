// Decimal: exact arithmetic, the IEEE remainder, quiet comparisons, integer
// and floating-point conversions, text forms, the DECIMAL record and the text
// helpers of the Si5346 planner. Expected values are worked by hand from the
// decimal definitions (noted per table), never taken from the code under test.
#include "clock/Decimal.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

Decimal D(const char* text) { return Decimal(std::string(text)); }

Decimal Parts(std::uint32_t lo, int exponent, int sign = 1, std::uint32_t mid = 0, std::uint32_t hi = 0) {
  Decimal d;
  d.SetParts(lo, mid, hi, exponent, sign);
  return d;
}

struct PartsOut {
  std::uint32_t lo, mid, hi;
  int exponent, sign;
};
PartsOut GetParts(const Decimal& d) {
  PartsOut p{};
  d.GetParts(&p.lo, &p.mid, &p.hi, &p.exponent, &p.sign);
  return p;
}

// Every test starts from the default rounding mode and clear flags, and puts
// the mode back, so that a test that changes it cannot leak into the next.
class DecimalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Decimal::SetRoundingMode(0);
    Decimal::ClearStatusFlags();
  }
  void TearDown() override { Decimal::SetRoundingMode(0); }
};

// A locale whose numbers read "1.234.567,5": streams that do not pin the
// classic locale would write such text.
struct CommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};
class GlobalCommaLocale {
 public:
  GlobalCommaLocale() : previous_(std::locale::global(std::locale(std::locale::classic(), new CommaPunct))) {}
  ~GlobalCommaLocale() { std::locale::global(previous_); }

 private:
  std::locale previous_;
};

// ---------------------------------------------------------------- arithmetic

TEST_F(DecimalTest, DividesFrequenciesExactly) {
  Decimal q = Decimal(std::int32_t{15625}) / Decimal(std::int32_t{100});
  EXPECT_EQ(q.ToDouble(), 156.25);
  EXPECT_EQ(q.ToString(), "+156.25");
  // Decimal, not binary: 0.1 + 0.2 is 0.3 exactly.
  EXPECT_TRUE(D("0.1") + D("0.2") == D("0.3"));
  EXPECT_EQ((D("0.1") + D("0.2")).ToString(), "+0.3");
  EXPECT_EQ((D("156.25") * D("4")).ToString(), "+625.00");
  EXPECT_EQ((D("1") - D("0.001")).ToString(), "+0.999");
  EXPECT_EQ(Decimal::StatusFlags(), 0u);
}

TEST_F(DecimalTest, RoundsToThirtyFourDigits) {
  // 1/3 has 34 threes; times 3 it is 34 nines, one unit of the last place short of 1.
  Decimal third = Decimal(std::int32_t{1}) / Decimal(std::int32_t{3});
  Decimal back = third * Decimal(std::int32_t{3});
  EXPECT_EQ(back.ToString(), "+0." + std::string(34, '9'));
  EXPECT_TRUE(back != Decimal(std::int32_t{1}));
  EXPECT_FALSE(back == Decimal(std::int32_t{1}));
  EXPECT_NE(Decimal::StatusFlags() & Decimal::kInexact, 0u);

  // 10^34 + 1 needs 35 digits: to nearest it loses the 1; rounding up keeps a 10.
  Decimal big = Parts(1, 34);
  EXPECT_EQ(((big + Decimal(std::int32_t{1})) - big).ToString(), "+0");
  Decimal::SetRoundingMode(2);
  EXPECT_EQ(((big + Decimal(std::int32_t{1})) - big).ToString(), "+10");
}

TEST_F(DecimalTest, CompoundAndStepOperatorsStoreAndReturn) {
  Decimal x(std::int32_t{10});
  EXPECT_EQ((x += D("2.5")).ToString(), "+12.5");
  EXPECT_EQ((x -= D("0.5")).ToString(), "+12.0");
  EXPECT_EQ((x *= D("2")).ToString(), "+24.0");
  EXPECT_EQ((x /= D("8")).ToString(), "+3.0");
  EXPECT_EQ(x.ToString(), "+3.0");

  Decimal& same = ++x;
  EXPECT_EQ(&same, &x);
  EXPECT_EQ(x.ToString(), "+4.0");
  EXPECT_EQ((--x).ToString(), "+3.0");
  Decimal old = x++;
  EXPECT_EQ(old.ToString(), "+3.0");
  EXPECT_EQ(x.ToString(), "+4.0");
  old = x--;
  EXPECT_EQ(old.ToString(), "+4.0");
  EXPECT_EQ(x.ToString(), "+3.0");
  // The step is the integer 1, so the exponent of a fraction survives it.
  Decimal f = D("0.25");
  EXPECT_EQ((++f).ToString(), "+1.25");

  x = std::int32_t{-7};
  EXPECT_EQ(x.ToString(), "-7");
}

TEST_F(DecimalTest, DivisionByZeroGivesInfinityAndRaisesItsFlag) {
  Decimal r = Decimal(std::int32_t{1}) / Decimal(std::int32_t{0});
  EXPECT_EQ(r.ToString(), "+Inf");
  EXPECT_EQ(Decimal::StatusFlags(), Decimal::kDivisionByZero);
  Decimal::ClearStatusFlags();
  Decimal nan = Decimal(std::int32_t{0}) / Decimal(std::int32_t{0});
  EXPECT_FALSE(nan == nan);
  EXPECT_EQ(Decimal::StatusFlags(), Decimal::kInvalid);
}

// IEEE remainder: x - n*y with n = x/y rounded to the nearest integer, ties to even.
TEST_F(DecimalTest, RemainderRoundsTheQuotientToNearestEven) {
  struct Case {
    const char* x;
    const char* y;
    const char* expected;
  };
  const Case cases[] = {
      {"7", "2", "-1"},            // 3.5 -> 4
      {"5", "2", "+1"},            // 2.5 -> 2
      {"-7", "2", "+1"},           // -3.5 -> -4
      {"6", "4", "-2"},            // 1.5 -> 2
      {"10", "4", "+2"},           // 2.5 -> 2
      {"7.5", "2", "-0.5"},        // 3.75 -> 4
      {"156.25", "0.5", "+0.25"},  // 312.5 -> 312
      {"0.3", "0.1", "+0.0"},      // exactly 3 in decimal
      {"1", "3", "+1"},            // 0.33 -> 0
  };
  for (const Case& c : cases) {
    EXPECT_EQ((D(c.x) % D(c.y)).ToString(), c.expected) << c.x << " % " << c.y;
  }
  EXPECT_EQ(Decimal::StatusFlags(), 0u);  // exact, no inexact flag

  Decimal r = Decimal(std::int32_t{1}) % Decimal(std::int32_t{0});
  EXPECT_FALSE(r == r);
  EXPECT_EQ(Decimal::StatusFlags(), Decimal::kInvalid);
}

// ---------------------------------------------------------------- comparisons

TEST_F(DecimalTest, ComparesOrderedValues) {
  struct Case {
    Decimal a, b;
    bool eq, ne, lt, le, gt, ge;
  };
  const Case cases[] = {
      {D("1"), D("2"), false, true, true, true, false, false},
      {D("2"), D("1"), false, true, false, false, true, true},
      {D("1.50"), D("1.5"), true, false, false, true, false, true},  // same value, other exponent
      {D("-0"), D("0"), true, false, false, true, false, true},
      {D("-Inf"), D("-1E6000"), false, true, true, true, false, false},
      {D("1E-6176"), D("0"), false, true, false, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a.ToString() + " vs " + c.b.ToString());
    EXPECT_EQ(c.a == c.b, c.eq);
    EXPECT_EQ(c.a != c.b, c.ne);
    EXPECT_EQ(c.a < c.b, c.lt);
    EXPECT_EQ(c.a <= c.b, c.le);
    EXPECT_EQ(c.a > c.b, c.gt);
    EXPECT_EQ(c.a >= c.b, c.ge);
  }
}

TEST_F(DecimalTest, NaNMakesEqualityFalseAndEveryOtherComparisonTrue) {
  const Decimal nan = D("NaN");
  const Decimal one(std::int32_t{1});
  const std::pair<Decimal, Decimal> pairs[] = {{nan, one}, {one, nan}, {nan, nan}};
  for (const auto& [a, b] : pairs) {
    SCOPED_TRACE(a.ToString() + " vs " + b.ToString());
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(a <= b);
    EXPECT_TRUE(a > b);
    EXPECT_TRUE(a >= b);
  }
  // Quiet: a quiet NaN raises no flag; a signalling one raises invalid.
  EXPECT_EQ(Decimal::StatusFlags(), 0u);
  EXPECT_TRUE(D("SNaN") < one);
  EXPECT_EQ(Decimal::StatusFlags(), Decimal::kInvalid);
}

// ---------------------------------------------------------------- conversions

TEST_F(DecimalTest, IntegerConversionsRoundDownWithFloorAndUpWithout) {
  struct Case {
    const char* value;
    std::int64_t floor, ceiling;
  };
  const Case cases[] = {
      {"2.5", 2, 3},
      {"-2.5", -3, -2},
      {"7", 7, 7},
      {"7.000", 7, 7},
      {"0.0001", 0, 1},
      {"-0.5", -1, 0},
      {"2147483646.5", 2147483646, 2147483647},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Decimal d = D(c.value);
    EXPECT_EQ(d.ToInt32(true), c.floor);
    EXPECT_EQ(d.ToInt32(false), c.ceiling);
    EXPECT_EQ(d.ToInt64(true), c.floor);
    EXPECT_EQ(d.ToInt64(false), c.ceiling);
    if (c.floor >= 0) {
      EXPECT_EQ(d.ToUInt32(true), static_cast<std::uint32_t>(c.floor));
      EXPECT_EQ(d.ToUInt64(true), static_cast<std::uint64_t>(c.floor));
    }
    if (c.ceiling >= 0) {
      EXPECT_EQ(d.ToUInt32(false), static_cast<std::uint32_t>(c.ceiling));
      EXPECT_EQ(d.ToUInt64(false), static_cast<std::uint64_t>(c.ceiling));
    }
  }
  EXPECT_EQ(Decimal::StatusFlags() & Decimal::kInvalid, 0u);

  // Wider than 32 bits: 2^40 + 0.5 and the top of uint64.
  EXPECT_EQ(D("1099511627776.5").ToInt64(false), 1099511627777);
  EXPECT_EQ(D("18446744073709551615").ToUInt64(true), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(D("18446744073709551614.9").ToUInt64(false), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(Decimal::StatusFlags() & Decimal::kInvalid, 0u);
}

TEST_F(DecimalTest, OutOfRangeIntegerConversionsGiveTheInvalidResult) {
  // The invalid-operation result is the integer with only its top bit set,
  // whatever the signedness of the type.
  constexpr std::uint64_t kTop32 = 0x80000000u, kTop64 = 0x8000000000000000u;
  enum Kind { kInt32, kUInt32, kInt64, kUInt64 };
  struct Case {
    const char* value;
    Kind kind;
    bool floor;
    std::uint64_t expected;  // the bits of the result
    bool invalid;
  };
  const Case cases[] = {
      {"2147483648", kInt32, true, kTop32, true},
      {"2147483647.5", kInt32, false, kTop32, true},  // ceiling is 2^31
      {"2147483647.5", kInt32, true, 2147483647u, false},
      {"-2147483649", kInt32, false, kTop32, true},
      {"4294967296", kUInt32, true, kTop32, true},
      {"4294967295.5", kUInt32, false, kTop32, true},
      {"-1", kUInt32, true, kTop32, true},
      {"-0.5", kUInt32, true, kTop32, true},  // floor is -1
      {"-0.5", kUInt32, false, 0, false},     // ceiling is 0
      {"1E20", kInt64, true, kTop64, true},
      {"-9223372036854775809", kInt64, false, kTop64, true},
      {"18446744073709551616", kUInt64, true, kTop64, true},
      {"-1", kUInt64, false, kTop64, true},
      {"NaN", kInt32, true, kTop32, true},
      {"Inf", kUInt64, false, kTop64, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value) + (c.floor ? " floor" : " ceiling") + " kind " + std::to_string(c.kind));
    Decimal::ClearStatusFlags();
    Decimal d = D(c.value);
    std::uint64_t bits = 0;
    switch (c.kind) {
      case kInt32: bits = static_cast<std::uint32_t>(d.ToInt32(c.floor)); break;
      case kUInt32: bits = d.ToUInt32(c.floor); break;
      case kInt64: bits = static_cast<std::uint64_t>(d.ToInt64(c.floor)); break;
      case kUInt64: bits = d.ToUInt64(c.floor); break;
    }
    EXPECT_EQ(bits, c.expected);
    EXPECT_EQ((Decimal::StatusFlags() & Decimal::kInvalid) != 0, c.invalid);
  }
}

TEST_F(DecimalTest, ConvertsFromAndToBinaryFloatingPoint) {
  // The binary double nearest 0.1 is 0.1000000000000000055511151231257827021...;
  // 34 digits keep it up to ...827.
  Decimal fromDouble(0.1);
  EXPECT_EQ(fromDouble.ToString(), "+0.1000000000000000055511151231257827");
  EXPECT_EQ(fromDouble.ToDouble(), 0.1);
  EXPECT_FALSE(fromDouble == D("0.1"));
  EXPECT_EQ(D("0.1").ToDouble(), 0.1);
  // The float nearest 0.1 is 13421773 / 2^27 = 0.100000001490116119384765625, exact in 34 digits.
  Decimal fromFloat(0.1f);
  EXPECT_EQ(fromFloat.ToString(), "+0.100000001490116119384765625");
  EXPECT_EQ(fromFloat.ToFloat(), 0.1f);
  EXPECT_EQ(D("156.25").ToFloat(), 156.25f);
  EXPECT_EQ(Decimal(-1.5).ToString(), "-1.5");
  EXPECT_EQ(D("1E400").ToDouble(), std::numeric_limits<double>::infinity());
  EXPECT_NE(Decimal::StatusFlags() & Decimal::kOverflow, 0u);
}

TEST_F(DecimalTest, BuildsExactlyFromEveryIntegerType) {
  EXPECT_EQ(Decimal(std::numeric_limits<std::int32_t>::min()).ToString(), "-2147483648");
  EXPECT_EQ(Decimal(std::numeric_limits<std::uint32_t>::max()).ToString(), "+4294967295");
  EXPECT_EQ(Decimal(std::numeric_limits<std::int64_t>::min()).ToString(), "-9223372036854775808");
  EXPECT_EQ(Decimal(std::numeric_limits<std::uint64_t>::max()).ToString(), "+18446744073709551615");
  EXPECT_EQ(Decimal::StatusFlags(), 0u);
}

// ---------------------------------------------------------------- text form

TEST_F(DecimalTest, ToStringWritesSignDigitsAndPoint) {
  struct Case {
    Decimal value;
    const char* expected;
  };
  const Case cases[] = {
      {Parts(15625, -2), "+156.25"},
      {Parts(15, 0), "+15"},
      {Parts(15, 1), "+150"},  // a non-negative exponent is written in full
      {Parts(7, 3, -1), "-7000"},
      {Parts(1, -3), "+0.001"},  // padded to one digit before the point
      {Parts(25, -2), "+0.25"},  // as many places as digits
      {Parts(15, -1, -1), "-1.5"},
      {Parts(150, -2), "+1.50"},  // trailing zeros of the coefficient stay
      {Parts(0, -2), "+0.00"},
      {Parts(0, 3), "+0"},
      {Parts(0, 0, -1), "-0"},
      {Parts(0, -4, 1, 0, 1), "+1844674407370955.1616"},  // 2^64 from the high word
      {D("NaN"), "+NaN"},
      {D("-Inf"), "-Inf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.value.ToString(), c.expected);
  }
  std::ostringstream os;
  os << Parts(15625, -2) << ' ' << Parts(1, -3, -1);
  EXPECT_EQ(os.str(), "+156.25 -0.001");
}

TEST_F(DecimalTest, ParsesText) {
  EXPECT_EQ(D("156.25").ToString(), "+156.25");
  EXPECT_EQ(D("-1.5E-3").ToString(), "-0.0015");
  EXPECT_EQ(D("1.5e3").ToString(), "+1500");
  EXPECT_EQ(D("1.50").ToString(), "+1.50");
  // 35 digits round to 34, ties to even.
  EXPECT_EQ(Decimal("1." + std::string(33, '0') + "5").ToString(), "+1." + std::string(33, '0'));
  EXPECT_EQ(Decimal("1." + std::string(32, '0') + "15").ToString(), "+1." + std::string(32, '0') + "2");
  Decimal bad = D("abc");
  EXPECT_FALSE(bad == bad);
}

// ---------------------------------------------------------------- parts and records

TEST_F(DecimalTest, RecordHasTheDecimalByteLayout) {
  DecimalRecord empty;
  for (std::uint8_t b : empty.bytes) EXPECT_EQ(b, 0);

  // -1.5 = -(15 x 10^-1).
  DecimalRecord r = Parts(15, -1, -1).ToDecimalRecord();
  const std::array<std::uint8_t, 16> minusOnePointFive = {0, 0, 1, 0x80, 0, 0, 0, 0, 15, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::to_array(r.bytes), minusOnePointFive);
  EXPECT_EQ(r.GetLo32(), 15u);
  EXPECT_EQ(r.GetMid32(), 0u);
  EXPECT_EQ(r.GetHi32(), 0u);
  EXPECT_EQ(r.GetScale(), 1);
  EXPECT_EQ(r.GetSign(), -1);
  EXPECT_EQ(r.GetFlags(), 0x80010000u);

  // Each coefficient word in its own place, little-endian: hi at 4, lo at 8, mid at 12.
  r = Parts(0x44332211, -5, 1, 0x88776655, 0xCCBBAA99).ToDecimalRecord();
  const std::array<std::uint8_t, 16> words = {0,    0,    5,    0,    0x99, 0xAA, 0xBB, 0xCC,
                                              0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  EXPECT_EQ(std::to_array(r.bytes), words);
}

TEST_F(DecimalTest, RecordAccessorsStoreTheirFields) {
  DecimalRecord r;
  r.SetCoefficient(1, 2, 3);
  r.SetScale(40);
  r.SetSign(-1);
  EXPECT_EQ(r.GetLo32(), 1u);
  EXPECT_EQ(r.GetMid32(), 2u);
  EXPECT_EQ(r.GetHi32(), 3u);
  EXPECT_EQ(r.bytes[2], 40);
  EXPECT_EQ(r.GetScale(), 8);  // 40 & 31
  EXPECT_EQ(r.GetSign(), -1);
  EXPECT_EQ(r.bytes[3], 0x80);
  r.bytes[3] = 0xFF;
  r.SetSign(1);
  EXPECT_EQ(r.bytes[3], 0x7F);  // only bit 7 changes
  EXPECT_EQ(r.GetSign(), 1);
  r.SetSign(0);
  EXPECT_EQ(r.GetSign(), 1);
}

TEST_F(DecimalTest, RecordsRoundTripThroughDecimal) {
  // The largest 96-bit coefficient, 2^96 - 1, at 28 places.
  const Decimal values[] = {Parts(15, -1, -1), Parts(0xFFFFFFFF, -28, 1, 0xFFFFFFFF, 0xFFFFFFFF), Parts(0, 0),
                            Parts(0x44332211, -5, 1, 0x88776655, 0xCCBBAA99)};
  for (const Decimal& v : values) {
    Decimal back(v.ToDecimalRecord());
    EXPECT_EQ(back.ToString(), v.ToString());
  }
  EXPECT_EQ(values[1].ToString(), "+7.9228162514264337593543950335");
}

TEST_F(DecimalTest, DecimalFromRecordMasksScaleAndReadsOnlyTheSignBit) {
  struct Case {
    std::uint8_t scale, sign;
    std::string expected;
  };
  const Case cases[] = {
      {2, 0x00, "+1.23"},
      {2 + 32, 0x00, "+1.23"},  // scale read masked with 31
      {31, 0x80, "-0." + std::string(28, '0') + "123"},
      {0, 0x7F, "+123"},  // bits other than 7 ignored
      {0, 0x80, "-123"},
  };
  for (const Case& c : cases) {
    DecimalRecord r;
    r.SetCoefficient(123, 0, 0);
    r.bytes[0] = 0xAB;  // the reserved bytes are not read
    r.bytes[1] = 0xCD;
    r.bytes[2] = c.scale;
    r.bytes[3] = c.sign;
    EXPECT_EQ(Decimal(r).ToString(), c.expected) << int(c.scale) << " " << int(c.sign);
  }
}

TEST_F(DecimalTest, RecordOfPositiveExponentKeepsTheCoefficientUnscaled) {
  // 150 held as 15 x 10^1 goes into the record as 15 at scale 0.
  DecimalRecord r = Parts(15, 1).ToDecimalRecord();
  EXPECT_EQ(r.GetLo32(), 15u);
  EXPECT_EQ(r.GetScale(), 0);
  EXPECT_EQ(r.GetSign(), 1);
}

TEST_F(DecimalTest, PartsRoundTripAndDropCoefficientBitsAbove95) {
  PartsOut p = GetParts(Parts(0x44332211, -7, -1, 0x88776655, 0xCCBBAA99));
  EXPECT_EQ(p.lo, 0x44332211u);
  EXPECT_EQ(p.mid, 0x88776655u);
  EXPECT_EQ(p.hi, 0xCCBBAA99u);
  EXPECT_EQ(p.exponent, -7);
  EXPECT_EQ(p.sign, -1);

  // 10^34 - 1 = 0x1ED09BEAD87C0378D8E63FFFFFFFF: 113 bits, of which 96 are reported.
  Decimal nines = D("9999999999999999999999999999999999");
  p = GetParts(nines);
  EXPECT_EQ(p.lo, 0xFFFFFFFFu);
  EXPECT_EQ(p.mid, 0x378D8E63u);
  EXPECT_EQ(p.hi, 0xBEAD87C0u);
  EXPECT_EQ(p.exponent, 0);
  EXPECT_EQ(p.sign, 1);
  DecimalRecord r = nines.ToDecimalRecord();
  EXPECT_EQ(r.GetHi32(), 0xBEAD87C0u);
  EXPECT_EQ(r.GetMid32(), 0x378D8E63u);
  EXPECT_EQ(r.GetLo32(), 0xFFFFFFFFu);

  // Infinities and NaN carry no exponent: it reads as -6176.
  p = GetParts(D("-Inf"));
  EXPECT_EQ(p.exponent, -6176);
  EXPECT_EQ(p.sign, -1);
  EXPECT_EQ(p.lo | p.mid, 0u);
  p = GetParts(D("NaN"));
  EXPECT_EQ(p.exponent, -6176);
  EXPECT_EQ(p.sign, 1);
}

TEST_F(DecimalTest, SetPartsBringsExponentsOutsideTheFormatIntoRange) {
  // The format's exponents run from -6176 to 6111.
  PartsOut p = GetParts(Parts(1, -6176));
  EXPECT_EQ(p.lo, 1u);
  EXPECT_EQ(p.exponent, -6176);
  p = GetParts(Parts(1, 6111));
  EXPECT_EQ(p.exponent, 6111);
  EXPECT_EQ(Decimal::StatusFlags(), 0u);

  // 1 x 10^6112 is exactly 10 x 10^6111.
  p = GetParts(Parts(1, 6112));
  EXPECT_EQ(p.lo, 10u);
  EXPECT_EQ(p.exponent, 6111);
  EXPECT_EQ(Decimal::StatusFlags(), 0u);

  // 15 x 10^-6177 = 1.5 x 10^-6176 rounds to 2 x 10^-6176 (ties to even).
  p = GetParts(Parts(15, -6177, -1));
  EXPECT_EQ(p.lo, 2u);
  EXPECT_EQ(p.exponent, -6176);
  EXPECT_EQ(p.sign, -1);
  EXPECT_EQ(Decimal::StatusFlags(), Decimal::kUnderflow | Decimal::kInexact);

  Decimal::ClearStatusFlags();
  EXPECT_EQ(Parts(1, std::numeric_limits<int>::max()).ToString(), "+Inf");
  EXPECT_NE(Decimal::StatusFlags() & Decimal::kOverflow, 0u);
  Decimal tiny = Parts(1, std::numeric_limits<int>::min(), -1);
  EXPECT_TRUE(tiny == Decimal(std::int32_t{0}));
  EXPECT_EQ(GetParts(tiny).sign, -1);
}

// ---------------------------------------------------------------- text helpers

TEST_F(DecimalTest, FormatFixedTrimmedRemovesOnlyARunOfZerosAfterThePoint) {
  struct Case {
    double x;
    int precision;
    const char* expected;
  };
  const Case cases[] = {
      {150.0, 9, "150."},
      {0.25, 9, "0.25"},
      {1.12345678, 9, "1.123456780"},  // a single final zero stays
      {1.5, 9, "1.5"},
      {1.0, 9, "1."},
      {0.0, 9, "0."},
      {-2.5, 3, "-2.5"},
      {100.5, 2, "100.50"},  // the integer's zeros are not part of the final run
      {100.0, 2, "100."},
      {2.0, 1, "2.0"},
      {483.3984375, 9, "483.3984375"},
      {686.39030223359998, 9, "686.390302234"},
      {1000.0, 0, "1000"},  // no point: nothing trimmed
      {1230.4, 0, "1230"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatFixedTrimmed(c.x, c.precision), c.expected) << c.x << " with " << c.precision;
  }
}

TEST_F(DecimalTest, TextHelpersUseTheClassicLocale) {
  GlobalCommaLocale comma;
  std::ostringstream probe;
  probe << 1234567 << ' ' << 0.5;
  ASSERT_EQ(probe.str(), "1.234.567 0,5");  // the comma locale is in force

  EXPECT_EQ(FormatFixedTrimmed(1234567.5, 3), "1234567.5");
  EXPECT_EQ(FormatDecimalFixedTrimmed(D("1234.25"), 9), "1234.25");
  EXPECT_EQ(IntToString(1234567), "1234567");
  EXPECT_EQ(Parts(1234567, -1).ToString(), "+123456.7");
  EXPECT_EQ(ParseDoubleClassic("1234.5"), 1234.5);
  EXPECT_TRUE(RoundDecimalThroughText(D("1234.5")) == Decimal(1234.5));
}

TEST_F(DecimalTest, FormatDecimalFixedTrimmedGoesThroughDouble) {
  EXPECT_EQ(FormatDecimalFixedTrimmed(D("156.25"), 9), "156.25");
  EXPECT_EQ(FormatDecimalFixedTrimmed(Decimal(std::int32_t{1}) / Decimal(std::int32_t{3}), 9), "0.333333333");
  // 1 + 10^-25 is 1.0 as a double.
  EXPECT_EQ(FormatDecimalFixedTrimmed(D("1.0000000000000000000000001"), 9), "1.");
  EXPECT_EQ(FormatDecimalFixedTrimmed(Parts(15, 1), 0), "150");
}

TEST_F(DecimalTest, FormatDecimalExactTrimsTheExactText) {
  struct Case {
    Decimal x;
    const char* expected;
  };
  const Case cases[] = {
      {D("1.500"), "+1.5"},    {D("1.50"), "+1.50"},
      {D("100.000"), "+100."}, {Parts(15, 1), "+150"},  // no point: the integer's zeros stay
      {D("1000"), "+1000"},    {D("0.001"), "+0.001"},
      {D("-0.00"), "-0."},     {D("NaN"), "+NaN"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDecimalExact(c.x, 28), c.expected);
    EXPECT_EQ(FormatDecimalExact(c.x, 0), c.expected);  // precision is not used
  }
}

TEST_F(DecimalTest, RoundDecimalThroughTextPassesOnceThroughDouble) {
  EXPECT_EQ(RoundDecimalThroughText(D("0.1")).ToString(), "+0.1000000000000000055511151231257827");
  Decimal third = Decimal(std::int32_t{1}) / Decimal(std::int32_t{3});
  EXPECT_TRUE(RoundDecimalThroughText(third) == Decimal(1.0 / 3.0));
  EXPECT_TRUE(RoundDecimalThroughText(D("-156.25")) == D("-156.25"));
  EXPECT_TRUE(RoundDecimalThroughText(Parts(15, 1)) == Decimal(std::int32_t{150}));
  Decimal inf = RoundDecimalThroughText(D("-Inf"));
  EXPECT_TRUE(inf == D("-Inf"));
  Decimal nan = RoundDecimalThroughText(D("NaN"));
  EXPECT_FALSE(nan == nan);

  EXPECT_THROW(RoundDecimalThroughText(D("SNaN")), std::invalid_argument);
  EXPECT_THROW(RoundDecimalThroughText(D("1E400")), std::out_of_range);
  EXPECT_THROW(RoundDecimalThroughText(D("-1E400")), std::out_of_range);
  EXPECT_THROW(RoundDecimalThroughText(D("1E-310")), std::out_of_range);  // subnormal
}

TEST_F(DecimalTest, IntToStringWritesPlainDecimal) {
  EXPECT_EQ(IntToString(0), "0");
  EXPECT_EQ(IntToString(-42), "-42");
  EXPECT_EQ(IntToString(483), "483");
  EXPECT_EQ(IntToString(std::numeric_limits<int>::min()), "-2147483648");
}

TEST_F(DecimalTest, ParseDoubleClassicReadsLikeTheStandardConversion) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"156.25", 156.25},
      {"  \t156.25 ", 156.25},
      {"+1.5e3", 1500.0},
      {"-0.25", -0.25},
      {"12abc", 12.0},
      {".5", 0.5},
      {"686.390302234 ", 686.390302234},
      {"2.2250738585072014e-308", 2.2250738585072014e-308},  // the smallest normal double
      {"0e-999", 0.0},
      {"-inf", -std::numeric_limits<double>::infinity()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDoubleClassic(c.text), c.expected) << c.text;
  }
  EXPECT_TRUE(std::isnan(ParseDoubleClassic("NaN")));
  EXPECT_TRUE(std::signbit(ParseDoubleClassic("-0")));

  for (const char* text : {"", " ", "abc", "+-1", "- 1", "+", "."}) {
    EXPECT_THROW(ParseDoubleClassic(text), std::invalid_argument) << '"' << text << '"';
  }
  for (const char* text : {"1e400", "-1e400", "1e-400", "1e-310", "2.2250738585072011e-308"}) {
    EXPECT_THROW(ParseDoubleClassic(text), std::out_of_range) << text;
  }
}

// ---------------------------------------------------------------- per-thread state

TEST_F(DecimalTest, RoundingModeAndFlagsArePerThread) {
  Decimal::SetRoundingMode(2);
  std::uint32_t otherMode = 99, otherFlags = 99;
  std::thread other([&] {
    otherMode = Decimal::RoundingMode();
    Decimal::ClearStatusFlags();
    (void)(Decimal(std::int32_t{1}) / Decimal(std::int32_t{0}));
    otherFlags = Decimal::StatusFlags();
  });
  other.join();
  EXPECT_EQ(otherMode, 0u);
  EXPECT_EQ(otherFlags, Decimal::kDivisionByZero);
  EXPECT_EQ(Decimal::RoundingMode(), 2u);
  EXPECT_EQ(Decimal::StatusFlags(), 0u);
}

}  // namespace
