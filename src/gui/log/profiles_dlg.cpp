#include "gui/log/profiles_dlg.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "core/tiles/standardise.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/palette.h"
#include "platform/app/atomic_file_store.h"
#include "platform/log/logbook_reader.h"

namespace qv {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString day(const LocalTime& t) {
    return QString::fromStdString(calendarDate(t));
}

}  // namespace

CProfilesDlg::CProfilesDlg(GuiContext& context, LogbookStore& logbook, QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName(QStringLiteral("CProfilesDlg"));
    setWindowTitle(tr("Standardisation profiles"));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTreeWidget(this);
    table_->setRootIsDecorated(false);
    table_->setHeaderLabels({tr("Profile"), tr("Instrument"), tr("Master"), tr("Made"),
                             tr("Age (days)"), tr("Valid until"), tr("Status"), tr("Held out 25°"),
                             tr("Held out 45°"), tr("Held out 75°")});
    layout->addWidget(table_);
    status_ = new QLabel(tr("Reading the logbook..."), this);
    status_->setWordWrap(true);
    layout->addWidget(status_);
    drift_ = new QLabel(this);
    drift_->setObjectName(QStringLiteral("driftLabel"));
    drift_->setWordWrap(true);
    drift_->hide();
    layout->addWidget(drift_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(900, 360);
    reading_ = true;
    reader_ = std::make_unique<LogbookReader>(sameLogbook(logbook));
    reader_->post([this, &texts = context_.strings](LogbookStore* store) {
        AtomicFileStore files;
        std::vector<StoredProfile> profiles;
        if (store) profiles = storedProfiles(*store, files, texts);
        QMetaObject::invokeMethod(
            this, [this, profiles] { fill(profiles); }, Qt::QueuedConnection);
    });
}

CProfilesDlg::~CProfilesDlg() = default;

QString CProfilesDlg::driftText() const {
    return drift_->isHidden() ? QString() : drift_->text();
}

namespace {

// "Virtual master (8 instruments, Ceramics, 12 tiles), 2026-09-09 to 2026-12-09: its own drift
// 25° 0.25 ± 0.11, ... dE*ab (95 %)."
QString driftLine(const FleetDrift& d) {
    QString angles;
    for (const AngleFleetDrift& a : d.angles)
        angles += QStringLiteral("%1%2° %3 ± %4")
                      .arg(angles.isEmpty() ? QString() : QStringLiteral(", "))
                      .arg(a.angleDegrees)
                      .arg(a.deltaE, 0, 'f', 3)
                      .arg(d.coverageFactor * a.standardError, 0, 'f', 3);
    const QString fleet =
        QCoreApplication::translate("CProfilesDlg", "%1 (%2 instruments, %3, %4 tiles), %5 to %6")
            .arg(d.virtualMaster
                     ? QCoreApplication::translate("CProfilesDlg", "Virtual master")
                     : QCoreApplication::translate("CProfilesDlg", "Master %1").arg(q(d.master)))
            .arg(d.instruments)
            .arg(q(d.setName))
            .arg(d.tiles)
            .arg(day(d.from), day(d.to));
    return fleet + QCoreApplication::translate(
                       "CProfilesDlg", d.virtualMaster ? ": its own drift %1 dE*ab (95 %)."
                                                       : ": the instruments' common drift %1 "
                                                         "dE*ab (95 %).")
                       .arg(angles);
}

}  // namespace

void CProfilesDlg::fill(const std::vector<StoredProfile>& profiles) {
    reading_ = false;
    const LocalTime now = localTimeOf(context_.clock.calendarSeconds());
    int due = 0;
    for (const StoredProfile& p : profiles) {
        const CheckRecord& r = p.record;
        QStringList cells{QString::number(r.id), q(r.serial), q(r.referenceSerial), day(r.time),
                          QString::number(daysFromCivil(now) - daysFromCivil(r.time))};
        const bool isDue = profileStatus(p, now) == ProfileStatus::Due;
        due += isDue ? 1 : 0;
        cells << (p.file ? day(p.file->validUntil) : QStringLiteral("---"))
              << (!p.file ? tr("cannot be used")
                  : isDue ? tr("due")
                          : tr("current"));
        for (const AngleRecord& a : r.angles)
            cells << (std::isfinite(a.deltaE) ? QString::number(a.deltaE, 'f', 3)
                                              : QStringLiteral("---"));
        auto* item = new QTreeWidgetItem(table_, cells);
        if (!p.file || isDue)
            item->setForeground(6, !p.file ? palette::failed() : palette::warning());
        if (!p.file) item->setToolTip(6, q(p.problem));
        if (!p.dueByCheck.empty()) item->setToolTip(6, q(p.dueByCheck));
        for (int c : {0, 4, 7, 8, 9}) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (int c = 0; c < table_->columnCount(); ++c) table_->resizeColumnToContents(c);
    QStringList drifts;
    for (const FleetDrift& d : storedDrifts(profiles)) drifts << driftLine(d);
    drift_->setText(drifts.join('\n'));
    drift_->setVisible(!drifts.isEmpty());
    const QString count = profiles.size() == 1 ? tr("1 profile on record")
                                               : tr("%1 profiles on record").arg(profiles.size());
    status_->setText(
        profiles.empty()
            ? tr("No profile on record: qvl70s-cli profile makes one from a tile set.")
            : count + tr(", %1 due again. Held out: the mean colour difference (dE*ab) to the "
                         "master of a tile left out of the fit.")
                          .arg(due));
}

}  // namespace qv
