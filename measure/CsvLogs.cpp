// Measurement logs and the date stamp in their names.
#include "measure/CsvLogs.h"

#include <atomic>
#include <charconv>
#include <cstring>
#include <ctime>

#include "core/Tessok_API.h"
#include "platform/File.h"
#include "platform/Time.h"

namespace tessok::measure {

namespace {

constexpr char kStampFormat[] = "Date-%Y-%m-%d-Time-%H-%M-%S";
constexpr char kTemporarySuffix[] = ".tmp";
constexpr char kLineEnd[] = "\r\n";

// Names tried before a log gives up. Only a name left behind by an earlier
// process of the same id, or planted there, is ever found taken.
constexpr int kTemporaryNameTries = 64;

// Gives every temporary name of this process a number of its own, so writers
// in different threads or objects never share a temporary file.
std::atomic<std::uint32_t> nextTemporarySequence{0};

// Lines are gathered into this much memory between writes; a line is at most
// two numbers, a comma and the line end.
constexpr std::size_t kWriteBuffer = 16384;
constexpr std::size_t kMaxLine = 2 * kMaxCsvNumber + 3;

bool WriteLines(platform::FileHandle file, const double* first, const double* second, int lines) {
  char buffer[kWriteBuffer];
  std::size_t used = 0;
  for (int i = 0; i < lines; ++i) {
    if (kWriteBuffer - used < kMaxLine) {
      if (!platform::WriteFile(file, buffer, used)) return false;
      used = 0;
    }
    used += FormatCsvNumber(buffer + used, first[i]);
    if (second != nullptr) {
      buffer[used++] = ',';
      used += FormatCsvNumber(buffer + used, second[i]);
    }
    buffer[used++] = kLineEnd[0];
    buffer[used++] = kLineEnd[1];
  }
  return used == 0 || platform::WriteFile(file, buffer, used);
}

}  // namespace

std::size_t FormatCsvNumber(char* out, double value) {
  // Fixed notation with six decimals is "%f" exactly, digits, "inf" and "nan" alike.
  const std::to_chars_result r = std::to_chars(out, out + kMaxCsvNumber, value, std::chars_format::fixed, 6);
  return static_cast<std::size_t>(r.ptr - out);
}

std::string CsvLogName(const std::string& directory, const CsvLogFormat& format, int number, const std::string& stamp) {
  std::string name;
  name.reserve(directory.size() + std::strlen(format.prefix) + 12 + stamp.size() + 4);
  name += directory;
  name += format.prefix;
  name += std::to_string(number);
  name += '_';
  name += stamp;
  name += ".csv";
  return name;
}

std::string TemporaryCsvName(const std::string& path, std::uint32_t sequence) {
  std::string name = path;
  name += '.';
  name += std::to_string(platform::ProcessId());
  name += '-';
  name += std::to_string(sequence);
  name += kTemporarySuffix;
  return name;
}

bool WriteCsvFile(const std::string& path, const double* first, const double* second, int lines) {
  std::string temporary;
  platform::NewFile created;
  for (int attempt = 0; attempt < kTemporaryNameTries && created.handle == platform::kNoFile; ++attempt) {
    temporary = TemporaryCsvName(path, nextTemporarySequence.fetch_add(1, std::memory_order_relaxed));
    created = platform::CreateNewFile(temporary.c_str());
    if (created.handle == platform::kNoFile && !created.nameTaken) return false;
  }
  if (created.handle == platform::kNoFile) return false;
  const bool written = WriteLines(created.handle, first, second, lines);
  const bool closed = platform::CloseFile(created.handle);
  if (written && closed && platform::RenameFile(temporary.c_str(), path.c_str())) return true;
  platform::RemoveFile(temporary.c_str());
  return false;
}

LogOutcome WriteMeasurementLog(Tessok_API& api, const CsvLogFormat& format, int number, const double* first,
                               const double* second, int lines) {
  if ((format.eyeLog ? api.saveEyeCsv : api.saveCurveCsv) == 0) return LogOutcome::Off;
  const std::string& directory = format.eyeLog ? api.eyeCsvDir : api.curveCsvDir;
  const std::string name = CsvLogName(directory, format, number, api.MakeDateTimeStamp());
  return WriteCsvFile(name, first, second, lines) ? LogOutcome::Written : LogOutcome::Failed;
}

}  // namespace tessok::measure

std::string Tessok_API::MakeDateTimeStamp() {
  // The milliseconds come from the system clock, read before the calendar time.
  dateScratch.systemTime = tessok::platform::GetSystemTime();
  dateScratch.time = std::time(nullptr);
  // A time the runtime cannot break down formats as the zero date.
  dateScratch.local = std::tm{};
  tessok::platform::LocalTime(dateScratch.time, &dateScratch.local);
  dateScratch.broken = &dateScratch.local;
  if (std::strftime(dateScratch.text, sizeof dateScratch.text, tessok::measure::kStampFormat, dateScratch.broken) ==
      0) {
    dateScratch.text[0] = '\0';
  }
  std::string stamp(dateScratch.text);
  stamp += '-';
  stamp += std::to_string(dateScratch.systemTime.milliseconds);
  return stamp;
}
