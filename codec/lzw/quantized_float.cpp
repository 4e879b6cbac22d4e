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
#include <cstdint>
#include <cstring>

#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/float_lzw_coders.h"
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

// Encoder side: hands out the bytes of each fixed-point difference. The
// differences of a block of samples are worked out together, which keeps the
// floating-point work out of the per-symbol path.
class FixedDeltaSymbols {
public:
    static constexpr lzw::Alphabet ALPHABET = lzw::Alphabet::BYTE_SYMBOLS;

    FixedDeltaSymbols(const std::uint8_t* samples, std::int64_t sampleCount, FixedRange range,
                      std::uint32_t q0) noexcept
        : samples_(samples),
          sampleCount_(sampleCount),
          range_(range),
          fixedValue_(q0),
          remaining_((sampleCount - 1) * 4) {}

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
        const std::uint8_t* p = samples_ + next_ * 4;
        std::uint32_t last = fixedValue_;
        for (std::int64_t i = 0; i < n; ++i) {
            const std::uint32_t q = toFixed(loadFloat(p + i * 4), range_);
            store32(buffer_ + i * 4, q - last);
            last = q;
        }
        fixedValue_ = last;
        next_ += n;
        at_ = 0;
        end_ = static_cast<std::size_t>(n) * 4;
    }

    static constexpr std::int64_t BLOCK = 256;
    const std::uint8_t* samples_;
    std::int64_t sampleCount_;
    FixedRange range_;
    std::uint32_t fixedValue_;  // fixed-point value of the sample read last
    std::int64_t remaining_;    // symbols not yet handed out
    std::int64_t next_ = 1;     // the next sample to read
    std::size_t at_ = 0, end_ = 0;
    std::uint8_t buffer_[BLOCK * 4];
};

// Decoder side: gathers four bytes into a difference and writes the sample
// it completes.
struct FixedDeltaSink {
    static constexpr lzw::Alphabet ALPHABET = lzw::Alphabet::BYTE_SYMBOLS;

    ByteWriter& out;
    FixedRange range;
    std::uint32_t fixedValue;
    std::uint32_t fixedDelta = 0;
    unsigned byteIndex = 0;
    std::int64_t differences = 0;

    void putSymbols(const std::uint8_t* s, std::size_t n) noexcept {
        std::size_t i = 0;
        while (i < n && byteIndex != 0) addByte(s[i++]);
        // Whole differences straight from the block; one capacity check for
        // all of them when they fit.
        const std::size_t whole = (n - i) / 4;
        if (out.remainingCapacity() >= static_cast<std::int64_t>(whole * 4)) {
            std::uint8_t* p = out.cursor();
            for (std::size_t k = 0; k < whole; ++k, i += 4) {
                fixedValue += load32(s + i);
                const float x = fromFixed(fixedValue, range);
                std::memcpy(p + 4 * k, &x, 4);
            }
            out.advance(static_cast<std::int64_t>(whole * 4));
            differences += static_cast<std::int64_t>(whole);
        } else {
            for (std::size_t k = 0; k < whole; ++k, i += 4) emit(load32(s + i));
        }
        while (i < n) addByte(s[i++]);
    }

    // Stops the driver once the output could no longer be reported.
    bool failed() const noexcept { return out.length() > MAX_CODEC_LENGTH; }

    void addByte(std::uint8_t b) noexcept {
        fixedDelta |= static_cast<std::uint32_t>(b) << (8 * byteIndex);
        if (++byteIndex == 4) {
            emit(fixedDelta);
            fixedDelta = 0;
            byteIndex = 0;
        }
    }
    void emit(std::uint32_t delta) noexcept {
        fixedValue += delta;
        out.put<float>(fromFixed(fixedValue, range));
        ++differences;
    }
};

}  // namespace

CodecResult EncodeFloatLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < HEADER_LENGTH || ctx.srcLen % 4 != 0) return codecStatus(CODEC_BAD_LENGTH);
    const std::uint8_t* src = ctx.src;
    const FixedRange range = FixedRange::of(src);
    const std::uint32_t q0 = toFixed(loadFloat(src + 8), range);

    lzw::BitWriter out(ctx.dst, ctx.dstCap);
    out.put(static_cast<std::uint32_t>(ctx.srcLen), 32);
    out.putBytes(src, 8);
    out.put(q0, 32);

    FixedDeltaSymbols model(src + 8, (ctx.srcLen - 8) / 4, range, q0);
    lzw::CodeDictionary dictionary;
    lzw::EncodeDriver(model, out, dictionary);
    return encodedLength(out.finish());
}

CodecResult DecodeFloatLzw(const CodecContext& ctx) noexcept {
    if (ctx.srcLen < HEADER_LENGTH) return codecStatus(CODEC_BAD_STREAM);
    const std::uint8_t* src = ctx.src;
    const std::uint32_t lengthWord = load32(src);
    const FixedRange range = FixedRange::of(src + 4);
    const std::uint32_t q0 = load32(src + 12);

    ByteWriter out(ctx.dst, ctx.dstCap);
    out.putBytes(src + 4, 8);
    out.put<float>(fromFixed(q0, range));

    FixedDeltaSink sink{out, range, q0};
    lzw::BitReader in(src, ctx.srcLen, std::int64_t{HEADER_LENGTH} * 8);
    lzw::CodeTable<std::uint8_t> table;
    const CodecStatus status = lzw::DecodeDriver(in, sink, table);
    if (status != CODEC_OK) return codecStatus(status);
    // Encode always codes two samples or more, each difference whole, and
    // records the length it was given, which is the length decoded here.
    if (!in.endCovered() || sink.differences == 0 || sink.byteIndex != 0 ||
        lengthWord != static_cast<std::uint64_t>(out.length()))
        return codecStatus(CODEC_BAD_STREAM);
    return decodedLength(out.length());
}

}  // namespace reduct
