#pragma once

// A judgement file read and standardised through the profile of its sample instrument, as the
// standardise verb and export --standardised take it.

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

// Nothing, with the reason printed, when the file is no judgement file, is standardised
// already, or has no usable profile in the session's logbook.
std::optional<StandardisedJudgement> standardisedFile(Session& s, const Options& o,
                                                      EvaluateHueControl& engine,
                                                      const QString& path,
                                                      const StandardiseRequest& request);

// The copy's text, with the user's separators.
std::string standardisedText(Session& s, const StandardisedJudgement& result);

}  // namespace qv::cli
