// Any source through the delta-byte LZW encoders (methods 3, 4, 8, 9) and back.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::roundTripOnce(data, size, {CM_DELTA16_LZW, CM_DELTA32_LZW, CM_DELTA16_LZW_2, CM_DELTA32_LZW_2});
    return 0;
}
