// How the replies of the bathtub requests become BER values: one row per
// reply form, read by one set of pure functions of the reply bytes.
//
// Counts arrive in one of three layouts; each point's BER is its count over
// a divisor. The horizontal 128-step form carries a multiplier word beside
// each count; the other forms divide by a figure fixed for the whole reply.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/Packet.h"
#include "link/ResultBlocks.h"

namespace tessok::measure {

enum class CountLayout : std::uint8_t {
  CountAndMultiplier,  // pair i at byte 4i: u16 count, then u16 multiplier word
  Words32,             // u32 count i at byte 4i, low 16-bit word first
  Words16,             // u16 count i at byte 2i
};

enum class Divisor : std::uint8_t {
  Multiplier,     // count / (1 for a multiplier word of 1, else word x 10) / countsPerUnit
  GateTimesTen,   // count / (gate x 10), the product formed in 64 bits
  GatePerUnit,    // count / (gate x countsPerUnit), the gate taken as a whole 64-bit value
  CountsPerUnit,  // count / countsPerUnit
};

struct BathtubDecoding {
  CountLayout layout;
  Divisor divisor;
  double countsPerUnit;  // the count that stands for a BER of 1 (Multiplier, GatePerUnit, CountsPerUnit)
  int points;            // points decoded from the reply
};

// The reply forms.
inline constexpr BathtubDecoding kHorizontal128{CountLayout::CountAndMultiplier, Divisor::Multiplier, 25000.0, 128};
inline constexpr BathtubDecoding kHorizontal64{CountLayout::Words32, Divisor::GateTimesTen, 0.0, 64};
inline constexpr BathtubDecoding kHorizontalWithGate{CountLayout::Words32, Divisor::GatePerUnit, 25000.0, 129};
inline constexpr BathtubDecoding kVertical128{CountLayout::Words16, Divisor::CountsPerUnit, 25000.0, 256};
inline constexpr BathtubDecoding kVertical64{CountLayout::Words32, Divisor::CountsPerUnit, 10000.0, 256};

// Bytes of the reply that the decoding reads.
constexpr std::size_t ReplyBytes(const BathtubDecoding& d) {
  return static_cast<std::size_t>(d.points) * (d.layout == CountLayout::Words16 ? 2u : 4u);
}

// Every form reads more than a packet's length, which lets one length check
// refuse both a failed send and a short reply (measure/Acquisition.h).
static_assert(ReplyBytes(kHorizontal64) > link::kPacketSize && ReplyBytes(kHorizontal128) > link::kPacketSize &&
              ReplyBytes(kHorizontalWithGate) > link::kPacketSize && ReplyBytes(kVertical128) > link::kPacketSize &&
              ReplyBytes(kVertical64) > link::kPacketSize);

// The divisor shared by every point of a reply (all forms but Multiplier).
constexpr double ReplyDivisor(const BathtubDecoding& d, std::uint64_t gate) {
  switch (d.divisor) {
    case Divisor::GateTimesTen: return static_cast<double>(gate * 10u);
    case Divisor::GatePerUnit: return static_cast<double>(gate) * d.countsPerUnit;
    case Divisor::CountsPerUnit: return d.countsPerUnit;
    case Divisor::Multiplier: break;
  }
  return 1.0;
}

// Decodes the reply's points: ber[i] from count i, position[i] = i x step.
// `gate` is the gate the gate forms divide by. Reads ReplyBytes(d) bytes.
inline void DecodeBathtub(const BathtubDecoding& d, const std::uint8_t* reply, std::uint64_t gate, double step,
                          double* ber, double* position) {
  // Locals, not the row's fields: the stores through ber and position could
  // otherwise alias them and force a reload per point.
  const int points = d.points;
  if (d.divisor == Divisor::Multiplier) {
    const double countsPerUnit = d.countsPerUnit;
    // A multiplier word of 1 divides by 1 (so that division is left out), any
    // other word by ten times itself.
    for (int i = 0; i < points; ++i) {
      const link::CountWithMultiplier pair = link::CountPair(reply, static_cast<std::size_t>(i));
      const double count = pair.count;
      const std::uint16_t m = pair.multiplier;
      const double perMultiplier = m == 1 ? count : count / (m * 10.0);
      ber[i] = perMultiplier / countsPerUnit;
      position[i] = i * step;
    }
    return;
  }
  const double divisor = ReplyDivisor(d, gate);
  if (d.layout == CountLayout::Words16) {
    for (int i = 0; i < points; ++i) {
      ber[i] = link::Count16(reply, static_cast<std::size_t>(i)) / divisor;
      position[i] = i * step;
    }
    return;
  }
  for (int i = 0; i < points; ++i) {
    ber[i] = link::Count32(reply, static_cast<std::size_t>(i)) / divisor;
    position[i] = i * step;
  }
}

}  // namespace tessok::measure
