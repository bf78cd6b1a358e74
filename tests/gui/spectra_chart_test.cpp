#include <gtest/gtest.h>

#include <QChart>
#include <QChartView>
#include <QValueAxis>
#include <limits>

#include "gui/kit/spectra_chart.h"

namespace qv {
namespace {

using Curve = SpectraChart::Curve;

AngleSpectrum flat(double value, std::size_t size = kSpectrumPoints) {
    return AngleSpectrum(size, value);
}

// The value axis of the reflectance chart of `angle` (the upper charts come first by column).
QValueAxis* reflectanceAxis(SpectraChart& chart, int angle) {
    for (QChartView* view : chart.findChildren<QChartView*>()) {
        if (view->chart()->title() != QStringLiteral("%1°").arg(kAngleDegrees[angle])) continue;
        return qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Vertical).front());
    }
    return nullptr;
}

TEST(SpectraChart, PlotsOnlyTheReflectancesOfWhateverIsThere) {
    SpectraChart chart;
    AngleSpectrum evaluated = flat(40.0, 35);
    evaluated[30] = 60.0;
    evaluated[31] = 95.0;  // L*, a*, b*, dE: never reflectances
    evaluated[32] = -250.0;
    evaluated[34] = 900.0;
    chart.setSpectra({evaluated, flat(20.0, 12), {}}, {flat(50.0), flat(10.0), flat(30.0)},
                     std::nullopt);

    const QList<QPointF> target = chart.points(0, Curve::Target);
    ASSERT_EQ(target.size(), kSpectrumPoints);
    EXPECT_EQ(target.back(), QPointF(700.0, 60.0));
    EXPECT_EQ(chart.points(0, Curve::Ratio).size(), kSpectrumPoints);
    QValueAxis* axis = reflectanceAxis(chart, 0);
    ASSERT_TRUE(axis);
    EXPECT_GE(axis->min(), 0.0);
    EXPECT_LE(axis->min(), 40.0);
    EXPECT_GE(axis->max(), 60.0);
    EXPECT_LT(axis->max(), 95.0);

    // A short spectrum plots what it has; the ratio stops where either ends.
    EXPECT_EQ(chart.points(1, Curve::Target).size(), 12);
    EXPECT_EQ(chart.points(1, Curve::Target).back().x(), 510.0);
    EXPECT_EQ(chart.points(1, Curve::Ratio).size(), 12);
    // No target yet: the sample alone and an empty ratio chart.
    EXPECT_TRUE(chart.points(2, Curve::Target).isEmpty());
    EXPECT_EQ(chart.points(2, Curve::Sample).size(), kSpectrumPoints);
    EXPECT_TRUE(chart.points(2, Curve::Ratio).isEmpty());

    chart.setSpectra({}, {}, std::nullopt);
    for (int a = 0; a < kAngleCount; ++a)
        for (Curve c : {Curve::Target, Curve::Sample, Curve::Ratio})
            EXPECT_TRUE(chart.points(a, c).isEmpty());
}

TEST(SpectraChart, LeavesOutZeroOverZeroAndKeepsExtremeRatiosOnTheAxis) {
    SpectraChart chart;
    const double inf = std::numeric_limits<double>::infinity();
    AngleSpectrum target = flat(30.0);
    AngleSpectrum sample = flat(30.0);
    target[0] = 0.0;  // 0/0
    sample[0] = 0.0;
    target[1] = 12.0;  // +inf
    sample[1] = 0.0;
    target[2] = -3.0;  // -inf
    sample[2] = 0.0;
    target[3] = 90.0, sample[3] = 10.0;  // 9
    target[4] = 45.0;                    // 1.5, on the axis as it is
    target[5] = std::numeric_limits<double>::quiet_NaN();
    target[6] = inf;
    chart.setSpectra({target, {}, {}}, {sample, {}, {}}, std::nullopt);

    const QList<QPointF> ratio = chart.points(0, Curve::Ratio);
    ASSERT_EQ(ratio.size(), kSpectrumPoints - 2);  // 0/0 and the unreadable target
    EXPECT_EQ(ratio[0], QPointF(410.0, SpectraChart::kRatioAxisMax));
    EXPECT_EQ(ratio[1], QPointF(420.0, 0.0));
    EXPECT_EQ(ratio[2], QPointF(430.0, SpectraChart::kRatioAxisMax));
    EXPECT_EQ(ratio[3], QPointF(440.0, 1.5));
    EXPECT_EQ(ratio[4], QPointF(460.0, SpectraChart::kRatioAxisMax));
    // The reflectance curve skips what cannot be drawn and keeps a finite scale.
    EXPECT_EQ(chart.points(0, Curve::Target).size(), kSpectrumPoints - 2);
    QValueAxis* axis = reflectanceAxis(chart, 0);
    ASSERT_TRUE(axis);
    EXPECT_LE(axis->min(), -3.0);
    EXPECT_GE(axis->max(), 90.0);
    EXPECT_LT(axis->max(), 200.0);
}

