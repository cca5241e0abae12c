// Si5346 register plan: the fixed order of the 378 pairs, the place and byte
// order of every computed field, the values that differ between the planner
// modes and the board value.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "clock/ClockRegisterList.h"
#include "clock/SI5346_API.h"

namespace {

struct List {
  std::vector<std::uint16_t> addresses, values;
};

// Field values whose bytes all differ, so a byte out of place shows.
ClockPlanFields Sentinels(std::uint32_t mode, int boardId) {
  ClockPlanFields f{};
  f.mode = mode;
  f.boardId = boardId;
  f.pA = 0xA6A5A4A3A2A1ull;
  f.pB = 0xB6B5B4B3B2B1ull;
  f.rRegA = 0xC3C2C1;
  f.rRegB = 0xD3D2D1;
  f.n0Num = 0xE6E5E4E3E2E1ull;
  f.n1Num = 0xF6F5F4F3F2F1ull;
  f.mNumA = 0x17161514131211ull;
  f.mDenA = 0x24232221;
  f.mNumB = 0x37363534333231ull;
  f.mDenB = 0x44434241;
  f.wordA = 0x5A;
  f.wordB = 0x5B;
  return f;
}

List Build(const ClockPlanFields& f) {
  List l;
  EXPECT_TRUE(AppendClockRegisterList(f, l.addresses, l.values));
  return l;
}

// The value of a body entry (the preamble and postamble repeat 0x0B24 and 0x0B25).
int BodyValue(const List& l, std::uint16_t address) {
  for (std::size_t i = 2; i + 5 < l.addresses.size(); ++i) {
    if (l.addresses[i] == address) return l.values[i];
  }
  ADD_FAILURE() << "no body entry at " << address;
  return -1;
}

TEST(ClockRegisterList, EveryModeHas378PairsInOneAddressOrder) {
  const List lists[] = {Build(Sentinels(0, 7592)), Build(Sentinels(1, 7592)), Build(Sentinels(2, 7592))};
  for (std::uint32_t mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    const List& l = lists[mode];
    ASSERT_EQ(l.addresses.size(), 378u);
    ASSERT_EQ(l.values.size(), 378u);
    EXPECT_EQ(l.addresses, lists[0].addresses);
    const std::vector<std::uint16_t> head(l.addresses.begin(), l.addresses.begin() + 2);
    const std::vector<std::uint16_t> headValues(l.values.begin(), l.values.begin() + 2);
    EXPECT_EQ(head, (std::vector<std::uint16_t>{0x0B24, 0x0B25}));
    EXPECT_EQ(headValues, (std::vector<std::uint16_t>{0xD8, 0x00}));
    const std::vector<std::uint16_t> tail(l.addresses.end() - 5, l.addresses.end());
    const std::vector<std::uint16_t> tailValues(l.values.end() - 5, l.values.end());
    EXPECT_EQ(tail, (std::vector<std::uint16_t>{0x0414, 0x0514, 0x001C, 0x0B24, 0x0B25}));
    EXPECT_EQ(tailValues, (std::vector<std::uint16_t>{0x01, 0x01, 0x01, 0xDB, 0x02}));
    EXPECT_EQ(l.addresses[2], 0x000B);
    EXPECT_EQ(l.addresses[372], 0x0B4A);
    for (std::size_t i = 3; i < 373; ++i) EXPECT_LT(l.addresses[i - 1], l.addresses[i]) << "entry " << i;
    for (std::uint16_t v : l.values) EXPECT_LE(v, 0xFF);
  }
}

TEST(ClockRegisterList, OtherModesAppendNothing) {
  List l;
  l.addresses = {1};
  l.values = {2};
  EXPECT_FALSE(AppendClockRegisterList(Sentinels(3, 7592), l.addresses, l.values));
  EXPECT_EQ(l.addresses, std::vector<std::uint16_t>{1});
  EXPECT_EQ(l.values, std::vector<std::uint16_t>{2});
}

TEST(ClockRegisterList, ComputedFieldsLandInTheirBytesLeastSignificantFirst) {
  struct Field {
    const char* name;
    std::uint16_t first;
    int bytes;
    std::uint64_t mode01;  // value in modes 0 and 1
    std::uint64_t mode2;   // value in mode 2
  };
  const ClockPlanFields s = Sentinels(0, 7592);
  const Field fields[] = {
      {"P0_NUM", 0x0208, 6, s.pA, 100},  // mode 2 divides input 0 by a constant 100
      {"P0_DEN", 0x020E, 4, 1, 0},
      {"P2_NUM", 0x021C, 6, s.pB, 0},
      {"P2_DEN", 0x0222, 4, 1, 0},
      {"P3_NUM", 0x0226, 6, 0, s.pB},  // mode 2 runs DSPLL B from input 3
      {"P3_DEN", 0x022C, 4, 0, 1},
      {"R0_REG", 0x0250, 3, s.rRegA, s.rRegA},
      {"R1_REG", 0x0253, 3, s.rRegA, s.rRegA},
      {"R2_REG", 0x025C, 3, s.rRegB, s.rRegB},
      {"R3_REG", 0x025F, 3, s.rRegB, s.rRegB},
      {"N0_NUM", 0x0302, 6, s.n0Num & 0x0FFFFFFFFFFFull, s.n0Num & 0x0FFFFFFFFFFFull},  // 44 bits
      {"N0_DEN", 0x0308, 4, 0xA0000000, 0xA0000000},
      {"N1_NUM", 0x030D, 6, s.n1Num & 0x0FFFFFFFFFFFull, s.n1Num & 0x0FFFFFFFFFFFull},
      {"N1_DEN", 0x0313, 4, 0xA0000000, 0xA0000000},
      {"M_NUM A", 0x0415, 7, s.mNumA, s.mNumA},
      {"M_DEN A", 0x041C, 4, s.mDenA, s.mDenA},
      {"M_NUM B", 0x0515, 7, s.mNumB, s.mNumB},
      {"M_DEN B", 0x051C, 4, s.mDenB, s.mDenB},
      {"output 0 word", 0x0112, 1, s.wordA, 0x02},
      {"output 2 word", 0x0126, 1, s.wordB, 0x02},
      {"output 3 word", 0x012B, 1, s.wordB, 0x02},
  };
  for (std::uint32_t mode = 0; mode < 3; ++mode) {
    const List l = Build(Sentinels(mode, 7592));
    for (const Field& f : fields) {
      SCOPED_TRACE(std::string(f.name) + " mode " + std::to_string(mode));
      const std::uint64_t v = mode == 2 ? f.mode2 : f.mode01;
      for (int j = 0; j < f.bytes; ++j) {
        EXPECT_EQ(BodyValue(l, static_cast<std::uint16_t>(f.first + j)), static_cast<int>((v >> (8 * j)) & 0xFF))
            << "byte " << j;
      }
    }
  }
}

TEST(ClockRegisterList, FixedValuesFollowTheMode) {
  const struct {
    std::uint16_t address;
    int mode0, mode1, mode2;
  } entries[] = {
      // The same in every mode.
      {0x000B, 0x6C, 0x6C, 0x6C},
      {0x001A, 0xCF, 0xCF, 0xCF},
      {0x002B, 0x02, 0x02, 0x02},
      {0x0042, 0x00, 0x00, 0x00},
      {0x0095, 0x00, 0x00, 0x00},
      {0x009B, 0x11, 0x11, 0x11},
      {0x009E, 0x22, 0x22, 0x22},
      {0x00A2, 0x03, 0x03, 0x03},
      {0x0102, 0x01, 0x01, 0x01},
      {0x0113, 0x09, 0x09, 0x09},
      {0x0142, 0xFF, 0xFF, 0xFF},
      {0x0239, 0x8E, 0x8E, 0x8E},
      {0x023E, 0x80, 0x80, 0x80},
      {0x0408, 0x10, 0x10, 0x10},
      {0x040F, 0x21, 0x21, 0x21},
      {0x042E, 0x19, 0x19, 0x19},
      {0x0436, 0x0C, 0x0C, 0x0C},
      {0x0536, 0x0C, 0x0C, 0x0C},
      {0x090E, 0x02, 0x02, 0x02},
      {0x0943, 0x01, 0x01, 0x01},
      {0x0A03, 0x03, 0x03, 0x03},
      {0x0B47, 0x00, 0x00, 0x00},
      {0x0B4A, 0x00, 0x00, 0x00},
      // Those that differ.
      {0x0018, 0xAA, 0xAA, 0x77},
      {0x002C, 0x05, 0x05, 0x08},
      {0x002E, 0x39, 0x39, 0x00},
      {0x0034, 0x00, 0x00, 0x3B},
      {0x003F, 0x55, 0x55, 0x88},
      {0x0041, 0x0C, 0x0C, 0x00},
      {0x0044, 0x00, 0x00, 0x0F},
      {0x004E, 0x05, 0x05, 0x00},
      {0x004F, 0x05, 0x05, 0x50},
      {0x0059, 0x33, 0x33, 0xC0},
      {0x005D, 0x01, 0x01, 0x00},
      {0x0069, 0x00, 0x00, 0x01},
      {0x00A3, 0x78, 0x78, 0x47},
      {0x00AA, 0x09, 0x09, 0x08},
      {0x0117, 0x01, 0x02, 0x01},
      {0x0421, 0x03, 0x23, 0x23},
      {0x042A, 0x00, 0x00, 0x03},
      {0x0432, 0x42, 0x56, 0x56},
      {0x0438, 0x01, 0x01, 0x00},
      {0x0439, 0x00, 0x00, 0x40},
      {0x0521, 0x03, 0x33, 0x33},
      {0x052A, 0x05, 0x05, 0x07},
      {0x0532, 0x42, 0x42, 0x56},
      {0x0539, 0x03, 0x03, 0x40},
      {0x094A, 0x05, 0x05, 0x08},
      {0x0A04, 0x03, 0x00, 0x00},
      {0x0B44, 0x3F, 0x1F, 0x1F},
      {0x0B48, 0x0A, 0x0A, 0x07},
  };
  const List lists[] = {Build(Sentinels(0, 7592)), Build(Sentinels(1, 7592)), Build(Sentinels(2, 7592))};
  for (const auto& e : entries) {
    SCOPED_TRACE(e.address);
    EXPECT_EQ(BodyValue(lists[0], e.address), e.mode0);
    EXPECT_EQ(BodyValue(lists[1], e.address), e.mode1);
    EXPECT_EQ(BodyValue(lists[2], e.address), e.mode2);
  }
}

TEST(ClockRegisterList, BoardValueAt0x0040) {
  const struct {
    std::uint32_t mode;
    int boardId;
    int value;
  } cases[] = {
      {0, 7828, 0x00}, {0, 7698, 0x00}, {0, 7758, 0x00}, {0, 7592, 0x04}, {0, 7652, 0x04},
      {1, 7698, 0x02}, {1, 7592, 0x02}, {2, 7698, 0x03}, {2, 7592, 0x03},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " board " + std::to_string(c.boardId));
    EXPECT_EQ(BodyValue(Build(Sentinels(c.mode, c.boardId)), 0x0040), c.value);
  }
}

