#pragma once

// What the operator sets for an instrument's performance statement, kept beside the tile set's
// limits: per angle the product tolerance and the reference's expanded uncertainty, the
// reference's certificate, the period and specimen of the long-term repeatability. Read as the
// set's limits are read, so that one field refused names itself; and the statement made from
// an instrument's records with them, as the command line and the history window make it.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/log/performance.h"
#include "core/tiles/tile_certificate.h"

namespace qv {

class ProfileStore;

namespace key {
inline constexpr std::array<std::string_view, kAngleCount> kPerformanceTolerance = {
    "PERF_TOLERANCE_25", "PERF_TOLERANCE_45", "PERF_TOLERANCE_75"};
inline constexpr std::array<std::string_view, kAngleCount> kPerformanceReference = {
    "PERF_REF_UNCERTAINTY_25", "PERF_REF_UNCERTAINTY_45", "PERF_REF_UNCERTAINTY_75"};
inline constexpr std::string_view kPerformanceCertificate = "PERF_REF_CERTIFICATE";
inline constexpr std::string_view kPerformanceDays = "PERF_LONG_TERM_DAYS";
inline constexpr std::string_view kPerformanceSpecimen = "PERF_LONG_TERM_SPECIMEN";
inline constexpr std::string_view kPerformanceValidDays = "PERF_VALID_DAYS";
}  // namespace key

inline constexpr int kDefaultLongTermDays = 90;
inline constexpr int kMaxLongTermDays = 3650;
inline constexpr int kDefaultValidDays = 180;
// The texts end up on a one-page statement and in the settings.
inline constexpr std::size_t kMaxCertificateChars = 60;
inline constexpr std::size_t kMaxSpecimenChars = 40;

// As kept: a tolerance left empty is absent.
PerformanceSettings savedPerformanceSettings(ProfileStore& profile);
// For a statement: an angle without a tolerance of its own takes the tile set's product
// tolerance. Whatever the settings hold that is no value reads as not set.
PerformanceSettings performanceSettingsFromProfile(ProfileStore& profile);
void savePerformanceSettings(ProfileStore& profile, const PerformanceSettings& settings);

// The fields as the settings dialog labels them.
enum class PerformanceField { Tolerance, Reference, Certificate, Days, Specimen, ValidDays };
std::string performanceFieldName(PerformanceField field);

struct PerformanceProblem {
    PerformanceField field = PerformanceField::Tolerance;
    int angle = 0;  // the angle's index, for the per-angle fields
};
// In English, naming the field (and the angle) as the dialog labels it.
std::string describe(const PerformanceProblem& problem);

// The fields as typed; an empty per-angle field means none, an empty period the default.
// One line of at most `most` characters (UTF-8 counted by character), not the settings' mark
// for a value never saved.
bool isLineOfText(std::string_view s, std::size_t most);

struct TypedPerformance {
    std::array<std::string, kAngleCount> tolerance;
    std::array<std::string, kAngleCount> reference;
    std::string certificate;
    std::string days;
    std::string specimen;
    std::string validDays;
};
struct PerformanceReading {
    PerformanceSettings settings;  // meaningful only without a problem
    std::optional<PerformanceProblem> problem;
};
// Each value as `limitInput` reads a limit (the user's decimal separator or a point), the
// period a whole number of days from 0 (every record) to kMaxLongTermDays, the texts on one
// line; the first field at fault in the order of the dialog.
PerformanceReading readPerformanceSettings(const TypedPerformance& typed, char decimal);

// A whole number of days from 0 to kMaxLongTermDays, digits only (blanks around them allowed).
std::optional<int> daysInput(std::string_view text);

// "T" for every angle or "T/T/T" for 25, 45 and 75 degrees, each read as a limit.
std::optional<std::array<double, kAngleCount>> perAngleInput(std::string_view text, char decimal);

// The reference instrument of the latest tile set among an instrument's records; empty when
// none.
std::string statementReference(const std::vector<CheckRecord>& records);
// The reference's own reading noise along one direction, per angle, from the latest extended
// check among `referenceRecords` (those of statementReference), judged in the tile set's
// formula; none without one.
std::array<std::optional<double>, kAngleCount> referenceReadingNoise(
    const std::vector<CheckRecord>& records, const std::vector<CheckRecord>& referenceRecords);

// The statement of the instrument `serial` from all its records in `logbook`, in the formula
// of the thresholds in `profile`; nothing when the logbook holds no record of it.
std::optional<PerformanceStatement> instrumentStatement(Logbook& logbook, const std::string& serial,
                                                        const PerformanceSettings& settings,
                                                        ProfileStore& profile,
                                                        const LocalTime& now);

// The reference's certificate typed in the settings, traced to the certificate of that number
// among those on record (newest first): the settings then name it in full (laboratory, date,
// due date) and take its uncertainty at each angle they leave without one. The caution a
// statement carries when that certificate is past its due date on `today`; empty otherwise, and
// when no certificate on record has the number (the typed text then stands as it is).
std::string citeReferenceCertificate(PerformanceSettings& settings,
                                     const std::vector<TileCertificate>& onRecord,
                                     const LocalTime& today);

}  // namespace qv
