#include "link/HwLayer.h"

#include <cstring>

#include "link/Packet.h"
#include "link/ResultBlocks.h"

using namespace tessok;
using tessok::link::kPacketSize;

bool HwLayer::Connect(const char* ip, std::uint32_t port) {
  platform::StartSockets();  // the result is not examined
  sock = platform::CreateTcpSocket();
  if (sock == platform::kNoSocket) return false;
  status = platform::BindAny(sock);
  if (status == 0) {
    platform::SetTimeouts(sock, link::kSocketTimeoutMs);
    status = platform::ConnectIPv4(sock, ip, static_cast<std::uint16_t>(port));
    if (status == 0) return true;
  }
  // A socket that did not connect is closed at once: an attempt left running
  // (a time-out leaves one) could still connect later, and commands would then
  // reach an instrument that was never identified.
  ForgetSocket();
  return false;
}

bool HwLayer::Disconnect() {
  status = platform::Close(sock);
  // The handle is forgotten whatever the close reported: later commands fail at once.
  sock = platform::kNoSocket;
  return status == 0;
}

void HwLayer::ForgetSocket() {
  platform::Close(sock);
  sock = platform::kNoSocket;
}

long HwLayer::ReceiveReply(std::uint8_t* target, std::size_t capacity, std::size_t minimum) {
  const long received = platform::Receive(sock, target, capacity);
  status = static_cast<std::int32_t>(received);
  // An error or time-out, nothing received into room for something (the
  // instrument closed the connection), or less than the command needs: no
  // reply. Whatever is still on its way would meet the next command, so the
  // socket is closed: later commands fail at once until the next Connect.
  if (received < 0 || (received == 0 && capacity > 0) || static_cast<std::size_t>(received) < minimum) [[unlikely]] {
    ForgetSocket();
    return -1;
  }
  return received;
}

bool HwLayer::Exchange(std::uint8_t* target, std::size_t capacity, std::size_t minimum) {
  const long sent = platform::Send(sock, txBuf, kPacketSize);
  status = static_cast<std::int32_t>(sent);
  if (sent != static_cast<long>(kPacketSize)) [[unlikely]] {
    // A packet sent in part leaves the instrument waiting for the rest.
    ForgetSocket();
    return false;
  }
  return ReceiveReply(target, capacity, minimum) >= 0;
}

bool HwLayer::RequireReply(std::size_t bytes) {
  if (status >= 0 && static_cast<std::size_t>(status) >= bytes) return true;
  ForgetSocket();
  return false;
}

void HwLayer::CopyReply(std::uint8_t* out, unsigned count) {
  userBuf = out;
  for (copyIndex = 0; copyIndex < count; ++copyIndex) userBuf[copyIndex] = rxBuf[copyIndex];
}

std::uint8_t HwLayer::AccessRegister(std::uint16_t write, std::uint16_t bank, std::uint16_t reg, std::uint16_t* data) {
  if (write != 0) {
    // The reply of a write is not examined.
    link::BuildRegisterWrite(txBuf, bank, reg, *data);
    return Exchange(rxBuf, sizeof rxBuf) ? 1 : 0;
  }
  link::BuildRegisterRead(txBuf, bank, reg);
  bool ok = Exchange(rxBuf, sizeof rxBuf, link::kRegisterReplyMinimum);
  status = ok ? 1 : 0;
  // Whatever the outcome, the caller's word takes bytes 1-2 of the reply buffer:
  // after a failure that is the last reply received.
  *data = link::GetU16(&rxBuf[1]);
  return ok ? 1 : 0;
}

bool HwLayer::ReadResultBlock(std::uint8_t bank, std::uint8_t* out) {
  blockIndex = 0;
  link::BuildResultBlockRequest(txBuf, bank);
  Exchange(out, link::kReplyCapacity);
  return true;
}

bool HwLayer::ReadEEPROMPage(std::uint8_t device, std::uint32_t address, std::uint8_t* out) {
  link::BuildEepromPageRead(txBuf, device, address);
  bool ok = Exchange(rxBuf, sizeof rxBuf, link::kEepromPageReplyMinimum);
  status = ok ? 1 : 0;
  CopyReply(out, 128);  // also after a failure: the previous reply's bytes
  return ok;
}

