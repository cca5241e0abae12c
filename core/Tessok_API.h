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
  std::tm* broken;  // points at local once a stamp has been made
  char text[32];
  tessok::platform::SystemTime systemTime;
  std::tm local;  // the broken-down local time of the last stamp
};

class Tessok_API {
 public:
  // ---- Construction (core/Tessok_API.cpp) ----
  Tessok_API();
  ~Tessok_API();  // closes nothing: applications disconnect before unloading
  Tessok_API(const Tessok_API&) = delete;
  Tessok_API& operator=(const Tessok_API&) = delete;

  // ==== Virtual operations, in the order of the operation table ====
  // The order is the table's and stays as it is, so the operations of one
  // subsystem are spread over the class. Each group's banner names the file
  // that defines its members, or the file of each member.

  // ---- Connection and identity ----
  // core/Connection.cpp: Connect, Disconnect, ReadBoardID, ConfigureApplication;
  // core/Identity.cpp: ReadBoardSN, ReadSerialNumber, WriteBoardSN,
  // ReadFirmwareRevision, AccessBoardRegister; api/Instances.cpp: GetAPIRev.

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

  // ---- Restoring the recorded settings (calibration/RestoreSettings.cpp) ----
  // Applies the settings recorded in the status table again: the line rate and
  // clock output of channel 0, then per channel (0-3 on the four-channel
  // boards that keep them, else channel 0) the pattern, user pattern, output
  // level, CTLE and the emphasis or auxiliary settings, each item read with
  // Monitor and handed to its setter through the virtual table. Every step is
  // tried; a step whose items cannot be read or are not usable numbers (an
  // erased table) is skipped. 1 when every read, item and setter succeeded.
  virtual int RestoreSettings();

  // ---- Clock outputs (clock/ClockOutputs.cpp) ----
  // Each records the clock-output setting as status item 2 of lane 0 (in its
  // own layout, noted per operation) before it writes, unless said otherwise;
  // the select register is 0x103 at bank 0 unless a bank is named.
  //
  // Item 2 of lanes 0 to 3 = the signed 16-bit channel x 4 + divider (what
  // restoring the settings calls this with again); then divider 1 or more:
  // 0x30D = 8 (divider 1) or 16 at the channel's bank (+ 4 on an eight-channel
  // 7653); divider 0 or less: 0x103 = 0 at bank 0 or 1 by model. Always 1.
  virtual int ClockOutChannelDivider(std::uint16_t channel, int divider);
  // Item 2 = v; 0x103 = 1 (pattern 0) or 2, then patterns 1 to 4 load a
  // 2-, 4-, 8- or 16-bit clock pattern on channel 2. lastResult = the 0x103
  // write's result, then the pattern load's; returned.
  virtual std::uint32_t ClockOutPattern(std::uint16_t v, int pattern);
  // Source 0 to 3: item 2 = source, 0x103 = 2 x source + 1; the write's
  // result. 0 with nothing recorded or sent for other sources.
  virtual std::uint8_t ClockOutSource(int source);
  // As ClockOutSource for pattern 0; any other pattern writes 0x103 = 2 x
  // source and hands the pattern to ClockOutByPattern on channel = source,
  // then 1 (0 when ClockOutByPattern refuses).
  virtual std::uint8_t ClockOutSourcePattern(int source, int pattern);
  // Item 2 = (b & 7) << 5 | (a & 7) << 2 | (mode & 3); 0x103 = mode; mode 2
  // adds 0x109 = a (bank 0) and 0x10A = b (bank 2), mode 3 the select 2 and
  // sub-register 45 = 0x8000 at bank 4 (option code C 1) or 0. Always 1.
  virtual int ClockOutSelect(std::uint32_t mode, std::uint16_t a, std::uint16_t b);
  // 0x103 = value; records nothing.
  virtual void WriteClockOutControl(std::uint16_t value);
  // Item 2 = (d & 7) << 5 | (c & 7) << 2 | (a & 3); 0x109 = 0 at bank c,
  // 0x10A = d at bank b, then for a 0 or 1 the select 2 at bank 0 or 4 (its
  // result); 1 for other a.
  virtual std::uint8_t ClockOutRoute(std::uint32_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);
  // Item 2 = (divider & 7) << 5 | (source & 3); 0x103 = source, then the
  // divider to 0x102 (source 3) or 0x104. lastStatus = 1 when both writes
  // succeeded, else 0; returned.
  virtual std::uint8_t ClockOut7668B(std::uint32_t source, std::uint32_t divider);
  // 0x103 = v + 4; records nothing.
  virtual void ClockOutOffsetSource(std::uint16_t v);
  // Item 2 = (c & 7) << 5 | (b & 7) << 2 | (a & 3); 0x104 = c at bank b; on
  // the 7698 with a 0 to 3 also 0x103 = 4, 7, 0, 2 at bank a (its result);
  // 1 otherwise.
  virtual std::uint8_t ClockOutDivider(std::uint32_t a, std::uint16_t b, std::uint16_t c);
  // Item 2 = (a & 1) << 5 | (b & 3) << 3 | (c & 7); 0x100 = 0 at bank a, then
  // 0x103 = c at bank b; that write's result.
  virtual std::uint8_t ClockOutBankSelect(std::uint16_t a, std::uint16_t b, std::uint16_t c);
  // Initial clock routing: sub-register 45 = 0x8001 on the 7775; elsewhere
  // 0x103 = 1 and sub-register 60 = 18. Records nothing; always 1.
  virtual int InitClockRouting();

  // ---- Line rate ----
  // clock/LineRate.cpp: LineRateConfiguration, LineRateConfigurationPreset;
  // clock/LineRateVariants.cpp: LineRateConfigurationSynth,
  // LineRateConfigurationSynthNominal, SetDefaultLineRate,
  // LineRateConfigurationOptions, LineRateConfigurationPerBank,
  // LineRateConfigurationPam4, LineRateConfigurationPam4B,
  // LineRateConfigurationDual, LineRateConfigurationBasic; clock/LineRateDsp.cpp:
  // LineRateConfigurationDsp4Ch, LineRateConfigurationPair,
  // LineRateConfigurationDspPair; clock/LineRatePlan.cpp: ConfigureLineRate;
  // clock/LaneRate.cpp: ReadRateDivider, WriteLaneRate, FindRateEntry.

