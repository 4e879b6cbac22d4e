// Signed 12-bit LZW (method 11): exact streams, code widths and clears,
// escapes, refusals, round trips and damaged streams.
#include <gtest/gtest.h>
#include <reduct/codec.h>

#include <cstdint>
#include <vector>

#include "conformance.h"
#include "samples.h"

namespace {

using reduct::test::Bytes;
using reduct::test::words;

constexpr int M = CM_SIGNED12_LZW;

constexpr std::uint32_t ESC = 255, CLEAR = 256, END = 257;

struct Field {
    std::uint32_t value;
    unsigned width;
};

// Builds a method-11 stream by hand from its parts: the header, the sign
// bits of the samples' differences, and the code-stream fields, placed from
// bit n of byte 6 on.
Bytes packStream(const std::vector<std::uint16_t>& samples, const std::vector<Field>& fields) {
    const std::size_t n = samples.size();
    std::size_t bits = 0;
    for (const Field& f : fields) bits += f.width;
    Bytes out(6 + (n + bits) / 8 + 1, 0);
    const auto len = static_cast<std::uint32_t>(2 * n);
    for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(len >> (8 * i));
    out[4] = static_cast<std::uint8_t>(samples[0]);
    out[5] = static_cast<std::uint8_t>(samples[0] >> 8);
    for (std::size_t i = 1; i < n; ++i) {
        if (samples[i] < samples[i - 1]) out[6 + (i - 1) / 8] |= static_cast<std::uint8_t>(0x80u >> ((i - 1) % 8));
    }
    std::size_t pos = n;
    for (const Field& f : fields) {
        for (unsigned b = 0; b < f.width; ++b, ++pos) {
            if ((f.value >> b) & 1u) out[6 + pos / 8] |= static_cast<std::uint8_t>(1u << (pos % 8));
        }
    }
    return out;
}

// The width the encoder writes a data code with while its next code is
// `nextCode`: it widens once nextCode has become 513, 1025 and 2049.
unsigned encoderWidth(std::uint32_t nextCode) {
    return nextCode <= 512 ? 9 : nextCode <= 1024 ? 10 : nextCode <= 2048 ? 11 : 12;
}

// Samples whose differences have the given magnitudes, starting at 2048 and
// turning down whenever going up would leave 0..4095.
std::vector<std::uint16_t> samplesFor(const std::vector<std::uint32_t>& magnitudes) {
    std::vector<std::uint16_t> s{2048};
    std::uint32_t x = 2048;
    for (std::uint32_t m : magnitudes) {
        x = x + m <= 4095 ? x + m : x - m;
        s.push_back(static_cast<std::uint16_t>(x));
    }
    return s;
}

// Magnitudes 0..63 in an order in which no two neighbouring pairs repeat
// (a de Bruijn sequence of order 2, 4097 long): every step after the first
// misses the dictionary, so every code written is a single root.
std::vector<std::uint32_t> distinctPairs() {
    constexpr std::uint32_t K = 64;
    std::vector<std::uint32_t> seq;
    // Over the complete graph with loops on K symbols: for each a, visit
    // (a, a) and then every (a, b), (b, a) with b > a, in an Euler tour.
    for (std::uint32_t a = 0; a < K; ++a) {
        seq.push_back(a);
        for (std::uint32_t b = a + 1; b < K; ++b) {
            seq.push_back(a);
            seq.push_back(b);
        }
    }
    seq.push_back(0);
    return seq;
}

TEST(Signed12Lzw, CodesEveryDocumentedExampleExactly) {
    struct Example {
        const char* what;
        std::vector<std::uint16_t> samples;
        Bytes coded;
    } examples[] = {
        {"escape, then its string continues",
         {100, 101, 101, 99, 99, 400, 400, 395},
         {0x10, 0x00, 0x00, 0x00, 0x64, 0x00, 0x22, 0x00, 0x03, 0x00, 0x10, 0x00, 0xE0, 0x5F,
          0x4B, 0x00, 0x28, 0x10, 0x10}},
        {"one sample", {7}, {0x02, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x06, 0x04}},
        {"escape entry inside strings, code defined as it is read",
         {100, 400, 100, 400, 100, 400, 100, 400, 100},
         {0x12, 0x00, 0x00, 0x00, 0x64, 0x00, 0x55, 0x00, 0xFE, 0x63, 0x89, 0x81, 0x04, 0x07,
          0x06, 0x04}},
        {"a sign bit inside the first code (reads back as 264)",
         {100, 101, 99},
         {0x06, 0x00, 0x00, 0x00, 0x64, 0x00, 0x40, 0x18, 0x40, 0x40, 0x40}},
        {"a sign bit inside the first code (reads back as the end code)",
         {100, 101, 102, 101, 102},
         {0x0A, 0x00, 0x00, 0x00, 0x64, 0x00, 0x20, 0x60, 0x00, 0x81, 0x01, 0x02, 0x02}},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.what);
        reduct::test::expectExample(M, words(e.samples), e.coded, words(e.samples));
    }
    // Without a set shared bit the first code reads back unchanged.
    const Bytes plain = words<std::uint16_t>({100, 101, 102});
    auto coded = reduct::test::encodeInto(plain, M, 64);
    ASSERT_EQ(coded.result.status, CODEC_OK);
    EXPECT_EQ(coded.bytes[6], 0x00);
    reduct::test::expectExample(M, plain, coded.bytes, plain);
}

