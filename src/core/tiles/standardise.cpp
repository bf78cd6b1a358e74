#include "core/tiles/standardise.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/colour/colour_requests.h"
#include "core/colour/evaluated_spectrum.h"
#include "core/colour/items.h"
#include "core/tiles/set_files.h"

namespace qv {

std::string profileLabel(std::int64_t id, const ProfileFile& p) {
    return "profile " + std::to_string(id) + " to " + p.master + " of " + calendarDate(p.time);
}

bool profileDue(const ProfileFile& p, const LocalTime& now) {
    return resultTimestamp(now) > resultTimestamp(p.validUntil);
}

std::string dueByCheck(EvaluateHueControl& engine, const ProfileFile& profile,
                       const JudgementFile& check) {
    const auto result = standardiseJudgement(engine, check, profile.profile, {});
    if (!result) return {};
    for (int a = 0; a < kAngleCount; ++a) {
        const double allowed = kCheckAllowance * profile.profile.angles[a].leaveOneOut.percentile95;
        const double after = result->deltaEAfter[a];
        if (std::isfinite(after) && after > allowed) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "the check of %s reads %.3f dE*ab from the master at %d° through it, "
                          "beyond the %.3f it allows",
                          resultTimestamp(check.time).c_str(), after, kAngleDegrees[a], allowed);
            return text;
        }
    }
    return {};
}

std::optional<StandardisedPair> standardisePair(EvaluateHueControl& engine, const TileSpectra& pair,
                                                const Profile& profile) {
    auto sample = standardise(profile, pair.sample);
    if (!sample) return std::nullopt;
    for (const AngleSpectrum& t : pair.target)
        if (t.size() < std::size_t(kSpectrumPoints)) return std::nullopt;
    applyStandardViewing(engine);
    ColourRequests colour(engine);
    colour.prepareDifferences();
    StandardisedPair out{std::move(*sample), {}, {}};
    for (int a = 0; a < kAngleCount; ++a) {
        // Before and after in the same formula, whatever the check was judged in.
        colour.setTarget(a, pair.target[a]);
        colour.request(item::kTotalDifference, kTargetMode);
        colour.setSample(a, pair.sample[a]);
        out.deltaEBefore[a] = colour.request(item::kTotalDifference, kSampleMode);
        colour.setSample(a, out.sample[a]);
        out.deltaEAfter[a] = colour.request(item::kTotalDifference, kSampleMode);
    }
    return out;
}

std::optional<StandardisedJudgement> standardiseJudgement(EvaluateHueControl& engine,
                                                          const JudgementFile& file,
                                                          const Profile& profile,
                                                          const std::string& label) {
    const auto pair = standardisePair(engine, judgedTile(file), profile);
    if (!pair) return std::nullopt;
    ColourRequests colour(engine);
    StandardisedJudgement out{file, pair->deltaEBefore, pair->deltaEAfter};
    out.file.standardisedBy = label;
    for (int a = 0; a < kAngleCount; ++a) {
        AngleSpectrum row = pair->sample[a];
        colour.setSample(a, row);
        colour.request(item::kTotalDifference, kSampleMode);
        appendCoordinates(row, colour.coordinates(kSampleMode));
        setDifference(row, out.deltaEAfter[a]);
        out.file.sample[a] = std::move(row);
    }
    return out;
}

namespace {

// Each row's 31 reflectances through the profile at its angle; nothing for a shorter row.
std::optional<RepeatSeries> standardisedRows(const RepeatSeries& rows, const Profile& profile) {
    RepeatSeries out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto row = standardise(profile.angles[i % kAngleCount], rows[i]);
        if (!row) return std::nullopt;
        out[i] = std::move(*row);
    }
    return out;
}

// The coordinates of every row and the larger difference of measurements 2 and 3 from 1, per
// angle, written after the rows as the check writes them.
std::array<double, kAngleCount> evaluate(ColourRequests& colour, RepeatSeries& rows, bool write) {
    std::array<double, kAngleCount> largest{};
    for (int a = 0; a < kAngleCount; ++a) {
        AngleSpectrum first(rows[a].begin(), rows[a].begin() + kSpectrumPoints);
        colour.setTarget(a, first);
        colour.request(item::kTotalDifference, kTargetMode);
        for (int k = 0; k < 3; ++k) {
            AngleSpectrum& row = rows[std::size_t(kAngleCount * k + a)];
            row.resize(kSpectrumPoints);
            colour.setSample(a, row);
            const double dE = colour.request(item::kTotalDifference, kSampleMode);
            if (k > 0) largest[a] = std::max(largest[a], dE);
            if (!write) continue;
            appendCoordinates(row, colour.coordinates(kSampleMode));
            if (k > 0) setDifference(row, dE);
        }
    }
    return largest;
}

}  // namespace

