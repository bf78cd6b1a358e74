#include "core/checks/validation_workflow.h"

#include "core/app/message_box.h"
#include "core/app/string_ids.h"
#include "core/colour/evaluated_spectrum.h"
#include "core/files/validation_files.h"
#include "core/link/commands.h"
#include "core/link/identify.h"
#include "core/link/link_failure.h"

namespace qv {

ValidationWorkflow::ValidationWorkflow(const Seams& seams, EvaluateHueControl& colour,
                                       ValidationRole role)
    : s_(seams), colour_(colour), role_(role) {}

int ValidationWorkflow::headingId() const {
    return target() ? kStrTargetHeading : kStrSampleHeading;
}

std::optional<Measurement> ValidationWorkflow::measure() {
    resultFile_ = {};
    Acquisition taken(
        s_.state.commPort.get(), s_.clock,
        target() ? MeasureVariant::ValidationTarget : MeasureVariant::ValidationSample,
        s_.activity);
    wentBack_ = false;
    if (taken.identify() && checkBeforeMeasuring_ &&
        !checkBeforeMeasuring_(measuredSerial(taken.id()))) {
        wentBack_ = true;
        exchangeDone();
        return std::nullopt;
    }
    if (!taken.id().ok() || !taken.measure()) {
        lastFailure_ = describe(taken.error());
        exchangeDone();
        s_.prompter.ask(lostLinkMessage(taken.error()));
        return std::nullopt;
    }
    type53_ = taken.id().type53();
    lastFailure_.clear();
    Measurement m = evaluated(std::move(taken.outcome().spectra), measuredSerial(taken.id()),
                              taken.id().modelCode());
    exchangeDone();
    if (boxWhenFinished_)
        s_.prompter.ask(messageBox(kStrMeasurementFinished, Icon::Information));
    else
        tellStep(s_.activity, s_.strings.text(kStrMeasurementFinished));
    if (target()) writeTargetFile(m);
    // A type-40 instrument needs its rest before the next measurement.
    if (!type53_) s_.clock.sleepMs(kType40ButtonPauseMs);
    return m;
}

Measurement ValidationWorkflow::evaluated(ThreeAngles taken, std::string serial, std::string type) {
    for (int a = 0; a < kAngleCount; ++a) {
        if (target())
            colour_.setTarget(a, taken[a]);
        else
            colour_.setSample(a, taken[a]);
        appendCoordinates(taken[a], colour_.coordinates(target() ? kTargetMode : kSampleMode));
    }
    return {std::move(taken), std::move(serial), std::move(type)};
}

std::optional<Measurement> ValidationWorkflow::measureAverage(
    int readings, const std::function<bool(int)>& beforeReading) {
    AverageWorkflow average(s_, colour_.engine(), beginAverage());
    average.onExchangeDone([this] { exchangeDone(); });
    const AverageOutcome outcome = qv::measureAverage(average, readings, beforeReading);
    wentBack_ = outcome != AverageOutcome::Finished && average.wentBack();
    lastFailure_ = outcome == AverageOutcome::Failed ? average.lastFailure() : std::string();
    if (outcome != AverageOutcome::Finished) return std::nullopt;
    return endAverage(average);
}

AverageSetup ValidationWorkflow::beginAverage() {
    resultFile_ = {};
    AverageSetup setup;
    setup.dataRole = target() ? 1 : 0;
    setup.checkBeforeFirst = checkBeforeMeasuring_;
    return setup;
}

std::optional<Measurement> ValidationWorkflow::endAverage(const AverageWorkflow& average) {
    // The instrument was asked about before the average's first reading (see beginAverage).
    if (!average.view().finished) return std::nullopt;
    Measurement m = evaluated(average.average(), average.serial(), average.modelCode());
    if (target()) writeTargetFile(m);
    return m;
}

void ValidationWorkflow::writeTargetFile(const Measurement& m) {
    resultFile_ =
        qv::writeTargetFile(s_.files, s_.state.dataFolder(), m.spectra, m.serial,
                            localTimeOf(s_.clock.calendarSeconds()), s_.strings, s_.format);
    if (!resultFile_.ok()) reportUnsavedFile(s_.prompter, resultFile_);
}

void ValidationWorkflow::exchangeDone() {
    if (onExchangeDone_) onExchangeDone_();
}

}  // namespace qv
