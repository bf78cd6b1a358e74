#include "gui/measure/extended_repeatability_dlg.h"
#include "gui/kit/palette.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "gui/kit/gui_context.h"
#include "gui/kit/instrument_strip.h"

namespace qv {

namespace {

// One colour per angle, the same in both charts.
// The spread is a few hundredths: the table shows one decimal more than the usual two.
constexpr int kSpreadDecimals = 3;
const QSize kChartMinimumPx(300, 230);

QFont sized(QFont font, double points) {
    font.setPointSizeF(points);
    return font;
}

QValueAxis* addAxis(QChart& chart, Qt::Alignment side, const QString& title) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelsFont(sized(chart.font(), 7.5));
    axis->setTitleFont(sized(chart.font(), 7.5));
    chart.addAxis(axis, side);
    return axis;
}

// A chart of one scatter series per angle on two axes; its view goes into `row`.
QChart* scatterChart(const QString& title, QHBoxLayout& row,
                     std::array<QScatterSeries*, kAngleCount>& series) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setTitleFont(sized(chart->titleFont(), 8.5));
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(sized(chart->legend()->font(), 7.5));
    for (int a = 0; a < kAngleCount; ++a) {
        auto* s = new QScatterSeries;
        s->setName(QStringLiteral("%1°").arg(kAngleDegrees[a]));
        s->setColor(palette::angle(a));
        s->setBorderColor(palette::angle(a));
        s->setMarkerSize(7.0);
        chart->addSeries(s);
        series[a] = s;
    }
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(kChartMinimumPx);
    row.addWidget(view);
    return chart;
}

void attach(QChart& chart, const std::array<QValueAxis*, 2>& axes,
            const std::array<QScatterSeries*, kAngleCount>& series) {
    for (QScatterSeries* s : series)
        for (QValueAxis* axis : axes) s->attachAxis(axis);
    (void)chart;
}

// Symmetric about zero, the mean: two round steps (1, 2 or 5 times a power of ten) each way,
// with room around the farthest point.
void fitAboutZero(QValueAxis& axis, double farthest) {
    const double raw = std::max(farthest * 1.1, 0.01) / 2.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10.0 * power;
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    axis.setRange(-2.0 * step, 2.0 * step);
    axis.setTickCount(5);
    axis.setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

}  // namespace

CExtendedRepeatabilityDlg::CExtendedRepeatabilityDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent), context_(context), workflow_(context) {
    setObjectName(QStringLiteral("CExtendedRepeatabilityDlg"));
    setWindowTitle(tr("Repeatability over many readings"));
    auto* column = new QVBoxLayout(this);
    buildForm();
    addInstrumentStrip(context, column);
    buildResults();
    workflow_.onProgress([this](int k, int n) { showProgress(k, n); });
}

CExtendedRepeatabilityDlg::~CExtendedRepeatabilityDlg() = default;

void CExtendedRepeatabilityDlg::buildForm() {
    auto* column = static_cast<QVBoxLayout*>(layout());
    auto* form = new QFormLayout;
    readings_ = new QSpinBox;
    readings_->setObjectName(QStringLiteral("readingsSpin"));
    readings_->setRange(kMinExtendedReadings, kMaxExtendedReadings);
    readings_->setValue(kDefaultExtendedReadings);
    readings_->setMaximumWidth(readings_->fontMetrics().horizontalAdvance(QStringLiteral("0000")) *
                               3);
    form->addRow(tr("&Readings:"), readings_);
    specimen_ = new QLineEdit;
    specimen_->setObjectName(QStringLiteral("specimenEdit"));
    specimen_->setPlaceholderText(tr("optional, e.g. the tile's name"));
    specimen_->setMaximumWidth(specimen_->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 24);
    form->addRow(tr("&Specimen:"), specimen_);
    handling_ = new QCheckBox(tr("&Lift and replace the specimen between readings"));
    handling_->setObjectName(QStringLiteral("handlingCheck"));
    form->addRow(QString(), handling_);
    column->addLayout(form);
}

