// Earlier result files taken into the logbook: one file of every kind, made by the program's
// own writers on a machine with a decimal comma, recorded once with what it says; files of
// other programs and damaged ones named and skipped.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/files/record_file.h"
#include "core/files/validation_files.h"
#include "core/log/record_spectra.h"
#include "core/log/result_file_import.h"
#include "core/tiles/set_files.h"
#include "platform/app/atomic_file_store.h"
#include "platform/log/import_folder.h"
#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/project_strings.h"
#include "support/record_builder.h"
#include "support/temp_home.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using Outcome = ImportedFile::Outcome;

const NumberFormat kWritten(',', ";");
const NumberFormat kUser('.', ",");
const std::string kSerial = "L70S-200002";
const std::string kReference = "L70S-100001";

LocalTime at(int minute) {
    return {2026, 12, 7, 9, minute, 15};
}

// Per angle 31 reflectances, then L*, a*, b* and, for a sample, dE + 0.1 per angle.
ThreeAngles angles(double level, std::optional<double> dE) {
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a) {
        out[a] = AngleSpectrum(kSpectrumPoints, level + a);
        out[a].insert(out[a].end(), {60.0 + a, 2.5, -1.25});
        if (dE) out[a].push_back(*dE + 0.1 * a);
    }
    return out;
}

void put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string judgementText(const NumberFormat& format) {
    return formatJudgementFile(angles(30, {}), angles(31, 0.4), kReference, kSerial, at(1),
                               test::projectStrings(), format);
}

SetReport setReport() {
    SetAgreement measured{{{0.2, 0.4, 0.6}, {0.4, 0.6, 1.0}}, {}, false};
    SetAgreement after{{{0.1, 0.1, 0.2}, {0.1, 0.3, 0.2}}, {}, true};
    for (int a = 0; a < kAngleCount; ++a) {
        measured.angles[a] = {
            (measured.deltaE[0][a] + measured.deltaE[1][a]) / 2, 1.0, 1, 0.5, false, {}};
        after.angles[a] = {0.1 * (a + 1), 0.3, 1, 0.2, true, {}};
    }
    return {{"Ceramics", {"white", "red"}},
            kReference,
            kSerial,
            "dE*ab",
            at(4),
            {0.3, 0.6, {}},
            measured,
            std::nullopt,
            after,
            "53",
            std::nullopt};
}

// One file of every kind and two that are not ours.
void writeFolder(const std::string& folder) {
    const auto& texts = test::projectStrings();
    fs::create_directories(folder);
    RepeatSeries series;
    for (int k = 0; k < 3; ++k)
        for (int a = 0; a < kAngleCount; ++a)
            series[3 * k + a] = angles(40, k == 0 ? std::nullopt : std::optional(0.1 * k))[a];
    put(folder + "/Repeatability_1.csv",
        formatRepeatabilityFile(series, kSerial, at(0), texts, kWritten, "dE*ab"));
    put(folder + "/Judgement_1.csv", judgementText(kWritten));
    put(folder + "/Judgement_2.csv",
        formatJudgementFile(angles(30, {}), angles(31, 0.2), kReference, kSerial, at(2), texts,
                            kWritten, std::array{1.5, 1.6, 1.7}));
    put(folder + "/Target_1.csv",
        formatTargetFile(angles(30, {}), kReference, at(1), texts, kWritten));
    put(folder + "/Coefficients_1.csv",
        formatRecordFile({at(3), kSerial, "SHADE 7", {}, series, angles(30, {}), angles(31, {})},
                         texts, kWritten));
    put(folder + "/TileSet_1.csv", formatSetFile(setReport(), kWritten));
    put(folder + "/Foreign.csv", "name,value\r\nalpha,1\r\n");
    put(folder + "/Empty.csv", "");
}

