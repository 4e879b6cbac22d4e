// The variable-width LZW engine shared by the dictionary methods.
//
// Code stream: codes packed least significant bit first, each code starting
// at the bit after the previous one, bit 0 of a byte being its least
// significant bit. Codes are 9 to 11 bits wide (10 to 11 for WIDE_SYMBOLS):
//
//   | alphabet       | root codes | clear code | end code | first entry | start width |
//   |----------------|------------|------------|----------|-------------|-------------|
//   | BYTE_SYMBOLS   | 0..255     | 256        | 257      | 258         | 9 bits      |
//   | BYTE_SYMBOLS_2 | 0..255     | 258        | 259      | 260         | 9 bits      |
//   | WIDE_SYMBOLS   | 0..511     | 512        | 513      | 514         | 10 bits     |
//
// Every code stream starts with the clear code. The encoder widens its codes
// when its next free code reaches 513 and 1025; the decoder, which defines
// each entry one code later, widens at 512 and 1024, so both sides agree on
// the width of every code but the end code (see DecodeDriver). When the
// dictionary holds 2048 codes and input remains, the encoder writes the
// pending prefix, the current symbol and the clear code, all 11 bits wide,
// and starts a fresh dictionary (if that miss was on the last symbol, no clear
// is written). The stream ends with the last prefix and the end code; the
// coded length runs up to and including the byte that holds the first bit
// after the end code, and every bit after the end code is zero.
//
// How a method uses the engine:
//   Encoding: the method writes its raw header through a BitWriter (putBytes
//   or put), then calls EncodeDriver(model, writer, dictionary) once per
//   pass (the dictionary from WithDictionary), then writer.finish() for the
//   length. The model hands out its symbols in blocks of one or more:
//     static constexpr Alphabet ALPHABET;   // BYTE_SYMBOLS, BYTE_SYMBOLS_2 or WIDE_SYMBOLS
//     const Symbol* NextBlock();            // the next block; valid until the next call
//     std::size_t blockSize() const;        // symbols in the block NextBlock returned
//     bool moreInput() const;               // whether another block follows
//   Decoding: the method reads its header through a BitReader, calls
//   DecodeDriver(reader, sink, table) once per pass (a CodeTable<std::uint8_t>
//   for the byte alphabets, <std::uint16_t> for WIDE_SYMBOLS), runs its final flush,
//   and for the last pass checks reader.endCovered(). The sink supplies
//     static constexpr Alphabet ALPHABET;
//     void putSymbols(const Symbol* s, std::size_t n);  // or void PutSymbol(unsigned s)
//     bool failed() const;                              // optional: stop with CODEC_BAD_STREAM
//   Symbols reach the sink in order, in blocks that need not line up with
//   codes or values; a sink that must bound what it takes checks in its
//   put and reports through failed().
//   Both drivers are templates over the model, so every hook is inlined.
//   Two passes simply run the driver twice on the same writer or reader; a
//   code stream that starts at a bit offset starts wherever the writer or
//   reader stands (put raw bit fields first, or construct the reader at a bit
//   position).
#ifndef REDUCT_LZW_CORE_H
#define REDUCT_LZW_CORE_H

#include <reduct/codec.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "entry/byte_io.h"

