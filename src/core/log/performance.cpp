#include "core/log/performance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/app/number_format.h"
#include "core/colour/spread.h"
#include "core/colour/tristimulus.h"

namespace qv {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kAngle45 = 1;

constexpr std::array<std::string_view, kContributionCount> kNames = {
    "Short-term repeatability", "Long-term repeatability",
    "Agreement with the reference after correction", "Reference's own uncertainty",
    "Resolution of the readings"};
constexpr std::array<std::string_view, kContributionCount> kKeys = {
    "shortTerm", "longTerm", "agreement", "reference", "resolution"};

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long dayNumber(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::string dateText(long days) {
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long doe = days - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp + (mp < 10 ? 3 : -9);
    const long y = yoe + era * 400 + (m <= 2);
    char out[16];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d", static_cast<int>(y % 10000),
                  static_cast<int>(m % 100), static_cast<int>(d % 100));
    return out;
}

std::string dateOf(const LocalTime& t) {
    char out[16];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d", (t.year % 10000 + 10000) % 10000,
                  (t.month % 100 + 100) % 100, (t.day % 100 + 100) % 100);
    return out;
}

bool isRepeatability(const CheckRecord& r) {
    return r.kind == RecordKind::Repeatability || r.kind == RecordKind::ExtendedRepeatability;
}

Lab labOf(const std::array<double, 3>& v) {
    return {v[0], v[1], v[2]};
}

bool finite3(const std::array<double, 3>& v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

const CheckRecord* latest(const std::vector<CheckRecord>& records, RecordKind kind) {
    for (const CheckRecord& r : records)
        if (r.kind == kind) return &r;
    return nullptr;
}

}  // namespace

std::string_view contributionName(ContributionKind kind) {
    return kNames[static_cast<std::size_t>(kind)];
}
std::string_view contributionKey(ContributionKind kind) {
    return kKeys[static_cast<std::size_t>(kind)];
}

std::string_view bandName(ToleranceBand band) {
    switch (band) {
        case ToleranceBand::UpTo10:
            return "up to 10 %";
        case ToleranceBand::UpTo25:
            return "up to 25 %";
        case ToleranceBand::UpTo30:
            return "up to 30 %";
        case ToleranceBand::Above30:
            break;
    }
    return "above 30 %";
}

ToleranceBand bandOf(double share) {
    if (share <= 0.10) return ToleranceBand::UpTo10;
    if (share <= 0.25) return ToleranceBand::UpTo25;
    if (share <= 0.30) return ToleranceBand::UpTo30;
    return ToleranceBand::Above30;
}

std::vector<CheckRecord> longTermRecords(const std::vector<CheckRecord>& records,
                                         const std::string& specimen, const std::string& since) {
    std::string name = specimen;
    if (name.empty())
        if (const CheckRecord* ext = latest(records, RecordKind::ExtendedRepeatability))
            name = ext->specimen;
    const CheckRecord* anchor = nullptr;
    for (const CheckRecord& r : records)
        if (isRepeatability(r) && (name.empty() || r.specimen == name) &&
            finite3(r.angles[kAngle45].lab)) {
            anchor = &r;
            break;
        }
    std::vector<CheckRecord> out;
    if (!anchor) return out;
    for (const CheckRecord& r : records) {
        if (!isRepeatability(r) || !finite3(r.angles[kAngle45].lab)) continue;
        if (!since.empty() && dateOf(r.time) < since) continue;
        const bool named = !name.empty() && r.specimen == name;
        const bool near =
            r.specimen.empty() && deltaE76(labOf(anchor->angles[kAngle45].lab),
                                           labOf(r.angles[kAngle45].lab)) <= kSameSpecimenDeltaE;
        if (named || near) out.push_back(r);
    }
    return out;
}

