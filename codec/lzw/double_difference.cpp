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
#include <cstring>

#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/float_lzw_coders.h"
#include "lzw/lzw_core.h"

namespace reduct {
namespace {

constexpr std::int32_t SAMPLE_SIZE = 8;

// Encoder side: hands out the bytes of each difference. The differences of
// a block of samples are worked out together, which keeps the floating-point
// work out of the per-symbol path.
class DoubleDeltaSymbols {
public:
    static constexpr lzw::Alphabet ALPHABET = lzw::Alphabet::BYTE_SYMBOLS;

    DoubleDeltaSymbols(const std::uint8_t* samples, std::int64_t sampleCount) noexcept
        : samples_(samples), sampleCount_(sampleCount), remaining_((sampleCount - 1) * SAMPLE_SIZE) {}

    unsigned NextSymbol() noexcept {
        if (at_ == end_) refill();
        --remaining_;
        return buffer_[at_++];
    }
    // The source bytes not yet turned into symbols (the source length less
    // the bytes consumed).
    bool moreInput() const noexcept { return remaining_ > 0; }

private:
    void refill() noexcept {
        const std::int64_t left = sampleCount_ - next_;
        const std::int64_t n = left < BLOCK ? left : BLOCK;
        const std::uint8_t* p = samples_ + next_ * SAMPLE_SIZE;
        // Each difference is taken between two source samples, never between
        // a sample and a rebuilt one.
        double last = std::bit_cast<double>(load64(p - SAMPLE_SIZE));
        for (std::int64_t i = 0; i < n; ++i) {
            const double x = std::bit_cast<double>(load64(p + i * SAMPLE_SIZE));
            store64(buffer_ + i * SAMPLE_SIZE, std::bit_cast<std::uint64_t>(x - last));
            last = x;
        }
        next_ += n;
        at_ = 0;
        end_ = static_cast<std::size_t>(n) * SAMPLE_SIZE;
    }

    static constexpr std::int64_t BLOCK = 256;
    const std::uint8_t* samples_;
    std::int64_t sampleCount_;
    std::int64_t remaining_;  // symbols not yet handed out
    std::int64_t next_ = 1;   // the next sample to read
    std::size_t at_ = 0, end_ = 0;
    std::uint8_t buffer_[BLOCK * SAMPLE_SIZE];
};

// Decoder side: gathers eight bytes into a difference and writes the sum it
// completes.
struct DoubleDeltaSink {
    static constexpr lzw::Alphabet ALPHABET = lzw::Alphabet::BYTE_SYMBOLS;

    ByteWriter& out;
    double lastDouble;
    std::uint64_t deltaBits = 0;
    unsigned byteIndex = 0;
    std::int64_t differences = 0;

    void putSymbols(const std::uint8_t* s, std::size_t n) noexcept {
        std::size_t i = 0;
        while (i < n && byteIndex != 0) addByte(s[i++]);
        // Whole differences straight from the block; one capacity check for
        // all of them when they fit.
        const std::size_t whole = (n - i) / 8;
        if (out.remainingCapacity() >= static_cast<std::int64_t>(whole * 8)) {
            std::uint8_t* p = out.cursor();
            for (std::size_t k = 0; k < whole; ++k, i += 8) {
                lastDouble += std::bit_cast<double>(load64(s + i));
                store64(p + 8 * k, std::bit_cast<std::uint64_t>(lastDouble));
            }
            out.advance(static_cast<std::int64_t>(whole * 8));
            differences += static_cast<std::int64_t>(whole);
        } else {
            for (std::size_t k = 0; k < whole; ++k, i += 8) emit(load64(s + i));
        }
        while (i < n) addByte(s[i++]);
    }

    // Stops the driver once the output could no longer be reported.
    bool failed() const noexcept { return out.length() > MAX_CODEC_LENGTH; }

    void addByte(std::uint8_t b) noexcept {
        deltaBits |= static_cast<std::uint64_t>(b) << (8 * byteIndex);
        if (++byteIndex == 8) {
            emit(deltaBits);
            deltaBits = 0;
            byteIndex = 0;
        }
    }
    void emit(std::uint64_t bits) noexcept {
        lastDouble += std::bit_cast<double>(bits);
        out.put<std::uint64_t>(std::bit_cast<std::uint64_t>(lastDouble));
        ++differences;
    }
};

}  // namespace

CodecResult EncodeDoubleLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < 2 * SAMPLE_SIZE || ctx.srcLen % SAMPLE_SIZE != 0) return codecStatus(CODEC_BAD_LENGTH);
    const std::uint8_t* src = ctx.src;

    lzw::BitWriter out(ctx.dst, ctx.dstCap);
    out.putBytes(src, SAMPLE_SIZE);

    DoubleDeltaSymbols model(src, ctx.srcLen / SAMPLE_SIZE);
    lzw::CodeDictionary dictionary;
    lzw::EncodeDriver(model, out, dictionary);
    return encodedLength(out.finish());
}

CodecResult DecodeDoubleLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < SAMPLE_SIZE) return codecStatus(CODEC_BAD_STREAM);
    const std::uint8_t* src = ctx.src;

    ByteWriter out(ctx.dst, ctx.dstCap);
    out.putBytes(src, SAMPLE_SIZE);

    DoubleDeltaSink sink{out, std::bit_cast<double>(load64(src))};
    lzw::BitReader in(src, ctx.srcLen, std::int64_t{SAMPLE_SIZE} * 8);
    lzw::CodeTable<std::uint8_t> table;
    const CodecStatus status = lzw::DecodeDriver(in, sink, table);
    if (status != CODEC_OK) return codecStatus(status);
    if (!in.endCovered() || sink.differences == 0 || sink.byteIndex != 0)
        return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(out.length());
}

}  // namespace reduct
