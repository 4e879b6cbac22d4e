// Any source through the delta-run encoder (method 1, exact) and the
// regular-time and bit-pack encoders (methods 0 and 5, which keep only part
// of the source) and back.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    if (data[0] % 2 == 0) {
        reduct::fuzz::roundTripOnce(data, size, {CM_INT32_DELTA_RUN});
    } else {
        reduct::fuzz::roundTripOnce(data, size, {CM_REGULAR_TIME, CM_BIT_PACK}, false);
    }
    return 0;
}
