#include <gtest/gtest.h>

#include "core/measure/measurement_exchange.h"
#include "sim/specimens.h"
#include "support/measure_rig.h"

namespace qv {
namespace {

using test::MeasureRig;
using test::repeated;
using test::operator+;
using Commands = std::vector<std::string>;
using Trace = std::vector<std::string>;

const std::string kMes = "MES\\r\\n";
const std::string kNext = "&\\r\\n";

// Each command in `commands` followed by a pause of `ms`.
Trace eachThenWait(const Commands& commands, std::uint32_t ms) {
    Trace trace;
    for (const std::string& c : commands) trace.insert(trace.end(), {c, test::waitEntry(ms)});
    return trace;
}

TEST(MeasurementExchange, Type53SendsSevenLinesWithoutPausesAndReadsTheSpecimen) {
    MeasureRig rig("53");
    rig.startTrace();
    const MeasureOutcome out =
        acquireMeasurement(rig.port(), rig.clock, MeasureVariant::Average, true);
    ASSERT_TRUE(out.ok()) << describe(out.error);
    EXPECT_EQ(rig.takeTrace(), Trace{kMes} + repeated(kNext, 7));
    const auto truth = sim::specimenSpectra("white");
    ASSERT_TRUE(truth);
    for (int a = 0; a < kAngleCount; ++a) {
        ASSERT_EQ(out.spectra[a].size(), 31u);
        for (int j = 0; j < kSpectrumPoints; ++j)
            EXPECT_NEAR(out.spectra[a][j], (*truth)[a][j], 0.005) << a << " " << j;
    }
}

TEST(MeasurementExchange, Type40WaitsAndPreamblesOfEachDialogInOrder) {
    const std::string w2500 = test::waitEntry(2500);
    const Trace preamble{w2500, "CPR\\r\\n", w2500};
    const Trace lines = eachThenWait(Commands{kMes} + repeated(kNext, 6), 500);
    // The 45° data line of a target is one raw read after a fixed wait, before the line's own.
    Trace targetLines = lines;
    targetLines.insert(targetLines.begin() + 7, test::waitEntry(1200));
    const std::pair<MeasureVariant, Trace> cases[] = {
        {MeasureVariant::Repeatability, preamble + lines},
        {MeasureVariant::Average, Trace{w2500, "STR\\r\\n"} + preamble + lines},
        {MeasureVariant::ValidationSample, preamble + lines},
        {MeasureVariant::ValidationTarget, preamble + targetLines},
    };
    for (const auto& [variant, trace] : cases) {
        SCOPED_TRACE(static_cast<int>(variant));
        MeasureRig rig("40");
        rig.startTrace();
        const MeasureOutcome out = acquireMeasurement(rig.port(), rig.clock, variant, false);
        ASSERT_TRUE(out.ok()) << describe(out.error);
        EXPECT_EQ(rig.takeTrace(), trace);
        EXPECT_GT(out.spectra[1][10], 1.0);
    }
}

TEST(MeasurementExchange, ASilentFirstDataLineWaitsItsVariantsTimeOut) {
    const std::pair<MeasureVariant, std::uint64_t> cases[] = {
        {MeasureVariant::Repeatability, 20000},
        {MeasureVariant::Average, 5000},
        {MeasureVariant::ValidationSample, 5000},
        {MeasureVariant::ValidationTarget, 5000},
    };
    for (const std::string type : {"53", "40"}) {
        for (const auto& [variant, timeoutMs] : cases) {
            SCOPED_TRACE(type + " " + std::to_string(static_cast<int>(variant)));
            MeasureRig rig(type);
            rig.control("fault & silence occurrence=1");
            rig.clock.silentAfterMisses = 10;
            const std::uint64_t start = rig.clock.nowMs();
            const MeasureOutcome out =
                acquireMeasurement(rig.port(), rig.clock, variant, type == "53");
            EXPECT_EQ(out.error.step, "data line");
            EXPECT_EQ(out.error.angle, 0);
            // Time spent waiting for replies: everything but the fixed pauses.
            std::uint64_t waitedMs = rig.clock.nowMs() - start;
            for (std::uint32_t pause : rig.takeSleeps()) waitedMs -= pause;
            EXPECT_GT(waitedMs, timeoutMs);
            EXPECT_LE(waitedMs, timeoutMs + 1000 + 100);
        }
    }
}

TEST(MeasurementExchange, EachFailurePointStopsAtOnce) {
    struct Case {
        std::string type;
        MeasureVariant variant;
        std::string fault;
        LinkFailure failure;
        std::string step;
        int angle;
        std::size_t commandsSent;
    };
    const Case cases[] = {
        {"53", MeasureVariant::Average, "fault MES silence", LinkFailure::NoReply, "MES", -1, 1},
        {"53", MeasureVariant::Average, "fault & silence occurrence=3", LinkFailure::NoReply,
         "data line", 1, 4},
        {"53", MeasureVariant::ValidationSample, "fault & silence occurrence=2",
         LinkFailure::NoReply, "companion line", 0, 3},
        {"53", MeasureVariant::Average, "fault & silence occurrence=7", LinkFailure::NoReply,
         "final line", -1, 8},
        // STR must answer OK00 in field 1 exactly: a known error code is refused, and OK00
        // without a comma (its carriage return stays in the field) is no answer of the expected
        // form; either way nothing more is sent.
        {"40", MeasureVariant::Average, "fault STR reply=OK01", LinkFailure::Refused, "STR", -1, 1},
        {"40", MeasureVariant::Average, "fault STR reply=OK00", LinkFailure::Unrecognised, "STR",
         -1, 1},
        {"40", MeasureVariant::Average, "fault STR silence", LinkFailure::NoReply, "STR", -1, 1},
        {"40", MeasureVariant::Repeatability, "fault CPR silence", LinkFailure::NoReply, "CPR", -1,
         1},
        // The raw 45° read of a target finds nothing when the line is late.
        {"53", MeasureVariant::ValidationTarget, "fault & delay=1500 occurrence=3",
         LinkFailure::NoReply, "data line", 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        MeasureRig rig(c.type);
        rig.control(c.fault);
        // A silent first command needs no real time for replies that never come.
        if (c.commandsSent == 1 && c.fault.find("silence") != std::string::npos)
            rig.clock.realSliceMs = 0;
        const MeasureOutcome out =
            acquireMeasurement(rig.port(), rig.clock, c.variant, c.type == "53");
        EXPECT_EQ(out.error.kind, c.failure);
        EXPECT_EQ(out.error.step, c.step);
        EXPECT_EQ(out.error.angle, c.angle);
        EXPECT_EQ(rig.takeCommands().size(), c.commandsSent);
    }
}

TEST(MeasurementExchange, AStrReplyWithFieldsPassesAndASilentMesCostsMoreThanTwentySeconds) {
    MeasureRig type40("40");
    type40.control("fault STR reply=OK00,whatever");
    EXPECT_TRUE(
        acquireMeasurement(type40.port(), type40.clock, MeasureVariant::Average, false).ok());

    MeasureRig rig("53");
    rig.control("fault MES silence");
    rig.clock.realSliceMs = 0;
    const std::uint64_t start = rig.clock.nowMs();
    const MeasureOutcome out =
        acquireMeasurement(rig.port(), rig.clock, MeasureVariant::Average, true);
    EXPECT_EQ(describe(out.error), "no reply to MES");
    const std::uint64_t waitedMs = rig.clock.nowMs() - start;
    EXPECT_GT(waitedMs, 20000u);
    EXPECT_LE(waitedMs, 21100u);
}

}  // namespace
}  // namespace qv
