// Coders of the floating-point LZW methods 6 and 7.
#ifndef REDUCT_FLOAT_LZW_CODERS_H
#define REDUCT_FLOAT_LZW_CODERS_H

#include "entry/codec_context.h"

namespace reduct {

CodecResult EncodeFloatLzw(const CodecContext& ctx) noexcept;  // method 6
CodecResult DecodeFloatLzw(const CodecContext& ctx) noexcept;
CodecResult EncodeDoubleLzw(const CodecContext& ctx) noexcept;  // method 7
CodecResult DecodeDoubleLzw(const CodecContext& ctx) noexcept;

}  // namespace reduct

#endif  // REDUCT_FLOAT_LZW_CODERS_H