namespace reduct::lzw {

enum class Alphabet { BYTE_SYMBOLS, BYTE_SYMBOLS_2, WIDE_SYMBOLS };

inline constexpr unsigned CLEAR_CODE = 256;
inline constexpr unsigned END_CODE = 257;
inline constexpr unsigned CLEAR_CODE_2 = 258;
inline constexpr unsigned END_CODE_2 = 259;
inline constexpr unsigned WIDE_CLEAR_CODE = 512;
inline constexpr unsigned WIDE_END_CODE = 513;
inline constexpr unsigned CODE_LIMIT = 2048;
inline constexpr unsigned MAX_CODE_WIDTH = 11;
// A string grows by at most one symbol per entry: 1790 entries past the roots.
inline constexpr unsigned MAX_STRING = 1791;

template <Alphabet A>
struct AlphabetTraits;

template <>
struct AlphabetTraits<Alphabet::BYTE_SYMBOLS> {
    using Symbol = std::uint8_t;
    static constexpr unsigned SYMBOLS = 256;
    static constexpr unsigned CLEAR = CLEAR_CODE;
    static constexpr unsigned END = END_CODE;
    static constexpr unsigned FIRST = 258;
    static constexpr unsigned WIDTH = 9;
};
template <>
struct AlphabetTraits<Alphabet::BYTE_SYMBOLS_2> {
    using Symbol = std::uint8_t;
    static constexpr unsigned SYMBOLS = 256;
    static constexpr unsigned CLEAR = CLEAR_CODE_2;
    static constexpr unsigned END = END_CODE_2;
    static constexpr unsigned FIRST = 260;
    static constexpr unsigned WIDTH = 9;
};
template <>
struct AlphabetTraits<Alphabet::WIDE_SYMBOLS> {
    using Symbol = std::uint16_t;
    static constexpr unsigned SYMBOLS = 512;
    static constexpr unsigned CLEAR = WIDE_CLEAR_CODE;
    static constexpr unsigned END = WIDE_END_CODE;
    static constexpr unsigned FIRST = 514;
    static constexpr unsigned WIDTH = 10;
};

template <Alphabet A>
using SymbolOf = typename AlphabetTraits<A>::Symbol;

// ---------------------------------------------------------------------------
// Bit output. Bits gather in a 64-bit accumulator and leave it four bytes at
// a time; bytes at or past the capacity are counted, not stored. Every byte
// up to the finished length is stored whole, so the output never depends on
// what the destination held.
class BitWriter {
public:
    BitWriter(std::uint8_t* dst, std::int32_t cap) noexcept : dst_(dst), cap_(cap < 0 ? 0 : cap) {}
    // Starts at bit `startBit` (below 8) of byte `startByte`; the bits below
    // it in that byte are stored as zero.
    BitWriter(std::uint8_t* dst, std::int32_t cap, std::int64_t startByte, unsigned startBit) noexcept
        : dst_(dst), cap_(cap < 0 ? 0 : cap), pos_(startByte), bits_(startBit) {}

    // Raw bytes, each packed as an 8-bit field (plain bytes when the
    // writer stands on a byte boundary, as it does for headers).
    void putBytes(const std::uint8_t* p, std::int64_t n) noexcept {
        for (std::int64_t i = 0; i < n; ++i) put(p[i], 8);
    }

    // A `width`-bit field (width up to 32); `value` must be below 2^width.
    void put(std::uint32_t value, unsigned width) noexcept {
        acc_ |= static_cast<std::uint64_t>(value) << bits_;
        bits_ += width;
        if (bits_ >= 32) {
            if (pos_ + 4 <= cap_) {
                store32(dst_ + pos_, static_cast<std::uint32_t>(acc_));
            } else {
                storeTail(4);
            }
            pos_ += 4;
            acc_ >>= 32;
            bits_ -= 32;
        }
    }

    // Bit position of the next bit to be written, from the start.
    std::int64_t bitPosition() const noexcept { return pos_ * 8 + bits_; }

    // Stores the partly filled last byte and one byte more when the last
    // code ended on a byte boundary, and returns the full length.
    std::int64_t finish() noexcept {
        const unsigned n = bits_ / 8 + 1;
        storeTail(n);
        pos_ += n;
        acc_ = 0;
        bits_ = 0;
        return pos_;
    }

private:
    void storeTail(unsigned n) noexcept {
        for (unsigned i = 0; i < n; ++i) {
            const std::int64_t at = pos_ + i;
            if (at < cap_) dst_[at] = static_cast<std::uint8_t>(acc_ >> (8 * i));
        }
    }

    std::uint8_t* dst_;
    std::int64_t cap_;
    std::int64_t pos_ = 0;  // bytes already stored (or counted)
    std::uint64_t acc_ = 0;
    unsigned bits_ = 0;  // pending bits in acc_, below 32 between calls
};

// ---------------------------------------------------------------------------
// Bit input over src[0..len). A read that would need a bit at or past the end
// fails instead; eight bytes are loaded at once wherever they lie inside the
// source. A start bit outside the source (say, computed from a damaged
// header) leaves the reader exhausted.
class BitReader {
public:
    BitReader(const std::uint8_t* src, std::int32_t len, std::int64_t startBit = 0) noexcept
        : src_(src), len_(len < 0 ? 0 : len), bit_(startBit) {
        if (bit_ < 0 || bit_ > len_ * 8) bit_ = len_ * 8;
    }

    // Reads a `width`-bit field (width up to 32).
    bool read(unsigned width, std::uint32_t& out) noexcept {
        // bit_ is never negative (see the constructor).
        const std::uint64_t byte = static_cast<std::uint64_t>(bit_) >> 3;
        const std::uint64_t len = static_cast<std::uint64_t>(len_);
        const unsigned shift = static_cast<unsigned>(bit_ & 7);
        std::uint64_t window;
        if (byte + 8 <= len) {
            window = load64(src_ + byte) >> shift;
        } else {
            if (bit_ + width > len_ * 8) return false;
            window = 0;
            for (std::uint64_t i = byte; i < len && i < byte + 8; ++i)
                window |= static_cast<std::uint64_t>(src_[i]) << (8 * (i - byte));
            window >>= shift;
        }
        out = static_cast<std::uint32_t>(window & ((std::uint64_t{1} << width) - 1u));
        bit_ += width;
        return true;
    }