TEST(ResultFileImport, EveryKindIsRecordedOnceWithWhatItsFileSays) {
    test::TempHome home;
    const std::string folder = home.path() + "/Data";
    writeFolder(folder);
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    ASSERT_TRUE(logbook.isOpen());
    // A check recorded as it wrote its file is not recorded again.
    const CheckRecord live = test::RecordBuilder(RecordKind::Repeatability, at(5))
                                 .serial(kSerial)
                                 .files({folder + "/Repeatability_2.csv"})
                                 .build();
    put(live.files[0], formatJudgementFile(angles(30, {}), angles(32, 0.5), kReference, kSerial,
                                           at(5), test::projectStrings(), kWritten));
    logbook.record(live);

    std::map<std::string, ImportedFile> first;
    for (auto& f : importFolder(folder, logbook, kUser, test::projectStrings()))
        first[fs::path(f.path).filename().string()] = f;
    ASSERT_EQ(first.size(), 9u);
    for (const auto& [name, kind] :
         std::map<std::string, std::string>{{"Repeatability_1.csv", "repeatability"},
                                            {"Judgement_1.csv", "inter-instrument"},
                                            {"Judgement_2.csv", "verification"},
                                            {"Coefficients_1.csv", "entry-write"},
                                            {"TileSet_1.csv", "tile-set"}}) {
        EXPECT_EQ(first[name].outcome, Outcome::Imported) << name << ": " << first[name].detail;
        EXPECT_EQ(first[name].detail, kind) << name;
    }
    EXPECT_EQ(first["Repeatability_2.csv"].outcome, Outcome::AlreadyRecorded);
    EXPECT_EQ(first["Target_1.csv"].detail, "a target measurement, not a check");
    for (const char* name : {"Target_1.csv", "Foreign.csv", "Empty.csv"})
        EXPECT_EQ(first[name].outcome, Outcome::Skipped) << name;
    EXPECT_EQ(first["Foreign.csv"].detail.rfind("line 1: ", 0), 0u) << first["Foreign.csv"].detail;

    const auto records = logbook.records(kSerial);  // newest first
    ASSERT_EQ(records.size(), 6u);
    const CheckRecord& set = records[1];
    EXPECT_EQ(set.kind, RecordKind::TileSet);
    EXPECT_EQ(set.passed, true);
    EXPECT_EQ(set.comment, "Ceramics");
    EXPECT_DOUBLE_EQ(set.threshold, 0.3);
    EXPECT_NEAR(set.angles[2].deltaE, 0.3, 1e-9);
    EXPECT_NEAR(set.angles[2].beforeDeltaE, 0.8, 1e-9);  // the mean of the readings before
    EXPECT_EQ(records[2].comment, "SHADE 7");
    const CheckRecord& verification = records[3];
    EXPECT_EQ(verification.referenceSerial, kReference);
    EXPECT_NEAR(verification.angles[1].deltaE, 0.3, 1e-9);
    EXPECT_NEAR(verification.angles[2].beforeDeltaE, 1.7, 1e-9);
    const CheckRecord& series = records[5];
    EXPECT_EQ(series.formula, "dE*ab");
    EXPECT_NEAR(series.angles[2].deltaE, 0.4, 1e-9);  // measurement 3's difference, the larger
    EXPECT_NEAR(series.angles[1].lab[0], 61.0, 1e-9);
    EXPECT_EQ(series.files, std::vector<std::string>{folder + "/Repeatability_1.csv"});
    // Who imported the files did not make the checks; who made the live one did.
    EXPECT_EQ(series.operatorName, "");
    EXPECT_NE(records[0].operatorName, "");

    // Again, a copy under another name, and the live check's file gathered from elsewhere:
    // nothing added.
    fs::copy_file(folder + "/Judgement_1.csv", folder + "/Copy.csv");
    fs::create_directories(home.path() + "/Gathered");
    fs::copy_file(live.files[0], home.path() + "/Gathered/FromLab2.csv");
    for (const std::string& from : {folder, home.path() + "/Gathered"})
        for (const auto& f : importFolder(from, logbook, kUser, test::projectStrings()))
            EXPECT_NE(f.outcome, Outcome::Imported) << f.path;
    EXPECT_EQ(logbook.records(kSerial).size(), 6u);
}

