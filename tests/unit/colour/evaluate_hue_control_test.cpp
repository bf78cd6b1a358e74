// The item-code interface, driven the way the check dialogs drive it.
#include "core/colour/evaluate_hue_control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace qv {
namespace {

using Spectrum = std::vector<double>;

Spectrum ramp(double from, double to) {
    Spectrum s(kColourPoints);
    for (int j = 0; j < kColourPoints; ++j) s[j] = from + (to - from) * j / 30.0;
    return s;
}

Lab labOf(const Spectrum& s) {
    return spectrumToLab(SpectrumView(s.data(), kColourPoints));
}

class EvaluateHueControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine = std::make_unique<EvaluateHueControl>(KEY_VERSION3);
        observers.add(10, "OBS");
        illuminants.add(4, "Ill");
        ASSERT_TRUE(engine->setObserverAndIlluminant(&observers, &illuminants));
        const float one = 1.0f;
        engine->setCmc(one, one, 1.0f);
        engine->setDeltaE94(one, one, one);
        engine->setDeltaE00(one, one, one);
    }

    bool setTarget(const Spectrum& s, std::int32_t geometry = 201) {
        engine->clearTargetData();
        return engine->setTargetData(1, 10, 400, 700, geometry, s);
    }
    bool setSample(const Spectrum& s, std::int32_t geometry = 201) {
        engine->clearSampleData();
        return engine->setSampleData(1, 10, 400, 700, geometry, s);
    }

    // One request as the dialogs make it: preset 2^-126, evaluate, read element 0.
    std::optional<double> request(std::int32_t mode, std::int32_t code) {
        std::vector<ItemValue> result{{code, kItemPreset}};
        const bool ok = engine->evaluateHue(mode, result);
        EXPECT_EQ(result.size(), 1u);
        if (!ok) {
            EXPECT_EQ(std::memcmp(&result[0].value, &kItemPreset, sizeof(double)), 0)
                << "a refused request must keep the preset";
            return std::nullopt;
        }
        return result[0].value;
    }

    std::unique_ptr<EvaluateHueControl> engine;
    ListItemIterator observers;
    ListItemIterator illuminants;
    const Spectrum target = ramp(5.0, 95.0);
    const Spectrum sample = ramp(7.0, 90.0);
};

TEST_F(EvaluateHueControlTest, AnswersEveryItemCodeInBothModes) {
    ASSERT_TRUE(setTarget(target));
    ASSERT_TRUE(setSample(sample));
    const Lab t = labOf(target), s = labOf(sample);

    EXPECT_EQ(request(1, 11101), t.L);
    EXPECT_EQ(request(1, 11102), t.a);
    EXPECT_EQ(request(1, 11103), t.b);
    EXPECT_EQ(request(0, 11101), s.L);
    EXPECT_EQ(request(0, 11102), s.a);
    EXPECT_EQ(request(0, 11103), s.b);
    EXPECT_EQ(request(0, -11101), s.L - t.L);
    EXPECT_EQ(request(0, -11102), s.a - t.a);
    EXPECT_EQ(request(0, -11103), s.b - t.b);
    EXPECT_EQ(engine->deltaEFormula(), DeltaEFormula::Cie76);
    EXPECT_EQ(request(0, -16000), deltaE76(t, s));

    // The total difference follows the selected formula, the target being the reference.
    engine->setDeltaEFormula(DeltaEFormula::Cie94);
    EXPECT_EQ(request(0, -16000), deltaE94(t, s));
    engine->setDeltaEFormula(DeltaEFormula::Ciede2000);
    EXPECT_EQ(request(0, -16000), deltaE2000(t, s));
    engine->setDeltaEFormula(DeltaEFormula::Cmc);
    EXPECT_EQ(request(0, -16000), deltaECmc(t, s));
    EXPECT_NE(deltaECmc(t, s), deltaECmc(s, t));

    // Several items in one request are all filled.
    std::vector<ItemValue> many{{11101, kItemPreset}, {-11102, kItemPreset}, {-16000, 0.0}};
    ASSERT_TRUE(engine->evaluateHue(0, many));
    EXPECT_EQ(many[0].value, s.L);
    EXPECT_EQ(many[1].value, s.a - t.a);
    EXPECT_EQ(many[2].value, deltaECmc(t, s));
}

