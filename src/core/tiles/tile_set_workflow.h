#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/app/file_store.h"
#include "core/app/seams.h"
#include "core/checks/validation_workflow.h"
#include "core/measure/entries_apply.h"
#include "core/measure/measured_pair.h"
#include "core/tiles/certified_set.h"
#include "core/tiles/diagnosis.h"
#include "core/tiles/profile.h"
#include "core/tiles/set_agreement.h"
#include "core/tiles/set_fit.h"
#include "core/tiles/tile_set.h"

namespace qv {

// One tile as the dialog lists it.
struct TileRow {
    std::string name;
    bool target = false;                               // read on the reference instrument
    bool sample = false;                               // read on the instrument under correction
    bool after = false;                                // read again after a correction
    std::array<std::string, kAngleCount> deltaE;       // judged; "---" before
    std::array<std::string, kAngleCount> afterDeltaE;  // after the correction; "---" before
};

// One summary line per stage: the mean and largest per angle, as texts.
struct SetSummary {
    std::array<std::string, kAngleCount> mean;
    std::array<std::string, kAngleCount> largest;
    std::optional<bool> passed;  // nothing before a judgement
};

struct TileSetView {
    std::vector<TileRow> rows;
    int selected = -1;
    // Measuring wants a connected instrument and a chosen tile; targets are not read again
    // while a correction is verified (the correction was fitted on them).
    bool targetEnabled = false;
    bool sampleEnabled = false;
    bool judgeEnabled = false;    // every tile read on both instruments
    bool correctEnabled = false;  // judged and failed, and the fitted factors may be written
    bool verifying = false;       // a correction was written: samples now read as "after"
    SetSummary now;
    SetSummary lightestOnly;  // predicted with the lightest tile's factors alone
    SetSummary fitted;        // predicted with the factors fitted over the set
    SetSummary after;         // the set read again after the correction
    std::string lightestTile;
    // What the operator does next, naming the tile and the instrument.
    std::string instruction;
    // Why the two predictions read the same, when they do; empty otherwise.
    std::string predictionsAlike;
};

// The inter-instrument check over a tile set: each tile read on the reference instrument and on
// the instrument under correction with the check's own measurement, the set judged, and a
// correction fitted over the set handed to the write dialog as a coefficient pair. While the
// set is open, the single-specimen pair of the shared state is kept aside; it comes back when
// the set closes.
class TileSetWorkflow {
public:
    TileSetWorkflow(const Seams& seams, EvaluateHueControl& colour);
    ~TileSetWorkflow();
    TileSetWorkflow(const TileSetWorkflow&) = delete;
    TileSetWorkflow& operator=(const TileSetWorkflow&) = delete;

    // A new set or new limits from the settings dialog; readings of tiles whose names stay are
    // kept, the judgement is dropped.
    void setChanged();
    void select(int row);

    // A reading of the selected tile for `role`, as the validation measurement hands it back.
    // The tile's differences show as soon as both its readings are in, and the selection
    // moves on to the next tile that lacks a reading for the same instrument (then to the first
    // that lacks one for the other), so a set is read through without choosing each tile.
    // False when the reading was refused (the operator was told why).
    bool take(ValidationRole role, const Measurement& m);

    // The set judged (or, after a correction, judged again) and its result file written; false
    // when a tile lacks a reading.
    bool judge();
    // Puts the fitted correction into the shared state as the write dialog takes it (target
    // and sample with the sample's serial). False, with the reason told, when it may not be.
    bool prepareCorrection();
    // The write dialog closed; `written` when an entry was written, with what it changes in
    // the readings. Then the samples read from now on are the set's "after".
    void correctionDone(bool written, std::optional<WrittenCorrection> change = std::nullopt);

    // How many readings one press averages (1: a single reading), as the settings keep it; the
    // spread of placing the instrument on a tile again is what averaging over a set pays for.
    int readingsPerTile() const { return readings_; }
    void setReadingsPerTile(int readings);
    // Before reading `reading` (from the second on) of an averaged press: the operator lifts
    // the instrument and places it on the selected tile again. False: the press takes nothing.
    bool placeAgain(int reading);

    // Judges the set against certified values: each tile's certificate stands for the reference
    // instrument's reading, and every reading of the instrument is brought to the certificates'
    // temperature when the set has one. With nothing, back to the reference instrument, whose
    // tiles are then read again. The readings of the instrument under correction are kept as
    // read either way; the judgement is dropped. False while a correction is verified (it was
    // fitted against the other reference) or when `certified` is not of this set's tiles.
    bool useCertified(std::optional<CertifiedSet> certified);
    const std::optional<CertifiedSet>& certified() const { return certified_; }