std::array<double, kAngleCount> longTermMcdm(const std::vector<CheckRecord>& chosen,
                                             DeltaEFormula formula,
                                             const DeltaEParameters& parameters) {
    std::array<double, kAngleCount> out{};
    for (int a = 0; a < kAngleCount; ++a) {
        std::vector<LabTriple> colours;
        for (const CheckRecord& r : chosen)
            if (finite3(r.angles[a].lab)) colours.push_back(r.angles[a].lab);
        out[a] = spreadOf(colours, formula, parameters).mcdm;
    }
    return out;
}

double resolutionSd(double lightness, DeltaEFormula formula, const DeltaEParameters& parameters) {
    const double f = (std::clamp(lightness, 1.0, 100.0) + 16.0) / 116.0;
    const double y =
        f > 6.0 / 29.0 ? f * f * f : 3.0 * (6.0 / 29.0) * (6.0 / 29.0) * (f - 4.0 / 29.0);
    std::array<double, kColourPoints> flat{};
    flat.fill(100.0 * y);
    const Lab centre = spectrumToLab(flat);
    // Each reading is rounded on its own: its error spreads evenly over one step.
    const double step = 0.01;
    double variance = 0.0;
    for (int j = 0; j < kColourPoints; ++j) {
        std::array<double, kColourPoints> moved = flat;
        moved[j] += step;
        const double gradient = deltaE(formula, centre, spectrumToLab(moved), parameters) / step;
        variance += gradient * gradient * kReadingStepPercent * kReadingStepPercent / 12.0;
    }
    return std::sqrt(variance / 3.0);
}

