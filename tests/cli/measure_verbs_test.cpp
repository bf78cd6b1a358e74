// qvl70s-cli calibrate, measure and repeatability in process against the simulated
// instrument, with settings and files in a temporary home.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "core/app/profile_store.h"
#include "core/files/extended_repeatability_file.h"
#include "platform/app/locale_format.h"
#include "platform/app/qt_profile_store.h"
#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace qv {
namespace {

using test::CliRun;

struct MeasureCli : ::testing::Test {
    CliRun run(QStringList args) {
        return test::runCli(args << QStringLiteral("--port") << QString::fromStdString(sim.port()));
    }
    std::size_t resultFiles() const {
        const std::string data = home.documents() + "/VARNHOLT/QV-L70s/Data";
        if (!std::filesystem::exists(data)) return 0;
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(data),
                                                      std::filesystem::directory_iterator()));
    }

    // The commands received from the `first`-th on, each cut at its first comma or escaped
    // control character ("CPS" for the whole CPS command).
    std::vector<std::string> commandsFrom(std::size_t first) const {
        const std::vector<std::string> all = sim.received();
        std::vector<std::string> names;
        for (std::size_t i = first; i < all.size(); ++i)
            names.push_back(all[i].substr(0, all[i].find_first_of(",\\")));
        return names;
    }

    test::TempHome home;
    test::SimInstrument sim{"53"};
};

