// The performance statement's rules on hand-made records: which record each contribution
// comes from, how the figures turn into standard uncertainties, and what is said missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include "../tiles/set_readings.h"
#include "core/colour/colour_requests.h"
#include "core/colour/tristimulus.h"
#include "core/log/performance.h"
#include "core/tiles/diagnosis.h"
#include "core/tiles/diagnosis_record.h"
#include "core/tiles/set_fit.h"

namespace qv {
namespace {

const double kMaxwell = std::sqrt(8.0 / std::numbers::pi);

CheckRecord made(RecordKind kind, int id, int day) {
    CheckRecord r = emptyRecord(kind, LocalTime{2026, 11, day, 10, 0, 0});
    r.id = id;
    r.serial = "L70S-000501";
    r.instrumentType = "53";
    r.formula = "dE*ab";
    return r;
}

CheckRecord extended(int id, int day, double mcdm, int readings) {
    CheckRecord r = made(RecordKind::ExtendedRepeatability, id, day);
    r.readings = readings;
    r.specimen = "grey";
    for (AngleRecord& a : r.angles) {
        a.lab = {50.0, 0.5, -1.0};
        a.deltaE = mcdm;
        a.sd = {mcdm, mcdm, mcdm};
    }
    return r;
}

CheckRecord tileSet(int id, int day, double mean, double after, double predicted) {
    CheckRecord r = made(RecordKind::TileSet, id, day);
    r.readings = 12;
    r.comment = "lab set";
    r.diagnosis.emplace();
    for (int a = 0; a < kAngleCount; ++a) {
        r.angles[a].deltaE = std::isnan(after) ? mean : after;
        r.angles[a].beforeDeltaE = std::isnan(after) ? NAN : mean;
        (*r.diagnosis)[a].meanAfterFactors = predicted * 0.8;  // in-sample: never the figure
        (*r.diagnosis)[a].heldOutRmsAfterFactors = predicted;
    }
    return r;
}

CheckRecord entryChange(RecordKind kind, int id, int day, int entry) {
    CheckRecord r = made(kind, id, day);
    r.entry = entry;
    r.comment = "gloss white";
    return r;
}

PerformanceSettings settings() {
    PerformanceSettings s;
    s.tolerance = {1.0, 0.8, 2.0};
    s.referenceExpanded = {0.1, 0.1, 0.1};
    s.longTermDays = 0;
    return s;
}

TEST(PerformanceBands, ShareFallsIntoTheGaugeBands) {
    const std::pair<double, ToleranceBand> table[] = {
        {0.0, ToleranceBand::UpTo10},    {0.10, ToleranceBand::UpTo10},
        {0.1001, ToleranceBand::UpTo25}, {0.25, ToleranceBand::UpTo25},
        {0.2501, ToleranceBand::UpTo30}, {0.30, ToleranceBand::UpTo30},
        {0.31, ToleranceBand::Above30},  {NAN, ToleranceBand::Above30}};
    for (const auto& [share, band] : table) EXPECT_EQ(bandOf(share), band) << share;
}

TEST(PerformanceCoverageFactor, StudentsTForTheEffectiveDegreesOfFreedom) {
    const std::pair<double, double> table[] = {{0.5, 12.706}, {1, 12.706},      {4, 2.776},
                                               {4.9, 2.776},  {30, 2.042},      {45.7, 2.014},
                                               {200, 1.972},  {INFINITY, 1.960}};
    for (const auto& [dof, t] : table) EXPECT_NEAR(studentT95(dof), t, 0.002) << dof;
}

TEST(PerformanceBudget, EachContributionComesFromItsRecordAndTheyAddInQuadrature) {
    // Newest first: the entry was written after the set was read, and the set not read again,
    // so the agreement is the diagnosis' prediction; the older extended check is not used.
    const std::vector<CheckRecord> records = {entryChange(RecordKind::EntryWrite, 9, 20, 3),
                                              tileSet(8, 19, 0.9, NAN, 0.12),
                                              extended(7, 18, 0.04, 20), extended(3, 2, 0.5, 10)};
    const PerformanceStatement s =
        performanceStatement(records, settings(), DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_EQ(s.serial, "L70S-000501");
    EXPECT_EQ(s.specimen, "grey");
    const AngleBudget& b = s.angles[1];
    const auto& c = b.contributions;
    EXPECT_EQ(c[0].record, 7);
    EXPECT_EQ(c[0].readings, 20);
    EXPECT_NEAR(c[0].standard, 0.04 / kMaxwell * std::sqrt(20.0 / 19.0), 1e-12);
    EXPECT_FALSE(c[1].available);  // two checks of the specimen: not enough for the long term
    EXPECT_EQ(c[2].record, 8);
    EXPECT_NEAR(c[2].figure, 0.12, 1e-12);
    EXPECT_NE(c[2].source.find("predicted"), std::string::npos);
    EXPECT_NEAR(c[2].standard, std::sqrt(0.12 * 0.12 / 3 - c[0].standard * c[0].standard), 1e-12);
    ASSERT_TRUE(s.entry);
    EXPECT_EQ(s.entry->entry, 3);
    EXPECT_EQ(s.entry->record, 9);
    EXPECT_NEAR(c[3].standard, 0.05, 1e-12);
    EXPECT_GT(c[4].standard, 0.0);
    EXPECT_LT(c[4].standard, 0.005);
    double sum = 0.0;
    for (const Contribution& x : c)
        if (x.available) sum += x.standard * x.standard;
    EXPECT_NEAR(b.standard, std::sqrt(sum), 1e-12);
    // Welch-Satterthwaite over the twenty readings and the twelve tiles; the certificate and
    // the reading step count as known.
    const double nu = std::pow(b.standard, 4) /
                      (std::pow(c[0].standard, 4) / 19 + std::pow(c[2].standard, 4) / 11);
    EXPECT_NEAR(b.effectiveDof, nu, 1e-9);
    EXPECT_NEAR(b.expanded, studentT95(nu) * b.standard, 1e-12);
    ASSERT_TRUE(b.share);
    EXPECT_NEAR(*b.share, b.expanded / 0.8, 1e-12);
    EXPECT_EQ(*b.band, bandOf(*b.gaugeShare));
    EXPECT_NEAR(*b.gaugeShare, 6.0 * b.standard / 0.8, 1e-12);
    // The long term, and the agreement taken alike along L*, a*, b*: a set recorded before its
    // tiles' differences were kept states nothing near the standard.
    ASSERT_EQ(s.missing.size(), 2u);
    EXPECT_EQ(s.missing[1].rfind("Agreement not split per coordinate", 0), 0u);
    EXPECT_FALSE(b.agreementPerAxis);
    EXPECT_TRUE(std::isnan(b.nearStandard));
    EXPECT_TRUE(std::isnan(expandedFor(b, 0.0)));
    EXPECT_NEAR(expandedFor(b, 1.0, LabTriple{1.0, 0.0, 0.0}), b.expanded, 1e-9);
}

// Tiles of a set whose instrument errs in lightness only, each by `lightness` (alternating in
// sign), from a grey to a saturated red; all of L* 50, the extended check's, unless `spread`
// spreads them over L* 50 -/+ 6 spread.
std::vector<TileDifferenceRecord> lightnessTiles(double lightness, bool heldOut,
                                                 double spread = 0.0) {
    std::vector<TileDifferenceRecord> tiles;
    for (int t = 0; t < 12; ++t) {
        const LabTriple d = {t % 2 ? lightness : -lightness, 0.0, 0.0};
        const LabTriple none = {NAN, NAN, NAN};
        tiles.push_back(
            {{50.0 + spread * (t - 6), 4.0 * t, 3.0 * t}, heldOut ? none : d, heldOut ? d : none});
    }
    return tiles;
}

// The agreement taken apart per coordinate from the tiles' own differences: all of it on L*,
// less the noise each coordinate carries; the directional U along L* is the larger, and the
// same tiles predicted from the others (an entry written after the set) stand alike.
TEST(PerformanceAxes, TheTilesDifferencesSplitTheAgreementPerCoordinate) {
    for (const bool predicted : {false, true}) {
        CheckRecord set = tileSet(8, 19, 0.9, predicted ? NAN : 0.25, 0.25);
        for (AngleDiagnosisRecord& d : *set.diagnosis) d.tiles = lightnessTiles(0.25, predicted);
        std::vector<CheckRecord> records = {set, extended(5, 17, 0.04, 20)};
        if (predicted)
            records.insert(records.begin(), entryChange(RecordKind::EntryWrite, 9, 20, 3));
        const auto s =
            performanceStatement(records, settings(), DeltaEFormula::Cie76, {2026, 11, 21});
        const AngleBudget& b = s.angles[1];
        const Contribution& agreed = b.contributions[2];
        ASSERT_TRUE(b.complete && b.agreementPerAxis) << predicted;
        ASSERT_TRUE(agreed.axisVariance);
        EXPECT_NEAR(agreed.figure, 0.25, 1e-9);
        const double noise = std::pow(0.04 / kMaxwell, 2) * 20.0 / 19.0;  // per coordinate
        EXPECT_NEAR((*agreed.axisVariance)[0], 0.0625 - noise, 1e-9);
        EXPECT_EQ((*agreed.axisVariance)[1], 0.0);
        EXPECT_NEAR(agreed.standard, std::sqrt((0.0625 - noise) / 3.0), 1e-9);
        EXPECT_NEAR(b.axisVariance[0] - b.axisVariance[2], 0.0625 - noise, 1e-9);
        const double alongL = expandedFor(b, 2.0, LabTriple{-1.0, 0.0, 0.0});
        EXPECT_NEAR(alongL, b.coverageFactor * std::sqrt(b.axisVariance[0]), 1e-6);
        EXPECT_LT(expandedFor(b, 2.0, LabTriple{0.0, 0.6, 0.8}), 0.5 * alongL);
        EXPECT_TRUE(std::isfinite(b.nearStandard));
        EXPECT_EQ(expandedFor(b, 0.0), b.nearStandard);
        EXPECT_TRUE(std::none_of(s.missing.begin(), s.missing.end(), [](const std::string& m) {
            return m.find("not split") != std::string::npos;
        }));
        // A tile without its difference: the set's overall figure, alike on every coordinate.
        (*records[predicted ? 1 : 0].diagnosis)[1].tiles[3].heldOut[2] = NAN;
        (*records[predicted ? 1 : 0].diagnosis)[1].tiles[3].read[2] = NAN;
        const auto lacking =
            performanceStatement(records, settings(), DeltaEFormula::Cie76, {2026, 11, 21});
        EXPECT_FALSE(lacking.angles[1].agreementPerAxis);
        EXPECT_TRUE(lacking.angles[0].agreementPerAxis);
    }
}

// Near the standard the error's length is drawn per coordinate: with nearly all the spread on
// L*, its 95th percentile is the L* deviation times that of |t| for the budget's degrees of
// freedom, not the percentile of a length spread over three coordinates.
TEST(PerformanceAxes, TheNearStandardPercentileFollowsTheShapeOfTheSpread) {
    CheckRecord set = tileSet(8, 19, 0.9, 0.5, 0.5);
    for (AngleDiagnosisRecord& d : *set.diagnosis) d.tiles = lightnessTiles(0.5, false);
    PerformanceSettings tiny = settings();
    tiny.referenceExpanded = {1e-6, 1e-6, 1e-6};
    const auto s = performanceStatement({set, extended(5, 17, 1e-4, 200)}, tiny,
                                        DeltaEFormula::Cie76, {2026, 11, 21});
    const AngleBudget& b = s.angles[0];
    ASSERT_TRUE(b.complete);
    EXPECT_NEAR(b.nearStandard / std::sqrt(b.axisVariance[0]), studentT95(b.effectiveDof),
                0.05 * studentT95(b.effectiveDof));
}

// A reading's noise is the instrument's in reflectance: a dark tile's L*, a*, b* move far more
// with it than the grey specimen's of the extended check. The noise is stated over the set's
// colours, the dark one's tile differences are not taken for disagreement, and the percentile
// near the standard widens for the colour where the noise is largest.
TEST(PerformanceAxes, TheReadingNoiseIsStatedAtTheSetsColours) {
    CheckRecord grey = tileSet(8, 19, 0.9, 0.25, 0.25);
    for (AngleDiagnosisRecord& d : *grey.diagnosis) d.tiles = lightnessTiles(0.25, false);
    CheckRecord dark = grey;
    for (AngleDiagnosisRecord& d : *dark.diagnosis) d.tiles[5].reference = {12.0, 0.2, -0.3};
    const auto at = [](const CheckRecord& set) {
        return performanceStatement({set, extended(5, 17, 0.04, 20)}, settings(),
                                    DeltaEFormula::Cie76, {2026, 11, 21})
            .angles[1];
    };
    const AngleBudget g = at(grey), d = at(dark);
    const Contribution &specimen = g.contributions[0], &set = d.contributions[0];
    EXPECT_NEAR(specimen.standard, 0.04 / kMaxwell * std::sqrt(20.0 / 19.0), 1e-12);
    EXPECT_NE(set.source.find("set's colours"), std::string::npos);
    // One tile of twelve at L* 12: the noise's variance there is tens of times the grey's.
    EXPECT_GT(set.standard, 1.5 * specimen.standard);
    EXPECT_LT(d.contributions[2].standard, g.contributions[2].standard);
    ASSERT_EQ(d.colourVariance.size(), 12u);
    ASSERT_TRUE(specimen.axisVariance);
    EXPECT_GT(d.colourVariance[5][0], d.colourVariance[4][0] + 10.0 * (*specimen.axisVariance)[0]);
    EXPECT_GT(d.nearStandard, g.nearStandard);
}

// The tiles' own colours restate the agreement in any formula: a set judged in dE*ab stands
// in a dE00 statement with each tile's difference as dE00 measures it.
TEST(PerformanceAxes, ATileSetOfAnotherFormulaIsRestatedFromItsTiles) {
    CheckRecord set = tileSet(8, 19, 0.9, 0.3, 0.3);
    for (AngleDiagnosisRecord& d : *set.diagnosis) d.tiles = lightnessTiles(0.3, false, 4.0);
    const auto s = performanceStatement({set, extended(5, 17, 0.04, 20)}, settings(),
                                        DeltaEFormula::Ciede2000, {2026, 11, 21});
    const Contribution& agreed = s.angles[2].contributions[2];
    ASSERT_TRUE(agreed.available) << agreed.source;
    double squares = 0.0;
    for (const TileDifferenceRecord& t : (*set.diagnosis)[2].tiles) {
        const Lab r{t.reference[0], t.reference[1], t.reference[2]};
        squares += std::pow(deltaE(DeltaEFormula::Ciede2000, r, {r.L + t.read[0], r.a, r.b}), 2);
    }
    EXPECT_NEAR(agreed.figure, std::sqrt(squares / 12.0), 1e-9);
    EXPECT_LT(agreed.figure, 0.3);  // dE00 weighs lightness less away from L* 50
    EXPECT_NE(agreed.source.find("dE00"), std::string::npos);
}

TEST(PerformanceBudget, ASetReadAgainAfterTheCorrectionGivesTheMeasuredResidual) {
    const std::vector<CheckRecord> records = {tileSet(8, 19, 0.9, 0.15, 0.12),
                                              entryChange(RecordKind::EntryWrite, 6, 18, 2),
                                              extended(5, 17, 0.04, 20)};
    const auto s = performanceStatement(records, settings(), DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_NEAR(s.angles[0].contributions[2].figure, 0.15, 1e-12);
    // Less the noise of single readings, which the short-term repeatability counts.
    const double noise = 0.04 / kMaxwell * std::sqrt(20.0 / 19.0);
    EXPECT_NEAR(s.angles[0].contributions[2].standard,
                std::sqrt(std::pow(0.15 / kMaxwell, 2) - noise * noise), 1e-12);
    EXPECT_EQ(s.entry->entry, 2);  // the set was read through it
}

// Reading noise alone is no uncertainty of a colour difference: without the agreement or the
// reference's own uncertainty nothing is expanded, shared or banded, and each part missing is
// named with what supplies it.
TEST(PerformanceBudget, AnIncompleteBudgetStatesNoUncertainty) {
    PerformanceSettings tolerance = settings();
    tolerance.referenceExpanded = {};
    const auto s = performanceStatement({extended(5, 17, 0.04, 20)}, tolerance,
                                        DeltaEFormula::Cie76, {2026, 11, 21});
    for (const AngleBudget& b : s.angles) {
        EXPECT_TRUE(b.contributions[0].available);
        EXPECT_FALSE(b.complete);
        EXPECT_TRUE(std::isnan(b.expanded));
        EXPECT_FALSE(b.share);
        EXPECT_FALSE(b.band);
    }
    ASSERT_GE(s.missing.size(), 3u);
    EXPECT_EQ(s.missing[0].rfind("Incomplete budget: not an uncertainty", 0), 0u);
    const auto says = [&](const char* text) {
        return std::any_of(s.missing.begin(), s.missing.end(),
                           [&](const std::string& m) { return m.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(says("Essential: Agreement with the reference: no tile-set check"));
    EXPECT_TRUE(says("Essential: Reference's own uncertainty: not entered"));
    EXPECT_FALSE(says("Essential: Short-term"));
}

// Which entry the agreement stands on, and which later changes retire its figure: newest
// first, each row a history after the tile set (read on day 10).
TEST(PerformanceEntry, ALaterChangeToTheEntriesRetiresTheFigureAfterCorrection) {
    using K = RecordKind;
    struct Row {
        const char* what;
        std::vector<CheckRecord> after;  // newest first
        int entry;
        bool retired;
    };
    const auto w = [](int id, int day, int entry) {
        return entryChange(K::EntryWrite, id, day, entry);
    };
    const auto d = [](int id, int day, int entry) {
        return entryChange(K::EntryDeletion, id, day, entry);
    };
    const Row rows[] = {
        {"written after the set", {w(20, 11, 3)}, 3, false},
        {"then deleted", {d(21, 12, 3), w(20, 11, 3)}, 3, true},
        {"then written over", {w(21, 12, 3), w(20, 11, 3)}, 3, true},
        {"then another written", {w(21, 12, 5), w(20, 11, 3)}, 3, true},
        {"another deleted", {d(21, 12, 7), w(20, 11, 3)}, 3, false},
        {"read through entry 2", {}, 2, false},
        {"read through 2, then 2 deleted", {d(21, 12, 2)}, 2, true},
        // Records that are no check change nothing.
        {"a calibration and a statement since",
         {made(K::Statement, 23, 13), made(K::Calibration, 22, 12), w(20, 11, 3)},
         3,
         false},
    };
    for (const Row& row : rows) {
        std::vector<CheckRecord> records = row.after;
        records.push_back(tileSet(8, 10, 0.9, NAN, 0.12));
        records.push_back(w(7, 9, 2));
        records.push_back(extended(5, 8, 0.04, 20));
        const auto s =
            performanceStatement(records, settings(), DeltaEFormula::Cie76, {2026, 11, 21});
        ASSERT_TRUE(s.entry) << row.what;
        EXPECT_EQ(s.entry->entry, row.entry) << row.what;
        EXPECT_EQ(!s.retired.empty(), row.retired) << row.what;
        EXPECT_EQ(s.angles[1].contributions[2].available, !row.retired) << row.what;
        EXPECT_EQ(s.angles[1].complete, !row.retired) << row.what;
    }
    // A prediction the diagnosis did not keep for unseen tiles is refused, not replaced by the
    // in-sample mean.
    CheckRecord old = tileSet(8, 10, 0.9, NAN, NAN);
    const auto s = performanceStatement({w(20, 11, 3), old, extended(5, 8, 0.04, 20)}, settings(),
                                        DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_FALSE(s.angles[0].complete);
    EXPECT_NE(s.angles[0].contributions[2].source.find("keeps no prediction"), std::string::npos);
}

// The conditions name the white calibration the logbook holds before each check behind the
// statement, or that it holds none, with the handling and the temperature as given.
TEST(PerformanceConditions, TheCalibrationBeforeEachCheckHandlingAndTemperature) {
    CheckRecord calibrated = made(RecordKind::Calibration, 7, 9);
    calibrated.time.minute = 25;
    CheckRecord ext = extended(5, 8, 0.04, 20);
    ext.handling = true;
    const std::vector<CheckRecord> records = {tileSet(8, 10, 0.9, 0.2, 0.12), calibrated, ext};
    PerformanceSettings given = settings();
    given.temperature = "23 °C";
    const auto s = performanceStatement(records, given, DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_EQ(s.conditions,
              "no white calibration on record before the extended check; white calibration "
              "2026-11-09 10:25 before the tile set; specimen placed again between readings; "
              "at 23 °C");
    const auto none = performanceStatement({tileSet(8, 10, 0.9, 0.2, 0.12)}, settings(),
                                           DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_EQ(none.conditions,
              "no white calibration on record before the tile set; temperature not given");
    // One calibration before both checks is said once.
    const auto once = performanceStatement({tileSet(8, 10, 0.9, 0.2, 0.12), ext, calibrated},
                                           settings(), DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_EQ(once.conditions.substr(0, 78),
              "white calibration 2026-11-09 10:25 before the extended check and the tile set;");
}

// Records judged in dE*ab never enter a dE00 budget as they stand: the extended check is
// restated from its coordinates' spread, the tile set (whose tiles are not kept) refused.
TEST(PerformanceFormula, RecordsOfAnotherFormulaAreRestatedOrRefused) {
    CheckRecord ext = extended(5, 17, 0.20, 20);
    for (AngleRecord& a : ext.angles) {
        a.lab = {50.0, 40.0, 10.0};  // chromatic: dE00 weighs a* and b* far less than dE*ab
        a.sd = {0.05, 0.2, 0.2};
        a.rms = 0.3;
    }
    const std::vector<CheckRecord> records = {tileSet(8, 19, 0.9, 0.15, 0.12), ext};
    const auto ab = performanceStatement(records, settings(), DeltaEFormula::Cie76, {2026, 11, 21});
    const auto e00 =
        performanceStatement(records, settings(), DeltaEFormula::Ciede2000, {2026, 11, 21});
    const Contribution& noise = e00.angles[1].contributions[0];
    ASSERT_TRUE(noise.available);
    EXPECT_LT(noise.standard, 0.6 * ab.angles[1].contributions[0].standard);
    EXPECT_GT(noise.standard, 0.0);
    EXPECT_TRUE(ab.angles[1].complete);
    EXPECT_FALSE(e00.angles[1].contributions[2].available);
    EXPECT_NE(e00.angles[1].contributions[2].source.find("judged in dE*ab"), std::string::npos);
    EXPECT_FALSE(e00.angles[1].complete);
}

// What the set could not see bounds the colours the agreement speaks for.
TEST(PerformanceScope, UnseenWavelengthTermsLimitTheStatementToNearNeutralColours) {
    CheckRecord set = tileSet(8, 19, 0.9, 0.15, 0.12);
    for (AngleDiagnosisRecord& d : *set.diagnosis) {
        d.decision = "write-factors";
        d.terms = {{"gain", 1.0, 0.01, true},
                   {"shift", 0.0, INFINITY, false},
                   {"offset", 0.0, 0.001, false}};
    }
    (*set.diagnosis)[2].decision = "service";
    const auto s = performanceStatement({set, extended(5, 17, 0.04, 20)}, settings(),
                                        DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_TRUE(s.neutralOnly);
    EXPECT_TRUE(s.service);
    EXPECT_EQ(s.angles[0].scope.unseen, std::vector<std::string>{"shift"});
    EXPECT_TRUE(s.angles[0].scope.neutralOnly);
}

// Six checks of the specimen by name over ten days, one without a name at its very colour, one
// named otherwise, one before the period: the long term takes the six and the extended check,
// states their MCDM and leaves out the noise within them. The same six within seconds of each
// other are a short period.
TEST(PerformanceLongTerm, TheSpecimensNamedChecksOverDaysAndTheirDriftBeyondTheNoise) {
    std::vector<CheckRecord> records;
    const std::array<std::array<double, 3>, 6> colours = {{{50.2, 0.5, -1.0},
                                                           {49.8, 0.5, -1.0},
                                                           {50.0, 0.7, -1.0},
                                                           {50.0, 0.3, -1.0},
                                                           {50.0, 0.5, -0.8},
                                                           {50.0, 0.5, -1.2}}};
    for (int i = 0; i < 6; ++i) {
        CheckRecord r = made(RecordKind::Repeatability, 20 - i, 20 - 2 * i);
        r.specimen = "grey";
        for (AngleRecord& a : r.angles) a.lab = colours[i];
        records.push_back(r);
    }
    CheckRecord unnamed = records[0];
    unnamed.id = 30;
    unnamed.specimen.clear();
    CheckRecord other = records[0];
    other.id = 31;
    other.specimen = "red";
    CheckRecord old = records[0];
    old.id = 2;
    old.time.month = 6;
    CheckRecord ext = extended(40, 21, 0.05, 20);
    for (AngleRecord& a : ext.angles) a.lab = {50.0, 0.5, -1.0};
    records.insert(records.begin(), {ext, unnamed, other});
    records.push_back(old);

    int left = 0;
    const auto chosen = longTermRecords(records, "", "2026-11-01", &left);
    EXPECT_EQ(chosen.size(), 7u);  // the extended check itself and the six named
    EXPECT_EQ(left, 1);
    std::vector<CheckRecord> six(chosen.begin() + 1, chosen.end());
    // Every colour lies 0.2 from their mean.
    EXPECT_NEAR(longTermMcdm(six, DeltaEFormula::Cie76)[0], 0.2, 1e-9);

    PerformanceSettings ps = settings();
    ps.longTermDays = 30;
    const auto s = performanceStatement(records, ps, DeltaEFormula::Cie76, {2026, 11, 21});
    const Contribution& lt = s.angles[2].contributions[1];
    ASSERT_TRUE(lt.available);
    EXPECT_EQ(lt.readings, 7);
    EXPECT_EQ(lt.record, 40);
    // Spread per direction sqrt(6 * 0.04 / (3 * 6)); less the noise of one reading (the six)
    // and of the mean of twenty (the extended check).
    const double spread2 = 6 * 0.04 / (3.0 * 6);
    const double noise2 = std::pow(0.05 / kMaxwell * std::sqrt(20.0 / 19.0), 2);
    EXPECT_NEAR(lt.standard, std::sqrt(spread2 - noise2 * (6 + 1.0 / 20) / 7), 1e-9);

    for (CheckRecord& r : records) r.time = {2026, 11, 20, 10, 0, static_cast<int>(r.id % 60)};
    const auto quick = performanceStatement(records, ps, DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_FALSE(quick.angles[2].contributions[1].available);
    EXPECT_EQ(quick.angles[2].contributions[1].source.rfind("short period", 0), 0u);
}

// A grey set on an instrument whose wavelength scale reads 1 nm off: the set cannot see the
// shift, and the factors fitted on it leave a red far beyond what the greys promise. The
// statement's U speaks for near-neutral colours only, and says so.
TEST(PerformanceScope, AGreySetOnAShiftedInstrumentStatesUForNearNeutralColoursOnly) {
    std::mt19937 rng(11);
    sim::InstrumentConfig shifted;
    shifted.gain.fill(1.02);
    shifted.shiftNm = 1.0;
    std::vector<TileSpectra> tiles;
    for (const char* grey : {"white", "lightgrey", "midgrey", "darkgrey", "black"})
        tiles.push_back(
            {test::meanOfThree({}, grey, rng, 0.02), test::meanOfThree(shifted, grey, rng, 0.02)});
    const auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    const auto d = diagnose(*engine, tiles, SetLimits{}).diagnosis;
    ASSERT_TRUE(d);
    CheckRecord set = made(RecordKind::TileSet, 8, 19);
    set.readings = static_cast<int>(tiles.size());
    set.diagnosis = diagnosisRecord(*d);
    const std::vector<CheckRecord> records = {entryChange(RecordKind::EntryWrite, 9, 20, 1), set,
                                              extended(5, 17, 0.02, 20)};
    const auto s = performanceStatement(records, settings(), DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_TRUE(s.neutralOnly);
    const AngleBudget& b = s.angles[1];
    ASSERT_TRUE(b.complete);
    EXPECT_TRUE(b.scope.neutralOnly);
    EXPECT_LT(b.scope.chromaHigh, kChromaticChroma);
    EXPECT_TRUE(std::isnan(b.scope.hueFrom));
    EXPECT_NE(std::find(b.scope.unseen.begin(), b.scope.unseen.end(), "shift"),
              b.scope.unseen.end());
    // What the scope guards against: a red read through the greys' factors.
    const TileSpectra red{test::meanOfThree({}, "red", rng, 0.0),
                          test::meanOfThree(shifted, "red", rng, 0.0)};
    const ThreeAngles corrected = applyFactors(red.sample, fitFactors(tiles));
    const double off = deltaE76(spectrumToLab(SpectrumView(red.target[1].data(), kColourPoints)),
                                spectrumToLab(SpectrumView(corrected[1].data(), kColourPoints)));
    std::printf("grey set, 1 nm shift: U %.3f at 45 degrees, a red off by %.3f\n", b.expanded, off);
    EXPECT_GT(off, 2.0 * b.expanded);
}

// Rounding each reading to 0.01 %: the standard uncertainty stated against many rounded
// readings of a grey, as dE*ab along one direction (RMS / sqrt 3), within 5 %.
TEST(PerformanceResolution, MatchesTheRoundingOfManyReadings) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> offset(-0.005, 0.005);
    double sum = 0.0;
    const int trials = 20000;
    double lightness = 0.0;
    for (int t = 0; t < trials; ++t) {
        std::array<double, kColourPoints> exact{}, rounded{};
        exact.fill(18.42);
        for (int j = 0; j < kColourPoints; ++j) rounded[j] = exact[j] + offset(rng);
        const Lab a = spectrumToLab(exact), b = spectrumToLab(rounded);
        lightness = a.L;
        sum += std::pow(deltaE76(a, b), 2);
    }
    const double expected = std::sqrt(sum / trials / 3.0);
    EXPECT_NEAR(resolutionSd(lightness, DeltaEFormula::Cie76), expected, 0.05 * expected);
}

}  // namespace
}  // namespace qv
