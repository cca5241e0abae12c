// Date stamp, names, line format and temporary-name writing of the measurement logs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <latch>
#include <limits>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "core/Tessok_API.h"
#include "measure/CsvLogs.h"

using namespace tessok::measure;
using tessok::test::ReadFile;
using tessok::test::TempDir;
using tessok::test::WriteTextFile;

TEST(CsvLogs, StampIsLocalTimeThenUnpaddedMilliseconds) {
  Tessok_API& api = g_apiInstances[0];
  const std::string stamp = api.MakeDateTimeStamp();
  ASSERT_TRUE(tessok::test::IsLogName("x" + stamp + ".csv", "x")) << stamp;

  // The date text is the local time of the calendar time kept in the scratch
  // record; the tail is the system clock's milliseconds as they stand.
  std::tm local{};
  ASSERT_NE(::localtime_r(&api.dateScratch.time, &local), nullptr);
  char text[32];
  ASSERT_EQ(std::strftime(text, sizeof text, "Date-%Y-%m-%d-Time-%H-%M-%S", &local), 29u);
  EXPECT_STREQ(api.dateScratch.text, text);
  EXPECT_EQ(stamp, std::string(text) + "-" + std::to_string(api.dateScratch.systemTime.milliseconds));
  ASSERT_EQ(api.dateScratch.broken, &api.dateScratch.local);
  EXPECT_EQ(api.dateScratch.local.tm_min, local.tm_min);
  EXPECT_LT(api.dateScratch.systemTime.milliseconds, 1000);
}

TEST(CsvLogs, NumbersAreWrittenAsPrintfFixed) {
  // Every value against the C library's own "%f"; the spelled-out ones are the
  // forms the logs are read by.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {0.0,    -0.0,    1.0,      1.5625,  -5.0,     1234.0,        4.9375, 4.9999995e-7,
                           5.0e-7, 5.1e-7,  2.5e-6,   -1e-9,   1e-300,   0.1,           1e15,   123456789.1234565,
                           1e300,  DBL_MAX, -DBL_MAX, DBL_MIN, 4.9e-324, -2147483648.0, inf,    -inf,
                           nan,    -nan};
  for (double v : values) {
    char expected[400];
    const int n = std::snprintf(expected, sizeof expected, "%f", v);
    char out[kMaxCsvNumber];
    const std::size_t len = FormatCsvNumber(out, v);
    EXPECT_EQ(std::string(out, len), std::string(expected, static_cast<std::size_t>(n))) << v;
  }
  const std::pair<double, const char*> spelled[] = {{0.0, "0.000000"},       {1.5625, "1.562500"}, {-5.0, "-5.000000"},
                                                    {1234.0, "1234.000000"}, {4.9e-7, "0.000000"}, {1.0, "1.000000"}};
  for (auto [v, text] : spelled) {
    char out[kMaxCsvNumber];
    EXPECT_EQ(std::string(out, FormatCsvNumber(out, v)), text);
  }
}

TEST(CsvLogs, FileHoldsTheLinesAndReplacesAnEarlierOne) {
  TempDir dir;
  const auto path = dir.Path() / "log.csv";
  WriteTextFile(path, "an earlier log that is longer than the new one\r\n");
  const double x[] = {0.0, 1.5625, -5.0};
  const double y[] = {1.0, 1234.0, 4e-7};
  ASSERT_TRUE(WriteCsvFile(path.string(), x, y, 3));
  EXPECT_EQ(ReadFile(path), "0.000000,1.000000\r\n1.562500,1234.000000\r\n-5.000000,0.000000\r\n");
  ASSERT_TRUE(WriteCsvFile(path.string(), y, nullptr, 2));  // one column
  EXPECT_EQ(ReadFile(path), "1.000000\r\n1234.000000\r\n");
  ASSERT_TRUE(WriteCsvFile(path.string(), x, y, 0));  // no lines: an empty file
  EXPECT_EQ(ReadFile(path), "");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"log.csv"});  // no temporary file left
}

