// Delta-byte LZW coding of 16-bit integers (methods 3 and 8) and 32-bit
// integers (methods 4 and 9); W is the value size, 2 or 4 bytes.
//
//   | offset | size      | field                                                 |
//   |--------|-----------|-------------------------------------------------------|
//   | 0      | W         | the first value, as in the source (little-endian)     |
//   | W      | to the end| LZW code stream, BYTE_SYMBOLS, from bit 0 of byte W    |
//
// The symbols are the W bytes, least significant first, of each difference
// between a value and the one before it, taken modulo 2^(8W); N values give
// W·(N − 1) symbols. Bits after the end code are zero; the length counts one
// byte past the byte where the end code stops.
//
// The source must hold at least two whole values. A stream whose symbols do
// not make a whole number of differences, or that has none, is refused.
#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/difference_model.h"
#include "lzw/lzw_coders.h"
#include "lzw/lzw_core.h"

namespace reduct {
namespace {

// Integer differences modulo 2^(8W) between neighbouring source values.
template <typename Word>
struct WordDifference {
    using Value = Word;
    Word load(const std::uint8_t* p) const noexcept { return loadWord<Word>(p); }
    Word difference(Word current, Word previous) const noexcept {
        return static_cast<Word>(current - previous);
    }
};

// The running value modulo 2^(8W); each value is written as it is.
template <typename Word>
struct WordSum {
    Word last;
    Word next(Word difference) noexcept {
        last = static_cast<Word>(last + difference);
        return last;
    }
};

template <typename Word>
CodecResult encodeDeltaLzw(const CodecContext& ctx) noexcept {
    constexpr std::int32_t W = sizeof(Word);
    if (ctx.srcLen % W != 0 || ctx.srcLen < 2 * W) return codecStatus(CODEC_BAD_LENGTH);

    const auto leadIn = [&](lzw::BitWriter& out) noexcept { out.putBytes(ctx.src, W); };
    return encodedLength(lzw::encodeDifferences<sizeof(Word)>(ctx, leadIn, ctx.src, ctx.srcLen / W,
                                                              WordDifference<Word>{}));
}

template <typename Word>
CodecResult decodeDeltaLzw(const CodecContext& ctx) noexcept {
    constexpr std::int32_t W = sizeof(Word);
    lzw::BitReader in(ctx.src, ctx.srcLen);
    std::uint8_t first[sizeof(Word)];
    if (!in.readBytes(first, W)) return codecStatus(CODEC_BAD_STREAM);
    ByteWriter leadIn(ctx.dst, ctx.dstCap);
    leadIn.putBytes(first, W);

    lzw::DifferenceSink<sizeof(Word), WordSum<Word>> values(leadIn, {loadWord<Word>(first)});
    if (lzw::decodeDifferences(in, values) != CODEC_OK) return codecStatus(CODEC_BAD_STREAM);
    if (!values.complete() || !in.endCovered()) return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(values.length());
}

}  // namespace

CodecResult EncodeDelta16Lzw(const CodecContext& ctx) noexcept { return encodeDeltaLzw<std::uint16_t>(ctx); }
CodecResult DecodeDelta16Lzw(const CodecContext& ctx) noexcept { return decodeDeltaLzw<std::uint16_t>(ctx); }
CodecResult EncodeDelta32Lzw(const CodecContext& ctx) noexcept { return encodeDeltaLzw<std::uint32_t>(ctx); }
CodecResult DecodeDelta32Lzw(const CodecContext& ctx) noexcept { return decodeDeltaLzw<std::uint32_t>(ctx); }

}  // namespace reduct
