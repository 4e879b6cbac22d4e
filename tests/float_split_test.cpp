// Method 12: floats split into sign-and-exponent symbols, coded with 9-bit
// LZW behind a region of raw 23-bit mantissas.
#include <gtest/gtest.h>
#include <reduct/codec.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "conformance.h"
#include "lzw_reference.h"
#include "samples.h"

namespace reduct::test {
namespace {

constexpr int M = CM_FLOAT_SPLIT_LZW;

std::vector<unsigned> symbolsOf(const std::vector<std::uint32_t>& patterns) {
    std::vector<unsigned> out;
    for (std::uint32_t w : patterns) out.push_back(w >> 23);
    return out;
}

// Everything a stream holds, so tests can craft streams the encoder never
// makes: header words, the mantissas and the symbols of the code stream.
struct StreamParts {
    std::uint32_t length;
    std::uint32_t width;
    std::vector<std::uint32_t> mantissas;
    std::vector<unsigned> symbols;
};

StreamParts partsOf(const std::vector<std::uint32_t>& patterns) {
    StreamParts p{static_cast<std::uint32_t>(4 * patterns.size()), 23, {}, symbolsOf(patterns)};
    for (std::uint32_t w : patterns) p.mantissas.push_back(w & 0x7FFFFF);
    return p;
}

// The mantissas go in ahead of the codes, each as a 12-bit and an 11-bit
// field (the packer takes fields of up to 16 bits).
Bytes build(const StreamParts& p) {
    std::vector<Code> fields;
    for (std::uint32_t m : p.mantissas) {
        fields.push_back({m & 0xFFFu, 12});
        fields.push_back({m >> 12, 11});
    }
    const std::vector<Code> codes = referenceCodes(p.symbols, REF_WIDE).codes;
    fields.insert(fields.end(), codes.begin(), codes.end());
    return referencePack(fields, words<std::uint32_t>({p.length, p.width}));
}

Bytes modelStream(const std::vector<std::uint32_t>& patterns) { return build(partsOf(patterns)); }

std::vector<std::uint32_t> firstSamples(const std::vector<std::uint32_t>& pool, std::size_t n) {
    return {pool.begin(), pool.begin() + static_cast<std::ptrdiff_t>(n)};
}

// The fewest leading samples whose code pass satisfies `holds`, which must
// stay true for every longer prefix once it holds (and hold for the whole
// pool).
template <typename Holds>
std::size_t shortestPrefix(const std::vector<std::uint32_t>& pool, Holds holds) {
    std::size_t lo = 1, hi = pool.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (holds(referenceCodes(symbolsOf(firstSamples(pool, mid)), REF_WIDE))) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

std::vector<std::uint32_t> randomPatterns(std::size_t n, std::uint32_t seed,
                                          std::uint32_t symbolRange) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> out(n);
    for (auto& w : out)
        w = static_cast<std::uint32_t>(((rng() % symbolRange) << 23) | (rng() & 0x7FFFFF));
    return out;
}

TEST(FloatSplit, WrittenExamplesCodeAndDecodeExactly) {
    struct Row {
        const char* name;
        std::vector<std::uint32_t> patterns;
        Bytes coded;
    };
    const Row rows[] = {
        {"1.5 1.5 3.25",
         {0x3FC00000, 0x3FC00000, 0x40500000},
         {0x0C, 0x00, 0x00, 0x00, 0x17, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00,
          0x00, 0x20, 0x00, 0x00, 0x14, 0xC0, 0x3F, 0xFE, 0x00, 0x24, 0x40}},
        {"1.0",
         {0x3F800000},
         {0x04, 0x00, 0x00, 0x00, 0x17, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x08,
          0x10}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Bytes src = words(r.patterns);
        EXPECT_EQ(hex(modelStream(r.patterns)), hex(r.coded)) << "the test's model";
        expectExample(M, src, r.coded, src);
    }
}

TEST(FloatSplit, SpecialValuesComeBackBitForBit) {
    const std::vector<std::uint32_t> special = {
        0x80000000,  // -0.0
        0x00000000,  // +0.0
        0x7FC00000,  // quiet NaN
        0x7FC00001,  // quiet NaN with payload
        0x7F800001,  // signalling NaN
        0x7FBFFFFF,  // signalling NaN, full payload
        0xFFFFFFFF,  // negative NaN, all ones
        0xFF812345,  // negative signalling NaN
        0x7F800000,  // +infinity
        0xFF800000,  // -infinity
        0x00000001,  // smallest denormal
        0x807FFFFF,  // largest negative denormal
        0x00400000,  // denormal
        0x00800000,  // smallest normal
        0x7F7FFFFF,  // largest finite
        0xFF7FFFFF,  // most negative finite
    };
    std::vector<std::uint32_t> twice = special;
    twice.insert(twice.end(), special.begin(), special.end());
    for (const auto& patterns : {special, twice}) {
        const Bytes src = words(patterns);
        expectExample(M, src, modelStream(patterns), src);
    }
}

// n = 1..24 puts the code stream's start on every bit of a byte; for n a
// multiple of 8 the clear code opens a fresh byte.
TEST(FloatSplit, CodeStreamFollowsTheLastMantissaBitForEveryCount) {
    const std::vector<std::uint32_t> pool = randomPatterns(24, 11, 512);
    for (std::size_t n = 1; n <= pool.size(); ++n) {
        SCOPED_TRACE(std::to_string(n) + " samples");
        const std::vector<std::uint32_t> p = firstSamples(pool, n);
        const Bytes src = words(p);
        const Bytes coded = modelStream(p);
        expectExample(M, src, coded, src);
        if (n % 8 == 0) {
            const std::size_t start = 8 + 23 * n / 8;
            EXPECT_EQ(coded[start], 0x00);             // low 8 bits of the clear code 512
            EXPECT_EQ(coded[start + 1] & 0x03, 0x02);  // its top 2 bits
            EXPECT_EQ(coded[start - 1] >> 1, static_cast<int>(p.back() & 0x7FFFFF) >> 16);
        }
    }
}

TEST(FloatSplit, StreamsMatchTheModelForEveryShape) {
    struct Row {
        std::string name;
        std::vector<std::uint32_t> patterns;
    };
    std::vector<Row> rows;
    rows.push_back({"one exponent, mantissas differ", randomPatterns(5000, 12, 1)});
    for (auto& w : rows.back().patterns) w |= 0x3F800000;
    rows.push_back({"equal samples", std::vector<std::uint32_t>(3000, 0x42C80000)});
    rows.push_back({"every symbol, fills the dictionary often", randomPatterns(20000, 13, 512)});
    rows.push_back({"few symbols", randomPatterns(20000, 14, 6)});
    {
        std::vector<std::uint32_t> ramp;
        for (std::uint32_t i = 0; i < 40000; ++i) ramp.push_back(i * 0x1A2B3u);
        rows.push_back({"stride through all patterns", ramp});
    }
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Bytes src = words(r.patterns);
        expectExample(M, src, modelStream(r.patterns), src);
    }
    // Repeated symbols cost little beyond the mantissas.
    const std::size_t n = rows[0].patterns.size();
    EXPECT_LT(modelStream(rows[0].patterns).size(), 8 + (23 * n + 7) / 8 + 200);
}

// The end code written while the encoder's next code is 1024 is one bit
// narrower than the decoder reads it; the stream's length still covers the
// bit the decoder borrows, also when the end code ends on a byte's last bit.
TEST(FloatSplit, EndCodeOneBitNarrowerThanTheDecoderWidth) {
    bool lastBitOfAByte = false;
    for (unsigned seed = 1; seed < 200 && !lastBitOfAByte; ++seed) {
        const std::vector<std::uint32_t> pool = randomPatterns(8000, seed, 4u << (seed % 8));
        std::size_t n = shortestPrefix(
            pool, [](const ReferencePass& r) { return r.clears > 0 || r.endNextCode >= 1024; });
        // Every length that ends the pass at 1024 (hits keep it there).
        for (;; ++n) {
            const std::vector<std::uint32_t> p = firstSamples(pool, n);
            const ReferencePass pass = referenceCodes(symbolsOf(p), REF_WIDE);
            if (pass.endNextCode != 1024) break;
            ASSERT_EQ(pass.codes.back().width, 10u);
            std::size_t endBit = 64 + 23 * n;
            for (const Code& c : pass.codes) endBit += c.width;
            if (endBit % 8 == 7) lastBitOfAByte = true;
            SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(n) + " samples");
            const Bytes src = words(p);
            expectExample(M, src, modelStream(p), src);
        }
    }
    EXPECT_TRUE(lastBitOfAByte);
}

TEST(FloatSplit, DictionaryFillingOnTheLastSampleCarriesNoClear) {
    const std::vector<std::uint32_t> pool = randomPatterns(3000, 15, 512);
    const std::size_t n =
        shortestPrefix(pool, [](const ReferencePass& r) { return r.clears > 0 || r.fullOnLast; });
    const std::vector<std::uint32_t> p = firstSamples(pool, n);
    const ReferencePass pass = referenceCodes(symbolsOf(p), REF_WIDE);
    ASSERT_TRUE(pass.fullOnLast);
    EXPECT_EQ(pass.clears, 0);
    EXPECT_EQ(pass.codes.back().width, 11u);
    const Bytes src = words(p);
    expectExample(M, src, modelStream(p), src);
}

TEST(FloatSplit, BundledSampleRoundTripsAndMatchesTheModel) {
    const samples::Sample s = samples::generate(samples::Kind::Float32, 0.02);
    expectRoundTrip(M, s.bytes);
    std::vector<std::uint32_t> p(s.bytes.size() / 4);
    std::memcpy(p.data(), s.bytes.data(), s.bytes.size());
    Outcome e = encodeInto(s.bytes, M, static_cast<std::int32_t>(s.bytes.size() * 2 + 64));
    EXPECT_TRUE(e.bytes == modelStream(p));
}

TEST(FloatSplit, SourcesThatAreNotWholeSamplesAreRefused) {
    for (std::size_t len : {1u, 2u, 3u, 5u, 6u, 7u, 4001u}) {
        Outcome o = encodeInto(Bytes(len, 0x3F), M, 8192, 0xFF);
        EXPECT_EQ(o.result.status, CODEC_BAD_LENGTH) << len;
        EXPECT_EQ(o.result.length, 0) << len;
    }
}

TEST(FloatSplit, StreamsTheEncoderCannotMakeAreRefused) {
    const std::vector<std::uint32_t> p = randomPatterns(100, 16, 4);
    const StreamParts good = partsOf(p);
    ASSERT_EQ(decodeInto(build(good), M, 400).result.status, CODEC_OK);

    auto with = [&](auto change) {
        StreamParts s = good;
        change(s);
        return build(s);
    };
    const Bytes goodStream = build(good);
    struct Row {
        const char* name;
        Bytes stream;
    };
    const Row rows[] = {
        {"shorter than a header", Bytes(goodStream.begin(), goodStream.begin() + 7)},
        {"header only", Bytes(goodStream.begin(), goodStream.begin() + 8)},
        {"width 22", with([](StreamParts& s) { s.width = 22; })},
        {"width 24", with([](StreamParts& s) { s.width = 24; })},
        {"width 0", with([](StreamParts& s) { s.width = 0; })},
        {"length 0", with([](StreamParts& s) { s.length = 0; })},
        {"length not a multiple of 4", with([](StreamParts& s) { s.length = 398; })},
        {"length beyond any source", with([](StreamParts& s) { s.length = 0xFFFFFFFCu; })},
        {"code stream would start behind the stream",
         with([](StreamParts& s) { s.length = 4000000; })},
        {"more symbols than samples", with([](StreamParts& s) {
             s.length -= 4;
             s.mantissas.pop_back();
         })},
        {"fewer symbols than samples", with([](StreamParts& s) { s.symbols.pop_back(); })},
        {"spare byte after the end code missing", Bytes(goodStream.begin(), goodStream.end() - 1)},
    };
    for (const Row& r : rows) {
        Outcome o = decodeInto(r.stream, M, 400);
        EXPECT_EQ(o.result.status, CODEC_BAD_STREAM) << r.name;
        EXPECT_EQ(o.result.length, 0) << r.name;
        EXPECT_TRUE(o.guardIntact) << r.name;
    }
}

TEST(FloatSplit, DamagedStreamsStayInsideTheBuffers) {
    const std::vector<std::vector<std::uint32_t>> cases = {
        {0x3FC00000, 0x3FC00000, 0x40500000},
        {0x3F800000},
        randomPatterns(64, 17, 5),
    };
    for (const auto& p : cases) expectSafeOnDamage(M, modelStream(p), words(p), true);
}

TEST(FloatSplit, TooSmallDestinationLearnsTheFullLength) {
    const std::vector<std::uint32_t> p = randomPatterns(3000, 18, 8);
    const Bytes src = words(p);
    const Bytes coded = modelStream(p);
    for (std::int32_t cap : {1, 3, 4, 5, 11999}) {
        Outcome d = decodeInto(coded, M, cap);
        EXPECT_EQ(d.result.status, CODEC_OUTPUT_OVERFLOW) << cap;
        EXPECT_EQ(d.result.length, 12000) << cap;
        EXPECT_TRUE(d.guardIntact) << cap;
    }
    const auto codedLen = static_cast<std::int32_t>(coded.size());
    for (std::int32_t cap : {1, 7, 8, 9, codedLen - 4, codedLen - 1}) {
        Outcome e = encodeInto(src, M, cap, 0xFF);
        EXPECT_EQ(e.result.status, CODEC_OUTPUT_OVERFLOW) << cap;
        EXPECT_EQ(e.result.length, codedLen) << cap;
        EXPECT_TRUE(e.guardIntact) << cap;
    }
}

}  // namespace
}  // namespace reduct::test