TEST_F(EvaluateHueControlTest, ElementsBehindTheSpectrumAreNeverTakenAsSpectrum) {
    Spectrum evaluated = target;
    evaluated.insert(evaluated.end(), {76.27, 9.46, 40.71, 1e300});  // L*, a*, b*, dE
    ASSERT_TRUE(setTarget(evaluated));
    ASSERT_TRUE(setSample(target));
    EXPECT_EQ(request(1, 11101), labOf(target).L);
    EXPECT_EQ(request(0, -16000), 0.0);
}

TEST_F(EvaluateHueControlTest, ParametricFactorsChangeTheirFormulaAndBadOnesAreRefused) {
    ASSERT_TRUE(setTarget(target));
    ASSERT_TRUE(setSample(sample));
    const Lab t = labOf(target), s = labOf(sample);
    const float two = 2.0f, one = 1.0f, zero = 0.0f;
    const float nan = std::numeric_limits<float>::quiet_NaN();

    engine->setDeltaEFormula(DeltaEFormula::Cmc);
    ASSERT_TRUE(engine->setCmc(two, one, 1.0f));
    EXPECT_EQ(request(0, -16000), deltaECmc(t, s, 2.0, 1.0));
    EXPECT_EQ(engine->deltaELabel(), "dE CMC(2:1)");
    ASSERT_TRUE(engine->setCmc(two, one, 2.0f));
    EXPECT_EQ(request(0, -16000), deltaECmc(t, s, 2.0, 1.0) / 2.0);
    EXPECT_FALSE(engine->setCmc(zero, one, 1.0f));
    EXPECT_FALSE(engine->setCmc(one, one, 0.0f));
    EXPECT_FALSE(engine->setCmc(one, nan, 1.0f));
    EXPECT_EQ(engine->deltaEParameters().cmcL, 2.0);  // refused calls keep the previous

    engine->setDeltaEFormula(DeltaEFormula::Ciede2000);
    ASSERT_TRUE(engine->setDeltaE00(two, one, one));
    EXPECT_EQ(request(0, -16000), deltaE2000(t, s, 2.0));
    engine->setDeltaEFormula(DeltaEFormula::Cie94);
    ASSERT_TRUE(engine->setDeltaE94(one, two, one));
    EXPECT_EQ(request(0, -16000), deltaE94(t, s, 1.0, 2.0));
    const float negative = -1.0f;
    EXPECT_FALSE(engine->setDeltaE94(negative, one, one));
    EXPECT_FALSE(engine->setDeltaE00(one, one, zero));
}

TEST_F(EvaluateHueControlTest, UnanswerableRequestsFailAndKeepThePreset) {
    // Nothing set yet: no target for mode 1, no sample for mode 0.
    EXPECT_FALSE(request(1, 11101));
    EXPECT_FALSE(request(0, 11101));
    ASSERT_TRUE(setTarget(target));
    EXPECT_TRUE(request(1, 11101));
    EXPECT_FALSE(request(0, -16000));  // no sample
    ASSERT_TRUE(setSample(sample));
    // Differences belong to mode 0; unknown codes and modes are refused.
    EXPECT_FALSE(request(1, -11101));
    EXPECT_FALSE(request(1, -16000));
    EXPECT_FALSE(request(0, 11104));
    EXPECT_FALSE(request(0, 0));
    EXPECT_FALSE(request(2, 11101));
    EXPECT_FALSE(request(-1, 11101));
    // One bad item spoils the whole request, and nothing is written.
    std::vector<ItemValue> mixed{{11101, kItemPreset}, {4711, kItemPreset}};
    EXPECT_FALSE(engine->evaluateHue(0, mixed));
    EXPECT_EQ(mixed[0].value, kItemPreset);
    // A cleared target is gone.
    engine->clearTargetData();
    EXPECT_FALSE(request(1, 11101));
    EXPECT_FALSE(request(0, -11101));
    EXPECT_TRUE(request(0, 11101));
}

