// Damaged and random streams for the signed 12-bit LZW decoder (method 11).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::decodeOnce(data, size, {CM_SIGNED12_LZW});
    return 0;
}
