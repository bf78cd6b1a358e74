// Tile certificates: the correction to the certificate's temperature and the judgement of a
// check tile, the certified values kept as one text, damaged certificate and coefficient files
// refused at their keyword or line, and the simulator's thermochromic tiles corrected from
// coefficients measured at two temperatures.
#include <gtest/gtest.h>

#include <cmath>

#include "core/colour/delta_e.h"
#include "core/colour/tristimulus.h"
#include "core/tiles/certificate_files.h"
#include "core/tiles/certified_set.h"
#include "sim/specimens.h"
#include "support/sample_certificate.h"

namespace qv {
namespace {

ThreeAngles flat(double level) {
    ThreeAngles out;
    for (AngleSpectrum& s : out) s.assign(kSpectrumPoints, level);
    return out;
}

// The sample certificate without coefficients: what a laboratory's file brings alone.
TileCertificate greenCertificate() {
    TileCertificate c = test::sampleCertificate();
    c.coefficients = {};
    return c;
}

TEST(TileCertificate, CorrectsToTheCertificateTemperatureAndJudgesPerAngle) {
    TileCertificate c = greenCertificate();
    c.coefficients = flat(0.1);
    ThreeAngles reading = c.spectra;
    for (AngleSpectrum& s : reading)
        for (double& v : s) v += 0.5;  // 5 °C warm at 0.1 %/°C
    const auto back = correctedToCertificate(reading, c, 28.0);
    ASSERT_TRUE(back);
    for (int a = 0; a < kAngleCount; ++a) EXPECT_NEAR((*back)[a][7], c.spectra[a][7], 1e-12);

    const LocalTime today{2026, 12, 9};
    const TileCheck corrected = judgeCheckTile(c, reading, 28.0, 0.5, today);
    EXPECT_TRUE(corrected.corrected);
    EXPECT_TRUE(corrected.passed);
    EXPECT_TRUE(corrected.notes.empty());
    EXPECT_NEAR(corrected.angles[1].deltaE, 0.0, 1e-9);
    EXPECT_DOUBLE_EQ(corrected.angles[2].limit, 0.65);  // uncertainty + allowance
    EXPECT_EQ(corrected.angles[2].angle, 75);

    // Without a temperature the reading is judged as read and says so.
    const TileCheck asRead = judgeCheckTile(c, reading, std::nullopt, 0.5, today);
    EXPECT_FALSE(asRead.corrected);
    EXPECT_GT(asRead.angles[0].deltaE, 0.1);
    ASSERT_FALSE(asRead.notes.empty());
    EXPECT_EQ(asRead.notes[0].rfind(kNotCorrected, 0), 0u);

    // A temperature for a tile without coefficients cannot correct either.
    c.coefficients = {};
    EXPECT_FALSE(judgeCheckTile(c, reading, 28.0, 0.5, today).corrected);

    // The tile's own limit, strictly below passes; past the due date is named, not failed.
    c.limit = asRead.angles[0].deltaE;
    c.dueDate = "2026-12-08";
    const TileCheck tight = judgeCheckTile(c, reading, std::nullopt, 0.5, today);
    EXPECT_FALSE(tight.angles[0].passed);
    EXPECT_FALSE(tight.passed);
    EXPECT_TRUE(tight.overdue);
    EXPECT_NE(tight.notes.back().find("past its due date 2026-12-08"), std::string::npos);
    EXPECT_FALSE(judgeCheckTile(c, reading, std::nullopt, 0.5, {2026, 12, 8}).overdue);

    // A reading without its spectra never passes.
    ThreeAngles broken = reading;
    broken[1].clear();
    const TileCheck none = judgeCheckTile(c, broken, std::nullopt, 0.5, today);
    EXPECT_TRUE(std::isnan(none.angles[1].deltaE));
    EXPECT_FALSE(none.passed);
}

TEST(TileCertificate, TheCertifiedValuesAreOneTextThatReadsBack) {
    TileCertificate c = greenCertificate();
    c.coefficients = flat(-0.0123);
    c.limit = 0.4;
    const std::string text = certifiedValuesText(c);
    TileCertificate again = c;
    again.coefficients = flat(0.2);  // the lab's additions are not certified values
    again.limit.reset();
    EXPECT_EQ(certifiedValuesText(again), text);
    EXPECT_NE(labValuesText(again), labValuesText(c));
    again.spectra[2][30] += 0.001;
    EXPECT_NE(certifiedValuesText(again), text);

    TileCertificate back;
    ASSERT_TRUE(readCertifiedValuesText(text, back));
    ASSERT_TRUE(readLabValuesText(labValuesText(c), back));
    EXPECT_EQ(certifiedValuesText(back), text);
    EXPECT_EQ(labValuesText(back), labValuesText(c));
    EXPECT_EQ(certificateProblem(back), "");
    for (std::string_view bad : {"", "tile=green\n", "tile=green\nnumber"})
        EXPECT_FALSE(readCertifiedValuesText(bad, back)) << bad;
    EXPECT_FALSE(
        readLabValuesText("coefficients25=1;2\ncoefficients45=\ncoefficients75=\nlimit=", back));
}

TEST(TileCertificate, RefusesCertificatesThatCannotBeKept) {
    struct Row {
        void (*spoil)(TileCertificate&);
        const char* problem;
    };
    const Row rows[] = {
        {[](TileCertificate& c) { c.number.clear(); }, "no number"},
        {[](TileCertificate& c) { c.date = "2026-02-30"; }, "date is not a day"},
        {[](TileCertificate& c) { c.dueDate = "2027-3-1"; }, "due date is not a day"},
        {[](TileCertificate& c) { c.laboratory = std::string(121, 'x'); }, "too long"},
        {[](TileCertificate& c) { c.tile = "gr\neen"; }, "control"},
        {[](TileCertificate& c) { c.uncertainty = -0.1; }, "uncertainty"},
        {[](TileCertificate& c) { c.temperatureC = NAN; }, "temperature"},
        {[](TileCertificate& c) { c.spectra[1].pop_back(); }, "spectra"},
        {[](TileCertificate& c) { c.spectra[0][3] = INFINITY; }, "spectra"},
        {[](TileCertificate& c) { c.coefficients = flat(6.0); }, "coefficients"},
        {[](TileCertificate& c) { c.coefficients[0] = flat(0.1)[0]; }, "coefficients"},
        {[](TileCertificate& c) { c.limit = 0.0; }, "limit"},
    };
    for (const Row& row : rows) {
        TileCertificate c = greenCertificate();
        row.spoil(c);
        EXPECT_NE(certificateProblem(c).find(row.problem), std::string::npos)
            << row.problem << ": " << certificateProblem(c);
    }
}

std::string coefficientLines(int columns, int skipNm = 0) {
    std::string out = "# tile green, % per degree\r\n\r\n";
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm) {
        if (nm == skipNm) continue;
        out += std::to_string(nm);
        for (int c = 0; c < columns; ++c) out += (c ? "\t" : ", ") + std::to_string(0.01 * c);
        out += "\r\n";
    }
    return out;
}

TEST(CoefficientsTable, ReadsOneOrThreeColumnsAndNamesTheBadLine) {
    const auto one = readCoefficientsTable(coefficientLines(1));
    ASSERT_TRUE(one.ok()) << one.problem;
    EXPECT_EQ((*one.contents)[2][30], 0.0);
    const auto three = readCoefficientsTable(coefficientLines(3));
    ASSERT_TRUE(three.ok()) << three.problem;
    EXPECT_DOUBLE_EQ((*three.contents)[2][0], 0.02);

    const std::string good = coefficientLines(3);
    const struct {
        std::string text;
        const char* problem;
    } rows[] = {
        {coefficientLines(3, 550), "no line for 550 nm"},
        {good + "700 1 2 3\n", "line 34: the wavelength is given twice"},
        {good.substr(0, good.find("410")) + "410 0.1\n", "line 4: another number of columns"},
        {"400 0.1 0.2\n", "line 1: a wavelength and one or three"},
        {"405 0.1\n", "line 1: the wavelength is not 400 to 700"},
        {"400 nan\n", "line 1: a coefficient is not a number"},
        {"# only\n400 7\n", "line 2: a coefficient is not a number of at most 5"},
        {std::string(5000, '4'), "line 1: line too long"},
        {"", "no line for 400 nm"},
    };
    for (const auto& row : rows) {
        const auto read = readCoefficientsTable(row.text);
        EXPECT_FALSE(read.ok());
        EXPECT_NE(read.problem.find(row.problem), std::string::npos)
            << row.problem << " / " << read.problem;
    }
}

TEST(CgatsCertificate, ReadsWhatItWritesAndNamesWhatIsMissing) {
    const TileCertificate c = greenCertificate();
    const std::string text = formatCgatsCertificate(c);
    const auto read = readCgatsCertificate(text, "Green");
    ASSERT_TRUE(read.ok()) << read.problem;
    TileCertificate expected = c;
    expected.tile = "Green";
    EXPECT_EQ(certifiedValuesText(*read.contents), certifiedValuesText(expected));

    // A file of several tiles gives the one named; its other tiles are not looked at.
    CgatsTable table = *readCgats(text).contents;
    table.sets.push_back(table.sets[1]);
    table.sets.back()[0] = "\"red 45\"";
    const std::string both = formatCgats(table);
    EXPECT_TRUE(readCgatsCertificate(both, "green").ok())
        << readCgatsCertificate(both, "green").problem;
    EXPECT_NE(readCgatsCertificate(both, "red").problem.find("no 25° of tile \"red\""),
              std::string::npos);

    const auto replace = [&](const std::string& what, const std::string& to) {
        std::string t = text;
        t.replace(t.find(what), what.size(), to);
        return readCgatsCertificate(t, "green").problem;
    };
    EXPECT_NE(replace("UNCERTAINTY \"0.1500\"", "UNCERTAINTY \"a lot\"").find("UNCERTAINTY"),
              std::string::npos)
        << text;
    EXPECT_NE(replace("CERTIFICATE_NUMBER \"", "OTHER_NUMBER \"").find("CERTIFICATE_NUMBER"),
              std::string::npos);
    EXPECT_NE(replace("\"green 75\"", "\"green 45\"").find("45° of \"green\" twice"),
              std::string::npos);
    EXPECT_NE(replace("BEGIN_DATA\r\n", "").find("line"), std::string::npos);
}

// The simulator's tiles move their spectral edges with the room (nm per °C), a change that is
// not linear in reflectance: a per-wavelength coefficient leaves the curvature of an edge,
// R''(nm) * shift^2 / 2. Coefficients measured at 5 °C either side of the certificate bring a
// green tile read 5 °C warm or cold back to within 0.02 dE*ab at every angle, and the cooler
// colours too; red and orange, whose steep edges move in full, keep about 0.03.
TEST(ThermochromicTile, CoefficientsFromTwoTemperaturesCorrectFiveDegrees) {
    constexpr double kNmPerC = 0.25;  // green then moves about 0.08 dE*ab per °C
    const auto at = [&](const char* tile, double roomC) {
        const auto s =
            sim::specimenSpectra(tile, sim::AngleWavelengthErrors{}, kNmPerC * (roomC - 23.0));
        ThreeAngles out;
        for (int a = 0; a < kAngleCount; ++a) out[a].assign((*s)[a].begin(), (*s)[a].end());
        return out;
    };
    const auto dE = [](const AngleSpectrum& x, const AngleSpectrum& y) {
        return deltaE76(spectrumToLab(SpectrumView(x.data(), kColourPoints)),
                        spectrumToLab(SpectrumView(y.data(), kColourPoints)));
    };
    const std::pair<const char*, double> tiles[] = {{"green", 0.02}, {"yellow", 0.02},
                                                    {"blue", 0.02},  {"violet", 0.02},
                                                    {"red", 0.035},  {"orange", 0.035}};
    for (const auto& [tile, bound] : tiles) {
        TileCertificate c = greenCertificate();
        c.tile = tile;
        c.spectra = at(tile, 23.0);
        const ThreeAngles cold = at(tile, 18.0), warm = at(tile, 28.0);
        for (int a = 0; a < kAngleCount; ++a)
            for (int j = 0; j < kSpectrumPoints; ++j)
                c.coefficients[a].push_back((warm[a][j] - cold[a][j]) / 10.0);
        const TileCheck fromWarm = judgeCheckTile(c, warm, 28.0, 0.5, {2026, 12, 9});
        const TileCheck fromCold = judgeCheckTile(c, cold, 18.0, 0.5, {2026, 12, 9});
        for (int a = 0; a < kAngleCount; ++a) {
            EXPECT_LT(fromWarm.angles[a].deltaE, bound) << tile << " " << kAngleDegrees[a];
            EXPECT_LT(fromCold.angles[a].deltaE, bound) << tile << " " << kAngleDegrees[a];
            if (std::string_view(tile) == "green") {
                EXPECT_NEAR(dE(c.spectra[a], warm[a]) / 5.0, 0.08, 0.01) << kAngleDegrees[a];
            }
            std::printf("%s %d°: 5 °C warm %.3f, corrected %.4f; cold corrected %.4f dE*ab\n", tile,
                        kAngleDegrees[a], dE(c.spectra[a], warm[a]), fromWarm.angles[a].deltaE,
                        fromCold.angles[a].deltaE);
        }
    }
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// A set against certified values: each tile's newest certificate, names without regard to case,
// the tiles without one named; what the verdict cannot see said; a reading corrected only
// where its certificate allows it.
TEST(CertifiedSet, FindsEachTilesCertificateAndSaysWhatItCannotSee) {
    TileCertificate older = test::sampleCertificate("Green");
    older.number = "OLD-1";
    TileCertificate green = test::sampleCertificate("green");
    green.dueDate = "2026-06-01";
    TileCertificate red = test::sampleCertificate("red");
    red.number = "NCL-RED";
    red.coefficients = {};  // no coefficients: read as it is
    red.uncertainty = 0.4;
    const std::vector<TileCertificate> onRecord{green, red, older};  // newest first
    const LocalTime today{2026, 12, 10, 9, 0, 0};

    const CertifiedSet none = certifiedSet({"GREEN", "blue", "red", "white"}, onRecord, {}, today);
    EXPECT_FALSE(none.ok());
    EXPECT_EQ(none.problem, "no certificate on record for blue, white");
    EXPECT_TRUE(none.certificates.empty());

    const CertifiedSet cold = certifiedSet({"GREEN", "red"}, onRecord, std::nullopt, today);
    ASSERT_TRUE(cold.ok());
    EXPECT_EQ(cold.certificates[0].number, "NCL-2026-0147");
    ASSERT_EQ(cold.notes.size(), 3u);
    EXPECT_EQ(cold.notes[0], "not corrected for temperature: no temperature given");
    EXPECT_EQ(cold.notes[1],
              "past the due date: certificate NCL-2026-0147 of GREEN (due 2026-06-01)");
    EXPECT_EQ(cold.notes[2], "the certified values are uncertain by up to 0.40 dE*ab (expanded)");
    EXPECT_EQ(certifiedLabel(cold), "certified values (certificates NCL-2026-0147, NCL-RED)");

    const CertifiedSet warm = certifiedSet({"green", "red"}, onRecord, 28.0, today);
    EXPECT_EQ(warm.notes[0],
              "not corrected for temperature (no coefficients or no temperature on the "
              "certificate): red");
    std::vector<TileSpectra> tiles{{{}, test::sampleCertificate().spectra}, {{}, red.spectra}};
    putCertified(warm, tiles);
    EXPECT_EQ(tiles[1].target, red.spectra);
    EXPECT_EQ(tiles[1].sample, red.spectra);  // as read
    // 5 °C warm: each value less its coefficient times five.
    EXPECT_DOUBLE_EQ(tiles[0].sample[2][30], green.spectra[2][30] + 0.001 * 30 * 5);
    EXPECT_EQ(tiles[0].target, green.spectra);
}

}  // namespace
}  // namespace qv
