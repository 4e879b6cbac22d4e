// Shared checks for codec tests: exact coded bytes, guard regions behind the
// destination, destinations that are not zero-filled, and round trips.
#ifndef REDUCT_TESTS_CONFORMANCE_H
#define REDUCT_TESTS_CONFORMANCE_H

#include <gtest/gtest.h>
#include <reduct/codec.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace reduct::test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t GUARD = 64;
inline constexpr std::uint8_t GUARD_BYTE = 0xA5;

// Little-endian helpers for building sources.
template <typename T>
Bytes words(std::initializer_list<T> values) {
    Bytes out;
    for (T v : values) {
        std::uint8_t b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));
        out.insert(out.end(), b, b + sizeof(T));
    }
    return out;
}
template <typename T>
Bytes words(const std::vector<T>& values) {
    Bytes out(values.size() * sizeof(T));
    if (!values.empty()) std::memcpy(out.data(), values.data(), out.size());
    return out;
}

inline std::string hex(const Bytes& b) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (i != 0) s += ' ';
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

// A call's outcome with the bytes it produced (length bytes when OK) and
// whether the guard region behind dst + dstCap survived.
struct Outcome {
    CodecResult result;
    Bytes bytes;
    bool guardIntact;
};

// Calls Encode or Decode with a destination of `cap` bytes filled with
// `fill`, followed by a guard region.
inline Outcome call(bool encode, const Bytes& src, int method, std::int32_t cap,
                    std::uint8_t fill = 0) {
    Bytes dst(static_cast<std::size_t>(cap) + GUARD, GUARD_BYTE);
    std::memset(dst.data(), fill, static_cast<std::size_t>(cap));
    // Copy the source into its own allocation so that ASan sees a read past it.
    std::vector<std::uint8_t> source(src);
    const auto len = static_cast<std::int32_t>(source.size());
    CodecResult r = encode ? Encode(source.data(), len, method, 0x0123456789ABCDEFLL, dst.data(), cap)
                           : Decode(source.data(), len, method, dst.data(), cap);
    Outcome o{r, {}, true};
    for (std::size_t i = static_cast<std::size_t>(cap); i < dst.size(); ++i)
        if (dst[i] != GUARD_BYTE) o.guardIntact = false;
    if (r.status == CODEC_OK && r.length >= 0)
        o.bytes.assign(dst.begin(), dst.begin() + r.length);
    return o;
}

inline Outcome encodeInto(const Bytes& src, int method, std::int32_t cap, std::uint8_t fill = 0) {
    return call(true, src, method, cap, fill);
}
inline Outcome decodeInto(const Bytes& src, int method, std::int32_t cap) {
    return call(false, src, method, cap, 0);
}

// The full check of one example: `src` codes to exactly `coded` with
// `method`, whatever the destination held; the coded bytes decode to
// `decoded`; and both directions report the exact length on overflow at
// dstCap = length - 1 without touching the guard region.
inline void expectExample(int method, const Bytes& src, const Bytes& coded, const Bytes& decoded) {
    const auto codedLen = static_cast<std::int32_t>(coded.size());
    const auto decodedLen = static_cast<std::int32_t>(decoded.size());
    for (std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        SCOPED_TRACE("destination filled with " + std::to_string(fill));
        Outcome e = encodeInto(src, method, codedLen, fill);
        EXPECT_EQ(e.result.status, CODEC_OK);
        EXPECT_EQ(e.result.length, codedLen);
        EXPECT_EQ(hex(e.bytes), hex(coded));
        EXPECT_TRUE(e.guardIntact);
    }
    Outcome roomy = encodeInto(src, method, codedLen + 100);
    EXPECT_EQ(hex(roomy.bytes), hex(coded)) << "with spare room";

    Outcome d = decodeInto(coded, method, decodedLen);
    EXPECT_EQ(d.result.status, CODEC_OK);
    EXPECT_EQ(d.result.length, decodedLen);
    EXPECT_EQ(hex(d.bytes), hex(decoded));
    EXPECT_TRUE(d.guardIntact);

    if (codedLen > 1) {
        Outcome eo = encodeInto(src, method, codedLen - 1, 0xFF);
        EXPECT_EQ(eo.result.status, CODEC_OUTPUT_OVERFLOW);
        EXPECT_EQ(eo.result.length, codedLen);
        EXPECT_TRUE(eo.guardIntact);
    }
    if (decodedLen > 1) {
        Outcome dOver = decodeInto(coded, method, decodedLen - 1);
        EXPECT_EQ(dOver.result.status, CODEC_OUTPUT_OVERFLOW);
        EXPECT_EQ(dOver.result.length, decodedLen);
        EXPECT_TRUE(dOver.guardIntact);
    }
}

// Encodes and decodes `src` with room to spare and expects the source back.
inline void expectRoundTrip(int method, const Bytes& src) {
    const auto cap = static_cast<std::int32_t>(src.size() * 3 + 256);
    Outcome e = encodeInto(src, method, cap, 0xFF);
    ASSERT_EQ(e.result.status, CODEC_OK);
    ASSERT_TRUE(e.guardIntact);
    Outcome d = decodeInto(e.bytes, method, static_cast<std::int32_t>(src.size()));
    ASSERT_EQ(d.result.status, CODEC_OK);
    ASSERT_TRUE(d.guardIntact);
    ASSERT_EQ(d.bytes.size(), src.size());
    EXPECT_TRUE(d.bytes == src) << "round trip differs";
}

// Damaged streams: every truncation and every single bit flip of `coded`
// must decode inside the buffers, and a truncated stream never decodes as
// CODEC_OK to the full original. `cap` is the destination size to offer.
inline void expectSafeOnDamage(int method, const Bytes& coded, const Bytes& original,
                               bool truncationDetected) {
    const auto cap = static_cast<std::int32_t>(original.size() + 64);
    for (std::size_t n = 1; n < coded.size(); ++n) {
        Bytes cut(coded.begin(), coded.begin() + static_cast<std::ptrdiff_t>(n));
        Outcome o = decodeInto(cut, method, cap);
        ASSERT_TRUE(o.guardIntact) << "truncated to " << n;
        if (truncationDetected) {
            EXPECT_NE(o.result.status, CODEC_OK) << "truncated to " << n;
        }
        EXPECT_FALSE(o.result.status == CODEC_OK && o.bytes == original) << "truncated to " << n;
    }
    for (std::size_t bit = 0; bit < coded.size() * 8; ++bit) {
        Bytes flipped = coded;
        flipped[bit / 8] = static_cast<std::uint8_t>(flipped[bit / 8] ^ (1u << (bit % 8)));
        Outcome o = decodeInto(flipped, method, cap);
        ASSERT_TRUE(o.guardIntact) << "bit " << bit;
        if (o.result.status == CODEC_OK) {
            ASSERT_LE(o.result.length, cap);
        }
    }
}

}  // namespace reduct::test

#endif  // REDUCT_TESTS_CONFORMANCE_H
