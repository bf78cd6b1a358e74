#include "core/tiles/tile_set_workflow.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "core/app/local_time.h"
#include "core/app/message_box.h"
#include "core/app/shared_state.h"
#include "core/app/string_ids.h"
#include "core/app/thresholds.h"
#include "core/colour/colour_requests.h"
#include "core/measure/entries_apply.h"
#include "core/measure/measured_pair.h"
#include "core/tiles/diagnosis_view.h"
#include "core/tiles/set_files.h"

namespace qv {

TileSetWorkflow::TileSetWorkflow(const Seams& seams, EvaluateHueControl& colour)
    : s_(seams), colour_(colour), readings_(readingsPerTileFromProfile(seams.profile)) {
    keepPair();
    setChanged();
}

void TileSetWorkflow::setReadingsPerTile(int readings) {
    readings_ = std::clamp(readings, 1, kMaxAverageMeasurements);
    saveReadingsPerTile(s_.profile, readings_);
}

bool TileSetWorkflow::placeAgain(int reading) {
    if (view_.selected < 0) return false;
    Message m = messageBox(kStrPlaceOnTileAgain, Icon::Information, Buttons::OkCancel);
    m.suffix = " " + tileName(view_.selected) + ", reading " + std::to_string(reading) + " of " +
               std::to_string(readings_) + ".";
    return s_.prompter.ask(m) == Answer::Ok;
}

TileSetWorkflow::~TileSetWorkflow() {
    restorePair();
}

void TileSetWorkflow::keepPair() {
    kept_ = {currentPair(s_.state)};
}

void TileSetWorkflow::restorePair() {
    placePair(s_.state, kept_.pair);
}

void TileSetWorkflow::setChanged() {
    struct Carried {
        TileSpectra spectra;
        ThreeAngles after;
        ThreeAngles read;
        TileRow row;
    };
    std::map<std::string, Carried> old;
    for (std::size_t i = 0; i < tiles_.size(); ++i)
        old[view_.rows[i].name] = {tiles_[i], afterSamples_[i], readSamples_[i], view_.rows[i]};
    const std::vector<std::string> before = set_.tiles;
    set_ = tileSetFromProfile(s_.profile);
    limits_ = setLimitsFromProfile(s_.profile);
    tiles_.assign(set_.tiles.size(), {});
    view_.rows.assign(set_.tiles.size(), {});
    afterSamples_.assign(set_.tiles.size(), {});
    readSamples_.assign(set_.tiles.size(), {});
    for (std::size_t i = 0; i < set_.tiles.size(); ++i) {
        TileRow& row = view_.rows[i];
        row.name = set_.tiles[i];
        if (const auto it = old.find(row.name); it != old.end()) {
            tiles_[i] = it->second.spectra;
            afterSamples_[i] = it->second.after;
            readSamples_[i] = it->second.read;
            row.target = it->second.row.target;
            row.sample = it->second.row.sample;
            row.after = it->second.row.after;
        }
    }
    if (set_.tiles != before && certified_) {
        // The certificates were found for the other set's tiles.
        certified_.reset();
        placeReference();
    }
    view_.selected = std::min(view_.selected, static_cast<int>(tiles_.size()) - 1);
    if (view_.selected < 0) {
        // The operator starts at the first tile that lacks a reading.
        advance(&TileRow::target, &TileRow::sample);
        if (view_.selected < 0 && !tiles_.empty()) view_.selected = 0;
    }
    refreshDifferences();
    if (set_.tiles != before) {
        // Another set: its judgement (and any correction under way) no longer applies.
        view_.verifying = false;
        now_.reset();
        after_.reset();
        diagnosis_.reset();
        refusal_.clear();
    } else if (now_) {
        // New limits only: the same readings judged against them, nothing written.
        judgeTiles();
        rediagnose();
        if (after_) after_ = judgeSet(colour_, afterSet(), limits_);
    }
    render();
}

void TileSetWorkflow::select(int row) {
    view_.selected = row >= 0 && row < static_cast<int>(tiles_.size()) ? row : -1;
    render();
}

bool TileSetWorkflow::sameInstrument(const std::string& serial, const std::string& setSerial,
                                     bool anyRead) {
    if (!anyRead || serial == setSerial) return true;
    Message m = messageBox(kStrTileOtherInstrument, Icon::Exclamation);
    m.suffix = " " + serial + " (the set: " + setSerial + ")";
    s_.prompter.ask(m);
    return false;
}

bool TileSetWorkflow::take(ValidationRole role, const Measurement& m) {
    if (view_.selected < 0) return false;
    const auto i = static_cast<std::size_t>(view_.selected);
    TileRow& row = view_.rows[i];
    const bool anyTarget = std::any_of(view_.rows.begin(), view_.rows.end(),
                                       [&](const TileRow& r) { return &r != &row && r.target; });
    const bool anySample = std::any_of(view_.rows.begin(), view_.rows.end(),
                                       [&](const TileRow& r) { return &r != &row && r.sample; });
    if (role == ValidationRole::Target && certified_) {
        return false;  // the certificates stand for the reference instrument
    } else if (role == ValidationRole::Target && !view_.verifying) {
        if (!sameInstrument(m.serial, targetSerial_, anyTarget)) return false;
        tiles_[i].target = m.spectra;
        targetSerial_ = m.serial;
        row.target = true;
        now_.reset();  // a reading taken anew makes the judgement stale
        diagnosis_.reset();
        refusal_.clear();
        advance(&TileRow::target, &TileRow::sample);
    } else if (role == ValidationRole::Sample) {
        if (!sameInstrument(m.serial, sampleSerial_, anySample || view_.verifying)) return false;
        sampleSerial_ = m.serial;
        sampleType_ = m.type;
        if (view_.verifying) {
            afterSamples_[i] = judgedReading(i, m.spectra);
            row.after = true;
            after_.reset();
            tileAfterDeltaE_[i] = differences({tiles_[i].target, afterSamples_[i]});
            advance(&TileRow::after, nullptr);
        } else {
            readSamples_[i] = m.spectra;
            tiles_[i].sample = judgedReading(i, m.spectra);
            row.sample = true;
            now_.reset();
            diagnosis_.reset();
            refusal_.clear();
            advance(&TileRow::sample, &TileRow::target);
        }
    } else {
        return false;  // targets stay as the correction was fitted on them
    }
    lastRole_ = role;
    if (row.target && row.sample) tileDeltaE_[i] = differences(tiles_[i]);
    render();
    return true;
}

TileSetWorkflow::Differences TileSetWorkflow::differences(const TileSpectra& tile) {
    applyStandardViewing(colour_);
    colour_.setDeltaEFormula(formulaFromProfile(s_.profile));
    const std::optional<SetAgreement> one = judgeSet(colour_, {tile}, limits_);
    if (!one) return std::nullopt;
    return one->deltaE.front();
}

void TileSetWorkflow::refreshDifferences() {
    tileDeltaE_.assign(tiles_.size(), std::nullopt);
    tileAfterDeltaE_.assign(tiles_.size(), std::nullopt);
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        const TileRow& row = view_.rows[i];
        if (row.target && row.sample) tileDeltaE_[i] = differences(tiles_[i]);
        if (row.target && row.after)
            tileAfterDeltaE_[i] = differences({tiles_[i].target, afterSamples_[i]});
    }
}