  // Rate code of a lane's signal processor: on the boards that store them, the
  // per-rate value for 10.3125 or 25.78125 Gb/s (selector = bank); otherwise
  // the rate in Mb/s to 0x228, then the read-back of 0x22B (lastResult tells
  // whether the read succeeded).
  virtual std::uint32_t ReadRateDivider(std::uint32_t bank, double rate);
  // One line rate in Gb/s for every channel: 0x100 = 0 at bank = mode and
  // 0x104 = 0, the clock file (LoadClockFileWithMode on 7775, 7780 and 7781,
  // LoadClockFile45 on the others; 0 at once when it cannot be opened), the
  // rate range 0x105, the rate code 0x205 (the rate in Mb/s on 7775, 7780 and
  // 7781, at banks 0 and 1 on 7780; else 1), then for lanes 0 to 7 items 1 and
  // 0 and the integer lane rate, the phase step, the receiver equalisation
  // stored in items 40 (below 15 Gb/s) and 41 (from 15 Gb/s) where it lies in
  // 0 to 15, the mode and the threshold step (1.5 mV up to 15 Gb/s, else 1.73).
  // The equalisation records of lanes 0 to 7 are all read, but only the lanes
  // below channelCount are set (the others have no bank of their own).
  // A 7733 with option 30 in mode 2 takes 0x104 = 1 and no clock file.
  // Returns the last rate-register write's result, left in lastResult.
  // A rate that is not a finite number: 0, with nothing sent, recorded or changed.
  virtual std::uint32_t LineRateConfiguration(double rate, std::uint32_t mode);
  // The rate (Gb/s) for every channel; the Si5346 plan for a reference of
  // F = round((rate > 17.5 ? rate / 82.5 : rate / 33.0) x 10^9 + offsetHz)
  // / 10^6 MHz from 156.25 MHz, its chip registers to 0x106/0x107; then
  // 0x105 = 64 x (lineRate[0] >= 20) + 5 (highRateRange), 0x205 = 1, lane 0
  // recorded (item 1 its rate, item 0 = 1), phaseStep and lineRateMode (1) of
  // every channel. lastResult (the 0x205 write's). 0, with only lineRate set,
  // when the planner has no plan. The nominal form has no offset.
  // A rate that is not a finite number: 0, with nothing sent, recorded or changed.
  virtual std::uint32_t LineRateConfigurationSynth(double rate, std::int64_t offsetHz);
  virtual std::uint32_t LineRateConfigurationSynthNominal(double rate);
  // Preset rates. On a 7653 of sub-type 1: the 45-pair clock file, 0x105, and
  // for the rates 8.5, 10.3125, 12.16512, 14.025, 14.0625, 24.33024,
  // 25.78125, 27.9524, 28.03 and 28.05 (else 0) 0x205 = 1 and lanes 0 to 7 as
  // LineRateConfiguration does. On other boards no clock file: 0x205 = 1 with
  // the rate's preset number (0 when not a preset) in its bank field, lanes 0
  // to 3. Returns the last rate-register write's result, left in lastResult.
  // A rate that is not a finite number: 0, with nothing sent, recorded or changed.
  virtual std::uint32_t LineRateConfigurationPreset(double rate, std::uint32_t mode);
  // Integer lane rate: trunc(rate) to 0x207 (bits 0-7) and 0x208 (bits 8-15).
  virtual void WriteLaneRate(std::uint16_t bank, double rate);
  // Lanes 0 to 9 at 10.3125 Gb/s (lineRate, phaseStep), highRateRange 0,
  // 0x105 = 0 and 0x205 = 1; records nothing. lastResult (the 0x205 write's).
  virtual std::uint32_t SetDefaultLineRate();
  // Code of the first rate-range row with low <= rate < high, its option bits
  // through optionBits; 0 with optionBits untouched when no row matches.
  virtual std::uint32_t FindRateEntry(double rate, std::uint32_t* optionBits);
  // Records first: every channel gets the rate, its items 1 (rate), 0 (mode),
  // 32, 33, 34, 35 (pam4) and 45 and its integer lane rate, and pam4Mode; then
  // 0x100 = 1 and 0x103 = 2 at bank = mode, 0x105 = pam4 & 1 | (rate >= 27)
  // << 1 | (rateFlag32 & 1) << 2 | (rateFlag33 & 1) << 3 | (rateFlag34 & 1)
  // << 5 | (rateFlag45 & 3) << 6 | the rate's option bits << 8, 0x205 = 1.
  // lastResult (the 0x205 write's). A rate that is not a finite number: 0,
  // with nothing sent, recorded or changed.
  virtual std::uint32_t LineRateConfigurationOptions(double rate, std::uint32_t mode, std::uint32_t pam4,
                                                     std::uint32_t rateFlag32, std::uint32_t rateFlag33,
                                                     std::uint32_t rateFlag34, std::uint32_t rateFlag45);
  // The rate for lanes 0 to 7 and LoadClockFileWithMode (0 at once when it
  // cannot be opened); 0x205 = the rate in Mb/s at the given bank; lanes 0 to
  // 7 recorded (item 1 their rate, item 0 = 0) with their integer lane rate
  // and phaseStep. lastResult (the 0x205 write's).
  // A rate that is not a finite number: 0, with nothing sent, recorded or changed.
  virtual std::uint32_t LineRateConfigurationPerBank(double rate, int bank);
  // One rate for lanes 0 to 3 of a board whose lanes each carry a signal
  // processor: 0x100 = 0 at bank = mode, lineRate and the 64-step phaseStep,
  // LoadClockFileCsv2 (0 at once when it cannot be opened), 100 ms, one
  // rate-code read-back at bank 0, then the code (the read-back when 1 to 165,
  // else band table A of the lane's rate) to 0x205 of banks 0, 1 (remapLane1
  // 1), 2 and 3 (option57Bit2 1), each with up to three readiness checks; lanes
  // 0 to 3 recorded (items 1 and 0 = mode) with their integer lane rate and
  // lineRateMode. lastResult (the last 0x205 write's). 0 when a bank's rate has
  // no code: nothing more is sent and nothing recorded.
  // A rate that is not a finite number: 0, with nothing sent, recorded or changed.
  virtual std::uint32_t LineRateConfigurationDsp4Ch(double rate, std::uint32_t mode);
  // As LineRateConfigurationDsp4Ch, with the clock file generated from the
  // host plan (GenerateClockFile, which receives the four pointers and leaves
  // the planner's frequencies in them). 0 with nothing sent when a pointer is
  // null. A rate that is not a finite number: 0,
  // with nothing sent, recorded or changed.
  virtual std::uint32_t ConfigureLineRate(double rate, std::uint32_t mode, double* f1, double* refMHz, double* f3,
                                          double* f4);
  // Option-word variants with a clock file (LoadClockFileCsv; 0 at once when
  // it cannot be opened). Every channel gets the rate, its items and its
  // integer lane rate after the rate registers, then pam4Mode and
  // lineRateMode; lastResult (the last 0x205 write's). The flags are shifted
  // into 0x105 whole (callers pass 0 or 1).
  // A rate that is not a finite number: 0, with nothing sent, recorded or changed.
  // 0x100 = 0 at bank = mode; on the 7837 0x104 = (mode == 1) at banks 0 and
  // 1; 0x103 = 1 (mode 1: 2 on the 7837, else 0); rateModeFlag = rateFlag34;
  // 0x105 = pam4 | bit1 << 1 | f32 << 2 | f33 << 3 | (9.4 <= rate <= 15) << 4
  // | f34 << 5 | f44 << 6 | f46 << 7; the file; 0x205 = 1. Items 1, 0, 32, 33,
  // 34, 35 (pam4), 44, 46.
  virtual std::uint32_t LineRateConfigurationPam4(double rate, std::uint32_t pam4, std::uint32_t rateFlag33,
                                                  std::uint32_t rateFlag32, std::uint32_t rateFlag34,
                                                  std::uint32_t mode, std::uint32_t rateFlagBit1,
                                                  std::uint32_t rateFlag44, std::uint32_t rateFlag46);
  // 0x100 = 0 at bank = mode; with option word 34 = 1 first 0x103 = 2 (mode
  // 1) or 1 (mode 0) at bank 0, and the following clock writes at bank 4:
  // 0x103 = f48, and 0x104 = reg104Value when f48 is 0; 0x105 = pam4 | (1
  // unless pam4 is 1 and rate <= 14.3) << 1 | f33 << 3 | f32 << 4 | f47 << 5 |
  // f34 << 6 | bit7 << 7 | f52 << 10 at bank 0 (and 4); the file; 0x205 = 1 at
  // bank 0 (and 4). Items 1, 0, 32, 33, 35, 47, 48, 34, 52.
  virtual std::uint32_t LineRateConfigurationPam4B(double rate, std::uint32_t pam4, std::uint32_t rateFlag33,
                                                   std::uint32_t rateFlag32, std::uint32_t rateFlag47,
                                                   std::uint32_t mode, std::uint32_t rateFlag48,
                                                   std::uint32_t reg104Value, std::uint32_t rateFlag34,
                                                   std::uint32_t rateFlagBit7, std::uint32_t rateFlag52);
  // Two rates for the lanes 2 x pair and 2 x pair + 1 (pair 0 or 1): 0x100 = 0
  // at bank = mode, lineRate and the 64-step phaseStep, LoadClockFilePair45Bank
  // at bank = pair (0 at once when it cannot be opened); per lane at its bank
  // 0x105 = 64 x (rate >= 15) (highRateRange) and 0x205 = its code; both lanes
  // recorded (items 1 and 0 = mode) with their integer lane rate; lineRateMode
  // of lanes 0 to 3. lastResult (the last write's). 0 with nothing sent for
  // another pair or a rate that is not a finite number.
  virtual std::uint32_t LineRateConfigurationPair(std::uint32_t pair, double rate1, double rate2, std::uint32_t mode,
                                                  std::uint16_t code1, std::uint16_t code2);
  // Lanes 0 to 3 at rate1 and 4 to 7 at rate2, LoadClockFilePair378 (0 at once
  // when it cannot be opened), 0x205 = each rate in Mb/s at banks 0 and 4,
  // lane 0 recorded (item 1 its rate, item 0 = 1), phaseStep and lineRateMode
  // (1) of lanes 0 to 7. lastResult. 0 with nothing sent when a rate is not a
  // finite number.
  virtual std::uint32_t LineRateConfigurationDual(double rate1, double rate2);
  // The rate for every channel, LoadClockFileCsv (0 at once when it cannot be
  // opened), then as LineRateConfigurationSynth after its plan.
  // A rate that is not a finite number: 0, with nothing sent, recorded or changed.
  virtual std::uint32_t LineRateConfigurationBasic(double rate);
  // Modes 0 and 1: two rates for the lanes of a pair, as
  // LineRateConfigurationPair with LoadClockFilePair378Bank, 100 ms, and per
  // lane its own read-back code (else band table B of its rate) to 0x205 with
  // up to three readiness checks; lineRateMode of the pair's lanes. Mode 2:
  // rate1 for lanes 0 to 3 (lineRate, 64-step phaseStep) with the divider of
  // the divider finder's candidate `index`, 0x100 = 0 at bank 0, then the
  // divider to 0x205 of banks 0 to 3 with two retries for all four banks
  // together; records nothing. lastResult (the last 0x205 write's). 0 with
  // nothing sent for a mode above 2, another pair, a rate that is not a
  // finite number or no candidate; 0 when a lane's rate has no code.
  virtual std::uint32_t LineRateConfigurationDspPair(std::uint32_t pair, double rate1, double rate2, std::uint32_t mode,
                                                     int index);

  // ---- Pattern selection and short user patterns (signal/Patterns.cpp) ----
  // Pattern selection of a channel: code (5 = the user pattern), p3, p4, p5.
  // Channels 0 to 15; 0 without a transfer for others.
  virtual std::uint8_t SetPRBSPattern(int ch, int pattern, int p3, std::uint32_t p4, int p5);
  // Pulses register 0x220 (1, 100 ms, 0) on the four lanes of a group; always 1.
  virtual std::uint8_t PulseGroupReset(std::uint32_t group);
  // Short user patterns written into the lane's pattern-word registers
  // 0x211-0x213. Channels 0 to 15; 0 without a transfer for others.
  virtual std::uint8_t SetUserPattern40(int ch, std::uint64_t pattern);
  // Bits 0-47 of the pattern-word registers into *out; 1 (0 for a channel
  // outside 0 to 15, *out untouched).
  virtual std::uint8_t ReadUserPattern48(std::uint32_t ch, std::uint64_t* out);
  virtual std::uint8_t SetUserPattern40x2(int ch, std::uint64_t first, std::uint64_t second);
  virtual std::uint8_t SetUserPattern160(int ch, std::uint64_t a, std::uint64_t b, std::uint64_t c);
  virtual std::uint8_t SetUserPattern160b(int ch, std::uint64_t a, std::uint64_t b, std::uint16_t c, std::uint16_t d);
  virtual std::uint8_t SetTxUserPatternLumo(int ch, int first, int second);

