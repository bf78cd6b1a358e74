#include "gui/log/profiles_dlg.h"

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

void CProfilesDlg::fill(const std::vector<StoredProfile>& profiles) {
    reading_ = false;
    const LocalTime now = localTimeOf(context_.clock.calendarSeconds());
    int due = 0;
    for (const StoredProfile& p : profiles) {
        const CheckRecord& r = p.record;
        QStringList cells{QString::number(r.id), q(r.serial), q(r.referenceSerial), day(r.time),
                          QString::number(daysFromCivil(now) - daysFromCivil(r.time))};
        const bool isDue = p.file && (profileDue(*p.file, now) || !p.dueByCheck.empty());
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
