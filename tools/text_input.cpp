#include "text_input.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace reduct::tool {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"' || s.front() == '\''))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"' || s.back() == '\'' ||
                          s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> split(std::string_view line, char delimiter) {
    std::vector<std::string_view> fields;
    if (delimiter == ' ') {
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            const std::size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
            if (i > start) fields.push_back(line.substr(start, i - start));
        }
        return fields;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == delimiter) {
            fields.push_back(trim(line.substr(start, i - start)));
            start = i + 1;
        }
    }
    return fields;
}

template <typename T>
bool parseNumber(std::string_view s, T& v) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

template <typename T>
void append(std::vector<std::uint8_t>& out, T v) {
    std::uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool digits(std::string_view s, std::size_t pos, std::size_t n, unsigned& v) {
    if (pos + n > s.size()) return false;
    v = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + static_cast<unsigned>(s[i] - '0');
    }
    return true;
}

// Converts one field; on failure returns a reason.
const char* convert(std::string_view f, SampleType type, std::vector<std::uint8_t>& out) {
    switch (type) {
        case SampleType::U16: {
            long long v;
            if (!parseNumber(f, v)) return "is not a whole number";
            if (v < -32768 || v > 65535) return "is outside -32768..65535";
            append<std::uint16_t>(out, static_cast<std::uint16_t>(v));
            return nullptr;
        }
        case SampleType::I32: {
            long long v;
            if (!parseNumber(f, v)) return "is not a whole number";
            if (v < -2147483648LL || v > 4294967295LL) return "is outside the 32-bit range";
            append<std::uint32_t>(out, static_cast<std::uint32_t>(v));
            return nullptr;
        }
        case SampleType::F32: {
            float v;
            if (!parseNumber(f, v)) return "is not a number";
            append<float>(out, v);
            return nullptr;
        }
        case SampleType::F64: {
            double v;
            if (!parseNumber(f, v)) return "is not a number";
            append<double>(out, v);
            return nullptr;
        }
        case SampleType::Flag: {
            if (f == "true" || f == "TRUE" || f == "on") {
                out.push_back(1);
                return nullptr;
            }
            if (f == "false" || f == "FALSE" || f == "off") {
                out.push_back(0);
                return nullptr;
            }
            long long v;
            if (!parseNumber(f, v)) return "is not a flag (0..255, true or false)";
            if (v < 0 || v > 255) return "is outside 0..255";
            out.push_back(static_cast<std::uint8_t>(v));
            return nullptr;
        }
        case SampleType::Time: {
            std::uint32_t s;
            std::uint16_t ms;
            if (!parseTimestamp(f, s, ms)) return "is not a timestamp (seconds since 1970 or YYYY-MM-DDTHH:MM:SS[.mmm])";
            append<std::uint32_t>(out, s);
            append<std::uint16_t>(out, ms);
            return nullptr;
        }
        case SampleType::Raw: return "cannot be converted to raw bytes (give --type)";
    }
    return "cannot be converted";
}

// Whether a first-line field is meant as a value (and so must convert)
// rather than as a column title.
bool looksLikeValue(std::string_view f) {
    if (f.empty()) return false;
    const char c = f.front();
    if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') return true;
    for (std::string_view word : {"nan", "NaN", "inf", "Inf", "infinity", "true", "false", "on", "off", "TRUE", "FALSE"})
        if (f == word) return true;
    return false;
}

}  // namespace

bool parseTimestamp(std::string_view f, std::uint32_t& seconds, std::uint16_t& millis) {
    unsigned y, mo, d, h, mi, se;
    if (f.size() >= 19 && f[4] == '-' && f[7] == '-' && (f[10] == 'T' || f[10] == ' ') && f[13] == ':' &&
        f[16] == ':') {
        if (!digits(f, 0, 4, y) || !digits(f, 5, 2, mo) || !digits(f, 8, 2, d) || !digits(f, 11, 2, h) ||
            !digits(f, 14, 2, mi) || !digits(f, 17, 2, se))
            return false;
        if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 60) return false;
        std::string_view rest = f.substr(19);
        unsigned ms = 0;
        if (!rest.empty() && rest.front() == '.') {
            std::size_t n = 1;
            unsigned scale = 100;
            while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') {
                ms += static_cast<unsigned>(rest[n] - '0') * scale;
                scale /= 10;
                ++n;
            }
            if (n == 1) return false;
            rest.remove_prefix(n);
        }
        if (rest == "Z" || rest == "+00:00") rest = {};
        if (!rest.empty()) return false;
        const std::int64_t t = daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + se;
        if (t < 0 || t > 0xFFFFFFFFLL) return false;
        seconds = static_cast<std::uint32_t>(t);
        millis = static_cast<std::uint16_t>(ms);
        return true;
    }
    double v;
    if (!parseNumber(f, v) || !(v >= 0) || v >= 4294967296.0) return false;
    const double whole = std::floor(v);
    auto ms = static_cast<unsigned>(std::llround((v - whole) * 1000.0));
    auto s = static_cast<std::uint64_t>(whole);
    if (ms >= 1000) {
        ms -= 1000;
        ++s;
    }
    if (s > 0xFFFFFFFFu) return false;
    seconds = static_cast<std::uint32_t>(s);
    millis = static_cast<std::uint16_t>(ms);
    return true;
}

bool parseText(const std::string& path, std::string_view text, SampleType type, const std::string& column,
               std::vector<std::uint8_t>& out, std::string& error) {
    out.clear();
    char delimiter = 0;
    std::size_t index = 0;  // 0-based column once known
    bool columnKnown = false;
    std::size_t lineNo = 0;
    std::size_t pos = 0;
    bool firstLine = true;
    std::size_t columnNumber = 1;
    const bool byName = !column.empty() && !parseNumber(std::string_view(column), columnNumber);
    if (!byName && columnNumber == 0) {
        error = path + ": column numbers start at 1";
        return false;
    }
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (trim(line).empty() || trim(line).front() == '#') continue;
        if (delimiter == 0) {
            delimiter = line.find(',') != std::string_view::npos   ? ','
                        : line.find(';') != std::string_view::npos ? ';'
                        : line.find('\t') != std::string_view::npos ? '\t'
                                                                     : ' ';
        }
        const auto fields = split(line, delimiter);
        const std::string where = path + ":" + std::to_string(lineNo) + ": ";
        if (firstLine) {
            firstLine = false;
            if (byName) {
                for (std::size_t i = 0; i < fields.size(); ++i)
                    if (fields[i] == column) {
                        index = i;
                        columnKnown = true;
                    }
                if (!columnKnown) {
                    error = where + "no column named '" + column + "' in the header";
                    return false;
                }
                continue;  // the header itself
            }
            index = columnNumber - 1;
            columnKnown = true;
            if (index < fields.size() && !looksLikeValue(fields[index])) continue;  // a header line
        }
        if (index >= fields.size()) {
            error = where + "has " + std::to_string(fields.size()) + " column(s); column " +
                    std::to_string(index + 1) + " wanted";
            return false;
        }
        if (const char* why = convert(fields[index], type, out)) {
            error = where + "column " + std::to_string(index + 1) + ": '" + std::string(fields[index]) + "' " + why;
            return false;
        }
    }
    if (out.empty()) {
        error = path + ": no samples found";
        return false;
    }
    return true;
}

}  // namespace reduct::tool
