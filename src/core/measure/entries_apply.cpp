#include "core/measure/entries_apply.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "core/app/number_format.h"

namespace qv {

namespace {
constexpr std::string_view kSection = "EntriesApply";
// A reading's own noise in % reflectance, below which no difference of two is trusted: the
// instrument's two decimals and a repeatability of 0.02 %.
constexpr double kDifferenceNoiseFloor = 0.03;
// The fitted share of the predicted change: within this of 1 the entry applies, within it of 0
// it does not, and a share known no better than this tells nothing.
constexpr double kShareTolerance = 0.25;
constexpr double kShareUncertain = 0.12;

// The serial comes from the instrument: a settings key keeps only what cannot nest or escape.
std::string keyOf(const std::string& serial) {
    std::string key = serial;
    for (char& c : key)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
    return key;
}

const char* effectName(EntryEffect e) {
    return e == EntryEffect::Applies        ? "applies"
           : e == EntryEffect::DoesNotApply ? "does-not-apply"
                                            : "cannot-tell";
}

// One angle: the share of the predicted change the readings made (least squares through the
// origin) and its standard error; nothing when the readings do not say.
struct Share {
    double value = 0.0;
    double error = 0.0;
};
std::optional<Share> shareAt(const std::vector<ThreeAngles>& before,
                             const std::vector<ThreeAngles>& after, const AngleSpectrum& change,
                             int a) {
    double pp = 0.0, po = 0.0, oo = 0.0;
    std::size_t n = 0;
    for (std::size_t k = 0; k < before.size() && k < after.size(); ++k) {
        const AngleSpectrum& b = before[k][a];
        const AngleSpectrum& o = after[k][a];
        for (std::size_t j = 0; j < b.size() && j < o.size() && j < change.size(); ++j) {
            const double p = b[j] * (change[j] - 1.0);
            const double d = o[j] - b[j];
            if (!std::isfinite(p) || !std::isfinite(d)) return std::nullopt;
            pp += p * p, po += p * d, oo += d * d, ++n;
        }
    }
    if (n < 2 || pp <= 0.0) return std::nullopt;
    const double share = po / pp;
    const double rss = std::max(0.0, oo - share * po);
    const double sd = std::max(std::sqrt(rss / static_cast<double>(n - 1)), kDifferenceNoiseFloor);
    return Share{share, sd / std::sqrt(pp)};
}

}  // namespace

EntryEffect judgeEntryEffect(const std::vector<ThreeAngles>& before,
                             const std::vector<ThreeAngles>& after,
                             const WrittenCorrection& written) {
    int applies = 0, none = 0, other = 0;
    for (int a = 0; a < kAngleCount; ++a) {
        const auto s = shareAt(before, after, written.change[a], a);
        if (!s || s->error > kShareUncertain) continue;
        if (std::abs(s->value - 1.0) <= kShareTolerance)
            ++applies;
        else if (std::abs(s->value) <= kShareTolerance)
            ++none;
        else
            ++other;
    }
    // Angles that tell must agree; one that moved otherwise leaves it open.
    if (other > 0 || (applies > 0 && none > 0)) return EntryEffect::CannotTell;
    if (applies > 0) return EntryEffect::Applies;
    if (none > 0) return EntryEffect::DoesNotApply;
    return EntryEffect::CannotTell;
}

std::optional<EntriesApplyFinding> entriesApply(ProfileStore& profile, const std::string& serial) {
    const std::string v = profile.read(kSection, keyOf(serial), kNotSet);
    // "applies;4;09.12.2026 10:33"
    const std::size_t first = v.find(';');
    const std::size_t second = first == std::string::npos ? first : v.find(';', first + 1);
    if (second == std::string::npos) return std::nullopt;
    EntriesApplyFinding f;
    const std::string name = v.substr(0, first);
    if (name == effectName(EntryEffect::Applies))
        f.effect = EntryEffect::Applies;
    else if (name == effectName(EntryEffect::DoesNotApply))
        f.effect = EntryEffect::DoesNotApply;
    else if (name != effectName(EntryEffect::CannotTell))
        return std::nullopt;
    f.entry = static_cast<int>(leadingInt(v.substr(first + 1, second - first - 1)));
    if (f.entry < 1 || f.entry > 30) return std::nullopt;
    f.when = v.substr(second + 1, 16);
    return f;
}

void rememberEntriesApply(ProfileStore& profile, const std::string& serial, EntryEffect found,
                          int entry, const LocalTime& t) {
    if (serial.empty()) return;
    char when[32];
    std::snprintf(when, sizeof when, "%02d.%02d.%04d %02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute);
    profile.write(kSection, keyOf(serial),
                  std::string(effectName(found)) + ";" + std::to_string(entry) + ";" + when);
}

std::string describe(const EntriesApplyFinding& f) {
    char number[8];
    std::snprintf(number, sizeof number, "%03d", f.entry);
    const std::string at = "The verification of " + f.when;
    if (f.effect == EntryEffect::CannotTell)
        return at + " could not tell whether entry " + number + " applies.";
    return at + " found that entry " + number +
           (f.effect == EntryEffect::Applies ? " applies."
                                             : " does not apply (the readings did not change).");
}

}  // namespace qv
