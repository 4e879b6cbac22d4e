// Bounded byte readers and writers. Every coder reads and writes through
// these (or checks a whole block against them before an unchecked inner
// loop), so no input, however damaged, makes a coder step outside the host's
// buffers.
#ifndef REDUCT_BYTE_IO_H
#define REDUCT_BYTE_IO_H

#include <bit>
#include <cstdint>
#include <cstring>

namespace reduct {

static_assert(std::endian::native == std::endian::little,
              "coded streams are little-endian and the loaders below assume a little-endian host");

inline std::uint16_t load16(const std::uint8_t* p) noexcept {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline std::uint32_t load32(const std::uint8_t* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline std::uint64_t load64(const std::uint8_t* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store16(std::uint8_t* p, std::uint16_t v) noexcept { std::memcpy(p, &v, sizeof v); }
inline void store32(std::uint8_t* p, std::uint32_t v) noexcept { std::memcpy(p, &v, sizeof v); }
inline void store64(std::uint8_t* p, std::uint64_t v) noexcept { std::memcpy(p, &v, sizeof v); }

template <typename Word>
inline Word loadWord(const std::uint8_t* p) noexcept {
    Word v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename Word>
inline void storeWord(std::uint8_t* p, Word v) noexcept {
    std::memcpy(p, &v, sizeof v);
}

// Writes into dst[0..cap). Once the capacity is reached it keeps counting
// without storing, so an overflowing call still learns the exact length it
// needs. The position is 64-bit: a damaged stream may ask for far more than
// 2^31 bytes, and that must be counted, not wrapped.
class ByteWriter {
public:
    ByteWriter(std::uint8_t* dst, std::int32_t cap) noexcept
        : base_(dst), cap_(cap < 0 ? 0 : cap) {}

    std::int64_t length() const noexcept { return pos_; }
    std::int64_t remainingCapacity() const noexcept { return pos_ < cap_ ? cap_ - pos_ : 0; }
    bool overflowed() const noexcept { return pos_ > cap_; }

    // Direct access for hot loops that have checked remainingCapacity() for
    // the whole block they are about to write.
    std::uint8_t* cursor() const noexcept { return base_ + pos_; }
    void advance(std::int64_t n) noexcept { pos_ += n; }

    template <typename Word>
    static constexpr std::int64_t wordSize() noexcept {
        return static_cast<std::int64_t>(sizeof(Word));
    }

    template <typename Word>
    void put(Word v) noexcept {
        if (remainingCapacity() >= wordSize<Word>()) {
            storeWord(base_ + pos_, v);
        } else {
            putPartial(&v, sizeof v);
        }
        pos_ += wordSize<Word>();
    }

    void putBytes(const std::uint8_t* p, std::int64_t n) noexcept {
        const std::int64_t room = remainingCapacity();
        const std::int64_t stored = n < room ? n : room;
        if (stored > 0) std::memcpy(base_ + pos_, p, static_cast<std::size_t>(stored));
        pos_ += n;
    }

    // `count` copies of one word; stores what fits and counts the rest
    // without looping over it.
    template <typename Word>
    void fill(Word v, std::int64_t count) noexcept {
        constexpr std::int64_t W = wordSize<Word>();
        const std::int64_t room = remainingCapacity() / W;
        const std::int64_t stored = count < room ? count : room;
        std::uint8_t* p = base_ + pos_;
        for (std::int64_t i = 0; i < stored; ++i) storeWord(p + i * W, v);
        pos_ += stored * W;
        if (count > stored) {
            // The word that straddles the capacity keeps its leading bytes;
            // the rest only counts.
            putPartial(&v, W);
            pos_ += (count - stored) * W;
        }
    }

private:
    void putPartial(const void* v, std::int64_t n) noexcept {
        const std::int64_t room = remainingCapacity();
        if (room > 0) std::memcpy(base_ + pos_, v, static_cast<std::size_t>(room < n ? room : n));
    }

    std::uint8_t* base_;
    std::int64_t cap_;
    std::int64_t pos_ = 0;
};

// Reads from src[0..len). Callers ask has(n) before reading n bytes.
class ByteReader {
public:
    ByteReader(const std::uint8_t* src, std::int32_t len) noexcept
        : cur_(src), end_(src + (len < 0 ? 0 : len)) {}

    std::int64_t remaining() const noexcept { return end_ - cur_; }
    bool has(std::int64_t n) const noexcept { return remaining() >= n; }
    bool atEnd() const noexcept { return cur_ == end_; }
    const std::uint8_t* cursor() const noexcept { return cur_; }
    void advance(std::int64_t n) noexcept { cur_ += n; }

    template <typename Word>
    Word get() noexcept {
        Word v = loadWord<Word>(cur_);
        cur_ += sizeof(Word);
        return v;
    }

private:
    const std::uint8_t* cur_;
    const std::uint8_t* end_;
};

}  // namespace reduct

#endif  // REDUCT_BYTE_IO_H
