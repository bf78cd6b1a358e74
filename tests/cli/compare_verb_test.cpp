// qvl70s-cli compare and usercal in process against two simulated instruments, each on a port
// of its own, with settings and files in a temporary home.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/tiles/diagnosis.h"
#include "platform/log/sql_logbook.h"
#include "support/cli_run.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"

namespace qv {
namespace {

using test::CliRun;
using test::SimInstrument;

sim::Options instrument(const std::string& id, std::array<double, 3> gain,
                        sim::InstrumentConfig::EntryRule rule = {}) {
    sim::InstrumentConfig c;
    c.idText = id;
    c.gain = gain;
    c.entryRule = rule;
    sim::Options o;
    o.instruments.push_back(c);
    return o;
}

struct CompareCli : ::testing::Test {
    CliRun compare(SimInstrument& sample, const QStringList& more = {}) {
        return test::runCli(QStringList{"compare", "--reference-port",
                                        QString::fromStdString(reference.port()), "--port",
                                        QString::fromStdString(sample.port())} +
                            more);
    }
    std::string data() const { return home.documents() + "/VARNHOLT/QV-L70s/Data"; }
    // The names in the data folder that start with `stem`.
    std::vector<std::string> files(const std::string& stem) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(data()))
            if (entry.path().filename().string().rfind(stem, 0) == 0)
                names.push_back(entry.path().filename().string());
        return names;
    }

    test::TempHome home;
    SimInstrument reference{instrument("L70S-100001", {1.0, 1.0, 1.0})};
};

TEST_F(CompareCli, ADriftedInstrumentFailsAngleByAngleWithBothFiles) {
    SimInstrument drifted(instrument("L70S-200002", {1.01, 1.03, 1.05}));
    const CliRun r = compare(drifted, {"--json"});
    ASSERT_EQ(r.exitCode, 1) << r.err;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(root["referenceInstrument"].toString().toStdString(), "L70S-100001");
    EXPECT_EQ(root["instrument"].toString().toStdString(), "L70S-200002");
    EXPECT_FALSE(root["passed"].toBool());
    EXPECT_TRUE(root["plausible"].toBool());
    const QJsonArray angles = root["angles"].toArray();
    ASSERT_EQ(angles.size(), 3);
    double previous = 0.0;
    for (const QJsonValue& angle : angles) {
        // More gain, more difference: the 45-degree raw read lands at its own angle.
        const double dE = angle["deltaE"].toDouble();
        EXPECT_GT(dE, previous) << angle["angle"].toInt();
        EXPECT_NEAR(angle["sample"]["L"].toDouble() - angle["target"]["L"].toDouble(),
                    angle["dL"].toDouble(), 0.01);
        previous = dE;
    }
    EXPECT_DOUBLE_EQ(root["maxDeltaE"].toDouble(), previous);
    EXPECT_GT(previous, root["threshold"].toDouble());
    for (const char* key : {"targetFile", "judgementFile"})
        EXPECT_EQ(std::filesystem::path(root[key].toString().toStdString()).parent_path(), data())
            << key;
    EXPECT_EQ(files("Target_").size(), 1u);
    EXPECT_EQ(files("Judgement_").size(), 1u);

    // The target file registers as the reference: the same judgement without the reference
    // instrument (to the six decimals the file keeps).
    const std::string targetFile = root["targetFile"].toString().toStdString();
    const CliRun again =
        test::runCli({"compare", "--reference-file", QString::fromStdString(targetFile), "--port",
                      QString::fromStdString(drifted.port()), "--json"});
    ASSERT_EQ(again.exitCode, 1) << again.err;
    const QJsonObject registered =
        QJsonDocument::fromJson(QByteArray::fromStdString(again.out)).object();
    EXPECT_EQ(registered["referenceInstrument"].toString().toStdString(), "L70S-100001");
    EXPECT_NEAR(registered["maxDeltaE"].toDouble(), previous, 1e-4);
    EXPECT_EQ(test::runCli({"compare", "--port", "x"}).exitCode, 2);  // no reference at all
}

