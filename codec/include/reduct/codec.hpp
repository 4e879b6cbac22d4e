// C++ convenience layer over the Reduct C interface: spans in, a byte vector
// or a status out. It sizes the destination for the caller and never throws
// for coding errors (only std::bad_alloc from the vector can escape).
#ifndef REDUCT_CODEC_HPP
#define REDUCT_CODEC_HPP

#include <reduct/codec.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace reduct {

using Bytes = std::vector<std::uint8_t>;

// The outcome of a C++ call: the status and, when it is CODEC_OK, the bytes.
struct Coded {
    std::int32_t status = CODEC_OK;
    Bytes bytes;

    explicit operator bool() const noexcept { return status == CODEC_OK; }
};

inline std::string_view statusName(std::int32_t status) noexcept {
    switch (status) {
        case CODEC_OK: return "ok";
        case CODEC_NULL_POINTER: return "null pointer";
        case CODEC_OUTPUT_OVERFLOW: return "output overflow";
        case CODEC_BAD_METHOD: return "unknown method";
        case CODEC_BAD_LENGTH: return "source length not accepted by the method";
        case CODEC_TIME_ORDER: return "timestamps out of order";
        case CODEC_BAD_STREAM: return "damaged or foreign coded stream";
        case CODEC_BAD_VALUE: return "source value the method cannot code";
        default: return "unknown status";
    }
}

namespace detail {

template <typename Call>
Coded runSized(std::size_t firstGuess, Call&& call) {
    Coded out;
    std::size_t cap = firstGuess < 16 ? 16 : firstGuess;
    constexpr auto maxCap = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    if (cap > maxCap) cap = maxCap;
    // The destination starts zero-filled; the library does not need it, but
    // it keeps unused tail bytes deterministic for callers that look at them.
    out.bytes.assign(cap, 0);
    CodecResult r = call(out.bytes.data(), static_cast<std::int32_t>(cap));
    if (r.status == CODEC_OUTPUT_OVERFLOW && r.length > 0) {
        out.bytes.assign(static_cast<std::size_t>(r.length), 0);
        r = call(out.bytes.data(), r.length);
    }
    out.status = r.status;
    if (r.status == CODEC_OK) {
        out.bytes.resize(static_cast<std::size_t>(r.length));
    } else {
        out.bytes.clear();
    }
    return out;
}

inline std::int32_t sourceLength(std::size_t n) noexcept {
    return n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
               ? -1
               : static_cast<std::int32_t>(n);
}

}  // namespace detail

// The largest coded length `method` can produce for `srcLen` source bytes
// (0 for an unknown method or an empty source).
inline std::int64_t encodeBound(int method, std::size_t srcLen) noexcept {
    const std::int32_t len = detail::sourceLength(srcLen);
    return len < 1 ? 0 : EncodeBound(method, len);
}

// Codes `src` with `method`.
inline Coded encode(std::span<const std::uint8_t> src, int method) {
    const std::int32_t len = detail::sourceLength(src.size());
    if (len < 1) return Coded{CODEC_BAD_LENGTH, {}};
    const std::int64_t bound = EncodeBound(method, len);
    const std::size_t guess = bound > 0 ? static_cast<std::size_t>(bound) : src.size() * 2 + 64;
    return detail::runSized(guess, [&](std::uint8_t* dst, std::int32_t cap) {
        return Encode(src.data(), len, method, 0, dst, cap);
    });
}

// Decodes `src`, a stream made by `method`.
inline Coded decode(std::span<const std::uint8_t> src, int method) {
    const std::int32_t len = detail::sourceLength(src.size());
    if (len < 1) return Coded{CODEC_BAD_LENGTH, {}};
    return detail::runSized(src.size() * 4 + 64, [&](std::uint8_t* dst, std::int32_t cap) {
        return Decode(src.data(), len, method, dst, cap);
    });
}

// The maximum delta setting: set() answers whether the value was accepted,
// get() answers the stored value, or nothing before any value was accepted.
inline bool setMaxDeltaValue(double value) noexcept { return SetMaxDeltaValue(value) == 1; }

inline std::pair<bool, double> maxDeltaValue() noexcept {
    double v = 0.0;
    const bool set = GetMaxDeltaValue(&v) != 0;
    return {set, v};
}

}  // namespace reduct

#endif  // REDUCT_CODEC_HPP
