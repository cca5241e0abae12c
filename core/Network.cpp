// The instrument's own IPv4 address, subnet mask and gateway, kept in six
// board registers, two address bytes per register (first byte in bits 7-0).
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "core/Registers.h"
#include "core/Tessok_API.h"
#include "core/ToString.h"

using namespace tessok;

namespace {

// True for exactly four decimal fields of 0 to 255 separated by dots, with
// optional white space around the whole text. A mistyped address would give
// the instrument an unintended address and could cut it off the network, so
// anything else is refused before it is sent.
bool IsDottedQuad(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  for (int field = 0; field < 4; ++field) {
    if (field > 0) {
      if (i >= n || text[i] != '.') return false;
      ++i;
    }
    int value = 0;
    int digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
      value = value * 10 + (text[i] - '0');
      if (++digits > 3 || value > 255) return false;
      ++i;
    }
    if (digits == 0) return false;
  }
  while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  return i == n;
}

struct AddressWords {
  std::uint16_t ab;
  std::uint16_t cd;
};

AddressWords WordsOf(const std::vector<int>& v) {
  return {static_cast<std::uint16_t>(((v[1] & 0xFF) << 8) | (v[0] & 0xFFFF)),
          static_cast<std::uint16_t>(((v[3] & 0xFF) << 8) | (v[2] & 0xFFFF))};
}

}  // namespace

std::vector<int> Tessok_API::SplitToIntegers(std::string text, char delimiter) {
  std::vector<int> values;
  if (text.empty()) return values;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find(delimiter, start);
    std::string field = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    values.push_back(std::atoi(field.c_str()));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return values;
}

namespace {

// Writes a dotted text's two register words: the (a, b) word first when
// abFirst, else the (c, d) word first. Returns the second write's result, or 0
// without sending anything when the text is not a dotted quad.
std::uint8_t WriteDotted(Tessok_API& api, const char* dotted, std::uint16_t abReg, std::uint16_t cdReg, bool abFirst) {
  std::string text = ToString(dotted);
  if (!IsDottedQuad(text)) return 0;
  std::vector<int> v = api.SplitToIntegers(text, '.');
  if (v.size() < 4) return 0;
  AddressWords w = WordsOf(v);
  if (abFirst) {
    api.hwLayer.AccessRegister(1, 0, abReg, &w.ab);
    return api.hwLayer.AccessRegister(1, 0, cdReg, &w.cd);
  }
  api.hwLayer.AccessRegister(1, 0, cdReg, &w.cd);
  return api.hwLayer.AccessRegister(1, 0, abReg, &w.ab);
}

}  // namespace

// The address goes higher register first; mask and gateway lower register first.
std::uint8_t Tessok_API::ChangeIPConfiguration(const char* ip) {
  return WriteDotted(*this, ip, reg::kIpAddressAb, reg::kIpAddressCd, true);
}

std::uint8_t Tessok_API::SetEthIPMask(const char* mask) {
  return WriteDotted(*this, mask, reg::kIpMaskAb, reg::kIpMaskCd, false);
}

std::uint8_t Tessok_API::SetEthIPGateway(const char* ip) {
  return WriteDotted(*this, ip, reg::kIpGatewayAb, reg::kIpGatewayCd, false);
}

namespace {

// Reads the (a, b) register, then the (c, d) one, and writes "a.b.c.d" with its
// NUL into out (16 bytes at most). Returns the second read's result.
std::uint8_t ReadDotted(HwLayer& link, std::uint16_t abReg, std::uint16_t cdReg, std::uint16_t* words, char* out) {
  link.AccessRegister(0, 0, abReg, &words[0]);
  std::uint8_t ok = link.AccessRegister(0, 0, cdReg, &words[1]);
  std::string text = ToString(static_cast<unsigned short>(words[0] & 0xFF)) + "." +
                     ToString(static_cast<unsigned short>(words[0] >> 8)) + "." +
                     ToString(static_cast<unsigned short>(words[1] & 0xFF)) + "." +
                     ToString(static_cast<unsigned short>(words[1] >> 8));
  std::memcpy(out, text.c_str(), text.size() + 1);
  return ok;
}

}  // namespace

std::uint8_t Tessok_API::readIPConfiguration(char* out) {
  return ReadDotted(hwLayer, reg::kIpAddressAb, reg::kIpAddressCd, &regScratch.word[3], out);
}

std::uint8_t Tessok_API::readIPMask(char* out) {
  return ReadDotted(hwLayer, reg::kIpMaskAb, reg::kIpMaskCd, &regScratch.word[3], out);
}

std::uint8_t Tessok_API::readGateway(char* out) {
  return ReadDotted(hwLayer, reg::kIpGatewayAb, reg::kIpGatewayCd, &regScratch.word[3], out);
}
