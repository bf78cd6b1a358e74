#include "core/tiles/standardise.h"

#include <cstdio>

#include "core/colour/colour_requests.h"
#include "core/colour/evaluated_spectrum.h"
#include "core/colour/items.h"
#include "core/tiles/set_files.h"

namespace qv {

std::string profileLabel(std::int64_t id, const ProfileFile& p) {
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", p.time.year, p.time.month, p.time.day);
    return "profile " + std::to_string(id) + " to " + p.master + " of " + date;
}

bool profileDue(const ProfileFile& p, const LocalTime& now) {
    return resultTimestamp(now) > resultTimestamp(p.validUntil);
}

std::optional<StandardisedJudgement> standardiseJudgement(EvaluateHueControl& engine,
                                                          const JudgementFile& file,
                                                          const Profile& profile,
                                                          const std::string& label) {
    const TileSpectra read = judgedTile(file);
    const auto sample = standardise(profile, read.sample);
    if (!sample) return std::nullopt;
    applyStandardViewing(engine);
    ColourRequests colour(engine);
    colour.prepareDifferences();
    StandardisedJudgement out{file, {}, {}};
    out.file.standardisedBy = label;
    for (int a = 0; a < kAngleCount; ++a) {
        // Before and after in the same formula, whatever the check was judged in.
        colour.setTarget(a, read.target[a]);
        colour.request(item::kTotalDifference, kTargetMode);
        colour.setSample(a, read.sample[a]);
        out.deltaEBefore[a] = colour.request(item::kTotalDifference, kSampleMode);
        colour.setSample(a, (*sample)[a]);
        out.deltaEAfter[a] = colour.request(item::kTotalDifference, kSampleMode);
        AngleSpectrum row = (*sample)[a];
        appendCoordinates(row, colour.coordinates(kSampleMode));
        setDifference(row, out.deltaEAfter[a]);
        out.file.sample[a] = std::move(row);
    }
    return out;
}

}  // namespace qv