TEST(Signed12Lzw, CodesSmallStreamsFieldByField) {
    struct Case {
        const char* what;
        std::vector<std::uint16_t> samples;
        std::vector<Field> fields;
    } cases[] = {
        {"254 is a root code", {0, 254}, {{CLEAR, 9}, {254, 9}, {END, 9}}},
        {"255 is escaped", {0, 255}, {{CLEAR, 9}, {ESC, 9}, {255, 12}, {END, 9}}},
        {"4095 travels in the raw field", {4095, 0}, {{CLEAR, 9}, {ESC, 9}, {4095, 12}, {END, 9}}},
        {"a repeated large magnitude uses its escape entry",
         // Entry 258 is 300, (258, 258) becomes 259 and is the last string,
         // written before the decoder has it.
         {0, 300, 0, 300},
         {{CLEAR, 9}, {ESC, 9}, {300, 12}, {259, 9}, {END, 9}}},
        {"an escape ends the owed string",
         // Magnitudes 1, 1, 500: the second 1 is owed when 500 arrives.
         {10, 11, 12, 512},
         {{CLEAR, 9}, {1, 9}, {1, 9}, {ESC, 9}, {500, 12}, {END, 9}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes src = words(c.samples);
        reduct::test::expectExample(M, src, packStream(c.samples, c.fields), src);
    }
}

// Streams long enough to widen the codes and to fill the dictionary: every
// step misses, so code j after a clear is written while the encoder's next
// code is 257 + j. The decoder, one entry behind, must read each at the same
// width.
struct LongCase {
    const char* what;
    std::size_t distinct;                 // leading magnitudes from distinctPairs()
    std::vector<std::uint32_t> tail;      // magnitudes after them
    std::vector<Field> tailFields;        // the fields from the dictionary's fill on
};

TEST(Signed12Lzw, WidensAt513_1025_2049AndClearsAt4096) {
    const std::vector<std::uint32_t> pairs = distinctPairs();
    const LongCase cases[] = {
        {"widening only", 2100, {}, {}},
        // The end code follows the last data code with no entry between, so
        // at 512, 1024 and 2048 codes it is written one bit narrower than
        // the decoder reads it; the bit above it is the zero tail.
        {"ends at 512 codes", 255, {}, {}},
        {"ends at 1024 codes", 767, {}, {}},
        {"ends at 2048 codes", 1791, {}, {}},
        {"an escape takes the dictionary to 512 codes as the input ends", 253, {300},
         {{ESC, 9}, {300, 12}, {END, 9}}},
        {"fills the dictionary with input left: owed prefix and clear in 12 bits, then 9",
         3841, {}, {}},
        {"the clear's first string takes the last sample", 3840, {}, {}},
        {"the clear's first string is an escape and the last sample", 3839, {700}, {}},
        {"an escape first after the clear", 3839, {300, 5, 6},
         {{CLEAR, 12}, {ESC, 9}, {300, 12}, {5, 9}, {6, 9}, {END, 9}}},
        {"an escape fills the dictionary with input left", 3838, {300, 5, 6},
         {{ESC, 12}, {300, 12}, {CLEAR, 12}, {5, 9}, {6, 9}, {END, 9}}},
        {"an escape fills the dictionary as the input ends: entry 4096", 3838, {300},
         {{ESC, 12}, {300, 12}, {END, 12}}},
    };
    for (const LongCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint32_t> mags(pairs.begin(), pairs.begin() + static_cast<std::ptrdiff_t>(c.distinct));
        mags.insert(mags.end(), c.tail.begin(), c.tail.end());
        const std::vector<std::uint16_t> samples = samplesFor(mags);

        std::vector<Field> fields{{CLEAR, 9}};
        // The distinct part: one root per step, clear when 4096 codes exist.
        std::uint32_t nextCode = 258;
        for (std::size_t j = 0; j + 1 < c.distinct; ++j) {
            fields.push_back({mags[j], encoderWidth(nextCode)});
            ++nextCode;
            if (nextCode == 4096 && j + 2 < c.distinct) {
                fields.push_back({mags[j + 1], 12});
                fields.push_back({CLEAR, 12});
                nextCode = 258;
                ++j;  // that magnitude starts the next string
            }
        }
        if (c.tail.empty()) {
            // The last string, then the end code. After a clear whose
            // first string took the last sample, both are 9 bits wide.
            const unsigned w = encoderWidth(nextCode);
            fields.push_back({mags[c.distinct - 1], w});
            fields.push_back({END, w});
        } else if (c.tailFields.empty()) {
            // 3839 distinct, then an escape as the clear's first string.
            fields.push_back({mags[3838], 12});
            fields.push_back({CLEAR, 12});
            fields.push_back({ESC, 9});
            fields.push_back({c.tail[0], 12});
            fields.push_back({END, 9});
        } else {
            fields.push_back({mags[c.distinct - 1], encoderWidth(nextCode)});
            fields.insert(fields.end(), c.tailFields.begin(), c.tailFields.end());
        }
        const Bytes src = words(samples);
        const Bytes coded = packStream(samples, fields);
        reduct::test::expectExample(M, src, coded, src);
        if (c.distinct < 300) reduct::test::expectSafeOnDamage(M, coded, src, true);
    }
}

TEST(Signed12Lzw, RefusesOddLengthsAndDifferencesBeyond4095) {
    struct Case {
        const char* what;
        Bytes src;
        int status;
    };
    std::vector<Case> cases = {
        {"odd length", {1, 0, 2}, CODEC_BAD_LENGTH},
        {"one byte", {1}, CODEC_BAD_LENGTH},
        {"4096 first", words<std::uint16_t>({0, 4096}), CODEC_BAD_VALUE},
        {"4096 down later", words<std::uint16_t>({5000, 5001, 5002, 906}), CODEC_BAD_VALUE},
        {"full range", words<std::uint16_t>({0, 65535}), CODEC_BAD_VALUE},
        {"after an escape of the same size", words<std::uint16_t>({0, 4095, 0, 4096}),
         CODEC_BAD_VALUE},
    };
    // A difference too large as the first string after a clear.
    const std::vector<std::uint32_t> pairs = distinctPairs();
    std::vector<std::uint32_t> mags(pairs.begin(), pairs.begin() + 3839);
    std::vector<std::uint16_t> s = samplesFor(mags);
    s.push_back(static_cast<std::uint16_t>(s.back() + 4096));
    cases.push_back({"first after a clear", words(s), CODEC_BAD_VALUE});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto o = reduct::test::encodeInto(c.src, M, 1 << 16, 0xFF);
        EXPECT_EQ(o.result.status, c.status);
        EXPECT_EQ(o.result.length, 0);
        EXPECT_TRUE(o.guardIntact);
    }
    // 4095 either way is still codable.
    reduct::test::expectRoundTrip(M, words<std::uint16_t>({0, 4095, 0, 4095, 4095, 0}));
    reduct::test::expectRoundTrip(M, words<std::uint16_t>({65535, 61440, 65535}));
}

std::vector<std::uint16_t> series(std::size_t n, std::uint64_t seed, int shape) {
    std::vector<std::uint16_t> v(n);
    std::uint64_t r = seed;
    auto next = [&r] {
        r = r * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(r >> 33);
    };
    std::int32_t x = 2000;
    for (std::size_t i = 0; i < n; ++i) {
        switch (shape) {
            case 0: x = 1234; break;                                          // constant
            case 1: x = static_cast<std::int32_t>(i % 4096); break;           // ramp with wrap jumps
            case 2: x += static_cast<std::int32_t>(next() % 9) - 4; break;    // random walk
            case 3: x = static_cast<std::int32_t>(next() % 4096); break;      // noise over the range
            case 4: x = (i % 2 == 0) ? 0 : 4095; break;                        // extremes
            case 5: x += static_cast<std::int32_t>(next() % 601) - 300; break; // large steps
        }
        if (x < 0) x = -x;
        if (x > 4095) x = 8190 - x;
        v[i] = static_cast<std::uint16_t>(x);
    }
    return v;
}

TEST(Signed12Lzw, RoundTripsBundledAndGeneratedSeries) {
    const auto adc = reduct::samples::generate(reduct::samples::Kind::Adc12, 0.05);
    reduct::test::expectRoundTrip(M, adc.bytes);
    for (int shape = 0; shape < 6; ++shape) {
        SCOPED_TRACE("shape " + std::to_string(shape));
        for (std::size_t n : {1u, 2u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 1000u, 60000u}) {
            reduct::test::expectRoundTrip(M, words(series(n, 99 + n, shape)));
        }
    }
    // Noise over the whole range: nearly one code per sample, so the
    // dictionary is cleared a few hundred times.
    reduct::test::expectRoundTrip(M, words(series(700'000, 5, 3)));
    // Every length up to 40 (each place of the first code in its byte) with
    // falling samples, so every sign bit is set.
    for (std::size_t n = 1; n <= 40; ++n) {
        std::vector<std::uint16_t> down(n);
        for (std::size_t i = 0; i < n; ++i) down[i] = static_cast<std::uint16_t>(4000 - 3 * i);
        reduct::test::expectRoundTrip(M, words(down));
    }
}

TEST(Signed12Lzw, LongestStringsSurviveAFullDictionary) {
    // A constant series makes strings one element longer each time; filling
    // 4096 codes takes about 7.4 million samples and the last strings are
    // over 3800 elements long. Then a second dictionary starts.
    std::vector<std::uint16_t> flat(7'500'000, 321);
    flat[3] = 322;
    reduct::test::expectRoundTrip(M, words(flat));
}

TEST(Signed12Lzw, ReportsTheFullLengthWhenTheDestinationIsShort) {
    const Bytes src = words(series(5000, 7, 2));
    auto coded = reduct::test::encodeInto(src, M, 20000);
    ASSERT_EQ(coded.result.status, CODEC_OK);
    for (std::int32_t cap : {1, 7, 100, coded.result.length - 1}) {
        auto e = reduct::test::encodeInto(src, M, cap, 0xFF);
        EXPECT_EQ(e.result.status, CODEC_OUTPUT_OVERFLOW);
        EXPECT_EQ(e.result.length, coded.result.length);
        EXPECT_TRUE(e.guardIntact);
    }
    for (std::int32_t cap : {1, 2, 9999}) {
        auto d = reduct::test::decodeInto(coded.bytes, M, cap);
        EXPECT_EQ(d.result.status, CODEC_OUTPUT_OVERFLOW);
        EXPECT_EQ(d.result.length, 10000);
        EXPECT_TRUE(d.guardIntact);
    }
}

TEST(Signed12Lzw, RefusesStreamsTheEncoderCannotMake) {
    const std::vector<std::uint16_t> two{10, 11};
    const std::vector<std::uint16_t> three{10, 11, 12};
    auto withLength = [](Bytes b, std::uint32_t len) {
        for (int i = 0; i < 4; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(len >> (8 * i));
        return b;
    };
    auto startingAtZero = [](Bytes b) {
        b[4] = 0;
        b[5] = 0;
        return b;
    };
    const Bytes good = packStream(two, {{CLEAR, 9}, {1, 9}, {END, 9}});
    struct Case {
        const char* what;
        Bytes stream;
    } cases[] = {
        {"header only", {4, 0, 0, 0, 10, 0}},
        {"length zero", withLength(good, 0)},
        {"odd length", withLength(good, 3)},
        {"length beyond 31 bits", withLength(good, 0x80000000u)},
        {"code stream past the end", withLength(good, 400)},
        {"first code not a clear", packStream(two, {{1, 9}, {1, 9}, {END, 9}})},
        {"first code after a clear names an entry", packStream(three, {{CLEAR, 9}, {258, 9}, {END, 9}})},
        {"code beyond the next entry", packStream(three, {{CLEAR, 9}, {1, 9}, {259, 9}, {END, 9}})},
        {"escape of a small magnitude", packStream(two, {{CLEAR, 9}, {ESC, 9}, {254, 12}, {END, 9}})},
        {"fewer samples than stated", packStream(three, {{CLEAR, 9}, {1, 9}, {END, 9}})},
        {"more samples than stated", packStream(two, {{CLEAR, 9}, {1, 9}, {1, 9}, {END, 9}})},
        {"no end code", packStream(two, {{CLEAR, 9}, {1, 9}})},
        {"sample below zero", startingAtZero(packStream(std::vector<std::uint16_t>{1, 0},
                                                        {{CLEAR, 9}, {1, 9}, {END, 9}}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Also into a destination too small for the stated length: the
        // codes are still checked, and damage is not reported as overflow.
        // (Sample values are only known where they can be stored.)
        const bool onlyValues = std::string(c.what) == "sample below zero";
        for (std::int32_t cap : {64, 1}) {
            if (onlyValues && cap == 1) continue;
            auto o = reduct::test::decodeInto(c.stream, M, cap);
            EXPECT_EQ(o.result.status, CODEC_BAD_STREAM) << "capacity " << cap;
            EXPECT_EQ(o.result.length, 0);
            EXPECT_TRUE(o.guardIntact);
        }
    }
    EXPECT_EQ(reduct::test::decodeInto(good, M, 64).result.status, CODEC_OK);

    // Escapes without a clear until the table would grow past its size:
    // each adds two entries, 1920 of them reach code 4096.
    std::vector<Field> fields{{CLEAR, 9}, {1, 9}};
    std::uint32_t next = 258;
    for (int i = 0; i < 1921; ++i) {
        const unsigned w = next < 512 ? 9 : next < 1024 ? 10 : next < 2048 ? 11 : 12;
        fields.push_back({ESC, w});
        fields.push_back({300, 12});
        next += 2;
    }
    fields.push_back({END, 12});
    std::vector<std::uint16_t> many(1923, 0);
    auto o = reduct::test::decodeInto(packStream(many, fields), M, 8000);
    EXPECT_EQ(o.result.status, CODEC_BAD_STREAM);
    EXPECT_TRUE(o.guardIntact);
}

TEST(Signed12Lzw, DamagedStreamsStayInsideTheBuffers) {
    const std::vector<Bytes> sources = {
        words<std::uint16_t>({100, 101, 101, 99, 99, 400, 400, 395}),
        words<std::uint16_t>({100, 101, 102, 101, 102}),
        words<std::uint16_t>({100, 400, 100, 400, 100, 400, 100, 400, 100}),
        words(series(300, 3, 5)),
        words(series(400, 4, 2)),
    };
    for (const Bytes& src : sources) {
        auto coded = reduct::test::encodeInto(src, M, 4096);
        ASSERT_EQ(coded.result.status, CODEC_OK);
        reduct::test::expectSafeOnDamage(M, coded.bytes, src, true);
    }
}

}  // namespace
