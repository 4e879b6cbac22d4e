// Quantised floats through LZW (method 6): floats mapped to fixed-point
// fractions of a stated range, differences of those as bytes.
#include <gtest/gtest.h>
#include <reduct/codec.h>

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

constexpr int METHOD = CM_FLOAT_LZW;
constexpr float NAN_F = std::numeric_limits<float>::quiet_NaN();
constexpr float INF_F = std::numeric_limits<float>::infinity();

// The method's source: the two integer bounds, then the samples.
Bytes floatSource(std::int32_t low, std::int32_t high, std::initializer_list<float> samples) {
    Bytes src = words<std::int32_t>({low, high});
    const Bytes body = words<float>(samples);
    src.insert(src.end(), body.begin(), body.end());
    return src;
}

std::vector<float> samplesOf(const Bytes& decoded) {
    std::vector<float> v((decoded.size() - 8) / 4);
    if (!v.empty()) std::memcpy(v.data(), decoded.data() + 8, v.size() * 4);
    return v;
}

struct Example {
    const char* what;
    Bytes source;
    Bytes coded;
    Bytes decoded;
};

TEST(FloatLzw, CodesEveryDocumentedExampleExactly) {
    const std::vector<Example> examples = {
        {"two equal samples", floatSource(0, 100, {50.0f, 50.0f}),
         {0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00,
          0x00, 0x00, 0x65, 0xCD, 0x1D, 0x00, 0x01, 0x08, 0x04, 0x10, 0x10},
         floatSource(0, 100, {50.0f, 50.0f})},
        {"a falling and a rising difference", floatSource(0, 100, {50.0f, 25.0f, 75.0f}),
         {0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x65,
          0xCD, 0x1D, 0x00, 0x01, 0x35, 0xC9, 0x10, 0x0F, 0x40, 0x99, 0x66, 0x1D, 0x02, 0x02},
         floatSource(0, 100, {50.0f, 25.0f, 75.0f})},
        // Equal bounds: the span is 0, every fixed-point value 0, and every
        // sample comes back as the lower bound, a NaN sample included.
        {"zero span", floatSource(5, 5, {1.0f, 7.0f, NAN_F}),
         {0x14, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x08, 0x1C, 0x28, 0x30, 0x20},
         floatSource(5, 5, {5.0f, 5.0f, 5.0f})},
        // -1.0 scales to -10^7, whose low 32 bits read back as 4284967296;
        // 500.0 scales to 5 * 10^9, which wraps to 705032704.
        {"samples outside the range wrap", floatSource(0, 100, {50.0f, -1.0f, 500.0f}),
         {0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x65,
          0xCD, 0x1D, 0x00, 0x01, 0x11, 0xD0, 0x14, 0x0E, 0x10, 0x22, 0x4F, 0x2A, 0x02, 0x02},
         floatSource(0, 100, {50.0f, 428.49673f, 70.503273f})},
        // The span 4 * 10^9 wraps to -294967296 on both sides: a sample
        // below the lower bound scales into 0..2^32 - 1 and comes back, one
        // inside the bounds does not.
        {"wrapped span", floatSource(-2000000000, 2000000000, {-2.1e9f, 0.0f}),
         {0x10, 0x00, 0x00, 0x00, 0x00, 0x6C, 0xCA, 0x88, 0x00, 0x94, 0x35,
          0x77, 0x5B, 0x0B, 0x35, 0x14, 0x00, 0x13, 0x45, 0x30, 0x75, 0x25, 0x20},
         floatSource(-2000000000, 2000000000, {-2.1e9f, -2533749760.0f})},
        {"NaN and infinities map to the lower bound", floatSource(10, 20, {NAN_F, INF_F, -INF_F, 15.0f}),
         {0x18, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x01, 0x08, 0x1C, 0x38, 0xB0, 0x4C, 0xB3, 0x0E, 0x01, 0x01},
         floatSource(10, 20, {10.0f, 10.0f, 10.0f, 15.0f})},
        // With bounds 0 and 1 a sample scales to itself times 10^9. The
        // largest floats whose scaled value stays inside the signed 64-bit
        // range keep its low 32 bits; the next ones out map to 0.
        {"signed 64-bit limits",
         floatSource(0, 1, {9223371776.0f, 9223372800.0f, -9223371776.0f, -9223372800.0f}),
         {0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD8,
          0x43, 0x00, 0x01, 0x00, 0x40, 0xC1, 0x4B, 0x20, 0x41, 0x81, 0xD8, 0x86, 0x04, 0x04},
         floatSource(0, 1, {1.1382293f, 0.0f, 3.156738f, 0.0f})},
        // 50.8359375 / 100 rounds down in double precision, so the scaled
        // value is just below 508359375 and truncates to 508359374. Extended
        // precision intermediates would give 508359375: this row proves the
        // build keeps to double precision (it matters on i686).
        {"truncation after double rounding", floatSource(0, 100, {50.8359375f, 50.8359375f}),
         {0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00,
          0x00, 0xCE, 0xF2, 0x4C, 0x1E, 0x00, 0x01, 0x08, 0x04, 0x10, 0x10},
         floatSource(0, 100, {50.8359375f, 50.8359375f})},
        // Bounds are taken as given, never reordered: the span is -100.
        {"bounds in reverse order", floatSource(100, 0, {25.0f, 75.0f}),
         {0x10, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x80, 0x17, 0xB4, 0x2C, 0x00, 0x01, 0x6C, 0x92, 0x21, 0x2E, 0x20},
         floatSource(100, 0, {25.0f, 75.0f})},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.what);
        reduct::test::expectExample(METHOD, e.source, e.coded, e.decoded);
    }
}