    bool readBytes(std::uint8_t* out, std::int64_t n) noexcept {
        for (std::int64_t i = 0; i < n; ++i) {
            std::uint32_t b;
            if (!read(8, b)) return false;
            out[i] = static_cast<std::uint8_t>(b);
        }
        return true;
    }

    void rewind(unsigned bits) noexcept { bit_ -= bits; }
    std::int64_t bitPosition() const noexcept { return bit_; }

    // After the last end code: the source holds the whole byte of the next
    // bit (the encoder's length always covers it), and the bits after the end
    // code in that byte are zero, as the encoder leaves them.
    bool endCovered() const noexcept {
        const std::int64_t byte = bit_ >> 3;
        if (byte >= len_) return false;
        const unsigned used = static_cast<unsigned>(bit_ & 7);
        return (src_[byte] >> used) == 0;
    }

private:
    const std::uint8_t* src_;
    std::int64_t len_;
    std::int64_t bit_;
};

// ---------------------------------------------------------------------------
// The encoder's dictionary: an open-addressing hash of (prefix, symbol) ->
// code. A slot holds the pair and the code in one 32-bit word, 0 when empty
// (a pair always carries a code of 258 or more). A clear empties only the
// slots this generation used, which the dictionary lists as it fills them.
// 8192 slots keep the load at most 0.22, so most look-ups touch one slot.
// Each code also remembers the last (symbol, code) pair found or added under
// it: process data repeats itself, and that check is a single load where the
// hash costs several steps, on the path every symbol waits on.
class CodeDictionary {
public:
    static constexpr unsigned SLOT_BITS = 13;
    static constexpr unsigned SLOTS = 1u << SLOT_BITS;

    CodeDictionary() noexcept {
        std::memset(slots_, 0, sizeof slots_);
        std::memset(recent_, 0, sizeof recent_);
    }

    void reset() noexcept {
        for (unsigned i = 0; i < used_; ++i) slots_[usedSlots_[i]] = 0;
        used_ = 0;
        std::memset(recent_, 0, sizeof recent_);
    }

    // Looks up the pair. Returns the code, or 0 when absent (every entry is
    // at least 258); `slot` is then where the pair belongs.
    unsigned find(unsigned prefix, unsigned symbol, unsigned& slot) noexcept {
        const std::uint32_t r = recent_[prefix];
        if ((r >> 16) == symbol + 1) return r & 0xFFFFu;
        const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 10) | symbol;
        unsigned i = hash(prefix, symbol);
        for (;;) {
            const std::uint32_t s = slots_[i];
            if ((s >> 11) == key && s != 0) {
                recent_[prefix] = ((symbol + 1) << 16) | (s & 0x7FFu);
                return s & 0x7FFu;
            }
            if (s == 0) {
                slot = i;
                return 0;
            }
            i = (i + 1) & (SLOTS - 1);
        }
    }

    void add(unsigned slot, unsigned prefix, unsigned symbol, unsigned code) noexcept {
        slots_[slot] = (static_cast<std::uint32_t>(prefix) << 21) | (static_cast<std::uint32_t>(symbol) << 11) | code;
        usedSlots_[used_++] = static_cast<std::uint16_t>(slot);
        recent_[prefix] = ((symbol + 1) << 16) | code;
    }

private:
    // Each look-up waits on the code the previous one found, so the prefix
    // takes only one cheap step (times 9, a single address computation); the
    // symbol's part is computed beside it. Both factors are odd, so the
    // symbols of one prefix, and the prefixes of one symbol, land on
    // distinct slots.
    static unsigned hash(unsigned prefix, unsigned symbol) noexcept {
        return ((prefix * 9u) ^ (symbol * 0x2F3u)) & (SLOTS - 1);
    }

    std::uint32_t slots_[SLOTS];
    std::uint32_t recent_[CODE_LIMIT];
    std::uint16_t usedSlots_[CODE_LIMIT];
    unsigned used_ = 0;
};

