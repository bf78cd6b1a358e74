#pragma once

// How a fleet's readings of its tile set moved from one profiling to the next. Ceramic tiles
// keep their colour; what moves is the instruments. A virtual master is the fleet's mean
// reading, so profiles fitted to it anew take the fleet's common drift out of every instrument
// alike and no profile shows it: this does, from the tiles each profile keeps. The instruments'
// own drifts, each different, set its standard error.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/app/local_time.h"
#include "core/tiles/profile_file.h"

namespace qv {

struct AngleFleetDrift {
    int angleDegrees = 0;
    // The fleet's mean change of L*, a*, b* over the tiles (later less earlier), each with its
    // standard error over the instruments.
    std::array<double, 3> lab{};
    std::array<double, 3> labStandardError{};
    // Its size (CIE 1976), and that size's standard error by leaving each instrument out.
    double deltaE = 0.0;
    double standardError = 0.0;
};

struct FleetDrift {
    std::string master;  // "virtual master" for any fleet mean, else the master's serial
    bool virtualMaster = false;
    std::string setName;
    LocalTime from;  // the earliest of the earlier profiles
    LocalTime to;    // the latest of the later ones
    std::size_t instruments = 0;
    std::size_t tiles = 0;  // the fewest tiles an instrument's two profiles share
    // Student's t for the instruments less one: a standard error from a few instruments is
    // itself uncertain, and the 95 % interval is this many standard errors either side.
    double coverageFactor = 0.0;
    std::array<AngleFleetDrift, kAngleCount> angles{};
};

// Fewer instruments state no standard error worth reading.
inline constexpr std::size_t kMinDriftInstruments = 3;

// Per master and tile set, each instrument's two newest profiles that keep their tiles, compared
// on the tiles both read (by name); a fleet where fewer than kMinDriftInstruments instruments
// have two such profiles shows nothing. Profiles made in the same second are taken newest
// first in the order given (as the logbook lists them).
std::vector<FleetDrift> fleetDrifts(const std::vector<ProfileFile>& profiles);

}  // namespace qv
