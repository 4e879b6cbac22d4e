// reduct: try the Reduct methods on your own data, code and decode files,
// and compare the methods with general-purpose compressors.
#include <reduct/codec.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#define REDUCT_ISATTY _isatty
#define REDUCT_FILENO _fileno
#define REDUCT_GETPID _getpid
#else
#include <unistd.h>
#define REDUCT_ISATTY isatty
#define REDUCT_FILENO fileno
#define REDUCT_GETPID getpid
#endif

#include "bench_core.h"
#include "container.h"
#include "samples.h"
#include "text_input.h"

namespace {

using reduct::tool::SampleType;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* VERSION = "0.1.0";

const char* const USAGE = R"(usage: reduct <command> [options]

Commands:
  encode -m METHOD [--type T] [--column C] [--range LOW:HIGH] [--raw] IN [-o OUT] [-f]
        Code IN with METHOD (0..13 or its name, e.g. CM_DELTA16_LZW). IN is raw
        little-endian samples, or text/CSV (by --column, --text, or a .csv/.txt/.tsv
        name) converted to --type. Writes OUT (default IN.rdc) with a header that
        records the method, the length and a CRC-32; --raw writes the bare library
        stream instead. Method 6 takes f32 samples and the range LOW:HIGH (whole
        numbers; default: the data's own range, widened to whole numbers).
  decode [--raw -m METHOD] IN [-o OUT] [-f]
        Decode a file written by `reduct encode` (the header says how), checking its
        length and CRC-32. With --raw, IN is a bare library stream of METHOD.
        OUT defaults to IN without .rdc (or IN.out).
  analyze IN --type T [--column C] [--range LOW:HIGH]
        Code IN with every method that applies to its type, print ratio, speed and
        whether the method kept every bit (or the largest error it made), and
        recommend one.
  bench [IN --type T] [--json] [--scale S] [--min-time SECONDS]
        Every method beside zlib levels 1, 6, 9 (and zstd, lz4 where built in) on
        the same buffers. Without IN, the bundled samples.
  methods
        List the methods and the sample types they take.

Types (--type): time (u32 seconds + u16 milliseconds), u16, i32, f32, f64, flag.
Text input: one value per line, or fields separated by commas, semicolons, tabs or
blanks; --column takes a 1-based number or a header name. Timestamps are seconds
since 1970 (fractions allowed) or YYYY-MM-DDTHH:MM:SS[.mmm] in UTC.

Options:
  -o OUT        output file ('-' for standard output)
  -f, --force   replace an existing output file
  -h, --help    this text
  --version     the tool's version

Exit status: 0 success, 1 a failure (the message names the file and the reason),
2 a usage error.
)";

struct Failure {
    int code;
    std::string message;
};

[[noreturn]] void fail(const std::string& message, int code = 1) { throw Failure{code, message}; }

// ---- files -------------------------------------------------------------------

Bytes readFile(const std::string& path) {
    std::FILE* f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (f == nullptr) fail(path + ": cannot open: " + std::strerror(errno));
    Bytes data;
    std::uint8_t buf[1 << 16];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        data.insert(data.end(), buf, buf + n);
        if (data.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            fail(path + ": too large: one stream holds at most 2147483647 bytes");
    }
    const bool bad = std::ferror(f) != 0;
    if (f != stdin) std::fclose(f);
    if (bad) fail(path + ": read error");
    return data;
}

bool exists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f != nullptr) std::fclose(f);
    return f != nullptr;
}

