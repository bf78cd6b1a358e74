#pragma once

#include <cstdint>
#include <string>

#include "core/app/clock.h"
#include "core/app/serial_channel.h"
#include "core/colour/spectrum.h"

namespace qv {

// Which dialog takes the measurement: each has its own small differences in the sequence.
enum class MeasureVariant {
    Repeatability,     // 20 s for the first data line
    Average,           // STR before CPR on a type-40 instrument
    ValidationTarget,  // the 45° data line is one raw read after a fixed wait
    ValidationSample,
};

// Replies and pauses of the measurement sequence.
inline constexpr int kStrReplyTimeoutS = 1;
inline constexpr int kCprReplyTimeoutS = 5;
inline constexpr int kMeasureReplyTimeoutS = 20;
inline constexpr int kDataLineTimeoutS = 5;
inline constexpr int kRepeatFirstDataLineTimeoutS = 20;
inline constexpr int kCompanionLineTimeoutS = 5;
// Type-40 instruments need time between commands.
inline constexpr std::uint32_t kType40PreambleWaitMs = 2500;
inline constexpr std::uint32_t kType40LineWaitMs = 500;
// Before the measure button of a type-40 instrument is offered again.
inline constexpr std::uint32_t kType40ButtonPauseMs = 1500;
// The raw 45° read of a target measurement.
inline constexpr std::uint32_t kRawReadWaitMs = 1200;
inline constexpr std::size_t kRawReadMaxBytes = 512;

enum class MeasureFailure {
    None,
    WriteFailed,  // the command could not be written to the port
    NoReply,      // nothing arrived within the time-out
    Refused,      // the instrument answered STR with something other than OK00
};

// The step of the sequence an outcome refers to.
enum class MeasureStep { Str, Cpr, Mes, DataLine, CompanionLine, FinalLine };

struct MeasureOutcome {
    MeasureFailure failure = MeasureFailure::None;
    MeasureStep step = MeasureStep::Mes;  // where it failed
    int angle = -1;                       // angle index of a failed data or companion line
    // Spectra in angle order. On failure only the angles parsed before it are filled; callers
    // discard them.
    ThreeAngles spectra;

    bool ok() const { return failure == MeasureFailure::None; }
    // A short English reason, for the command line ("no reply to MES").
    std::string reason() const;
};

// Runs one measurement (after identification has chosen the timing variant): optional
// type-40 preamble, MES, three data lines each with its companion line, and on a type-53
// instrument one more line. Stops at the first failure; nothing is retried.
MeasureOutcome acquireMeasurement(SerialChannel& port, Clock& clock, MeasureVariant variant,
                                  bool type53);

}  // namespace qv