TEST(CsvLogs, LongLogCrossesTheWriteBuffer) {
  // 32,768 lines of the widest numbers go out in many writes; every line arrives.
  TempDir dir;
  const auto path = dir.Path() / "eye.csv";
  std::vector<double> ber(32768);
  std::string expected;
  for (std::size_t i = 0; i < ber.size(); ++i) {
    ber[i] = (i % 7 == 0) ? -DBL_MAX : static_cast<double>(i) / 3.0;
    char line[400];
    expected.append(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, "%f\r\n", ber[i])));
  }
  ASSERT_TRUE(WriteCsvFile(path.string(), ber.data(), nullptr, static_cast<int>(ber.size())));
  EXPECT_EQ(ReadFile(path), expected);
}

TEST(CsvLogs, FailedWriteLeavesNothingAndKeepsAnExistingFile) {
  const double x[] = {1.0, 2.0};
  TempDir dir;
  WriteTextFile(dir.Path() / "plain", "not a directory");

  // The directory does not exist; or the path runs through a regular file.
  EXPECT_FALSE(WriteCsvFile((dir.Path() / "missing" / "log.csv").string(), x, x, 2));
  EXPECT_FALSE(WriteCsvFile((dir.Path() / "plain" / "log.csv").string(), x, x, 2));

  // The temporary name cannot be created (the final name, 250 characters,
  // leaves no room for it in a 255-character file name): the file of that
  // name survives.
  const std::string kept = std::string(246, 'k') + ".csv";
  WriteTextFile(dir.Path() / kept, "earlier rows\r\n");
  EXPECT_FALSE(WriteCsvFile((dir.Path() / kept).string(), x, x, 2));
  EXPECT_EQ(ReadFile(dir.Path() / kept), "earlier rows\r\n");

  // The name is held by a directory that cannot be replaced: the written
  // temporary file is removed again.
  std::filesystem::create_directories(dir.Path() / "busy.csv" / "inside");
  EXPECT_FALSE(WriteCsvFile((dir.Path() / "busy.csv").string(), x, x, 2));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "busy.csv" / "inside"));

  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"busy.csv", kept, "plain"}));
}

TEST(CsvLogs, WritersOfOneNameEachSucceedAndTheNameHoldsOneWholeLog) {
  // Eight writers (as eight instrument objects logging the same lane in the
  // same millisecond would be) race on one name, round after round, while a
  // reader keeps opening it. Each writer's log has its own value and length
  // and spans several buffer writes, so a shared or mixed file shows.
  constexpr int kWriters = 8;
  constexpr int kRounds = 20;
  TempDir dir;
  const auto path = dir.Path() / "log.csv";
  const std::string earlier = "an earlier log\r\n";
  WriteTextFile(path, earlier);

  std::vector<std::vector<double>> values(kWriters);
  std::vector<std::string> logs(kWriters);
  for (int w = 0; w < kWriters; ++w) {
    values[w].assign(static_cast<std::size_t>(1500 + 250 * w), w + 0.25);
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%f,%f\r\n", w + 0.25, w + 0.25);
    for (std::size_t i = 0; i < values[w].size(); ++i) logs[w].append(line, static_cast<std::size_t>(n));
  }
  const auto isOneLog = [&](const std::string& text) {
    return std::find(logs.begin(), logs.end(), text) != logs.end();
  };
  const auto isWhole = [&](const std::string& text) { return text == earlier || isOneLog(text); };

  std::atomic<bool> writing{true};
  std::atomic<int> reads{0}, partial{0};
  std::thread reader([&] {
    for (int i = 0; i < 200000 && writing.load(); ++i) {
      reads.fetch_add(1);
      if (!isWhole(ReadFile(path))) partial.fetch_add(1);
    }
  });
  for (int round = 0; round < kRounds; ++round) {
    std::latch start(kWriters);
    std::array<bool, kWriters> ok{};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
      writers.emplace_back([&, w] {
        start.arrive_and_wait();
        ok[w] = WriteCsvFile(path.string(), values[w].data(), values[w].data(), static_cast<int>(values[w].size()));
      });
    }
    for (std::thread& t : writers) t.join();
    for (int w = 0; w < kWriters; ++w) EXPECT_TRUE(ok[w]) << "round " << round << ", writer " << w;
    const std::string text = ReadFile(path);
    EXPECT_TRUE(isOneLog(text)) << "round " << round << ": " << text.size() << " bytes";
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"log.csv"}) << "round " << round;
  }
  writing.store(false);
  reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(partial.load(), 0) << "of " << reads.load() << " reads";
}

