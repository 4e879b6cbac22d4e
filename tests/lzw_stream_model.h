// A plain, slow model of the variable-width LZW code stream, written apart
// from the library's coders: it turns a symbol sequence into the exact list
// of (code, width) pairs and packs fields least significant bit first. Tests
// use it to build expected streams for inputs too long to write out by
// hand, to craft streams the encoder never makes, and to find inputs that
// end a pass in a chosen state.
#ifndef REDUCT_TESTS_LZW_STREAM_MODEL_H
#define REDUCT_TESTS_LZW_STREAM_MODEL_H

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace reduct::test {

struct LzwAlphabet {
    std::uint32_t clearCode;
    std::uint32_t endCode;
    std::uint32_t firstCode;
    unsigned initialWidth;
};

inline constexpr LzwAlphabet BYTES_1{256, 257, 258, 9};
inline constexpr LzwAlphabet BYTES_2{258, 259, 260, 9};
inline constexpr LzwAlphabet WIDE{512, 513, 514, 10};

struct Field {
    std::uint32_t value;
    unsigned width;
};

// The codes of one pass over `symbols`, with what happened along the way.
struct LzwPass {
    std::vector<Field> codes;
    // nextCode after symbol i was consumed: the state in which a pass over
    // the first i + 1 symbols writes its end code.
    std::vector<std::uint32_t> nextCodeAfter;
    // Symbol indices at which a miss filled the dictionary (code 2047).
    std::vector<std::size_t> fullAt;
    std::size_t clears = 0;  // clears after a full dictionary
};

inline LzwPass lzwPass(const std::vector<std::uint32_t>& symbols, const LzwAlphabet& a) {
    LzwPass pass;
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> dict;
    std::uint32_t nextCode = a.firstCode;
    unsigned width = a.initialWidth;
    pass.codes.push_back({a.clearCode, width});
    std::size_t i = 0;
    std::uint32_t prefix = symbols[i++];
    pass.nextCodeAfter.push_back(nextCode);
    while (i < symbols.size()) {
        const std::uint32_t s = symbols[i++];
        auto found = dict.find({prefix, s});
        if (found != dict.end()) {
            prefix = found->second;
        } else {
            pass.codes.push_back({prefix, width});
            dict[{prefix, s}] = nextCode++;
            if (nextCode == 513 || nextCode == 1025) ++width;
            prefix = s;
            if (nextCode == 2048) {
                pass.fullAt.push_back(i - 1);
                if (i < symbols.size()) {
                    pass.codes.push_back({s, width});
                    pass.codes.push_back({a.clearCode, width});
                    ++pass.clears;
                    dict.clear();
                    nextCode = a.firstCode;
                    width = a.initialWidth;
                    pass.nextCodeAfter.push_back(2048);
                    prefix = symbols[i++];
                }
            }
        }
        pass.nextCodeAfter.push_back(nextCode);
    }
    pass.codes.push_back({prefix, width});
    pass.codes.push_back({a.endCode, width});
    return pass;
}

// Packs fields least significant bit first; the stream's length covers the
// byte holding the bit right after the last field.
class BitPacker {
public:
    void put(std::uint64_t value, unsigned width) {
        for (unsigned b = 0; b < width; ++b) {
            if (bits_ % 8 == 0) bytes_.push_back(0);
            if ((value >> b) & 1) bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (1u << (bits_ % 8)));
            ++bits_;
        }
    }
    void put(const std::vector<Field>& fields) {
        for (const Field& f : fields) put(f.value, f.width);
    }
    std::size_t bitPosition() const { return bits_; }
    std::vector<std::uint8_t> finish() const {
        std::vector<std::uint8_t> out = bytes_;
        out.resize(bits_ / 8 + 1, 0);
        return out;
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t bits_ = 0;
};

}  // namespace reduct::test

#endif  // REDUCT_TESTS_LZW_STREAM_MODEL_H