// The encoder's dictionary for long passes of byte symbols: a direct table
// of every (symbol, prefix) pair, 2 bytes per pair, 1 MB in all, on the heap,
// with its own walk (EncodeDriver hands a pass to encodePass).
//
// A pair that is absent holds its own symbol. On a miss the next string
// starts with that symbol, so whatever the look-up finds is the next prefix,
// hit or miss: the walk's only dependent step from symbol to symbol is one
// load, whose address waits on nothing else. What a miss also does (emit the
// prefix, add the pair, count the code) is done on every symbol with the
// miss as a 0/1 factor, so no branch waits on the look-up either; a hit adds
// its pair to a spare slot past the table instead. A full dictionary is the
// one branch taken on data, once per 1790 codes. Where most symbols miss, a
// walk that branches on the miss serves better (see encodePass). The codes
// emitted are gathered in a small buffer and packed with their widths a
// chunk at a time.
//
// Allocation may fail; ready() says whether the table exists, and callers
// fall back to CodeDictionary, which codes the same stream.
class DirectDictionary {
public:
    static constexpr unsigned SYMBOLS = 256;

    DirectDictionary() noexcept
        : child_(static_cast<std::uint16_t*>(std::malloc((TABLE + 1) * sizeof(std::uint16_t)))) {
        if (child_ == nullptr) return;
        for (unsigned s = 0; s < SYMBOLS; ++s) {
            std::uint16_t* row = child_ + std::size_t{s} * CODE_LIMIT;
            for (unsigned p = 0; p < CODE_LIMIT; ++p) row[p] = static_cast<std::uint16_t>(s);
        }
        child_[TABLE] = 0;
    }
    ~DirectDictionary() { std::free(child_); }
    DirectDictionary(const DirectDictionary&) = delete;
    DirectDictionary& operator=(const DirectDictionary&) = delete;

    bool ready() const noexcept { return child_ != nullptr; }

    // One pass of a byte-symbol model; see EncodeDriver.
    template <typename Model>
    void encodePass(Model& model, BitWriter& out) noexcept;

private:
    static constexpr std::size_t TABLE = std::size_t{SYMBOLS} * CODE_LIMIT;  // the spare slot's index
    static constexpr std::size_t CHUNK = 4096;  // symbols walked between packings

    // Every pair added since the last clear holds its own symbol again.
    void clear(unsigned used) noexcept {
        for (unsigned i = 0; i < used; ++i)
            child_[usedSlots_[i]] = static_cast<std::uint16_t>(usedSlots_[i] / CODE_LIMIT);
    }

    std::uint16_t* child_;
    std::uint32_t usedSlots_[CODE_LIMIT];
};

// Below this many symbols a pass is too short to repay the direct table's
// allocation and first touches; the hashed dictionary serves it.
inline constexpr std::int64_t DIRECT_DICTIONARY_MIN_SYMBOLS = 16384;

// Calls body(dictionary) with the dictionary suited to a pass (or passes
// in turn) of `symbols` symbols.
template <Alphabet A, typename Body>
auto WithDictionary(std::int64_t symbols, Body body) noexcept {
    if constexpr (AlphabetTraits<A>::SYMBOLS == DirectDictionary::SYMBOLS) {
        if (symbols >= DIRECT_DICTIONARY_MIN_SYMBOLS) {
            DirectDictionary direct;
            if (direct.ready()) return body(direct);
        }
    }
    CodeDictionary hashed;
    return body(hashed);
}

// A model for sources whose symbols come one per record of STRIDE bytes,
// each worked out from its record by `extract`; the symbols are gathered
// into blocks for the driver.
template <Alphabet A, std::size_t STRIDE, typename Extract>
class RecordSymbols {
public:
    static constexpr Alphabet ALPHABET = A;
    using Symbol = SymbolOf<A>;

    RecordSymbols(const std::uint8_t* first, std::int64_t records, Extract extract) noexcept
        : at_(first), left_(records), extract_(extract) {}

    const Symbol* NextBlock() noexcept {
        const std::int64_t n = left_ < BLOCK ? left_ : BLOCK;
        for (std::int64_t i = 0; i < n; ++i)
            buffer_[i] = static_cast<Symbol>(extract_(at_ + i * static_cast<std::int64_t>(STRIDE)));
        at_ += n * static_cast<std::int64_t>(STRIDE);
        left_ -= n;
        size_ = static_cast<std::size_t>(n);
        return buffer_;
    }
    std::size_t blockSize() const noexcept { return size_; }
    bool moreInput() const noexcept { return left_ > 0; }

private:
    static constexpr std::int64_t BLOCK = 2048;

    const std::uint8_t* at_;
    std::int64_t left_;
    Extract extract_;
    std::size_t size_ = 0;
    Symbol buffer_[BLOCK];
};

