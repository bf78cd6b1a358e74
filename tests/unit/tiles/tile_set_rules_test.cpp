// The tile set's rules without an instrument: the limits the settings dialog may keep, and the
// workflow's guidance over readings handed to it (which tile comes next, when its differences
// show, why the two predictions may read alike).
#include <gtest/gtest.h>

#include "core/app/profile_store.h"
#include "core/tiles/tile_set_workflow.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

using Kind = LimitsProblem::Kind;

TEST(SetLimitsRule, EachFieldIsReadThenTheLimitsAreCheckedTogether) {
    const struct {
        TypedLimits typed;
        char decimal;
        Kind kind;
        LimitField field;
    } cases[] = {
        {{"0.30", "0.60", ""}, '.', Kind::None, LimitField::Mean},
        {{"0,3", "0,6", " 1,5 "}, ',', Kind::None, LimitField::Mean},
        {{"0.6", "0.6", ""}, '.', Kind::None, LimitField::Mean},  // the mean limit never binds
        {{"0.61", "0.60", ""}, '.', Kind::MeanAboveLargest, LimitField::Mean},
        {{"5", "0.01", "0.01"}, '.', Kind::MeanAboveLargest, LimitField::Mean},
        {{"", "0.6", ""}, '.', Kind::NotALimit, LimitField::Mean},
        {{"0.3", "6", ""}, '.', Kind::NotALimit, LimitField::Largest},
        {{"0.3", "0.6", "1,5"}, '.', Kind::NotALimit, LimitField::ProductTolerance},
        {{"0.3", "0.6", "0"}, '.', Kind::NotALimit, LimitField::ProductTolerance},
        // The first field at fault in the order of the dialog.
        {{"x", "y", "z"}, '.', Kind::NotALimit, LimitField::Mean},
        {{"0.9", "0.6", "z"}, '.', Kind::NotALimit, LimitField::ProductTolerance},
    };
    for (const auto& c : cases) {
        const LimitsReading r = readSetLimits(c.typed, c.decimal);
        const std::string label = c.typed.mean + " " + c.typed.largest + " " + c.typed.tolerance;
        EXPECT_EQ(r.problem.kind, c.kind) << label;
        if (c.kind != Kind::None) {
            EXPECT_EQ(r.problem.field, c.field) << label;
        }
    }
    const LimitsReading ok = readSetLimits({"0,3", "0,6", " 1,5 "}, ',');
    EXPECT_EQ(ok.limits.meanThreshold, 0.3);
    EXPECT_EQ(ok.limits.largestThreshold, 0.6);
    EXPECT_EQ(ok.limits.productTolerance, 1.5);
    EXPECT_FALSE(readSetLimits({"0.3", "0.6", "  "}, '.').limits.productTolerance);

    EXPECT_EQ(describe(LimitsProblem{Kind::MeanAboveLargest, LimitField::Mean})
                  .rfind("\"Mean below\" lies above \"Largest below\"", 0),
              0u);
    EXPECT_EQ(describe(LimitsProblem{Kind::NotALimit, LimitField::ProductTolerance}),
              "\"Product tolerance\" takes a value from 0.01 to 5.00");
}

TEST(SetLimitsRule, ContradictoryLimitsAreNotSaved) {
    test::SeriesRig rig;
    EXPECT_FALSE(saveSetLimits(rig.profile, {0.7, 0.6, std::nullopt}));
    EXPECT_EQ(rig.profile.read(key::kTileMeanThreshold), kNotSet);
    EXPECT_TRUE(saveSetLimits(rig.profile, {0.5, 0.6, 2.0}));
    EXPECT_EQ(setLimitsFromProfile(rig.profile).meanThreshold, 0.5);
}

// A reading of `level` % everywhere, times `gain` on the instrument under correction.
Measurement reading(double level, double gain, const char* serial) {
    Measurement m;
    for (int a = 0; a < kAngleCount; ++a)
        m.spectra[a].assign(kSpectrumPoints, level * gain * (1.0 + 0.1 * a));
    m.serial = serial;
    m.type = "53";
    return m;
}

struct Guided : ::testing::Test {
    void use(const std::vector<std::string>& tiles) {
        ASSERT_TRUE(saveTileSet(rig.profile, {"lab", tiles}));
        set = std::make_unique<TileSetWorkflow>(rig.seams(), *colour);
    }
    void target(int tile, double level) {
        ASSERT_EQ(set->view().selected, tile);
        set->take(ValidationRole::Target, reading(level, 1.0, "REF"));
    }
    void sample(int tile, double level, double gain) {
        ASSERT_EQ(set->view().selected, tile);
        set->take(ValidationRole::Sample, reading(level, gain, "DUT"));
    }
    const std::string& dE(int tile, int angle = 1) const {
        return set->view().rows[static_cast<std::size_t>(tile)].deltaE[angle];
    }

