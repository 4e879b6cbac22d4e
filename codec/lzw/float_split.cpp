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
#include "lzw/lzw_core.h"
#include "lzw/lzw_coders.h"

namespace reduct {
namespace {

using lzw::Alphabet;

constexpr std::int32_t HEADER_BYTES = 8;
constexpr unsigned MANTISSA_BITS = 23;
constexpr std::uint32_t MANTISSA_MASK = (1u << MANTISSA_BITS) - 1;

// Bit position of the code stream behind n mantissas.
constexpr std::int64_t codeStreamStart(std::int64_t samples) noexcept {
    return HEADER_BYTES * 8 + MANTISSA_BITS * samples;
}

// The sign-and-exponent symbols of the samples, in order.
constexpr auto signAndExponent = [](const std::uint8_t* sample) noexcept {
    return load32(sample) >> MANTISSA_BITS;
};
using ExponentSymbols = lzw::RecordSymbols<Alphabet::WIDE_SYMBOLS, 4, decltype(signAndExponent)>;

// Receives the decoded symbols and writes each sample with its mantissa,
// where the sample lies inside the capacity. More symbols than samples is
// refused, so no mantissa is ever read from behind the region.
class Samples {
public:
    static constexpr Alphabet ALPHABET = Alphabet::WIDE_SYMBOLS;

    Samples(const CodecContext& ctx, std::int64_t samples) noexcept
        : src_(ctx.src), srcLen_(ctx.srcLen), dst_(ctx.dst), cap_(ctx.dstCap), samples_(samples) {}

    void putSymbols(const std::uint16_t* s, std::size_t n) noexcept {
        const std::int64_t start = count_;
        count_ += static_cast<std::int64_t>(n);
        if (count_ > samples_) return;
        const bool fits = 4 * count_ <= cap_;
        for (std::size_t i = 0; i < n; ++i) {
            const std::int64_t j = start + static_cast<std::int64_t>(i);
            const std::uint32_t bits =
                (static_cast<std::uint32_t>(s[i]) << MANTISSA_BITS) | mantissa(j);
            if (fits || 4 * j + 4 <= cap_) store32(dst_ + 4 * j, bits);
        }
    }
    bool failed() const noexcept { return count_ > samples_; }
    bool complete() const noexcept { return count_ == samples_; }

private:
    // Mantissa j: one 32-bit read where it lies inside the source, byte by
    // byte in the source's last few bytes.
    std::uint32_t mantissa(std::int64_t j) const noexcept {
        const std::int64_t bit = codeStreamStart(j);
        const std::int64_t byte = bit >> 3;
        const auto shift = static_cast<unsigned>(bit & 7);
        std::uint32_t window;
        if (byte + 4 <= srcLen_) {
            window = load32(src_ + byte);
        } else {
            window = 0;
            for (std::int64_t i = 0; byte + i < srcLen_; ++i)
                window |= static_cast<std::uint32_t>(src_[byte + i]) << (8 * i);
        }
        return (window >> shift) & MANTISSA_MASK;
    }

    const std::uint8_t* src_;
    std::int64_t srcLen_;
    std::uint8_t* dst_;
    std::int64_t cap_;
    std::int64_t samples_;
    std::int64_t count_ = 0;
};

}  // namespace

CodecResult EncodeFloatSplitLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen % 4 != 0) return codecStatus(CODEC_BAD_LENGTH);
    const std::int64_t samples = ctx.srcLen / 4;

    lzw::BitWriter out(ctx.dst, ctx.dstCap);
    out.put(static_cast<std::uint32_t>(ctx.srcLen), 32);
    out.put(MANTISSA_BITS, 32);
    for (std::int64_t i = 0; i < samples; ++i)
        out.put(load32(ctx.src + 4 * i) & MANTISSA_MASK, MANTISSA_BITS);

    ExponentSymbols symbols(ctx.src, samples, signAndExponent);
    lzw::WithDictionary<Alphabet::WIDE_SYMBOLS>(samples, [&](auto& dictionary) noexcept {
        lzw::EncodeDriver(symbols, out, dictionary);
    });
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

    lzw::BitReader in(ctx.src, ctx.srcLen, codeStreamStart(samples));
    Samples out(ctx, samples);
    lzw::CodeTable<std::uint16_t> table;
    if (lzw::DecodeDriver(in, out, table) != CODEC_OK || !out.complete() || !in.endCovered())
        return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(4 * samples);
}

}  // namespace reduct
