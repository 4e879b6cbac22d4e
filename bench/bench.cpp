// Throughput of every method beside zlib on the same buffers, in one run.
//
//   reduct-bench                      the bundled samples
//   reduct-bench --scale 0.25         smaller bundled samples
//   reduct-bench --file F --kind K    one file of kind K (time u16 adc12 i32 f32 f64 flag)
//   reduct-bench --methods 2,10       only these methods
//   reduct-bench --json               machine-readable results
//
// Every coded buffer is decoded again and compared with its source; a
// lossless method that does not give its source back makes the run fail.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "bench_core.h"

namespace {

std::vector<int> parseMethods(const char* list) {
    std::vector<int> out;
    const char* p = list;
    while (*p != '\0') {
        char* end = nullptr;
        const long v = std::strtol(p, &end, 10);
        if (end == p) break;
        out.push_back(static_cast<int>(v));
        p = (*end == ',') ? end + 1 : end;
    }
    return out;
}

int usage() {
    std::fprintf(stderr,
                 "usage: reduct-bench [--scale S] [--min-time SECONDS] [--methods M,M...] [--json]\n"
                 "                    [--file PATH --kind time|u16|adc12|i32|f32|f64|flag]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    double scale = 1.0;
    bool json = false;
    std::string file, kind;
    reduct::bench::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--scale" && more) scale = std::atof(argv[++i]);
        else if (a == "--min-time" && more) options.minTime = std::atof(argv[++i]);
        else if (a == "--methods" && more) options.methods = parseMethods(argv[++i]);
        else if (a == "--file" && more) file = argv[++i];
        else if (a == "--kind" && more) kind = argv[++i];
        else if (a == "--json") json = true;
        else return usage();
    }

    std::vector<reduct::samples::Sample> work;
    if (!file.empty()) {
        const auto k = reduct::samples::kindFromName(kind);
        if (!k) return usage();
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "reduct-bench: cannot read %s\n", file.c_str());
            return 1;
        }
        work.push_back({file, *k, reduct::samples::recordSize(*k),
                        std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {})});
    } else {
        work = reduct::samples::generateAll(scale);
    }

    if (!json) {
        std::printf("Reduct beside zlib %s on the same buffers; MB/s of source (raw) data.\n"
                    "enc/z1c and dec/z1c: encode and decode speed over zlib level 1 compress;\n"
                    "dec/infl: decode speed over zlib inflate.\n", zlibVersion());
    }
    std::vector<reduct::bench::Report> reports;
    int failures = 0;
    for (const auto& s : work) {
        reports.push_back(reduct::bench::measure(s, options));
        failures += reports.back().failures;
        if (!json) reduct::bench::printTable(stdout, reports.back());
    }
    const bool timeMethod =
        options.methods.empty() || std::find(options.methods.begin(), options.methods.end(), 0) != options.methods.end();
    if (!json && file.empty() && timeMethod && !reduct::bench::timeRegularDay(stdout, options.minTime)) ++failures;
    if (json) {
        reduct::bench::printJson(stdout, reports);
    } else if (failures == 0) {
        std::printf("\nall round trips verified\n");
    }
    if (failures != 0) {
        std::fprintf(stderr, "\n%d method(s) failed the round trip\n", failures);
        return 1;
    }
    return 0;
}