void TileSetWorkflow::advance(bool TileRow::*read, bool TileRow::*other) {
    const int n = static_cast<int>(view_.rows.size());
    for (bool TileRow::*flag : {read, other}) {
        if (!flag) continue;
        // The same instrument from the tile after the selected one round to the selected one
        // itself; the other instrument from the first tile.
        const int from = flag == read ? std::max(view_.selected, -1) : -1;
        for (int k = 1; k <= n; ++k) {
            const int j = (from + k) % n;
            if (!(view_.rows[static_cast<std::size_t>(j)].*flag)) {
                view_.selected = j;
                return;
            }
        }
    }
}

ThreeAngles TileSetWorkflow::judgedReading(std::size_t i, const ThreeAngles& reading) const {
    return certified_ ? certifiedReading(*certified_, i, reading) : reading;
}

void TileSetWorkflow::placeReference() {
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        TileRow& row = view_.rows[i];
        row.target = certified_.has_value();
        tiles_[i].target = certified_ ? certified_->certificates[i].spectra : ThreeAngles{};
        tiles_[i].sample = row.sample ? judgedReading(i, readSamples_[i]) : ThreeAngles{};
    }
    targetSerial_ = certified_ ? std::string(kCertifiedValues) : std::string();
}

bool TileSetWorkflow::useCertified(std::optional<CertifiedSet> certified) {
    // The reference instrument's readings stay when it stays the reference.
    if (!certified && !certified_) return true;
    if (view_.verifying) return false;
    if (certified && (!certified->ok() || certified->certificates.size() != tiles_.size()))
        return false;
    // Coming back from certified values, the reference instrument's tiles are read anew.
    certified_ = std::move(certified);
    placeReference();
    now_.reset();
    diagnosis_.reset();
    refusal_.clear();
    refreshDifferences();
    if (view_.selected < 0 || (certified_ && view_.rows[std::size_t(view_.selected)].sample))
        advance(&TileRow::sample, &TileRow::target);
    render();
    return true;
}

