// Connecting an instrument and identifying it: model number, option words,
// channel count and channel map.
#include <cmath>

#include "calibration/StatusItem.h"
#include "core/Lanes.h"
#include "core/Models.h"
#include "core/Registers.h"
#include "core/Tessok_API.h"
#include "link/Packet.h"

using namespace tessok;

namespace {

// Reads one board register into word; ORs the transfer result into result.
std::uint8_t ReadBoard(HwLayer& link, std::uint16_t reg, std::uint16_t* word, std::uint8_t& result) {
  std::uint8_t ok = link.AccessRegister(0, 0, reg, word);
  result = static_cast<std::uint8_t>(result | ok);
  return ok;
}

}  // namespace

int Tessok_API::Connect(std::string ip) {
  ipAddress = ip.c_str();  // the text up to its first NUL
  // A socket still held from an earlier connection is closed first rather than leaked.
  if (hwLayer.sock != platform::kNoSocket) hwLayer.Disconnect();
  if (!hwLayer.Connect(ipAddress.c_str(), link::kInstrumentPort)) return 0;

  calibration.SetFactoryDefaults();
  ReadBoardID();
  switch (ModelRow(boardModel).optionRead) {
    case OptionRead::BoardSubType: ReadBoardSubType(&boardSubType); break;
    case OptionRead::Regs33And30: ReadOptionRegs33And30(&option33, &option30); break;
    case OptionRead::Flags31To38: ReadOptionFlags31To38(&optionCodeC, &remapLane3, &option33Is12, &option38Set); break;
    case OptionRead::Flags30And31: ReadOptionFlags30And31(&optionCodeA); break;
    case OptionRead::Reg31: ReadOptionReg31(&option31); break;
    case OptionRead::Flags31And32: ReadOptionFlags31And32(&optionCodeC); break;
    case OptionRead::Flags30To32: ReadOptionFlags30To32(&optionCodeB); break;
    case OptionRead::Bits57: ReadOptionBits57(&option57Low, &option57Bit2, &remapLane1, &option57Bit7); break;
    case OptionRead::Reg34: ReadOptionReg34(&option34); break;
    case OptionRead::None: break;
  }
  SetChannelMap(boardModel);
  LoadCalibrationValue();

  for (int ch = 0; ch < channelCount && ch < kLaneCount; ++ch) {
    Monitor(static_cast<std::uint32_t>(ch), status::kLineRate, &lineRate[ch]);
    phaseStep[ch] = board.row->sixtyFourStep ? kSixtyFourStepPhaseStepPs : 1000.0 / (lineRate[ch] * 129.0);
  }
  for (int ch = 0; ch < channelCount && ch < kLaneCount; ++ch) {
    eyeMapValid[ch] = 0;
    for (double& ber : bathtubBer[ch]) ber = 0.0;
  }
  return 1;
}

std::uint8_t Tessok_API::Disconnect() { return hwLayer.Disconnect() ? 1 : 0; }

int Tessok_API::ConfigureApplication(std::string clockDir, std::string curveDir, std::string eyeDir, int saveCurves,
                                     int saveEye) {
  clockFileDir = std::move(clockDir);
  curveCsvDir = std::move(curveDir);
  eyeCsvDir = std::move(eyeDir);
  saveCurveCsv = saveCurves != 0 ? 1 : 0;
  saveEyeCsv = saveEye != 0 ? 1 : 0;
  return 1;
}

int Tessok_API::ReadBoardID() {
  std::uint8_t ok = hwLayer.AccessRegister(0, 0, reg::kBoardModel, &regScratch.word[1]);
  boardModel = regScratch.word[1];  // set even when the read failed
  return ok ? static_cast<int>(regScratch.word[1]) : 0;
}

int Tessok_API::SetChannelMap(std::uint32_t model) {
  channelCount = 4;
  const ModelInfo* info = FindModel(model);
  if (info != nullptr && info->fromBoardModel) info = nullptr;
  if (info == nullptr) {
    const ModelInfo* byBoard = FindModel(boardModel);
    if (byBoard != nullptr && byBoard->fromBoardModel) info = byBoard;
  }
  if (info == nullptr) {  // unknown model: 4 channels, map unchanged
    RefreshBoardTraits();
    return 1;
  }

  std::int32_t channels = info->channels;
  std::int32_t entries = info->mapEntries;
  switch (info->eightChannel) {
    case EightChannelRule::SubTypeAndReg32:
      if (boardSubType == 2 || boardSubType == 3) {
        hwLayer.AccessRegister(0, 0, reg::kOption32, &regScratch.word[6]);
        if ((regScratch.word[6] >> 8) == 1) channels = entries = 8;
      }
      break;
    case EightChannelRule::Option34:
      if (option34 == 1) channels = entries = 8;
      break;
    case EightChannelRule::None: break;
  }
  channelCount = channels;
  for (std::int32_t i = 0; i < entries; ++i) channelMap[i] = static_cast<std::uint32_t>(i);
  RefreshBoardTraits();
  return 1;
}