TEST_F(MeasureCli, CalibrateReportsEachStepAndFailsWithTheReply) {
    CliRun r = run({"calibrate"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("zero calibration: OK00"), std::string::npos);
    EXPECT_NE(r.out.find("white calibration: OK00"), std::string::npos);

    ASSERT_EQ(sim.control("fault UZC reply=OK02"), "ok");
    r = run({"calibrate"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("zero calibration: OK02"), std::string::npos) << r.err;
    const std::size_t before = sim.received().size();
    r = run({"calibrate", "--white-only"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // Connected first, as the desktop program is: identification and the type-53 reset.
    EXPECT_EQ(commandsFrom(before),
              (std::vector<std::string>{"IDR", "CPR", "CPS", "USR", "USS", "CAL"}));
    // The two white calibrations the instrument confirmed are in the logbook, the failed
    // one is not.
    SqlLogbook logbook(logbookPath());
    const std::vector<CheckRecord> records = logbook.records("L70S-000001");
    EXPECT_EQ(records.size(), 2u);
    for (const CheckRecord& c : records) EXPECT_EQ(c.kind, RecordKind::Calibration);
}

TEST_F(MeasureCli, RepeatabilityExitsByVerdictAndWritesTheFile) {
    CliRun r = run({"repeatability"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("verdict PASSED"), std::string::npos);
    EXPECT_EQ(resultFiles(), 1u);
    const std::vector<std::string> connectThenMeasure{"IDR", "CPR", "CPS", "USR",
                                                      "USS", "IDR", "MES"};
    std::vector<std::string> sent = commandsFrom(0);
    sent.resize(std::min(sent.size(), connectThenMeasure.size()));
    EXPECT_EQ(sent, connectThenMeasure);

    QtProfileStore profile;
    profile.write(key::kDefThreshold, "0.00");  // differences of 0 are not below it
    profile.write(key::kDeltaEFormula, "DE00");
    r = run({"repeatability", "--average", "2"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.out.find("verdict FAILED"), std::string::npos);
    EXPECT_NE(r.out.find("largest dE00 0.00"), std::string::npos) << r.out;

    ASSERT_EQ(sim.control("fault IDR reply=OK00,99"), "ok");
    r = run({"repeatability"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("identification failed"), std::string::npos) << r.err;

    r = run({"repeatability", "--average", "31"});
    EXPECT_EQ(r.exitCode, 2);

    // A three-reading check names its specimen as the extended one does: the long-term
    // repeatability chooses checks by that name.
    ASSERT_EQ(sim.control("clear"), "ok");
    r = run({"repeatability", "--specimen", "grey tile"});
    ASSERT_NE(r.exitCode, 2) << r.err;
    SqlLogbook logbook(logbookPath());
    const std::vector<CheckRecord> records = logbook.records("L70S-000001");
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().specimen, "grey tile");
}

// Over many readings: the document printed, the result file read back and the logbook's record
// all tell the same spread.
TEST(ExtendedRepeatabilityCli, ReadingsPrintedWrittenAndRecordedAgree) {
    test::TempHome home;
    sim::Options options = test::oneInstrument("53", "L70S-000001", "red");
    options.instruments[0].noise = 0.05;
    test::SimInstrument sim(options);
    const QString port = QString::fromStdString(sim.port());
    CliRun r = test::runCli({"repeatability", "--port", port, "--readings", "9"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--readings takes a number from 10 to 30"), std::string::npos) << r.err;
    r = test::runCli({"repeatability", "--port", port, "--readings", "10", "--handling",
                      "--specimen", "Red tile", "--json"},
                     "\n\nstop\n");
    EXPECT_EQ(r.exitCode, 2);  // the third question answered with text: stopped, nothing kept
    EXPECT_NE(r.err.find("nothing was recorded"), std::string::npos) << r.err;

    r = test::runCli({"repeatability", "--port", port, "--readings", "10", "--handling", "--yes",
                      "--specimen", "Red tile", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(json["readings"].toInt(), 10);
    EXPECT_EQ(json["formula"].toString(), "dE*ab");
    const QJsonArray angles = json["angles"].toArray();
    ASSERT_EQ(angles.size(), 3);
    const std::string file = json["resultFile"].toString().toStdString();
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const FileRead<ExtendedReport> back = readExtendedFile(text, userNumberFormat());
    ASSERT_TRUE(back.contents) << back.problem;
    EXPECT_TRUE(back.contents->handling);
    EXPECT_EQ(back.contents->specimen, "Red tile");
    SqlLogbook logbook(logbookPath());
    const std::vector<CheckRecord> records = logbook.records("L70S-000001");
    ASSERT_EQ(records.size(), 1u);  // the stopped series left nothing
    EXPECT_EQ(records[0].files, std::vector<std::string>{file});
    for (int a = 0; a < 3; ++a) {
        const QJsonObject angle = angles[a].toObject();
        EXPECT_EQ(angle["angle"].toInt(), kAngleDegrees[a]);
        const AngleSpread& s = back.contents->spread[a];
        const AngleRecord& g = records[0].angles[a];
        const std::array<std::array<double, 3>, 5> same = {
            {{angle["mcdm"].toDouble(), s.mcdm, g.deltaE},
             {angle["sdL"].toDouble(), s.sd[0], g.sd[0]},
             {angle["sda"].toDouble(), s.sd[1], g.sd[1]},
             {angle["sdb"].toDouble(), s.sd[2], g.sd[2]},
             {angle["largest"].toDouble(), s.largest, g.largest}}};
        for (const auto& [printed, read, recorded] : same) {
            EXPECT_GT(printed, 0.0);
            EXPECT_NEAR(read, printed, 1e-6);  // the file keeps six decimals
            EXPECT_DOUBLE_EQ(recorded, printed);
        }
    }
}

TEST_F(MeasureCli, AFailedSettingsResetIsToldAndTheCheckGoesOn) {
    ASSERT_EQ(sim.control("fault CPR reply=ER01"), "ok");  // too short to become a CPS command
    const CliRun r = run({"repeatability"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("the settings reset failed"), std::string::npos) << r.err;
    const std::vector<std::string> sent = commandsFrom(0);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[2], "IDR");  // nothing more of the reset after the refused CPR
}

TEST_F(MeasureCli, RepeatabilityFailsWhenTheResultFileCannotBeWritten) {
    // A plain file where the data folder belongs: neither the folder nor the file can be made.
    const std::string data = home.documents() + "/VARNHOLT/QV-L70s/Data";
    std::filesystem::create_directories(std::filesystem::path(data).parent_path());
    std::ofstream(data) << "in the way";
    const CliRun r = run({"repeatability"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.out.find("verdict PASSED"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("the result file could not be written"), std::string::npos) << r.err;
}

TEST_F(MeasureCli, ThePortTakesTheSavedLineSettings) {
    QtProfileStore profile;
    profile.write(key::kComPort, "/dev/no-such-port");  // the port given on the command line wins
    profile.write(key::kStopBits, "0");
    for (const char* verb : {"measure", "identify"}) {
        SCOPED_TRACE(verb);
        profile.write(key::kBaudRate, "12345");
        profile.write(key::kDataLength, "8");
        profile.write(key::kParity, "0");
        const std::size_t sent = sim.received().size();
        CliRun r = run({verb});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("refuses the saved line settings (BaudRate 12345"), std::string::npos)
            << r.err;
        EXPECT_EQ(sim.received().size(), sent);

        profile.write(key::kBaudRate, "4800");
        profile.write(key::kDataLength, "7");
        profile.write(key::kParity, "2");
        r = run({verb});
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
}

TEST_F(MeasureCli, EveryVerbNamesItselfInItsUsageLine) {
    for (const QStringList& verb :
         {QStringList{"identify"}, QStringList{"calibrate"}, QStringList{"measure"},
          QStringList{"repeatability"}, QStringList{"compare"}, QStringList{"colour", "lab"},
          QStringList{"colour", "diff"}}) {
        const std::string usage =
            "Usage: qvl70s-cli " + verb.join(' ').toStdString() + " [options]";
        SCOPED_TRACE(usage);
        const CliRun help = test::runCli(QStringList(verb) << QStringLiteral("--help"));
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_EQ(help.out.substr(0, usage.size()), usage);
    }
    const CliRun wrong = test::runCli({"colour"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("qvl70s-cli colour diff [options]"), std::string::npos) << wrong.err;
}

TEST_F(MeasureCli, MeasurePrintsSpectraAndCoordinatesAsJson) {
    CliRun r = run({"measure", "--json", "--average", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(root.value("instrument").toString(), QStringLiteral("L70S-000001"));
    EXPECT_EQ(root.value("measurements").toInt(), 2);
    const QJsonArray angles = root.value("angles").toArray();
    ASSERT_EQ(angles.size(), 3);
    for (int a = 0; a < 3; ++a) {
        const QJsonObject angle = angles.at(a).toObject();
        EXPECT_EQ(angle.value("angle").toInt(), (std::array<int, 3>{25, 45, 75}[a]));
        EXPECT_EQ(angle.value("reflectancePercent").toArray().size(), 31);
        EXPECT_GT(angle.value("L").toDouble(), 90.0);  // the white specimen
        EXPECT_EQ(angle.value("sdL").toDouble(), 0.0);
    }
    r = run({"measure"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("L*"), std::string::npos);
}

}  // namespace
}  // namespace qv
