#include "entry/dispatch.h"

#include "lzw/lzw_coders.h"
#include "lzw/plane_split_coders.h"
#include "word/word_coders.h"

namespace reduct {
namespace {

// A method number whose coder is not part of this build.
CodecResult NotAvailable(const CodecContext&) noexcept { return codecStatus(CODEC_BAD_METHOD); }

}  // namespace

const MethodCoders METHOD_TABLE[MAX_METHOD + 1] = {
    /*  0 CM_REGULAR_TIME    */ {NotAvailable, NotAvailable},
    /*  1 CM_INT32_DELTA_RUN */ {NotAvailable, NotAvailable},
    /*  2 CM_WORD16_RUN      */ {EncodeWord16Run, DecodeWord16Run},
    /*  3 CM_DELTA16_LZW     */ {EncodeDelta16Lzw, DecodeDelta16Lzw},
    /*  4 CM_DELTA32_LZW     */ {EncodeDelta32Lzw, DecodeDelta32Lzw},
    /*  5 CM_BIT_PACK        */ {NotAvailable, NotAvailable},
    /*  6 CM_FLOAT_LZW       */ {NotAvailable, NotAvailable},
    /*  7 CM_DOUBLE_LZW      */ {NotAvailable, NotAvailable},
    /*  8 CM_DELTA16_LZW_2   */ {EncodeDelta16Lzw, DecodeDelta16Lzw},
    /*  9 CM_DELTA32_LZW_2   */ {EncodeDelta32Lzw, DecodeDelta32Lzw},
    /* 10 CM_WORD32_RUN      */ {EncodeWord32Run, DecodeWord32Run},
    /* 11 CM_SIGNED12_LZW    */ {NotAvailable, NotAvailable},
    /* 12 CM_FLOAT_SPLIT_LZW */ {EncodeFloatSplitLzw, DecodeFloatSplitLzw},
    /* 13 CM_BYTE_PLANE_LZW  */ {EncodeBytePlaneLzw, DecodeBytePlaneLzw},
};

}  // namespace reduct
