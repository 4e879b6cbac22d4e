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
#include "lzw/lzw_coders.h"
#include "lzw/lzw_core.h"

namespace reduct {
namespace {

using lzw::Alphabet;

template <typename Word>
class DeltaSymbols {
public:
    static constexpr Alphabet ALPHABET = Alphabet::BYTE_SYMBOLS;
    static constexpr std::size_t W = sizeof(Word);

    DeltaSymbols(const std::uint8_t* src, std::int64_t valueCount) noexcept
        : src_(src), valueCount_(valueCount), remaining_((valueCount - 1) * static_cast<std::int64_t>(W)) {}

    unsigned NextSymbol() noexcept {
        if (at_ == end_) refill();
        --remaining_;
        return buffer_[at_++];
    }
    bool moreInput() const noexcept { return remaining_ > 0; }

private:
    // The difference bytes of the next block of values.
    void refill() noexcept {
        const std::int64_t left = valueCount_ - next_;
        const std::int64_t n = left < BLOCK ? left : BLOCK;
        Word previous = loadWord<Word>(src_ + (next_ - 1) * static_cast<std::int64_t>(W));
        const std::uint8_t* p = src_ + next_ * static_cast<std::int64_t>(W);
        for (std::int64_t i = 0; i < n; ++i) {
            const Word value = loadWord<Word>(p + i * static_cast<std::int64_t>(W));
            storeWord<Word>(buffer_ + static_cast<std::size_t>(i) * W, static_cast<Word>(value - previous));
            previous = value;
        }
        next_ += n;
        at_ = 0;
        end_ = static_cast<std::size_t>(n) * W;
    }

    static constexpr std::int64_t BLOCK = 1024;
    const std::uint8_t* src_;
    std::int64_t valueCount_;
    std::int64_t next_ = 1;  // the next value to difference
    std::int64_t remaining_;  // symbols not yet handed out
    std::size_t at_ = 0, end_ = 0;
    std::uint8_t buffer_[BLOCK * W];
};

template <typename Word>
class DeltaValues {
public:
    static constexpr Alphabet ALPHABET = Alphabet::BYTE_SYMBOLS;
    static constexpr std::size_t W = sizeof(Word);

    DeltaValues(std::uint8_t* dst, std::int32_t cap, Word first) noexcept
        : dst_(dst), cap_(cap), last_(first) {}

    void putSymbols(const std::uint8_t* s, std::size_t n) noexcept {
        symbols_ += static_cast<std::int64_t>(n);
        // Finish a difference begun in the previous block.
        while (n > 0 && pendingBytes_ != 0) {
            pending_[pendingBytes_++] = *s++;
            --n;
            if (pendingBytes_ == W) {
                pendingBytes_ = 0;
                putValue(static_cast<Word>(last_ + loadWord<Word>(pending_)));
            }
        }
        const std::size_t whole = n / W;
        const std::int64_t bytes = static_cast<std::int64_t>(whole * W);
        if (pos_ + bytes <= cap_) {
            std::uint8_t* out = dst_ + pos_;
            Word last = last_;
            for (std::size_t i = 0; i < whole; ++i) {
                last = static_cast<Word>(last + loadWord<Word>(s + i * W));
                storeWord<Word>(out + i * W, last);
            }
            last_ = last;
            pos_ += bytes;
        } else {
            for (std::size_t i = 0; i < whole; ++i)
                putValue(static_cast<Word>(last_ + loadWord<Word>(s + i * W)));
        }
        s += whole * W;
        n -= whole * W;
        for (std::size_t i = 0; i < n; ++i) pending_[pendingBytes_++] = s[i];
    }

    // No stream Encode makes decodes to more than 2^31 - 1 bytes; a longer
    // one is stopped instead of counted to its end.
    bool failed() const noexcept { return pos_ > MAX_CODEC_LENGTH; }

    // The stream made whole differences, and at least one.
    bool complete() const noexcept { return pendingBytes_ == 0 && symbols_ > 0; }
    std::int64_t length() const noexcept { return pos_; }

private:
    void putValue(Word v) noexcept {
        last_ = v;
        if (pos_ + static_cast<std::int64_t>(W) <= cap_) {
            storeWord<Word>(dst_ + pos_, v);
        } else {
            std::uint8_t b[W];
            storeWord<Word>(b, v);
            for (std::size_t i = 0; i < W; ++i)
                if (pos_ + static_cast<std::int64_t>(i) < cap_) dst_[pos_ + static_cast<std::int64_t>(i)] = b[i];
        }
        pos_ += static_cast<std::int64_t>(W);
    }

    std::uint8_t* dst_;
    std::int64_t cap_;
    std::int64_t pos_ = static_cast<std::int64_t>(W);  // the first value is already out
    Word last_;
    std::int64_t symbols_ = 0;
    std::uint8_t pending_[W] = {};
    std::size_t pendingBytes_ = 0;
};

template <typename Word>
CodecResult encodeDeltaLzw(const CodecContext& ctx) noexcept {
    constexpr std::int32_t W = sizeof(Word);
    if (ctx.srcLen % W != 0 || ctx.srcLen < 2 * W) return codecStatus(CODEC_BAD_LENGTH);

    lzw::BitWriter out(ctx.dst, ctx.dstCap);
    out.putBytes(ctx.src, W);
    DeltaSymbols<Word> symbols(ctx.src, ctx.srcLen / W);
    lzw::CodeDictionary dictionary;
    lzw::EncodeDriver(symbols, out, dictionary);
    return encodedLength(out.finish());
}

template <typename Word>
CodecResult decodeDeltaLzw(const CodecContext& ctx) noexcept {
    constexpr std::int32_t W = sizeof(Word);
    lzw::BitReader in(ctx.src, ctx.srcLen);
    std::uint8_t first[sizeof(Word)];
    if (!in.readBytes(first, W)) return codecStatus(CODEC_BAD_STREAM);
    for (std::int32_t i = 0; i < W && i < ctx.dstCap; ++i) ctx.dst[i] = first[i];

    DeltaValues<Word> values(ctx.dst, ctx.dstCap, loadWord<Word>(first));
    lzw::CodeTable<std::uint8_t> table;
    if (lzw::DecodeDriver(in, values, table) != CODEC_OK) return codecStatus(CODEC_BAD_STREAM);
    if (!values.complete() || !in.endCovered()) return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(values.length());
}

}  // namespace

CodecResult EncodeDelta16Lzw(const CodecContext& ctx) noexcept { return encodeDeltaLzw<std::uint16_t>(ctx); }
CodecResult DecodeDelta16Lzw(const CodecContext& ctx) noexcept { return decodeDeltaLzw<std::uint16_t>(ctx); }
CodecResult EncodeDelta32Lzw(const CodecContext& ctx) noexcept { return encodeDeltaLzw<std::uint32_t>(ctx); }
CodecResult DecodeDelta32Lzw(const CodecContext& ctx) noexcept { return decodeDeltaLzw<std::uint32_t>(ctx); }

}  // namespace reduct
