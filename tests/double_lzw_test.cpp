// Doubles through LZW by their differences (method 7): the first sample
// whole, then the eight bytes of each double-precision difference; decoding
// is a running double-precision sum.
#include <gtest/gtest.h>
#include <reduct/codec.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "conformance.h"
#include "lzw_reference.h"
#include "samples.h"

namespace {

using reduct::test::Bytes;
using reduct::test::words;

constexpr int METHOD = CM_DOUBLE_LZW;
constexpr double INF = std::numeric_limits<double>::infinity();

std::vector<double> doublesOf(const Bytes& b) {
    std::vector<double> v(b.size() / 8);
    if (!v.empty()) std::memcpy(v.data(), b.data(), v.size() * 8);
    return v;
}

// The NaN this machine makes of infinity minus infinity, computed at run
// time so the expectation carries the hardware's own bit pattern.
double invalidResult() {
    volatile double inf = INF;
    return inf - inf;
}

struct Example {
    const char* what;
    Bytes source;
    Bytes coded;
    Bytes decoded;
};

TEST(DoubleLzw, CodesEveryDocumentedExampleExactly) {
    const double nan = invalidResult();
    const std::vector<Example> examples = {
        {"a step of one, then no change", words<double>({1.5, 2.5, 2.5}),
         {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F, 0x00, 0x01,
          0x08, 0x1C, 0x08, 0xEF, 0xC7, 0xC0, 0x83, 0x00, 0x02, 0x02},
         words<double>({1.5, 2.5, 2.5})},
        // 1.0 - 1e16 rounds to -1e16, so the running sum lands on 0.0.
        {"a rounded difference", words<double>({1e16, 1.0}),
         {0x00, 0x80, 0xE0, 0x37, 0x79, 0xC3, 0x41, 0x43, 0x00, 0x01,
          0x00, 0x02, 0x77, 0x23, 0xCF, 0xB0, 0x20, 0xC3, 0x02, 0x02},
         words<double>({1e16, 0.0})},
        // The error of one rounding carries into every later sample.
        {"a rounding carried on", words<double>({1e16, 1.0, 2.0}),
         {0x00, 0x80, 0xE0, 0x37, 0x79, 0xC3, 0x41, 0x43, 0x00, 0x01, 0x00, 0x02, 0x77,
          0x23, 0xCF, 0xB0, 0x20, 0xC3, 0x00, 0x28, 0x5C, 0x08, 0xEF, 0x47, 0x40},
         words<double>({1e16, 0.0, 1.0})},
        // -0.0 - 0.0 is -0.0, but 0.0 + -0.0 is +0.0.
        {"negative zero", words<double>({0.0, -0.0}),
         {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x08, 0x1C, 0x08, 0x00, 0x50, 0x40},
         words<double>({0.0, 0.0})},
        // 2.0 - inf is -inf, and inf + -inf is NaN, which stays NaN.
        {"an infinity poisons the sum", words<double>({1.0, INF, 2.0, 3.0}),
         {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F, 0x00, 0x01, 0x08, 0x1C,
          0x08, 0xEF, 0xCF, 0x40, 0x82, 0xFF, 0x0E, 0x0A, 0x84, 0xF7, 0x23, 0x20},
         words<double>({1.0, INF, nan, nan})},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.what);
        reduct::test::expectExample(METHOD, e.source, e.coded, e.decoded);
    }
}

TEST(DoubleLzw, FirstSampleIsCopiedBitForBit) {
    // A signalling NaN and a NaN with a payload must not pass through the
    // floating-point unit on their way into the header or out of it.
    for (std::uint64_t bits : {0x7FF0000000000001ull, 0xFFF4000000000123ull, 0x0000000000000001ull}) {
        SCOPED_TRACE(bits);
        Bytes src = words<std::uint64_t>({bits});
        const Bytes rest = words<double>({1.0, 2.0});
        src.insert(src.end(), rest.begin(), rest.end());
        auto e = reduct::test::encodeInto(src, METHOD, 128);
        ASSERT_EQ(e.result.status, CODEC_OK);
        EXPECT_TRUE(std::equal(src.begin(), src.begin() + 8, e.bytes.begin()));
        auto d = reduct::test::decodeInto(e.bytes, METHOD, 24);
        ASSERT_EQ(d.result.status, CODEC_OK);
        ASSERT_EQ(d.bytes.size(), 24u);
        EXPECT_TRUE(std::equal(src.begin(), src.begin() + 8, d.bytes.begin()));
        if (bits == 1) {
            // A subnormal start: every step is exact.
            EXPECT_EQ(d.bytes, src);
        } else {
            EXPECT_TRUE(std::isnan(doublesOf(d.bytes)[1]));
            EXPECT_TRUE(std::isnan(doublesOf(d.bytes)[2]));
        }
    }
}

TEST(DoubleLzw, RefusesSourcesThatAreNotTwoOrMoreDoubles) {
    for (std::size_t len : {1u, 7u, 8u, 9u, 12u, 15u, 17u, 20u, 23u}) {
        SCOPED_TRACE(len);
        const Bytes src(len, 0x40);
        auto o = reduct::test::encodeInto(src, METHOD, 256);
        EXPECT_EQ(o.result.status, CODEC_BAD_LENGTH);
        EXPECT_EQ(o.result.length, 0);
        EXPECT_TRUE(o.guardIntact);
    }
}