std::vector<TileSpectra> TileSetWorkflow::afterSet() const {
    std::vector<TileSpectra> again = tiles_;
    for (std::size_t i = 0; i < again.size(); ++i) again[i].sample = afterSamples_[i];
    return again;
}

bool TileSetWorkflow::everyTile(bool TileRow::*flag) const {
    return std::all_of(view_.rows.begin(), view_.rows.end(),
                       [flag](const TileRow& r) { return r.*flag; });
}

bool TileSetWorkflow::judge() {
    applyStandardViewing(colour_);
    colour_.setDeltaEFormula(formulaFromProfile(s_.profile));
    if (view_.verifying) {
        if (!everyTile(&TileRow::after) || !now_) return false;
        after_ = judgeSet(colour_, afterSet(), limits_);
        if (after_ && written_) rememberEffect();
    } else {
        if (!everyTile(&TileRow::target) || !everyTile(&TileRow::sample)) return false;
        if (!judgeTiles()) return false;  // a reading lacks reflectances
        rediagnose();
    }
    if (!after_ && view_.verifying) return false;
    judged();
    return true;
}

void TileSetWorkflow::rememberEffect() {
    std::vector<ThreeAngles> before;
    for (const TileSpectra& t : tiles_) before.push_back(t.sample);
    rememberEntriesApply(s_.profile, sampleSerial_,
                         judgeEntryEffect(before, afterSamples_, *written_), written_->entry,
                         localTimeOf(s_.clock.calendarSeconds()));
}

void TileSetWorkflow::judged() {
    if (!now_) return;
    const SetReport report{set_,
                           targetSerial_,
                           sampleSerial_,
                           colour_.deltaELabel(),
                           localTimeOf(s_.clock.calendarSeconds()),
                           limits_,
                           *now_,
                           fitted_,
                           after_,
                           sampleType_,
                           diagnosis_};
    const SetFiled filed =
        fileAndRecord(s_.files, s_.state.dataFolder(), report, s_.format, s_.logbook);
    resultFile_ = filed.file;
    recordId_ = filed.record;
    if (!resultFile_.ok()) reportUnsavedFile(s_.prompter, resultFile_);
    render();
}

bool TileSetWorkflow::judgeTiles() {
    const std::optional<SetJudgement> j = judgeAndPredict(colour_, tiles_, limits_);
    now_ = j ? std::optional(j->now) : std::nullopt;
    if (!j) return false;
    factors_ = j->factors;
    lightestOnly_ = j->lightestOnly;
    fitted_ = j->fitted;
    return true;
}

SetSummary TileSetWorkflow::standardisedSummary(const Profile& profile) {
    if (!now_) return {};
    std::vector<TileSpectra> standardised = tiles_;
    for (TileSpectra& tile : standardised) {
        auto sample = standardise(profile, tile.sample);
        if (!sample) return {};
        tile.sample = std::move(*sample);
    }
    return summary(judgeSet(colour_, standardised, limits_));
}

bool TileSetWorkflow::confirmCorrection() {
    if (!diagnosis_ || !fitted_) return true;
    const std::string doubt = correctionDoubt(*diagnosis_, *fitted_, limits_, s_.format);
    if (doubt.empty()) return true;
    Message m = messageBox(kStrCorrectionDoubtful, Icon::Question, Buttons::YesNo);
    m.suffix = doubt;
    return s_.prompter.ask(m) == Answer::Yes;
}

