// The wide LZW engine: codes of 9 to 12 bits (4096 codes), an encoder
// dictionary in which escape entries act as roots, a flat decoder table, and
// the bit writer and reader for codes and 12-bit raw fields.
//
// Code values:
//
//   | code       | meaning                                                    |
//   |------------|------------------------------------------------------------|
//   | 0..254     | root codes, one per symbol                                 |
//   | 255        | ESCAPE_SYMBOL: a 12-bit raw field follows; never an entry  |
//   | 256        | CLEAR_CODE: start a new dictionary, width back to 9        |
//   | 257        | END_CODE                                                   |
//   | 258..4095  | dictionary codes, assigned in order after each clear       |
//
// Fields are packed least significant bit first: bit k of the stream is bit
// k mod 8 of byte k div 8, each field starting at the bit after the previous
// one. The encoder widens its codes when its next code becomes 513, 1025 and
// 2049; the decoder, one entry behind, when its next code becomes 512, 1024
// and 2048. Both sides therefore use the same width for every code.
//
// The engine's own parts are allocation-free and bounded: the writer never
// stores at or past the capacity (it keeps counting), the reader never loads
// at or past the source end (it pads with zero bits and remembers that it
// did), and the tables are fixed arrays sized by the code limit.
#ifndef REDUCT_LZW_WIDE_ENGINE_H
#define REDUCT_LZW_WIDE_ENGINE_H

#include <cstdint>
#include <cstring>

#include "entry/byte_io.h"
#include "lzw/lzw_core.h"

namespace reduct::wide {

inline constexpr std::uint32_t MAX_ROOT_SYMBOL = 254;
inline constexpr std::uint32_t ESCAPE_SYMBOL = 255;
inline constexpr std::uint32_t CLEAR_CODE = 256;
inline constexpr std::uint32_t END_CODE = 257;
inline constexpr std::uint32_t FIRST_WIDE_CODE = 258;
inline constexpr std::uint32_t WIDE_CODE_LIMIT = 4096;
inline constexpr std::uint32_t ESCAPE_PREFIX = 0xFFFF;
inline constexpr std::uint32_t MAX_RAW_VALUE = 4095;
inline constexpr unsigned RAW_FIELD_BITS = 12;
inline constexpr unsigned FIRST_CODE_WIDTH = 9;
inline constexpr unsigned MAX_CODE_WIDTH = 12;

// The encoder's WideCodeDictionary: (prefix, symbol) -> code, for prefixes
// and symbols below 4096 and for escape entries (ESCAPE_PREFIX, magnitude).
//
// Open addressing with linear probing over 8192 slots (at most 3839 entries
// per dictionary, so the table is never more than half full). Each slot holds
// the 25-bit key and a 7-bit generation stamp; a slot whose stamp is not the
// current generation counts as empty, so a clear is one increment. Only when
// the stamps wrap is the table wiped, once per 127 clears.
class WideCodeDictionary {
public:
    // Starts empty: stamps begin at 1, and a zero slot belongs to no
    // generation.
    WideCodeDictionary() noexcept {
        std::memset(slots_, 0, sizeof slots_);
        std::memset(codes_, 0, sizeof codes_);
        ResetWideDictionary();
    }

    WideCodeDictionary(const WideCodeDictionary&) = delete;
    WideCodeDictionary& operator=(const WideCodeDictionary&) = delete;

    // nextCode = 258, codeWidth = 9, no entries.
    void ResetWideDictionary() noexcept {
        if (++generation_ > MAX_GENERATION) {
            std::memset(slots_, 0, sizeof slots_);
            generation_ = 1;
        }
        stamp_ = generation_ << KEY_BITS;
        nextCode_ = FIRST_WIDE_CODE;
        codeWidth_ = FIRST_CODE_WIDTH;
        widenAt_ = 513;
    }

    // The code of (prefix, symbol), or 0 when the pair has no entry (every
    // entry's code is at least 258).
    std::uint32_t FindWideCode(std::uint32_t prefix, std::uint32_t symbol) const noexcept {
        const std::uint32_t want = key(prefix, symbol) | stamp_;
        for (std::uint32_t i = slotOf(want);; i = (i + 1) & SLOT_MASK) {
            const std::uint32_t s = slots_[i];
            if (s == want) return codes_[i];
            if ((s & STAMP_MASK) != stamp_) return 0;
        }
    }