void Tessok_API::RefreshBoardTraits() {
  board = MakeBoardTraits({boardModel, channelCount, option31, optionCodeC, remapLane3, remapLane1});
}

std::uint8_t Tessok_API::ReadOptionBits57(std::uint32_t* low, std::uint32_t* bit2, std::uint32_t* bit6,
                                          std::uint32_t* bit7) {
  std::uint8_t result = 0;
  std::uint16_t& w = regScratch.word[6];
  ReadBoard(hwLayer, reg::kOption57, &w, result);
  *low = w & 3u;
  *bit2 = (w >> 2) & 1u;
  *bit6 = (w >> 6) & 1u;
  *bit7 = (w >> 7) & 1u;
  return result;
}

std::uint8_t Tessok_API::ReadOptionReg31Alias(std::uint32_t* out) {
  std::uint8_t result = 0;
  ReadBoard(hwLayer, reg::kOption31, &regScratch.word[6], result);
  *out = regScratch.word[6];
  return result;
}

std::uint8_t Tessok_API::ReadOptionFlags30And31(std::uint32_t* code) {
  std::uint8_t result = 0;
  std::uint16_t& w = regScratch.word[6];
  ReadBoard(hwLayer, reg::kOption30, &w, result);
  std::uint32_t value;
  if (w != 0) {
    value = 2;
  } else {
    ReadBoard(hwLayer, reg::kOption31, &w, result);
    value = w == reg::kOptionFitted ? 1 : 0;
  }
  *code = value;
  optionCodeA = value;
  return result;
}

std::uint8_t Tessok_API::ReadOptionFlags31And32(std::uint32_t* code) {
  std::uint8_t result = 0;
  std::uint16_t& w = regScratch.word[6];
  ReadBoard(hwLayer, reg::kOption31, &w, result);
  if (w == reg::kOptionFitted) {
    *code = 2;
  } else {
    ReadBoard(hwLayer, reg::kOption32, &w, result);
    *code = w == reg::kOptionFitted ? 1 : 0;
  }
  return result;
}

std::uint8_t Tessok_API::ReadOptionFlags30To32(std::uint32_t* code) {
  std::uint8_t result = 0;
  std::uint16_t& w = regScratch.word[6];
  ReadBoard(hwLayer, reg::kOption30, &w, result);
  if (w == 0) {
    ReadBoard(hwLayer, reg::kOption31, &w, result);
    *code = w == reg::kOptionFitted ? 3 : 2;
  } else {
    ReadBoard(hwLayer, reg::kOption32, &w, result);
    *code = w == reg::kOptionFitted ? 1 : 0;
  }
  return result;
}

std::uint8_t Tessok_API::ReadOptionFlags31To38(std::uint32_t* code, std::uint32_t* f33, std::uint32_t* f33is12,
                                               std::uint32_t* f38) {
  std::uint8_t result = 0;
  std::uint16_t& w = regScratch.word[6];
  ReadBoard(hwLayer, reg::kOption31, &w, result);
  std::uint32_t value = w == reg::kOptionFitted ? 1u : 0u;
  ReadBoard(hwLayer, reg::kOption32, &w, result);
  if (w == reg::kOptionFitted) value |= 2u;
  *code = value;
  ReadBoard(hwLayer, reg::kOption33, &w, result);
  *f33 = (w == 11 || w == 12) ? 1 : 0;
  *f33is12 = w == 12 ? 1 : 0;
  ReadBoard(hwLayer, reg::kOption38, &w, result);
  *f38 = w != reg::kOption38Absent ? 1 : 0;
  return result;
}

std::uint8_t Tessok_API::ReadOptionRegs33And30(std::uint32_t* r33, std::uint32_t* r30) {
  std::uint8_t result = 0;
  std::uint16_t& w = regScratch.word[6];
  ReadBoard(hwLayer, reg::kOption33, &w, result);
  *r33 = w;
  ReadBoard(hwLayer, reg::kOption30, &w, result);
  *r30 = w;
  return result;
}

std::uint8_t Tessok_API::ReadBoardSubType(std::uint32_t* out) {
  std::uint8_t result = 0;
  std::uint16_t& w = regScratch.word[6];
  ReadBoard(hwLayer, reg::kOption31, &w, result);
  *out = w;
  if (w == 1) {
    ReadBoard(hwLayer, reg::kOption32, &w, result);
    *out = w;
    boardSubType = w;
  }
  return result;
}

bool Tessok_API::CheckBoardSignature() {
  hwLayer.AccessRegister(0, 0, reg::kOption31, &regScratch.word[6]);
  return regScratch.word[6] == reg::kBoardSignature;
}

std::uint8_t Tessok_API::ReadOptionReg34(std::uint32_t* out) {
  std::uint8_t result = 0;
  ReadBoard(hwLayer, reg::kOption34, &regScratch.word[6], result);
  *out = regScratch.word[6];
  return result;
}

std::uint8_t Tessok_API::ReadOptionReg31(std::uint32_t* out) {
  std::uint8_t result = 0;
  ReadBoard(hwLayer, reg::kOption31, &regScratch.word[6], result);
  *out = regScratch.word[6];
  return result;
}