// One pass: the clear code, the codes of every symbol the model hands out,
// and the end code, appended to `out` wherever it stands. The symbols are
// walked block by block from plain arrays, and the writer is a local copy:
// the loop's state stays in registers, where the model's or the caller's
// objects would be reloaded after every byte stored.
template <typename Model, typename Dictionary>
void EncodeDriver(Model& model, BitWriter& out, Dictionary& dictionary) noexcept {
    using T = AlphabetTraits<Model::ALPHABET>;
    using Symbol = typename T::Symbol;
    dictionary.reset();
    unsigned nextCode = T::FIRST;
    unsigned codeWidth = T::WIDTH;
    BitWriter writer = out;
    writer.put(T::CLEAR, codeWidth);

    const Symbol* at = nullptr;
    const Symbol* end = nullptr;
    // Every pass holds at least one symbol, and a block at least one.
    auto nextSymbol = [&]() noexcept -> unsigned {
        if (at == end) {
            at = model.NextBlock();
            end = at + model.blockSize();
        }
        return *at++;
    };

    unsigned prefix = nextSymbol();
    for (;;) {
        while (at != end) {
            const unsigned symbol = *at++;
            unsigned slot = 0;
            const unsigned code = dictionary.find(prefix, symbol, slot);
            if (code != 0) {
                prefix = code;
                continue;
            }
            writer.put(prefix, codeWidth);
            dictionary.add(slot, prefix, symbol, nextCode);
            ++nextCode;
            if (nextCode == 513 || nextCode == 1025) ++codeWidth;
            prefix = symbol;
            if (nextCode == CODE_LIMIT) [[unlikely]] {
                if (at == end && !model.moreInput()) break;
                // A full dictionary: the symbol stands alone as a code, then
                // the clear; the next string starts with the next symbol.
                writer.put(symbol, codeWidth);
                writer.put(T::CLEAR, codeWidth);
                dictionary.reset();
                nextCode = T::FIRST;
                codeWidth = T::WIDTH;
                prefix = nextSymbol();
            }
        }
        if (!model.moreInput()) break;
        at = model.NextBlock();
        end = at + model.blockSize();
    }
    writer.put(prefix, codeWidth);
    writer.put(T::END, codeWidth);
    out = writer;
}

namespace detail {

// Packs the codes a walk gathered, giving each the width the encoder holds
// when it emits it: a data code is as wide as the dictionary's next code,
// which grows by one with each, and a clear or end code is as wide as the
// code before it. The codes of one pass may come in any number of calls.
template <Alphabet A>
class CodePacker {
    using T = AlphabetTraits<A>;

public:
    void pack(BitWriter& out, const std::uint16_t* codes, std::size_t n) noexcept {
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned code = codes[i];
            if (code == T::CLEAR || code == T::END) {
                out.put(code, width_);
                nextCode_ = T::FIRST;
            } else {
                width_ = 9u + (nextCode_ > 512 ? 1u : 0u) + (nextCode_ > 1024 ? 1u : 0u);
                out.put(code, width_);
                ++nextCode_;
            }
        }
    }

private:
    unsigned nextCode_ = T::FIRST;
    unsigned width_ = T::WIDTH;
};

}  // namespace detail

