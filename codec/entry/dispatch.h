// The table from method number to its encoder and decoder.
#ifndef REDUCT_DISPATCH_H
#define REDUCT_DISPATCH_H

#include "entry/codec_context.h"

namespace reduct {

struct MethodCoders {
    CodecCoder encode;
    CodecCoder decode;
};

// Indexed by method number 0..MAX_METHOD.
extern const MethodCoders METHOD_TABLE[MAX_METHOD + 1];

}  // namespace reduct

#endif  // REDUCT_DISPATCH_H
