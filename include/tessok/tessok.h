/*
 * tessok: control library for bit-error-rate test instruments.
 *
 * ---- Objects, results and threads ----
 *
 * The library holds TESSOK_INSTANCE_COUNT (32) instrument objects. Every
 * function but APIGetAPIRev takes the object's index (0 to 31) first; an index
 * of 32 or more, or a null text or result pointer, returns the function's
 * failure value (0, 0.0 or false) without touching anything. Unless stated
 * otherwise a u8 result is 1 for success and 0 for failure. Each object drives
 * one instrument over one TCP connection (port 6653).
 *
 * The library starts no threads and takes no locks; every call runs in the
 * caller's thread and blocks while it waits for the instrument. Different
 * indexes may be driven from different threads at the same time. One index
 * must be used by one thread at a time: two threads calling the same index at
 * once share its single connection and get each other's replies.
 *
 * Units: line rate in Gb/s, levels in mV, supply voltages in V (read in
 * 1/256 V), elapsed counter time in ms, signal-to-noise ratio in dB.
 *
 * ---- The link ----
 *
 * Every register access or other command is one 128-byte request answered by
 * one reply taken with a single receive. Opening the connection (APIConnect),
 * sending and receiving each wait at most 100 s (TESSOK_LINK_TIMEOUT_MS). Any
 * failed exchange closes the
 * connection: a send that does not take all 128 bytes, a receive error or the
 * 100 s time-out, the instrument closing the connection, or a reply shorter
 * than the command needs (3 bytes for a register read, 128 for an EEPROM page,
 * the block a measurement decodes). Every later exchange on that index then
 * fails at once, sending nothing, until the next APIConnect; so does every
 * exchange before the first APIConnect and after APIDisconnect. (A function
 * whose result does not report its transfers still returns its usual value.)
 *
 * What the link does not catch: a reply that holds the bytes its command needs
 * but is longer, arrives split after them, or is followed by a reply nobody
 * asked for leaves the rest waiting on the connection. The next command's
 * single receive then takes those bytes as its reply and reports success
 * with them.
 *
 * A failed register read still fills the caller's word: with bytes 1-2 of the
 * last reply the index received (0 before the first). Outputs said below to be
 * "filled also after a failure" then hold such stale bytes, not the register's
 * value; the result tells the two apart.
 *
 * ---- Channels, lanes and banks ----
 *
 * Registers are addressed by a bank (0 to 15, a 4-bit field of the request)
 * and a register number (0 to 0x7FF). A lane is a bank number: the status
 * table and the library's per-lane values are kept per lane. Channels are
 * numbered from 0; the channel count comes from the model read at connection:
 *
 *   channels  models
 *   2         7592
 *   3         7758
 *   4         7609, 7621, 7622, 7652, 7726, 7733, 7760, 7766, 7775, 7780,
 *             7781, 7792, 7812, 7822, 7837, 7841, and every model not listed
 *   4 or 8    7653 (8 when register 31 reads 2 or 3 and register 32 reads 1
 *             in its high byte), 7746 (8 when register 34 reads 1)
 *   8         7668, 7686
 *   10        7614
 *   12        7698
 *   16        7769, 7828
 *
 * The channel map sends channel n to bank n for the entries the model writes
 * (its channel count; 8 entries on 7592, 7621, 7766, 7780, 7812 and 7837; none
 * on a model not listed, whose connection leaves the map as it was).
 *
 * Mapped channels (through the channel map): APIOutputLevel, APIPreEmphasis,
 * APIPostEmphasis, APIMainTap, APITap0 to APITap6, APICTLESetValue,
 * APIDSPMode, APISetPRBSPattern, APISetTxUserPatternLumo, APIPRBSVerfication,
 * APIGetPam4Histogram. They take a channel whose entry the connected model
 * writes (0 to 7 on a four-channel 7780, 0 to 3 on a 7652); any other channel
 * returns 0 with nothing sent or recorded, so it never reaches bank 0 or a
 * lane an earlier connection's larger board left in the map. On a model not
 * listed they take 0 to 15 through the map as it stands.
 * APISaveCalibrationValues takes 0 to channel count - 1 through the map.
 * The channel is the bank itself: APIInnerEyeLevel, APIOuterEyeLevel,
 * APIReadErrorCorrectionKestrin, APIErrorInsertion, APIErrorInserationMode,
 * APIErrorInsertionKestrine, APIReSyncRX, APIReadTXLock,
 * APIGetPam4SignalToNoiseRatio and the cage ports take 0 to 15 (not checked
 * against the channel count); 16 and up, or a negative channel, returns 0
 * with nothing sent or recorded and the output untouched. APITempRead takes
 * any bank, of which the request keeps the low 4 bits. APIMonitor and
 * APIWriteStatusToEEProm take the lane (0 to 15 checked). The counters of
 * every channel (APIRealTimeBEREnable, APIReadRealTimeBER) use banks 0 to
 * channel count - 1 and return 0, with nothing sent, on an object with no
 * channels (never connected); apiBERClearErrorCounters takes a channel code.
 *
 * Two models move a lane, by an option register read at connection:
 * - 7775 whose register 33 reads 11 or 12: channel 3 is served by bank 2 in
 *   APISetPRBSPattern, APIPreEmphasis, APIPostEmphasis, APITap0 to APITap6,
 *   APIDSPMode, APIPRBSVerfication, APIErrorInsertion, APIOutputLevel's
 *   register 0x400, and APIMonitor (channel 3 reads lane 2's items);
 * - 7841 whose register 57 has bit 6 set: bank 1 is replaced by bank 0 in
 *   APICTLESetValue, APIDSPMode and APIPRBSVerfication; APISetPRBSPattern
 *   writes channel 1 at bank 1 and then repeats it for channel 0.
 *
 * ---- Status items ----
 *
 * The instrument's EEPROM keeps a status table: 96 doubles per lane, the item
 * i of lane l at 0x2000 + 8 (96 l + i) (at 0x4000 + ... on 7780 and 7686, and
 * for lanes 4 to 7 of an eight-channel 7653 or 7746). Most setters record the
 * requested value there before they write their registers; the record's result
 * is not examined and does not stop the write. Items the exports record (the
 * lane is the mapped bank unless said; values as given, as doubles):
 *
 *   item    setting                                  recorded by
 *   0, 1    line-rate mode, line rate in Gb/s        APILineRateConfiguration_7668B
 *                                                    (lane 0); item 1 of every
 *                                                    channel is read by APIConnect
 *   2       clock output, (divider & 7) << 5 |       APIClockOut7668B (lane 0)
 *           (source & 3)
 *   5, 10,  pattern code, p3, p4, p5, each as its    APISetPRBSPattern
 *   8, 11   low 16 bits unsigned
 *   9       output level in mV                       APIOutputLevel (the channel)
 *   14, 15  pre- and post-emphasis                   APIPreEmphasis, APIPostEmphasis
 *   16      error-insertion word (Kestrine: c)       APIErrorInsertion (the bank),
 *                                                    APIErrorInsertionKestrine (the channel)
 *   17      CTLE value; 15 after DSP mode 0          APICTLESetValue, APIDSPMode
 *   31, 50  PAM4 inner and outer eye level           APIInnerEyeLevel, APIOuterEyeLevel
 *   32, 33, rate flags 32, 33, 34, PAM4 flag,        APILineRateConfiguration_7668B
 *   34, 35, bank105, rate flag 44                    (lane 0)
 *   37, 44
 *   49      main tap                                 APIMainTap
 *   54-60   taps 0 to 6                              APITap0 to APITap6
 *   68      DSP mode (7668 whose register 31         APIDSPMode
 *           reads 11)
 *
 * APIMonitor reads any item back and APIWriteStatusToEEProm writes any; the
 * library writes no other item through this interface. An item never written
 * holds what the EEPROM holds (an erased EEPROM reads as NaN).
 *
 * ---- Waits ----
 *
 * Recording or reading one status item takes 80 ms of fixed waits (10 ms after
 * each of its 8 bytes): every setter that records (one item each;
 * APISetPRBSPattern four, 320 ms; APILineRateConfiguration_7668B eight,
 * 640 ms), APIWriteStatusToEEProm and APIMonitor; APIConnect reads item 1 of
 * every channel (80 ms per channel). Further waits: APIReadOptimalSettings
 * 400 ms, a clock file 20 ms after its last pair, APIReadAdapterType_7686
 * 10 ms. The other EEPROM writes, the raw EEPROM accesses and the page reads
 * do not wait. On top of these, each exchange may wait up to the link's 100 s.
 */
