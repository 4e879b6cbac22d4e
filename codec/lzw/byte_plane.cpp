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
// with no byte alignment and the width back at 9 bits. A first-pass end code
// written while the encoder's next code is 512 or 1024 is one bit narrower
// than the decoder reads it; the decoder gives that bit (the first bit of
// the clear code 258) back before the second pass.
//
// No whole-plane buffers are needed: the encoder gathers each plane from
// the source with a stride of 2, a block at a time, and the decoder writes
// the high bytes of the first pass into the odd destination bytes and the
// low bytes of the second pass into the even ones. A stream whose passes do
// not both hold exactly N symbols, or whose stored length is not a positive
// even number, was not made by the encoder and is refused.
#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/lzw_core.h"
#include "lzw/lzw_coders.h"

namespace reduct {
namespace {

using lzw::Alphabet;

constexpr std::int32_t HEADER_BYTES = 4;

// One plane of the source: every second byte (the high bytes from src + 1,
// the low bytes from src).
constexpr auto planeByte = [](const std::uint8_t* word) noexcept { return *word; };
template <Alphabet A>
using PlaneSymbols = lzw::RecordSymbols<A, 2, decltype(planeByte)>;

// Receives one decoded plane and stores plane byte i at dst[2i + offset],
// where that lies inside the capacity. A plane longer than the stored length
// provides for is refused.
template <Alphabet A>
class PlaneBytes {
public:
    static constexpr Alphabet ALPHABET = A;

    PlaneBytes(std::uint8_t* dst, std::int32_t cap, std::int64_t offset,
               std::int64_t words) noexcept
        : dst_(dst), cap_(cap), offset_(offset), words_(words) {}

    void putSymbols(const std::uint8_t* s, std::size_t n) noexcept {
        const std::int64_t start = count_;
        count_ += static_cast<std::int64_t>(n);
        if (count_ > words_) return;
        const std::int64_t last = 2 * (count_ - 1) + offset_;
        if (last < cap_) {
            std::uint8_t* out = dst_ + 2 * start + offset_;
            for (std::size_t i = 0; i < n; ++i) out[2 * i] = s[i];
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                const std::int64_t at = 2 * (start + static_cast<std::int64_t>(i)) + offset_;
                if (at < cap_) dst_[at] = s[i];
            }
        }
    }
    bool failed() const noexcept { return count_ > words_; }
    bool complete() const noexcept { return count_ == words_; }

private:
    std::uint8_t* dst_;
    std::int64_t cap_;
    std::int64_t offset_;  // 1: high bytes, 0: low bytes
    std::int64_t words_;
    std::int64_t count_ = 0;
};

// One pass of the decoder into every second destination byte.
template <Alphabet A>
bool decodePlane(lzw::BitReader& in, lzw::CodeTable<std::uint8_t>& table, const CodecContext& ctx,
                 std::int64_t offset, std::int64_t words) noexcept {
    PlaneBytes<A> plane(ctx.dst, ctx.dstCap, offset, words);
    return lzw::DecodeDriver(in, plane, table) == CODEC_OK && plane.complete();
}

}  // namespace

CodecResult EncodeBytePlaneLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < 2 || ctx.srcLen % 2 != 0) return codecStatus(CODEC_BAD_LENGTH);
    const std::int64_t words = ctx.srcLen / 2;

    lzw::BitWriter out(ctx.dst, ctx.dstCap);
    out.put(static_cast<std::uint32_t>(ctx.srcLen), 32);
    lzw::WithDictionary<Alphabet::BYTE_SYMBOLS>(words, [&](auto& dictionary) noexcept {
        PlaneSymbols<Alphabet::BYTE_SYMBOLS> high(ctx.src + 1, words, planeByte);
        lzw::EncodeDriver(high, out, dictionary);
        PlaneSymbols<Alphabet::BYTE_SYMBOLS_2> low(ctx.src, words, planeByte);
        lzw::EncodeDriver(low, out, dictionary);
    });
    return encodedLength(out.finish());
}

CodecResult DecodeBytePlaneLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < HEADER_BYTES) return codecStatus(CODEC_BAD_STREAM);
    const auto storedLength = static_cast<std::int32_t>(load32(ctx.src));
    if (storedLength < 2 || storedLength % 2 != 0) return codecStatus(CODEC_BAD_STREAM);
    const std::int64_t words = storedLength / 2;

    lzw::BitReader in(ctx.src, ctx.srcLen, HEADER_BYTES * 8);
    lzw::CodeTable<std::uint8_t> table;  // serves both passes in turn
    if (!decodePlane<Alphabet::BYTE_SYMBOLS>(in, table, ctx, 1, words) ||
        !decodePlane<Alphabet::BYTE_SYMBOLS_2>(in, table, ctx, 0, words))
        return codecStatus(CODEC_BAD_STREAM);
    if (!in.endCovered()) return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(2 * words);
}

}  // namespace reduct
