// Any source through the floating-point LZW encoders (methods 6, 7) and back.
// Both are lossy, so only the coded stream's acceptance is checked.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::roundTripOnce(data, size, {CM_FLOAT_LZW, CM_DOUBLE_LZW}, false);
    return 0;
}
