// The road a plain gain error takes: the set read on both simulated instruments, the diagnosis
// saying the factors will do, the factors written into an entry through the write dialog's
// workflow, and the set read again landing where the diagnosis said it would.
#include <gtest/gtest.h>

#include <atomic>

#include "core/app/profile_store.h"
#include "core/coeff/coefficient_write_workflow.h"
#include "core/coeff/entry_exchanges.h"
#include "core/tiles/tile_set_workflow.h"
#include "support/sim_instrument.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

const std::vector<std::pair<std::string, std::string>> kTiles = {
    {"white", "white"}, {"light grey", "lightgrey"}, {"dark grey", "darkgrey"},
    {"red", "red"},     {"yellow", "yellow"},        {"blue", "blue"}};

void readSet(test::SeriesRig& rig, TileSetWorkflow& set, ValidationRole role) {
    rig.control(role == ValidationRole::Target ? "plug REF" : "plug DUT");
    for (std::size_t i = 0; i < kTiles.size(); ++i) {
        rig.control("specimen " + kTiles[i].second + " all");
        set.select(static_cast<int>(i));
        ValidationWorkflow v(rig.seams(), set.colour(), role);
        const auto taken = v.measure();
        ASSERT_TRUE(taken) << v.lastFailure();
        set.take(role, *taken);
    }
}

void writeIntoEntry(test::SeriesRig& rig, int entry) {
    CoefficientWriteWorkflow w(rig.seams());
    ASSERT_TRUE(w.open());
    std::atomic<bool> stop{false};
    ASSERT_TRUE(w.listDone(false, readEntryList(rig.port(), rig.clock, stop,
                                                [&](const EntryRow& r) { w.addRow(r); })));
    w.select(entry);
    w.setComment("GAIN 2");
    ASSERT_EQ(w.write(), WriteOutcome::Written);
}

TEST(DiagnosisRoad, AGainOfTwoPerCentIsCorrectedAsTheDiagnosisPredicts) {
    test::SeriesRig rig(test::referenceAndCorrected({1.02, 1.02, 1.02}));
    std::string names;
    for (const auto& t : kTiles) names += (names.empty() ? "" : "|") + t.first;
    rig.profile.write(key::kTileSetTiles, names);
    auto colour = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    TileSetWorkflow set(rig.seams(), *colour);
    readSet(rig, set, ValidationRole::Target);
    readSet(rig, set, ValidationRole::Sample);
    ASSERT_TRUE(set.judge());
    ASSERT_TRUE(set.diagnosis());
    const Diagnosis diagnosis = *set.diagnosis();
    ASSERT_EQ(diagnosis.overall, Recommendation::WriteFactors) << diagnosis.angles[1].reason;

    rig.prompter.asked.clear();
    ASSERT_TRUE(set.prepareCorrection());
    EXPECT_TRUE(rig.prompter.asked.empty());  // nothing to doubt
    writeIntoEntry(rig, 5);
    set.correctionDone(true);

    readSet(rig, set, ValidationRole::Sample);
    ASSERT_TRUE(set.judge());
    ASSERT_TRUE(set.after());
    EXPECT_TRUE(set.after()->passed);
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleDiagnosis& d = diagnosis.angles[a];
        EXPECT_GT(d.meanBefore, SetLimits{}.meanThreshold) << a;
        EXPECT_NEAR(set.after()->angles[a].mean, d.meanAfterFactors, 0.03) << a;
    }
}

}  // namespace
}  // namespace qv
