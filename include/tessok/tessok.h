/*
 * tessok: control library for bit-error-rate test instruments.
 *
 * The library holds 32 instrument objects. Every function but APIGetAPIRev
 * takes the object's index (0 to 31) first; an index of 32 or more, or a null
 * text or result pointer, returns the function's failure value (0, 0.0 or
 * false) without touching anything. Unless stated otherwise a u8 result is 1
 * for success and 0 for failure. Each object drives one instrument over one TCP
 * connection (port 6653).
 *
 * Threads: the library starts no threads and takes no locks; every call runs
 * in the caller's thread and blocks while it waits for the instrument.
 * Different indexes may be driven from different threads at the same time.
 * One index must be used by one thread at a time: two threads calling the same
 * index at once share its single connection and get each other's replies.
 *
 * Units: line rate in Gb/s, clock frequencies in MHz, levels and thresholds in
 * mV, time in ps, supply voltages read back in 1/256 V, elapsed time in ms.
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

/* ===== Connection and identity ===== */

/* Library revision (7324.0); needs no index and no connection. */
TESSOK_EXPORT double APIGetAPIRev(void);
/* Connects to the instrument at a dotted IPv4 address (port 6653) and
 * identifies it. 1 when the TCP connection opened (even if later reads fail),
 * 0 when it could not be opened. Disconnect before connecting the same index again. */
TESSOK_EXPORT int APIConnect(uint8_t index, const char* ip);
/* Closes the connection. 1 when the socket closed without error. */
TESSOK_EXPORT uint8_t APIDisconnect(uint8_t index);
/* Sets the clock-file directory, the curve and eye CSV directories and the two
 * CSV switches (non-zero = write CSV logs). Returns true. */
TESSOK_EXPORT bool APIConfigureApplication(uint8_t index, const char* clockDir, const char* curveDir,
                                           const char* eyeDir, int saveCurves, int saveEye);
/* Board model number read from the instrument; 0 on failure. */
TESSOK_EXPORT int APIReadBoardID(uint8_t index);
/* Board serial number (short form). */
TESSOK_EXPORT int APIReadBoardSN(uint8_t index);
/* Writes the board serial number. */
TESSOK_EXPORT int APIWriteBoardSN(uint8_t index, uint32_t serial);
/* Serial number in *serial; *isLong = 1 for the long form. */
TESSOK_EXPORT int APIReadSerialNumber(uint8_t index, uint64_t* serial, uint32_t* isLong);
/* Firmware revision (register value / 10). */
TESSOK_EXPORT double APIReadFirmwareRevision(uint8_t index);
/* Temperature register of a bank, as the raw register value. */
TESSOK_EXPORT double APITempRead(uint8_t index, int bank);

/* ===== Registers and network settings ===== */

/* Reads (write = 0) or writes (write = 1) register reg (below 0x800) of bank
 * (0 to 15); *data is the value written or receives the value read. */
TESSOK_EXPORT uint8_t APIAccessBoardRegister(uint8_t index, uint8_t write, uint16_t bank, uint16_t reg, uint16_t* data);
/* Sets the instrument's own IPv4 address, mask or gateway: exactly four decimal
 * fields 0 to 255 separated by dots; any other text returns 0 and sends nothing. */
TESSOK_EXPORT uint8_t APIChangeIPConfiguration(uint8_t index, const char* ip);
TESSOK_EXPORT uint8_t APISetEthIPMask(uint8_t index, const char* mask);
TESSOK_EXPORT uint8_t APISetEthIPGateway(uint8_t index, const char* ip);
/* Reads the instrument's IPv4 address, mask or gateway as dotted text into a
 * caller buffer of at least 16 bytes. */
TESSOK_EXPORT uint8_t APIreadIPConfiguration(uint8_t index, char* text);
TESSOK_EXPORT uint8_t APIreadIPMask(uint8_t index, char* text);
TESSOK_EXPORT uint8_t APIreadGateway(uint8_t index, char* text);

/* ===== Calibration and EEPROM ===== */

