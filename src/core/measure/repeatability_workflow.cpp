#include "core/measure/repeatability_workflow.h"

#include <cmath>
#include <limits>

#include "core/checks/threshold_workflow.h"
#include "core/link/identify.h"
#include "core/measure/file_number.h"
#include "core/app/message_box.h"
#include "core/measure/result_file.h"

namespace qv {

namespace {
constexpr std::int32_t kDifferenceItems[3] = {item::kDelta1, item::kDelta2, item::kDelta3};

// Keeps the 31 reflectances (and the coordinates when `keep` is 34) before values are
// appended, so an element never carries a stale evaluation.
void truncateTo(AngleSpectrum& s, std::size_t keep) {
    if (s.size() > keep) s.resize(keep);
}
}  // namespace

RepeatabilityWorkflow::RepeatabilityWorkflow(RepeatSeams seams)
    : s_(seams),
      colour_(makeColourEngine(KEY_VERSION3, formulaFromProfile(seams.profile))),
      requests_(*colour_) {
    s_.state.defThreshold = thresholdFromProfile(s_.profile, true);
    view_.deltaELabel = colour_->deltaELabel();
    clearCoordinates();
    clearDifferences();
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

    SerialChannel* port = s_.state.commPort.get();
    const IdentifyResult id = port ? IdentifyInstrument(*port) : IdentifyResult{};
    if (!id.ok()) return failSeries(port ? "identification failed" : "no port open");
    type53_ = id.type53();
    instrumentId_ =
        id.outcome == IdentifyOutcome::ThreeField ? std::string(kThreeFieldIdText) : id.idText;

    bool goOn = true;
    if (measuredCount_ == 1 || measuredCount_ == 2) {
        view_.instructionId = measuredCount_ == 1 ? kStrSecondInstruction : kStrThirdInstruction;
        viewChanged();
        if (ask_)
            goOn = s_.prompter.ask(messageBox(kStrConfirmNextMeasurement, Icon::Exclamation,
                                              Buttons::OkCancel)) == Answer::Ok;
    }
    seriesValid_ = true;
    if (goOn) {
        clearCoordinates();
        clearDifferences();
        viewChanged();
        // The slots always follow the completed measurements; never write past the series.
        if (slotIndex_ < 0 || slotIndex_ + kAngleCount > 3 * kSeriesLength)
            return failSeries("series slots out of step");
        MeasureOutcome outcome =
            acquireMeasurement(*port, s_.clock, MeasureVariant::Repeatability, type53_);
        if (!outcome.ok()) return failSeries(outcome.reason());
        for (int a = 0; a < kAngleCount; ++a)
            s_.state.repeatSpectrum[slotIndex_++] = std::move(outcome.spectra[a]);
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
    if (measuredCount_ == kSeriesLength) {
        view_.instructionId = kStrSeriesDone;
        measuredCount_ = 0;
        slotIndex_ = 0;
    }
    showCounter(measuredCount_);
}

MeasureResult RepeatabilityWorkflow::failSeries(std::string reason) {
    lastFailure_ = std::move(reason);
    s_.prompter.ask(messageBox(kStrMeasurementFailed, Icon::Stop));
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
    s_.state.repeatAverageDone = false;
    AverageSetup setup;
    setup.fromRepeatability = true;
    setup.repeatSlot = measuredCount_;
    return setup;
}

void RepeatabilityWorkflow::endAverage() {
    if (s_.state.repeatAverageDone) {
        showCounter(measuredCount_ + 1);
        ++measuredCount_;
        slotIndex_ += kAngleCount;
        seriesValid_ = true;
        if (measuredCount_ > 1) {
            view_.instructionId =
                measuredCount_ == 2 ? kStrSecondInstruction : kStrThirdInstruction;
            // The average wrote the identification where the measurement's role says.
            instrumentId_ = s_.state.measureTarget ? s_.state.targetSerial : s_.state.sampleSerial;
        }
        afterMeasurement();
    }
    averaging_ = false;
}

void RepeatabilityWorkflow::applyFormulaAtSeriesStart() {
    // A formula chosen with the thresholds counts from the next series on: one series is
    // never judged with two formulae.
    if (measuredCount_ != 0) return;
    colour_->setDeltaEFormula(formulaFromProfile(s_.profile));
    view_.deltaELabel = colour_->deltaELabel();
}

void RepeatabilityWorkflow::evaluateFirst() {
    if (!seriesValid_) return;
    for (int a = 0; a < kAngleCount; ++a) {
        AngleSpectrum& first = s_.state.repeatSpectrum[a];
        truncateTo(first, kSpectrumPoints);
        requests_.setTarget(a, first);
        const std::array<double, 3> lab = requests_.coordinates(kTargetMode);
        for (int c = 0; c < 3; ++c) {
            // Shown as stored, so the screen and the result file agree to the last digit.
            first.push_back(asFloat(lab[c]));
            view_.coordinate[c][a] = display(first.back());
        }
    }
}

void RepeatabilityWorkflow::evaluateLater(int k) {
    if (!seriesValid_) return;
    auto& series = s_.state.repeatSpectrum;
    const int b = kAngleCount * (k - 1);
    for (int a = 0; a < kAngleCount; ++a) {
        AngleSpectrum& later = series[b + a];
        truncateTo(later, kSpectrumPoints);
        requests_.setSample(a, later);
        const std::array<double, 3> lab = requests_.coordinates(kSampleMode);
        for (int c = 0; c < 3; ++c) {
            later.push_back(asFloat(lab[c]));
            view_.coordinate[c][a] = display(later.back());
        }
    }
    requests_.prepareDifferences();
    std::array<double, kAngleCount>& dE = deltaE_[k - 2];
    for (int a = 0; a < kAngleCount; ++a) {
        requests_.setTarget(a, series[a]);
        requests_.request(item::kTotalDifference, kTargetMode);
        requests_.setSample(a, series[b + a]);
        dE[a] = requests_.request(item::kTotalDifference, kSampleMode);
    }
    for (int a = 0; a < kAngleCount; ++a) series[b + a].push_back(dE[a]);

    if (k == kSeriesLength) {
        resultFile_ = writeRepeatabilityFile(s_.files, s_.state.dataFolder(), series, instrumentId_,
                                             localTimeOf(s_.clock.calendarSeconds()), s_.texts,
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
    // An unanswerable difference (NaN) fails the series: it never compares below the threshold.
    double largest = -std::numeric_limits<double>::infinity();
    bool unusable = false;
    for (const auto& measurement : deltaE_)
        for (double v : measurement) {
            if (std::isnan(v)) unusable = true;
            if (v > largest) largest = v;
        }
    if (unusable) largest = std::numeric_limits<double>::quiet_NaN();
    s_.state.repeatMaxDeltaE = largest;
    s_.state.repeatPassed = largest < s_.state.defThreshold;
    if (onVerdict_) onVerdict_();
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
    return formatDisplayNumber(v, s_.format.decimalSeparator);
}

}  // namespace qv
