// The `reduct` tool's file format: a small self-describing header ahead of
// one library stream, so that `reduct decode` needs no flags and detects
// damage.
//
//   | offset | size | field                                                        |
//   |--------|------|--------------------------------------------------------------|
//   | 0      | 4    | magic "RDCT"                                                 |
//   | 4      | 1    | format version, 1                                            |
//   | 5      | 1    | method number 0..13                                          |
//   | 6      | 1    | sample type (0 raw, 1 time, 2 u16, 3 i32, 4 f32, 5 f64, 6 flag) |
//   | 7      | 1    | flags: bit 0 = the library source began with an 8-byte range  |
//   |        |      | header (method 6) that decoding removes again                |
//   | 8      | 4    | raw length: bytes `decode` writes                             |
//   | 12     | 4    | coded length: bytes of the library stream that follows        |
//   | 16     | 4    | CRC-32 of the bytes `decode` writes                           |
//   | 20     | ...  | the library stream                                           |
//
// All fields little-endian. For the lossy methods the checksum is that of
// the decoded data (computed when encoding by decoding once), so it proves
// the file intact, not that the method kept every bit.
#ifndef REDUCT_TOOLS_CONTAINER_H
#define REDUCT_TOOLS_CONTAINER_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace reduct::tool {

enum class SampleType : std::uint8_t { Raw = 0, Time, U16, I32, F32, F64, Flag };

inline constexpr std::uint8_t FORMAT_VERSION = 1;
inline constexpr std::size_t HEADER_SIZE = 20;
inline constexpr std::uint8_t FLAG_RANGE_HEADER = 1;

struct Header {
    std::uint8_t version = FORMAT_VERSION;
    std::uint8_t method = 0;
    SampleType type = SampleType::Raw;
    std::uint8_t flags = 0;
    std::uint32_t rawLength = 0;
    std::uint32_t codedLength = 0;
    std::uint32_t crc = 0;
};

std::uint32_t crc32Of(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> writeHeader(const Header& h);

// Parses the header of a whole file; on failure returns nullopt and a
// reason in `error`.
std::optional<Header> readHeader(std::span<const std::uint8_t> file, std::string& error);

const char* typeName(SampleType t);
std::optional<SampleType> typeFromName(const std::string& name);
std::size_t typeSize(SampleType t);

}  // namespace reduct::tool

#endif  // REDUCT_TOOLS_CONTAINER_H
