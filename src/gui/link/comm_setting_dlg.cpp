#include "gui/link/comm_setting_dlg.h"

#include <QPushButton>

#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_context.h"
#include "ui_comm_setting_dlg.h"

namespace qv {

CCommSettingDlg::CCommSettingDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CCommSettingDlg>()), workflow_(context) {
    ui_->setupUi(this);
    const CommSettingsView& view =
        workflow_.open(context.listPorts ? context.listPorts() : std::vector<std::string>{});
    for (const std::string& port : view.ports)
        ui_->portCombo->addItem(QString::fromStdString(port));
    ui_->portCombo->setCurrentIndex(view.portIndex);
    for (int i = 0; i < kLineListCount; ++i) {
        const auto list = static_cast<LineList>(i);
        QComboBox* combo = lineCombo(list);
        for (const std::string& entry : lineEntries(list))
            combo->addItem(QString::fromStdString(entry));
        combo->setCurrentIndex(view.lineIndex[std::size_t(i)]);
    }
    for (QComboBox* combo : {ui_->portCombo, ui_->baudRateCombo, ui_->dataLengthCombo,
                             ui_->parityCombo, ui_->stopBitsCombo})
        combo->setEnabled(view.editable);
    ui_->connectedNote->setVisible(!view.editable);
    connect(ui_->buttonBox, &QDialogButtonBox::accepted, this, &CCommSettingDlg::onOk);
    connect(ui_->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    fitHeightToContents(this);
}

CCommSettingDlg::~CCommSettingDlg() = default;

QComboBox* CCommSettingDlg::lineCombo(LineList list) const {
    switch (list) {
        case LineList::BaudRate:
            return ui_->baudRateCombo;
        case LineList::DataLength:
            return ui_->dataLengthCombo;
        case LineList::Parity:
            return ui_->parityCombo;
        case LineList::StopBits:
            break;
    }
    return ui_->stopBitsCombo;
}

void CCommSettingDlg::onOk() {
    CommSettingsChoice choice;
    choice.port = ui_->portCombo->currentText().trimmed().toStdString();
    for (int i = 0; i < kLineListCount; ++i)
        choice.lineIndex[std::size_t(i)] = lineCombo(static_cast<LineList>(i))->currentIndex();
    result_ = workflow_.ok(choice);
    accept();
}

}  // namespace qv
