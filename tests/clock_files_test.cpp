// Clock files: names, the reading rules of the eight loaders (fields,
// separators, line limit, counts, banks, mode line), files that cannot be
// read, and the generated file checked against the plan and read back.
#include <sys/stat.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FaultSupport.h"
#include "TempDir.h"
#include "TestSupport.h"
#include "clock/ClockFiles.h"

using namespace tessok;
using tessok::test::Rd;
using tessok::test::Rig;
using tessok::test::TempDir;
using tessok::test::Wr;
using Pairs = std::vector<std::pair<std::uint16_t, std::uint16_t>>;
using Accesses = std::vector<Rig::Access>;

namespace {

constexpr unsigned kAddressReg = 0x106;
constexpr unsigned kValueReg = 0x107;

Accesses PairWrites(unsigned bank, const Pairs& pairs) {
  Accesses out;
  for (const auto& [address, value] : pairs) {
    out.push_back(Wr(bank, kAddressReg, address));
    out.push_back(Wr(bank, kValueReg, value));
  }
  return out;
}

// n numbered pair lines, "k,v" with k from 1 and v = 7 (k - 1) mod 256.
std::string NumberedLines(int n) {
  std::string text;
  for (int k = 0; k < n; ++k) text += std::to_string(k + 1) + "," + std::to_string(k * 7 % 256) + "\n";
  return text;
}
Pairs NumberedPairs(int first, int count) {
  Pairs out;
  for (int k = first; k < first + count; ++k)
    out.push_back({static_cast<std::uint16_t>(k + 1), static_cast<std::uint16_t>(k * 7 % 256)});
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

using LoaderCall = int (*)(Tessok_API&, const std::string& dir);
constexpr double kRate = 10.3125;
constexpr double kRate1 = 25.78125;
constexpr double kRate2 = 10.3125;
const char* const kSingleName = "10.3125.clk";
const char* const kPairName = "25.78125_10.3125.clk";

struct LoaderRow {
  const char* name;
  LoaderCall call;
  const char* file;
};

const LoaderRow kLoaders[] = {
    {"Pair378", [](Tessok_API& a, const std::string& d) { return a.LoadClockFilePair378(d, kRate1, kRate2); },
     kPairName},
    {"File500", [](Tessok_API& a, const std::string& d) { return a.LoadClockFile500(d, kRate); }, kSingleName},
    {"WithMode", [](Tessok_API& a, const std::string& d) { return a.LoadClockFileWithMode(d, kRate); }, kSingleName},
    {"Csv2", [](Tessok_API& a, const std::string& d) { return a.LoadClockFileCsv2(d, kRate); }, kSingleName},
    {"Csv", [](Tessok_API& a, const std::string& d) { return a.LoadClockFileCsv(d, kRate); }, kSingleName},
    {"File45", [](Tessok_API& a, const std::string& d) { return a.LoadClockFile45(d, kRate); }, kSingleName},
    {"Pair45Bank", [](Tessok_API& a, const std::string& d) { return a.LoadClockFilePair45Bank(d, 0, kRate1, kRate2); },
     kPairName},
    {"Pair378Bank",
     [](Tessok_API& a, const std::string& d) { return a.LoadClockFilePair378Bank(d, 0, kRate1, kRate2); }, kPairName},
};

}  // namespace

TEST(ClockFileNames, RatesWithTenSignificantDigitsAndNoSeparatorOfTheirOwn) {
  EXPECT_EQ(clockfile::FileName("./clk/", 10.3125), "./clk/10.3125.clk");
  EXPECT_EQ(clockfile::FileName("./clk/", 25.78125), "./clk/25.78125.clk");
  EXPECT_EQ(clockfile::FileName("./clk/", 28.0), "./clk/28.clk");
  EXPECT_EQ(clockfile::FileName("./clk/", 1.0 / 3.0), "./clk/0.3333333333.clk");
  EXPECT_EQ(clockfile::FileName("./clk/", 12345678901.0), "./clk/1.23456789e+10.clk");
  EXPECT_EQ(clockfile::FileName("clk", 8.5), "clk8.5.clk");
  EXPECT_EQ(clockfile::FileName("./clk/", 25.78125, 10.3125), "./clk/25.78125_10.3125.clk");
}

TEST(ClockFileNames, DirectoryTestTellsADirectoryFromAnythingElse) {
  TempDir scratch;
  scratch.Write("plain", "x");
  EXPECT_TRUE(DirectoryExists(scratch.Prefix()));
  EXPECT_TRUE(DirectoryExists(scratch.Path("").string()));
  EXPECT_FALSE(DirectoryExists(scratch.Path("plain").string()));
  EXPECT_FALSE(DirectoryExists(scratch.Path("plain").string() + "/"));
  EXPECT_FALSE(DirectoryExists(scratch.Path("missing").string()));
}

// Each field through strtod, truncated toward zero to 32 bits, low 16 bits;
// the value read from one character after the address text.
TEST(ClockFileLoading, FieldsConvertByTheReadingRules) {
  struct Case {
    const char* line;
    std::uint16_t address, value;
  } cases[] = {
      {"2852,216", 2852, 216},
      {"2852;216", 2852, 216},         // any one separator
      {"2852, 216", 2852, 216},        // the space after the comma is leading white space
      {"2852,216\r", 2852, 216},       // CR before the line feed
      {"2852 ,216", 2852, 0},          // the separator is the space: ",216" is no number
      {"  2852,216", 2852, 216},       // leading white space
      {"2852.9,216.7", 2852, 216},     // truncated, not rounded
      {"-1,-2", 0xFFFF, 0xFFFE},       // negative: the low 16 bits of the 32-bit value
      {"-0.9,1", 0, 1},                // toward zero
      {"0x0B24,0xD8", 2852, 216},      // hexadecimal
      {"2.852e3,2.16E2", 2852, 216},   // exponents
      {"70000,65537", 4464, 1},        // 70000 - 65536, 65537 - 65536
      {"1e10,-1e10", 0xFFFF, 0x0000},  // saturated to 0x7FFFFFFF and 0x80000000
      {"nan,inf", 0x0000, 0xFFFF},     // NaN reads as 0x80000000, infinity saturates
      {"BertOnly", 0, 0},              // no number: address 0, value from "ertOnly"
      {"x5,6", 0, 5},                  // no number: the value from the second character
      {"2852", 2852, 0},               // nothing after the address: value 0
      {"2852,", 2852, 0},
      {"", 0, 0},
  };
  TempDir scratch;
  std::string text;
  Pairs expected;
  for (const Case& c : cases) {
    text += std::string(c.line) + "\n";
    expected.push_back({c.address, c.value});
  }
  scratch.Write(kSingleName, text);
  Rig rig;
  rig.Connect();
  EXPECT_EQ(rig.api().LoadClockFile45(scratch.Prefix(), kRate), 1);
  const Pairs sent = rig.sim.ClockChipWrites(0);
  ASSERT_EQ(sent.size(), expected.size());  // the end of the file ends the fixed count
  for (std::size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i], expected[i]) << '"' << cases[i].line << '"';
  EXPECT_EQ(rig.Accesses(), PairWrites(0, expected));
  EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>{20});
}

