// Pattern generation and checking: the pattern selection and its records,
// short user patterns above and below 20 Gb/s, the long-pattern upload into
// the pattern memory, the three text parsers, the checker state and its
// resynchronisation, the transmitter lock, the switches and the group pulse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EepromTrace.h"
#include "TestSupport.h"

using namespace tessok;
using tessok::test::EepromTrace;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::Wr;
using Wire = std::vector<Rig::Access>;

namespace {

// Lane registers of this family, as the instrument numbers them.
constexpr unsigned kCode = 0x20F, kP3 = 0x210, kW0 = 0x211, kW1 = 0x212, kW2 = 0x213, kP4 = 0x218, kP5 = 0x219;

// Fills every word a parser may leave alone, so an untouched output shows.
constexpr std::uint16_t kUntouched = 0xBEEF;

}  // namespace

// ---- Pattern selection ----

TEST(PatternSelection, RecordsFourItemsThenWritesFourRegisters) {
  Rig rig(7652);
  rig.Connect();
  EXPECT_EQ(APISetPRBSPattern(0, 2, 3, -1, 1, 9), 1);
  // Lane 2 items at 0x2000 + 8 x (96 x 2 + item): 5 pattern, 10 p3, 8 p4, 11 p5.
  EXPECT_EQ(EepromTrace(rig.sim.Log()),
            (std::vector<std::string>{"write 0x2628", "write 0x2650", "write 0x2640", "write 0x2658", "W 2:527",
                                      "W 2:528", "W 2:536", "W 2:537"}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2628), 3.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x2650), 65535.0);  // -1 recorded as a 16-bit value
  EXPECT_EQ(rig.sim.EepromDouble(0x2640), 1.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x2658), 9.0);
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Wr(2, kCode, 3), Wr(2, kP3, 0xFFFF), Wr(2, kP4, 1), Wr(2, kP5, 9)}));
  const auto& s = rig.api().prbsSettings;
  EXPECT_EQ((std::vector<std::uint32_t>{s[0][2], s[1][2], s[2][2], s[3][2], s[4][2]}),
            (std::vector<std::uint32_t>{3, 0xFFFFFFFFu, 3, 1, 9}));
  // 8 bytes per item, 10 ms after each.
  EXPECT_EQ(test::SleepRecorder::Waits(), std::vector<std::uint32_t>(32, 10));
}

TEST(PatternSelection, P4RegisterAndPatternCodeByModel) {
  struct Case {
    std::uint16_t model;
    std::uint32_t rateModeFlag;
    int ch, pattern;
    std::uint32_t p4;
    std::uint16_t code, p4Register;
    double recordedCode;
    std::uint32_t codeItemAddress;
  } cases[] = {
      {7746, 0, 0, 2, 1, 2, 1, 2.0, 0x2028},                                               // p4 as given
      {7746, 0, 0, 2, 0x10007, 2, 7, 2.0, 0x2028},                                         // as given, low 16 bits
      {7775, 0, 0, 2, 1, 2, 0, 2.0, 0x2028},                                               // negated
      {7775, 0, 0, 2, 0, 2, 1, 2.0, 0x2028},       {7592, 1, 0, 2, 1, 2, 0, 2.0, 0x2028},  // negated; even bank stays
      {7592, 1, 1, 2, 1, 2, 1, 2.0, 0x2328},  // odd bank in rate mode: negated once more
      {7592, 0, 1, 2, 1, 2, 0, 2.0, 0x2328},  // not in rate mode
      {7792, 0, 0, 6, 0, 7, 1, 7.0, 0x2028},  // 6 is sent and recorded as 7
      {7652, 0, 0, 6, 0, 6, 0, 6.0, 0x2028},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, 0, ++salt);
    rig.Connect();
    rig.api().rateModeFlag = c.rateModeFlag;
    APISetPRBSPattern(0, c.ch, c.pattern, 4, c.p4, 5);
    const auto bank = static_cast<unsigned>(c.ch);
    EXPECT_EQ(rig.LaneAccesses(),
              (Wire{Wr(bank, kCode, c.code), Wr(bank, kP3, 4), Wr(bank, kP4, c.p4Register), Wr(bank, kP5, 5)}))
        << c.model << " ch " << c.ch << " p4 " << c.p4;
    EXPECT_EQ(rig.sim.EepromDouble(c.codeItemAddress), c.recordedCode) << c.model;
  }
}

