// The LZW engine on its own: code streams of each alphabet, two passes in one
// bit stream, a code stream that starts at a bit offset, and damaged streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "conformance.h"
#include "lzw/lzw_core.h"
#include "lzw_reference.h"

namespace {

using reduct::lzw::Alphabet;
using reduct::lzw::BitReader;
using reduct::lzw::BitWriter;
using reduct::lzw::CodeDictionary;
using reduct::lzw::CodeTable;
using reduct::test::Bytes;
using reduct::test::Code;
using reduct::test::hex;
using reduct::test::ReferenceAlphabet;

// Hands out the symbols in blocks of 1, 2, 3, ... 61 symbols in turn, so
// that block ends fall at every point of a string, a miss and a clear.
template <Alphabet A>
struct Symbols {
    static constexpr Alphabet ALPHABET = A;
    using Symbol = reduct::lzw::SymbolOf<A>;
    explicit Symbols(const std::vector<unsigned>* s) : symbols(s) {}
    const std::vector<unsigned>* symbols;
    std::size_t at = 0;
    std::size_t size = 0;
    std::vector<Symbol> block;
    const Symbol* NextBlock() {
        size = std::min(block.size() % 61 + 1, symbols->size() - at);
        block.assign(symbols->begin() + static_cast<std::ptrdiff_t>(at),
                     symbols->begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
        return block.data();
    }
    std::size_t blockSize() const { return size; }
    bool moreInput() const { return at < symbols->size(); }
};

template <Alphabet A>
struct Collect {
    static constexpr Alphabet ALPHABET = A;
    std::vector<unsigned> symbols;
    void PutSymbol(unsigned s) { symbols.push_back(s); }
};

ReferenceAlphabet referenceOf(Alphabet a) {
    return a == Alphabet::BYTE_SYMBOLS   ? reduct::test::REF_BYTES
           : a == Alphabet::BYTE_SYMBOLS_2 ? reduct::test::REF_BYTES_2
                                           : reduct::test::REF_WIDE;
}

// One pass into a destination filled with 0xFF; returns the coded bytes.
template <Alphabet A, typename Dictionary>
Bytes encodePassWith(const std::vector<unsigned>& symbols) {
    Bytes dst(symbols.size() * 2 + 16, 0xFF);
    BitWriter out(dst.data(), static_cast<std::int32_t>(dst.size()));
    Symbols<A> model{&symbols};
    auto dictionary = std::make_unique<Dictionary>();
    reduct::lzw::EncodeDriver(model, out, *dictionary);
    dst.resize(static_cast<std::size_t>(out.finish()));
    return dst;
}

// The hashed dictionary's stream; for byte symbols the direct table must
// give the very same bytes.
template <Alphabet A>
Bytes encodePass(const std::vector<unsigned>& symbols) {
    Bytes coded = encodePassWith<A, CodeDictionary>(symbols);
    if constexpr (A != Alphabet::WIDE_SYMBOLS) {
        EXPECT_EQ((encodePassWith<A, reduct::lzw::DirectDictionary>(symbols)), coded);
    }
    return coded;
}

template <Alphabet A>
int decodePass(const Bytes& coded, std::vector<unsigned>& symbols) {
    BitReader in(coded.data(), static_cast<std::int32_t>(coded.size()));
    Collect<A> sink;
    CodeTable<reduct::lzw::SymbolOf<A>> table;
    const int status = reduct::lzw::DecodeDriver(in, sink, table);
    symbols = sink.symbols;
    if (status == CODEC_OK && !in.endCovered()) return CODEC_BAD_STREAM;
    return status;
}

// Packs codes with the widths the decoder expects: it defines an entry for
// every data code but the first after a clear, and widens at 512 and 1024.
Bytes packAsDecoderReads(const std::vector<unsigned>& codes, ReferenceAlphabet a) {
    std::vector<Code> out;
    unsigned nextCode = a.first, width = a.width;
    bool defined = false;
    for (unsigned c : codes) {
        out.push_back({c, width});
        if (c == a.clear) {
            nextCode = a.first;
            width = a.width;
            defined = false;
        } else if (c != a.end) {
            if (defined) {
                ++nextCode;
                if (nextCode == 512 || nextCode == 1024) ++width;
            }
            defined = true;
        }
    }
    return reduct::test::referencePack(out);
}

TEST(LzwCore, StringsDefinedLongAgoComeBackWhole) {
    // Pairs defined at the start of a dictionary, used again after a run
    // long enough that their first appearance is far behind.
    std::vector<unsigned> symbols{1, 2, 3, 4, 5, 6};
    symbols.insert(symbols.end(), 40000, 7);
    for (int i = 0; i < 3; ++i) symbols.insert(symbols.end(), {1, 2, 3, 4, 5, 6});
    const Bytes coded = encodePass<Alphabet::BYTE_SYMBOLS>(symbols);
    std::vector<unsigned> back;
    ASSERT_EQ(decodePass<Alphabet::BYTE_SYMBOLS>(coded, back), CODEC_OK);
    EXPECT_TRUE(back == symbols);
    const Bytes wide = encodePass<Alphabet::WIDE_SYMBOLS>(symbols);
    ASSERT_EQ(decodePass<Alphabet::WIDE_SYMBOLS>(wide, back), CODEC_OK);
    EXPECT_TRUE(back == symbols);
}

TEST(LzwCore, CodesFourEqualSymbolsAsTheKnownExample) {
    const std::vector<unsigned> symbols(4, 0x41);
    const Bytes coded = encodePass<Alphabet::BYTE_SYMBOLS>(symbols);
    EXPECT_EQ(hex(coded), "00 83 08 0C 12 10");  // 256, 65, 258, 65, 257
    std::vector<unsigned> back;
    EXPECT_EQ(decodePass<Alphabet::BYTE_SYMBOLS>(coded, back), CODEC_OK);
    EXPECT_EQ(back, symbols);

    // A single symbol: clear, the symbol, end.
    const Bytes one = encodePass<Alphabet::BYTE_SYMBOLS>({7});
    EXPECT_EQ(hex(one), hex(reduct::test::referencePack({{256, 9}, {7, 9}, {257, 9}})));
}

template <Alphabet A>
void expectMatchesReference(const std::vector<unsigned>& symbols, const char* what) {
    SCOPED_TRACE(what);
    const auto ref = reduct::test::referenceCodes(symbols, referenceOf(A));
    const Bytes coded = encodePass<A>(symbols);
    ASSERT_EQ(coded, reduct::test::referencePack(ref.codes));
    std::vector<unsigned> back;
    ASSERT_EQ(decodePass<A>(coded, back), CODEC_OK);
    ASSERT_TRUE(back == symbols);
}

TEST(LzwCore, EveryAlphabetMatchesThePlainEncoderAndDecodesBack) {
    std::mt19937 rng(7);
    for (std::size_t n : {1u, 2u, 3u, 10u, 500u, 5000u, 60000u}) {
        std::vector<unsigned> bytes(n), small(n), wide(n), run(n, 3);
        for (std::size_t i = 0; i < n; ++i) {
            bytes[i] = static_cast<unsigned>(rng() & 0xFFu);
            small[i] = static_cast<unsigned>(rng() % 3u);
            wide[i] = static_cast<unsigned>(rng() & 0x1FFu);
        }
        expectMatchesReference<Alphabet::BYTE_SYMBOLS>(bytes, "random bytes");
        expectMatchesReference<Alphabet::BYTE_SYMBOLS>(small, "three symbols");
        expectMatchesReference<Alphabet::BYTE_SYMBOLS_2>(bytes, "random bytes, second alphabet");
        expectMatchesReference<Alphabet::BYTE_SYMBOLS_2>(run, "one symbol, second alphabet");
        expectMatchesReference<Alphabet::WIDE_SYMBOLS>(wide, "random 9-bit symbols");
        expectMatchesReference<Alphabet::WIDE_SYMBOLS>(small, "three 9-bit symbols");
    }
}

TEST(LzwCore, DirectTableWalkMatchesThePlainEncoderAtItsEdges) {
    // encodePass checks the direct table's stream against the hashed
    // dictionary's, and expectMatchesReference that one against the plain
    // encoder.
    std::mt19937 rng(5);
    auto randomBytes = [&](std::size_t n) {
        std::vector<unsigned> v(n);
        for (auto& s : v) s = static_cast<unsigned>(rng() & 0xFFu);
        return v;
    };

    // Stretches that barely repeat between stretches of long strings: the
    // walk changes its step from chunk to chunk, across dictionary clears.
    std::vector<unsigned> mixed;
    for (unsigned round = 0; round < 4; ++round) {
        const std::vector<unsigned> noise = randomBytes(9000);
        mixed.insert(mixed.end(), noise.begin(), noise.end());
        for (unsigned i = 0; i < 15000; ++i) mixed.push_back((i / 7 + round) % 5);
    }
    expectMatchesReference<Alphabet::BYTE_SYMBOLS>(mixed, "noise and long strings in turn");

    // Passes whose end code is written at 512 and 1024 codes (one bit
    // narrower than the decoder reads it), and one whose dictionary fills
    // on its last symbol (no clear follows).
    const std::vector<unsigned> all = randomBytes(8000);
    for (unsigned target : {512u, 1024u, 2048u}) {
        std::size_t n = 2;
        while (n < all.size()) {
            const std::vector<unsigned> head(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
            const auto pass = reduct::test::referenceCodes(head, reduct::test::REF_BYTES);
            if (target == 2048 ? pass.fullOnLast : pass.endNextCode == target) break;
            ++n;
        }
        ASSERT_LT(n, all.size()) << target;
        const std::vector<unsigned> head(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
        expectMatchesReference<Alphabet::BYTE_SYMBOLS>(head, "ends at a width change or a full dictionary");
    }
}

// Two passes back to back in one bit stream: a 4-byte header, high bytes in
// the first alphabet, low bytes in the second.
template <typename Dictionary>
Bytes encodePlanesWith(const std::vector<unsigned>& high, const std::vector<unsigned>& low,
                       std::uint8_t header) {
    Bytes dst(high.size() * 4 + 32, 0xFF);
    BitWriter out(dst.data(), static_cast<std::int32_t>(dst.size()));
    const std::uint8_t h[4] = {header, 0, 0, 0};
    out.putBytes(h, 4);
    auto dictionary = std::make_unique<Dictionary>();
    Symbols<Alphabet::BYTE_SYMBOLS> first{&high};
    reduct::lzw::EncodeDriver(first, out, *dictionary);
    Symbols<Alphabet::BYTE_SYMBOLS_2> second{&low};
    reduct::lzw::EncodeDriver(second, out, *dictionary);
    dst.resize(static_cast<std::size_t>(out.finish()));
    return dst;
}

// Both dictionaries, which must agree: a code of the wrong width in the
// first pass would show in where the second one starts.
Bytes encodePlanes(const std::vector<unsigned>& high, const std::vector<unsigned>& low,
                   std::uint8_t header) {
    Bytes coded = encodePlanesWith<CodeDictionary>(high, low, header);
    EXPECT_EQ(encodePlanesWith<reduct::lzw::DirectDictionary>(high, low, header), coded);
    return coded;
}

int decodePlanes(const Bytes& coded, std::vector<unsigned>& high, std::vector<unsigned>& low) {
    BitReader in(coded.data(), static_cast<std::int32_t>(coded.size()), 32);
    Collect<Alphabet::BYTE_SYMBOLS> first;
    CodeTable<std::uint8_t> table;  // serves both passes
    if (reduct::lzw::DecodeDriver(in, first, table) != CODEC_OK) return CODEC_BAD_STREAM;
    Collect<Alphabet::BYTE_SYMBOLS_2> second;
    if (reduct::lzw::DecodeDriver(in, second, table) != CODEC_OK) return CODEC_BAD_STREAM;
    if (!in.endCovered()) return CODEC_BAD_STREAM;
    high = first.symbols;
    low = second.symbols;
    return CODEC_OK;
}

TEST(LzwCore, TwoPassesShareOneBitStream) {
    const Bytes three = encodePlanes({0x12, 0x12, 0x12}, {0x34, 0x35, 0x36}, 6);
    EXPECT_EQ(hex(three), "06 00 00 00 00 25 08 0C 28 90 46 0D 1B 03 01");
    const Bytes one = encodePlanes({0xAB}, {0xCD}, 2);
    EXPECT_EQ(hex(one), "02 00 00 00 00 57 05 14 D8 6C 20");
    std::vector<unsigned> high, low;
    ASSERT_EQ(decodePlanes(three, high, low), CODEC_OK);
    EXPECT_EQ(high, (std::vector<unsigned>{0x12, 0x12, 0x12}));
    EXPECT_EQ(low, (std::vector<unsigned>{0x34, 0x35, 0x36}));
}

TEST(LzwCore, FirstPassEndingOneBitNarrowLeavesTheSecondPassAligned) {
    // Random first planes cut where the first pass's end code is written
    // at 512 and at 1024 codes, one bit narrower than the decoder reads it.
    std::mt19937 rng(11);
    std::vector<unsigned> all(4000);
    for (auto& s : all) s = rng() & 0xFFu;
    const std::vector<unsigned> low{1, 2, 3, 4, 5, 1, 2, 3};
    int found = 0;
    for (unsigned target : {512u, 1024u}) {
        for (std::size_t n = 2; n < all.size(); ++n) {
            std::vector<unsigned> high(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
            if (reduct::test::referenceCodes(high, reduct::test::REF_BYTES).endNextCode != target)
                continue;
            const Bytes coded = encodePlanes(high, low, 0);
            std::vector<unsigned> h, l;
            ASSERT_EQ(decodePlanes(coded, h, l), CODEC_OK) << "end at " << target;
            EXPECT_TRUE(h == high);
            EXPECT_EQ(l, low);
            ++found;
            break;
        }
    }
    EXPECT_EQ(found, 2);
}

TEST(LzwCore, CodeStreamMayStartAtABitOffset) {
    // 23-bit raw fields ahead of the codes, the codes in 9-bit symbols.
    struct Case {
        std::vector<std::uint32_t> samples;
        const char* coded;
    } cases[] = {
        {{0x3FC00000u, 0x3FC00000u, 0x40500000u},
         "0C 00 00 00 17 00 00 00 00 00 40 00 00 20 00 00 14 C0 3F FE 00 24 40"},
        {{0x3F800000u}, "04 00 00 00 17 00 00 00 00 00 00 00 FF 08 10"},
    };
    for (const Case& c : cases) {
        std::vector<unsigned> symbols;
        for (std::uint32_t w : c.samples) symbols.push_back(w >> 23);
        Bytes dst(64, 0xFF);
        BitWriter out(dst.data(), 64);
        const auto n = static_cast<std::uint32_t>(c.samples.size() * 4);
        out.put(n, 32);
        out.put(23, 32);
        for (std::uint32_t w : c.samples) out.put(w & 0x7FFFFFu, 23);
        Symbols<Alphabet::WIDE_SYMBOLS> model{&symbols};
        CodeDictionary dictionary;
        reduct::lzw::EncodeDriver(model, out, dictionary);
        dst.resize(static_cast<std::size_t>(out.finish()));
        EXPECT_EQ(hex(dst), c.coded);

        BitReader codes(dst.data(), static_cast<std::int32_t>(dst.size()),
                        64 + 23 * static_cast<std::int64_t>(c.samples.size()));
        Collect<Alphabet::WIDE_SYMBOLS> sink;
        CodeTable<std::uint16_t> table;
        ASSERT_EQ(reduct::lzw::DecodeDriver(codes, sink, table), CODEC_OK);
        EXPECT_TRUE(codes.endCovered());
        EXPECT_EQ(sink.symbols, symbols);
    }
}

TEST(LzwCore, ClearRunsAndEmptyPassesDecode) {
    using reduct::test::REF_BYTES;
    std::vector<unsigned> back;
    // A run of clear codes counts as one.
    EXPECT_EQ(decodePass<Alphabet::BYTE_SYMBOLS>(packAsDecoderReads({256, 256, 256, 5, 6, 257}, REF_BYTES),
                                                 back),
              CODEC_OK);
    EXPECT_EQ(back, (std::vector<unsigned>{5, 6}));
    // An end code right after clear codes ends the pass with nothing.
    EXPECT_EQ(decodePass<Alphabet::BYTE_SYMBOLS>(packAsDecoderReads({256, 256, 257}, REF_BYTES), back),
              CODEC_OK);
    EXPECT_TRUE(back.empty());
    // A clear in mid-stream starts a fresh table.
    EXPECT_EQ(decodePass<Alphabet::BYTE_SYMBOLS>(
                  packAsDecoderReads({256, 1, 2, 258, 256, 3, 258, 257}, REF_BYTES), back),
              CODEC_OK);
    EXPECT_EQ(back, (std::vector<unsigned>{1, 2, 1, 2, 3, 3, 3}));
}

TEST(LzwCore, LongestStringComesOutWhole) {
    // Each code is the entry being defined, so the strings grow by one up to
    // the last entry, 2047, whose string is 1791 symbols.
    std::vector<unsigned> codes{256, 9};
    for (unsigned c = 258; c < 2048; ++c) codes.push_back(c);
    codes.push_back(257);
    std::vector<unsigned> back;
    ASSERT_EQ(decodePass<Alphabet::BYTE_SYMBOLS>(packAsDecoderReads(codes, reduct::test::REF_BYTES), back),
              CODEC_OK);
    std::size_t expected = 1;
    for (unsigned c = 258; c < 2048; ++c) expected += c - 256;
    EXPECT_EQ(back.size(), expected);
    EXPECT_EQ(std::count(back.begin(), back.end(), 9u), static_cast<std::ptrdiff_t>(expected));
}

TEST(LzwCore, RefusesStreamsTheEncoderCannotMake) {
    using reduct::test::REF_BYTES;
    using reduct::test::REF_BYTES_2;
    struct Case {
        const char* what;
        std::vector<unsigned> codes;
        bool second;
    } cases[] = {
        {"first code not the clear code", {5, 6, 257}, false},
        {"code above the one being defined", {256, 5, 259, 257}, false},
        {"entry code right after a clear", {256, 258, 257}, false},
        {"the other alphabet's clear code", {258, 5, 256, 257}, true},
        {"the other alphabet's end code", {258, 5, 257, 259}, true},
        {"no end code", {256, 5, 6, 7}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned> back;
        const Bytes coded = packAsDecoderReads(c.codes, c.second ? REF_BYTES_2 : REF_BYTES);
        const int status = c.second ? decodePass<Alphabet::BYTE_SYMBOLS_2>(coded, back)
                                    : decodePass<Alphabet::BYTE_SYMBOLS>(coded, back);
        EXPECT_EQ(status, CODEC_BAD_STREAM);
    }

    // 1791 data codes after a clear define entries up to 2047; one more data
    // code would need entry 2048.
    std::vector<unsigned> full{256};
    for (int i = 0; i < 1791; ++i) full.push_back(static_cast<unsigned>(i % 200));
    std::vector<unsigned> back;
    std::vector<unsigned> ok = full;
    ok.push_back(257);
    EXPECT_EQ(decodePass<Alphabet::BYTE_SYMBOLS>(packAsDecoderReads(ok, REF_BYTES), back), CODEC_OK);
    full.push_back(1);
    full.push_back(257);
    EXPECT_EQ(decodePass<Alphabet::BYTE_SYMBOLS>(packAsDecoderReads(full, REF_BYTES), back),
              CODEC_BAD_STREAM);

    // Every truncation of a stream is refused, including the last byte.
    std::vector<unsigned> symbols(300);
    for (std::size_t i = 0; i < symbols.size(); ++i) symbols[i] = static_cast<unsigned>((i * 7) % 13);
    const Bytes coded = encodePass<Alphabet::BYTE_SYMBOLS>(symbols);
    for (std::size_t n = 0; n < coded.size(); ++n) {
        const Bytes cut(coded.begin(), coded.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(decodePass<Alphabet::BYTE_SYMBOLS>(cut, back), CODEC_BAD_STREAM) << n;
    }
}

TEST(LzwCore, WriterCountsPastItsCapacityWithoutStoring) {
    const std::vector<unsigned> symbols(100, 1);
    const Bytes whole = encodePass<Alphabet::BYTE_SYMBOLS>(symbols);
    for (std::int32_t cap : {0, 1, 3, 4, 5, static_cast<std::int32_t>(whole.size()) - 1}) {
        Bytes dst(static_cast<std::size_t>(cap) + 8, 0xA5);
        BitWriter out(dst.data(), cap);
        Symbols<Alphabet::BYTE_SYMBOLS> model{&symbols};
        CodeDictionary dictionary;
        reduct::lzw::EncodeDriver(model, out, dictionary);
        EXPECT_EQ(out.finish(), static_cast<std::int64_t>(whole.size()));
        for (std::size_t i = 0; i < static_cast<std::size_t>(cap); ++i) EXPECT_EQ(dst[i], whole[i]);
        for (std::size_t i = static_cast<std::size_t>(cap); i < dst.size(); ++i) EXPECT_EQ(dst[i], 0xA5);
    }
}

TEST(LzwCore, ReaderStaysInsideItsSource) {
    const Bytes bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
    const std::uint8_t* src = bytes.data();
    std::uint32_t v = 0;
    for (std::int64_t start : {std::int64_t{-1000}, std::int64_t{-1}, std::int64_t{41}, std::int64_t{1000}}) {
        BitReader r(src, 5, start);
        EXPECT_FALSE(r.read(1, v)) << start;
        EXPECT_FALSE(r.endCovered()) << start;
    }
    BitReader r(src, 5, 4);
    ASSERT_TRUE(r.read(32, v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_TRUE(r.endCovered());  // the last four bits are zero
    EXPECT_FALSE(r.read(5, v));   // only four bits remain
    ASSERT_TRUE(r.read(4, v));
    EXPECT_EQ(v, 0u);
}

}  // namespace