bool TileSetWorkflow::prepareCorrection() {
    if (!now_ || now_->passed) return false;
    const TileSpectra pair = correctionPair(colour_, tiles_, factors_);
    const BlocksResult blocks = buildCoefficientBlocks(pair.target, pair.sample);
    if (!blocks.ok()) {
        Message m = messageBox(kStrFactorsRefused, Icon::Stop);
        m.suffix = "\n" + describe(*blocks.outOfRange);
        s_.prompter.ask(m);
        return false;
    }
    if (!confirmCorrection()) return false;
    // The fitted pair stands where a measured pair would, for the write path.
    placeMeasurement(s_.state, PairSide::Target, {pair.target, targetSerial_, {}});
    placeMeasurement(s_.state, PairSide::Sample, {pair.sample, sampleSerial_, sampleType_});
    return true;
}

void TileSetWorkflow::correctionDone(bool written, std::optional<WrittenCorrection> change) {
    if (!written || !now_) return;
    written_ = std::move(change);
    view_.verifying = true;
    afterSamples_.assign(tiles_.size(), {});
    tileAfterDeltaE_.assign(tiles_.size(), std::nullopt);
    for (TileRow& row : view_.rows) row.after = false;
    after_.reset();
    view_.selected = tiles_.empty() ? -1 : 0;
    render();
}

SetSummary TileSetWorkflow::summary(const std::optional<SetAgreement>& g) const {
    SetSummary s;
    s.mean.fill(kEmptyField);
    s.largest.fill(kEmptyField);
    if (!g) return s;
    for (int a = 0; a < kAngleCount; ++a) {
        s.mean[a] = s_.format.display(g->angles[a].mean);
        const double largest = g->angles[a].largest;
        s.largest[a] = s_.format.display(largest);
        if (!std::isnan(largest)) s.largest[a] += " (" + set_.tiles[g->angles[a].largestTile] + ")";
    }
    s.passed = g->passed;
    return s;
}

void TileSetWorkflow::render() {
    for (std::size_t i = 0; i < view_.rows.size(); ++i) {
        TileRow& row = view_.rows[i];
        row.deltaE.fill(kEmptyField);
        row.afterDeltaE.fill(kEmptyField);
        // The judgement's own figures once there is one (the same formula, the same readings).
        const Differences now = now_ ? Differences(now_->deltaE[i]) : tileDeltaE_[i];
        const Differences after = after_ ? Differences(after_->deltaE[i]) : tileAfterDeltaE_[i];
        for (int a = 0; a < kAngleCount; ++a) {
            if (now) row.deltaE[a] = s_.format.display((*now)[a]);
            if (after) row.afterDeltaE[a] = s_.format.display((*after)[a]);
        }
    }
    view_.judgeEnabled = view_.verifying
                             ? everyTile(&TileRow::after)
                             : everyTile(&TileRow::target) && everyTile(&TileRow::sample);
    view_.correctEnabled = now_ && !now_->passed && !view_.verifying;
    const bool canMeasure = s_.state.bConnected && view_.selected >= 0;
    view_.targetEnabled = canMeasure && !view_.verifying && !certified_;
    view_.sampleEnabled = canMeasure;
    view_.now = summary(now_);
    view_.lightestOnly = summary(now_ ? lightestOnly_ : std::nullopt);
    view_.fitted = summary(now_ ? fitted_ : std::nullopt);
    view_.after = summary(after_);
    view_.lightestTile = tiles_.empty() || !now_ ? std::string() : set_.tiles[lightestTile(tiles_)];
    view_.instruction = instruction();
    view_.predictionsAlike = predictionsAlike();
}

std::string TileSetWorkflow::tileName(int row) const {
    return "tile " + std::to_string(row + 1) + " '" + set_.tiles[static_cast<std::size_t>(row)] +
           "'";
}

