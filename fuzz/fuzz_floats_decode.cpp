// Damaged and random streams for the floating-point LZW decoders (methods 6, 7).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::decodeOnce(data, size, {CM_FLOAT_LZW, CM_DOUBLE_LZW});
    return 0;
}
