#include "core/log/performance_settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/app/number_format.h"
#include "core/app/profile_store.h"
#include "core/app/thresholds.h"
#include "core/colour/spread.h"
#include "core/tiles/tile_set.h"

namespace qv {

namespace {

std::string trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

}  // namespace

std::optional<int> daysInput(std::string_view text) {
    const std::string t = trimmed(text);
    if (t.empty() || t.size() > 5) return std::nullopt;
    int days = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), days);
    if (error != std::errc() || end != t.data() + t.size() || days < 0 || days > kMaxLongTermDays)
        return std::nullopt;
    return days;
}

namespace {

std::optional<double> savedValue(ProfileStore& profile, std::string_view key) {
    const std::string text = profile.read(key);
    if (text == kNotSet) return std::nullopt;
    return limitInput(text, '.');
}

std::string savedText(ProfileStore& profile, std::string_view key, std::size_t most) {
    const std::string text = trimmed(profile.read(key));
    return isLineOfText(text, most) ? text : std::string();
}

void writeValue(ProfileStore& profile, std::string_view key, const std::optional<double>& v) {
    profile.write(key, v ? formatFixed(*v, 2) : std::string(kNotSet));
}

}  // namespace

bool isLineOfText(std::string_view s, std::size_t most) {
    if (s == kNotSet) return false;
    const bool control = std::any_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
    const auto characters = static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    return !control && characters <= most;
}

PerformanceSettings savedPerformanceSettings(ProfileStore& profile) {
    PerformanceSettings s;
    for (int a = 0; a < kAngleCount; ++a) {
        s.tolerance[a] = savedValue(profile, key::kPerformanceTolerance[a]);
        s.referenceExpanded[a] = savedValue(profile, key::kPerformanceReference[a]);
    }
    s.referenceCertificate = savedText(profile, key::kPerformanceCertificate, kMaxCertificateChars);
    s.specimen = savedText(profile, key::kPerformanceSpecimen, kMaxSpecimenChars);
    s.longTermDays = daysInput(profile.read(key::kPerformanceDays)).value_or(kDefaultLongTermDays);
    s.validDays = daysInput(profile.read(key::kPerformanceValidDays)).value_or(kDefaultValidDays);
    return s;
}

PerformanceSettings performanceSettingsFromProfile(ProfileStore& profile) {
    PerformanceSettings s = savedPerformanceSettings(profile);
    const std::optional<double> common = setLimitsFromProfile(profile).productTolerance;
    for (auto& t : s.tolerance)
        if (!t) t = common;
    return s;
}

void savePerformanceSettings(ProfileStore& profile, const PerformanceSettings& s) {
    for (int a = 0; a < kAngleCount; ++a) {
        writeValue(profile, key::kPerformanceTolerance[a], s.tolerance[a]);
        writeValue(profile, key::kPerformanceReference[a], s.referenceExpanded[a]);
    }
    const auto text = [&profile](std::string_view key, const std::string& value) {
        profile.write(key, value.empty() ? std::string(kNotSet) : value);
    };
    text(key::kPerformanceCertificate, s.referenceCertificate);
    text(key::kPerformanceSpecimen, s.specimen);
    profile.write(key::kPerformanceDays,
                  std::to_string(std::clamp(s.longTermDays, 0, kMaxLongTermDays)));
    profile.write(key::kPerformanceValidDays,
                  std::to_string(std::clamp(s.validDays, 0, kMaxLongTermDays)));
}

std::string performanceFieldName(PerformanceField field) {
    switch (field) {
        case PerformanceField::Tolerance:
            return "Tolerance per angle";
        case PerformanceField::Reference:
            return "Reference uncertainty";
        case PerformanceField::Certificate:
            return "Reference certificate";
        case PerformanceField::Days:
            return "Long-term period";
        case PerformanceField::Specimen:
            return "Long-term specimen";
        case PerformanceField::ValidDays:
            return "Statement valid for";
    }
    return {};
}

std::string describe(const PerformanceProblem& p) {
    const std::string field = "\"" + performanceFieldName(p.field) + "\"";
    const std::string range = " takes a value from " + formatFixed(kMinThreshold, 2) + " to " +
                              formatFixed(kMaxThreshold, 2) + " or nothing";
    const std::string angle =
        " at " + std::to_string(kAngleDegrees[std::clamp(p.angle, 0, kAngleCount - 1)]) +
        " degrees";
    switch (p.field) {
        case PerformanceField::Tolerance:
            return field + angle + range + " (then the set's product tolerance holds)";
        case PerformanceField::Reference:
            return field + angle + range;
        case PerformanceField::Certificate:
            return field + " takes one line of at most " + std::to_string(kMaxCertificateChars) +
                   " characters";
        case PerformanceField::Days:
            return field + " takes a whole number of days from 0 (every record) to " +
                   std::to_string(kMaxLongTermDays);
        case PerformanceField::Specimen:
            return field + " takes one line of at most " + std::to_string(kMaxSpecimenChars) +
                   " characters";
        case PerformanceField::ValidDays:
            return field + " takes a whole number of days from 0 (the day it is made) to " +
                   std::to_string(kMaxLongTermDays);
    }
    return {};
}

