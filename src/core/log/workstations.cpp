#include "core/log/workstations.h"

#include <algorithm>

namespace qv {

std::vector<std::string> workstationsOf(const std::vector<CheckRecord>& records) {
    std::vector<std::string> names;
    for (const CheckRecord& r : records) names.push_back(r.workstation);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<CheckRecord> recordsOf(const std::vector<CheckRecord>& records,
                                   const std::string& workstation) {
    std::vector<CheckRecord> out;
    std::copy_if(records.begin(), records.end(), std::back_inserter(out),
                 [&workstation](const CheckRecord& r) { return r.workstation == workstation; });
    return out;
}

}  // namespace qv
