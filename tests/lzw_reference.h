// A deliberately plain LZW encoder for tests: a std::map dictionary and a
// code list, following the coding rules step by step with no attention to
// speed, so the library's coders can be compared with it byte for byte.
#ifndef REDUCT_TESTS_LZW_REFERENCE_H
#define REDUCT_TESTS_LZW_REFERENCE_H

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace reduct::test {

struct Code {
    unsigned value;
    unsigned width;
};

struct ReferenceAlphabet {
    unsigned clear, end, first, width;
};
inline constexpr ReferenceAlphabet REF_BYTES{256, 257, 258, 9};
inline constexpr ReferenceAlphabet REF_BYTES_2{258, 259, 260, 9};
inline constexpr ReferenceAlphabet REF_WIDE{512, 513, 514, 10};

// What happened while coding, for tests that need a particular case.
struct ReferencePass {
    std::vector<Code> codes;
    int clears = 0;            // clears after a full dictionary
    bool fullOnLast = false;   // the dictionary filled on the last symbol
    unsigned endNextCode = 0;  // the next free code when the end code was written
    std::size_t longest = 0;   // longest string written as one code
};

inline ReferencePass referenceCodes(const std::vector<unsigned>& symbols, ReferenceAlphabet a) {
    ReferencePass r;
    std::map<std::pair<unsigned, unsigned>, unsigned> dict;
    std::map<unsigned, std::size_t> length;
    unsigned nextCode = a.first, width = a.width;
    auto reset = [&] {
        dict.clear();
        length.clear();
        nextCode = a.first;
        width = a.width;
    };
    auto lengthOf = [&](unsigned c) -> std::size_t { return c < a.clear ? 1 : length[c]; };
    auto put = [&](unsigned c) {
        r.codes.push_back({c, width});
        if (c != a.clear && c != a.end && lengthOf(c) > r.longest) r.longest = lengthOf(c);
    };
    put(a.clear);
    std::size_t i = 0;
    unsigned prefix = symbols[i++];
    while (i < symbols.size()) {
        const unsigned s = symbols[i++];
        auto found = dict.find({prefix, s});
        if (found != dict.end()) {
            prefix = found->second;
            continue;
        }
        put(prefix);
        dict[{prefix, s}] = nextCode;
        length[nextCode] = lengthOf(prefix) + 1;
        ++nextCode;
        if (nextCode == 513 || nextCode == 1025) ++width;
        prefix = s;
        if (nextCode == 2048) {
            if (i < symbols.size()) {
                put(s);
                put(a.clear);
                ++r.clears;
                reset();
                prefix = symbols[i++];
            } else {
                r.fullOnLast = true;
            }
        }
    }
    put(prefix);
    r.endNextCode = nextCode;
    put(a.end);
    return r;
}

// Packs codes least significant bit first after `header`; the length counts
// one byte past the byte where the last code stops.
inline std::vector<std::uint8_t> referencePack(const std::vector<Code>& codes,
                                               std::vector<std::uint8_t> header = {}) {
    std::vector<std::uint8_t> out = header;
    std::size_t bit = out.size() * 8;
    out.resize(out.size() + codes.size() * 2 + 4, 0);
    for (const Code& c : codes) {
        for (unsigned b = 0; b < c.width; ++b, ++bit)
            if ((c.value >> b) & 1u) out[bit / 8] = static_cast<std::uint8_t>(out[bit / 8] | (1u << (bit % 8)));
    }
    out.resize(bit / 8 + 1);
    return out;
}

// The difference bytes of a series of W-byte values, least significant first.
template <typename Word>
std::vector<unsigned> deltaSymbols(const std::vector<Word>& values) {
    std::vector<unsigned> out;
    for (std::size_t i = 1; i < values.size(); ++i) {
        const Word d = static_cast<Word>(values[i] - values[i - 1]);
        for (std::size_t b = 0; b < sizeof(Word); ++b) out.push_back((d >> (8 * b)) & 0xFFu);
    }
    return out;
}

}  // namespace reduct::test

#endif  // REDUCT_TESTS_LZW_REFERENCE_H
