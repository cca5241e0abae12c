// Clock files: text files of clock-chip (address, value) pairs in the clock
// directory, named after the line rate they serve. The loaders of
// Tessok_API (clock/ClockFiles.cpp) read them and send each pair to the
// instrument as it is read; Tessok_API::GenerateClockFile writes them from
// the planner's register plan.
//
// A file is a series of lines ending in a line feed (a carriage return before
// it is accepted). A pair line holds the chip register address, exactly one
// separator character of any kind, and the value; the writer writes
// "2852,216". Each field is read with strtod in the classic locale (leading
// white space, decimal, hexadecimal and exponent forms), truncated toward zero
// to a 32-bit integer, and its low 16 bits are the word sent. Text that does
// not begin with a number reads as address 0, and the value is then read from
// the line's second character: "BertOnly", the first line of every generated
// file, is the pair (0, 0) to a loader that takes its first line as a pair.
//
// Bad files never stop a loader with an error: a line longer than 99
// characters is cut to its first 99, converted as such, and ends the file; a
// fixed-count loader stops at the end of the file rather than sending pairs
// for lines that are not there; a line with nothing after its address sends
// value 0; an open-ended loader stops after 500 pairs. Files are read line by
// line, only as far as the loader consumes them, and only when the name is a
// regular file (a FIFO or device under the name would block or never end).
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

namespace tessok {

// True when the path exists and is a directory.
bool DirectoryExists(const std::string& path);

namespace clockfile {

// A line is read into 100 characters with its terminator: at most 99 are seen.
inline constexpr std::size_t kLineCapacity = 100;
// The open-ended loaders keep at most this many pairs after their first line.
inline constexpr int kOpenEndedMaxPairs = 500;
// Settling time of the clock chip after the last pair of a file.
inline constexpr std::uint32_t kSettleMs = 20;
// First line of every file the library writes.
inline constexpr const char* kGeneratedHeader = "BertOnly";

// directory + rate + ".clk" and directory + rate1 + "_" + rate2 + ".clk", each
// rate with 10 significant digits in the general format (10.3125, 28). Nothing
// is added between the directory and the rate, so the directory text ends with
// its path separator ("./clk/").
std::string FileName(const std::string& dir, double rate);
std::string FileName(const std::string& dir, double rate1, double rate2);

struct Pair {
  std::uint16_t address;
  std::uint16_t value;
  bool operator==(const Pair&) const = default;
};

// A field's word: truncated toward zero to 32 bits, then the low 16 bits
// (NaN gives 0, out-of-range values saturate first).
std::uint16_t FieldWord(double field);
// The pair of one line: the address from the line's start, the value from one
// character after the address text (0 when the line ends there).
Pair ParsePair(const char* line);
// The mode of a mode line, truncated toward zero.
int ParseMode(const char* line);
// Whether the line splits into at least two fields at "," and carriage
// returns (runs of them count as one, leading ones are skipped): the test of
// the open-ended loaders.
bool HasSecondField(const char* line);

// Reads a clock file line by line.
class LineReader {
 public:
  // Opens the file as text: false, with nothing read, when the name is not a
  // regular file or cannot be opened.
  bool Open(const std::string& path);
  // Reads the next line into Line(). False, with Line() empty, at the end of
  // the file and for every read after a cut line.
  bool Next();
  const char* Line() const { return line_; }

 private:
  std::ifstream in_;
  char line_[kLineCapacity] = {};
  bool ended_ = false;
};

enum class NameForm { SingleRate, RatePair };
enum class FirstLine {
  Pair,     // the first pair line
  Ignored,  // read and skipped
  Mode,     // a number, the clock mode
};

// One kind of clock file: how its loader names, starts and ends it.
struct Kind {
  NameForm name;
  FirstLine first;
  int pairs;       // pair lines read (fixed count), or the most read (open-ended)
  bool openEnded;  // the first line without a second field ends the file
};

// The loaders' file kinds (the bank is each loader's argument).
inline constexpr Kind kFile500{NameForm::SingleRate, FirstLine::Pair, 500, false};
inline constexpr Kind kFile45{NameForm::SingleRate, FirstLine::Pair, 45, false};
inline constexpr Kind kPair45Bank{NameForm::RatePair, FirstLine::Pair, 45, false};
inline constexpr Kind kPair378Bank{NameForm::RatePair, FirstLine::Pair, 378, false};
inline constexpr Kind kCsv{NameForm::SingleRate, FirstLine::Ignored, kOpenEndedMaxPairs, true};
inline constexpr Kind kWithMode{NameForm::SingleRate, FirstLine::Mode, 379, false};  // the pair count is per model
inline constexpr Kind kPair378{NameForm::RatePair, FirstLine::Ignored, 378, false};

// Reads the file's first line as its kind says (a mode line goes to
// onMode(mode) before any pair), then up to `pairs` pair lines, each handed
// to onPair(Pair) as soon as it is read. False when the file cannot be opened:
// then neither callback runs.
template <typename OnMode, typename OnPair>
bool ForEachPair(const std::string& path, const Kind& kind, int pairs, OnMode&& onMode, OnPair&& onPair) {
  LineReader file;
  if (!file.Open(path)) return false;
  if (kind.first != FirstLine::Pair) {
    file.Next();  // an empty file gives an empty first line: mode 0
    if (kind.first == FirstLine::Mode) onMode(ParseMode(file.Line()));
  }
  for (int i = 0; i < pairs && file.Next(); ++i) {
    if (kind.openEnded && !HasSecondField(file.Line())) break;
    onPair(ParsePair(file.Line()));
  }
  return true;
}

}  // namespace clockfile
}  // namespace tessok

class Tessok_API;

namespace tessok::clockfile {

// Sends the planner's register plan (si5346.addresses / values) as clock-chip
// pairs at a bank, 0x106 = address then 0x107 = value through the single-read
// word; transfer results are not examined. No settling wait.
void SendPlan(Tessok_API& api, std::uint16_t bank);

}  // namespace tessok::clockfile