TEST(DoubleLzw, RefusesStreamsEncodeCannotMake) {
    const Bytes header = {0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
    auto withCodes = [&](Bytes codes) {
        Bytes s = header;
        s.insert(s.end(), codes.begin(), codes.end());
        return s;
    };
    ASSERT_EQ(reduct::test::decodeInto(withCodes({0x00, 0x01, 0x08, 0x1C, 0x28, 0x30, 0x20}), METHOD, 64)
                  .result.status,
              CODEC_OK);  // eight zero symbols: one difference of +0.0
    const struct {
        const char* what;
        Bytes stream;
    } cases[] = {
        {"header only", header},
        {"header cut short", Bytes(header.begin(), header.begin() + 7)},
        {"no difference at all", withCodes({0x00, 0x03, 0x02})},
        {"one byte of a difference", withCodes({0x00, 0x01, 0x04, 0x04})},
        {"four bytes of a difference", withCodes({0x00, 0x01, 0x08, 0x04, 0x10, 0x10})},
        {"seven bytes of a difference", withCodes({0x00, 0x01, 0x08, 0x1C, 0x08, 0x20, 0x20})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto o = reduct::test::decodeInto(c.stream, METHOD, 64);
        EXPECT_EQ(o.result.status, CODEC_BAD_STREAM);
        EXPECT_EQ(o.result.length, 0);
        EXPECT_TRUE(o.guardIntact);
    }
}

TEST(DoubleLzw, ExactWhereNoDifferenceOrSumRounds) {
    // Integers below 2^50 have exact differences and exact sums. Random ones
    // give random difference bytes, so the dictionary fills and clears many
    // times while the running sum goes on unbroken.
    std::mt19937_64 rng(7);
    std::vector<double> values(30000);
    for (double& v : values) v = static_cast<double>(rng() >> 14) - 0x1p49;
    reduct::test::expectRoundTrip(METHOD, words(values));
    reduct::test::expectRoundTrip(METHOD, words(std::vector<double>(100000, -273.15)));
}

TEST(DoubleLzw, BundledPressuresComeBackExactly) {
    // Values on a 0.001 grid are not binary fractions, yet the series comes
    // back bit for bit: successive samples lie within a factor of two of each
    // other, so each difference is exact, and adding an exact difference to
    // the exact previous sample gives the sample itself. The whole bundled
    // series, as the benchmark codes it.
    const auto sample = reduct::samples::generate(reduct::samples::Kind::Float64, 1.0);
    const Bytes& src = sample.bytes;
    const auto cap = static_cast<std::int32_t>(src.size() * 2 + 64);
    auto e = reduct::test::encodeInto(src, METHOD, cap, 0xFF);
    ASSERT_EQ(e.result.status, CODEC_OK);
    auto d = reduct::test::decodeInto(e.bytes, METHOD, static_cast<std::int32_t>(src.size()));
    ASSERT_EQ(d.result.status, CODEC_OK);
    const std::vector<double> in = doublesOf(src), out = doublesOf(d.bytes);
    ASSERT_EQ(out.size(), in.size());
    std::size_t differing = 0, first = in.size();
    double worst = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (std::bit_cast<std::uint64_t>(in[i]) != std::bit_cast<std::uint64_t>(out[i])) {
            if (differing++ == 0) first = i;
            worst = std::max(worst, std::abs(out[i] - in[i]));
        }
    }
    EXPECT_EQ(differing, 0u) << "first at sample " << first << ", largest error " << worst << " of "
                             << in.size() << " samples";
}

TEST(DoubleLzw, LongSeriesCodeExactlyAsThePlainReference) {
    // Thousands of samples: many blocks of differences and several
    // dictionary clears, compared byte for byte with a plain LZW coder fed
    // the difference bytes worked out here.
    const auto sample = reduct::samples::generate(reduct::samples::Kind::Float64, 0.02);
    const std::vector<double> x = doublesOf(sample.bytes);
    std::vector<unsigned> symbols;
    for (std::size_t i = 1; i < x.size(); ++i) {
        const auto bits = std::bit_cast<std::uint64_t>(x[i] - x[i - 1]);
        for (unsigned b = 0; b < 8; ++b) symbols.push_back(static_cast<unsigned>(bits >> (8 * b)) & 0xFFu);
    }
    const auto pass = reduct::test::referenceCodes(symbols, reduct::test::REF_BYTES);
    ASSERT_GE(pass.clears, 2);
    const Bytes expected =
        reduct::test::referencePack(pass.codes, Bytes(sample.bytes.begin(), sample.bytes.begin() + 8));
    auto e = reduct::test::encodeInto(sample.bytes, METHOD, static_cast<std::int32_t>(expected.size()), 0xFF);
    ASSERT_EQ(e.result.status, CODEC_OK);
    EXPECT_TRUE(e.bytes == expected);
}

TEST(DoubleLzw, DamagedStreamsStayInsideTheBuffers) {
    const Bytes src = words<double>({101.325, 101.326, 101.326, 99.0, -4.5, 1e300, 0.0, 101.325});
    auto coded = reduct::test::encodeInto(src, METHOD, 256);
    ASSERT_EQ(coded.result.status, CODEC_OK);
    reduct::test::expectSafeOnDamage(METHOD, coded.bytes, src, true);

    const auto sample = reduct::samples::generate(reduct::samples::Kind::Float64, 0.002);
    auto codedLonger =
        reduct::test::encodeInto(sample.bytes, METHOD, static_cast<std::int32_t>(sample.bytes.size() * 2));
    ASSERT_EQ(codedLonger.result.status, CODEC_OK);
    reduct::test::expectSafeOnDamage(METHOD, codedLonger.bytes, sample.bytes, true);
}

}  // namespace
