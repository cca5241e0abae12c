// Tessok_API: the instrument object.
//
// One object holds everything the library knows about one instrument: its
// link, calibration, per-channel settings and measurement tables. The library
// owns 32 of them in g_apiInstances; the exported functions select one by its
// index. Every data member is public so that C++ applications (and the tests)
// can read and write them. Members the constructor does not set start with all
// bits clear: the table lives in zero-initialised static storage and
// CreateApiInstance zero-fills its storage before construction.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "calibration/CalibrationStore.h"
#include "clock/ClockSource_Tarquel.h"
#include "clock/RateRangeTable.h"
#include "clock/SI5346_API.h"
#include "link/HwLayer.h"
#include "measure/DualDirac.h"
#include "measure/EyeContour.h"
#include "measure/EyeMask.h"
#include "platform/Time.h"

// The data words that operations hand by address to the register access. They
// keep their contents from one operation to the next, and some operations rely
// on that (a write of "whatever word 6 holds").
struct RegScratch {
  std::uint16_t word[8];
  std::uint32_t dword;
  std::uint64_t qword;
};

// Work area of the date stamp in the names of measurement logs.
struct DateScratch {
  std::time_t time;
  std::tm* broken;
  char text[32];
  tessok::platform::SystemTime systemTime;
};

class Tessok_API {
 public:
  Tessok_API();
  ~Tessok_API();  // closes nothing: applications disconnect before unloading
  Tessok_API(const Tessok_API&) = delete;
  Tessok_API& operator=(const Tessok_API&) = delete;

  // ---- Virtual operations, in the order of the operation table ----

  // The library revision, 7324.0; needs no connection.
  virtual double GetAPIRev();

  virtual std::uint8_t ReturnZeroStub();

  virtual bool ReturnTrueStub();

  // ---- Data members, in declaration order ----

  HwLayer hwLayer;
  SI5346_API si5346;
  std::string ipAddress;
  CalibrationStore calibration;
  EyeMask eyeMask;
  EyeContour eyeContour;
  ClockSource_Tarquel clockSource;
  std::uint32_t boardModel;
  std::int32_t channelCount;
  std::uint32_t boardSubType;
  std::uint32_t lastResult;
  RegScratch regScratch;
  DualDirac horizontalFits[16];
  DualDirac verticalFits[16];
  std::uint32_t channelMap[16];
  std::uint8_t eepromBytes[8];
  std::uint8_t eepromPage[128];
  std::uint8_t eepromPage2[128];
  std::string clockFileDir;
  std::string curveCsvDir;
  std::string eyeCsvDir;
  std::uint8_t saveEyeCsv;
  std::uint8_t saveCurveCsv;
  std::uint8_t horizontalFitValid[16];
  std::uint8_t verticalFitValid[16];
  double lineRate[16];
  std::uint32_t lineRateMode[16];
  std::uint32_t highRateRange;
  std::uint32_t pam4Mode[16];
  std::uint32_t levelCode[16];
  std::uint32_t prbsSettings[5][16];
  double eyeCentre[16];
  std::uint32_t gateTime;
  std::uint64_t lastErrorCount;
  std::uint32_t lastElapsed;
  // Large tables: never touched by the constructor, so that loading the library
  // does not make them resident.
  std::uint8_t captureArea[9175040];
  std::uint8_t tableLoaded[3][16];
  double rateScalePoly[9];
  double phaseStep[16];
  double bathtubBer[16][129];
  double bathtubX[16][129];
  double vBathtubBer[16][258];
  double vBathtubY[16][258];
  std::uint8_t eyeMapValid[16];
  double eyeMap[16][32768];
  double maskX[32768];
  double maskY[32768];
  std::uint32_t optionCodeA;
  std::uint32_t optionCodeB;
  std::uint32_t optionCodeC;
  std::uint32_t remapLane3;
  std::uint32_t option33Is12;
  std::uint32_t option38Set;
  std::uint32_t option57Low;
  std::uint32_t option57Bit2;
  std::uint32_t remapLane1;
  std::uint32_t option57Bit7;
  std::uint32_t option33;
  std::uint32_t option30;
  std::uint32_t option34;
  std::uint32_t option31;
  std::uint32_t rateModeFlag;
  std::uint8_t lastStatus;
  std::uint8_t gateTimeSet;
  RateRangeTable rateRanges;
  std::int32_t auxGlobalLevelMode;
  std::uint8_t auxGlobalLevelLoaded;
  DateScratch dateScratch;
};

// The table of instrument objects behind the exported functions.
inline constexpr int kApiInstanceCount = 32;
extern Tessok_API g_apiInstances[kApiInstanceCount];

// Heap factory: a zero-filled, constructed object (null when memory runs out).
Tessok_API* CreateApiInstance();
// Destroys and frees an object from CreateApiInstance; ignores null.
void DestroyApiInstance(Tessok_API* api);
