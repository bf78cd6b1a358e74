#include "core/measure/average_workflow.h"

#include <cmath>
#include <limits>
#include <vector>

#include "core/app/message_box.h"
#include "core/app/number_format.h"
#include "core/colour/data_analyzer.h"
#include "core/link/commands.h"

namespace qv {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void fillEmpty(CoordinateTexts& texts) {
    for (auto& row : texts) row.fill(kEmptyField);
}
}  // namespace

AverageWorkflow::AverageWorkflow(const Seams& seams, EvaluateHueControl& colour, AverageSetup setup)
    : s_(seams), colour_(colour), setup_(setup) {
    fillEmpty(view_.coordinate);
    fillEmpty(view_.deviation);
    for (auto& angle : sd_) angle.fill(kNaN);
}

bool AverageWorkflow::measure() {
    if (view_.closed || count_ >= kMaxAverageMeasurements) return false;
    view_.measureEnabled = false;
    ThreeAngles spectra;
    const bool acquired = acquire(spectra);
    if (onExchangeDone_) onExchangeDone_();
    if (!acquired) {
        view_.measureEnabled = true;
        return false;
    }

    SpectralMeasurement record;
    record.spectra.assign(spectra.begin(), spectra.end());
    measurements_[count_] = std::move(record);
    recordCoordinates(spectra);
    ++count_;
    updateAverage();
    showAverageCoordinates();
    if (count_ >= 2) showDeviations();

    if (!type53_) s_.clock.sleepMs(kType40ButtonPauseMs);
    view_.measureEnabled = true;
    view_.countText = std::to_string(count_);
    view_.finishEnabled = true;
    if (count_ == kMaxAverageMeasurements) finish();
    return true;
}

bool AverageWorkflow::acquire(ThreeAngles& spectra) {
    Acquisition taken(s_.state.commPort.get(), s_.clock, MeasureVariant::Average, s_.activity);
    wentBack_ = false;
    const bool identified = taken.identify();
    if (identified) {
        type53_ = taken.id().type53();
        serial_ = measuredSerial(taken.id());
    }
    // Whoever opened the average hears which instrument answered before its first reading is
    // taken, so that going back costs no reading and keeps what the caller holds.
    if (identified && count_ == 0 && setup_.checkBeforeFirst && !setup_.checkBeforeFirst(serial_)) {
        wentBack_ = true;
        return false;
    }
    if (!identified || !taken.measure()) {
        fail(taken.error());
        return false;
    }
    spectra = std::move(taken.outcome().spectra);
    lastFailure_.clear();
    return true;
}

void AverageWorkflow::fail(const LinkError& error) {
    lastFailure_ = describe(error);
    view_.finishEnabled = false;
    s_.prompter.ask(lostLinkMessage(error));
    view_.measureEnabled = true;
}

void AverageWorkflow::recordCoordinates(const ThreeAngles& spectra) {
    std::array<float, 9> values{};
    for (int a = 0; a < kAngleCount; ++a) {
        colour_.setTarget(a, spectra[a]);
        const std::array<double, 3> lab = colour_.coordinates(kTargetMode);
        // Kept in the order 75°, 45°, 25°.
        const int base = 3 * (kAngleCount - 1 - a);
        for (int c = 0; c < 3; ++c)
            values[base + c] = static_cast<float>(roundedToTwoDecimals(lab[c]));
    }
    coordinateHistory_[count_] = values;
}

void AverageWorkflow::updateAverage() {
    for (int a = 0; a < kAngleCount; ++a) {
        AngleSpectrum sum(kSpectrumPoints, 0.0);
        for (const auto& [index, m] : measurements_)
            for (int j = 0; j < kSpectrumPoints; ++j) sum[j] += m.spectra[a][j];
        for (double& v : sum) v /= count_;
        average_[a] = std::move(sum);
    }
}

void AverageWorkflow::showAverageCoordinates() {
    // The first measurement of a series is the target of the later colour differences.
    const bool asTarget = setup_.fromRepeatability ? setup_.repeatSlot == 0 : setup_.dataRole == 1;
    for (int a = 0; a < kAngleCount; ++a) {
        if (asTarget)
            colour_.setTarget(a, average_[a]);
        else
            colour_.setSample(a, average_[a]);
        averageLab_[a] = colour_.coordinates(asTarget ? kTargetMode : kSampleMode);
        for (int c = 0; c < 3; ++c) view_.coordinate[c][a] = s_.format.display(averageLab_[a][c]);
    }
}

void AverageWorkflow::showDeviations() {
    std::vector<float> series;
    for (int a = 0; a < kAngleCount; ++a) {
        const int base = 3 * (kAngleCount - 1 - a);
        for (int c = 0; c < 3; ++c) {
            series.clear();
            for (const auto& [index, values] : coordinateHistory_)
                series.push_back(values[base + c]);
            const std::int32_t n = static_cast<std::int32_t>(series.size());
            const DataAnalyzer stats(n, series.data());
            sd_[a][c] = stats.deviation;
            view_.deviation[c][a] = s_.format.display(sd_[a][c]);
        }
    }
}

void AverageWorkflow::finish() {
    if (view_.closed || !view_.finishEnabled) return;
    view_.closed = true;
    view_.finished = true;
}

void AverageWorkflow::cancel() {
    if (view_.closed) return;
    view_.closed = true;
}

AverageOutcome measureAverage(AverageWorkflow& average, int readings,
                              const std::function<bool(int)>& beforeReading) {
    for (int k = 1; k <= readings && !average.view().closed; ++k) {
        if (k > 1 && beforeReading && !beforeReading(k)) {
            average.cancel();
            return AverageOutcome::Declined;
        }
        if (!average.measure()) {
            average.cancel();
            return AverageOutcome::Failed;
        }
    }
    average.finish();
    return AverageOutcome::Finished;
}

}  // namespace qv
