#include <string>

#include "api/Boundary.h"
#include "tessok/tessok.h"

using tessok::api::Call;
using tessok::api::CallOnMapEntry;

// One line per export, so the list reads like the export table; the formatter
// leaves it as it is.
// clang-format off
extern "C" {

double APIGetAPIRev(void) { return Call(0, 0.0, [](Tessok_API& a) { return a.Tessok_API::GetAPIRev(); }); }
int APIConnect(uint8_t index, const char* ip) { return Call(index, 0, [&](Tessok_API& a) { return a.Tessok_API::Connect(std::string(ip)); }, ip); }
uint8_t APIDisconnect(uint8_t index) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::Disconnect(); }); }
bool APIConfigureApplication(uint8_t index, const char* clockDir, const char* curveDir, const char* eyeDir, int saveCurves, int saveEye) { return Call(index, false, [&](Tessok_API& a) { return a.Tessok_API::ConfigureApplication(std::string(clockDir), std::string(curveDir), std::string(eyeDir), saveCurves, saveEye) != 0; }, clockDir, curveDir, eyeDir); }
int APIReadBoardID(uint8_t index) { return Call(index, 0, [&](Tessok_API& a) { return a.Tessok_API::ReadBoardID(); }); }
int APIReadBoardSN(uint8_t index) { return Call(index, 0, [&](Tessok_API& a) { return a.Tessok_API::ReadBoardSN(); }); }
int APIWriteBoardSN(uint8_t index, uint32_t serial) { return Call(index, 0, [&](Tessok_API& a) { return a.Tessok_API::WriteBoardSN(serial); }); }
int APIReadSerialNumber(uint8_t index, uint64_t* serial, uint32_t* isLong) { return Call(index, 0, [&](Tessok_API& a) { return a.Tessok_API::ReadSerialNumber(serial, isLong); }, serial, isLong); }
double APIReadFirmwareRevision(uint8_t index) { return Call(index, 0.0, [&](Tessok_API& a) { return a.Tessok_API::ReadFirmwareRevision(); }); }
double APITempRead(uint8_t index, int bank) { return Call(index, 0.0, [&](Tessok_API& a) { return a.Tessok_API::TempRead(bank); }); }
uint8_t APIAccessBoardRegister(uint8_t index, uint8_t write, uint16_t bank, uint16_t reg, uint16_t* data) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::AccessBoardRegister(write, bank, reg, data); }, data); }
uint8_t APIChangeIPConfiguration(uint8_t index, const char* ip) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ChangeIPConfiguration(ip); }, ip); }
uint8_t APISetEthIPMask(uint8_t index, const char* mask) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::SetEthIPMask(mask); }, mask); }
uint8_t APISetEthIPGateway(uint8_t index, const char* ip) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::SetEthIPGateway(ip); }, ip); }
uint8_t APIreadIPConfiguration(uint8_t index, char* text) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::readIPConfiguration(text); }, text); }
uint8_t APIreadIPMask(uint8_t index, char* text) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::readIPMask(text); }, text); }
uint8_t APIreadGateway(uint8_t index, char* text) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::readGateway(text); }, text); }
int APILoadCalibrationValue(uint8_t index) { return Call(index, 0, [&](Tessok_API& a) { return a.Tessok_API::LoadCalibrationValue(); }); }
int APILoadDefaultCalibration(uint8_t index) { return Call(index, 0, [&](Tessok_API& a) { return a.Tessok_API::LoadDefaultCalibration(); }); }
int APIReadCalibrationValues(uint8_t index, double* out) { return Call(index, 0, [&](Tessok_API& a) { return a.Tessok_API::ReadCalibrationValues(out); }, out); }
bool APISaveCalibrationValues(uint8_t index, int ch, int kind, const double* values) { return Call(index, false, [&](Tessok_API& a) { return a.Tessok_API::SaveCalibrationValues(ch, kind, values) != 0; }, values); }
uint8_t APIWriteStatusToEEProm(uint8_t index, int lane, int16_t item, double value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::WriteStatusToEEProm(lane, item, value); }); }
uint32_t APIMonitor(uint8_t index, uint32_t ch, uint8_t item, double* value) { return Call(index, uint32_t{0}, [&](Tessok_API& a) { return a.Tessok_API::Monitor(ch, item, value); }, value); }
uint8_t APIWriteEEPROMAddress(uint8_t index, uint32_t address, uint16_t value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::WriteEEPROMAddress(address, static_cast<double>(value)); }); }
uint32_t APIReadEEPROMAddress(uint8_t index, uint32_t address, uint16_t* value) { return Call(index, uint32_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ReadEEPROMAddress(address, value); }, value); }
uint8_t APIWriteValueToEEPROM(uint8_t index, uint16_t address, uint16_t value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::WriteValueToEEPROM(address, value); }); }
uint8_t APIReadValueFromEEPROM(uint8_t index, uint16_t address, uint16_t* value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ReadValueFromEEPROM(address, value); }, value); }
bool APISaveOptimalSettings(uint8_t index, int a, int b, const double* values) { return Call(index, false, [&](Tessok_API& api) { return api.Tessok_API::SaveOptimalSettings(a, b, values); }, values); }
bool APIReadOptimalSettings(uint8_t index, uint32_t a, uint32_t b, double* values) { return Call(index, false, [&](Tessok_API& api) { return api.Tessok_API::ReadOptimalSettings(a, b, values); }, values); }
uint8_t APIOutputLevel(uint8_t index, int ch, double level) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OutputLevel(ch, level); }); }
uint8_t APIInnerEyeLevel(uint8_t index, uint32_t ch, int value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::InnerEyeLevel(ch, value); }); }
uint8_t APIOuterEyeLevel(uint8_t index, uint32_t ch, int value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OuterEyeLevel(ch, value); }); }
uint8_t APIPreEmphasis(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::PreEmphasis(ch, value); }); }
uint8_t APIPostEmphasis(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::PostEmphasis(ch, value); }); }
uint8_t APIMainTap(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::MainTap(ch, value); }); }
uint8_t APITap0(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::Tap0(ch, value); }); }
uint8_t APITap1(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::Tap1(ch, value); }); }
uint8_t APITap2(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::Tap2(ch, value); }); }
uint8_t APITap3(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::Tap3(ch, value); }); }
uint8_t APITap4(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::Tap4(ch, value); }); }
uint8_t APITap5(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::Tap5(ch, value); }); }
uint8_t APITap6(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::Tap6(ch, value); }); }
uint8_t APICTLESetValue(uint8_t index, int ch, int value) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::CTLESetValue(ch, value); }); }
uint8_t APIDSPMode(uint8_t index, int ch, int mode) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::DSPMode(ch, mode); }); }
uint8_t APISetPRBSPattern(uint8_t index, int ch, int pattern, int p3, uint32_t p4, int p5) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::SetPRBSPattern(ch, pattern, p3, p4, p5); }); }
uint8_t APISetTxUserPatternLumo(uint8_t index, int ch, int first, int second) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::SetTxUserPatternLumo(ch, first, second); }); }
uint16_t APIPRBSVerfication(uint8_t index, int ch) { return CallOnMapEntry(index, ch, uint16_t{0}, [&](Tessok_API& a) { return a.Tessok_API::PRBSVerfication(ch); }); }
uint8_t APIReSyncRX(uint8_t index, uint32_t lane) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ReSyncRX(lane); }); }
uint8_t APIReadTXLock(uint8_t index, uint32_t lane, uint8_t* locked) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ReadTXLock(lane, locked); }, locked); }
uint8_t APIErrorInsertion(uint8_t index, uint32_t ch, uint16_t word) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ErrorInsertion(ch, word); }); }
uint8_t APIErrorInserationMode(uint8_t index, uint32_t ch, uint16_t word) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ErrorInsertion(ch, word); }); }
uint8_t APIErrorInsertionKestrine(uint8_t index, uint32_t ch, int a, int b, int c, uint16_t first) { return Call(index, uint8_t{0}, [&](Tessok_API& api) { return api.Tessok_API::ErrorInsertionKestrine(ch, a, b, c, first); }); }
uint8_t apiBERClearErrorCounters(uint8_t index, int ch) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::BERClearErrorCounters(ch); }); }
uint8_t APIRealTimeBEREnable(uint8_t index, uint32_t mode) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::RealTimeBEREnable(mode); }); }
uint8_t APIReadRealTimeBER(uint8_t index, uint64_t* errors, uint32_t* elapsedMs) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ReadRealTimeBER(errors, elapsedMs); }, errors, elapsedMs); }
int APIReadErrorCorrectionKestrin(uint8_t index, int lane, uint32_t* a, uint32_t* b) { return Call(index, 0, [&](Tessok_API& api) { return api.Tessok_API::ReadErrorCorrectionKestrin(lane, a, b); }, a, b); }
uint8_t APIQDD_7686_MODINIT(uint8_t index, uint32_t write, uint16_t port, uint8_t* value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_MODINIT(write, port, value); }, value); }
uint8_t APIQDD_7686_MODSEL(uint8_t index, uint32_t write, uint16_t port, uint8_t* value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_MODSEL(write, port, value); }, value); }
uint8_t APIQDD_7686_MODRST(uint8_t index, uint32_t write, uint16_t port, uint8_t* value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_MODRST(write, port, value); }, value); }
uint8_t APIQDD_7686_MODPRS(uint8_t index, uint16_t port, uint8_t* present) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_MODPRS(port, present); }, present); }
uint8_t APIQDD_7686_INT(uint8_t index, uint16_t port, uint8_t* asserted) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_INT(port, asserted); }, asserted); }
uint8_t APIQDD_7686_VCC_Current(uint8_t index, uint16_t port, double* current) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_VCC_Current(port, current); }, current); }
uint8_t APIQDD_7686_VCC1_Current(uint8_t index, uint16_t port, double* current) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_VCC1_Current(port, current); }, current); }
uint8_t APIQDD_7686_VCCTX_Current(uint8_t index, uint16_t port, double* current) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_VCCTX_Current(port, current); }, current); }
uint8_t APIQDD_7686_VCCRX_Current(uint8_t index, uint16_t port, double* current) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_VCCRX_Current(port, current); }, current); }
uint8_t APIQDD_7686_Voltage(uint8_t index, uint16_t port, double* volts) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_7686_Voltage(port, volts); }, volts); }
uint8_t APIQDD_ReadI2C(uint8_t index, uint16_t address, double* value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_ReadI2C(address, value); }, value); }
uint8_t APIQDD_WriteI2C(uint8_t index, uint16_t address, double value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::QDD_WriteI2C(address, value); }); }
uint8_t APIOSFP_7686_MODLP(uint8_t index, uint32_t write, uint16_t port, uint8_t* value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OSFP_7686_MODLP(write, port, value); }, value); }
uint8_t APIOSFP_7686_MODRST(uint8_t index, uint32_t write, uint16_t port, uint8_t* value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OSFP_7686_MODRST(write, port, value); }, value); }
uint8_t APIOSFP_7686_MODPRS(uint8_t index, uint16_t port, uint8_t* present) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OSFP_7686_MODPRS(port, present); }, present); }
uint8_t APIOSFP_7686_INT(uint8_t index, uint16_t port, uint8_t* asserted) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OSFP_7686_INT(port, asserted); }, asserted); }
uint8_t APIOSFP_7686_VCC_Current(uint8_t index, uint16_t port, double* current) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OSFP_7686_VCC_Current(port, current); }, current); }
uint8_t APIOSFP_7686_Voltage(uint8_t index, uint16_t port, double* volts) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OSFP_7686_Voltage(port, volts); }, volts); }
uint8_t APIOSFP_7686_ReadI2C(uint8_t index, uint16_t address, double* value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OSFP_7686_ReadI2C(address, value); }, value); }
uint8_t APIOSFP_7686_WriteI2C(uint8_t index, uint16_t address, double value) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::OSFP_7686_WriteI2C(address, value); }); }
uint8_t APIReadAdapterType_7686(uint8_t index, uint16_t* type) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ReadAdapterType_7686(type); }, type); }
uint8_t APILineRateConfiguration_7668B(uint8_t index, double rate, int mode, int pam4, uint32_t rateFlag32, uint32_t rateFlag33, uint32_t rateFlag34, uint32_t bank105, uint32_t rateFlag44) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::LineRateConfiguration_7668B(rate, mode, pam4, rateFlag32, rateFlag33, rateFlag34, bank105, rateFlag44); }); }
uint8_t APIClockOut7668B(uint8_t index, uint32_t source, uint32_t divider) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::ClockOut7668B(source, divider); }); }
uint8_t APIGetPam4Histogram(uint8_t index, int ch, double* x, double* counts) { return CallOnMapEntry(index, ch, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::GetPam4Histogram(ch, x, counts); }, x, counts); }
uint8_t APIGetPam4SignalToNoiseRatio(uint8_t index, int ch, double* snr) { return Call(index, uint8_t{0}, [&](Tessok_API& a) { return a.Tessok_API::GetPam4SignalToNoiseRatio(ch, snr); }, snr); }

}  // extern "C"
// clang-format on
