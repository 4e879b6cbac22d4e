// Damaged and random streams for the delta-byte LZW decoders (methods 3, 4, 8, 9).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::decodeOnce(data, size, {CM_DELTA16_LZW, CM_DELTA32_LZW, CM_DELTA16_LZW_2, CM_DELTA32_LZW_2});
    return 0;
}