#ifndef TESSOK_TESSOK_H
#define TESSOK_TESSOK_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "tessok/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ===== Constants ===== */

#define TESSOK_INSTANCE_COUNT 32          /* instrument objects: indexes 0 to 31 */
#define TESSOK_MAX_CHANNELS 16            /* channels, lanes and banks: 0 to 15 */
#define TESSOK_PORT 6653                  /* the instrument's TCP port */
#define TESSOK_LINK_TIMEOUT_MS 100000     /* send and receive time-out of the link */
#define TESSOK_IP_TEXT_BYTES 16           /* room for a dotted IPv4 text with its NUL */
#define TESSOK_CALIBRATION_VALUES_MAX 320 /* APIReadCalibrationValues on any model */
#define TESSOK_OPTIMAL_SETTINGS_VALUES 5  /* doubles per optimal-settings record */
#define TESSOK_HISTOGRAM_BINS 160         /* APIGetPam4Histogram: doubles per array */
#define TESSOK_PATTERN_USER 5             /* APISetPRBSPattern: the user pattern */
#define TESSOK_ALL_CHANNELS 16            /* apiBERClearErrorCounters: every channel */

/* The write argument of APIAccessBoardRegister and of the cage pins. */
enum tessok_access { TESSOK_READ = 0, TESSOK_WRITE = 1 };

/* The mode of APIRealTimeBEREnable. */
enum tessok_ber_mode { TESSOK_BER_STOP = 0, TESSOK_BER_START = 1 };

/* Status items (see the table above): the item of APIMonitor and
 * APIWriteStatusToEEProm. */
enum tessok_status_item {
  TESSOK_ITEM_LINE_RATE_MODE = 0,
  TESSOK_ITEM_LINE_RATE = 1,
  TESSOK_ITEM_CLOCK_OUTPUT = 2,
  TESSOK_ITEM_PATTERN = 5,
  TESSOK_ITEM_PATTERN_P4 = 8,
  TESSOK_ITEM_OUTPUT_LEVEL = 9,
  TESSOK_ITEM_PATTERN_P3 = 10,
  TESSOK_ITEM_PATTERN_P5 = 11,
  TESSOK_ITEM_PRE_EMPHASIS = 14,
  TESSOK_ITEM_POST_EMPHASIS = 15,
  TESSOK_ITEM_ERROR_INSERTION = 16,
  TESSOK_ITEM_CTLE = 17,
  TESSOK_ITEM_INNER_EYE_LEVEL = 31,
  TESSOK_ITEM_RATE_FLAG_32 = 32,
  TESSOK_ITEM_RATE_FLAG_33 = 33,
  TESSOK_ITEM_RATE_FLAG_34 = 34,
  TESSOK_ITEM_RATE_PAM4 = 35,
  TESSOK_ITEM_RATE_RANGE_BANK = 37,
  TESSOK_ITEM_RATE_FLAG_44 = 44,
  TESSOK_ITEM_MAIN_TAP = 49,
  TESSOK_ITEM_OUTER_EYE_LEVEL = 50,
  TESSOK_ITEM_TAP0 = 54, /* tap n at TESSOK_ITEM_TAP0 + n, n = 0 to 6 */
  TESSOK_ITEM_DSP_MODE = 68,
  TESSOK_ITEM_COUNT = 96 /* items per lane: 0 to 95 */
};