    // Adds (prefix, symbol) under nextCode, advances nextCode and widens the
    // codes when nextCode becomes 513, 1025 or 2049.
    void AddWideCode(std::uint32_t prefix, std::uint32_t symbol) noexcept {
        const std::uint32_t k = key(prefix, symbol) | stamp_;
        std::uint32_t i = slotOf(k);
        while ((slots_[i] & STAMP_MASK) == stamp_) i = (i + 1) & SLOT_MASK;
        slots_[i] = k;
        codes_[i] = static_cast<std::uint16_t>(nextCode_);
        if (++nextCode_ == widenAt_) {
            ++codeWidth_;
            widenAt_ = codeWidth_ < MAX_CODE_WIDTH ? 2 * widenAt_ - 1 : NEVER;
        }
    }

    std::uint32_t nextCode() const noexcept { return nextCode_; }
    unsigned codeWidth() const noexcept { return codeWidth_; }

private:
    static constexpr unsigned SLOT_BITS = 13;
    static constexpr std::uint32_t SLOT_COUNT = 1u << SLOT_BITS;
    static constexpr std::uint32_t SLOT_MASK = SLOT_COUNT - 1;
    static constexpr unsigned KEY_BITS = 25;
    static constexpr std::uint32_t STAMP_MASK = ~((1u << KEY_BITS) - 1);
    static constexpr std::uint32_t MAX_GENERATION = (1u << (32 - KEY_BITS)) - 1;
    static constexpr std::uint32_t ESCAPE_KEY = 1u << 24;
    static constexpr std::uint32_t NEVER = 0xFFFFFFFFu;

    // Prefixes and symbols of string entries are codes below 4096, so
    // (prefix << 12) | symbol is exact; escape entries get bit 24 of their own.
    static std::uint32_t key(std::uint32_t prefix, std::uint32_t symbol) noexcept {
        return prefix == ESCAPE_PREFIX ? (ESCAPE_KEY | symbol) : ((prefix << 12) | symbol);
    }
    static std::uint32_t slotOf(std::uint32_t stampedKey) noexcept {
        const std::uint32_t k = stampedKey & ~STAMP_MASK;
        return (k * 0x9E3779B1u) >> (32 - SLOT_BITS);
    }

    std::uint32_t slots_[SLOT_COUNT];
    std::uint16_t codes_[SLOT_COUNT];
    std::uint32_t generation_ = 0;
    std::uint32_t stamp_ = 0;
    std::uint32_t nextCode_ = FIRST_WIDE_CODE;
    std::uint32_t widenAt_ = 513;
    unsigned codeWidth_ = FIRST_CODE_WIDTH;
};

// The decoder's WideCodeTable. An entry is kept as the place of one earlier
// copy of its string in the output (start, length), plus the value of a
// one-element string: a root 0..254 stands for itself, an escape entry for
// the magnitude its raw field carried. A new string entry is always the
// previous code's string followed by the first element of the code read
// after it, which is exactly the output from the previous code's start, one
// element longer. So no prefix chain is ever walked.
struct WideEntry {
    std::uint32_t start;
    std::uint16_t length;
    std::uint16_t value;
};

class WideCodeTable {
public:
    // Entry 4096 is the one the escape step may add as the dictionary fills.
    static constexpr std::uint32_t ENTRY_COUNT = WIDE_CODE_LIMIT + 1;

    WideCodeTable() noexcept {
        for (std::uint32_t c = 0; c <= MAX_ROOT_SYMBOL; ++c)
            entries_[c] = {0, 1, static_cast<std::uint16_t>(c)};
        ResetWideTable();
    }

    WideCodeTable(const WideCodeTable&) = delete;
    WideCodeTable& operator=(const WideCodeTable&) = delete;

    // nextCode = 258, codeWidth = 9. Entries from 258 up are unassigned
    // because they lie at or above nextCode; nothing is wiped.
    void ResetWideTable() noexcept {
        nextCode_ = FIRST_WIDE_CODE;
        codeWidth_ = FIRST_CODE_WIDTH;
        widenAt_ = 512;
    }

    bool IsKnownWideCode(std::uint32_t code) const noexcept { return code < nextCode_; }

    // Room for `count` more entries without leaving the table.
    bool hasRoomFor(std::uint32_t count) const noexcept { return nextCode_ + count <= ENTRY_COUNT; }