PerformanceReading readPerformanceSettings(const TypedPerformance& typed, char decimal) {
    PerformanceReading r;
    const auto value = [decimal](const std::string& text, std::optional<double>& into) {
        if (trimmed(text).empty()) return true;
        into = limitInput(text, decimal);
        return into.has_value();
    };
    for (int a = 0; a < kAngleCount; ++a)
        if (!value(typed.tolerance[a], r.settings.tolerance[a]))
            return {{}, PerformanceProblem{PerformanceField::Tolerance, a}};
    for (int a = 0; a < kAngleCount; ++a)
        if (!value(typed.reference[a], r.settings.referenceExpanded[a]))
            return {{}, PerformanceProblem{PerformanceField::Reference, a}};
    r.settings.referenceCertificate = trimmed(typed.certificate);
    if (!isLineOfText(r.settings.referenceCertificate, kMaxCertificateChars))
        return {{}, PerformanceProblem{PerformanceField::Certificate}};
    if (!trimmed(typed.days).empty()) {
        const auto days = daysInput(typed.days);
        if (!days) return {{}, PerformanceProblem{PerformanceField::Days}};
        r.settings.longTermDays = *days;
    }
    r.settings.specimen = trimmed(typed.specimen);
    if (!isLineOfText(r.settings.specimen, kMaxSpecimenChars))
        return {{}, PerformanceProblem{PerformanceField::Specimen}};
    if (!trimmed(typed.validDays).empty()) {
        const auto days = daysInput(typed.validDays);
        if (!days) return {{}, PerformanceProblem{PerformanceField::ValidDays}};
        r.settings.validDays = *days;
    }
    return r;
}

std::optional<std::array<double, kAngleCount>> perAngleInput(std::string_view text, char decimal) {
    std::array<double, kAngleCount> values{};
    std::size_t start = 0;
    int parts = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('/', start), text.size());
        if (parts == kAngleCount) return std::nullopt;
        const auto v = limitInput(text.substr(start, end - start), decimal);
        if (!v) return std::nullopt;
        values[static_cast<std::size_t>(parts++)] = *v;
        start = end + 1;
    }
    if (parts == 1) values.fill(values[0]);
    if (parts != 1 && parts != kAngleCount) return std::nullopt;
    return values;
}

namespace {

// One reading's noise along one direction, from the latest extended check of an instrument
// judged in `formula`; none without one.
std::array<std::optional<double>, kAngleCount> readingNoise(const std::vector<CheckRecord>& records,
                                                            const std::string& formula) {
    std::array<std::optional<double>, kAngleCount> out{};
    for (const CheckRecord& r : records) {
        if (r.kind != RecordKind::ExtendedRepeatability || r.readings < 2) continue;
        if (r.formula != formula) break;
        for (int a = 0; a < kAngleCount; ++a) {
            const AngleRecord& g = r.angles[a];
            const double sd = std::isfinite(g.rms) ? directionalSdFromRms(g.rms, r.readings)
                                                   : directionalSd(g.deltaE, r.readings);
            if (std::isfinite(sd)) out[a] = sd;
        }
        break;
    }
    return out;
}

const CheckRecord* latestSet(const std::vector<CheckRecord>& records) {
    for (const CheckRecord& r : records)
        if (r.kind == RecordKind::TileSet) return &r;
    return nullptr;
}

}  // namespace

std::string statementReference(const std::vector<CheckRecord>& records) {
    const CheckRecord* set = latestSet(records);
    return set ? set->referenceSerial : std::string();
}

std::array<std::optional<double>, kAngleCount> referenceReadingNoise(
    const std::vector<CheckRecord>& records, const std::vector<CheckRecord>& referenceRecords) {
    const CheckRecord* set = latestSet(records);
    if (!set) return {};
    return readingNoise(referenceRecords, set->formula);
}

std::optional<PerformanceStatement> instrumentStatement(Logbook& logbook, const std::string& serial,
                                                        const PerformanceSettings& settings,
                                                        ProfileStore& profile,
                                                        const LocalTime& now) {
    const std::vector<CheckRecord> records = logbook.records(serial);
    if (records.empty()) return std::nullopt;
    PerformanceSettings with = settings;
    if (const std::string ref = statementReference(records); !ref.empty())
        with.referenceNoise = referenceReadingNoise(records, logbook.records(ref));
    return performanceStatement(records, with, formulaFromProfile(profile), now);
}

std::string citeReferenceCertificate(PerformanceSettings& settings,
                                     const std::vector<TileCertificate>& onRecord,
                                     const LocalTime& today) {
    const std::string number = settings.referenceCertificate;
    const auto found = std::find_if(
        onRecord.begin(), onRecord.end(),
        [&](const TileCertificate& c) { return !number.empty() && c.number == number; });
    if (found == onRecord.end()) return {};
    const TileCertificate& c = *found;
    settings.referenceCertificate = c.number + " (" + c.laboratory + ", " + c.date +
                                    (c.dueDate.empty() ? std::string() : ", due " + c.dueDate) +
                                    ")";
    for (std::optional<double>& u : settings.referenceExpanded)
        if (!u) u = c.uncertainty;
    if (c.dueDate.empty() || calendarDate(today) <= c.dueDate) return {};
    return "the reference's certificate " + c.number + " was due on " + c.dueDate +
           ": have the reference certified again";
}

}  // namespace qv
