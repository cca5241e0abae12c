#include "clock/Decimal.h"

#include <bid_conf.h>
#include <bid_functions.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <locale>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <system_error>

static_assert(Decimal::kInvalid == BID_INVALID_EXCEPTION);
static_assert(Decimal::kDivisionByZero == BID_ZERO_DIVIDE_EXCEPTION);
static_assert(Decimal::kOverflow == BID_OVERFLOW_EXCEPTION);
static_assert(Decimal::kUnderflow == BID_UNDERFLOW_EXCEPTION);
static_assert(Decimal::kInexact == BID_INEXACT_EXCEPTION);
static_assert(BID_ROUNDING_TO_NEAREST == 0);

namespace {

// Per thread, so that planners of different instruments driven from different
// threads do not race on them.
thread_local _IDEC_round g_roundingMode = BID_ROUNDING_TO_NEAREST;
thread_local _IDEC_flags g_statusFlags = 0;

constexpr int kExponentBias = 6176;
constexpr int kMaxBiasedExponent = 12287;

BID_UINT128 ToBid(std::uint64_t low, std::uint64_t high) {
  BID_UINT128 v;
  v.w[0] = low;
  v.w[1] = high;
  return v;
}

// (high, low) >= (limitHigh, limitLow), as 128-bit unsigned numbers.
bool AtLeast(std::uint64_t high, std::uint64_t low, std::uint64_t limitHigh, std::uint64_t limitLow) {
  return high > limitHigh || (high == limitHigh && low >= limitLow);
}
constexpr std::uint64_t kTen34High = 0x1ed09bead87c0ull, kTen34Low = 0x378d8e6400000000ull;
constexpr std::uint64_t kTen33High = 0x314dc6448d93ull, kTen33Low = 0x38c15b0a00000000ull;

// Coefficient halves, biased exponent and sign of a BID128 value, decoded the
// way the DECIMAL conversions want them.
struct Unpacked {
  std::uint64_t high;  // coefficient (or NaN/infinity payload) bits 64 and up
  std::uint64_t low;
  int exponent;  // unbiased
  bool negative;
};

Unpacked Unpack(std::uint64_t high, std::uint64_t low) {
  Unpacked u{};
  u.negative = (high >> 63) != 0;
  int biased = 0;
  if ((high & 0x6000000000000000ull) != 0x6000000000000000ull) {
    u.high = high & 0x1FFFFFFFFFFFFull;
    u.low = low;
    if (AtLeast(u.high, u.low, kTen34High, kTen34Low)) u.high = u.low = 0;  // non-canonical coefficient means 0
    biased = static_cast<int>((high >> 49) & 0x3FFF);
  } else if ((high & 0x7800000000000000ull) == 0x7800000000000000ull) {
    // Infinity or NaN: no exponent; a non-canonical NaN payload is dropped.
    u.high = high;
    u.low = low;
    if (AtLeast(high & 0x7FFFFFFFFFFFull, low, kTen33High, kTen33Low)) {
      u.high = high & 0xFFFF800000000000ull;
      u.low = 0;
    }
  } else {
    // Coefficient above 2^113: not canonical in 128 bits, so 0.
    biased = static_cast<int>((high >> 47) & 0x3FFF);
  }
  u.exponent = biased - kExponentBias;
  return u;
}

// coefficient hi:mid:lo x 10^exponent with the given sign. The coefficient is
// below 2^96 < 10^34, so it is always canonical; an exponent outside the
// directly encodable range is applied with scalbn, which rounds.
BID_UINT128 Pack(std::uint32_t lo, std::uint32_t mid, std::uint32_t hi, int exponent, bool negative) {
  std::uint64_t low = static_cast<std::uint64_t>(mid) << 32 | lo;
  std::uint64_t high = hi;
  std::uint64_t sign = negative ? 0x8000000000000000ull : 0;
  long long biased = static_cast<long long>(exponent) + kExponentBias;
  if (biased >= 0 && biased <= kMaxBiasedExponent) {
    return ToBid(low, sign | static_cast<std::uint64_t>(biased) << 49 | high);
  }
  BID_UINT128 unit = ToBid(low, sign | static_cast<std::uint64_t>(kExponentBias) << 49 | high);
  return bid128_scalbn(unit, exponent, g_roundingMode, &g_statusFlags);
}

// Removes a final run of two or more '0' characters, provided the text has a
// decimal point (the run then lies after it: the point itself is not a zero).
// A single final zero is kept.
std::string TrimZeros(std::string text) {
  if (text.find('.') == std::string::npos) return text;
  std::string rest = text;
  for (;;) {
    std::size_t zero = rest.find('0');
    if (zero == std::string::npos || zero + 1 == rest.size()) return text;
    rest = rest.substr(zero + 1);
    if (rest.find_first_not_of('0') == std::string::npos) {
      text.erase(text.size() - (rest.size() + 1));
      return text;
    }
  }
}

}  // namespace

