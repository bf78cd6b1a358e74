#include <gtest/gtest.h>

#include "core/app/string_division.h"

namespace qv {
namespace {

struct DivisionCase {
    const char* text;
    int count;
    std::vector<std::string> fields;  // fields 1..n as GetField returns them
};

TEST(StringDivision, DividesAtEveryCommaKeepingBlanksAndCarriageReturns) {
    const DivisionCase cases[] = {
        {"", 1, {""}},
        {"40", 1, {"40"}},
        {"OK00,53,x", 3, {"OK00", "53", "x"}},
        {"a,", 2, {"a", ""}},
        {"a,,b", 3, {"a", "", "b"}},
        {"OK00, 0, 0, 1\r", 4, {"OK00", " 0", " 0", " 1\r"}},
        {"a,b\n", 2, {"a", "b"}},
        {"a,b\r\n", 2, {"a", "b\r"}},
        {"a,b\n\n", 2, {"a", "b\n"}},  // only one final line feed goes
        {"\n", 1, {""}},
        {",", 2, {"", ""}},
    };
    for (const DivisionCase& c : cases) {
        SCOPED_TRACE(c.text);
        StringDivision d(c.text);
        EXPECT_EQ(d.count(), c.count);
        for (std::size_t i = 0; i < c.fields.size(); ++i) {
            EXPECT_EQ(d.GetField(static_cast<std::int32_t>(i + 1)), c.fields[i])
                << "field " << i + 1;
        }
        EXPECT_EQ(d.source(), c.text);
    }
}

TEST(StringDivision, MissingFieldsReadEmptyAndOnlyNumbersWithinTheCountAreStored) {
    StringDivision d("a,b,");
    EXPECT_EQ(d.fields().size(), 2u);  // the empty last field is not stored by the division
    EXPECT_EQ(d.GetField(4), "");
    EXPECT_EQ(d.GetField(1000), "");
    EXPECT_EQ(d.fields().size(), 2u);  // above the count: the map is left alone
    EXPECT_EQ(d.GetField(3), "");
    EXPECT_EQ(d.GetField(0), "");
    EXPECT_EQ(d.GetField(-5), "");
    EXPECT_EQ(d.fields().size(), 5u);  // within the count (and 0 and below): stored empty
}

TEST(StringDivision, ResetForgetsTheEarlierText) {
    StringDivision d("OK00,53,L70S-1,extra,more");
    d.Reset("OK00");
    EXPECT_EQ(d.count(), 1);
    EXPECT_EQ(d.GetField(1), "OK00");
    EXPECT_EQ(d.GetField(2), "");
    EXPECT_EQ(d.fields().size(), 1u);
}

TEST(StringDivision, DataLineOf32FieldsAndLongTextsStayLinear) {
    std::string line = "1";
    for (int i = 0; i < 31; ++i) line += "," + std::to_string(50 + i) + ".25";
    StringDivision d(line + "\r\n");
    EXPECT_EQ(d.count(), 32);
    EXPECT_EQ(d.GetField(2), "50.25");
    EXPECT_EQ(d.GetField(32), "80.25\r");
    StringDivision many(std::string(20000, ','));
    EXPECT_EQ(many.count(), 20001);
}

}  // namespace
}  // namespace qv
