#pragma once

#include <map>
#include <string>
#include <string_view>

#include "core/app/string_table.h"

namespace qv {

// The string table's file form: one "number TAB text" per line; lines starting with '#' and
// blank lines are skipped; "\n", "\t" and "\\" in a text stand for a line break, a tab and
// a backslash. Lines that do not follow the form are skipped too.
std::map<int, std::string> parseStringTable(std::string_view fileText);

class TextStringTable : public StringTable {
public:
    explicit TextStringTable(std::map<int, std::string> texts) : texts_(std::move(texts)) {}
    std::string text(int id) const override;
    std::size_t size() const { return texts_.size(); }

private:
    std::map<int, std::string> texts_;
};

}  // namespace qv