TEST(ClockFileLoading, NumbersIgnoreTheApplicationLocale) {
  // A locale that groups thousands with "." and writes "," as decimal point;
  // names, written numbers and read numbers keep the classic forms.
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Comma));
  TempDir scratch;
  Rig rig;
  rig.Connect();
  double f1 = 0, ref = 0, f3 = 100, f4 = 156.25;
  EXPECT_EQ(rig.api().GenerateClockFile(scratch.Prefix(), 10.3125, &f1, &ref, &f3, &f4), 1);
  const std::vector<std::string> lines = Lines(scratch.Read("10.3125.clk"));
  std::locale::global(previous);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "2852,216");
  rig.sim.ClearClockChipWrites();
  EXPECT_EQ(rig.api().LoadClockFileCsv(scratch.Prefix(), 10.3125), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0).size(), 378u);
}

TEST(ClockFileLoading, ALineOverNinetyNineCharactersIsCutAndEndsTheFile) {
  TempDir scratch;
  Rig rig;
  rig.Connect();
  // 99 characters are a whole line.
  scratch.Write(kSingleName, std::string(96, ' ') + "1,2\n3,4\n");
  EXPECT_EQ(rig.api().LoadClockFile45(scratch.Prefix(), kRate), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0), (Pairs{{1, 2}, {3, 4}}));

  // 102 characters: the first 99 are 97 spaces and "12", converted as such
  // (uncut it would be 123,4); nothing after the cut line is read.
  rig.sim.ClearClockChipWrites();
  scratch.Write(kSingleName, std::string(97, ' ') + "123,4\n5,6\n");
  EXPECT_EQ(rig.api().LoadClockFile45(scratch.Prefix(), kRate), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0), (Pairs{{12, 0}}));

  // The same for an open-ended file: the cut line keeps its two fields.
  rig.sim.ClearClockChipWrites();
  scratch.Write(kSingleName, "BertOnly\n1,2" + std::string(97, ' ') + "9\n3,4\n");
  EXPECT_EQ(rig.api().LoadClockFileCsv(scratch.Prefix(), kRate), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0), (Pairs{{1, 2}}));
}

