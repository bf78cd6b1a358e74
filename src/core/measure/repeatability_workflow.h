#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "core/app/seams.h"
#include "core/app/string_ids.h"
#include "core/colour/colour_requests.h"
#include "core/measure/average_workflow.h"

namespace qv {

inline constexpr int kSeriesLength = 3;
// Instructions before measurements 2 and 3, after a completed series; the question asked
// before measurements 2 and 3.

// What the repeatability dialog shows.
struct RepeatView {
    std::string counterText = "0/3";
    int instructionId = 0;       // 0: the dialog layout's first instruction
    CoordinateTexts coordinate;  // L*, a*, b* of the latest measurement, [coordinate][angle]
    // dL*, da*, db* and the total colour difference against measurement 1, [row][angle].
    std::array<std::array<std::string, kAngleCount>, 4> difference;
    std::string deltaELabel;  // the formula of the total colour difference
    bool measureEnabled = false;
    bool averageEnabled = false;
    bool calibrateEnabled = false;
    bool closed = false;
    // The last series' verdict, kept in view after its window closed until the next series
    // starts; empty before.
    std::string verdict;
    bool verdictPassed = false;
};

enum class MeasureResult { Taken, Declined, Failed };

// The repeatability check: three measurements of one sample (each direct or an average),
// colour differences of measurements 2 and 3 against measurement 1, the result file and the
// verdict against the repeatability threshold.
class RepeatabilityWorkflow {
public:
    explicit RepeatabilityWorkflow(const Seams& seams);
    ~RepeatabilityWorkflow();

    // Runs once a series is judged, with the verdict already in the shared state (the dialog
    // opens the verdict window here).
    void onVerdict(std::function<void()> handler) { onVerdict_ = std::move(handler); }
    // Runs when a measurement's instrument work is over (taken, declined or failed), before
    // the evaluation and the verdict: the dialog ends its busy cursor here.
    void onExchangeDone(std::function<void()> handler) { onExchangeDone_ = std::move(handler); }
    // Runs while a measurement is under way whenever the operator must see the view as it now
    // stands: before the identification, before the question and before the measurement, so
    // that the new counter, the instruction and the emptied fields are shown meanwhile.
    void onViewChanged(std::function<void()> handler) { onViewChanged_ = std::move(handler); }
    // The question before measurements 2 and 3 (the command line takes them without asking).
    void setAskBeforeMeasuring(bool ask) { ask_ = ask; }
    // The specimen's name as the operator gave it, kept with the record: the long-term
    // repeatability takes checks of one specimen by this name only.
    void setSpecimen(std::string specimen) { specimen_ = std::move(specimen); }

    // After the connection dialog: the measuring buttons follow the connection.
    void connectionChanged();
    MeasureResult measure();
    // The average measurement: the setup to open it with, then its outcome.
    AverageSetup beginAverage();
    void endAverage(const AverageWorkflow& average);
    void close();
    // True when the dialog closes.
    bool cancel();

    EvaluateHueControl& colour() { return *colour_; }
    const RepeatView& view() const { return view_; }
    // The last series as its verdict shows it.
    const CheckVerdict& verdict() const { return verdict_; }
    int measuredCount() const { return measuredCount_; }
    int slotIndex() const { return slotIndex_; }
    bool seriesValid() const { return seriesValid_; }
    const std::string& instrumentId() const { return instrumentId_; }
    // Total colour differences of measurements 2 and 3 by angle.
    const std::array<std::array<double, kAngleCount>, 2>& deltaE() const { return deltaE_; }
    // The last result file written; empty when none could be written.
    const std::string& resultFile() const { return resultFile_; }
    const std::string& lastFailure() const { return lastFailure_; }

private:
    void applyFormulaAtSeriesStart();
    MeasureResult failSeries(const LinkError& error);
    void afterMeasurement();
    void exchangeDone();
    void viewChanged();
    void evaluateFirst();
    void evaluateLater(int k);
    void judgeSeries();
    void recordSeries();
    void showCounter(int n);
    void clearCoordinates();
    void showCoordinates(int angle, const AngleSpectrum& evaluated);
    void clearDifferences();
    std::string display(double v) const;

    Seams s_;
    std::unique_ptr<EvaluateHueControl> colour_;
    ColourRequests requests_;
    std::function<void()> onVerdict_;
    std::function<void()> onExchangeDone_;
    std::function<void()> onViewChanged_;
    bool ask_ = true;
    std::string specimen_;
    int measuredCount_ = 0;
    int slotIndex_ = 0;
    bool seriesValid_ = false;
    bool measuring_ = false;
    bool averaging_ = false;
    bool type53_ = true;
    std::string instrumentId_;
    std::array<std::array<double, kAngleCount>, 2> deltaE_{};
    std::string resultFile_;
    std::string lastFailure_;
    RepeatView view_;
    CheckVerdict verdict_;
};

}  // namespace qv
