// qvl70s-cli entries, delete-entry and write-entry in process against the simulated instrument.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fstream>

#include "core/files/record_file.h"
#include "support/cli_run.h"
#include "support/project_strings.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace qv {
namespace {

TEST(EntryCli, AnOccupiedEntryIsListedAndEmptiedOnlyWithYes) {
    const test::TempHome home;
    test::SimInstrument sim("53", "L70S-000042");
    {
        test::SimLine line(sim.port());
        ASSERT_EQ(line.ask("UCS,1,004,LAB 1,06.12.2026 05:28:35,L70S-000042\r\n"), "OK00\r\n");
    }
    const QString port = QString::fromStdString(sim.port());
    const auto run = [&](QStringList args) { return test::runCli(args << "--port" << port); };

    const test::CliRun listed = run({"entries", "--json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(listed.out)).array();
    ASSERT_EQ(rows.size(), 30);
    EXPECT_EQ(rows[3].toObject()["comment"].toString(), "LAB 1");
    EXPECT_EQ(rows[3].toObject()["serial"].toString(), "L70S-000042");
    EXPECT_EQ(rows[3].toObject()["timeStamp"].toString(), "06.12.2026 05:28:35");
    EXPECT_EQ(rows[4].toObject()["comment"].toString(), "");

    EXPECT_EQ(run({"delete-entry", "--entry", "4"}).exitCode, 1);
    EXPECT_EQ(run({"delete-entry", "--entry", "31"}).exitCode, 2);
    EXPECT_EQ(run({"delete-entry", "--entry", "4", "--yes"}).exitCode, 0);
    const test::CliRun after = run({"entries"});
    EXPECT_NE(after.out.find("004  (free)"), std::string::npos) << after.out;
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(EntryCli, WriteEntryTakesTheFactorsFromACoefficientFile) {
    const test::TempHome home;
    test::SimInstrument sim("53", "L70S-000042");
    CoefficientRecord record;
    record.sampleSerial = "L70S-000042";
    record.comment = "FROM FILE";
    for (int a = 0; a < kAngleCount; ++a) {
        record.target[a].assign(34, 41.0);
        record.sample[a].assign(35, 40.0);
        record.coefficients[a].assign(32, 1.0);
    }
    const std::string file = home.path() + "/coefficients.csv";
    {
        std::ofstream out(file, std::ios::binary);
        out << formatRecordFile(record, test::projectStrings(), {});
    }
    const QString port = QString::fromStdString(sim.port());
    const auto write = [&](QStringList extra) {
        return test::runCli(QStringList{"write-entry", "--port", port, "--entry", "5", "--comment",
                                        "lab 2", "--from", QString::fromStdString(file)}
                            << extra);
    };
    const test::CliRun first = write({});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("record file "), std::string::npos);
    const test::CliRun listed = test::runCli({"entries", "--port", port});
    EXPECT_NE(listed.out.find("005  LAB 2"), std::string::npos) << listed.out;
    EXPECT_EQ(write({}).exitCode, 1);  // occupied now
    EXPECT_EQ(write({"--yes"}).exitCode, 0);

    // A damaged file is refused as the coefficient file dialog refuses it, before the port is
    // opened: the entry keeps what it holds.
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << formatRecordFile(record, test::projectStrings(), {}).substr(0, 400);
    }
    const test::CliRun damaged = write({"--yes"});
    EXPECT_EQ(damaged.exitCode, 2);
    EXPECT_NE(damaged.err.find("is not a complete coefficient file"), std::string::npos)
        << damaged.err;
    EXPECT_EQ(sim.received().back().substr(0, 3), "UCS");
}

}  // namespace
}  // namespace qv
