// The certificate of a logbook record as a PDF, through the command line: the logbook found
// where the programs keep it, the page painted without a screen, no file written over.
#include <gtest/gtest.h>

#include <QFile>

#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/temp_home.h"

namespace qv {
namespace {

TEST(Certificate, ARecordOfTheLogbookBecomesAPdfThatIsNeverWrittenOver) {
    const test::TempHome home;
    CheckRecord r = emptyRecord(RecordKind::Verification, {2026, 12, 7, 15, 4, 5});
    r.serial = "L70S-200002";
    r.referenceSerial = "L70S-100001";
    r.threshold = 0.6;
    r.formula = "dE00";
    r.passed = true;
    for (AngleRecord& a : r.angles) a = {{52.3, 38.5, 21.1}, 0.12, 0.71};
    std::int64_t id = 0;
    {
        SqlLogbook logbook(logbookPath());
        ASSERT_TRUE(logbook.isOpen());
        logbook.record(r);
        id = logbook.records(r.serial).at(0).id;
    }
    const QString out = QString::fromStdString(home.path() + "/record.pdf");
    const QStringList args{"certificate", "--record", QString::number(id), "--out", out};
    const test::CliRun run = test::runCli(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    QFile pdf(out);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_GT(pdf.size(), 1000);
    EXPECT_EQ(pdf.read(5), "%PDF-");

    const test::CliRun again = test::runCli(args);
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    const test::CliRun missing =
        test::runCli({"certificate", "--record", QString::number(id + 1), "--out", out + "2"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("holds no record"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace qv