// Writes beside the target and renames, so a failed run leaves no partial
// output file behind.
void writeFile(const std::string& path, const std::vector<const Bytes*>& parts, bool force) {
    if (path == "-") {
        for (const Bytes* p : parts)
            if (std::fwrite(p->data(), 1, p->size(), stdout) != p->size()) fail("standard output: write error");
        std::fflush(stdout);
        return;
    }
    if (!force && exists(path)) fail(path + ": exists (use -f to replace it)");
    const std::string temp = path + ".tmp" + std::to_string(REDUCT_GETPID());
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) fail(path + ": cannot create: " + std::strerror(errno));
    bool ok = true;
    for (const Bytes* p : parts) ok = ok && std::fwrite(p->data(), 1, p->size(), f) == p->size();
    ok = (std::fclose(f) == 0) && ok;
    if (ok) {
#if defined(_WIN32)
        if (force) std::remove(path.c_str());
#endif
        ok = std::rename(temp.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        const std::string why = std::strerror(errno);
        std::remove(temp.c_str());
        fail(path + ": cannot write: " + why);
    }
}

// A progress line on standard error for calls that take over a second,
// when standard error is a terminal.
class Progress {
public:
    explicit Progress(std::string what) : what_(std::move(what)) {
        if (REDUCT_ISATTY(REDUCT_FILENO(stderr)) == 0) return;
        thread_ = std::thread([this] {
            std::unique_lock<std::mutex> lock(mutex_);
            const auto start = std::chrono::steady_clock::now();
            if (done_cv_.wait_for(lock, std::chrono::seconds(1), [this] { return done_; })) return;
            while (!done_) {
                const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::fprintf(stderr, "\rreduct: %s ... %.0f s", what_.c_str(), s);
                shown_ = true;
                done_cv_.wait_for(lock, std::chrono::milliseconds(500), [this] { return done_; });
            }
        });
    }
    ~Progress() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_all();
        thread_.join();
        if (shown_) std::fprintf(stderr, "\r%*s\r", static_cast<int>(what_.size() + 24), "");
    }

private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    bool shown_ = false;
    std::thread thread_;
};

// ---- methods and types -------------------------------------------------------------

int parseMethod(const std::string& s) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (!s.empty() && *end == '\0') {
        if (v < 0 || v > MAX_METHOD) fail("method " + s + " does not exist (0..13)", 2);
        return static_cast<int>(v);
    }
    for (int m = 0; m <= MAX_METHOD; ++m) {
        const std::string name = reduct::bench::methodName(m);
        if (strcasecmp(name.c_str(), s.c_str()) == 0 || strcasecmp(name.c_str() + 3, s.c_str()) == 0) return m;
    }
    fail("unknown method '" + s + "' (give 0..13 or a name such as CM_DELTA16_LZW)", 2);
}

SampleType parseType(const std::string& s) {
    const auto t = reduct::tool::typeFromName(s);
    if (!t || *t == SampleType::Raw) fail("unknown type '" + s + "' (time, u16, i32, f32, f64, flag)", 2);
    return *t;
}

reduct::samples::Kind kindOf(SampleType t) {
    using reduct::samples::Kind;
    switch (t) {
        case SampleType::Time: return Kind::Time;
        case SampleType::U16: return Kind::Word16;
        case SampleType::I32: return Kind::Int32;
        case SampleType::F32: return Kind::Float32;
        case SampleType::F64: return Kind::Float64;
        case SampleType::Flag:
        case SampleType::Raw: return Kind::Flags;
    }
    return Kind::Flags;
}

struct InputOptions {
    std::optional<SampleType> type;
    std::string column;
    bool text = false;
    std::optional<std::pair<std::int32_t, std::int32_t>> range;
};

bool looksLikeText(const std::string& path) {
    for (const char* ext : {".csv", ".txt", ".tsv", ".CSV", ".TXT", ".TSV"}) {
        const std::size_t n = std::strlen(ext);
        if (path.size() >= n && path.compare(path.size() - n, n, ext) == 0) return true;
    }
    return false;
}

