#include "core/tiles/fleet_drift.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/app/student_t.h"
#include "core/colour/tristimulus.h"

namespace qv {

namespace {

// Every virtual master is one fleet's mean, whatever its size: one key for all of them.
constexpr const char* kVirtualKey = "virtual master";

using Change = std::array<std::array<double, 3>, kAngleCount>;  // [angle][L*, a*, b*]

std::array<double, 3> labOf(const AngleSpectrum& reading) {
    const Lab lab = spectrumToLab(SpectrumView(reading.data(), kColourPoints));
    return {lab.L, lab.a, lab.b};
}

// The instrument's mean change over the tiles both profiles read; nothing when they share none.
std::optional<Change> changeOf(const ProfileFile& earlier, const ProfileFile& later,
                               std::size_t& shared) {
    Change sum{};
    shared = 0;
    for (std::size_t k = 0; k < later.tiles.size(); ++k) {
        const auto at =
            std::find(earlier.tileNames.begin(), earlier.tileNames.end(), later.tileNames[k]);
        if (at == earlier.tileNames.end()) continue;
        const TileSpectra& before = earlier.tiles[std::size_t(at - earlier.tileNames.begin())];
        for (int a = 0; a < kAngleCount; ++a) {
            const auto now = labOf(later.tiles[k].sample[a]);
            const auto then = labOf(before.sample[a]);
            for (int c = 0; c < 3; ++c) sum[a][c] += now[c] - then[c];
        }
        ++shared;
    }
    if (shared == 0) return std::nullopt;
    for (auto& angle : sum)
        for (double& v : angle) v /= double(shared);
    return sum;
}

double size(const std::array<double, 3>& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// The mean change, its components' standard errors, and the jackknife error of its size.
AngleFleetDrift driftOf(const std::vector<Change>& changes, int a) {
    const double n = double(changes.size());
    AngleFleetDrift d;
    d.angleDegrees = kAngleDegrees[a];
    for (const Change& c : changes)
        for (int k = 0; k < 3; ++k) d.lab[k] += c[a][k] / n;
    for (int k = 0; k < 3; ++k) {
        double ss = 0.0;
        for (const Change& c : changes) ss += (c[a][k] - d.lab[k]) * (c[a][k] - d.lab[k]);
        d.labStandardError[k] = std::sqrt(ss / (n - 1.0) / n);
    }
    d.deltaE = size(d.lab);
    std::vector<double> left;
    for (const Change& c : changes) {
        std::array<double, 3> without{};
        for (int k = 0; k < 3; ++k) without[k] = (d.lab[k] * n - c[a][k]) / (n - 1.0);
        left.push_back(size(without));
    }
    double mean = 0.0, ss = 0.0;
    for (double v : left) mean += v / n;
    for (double v : left) ss += (v - mean) * (v - mean);
    d.standardError = std::sqrt((n - 1.0) / n * ss);
    return d;
}

// One fleet: its instruments' profiles, newest first per instrument.
std::optional<FleetDrift> fleetOf(
    const std::string& master, const std::string& set,
    std::map<std::string, std::vector<const ProfileFile*>>& bySerial) {
    FleetDrift drift{master, master == kVirtualKey, set, {}, {}, 0, 0, {}};
    std::vector<Change> changes;
    std::string from, to;
    for (auto& [serial, files] : bySerial) {
        if (files.size() < 2) continue;
        // Profiles of the same second keep the order they came in: the logbook's, newest first.
        std::stable_sort(files.begin(), files.end(),
                         [](const ProfileFile* x, const ProfileFile* y) {
                             return resultTimestamp(x->time) > resultTimestamp(y->time);
                         });
        std::size_t shared = 0;
        const auto change = changeOf(*files[1], *files[0], shared);
        if (!change) continue;
        changes.push_back(*change);
        drift.tiles = changes.size() == 1 ? shared : std::min(drift.tiles, shared);
        if (from.empty() || resultTimestamp(files[1]->time) < from) {
            from = resultTimestamp(files[1]->time);
            drift.from = files[1]->time;
        }
        if (resultTimestamp(files[0]->time) > to) {
            to = resultTimestamp(files[0]->time);
            drift.to = files[0]->time;
        }
    }
    if (changes.size() < kMinDriftInstruments) return std::nullopt;
    drift.instruments = changes.size();
    drift.coverageFactor = studentT95(double(changes.size() - 1));
    for (int a = 0; a < kAngleCount; ++a) drift.angles[a] = driftOf(changes, a);
    return drift;
}

}  // namespace

std::vector<FleetDrift> fleetDrifts(const std::vector<ProfileFile>& profiles) {
    // master (a virtual one whatever its size), set -> serial -> its profiles with tiles
    std::map<std::pair<std::string, std::string>,
             std::map<std::string, std::vector<const ProfileFile*>>>
        fleets;
    for (const ProfileFile& p : profiles) {
        if (p.tiles.empty() || p.tiles.size() != p.tileNames.size()) continue;
        const std::string master = isVirtualMaster(p.master) ? kVirtualKey : p.master;
        fleets[{master, p.setName}][p.serial].push_back(&p);
    }
    std::vector<FleetDrift> out;
    for (auto& [key, bySerial] : fleets)
        if (auto drift = fleetOf(key.first, key.second, bySerial)) out.push_back(std::move(*drift));
    return out;
}

}  // namespace qv