// An instrument object whose log names are known before it writes them.
struct FixedStampApi final : Tessok_API {
  std::string MakeDateTimeStamp() override { return "Date-2024-03-05-Time-09-07-02-15"; }
};

TEST(CsvLogs, PlantedLinksAreNeverWrittenThrough) {
  // Symbolic links to a victim file wait at the final name, at the name with
  // ".tmp" appended and at the first temporary names the writer will try.
  // ctest runs this test in a process of its own, whose writers start at
  // sequence 0; each log skips its planted names and takes the next.
  constexpr std::uint32_t kPlanted = 4;
  TempDir dir;
  const auto victim = dir.Path() / "victim";
  const std::string victimText = "the victim's own text\r\n";
  WriteTextFile(victim, victimText);
  const auto api = std::make_unique<FixedStampApi>();  // zero-filled, then constructed
  api->curveCsvDir = dir.Prefix();
  api->eyeCsvDir = dir.Prefix();
  api->saveCurveCsv = 1;
  api->saveEyeCsv = 1;

  const double x[] = {0.0, 1.5625, 3.125};
  const double ber[] = {0.5, 1e-3, 0.25};
  const struct {
    const CsvLogFormat* format;
    const double* second;
    const char* text;
  } kinds[] = {
      {&kBathtubCsvFile, ber, "0.000000,0.500000\r\n1.562500,0.001000\r\n3.125000,0.250000\r\n"},
      {&kVerticalBathtubCsvFile, ber, "0.000000,0.500000\r\n1.562500,0.001000\r\n3.125000,0.250000\r\n"},
      {&kHistogramCsvFile, ber, "0.000000,0.500000\r\n1.562500,0.001000\r\n3.125000,0.250000\r\n"},
      {&kEyeCsvFile, nullptr, "0.000000\r\n1.562500\r\n3.125000\r\n"},
  };
  std::uint32_t sequence = 0;
  std::vector<std::string> expected{"victim"};
  for (const auto& kind : kinds) {
    const std::string name = CsvLogName(dir.Prefix(), *kind.format, 5, api->MakeDateTimeStamp());
    std::vector<std::string> links{name, name + ".tmp"};
    for (std::uint32_t i = 0; i < kPlanted; ++i) links.push_back(TemporaryCsvName(name, sequence++));
    ++sequence;  // the name the writer takes
    for (const std::string& link : links) {
      std::filesystem::create_symlink(victim, link);
      expected.push_back(std::filesystem::path(link).filename().string());
    }
    std::sort(expected.begin(), expected.end());

    EXPECT_EQ(WriteMeasurementLog(*api, *kind.format, 5, x, kind.second, 3), LogOutcome::Written) << name;
    EXPECT_EQ(ReadFile(victim), victimText) << name;
    // The link at the final name was replaced by the log itself; the others stand.
    EXPECT_FALSE(std::filesystem::is_symlink(name)) << name;
    EXPECT_EQ(ReadFile(name), kind.text) << name;
    for (std::size_t i = 1; i < links.size(); ++i) EXPECT_TRUE(std::filesystem::is_symlink(links[i])) << links[i];
    EXPECT_EQ(dir.Entries(), expected) << name;
  }
}

