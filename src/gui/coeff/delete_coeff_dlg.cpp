#include "gui/coeff/delete_coeff_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/string_ids.h"
#include "core/app/string_table.h"
#include "core/link/commands.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/instrument_strip.h"
#include "gui/kit/pictures.h"

namespace qv {

namespace {
constexpr int kIconPx = 35;
}

CDeleteCoeffDlg::CDeleteCoeffDlg(GuiContext& context, int entry, const std::string& comment,
                                 QWidget* parent)
    : QDialog(parent), workflow_(context, entry, comment) {
    setObjectName(QStringLiteral("CDeleteCoeffDlg"));
    setWindowTitle(tr("Delete entry"));
    auto* icon = new QLabel(this);
    icon->setPixmap(standardPicture(*this, StandardPicture::Warning, kIconPx));
    auto* number = new QLabel(QString::fromStdString(context.strings.text(kStrEntryNumberLabel) +
                                                     entryNumberText(entry).value_or("")),
                              this);
    number->setObjectName(QStringLiteral("entryLabel"));
    auto* text = new QLabel(tr("Comment:\t") + QString::fromStdString(comment), this);
    text->setObjectName(QStringLiteral("commentLabel"));
    auto* remove = new QPushButton(tr("&Delete"), this);
    remove->setObjectName(QStringLiteral("deleteButton"));
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setDefault(true);
    auto* texts = new QVBoxLayout;
    texts->addWidget(number);
    texts->addWidget(text);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(remove);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->addWidget(new InstrumentStrip(context, this));
    connect(remove, &QPushButton::clicked, this, &CDeleteCoeffDlg::onDelete);
    connect(cancel, &QPushButton::clicked, this, &CDeleteCoeffDlg::reject);
}

void CDeleteCoeffDlg::onDelete() {
    bool deleted = false;
    {
        const ExchangeGuard exchanging(*this);
        deleted = workflow_.confirm();
    }
    if (deleted) QDialog::accept();
}

void CDeleteCoeffDlg::reject() {
    workflow_.cancel();
    QDialog::reject();
}

}  // namespace qv