  // ---- Output swing and level (signal/Transmitter.cpp) ----
  // Output swing 0 to 3 (item 36); written as (swing + 1) x 50 to 0x228 on the
  // swing-coded models only, 0 on the others.
  virtual std::uint8_t SetOutputSwing(int ch, double swing);
  // Output level in mV (item 9): calibrated, truncated or raw by model; 0 for a
  // channel outside 0-15.
  virtual std::uint8_t OutputLevel(int ch, double level);
  // Calibrated level code 0..4095 to 0x221 at bank ch; records nothing.
  virtual std::uint8_t SetOutputLevelCalibrated(int ch, double level);
  // Board-level output driver: registers 56, 54 and 55 of bank 0; 1 when any of
  // the three writes succeeded.
  virtual std::uint8_t SetBoardOutputLevel(double level, double a, double b);

  // ---- Error insertion (signal/Counters.cpp) ----
  // Error-insertion word of a lane (status item 16 recorded first).
  virtual std::uint8_t ErrorInsertion(std::uint32_t ch, std::uint16_t word);
  // Writes first, then the word (c & 7) << 8 | (b & 0x7F) << 1 | a; records c.
  virtual std::uint8_t ErrorInsertionKestrine(std::uint32_t ch, int a, int b, int c, std::uint16_t first);

  // ---- Recorded settings read back (calibration/StatusTable.cpp) ----
  // Reads a recorded per-lane setting (status item) of a channel.
  virtual std::uint32_t Monitor(std::uint32_t channel, std::uint8_t item, double* value);

  // ---- PAM4 eye levels (signal/Transmitter.cpp) ----
  // PAM4 inner (0x202, item 31) and outer (0x22A, item 50) eye levels at bank ch.
  virtual std::uint8_t InnerEyeLevel(std::uint32_t ch, int value);
  virtual std::uint8_t OuterEyeLevel(std::uint32_t ch, int value);

  // ---- Temperature (core/Identity.cpp) ----
  // Raw temperature register 16 of a bank; 0.0 when the read failed.
  virtual double TempRead(int bank);

  // ---- Pattern checker (signal/Patterns.cpp) ----
  // Pattern-checker state of a channel: non-zero when synchronised, 0 when not
  // or when the read failed (lastResult tells them apart), 0 for a channel
  // outside 0 to 15.
  virtual std::uint16_t PRBSVerfication(int ch);
  virtual std::uint16_t PRBSVerficationAlias(int ch);

  // ---- Decision threshold read back (signal/Receiver.cpp) ----
  // The decision threshold read back, in mV truncated toward zero (0 for a
  // channel outside 0-15).
  virtual int ReadDecisionThresholdMv(std::uint32_t ch);

  // ---- Measurement gate (core/Identity.cpp) ----
  // Records the gate and writes it to registers 0x301/0x300 of banks 0 and 4.
  virtual std::uint8_t SetGateTime(std::uint32_t gate);

  // ---- Sampling point (signal/Receiver.cpp) ----
  // Sampling point: records phase (item 19) and threshold (item 20) and writes
  // threshold << 8 | (phase & 0x7F) to 0x30A; 1 when the write succeeded.
  virtual std::uint8_t SetSamplingPoint(std::uint32_t ch, std::uint8_t phase, std::uint8_t threshold);

  // ---- Error counters and BER (signal/Counters.cpp) ----
  // Gated BER of every channel, limited to 1.0 (0 / 0 stays NaN); the second
  // form also fills counts (the divisor word on the gate models, the errors
  // elsewhere). The last transfer's result.
  virtual std::uint8_t ReadBERAndErrorsAllChannels(double* ber, std::uint32_t* counts);
  virtual std::uint8_t ReadBERAllChannels(double* ber);
  // Clears the counters of a channel (20 and above: every channel).
  virtual std::uint8_t BERClearErrorCounters(int ch);
  // Starts (1) or stops (0) the running counters of every channel.
  virtual std::uint8_t RealTimeBEREnable(std::uint32_t mode);
  // Counter commands by channel code (channel + 4, 20 = all) or by code as given:
  // mode 0 stops, 1 clears and starts, any other mode is the command's bank.
  virtual std::uint8_t SetErrorCounterRun(std::uint16_t channel, int mode);
  virtual std::uint8_t SetErrorCounterRunCode(std::uint16_t code, std::uint32_t mode);
  // Running counts of every channel with seconds, bits counted and BER.
  virtual std::uint8_t ReadBERSummary(std::uint64_t* errors, std::uint32_t* seconds, std::uint64_t* bits,
                                      std::uint64_t* bitsMinusErrors, double* ber);
  // Running error count and elapsed ms of every channel.
  virtual std::uint8_t ReadRealTimeBER(std::uint64_t* errors, std::uint32_t* elapsedMs);
  // Counts of lanes 4g + 2 (A) and 4g + 1 (B) and the elapsed ms of lane 4g, per group g.
  virtual std::uint8_t ReadGroupErrorCounts(std::uint64_t* countA, std::uint64_t* countB, std::uint32_t* elapsed);
  // The two error-correction counters of a lane into a[lane] and b[lane]; 1
  // (0 for a lane outside 0 to 15, nothing written).
  virtual int ReadErrorCorrectionKestrin(int lane, std::uint32_t* a, std::uint32_t* b);

  // ---- Sampler codes and decision threshold (signal/Receiver.cpp) ----
  // Raw sampler codes: phase to 0x30A (threshold byte 0), threshold to 0x30B;
  // no record.
  virtual std::uint8_t SetSamplingPhaseCode(std::uint32_t ch, std::uint8_t code);
  virtual std::uint8_t SetDecisionThresholdCode(std::uint32_t ch, std::uint8_t code);
  // Decision threshold in mV to 0x30B; 0 with nothing written when the code
  // would lie outside 0-255 or the threshold step is zero or not finite.
  virtual std::uint8_t SetDecisionThresholdMv(std::uint32_t ch, std::uint8_t mV);

  // ---- Bathtub acquisitions ----
  // measure/VerticalBathtub.cpp: MeasureVerticalBathtub; measure/Bathtub.cpp:
  // MeasureBathtub.

  // Bathtub acquisitions. Each asks the channel's pattern checker first and
  // measures nothing while it reads 0; a checker that cannot be read, or a
  // reply that does not arrive whole, ends the acquisition with nothing stored
  // (the operations with a result then return 0). Curves are kept per channel
  // in vBathtubBer/vBathtubY and bathtubBer/bathtubX and logged when curve
  // logs are on (measure/CsvLogs.h).
  //
  // Vertical: 256 threshold steps of channel ch (1 -> 0 on a 7841 whose lane 1
  // is moved; no channel map), BER in ber and mV in y; a passes to the request.
  // Stores the channel's measured mV per threshold step.
  virtual void MeasureVerticalBathtub(int ch, std::uint8_t a, double* y, double* ber);
  // Horizontal, at the mapped bank of ch (after the 7775 and 7841 fix-ups):
  // 129 entries (64 on 64-step models) of ps in x and BER in ber, the curve
  // cleaned and checked. 1, also when the checker reads 0 or the curve fails
  // the check; 0 for a channel outside 0-15, a failed transfer or a log that
  // could not be written (the curve then stored and handed back).
  virtual std::uint8_t MeasureBathtub(int ch, double* x, double* ber);

  // ---- PAM4 histogram and signal-to-noise ratio (measure/Pam4.cpp) ----
  // PAM4 receiver read-outs of a channel. The histogram: 160 bins, positions
  // -5.0 to 4.9375 in x and signed counts in counts (160 entries each), from
  // the result block of the mapped bank, logged when curve logs are on; 1, or
  // 0 when the channel lies outside 0-15, the block did not arrive whole
  // (nothing changed) or the log could not be written (arrays filled).
  virtual std::uint8_t GetPam4Histogram(int ch, double* x, double* counts);
  // Signal-to-noise ratio in dB from register 0x30E at bank ch (not mapped);
  // the read's result, the ratio being stored also after a failed read.
  virtual std::uint8_t GetPam4SignalToNoiseRatio(int ch, double* snr);

  // ---- Bathtub acquisitions, continued (measure/Bathtub.cpp) ----
  // Horizontal, channel ch (1 -> 0 on a 7841 whose lane 1 is moved; no channel
  // map), over the caller's gate: its low 32 bits are programmed, the BER
  // divides by all 64. 129 entries in x and ber; a and b pass to the request.
  // bathtubX is not written.
  virtual void MeasureBathtubWithGate(int ch, std::uint64_t gate, std::uint8_t a, std::uint8_t b, double* x,
                                      double* ber);

  // ---- Placeholder, always 0 (core/Tessok_API.cpp) ----
  virtual std::uint8_t ReturnZeroStub();

  // ---- Bathtub acquisitions, continued (measure/Bathtub.cpp) ----
  // Horizontal, channels 0-3 from one result block, 64 points each: enable[c]
  // equal to 1 selects channel c. One selected channel fills entries 0-63 of x
  // and ber; several fill 64 entries per channel at offset 64 x c and clear the
  // four fit flags. Stored when any of the four checkers reports lock. The
  // request's result (1), or 0 after a failed transfer.
  virtual std::uint8_t MeasureBathtubMultiChannel(const std::uint32_t* enable, double* x, double* ber);

  // ---- Fitted curves and jitter read-outs ----
  // measure/FittedCurves.cpp, except GetHorizontalDjRj and GetVerticalDjRj
  // (signal/Receiver.cpp).

