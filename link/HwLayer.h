// HwLayer: the TCP command link between one instrument object and its instrument.
//
// Strict request and reply: every command sends bytes 0-127 of txBuf with one
// send and takes its reply with one receive of at most 1024 bytes. The packet
// buffer is never cleared, so bytes a command does not define go out as the
// previous command left them. The reply buffer is only overwritten by receives,
// so a failed register read hands back bytes 1-2 of the last reply received.
//
// An exchange that fails in any way ends the connection: a send that does not
// take all 128 bytes, a receive error or time-out, a receive of 0 bytes (the
// instrument closed the connection), or a reply shorter than the command needs
// (3 bytes for a register read, 128 for an EEPROM page read, len for a
// module-bus read; a result block's length is the decoding's, checked through
// RequireReply). The command fails and the link closes its socket, so a reply
// still on its way can never be taken for a later command's: later commands
// fail at once, without sending, until the next Connect. A failed read still
// fills the caller's word or page from the reply buffer. A Connect that fails
// closes the socket it created.
//
// A reply split by the network after the bytes its command needs is not
// noticed: its remainder stays in the socket and meets the next receive.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Socket.h"

class HwLayer {
 public:
  HwLayer() {}           // sets nothing: the owning object starts zero-filled
  virtual ~HwLayer() {}  // does not close the socket

  bool Connect(const char* ip, std::uint32_t port);
  bool Disconnect();
  std::uint8_t AccessRegister(std::uint16_t write, std::uint16_t bank, std::uint16_t reg, std::uint16_t* data);
  bool ReadResultBlock(std::uint8_t bank, std::uint8_t* out);
  bool ReadEEPROMPage(std::uint8_t device, std::uint32_t address, std::uint8_t* out);
  bool ReadBlocks(std::uint8_t bank, std::uint16_t count, std::uint8_t* out);
  bool ReadBlock(std::uint8_t bank, std::uint16_t k, std::uint8_t* out);
  bool RequestBathtub(std::uint8_t channel, std::uint8_t b, std::uint8_t c, std::uint8_t* out);
  bool RequestVerticalBathtub(std::uint8_t channel, std::uint8_t b, std::uint8_t* out);
  bool ReadModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, std::uint8_t* out);
  // Refuses more than 119 data bytes (they would not fit in the packet).
  bool WriteModuleBlock(std::uint8_t a, std::uint8_t len, std::uint8_t b, const std::uint8_t* in);
  bool SendExtendedCommand(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3, std::uint8_t a4,
                           std::uint8_t a5, std::uint8_t a6, std::uint8_t a7, std::uint8_t a8, std::uint8_t a9,
                           std::uint16_t word, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
  bool ReadBlocksRepeat(std::uint8_t bank, std::uint16_t count, std::uint8_t* out);
  bool ReadBlockRaw(std::uint8_t* out);
  bool Transact(const std::uint8_t* buf, int len, std::uint8_t* out, int outLen);
  bool WriteEEPROMPage(std::uint8_t device, std::uint32_t address, const std::uint8_t* in);
  // For the result-block requests, whose reply length only the caller knows:
  // true when the last receive took at least `bytes` bytes; otherwise the
  // exchange counts as failed and the socket is closed.
  bool RequireReply(std::size_t bytes);

  std::uint8_t txBuf[256];
  std::uint8_t rxBuf[1024];
  tessok::platform::SocketHandle sock;
  std::uint16_t blockIndex;
  std::uint16_t blockIndex2;
  std::uint8_t copyIndex;
  std::uint8_t* userBuf;
  std::int32_t status;

 private:
  // Sends bytes 0-127 of txBuf; when all 128 went, receives once into target.
  // True when the receive took at least `minimum` bytes; otherwise the socket
  // is closed.
  bool Exchange(std::uint8_t* target, std::size_t capacity, std::size_t minimum = 1);
  // Receives once into target; the byte count, or -1 after an error, a
  // receive of 0 bytes into room for some, or fewer than `minimum` bytes, each
  // of which closes the socket.
  long ReceiveReply(std::uint8_t* target, std::size_t capacity, std::size_t minimum);
  // Closes the socket and forgets the handle.
  void ForgetSocket();
  void CopyReply(std::uint8_t* out, unsigned count);
};
