// Any source through the delta-run encoder (method 1, exact) and the
// regular-time and bit-pack encoders (methods 0 and 5, which keep only part
// of the source) and back.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    switch (data[0] % 3) {
        case 0: reduct::fuzz::roundTripOnce(data, size, {CM_INT32_DELTA_RUN}); break;
        case 1: reduct::fuzz::roundTripOnce(data, size, {CM_REGULAR_TIME}, false); break;
        default: reduct::fuzz::roundTripOnce(data, size, {CM_BIT_PACK}, false); break;
    }
    return 0;
}
