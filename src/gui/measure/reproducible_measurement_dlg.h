#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <optional>

#include "core/measure/repeatability_workflow.h"
#include "gui/kit/instrument_strip.h"
#include "gui/kit/result_fields.h"

class QLabel;

namespace Ui {
class CReproducibleMeasurementDlg;
}

namespace qv {

struct GuiContext;

// The repeatability check: three measurements of one specimen, each direct or an average,
// their colour coordinates and differences, the result file and the verdict.
class CReproducibleMeasurementDlg : public QDialog {
    Q_OBJECT
public:
    CReproducibleMeasurementDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CReproducibleMeasurementDlg() override;

    void reject() override;
    const RepeatabilityWorkflow& workflow() const { return workflow_; }

protected:
    // The window's close box ends the dialog like Close: the series stays.
    void closeEvent(QCloseEvent* event) override;

private:
    void onMeasure();
    void onAverage();
    void onCalibrate();
    void onConnect();
    void onThresholds();
    void onClose();
    void showVerdict();
    void render();

    std::unique_ptr<Ui::CReproducibleMeasurementDlg> ui_;
    GuiContext& context_;
    RepeatabilityWorkflow workflow_;
    // Shown while a measurement talks to the instrument; gone before its evaluation.
    std::optional<ExchangeGuard> busy_;
    QString firstInstruction_;
    QLabel* verdictLabel_ = nullptr;
    std::array<AngleFields, 3> coordinateFields_{};
    std::array<AngleFields, 4> differenceFields_{};
};

}  // namespace qv
