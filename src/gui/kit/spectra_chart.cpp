#include "gui/kit/spectra_chart.h"
#include "gui/kit/palette.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPixmap>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <array>
#include <cmath>

namespace qv {
namespace {

const QColor kRatioColour(60, 60, 60);
const QColor kBandColour(205, 238, 205);
// The smallest reflectance and ratio charts that keep every axis label.
const std::array<QSize, 2> kChartMinimumPx = {QSize(180, 160), QSize(180, 150)};

// Only the reflectances: evaluated spectra carry colour values after them.
int reflectanceCount(const AngleSpectrum& s) {
    return std::min(static_cast<int>(s.size()), kSpectrumPoints);
}

double wavelengthAt(int i) {
    return kStartNm + kStepNm * i;
}

// Unreadable values are left out so one bad number cannot blow up the scale.
QList<QPointF> reflectancePoints(const AngleSpectrum& s) {
    QList<QPointF> points;
    for (int i = 0; i < reflectanceCount(s); ++i) {
        const double v = s[static_cast<std::size_t>(i)];
        if (std::isfinite(v)) points.append({wavelengthAt(i), v});
    }
    return points;
}

// 0/0 has no ratio and is left out; anything beyond 0 to the axis's largest, infinities
// included, is drawn on that edge.
QList<QPointF> ratioPoints(const AngleSpectrum& target, const AngleSpectrum& sample) {
    QList<QPointF> points;
    const int n = std::min(reflectanceCount(target), reflectanceCount(sample));
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const double r = target[at] / sample[at];
        if (!std::isnan(r))
            points.append({wavelengthAt(i), std::clamp(r, 0.0, SpectraChart::kRatioAxisMax)});
    }
    return points;
}

// Both curves on one scale with a little room around them; an empty chart keeps 0..100 %.
void fitReflectanceAxis(QValueAxis& axis, const QList<QPointF>& a, const QList<QPointF>& b) {
    QList<QPointF> all = a + b;
    if (all.isEmpty()) {
        axis.setRange(0.0, 100.0);
        axis.setTickCount(6);
        return;
    }
    const auto [lo, hi] = std::minmax_element(
        all.cbegin(), all.cend(), [](const QPointF& p, const QPointF& q) { return p.y() < q.y(); });
    const double margin = std::max((hi->y() - lo->y()) * 0.05, 0.5);
    // A reflectance is never below 0; the margin must not suggest one.
    const double bottom = lo->y() >= 0.0 ? std::max(0.0, lo->y() - margin) : lo->y() - margin;
    axis.setRange(bottom, hi->y() + margin);
    axis.setTickCount(5);
    axis.applyNiceNumbers();
}

// The round step (1, 2 or 5 times a power of ten) that divides `span` into at most four.
double roundStep(double span) {
    const double raw = span / 4.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= raw * (1 - 1e-9)) return m * power;
    return 10.0 * power;
}

// Decimals enough to tell the ticks apart, and no more.
int decimalsOf(double step) {
    for (int d = 0; d < 6; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::abs(scaled - std::round(scaled)) < 1e-6) return d;
    }
    return 6;
}

void applyScale(QValueAxis& axis, const AxisScale& scale) {
    axis.setRange(scale.min, scale.max);
    axis.setTickType(QValueAxis::TicksDynamic);
    axis.setTickAnchor(scale.min);
    axis.setTickInterval(scale.step);
    axis.setLabelFormat(QStringLiteral("%.%1f").arg(scale.decimals));
}

QFont scaledFont(QFont font, double pointSize, bool bold = false) {
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QChart* newChart(const QFont& base) {
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setTitleFont(scaledFont(base, 8.5, true));
    return chart;
}

QValueAxis* addAxis(QChart& chart, Qt::Alignment side, double lo, double hi, int ticks,
                    const char* format, const QFont& base) {
    auto* axis = new QValueAxis;
    axis->setRange(lo, hi);
    axis->setTickCount(ticks);
    axis->setLabelFormat(QLatin1String(format));
    axis->setLabelsFont(scaledFont(base, 7.0));
    axis->setTitleFont(scaledFont(base, 7.0));
    chart.addAxis(axis, side);
    return axis;
}

// Adds the series to the chart on the chart's (only) two axes.
template <typename Series>
Series* addSeries(QChart& chart, Series* series) {
    chart.addSeries(series);
    for (QAbstractAxis* axis : chart.axes()) series->attachAxis(axis);
    return series;
}

QLineSeries* curve(QChart& chart, const QColor& colour, double width,
                   Qt::PenStyle style = Qt::SolidLine) {
    auto* series = addSeries(chart, new QLineSeries);
    QPen pen(colour, width, style);
    series->setPen(pen);
    return series;
}

QAreaSeries* plausibleBand(QChart& chart) {
    auto* band = new QAreaSeries;
    auto* upper = new QLineSeries(band);
    auto* lower = new QLineSeries(band);
    upper->append({{double(kStartNm), kMaxPlausibleRatio}, {double(kEndNm), kMaxPlausibleRatio}});
    lower->append({{double(kStartNm), kMinPlausibleRatio}, {double(kEndNm), kMinPlausibleRatio}});
    band->setUpperSeries(upper);
    band->setLowerSeries(lower);
    band->setPen(Qt::NoPen);
    band->setBrush(kBandColour);
    return addSeries(chart, band);
}

QWidget* legendEntry(const QColor& colour, const QString& text, const QFont& font) {
    auto* entry = new QWidget;
    auto* row = new QHBoxLayout(entry);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    QPixmap swatch(16, 3);
    swatch.fill(colour);
    auto* line = new QLabel;
    line->setPixmap(swatch);
    auto* label = new QLabel(text);
    label->setFont(font);
    row->addWidget(line);
    row->addWidget(label);
    return entry;
}

QString formatRatio(double r) {
    if (std::isnan(r)) return QStringLiteral("no value");
    return QString::number(r, 'f', 2);
}

}  // namespace

