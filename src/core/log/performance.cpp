#include "core/log/performance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "core/app/number_format.h"
#include "core/colour/spread.h"
#include "core/colour/tristimulus.h"
#include "core/tiles/diagnosis.h"
#include "core/tiles/diagnosis_record.h"

namespace qv {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr int kAngle45 = 1;
// The step of the numerical derivative of a colour difference along one coordinate.
constexpr double kGradientStep = 1e-3;

constexpr std::array<std::string_view, kContributionCount> kNames = {
    "Short-term repeatability", "Long-term repeatability",
    "Agreement with the reference after correction", "Reference's own uncertainty",
    "Resolution of the readings"};
constexpr std::array<std::string_view, kContributionCount> kKeys = {
    "shortTerm", "longTerm", "agreement", "reference", "resolution"};

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

double meanOf(const std::vector<double>& v) {
    double sum = 0.0;
    for (double x : v) sum += x;
    return v.empty() ? 1.0 : sum / static_cast<double>(v.size());
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
                                         const std::string& specimen, const std::string& since,
                                         int* unnamed) {
    std::string name = specimen;
    if (name.empty())
        if (const CheckRecord* ext = latest(records, RecordKind::ExtendedRepeatability))
            name = ext->specimen;
    std::vector<CheckRecord> out;
    int left = 0;
    for (const CheckRecord& r : records) {
        if (!isRepeatability(r) || !finite3(r.angles[kAngle45].lab)) continue;
        if (!since.empty() && dateOf(r.time) < since) continue;
        if (r.specimen.empty())
            ++left;
        else if (!name.empty() && r.specimen == name)
            out.push_back(r);
    }
    if (unnamed) *unnamed = left;
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

// How a reading's noise falls on the three coordinates, as multiples of its directional variance
// (their mean is one): the reference's, of the same kind of instrument, falls alike.
LabTriple noiseShares(const Contribution& noise) {
    if (!noise.available || !noise.axisVariance || !(noise.standard > 0.0)) return {1.0, 1.0, 1.0};
    LabTriple share = *noise.axisVariance;
    for (double& v : share) v /= noise.standard * noise.standard;
    return share;
}

// What a part adds to each coordinate's variance: as its records split it, or its directional
// variance alike in all three; nothing while it is missing.
LabTriple axesOf(const Contribution& c) {
    if (!c.available) return {};
    if (c.axisVariance) return *c.axisVariance;
    const double v = c.standard * c.standard;
    return {v, v, v};
}

Contribution none(ContributionKind kind) {
    Contribution c;
    c.kind = kind;
    c.standard = c.figure = kNaN;
    c.essential = kind == ContributionKind::ShortTerm || kind == ContributionKind::Agreement ||
                  kind == ContributionKind::Reference;
    return c;
}

// What the agreement stands on: the tile set, whether its figure is the diagnosis's prediction
// for the entry written after it, that entry (or the one the set was read through), and why
// the figure no longer holds when a later change to the entries has retired it.
struct Basis {
    const CheckRecord* set = nullptr;
    bool predicted = false;
    const CheckRecord* write = nullptr;
    std::string retired;
};

struct Inputs {
    const std::vector<CheckRecord>& records;
    const PerformanceSettings& settings;
    DeltaEFormula formula;
    std::string label;
    DeltaEParameters parameters;
    std::vector<CheckRecord> longTerm;  // the checks of the long term, chosen once
    int unnamed = 0;                    // repeatability checks left out for want of a name
    Basis basis;
};

std::string entryName(const CheckRecord& w) {
    return "entry " + std::to_string(w.entry) + (w.comment.empty() ? "" : " '" + w.comment + "'");
}

// A write or deletion newer than records[from] (the list runs newest first) that changes what
// the instrument applies: any write, or the deletion of `entry` (any deletion when unknown).
std::string laterChange(const std::vector<CheckRecord>& records, std::size_t from, int entry) {
    for (std::size_t i = from; i-- > 0;) {
        const CheckRecord& r = records[i];
        const bool write = r.kind == RecordKind::EntryWrite;
        const bool deletion =
            r.kind == RecordKind::EntryDeletion && (entry == 0 || r.entry == entry);
        if (!write && !deletion) continue;
        return (write ? (r.entry == entry ? "entry " + std::to_string(r.entry) + " written over"
                                          : "entry " + std::to_string(r.entry) + " written")
                      : "entry " + std::to_string(r.entry) + " deleted") +
               " on " + dateOf(r.time) + " (record " + std::to_string(r.id) + ")";
    }
    return {};
}

// The white calibration the instrument confirmed last before `check`, one of `records` (newest
// first); none when the logbook holds none before it.
const CheckRecord* calibrationBefore(const std::vector<CheckRecord>& records,
                                     const CheckRecord& check) {
    const auto found =
        std::find_if(records.begin() + (&check - records.data()), records.end(),
                     [](const CheckRecord& r) { return r.kind == RecordKind::Calibration; });
    return found == records.end() ? nullptr : &*found;
}

// "white calibration 2026-11-02 08:10 before the extended check and the tile set", each
// calibration said once, with the checks it came before.
std::string conditionsOf(const std::vector<CheckRecord>& records, const Basis& basis,
                         const PerformanceSettings& settings) {
    const CheckRecord* extended = latest(records, RecordKind::ExtendedRepeatability);
    std::vector<std::pair<const CheckRecord*, std::string>> before;
    for (const auto& [check, name] :
         {std::pair{extended, "the extended check"}, std::pair{basis.set, "the tile set"}}) {
        if (!check) continue;
        const CheckRecord* calibration = calibrationBefore(records, *check);
        if (!before.empty() && before.back().first == calibration)
            before.back().second += std::string(" and ") + name;
        else
            before.emplace_back(calibration, name);
    }
    std::vector<std::string> parts;
    for (const auto& [calibration, names] : before)
        parts.push_back(calibration
                            ? "white calibration " + logbookTime(calibration->time).substr(0, 16) +
                                  " before " + names
                            : "no white calibration on record before " + names);
    if (extended)
        parts.push_back(extended->handling ? "specimen placed again between readings"
                                           : "specimen not lifted between readings");
    parts.push_back(settings.temperature.empty() ? "temperature not given"
                                                 : "at " + settings.temperature);
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "; ") + p;
    return out;
}

Basis agreementBasis(const std::vector<CheckRecord>& records) {
    Basis b;
    std::size_t at = 0;
    while (at < records.size() && records[at].kind != RecordKind::TileSet) ++at;
    if (at == records.size()) return b;
    b.set = &records[at];
    const bool readAgain = std::isfinite(b.set->angles[0].beforeDeltaE);
    std::size_t written = at;  // the oldest write after the set
    for (std::size_t i = at; i-- > 0;)
        if (records[i].kind == RecordKind::EntryWrite) {
            written = i;
            break;
        }
    if (!readAgain && written < at && b.set->diagnosis) {
        b.predicted = true;
        b.write = &records[written];
        b.retired = laterChange(records, written, b.write->entry);
        return b;
    }
    // Read as it was, or again after a correction: through the latest entry written before it,
    // unless that entry was deleted before the set was read.
    for (std::size_t i = at + 1; i < records.size(); ++i) {
        const CheckRecord& r = records[i];
        if (r.kind == RecordKind::EntryWrite) b.write = &r;
        if (r.kind == RecordKind::EntryWrite || r.kind == RecordKind::EntryDeletion) break;
    }
    b.retired = laterChange(records, at, b.write ? b.write->entry : 0);
    return b;
}

}  // namespace

