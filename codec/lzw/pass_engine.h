// Variable-width LZW passes over one shared bit stream, for the byte-plane
// (13) and float-split (12) coders.
//
// Code stream of one pass, packed least significant bit first from any bit
// position of the stream:
//
//   | codes                         | width                                      |
//   |-------------------------------|--------------------------------------------|
//   | clear code                    | initial width (9, or 10 for 9-bit symbols) |
//   | data codes, clears after a    | grows by one bit when the encoder's next   |
//   | full dictionary               | free code reaches 513 and 1025             |
//   | end code                      | the width at that moment                   |
//
// Alphabets (root code = symbol; control codes next; dictionary codes from
// the first dictionary code up to 2047):
//
//   | alphabet        | symbols | clear | end | first dictionary code | initial width |
//   |-----------------|---------|-------|-----|-----------------------|---------------|
//   | BYTE_SYMBOLS    | 0..255  | 256   | 257 | 258                   | 9             |
//   | BYTE_SYMBOLS_2  | 0..255  | 258   | 259 | 260                   | 9             |
//   | WIDE_SYMBOLS    | 0..511  | 512   | 513 | 514                   | 10            |
//
// When a miss assigns code 2047 and input remains, the encoder writes the
// current symbol as a code of its own and then the clear code, both at 11
// bits, and starts a fresh dictionary with the next symbol. A pass that runs
// out of input right there ends with that symbol and the end code instead.
//
// The decoder adds each entry one code later than the encoder and widens at
// 512 and 1024, so both sides agree on every width except that of an end
// code written while the encoder's next code is exactly 512 or 1024: it is
// one bit narrower than the decoder reads it. The decoder gives that bit
// back, so its position after a pass is exactly where the encoder left off
// and a following pass starts at the right bit.
//
// Nothing here allocates: the encoder's dictionary is an open-addressing
// hash table and the decoder's table a flat array, both held by the caller
// (on the stack, about 36 KB and 16 KB).
#ifndef REDUCT_LZW_PASS_ENGINE_H
#define REDUCT_LZW_PASS_ENGINE_H

#include <cstdint>
#include <cstring>

#include "entry/byte_io.h"

namespace reduct::lzw_pass {

struct Alphabet {
    std::uint16_t rootCount;  // symbols 0..rootCount-1 are their own codes
    std::uint16_t clearCode;
    std::uint16_t endCode;
    std::uint16_t firstCode;  // first dictionary code
    unsigned initialWidth;
};

inline constexpr Alphabet BYTE_SYMBOLS{256, 256, 257, 258, 9};
inline constexpr Alphabet BYTE_SYMBOLS_2{256, 258, 259, 260, 9};
inline constexpr Alphabet WIDE_SYMBOLS{512, 512, 513, 514, 10};

inline constexpr unsigned CODE_LIMIT = 2048;

// Appends bit fields least significant bit first to dst[0..cap). Whole
// bytes are stored as they complete (never OR-ed into what the destination
// held); past the capacity the writer only counts.
class BitWriter {
public:
    BitWriter(std::uint8_t* dst, std::int32_t cap) noexcept : base_(dst), cap_(cap < 0 ? 0 : cap) {}

    // value < 2^width, width <= 32.
    void put(std::uint32_t value, unsigned width) noexcept {
        acc_ |= static_cast<std::uint64_t>(value) << fill_;
        fill_ += width;
        if (fill_ >= 32) flush32();
    }

    std::uint64_t bitPosition() const noexcept {
        return static_cast<std::uint64_t>(pos_) * 8 + fill_;
    }

    // Stores the pending bits and returns the stream length: every byte the
    // last field touched plus the byte holding the bit right after it (one
    // spare zero byte when the stream ends on a byte boundary).
    std::int64_t finish() noexcept {
        const std::int64_t length = static_cast<std::int64_t>(bitPosition() / 8) + 1;
        std::uint64_t bits = acc_;
        for (; pos_ < length; ++pos_) {
            if (pos_ < cap_) base_[pos_] = static_cast<std::uint8_t>(bits);
            bits >>= 8;
        }
        acc_ = 0;
        fill_ = 0;
        return length;
    }

private:
    void flush32() noexcept {
        const auto low = static_cast<std::uint32_t>(acc_);
        if (cap_ - pos_ >= 4) {
            store32(base_ + pos_, low);
        } else {
            for (std::int64_t i = 0; i < 4 && pos_ + i < cap_; ++i)
                base_[pos_ + i] = static_cast<std::uint8_t>(low >> (8 * i));
        }
        pos_ += 4;
        acc_ >>= 32;
        fill_ -= 32;
    }

