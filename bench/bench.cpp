// Throughput of every method beside zlib on the same buffers, in one run.
//
//   reduct-bench                      the bundled samples
//   reduct-bench --scale 0.25         smaller bundled samples
//   reduct-bench --file F --kind K    one file of kind K (time u16 adc12 i32 f32 f64 flag)
//   reduct-bench --methods 2,10       only these methods
//
// Every coded buffer is decoded again and compared with its source; a
// lossless method that does not give its source back makes the run fail.
#include <reduct/codec.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "samples.h"

namespace {

using Clock = std::chrono::steady_clock;
using reduct::samples::Sample;

const char* const METHOD_NAMES[] = {
    "CM_REGULAR_TIME", "CM_INT32_DELTA_RUN", "CM_WORD16_RUN",   "CM_DELTA16_LZW",
    "CM_DELTA32_LZW",  "CM_BIT_PACK",        "CM_FLOAT_LZW",    "CM_DOUBLE_LZW",
    "CM_DELTA16_LZW_2", "CM_DELTA32_LZW_2",  "CM_WORD32_RUN",   "CM_SIGNED12_LZW",
    "CM_FLOAT_SPLIT_LZW", "CM_BYTE_PLANE_LZW"};

bool lossless(int method) { return method != 0 && method != 5 && method != 6 && method != 7; }

double minTime = 0.2;  // seconds spent per measured operation

// Runs op until minTime has passed (at least twice) and returns the best
// time of one run, in seconds.
template <typename Op>
double bestTime(Op&& op) {
    double best = 1e30, total = 0;
    int runs = 0;
    while (runs < 2 || total < minTime) {
        const auto t0 = Clock::now();
        op();
        const double t = std::chrono::duration<double>(Clock::now() - t0).count();
        best = std::min(best, t);
        total += t;
        ++runs;
    }
    return best;
}

double mbps(std::size_t bytes, double seconds) { return static_cast<double>(bytes) / seconds / 1e6; }

struct Row {
    double ratio, encMBs, decMBs;
};

bool zlibRow(const std::vector<std::uint8_t>& src, int level, Row& row) {
    uLongf bound = compressBound(static_cast<uLong>(src.size()));
    std::vector<Bytef> packed(bound), back(src.size());
    uLongf packedLen = bound;
    const double te = bestTime([&] {
        packedLen = bound;
        compress2(packed.data(), &packedLen, src.data(), static_cast<uLong>(src.size()), level);
    });
    uLongf backLen = static_cast<uLongf>(back.size());
    const double td = bestTime([&] {
        backLen = static_cast<uLongf>(back.size());
        uncompress(back.data(), &backLen, packed.data(), packedLen);
    });
    row = {static_cast<double>(src.size()) / static_cast<double>(packedLen), mbps(src.size(), te),
           mbps(src.size(), td)};
    return backLen == src.size() && std::equal(back.begin(), back.end(), src.begin());
}

int failures = 0;

void benchSample(const Sample& s, const std::vector<int>& only) {
    Row z1{}, z6{};
    zlibRow(s.bytes, 1, z1);
    zlibRow(s.bytes, 6, z6);
    std::printf("\n%s: %zu bytes\n", s.name.c_str(), s.bytes.size());
    std::printf("  %-24s %9s %10s %10s %9s %9s %9s  %s\n", "method", "ratio", "enc MB/s",
                "dec MB/s", "enc/z1c", "dec/z1c", "dec/infl", "round trip");
    std::printf("  %-24s %9.2f %10.0f %10.0f\n", "zlib level 1", z1.ratio, z1.encMBs, z1.decMBs);
    std::printf("  %-24s %9.2f %10.0f %10.0f\n", "zlib level 6", z6.ratio, z6.encMBs, z6.decMBs);

    for (int m : reduct::samples::methodsFor(s.kind)) {
        if (!only.empty() && std::find(only.begin(), only.end(), m) == only.end()) continue;
        const std::vector<std::uint8_t> src = reduct::samples::methodSource(s, m);
        const auto srcLen = static_cast<std::int32_t>(src.size());
        std::vector<std::uint8_t> coded(src.size() * 2 + 1024);
        CodecResult r = Encode(src.data(), srcLen, m, 0, coded.data(), static_cast<std::int32_t>(coded.size()));
        char label[64];
        std::snprintf(label, sizeof label, "%2d %s", m, METHOD_NAMES[m]);
        if (r.status == CODEC_BAD_METHOD) {
            std::printf("  %-24s %9s\n", label, "(not built)");
            continue;
        }
        if (r.status == CODEC_BAD_VALUE) {
            // The sample holds values the method cannot code (method 11:
            // steps wider than 4095); a refusal, not a failure.
            std::printf("  %-24s %9s\n", label, "not codable (value)");
            continue;
        }
        if (r.status != CODEC_OK) {
            std::printf("  %-24s encode status %d\n", label, r.status);
            ++failures;
            continue;
        }
        const std::int32_t codedLen = r.length;
        const double te = bestTime([&] {
            Encode(src.data(), srcLen, m, 0, coded.data(), static_cast<std::int32_t>(coded.size()));
        });
        std::vector<std::uint8_t> back(src.size() + 64);
        CodecResult d{};
        const double td = bestTime([&] {
            d = Decode(coded.data(), codedLen, m, back.data(), static_cast<std::int32_t>(back.size()));
        });
        const bool same = d.status == CODEC_OK && static_cast<std::size_t>(d.length) == src.size() &&
                          std::equal(src.begin(), src.end(), back.begin());
        const char* check = same ? "exact" : (d.status != CODEC_OK ? "DECODE FAILED"
                                              : lossless(m) ? "MISMATCH" : "lossy");
        if (d.status != CODEC_OK || (!same && lossless(m))) ++failures;
        const double enc = mbps(src.size(), te), dec = mbps(src.size(), td);
        std::printf("  %-24s %9.2f %10.0f %10.0f %8.1fx %8.1fx %8.1fx  %s\n", label,
                    static_cast<double>(src.size()) / codedLen, enc, dec, enc / z1.encMBs,
                    dec / z1.encMBs, dec / z1.decMBs, check);
    }
}

// Method 0 on one day of 1 s timestamps: the host's everyday call, timed in
// microseconds per call rather than MB/s.
void benchRegularDay() {
    constexpr std::uint32_t RECORDS = 86400;
    std::vector<std::uint8_t> day(RECORDS * 6);
    for (std::uint32_t i = 0; i < RECORDS; ++i) {
        const std::uint32_t seconds = 1'796'947'200u + i;
        std::memcpy(day.data() + i * 6, &seconds, 4);
        std::memset(day.data() + i * 6 + 4, 0, 2);
    }
    const auto len = static_cast<std::int32_t>(day.size());
    std::uint8_t header[12];
    std::vector<std::uint8_t> back(day.size());
    CodecResult e{}, d{};
    const double te = bestTime([&] { e = Encode(day.data(), len, CM_REGULAR_TIME, 0, header, 12); });
    if (e.status == CODEC_BAD_METHOD) return;
    const double td = bestTime([&] { d = Decode(header, 12, CM_REGULAR_TIME, back.data(), len); });
    const bool same = e.status == CODEC_OK && d.status == CODEC_OK && back == day;
    if (!same) ++failures;
    std::printf("\n%2d %s, one day of 1 s timestamps (%u records): encode %.3f us, decode %.1f us  %s\n",
                CM_REGULAR_TIME, METHOD_NAMES[CM_REGULAR_TIME], RECORDS, te * 1e6, td * 1e6,
                same ? "exact" : "MISMATCH");
}

std::vector<int> parseMethods(const char* list) {
    std::vector<int> out;
    for (const char* p = list; *p != '\0';) {
        char* end = nullptr;
        out.push_back(static_cast<int>(std::strtol(p, &end, 10)));
        p = (*end == ',') ? end + 1 : end;
        if (end == p && *p != '\0') break;
    }
    return out;
}

int usage() {
    std::fprintf(stderr,
                 "usage: reduct-bench [--scale S] [--min-time SECONDS] [--methods M,M...]\n"
                 "                    [--file PATH --kind time|u16|adc12|i32|f32|f64|flag]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    double scale = 1.0;
    std::string file, kind;
    std::vector<int> only;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--scale" && more) scale = std::atof(argv[++i]);
        else if (a == "--min-time" && more) minTime = std::atof(argv[++i]);
        else if (a == "--methods" && more) only = parseMethods(argv[++i]);
        else if (a == "--file" && more) file = argv[++i];
        else if (a == "--kind" && more) kind = argv[++i];
        else return usage();
    }

    std::vector<Sample> work;
    if (!file.empty()) {
        const auto k = reduct::samples::kindFromName(kind);
        if (!k) return usage();
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "reduct-bench: cannot read %s\n", file.c_str());
            return 1;
        }
        Sample s{file, *k, reduct::samples::recordSize(*k),
                 std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {})};
        work.push_back(std::move(s));
    } else {
        work = reduct::samples::generateAll(scale);
    }

    std::printf("Reduct beside zlib %s on the same buffers; MB/s of source (raw) data.\n"
                "enc/z1c and dec/z1c: encode and decode speed over zlib level 1 compress;\n"
                "dec/infl: decode speed over zlib inflate.\n", zlibVersion());
    for (const auto& s : work) benchSample(s, only);
    if (file.empty() && (only.empty() || std::find(only.begin(), only.end(), 0) != only.end()))
        benchRegularDay();
    if (failures != 0) {
        std::printf("\n%d method(s) failed the round trip\n", failures);
        return 1;
    }
    std::printf("\nall round trips verified\n");
    return 0;
}