    // Stores an entry under nextCode, advances nextCode and widens the codes
    // when nextCode becomes 512, 1024 or 2048. The caller has checked room.
    void AddWideEntry(std::uint32_t start, std::uint32_t length, std::uint32_t value) noexcept {
        entries_[nextCode_] = {start, static_cast<std::uint16_t>(length),
                               static_cast<std::uint16_t>(value)};
        if (++nextCode_ == widenAt_) {
            ++codeWidth_;
            widenAt_ = codeWidth_ < MAX_CODE_WIDTH ? 2 * widenAt_ : NEVER;
        }
    }

    const WideEntry& entry(std::uint32_t code) const noexcept { return entries_[code]; }
    std::uint32_t nextCode() const noexcept { return nextCode_; }
    unsigned codeWidth() const noexcept { return codeWidth_; }

private:
    static constexpr std::uint32_t NEVER = 0xFFFFFFFFu;

    WideEntry entries_[ENTRY_COUNT];
    std::uint32_t nextCode_ = FIRST_WIDE_CODE;
    std::uint32_t widenAt_ = 512;
    unsigned codeWidth_ = FIRST_CODE_WIDTH;
};

// Appends fields least significant bit first from byte `startByte`, bit
// `startBit` of dst. Whole bytes are stored over whatever the destination
// held (bits below startBit in the first byte are stored as zero). Stores
// stop at the capacity; the position keeps counting.
class WideCodeWriter {
public:
    WideCodeWriter(std::uint8_t* dst, std::int32_t cap, std::int64_t startByte,
                   unsigned startBit) noexcept
        : out_(dst, cap, startByte, startBit) {}

    void PutWideCode(std::uint32_t code, unsigned width) noexcept { out_.put(code, width); }
    // The value must be below 4096: its bits would otherwise run into the
    // next field.
    void PutRawField(std::uint32_t value) noexcept { out_.put(value, RAW_FIELD_BITS); }

    // Stores the last partly filled byte (or one zero byte when the stream
    // ends on a byte boundary) and returns the stream's length from dst.
    std::int64_t finish() noexcept { return out_.finish(); }

private:
    lzw::BitWriter out_;
};

// Reads fields least significant bit first from byte `startByte`, bit
// `startBit` of src (startByte < srcLen). Past the source end it supplies
// zero bits and remembers it, so a truncated stream is recognised.
class WideCodeReader {
public:
    WideCodeReader(const std::uint8_t* src, std::int32_t len, std::int64_t startByte,
                   unsigned startBit) noexcept
        : src_(src), len_(len), pos_(startByte) {
        refill();
        acc_ >>= startBit;
        bits_ -= startBit;
    }

    std::uint32_t GetWideCode(unsigned width) noexcept { return take(width); }
    std::uint32_t GetRawField() noexcept { return take(RAW_FIELD_BITS); }

    // True once any bit past the source end has been taken.
    bool overran() const noexcept { return padded_ > bits_; }
    // Bits taken so far, counted from bit 0 of src.
    std::int64_t consumedBits() const noexcept {
        return pos_ * 8 + static_cast<std::int64_t>(padded_) - static_cast<std::int64_t>(bits_);
    }

private:
    std::uint32_t take(unsigned width) noexcept {
        if (bits_ < 2 * MAX_CODE_WIDTH) refill();
        const auto v = static_cast<std::uint32_t>(acc_ & ((1u << width) - 1));
        acc_ >>= width;
        bits_ -= width;
        return v;
    }

    void refill() noexcept {
        if (pos_ + 8 <= len_) {
            acc_ |= load64(src_ + pos_) << bits_;
            pos_ += (63 - bits_) >> 3;
            bits_ |= 56;
            return;
        }
        while (bits_ <= 56 && pos_ < len_) {
            acc_ |= static_cast<std::uint64_t>(src_[pos_++]) << bits_;
            bits_ += 8;
        }
        if (bits_ < 56) {
            // Zero bits beyond the end; counted so that overran() can tell.
            padded_ += 56 - bits_;
            bits_ = 56;
        }
    }

    const std::uint8_t* src_;
    std::int64_t len_;
    std::int64_t pos_;
    std::uint64_t acc_ = 0;
    unsigned bits_ = 0;
    unsigned padded_ = 0;
};

}  // namespace reduct::wide

#endif  // REDUCT_LZW_WIDE_ENGINE_H