// Reads IN as samples of its type: text converted, raw checked for whole records.
Bytes readSamples(const std::string& path, const InputOptions& in) {
    Bytes data = readFile(path);
    const bool text = in.text || !in.column.empty() || looksLikeText(path);
    if (text) {
        if (!in.type) fail(path + ": text input needs --type (time, u16, i32, f32, f64, flag)", 2);
        Bytes samples;
        std::string error;
        if (!reduct::tool::parseText(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                                     *in.type, in.column, samples, error))
            fail(error);
        return samples;
    }
    if (data.empty()) fail(path + ": empty");
    const std::size_t size = in.type ? reduct::tool::typeSize(*in.type) : 1;
    if (data.size() % size != 0)
        fail(path + ": " + std::to_string(data.size()) + " bytes is not a whole number of " +
             reduct::tool::typeName(*in.type) + " samples (" + std::to_string(size) + " bytes each)");
    return data;
}

std::pair<std::int32_t, std::int32_t> floatRange(const Bytes& samples, const InputOptions& in) {
    if (in.range) return *in.range;
    double lo = INFINITY, hi = -INFINITY;
    for (std::size_t i = 0; i + 4 <= samples.size(); i += 4) {
        float v;
        std::memcpy(&v, samples.data() + i, 4);
        if (std::isfinite(v)) {
            lo = std::fmin(lo, v);
            hi = std::fmax(hi, v);
        }
    }
    if (!(lo <= hi)) return {0, 1};
    lo = std::fmax(std::floor(lo), -2147483648.0);
    hi = std::fmin(std::ceil(hi), 2147483647.0);
    if (hi <= lo) hi = lo + 1;
    return {static_cast<std::int32_t>(lo), static_cast<std::int32_t>(hi)};
}

template <typename T>
void append(Bytes& out, T v) {
    std::uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}

std::string statusText(const CodecResult& r) {
    switch (r.status) {
        case CODEC_BAD_LENGTH: return "the method does not take a source of this length";
        case CODEC_TIME_ORDER: return "the second timestamp is earlier than the first";
        case CODEC_BAD_STREAM: return "damaged, or not a stream of this method";
        case CODEC_BAD_VALUE: return "holds a value the method cannot code";
        case CODEC_BAD_METHOD: return "the method is not in this build";
        default: return "status " + std::to_string(r.status);
    }
}

// One library call sized by a first guess, then by the length it reports.
Bytes runCodec(bool encode, const Bytes& src, int method, const std::string& path) {
    std::size_t cap = encode ? src.size() * 2 + 64 : src.size() * 8 + 64;
    constexpr auto maxCap = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    if (cap > maxCap) cap = maxCap;
    Bytes out;
    CodecResult r{};
    for (int attempt = 0; attempt < 2; ++attempt) {
        out.assign(cap, 0);
        const auto len = static_cast<std::int32_t>(src.size());
        const auto c = static_cast<std::int32_t>(cap);
        r = encode ? Encode(src.data(), len, method, 0, out.data(), c) : Decode(src.data(), len, method, out.data(), c);
        if (r.status != CODEC_OUTPUT_OVERFLOW) break;
        cap = static_cast<std::size_t>(r.length);
    }
    if (r.status != CODEC_OK) fail(path + ": " + statusText(r) + " (method " + std::to_string(method) + ")");
    out.resize(static_cast<std::size_t>(r.length));
    return out;
}

std::string defaultOutput(const std::string& in, bool encoding) {
    if (in == "-") return "-";
    if (encoding) return in + ".rdc";
    if (in.size() > 4 && in.compare(in.size() - 4, 4, ".rdc") == 0) return in.substr(0, in.size() - 4);
    return in + ".out";
}

// ---- commands ------------------------------------------------------------------

struct Args {
    std::vector<std::string> positional;
    std::optional<int> method;
    InputOptions input;
    std::string output;
    bool force = false, raw = false, json = false;
    double scale = 1.0, minTime = -1;
};

