#pragma once

#include <cstdint>
#include <string>

#include "core/app/activity.h"
#include "core/app/clock.h"
#include "core/app/serial_channel.h"
#include "core/colour/spectrum.h"
#include "core/link/identify.h"
#include "core/link/link_failure.h"

namespace qv {

// Which dialog takes the measurement: each has its own small differences in the sequence.
enum class MeasureVariant {
    Repeatability,     // 20 s for the first data line
    Average,           // STR before CPR on a type-40 instrument
    ValidationTarget,  // the 45° data line is one raw read after a fixed wait
    ValidationSample,
};

struct MeasureOutcome {
    LinkError error;  // where and how it failed
    // Spectra in angle order. On failure only the angles parsed before it are filled; callers
    // discard them.
    ThreeAngles spectra;

    bool ok() const { return error.ok(); }
};

// A measurement of the specimen as a task hands it back to the check that asked for it: the
// spectra in angle order (reflectances in percent, then what the task appended), the serial of
// the instrument that took them and its type code ("53", "40").
struct Measurement {
    ThreeAngles spectra;
    std::string serial;
    std::string type;
};

// Runs one measurement (after identification has chosen the timing variant): optional
// type-40 preamble, MES, three data lines each with its companion line, and on a type-53
// instrument one more line. Stops at the first failure; nothing is retried.
// `activity` (may be null) is told each step as it begins.
MeasureOutcome acquireMeasurement(SerialChannel& port, Clock& clock, MeasureVariant variant,
                                  bool type53, Activity* activity = nullptr);

// What a measuring dialog does on each press: identify the instrument (which chooses the timing
// variant), then take the measurement; a dialog may ask the operator in between. Without a port
// the identification fails as a command that could not be sent.
class Acquisition {
public:
    Acquisition(SerialChannel* port, Clock& clock, MeasureVariant variant,
                Activity* activity = nullptr)
        : port_(port), clock_(clock), variant_(variant), activity_(activity) {}

    bool identify();
    // After a successful identify().
    bool measure();
    bool run() { return identify() && measure(); }

    const IdentifyResult& id() const { return id_; }
    MeasureOutcome& outcome() { return outcome_; }
    // The failure, whichever step it was at.
    const LinkError& error() const { return id_.ok() ? outcome_.error : id_.error; }

private:
    SerialChannel* port_;
    Clock& clock_;
    MeasureVariant variant_;
    Activity* activity_;
    IdentifyResult id_;
    MeasureOutcome outcome_;
};

}  // namespace qv
