// Decimal: one IEEE 754-2008 128-bit decimal floating-point number (BID128
// encoding), 34 significant digits.
//
// The Si5346 planner does all of its divider arithmetic in this type, so that
// decimal frequencies such as 156.25 MHz and their ratios are held and compared
// exactly. Every operation is handed to the Intel decimal floating-point
// library; this class adds operator syntax, integer, floating-point and text
// conversions, the 96-bit-coefficient DecimalRecord and a few text helpers.
//
// Rounding and status flags: every call that can round uses the current
// rounding mode (0, to nearest with ties to even, unless changed), and every
// call that can raise a flag (invalid, division by zero, overflow, underflow,
// inexact) ORs it into the status-flags word. Both are kept per thread, start
// at 0, and are only read or changed through the static accessors below;
// nothing in the library relies on the flags.
//
// Errors are never reported by the class itself: results are the library's
// (NaN, infinities, rounded values, and for an integer conversion out of range
// the library's invalid-operation result: the most negative value of the
// result type, or 0x80000000 / 0x8000000000000000 for the unsigned types).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

// The 16-byte layout of a Windows DECIMAL: value = coefficient x 10^-scale.
//   bytes 0-1   reserved, 0
//   byte  2     scale (number of decimal places; read masked with 31)
//   byte  3     sign: bit 7 set = negative
//   bytes 4-7   coefficient bits 64-95  (hi32)
//   bytes 8-11  coefficient bits 0-31   (lo32)
//   bytes 12-15 coefficient bits 32-63  (mid32)
// Multi-byte fields are little-endian whatever the host.
struct DecimalRecord {
  DecimalRecord() : bytes{} {}

  std::uint32_t GetFlags() const { return Load32(0); }  // bytes 0-3
  std::uint32_t GetHi32() const { return Load32(4); }
  std::uint32_t GetLo32() const { return Load32(8); }
  std::uint32_t GetMid32() const { return Load32(12); }
  std::uint8_t GetScale() const { return static_cast<std::uint8_t>(bytes[2] & 31u); }
  int GetSign() const { return (bytes[3] & 0x80u) != 0 ? -1 : 1; }

  void SetCoefficient(std::uint32_t lo, std::uint32_t mid, std::uint32_t hi) {
    Store32(8, lo);
    Store32(12, mid);
    Store32(4, hi);
  }
  void SetScale(std::uint8_t scale) { bytes[2] = scale; }
  void SetSign(int sign) { bytes[3] = static_cast<std::uint8_t>(sign < 0 ? (bytes[3] | 0x80u) : (bytes[3] & 0x7Fu)); }

  std::uint8_t bytes[16];

 private:
  std::uint32_t Load32(int at) const {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
  }
  void Store32(int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
};
static_assert(sizeof(DecimalRecord) == 16, "DecimalRecord is the 16-byte DECIMAL layout");

class Decimal {
 public:
  // Status-flag bits of the decimal library.
  static constexpr std::uint32_t kInvalid = 0x01;
  static constexpr std::uint32_t kDivisionByZero = 0x04;
  static constexpr std::uint32_t kOverflow = 0x08;
  static constexpr std::uint32_t kUnderflow = 0x10;
  static constexpr std::uint32_t kInexact = 0x20;

  Decimal();  // +0 (no caller relies on the value of a default-built Decimal)
  Decimal(const Decimal& other) = default;
  Decimal& operator=(const Decimal& other) = default;
  Decimal(std::int32_t value);   // exact
  Decimal(std::uint32_t value);  // exact
  Decimal(std::int64_t value);   // exact
  Decimal(std::uint64_t value);  // exact
  Decimal(float value);          // rounded to 34 digits
  Decimal(double value);         // rounded to 34 digits: 0.1 becomes 0.1000000000000000055511151231257827
  // Decimal text ("156.25", "-1.5E-3", "NaN", ...), rounded to 34 digits.
  explicit Decimal(std::string text);
  // Coefficient hi:mid:lo, exponent -(scale & 31), sign from bit 7 of byte 3.
  explicit Decimal(const DecimalRecord& record);
  Decimal& operator=(const std::int32_t& value);
  virtual ~Decimal();

  Decimal operator+(const Decimal& other) const;
  Decimal operator-(const Decimal& other) const;
  Decimal operator*(const Decimal& other) const;
  Decimal operator/(const Decimal& other) const;
  // IEEE remainder: this - n x other with n the quotient rounded to the
  // nearest integer, ties to even (so 7 % 2 is -1). Exact.
  Decimal operator%(const Decimal& other) const;
  Decimal& operator+=(const Decimal& other);
  Decimal& operator-=(const Decimal& other);
  Decimal& operator*=(const Decimal& other);
  Decimal& operator/=(const Decimal& other);
  Decimal& operator++();
  Decimal& operator--();
  Decimal operator++(int);
  Decimal operator--(int);

