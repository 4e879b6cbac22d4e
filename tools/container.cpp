#include "container.h"

#include <zlib.h>

#include <cstring>

namespace reduct::tool {
namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::uint32_t crc32Of(std::span<const std::uint8_t> bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t n = std::min<std::size_t>(bytes.size() - done, 1u << 30);
        crc = crc32(crc, bytes.data() + done, static_cast<uInt>(n));
        done += n;
    }
    return static_cast<std::uint32_t>(crc);
}

std::vector<std::uint8_t> writeHeader(const Header& h) {
    std::vector<std::uint8_t> out = {'R', 'D', 'C', 'T', h.version, h.method,
                                     static_cast<std::uint8_t>(h.type), h.flags};
    put32(out, h.rawLength);
    put32(out, h.codedLength);
    put32(out, h.crc);
    return out;
}

std::optional<Header> readHeader(std::span<const std::uint8_t> file, std::string& error) {
    if (file.size() < HEADER_SIZE || std::memcmp(file.data(), "RDCT", 4) != 0) {
        error = "not a reduct file (no RDCT header); use --raw for bare streams";
        return std::nullopt;
    }
    Header h;
    h.version = file[4];
    h.method = file[5];
    h.type = static_cast<SampleType>(file[6]);
    h.flags = file[7];
    h.rawLength = get32(file.data() + 8);
    h.codedLength = get32(file.data() + 12);
    h.crc = get32(file.data() + 16);
    if (h.version != FORMAT_VERSION) {
        error = "format version " + std::to_string(h.version) + " is not supported (this tool reads version 1)";
        return std::nullopt;
    }
    if (h.method > 13 || file[6] > static_cast<std::uint8_t>(SampleType::Flag) || (h.flags & ~FLAG_RANGE_HEADER) != 0) {
        error = "damaged header";
        return std::nullopt;
    }
    if (file.size() - HEADER_SIZE != h.codedLength) {
        error = file.size() - HEADER_SIZE < h.codedLength ? "truncated: the coded stream is shorter than its header says"
                                                          : "damaged: bytes follow the coded stream";
        return std::nullopt;
    }
    return h;
}

const char* typeName(SampleType t) {
    switch (t) {
        case SampleType::Raw: return "raw";
        case SampleType::Time: return "time";
        case SampleType::U16: return "u16";
        case SampleType::I32: return "i32";
        case SampleType::F32: return "f32";
        case SampleType::F64: return "f64";
        case SampleType::Flag: return "flag";
    }
    return "?";
}

std::optional<SampleType> typeFromName(const std::string& name) {
    for (auto t : {SampleType::Raw, SampleType::Time, SampleType::U16, SampleType::I32, SampleType::F32,
                   SampleType::F64, SampleType::Flag})
        if (name == typeName(t)) return t;
    return std::nullopt;
}

std::size_t typeSize(SampleType t) {
    switch (t) {
        case SampleType::Raw:
        case SampleType::Flag: return 1;
        case SampleType::Time: return 6;
        case SampleType::U16: return 2;
        case SampleType::I32:
        case SampleType::F32: return 4;
        case SampleType::F64: return 8;
    }
    return 1;
}

}  // namespace reduct::tool
