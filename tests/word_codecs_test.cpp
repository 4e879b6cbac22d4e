// Delta runs of 32-bit integers (method 1), regular timestamps (method 0) and
// bit-packed flags (method 5).
#include <gtest/gtest.h>
#include <reduct/codec.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "conformance.h"
#include "samples.h"

namespace {

using reduct::test::Bytes;
using reduct::test::call;
using reduct::test::decodeInto;
using reduct::test::encodeInto;
using reduct::test::expectExample;
using reduct::test::expectRoundTrip;
using reduct::test::expectSafeOnDamage;
using reduct::test::hex;
using reduct::test::Outcome;
using reduct::test::words;

struct Stamp {
    std::uint32_t seconds;
    std::uint16_t ms;
};

Bytes stamps(const std::vector<Stamp>& list) {
    Bytes out;
    for (const Stamp& t : list) {
        std::uint8_t b[6];
        std::memcpy(b, &t.seconds, 4);
        std::memcpy(b + 4, &t.ms, 2);
        out.insert(out.end(), b, b + 6);
    }
    return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes w32(std::initializer_list<std::uint32_t> values) { return words(std::vector<std::uint32_t>(values)); }

Bytes u32(std::uint32_t v) {
    Bytes out(4);
    std::memcpy(out.data(), &v, 4);
    return out;
}

Bytes regularHeader(std::uint32_t s, std::uint16_t ms, std::uint16_t interval, std::uint32_t count) {
    Bytes out(12);
    std::memcpy(out.data(), &s, 4);
    std::memcpy(out.data() + 4, &ms, 2);
    std::memcpy(out.data() + 6, &interval, 2);
    std::memcpy(out.data() + 8, &count, 4);
    return out;
}

struct Example {
    const char* what;
    int method;
    Bytes source;
    Bytes coded;
    Bytes decoded;
};

TEST(WordCodecs, CodeEveryDocumentedExampleExactly) {
    const std::vector<Example> examples = {
        // Method 1: first value, then literal, escaped and run differences.
        {"one value", 1, u32(0x12345678), u32(0x12345678), u32(0x12345678)},
        {"three equal values", 1, w32({100, 100, 100}),
         cat({u32(100), u32(0x80000002u), u32(0)}), w32({100, 100, 100})},
        {"constant step of one", 1, w32({10, 11, 12, 13}),
         cat({u32(10), u32(0x80000003u), u32(1)}), w32({10, 11, 12, 13})},
        {"one literal difference", 1, w32({10, 11}), cat({u32(10), u32(1)}),
         w32({10, 11})},
        {"a step of -1 is escaped", 1, w32({5, 4}),
         cat({u32(5), u32(0x80000001u), u32(0xFFFFFFFFu)}), w32({5, 4})},
        {"difference 0x80000000 is a literal", 1, w32({0, 0x80000000u}),
         cat({u32(0), u32(0x80000000u)}), w32({0, 0x80000000u})},
        {"run, then escape", 1, w32({1, 3, 5, 4}),
         cat({u32(1), u32(0x80000002u), u32(2), u32(0x80000001u), u32(0xFFFFFFFFu)}),
         w32({1, 3, 5, 4})},
        {"difference wraps modulo 2^32", 1, w32({0x7FFFFFFFu, 0x80000000u}),
         cat({u32(0x7FFFFFFFu), u32(1)}), w32({0x7FFFFFFFu, 0x80000000u})},

        // Method 0: first stamp, interval, count.
        {"half-second series", 0, stamps({{100, 0}, {100, 500}, {101, 0}}), regularHeader(100, 0, 500, 3),
         stamps({{100, 0}, {100, 500}, {101, 0}})},
        {"milliseconds carry a second", 0, stamps({{10, 900}, {11, 400}}), regularHeader(10, 900, 500, 2),
         stamps({{10, 900}, {11, 400}})},
        {"millisecond sum of exactly 1000", 0, stamps({{3, 750}, {4, 0}, {4, 250}}),
         regularHeader(3, 750, 250, 3), stamps({{3, 750}, {4, 0}, {4, 250}})},
        {"two equal stamps", 0, stamps({{7, 7}, {7, 7}}), regularHeader(7, 7, 0, 2),
         stamps({{7, 7}, {7, 7}})},
        {"one record", 0, stamps({{0xFFFFFFFFu, 123}}), regularHeader(0xFFFFFFFFu, 123, 0, 1),
         stamps({{0xFFFFFFFFu, 123}})},
        {"interval beyond 16 bits", 0, stamps({{0, 0}, {70, 0}}), regularHeader(0, 0, 4464, 2),
         stamps({{0, 0}, {4, 464}})},
        {"first milliseconds of 1000 or more stay; later ones are brought below 1000", 0,
         stamps({{5, 1500}, {6, 600}, {6, 700}}), regularHeader(5, 1500, 100, 3),
         stamps({{5, 1500}, {6, 600}, {6, 700}})},

        // Method 5: one bit per flag, top bit first, then the count byte.
        {"eight flags", 5, {0x01, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x05}, {0xA1, 0x08},
         {0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01}},
        {"one zero flag", 5, {0x00}, {0x00, 0x01}, {0x00}},
        {"nine set flags", 5, Bytes(9, 0x33), {0xFF, 0x80, 0x01}, Bytes(9, 0x01)},
        {"three flags", 5, {0x07, 0x00, 0x02}, {0xA0, 0x03}, {0x01, 0x00, 0x01}},
        {"sixteen zero flags", 5, Bytes(16, 0x00), {0x00, 0x00, 0x08}, Bytes(16, 0x00)},
        {"any non-zero byte is a set flag", 5, {0x7F, 0x80, 0xFF}, {0xE0, 0x03}, {0x01, 0x01, 0x01}},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.what);
        expectExample(e.method, e.source, e.coded, e.decoded);
    }
}

struct Refusal {
    const char* what;
    bool encode;
    int method;
    Bytes src;
    int status;
};

TEST(WordCodecs, RefuseSourcesAndStreamsTheyCannotTake) {
    const Bytes ordered13 = cat({stamps({{5, 0}, {5, 1}}), Bytes{0}});
    const Bytes reversed13 = cat({stamps({{5, 1}, {5, 0}}), Bytes{0}});
    Bytes reversed11 = stamps({{9, 0}, {1, 0}});
    reversed11.pop_back();
    const std::vector<Refusal> refusals = {
        {"delta run: 6 bytes", true, 1, Bytes(6, 1), CODEC_BAD_LENGTH},
        {"delta run: 3 bytes", true, 1, Bytes(3, 1), CODEC_BAD_LENGTH},
        {"delta run: 9 bytes", true, 1, Bytes(9, 1), CODEC_BAD_LENGTH},
        {"delta run stream: 3 bytes", false, 1, Bytes(3, 1), CODEC_BAD_STREAM},
        {"delta run stream: 6 bytes", false, 1, Bytes(6, 1), CODEC_BAD_STREAM},
        {"delta run stream: marker without difference", false, 1, w32({1, 0x80000002u}),
         CODEC_BAD_STREAM},
        {"delta run stream: escape without difference", false, 1,
         w32({1, 2, 0x80000001u}), CODEC_BAD_STREAM},
        {"delta run stream: one full marker expands past 2^31 bytes", false, 1,
         w32({1, 0xFFFFFFFFu, 1}), CODEC_BAD_STREAM},
        {"delta run stream: 2^31 bytes exactly", false, 1, w32({1, 0x9FFFFFFFu, 1}),
         CODEC_BAD_STREAM},
        {"delta run stream: many markers expand past 2^31 bytes", false, 1,
         w32({1, 0xC0000000u, 1, 0xC0000000u, 1, 0xC0000000u, 1}), CODEC_BAD_STREAM},

        {"time: second stamp a millisecond earlier", true, 0, stamps({{5, 0}, {4, 999}}), CODEC_TIME_ORDER},
        {"time: same second, fewer milliseconds", true, 0, stamps({{5, 500}, {5, 400}}), CODEC_TIME_ORDER},
        {"time: later records are not tested", true, 0, stamps({{5, 0}, {6, 0}, {1, 0}}), CODEC_OK},
        {"time: 13 bytes, ordered", true, 0, ordered13, CODEC_BAD_LENGTH},
        {"time: 13 bytes, reversed: time order comes first", true, 0, reversed13, CODEC_TIME_ORDER},
        {"time: 1 byte", true, 0, Bytes(1, 0), CODEC_BAD_LENGTH},
        {"time: 5 bytes", true, 0, Bytes(5, 0), CODEC_BAD_LENGTH},
        {"time: 7 bytes", true, 0, Bytes(7, 0), CODEC_BAD_LENGTH},
        {"time: 11 bytes with a reversed partial pair", true, 0, reversed11, CODEC_BAD_LENGTH},
        {"time stream: 11 bytes", false, 0, Bytes(11, 1), CODEC_BAD_STREAM},
        {"time stream: 13 bytes", false, 0, Bytes(13, 1), CODEC_BAD_STREAM},
        {"time stream: 1 byte", false, 0, Bytes(1, 1), CODEC_BAD_STREAM},
        {"time stream: count 0", false, 0, regularHeader(1, 0, 1000, 0), CODEC_BAD_STREAM},
        {"time stream: 6 x count past 2^31 - 1", false, 0, regularHeader(1, 0, 1000, 0x15555556u),
         CODEC_BAD_STREAM},
        {"time stream: largest count", false, 0, regularHeader(1, 0, 1000, 0xFFFFFFFFu), CODEC_BAD_STREAM},

        {"flag stream: 1 byte", false, 5, Bytes{8}, CODEC_BAD_STREAM},
        {"flag stream: count byte 0", false, 5, Bytes{0xFF, 0}, CODEC_BAD_STREAM},
        {"flag stream: count byte 9", false, 5, Bytes{0xFF, 0xFF, 9}, CODEC_BAD_STREAM},
        {"flag stream: count byte 255", false, 5, Bytes{0xFF, 0xFF}, CODEC_BAD_STREAM},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        for (std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
            Outcome o = call(r.encode, r.src, r.method, 64, fill);
            EXPECT_EQ(o.result.status, r.status);
            if (r.status != CODEC_OK) {
                EXPECT_EQ(o.result.length, 0);
            }
            EXPECT_TRUE(o.guardIntact);
        }
    }
}

TEST(WordCodecs, TimeHeaderReportsOverflowBelowTwelveBytes) {
    const Bytes src = stamps({{100, 0}, {101, 0}, {102, 0}});
    for (std::int32_t cap : {1, 6, 11}) {
        Outcome o = encodeInto(src, 0, cap, 0xFF);
        EXPECT_EQ(o.result.status, CODEC_OUTPUT_OVERFLOW);
        EXPECT_EQ(o.result.length, 12);
        EXPECT_TRUE(o.guardIntact);
    }
}

// A decoder that cannot store its output still reports the exact length, and
// writes nothing past the destination, even for lengths near 2^31.
TEST(WordCodecs, HugeDecodedLengthsAreCountedNotWritten) {
    struct Case {
        const char* what;
        int method;
        Bytes coded;
        std::int32_t length;
    } cases[] = {
        {"delta run marker of 2^29 - 2 values", 1, w32({1, 0x9FFFFFFEu, 3}), 2147483644},
        {"delta run markers summing to just below 2^31", 1,
         w32({1, 0x8FFFFFFFu, 3, 0x8FFFFFFEu, 5, 7}), 2147483644},
        {"time count of 357913941", 0, regularHeader(1, 0, 1000, 357913941u), 2147483646},
        {"flags of four packed bytes", 5, Bytes{0, 0, 0, 0, 8}, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (std::int32_t cap : {1, 7, 64}) {
            Outcome o = decodeInto(c.coded, c.method, cap);
            EXPECT_EQ(o.result.status, c.length > cap ? CODEC_OUTPUT_OVERFLOW : CODEC_OK);
            EXPECT_EQ(o.result.length, c.length);
            EXPECT_TRUE(o.guardIntact);
        }
    }

    // The stored part of an overflowing run holds the running values.
    Bytes dst(64 + reduct::test::GUARD, 0xA5);
    const Bytes coded = w32({0xFFFFFFF0u, 0x9FFFFFFEu, 3});
    const CodecResult r = Decode(coded.data(), 12, CM_INT32_DELTA_RUN, dst.data(), 64);
    EXPECT_EQ(r.status, CODEC_OUTPUT_OVERFLOW);
    EXPECT_EQ(r.length, 2147483644);
    for (std::uint32_t k = 0; k < 16; ++k) {
        std::uint32_t v;
        std::memcpy(&v, dst.data() + 4 * k, 4);
        EXPECT_EQ(v, 0xFFFFFFF0u + 3u * k) << "value " << k;
    }
    for (std::size_t i = 64; i < dst.size(); ++i) EXPECT_EQ(dst[i], 0xA5);
}

TEST(WordCodecs, DeltaRunsRoundTripEveryShapeOfCounter) {
    using reduct::samples::Kind;
    for (Kind k : {Kind::Int32, Kind::Float32, Kind::Float64}) {
        const auto s = reduct::samples::generate(k, 0.01);
        expectRoundTrip(1, s.bytes);
    }

    std::mt19937 rng(1211);
    std::vector<std::vector<std::uint32_t>> series(6);
    for (std::uint32_t i = 0; i < 20000; ++i) {
        series[0].push_back(7 * i + 3);                                   // constant step
        series[1].push_back(0xFFFFF000u + 16u * i);                       // wraps through 2^32
        series[2].push_back(1000000u - (i % 7) * i);                      // negative steps: escapes
        series[3].push_back(i % 2 == 0 ? 0u : 0x80000000u);               // 0x80000000 literals
        series[4].push_back(static_cast<std::uint32_t>(rng()));           // noise
        series[5].push_back(i / 3 + (i % 5 == 0 ? 0x7FFFFFFFu : 0u));     // marker-range steps
    }
    for (const auto& s : series) expectRoundTrip(1, words(s));

    // A constant step codes to 12 bytes, and over the wrap as well.
    for (std::size_t i : {std::size_t{0}, std::size_t{1}}) {
        Outcome o = encodeInto(words(series[i]), 1, 64, 0xFF);
        EXPECT_EQ(o.result.status, CODEC_OK);
        EXPECT_EQ(o.result.length, 12);
    }
}

// Records k >= 1 follow the first by adding the interval to the milliseconds
// in 16 bits and carrying whole seconds.
std::vector<Stamp> regularModel(Stamp first, std::uint16_t interval, std::uint32_t count) {
    std::vector<Stamp> out{first};
    Stamp t = first;
    for (std::uint32_t k = 1; k < count; ++k) {
        const auto sum = static_cast<std::uint16_t>(t.ms + interval);
        t.seconds += sum / 1000u;
        t.ms = static_cast<std::uint16_t>(sum % 1000u);
        out.push_back(t);
    }
    return out;
}

TEST(WordCodecs, RegularTimeFollowsTheSteppingRule) {
    const std::uint16_t intervals[] = {0, 1, 250, 999, 1000, 1001, 1750, 60000, 64536, 64537, 65000, 65535};
    const Stamp firsts[] = {{0, 0}, {100, 1}, {0xFFFFFF00u, 999}, {7, 1000}, {7, 65535}};
    for (std::uint16_t interval : intervals) {
        for (Stamp first : firsts) {
            SCOPED_TRACE("interval " + std::to_string(interval) + ", first ms " + std::to_string(first.ms));
            const Bytes expected = stamps(regularModel(first, interval, 3000));
            Outcome o = decodeInto(regularHeader(first.seconds, first.ms, interval, 3000), 0,
                                   static_cast<std::int32_t>(expected.size()));
            ASSERT_EQ(o.result.status, CODEC_OK);
            EXPECT_TRUE(o.bytes == expected);
            EXPECT_TRUE(o.guardIntact);
        }
    }
}

TEST(WordCodecs, RegularTimeRoundTripsRegularSeriesAndFlattensIrregularOnes) {
    const auto sample = reduct::samples::generate(reduct::samples::Kind::Time, 0.05);
    expectRoundTrip(0, sample.bytes);

    // A day of 1 s stamps, and series with millisecond carries.
    expectRoundTrip(0, stamps(regularModel({1796947200u, 0}, 1000, 86400)));
    expectRoundTrip(0, stamps(regularModel({50, 999}, 1750, 5000)));
    expectRoundTrip(0, stamps(regularModel({50, 0}, 333, 5000)));

    // Jittered records after the second code as their regular twin.
    const std::vector<Stamp> regular = regularModel({1000, 900}, 250, 1000);
    std::vector<Stamp> irregular = regular;
    for (std::size_t i = 2; i < irregular.size(); ++i) {
        irregular[i].ms = static_cast<std::uint16_t>((irregular[i].ms + i * 37) % 1000);
        irregular[i].seconds -= static_cast<std::uint32_t>(i % 3);
    }
    Outcome a = encodeInto(stamps(regular), 0, 12, 0xFF);
    Outcome b = encodeInto(stamps(irregular), 0, 12, 0x00);
    ASSERT_EQ(b.result.status, CODEC_OK);
    EXPECT_EQ(hex(a.bytes), hex(b.bytes));
    Outcome back = decodeInto(b.bytes, 0, static_cast<std::int32_t>(regular.size() * 6));
    EXPECT_TRUE(back.bytes == stamps(regular));
}

Bytes flagsOf(const Bytes& src) {
    Bytes out(src.size());
    for (std::size_t i = 0; i < src.size(); ++i) out[i] = src[i] != 0 ? 1 : 0;
    return out;
}

// Bit by bit, as the format describes it.
Bytes packModel(const Bytes& src) {
    Bytes out((src.size() + 7) / 8 + 1, 0);
    for (std::size_t i = 0; i < src.size(); ++i)
        if (src[i] != 0) out[i / 8] = static_cast<std::uint8_t>(out[i / 8] | (0x80u >> (i % 8)));
    out.back() = static_cast<std::uint8_t>(src.size() % 8 == 0 ? 8 : src.size() % 8);
    return out;
}

TEST(WordCodecs, BitPackMatchesTheBitByBitLayoutForEveryLength) {
    std::mt19937 rng(5u);
    for (std::size_t n = 1; n <= 300; ++n) {
        SCOPED_TRACE("length " + std::to_string(n));
        Bytes src(n);
        for (auto& b : src) {
            const auto r = static_cast<std::uint32_t>(rng() % 6);
            b = static_cast<std::uint8_t>(r < 3 ? 0u : r == 3 ? 0x80u : r == 4 ? 0x7Fu : static_cast<std::uint32_t>(rng()) | 1u);
        }
        const Bytes coded = packModel(src);
        const auto len = static_cast<std::int32_t>(coded.size());
        for (std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
            Outcome o = encodeInto(src, 5, len, fill);
            ASSERT_EQ(o.result.status, CODEC_OK);
            ASSERT_EQ(hex(o.bytes), hex(coded));
            ASSERT_TRUE(o.guardIntact);
        }
        Outcome over = encodeInto(src, 5, len - 1, 0xFF);
        EXPECT_EQ(over.result.status, CODEC_OUTPUT_OVERFLOW);
        EXPECT_EQ(over.result.length, len);
        EXPECT_TRUE(over.guardIntact);

        Outcome d = decodeInto(coded, 5, static_cast<std::int32_t>(n));
        ASSERT_EQ(d.result.status, CODEC_OK);
        EXPECT_TRUE(d.bytes == flagsOf(src));
        EXPECT_TRUE(d.guardIntact);
    }
    // A two-byte stream decodes to as many flags as its count byte says.
    for (std::uint8_t c = 1; c <= 8; ++c) {
        Outcome d = decodeInto({0xB5, c}, 5, 8);
        ASSERT_EQ(d.result.status, CODEC_OK);
        const Bytes all = {1, 0, 1, 1, 0, 1, 0, 1};
        EXPECT_EQ(hex(d.bytes), hex(Bytes(all.begin(), all.begin() + c)));
    }
}

TEST(WordCodecs, BitPackKeepsWhetherEachSampleFlagIsSet) {
    const auto sample = reduct::samples::generate(reduct::samples::Kind::Flags, 0.05);
    const Bytes& src = sample.bytes;
    const auto cap = static_cast<std::int32_t>(src.size() / 8 + 2);
    Outcome zero = encodeInto(src, 5, cap, 0x00);
    Outcome ones = encodeInto(src, 5, cap, 0xFF);
    ASSERT_EQ(ones.result.status, CODEC_OK);
    EXPECT_TRUE(zero.bytes == ones.bytes);
    EXPECT_TRUE(ones.bytes == packModel(src));
    Outcome d = decodeInto(ones.bytes, 5, static_cast<std::int32_t>(src.size()));
    ASSERT_EQ(d.result.status, CODEC_OK);
    EXPECT_TRUE(d.bytes == flagsOf(src));
}

TEST(WordCodecs, DamagedStreamsStayInsideTheBuffers) {
    const Bytes counters = w32({1, 3, 5, 7, 6, 6, 0x80000000u, 9, 9, 9, 2});
    Outcome c1 = encodeInto(counters, 1, 256);
    ASSERT_EQ(c1.result.status, CODEC_OK);
    expectSafeOnDamage(1, c1.bytes, counters, false);

    const Bytes times = stamps(regularModel({100, 900}, 1500, 40));
    Outcome c0 = encodeInto(times, 0, 12);
    ASSERT_EQ(c0.result.status, CODEC_OK);
    expectSafeOnDamage(0, c0.bytes, times, true);

    const Bytes flags = {1, 0, 0, 3, 0, 0, 0, 0, 9, 9, 0, 0, 0, 0, 0, 0, 0, 1, 1};
    Outcome c5 = encodeInto(flags, 5, 64);
    ASSERT_EQ(c5.result.status, CODEC_OK);
    expectSafeOnDamage(5, c5.bytes, flagsOf(flags), false);
}

}  // namespace
