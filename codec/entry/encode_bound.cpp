// EncodeBound: the largest coded length any source of a given length can
// need with a method, so hosts can size a destination once.
//
// The LZW bounds count codes, not bits: every data code consumes at least
// one symbol, each dictionary generation adds one clear (and the symbol
// written beside it, which also consumes a symbol), and the stream has one
// leading clear and one end code. Every code is taken at its widest (11 bits,
// 12 for method 11), and one spare byte is added for the partly filled last
// byte, so the bounds hold for every input, not just typical ones.
#include <reduct/codec.h>

#include <cstdint>

namespace {

// Dictionary codes one generation can add before it is cleared.
constexpr std::int64_t BYTE_GENERATION = 2048 - 260;  // the smaller of the two byte alphabets
constexpr std::int64_t WIDE9_GENERATION = 2048 - 514;

// Bytes a code stream of `symbols` symbols can take, starting `startBits`
// into its first byte.
std::int64_t lzwBytes(std::int64_t symbols, std::int64_t generation, std::int64_t startBits = 0) {
    if (symbols < 0) symbols = 0;
    const std::int64_t codes = symbols + 3 + symbols / generation;
    return (startBits + 11 * codes + 7) / 8 + 1;
}

}  // namespace

extern "C" int64_t EncodeBound(int32_t method, int32_t srcLen) {
    if (srcLen < 1 || static_cast<std::uint32_t>(method) > MAX_METHOD) return 0;
    const std::int64_t s = srcLen;
    switch (method) {
        case CM_REGULAR_TIME: return 12;
        case CM_INT32_DELTA_RUN: return s < 6 ? 8 : 2 * s - 4;  // first value, then two words a difference
        case CM_WORD16_RUN:
        case CM_WORD32_RUN: return 2 * s;  // an escaped word costs two words
        case CM_BIT_PACK: return (s + 7) / 8 + 1;
        case CM_DELTA16_LZW:
        case CM_DELTA16_LZW_2: return 2 + lzwBytes(s - 2, BYTE_GENERATION);
        case CM_DELTA32_LZW:
        case CM_DELTA32_LZW_2: return 4 + lzwBytes(s - 4, BYTE_GENERATION);
        case CM_FLOAT_LZW: return 16 + lzwBytes(s - 12, BYTE_GENERATION);
        case CM_DOUBLE_LZW: return 8 + lzwBytes(s - 8, BYTE_GENERATION);
        case CM_BYTE_PLANE_LZW: {
            // Two passes of srcLen / 2 symbols in one bit stream.
            const std::int64_t n = (s + 1) / 2;
            const std::int64_t codes = 2 * (n + 3 + n / BYTE_GENERATION);
            return 4 + (11 * codes + 7) / 8 + 1;
        }
        case CM_FLOAT_SPLIT_LZW: {
            // 23 raw mantissa bits a sample, then the exponent codes.
            const std::int64_t n = (s + 3) / 4;
            return 8 + lzwBytes(n, WIDE9_GENERATION, 23 * n);
        }
        case CM_SIGNED12_LZW: {
            // A sign bit a sample, and at worst for each sample: the code of
            // the string it ends (12 bits) and an escape with its 12-bit raw
            // field. A generation holds at least 1919 samples (at most two
            // entries a sample), and each clear may bring an owed code.
            const std::int64_t n = (s + 1) / 2;
            const std::int64_t bits = n + 36 * n + 24 * (n / 1919 + 2) + 24;
            return 6 + (bits + 7) / 8 + 1;
        }
        default: return 0;
    }
}