TEST(CsvLogs, PlantedHardLinksAndStaleFilesAreNeverWrittenThrough) {
  // A hard link to a victim file and a stale regular file, both longer than
  // the log, wait at the first two temporary names a log will try, in either
  // order. Neither is a link the writer could refuse: only creating the file
  // afresh keeps them out. ctest runs this test in a process of its own,
  // whose writers start at sequence 0; each log takes the name after its
  // planted ones.
  TempDir dir;
  const auto victim = dir.Path() / "victim";
  const std::string victimText = "the victim's own text, longer than any log here\r\n";
  const std::string staleText = "a stale temporary file, longer than any log here\r\n";
  WriteTextFile(victim, victimText);
  const double x[] = {0.0, 1.5625};
  const double y[] = {0.5, 1e-3};
  const std::string logText = "0.000000,0.500000\r\n1.562500,0.001000\r\n";

  const struct {
    const char* log;
    bool linkFirst;
  } cases[] = {{"link-first.csv", true}, {"stale-first.csv", false}};
  std::uint32_t sequence = 0;
  std::uintmax_t victimNames = 1;
  std::vector<std::string> expected{"victim"};
  for (const auto& c : cases) {
    const std::string path = (dir.Path() / c.log).string();
    const std::string first = TemporaryCsvName(path, sequence++);
    const std::string second = TemporaryCsvName(path, sequence++);
    ++sequence;  // the name the writer takes
    const std::string& link = c.linkFirst ? first : second;
    const std::string& stale = c.linkFirst ? second : first;
    std::filesystem::create_hard_link(victim, link);
    ++victimNames;
    WriteTextFile(stale, staleText);
    for (const std::string& name : {path, link, stale}) {
      expected.push_back(std::filesystem::path(name).filename().string());
    }
    std::sort(expected.begin(), expected.end());

    ASSERT_TRUE(WriteCsvFile(path, x, y, 2)) << c.log;
    EXPECT_EQ(ReadFile(path), logText) << c.log;
    EXPECT_EQ(ReadFile(victim), victimText) << c.log;
    EXPECT_EQ(ReadFile(link), victimText) << c.log;
    EXPECT_EQ(std::filesystem::hard_link_count(victim), victimNames) << c.log;
    EXPECT_EQ(ReadFile(stale), staleText) << c.log;
    EXPECT_EQ(std::filesystem::hard_link_count(path), 1u) << c.log;
    EXPECT_EQ(dir.Entries(), expected) << c.log;
  }
}

TEST(CsvLogs, LogPermissionsAreANewFileUnderTheFileCreationMask) {
  // A stale file at the name with ".tmp" appended, of a mode of its own, is
  // neither reused nor touched.
  const struct {
    ::mode_t mask;
    std::filesystem::perms mode;
  } cases[] = {{022, std::filesystem::perms(0644)},
               {077, std::filesystem::perms(0600)},
               {002, std::filesystem::perms(0664)},
               {0, std::filesystem::perms(0666)}};
  const double x[] = {1.0};
  const ::mode_t previous = ::umask(022);
  for (const auto& c : cases) {
    TempDir dir;
    const auto path = dir.Path() / "log.csv";
    WriteTextFile(dir.Path() / "log.csv.tmp", "stale\r\n");
    std::filesystem::permissions(dir.Path() / "log.csv.tmp", std::filesystem::perms(0640));
    ::umask(c.mask);
    EXPECT_TRUE(WriteCsvFile(path.string(), x, nullptr, 1)) << c.mask;
    ::umask(022);
    EXPECT_EQ(std::filesystem::status(path).permissions(), c.mode) << std::oct << c.mask;
    EXPECT_EQ(ReadFile(path), "1.000000\r\n");
    EXPECT_EQ(ReadFile(dir.Path() / "log.csv.tmp"), "stale\r\n");
    EXPECT_EQ(std::filesystem::status(dir.Path() / "log.csv.tmp").permissions(), std::filesystem::perms(0640));
  }
  ::umask(previous);
}

