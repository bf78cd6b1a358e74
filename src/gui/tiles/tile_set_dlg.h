#pragma once

#include <QDialog>
#include <array>

#include "core/tiles/tile_set_workflow.h"

class QLabel;
class QLayout;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace qv {

struct GuiContext;
class DiagnosisPanel;
class SpectraChart;

// The inter-instrument check over a tile set: each tile read on the reference instrument
// (target) and on the instrument under correction (sample), the set judged beside what a
// correction would reach, the correction fitted over the set written, and the set read again.
class CTileSetDlg : public QDialog {
    Q_OBJECT
public:
    CTileSetDlg(GuiContext& context, EvaluateHueControl& colour, QWidget* parent = nullptr);
    ~CTileSetDlg() override;

    const TileSetWorkflow& workflow() const { return workflow_; }
    // The line that acknowledges what went as it should (a tile measured).
    QString statusText() const;
    SpectraChart* chart() const { return chart_; }
    DiagnosisPanel* diagnosisPanel() const { return diagnosis_; }
    QTabWidget* tabs() const { return tabs_; }

private:
    // One summary line: mean and largest per angle, and the verdict.
    struct SummaryRow {
        QLabel* caption = nullptr;
        std::array<QLabel*, kAngleCount> mean{};
        std::array<QLabel*, kAngleCount> largest{};
        QLabel* verdict = nullptr;
    };

    void buildTable();
    QWidget* buildSummary();
    QLayout* buildButtons();
    // How many readings one press averages.
    QWidget* buildReadings();
    void onSelection();
    void onMeasure(ValidationRole role);
    // The selected tile read once, or `readings` times and averaged; nothing when a reading
    // failed (the operator was told) or the operator stopped between readings.
    std::optional<Measurement> measureSelected(ValidationRole role, int readings);
    void onJudge();
    void onCorrect();
    void onSettings();
    void render();
    void renderHeading();
    void renderTable();
    void renderSummary();
    void renderChart();
    void renderDiagnosis();
    // "Fitted over 4 tiles: white, mid grey, ...", as the write dialog names its pair.
    QString fittedPairText() const;

    GuiContext& context_;
    TileSetWorkflow workflow_;
    QLabel* heading_ = nullptr;
    QLabel* limits_ = nullptr;
    QLabel* instruction_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* alike_ = nullptr;
    QTableWidget* table_ = nullptr;
    SpectraChart* chart_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    DiagnosisPanel* diagnosis_ = nullptr;
    std::array<SummaryRow, 4> summary_{};
    QPushButton* targetButton_ = nullptr;
    QPushButton* sampleButton_ = nullptr;
    QPushButton* judgeButton_ = nullptr;
    QPushButton* correctButton_ = nullptr;
    QSpinBox* readings_ = nullptr;
};

}  // namespace qv
