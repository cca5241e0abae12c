// Horizontal and vertical bathtub acquisitions: the reply decodings, then the
// operations against the simulated instrument.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "Payloads.h"
#include "measure/BathtubDecoding.h"

using namespace tessok::measure;
using tessok::test::Padded;
using tessok::test::PairPayload;
using tessok::test::U16Payload;
using tessok::test::U32Payload;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

struct Decoded {
  std::vector<double> ber, x;
};

Decoded Decode(const BathtubDecoding& d, const std::vector<std::uint8_t>& reply, std::uint64_t gate, double step) {
  Decoded out{std::vector<double>(static_cast<std::size_t>(d.points), -1.0),
              std::vector<double>(static_cast<std::size_t>(d.points), -1.0)};
  const std::vector<std::uint8_t> padded = Padded(reply);
  DecodeBathtub(d, padded.data(), gate, step, out.ber.data(), out.x.data());
  return out;
}

void ExpectBer(double actual, double expected, int i) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(actual)) << i;
  } else {
    EXPECT_EQ(actual, expected) << i;
  }
}

}  // namespace

TEST(BathtubDecoding, ReplyLengthsOfEachForm) {
  EXPECT_EQ(ReplyBytes(kHorizontal128), 512u);  // 128 pairs; the 129th pair is not read
  EXPECT_EQ(ReplyBytes(kHorizontal64), 256u);
  EXPECT_EQ(ReplyBytes(kHorizontalWithGate), 516u);
  EXPECT_EQ(ReplyBytes(kVertical128), 512u);
  EXPECT_EQ(ReplyBytes(kVertical64), 1024u);
}

TEST(BathtubDecoding, CountAndMultiplierPairs) {
  // count / (1 for multiplier 1, else multiplier x 10) / 25000.
  const std::vector<std::pair<std::pair<std::uint16_t, std::uint16_t>, double>> cases = {
      {{25000, 1}, 1.0},
      {{25000, 2}, 0.05},
      {{25000, 10}, 25000.0 / 100.0 / 25000.0},
      {{1, 1}, 1.0 / 25000.0},
      {{65535, 65535}, 65535.0 / 655350.0 / 25000.0},
      {{25000, 0}, kInf},  // a zero divisor follows IEEE arithmetic
      {{0, 0}, std::numeric_limits<double>::quiet_NaN()},
      {{0, 3}, 0.0},
  };
  std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs(129, {7, 1});
  for (std::size_t i = 0; i < cases.size(); ++i) pairs[i] = cases[i].first;
  pairs[127] = {50, 2};
  pairs[128] = {25000, 1};  // the 129th pair is not decoded
  const Decoded d = Decode(kHorizontal128, PairPayload(pairs), 0, 0.75);
  for (std::size_t i = 0; i < cases.size(); ++i) ExpectBer(d.ber[i], cases[i].second, static_cast<int>(i));
  EXPECT_EQ(d.ber[127], 50.0 / 20.0 / 25000.0);
  for (int i = 0; i < 128; ++i) EXPECT_EQ(d.x[static_cast<std::size_t>(i)], i * 0.75);
}

TEST(BathtubDecoding, ThirtyTwoBitCountsOverTheGate) {
  // Low 16-bit word first; all 32 bits count. The 64-step divisor is the
  // programmed gate x 10 formed in 64 bits: 0x20000000 x 10 is 5368709120, not
  // the 1073741824 that 32 bits would leave.
  std::vector<std::uint32_t> words(129, 0);
  words[0] = 0xFFFFFFFFu;
  words[1] = 0x00010000u;
  words[2] = 0x00000001u;
  words[63] = 5368709120u / 10u;
  words[64] = 1234;  // beyond the 64-step form's points
  words[128] = 0x80000000u;
  const auto reply = U32Payload(words);

  const Decoded sixtyFour = Decode(kHorizontal64, reply, 0x20000000u, 1.5625);
  EXPECT_EQ(sixtyFour.ber[0], 4294967295.0 / 5368709120.0);
  EXPECT_EQ(sixtyFour.ber[1], 65536.0 / 5368709120.0);
  EXPECT_EQ(sixtyFour.ber[63], 0.1);
  EXPECT_EQ(sixtyFour.x[63], 63 * 1.5625);

  const Decoded tenThousand = Decode(kHorizontal64, reply, 1000, 1.0);
  EXPECT_EQ(tenThousand.ber[2], 1.0 / 10000.0);
  const Decoded zeroGate = Decode(kHorizontal64, reply, 0, 1.0);
  EXPECT_EQ(zeroGate.ber[0], kInf);
  EXPECT_TRUE(std::isnan(zeroGate.ber[3]));

  // The caller's gate divides whole: above 2^32 - 1 it is not cut to 32 bits.
  const std::uint64_t wide = (std::uint64_t{1} << 32) + 5;
  const Decoded withGate = Decode(kHorizontalWithGate, reply, wide, 0.5);
  EXPECT_EQ(withGate.ber[0], 4294967295.0 / (static_cast<double>(wide) * 25000.0));
  EXPECT_EQ(withGate.ber[128], 2147483648.0 / (static_cast<double>(wide) * 25000.0));
  EXPECT_EQ(withGate.x[128], 64.0);
  const Decoded unitGate = Decode(kHorizontalWithGate, reply, 1, 0.5);
  EXPECT_EQ(unitGate.ber[64], 1234.0 / 25000.0);
}

TEST(BathtubDecoding, VerticalForms) {
  std::vector<std::uint16_t> words16(256, 0);
  words16[0] = 25000;
  words16[255] = 65535;
  const Decoded narrow = Decode(kVertical128, U16Payload(words16), 999, 1.5);
  EXPECT_EQ(narrow.ber[0], 1.0);
  EXPECT_EQ(narrow.ber[255], 65535.0 / 25000.0);
  EXPECT_EQ(narrow.x[255], 255 * 1.5);

  // 64-step counts over 10000 whatever the gate.
  std::vector<std::uint32_t> words32(256, 0);
  words32[0] = 10000;
  words32[1] = 0x00010000u;
  words32[255] = 0xFFFFFFFFu;
  for (std::uint64_t gate : {0u, 1000u, 77u}) {
    const Decoded wide = Decode(kVertical64, U32Payload(words32), gate, 2.0);
    EXPECT_EQ(wide.ber[0], 1.0);
    EXPECT_EQ(wide.ber[1], 6.5536);
    EXPECT_EQ(wide.ber[255], 4294967295.0 / 10000.0);
    EXPECT_EQ(wide.x[255], 510.0);
  }
}
