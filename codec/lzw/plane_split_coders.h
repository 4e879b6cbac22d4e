// Coders of the LZW methods that split each sample: byte planes of 16-bit
// words (method 13) and sign-and-exponent symbols with raw mantissas of
// floats (method 12).
#ifndef REDUCT_PLANE_SPLIT_CODERS_H
#define REDUCT_PLANE_SPLIT_CODERS_H

#include "entry/codec_context.h"

namespace reduct {

CodecResult EncodeFloatSplitLzw(const CodecContext& ctx) noexcept;  // method 12
CodecResult DecodeFloatSplitLzw(const CodecContext& ctx) noexcept;
CodecResult EncodeBytePlaneLzw(const CodecContext& ctx) noexcept;  // method 13
CodecResult DecodeBytePlaneLzw(const CodecContext& ctx) noexcept;

}  // namespace reduct

#endif  // REDUCT_PLANE_SPLIT_CODERS_H
