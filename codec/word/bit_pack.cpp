// Bit packing of flag bytes (method 5).
//
// Source: n bytes, one flag per byte; only whether a byte is zero is kept.
// Stream, k + 1 bytes with k = ceil(n / 8):
//
//   | offset     | width   | content                                          |
//   |------------|---------|--------------------------------------------------|
//   | 0 .. k - 1 | k bytes | flag i is bit (7 - i mod 8) of byte (i div 8):   |
//   |            |         | the first flag of a byte is its top bit; 1 for a |
//   |            |         | non-zero source byte; spare low bits are 0       |
//   | k          | 1 byte  | flags in the last packed byte, 1..8              |
//
// Decoding gives 0 for a clear bit and 1 for a set one, exactly n bytes.
//
// Packed bytes are stored whole, so the stream does not depend on what the
// destination held. Decoding refuses a stream of fewer than 2 bytes and a
// count byte of 0 or above 8.
#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "word/word_coders.h"

namespace reduct {
namespace {

constexpr std::uint64_t LOW7 = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t HIGH1 = 0x8080808080808080ULL;

// Eight flag bytes (little-endian in `x`, first flag in the low byte) to one
// packed byte with the first flag on top. Each byte's top bit first becomes
// "byte is non-zero"; the multiply then gathers bit 8i into bit 63 - i, and
// no two partial products land on the same bit, so nothing carries.
inline std::uint8_t packEight(std::uint64_t x) noexcept {
    const std::uint64_t nonZero = (((x & LOW7) + LOW7) | x) & HIGH1;
    return static_cast<std::uint8_t>(((nonZero >> 7) * 0x8040201008040201ULL) >> 56);
}

// One packed byte to eight bytes of 0 or 1, the top bit first (low byte).
inline std::uint64_t spreadEight(std::uint8_t b) noexcept {
    const std::uint64_t picked = (std::uint64_t{b} * 0x0101010101010101ULL) & 0x0102040810204080ULL;
    return ((picked + LOW7) & HIGH1) >> 7;
}

}  // namespace

CodecResult EncodeBitPack(const CodecContext& ctx) noexcept {
    const std::int64_t n = ctx.srcLen;
    const std::int64_t full = n / 8;
    const std::int64_t tail = n % 8;
    const std::int64_t length = full + (tail != 0 ? 1 : 0) + 1;
    // The length is known up front; a destination that is too small is left
    // alone and the entry reports the overflow.
    if (length > ctx.dstCap) return encodedLength(length);

    const std::uint8_t* src = ctx.src;
    std::uint8_t* dst = ctx.dst;
    std::int64_t i = 0;
    for (; i + 8 <= full; i += 8) {
        std::uint64_t packed = 0;
        for (int b = 0; b < 8; ++b)
            packed |= std::uint64_t{packEight(load64(src + (i + b) * 8))} << (8 * b);
        store64(dst + i, packed);
    }
    for (; i < full; ++i) dst[i] = packEight(load64(src + i * 8));
    if (tail != 0) {
        std::uint8_t last = 0;
        for (std::int64_t b = 0; b < tail; ++b)
            if (src[full * 8 + b] != 0) last = static_cast<std::uint8_t>(last | (0x80u >> b));
        dst[full] = last;
    }
    dst[length - 1] = static_cast<std::uint8_t>(tail != 0 ? tail : 8);
    return encodedLength(length);
}

CodecResult DecodeBitPack(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < 2) return codecStatus(CODEC_BAD_STREAM);
    const std::uint8_t* src = ctx.src;
    const std::int64_t packedBytes = ctx.srcLen - 1;
    const std::uint8_t lastCount = src[packedBytes];
    if (lastCount == 0 || lastCount > 8) return codecStatus(CODEC_BAD_STREAM);

    const std::int64_t length = 8 * (packedBytes - 1) + lastCount;
    if (length > MAX_CODEC_LENGTH || length > ctx.dstCap) return decodedLength(length);

    std::uint8_t* dst = ctx.dst;
    const std::int64_t full = packedBytes - 1;
    for (std::int64_t i = 0; i < full; ++i) store64(dst + i * 8, spreadEight(src[i]));
    const std::uint64_t last = spreadEight(src[full]);
    std::memcpy(dst + full * 8, &last, lastCount);
    return decodedLength(length);
}

}  // namespace reduct