TEST(PatternSelection, MovedLaneOneIsRepeatedOnLaneZero) {
  Rig rig(7841);
  rig.sim.SetReg(0, 57, 0x40);  // option bit 6: lane 1 is moved to bank 0
  rig.Connect();
  EXPECT_EQ(APISetPRBSPattern(0, 1, 5, 2, 1, 3), 1);
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Wr(1, kCode, 5), Wr(1, kP3, 2), Wr(1, kP4, 0), Wr(1, kP5, 3), Wr(0, kCode, 5),
                                      Wr(0, kP3, 2), Wr(0, kP4, 0), Wr(0, kP5, 3)}));
  for (std::uint32_t item5 : {0x2328u, 0x2028u}) EXPECT_EQ(rig.sim.EepromDouble(item5), 5.0);  // lanes 1, 0
  EXPECT_EQ(rig.sim.EepromDouble(0x2340), 1.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x2040), 1.0);
  EXPECT_EQ(rig.api().prbsSettings[3][0], 1u);
}

TEST(PatternSelection, MovedLaneThreeGoesToBankTwo) {
  Rig rig(7775);
  rig.sim.SetReg(0, 33, 11);  // lane 3 moved to bank 2
  rig.Connect();
  APISetPRBSPattern(0, 3, 1, 0, 0, 0);
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Wr(2, kCode, 1), Wr(2, kP3, 0), Wr(2, kP4, 1), Wr(2, kP5, 0)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2628), 1.0);
}

TEST(PatternSelection, ChannelsOutsideTheLanesAreRefused) {
  Rig rig(7652);
  rig.Connect();
  rig.api().prbsSettings[0][0] = 77;
  for (int ch : {-1, 16, 1000}) EXPECT_EQ(APISetPRBSPattern(0, ch, 1, 1, 1, 1), 0) << ch;
  std::uint64_t out = 5;
  EXPECT_EQ(rig.api().SetUserPattern40(16, 1), 0);
  EXPECT_EQ(rig.api().SetUserPattern40x2(-1, 1, 2), 0);
  EXPECT_EQ(rig.api().SetUserPattern160(16, 1, 2, 3), 0);
  EXPECT_EQ(rig.api().SetUserPattern160b(16, 1, 2, 3, 4), 0);
  EXPECT_EQ(APISetTxUserPatternLumo(0, -5, 1, 2), 0);
  EXPECT_EQ(rig.api().ReadUserPattern48(16, &out), 0);
  EXPECT_EQ(APIPRBSVerfication(0, 16), 0);
  EXPECT_EQ(out, 5u);
  EXPECT_EQ(rig.api().prbsSettings[0][0], 77u);
  EXPECT_TRUE(rig.sim.Log().empty());
}

// ---- Short user patterns ----

namespace {

// A connected 7652 whose model can be changed between cases.
struct PatternRig : Rig {
  PatternRig() : Rig(7652) { Connect(); }
  void Model(std::uint32_t model) {
    api().boardModel = model;
    api().RefreshBoardTraits();
  }
  Wire Load40(int ch, std::uint64_t pattern) {
    sim.ClearLog();
    api().SetUserPattern40(ch, pattern);
    return LaneAccesses();
  }
};

}  // namespace

