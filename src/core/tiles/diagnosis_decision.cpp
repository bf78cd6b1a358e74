// The diagnosis' decision per angle and every sentence it gives: the remedy with its reason,
// what the set cannot see, and why a set is refused.
#include <algorithm>
#include <cmath>

#include "core/app/number_format.h"
#include "core/app/thresholds.h"
#include "core/checks/plausibility.h"
#include "core/tiles/diagnosis.h"

namespace qv {

namespace {

// A cause for service explains at least this share of the mean colour difference.
constexpr double kCauseShare = 0.25;

// Never "nan" or "inf" in a sentence.
std::string number(double v, int decimals) {
    return std::isfinite(v) ? formatFixed(v, decimals) : std::string("not known");
}

std::string percentOf(double share) {
    return number(100.0 * share, 0) + " %";
}

std::string atAngle(int degrees) {
    return " at " + std::to_string(degrees) + " degrees";
}

std::string joined(const std::vector<std::string>& parts, const std::string& last) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i)
        out += (i == 0 ? "" : i + 1 == parts.size() ? last : ", ") + parts[i];
    return out;
}

bool wavelengthTerm(Term t) {
    return t == Term::Shift || t == Term::ScaleError || t == Term::Bandwidth;
}

std::string termWords(Term t) {
    switch (t) {
        case Term::Offset:
            return "an offset";
        case Term::Gain:
            return "a gain";
        case Term::GainTilt:
            return "a gain tilt";
        case Term::Linearity:
            return "a non-linearity";
        case Term::Shift:
            return "a wavelength shift";
        case Term::ScaleError:
            return "a wavelength scale error";
        case Term::Bandwidth:
            return "a bandwidth error";
    }
    return {};
}

// What service has to put right, in words, for a term factors cannot remove.
std::string serviceCause(Term term, double v, int degrees) {
    const std::string at = atAngle(degrees);
    const std::string size = number(std::abs(v), 1);
    switch (term) {
        case Term::Offset:
            return "zero calibration: " + number(std::abs(v), 2) + " % " +
                   (v > 0 ? "added to" : "missing from") + " every reading" + at;
        case Term::Linearity:
            return "photometric linearity: readings bent by " + number(25.0 * v, 2) +
                   " % at 50 % reflectance" + at + " (" + number(v, 4) + " R (1 - R/100))";
        case Term::Shift:
            return "wavelength calibration: band centres lie " + size + " nm " +
                   (v < 0 ? "shorter" : "longer") + " than nominal" + at + " (its scale reads " +
                   size + " nm " + (v < 0 ? "long" : "short") + ")";
        case Term::ScaleError:
            return "wavelength scale: off by " + number(v, 4) + " nm per nm" + at + " (" +
                   number(std::abs(150.0 * v), 2) + " nm at 400 and 700 nm)";
        case Term::Bandwidth:
            return std::string("bandwidth: the bandpass is ") + (v > 0 ? "wider" : "narrower") +
                   " than the reference's" + at + " (" + number(v, 1) + " nm2)";
        default:
            return "an error factors cannot remove" + at;
    }
}

std::string groupWords(const TermGroup& g) {
    std::vector<std::string> names;
    for (Term t : g.terms) names.push_back(termWords(t));
    return joined(names, " or ");
}

bool termQualifies(const AngleDiagnosis& d, Term t) {
    const TermEstimate& e = d.fit.terms[static_cast<std::size_t>(t)];
    return !termInfo(t).factorsRemove && std::abs(e.value) >= termInfo(t).limit &&
           std::abs(e.value) >= significantErrors(e, d.fit.tiles) * e.standardError;
}

bool groupQualifies(const TermGroup& g, const AngleDiagnosis& d) {
    bool atLimit = false;
    for (Term t : g.terms) {
        if (termInfo(t).factorsRemove) return false;  // factors might remove what it shows
        const double v = d.fit.terms[static_cast<std::size_t>(t)].value;
        atLimit = atLimit || std::abs(v) >= termInfo(t).limit;
    }
    return g.significant && atLimit;
}

// The candidate that explains most of those confirmed on each tile predicted from the others.
std::optional<CauseCandidate> strongestCause(const AngleDiagnosis& d) {
    if (!(d.leaveOneOutModel < d.leaveOneOutFactors)) return std::nullopt;
    std::optional<CauseCandidate> best;
    for (const CauseCandidate& c : inSampleCauses(d)) {
        const double without = c.term ? d.leaveOneOutWithout[static_cast<std::size_t>(*c.term)]
                                      : (*c.group < d.leaveOneOutWithoutGroup.size()
                                             ? d.leaveOneOutWithoutGroup[*c.group]
                                             : std::nan(""));
        if (d.leaveOneOutModel < without && (!best || c.share > best->share)) best = c;
    }
    return best;
}

