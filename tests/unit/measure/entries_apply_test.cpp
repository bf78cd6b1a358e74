// Whether an instrument follows the entry just written, from the signed change of its readings
// against what the factors predict: the rule as a table, and what is kept per instrument in the
// real settings, dated, whatever its serial holds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "core/measure/entries_apply.h"
#include "platform/app/qt_profile_store.h"
#include "support/temp_home.h"

namespace qv {
namespace {

// A yellowish specimen, 31 wavelengths per angle.
ThreeAngles specimen() {
    ThreeAngles s;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j)
            s[a].push_back(10.0 + 70.0 / (1.0 + std::exp(-(j - 10.0))) - 5.0 * a);
    return s;
}

// The readings multiplied per angle by `gain` (1 + share x (change - 1)), with reading noise.
ThreeAngles moved(const ThreeAngles& before, const WrittenCorrection& w,
                  std::array<double, kAngleCount> share, std::mt19937& rng) {
    std::normal_distribution<double> noise(0.0, 0.02);
    ThreeAngles out = before;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j)
            out[a][j] = before[a][j] * (1.0 + share[a] * (w.change[a][j] - 1.0)) + noise(rng);
    return out;
}

WrittenCorrection correction(double factor) {
    WrittenCorrection w{4, {}};
    for (AngleSpectrum& a : w.change)
        for (int j = 0; j < kSpectrumPoints; ++j)
            a.push_back(factor + (factor - 1.0) * 0.1 * (j % 5));
    return w;
}

TEST(EntriesApply, TheSignedChangeTellsAppliedIgnoredOrNothing) {
    struct Row {
        const char* what;
        double factor;
        std::array<double, kAngleCount> share;
        EntryEffect found;
    };
    const Row rows[] = {
        {"changed as predicted", 0.97, {1.0, 1.0, 1.0}, EntryEffect::Applies},
        {"a third short at one angle", 0.97, {1.0, 0.8, 1.0}, EntryEffect::Applies},
        {"did not move", 0.97, {0.0, 0.0, 0.0}, EntryEffect::DoesNotApply},
        // The magnitude of the difference stays while its sign turns: not "does not apply".
        {"over-corrected to the other side", 0.97, {2.0, 2.0, 2.0}, EntryEffect::CannotTell},
        {"moved the other way", 0.97, {-1.0, -1.0, -1.0}, EntryEffect::CannotTell},
        {"two angles moved, one did not", 0.97, {1.0, 1.0, 0.0}, EntryEffect::CannotTell},
        {"halfway", 0.97, {0.5, 0.5, 0.5}, EntryEffect::CannotTell},
        {"too small a change to tell", 1.0002, {0.0, 0.0, 0.0}, EntryEffect::CannotTell},
    };
    std::mt19937 rng(7);
    const ThreeAngles before = specimen();
    for (const Row& row : rows) {
        const WrittenCorrection w = correction(row.factor);
        EXPECT_EQ(judgeEntryEffect({before}, {moved(before, w, row.share, rng)}, w), row.found)
            << row.what;
    }
    // A reading that is not a number says nothing at its angle; the others still tell.
    const WrittenCorrection w = correction(0.97);
    ThreeAngles after = moved(before, w, {1.0, 1.0, 1.0}, rng);
    after[1][5] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(judgeEntryEffect({before}, {after}, w), EntryEffect::Applies);
    EXPECT_EQ(judgeEntryEffect({}, {}, w), EntryEffect::CannotTell);
    EXPECT_EQ(judgeEntryEffect({before}, {after}, WrittenCorrection{}), EntryEffect::CannotTell);
}

TEST(EntriesApply, KeptPerInstrumentDatedEvenForASerialWithSeparators) {
    const test::TempHome home;
    QtProfileStore profile;
    EXPECT_FALSE(entriesApply(profile, "L70S-000001"));
    const LocalTime when{2026, 12, 9, 10, 33, 5};
    rememberEntriesApply(profile, "L70S-000001", EntryEffect::DoesNotApply, 4, when);
    rememberEntriesApply(profile, "A/B\\C=D", EntryEffect::Applies, 30, when);
    QtProfileStore again;
    const auto found = entriesApply(again, "L70S-000001");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->effect, EntryEffect::DoesNotApply);
    EXPECT_EQ(describe(*found),
              "The verification of 09.12.2026 10:33 found that entry 004 does "
              "not apply (the readings did not change).");
    EXPECT_EQ(entriesApply(again, "A/B\\C=D")->entry, 30);
    EXPECT_FALSE(entriesApply(again, "L70S-000002"));
    // Settings are untrusted: what does not read whole is no finding.
    for (const char* damaged : {"apply", "applies;31;x", "maybe;4;09.12.2026", "applies;;"}) {
        again.write("EntriesApply", "L70S-000003", damaged);
        EXPECT_FALSE(entriesApply(again, "L70S-000003")) << damaged;
    }
}

}  // namespace
}  // namespace qv
