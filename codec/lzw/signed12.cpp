// Signed 12-bit LZW (method 11): 16-bit samples whose successive differences
// have a magnitude of at most 4095, coded as sign bits plus an LZW stream of
// magnitudes on the wide engine.
//
// Source: n >= 1 unsigned 16-bit samples x0 .. x(n-1), srcLen = 2n.
// d(i) = x(i) - x(i-1) for i = 1 .. n-1, from the zero-extended samples.
//
//   | offset                   | size     | content                                        |
//   |--------------------------|----------|------------------------------------------------|
//   | 0                        | 4        | u32 srcLen                                     |
//   | 4                        | 2        | x0, unchanged                                  |
//   | 6                        | n-1 bits | sign bits: d(i) < 0 sets bit 7 - (i-1) mod 8   |
//   |                          |          | of byte 6 + (i-1) div 8 (filled from the top)  |
//   | byte 6 + n div 8,        | rest     | code stream, least significant bit first,      |
//   | bit n mod 8              |          | from CLEAR_CODE (9 bits) to END_CODE           |
//
// When n mod 8 is 2..7, the last sign bits and the first code share the
// byte 6 + n div 8; the first code is always CLEAR_CODE, whose low eight bits
// are zero, so both survive. The stream's length runs to the byte holding
// the end code's last bit, plus one zero byte when the end code finishes a
// byte.
//
// Symbols: a magnitude m <= 254 is the root code m. A larger magnitude is,
// the first time it occurs in a dictionary, ESCAPE_SYMBOL followed by m in a
// 12-bit raw field; both sides then add an escape entry for m (a root of its
// own) under the next code, and that code stands for m until the next clear.
// Everything else is LZW over these symbols on the wide engine; the
// dictionary is cleared when it holds 4096 codes.
//
// Refusals: an odd srcLen is CODEC_BAD_LENGTH; a difference of magnitude
// 4096 or more is CODEC_BAD_VALUE. The decoder reports CODEC_BAD_STREAM for
// anything the encoder cannot have made: a bad header, a code naming no
// entry, a table that would grow past its size, more or fewer samples than
// the header states, a stream that ends before its end code, or samples
// running outside 0..65535.
#include <cstdint>
#include <cstring>

#include "entry/byte_io.h"
#include "entry/codec_context.h"
#include "lzw/wide_coders.h"
#include "lzw/wide_engine.h"

namespace reduct {
namespace {

using namespace wide;

constexpr std::int64_t HEADER_BYTES = 6;
constexpr std::int64_t SIGN_START = 6;

// Sign bits, one per difference, filling each byte from its top bit. Whole
// bytes are stored as they complete; the last partial byte is left to the
// caller because it may share its byte with the first code.
class SignWriter {
public:
    SignWriter(std::uint8_t* dst, std::int64_t cap) noexcept : dst_(dst), cap_(cap) {}

    void put(std::uint32_t negative) noexcept {
        acc_ = (acc_ << 1) | negative;
        if (++count_ == 8) {
            if (pos_ < cap_) dst_[pos_] = static_cast<std::uint8_t>(acc_);
            ++pos_;
            acc_ = 0;
            count_ = 0;
        }
    }

