#pragma once

// A judgement or repeatability file read and standardised through the profile of the
// instrument whose readings it holds (a judgement's sample), as the standardise verb and export
// --standardised take it.

#include <QString>
#include <optional>
#include <string>

#include "cli/options.h"
#include "cli/session.h"
#include "core/colour/evaluate_hue_control.h"
#include "core/tiles/standardise.h"

namespace qv::cli {

struct StandardiseRequest {
    std::int64_t profile = 0;  // the profile's record; 0: the instrument's newest
    bool refuseDue = false;    // a profile past its date makes nothing (otherwise a warning)
};

struct StandardisedCopy {
    std::string text;   // the copy, with the user's separators
    std::string label;  // the profile it went through
    // A judgement: the difference from the target; a series: the larger of measurements 2 and
    // 3 from measurement 1.
    std::array<double, kAngleCount> deltaEBefore{};
    std::array<double, kAngleCount> deltaEAfter{};
};

// Nothing, with the reason printed, when the file is neither kind, is standardised already, or
// has no usable profile in the session's logbook.
std::optional<StandardisedCopy> standardisedFile(Session& s, const Options& o,
                                                 EvaluateHueControl& engine, const QString& path,
                                                 const StandardiseRequest& request);

}  // namespace qv::cli
