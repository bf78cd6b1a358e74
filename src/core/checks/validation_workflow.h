#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/app/file_store.h"
#include "core/app/seams.h"
#include "core/colour/colour_requests.h"
#include "core/measure/average_workflow.h"

namespace qv {

// Which instrument a validation measurement is for.
enum class ValidationRole { Sample = 0, Target = 1 };

// One measurement of the specimen for the inter-instrument check, on the reference instrument
// (the target) or on the instrument under correction (the sample), taken directly or handed
// to the average measurement. A measurement counts as a whole: it is handed back with its
// coordinates appended only once it has succeeded, and the check that asked for it takes it.
class ValidationWorkflow {
public:
    ValidationWorkflow(const Seams& seams, EvaluateHueControl& colour, ValidationRole role);

    // Runs when the instrument work is over, before any message: the dialog ends its busy
    // cursor here.
    void onExchangeDone(std::function<void()> handler) { onExchangeDone_ = std::move(handler); }

    // Asked with the serial of the instrument that identified itself, before it measures;
    // false: the operator goes back, nothing is measured.
    void checkBeforeMeasuring(std::function<bool(const std::string&)> check) {
        checkBeforeMeasuring_ = std::move(check);
    }
    // Identification and one measurement; nothing when it failed (the operator was told) or
    // the operator went back.
    std::optional<Measurement> measure();
    // `readings` measurements averaged as the average measurement takes them.
    // `beforeReading(k)` is asked before each reading from the second on;
    // false ends the average with nothing. Nothing too when a reading failed (the operator was
    // told) or the operator went back before the first.
    std::optional<Measurement> measureAverage(int readings,
                                              const std::function<bool(int)>& beforeReading = {});
    // The last measure() stopped before measuring at the operator's word.
    bool wentBack() const { return wentBack_; }
    // The measurement that proves a correction is not acknowledged in a box of its own: the
    // judgement follows at once, and the status line says it was taken.
    void acknowledgeInStatusLine() { boxWhenFinished_ = false; }
    // The average measurement: the setup to open it with, then what it handed over (nothing
    // when it was cancelled).
    AverageSetup beginAverage();
    std::optional<Measurement> endAverage(const AverageWorkflow& average);

    ValidationRole role() const { return role_; }
    EvaluateHueControl& colour() { return colour_.engine(); }
    // String 179 or 180.
    int headingId() const;
    // The target result file of this measurement; its error when it could not be written.
    const SavedFile& resultFile() const { return resultFile_; }
    // Why the last measurement failed, in English; empty after a success.
    const std::string& lastFailure() const { return lastFailure_; }

private:
    bool target() const { return role_ == ValidationRole::Target; }
    // The spectra with their coordinates appended, as the check takes them.
    Measurement evaluated(ThreeAngles taken, std::string serial, std::string type);
    void writeTargetFile(const Measurement& m);
    void exchangeDone();

    Seams s_;
    ColourRequests colour_;
    ValidationRole role_;
    bool type53_ = true;
    bool boxWhenFinished_ = true;
    SavedFile resultFile_;
    std::string lastFailure_;
    std::function<void()> onExchangeDone_;
    std::function<bool(const std::string&)> checkBeforeMeasuring_;
    bool wentBack_ = false;
};

}  // namespace qv
