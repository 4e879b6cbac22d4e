// The working record of one Encode or Decode call, the coder signature, and
// the helpers every coder uses to turn a 64-bit length into a CodecResult.
#ifndef REDUCT_CODEC_CONTEXT_H
#define REDUCT_CODEC_CONTEXT_H

#include <reduct/codec.h>

#include <cstdint>
#include <limits>

namespace reduct {

// One call's buffers, exactly as the host passed them (already checked: both
// pointers non-null, both lengths at least 1). Each coder keeps its running
// state in locals of its own; nothing is shared between calls.
struct CodecContext {
    const std::uint8_t* src;
    std::int32_t srcLen;
    std::uint8_t* dst;
    std::int32_t dstCap;
};

using CodecCoder = CodecResult (*)(const CodecContext&) noexcept;

inline constexpr std::int64_t MAX_CODEC_LENGTH = std::numeric_limits<std::int32_t>::max();

inline constexpr CodecResult codecStatus(std::int32_t status) noexcept { return {status, 0}; }

// An encoder's finished length. Output that would not fit in 32 signed bits
// cannot be reported, so the source is refused as too long for the method.
inline constexpr CodecResult encodedLength(std::int64_t n) noexcept {
    if (n > MAX_CODEC_LENGTH) return {CODEC_BAD_LENGTH, 0};
    return {CODEC_OK, static_cast<std::int32_t>(n)};
}

// A decoder's finished length. No stream Encode makes decodes to more than
// 2^31 - 1 bytes, so a longer one is damaged or foreign.
inline constexpr CodecResult decodedLength(std::int64_t n) noexcept {
    if (n > MAX_CODEC_LENGTH) return {CODEC_BAD_STREAM, 0};
    return {CODEC_OK, static_cast<std::int32_t>(n)};
}

}  // namespace reduct

#endif  // REDUCT_CODEC_CONTEXT_H
