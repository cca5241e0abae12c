// Date stamp, names, line format and temporary-name writing of the measurement logs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <regex>
#include <string>

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

  // The temporary name cannot be created: the file of that name survives.
  WriteTextFile(dir.Path() / "kept.csv", "earlier rows\r\n");
  std::filesystem::create_directory(dir.Path() / "kept.csv.tmp");
  EXPECT_FALSE(WriteCsvFile((dir.Path() / "kept.csv").string(), x, x, 2));
  EXPECT_EQ(ReadFile(dir.Path() / "kept.csv"), "earlier rows\r\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "kept.csv.tmp"));

  // The name is held by a directory that cannot be replaced: the written
  // temporary file is removed again.
  std::filesystem::create_directories(dir.Path() / "busy.csv" / "inside");
  EXPECT_FALSE(WriteCsvFile((dir.Path() / "busy.csv").string(), x, x, 2));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "busy.csv" / "inside"));

  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"busy.csv", "kept.csv", "kept.csv.tmp", "plain"}));
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