TEST(UserPattern40, ComplementAboveAndBelowTwentyGigabits) {
  PatternRig rig;
  APISetPRBSPattern(0, 0, 5, 0, 1, 0);  // p4 1: the 7652 complements the user pattern
  rig.api().lineRate[0] = 25.0;
  EXPECT_EQ(rig.Load40(0, 255), (Wire{Wr(0, kW0, 0xFF00), Wr(0, kW1, 0xFFFF), Wr(0, kW2, 0xFF)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2030), 255.0);  // item 6 of lane 0: as requested
  rig.sim.SeedDouble(0x2030, 0.0);
  rig.api().lineRate[0] = 10.0;
  EXPECT_EQ(rig.Load40(0, 255), (Wire{Wr(0, kW0, 0xFF00), Wr(0, kW1, 0xFF00), Wr(0, kW2, 0xFF00)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2030), 255.0);
  rig.api().lineRate[0] = 20.0;  // 20 Gb/s itself spreads the word
  EXPECT_EQ(rig.Load40(0, 0x12'3456'789Aull)[2], Wr(0, kW2, 0xED));
}

TEST(UserPattern40, InversionAndWordSpreadByModel) {
  // p4 of the last selection (row 3) and the bank decide the complement; the
  // 7775, 7780 and 7781 spread the word at any rate.
  struct Case {
    std::uint32_t model, p4;
    int ch;
    bool inverted, spread;
  } cases[] = {
      {7652, 1, 0, true, false},  {7652, 0, 0, false, false}, {7652, 2, 0, false, false}, {7726, 0, 0, true, false},
      {7726, 1, 0, false, false}, {7733, 0, 0, true, false},  {7760, 0, 1, true, false},  {7781, 0, 1, true, true},
      {7781, 0, 2, false, true},  {7781, 1, 0, false, true},  {7775, 1, 0, true, true},   {7780, 1, 3, true, true},
  };
  PatternRig rig;
  const std::uint64_t pattern = 0x00'A5A5'1234ull;
  for (const Case& c : cases) {
    rig.Model(c.model);
    const auto bank = static_cast<unsigned>(c.ch);
    rig.api().prbsSettings[3][bank] = c.p4;
    rig.api().lineRate[bank] = 10.0;
    const std::uint64_t v = c.inverted ? ~pattern : pattern;
    const auto part = [&](int shift, std::uint64_t mask) { return static_cast<std::uint16_t>((v >> shift) & mask); };
    const Wire expected =
        c.spread ? Wire{Wr(bank, kW0, part(0, 0xFFFF)), Wr(bank, kW1, part(16, 0xFFFF)), Wr(bank, kW2, part(32, 0xFF))}
                 : Wire{Wr(bank, kW0, part(0, 0xFFFF)), Wr(bank, kW1, part(0, 0xFFFF)), Wr(bank, kW2, part(0, 0xFFFF))};
    EXPECT_EQ(rig.Load40(c.ch, pattern), expected) << c.model << " p4 " << c.p4 << " ch " << c.ch;
  }
}

TEST(UserPattern40, MovedLaneOneIsRepeatedOnLaneZero) {
  PatternRig rig;
  rig.api().boardModel = 7841;
  rig.api().remapLane1 = 1;
  rig.api().RefreshBoardTraits();
  rig.api().prbsSettings[3][0] = 1;  // lane 0 complements, lane 1 does not
  rig.api().lineRate[0] = rig.api().lineRate[1] = 25.0;
  EXPECT_EQ(rig.Load40(1, 0x0F), (Wire{Wr(1, kW0, 0x000F), Wr(1, kW1, 0), Wr(1, kW2, 0), Wr(0, kW0, 0xFFF0),
                                       Wr(0, kW1, 0xFFFF), Wr(0, kW2, 0xFF)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2330), 15.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x2030), 15.0);
}

TEST(UserPattern40, ReadBackGivesBitsZeroToThirtyNine) {
  PatternRig rig;
  rig.api().lineRate[3] = 25.0;
  rig.api().prbsSettings[3][3] = 0;  // no complement on this model
  rig.api().SetUserPattern40(3, 0xFFFF'FF12'3456'789Aull);
  rig.sim.ClearLog();
  std::uint64_t out = 0;
  EXPECT_EQ(rig.api().ReadUserPattern48(3, &out), 1);
  EXPECT_EQ(out, 0x12'3456'789Aull);
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Rd(3, kW2), Rd(3, kW1), Rd(3, kW0)}));
  EXPECT_EQ(rig.api().lastResult, 1u);
  APIDisconnect(0);
  EXPECT_EQ(rig.api().ReadUserPattern48(3, &out), 1);  // transfers are not reported
  EXPECT_EQ(rig.api().lastResult, 0u);
}