namespace {

Contribution none(ContributionKind kind) {
    Contribution c;
    c.kind = kind;
    c.standard = c.figure = kNaN;
    return c;
}

struct Inputs {
    const std::vector<CheckRecord>& records;
    const PerformanceSettings& settings;
    DeltaEFormula formula;
    std::string label;
    DeltaEParameters parameters;
    std::vector<CheckRecord> longTerm;  // the checks of the long term, chosen once
};

Contribution shortTerm(const Inputs& in, int a) {
    Contribution c = none(ContributionKind::ShortTerm);
    const CheckRecord* r = latest(in.records, RecordKind::ExtendedRepeatability);
    if (!r || r->readings < 2 || !std::isfinite(r->angles[a].deltaE)) return c;
    const AngleRecord& g = r->angles[a];
    c.figure = g.deltaE;
    c.readings = r->readings;
    c.date = r->time;
    c.record = r->id;
    c.source = "MCDM " + formatFixed(g.deltaE, 3) + " " + r->formula + " over " +
               std::to_string(r->readings) + " readings" +
               (r->handling ? " with the specimen placed again each time" : " without handling") +
               (r->specimen.empty() ? std::string() : " of " + r->specimen) + ", record " +
               std::to_string(r->id) + " of " + dateOf(r->time);
    if ((r->formula == in.label || !finite3(g.sd)) && std::isfinite(g.rms)) {
        c.standard = directionalSdFromRms(g.rms, r->readings);
    } else if (r->formula == in.label || !finite3(g.sd)) {
        c.standard = directionalSd(g.deltaE, r->readings);
    } else {
        // Judged in another formula: the spread of the coordinates themselves, as dE*ab sees it.
        c.standard = std::sqrt((g.sd[0] * g.sd[0] + g.sd[1] * g.sd[1] + g.sd[2] * g.sd[2]) / 3.0);
        c.source += " (from the standard deviations of L*, a*, b*)";
    }
    c.available = std::isfinite(c.standard);
    return c;
}

Contribution longTerm(const Inputs& in, int a, const Contribution& noise) {
    Contribution c = none(ContributionKind::LongTerm);
    const std::vector<CheckRecord>& chosen = in.longTerm;
    c.readings = static_cast<int>(chosen.size());
    if (chosen.size() < static_cast<std::size_t>(kLongTermMinimumRecords)) return c;
    std::vector<LabTriple> colours;
    double noiseShare = 0.0;  // what the checks' own noise adds to their spread
    for (const CheckRecord& r : chosen) {
        if (!finite3(r.angles[a].lab)) continue;
        colours.push_back(r.angles[a].lab);
        if (noise.available)
            noiseShare += noise.standard * noise.standard / std::max(1, r.readings);
    }
    const AngleSpread spread = spreadOf(colours, in.formula, in.parameters);
    const double sd = directionalSdFromRms(spread.rms, spread.readings);
    if (!std::isfinite(sd)) return c;
    noiseShare /= static_cast<double>(colours.size());
    c.standard = std::sqrt(std::max(0.0, sd * sd - noiseShare));
    c.figure = spread.mcdm;
    c.date = chosen.front().time;
    c.from = chosen.back().time;
    c.record = chosen.front().id;
    c.available = true;
    const std::string& name = chosen.front().specimen;
    c.source = "MCDM " + formatFixed(c.figure, 3) + " " + in.label + " of " +
               std::to_string(colours.size()) + " checks" +
               (name.empty() ? std::string() : " of " + name) + " from " + dateOf(*c.from) +
               " to " + dateOf(*c.date) +
               (noise.available ? ", less the short-term noise within them" : "");
    return c;
}

Contribution agreement(const Inputs& in, int a, const Contribution& noise) {
    Contribution c = none(ContributionKind::Agreement);
    const CheckRecord* set = latest(in.records, RecordKind::TileSet);
    if (!set) return c;
    const CheckRecord* write = latest(in.records, RecordKind::EntryWrite);
    const AngleRecord& g = set->angles[a];
    const std::string name = "tile set" + (set->comment.empty() ? "" : " " + set->comment) +
                             ", record " + std::to_string(set->id) + " of " + dateOf(set->time);
    const bool writtenSince = write && resultTimestamp(write->time) >= resultTimestamp(set->time);
    const bool measured = std::isfinite(g.beforeDeltaE) || !writtenSince || !set->diagnosis;
    if (measured) {
        c.figure = g.deltaE;
        c.source =
            "mean " + formatFixed(g.deltaE, 3) + " " + set->formula + " over the " + name +
            (std::isfinite(g.beforeDeltaE) ? ", read again after the correction" : ", as read");
    } else {
        c.figure = (*set->diagnosis)[a].meanAfterFactors;
        c.source = "mean " + formatFixed(c.figure, 3) + " " + set->formula +
                   " predicted after the factors by the diagnosis of the " + name;
    }
    c.readings = set->readings;
    c.date = set->time;
    c.record = set->id;
    // The differences' root mean square where the set kept it; a prediction keeps its mean.
    c.standard =
        measured && std::isfinite(g.rms) ? directionalSdFromRms(g.rms) : directionalSd(c.figure);
    // Each tile was read once: its difference holds this instrument's noise, which the
    // short-term repeatability already counts.
    if (noise.available)
        c.standard =
            std::sqrt(std::max(0.0, c.standard * c.standard - noise.standard * noise.standard));
    c.available = std::isfinite(c.standard);
    return c;
}

Contribution reference(const Inputs& in, int a) {
    Contribution c = none(ContributionKind::Reference);
    const std::optional<double>& u = in.settings.referenceExpanded[a];
    if (!u || !std::isfinite(*u) || *u < 0.0) return c;
    c.figure = *u;
    c.standard = *u / kCoverageFactor;
    c.available = true;
    c.source = "expanded uncertainty " + formatFixed(*u, 3) +
               " (k = 2) from the reference's certificate" +
               (in.settings.referenceCertificate.empty() ? std::string()
                                                         : " " + in.settings.referenceCertificate);
    return c;
}

Contribution resolution(const Inputs& in, double lightness) {
    Contribution c = none(ContributionKind::Resolution);
    c.figure = kReadingStepPercent;
    c.standard =
        resolutionSd(std::isfinite(lightness) ? lightness : 50.0, in.formula, in.parameters);
    c.available = true;
    c.source = "readings rounded to 0.01 % reflectance, at L* " +
               formatFixed(std::isfinite(lightness) ? lightness : 50.0, 0);
    return c;
}

AngleBudget angleBudget(const Inputs& in, int a) {
    AngleBudget b;
    b.angleDegrees = kAngleDegrees[a];
    const Contribution noise = shortTerm(in, a);
    const CheckRecord* ext = latest(in.records, RecordKind::ExtendedRepeatability);
    const double lightness = ext ? ext->angles[a].lab[0] : kNaN;
    b.contributions = {noise, longTerm(in, a, noise), agreement(in, a, noise), reference(in, a),
                       resolution(in, lightness)};
    double sum = 0.0;
    for (const Contribution& c : b.contributions)
        if (c.available) sum += c.standard * c.standard;
    b.standard = noise.available ? std::sqrt(sum) : kNaN;
    b.expanded = kCoverageFactor * b.standard;
    b.tolerance = in.settings.tolerance[a];
    if (b.tolerance && *b.tolerance > 0.0 && std::isfinite(b.expanded)) {
        b.share = b.expanded / *b.tolerance;
        b.band = bandOf(*b.share);
    }
    return b;
}

void noteMissing(PerformanceStatement& s) {
    const auto& first = s.angles[0].contributions;
    auto missing = [&](ContributionKind k) {
        return !first[static_cast<std::size_t>(k)].available;
    };
    if (missing(ContributionKind::ShortTerm))
        s.missing.push_back(
            "No extended repeatability check on record: run one (10 to 30 readings) to state "
            "the short-term repeatability; without it no uncertainty is stated.");
    if (missing(ContributionKind::LongTerm))
        s.missing.push_back("Fewer than " + std::to_string(kLongTermMinimumRecords) +
                            " repeatability checks of the specimen in the period (" +
                            std::to_string(first[1].readings) +
                            "): the long-term repeatability is left out.");
    if (missing(ContributionKind::Agreement))
        s.missing.push_back(
            "No tile-set check on record: the agreement with the reference is left out.");
    if (missing(ContributionKind::Reference))
        s.missing.push_back(
            "The reference's uncertainty is not entered (tile-set settings): it is left out.");
    bool tolerance = false;
    for (const AngleBudget& b : s.angles) tolerance = tolerance || b.tolerance.has_value();
    if (!tolerance)
        s.missing.push_back(
            "No product tolerance is set (tile-set settings): the share of it is not stated.");
}

}  // namespace