std::pair<std::int32_t, std::int32_t> parseRange(const std::string& s) {
    const std::size_t colon = s.find(':', 1);
    char* e1 = nullptr;
    char* e2 = nullptr;
    if (colon != std::string::npos) {
        const long long lo = std::strtoll(s.substr(0, colon).c_str(), &e1, 10);
        const long long hi = std::strtoll(s.substr(colon + 1).c_str(), &e2, 10);
        if (*e1 == '\0' && *e2 == '\0' && lo >= INT32_MIN && lo <= INT32_MAX && hi >= INT32_MIN && hi <= INT32_MAX)
            return {static_cast<std::int32_t>(lo), static_cast<std::int32_t>(hi)};
    }
    fail("--range wants LOW:HIGH, two whole numbers, e.g. --range -50:150", 2);
}

Args parseArgs(int argc, char** argv, int first) {
    Args a;
    for (int i = first; i < argc; ++i) {
        const std::string s = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) fail(s + " needs a value", 2);
            return argv[++i];
        };
        if (s == "-m" || s == "--method") a.method = parseMethod(value());
        else if (s == "--type" || s == "-t") a.input.type = parseType(value());
        else if (s == "--column" || s == "-c") a.input.column = value();
        else if (s == "--range") a.input.range = parseRange(value());
        else if (s == "--text") a.input.text = true;
        else if (s == "-o" || s == "--output") a.output = value();
        else if (s == "-f" || s == "--force") a.force = true;
        else if (s == "--raw") a.raw = true;
        else if (s == "--json") a.json = true;
        else if (s == "--scale") a.scale = std::atof(value().c_str());
        else if (s == "--min-time") a.minTime = std::atof(value().c_str());
        else if (s.size() > 1 && s[0] == '-') fail("unknown option " + s, 2);
        else a.positional.push_back(s);
    }
    return a;
}

std::string oneInput(const Args& a, const char* command) {
    if (a.positional.size() != 1) fail(std::string(command) + " takes one input file", 2);
    return a.positional[0];
}

int cmdEncode(const Args& a) {
    const std::string in = oneInput(a, "encode");
    if (!a.method) fail("encode needs -m METHOD", 2);
    const int method = *a.method;
    Bytes samples = readSamples(in, a.input);
    const std::string out = a.output.empty() ? defaultOutput(in, true) : a.output;

    reduct::tool::Header h;
    h.method = static_cast<std::uint8_t>(method);
    h.type = a.input.type.value_or(SampleType::Raw);
    Bytes source;
    const Bytes* src = &samples;
    if (method == CM_FLOAT_LZW && !a.raw) {
        // The library takes the range ahead of the samples; the file keeps
        // it inside the stream and decoding removes it again.
        if (a.input.type && *a.input.type != SampleType::F32) fail(in + ": method 6 codes f32 samples", 2);
        const auto [lo, hi] = floatRange(samples, a.input);
        append<std::int32_t>(source, lo);
        append<std::int32_t>(source, hi);
        source.insert(source.end(), samples.begin(), samples.end());
        src = &source;
        h.flags = reduct::tool::FLAG_RANGE_HEADER;
    }
    Bytes coded;
    {
        Progress p("encoding " + in);
        coded = runCodec(true, *src, method, in);
    }
    if (a.raw) {
        writeFile(out, {&coded}, a.force);
        return 0;
    }
    // The checksum covers what decoding gives back, so lossy methods are
    // checked against their own output.
    const bool lossless = reduct::bench::methodIsLossless(method);
    Bytes decoded;
    if (!lossless) {
        decoded = runCodec(false, coded, method, in);
        if (h.flags & reduct::tool::FLAG_RANGE_HEADER) decoded.erase(decoded.begin(), decoded.begin() + 8);
    }
    const Bytes& back = lossless ? samples : decoded;
    h.rawLength = static_cast<std::uint32_t>(back.size());
    h.codedLength = static_cast<std::uint32_t>(coded.size());
    h.crc = reduct::tool::crc32Of(back);
    const Bytes header = reduct::tool::writeHeader(h);
    writeFile(out, {&header, &coded}, a.force);
    if (out != "-")
        std::fprintf(stderr, "%s: %zu -> %zu bytes (ratio %.2f), method %d %s%s\n", out.c_str(), samples.size(),
                     coded.size() + header.size(),
                     static_cast<double>(samples.size()) / static_cast<double>(coded.size() + header.size()),
                     method, reduct::bench::methodName(method), lossless ? "" : " (lossy)");
    return 0;
}