TEST(UserPatternWords, LoadersWriteTheirPartsInOrder) {
  PatternRig rig;
  Tessok_API& api = rig.api();
  // Bits above 40 are dropped; 10-bit chunks 0x3FF, 0x001, 0x155, 0x2AA.
  const std::uint64_t first = 0xFF00'0000'0000'0000ull | (0x3FFull << 30) | (0x001ull << 20) | (0x155ull << 10) | 0x2AA;
  const std::uint64_t second = 0x00'0000'0403ull;  // chunks 0, 0, 1, 3
  EXPECT_EQ(api.SetUserPattern40x2(1, first, second), 1);
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Wr(1, kW0, 0x3FF), Wr(1, kW0, 0x001), Wr(1, kW0, 0x155), Wr(1, kW0, 0x2AA),
                                      Wr(1, kW1, 0), Wr(1, kW1, 0), Wr(1, kW1, 1), Wr(1, kW1, 3), Wr(1, kW2, 0)}));
  // Item 6 takes the second word and item 28 the first, in that order (lane 1).
  const auto trace = EepromTrace(rig.sim.Log());
  EXPECT_EQ((std::vector<std::string>(trace.begin(), trace.begin() + 2)),
            (std::vector<std::string>{"write 0x2330", "write 0x23E0"}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2330), 1027.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x23E0), static_cast<double>(first));

  rig.sim.ClearLog();
  EXPECT_EQ(api.SetUserPattern160(2, 0x1111'2222'3333'4444ull, 0x5555'6666'7777'8888ull, 0xAAAA'BBBB'CCCC'DDDDull), 1);
  EXPECT_EQ(rig.Accesses(),
            (Wire{Wr(2, kW2, 0xCCCC), Wr(2, kW2, 0xDDDD), Wr(2, kW1, 0x5555), Wr(2, kW1, 0x6666), Wr(2, kW1, 0x7777),
                  Wr(2, kW1, 0x8888), Wr(2, kW0, 0x1111), Wr(2, kW0, 0x2222), Wr(2, kW0, 0x3333), Wr(2, kW0, 0x4444)}));

  rig.sim.ClearLog();
  EXPECT_EQ(api.SetUserPattern160b(0, 0x1111'2222'3333'4444ull, 0x5555'6666'7777'8888ull, 0x9999, 0xAAAA), 1);
  EXPECT_EQ(rig.Accesses(),
            (Wire{Wr(0, kW0, 0x1111), Wr(0, kW0, 0x2222), Wr(0, kW0, 0x3333), Wr(0, kW0, 0x4444), Wr(0, kW1, 0x5555),
                  Wr(0, kW1, 0x6666), Wr(0, kW1, 0x7777), Wr(0, kW1, 0x8888), Wr(0, kW2, 0x9999), Wr(0, kW2, 0xAAAA)}));

  rig.sim.ClearLog();
  EXPECT_EQ(APISetTxUserPatternLumo(0, 3, 0x1234'5678, -2), 1);
  EXPECT_EQ(rig.Accesses(), (Wire{Wr(3, kW1, 0xFFFF), Wr(3, kW1, 0xFFFE), Wr(3, kW0, 0x1234), Wr(3, kW0, 0x5678)}));
  EXPECT_EQ(api.lastResult, 1u);
  APIDisconnect(0);
  EXPECT_EQ(APISetTxUserPatternLumo(0, 3, 1, 2), 0);
  EXPECT_EQ(api.lastResult, 0u);
}

// ---- Parsers ----

TEST(PatternParsers, BitOrders) {
  Tessok_API& api = g_apiInstances[5];
  struct Case {
    const char* text;
    bool (Tessok_API::*parse)(const char*, std::uint16_t*);
    bool ok;
    std::uint16_t word;
  } cases[] = {
      // Binary: characters 4i..4i+3 form bits 4i+3..4i.
      {"0000000000000001", &Tessok_API::ParseBinaryPattern16, true, 0x1000},
      {"1000000000000000", &Tessok_API::ParseBinaryPattern16, true, 0x0008},
      {"0001001000111111", &Tessok_API::ParseBinaryPattern16, true, 0xF321},
      // Hexadecimal: digit k fills bits 4k..4k+3 with its 2-bit halves exchanged.
      {"1000", &Tessok_API::ParseHexPattern16, true, 0x0004},
      {"0001", &Tessok_API::ParseHexPattern16, true, 0x4000},
      {"9aF3", &Tessok_API::ParseHexPattern16, true, 0xCFA6},
      {"00g0", &Tessok_API::ParseHexPattern16, false, kUntouched},
      {"00G0", &Tessok_API::ParseHexPattern16, false, kUntouched},
      // PAM4: symbol k fills bits 2k..2k+1.
      {"30000000", &Tessok_API::ParsePam4Pattern8, true, 0x0003},
      {"00000003", &Tessok_API::ParsePam4Pattern8, true, 0xC000},
      {"01230123", &Tessok_API::ParsePam4Pattern8, true, 0xE4E4},
      {"00040000", &Tessok_API::ParsePam4Pattern8, false, kUntouched},
      {"0000", &Tessok_API::ParsePam4Pattern8, false, kUntouched},  // the terminator is not a symbol
  };
  for (const Case& c : cases) {
    std::uint16_t word = kUntouched;
    EXPECT_EQ((api.*c.parse)(c.text, &word), c.ok) << c.text;
    EXPECT_EQ(word, c.word) << c.text;
  }
  for (const char* bad : {"000000000000000/", "2000000000000000", "0000000"}) {
    std::uint16_t word = 0;
    EXPECT_FALSE(api.ParseBinaryPattern16(bad, &word)) << bad;
  }
}

// ---- Long user pattern ----

namespace {

// Binary text that the pattern memory reads as the given words: characters
// 4i..4i+3 of a word are its bits 4i+3..4i, most significant first.
std::string BinaryText(const std::vector<std::uint16_t>& words) {
  std::string text;
  for (std::uint16_t w : words) {
    for (int nibble = 0; nibble < 4; ++nibble) {
      for (int bit = 3; bit >= 0; --bit) text += ((w >> (4 * nibble + bit)) & 1) != 0 ? '1' : '0';
    }
  }
  return text;
}

using Block = sim::SimInstrument::PatternBlock;

}  // namespace

TEST(PatternUpload, LongestBinaryTextFillsTheMemoryFromTheLastBlock) {
  Rig rig(7621);  // device 8 sits two banks above the lane pair
  rig.Connect();
  std::vector<std::uint16_t> words(414 * 5);
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint16_t>(i * 37 + 11);
  const std::string text = BinaryText(words);
  ASSERT_EQ(text.size(), 33120u);
  rig.sim.SetSubRegister(3, 0x5DD, 0xFFFF);   // mode register of device 8 (bank 1 + 2)
  rig.sim.SetSubRegister(1, 0x45AB, 0x00F0);  // control of side 1
  EXPECT_TRUE(rig.api().UploadUserPattern(3, text, 0));

  const sim::SimInstrument::PatternMemoryView view = rig.sim.PatternMemory(1, 1);
  ASSERT_EQ(view.strobed.size(), 2u * 414u);  // strobe 3, 0, 3: each block stored twice
  for (int k = 0; k < 414; ++k) {
    const int j = 413 - k;
    Block expected{static_cast<std::uint16_t>(j), {}};
    for (int w = 0; w < 5; ++w)
      expected.words[static_cast<std::size_t>(w)] = words[static_cast<std::size_t>(5 * j + w)];
    ASSERT_EQ(view.strobed[2 * static_cast<std::size_t>(k)], expected) << "block " << j;
    ASSERT_EQ(view.strobed[2 * static_cast<std::size_t>(k) + 1], expected) << "block " << j;
  }
  EXPECT_EQ(view.length, 16560);                     // 33120 bits / 2
  EXPECT_EQ(view.control, 0x00F1);                   // enabled again at the end
  EXPECT_EQ(rig.sim.SubRegister(3, 0x5DD), 0xFFF7);  // bit 3 cleared
  EXPECT_TRUE(rig.sim.PatternMemory(1, 0).strobed.empty());
  EXPECT_EQ(rig.sim.SubRegisterWrites(1, 0x45AB), (std::vector<std::uint16_t>{0x00F0, 0x00F1}));
  EXPECT_EQ(rig.sim.RequestCount(), 7466u);

  const Wire wire = rig.Accesses();
  EXPECT_EQ((Wire(wire.begin(), wire.begin() + 12)),
            (Wire{Wr(3, 0x200, 0x5DD), Rd(3, 0x201), Wr(3, 0x200, 0x5DD), Wr(3, 0x201, 0xFFF7), Wr(1, 0x200, 0x45AB),
                  Rd(1, 0x201), Wr(1, 0x200, 0x45AB), Wr(1, 0x201, 0x00F0), Wr(1, 0x200, 0x45BD), Wr(1, 0x201, 413),
                  Wr(1, 0x200, 0x45BE), Wr(1, 0x201, words[5 * 413])}));
  EXPECT_EQ((Wire(wire.end() - 6, wire.end())), (Wire{Wr(1, 0x200, 0x45B0), Wr(1, 0x201, 16560), Wr(1, 0x200, 0x45AB),
                                                      Rd(1, 0x201), Wr(1, 0x200, 0x45AB), Wr(1, 0x201, 0x00F1)}));
}

TEST(PatternUpload, TextIsRepeatedToFillWholeBlocks) {
  struct Case {
    const char* name;
    std::string text;
    std::uint32_t mode;
    std::vector<Block> blocks;  // in the order stored, each once
    std::uint16_t length;
  } cases[] = {
      {"80 binary characters", std::string(79, '0') + "1", 0, {{0, {0, 0, 0, 0, 0x1000}}}, 40},
      // 100 characters: block 1 holds characters 80-99 and then the text again from its start.
      {"100 binary characters",
       std::string(80, '0') + std::string(20, '1'),
       7,
       {{1, {0xFFFF, 0x000F, 0, 0, 0}}, {0, {0, 0, 0, 0, 0}}},
       50},
      {"40 PAM4 symbols", std::string(39, '0') + "3", 1, {{0, {0, 0, 0, 0, 0xC000}}}, 40},
      {"20 hexadecimal digits", std::string("1").append(18, '0').append("F"), 2, {{0, {0x0004, 0, 0, 0, 0xF000}}}, 40},
      // 21 digits: 84 bits in two blocks; the second starts at digit 20 and goes on from the first.
      {"21 hexadecimal digits", std::string(20, '0') + "2", 2, {{1, {0x0008, 0, 0, 0, 0}}, {0, {0, 0, 0, 0, 0}}}, 42},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    EXPECT_TRUE(rig.api().UploadUserPattern(0, c.text, c.mode)) << c.name;
    std::vector<Block> stored;
    const auto view = rig.sim.PatternMemory(0, 0);
    for (std::size_t i = 0; i < view.strobed.size(); i += 2) stored.push_back(view.strobed[i]);
    EXPECT_EQ(stored, c.blocks) << c.name;
    EXPECT_EQ(view.length, c.length) << c.name;
    EXPECT_EQ(view.control & 1, 1) << c.name;
  }
}

TEST(PatternUpload, TextsThatCannotBeUploadedSendNothing) {
  struct Case {
    const char* name;
    int ch;
    std::string text;
    std::uint32_t mode;
  } cases[] = {
      {"empty", 0, "", 0},
      {"79 binary characters", 0, std::string(79, '1'), 0},
      {"39 PAM4 symbols", 0, std::string(39, '1'), 1},
      {"19 hexadecimal digits", 0, std::string(19, 'A'), 2},
      {"415 blocks", 0, std::string(33121, '0'), 0},
      {"a 2 in binary text, in the last block", 0, std::string(33119, '0') + "2", 0},
      {"a 4 among PAM4 symbols", 0, std::string(40, '0') + "4", 1},
      {"a g among hexadecimal digits", 0, std::string("g").append(30, '0'), 2},
      {"channel 16", 16, std::string(80, '0'), 0},
      {"channel -1", -1, std::string(80, '0'), 0},
  };
  Rig rig(7652);
  rig.Connect();
  for (const Case& c : cases) {
    EXPECT_FALSE(rig.api().UploadUserPattern(c.ch, c.text, c.mode)) << c.name;
    EXPECT_TRUE(rig.sim.Log().empty()) << c.name;
  }
  // The largest text that fits: 414 blocks of hexadecimal digits.
  EXPECT_TRUE(rig.api().UploadUserPattern(0, std::string(8280, 'f'), 2));
  EXPECT_EQ(rig.sim.PatternMemory(0, 0).length, 16560);
}

// ---- Checker, lock, switches, group pulse ----

TEST(PatternChecker, StateReadAfterTheEnableRegister) {
  Rig rig(7652);
  rig.Connect();
  rig.sim.SetReadValue(2, 0x21C, 0x0003);
  rig.sim.SetReadValue(1, 0x21C, 0);
  EXPECT_EQ(APIPRBSVerfication(0, 2), 3);
  EXPECT_EQ(rig.api().PRBSVerficationAlias(2), 3);
  EXPECT_EQ(APIPRBSVerfication(0, 1), 0);
  EXPECT_EQ(rig.api().lastResult, 1u);  // not synchronised, but read
  EXPECT_EQ(rig.Accesses(), (Wire{Rd(2, 0x21B), Rd(2, 0x21C), Rd(2, 0x21B), Rd(2, 0x21C), Rd(1, 0x21B), Rd(1, 0x21C)}));

  // Resynchronising writes 0; what the checker reports is its own.
  rig.sim.ClearLog();
  EXPECT_EQ(APIReSyncRX(0, 2), 1);
  EXPECT_EQ(rig.api().lastStatus, 1);
  EXPECT_EQ(rig.Accesses(), (Wire{Wr(2, 0x21C, 0)}));
  EXPECT_EQ(APIPRBSVerfication(0, 2), 3);

  APIDisconnect(0);
  EXPECT_EQ(APIPRBSVerfication(0, 2), 0);
  EXPECT_EQ(rig.api().lastResult, 0u);
  EXPECT_EQ(APIReSyncRX(0, 2), 0);
  EXPECT_EQ(rig.api().lastStatus, 0);
}

TEST(PatternChecker, StateOfMovedLanes) {
  struct Case {
    std::uint16_t model;
    sim::RegisterValue option;
    int ch;
    unsigned bank;
  } cases[] = {{7775, {33, 11}, 3, 2}, {7841, {57, 0x40}, 1, 0}, {7775, {33, 0}, 3, 3}};
  unsigned salt = 0;
  for (const Case& c : cases) {
    Rig rig(c.model, 0, ++salt);
    rig.sim.SetReg(0, c.option.reg, c.option.value);
    rig.Connect();
    rig.sim.SetReadValue(c.bank, 0x21C, 0x55);
    EXPECT_EQ(APIPRBSVerfication(0, c.ch), 0x55) << c.model;
    EXPECT_EQ(rig.Accesses(), (Wire{Rd(c.bank, 0x21B), Rd(c.bank, 0x21C)})) << c.model;
  }
}

TEST(PatternChecker, TransmitterLock) {
  Rig rig(7652);
  rig.Connect();
  rig.sim.SetReadValue(1, 0x22B, 0x0100);
  std::uint8_t locked = 7;
  EXPECT_EQ(APIReadTXLock(0, 1, &locked), 1);
  EXPECT_EQ(locked, 1);
  EXPECT_EQ(APIReadTXLock(0, 2, &locked), 1);
  EXPECT_EQ(locked, 0);
  EXPECT_EQ(rig.Accesses(), (Wire{Rd(1, 0x22B), Rd(2, 0x22B)}));
  EXPECT_EQ(APIReadTXLock(0, 1, nullptr), 0);
  APIDisconnect(0);
  locked = 7;
  EXPECT_EQ(APIReadTXLock(0, 1, &locked), 0);
  EXPECT_EQ(rig.api().lastStatus, 0);
  EXPECT_EQ(locked, 0);  // written from the word the failed read left (the last reply: 0x22B of bank 2)
}

TEST(PatternSwitches, RecordThenWriteOneOrZero) {
  Rig rig(7841);
  rig.sim.SetReg(0, 57, 0x40);
  rig.Connect();
  EXPECT_EQ(rig.api().SetCheckerEnable(1, 1), 1);  // lane 1 moved to bank 0
  EXPECT_EQ(rig.api().SetCheckerEnable(2, 2), 1);  // only 1 switches on
  EXPECT_EQ(rig.api().SetLaneEnable21A(1, 1), 1);  // no move for the lane enable on this model
  EXPECT_EQ(EepromTrace(rig.sim.Log()), (std::vector<std::string>{"write 0x2020", "W 0:539", "write 0x2620", "W 2:539",
                                                                  "write 0x2318", "W 1:538"}));
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Wr(0, 0x21B, 1), Wr(2, 0x21B, 0), Wr(1, 0x21A, 1)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2020), 1.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x2620), 0.0);
  EXPECT_EQ(rig.sim.EepromDouble(0x2318), 1.0);
}

