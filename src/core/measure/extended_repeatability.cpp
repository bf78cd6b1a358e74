#include "core/measure/extended_repeatability.h"

#include "core/app/message_box.h"
#include "core/app/thresholds.h"
#include "core/colour/colour_requests.h"
#include "core/link/commands.h"
#include "core/measure/measurement_exchange.h"

namespace qv {

void evaluateReadings(EvaluateHueControl& engine, ExtendedReport& report) {
    ColourRequests colour(engine);
    report.formula = engine.deltaELabel();
    report.readings = static_cast<int>(report.spectra.size());
    report.lab.assign(report.spectra.size(), ReadingLab{});
    for (std::size_t k = 0; k < report.spectra.size(); ++k)
        for (int a = 0; a < kAngleCount; ++a) {
            colour.setTarget(a, report.spectra[k][a]);
            report.lab[k][a] = colour.coordinates(kTargetMode);
        }
    std::vector<LabTriple> angle(report.lab.size());
    for (int a = 0; a < kAngleCount; ++a) {
        for (std::size_t k = 0; k < report.lab.size(); ++k) angle[k] = report.lab[k][a];
        report.spread[a] = spreadOf(angle, engine.deltaEFormula(), engine.deltaEParameters());
    }
}

ExtendedRepeatabilityWorkflow::ExtendedRepeatabilityWorkflow(const Seams& seams)
    : s_(seams), colour_(makeColourEngine(KEY_VERSION3, formulaFromProfile(seams.profile))) {}

ExtendedRepeatabilityWorkflow::~ExtendedRepeatabilityWorkflow() = default;

SeriesOutcome ExtendedRepeatabilityWorkflow::run(const ExtendedSetup& setup) {
    result_.reset();
    resultFile_.clear();
    lastFailure_.clear();
    stopRequested_ = false;
    if (!validExtendedReadings(setup.readings))
        return fail(0, "the number of readings must lie from " +
                           std::to_string(kMinExtendedReadings) + " to " +
                           std::to_string(kMaxExtendedReadings));
    // The formula chosen with the thresholds counts from the next series on.
    colour_->setDeltaEFormula(formulaFromProfile(s_.profile));
    ExtendedReport report;
    for (int k = 1; k <= setup.readings; ++k) {
        if (stopRequested_) return SeriesOutcome::Stopped;
        if (setup.handling && k > 1 && !askToPlaceAgain()) return SeriesOutcome::Declined;
        if (stopRequested_) return SeriesOutcome::Stopped;
        if (onProgress_) onProgress_(k, setup.readings);
        Acquisition taken(s_.state.commPort.get(), s_.clock, MeasureVariant::Repeatability,
                          s_.activity);
        if (!taken.run()) {
            s_.prompter.ask(lostLinkMessage(taken.error()));
            return fail(k, describe(taken.error()));
        }
        const std::string serial = taken.id().outcome == IdentifyOutcome::ThreeField
                                       ? std::string(kThreeFieldIdText)
                                       : taken.id().idText;
        // One series, one instrument: a cable moved to another one mid-series spoils it.
        if (k > 1 && serial != report.serial)
            return fail(k,
                        "another instrument answered (" + serial + " after " + report.serial + ")");
        report.serial = serial;
        report.instrumentType = taken.id().type53() ? "53" : "40";
        report.spectra.push_back(std::move(taken.outcome().spectra));
        if (!taken.id().type53()) s_.clock.sleepMs(kType40ButtonPauseMs);
    }
    return finish(setup, std::move(report));
}

bool ExtendedRepeatabilityWorkflow::askToPlaceAgain() {
    return s_.prompter.ask(messageBox(kStrLiftSpecimen, Icon::Information, Buttons::OkCancel)) ==
           Answer::Ok;
}

SeriesOutcome ExtendedRepeatabilityWorkflow::finish(const ExtendedSetup& setup,
                                                    ExtendedReport report) {
    report.handling = setup.handling;
    report.specimen = setup.specimen;
    report.time = localTimeOf(s_.clock.calendarSeconds());
    evaluateReadings(*colour_, report);
    const SavedFile saved = writeExtendedFile(s_.files, s_.state.dataFolder(), report, s_.format);
    if (!saved.ok()) reportUnsavedFile(s_.prompter, saved);
    resultFile_ = saved.path;
    if (s_.logbook) s_.logbook->recordMarked(extendedRecord(report, resultFile_));
    result_ = std::move(report);
    return SeriesOutcome::Completed;
}

SeriesOutcome ExtendedRepeatabilityWorkflow::fail(int reading, const std::string& why) {
    lastFailure_ = reading > 0 ? "reading " + std::to_string(reading) + ": " + why : why;
    return SeriesOutcome::Failed;
}

}  // namespace qv
