#include <gtest/gtest.h>

#include "core/link/identify.h"
#include "core/link/port_names.h"

namespace qv {
namespace {

TEST(Identify, ClassifiesTheThreeFormsAndRejectsTheRest) {
    struct Case {
        const char* reply;
        IdentifyOutcome outcome;
        const char* idText;
    };
    const Case cases[] = {
        {"OK00,53,4.0,L70S-000001,x\r", IdentifyOutcome::Type53, "L70S-000001"},
        {"OK00,53,4.01,L70S-000001\r", IdentifyOutcome::Type53, ""},  // offset 12 is a comma
        // The line end kept by the receive rules is no part of the serial.
        {"OK00,40,4.0,L70S-000002\r", IdentifyOutcome::Type40, "L70S-000002"},
        {"OK00,53,x\r", IdentifyOutcome::Type53, ""},  // too short for offset 12
        {"OK00,53\r", IdentifyOutcome::Failed, ""},    // field 2 keeps the CR
        {"OK00,40,1.0,,", IdentifyOutcome::Type40, ""},
        {"OK00, 0, 0, 1\r", IdentifyOutcome::ThreeField, ""},
        {"OK00, 0, 0, 12", IdentifyOutcome::ThreeField, ""},  // 14 characters, no CR
        {"OK00, 0, 0,  1\r", IdentifyOutcome::Failed, ""},    // one blank more: 15
        {"OK00 , 0, 0, 1\r", IdentifyOutcome::Failed, ""},
        {"OK00, 0, 0, 1", IdentifyOutcome::Failed, ""},  // 13 characters
        {"OK00, 0, 0, 2\r", IdentifyOutcome::Failed, ""},
        {"OK00,41,4.01,L70S\r", IdentifyOutcome::Failed, ""},
        {"OK00,53 ,4.01,L70S\r", IdentifyOutcome::Failed, ""},
        {"53,OK00\r", IdentifyOutcome::Failed, ""},
        {"garbage\xff\x01", IdentifyOutcome::Failed, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        const IdentifyResult r = classifyIdentification(c.reply);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.idText, c.idText);
        EXPECT_EQ(r.reply, c.reply);
        EXPECT_EQ(r.error.kind, c.outcome == IdentifyOutcome::Failed ? LinkFailure::Unrecognised
                                                                     : LinkFailure::None);
    }
    EXPECT_EQ(classifyIdentification("").error.kind, LinkFailure::NoReply);
    EXPECT_EQ(classifyIdentification("OK00, 0, 0, 1\r").modelCode(), "40");
    EXPECT_FALSE(classifyIdentification("OK00, 0, 0, 1\r").type53());
    EXPECT_EQ(classifyIdentification("OK00,53,4.01,X\r").modelCode(), "53");
}

TEST(Identify, CpsCommandIsTheCprReplyEditedAtItsFirstCharactersAndOffsets) {
    // "OK00" becomes "CPS" (one shorter), then offsets 12/13 take " 0" and offset 5 takes "0".
    const std::string cpr = "OK00, 1, 2, 3, 4, 5,67\r";
    const auto cps = buildCpsCommand(cpr);
    ASSERT_TRUE(cps);
    EXPECT_EQ(*cps, "CPS, 0, 2, 3 04, 5,67\r");
    EXPECT_EQ(cps->back(), '\r');  // ends with the reply's CR, no line feed
    EXPECT_EQ(buildCpsCommand("OK00,1,OK00,x,yz\r"), "CPS,10CPS,x, 0\r");
}

TEST(Identify, CpsCommandIsRefusedWhenItWouldOverflowItsBufferOrCannotBeEdited) {
    // 49 characters after the replacement fit the 50-byte buffer; 50 do not.
    const auto longest = buildCpsCommand("OK00," + std::string(44, '1') + "\r");
    ASSERT_TRUE(longest);
    EXPECT_EQ(longest->size(), 49u);
    EXPECT_FALSE(buildCpsCommand("OK00," + std::string(45, '1') + "\r"));
    EXPECT_FALSE(buildCpsCommand(std::string(5000, 'x')));
    // The edits at offsets 12 and 13 must leave the closing CR alone: 15 characters at least.
    EXPECT_EQ(buildCpsCommand("OK00,1,2,3,4,56\r"), "CPS,102,3,4, 0\r");
    EXPECT_FALSE(buildCpsCommand("OK00,1,2,3,4,5\r"));  // " 0" would overwrite the CR
    EXPECT_FALSE(buildCpsCommand("OK00,1,OK00,x,y\r"));
    EXPECT_FALSE(buildCpsCommand("OK00,1,2,3,4\r"));
    EXPECT_FALSE(buildCpsCommand(""));
    // A reply cut off without its CR (returned after the grace) would go out unterminated.
    EXPECT_FALSE(buildCpsCommand("OK00,01,0500, 3,1"));
    EXPECT_FALSE(buildCpsCommand("OK00,1,2,3,4,56"));
}

TEST(PortNames, BareNamesLiveUnderDevAndPathsAreUsedAsGiven) {
    EXPECT_EQ(portDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(portDevicePath("/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(portDevicePath("/dev/serial/by-id/usb-X-if00"), "/dev/serial/by-id/usb-X-if00");
}

TEST(PortNames, ListIsInNaturalOrderWithTheSavedPortAdded) {
    EXPECT_EQ(orderPortList({"ttyS10", "ttyS2", "ttyUSB0", "ttyS1"}, "---"),
              (std::vector<std::string>{"ttyS1", "ttyS2", "ttyS10", "ttyUSB0"}));
    EXPECT_EQ(orderPortList({"COM10", "COM3", "COM1"}, ""),
              (std::vector<std::string>{"COM1", "COM3", "COM10"}));
    EXPECT_EQ(orderPortList({"ttyS0"}, "/tmp/sim-port"),
              (std::vector<std::string>{"/tmp/sim-port", "ttyS0"}));
    // A saved port the system reports is not listed twice, whichever way it is written.
    EXPECT_EQ(orderPortList({"ttyS0", "ttyUSB1"}, "/dev/ttyUSB1"),
              (std::vector<std::string>{"ttyS0", "ttyUSB1"}));
    EXPECT_EQ(orderPortList({}, "ttyACM0"), (std::vector<std::string>{"ttyACM0"}));
    EXPECT_TRUE(naturalLess("ttyS9", "ttyS010"));
    EXPECT_FALSE(naturalLess("ttyS10", "ttyS10"));
    EXPECT_TRUE(naturalLess("ttyS", "ttyS0"));
}

}  // namespace
}  // namespace qv
