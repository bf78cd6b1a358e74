#pragma once

// The daily check tile: the tile read once, brought to its certificate's temperature when the
// room's is given, judged against the certificate and recorded. It only measures: it never
// writes an entry nor changes a setting of the instrument.

#include <cstdint>
#include <optional>
#include <string>

#include "core/app/logbook.h"
#include "core/app/seams.h"
#include "core/tiles/tile_certificate.h"

namespace qv {

struct CheckTileRun {
    bool ran = false;
    std::string problem;  // why it could not run: the link, the certificate
    TileCheck check;
    std::string serial;
    std::string type;  // "53", "40"
    // The logbook's record of it; none when no logbook kept it.
    std::optional<CheckRecord> record;
};

// The record a check tile leaves: per angle the colour judged (L*, a*, b*) and its difference,
// the limit as the threshold, the tile as the specimen, the certificate and the temperature in
// the comment.
CheckRecord checkTileRecord(const CheckTileRun& run, const TileCertificate& certificate,
                            const LocalTime& time);

// Reads the tile on the seams' port and judges it. The instrument's allowance is the
// inter-instrument threshold the profile keeps; today is the seams' clock's.
CheckTileRun runCheckTile(Seams& seams, const TileCertificate& certificate,
                          std::optional<double> temperatureC);

}  // namespace qv
