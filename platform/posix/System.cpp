#include <locale.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <cerrno>
#include <ctime>

#include "platform/Directory.h"
#include "platform/Sleep.h"
#include "platform/Text.h"
#include "platform/Time.h"

namespace tessok::platform {

void SystemSleepMs(std::uint32_t milliseconds) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(milliseconds / 1000);
  ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

SystemTime GetSystemTime() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  std::tm utc{};
  ::gmtime_r(&ts.tv_sec, &utc);
  SystemTime st{};
  st.year = static_cast<std::uint16_t>(utc.tm_year + 1900);
  st.month = static_cast<std::uint16_t>(utc.tm_mon + 1);
  st.dayOfWeek = static_cast<std::uint16_t>(utc.tm_wday);
  st.day = static_cast<std::uint16_t>(utc.tm_mday);
  st.hour = static_cast<std::uint16_t>(utc.tm_hour);
  st.minute = static_cast<std::uint16_t>(utc.tm_min);
  st.second = static_cast<std::uint16_t>(utc.tm_sec);
  st.milliseconds = static_cast<std::uint16_t>(ts.tv_nsec / 1000000L);
  return st;
}

bool LocalTime(std::time_t t, std::tm* out) { return out != nullptr && ::localtime_r(&t, out) != nullptr; }

PathKind GetPathKind(const char* path) {
  struct stat st {};
  if (path == nullptr || ::stat(path, &st) != 0) return PathKind::Missing;
  if (S_ISREG(st.st_mode)) return PathKind::RegularFile;
  if (S_ISDIR(st.st_mode)) return PathKind::Directory;
  return PathKind::Other;
}

bool DirectoryExists(const char* path) { return GetPathKind(path) == PathKind::Directory; }

bool CreateDirectory(const char* path) {
  if (path == nullptr) return false;
  if (::mkdir(path, 0777) == 0) return true;
  return errno == EEXIST && DirectoryExists(path);
}

double ParseDouble(const char* text, char** end) {
  // One "C" locale for the life of the process; strtod_l leaves the
  // application's own locale alone.
  static const locale_t classic = ::newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  if (classic == static_cast<locale_t>(nullptr)) return ::strtod(text, end);
  return ::strtod_l(text, end, classic);
}

}  // namespace tessok::platform