TEST(PatternSwitches, LaneEnableOfMovedLaneThree) {
  Rig rig(7775);
  rig.sim.SetReg(0, 33, 12);
  rig.Connect();
  EXPECT_EQ(rig.api().SetLaneEnable21A(3, 0), 1);
  EXPECT_EQ(rig.api().SetCheckerEnable(3, 1), 1);
  EXPECT_EQ(rig.LaneAccesses(), (Wire{Wr(2, 0x21A, 0), Wr(3, 0x21B, 1)}));
  EXPECT_EQ(rig.sim.EepromDouble(0x2618), 0.0);  // item 3 of lane 2
  EXPECT_EQ(rig.sim.EepromDouble(0x2920), 1.0);  // item 4 of lane 3
}

namespace {
// Requests the instrument had received at each wait.
sim::SimInstrument* g_pulseSim = nullptr;
std::vector<std::size_t> g_requestsAtWait;
void RecordWait(std::uint32_t ms) {
  test::SleepRecorder::Waits().push_back(ms);
  g_requestsAtWait.push_back(g_pulseSim->RequestCount());
}
}  // namespace

TEST(PatternPulse, FourLanesOneThenZeroAroundAHundredMilliseconds) {
  Rig rig(7652);
  rig.Connect();
  g_pulseSim = &rig.sim;
  platform::SleepHook previous = platform::SetSleepHook(&RecordWait);
  EXPECT_EQ(rig.api().PulseGroupReset(1), 1);
  platform::SetSleepHook(previous);
  EXPECT_EQ(rig.Accesses(), (Wire{Wr(4, 0x220, 1), Wr(5, 0x220, 1), Wr(6, 0x220, 1), Wr(7, 0x220, 1), Wr(4, 0x220, 0),
                                  Wr(5, 0x220, 0), Wr(6, 0x220, 0), Wr(7, 0x220, 0)}));
  EXPECT_EQ(test::SleepRecorder::Waits(), (std::vector<std::uint32_t>{100}));
  EXPECT_EQ(g_requestsAtWait, (std::vector<std::size_t>{4}));
  APIDisconnect(0);
  EXPECT_EQ(rig.api().PulseGroupReset(0), 1);  // results are not reported
}
