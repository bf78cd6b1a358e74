#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/app/seams.h"
#include "core/colour/evaluate_hue_control.h"
#include "core/files/extended_repeatability_file.h"

namespace qv {

// How many readings the check over many readings takes.
inline constexpr int kMinExtendedReadings = 10;
inline constexpr int kMaxExtendedReadings = 30;
inline constexpr int kDefaultExtendedReadings = 20;

inline bool validExtendedReadings(int n) {
    return n >= kMinExtendedReadings && n <= kMaxExtendedReadings;
}

struct ExtendedSetup {
    int readings = kDefaultExtendedReadings;
    // Lift the specimen and place it again before each reading after the first: the spread
    // then holds the handling as well as the instrument's own noise.
    bool handling = false;
    std::string specimen;  // as the operator typed it; may be empty
};

enum class SeriesOutcome {
    Completed,  // every reading taken, the result handed back (and its file written if it could be)
    Declined,   // the operator declined to place the specimen again
    Stopped,    // stop() before a reading
    Failed,     // a reading failed: lastFailure() says why
};

// Each reading's L*, a*, b* per angle from its spectra, and per angle their spread about the
// mean in the engine's colour-difference formula (its label goes into the report).
void evaluateReadings(EvaluateHueControl& engine, ExtendedReport& report);

// The repeatability check over many readings: N direct readings of one specimen, each taken as
// the repeatability check takes one, their spread per angle, the result file and the logbook
// record. No threshold: the check states the spread and judges nothing. Nothing is written or
// recorded unless every reading was taken.
class ExtendedRepeatabilityWorkflow {
public:
    explicit ExtendedRepeatabilityWorkflow(const Seams& seams);
    ~ExtendedRepeatabilityWorkflow();

    // Runs as each reading begins (1 to N), so that the window shows the count meanwhile.
    void onProgress(std::function<void(int reading, int of)> handler) {
        onProgress_ = std::move(handler);
    }
    // Readings outside kMinExtendedReadings..kMaxExtendedReadings are refused as a failure.
    SeriesOutcome run(const ExtendedSetup& setup);
    // Asks a running series to stop before its next reading.
    void stop() { stopRequested_ = true; }

    // The completed series' result; nothing before one completed or after another failed.
    const std::optional<ExtendedReport>& result() const { return result_; }
    // The result file's path; empty when none could be written.
    const std::string& resultFile() const { return resultFile_; }
    const std::string& lastFailure() const { return lastFailure_; }

private:
    SeriesOutcome fail(int reading, const std::string& why);
    bool askToPlaceAgain();
    SeriesOutcome finish(const ExtendedSetup& setup, ExtendedReport report);

    Seams s_;
    std::unique_ptr<EvaluateHueControl> colour_;
    std::function<void(int, int)> onProgress_;
    bool stopRequested_ = false;
    std::optional<ExtendedReport> result_;
    std::string resultFile_;
    std::string lastFailure_;
};

}  // namespace qv
