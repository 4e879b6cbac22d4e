// The exported entry points: argument checks and their order, the overflow
// rule, the result layout, the maximum delta setting, and concurrent calls.
#include <gtest/gtest.h>
#include <reduct/codec.h>
#include <reduct/codec.hpp>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "conformance.h"
#include "samples.h"

namespace {

using reduct::test::Bytes;
using reduct::test::words;

TEST(EntryChecks, RefusalsComeInOrderAndTouchNothing) {
    std::uint8_t src[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::uint8_t dst[8];
    struct Case {
        const void* src;
        std::int32_t srcLen;
        std::int32_t method;
        void* dst;
        std::int32_t dstCap;
        CodecResult want;
    } cases[] = {
        {nullptr, 8, 99, dst, 8, {CODEC_NULL_POINTER, 0}},
        {src, 8, 2, nullptr, 8, {CODEC_NULL_POINTER, 0}},
        {nullptr, 0, -1, nullptr, 0, {CODEC_NULL_POINTER, 0}},
        {src, 0, 99, dst, 8, {CODEC_BAD_LENGTH, 0}},
        {src, -5, 2, dst, 8, {CODEC_BAD_LENGTH, 0}},
        {src, 8, 2, dst, 0, {CODEC_BAD_LENGTH, 0}},
        {src, 8, 14, dst, 8, {CODEC_BAD_METHOD, 0}},
        {src, 8, -1, dst, 8, {CODEC_BAD_METHOD, 0}},
        {src, 8, std::numeric_limits<std::int32_t>::min(), dst, 8, {CODEC_BAD_METHOD, 0}},
    };
    for (const Case& c : cases) {
        std::memset(dst, 0x5A, sizeof dst);
        const CodecResult e = Encode(c.src, c.srcLen, c.method, 0, c.dst, c.dstCap);
        const CodecResult d = Decode(c.src, c.srcLen, c.method, c.dst, c.dstCap);
        for (const CodecResult& r : {e, d}) {
            EXPECT_EQ(r.status, c.want.status) << "method " << c.method << " srcLen " << c.srcLen;
            EXPECT_EQ(r.length, 0);
        }
        for (std::uint8_t b : dst) EXPECT_EQ(b, 0x5A);
    }
}

TEST(EntryChecks, OutputOfExactlyDstCapFitsAndOneMoreOverflows) {
    // Method 2, words 5 5 5 -> 4 coded bytes.
    const Bytes src = words<std::uint16_t>({5, 5, 5});
    auto fits = reduct::test::encodeInto(src, CM_WORD16_RUN, 4, 0xFF);
    EXPECT_EQ(fits.result.status, CODEC_OK);
    EXPECT_EQ(fits.result.length, 4);
    for (std::int32_t cap : {1, 2, 3}) {
        auto over = reduct::test::encodeInto(src, CM_WORD16_RUN, cap, 0xFF);
        EXPECT_EQ(over.result.status, CODEC_OUTPUT_OVERFLOW);
        EXPECT_EQ(over.result.length, 4);
        EXPECT_TRUE(over.guardIntact);
    }
}

TEST(EntryChecks, ReservedArgumentIsNotRead) {
    const Bytes src = words<std::uint16_t>({1, 2, 2, 0x9000});
    std::uint8_t a[32] = {}, b[32] = {};
    const CodecResult ra = Encode(src.data(), 8, CM_WORD16_RUN, 0, a, 32);
    const CodecResult rb = Encode(src.data(), 8, CM_WORD16_RUN, -1, b, 32);
    EXPECT_EQ(ra.status, rb.status);
    EXPECT_EQ(ra.length, rb.length);
    EXPECT_EQ(0, std::memcmp(a, b, 32));
}

TEST(EntryChecks, ResultReadAsOneInt64HasStatusLowLengthHigh) {
    // Hosts may declare the result as one 64-bit integer.
    static_assert(sizeof(CodecResult) == 8);
    using AsInt64 = std::int64_t (*)(const void*, std::int32_t, std::int32_t, std::int64_t, void*,
                                     std::int32_t);
    const Bytes src = words<std::uint16_t>({5, 5, 5});
    std::uint8_t dst[2];
    auto fn = reinterpret_cast<AsInt64>(reinterpret_cast<void (*)()>(&Encode));
    const std::int64_t v = fn(src.data(), 6, CM_WORD16_RUN, 0, dst, 2);
    EXPECT_EQ(static_cast<std::int32_t>(v & 0xFFFFFFFF), CODEC_OUTPUT_OVERFLOW);
    EXPECT_EQ(static_cast<std::int32_t>(v >> 32), 4);
}

TEST(EntryChecks, EveryMethodNumberIsDispatchedAndStaysInBounds) {
    // Every number 0..13 is dispatched; a method either codes or refuses
    // with one of the documented statuses, never crashes.
    const Bytes src(64, 1);
    for (int m = 0; m <= MAX_METHOD; ++m) {
        auto e = reduct::test::encodeInto(src, m, 1024);
        EXPECT_TRUE(e.guardIntact);
        EXPECT_GE(e.result.status, CODEC_OK);
        EXPECT_LE(e.result.status, CODEC_BAD_VALUE);
    }
}

// The maximum delta setting is process-wide, so its cases run in one test
// in a fixed order.
TEST(MaxDeltaSetting, StoresAcceptedValuesBitForBit) {
    double v = 42.0;
    EXPECT_EQ(GetMaxDeltaValue(&v), 0) << "unset at load";
    EXPECT_EQ(v, 42.0) << "untouched while unset";

    EXPECT_EQ(SetMaxDeltaValue(-0.5), 0);
    EXPECT_EQ(SetMaxDeltaValue(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(SetMaxDeltaValue(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(GetMaxDeltaValue(&v), 0) << "refusals leave it unset";

    // Coded bytes are the same before and after the setting changes.
    const Bytes src = words<std::uint16_t>({7, 7, 0x8001, 3});
    const auto before = reduct::encode(src, CM_WORD16_RUN);

    EXPECT_EQ(SetMaxDeltaValue(-0.0), 1);
    EXPECT_EQ(GetMaxDeltaValue(&v), 1);
    EXPECT_TRUE(std::signbit(v)) << "-0.0 keeps its sign";
    EXPECT_EQ(SetMaxDeltaValue(0.0), 1);
    EXPECT_EQ(GetMaxDeltaValue(&v), 1);
    EXPECT_FALSE(std::signbit(v));
    EXPECT_EQ(SetMaxDeltaValue(std::numeric_limits<double>::infinity()), 1);
    EXPECT_EQ(GetMaxDeltaValue(&v), 1);
    EXPECT_TRUE(std::isinf(v));

    EXPECT_EQ(SetMaxDeltaValue(12.5), 1);
    EXPECT_EQ(SetMaxDeltaValue(-1.0), 0);
    EXPECT_EQ(GetMaxDeltaValue(&v), 1) << "a refusal does not reset the flag";
    EXPECT_EQ(v, 12.5) << "a refusal keeps the previous value";
    EXPECT_EQ(GetMaxDeltaValue(nullptr), 1) << "a null target is not written";

    EXPECT_EQ(reduct::encode(src, CM_WORD16_RUN).bytes, before.bytes);

    // Concurrent setters of two values and readers: a reader sees one of
    // them whole, never a mixture of their bits.
    const double a = 1.0000000000000002, b = 3.0e300;
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (double x : {a, b})
        threads.emplace_back([&, x] {
            for (int i = 0; i < 200000; ++i) SetMaxDeltaValue(x);
        });
    threads.emplace_back([&] {
        while (!stop.load()) {
            double r = 0;
            if (GetMaxDeltaValue(&r) == 1 && r != a && r != b && r != 12.5) ++torn;
        }
    });
    threads[0].join();
    threads[1].join();
    stop = true;
    threads[2].join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(Concurrency, CallsOnManyThreadsGiveTheSingleThreadedBytes) {
    const auto sample = reduct::samples::generate(reduct::samples::Kind::Word16, 0.02);
    std::vector<int> methods;
    for (int m = 0; m <= MAX_METHOD; ++m) methods.push_back(m);
    std::vector<reduct::Coded> expected;
    for (int m : methods) expected.push_back(reduct::encode(sample.bytes, m));

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 6; ++round) {
                const std::size_t k = static_cast<std::size_t>(t + round) % methods.size();
                const auto coded = reduct::encode(sample.bytes, methods[k]);
                if (coded.status != expected[k].status || coded.bytes != expected[k].bytes) ++mismatches;
                if (coded) {
                    const auto back = reduct::decode(coded.bytes, methods[k]);
                    const auto again = reduct::decode(expected[k].bytes, methods[k]);
                    if (back.status != again.status || back.bytes != again.bytes) ++mismatches;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(CppLayer, SizesTheDestinationAndReportsErrors) {
    const Bytes src = words<std::uint16_t>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    const auto coded = reduct::encode(src, CM_WORD16_RUN);
    ASSERT_TRUE(coded);
    EXPECT_EQ(coded.bytes, src);  // all literals
    const auto back = reduct::decode(coded.bytes, CM_WORD16_RUN);
    ASSERT_TRUE(back);
    EXPECT_EQ(back.bytes, src);

    // A short stream that expands far beyond the first guess.
    const Bytes run = words<std::uint16_t>({0xFFFF, 9});
    const auto big = reduct::decode(run, CM_WORD16_RUN);
    ASSERT_TRUE(big);
    EXPECT_EQ(big.bytes.size(), 2u * 0x7FFF);

    EXPECT_EQ(reduct::encode({}, CM_WORD16_RUN).status, CODEC_BAD_LENGTH);
    EXPECT_EQ(reduct::encode(src, 14).status, CODEC_BAD_METHOD);
    EXPECT_EQ(reduct::statusName(CODEC_BAD_STREAM), "damaged or foreign coded stream");
}

}  // namespace