    std::uint8_t* base_;
    std::int64_t cap_;
    std::int64_t pos_ = 0;  // bytes stored (or counted)
    std::uint64_t acc_ = 0;
    unsigned fill_ = 0;     // pending bits in acc_, < 32 between calls
};

// Reads bit fields least significant bit first from src[0..len), starting at
// any bit. A field that would reach past the last byte is refused.
class BitReader {
public:
    BitReader(const std::uint8_t* src, std::int32_t len, std::uint64_t startBit) noexcept
        : src_(src),
          len_(len < 0 ? 0u : static_cast<std::uint64_t>(len)),
          totalBits_(len_ * 8),
          pos_(startBit) {}

    // width <= 25.
    bool get(unsigned width, std::uint32_t& value) noexcept {
        const std::uint64_t byte = pos_ >> 3;
        const unsigned shift = static_cast<unsigned>(pos_ & 7);
        const std::uint32_t mask = (std::uint32_t{1} << width) - 1;
        if (byte + 8 <= len_) {
            value = static_cast<std::uint32_t>(load64(src_ + byte) >> shift) & mask;
        } else {
            if (pos_ + width > totalBits_) return false;
            std::uint64_t window = 0;
            for (std::uint64_t i = 0; byte + i < len_ && i < 8; ++i)
                window |= static_cast<std::uint64_t>(src_[byte + i]) << (8 * i);
            value = static_cast<std::uint32_t>(window >> shift) & mask;
        }
        pos_ += width;
        return true;
    }

    void giveBack(unsigned bits) noexcept { pos_ -= bits; }
    std::uint64_t position() const noexcept { return pos_; }
    std::uint64_t totalBits() const noexcept { return totalBits_; }

private:
    const std::uint8_t* src_;
    std::uint64_t len_;
    std::uint64_t totalBits_;
    std::uint64_t pos_;
};

// The encoder's map from (prefix code, symbol) to the code of the longer
// string: open addressing over 8192 slots, at most 1790 in use, so probes
// stay short. A slot holds (key << 11) | code; 0 marks an empty slot, which
// no entry can be since every dictionary code is at least 258.
class CodeDictionary {
public:
    CodeDictionary() noexcept { std::memset(slots_, 0, sizeof slots_); }

    static std::uint32_t key(std::uint32_t prefix, std::uint32_t symbol) noexcept {
        return (prefix << 9) | symbol;
    }

    // Returns the code for key, or 0 and the empty slot where it belongs.
    std::uint32_t find(std::uint32_t k, std::uint32_t& slot) const noexcept {
        std::uint32_t i = (k * 0x9E3779B1u) >> (32 - SLOT_BITS);
        for (;;) {
            const std::uint32_t entry = slots_[i];
            if (entry == 0) {
                slot = i;
                return 0;
            }
            if ((entry >> 11) == k) return entry & 0x7FF;
            i = (i + 1) & (SLOT_COUNT - 1);
        }
    }

    void add(std::uint32_t slot, std::uint32_t k, std::uint32_t code) noexcept {
        slots_[slot] = (k << 11) | code;
        used_[usedCount_++] = static_cast<std::uint16_t>(slot);
    }

