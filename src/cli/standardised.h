#pragma once

// A judgement, repeatability or CGATS file read and standardised through the profile of the
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
    // Whose readings a CGATS file holds when it names no instrument; never a guess.
    std::string serial;
};

struct StandardisedCopy {
    std::string text;    // the copy, with the user's separators
    std::string label;   // the profile it went through
    bool cgats = false;  // the copy is CGATS text, as its file was
    // A judgement: the difference from the target; a series: the larger of measurements 2 and
    // 3 from measurement 1; a CGATS file: its pair's, when it holds one.
    bool compared = true;
    std::array<double, kAngleCount> deltaEBefore{};
    std::array<double, kAngleCount> deltaEAfter{};
};

// Nothing, with the reason printed, when the file is none of these kinds nor CGATS, is standardised
// already, or has no usable profile in the session's logbook.
std::optional<StandardisedCopy> standardisedFile(Session& s, const Options& o,
                                                 EvaluateHueControl& engine, const QString& path,
                                                 const StandardiseRequest& request);

}  // namespace qv::cli
