#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "core/checks/validation_workflow.h"
#include "gui/kit/instrument_strip.h"

namespace Ui {
class CValidationDlg;
}

namespace qv {

struct GuiContext;

// One measurement of the specimen for the inter-instrument check, on the reference instrument
// (target) or on the instrument under correction (sample), direct or averaged. The dialog
// closes after one attempt, whatever its outcome.
class CValidationDlg : public QDialog {
    Q_OBJECT
public:
    CValidationDlg(GuiContext& context, EvaluateHueControl& colour, ValidationRole role,
                   QWidget* parent = nullptr);
    ~CValidationDlg() override;

    // Enter must not end the dialog without a measurement.
    void accept() override {}
    const ValidationWorkflow& workflow() const { return workflow_; }
    ValidationWorkflow& workflow() { return workflow_; }
    // What the dialog took; nothing when it was cancelled or the measurement failed.
    const std::optional<Measurement>& measurement() const { return measurement_; }

private:
    void onMeasure();
    void onAverage();
    void finish();

    std::unique_ptr<Ui::CValidationDlg> ui_;
    GuiContext& context_;
    ValidationWorkflow workflow_;
    std::optional<ExchangeGuard> busy_;
    std::optional<Measurement> measurement_;
};

}  // namespace qv
