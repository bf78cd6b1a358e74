#include "core/checks/inter_instrument_workflow.h"

#include <cmath>
#include <cstdio>

#include "core/app/message_box.h"
#include "core/app/string_ids.h"
#include "core/app/thresholds.h"
#include "core/colour/evaluated_spectrum.h"
#include "core/colour/items.h"
#include "core/files/validation_files.h"
#include "core/link/identify.h"
#include "core/measure/entries_apply.h"
#include "core/measure/measured_pair.h"

namespace qv {

namespace {
constexpr std::int32_t kDifferenceItems[3] = {item::kDelta1, item::kDelta2, item::kDelta3};
constexpr const char* kNoInstrument = "-----";

// Where the pair failed, so the operator knows what to clean or measure again.
std::string describeRatio(const ImplausibleRatio& r) {
    char text[96];
    std::snprintf(text, sizeof text, "\n%d°, %d nm: target / sample = %.3f", kAngleDegrees[r.angle],
                  r.wavelengthNm, r.ratio);
    return text;
}
}  // namespace

InterInstrumentWorkflow::InterInstrumentWorkflow(const Seams& seams)
    : s_(seams),
      colour_(makeColourEngine(KEY_VERSION1, formulaFromProfile(seams.profile))),
      requests_(*colour_) {
    s_.state.instThreshold = thresholdFromProfile(s_.profile, false);
    view_.deltaELabel = colour_->deltaELabel();
    clearFields();
    emptySpectra();
    connectionChanged();
}

InterInstrumentWorkflow::~InterInstrumentWorkflow() = default;

void InterInstrumentWorkflow::take(ValidationRole role, const Measurement& m) {
    const bool target = role == ValidationRole::Target;
    placeMeasurement(s_.state, target ? PairSide::Target : PairSide::Sample, m);
    if (!target && before_) resampled_ = true;
    const std::string who = m.serial + (m.type.empty() ? "" : ", type " + m.type);
    view_.instrumentId = who;
    (target ? view_.targetInstrument : view_.sampleInstrument) = who;
    // A verification already judged belongs to the pair before this measurement.
    if (!before_) view_.correction = InterInstrumentView::Correction::None;
    view_.displayMode = static_cast<int>(role);
    showSpectrum(target ? view_.target : view_.sample, m.spectra);
    clearJudgement();
    updateJudgeAvailability();
}

bool InterInstrumentWorkflow::verifyCorrection(const Measurement& sample) {
    if (!before_) return false;
    take(ValidationRole::Sample, sample);
    return judge() && judgement_ && judgement_->verification;
}

void InterInstrumentWorkflow::thresholdsChanged() {
    showFormula();
}

void InterInstrumentWorkflow::endRegistration() {
    if (s_.state.targetMeasured) {
        view_.targetInstrument = s_.state.targetSerial + " (file)";
        view_.displayMode = 1;
        showSpectrum(view_.target, s_.state.targetSpectrum);
    }
    updateJudgeAvailability();
}

void InterInstrumentWorkflow::connectionChanged() {
    const bool on = s_.state.bConnected;
    view_.instrumentId = on ? s_.state.instrumentId() : kNoInstrument;
    view_.measureEnabled = view_.calibrateEnabled = on;
    if (!on) view_.writeEnabled = view_.judgeEnabled = false;
}

void InterInstrumentWorkflow::reset() {
    before_.reset();
    resampled_ = false;
    view_.beforeDeltaE = {};
    view_.correction = InterInstrumentView::Correction::None;
    clearFields();
    emptySpectra();
    judgement_.reset();
    view_.writeEnabled = view_.judgeEnabled = false;
    showFormula();
}

bool InterInstrumentWorkflow::allSpectraPresent() const {
    for (int a = 0; a < kAngleCount; ++a)
        if (s_.state.targetSpectrum[a].empty() || s_.state.sampleSpectrum[a].empty()) return false;
    return true;
}

// After a correction only a sample measured since verifies it: the pair before it would compare
// the old sample with itself and claim the instrument ignores the entry.
bool InterInstrumentWorkflow::judgeable() const {
    return allSpectraPresent() && (!before_ || resampled_);
}

void InterInstrumentWorkflow::updateJudgeAvailability() {
    view_.judgeEnabled = judgeable();
    if (!view_.judgeEnabled) view_.writeEnabled = false;
}

// A cable left on the reference judges it against itself, and the pair passes. A target
// registered from an earlier file of the same instrument is legitimate: asked, not refused.
bool InterInstrumentWorkflow::confirmDistinctInstruments() {
    const SharedState& st = s_.state;
    if (st.targetSerial.empty() || st.targetSerial == kThreeFieldSerialText ||
        st.targetSerial != st.sampleSerial)
        return true;
    Message m = messageBox(kStrSameInstrument, Icon::Question, Buttons::YesNo);
    m.suffix = " " + st.targetSerial;
    return s_.prompter.ask(m) == Answer::Yes;
}

bool InterInstrumentWorkflow::confirmRepeatableInstrument(const std::string& sampleSerial) {
    const SharedState& st = s_.state;
    if (!st.repeatPassed || st.repeatSerial.empty() || sampleSerial == st.repeatSerial) return true;
    Message m = messageBox(kStrOtherRepeatable, Icon::Question, Buttons::YesNo);
    m.suffix = " " + st.repeatSerial + " (connected now: " + sampleSerial + ").";
    m.yesText = "Measure anyway";
    m.noText = "Go back";
    return s_.prompter.ask(m) == Answer::Yes;
}

// A verification is judged in the formula of the check it verifies, so that before and after
// stand in one unit; otherwise the formula chosen with the thresholds counts from now on.
DeltaEFormula InterInstrumentWorkflow::formulaToJudge() {
    return before_ ? before_->formula : formulaFromProfile(s_.profile);
}

void InterInstrumentWorkflow::showFormula() {
    colour_->setDeltaEFormula(judgement_ ? judgement_->formula : formulaToJudge());
    view_.deltaELabel = colour_->deltaELabel();
}

bool InterInstrumentWorkflow::judge() {
    applyStandardViewing(*colour_);
    if (!judgeable() || !confirmDistinctInstruments()) return false;
    Judgement j;
    j.formula = formulaToJudge();
    colour_->setDeltaEFormula(j.formula);
    view_.deltaELabel = colour_->deltaELabel();
    requests_.prepareDifferences();

    SharedState& st = s_.state;
    for (int a = 0; a < kAngleCount; ++a) {
        requests_.setTarget(a, st.targetSpectrum[a]);
        requests_.request(item::kTotalDifference, kTargetMode);
        requests_.setSample(a, st.sampleSpectrum[a]);
        j.deltaE[a] = requests_.request(item::kTotalDifference, kSampleMode);
    }
    j.maxDeltaE = decisiveDifference(j.deltaE);
    j.passed = passesThreshold(j.maxDeltaE, st.instThreshold);
    computeDifferences(j);
    placeJudgedDifferences(st, j.deltaE);
    showDifferences(j);
    if (before_) verify(j);
    j.time = localTimeOf(s_.clock.calendarSeconds());
    j.resultFile = writeJudgementFile(
        s_.files, st.dataFolder(), st.targetSpectrum, st.sampleSpectrum, st.targetSerial,
        st.sampleSerial, j.time, s_.strings, s_.format,
        j.verification ? std::optional(j.verification->beforeDeltaE) : std::nullopt);
    // The judgement stands whether or not its record could be written.
    if (!j.resultFile.ok()) reportUnsavedFile(s_.prompter, j.resultFile);
    recordJudgement(j);
    judgement_ = j;
    if (onVerdict_) onVerdict_();
    view_.writeEnabled = false;
    if (!j.passed) checkPlausibility(*judgement_);
    if (j.verification && j.verification->unchanged)
        s_.prompter.ask(messageBox(kStrCorrectionNotApplied, Icon::Exclamation));
    return true;
}

std::string InterInstrumentWorkflow::instruction() const {
    using Correction = InterInstrumentView::Correction;
    const SharedState& st = s_.state;
    if (view_.correction == Correction::Written)
        return "Measure the sample again on the corrected instrument to verify the correction.";
    if (st.targetSpectrum[0].empty())
        return "Measure the specimen on the reference instrument (Measure target...).";
    if (st.sampleSpectrum[0].empty())
        return "Move the cable to the instrument under correction and measure the same spot "
               "(Measure sample...).";
    if (!judgement_) return "Press Judge.";
    if (judgement_->passed) return "The instruments agree: press Close, or measure again.";
    if (judgement_->implausible)
        return "The spectra do not fit together: clean the specimen, calibrate both instruments "
               "and measure again.";
    return "Write correction factors into the instrument under correction (Write "
           "coefficients...), or judge over a tile set first (Tile set...).";
}

std::string InterInstrumentWorkflow::verdictLine() const {
    if (!judgement_) return {};
    const std::string figures = "largest " + view_.deltaELabel + " " +
                                s_.format.display(asFloat(judgement_->maxDeltaE)) + ", threshold " +
                                s_.format.display(s_.state.instThreshold);
    return judgement_->passed ? "Verdict: the instruments agree (" + figures + ")."
                              : "Verdict: the instruments DISAGREE (" + figures + ").";
}

CheckVerdict InterInstrumentWorkflow::verdict() const {
    if (!judgement_) return {};
    return {judgement_->passed, judgement_->maxDeltaE, judgement_->record};
}

void InterInstrumentWorkflow::recordJudgement(Judgement& j) {
    if (!s_.logbook) return;
    const SharedState& st = s_.state;
    CheckRecord r = emptyRecord(
        j.verification ? RecordKind::Verification : RecordKind::InterInstrument, j.time);
    r.serial = st.sampleSerial;
    r.instrumentType = st.sampleType;
    r.referenceSerial = st.targetSerial;
    r.threshold = st.instThreshold;
    r.formula = colour_->deltaELabel();
    r.passed = j.passed;
    for (int a = 0; a < kAngleCount; ++a) {
        if (const auto lab = storedCoordinates(st.sampleSpectrum[a])) r.angles[a].lab = *lab;
        r.angles[a].deltaE = j.deltaE[a];
        if (j.verification) r.angles[a].beforeDeltaE = j.verification->beforeDeltaE[a];
    }
    if (j.resultFile.ok()) r.files.push_back(j.resultFile.path);
    r.id = s_.logbook->recordMarked(r);
    if (r.id != 0) j.record = std::move(r);
}

void InterInstrumentWorkflow::correctionWritten(std::optional<WrittenCorrection> written) {
    if (!judgement_) return;
    before_ = judgement_;
    beforeSample_ = s_.state.sampleSpectrum;
    written_ = std::move(written);
    resampled_ = false;
    for (int a = 0; a < kAngleCount; ++a)
        view_.beforeDeltaE[a] = s_.format.display(asFloat(before_->deltaE[a]));
    view_.correction = InterInstrumentView::Correction::Written;
    updateJudgeAvailability();
}

void InterInstrumentWorkflow::verify(Judgement& j) {
    Verification v;
    v.beforeDeltaE = before_->deltaE;
    v.beforePassed = before_->passed;
    const double repeatThreshold = thresholdFromProfile(s_.profile, true);
    v.unchanged = true;
    for (int a = 0; a < kAngleCount; ++a)
        v.unchanged = v.unchanged && std::abs(j.deltaE[a] - before_->deltaE[a]) < repeatThreshold;
    j.verification = v;
    // Whether this instrument's readings follow the entry, for the operator's next answer to
    // what its readings pass through.
    if (written_)
        rememberEntriesApply(
            s_.profile, s_.state.sampleSerial,
            judgeEntryEffect({beforeSample_}, {s_.state.sampleSpectrum}, *written_),
            written_->entry, localTimeOf(s_.clock.calendarSeconds()));
    view_.correction = v.unchanged ? InterInstrumentView::Correction::NotApplied
                                   : InterInstrumentView::Correction::Verified;
    // One verification per correction; a later judgement stands on its own.
    before_.reset();
    written_.reset();
    resampled_ = false;
}

void InterInstrumentWorkflow::computeDifferences(Judgement& j) {
    for (int a = 0; a < kAngleCount; ++a) {
        requests_.setTarget(a, s_.state.targetSpectrum[a]);
        requests_.request(item::kDelta1, kTargetMode);
        requests_.setSample(a, s_.state.sampleSpectrum[a]);
        for (int c = 0; c < 3; ++c)
            j.difference[a][c] = asFloat(requests_.request(kDifferenceItems[c], kSampleMode));
    }
}

void InterInstrumentWorkflow::showDifferences(const Judgement& j) {
    for (int a = 0; a < kAngleCount; ++a) {
        for (int c = 0; c < 3; ++c) view_.difference[c][a] = s_.format.display(j.difference[a][c]);
        view_.deltaE[a] = s_.format.display(asFloat(j.deltaE[a]));
    }
}

void InterInstrumentWorkflow::checkPlausibility(Judgement& j) {
    j.implausible = firstImplausibleRatio(s_.state.targetSpectrum, s_.state.sampleSpectrum);
    if (j.implausible) {
        Message m = messageBox(kStrImplausibleSpectra, Icon::Exclamation);
        m.suffix = describeRatio(*j.implausible);
        s_.prompter.ask(m);
        return;
    }
    view_.writeEnabled = true;
}

void InterInstrumentWorkflow::showSpectrum(CoordinateTexts& fields, const ThreeAngles& spectra) {
    for (int a = 0; a < kAngleCount; ++a) {
        const auto lab = storedCoordinates(spectra[a]);
        for (int c = 0; c < 3; ++c)
            fields[c][a] = lab ? s_.format.display((*lab)[c]) : std::string(kEmptyField);
    }
}

void InterInstrumentWorkflow::clearFields() {
    for (CoordinateTexts* rows : {&view_.target, &view_.sample})
        for (auto& row : *rows) row.fill(kEmptyField);
    clearJudgementFields();
}

void InterInstrumentWorkflow::clearJudgementFields() {
    for (auto& row : view_.difference) row.fill(kEmptyField);
    view_.deltaE.fill(kEmptyField);
}

void InterInstrumentWorkflow::clearJudgement() {
    judgement_.reset();
    clearJudgementFields();
    view_.writeEnabled = false;
    showFormula();
}

void InterInstrumentWorkflow::emptySpectra() {
    emptyPair(s_.state);
}

}  // namespace qv
