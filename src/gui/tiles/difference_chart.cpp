#include "gui/tiles/difference_chart.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <array>
#include <cmath>

#include "core/tiles/diagnosis_view.h"

namespace qv {

namespace {

const QColor kMeasuredColour(30, 30, 30);
const QColor kSumColour(210, 30, 30);
// One colour per term, in the order of Term.
const std::array<QColor, kTermCount> kTermColours = {
    QColor(31, 90, 180),  QColor(40, 150, 70), QColor(120, 170, 60), QColor(150, 80, 170),
    QColor(225, 115, 20), QColor(200, 160, 0), QColor(0, 150, 160)};

QFont scaledFont(QFont font, double pointSize) {
    font.setPointSizeF(pointSize);
    return font;
}

double wavelengthAt(int i) {
    return kStartNm + kStepNm * i;
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

DifferenceChart::DifferenceChart(QWidget* parent) : QWidget(parent) {
    const QFont base = font();
    chart_ = new QChart;
    chart_->setBackgroundRoundness(0);
    chart_->setMargins(QMargins(2, 2, 2, 2));
    chart_->layout()->setContentsMargins(0, 0, 0, 0);
    chart_->setTitleFont(scaledFont(base, 8.5));
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->legend()->setFont(scaledFont(base, 8.0));
    nmAxis_ = new QValueAxis;
    nmAxis_->setRange(kStartNm, kStartNm + kStepNm * (kSpectrumPoints - 1));
    nmAxis_->setTickCount(7);
    nmAxis_->setLabelFormat(QStringLiteral("%.0f"));
    nmAxis_->setTitleText(QStringLiteral("nm"));
    valueAxis_ = new QValueAxis;
    valueAxis_->setTitleText(tr("T \u2212 R, % reflectance"));
    for (QValueAxis* axis : {nmAxis_, valueAxis_}) {
        axis->setLabelsFont(scaledFont(base, 7.0));
        axis->setTitleFont(scaledFont(base, 7.0));
    }
    chart_->addAxis(nmAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    auto* view = new QChartView(chart_, this);
    view->setObjectName(QStringLiteral("differenceChartView"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(260, 220);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    clear();
}

QString DifferenceChart::measuredName() {
    return tr("measured");
}

QString DifferenceChart::sumName() {
    return tr("sum of terms");
}

void DifferenceChart::clear() {
    chart_->removeAllSeries();
    chart_->setTitle(QString());
    valueAxis_->setRange(-1.0, 1.0);
    valueAxis_->setTickCount(5);
}

void DifferenceChart::addCurve(const QString& name, const QList<QPointF>& points, const QPen& pen) {
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(pen);
    series->append(points);
    chart_->addSeries(series);
    series->attachAxis(nmAxis_);
    series->attachAxis(valueAxis_);
}

void DifferenceChart::setDifference(const AngleSpectrum& target, const AngleSpectrum& sample,
                                    const TermEstimates& terms, const QString& title) {
    clear();
    if (static_cast<int>(std::min(target.size(), sample.size())) < kSpectrumPoints) return;
    chart_->setTitle(title);
    const TermCurves curves = termCurves(terms, target);
    QList<QPointF> measured;
    QList<QPointF> sum;
    for (int i = 0; i < kSpectrumPoints; ++i) {
        const auto at = static_cast<std::size_t>(i);
        measured.append({wavelengthAt(i), sample[at] - target[at]});
        sum.append({wavelengthAt(i), curves.sum[at]});
    }
    addCurve(measuredName(), measured, QPen(kMeasuredColour, 3.4));
    for (std::size_t k = 0; k < kTermCount; ++k) {
        // A term that never adds a reading's resolution would only crowd the legend with a
        // line along zero.
        const auto& c = curves.term[k];
        if (std::none_of(c.begin(), c.end(),
                         [](double v) { return std::abs(v) >= kReadingResolutionPercent; }))
            continue;
        QList<QPointF> points;
        for (int i = 0; i < kSpectrumPoints; ++i)
            points.append({wavelengthAt(i), curves.term[k][static_cast<std::size_t>(i)]});
        addCurve(text(termName(static_cast<Term>(k))), points,
                 QPen(kTermColours[k], 1.3, Qt::DashLine));
    }
    addCurve(sumName(), sum, QPen(kSumColour, 1.4));
    fitValueAxis();
}

void DifferenceChart::fitValueAxis() {
    double lo = 0.0;
    double hi = 0.0;
    for (const QAbstractSeries* s : chart_->series())
        for (const QPointF& p : static_cast<const QLineSeries*>(s)->points()) {
            if (!std::isfinite(p.y())) continue;
            lo = std::min(lo, p.y());
            hi = std::max(hi, p.y());
        }
    // Never narrower than a tenth of a per cent, so that a tile that agrees draws flat lines
    // on a readable axis rather than its noise blown up.
    const double margin = std::max((hi - lo) * 0.08, 0.05);
    valueAxis_->setRange(lo - margin, hi + margin);
    valueAxis_->setTickCount(6);
    valueAxis_->applyNiceNumbers();
    valueAxis_->setLabelFormat(QStringLiteral("%.2f"));
}

QStringList DifferenceChart::curveNames() const {
    QStringList names;
    for (const QAbstractSeries* s : chart_->series()) names << s->name();
    return names;
}

QList<QPointF> DifferenceChart::points(const QString& name) const {
    for (const QAbstractSeries* s : chart_->series())
        if (s->name() == name) return static_cast<const QLineSeries*>(s)->points();
    return {};
}

}  // namespace qv