/* Loads the level calibration tables from the instrument's EEPROM. */
TESSOK_EXPORT int APILoadCalibrationValue(uint8_t index);
/* Resets the level calibration to its defaults in the EEPROM. */
TESSOK_EXPORT int APILoadDefaultCalibration(uint8_t index);
/* Reads the level calibration back into out. */
TESSOK_EXPORT int APIReadCalibrationValues(uint8_t index, double* out);
/* Saves a channel's calibration values of one kind into the EEPROM. */
TESSOK_EXPORT bool APISaveCalibrationValues(uint8_t index, int ch, int kind, const double* values);
/* Records a per-lane setting (status item 0 to 95) in the EEPROM. */
TESSOK_EXPORT uint8_t APIWriteStatusToEEProm(uint8_t index, int lane, int16_t item, double value);
/* Reads a recorded per-lane setting into *value. */
TESSOK_EXPORT uint32_t APIMonitor(uint8_t index, uint32_t ch, uint8_t item, double* value);
/* Writes value as a double (8 bytes) at an EEPROM address. */
TESSOK_EXPORT uint8_t APIWriteEEPROMAddress(uint8_t index, uint32_t address, uint16_t value);
/* Reads a 16-bit value from an EEPROM address. */
TESSOK_EXPORT uint32_t APIReadEEPROMAddress(uint8_t index, uint32_t address, uint16_t* value);
/* Raw 16-bit EEPROM write and read. */
TESSOK_EXPORT uint8_t APIWriteValueToEEPROM(uint8_t index, uint16_t address, uint16_t value);
TESSOK_EXPORT uint8_t APIReadValueFromEEPROM(uint8_t index, uint16_t address, uint16_t* value);
/* Optimal-settings records: five doubles per index pair (a, b). */
TESSOK_EXPORT bool APISaveOptimalSettings(uint8_t index, int a, int b, const double* values);
TESSOK_EXPORT bool APIReadOptimalSettings(uint8_t index, uint32_t a, uint32_t b, double* values);

/* ===== Lane settings and patterns ===== */

/* Transmitter and receiver setters: ch is a channel 0 to 15; any other
 * channel returns 0 and sends nothing. Each records the requested value in the
 * instrument's status table before it writes (the DSP mode as said below); a
 * value out of range returns 0 with nothing recorded or sent. 1 when the
 * register write succeeded. */

/* Output level of a channel in mV, through the level calibration at the
 * channel's line rate (on models 7746, 7769, 7766, 7812 and on a 7668 with
 * option word 31 = 11 the level is written as the raw register value, truncated
 * to an integer; on 7828, 7698 and 7758 as the truncated level). Codes below 0
 * are sent as 0, codes above 16 bits as 0xFFFF; on the models with an output
 * enable the code is capped at 4095 and the output is enabled first. */
TESSOK_EXPORT uint8_t APIOutputLevel(uint8_t index, int ch, double level);
/* PAM4 inner and outer eye levels of a channel (any value, sent as 16 bits). */
TESSOK_EXPORT uint8_t APIInnerEyeLevel(uint8_t index, uint32_t ch, int value);
TESSOK_EXPORT uint8_t APIOuterEyeLevel(uint8_t index, uint32_t ch, int value);
/* Transmitter equalisation. Pre- and post-emphasis 0 to 100 (-1000 to 1000 on
 * the raw-level models named at APIOutputLevel); main tap any value; taps 0 to
 * 6 -1000 to 1000. Negative values are sent as 16-bit two's complement. */
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
/* Receiver equaliser: the CTLE value (0 to 15 in use; not range-checked) and
 * the DSP mode. DSP mode 0 also records the CTLE as 15 (on a 7668 with option
 * word 31 = 11 the mode itself is recorded instead). */
TESSOK_EXPORT uint8_t APICTLESetValue(uint8_t index, int ch, int value);
TESSOK_EXPORT uint8_t APIDSPMode(uint8_t index, int ch, int mode);
/* Pattern selection of a channel (0 to 15): pattern code (5 = the user
 * pattern of the pattern-word registers; on model 7792 a code of 6 is sent as
 * 7) and its options p3, p4 and p5, each sent as its low 16 bits. The four
 * values are recorded in the instrument's status table first. 1 when the last
 * register write succeeded; 0 for a channel outside 0 to 15, with nothing
 * recorded or sent. */
TESSOK_EXPORT uint8_t APISetPRBSPattern(uint8_t index, int ch, int pattern, int p3, uint32_t p4, int p5);
/* Transmitter user pattern of two 32-bit words: second goes to pattern-word
 * register 0x212 and first to 0x211, bits 31-16 then 15-0 each. Not recorded.
 * 1 when the last write succeeded; 0 for a channel outside 0 to 15. */
TESSOK_EXPORT uint8_t APISetTxUserPatternLumo(uint8_t index, int ch, int first, int second);
/* Pattern-checker state of a channel (0 to 15): non-zero when the checker is
 * synchronised; 0 when it is not, when the read failed, or for a channel
 * outside 0 to 15. */
