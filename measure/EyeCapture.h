// Eye maps: the layout of the capture area, the eye-cell rule, and the
// decodings of the captured blocks that the eye captures share with the
// benchmarks.
//
// A map has 256 threshold rows. The 128-step models measure 128 phase columns
// (entry row x 128 + column); the 64-step models 64 (entry row x 64 + entry,
// entry 63 - c holding column c in the single capture and c in the
// multi-channel capture).
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/Packet.h"

class Tessok_API;

namespace tessok::measure {

inline constexpr int kEyeRows = 256;
inline constexpr int kEyeColumns128 = 128;
inline constexpr int kEyeColumns64 = 64;
inline constexpr int kEyeEntries128 = kEyeRows * kEyeColumns128;  // 32,768
inline constexpr int kEyeEntries64 = kEyeRows * kEyeColumns64;    // 16,384

// Counts per BER: 16-bit counts of the 128-step single capture, 32-bit
// counts of every other capture.
inline constexpr double kCountsPerBer16 = 25000.0;
inline constexpr double kCountsPerBer32 = 10000.0;

// Bytes of a block that a decoding reads: 128 u16 counts of a row, 256 u32
// counts of a column.
inline constexpr std::size_t kRowBlockBytes = kEyeColumns128 * 2;
inline constexpr std::size_t kColumnBlockBytes = kEyeRows * 4;
static_assert(kRowBlockBytes > link::kPacketSize && kColumnBlockBytes == link::kReplyCapacity);

// Regions of Tessok_API::captureArea (a block is 1024 bytes; the per-channel
// regions serve channels 0 to 3).
namespace area {
inline constexpr std::size_t kBlock = link::kReplyCapacity;
inline constexpr std::size_t kSingleCapture = 0;  // 256 blocks of CaptureEyeDiagram
inline constexpr std::size_t kStoreA = 524288;    // StoreEyeBlockA, per channel:
inline constexpr std::size_t kStoreAChannel = 524288;
inline constexpr std::size_t kStoreABlocks = kStoreAChannel / kBlock;  // 512
inline constexpr std::size_t kColumns64 = 2621440;                     // multi-channel replies, 64-step
inline constexpr std::size_t kCounts64 = 3145728;                      // 32-bit counts, per channel:
inline constexpr std::size_t kCounts64Channel = 65536;
inline constexpr std::size_t kStoreB = 3407872;  // StoreEyeBlockB, per channel:
inline constexpr std::size_t kStoreBChannel = 1048576;
inline constexpr std::size_t kStoreBBlocks = kStoreBChannel / kBlock;  // 1024
inline constexpr std::size_t kColumns128 = 7602176;                    // multi-channel replies, 128-step
inline constexpr std::size_t kCounts128 = 8650752;                     // 32-bit counts, per channel:
inline constexpr std::size_t kCounts128Channel = 131072;
inline constexpr std::size_t kSize = kCounts128 + 4 * kCounts128Channel;
inline constexpr int kStoreChannels = 4;
static_assert(kStoreA + 4 * kStoreAChannel == kColumns64 && kColumns64 + 512 * kBlock == kCounts64 &&
              kCounts64 + 4 * kCounts64Channel == kStoreB && kStoreB + 4 * kStoreBChannel == kColumns128 &&
              kColumns128 + 1024 * kBlock == kCounts128);
}  // namespace area

// An eye cell: a BER that is not 0 and either below 0.08 or exactly 1.0 (a
// point the instrument saw as open). Row bounds, measured step, centring and
// mask test all select by this rule.
inline bool IsEyeCell(double ber) { return ber != 0.0 && (ber < 0.08 || ber == 1.0); }

// First and last rows holding eye cells of a 64-entry-wide slice, scanning
// the entries 63 down to 1 of each row: first is the row of the first eye
// cell met, last the row of any later one (0 until a second cell is met).
struct EyeRows {
  std::uint32_t first;
  std::uint32_t last;
};
EyeRows FindEyeRows64(const double* ber);

// The two decodings take arrays that do not overlap one another or the
// blocks (the caller's arrays and the object's own map and capture area).
//
// The 128-step single capture's 256 row blocks (received into `blocks`, 1024
// bytes apart) into the caller's arrays and `map`: entry r x 128 + k holds
// column k of row r, at (128 - k) phase steps and r threshold steps.
void DecodeRowBlocks128(const std::uint8_t* blocks, double phaseStep, double thresholdStep, double* x, double* y,
                        double* ber, double* map);

// The 64-step single capture's column blocks 0 to 62 into the caller's
// arrays and `map`: entry r x 64 + 63 - c holds column c of row r, at c phase
// steps and r threshold steps. Block 63 and the entries r x 64 are left alone.
void DecodeColumnBlocks64(const std::uint8_t* blocks, double phaseStep, double thresholdStep, double* x, double* y,
                          double* ber, double* map);

}  // namespace tessok::measure