  // Quiet comparisons. Each is the negation of one library predicate, so when
  // either side is NaN, == gives false and every other operator gives true.
  bool operator==(const Decimal& other) const;
  bool operator!=(const Decimal& other) const;
  bool operator<(const Decimal& other) const;
  bool operator<=(const Decimal& other) const;
  bool operator>(const Decimal& other) const;
  bool operator>=(const Decimal& other) const;

  double ToDouble() const;
  float ToFloat() const;
  // Integer conversions: floor = true rounds toward minus infinity, false
  // toward plus infinity.
  std::int32_t ToInt32(bool floor) const;
  std::uint32_t ToUInt32(bool floor) const;
  std::int64_t ToInt64(bool floor) const;
  std::uint64_t ToUInt64(bool floor) const;

  // Sign, digits and decimal point, in the classic "C" form: 156.25 held as
  // 15625 x 10^-2 is "+156.25"; 15 x 10^1 is "+150"; 1 x 10^-3 is "+0.001".
  // Trailing zeros of the coefficient are kept (1.50 stays "+1.50"). NaN and
  // infinities come out as the library writes them ("+NaN", "-Inf").
  std::string ToString() const;

  // value = coefficient hi:mid:lo x 10^exponent, negative when sign < 0.
  // Exponents outside the format's range are brought in with rounding.
  void SetParts(std::uint32_t lo, std::uint32_t mid, std::uint32_t hi, int exponent, int sign);
  // The coefficient's low 96 bits, the exponent and the sign (+1 or -1).
  // Infinities and NaN give exponent -6176 and their payload bits.
  void GetParts(std::uint32_t* lo, std::uint32_t* mid, std::uint32_t* hi, int* exponent, int* sign) const;
  // The same fields as a DECIMAL: scale = -exponent for a negative exponent
  // (not checked against 28), else 0 with the coefficient left unscaled.
  DecimalRecord ToDecimalRecord() const;

  // The per-thread rounding mode (0 to nearest even, 1 down, 2 up, 3 toward
  // zero, 4 to nearest away) and status flags.
  static std::uint32_t RoundingMode();
  static void SetRoundingMode(std::uint32_t mode);
  static std::uint32_t StatusFlags();
  static void ClearStatusFlags();

 private:
  struct Raw {
    std::uint64_t low;
    std::uint64_t high;
  };
  static Decimal FromRaw(Raw raw);
  Raw GetRaw() const { return Raw{bits_[0], bits_[1]}; }
  void SetRaw(Raw raw) {
    bits_[0] = raw.low;
    bits_[1] = raw.high;
  }

  alignas(16) std::uint64_t bits_[2];  // [0] low 64 bits, [1] high 64 bits of the BID128 value
};

std::ostream& operator<<(std::ostream& os, const Decimal& value);

// x in fixed notation with `precision` decimals, then a final run of two or
// more zeros after the decimal point removed: with 9 decimals 1.5 gives "1.5",
// 150 gives "150." and 1.12345678 gives "1.123456780" (a single final zero
// stays; the Si5346 register plan depends on that). Text without a decimal
// point (precision 0) is not trimmed: 1000 stays "1000".
std::string FormatFixedTrimmed(double x, int precision);
// FormatFixedTrimmed of x.ToDouble().
std::string FormatDecimalFixedTrimmed(Decimal x, int precision);
// x.ToString() trimmed by the same rule; precision is not used.
std::string FormatDecimalExact(Decimal x, int precision);
// x through its text and a double: Decimal(double) of the text of
// FormatDecimalExact(x, 28). Throws std::invalid_argument when the text holds
// no number (a signalling NaN) and std::out_of_range when it is out of the
// range of double (above its largest value or below its smallest normal one).
Decimal RoundDecimalThroughText(Decimal x);
// Decimal text of the integer, no grouping.
std::string IntToString(int value);

// The standard text-to-double conversion with the classic "C" decimal point
// whatever locale the application has set: leading white space skipped,
// optional sign, decimal or exponent form, "inf" and "nan". Throws
// std::invalid_argument when no number can be read and std::out_of_range
// when the value does not fit a double: above its largest value, or below its
// smallest normal value (a subnormal result), as the standard conversion does.
double ParseDoubleClassic(const std::string& text);