// The 25.78125 Gb/s synthesizer plan: M = 632 over 2^31 and N_NUM = 0x719999999.
TEST(ClockRegisterList, PlannerWritesItsDividersIntoTheList) {
  SI5346_API planner;
  double f1 = 156.25, f2 = 312.5, f3 = 156.25, f4 = 312.5;
  ASSERT_TRUE(planner.ComputePlan(&f1, &f2, &f3, &f4, 1, 7652));
  List l{planner.addresses, planner.values};
  ASSERT_EQ(l.addresses.size(), 378u);
  std::vector<int> mA, n0;
  for (std::uint16_t a = 0x0415; a <= 0x041F; ++a) mA.push_back(BodyValue(l, a));
  for (std::uint16_t a = 0x0302; a <= 0x0307; ++a) n0.push_back(BodyValue(l, a));
  EXPECT_EQ(mA, (std::vector<int>{0x00, 0x00, 0x00, 0x00, 0x3C, 0x01, 0x00, 0x00, 0x00, 0x00, 0x80}));
  EXPECT_EQ(n0, (std::vector<int>{0x99, 0x99, 0x99, 0x19, 0x07, 0x00}));
  EXPECT_EQ(BodyValue(l, 0x0040), 0x02);  // mode 1
  EXPECT_EQ(BodyValue(l, 0x0117), 0x02);

  // Mode 0 on board 7698: the same list order, the clock-file variant.
  ASSERT_TRUE(planner.ComputePlan(&f1, &f2, &f3, &f4, 0, 7698));
  List file{planner.addresses, planner.values};
  EXPECT_EQ(file.addresses, l.addresses);
  EXPECT_EQ(BodyValue(file, 0x0040), 0x00);
  EXPECT_EQ(BodyValue(file, 0x0117), 0x01);
}

}  // namespace