int cmdDecode(const Args& a) {
    const std::string in = oneInput(a, "decode");
    const std::string out = a.output.empty() ? defaultOutput(in, false) : a.output;
    const Bytes file = readFile(in);
    if (file.empty()) fail(in + ": empty");
    if (a.raw) {
        if (!a.method) fail("decode --raw needs -m METHOD", 2);
        Bytes decoded;
        {
            Progress p("decoding " + in);
            decoded = runCodec(false, file, *a.method, in);
        }
        writeFile(out, {&decoded}, a.force);
        return 0;
    }
    std::string error;
    const auto h = reduct::tool::readHeader(file, error);
    if (!h) fail(in + ": " + error);
    const Bytes coded(file.begin() + reduct::tool::HEADER_SIZE, file.end());
    Bytes decoded;
    {
        Progress p("decoding " + in);
        decoded = runCodec(false, coded, h->method, in);
    }
    if (h->flags & reduct::tool::FLAG_RANGE_HEADER) {
        if (decoded.size() < 8) fail(in + ": damaged: the stream is too short");
        decoded.erase(decoded.begin(), decoded.begin() + 8);
    }
    if (decoded.size() != h->rawLength)
        fail(in + ": damaged: decoded " + std::to_string(decoded.size()) + " bytes, the header says " +
             std::to_string(h->rawLength));
    if (reduct::tool::crc32Of(decoded) != h->crc) fail(in + ": damaged: CRC-32 mismatch");
    writeFile(out, {&decoded}, a.force);
    return 0;
}

reduct::samples::Sample sampleFromInput(const std::string& in, const Args& a) {
    if (!a.input.type) fail("give the sample type with --type (time, u16, i32, f32, f64, flag)", 2);
    Bytes data = readSamples(in, a.input);
    const auto kind = kindOf(*a.input.type);
    reduct::samples::Sample s{in, kind, reduct::samples::recordSize(kind), std::move(data)};
    if (kind == reduct::samples::Kind::Float32) {
        const auto [lo, hi] = floatRange(s.bytes, a.input);
        s.rangeLow = lo;
        s.rangeHigh = hi;
    }
    return s;
}

int cmdAnalyze(const Args& a) {
    const std::string in = oneInput(a, "analyze");
    const auto sample = sampleFromInput(in, a);
    reduct::bench::Options o;
    o.minTime = a.minTime >= 0 ? a.minTime : 0.05;
    o.zlibLevels = {1, 6};
    o.methods = reduct::samples::methodsFor(sample.kind);
    // Word run length applies to any whole number of words.
    for (int extra : {CM_WORD16_RUN, CM_WORD32_RUN}) {
        const std::size_t word = extra == CM_WORD16_RUN ? 2 : 4;
        if (sample.bytes.size() % word == 0 && sample.kind != reduct::samples::Kind::Flags &&
            std::find(o.methods.begin(), o.methods.end(), extra) == o.methods.end())
            o.methods.push_back(extra);
    }
    reduct::bench::Report rep;
    {
        Progress p("analysing " + in);
        rep = reduct::bench::measure(sample, o);
    }
    if (sample.kind == reduct::samples::Kind::Float32)
        std::printf("method 6 range: %d..%d%s\n", sample.rangeLow, sample.rangeHigh,
                    a.input.range ? "" : " (from the data; set it with --range)");
    reduct::bench::printTable(stdout, rep);

    // Recommend what keeps every bit by design; a lossy method is offered
    // beside it only when it is clearly smaller.
    const reduct::bench::Row* best = nullptr;
    const reduct::bench::Row* bestLossy = nullptr;
    for (const auto& r : rep.rows) {
        if (r.method < 0 || r.codedBytes == 0 || r.check == "DECODE FAILED" || r.check == "MISMATCH") continue;
        if (r.lossless && r.exact) {
            if (best == nullptr || r.ratio > best->ratio) best = &r;
        } else if (!r.lossless && (bestLossy == nullptr || r.ratio > bestLossy->ratio)) {
            bestLossy = &r;
        }
    }
    std::printf("\n");
    if (best != nullptr)
        std::printf("recommended: method %d %s, ratio %.2f, lossless\n", best->method,
                    reduct::bench::methodName(best->method), best->ratio);
    if (bestLossy != nullptr && (best == nullptr || bestLossy->ratio > best->ratio * 1.2)) {
        char error[64];
        if (bestLossy->exact) std::snprintf(error, sizeof error, "exact on this data");
        else std::snprintf(error, sizeof error, "largest error %g", bestLossy->maxError);
        std::printf("%s: method %d %s, ratio %.2f, lossy method (%s)\n",
                    best == nullptr ? "recommended" : "smaller but lossy", bestLossy->method,
                    reduct::bench::methodName(bestLossy->method), bestLossy->ratio, error);
    }
    if (best == nullptr && bestLossy == nullptr) std::printf("no method could code this data\n");
    return rep.failures == 0 ? 0 : 1;
}

