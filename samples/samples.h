// Deterministic historian-like sample series, one per sample kind. The same
// seed gives the same bytes on every platform: only integer arithmetic and
// exactly rounded float operations are used, no library math functions.
#ifndef REDUCT_SAMPLES_H
#define REDUCT_SAMPLES_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reduct::samples {

enum class Kind : unsigned {
    Time,     // 6-byte records: u32 seconds + u16 milliseconds, regular 1 s series
    Word16,   // 16-bit ADC words: random walk with noise, plateaus and steps
    Adc12,    // 12-bit ADC readings in 16-bit words (0..4095)
    Int32,    // 32-bit counters
    Float32,  // float temperatures drifting inside [FLOAT_RANGE_LOW, FLOAT_RANGE_HIGH]
    Float64,  // double process values (random walk on a fine grid)
    Flags     // flag bytes: mostly zero with bursts
};

inline constexpr std::int32_t FLOAT_RANGE_LOW = -50;
inline constexpr std::int32_t FLOAT_RANGE_HIGH = 150;

struct Sample {
    std::string name;
    Kind kind;
    std::size_t recordSize;
    std::vector<std::uint8_t> bytes;
    // The range a quantising method (6) states ahead of float samples.
    std::int32_t rangeLow = FLOAT_RANGE_LOW;
    std::int32_t rangeHigh = FLOAT_RANGE_HIGH;
};

// The names used on command lines and in tables: time, u16, adc12, i32, f32, f64, flag.
std::string_view kindName(Kind kind);
std::optional<Kind> kindFromName(std::string_view name);
std::size_t recordSize(Kind kind);

// `scale` multiplies the default size (about 4 MB per series); tests use
// small scales.
Sample generate(Kind kind, double scale = 1.0, std::uint64_t seed = 0x5EED'2026'1211ULL);
std::vector<Sample> generateAll(double scale = 1.0);

// The methods that apply to a kind, in the order tables show them.
std::vector<int> methodsFor(Kind kind);

// The source a method takes for a kind: method 6 wants the sample's float
// range (two signed 32-bit bounds) ahead of the samples; every other method
// takes the samples as they are.
std::vector<std::uint8_t> methodSource(const Sample& sample, int method);

}  // namespace reduct::samples

#endif  // REDUCT_SAMPLES_H
