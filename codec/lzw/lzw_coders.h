// Coders of the dictionary (LZW) methods.
#ifndef REDUCT_LZW_CODERS_H
#define REDUCT_LZW_CODERS_H

#include "entry/codec_context.h"

namespace reduct {

CodecResult EncodeDelta16Lzw(const CodecContext& ctx) noexcept;  // methods 3 and 8
CodecResult DecodeDelta16Lzw(const CodecContext& ctx) noexcept;
CodecResult EncodeDelta32Lzw(const CodecContext& ctx) noexcept;  // methods 4 and 9
CodecResult DecodeDelta32Lzw(const CodecContext& ctx) noexcept;

}  // namespace reduct

#endif  // REDUCT_LZW_CODERS_H
