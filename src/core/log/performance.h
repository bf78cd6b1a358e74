#pragma once

// An instrument's performance statement: per angle, how uncertain a colour difference it
// measures against the reference's scale is, and how much of a product's tolerance that uses.
// Every contribution comes from records the logbook already holds (or from what the user
// typed from the reference's certificate), each as a standard uncertainty along one direction
// of colour space in the colour-difference formula of the thresholds, the figure behind it
// and the number of readings behind that figure. They combine as a root sum of squares. Taken
// along the direction in which a product differs from its standard, the error of the colour
// difference is that of one coordinate. No expanded uncertainty is stated unless the reading
// noise, the agreement with the reference and the reference's own uncertainty are all known:
// without any one of them the figure is not an uncertainty of the colour difference at all.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/logbook.h"
#include "core/app/student_t.h"
#include "core/colour/delta_e.h"
#include "core/colour/spread.h"

namespace qv {

// The reference's certificate states its uncertainty with this factor.
inline constexpr double kCoverageFactor = 2.0;
// A colour difference below this many combined standard uncertainties is not normal: a product
// equal to its standard reads a difference that is the length of the error vector, never
// negative. There the 95th percentile of that length is stated instead of k u.
inline constexpr double kNearStandardFactor = 3.0;
// Draws of the Monte Carlo of that length (fixed seed: the same records give the same page).
inline constexpr int kNearStandardDraws = 20000;
// A gauge study's share is six standard deviations over the tolerance.
inline constexpr double kGaugeSpread = 6.0;
// The long-term repeatability is stated from this many records of one specimen or more, taken
// on this many distinct days spanning this many days at least; fewer is a short period, which
// shows the noise of a week, not its drift.
inline constexpr int kLongTermMinimumRecords = 5;
inline constexpr int kLongTermMinimumDays = 3;
inline constexpr int kLongTermMinimumSpanDays = 7;
// The instrument reports reflectances to this step (%); rounding spreads evenly over it.
inline constexpr double kReadingStepPercent = 0.01;

enum class ContributionKind { ShortTerm, LongTerm, Agreement, Reference, Resolution };
inline constexpr std::size_t kContributionCount = 5;
std::string_view contributionName(ContributionKind kind);  // "Short-term repeatability", ...
std::string_view contributionKey(ContributionKind kind);   // "shortTerm", ... (JSON)

struct Contribution {
    ContributionKind kind = ContributionKind::ShortTerm;
    bool available = false;
    // The short-term repeatability, the agreement and the reference's uncertainty must all be
    // known before an uncertainty is stated; the long term may be left out (the statement
    // then speaks of a short period) and the resolution is always known.
    bool essential = false;
    double standard = 0.0;   // along one direction, in the thresholds' formula; NaN when missing
    double figure = 0.0;     // as recorded: MCDM, mean dE, expanded uncertainty, step (%)
    std::string figureName;  // what the figure is: "MCDM", "RMS", "mean", "U", "step"
    int readings = 0;        // readings, tiles or records behind the figure
    double degreesOfFreedom = 0.0;  // infinite for a figure taken as known
    // Per coordinate (lightness, chroma, hue: see coordinateFrame; as the formula weighs them)
    // the variance this part adds to one reading's error, when its records tell the coordinates
    // apart; none: the directional variance (standard squared) alike in all three.
    std::optional<std::array<double, 3>> axisVariance;
    // The agreement from a set's tiles: per tile, how many times the variance of a reading's
    // noise at its lightness is that at the repeatability specimen's (the noise is the
    // instrument's in reflectance, and a dark colour's L*, a*, b* move far more with it).
    std::vector<double> noiseScale;
    std::optional<LocalTime> from;  // the oldest record behind it (long-term)
    std::optional<LocalTime> date;  // the newest record behind it
    std::int64_t record = 0;        // that record's id, 0 when none
    std::string source;             // in English: what the figure is and where it comes from
};

enum class ToleranceBand { UpTo10, UpTo25, UpTo30, Above30 };
// "up to 10 %", "up to 25 %", "up to 30 %", "above 30 %"
std::string_view bandName(ToleranceBand band);
ToleranceBand bandOf(double share);

// The colours an angle's agreement speaks for: those of the tile set behind it, what the set
// could not see, and what its diagnosis decided. Wavelength errors (shift, scale, bandwidth)
// the set cannot see move chromatic colours and leave greys alone: the agreement then holds
// for near-neutral colours only.
struct AngleScope {
    bool known = false;  // a diagnosed tile set keeps it
    double lightnessLow = 0.0, lightnessHigh = 0.0;
    double chromaLow = 0.0, chromaHigh = 0.0;
    double hueFrom = 0.0, hueTo = 0.0;  // degrees, counter-clockwise; NaN: no chromatic tile
    std::vector<std::string> unseen;    // term keys ("shift", "bandwidth", ...)
    std::string decision;               // "write-factors", "service", ...
    std::string reason;
    bool neutralOnly = false;
};

struct AngleBudget {
    int angleDegrees = 0;
    std::array<Contribution, kContributionCount> contributions{};  // in the order of the kinds
    // Combined and expanded; NaN, and no share or band, unless every essential part is known.
    double standard = 0.0;
    double expanded = 0.0;  // k u, for products at least kNearStandardFactor u from their standard
    double effectiveDof = 0.0;    // Welch-Satterthwaite
    double coverageFactor = 0.0;  // Student's t at 95 % two-sided for effectiveDof
    // The 95th percentile of the colour difference one reading of a product equal to its
    // standard gives, from the spread of each coordinate (Monte Carlo); for products within
    // kNearStandardFactor u of their standard.
    double nearStandard = 0.0;
    // Per coordinate (lightness, chroma, hue, as the formula weighs them) the variance of one
    // reading's error: the reading noise as the extended check's spread of L*, a*, b* falls on
    // each, the agreement as the tiles' differences do at their own colours, every other part
    // alike in all three.
    std::array<double, 3> axisVariance{};
    // The same at each colour of the set, when the set keeps its tiles: the reading noise as it
    // is at that colour (axisVariance holds their mean). A product is like one of them, not like
    // their average: the near-standard percentile and the directional U take their mixture.
    std::vector<std::array<double, 3>> colourVariance;
    // Whether the agreement is split per coordinate. A tile set recorded before its tiles'
    // differences were kept gives only their overall spread, taken alike along L*, a* and b*:
    // U then does not follow a difference's direction (it covered lightness-only differences
    // 99 % of the time on simulated instruments), and the 95th percentile near the standard,
    // whose shape that split decides, is not stated (NaN).
    bool agreementPerAxis = false;
    bool complete = false;
    std::optional<double> tolerance;
    std::optional<double> share;  // expanded / tolerance (U/T); at most 25 %: TUR 4 or more
    std::optional<double> testUncertaintyRatio;  // tolerance / expanded
    // Six standard uncertainties over the tolerance, as gauge studies judge a measurement
    // system (up to 10 % acceptable, up to 30 % conditionally, beyond not); the band is its.
    std::optional<double> gaugeShare;
    std::optional<ToleranceBand> band;
    AngleScope scope;
};

// The entry the agreement stands on: the one written after the tile set whose factors the
// diagnosis predicts, or the one the set was read through.
struct EntryInForce {
    int entry = 0;  // 0: none written by this program before the set
    std::string comment;
    std::optional<LocalTime> written;
    std::int64_t record = 0;
};

// What the user sets for a statement: per angle the product tolerance and the reference's
// expanded uncertainty (k = 2, from its certificate), both in the thresholds' formula; the
// specimen and the period of the long-term repeatability.
struct PerformanceSettings {
    std::array<std::optional<double>, kAngleCount> tolerance{};
    std::array<std::optional<double>, kAngleCount> referenceExpanded{};
    std::string referenceCertificate;  // as typed: the certificate's number or date
    // The reference's own reading noise along one direction, from its latest extended check:
    // each tile's difference holds it as well as this instrument's, and the certificate's
    // uncertainty counts it already. None when the logbook holds no such check of it.
    std::array<std::optional<double>, kAngleCount> referenceNoise{};
    std::string specimen;     // empty: that of the latest extended check
    int longTermDays = 90;    // 0: every record
    int validDays = 180;      // how long after it is made the statement holds
    std::string temperature;  // as typed ("23 °C"); empty: not given
    // What U is the uncertainty of, as the page states it.
    std::string measurand =
        "a product's reading against its numeric standard, on the reference's scale";
};

struct PerformanceStatement {
    std::string serial;
    std::string instrumentType;
    std::string referenceSerial;  // of the tile set behind the agreement, when there is one
    std::string formula;          // the label of the thresholds' formula ("dE*ab", ...)
    std::string specimen;         // of the repeatability
    LocalTime made;
    LocalTime validUntil;
    std::string number;       // "PS-<serial>-<made>": the statement's document number
    std::string measurand;    // from the settings
    std::string certificate;  // the reference's, as typed
    // Who made it, where; filled in by whoever has the platform's names.
    std::string madeBy;
    // Issued while the instrument's checks were overdue: which, and why a supervisor let it
    // go ahead; empty when it was current.
    std::string overdue;
    std::string overrideReason;
    std::string workstation;
    std::array<AngleBudget, kAngleCount> angles{};
    std::vector<std::string> missing;   // in English: what is not on record, and what to do
    std::optional<EntryInForce> entry;  // with a tile set behind the agreement
    // In English, why the agreement after the correction no longer describes the instrument
    // (the entry deleted or written over, another written); empty while it does.
    std::string retired;
    bool neutralOnly = false;  // at any angle
    bool service = false;      // the diagnosis sends the instrument to service at any angle
    // In English, the conditions of the checks behind it: the white calibration before each
    // (from the logbook), the specimen's handling, the temperature as given.
    std::string conditions;
};

// The records of the long-term repeatability: the instrument's repeatability checks (three
// readings or extended) of one specimen by its name (that of the latest extended check when
// empty), since "YYYY-MM-DD" or empty; newest first, as the logbook gives them. A check
// without a name is never taken by its colour: a drifting instrument would drop its own
// drifted checks. `unnamed` counts those left out.
std::vector<CheckRecord> longTermRecords(const std::vector<CheckRecord>& records,
                                         const std::string& specimen, const std::string& since,
                                         int* unnamed = nullptr);

// The long-term spread: per angle the mean colour difference of the records' colours from
// their mean (MCDM, in `formula`); NaN with fewer than two records.
std::array<double, kAngleCount> longTermMcdm(const std::vector<CheckRecord>& chosen,
                                             DeltaEFormula formula,
                                             const DeltaEParameters& parameters = {});

// The standard uncertainty that rounding to the reading step gives a colour of lightness
// `lightness` (a neutral grey), along one direction in `formula`.
double resolutionSd(double lightness, DeltaEFormula formula,
                    const DeltaEParameters& parameters = {});

// The coordinates the statement splits an error into at `colour`: unit vectors in L*, a*, b* of
// lightness, chroma (away from grey) and hue (counter-clockwise). Below C* 5 (a chromatic tile's
// least) a colour has no chroma direction of its own: a* and b* stand for chroma and hue, and what
// falls on them is shared alike between the two.
std::array<LabTriple, 3> coordinateFrame(const LabTriple& colour);

// Which expanded uncertainty a measured colour difference takes: nearStandard below
// kNearStandardFactor u; above, k times the standard uncertainty along the direction of the
// difference read (dL*, da*, db*) from the per-coordinate variances at the standard's colour
// (a* and b* alike for chroma and hue without it), or k u without a direction. NaN for an
// incomplete budget.
double expandedFor(const AngleBudget& budget, double measuredDeltaE,
                   const std::optional<LabTriple>& direction = std::nullopt,
                   const std::optional<LabTriple>& standard = std::nullopt);

// From the instrument's records (newest first, as the logbook gives them), as of `now`.
PerformanceStatement performanceStatement(const std::vector<CheckRecord>& records,
                                          const PerformanceSettings& settings,
                                          DeltaEFormula formula, const LocalTime& now,
                                          const DeltaEParameters& parameters = {});

// The logbook's record that `statement` was issued, its page written to `page`: the number
// as its comment, who made it, the page as its file and per angle the expanded uncertainty it
// states (NaN where the budget was incomplete).
CheckRecord statementRecord(const PerformanceStatement& statement, const std::string& page);

}  // namespace qv
