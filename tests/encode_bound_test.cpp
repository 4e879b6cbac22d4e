// EncodeBound never understates: a destination of the bound's size never
// overflows, for random sources and for sources built to be the worst case
// of each method.
#include <gtest/gtest.h>
#include <reduct/codec.h>
#include <reduct/codec.hpp>

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes randomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

template <typename T>
void put(Bytes& b, std::size_t i, T v) {
    std::memcpy(b.data() + i * sizeof(T), &v, sizeof(T));
}

// Sources that make each method emit as much as it can.
Bytes worstCase(int method, std::size_t n, std::uint32_t seed) {
    Bytes b = randomBytes(n, seed);
    std::mt19937 rng(seed);
    switch (method) {
        case CM_REGULAR_TIME:
            if (n >= 12) {  // an ordered first pair: (1000 s, 0 ms), (1000 s, 1 ms)
                put<std::uint32_t>(b, 0, 1000);
                std::memset(b.data() + 4, 0, 2);
                std::memcpy(b.data() + 6, b.data(), 4);
                b[10] = 1;
                b[11] = 0;
            }
            break;
        case CM_WORD16_RUN:  // every word escaped, no two neighbours equal
            for (std::size_t i = 0; i < n / 2; ++i) put<std::uint16_t>(b, i, static_cast<std::uint16_t>(0x8001 + i % 2));
            break;
        case CM_WORD32_RUN:
            for (std::size_t i = 0; i < n / 4; ++i) put<std::uint32_t>(b, i, 0x80000001u + i % 2);
            break;
        case CM_INT32_DELTA_RUN:  // alternating differences of -1 and -2: every one escaped
            for (std::size_t i = 0; i < n / 4; ++i) put<std::uint32_t>(b, i, static_cast<std::uint32_t>(-(3 * (i / 2) + i % 2)));
            break;
        case CM_SIGNED12_LZW: {  // large, fresh magnitudes: an escape per sample
            std::int32_t x = 32768;
            for (std::size_t i = 0; i < n / 2; ++i) {
                put<std::uint16_t>(b, i, static_cast<std::uint16_t>(x));
                const std::int32_t m = 255 + static_cast<std::int32_t>(rng() % 3841);
                x += (x > 32768 ? -m : m);
            }
            break;
        }
        default: break;  // random bytes are incompressible for the LZW methods
    }
    return b;
}

TEST(EncodeBound, NeverExceededByAnyMethod) {
    std::vector<std::size_t> lengths;
    for (std::size_t n = 1; n <= 80; ++n) lengths.push_back(n);
    for (std::size_t n : {255u, 256u, 1000u, 4096u, 65536u, 300000u}) lengths.push_back(n);
    for (int m = 0; m <= MAX_METHOD; ++m) {
        for (std::size_t n : lengths) {
            for (std::uint32_t seed : {1u, 2u}) {
                for (const Bytes& src : {randomBytes(n, seed), worstCase(m, n, seed)}) {
                    const std::int64_t bound = EncodeBound(m, static_cast<std::int32_t>(n));
                    ASSERT_GT(bound, 0);
                    Bytes dst(static_cast<std::size_t>(bound) + 16, 0xEE);
                    const CodecResult r = Encode(src.data(), static_cast<std::int32_t>(n), m, 0, dst.data(),
                                                 static_cast<std::int32_t>(bound));
                    ASSERT_NE(r.status, CODEC_OUTPUT_OVERFLOW)
                        << "method " << m << " length " << n << " needs " << r.length << " > bound " << bound;
                    if (r.status == CODEC_OK) {
                        ASSERT_LE(r.length, bound);
                    }
                    for (std::size_t i = static_cast<std::size_t>(bound); i < dst.size(); ++i) ASSERT_EQ(dst[i], 0xEE);
                }
            }
        }
    }
}

TEST(EncodeBound, RefusesWhatNoCallAccepts) {
    EXPECT_EQ(EncodeBound(14, 100), 0);
    EXPECT_EQ(EncodeBound(-1, 100), 0);
    EXPECT_EQ(EncodeBound(2, 0), 0);
    EXPECT_EQ(EncodeBound(2, -4), 0);
    EXPECT_EQ(EncodeBound(CM_REGULAR_TIME, 6000), 12);
    EXPECT_EQ(EncodeBound(CM_WORD16_RUN, 2147483646), 2LL * 2147483646);  // wider than one call returns
    EXPECT_EQ(reduct::encodeBound(CM_BIT_PACK, 9), 3);
    EXPECT_EQ(reduct::encodeBound(CM_BIT_PACK, 0), 0);
}

}  // namespace
