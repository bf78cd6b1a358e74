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
    ui_->iconLabel->setPixmap(standardPicture(*this, StandardPicture::Information, kIconPx));
    ui_->portLabel->setText(portText(checkPort(context.state)));
    connect(ui_->connectButton, &QPushButton::clicked, this, &CConnInstDlg::onConnect);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    fitHeightToContents(this);
}

CConnInstDlg::~CConnInstDlg() = default;

QString CConnInstDlg::portText(const PortStatus& status) const {
    if (status.state == PortState::Open) return QString::fromStdString(status.port);
    // Connect opens the saved port first: name it, so the operator knows which.
    const QString saved = QString::fromStdString(workflow_.portToConnect());
    if (status.state == PortState::ClosedAfterHangUp)
        return saved.isEmpty() ? QString::fromStdString(status.port) +
                                     tr("\nclosed after a hang-up; choose it under Settings > "
                                        "Port settings")
                               : saved + tr("\nclosed after a hang-up; Connect opens it again");
    return saved.isEmpty() ? tr("not open") : saved + tr("\nnot open; Connect opens it");
}

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