// Each loader reads its count of pair lines (the open-ended ones at most 500)
// from its own file name, and sends them at its bank.
TEST(ClockFileLoading, EachLoaderReadsItsCountFromItsNameAtItsBank) {
  struct Case {
    const char* name;
    int (*call)(Tessok_API&, const std::string&);
    const char* file;
    int lines;
    int firstPair;  // index of the first pair line (1 when the first line is not a pair)
    int sent;
    unsigned bank;
  } cases[] = {
      {"File500", kLoaders[1].call, kSingleName, 501, 0, 500, 0},
      {"File45", kLoaders[5].call, kSingleName, 50, 0, 45, 0},
      {"Pair45Bank",
       [](Tessok_API& a, const std::string& d) { return a.LoadClockFilePair45Bank(d, 0x10003, kRate1, kRate2); },
       kPairName, 50, 0, 45, 3},
      {"Pair378Bank",
       [](Tessok_API& a, const std::string& d) { return a.LoadClockFilePair378Bank(d, 2, kRate1, kRate2); }, kPairName,
       400, 0, 378, 2},
      {"Pair378", kLoaders[0].call, kPairName, 400, 1, 378, 0},
      {"Csv", kLoaders[4].call, kSingleName, 600, 1, 500, 0},
      {"Csv2", kLoaders[3].call, kSingleName, 600, 1, 500, 0},
      {"WithMode", kLoaders[2].call, kSingleName, 400, 1, 379, 0},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir scratch;
    scratch.Write(c.file, NumberedLines(c.lines));
    Rig rig(7652, 0, ++salt);
    rig.Connect();
    EXPECT_EQ(c.call(rig.api(), scratch.Prefix()), 1);
    EXPECT_EQ(rig.sim.ClockChipWrites(c.bank), NumberedPairs(c.firstPair, c.sent));
    if (c.bank != 0) {
      EXPECT_TRUE(rig.sim.ClockChipWrites(0).empty());
    }
    EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>{20});
    APIDisconnect(0);
  }
}

TEST(ClockFileLoading, FixedCountLoadersStopAtTheEndOfTheFile) {
  TempDir scratch;
  Rig rig;
  rig.Connect();
  scratch.Write(kSingleName, "1,2\n\n3,4");  // an empty line inside, no line feed at the end
  EXPECT_EQ(rig.api().LoadClockFile500(scratch.Prefix(), kRate), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0), (Pairs{{1, 2}, {0, 0}, {3, 4}}));
  scratch.Write(kPairName, "");
  EXPECT_EQ(rig.api().LoadClockFilePair378(scratch.Prefix(), kRate1, kRate2), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0).size(), 3u);
  EXPECT_EQ(rig.sleeps.Waits(), (std::vector<std::uint32_t>{20, 20}));
}

