/*
 * Reduct: codecs for recorded process data.
 *
 * One call codes one buffer of samples of a single kind with one of fourteen
 * methods. Every call is self-contained and reentrant; the library keeps no
 * state between calls except the maximum delta setting, which no method reads.
 *
 * Coded streams carry no magic number and no method number: decode a stream
 * with the method that made it (or its alias: 8 for 3, 9 for 4). All
 * multi-byte values in sources and streams are little-endian.
 *
 * Bounds: a call never reads at or past src + srcLen and never writes at or
 * past dst + dstCap, whatever the input. When the output does not fit, the
 * result is CODEC_OUTPUT_OVERFLOW with the full length the call needs, so a
 * host can size its buffer and call again.
 */
#ifndef REDUCT_CODEC_H
#define REDUCT_CODEC_H

#include <stdint.h>

#if defined(_WIN32)
/* Windows exports come from the module definition file with fixed ordinals. */
#define REDUCT_API
#elif defined(__GNUC__)
#define REDUCT_API __attribute__((visibility("default")))
#else
#define REDUCT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Outcome of a call: two signed 32-bit words, status first. A host that
 * declares the result as one 64-bit integer finds the status in the low half
 * and the length in the high half. */
typedef struct CodecResult {
    int32_t status;
    int32_t length; /* output bytes; with CODEC_OUTPUT_OVERFLOW the length needed; 0 when refused */
} CodecResult;

enum CodecStatus {
    CODEC_OK = 0,              /* the method ran to completion */
    CODEC_NULL_POINTER = 1,    /* src or dst is null */
    CODEC_OUTPUT_OVERFLOW = 2, /* output longer than dstCap; length says how long */
    CODEC_BAD_METHOD = 3,      /* method is not 0..13 */
    CODEC_BAD_LENGTH = 4,      /* srcLen or dstCap below 1, or a source the method cannot take */
    CODEC_TIME_ORDER = 5,      /* method 0: second timestamp earlier than the first */
    CODEC_BAD_STREAM = 6,      /* Decode: bytes that Encode cannot have made with this method */
    CODEC_BAD_VALUE = 7        /* Encode: the source holds a value the method cannot code */
};

enum CodecMethod {
    CM_REGULAR_TIME = 0,     /* timestamps (u32 s + u16 ms) at a regular interval; lossy */
    CM_INT32_DELTA_RUN = 1,  /* 32-bit integers: first value, runs of equal differences */
    CM_WORD16_RUN = 2,       /* 16-bit words: run length */
    CM_DELTA16_LZW = 3,      /* 16-bit integers: difference bytes through LZW */
    CM_DELTA32_LZW = 4,      /* 32-bit integers: difference bytes through LZW */
    CM_BIT_PACK = 5,         /* flag bytes: one bit per byte (zero / non-zero); lossy */
    CM_FLOAT_LZW = 6,        /* floats quantised into a stated range; lossy */
    CM_DOUBLE_LZW = 7,       /* doubles: difference bytes through LZW; decoded as a running sum,
                                exact unless a difference rounds */
    CM_DELTA16_LZW_2 = 8,    /* the same coder as method 3 */
    CM_DELTA32_LZW_2 = 9,    /* the same coder as method 4 */
    CM_WORD32_RUN = 10,      /* 32-bit words: run length */
    CM_SIGNED12_LZW = 11,    /* 16-bit samples, differences up to 4095, 12-bit LZW */
    CM_FLOAT_SPLIT_LZW = 12, /* floats: exponent symbols through LZW, raw mantissas */
    CM_BYTE_PLANE_LZW = 13   /* 16-bit words: high and low byte planes through LZW */
};

#define MAX_METHOD 13

/* Codes src[0..srcLen) with `method` into dst[0..dstCap). `reserved` is not
 * read; it is 8 bytes wide so that dst and dstCap keep their argument
 * positions. */
REDUCT_API CodecResult Encode(const void* src, int32_t srcLen, int32_t method, int64_t reserved,
                              void* dst, int32_t dstCap);

/* Decodes the coded stream src[0..srcLen) made by `method` into dst[0..dstCap). */
REDUCT_API CodecResult Decode(const void* src, int32_t srcLen, int32_t method, void* dst,
                              int32_t dstCap);

/* Stores the process-wide maximum delta value. Returns 1 when stored, 0 when
 * refused (negative or not a number). The value is stored bit for bit. */
REDUCT_API int32_t SetMaxDeltaValue(double value);

/* Returns 1 and writes the stored value to *value once a value has been set;
 * returns 0 and leaves *value untouched before that. */
REDUCT_API int32_t GetMaxDeltaValue(double* value);

/* The largest coded length Encode can produce with `method` for any source
 * of srcLen bytes: a destination of this size never overflows. Returns 0
 * for a method outside 0..13 or srcLen below 1. The result is 64-bit since
 * the bound of a long source can exceed what one call may produce (such a
 * call answers CODEC_BAD_LENGTH). */
REDUCT_API int64_t EncodeBound(int32_t method, int32_t srcLen);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* REDUCT_CODEC_H */
