#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>

#include "core/app/seams.h"
#include "core/app/string_ids.h"
#include "core/colour/colour_requests.h"
#include "core/measure/measurement_exchange.h"

namespace qv {

inline constexpr int kMaxAverageMeasurements = 30;

// Who opened the average measurement and where its result goes.
struct AverageSetup {
    // True: the average becomes measurement `repeatSlot` (0 to 2) of the repeatability series.
    bool fromRepeatability = false;
    int repeatSlot = 0;
    // For the validation caller: 1 = target data, 0 = sample data.
    int dataRole = -1;
    // Asked with the serial of the instrument that named itself for the first reading, before
    // it measures; false: the operator goes back and nothing is measured.
    std::function<bool(const std::string&)> checkBeforeFirst;
};

// Three values per angle, indexed [coordinate][angle].
using CoordinateTexts = std::array<std::array<std::string, kAngleCount>, 3>;

// What the average-measurement dialog shows.
struct AverageView {
    CoordinateTexts coordinate;  // L*, a*, b* of the running average
    CoordinateTexts deviation;   // standard deviation of each over the single measurements
    std::string countText = "0";
    bool measureEnabled = true;
    bool finishEnabled = false;
    bool closed = false;
    bool finished = false;  // closed through finish (or the 30th measurement)
};

// Measures the same sample up to 30 times and keeps the spectral average of all measurements.
class AverageWorkflow {
public:
    AverageWorkflow(const Seams& seams, EvaluateHueControl& colour, AverageSetup setup);

    // Runs when a measurement's instrument work is over (taken or failed), before the
    // evaluation and the pause: the dialog ends its busy cursor here.
    void onExchangeDone(std::function<void()> handler) { onExchangeDone_ = std::move(handler); }
    // One measurement. False when it failed (the operator has been told) or the operator went
    // back before the first.
    bool measure();
    // The last measure() stopped before measuring at the operator's word.
    bool wentBack() const { return wentBack_; }
    void finish();
    void cancel();

    const AverageView& view() const { return view_; }
    int measurementCount() const { return count_; }
    // The running average by angle: 31 reflectances each (percent).
    const ThreeAngles& average() const { return average_; }
    // L*, a*, b* of the average, [angle][coordinate].
    const std::array<std::array<double, 3>, kAngleCount>& averageCoordinates() const {
        return averageLab_;
    }
    // Standard deviations [angle][coordinate]; NaN before the second measurement.
    const std::array<std::array<double, 3>, kAngleCount>& deviations() const { return sd_; }
    // The instrument of the last measurement taken: its serial and its type code.
    const std::string& serial() const { return serial_; }
    std::string modelCode() const { return type53_ ? "53" : "40"; }
    // Why the last measurement failed, in English ("no reply to MES").
    const std::string& lastFailure() const { return lastFailure_; }

private:
    bool acquire(ThreeAngles& spectra);
    void recordCoordinates(const ThreeAngles& spectra);
    void updateAverage();
    void showAverageCoordinates();
    void showDeviations();
    void fail(const LinkError& error);

    Seams s_;
    ColourRequests colour_;
    AverageSetup setup_;
    bool type53_ = true;
    std::string serial_;
    int count_ = 0;
    std::map<int, SpectralMeasurement> measurements_;
    // Per measurement: 75° L*, a*, b*, then 45°, then 25°, each cut to two decimals.
    std::map<int, std::array<float, 9>> coordinateHistory_;
    ThreeAngles average_;
    std::array<std::array<double, 3>, kAngleCount> averageLab_{};
    std::array<std::array<double, 3>, kAngleCount> sd_{};
    std::string lastFailure_;
    bool wentBack_ = false;
    AverageView view_;
    std::function<void()> onExchangeDone_;
};

// An average taken without its window (a check's own measuring, the command line): up to
// `readings` measurements, `beforeReading(k)` asked before each after the first; the average
// is finished after the last and cancelled at the first that fails or is declined.
enum class AverageOutcome { Finished, Failed, Declined };
AverageOutcome measureAverage(AverageWorkflow& average, int readings,
                              const std::function<bool(int)>& beforeReading = {});

}  // namespace qv
