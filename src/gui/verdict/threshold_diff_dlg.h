#pragma once

#include <QDialog>
#include <memory>

#include "core/checks/threshold_workflow.h"

class QLineEdit;

namespace Ui {
class CThresholdDiffDlg;
}

namespace qv {

struct GuiContext;

// The repeatability and inter-instrument thresholds and the colour-difference formula they
// are measured in.
class CThresholdDiffDlg : public QDialog {
    Q_OBJECT
public:
    CThresholdDiffDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CThresholdDiffDlg() override;

    void accept() override;

private:
    void onTextEdited(ThresholdField field, const QString& text);
    void onFormulaChosen(int index);
    void showEdits();
    void showUnits();
    QLineEdit* edit(ThresholdField field) const;

    std::unique_ptr<Ui::CThresholdDiffDlg> ui_;
    GuiContext& context_;
    ThresholdWorkflow workflow_;
};

}  // namespace qv