std::array<LabTriple, 3> coordinateFrame(const LabTriple& colour) {
    const double c = std::hypot(colour[1], colour[2]);
    if (!(c >= kChromaticChroma)) return {{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}};
    return {{{1.0, 0.0, 0.0},
             {0.0, colour[1] / c, colour[2] / c},
             {0.0, -colour[2] / c, colour[1] / c}}};
}

namespace {

bool nearNeutral(const LabTriple& colour) {
    return !(std::hypot(colour[1], colour[2]) >= kChromaticChroma);
}

// Near neutral a* and b* stand for chroma and hue, whose directions are not the colour's own:
// the two share what falls on them.
LabTriple shared(const LabTriple& colour, LabTriple v) {
    if (nearNeutral(colour)) v[1] = v[2] = 0.5 * (v[1] + v[2]);
    return v;
}

// How much a small step along each direction of the frame at `colour` moves the colour
// difference in the formula, per unit of the step.
LabTriple frameWeights(const LabTriple& colour, const std::array<LabTriple, 3>& frame,
                       const Inputs& in) {
    LabTriple w{};
    for (std::size_t k = 0; k < 3; ++k) {
        const Lab moved{colour[0] + kGradientStep * frame[k][0],
                        colour[1] + kGradientStep * frame[k][1],
                        colour[2] + kGradientStep * frame[k][2]};
        w[k] = deltaE(in.formula, labOf(colour), moved, in.parameters) / kGradientStep;
    }
    return w;
}

// A difference from `colour` taken apart into lightness, chroma and hue, each component
// weighed by the formula there and squared.
LabTriple differenceSquares(const LabTriple& colour, const LabTriple& d, const Inputs& in) {
    const auto frame = coordinateFrame(colour);
    const LabTriple w = frameWeights(colour, frame, in);
    LabTriple v{};
    for (std::size_t k = 0; k < 3; ++k)
        v[k] = std::pow(w[k] * (frame[k][0] * d[0] + frame[k][1] * d[1] + frame[k][2] * d[2]), 2);
    return shared(colour, v);
}

// Independent errors of L*, a*, b* with these deviations at `colour`, as the variances of
// lightness, chroma and hue the formula sees there.
LabTriple spreadSquares(const LabTriple& colour, const LabTriple& sd, const Inputs& in) {
    const auto frame = coordinateFrame(colour);
    const LabTriple w = frameWeights(colour, frame, in);
    LabTriple v{};
    for (std::size_t k = 0; k < 3; ++k)
        for (std::size_t i = 0; i < 3; ++i) v[k] += std::pow(w[k] * frame[k][i] * sd[i], 2);
    return shared(colour, v);
}

// The same errors as the standard uncertainty along one direction of colour space in the
// formula: each coordinate's spread scaled by how much the formula weighs it there.
double directionalFromAxes(const LabTriple& colour, const LabTriple& sd, const Inputs& in) {
    const LabTriple v = spreadSquares(colour, sd, in);
    return std::sqrt((v[0] + v[1] + v[2]) / 3.0);
}

// The reading noise per coordinate: the directional variance shared out as the extended check's
// spread of L*, a*, b* falls on lightness, chroma and hue at its colour; none when the check
// keeps no such spread.
std::optional<LabTriple> noiseAxes(const AngleRecord& g, double standard, const Inputs& in) {
    if (!finite3(g.sd) || !finite3(g.lab)) return std::nullopt;
    LabTriple v = spreadSquares(g.lab, g.sd, in);
    const double total = v[0] + v[1] + v[2];
    // The directional variance is a third of the total: each coordinate takes its share of it.
    for (double& x : v)
        x = total > 0.0 ? 3.0 * standard * standard * x / total : standard * standard;
    return v;
}

Contribution shortTerm(const Inputs& in, int a) {
    Contribution c = none(ContributionKind::ShortTerm);
    const CheckRecord* r = latest(in.records, RecordKind::ExtendedRepeatability);
    if (!r || r->readings < 2 || !std::isfinite(r->angles[a].deltaE)) return c;
    const AngleRecord& g = r->angles[a];
    c.figure = g.deltaE;
    c.figureName = "MCDM";
    c.readings = r->readings;
    c.degreesOfFreedom = r->readings - 1;
    c.date = r->time;
    c.record = r->id;
    c.source = "MCDM " + formatFixed(g.deltaE, 3) + " " + r->formula + " over " +
               std::to_string(r->readings) + " readings" +
               (r->handling ? " with the specimen placed again each time" : " without handling") +
               (r->specimen.empty() ? std::string() : " of " + r->specimen) + ", record " +
               std::to_string(r->id) + " of " + dateOf(r->time);
    if (r->formula == in.label && std::isfinite(g.rms)) {
        c.standard = directionalSdFromRms(g.rms, r->readings);
    } else if (r->formula == in.label) {
        c.standard = directionalSd(g.deltaE, r->readings);
    } else if (finite3(g.sd) && finite3(g.lab)) {
        // Judged in another formula: restated in this one from the coordinates' own spread.
        c.standard = directionalFromAxes(g.lab, g.sd, in);
        c.source += " (restated in " + in.label + " from the standard deviations of L*, a*, b*)";
    } else {
        c.source = "the extended check (record " + std::to_string(r->id) + ") was judged in " +
                   r->formula + " and keeps no spread of L*, a*, b* to restate it in " + in.label +
                   ": run one with the thresholds in " + in.label;
    }
    c.available = std::isfinite(c.standard);
    if (c.available) c.axisVariance = noiseAxes(g, c.standard, in);
    return c;
}

int distinctDays(const std::vector<CheckRecord>& chosen, int* spanDays) {
    std::vector<long> days;
    for (const CheckRecord& r : chosen) days.push_back(static_cast<long>(daysFromCivil(r.time)));
    std::sort(days.begin(), days.end());
    *spanDays = days.empty() ? 0 : static_cast<int>(days.back() - days.front());
    return static_cast<int>(std::unique(days.begin(), days.end()) - days.begin());
}

Contribution longTerm(const Inputs& in, int a, const Contribution& noise) {
    Contribution c = none(ContributionKind::LongTerm);
    const std::vector<CheckRecord>& chosen = in.longTerm;
    c.readings = static_cast<int>(chosen.size());
    int span = 0;
    const int days = distinctDays(chosen, &span);
    if (chosen.size() < static_cast<std::size_t>(kLongTermMinimumRecords)) return c;
    if (days < kLongTermMinimumDays || span < kLongTermMinimumSpanDays) {
        c.source = "short period: " + std::to_string(chosen.size()) + " checks on " +
                   std::to_string(days) + " days over " + std::to_string(span) + " days";
        return c;
    }
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
    c.degreesOfFreedom = static_cast<double>(colours.size()) - 1.0;
    c.figure = spread.mcdm;
    c.figureName = "MCDM";
    c.date = chosen.front().time;
    c.from = chosen.back().time;
    c.record = chosen.front().id;
    c.available = true;
    c.source = "MCDM " + formatFixed(c.figure, 3) + " " + in.label + " of " +
               std::to_string(colours.size()) + " checks of " + chosen.front().specimen + " on " +
               std::to_string(days) + " days from " + dateOf(*c.from) + " to " + dateOf(*c.date) +
               (noise.available ? ", less the short-term noise within them" : "");
    return c;
}

// The tiles' differences the agreement stands on (held out from the factors, or as read), taken
// apart into lightness, chroma and hue at each tile's colour and weighed as the formula weighs
// them there: per coordinate their mean square, and the root mean square of the tiles' colour
// differences in the formula. Nothing unless at least two tiles keep both, all finite.
struct TileAxes {
    LabTriple meanSquare{};
    double rms = kNaN;
};

std::optional<TileAxes> tileAxes(const std::vector<TileDifferenceRecord>& tiles, bool heldOut,
                                 const Inputs& in) {
    if (tiles.size() < 2) return std::nullopt;
    TileAxes out;
    double squares = 0.0;
    for (const TileDifferenceRecord& t : tiles) {
        const LabTriple& d = heldOut ? t.heldOut : t.read;
        if (!finite3(t.reference) || !finite3(d)) return std::nullopt;
        const LabTriple v = differenceSquares(t.reference, d, in);
        for (std::size_t k = 0; k < 3; ++k) out.meanSquare[k] += v[k];
        const Lab moved{t.reference[0] + d[0], t.reference[1] + d[1], t.reference[2] + d[2]};
        squares += std::pow(deltaE(in.formula, labOf(t.reference), moved, in.parameters), 2);
    }
    const double n = static_cast<double>(tiles.size());
    for (double& v : out.meanSquare) v /= n;
    out.rms = std::sqrt(squares / n);
    if (!std::isfinite(out.rms) || !finite3(out.meanSquare)) return std::nullopt;
    return out;
}

// How many times the variance of a reading's noise at each tile's lightness is that at the
// repeatability specimen's, as rounding's is (both spread evenly over the reflectances); none
// without the specimen's lightness.
std::vector<double> noiseScales(const Inputs& in, int a,
                                const std::vector<TileDifferenceRecord>& tiles) {
    std::vector<double> out;
    const CheckRecord* ext = latest(in.records, RecordKind::ExtendedRepeatability);
    const double at = ext ? ext->angles[a].lab[0] : kNaN;
    const double base = std::isfinite(at) ? resolutionSd(at, in.formula, in.parameters) : kNaN;
    if (!(base > 0.0)) return out;
    for (const TileDifferenceRecord& t : tiles)
        out.push_back(std::pow(resolutionSd(t.reference[0], in.formula, in.parameters) / base, 2));
    return out;
}

// The agreement restated in the statement's formula from the tiles' own L*, a*, b*, per
// coordinate; false when the set's diagnosis keeps no such tiles.
bool agreementFromTiles(const Inputs& in, int a, const std::string& name, Contribution& c) {
    const CheckRecord& set = *in.basis.set;
    if (!set.diagnosis) return false;
    const auto axes = tileAxes((*set.diagnosis)[a].tiles, in.basis.predicted, in);
    if (!axes) return false;
    c.figure = axes->rms;
    c.figureName = "RMS";
    c.readings = static_cast<int>((*set.diagnosis)[a].tiles.size());
    c.degreesOfFreedom = std::max(1, c.readings - 1);
    c.standard = std::sqrt((axes->meanSquare[0] + axes->meanSquare[1] + axes->meanSquare[2]) / 3.0);
    c.axisVariance = axes->meanSquare;
    c.noiseScale = noiseScales(in, a, (*set.diagnosis)[a].tiles);
    c.source =
        "RMS " + formatFixed(c.figure, 3) + " " + in.label +
        (in.basis.predicted ? " predicted after the factors of " + entryName(*in.basis.write) +
                                  " for each tile from the others, by the diagnosis of the "
                            : " over the ") +
        name +
        (in.basis.predicted                          ? std::string()
         : std::isfinite(set.angles[a].beforeDeltaE) ? ", read again after the correction"
                                                     : ", as read") +
        "; per coordinate from the tiles' L*, a*, b*";
    return true;
}

// The agreement's figure: the tiles' differences as read (or read again after the correction),
// or the diagnosis's prediction for tiles it did not fit, never its in-sample mean. From the
// tiles' own colours when the set keeps them, else from the figure the set was judged by.
bool agreementFigure(const Inputs& in, int a, Contribution& c) {
    const CheckRecord& set = *in.basis.set;
    const AngleRecord& g = set.angles[a];
    const std::string name = "tile set" + (set.comment.empty() ? "" : " " + set.comment) +
                             ", record " + std::to_string(set.id) + " of " + dateOf(set.time);
    if (agreementFromTiles(in, a, name, c)) return true;
    if (set.formula != in.label) {
        c.source = "the " + name + " was judged in " + set.formula +
                   ": its tiles' differences cannot be restated in " + in.label +
                   "; read the set with the thresholds in " + in.label;
        return false;
    }
    if (!in.basis.predicted) {
        const bool rms = std::isfinite(g.rms);
        c.figure = rms ? g.rms : g.deltaE;
        c.figureName = rms ? "RMS" : "mean";
        c.standard = rms ? directionalSdFromRms(g.rms) : directionalSd(g.deltaE);
        c.source =
            c.figureName + " " + formatFixed(c.figure, 3) + " " + set.formula + " over the " +
            name +
            (std::isfinite(g.beforeDeltaE) ? ", read again after the correction" : ", as read");
        return true;
    }
    c.figure = (*set.diagnosis)[a].heldOutRmsAfterFactors;
    c.figureName = "RMS";
    if (!std::isfinite(c.figure)) {
        c.source = "the diagnosis of the " + name +
                   " keeps no prediction for tiles it did not fit: read the set again through " +
                   entryName(*in.basis.write);
        return false;
    }
    c.standard = directionalSdFromRms(c.figure);
    c.source = "RMS " + formatFixed(c.figure, 3) + " " + set.formula +
               " predicted after the factors of " + entryName(*in.basis.write) +
               " for each tile from the others, by the diagnosis of the " + name;
    return true;
}

Contribution agreement(const Inputs& in, int a, const Contribution& noise) {
    Contribution c = none(ContributionKind::Agreement);
    const CheckRecord* set = in.basis.set;
    if (!set) return c;
    c.readings = set->readings;
    c.degreesOfFreedom = std::max(1, set->readings - 1);
    c.date = set->time;
    c.record = set->id;
    if (!in.basis.retired.empty()) {
        c.source = "retired: " + in.basis.retired + " after the tile set of " + dateOf(set->time) +
                   "; read the tile set again";
        return c;
    }
    if (!agreementFigure(in, a, c)) {
        c.figure = kNaN;
        return c;
    }
    // Each tile was read once on each instrument: its difference holds this instrument's
    // noise, which the short-term repeatability counts, and the reference's, which its
    // certificate does.
    double noises = noise.available ? noise.standard * noise.standard : 0.0;
    const std::optional<double>& theirs = in.settings.referenceNoise[a];
    const double reference = theirs && std::isfinite(*theirs) ? *theirs * *theirs : 0.0;
    if (reference > 0.0) c.source += ", less the reference's reading noise";
    if (c.axisVariance) {
        // Each coordinate less the noise that falls on it, both instruments' as it is at the
        // tiles' colours.
        const LabTriple mine = axesOf(noise), share = noiseShares(noise);
        const double m = meanOf(c.noiseScale);
        double sum = 0.0;
        for (std::size_t i = 0; i < 3; ++i)
            sum += (*c.axisVariance)[i] =
                std::max(0.0, (*c.axisVariance)[i] - m * (mine[i] + reference * share[i]));
        c.standard = std::sqrt(sum / 3.0);
        // Welch-Satterthwaite over the coordinates, each known from the tiles less one: from
        // that many (all on one coordinate) to three times as many (alike on all three).
        double squares = 0.0;
        for (const double v : *c.axisVariance) squares += v * v;
        if (squares > 0.0) c.degreesOfFreedom *= sum * sum / squares;
    } else {
        c.standard = std::sqrt(std::max(0.0, c.standard * c.standard - noises - reference));
    }
    c.available = std::isfinite(c.standard);
    return c;
}

Contribution reference(const Inputs& in, int a) {
    Contribution c = none(ContributionKind::Reference);
    const std::optional<double>& u = in.settings.referenceExpanded[a];
    if (!u || !std::isfinite(*u) || *u < 0.0) return c;
    c.figure = *u;
    c.figureName = "U";
    c.degreesOfFreedom = kInfinity;
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
    c.figureName = "step";
    c.degreesOfFreedom = kInfinity;
    c.standard =
        resolutionSd(std::isfinite(lightness) ? lightness : 50.0, in.formula, in.parameters);
    c.available = true;
    c.source = "readings rounded to 0.01 % reflectance, at L* " +
               formatFixed(std::isfinite(lightness) ? lightness : 50.0, 0);
    return c;
}

// Wavelength errors move chromatic colours and leave greys alone.
bool movesColoursOnly(std::string_view key) {
    return key == termInfo(Term::Shift).key || key == termInfo(Term::ScaleError).key ||
           key == termInfo(Term::Bandwidth).key;
}

AngleScope scopeOf(const CheckRecord* set, int a) {
    AngleScope s;
    if (!set || !set->diagnosis) return s;
    const AngleDiagnosisRecord& d = (*set->diagnosis)[a];
    s.known = true;
    s.lightnessLow = d.lightnessLow;
    s.lightnessHigh = d.lightnessHigh;
    s.chromaLow = d.chromaLow;
    s.chromaHigh = d.chromaHigh;
    s.hueFrom = d.hueFrom;
    s.hueTo = d.hueTo;
    s.decision = d.decision;
    s.reason = d.reason;
    for (const TermRecord& t : d.terms) {
        const auto term = termFromKey(t.key);
        // Not identified and known no better than its limit: the set cannot show it.
        const bool unseen = term && !t.identified && !(t.standardError < termInfo(*term).limit);
        if (!unseen) continue;
        s.unseen.push_back(t.key);
        s.neutralOnly = s.neutralOnly || movesColoursOnly(t.key);
    }
    return s;
}

double effectiveDof(const std::array<Contribution, kContributionCount>& parts, double standard) {
    double sum = 0.0;
    for (const Contribution& c : parts)
        if (c.available && std::isfinite(c.degreesOfFreedom) && c.degreesOfFreedom > 0.0)
            sum += std::pow(c.standard, 4) / c.degreesOfFreedom;
    return sum > 0.0 ? std::pow(standard, 4) / sum : kInfinity;
}

// Per coordinate of the formula's local metric, the variance of one reading's error: each
// part as its records split it, alike in all three where they do not.
LabTriple axisVariances(const std::array<Contribution, kContributionCount>& parts) {
    LabTriple v{};
    for (const Contribution& c : parts) {
        const LabTriple part = axesOf(c);
        for (std::size_t i = 0; i < 3; ++i) v[i] += part[i];
    }
    return v;
}

// The reading noise as it is on average over the set's colours, when the agreement stands on
// its tiles; each colour's own for the mixture.
void atTheSetsColours(AngleBudget& b, double theirNoise) {
    Contribution& noise = b.contributions[0];
    const std::vector<double>& scale = b.contributions[2].noiseScale;
    if (!noise.available || scale.empty()) return;
    LabTriple specimen = axesOf(noise);
    const LabTriple share = noiseShares(noise);
    const double m = meanOf(scale);
    // The reference reads each standard once: its noise at the set's colours beyond what its
    // certificate counts at its own specimen, falling on the coordinates as this one's does.
    Contribution& theirs = b.contributions[3];
    if (theirs.available && theirNoise > 0.0) {
        const double excess = theirNoise * std::max(0.0, m - 1.0);
        LabTriple axes = axesOf(theirs);
        for (std::size_t i = 0; i < 3; ++i) {
            axes[i] += excess * share[i];
            specimen[i] += theirNoise * share[i];
        }
        theirs.axisVariance = axes;
        theirs.standard = std::sqrt(theirs.standard * theirs.standard + excess);
        theirs.source += ", and its reading noise at the set's colours beyond its specimen's";
    }
    noise.standard *= std::sqrt(m);
    if (noise.axisVariance)
        for (double& v : *noise.axisVariance) v *= m;
    noise.source += "; at the set's colours, whose reading noise is " + formatFixed(m, 1) +
                    " times the specimen's in variance on average";
    b.colourVariance.assign(scale.size(), {});
    for (std::size_t k = 0; k < scale.size(); ++k)
        for (std::size_t i = 0; i < 3; ++i) b.colourVariance[k][i] = specimen[i] * (scale[k] - m);
}

// The length of one reading's error, drawn per coordinate (JCGM 101); with few degrees of
// freedom behind the variances each draw is scaled as Student's t scales a normal.
double nearStandard(const AngleBudget& b, int a) {
    const double dof = b.effectiveDof;
    std::mt19937 rng(static_cast<std::uint32_t>(7 + a));
    std::normal_distribution<double> unit(0.0, 1.0);
    std::chi_squared_distribution<double> chi(std::isfinite(dof) ? std::max(1.0, dof) : 1.0);
    std::vector<double> lengths(static_cast<std::size_t>(kNearStandardDraws));
    const std::size_t colours = b.colourVariance.size();
    std::uniform_int_distribution<std::size_t> pick(0, colours > 0 ? colours - 1 : 0);
    for (double& l : lengths) {
        // At one of the set's colours, picked at random, when the set keeps them.
        const LabTriple& v = colours > 0 ? b.colourVariance[pick(rng)] : b.axisVariance;
        double sum = 0.0;
        for (double x : v) sum += x * std::pow(unit(rng), 2);
        const double scale = std::isfinite(dof) ? std::max(1.0, dof) / chi(rng) : 1.0;
        l = std::sqrt(sum * scale);
    }
    const auto at = lengths.begin() + static_cast<std::ptrdiff_t>(0.95 * kNearStandardDraws);
    std::nth_element(lengths.begin(), at, lengths.end());
    return *at;
}

AngleBudget angleBudget(const Inputs& in, int a) {
    AngleBudget b;
    b.angleDegrees = kAngleDegrees[a];
    const Contribution noise = shortTerm(in, a);
    const CheckRecord* ext = latest(in.records, RecordKind::ExtendedRepeatability);
    const double lightness = ext ? ext->angles[a].lab[0] : kNaN;
    b.contributions = {noise, longTerm(in, a, noise), agreement(in, a, noise), reference(in, a),
                       resolution(in, lightness)};
    b.scope = scopeOf(in.basis.set, a);
    const std::optional<double>& theirs = in.settings.referenceNoise[a];
    atTheSetsColours(b, theirs && std::isfinite(*theirs) ? *theirs * *theirs : 0.0);
    double sum = 0.0;
    b.complete = true;
    for (const Contribution& c : b.contributions) {
        if (c.available) sum += c.standard * c.standard;
        b.complete = b.complete && (c.available || !c.essential);
    }
    b.standard = b.complete ? std::sqrt(sum) : kNaN;
    b.effectiveDof = b.complete ? effectiveDof(b.contributions, b.standard) : kNaN;
    b.coverageFactor = b.complete ? studentT95(b.effectiveDof) : kNaN;
    b.expanded = b.coverageFactor * b.standard;
    b.axisVariance = axisVariances(b.contributions);
    for (LabTriple& v : b.colourVariance)
        for (std::size_t i = 0; i < 3; ++i) v[i] += b.axisVariance[i];
    const Contribution& agreed =
        b.contributions[static_cast<std::size_t>(ContributionKind::Agreement)];
    b.agreementPerAxis = agreed.available && agreed.axisVariance.has_value();
    b.nearStandard = b.complete && b.agreementPerAxis ? nearStandard(b, a) : kNaN;
    b.tolerance = in.settings.tolerance[a];
    if (b.complete && b.tolerance && *b.tolerance > 0.0 && std::isfinite(b.expanded)) {
        b.share = b.expanded / *b.tolerance;
        if (b.expanded > 0.0) b.testUncertaintyRatio = *b.tolerance / b.expanded;
        b.gaugeShare = kGaugeSpread * b.standard / *b.tolerance;
        b.band = bandOf(*b.gaugeShare);
    }
    return b;
}

// What supplies each part when it is missing, and why it is, from the first angle without it.
std::string missingText(const PerformanceStatement& s, ContributionKind k, const Inputs& in) {
    const auto i = static_cast<std::size_t>(k);
    std::string why;
    for (const AngleBudget& b : s.angles)
        if (!b.contributions[i].available && why.empty()) why = b.contributions[i].source;
    switch (k) {
        case ContributionKind::ShortTerm:
            return why.empty() ? "Short-term repeatability: no extended repeatability check on "
                                 "record; run one (10 to 30 readings)."
                               : "Short-term repeatability: " + why + ".";
        case ContributionKind::LongTerm:
            return "Long-term repeatability left out: " +
                   (why.empty() ? std::to_string(s.angles[0].contributions[i].readings) +
                                      " checks of the specimen in the period, fewer than " +
                                      std::to_string(kLongTermMinimumRecords)
                                : why) +
                   "; it needs checks of the specimen by name on at least " +
                   std::to_string(kLongTermMinimumDays) + " days over " +
                   std::to_string(kLongTermMinimumSpanDays) + " days or more" +
                   (in.unnamed > 0 ? " (" + std::to_string(in.unnamed) +
                                         " checks without a specimen name are excluded)."
                                   : ".");
        case ContributionKind::Agreement:
            return why.empty() ? "Agreement with the reference: no tile-set check on record; "
                                 "read the tile set against the reference."
                               : "Agreement with the reference: " + why + ".";
        case ContributionKind::Reference:
            return "Reference's own uncertainty: not entered; type the expanded uncertainty from "
                   "the reference's certificate (tile-set settings, or --reference-uncertainty).";
        case ContributionKind::Resolution:
            break;
    }
    return {};
}

void noteMissing(PerformanceStatement& s, const Inputs& in) {
    bool complete = true;
    for (const AngleBudget& b : s.angles) complete = complete && b.complete;
    if (!complete)
        s.missing.push_back(
            "Incomplete budget: not an uncertainty. No expanded uncertainty is stated until "
            "every part below marked essential is on record.");
    for (std::size_t k = 0; k < kContributionCount; ++k) {
        bool lacking = false;
        for (const AngleBudget& b : s.angles) lacking = lacking || !b.contributions[k].available;
        if (!lacking) continue;
        const std::string text = missingText(s, static_cast<ContributionKind>(k), in);
        if (!text.empty())
            s.missing.push_back((s.angles[0].contributions[k].essential ? "Essential: " : "") +
                                text);
    }
    bool alike = false;
    for (const AngleBudget& b : s.angles) alike = alike || (b.complete && !b.agreementPerAxis);
    if (alike)
        s.missing.push_back(
            "Agreement not split per coordinate: the tile set keeps no differences of its tiles "
            "in L*, a*, b* (recorded before they were kept, or not diagnosed). Its spread is "
            "taken alike along all three, so U does not follow the direction of a product's "
            "difference and the shape of the error near the standard is not known: no figure "
            "is stated for products within " +
            formatFixed(kNearStandardFactor, 0) +
            " u of their standard. Read the tile set again to have it.");
    bool tolerance = false;
    for (const AngleBudget& b : s.angles) tolerance = tolerance || b.tolerance.has_value();
    if (!tolerance)
        s.missing.push_back(
            "No product tolerance is set (tile-set settings): the share of it is not stated.");
}

void describeBasis(PerformanceStatement& s, const Basis& basis) {
    s.retired = basis.retired;
    if (!basis.set) return;
    EntryInForce e;
    if (basis.write) {
        e.entry = basis.write->entry;
        e.comment = basis.write->comment;
        e.written = basis.write->time;
        e.record = basis.write->id;
    }
    s.entry = e;
    for (const AngleBudget& b : s.angles) {
        s.neutralOnly = s.neutralOnly || b.scope.neutralOnly;
        s.service = s.service || b.scope.decision == recommendationKey(Recommendation::Service);
    }
}

}  // namespace