int cmdBench(const Args& a) {
    std::vector<reduct::samples::Sample> work;
    if (a.positional.size() > 1) fail("bench takes at most one input file", 2);
    if (a.positional.size() == 1) work.push_back(sampleFromInput(a.positional[0], a));
    else work = reduct::samples::generateAll(a.scale);
    reduct::bench::Options o;
    o.minTime = a.minTime >= 0 ? a.minTime : 0.2;
    o.zlibLevels = {1, 6, 9};
    o.otherCodecs = true;
    if (a.method) o.methods = {*a.method};
    std::vector<reduct::bench::Report> reports;
    int failures = 0;
    for (const auto& s : work) {
        reports.push_back(reduct::bench::measure(s, o));
        failures += reports.back().failures;
        if (!a.json) reduct::bench::printTable(stdout, reports.back());
    }
    if (a.json) reduct::bench::printJson(stdout, reports);
    return failures == 0 ? 0 : 1;
}

int cmdMethods() {
    static const char* const takes[] = {
        "time: regular timestamps (lossy for irregular series)", "i32", "u16", "u16", "i32",
        "flag (keeps zero / non-zero)", "f32 within a stated range (lossy)", "f64 (lossy when differences round)",
        "u16 (same coder as 3)", "i32 (same coder as 4)", "32-bit words", "u16 with differences up to 4095",
        "f32", "u16"};
    for (int m = 0; m <= MAX_METHOD; ++m) std::printf("%2d  %-20s %s\n", m, reduct::bench::methodName(m), takes[m]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 2) {
            std::fputs(USAGE, stderr);
            return 2;
        }
        const std::string_view cmd = argv[1];
        if (cmd == "-h" || cmd == "--help" || cmd == "help") {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (cmd == "--version") {
            std::printf("reduct %s\n", VERSION);
            return 0;
        }
        for (int i = 2; i < argc; ++i)
            if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
                std::fputs(USAGE, stdout);
                return 0;
            }
        const Args a = parseArgs(argc, argv, 2);
        if (cmd == "encode") return cmdEncode(a);
        if (cmd == "decode") return cmdDecode(a);
        if (cmd == "analyze" || cmd == "analyse") return cmdAnalyze(a);
        if (cmd == "bench") return cmdBench(a);
        if (cmd == "methods") return cmdMethods();
        fail("unknown command '" + std::string(cmd) + "' (encode, decode, analyze, bench, methods; --help)", 2);
    } catch (const Failure& f) {
        std::fprintf(stderr, "reduct: %s\n", f.message.c_str());
        if (f.code == 2) std::fprintf(stderr, "(reduct --help shows the usage)\n");
        return f.code;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "reduct: out of memory\n");
        return 1;
    }
}
