// Any source through the run-length encoders (methods 2, 10) and back.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::roundTripOnce(data, size, {CM_WORD16_RUN, CM_WORD32_RUN});
    return 0;
}