TEST_F(CompareCli, EqualInstrumentsPassOnAverages) {
    SimInstrument twin(instrument("L70S-200002", {1.0, 1.0, 1.0}));
    const CliRun r = compare(twin, {"--average", "2"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("largest dE*ab 0.00"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("verdict PASSED"), std::string::npos);
    EXPECT_EQ(r.out.find("plausible"), std::string::npos);
    EXPECT_EQ(files("Judgement_").size(), 1u);
}

// The refusal names --yes, and --yes is what answers it.
TEST_F(CompareCli, OneInstrumentTwiceIsJudgedOnlyWithYes) {
    const CliRun refused = compare(reference);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--yes was not given"), std::string::npos) << refused.err;
    EXPECT_TRUE(files("Judgement_").empty());
    const CliRun agreed = compare(reference, {"--yes"});
    EXPECT_EQ(agreed.exitCode, 0) << agreed.err;
    EXPECT_NE(agreed.out.find("verdict PASSED"), std::string::npos) << agreed.out;
    EXPECT_EQ(files("Judgement_").size(), 1u);
}

TEST_F(CompareCli, AnUnpluggedSampleEndsTheCheckWithoutJudgement) {
    SimInstrument sample(instrument("L70S-200002", {1.0, 1.0, 1.0}));
    ASSERT_EQ(sample.control("unplug"), "ok");
    const CliRun r = compare(sample);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("compare: instrument under correction on"), std::string::npos) << r.err;
    EXPECT_EQ(files("Target_").size(), 1u);
    EXPECT_TRUE(files("Judgement_").empty());
}

TEST_F(CompareCli, AMissingResultFileFailsAfterTheVerdict) {
    std::filesystem::create_directories(std::filesystem::path(data()).parent_path());
    std::ofstream(data()) << "in the way";
    SimInstrument twin(instrument("L70S-200002", {1.0, 1.0, 1.0}));
    const CliRun r = compare(twin);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.out.find("verdict PASSED"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("compare: the target file"), std::string::npos) << r.err;
}

// The whole user calibration headless: the drifted instrument is corrected into agreement, and a
// second run finds nothing to write.
TEST_F(CompareCli, UsercalWritesTheEntryAndProvesTheCorrection) {
    SimInstrument drifted(instrument("L70S-200002", {1.01, 1.03, 1.05}));
    const QStringList usercal{"usercal",
                              "--reference-port",
                              QString::fromStdString(reference.port()),
                              "--port",
                              QString::fromStdString(drifted.port()),
                              "--entry",
                              "9",
                              "--comment",
                              "after service"};
    const CliRun r = test::runCli(usercal);
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("verdict FAILED"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("entry 9 written"), std::string::npos);
    EXPECT_NE(r.out.find("verdict before FAILED, after PASSED"), std::string::npos) << r.out;
    EXPECT_EQ(files("Judgement_").size(), 2u);
    EXPECT_EQ(files("Coefficients_").size(), 1u);
    const CliRun listed =
        test::runCli({"entries", "--port", QString::fromStdString(drifted.port())});
    EXPECT_NE(listed.out.find("009  AFTER SERVICE"), std::string::npos) << listed.out;
    const CliRun again = test::runCli(usercal);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("no correction is needed"), std::string::npos) << again.out;

    // Every step on record, newest first, naming the instrument under correction.
    const QString port = QString::fromStdString(drifted.port());
    ASSERT_EQ(test::runCli({"delete-entry", "--port", port, "--entry", "9", "--yes"}).exitCode, 0);
    const CliRun history = test::runCli({"history", "--serial", "L70S-200002", "--json"});
    const QJsonArray records = QJsonDocument::fromJson(QByteArray::fromStdString(history.out))
                                   .object()["records"]
                                   .toArray();
    QStringList kinds;
    for (const auto& record : records) kinds << record.toObject()["kind"].toString();
    ASSERT_EQ(kinds.join(' '),
              "entry-deletion inter-instrument verification entry-write inter-instrument")
        << history.out;
    const auto at = [&records](int i, const char* key) { return records[i].toObject().value(key); };
    EXPECT_EQ(at(0, "comment").toString(), "AFTER SERVICE");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(at(i, "instrumentType").toString(), "53") << i;
    EXPECT_EQ(at(2, "referenceSerial").toString(), "L70S-100001");
    for (int a = 0; a < 3; ++a)
        EXPECT_EQ(at(2, "angles")[a]["beforeDeltaE"], at(4, "angles")[a]["deltaE"]) << a;
}

