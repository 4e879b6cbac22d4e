// Byte-plane LZW coding of 16-bit words (method 13).
//
// The source is N little-endian words (2N bytes, N >= 1). The high bytes of
// all words form one plane and the low bytes another; each plane is one LZW
// pass with a dictionary of its own, and the two passes share one bit
// stream:
//
//   | offset          | size    | field                                              |
//   |-----------------|---------|----------------------------------------------------|
//   | 0               | 4       | source length 2N, signed 32-bit                    |
//   | 4, bit 0        | ...     | high-byte plane: BYTE_SYMBOLS pass                 |
//   |                 |         | (clear 256, codes of high bytes 0..N-1, end 257)   |
//   | next bit        | ...     | low-byte plane: BYTE_SYMBOLS_2 pass                |
//   |                 |         | (clear 258, codes of low bytes 0..N-1, end 259)    |
//   | up to length    |         | zero bits; the stream's last byte holds the bit    |
//   |                 |         | right after the final end code                     |
//
// The second pass starts at the bit right after the first pass's end code,
// with no byte alignment and the width back at 9 bits.
//
// No plane buffers are needed: the encoder reads each plane straight from
// the source with a stride of 2, and the decoder writes the high bytes of
// the first pass into the odd destination bytes and the low bytes of the
// second pass into the even ones. A stream whose passes do not both hold
// exactly N symbols, or whose stored length is not a positive even number,
// was not made by the encoder and is refused.
#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/pass_engine.h"
#include "lzw/plane_split_coders.h"

namespace reduct {
namespace {

using lzw_pass::BitReader;
using lzw_pass::BitWriter;
using lzw_pass::CodeTable;

constexpr std::int32_t HEADER_BYTES = 4;

// Receives the strings of one pass and stores plane byte i at dst[2i +
// offset], where that lies inside the capacity. Counts the symbols and
// refuses any beyond the plane's size.
struct PlaneSink {
    std::uint8_t* dst;
    std::int64_t cap;
    std::int64_t planeSize;
    std::int64_t offset;  // 1: high bytes, 0: low bytes
    std::int64_t count = 0;

    bool operator()(const CodeTable& table, std::uint32_t code, std::uint32_t length) noexcept {
        const std::int64_t start = count;
        count += length;
        if (count > planeSize) return false;
        if (2 * (count - 1) + offset < cap) {
            std::uint8_t* p = dst + 2 * start + offset;
            table.walk(code, [p](std::uint32_t k, std::uint16_t symbol) {
                p[2 * k] = static_cast<std::uint8_t>(symbol);
            });
        } else {
            table.walk(code, [this, start](std::uint32_t k, std::uint16_t symbol) {
                const std::int64_t at = 2 * (start + k) + offset;
                if (at < cap) dst[at] = static_cast<std::uint8_t>(symbol);
            });
        }
        return true;
    }
};

}  // namespace

CodecResult EncodeBytePlaneLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < 2 || ctx.srcLen % 2 != 0) return codecStatus(CODEC_BAD_LENGTH);
    const std::uint8_t* src = ctx.src;
    const std::int64_t words = ctx.srcLen / 2;

    BitWriter out(ctx.dst, ctx.dstCap);
    out.put(static_cast<std::uint32_t>(ctx.srcLen), 32);
    lzw_pass::CodeDictionary dict;
    lzw_pass::encodePass(out, dict, lzw_pass::BYTE_SYMBOLS, words,
                         [src](std::int64_t i) -> std::uint32_t { return src[2 * i + 1]; });
    lzw_pass::encodePass(out, dict, lzw_pass::BYTE_SYMBOLS_2, words,
                         [src](std::int64_t i) -> std::uint32_t { return src[2 * i]; });
    return encodedLength(out.finish());
}

CodecResult DecodeBytePlaneLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < HEADER_BYTES) return codecStatus(CODEC_BAD_STREAM);
    const auto storedLength = static_cast<std::int32_t>(load32(ctx.src));
    if (storedLength < 2 || storedLength % 2 != 0) return codecStatus(CODEC_BAD_STREAM);
    const std::int64_t words = storedLength / 2;

    BitReader in(ctx.src, ctx.srcLen, HEADER_BYTES * 8);
    CodeTable table;
    PlaneSink high{ctx.dst, ctx.dstCap, words, 1};
    if (!lzw_pass::decodePass(in, table, lzw_pass::BYTE_SYMBOLS, high) || high.count != words)
        return codecStatus(CODEC_BAD_STREAM);
    PlaneSink low{ctx.dst, ctx.dstCap, words, 0};
    if (!lzw_pass::decodePass(in, table, lzw_pass::BYTE_SYMBOLS_2, low) || low.count != words)
        return codecStatus(CODEC_BAD_STREAM);
    // The encoder's stream always holds the bit after its final end code.
    if (in.position() >= in.totalBits()) return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(2 * words);
}

}  // namespace reduct