SpectraChart::SpectraChart(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    for (int a = 0; a < kAngleCount; ++a) {
        const std::array<QChart*, 2> rows = {makeSpectraChart(a), makeRatioChart(a)};
        for (int row = 0; row < 2; ++row) {
            auto* view = new QChartView(rows[static_cast<std::size_t>(row)]);
            view->setRenderHint(QPainter::Antialiasing);
            // Smaller, and the axes trade their labels for dots.
            view->setMinimumSize(kChartMinimumPx[static_cast<std::size_t>(row)]);
            grid->addWidget(view, row, a);
        }
    }
    grid->setRowStretch(0, 3);
    grid->setRowStretch(1, 2);

    const QFont small = scaledFont(font(), 8.0);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(4, 0, 8, 2);
    footer->setSpacing(12);
    footer->addWidget(legendEntry(kTargetCurveColour, QStringLiteral("Target"), small));
    footer->addWidget(legendEntry(kSampleCurveColour, QStringLiteral("Sample"), small));
    caption_ = new QLabel;
    caption_->setFont(small);
    caption_->setStyleSheet(QStringLiteral("color: %1").arg(palette::failed().name()));
    footer->addStretch(1);
    footer->addWidget(caption_);
    grid->addLayout(footer, 2, 0, 1, kAngleCount);
}

QChart* SpectraChart::makeSpectraChart(int angle) {
    Column& column = columns_[static_cast<std::size_t>(angle)];
    const QFont base = font();
    QChart* chart = newChart(base);
    chart->setTitle(QStringLiteral("%1°").arg(kAngleDegrees[static_cast<std::size_t>(angle)]));
    addAxis(*chart, Qt::AlignBottom, kStartNm, kEndNm, 4, "%d", base);
    column.reflectanceAxis = addAxis(*chart, Qt::AlignLeft, 0.0, 100.0, 6, "%g", base);
    if (angle == 0) column.reflectanceAxis->setTitleText(QStringLiteral("R %"));
    column.target = curve(*chart, kTargetCurveColour, 1.6);
    column.sample = curve(*chart, kSampleCurveColour, 1.6);
    column.target->setName(QStringLiteral("Target"));
    column.sample->setName(QStringLiteral("Sample"));
    return chart;
}

QChart* SpectraChart::makeRatioChart(int angle) {
    Column& column = columns_[static_cast<std::size_t>(angle)];
    const QFont base = font();
    QChart* chart = newChart(base);
    QValueAxis* nm = addAxis(*chart, Qt::AlignBottom, kStartNm, kEndNm, 4, "%d", base);
    nm->setTitleText(QStringLiteral("nm"));
    QValueAxis* ratio = addAxis(*chart, Qt::AlignLeft, 0.0, kRatioAxisMax, 5, "%.1f", base);
    column.ratioAxis = ratio;
    applyScale(*ratio, ratioScale(kMinPlausibleRatio, kMaxPlausibleRatio));
    if (angle == 0) ratio->setTitleText(QStringLiteral("target / sample"));
    plausibleBand(*chart);
    column.ratioLine = curve(*chart, kRatioColour, 1.4);
    column.failureLine = curve(*chart, palette::failed(), 1.0, Qt::DashLine);
    column.failurePoint = addSeries(*chart, new QScatterSeries);
    column.failurePoint->setColor(palette::failed());
    column.failurePoint->setBorderColor(palette::failed());
    column.failurePoint->setMarkerSize(7.0);
    return chart;
}