namespace {

double along(const LabTriple& share, const LabTriple& v) {
    return share[0] * v[0] + share[1] * v[1] + share[2] * v[2];
}

// The 95 % two-sided quantile of an error along one direction at a colour of the set picked at
// random, each normal with its own variance, found by halving.
double mixtureQuantile(const std::vector<LabTriple>& colours, const LabTriple& share) {
    double low = 0.0, high = 0.0;
    for (const LabTriple& v : colours) high = std::max(high, 4.0 * std::sqrt(along(share, v)));
    for (int i = 0; i < 60; ++i) {
        const double q = 0.5 * (low + high);
        double inside = 0.0;
        for (const LabTriple& v : colours) {
            const double sd = std::sqrt(along(share, v));
            inside += sd > 0.0 ? std::erf(q / (std::sqrt(2.0) * sd)) : 1.0;
        }
        (inside < 0.95 * static_cast<double>(colours.size()) ? low : high) = q;
    }
    return 0.5 * (low + high);
}

}  // namespace

double expandedFor(const AngleBudget& b, double measuredDeltaE,
                   const std::optional<LabTriple>& direction,
                   const std::optional<LabTriple>& standard) {
    if (!b.complete) return kNaN;
    if (measuredDeltaE < kNearStandardFactor * b.standard) return b.nearStandard;
    const double length =
        direction ? std::hypot((*direction)[0], (*direction)[1], (*direction)[2]) : 0.0;
    if (!(length > 0.0)) return b.expanded;
    // Without the standard's colour, a* and b* stand for chroma and hue alike.
    const LabTriple& d = *direction;
    const LabTriple colour = standard && finite3(*standard) ? *standard : LabTriple{};
    const auto frame = coordinateFrame(colour);
    LabTriple share{};
    for (std::size_t k = 0; k < 3; ++k)
        share[k] =
            std::pow((frame[k][0] * d[0] + frame[k][1] * d[1] + frame[k][2] * d[2]) / length, 2);
    if (nearNeutral(colour)) share[1] = share[2] = 0.5 * (share[1] + share[2]);
    if (b.colourVariance.empty()) return b.coverageFactor * std::sqrt(along(share, b.axisVariance));
    return mixtureQuantile(b.colourVariance, share) * b.coverageFactor / kNormal95;
}