Decimal Decimal::FromRaw(Raw raw) {
  Decimal d;
  d.SetRaw(raw);
  return d;
}

#define TESSOK_BID(v) ToBid((v).bits_[0], (v).bits_[1])
#define TESSOK_RAW(b) (Raw{(b).w[0], (b).w[1]})

Decimal::Decimal() : bits_{0, static_cast<std::uint64_t>(kExponentBias) << 49} {}

Decimal::Decimal(std::int32_t value) {
  BID_UINT128 b = bid128_from_int32(value);
  SetRaw(TESSOK_RAW(b));
}

Decimal::Decimal(std::uint32_t value) {
  BID_UINT128 b = bid128_from_uint32(value);
  SetRaw(TESSOK_RAW(b));
}

Decimal::Decimal(std::int64_t value) {
  BID_UINT128 b = bid128_from_int64(static_cast<BID_SINT64>(value));
  SetRaw(TESSOK_RAW(b));
}

Decimal::Decimal(std::uint64_t value) {
  BID_UINT128 b = bid128_from_uint64(static_cast<BID_UINT64>(value));
  SetRaw(TESSOK_RAW(b));
}

Decimal::Decimal(float value) {
  BID_UINT128 b = binary32_to_bid128(value, g_roundingMode, &g_statusFlags);
  SetRaw(TESSOK_RAW(b));
}

Decimal::Decimal(double value) {
  BID_UINT128 b = binary64_to_bid128(value, g_roundingMode, &g_statusFlags);
  SetRaw(TESSOK_RAW(b));
}

Decimal::Decimal(std::string text) {
  BID_UINT128 b = bid128_from_string(text.data(), g_roundingMode, &g_statusFlags);
  SetRaw(TESSOK_RAW(b));
}

Decimal::Decimal(const DecimalRecord& record) {
  BID_UINT128 b = Pack(record.GetLo32(), record.GetMid32(), record.GetHi32(), -static_cast<int>(record.bytes[2] & 31u),
                       (record.bytes[3] & 0x80u) != 0);
  SetRaw(TESSOK_RAW(b));
}

Decimal& Decimal::operator=(const std::int32_t& value) {
  Decimal d(value);
  bits_[0] = d.bits_[0];
  bits_[1] = d.bits_[1];
  return *this;
}

Decimal::~Decimal() {}

Decimal Decimal::operator+(const Decimal& other) const {
  BID_UINT128 r = bid128_add(TESSOK_BID(*this), TESSOK_BID(other), g_roundingMode, &g_statusFlags);
  return FromRaw(TESSOK_RAW(r));
}

Decimal Decimal::operator-(const Decimal& other) const {
  BID_UINT128 r = bid128_sub(TESSOK_BID(*this), TESSOK_BID(other), g_roundingMode, &g_statusFlags);
  return FromRaw(TESSOK_RAW(r));
}

Decimal Decimal::operator*(const Decimal& other) const {
  BID_UINT128 r = bid128_mul(TESSOK_BID(*this), TESSOK_BID(other), g_roundingMode, &g_statusFlags);
  return FromRaw(TESSOK_RAW(r));
}

Decimal Decimal::operator/(const Decimal& other) const {
  BID_UINT128 r = bid128_div(TESSOK_BID(*this), TESSOK_BID(other), g_roundingMode, &g_statusFlags);
  return FromRaw(TESSOK_RAW(r));
}

