#include "gui/link/conn_inst_dlg.h"

#include "core/app/shared_state.h"
#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/pictures.h"
#include "ui_conn_inst_dlg.h"

namespace qv {

namespace {
constexpr int kIconPx = 35;
}

CConnInstDlg::CConnInstDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CConnInstDlg>()), workflow_(context) {
    ui_->setupUi(this);
    ui_->iconLabel->setPixmap(
        loadPicture(context.programFolder, "PIC/inf_icon.bmp", QSize(kIconPx, kIconPx)));
    const bool open = context.state.commPort && context.state.commPort->isOpen();
    ui_->portLabel->setText(open ? QString::fromStdString(context.state.commPort->portName())
                                 : tr("not open"));
    connect(ui_->connectButton, &QPushButton::clicked, this, &CConnInstDlg::onConnect);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    fitHeightToContents(this);
}

CConnInstDlg::~CConnInstDlg() = default;

void CConnInstDlg::onConnect() {
    ui_->connectButton->setEnabled(false);
    ui_->cancelButton->setEnabled(false);
    {
        BusyCursor busy;
        workflow_.connect();
    }
    accept();
}

}  // namespace qv