TEST(ClockFileLoading, OpenEndedLoadersStopAtALineWithoutSecondField) {
  struct Case {
    const char* text;
    Pairs sent;
  } cases[] = {
      {"BertOnly\n1,2\n3;4\n5,6\n", {{1, 2}}},          // a semicolon does not split
      {"h\r\n1,2\r\n3\r\n5,6\r\n", {{1, 2}}},           // a single number ends the file
      {"h\n1,2\n\n3,4\n", {{1, 2}}},                    // so does an empty line
      {"h\n1, 2\n,,7,,8\n", {{1, 2}, {0, 0}}},          // split only decides; the pair is read from the start
      {"1,2\n", {}},                                    // only the first line
      {"", {}},                                         // an empty file
      {"h\n0x10,0x20\r\n30,40", {{16, 32}, {30, 40}}},  // the end of the file ends the loop
  };
  TempDir scratch;
  Rig rig;
  rig.Connect();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    scratch.Write(kSingleName, c.text);
    rig.sim.ClearClockChipWrites();
    EXPECT_EQ(rig.api().LoadClockFileCsv(scratch.Prefix(), kRate), 1);
    EXPECT_EQ(rig.sim.ClockChipWrites(0), c.sent);
    rig.sim.ClearClockChipWrites();
    EXPECT_EQ(rig.api().LoadClockFileCsv2(scratch.Prefix(), kRate), 1);
    EXPECT_EQ(rig.sim.ClockChipWrites(0), c.sent);
  }
  EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>(2 * std::size(cases), 20));
}

TEST(ClockFileLoading, NoFileADirectoryOrAFifoUnderTheNameSendsNothing) {
  TempDir scratch;
  Rig rig;
  rig.Connect();
  for (const LoaderRow& l : kLoaders) EXPECT_EQ(l.call(rig.api(), scratch.Prefix()), 0) << l.name << " missing";
  std::filesystem::create_directory(scratch.Path(kSingleName));
  std::filesystem::create_directory(scratch.Path(kPairName));
  for (const LoaderRow& l : kLoaders) EXPECT_EQ(l.call(rig.api(), scratch.Prefix()), 0) << l.name << " directory";
  std::filesystem::remove(scratch.Path(kSingleName));
  std::filesystem::remove(scratch.Path(kPairName));
  // Opening a FIFO without a writer would block.
  ASSERT_EQ(::mkfifo(scratch.Path(kSingleName).c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(scratch.Path(kPairName).c_str(), 0600), 0);
  for (const LoaderRow& l : kLoaders) EXPECT_EQ(l.call(rig.api(), scratch.Prefix()), 0) << l.name << " FIFO";
  EXPECT_TRUE(rig.sim.Log().empty());
  EXPECT_TRUE(rig.sleeps.Waits().empty());
}

// The mode line selects register 0x103 by the model's column.
TEST(ClockFileLoading, ModeLineSelectsTheClockInput) {
  struct Case {
    std::uint16_t model;
    const char* modeLine;
    unsigned bank;
    std::uint16_t value;
  } cases[] = {
      {7780, "0", 1, 0},   {7652, "0", 1, 1},        {7780, "2", 3, 2},  {7652, "2", 3, 0},
      {7781, "1", 1, 1},   {7652, "1", 1, 1},        {7781, "-1", 3, 2}, {7733, "7", 3, 0},
      {7652, "1.9", 1, 1}, {7780, "BertOnly", 1, 0}, {7781, "", 1, 0},   {7780, "0x2", 3, 2},
  };
  unsigned salt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.model) + " \"" + c.modeLine + "\"");
    TempDir scratch;
    scratch.Write(kSingleName, std::string(c.modeLine) + "\n5,6\n");
    Rig rig(c.model, 0, ++salt);
    rig.Connect();
    EXPECT_EQ(rig.api().LoadClockFileWithMode(scratch.Prefix(), kRate), 1);
    EXPECT_EQ(rig.Accesses(), (Accesses{Wr(c.bank, 0x103, c.value), Wr(0, kAddressReg, 5), Wr(0, kValueReg, 6)}));
    APIDisconnect(0);
  }
}