Decimal Decimal::operator%(const Decimal& other) const {
  BID_UINT128 r = bid128_rem(TESSOK_BID(*this), TESSOK_BID(other), &g_statusFlags);
  return FromRaw(TESSOK_RAW(r));
}

Decimal& Decimal::operator+=(const Decimal& other) {
  *this = *this + other;
  return *this;
}

Decimal& Decimal::operator-=(const Decimal& other) {
  *this = *this - other;
  return *this;
}

Decimal& Decimal::operator*=(const Decimal& other) {
  *this = *this * other;
  return *this;
}

Decimal& Decimal::operator/=(const Decimal& other) {
  *this = *this / other;
  return *this;
}

Decimal& Decimal::operator++() {
  *this = *this + Decimal(std::int32_t{1});
  return *this;
}

Decimal& Decimal::operator--() {
  *this = *this - Decimal(std::int32_t{1});
  return *this;
}

Decimal Decimal::operator++(int) {
  Decimal old(*this);
  ++*this;
  return old;
}

Decimal Decimal::operator--(int) {
  Decimal old(*this);
  --*this;
  return old;
}

bool Decimal::operator==(const Decimal& other) const {
  return !bid128_quiet_not_equal(TESSOK_BID(*this), TESSOK_BID(other), &g_statusFlags);
}

bool Decimal::operator!=(const Decimal& other) const {
  return !bid128_quiet_equal(TESSOK_BID(*this), TESSOK_BID(other), &g_statusFlags);
}

bool Decimal::operator<(const Decimal& other) const {
  return !bid128_quiet_less_equal(TESSOK_BID(other), TESSOK_BID(*this), &g_statusFlags);
}

bool Decimal::operator<=(const Decimal& other) const {
  return !bid128_quiet_less(TESSOK_BID(other), TESSOK_BID(*this), &g_statusFlags);
}

bool Decimal::operator>(const Decimal& other) const {
  return !bid128_quiet_greater_equal(TESSOK_BID(other), TESSOK_BID(*this), &g_statusFlags);
}

bool Decimal::operator>=(const Decimal& other) const {
  return !bid128_quiet_greater(TESSOK_BID(other), TESSOK_BID(*this), &g_statusFlags);
}

double Decimal::ToDouble() const { return bid128_to_binary64(TESSOK_BID(*this), g_roundingMode, &g_statusFlags); }

float Decimal::ToFloat() const { return bid128_to_binary32(TESSOK_BID(*this), g_roundingMode, &g_statusFlags); }

std::int32_t Decimal::ToInt32(bool floor) const {
  return floor ? bid128_to_int32_floor(TESSOK_BID(*this), &g_statusFlags)
               : bid128_to_int32_ceil(TESSOK_BID(*this), &g_statusFlags);
}

std::uint32_t Decimal::ToUInt32(bool floor) const {
  return floor ? bid128_to_uint32_floor(TESSOK_BID(*this), &g_statusFlags)
               : bid128_to_uint32_ceil(TESSOK_BID(*this), &g_statusFlags);
}

std::int64_t Decimal::ToInt64(bool floor) const {
  return static_cast<std::int64_t>(floor ? bid128_to_int64_floor(TESSOK_BID(*this), &g_statusFlags)
                                         : bid128_to_int64_ceil(TESSOK_BID(*this), &g_statusFlags));
}

std::uint64_t Decimal::ToUInt64(bool floor) const {
  return static_cast<std::uint64_t>(floor ? bid128_to_uint64_floor(TESSOK_BID(*this), &g_statusFlags)
                                          : bid128_to_uint64_ceil(TESSOK_BID(*this), &g_statusFlags));
}

