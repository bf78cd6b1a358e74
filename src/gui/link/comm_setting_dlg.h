#pragma once

#include <QDialog>
#include <memory>

#include "core/link/comm_settings_workflow.h"

class QComboBox;

namespace Ui {
class CCommSettingDlg;
}

namespace qv {

struct GuiContext;

// The serial port and its line settings. Adapters are listed by description and serial number
// and chosen by their stable name where the system has one; a path may be typed instead. OK
// reopens the port with the choice and saves it when that works; Cancel changes nothing.
class CCommSettingDlg : public QDialog {
    Q_OBJECT
public:
    CCommSettingDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CCommSettingDlg() override;

    QComboBox* lineCombo(LineList list) const;
    CommSettingsResult lastResult() const { return result_; }
    // The port OK opens: the name of the listed port shown, or the text typed by hand.
    std::string chosenPort() const;

private:
    void onOk();

    std::unique_ptr<Ui::CCommSettingDlg> ui_;
    CommSettingsWorkflow workflow_;
    CommSettingsResult result_ = CommSettingsResult::Unchanged;
};

}  // namespace qv
