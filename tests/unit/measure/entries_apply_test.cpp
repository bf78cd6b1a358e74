// Whether an instrument follows its entries, from one verification: the rule as a table, and
// what is kept per instrument in the real settings, whatever its serial holds.
#include <gtest/gtest.h>

#include <limits>

#include "core/measure/entries_apply.h"
#include "platform/app/qt_profile_store.h"
#include "support/temp_home.h"

namespace qv {
namespace {

TEST(EntriesApply, OneVerificationTellsAppliedIgnoredOrNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        std::array<double, 3> before, predicted, after;
        std::optional<EntriesApply> found;
    };
    const Row rows[] = {
        // The largest expected change (75°) decides: reached, untouched, half way.
        {{0.3, 0.4, 0.9}, {0.0, 0.0, 0.1}, {0.05, 0.1, 0.15}, EntriesApply::Apply},
        {{0.3, 0.4, 0.9}, {0.0, 0.0, 0.1}, {0.31, 0.38, 0.88}, EntriesApply::DoNotApply},
        {{0.3, 0.4, 0.9}, {0.0, 0.0, 0.1}, {0.2, 0.3, 0.5}, std::nullopt},
        // A change no larger than twice the noise tells nothing either way.
        {{0.15, 0.1, 0.18}, {0.0, 0.0, 0.0}, {0.15, 0.1, 0.18}, std::nullopt},
        // An angle without a figure is passed over.
        {{nan, 0.4, 0.2}, {0.0, 0.0, 0.0}, {nan, 0.41, 0.2}, EntriesApply::DoNotApply},
        // Made worse by as much as predicted better: not what the entry would do.
        {{0.6, 0.6, 0.6}, {0.0, 0.0, 0.0}, {1.2, 1.2, 1.2}, std::nullopt},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(judgeEntryEffect(rows[i].before, rows[i].predicted, rows[i].after, 0.1),
                  rows[i].found)
            << "row " << i;
}

TEST(EntriesApply, KeptPerInstrumentEvenForASerialWithSeparators) {
    const test::TempHome home;
    QtProfileStore profile;
    EXPECT_EQ(entriesApply(profile, "L70S-000001"), EntriesApply::Unknown);
    rememberEntriesApply(profile, "L70S-000001", EntriesApply::DoNotApply);
    rememberEntriesApply(profile, "A/B\\C=D", EntriesApply::Apply);
    QtProfileStore again;
    EXPECT_EQ(entriesApply(again, "L70S-000001"), EntriesApply::DoNotApply);
    EXPECT_EQ(entriesApply(again, "A/B\\C=D"), EntriesApply::Apply);
    EXPECT_EQ(entriesApply(again, "L70S-000002"), EntriesApply::Unknown);
    rememberEntriesApply(again, "L70S-000001", EntriesApply::Unknown);
    EXPECT_EQ(entriesApply(profile, "L70S-000001"), EntriesApply::Unknown);
}

}  // namespace
}  // namespace qv
