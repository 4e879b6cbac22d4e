// Run-length coding of 16-bit (method 2) and 32-bit (method 10) words.
#include <gtest/gtest.h>
#include <reduct/codec.h>

#include <vector>

#include "conformance.h"
#include "samples.h"

namespace {

using reduct::test::Bytes;
using reduct::test::words;

struct Example {
    const char* what;
    int method;
    Bytes source;
    Bytes coded;
};

Bytes repeat16(std::uint16_t v, std::size_t n) { return words(std::vector<std::uint16_t>(n, v)); }

TEST(RunLength, CodesEveryDocumentedExampleExactly) {
    const std::vector<Example> examples = {
        {"three equal words", 2, words<std::uint16_t>({5, 5, 5}), {0x03, 0x80, 0x05, 0x00}},
        {"0x8000 is a literal", 2, words<std::uint16_t>({0x8000}), {0x00, 0x80}},
        {"0x8001 is escaped", 2, words<std::uint16_t>({0x8001}), {0x01, 0x80, 0x01, 0x80}},
        {"0xFFFF is escaped", 2, words<std::uint16_t>({0xFFFF}), {0x01, 0x80, 0xFF, 0xFF}},
        {"literal then run", 2, words<std::uint16_t>({1, 2, 2}), {0x01, 0x00, 0x02, 0x80, 0x02, 0x00}},
        {"a run of two is a run", 2, words<std::uint16_t>({3, 3}), {0x02, 0x80, 0x03, 0x00}},
        {"32767 equal words", 2, repeat16(4, 32767), {0xFF, 0xFF, 0x04, 0x00}},
        {"32768 equal words", 2, repeat16(4, 32768), {0xFF, 0xFF, 0x04, 0x00, 0x04, 0x00}},
        {"32768 equal high words", 2, repeat16(0x8001, 32768),
         {0xFF, 0xFF, 0x01, 0x80, 0x01, 0x80, 0x01, 0x80}},
        {"32-bit run of two", 10, words<std::uint32_t>({7, 7}),
         {0x02, 0x00, 0x00, 0x80, 0x07, 0x00, 0x00, 0x00}},
        {"32-bit 0x80000000 is a literal", 10, words<std::uint32_t>({0x80000000u}),
         {0x00, 0x00, 0x00, 0x80}},
        {"32-bit 0x80000001 is escaped", 10, words<std::uint32_t>({0x80000001u}),
         {0x01, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00, 0x80}},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.what);
        reduct::test::expectExample(e.method, e.source, e.coded, e.source);
    }
}

TEST(RunLength, DecoderTakesAnyCountAfterAMarker) {
    // An escape-style marker before a small value is not what the encoder
    // makes, but it decodes as one copy.
    auto one = reduct::test::decodeInto(words<std::uint16_t>({0x8001, 7}), 2, 2);
    EXPECT_EQ(one.result.status, CODEC_OK);
    EXPECT_EQ(one.bytes, words<std::uint16_t>({7}));
    auto one32 = reduct::test::decodeInto(words<std::uint32_t>({0x80000001u, 7}), 10, 4);
    EXPECT_EQ(one32.bytes, words<std::uint32_t>({7}));
}

TEST(RunLength, RefusesPartialWordsAndDamagedStreams) {
    struct Case {
        bool encode;
        int method;
        Bytes src;
        int status;
    } cases[] = {
        {true, 2, {1, 2, 3}, CODEC_BAD_LENGTH},
        {true, 10, {1, 2, 3, 4, 5, 6}, CODEC_BAD_LENGTH},
        {false, 2, {1, 2, 3}, CODEC_BAD_STREAM},
        {false, 10, {1, 2}, CODEC_BAD_STREAM},
        {false, 2, words<std::uint16_t>({1, 0x8003}), CODEC_BAD_STREAM},  // marker without value
        {false, 10, words<std::uint32_t>({0xFFFFFFFFu}), CODEC_BAD_STREAM},
    };
    for (const Case& c : cases) {
        auto o = reduct::test::call(c.encode, c.src, c.method, 64);
        EXPECT_EQ(o.result.status, c.status);
        EXPECT_EQ(o.result.length, 0);
        EXPECT_TRUE(o.guardIntact);
    }
}

TEST(RunLength, HugeExpansionIsCountedWithoutWritingAndTooLargeIsRefused) {
    // Two 32-bit runs of 2^31 - 1 words each: far beyond 32 signed bits.
    const Bytes huge = words<std::uint32_t>({0xFFFFFFFFu, 1, 0xFFFFFFFFu, 2});
    auto o = reduct::test::decodeInto(huge, 10, 16);
    EXPECT_EQ(o.result.status, CODEC_BAD_STREAM);
    EXPECT_TRUE(o.guardIntact);

    // 16-bit runs that fit in 32 bits report the exact length when the
    // destination is too small, and fill no byte past it.
    std::vector<std::uint16_t> items;
    for (int i = 0; i < 1000; ++i) items.insert(items.end(), {0xFFFF, 1});
    const Bytes many = words(items);
    auto over = reduct::test::decodeInto(many, 2, 1001);
    EXPECT_EQ(over.result.status, CODEC_OUTPUT_OVERFLOW);
    EXPECT_EQ(over.result.length, 1000 * 2 * 32767);
    EXPECT_TRUE(over.guardIntact);
}

TEST(RunLength, RoundTripsEveryShapeOfSeries) {
    using reduct::samples::Kind;
    for (Kind k : {Kind::Word16, Kind::Adc12, Kind::Int32, Kind::Flags, Kind::Float32}) {
        const auto s = reduct::samples::generate(k, 0.01);
        reduct::test::expectRoundTrip(2, s.bytes);
        reduct::test::expectRoundTrip(10, s.bytes);
    }
    // Extremes and alternating runs around the marker boundary.
    std::vector<std::uint16_t> w16;
    std::vector<std::uint32_t> w32;
    for (int i = 0; i < 5000; ++i) {
        const int len = 1 + (i * 7919) % 5;
        const std::uint16_t v = static_cast<std::uint16_t>(0x7FFE + (i % 5));
        for (int j = 0; j < len; ++j) {
            w16.push_back(v);
            w32.push_back(0x7FFFFFFEu + static_cast<std::uint32_t>(i % 5));
        }
    }
    reduct::test::expectRoundTrip(2, words(w16));
    reduct::test::expectRoundTrip(10, words(w32));
    reduct::test::expectRoundTrip(2, words(std::vector<std::uint16_t>(100000, 0xFFFF)));
}

TEST(RunLength, DamagedStreamsStayInsideTheBuffers) {
    const Bytes src = words<std::uint16_t>({1, 1, 1, 0x9000, 2, 3, 3, 0x8000, 0xFFFF, 0xFFFF});
    auto coded = reduct::test::encodeInto(src, 2, 64);
    ASSERT_EQ(coded.result.status, CODEC_OK);
    reduct::test::expectSafeOnDamage(2, coded.bytes, src, false);
    const Bytes src32 = words<std::uint32_t>({1, 1, 0x90000000u, 2, 2, 2});
    auto coded32 = reduct::test::encodeInto(src32, 10, 64);
    reduct::test::expectSafeOnDamage(10, coded32.bytes, src32, false);
}

}  // namespace
