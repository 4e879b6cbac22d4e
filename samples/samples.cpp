#include "samples.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace reduct::samples {
namespace {

// SplitMix64: tiny, fast and the same everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>((next() >> 32) % n); }
    // Uniform in [-k, k].
    std::int32_t around(std::int32_t k) {
        return static_cast<std::int32_t>(below(static_cast<std::uint32_t>(2 * k + 1))) - k;
    }

private:
    std::uint64_t state_;
};

template <typename T>
void append(std::vector<std::uint8_t>& out, T v) {
    std::uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}

std::size_t scaled(std::size_t n, double scale) {
    const auto s = static_cast<std::size_t>(static_cast<double>(n) * scale);
    return std::max<std::size_t>(s, 2);
}

// A slowly wandering level with sensor noise, flat plateaus where the
// process holds still, and occasional steps, kept inside [lo, hi].
std::vector<std::int32_t> adcSeries(Random& rng, std::size_t n, std::int32_t lo, std::int32_t hi,
                                    std::int32_t noise, std::int32_t step) {
    std::vector<std::int32_t> v(n);
    std::int32_t level = lo + (hi - lo) / 5;
    std::int32_t trend = 0;
    std::size_t plateau = 0;
    std::int32_t held = level;
    for (std::size_t i = 0; i < n; ++i) {
        if (plateau > 0) {
            --plateau;
            v[i] = held;
            continue;
        }
        if (rng.below(2000) == 0) {
            plateau = 50 + rng.below(400);
            held = level;
        }
        if (rng.below(5000) == 0) level += rng.around(step);
        if (rng.below(64) == 0) trend = rng.around(2);
        level = std::clamp(level + trend, lo + noise, hi - noise);
        v[i] = std::clamp(level + rng.around(noise), lo, hi);
    }
    return v;
}

}  // namespace

std::string_view kindName(Kind kind) {
    switch (kind) {
        case Kind::Time: return "time";
        case Kind::Word16: return "u16";
        case Kind::Adc12: return "adc12";
        case Kind::Int32: return "i32";
        case Kind::Float32: return "f32";
        case Kind::Float64: return "f64";
        case Kind::Flags: return "flag";
    }
    return "?";
}

std::optional<Kind> kindFromName(std::string_view name) {
    for (Kind k : {Kind::Time, Kind::Word16, Kind::Adc12, Kind::Int32, Kind::Float32,
                   Kind::Float64, Kind::Flags}) {
        if (kindName(k) == name) return k;
    }
    return std::nullopt;
}

std::size_t recordSize(Kind kind) {
    switch (kind) {
        case Kind::Time: return 6;
        case Kind::Word16:
        case Kind::Adc12: return 2;
        case Kind::Int32:
        case Kind::Float32: return 4;
        case Kind::Float64: return 8;
        case Kind::Flags: return 1;
    }
    return 1;
}

Sample generate(Kind kind, double scale, std::uint64_t seed) {
    Random rng(seed ^ (static_cast<std::uint64_t>(kind) * 0x100000001B3ULL));
    Sample s{std::string(kindName(kind)), kind, recordSize(kind), {}};
    auto& out = s.bytes;
    switch (kind) {
        case Kind::Time: {
            // One record a second, starting 2026-12-11 00:00:00 UTC.
            const std::size_t n = scaled(600'000, scale);
            out.reserve(n * 6);
            for (std::size_t i = 0; i < n; ++i) {
                append<std::uint32_t>(out, static_cast<std::uint32_t>(1'796'947'200u + i));
                append<std::uint16_t>(out, 0);
            }
            break;
        }
        case Kind::Word16: {
            const std::size_t n = scaled(2'000'000, scale);
            for (std::int32_t v : adcSeries(rng, n, 0, 65535, 6, 8000))
                append<std::uint16_t>(out, static_cast<std::uint16_t>(v));
            break;
        }
        case Kind::Adc12: {
            const std::size_t n = scaled(2'000'000, scale);
            for (std::int32_t v : adcSeries(rng, n, 0, 4095, 3, 600))
                append<std::uint16_t>(out, static_cast<std::uint16_t>(v));
            break;
        }
        case Kind::Int32: {
            // Energy and event counters: steady increments, stalls, bursts,
            // and a wrap through 2^32.
            const std::size_t n = scaled(1'000'000, scale);
            std::uint32_t c = 0xFF00'0000u;
            std::uint32_t rate = 3;
            for (std::size_t i = 0; i < n; ++i) {
                if (rng.below(3000) == 0) rate = rng.below(8);
                std::uint32_t inc = rate;
                if (rng.below(10) == 0) inc += rng.below(3);
                c += inc;
                append<std::uint32_t>(out, c);
            }
            break;
        }
        case Kind::Float32: {
            // Temperatures in hundredths of a degree, drifting inside the range.
            const std::size_t n = scaled(1'000'000, scale);
            const std::int32_t lo = FLOAT_RANGE_LOW * 100, hi = FLOAT_RANGE_HIGH * 100;
            for (std::int32_t v : adcSeries(rng, n, lo, hi, 2, 500))
                append<float>(out, static_cast<float>(v) / 100.0f);
            break;
        }
        case Kind::Float64: {
            // Pressures in bar on a 0.001 grid.
            const std::size_t n = scaled(500'000, scale);
            for (std::int32_t v : adcSeries(rng, n, 0, 250'000, 3, 5000))
                append<double>(out, static_cast<double>(v) / 1000.0);
            break;
        }
        case Kind::Flags: {
            const std::size_t n = scaled(4'000'000, scale);
            out.assign(n, 0);
            std::size_t i = 0;
            while (i < n) {
                i += 200 + rng.below(4000);
                const std::size_t burst = 1 + rng.below(300);
                for (std::size_t j = i; j < std::min(n, i + burst); ++j)
                    out[j] = rng.below(4) == 0 ? 0 : static_cast<std::uint8_t>(1 + rng.below(255));
                i += burst;
            }
            break;
        }
    }
    return s;
}

std::vector<Sample> generateAll(double scale) {
    std::vector<Sample> all;
    for (Kind k : {Kind::Time, Kind::Word16, Kind::Adc12, Kind::Int32, Kind::Float32,
                   Kind::Float64, Kind::Flags})
        all.push_back(generate(k, scale));
    return all;
}

std::vector<int> methodsFor(Kind kind) {
    switch (kind) {
        case Kind::Time: return {0};
        case Kind::Word16: return {2, 10, 3, 13, 11};
        case Kind::Adc12: return {2, 3, 13, 11};
        case Kind::Int32: return {1, 10, 4};
        case Kind::Float32: return {12, 6, 10};
        case Kind::Float64: return {7};
        case Kind::Flags: return {5};
    }
    return {};
}

std::vector<std::uint8_t> methodSource(const Sample& sample, int method) {
    if (method != 6 || sample.kind != Kind::Float32) return sample.bytes;
    std::vector<std::uint8_t> src;
    src.reserve(sample.bytes.size() + 8);
    append<std::int32_t>(src, sample.rangeLow);
    append<std::int32_t>(src, sample.rangeHigh);
    src.insert(src.end(), sample.bytes.begin(), sample.bytes.end());
    return src;
}

}  // namespace reduct::samples