    test::SeriesRig rig;
    std::unique_ptr<EvaluateHueControl> colour =
        makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    std::unique_ptr<TileSetWorkflow> set;
};

TEST_F(Guided, TheSelectionFollowsTheReadingsAndEachTileShowsItsDifferencesOnceBothAreIn) {
    use({"white", "grey", "black"});
    EXPECT_EQ(set->view().selected, 0);
    EXPECT_EQ(set->view().instruction,
              "Place tile 1 'white' on the reference instrument and press Measure target.");
    target(0, 90);
    EXPECT_EQ(set->view().instruction,
              "Place tile 2 'grey' on the reference instrument and press Measure target.");
    // The operator picks the last tile out of turn; the next is the one still lacking.
    set->select(2);
    target(2, 5);
    target(1, 40);
    // Every target read: back to the first tile, now for the other instrument.
    EXPECT_EQ(set->view().instruction,
              "Place tile 1 'white' on the instrument under correction and press Measure "
              "sample.");
    EXPECT_EQ(dE(0), kEmptyField);
    sample(0, 90, 1.03);
    EXPECT_NE(dE(0), kEmptyField);
    EXPECT_EQ(dE(1), kEmptyField);
    EXPECT_FALSE(set->view().judgeEnabled);
    sample(1, 40, 1.03);
    sample(2, 5, 1.03);
    EXPECT_EQ(set->view().instruction, "Every tile is read on both instruments: press Judge.");
    const std::string before = dE(2);
    ASSERT_TRUE(set->judge());
    EXPECT_EQ(dE(2), before);  // the judgement gives the figures already shown
    // Three flat tiles cannot show that factors help other colours: no "Press Correct..."
    ASSERT_EQ(set->diagnosis()->overall, Recommendation::FactorsPartly);
    EXPECT_EQ(set->view().instruction.rfind("The set fails and factors help only in part", 0), 0u)
        << set->view().instruction;
}

TEST_F(Guided, ATileMissingBothReadingsIsAskedForOnTheInstrumentReadLast) {
    use({"white", "grey"});
    target(0, 90);
    set->select(0);
    sample(0, 90, 1.02);
    // Tile 2 lacks both; the operator was reading samples, so a sample is asked for.
    EXPECT_EQ(set->view().selected, 1);
    EXPECT_EQ(set->view().instruction,
              "Place tile 2 'grey' on the instrument under correction and press Measure sample.");
    set->select(0);
    EXPECT_EQ(set->view().instruction,
              "Tile 1 'white' is read on both instruments: choose a tile that lacks a mark.");
}

TEST_F(Guided, AlikePredictionsSayWhy) {
    use({"white"});
    target(0, 90);
    sample(0, 90, 1.03);
    ASSERT_TRUE(set->judge());
    EXPECT_EQ(set->view().predictionsAlike,
              "Both predictions are alike: with one tile, the fit over the set is that tile's "
              "own correction.");

    // Every tile off by the same proportion: the fit is the lightest tile's own ratio.
    use({"white", "grey"});
    target(0, 90);
    target(1, 40);
    sample(0, 90, 1.25);
    sample(1, 40, 1.25);
    ASSERT_TRUE(set->judge());
    EXPECT_NE(set->view().predictionsAlike.find("same proportion"), std::string::npos)
        << set->view().predictionsAlike;
    EXPECT_NE(set->view().predictionsAlike.find("'white'"), std::string::npos);

    // The white tile weighs most in the fit, which comes out as its own factors; the black one
    // reads in another proportion, which those factors do not remove.
    use({"white", "black"});
    target(0, 90);
    target(1, 5);
    sample(0, 90, 1.25);
    sample(1, 5, 1.4);
    ASSERT_TRUE(set->judge());
    EXPECT_EQ(set->view().predictionsAlike.find("same proportion"), std::string::npos);
    EXPECT_NE(set->view().predictionsAlike.find("with them the other tiles still differ"),
              std::string::npos)
        << set->view().predictionsAlike;

    // Tiles off by different proportions: two different predictions, nothing to explain.
    use({"white", "grey"});
    target(0, 90);
    target(1, 40);
    sample(0, 90, 1.02);
    sample(1, 40, 1.2);
    ASSERT_TRUE(set->judge());
    EXPECT_NE(set->view().lightestOnly.mean, set->view().fitted.mean);
    EXPECT_EQ(set->view().predictionsAlike, "");
}

}  // namespace
}  // namespace qv