/* ===== Connection and identity ===== */

/* Library revision, 7324.0; needs no index and no connection. */
TESSOK_EXPORT double APIGetAPIRev(void);
/* Connects to the instrument at a dotted IPv4 address (converted directly, no
 * name resolution; port 6653) and identifies it. A connection still open on
 * the index is closed first. Once the TCP connection is up it reads the model
 * (register 20), the model's option registers, sets the channel count and map,
 * loads the level calibration tables from the EEPROM and reads item 1 (line
 * rate) of every channel.
 * 1 means only that the TCP connection opened: the identification reads may
 * still have failed (against a silent instrument the first read times out
 * after 100 s, the link closes, 1 is returned and later exchanges fail at
 * once).
 * Check APIReadBoardID. 0 when the connection could not be opened. */
TESSOK_EXPORT int APIConnect(uint8_t index, const char* ip);
/* Closes the connection. 1 when the socket closed without error; 0 when the
 * index held none (never connected, disconnected, or closed by a failed
 * exchange). */
TESSOK_EXPORT uint8_t APIDisconnect(uint8_t index);
/* Sets the clock-file directory, the curve and eye CSV directories and the two
 * CSV switches (non-zero = write CSV logs); works with or without a
 * connection. Each directory is a prefix to which a file name is appended as
 * it stands: end it with its separator ("./clk/", the clock directory until
 * set). Directories are neither checked nor created. Clock files are named
 * <clockDir><rate>.clk (APILineRateConfiguration_7668B); the curve directory
 * and switch serve APIGetPam4Histogram's log; no export writes an eye log.
 * Returns true; false, with nothing changed, when a directory is a null
 * pointer. */
TESSOK_EXPORT bool APIConfigureApplication(uint8_t index, const char* clockDir, const char* curveDir,
                                           const char* eyeDir, int saveCurves, int saveEye);
/* Board model number (register 20 of bank 0); 0 when the read failed. The
 * word read, stale or not, also replaces the model number that many
 * operations consult (the channel count and map stay as identified). */
TESSOK_EXPORT int APIReadBoardID(uint8_t index);
/* Short serial number: register 22 << 16 | register 21, as a signed 32-bit
 * value. No failure value: a failed read contributes stale bytes. */
TESSOK_EXPORT int APIReadBoardSN(uint8_t index);
/* Writes the serial number: low 16 bits to register 21, high 16 bits to 22.
 * Returns 1 whatever the writes report. */
TESSOK_EXPORT int APIWriteBoardSN(uint8_t index, uint32_t serial);
/* Serial number of either form (one u64 and one u32). Reads registers 21 to
 * 25; when register 25 / 5 (integer division) equals register 24: *isLong = 1
 * and *serial = r24 << 48 | r23 << 32 | r22 << 16 | r21; else *isLong = 0 and
 * *serial = the short serial number (registers 21 and 22 read again, as
 * APIReadBoardSN) widened with its sign (bit 31 set fills the upper 32 bits
 * with ones). Returns 1 whatever the reads report (all-zero
 * stale words read as a long serial number 0). */
TESSOK_EXPORT int APIReadSerialNumber(uint8_t index, uint64_t* serial, uint32_t* isLong);
/* Firmware revision: register 9 / 10 (123 reads 12.3). No failure value: a
 * failed read gives the stale word / 10. */
TESSOK_EXPORT double APIReadFirmwareRevision(uint8_t index);
/* Register 16 at bank (not checked: the request keeps its low 4 bits) as its
 * raw 16-bit value; the library does not convert it. 0.0 when the read failed. */
TESSOK_EXPORT double APITempRead(uint8_t index, int bank);

/* ===== Registers and network settings ===== */

/* One register access: write = 0 (TESSOK_READ) reads into *data (one u16),
 * any other value writes *data. Neither bank nor register is checked: the
 * request keeps the bank's low 4 bits, and a register above 0x7FF spills into
 * the bank field. 1 when the exchange succeeded; a failed read still fills
 * *data with stale bytes. */
TESSOK_EXPORT uint8_t APIAccessBoardRegister(uint8_t index, uint8_t write, uint16_t bank, uint16_t reg, uint16_t* data);
/* Sets the instrument's own IPv4 address, mask or gateway. The text must be
 * exactly four decimal fields 0 to 255 separated by dots (white space around
 * the whole text allowed); any other text returns 0 and sends nothing. Two
 * registers of bank 0 take two fields each (first field in bits 7-0): the
 * address 4 (a.b) then 3 (c.d), the mask 5 (c.d) then 6 (a.b), the gateway 7
 * (c.d) then 8 (a.b). 1 when the second write succeeded. */
