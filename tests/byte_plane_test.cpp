// Method 13: 16-bit words as a high-byte plane and a low-byte plane, two
// LZW passes in one bit stream.
#include <gtest/gtest.h>
#include <reduct/codec.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "conformance.h"
#include "lzw_reference.h"
#include "samples.h"

namespace reduct::test {
namespace {

constexpr int M = CM_BYTE_PLANE_LZW;

std::vector<unsigned> plane(const std::vector<std::uint16_t>& words, bool high) {
    std::vector<unsigned> out;
    for (std::uint16_t w : words) out.push_back(high ? (w >> 8) : (w & 0xFFu));
    return out;
}

// The stream the encoder must make for `words`; the header and each pass's
// symbols can be overridden to craft streams the encoder never makes.
Bytes modelStream(const std::vector<std::uint16_t>& source,
                  std::optional<std::int32_t> storedLength = std::nullopt,
                  std::optional<std::vector<unsigned>> highPlane = std::nullopt,
                  std::optional<std::vector<unsigned>> lowPlane = std::nullopt) {
    std::vector<Code> codes =
        referenceCodes(highPlane.value_or(plane(source, true)), REF_BYTES).codes;
    const std::vector<Code> low =
        referenceCodes(lowPlane.value_or(plane(source, false)), REF_BYTES_2).codes;
    codes.insert(codes.end(), low.begin(), low.end());
    return referencePack(
        codes,
        words<std::int32_t>({storedLength.value_or(static_cast<std::int32_t>(2 * source.size()))}));
}

// The fewest leading symbols whose pass satisfies `holds`, which must stay
// true for every longer prefix once it holds (and hold for the whole input).
template <typename Holds>
std::size_t shortestPrefix(const std::vector<unsigned>& symbols, ReferenceAlphabet a, Holds holds) {
    std::size_t lo = 1, hi = symbols.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        const std::vector<unsigned> head(symbols.begin(),
                                         symbols.begin() + static_cast<std::ptrdiff_t>(mid));
        if (holds(referenceCodes(head, a))) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

std::vector<std::uint16_t> firstWords(const std::vector<std::uint16_t>& pool, std::size_t n) {
    return {pool.begin(), pool.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<std::uint16_t> randomWords(std::size_t n, std::uint32_t seed, unsigned highRange,
                                       unsigned lowRange) {
    std::mt19937 rng(seed);
    std::vector<std::uint16_t> w(n);
    for (auto& v : w)
        v = static_cast<std::uint16_t>(((rng() % highRange) << 8) | (rng() % lowRange));
    return w;
}

TEST(BytePlane, WrittenExamplesCodeAndDecodeExactly) {
    struct Row {
        const char* name;
        Bytes source;
        Bytes coded;
    };
    const Row rows[] = {
        {"three words 0x1234 0x1235 0x1236",
         {0x34, 0x12, 0x35, 0x12, 0x36, 0x12},
         {0x06, 0x00, 0x00, 0x00, 0x00, 0x25, 0x08, 0x0C, 0x28, 0x90, 0x46, 0x0D, 0x1B, 0x03,
          0x01}},
        {"single word 0xABCD",
         {0xCD, 0xAB},
         {0x02, 0x00, 0x00, 0x00, 0x00, 0x57, 0x05, 0x14, 0xD8, 0x6C, 0x20}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        expectExample(M, r.source, r.coded, r.source);
    }
}

TEST(BytePlane, StreamsMatchTheModelForEveryShape) {
    struct Row {
        std::string name;
        std::vector<std::uint16_t> words;
    };
    std::vector<Row> rows;
    rows.push_back({"equal words", std::vector<std::uint16_t>(5000, 0x7A7A)});
    rows.push_back({"zero words", std::vector<std::uint16_t>(3, 0)});
    {
        std::vector<std::uint16_t> ramp(70000);
        for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint16_t>(i);
        rows.push_back({"ramp over every value", ramp});
    }
    rows.push_back({"noise fills both dictionaries often", randomWords(30000, 1, 256, 256)});
    rows.push_back({"quiet high plane, noisy low plane", randomWords(20000, 2, 2, 256)});
    rows.push_back({"noisy high plane, quiet low plane", randomWords(20000, 3, 256, 3)});
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Bytes src = words(r.words);
        expectExample(M, src, modelStream(r.words), src);
    }
}

// A run of one word long enough for the dictionary to reach strings of 1791
// symbols in both planes before it fills and clears.
TEST(BytePlane, LongestStringsComeBackIntact) {
    const std::vector<std::uint16_t> w(1700000, 0x0101);
    const ReferencePass high = referenceCodes(plane(w, true), REF_BYTES);
    ASSERT_GE(high.longest, 1790u);
    ASSERT_GE(high.clears, 1);
    const Bytes src = words(w);
    const Bytes coded = modelStream(w);
    Outcome e = encodeInto(src, M, static_cast<std::int32_t>(coded.size()), 0xFF);
    ASSERT_EQ(e.result.status, CODEC_OK);
    EXPECT_TRUE(e.bytes == coded);
    Outcome d = decodeInto(coded, M, static_cast<std::int32_t>(src.size()));
    ASSERT_EQ(d.result.status, CODEC_OK);
    EXPECT_TRUE(d.bytes == src);
}

// Inputs whose first pass ends on each bit of a byte; the second pass must
// start right at the next bit.
TEST(BytePlane, SecondPassStartsRightAfterAFirstPassEndingAtAnyBit) {
    const std::vector<std::uint16_t> pool = randomWords(400, 4, 256, 7);
    bool seen[8] = {};
    for (std::size_t n = 1; n <= pool.size(); ++n) {
        const std::vector<std::uint16_t> w = firstWords(pool, n);
        std::size_t endBit = 32;
        for (const Code& c : referenceCodes(plane(w, true), REF_BYTES).codes) endBit += c.width;
        if (seen[endBit % 8]) continue;
        seen[endBit % 8] = true;
        SCOPED_TRACE("first pass ends at bit " + std::to_string(endBit % 8) + " with " +
                     std::to_string(n) + " words");
        const Bytes src = words(w);
        expectExample(M, src, modelStream(w), src);
    }
    for (bool s : seen) EXPECT_TRUE(s);
}

// The first pass's end code is written while the encoder's next code is 512
// or 1024: the encoder writes it one bit narrower than the decoder's width
// at that point, and the second pass follows at once.
TEST(BytePlane, FirstPassEndCodeOneBitNarrowerThanTheDecoderWidth) {
    for (unsigned target : {512u, 1024u}) {
        for (unsigned seed : {5u, 6u}) {
            const std::vector<std::uint16_t> pool = randomWords(3000, seed, 256, 256);
            const std::size_t n = shortestPrefix(
                plane(pool, true), REF_BYTES,
                [&](const ReferencePass& r) { return r.clears > 0 || r.endNextCode >= target; });
            const std::vector<std::uint16_t> w = firstWords(pool, n);
            const ReferencePass first = referenceCodes(plane(w, true), REF_BYTES);
            ASSERT_EQ(first.endNextCode, target);
            ASSERT_EQ(first.codes.back().width, target == 512 ? 9u : 10u);
            SCOPED_TRACE("next code " + std::to_string(target) + ", seed " + std::to_string(seed));
            const Bytes src = words(w);
            expectExample(M, src, modelStream(w), src);
        }
    }
}

// A plane whose last symbol fills the dictionary ends with the prefix, that
// symbol and the end code, all 11 bits wide, and no clear code.
TEST(BytePlane, PlaneFillingItsDictionaryOnTheLastSymbolCarriesNoClear) {
    for (bool highPlane : {true, false}) {
        SCOPED_TRACE(highPlane ? "high plane" : "low plane");
        const ReferenceAlphabet a = highPlane ? REF_BYTES : REF_BYTES_2;
        const std::vector<std::uint16_t> pool = randomWords(4000, 7, 256, 256);
        const std::size_t n = shortestPrefix(plane(pool, highPlane), a, [](const ReferencePass& r) {
            return r.clears > 0 || r.fullOnLast;
        });
        const std::vector<std::uint16_t> w = firstWords(pool, n);
        const ReferencePass pass = referenceCodes(plane(w, highPlane), a);
        ASSERT_TRUE(pass.fullOnLast);
        ASSERT_EQ(pass.clears, 0);
        const std::size_t c = pass.codes.size();
        EXPECT_EQ(pass.codes[c - 2].value, plane(w, highPlane).back());
        for (std::size_t k = c - 3; k < c; ++k) EXPECT_EQ(pass.codes[k].width, 11u);
        const Bytes src = words(w);
        expectExample(M, src, modelStream(w), src);
    }
}

TEST(BytePlane, BundledSamplesRoundTripAndMatchTheModel) {
    for (auto kind : {samples::Kind::Word16, samples::Kind::Adc12}) {
        const samples::Sample s = samples::generate(kind, 0.02);
        SCOPED_TRACE(s.name);
        expectRoundTrip(M, s.bytes);
        std::vector<std::uint16_t> w(s.bytes.size() / 2);
        std::memcpy(w.data(), s.bytes.data(), s.bytes.size());
        Outcome e = encodeInto(s.bytes, M, static_cast<std::int32_t>(s.bytes.size() * 2 + 64));
        EXPECT_TRUE(e.bytes == modelStream(w));
    }
}

TEST(BytePlane, SourcesThatAreNotWholeWordsAreRefused) {
    for (std::size_t len : {1u, 3u, 7u}) {
        Outcome o = encodeInto(Bytes(len, 0x11), M, 64, 0xFF);
        EXPECT_EQ(o.result.status, CODEC_BAD_LENGTH) << len;
        EXPECT_EQ(o.result.length, 0) << len;
    }
}

TEST(BytePlane, StreamsTheEncoderCannotMakeAreRefused) {
    const std::vector<std::uint16_t> w = randomWords(300, 8, 5, 5);
    const Bytes good = modelStream(w);
    ASSERT_EQ(decodeInto(good, M, 600).result.status, CODEC_OK);

    std::vector<unsigned> shortPlane = plane(w, false);
    shortPlane.pop_back();
    std::vector<unsigned> longPlane = plane(w, true);
    longPlane.push_back(1);
    Bytes badFirstCode = good;
    badFirstCode[4] = 0x41;  // first code 0x41 instead of the clear code
    badFirstCode[5] = static_cast<std::uint8_t>(badFirstCode[5] & 0xFE);
    Bytes endlessCode = good;
    // A code far above the next free one, right after the first clear code.
    endlessCode[5] = static_cast<std::uint8_t>(endlessCode[5] | 0xFE);
    endlessCode[6] = static_cast<std::uint8_t>(endlessCode[6] | 0x03);

    struct Row {
        const char* name;
        Bytes stream;
    };
    const Row rows[] = {
        {"header only", Bytes(good.begin(), good.begin() + 4)},
        {"shorter than a header", Bytes(good.begin(), good.begin() + 3)},
        {"odd stored length", modelStream(w, 601)},
        {"zero stored length", modelStream(w, 0)},
        {"negative stored length", modelStream(w, -600)},
        {"stored length too short for the planes", modelStream(w, 598)},
        {"stored length longer than the planes", modelStream(w, 602)},
        {"largest stored length", modelStream(w, 0x7FFFFFFE)},
        {"second pass one symbol short", modelStream(w, std::nullopt, std::nullopt, shortPlane)},
        {"first pass one symbol long", modelStream(w, 602, longPlane)},
        {"first code is not the clear code", badFirstCode},
        {"code above the next free code", endlessCode},
        {"spare byte after the end code missing", Bytes(good.begin(), good.end() - 1)},
    };
    for (const Row& r : rows) {
        Outcome o = decodeInto(r.stream, M, 700);
        EXPECT_EQ(o.result.status, CODEC_BAD_STREAM) << r.name;
        EXPECT_EQ(o.result.length, 0) << r.name;
        EXPECT_TRUE(o.guardIntact) << r.name;
    }
}

TEST(BytePlane, DamagedStreamsStayInsideTheBuffers) {
    const std::vector<std::vector<std::uint16_t>> cases = {
        {0x1234, 0x1235, 0x1236},
        randomWords(200, 9, 3, 256),
        std::vector<std::uint16_t>(400, 0x0102),
    };
    for (const auto& w : cases) {
        const Bytes src = words(w);
        const Bytes coded = modelStream(w);
        expectSafeOnDamage(M, coded, src, true);
    }
}

TEST(BytePlane, TooSmallDestinationLearnsTheFullLength) {
    const std::vector<std::uint16_t> w = randomWords(5000, 10, 4, 256);
    const Bytes src = words(w);
    const Bytes coded = modelStream(w);
    for (std::int32_t cap : {1, 2, 3, 9999}) {
        Outcome d = decodeInto(coded, M, cap);
        EXPECT_EQ(d.result.status, CODEC_OUTPUT_OVERFLOW) << cap;
        EXPECT_EQ(d.result.length, 10000) << cap;
        EXPECT_TRUE(d.guardIntact) << cap;
    }
    const auto codedLen = static_cast<std::int32_t>(coded.size());
    for (std::int32_t cap : {1, 2, 3, 4, 5, codedLen - 5, codedLen - 4, codedLen - 1}) {
        Outcome e = encodeInto(src, M, cap, 0xFF);
        EXPECT_EQ(e.result.status, CODEC_OUTPUT_OVERFLOW) << cap;
        EXPECT_EQ(e.result.length, static_cast<std::int32_t>(coded.size())) << cap;
        EXPECT_TRUE(e.guardIntact) << cap;
    }
}

}  // namespace
}  // namespace reduct::test