TESSOK_EXPORT uint16_t APIPRBSVerfication(uint8_t index, int ch);
/* Resynchronises the pattern checker of a lane (the lane is the bank, not
 * mapped). 1 when the write succeeded. */
TESSOK_EXPORT uint8_t APIReSyncRX(uint8_t index, uint32_t lane);
/* Transmitter lock of a lane: *locked = 1 when locked, else 0 (written also
 * when the read failed). 1 when the read succeeded. */
TESSOK_EXPORT uint8_t APIReadTXLock(uint8_t index, uint32_t lane, uint8_t* locked);

/* ===== Error insertion and counters ===== */

/* Error-insertion word of a lane (the channel is the bank), recorded in the
 * status table first. Two names, one function. 1 when the write succeeded. */
TESSOK_EXPORT uint8_t APIErrorInsertion(uint8_t index, uint32_t ch, uint16_t word);
TESSOK_EXPORT uint8_t APIErrorInserationMode(uint8_t index, uint32_t ch, uint16_t word);
/* Writes first, then the word (c & 7) << 8 | (b & 0x7F) << 1 | a (a is not
 * masked) to the lane's error-insertion register; c is recorded in between.
 * 1 when the second write succeeded. */
TESSOK_EXPORT uint8_t APIErrorInsertionKestrine(uint8_t index, uint32_t ch, int a, int b, int c, uint16_t first);
/* Clears the error counters of a channel: 0 to 16 (16 = every channel), 17 to
 * 20 sent as a raw channel code, above 20 every channel. 1 when the command
 * was taken. */
TESSOK_EXPORT uint8_t apiBERClearErrorCounters(uint8_t index, int ch);
/* Starts (mode 1: after clearing every channel) or stops (mode 0) the running
 * error counters of every channel. 1 when every command was taken. */
TESSOK_EXPORT uint8_t APIRealTimeBEREnable(uint8_t index, uint32_t mode);
/* Running error count and elapsed time in ms of every channel: errors and
 * elapsedMs receive one entry per channel of the instrument (at most 16).
 * Counts have 64 bits on model 7746 and 48 bits elsewhere. 1 when the last
 * read of every channel succeeded. */
TESSOK_EXPORT uint8_t APIReadRealTimeBER(uint8_t index, uint64_t* errors, uint32_t* elapsedMs);
/* The two error-correction counters of a lane (0 to 15) into a[lane] and
 * b[lane] (arrays of at least lane + 1 entries). 1, whatever the transfers
 * report; 0 for a lane outside 0 to 15, with nothing read or written. */
TESSOK_EXPORT int APIReadErrorCorrectionKestrin(uint8_t index, int lane, uint32_t* a, uint32_t* b);

/* ===== Module cages ===== */

/* QSFP-DD and OSFP cages of a model 7686. A port (cage) number is the bank of
 * its registers (0 to 15); neither the port nor the connected model is
 * checked. Each function leaves its result in the object's last status as well.
 * Reads fill their output even when the transfer failed (with the last reply's
 * word), and then return 0. Pins hold the electrical level: select, reset,
 * present and interrupt are active low (asserted when the pin reads 0),
 * QSFP-DD initialisation mode and OSFP low-power mode active high. */

/* Read/write pins. write = 1 drives the pin from *value (1 asserts it, any
 * other value releases it) and leaves *value alone; any other write reads the
 * pin: *value = 1 asserted, 0 not. QSFP-DD initialisation mode (register 48,
 * active high), module select (44) and reset (45); OSFP low-power mode (61,
 * active high) and reset (59). */
TESSOK_EXPORT uint8_t APIQDD_7686_MODINIT(uint8_t index, uint32_t write, uint16_t port, uint8_t* value);
TESSOK_EXPORT uint8_t APIQDD_7686_MODSEL(uint8_t index, uint32_t write, uint16_t port, uint8_t* value);
TESSOK_EXPORT uint8_t APIQDD_7686_MODRST(uint8_t index, uint32_t write, uint16_t port, uint8_t* value);
/* *present = 1 when a module sits in the QSFP-DD cage (register 46 reads 0). */
TESSOK_EXPORT uint8_t APIQDD_7686_MODPRS(uint8_t index, uint16_t port, uint8_t* present);
/* *asserted = 1 when the QSFP-DD module's interrupt is asserted (register 47 reads 0). */
TESSOK_EXPORT uint8_t APIQDD_7686_INT(uint8_t index, uint16_t port, uint8_t* asserted);
/* QSFP-DD supply currents as the raw register word: VCC (register 50), VCC1
 * (49), VCCTX (51), VCCRX (52). */
