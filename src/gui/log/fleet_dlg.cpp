#include "gui/log/fleet_dlg.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "core/log/performance_settings.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/palette.h"
#include "platform/log/fleet_overview.h"
#include "platform/log/logbook_reader.h"

namespace qv {

namespace {

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// In words, capitals for what holds an instrument back, so that grey print tells them apart.
QString statusWords(FleetStatus status) {
    switch (status) {
        case FleetStatus::Ok:
            return QCoreApplication::translate("CFleetDlg", "ok");
        case FleetStatus::DueSoon:
            return QCoreApplication::translate("CFleetDlg", "due soon");
        case FleetStatus::Overdue:
            return QCoreApplication::translate("CFleetDlg", "OVERDUE");
        case FleetStatus::Failed:
            break;
    }
    return QCoreApplication::translate("CFleetDlg", "FAILED");
}

QColor statusColour(FleetStatus status) {
    switch (status) {
        case FleetStatus::Ok:
            return palette::passed();
        case FleetStatus::DueSoon:
            return palette::warning();
        case FleetStatus::Overdue:
        case FleetStatus::Failed:
            break;
    }
    return palette::failed();
}

QString driftWords(const InstrumentStatus& i) {
    if (!i.drift.source) return QStringLiteral("---");
    QStringList angles;
    for (const AngleDrift& d : i.drift.angles)
        angles << (std::isnan(d.slope) ? QStringLiteral("---")
                                       : QStringLiteral("%1%2 ± %3")
                                             .arg(d.slope >= 0 ? QStringLiteral("+") : QString())
                                             .arg(d.slope, 0, 'f', 3)
                                             .arg(d.standardError, 0, 'f', 3));
    return angles.join(QStringLiteral(" / "));
}

constexpr int kFirstKindColumn = 3;

}  // namespace

QString dueWords(const KindStatus& check, long long today) {
    if (!check.last) return QCoreApplication::translate("CFleetDlg", "never checked");
    if (!check.dueDay)
        return QCoreApplication::translate("CFleetDlg", "last %1")
            .arg(q(calendarDate(check.last->time)));
    const long long days = *check.dueDay - today;
    if (days < 0)
        return days == -1 ? QCoreApplication::translate("CFleetDlg", "1 day overdue")
                          : QCoreApplication::translate("CFleetDlg", "%1 days overdue").arg(-days);
    if (days == 0) return QCoreApplication::translate("CFleetDlg", "due today");
    if (days == 1) return QCoreApplication::translate("CFleetDlg", "due tomorrow");
    return QCoreApplication::translate("CFleetDlg", "due %1")
        .arg(q(calendarDate(civilFromDays(*check.dueDay))));
}

CFleetDlg::CFleetDlg(GuiContext& context, LogbookStore& logbook, QWidget* parent,
                     OpenHistory openHistory)
    : QDialog(parent), context_(context), openHistory_(std::move(openHistory)) {
    setObjectName(QStringLiteral("CFleetDlg"));
    setWindowTitle(tr("Fleet"));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTreeWidget(this);
    table_->setRootIsDecorated(false);
    table_->setAlternatingRowColors(true);
    QStringList headers{tr("Instrument"), tr("Type"), tr("Status")};
    for (CheckKind k : kCheckKinds) headers << q(checkKindName(k));
    headers << tr("Drift 25° / 45° / 75° (dE per 30 days)") << tr("Newest tile set")
            << tr("Workstations");
    table_->setHeaderLabels(headers);
    connect(table_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item && openHistory_) openHistory_(item->text(0).toStdString());
    });
    layout->addWidget(table_);
    status_ = new QLabel(tr("Reading the logbook..."), this);
    status_->setObjectName(QStringLiteral("fleetSummary"));
    status_->setWordWrap(true);
    layout->addWidget(status_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(1180, 420);
    reading_ = true;
    const LocalTime now = localTimeOf(context_.clock.calendarSeconds());
    const int longTerm = performanceSettingsFromProfile(context_.profile).longTermDays;
    reader_ = std::make_unique<LogbookReader>(sameLogbook(logbook));
    reader_->post([this, now, longTerm](LogbookStore* store) {
        std::vector<InstrumentStatus> fleet;
        const std::optional<CheckIntervals> intervals =
            store ? store->checkIntervals() : std::nullopt;
        if (intervals) fleet = fleetOverview(*store, *intervals, now, longTerm);
        QMetaObject::invokeMethod(
            this,
            [this, fleet, all = intervals.value_or(CheckIntervals{}), read = bool(intervals)] {
                fill(fleet, all, read);
            },
            Qt::QueuedConnection);
    });
}

CFleetDlg::~CFleetDlg() = default;

QString CFleetDlg::summary() const {
    return status_->text();
}

void CFleetDlg::fill(const std::vector<InstrumentStatus>& fleet, const CheckIntervals& intervals,
                     bool read) {
    reading_ = false;
    if (!read) {
        status_->setText(tr("The logbook cannot be read."));
        return;
    }
    const long long today = daysFromCivil(localTimeOf(context_.clock.calendarSeconds()));
    std::array<int, 4> counts{};
    for (const InstrumentStatus& i : fleet) {
        ++counts[std::size_t(i.status)];
        QStringList cells{q(i.serial), q(i.type), statusWords(i.status)};
        for (const KindStatus& k : i.checks) cells << dueWords(k, today);
        QStringList workstations;
        for (const std::string& w : i.workstations) workstations << q(w);
        cells << driftWords(i)
              << (i.diagnosis ? q((*i.diagnosis)[0]) + " / " + q((*i.diagnosis)[1]) + " / " +
                                    q((*i.diagnosis)[2])
                              : QStringLiteral("---"))
              << workstations.join(QStringLiteral(", "));
        auto* item = new QTreeWidgetItem(table_, cells);
        item->setForeground(2, statusColour(i.status));
        for (const KindStatus& k : i.checks) {
            const int column = kFirstKindColumn + int(k.kind);
            if (intervalOf(intervals, k.kind).days && k.status != FleetStatus::Ok)
                item->setForeground(column, statusColour(k.status));
            if (!intervalOf(intervals, k.kind).days) item->setForeground(column, Qt::gray);
        }
    }
    for (int c = 0; c < table_->columnCount(); ++c) table_->resizeColumnToContents(c);
    bool any = false;
    for (const CheckInterval& c : intervals) any = any || c.days.has_value();
    status_->setText(
        tr("%1 instruments: %2 failed, %3 overdue, %4 due soon, %5 ok. A row opens its history.")
            .arg(fleet.size())
            .arg(counts[3])
            .arg(counts[2])
            .arg(counts[1])
            .arg(counts[0]) +
        (any ? QString()
             : tr(" No check interval is in force: set them under Settings > Check "
                  "intervals...")));
}

}  // namespace qv