template <typename Model>
void DirectDictionary::encodePass(Model& model, BitWriter& out) noexcept {
    using T = AlphabetTraits<Model::ALPHABET>;
    static_assert(T::SYMBOLS == SYMBOLS && T::FIRST > SYMBOLS);
    using Symbol = typename T::Symbol;

    std::uint16_t* const table = child_;
    std::uint32_t* const usedSlots = usedSlots_;
    BitWriter writer = out;
    detail::CodePacker<Model::ALPHABET> packer;
    // A chunk emits at most one code per symbol, plus the first clear, the
    // symbol and clear of a full dictionary, or the last prefix and the end
    // code.
    std::uint16_t codes[CHUNK + 4];
    std::size_t emitted = 0;
    codes[emitted++] = T::CLEAR;

    const Symbol* at = nullptr;
    const Symbol* end = nullptr;
    auto nextSymbol = [&]() noexcept -> unsigned {
        if (at == end) {
            at = model.NextBlock();
            end = at + model.blockSize();
        }
        return *at++;
    };

    unsigned nextCode = T::FIRST;
    unsigned used = 0;
    unsigned prefix = nextSymbol();
    bool last = false;  // a full dictionary on the last symbol: no clear follows

    // Walks symbols up to `stop`, or to a clear. SELECT: the branch-free
    // step; otherwise a step that branches on the miss.
    auto walk = [&]<bool SELECT>(const Symbol* stop) noexcept {
        while (at != stop) {
            const unsigned symbol = *at++;
            const std::uint16_t* row = table + std::size_t{symbol} * CODE_LIMIT;
#if defined(__GNUC__)
            // Keeps the row's address whole, so the compiler cannot fold the
            // symbol's part in beside the prefix and lengthen the chain by
            // an add.
            __asm__("" : "+r"(row));
#endif
            const unsigned next = row[prefix];
            const unsigned slot = symbol * CODE_LIMIT + prefix;
            if constexpr (SELECT) {
                const unsigned miss = next < SYMBOLS;
                const std::size_t onMiss = std::size_t{0} - miss;  // all ones on a miss
                codes[emitted] = static_cast<std::uint16_t>(prefix);
                emitted += miss;
                table[TABLE ^ ((slot ^ TABLE) & onMiss)] = static_cast<std::uint16_t>(nextCode);
                usedSlots[used] = slot;
                used += miss;
                nextCode += miss;
                prefix = next;
            } else {
                if (next >= SYMBOLS) {
                    prefix = next;
                    continue;
                }
                codes[emitted++] = static_cast<std::uint16_t>(prefix);
                table[slot] = static_cast<std::uint16_t>(nextCode);
                usedSlots[used++] = slot;
                ++nextCode;
                // The symbol itself, not the load that found it, so that a
                // run of misses does not chain its look-ups.
                prefix = symbol;
            }
            if (nextCode == CODE_LIMIT) [[unlikely]] {
                if (at == end && !model.moreInput()) {
                    last = true;
                    return;
                }
                // A full dictionary: the symbol stands alone as a code, then
                // the clear; the next string starts with the next symbol,
                // which may open a new block.
                codes[emitted++] = static_cast<std::uint16_t>(symbol);
                codes[emitted++] = T::CLEAR;
                clear(used);
                used = 0;
                nextCode = T::FIRST;
                prefix = nextSymbol();
                return;
            }
        }
    };

    // Branch-free, unless most symbols are misses (data that barely
    // repeats): there the branch is easy to predict, and a miss's next
    // look-up need not wait for the last. Each chunk's share of misses
    // picks the walk for the next.
    bool select = true;
    while (!last) {
        while (at != end && !last) {
            const std::size_t length = std::min(static_cast<std::size_t>(end - at), CHUNK);
            const Symbol* stop = at + length;
            if (select) {
                walk.template operator()<true>(stop);
            } else {
                walk.template operator()<false>(stop);
            }
            if (at == stop) select = emitted * 2 <= length;
            packer.pack(writer, codes, emitted);
            emitted = 0;
        }
        if (last || !model.moreInput()) break;
        at = model.NextBlock();
        end = at + model.blockSize();
    }
    codes[emitted++] = static_cast<std::uint16_t>(prefix);
    codes[emitted++] = T::END;
    packer.pack(writer, codes, emitted);
    clear(used);
    out = writer;
}

// A pass on the direct table takes its own walk.
template <typename Model>
void EncodeDriver(Model& model, BitWriter& out, DirectDictionary& dictionary) noexcept {
    dictionary.encodePass(model, out);
}

// ---------------------------------------------------------------------------
// The decoder's code table and symbol history. An entry is its prefix code,
// last symbol, length and where its string last appeared in the history;
// entries past the history window are rebuilt back to front through their
// prefixes, so no string needs recursion. Decoded symbols reach the sink in
// blocks straight from the history. One table serves every alphabet of its
// symbol type (both byte alphabets share one) and any number of passes in
// turn: each pass starts it afresh.
template <typename SymbolType>
class CodeTable {
public:
    using Symbol = SymbolType;
    static constexpr unsigned ROOTS = sizeof(Symbol) == 1 ? 256 : 512;
    static constexpr std::size_t HISTORY = 16384;  // symbols
    static constexpr std::size_t KEEP = 4096;      // kept behind the write point when sliding
    static constexpr std::size_t SLACK = 16;       // room for block copies to run over

    CodeTable() noexcept {
        for (unsigned s = 0; s < ROOTS; ++s) {
            prefix_[s] = 0;
            last_[s] = static_cast<Symbol>(s);
            length_[s] = 1;
            head_[s] = s;
            tail_[s] = 0;
        }
        // Block copies may read a few symbols past what was written.
        std::memset(history_, 0, sizeof history_);
    }

    // Used by DecodeDriver only; a table may serve several passes in turn.
    std::uint16_t prefix_[CODE_LIMIT];
    Symbol last_[CODE_LIMIT];
    std::uint16_t length_[CODE_LIMIT];
    std::uint32_t start_[CODE_LIMIT];  // history position, modulo 2^32
    // The first HEAD symbols of the string (all of a shorter one, zeros
    // after it) and the next HEAD, so that most strings are written with two
    // stores and no branch on their length: up to sixteen bytes, or four
    // 9-bit symbols (kept small, as that table is the larger).
    using Head = std::conditional_t<sizeof(Symbol) == 1, std::uint64_t, std::uint32_t>;
    static constexpr std::size_t HEAD = sizeof(Head) / sizeof(Symbol);
    Head head_[CODE_LIMIT];
    Head tail_[CODE_LIMIT];
    static_assert(SLACK >= 2 * HEAD);
    Symbol history_[HISTORY + SLACK];
};