  // Fitted curves of the stored bathtub tables: 1024-entry arrays, the curve to
  // fit in, the fitted curve out.
  virtual std::uint8_t GetFittedBathtub(int ch, double* x, double* ber);
  virtual std::uint8_t GetFittedVerticalBathtub(int ch, double* y, double* ber);
  // DJ and RJ of the channel's last horizontal (ps) or vertical (mV) fit.
  virtual void GetHorizontalDjRj(int lane, double* dj, double* rj);
  virtual void GetVerticalDjRj(int lane, double* dj, double* rj);
  // Read-outs at a target BER: 1, or 0 with -1.0 stored when there is nothing
  // to measure. Horizontal results in ps, vertical ones in mV.
  virtual std::uint8_t GetTotalJitterAtBER(int ch, double ber, double* tj);

  // ---- Eye maps ----
  // measure/EyeCapture.cpp: CaptureEyeDiagram, CaptureEyeDiagramMultiChannel;
  // measure/EyeOpening.cpp: GetMeasuredThresholdStep.

  // Eye maps (measure/EyeCapture.cpp): BER at every sampling phase (columns)
  // and decision threshold (rows, 256) of a lane, handed back as three
  // parallel arrays x (ps), y (threshold: mV, or steps until the step is
  // measured) and ber, and kept per lane in eyeMap with eyeMapValid set. A
  // block that is not sent, not received or shorter than what is decoded
  // ends a capture with 0: nothing more is requested and nothing is stored.
  //
  // One channel (the mapped bank; 1 -> 0 after the map on a 7841 whose lane 1
  // is moved), arrays of 32,768 doubles. 128-step models: 128 columns of
  // 16-bit counts, x falling with the column; when the sampling point reads
  // back 0 the capture is refused: 0, BER 1.0 everywhere and x rising. 64-step
  // models: 64 columns of 32-bit counts over a gate of 1000, entries r x 64 + 63
  // - c for column c < 63 (entry r x 64 is not written); measures the mV per
  // threshold step and the eye's first and last rows. Then the eye log (its
  // failure ignored), and the sampling point is centred on the eye (eyeCentre).
  // 1 captured, 0 refused or failed; 0 with nothing sent for a channel outside
  // 0-15 or a null array.
  virtual std::uint8_t CaptureEyeDiagram(int ch, double* x, double* y, double* ber);
  // One column (block) of channels 0 to 3, the channel being the bank; a
  // channel takes part when enable[c] is 1. Arrays of 4 slices of 32,768
  // (128-step) or 16,384 (64-step) doubles; entry r x columns + block of a
  // slice, x rising with the column. Column 0 programs the gate (1000); on the
  // 64-step models column 63 also measures each channel's step and rows. 1, or
  // 0 with nothing sent for a null pointer or a column beyond the map.
  virtual std::uint8_t CaptureEyeDiagramMultiChannel(const int* enable, std::uint32_t block, double* x, double* y,
                                                     double* ber);
  // The mV per threshold step the last eye capture measured (64-step models,
  // 1 -> 0 on a 7841 whose lane 1 is moved); *step untouched on other models,
  // for a channel outside 0-15 or a null pointer.
  virtual void GetMeasuredThresholdStep(int ch, double* step);

  // ---- Gain of the eye measurements (signal/Receiver.cpp) ----
  // Lane gain correction of the eye measurements: 10^(dB / 20).
  virtual void SetLaneGainDb(std::uint32_t lane, double dB);

  // ---- Eye opening (measure/EyeOpening.cpp) ----
  // Edges of the eye in the channel's stored map at a target BER: early and
  // late in ps, low and high in mV. 1 found; 0 with -1.0 in all four when the
  // map is not valid or the channel lies outside 0-15; 0 on the 128-step
  // models when no eye is found (64, 64, 128 and 128 are then left in the
  // outputs). Nothing written for a null pointer.
  virtual std::uint8_t GetEyeOpening(int ch, double ber, double* early, double* late, double* low, double* high);

  // ---- Sampling point read back (signal/Receiver.cpp) ----
  // Sampling point read back from 0x30C as ps and mV; 1 (0 for a channel
  // outside 0-15, outputs untouched).
  virtual std::uint8_t ReadSamplingPoint(std::uint32_t ch, double* ps, double* mV);

  // ---- Eye-mask test (measure/EyeMask.cpp) ----
  // Eye-mask test on the stored map of lane ch (no channel map): the eye
  // cells as points in ps and mV (kept in maskX and maskY), counted against
  // the shape within one unit interval (measure/EyeMask.h). The number of
  // hits; EyeMask::kRefusedCount for a channel outside 0-15 or a shape that
  // is not finite.
  virtual std::uint64_t RunEyeMaskTest(int ch, EyeMaskShape shape);

  // ---- Equalisation ----
  // signal/Transmitter.cpp: PreEmphasis, PostEmphasis, MainTap;
  // signal/Receiver.cpp: DSPMode, CTLESetValue.

  // Transmitter equalisation: emphasis 0..100 (-1000..1000 on the raw-level
  // models), main tap any value, taps -1000..1000; 0 out of range, with
  // nothing recorded or sent.
  virtual std::uint8_t PreEmphasis(int ch, int value);
  virtual std::uint8_t PostEmphasis(int ch, int value);
  virtual std::uint8_t MainTap(int ch, int value);
  // Receiver equaliser: DSP mode (0x21D = 1, then the mode) and CTLE (0x21E).
  virtual std::uint8_t DSPMode(int ch, int mode);
  virtual std::uint8_t CTLESetValue(int ch, int value);

  // ---- Auxiliary output block of a lane (lane registers 0x401 to 0x41B) ----
  // signal/AuxOutput.cpp, except SetOutputEnable (signal/Transmitter.cpp).
  // Each setter takes a channel 0 to 15 (else 0, nothing sent or recorded).
  // Unless said otherwise it records its status item at the lane
  // channelMap[ch] and writes at that bank, moved from 3 to 2 on a 7775 whose
  // option word moves lane 3 where the operation says "3 -> 2". Values out of
  // range are neither recorded nor sent. Results: the (last) register write's,
  // 1 or 0.
  //
  // Register 0x405 = value truncated (item 21 first; 3 -> 2). NaN and the
  // infinities are refused.
  virtual std::uint8_t SetAuxSetting(int ch, double value);
  // 0.22 on the 7733 with option word 33 = 12, else 0.65; reads no register.
  virtual double GetAuxLevelLimit();
  // on == 1: register 0x404 = the code recorded in item 23, limited to 0-4095
  // (an erased item gives 0); otherwise 0. Records nothing (3 -> 2).
  virtual std::uint8_t EnableAuxAmplitudeA(int ch, std::uint32_t on);
  // Register 0x401 = 1 when on is 1, else 0; no record, no 3 -> 2.
  virtual std::uint8_t SetAuxFlag401(int ch, int on);
  // Frequency in MHz, 0 to 100 (0 to 500 on the 7733 with option word 33 =
  // 12): item 22, then registers 0x402 (hertz bits 16-31) and 0x403 (bits
  // 0-15) at the bank after 3 -> 2. The first write's result is ORed into
  // lastResult; the second one's is returned.
  virtual std::uint8_t SetAuxFrequency(int ch, double mhz);
  // Amplitude A (register 0x404). With table A in use (loaded, header exactly
  // 2.0) the finite value is converted through the row of the frequency band
  // of item 22, the code recorded in item 23 and then limited to 0-4095.
  // Otherwise value must lie in 0-4095: with table A loaded (other header)
  // register 0x401 is also written (1 for a value of 0) at the bank of the
  // channel moved 3 -> 2 without the map; with no table the 7733 with option
  // word 33 = 12 converts values when lane register 29 reads 0xFACE.
  virtual std::uint8_t SetAuxAmplitudeA(int ch, double value);
  // Item 24 = 0, then register 0x406 = 1 when on is 1, else 0 (3 -> 2).
  virtual std::uint8_t EnableAuxAmplitudeB(int ch, int on);
  // Amplitude B (register 0x407, item 24, table B) as amplitude A, except: the
  // 7733 with option word 33 = 12 always takes band 0, no 0x401 flag, no
  // signature read and no conversion without a table.
  virtual std::uint8_t SetAuxAmplitudeB(int ch, double value);

  // Output enable 0x408 (1 when on is 1, else 0); records nothing.
  virtual std::uint8_t SetOutputEnable(int ch, int on);

  // Auxiliary output block, continued.
  // Register 0x40C = value truncated, 0 sent as 1; value 0 to 4095 (item 25
  // first; 3 -> 2).
  virtual std::uint8_t SetAuxControl40C(int ch, double value);

  // ---- Auxiliary calibration tables A and B, amplitudes (calibration/AuxCalibration.cpp) ----
  // A load reads the lane's header and its 10 rows of 7 doubles from the EEPROM
  // into the store (a NaN header is kept as -1.0), marks the lane's table
  // loaded and hands out the rows' limit pairs (limits[2r], limits[2r + 1] =
  // elements 5 and 6 of row r, 20 doubles). The table is used by the setters
  // only while loaded and with a header of 2.0. Result: the header truncated
  // toward zero; -1 for a lane outside 0-15 or null limits, nothing read.
  virtual int LoadAuxAmplitudeACalibration(std::uint32_t lane, double* limits);
  // Marks the lane's table as not loaded (its rows stay in the store); 1, or 0
  // for a lane outside 0-15.
  virtual int ClearAuxAmplitudeACalibration(int lane);
  virtual int LoadAuxAmplitudeBCalibration(std::uint32_t lane, double* limits);
  virtual int ClearAuxAmplitudeBCalibration(int lane);

  // ---- Level tables, checker and lane enable, counter configuration ----
  // calibration/LevelCalibration.cpp: LoadDefaultCalibration, WriteLookupTables;
  // signal/Patterns.cpp: SetCheckerEnable, SetLaneEnable21A;
  // signal/Counters.cpp: ConfigureBERCounters.

