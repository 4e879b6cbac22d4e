// Quantised floats through LZW (method 6, CM_FLOAT_LZW). Lossy.
//
// Source: two signed 32-bit bounds, then n >= 2 single floats:
//
//   | offset  | size | field                                   |
//   |---------|------|-----------------------------------------|
//   | 0       | 4    | rangeLow, signed 32-bit                 |
//   | 4       | 4    | rangeHigh, signed 32-bit                |
//   | 8 + 4i  | 4    | sample i, IEEE single (i = 0 .. n-1)    |
//
// Stream:
//
//   | offset | size | field                                            |
//   |--------|------|--------------------------------------------------|
//   | 0      | 4    | source length in bytes, unsigned 32-bit          |
//   | 4      | 8    | rangeLow and rangeHigh, copied unchanged         |
//   | 12     | 4    | q0, the fixed-point value of sample 0            |
//   | 16     | rest | LZW code stream, byte symbols, clear code first  |
//
// Each sample x maps to the fixed-point value q = low 32 bits of
// trunc(((x - rangeLow) / S) * 10^9), computed in double precision, where the
// span S = rangeHigh - rangeLow wraps as a signed 32-bit subtraction. A
// scaled value that is NaN, infinite or outside the signed 64-bit range maps
// to 0 (so S = 0 maps everything to 0). The symbols are the four bytes of
// each difference q[i] - q[i-1] mod 2^32, least significant first, for
// i = 1 .. n-1. Decoding sums the differences mod 2^32 and maps each q back
// as float((q / 10^9) * S + rangeLow). The bounds are never reordered and
// samples are never checked against them: a sample whose scaled value falls
// outside 0 .. 2^32 - 1 comes back as some other value.
//
// The decoder checks what the encoder always makes: at least one whole
// difference, no partial one, and a length word equal to the decoded length.
#include <bit>
#include <cstdint>
#include <cstring>

#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/difference_model.h"
#include "lzw/lzw_coders.h"
#include "lzw/lzw_core.h"

namespace reduct {
namespace {

constexpr double FIXED_SCALE = 1000000000.0;
constexpr std::int32_t HEADER_LENGTH = 16;  // length word, bounds, q0
constexpr double INT64_LIMIT = 9223372036854775808.0;  // 2^63

// The bounds as the host stated them and the span between them.
struct FixedRange {
    std::int32_t rangeLow;
    std::int32_t rangeSpan;

    static FixedRange of(const std::uint8_t* bounds) noexcept {
        const std::uint32_t low = load32(bounds), high = load32(bounds + 4);
        // Unsigned subtraction, then the two's-complement reading of it: the
        // wrapped span without signed overflow.
        return {static_cast<std::int32_t>(low), static_cast<std::int32_t>(high - low)};
    }
};

inline float loadFloat(const std::uint8_t* p) noexcept {
    float x;
    std::memcpy(&x, p, sizeof x);
    return x;
}

inline std::uint32_t toFixed(float x, const FixedRange& r) noexcept {
    // Any value divided by a zero span is NaN or infinite, which maps to 0.
    if (r.rangeSpan == 0) return 0;
    const double scaled = ((static_cast<double>(x) - r.rangeLow) / r.rangeSpan) * FIXED_SCALE;
    // NaN fails both comparisons; infinities and values beyond the signed
    // 64-bit range fail one. Only the rest may be converted.
    if (!(scaled >= -INT64_LIMIT && scaled < INT64_LIMIT)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled)));
}

inline float fromFixed(std::uint32_t q, const FixedRange& r) noexcept {
    const double value = (static_cast<double>(q) / FIXED_SCALE) * r.rangeSpan + r.rangeLow;
    return static_cast<float>(value);
}

// Fixed-point differences mod 2^32 between neighbouring samples.
struct FixedDifference {
    using Value = std::uint32_t;
    FixedRange range;
    std::uint32_t load(const std::uint8_t* p) const noexcept {
        return toFixed(loadFloat(p), range);
    }
    std::uint32_t difference(std::uint32_t current, std::uint32_t previous) const noexcept {
        return current - previous;
    }
};

// The running fixed-point value; each sample is written as the float it maps
// back to.
struct FixedSum {
    FixedRange range;
    std::uint32_t fixedValue;
    std::uint32_t next(std::uint32_t delta) noexcept {
        fixedValue += delta;
        return std::bit_cast<std::uint32_t>(fromFixed(fixedValue, range));
    }
};

}  // namespace

CodecResult EncodeFloatLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < HEADER_LENGTH || ctx.srcLen % 4 != 0) return codecStatus(CODEC_BAD_LENGTH);
    const std::uint8_t* src = ctx.src;
    const FixedRange range = FixedRange::of(src);
    const std::uint32_t q0 = toFixed(loadFloat(src + 8), range);

    const auto leadIn = [&](lzw::BitWriter& out) noexcept {
        out.put(static_cast<std::uint32_t>(ctx.srcLen), 32);
        out.putBytes(src, 8);
        out.put(q0, 32);
    };
    return encodedLength(lzw::encodeDifferences<4>(ctx, leadIn, src + 8, (ctx.srcLen - 8) / 4,
                                                   FixedDifference{range}));
}

CodecResult DecodeFloatLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < HEADER_LENGTH) return codecStatus(CODEC_BAD_STREAM);
    const std::uint8_t* src = ctx.src;
    const std::uint32_t lengthWord = load32(src);
    const FixedRange range = FixedRange::of(src + 4);
    const std::uint32_t q0 = load32(src + 12);

    ByteWriter leadIn(ctx.dst, ctx.dstCap);
    leadIn.putBytes(src + 4, 8);
    leadIn.put<float>(fromFixed(q0, range));

    lzw::DifferenceSink<4, FixedSum> sink(leadIn, {range, q0});
    lzw::BitReader in(src, ctx.srcLen, std::int64_t{HEADER_LENGTH} * 8);
    const CodecStatus status = lzw::decodeDifferences(in, sink);
    if (status != CODEC_OK) return codecStatus(status);
    // Encode always codes two samples or more, each difference whole, and
    // records the length it was given, which is the length decoded here.
    if (!in.endCovered() || !sink.complete() ||
        lengthWord != static_cast<std::uint64_t>(sink.length()))
        return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(sink.length());
}

}  // namespace reduct
