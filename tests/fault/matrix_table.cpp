#include "fault/matrix_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace qv::test {

namespace {

struct Cell {
    std::string outcome;
    bool asDocumented = true;
};

struct Table {
    std::vector<std::string> rows;  // in the order they ran
    std::map<std::string, std::map<std::string, Cell>> cells;
};

Table& table() {
    static Table t;
    return t;
}

constexpr const char* kLegend =
    "Cell: message numbers shown (- none), then the state left behind:\n"
    "  connection  on/off = instrument counted as connected or not\n"
    "  UZC         white = on to the white step, pending = taken as done without a word,\n"
    "              closed = dialog ended, nothing pending\n"
    "  CAL         done / failed = white calibration counted as done or not (dialog ends)\n"
    "  series      file = the third measurement was taken and the complete result file written,\n"
    "              cleared = the whole series emptied and no file written\n"
    "  average     taken = the measurement joined the average, kept = the average unchanged\n"
    "  exchange    ok / failed = the outcome handed to the caller\n"
    "  real clock  seconds until control came back (time-out 1 s)\n"
    "Every cell also checked: each reply waited for at most its time-out plus 1 s (plus the\n"
    "0.5 s grace when a partial line came), no file written half, and after a hang-up the port\n"
    "closed, reopened and the instrument identified again. '!!' marks a cell that broke a check.\n";

// Prints the table after the last test, whether the program ran one row or all of them.
class TablePrinter : public ::testing::Environment {
public:
    void TearDown() override {
        if (!table().rows.empty()) std::fputs(matrixTable().c_str(), stdout);
    }
};

[[maybe_unused]] ::testing::Environment* const kPrinter =
    ::testing::AddGlobalTestEnvironment(new TablePrinter);

}  // namespace

const std::vector<std::string>& matrixColumns() {
    static const std::vector<std::string> columns = {"silence",       "error code", "no LF",
                                                     "rest in grace", "rest late",  "garbage",
                                                     "zero bytes",    "flood",      "hang-up"};
    return columns;
}

void recordCell(const std::string& row, const std::string& column, const std::string& outcome,
                bool asDocumented) {
    Table& t = table();
    if (std::find(t.rows.begin(), t.rows.end(), row) == t.rows.end()) t.rows.push_back(row);
    t.cells[row][column] = Cell{outcome, asDocumented};
}

std::string matrixTable() {
    const Table& t = table();
    const auto& columns = matrixColumns();
    std::size_t rowWidth = 4;
    for (const auto& r : t.rows) rowWidth = std::max(rowWidth, r.size());
    std::vector<std::size_t> widths;
    for (const auto& c : columns) {
        std::size_t w = c.size();
        for (const auto& [row, cells] : t.cells) {
            const auto it = cells.find(c);
            if (it != cells.end())
                w = std::max(w, it->second.outcome.size() + (it->second.asDocumented ? 0 : 3));
        }
        widths.push_back(w);
    }
    auto pad = [](std::string s, std::size_t w) {
        s.resize(std::max(s.size(), w), ' ');
        return s;
    };
    std::string out = "\nFault matrix\n" + pad("", rowWidth);
    for (std::size_t i = 0; i < columns.size(); ++i) out += " | " + pad(columns[i], widths[i]);
    out += "\n" + std::string(rowWidth, '-');
    for (std::size_t w : widths) out += "-+-" + std::string(w, '-');
    out += "\n";
    // The real-clock cells repeat a virtual-clock row: print them after the rest.
    std::vector<std::string> rows = t.rows;
    std::stable_partition(rows.begin(), rows.end(), [](const std::string& r) {
        return r.find("real clock") == std::string::npos;
    });
    int broken = 0;
    for (const auto& r : rows) {
        out += pad(r, rowWidth);
        const auto& cells = t.cells.at(r);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const auto it = cells.find(columns[i]);
            std::string text;
            if (it != cells.end()) {
                text = it->second.outcome;
                if (!it->second.asDocumented) {
                    text += " !!";
                    ++broken;
                }
            }
            out += " | " + pad(text, widths[i]);
        }
        out += "\n";
    }
    out += "\n" + std::string(kLegend);
    out += broken == 0 ? "All cells as documented.\n"
                       : std::to_string(broken) + " cell(s) broke a check.\n";
    return out;
}

}  // namespace qv::test