TEST(ClockFileLoading, Model7775PulsesTheClockBitAndReads381Pairs) {
  TempDir scratch;
  scratch.Write(kSingleName, "0\n" + NumberedLines(400));
  Rig rig(7775, {{2, 0x00F3}});
  rig.Connect();
  EXPECT_EQ(rig.api().LoadClockFileWithMode(scratch.Prefix(), kRate), 1);
  Accesses expected{Wr(1, 0x103, 1), Rd(0, 2), Wr(0, 2, 0x00F1), Wr(0, 2, 0x00F3)};
  for (const Rig::Access& a : PairWrites(0, NumberedPairs(0, 381))) expected.push_back(a);
  EXPECT_EQ(rig.Accesses(), expected);
  EXPECT_EQ(rig.sim.Reg(0, 2), 0x00F3);

  // A failed read of register 2 ends the connection: nothing is written back
  // and no pair reaches the instrument; the loader, which does not examine its
  // transfers, still reports 1.
  rig.sim.ClearLog();
  rig.sim.SetReg(0, 2, 0x00F1);
  tessok::test::TransferFaults faults;
  faults.FailReceive(1);
  EXPECT_EQ(rig.api().LoadClockFileWithMode(scratch.Prefix(), kRate), 1);
  EXPECT_EQ(rig.Accesses(), (Accesses{Wr(1, 0x103, 1), Rd(0, 2)}));
  EXPECT_EQ(rig.sim.Reg(0, 2), 0x00F1);
}

class GeneratedClockFile : public ::testing::Test {
 protected:
  TempDir scratch;
  Rig rig;
  double f1 = 0, ref = -7.0, f3 = 100, f4 = 156.25;
  void SetUp() override { rig.Connect(); }
  Pairs Plan() {
    Pairs out;
    const SI5346_API& p = rig.api().si5346;
    for (std::size_t i = 0; i < p.addresses.size(); ++i) out.push_back({p.addresses[i], p.values[i]});
    return out;
  }
};

TEST_F(GeneratedClockFile, IsThePlanWrittenAndClosedBeforeItsFirstPairGoesOut) {
  const std::string dir = scratch.Prefix() + "clk/";  // missing: created
  std::atomic<int> linesAtFirstWrite{-1};
  const std::string file = dir + "10.3125.clk";
  rig.sim.OnWrite(0, kAddressReg, [&](std::uint16_t value) {
    if (linesAtFirstWrite.load() < 0) {
      std::ifstream in(file);
      int n = 0;
      for (std::string line; std::getline(in, line);) ++n;
      linesAtFirstWrite = n;
    }
    rig.sim.SetReg(0, kAddressReg, value);  // keep the register's storage for the clock-chip list
  });
  EXPECT_EQ(rig.api().GenerateClockFile(dir, 10.3125, &f1, &ref, &f3, &f4), 1);
  EXPECT_EQ(ref, 161.1328125);  // 10312.5 / 64
  EXPECT_EQ(f1, 50.0);          // the clock-file plan's input
  EXPECT_EQ(linesAtFirstWrite.load(), 379);

  const Pairs plan = Plan();
  ASSERT_EQ(plan.size(), 378u);
  const std::vector<std::string> lines = Lines(scratch.Read("clk/10.3125.clk"));
  ASSERT_EQ(lines.size(), 379u);
  EXPECT_EQ(lines[0], "BertOnly");
  for (std::size_t i = 0; i < plan.size(); ++i)
    EXPECT_EQ(lines[i + 1], std::to_string(plan[i].first) + "," + std::to_string(plan[i].second)) << i;
  EXPECT_EQ(lines[1], "2852,216");
  EXPECT_EQ(lines[2], "2853,0");
  EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end()),
            (std::vector<std::string>{"1044,1", "1300,1", "28,1", "2852,219", "2853,2"}));

  EXPECT_EQ(rig.Accesses(), PairWrites(0, plan));
  EXPECT_EQ(rig.sleeps.Waits(), std::vector<std::uint32_t>{20});
}

