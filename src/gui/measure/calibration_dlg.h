#pragma once

#include <QDialog>
#include <memory>

#include "core/measure/calibration.h"

namespace Ui {
class CCalibrationDlg;
}

namespace qv {

struct GuiContext;

// Zero and white calibration of the instrument, step by step with a picture of what to do.
class CCalibrationDlg : public QDialog {
    Q_OBJECT
public:
    CCalibrationDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CCalibrationDlg() override;

    void reject() override;
    const CalibrationWorkflow& workflow() const { return workflow_; }

private:
    void onOk();
    void onSkipZero();
    void render();

    std::unique_ptr<Ui::CCalibrationDlg> ui_;
    GuiContext& context_;
    CalibrationWorkflow workflow_;
    QString zeroCaption_;
    QString zeroInstruction_;
};

}  // namespace qv