TESSOK_EXPORT uint8_t APIChangeIPConfiguration(uint8_t index, const char* ip);
TESSOK_EXPORT uint8_t APISetEthIPMask(uint8_t index, const char* mask);
TESSOK_EXPORT uint8_t APISetEthIPGateway(uint8_t index, const char* ip);
/* Reads the instrument's IPv4 address, mask or gateway as dotted text with its
 * NUL into a caller buffer of TESSOK_IP_TEXT_BYTES (16) bytes. The text is
 * written also after a failure (from stale words). 1 when the second read
 * succeeded. */
TESSOK_EXPORT uint8_t APIreadIPConfiguration(uint8_t index, char* text);
TESSOK_EXPORT uint8_t APIreadIPMask(uint8_t index, char* text);
TESSOK_EXPORT uint8_t APIreadGateway(uint8_t index, char* text);

/* ===== Calibration and EEPROM ===== */

/* Level calibration: per-lane tables in the instrument's EEPROM, held by the
 * library (loaded at APIConnect). Their layout by model, in doubles per lane,
 * and the rows a save names by kind:
 *
 *   layout   models                   per lane  kind: row (doubles)
 *   generic  every model not below    10        1: low-rate row (5), 2: high-rate row (5)
 *   swing    7592, 7621, 7837, and    40        0 to 7: swing entry k (5)
 *            7668 unless its          48 in the cubic form (7621 and 7837 whose
 *            register 31 reads 11     register 14 reads 3): entries of 6
 *   alt      7746, 7769               18        0: low-rate row (6), 1 and 2: the two
 *                                               halves of the high-rate row (6 each)
 *   alt7     7766, 7812, and 7668     14        0: low-rate row (7), 1: high-rate row (7)
 *            whose register 31 reads 11
 *
 * The tables cover lanes 0 to channel count - 1 (lanes 4 to 7 on a 7780 whose
 * register 31 does not read 0xAA and register 32 does). APIOutputLevel
 * converts with the generic and swing tables; the alt and alt7 models take
 * the level raw. */

/* Reloads the level tables from the EEPROM (128-byte page reads). Returns 1
 * whatever the reads report: after a failure the tables hold stale reply
 * bytes. */
TESSOK_EXPORT int APILoadCalibrationValue(uint8_t index);
/* Resets the held level tables so that the conversions pass the level through
 * (code = level truncated); 7822 resets lanes 0 to 7, 7841 lanes 0 to 3, 7746
 * nothing, every other model its channels (the swing family reads register 14
 * for its form). The EEPROM is not written: APILoadCalibrationValue brings the
 * stored tables back. Returns 1. */
TESSOK_EXPORT int APILoadDefaultCalibration(uint8_t index);
/* Copies the level tables into out, lane after lane in the layout's per-lane
 * count: channel count x that count doubles, at most
 * TESSOK_CALIBRATION_VALUES_MAX (320) on any model. The swing family copies
 * the held tables; every other layout reloads them from the EEPROM first.
 * Returns 1 (writes nothing before the first connection). */
TESSOK_EXPORT int APIReadCalibrationValues(uint8_t index, double* out);
/* Writes one row of a channel's level table into the EEPROM: ch 0 to channel
 * count - 1 (through the channel map; on the 7780 whose tables load from lanes
 * 4 to 7, channel n still writes lane n), kind and the number of doubles in
 * values by the table above. A channel or kind outside it returns false with
 * nothing sent. The held tables are not changed (APILoadCalibrationValue
 * reloads them). No waits. True when every transfer succeeded. */
TESSOK_EXPORT bool APISaveCalibrationValues(uint8_t index, int ch, int kind, const double* values);
/* Records a value in the status table: lane 0 to 15 (the lane itself), item 0
 * to 95 (tessok_status_item); anything else returns 0 with nothing sent.
 * 80 ms. 1 when all 16 transfers succeeded. */
TESSOK_EXPORT uint8_t APIWriteStatusToEEProm(uint8_t index, int lane, int16_t item, double value);
/* Reads item (0 to 95) of channel ch (0 to 15; the lane, after the 7775's move
 * of lane 3) into *value (one double). On 7828, 7698 and 7758 item 1 (the line
 * rate) is read from lane 0 for every channel 0 to 15 (any other channel is
 * refused there too). 80 ms. Returns 1 when all 16
 * transfers succeeded, else 0; *value is filled also after a failure (stale
 * bytes), and left alone for a channel or item outside the table. */
TESSOK_EXPORT uint32_t APIMonitor(uint8_t index, uint32_t ch, uint8_t item, double* value);
/* Writes value as a double (8 bytes, least significant first) at EEPROM
 * addresses address (not checked) to address + 7, one byte per register pair
 * (10 = address, 11 = byte); bytes from 0x10000 up go through bank 1 with
 * register 10 holding the low 16 bits. No waits. 1 when all 16 transfers
 * succeeded. */
TESSOK_EXPORT uint8_t APIWriteEEPROMAddress(uint8_t index, uint32_t address, uint16_t value);
/* Reads the 128-byte EEPROM page at address (32 bits, not checked) and puts
 * its first two bytes, little-endian, in *value (one u16). It does not read
 * back APIWriteEEPROMAddress: the first two bytes of the double stored there
 * are 0 for every 16-bit value. Returns 1, or 0 when the exchange failed
 * (*value then from stale bytes). */
TESSOK_EXPORT uint32_t APIReadEEPROMAddress(uint8_t index, uint32_t address, uint16_t* value);
/* Raw 16-bit access at a 16-bit address: register 10 (bank 0) = address, then
 * register 11 written with the whole value, or read whole into *value (one
 * u16; filled also after a failure). No waits. 1 when both transfers
 * succeeded. */
