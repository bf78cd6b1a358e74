// The whole road over a tile set against two simulated instruments: every tile read on both,
// the set judged, the fitted correction written into an entry and the set read again; then
// the same set judged from compare's files by the command line.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "core/app/profile_store.h"
#include "core/coeff/coefficient_write_workflow.h"
#include "core/coeff/entry_exchanges.h"
#include "core/files/validation_files.h"
#include "core/measure/entries_apply.h"
#include "core/tiles/tile_set_workflow.h"
#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"
#include "unit/measure/series_rig.h"

namespace qv {
namespace {

// The reference and an instrument under correction with a gain per angle, a bent photometric
// scale and a slightly shifted wavelength scale: no single tile's ratio removes the error from
// every other tile. The gains are such that their inverse needs no more than the two decimals
// an entry keeps, so that the rounding does not hide the difference between the corrections.
sim::Options pair() {
    sim::Options o = test::referenceAndCorrected({1.0101, 1.0204, 1.0309});
    o.instruments[1].linearity = 0.06;
    o.instruments[1].shiftNm = 0.3;
    return o;
}

const std::vector<std::pair<std::string, std::string>> kTiles = {
    {"white", "white"}, {"mid grey", "midgrey"}, {"dark grey", "darkgrey"},
    {"red", "red"},     {"yellow", "yellow"},    {"green", "green"}};

void measureSet(test::SeriesRig& rig, TileSetWorkflow& set, ValidationRole role) {
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

// The write dialog's road for the correction the set placed: the list, entry `row` + 1.
// What the write changes in the readings; nothing when it was not written.
std::optional<WrittenCorrection> writeIntoEntry(test::SeriesRig& rig, int row,
                                                const std::string& comment,
                                                Logbook* logbook = nullptr) {
    Seams seams = rig.seams();
    seams.logbook = logbook;
    CoefficientWriteWorkflow w(seams);
    EXPECT_TRUE(w.open());
    std::atomic<bool> stop{false};
    EXPECT_TRUE(w.listDone(false, readEntryList(rig.port(), rig.clock, stop,
                                                [&](const EntryRow& r) { w.addRow(r); })));
    w.select(row);
    w.setComment(comment);
    EXPECT_EQ(w.write(), WriteOutcome::Written);
    return w.written();
}

void nameTiles(test::SeriesRig& rig) {
    std::string names;
    for (const auto& t : kTiles) names += (names.empty() ? "" : "|") + t.first;
    rig.profile.write(key::kTileSetTiles, names);
}

TEST(TileSetRoad, TheFittedCorrectionBringsTheSetCloserThanTheWhiteTileAlone) {
    test::SeriesRig rig(pair());
    nameTiles(rig);
    const ThreeAngles single = rig.state.targetSpectrum;  // the one-specimen pair, kept aside
    auto colour = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    const test::TempHome home;
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    Seams recorded = rig.seams();
    recorded.logbook = &logbook;
    {
        TileSetWorkflow set(recorded, *colour);
        ASSERT_EQ(set.view().rows.size(), kTiles.size());
        measureSet(rig, set, ValidationRole::Target);
        EXPECT_FALSE(set.view().judgeEnabled);
        measureSet(rig, set, ValidationRole::Sample);
        ASSERT_TRUE(set.judge());
        const SetAgreement now = *set.agreement();
        EXPECT_FALSE(now.passed);
        ASSERT_TRUE(set.view().correctEnabled);
        EXPECT_EQ(set.view().lightestTile, "white");
        EXPECT_TRUE(set.resultFile().ok());
        const auto kept = logbook.recordById(set.recordId());
        ASSERT_TRUE(kept && kept->diagnosis);   // the set's diagnosis is on record with it
        EXPECT_EQ(kept->instrumentType, "53");  // of the instrument measured
        EXPECT_EQ((*kept->diagnosis)[2].terms.size(), kTermCount);

        // The correction goes through the one write path, into entry 4.
        ASSERT_TRUE(set.prepareCorrection());
        set.correctionDone(true, writeIntoEntry(rig, 3, "TILE SET"));

        measureSet(rig, set, ValidationRole::Sample);
        ASSERT_TRUE(set.judge());
        ASSERT_TRUE(set.after());
        EXPECT_EQ(set.view().after.passed, set.after()->passed);
        for (int a = 0; a < kAngleCount; ++a) {
            const double fitted = set.fitted()->angles[a].mean;
            const double white = set.lightestOnly()->angles[a].mean;
            const double after = set.after()->angles[a].mean;
            EXPECT_LT(fitted, white) << a;
            EXPECT_LT(after, 0.8 * now.angles[a].mean) << a;
            EXPECT_NEAR(after, fitted, 0.02) << a;  // the prediction holds
        }
    }
    EXPECT_EQ(rig.state.targetSpectrum, single);  // back as it was
}

// A plain gain error: the diagnosis says the factors will do, nothing is asked, and the set read
// again after the write lands where the diagnosis said it would; the instrument is then known
// to follow its entries.
TEST(TileSetRoad, AGainOfTwoPerCentIsCorrectedAsTheDiagnosisPredicts) {
    test::SeriesRig rig(test::referenceAndCorrected({1.02, 1.02, 1.02}));
    nameTiles(rig);
    auto colour = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    TileSetWorkflow set(rig.seams(), *colour);
    measureSet(rig, set, ValidationRole::Target);
    measureSet(rig, set, ValidationRole::Sample);
    ASSERT_TRUE(set.judge());
    ASSERT_TRUE(set.diagnosis());
    const Diagnosis diagnosis = *set.diagnosis();
    ASSERT_EQ(diagnosis.overall, Recommendation::WriteFactors) << diagnosis.angles[1].reason;
    EXPECT_FALSE(entriesApply(rig.profile, "L70S-200002"));

    rig.prompter.asked.clear();
    ASSERT_TRUE(set.prepareCorrection());
    EXPECT_TRUE(rig.prompter.asked.empty());  // nothing to doubt
    set.correctionDone(true, writeIntoEntry(rig, 5, "GAIN 2"));

    measureSet(rig, set, ValidationRole::Sample);
    ASSERT_TRUE(set.judge());
    ASSERT_TRUE(set.after());
    EXPECT_TRUE(set.after()->passed);
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleDiagnosis& d = diagnosis.angles[a];
        EXPECT_GT(d.meanBefore, SetLimits{}.meanThreshold) << a;
        EXPECT_NEAR(set.after()->angles[a].mean, d.meanAfterFactors, 0.03) << a;
    }
    ASSERT_TRUE(entriesApply(rig.profile, "L70S-200002"));
    EXPECT_EQ(entriesApply(rig.profile, "L70S-200002")->effect, EntryEffect::Applies);
    EXPECT_EQ(entriesApply(rig.profile, "L70S-200002")->entry, 6);
}

// The instrument drifts after a tile-set correction; the set read again through entry 6 is
// corrected on top of it (the operator names it), and lands where the second fit predicts.
TEST(TileSetRoad, ASecondCorrectionOfADriftedInstrumentStandsOnTheFirst) {
    test::SeriesRig rig(test::referenceAndCorrected({1.02, 1.02, 1.02}));
    nameTiles(rig);
    auto colour = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    SqlLogbook logbook(rig.home.path() + "/logbook.sqlite");
    const auto correct = [&](int row, const char* comment, std::optional<std::size_t> choice) {
        TileSetWorkflow set(rig.seams(), *colour);
        measureSet(rig, set, ValidationRole::Target);
        measureSet(rig, set, ValidationRole::Sample);
        EXPECT_TRUE(set.judge());
        EXPECT_FALSE(set.agreement()->passed);
        EXPECT_TRUE(set.prepareCorrection());
        rig.prompter.asked.clear();
        rig.prompter.choices = {choice};
        set.correctionDone(true, writeIntoEntry(rig, row, comment, &logbook));
        measureSet(rig, set, ValidationRole::Sample);
        EXPECT_TRUE(set.judge());
        return set.after();
    };
    ASSERT_TRUE(correct(5, "GAIN 2", std::nullopt)->passed);
    rig.control("set DUT:gain=1.035/1.03/1.045");
    const auto after = correct(6, "DRIFT", 1);  // entry 006
    ASSERT_EQ(rig.prompter.offeredChoices.size(), 1u);
    EXPECT_NE(rig.prompter.offeredChoices[0][1].find("006 \"GAIN 2\""), std::string::npos);
    ASSERT_TRUE(after);
    EXPECT_TRUE(after->passed);
    for (int a = 0; a < kAngleCount; ++a)
        EXPECT_LT(after->angles[a].mean, SetLimits{}.meanThreshold / 2) << a;
    EXPECT_EQ(entriesApply(rig.profile, "L70S-200002")->entry, 7);
}

// An offset and a shifted wavelength scale, which factors cannot remove: Correct... asks first,
// naming the cause and what the factors would leave, and No places nothing for the write.
TEST(TileSetRoad, FactorsTheDiagnosisDoubtsAreWrittenOnlyWhenTheOperatorSaysSo) {
    test::SeriesRig rig(pair());
    rig.control("set DUT:offset=0.3,shift=0.6,linearity=0");
    nameTiles(rig);
    auto colour = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    TileSetWorkflow set(rig.seams(), *colour);
    measureSet(rig, set, ValidationRole::Target);
    measureSet(rig, set, ValidationRole::Sample);
    ASSERT_TRUE(set.judge());
    ASSERT_TRUE(set.diagnosis());
    EXPECT_EQ(set.diagnosis()->overall, Recommendation::Service);
    // Service is not asked for by pressing Correct...
    EXPECT_EQ(set.view().instruction.find("Press Correct"), std::string::npos);
    EXPECT_NE(set.view().instruction.find("calls for service"), std::string::npos);
    const ThreeAngles single = rig.state.targetSpectrum;

    rig.prompter.asked.clear();  // the measurements' acknowledgements
    rig.prompter.answers = {Answer::No};
    EXPECT_FALSE(set.prepareCorrection());
    ASSERT_EQ(rig.prompter.ids(), std::vector<int>{kStrCorrectionDoubtful});
    const std::string& suffix = rig.prompter.asked[0].suffix;
    EXPECT_NE(suffix.find("Service: zero calibration: 0.30 % added"), std::string::npos) << suffix;
    EXPECT_NE(suffix.find("Predicted with the fitted factors (limits: mean below 0,30"),
              std::string::npos)
        << suffix;
    EXPECT_NE(
        suffix.find("75\u00b0 mean " + rig.seams().format.display(set.fitted()->angles[2].mean)),
        std::string::npos)
        << suffix;
    EXPECT_EQ(rig.state.targetSpectrum, single);  // nothing placed for the write dialog

    EXPECT_TRUE(set.prepareCorrection());  // Yes
    EXPECT_EQ(rig.prompter.asked.size(), 2u);
    EXPECT_NE(rig.state.targetSpectrum, single);
}

TEST(TileSetRoad, TheCommandLineJudgesASetFromJudgementFiles) {
    test::SeriesRig rig(pair());
    auto colour = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    // Two tiles' judgement files as compare leaves them, from readings of the simulator.
    QStringList files;
    for (const char* specimen : {"white", "red"}) {
        rig.control(std::string("specimen ") + specimen + " all");
        ThreeAngles taken[2];
        for (int i = 0; i < 2; ++i) {
            rig.control(i == 0 ? "plug REF" : "plug DUT");
            const auto role = i == 0 ? ValidationRole::Target : ValidationRole::Sample;
            ValidationWorkflow v(rig.seams(), *colour, role);
            const auto measured = v.measure();
            ASSERT_TRUE(measured);
            taken[i] = measured->spectra;
        }
        const std::string path = rig.home.path() + "/" + specimen + ".csv";
        std::ofstream(path, std::ios::binary)
            << formatJudgementFile(taken[0], taken[1], "L70S-100001", "L70S-200002",
                                   {2026, 12, 7, 9, 0, 0}, test::projectStrings(), {});
        files << QString::fromStdString(path);
    }
    const QString out = QString::fromStdString(rig.home.path() + "/fit.csv");
    const auto run = [&](QStringList args) {
        return test::runCli(QStringList{"agreement"} + args);
    };
    const test::CliRun judged =
        run(QStringList{"--tiles", "white,red", "--json", "--coefficients", out} + files);
    ASSERT_EQ(judged.exitCode, 1) << judged.err;
    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(judged.out)).object();
    EXPECT_EQ(root["lightestTile"].toString(), "white");
    EXPECT_FALSE(root["passed"].toBool());
    EXPECT_TRUE(std::filesystem::exists(out.toStdString()));
    // The coefficient file is not replaced; a file that is not a judgement file is named.
    EXPECT_EQ(run(QStringList{"--tiles", "white,red", "--coefficients", out} + files).exitCode, 2);
    const test::CliRun wrong = run({"--tiles", "white", out});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("is not a judgement file"), std::string::npos) << wrong.err;
    EXPECT_EQ(run(QStringList{"--tiles", "white"} + files).exitCode, 2);  // two files, one name
}

}  // namespace
}  // namespace qv
