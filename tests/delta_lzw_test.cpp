// Delta-byte LZW coding of 16-bit (methods 3 and 8) and 32-bit (methods 4
// and 9) values, through the C interface.
#include <gtest/gtest.h>
#include <reduct/codec.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "conformance.h"
#include "lzw_reference.h"
#include "samples.h"

namespace {

using reduct::test::Bytes;
using reduct::test::decodeInto;
using reduct::test::encodeInto;
using reduct::test::hex;
using reduct::test::words;

template <typename Word>
Bytes header(Word first) {
    return words<Word>({first});
}

// The coded stream the plain reference encoder gives for `values`.
template <typename Word>
Bytes referenceStream(const std::vector<Word>& values, reduct::test::ReferencePass* pass = nullptr) {
    const auto r = reduct::test::referenceCodes(reduct::test::deltaSymbols(values), reduct::test::REF_BYTES);
    if (pass != nullptr) *pass = r;
    return reduct::test::referencePack(r.codes, header<Word>(values[0]));
}

template <typename Word>
constexpr int methodFor() {
    return sizeof(Word) == 2 ? CM_DELTA16_LZW : CM_DELTA32_LZW;
}

// Encode gives the reference bytes, into a 0xFF-filled destination, and
// the bytes decode back to the source.
template <typename Word>
void expectCodesLikeReference(const std::vector<Word>& values) {
    const Bytes src = words(values);
    const Bytes expected = referenceStream(values);
    const auto e = encodeInto(src, methodFor<Word>(), static_cast<std::int32_t>(expected.size()) + 8, 0xFF);
    ASSERT_EQ(e.result.status, CODEC_OK);
    ASSERT_TRUE(e.bytes == expected) << "differs from the reference encoder";
    const auto d = decodeInto(e.bytes, methodFor<Word>(), static_cast<std::int32_t>(src.size()));
    ASSERT_EQ(d.result.status, CODEC_OK);
    ASSERT_TRUE(d.bytes == src) << "round trip differs";
}

template <typename Word>
std::vector<Word> randomValues(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<Word> v(n);
    for (auto& x : v) x = static_cast<Word>(rng());
    return v;
}

TEST(DeltaLzw, CodesEveryDocumentedExampleExactly) {
    struct Example {
        const char* what;
        int method;
        Bytes source;
        const char* coded;
    };
    const Bytes series = words<std::uint16_t>({0x1234, 0x1235, 0x1236, 0x1237});
    const std::vector<Example> examples = {
        {"rising series", CM_DELTA16_LZW, series, "34 12 00 03 00 10 28 30 20"},
        {"rising series, alias", CM_DELTA16_LZW_2, series, "34 12 00 03 00 10 28 30 20"},
        {"falling step, 16-bit", CM_DELTA16_LZW, words<std::uint16_t>({100, 90}), "64 00 00 ED FD 0B 08"},
        {"falling step, 32-bit", CM_DELTA32_LZW, words<std::uint32_t>({1000, 990}),
         "E8 03 00 00 00 ED FD 1B 18 10"},
        {"falling step, 32-bit alias", CM_DELTA32_LZW_2, words<std::uint32_t>({1000, 990}),
         "E8 03 00 00 00 ED FD 1B 18 10"},
        {"16-bit wrap-around", CM_DELTA16_LZW, words<std::uint16_t>({0xFFFF, 0x0000}), "FF FF 00 03 00 08 08"},
        {"32-bit wrap-around", CM_DELTA32_LZW, words<std::uint32_t>({0x7FFFFFFF, 0x80000000u}),
         "FF FF FF 7F 00 03 00 18 18 10"},
        {"constant series", CM_DELTA16_LZW, words<std::uint16_t>({5, 5, 5, 5, 5}), "05 00 00 01 08 1C 28 30 20"},
        {"two equal 32-bit values", CM_DELTA32_LZW, words<std::uint32_t>({7, 7}), "07 00 00 00 00 01 08 04 10 10"},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.what);
        Bytes coded;
        for (const char* p = e.coded; *p != '\0';) {
            coded.push_back(static_cast<std::uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
            p += p[2] == '\0' ? 2 : 3;
        }
        reduct::test::expectExample(e.method, e.source, coded, e.source);
    }
}

TEST(DeltaLzw, AliasesAreByteIdenticalAndDecodeEachOther) {
    const auto v16 = randomValues<std::uint16_t>(3000, 1);
    const auto v32 = randomValues<std::uint32_t>(1500, 2);
    for (auto [a, b, src] : {std::tuple{CM_DELTA16_LZW, CM_DELTA16_LZW_2, words(v16)},
                             std::tuple{CM_DELTA32_LZW, CM_DELTA32_LZW_2, words(v32)}}) {
        const auto cap = static_cast<std::int32_t>(src.size() * 2);
        const auto ea = encodeInto(src, a, cap), eb = encodeInto(src, b, cap, 0xFF);
        ASSERT_EQ(ea.result.status, CODEC_OK);
        EXPECT_EQ(ea.result.length, eb.result.length);
        EXPECT_TRUE(ea.bytes == eb.bytes);
        const auto len = static_cast<std::int32_t>(src.size());
        EXPECT_TRUE(decodeInto(ea.bytes, b, len).bytes == src);
        EXPECT_TRUE(decodeInto(eb.bytes, a, len).bytes == src);
    }
}

TEST(DeltaLzw, MatchesThePlainEncoderOnEveryShapeOfSeries) {
    std::mt19937 rng(3);
    std::vector<std::function<std::uint32_t(std::size_t)>> shapes = {
        [](std::size_t) { return 42u; },
        [](std::size_t i) { return static_cast<std::uint32_t>(i * 3); },
        [](std::size_t i) { return static_cast<std::uint32_t>(0u - i * 1000u); },
        [&](std::size_t) { return static_cast<std::uint32_t>(rng()); },
        [&](std::size_t i) { return static_cast<std::uint32_t>(i / 50 * 700 + rng() % 5); },
        [](std::size_t i) { return i % 2 ? 0x80000000u : 0x7FFFFFFFu; },
    };
    for (std::size_t s = 0; s < shapes.size(); ++s) {
        for (std::size_t n : {2u, 3u, 17u, 256u, 4000u, 30000u}) {
            SCOPED_TRACE("shape " + std::to_string(s) + ", " + std::to_string(n) + " values");
            std::vector<std::uint16_t> v16(n);
            std::vector<std::uint32_t> v32(n);
            for (std::size_t i = 0; i < n; ++i) {
                v32[i] = shapes[s](i);
                v16[i] = static_cast<std::uint16_t>(v32[i]);
            }
            expectCodesLikeReference(v16);
            expectCodesLikeReference(v32);
        }
    }
}

// The first series, of increasing length, on which the reference encoder
// shows `wanted`.
template <typename Word>
std::vector<Word> findSeries(const std::function<bool(const reduct::test::ReferencePass&)>& wanted,
                             std::size_t from, std::size_t to) {
    for (std::uint32_t seed = 1; seed < 40; ++seed) {
        const auto all = randomValues<Word>(to, seed);
        for (std::size_t n = from; n < to; ++n) {
            const std::vector<Word> v(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
            reduct::test::ReferencePass pass;
            referenceStream(v, &pass);
            if (wanted(pass)) return v;
        }
    }
    return {};
}

TEST(DeltaLzw, FullDictionaryOnTheLastSymbolWritesNoClear) {
    // Random bytes fill the first dictionary after about 1,800 symbols.
    const auto v16 = findSeries<std::uint16_t>([](const auto& p) { return p.fullOnLast; }, 850, 1100);
    const auto v32 = findSeries<std::uint32_t>([](const auto& p) { return p.fullOnLast; }, 420, 560);
    ASSERT_FALSE(v16.empty());
    ASSERT_FALSE(v32.empty());
    {
        reduct::test::ReferencePass last;
        referenceStream(v16, &last);
        EXPECT_EQ(last.clears, 0);
        ASSERT_GE(last.codes.size(), 3u);
        const auto& c = last.codes;
        EXPECT_EQ(c.back().value, 257u);
        EXPECT_EQ(c.back().width, 11u);
        EXPECT_EQ(c[c.size() - 2].width, 11u);
    }
    expectCodesLikeReference(v16);
    expectCodesLikeReference(v32);

    // One value more: the symbol and the clear follow, and the codes after
    // them are 9 bits wide again.
    auto longer = v16;
    longer.push_back(static_cast<std::uint16_t>(longer.back() + 77));
    reduct::test::ReferencePass pass;
    referenceStream(longer, &pass);
    EXPECT_EQ(pass.clears, 1);
    for (std::size_t i = 2; i + 1 < pass.codes.size(); ++i) {
        if (pass.codes[i].value != 256) continue;
        EXPECT_EQ(pass.codes[i - 2].width, 11u);
        EXPECT_EQ(pass.codes[i - 1].width, 11u);
        EXPECT_EQ(pass.codes[i].width, 11u);
        EXPECT_EQ(pass.codes[i + 1].width, 9u);
    }
    expectCodesLikeReference(longer);
}

TEST(DeltaLzw, EndCodeOneBitNarrowAt512And1024StillDecodes) {
    for (unsigned target : {512u, 1024u}) {
        SCOPED_TRACE(target);
        auto wanted = [target](const reduct::test::ReferencePass& p) { return p.endNextCode == target; };
        const auto v16 = findSeries<std::uint16_t>(wanted, 100, 900);
        const auto v32 = findSeries<std::uint32_t>(wanted, 50, 450);
        ASSERT_FALSE(v16.empty());
        ASSERT_FALSE(v32.empty());
        expectCodesLikeReference(v16);
        expectCodesLikeReference(v32);
        // The decoder reads the end code one bit wider: that bit must be in
        // the stream, so even the last byte may not be cut off.
        const Bytes coded = referenceStream(v16);
        const Bytes cut(coded.begin(), coded.end() - 1);
        EXPECT_EQ(decodeInto(cut, CM_DELTA16_LZW, 1 << 16).result.status, CODEC_BAD_STREAM);
    }
}

TEST(DeltaLzw, LongRunBuildsTheLongestStringsAndDecodesThem) {
    // 1.8 million zero difference bytes: the strings grow by one symbol per
    // code until the dictionary fills, then start again.
    const std::vector<std::uint32_t> v(450000, 0xC0FFEEu);
    reduct::test::ReferencePass pass;
    const Bytes expected = referenceStream(v, &pass);
    EXPECT_EQ(pass.clears, 1);
    EXPECT_EQ(pass.longest, 1790u);
    expectCodesLikeReference(v);
    // A run of one difference that is not zero.
    std::vector<std::uint16_t> ramp(900000);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint16_t>(i * 0x0101);
    expectCodesLikeReference(ramp);
}

TEST(DeltaLzw, ManyDictionaryGenerations) {
    const auto v16 = randomValues<std::uint16_t>(200000, 9);
    reduct::test::ReferencePass pass;
    referenceStream(v16, &pass);
    EXPECT_GT(pass.clears, 150);
    expectCodesLikeReference(v16);
    expectCodesLikeReference(randomValues<std::uint32_t>(100000, 10));
}

TEST(DeltaLzw, RoundTripsBundledSamplesAndEveryLength) {
    using reduct::samples::Kind;
    for (Kind kind : {Kind::Word16, Kind::Adc12, Kind::Int32, Kind::Time}) {
        const auto sample = reduct::samples::generate(kind, 0.02);
        for (int method : {CM_DELTA16_LZW, CM_DELTA32_LZW}) {
            const std::size_t w = method == CM_DELTA16_LZW ? 2 : 4;
            Bytes src = sample.bytes;
            src.resize(src.size() / w * w);
            SCOPED_TRACE(sample.name + " with method " + std::to_string(method));
            reduct::test::expectRoundTrip(method, src);
        }
    }
    std::mt19937 rng(5);
    for (std::size_t n = 2; n < 400; n += 1 + n / 16) {
        Bytes walk16, walk32;
        auto x = static_cast<std::uint32_t>(rng());
        for (std::size_t i = 0; i < n; ++i) {
            x += static_cast<std::uint32_t>(rng() % 7) - 3u;
            const auto b = words<std::uint32_t>({x});
            walk16.insert(walk16.end(), b.begin(), b.begin() + 2);
            walk32.insert(walk32.end(), b.begin(), b.end());
        }
        reduct::test::expectRoundTrip(CM_DELTA16_LZW, walk16);
        reduct::test::expectRoundTrip(CM_DELTA32_LZW, walk32);
    }
}

TEST(DeltaLzw, RefusesSourcesThatAreNotTwoWholeValues) {
    struct Case {
        int method;
        std::size_t length;
    } cases[] = {{CM_DELTA16_LZW, 1}, {CM_DELTA16_LZW, 2}, {CM_DELTA16_LZW, 3}, {CM_DELTA16_LZW, 7},
                 {CM_DELTA32_LZW, 3}, {CM_DELTA32_LZW, 4}, {CM_DELTA32_LZW, 6}, {CM_DELTA32_LZW, 10},
                 {CM_DELTA16_LZW_2, 2}, {CM_DELTA32_LZW_2, 5}};
    for (const Case& c : cases) {
        const auto o = encodeInto(Bytes(c.length, 0x11), c.method, 64, 0xFF);
        EXPECT_EQ(o.result.status, CODEC_BAD_LENGTH) << c.method << " " << c.length;
        EXPECT_EQ(o.result.length, 0);
        EXPECT_TRUE(o.guardIntact);
    }
}

TEST(DeltaLzw, RefusesMalformedStreams) {
    using reduct::test::Code;
    auto stream = [](Bytes head, std::vector<Code> codes) { return reduct::test::referencePack(codes, head); };
    struct Case {
        const char* what;
        int method;
        Bytes coded;
    } cases[] = {
        {"header shorter than a value", CM_DELTA16_LZW, {0x34}},
        {"32-bit header shorter than a value", CM_DELTA32_LZW, {1, 2, 3}},
        {"header alone", CM_DELTA16_LZW, {0x34, 0x12}},
        {"no difference at all", CM_DELTA16_LZW, stream({1, 0}, {{256, 9}, {257, 9}})},
        {"half a difference", CM_DELTA16_LZW, stream({1, 0}, {{256, 9}, {1, 9}, {257, 9}})},
        {"three bytes of a 32-bit difference", CM_DELTA32_LZW,
         stream({1, 0, 0, 0}, {{256, 9}, {1, 9}, {0, 9}, {0, 9}, {257, 9}})},
        {"first code not the clear code", CM_DELTA16_LZW, stream({1, 0}, {{1, 9}, {0, 9}, {257, 9}})},
        {"code above the one being defined", CM_DELTA16_LZW,
         stream({1, 0}, {{256, 9}, {1, 9}, {300, 9}, {257, 9}})},
        {"bits set after the end code", CM_DELTA16_LZW,
         stream({1, 0}, {{256, 9}, {1, 9}, {0, 9}, {257, 9}, {1, 1}})},
    };
    for (const Case& c : cases) {
        const auto o = decodeInto(c.coded, c.method, 256);
        EXPECT_EQ(o.result.status, CODEC_BAD_STREAM) << c.what;
        EXPECT_EQ(o.result.length, 0) << c.what;
        EXPECT_TRUE(o.guardIntact) << c.what;
    }
    // The same stream with a clean tail decodes, and trailing bytes after
    // the coded length are ignored.
    Bytes good = stream({1, 0}, {{256, 9}, {1, 9}, {0, 9}, {257, 9}});
    EXPECT_EQ(hex(decodeInto(good, CM_DELTA16_LZW, 4).bytes), "01 00 02 00");
    good.push_back(0x5A);
    EXPECT_EQ(hex(decodeInto(good, CM_DELTA16_LZW, 4).bytes), "01 00 02 00");
}

TEST(DeltaLzw, DamagedStreamsStayInsideTheirBuffers) {
    const auto walk = reduct::samples::generate(reduct::samples::Kind::Word16, 0.0005).bytes;
    for (int method : {CM_DELTA16_LZW, CM_DELTA32_LZW}) {
        for (const Bytes& src : {words<std::uint16_t>({0x1234, 0x1235, 0x1236, 0x1237}), Bytes(walk.begin(), walk.begin() + 400)}) {
            const auto e = encodeInto(src, method, static_cast<std::int32_t>(src.size() * 2));
            ASSERT_EQ(e.result.status, CODEC_OK);
            reduct::test::expectSafeOnDamage(method, e.bytes, src, true);
        }
    }
    std::mt19937 rng(8);
    for (int i = 0; i < 3000; ++i) {
        Bytes junk(1 + rng() % 200);
        for (auto& b : junk) b = static_cast<std::uint8_t>(rng());
        if (i % 2 == 0 && junk.size() > 3) junk[2] = 0, junk[3] = static_cast<std::uint8_t>(junk[3] & 0xFE);
        const auto o = decodeInto(junk, i % 4 < 2 ? CM_DELTA16_LZW : CM_DELTA32_LZW, 1 + static_cast<std::int32_t>(rng() % 300));
        ASSERT_TRUE(o.guardIntact);
        ASSERT_TRUE(o.result.status == CODEC_OK || o.result.status == CODEC_BAD_STREAM ||
                    o.result.status == CODEC_OUTPUT_OVERFLOW);
    }
}

TEST(DeltaLzw, TooSmallDestinationsLearnTheFullLength) {
    const auto src = words(randomValues<std::uint16_t>(5000, 4));
    const auto full = encodeInto(src, CM_DELTA16_LZW, static_cast<std::int32_t>(src.size() * 2));
    ASSERT_EQ(full.result.status, CODEC_OK);
    const auto srcLen = static_cast<std::int32_t>(src.size());
    for (std::int32_t cap : {1, 2, 3, 100, full.result.length / 2, full.result.length - 1}) {
        const auto e = encodeInto(src, CM_DELTA16_LZW, cap, 0xFF);
        EXPECT_EQ(e.result.status, CODEC_OUTPUT_OVERFLOW);
        EXPECT_EQ(e.result.length, full.result.length);
        EXPECT_TRUE(e.guardIntact);
    }
    for (std::int32_t cap : {1, 2, 3, 100, srcLen / 2, srcLen - 1}) {
        const auto d = decodeInto(full.bytes, CM_DELTA16_LZW, cap);
        EXPECT_EQ(d.result.status, CODEC_OUTPUT_OVERFLOW);
        EXPECT_EQ(d.result.length, srcLen);
        EXPECT_TRUE(d.guardIntact);
    }
}

}  // namespace
