// Coders of the word methods, which need no dictionary.
#ifndef REDUCT_WORD_CODERS_H
#define REDUCT_WORD_CODERS_H

#include "entry/codec_context.h"

namespace reduct {

CodecResult EncodeWord16Run(const CodecContext& ctx) noexcept;  // method 2
CodecResult DecodeWord16Run(const CodecContext& ctx) noexcept;
CodecResult EncodeWord32Run(const CodecContext& ctx) noexcept;  // method 10
CodecResult DecodeWord32Run(const CodecContext& ctx) noexcept;
CodecResult EncodeRegularTime(const CodecContext& ctx) noexcept;  // method 0
CodecResult DecodeRegularTime(const CodecContext& ctx) noexcept;
CodecResult EncodeInt32DeltaRun(const CodecContext& ctx) noexcept;  // method 1
CodecResult DecodeInt32DeltaRun(const CodecContext& ctx) noexcept;
CodecResult EncodeBitPack(const CodecContext& ctx) noexcept;  // method 5
CodecResult DecodeBitPack(const CodecContext& ctx) noexcept;

}  // namespace reduct

#endif  // REDUCT_WORD_CODERS_H
