// The performance statement's settings are text anyone can edit, and its fields are typed by
// the operator. Input: lines; they fill the statement's keys of the settings in turn and are
// typed into its fields, and the first is read as the command line's T[/T/T].
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/profile_store.h"
#include "core/app/thresholds.h"
#include "core/log/performance_settings.h"
#include "fuzz_check.h"

namespace {

class MapProfile : public qv::ProfileStore {
public:
    std::string read(std::string_view, std::string_view key, std::string_view fallback) override {
        const auto it = values.find(std::string(key));
        return it == values.end() ? std::string(fallback) : it->second;
    }
    void write(std::string_view, std::string_view key, std::string_view value) override {
        values[std::string(key)] = value;
    }
    std::map<std::string, std::string> values;
};

bool isValue(const std::optional<double>& v) {
    return !v ||
           (std::isfinite(*v) && *v >= qv::kMinThreshold - 1e-9 && *v <= qv::kMaxThreshold + 1e-9);
}

// Whatever was read holds only values a statement can use, and is kept and read back alike.
void checkSettings(const qv::PerformanceSettings& s) {
    for (int a = 0; a < qv::kAngleCount; ++a)
        FUZZ_CHECK(isValue(s.tolerance[a]) && isValue(s.referenceExpanded[a]));
    FUZZ_CHECK(s.longTermDays >= 0 && s.longTermDays <= qv::kMaxLongTermDays);
    FUZZ_CHECK(s.validDays >= 0 && s.validDays <= qv::kMaxLongTermDays);
    FUZZ_CHECK(s.referenceCertificate.find('\n') == std::string::npos);
    MapProfile again;
    qv::savePerformanceSettings(again, s);
    const qv::PerformanceSettings back = qv::savedPerformanceSettings(again);
    FUZZ_CHECK(back.tolerance == s.tolerance && back.referenceExpanded == s.referenceExpanded);
    FUZZ_CHECK(back.specimen == s.specimen && back.longTermDays == s.longTermDays &&
               back.validDays == s.validDays);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = input.find('\n', start);
        lines.emplace_back(input.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    lines.resize(std::max<std::size_t>(lines.size(), 10));
    MapProfile profile;
    std::size_t i = 0;
    for (int a = 0; a < qv::kAngleCount; ++a) {
        profile.values[std::string(qv::key::kPerformanceTolerance[a])] = lines[i++ % lines.size()];
        profile.values[std::string(qv::key::kPerformanceReference[a])] = lines[i++ % lines.size()];
    }
    profile.values[std::string(qv::key::kPerformanceCertificate)] = lines[6];
    profile.values[std::string(qv::key::kPerformanceDays)] = lines[7];
    profile.values[std::string(qv::key::kPerformanceSpecimen)] = lines[8];
    profile.values[std::string(qv::key::kPerformanceValidDays)] = lines[9];
    checkSettings(qv::savedPerformanceSettings(profile));
    checkSettings(qv::performanceSettingsFromProfile(profile));

    const qv::TypedPerformance typed{{lines[0], lines[1], lines[2]},
                                     {lines[3], lines[4], lines[5]},
                                     lines[6],
                                     lines[7],
                                     lines[8],
                                     lines[9]};
    for (char decimal : {'.', ','}) {
        const qv::PerformanceReading read = qv::readPerformanceSettings(typed, decimal);
        if (read.problem)
            FUZZ_CHECK(!qv::describe(*read.problem).empty());
        else
            checkSettings(read.settings);
        if (const auto values = qv::perAngleInput(lines[0], decimal))
            for (double v : *values) FUZZ_CHECK(isValue(v));
    }
    return 0;
}