void SpectraChart::setSpectra(const ThreeAngles& target, const ThreeAngles& sample,
                              std::optional<ImplausibleRatio> failure) {
    for (std::size_t a = 0; a < columns_.size(); ++a) {
        Column& column = columns_[a];
        const QList<QPointF> t = reflectancePoints(target[a]);
        const QList<QPointF> s = reflectancePoints(sample[a]);
        column.target->replace(t);
        column.sample->replace(s);
        fitReflectanceAxis(*column.reflectanceAxis, t, s);
        const QList<QPointF> ratios = ratioPoints(target[a], sample[a]);
        column.ratioLine->replace(ratios);
        // Nothing to compare yet: the band alone.
        double lo = ratios.isEmpty() ? kMinPlausibleRatio : kRatioAxisMax;
        double hi = ratios.isEmpty() ? kMaxPlausibleRatio : 0.0;
        for (const QPointF& p : ratios) {
            lo = std::min(lo, p.y());
            hi = std::max(hi, p.y());
        }
        if (failure && failure->angle == static_cast<int>(a) && !std::isnan(failure->ratio)) {
            lo = std::min(lo, std::clamp(failure->ratio, 0.0, kRatioAxisMax));
            hi = std::max(hi, std::clamp(failure->ratio, 0.0, kRatioAxisMax));
        }
        applyScale(*column.ratioAxis, ratioScale(lo, hi));
    }
    showFailure(failure);
}

AxisScale SpectraChart::ratioScale(double lo, double hi) {
    constexpr double kNarrowest = 0.02;
    constexpr double kMarginShare = 0.1;
    lo = std::clamp(std::min(lo, 1.0), 0.0, kRatioAxisMax);
    hi = std::clamp(std::max(hi, 1.0), 0.0, kRatioAxisMax);
    if (hi - lo < kNarrowest) {
        const double middle = (lo + hi) / 2;
        lo = middle - kNarrowest / 2;
        hi = middle + kNarrowest / 2;
    }
    const double margin = (hi - lo) * kMarginShare;
    lo = std::max(0.0, lo - margin);
    hi = std::min(kRatioAxisMax, hi + margin);
    AxisScale scale;
    scale.step = roundStep(hi - lo);
    scale.min = std::floor(lo / scale.step + 1e-9) * scale.step;
    scale.max = std::ceil(hi / scale.step - 1e-9) * scale.step;
    scale.decimals = decimalsOf(scale.step);
    return scale;
}

std::pair<double, double> SpectraChart::ratioAxisRange(int angle) const {
    if (angle < 0 || angle >= kAngleCount) return {};
    const QValueAxis* axis = columns_[static_cast<std::size_t>(angle)].ratioAxis;
    return {axis->min(), axis->max()};
}

void SpectraChart::clear() {
    setSpectra({}, {}, std::nullopt);
}

void SpectraChart::showFailure(const std::optional<ImplausibleRatio>& failure) {
    for (Column& column : columns_) {
        column.failureLine->clear();
        column.failurePoint->clear();
    }
    caption_->clear();
    if (!failure || failure->angle < 0 || failure->angle >= kAngleCount) return;
    const auto angle = static_cast<std::size_t>(failure->angle);
    const double nm = failure->wavelengthNm;
    Column& column = columns_[angle];
    column.failureLine->replace({{nm, column.ratioAxis->min()}, {nm, column.ratioAxis->max()}});
    // A missing value has no ratio to place; the line alone marks it.
    if (!std::isnan(failure->ratio))
        column.failurePoint->append(nm, std::clamp(failure->ratio, 0.0, kRatioAxisMax));
    caption_->setText(QStringLiteral("First ratio outside %1–%2: %3°, %4 nm, %5")
                          .arg(kMinPlausibleRatio)
                          .arg(kMaxPlausibleRatio)
                          .arg(kAngleDegrees[angle])
                          .arg(failure->wavelengthNm)
                          .arg(formatRatio(failure->ratio)));
}

QList<QPointF> SpectraChart::points(int angle, Curve curve) const {
    if (angle < 0 || angle >= kAngleCount) return {};
    const Column& column = columns_[static_cast<std::size_t>(angle)];
    switch (curve) {
        case Curve::Target:
            return column.target->points();
        case Curve::Sample:
            return column.sample->points();
        case Curve::Ratio:
            return column.ratioLine->points();
        case Curve::FailurePoint:
            return column.failurePoint->points();
    }
    return {};
}

std::optional<double> SpectraChart::failureLineNm(int angle) const {
    if (angle < 0 || angle >= kAngleCount) return std::nullopt;
    const QList<QPointF> line = columns_[static_cast<std::size_t>(angle)].failureLine->points();
    if (line.isEmpty()) return std::nullopt;
    return line.front().x();
}

QString SpectraChart::failureCaption() const {
    return caption_->text();
}

QSize SpectraChart::sizeHint() const {
    return {900, 420};
}

}  // namespace qv