PerformanceStatement performanceStatement(const std::vector<CheckRecord>& records,
                                          const PerformanceSettings& settings,
                                          DeltaEFormula formula, const LocalTime& now,
                                          const DeltaEParameters& parameters) {
    PerformanceStatement s;
    s.made = now;
    s.formula = displayLabel(formula, parameters.cmcL, parameters.cmcC);
    if (!records.empty()) {
        s.serial = records.front().serial;
        for (const CheckRecord& r : records)
            if (!r.instrumentType.empty()) {
                s.instrumentType = r.instrumentType;
                break;
            }
    }
    if (const CheckRecord* set = latest(records, RecordKind::TileSet))
        s.referenceSerial = set->referenceSerial;
    if (const CheckRecord* ext = latest(records, RecordKind::ExtendedRepeatability))
        s.specimen = settings.specimen.empty() ? ext->specimen : settings.specimen;
    const long today = dayNumber(now.year, now.month, now.day);
    const std::string since =
        settings.longTermDays > 0 ? dateText(today - settings.longTermDays) : "";
    const Inputs in{records,   settings,   formula,
                    s.formula, parameters, longTermRecords(records, settings.specimen, since)};
    for (int a = 0; a < kAngleCount; ++a) s.angles[a] = angleBudget(in, a);
    noteMissing(s);
    return s;
}

}  // namespace qv
