// Any source through the byte-plane and float-split LZW encoders (methods
// 13, 12) and back.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::roundTripOnce(data, size, {CM_BYTE_PLANE_LZW, CM_FLOAT_SPLIT_LZW});
    return 0;
}
