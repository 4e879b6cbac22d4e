// Delta-run coding of 32-bit integers (method 1).
//
// Stream, little-endian:
//
//   | offset | width     | content                                          |
//   |--------|-----------|--------------------------------------------------|
//   | 0      | 4 bytes   | the first value, unchanged                       |
//   | 4      | to the end| items of one or two 32-bit words                 |
//
// The items carry the differences d(i) = x(i) - x(i-1) modulo 2^32. Each item
// starts with a word w, compared unsigned:
//
//   | first word w            | item    | words | stands for                       |
//   |-------------------------|---------|-------|----------------------------------|
//   | 0x00000000..0x80000000  | literal | 1     | one difference equal to w        |
//   | 0x80000001..0xFFFFFFFF  | run     | 2     | n = w & 0x7FFFFFFF differences,  |
//   |                         |         |       | all equal to the word after w    |
//
// The encoder writes a lone difference d <= 0x80000000 as a literal, a lone
// d >= 0x80000001 as the escape 0x80000001 followed by d, and n >= 2 equal
// differences as (0x80000000 | n) followed by d. A series with a constant
// step therefore codes to 12 bytes once it has three values.
//
// Sources must be a whole number of 32-bit values. Decoding refuses a stream
// shorter than one word, not a whole number of words, ending in a marker
// without its difference, or expanding past 2^31 - 1 bytes.
#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "word/word_coders.h"

namespace reduct {
namespace {

constexpr std::uint32_t RUN_FLAG_32 = 0x80000000u;
constexpr std::uint32_t MAX_RUN_32 = 0x7FFFFFFFu;
constexpr std::uint32_t ESCAPE_32 = RUN_FLAG_32 | 1u;
constexpr std::int64_t WORD = 4;

}  // namespace

CodecResult EncodeInt32DeltaRun(const CodecContext& ctx) noexcept {
    if (ctx.srcLen % WORD != 0) return codecStatus(CODEC_BAD_LENGTH);

    const std::uint8_t* src = ctx.src;
    const std::int64_t count = ctx.srcLen / WORD;
    ByteWriter out(ctx.dst, ctx.dstCap);

    std::uint32_t prev = load32(src);
    out.put<std::uint32_t>(prev);

    std::int64_t i = 1;
    while (i < count) {
        const std::uint32_t x = load32(src + i * WORD);
        const std::uint32_t d = x - prev;
        prev = x;
        const std::int64_t limit = count - i < MAX_RUN_32 ? count : i + MAX_RUN_32;
        std::int64_t j = i + 1;
        while (j < limit) {
            const std::uint32_t next = load32(src + j * WORD);
            if (next - prev != d) break;
            prev = next;
            ++j;
        }
        const std::int64_t run = j - i;
        i = j;

        const bool literal = run == 1 && d < ESCAPE_32;
        const std::uint32_t marker = run == 1 ? ESCAPE_32 : (RUN_FLAG_32 | static_cast<std::uint32_t>(run));
        // One item is at most two words; check the room once per item.
        if (out.remainingCapacity() >= 2 * WORD) {
            std::uint8_t* p = out.cursor();
            if (literal) {
                store32(p, d);
                out.advance(WORD);
            } else {
                store32(p, marker);
                store32(p + WORD, d);
                out.advance(2 * WORD);
            }
        } else if (literal) {
            out.put<std::uint32_t>(d);
        } else {
            out.put<std::uint32_t>(marker);
            out.put<std::uint32_t>(d);
        }
    }
    return encodedLength(out.length());
}

CodecResult DecodeInt32DeltaRun(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < WORD || ctx.srcLen % WORD != 0) return codecStatus(CODEC_BAD_STREAM);

    ByteReader in(ctx.src, ctx.srcLen);
    ByteWriter out(ctx.dst, ctx.dstCap);

    std::uint32_t prev = in.get<std::uint32_t>();
    out.put<std::uint32_t>(prev);

    while (!in.atEnd()) {
        const std::uint32_t w = in.get<std::uint32_t>();
        if (w < ESCAPE_32) {
            prev += w;
            if (out.remainingCapacity() >= WORD) {
                store32(out.cursor(), prev);
                out.advance(WORD);
            } else {
                out.put<std::uint32_t>(prev);
            }
            continue;
        }
        if (in.atEnd()) return codecStatus(CODEC_BAD_STREAM);
        const std::uint32_t d = in.get<std::uint32_t>();
        const std::uint32_t n = w & MAX_RUN_32;

        // Store what fits, then only count the values past the capacity: a
        // damaged marker may stand for 2^31 - 1 values.
        const std::int64_t room = out.remainingCapacity() / WORD;
        const std::int64_t stored = n < room ? n : room;
        std::uint8_t* p = out.cursor();
        std::uint32_t v = prev;
        for (std::int64_t k = 0; k < stored; ++k) {
            v += d;
            store32(p + k * WORD, v);
        }
        out.advance(stored * WORD);
        if (n > stored) {
            // The value that straddles the capacity keeps its leading bytes.
            out.put<std::uint32_t>(v + d);
            out.advance((n - stored - 1) * WORD);
        }
        prev += n * d;
        if (out.length() > MAX_CODEC_LENGTH) return codecStatus(CODEC_BAD_STREAM);
    }
    return decodedLength(out.length());
}

}  // namespace reduct