namespace detail {

template <typename Sink, typename Symbol>
inline void deliver(Sink& sink, const Symbol* s, std::size_t n) noexcept {
    if constexpr (requires { sink.putSymbols(s, n); }) {
        sink.putSymbols(s, n);
    } else {
        for (std::size_t i = 0; i < n; ++i) sink.PutSymbol(s[i]);
    }
}

template <typename Sink>
inline bool sinkFailed(const Sink& sink) noexcept {
    if constexpr (requires { sink.failed(); }) {
        return sink.failed();
    } else {
        return false;
    }
}

// Forward copy in which the destination may overlap the source, with the
// meaning of a symbol-by-symbol copy.
template <typename Symbol>
inline void copyForward(Symbol* dst, const Symbol* src, std::size_t n) noexcept {
    constexpr std::size_t BLOCK = 8 / sizeof(Symbol);
    if (static_cast<std::size_t>(dst - src) >= BLOCK) {
        // Whole blocks may run up to BLOCK - 1 symbols past the end; the
        // history keeps slack for that.
        for (std::size_t i = 0; i < n; i += BLOCK) std::memcpy(dst + i, src + i, 8);
    } else {
        for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
    }
}

}  // namespace detail

// One pass: reads codes from `in` up to and including the end code and hands
// the decoded symbols to the sink. A stream that Encode cannot have made
// stops at once with CODEC_BAD_STREAM: a first code other than the clear
// code, a code above the one being defined, a code that is neither a symbol
// nor a control code of this alphabet, growth past 2048 entries without a
// clear, or a stream that ends before its end code.
//
// The end code follows the last data code with no entry defined in between,
// so when the decoder's next code is exactly 512 or 1024 the encoder wrote it
// one bit narrower than the decoder's width. The reader then gives back the
// extra bit, which leaves it exactly where the encoder's end code ended: a
// second pass starts at the right bit, and the length check is exact.
template <typename Sink>
CodecStatus DecodeCodes(BitReader& in, Sink& sink,
                        CodeTable<SymbolOf<Sink::ALPHABET>>& table) noexcept;

template <typename Sink>
CodecStatus DecodeDriver(BitReader& in, Sink& sink,
                         CodeTable<SymbolOf<Sink::ALPHABET>>& table) noexcept {
    // The reader's position is carried from code to code; in a local copy
    // it stays in a register, where the caller's object would have to be
    // reloaded after every symbol stored (byte stores may alias it).
    BitReader reader = in;
    const CodecStatus status = DecodeCodes(reader, sink, table);
    in = reader;
    return status;
}