  // Resets the level tables to pass-through conversions; always 1.
  virtual int LoadDefaultCalibration();
  // Checker enable and lane enable (1 on, anything else off), recorded first.
  virtual std::uint8_t SetCheckerEnable(std::uint32_t ch, std::uint8_t on);
  virtual std::uint8_t SetLaneEnable21A(std::uint32_t ch, std::uint8_t on);
  // Uploads three lookup tables of 12 words (banks 0 to 2).
  virtual int WriteLookupTables(const std::uint32_t* values);
  // Counter configuration values, then the start (mode 1) or stop (mode 0)
  // command; the command's result, 0 for other modes.
  virtual std::uint8_t ConfigureBERCounters(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint32_t mode);

  // ---- Option reads (core/Connection.cpp) ----
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

  // ---- Control bits through the signal-processor window (signal/DspWindow.cpp) ----
  // Control bits through the signal-processor window: bit 1 of bank 1's
  // sub-register 0 set when on is 1 (else cleared), and on some models bit 4
  // of bank-0 sub-registers 16 to 19 cleared when on is 1 (else set); records
  // item 29 = on for lanes 0 to 3. A sub-register whose select or read failed
  // is not written back. 1 when any transfer succeeded.
  virtual std::uint8_t SetIndirectControlBits(int on);

  // ---- Chip-register window (core/Identity.cpp) ----
  // Chip-register window: address to 0x21F, data through 0x220, at the bank.
  virtual std::uint8_t WriteChipRegister(std::uint16_t bank, std::uint16_t addr, std::uint16_t value);
  virtual std::uint8_t ReadChipRegister(std::uint16_t bank, std::uint16_t addr, std::uint16_t* out);

  // ---- Calibration conversions, sampling point in ps and mV ----
  // calibration/LevelCalibration.cpp: the five Compute wrappers;
  // signal/Receiver.cpp: SetSamplingPointPsMv.

  // Wrappers of the calibration store's conversions.
  virtual double ComputeLaneDelayConversion(int lane, std::uint32_t toCode, double x);
  virtual double ComputeValueFromCodeA(std::uint32_t lane, int code, double sel);
  virtual double ComputeCodeFromValueA(std::uint32_t lane, int value, double sel);
  virtual double ComputeValueFromCodeB(std::uint32_t lane, int code, double sel);
  virtual double ComputeCodeFromValueB(std::uint32_t lane, int value, double sel);
  // Sampling point from ps and mV at the channel's line rate (see SetSamplingPoint).
  virtual std::uint8_t SetSamplingPointPsMv(int ch, int ps, int mV);

  // ---- Board signature (core/Connection.cpp) ----
  // True when register 31 reads the board signature 0xCAFE.
  virtual bool CheckBoardSignature();

  // ---- Eye width and height at a BER (measure/FittedCurves.cpp) ----
  virtual std::uint8_t GetEyeWidthAtBER(int ch, double ber, double* width);
  virtual std::uint8_t GetEyeHeightAtBER(int ch, double ber, double* height);

  // ---- Status table, EEPROM and calibration saves ----
  // calibration/StatusTable.cpp: WriteStatusToEEProm, ReadStatusItem;
  // calibration/Eeprom.cpp: WriteEEPROMAddress, ReadEEPROMAddress;
  // calibration/AuxCalibration.cpp: SaveAuxAmplitudeACalibration,
  // SaveAuxAmplitudeBCalibration; calibration/LevelCalibration.cpp:
  // SaveCalibrationValues, ReadCalibrationValues, LoadCalibrationValue;
  // clock/LaneRate.cpp: CheckDspReady.

  // Records a per-lane setting: one double at the lane's status item, 8 bytes
  // with 10 ms after each. Lanes 0 to 15 and items 0 to 95 only.
  virtual std::uint8_t WriteStatusToEEProm(int lane, std::int16_t item, double value);
  // Writes a double at an EEPROM address, byte by byte (no waits).
  virtual std::uint8_t WriteEEPROMAddress(std::uint32_t address, double value);
  // The first two bytes of the 128-byte page at an address.
  virtual std::uint32_t ReadEEPROMAddress(std::uint32_t address, std::uint16_t* value);
  // Save a lane's header and its 10 rows (70 doubles, row after row) to the
  // EEPROM, byte by byte without waits; the store and the loaded flags are not
  // changed. 1, or 0 for a lane outside 0-15 or null rows (nothing sent).
  virtual int SaveAuxAmplitudeACalibration(std::uint32_t lane, double header, const double* rows);
  virtual int SaveAuxAmplitudeBCalibration(std::uint32_t lane, double header, const double* rows);
  // Saves one kind of a channel's level calibration in the EEPROM.
  virtual std::uint32_t SaveCalibrationValues(int channel, int kind, const double* values);
  // Hands the level calibration to the application, lane after lane.
  virtual int ReadCalibrationValues(double* out);
  virtual std::uint8_t ReadStatusItem(int lane, std::uint16_t item, double* value);
  // Loads the level calibration tables from the EEPROM (page reads); always 1.
  virtual int LoadCalibrationValue();
  // One readiness check of a lane's signal processor (50 ms); writes 0x22D = 0
  // when it is not ready. Leaves 0x104B or 0 in the single-read word.
  virtual bool CheckDspReady(std::uint16_t bank);

  // ---- Module, cage and bridge registers (signal/BoardRegisters.cpp) ----
  // A port is the bank of its registers (no channel map, no range check).
  // Results are 1 for success and 0 for failure; reads fill their outputs
  // whether or not the transfer succeeded. "lastStatus" says what each leaves
  // in lastStatus; "L" ones leave it untouched.