TEST(CsvLogs, NameGluesDirectoryPrefixNumberAndStamp) {
  const std::string stamp = "Date-2024-03-05-Time-09-07-02-15";
  EXPECT_EQ(CsvLogName("", kBathtubCsvFile, 0, stamp), "BathTub_0_Date-2024-03-05-Time-09-07-02-15.csv");
  EXPECT_EQ(CsvLogName("logs", kVerticalBathtubCsvFile, 12, stamp), "logsVerticalBathTub_12_" + stamp + ".csv");
  EXPECT_EQ(CsvLogName("d/", kHistogramCsvFile, -3, stamp), "d/Histogram_-3_" + stamp + ".csv");
  EXPECT_EQ(CsvLogName("e/", kEyeCsvFile, 7, stamp), "e/eyeChannel_7_" + stamp + ".csv");
}

TEST(CsvLogs, SwitchAndDirectoryOfEachLog) {
  TempDir curves, eyes;
  Tessok_API& api = g_apiInstances[0];
  const double v[] = {0.5, 0.25};
  api.curveCsvDir = curves.Prefix();
  api.eyeCsvDir = eyes.Prefix();

  // Switches off: nothing is touched and no stamp is made.
  api.saveCurveCsv = 0;
  api.saveEyeCsv = 0;
  std::snprintf(api.dateScratch.text, sizeof api.dateScratch.text, "untouched");
  EXPECT_EQ(WriteMeasurementLog(api, kBathtubCsvFile, 1, v, v, 2), LogOutcome::Off);
  EXPECT_EQ(WriteMeasurementLog(api, kEyeCsvFile, 1, v, nullptr, 2), LogOutcome::Off);
  EXPECT_STREQ(api.dateScratch.text, "untouched");
  EXPECT_TRUE(curves.Entries().empty());

  // Each switch governs its own logs only.
  api.saveCurveCsv = 1;
  EXPECT_EQ(WriteMeasurementLog(api, kEyeCsvFile, 1, v, nullptr, 2), LogOutcome::Off);
  EXPECT_EQ(WriteMeasurementLog(api, kVerticalBathtubCsvFile, 4, v, v, 2), LogOutcome::Written);
  api.saveCurveCsv = 0;
  api.saveEyeCsv = 1;
  EXPECT_EQ(WriteMeasurementLog(api, kEyeCsvFile, 9, v, nullptr, 2), LogOutcome::Written);

  const auto curveFiles = curves.Entries();
  ASSERT_EQ(curveFiles.size(), 1u);
  EXPECT_TRUE(tessok::test::IsLogName(curveFiles[0], "VerticalBathTub_4_")) << curveFiles[0];
  EXPECT_EQ(ReadFile(curves.Path() / curveFiles[0]), "0.500000,0.500000\r\n0.250000,0.250000\r\n");
  const auto eyeFiles = eyes.Entries();
  ASSERT_EQ(eyeFiles.size(), 1u);
  // The stamp in the name is the one just made.
  EXPECT_TRUE(std::regex_match(eyeFiles[0],
                               std::regex("eyeChannel_9_" + std::string(api.dateScratch.text) + R"(-\d{1,3}\.csv)")))
      << eyeFiles[0];
  EXPECT_EQ(ReadFile(eyes.Path() / eyeFiles[0]), "0.500000\r\n0.250000\r\n");
}

TEST(CsvLogs, EmptyDirectoryWritesIntoTheCurrentOne) {
  TempDir dir;
  ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
  Tessok_API& api = g_apiInstances[0];
  api.curveCsvDir.clear();
  api.saveCurveCsv = 1;
  const double v[] = {3.0};
  EXPECT_EQ(WriteMeasurementLog(api, kBathtubCsvFile, 0, v, v, 1), LogOutcome::Written);
  const auto files = dir.Entries();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(tessok::test::IsLogName(files[0], "BathTub_0_")) << files[0];
  api.curveCsvDir = "missing-directory/";
  EXPECT_EQ(WriteMeasurementLog(api, kBathtubCsvFile, 0, v, v, 1), LogOutcome::Failed);
}