PerformanceStatement performanceStatement(const std::vector<CheckRecord>& records,
                                          const PerformanceSettings& settings,
                                          DeltaEFormula formula, const LocalTime& now,
                                          const DeltaEParameters& parameters) {
    PerformanceStatement s;
    s.made = now;
    s.validUntil = now;
    const long until =
        static_cast<long>(daysFromCivil(now)) + std::clamp(settings.validDays, 0, 3650);
    const std::string day = dateText(until);
    s.validUntil.year = std::stoi(day.substr(0, 4));
    s.validUntil.month = std::stoi(day.substr(5, 2));
    s.validUntil.day = std::stoi(day.substr(8, 2));
    s.measurand = settings.measurand;
    s.certificate = settings.referenceCertificate;
    s.formula = displayLabel(formula, parameters.cmcL, parameters.cmcC);
    if (!records.empty()) {
        s.serial = records.front().serial;
        for (const CheckRecord& r : records)
            if (!r.instrumentType.empty()) {
                s.instrumentType = r.instrumentType;
                break;
            }
    }
    s.number = "PS-" + s.serial + "-" + resultTimestamp(now);
    if (const CheckRecord* set = latest(records, RecordKind::TileSet))
        s.referenceSerial = set->referenceSerial;
    if (const CheckRecord* ext = latest(records, RecordKind::ExtendedRepeatability))
        s.specimen = settings.specimen.empty() ? ext->specimen : settings.specimen;
    const long today = static_cast<long>(daysFromCivil(now));
    const std::string since =
        settings.longTermDays > 0 ? dateText(today - settings.longTermDays) : "";
    Inputs in{records, settings, formula, s.formula, parameters, {}, 0, agreementBasis(records)};
    in.longTerm = longTermRecords(records, settings.specimen, since, &in.unnamed);
    for (int a = 0; a < kAngleCount; ++a) s.angles[a] = angleBudget(in, a);
    describeBasis(s, in.basis);
    noteMissing(s, in);
    s.conditions = conditionsOf(records, in.basis, settings);
    return s;
}

CheckRecord statementRecord(const PerformanceStatement& st, const std::string& page) {
    CheckRecord r = emptyRecord(RecordKind::Statement, st.made);
    r.serial = st.serial;
    r.instrumentType = st.instrumentType;
    r.referenceSerial = st.referenceSerial;
    r.operatorName = st.madeBy;
    r.formula = st.formula;
    r.comment = st.number;
    r.specimen = st.specimen;
    r.overdue = st.overdue;
    r.overrideReason = st.overrideReason;
    if (st.entry) r.entry = st.entry->entry;
    if (!page.empty()) r.files.push_back(page);
    for (int a = 0; a < kAngleCount; ++a)
        r.angles[a].deltaE = st.angles[a].complete ? st.angles[a].expanded : kNaN;
    return r;
}

}  // namespace qv
