#include "gui/link/comm_setting_dlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/palette.h"
#include "ui_comm_setting_dlg.h"

namespace qv {

namespace {
// The port list grows with its longest label up to this width; longer ones are elided.
constexpr int kMaxPortComboPx = 520;
}  // namespace

CCommSettingDlg::CCommSettingDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CCommSettingDlg>()), workflow_(context) {
    ui_->setupUi(this);
    // Settings that cannot be changed while an instrument is connected: a warning.
    ui_->connectedNote->setStyleSheet(QStringLiteral("color: %1;").arg(palette::warning().name()));
    const CommSettingsView& view =
        workflow_.open(context.listPorts ? context.listPorts() : std::vector<PortEntry>{});
    // The operator reads the adapter; the name behind it is what is opened and saved.
    for (const PortEntry& port : view.ports) {
        const QString name = QString::fromStdString(port.name);
        ui_->portCombo->addItem(QString::fromStdString(port.label), name);
        ui_->portCombo->setItemData(ui_->portCombo->count() - 1, name, Qt::ToolTipRole);
    }
    ui_->portCombo->setCurrentIndex(view.portIndex);
    // Wide enough for the longest label (within reason), and a long one shows its beginning,
    // the adapter's name, not its end.
    ui_->portCombo->setMinimumWidth(std::clamp(ui_->portCombo->sizeHint().width(),
                                               ui_->portCombo->minimumWidth(), kMaxPortComboPx));
    ui_->portCombo->lineEdit()->setCursorPosition(0);
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

std::string CCommSettingDlg::chosenPort() const {
    const QString text = ui_->portCombo->currentText().trimmed();
    // A listed port, chosen or typed as it is shown, stands for its name; anything else was
    // typed by hand and is opened as typed.
    const int listed = ui_->portCombo->findText(text);
    if (listed >= 0) return ui_->portCombo->itemData(listed).toString().toStdString();
    return text.toStdString();
}

void CCommSettingDlg::onOk() {
    CommSettingsChoice choice;
    choice.port = chosenPort();
    for (int i = 0; i < kLineListCount; ++i)
        choice.lineIndex[std::size_t(i)] = lineCombo(static_cast<LineList>(i))->currentIndex();
    result_ = workflow_.ok(choice);
    accept();
}

}  // namespace qv