TESSOK_EXPORT uint8_t APIWriteValueToEEPROM(uint8_t index, uint16_t address, uint16_t value);
TESSOK_EXPORT uint8_t APIReadValueFromEEPROM(uint8_t index, uint16_t address, uint16_t* value);
/* Optimal-settings records, kept for the application: TESSOK_OPTIMAL_SETTINGS_VALUES
 * (5) doubles per record at EEPROM 0x9000 + 40 (4a + b). b is not limited to
 * 0 to 3 ((a, b) and (a + 1, b - 4) are one record); negative indexes and
 * records ending above 0xFFFF (4a + b above 715) return false with nothing
 * sent. Records 0 to 11 lie over the EEPROM area of an auxiliary calibration
 * table. The save writes without waits; the read takes the 40 bytes one by
 * one with 10 ms after each (400 ms) and fills values also after a failure.
 * True when every transfer succeeded. */
TESSOK_EXPORT bool APISaveOptimalSettings(uint8_t index, int a, int b, const double* values);
TESSOK_EXPORT bool APIReadOptimalSettings(uint8_t index, uint32_t a, uint32_t b, double* values);

/* ===== Lane settings and patterns ===== */

/* The transmitter and receiver setters below record their status item first
 * (80 ms) and then write the lane register; a value out of range returns 0
 * with nothing recorded or sent. Values are sent as their low 16 bits (two's
 * complement for negative values). 1 when the (last) register write
 * succeeded. */

/* Output level of a channel in mV (any finite value; item 9, recorded for the
 * channel). NaN or an infinity returns 0 with nothing recorded or sent. The
 * code, by model:
 * - 7746, 7769, 7766, 7812, and 7668 whose register 31 reads 11: register
 *   0x20E = the level truncated to an integer, low 16 bits; nothing else.
 * - 7828, 7698, 7758: the level truncated to an integer.
 * - 7775: the level calibration, its high-rate row from 18.6 Gb/s of the
 *   channel's line rate; 7822: the same from 15 Gb/s (with register 30
 *   reading 0, the code limited to 0 to 63 goes to chip register 9 and
 *   nothing else); every other model: the calibration from 20 Gb/s, given
 *   bank-0 register 14 (read first, not checked). The swing family converts
 *   with swing entry 0 (no export sets the output swing). The line rate is
 *   the library's: item 1 read at connection, for lane 0 as
 *   APILineRateConfiguration_7668B last set it.
 * Then a negative code becomes 0 and a code above 16 bits 0xFFFF, and it goes
 * to register 0x20E on 7592, 7609, 7621, 7652, 7653, 7668, 7686, 7698, 7758,
 * 7760, 7781, 7828, 7837, 7841, 7775 (except bank 3), a 7822 whose register 30
 * is not 0 and register 32 does not read 0xAA, and a 7792 whose register 30 is
 * not 0; a 7792 whose register 30 reads 0 writes chip register 9 = the level's
 * integer part & 0x3F instead. Every other model enables the output (register
 * 0x408 = 1) and writes register 0x400 = the code capped at 4095 (on the 7775
 * at bank 2 for channel 3 when lane 3 is moved). Chip register 9 is written
 * as lane registers 0x21F = 9, then 0x220 = the value: 1 when either write
 * succeeded. When the calibration gives no number for the code (the lane's
 * table holds NaN, as an erased or never calibrated EEPROM block reads), it
 * returns 0 after the record (and the read of register 14) and writes no
 * level register and no output enable; the 7792 path that writes the level's
 * integer part is not affected. */
TESSOK_EXPORT uint8_t APIOutputLevel(uint8_t index, int ch, double level);
/* PAM4 inner (register 0x202, item 31) and outer (0x22A, 0x22B on 7746; item
 * 50) eye level; ch 0 to 15 is the bank; any value. */
TESSOK_EXPORT uint8_t APIInnerEyeLevel(uint8_t index, uint32_t ch, int value);
TESSOK_EXPORT uint8_t APIOuterEyeLevel(uint8_t index, uint32_t ch, int value);
/* Transmitter equalisation of a mapped channel:
 *   function      register      item  range
 *   pre-emphasis  0x20C         14    0 to 100 (-1000 to 1000 on 7746, 7769, 7766,
 *   post-emphasis 0x20D         15    7812 and a 7668 whose register 31 reads 11)
 *   main tap      0x228 (0x22A  49    any value
 *                 on 7746)
 *   tap n, 0-6    0x22D + n     54+n  -1000 to 1000 */
