#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <optional>

#include "core/measure/average_workflow.h"
#include "gui/kit/instrument_strip.h"
#include "gui/kit/result_fields.h"

namespace Ui {
class CAverageMeasurementDlg;
}

namespace qv {

struct GuiContext;

// Up to 30 measurements of one specimen averaged. Opened by the repeatability check (the
// average becomes one measurement of its series) and by the validation measurement (the
// average becomes the target or sample data); the setup says which.
class CAverageMeasurementDlg : public QDialog {
    Q_OBJECT
public:
    CAverageMeasurementDlg(GuiContext& context, EvaluateHueControl& colour, AverageSetup setup,
                           QWidget* parent = nullptr);
    ~CAverageMeasurementDlg() override;

    void reject() override;
    const AverageWorkflow& workflow() const { return workflow_; }

private:
    void onMeasure();
    void onFinish();
    void render();

    std::unique_ptr<Ui::CAverageMeasurementDlg> ui_;
    AverageWorkflow workflow_;
    // Shown while a measurement talks to the instrument; gone before its evaluation.
    std::optional<ExchangeGuard> busy_;
    std::array<AngleFields, 3> coordinateFields_{};
    std::array<AngleFields, 3> deviationFields_{};
};

}  // namespace qv