TEST(ResultFileImport, DamagedFilesAreNamedAtTheirLineAndNeverHalfRead) {
    const auto& texts = test::projectStrings();
    const auto read = [&](const std::string& text) {
        return recordFromResultFile(text, kUser, texts);
    };
    const std::string whole = judgementText(kUser);
    ASSERT_TRUE(read(whole).record);
    // Either separator pair reads the same record.
    EXPECT_EQ(read(judgementText(kWritten)).record->angles[2].deltaE,
              read(whole).record->angles[2].deltaE);
    const std::string cut = whole.substr(0, whole.rfind("75,"));
    EXPECT_EQ(read(cut).reason.rfind("line 12: ", 0), 0u) << read(cut).reason;
    std::string garbled = whole;
    garbled.replace(garbled.find("31.000000"), 9, "31.0x0000");
    EXPECT_EQ(read(garbled).reason.rfind("line 7: ", 0), 0u) << read(garbled).reason;
    std::string badDate = whole;
    badDate.replace(badDate.find("20261207"), 8, "20261307");
    EXPECT_EQ(read(badDate).reason.rfind("line 1: ", 0), 0u);
    const std::string set = formatSetFile(setReport(), kUser);
    EXPECT_FALSE(read(set.substr(0, set.rfind("Set,"))).record);
    EXPECT_FALSE(read(std::string(1, '\0') + whole).record);
    EXPECT_NE(contentDigest(whole), contentDigest(garbled));
    EXPECT_EQ(contentDigest(""), "cbf29ce484222325");
}

// A certificate draws the spectra from the judgement file its record names, written on a
// machine with other separators; a file moved, cut short or holding other instruments is
// refused with the reason, never drawn half.
TEST(RecordSpectra, AreReadFromTheRecordsJudgementFileOrRefusedWithTheReason) {
    const test::TempHome home;
    const std::string path = home.path() + "/Judgement_1.csv";
    put(path, judgementText(kWritten));
    CheckRecord r = test::RecordBuilder(RecordKind::InterInstrument, at(1))
                        .serial(kSerial)
                        .reference(kReference)
                        .files({path})
                        .build();
    AtomicFileStore files;
    const auto problem = [&] {
        const RecordSpectra read = recordSpectra(r, files, kUser, test::projectStrings());
        EXPECT_FALSE(read.spectra);
        return read.problem;
    };
    const RecordSpectra whole = recordSpectra(r, files, kUser, test::projectStrings());
    ASSERT_TRUE(whole.spectra) << whole.problem;
    for (int a = 0; a < kAngleCount; ++a) {
        EXPECT_EQ(whole.spectra->target[a], AngleSpectrum(kSpectrumPoints, 30.0 + a));
        EXPECT_EQ(whole.spectra->sample[a], AngleSpectrum(kSpectrumPoints, 31.0 + a));
    }
    r.serial = "L70S-999999";
    EXPECT_NE(problem().find("not those of the record"), std::string::npos);
    r.serial = kSerial;
    const std::string text = judgementText(kWritten);
    std::size_t cut = 0;
    for (int line = 0; line < 7; ++line) cut = text.find('\n', cut) + 1;
    put(path, text.substr(0, cut));  // ends before the target's 75° line
    EXPECT_EQ(problem().rfind("Judgement_1.csv, line 8", 0), 0U) << problem();
    fs::remove(path);
    EXPECT_NE(problem().find("cannot be read"), std::string::npos);
    r.kind = RecordKind::Repeatability;
    EXPECT_EQ(problem(), "");
}

TEST(LogVerbs, ImportTheDataFolderThenReadTheHistory) {
    test::TempHome home;
    const std::string program = home.documents() + "/VARNHOLT/QV-L70s";
    writeFolder(program + "/Data");
    const test::CliRun imported = test::runCli({"import"});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_NE(imported.out.find("skipped Target_1.csv: a target measurement, not a check"),
              std::string::npos)
        << imported.out;
    EXPECT_NE(imported.out.find("5 imported, 0 already recorded, 3 skipped"), std::string::npos);
    EXPECT_TRUE(fs::exists(program + "/logbook.sqlite"));
    EXPECT_NE(test::runCli({"import"}).out.find("0 imported, 5 already recorded"),
              std::string::npos);

    const test::CliRun history =
        test::runCli({"history", "--serial", QString::fromStdString(kSerial), "--json"});
    ASSERT_EQ(history.exitCode, 0) << history.err;
    const QJsonArray records = QJsonDocument::fromJson(QByteArray::fromStdString(history.out))
                                   .object()[QStringLiteral("records")]
                                   .toArray();
    QStringList kinds;
    for (const QJsonValue& r : records) kinds << r[QStringLiteral("kind")].toString();
    EXPECT_EQ(kinds, QStringList({"tile-set", "entry-write", "verification", "inter-instrument",
                                  "repeatability"}));
    EXPECT_TRUE(records[0][QStringLiteral("passed")].toBool());
    EXPECT_EQ(test::runCli({"history", "--since", "7 Dec"}).exitCode, 2);
}

}  // namespace
}  // namespace qv
