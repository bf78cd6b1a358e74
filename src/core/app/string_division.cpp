// Splits comma-separated reply lines into numbered fields.
#include "core/app/string_division.h"

#include <limits>

namespace qv {

namespace {
constexpr std::int32_t kMaxField = std::numeric_limits<std::int32_t>::max();
}

StringDivision::StringDivision(std::string_view text) : m_strSource(text) {
    divide();
}

StringDivision::~StringDivision() = default;

void StringDivision::Reset(std::string_view text) {
    m_mapFields.clear();
    m_strSource.assign(text);
    divide();
}

std::string StringDivision::GetField(std::int32_t number) {
    if (number > m_nCount) return {};
    return m_mapFields[number];
}

void StringDivision::divide() {
    const std::string_view text = m_strSource;
    std::int32_t number = 1;
    std::size_t start = 0;
    // Scans forward instead of cutting the front off a copy, so the division stays linear.
    // The last number keeps the rest of an absurdly long text rather than overflowing.
    for (std::size_t comma = text.find(','); comma != std::string_view::npos && number < kMaxField;
         comma = text.find(',', start)) {
        m_mapFields[number] = std::string(text.substr(start, comma - start));
        start = comma + 1;
        ++number;
    }
    std::string_view rest = text.substr(start);
    if (!rest.empty()) {
        if (rest.back() == '\n') rest.remove_suffix(1);
        m_mapFields[number] = std::string(rest);
    }
    m_nCount = number;
}

}  // namespace qv
