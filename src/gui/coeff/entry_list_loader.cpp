#include "gui/coeff/entry_list_loader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/string_ids.h"
#include "core/app/string_table.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/pictures.h"
#include "platform/app/system_clock.h"

namespace qv {

namespace {
constexpr int kIconPx = 40;
}

void EntryListWorker::run() {
    SystemClock clock;
    error_ = readEntryList(port_, clock, stop_, [this](const EntryRow& row) {
        emit rowRead(row.entry, QString::fromStdString(row.number),
                     QString::fromStdString(row.comment), QString::fromStdString(row.unreadable),
                     QString::fromStdString(row.timeStamp), QString::fromStdString(row.serial));
    });
}

CLoadCoeff::CLoadCoeff(GuiContext& context, EntryListWorker& worker, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), worker_(worker) {
    setObjectName(QStringLiteral("CLoadCoeff"));
    setWindowTitle(QString::fromStdString(context.strings.text(kStrEntryListTitle)));
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(standardPicture(*this, StandardPicture::Information, kIconPx));
    status_ = new QLabel(tr("Reading the entries of the instrument. Please wait."), this);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(status_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, &CLoadCoeff::reject);
    // Shown before the worker starts, so its end can never come before the window exists.
    connect(&worker_, &QThread::finished, this, &QDialog::accept);
}

void CLoadCoeff::reject() {
    // The entry under way finishes first (at most its time-out); then the worker ends this.
    worker_.requestStop();
    status_->setText(tr("Stopping after the entry being read..."));
}

}  // namespace qv
