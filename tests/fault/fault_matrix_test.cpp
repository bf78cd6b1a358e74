// Every command the program sends, through every fault the simulated instrument can put on
// the line, inside the real workflows: the message the operator sees, the state left behind,
// the files, and how long each wait took.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/files/repeatability_file.h"
#include "core/link/connection_workflow.h"
#include "core/link/identify.h"
#include "core/link/receive_line.h"
#include "core/measure/average_workflow.h"
#include "core/measure/calibration.h"
#include "core/measure/measurement_exchange.h"
#include "core/measure/repeatability_workflow.h"
#include "fault/fault_rig.h"
#include "fault/matrix_table.h"

namespace qv {
namespace {

using test::FaultRig;

constexpr std::size_t kColumnCount = 9;
constexpr std::size_t kHangUpColumn = 8;

// The faults, in the order of matrixColumns(). The rest of a split line comes 350 ms after its
// first bytes (within the grace, which then runs in real time) or 10 s later (long after the
// workflow has given up on it: every later answer queues behind it).
struct FaultColumn {
    const char* actions;
    bool realGrace;
};
constexpr std::array<FaultColumn, kColumnCount> kFaults = {{
    {"silence", false},
    {"reply ER11", false},
    {"nolf", false},
    {"chunks=3,350", true},
    {"chunks=3,10000", false},
    {"reply \\xff\\xfe\\x1b[2J,\\x7f\\x80?~#noise!", false},
    {"prefix=\\x00\\x00", false},
    {"flood=200000", false},
    {"hangup", false},
}};

enum class Family { Connection, ZeroStep, WhiteStep, Series, Average, RawRead };

struct Row {
    const char* name;
    const char* type;  // of the simulated instrument
    Family family;
    const char* command;  // the mnemonic the fault watches
    int occurrence;       // which one of them, counted from the moment the fault is set
    std::array<const char*, kColumnCount> expected;  // nullptr: the fault means nothing here
};

// clang-format off
const Row kRows[] = {
    // Connection of a type-53 instrument: IDR, then the settings reset CPR, CPS, USR, USS.
    {"connect: IDR", "53", Family::Connection, "IDR", 1,
     {"121 off", "121 off", "- on", "- on", "121 off", "121 off", "121 off", "121 off", "121 off"}},
    // A CPR reply too short or too long for the CPS edit leaves nothing to send: reset failed.
    {"connect: CPR", "53", Family::Connection, "CPR", 1,
     {"121 on", "121 on", "- on", "- on", "121 on", "- on", "121 on", "121 on", "121 on"}},
    // A cut reply is taken; the next command's answer then waits behind the rest: no reply.
    {"connect: CPS", "53", Family::Connection, "CPS", 1,
     {"121 on", "- on", "- on", "- on", "121 on", "- on", "121 on", "- on", "121 on"}},
    {"connect: USR", "53", Family::Connection, "USR", 1,
     {"121 on", "- on", "- on", "- on", "121 on", "- on", "121 on", "- on", "121 on"}},
    {"connect: USS", "53", Family::Connection, "USS", 1,
     {"121 on", "- on", "- on", "- on", "- on", "- on", "121 on", "- on", "121 on"}},
    // Calibration: only the first four characters count, and only the known codes fail.
    {"calibrate: UZC", "53", Family::ZeroStep, "UZC", 1,
     {"113 closed", "113 closed", "- white", "- white", "- pending", "- pending", "113 closed",
      "- pending", "113 closed"}},
    {"calibrate: CAL", "53", Family::WhiteStep, "CAL", 1,
     {"113 failed", "113 failed", "- done", "- done", "- done", "- done", "113 failed", "- done",
      "113 failed"}},
    // Third measurement of a repeatability series on a type-40 instrument: IDR, CPR, MES,
    // then data and companion lines; only an empty reply fails, content is not examined.
    {"series 40: IDR", "40", Family::Series, "IDR", 1,
     {"114 cleared", "114 cleared", "- file", "- file", "114 cleared", "114 cleared",
      "114 cleared", "114 cleared", "114 cleared"}},
    {"series 40: CPR", "40", Family::Series, "CPR", 1,
     {"114 cleared", "- file", "- file", "- file", "114 cleared", "- file", "114 cleared",
      "- file", "114 cleared"}},
    {"series 40: MES", "40", Family::Series, "MES", 1,
     {"114 cleared", "- file", "- file", "- file", "114 cleared", "- file", "114 cleared",
      "- file", "114 cleared"}},
    {"series 40: & data 25", "40", Family::Series, "&", 1,
     {"114 cleared", "- file", "- file", "- file", "114 cleared", "- file", "114 cleared",
      "- file", "114 cleared"}},
    {"series 40: & companion 45", "40", Family::Series, "&", 4,
     {"114 cleared", "- file", "- file", "- file", "114 cleared", "- file", "114 cleared",
      "- file", "114 cleared"}},
    {"series 53: & final line", "53", Family::Series, "&", 7,
     {"114 cleared", "- file", "- file", "- file", "- file", "- file", "114 cleared", "- file",
      "114 cleared"}},
    // Second measurement of an average on a type-40 instrument: STR must answer OK00 as field 1.
    {"average 40: STR", "40", Family::Average, "STR", 1,
     {"114 kept", "114 kept", "- taken", "- taken", "114 kept", "114 kept", "114 kept",
      "114 kept", "114 kept"}},
    {"average 40: & data 75", "40", Family::Average, "&", 5,
     {"114 kept", "- taken", "- taken", "- taken", "114 kept", "- taken", "114 kept", "- taken",
      "114 kept"}},
    // Target measurement: the 45 degree data line is one raw read after a fixed pause, which
    // takes what has come by then (there is no grace to wait in).
    {"target 53: & data 45 raw", "53", Family::RawRead, "&", 3,
     {"- failed", "- ok", "- ok", nullptr, "- failed", "- ok", "- failed", "- ok", "- failed"}},
};
// clang-format on

std::string joined(const std::vector<int>& ids) {
    if (ids.empty()) return "-";
    std::string out;
    for (int id : ids) out += (out.empty() ? "" : "+") + std::to_string(id);
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Connection: an earlier attempt had connected; this one starts by clearing that.
std::string runConnection(FaultRig& rig, const Row& row, const FaultColumn& fault) {
    rig.state.bConnected = true;
    rig.state.setInstrumentId("earlier");
    rig.setFault(row.command, fault.actions, row.occurrence);
    ConnectionWorkflow connection(rig.seams());
    EXPECT_EQ(connection.connect(), rig.state.bConnected);
    EXPECT_EQ(rig.state.instrumentId(), rig.state.bConnected ? "L70S-000001" : "earlier");
    if (rig.state.bConnected) {
        EXPECT_EQ(connection.modelCode(), "53");
    }
    return joined(rig.takeMessages()) + (rig.state.bConnected ? " on" : " off");
}

std::string runZeroStep(FaultRig& rig, const Row& row, const FaultColumn& fault) {
    CalibrationWorkflow calibration(rig.seams());
    rig.setFault(row.command, fault.actions, row.occurrence);
    calibration.confirm();
    const CalibrationView& view = calibration.view();
    // Closed exactly when nothing is pending; only a plain OK00 changes what the dialog shows.
    EXPECT_EQ(view.closed, !rig.state.whiteCalibrationPending);
    const bool white = view.picture == CalibrationPicture::White;
    EXPECT_EQ(white, view.captionId == kStrWhiteStep);
    const std::string state = view.closed ? " closed" : white ? " white" : " pending";
    return joined(rig.takeMessages()) + state;
}

std::string runWhiteStep(FaultRig& rig, const Row& row, const FaultColumn& fault) {
    CalibrationWorkflow calibration(rig.seams());
    calibration.skipZero();
    rig.setFault(row.command, fault.actions, row.occurrence);
    calibration.confirm();
    EXPECT_TRUE(calibration.view().closed);
    return joined(rig.takeMessages()) + (rig.state.whiteCalibrationPending ? " done" : " failed");
}

bool seriesEmpty(const SharedState& state) {
    for (const AngleSpectrum& s : state.repeatSpectrum)
        if (!s.empty()) return false;
    return true;
}

// Two good measurements, then the third under the fault: the result file appears only with a
// complete series, and a failure forgets the whole series.
std::string runSeries(FaultRig& rig, const Row& row, const FaultColumn& fault) {
    rig.state.bConnected = true;
    RepeatabilityWorkflow series(rig.seams());
    series.connectionChanged();
    for (int k = 0; k < 2; ++k) EXPECT_EQ(series.measure(), MeasureResult::Taken);
    rig.takeMessages();
    rig.channel->receives.clear();
    rig.setFault(row.command, fault.actions, row.occurrence);
    const MeasureResult result = series.measure();
    const std::vector<std::string> files = rig.dataFiles();
    if (result != MeasureResult::Taken) {
        EXPECT_EQ(result, MeasureResult::Failed);
        EXPECT_TRUE(seriesEmpty(rig.state));
        EXPECT_EQ(series.measuredCount(), 0);
        EXPECT_TRUE(files.empty()) << files.front();
        return joined(rig.takeMessages({kStrConfirmNextMeasurement})) + " cleared";
    }
    EXPECT_EQ(files.size(), 1u);
    if (files.size() == 1) {
        EXPECT_EQ(rig.state.strDataFolder + "/" + files[0], series.resultFile());
        const std::string text = readFile(series.resultFile());
        EXPECT_NE(text.find(test::projectStrings().text(kStrThirdBlock)), std::string::npos);
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    }
    return joined(rig.takeMessages({kStrConfirmNextMeasurement})) + " file";
}

// One good measurement, then the second under the fault.
std::string runAverage(FaultRig& rig, const Row& row, const FaultColumn& fault) {
    auto engine = makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    AverageSetup setup;
    setup.fromRepeatability = true;
    AverageWorkflow average(rig.seams(), *engine, setup);
    EXPECT_TRUE(average.measure());
    const ThreeAngles first = average.average();
    rig.channel->receives.clear();
    rig.setFault(row.command, fault.actions, row.occurrence);
    const bool taken = average.measure();
    EXPECT_EQ(average.measurementCount(), taken ? 2 : 1);
    EXPECT_FALSE(average.view().finished);
    if (!taken) {
        EXPECT_EQ(average.average(), first);
    }
    EXPECT_TRUE(average.view().measureEnabled);
    return joined(rig.takeMessages()) + (taken ? " taken" : " kept");
}

// The exchange of a target measurement; its caller owns the message.
std::string runRawRead(FaultRig& rig, const Row& row, const FaultColumn& fault) {
    const IdentifyResult id = IdentifyInstrument(*rig.channel, rig.clock);
    EXPECT_TRUE(id.type53());
    rig.channel->receives.clear();
    rig.setFault(row.command, fault.actions, row.occurrence);
    const MeasureOutcome outcome =
        acquireMeasurement(*rig.channel, rig.clock, MeasureVariant::ValidationTarget, true);
    if (outcome.ok()) {
        for (const AngleSpectrum& s : outcome.spectra) EXPECT_EQ(s.size(), 31u);
    }
    return joined(rig.takeMessages()) + (outcome.ok() ? " ok" : " failed");
}

std::string runCell(FaultRig& rig, const Row& row, const FaultColumn& fault) {
    switch (row.family) {
        case Family::Connection:
            return runConnection(rig, row, fault);
        case Family::ZeroStep:
            return runZeroStep(rig, row, fault);
        case Family::WhiteStep:
            return runWhiteStep(rig, row, fault);
        case Family::Series:
            return runSeries(rig, row, fault);
        case Family::Average:
            return runAverage(rig, row, fault);
        case Family::RawRead:
            return runRawRead(rig, row, fault);
    }
    return {};
}

// Each wait ends within its time-out plus one second (and the grace for a partial line); an
// empty reply on a live line came only after the whole time-out; a dead line is not waited on.
void checkWaits(const FaultRig& rig, bool hangUp) {
    for (const test::Receive& r : rig.channel->receives) {
        SCOPED_TRACE("reply to " + r.command);
        const std::uint64_t timeoutMs = static_cast<std::uint64_t>(r.timeoutS) * 1000;
        const std::uint64_t grace = r.reply.empty() ? 0 : kPartialLineGraceMs;
        EXPECT_LE(r.tookMs, timeoutMs + 1000 + kReceiveIdleWaitMs + grace);
        if (r.reply.empty() && !r.hungUp) {
            EXPECT_GT(r.tookMs, timeoutMs);
        }
        // A dead line is given up at once, not waited on until the time-out.
        if (r.reply.empty() && r.hungUp) {
            EXPECT_LT(r.tookMs, timeoutMs);
        }
    }
    if (hangUp) {
        EXPECT_TRUE(rig.channel->hungUp());
        EXPECT_FALSE(rig.channel->receives.empty());
    }
}

int failureCount() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

class FaultMatrix : public ::testing::TestWithParam<Row> {};

TEST_P(FaultMatrix, EveryFaultEndsAsDocumented) {
    const Row& row = GetParam();
    for (std::size_t c = 0; c < kColumnCount; ++c) {
        const std::string& column = test::matrixColumns()[c];
        if (row.expected[c] == nullptr) {
            test::recordCell(row.name, column, "n/a", true);
            continue;
        }
        SCOPED_TRACE(std::string(row.name) + " / " + column);
        const int failuresBefore = failureCount();
        FaultRig rig(row.type);
        rig.virtualClock.realGrace = kFaults[c].realGrace;
        const std::string outcome = runCell(rig, row, kFaults[c]);
        EXPECT_EQ(outcome, row.expected[c]);
        checkWaits(rig, c == kHangUpColumn);
        if (c == kHangUpColumn) {
            EXPECT_TRUE(rig.reopenAndIdentify());
        }
        test::recordCell(row.name, column, outcome, failureCount() == failuresBefore);
    }
}

std::string testName(const ::testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char* p = info.param.name; *p != '\0'; ++p) {
        const char c = *p;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(kRows), testName);

}  // namespace
}  // namespace qv
