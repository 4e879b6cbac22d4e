// Run-length coding of 16-bit words (method 2) and 32-bit words (method 10).
//
// Stream: a sequence of items, no header, no terminator; the stream ends
// where the coded bytes end. Each item starts with one little-endian word w,
// compared unsigned:
//
//   | first word w (16-bit / 32-bit)              | item    | words | stands for                  |
//   |---------------------------------------------|---------|-------|-----------------------------|
//   | 0x0000..0x8000 / 0x00000000..0x80000000      | literal | 1     | the word w itself           |
//   | 0x8001..0xFFFF / 0x80000001..0xFFFFFFFF      | run     | 2     | n = w & 0x7FFF(FFFF) copies |
//   |                                             |         |       | of the value word after w   |
//
// The encoder writes a lone word v <= 0x8000 as a literal, a lone word
// v >= 0x8001 as the escape 0x8001 (a run of one) followed by v, and n >= 2
// equal words as (0x8000 | n) followed by the value, at most 32767 (or
// 2^31 - 1) words per marker; longer runs become several items. A run of two
// is coded as a run even though it costs as much as two literals.
//
// Sources must be a whole number of words. Decoding refuses a stream that is
// not a whole number of words or that ends in a marker without its value.
#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "word/word_coders.h"

namespace reduct {
namespace {

template <typename Word>
struct RunFormat {
    static constexpr Word RUN_FLAG = static_cast<Word>(Word{1} << (sizeof(Word) * 8 - 1));
    static constexpr Word MAX_RUN = static_cast<Word>(RUN_FLAG - 1);
    static constexpr Word ESCAPE = static_cast<Word>(RUN_FLAG | 1);
};

template <typename Word>
CodecResult encodeWordRun(const CodecContext& ctx) noexcept {
    using F = RunFormat<Word>;
    constexpr std::int64_t W = sizeof(Word);
    if (ctx.srcLen % W != 0) return codecStatus(CODEC_BAD_LENGTH);

    const std::uint8_t* src = ctx.src;
    const std::int64_t count = ctx.srcLen / W;
    ByteWriter out(ctx.dst, ctx.dstCap);

    std::int64_t i = 0;
    while (i < count) {
        const Word v = loadWord<Word>(src + i * W);
        const std::int64_t limit = count - i < F::MAX_RUN ? count : i + F::MAX_RUN;
        std::int64_t j = i + 1;
        while (j < limit && loadWord<Word>(src + j * W) == v) ++j;
        const std::int64_t run = j - i;
        i = j;

        // One item is at most two words; check the room once per item.
        if (out.remainingCapacity() >= 2 * W) {
            std::uint8_t* p = out.cursor();
            if (run == 1 && v < F::ESCAPE) {
                storeWord<Word>(p, v);
                out.advance(W);
            } else {
                storeWord<Word>(p, run == 1 ? F::ESCAPE : static_cast<Word>(F::RUN_FLAG | run));
                storeWord<Word>(p + W, v);
                out.advance(2 * W);
            }
        } else if (run == 1 && v < F::ESCAPE) {
            out.put<Word>(v);
        } else {
            out.put<Word>(run == 1 ? F::ESCAPE : static_cast<Word>(F::RUN_FLAG | run));
            out.put<Word>(v);
        }
    }
    return encodedLength(out.length());
}

template <typename Word>
CodecResult decodeWordRun(const CodecContext& ctx) noexcept {
    using F = RunFormat<Word>;
    constexpr std::int64_t W = sizeof(Word);
    if (ctx.srcLen % W != 0) return codecStatus(CODEC_BAD_STREAM);

    ByteReader in(ctx.src, ctx.srcLen);
    ByteWriter out(ctx.dst, ctx.dstCap);
    while (!in.atEnd()) {
        const Word w = in.get<Word>();
        if (w < F::ESCAPE) {
            out.put<Word>(w);
            continue;
        }
        if (!in.has(W)) return codecStatus(CODEC_BAD_STREAM);
        const Word v = in.get<Word>();
        out.fill<Word>(v, static_cast<std::int64_t>(w & F::MAX_RUN));
        // Stop as soon as the stream expands past anything Encode can make.
        if (out.length() > MAX_CODEC_LENGTH) return codecStatus(CODEC_BAD_STREAM);
    }
    return decodedLength(out.length());
}

}  // namespace

CodecResult EncodeWord16Run(const CodecContext& ctx) noexcept { return encodeWordRun<std::uint16_t>(ctx); }
CodecResult DecodeWord16Run(const CodecContext& ctx) noexcept { return decodeWordRun<std::uint16_t>(ctx); }
CodecResult EncodeWord32Run(const CodecContext& ctx) noexcept { return encodeWordRun<std::uint32_t>(ctx); }
CodecResult DecodeWord32Run(const CodecContext& ctx) noexcept { return decodeWordRun<std::uint32_t>(ctx); }

}  // namespace reduct