std::string TileSetWorkflow::instruction() const {
    if (view_.verifying) {
        if (after_) return "The set is read again after the correction: see \"After correction\".";
        if (everyTile(&TileRow::after)) return "Every tile is read again: press Judge.";
    } else if (now_) {
        return now_->passed ? "The set passes: the instruments agree within the limits."
                            : failedInstruction();
    } else if (everyTile(&TileRow::target) && everyTile(&TileRow::sample)) {
        return certified_ ? "Every tile is read: press Judge."
                          : "Every tile is read on both instruments: press Judge.";
    }
    return measureInstruction();
}

std::string TileSetWorkflow::failedInstruction() const {
    const std::string correct =
        "Press Correct... to write the correction fitted over the set into the instrument under "
        "correction, then read the set again on it.";
    if (!diagnosis_)
        return "The set fails. " +
               (refusal_.empty() ? correct : "The diagnosis refused the set: " + refusal_ + ".");
    switch (diagnosis_->overall) {
        case Recommendation::Remeasure:
            return "The set fails and the diagnosis asks for tiles to be read again before "
                   "anything is corrected (see the Diagnosis tab): read them and press Judge.";
        case Recommendation::Service:
            return "The set fails and the diagnosis calls for service (see the Diagnosis tab): "
                   "factors would hide the error, not remove it.";
        case Recommendation::FactorsPartly:
            return "The set fails and factors help only in part (see the Diagnosis tab); "
                   "Correct... still writes them, after asking.";
        default:
            return "The set fails. " + correct;
    }
}

void TileSetWorkflow::rediagnose() {
    DiagnosisResult r = diagnose(colour_, tiles_, limits_, set_.tiles);
    diagnosis_ = std::move(r.diagnosis);
    refusal_ = std::move(r.refusal);
}

bool TileSetWorkflow::proportional() const {
    return fitted_ && fitted_->passed &&
           !(diagnosis_ && diagnosis_->overall == Recommendation::Service);
}

std::string TileSetWorkflow::measureInstruction() const {
    if (view_.selected < 0) return "Choose a tile in the table.";
    const TileRow& row = view_.rows[static_cast<std::size_t>(view_.selected)];
    const std::string tile = tileName(view_.selected);
    const std::string sample =
        "Place " + tile +
        (view_.verifying ? " on the corrected instrument" : " on the instrument under correction") +
        " and press Measure sample.";
    const std::string target = "Place " + tile +
                               " on the reference instrument and press "
                               "Measure target.";
    const std::string done = "T" + tile.substr(1) + " is read";
    if (view_.verifying)
        return row.after ? done + " again: choose a tile without a mark under \"Again\"." : sample;
    if (certified_) return row.sample ? done + ": choose a tile that lacks a mark." : sample;
    // A tile that lacks both readings is asked for on the instrument read last.
    const bool sampleFirst = lastRole_ == ValidationRole::Sample;
    if (!row.target && !(sampleFirst && !row.sample)) return target;
    if (!row.sample) return sample;
    return done + " on both instruments: choose a tile that lacks a mark.";
}

std::string TileSetWorkflow::predictionsAlike() const {
    if (!now_ || !lightestOnly_ || !fitted_) return {};
    const SetSummary lightest = summary(lightestOnly_);
    const SetSummary fit = summary(fitted_);
    if (lightest.mean != fit.mean || lightest.largest != fit.largest) return {};
    // "the factors of 'white'": a possessive after a quoted name reads as "'white''s".
    const std::string light = "the factors of '" + set_.tiles[lightestTile(tiles_)] + "'";
    if (tiles_.size() == 1)
        return "Both predictions are alike: with one tile, the fit over the set is that tile's "
               "own correction.";
    if (sameWrittenFactors(factors_, ratioFactors(tiles_[lightestTile(tiles_)]))) {
        if (proportional())
            return "Both predictions are alike: every tile reads in the same proportion on the "
                   "two instruments, so the fit over the set comes out as " +
                   light + " alone (to the two decimals an entry keeps).";
        return "Both predictions are alike: the fit over the set comes out as " + light +
               " alone (to the two decimals an entry keeps), which weigh most in it; with them "
               "the other tiles still differ (see the Diagnosis tab).";
    }
    return "Both predictions are alike: the two corrections differ too little to change any "
           "difference in its second decimal.";
}

}  // namespace qv
