#include "gui/coeff/delete_coeff_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "core/app/string_ids.h"
#include "core/app/string_table.h"
#include "core/link/commands.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/instrument_strip.h"
#include "gui/kit/pictures.h"
#include "ui_delete_coeff_dlg.h"

namespace qv {

namespace {
constexpr int kIconPx = 35;
}

CDeleteCoeffDlg::CDeleteCoeffDlg(GuiContext& context, int entry, const std::string& comment,
                                 QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CDeleteCoeffDlg>()),
      workflow_(context, entry, comment) {
    ui_->setupUi(this);
    ui_->iconLabel->setPixmap(standardPicture(*this, StandardPicture::Warning, kIconPx));
    ui_->entryLabel->setText(QString::fromStdString(context.strings.text(kStrEntryNumberLabel) +
                                                    entryNumberText(entry).value_or("")));
    ui_->commentLabel->setText(tr("Comment:\t") + QString::fromStdString(comment));
    ui_->mainLayout->addWidget(new InstrumentStrip(context, this));
    connect(ui_->deleteButton, &QPushButton::clicked, this, &CDeleteCoeffDlg::onDelete);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CDeleteCoeffDlg::reject);
}

CDeleteCoeffDlg::~CDeleteCoeffDlg() = default;

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
