// Float-split LZW coding of single-precision floats (method 12).
//
// The source is n samples of 4 bytes (n >= 1), each handled only as its
// 32-bit pattern w: the top 9 bits (sign and exponent, w >> 23) become one
// LZW symbol, the low 23 bits (the mantissa) are stored raw. One bit stream,
// least significant bit first, holds everything:
//
//   | offset             | size       | field                                         |
//   |--------------------|------------|-----------------------------------------------|
//   | 0                  | 4          | source length 4n, unsigned 32-bit             |
//   | 4                  | 4          | mantissa width, always 23                     |
//   | 8, bit 0           | 23n bits   | mantissa of sample i at bits 23i..23i+22 of   |
//   |                    |            | the region, its bit 0 first                   |
//   | region bit 23n     | ...        | WIDE_SYMBOLS pass (9-bit symbols): clear 512, |
//   |                    |            | codes of the n sign-and-exponent symbols, 513 |
//   | up to length       |            | zero bits; the last byte holds the bit right  |
//   |                    |            | after the end code                            |
//
// The code stream follows the last mantissa bit with no gap; when 23n is not
// a multiple of 8 the last mantissa byte is shared with the first code. Both
// sides compute the code stream's start from the header, in 64-bit
// arithmetic.
//
// The decoder refuses a width other than 23, a length that is not a
// positive multiple of 4, and a code stream that does not hold exactly n
// symbols, so it never reads a mantissa from behind the region.
#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/pass_engine.h"
#include "lzw/plane_split_coders.h"

namespace reduct {
namespace {

using lzw_pass::BitReader;
using lzw_pass::BitWriter;
using lzw_pass::CodeTable;

constexpr std::int32_t HEADER_BYTES = 8;
constexpr unsigned MANTISSA_BITS = 23;
constexpr std::uint32_t MANTISSA_MASK = (1u << MANTISSA_BITS) - 1;

// Bit position of the code stream behind n mantissas.
constexpr std::uint64_t codeStreamStart(std::uint64_t samples) noexcept {
    return HEADER_BYTES * 8 + MANTISSA_BITS * samples;
}

// Receives the decoded sign-and-exponent symbols and writes each sample
// with its mantissa, where the sample lies inside the capacity. Counts the
// symbols and refuses any beyond n.
struct SampleSink {
    const std::uint8_t* src;
    std::int64_t srcLen;
    std::uint8_t* dst;
    std::int64_t cap;
    std::int64_t samples;
    std::int64_t count = 0;

    // The mantissa of sample j: a 32-bit read where it lies inside the
    // source, byte by byte in the last few bytes.
    std::uint32_t mantissa(std::int64_t j) const noexcept {
        const std::uint64_t bit = codeStreamStart(0) + MANTISSA_BITS * static_cast<std::uint64_t>(j);
        const auto byte = static_cast<std::int64_t>(bit >> 3);
        const auto shift = static_cast<unsigned>(bit & 7);
        std::uint32_t window;
        if (byte + 4 <= srcLen) {
            window = load32(src + byte);
        } else {
            window = 0;
            for (std::int64_t i = 0; byte + i < srcLen; ++i)
                window |= static_cast<std::uint32_t>(src[byte + i]) << (8 * i);
        }
        return (window >> shift) & MANTISSA_MASK;
    }

    bool operator()(const CodeTable& table, std::uint32_t code, std::uint32_t length) noexcept {
        const std::int64_t start = count;
        count += length;
        if (count > samples) return false;
        const bool fits = 4 * count <= cap;
        table.walk(code, [this, start, fits](std::uint32_t k, std::uint16_t symbol) {
            const std::int64_t j = start + k;
            if (fits || 4 * j + 4 <= cap) {
                store32(dst + 4 * j,
                        (static_cast<std::uint32_t>(symbol) << MANTISSA_BITS) | mantissa(j));
            }
        });
        return true;
    }
};

}  // namespace

CodecResult EncodeFloatSplitLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen % 4 != 0) return codecStatus(CODEC_BAD_LENGTH);
    const std::uint8_t* src = ctx.src;
    const std::int64_t samples = ctx.srcLen / 4;

    BitWriter out(ctx.dst, ctx.dstCap);
    out.put(static_cast<std::uint32_t>(ctx.srcLen), 32);
    out.put(MANTISSA_BITS, 32);
    for (std::int64_t i = 0; i < samples; ++i) out.put(load32(src + 4 * i) & MANTISSA_MASK, MANTISSA_BITS);

    lzw_pass::CodeDictionary dict;
    lzw_pass::encodePass(out, dict, lzw_pass::WIDE_SYMBOLS, samples,
                         [src](std::int64_t i) { return load32(src + 4 * i) >> MANTISSA_BITS; });
    return encodedLength(out.finish());
}

CodecResult DecodeFloatSplitLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < HEADER_BYTES) return codecStatus(CODEC_BAD_STREAM);
    const std::uint32_t storedLength = load32(ctx.src);
    const std::uint32_t width = load32(ctx.src + 4);
    if (width != MANTISSA_BITS) return codecStatus(CODEC_BAD_STREAM);
    if (storedLength == 0 || storedLength % 4 != 0 || storedLength > MAX_CODEC_LENGTH)
        return codecStatus(CODEC_BAD_STREAM);
    const std::int64_t samples = storedLength / 4;

    BitReader in(ctx.src, ctx.srcLen, codeStreamStart(static_cast<std::uint64_t>(samples)));
    CodeTable table;
    SampleSink sink{ctx.src, ctx.srcLen, ctx.dst, ctx.dstCap, samples};
    if (!lzw_pass::decodePass(in, table, lzw_pass::WIDE_SYMBOLS, sink) || sink.count != samples)
        return codecStatus(CODEC_BAD_STREAM);
    // The encoder's stream always holds the bit after its end code.
    if (in.position() >= in.totalBits()) return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(4 * samples);
}

}  // namespace reduct
