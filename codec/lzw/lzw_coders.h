// Coders of the methods that run on the variable-width (9- to 11-bit) LZW
// engine.
#ifndef REDUCT_LZW_CODERS_H
#define REDUCT_LZW_CODERS_H

#include "entry/codec_context.h"

namespace reduct {

CodecResult EncodeDelta16Lzw(const CodecContext& ctx) noexcept;  // methods 3 and 8
CodecResult DecodeDelta16Lzw(const CodecContext& ctx) noexcept;
CodecResult EncodeDelta32Lzw(const CodecContext& ctx) noexcept;  // methods 4 and 9
CodecResult DecodeDelta32Lzw(const CodecContext& ctx) noexcept;
CodecResult EncodeFloatLzw(const CodecContext& ctx) noexcept;  // method 6
CodecResult DecodeFloatLzw(const CodecContext& ctx) noexcept;
CodecResult EncodeDoubleLzw(const CodecContext& ctx) noexcept;  // method 7
CodecResult DecodeDoubleLzw(const CodecContext& ctx) noexcept;
CodecResult EncodeFloatSplitLzw(const CodecContext& ctx) noexcept;  // method 12
CodecResult DecodeFloatSplitLzw(const CodecContext& ctx) noexcept;
CodecResult EncodeBytePlaneLzw(const CodecContext& ctx) noexcept;  // method 13
CodecResult DecodeBytePlaneLzw(const CodecContext& ctx) noexcept;

}  // namespace reduct

#endif  // REDUCT_LZW_CODERS_H
