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
#include <vector>

#include "calibration/CalibrationStore.h"
#include "clock/ClockSource_Tarquel.h"
#include "clock/RateRangeTable.h"
#include "clock/SI5346_API.h"
#include "core/Models.h"
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

  // Opens the TCP link to port 6653 of a dotted IPv4 address and identifies the
  // instrument. 1 once the link is open (whatever later reads report), 0 when
  // it cannot be opened.
  virtual int Connect(std::string ip);
  virtual std::uint8_t Disconnect();
  // Model number from register 20 (kept in boardModel); 0 when the read failed.
  virtual int ReadBoardID();

  // Serial number from registers 21 (low) and 22 (high), as a signed 32-bit value.
  virtual int ReadBoardSN();
  // Long serial number (registers 21 to 24, checked by register 25) or the
  // sign-extended short one; always 1.
  virtual int ReadSerialNumber(std::uint64_t* serial, std::uint32_t* isLong);
  virtual int WriteBoardSN(std::uint32_t serial);
  // Register 9 divided by 10.
  virtual double ReadFirmwareRevision();

  // Sets the clock-file and CSV directories and the CSV switches; always 1.
  virtual int ConfigureApplication(std::string clockDir, std::string curveDir, std::string eyeDir, int saveCurves,
                                   int saveEye);
  // One register access (write non-zero writes *data; else *data receives the value).
  virtual std::uint8_t AccessBoardRegister(std::uint8_t write, std::uint16_t bank, std::uint16_t reg,
                                           std::uint16_t* data);

  // Reads a recorded per-lane setting (status item) of a channel.
  virtual std::uint32_t Monitor(std::uint32_t channel, std::uint8_t item, double* value);

  // Raw temperature register 16 of a bank; 0.0 when the read failed.
  virtual double TempRead(int bank);

  // Records the gate and writes it to registers 0x301/0x300 of banks 0 and 4.
  virtual std::uint8_t SetGateTime(std::uint32_t gate);

  virtual std::uint8_t ReturnZeroStub();

  // Fitted curves of the stored bathtub tables: 1024-entry arrays, the curve to
  // fit in, the fitted curve out.
  virtual std::uint8_t GetFittedBathtub(int ch, double* x, double* ber);
  virtual std::uint8_t GetFittedVerticalBathtub(int ch, double* y, double* ber);
  // Read-outs at a target BER: 1, or 0 with -1.0 stored when there is nothing
  // to measure. Horizontal results in ps, vertical ones in mV.
  virtual std::uint8_t GetTotalJitterAtBER(int ch, double ber, double* tj);

  // Resets the level tables to pass-through conversions; always 1.
  virtual int LoadDefaultCalibration();
  // Uploads three lookup tables of 12 words (banks 0 to 2).
  virtual int WriteLookupTables(const std::uint32_t* values);

  // Option reads of identification; each returns 1 when any of its reads succeeded.
  virtual std::uint8_t ReadOptionBits57(std::uint32_t* low, std::uint32_t* bit2, std::uint32_t* bit6,
                                        std::uint32_t* bit7);
  virtual std::uint8_t ReadOptionReg31Alias(std::uint32_t* out);
  virtual std::uint8_t ReadOptionFlags30And31(std::uint32_t* code);
  virtual std::uint8_t ReadOptionFlags31And32(std::uint32_t* code);
  virtual std::uint8_t ReadOptionFlags30To32(std::uint32_t* code);
  virtual std::uint8_t ReadOptionFlags31To38(std::uint32_t* code, std::uint32_t* f33, std::uint32_t* f33is12,
                                             std::uint32_t* f38);
  virtual std::uint8_t ReadOptionRegs33And30(std::uint32_t* r33, std::uint32_t* r30);
  virtual std::uint8_t ReadBoardSubType(std::uint32_t* out);

  // Chip-register window: address to 0x21F, data through 0x220, at the bank.
  virtual std::uint8_t WriteChipRegister(std::uint16_t bank, std::uint16_t addr, std::uint16_t value);
  virtual std::uint8_t ReadChipRegister(std::uint16_t bank, std::uint16_t addr, std::uint16_t* out);

  // Wrappers of the calibration store's conversions.
  virtual double ComputeLaneDelayConversion(int lane, std::uint32_t toCode, double x);
  virtual double ComputeValueFromCodeA(std::uint32_t lane, int code, double sel);
  virtual double ComputeCodeFromValueA(std::uint32_t lane, int value, double sel);
  virtual double ComputeValueFromCodeB(std::uint32_t lane, int code, double sel);
  virtual double ComputeCodeFromValueB(std::uint32_t lane, int value, double sel);

  // True when register 31 reads the board signature 0xCAFE.
  virtual bool CheckBoardSignature();

  virtual std::uint8_t GetEyeWidthAtBER(int ch, double ber, double* width);
  virtual std::uint8_t GetEyeHeightAtBER(int ch, double ber, double* height);

  // Records a per-lane setting: one double at the lane's status item, 8 bytes
  // with 10 ms after each. Lanes 0 to 15 and items 0 to 95 only.
  virtual std::uint8_t WriteStatusToEEProm(int lane, std::int16_t item, double value);
  // Writes a double at an EEPROM address, byte by byte (no waits).
  virtual std::uint8_t WriteEEPROMAddress(std::uint32_t address, double value);
  // The first two bytes of the 128-byte page at an address.
  virtual std::uint32_t ReadEEPROMAddress(std::uint32_t address, std::uint16_t* value);
  // Saves one kind of a channel's level calibration in the EEPROM.
  virtual std::uint32_t SaveCalibrationValues(int channel, int kind, const double* values);
  // Hands the level calibration to the application, lane after lane.
  virtual int ReadCalibrationValues(double* out);
  virtual std::uint8_t ReadStatusItem(int lane, std::uint16_t item, double* value);
  // Loads the level calibration tables from the EEPROM (page reads); always 1.
  virtual int LoadCalibrationValue();

  // The free-form parameter block: ten bytes, a 16-bit word, four bytes.
  virtual bool SendExtendedCommand(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3, std::uint8_t a4,
                                   std::uint8_t a5, std::uint8_t a6, std::uint8_t a7, std::uint8_t a8, std::uint8_t a9,
                                   std::uint16_t word, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                   std::uint8_t b3);

  virtual std::uint8_t ReadOptionReg34(std::uint32_t* out);
  virtual std::uint8_t ReadOptionReg31(std::uint32_t* out);

  // The instrument's own IPv4 settings. The setters accept only four decimal
  // fields 0 to 255 separated by dots and otherwise send nothing and return 0;
  // the readers write dotted text into 16 bytes.
  virtual std::uint8_t ChangeIPConfiguration(const char* ip);
  virtual std::uint8_t SetEthIPGateway(const char* ip);
  virtual std::uint8_t SetEthIPMask(const char* mask);
  virtual std::uint8_t readIPConfiguration(char* out);
  virtual std::uint8_t readIPMask(char* out);
  virtual std::uint8_t readGateway(char* out);
  // Cuts text at every delimiter and converts each field like atoi.
  virtual std::vector<int> SplitToIntegers(std::string text, char delimiter);

  // Optimal-settings records: five doubles at 0x9000 + 40 (4a + b), records
  // ending at or below 0xFFFF only.
  virtual bool SaveOptimalSettings(int a, int b, const double* values);
  virtual bool ReadOptimalSettings(std::uint32_t a, std::uint32_t b, double* values);
  // One double read byte by byte with 10 ms after each byte.
  virtual std::uint8_t ReadEEPROMQword(std::uint16_t address, double* value);
  // Raw 16-bit EEPROM access through registers 10 and 11 (whole words).
  virtual std::uint8_t WriteValueToEEPROM(std::uint16_t address, std::uint16_t value);
  virtual std::uint8_t ReadValueFromEEPROM(std::uint16_t address, std::uint16_t* value);

  // Device-register window 0x200/0x201; device 8 sits at a model-dependent bank offset.
  virtual std::uint8_t WriteDeviceRegister(std::uint16_t bank, std::uint16_t device, std::uint16_t reg,
                                           std::uint16_t value);
  virtual std::uint16_t ReadDeviceRegister(std::uint16_t bank, std::uint16_t device, std::uint16_t reg);

  // Channel count and channel map of a model; always 1.
  virtual int SetChannelMap(std::uint32_t model);

  // Clock-file loaders (clock/ClockFiles.h): each names its file from the
  // directory and the rate (or rate pair), sends every pair as register 0x106
  // = address then 0x107 = value at its bank (0 unless it takes one: the low
  // 16 bits), waits 20 ms and returns 1; 0 with nothing sent when the file
  // cannot be opened. Link failures while sending are not reported.
  // Rate-pair file, first line skipped, 378 pairs.
  virtual int LoadClockFilePair378(std::string dir, double rate1, double rate2);
  // 500 pairs from the first line on.
  virtual int LoadClockFile500(std::string dir, double rate);
  // A mode line (register 0x103 at bank 1 or 3; on a 7775 a pulse of bit 1
  // of bank-0 register 2), then 379 pairs (381 on a 7775).
  virtual int LoadClockFileWithMode(std::string dir, double rate);
  // First line skipped, then pairs until a line without a second field at
  // "," or CR, at most 500.
  virtual int LoadClockFileCsv2(std::string dir, double rate);
  // Plans the clock chip for a rate (reference rate / 16, 32, 64 or 100 MHz
  // by band, into *refMHz; the four pointers are the planner's frequencies),
  // saves the plan as the rate's clock file ("BertOnly", then one
  // "address,value" line per pair), then sends it and waits 20 ms. 0, with
  // nothing written or sent, when the directory neither exists nor can be
  // created, for 32 Gb/s and above or NaN, and when the planner finds no plan;
  // a file that cannot be written still sends the pairs and returns 1.
  virtual int GenerateClockFile(std::string dir, double rate, double* f1, double* refMHz, double* f3, double* f4);
  // The same as LoadClockFileCsv2.
  virtual int LoadClockFileCsv(std::string dir, double rate);
  // 45 pairs from the first line on.
  virtual int LoadClockFile45(std::string dir, double rate);
  // Rate-pair files from the first line on at a bank: 45 and 378 pairs.
  virtual int LoadClockFilePair45Bank(std::string dir, std::uint32_t bank, double rate1, double rate2);
  virtual int LoadClockFilePair378Bank(std::string dir, std::uint32_t bank, double rate1, double rate2);

  // The x at which the straight line through (x1, y1) and (x2, y2) reaches target.
  virtual double InterpolateCrossing(double x1, double y1, double x2, double y2, double target);

  virtual bool ReturnTrueStub();

  // ---- Non-virtual operations ----

  // Works out `board` from the model's row and what identification read;
  // SetChannelMap calls it at every connection.
  void RefreshBoardTraits();

  std::uint8_t GetVerticalClosureAtBER(int ch, double ber, double* closure);
  // Whether the channel's stored curve (first n entries) has the shape of a bathtub.
  bool IsCurveWellFormed(bool vertical, int ch, int n);
  // Drops flank points whose BER moves the wrong way and packs the curve again.
  void CleanBathtubCurve(bool vertical, int ch, int n);

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
  // The connected board's per-connection facts (core/Models.h).
  tessok::BoardTraits board;
};

// The table of instrument objects behind the exported functions.
inline constexpr int kApiInstanceCount = 32;
extern Tessok_API g_apiInstances[kApiInstanceCount];

// Heap factory: a zero-filled, constructed object (null when memory runs out).
Tessok_API* CreateApiInstance();
// Destroys and frees an object from CreateApiInstance; ignores null.
void DestroyApiInstance(Tessok_API* api);
