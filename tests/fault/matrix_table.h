#pragma once

// The fault matrix as a table: one row per command of a workflow, one column per fault. Cells
// are recorded as they run and printed when the test program ends.

#include <string>
#include <vector>

namespace qv::test {

// Column names in print order.
const std::vector<std::string>& matrixColumns();

// What a cell came to: the messages shown and the state left ("121 off"), and whether it is
// what the workflow documents and every other check of the cell held.
void recordCell(const std::string& row, const std::string& column, const std::string& outcome,
                bool asDocumented);

// The table of every cell recorded so far, with a legend.
std::string matrixTable();

}  // namespace qv::test
