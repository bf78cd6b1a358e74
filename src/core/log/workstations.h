#pragma once

// The workstations a lab's shared logbook names, and one workstation's records among them: the
// history narrows an instrument's records to the workstation that made them.

#include <string>
#include <vector>

#include "core/app/logbook.h"

namespace qv {

// Each workstation `records` name, once, sorted; an empty name (a record from before records
// carried one) counts as one workstation too.
std::vector<std::string> workstationsOf(const std::vector<CheckRecord>& records);

// The records of `workstation`, in their order.
std::vector<CheckRecord> recordsOf(const std::vector<CheckRecord>& records,
                                   const std::string& workstation);

}  // namespace qv
