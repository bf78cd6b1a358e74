// The performance statement's rules on hand-made records: which record each contribution
// comes from, how the figures turn into standard uncertainties, and what is said missing.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "core/colour/tristimulus.h"
#include "core/log/performance.h"

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
        (*r.diagnosis)[a].meanAfterFactors = predicted;
    }
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

TEST(PerformanceBudget, EachContributionComesFromItsRecordAndTheyAddInQuadrature) {
    // Newest first: the entry was written after the set was read, and the set not read again,
    // so the agreement is the diagnosis' prediction; the older extended check is not used.
    const std::vector<CheckRecord> records = {made(RecordKind::EntryWrite, 9, 20),
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
    EXPECT_NEAR(c[3].standard, 0.05, 1e-12);
    EXPECT_GT(c[4].standard, 0.0);
    EXPECT_LT(c[4].standard, 0.005);
    double sum = 0.0;
    for (const Contribution& x : c)
        if (x.available) sum += x.standard * x.standard;
    EXPECT_NEAR(b.standard, std::sqrt(sum), 1e-12);
    EXPECT_NEAR(b.expanded, 2.0 * b.standard, 1e-12);
    ASSERT_TRUE(b.share);
    EXPECT_NEAR(*b.share, b.expanded / 0.8, 1e-12);
    EXPECT_EQ(*b.band, bandOf(*b.share));
    ASSERT_EQ(s.missing.size(), 1u);  // only the long term
}

TEST(PerformanceBudget, ASetReadAgainAfterTheCorrectionGivesTheMeasuredResidual) {
    const std::vector<CheckRecord> records = {tileSet(8, 19, 0.9, 0.15, 0.12),
                                              made(RecordKind::EntryWrite, 6, 18),
                                              extended(5, 17, 0.04, 20)};
    const auto s = performanceStatement(records, settings(), DeltaEFormula::Cie76, {2026, 11, 21});
    EXPECT_NEAR(s.angles[0].contributions[2].figure, 0.15, 1e-12);
    // Less the noise of single readings, which the short-term repeatability counts.
    const double noise = 0.04 / kMaxwell * std::sqrt(20.0 / 19.0);
    EXPECT_NEAR(s.angles[0].contributions[2].standard,
                std::sqrt(std::pow(0.15 / kMaxwell, 2) - noise * noise), 1e-12);
}

TEST(PerformanceBudget, WithoutAnExtendedCheckNothingIsStatedAndEverythingMissingIsSaid) {
    CheckRecord three = made(RecordKind::Repeatability, 1, 3);
    three.angles[1].lab = {40, 1, 1};
    const auto s =
        performanceStatement({three}, PerformanceSettings{}, DeltaEFormula::Cie76, {2026, 11, 21});
    for (const AngleBudget& b : s.angles) {
        EXPECT_TRUE(std::isnan(b.standard));
        EXPECT_FALSE(b.share);
    }
    EXPECT_EQ(s.missing.size(), 5u);
}

// Six checks of one specimen, one of another colour, one named otherwise, one before the
// period: the long term takes the six, states their MCDM and leaves out the noise within them.
TEST(PerformanceLongTerm, TheSpecimensChecksInThePeriodAndTheirDriftBeyondTheNoise) {
    std::vector<CheckRecord> records;
    const std::array<std::array<double, 3>, 6> colours = {{{50.2, 0.5, -1.0},
                                                           {49.8, 0.5, -1.0},
                                                           {50.0, 0.7, -1.0},
                                                           {50.0, 0.3, -1.0},
                                                           {50.0, 0.5, -0.8},
                                                           {50.0, 0.5, -1.2}}};
    for (int i = 0; i < 6; ++i) {
        CheckRecord r = made(RecordKind::Repeatability, 20 - i, 20 - i);
        for (AngleRecord& a : r.angles) a.lab = colours[i];
        records.push_back(r);
    }
    CheckRecord far = records[0];
    far.id = 30;
    for (AngleRecord& a : far.angles) a.lab = {70, 0, 0};
    CheckRecord other = records[0];
    other.id = 31;
    other.specimen = "red";
    CheckRecord old = records[0];
    old.id = 2;
    old.time.month = 6;
    CheckRecord ext = extended(40, 21, 0.05, 20);
    for (AngleRecord& a : ext.angles) a.lab = {50.0, 0.5, -1.0};
    records.insert(records.begin(), {ext, far, other});
    records.push_back(old);

    const auto chosen = longTermRecords(records, "", "2026-11-01");
    EXPECT_EQ(chosen.size(), 7u);  // the extended check itself and the six without a name
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
