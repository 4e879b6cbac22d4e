// Text and CSV input for the `reduct` tool: one column of numbers (or
// timestamps) converted to little-endian samples of one type.
#ifndef REDUCT_TOOLS_TEXT_INPUT_H
#define REDUCT_TOOLS_TEXT_INPUT_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "container.h"

namespace reduct::tool {

// Converts `text` to samples of `type`, taking `column` (1-based number or a
// header name; empty means 1). Fields are separated by commas, semicolons,
// tabs or blanks, whichever the first line uses; a first line whose field
// is not a value is taken as a header. Blank lines and lines starting with
// '#' are skipped. On failure returns false with `error` naming the file
// and line: "data.csv:7: column 2: 'abc' is not a number".
bool parseText(const std::string& path, std::string_view text, SampleType type,
               const std::string& column, std::vector<std::uint8_t>& out, std::string& error);

// Seconds since 1970-01-01 UTC with optional fraction ("1796947200.25"), or
// an ISO 8601 date and time ("2026-12-11T08:30:00.250Z"), as seconds and
// milliseconds.
bool parseTimestamp(std::string_view field, std::uint32_t& seconds, std::uint16_t& millis);

}  // namespace reduct::tool

#endif  // REDUCT_TOOLS_TEXT_INPUT_H