    // "tile 3 'green'", as the instruction names it.
    std::string tileName(int row) const;

    EvaluateHueControl& colour() { return colour_; }
    const TileSet& set() const { return set_; }
    const SetLimits& limits() const { return limits_; }
    const std::vector<TileSpectra>& tiles() const { return tiles_; }
    // The samples read after a correction, by tile (empty where none is read yet).
    const std::vector<ThreeAngles>& afterSamples() const { return afterSamples_; }
    const TileSetView& view() const { return view_; }
    const std::optional<SetAgreement>& agreement() const { return now_; }
    const std::optional<SetAgreement>& lightestOnly() const { return lightestOnly_; }
    const std::optional<SetAgreement>& fitted() const { return fitted_; }
    const std::optional<SetAgreement>& after() const { return after_; }
    // The set as judged now with each sample through `profile` (the instrument's, to its
    // master): what its standardised readings show; nothing before a judgement.
    SetSummary standardisedSummary(const Profile& profile);
    // The instrument under correction, once a tile was read on it.
    const std::string& sampleSerial() const { return sampleSerial_; }
    // The physical terms per angle and the remedy, from the readings before the correction;
    // nothing before the set is judged.
    const std::optional<Diagnosis>& diagnosis() const { return diagnosis_; }
    // Why the judged set was not diagnosed (a reading out of range, naming the tile); empty
    // otherwise.
    const std::string& diagnosisRefusal() const { return refusal_; }
    const SavedFile& resultFile() const { return resultFile_; }
    // The id of the logbook's record of the last judgement; 0 when none was kept.
    std::int64_t recordId() const { return recordId_; }

private:
    struct Kept {
        MeasuredPair pair;
    };
    using Differences = std::optional<std::array<double, kAngleCount>>;
    bool sameInstrument(const std::string& serial, const std::string& setSerial, bool anyRead);
    // One tile's differences, with the formula the set is judged by.
    Differences differences(const TileSpectra& tile);
    void refreshDifferences();
    // Selects the tile after the selected one lacking `read`, else the first lacking `other`.
    void advance(bool TileRow::*read, bool TileRow::*other);
    std::string instruction() const;
    // A failed set's next step, as its diagnosis advises: service or a tile read again do not
    // ask for Correct...
    std::string failedInstruction() const;
    void rediagnose();
    // Every tile reads in the same proportion on both instruments: one factor per wavelength
    // (gain and its tilt) brings the whole set within its limits, and the diagnosis names no
    // error beside it.
    bool proportional() const;
    std::string measureInstruction() const;
    std::string predictionsAlike() const;
    // Asks before factors are written that the diagnosis says cannot correct the instrument, or
    // with which the set is still predicted beyond its limits; true to write them.
    bool confirmCorrection();
    void keepPair();
    void restorePair();
    void judged();
    // What the set read again shows of whether the instrument applies the entry written.
    void rememberEffect();
    // What a correction from the lightest tile alone and the fitted one would leave.
    // The set judged with its fitted factors and predictions; false when it cannot be.
    bool judgeTiles();
    SetSummary summary(const std::optional<SetAgreement>& g) const;
    void render();
    // The set with the samples read after the correction.
    std::vector<TileSpectra> afterSet() const;
    bool everyTile(bool TileRow::*flag) const;
    // The instrument's reading of tile `i` as it is judged: brought to the certificate's
    // temperature against certified values, as read otherwise.
    ThreeAngles judgedReading(std::size_t i, const ThreeAngles& reading) const;
    // Every tile's target and sample as the reference in force takes them.
    void placeReference();

    Seams s_;
    EvaluateHueControl& colour_;
    int readings_ = 1;
    TileSet set_;
    SetLimits limits_;
    std::vector<TileSpectra> tiles_;
    std::vector<ThreeAngles> afterSamples_;
    // The samples as the instrument gave them: what a change of reference is judged from.
    std::vector<ThreeAngles> readSamples_;
    std::optional<CertifiedSet> certified_;
    // Each tile's differences once both its readings are in, before and after the correction.
    std::vector<Differences> tileDeltaE_, tileAfterDeltaE_;
    // The instrument the operator read last: the next tile is asked for on the same one.
    ValidationRole lastRole_ = ValidationRole::Target;
    std::string targetSerial_, sampleSerial_;
    std::string sampleType_;  // of the instrument under correction, for the logbook
    std::optional<SetAgreement> now_, lightestOnly_, fitted_, after_;
    std::optional<Diagnosis> diagnosis_;
    std::string refusal_;
    AngleFactors factors_{};
    std::optional<WrittenCorrection> written_;
    SavedFile resultFile_;
    std::int64_t recordId_ = 0;
    Kept kept_;
    TileSetView view_;
};

}  // namespace qv
