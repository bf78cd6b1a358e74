#include "core/checks/validation_workflow.h"

#include "core/app/message_box.h"
#include "core/app/string_ids.h"
#include "core/checks/validation_files.h"
#include "core/colour/evaluated_spectrum.h"
#include "core/link/commands.h"
#include "core/link/link_failure.h"

namespace qv {

ValidationWorkflow::ValidationWorkflow(const Seams& seams, EvaluateHueControl& colour,
                                       ValidationRole role)
    : s_(seams), colour_(colour), role_(role) {
    // The average measurement and every later step read the role from here.
    s_.state.measureTarget = target();
}

int ValidationWorkflow::headingId() const {
    return target() ? kStrTargetHeading : kStrSampleHeading;
}

ThreeAngles& ValidationWorkflow::spectra() {
    return target() ? s_.state.targetSpectrum : s_.state.sampleSpectrum;
}

bool& ValidationWorkflow::measuredFlag() {
    return target() ? s_.state.targetMeasured : s_.state.sampleMeasured;
}

std::string& ValidationWorkflow::serial() {
    return target() ? s_.state.targetSerial : s_.state.sampleSerial;
}

bool ValidationWorkflow::measure() {
    resultFile_ = {};
    Acquisition taken(
        s_.state.commPort.get(), s_.clock,
        target() ? MeasureVariant::ValidationTarget : MeasureVariant::ValidationSample);
    if (!taken.run()) {
        lastFailure_ = describe(taken.error());
        exchangeDone();
        s_.prompter.ask(lostLinkMessage(taken.error()));
        return false;
    }
    type53_ = taken.id().type53();
    if (!target()) s_.state.sampleType = taken.id().modelCode();
    lastFailure_.clear();
    commit(std::move(taken.outcome().spectra), measuredSerial(taken.id()));
    exchangeDone();
    s_.prompter.ask(messageBox(kStrMeasurementFinished, Icon::Information));
    if (target()) writeTargetFile();
    // A type-40 instrument needs its rest before the next measurement.
    if (!type53_) s_.clock.sleepMs(kType40ButtonPauseMs);
    return true;
}

void ValidationWorkflow::commit(ThreeAngles taken, const std::string& measuredBy) {
    for (int a = 0; a < kAngleCount; ++a) {
        if (target())
            colour_.setTarget(a, taken[a]);
        else
            colour_.setSample(a, taken[a]);
        appendCoordinates(taken[a], colour_.coordinates(target() ? kTargetMode : kSampleMode));
    }
    spectra() = std::move(taken);
    serial() = measuredBy;
    measuredFlag() = true;
}

AverageSetup ValidationWorkflow::beginAverage() {
    resultFile_ = {};
    s_.state.validationAverageDone = false;
    serialBeforeAverage_ = serial();
    AverageSetup setup;
    setup.dataRole = target() ? 1 : 0;
    return setup;
}

bool ValidationWorkflow::endAverage() {
    if (!s_.state.validationAverageDone) {
        // Nothing was taken: the serial of an instrument identified meanwhile does not belong
        // to the spectra that stay.
        serial() = serialBeforeAverage_;
        return false;
    }
    // The average has put its spectra in place; they get their coordinates here.
    commit(spectra(), serial());
    if (target()) writeTargetFile();
    return true;
}

void ValidationWorkflow::writeTargetFile() {
    resultFile_ = qv::writeTargetFile(
        s_.files, s_.state.dataFolder(), s_.state.targetSpectrum, s_.state.targetSerial,
        localTimeOf(s_.clock.calendarSeconds()), s_.strings, s_.format);
    if (!resultFile_.ok()) reportUnsavedFile(s_.prompter, resultFile_);
}

void ValidationWorkflow::exchangeDone() {
    if (onExchangeDone_) onExchangeDone_();
}

}  // namespace qv