// The lab wants a daily repeatability check the instrument never had: usercal still checks the
// pair (a check is how it becomes current), but writes nothing until a supervisor says why, and
// the write's record keeps the reason.
TEST_F(CompareCli, UsercalOnAnOverdueInstrumentWritesOnlyOnASupervisorsReason) {
    {
        SqlLogbook log(logbookPath());
        std::string why;
        ASSERT_TRUE(log.setCheckInterval(CheckKind::Repeatability, {1, 0}, why)) << why;
    }
    SimInstrument drifted(instrument("L70S-200002", {1.01, 1.03, 1.05}));
    const QString port = QString::fromStdString(drifted.port());
    const QStringList usercal{"usercal",
                              "--reference-port",
                              QString::fromStdString(reference.port()),
                              "--port",
                              port,
                              "--entry",
                              "9",
                              "--comment",
                              "after service"};
    const CliRun held = test::runCli(usercal);
    EXPECT_EQ(held.exitCode, 2) << held.err << held.out;
    EXPECT_NE(held.out.find("verdict FAILED"), std::string::npos) << held.out;
    EXPECT_NE(held.err.find("L70S-200002: its repeatability check was never made"),
              std::string::npos)
        << held.err;
    EXPECT_NE(test::runCli({"entries", "--port", port}).out.find("009  (free)"), std::string::npos);

    const CliRun done = test::runCli(QStringList(usercal) << "--override"
                                                          << "service visit");
    ASSERT_EQ(done.exitCode, 0) << done.err << done.out;
    SqlLogbook log(logbookPath());
    const std::vector<CheckRecord> records = log.records("L70S-200002");
    const auto write = std::find_if(records.begin(), records.end(), [](const CheckRecord& r) {
        return r.kind == RecordKind::EntryWrite;
    });
    ASSERT_NE(write, records.end());
    EXPECT_EQ(write->overrideReason, "service visit");
    EXPECT_EQ(records.back().overdue, "its repeatability check was never made");
}

// The colour differences a usercal run printed on the line that starts with `label`.
std::array<double, 3> row(const std::string& out, const std::string& label) {
    std::array<double, 3> v{-1, -1, -1};
    const auto at = out.find(label);
    if (at == std::string::npos) return v;
    std::istringstream line(out.substr(at + label.size(), out.find('\n', at) - at));
    for (double& x : v) line >> x;
    return v;
}

QStringList usercalInto(const SimInstrument& reference, const SimInstrument& sample, int entry) {
    return {"usercal",
            "--reference-port",
            QString::fromStdString(reference.port()),
            "--port",
            QString::fromStdString(sample.port()),
            "--entry",
            QString::number(entry),
            "--comment",
            QStringLiteral("pass %1").arg(entry),
            "--yes"};
}

// With the pair's diagnosis on record (a gain at every angle, which factors remove wherever a
// colour lies), the write says how far the entry holds, and its record names the reference.
TEST_F(CompareCli, UsercalSaysHowFarTheEntryHoldsWhenThePairIsDiagnosed) {
    {
        CheckRecord set = emptyRecord(RecordKind::TileSet, {2020, 1, 1, 9, 0, 0});
        set.serial = "L70S-200002";
        set.referenceSerial = "L70S-100001";
        set.formula = "dE00";
        DiagnosisRecord d;
        for (int a = 0; a < 3; ++a) {
            d[a] = {"write-factors", "a gain", 0.1, 0.1, {}};
            for (std::size_t k = 0; k < kTermCount; ++k) {
                const std::string key(termInfo(static_cast<Term>(k)).key);
                d[a].terms.push_back({key, key == "gain" ? 1.0 + 2.0 * a : 0.0, 0.01, true});
            }
        }
        set.diagnosis = d;
        SqlLogbook logbook(logbookPath());
        ASSERT_TRUE(logbook.isOpen());
        logbook.record(set);
    }
    SimInstrument drifted(instrument("L70S-200002", {1.01, 1.03, 1.05}));
    const CliRun r = test::runCli(usercalInto(reference, drifted, 4));
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    // Said once the verification confirms the prediction on the specimen.
    const auto said = r.out.find(
        "entry valid near its specimen (residual below 0.50 dE*ab, diagnosis of tile-set record 1, "
        "verification record ");
    ASSERT_NE(said, std::string::npos) << r.out;
    EXPECT_GT(said, r.out.find("after correction"));
    EXPECT_NE(r.out.find("): beyond 20 dE00 at 25 degrees, beyond 20 dE00 at 45 degrees, beyond 20 "
                         "dE00 at 75 degrees\nTried: colours made lighter",
                         said),
              std::string::npos)
        << r.out;
    SqlLogbook logbook(logbookPath());
    const std::vector<CheckRecord> records = logbook.records("L70S-200002");
    const auto write = std::find_if(records.begin(), records.end(), [](const CheckRecord& c) {
        return c.kind == RecordKind::EntryWrite;
    });
    ASSERT_NE(write, records.end());
    EXPECT_EQ(write->referenceSerial, "L70S-100001");
}

