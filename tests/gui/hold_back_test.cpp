// What the lab's check intervals hold back on the command line: an entry written, a certificate
// and a statement refused for an instrument whose checks are overdue, each let go ahead once
// with --override and the reason kept; a check made meanwhile marked as made while overdue.
#include <gtest/gtest.h>

#include <QFileInfo>

#include <fstream>

#include "core/files/record_file.h"
#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/project_strings.h"
#include "support/record_builder.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace qv {
namespace {

constexpr const char* kSerial = "L70S-000042";
constexpr const char* kNeverMade = "L70S-000042: its repeatability check was never made";

std::string coefficientFile(const test::TempHome& home) {
    CoefficientRecord record;
    record.sampleSerial = kSerial;
    record.comment = "FROM FILE";
    for (int a = 0; a < kAngleCount; ++a) {
        record.target[a].assign(34, 41.0);
        record.sample[a].assign(35, 40.0);
        record.coefficients[a].assign(32, 1.0);
    }
    const std::string file = home.path() + "/coefficients.csv";
    std::ofstream(file, std::ios::binary) << formatRecordFile(record, test::projectStrings(), {});
    return file;
}

CheckRecord newest(RecordKind kind) {
    SqlLogbook log(logbookPath());
    for (const CheckRecord& r : log.records(kSerial))
        if (r.kind == kind) return r;
    return {};
}

TEST(HoldBackCli, AnOverdueInstrumentIsWrittenCertifiedAndStatedOnlyWithAReason) {
    const test::TempHome home;
    test::SimInstrument sim("53", kSerial);
    {
        SqlLogbook log(logbookPath());
        ASSERT_TRUE(log.isOpen());
        std::string why;
        ASSERT_TRUE(log.setCheckInterval(CheckKind::Repeatability, {1, 0}, why)) << why;
    }
    // Calibrating goes on while overdue, and its record says so.
    const QString port = QString::fromStdString(sim.port());
    const test::CliRun calibrated = test::runCli({"calibrate", "--port", port});
    ASSERT_EQ(calibrated.exitCode, 0) << calibrated.err;
    const CheckRecord calibration = newest(RecordKind::Calibration);
    EXPECT_EQ(calibration.overdue, "its repeatability check was never made");

    const QString file = QString::fromStdString(coefficientFile(home));
    const auto write = [&](QStringList extra) {
        return test::runCli(QStringList{"write-entry", "--port", port, "--entry", "5", "--comment",
                                        "lab 2", "--from", file, "--yes"}
                            << extra);
    };
    const test::CliRun held = write({});
    EXPECT_EQ(held.exitCode, 2);
    EXPECT_NE(held.err.find(kNeverMade), std::string::npos) << held.err;
    EXPECT_NE(held.err.find("nothing was written"), std::string::npos) << held.err;
    for (const std::string& sent : sim.received()) EXPECT_NE(sent.substr(0, 3), "UCS") << sent;
    EXPECT_EQ(write({"--override", "   "}).exitCode, 2);  // blanks are no reason

    const test::CliRun overridden = write({"--override", "audit of the reference"});
    ASSERT_EQ(overridden.exitCode, 0) << overridden.err;
    const CheckRecord written = newest(RecordKind::EntryWrite);
    EXPECT_EQ(written.overrideReason, "audit of the reference");
    EXPECT_EQ(written.overdue, "its repeatability check was never made");
    EXPECT_FALSE(written.operatorName.empty());

    const QString pdf = QString::fromStdString(home.path() + "/certificate.pdf");
    const QStringList certificate{"certificate", "--record", QString::number(calibration.id),
                                  "--out", pdf};
    const test::CliRun refused = test::runCli(certificate);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find(kNeverMade), std::string::npos) << refused.err;
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_EQ(test::runCli(QStringList(certificate) << "--override"
                                                    << "customer audit")
                  .exitCode,
              0);
    EXPECT_TRUE(QFileInfo::exists(pdf));

    // Shown without a page, a statement is not issued and nothing holds it back.
    const QString page = QString::fromStdString(home.path() + "/statement.pdf");
    const QStringList statement{"performance", "--serial", kSerial};
    EXPECT_EQ(test::runCli(statement).exitCode, 0);
    EXPECT_EQ(test::runCli(QStringList(statement) << "--out" << page).exitCode, 2);
    EXPECT_FALSE(QFileInfo::exists(page));
    ASSERT_EQ(test::runCli(QStringList(statement) << "--out" << page << "--override"
                                                  << "yearly review")
                  .exitCode,
              0);
    EXPECT_EQ(newest(RecordKind::Statement).overrideReason, "yearly review");

    // Current again: nothing is asked.
    {
        SqlLogbook log(logbookPath());
        log.recordMarked(
            test::RecordBuilder(RecordKind::Repeatability, localTimeOf(std::time(nullptr)))
                .serial(kSerial)
                .judged(0.5, "dE*ab", true)
                .build());
    }
    const test::CliRun current = write({});
    EXPECT_EQ(current.exitCode, 0) << current.err;
    EXPECT_EQ(current.err.find("held back"), std::string::npos) << current.err;
    EXPECT_TRUE(newest(RecordKind::EntryWrite).overdue.empty());
}

}  // namespace
}  // namespace qv
