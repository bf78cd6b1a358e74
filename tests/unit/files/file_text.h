#pragma once

// Files for the readers' tests, laid out line by line.

#include <map>
#include <string>

namespace qv::test {

// Lines 1 to `lineCount` joined by CR LF; a line not given is empty.
inline std::string fileText(const std::map<int, std::string>& lines, int lineCount) {
    std::string text;
    for (int n = 1; n <= lineCount; ++n) {
        const auto it = lines.find(n);
        if (it != lines.end()) text += it->second;
        text += "\r\n";
    }
    return text;
}

// The label and `count` values 1.5, 2.5, 3.5, ... (none of them a label) joined by
// `separator`.
inline std::string spectrumLine(const std::string& label, int count, char separator = ';') {
    std::string line = label;
    for (int i = 1; i <= count; ++i) line += separator + std::to_string(i) + ".5";
    return line;
}

}  // namespace qv::test
