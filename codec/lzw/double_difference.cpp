// Doubles through LZW by their differences (method 7, CM_DOUBLE_LZW).
//
// Source: n >= 2 IEEE doubles, 8 bytes each.
//
// Stream:
//
//   | offset | size | field                                           |
//   |--------|------|-------------------------------------------------|
//   | 0      | 8    | sample 0, copied unchanged                      |
//   | 8      | rest | LZW code stream, byte symbols, clear code first |
//
// The symbols are the eight bytes, least significant first, of the bit
// pattern of each difference d[i] = x[i] - x[i-1] (i = 1 .. n-1), one
// double-precision subtraction of the two source samples. Decoding rebuilds
// the series as a running double-precision sum x[0] + d[1] + ... + d[i]. The
// sum equals the source wherever no subtraction or addition rounds; where
// one does, the decoded sample differs in its last bits and the difference
// carries into every later sample. An infinity or NaN makes every later sum
// NaN (inf - inf). Sample 0 is copied as bytes on both sides, so even a
// signalling NaN comes back bit for bit.
//
// The decoder checks what the encoder always makes: at least one whole
// difference and no partial one.
#include <bit>
#include <cstdint>

#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/difference_model.h"
#include "lzw/lzw_coders.h"
#include "lzw/lzw_core.h"

namespace reduct {
namespace {

constexpr std::int32_t SAMPLE_SIZE = 8;

// One double-precision subtraction of two source samples, coded as its bits.
struct DoubleDifference {
    using Value = double;
    double load(const std::uint8_t* p) const noexcept { return std::bit_cast<double>(load64(p)); }
    std::uint64_t difference(double current, double previous) const noexcept {
        return std::bit_cast<std::uint64_t>(current - previous);
    }
};

// The running double-precision sum, written as its bits.
struct DoubleSum {
    double lastDouble;
    std::uint64_t next(std::uint64_t bits) noexcept {
        lastDouble += std::bit_cast<double>(bits);
        return std::bit_cast<std::uint64_t>(lastDouble);
    }
};

}  // namespace

CodecResult EncodeDoubleLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < 2 * SAMPLE_SIZE || ctx.srcLen % SAMPLE_SIZE != 0) return codecStatus(CODEC_BAD_LENGTH);
    const std::uint8_t* src = ctx.src;

    const auto leadIn = [&](lzw::BitWriter& out) noexcept { out.putBytes(src, SAMPLE_SIZE); };
    const std::int64_t n = ctx.srcLen / SAMPLE_SIZE;
    return encodedLength(
        lzw::encodeDifferences<SAMPLE_SIZE>(ctx, leadIn, src, n, DoubleDifference{}));
}

CodecResult DecodeDoubleLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < SAMPLE_SIZE) return codecStatus(CODEC_BAD_STREAM);
    const std::uint8_t* src = ctx.src;

    ByteWriter leadIn(ctx.dst, ctx.dstCap);
    leadIn.putBytes(src, SAMPLE_SIZE);

    lzw::DifferenceSink<SAMPLE_SIZE, DoubleSum> sink(leadIn, {std::bit_cast<double>(load64(src))});
    lzw::BitReader in(src, ctx.srcLen, std::int64_t{SAMPLE_SIZE} * 8);
    const CodecStatus status = lzw::decodeDifferences(in, sink);
    if (status != CODEC_OK) return codecStatus(status);
    if (!in.endCovered() || !sink.complete())
        return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(sink.length());
}

}  // namespace reduct
