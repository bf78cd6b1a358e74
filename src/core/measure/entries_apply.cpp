#include "core/measure/entries_apply.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace qv {

namespace {
constexpr std::string_view kSection = "EntriesApply";
constexpr std::string_view kApply = "apply";
constexpr std::string_view kDoNotApply = "do-not-apply";

// The serial comes from the instrument: a settings key keeps only what cannot nest or escape.
std::string keyOf(const std::string& serial) {
    std::string key = serial;
    for (char& c : key)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
    return key;
}
}  // namespace

EntriesApply entriesApply(ProfileStore& profile, const std::string& serial) {
    const std::string v = profile.read(kSection, keyOf(serial), kNotSet);
    if (v == kApply) return EntriesApply::Apply;
    if (v == kDoNotApply) return EntriesApply::DoNotApply;
    return EntriesApply::Unknown;
}

void rememberEntriesApply(ProfileStore& profile, const std::string& serial, EntriesApply found) {
    if (serial.empty()) return;
    profile.write(kSection, keyOf(serial),
                  found == EntriesApply::Apply        ? kApply
                  : found == EntriesApply::DoNotApply ? kDoNotApply
                                                      : kNotSet);
}

std::optional<EntriesApply> judgeEntryEffect(const std::array<double, kAngleCount>& before,
                                             const std::array<double, kAngleCount>& predicted,
                                             const std::array<double, kAngleCount>& after,
                                             double noise) {
    int a = -1;
    double expected = 0.0;
    for (int i = 0; i < kAngleCount; ++i) {
        const double change = std::abs(before[i] - predicted[i]);
        if (std::isfinite(change) && std::isfinite(after[i]) && change > expected) {
            expected = change;
            a = i;
        }
    }
    if (a < 0 || expected <= 2.0 * noise) return std::nullopt;
    if (std::abs(after[a] - predicted[a]) < expected / 2.0) return EntriesApply::Apply;
    if (std::abs(after[a] - before[a]) < std::max(noise, expected / 4.0))
        return EntriesApply::DoNotApply;
    return std::nullopt;
}

}  // namespace qv
