// What the operator sets for a performance statement: typed fields read as the set's limits
// are, the first field at fault named; the settings kept and read back, whatever they hold;
// the command line's one-or-three values.
#include <gtest/gtest.h>

#include <map>

#include "core/app/profile_store.h"
#include "core/log/performance_settings.h"
#include "core/tiles/tile_set.h"
#include "support/sample_certificate.h"

namespace qv {
namespace {

class MapProfile : public ProfileStore {
public:
    std::string read(std::string_view, std::string_view key, std::string_view fallback) override {
        const auto it = values.find(std::string(key));
        return it == values.end() ? std::string(fallback) : it->second;
    }
    void write(std::string_view, std::string_view key, std::string_view value) override {
        values[std::string(key)] = value;
    }
    std::map<std::string, std::string> values;
};

TypedPerformance typedAll() {
    return {{"0,8", "", "1.2"}, {"0.10", "0.12", ""}, " CAL-2026-117 ", "30", "grey tile", "365"};
}

TEST(PerformanceSettings, TypedFieldsAreReadOrTheFirstFieldAtFaultIsNamed) {
    const PerformanceReading good = readPerformanceSettings(typedAll(), ',');
    ASSERT_FALSE(good.problem);
    EXPECT_EQ(good.settings.tolerance[0], 0.8);
    EXPECT_FALSE(good.settings.tolerance[1]);
    EXPECT_EQ(good.settings.referenceExpanded[1], 0.12);
    EXPECT_EQ(good.settings.referenceCertificate, "CAL-2026-117");
    EXPECT_EQ(good.settings.longTermDays, 30);
    EXPECT_EQ(good.settings.validDays, 365);
    EXPECT_EQ(readPerformanceSettings({}, '.').settings.longTermDays, kDefaultLongTermDays);

    const struct {
        void (*spoil)(TypedPerformance&);
        const char* named;
    } cases[] = {
        {[](TypedPerformance& t) { t.tolerance[2] = "7"; },
         "\"Tolerance per angle\" at 75 degrees takes a value from 0.01 to 5.00 or nothing"},
        {[](TypedPerformance& t) { t.reference[0] = "0.1e1"; },
         "\"Reference uncertainty\" at 25 degrees takes"},
        {[](TypedPerformance& t) { t.reference[1] = "-0.1"; }, "\"Reference uncertainty\" at 45"},
        {[](TypedPerformance& t) { t.certificate = "line\tbreak"; }, "\"Reference certificate\""},
        {[](TypedPerformance& t) { t.days = "3651"; }, "\"Long-term period\" takes a whole"},
        {[](TypedPerformance& t) { t.days = "9.5"; }, "\"Long-term period\""},
        {[](TypedPerformance& t) { t.specimen = "---"; }, "\"Long-term specimen\""},
        {[](TypedPerformance& t) { t.specimen = std::string(41, 'x'); }, "\"Long-term specimen\""},
        {[](TypedPerformance& t) { t.validDays = "-1"; }, "\"Statement valid for\" takes"},
    };
    for (const auto& c : cases) {
        TypedPerformance typed = typedAll();
        c.spoil(typed);
        const PerformanceReading read = readPerformanceSettings(typed, ',');
        ASSERT_TRUE(read.problem) << c.named;
        EXPECT_EQ(describe(*read.problem).rfind(c.named, 0), 0u) << describe(*read.problem);
    }
}

TEST(PerformanceSettings, KeptSettingsReadBackAndAnAngleWithoutToleranceTakesTheSets) {
    MapProfile profile;
    ASSERT_TRUE(saveSetLimits(profile, {0.3, 0.6, 1.5}));
    savePerformanceSettings(profile, readPerformanceSettings(typedAll(), ',').settings);
    const PerformanceSettings saved = savedPerformanceSettings(profile);
    EXPECT_EQ(saved.tolerance[0], 0.8);
    EXPECT_FALSE(saved.tolerance[1]);
    EXPECT_FALSE(saved.referenceExpanded[2]);
    EXPECT_EQ(saved.specimen, "grey tile");
    const PerformanceSettings used = performanceSettingsFromProfile(profile);
    EXPECT_EQ(used.tolerance[1], 1.5);
    EXPECT_EQ(used.tolerance[2], 1.2);

    // Whatever else the settings file holds reads as not set.
    profile.values[std::string(key::kPerformanceTolerance[0])] = "nan";
    profile.values[std::string(key::kPerformanceReference[0])] = "1e308";
    profile.values[std::string(key::kPerformanceDays)] = "-5";
    profile.values[std::string(key::kPerformanceSpecimen)] = std::string(500, 'y');
    const PerformanceSettings spoilt = savedPerformanceSettings(profile);
    EXPECT_FALSE(spoilt.tolerance[0]);
    EXPECT_FALSE(spoilt.referenceExpanded[0]);
    EXPECT_EQ(spoilt.longTermDays, kDefaultLongTermDays);
    EXPECT_TRUE(spoilt.specimen.empty());
}

TEST(PerformanceSettings, OneValueServesEveryAngleAndThreeServeOneEach) {
    using Values = std::array<double, kAngleCount>;
    EXPECT_EQ(perAngleInput("0.8", '.'), (Values{0.8, 0.8, 0.8}));
    EXPECT_EQ(perAngleInput("0,5/0.6/0,7", ','), (Values{0.5, 0.6, 0.7}));
    for (const char* wrong : {"", "0.5/0.6", "0.5/0.6/0.7/0.8", "0.5//0.7", "abc", "9", "0.5/"})
        EXPECT_FALSE(perAngleInput(wrong, '.')) << wrong;
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The reference's certificate traced to the one on record of its number: named in full, its
// uncertainty where the settings give none, and past its due date a caution; a number not on
// record stands as typed.
TEST(PerformanceSettings, TheReferencesCertificateIsTracedToTheOneOnRecord) {
    TileCertificate older = test::sampleCertificate(), newer = older;
    newer.number = "NCL-2027-0002";
    newer.date = "2027-02-20";
    newer.dueDate = "2027-08-20";
    const std::vector<TileCertificate> onRecord{newer, older};
    PerformanceSettings s;
    s.referenceExpanded[1] = 0.3;
    s.referenceCertificate = "NCL-2026-0147";
    EXPECT_EQ(citeReferenceCertificate(s, onRecord, {2027, 3, 2, 9, 0, 0}),
              "the reference's certificate NCL-2026-0147 was due on 2027-03-01: have the "
              "reference certified again");
    EXPECT_EQ(s.referenceCertificate,
              "NCL-2026-0147 (National colour laboratory, 2026-03-01, due 2027-03-01)");
    EXPECT_EQ(s.referenceExpanded[0], 0.15);
    EXPECT_EQ(s.referenceExpanded[1], 0.3);
    s.referenceCertificate = "NCL-2027-0002";
    EXPECT_EQ(citeReferenceCertificate(s, onRecord, {2027, 3, 2, 9, 0, 0}), "");
    for (const char* typed : {"", "cert. of 2026-05-01"}) {
        s.referenceCertificate = typed;
        EXPECT_EQ(citeReferenceCertificate(s, onRecord, {2027, 3, 2, 9, 0, 0}), "");
        EXPECT_EQ(s.referenceCertificate, typed);
    }
}

}  // namespace
}  // namespace qv