void CExtendedRepeatabilityDlg::buildResults() {
    auto* column = static_cast<QVBoxLayout*>(layout());
    progress_ = new QLabel(tr("Place the specimen on the instrument and press Start."));
    progress_->setObjectName(QStringLiteral("progressLabel"));
    progress_->setWordWrap(true);
    column->addWidget(progress_);
    table_ = new QTableWidget(kAngleCount, 5);
    table_->setObjectName(QStringLiteral("spreadTable"));
    table_->setHorizontalHeaderLabels(
        {tr("MCDM"), tr("sd L*"), tr("sd a*"), tr("sd b*"), tr("Largest")});
    table_->setVerticalHeaderLabels(
        {QStringLiteral("25°"), QStringLiteral("45°"), QStringLiteral("75°")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // As high as its three rows, no more.
    table_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    column->addWidget(table_);
    auto* charts = new QHBoxLayout;
    QChart* ab = scatterChart(tr("a*, b* about the mean"), *charts, ab_);
    abAxes_ = {addAxis(*ab, Qt::AlignBottom, tr("da*")), addAxis(*ab, Qt::AlignLeft, tr("db*"))};
    attach(*ab, abAxes_, ab_);
    QChart* l = scatterChart(tr("L* about the mean"), *charts, l_);
    lAxes_ = {addAxis(*l, Qt::AlignBottom, tr("reading")), addAxis(*l, Qt::AlignLeft, tr("dL*"))};
    attach(*l, lAxes_, l_);
    column->addLayout(charts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    start_ = new QPushButton(tr("&Start"));
    start_->setObjectName(QStringLiteral("startButton"));
    start_->setDefault(true);
    cancel_ = new QPushButton(tr("Close"));
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    buttons->addWidget(start_);
    buttons->addWidget(cancel_);
    column->addLayout(buttons);
    connect(start_, &QPushButton::clicked, this, &CExtendedRepeatabilityDlg::onStart);
    connect(cancel_, &QPushButton::clicked, this, &CExtendedRepeatabilityDlg::reject);
    showChart({});
}

void CExtendedRepeatabilityDlg::onStart() {
    const ExtendedSetup setup{readings_->value(), handling_->isChecked(),
                              specimen_->text().trimmed().toStdString()};
    running_ = true;
    for (QWidget* w : std::initializer_list<QWidget*>{readings_, specimen_, handling_})
        w->setEnabled(false);
    SeriesOutcome outcome;
    {
        ExchangeGuard busy(*this);
        outcome = workflow_.run(setup);
    }
    running_ = false;
    for (QWidget* w : std::initializer_list<QWidget*>{readings_, specimen_, handling_})
        w->setEnabled(true);
    switch (outcome) {
        case SeriesOutcome::Completed:
            showResult(*workflow_.result());
            return;
        case SeriesOutcome::Declined:
        case SeriesOutcome::Stopped:
            progress_->setText(tr("The series was stopped; nothing was recorded."));
            return;
        case SeriesOutcome::Failed:
            progress_->setText(tr("The series stopped at %1; nothing was recorded.")
                                   .arg(QString::fromStdString(workflow_.lastFailure())));
            return;
    }
}

void CExtendedRepeatabilityDlg::showProgress(int reading, int of) {
    progress_->setText(tr("Reading %1 of %2").arg(reading).arg(of));
}

void CExtendedRepeatabilityDlg::showResult(const ExtendedReport& r) {
    const QString file = QString::fromStdString(workflow_.resultFile());
    progress_->setText(
        tr("%1 readings taken (%2). ").arg(r.readings).arg(QString::fromStdString(r.formula)) +
        (file.isEmpty() ? tr("The result file could not be written.")
                        : tr("Result file: %1").arg(file.section(QLatin1Char('/'), -1))));
    table_->horizontalHeaderItem(0)->setText(
        tr("MCDM (%1)").arg(QString::fromStdString(r.formula)));
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleSpread& s = r.spread[a];
        const std::array<double, 5> values = {s.mcdm, s.sd[0], s.sd[1], s.sd[2], s.largest};
        for (int c = 0; c < 5; ++c) {
            const double v = values[c];
            auto* item = new QTableWidgetItem(
                std::isfinite(v) ? QString::fromStdString(context_.format.fixed(v, kSpreadDecimals))
                                 : QString::fromLatin1(kEmptyField));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(a, c, item);
        }
    }
    showChart(r);
}

void CExtendedRepeatabilityDlg::showChart(const ExtendedReport& r) {
    double farAb = 0.0, farL = 0.0;
    for (int a = 0; a < kAngleCount; ++a) {
        QList<QPointF> ab, l;
        const LabTriple& mean = r.spread[a].mean;
        for (std::size_t k = 0; k < r.lab.size(); ++k) {
            const LabTriple& x = r.lab[k][a];
            const QPointF d(x[1] - mean[1], x[2] - mean[2]);
            const double dL = x[0] - mean[0];
            if (!std::isfinite(d.x()) || !std::isfinite(d.y()) || !std::isfinite(dL)) continue;
            ab.append(d);
            l.append({double(k + 1), dL});
            farAb = std::max({farAb, std::abs(d.x()), std::abs(d.y())});
            farL = std::max(farL, std::abs(dL));
        }
        ab_[a]->replace(ab);
        l_[a]->replace(l);
    }
    fitAboutZero(*abAxes_[0], farAb);
    fitAboutZero(*abAxes_[1], farAb);
    fitAboutZero(*lAxes_[1], farL);
    const int n = r.lab.empty() ? readings_->value() : static_cast<int>(r.lab.size());
    lAxes_[0]->setRange(0.0, n + 1.0);
    lAxes_[0]->setLabelFormat(QStringLiteral("%d"));
}

QList<QPointF> CExtendedRepeatabilityDlg::abPoints(int angle) const {
    return ab_[angle]->points();
}

QList<QPointF> CExtendedRepeatabilityDlg::lPoints(int angle) const {
    return l_[angle]->points();
}

void CExtendedRepeatabilityDlg::reject() {
    // A running series stops before its next reading; the window stays to say so.
    if (running_) {
        workflow_.stop();
        return;
    }
    QDialog::reject();
}

}  // namespace qv
