// qvl70s-cli entries and delete-entry as a separate process against the simulated instrument.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/cli_run.h"
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