    // Empties the slots in use (cheaper than clearing the whole table).
    void reset() noexcept {
        for (unsigned i = 0; i < usedCount_; ++i) slots_[used_[i]] = 0;
        usedCount_ = 0;
    }

private:
    static constexpr unsigned SLOT_BITS = 13;
    static constexpr std::uint32_t SLOT_COUNT = 1u << SLOT_BITS;
    std::uint32_t slots_[SLOT_COUNT];
    std::uint16_t used_[CODE_LIMIT];
    unsigned usedCount_ = 0;
};

// Codes count >= 1 symbols, symbol(i) for i = 0..count-1, as one pass: clear
// code, data codes, end code. The dictionary must be empty on entry and is
// empty again on return.
template <typename SymbolAt>
void encodePass(BitWriter& out, CodeDictionary& dict, const Alphabet& a, std::int64_t count,
                SymbolAt symbol) noexcept {
    std::uint32_t nextCode = a.firstCode;
    unsigned width = a.initialWidth;
    out.put(a.clearCode, width);

    std::int64_t i = 0;
    std::uint32_t prefix = symbol(i++);
    while (i < count) {
        const std::uint32_t s = symbol(i++);
        const std::uint32_t k = CodeDictionary::key(prefix, s);
        std::uint32_t slot = 0;
        const std::uint32_t code = dict.find(k, slot);
        if (code != 0) {
            prefix = code;
            continue;
        }
        out.put(prefix, width);
        dict.add(slot, k, nextCode);
        ++nextCode;
        if (nextCode == 513 || nextCode == 1025) ++width;
        prefix = s;
        if (nextCode == CODE_LIMIT && i < count) {
            out.put(s, width);
            out.put(a.clearCode, width);
            dict.reset();
            nextCode = a.firstCode;
            width = a.initialWidth;
            prefix = symbol(i++);
        }
    }
    out.put(prefix, width);
    out.put(a.endCode, width);
    dict.reset();
}

// One decoder table entry: the string of a code is the string of `prefix`
// followed by `suffix`; `first` and `length` are kept so that neither needs
// a walk along the chain.
struct TableEntry {
    std::uint16_t prefix;
    std::uint16_t suffix;
    std::uint16_t first;
    std::uint16_t length;
};

struct CodeTable {
    TableEntry entries[CODE_LIMIT];

    // Hands the symbols of `code`'s string to put(index, symbol), index
    // 0..length-1, last symbol first.
    template <typename Put>
    void walk(std::uint32_t code, Put put) const noexcept {
        for (std::uint32_t k = entries[code].length; k-- > 0;) {
            put(k, entries[code].suffix);
            code = entries[code].prefix;
        }
    }
};

// Decodes one pass starting at the reader's position and leaves the reader
// right behind the pass's end code, as the encoder wrote it. For each code
// the sink gets sink(table, code, length) and returns false to refuse the
// string (too many symbols). Returns false for anything the encoder cannot
// have written: no leading clear code, a code that is neither a root, a
// control code, an assigned code nor the code being defined, a table grown
// past 2048 codes, a refused string, or a stream that ends before its end
// code.
template <typename Sink>
bool decodePass(BitReader& in, CodeTable& table, const Alphabet& a, Sink& sink) noexcept {
    for (std::uint32_t s = 0; s < a.rootCount; ++s) {
        table.entries[s] = {0xFFFF, static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(s), 1};
    }
    std::uint32_t code;
    if (!in.get(a.initialWidth, code) || code != a.clearCode) return false;

    std::uint32_t nextCode;
    unsigned width;
    std::uint32_t previous;
    for (;;) {
        // Just after a clear code: a fresh table, and a run of clears counts
        // as one.
        nextCode = a.firstCode;
        width = a.initialWidth;
        do {
            if (!in.get(width, code)) return false;
        } while (code == a.clearCode);
        if (code == a.endCode) return true;
        if (code >= a.rootCount) return false;
        if (!sink(table, code, 1u)) return false;
        previous = code;

        for (;;) {
            if (!in.get(width, code)) return false;
            if (code == a.endCode) {
                if (nextCode == 512 || nextCode == 1024) in.giveBack(1);
                return true;
            }
            if (code == a.clearCode) break;
            if (nextCode == CODE_LIMIT) return false;
            std::uint32_t first;
            if (code < a.rootCount || (code >= a.firstCode && code < nextCode)) {
                first = table.entries[code].first;
            } else if (code == nextCode) {
                first = table.entries[previous].first;
            } else {
                return false;
            }
            const TableEntry& p = table.entries[previous];
            table.entries[nextCode] = {static_cast<std::uint16_t>(previous),
                                       static_cast<std::uint16_t>(first), p.first,
                                       static_cast<std::uint16_t>(p.length + 1)};
            ++nextCode;
            if (nextCode == 512 || nextCode == 1024) ++width;
            if (!sink(table, code, table.entries[code].length)) return false;
            previous = code;
        }
    }
}

}  // namespace reduct::lzw_pass

#endif  // REDUCT_LZW_PASS_ENGINE_H