TEST_F(EvaluateHueControlTest, SpectraThatAreNotThe31PointReflectanceAreRefused) {
    EXPECT_FALSE(setTarget(Spectrum(30, 50.0)));
    EXPECT_FALSE(request(1, 11101));
    EXPECT_FALSE(setTarget(Spectrum{}));
    Spectrum withNan = target;
    withNan[7] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(setTarget(withNan));
    Spectrum withInf = target;
    withInf[30] = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(setSample(withInf));
    EXPECT_FALSE(engine->setTargetData(2, 10, 400, 700, 201, target));  // data kind
    EXPECT_FALSE(engine->setTargetData(1, 5, 400, 700, 201, target));   // step
    EXPECT_FALSE(engine->setTargetData(1, 10, 380, 680, 201, target));  // range
    EXPECT_FALSE(engine->setTargetData(1, 10, 400, 710, 201, target));  // end
    EXPECT_FALSE(request(1, 11101));
    // A refused set replaces what was there: a stale spectrum is never evaluated.
    ASSERT_TRUE(setSample(sample));
    EXPECT_FALSE(engine->setSampleData(1, 10, 400, 700, 202, Spectrum(3, 1.0)));
    EXPECT_FALSE(request(0, 11101));
}

TEST_F(EvaluateHueControlTest, ObserverAndIlluminantMustBeKnown) {
    ASSERT_TRUE(setTarget(target));
    ListItemIterator otherObserver, otherIlluminant, empty;
    otherObserver.add(2, "OBS");
    otherIlluminant.add(1, "Ill");
    EXPECT_FALSE(engine->setObserverAndIlluminant(&otherObserver, &illuminants));
    EXPECT_FALSE(request(1, 11101));
    EXPECT_FALSE(engine->setObserverAndIlluminant(&observers, &otherIlluminant));
    EXPECT_FALSE(request(1, 11101));
    EXPECT_FALSE(engine->setObserverAndIlluminant(&observers, &empty));
    EXPECT_FALSE(engine->setObserverAndIlluminant(nullptr, &illuminants));
    EXPECT_FALSE(request(1, 11101));
    // The dialogs refill the lists and set them again; the engine answers once more.
    observers.clear();
    observers.add(10, "OBS");
    EXPECT_TRUE(engine->setObserverAndIlluminant(&observers, &illuminants));
    EXPECT_TRUE(request(1, 11101));
    // A fresh engine knows none until told.
    EvaluateHueControl fresh(KEY_VERSION1);
    EXPECT_EQ(fresh.keyVersion(), KEY_VERSION1);
    ASSERT_TRUE(fresh.setTargetData(1, 10, 400, 700, 203, target));
    std::vector<ItemValue> r{{11101, kItemPreset}};
    EXPECT_FALSE(fresh.evaluateHue(1, r));
}

TEST(ListItemIterator, IteratesInInsertionOrderAndStaysSafePastTheEnd) {
    ListItemIterator list;
    EXPECT_TRUE(list.isDone());
    EXPECT_EQ(list.next().code, 0);
    list.add(10, "OBS");
    list.add(4, "Ill");
    list.first();
    EXPECT_EQ(list.next().name, "OBS");
    EXPECT_FALSE(list.isDone());
    EXPECT_EQ(list.next().code, 4);
    EXPECT_TRUE(list.isDone());
    EXPECT_EQ(list.next().code, 0);
    list.first();
    EXPECT_EQ(list.next().code, 10);
    list.clear();
    EXPECT_TRUE(list.isDone());
}

}  // namespace
}  // namespace qv
