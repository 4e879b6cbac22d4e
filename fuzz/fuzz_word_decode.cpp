// Damaged and random streams for the regular-time, delta-run and bit-pack
// decoders (methods 0, 1, 5).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::decodeOnce(data, size, {CM_REGULAR_TIME, CM_INT32_DELTA_RUN, CM_BIT_PACK});
    return 0;
}