  // Module registers through the port's window (34 address, 35 data);
  // lastStatus = the AND of both transfers.
  virtual std::uint8_t WriteModuleRegister(std::uint16_t port, std::uint16_t address, std::uint16_t value);
  virtual std::uint8_t ReadModuleRegister(std::uint16_t port, std::uint16_t address, std::uint16_t* out);
  // Passes its arguments on to ReadModuleMonitor36.
  virtual std::uint8_t ReadModuleMonitor36Alias(std::uint32_t port, double* out);
  // Module pins: the reads report 1 when the register is non-zero (lastStatus);
  // the setters write 1 for a value of 1, else 0 (L).
  virtual std::uint8_t ReadModulePin43(std::uint16_t port, std::uint8_t* out);
  virtual std::uint8_t SetModulePin47(std::uint16_t port, std::uint8_t value);
  virtual std::uint8_t SetModulePin44(std::uint16_t port, std::uint8_t value);
  virtual std::uint8_t SetModulePin45(std::uint16_t port, std::uint8_t value);
  virtual std::uint8_t ReadModulePin46(std::uint32_t port, std::uint8_t* out);
  // Module monitors 36 to 41 in units of the register / 256 (lastStatus).
  virtual std::uint8_t ReadModuleMonitor39(std::uint32_t port, double* out);
  virtual std::uint8_t ReadModuleMonitor40(std::uint32_t port, double* out);
  virtual std::uint8_t ReadModuleMonitor41(std::uint32_t port, double* out);
  // Module register 22 shifted left by (module register 23 + 8) mod 32, kept
  // as 16 bits; lastStatus = the AND of the two module-register reads.
  virtual std::uint8_t ReadModuleScaledPair(std::uint32_t port, double* out);
  virtual std::uint8_t ReadModuleMonitor37(std::uint32_t port, double* out);
  virtual std::uint8_t ReadModuleMonitor38(std::uint32_t port, double* out);
  virtual std::uint8_t SetModuleRegister48(std::uint16_t port, std::uint16_t value);  // L
  // The module-bus block commands; a write of more than 119 bytes is refused.
  virtual bool WriteModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, const std::uint8_t* in);
  virtual bool ReadModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, std::uint8_t* out);
  // Cage registers: at the port's bank, or on a 7841 at bank 0 under other
  // register numbers (the port then unused). The setters are L; the window
  // (select, address, data) ANDs its three transfers into lastStatus.
  virtual std::uint8_t ReadCageSelect(std::uint32_t* out, std::uint16_t port);
  virtual std::uint8_t SetCageSelect(std::uint16_t value, std::uint16_t port);
  virtual std::uint8_t WriteCageRegister(std::uint16_t port, std::uint16_t address, std::uint16_t select,
                                         std::uint16_t value);
  virtual std::uint8_t ReadCageRegister(std::uint16_t port, std::uint16_t address, std::uint16_t select,
                                        std::uint16_t* out);
  // True when the pin register is non-zero (48, 47) or not 1 (43); lastStatus.
  virtual bool ReadCagePin48(std::uint16_t port);
  virtual bool ReadCagePin47(std::uint16_t port);
  virtual std::uint8_t SetCagePin46(std::uint16_t value, std::uint16_t port);
  virtual bool ReadCagePin43(std::uint16_t port);
  virtual std::uint8_t SetCagePin44(std::uint16_t value, std::uint16_t port);
  virtual std::uint8_t SetCagePin45(std::uint16_t value, std::uint16_t port);
  // Cage monitors of a 7841 (bank 0): 40 in units of 1/256, 41 and 36 as their
  // high byte. On other models 40 and 41 read nothing and return 0 (40 also
  // clears lastStatus); 36 is read at the port's bank.
  virtual std::uint8_t ReadCageMonitor40(std::uint64_t ignored, double* out);
  virtual std::uint8_t ReadCageMonitor41Whole(double* out);
  virtual std::uint8_t ReadCageMonitor36Whole(double* out, std::uint16_t port);
  // Bridge registers of bank 0: a window (60 address, 61 data; lastStatus =
  // the AND of both transfers), reads of 63 to 65 that return the word
  // (lastStatus = the read's result), and L setters of 66 to 68.
  virtual std::uint8_t WriteBridgeRegister(std::uint16_t address, std::uint16_t value);
  virtual std::uint8_t ReadBridgeRegister(std::uint16_t address, std::uint16_t* out);
  // Reads register 62 into its own argument and returns only the transfer's result.
  virtual std::uint8_t ReadBridge62(std::uint16_t value);
  virtual std::uint16_t ReadBridge63();
  virtual std::uint16_t ReadBridge64();
  virtual std::uint16_t ReadBridge65();
  virtual std::uint8_t SetBridge66(std::uint16_t value);
  virtual std::uint8_t SetBridge67(std::uint16_t value);
  virtual std::uint8_t SetBridge68(std::uint16_t value);
  // Writes value to the rail register of *volts: 69 for exactly 1.8 V, 70 for
  // exactly 5.0 V (lastStatus); any other rail sends nothing and gives 0.
  virtual std::uint8_t SetBridgeRailValue(std::uint16_t value, double* volts);

  // ---- Reference clock (clock/ClockOutputs.cpp) ----
  // Reference clock in MHz, sent as the code MHz x 100000 (truncated; 37 =
  // bits 16-31, 36 = bits 0-15) after SetAuxGlobalControl(1). With option
  // words 33 and 30 reading 12 and 1: 0x104 = 1, the code, 100 ms, 0x417
  // repeating the code's low half, the rate range of lineRate[0] to 0x105,
  // 0x205 = 1, then lanes 0 to 7 recorded (item 1 = their rate, item 0 = 2)
  // with phaseStep and lineRateMode (2) set. Otherwise: the synthesizer word
  // of lineRate[0] to 0x10A/0x109, 0x100 = 0, the code, 0x101 = 8, 0x205 = 1.
  // The OR of the link results (the first path: 0x104, the code and 0x417).
  // 0 with nothing sent when the code or the synthesizer word is not a number
  // or does not fit 32 bits.
  virtual std::uint32_t SetReferenceClock(double mhz);

  // ---- Auxiliary output block, board part at bank 0 (signal/AuxOutput.cpp) ----
  // Register 0x40D = value (0x411 when option words 33 and 30 read 12 and 1).
  virtual std::uint8_t SetAuxGlobalControl(std::uint16_t value);
  // Registers 0x40E and 0x40F = bits 16-31 and 0-15 of the frequency in hertz,
  // then item 39 of lane 0 = the hertz. The frequency must be finite and its
  // hertz within 0 to 2^32 - 1 (else 0, nothing sent). 1 when either write
  // succeeded.
  virtual std::uint8_t SetAuxFrequencyGlobal(double mhz);
  // Register 0x412 (global level), only with option words 33 and 30 reading 12
  // and 1 (else 0, nothing sent). With the global table in use (loaded, mode
  // 1): item 38 = value, then the code of the band of item 39, limited to
  // 0-4095. Otherwise value, item 38, then value again with 0 sent as 1.
  virtual std::uint8_t SetAuxLevelGlobal(int value);

  // ---- Auxiliary calibration table of the global level (calibration/AuxCalibration.cpp) ----
  // Every one of the 7 rows becomes {0, 0, 0, 1, 0, 0, 4095}: the identity
  // conversion. The loaded flag and the mode are not changed; always 1.
  virtual int ResetAuxGlobalLevelCalibration();
  // Saves the header at 0x9000 and 7 rows (49 doubles) from 0x9032; 1, or 0
  // for null rows.
  virtual int SaveAuxGlobalLevelCalibration(double header, const double* rows);
  // Loads header and rows (14 limits as for table A); the mode is the header
  // truncated (-1 for a NaN header), and the result. -1 for null limits.
  virtual int LoadAuxGlobalLevelCalibration(double* limits);
  virtual int ClearAuxGlobalLevelCalibration();

  // ---- Per-rate stored rate codes, eye centre ----
  // clock/LaneRate.cpp: WriteRateSetting, ReadRateSetting;
  // signal/Receiver.cpp: GetEyeCentreResult.

  // Per-rate stored rate codes (10.3125 and 25.78125 Gb/s only; 0 for other
  // rates): the write returns the last EEPROM write's result, the read
  // lastStatus (the AND of its transfers).
  virtual std::uint8_t WriteRateSetting(std::uint16_t selector, double rate, int value);
  virtual std::uint8_t ReadRateSetting(std::uint16_t selector, double rate, std::uint32_t* value);
  // The eye centre the last eye capture found (0.0 for a channel outside 0-15).
  virtual double GetEyeCentreResult(int ch);

  // ---- Auxiliary output block of a lane, continued (signal/AuxOutput.cpp) ----
  // Register 0x419 = 1 when on is 1, else 0 (3 -> 2), no record.
  virtual std::uint8_t SetAuxFlag419(int ch, int on);
  // Register 0x41A = value (no 3 -> 2), then item 43 of lane 0 = value; the
  // result is the record's.
  virtual std::uint8_t SetAuxControl41A(int ch, std::uint16_t value);
  // Level C (register 0x41B, no 3 -> 2). With table C in use (loaded, header
  // truncating to 2) the value is converted through row `band` (0 to 4, else
  // 0 and nothing sent) and item 42 records the code before it is limited to
  // 0-4095; otherwise item 42 = value and the low 16 bits of value are sent.
  virtual std::uint8_t SetAuxLevelC(int ch, int value, std::uint32_t band);
  // Writes bank-0 register 0x417 with whatever the main data word
  // (regScratch.word[6]) holds, and changes nothing. Every single register
  // write of the auxiliary block, and of the other lane setters, passes its
  // value through that word, so 0x417 repeats the last value written; the
  // reference-clock setting relies on it to repeat its last register value.
  virtual std::uint8_t WriteAuxControl417();

  // ---- Auxiliary calibration table C, level (calibration/AuxCalibration.cpp) ----
  // As table A with 5 rows (10 limits): the header page is read at the lane's
  // own header address, the rows byte by byte at bank 1 (registers 10 and 11,
  // no waits), every transfer result ANDed into lastStatus. Used while loaded
  // with a header that truncates to 2.
  virtual int LoadAuxLevelCCalibration(std::uint32_t lane, double* limits);
  virtual int ClearAuxLevelCCalibration(int lane);
  // Header and 5 rows (35 doubles), as the saves of table A.
  virtual int SaveAuxLevelCCalibration(std::uint32_t lane, double header, const double* rows);

  // ---- Eye-capture lane flag, rate PLL ----
  // signal/Receiver.cpp: SetLaneFlag; clock/LaneRate.cpp: ProgramRatePll.

  // Lane flag of the eye capture (0 doubles its measured amplitude).
  virtual void SetLaneFlag(int lane, std::uint8_t value);
  // Rate PLL words through sub-register 38 of the signal-processor window.
  virtual void ProgramRatePll(std::uint16_t bank, double rate);

  // ---- Signal-processor window and board control of a bank (signal/DspWindow.cpp) ----
  // UploadUserPattern, at the end, is in signal/Patterns.cpp.
  // State of sub-register 10 (window 0x200 = 10, 0x201 = state); the AND of
  // both writes.
  virtual std::uint8_t SetDspState1(std::uint16_t bank);
  virtual std::uint8_t SetDspState0(std::uint16_t bank);
  virtual std::uint8_t SetDspState2(std::uint16_t bank);
  virtual std::uint8_t SetDspState6(std::uint16_t bank);
  // Raw registers 71, 72 to 75 (a 64-bit value, least significant word at 72;
  // 1 when any of the four transfers succeeded) and 76; write 0 reads.
  virtual std::uint8_t WriteReg71(std::uint16_t bank, std::uint16_t value);
  virtual std::uint8_t ReadReg71(std::uint16_t bank, std::uint16_t* out);
  virtual std::uint8_t AccessReg72To75(std::uint16_t bank, int write, std::uint64_t* value);
  virtual std::uint8_t AccessReg76(std::uint16_t bank, int write, std::uint16_t* data);
  // Bit 0 of bank 1's sub-register 0 by read-modify-write (one select); the
  // write-back's result, 0 with nothing written back when the select or the
  // read failed.
  virtual std::uint8_t SetBank1ControlBit0();
  virtual std::uint8_t ClearBank1ControlBit0();
  // Uploads a long user pattern into the pattern memory of the channel's
  // lane-pair device: binary text (mode 0 and others), PAM4 symbols 0-3
  // (mode 1) or hexadecimal digits (mode 2), repeated to fill whole blocks of
  // 80 bits. False, with nothing sent, for a channel outside 0 to 15, a text of
  // fewer than 80 bits, more than 414 blocks or a character the mode rejects.
  virtual bool UploadUserPattern(int ch, std::string pattern, std::uint32_t mode);

  // ---- Control registers 39 and 40 (clock/ClockOutputs.cpp) ----
  // Value truncated to a 32-bit signed integer: bits 16-31 to register 39,
  // bits 0-15 to 40; true. False with nothing sent when the value is not a
  // number or does not fit 32 bits.
  virtual bool WriteControl39(double value);

  // ---- Extended command (core/Identity.cpp) ----
  // The free-form parameter block: ten bytes, a 16-bit word, four bytes.
  virtual bool SendExtendedCommand(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3, std::uint8_t a4,
                                   std::uint8_t a5, std::uint8_t a6, std::uint8_t a7, std::uint8_t a8, std::uint8_t a9,
                                   std::uint16_t word, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                   std::uint8_t b3);

  // ---- Module power and supply, port levels (signal/BoardRegisters.cpp) ----
  // Register 52 of every port 0 .. channelCount / 4 - 1 receives 1 when on is
  // non-zero (through SetModulePower with the inverted flag); lastStatus = the
  // AND of the calls (1 when there is no port).
  virtual std::uint8_t SetAllModulesPower(std::uint8_t on);
  // Volts x 100 to register 53 (lastStatus); volts outside 3.1 to 3.6 (NaN
  // included) send nothing, clear lastStatus and give 0.
  virtual std::uint8_t SetModuleSupplyVoltage(std::uint16_t port, double volts);
  // Register 54 / 256 in volts (lastStatus).
  virtual std::uint8_t ReadModuleSupplyVoltage(std::uint16_t port, double* volts);
  // Register 55 / 256 into a, then module monitors 40 and 41 into b and c;
  // lastStatus = the AND of the three reads.
  virtual std::uint8_t ReadModuleSupplyCurrents(std::uint32_t port, double* a, double* b, double* c);
  // Bank 0: bits 16-31 of the limit (truncated) to 58, bits 0-15 to 59, then
  // flag to 57; lastStatus = the AND of the three writes.
  virtual std::uint8_t SetModuleSupplyLimit(double value, std::uint8_t flag);
  // Bank-0 register 60, active low: 0 when on is 1, else 1 (lastStatus).
  virtual std::uint8_t SetModuleGlobalEnable(std::uint8_t on);
  // Register 52: 1 (off) when on is 0, else 0 (lastStatus).
  virtual std::uint8_t SetModulePower(std::uint16_t port, std::uint8_t on);
  // 1 when register 62 reads 0 (lastStatus).
  virtual std::uint8_t ReadModuleStatusPin(std::uint16_t port, std::uint8_t* out);
  // Bank-0 register 63: 1 when on is non-zero, else 0 (L).
  virtual std::uint8_t SetModuleEnable63(std::uint8_t on);
  // Lane register 0x221 of banks port x 4 to port x 4 + 3 = min(value, 31);
  // lastStatus = the AND of the four writes.
  virtual std::uint8_t SetPortLaneLevels(std::uint32_t port, std::uint16_t value);
  // Lane register 0x221 of bank port x 4 = *code (L).
  virtual std::uint8_t WritePortLevelCode(std::uint32_t port, const std::uint16_t* code);

  // ---- Option reads, continued (core/Connection.cpp) ----
  virtual std::uint8_t ReadOptionReg34(std::uint32_t* out);
  virtual std::uint8_t ReadOptionReg31(std::uint32_t* out);

  // ---- Lane control register 0x22C (signal/DspWindow.cpp) ----
  // Lane register 0x22C of a bank = the low 16 bits of value (no channel map),
  // then item 51 recorded for that lane; the write's result.
  virtual std::uint8_t SetLaneControl22C(int bank, std::uint32_t value);

  // ---- Instrument network settings (core/Network.cpp) ----
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

  // ---- Module pin 46, second operation (signal/BoardRegisters.cpp) ----
  // The body of ReadModulePin46.
  virtual std::uint8_t ReadModulePin46Alias(std::uint32_t port, std::uint8_t* out);

  // ---- QSFP-DD and OSFP cages (signal/ModuleCages.cpp) ----
  // The port pins and monitors, AccessPortPin35 to ReadPortMonitor43, are in
  // signal/BoardRegisters.cpp.
  // The port is the bank of the cage's registers; no model or port check.
  // lastStatus = the result unless said otherwise. Pins hold the electrical
  // level. Reads fill their outputs whether or not the transfer succeeded.

  // Write the level 1 for a value of 1, else 0 (no active-low inversion); the
  // write's result, lastStatus untouched.
  virtual std::uint8_t QDD_SetMODINIT(std::uint16_t port, std::uint8_t value);
  virtual std::uint8_t QDD_SetMODRST(std::uint16_t port, std::uint8_t value);
  virtual std::uint8_t QDD_SetMODSEL(std::uint16_t port, std::uint8_t value);
  // 1 when the interrupt register 47 is non-zero (the level, not "asserted").
  virtual std::uint8_t QDD_ReadINTLevel(std::uint32_t port, std::uint8_t* out);
  // Supply currents 49 to 52 in units of the register / 256.
  virtual std::uint8_t QDD_ReadVCCTXCurrentScaled(std::uint32_t port, double* out);
  virtual std::uint8_t QDD_ReadVCCRXCurrentScaled(std::uint32_t port, double* out);
  virtual std::uint8_t QDD_ReadVCCCurrentScaled(std::uint32_t port, double* out);
  virtual std::uint8_t QDD_ReadVCC1CurrentScaled(std::uint32_t port, double* out);
  // Whole volts: bits 8-15 of bank-0 register 53.
  virtual std::uint8_t QDD_ReadVoltageWhole(double* out);
  // Module bus of the QSFP-DD cages: bank-0 33 = address, 34 = data (the
  // value truncated to 16 bits); lastStatus = the AND of both transfers.
  virtual std::uint8_t QDD_ReadI2C(std::uint16_t address, double* value);
  virtual std::uint8_t QDD_WriteI2C(std::uint16_t address, double value);

  // Port pins and monitors (bank = port; lastStatus = the result). Pins 35 to
  // 38: write 1 sends 1 for *val of 1 (else 0), any other write reads *val = 1
  // when the pin is 1. Pin 39 reads 1 when non-zero, 40 when not 1, 41 when 0;
  // monitors 42 and 43 in units of the register / 256.
  virtual std::uint8_t AccessPortPin35(std::uint8_t write, std::uint16_t port, std::uint8_t* val);
  virtual std::uint8_t AccessPortPin36(std::uint8_t write, std::uint16_t port, std::uint8_t* val);
  virtual std::uint8_t AccessPortPin37(std::uint8_t write, std::uint16_t port, std::uint8_t* val);
  virtual std::uint8_t AccessPortPin38(std::uint8_t write, std::uint16_t port, std::uint8_t* val);
  virtual std::uint8_t ReadPortPin39(std::uint16_t port, std::uint8_t* out);
  virtual std::uint8_t ReadPortPin40(std::uint16_t port, std::uint8_t* out);
  virtual std::uint8_t ReadPortPin41(std::uint16_t port, std::uint8_t* out);
  virtual std::uint8_t ReadPortMonitor42(std::uint16_t port, double* out);
  virtual std::uint8_t ReadPortMonitor43(std::uint16_t port, double* out);
  // Read/write pins: write 1 sets the pin from *value (1 asserts), any other
  // write reads it into *value (1 asserted). Active low: select, reset; active
  // high: initialisation mode, low-power mode.
  virtual std::uint8_t QDD_7686_MODINIT(std::uint32_t write, std::uint16_t port, std::uint8_t* value);
  virtual std::uint8_t QDD_7686_MODSEL(std::uint32_t write, std::uint16_t port, std::uint8_t* value);
  virtual std::uint8_t QDD_7686_MODRST(std::uint32_t write, std::uint16_t port, std::uint8_t* value);
  // 1 when the active-low present or interrupt pin reads 0.
  virtual std::uint8_t QDD_7686_MODPRS(std::uint16_t port, std::uint8_t* present);
  virtual std::uint8_t QDD_7686_INT(std::uint16_t port, std::uint8_t* asserted);
  // Supply currents as the raw register; supply voltage in volts (register / 256).
  virtual std::uint8_t QDD_7686_VCC_Current(std::uint16_t port, double* current);
  virtual std::uint8_t QDD_7686_VCC1_Current(std::uint16_t port, double* current);
  virtual std::uint8_t QDD_7686_VCCTX_Current(std::uint16_t port, double* current);
  virtual std::uint8_t QDD_7686_VCCRX_Current(std::uint16_t port, double* current);
  virtual std::uint8_t QDD_7686_Voltage(std::uint16_t port, double* volts);
  virtual std::uint8_t OSFP_7686_MODLP(std::uint32_t write, std::uint16_t port, std::uint8_t* value);
  virtual std::uint8_t OSFP_7686_MODRST(std::uint32_t write, std::uint16_t port, std::uint8_t* value);
  virtual std::uint8_t OSFP_7686_MODPRS(std::uint16_t port, std::uint8_t* present);
  virtual std::uint8_t OSFP_7686_INT(std::uint16_t port, std::uint8_t* asserted);
  virtual std::uint8_t OSFP_7686_VCC_Current(std::uint16_t port, double* current);
  virtual std::uint8_t OSFP_7686_Voltage(std::uint16_t port, double* volts);
  // Module bus of the OSFP cages: bank-0 56 = address, 57 = data.
  virtual std::uint8_t OSFP_7686_ReadI2C(std::uint16_t address, double* value);
  virtual std::uint8_t OSFP_7686_WriteI2C(std::uint16_t address, double value);
  // Writes bank-0 register 13 = 0, waits 10 ms and reads the type there;
  // lastStatus = the AND of both transfers.
  virtual std::uint8_t ReadAdapterType_7686(std::uint16_t* type);

  // ---- Stored records, raw EEPROM words, transmitter lock, line rate ----
  // calibration/OptimalSettings.cpp: SaveOptimalSettings, ReadOptimalSettings;
  // calibration/Eeprom.cpp: ReadEEPROMQword, WriteValueToEEPROM,
  // ReadValueFromEEPROM; signal/Patterns.cpp: ReadTXLock, ReSyncRX;
  // clock/LineRate.cpp: LineRateConfiguration_7668B;
  // clock/LineRateVariants.cpp: LineRateConfigurationPam4C.

  // Optimal-settings records: five doubles at 0x9000 + 40 (4a + b), records
  // ending at or below 0xFFFF only.
  virtual bool SaveOptimalSettings(int a, int b, const double* values);
  virtual bool ReadOptimalSettings(std::uint32_t a, std::uint32_t b, double* values);
  // One double read byte by byte with 10 ms after each byte.
  virtual std::uint8_t ReadEEPROMQword(std::uint16_t address, double* value);
  // Transmitter lock of a lane (*locked 1 when locked) and resynchronisation
  // of its checker; both return the transfer's result, kept in lastStatus.
  virtual std::uint8_t ReadTXLock(std::uint32_t lane, std::uint8_t* locked);
  virtual std::uint8_t ReSyncRX(std::uint32_t lane);
  // Lane 0's line rate with PAM4 and option flags: records items 1, 0, 32,
  // 33, 34, 37 (bank105), 35 (pam4) and 44 first, writes the integer lane
  // rate, loads the 500-pair clock file (0 when it cannot be opened), then
  // 0x100 = 1 at bank = mode, 0x105 at bank = bank105 (bit 0 pam4, bit 1 from
  // 27 Gb/s, bits 2, 3, 5 and 14 the flags' bit 0, bits 8-13 the rate row's
  // option bits) and 0x205 = 1. 1 when the last write succeeded.
  // A rate that is not a finite number: 0, with nothing sent, recorded or changed.
  virtual std::uint8_t LineRateConfiguration_7668B(double rate, int mode, int pam4, std::uint32_t rateFlag32,
                                                   std::uint32_t rateFlag33, std::uint32_t rateFlag34,
                                                   std::uint32_t bank105, std::uint32_t rateFlag44);
  // As LineRateConfigurationPam4B without the 0x100 write: 0x105 = pam4 |
  // (rate >= 30.2) << 1 | f32 << 2 | f33 << 3 | bit4 << 4 | f34 << 5 | f52 <<
  // 10 at bank105 (and 4); waits 100 ms after the file, 5000 ms after 0x205 and
  // 100 ms after the records. Items 1, 0, 32, 33, 35, 48, 34, 52.
  // A rate that is not a finite number: 0, with nothing sent, recorded or changed.
  virtual std::uint32_t LineRateConfigurationPam4C(double rate, std::uint32_t pam4, std::uint32_t rateFlag33,
                                                   std::uint32_t rateFlag32, std::uint32_t rateFlagBit4,
                                                   std::uint32_t mode, std::uint32_t rateFlag48,
                                                   std::uint32_t reg104Value, std::uint32_t rateFlag34,
                                                   std::uint32_t bank105, std::uint32_t rateFlag52);
  // Raw 16-bit EEPROM access through registers 10 and 11 (whole words).
  virtual std::uint8_t WriteValueToEEPROM(std::uint16_t address, std::uint16_t value);
  virtual std::uint8_t ReadValueFromEEPROM(std::uint16_t address, std::uint16_t* value);

  // ---- Transmitter taps (signal/Transmitter.cpp) ----
  // Transmitter taps 0 to 6 (0x22D..0x233, items 54..60), -1000..1000.
  virtual std::uint8_t Tap0(int ch, int value);
  virtual std::uint8_t Tap1(int ch, int value);
  virtual std::uint8_t Tap2(int ch, int value);
  virtual std::uint8_t Tap3(int ch, int value);
  virtual std::uint8_t Tap4(int ch, int value);
  virtual std::uint8_t Tap5(int ch, int value);
  virtual std::uint8_t Tap6(int ch, int value);

  // ---- Date stamp of the measurement logs (measure/CsvLogs.cpp) ----
  // The date stamp of measurement-log names: local "Date-YYYY-MM-DD-Time-HH-MM-SS",
  // "-" and the system clock's milliseconds (0-999, not padded). Leaves its
  // working values in dateScratch.
  virtual std::string MakeDateTimeStamp();

  // ---- Device-register window (core/Identity.cpp) ----
  // Device-register window 0x200/0x201; device 8 sits at a model-dependent bank offset.
  virtual std::uint8_t WriteDeviceRegister(std::uint16_t bank, std::uint16_t device, std::uint16_t reg,
                                           std::uint16_t value);
  virtual std::uint16_t ReadDeviceRegister(std::uint16_t bank, std::uint16_t device, std::uint16_t reg);

  // ---- Parsers of the pattern upload (signal/Patterns.cpp) ----
  // Parsers of the pattern upload: 8 PAM4 symbols, 4 hexadecimal digits or 16
  // binary digits into one 16-bit word; false on a character outside the set.
  virtual bool ParsePam4Pattern8(const char* text, std::uint16_t* out);
  virtual bool ParseHexPattern16(const char* text, std::uint16_t* out);
  virtual bool ParseBinaryPattern16(const char* text, std::uint16_t* out);

  // ---- Channel map (core/Connection.cpp) ----
  // Channel count and channel map of a model; always 1.
  virtual int SetChannelMap(std::uint32_t model);

  // ---- Clock files (clock/ClockFiles.cpp) ----
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

  // ---- Straight-line crossing (measure/FittedCurves.cpp) ----
  // The x at which the straight line through (x1, y1) and (x2, y2) reaches target.
  virtual double InterpolateCrossing(double x1, double y1, double x2, double y2, double target);

  // ---- Raw eye-capture blocks (measure/EyeCapture.cpp) ----
  // Copy the 512 words src[block x 512 ..] to the same positions of channel
  // ch's raw store A (512 blocks) or B (1024 blocks) in captureArea; nothing
  // copied for a channel outside 0-3, a block beyond the store or a null src.
  // Always 0.
  virtual int StoreEyeBlockA(int ch, std::uint32_t block, const std::uint16_t* src);
  virtual int StoreEyeBlockB(int ch, std::uint32_t block, const std::uint16_t* src);

  // ---- Mask test, module monitor 36, lane rate updates ----
  // signal/BoardRegisters.cpp: TestMask, ReadModuleMonitor36;
  // clock/LaneRate.cpp: SetGroupLineRate, BeginLaneRateUpdate,
  // EndLaneRateUpdate, CommitLaneRateUpdate.

  // True when (value AND mask) equals mask; no register access.
  virtual bool TestMask(int value, std::uint8_t mask);
  // Module monitor 36 of a port in units of the register / 256 (lastStatus).
  virtual std::uint8_t ReadModuleMonitor36(std::uint32_t port, double* out);
  // Re-rates lanes 4 x group to 4 x group + 3 (the lane is the bank), keeping
  // each lane's words 0x229 to 0x22B; records nothing. A rate that is not a
  // finite number: nothing is sent.
  virtual void SetGroupLineRate(double rate, int group);
  // Lane rate update: 0x228 = 1 opens it, 0x228 = 0 closes it, 0x22C = 1
  // commits it (then 100 ms).
  virtual void BeginLaneRateUpdate(std::uint16_t bank);
  virtual void EndLaneRateUpdate(std::uint16_t bank);
  virtual void CommitLaneRateUpdate(std::uint16_t bank);

  // ---- Eye centring, clock-like pattern output ----
  // measure/EyeContour.cpp: CenterSamplingPoint; measure/EyeOpening.cpp:
  // ComputeThresholdStep; clock/ClockOutputs.cpp: ClockOutByPattern.

  // Centres the sampling point on the eye of a capture's arrays (layout of
  // CaptureEyeDiagram): the threshold at the eye's centre level (EyeContour)
  // and the phase at the middle of its range (64, or 32 on the 64-step
  // models). The centre in threshold steps, unrounded; NaN with nothing sent
  // for a channel outside 0-15 or a null array, and when there is no eye.
  virtual double CenterSamplingPoint(int ch, const double* x, const double* y, const double* ber);
  // mV per threshold step for the centring: the lane's measured step on the
  // models whose step is measured (0.0 for a channel outside 0-15), else the
  // rate polynomial rateScalePoly at rateGbps.
  virtual double ComputeThresholdStep(int ch, double rateGbps);
  // Clock-like pattern on the transmitter of channel 0 to 3 (bank 5 + channel):
  // the lane's rate code (the read-back code when usable, else 16, 32, 66 or
  // 100 by its rate, below 32 Gb/s) to 0x205 with up to three readiness
  // checks, then SetUserPattern40x2 for channel 5 + channel with the pattern's
  // words (80, 40, 20 or 10 bits per period for patterns 1 to 4, zeros
  // otherwise); its result. 0 with nothing sent for another channel, and with
  // no code or pattern sent when the rate has no code.
  virtual std::uint8_t ClockOutByPattern(int channel, int pattern);

  // ---- Placeholder, always true (core/Tessok_API.cpp) ----
  virtual bool ReturnTrueStub();

  // ==== Non-virtual operations ====

  // ---- Board traits (core/Connection.cpp) ----
  // Works out `board` from the model's row and what identification read;
  // SetChannelMap calls it at every connection.
  void RefreshBoardTraits();

  // ---- Curve read-out and checks ----
  // measure/FittedCurves.cpp: GetVerticalClosureAtBER; measure/CurveCheck.cpp:
  // IsCurveWellFormed, CleanBathtubCurve.

  std::uint8_t GetVerticalClosureAtBER(int ch, double ber, double* closure);
  // Whether the channel's stored curve (first n entries) has the shape of a bathtub.
  bool IsCurveWellFormed(bool vertical, int ch, int n);
  // Drops flank points whose BER moves the wrong way and packs the curve again.
  void CleanBathtubCurve(bool vertical, int ch, int n);

  // ---- Cage pins read without lastStatus (signal/BoardRegisters.cpp) ----
  // Cage pins read without touching lastStatus: true when 44 or 45 is
  // non-zero, or 46 is not 1 (bank 0, other registers, on a 7841).
  bool ReadCagePin44(std::uint16_t port);
  bool ReadCagePin45(std::uint16_t port);
  bool ReadCagePin46(std::uint16_t port);

  // ==== Data members, in declaration order ====

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

// The table of instrument objects behind the exported functions (api/Instances.cpp).
inline constexpr int kApiInstanceCount = 32;
extern Tessok_API g_apiInstances[kApiInstanceCount];

// Heap factory (core/Tessok_API.cpp): a zero-filled, constructed object (null
// when memory runs out).
Tessok_API* CreateApiInstance();
// Destroys and frees an object from CreateApiInstance; ignores null.
void DestroyApiInstance(Tessok_API* api);