TEST(SpectraChart, MarksTheFirstFailingRatioUntilReplacedOrCleared) {
    SpectraChart chart;
    ThreeAngles target{flat(40.0), flat(40.0), flat(40.0)};
    const ThreeAngles sample{flat(40.0), flat(25.0), flat(40.0)};  // 45°: 1.6 everywhere
    auto failure = firstImplausibleRatio(target, sample);
    ASSERT_TRUE(failure);
    failure->wavelengthNm = 520;  // the chart marks what it is told, not what it finds
    chart.setSpectra(target, sample, failure);
    EXPECT_EQ(chart.points(1, Curve::FailurePoint), (QList<QPointF>{{520.0, 1.6}}));
    EXPECT_EQ(chart.failureLineNm(1), 520.0);
    for (int a : {0, 2}) {
        EXPECT_TRUE(chart.points(a, Curve::FailurePoint).isEmpty());
        EXPECT_FALSE(chart.failureLineNm(a));
    }
    EXPECT_EQ(chart.failureCaption(),
              QStringLiteral("First ratio outside 0.5–1.5: 45°, 520 nm, 1.60"));

    chart.setSpectra(target, target, std::nullopt);
    EXPECT_TRUE(chart.points(1, Curve::FailurePoint).isEmpty());
    EXPECT_FALSE(chart.failureLineNm(1));
    EXPECT_TRUE(chart.failureCaption().isEmpty());

    // A missing value has no ratio: the line alone, at the first missing wavelength.
    target[2].resize(20);
    chart.setSpectra(target, target, firstImplausibleRatio(target, target));
    EXPECT_EQ(chart.failureLineNm(2), 600.0);
    EXPECT_TRUE(chart.points(2, Curve::FailurePoint).isEmpty());
    EXPECT_TRUE(chart.failureCaption().endsWith(QStringLiteral("75°, 600 nm, no value")));

    chart.clear();
    EXPECT_FALSE(chart.failureLineNm(2));
    EXPECT_TRUE(chart.failureCaption().isEmpty());
    EXPECT_TRUE(chart.points(0, Curve::Target).isEmpty());
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(SpectraChart, TheRatioAxisShowsTheDisagreementOnRoundSteps) {
    const struct {
        double lo, hi;
        double min, max, step;
        int decimals;
    } cases[] = {
        {1.0, 1.0, 0.98, 1.02, 0.01, 2},      // equal spectra: a flat line, not a flat axis
        {0.95, 0.98, 0.94, 1.02, 0.02, 2},    // 2 to 5 % apart; 1 stays in sight
        {1.003, 1.004, 0.99, 1.02, 0.01, 2},  // narrower than 0.02: widened about the ratios
        {1.0, 1.6, 0.8, 1.8, 0.2, 1},
        {0.5, 1.5, 0.0, 2.0, 0.5, 1},  // nothing to compare: the plausible band
        {0.0, 2.0, 0.0, 2.0, 0.5, 1},  // ratios at the edges stay within 0 to 2
        {0.996, 1.0, 0.98, 1.01, 0.01, 2},
    };
    for (const auto& c : cases) {
        const AxisScale s = SpectraChart::ratioScale(c.lo, c.hi);
        EXPECT_NEAR(s.min, c.min, 1e-9) << c.lo << ".." << c.hi;
        EXPECT_NEAR(s.max, c.max, 1e-9) << c.lo << ".." << c.hi;
        EXPECT_NEAR(s.step, c.step, 1e-12) << c.lo << ".." << c.hi;
        EXPECT_EQ(s.decimals, c.decimals) << c.lo << ".." << c.hi;
    }
}

TEST(SpectraChart, TheRatioChartFitsEachAngleSRatios) {
    SpectraChart chart;
    EXPECT_EQ(chart.ratioAxisRange(1), (std::pair<double, double>{0.0, 2.0}));
    // An instrument reading 2 %, 3 % and 5 % high: each axis spans a few percent, not 0 to 2.
    ThreeAngles target{flat(40.0), flat(40.0), flat(40.0)};
    const ThreeAngles sample{flat(40.8), flat(41.2), flat(42.0)};
    chart.setSpectra(target, sample, std::nullopt);
    for (int a = 0; a < kAngleCount; ++a) {
        const auto [lo, hi] = chart.ratioAxisRange(a);
        const double ratio = chart.points(a, Curve::Ratio).front().y();
        EXPECT_LT(lo, ratio) << a;
        EXPECT_GE(hi, 1.0) << a;
        EXPECT_LT(hi - lo, 0.15) << a;
    }
}

}  // namespace
}  // namespace qv
