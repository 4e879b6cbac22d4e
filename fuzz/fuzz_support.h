// Shared body of the fuzz targets: the first input byte picks one method of
// the target's family and the destination size; the rest is the data.
//
// Decoding: the data is taken as a coded stream and decoded into a
// destination of exactly the chosen size (heap-allocated, so the sanitizer
// sees any write past it). The result must be a documented status, and an
// overflow must report more than the capacity.
//
// Round trip: the data is taken as a source, encoded into a destination that
// is not zero-filled, decoded again, and for lossless methods compared with
// the source.
#ifndef REDUCT_FUZZ_SUPPORT_H
#define REDUCT_FUZZ_SUPPORT_H

#include <reduct/codec.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace reduct::fuzz {

inline void check(bool ok) {
    if (!ok) std::abort();
}

inline void checkResult(const CodecResult& r, std::int32_t cap) {
    check(r.status >= CODEC_OK && r.status <= CODEC_BAD_VALUE);
    if (r.status == CODEC_OK) check(r.length >= 0 && r.length <= cap);
    else if (r.status == CODEC_OUTPUT_OVERFLOW) check(r.length > cap);
    else check(r.length == 0);
}

inline void decodeOnce(const std::uint8_t* data, std::size_t size, std::initializer_list<int> methods) {
    if (size < 2) return;
    const int method = methods.begin()[data[0] % methods.size()];
    // Destination sizes from tiny to roomy, so overflow paths run too.
    const std::int32_t cap = 1 + (data[1] * 97) % 8192;
    std::vector<std::uint8_t> src(data + 2, data + size);
    if (src.empty()) return;
    auto* dst = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(cap)));
    const CodecResult r = Decode(src.data(), static_cast<std::int32_t>(src.size()), method, dst, cap);
    checkResult(r, cap);
    std::free(dst);
}

inline void roundTripOnce(const std::uint8_t* data, std::size_t size, std::initializer_list<int> methods,
                          bool lossless = true) {
    if (size < 2) return;
    const int method = methods.begin()[data[0] % methods.size()];
    std::vector<std::uint8_t> src(data + 1, data + size);
    const auto len = static_cast<std::int32_t>(src.size());
    std::int32_t cap = len * 3 + 64;
    std::vector<std::uint8_t> coded(static_cast<std::size_t>(cap), 0xFF);
    CodecResult e = Encode(src.data(), len, method, 0, coded.data(), cap);
    checkResult(e, cap);
    if (e.status != CODEC_OK) return;
    // The same call into an exact-size and a one-short destination.
    std::vector<std::uint8_t> exact(static_cast<std::size_t>(e.length), 0x55);
    CodecResult e2 = Encode(src.data(), len, method, 0, exact.data(), e.length);
    check(e2.status == CODEC_OK && e2.length == e.length);
    check(std::memcmp(exact.data(), coded.data(), exact.size()) == 0);
    if (e.length > 1) {
        auto* shortDst = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(e.length - 1)));
        CodecResult e3 = Encode(src.data(), len, method, 0, shortDst, e.length - 1);
        check(e3.status == CODEC_OUTPUT_OVERFLOW && e3.length == e.length);
        std::free(shortDst);
    }
    std::vector<std::uint8_t> back(static_cast<std::size_t>(len));
    CodecResult d = Decode(exact.data(), e.length, method, back.data(), len);
    check(d.status == CODEC_OK);
    if (lossless) check(d.length == len && back == src);
}

}  // namespace reduct::fuzz

#endif  // REDUCT_FUZZ_SUPPORT_H