bool HwLayer::ReadBlocks(std::uint8_t bank, std::uint16_t count, std::uint8_t* out) {
  link::BuildNumberedBlockRequest(txBuf, bank);  // also for a count of 0
  for (blockIndex = 0; blockIndex < count; ++blockIndex) {
    link::PutBlockNumber(txBuf, blockIndex);
    Exchange(link::BlockAt(out, blockIndex), link::kReplyCapacity);
  }
  return true;
}

bool HwLayer::ReadBlock(std::uint8_t bank, std::uint16_t k, std::uint8_t* out) {
  blockIndex = k;
  link::BuildNumberedBlockRequest(txBuf, bank);
  link::PutBlockNumber(txBuf, k);
  Exchange(link::BlockAt(out, k), link::kReplyCapacity);
  return true;
}

bool HwLayer::RequestBathtub(std::uint8_t channel, std::uint8_t b, std::uint8_t c, std::uint8_t* out) {
  blockIndex = 0;
  link::BuildBathtubRequest(txBuf, channel, b, c);
  Exchange(out, link::kReplyCapacity);
  return true;
}

bool HwLayer::RequestVerticalBathtub(std::uint8_t channel, std::uint8_t b, std::uint8_t* out) {
  blockIndex = 0;
  link::BuildVerticalBathtubRequest(txBuf, channel, b);
  Exchange(out, link::kReplyCapacity);
  return true;
}

bool HwLayer::ReadModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, std::uint8_t* out) {
  link::BuildModuleBusReadHeader(txBuf, a, len, b);
  bool ok = Exchange(rxBuf, sizeof rxBuf, len);
  status = ok ? 1 : 0;
  CopyReply(out, len);
  return ok;
}

bool HwLayer::WriteModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, const std::uint8_t* in) {
  // A longer write would run past the packet.
  if (len > link::kModuleBusMaxData) return false;
  link::BuildModuleBusWriteHeader(txBuf, a, len, b);
  for (copyIndex = 0; copyIndex < len; ++copyIndex) txBuf[link::kModuleBusDataOffset + copyIndex] = in[copyIndex];
  return Exchange(rxBuf, sizeof rxBuf);
}

bool HwLayer::SendExtendedCommand(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3, std::uint8_t a4,
                                  std::uint8_t a5, std::uint8_t a6, std::uint8_t a7, std::uint8_t a8, std::uint8_t a9,
                                  std::uint16_t word, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                  std::uint8_t b3) {
  const std::uint8_t first[10] = {a0, a1, a2, a3, a4, a5, a6, a7, a8, a9};
  const std::uint8_t last[4] = {b0, b1, b2, b3};
  link::BuildParameterBlock(txBuf, first, word, last);
  return Exchange(rxBuf, sizeof rxBuf);
}

bool HwLayer::ReadBlocksRepeat(std::uint8_t bank, std::uint16_t count, std::uint8_t* out) {
  blockIndex = 0;
  blockIndex2 = 0;
  link::BuildRepeatedBlockRequest(txBuf, bank);
  bool ok = status != 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    ok = Exchange(link::BlockAt(out, i), link::kReplyCapacity);
    status = ok ? 1 : 0;
  }
  return ok;
}

bool HwLayer::ReadBlockRaw(std::uint8_t* out) {
  link::BuildRawBlockRequest(txBuf);
  return Exchange(out, link::kReplyCapacity);
}

bool HwLayer::Transact(const std::uint8_t* buf, int len, std::uint8_t* out, int outLen) {
  if (len < 0 || outLen < 0) return false;
  const long sent = platform::Send(sock, buf, static_cast<std::size_t>(len));
  status = static_cast<std::int32_t>(sent);
  if (sent != len) {
    ForgetSocket();
    return false;
  }
  return ReceiveReply(out, static_cast<std::size_t>(outLen), 0) >= 0;
}

bool HwLayer::WriteEEPROMPage(std::uint8_t device, std::uint32_t address, const std::uint8_t* in) {
  link::BuildEepromPageWriteHeader(txBuf, device, address);
  // The page's last nine bytes land in buffer bytes 128-136, which are not sent.
  std::memcpy(&txBuf[link::kEepromPageDataOffset], in, 128);
  return Exchange(rxBuf, sizeof rxBuf);
}
