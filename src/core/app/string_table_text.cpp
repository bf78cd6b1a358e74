#include "core/app/string_table_text.h"

#include <charconv>

namespace qv {

namespace {
std::string unescape(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            out += raw[i];
            continue;
        }
        const char next = raw[++i];
        if (next == 'n')
            out += '\n';
        else if (next == 't')
            out += '\t';
        else if (next == '\\')
            out += '\\';
        else {
            out += '\\';
            out += next;
        }
    }
    return out;
}

void parseLine(std::string_view line, std::map<int, std::string>& texts) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') return;
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return;
    int id = 0;
    const auto result = std::from_chars(line.data(), line.data() + tab, id);
    if (result.ec != std::errc() || result.ptr != line.data() + tab) return;
    texts[id] = unescape(line.substr(tab + 1));
}
}  // namespace

std::map<int, std::string> parseStringTable(std::string_view fileText) {
    std::map<int, std::string> texts;
    while (!fileText.empty()) {
        const std::size_t end = fileText.find('\n');
        parseLine(fileText.substr(0, end), texts);
        if (end == std::string_view::npos) break;
        fileText.remove_prefix(end + 1);
    }
    return texts;
}

std::string TextStringTable::text(int id) const {
    const auto it = texts_.find(id);
    return it == texts_.end() ? std::string() : it->second;
}

}  // namespace qv
