#include "bench_core.h"

#include <reduct/codec.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

#if defined(REDUCT_HAVE_ZSTD)
#include <zstd.h>
#endif
#if defined(REDUCT_HAVE_LZ4)
#include <lz4.h>
#endif

namespace reduct::bench {
namespace {

using Clock = std::chrono::steady_clock;
using reduct::samples::Kind;
using reduct::samples::Sample;

const char* const METHOD_NAMES[] = {
    "CM_REGULAR_TIME",  "CM_INT32_DELTA_RUN", "CM_WORD16_RUN",      "CM_DELTA16_LZW",
    "CM_DELTA32_LZW",   "CM_BIT_PACK",        "CM_FLOAT_LZW",       "CM_DOUBLE_LZW",
    "CM_DELTA16_LZW_2", "CM_DELTA32_LZW_2",   "CM_WORD32_RUN",      "CM_SIGNED12_LZW",
    "CM_FLOAT_SPLIT_LZW", "CM_BYTE_PLANE_LZW"};

// Runs op until minTime has passed (at least twice) and returns the best
// time of one run, in seconds.
template <typename Op>
double bestTime(double minTime, Op&& op) {
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

// A row whose encode and decode are still to be timed. Its buffers live in
// the closures, so rows can be prepared first and timed together.
struct Job {
    Row row;
    std::size_t srcBytes = 0;
    std::function<void()> encode, decode;  // empty: nothing to time
    double bestEnc = 1e30, bestDec = 1e30;
};

double timeOnce(const std::function<void()>& op) {
    const auto t0 = Clock::now();
    op();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Times every job's encode and decode in turn, round after round, keeping
// each one's best run: zlib and the methods are measured side by side in
// the same stretch of time, so a machine whose speed drifts (shared cores,
// clock changes) shifts them alike and their ratios hold. Rounds go on
// until each operation has had about minTime, and at least two are run.
void timeInRounds(std::vector<Job>& jobs, double minTime) {
    std::size_t ops = 0;
    for (const Job& j : jobs) ops += (j.encode ? 1u : 0u) + (j.decode ? 1u : 0u);
    double spent = 0;
    for (int round = 0; round < 2 || spent < minTime * static_cast<double>(ops); ++round) {
        for (Job& j : jobs) {
            if (j.encode) {
                const double t = timeOnce(j.encode);
                j.bestEnc = std::min(j.bestEnc, t);
                spent += t;
            }
            if (j.decode) {
                const double t = timeOnce(j.decode);
                j.bestDec = std::min(j.bestDec, t);
                spent += t;
            }
        }
    }
}

double mbps(std::size_t bytes, double seconds) {
    return static_cast<double>(bytes) / std::max(seconds, 1e-9) / 1e6;
}

template <typename T>
T at(const std::vector<std::uint8_t>& b, std::size_t i) {
    T v;
    std::memcpy(&v, b.data() + i * sizeof(T), sizeof(T));
    return v;
}

// The largest difference between source and decoded samples, in the unit
// of the sample kind (milliseconds for timestamps, value units otherwise).
double largestError(Kind kind, int method, const std::vector<std::uint8_t>& src,
                    const std::vector<std::uint8_t>& back) {
    const std::size_t skip = method == CM_FLOAT_LZW ? 8 : 0;  // the range header
    if (back.size() != src.size() || src.size() < skip) return INFINITY;
    std::vector<std::uint8_t> s(src.begin() + static_cast<std::ptrdiff_t>(skip), src.end());
    std::vector<std::uint8_t> d(back.begin() + static_cast<std::ptrdiff_t>(skip), back.end());
    double worst = 0;
    auto note = [&](double e) {
        if (std::isnan(e)) e = INFINITY;
        worst = std::max(worst, e);
    };
    switch (kind) {
        case Kind::Time:
            for (std::size_t i = 0; i < s.size() / 6; ++i) {
                std::uint32_t s1, s2;
                std::uint16_t m1, m2;
                std::memcpy(&s1, s.data() + i * 6, 4);
                std::memcpy(&m1, s.data() + i * 6 + 4, 2);
                std::memcpy(&s2, d.data() + i * 6, 4);
                std::memcpy(&m2, d.data() + i * 6 + 4, 2);
                note(std::fabs((s1 * 1000.0 + m1) - (s2 * 1000.0 + m2)));
            }
            break;
        case Kind::Word16:
        case Kind::Adc12:
            for (std::size_t i = 0; i < s.size() / 2; ++i)
                note(std::fabs(double(at<std::uint16_t>(s, i)) - double(at<std::uint16_t>(d, i))));
            break;
        case Kind::Int32:
            for (std::size_t i = 0; i < s.size() / 4; ++i)
                note(std::fabs(double(at<std::int32_t>(s, i)) - double(at<std::int32_t>(d, i))));
            break;
        case Kind::Float32:
            for (std::size_t i = 0; i < s.size() / 4; ++i)
                note(std::fabs(double(at<float>(s, i)) - double(at<float>(d, i))));
            break;
        case Kind::Float64:
            for (std::size_t i = 0; i < s.size() / 8; ++i) note(std::fabs(at<double>(s, i) - at<double>(d, i)));
            break;
        case Kind::Flags:
            for (std::size_t i = 0; i < s.size(); ++i) note((s[i] != 0) != (d[i] != 0) ? 1.0 : 0.0);
            break;
    }
    return worst;
}

Job zlibJob(const std::vector<std::uint8_t>& src, int level) {
    Job job;
    job.srcBytes = src.size();
    job.row.codec = "zlib level " + std::to_string(level);
    const uLongf bound = compressBound(static_cast<uLong>(src.size()));
    auto packed = std::make_shared<std::vector<Bytef>>(bound);
    auto back = std::make_shared<std::vector<Bytef>>(src.size());
    auto packedLen = std::make_shared<uLongf>(bound);
    const Bytef* s = src.data();
    const auto n = static_cast<uLong>(src.size());
    job.encode = [packed, packedLen, bound, s, n, level] {
        *packedLen = bound;
        compress2(packed->data(), packedLen.get(), s, n, level);
    };
    job.decode = [packed, packedLen, back] {
        uLongf backLen = static_cast<uLongf>(back->size());
        uncompress(back->data(), &backLen, packed->data(), *packedLen);
    };
    job.encode();
    uLongf backLen = static_cast<uLongf>(back->size());
    uncompress(back->data(), &backLen, packed->data(), *packedLen);
    job.row.codedBytes = *packedLen;
    job.row.ratio = static_cast<double>(src.size()) / static_cast<double>(*packedLen);
    job.row.exact = backLen == src.size() && std::equal(back->begin(), back->end(), src.begin());
    job.row.check = job.row.exact ? "exact" : "MISMATCH";
    return job;
}

#if defined(REDUCT_HAVE_ZSTD)
Job zstdJob(const std::vector<std::uint8_t>& src, int level) {
    Job job;
    job.srcBytes = src.size();
    job.row.codec = "zstd level " + std::to_string(level);
    auto packed = std::make_shared<std::vector<std::uint8_t>>(ZSTD_compressBound(src.size()));
    auto back = std::make_shared<std::vector<std::uint8_t>>(src.size());
    auto n = std::make_shared<std::size_t>(0);
    const std::uint8_t* s = src.data();
    const std::size_t len = src.size();
    job.encode = [packed, n, s, len, level] { *n = ZSTD_compress(packed->data(), packed->size(), s, len, level); };
    job.decode = [packed, n, back] { ZSTD_decompress(back->data(), back->size(), packed->data(), *n); };
    job.encode();
    const std::size_t m = ZSTD_decompress(back->data(), back->size(), packed->data(), *n);
    job.row.codedBytes = *n;
    job.row.ratio = static_cast<double>(src.size()) / static_cast<double>(*n);
    job.row.exact = m == src.size() && *back == src;
    job.row.check = job.row.exact ? "exact" : "MISMATCH";
    return job;
}
#endif

#if defined(REDUCT_HAVE_LZ4)
Job lz4Job(const std::vector<std::uint8_t>& src) {
    Job job;
    job.srcBytes = src.size();
    job.row.codec = "lz4";
    const int srcLen = static_cast<int>(src.size());
    auto packed = std::make_shared<std::vector<char>>(static_cast<std::size_t>(LZ4_compressBound(srcLen)));
    auto back = std::make_shared<std::vector<std::uint8_t>>(src.size());
    auto n = std::make_shared<int>(0);
    const char* s = reinterpret_cast<const char*>(src.data());
    job.encode = [packed, n, s, srcLen] {
        *n = LZ4_compress_default(s, packed->data(), srcLen, static_cast<int>(packed->size()));
    };
    job.decode = [packed, n, back, srcLen] {
        LZ4_decompress_safe(packed->data(), reinterpret_cast<char*>(back->data()), *n, srcLen);
    };
    job.encode();
    const int m = LZ4_decompress_safe(packed->data(), reinterpret_cast<char*>(back->data()), *n, srcLen);
    job.row.codedBytes = static_cast<std::size_t>(*n);
    job.row.ratio = static_cast<double>(src.size()) / *n;
    job.row.exact = m == srcLen && *back == src;
    job.row.check = job.row.exact ? "exact" : "MISMATCH";
    return job;
}
#endif

Job methodJob(const Sample& s, int m) {
    Job job;
    Row& row = job.row;
    row.method = m;
    row.codec = std::to_string(m) + " " + METHOD_NAMES[m];
    row.lossless = methodIsLossless(m);
    auto src = std::make_shared<const std::vector<std::uint8_t>>(reduct::samples::methodSource(s, m));
    job.srcBytes = src->size();
    const auto srcLen = static_cast<std::int32_t>(src->size());
    auto coded = std::make_shared<std::vector<std::uint8_t>>(src->size() * 2 + 1024);
    const auto cap = static_cast<std::int32_t>(coded->size());
    const CodecResult r = Encode(src->data(), srcLen, m, 0, coded->data(), cap);
    row.status = r.status;
    if (r.status == CODEC_BAD_METHOD) {
        row.check = "not built";
        return job;
    }
    if (r.status != CODEC_OK) {
        row.check = r.status == CODEC_BAD_VALUE ? "not codable (value)"
                    : r.status == CODEC_BAD_LENGTH ? "not codable (length)"
                    : r.status == CODEC_TIME_ORDER ? "not codable (time order)"
                                                   : "ENCODE FAILED";
        return job;
    }
    const std::int32_t codedLen = r.length;
    auto back = std::make_shared<std::vector<std::uint8_t>>(src->size() + 64);
    const CodecResult d = Decode(coded->data(), codedLen, m, back->data(), static_cast<std::int32_t>(back->size()));
    row.codedBytes = static_cast<std::size_t>(codedLen);
    row.ratio = static_cast<double>(src->size()) / codedLen;
    if (d.status != CODEC_OK) {
        row.check = "DECODE FAILED";
        return job;
    }
    const std::vector<std::uint8_t> decoded(back->begin(), back->begin() + d.length);
    row.exact = decoded == *src;
    if (!row.exact) row.maxError = largestError(s.kind, m, *src, decoded);
    row.check = row.exact ? "exact" : row.lossless ? "MISMATCH" : "lossy";
    job.encode = [src, coded, srcLen, m, cap] { Encode(src->data(), srcLen, m, 0, coded->data(), cap); };
    job.decode = [coded, back, codedLen, m] {
        Decode(coded->data(), codedLen, m, back->data(), static_cast<std::int32_t>(back->size()));
    };
    return job;
}

bool failed(const Row& r) {
    return r.check == "MISMATCH" || r.check == "DECODE FAILED" || r.check == "ENCODE FAILED";
}

}  // namespace

const char* methodName(int method) {
    return method >= 0 && method <= MAX_METHOD ? METHOD_NAMES[method] : "?";
}

bool methodIsLossless(int method) {
    return method != CM_REGULAR_TIME && method != CM_BIT_PACK && method != CM_FLOAT_LZW &&
           method != CM_DOUBLE_LZW;
}

bool otherCodecsAvailable() {
#if defined(REDUCT_HAVE_ZSTD) || defined(REDUCT_HAVE_LZ4)
    return true;
#else
    return false;
#endif
}

Report measure(const Sample& s, const Options& o) {
    Report rep;
    rep.name = s.name;
    rep.kind = std::string(reduct::samples::kindName(s.kind));
    rep.bytes = s.bytes.size();
    std::vector<Job> jobs;
    for (int level : o.zlibLevels) jobs.push_back(zlibJob(s.bytes, level));
    if (o.otherCodecs) {
#if defined(REDUCT_HAVE_ZSTD)
        jobs.push_back(zstdJob(s.bytes, 1));
        jobs.push_back(zstdJob(s.bytes, 3));
#endif
#if defined(REDUCT_HAVE_LZ4)
        jobs.push_back(lz4Job(s.bytes));
#endif
    }
    std::vector<int> methods = o.methods;
    if (methods.empty()) methods = reduct::samples::methodsFor(s.kind);
    for (int m : methods) {
        if (m < 0 || m > MAX_METHOD) continue;
        jobs.push_back(methodJob(s, m));
    }
    timeInRounds(jobs, o.minTime);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        Row row = jobs[i].row;
        if (jobs[i].encode) row.encMBs = mbps(jobs[i].srcBytes, jobs[i].bestEnc);
        if (jobs[i].decode) row.decMBs = mbps(jobs[i].srcBytes, jobs[i].bestDec);
        if (i < o.zlibLevels.size() && o.zlibLevels[i] == 1) {
            rep.zlib1EncMBs = row.encMBs;
            rep.zlib1DecMBs = row.decMBs;
        }
        if (row.method >= 0 && failed(row)) ++rep.failures;
        rep.rows.push_back(std::move(row));
    }
    return rep;
}

void printTable(std::FILE* out, const Report& rep) {
    std::fprintf(out, "\n%s (%s): %zu bytes\n", rep.name.c_str(), rep.kind.c_str(), rep.bytes);
    std::fprintf(out, "  %-24s %9s %10s %10s %9s %9s %9s  %s\n", "method", "ratio", "enc MB/s",
                 "dec MB/s", "enc/z1c", "dec/z1c", "dec/infl", "round trip");
    for (const Row& r : rep.rows) {
        if (r.method < 0) {
            std::fprintf(out, "  %-24s %9.2f %10.0f %10.0f\n", r.codec.c_str(), r.ratio, r.encMBs, r.decMBs);
        } else if (r.codedBytes == 0) {
            std::fprintf(out, "  %-24s %9s  %s\n", r.codec.c_str(), "-", r.check.c_str());
        } else {
            char check[64];
            if (r.check == "lossy") std::snprintf(check, sizeof check, "lossy, max error %g", r.maxError);
            else if (r.exact && !r.lossless) std::snprintf(check, sizeof check, "exact (lossy method)");
            else std::snprintf(check, sizeof check, "%s", r.check.c_str());
            const double z1e = rep.zlib1EncMBs > 0 ? rep.zlib1EncMBs : 1;
            const double z1d = rep.zlib1DecMBs > 0 ? rep.zlib1DecMBs : 1;
            std::fprintf(out, "  %-24s %9.2f %10.0f %10.0f %8.1fx %8.1fx %8.1fx  %s\n", r.codec.c_str(),
                         r.ratio, r.encMBs, r.decMBs, r.encMBs / z1e, r.decMBs / z1e, r.decMBs / z1d, check);
        }
    }
}

bool timeRegularDay(std::FILE* out, double minTime) {
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
    const double te = bestTime(minTime, [&] { e = Encode(day.data(), len, CM_REGULAR_TIME, 0, header, 12); });
    if (e.status == CODEC_BAD_METHOD) return true;
    const double td = bestTime(minTime, [&] { d = Decode(header, 12, CM_REGULAR_TIME, back.data(), len); });
    const bool same = e.status == CODEC_OK && d.status == CODEC_OK && back == day;
    std::fprintf(out, "\n%2d %s, one day of 1 s timestamps (%u records): encode %.3f us, decode %.1f us  %s\n",
                 CM_REGULAR_TIME, METHOD_NAMES[CM_REGULAR_TIME], RECORDS, te * 1e6, td * 1e6,
                 same ? "exact" : "MISMATCH");
    return same;
}

void printJson(std::FILE* out, const std::vector<Report>& reports) {
    std::fprintf(out, "{\"zlib\":\"%s\",\"samples\":[", zlibVersion());
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const Report& rep = reports[i];
        std::string name;
        for (char c : rep.name) {
            if (c == '"' || c == '\\') name += '\\';
            if (static_cast<unsigned char>(c) >= 0x20) name += c;
        }
        std::fprintf(out, "%s{\"name\":\"%s\",\"kind\":\"%s\",\"bytes\":%zu,\"results\":[", i ? "," : "",
                     name.c_str(), rep.kind.c_str(), rep.bytes);
        for (std::size_t j = 0; j < rep.rows.size(); ++j) {
            const Row& r = rep.rows[j];
            std::fprintf(out,
                         "%s{\"codec\":\"%s\",\"method\":%d,\"coded_bytes\":%zu,\"ratio\":%.4f,"
                         "\"encode_mb_s\":%.1f,\"decode_mb_s\":%.1f,\"check\":\"%s\",\"max_error\":%.9g}",
                         j ? "," : "", r.codec.c_str(), r.method, r.codedBytes, r.ratio, r.encMBs, r.decMBs,
                         r.check.c_str(), std::isfinite(r.maxError) ? r.maxError : -1.0);
        }
        std::fprintf(out, "]}");
    }
    std::fprintf(out, "]}\n");
}

}  // namespace reduct::bench
