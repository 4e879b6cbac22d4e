// The four exported functions: argument checks, dispatch, the overflow rule
// and the process-wide maximum delta setting.
#include <reduct/codec.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>

#include "entry/codec_context.h"
#include "entry/dispatch.h"

namespace reduct {
namespace {

// The checks common to Encode and Decode, in the order hosts rely on: null
// pointers, then lengths, then the method number. Nothing is read or written
// before they pass.
CodecResult run(bool encoding, const void* src, std::int32_t srcLen, std::int32_t method,
                void* dst, std::int32_t dstCap) noexcept {
    if (src == nullptr || dst == nullptr) return codecStatus(CODEC_NULL_POINTER);
    if (srcLen < 1 || dstCap < 1) return codecStatus(CODEC_BAD_LENGTH);
    if (static_cast<std::uint32_t>(method) > MAX_METHOD) return codecStatus(CODEC_BAD_METHOD);

    const CodecContext ctx{static_cast<const std::uint8_t*>(src), srcLen,
                           static_cast<std::uint8_t*>(dst), dstCap};
    const MethodCoders& coders = METHOD_TABLE[method];
    CodecResult r = encoding ? coders.encode(ctx) : coders.decode(ctx);
    if (r.status != CODEC_OK) return codecStatus(r.status);
    if (r.length > dstCap) r.status = CODEC_OUTPUT_OVERFLOW;
    return r;
}

// The maximum delta setting. Stored as the double's bit pattern so that -0.0
// and infinities come back exactly; both halves are lock-free atomics so that
// concurrent Set and Get never see a torn value. The value is published
// before the flag, so a reader that sees the flag also sees a whole value.
std::atomic<std::uint64_t> maxDeltaBits{0};
std::atomic<std::int32_t> maxDeltaIsSet{0};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
static_assert(std::atomic<std::int32_t>::is_always_lock_free);

}  // namespace
}  // namespace reduct

extern "C" {

CodecResult Encode(const void* src, int32_t srcLen, int32_t method, int64_t /*reserved*/,
                   void* dst, int32_t dstCap) {
    return reduct::run(true, src, srcLen, method, dst, dstCap);
}

CodecResult Decode(const void* src, int32_t srcLen, int32_t method, void* dst, int32_t dstCap) {
    return reduct::run(false, src, srcLen, method, dst, dstCap);
}

int32_t SetMaxDeltaValue(double value) {
    // Negative values and NaN are refused; the NaN test is the unordered
    // comparison, so -0.0 and +infinity are accepted.
    if (!(value >= 0.0)) return 0;
    reduct::maxDeltaBits.store(std::bit_cast<std::uint64_t>(value), std::memory_order_release);
    reduct::maxDeltaIsSet.store(1, std::memory_order_release);
    return 1;
}

int32_t GetMaxDeltaValue(double* value) {
    const std::int32_t set = reduct::maxDeltaIsSet.load(std::memory_order_acquire);
    if (set != 0 && value != nullptr) {
        *value = std::bit_cast<double>(reduct::maxDeltaBits.load(std::memory_order_acquire));
    }
    return set;
}

}  // extern "C"
