// The result-block decoders, byte by byte: each entry is planted by hand at its
// offset in a block whose other bytes are A5, so a decoder that reads a
// neighbouring byte or swaps halves gets a different value.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/ResultBlocks.h"

using namespace tessok::link;

namespace {

struct DecoderCase {
  const char* name;
  std::size_t offset;
  std::vector<std::uint8_t> bytes;
  std::function<std::int64_t(const std::uint8_t*)> decode;
  std::int64_t expected;
};

std::int64_t Pair(const CountWithMultiplier& p) { return p.count * 65536 + p.multiplier; }

const DecoderCase kDecoders[] = {
    {"Count16First", 0, {0x34, 0x12}, [](const std::uint8_t* b) { return Count16(b, 0); }, 0x1234},
    {"Count16AtTwoI", 256, {0xFF, 0x00}, [](const std::uint8_t* b) { return Count16(b, 128); }, 0x00FF},
    {"Count16Last", 1022, {0x01, 0x80}, [](const std::uint8_t* b) { return Count16(b, 511); }, 0x8001},
    {"Count32First", 0, {0x78, 0x56, 0x34, 0x12}, [](const std::uint8_t* b) { return Count32(b, 0); }, 0x12345678},
    // Low u16 1, high u16 2: 1 + 65536 * 2.
    {"Count32LowThenHighWord",
     512,
     {0x01, 0x00, 0x02, 0x00},
     [](const std::uint8_t* b) { return Count32(b, 128); },
     131073},
    {"Count32TopBitIsNotASign",
     4,
     {0xFF, 0xFF, 0xFF, 0xFF},
     [](const std::uint8_t* b) { return Count32(b, 1); },
     4294967295},
    {"SignedCount32Positive",
     8,
     {0x10, 0x27, 0x00, 0x00},
     [](const std::uint8_t* b) { return SignedCount32(b, 2); },
     10000},
    {"SignedCount32MinusOne",
     636,
     {0xFF, 0xFF, 0xFF, 0xFF},
     [](const std::uint8_t* b) { return SignedCount32(b, 159); },
     -1},
    {"SignedCount32Lowest",
     4,
     {0x00, 0x00, 0x00, 0x80},
     [](const std::uint8_t* b) { return SignedCount32(b, 1); },
     -2147483648},
    // 25000 errors (A8 61) with multiplier word 2, as a pair (count << 16 | multiplier).
    {"CountPairFirst",
     0,
     {0xA8, 0x61, 0x02, 0x00},
     [](const std::uint8_t* b) { return Pair(CountPair(b, 0)); },
     25000 * 65536 + 2},
    {"CountPairAtFourI",
     512,
     {0x01, 0x00, 0x34, 0x12},
     [](const std::uint8_t* b) { return Pair(CountPair(b, 128)); },
     1 * 65536 + 0x1234},
};

class Decoders : public ::testing::TestWithParam<DecoderCase> {};
void PrintTo(const DecoderCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

TEST_P(Decoders, ReadTheirEntry) {
  const DecoderCase& c = GetParam();
  std::vector<std::uint8_t> block(kReplyCapacity, 0xA5);
  for (std::size_t i = 0; i < c.bytes.size(); ++i) block[c.offset + i] = c.bytes[i];
  EXPECT_EQ(c.decode(block.data()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Entries, Decoders, ::testing::ValuesIn(kDecoders),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ResultBlocks, BlockKStartsAtKTimes1024) {
  std::vector<std::uint8_t> area(3 * kReplyCapacity, 0xA5);
  area[2048 + 2] = 0x22;
  area[2048 + 3] = 0x11;
  area[1024] = 0x07;
  const std::uint8_t* constArea = area.data();
  EXPECT_EQ(BlockAt(constArea, 0), constArea);
  EXPECT_EQ(BlockAt(constArea, 2) - constArea, 2048);
  EXPECT_EQ(BlockAt(area.data(), 1) - area.data(), 1024);
  EXPECT_EQ(Count16(BlockAt(constArea, 2), 1), 0x1122);
  EXPECT_EQ(*BlockAt(constArea, 1), 0x07);
}
