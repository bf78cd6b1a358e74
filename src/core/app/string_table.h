#pragma once

#include <string>

namespace qv {

// Every user-visible text by its number in the resource string table.
class StringTable {
public:
    virtual ~StringTable() = default;
    // The text of `id`; empty when the table has no such entry.
    virtual std::string text(int id) const = 0;
};

}  // namespace qv
