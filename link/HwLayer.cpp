#include "link/HwLayer.h"

#include <cstring>

#include "link/Packet.h"

using namespace tessok;
using tessok::link::kPacketSize;

bool HwLayer::Connect(const char* ip, std::uint32_t port) {
  platform::StartSockets();  // the result is not examined
  sock = platform::CreateTcpSocket();
  if (sock == platform::kNoSocket) return false;
  status = platform::BindAny(sock);
  if (status != 0) return false;
  platform::SetTimeouts(sock, link::kSocketTimeoutMs);
  status = platform::ConnectIPv4(sock, ip, static_cast<std::uint16_t>(port));
  return status == 0;
}

bool HwLayer::Disconnect() {
  status = platform::Close(sock);
  // The handle is forgotten whatever the close reported: later commands fail at once.
  sock = platform::kNoSocket;
  return status == 0;
}

bool HwLayer::Exchange(std::uint8_t* target, std::size_t capacity) {
  long sent = platform::Send(sock, txBuf, kPacketSize);
  status = static_cast<std::int32_t>(sent);
  if (sent != static_cast<long>(kPacketSize)) return false;
  long received = platform::Receive(sock, target, capacity);
  status = static_cast<std::int32_t>(received);
  return received >= 0;
}

void HwLayer::CopyReply(std::uint8_t* out, unsigned count) {
  userBuf = out;
  for (copyIndex = 0; copyIndex < count; ++copyIndex) userBuf[copyIndex] = rxBuf[copyIndex];
}

std::uint8_t HwLayer::AccessRegister(std::uint16_t write, std::uint16_t bank, std::uint16_t reg,
                                     std::uint16_t* data) {
  txBuf[0] = link::kRegisterAccess;
  txBuf[1] = 0;
  txBuf[2] = 0;
  txBuf[3] = 0;
  if (write == 0) {
    link::PutU16(&txBuf[4], link::ReadControlWord(bank, reg));
    bool ok = Exchange(rxBuf, sizeof rxBuf);
    status = ok ? 1 : 0;
    // Whatever the outcome, the caller's word takes bytes 1-2 of the reply buffer:
    // after a failure that is the last reply received.
    *data = static_cast<std::uint16_t>(rxBuf[1] | (rxBuf[2] << 8));
    return ok ? 1 : 0;
  }
  link::PutU16(&txBuf[4], link::WriteControlWord(bank, reg));
  link::PutU16(&txBuf[6], *data);
  long sent = platform::Send(sock, txBuf, kPacketSize);
  status = static_cast<std::int32_t>(sent);
  if (sent != static_cast<long>(kPacketSize)) return 0;
  long received = platform::Receive(sock, rxBuf, sizeof rxBuf);
  status = static_cast<std::int32_t>(received);
  return received >= 0 ? 1 : 0;
}

bool HwLayer::ReadResultBlock(std::uint8_t bank, std::uint8_t* out) {
  blockIndex = 0;
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubBlock;
  txBuf[2] = bank;
  txBuf[3] = 0x7F;
  txBuf[4] = 0x7F;
  Exchange(out, link::kReplyCapacity);
  return true;
}

bool HwLayer::ReadEEPROMPage(std::uint8_t device, std::uint32_t address, std::uint8_t* out) {
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubEeprom;
  txBuf[2] = 0x01;
  txBuf[3] = 0x80;
  txBuf[4] = device;
  link::PutU32(&txBuf[5], address);
  bool ok = Exchange(rxBuf, sizeof rxBuf);
  status = ok ? 1 : 0;
  CopyReply(out, 128);  // also after a failure: the previous reply's bytes
  return ok;
}

bool HwLayer::ReadBlocks(std::uint8_t bank, std::uint16_t count, std::uint8_t* out) {
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubBlock;
  txBuf[2] = bank;
  txBuf[4] = 0x00;
  for (blockIndex = 0; blockIndex < count; ++blockIndex) {
    txBuf[3] = static_cast<std::uint8_t>(blockIndex & 0xFF);
    Exchange(out + static_cast<std::size_t>(blockIndex) * link::kReplyCapacity, link::kReplyCapacity);
  }
  return true;
}