std::string causeText(const CauseCandidate& c, const AngleDiagnosis& d) {
    if (c.term)
        return serviceCause(*c.term, d.fit.terms[static_cast<std::size_t>(*c.term)].value,
                            d.angleDegrees) +
               "; it explains " + percentOf(c.share) + " of the mean colour difference";
    const TermGroup& g = d.fit.inseparable[*c.group];
    const auto waves = std::count_if(g.terms.begin(), g.terms.end(), wavelengthTerm);
    const std::string what = waves == 0 ? "photometric"
                             : waves == static_cast<std::ptrdiff_t>(g.terms.size())
                                 ? "wavelength"
                                 : "photometric or wavelength";
    return what + " calibration: " + groupWords(g) + atAngle(d.angleDegrees) +
           ", not separable with this set; together they explain " + percentOf(c.share) +
           " of the mean colour difference";
}

std::string tooSmall(const AngleDiagnosis& d) {
    return "the set is too small to show that factors help other colours" +
           atAngle(d.angleDegrees) + ": " + std::to_string(d.tileCount) + " tile" +
           (d.tileCount == 1 ? "" : "s") + ", " + std::to_string(d.steepTiles) +
           " of them chromatic with a steep edge, where at least " +
           std::to_string(kMinTilesForFactors) + ", " + std::to_string(kMinSteepTilesForFactors) +
           " of them chromatic with a steep edge (red, orange, yellow), are needed";
}

std::string heldOutText(const AngleDiagnosis& d) {
    return "each tile corrected by the factors of the others: mean " +
           number(d.leaveOneOutFactors, 2) + ", largest " + number(d.leaveOneOutFactorsLargest, 2);
}

// What the set cannot see, and the tiles that would show it.
std::string unseenNote(const AngleDiagnosis& d) {
    const std::vector<Term> unseen = unseenTerms(d.fit);
    if (unseen.empty()) return {};
    std::vector<std::string> names, add;
    const auto waves = std::count_if(unseen.begin(), unseen.end(), wavelengthTerm);
    for (Term t : unseen)
        if (!wavelengthTerm(t) || waves < 3) names.push_back(termWords(t));
    if (waves == 3) names.push_back("wavelength errors");
    if (waves < static_cast<std::ptrdiff_t>(unseen.size()))
        add.push_back("white, grey and black tiles");
    if (waves > 0) add.push_back("red, yellow and blue tiles");
    return "this set cannot show " + joined(names, " or ") + ": add " + joined(add, " and ");
}

// What the tiles' scatter hides, and what helps where the angle fails.
std::string unresolvedNote(const AngleDiagnosis& d, bool failing) {
    std::vector<std::string> names;
    for (Term t : unresolvedTerms(d.fit)) names.push_back(termWords(t));
    if (names.empty()) return {};
    return "the tiles scatter too much, each as a whole, to tell " + joined(names, " or ") +
           (failing ? ": clean them, place them with care and read the set again" : "");
}

std::string groupNotes(const AngleDiagnosis& d, const std::optional<CauseCandidate>& cause) {
    std::string out;
    for (std::size_t g = 0; g < d.fit.inseparable.size(); ++g)
        if (d.fit.inseparable[g].significant && !(cause && cause->group == g))
            out += "; " + groupWords(d.fit.inseparable[g]) + ": not separable with this set";
    return out;
}

// The reason's common ending: what the set cannot tell apart or see, and warm tiles.
std::string notes(const AngleDiagnosis& d, const std::optional<CauseCandidate>& cause) {
    std::string out = groupNotes(d, cause);
    // A tile read wrongly is the scatter's likeliest cause: the set need not be read again.
    const bool failing = d.recommendation != Recommendation::NoCorrectionNeeded;
    const std::string scatter = d.suspectTiles.empty() ? unresolvedNote(d, failing) : std::string();
    for (const std::string& note : {unseenNote(d), scatter})
        if (!note.empty()) out += "; " + note;
    if (d.shiftOnWarmTilesOnly)
        out += std::string("; the shift rests on warm tiles (red, orange, yellow) alone, ") +
               "which change colour with temperature: let them reach room temperature and read "
               "them again";
    return out;
}

std::string warmElsewhere(const AngleDiagnosis& d) {
    return "; but at " + std::to_string(d.warmTilesMovedAt) +
           " degrees the warm tiles (red, orange, yellow) read a shift of their own: let the "
           "tiles reach room temperature and read them again before the instrument is blamed";
}

bool blamesShift(const CauseCandidate& c, const AngleDiagnosis& d) {
    if (c.term) return *c.term == Term::Shift;
    const std::vector<Term>& terms = d.fit.inseparable[*c.group].terms;
    return std::find(terms.begin(), terms.end(), Term::Shift) != terms.end();
}

