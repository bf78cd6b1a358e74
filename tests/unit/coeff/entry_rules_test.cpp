#include <gtest/gtest.h>

#include <cmath>

#include "core/coeff/coefficient_blocks.h"
#include "core/coeff/entry_rules.h"
#include "core/coeff/entry_state.h"
#include "core/link/identify.h"

namespace qv {
namespace {

TEST(EntryRules, CommentsAreTrimmedUpperCasedCheckedAndCut) {
    EXPECT_EQ(normalisedComment(" ab:1 \t"), "AB:1");
    EXPECT_FALSE(forbiddenCommentCharacter("AB:1. 9"));
    EXPECT_EQ(forbiddenCommentCharacter("AB-1"), '-');
    EXPECT_EQ(forbiddenCommentCharacter("AB,1"), ',');
    EXPECT_EQ(writtenComment("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(entryTimeStamp({2026, 12, 6, 5, 28, 35}), "06.12.2026 05:28:35");
}

// Only a reply that begins "OK00," says what the entry holds; anything else leaves it unknown,
// and an unknown entry is never written over or emptied without the operator's consent.
TEST(EntryState, OnlyAReadableReplySaysWhetherTheEntryIsFree) {
    const auto ok = LinkFailure::None;
    const struct {
        LinkFailure failure;
        const char* reply;
        EntryHolds holds;
        const char* comment;
    } rows[] = {{ok, "OK00,\r", EntryHolds::Free, ""},  // the line end is no comment
                {ok, "OK00,,06.12.2026\r", EntryHolds::Free, ""},
                {ok, "OK00, AB:1 ,06.12.2026 05:28:35,L70S-1\r", EntryHolds::Occupied, "AB:1"},
                {ok, "OK00", EntryHolds::Unknown, ""},
                {ok, "OK00X,A", EntryHolds::Unknown, ""},
                {ok, "\x01junk", EntryHolds::Unknown, ""},
                {LinkFailure::Refused, "ER11\r", EntryHolds::Unknown, ""},
                {LinkFailure::NoReply, "", EntryHolds::Unknown, ""},
                {LinkFailure::HungUp, "", EntryHolds::Unknown, ""}};
    for (const auto& r : rows) {
        const EntryState s = judgeEntryReply(4, ExchangeResult{r.failure, r.reply});
        EXPECT_EQ(s.holds, r.holds) << r.reply;
        EXPECT_EQ(s.comment, r.comment) << r.reply;
        EXPECT_EQ(s.reason.empty(), r.holds != EntryHolds::Unknown) << r.reply;
    }
    const EntryState occupied =
        judgeEntryReply(4, {ok, "OK00,LAB 1,06.12.2026 05:28:35,L70S-000042\r"});
    EXPECT_EQ(describe(occupied),
              "entry 004 holds \"LAB 1\" (written 06.12.2026 05:28:35 for L70S-000042)");
    EXPECT_EQ(describe(judgeEntryReply(4, {LinkFailure::NoReply, ""})),
              "the state of entry 4 could not be read: no reply to UCR,1");
}

TEST(EntryRules, OnlyType53WritesAndTheSerialIsFreeOfTheLineEnd) {
    const IdentifyResult t53 = classifyIdentification("OK00,53,L70,L70S-000001\r");
    const IdentifyResult t40 = classifyIdentification("OK00,40,L70,L70S-000001,V1\r");
    const IdentifyResult three = classifyIdentification("OK00, 0, 0, 1\r");
    EXPECT_TRUE(isType53Instrument(t53));
    EXPECT_FALSE(isType53Instrument(t40) || isType53Instrument(three));
    EXPECT_TRUE(isKnownInstrument(t40) && isKnownInstrument(three));
    EXPECT_EQ(connectedSerial(t53), "L70S-000001");
    EXPECT_EQ(connectedSerial(classifyIdentification("")), " ");
    EXPECT_FALSE(unsendableSerial("L70S-000001"));
    EXPECT_NE(unsendableSerial("L70S\x01"), std::nullopt);
}

ThreeAngles flat(double v) {
    ThreeAngles out;
    for (auto& s : out) s.assign(kSpectrumPoints, v);
    return out;
}

TEST(CoefficientBlocks, EvenWavelengthsOnlyWithBothEndsOfTheRangeAllowed) {
    ThreeAngles target = flat(40.0), sample = flat(40.0);
    sample[0][1] = 1000.0;  // 410 nm is not corrected
    target[1][0] = 20.0;    // exactly 0.5
    target[2][30] = 60.0;   // exactly 1.5
    const BlocksResult r = buildCoefficientBlocks(target, sample);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.blocks[0].size(), 32u);
    EXPECT_EQ(r.blocks[0][0], 40.0);
    EXPECT_EQ(r.blocks[0][16], 1.0);
    EXPECT_EQ(r.blocks[1][16], 0.5);
    EXPECT_EQ(r.blocks[2][31], 1.5);

    const struct {
        double target, sample;
    } refused[] = {{19.99, 40.0}, {60.01, 40.0}, {40.0, 0.0}, {0.0, 0.0}};
    for (const auto& f : refused) {
        ThreeAngles t = flat(40.0), s = flat(40.0);
        t[1][12] = f.target;
        s[1][12] = f.sample;
        const BlocksResult bad = buildCoefficientBlocks(t, s);
        ASSERT_FALSE(bad.ok()) << f.target << "/" << f.sample;
        EXPECT_EQ(bad.outOfRange->angle, 1);
        EXPECT_EQ(bad.outOfRange->wavelengthNm, 520);
    }
    EXPECT_EQ(darkWavelengths(flat(4.0)).size(), 48u);
}

}  // namespace
}  // namespace qv