std::string Decimal::ToString() const {
  char buffer[1024];
  std::memset(buffer, 0, sizeof buffer);
  bid128_to_string(buffer, TESSOK_BID(*this), &g_statusFlags);
  std::string text(buffer);

  // The library writes sign, coefficient digits, 'E' and a signed exponent.
  std::size_t e = text.find('E');
  if (e == std::string::npos) return text;  // NaN, infinity
  std::string result = text.substr(0, e);
  long long exponent = 0;
  {
    std::size_t i = e + 1;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) exponent = exponent * 10 + (text[i] - '0');
    if (negative) exponent = -exponent;
  }

  if (exponent >= 0) {
    // A whole number: the digits followed by the exponent's zeros.
    bool zero = result.find_first_not_of("+-0") == std::string::npos;
    if (!zero) result.append(static_cast<std::size_t>(exponent), '0');
    return result;
  }
  std::size_t places = static_cast<std::size_t>(-exponent);
  std::size_t signLength = (!result.empty() && (result[0] == '+' || result[0] == '-')) ? 1 : 0;
  std::size_t digits = result.size() - signLength;
  if (digits <= places) {
    // Below 1: pad with zeros so that one digit stands before the point.
    result.insert(signLength, places + 1 - digits, '0');
  }
  result.insert(result.size() - places, 1, '.');
  return result;
}

void Decimal::SetParts(std::uint32_t lo, std::uint32_t mid, std::uint32_t hi, int exponent, int sign) {
  BID_UINT128 b = Pack(lo, mid, hi, exponent, sign < 0);
  SetRaw(TESSOK_RAW(b));
}

void Decimal::GetParts(std::uint32_t* lo, std::uint32_t* mid, std::uint32_t* hi, int* exponent, int* sign) const {
  Unpacked u = Unpack(bits_[1], bits_[0]);
  *lo = static_cast<std::uint32_t>(u.low);
  *mid = static_cast<std::uint32_t>(u.low >> 32);
  *hi = static_cast<std::uint32_t>(u.high);
  *exponent = u.exponent;
  *sign = u.negative ? -1 : 1;
}

DecimalRecord Decimal::ToDecimalRecord() const {
  Unpacked u = Unpack(bits_[1], bits_[0]);
  DecimalRecord record;
  record.SetCoefficient(static_cast<std::uint32_t>(u.low), static_cast<std::uint32_t>(u.low >> 32),
                        static_cast<std::uint32_t>(u.high));
  if (u.negative) record.bytes[3] = 0x80;
  if (u.exponent < 0) record.bytes[2] = static_cast<std::uint8_t>(-u.exponent);
  return record;
}

std::uint32_t Decimal::RoundingMode() { return g_roundingMode; }
void Decimal::SetRoundingMode(std::uint32_t mode) { g_roundingMode = mode; }
std::uint32_t Decimal::StatusFlags() { return g_statusFlags; }
void Decimal::ClearStatusFlags() { g_statusFlags = 0; }

#undef TESSOK_BID
#undef TESSOK_RAW

std::ostream& operator<<(std::ostream& os, const Decimal& value) { return os << value.ToString(); }

std::string FormatFixedTrimmed(double x, int precision) {
  std::ostringstream os;
  os.imbue(std::locale::classic());
  os << std::fixed << std::setprecision(precision) << x;
  return TrimZeros(os.str());
}

std::string FormatDecimalFixedTrimmed(Decimal x, int precision) { return FormatFixedTrimmed(x.ToDouble(), precision); }

std::string FormatDecimalExact(Decimal x, int precision) {
  (void)precision;
  return TrimZeros(x.ToString());
}

Decimal RoundDecimalThroughText(Decimal x) { return Decimal(ParseDoubleClassic(FormatDecimalExact(x, 28) + " ")); }

std::string IntToString(int value) {
  std::ostringstream os;
  os.imbue(std::locale::classic());
  os << value;
  return os.str();
}

double ParseDoubleClassic(const std::string& text) {
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  double value = 0.0;
  std::from_chars_result r{p, std::errc::invalid_argument};
  if (p < end && *p != '+' && *p != '-') r = std::from_chars(p, end, value, std::chars_format::general);
  if (r.ec == std::errc::invalid_argument) throw std::invalid_argument("ParseDoubleClassic: no number");
  // Like the standard conversion, a value that lands below the normal range
  // (a subnormal result) counts as out of range too.
  if (r.ec == std::errc::result_out_of_range || std::fpclassify(value) == FP_SUBNORMAL) {
    throw std::out_of_range("ParseDoubleClassic: out of range of double");
  }
  return negative ? -value : value;
}