// An instrument that drifts after its first correction: the second correction names the first
// entry as what its readings passed through, so the two converge instead of the second undoing
// the first. Without --basis nothing is written, whatever --yes says.
TEST_F(CompareCli, ASecondCorrectionGoesOnTopOfTheEntryNamedAsItsBasis) {
    SimInstrument drifted(instrument("L70S-200002", {1.01, 1.03, 1.05}));
    const CliRun first = test::runCli(usercalInto(reference, drifted, 9));
    ASSERT_EQ(first.exitCode, 0) << first.err << first.out;
    const auto firstAfter = row(first.out, "dE*ab after correction");
    // The drift puts the new factors (1/gain) on the two decimals an entry keeps, so that what
    // remains is the computation on top, not the rounding.
    ASSERT_EQ(drifted.control("set A:gain=1.0309/1.0417/1.0753"), "ok");
    const std::size_t before = drifted.received().size();
    const CliRun unsaid = test::runCli(usercalInto(reference, drifted, 10));
    EXPECT_EQ(unsaid.exitCode, 2) << unsaid.err << unsaid.out;
    EXPECT_NE(unsaid.err.find("009 \"PASS 9\""), std::string::npos) << unsaid.err;
    EXPECT_NE(unsaid.err.find("give --basis none or --basis N"), std::string::npos) << unsaid.err;
    const std::vector<std::string> received = drifted.received();
    for (std::size_t i = before; i < received.size(); ++i) {
        EXPECT_NE(received[i].rfind("UCS", 0), 0u) << received[i];
        EXPECT_NE(received[i].rfind("USD", 0), 0u) << received[i];
    }
    QStringList onTop = usercalInto(reference, drifted, 10);
    onTop << "--basis"
          << "9";
    const CliRun second = test::runCli(onTop);
    ASSERT_EQ(second.exitCode, 0) << second.err << second.out;
    EXPECT_NE(second.err.find("on top of entry 009's"), std::string::npos) << second.err;
    const auto secondAfter = row(second.out, "dE*ab after correction");
    for (int a = 0; a < 3; ++a) {
        // The prediction of a single-specimen correction is the target itself.
        EXPECT_LE(secondAfter[a], firstAfter[a]) << a << second.out;
        EXPECT_LT(secondAfter[a], 0.03) << a;
    }
}

// Entries out of force: the first verification finds the readings unchanged and keeps that;
// the next correction says a written entry will not change what is measured, and without
// --yes nothing is written.
TEST_F(CompareCli, AnInstrumentThatIgnoresItsEntriesIsToldBeforeTheNextWrite) {
    SimInstrument ignoring(
        instrument("L70S-300003", {1.01, 1.03, 1.05}, sim::InstrumentConfig::EntryRule::None));
    const CliRun first = test::runCli(usercalInto(reference, ignoring, 4));
    EXPECT_EQ(first.exitCode, 1) << first.err << first.out;
    EXPECT_NE(first.out.find("does not apply the entry"), std::string::npos) << first.out;
    QStringList again = usercalInto(reference, ignoring, 5);
    again.removeLast();  // no --yes
    again << "--basis"
          << "none";
    const CliRun second = test::runCli(again);
    EXPECT_EQ(second.exitCode, 1) << second.err << second.out;
    EXPECT_NE(second.err.find("will not change what this program measures"), std::string::npos)
        << second.err;
    EXPECT_NE(second.err.find("found that entry 004 does not apply"), std::string::npos)
        << second.err;
    const CliRun listed =
        test::runCli({"entries", "--port", QString::fromStdString(ignoring.port())});
    EXPECT_EQ(listed.out.find("005  PASS 5"), std::string::npos) << listed.out;
}

}  // namespace
}  // namespace qv
