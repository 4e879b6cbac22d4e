// Damaged and random streams for the byte-plane and float-split LZW
// decoders (methods 13, 12).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::decodeOnce(data, size, {CM_BYTE_PLANE_LZW, CM_FLOAT_SPLIT_LZW});
    return 0;
}
