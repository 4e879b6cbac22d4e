// Regular-interval timestamps (method 0).
//
// Source and decoded output: 6-byte records packed without gaps,
//
//   | offset in record | width | field                          |
//   |------------------|-------|--------------------------------|
//   | 0                | u32   | seconds                        |
//   | 4                | u16   | milliseconds, normally 0..999  |
//
// Stream, always 12 bytes, little-endian:
//
//   | offset | width | field                                                  |
//   |--------|-------|--------------------------------------------------------|
//   | 0      | u32   | seconds of the first timestamp                         |
//   | 4      | u16   | milliseconds of the first timestamp                    |
//   | 6      | u16   | interval in ms: second instant minus first, mod 65536   |
//   | 8      | u32   | count of timestamps                                    |
//
// The series is taken to be regular: the interval comes from the first two
// records alone and later records are never read, so an irregular series
// decodes to the regular series that starts like it. Decoding adds the
// interval to the milliseconds in 16 bits and carries whole seconds, so every
// record after the first has its milliseconds below 1000.
//
// A single record codes with interval 0 and count 1. The encoder refuses a
// second record earlier than the first (before it looks at the length), and a
// source that is not a whole number of records. Decoding refuses a stream
// that is not exactly 12 bytes, a count of 0, and a count whose records would
// not fit in 2^31 - 1 bytes.
#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "word/word_coders.h"

namespace reduct {
namespace {

constexpr std::int32_t RECORD = 6;
constexpr std::int32_t HEADER = 12;

}  // namespace

CodecResult EncodeRegularTime(const CodecContext& ctx) noexcept {
    const std::uint8_t* src = ctx.src;
    std::uint16_t interval = 0;
    if (ctx.srcLen != RECORD) {
        if (ctx.srcLen < 2 * RECORD) return codecStatus(CODEC_BAD_LENGTH);
        const std::uint32_t s0 = load32(src), s1 = load32(src + RECORD);
        const std::uint16_t m0 = load16(src + 4), m1 = load16(src + RECORD + 4);
        if (s1 < s0 || (s1 == s0 && m1 < m0)) return codecStatus(CODEC_TIME_ORDER);
        // Modulo 2^32 arithmetic keeps the low 16 bits exact.
        interval = static_cast<std::uint16_t>((s1 - s0) * 1000u + m1 - m0);
        if (ctx.srcLen % RECORD != 0) return codecStatus(CODEC_BAD_LENGTH);
    }

    std::uint8_t header[HEADER];
    std::memcpy(header, src, 6);
    store16(header + 6, interval);
    store32(header + 8, static_cast<std::uint32_t>(ctx.srcLen / RECORD));
    ByteWriter out(ctx.dst, ctx.dstCap);
    out.putBytes(header, HEADER);
    return encodedLength(out.length());
}

CodecResult DecodeRegularTime(const CodecContext& ctx) noexcept {
    if (ctx.srcLen != HEADER) return codecStatus(CODEC_BAD_STREAM);
    const std::uint8_t* src = ctx.src;
    std::uint32_t s = load32(src);
    std::uint16_t m = load16(src + 4);
    const std::uint16_t interval = load16(src + 6);
    const std::uint32_t count = load32(src + 8);
    if (count == 0) return codecStatus(CODEC_BAD_STREAM);

    const std::int64_t length = std::int64_t{RECORD} * count;
    // The whole length is known before anything is written: a destination
    // that is too small gets nothing, and the entry reports the overflow.
    if (length > MAX_CODEC_LENGTH || length > ctx.dstCap) return decodedLength(length);

    std::uint8_t* p = ctx.dst;
    store32(p, s);
    store16(p + 4, m);
    std::uint32_t k = 1;
    // Every step adds the interval to the milliseconds in 16 bits, then
    // carries whole seconds.
    auto step = [&]() noexcept {
        const auto t = static_cast<std::uint16_t>(m + interval);
        s += t / 1000u;
        m = static_cast<std::uint16_t>(t % 1000u);
        p += RECORD;
        store32(p, s);
        store16(p + 4, m);
    };
    if (k < count) {
        step();  // the first record's milliseconds may be 1000 or more
        ++k;
    }
    if (interval <= 0xFFFFu - 999u) {
        // From here on m < 1000, so m + interval never wraps 16 bits and the
        // step is whole seconds plus a remainder with at most one carry.
        const std::uint32_t wholeSeconds = interval / 1000u;
        const std::uint32_t rest = interval % 1000u;
        std::uint32_t ms = m;
        for (; k < count; ++k) {
            ms += rest;
            const std::uint32_t carry = ms >= 1000u ? 1u : 0u;
            ms -= carry * 1000u;
            s += wholeSeconds + carry;
            p += RECORD;
            store32(p, s);
            store16(p + 4, static_cast<std::uint16_t>(ms));
        }
    } else {
        for (; k < count; ++k) step();
    }
    return decodedLength(length);
}

}  // namespace reduct
