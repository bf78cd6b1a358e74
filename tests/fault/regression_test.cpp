// Faults the fuzzers and sanitizers found in the parsers, kept from coming back. Each input
// also sits in its fuzz target's seed corpus.
#include <gtest/gtest.h>

#include <string>

#include "core/link/connection_workflow.h"
#include "core/link/identify.h"
#include "fault/fault_rig.h"

namespace qv {
namespace {

// A CPR reply with a carriage return inside would become two commands on the line: the
// instrument would carry out whatever follows it (here: delete entry 1).
TEST(Regression, ACprReplyHoldingASecondCommandIsNotSentBack) {
    EXPECT_FALSE(buildCpsCommand("OK00,01,0500, 3,1\rUSD,001\r"));
    EXPECT_FALSE(buildCpsCommand(std::string("OK00,01,0500, 3,1\0USD,001\r", 26)));
    EXPECT_EQ(buildCpsCommand("OK00,01,0500, 3,1\r"), "CPS,00,0500, 0,1\r");

    test::FaultRig rig("53");
    rig.setFault("CPR", "reply OK00,01,0500,\\s3,1\\rUSD,001", 1);
    ConnectionWorkflow connection(rig.seams());
    EXPECT_TRUE(connection.connect());
    EXPECT_EQ(rig.takeMessages(), std::vector<int>{kStrNotIdentified});  // the reset failed
    for (const sim::LogEntry& e : rig.sim.log()) {
        if (e.direction == '>') {
            EXPECT_EQ(e.text.find("USD"), std::string::npos) << e.text;
        }
    }
}

}  // namespace
}  // namespace qv
