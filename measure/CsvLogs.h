// Measurement logs: comma-separated text files that the bathtub, vertical
// bathtub, histogram and eye acquisitions write beside their results.
//
// A log is named directory + prefix + number + "_" + date stamp + ".csv",
// glued exactly as they stand (no separator is inserted after the directory).
// Each line holds element i of the first column's array and, for two-column
// logs, a comma and element i of the second; every number is written like
// printf's "%f" and every line ends in "\r\n", on every platform.
//
// A log is written under a temporary name of its own beside the final one
// (see TemporaryCsvName), created afresh (never an existing file, never
// through a symbolic link) with the permissions of any new file of the user,
// and renamed onto the final name once every line is written and the file
// closed. Two writers of one name, in threads of one process or in two
// processes, thus never share a file: both succeed and the name ends up
// holding one of the two logs whole. When anything fails the temporary file
// is removed and a file that already held the name is left as it was, so no
// log ever holds a part of a measurement.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Tessok_API;

namespace tessok::measure {

// One kind of log: its name prefix and which directory and switch it uses.
struct CsvLogFormat {
  const char* prefix;
  bool eyeLog;  // eyeCsvDir and saveEyeCsv; otherwise curveCsvDir and saveCurveCsv
};

inline constexpr CsvLogFormat kBathtubCsvFile{"BathTub_", false};
inline constexpr CsvLogFormat kVerticalBathtubCsvFile{"VerticalBathTub_", false};
inline constexpr CsvLogFormat kHistogramCsvFile{"Histogram_", false};
inline constexpr CsvLogFormat kEyeCsvFile{"eyeChannel_", true};

enum class LogOutcome {
  Off,      // the log's switch is 0: nothing touched, no stamp made
  Written,  // the file holds every line
  Failed,   // the file could not be written; nothing of it is left
};

// Writes the log of a measurement the caller has already stored: `lines`
// lines from first[] and, when second is not null, second[]. Makes a fresh
// date stamp only when the log's switch is on.
LogOutcome WriteMeasurementLog(Tessok_API& api, const CsvLogFormat& format, int number, const double* first,
                               const double* second, int lines);

// The file name of a log: directory + prefix + number + "_" + stamp + ".csv".
std::string CsvLogName(const std::string& directory, const CsvLogFormat& format, int number, const std::string& stamp);

// The temporary name of a log with the given sequence number: the final name,
// ".", this process's id, "-", the number and ".tmp". Each writer takes the
// next number of a counter of the process; when a name is already taken it
// takes the next one, a bounded number of times.
std::string TemporaryCsvName(const std::string& path, std::uint32_t sequence);

// Writes the lines to `path` through a temporary name; false, with the
// temporary file removed and `path` untouched, when that cannot be done.
bool WriteCsvFile(const std::string& path, const double* first, const double* second, int lines);

// Room for one number as "%f" writes it: sign, 309 integer digits of the
// largest double, point and six decimals.
inline constexpr std::size_t kMaxCsvNumber = 320;

// Formats one number as "%f" does into out (at least kMaxCsvNumber bytes);
// the number of characters written. No terminating zero.
std::size_t FormatCsvNumber(char* out, double value);

}  // namespace tessok::measure
