// Any source through the signed 12-bit LZW encoder (method 11) and back.
// Sources with steps wider than 4095 are refused (CODEC_BAD_VALUE) and odd
// lengths too; so that most inputs are codable, the data is also tried with
// every 16-bit sample folded into 0..4095.
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reduct::fuzz::roundTripOnce(data, size, {CM_SIGNED12_LZW});
    if (size < 3) return 0;
    std::vector<std::uint8_t> folded(data, data + size);
    if (folded.size() % 2 == 0) folded.pop_back();  // the selector byte plus whole samples
    for (std::size_t i = 2; i < folded.size(); i += 2) folded[i] &= 0x0F;
    reduct::fuzz::roundTripOnce(folded.data(), folded.size(), {CM_SIGNED12_LZW});
    return 0;
}
