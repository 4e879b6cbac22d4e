#include "entry/dispatch.h"

#include "lzw/lzw_coders.h"
#include "lzw/wide_coders.h"
#include "word/word_coders.h"

namespace reduct {

const MethodCoders METHOD_TABLE[MAX_METHOD + 1] = {
    /*  0 CM_REGULAR_TIME    */ {EncodeRegularTime, DecodeRegularTime},
    /*  1 CM_INT32_DELTA_RUN */ {EncodeInt32DeltaRun, DecodeInt32DeltaRun},
    /*  2 CM_WORD16_RUN      */ {EncodeWord16Run, DecodeWord16Run},
    /*  3 CM_DELTA16_LZW     */ {EncodeDelta16Lzw, DecodeDelta16Lzw},
    /*  4 CM_DELTA32_LZW     */ {EncodeDelta32Lzw, DecodeDelta32Lzw},
    /*  5 CM_BIT_PACK        */ {EncodeBitPack, DecodeBitPack},
    /*  6 CM_FLOAT_LZW       */ {EncodeFloatLzw, DecodeFloatLzw},
    /*  7 CM_DOUBLE_LZW      */ {EncodeDoubleLzw, DecodeDoubleLzw},
    /*  8 CM_DELTA16_LZW_2   */ {EncodeDelta16Lzw, DecodeDelta16Lzw},
    /*  9 CM_DELTA32_LZW_2   */ {EncodeDelta32Lzw, DecodeDelta32Lzw},
    /* 10 CM_WORD32_RUN      */ {EncodeWord32Run, DecodeWord32Run},
    /* 11 CM_SIGNED12_LZW    */ {EncodeSigned12Lzw, DecodeSigned12Lzw},
    /* 12 CM_FLOAT_SPLIT_LZW */ {EncodeFloatSplitLzw, DecodeFloatSplitLzw},
    /* 13 CM_BYTE_PLANE_LZW  */ {EncodeBytePlaneLzw, DecodeBytePlaneLzw},
};

}  // namespace reduct
