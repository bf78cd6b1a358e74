// The table of result kinds: a file each writer wrote is known by its own row and no other,
// read back whole with either pair of separators, and gives the record and spectra of its kind.
#include <gtest/gtest.h>

#include <cmath>

#include "core/log/result_kinds.h"
#include "support/project_strings.h"

namespace qv {
namespace {

const LocalTime kWhen{2026, 12, 7, 15, 4, 5};

// Rows as the checks keep them: 31 reflectances, L*, a*, b* and, when `difference`, a dE.
ThreeAngles rows(double level, bool difference) {
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a) {
        for (int j = 0; j < kSpectrumPoints; ++j) out[a].push_back(level + a + 0.25 * j);
        out[a].insert(out[a].end(), {50.0 + a, 1.5, -2.5});
        if (difference) out[a].push_back(0.1 * (a + 1));
    }
    return out;
}

RepeatSeries series() {
    RepeatSeries s;
    for (int i = 0; i < 9; ++i) s[i] = rows(20.0 + i, i >= kAngleCount)[i % kAngleCount];
    return s;
}

SetReport setReport() {
    SetAgreement measured{{{0.2, 0.4, 0.6}, {0.4, 0.6, 1.0}}, {}, false};
    for (int a = 0; a < kAngleCount; ++a)
        measured.angles[a] = {0.3 * (a + 1), 1.0, 1, 0.5, false, {}};
    return {{"Ceramics", {"white", "red"}},
            "L70S-100001",
            "L70S-200002",
            "dE*ab",
            kWhen,
            {0.3, 0.6, {}},
            measured,
            std::nullopt,
            std::nullopt,
            "53",
            std::nullopt};
}

ExtendedReport extended() {
    ExtendedReport r;
    r.serial = "L70S-200002";
    r.readings = 2;
    r.formula = "dE00";
    r.time = kWhen;
    for (int k = 0; k < 2; ++k) {
        ThreeAngles s = rows(30.0 + k, false);
        for (auto& row : s) row.resize(kSpectrumPoints);
        r.spectra.push_back(s);
        r.lab.push_back({LabTriple{50, 1, 2}, LabTriple{40, 1, 2}, LabTriple{30, 1, 2}});
    }
    for (int a = 0; a < kAngleCount; ++a) r.spread[a] = {2, {50, 1, 2}, {0.1, 0.1, 0.1}, 0.2, 0.3};
    return r;
}

CoefficientRecord coefficientRecord() {
    ThreeAngles blocks;
    for (int a = 0; a < kAngleCount; ++a)
        for (int i = 0; i < 32; ++i) blocks[a].push_back(i < 16 ? 20.0 + i : 1.0 + 0.001 * i);
    return {kWhen, "L70S-200002", "LAB 1", blocks, series(), rows(30, false), rows(31, true)};
}

// A profile as a file holds it; its values need not come from a fit to be read back.
ProfileFile profileFile() {
    ProfileFile p{kWhen, "L70S-200002", "L70S-100001", "Ceramics", 7, {2027, 3, 7, 15, 4, 5}, {}};
    for (int a = 0; a < kAngleCount; ++a) {
        p.profile.angles[a].angleDegrees = kAngleDegrees[a];
        p.profile.angles[a].slope.fill(1.0);
        p.profile.angles[a].ridge = 3.0;
        p.profile.angles[a].leaveOneOut = {0.05, 0.1, 10};
    }
    return p;
}

struct Written {
    std::string descriptor;
    std::string text;
    std::optional<RecordKind> kind;
    std::size_t spectra;
};

std::vector<Written> everyKind(const NumberFormat& f) {
    const auto& texts = test::projectStrings();
    const ThreeAngles target = rows(30, false);
    const ThreeAngles sample = rows(31, true);
    return {
        {"Repeatability file", formatRepeatabilityFile(series(), "L70S-200002", kWhen, texts, f),
         RecordKind::Repeatability, 9},
        {"Target file", formatTargetFile(target, "L70S-100001", kWhen, texts, f), std::nullopt, 3},
        {"Judgement file",
         formatJudgementFile(target, sample, "L70S-100001", "L70S-200002", kWhen, texts, f),
         RecordKind::InterInstrument, 6},
        {"Judgement file",
         formatJudgementFile(target, sample, "L70S-100001", "L70S-200002", kWhen, texts, f,
                             std::array{1.5, 1.6, 1.7}),
         RecordKind::Verification, 6},
        {"Coefficient record file", formatRecordFile(coefficientRecord(), texts, f),
         RecordKind::EntryWrite, 15},
        {"Tile set file", formatSetFile(setReport(), f), RecordKind::TileSet, 0},
        {"Profile file", formatProfileFile(profileFile(), f), RecordKind::Profile, 0},
        {"Repeatability file over many readings", formatExtendedFile(extended(), f),
         RecordKind::ExtendedRepeatability, 6},
    };
}

TEST(ResultKinds, EachWritersFileIsKnownByItsOwnRowAloneAndReadsBackWhole) {
    const auto& texts = test::projectStrings();
    for (const NumberFormat& f : {NumberFormat('.', ","), NumberFormat(',', ";")})
        for (const Written& w : everyKind(f)) {
            SCOPED_TRACE(w.descriptor);
            // The reader of the other separators still finds the file's own.
            const NumberFormat other{f.decimalSeparator == ',' ? '.' : ',',
                                     f.listSeparator == ";" ? "," : ";"};
            const KnownResultFile known = knownResultFile(w.text, other, texts);
            ASSERT_TRUE(known.kind) << known.problem;
            EXPECT_EQ(known.kind->descriptor, w.descriptor);
            const CsvTable head = readLeadingLines(w.text, 3, f, {}).table;
            int rowsThatKnowIt = 0;
            for (const ResultKindRow& row : resultKinds())
                rowsThatKnowIt += row.detect(head, texts) ? 1 : 0;
            EXPECT_EQ(rowsThatKnowIt, 1);
            const FileRead<ResultContents> read = known.kind->read(w.text, known.format, texts, {});
            ASSERT_TRUE(read.ok()) << read.problem;
            EXPECT_EQ(resultTimestamp(resultTime(*read.contents)), resultTimestamp(kWhen));
            ASSERT_EQ(known.kind->record != nullptr, w.kind.has_value());
            if (w.kind) {
                const FileRead<CheckRecord> record = known.kind->record(*read.contents);
                ASSERT_TRUE(record.ok()) << record.problem;
                EXPECT_EQ(record.contents->kind, *w.kind);
                // A verification is the one record a row makes beside its own kind.
                if (*w.kind != RecordKind::Verification) {
                    EXPECT_EQ(known.kind->recordKind, w.kind);
                }
                EXPECT_FALSE(record.contents->serial.empty());
            }
            const std::size_t spectra =
                known.kind->spectra ? known.kind->spectra(*read.contents).samples.size() : 0;
            EXPECT_EQ(spectra, w.spectra);
        }
}

// The record file read back holds what was written into the entry, at the decimals it keeps,
// and what it came from; a record without a series reads back with empty rows, not a refusal.
TEST(ResultKinds, ACoefficientRecordReadsBackTheFactorsItWasLeftWith) {
    const auto& texts = test::projectStrings();
    const NumberFormat f{',', ";"};
    CoefficientRecord written = coefficientRecord();
    const FileRead<CoefficientRecord> back =
        readRecordFile(formatRecordFile(written, texts, f), f, texts);
    ASSERT_TRUE(back.ok()) << back.problem;
    for (int a = 0; a < kAngleCount; ++a) {
        ASSERT_EQ(back.contents->coefficients[a].size(), 32u);
        EXPECT_NEAR(back.contents->coefficients[a][20], written.coefficients[a][20], 5e-4);
        EXPECT_NEAR(back.contents->sample[a][30], written.sample[a][30], 5e-3);
    }
    EXPECT_EQ(back.contents->comment, "LAB 1");
    written.repeatSeries = {};
    const FileRead<CoefficientRecord> noSeries =
        readRecordFile(formatRecordFile(written, texts, f), f, texts);
    ASSERT_TRUE(noSeries.ok()) << noSeries.problem;
    EXPECT_TRUE(noSeries.contents->repeatSeries[4].empty());
    // A factor that is no number refuses the file at its line.
    std::string damaged = formatRecordFile(written, texts, f);
    const std::size_t line12 = damaged.find("\r\n45;", damaged.find(texts.text(206)));
    damaged.insert(line12 + 5, "x");
    EXPECT_EQ(readRecordFile(damaged, f, texts).problem.rfind("line 12: ", 0), 0u)
        << readRecordFile(damaged, f, texts).problem;
}

}  // namespace
}  // namespace qv