TESSOK_EXPORT uint8_t APIPreEmphasis(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APIPostEmphasis(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APIMainTap(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APITap0(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APITap1(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APITap2(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APITap3(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APITap4(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APITap5(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APITap6(uint8_t index, int ch, int value);
/* Receiver equaliser of a mapped channel. APICTLESetValue: register 0x21E =
 * value (item 17; not range-checked). APIDSPMode: register 0x21D = 1, then =
 * mode (not checked); it records item 17 = 15 for mode 0 and nothing for other
 * modes, except on a 7668 whose register 31 reads 11, which records item 68 =
 * mode. 1 when the mode write succeeded. */
TESSOK_EXPORT uint8_t APICTLESetValue(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APIDSPMode(uint8_t index, int ch, int mode);
/* Pattern selection of a mapped channel: four lane registers, 0x20F = pattern,
 * 0x210 = p3, 0x218 = p4 or its negation, 0x219 = p5, each as its low 16
 * bits; the library has no separate selection for the pattern checker.
 * Pattern code 5 (TESSOK_PATTERN_USER) selects the user pattern of the
 * pattern-word registers (APISetTxUserPatternLumo); every other code goes to
 * the instrument as it is, except as below. p3 and p5 are sent as given; p4:
 *
 *   models                                   register 0x218
 *   7609, 7621, 7652, 7653, 7668, 7686,      p4 as given
 *   7698, 7726, 7746, 7758, 7760, 7769,
 *   7822, 7828, 7837
 *   every other model                        1 when p4 is 0, else 0
 *
 * On 7792 a pattern code of 6 is sent (and recorded) as 7. Records items 5,
 * 10, 8 and 11 (320 ms) before the writes. On a 7841 that moves lane 1,
 * channel 1 is written at bank 1 and then again at bank 0 (records for lanes 1
 * and 0). 1 when the last write succeeded. */
TESSOK_EXPORT uint8_t APISetPRBSPattern(uint8_t index, int ch, int pattern, int p3, uint32_t p4, int p5);
/* Transmitter user pattern of a mapped channel: register 0x212 = second bits
 * 31-16, then 15-0; register 0x211 = first bits 31-16, then 15-0. Records
 * nothing. 1 when the last write succeeded. */
TESSOK_EXPORT uint8_t APISetTxUserPatternLumo(uint8_t index, int ch, int first, int second);
/* Pattern-checker state of a mapped channel (register 0x21C, after a read of
 * 0x21B whose value is not used): non-zero when the checker is synchronised;
 * 0 when it is not, when the read failed, or for a channel without a map
 * entry. */
TESSOK_EXPORT uint16_t APIPRBSVerfication(uint8_t index, int ch);
/* Resynchronises the pattern checker: register 0x21C = 0 at bank lane (0 to
 * 15, not mapped). 1 when the write succeeded. */
TESSOK_EXPORT uint8_t APIReSyncRX(uint8_t index, uint32_t lane);
/* Transmitter lock (register 0x22B at bank lane, 0 to 15): *locked (one u8)
 * = 1 when the word read is non-zero, else 0, written also after a failure
 * (from the stale word; left alone for a lane outside 0 to 15). 1 when the
 * read succeeded. */
TESSOK_EXPORT uint8_t APIReadTXLock(uint8_t index, uint32_t lane, uint8_t* locked);

/* ===== Error insertion and counters ===== */

/* Error-insertion word of a channel (the bank, 0 to 15; channel 3 -> bank 2
 * on a 7775 that moves lane 3): item 16 = word, then register 0x20B = word as
 * given. Two names, one function. 1 when
 * the write succeeded. */
TESSOK_EXPORT uint8_t APIErrorInsertion(uint8_t index, uint32_t ch, uint16_t word);
TESSOK_EXPORT uint8_t APIErrorInserationMode(uint8_t index, uint32_t ch, uint16_t word);
/* Writes register 0x20B = first at bank ch (0 to 15, no fix-up), records
 * item 16 = c (not the word), then writes register 0x20B = the word, as its
 * low 16 bits:
 *
 *   bits 10-8  c & 7
 *   bits 7-1   b & 0x7F
 *   bit 0      a, ORed in whole (a value other than 0 or 1 also sets higher bits)
 *
 * 1 when the second write succeeded. */
TESSOK_EXPORT uint8_t APIErrorInsertionKestrine(uint8_t index, uint32_t ch, int a, int b, int c, uint16_t first);
/* Clears the error counters: register 0x302 at bank 3 = a channel code: ch + 4
 * for ch up to 16 (ch 16, TESSOK_ALL_CHANNELS, gives 20: every channel;
 * negative channels are sent as ch + 4 as well), 17 to 20 sent as they are
 * (the codes of channels 13 to 15, and 20), 20 above 20. 1 when the write
 * succeeded. */
TESSOK_EXPORT uint8_t apiBERClearErrorCounters(uint8_t index, int ch);
/* Starts or stops the running error counters of every channel through
 * register 0x302:
 *
 *   models                  mode 0 (stop)      mode 1 (start)         other mode m
 *   7746; 7668 whose        0 at banks 0 to    1 at banks 0 to        m at banks 0 to
 *   register 31 reads 11    count - 1          count - 1 (no clear)   count - 1
 *   7828, 7698, 7758        20 at bank 2       20 at bank 3 (clear),  20 at bank m
 *                                              then 20 at bank 1
 *   every other model       2 at banks 0, 4,   20 at bank 3 (clear),  m at banks 0, 4,
 *                           8 ... below count  then 1 at banks 0, 4.. 8 ... below count
 *
 * (count: the channel count.) 1 when every write succeeded; 0 with nothing
 * sent on an object with no channels (never connected). */
TESSOK_EXPORT uint8_t APIRealTimeBEREnable(uint8_t index, uint32_t mode);
/* Running error count and elapsed time of every channel: errors and elapsedMs
 * receive one entry per channel (channel count, at most 16), bank = channel.
 * Counts: registers 0x305, 0x304, 0x303 as bits 47-0, with register 0x30F as
 * bits 63-48 on 7746; elapsed ms: 0x307 << 16 | 0x306. On 7780 the option
 * registers are read again first. Entries are filled also after a failure.
 * 1 when every channel's read of 0x307 succeeded; 0 with nothing sent and
 * both arrays untouched on an object with no channels (never connected). */
TESSOK_EXPORT uint8_t APIReadRealTimeBER(uint8_t index, uint64_t* errors, uint32_t* elapsedMs);
/* The two error-correction counters of a lane (0 to 15, the bank): a[lane] =
 * 0x310 << 16 | 0x311, b[lane] = 0x314 << 16 | 0x315 (arrays of at least
 * lane + 1 entries). Returns 1 whatever the reads report (stale bytes after a
 * failure); 0 for a lane outside 0 to 15, with nothing read or written. */
TESSOK_EXPORT int APIReadErrorCorrectionKestrin(uint8_t index, int lane, uint32_t* a, uint32_t* b);

/* ===== Module cages ===== */

/* QSFP-DD and OSFP cages of a model 7686. A port (cage) number is the bank of
 * its registers: 0 to 15, not checked against the connected model; a port of
 * 16 and up returns 0 with nothing sent and the output untouched. Reads fill
 * their output (one u8, u16 or double) also after a failure, from the stale
 * word, and then return 0.
 * Pins hold the electrical level: select, reset, present and interrupt are
 * active low (asserted when the pin reads 0), QSFP-DD initialisation mode and
 * OSFP low-power mode active high (asserted when the pin reads 1). */

/* Read/write pins. write = 1 (TESSOK_WRITE) drives the pin from *value (1
 * asserts it, any other value releases it) and leaves *value alone; any other
 * write reads the pin: *value = 1 asserted, else 0. QSFP-DD initialisation
 * mode (register 48), module select (44) and reset (45); OSFP low-power mode
 * (61) and reset (59). 1 when the transfer succeeded. */
TESSOK_EXPORT uint8_t APIQDD_7686_MODINIT(uint8_t index, uint32_t write, uint16_t port, uint8_t* value);
TESSOK_EXPORT uint8_t APIQDD_7686_MODSEL(uint8_t index, uint32_t write, uint16_t port, uint8_t* value);
TESSOK_EXPORT uint8_t APIQDD_7686_MODRST(uint8_t index, uint32_t write, uint16_t port, uint8_t* value);
/* *present = 1 when a module sits in the QSFP-DD cage (register 46 reads 0). */
TESSOK_EXPORT uint8_t APIQDD_7686_MODPRS(uint8_t index, uint16_t port, uint8_t* present);
/* *asserted = 1 when the QSFP-DD module's interrupt is asserted (register 47 reads 0). */
TESSOK_EXPORT uint8_t APIQDD_7686_INT(uint8_t index, uint16_t port, uint8_t* asserted);
/* QSFP-DD supply currents as the raw register word (not converted): VCC
 * (register 50), VCC1 (49), VCCTX (51), VCCRX (52). */
TESSOK_EXPORT uint8_t APIQDD_7686_VCC_Current(uint8_t index, uint16_t port, double* current);
TESSOK_EXPORT uint8_t APIQDD_7686_VCC1_Current(uint8_t index, uint16_t port, double* current);
TESSOK_EXPORT uint8_t APIQDD_7686_VCCTX_Current(uint8_t index, uint16_t port, double* current);
TESSOK_EXPORT uint8_t APIQDD_7686_VCCRX_Current(uint8_t index, uint16_t port, double* current);
/* QSFP-DD supply voltage in V: register 53 / 256 (845 reads 3.30078125). */
TESSOK_EXPORT uint8_t APIQDD_7686_Voltage(uint8_t index, uint16_t port, double* volts);
/* QSFP-DD module bus, one 16-bit word per call: bank-0 register 33 = address,
 * then register 34 read into *value (one double, 0 to 65535) or written with
 * value truncated toward zero, its low 16 bits. 1 only when both transfers
 * succeeded. */
TESSOK_EXPORT uint8_t APIQDD_ReadI2C(uint8_t index, uint16_t address, double* value);
TESSOK_EXPORT uint8_t APIQDD_WriteI2C(uint8_t index, uint16_t address, double value);
/* OSFP pins, as the QSFP-DD ones above. */
TESSOK_EXPORT uint8_t APIOSFP_7686_MODLP(uint8_t index, uint32_t write, uint16_t port, uint8_t* value);
TESSOK_EXPORT uint8_t APIOSFP_7686_MODRST(uint8_t index, uint32_t write, uint16_t port, uint8_t* value);
/* *present = 1 when a module sits in the OSFP cage (register 60 reads 0). */
TESSOK_EXPORT uint8_t APIOSFP_7686_MODPRS(uint8_t index, uint16_t port, uint8_t* present);
/* *asserted = 1 when the OSFP module's interrupt is asserted (register 58 reads 0). */
TESSOK_EXPORT uint8_t APIOSFP_7686_INT(uint8_t index, uint16_t port, uint8_t* asserted);
/* OSFP supply current as the raw register word (register 62). */
TESSOK_EXPORT uint8_t APIOSFP_7686_VCC_Current(uint8_t index, uint16_t port, double* current);
/* OSFP supply voltage in V: register 63 / 256. */
TESSOK_EXPORT uint8_t APIOSFP_7686_Voltage(uint8_t index, uint16_t port, double* volts);
/* OSFP module bus (bank-0 registers 56 = address, 57 = data), as the QSFP-DD one. */
TESSOK_EXPORT uint8_t APIOSFP_7686_ReadI2C(uint8_t index, uint16_t address, double* value);
TESSOK_EXPORT uint8_t APIOSFP_7686_WriteI2C(uint8_t index, uint16_t address, double value);
/* Adapter type into *type (one u16): writes 0 to bank-0 register 13, waits
 * 10 ms and reads it there. 1 only when both transfers succeeded. */
TESSOK_EXPORT uint8_t APIReadAdapterType_7686(uint8_t index, uint16_t* type);

/* ===== Line rate and clock ===== */

/* Line rate of lane 0 in Gb/s from a clock file, with PAM4 and option flags.
 * A NaN or infinite rate returns 0 with nothing sent and nothing recorded.
 * Otherwise, in this order:
 * 1. lane 0's rate as the library keeps it = rate; lane 0 records items 1, 0,
 *    32, 33, 34, 37, 35 and 44 (640 ms; kept even when the file is missing);
 *    registers 0x207 and 0x208 (bank 0) = bits 7-0 and 15-8 of the rate
 *    truncated to an integer;
 * 2. the clock file <clock directory><rate>.clk (format below); 0 when it
 *    cannot be opened;
 * 3. register 0x100 = 1 at bank mode; register 0x105 (below) at bank bank105;
 *    register 0x205 = 1 at bank 0. 1 when the 0x205 write succeeded.
 *
 *   argument    where it goes                              item
 *   mode        the bank of the 0x100 write (low 4 bits)   0
 *   pam4        bit 0 -> 0x105 bit 0                       35
 *   rateFlag32  bit 0 -> 0x105 bit 2                       32
 *   rateFlag33  bit 0 -> 0x105 bit 3                       33
 *   rateFlag34  bit 0 -> 0x105 bit 5                       34
 *   bank105     the bank of the 0x105 write (low 4 bits)   37
 *   rateFlag44  bit 0 -> 0x105 bit 14                      44
 *
 * Register 0x105 also has bit 1 set from 27 Gb/s and in bits 13-8 the option
 * bits of the rate's range (low <= rate < high, Gb/s; 0 outside them):
 * 1.12-2.24: 0, 2.24-3.12: 1, 3.12-3.74: 2, 3.74-6.27: 4, 6.27-9.0: 6,
 * 9.0-12.5: 12, 12.5-14.0: 23, 14.0-18.0: 25, 18.0-24.0: 32, 24.0-29.0: 38,
 * 29.0-29.88: 43. Bits 4, 6, 7 and 15 are 0.
 *
 * Clock file: the rate is written with 10 significant digits in the general
 * format, trailing zeros dropped ("./clk/25.78125.clk", "./clk/28.clk"); only
 * a regular file is opened (a directory or device under the name counts as
 * missing). Lines end in a line feed (a carriage return before it is
 * accepted). Up to 500 lines from the first are each one pair: the chip
 * register address, exactly one separator character of any kind, and the
 * value. Each field is read as
 * strtod does in the "C" locale (leading white space, decimal, "0x"
 * hexadecimal and exponent forms), truncated toward zero and sent as its low
 * 16 bits: register 0x106 = address, then 0x107 = value, at bank 0 (their
 * results are not examined). There are no comments: a line that does not
 * begin with a number is the address 0 with its value read from its second
 * character (the "BertOnly" line that begins the files the library writes is
 * the pair 0, 0), an empty line is the pair 0, 0, a line with nothing after
 * its address has value 0, and a line longer than 99 characters is cut there,
 * sent, and ends the file. The end of the file ends the loading; lines after
 * the 500th are not read. 20 ms after the last pair. */
TESSOK_EXPORT uint8_t APILineRateConfiguration_7668B(uint8_t index, double rate, int mode, int pam4,
                                                     uint32_t rateFlag32, uint32_t rateFlag33, uint32_t rateFlag34,
                                                     uint32_t bank105, uint32_t rateFlag44);
/* Clock output: records item 2 of lane 0 = (divider & 7) << 5 | (source & 3)
 * (80 ms), then bank-0 register 0x103 = source and register 0x102 (source 3)
 * or 0x104 (any other source) = divider, each as its low 16 bits; neither is
 * range-checked. 1 when both register writes succeeded. */
TESSOK_EXPORT uint8_t APIClockOut7668B(uint8_t index, uint32_t source, uint32_t divider);

/* ===== Measurement ===== */

/* PAM4 level histogram of a mapped channel: one result block of the bank,
 * TESSOK_HISTOGRAM_BINS (160) bins; x receives the bin positions -5.0 to
 * 4.9375 in steps of 1/16 and counts the signed 32-bit counts (room for 160
 * doubles each). With curve logs switched on (APIConfigureApplication) the
 * bins are also written to
 * <curve directory>Histogram_<bank>_Date-YYYY-MM-DD-Time-HH-MM-SS-<ms>.csv
 * (local time, ms 0 to 999 not padded), one "x,count" line each ("%f", ending
 * in "\r\n"). The log is written under a temporary name of its own in the same
 * folder (created exclusively, never through a link) and renamed over its
 * name once complete.
 * 1 on success; 0 when ch has no map entry (see above) or the reply did not
 * arrive whole (x and counts untouched, no log), or when the log could not be
 * written (x and counts filled, no part of the log left). */
TESSOK_EXPORT uint8_t APIGetPam4Histogram(uint8_t index, int ch, double* x, double* counts);
/* PAM4 signal-to-noise ratio in dB into *snr (one double): register 0x30E at
 * bank ch (the channel itself, 0 to 15; any other channel returns 0 with
 * nothing sent and *snr untouched). 7746: 37.1 - 10 log10(word)
 * (+infinity for 0); every other model word / 10. 1 when the read succeeded;
 * after a failed read 0, *snr still computed from the stale word. */
TESSOK_EXPORT uint8_t APIGetPam4SignalToNoiseRatio(uint8_t index, int ch, double* snr);

#ifdef __cplusplus
}
#endif

#endif