template <typename Sink>
CodecStatus DecodeCodes(BitReader& in, Sink& sink,
                        CodeTable<SymbolOf<Sink::ALPHABET>>& table) noexcept {
    constexpr Alphabet A = Sink::ALPHABET;
    using T = AlphabetTraits<A>;
    using Symbol = typename T::Symbol;
    using Table = CodeTable<Symbol>;
    static_assert(Table::ROOTS == T::SYMBOLS);
    constexpr unsigned HEAD = Table::HEAD;
    Symbol* const hist = table.history_;

    std::size_t fill = 0;       // symbols in the history
    std::size_t delivered = 0;  // of those, handed to the sink
    std::uint32_t base = 0;     // history position of hist[0], modulo 2^32

    unsigned nextCode = T::FIRST;
    unsigned codeWidth = T::WIDTH;
    unsigned previous = 0;
    std::size_t previousAt = 0;  // index in hist where the previous string starts
    // The previous string's length and head, kept at hand: the next entry
    // is built from them, and reloading them from the table would wait on
    // the stores that just wrote it.
    unsigned previousLength = 1;
    typename Table::Head previousHead = 0;
    typename Table::Head previousTail = 0;

    // Room for the longest string; slides the history when it runs out.
    auto makeRoom = [&]() noexcept {
        if (fill + MAX_STRING <= Table::HISTORY) return true;
        detail::deliver(sink, hist + delivered, fill - delivered);
        if (detail::sinkFailed(sink)) return false;
        const std::size_t drop = fill - Table::KEEP;
        std::memmove(hist, hist + drop, Table::KEEP * sizeof(Symbol));
        base += static_cast<std::uint32_t>(drop);
        fill = Table::KEEP;
        delivered = Table::KEEP;
        previousAt -= drop;
        return true;
    };
    // Entry nextCode: the previous string followed by `first`.
    auto define = [&](Symbol first) noexcept {
        const unsigned n = previousLength;
        const typename Table::Head head = previousHead;
        table.prefix_[nextCode] = static_cast<std::uint16_t>(previous);
        table.last_[nextCode] = first;
        table.length_[nextCode] = static_cast<std::uint16_t>(n + 1);
        table.start_[nextCode] = base + static_cast<std::uint32_t>(previousAt);
        using Head = typename Table::Head;
        constexpr unsigned BITS = 8 * sizeof(Symbol);
        // The new symbol lands in the head, in the tail, or past both.
        const Head inHead = n < HEAD ? static_cast<Head>(static_cast<Head>(first) << (BITS * (n % HEAD))) : 0;
        const Head inTail =
            n - HEAD < HEAD ? static_cast<Head>(static_cast<Head>(first) << (BITS * (n % HEAD))) : 0;
        table.head_[nextCode] = static_cast<Head>(head | inHead);
        table.tail_[nextCode] = static_cast<Head>(previousTail | inTail);
    };

    std::uint32_t code;
    if (!in.read(codeWidth, code) || code != T::CLEAR) return CODEC_BAD_STREAM;

    for (;;) {
        // After a clear code: a fresh table; a run of clears counts as one,
        // and the first code must be a symbol.
        nextCode = T::FIRST;
        codeWidth = T::WIDTH;
        do {
            if (!in.read(codeWidth, code)) return CODEC_BAD_STREAM;
        } while (code == T::CLEAR);
        if (code == T::END) break;
        if (code >= T::SYMBOLS) return CODEC_BAD_STREAM;
        previousAt = fill;  // nothing before the clear is referred to any more
        if (!makeRoom()) return CODEC_BAD_STREAM;
        hist[fill] = static_cast<Symbol>(code);
        previous = code;
        previousAt = fill;
        previousLength = 1;
        previousHead = table.head_[code];
        previousTail = 0;
        ++fill;

        bool ended = false;
        for (;;) {
            if (!in.read(codeWidth, code)) return CODEC_BAD_STREAM;
            // A symbol or an entry already defined: the common case, with
            // control codes and the entry being defined off to the side.
            // (Bitwise or: which of the two holds is data, not worth a branch.)
            const bool known = (code < T::SYMBOLS) | (code - T::FIRST < nextCode - T::FIRST);
            bool definedHere = false;
            if (!known) [[unlikely]] {
                if (code == T::END) {
                    if (nextCode == 512 || nextCode == 1024) in.rewind(1);
                    ended = true;
                    break;
                }
                if (code == T::CLEAR) break;
                if (code != nextCode || nextCode == CODE_LIMIT) return CODEC_BAD_STREAM;
                // The entry being defined: the previous string and its own
                // first symbol. Define it first, then expand it like any other.
                define(static_cast<Symbol>(previousHead));
                definedHere = true;
            } else if (nextCode == CODE_LIMIT) [[unlikely]] {
                return CODEC_BAD_STREAM;
            }
            if (!makeRoom()) return CODEC_BAD_STREAM;
            const std::size_t at = fill;
            const std::size_t n = table.length_[code];
            const typename Table::Head head = table.head_[code];
            const typename Table::Head tail = table.tail_[code];
            std::memcpy(hist + at, &head, sizeof head);
            std::memcpy(hist + at + HEAD, &tail, sizeof tail);
            if (n > 2 * HEAD) [[unlikely]] {
                const std::uint32_t back =
                    base + static_cast<std::uint32_t>(at) - table.start_[code];
                if (back <= at) {
                    detail::copyForward(hist + at, hist + (at - back), n);
                } else {
                    unsigned c = code;
                    for (std::size_t i = n; i-- > 0;) {
                        hist[at + i] = table.last_[c];
                        c = table.prefix_[c];
                    }
                }
            }
            fill = at + n;
            // A string's first symbol is the lowest of its head.
            if (!definedHere) define(static_cast<Symbol>(head));
            ++nextCode;
            if (nextCode == 512 || nextCode == 1024) ++codeWidth;
            previous = code;
            previousAt = at;
            previousLength = static_cast<unsigned>(n);
            previousHead = head;
            previousTail = tail;
        }
        if (ended) break;
    }
    detail::deliver(sink, hist + delivered, fill - delivered);
    if (detail::sinkFailed(sink)) return CODEC_BAD_STREAM;
    return CODEC_OK;
}

}  // namespace reduct::lzw

#endif  // REDUCT_LZW_CORE_H