std::string warmText(const AngleDiagnosis& d) {
    return "the warm tiles (red, orange, yellow) read a wavelength shift of " +
           number(d.warmTiles.warm, 2) + " nm, the other colours one of " +
           number(d.warmTiles.others, 2) + " nm" + atAngle(d.angleDegrees) +
           ": an instrument's wavelength error moves every colour alike, a warm tile's edge "
           "moves with its temperature; let the tiles reach room temperature and read them again";
}

std::string remeasureText(const AngleDiagnosis& d, const std::vector<std::string>& names) {
    std::vector<std::string> labels;
    for (std::size_t t : d.suspectTiles) labels.push_back(tileLabel(t, names));
    const std::string tiles = joined(labels, " and ");
    return tiles + " alone fails" + atAngle(d.angleDegrees) +
           " and reads higher or lower as a whole, as a tile misplaced or soiled does, while "
           "the other tiles agree: clean, place again and read " +
           tiles;
}

std::string readingText(double v) {
    return std::isfinite(v) ? formatFixed(v, 2) + " %" : std::string("no number");
}

std::string refusalText(const ImplausibleTile& r, const std::vector<std::string>& names) {
    const std::string where =
        " at " + std::to_string(r.wavelengthNm) + " nm," + atAngle(kAngleDegrees[r.angle]);
    const std::string instrument =
        r.underCorrection ? "the instrument under correction" : "the reference instrument";
    const std::string tile = tileLabel(r.tile, names);
    switch (r.kind) {
        case ImplausibleTile::Kind::NotFinite:
            return tile + ": " + instrument + " read no number" + where;
        case ImplausibleTile::Kind::OutOfRange:
            return tile + ": " + instrument + " read " +
                   readingText(r.underCorrection ? r.sample : r.target) + where + ", outside " +
                   formatFixed(kLowestPlausibleReading, 0) + " to " +
                   formatFixed(kHighestPlausibleReading, 0) + " %";
        case ImplausibleTile::Kind::Ratio:
            break;
    }
    return tile + ": the reference instrument read " + readingText(r.target) +
           " and the instrument under correction " + readingText(r.sample) + where +
           ", a ratio the inter-instrument check refuses (outside " +
           formatFixed(kMinPlausibleRatio, 1) + " to " + formatFixed(kMaxPlausibleRatio, 1) + ")";
}

bool complete(const TileSpectra& t) {
    for (int a = 0; a < kAngleCount; ++a)
        if (t.target[a].size() < kSpectrumPoints || t.sample[a].size() < kSpectrumPoints)
            return false;
    return true;
}

// The first reading of the tile outside the plausible range or not finite.
std::optional<ImplausibleTile> implausibleReading(const TileSpectra& t, std::size_t tile) {
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j)
            for (const bool dut : {false, true}) {
                const double v = dut ? t.sample[a][j] : t.target[a][j];
                if (std::isfinite(v) && v >= kLowestPlausibleReading &&
                    v <= kHighestPlausibleReading)
                    continue;
                const auto kind = std::isfinite(v) ? ImplausibleTile::Kind::OutOfRange
                                                   : ImplausibleTile::Kind::NotFinite;
                return ImplausibleTile{
                    tile, kind, a, kStartNm + kStepNm * j, dut, t.target[a][j], t.sample[a][j]};
            }
    return std::nullopt;
}

}  // namespace

std::string_view recommendationKey(Recommendation r) {
    switch (r) {
        case Recommendation::NoCorrectionNeeded:
            return "no-correction-needed";
        case Recommendation::WriteFactors:
            return "write-factors";
        case Recommendation::FactorsPartly:
            return "factors-partly";
        case Recommendation::Service:
            return "service";
        case Recommendation::Remeasure:
            return "remeasure";
    }
    return "service";
}

std::string tileLabel(std::size_t tile, const std::vector<std::string>& names) {
    const std::string number = "tile " + std::to_string(tile + 1);
    return tile < names.size() ? number + " '" + names[tile] + "'" : number;
}

std::vector<ImplausibleTile> implausibleTiles(const std::vector<TileSpectra>& tiles) {
    std::vector<ImplausibleTile> out;
    for (std::size_t t = 0; t < tiles.size(); ++t) {
        if (!complete(tiles[t])) continue;  // nothing is diagnosed without every reading
        if (const auto bad = implausibleReading(tiles[t], t)) {
            out.push_back(*bad);
        } else if (const auto r = firstImplausibleRatio(tiles[t].target, tiles[t].sample)) {
            out.push_back({t, ImplausibleTile::Kind::Ratio, r->angle, r->wavelengthNm, false,
                           tiles[t].target[r->angle][r->index],
                           tiles[t].sample[r->angle][r->index]});
        }
    }
    return out;
}

