// Measuring methods beside general-purpose compressors on the same buffer,
// shared by reduct-bench and `reduct bench` / `reduct analyze`.
#ifndef REDUCT_BENCH_CORE_H
#define REDUCT_BENCH_CORE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "samples.h"

namespace reduct::bench {

struct Options {
    double minTime = 0.2;          // seconds spent per measured operation
    std::vector<int> methods;      // only these methods (empty: all that apply)
    std::vector<int> zlibLevels{1, 6};
    bool otherCodecs = false;      // zstd and lz4 too, where built in
};

// One row of a table: a Reduct method or a yardstick codec.
struct Row {
    std::string codec;             // "2 CM_WORD16_RUN", "zlib level 1", "zstd level 3", ...
    int method = -1;               // the Reduct method, or -1 for a yardstick
    std::int32_t status = 0;       // the encode status (CODEC_BAD_METHOD: not in this build)
    std::size_t codedBytes = 0;
    double ratio = 0, encMBs = 0, decMBs = 0;
    bool exact = false;            // decoding gave the source back bit for bit
    bool lossless = true;          // the method keeps every bit by design
    double maxError = 0;           // lossy: largest difference seen, in the sample's unit
    std::string check;             // "exact", "lossy", "MISMATCH", "not built", ...
};

struct Report {
    std::string name;
    std::string kind;
    std::size_t bytes = 0;
    std::vector<Row> rows;
    double zlib1EncMBs = 0, zlib1DecMBs = 0;
    int failures = 0;              // lossless methods that did not round-trip
};

const char* methodName(int method);
bool methodIsLossless(int method);
bool otherCodecsAvailable();

Report measure(const reduct::samples::Sample& sample, const Options& options);

void printTable(std::FILE* out, const Report& report);

// Method 0 on one day of regular 1 s timestamps, in microseconds per call;
// prints one line and answers whether the round trip was exact.
bool timeRegularDay(std::FILE* out, double minTime);
void printJson(std::FILE* out, const std::vector<Report>& reports);

}  // namespace reduct::bench

#endif  // REDUCT_BENCH_CORE_H
