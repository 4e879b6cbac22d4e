// Damaged and random streams for the run-length decoders (methods 2, 10).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::decodeOnce(data, size, {CM_WORD16_RUN, CM_WORD32_RUN});
    return 0;
}
