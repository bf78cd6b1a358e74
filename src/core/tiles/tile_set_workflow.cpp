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
#include "core/measure/measured_pair.h"
#include "core/tiles/set_files.h"

namespace qv {

TileSetWorkflow::TileSetWorkflow(const Seams& seams, EvaluateHueControl& colour)
    : s_(seams), colour_(colour) {
    keepPair();
    setChanged();
}

TileSetWorkflow::~TileSetWorkflow() {
    restorePair();
}

void TileSetWorkflow::keepPair() {
    kept_ = {currentPair(s_.state), s_.state.measureTarget};
}

void TileSetWorkflow::restorePair() {
    placePair(s_.state, kept_.pair);
    s_.state.measureTarget = kept_.measureTarget;
}

void TileSetWorkflow::setChanged() {
    struct Carried {
        TileSpectra spectra;
        ThreeAngles after;
        TileRow row;
    };
    std::map<std::string, Carried> old;
    for (std::size_t i = 0; i < tiles_.size(); ++i)
        old[view_.rows[i].name] = {tiles_[i], afterSamples_[i], view_.rows[i]};
    const std::vector<std::string> before = set_.tiles;
    set_ = tileSetFromProfile(s_.profile);
    limits_ = setLimitsFromProfile(s_.profile);
    tiles_.assign(set_.tiles.size(), {});
    view_.rows.assign(set_.tiles.size(), {});
    afterSamples_.assign(set_.tiles.size(), {});
    for (std::size_t i = 0; i < set_.tiles.size(); ++i) {
        TileRow& row = view_.rows[i];
        row.name = set_.tiles[i];
        if (const auto it = old.find(row.name); it != old.end()) {
            tiles_[i] = it->second.spectra;
            afterSamples_[i] = it->second.after;
            row.target = it->second.row.target;
            row.sample = it->second.row.sample;
            row.after = it->second.row.after;
        }
    }
    view_.selected = std::min(view_.selected, static_cast<int>(tiles_.size()) - 1);
    if (set_.tiles != before) {
        // Another set: its judgement (and any correction under way) no longer applies.
        view_.verifying = false;
        now_.reset();
        after_.reset();
    } else if (now_) {
        // New limits only: the same readings judged against them, nothing written.
        now_ = judgeSet(colour_, tiles_, limits_);
        predict();
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

void TileSetWorkflow::take(ValidationRole role, const Measurement& m) {
    if (view_.selected < 0) return;
    const auto i = static_cast<std::size_t>(view_.selected);
    TileRow& row = view_.rows[i];
    const bool anyTarget = std::any_of(view_.rows.begin(), view_.rows.end(),
                                       [&](const TileRow& r) { return &r != &row && r.target; });
    const bool anySample = std::any_of(view_.rows.begin(), view_.rows.end(),
                                       [&](const TileRow& r) { return &r != &row && r.sample; });
    if (role == ValidationRole::Target && !view_.verifying) {
        if (!sameInstrument(m.serial, targetSerial_, anyTarget)) return;
        tiles_[i].target = m.spectra;
        targetSerial_ = m.serial;
        row.target = true;
        now_.reset();  // a reading taken anew makes the judgement stale
    } else if (role == ValidationRole::Sample) {
        if (!sameInstrument(m.serial, sampleSerial_, anySample || view_.verifying)) return;
        sampleSerial_ = m.serial;
        sampleType_ = m.type;
        if (view_.verifying) {
            afterSamples_[i] = m.spectra;
            row.after = true;
            after_.reset();
        } else {
            tiles_[i].sample = m.spectra;
            row.sample = true;
            now_.reset();
        }
    }
    render();
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
    } else {
        if (!everyTile(&TileRow::target) || !everyTile(&TileRow::sample)) return false;
        now_ = judgeSet(colour_, tiles_, limits_);
        if (!now_) return false;  // a reading lacks reflectances
        factors_ = fitFactors(tiles_);
        predict();
    }
    if (!after_ && view_.verifying) return false;
    judged();
    return true;
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
                           sampleType_};
    resultFile_ = writeSetFile(s_.files, s_.state.dataFolder(), report, s_.format);
    if (!resultFile_.ok()) reportUnsavedFile(s_.prompter, resultFile_);
    if (s_.logbook) s_.logbook->record(setRecord(report, resultFile_));
    render();
}

void TileSetWorkflow::predict() {
    lightestOnly_ =
        predictedAgreement(colour_, tiles_, ratioFactors(tiles_[lightestTile(tiles_)]), limits_);
    fitted_ = predictedAgreement(colour_, tiles_, factors_, limits_);
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
    // The fitted pair stands where a measured pair would, for the write path.
    placeMeasurement(s_.state, PairSide::Target, {pair.target, targetSerial_, {}});
    placeMeasurement(s_.state, PairSide::Sample, {pair.sample, sampleSerial_, s_.state.sampleType});
    return true;
}

void TileSetWorkflow::correctionDone(bool written) {
    if (!written || !now_) return;
    view_.verifying = true;
    afterSamples_.assign(tiles_.size(), {});
    for (TileRow& row : view_.rows) row.after = false;
    after_.reset();
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
    s.verdict = g->passed ? "PASSED" : "FAILED";
    return s;
}

void TileSetWorkflow::render() {
    for (std::size_t i = 0; i < view_.rows.size(); ++i) {
        TileRow& row = view_.rows[i];
        row.deltaE.fill(kEmptyField);
        row.afterDeltaE.fill(kEmptyField);
        for (int a = 0; a < kAngleCount; ++a) {
            if (now_) row.deltaE[a] = s_.format.display(now_->deltaE[i][a]);
            if (after_) row.afterDeltaE[a] = s_.format.display(after_->deltaE[i][a]);
        }
    }
    view_.judgeEnabled = view_.verifying
                             ? everyTile(&TileRow::after)
                             : everyTile(&TileRow::target) && everyTile(&TileRow::sample);
    view_.correctEnabled = now_ && !now_->passed && !view_.verifying;
    const bool canMeasure = s_.state.bConnected && view_.selected >= 0;
    view_.targetEnabled = canMeasure && !view_.verifying;
    view_.sampleEnabled = canMeasure;
    view_.now = summary(now_);
    view_.lightestOnly = summary(now_ ? lightestOnly_ : std::nullopt);
    view_.fitted = summary(now_ ? fitted_ : std::nullopt);
    view_.after = summary(after_);
    view_.lightestTile = tiles_.empty() || !now_ ? std::string() : set_.tiles[lightestTile(tiles_)];
}

}  // namespace qv