TEST(FloatLzw, SampleZeroIsTheLow32BitsOfItsTruncatedScaledValue) {
    // q0 sits whole at offset 12 of the stream, so it shows the mapping of
    // one sample directly.
    constexpr std::int32_t MIN32 = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t MAX32 = std::numeric_limits<std::int32_t>::max();
    const struct {
        const char* what;
        std::int32_t low, high;
        float x;
        std::uint32_t q0;
    } cases[] = {
        {"half a step below truncates toward zero", 0, 100, -5e-8f, 0},
        {"two steps below wraps", 0, 100, -2e-7f, 0xFFFFFFFEu},
        {"negative zero", 0, 100, -0.0f, 0},
        {"the upper bound", 0, 100, 100.0f, 1000000000u},
        {"beyond 2^32 steps wraps", 0, 100, 429.49673f, 0x32},
        {"just inside the lower bound", -50, 150, -49.999989f, 57},
        {"bounds in reverse order", 7, 3, 5.0f, 500000000u},
        {"full signed range wraps the span to -1", MIN32, MAX32, 0.0f, 0},
        {"reversed full range wraps the span to 1", MAX32, MIN32, 0.0f, 1000000000u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto e = reduct::test::encodeInto(floatSource(c.low, c.high, {c.x, c.x}), METHOD, 64, 0xFF);
        ASSERT_EQ(e.result.status, CODEC_OK);
        std::uint32_t q0;
        std::memcpy(&q0, e.bytes.data() + 12, 4);
        EXPECT_EQ(q0, c.q0);
    }
}

TEST(FloatLzw, RefusesSourcesThatAreNotBoundsAndTwoOrMoreSamples) {
    // 8 + 4n bytes with n >= 2; everything else is not a source of this method.
    for (std::size_t len : {1u, 4u, 7u, 8u, 12u, 15u, 17u, 18u, 19u, 21u}) {
        SCOPED_TRACE(len);
        const Bytes src(len, 0x11);
        auto o = reduct::test::encodeInto(src, METHOD, 256);
        EXPECT_EQ(o.result.status, CODEC_BAD_LENGTH);
        EXPECT_EQ(o.result.length, 0);
        EXPECT_TRUE(o.guardIntact);
    }
}

TEST(FloatLzw, RefusesStreamsEncodeCannotMake) {
    const Bytes header = {0x10, 0, 0, 0, 0, 0, 0, 0, 0x64, 0, 0, 0, 0x00, 0x65, 0xCD, 0x1D};
    auto withCodes = [&](Bytes codes) {
        Bytes s = header;
        s.insert(s.end(), codes.begin(), codes.end());
        return s;
    };
    const Bytes good = withCodes({0x00, 0x01, 0x08, 0x04, 0x10, 0x10});
    ASSERT_EQ(reduct::test::decodeInto(good, METHOD, 64).result.status, CODEC_OK);

    Bytes wrongLength = good;
    wrongLength[0] = 0x14;  // says three samples, holds two
    const struct {
        const char* what;
        Bytes stream;
    } cases[] = {
        {"header only", header},
        {"header cut short", Bytes(header.begin(), header.begin() + 15)},
        {"one byte", {0x10}},
        {"no difference at all", withCodes({0x00, 0x03, 0x02})},
        {"one byte of a difference", withCodes({0x00, 0x01, 0x04, 0x04})},
        {"three bytes of a difference", withCodes({0x00, 0x01, 0x08, 0x0C, 0x08})},
        {"length word disagrees with the samples", wrongLength},
        {"no end code", withCodes({0x00, 0x01, 0x08, 0x04})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto o = reduct::test::decodeInto(c.stream, METHOD, 64);
        EXPECT_EQ(o.result.status, CODEC_BAD_STREAM);
        EXPECT_EQ(o.result.length, 0);
        EXPECT_TRUE(o.guardIntact);
    }
}

// Every sample whose scaled value lies in 0..2^32 - 1 comes back to within
// one step of the range, plus the rounding to single precision.
void expectWithinOneStep(const Bytes& src, std::int32_t low, std::int32_t high) {
    const auto cap = static_cast<std::int32_t>(src.size() * 2 + 64);
    auto e = reduct::test::encodeInto(src, METHOD, cap, 0xFF);
    ASSERT_EQ(e.result.status, CODEC_OK);
    auto d = reduct::test::decodeInto(e.bytes, METHOD, static_cast<std::int32_t>(src.size()));
    ASSERT_EQ(d.result.status, CODEC_OK);
    ASSERT_EQ(d.bytes.size(), src.size());
    EXPECT_TRUE(std::equal(src.begin(), src.begin() + 8, d.bytes.begin())) << "bounds come back exactly";
    const std::vector<float> in = samplesOf(src), out = samplesOf(d.bytes);
    const double step = (static_cast<double>(high) - low) / 1e9;
    std::size_t exact = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const double x = in[i], y = out[i];
        const double slack = step + std::abs(x) * std::ldexp(1.0, -23);
        ASSERT_LE(std::abs(y - x), slack) << "sample " << i << ": " << x << " came back as " << y;
        exact += x == y;
    }
    // Floats well inside the range are far coarser than a step; nearly all
    // come back bit for bit.
    EXPECT_GT(exact, in.size() * 9 / 10);
}

TEST(FloatLzw, BundledTemperaturesComeBackWithinOneStep) {
    const auto sample = reduct::samples::generate(reduct::samples::Kind::Float32, 0.05);
    const Bytes src = reduct::samples::methodSource(sample, METHOD);
    ASSERT_EQ(src.size(), sample.bytes.size() + 8);
    expectWithinOneStep(src, reduct::samples::FLOAT_RANGE_LOW, reduct::samples::FLOAT_RANGE_HIGH);
}

TEST(FloatLzw, RandomSamplesFillTheDictionaryManyTimes) {
    // Uniform samples over a wide range give random difference bytes, so the
    // dictionary fills and clears over and over while the difference chain
    // runs on unbroken.
    std::mt19937 rng(6);
    std::uniform_real_distribution<float> dist(-1000.0f, 3000.0f);
    std::vector<float> values(40000);
    for (float& v : values) v = dist(rng);
    Bytes src = words<std::int32_t>({-1000, 3000});
    const Bytes body = words(values);
    src.insert(src.end(), body.begin(), body.end());
    expectWithinOneStep(src, -1000, 3000);

    // A constant series is four zero symbols per sample.
    Bytes flat = words<std::int32_t>({0, 10});
    const Bytes same = words(std::vector<float>(100000, 2.5f));
    flat.insert(flat.end(), same.begin(), same.end());
    reduct::test::expectRoundTrip(METHOD, flat);
}

TEST(FloatLzw, LongSeriesCodeExactlyAsThePlainReference) {
    // Thousands of in-range samples: many blocks of differences and several
    // dictionary clears, compared byte for byte with a plain LZW coder fed
    // the fixed-point difference bytes worked out here.
    const auto sample = reduct::samples::generate(reduct::samples::Kind::Float32, 0.02);
    const Bytes src = reduct::samples::methodSource(sample, METHOD);
    const std::int32_t low = reduct::samples::FLOAT_RANGE_LOW, high = reduct::samples::FLOAT_RANGE_HIGH;
    std::vector<std::uint32_t> q;
    for (float x : samplesOf(src))
        q.push_back(static_cast<std::uint32_t>(
            static_cast<std::int64_t>((static_cast<double>(x) - low) / (high - low) * 1e9)));
    const auto pass = reduct::test::referenceCodes(reduct::test::deltaSymbols(q), reduct::test::REF_BYTES);
    ASSERT_GE(pass.clears, 2);
    Bytes header = words<std::uint32_t>({static_cast<std::uint32_t>(src.size())});
    header.insert(header.end(), src.begin(), src.begin() + 8);
    const Bytes q0 = words<std::uint32_t>({q[0]});
    header.insert(header.end(), q0.begin(), q0.end());
    const Bytes expected = reduct::test::referencePack(pass.codes, header);
    auto e = reduct::test::encodeInto(src, METHOD, static_cast<std::int32_t>(expected.size()), 0xFF);
    ASSERT_EQ(e.result.status, CODEC_OK);
    EXPECT_TRUE(e.bytes == expected);
}

TEST(FloatLzw, DamagedStreamsStayInsideTheBuffers) {
    const Bytes src = floatSource(-50, 150, {20.5f, 20.75f, 21.0f, 21.0f, 20.25f, -3.5f, 149.0f, 20.5f});
    auto coded = reduct::test::encodeInto(src, METHOD, 256);
    ASSERT_EQ(coded.result.status, CODEC_OK);
    reduct::test::expectSafeOnDamage(METHOD, coded.bytes, src, true);

    const auto sample = reduct::samples::generate(reduct::samples::Kind::Float32, 0.001);
    const Bytes longer = reduct::samples::methodSource(sample, METHOD);
    auto codedLonger = reduct::test::encodeInto(longer, METHOD, static_cast<std::int32_t>(longer.size() * 2));
    ASSERT_EQ(codedLonger.result.status, CODEC_OK);
    reduct::test::expectSafeOnDamage(METHOD, codedLonger.bytes, longer, true);
}

}  // namespace