bool HwLayer::ReadBlock(std::uint8_t bank, std::uint16_t k, std::uint8_t* out) {
  blockIndex = k;
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubBlock;
  txBuf[2] = bank;
  txBuf[3] = static_cast<std::uint8_t>(k & 0xFF);
  txBuf[4] = 0x00;
  Exchange(out + static_cast<std::size_t>(k) * link::kReplyCapacity, link::kReplyCapacity);
  return true;
}

bool HwLayer::RequestBathtub(std::uint8_t channel, std::uint8_t b, std::uint8_t c, std::uint8_t* out) {
  blockIndex = 0;
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubBathtub;
  txBuf[2] = channel;
  txBuf[3] = b;
  txBuf[4] = c;
  Exchange(out, link::kReplyCapacity);
  return true;
}

bool HwLayer::RequestVerticalBathtub(std::uint8_t channel, std::uint8_t b, std::uint8_t* out) {
  blockIndex = 0;
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubVerticalBathtub;
  txBuf[2] = channel;
  txBuf[3] = b;
  txBuf[4] = 0x7F;
  Exchange(out, link::kReplyCapacity);
  return true;
}

bool HwLayer::ReadModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, std::uint8_t* out) {
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubModuleBus;
  txBuf[2] = 0x01;
  txBuf[3] = len;
  txBuf[4] = a;
  txBuf[5] = b;
  bool ok = Exchange(rxBuf, sizeof rxBuf);
  status = ok ? 1 : 0;
  CopyReply(out, len);
  return ok;
}

bool HwLayer::WriteModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, const std::uint8_t* in) {
  // Bytes 9 to 127 hold at most 119 data bytes; a longer write would run past the packet.
  if (len > kPacketSize - 9) return false;
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubModuleBus;
  txBuf[2] = 0x00;
  txBuf[3] = len;
  txBuf[4] = a;
  txBuf[5] = b;
  for (copyIndex = 0; copyIndex < len; ++copyIndex) txBuf[9 + copyIndex] = in[copyIndex];
  return Exchange(rxBuf, sizeof rxBuf);
}

bool HwLayer::SendExtendedCommand(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3,
                                  std::uint8_t a4, std::uint8_t a5, std::uint8_t a6, std::uint8_t a7,
                                  std::uint8_t a8, std::uint8_t a9, std::uint16_t word, std::uint8_t b0,
                                  std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubParameterBlock;
  txBuf[2] = 0x00;
  txBuf[3] = 0x00;
  const std::uint8_t bytes[10] = {a0, a1, a2, a3, a4, a5, a6, a7, a8, a9};
  std::memcpy(&txBuf[4], bytes, sizeof bytes);
  link::PutU16(&txBuf[14], word);
  txBuf[16] = b0;
  txBuf[17] = b1;
  txBuf[18] = b2;
  txBuf[19] = b3;
  return Exchange(rxBuf, sizeof rxBuf);
}

bool HwLayer::ReadBlocksRepeat(std::uint8_t bank, std::uint16_t count, std::uint8_t* out) {
  blockIndex = 0;
  blockIndex2 = 0;
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubBlock;
  txBuf[2] = bank;
  bool ok = status != 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    ok = Exchange(out + static_cast<std::size_t>(i) * link::kReplyCapacity, link::kReplyCapacity);
    status = ok ? 1 : 0;
  }
  return ok;
}

bool HwLayer::ReadBlockRaw(std::uint8_t* out) {
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubBlock;
  return Exchange(out, link::kReplyCapacity);
}

bool HwLayer::Transact(const std::uint8_t* buf, int len, std::uint8_t* out, int outLen) {
  if (len < 0 || outLen < 0) return false;
  long sent = platform::Send(sock, buf, static_cast<std::size_t>(len));
  status = static_cast<std::int32_t>(sent);
  if (sent != len) return false;
  long received = platform::Receive(sock, out, static_cast<std::size_t>(outLen));
  status = static_cast<std::int32_t>(received);
  return received >= 0;
}

bool HwLayer::WriteEEPROMPage(std::uint8_t device, std::uint32_t address, const std::uint8_t* in) {
  txBuf[0] = link::kExtendedCommand;
  txBuf[1] = link::kSubEeprom;
  txBuf[2] = 0x00;
  txBuf[3] = 0x80;
  txBuf[4] = device;
  link::PutU32(&txBuf[5], address);
  // The page's last nine bytes land in buffer bytes 128-136, which are not sent.
  std::memcpy(&txBuf[9], in, 128);
  return Exchange(rxBuf, sizeof rxBuf);
}
