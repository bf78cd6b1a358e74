#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/seams.h"
#include "core/checks/plausibility.h"
#include "core/checks/validation_workflow.h"
#include "core/colour/colour_requests.h"
#include "core/measure/average_workflow.h"
#include "core/measure/entries_apply.h"

namespace qv {

// What the inter-instrument dialog shows and which of its buttons work.
struct InterInstrumentView {
    CoordinateTexts target;      // L*, a*, b* of the target, [coordinate][angle]
    CoordinateTexts sample;      // of the sample
    CoordinateTexts difference;  // dL*, da*, db* sample minus target
    std::array<std::string, kAngleCount> deltaE;
    // The formula of the values shown: of the last judgement, of the check a pending
    // verification verifies, or else the one chosen with the thresholds.
    std::string deltaELabel;
    // The instrument that answered last (at Connect, then with each measurement), and the one
    // behind each side of the pair.
    std::string instrumentId = "-----";
    std::string targetInstrument = "-----";
    std::string sampleInstrument = "-----";
    int displayMode = -1;         // -1 nothing shown yet, 1 target values shown, 0 sample values
    bool measureEnabled = false;  // target and sample
    bool calibrateEnabled = false;
    bool judgeEnabled = false;
    bool writeEnabled = false;  // correction factors may be written
    // After a correction was written: the judgement it was based on, and once the sample was
    // measured again, how the two compare.
    std::array<std::string, kAngleCount> beforeDeltaE;
    enum class Correction { None, Written, Verified, NotApplied } correction = Correction::None;
};

// A verification: the judgement before the correction beside the one after it.
struct Verification {
    std::array<double, kAngleCount> beforeDeltaE{};
    bool beforePassed = false;
    // Every angle's difference moved by less than the repeatability threshold: the instrument
    // does not apply the entry yet.
    bool unchanged = false;
};

// The outcome of the last judgement.
struct Judgement {
    DeltaEFormula formula = DeltaEFormula::Cie76;
    std::array<double, kAngleCount> deltaE{};
    // Sample minus target, [angle][coordinate], as single precision.
    std::array<std::array<double, 3>, kAngleCount> difference{};
    double maxDeltaE = 0.0;
    bool passed = false;
    // The first implausible ratio; checked only when the judgement failed.
    std::optional<ImplausibleRatio> implausible;
    SavedFile resultFile;
    std::optional<Verification> verification;  // set when this judgement verified a correction
    // When it was judged, read once: its file and its record carry the same time.
    LocalTime time;
    // The logbook's record of it, with its id; none when the logbook kept none.
    std::optional<CheckRecord> record;
};

// The inter-instrument check: the same specimen measured on the reference instrument (target)
// and on the instrument under correction (sample), then judged angle by angle against the
// inter-instrument threshold. When they disagree and the spectra are plausible, correction
// factors may be written.
class InterInstrumentWorkflow {
public:
    explicit InterInstrumentWorkflow(const Seams& seams);
    ~InterInstrumentWorkflow();

    // Runs once a judgement is made, with the verdict in the shared state (the dialog opens
    // the verdict window here), before the plausibility check.
    void onVerdict(std::function<void()> handler) { onVerdict_ = std::move(handler); }

    // A measurement of the specimen for `role`: it replaces that side of the pair, and the
    // judgement made before it no longer stands.
    void take(ValidationRole role, const Measurement& m);
    // A sample about to be measured on another instrument than the one whose repeatability
    // passed is asked about before it is measured (Yes measures it, No goes back to move the
    // cable); one flag unlocks the check, so the question says which instrument passed.
    bool confirmRepeatableInstrument(const std::string& sampleSerial);
    // A correction was written on the strength of the last judgement: the next judgement,
    // once the sample has been measured again, verifies it, and with what the write changes it
    // also finds whether the instrument applies the entry.
    void correctionWritten(std::optional<WrittenCorrection> written = std::nullopt);
    bool verifying() const { return before_.has_value(); }
    // The sample measured again after the correction, taken and judged as its verification.
    // False when nothing was judged.
    bool verifyCorrection(const Measurement& sample);
    // The thresholds dialog closed: the formula it chose names the empty columns.
    void thresholdsChanged();
    // Reference data were registered from a file.
    void endRegistration();
    // After the connection dialog.
    void connectionChanged();
    void reset();
    // False when a spectrum is missing (nothing judged).
    bool judge();

    // What the operator does next, as the check stands.
    std::string instruction() const;
    // The last judgement's verdict in one line, kept in view once its window closed; empty
    // while nothing stands judged.
    std::string verdictLine() const;

    EvaluateHueControl& colour() { return *colour_; }
    const InterInstrumentView& view() const { return view_; }
    const std::optional<Judgement>& judgement() const { return judgement_; }
    // The last judgement as its verdict shows it.
    CheckVerdict verdict() const;

private:
    void updateJudgeAvailability();
    bool allSpectraPresent() const;
    bool judgeable() const;
    bool confirmDistinctInstruments();
    DeltaEFormula formulaToJudge();
    void showFormula();
    void computeDifferences(Judgement& j);
    void showDifferences(const Judgement& j);
    void checkPlausibility(Judgement& j);
    void verify(Judgement& j);
    void recordJudgement(Judgement& j);
    void showSpectrum(CoordinateTexts& fields, const ThreeAngles& spectra);
    void clearFields();
    void clearJudgement();
    void clearJudgementFields();
    void emptySpectra();

    Seams s_;
    std::unique_ptr<EvaluateHueControl> colour_;
    ColourRequests requests_;
    std::optional<Judgement> judgement_;
    std::optional<Judgement> before_;
    ThreeAngles beforeSample_;
    std::optional<WrittenCorrection> written_;
    bool resampled_ = false;  // the sample was measured again since the correction
    std::function<void()> onVerdict_;
    InterInstrumentView view_;
};

}  // namespace qv
