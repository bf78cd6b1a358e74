// A diagnosis in words: the terms in their units, the decisions, the question before factors
// are written, and the curves the dialog draws for one tile.
#include <gtest/gtest.h>

#include <limits>

#include "core/tiles/diagnosis_view.h"

namespace qv {
namespace {

// Service at 25° for an offset, factors at 45°, nothing at 75°; the fitted factors leave 25°
// beyond the limits.
Diagnosis diagnosis() {
    Diagnosis d;
    for (int a = 0; a < kAngleCount; ++a) {
        AngleDiagnosis& angle = d.angles[a];
        angle.angleDegrees = kAngleDegrees[a];
        angle.fit.terms[0] = {0.30031, 0.0069, true};
        angle.fit.terms[4] = {-0.6, 0.3, false};
        angle.fit.terms[6] = {1.5, 0.25, true};
        angle.share[0] = 0.434;
        angle.meanBefore = 1.04;
        angle.largestBefore = 1.333;
        angle.leaveOneOutModel = std::numeric_limits<double>::quiet_NaN();
    }
    d.angles[0].recommendation = Recommendation::Service;
    d.angles[0].reason = "zero calibration: 0.30 % added to every reading at 25 degrees";
    d.angles[1].recommendation = Recommendation::WriteFactors;
    d.angles[1].reason = "the fitted factors bring the set within its limits at 45 degrees";
    d.overall = Recommendation::Service;
    return d;
}

TEST(DiagnosisView, TermsReadInTheirUnitsAndTheDecisionsInWords) {
    const NumberFormat comma(',', ";");
    const DiagnosisView v = diagnosisView(diagnosis(), comma);
    ASSERT_EQ(v.terms.size(), kTermCount);
    EXPECT_EQ(v.terms[0].caption, "Offset");
    EXPECT_EQ(v.terms[0].value[0], "0,3003 \u00b1 0,0069 %");
    EXPECT_EQ(v.terms[0].share[0], "43 %");
    EXPECT_EQ(v.terms[4].caption, "Wavelength shift");
    EXPECT_EQ(v.terms[4].value[1], "not identified");
    EXPECT_EQ(v.terms[4].share[1], kEmptyField);
    EXPECT_EQ(v.terms[6].value[2], "1,50 \u00b1 0,25 nm\u00b2");
    // The bend at 50 % reflectance: 25 times the coefficient.
    EXPECT_EQ(termText({0.00123, 0.00042, true}, Term::Linearity, NumberFormat()),
              "0.031 \u00b1 0.011 % at 50 %");
    EXPECT_EQ(v.figures[0].value[0], "1,04 / 1,33");
    EXPECT_EQ(v.figures[3].value[0], "0,00 / ---");  // nothing held out: the empty field
    EXPECT_EQ(v.decision, (std::array<std::string, kAngleCount>{"Service", "Write factors",
                                                                "No correction needed"}));
    EXPECT_EQ(v.reason[0],
              "25\u00b0: Service. Zero calibration: 0.30 % added to every reading at 25 degrees.");
    EXPECT_EQ(v.overall, "Service");
}

TEST(DiagnosisView, TheQuestionGivesTheCausesAndWhatTheFactorsWouldLeave) {
    const NumberFormat point;
    SetAgreement fitted;
    fitted.passed = true;
    Diagnosis d = diagnosis();
    d.overall = Recommendation::WriteFactors;
    d.angles[0].recommendation = Recommendation::WriteFactors;
    EXPECT_EQ(correctionDoubt(d, fitted, {}, point), "");  // nothing to ask

    d = diagnosis();  // service at 25°: its cause, but no prediction while the factors pass
    EXPECT_EQ(correctionDoubt(d, fitted, {}, point),
              "\nService: zero calibration: 0.30 % added to every reading at 25 degrees.");

    fitted.passed = false;  // beyond the limits, whatever the decision
    fitted.angles[0] = {0.74, 1.29, 0, 0, false, {}};
    d.overall = Recommendation::WriteFactors;
    d.angles[0].recommendation = Recommendation::NoCorrectionNeeded;
    EXPECT_EQ(correctionDoubt(d, fitted, {0.3, 0.6, {}}, point),
              "\nPredicted with the fitted factors (limits: mean below 0.30, largest below "
              "0.60): 25\u00b0 mean 0.74, largest 1.29; 45\u00b0 mean 0.00, largest 0.00; "
              "75\u00b0 mean 0.00, largest 0.00.");
}

TEST(DiagnosisView, EachIdentifiedTermDrawsItsRegressorAndTheCurvesAddUp) {
    AngleSpectrum reference(kSpectrumPoints);
    for (int j = 0; j < kSpectrumPoints; ++j) reference[j] = 20.0 + 0.1 * kStepNm * j;  // a ramp
    TermEstimates terms{};
    terms[0] = {0.3, 0.01, true};   // offset: flat
    terms[4] = {-0.5, 0.02, true};  // shift: the slope, 0.1 % per nm
    terms[1] = {2.0, 0.5, false};   // a gain not identified draws nothing
    const TermCurves c = termCurves(terms, reference);
    for (int j = 0; j < kSpectrumPoints; ++j) {
        EXPECT_DOUBLE_EQ(c.term[0][j], 0.3);
        EXPECT_NEAR(c.term[4][j], -0.05, 1e-12);
        EXPECT_EQ(c.term[1][j], 0.0);
        EXPECT_NEAR(c.sum[j], 0.25, 1e-12);
    }
    EXPECT_EQ(termCurves(terms, AngleSpectrum(3)).sum[0], 0.0);  // too short a reading
}

}  // namespace
}  // namespace qv