std::string describeRefusal(const std::vector<ImplausibleTile>& refused,
                            const std::vector<std::string>& names) {
    std::vector<std::string> parts;
    for (const ImplausibleTile& r : refused) parts.push_back(refusalText(r, names));
    return "nothing is diagnosed: " + joined(parts, "; ") +
           (refused.size() == 1 ? "; read that tile again on both instruments"
                                : "; read those tiles again on both instruments");
}

std::vector<CauseCandidate> inSampleCauses(const AngleDiagnosis& d) {
    std::vector<CauseCandidate> out;
    for (std::size_t k = 0; k < kTermCount; ++k) {
        const auto t = static_cast<Term>(k);
        if (!groupOf(d.fit, t) && termQualifies(d, t) && d.share[k] >= kCauseShare)
            out.push_back({t, std::nullopt, d.share[k]});
    }
    for (std::size_t g = 0; g < d.fit.inseparable.size(); ++g) {
        const double share = g < d.groupShare.size() ? d.groupShare[g] : 0.0;
        if (groupQualifies(d.fit.inseparable[g], d) && share >= kCauseShare)
            out.push_back({std::nullopt, g, share});
    }
    return out;
}

void decide(AngleDiagnosis& d, const SetLimits& limits, const std::vector<std::string>& names) {
    const std::string at = atAngle(d.angleDegrees);
    const bool passedBefore = passesThreshold(d.meanBefore, limits.meanThreshold) &&
                              passesThreshold(d.largestBefore, limits.largestThreshold);
    const bool heldOutPasses =
        passesThreshold(d.leaveOneOutFactors, limits.meanThreshold) &&
        passesThreshold(d.leaveOneOutFactorsLargest, limits.largestThreshold);
    const bool enough =
        d.tileCount >= kMinTilesForFactors && d.steepTiles >= kMinSteepTilesForFactors;
    // Nothing held out with one tile: whether factors help other colours is not known.
    const bool factorsHelp = d.tileCount < 2 || d.leaveOneOutFactors < d.meanBefore;
    const std::optional<CauseCandidate> cause = strongestCause(d);
    if (passedBefore) {
        d.recommendation = Recommendation::NoCorrectionNeeded;
        d.reason = "the set passes" + at + " as read";
    } else if (heldOutPasses && enough) {
        d.recommendation = Recommendation::WriteFactors;
        d.reason =
            "the fitted factors bring the set within its limits" + at + " (" + heldOutText(d) + ")";
    } else if (!d.suspectTiles.empty()) {
        d.recommendation = Recommendation::Remeasure;
        d.reason = remeasureText(d, names);
    } else if (d.warmTiles.differ) {
        d.recommendation = Recommendation::Remeasure;
        d.reason = warmText(d);
    } else if (cause && d.warmTilesMovedAt && blamesShift(*cause, d)) {
        d.recommendation = Recommendation::Remeasure;
        d.reason = causeText(*cause, d) + warmElsewhere(d);
    } else if (cause) {
        d.recommendation = Recommendation::Service;
        d.reason = causeText(*cause, d);
    } else if (factorsHelp) {
        d.recommendation = Recommendation::FactorsPartly;
        d.reason = !enough
                       ? tooSmall(d)
                       : "the fitted factors reduce the mean colour difference" + at + " from " +
                             number(d.meanBefore, 2) + " to " + number(d.leaveOneOutFactors, 2) +
                             ", each tile corrected by the factors of the others, not within "
                             "the set's limits";
        if (!enough && d.tileCount >= 2) d.reason += " (" + heldOutText(d) + ")";
    } else if (!unresolvedTerms(d.fit).empty()) {
        // The tiles disagree with each other as wholes: no fault of the instrument's is shown
        // until the set reads so again.
        d.recommendation = Recommendation::Remeasure;
        d.reason = "a difference" + at +
                   " that neither factors (each tile corrected by the factors of the others) nor "
                   "a known error explains: read the set again; if it fails the same way, the "
                   "instrument needs service";
    } else {
        // Tiles that moved with their temperature may be all there is to it.
        d.recommendation = d.warmTilesMovedAt ? Recommendation::Remeasure : Recommendation::Service;
        d.reason = "a difference" + at +
                   " that neither factors (each tile corrected by the factors of the others) nor "
                   "a known error explains" +
                   (enough ? "" : "; the set is too small to tell more") +
                   (d.warmTilesMovedAt ? warmElsewhere(d) : std::string());
    }
    d.reason += notes(d, cause);
}

}  // namespace qv