TESSOK_EXPORT uint8_t APIQDD_7686_VCC_Current(uint8_t index, uint16_t port, double* current);
TESSOK_EXPORT uint8_t APIQDD_7686_VCC1_Current(uint8_t index, uint16_t port, double* current);
TESSOK_EXPORT uint8_t APIQDD_7686_VCCTX_Current(uint8_t index, uint16_t port, double* current);
TESSOK_EXPORT uint8_t APIQDD_7686_VCCRX_Current(uint8_t index, uint16_t port, double* current);
/* QSFP-DD supply voltage in V (register 53 in 1/256 V: 845 reads 3.30078125). */
TESSOK_EXPORT uint8_t APIQDD_7686_Voltage(uint8_t index, uint16_t port, double* volts);
/* QSFP-DD module bus (bank-0 registers 33 = address, 34 = data): reads the
 * 16-bit word at address into *value, or writes value truncated toward zero to
 * its low 16 bits. 1 only when both the address write and the data access
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
/* OSFP supply voltage in V (register 63 in 1/256 V). */
TESSOK_EXPORT uint8_t APIOSFP_7686_Voltage(uint8_t index, uint16_t port, double* volts);
/* OSFP module bus (bank-0 registers 56 = address, 57 = data), as the QSFP-DD one. */
TESSOK_EXPORT uint8_t APIOSFP_7686_ReadI2C(uint8_t index, uint16_t address, double* value);
TESSOK_EXPORT uint8_t APIOSFP_7686_WriteI2C(uint8_t index, uint16_t address, double value);
/* Adapter type into *type: writes 0 to bank-0 register 13, waits 10 ms and
 * reads it there. 1 only when both transfers succeeded. */
TESSOK_EXPORT uint8_t APIReadAdapterType_7686(uint8_t index, uint16_t* type);

/* ===== Line rate and clock ===== */

/* Sets the line rate of lane 0 in Gb/s from the clock file named after the
 * rate (up to 10 significant digits: "25.78125.clk") in the clock directory
 * (APIConfigureApplication; "./clk/" by default), a file of "address,value"
 * lines sent to the clock chip in order (at most its first 500).
 * First records lane 0's rate, mode, flags, bank105 and PAM4 flag in the
 * status table (kept even when the file is missing), then loads the file and
 * programs the rate range at bank bank105: bit 0 of pam4 and of each flag is
 * used; mode goes to the instrument with the rate control. 1 when the final
 * rate write succeeded; 0 when the clock file cannot be opened (a missing
 * file, a directory or other non-regular file under the name) or that write
 * failed. */
TESSOK_EXPORT uint8_t APILineRateConfiguration_7668B(uint8_t index, double rate, int mode, int pam4,
                                                     uint32_t rateFlag32, uint32_t rateFlag33, uint32_t rateFlag34,
                                                     uint32_t bank105, uint32_t rateFlag44);
/* Routes clock source 0 to 3 to the clock output with a divider: the setting
 * is recorded first in the instrument's status table (item 2 of lane 0 =
 * (divider & 7) << 5 | (source & 3)), then bank-0 register 0x103 receives
 * source and register 0x102 (source 3) or 0x104 (any other source) receives
 * divider, each as its low 16 bits. 1 when both register writes succeeded,
 * else 0. */
TESSOK_EXPORT uint8_t APIClockOut7668B(uint8_t index, uint32_t source, uint32_t divider);

/* ===== Measurement ===== */

/* PAM4 level histogram of channel ch (0 to 15, through the channel map): 160
 * bins, x receiving the bin positions -5.0 to 4.9375 in steps of 1/16 and
 * counts the signed bin counts (room for 160 doubles each). With curve logs
 * switched on (APIConfigureApplication) the bins are also written to
 * <curve directory>Histogram_<bank>_<date stamp>.csv, one "x,count" line each.
 * 1 on success; 0 when ch is out of range or the instrument's reply did not
 * arrive whole (x and counts untouched, no log), or when the log could not be
 * written (x and counts filled, no file left behind). */
TESSOK_EXPORT uint8_t APIGetPam4Histogram(uint8_t index, int ch, double* x, double* counts);
/* PAM4 signal-to-noise ratio of lane ch in dB in *snr, read from the lane's
 * bank ch itself (the channel map is not applied). 1 when the read succeeded;
 * after a failed read 0, *snr still being computed from the stale word the link
 * left. */
TESSOK_EXPORT uint8_t APIGetPam4SignalToNoiseRatio(uint8_t index, int ch, double* snr);

#ifdef __cplusplus
}
#endif

#endif
