// The wide LZW engine's parts on their own: field packing at every bit
// position, widening points on both sides, and dictionaries that forget
// their entries at each reset, also after the generation stamps wrap.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "lzw/wide_engine.h"

namespace {

using namespace reduct::wide;

TEST(WideEngine, RawFieldAtBitSevenSpansThreeBytes) {
    std::vector<std::uint8_t> buf(8, 0xEE);
    WideCodeWriter w(buf.data(), 8, 0, 7);
    w.PutRawField(4095);
    // Bits 7..18 set; the field ends at bit 3 of byte 2.
    EXPECT_EQ(w.finish(), 3);
    EXPECT_EQ(buf[0], 0x80);
    EXPECT_EQ(buf[1], 0xFF);
    EXPECT_EQ(buf[2], 0x07);
    EXPECT_EQ(buf[3], 0xEE);

    // The length is opaque to the optimiser, which otherwise warns about the
    // reader's (unreachable) eight-byte path for a three-byte source.
    volatile std::int32_t three = 3;
    WideCodeReader r(buf.data(), three, 0, 7);
    EXPECT_EQ(r.GetWideCode(12), 4095u);
    EXPECT_FALSE(r.overran());
    EXPECT_EQ(r.consumedBits(), 19);
    r.GetWideCode(9);
    EXPECT_TRUE(r.overran());
}

TEST(WideEngine, FieldsOfEveryWidthRoundTripAtEveryOffset) {
    for (unsigned start = 0; start < 8; ++start) {
        std::vector<std::uint8_t> buf(200, 0xFF);
        WideCodeWriter w(buf.data(), 200, 1, start);
        std::uint32_t total = start;
        for (unsigned i = 0; i < 100; ++i) {
            const unsigned width = 9 + i % 4;
            w.PutWideCode((i * 2654435761u) & ((1u << width) - 1), width);
            total += width;
        }
        EXPECT_EQ(w.finish(), 1 + total / 8 + 1);
        WideCodeReader r(buf.data(), 200, 1, start);
        for (unsigned i = 0; i < 100; ++i) {
            const unsigned width = 9 + i % 4;
            ASSERT_EQ(r.GetWideCode(width), (i * 2654435761u) & ((1u << width) - 1)) << start << " " << i;
        }
    }
}

TEST(WideEngine, WriterStoresNothingPastItsCapacityButCountsOn) {
    std::vector<std::uint8_t> buf(16, 0xAB);
    WideCodeWriter w(buf.data(), 5, 0, 0);
    for (int i = 0; i < 10; ++i) w.PutWideCode(0x1FF, 9);
    EXPECT_EQ(w.finish(), 90 / 8 + 1);
    for (std::size_t i = 5; i < buf.size(); ++i) EXPECT_EQ(buf[i], 0xAB) << i;
}

TEST(WideEngine, DictionaryWidensOneCodeAfterTheTable) {
    WideCodeDictionary dict;
    WideCodeTable table;
    EXPECT_EQ(dict.FindWideCode(0, 0), 0u) << "a new dictionary is empty";
    struct Point {
        std::uint32_t nextCode;
        unsigned encoderWidth, decoderWidth;
    } points[] = {{511, 9, 9},   {512, 9, 10},   {513, 10, 10},  {1023, 10, 10}, {1024, 10, 11},
                  {1025, 11, 11}, {2047, 11, 11}, {2048, 11, 12}, {2049, 12, 12}, {4096, 12, 12},
                  {4097, 12, 12}};
    std::size_t p = 0;
    for (std::uint32_t code = 258; code < 4097; ++code) {
        dict.AddWideCode(code - 1, 7);
        table.AddWideEntry(0, 2, 0);
        if (p < std::size(points) && dict.nextCode() == points[p].nextCode) {
            EXPECT_EQ(dict.codeWidth(), points[p].encoderWidth) << dict.nextCode();
            EXPECT_EQ(table.codeWidth(), points[p].decoderWidth) << table.nextCode();
            ++p;
        }
    }
    EXPECT_EQ(p, std::size(points));
    EXPECT_FALSE(table.hasRoomFor(1));
}

TEST(WideEngine, ResetForgetsEveryEntryAcrossManyGenerations) {
    WideCodeDictionary dict;
    for (int generation = 0; generation < 300; ++generation) {
        dict.ResetWideDictionary();
        EXPECT_EQ(dict.nextCode(), 258u);
        EXPECT_EQ(dict.codeWidth(), 9u);
        // Entries of the previous generation are gone, whatever the stamp.
        EXPECT_EQ(dict.FindWideCode(5, 6), 0u) << generation;
        EXPECT_EQ(dict.FindWideCode(ESCAPE_PREFIX, 300), 0u) << generation;
        const std::uint32_t count = generation % 3 == 0 ? 3838 : 40;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (i == 0) dict.AddWideCode(ESCAPE_PREFIX, 300);
            else if (i == 1) dict.AddWideCode(5, 6);
            else dict.AddWideCode(i % 4096, (i * 7) % 4096);
        }
        EXPECT_EQ(dict.FindWideCode(ESCAPE_PREFIX, 300), 258u);
        EXPECT_EQ(dict.FindWideCode(5, 6), 259u);
        // The escape key and the string key with the same low bits differ.
        EXPECT_EQ(dict.FindWideCode(0, 300), 0u);
    }
}

}  // namespace
