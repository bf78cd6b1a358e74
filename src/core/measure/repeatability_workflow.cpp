#include "core/measure/repeatability_workflow.h"

#include <cmath>
#include <limits>

#include "core/app/message_box.h"
#include "core/app/number_format.h"
#include "core/app/thresholds.h"
#include "core/colour/evaluated_spectrum.h"
#include "core/files/repeatability_file.h"
#include "core/link/commands.h"

namespace qv {

namespace {
constexpr std::int32_t kDifferenceItems[3] = {item::kDelta1, item::kDelta2, item::kDelta3};

}  // namespace

RepeatabilityWorkflow::RepeatabilityWorkflow(const Seams& seams)
    : s_(seams),
      colour_(makeColourEngine(KEY_VERSION3, formulaFromProfile(seams.profile))),
      requests_(*colour_) {
    s_.state.defThreshold = thresholdFromProfile(s_.profile, true);
    view_.deltaELabel = colour_->deltaELabel();
    clearCoordinates();
    clearDifferences();
    // The main window's connection serves: no Connect of its own first.
    connectionChanged();
}

RepeatabilityWorkflow::~RepeatabilityWorkflow() = default;

void RepeatabilityWorkflow::connectionChanged() {
    const bool on = s_.state.bConnected;
    view_.measureEnabled = view_.averageEnabled = view_.calibrateEnabled = on;
}

MeasureResult RepeatabilityWorkflow::measure() {
    if (view_.closed) return MeasureResult::Failed;
    applyFormulaAtSeriesStart();
    view_.measureEnabled = false;
    showCounter(measuredCount_ + 1);
    measuring_ = true;
    viewChanged();

    Acquisition taken(s_.state.commPort.get(), s_.clock, MeasureVariant::Repeatability,
                      s_.activity);
    if (!taken.identify()) return failSeries(taken.error());
    type53_ = taken.id().type53();
    instrumentId_ = taken.id().outcome == IdentifyOutcome::ThreeField
                        ? std::string(kThreeFieldIdText)
                        : taken.id().idText;

    bool goOn = true;
    if (measuredCount_ == 1 || measuredCount_ == 2) {
        view_.instructionId = measuredCount_ == 1 ? kStrSecondInstruction : kStrThirdInstruction;
        viewChanged();
        if (ask_)
            goOn = s_.prompter.ask(messageBox(kStrConfirmNextMeasurement, Icon::Question,
                                              Buttons::OkCancel)) == Answer::Ok;
    }
    seriesValid_ = true;
    if (goOn) {
        clearCoordinates();
        clearDifferences();
        viewChanged();
        // The slots always follow the completed measurements; never write past the series.
        if (slotIndex_ < 0 || slotIndex_ + kAngleCount > 3 * kSeriesLength)
            return failSeries(LinkError{LinkFailure::WriteFailed, "MES", -1, {}});
        if (!taken.measure()) return failSeries(taken.error());
        for (int a = 0; a < kAngleCount; ++a)
            s_.state.repeatSpectrum[slotIndex_++] = std::move(taken.outcome().spectra[a]);
    }
    measuring_ = false;
    exchangeDone();
    if (!type53_) s_.clock.sleepMs(kType40ButtonPauseMs);
    view_.measureEnabled = true;
    if (!goOn) {
        showCounter(measuredCount_);
        return MeasureResult::Declined;
    }
    ++measuredCount_;
    afterMeasurement();
    return MeasureResult::Taken;
}

void RepeatabilityWorkflow::afterMeasurement() {
    if (measuredCount_ == 1) {
        evaluateFirst();
        clearDifferences();
    } else {
        clearDifferences();
        evaluateLater(measuredCount_);
    }
    // The instruction names the next step as soon as this one is done.
    if (measuredCount_ == 1 || measuredCount_ == 2)
        view_.instructionId = measuredCount_ == 1 ? kStrSecondInstruction : kStrThirdInstruction;
    // A finished series keeps its count beside its values; the next press starts at 1 again.
    showCounter(measuredCount_);
    if (measuredCount_ == kSeriesLength) {
        view_.instructionId = kStrSeriesDone;
        measuredCount_ = 0;
        slotIndex_ = 0;
    }
}

MeasureResult RepeatabilityWorkflow::failSeries(const LinkError& error) {
    lastFailure_ = describe(error);
    s_.prompter.ask(lostLinkMessage(error));
    exchangeDone();
    slotIndex_ = 0;
    measuredCount_ = 0;
    for (AngleSpectrum& spectrum : s_.state.repeatSpectrum) spectrum.clear();
    seriesValid_ = false;
    measuring_ = false;
    view_.measureEnabled = true;
    showCounter(0);
    return MeasureResult::Failed;
}

void RepeatabilityWorkflow::exchangeDone() {
    if (onExchangeDone_) onExchangeDone_();
}

void RepeatabilityWorkflow::viewChanged() {
    if (onViewChanged_) onViewChanged_();
}

AverageSetup RepeatabilityWorkflow::beginAverage() {
    applyFormulaAtSeriesStart();
    averaging_ = true;
    AverageSetup setup;
    setup.fromRepeatability = true;
    setup.repeatSlot = measuredCount_;
    return setup;
}

void RepeatabilityWorkflow::endAverage(const AverageWorkflow& average) {
    if (average.view().finished) {
        if (measuredCount_ >= 0 && measuredCount_ < kSeriesLength)
            for (int a = 0; a < kAngleCount; ++a)
                s_.state.repeatSpectrum[3 * measuredCount_ + a] = average.average()[a];
        showCounter(measuredCount_ + 1);
        ++measuredCount_;
        slotIndex_ += kAngleCount;
        seriesValid_ = true;
        instrumentId_ = average.serial();
        afterMeasurement();
    }
    averaging_ = false;
}

void RepeatabilityWorkflow::applyFormulaAtSeriesStart() {
    // A formula chosen with the thresholds counts from the next series on: one series is
    // never judged with two formulae.
    if (measuredCount_ != 0) return;
    view_.verdict.clear();
    colour_->setDeltaEFormula(formulaFromProfile(s_.profile));
    view_.deltaELabel = colour_->deltaELabel();
}

void RepeatabilityWorkflow::evaluateFirst() {
    if (!seriesValid_) return;
    for (int a = 0; a < kAngleCount; ++a) {
        AngleSpectrum& first = s_.state.repeatSpectrum[a];
        dropEvaluation(first);
        requests_.setTarget(a, first);
        appendCoordinates(first, requests_.coordinates(kTargetMode));
        showCoordinates(a, first);
    }
}

void RepeatabilityWorkflow::evaluateLater(int k) {
    if (!seriesValid_) return;
    auto& series = s_.state.repeatSpectrum;
    const int b = kAngleCount * (k - 1);
    for (int a = 0; a < kAngleCount; ++a) {
        AngleSpectrum& later = series[b + a];
        dropEvaluation(later);
        requests_.setSample(a, later);
        appendCoordinates(later, requests_.coordinates(kSampleMode));
        showCoordinates(a, later);
    }
    requests_.prepareDifferences();
    std::array<double, kAngleCount>& dE = deltaE_[k - 2];
    for (int a = 0; a < kAngleCount; ++a) {
        requests_.setTarget(a, series[a]);
        requests_.request(item::kTotalDifference, kTargetMode);
        requests_.setSample(a, series[b + a]);
        dE[a] = requests_.request(item::kTotalDifference, kSampleMode);
    }
    for (int a = 0; a < kAngleCount; ++a) setDifference(series[b + a], dE[a]);

    if (k == kSeriesLength) {
        resultFile_ = writeRepeatabilityFile(s_.files, s_.state.dataFolder(), series, instrumentId_,
                                             localTimeOf(s_.clock.calendarSeconds()), s_.strings,
                                             s_.format, view_.deltaELabel);
        judgeSeries();
    }

    for (int a = 0; a < kAngleCount; ++a) {
        requests_.setTarget(a, series[a]);
        requests_.request(item::kDelta1, kTargetMode);
        requests_.setSample(a, series[b + a]);
        for (int c = 0; c < 3; ++c)
            view_.difference[c][a] =
                display(asFloat(requests_.request(kDifferenceItems[c], kSampleMode)));
        view_.difference[3][a] = display(dE[a]);
    }
}

void RepeatabilityWorkflow::judgeSeries() {
    std::array<double, 2 * kAngleCount> all{};
    for (std::size_t k = 0; k < deltaE_.size(); ++k)
        for (int a = 0; a < kAngleCount; ++a) all[k * kAngleCount + std::size_t(a)] = deltaE_[k][a];
    s_.state.repeatMaxDeltaE = decisiveDifference(all);
    s_.state.repeatPassed = passesThreshold(s_.state.repeatMaxDeltaE, s_.state.defThreshold);
    verdict_ = {s_.state.repeatPassed, s_.state.repeatMaxDeltaE, std::nullopt};
    s_.state.repeatSerial = instrumentId_;
    s_.state.repeatType = type53_ ? "53" : "40";
    view_.verdictPassed = s_.state.repeatPassed;
    view_.verdict =
        std::string(view_.verdictPassed ? "Verdict: repeatable" : "Verdict: NOT repeatable") +
        " (largest " + view_.deltaELabel + " " + display(asFloat(s_.state.repeatMaxDeltaE)) +
        ", threshold " + display(s_.state.defThreshold) + ").";
    recordSeries();
    if (onVerdict_) onVerdict_();
}

void RepeatabilityWorkflow::recordSeries() {
    if (!s_.logbook) return;
    CheckRecord r = emptyRecord(RecordKind::Repeatability, localTimeOf(s_.clock.calendarSeconds()));
    r.serial = instrumentId_;
    r.instrumentType = type53_ ? "53" : "40";
    r.threshold = s_.state.defThreshold;
    r.formula = view_.deltaELabel;
    r.passed = s_.state.repeatPassed;
    r.specimen = specimen_;
    for (int a = 0; a < kAngleCount; ++a) {
        // The first measurement's coordinates, the larger of the two differences from it.
        if (const auto lab = storedCoordinates(s_.state.repeatSpectrum[a])) r.angles[a].lab = *lab;
        r.angles[a].deltaE = decisiveDifference(std::array{deltaE_[0][a], deltaE_[1][a]});
    }
    if (!resultFile_.empty()) r.files.push_back(resultFile_);
    r.id = s_.logbook->recordMarked(r);
    if (r.id != 0) verdict_.record = std::move(r);
}

void RepeatabilityWorkflow::close() {
    view_.closed = true;
}

bool RepeatabilityWorkflow::cancel() {
    if (measuring_ && seriesValid_) return false;
    if (!measuring_) {
        for (AngleSpectrum& spectrum : s_.state.repeatSpectrum) spectrum.clear();
        measuredCount_ = 0;
        slotIndex_ = 0;
    }
    view_.closed = true;
    return true;
}

void RepeatabilityWorkflow::showCounter(int n) {
    view_.counterText = std::to_string(n) + "/" + std::to_string(kSeriesLength);
}

void RepeatabilityWorkflow::clearCoordinates() {
    for (auto& row : view_.coordinate) row.fill(kEmptyField);
}

void RepeatabilityWorkflow::clearDifferences() {
    for (auto& row : view_.difference) row.fill(kEmptyField);
}

std::string RepeatabilityWorkflow::display(double v) const {
    return s_.format.display(v);
}

void RepeatabilityWorkflow::showCoordinates(int angle, const AngleSpectrum& evaluated) {
    // Shown as stored, so the screen and the result file agree to the last digit.
    const auto lab = storedCoordinates(evaluated);
    for (int c = 0; c < 3; ++c)
        view_.coordinate[c][angle] = lab ? display((*lab)[c]) : std::string(kEmptyField);
}

}  // namespace qv
