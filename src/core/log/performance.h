#pragma once

// An instrument's performance statement: per angle, how uncertain a colour difference it
// measures against the reference's scale is, and how much of a product's tolerance that uses.
// Every contribution comes from records the logbook already holds (or from what the user
// typed from the reference's certificate), each as a standard uncertainty along one direction
// of colour space in the colour-difference formula of the thresholds, the figure behind it
// and the number of readings behind that figure. They combine as a root sum of squares; the
// expanded uncertainty takes k = 2. Taken along the direction in which a product differs from
// its standard, the error of the colour difference is that of one coordinate, so k = 2 covers
// about 95 % of checks.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/logbook.h"
#include "core/colour/delta_e.h"

namespace qv {

inline constexpr double kCoverageFactor = 2.0;
// The long-term repeatability is stated from this many records of one specimen or more.
inline constexpr int kLongTermMinimumRecords = 5;
// A three-reading check with no specimen name counts as the specimen of another record when
// their colours at 45° lie this close (dE*ab).
inline constexpr double kSameSpecimenDeltaE = 1.0;
// The instrument reports reflectances to this step (%); rounding spreads evenly over it.
inline constexpr double kReadingStepPercent = 0.01;

enum class ContributionKind { ShortTerm, LongTerm, Agreement, Reference, Resolution };
inline constexpr std::size_t kContributionCount = 5;
std::string_view contributionName(ContributionKind kind);  // "Short-term repeatability", ...
std::string_view contributionKey(ContributionKind kind);   // "shortTerm", ... (JSON)

struct Contribution {
    ContributionKind kind = ContributionKind::ShortTerm;
    bool available = false;
    double standard = 0.0;  // along one direction, in the thresholds' formula; NaN when missing
    double figure = 0.0;    // as recorded: MCDM, mean dE, expanded uncertainty, step (%)
    int readings = 0;       // readings, tiles or records behind the figure
    std::optional<LocalTime> from;  // the oldest record behind it (long-term)
    std::optional<LocalTime> date;  // the newest record behind it
    std::int64_t record = 0;        // that record's id, 0 when none
    std::string source;             // in English: what the figure is and where it comes from
};

enum class ToleranceBand { UpTo10, UpTo25, UpTo30, Above30 };
// "up to 10 %", "up to 25 %", "up to 30 %", "above 30 %"
std::string_view bandName(ToleranceBand band);
ToleranceBand bandOf(double share);

struct AngleBudget {
    int angleDegrees = 0;
    std::array<Contribution, kContributionCount> contributions{};  // in the order of the kinds
    double standard = 0.0;  // combined; NaN when the short-term repeatability is missing
    double expanded = 0.0;  // k = 2
    std::optional<double> tolerance;
    std::optional<double> share;  // expanded / tolerance
    std::optional<ToleranceBand> band;
};

// What the user sets for a statement: per angle the product tolerance and the reference's
// expanded uncertainty (k = 2, from its certificate), both in the thresholds' formula; the
// specimen and the period of the long-term repeatability.
struct PerformanceSettings {
    std::array<std::optional<double>, kAngleCount> tolerance{};
    std::array<std::optional<double>, kAngleCount> referenceExpanded{};
    std::string referenceCertificate;  // as typed: the certificate's number or date
    std::string specimen;              // empty: that of the latest extended check
    int longTermDays = 90;             // 0: every record
};

struct PerformanceStatement {
    std::string serial;
    std::string instrumentType;
    std::string referenceSerial;  // of the tile set behind the agreement, when there is one
    std::string formula;          // the label of the thresholds' formula ("dE*ab", ...)
    std::string specimen;         // of the repeatability
    LocalTime made;
    std::array<AngleBudget, kAngleCount> angles{};
    std::vector<std::string> missing;  // in English: what is not on record, and what to do
};

// The records of the long-term repeatability: the instrument's repeatability checks (three
// readings or extended) of one specimen, by its name or, for a check without a name, by its
// colour at 45° near that of the specimen's latest named check; since "YYYY-MM-DD" or empty.
// Newest first, as the logbook gives them.
std::vector<CheckRecord> longTermRecords(const std::vector<CheckRecord>& records,
                                         const std::string& specimen, const std::string& since);

// The long-term spread: per angle the mean colour difference of the records' colours from
// their mean (MCDM, in `formula`); NaN with fewer than two records.
std::array<double, kAngleCount> longTermMcdm(const std::vector<CheckRecord>& chosen,
                                             DeltaEFormula formula,
                                             const DeltaEParameters& parameters = {});

// The standard uncertainty that rounding to the reading step gives a colour of lightness
// `lightness` (a neutral grey), along one direction in `formula`.
double resolutionSd(double lightness, DeltaEFormula formula,
                    const DeltaEParameters& parameters = {});

// From the instrument's records (newest first, as the logbook gives them), as of `now`.
PerformanceStatement performanceStatement(const std::vector<CheckRecord>& records,
                                          const PerformanceSettings& settings,
                                          DeltaEFormula formula, const LocalTime& now,
                                          const DeltaEParameters& parameters = {});

}  // namespace qv