std::optional<StandardisedSeries> standardiseSeries(EvaluateHueControl& engine,
                                                    const RepeatabilityFile& file,
                                                    const Profile& profile,
                                                    const std::string& label) {
    auto rows = standardisedRows(file.series, profile);
    if (!rows) return std::nullopt;
    applyStandardViewing(engine);
    ColourRequests colour(engine);
    colour.prepareDifferences();
    StandardisedSeries out{file, {}, {}};
    RepeatSeries asRead = file.series;
    out.deltaEBefore = evaluate(colour, asRead, false);
    out.deltaEAfter = evaluate(colour, *rows, true);
    out.file.series = std::move(*rows);
    out.file.standardisedBy = label;
    return out;
}

}  // namespace qv

namespace qv {

CgatsInstruments cgatsInstruments(const CgatsTable& table) {
    const std::string named = cgatsKeyword(table, "INSTRUMENTATION").value_or("");
    constexpr std::string_view kTarget = "target ";
    constexpr std::string_view kSample = ", sample ";
    const std::size_t sample = named.find(kSample);
    if (named.rfind(kTarget, 0) == 0 && sample != std::string::npos)
        return {
            trimmedSerial(std::string_view(named).substr(kTarget.size(), sample - kTarget.size())),
            trimmedSerial(std::string_view(named).substr(sample + kSample.size()))};
    return {{}, trimmedSerial(named)};
}

namespace {

bool startsWith(const std::string& name, std::string_view word) {
    return name.rfind(word, 0) == 0;
}

// Each angle's difference of the pair's sample from its target, as read and standardised;
// nothing to compare unless every angle has both.
void comparePair(EvaluateHueControl& engine, const std::vector<CgatsSpectrum>& spectra,
                 const std::array<AngleSpectrum, kAngleCount>& after, StandardisedCgats& out) {
    std::array<const CgatsSpectrum*, kAngleCount> target{};
    std::array<const CgatsSpectrum*, kAngleCount> sample{};
    for (const CgatsSpectrum& s : spectra) {
        if (startsWith(s.name, "target ")) target[std::size_t(s.angle)] = &s;
        if (startsWith(s.name, "sample ")) sample[std::size_t(s.angle)] = &s;
    }
    for (int a = 0; a < kAngleCount; ++a)
        if (!target[std::size_t(a)] || !sample[std::size_t(a)]) return;
    applyStandardViewing(engine);
    ColourRequests colour(engine);
    colour.prepareDifferences();
    for (int a = 0; a < kAngleCount; ++a) {
        colour.setTarget(a, target[std::size_t(a)]->reflectances);
        colour.request(item::kTotalDifference, kTargetMode);
        colour.setSample(a, sample[std::size_t(a)]->reflectances);
        out.deltaEBefore[std::size_t(a)] = colour.request(item::kTotalDifference, kSampleMode);
        colour.setSample(a, after[std::size_t(a)]);
        out.deltaEAfter[std::size_t(a)] = colour.request(item::kTotalDifference, kSampleMode);
    }
    out.compared = true;
}

}  // namespace

FileRead<StandardisedCgats> standardiseCgats(EvaluateHueControl& engine, const CgatsTable& table,
                                             const Profile& profile, const std::string& label) {
    if (const auto by = cgatsKeyword(table, kCgatsStandardisedKeyword))
        return {{}, "standardised already (" + *by + ")"};
    const auto spectra = cgatsSpectra(table);
    if (!spectra.ok()) return {{}, spectra.problem};
    const bool pair = !cgatsInstruments(table).target.empty();
    StandardisedCgats out{table, false, {}, {}};
    std::array<AngleSpectrum, kAngleCount> after;
    for (const CgatsSpectrum& s : *spectra.contents) {
        if (pair && !startsWith(s.name, "sample ")) continue;
        auto standardised = standardise(profile.angles[std::size_t(s.angle)], s.reflectances);
        if (!standardised) return {{}, "\"" + s.name + "\" holds no 31 reflectances"};
        setCgatsSpectrum(out.table, {s.set, s.name, s.angle, *standardised});
        after[std::size_t(s.angle)] = std::move(*standardised);
    }
    setCgatsKeyword(out.table, std::string(kCgatsStandardisedKeyword), label, true);
    if (pair) comparePair(engine, *spectra.contents, after, out);
    return {std::move(out), {}};
}

}  // namespace qv
