#pragma once

// Readings standardised to the master through an instrument's profile, as copies: the file the
// instruments' readings came in is never changed, and a copy says which profile made it, so it
// is never standardised twice.

#include <array>
#include <optional>
#include <string>

#include "core/app/local_time.h"
#include "core/colour/evaluate_hue_control.h"
#include "core/files/cgats_file.h"
#include "core/files/repeatability_file.h"
#include "core/files/validation_files.h"
#include "core/tiles/profile_file.h"

namespace qv {

// What a copy names: "profile 12 to L70S-100001 of 2026-12-09".
std::string profileLabel(std::int64_t id, const ProfileFile& profile);

// Whether the profile is past the date it stood until at `now`: due again.
bool profileDue(const ProfileFile& profile, const LocalTime& now);

// A check of the instrument against the master made after the profile, standardised through it,
// must land where the profile's residual allows: within half as much again as the 95th
// percentile it states for a tile left out (a colour the profile was not fitted on lands beyond
// that less than one time in twenty while the profile holds). Why the profile is due when the
// check lands further off at an angle; empty when it does not, or the check cannot tell (a
// file not whole).
inline constexpr double kCheckAllowance = 1.5;
std::string dueByCheck(EvaluateHueControl& engine, const ProfileFile& profile,
                       const JudgementFile& check);

struct StandardisedPair {
    ThreeAngles sample;  // the sample as the master would read it: 31 reflectances per angle
    std::array<double, kAngleCount> deltaEBefore{};
    std::array<double, kAngleCount> deltaEAfter{};
};

// A pair of readings (the master's or the reference's as target, the instrument's as sample)
// with the sample standardised: each angle's difference in the engine's formula, as read and
// after. Nothing when a reading holds fewer than 31 reflectances.
std::optional<StandardisedPair> standardisePair(EvaluateHueControl& engine, const TileSpectra& pair,
                                                const Profile& profile);

struct StandardisedJudgement {
    JudgementFile file;  // the sample's rows as the master would read them, `standardisedBy` set
    std::array<double, kAngleCount> deltaEBefore{};
    std::array<double, kAngleCount> deltaEAfter{};
};

// The judgement's sample (the instrument the profile is of) standardised; its coordinates and
// colour difference from the target computed afresh by `engine` (its formula), the target as
// read. Nothing when the file holds no 31 reflectances per angle.
std::optional<StandardisedJudgement> standardiseJudgement(EvaluateHueControl& engine,
                                                          const JudgementFile& file,
                                                          const Profile& profile,
                                                          const std::string& label);

struct StandardisedSeries {
    RepeatabilityFile file;  // every reading as the master would read it, `standardisedBy` set
    // The larger difference of measurements 2 and 3 from measurement 1, per angle.
    std::array<double, kAngleCount> deltaEBefore{};
    std::array<double, kAngleCount> deltaEAfter{};
};

// A repeatability series standardised reading by reading; the coordinates and the differences
// from measurement 1 computed afresh by `engine`. Nothing when a row holds no 31 reflectances.
std::optional<StandardisedSeries> standardiseSeries(EvaluateHueControl& engine,
                                                    const RepeatabilityFile& file,
                                                    const Profile& profile,
                                                    const std::string& label);

// A CGATS table names its instruments under INSTRUMENTATION: the program's export of a
// judgement "target A, sample B", of any other file the one serial.
struct CgatsInstruments {
    std::string target;  // empty unless the table holds a pair
    std::string serial;  // the instrument whose readings a profile standardises; empty: not named
};
CgatsInstruments cgatsInstruments(const CgatsTable& table);

struct StandardisedCgats {
    CgatsTable table;  // the instrument's spectra as the master would read them
    // A pair: each angle's difference of the sample from the target, before and after.
    bool compared = false;
    std::array<double, kAngleCount> deltaEBefore{};
    std::array<double, kAngleCount> deltaEAfter{};
};

// The readings of the instrument the profile is of standardised: in a pair the sets named
// "sample ...", otherwise every set; the others, and every other field, as they were.
FileRead<StandardisedCgats> standardiseCgats(EvaluateHueControl& engine, const CgatsTable& table,
                                             const Profile& profile, const std::string& label);

}  // namespace qv
