#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace qv {

// Splits one line of comma-separated text into fields numbered from 1. Fields are kept exactly
// as they stand between the commas (no trimming); a final line feed is dropped, a carriage
// return is not. Asking for a field that does not exist yields the empty text.
class StringDivision {
public:
    explicit StringDivision(std::string_view text = {});
    virtual ~StringDivision();
    StringDivision(const StringDivision&) = default;
    StringDivision& operator=(const StringDivision&) = default;

    // Forgets every field and divides `text` instead.
    void Reset(std::string_view text);

    // A copy of field `number`; empty above the field count. A number within the count that
    // has no stored text (0 and below, or an empty last field) is stored as the empty text.
    std::string GetField(std::int32_t number);

    // Commas in the text plus one: 1 for a text without commas, the empty text included.
    std::int32_t count() const { return m_nCount; }
    const std::string& source() const { return m_strSource; }
    const std::map<std::int32_t, std::string>& fields() const { return m_mapFields; }

private:
    void divide();

    std::map<std::int32_t, std::string> m_mapFields;
    std::int32_t m_nCount = 1;
    std::string m_strSource;
};

}  // namespace qv