TEST_F(GeneratedClockFile, ReadsBackWhole) {
  ASSERT_EQ(rig.api().GenerateClockFile(scratch.Prefix(), 25.78125, &f1, &ref, &f3, &f4), 1);
  const Pairs plan = Plan();
  rig.sim.ClearClockChipWrites();
  EXPECT_EQ(rig.api().LoadClockFileCsv(scratch.Prefix(), 25.78125), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0), plan);
  rig.sim.ClearClockChipWrites();
  EXPECT_EQ(rig.api().LoadClockFileCsv2(scratch.Prefix(), 25.78125), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0), plan);
  // Taken as a pair, "BertOnly" is (0, 0); the end of the file ends the count.
  rig.sim.ClearClockChipWrites();
  EXPECT_EQ(rig.api().LoadClockFile500(scratch.Prefix(), 25.78125), 1);
  Pairs withHead{{0, 0}};
  withHead.insert(withHead.end(), plan.begin(), plan.end());
  EXPECT_EQ(rig.sim.ClockChipWrites(0), withHead);
}

TEST_F(GeneratedClockFile, ReferenceRequestFollowsTheRateBand) {
  struct Case {
    double rate;
    std::uint32_t option57Low;
    double ref;  // rate x 1000 over 16, 32, 64 or 100
  } cases[] = {
      {1.25, 0, 78.125}, {3.0, 0, 187.5},     {5.0, 0, 156.25}, {15.0, 0, 234.375},
      {15.5, 0, 155.0},  {15.5, 1, 242.1875}, {16.0, 1, 250.0}, {25.78125, 0, 257.8125},
  };
  for (const Case& c : cases) {
    rig.api().option57Low = c.option57Low;
    ref = -7.0;
    EXPECT_EQ(rig.api().GenerateClockFile(scratch.Prefix(), c.rate, &f1, &ref, &f3, &f4), 1) << c.rate;
    EXPECT_EQ(ref, c.ref) << c.rate << " " << c.option57Low;
  }
}

TEST_F(GeneratedClockFile, RefusedRequestsLeaveTheFileAndSendNothing) {
  scratch.Write("0.clk", "BertOnly\n1,2\n");
  for (double rate : {32.0, 40.0, std::nan(""), 0.0}) {
    ref = -7.0;
    EXPECT_EQ(rig.api().GenerateClockFile(scratch.Prefix(), rate, &f1, &ref, &f3, &f4), 0) << rate;
    if (rate != 0.0) {
      EXPECT_EQ(ref, -7.0) << rate;  // no band: nothing stored
    }
  }
  EXPECT_EQ(rig.api().GenerateClockFile(scratch.Prefix(), 10.3125, &f1, nullptr, &f3, &f4), 0);
  EXPECT_EQ(scratch.Read("0.clk"), "BertOnly\n1,2\n");  // the planner found no plan for 0 MHz
  EXPECT_FALSE(std::filesystem::exists(scratch.Path("32.clk")));
  EXPECT_TRUE(rig.sim.Log().empty());
  EXPECT_TRUE(rig.sleeps.Waits().empty());
}

TEST_F(GeneratedClockFile, RegularFileInTheDirectorysWayIsRefused) {
  scratch.Write("clk", "not a directory");
  EXPECT_EQ(rig.api().GenerateClockFile(scratch.Prefix() + "clk/", 10.3125, &f1, &ref, &f3, &f4), 0);
  EXPECT_EQ(ref, -7.0);
  EXPECT_EQ(scratch.Read("clk"), "not a directory");
  EXPECT_TRUE(rig.sim.Log().empty());
  EXPECT_TRUE(rig.sleeps.Waits().empty());
}

TEST_F(GeneratedClockFile, AFileThatCannotBeWrittenStillSendsThePlan) {
  std::filesystem::create_directory(scratch.Path("10.3125.clk"));
  EXPECT_EQ(rig.api().GenerateClockFile(scratch.Prefix(), 10.3125, &f1, &ref, &f3, &f4), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0), Plan());
  std::filesystem::remove(scratch.Path("10.3125.clk"));
  ASSERT_EQ(::mkfifo(scratch.Path("10.3125.clk").c_str(), 0600), 0);  // never opened: it would block
  rig.sim.ClearClockChipWrites();
  EXPECT_EQ(rig.api().GenerateClockFile(scratch.Prefix(), 10.3125, &f1, &ref, &f3, &f4), 1);
  EXPECT_EQ(rig.sim.ClockChipWrites(0), Plan());
  EXPECT_EQ(rig.sleeps.Waits(), (std::vector<std::uint32_t>{20, 20}));
}