    // Places the bits of the last partial byte. `shared`: that byte already
    // holds the first code's low bits, so the sign bits are OR-ed in.
    void finish(bool shared) noexcept {
        if (count_ == 0 || pos_ >= cap_) return;
        const auto bits = static_cast<std::uint8_t>(acc_ << (8 - count_));
        dst_[pos_] = shared ? static_cast<std::uint8_t>(dst_[pos_] | bits) : bits;
    }

private:
    std::uint8_t* dst_;
    std::int64_t cap_;
    std::int64_t pos_ = SIGN_START;
    std::uint32_t acc_ = 0;
    unsigned count_ = 0;
};

CodecResult encode(const CodecContext& ctx) noexcept {
    if (ctx.srcLen % 2 != 0) return codecStatus(CODEC_BAD_LENGTH);
    const std::uint8_t* const src = ctx.src;
    const std::int64_t n = ctx.srcLen / 2;
    std::uint8_t* const dst = ctx.dst;
    const std::int64_t cap = ctx.dstCap;

    std::uint8_t header[HEADER_BYTES];
    store32(header, static_cast<std::uint32_t>(ctx.srcLen));
    std::memcpy(header + 4, src, 2);
    for (std::int64_t i = 0; i < HEADER_BYTES && i < cap; ++i) dst[i] = header[i];

    const std::int64_t codeStart = SIGN_START + n / 8;
    const auto codeBit = static_cast<unsigned>(n % 8);
    SignWriter signs(dst, cap);
    WideCodeWriter out(dst, ctx.dstCap, codeStart, codeBit);
    WideCodeDictionary dict;

    std::int64_t k = 1;  // index of the next sample to read
    std::uint32_t lastSample = load16(src);

    // The next difference: its sign goes to the sign region, its magnitude
    // is returned (possibly above 4095; callers check where it matters).
    auto NextMagnitude = [&]() noexcept -> std::uint32_t {
        const std::uint32_t x = load16(src + 2 * k);
        ++k;
        // Branch-free: the sign of a noisy series is unpredictable.
        const std::uint32_t difference = x - lastSample;
        const std::uint32_t negative = difference >> 31;
        const std::uint32_t mask = 0u - negative;
        lastSample = x;
        signs.put(negative);
        return (difference ^ mask) - mask;
    };

    std::uint32_t prefix = 0;
    bool prefixOwed = false;

    // The first string after a clear (or at the start). A large magnitude is
    // escaped at once; its escape entry is the string and is not owed.
    auto StartString = [&]() noexcept -> bool {
        prefix = NextMagnitude();
        prefixOwed = true;
        if (prefix > MAX_ROOT_SYMBOL) {
            if (prefix > MAX_RAW_VALUE) return false;
            out.PutWideCode(ESCAPE_SYMBOL, dict.codeWidth());
            out.PutRawField(prefix);
            dict.AddWideCode(ESCAPE_PREFIX, prefix);
            prefix = dict.nextCode() - 1;
            prefixOwed = false;
        }
        return true;
    };

    auto clearDictionary = [&]() noexcept {
        out.PutWideCode(CLEAR_CODE, dict.codeWidth());
        dict.ResetWideDictionary();
    };

    // Every stream begins with the clear code (the dictionary starts empty).
    out.PutWideCode(CLEAR_CODE, dict.codeWidth());
    if (k < n && !StartString()) return codecStatus(CODEC_BAD_VALUE);

    while (k < n) {
        if (dict.nextCode() == WIDE_CODE_LIMIT) {
            if (prefixOwed) out.PutWideCode(prefix, dict.codeWidth());
            clearDictionary();
            if (!StartString()) return codecStatus(CODEC_BAD_VALUE);
            // The new string may have taken the last sample.
            if (k >= n) break;
        }
        std::uint32_t symbol = NextMagnitude();
        if (symbol > MAX_ROOT_SYMBOL) {
            if (symbol > MAX_RAW_VALUE) return codecStatus(CODEC_BAD_VALUE);
            const std::uint32_t e = dict.FindWideCode(ESCAPE_PREFIX, symbol);
            if (e != 0) {
                symbol = e;
            } else {
                // A new escape: the string so far ends, the magnitude travels
                // raw, and its escape entry becomes the string.
                if (prefixOwed) out.PutWideCode(prefix, dict.codeWidth());
                dict.AddWideCode(ESCAPE_PREFIX, symbol);
                out.PutWideCode(ESCAPE_SYMBOL, dict.codeWidth());
                out.PutRawField(symbol);
                symbol = dict.nextCode() - 1;
                if (dict.nextCode() == WIDE_CODE_LIMIT && k < n) {
                    clearDictionary();
                    if (!StartString()) return codecStatus(CODEC_BAD_VALUE);
                } else {
                    // Joining the two without writing anything restores the
                    // encoder's one-entry lead over the decoder.
                    dict.AddWideCode(prefix, symbol);
                    prefix = symbol;
                    prefixOwed = false;
                }
                continue;
            }
        }
        const std::uint32_t e = dict.FindWideCode(prefix, symbol);
        if (e != 0) {
            prefix = e;
            prefixOwed = true;
        } else {
            if (prefixOwed) out.PutWideCode(prefix, dict.codeWidth());
            dict.AddWideCode(prefix, symbol);
            prefix = symbol;
            prefixOwed = true;
        }
    }
    if (prefixOwed) out.PutWideCode(prefix, dict.codeWidth());
    out.PutWideCode(END_CODE, dict.codeWidth());
    const std::int64_t length = out.finish();
    signs.finish(codeBit >= 2);
    return encodedLength(length);
}

// Copies `length` magnitudes from sample index `from` to `to` (from + length
// <= to). Where the destination has room, whole 16-byte blocks are moved:
// the elements past `length` land on places later codes overwrite.
inline void copyString(std::uint8_t* samples, std::int64_t to, std::int64_t from,
                       std::uint32_t length, std::int64_t n) noexcept {
    std::uint8_t* d = samples + 2 * to;
    const std::uint8_t* s = samples + 2 * from;
    if (to + length + 8 <= n) {
        for (std::uint32_t i = 0; i < length; i += 8) {
            const std::uint64_t a = load64(s + 2 * i);
            const std::uint64_t b = load64(s + 2 * i + 8);
            store64(d + 2 * i, a);
            store64(d + 2 * i + 8, b);
        }
    } else {
        std::memmove(d, s, 2 * static_cast<std::size_t>(length));
    }
}

CodecResult decode(const CodecContext& ctx) noexcept {
    const std::uint8_t* const src = ctx.src;
    const std::int64_t srcLen = ctx.srcLen;
    if (srcLen <= HEADER_BYTES) return codecStatus(CODEC_BAD_STREAM);
    const std::uint32_t length = load32(src);
    if (length == 0 || length % 2 != 0 || length > static_cast<std::uint32_t>(MAX_CODEC_LENGTH))
        return codecStatus(CODEC_BAD_STREAM);
    const std::int64_t n = length / 2;
    const std::int64_t codeStart = SIGN_START + n / 8;
    const auto codeBit = static_cast<unsigned>(n % 8);
    if (codeStart >= srcLen) return codecStatus(CODEC_BAD_STREAM);

    // A destination too small for the stated length only learns the length:
    // the stream is still checked to the end, but nothing is stored.
    const bool store = static_cast<std::int64_t>(length) <= ctx.dstCap;
    std::uint8_t* const dst = ctx.dst;
    if (store) std::memcpy(dst, src + 4, 2);

    WideCodeTable table;
    WideCodeReader in(src, ctx.srcLen, codeStart, codeBit);

    // The first code is the clear code. When n mod 8 is 2..7 its bits from
    // 9 - 2r (r = n mod 8) upward share their places with the last sign
    // bits, so those bits read back as the signs; the others must be those
    // of CLEAR_CODE.
    const std::uint32_t sharedSignBits = codeBit >= 2 ? (0xFFu << (9 - codeBit)) & 0xFFu : 0u;
    if ((in.GetWideCode(FIRST_CODE_WIDTH) & ~(sharedSignBits >> codeBit)) != CLEAR_CODE)
        return codecStatus(CODEC_BAD_STREAM);

    std::int64_t k = 1;        // index of the next sample to produce
    std::int64_t prevOut = 0;  // where the previous code's string starts
    std::uint32_t prevLen = 0;
    bool ended = false;

    while (!ended) {
        // A new dictionary: the first code names a root or escapes one, and
        // no entry joins it to what came before.
        table.ResetWideTable();
        std::uint32_t code;
        do {
            if (in.overran()) return codecStatus(CODEC_BAD_STREAM);
            code = in.GetWideCode(FIRST_CODE_WIDTH);
        } while (code == CLEAR_CODE);
        if (code == END_CODE) break;
        std::uint32_t value = code;
        if (code == ESCAPE_SYMBOL) {
            value = in.GetRawField();
            if (value <= MAX_ROOT_SYMBOL) return codecStatus(CODEC_BAD_STREAM);
            table.AddWideEntry(static_cast<std::uint32_t>(k), 1, value);
        } else if (code > MAX_ROOT_SYMBOL) {
            return codecStatus(CODEC_BAD_STREAM);
        }
        if (k >= n) return codecStatus(CODEC_BAD_STREAM);
        if (store) store16(dst + 2 * k, static_cast<std::uint16_t>(value));
        prevOut = k;
        prevLen = 1;
        ++k;

        for (;;) {
            if (in.overran()) return codecStatus(CODEC_BAD_STREAM);
            code = in.GetWideCode(table.codeWidth());
            if (code - ESCAPE_SYMBOL <= END_CODE - ESCAPE_SYMBOL) {
                if (code == END_CODE) {
                    ended = true;
                    break;
                }
                if (code == CLEAR_CODE) break;
                // An escape: its entry, then the previous string joined to it.
                value = in.GetRawField();
                if (value <= MAX_ROOT_SYMBOL || !table.hasRoomFor(2) || k >= n)
                    return codecStatus(CODEC_BAD_STREAM);
                table.AddWideEntry(static_cast<std::uint32_t>(k), 1, value);
                table.AddWideEntry(static_cast<std::uint32_t>(prevOut), prevLen + 1, 0);
                if (store) store16(dst + 2 * k, static_cast<std::uint16_t>(value));
                prevOut = k;
                prevLen = 1;
                ++k;
                continue;
            }
            // Only an escape may add the entry past the code limit.
            if (table.nextCode() >= WIDE_CODE_LIMIT) return codecStatus(CODEC_BAD_STREAM);
            if (table.IsKnownWideCode(code)) {
                const WideEntry e = table.entry(code);
                if (k + e.length > n) return codecStatus(CODEC_BAD_STREAM);
                table.AddWideEntry(static_cast<std::uint32_t>(prevOut), prevLen + 1, 0);
                if (store) {
                    if (e.length == 1) {
                        store16(dst + 2 * k, e.value);
                    } else {
                        copyString(dst, k, e.start, e.length, n);
                    }
                }
                prevOut = k;
                prevLen = e.length;
                k += e.length;
            } else if (code == table.nextCode()) {
                // The entry being defined: the previous string and its own
                // first element.
                const std::uint32_t len = prevLen + 1;
                if (k + len > n) return codecStatus(CODEC_BAD_STREAM);
                table.AddWideEntry(static_cast<std::uint32_t>(prevOut), len, 0);
                if (store) {
                    copyString(dst, k, prevOut, prevLen, n);
                    std::memcpy(dst + 2 * (k + prevLen), dst + 2 * prevOut, 2);
                }
                prevOut = k;
                prevLen = len;
                k += len;
            } else {
                return codecStatus(CODEC_BAD_STREAM);
            }
        }
    }
    if (in.overran() || k != n) return codecStatus(CODEC_BAD_STREAM);

    // The encoder writes its end code one bit narrower than it is read when
    // the dictionary stands at 512, 1024 or 2048 codes; the stream it made
    // reaches the byte holding the end code's last written bit.
    const std::uint32_t next = table.nextCode();
    const bool narrowEnd = next == 512 || next == 1024 || next == 2048;
    const std::int64_t endBit = in.consumedBits() - (narrowEnd ? 1 : 0);
    if (srcLen < endBit / 8 + 1) return codecStatus(CODEC_BAD_STREAM);

    if (store) {
        // Magnitudes to samples: apply each sign and add up.
        const std::uint8_t* const signs = src + SIGN_START;
        std::uint32_t sample = load16(dst);
        std::uint32_t seen = 0;
        std::uint8_t* p = dst + 2;
        for (std::int64_t i = 0; i < n - 1; ++i, p += 2) {
            const std::uint32_t bit = (std::uint32_t{signs[i >> 3]} >> (7 - (i & 7))) & 1u;
            const std::uint32_t negate = 0u - bit;
            sample += (load16(p) ^ negate) - negate;
            seen |= sample;
            store16(p, static_cast<std::uint16_t>(sample));
        }
        // Encode's samples never leave 0..65535.
        if (seen > 0xFFFF) return codecStatus(CODEC_BAD_STREAM);
    }
    return decodedLength(length);
}

}  // namespace

CodecResult EncodeSigned12Lzw(const CodecContext& ctx) noexcept { return encode(ctx); }
CodecResult DecodeSigned12Lzw(const CodecContext& ctx) noexcept { return decode(ctx); }

}  // namespace reduct
