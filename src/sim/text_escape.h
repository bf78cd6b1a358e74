#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::sim {

// Bytes as one printable log line: CR, LF, tab and backslash as \r \n \t \\, other control
// and non-ASCII bytes as \xHH. Texts longer than `maxChars` are cut with a note of their size.
std::string escapeBytes(std::string_view bytes, std::size_t maxChars = 1024);

// The reverse for control commands: \r \n \t \0 \\ and \xHH. Nothing on a broken escape.
std::optional<std::string> unescapeBytes(std::string_view text);

}  // namespace qv::sim
