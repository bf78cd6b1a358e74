// A profile kept as a file: what it standardises read back is what was fitted, with either
// separators; a damaged or foreign file is named at its line.
#include <gtest/gtest.h>

#include <cmath>

#include "core/tiles/profile_file.h"
#include "sim/instrument.h"
#include "support/project_strings.h"

namespace qv {
namespace {

// Tiles of the simulator's specimens as a master and a gained, shifted instrument read them.
std::vector<TileSpectra> tiles() {
    sim::InstrumentConfig dut;
    dut.gain.fill(1.015);
    dut.shiftNm = 0.6;
    std::vector<TileSpectra> out;
    for (const char* name : {"white", "lightgrey", "midgrey", "darkgrey", "yellow", "green", "red",
                             "blue", "orange", "violet"}) {
        TileSpectra t;
        sim::InstrumentConfig master;
        master.specimen = dut.specimen = name;
        const auto m = sim::Instrument(master).expectedReading();
        const auto s = sim::Instrument(dut).expectedReading();
        for (int a = 0; a < kAngleCount; ++a) {
            t.target[a].assign(m[a].begin(), m[a].end());
            t.sample[a].assign(s[a].begin(), s[a].end());
        }
        out.push_back(t);
    }
    return out;
}

TEST(ProfileFile, ReadBackItStandardisesAsFittedAndDamageIsNamedAtItsLine) {
    const std::vector<TileSpectra> set = tiles();
    const ProfileResult fitted = fitProfile(set);
    ASSERT_TRUE(fitted.profile) << fitted.refusal;
    std::vector<std::string> names;
    for (std::size_t k = 0; k < set.size(); ++k) names.push_back("tile " + std::to_string(k));
    const ProfileFile written{
        {2026, 12, 9, 16, 0, 0}, "L70S-200002",   "L70S-100001", "Ceramics", 42,
        {2027, 3, 9, 16, 0, 0},  *fitted.profile, names,         set};
    const auto& texts = test::projectStrings();
    for (const NumberFormat& f : {NumberFormat('.', ","), NumberFormat(',', ";")}) {
        const std::string text = formatProfileFile(written, f);
        const FileRead<ProfileFile> back = readProfileFile(text, f, texts);
        ASSERT_TRUE(back.ok()) << back.problem;
        EXPECT_EQ(back.contents->setRecord, 42);
        EXPECT_EQ(back.contents->master, "L70S-100001");
        EXPECT_EQ(resultTimestamp(back.contents->validUntil), "20270309_160000");
        // The tiles it was fitted on come back as read, for the next profiling to compare.
        EXPECT_EQ(back.contents->tileNames, names);
        ASSERT_EQ(back.contents->tiles.size(), set.size());
        for (int a = 0; a < kAngleCount; ++a)
            for (int j = 0; j < kSpectrumPoints; ++j) {
                EXPECT_NEAR(back.contents->tiles[9].sample[a][j], set[9].sample[a][j], 1e-9);
                EXPECT_NEAR(back.contents->tiles[9].target[a][j], set[9].target[a][j], 1e-9);
            }
        for (const TileSpectra& t : set) {
            const auto a = standardise(written.profile, t.sample);
            const auto b = standardise(back.contents->profile, t.sample);
            ASSERT_TRUE(a && b);
            for (int k = 0; k < kAngleCount; ++k)
                for (int j = 0; j < kSpectrumPoints; ++j) EXPECT_NEAR((*a)[k][j], (*b)[k][j], 1e-6);
        }
        for (int k = 0; k < kAngleCount; ++k) {
            EXPECT_EQ(back.contents->profile.angles[k].unseen, written.profile.angles[k].unseen);
            EXPECT_EQ(std::isfinite(back.contents->profile.angles[k].ridge),
                      std::isfinite(written.profile.angles[k].ridge));
        }
    }
    // Damage on a term row, a stage row, a version from elsewhere, a file cut short.
    const NumberFormat f{'.', ","};
    const std::string text = formatProfileFile(written, f);
    const auto lineOf = [&](std::string t) { return readProfileFile(t, f, texts).problem; };
    std::string term = text;
    term.replace(term.find(",gain,") + 6, 1, "x");
    EXPECT_EQ(lineOf(term).rfind("line 16: ", 0), 0u) << lineOf(term);
    std::string stage = text;
    stage.replace(stage.rfind("75,slope,") + 9, 1, "?");
    EXPECT_EQ(lineOf(stage).rfind("line 43: ", 0), 0u) << lineOf(stage);
    std::string version = text;
    version.replace(version.find("Profile version,2"), 17, "Profile version,3");
    EXPECT_EQ(lineOf(version).rfind("line 2: ", 0), 0u);
    EXPECT_FALSE(readProfileFile(text.substr(0, text.size() - 40), f, texts).ok());
    // A tile's rows out of step: the 45° instrument row of the second tile named otherwise.
    std::string renamed = text;
    const std::size_t second = renamed.find("45,tile 1,instrument");
    ASSERT_NE(second, std::string::npos);
    renamed.replace(second + 8, 1, "7");
    EXPECT_EQ(lineOf(renamed).rfind("line 55: ", 0), 0u) << lineOf(renamed);
    // A file of the first version, written before the tiles were kept, is still read.
    std::string first = formatProfileFile({written.time,
                                           written.serial,
                                           written.master,
                                           written.setName,
                                           0,
                                           written.validUntil,
                                           written.profile,
                                           {},
                                           {}},
                                          f);
    first.replace(first.find("Profile version,2"), 17, "Profile version,1");
    first.resize(first.rfind("\r\n\r\n") + 2);
    const auto old = readProfileFile(first, f, texts);
    ASSERT_TRUE(old.ok()) << old.problem;
    EXPECT_TRUE(old.contents->tiles.empty());
}

}  // namespace
}  // namespace qv
