// Coders that run on the wide (12-bit) LZW engine.
#ifndef REDUCT_LZW_WIDE_CODERS_H
#define REDUCT_LZW_WIDE_CODERS_H

#include "entry/codec_context.h"

namespace reduct {

CodecResult EncodeSigned12Lzw(const CodecContext& ctx) noexcept;  // method 11
CodecResult DecodeSigned12Lzw(const CodecContext& ctx) noexcept;

}  // namespace reduct

#endif  // REDUCT_LZW_WIDE_CODERS_H
